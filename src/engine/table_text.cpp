// SPDX-License-Identifier: MIT
#include "engine/table_text.hpp"

#include <array>

#include "shape/value_text.hpp"

namespace varnelo {

std::string ShownFieldValue(const TLocalDbf& table, int index) {
    TFieldValue value = table.Fields(index).Value();
    if (auto* s = std::get_if<std::string>(&value)) {
        return std::move(*s);
    }
    if (const auto* d = std::get_if<double>(&value)) {
        std::array<char, 400> digits{};
        const std::size_t length = FormatFixed(*d, table.DbfField(index).Decimals, digits);
        if (length <= digits.size()) {
            return std::string(digits.data(), length);
        }
    }
    if (const auto* b = std::get_if<bool>(&value)) {
        return *b ? "T" : "F";
    }
    return ValueText(value);
}

}  // namespace varnelo

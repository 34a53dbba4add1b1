// SPDX-License-Identifier: MIT
// What a conversion does with a .mid value that its field does not take, and what it left
// empty when told to go on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "shape/value_text.hpp"

namespace varnelo {

struct TMidValueRules {
    // Store no value (the field's blanks) and go on, instead of failing the conversion.
    bool Lenient = false;
    // How dates written with the year last ("05/03/2002") are read; refused when not set.
    std::optional<TDateOrder> YearLastDates;
};

// A value that a lenient conversion left empty.
struct TValueLeftEmpty {
    std::int64_t MidLine = 0;
    // Both as a message shows them: decoded (cut when long, control bytes as "?").
    std::string Field;
    std::string Value;
    friend bool operator==(const TValueLeftEmpty&, const TValueLeftEmpty&) = default;
};

// The values a lenient conversion left empty: how many, and the first of them.
struct TValuesLeftEmpty {
    static constexpr std::size_t kListed = 5;
    std::int64_t Count = 0;
    std::vector<TValueLeftEmpty> First;  // at most kListed, in .mid order
};

}  // namespace varnelo

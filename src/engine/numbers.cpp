// SPDX-License-Identifier: MIT
#include "engine/numbers.hpp"

#include "os/catalog.hpp"
#include "shape/errors.hpp"
#include "shape/number_text.hpp"
#include "shape/value_text.hpp"

namespace varnelo {

std::string QuoteForMessage(std::string_view text) {
    std::string quoted = "\"";
    quoted += TextForMessage(text, kQuotedTextLimit);
    quoted += '"';
    return quoted;
}

double StrToDouble(std::string_view text) {
    double value = 0.0;
    switch (ReadDecimal(text, value)) {
        case TNumberRead::Ok:
            return value;
        case TNumberRead::OutOfRange:
        case TNumberRead::Underflow:
            throw EConvertError(Text(TText::kEngineNumberOutOfRange, QuoteForMessage(text)));
        case TNumberRead::Invalid:
            break;
    }
    throw EConvertError(Text(TText::kEngineNotANumber, QuoteForMessage(text)));
}

std::optional<double> TryStrToDouble(std::string_view text) noexcept {
    double value = 0.0;
    if (ReadDecimal(text, value) != TNumberRead::Ok) {
        return std::nullopt;
    }
    return value;
}

std::int32_t StrToInt32(std::string_view text) {
    std::int32_t value = 0;
    switch (ReadInt32(text, value)) {
        case TNumberRead::Ok:
            return value;
        case TNumberRead::OutOfRange:
        case TNumberRead::Underflow:
            throw EConvertError(Text(TText::kEngineIntegerOutOfRange, QuoteForMessage(text)));
        case TNumberRead::Invalid:
            break;
    }
    throw EConvertError(Text(TText::kEngineNotAnInteger, QuoteForMessage(text)));
}

std::optional<std::int32_t> TryStrToInt32(std::string_view text) noexcept {
    return ParseInt32Text(text);
}

}  // namespace varnelo

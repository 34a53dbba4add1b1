// SPDX-License-Identifier: MIT
#include "engine/numbers.hpp"

#include <charconv>
#include <cmath>
#include <system_error>

#include "shape/errors.hpp"
#include "shape/value_text.hpp"

namespace varnelo {

namespace {

constexpr std::size_t kQuotedTextLimit = 64;

enum class TParseResult { Ok, Invalid, OutOfRange };

// from_chars refuses a leading '+', which the platform conversion accepts; a second sign
// after it stays an error.
std::string_view WithoutPlus(std::string_view text) noexcept {
    if (text.size() >= 2 && text[0] == '+' && text[1] != '-' && text[1] != '+') {
        return text.substr(1);
    }
    return text;
}

template <typename T, typename... Format>
TParseResult Parse(std::string_view text, T& value, Format... format) noexcept {
    const std::string_view digits = WithoutPlus(text);
    if (digits.empty()) {
        return TParseResult::Invalid;
    }
    const char* last = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), last, value, format...);
    if (ec == std::errc::result_out_of_range && ptr == last) {
        return TParseResult::OutOfRange;
    }
    if (ec != std::errc{} || ptr != last) {
        return TParseResult::Invalid;
    }
    return TParseResult::Ok;
}

// "inf" and "nan" parse but are no coordinates: every box and ring computation needs
// finite values.
TParseResult ParseDouble(std::string_view text, double& value) noexcept {
    if (const auto plain = ParseShortDecimal(text)) {
        value = *plain;
        return TParseResult::Ok;
    }
    const TParseResult result = Parse(text, value, std::chars_format::general);
    if (result == TParseResult::Ok && !std::isfinite(value)) {
        return TParseResult::Invalid;
    }
    return result;
}

}  // namespace

std::string QuoteForMessage(std::string_view text) {
    std::string quoted = "\"";
    quoted += TextForMessage(text, kQuotedTextLimit);
    quoted += '"';
    return quoted;
}

double StrToDouble(std::string_view text) {
    double value = 0.0;
    switch (ParseDouble(text, value)) {
        case TParseResult::Ok:
            return value;
        case TParseResult::OutOfRange:
            throw EConvertError(QuoteForMessage(text) + " は数値の範囲外です");
        case TParseResult::Invalid:
            break;
    }
    throw EConvertError(QuoteForMessage(text) + " は有効な数値ではありません");
}

std::optional<double> TryStrToDouble(std::string_view text) noexcept {
    double value = 0.0;
    if (ParseDouble(text, value) != TParseResult::Ok) {
        return std::nullopt;
    }
    return value;
}

std::int32_t StrToInt32(std::string_view text) {
    std::int32_t value = 0;
    switch (Parse(text, value, 10)) {
        case TParseResult::Ok:
            return value;
        case TParseResult::OutOfRange:
            throw EConvertError(QuoteForMessage(text) + " は整数の範囲外です");
        case TParseResult::Invalid:
            break;
    }
    throw EConvertError(QuoteForMessage(text) + " は有効な整数ではありません");
}

std::optional<std::int32_t> TryStrToInt32(std::string_view text) noexcept {
    std::int32_t value = 0;
    if (Parse(text, value, 10) != TParseResult::Ok) {
        return std::nullopt;
    }
    return value;
}

}  // namespace varnelo

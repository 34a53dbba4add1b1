#include "shape/value_text.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

#include "shape/cp932.hpp"

namespace varnelo {
namespace {

bool IsDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

char FoldAscii(char c) noexcept {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool IsPrefixIgnoringCase(std::string_view text, std::string_view word) noexcept {
    if (text.empty() || text.size() > word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (FoldAscii(text[i]) != FoldAscii(word[i])) {
            return false;
        }
    }
    return true;
}

std::size_t CountDigits(std::string_view text, std::size_t from) noexcept {
    std::size_t i = from;
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
    }
    return i - from;
}

// Checks the decimal-number grammar over the whole text (sign already removed).
bool IsDecimalNumber(std::string_view text) noexcept {
    std::size_t i = 0;
    const std::size_t intDigits = CountDigits(text, i);
    i += intDigits;
    std::size_t fracDigits = 0;
    if (i < text.size() && text[i] == '.') {
        ++i;
        fracDigits = CountDigits(text, i);
        i += fracDigits;
    }
    if (intDigits + fracDigits == 0) {
        return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        const std::size_t expDigits = CountDigits(text, i);
        if (expDigits == 0) {
            return false;
        }
        i += expDigits;
    }
    return i == text.size();
}

int DaysInMonth(int year, int month) noexcept {
    static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return (month == 2 && leap) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

int DigitsValue(std::string_view digits) noexcept {
    int value = 0;
    for (const char c : digits) {
        value = value * 10 + (c - '0');
    }
    return value;
}

bool AllDigits(std::string_view text) noexcept {
    return !text.empty() && CountDigits(text, 0) == text.size();
}

std::optional<TDate> ValidDateOrNone(const TDate& date) noexcept {
    return IsValidDate(date) ? std::optional<TDate>(date) : std::nullopt;
}

}  // namespace

bool IsValidDate(const TDate& date) noexcept {
    return date.Year >= 1 && date.Year <= 9999 && date.Month >= 1 && date.Month <= 12 &&
           date.Day >= 1 && date.Day <= DaysInMonth(date.Year, date.Month);
}

std::string_view TrimBlanks(std::string_view text) noexcept {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) {
        ++begin;
    }
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::optional<std::int32_t> ParseInt32Text(std::string_view text) noexcept {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (!AllDigits(text)) {
        return std::nullopt;
    }
    // Accumulate negatively so that the most negative value needs no special case.
    std::int64_t value = 0;
    for (const char c : text) {
        value = value * 10 - (c - '0');
        if (value < INT32_MIN) {
            return std::nullopt;
        }
    }
    if (!negative) {
        value = -value;
        if (value > INT32_MAX) {
            return std::nullopt;
        }
    }
    return static_cast<std::int32_t>(value);
}

std::optional<double> ParseDecimalText(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (!IsDecimalNumber(text)) {
        return std::nullopt;
    }
    double value = 0.0;
    const auto [ptr, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Tell overflow from underflow; this path is rare, so a copy is acceptable.
        value = std::strtod(std::string(text).c_str(), nullptr);
        if (std::isinf(value)) {
            return std::nullopt;
        }
    } else if (ec != std::errc() || ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::optional<bool> ParseBooleanText(std::string_view text) noexcept {
    if (IsPrefixIgnoringCase(text, "False")) {
        return false;
    }
    if (IsPrefixIgnoringCase(text, "True")) {
        return true;
    }
    return std::nullopt;
}

std::optional<TDate> ParseDateText(std::string_view text) noexcept {
    if (text.size() == 8 && AllDigits(text)) {
        return ValidDateOrNone(TDate{DigitsValue(text.substr(0, 4)), DigitsValue(text.substr(4, 2)),
                                     DigitsValue(text.substr(6, 2))});
    }
    const std::size_t first = text.find('/');
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t second = text.find('/', first + 1);
    if (second == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view year = text.substr(0, first);
    const std::string_view month = text.substr(first + 1, second - first - 1);
    const std::string_view day = text.substr(second + 1);
    if (year.size() != 4 || !AllDigits(year) || month.size() > 2 || !AllDigits(month) ||
        day.size() > 2 || !AllDigits(day)) {
        return std::nullopt;
    }
    return ValidDateOrNone(TDate{DigitsValue(year), DigitsValue(month), DigitsValue(day)});
}

std::size_t FormatFixed(double value, int decimals, std::span<char> out) {
    decimals = std::clamp(decimals, 0, 255);  // a decimal count is one byte
    // The shortest scientific text that reads back as the value: "d[.ddd]e±xx".
    std::array<char, 32> sci{};
    const auto sciEnd = std::to_chars(sci.data(), sci.data() + sci.size(), std::fabs(value),
                                      std::chars_format::scientific)
                            .ptr;
    std::array<char, 20> mantissa{};
    std::size_t mantissaLength = 0;
    const char* p = sci.data();
    for (; p != sciEnd && *p != 'e'; ++p) {
        if (*p != '.') {
            mantissa[mantissaLength++] = *p;
        }
    }
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), sciEnd, exponent);

    // Digit k of the result (0-based from the left) has weight 10^(top - k); the last one
    // has weight 10^-decimals. One spare slot in front takes the carry of rounding up.
    const int top = exponent > 0 ? exponent : 0;
    const int digitCount = top + decimals + 1;
    std::array<char, 1 + 309 + 1 + 256> digits{};
    char* const first = digits.data() + 1;
    std::memset(digits.data(), '0', static_cast<std::size_t>(digitCount) + 1);
    for (std::size_t i = 0; i < mantissaLength; ++i) {
        const int slot = top - (exponent - static_cast<int>(i));
        if (slot >= 0 && slot < digitCount) {
            first[slot] = mantissa[i];
        }
    }
    const int roundingDigit = exponent + decimals + 1;  // index in the mantissa
    if (roundingDigit >= 0 && roundingDigit < static_cast<int>(mantissaLength) &&
        mantissa[static_cast<std::size_t>(roundingDigit)] >= '5') {
        int k = digitCount - 1;
        while (k >= -1 && first[k] == '9') {
            first[k] = '0';
            --k;
        }
        ++first[k];
    }
    const bool carried = digits[0] != '0';
    const char* const begin = carried ? digits.data() : first;
    const int intDigits = top + 1 + (carried ? 1 : 0);
    bool allZero = true;
    for (int k = 0; k < intDigits + decimals; ++k) {
        allZero = allZero && begin[k] == '0';
    }
    const bool minus = std::signbit(value) && !allZero;
    const std::size_t length = (minus ? 1 : 0) + static_cast<std::size_t>(intDigits) +
                               (decimals > 0 ? 1 + static_cast<std::size_t>(decimals) : 0);
    if (length > out.size()) {
        return length;
    }
    char* o = out.data();
    if (minus) {
        *o++ = '-';
    }
    o = std::copy_n(begin, intDigits, o);
    if (decimals > 0) {
        *o++ = '.';
        std::copy_n(begin + intDigits, decimals, o);
    }
    return length;
}

void FormatDateDigits(const TDate& date, std::span<char, 8> out) noexcept {
    const int parts[3] = {date.Year, date.Month, date.Day};
    const int widths[3] = {4, 2, 2};
    std::size_t pos = 8;
    for (int i = 2; i >= 0; --i) {
        int v = parts[i];
        for (int w = 0; w < widths[i]; ++w) {
            out[--pos] = static_cast<char>('0' + v % 10);
            v /= 10;
        }
    }
}

std::string TextForMessage(std::string_view text, std::size_t limit) {
    const std::size_t keep = cp932::CharBoundaryAtMost(text, limit);
    std::string shown(text.substr(0, keep));
    // No trail byte lies below 0x40, so this never splits a two-byte character.
    std::replace_if(
        shown.begin(), shown.end(), [](char c) { return static_cast<unsigned char>(c) < 32; }, '?');
    if (keep < text.size()) {
        shown += "...";
    }
    return shown;
}

}  // namespace varnelo

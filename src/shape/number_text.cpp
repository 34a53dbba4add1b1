// SPDX-License-Identifier: MIT
#include "shape/number_text.hpp"

#include <algorithm>
#include <charconv>
#include <limits>
#include <system_error>

#include "shape/ascii_text.hpp"

namespace varnelo {
namespace {

std::size_t CountDigits(std::string_view text, std::size_t from) noexcept {
    std::size_t i = from;
    while (i < text.size() && IsAsciiDigit(text[i])) {
        ++i;
    }
    return i - from;
}

// A text of the number grammar taken apart.
struct TNumberParts {
    bool Negative = false;
    std::string_view Unsigned;  // the text after its sign
    std::string_view IntDigits;
    std::string_view FracDigits;
    bool ExponentNegative = false;
    std::string_view ExponentDigits;
};

// Takes the whole text apart by the number grammar; false when it does not follow it.
bool ScanNumber(std::string_view text, TNumberParts& parts) noexcept {
    std::size_t i = 0;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        parts.Negative = text[0] == '-';
        ++i;
    }
    parts.Unsigned = text.substr(i);
    parts.IntDigits = text.substr(i, CountDigits(text, i));
    i += parts.IntDigits.size();
    if (i < text.size() && text[i] == '.') {
        ++i;
        parts.FracDigits = text.substr(i, CountDigits(text, i));
        i += parts.FracDigits.size();
    }
    if (parts.IntDigits.empty() && parts.FracDigits.empty()) {
        return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            parts.ExponentNegative = text[i] == '-';
            ++i;
        }
        parts.ExponentDigits = text.substr(i, CountDigits(text, i));
        if (parts.ExponentDigits.empty()) {
            return false;
        }
        i += parts.ExponentDigits.size();
    }
    return i == text.size();
}

// The power of ten of the first non-zero digit of a number that is not zero: 0 for "1.5",
// 2 for "150", -3 for "0.002", 400 for "1e400". Only its sign matters to the caller, so huge
// exponents saturate.
std::int64_t LeadingDigitExponent(const TNumberParts& parts) noexcept {
    constexpr std::int64_t kLimit = std::int64_t{1} << 40;
    const std::size_t intZeros =
        std::min(parts.IntDigits.find_first_not_of('0'), parts.IntDigits.size());
    const std::size_t intDigits = parts.IntDigits.size() - intZeros;
    std::int64_t lead = -1;
    if (intDigits > 0) {
        lead = static_cast<std::int64_t>(std::min<std::size_t>(intDigits, kLimit)) - 1;
    } else {
        const std::size_t fracZeros =
            std::min(parts.FracDigits.find_first_not_of('0'), parts.FracDigits.size());
        lead = std::max(lead - static_cast<std::int64_t>(std::min<std::size_t>(fracZeros, kLimit)),
                        -kLimit);
    }
    std::int64_t exponent = 0;
    for (const char c : parts.ExponentDigits) {
        exponent = std::min(exponent * 10 + (c - '0'), kLimit);
    }
    return lead + (parts.ExponentNegative ? -exponent : exponent);
}

// Accumulates negatively so that the most negative value needs no special case. Digits
// after an overflow are still checked, so that a number too large and a text that is no
// number at all are told apart.
template <class T>
TNumberRead ReadInteger(std::string_view text, T& value) noexcept {
    constexpr T kMin = std::numeric_limits<T>::min();
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return TNumberRead::Invalid;
    }
    T accumulated = 0;
    bool overflow = false;
    for (const char c : text) {
        if (!IsAsciiDigit(c)) {
            return TNumberRead::Invalid;
        }
        const T digit = static_cast<T>(c - '0');
        if (accumulated < kMin / 10 || accumulated * 10 < kMin + digit) {
            overflow = true;
        }
        if (!overflow) {
            accumulated = static_cast<T>(accumulated * 10 - digit);
        }
    }
    if (overflow || (!negative && accumulated == kMin)) {
        return TNumberRead::OutOfRange;
    }
    value = negative ? accumulated : static_cast<T>(-accumulated);
    return TNumberRead::Ok;
}

// ---- digit runs, eight bytes at a time ----

using text_words::DigitsValue;
using text_words::kExactPowers;
using text_words::kWordPowers;
using text_words::LeadingDigits;
using text_words::LoadTextWord;

// Appends the run of digits at `p` to `digits`, adds their number to `count`, and answers
// where the run ends. Beyond kMaxShortDigits digits in all the value wraps around; the
// caller then gives up on the text anyway. Runs of eight or more digits take the loop.
const char* AccumulateLongRun(const char* begin, const char* p, const char* end,
                              std::uint64_t& digits, std::size_t& count) noexcept {
    for (;;) {
        const std::uint64_t word = LoadTextWord(begin, p, end);
        const int n = LeadingDigits(word);
        if (n == 0) {
            return p;
        }
        count += static_cast<std::size_t>(n);
        p += n;
        digits = digits * kWordPowers[static_cast<std::size_t>(n)] + DigitsValue(word, n);
        if (n < 8 || count > kMaxShortDigits) {
            return p;
        }
    }
}

inline const char* AccumulateDigits(const char* begin, const char* p, const char* end,
                                    std::uint64_t& digits, std::size_t& count) noexcept {
    const std::uint64_t word = LoadTextWord(begin, p, end);
    const int n = LeadingDigits(word);
    if (n == 8) {
        return AccumulateLongRun(begin, p, end, digits, count);
    }
    if (n > 0) {
        count += static_cast<std::size_t>(n);
        digits = digits * kWordPowers[static_cast<std::size_t>(n)] + DigitsValue(word, n);
    }
    return p + n;
}

}  // namespace

TNumberRead ReadDecimal(std::string_view text, double& value) noexcept {
    if (const auto plain = ParseShortDecimal(text)) {
        value = *plain;
        return TNumberRead::Ok;
    }
    TNumberParts parts;
    if (!ScanNumber(text, parts)) {
        return TNumberRead::Invalid;
    }
    double magnitude = 0.0;
    const char* const end = parts.Unsigned.data() + parts.Unsigned.size();
    const auto [ptr, ec] =
        std::from_chars(parts.Unsigned.data(), end, magnitude, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        return LeadingDigitExponent(parts) >= 0 ? TNumberRead::OutOfRange : TNumberRead::Underflow;
    }
    if (ec != std::errc() || ptr != end) {
        return TNumberRead::Invalid;
    }
    value = parts.Negative ? -magnitude : magnitude;
    return TNumberRead::Ok;
}

TNumberRead ReadInt32(std::string_view text, std::int32_t& value) noexcept {
    return ReadInteger(text, value);
}

TNumberRead ReadInt64(std::string_view text, std::int64_t& value) noexcept {
    return ReadInteger(text, value);
}

std::optional<double> ParseDecimalText(std::string_view text) noexcept {
    double value = 0.0;
    switch (ReadDecimal(text, value)) {
        case TNumberRead::Ok:
            return value;
        case TNumberRead::Underflow:
            return 0.0;
        case TNumberRead::Invalid:
        case TNumberRead::OutOfRange:
            break;
    }
    return std::nullopt;
}

std::optional<std::int32_t> ParseInt32Text(std::string_view text) noexcept {
    std::int32_t value = 0;
    return ReadInt32(text, value) == TNumberRead::Ok ? std::optional(value) : std::nullopt;
}

std::optional<std::int64_t> ParseInt64Text(std::string_view text) noexcept {
    std::int64_t value = 0;
    return ReadInt64(text, value) == TNumberRead::Ok ? std::optional(value) : std::nullopt;
}

std::size_t ScanShortDigits(std::string_view text, TShortDigits& out) noexcept {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* p = begin;
    out = {};
    out.Negative = p != end && *p == '-';
    if (out.Negative) {
        ++p;
    }
    p = AccumulateDigits(begin, p, end, out.Digits, out.Count);
    out.IntDigits = out.Count;
    if (out.IntDigits == 0) {
        return 0;
    }
    if (p != end && *p == '.') {
        p = AccumulateDigits(begin, p + 1, end, out.Digits, out.Count);
        if (out.Count == out.IntDigits) {
            return 0;  // a point must be followed by digits
        }
    }
    return static_cast<std::size_t>(p - begin);
}

std::size_t ScanShortDecimalChecked(std::string_view text, double& value) noexcept {
    TShortDigits number;
    const std::size_t length = ScanShortDigits(text, number);
    if (length == 0 || number.Count > kMaxShortDigits || number.Digits > (std::uint64_t{1} << 53)) {
        return 0;
    }
    const double magnitude = static_cast<double>(static_cast<std::int64_t>(number.Digits)) /
                             kExactPowers[number.Count - number.IntDigits];
    value = number.Negative ? -magnitude : magnitude;
    return length;
}

std::optional<double> ParseShortDecimal(std::string_view text) noexcept {
    double value = 0.0;
    if (text.empty() || ScanShortDecimal(text, value) != text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace varnelo

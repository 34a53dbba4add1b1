// SPDX-License-Identifier: MIT
#include "shape/value_text.hpp"

#include "shape/text_words.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

#include "shape/ascii_text.hpp"
#include "shape/cp932.hpp"
#include "shape/letter_case.hpp"
#include "shape/uint128.hpp"

namespace varnelo {
namespace {

bool IsPrefixIgnoringCase(std::string_view text, std::string_view word) noexcept {
    return !text.empty() && StartsWithIgnoringCase(word, text);
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
    return !text.empty() && std::all_of(text.begin(), text.end(), IsAsciiDigit);
}

std::optional<TDate> ValidDateOrNone(const TDate& date) noexcept {
    return IsValidDate(date) ? std::optional<TDate>(date) : std::nullopt;
}

// The three parts of a date with `separator` between them (the last part runs to the end),
// or none when the separator is not there twice.
std::optional<std::array<std::string_view, 3>> DateParts(std::string_view text,
                                                         char separator) noexcept {
    const std::size_t first = text.find(separator);
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t second = text.find(separator, first + 1);
    if (second == std::string_view::npos) {
        return std::nullopt;
    }
    return std::array<std::string_view, 3>{
        text.substr(0, first), text.substr(first + 1, second - first - 1), text.substr(second + 1)};
}

bool IsDatePart(std::string_view part, std::size_t minDigits, std::size_t maxDigits) noexcept {
    return part.size() >= minDigits && part.size() <= maxDigits && AllDigits(part);
}

constexpr int kMaxExactDecimals = 17;  // 10^17 < 2^57, so mantissa x 10^17 fits 128 bits

constexpr std::array<std::uint64_t, 20> kPowersOfTen = [] {
    std::array<std::uint64_t, 20> powers{};
    std::uint64_t p = 1;
    for (auto& power : powers) {
        power = p;
        p *= 10;
    }
    return powers;
}();

// |value| x 10^decimals rounded half away from zero, worked out exactly in integers: the
// value is m x 2^-shift, so the scaled value is (m x 10^decimals) / 2^shift and the bits
// shifted out give the exact fraction. The text FormatFixed promises rounds the shortest
// decimal digits of the value instead, which lie within half a unit in the last place of
// it, that is within 10^decimals / 2 of the exact fraction in these units; whenever the
// fraction is further than that from one half, both round the same way. Nearer to one
// half, for very large or very small values, and for more than 17 decimals there is no
// answer and the digits decide.
std::optional<std::uint64_t> RoundScaledExactly(double value, int decimals) noexcept {
    if (decimals < 0 || decimals > kMaxExactDecimals || !std::isfinite(value)) {
        return std::nullopt;
    }
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value) & ~(std::uint64_t{1} << 63);
    if (bits == 0) {
        return 0;
    }
    const auto biasedExponent = static_cast<int>(bits >> 52);
    if (biasedExponent == 0) {
        return std::nullopt;  // subnormal: far too small to matter, left to the digits
    }
    const std::uint64_t mantissa =
        (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const int shift = 1075 - biasedExponent;  // value = mantissa x 2^-shift
    if (shift < 1 || shift > 120) {
        return std::nullopt;
    }
    const std::uint64_t scale = kPowersOfTen[static_cast<std::size_t>(decimals)];
    const TUInt128 product = static_cast<TUInt128>(mantissa) * scale;
    const TUInt128 whole = product >> shift;
    if (whole >= (TUInt128{1} << 63)) {
        return std::nullopt;
    }
    const TUInt128 fraction = product & ((TUInt128{1} << shift) - 1);
    const TUInt128 half = TUInt128{1} << (shift - 1);
    const TUInt128 margin = scale / 2;
    const auto rounded = static_cast<std::uint64_t>(whole);
    if (fraction < half && half - fraction > margin) {
        return rounded;
    }
    if (fraction >= half && fraction - half > margin) {
        return rounded + 1;
    }
    return std::nullopt;
}

// The text of `scaled` / 10^decimals with exactly `decimals` digits after the ".", "-" in
// front when the value is negative and the text is not all zeros.
std::size_t WriteScaled(std::uint64_t scaled, bool negative, int decimals, std::span<char> out) {
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    // The digits of `scaled` from the right, two at a time, then zeros in front up to
    // decimals + 1 digits, so that a value below 1 reads "0.xxx".
    std::array<char, 24> digits{};
    char* const digitsEnd = digits.data() + digits.size();
    char* first = digitsEnd;
    std::uint64_t rest = scaled;
    while (rest >= 100) {
        first -= 2;
        std::memcpy(first, kPairs + 2 * (rest % 100), 2);
        rest /= 100;
    }
    if (rest >= 10) {
        first -= 2;
        std::memcpy(first, kPairs + 2 * rest, 2);
    } else {
        *--first = static_cast<char>('0' + rest);
    }
    const auto fractionDigits = static_cast<std::size_t>(decimals);
    while (static_cast<std::size_t>(digitsEnd - first) < fractionDigits + 1) {
        *--first = '0';
    }
    const std::size_t wholeDigits = static_cast<std::size_t>(digitsEnd - first) - fractionDigits;
    const bool minus = negative && scaled != 0;
    const std::size_t length =
        (minus ? 1 : 0) + wholeDigits + (fractionDigits > 0 ? 1 + fractionDigits : 0);
    if (length > out.size()) {
        return length;
    }
    char* o = out.data();
    if (minus) {
        *o++ = '-';
    }
    o = std::copy_n(first, wholeDigits, o);
    if (fractionDigits > 0) {
        *o++ = '.';
        std::copy_n(first + wholeDigits, fractionDigits, o);
    }
    return length;
}

// A plain decimal text taken apart: an optional "-", whole digits, and optionally "." and
// fraction digits, neither run of digits empty.
struct TPlainDecimal {
    bool Negative = false;
    std::size_t Whole = 0;
    std::size_t Fraction = 0;
};

// The parts of a plain decimal text, or none.
std::optional<TPlainDecimal> PlainDecimalParts(std::string_view text) noexcept {
    const std::size_t n = text.size();
    const char* const begin = text.data();
    TPlainDecimal parts;
    parts.Negative = n > 0 && text[0] == '-';
    const std::size_t sign = parts.Negative ? 1 : 0;
    const std::size_t point = sign + text_words::DigitRun(begin, begin + sign, begin + n);
    if (point == sign) {
        return std::nullopt;
    }
    if (point < n) {
        if (text[point] != '.') {
            return std::nullopt;
        }
        parts.Fraction = text_words::DigitRun(begin, begin + point + 1, begin + n);
        if (parts.Fraction == 0 || point + 1 + parts.Fraction != n) {
            return std::nullopt;
        }
    }
    parts.Whole = point - sign;
    return parts;
}

// The everyday decimal text is already the stored text short of its trailing zeros: an
// optional "-", whole digits without a leading zero (or a lone 0), and no more digits after
// a point than `decimals`, at most 15 in all, not all zeros when negative. Such a text is
// copied and filled up with zeros, which is exactly what rounding its digits writes; any
// other text gives nullopt and is worked out from its digits.
struct TStoredFixed {
    std::size_t Length = 0;   // of the stored text
    std::size_t Zeros = 0;    // added after the text
    bool AddedPoint = false;  // before the zeros
};

std::optional<TStoredFixed> StoredFixedOfText(std::string_view text, int decimals) noexcept {
    constexpr std::size_t kMaxCopiedDigits = 15;
    const auto parts = PlainDecimalParts(text);
    if (!parts) {
        return std::nullopt;
    }
    const char* const begin = text.data();
    const char* const wholeStart = begin + (parts->Negative ? 1 : 0);
    const std::size_t whole = parts->Whole;
    const std::size_t fraction = parts->Fraction;
    const auto wanted = static_cast<std::size_t>(decimals);
    const std::size_t zeros = wanted - fraction;  // wraps above `wanted` for too many places
    if ((whole > 1 && *wholeStart == '0') || zeros > wanted ||
        whole + fraction > kMaxCopiedDigits ||
        (parts->Negative && std::all_of(wholeStart, begin + text.size(),
                                        [](char c) { return c == '0' || c == '.'; }))) {
        return std::nullopt;
    }
    const bool addedPoint = fraction == 0 && wanted > 0;
    return TStoredFixed{text.size() + (addedPoint ? 1 : 0) + zeros, zeros, addedPoint};
}

// Writes the stored text at `out`, which has room for it.
void WriteStoredFixed(std::string_view text, const TStoredFixed& stored, char* out) noexcept {
    text_words::CopyShort(out, text.data(), text.size());
    out += text.size();
    if (stored.AddedPoint) {
        *out++ = '.';
    }
    text_words::FillShort(out, '0', stored.Zeros);
}

// FormatFixedFromText of the texts that are not copied (decimals within range). Texts of at
// most 15 significant digits come back unchanged as the shortest digits of the double they
// read as (15 decimal digits survive the trip through a double's 53 bits), so rounding the
// text's own digits gives what formatting the value gives.
std::optional<std::size_t> RoundTextDigits(std::string_view text, int decimals,
                                           std::span<char> out) noexcept {
    constexpr std::uint64_t kMaxSignificant = 1'000'000'000'000'000;  // 10^15
    TShortDigits number;
    const std::size_t length = ScanShortDigits(text, number);
    if (length == 0 || length != text.size() || number.Count > kMaxShortDigits ||
        number.Digits >= kMaxSignificant) {
        return std::nullopt;
    }
    const std::uint64_t digits = number.Digits;
    const auto fraction = static_cast<int>(number.Count - number.IntDigits);
    std::uint64_t scaled = 0;
    if (fraction <= decimals) {
        const std::uint64_t factor = kPowersOfTen[static_cast<std::size_t>(decimals - fraction)];
        if (digits > UINT64_MAX / factor) {
            return std::nullopt;
        }
        scaled = digits * factor;
    } else {
        // Half away from zero: the first digit dropped decides.
        const std::uint64_t divisor = kPowersOfTen[static_cast<std::size_t>(fraction - decimals)];
        scaled = digits / divisor + (digits % divisor >= divisor / 2 ? 1 : 0);
    }
    return WriteScaled(scaled, number.Negative, decimals, out);
}

}  // namespace

bool IsValidDate(const TDate& date) noexcept {
    return date.Year >= 1 && date.Year <= 9999 && date.Month >= 1 && date.Month <= 12 &&
           date.Day >= 1 && date.Day <= DaysInMonth(date.Year, date.Month);
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
    // The everyday form "yyyy/mm/dd", read at fixed places; the same date the parts give.
    if (text.size() == 10 && text[4] == '/' && text[7] == '/') {
        const auto d = [&text](std::size_t i) { return static_cast<unsigned>(text[i] - '0'); };
        if (d(0) <= 9 && d(1) <= 9 && d(2) <= 9 && d(3) <= 9 && d(5) <= 9 && d(6) <= 9 &&
            d(8) <= 9 && d(9) <= 9) {
            return ValidDateOrNone(
                TDate{static_cast<int>(d(0) * 1000 + d(1) * 100 + d(2) * 10 + d(3)),
                      static_cast<int>(d(5) * 10 + d(6)), static_cast<int>(d(8) * 10 + d(9))});
        }
    }
    if (text.size() == 8 && AllDigits(text)) {
        return ValidDateOrNone(TDate{DigitsValue(text.substr(0, 4)), DigitsValue(text.substr(4, 2)),
                                     DigitsValue(text.substr(6, 2))});
    }
    const auto parts = DateParts(text, '/');
    if (!parts || !IsDatePart((*parts)[0], 4, 4) || !IsDatePart((*parts)[1], 1, 2) ||
        !IsDatePart((*parts)[2], 1, 2)) {
        return std::nullopt;
    }
    return ValidDateOrNone(
        TDate{DigitsValue((*parts)[0]), DigitsValue((*parts)[1]), DigitsValue((*parts)[2])});
}

std::optional<TDate> ParseYearLastDateText(std::string_view text, TDateOrder order) noexcept {
    const std::size_t first = text.find_first_not_of("0123456789");
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    const char separator = text[first];
    if (separator != '/' && separator != '-' && separator != '.') {
        return std::nullopt;
    }
    const auto parts = DateParts(text, separator);
    if (!parts || !IsDatePart((*parts)[0], 1, 2) || !IsDatePart((*parts)[1], 1, 2) ||
        !IsDatePart((*parts)[2], 4, 4)) {
        return std::nullopt;
    }
    const int a = DigitsValue((*parts)[0]);
    const int b = DigitsValue((*parts)[1]);
    const int year = DigitsValue((*parts)[2]);
    return ValidDateOrNone(order == TDateOrder::DayMonthYear ? TDate{year, b, a}
                                                             : TDate{year, a, b});
}

std::optional<std::size_t> FormatFixedFromText(std::string_view text, int decimals,
                                               std::span<char> out) noexcept {
    if (decimals < 0 || decimals > kMaxExactDecimals) {
        return std::nullopt;
    }
    if (const auto stored = StoredFixedOfText(text, decimals)) {
        if (stored->Length <= out.size()) {
            WriteStoredFixed(text, *stored, out.data());
        }
        return stored->Length;
    }
    return RoundTextDigits(text, decimals, out);
}

bool StoreFixedFromText(std::string_view text, int decimals, std::span<char> field) noexcept {
    constexpr std::size_t kMaxText = 32;
    if (decimals >= 0 && decimals <= kMaxExactDecimals) {
        if (const auto stored = StoredFixedOfText(text, decimals)) {
            if (stored->Length > kMaxText || stored->Length > field.size()) {
                return false;
            }
            const std::size_t pad = field.size() - stored->Length;
            text_words::FillShort(field.data(), ' ', pad);
            WriteStoredFixed(text, *stored, field.data() + pad);
            return true;
        }
    }
    // Rounded digits: a rare text, written aside first.
    std::array<char, kMaxText> formatted;
    const auto length = decimals >= 0 && decimals <= kMaxExactDecimals
                            ? RoundTextDigits(text, decimals, formatted)
                            : std::nullopt;
    if (!length || *length > formatted.size() || *length > field.size()) {
        return false;
    }
    const std::size_t pad = field.size() - *length;
    std::memset(field.data(), ' ', pad);
    std::memcpy(field.data() + pad, formatted.data(), *length);
    return true;
}

std::size_t FormatFixed(double value, int decimals, std::span<char> out) {
    if (const auto scaled = RoundScaledExactly(value, decimals)) {
        return WriteScaled(*scaled, std::signbit(value), decimals, out);
    }
    return FormatFixedFromShortestDigits(value, decimals, out);
}

std::size_t FormatFixedFromShortestDigits(double value, int decimals, std::span<char> out) {
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

// SPDX-License-Identifier: MIT
// The one grammar of number texts, read by the MIF readers (coordinates, counts) and by the
// table engine (field values) alike. No locale: "." is always the decimal separator.
//
//   number  = [sign] digits ["." [digits]] [exponent] | [sign] "." digits [exponent]
//   integer = [sign] digits
//   sign = "+" | "-"    exponent = ("e" | "E") [sign] digits
//
// Nothing else is part of a number: no blanks, no thousands separators, no "inf" or "nan".
// The everyday coordinate and field text, "-" and digits with an optional "." and digits,
// is read by a fast path that lives here beside the general reader and gives the same value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "shape/text_words.hpp"

namespace varnelo {

// How reading a whole text as a number ended.
enum class TNumberRead : std::uint8_t {
    Ok,
    Invalid,     // not a number of the grammar
    OutOfRange,  // a number too large for the type
    Underflow,   // a decimal number too small to tell from zero
};

// A finite double from a text of the number grammar.
TNumberRead ReadDecimal(std::string_view text, double& value) noexcept;
// A signed integer from a text of the integer grammar.
TNumberRead ReadInt32(std::string_view text, std::int32_t& value) noexcept;
TNumberRead ReadInt64(std::string_view text, std::int64_t& value) noexcept;

// As the table engine reads field text: a number too small for a double reads as zero; every
// other failure gives nullopt.
std::optional<double> ParseDecimalText(std::string_view text) noexcept;
std::optional<std::int32_t> ParseInt32Text(std::string_view text) noexcept;
std::optional<std::int64_t> ParseInt64Text(std::string_view text) noexcept;

// ---- the fast path ----

// The digits of a plain decimal at the start of a text: an optional "-", digits, and
// optionally "." followed by digits. `Digits` holds all the digits as one integer, exact
// while `Count` is at most kMaxShortDigits (it wraps beyond, and the callers then give up).
struct TShortDigits {
    bool Negative = false;
    std::uint64_t Digits = 0;
    std::size_t Count = 0;      // digits in all
    std::size_t IntDigits = 0;  // of them before the point
};
inline constexpr std::size_t kMaxShortDigits = 19;  // 10^19 - 1 still fits 64 bits

// Reads the plain decimal at the start of `text` into `out`; answers how many bytes it took,
// 0 when the text does not begin with one (a point must have digits on both sides).
std::size_t ScanShortDigits(std::string_view text, TShortDigits& out) noexcept;

// The common coordinate and number texts, fast: a plain decimal with at most 19 digits in
// all and an integer value of the digits not above 2^53. Those give the correctly rounded
// double (the same value ReadDecimal gives); every other text gives nullopt, and the caller
// then reads it the general way.
std::optional<double> ParseShortDecimal(std::string_view text) noexcept;
// The same at the start of a longer text: answers how many bytes the number took, or 0
// when the text does not begin with one. The number may be followed by anything, so
// "1.5e3" gives 1.5 after 3 bytes; the caller decides what may follow. Inline, as the
// coordinate readers call it twice a line.
inline std::size_t ScanShortDecimal(std::string_view text, double& value) noexcept;
// The same with every read checked against the end of the text.
std::size_t ScanShortDecimalChecked(std::string_view text, double& value) noexcept;

// The everyday number, at most seven digits on either side of the point, is read without
// watching bounds when the text leaves room to read eight bytes past the point wherever
// it stands; with at most 14 digits there is no overflow or 2^53 limit to check either.
// Everything else takes the checked scan.
inline std::size_t ScanShortDecimal(std::string_view text, double& value) noexcept {
    using text_words::DigitsValue;
    using text_words::LeadingDigits;
    constexpr std::size_t kRoomForQuickScan = 24;
    if (text.size() < kRoomForQuickScan) {
        return ScanShortDecimalChecked(text, value);
    }
    const char* p = text.data();
    const bool negative = *p == '-';
    p += negative ? 1 : 0;
    const std::uint64_t intWord = text_words::LoadWord(p);
    const int intDigits = LeadingDigits(intWord);
    if (intDigits == 0 || intDigits == 8) {
        return ScanShortDecimalChecked(text, value);
    }
    std::uint64_t digits = DigitsValue(intWord, intDigits);
    p += intDigits;
    int fracDigits = 0;
    if (*p == '.') {
        const std::uint64_t fracWord = text_words::LoadWord(p + 1);
        fracDigits = LeadingDigits(fracWord);
        if (fracDigits == 0 || fracDigits == 8) {
            return ScanShortDecimalChecked(text, value);
        }
        digits = digits * text_words::kWordPowers[fracDigits] + DigitsValue(fracWord, fracDigits);
        p += 1 + fracDigits;
    }
    const double magnitude = static_cast<double>(static_cast<std::int64_t>(digits)) /
                             text_words::kExactPowers[fracDigits];
    value = negative ? -magnitude : magnitude;
    return static_cast<std::size_t>(p - text.data());
}

}  // namespace varnelo

// SPDX-License-Identifier: MIT
// Conversions between field values and their text: the parsers behind setting a field
// from text, and the fixed-point formatter used for decimal fields. Plain functions on
// byte strings, no locale: "." is the decimal separator and "/" separates the date parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "shape/ascii_text.hpp"
#include "shape/text_words.hpp"

namespace varnelo {

// A calendar date. Valid dates have a year 1-9999, so they always fit "yyyymmdd".
struct TDate {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    friend bool operator==(const TDate&, const TDate&) = default;
};

bool IsValidDate(const TDate& date) noexcept;

// The whole text must be an optional sign and decimal digits within the signed 32-bit
// range.
std::optional<std::int32_t> ParseInt32Text(std::string_view text) noexcept;

// The whole text must be an optional sign, digits with an optional "." (at least one digit
// on either side of it), and an optional exponent "e"/"E" with optional sign and digits.
// A value beyond the double range is refused; one too small for it becomes zero.
std::optional<double> ParseDecimalText(std::string_view text);

// The common coordinate and number texts, fast: an optional "-", digits, and optionally
// "." followed by digits, with at most 19 digits in all and an integer value of the
// digits not above 2^53. Those give the correctly rounded double (the
// same value the general parsers give); every other text gives nullopt, and the caller
// then uses a general parser.
std::optional<double> ParseShortDecimal(std::string_view text) noexcept;
// The same at the start of a longer text: answers how many bytes the number took, or 0
// when the text does not begin with one. The number may be followed by anything, so
// "1.5e3" gives 1.5 after 3 bytes; the caller decides what may follow. Inline, as the
// coordinate readers call it twice a line.
inline std::size_t ScanShortDecimal(std::string_view text, double& value) noexcept;
// The same with every read checked against the end of the text.
std::size_t ScanShortDecimalChecked(std::string_view text, double& value) noexcept;

// A non-empty prefix of "False" gives false, else a non-empty prefix of "True" gives true,
// both ignoring ASCII case.
std::optional<bool> ParseBooleanText(std::string_view text) noexcept;

// "yyyy/m/d" with a four-digit year and one- or two-digit month and day, or exactly eight
// digits "yyyymmdd"; either way the date must exist.
std::optional<TDate> ParseDateText(std::string_view text) noexcept;

// Writes `value` (finite) in fixed-point notation with exactly `decimals` digits after the
// "." (none and no "." when `decimals` is 0), "-" before negative values whose text is not
// all zeros. Rounds half away from zero, on the shortest decimal text that reads back as
// `value`: 5e-7 gives 0.000001 at six decimals, 2.5e-7 gives 0.000000, 1.005 gives 1.01 at
// two. Returns the length of the text; writes it to `out` only when it fits.
std::size_t FormatFixed(double value, int decimals, std::span<char> out);
// FormatFixed of the value a plain decimal text (as ParseShortDecimal takes it) reads as,
// worked out on the text's own digits without a double: for texts of at most 15
// significant digits, nullopt for all others.
std::optional<std::size_t> FormatFixedFromText(std::string_view text, int decimals,
                                               std::span<char> out) noexcept;
// The same text worked out from the shortest digits every time; FormatFixed takes an exact
// integer shortcut for the values where it cannot differ. Kept as the reference.
std::size_t FormatFixedFromShortestDigits(double value, int decimals, std::span<char> out);

// The text as an error message quotes it: at most `limit` bytes, cut on a character
// boundary and followed by "..." when cut, so that a huge value cannot make a huge message;
// control bytes (0-31) shown as "?", so that a zero byte cannot end the message early nor a
// line end split it. The quotes are the caller's.
std::string TextForMessage(std::string_view text, std::size_t limit = 64);

// Writes the date as "yyyymmdd" into the first 8 bytes of `out` (the date must be valid).
void FormatDateDigits(const TDate& date, std::span<char, 8> out) noexcept;

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

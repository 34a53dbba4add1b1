// SPDX-License-Identifier: MIT
// Conversions between field values and their text: the parsers behind setting a field
// from text (numbers follow the grammar of number_text.hpp), and the fixed-point formatter
// used for decimal fields. Plain functions on
// byte strings, no locale: "." is the decimal separator and "/" separates the date parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "shape/ascii_text.hpp"
#include "shape/number_text.hpp"

namespace varnelo {

// A calendar date. Valid dates have a year 1-9999, so they always fit "yyyymmdd".
struct TDate {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    friend bool operator==(const TDate&, const TDate&) = default;
};

bool IsValidDate(const TDate& date) noexcept;

// True for the text an integer field stores as it is: an optional "-" and at most 18 digits
// without a leading zero (or a lone 0), which always reads as a 64-bit integer whose plain
// decimal text is the text itself.
// Inline, as every integer field value asks it.
inline bool IsPlainIntegerText(std::string_view text) noexcept {
    const std::size_t sign = !text.empty() && text[0] == '-' ? 1 : 0;
    const std::size_t digits = text.size() - sign;
    if (digits == 0 || digits > 18 || (text[sign] == '0' && (digits > 1 || sign == 1))) {
        return false;
    }
    const char* const begin = text.data();
    return text_words::DigitRun(begin, begin + sign, begin + text.size()) == digits;
}

// A non-empty prefix of "False" gives false, else a non-empty prefix of "True" gives true,
// both ignoring ASCII case.
std::optional<bool> ParseBooleanText(std::string_view text) noexcept;

// "yyyy/m/d" with a four-digit year and one- or two-digit month and day, or exactly eight
// digits "yyyymmdd"; either way the date must exist.
std::optional<TDate> ParseDateText(std::string_view text) noexcept;

// The order of day and month in a date written with the year last.
enum class TDateOrder { DayMonthYear, MonthDayYear };

// "d/m/yyyy" (or "m/d/yyyy" for MonthDayYear) with a one- or two-digit day and month and a
// four-digit year, separated by "/", "-" or "." (the same twice); the date must exist.
std::optional<TDate> ParseYearLastDateText(std::string_view text, TDateOrder order) noexcept;

// Writes `value` (finite) in fixed-point notation with exactly `decimals` digits after the
// "." (none and no "." when `decimals` is 0), "-" before negative values whose text is not
// all zeros. Rounds half away from zero, on the shortest decimal text that reads back as
// `value`: 5e-7 gives 0.000001 at six decimals, 2.5e-7 gives 0.000000, 1.005 gives 1.01 at
// two. Returns the length of the text; writes it to `out` only when it fits.
std::size_t FormatFixed(double value, int decimals, std::span<char> out);
// FormatFixed of the value a plain decimal text (as ScanShortDigits takes it) reads as,
// worked out on the text's own digits without a double: for texts of at most 15
// significant digits, nullopt for all others.
std::optional<std::size_t> FormatFixedFromText(std::string_view text, int decimals,
                                               std::span<char> out) noexcept;
// The text FormatFixedFromText gives, right-aligned behind blanks in `field` as a number
// field holds it; false, and the field left as it was, when that gives none, or a text
// longer than the field or than 32 bytes. The everyday text is written in place.
bool StoreFixedFromText(std::string_view text, int decimals, std::span<char> field) noexcept;
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

}  // namespace varnelo

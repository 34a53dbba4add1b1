// SPDX-License-Identifier: MIT
// Coordinate and count texts read by the number grammar of shape/number_text.hpp, with the
// errors the MIF readers raise. The callers pass trimmed text, so blanks around a number
// are not accepted; an optional leading '+' is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varnelo {

// A finite double: optional sign, digits with an optional full stop, optional exponent.
// Raises EConvertError quoting the text when it is not one or lies outside double range.
double StrToDouble(std::string_view text);
std::optional<double> TryStrToDouble(std::string_view text) noexcept;

// A signed 32-bit decimal integer. Raises EConvertError quoting the text when it is not one
// or does not fit.
std::int32_t StrToInt32(std::string_view text);
std::optional<std::int32_t> TryStrToInt32(std::string_view text) noexcept;

// Bytes of a text an error message quotes at most, beyond which it is cut.
inline constexpr std::size_t kQuotedTextLimit = 64;

// The text as an error message quotes it: in double quotes, cut after about 64 bytes on a
// character boundary so that a huge garbage line cannot make a huge message, control bytes
// shown as "?" so that a zero byte cannot cut the message short.
std::string QuoteForMessage(std::string_view text);

}  // namespace varnelo

// SPDX-License-Identifier: MIT
// The byte rule shared by every layer for text that is never converted: which bytes are
// trimmed. Bytes from 128 on are never removed, so no character of any code page is touched.
// Comparisons that ignore letter case follow letter_case.hpp.
#pragma once

#include <cstddef>
#include <string_view>

namespace varnelo {

// Bytes 0-32 (blanks and control characters) are trimmed.
constexpr bool IsTrimmable(unsigned char b) noexcept {
    return b <= 32;
}

// The ASCII digits 0-9, the only digits of any number text.
constexpr bool IsAsciiDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

// Removes every byte 0-32 from both ends; the result is a part of `text`.
constexpr std::string_view TrimBlanks(std::string_view text) noexcept {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsTrimmable(static_cast<unsigned char>(text[first]))) {
        ++first;
    }
    while (last > first && IsTrimmable(static_cast<unsigned char>(text[last - 1]))) {
        --last;
    }
    return text.substr(first, last - first);
}

}  // namespace varnelo

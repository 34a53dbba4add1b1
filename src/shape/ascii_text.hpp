// SPDX-License-Identifier: MIT
// The byte rules shared by every layer for text that is never converted: which bytes are
// trimmed, and how ASCII letters fold when a comparison ignores their case. Bytes from 128
// on are never changed, so no character of any code page is touched.
#pragma once

#include <cstddef>
#include <string_view>

namespace varnelo {

// Bytes 0-32 (blanks and control characters) are trimmed.
constexpr bool IsTrimmable(unsigned char b) noexcept {
    return b <= 32;
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

// a-z become A-Z; every other byte stays.
constexpr char FoldAscii(char c) noexcept {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Same length and same bytes, the ASCII letters compared ignoring case.
constexpr bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace varnelo

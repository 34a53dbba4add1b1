// SPDX-License-Identifier: MIT
// Double-byte character rules of code page 932 (Shift-JIS). Text is never converted;
// these helpers only keep cuts and scans from splitting a two-byte character.
#pragma once

#include <cstddef>
#include <string_view>

namespace varnelo::cp932 {

// True for the bytes that start a two-byte character: 0x81-0x9F and 0xE0-0xFC.
constexpr bool IsLeadByte(unsigned char b) noexcept {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Length of the longest prefix of `text` of at most `limit` bytes that does not end in
// the first byte of a two-byte character. Characters are recognised from the start.
constexpr std::size_t CharBoundaryAtMost(std::string_view text, std::size_t limit) noexcept {
    if (text.size() <= limit) {
        return text.size();
    }
    std::size_t i = 0;
    while (i < limit) {
        const std::size_t step = IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
        if (i + step > limit) {
            break;
        }
        i += step;
    }
    return i;
}

// True when the byte at 0-based `pos` is the lead byte of a two-byte character,
// reading `text` from its start.
constexpr bool StartsDoubleByteAt(std::string_view text, std::size_t pos) noexcept {
    std::size_t i = 0;
    while (i < text.size()) {
        const bool lead = IsLeadByte(static_cast<unsigned char>(text[i]));
        if (i == pos) {
            return lead;
        }
        i += lead ? 2 : 1;
        if (i > pos) {
            return false;  // pos is the trail byte of a two-byte character
        }
    }
    return false;
}

}  // namespace varnelo::cp932

// SPDX-License-Identifier: MIT
// Double-byte character rules of code page 932 (Shift-JIS). Text is never converted;
// these helpers only keep cuts and scans from splitting a two-byte character.
#pragma once

#include <cstddef>
#include <string_view>

namespace varnelo {

// Length of the longest prefix of `text` of at most `limit` bytes that does not end in
// the first byte of a two-byte character, on a double-byte code page whose lead bytes
// `isLead` tells. Characters are recognised from the start.
template <class TIsLead>
constexpr std::size_t DoubleByteBoundaryAtMost(std::string_view text, std::size_t limit,
                                               TIsLead isLead) noexcept {
    if (text.size() <= limit) {
        return text.size();
    }
    std::size_t i = 0;
    while (i < limit) {
        const std::size_t step = isLead(static_cast<unsigned char>(text[i])) ? 2 : 1;
        if (i + step > limit) {
            break;
        }
        i += step;
    }
    return i;
}

namespace cp932 {

// True for the bytes that start a two-byte character: 0x81-0x9F and 0xE0-0xFC.
constexpr bool IsLeadByte(unsigned char b) noexcept {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Second bytes of the two-byte characters: 0x40-0x7E and 0x80-0xFC.
constexpr bool IsTrailByte(unsigned char b) noexcept {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// The longest prefix of at most `limit` bytes that keeps every two-byte character whole.
constexpr std::size_t CharBoundaryAtMost(std::string_view text, std::size_t limit) noexcept {
    return DoubleByteBoundaryAtMost(text, limit, [](unsigned char b) { return IsLeadByte(b); });
}

// Bytes taken by the first `count` characters of `text`, all of it when it has fewer. A
// lead byte at the very end, without its second byte, counts as a character.
constexpr std::size_t CharPrefixBytes(std::string_view text, std::size_t count) noexcept {
    std::size_t i = 0;
    for (std::size_t n = 0; n < count && i < text.size(); ++n) {
        i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    }
    return i < text.size() ? i : text.size();
}

// Number of characters in `text`, counted as CharPrefixBytes steps.
constexpr std::size_t CharCount(std::string_view text) noexcept {
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++n) {
        i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    }
    return n;
}

}  // namespace cp932
}  // namespace varnelo

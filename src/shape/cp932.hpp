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

// The longest prefix of at most `limit` bytes that keeps every two-byte character whole.
constexpr std::size_t CharBoundaryAtMost(std::string_view text, std::size_t limit) noexcept {
    return DoubleByteBoundaryAtMost(text, limit, [](unsigned char b) { return IsLeadByte(b); });
}

}  // namespace cp932
}  // namespace varnelo

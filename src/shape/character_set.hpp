// SPDX-License-Identifier: MIT
// How the bytes of names and texts group into characters, by the source's character set.
// Text is never converted; these rules only decide where a text may be cut so that no
// character is split.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "shape/cp932.hpp"

namespace varnelo {

enum class TCharacterSet : std::uint8_t {
    ShiftJis,             // code page 932, the system code page the converter serves
    Utf8,                 // a lead byte and up to three continuation bytes 0x80-0xBF
    SingleByte,           // every byte a character (1250-1258, 874, the DOS code pages)
    EastAsianDoubleByte,  // code pages 936, 949 and 950: lead bytes 0x81-0xFE
};

namespace utf8 {

constexpr bool IsContinuationByte(unsigned char b) noexcept {
    return (b & 0xC0) == 0x80;
}

// Bytes of the character a lead byte starts (1 for ASCII and for bytes that start none).
constexpr std::size_t SequenceLength(unsigned char lead) noexcept {
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

// The longest prefix of at most `limit` bytes that does not end inside a character. Only
// the bytes around the cut are looked at; broken sequences are cut where the limit falls.
constexpr std::size_t CharBoundaryAtMost(std::string_view text, std::size_t limit) noexcept {
    if (text.size() <= limit) {
        return text.size();
    }
    constexpr std::size_t kMaxContinuations = 3;
    std::size_t start = limit;
    while (start > 0 && limit - start < kMaxContinuations &&
           IsContinuationByte(static_cast<unsigned char>(text[start]))) {
        --start;
    }
    const auto lead = static_cast<unsigned char>(text[start]);
    if (start == limit || IsContinuationByte(lead) || start + SequenceLength(lead) <= limit) {
        return limit;
    }
    return start;
}

}  // namespace utf8

// Bytes of the character that starts at `i` (below text.size()): a scan that steps by it
// never takes a byte inside a character for one of its own, such as a delimiter. A lead byte
// not followed by the bytes its character needs is a character of one byte, so a broken
// character never swallows what follows it.
constexpr std::size_t CharBytesAt(TCharacterSet set, std::string_view text,
                                  std::size_t i) noexcept {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80 || set == TCharacterSet::SingleByte) {
        return 1;
    }
    const auto next = [&](std::size_t k) {
        return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
    };
    switch (set) {
        case TCharacterSet::ShiftJis:
            return cp932::IsLeadByte(lead) && cp932::IsTrailByte(next(1)) ? 2 : 1;
        case TCharacterSet::EastAsianDoubleByte: {
            const unsigned char trail = next(1);
            return lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F
                       ? 2
                       : 1;
        }
        case TCharacterSet::Utf8: {
            const std::size_t length = utf8::SequenceLength(lead);
            for (std::size_t k = 1; k < length; ++k) {
                if (!utf8::IsContinuationByte(next(k))) {
                    return 1;
                }
            }
            return length;
        }
        case TCharacterSet::SingleByte:
            break;
    }
    return 1;
}

// True when no byte inside a character of `set` can have the value `b`, so that `b` can be
// sought byte by byte without stepping over characters.
constexpr bool NeverInsideCharacter(TCharacterSet set, unsigned char b) noexcept {
    switch (set) {
        case TCharacterSet::SingleByte:
            return true;
        case TCharacterSet::Utf8:
            return b < 0x80;
        case TCharacterSet::ShiftJis:
        case TCharacterSet::EastAsianDoubleByte:
            break;
    }
    return b < 0x40;  // below every second byte of the double-byte code pages
}

// The longest prefix of `text` of at most `limit` bytes that keeps every character whole.
constexpr std::size_t CharBoundaryAtMost(TCharacterSet set, std::string_view text,
                                         std::size_t limit) noexcept {
    if (text.size() <= limit) {
        return text.size();  // the everyday case, decided before the set is looked at
    }
    switch (set) {
        case TCharacterSet::Utf8:
            return utf8::CharBoundaryAtMost(text, limit);
        case TCharacterSet::SingleByte:
            return limit;
        case TCharacterSet::EastAsianDoubleByte:
            return DoubleByteBoundaryAtMost(text, limit,
                                            [](unsigned char b) { return b >= 0x81 && b <= 0xFE; });
        case TCharacterSet::ShiftJis:
            break;
    }
    return cp932::CharBoundaryAtMost(text, limit);
}

}  // namespace varnelo

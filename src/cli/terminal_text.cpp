// SPDX-License-Identifier: MIT
#include "cli/terminal_text.hpp"

#include <algorithm>
#include <cstdint>

namespace varnelo::cli {
namespace {

// The next code point of valid UTF-8 at `at`, and how many bytes it takes.
char32_t NextCodePoint(std::string_view text, std::size_t at, std::size_t& length) {
    const auto lead = static_cast<unsigned char>(text[at]);
    length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    length = std::min(length, text.size() - at);
    char32_t cp = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (std::size_t i = 1; i < length; ++i) {
        cp = (cp << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    }
    return cp;
}

struct TRange {
    char32_t First;
    char32_t Last;
};

// East Asian wide and full-width characters: Hangul, CJK, kana, full-width forms, emoji.
constexpr TRange kWide[] = {
    {0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x3098},   {0x309B, 0x33FF},
    {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F},
    {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},
    {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF},
    {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

// Combining marks and zero-width characters, drawn on the character before them.
constexpr TRange kZeroWidth[] = {
    {0x0300, 0x036F}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F},
    {0x20D0, 0x20FF}, {0x3099, 0x309A}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF},
};

template <std::size_t N>
bool InRanges(char32_t cp, const TRange (&ranges)[N]) {
    return std::any_of(std::begin(ranges), std::end(ranges),
                       [cp](const TRange& r) { return cp >= r.First && cp <= r.Last; });
}

}  // namespace

std::size_t TTerminalText::Width(std::string_view shown) const {
    if (Raw()) {
        return shown.size();
    }
    std::size_t width = 0;
    for (std::size_t at = 0, length = 1; at < shown.size(); at += length) {
        const char32_t cp = NextCodePoint(shown, at, length);
        if (cp < kZeroWidth[0].First) {
            ++width;  // Latin letters, digits and signs: one column each
        } else {
            width += InRanges(cp, kWide) ? 2 : InRanges(cp, kZeroWidth) ? 0 : 1;  // no overlap
        }
    }
    return width;
}

}  // namespace varnelo::cli

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

bool IsControlAt(std::string_view text, std::size_t i) {
    const auto b = static_cast<unsigned char>(text[i]);
    return b < 0x20 || b == 0x7F ||
           (b == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(text[i + 1]) <= 0x9F);
}

// Control characters, C0 and C1, become "?" in text already decoded to UTF-8.
void MaskControls(std::string& text) {
    std::size_t first = 0;
    while (first < text.size() && !IsControlAt(text, first)) {
        ++first;
    }
    if (first == text.size()) {
        return;  // the common case: nothing to mask
    }
    std::string masked;
    masked.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsControlAt(text, i)) {
            masked += '?';
            i += static_cast<unsigned char>(text[i]) == 0xC2 ? 1 : 0;
        } else {
            masked += text[i];
        }
    }
    text.swap(masked);
}

}  // namespace

TTerminalText::TTerminalText(const std::string& charset) {
    if (charset.empty()) {
        return;
    }
    toTerminal_ = std::make_unique<os::TCharsetConverter>("UTF-8", charset);
    fromTerminal_ = std::make_unique<os::TCharsetConverter>(charset, "UTF-8");
}

TTerminalText::~TTerminalText() = default;

std::string TTerminalText::Show(std::string_view stored) const {
    if (Raw()) {
        return std::string(stored);
    }
    std::string shown;
    toTerminal_->Convert(stored, shown, true);
    MaskControls(shown);
    return shown;
}

std::optional<std::string> TTerminalText::Store(std::string_view utf8) const {
    if (Raw()) {
        return std::string(utf8);
    }
    std::string stored;
    if (!fromTerminal_->Convert(utf8, stored, false)) {
        return std::nullopt;
    }
    return stored;
}

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

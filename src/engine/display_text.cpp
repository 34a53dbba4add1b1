// SPDX-License-Identifier: MIT
#include "engine/display_text.hpp"

#include <stdexcept>

#include "engine/code_page.hpp"

namespace varnelo {
namespace {

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

TDisplayText::TDisplayText(const std::string& charset) {
    if (charset.empty()) {
        return;
    }
    toScreen_ = std::make_unique<os::TCharsetConverter>("UTF-8", charset);
    fromScreen_ = std::make_unique<os::TCharsetConverter>(charset, "UTF-8");
}

TDisplayText::~TDisplayText() = default;

std::string TDisplayText::Show(std::string_view stored) const {
    if (Raw()) {
        return std::string(stored);
    }
    std::string shown;
    toScreen_->Convert(stored, shown, true);
    MaskControls(shown);
    return shown;
}

std::optional<std::string> TDisplayText::Store(std::string_view utf8) const {
    if (Raw()) {
        return std::string(utf8);
    }
    std::string stored;
    if (!fromScreen_->Convert(utf8, stored, false)) {
        return std::nullopt;
    }
    return stored;
}

TSourceText::TSourceText(std::string_view mifCharset)
    : mifCharset_(mifCharset), characters_(CodePageOfCharset(mifCharset).Characters) {}

TSourceText::~TSourceText() = default;

const TDisplayText& TSourceText::Decoder() const {
    if (!decoder_) {
        const std::string name =
            CharsetOfCodePage(CodePageOfCharset(mifCharset_).CpgText).value_or("CP932");
        try {
            decoder_ = std::make_unique<TDisplayText>(name);
        } catch (const std::runtime_error&) {
            decoder_ = std::make_unique<TDisplayText>("CP932");
        }
    }
    return *decoder_;
}

std::string TSourceText::Show(std::string_view stored, std::size_t limit) const {
    if (stored.size() <= limit) {
        return Decoder().Show(stored);
    }
    return Decoder().Show(stored.substr(0, CharBoundaryAtMost(characters_, stored, limit))) + "...";
}

}  // namespace varnelo

// SPDX-License-Identifier: MIT
#include "os/catalog.hpp"

#include <atomic>
#include <iterator>

namespace varnelo {
namespace {

struct TPatterns {
    std::string_view Japanese;
    std::string_view English;
};

constexpr TPatterns kCatalog[] = {
#define VARNELO_TEXT(name, japanese, english) {japanese, english},
#include "os/catalog.inc"
#undef VARNELO_TEXT
};

std::atomic<TLanguage> gLanguage{TLanguage::Japanese};

}  // namespace

void SetTextLanguage(TLanguage language) noexcept {
    gLanguage.store(language, std::memory_order_relaxed);
}

TLanguage TextLanguage() noexcept {
    return gLanguage.load(std::memory_order_relaxed);
}

std::string_view PatternOf(TText id, TLanguage language) noexcept {
    const TPatterns& patterns = kCatalog[static_cast<std::size_t>(id)];
    return language == TLanguage::Japanese ? patterns.Japanese : patterns.English;
}

std::string TextWith(TText id, std::span<const TTextArg> args) {
    const std::string_view pattern = PatternOf(id, TextLanguage());
    std::string text;
    text.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '{' && i + 2 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9' &&
            pattern[i + 2] == '}') {
            const auto n = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (n < args.size()) {
                text += args[n].View();
            }
            i += 2;
        } else {
            text += c;
        }
    }
    return text;
}

}  // namespace varnelo

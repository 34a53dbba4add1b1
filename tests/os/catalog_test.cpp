// SPDX-License-Identifier: MIT
// The catalog: every text in both languages with the same places, English free of Japanese,
// and the places filled in each language's order.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "os/catalog.hpp"

namespace varnelo {
namespace {

constexpr TText kAllTexts[] = {
#define VARNELO_TEXT(name, japanese, english) TText::name,
#include "os/catalog.inc"
#undef VARNELO_TEXT
};

std::multiset<std::string> PlacesOf(std::string_view pattern) {
    std::multiset<std::string> places;
    for (std::size_t i = 0; i + 2 < pattern.size(); ++i) {
        if (pattern[i] == '{' && pattern[i + 2] == '}') {
            places.insert(std::string(pattern.substr(i, 3)));
        }
    }
    return places;
}

// Kana, kanji and full-width forms begin with the UTF-8 bytes E3 to EF; typographic quotes
// and dashes (E2) are fine in English.
bool HasJapanese(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0xE3 && static_cast<unsigned char>(c) <= 0xEF) {
            return true;
        }
    }
    return false;
}

TEST(Catalog, EveryTextHasBothLanguagesWithTheSamePlaces) {
    for (const TText id : kAllTexts) {
        const std::string_view japanese = PatternOf(id, TLanguage::Japanese);
        const std::string_view english = PatternOf(id, TLanguage::English);
        SCOPED_TRACE(std::string(english));
        EXPECT_FALSE(japanese.empty());
        EXPECT_FALSE(english.empty());
        EXPECT_EQ(PlacesOf(japanese), PlacesOf(english));
        EXPECT_FALSE(HasJapanese(english));
    }
}

TEST(Catalog, FillsPlacesInTheRunsLanguage) {
    const int code = 1234;
    EXPECT_EQ(Text(TText::kErrorOtherDescribed, code, "odd"), "システムエラー 1234 (odd)");
    SetTextLanguage(TLanguage::English);
    EXPECT_EQ(Text(TText::kErrorOtherDescribed, code, std::string("odd")),
              "system error 1234 (odd)");
    EXPECT_EQ(Text(TText::kErrorInUse), "in use by another process");
    SetTextLanguage(TLanguage::Japanese);
}

}  // namespace
}  // namespace varnelo

// SPDX-License-Identifier: MIT
#include "engine/code_page.hpp"

#include <algorithm>
#include <array>

#include "engine/file_names.hpp"
#include "engine/numbers.hpp"
#include "engine/text_ops.hpp"
#include "os/catalog.hpp"
#include "os/file.hpp"

namespace varnelo {

namespace {

struct TCharsetRow {
    std::string_view Charset;
    std::string_view CpgText;
    TCharacterSet Characters;
};

constexpr TCharsetRow kCharsets[] = {
    {"", "932", TCharacterSet::ShiftJis},
    {"Neutral", "932", TCharacterSet::ShiftJis},
    {"WindowsJapanese", "932", TCharacterSet::ShiftJis},
    {"UTF-8", "UTF-8", TCharacterSet::Utf8},
    {"WindowsLatin1", "1252", TCharacterSet::SingleByte},
    {"WindowsLatin2", "1250", TCharacterSet::SingleByte},
    {"WindowsCyrillic", "1251", TCharacterSet::SingleByte},
    {"WindowsGreek", "1253", TCharacterSet::SingleByte},
    {"WindowsTurkish", "1254", TCharacterSet::SingleByte},
    {"WindowsHebrew", "1255", TCharacterSet::SingleByte},
    {"WindowsArabic", "1256", TCharacterSet::SingleByte},
    {"WindowsBaltic", "1257", TCharacterSet::SingleByte},
    {"WindowsVietnamese", "1258", TCharacterSet::SingleByte},
    {"WindowsThai", "874", TCharacterSet::SingleByte},
    {"WindowsSimpChinese", "936", TCharacterSet::EastAsianDoubleByte},
    {"WindowsKorean", "949", TCharacterSet::EastAsianDoubleByte},
    {"WindowsTradChinese", "950", TCharacterSet::EastAsianDoubleByte},
    // The ISO 8859 sets as shapefile readers name them in a .cpg.
    {"ISO8859_1", "88591", TCharacterSet::SingleByte},
    {"ISO8859_2", "88592", TCharacterSet::SingleByte},
    {"ISO8859_3", "88593", TCharacterSet::SingleByte},
    {"ISO8859_4", "88594", TCharacterSet::SingleByte},
    {"ISO8859_5", "88595", TCharacterSet::SingleByte},
    {"ISO8859_6", "88596", TCharacterSet::SingleByte},
    {"ISO8859_7", "88597", TCharacterSet::SingleByte},
    {"ISO8859_8", "88598", TCharacterSet::SingleByte},
    {"ISO8859_9", "88599", TCharacterSet::SingleByte},
};

// "CodePage437" and the like: the DOS code pages, all of one byte a character.
std::string_view DosCodePage(std::string_view charset) noexcept {
    constexpr std::string_view kPrefix = "CodePage";
    constexpr std::size_t kDigits = 3;
    if (charset.size() != kPrefix.size() + kDigits || !StartsWithKeyword(charset, kPrefix)) {
        return {};
    }
    const std::string_view number = charset.substr(kPrefix.size());
    for (const char c : number) {
        if (c < '0' || c > '9') {
            return {};
        }
    }
    return number;
}

bool AllDigits(std::string_view text) noexcept {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The start of a small file; none when it cannot be read. A code page name is short, so
// more than that is never read.
std::optional<std::string> ReadSmallFile(const std::string& path) {
    os::TFile file;
    std::array<char, 256> text{};
    std::size_t got = 0;
    if (file.Open(path, os::TFileMode::ReadOnly) || file.ReadAt(0, text.data(), text.size(), got)) {
        return std::nullopt;
    }
    return std::string(text.data(), got);
}

}  // namespace

TCodePage CodePageOfCharset(std::string_view charset) {
    TCodePage page;
    for (const TCharsetRow& row : kCharsets) {
        if (SameKeyword(charset, row.Charset)) {
            page.CpgText = row.CpgText;
            page.Characters = row.Characters;
            return page;
        }
    }
    if (const std::string_view number = DosCodePage(charset); !number.empty()) {
        page.CpgText = number;
        page.Characters = TCharacterSet::SingleByte;
        return page;
    }
    page.Reason = Text(TText::kEngineNoCodePage, QuoteForMessage(charset));
    return page;
}

std::optional<std::string> CharsetOfCodePage(std::string_view cpgText) {
    std::string_view text = TrimView(cpgText);
    if (text.size() > 5 && StartsWithKeyword(text, "ANSI ")) {
        text = TrimView(text.substr(5));  // "ANSI 1252"
    }
    if (text.empty()) {
        return std::nullopt;
    }
    if (AllDigits(text)) {
        if (text == "65001") {
            return "UTF-8";
        }
        if (text.size() > 4 && text.substr(0, 4) == "8859") {
            return "ISO-8859-" + std::string(text.substr(4));  // "88591" is ISO 8859-1
        }
        return "CP" + std::string(text);  // a Windows code page number
    }
    if (SameKeyword(text, "UTF8")) {
        return "UTF-8";
    }
    return std::string(text);
}

std::optional<TCodePageFile> ReadCodePageFile(std::string_view tablePath) {
    std::string path = FindCompanion(tablePath, ".cpg");
    if (const auto text = ReadSmallFile(path)) {
        if (auto charset = CharsetOfCodePage(*text)) {
            return TCodePageFile{std::move(path), std::move(*charset)};
        }
    }
    return std::nullopt;
}

TCodePageFile TableCodePage(std::string_view tablePath) {
    if (auto file = ReadCodePageFile(tablePath)) {
        return std::move(*file);
    }
    return TCodePageFile{"", "CP932"};
}

}  // namespace varnelo

// SPDX-License-Identifier: MIT
#include "engine/mif_header.hpp"

#include <string_view>

#include "engine/mif_errors.hpp"
#include "engine/numbers.hpp"
#include "engine/text_ops.hpp"
#include "os/catalog.hpp"
#include "shape/errors.hpp"

namespace varnelo {

namespace {

// Each header keyword adds its own weight; only one of each adds up to exactly 16.
constexpr int kCompleteHeader = 16;

int HeaderKeywordWeight(std::string_view word) noexcept {
    if (SameKeyword(word, "Version")) {
        return 1;
    }
    if (SameKeyword(word, "Charset")) {
        return 3;
    }
    if (SameKeyword(word, "Delimiter")) {
        return 5;
    }
    if (SameKeyword(word, "CoordSys")) {
        return 7;
    }
    return 0;
}

std::string_view FirstWord(std::string_view trimmedLine) noexcept {
    return SplitAtFirstBlankView(trimmedLine).Head;
}

// The character of a Delimiter line: the first byte inside its quotes (or the first byte,
// unquoted); "\t" written out stands for a TAB. '\0' when the line gives none.
char DeclaredDelimiter(std::string_view value) noexcept {
    if (!value.empty() && value.front() == '"') {
        value.remove_prefix(1);
        if (value.empty() || value.front() == '"') {
            return '\0';
        }
    }
    if (value.size() >= 2 && value[0] == '\\' && value[1] == 't') {
        return '\t';
    }
    return value.empty() ? '\0' : value.front();
}

// Longest CoordSys clause kept; no real clause comes near it, and a damaged header cannot
// make the clause take in the rest of the file.
constexpr std::size_t kMaxCoordSysText = 4096;

// True for a line that goes on with the CoordSys clause above it: one that begins with a
// word of the clause (a projection, units, affine or bounds part) or with a value.
bool ContinuesCoordSys(std::string_view line) noexcept {
    const auto first = static_cast<unsigned char>(line.front());
    if ((first >= '0' && first <= '9') || first == '-' || first == '+' || first == '.' ||
        first == '(' || first == ',' || first == '"') {
        return true;
    }
    constexpr std::string_view kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    const std::string_view word = line.substr(0, line.find_first_not_of(kLetters));
    for (const std::string_view part : {"Projection", "Units", "Affine", "Bounds"}) {
        if (SameKeyword(word, part)) {
            return true;
        }
    }
    return false;
}

// Keeps the clause of a CoordSys line and of the lines that continue it; the first line
// that does not is handed back to the reader.
void KeepCoordSys(std::string_view clause, TLineReader& mif, std::string& out) {
    out.assign(clause);
    while (!mif.Eof()) {
        const std::string_view raw = mif.ReadLineView();
        const std::string_view line = TrimView(raw);
        if (line.empty()) {
            continue;
        }
        if (!ContinuesCoordSys(line) || out.size() + line.size() >= kMaxCoordSysText) {
            mif.PushBack(raw);
            return;
        }
        out += ' ';
        out += line;
    }
}

// Keeps the values the conversion needs of a header line whose first word is `word`.
void KeepHeaderValue(std::string_view word, std::string_view line, TLineReader& mif,
                     TMifHeaderInfo& info) {
    const std::string_view value = SplitAtFirstBlankView(line).Tail;
    if (SameKeyword(word, "Delimiter")) {
        info.Delimiter = DeclaredDelimiter(value);
    } else if (SameKeyword(word, "Charset")) {
        std::string scratch;
        info.Charset.assign(DequoteView(value, '"', scratch));
    } else if (SameKeyword(word, "CoordSys")) {
        KeepCoordSys(value, mif, info.CoordSys);
    }
}

constexpr int kCharWidthFallback = 255;
constexpr int kIntegerWidth = 11;
// Character widths of the newer types, each holding its value as written: "hhmmssfff" and
// "yyyymmddhhmmssfff".
constexpr int kTimeWidth = 9;
constexpr int kDateTimeWidth = 17;

// The width and decimals of "(w,d)" (blanks allowed around both numbers), kept when they
// make a number: at least one digit, the decimals from 0 to the width. 0, 0 otherwise.
void ApplyDecimalSize(std::string_view typeText, TSFColumn& column) {
    const std::string_view afterOpen = SplitAtFirstView('(', typeText).Tail;
    const THeadTailView size = SplitAtFirstView(',', SplitAtFirstView(')', afterOpen).Head);
    const auto width = TryStrToInt32(size.Head);
    const auto decimals = TryStrToInt32(size.Tail);
    const bool valid = width && decimals && *width >= 1 && *decimals >= 0 && *decimals <= *width;
    column.Width = valid ? *width : 0;
    column.Decimals = valid ? *decimals : 0;
}

// Applies the type tests one after the other, as each may overwrite the previous one.
// A type the tests do not know leaves the entry as it was and marks it unknown.
void ApplyColumnType(std::string_view typeText, TSFColumn& column) {
    bool known = false;
    const auto test = [&](std::string_view keyword) {
        const bool match = StartsWithKeyword(typeText, keyword);
        known = known || match;
        return match;
    };
    if (test("Char")) {
        column.Type = 0;
        const std::string_view afterOpen = SplitAtFirstView('(', typeText).Tail;
        const THeadTailView width = SplitAtFirstView(')', afterOpen);
        column.Width = TryStrToInt32(width.Head).value_or(kCharWidthFallback);
        typeText = width.Tail;  // the later tests look only past the ")"
    }
    if (test("Integer") || test("SmallInt")) {
        column.Type = 1;
        column.Width = kIntegerWidth;
    }
    if (test("LargeInt")) {
        column.Type = kLargeIntColumn;
    }
    if (test("Decimal")) {
        column.Type = 2;
        ApplyDecimalSize(typeText, column);
    }
    if (test("Float")) {
        column.Type = 2;
        column.Width = 0;
        column.Decimals = 0;
    }
    if (test("DateTime")) {
        column.Type = 0;
        column.Width = kDateTimeWidth;
    } else if (test("Date")) {
        column.Type = 3;
    }
    if (test("Time")) {
        column.Type = 0;
        column.Width = kTimeWidth;
    }
    if (test("Logical")) {
        column.Type = 4;
    }
    column.Known = known;
}

// Where the type of a column line begins when it is the line's end: the last word, or a Char
// or Decimal with its parenthesis ("Char (50)", "Decimal (10, 3)"). npos when nothing but
// that type stands on the line.
std::size_t TrailingTypeStart(std::string_view line) noexcept {
    constexpr std::string_view kBlanks = " \t";
    std::size_t start = line.find_last_of(kBlanks);
    const std::size_t open = line.ends_with(')') ? line.rfind('(') : std::string_view::npos;
    if (open != std::string_view::npos) {
        const std::string_view before = TrimView(line.substr(0, open));
        const std::size_t blank = before.find_last_of(kBlanks);
        const std::size_t word = blank == std::string_view::npos ? 0 : blank + 1;
        if (SameKeyword(before.substr(word), "Char") ||
            SameKeyword(before.substr(word), "Decimal")) {
            start = word;
        }
    }
    return start == std::string_view::npos || TrimView(line.substr(0, start)).empty()
               ? std::string_view::npos
               : line.find_first_not_of(kBlanks, start);
}

// A column line: the name up to the first blank, then the type. When what follows the first
// blank is no type but the line ends in one, the name is everything before that type, as
// writers that allow blanks in names put it ("Depth low Float", "Date of survey Char (8)").
void ReadColumnLine(std::string_view line, TSFColumn& column) {
    const THeadTailView parts = SplitAtFirstBlankView(line);
    TSFColumn read = column;
    ApplyColumnType(parts.Tail, read);
    read.Name.assign(parts.Head);
    if (!read.Known) {
        if (const std::size_t type = TrailingTypeStart(line); type != std::string_view::npos) {
            TSFColumn named = column;
            ApplyColumnType(line.substr(type), named);
            if (named.Known) {
                named.Name.assign(TrimView(line.substr(0, type)));
                read = std::move(named);
            }
        }
    }
    column = std::move(read);
}

std::string_view NextColumnLine(TLineReader& mif, std::int32_t read, std::int32_t declared) {
    for (;;) {
        if (mif.Eof()) {
            throw EMifFormatError(Text(TText::kEngineColumnsCutShort, declared, read));
        }
        const std::string_view line = TrimView(mif.ReadLineView());
        if (!line.empty()) {
            return line;
        }
    }
}

}  // namespace

void ReadMifHeader(TLineReader& mif, TMifHeaderInfo* info) {
    int total = 0;
    while (total != kCompleteHeader && !mif.Eof()) {
        const std::string_view raw = mif.ReadLineView();
        const std::string_view line = TrimView(raw);
        if (line.empty()) {
            continue;
        }
        const std::string_view word = FirstWord(line);
        // A header that lacks a keyword must not swallow the columns and the objects.
        if (SameKeyword(word, "Columns") || SameKeyword(word, "Data")) {
            mif.PushBack(raw);
            return;
        }
        total += HeaderKeywordWeight(word);
        if (info != nullptr) {
            KeepHeaderValue(word, line, mif, *info);
        }
    }
}

void ReadMifColumns(TLineReader& mif, TSFColumns& columns) {
    std::string_view countText;
    for (;;) {
        if (mif.Eof()) {
            return;
        }
        const std::string_view raw = mif.ReadLineView();
        const std::string_view line = TrimView(raw);
        if (line.empty()) {
            continue;
        }
        const THeadTailView words = SplitAtFirstBlankView(line);
        if (SameKeyword(words.Head, "Columns")) {
            countText = words.Tail;
            break;
        }
        if (SameKeyword(words.Head, "Data")) {
            mif.PushBack(raw);
            return;
        }
    }

    const std::int32_t count = TryStrToInt32(countText).value_or(0);
    if (count < 0) {
        throw EMifFormatError(Text(TText::kEngineNegativeColumnCount, count));
    }
    // The list grows only as column lines are actually read, so a huge declared count
    // cannot allocate ahead of the data.
    for (std::int32_t k = 0; k < count; ++k) {
        const std::string_view line = NextColumnLine(mif, k, count);
        const auto index = static_cast<std::size_t>(k);
        if (index == columns.size()) {
            columns.emplace_back();
        }
        ReadColumnLine(line, columns[index]);
    }
    columns.resize(static_cast<std::size_t>(count));
}

bool ReadPastDataLine(TLineReader& mif) {
    while (!mif.Eof()) {
        if (SameKeyword(FirstWord(TrimView(mif.ReadLineView())), "Data")) {
            return true;
        }
    }
    return false;
}

}  // namespace varnelo

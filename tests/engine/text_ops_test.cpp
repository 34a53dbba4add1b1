// SPDX-License-Identifier: MIT
#include "engine/text_ops.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <vector>

namespace varnelo {
namespace {

// Shift-JIS bytes: "テスト", the full-width space, and "ソ" whose trail byte is '\'.
const std::string kTesuto = "\x83\x65\x83\x58\x83\x67";
const std::string kWideSpace = "\x81\x40";
const std::string kSo = "\x83\x5C";

std::vector<std::string> Fields(std::string_view text, char delimiter) {
    std::vector<std::string> fields;
    TFieldScanner scanner(text, delimiter);
    while (scanner.Next()) {
        fields.emplace_back(scanner.Field());
    }
    return fields;
}

using Strings = std::vector<std::string>;

TEST(Trim, RemovesBytesUpTo32FromBothEndsOnly) {
    EXPECT_EQ(Trim(std::string("\0\t a b \r\n", 9)), "a b");
    EXPECT_EQ(Trim(" \x1f "), "");
    EXPECT_EQ(Trim(kWideSpace + "x" + kWideSpace), kWideSpace + "x" + kWideSpace);
}

TEST(SplitAtFirst, TrimsHeadAndTailAroundTheFirstDelimiter) {
    EXPECT_EQ(SplitAtFirst(' ', "Columns   12").Head, "Columns");
    EXPECT_EQ(SplitAtFirst(' ', "Columns   12").Tail, "12");
    EXPECT_EQ(SplitAtFirst(' ', "Data").Head, "Data");
    EXPECT_EQ(SplitAtFirst(' ', "Data").Tail, "");
    EXPECT_EQ(SplitAtFirst(' ', " Data ").Head, "");  // cut at the leading space
    EXPECT_EQ(SplitAtFirst(' ', " Data ").Tail, "Data");
    EXPECT_EQ(SplitAtFirst('(', "Char (10) ").Tail, "10)");
    EXPECT_EQ(SplitAtFirst(' ', "a b c").Tail, "b c");
}

TEST(PosFrom, FindsFromAOneBasedStart) {
    EXPECT_EQ(PosFrom(1, "b", "abcb"), 2u);
    EXPECT_EQ(PosFrom(3, "b", "abcb"), 4u);
    EXPECT_EQ(PosFrom(-5, "ab", "abcb"), 1u);
    EXPECT_EQ(PosFrom(5, "b", "abcb"), 0u);
    EXPECT_EQ(PosFrom(1, "x", "abcb"), 0u);
    EXPECT_EQ(PosFrom(4, "cb", "abcb"), 0u);
    EXPECT_EQ(PosFrom(1, "", "abcb"), 0u);
}

TEST(CountOccurrences, CountsNonOverlappingMatches) {
    EXPECT_EQ(CountOccurrences("  ", "a    b", 1), 2u);
    EXPECT_EQ(CountOccurrences("  ", "a   b", 1), 1u);
    EXPECT_EQ(CountOccurrences("a", "aaa", 2), 2u);
    EXPECT_EQ(CountOccurrences("a", "aaa", 4), 0u);
    EXPECT_EQ(CountOccurrences("", "aaa", 1), 0u);
}

TEST(CollapseBlanks, TurnsEveryRunOfSpacesIntoOneAndKeepsTabs) {
    EXPECT_EQ(CollapseBlanks("a   b  c d"), "a b c d");
    EXPECT_EQ(CollapseBlanks("    a     "), " a ");
    EXPECT_EQ(CollapseBlanks("a \t  b"), "a \t b");
    EXPECT_EQ(CollapseBlanks(""), "");
    EXPECT_EQ(CollapseBlanks(std::string(100000, ' ')), " ");
}

TEST(SplitString, SplitsAtBlanksAndTheDelimiter) {
    EXPECT_EQ(SplitString("x  y", 2, ' '), "y");
    EXPECT_EQ(Fields("a,,b", ','), (Strings{"a", "", "b"}));
    EXPECT_EQ(Fields("a,", ','), (Strings{"a", ""}));
    EXPECT_EQ(Fields(",a", ','), (Strings{"", "a"}));
    EXPECT_EQ(Fields("a b,c", ','), (Strings{"a", "b", "c"}));
    EXPECT_EQ(Fields(" a , b ", ','), (Strings{"a", "b"}));
    EXPECT_EQ(Fields("a\tb  c", '\t'), (Strings{"a", "b", "c"}));
    EXPECT_EQ(Fields("a  ,  ", ','), (Strings{"a"}));  // the comma is not the last byte
    EXPECT_EQ(Fields(" \t ", ','), Strings{});
    EXPECT_EQ(Fields("", ' '), Strings{});
    EXPECT_EQ(Fields("a\"b c", ' '), (Strings{"a\"b", "c"}));
}

TEST(SplitString, ReturnsEmptyOutsideTheFields) {
    EXPECT_EQ(SplitString("a,b", 0, ','), "");
    EXPECT_EQ(SplitString("a,b", -1, ','), "");
    EXPECT_EQ(SplitString("a,b", 3, ','), "");
}

TEST(SplitString, KeepsBlanksAndDelimitersInsideQuotedFields) {
    EXPECT_EQ(Fields("\"x, \"\"y\"\"  z\",w", ','), (Strings{"x, \"y\"  z", "w"}));
    EXPECT_EQ(Fields("\"\" b", ' '), (Strings{"", "b"}));
    EXPECT_EQ(Fields("\"ab\"cd,e", ','), (Strings{"ab", "cd", "e"}));
    // Without a closing quote the content runs to the end, less its last byte.
    EXPECT_EQ(Fields("x,\"abc", ','), (Strings{"x", "ab"}));
    EXPECT_EQ(Fields("\"a\"\"bc", ','), (Strings{"a\"b"}));
    EXPECT_EQ(Fields("\"", ','), (Strings{""}));
}

TEST(SplitString, StepsOverDoubleByteCharactersWhole) {
    EXPECT_EQ(Fields(kTesuto + "," + kTesuto + "x", ','), (Strings{kTesuto, kTesuto + "x"}));
    // The full-width space is no blank, and a trail byte equal to the delimiter does not
    // split.
    EXPECT_EQ(Fields(kTesuto + kWideSpace + "a b", ' '),
              (Strings{kTesuto + kWideSpace + "a", "b"}));
    EXPECT_EQ(Fields(kSo + "\\b", '\\'), (Strings{kSo, "b"}));
    EXPECT_EQ(Fields("\"" + kTesuto + " " + kSo + "\",1", ','),
              (Strings{kTesuto + " " + kSo, "1"}));
    // A lead byte without a valid trail byte is a byte of its own.
    EXPECT_EQ(Fields("\x83,b", ','), (Strings{"\x83", "b"}));
    EXPECT_EQ(Fields("a\x83", ','), (Strings{"a\x83"}));
}

// The fields of a text without quotes, found one byte at a time by the field rules: the
// yardstick for the scanner, which skips plain bytes eight at a time.
Strings PlainFieldsByteByByte(std::string_view text, char delimiter) {
    const auto blank = [](unsigned char b) { return b >= 1 && b <= 32; };
    const auto doubleByteAt = [&](std::size_t i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (!((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) ||
            i + 1 >= text.size()) {
            return false;
        }
        const auto trail = static_cast<unsigned char>(text[i + 1]);
        return (trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC);
    };
    Strings fields;
    std::size_t i = 0;
    const auto skipBlanks = [&] {
        while (i < text.size() && blank(static_cast<unsigned char>(text[i]))) {
            ++i;
        }
    };
    skipBlanks();
    while (i < text.size()) {
        const std::size_t start = i;
        while (i < text.size() && text[i] != delimiter &&
               !blank(static_cast<unsigned char>(text[i]))) {
            i += doubleByteAt(i) ? 2 : 1;
        }
        fields.emplace_back(text.substr(start, i - start));
        skipBlanks();
        if (i < text.size() && text[i] == delimiter) {
            if (i + 1 == text.size()) {
                fields.emplace_back();
            }
            ++i;
            skipBlanks();
        }
    }
    return fields;
}

TEST(SplitString, FindsTheFieldsWhereverTheyLieAgainstTheWordBoundaries) {
    // Few letters, many stops: blanks, delimiters, zero bytes (field bytes), lead bytes
    // with and without a valid trail byte, bytes from 0x80 on.
    const std::string alphabet("ab1,, \t\0\x81\x40\x83\x5C\xE0\xFD\x7F", 15);
    std::mt19937_64 random(2024);
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        const std::size_t length = random() % 40;
        for (std::size_t k = 0; k < length; ++k) {
            // Long plain runs now and then, so that whole words are skipped.
            text += random() % 4 == 0 ? std::string(random() % 20, 'x')
                                      : std::string(1, alphabet[random() % alphabet.size()]);
        }
        for (const char delimiter : {',', ' ', '\t', '\\'}) {
            ASSERT_EQ(Fields(text, delimiter), PlainFieldsByteByByte(text, delimiter))
                << ::testing::PrintToString(text) << " split at " << static_cast<int>(delimiter);
        }
    }
}

// Linear in the length of the line: collapsing and splitting a line twice as long takes about
// twice as long, where work growing with the square of the length would take four times.
TEST(CollapseBlanks, AndSplitStringStayLinearOnHugeLines) {
    // The best of a few runs, so that a busy machine's pauses do not count.
    const auto bestSeconds = [](std::size_t size) {
        std::string line;
        std::string collapsed;
        std::int64_t words = 0;
        while (line.size() < size) {
            line += (words % 2 == 0) ? "a  " : "bc   ";
            collapsed += (words % 2 == 0) ? "a " : "bc ";
            ++words;
        }
        double best = 1e9;
        for (int run = 0; run < 5; ++run) {
            const auto start = std::chrono::steady_clock::now();
            EXPECT_TRUE(CollapseBlanks(line) == collapsed);
            EXPECT_EQ(SplitString(line, words, ' '), words % 2 == 1 ? "a" : "bc");
            EXPECT_EQ(SplitString(line, words + 1, ','), "");
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            best = std::min(best, took.count());
        }
        return best;
    };
    // Four times the line takes four times as long when linear, sixteen when quadratic: the
    // limit between them leaves room for a loaded machine.
    const double once = bestSeconds(250'000);
    const double fourTimes = bestSeconds(1'000'000);
    EXPECT_LT(fourTimes, 8 * once) << once << " s for 0.25 MB, " << fourTimes << " s for 1 MB";
}

TEST(Dequote, ExtractsANonEmptyQuotedStringFromTheStart) {
    EXPECT_EQ(Dequote("\"abc\"", '"'), "abc");
    EXPECT_EQ(Dequote("\"a\"\"b\" rest", '"'), "a\"b");
    EXPECT_EQ(Dequote("\"" + kTesuto + "\"", '"'), kTesuto);
    EXPECT_EQ(Dequote("'x'", '\''), "x");
    EXPECT_EQ(Dequote("\"abc", '"'), "ab");
    // Nothing to extract: the text comes back unchanged.
    EXPECT_EQ(Dequote("\"\"", '"'), "\"\"");
    EXPECT_EQ(Dequote("abc\"", '"'), "abc\"");
    EXPECT_EQ(Dequote("", '"'), "");

    // The view form points into the text, or into the scratch when quotes were doubled.
    std::string scratch;
    const std::string text = "\"abc\",x";
    const std::string_view plain = DequoteView(text, '"', scratch);
    EXPECT_EQ(plain, "abc");
    EXPECT_EQ(plain.data(), text.data() + 1);
    EXPECT_EQ(DequoteView("\"a\"\"b\"", '"', scratch), "a\"b");
    EXPECT_EQ(DequoteView("'x", '"', scratch), "'x");
}

std::vector<std::string> MidValues(const TMidRowSplitter& row) {
    std::vector<std::string> values;
    for (std::size_t i = 0; i < row.Count(); ++i) {
        values.emplace_back(row.Value(i));
    }
    return values;
}

TEST(MidRowSplitter, SplitsAtTheDelimiterOutsideQuotesAndTrimsAroundValues) {
    const struct {
        char Delimiter;
        std::string Row;
        Strings Values;
        bool Closed;
    } cases[] = {
        {',', "\"a\",  b c\t, 7", {"a", "b c", "7"}, true},
        {',', "a,,b,", {"a", "", "b", ""}, true},
        {',', "", {""}, true},
        {',', "\"x,\"\"y\"\"\" , 1", {"x,\"y\"", "1"}, true},
        {',', "\"ab\" cd ,e", {"ab cd", "e"}, true},    // text after the closing quote is kept
        {',', "5\" pipe,\"", {"5\" pipe", ""}, false},  // a quote opens only a value
        {',', "a\tb,c", {"a\tb", "c"}, true},
        {';', "\"x\";5", {"x", "5"}, true},
        {';', "a,b ; c", {"a,b", "c"}, true},
        {kCommaOrTab, "a\tb,c", {"a", "b", "c"}, true},
        {kCommaOrTab, "a\t\tb", {"a", "", "b"}, true},
        {'\t', "a\t\t b\t", {"a", "", "b", ""}, true},
        {' ', "a  b", {"a", "", "b"}, true},
        // A two-byte character whose second byte is the delimiter is never cut.
        {'\\', kSo + "\\x", {kSo, "x"}, true},
        {'"', "a,b\tc", {"a", "b", "c"}, true},  // a quote cannot delimit: comma or TAB
    };
    for (const auto& c : cases) {
        TMidRowSplitter row(c.Delimiter);
        EXPECT_EQ(row.Split(c.Row), c.Closed) << ::testing::PrintToString(c.Row);
        EXPECT_EQ(MidValues(row), c.Values) << ::testing::PrintToString(c.Row);
    }
}

TEST(MidRowSplitter, StepsOverTheCharactersOfTheSourcesCharacterSet) {
    const struct {
        TCharacterSet Set;
        std::string Row;
        Strings Values;
    } cases[] = {
        // "П" (D0 9F) ends in a byte that would lead a code page 932 character.
        {TCharacterSet::Utf8, "A\xD0\x9F|B", {"A\xD0\x9F", "B"}},
        {TCharacterSet::SingleByte, "\x9F|B", {"\x9F", "B"}},
        {TCharacterSet::ShiftJis, "\x83\x7C|B", {"\x83\x7C", "B"}},  // "ポ" holds a pipe byte
        {TCharacterSet::EastAsianDoubleByte, "\xA4\x7C|B", {"\xA4\x7C", "B"}},
    };
    for (const auto& c : cases) {
        TMidRowSplitter row('|', SIZE_MAX, c.Set);
        EXPECT_TRUE(row.Split(c.Row));
        EXPECT_EQ(MidValues(row), c.Values) << ::testing::PrintToString(c.Row);
    }
}

TEST(MidRowSplitter, KeepsTheFirstValuesOnlyAndGoesOnAfterAnOpenQuote) {
    TMidRowSplitter row(',', 2);
    EXPECT_FALSE(row.Split("a,\"b\"\"c\",\"d"));  // the open quote lies past the kept values
    EXPECT_EQ(MidValues(row), (Strings{"a", "b\"c"}));

    TMidRowSplitter open;
    const std::string first = "1,\"x\"\"y";
    EXPECT_FALSE(open.Split(first));
    EXPECT_EQ(MidValues(open), (Strings{"1", "x\"y"}));
    const std::string joined = first + "\r\nz\",\"w";
    EXPECT_FALSE(open.Continue(joined));
    EXPECT_EQ(MidValues(open), (Strings{"1", "x\"y\r\nz", "w"}));
    const std::string closed = joined + "\n\",2";
    EXPECT_TRUE(open.Continue(closed));
    EXPECT_EQ(MidValues(open), (Strings{"1", "x\"y\r\nz", "w\n", "2"}));
}

TEST(SameKeyword, FoldsAsciiLettersOnly) {
    EXPECT_TRUE(SameKeyword("VERSION", "Version"));
    EXPECT_TRUE(SameKeyword("coordsys", "CoordSys"));
    EXPECT_FALSE(SameKeyword("Versio", "Version"));
    EXPECT_FALSE(SameKeyword("Version\t", "Version"));
    // "ヂ" and "ア" differ only in a second byte that looks like a letter of another case.
    EXPECT_FALSE(SameKeyword("\x83\x61", "\x83\x41"));

    EXPECT_TRUE(StartsWithKeyword("char(10)", "Char"));
    EXPECT_TRUE(StartsWithKeyword("MULTIPLE 2", "MultiPle"));
    EXPECT_FALSE(StartsWithKeyword("Cha", "Char"));
}

}  // namespace
}  // namespace varnelo

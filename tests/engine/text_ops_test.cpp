#include "engine/text_ops.hpp"

#include <gtest/gtest.h>

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
}

TEST(SameKeyword, FoldsAsciiLettersOnly) {
    EXPECT_TRUE(SameKeyword("VERSION", "Version"));
    EXPECT_TRUE(SameKeyword("coordsys", "CoordSys"));
    EXPECT_FALSE(SameKeyword("Versio", "Version"));
    EXPECT_FALSE(SameKeyword("Version\t", "Version"));
    // "ャ" and "ア" differ only in a trail byte that looks like a letter case.
    EXPECT_FALSE(SameKeyword("\x83\x61", "\x83\x41"));

    EXPECT_TRUE(StartsWithKeyword("char(10)", "Char"));
    EXPECT_TRUE(StartsWithKeyword("MULTIPLE 2", "MultiPle"));
    EXPECT_FALSE(StartsWithKeyword("Cha", "Char"));
}

}  // namespace
}  // namespace varnelo

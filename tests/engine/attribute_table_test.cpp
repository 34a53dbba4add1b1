// SPDX-License-Identifier: MIT
// Field names, the empty table's bytes and rows appended from .mid lines.
#include "engine/attribute_table.hpp"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "../support/expected_bytes.hpp"
#include "../support/temp_dir.hpp"
#include "engine/mif_errors.hpp"
#include "os/clock.hpp"
#include "shape/errors.hpp"
#include "shape/local_dbf.hpp"

namespace varnelo {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::TExpectedBytes;

TSFColumns Columns(const std::vector<std::pair<std::string, int>>& nameAndType, int width = 10) {
    TSFColumns columns;
    for (const auto& [name, type] : nameAndType) {
        columns.push_back(TSFColumn{name, static_cast<std::uint8_t>(type), width});
    }
    return columns;
}

std::vector<std::string> Names(const TSFColumns& columns) {
    std::vector<std::string> names;
    for (const auto& c : columns) {
        names.push_back(c.Name);
    }
    return names;
}

TEST(ColumnsToDbfFields, RenamesRepeatedNamesByPosition) {
    auto ids = Columns({{"ID", 1}, {"ID", 1}, {"ID", 1}});
    ColumnsToDbfFields(ids);
    EXPECT_EQ(Names(ids), (std::vector<std::string>{"ID", "~1", "~2"}));

    auto longNames = Columns({{"ABCDEFGHIJKLMN", 0}, {"ABCDEFGHIJXYZW", 0}});
    ColumnsToDbfFields(longNames);
    EXPECT_EQ(Names(longNames), (std::vector<std::string>{"ABCDEFGHIJ", "ABCDEFGH~1"}));

    TSFColumns twelve;
    twelve.push_back({"NAME", 0, 4});
    for (int i = 1; i < 12; ++i) {
        twelve.push_back({"C" + std::to_string(i), 0, 4});
    }
    twelve.push_back({"NAME", 0, 4});
    ColumnsToDbfFields(twelve);
    EXPECT_EQ(twelve[12].Name, "N~12");

    // Names are compared as dBASE readers find fields: ignoring the case of ASCII letters,
    // but never of a second byte that looks like one (ア 83 41 and ヂ 83 61 differ). A new
    // name counts as taken the same way.
    auto cased = Columns({{"Name", 0}, {"NAME", 0}, {"\x83\x41", 0}, {"\x83\x61", 0}});
    ColumnsToDbfFields(cased);
    EXPECT_EQ(Names(cased), (std::vector<std::string>{"Name", "NA~1", "\x83\x41", "\x83\x61"}));
    auto taken = Columns({{"Name", 0}, {"NAME", 0}, {"na~1", 0}});
    ColumnsToDbfFields(taken);
    EXPECT_EQ(Names(taken), (std::vector<std::string>{"Name", "NA~2", "na~1"}));
}

TEST(ColumnsToDbfFields, BlanksInANameBecomeUnderscoresBeforeItIsShortened) {
    auto blanks = Columns({{"Depth low", 2}, {"Date of survey", 3}, {"Date\tof survey", 3}});
    ColumnsToDbfFields(blanks);
    EXPECT_EQ(Names(blanks), (std::vector<std::string>{"Depth_low", "Date_of_su", "Date_of_~2"}));
}

TEST(ColumnsToDbfFields, ANewNameThatIsTakenTakesTheNextFreeNumber) {
    auto clash = Columns({{"~2", 0}, {"B", 0}, {"B", 0}});
    ColumnsToDbfFields(clash);
    EXPECT_EQ(Names(clash), (std::vector<std::string>{"~2", "B", "~3"}));

    // Names further on count too, and so does every name given before.
    auto ahead = Columns({{"B", 0}, {"B", 0}, {"~1", 0}, {"~2", 0}, {"B", 0}});
    ColumnsToDbfFields(ahead);
    EXPECT_EQ(Names(ahead), (std::vector<std::string>{"B", "~3", "~1", "~2", "~4"}));
}

TEST(ColumnsToDbfFields, NeverSplitsATwoByteCharacter) {
    // Nine letters, then a two-byte character, then a letter: cut to nine bytes.
    auto columns = Columns({{"ABCDEFGHI\x93\x8c"
                             "Z",
                             0},
                            {"ABCDEFGHIJKL", 0}});
    ColumnsToDbfFields(columns);
    EXPECT_EQ(columns[0].Name, "ABCDEFGHI");
    EXPECT_EQ(columns[1].Name, "ABCDEFGHIJ");

    // A repeated name whose cut would end on a lead byte loses that byte too.
    auto repeated = Columns({{"A\x93\x8c\x8b\x9e", 0}, {"A\x93\x8c\x8b\x9e", 0}});
    ColumnsToDbfFields(repeated);
    EXPECT_EQ(repeated[1].Name, "A\x93\x8c~1");
    auto leadAtCut = Columns({{"AB\x93\x8c", 0}, {"AB\x93\x8c", 0}});
    ColumnsToDbfFields(leadAtCut);
    EXPECT_EQ(leadAtCut[1].Name, "AB~1");
}

class CreateDbf : public ::testing::Test {
  protected:
    TempDir dir;
};

TEST_F(CreateDbf, WritesTheHeaderAndDescriptorsOfEveryColumnType) {
    TSFColumns columns = {
        {"NAME", 0, 20}, {"POP", 1, 11}, {"AREA", 2, 0}, {"BORN", 3, 0}, {"OK", 4, 0}};
    CreateDbfFile(dir.Path("five.shp"), columns);  // the extension becomes .dbf
    const std::string bytes = ReadFileBytes(dir.Path("five.dbf"));

    TExpectedBytes expected;
    expected.Byte(0x03);
    expected.Text(bytes.substr(1, 3));  // today's date
    expected.Int32LE(0).UInt16LE(193).UInt16LE(62).Zeros(20);
    const struct {
        const char* name;
        char type;
        unsigned char length;
        unsigned char decimals;
    } descriptors[] = {{"NAME", 'C', 20, 0},
                       {"POP", 'N', 16, 0},
                       {"AREA", 'N', 16, 6},
                       {"BORN", 'D', 8, 0},
                       {"OK", 'L', 1, 0}};
    for (const auto& d : descriptors) {
        const std::string name = d.name;
        expected.Text(name).Zeros(11 - name.size()).Byte(static_cast<unsigned char>(d.type));
        expected.Zeros(4).Byte(d.length).Byte(d.decimals).Zeros(14);
    }
    expected.Byte(0x0D).Byte(0x1A);
    EXPECT_EQ(bytes, expected.String());
}

TEST_F(CreateDbf, WithoutColumnsIsThirtyFourBytes) {
    CreateDbfFile(dir.Path("empty.dbf"), {});
    const std::string bytes = ReadFileBytes(dir.Path("empty.dbf"));
    ASSERT_EQ(bytes.size(), 34u);
    EXPECT_EQ(bytes[8], 33);
    EXPECT_EQ(bytes[10], 1);
}

TEST_F(CreateDbf, DatesTheTableTodayCountingTheYearFrom1900) {
    const auto today = [] {
        const std::tm local = os::LocalTime(std::time(nullptr));
        return std::vector<int>{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
    };
    const std::vector<int> before = today();
    CreateDbfFile(dir.Path("dated.dbf"), {});
    const std::vector<int> after = today();
    const std::string bytes = ReadFileBytes(dir.Path("dated.dbf"));
    const std::vector<int> written = {1900 + static_cast<unsigned char>(bytes[1]), bytes[2],
                                      bytes[3]};
    EXPECT_TRUE(written == before || written == after) << written[0];  // 2026 is 126
}

TEST_F(CreateDbf, GivesEveryCharacterFieldAWidthFromOneTo255) {
    // No field holds nothing: a width below 1 is 1, and a column of a type no test knows
    // keeps its values as text in 254 bytes, whatever type and width it had before.
    TSFColumns columns = {
        {"WIDE", 0, 300}, {"NEG", 0, -5}, {"ZERO", 0, 0}, {"N", 1, 0}, {"BLOB", 1, 7, 0, false}};
    CreateDbfFile(dir.Path("wide.dbf"), columns);
    const std::string bytes = ReadFileBytes(dir.Path("wide.dbf"));
    std::string types;
    std::vector<int> lengths;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        types += bytes[32 * (i + 1) + 11];
        lengths.push_back(static_cast<unsigned char>(bytes[32 * (i + 1) + 16]));
    }
    EXPECT_EQ(types, "CCCNC");
    EXPECT_EQ(lengths, (std::vector<int>{255, 1, 1, 16, 254}));
    const int recordLength =
        static_cast<unsigned char>(bytes[10]) | (static_cast<unsigned char>(bytes[11]) << 8);
    EXPECT_EQ(recordLength, 1 + 255 + 1 + 1 + 16 + 254);
}

TEST_F(CreateDbf, ReportsAFolderThatDoesNotExist) {
    EXPECT_THROW(CreateDbfFile(dir.Path("missing/t.dbf"), {}), EInOutError);
}

class AppendRows : public CreateDbf {
  protected:
    // Creates the table, appends `lines` and returns the record bytes.
    std::string Rows(const TSFColumns& columns, const std::vector<std::string>& lines) {
        const std::string path = dir.Path("rows.dbf");
        CreateDbfFile(path, columns);
        TLocalDbf table;
        table.SetTableName(path);
        table.Open();
        for (const auto& line : lines) {
            AppendDbfRecord(table, line);
        }
        table.Close();
        const std::string bytes = ReadFileBytes(path);
        return bytes.substr(32 * columns.size() + 33);
    }
};

TEST_F(AppendRows, SplitsAtCommasAndQuotesAsTheMidLineSays) {
    const TSFColumns columns = {{"N", 1, 0}, {"S", 0, 20}, {"F", 2, 0}};
    TExpectedBytes expected;
    expected.Byte(' ').Right("7", 16).Left("abcde fghijkl", 20).Right("12.500000", 16);
    expected.Byte(0x1A);
    EXPECT_EQ(Rows(columns, {"7,\"abcde fghijkl\",12.5"}), expected.String());
    // Quotes are needed only around a value holding the delimiter: unquoted, the blank
    // between the words stays inside the value.
    EXPECT_EQ(Rows(columns, {" 7 ,\tabcde fghijkl  ,12.5"}), expected.String());
}

TEST_F(AppendRows, NamesTheFieldAndTheValueARowFailsAtAndCarriesItsMidLine) {
    const std::string path = dir.Path("fail.dbf");
    CreateDbfFile(path, {{"NAME", 0, 8}, {"AREA", 2, 0}});
    TLocalDbf table;
    table.SetTableName(path);
    table.Open();
    TMidRowSplitter row;
    row.Split("proh_a      ,GREENBANK MILITARY");
    try {
        AppendDbfRecord(table, row, 12);
        FAIL() << "a word in a number column was taken";
    } catch (const EMidValueError& e) {
        EXPECT_EQ(e.MidLine(), 12);
        EXPECT_EQ(std::string(e.what()).rfind(
                      "フィールド AREA の値 \"GREENBANK MILITARY\" を格納できません: ", 0),
                  0u)
            << e.what();
    }
}

TEST_F(AppendRows, EmptyMissingAndExtraValues) {
    const TSFColumns columns = {{"A", 0, 3}, {"B", 1, 0}, {"C", 4, 0}};
    TExpectedBytes expected;
    expected.Byte(' ').Left("x", 3).Right("", 16).Left("T", 1);     // x,,T
    expected.Byte(' ').Left("y", 3).Right("-12", 16).Left("", 1);   // ends early
    expected.Byte(' ').Left("abc", 3).Right("1", 16).Left("F", 1);  // extra value ignored
    expected.Byte(' ').Left("q", 3).Right("", 16).Left("", 1);      // single quotes removed
    expected.Byte(0x1A);
    EXPECT_EQ(Rows(columns, {"x,,T", "y,-12", "abcdef,1,F,zzz", "'q'"}), expected.String());
}

TEST_F(AppendRows, KeepsShiftJisAndNeverEndsOnALeadByte) {
    const TSFColumns columns = {{"S", 0, 5}};
    TExpectedBytes expected;
    // "\x93\x8c\x8b\x9e\x93\x73" is three two-byte characters; five bytes would cut the third.
    expected.Byte(' ').Left("\x93\x8c\x8b\x9e", 5);
    expected.Byte(0x1A);
    EXPECT_EQ(Rows(columns, {"\"\x93\x8c\x8b\x9e\x93\x73\""}), expected.String());
}

TEST_F(AppendRows, AQuotedValueKeepsItsContentAndAnUnquotedOneLosesItsSingleQuotes) {
    const std::pair<const char*, const char*> cases[] = {
        {R"("""X"", rest")", R"("X", rest)"},
        {R"("""Y""")", R"("Y")"},
        {R"("""a,b")", R"("a,b)"},
        {R"("'a'")", "'a'"},
        {R"("plain")", "plain"},
        {R"("ab"cd)", "abcd"},
        {"'a'", "a"},
        {"'it''s'", "it's"},
        {"O'Neil", "O'Neil"},
    };
    for (const auto& [line, stored] : cases) {
        TExpectedBytes expected;
        expected.Byte(' ').Left(stored, 12).Byte(0x1A);
        EXPECT_EQ(Rows({{"S", 0, 12}}, {line}), expected.String()) << line;
    }
}

TEST_F(AppendRows, TextRowsKeepTheWholeText) {
    const std::string path = dir.Path("text.dbf");
    CreateDbfFile(path, {{"MIF_TEXT", 0, 100}});
    TLocalDbf table;
    table.SetTableName(path);
    table.Open();
    AppendDbfTextRecord(table, "a, b  \"c\"");
    table.Close();
    TExpectedBytes expected;
    expected.Byte(' ').Left("a, b  \"c\"", 100).Byte(0x1A);
    EXPECT_EQ(ReadFileBytes(path).substr(65), expected.String());
}

TEST_F(AppendRows, ClosedTableIsLeftAlone) {
    TLocalDbf table;
    AppendDbfRecord(table, "1,2");
    AppendDbfTextRecord(table, "x");
    EXPECT_FALSE(table.Active());
}

}  // namespace
}  // namespace varnelo

// SPDX-License-Identifier: MIT
// Whole conversions of sources made to hurt: counts at the ends of their range, numbers of
// thousands of digits, zero bytes, end-of-file bytes inside quotes, names that are not
// Shift-JIS, and tables whose header lengths lie. Each must end in a clear error or a sensible
// result, in little memory. How long the worst of them take is measured apart, by the "slow"
// label (hostile_timing_test.cpp).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "../support/dbf_values.hpp"
#include "../support/expected_bytes.hpp"
#include "../support/temp_dir.hpp"
#include "../support/test_system.hpp"
#include "engine/convert.hpp"
#include "shape/errors.hpp"
#include "shape/local_dbf.hpp"
#include "shape/table_storage.hpp"

namespace varnelo {
namespace {

using ::testing::HasSubstr;
using testing::Little;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

const std::string kHeader =
    "Version 300\r\nCharset \"WindowsJapanese\"\r\nDelimiter \",\"\r\n"
    "CoordSys Earth Projection 1, 0\r\n";

class HostileInput : public ::testing::Test {
  protected:
    // Writes name.mif (header, the given Columns section and data) and name.mid.
    std::string Source(const std::string& name, const std::string& columns, const std::string& data,
                       const std::string& mid) {
        WriteFileBytes(dir.Path(name + ".mif"), kHeader + columns + "Data\r\n" + data);
        WriteFileBytes(dir.Path(name + ".mid"), mid);
        return dir.Path(name + ".mif");
    }
    // What a failed conversion wrote is kept in place, to be looked at.
    bool Convert(int type, const std::string& mif) {
        report = {};
        TConversionHooks hooks;
        hooks.Report = &report;
        hooks.KeepPartial = true;
        return ConvertMifToShp(type, mif, dir.Path("out.shp"), hooks);
    }
    std::string Out(const std::string& ext) const { return ReadFileBytes(dir.Path("out" + ext)); }
    std::vector<std::string> Column(const std::string& field) {
        return testing::DbfColumn(dir.Path("out.dbf"), field);
    }

    TempDir dir;
    TConversionReport report;
};

TEST_F(HostileInput, CountsAtTheEndsOfTheirRangeFailWithoutAllocatingAhead) {
    const std::string point = "Point 1 2\r\n";
    struct TCase {
        const char* What;
        int Type;
        std::string Data;
    };
    const TCase cases[] = {
        {"region count", ctPolygon, point + "Region 2147483647\r\n 3\r\n0 0\r\n1 1\r\n1 0\r\n"},
        {"ring size", ctPolygon, point + "Region 1\r\n 2147483647\r\n0 0\r\n1 1\r\n"},
        {"section count", ctPolyLine, point + "Pline Multiple 2147483647\r\n 2\r\n0 0\r\n1 1\r\n"},
        {"section size", ctPolyLine, point + "Pline Multiple 2\r\n 2147483647\r\n0 0\r\n"},
        {"point count", ctPolyLine, point + "Pline 2147483647\r\n0 0\r\n"},
        {"negative region count", ctPolygon, point + "Region -1\r\n"},
        {"negative ring size", ctPolygon, point + "Region 1\r\n -4\r\n0 0\r\n"},
        {"negative point count", ctPolyLine, point + "Pline -2\r\n"},
        {"negative section count", ctPolyLine, point + "Pline Multiple -2\r\n 1\r\n0 0\r\n"},
    };
    const testing::TAddressSpaceCap cap(std::uint64_t{1} << 30);
    for (const TCase& c : cases) {
        const std::string mif =
            Source("counts", "Columns 1\r\n  ID Integer\r\n", c.Data, "7\r\n8\r\n");
        EXPECT_FALSE(Convert(c.Type, mif)) << c.What;
        // The reader's own words, not an allocation failure.
        EXPECT_THAT(report.ErrorText, HasSubstr("オブジェクト"))
            << c.What << ": " << report.ErrorText;
        EXPECT_EQ(report.RecordsWritten, 0) << c.What;
        // The point before was read past and took its row; nothing was written for the object.
        EXPECT_EQ(Out(".shp").size(), 100u) << c.What;
        EXPECT_EQ(Little(Out(".dbf"), 4, 4), 0u) << c.What;
    }
    // A column count as large, or below zero: the table is never made.
    for (const char* count : {"Columns 2147483647\r\n  A Char(5)\r\n", "Columns -3\r\n"}) {
        EXPECT_FALSE(Convert(ctPoint, Source("columns", count, "Point 1 2\r\n", "")));
        EXPECT_THAT(report.ErrorText, HasSubstr("Columns"));
        EXPECT_EQ(report.RecordsWritten, 0);
    }
}

TEST_F(HostileInput, NumbersOfTenThousandDigitsGiveTheirValueOrAShortClearError) {
    const std::string zeros(10000, '0');
    const std::string columns = "Columns 3\r\n  I Integer\r\n  F Float\r\n  C Char(12)\r\n";
    // Leading zeros do not matter; too many digits before the point are out of range.
    EXPECT_TRUE(Convert(ctPoint,
                        Source("long", columns, "Point " + zeros + "1.5 -" + zeros + "2\r\n", "")));
    EXPECT_EQ(testing::DoubleAt(Out(".shp"), 112), 1.5);
    EXPECT_EQ(testing::DoubleAt(Out(".shp"), 120), -2.0);

    EXPECT_FALSE(Convert(ctPoint, Source("long", columns, "Point 1" + zeros + " 2\r\n", "")));
    EXPECT_THAT(report.ErrorText, HasSubstr("範囲外"));
    EXPECT_LT(report.ErrorText.size(), 200u);

    // The same in the .mid: the text column keeps its first 12 bytes, the numbers fail.
    const std::string mif = Source("mid", columns, "Point 1 2\r\n", "0,0," + zeros + "\r\n");
    EXPECT_TRUE(Convert(ctPoint, mif));
    EXPECT_EQ(Column("C"), std::vector<std::string>{std::string(12, '0')});
    for (const std::string& row : {"1" + zeros + ",0,x", "0,1" + zeros + ",x"}) {
        EXPECT_FALSE(Convert(ctPoint, Source("mid", columns, "Point 1 2\r\n", row + "\r\n")))
            << row.substr(0, 3);
        // The message quotes the value cut short, where it stood and why it was refused.
        EXPECT_LT(report.ErrorText.size(), 300u);
        EXPECT_EQ(Little(Out(".dbf"), 4, 4), 0u);
    }
}

TEST_F(HostileInput, ZeroBytesAreDataInValuesAndNoiseElsewhere) {
    const std::string nul(1, '\0');
    // (Not named "nul", which Windows keeps for its null device.)
    const std::string mif = Source(
        "zeros", "Columns 2\r\n  NAME Char(6)\r\n  ID Integer\r\n",
        nul + "\r\n" + "Po" + nul + "int 9 9\r\nPoint 1 2\r\n" + nul + "Point 3 4" + nul + "\r\n",
        "a" + nul + "b,1\r\n,2\r\n");
    // A word holding a zero byte is no keyword and takes no row; zero bytes around a line are
    // trimmed like blanks; inside a value they are kept.
    EXPECT_TRUE(Convert(ctPoint, mif));
    EXPECT_EQ(report.RecordsWritten, 2);
    const std::string dbf = Out(".dbf");
    const std::size_t firstRow = Little(dbf, 8, 2);
    EXPECT_EQ(dbf.substr(firstRow, 7), " a" + nul + "b   ");
    EXPECT_EQ(Column("ID"), (std::vector<std::string>{"1", "2"}));

    // In a number it is an error.
    EXPECT_FALSE(Convert(ctPoint, Source("zeros", "", "Point 1" + nul + "5 2\r\n", "")));
    EXPECT_EQ(report.ErrorText, "\"1?5\" は有効な数値ではありません");
}

TEST_F(HostileInput, CtrlZInsideQuotesEndsTheFileThere) {
    // In the .mid: the row is cut inside its quotes, whose value then ends at the end of the
    // file; later rows are empty.
    const std::string mif = Source("eof", "Columns 2\r\n  NAME Char(8)\r\n  ID Integer\r\n",
                                   "Point 1 2\r\nPoint 3 4\r\n",
                                   "\"ab\x1A"
                                   "cd\",1\r\n\"x\",2\r\n");
    EXPECT_TRUE(Convert(ctPoint, mif));
    EXPECT_EQ(Column("NAME"), (std::vector<std::string>{"ab", ""}));
    EXPECT_EQ(Column("ID"), (std::vector<std::string>{"", ""}));

    // In the .mif: a text object cut inside its string has no coordinate line.
    const std::string text = Source("eof", "",
                                    "Point 5 6\r\nText \"ab\x1A"
                                    "cd\"\r\n1 2 3 4\r\n",
                                    "");
    for (const int type : {ctTextAsPoint, ctTextAsLine}) {
        EXPECT_FALSE(Convert(type, text));
        EXPECT_THAT(report.ErrorText, HasSubstr("TEXT"));
        EXPECT_EQ(Out(".shp").size(), 100u);
    }
    EXPECT_TRUE(Convert(ctPoint, text));
    EXPECT_EQ(report.RecordsWritten, 1);
}

TEST_F(HostileInput, NamesThatAreNotShiftJisAreShortenedAsBytes) {
    const std::string leads(11, '\x81');              // lead and trail bytes in turn
    const std::string cutLead = "ABCDEFGHI\x81\x40";  // a character at bytes 10 and 11
    const std::string highBytes = "\xFD\xFE\xFF\xA0\x80\xFD\xFE\xFF\xA0\x80\xFD";  // no leads
    const std::string pairs = "\x81\x40\x81\x40\x81\x40\x81\x40\x81\x40X";
    const std::string loneLead = "Z\x9F";  // a lead byte with nothing after it
    const std::string columns = "Columns 6\r\n  " + leads + " Char(4)\r\n  " + cutLead +
                                " Char(4)\r\n  " + highBytes + " Char(4)\r\n  " + pairs +
                                " Char(4)\r\n  " + pairs + " Char(4)\r\n  " + loneLead +
                                " Char(4)\r\n";
    EXPECT_TRUE(
        Convert(ctPoint, Source("names", columns, "Point 1 2\r\n", "a,b,\xFF\xFE,d,e,\x81\r\n")));
    TLocalDbf table;
    table.SetTableName(dir.Path("out.dbf"));
    table.Open();
    std::vector<std::string> names;
    for (int i = 0; i < table.FieldCount(); ++i) {
        names.push_back(table.Fields(i).FieldName());
    }
    EXPECT_EQ(names, (std::vector<std::string>{std::string(10, '\x81'), "ABCDEFGHI",
                                               highBytes.substr(0, 10), pairs.substr(0, 10),
                                               pairs.substr(0, 8) + "~4", loneLead}));
    table.First();
    EXPECT_EQ(table.Fields(2).AsString(), "\xFF\xFE");
    EXPECT_EQ(table.Fields(5).AsString(), "\x81");
}

TEST_F(HostileInput, TablesWhoseLengthsLieShowWhatIsThereAndStayAppendable) {
    // A table of one 'C' field of 2 bytes holding one row, with lying header values.
    const auto table = [](std::uint32_t count, std::uint16_t recordLength) {
        std::string bytes(32, '\0');
        bytes[0] = '\x03';
        for (int i = 0; i < 4; ++i) {
            bytes[4 + static_cast<std::size_t>(i)] = static_cast<char>(count >> (8 * i));
        }
        bytes[8] = 65;
        bytes[10] = static_cast<char>(recordLength & 0xFF);
        bytes[11] = static_cast<char>(recordLength >> 8);
        std::string field(32, '\0');
        field[0] = 'A';
        field[11] = 'C';
        field[16] = 2;
        return bytes + field + "\r" + " ab" + "\x1A";
    };
    auto files = std::make_shared<TMemoryFileSet>();
    struct TCase {
        const char* What;
        std::uint32_t Count;
        std::uint16_t RecordLength;
        int Shown;
    };
    for (const TCase& c :
         {TCase{"count 2^32-1", 0xFFFFFFFF, 3, 1}, TCase{"count 2^31-1", 0x7FFFFFFF, 3, 1},
          TCase{"record length 65535", 1, 0xFFFF, 0}}) {
        auto file = std::make_shared<TMemoryFile>();
        file->Bytes = table(c.Count, c.RecordLength);
        (*files)["t.dbf"] = file;
        TLocalDbf t;
        t.SetStorageFactory(MakeMemoryStorageFactory(files));
        t.SetTableName("t.dbf");
        t.Open();
        EXPECT_EQ(t.RecordCount(), c.Shown) << c.What;
        t.Append();
        t.Fields(0).SetAsString("zz");
        t.Post();
        EXPECT_EQ(t.RecordCount(), c.Shown + 1) << c.What;
        EXPECT_EQ(Little(file->Bytes, 4, 4), static_cast<std::uint32_t>(c.Shown + 1)) << c.What;
        EXPECT_EQ(file->Bytes.size(), 65 + (c.Shown + 1u) * c.RecordLength + 1) << c.What;
        EXPECT_EQ(file->Bytes.back(), '\x1A');
    }
}

}  // namespace
}  // namespace varnelo

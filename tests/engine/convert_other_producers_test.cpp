// SPDX-License-Identifier: MIT
// Whole conversions of pairs as other producers write them: values unquoted around their
// blanks, other delimiters, values over several lines, tabs in the header, rounded
// rectangles with the radius on their line, collections and narrow arcs, wide Float
// values, escapes in texts and pairs without their .mid.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/dbf_values.hpp"
#include "../support/expected_bytes.hpp"
#include "../support/temp_dir.hpp"
#include "engine/convert.hpp"
#include "os/catalog.hpp"

namespace varnelo {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;
using Values = std::vector<std::string>;

const std::string kVersion = "Version 300\r\nCharset \"WindowsJapanese\"\r\n";
const std::string kCoordSys = "CoordSys Earth Projection 1, 104\r\n";

class OtherProducers : public ::testing::Test {
  protected:
    // Writes src.mif (the header lines, columns and data given) and src.mid, converts them
    // into out.shp and answers whether that succeeded.
    bool Convert(int type, const std::string& header, const std::string& data,
                 const std::string& mid) {
        WriteFileBytes(dir.Path("src.mif"), header + "Data\r\n" + data);
        WriteFileBytes(dir.Path("src.mid"), mid);
        report = {};
        TConversionHooks hooks;
        hooks.Report = &report;
        return ConvertMifToShp(type, dir.Path("src.mif"), dir.Path("out.shp"), hooks);
    }
    Values Column(const std::string& field) const {
        return testing::DbfColumn(dir.Path("out.dbf"), field);
    }
    std::string Shp() const { return ReadFileBytes(dir.Path("out.shp")); }

    TempDir dir;
    TConversionReport report;
};

TEST_F(OtherProducers, UnquotedValuesKeepTheWordsOfEachValueTogether) {
    const std::string header = kVersion + "Delimiter \",\"\r\n" + kCoordSys +
                               "Columns 4\r\n  CODE Char(8)\r\n  NAME Char(40)\r\n"
                               "  N Integer\r\n  LABEL Char(12)\r\n";
    ASSERT_TRUE(Convert(ctPoint, header, "Point 1 2\r\nPoint 3 4\r\n",
                        "proh_a      ,GREENBANK MILITARY TRAINING AREA      ,   7,x\r\n"
                        "dam,LESLIE HARRISON DAM,8,\"y\"\r\n"))
        << report.ErrorText;
    EXPECT_EQ(Column("CODE"), (Values{"proh_a", "dam"}));
    EXPECT_EQ(Column("NAME"), (Values{"GREENBANK MILITARY TRAINING AREA", "LESLIE HARRISON DAM"}));
    EXPECT_EQ(Column("N"), (Values{"7", "8"}));
    EXPECT_EQ(Column("LABEL"), (Values{"x", "y"}));
}

TEST_F(OtherProducers, NamesWithBlanksUnknownTypesQuotedValuesAndExtraProjectionNumbers) {
    const std::string header = kVersion + "Delimiter \",\"\r\n" +
                               "CoordSys Earth Projection 17, 104, \"m\", 0, 0\r\n" +
                               "Columns 4\r\n  Depth low Float\r\n  Date of survey Date\r\n"
                               "  Shape Blob\r\n  Remark Char(12)\r\n";
    SetTextLanguage(TLanguage::English);  // the notes as the tools say them
    const bool converted = Convert(ctPoint, header, "Point 1 2\r\nPoint 3 4\r\n",
                                   "12.5,19650330,raw bytes here,\"\"\"X\"\", rest\"\r\n"
                                   "-3,20010101,\"x, y\",'a'\r\n");
    SetTextLanguage(TLanguage::Japanese);
    ASSERT_TRUE(converted) << report.ErrorText;
    EXPECT_EQ(Column("Depth_low"), (Values{"12.5", "-3"}));
    EXPECT_EQ(Column("Date_of_su"), (Values{"1965/03/30", "2001/01/01"}));
    EXPECT_EQ(Column("Shape"), (Values{"raw bytes here", "x, y"}));
    EXPECT_EQ(Column("Remark"), (Values{"\"X\", rest", "a"}));
    EXPECT_EQ(report.UnknownTypeColumns, (Values{"Shape"}));
    EXPECT_EQ(report.Notes,
              (Values{"column Shape: type not recognised, its values kept as text in a 254-byte "
                      "character field",
                      "CoordSys: projection type 17 takes 1 parameter after the unit; the 1 "
                      "parameter more that the file gives was ignored"}));
    EXPECT_EQ(report.CoordSys.Declared, "WGS_1984_Gall_Stereographic");
}

TEST_F(OtherProducers, RowsAreSplitAtTheDeclaredDelimiterElseAtACommaOrTab) {
    const std::string columns = "Columns 3\r\n  NAME Char(10)\r\n  N Integer\r\n  S Char(8)\r\n";
    ASSERT_TRUE(Convert(ctPoint, kVersion + "Delimiter \";\"\r\n" + kCoordSys + columns,
                        "Point 1 2\r\n", "\"x\";5;a,b\r\n"))
        << report.ErrorText;
    EXPECT_EQ(Column("NAME"), Values{"x"});
    EXPECT_EQ(Column("N"), Values{"5"});
    EXPECT_EQ(Column("S"), Values{"a,b"});

    // Without a Delimiter line, tabs and commas both separate values.
    ASSERT_TRUE(Convert(ctPoint, kVersion + kCoordSys + columns, "Point 1 2\r\nPoint 3 4\r\n",
                        "two words\t6\tc\r\nz,7,\"d\te\"\r\n"))
        << report.ErrorText;
    EXPECT_EQ(Column("NAME"), (Values{"two words", "z"}));
    EXPECT_EQ(Column("N"), (Values{"6", "7"}));
    EXPECT_EQ(Column("S"), (Values{"c", "d\te"}));
}

TEST_F(OtherProducers, ARowOverThreeLinesFillsItsFieldAndTheNextObjectTakesTheNextRow) {
    const std::string header = kVersion + "Delimiter \",\"\r\n" + kCoordSys +
                               "Columns 2\r\n  NAME Char(20)\r\n  N Integer\r\n";
    ASSERT_TRUE(Convert(ctPoint, header, "Point 1 2\r\nPoint 3 4\r\nPoint 5 6\r\n",
                        "\"MULTI\r\nLINE\r\nTEXT\",1\r\n\"next\",2\r\n\"last\",3\r\n"))
        << report.ErrorText;
    EXPECT_EQ(Column("NAME"), (Values{"MULTI\r\nLINE\r\nTEXT", "next", "last"}));
    EXPECT_EQ(Column("N"), (Values{"1", "2", "3"}));
    EXPECT_EQ(report.RowsOverSeveralLines, 1);

    // A value its field does not take is named by its own .mid line, past the long row.
    ASSERT_FALSE(
        Convert(ctPoint, header, "Point 1 2\r\nPoint 3 4\r\n", "\"a\r\nb\",1\r\n\"c\",x\r\n"));
    EXPECT_EQ(report.FailedMidLine, 3);
    EXPECT_EQ(report.ErrorText.rfind("フィールド N の値 \"x\" を格納できません", 0), 0u)
        << report.ErrorText;
}

TEST_F(OtherProducers, ColumnLinesSeparatedByTabsKeepTheirValues) {
    const std::string header = kVersion + "Delimiter \",\"\r\n" + kCoordSys +
                               "Columns\t2\r\n\tq_info\tChar(8)\r\n\tNAME\tChar(10)\r\n";
    ASSERT_TRUE(Convert(ctPoint, header, "Point 1 2\r\n", "\"a\",\"bc\"\r\n")) << report.ErrorText;
    EXPECT_EQ(Column("q_info"), Values{"a"});
    EXPECT_EQ(Column("NAME"), Values{"bc"});
}

TEST_F(OtherProducers, ARoundedRectangleGivesItsCornersWhereverItsRadiusStands) {
    const std::string header = kVersion + "Delimiter \",\"\r\n" + kCoordSys + "Columns 0\r\n";
    ASSERT_TRUE(Convert(ctPolygon, header,
                        "RoundRect 0 0 10 5\r\n  2\r\nRoundRect 0 0 10 5 2\r\nRect 0 0 10 5\r\n",
                        "\r\n\r\n\r\n"))
        << report.ErrorText;
    // Three records of 8 + 128 bytes that differ only in their numbers.
    const std::string shp = Shp();
    ASSERT_EQ(shp.size(), 100u + 3 * 136);
    EXPECT_EQ(shp.substr(104, 132), shp.substr(240, 132));
    EXPECT_EQ(shp.substr(104, 132), shp.substr(376, 132));
}

TEST_F(OtherProducers, AnArcInARectangleNarrowerThanOneUnitKeepsItsWidth) {
    const std::string header = kVersion + "Delimiter \",\"\r\n" + kCoordSys + "Columns 0\r\n";
    ASSERT_TRUE(Convert(ctPolyLine, header, "Arc 139 35 139.5 35.25\r\n  0 180\r\n", "\r\n"))
        << report.ErrorText;
    // The header box: the upper half of the ellipse, from one side of the rectangle to the
    // other.
    const std::string shp = Shp();
    EXPECT_NEAR(testing::DoubleAt(shp, 36), 139, 1e-9);
    EXPECT_NEAR(testing::DoubleAt(shp, 44), 35.125, 1e-9);
    EXPECT_NEAR(testing::DoubleAt(shp, 52), 139.5, 1e-9);
    EXPECT_NEAR(testing::DoubleAt(shp, 60), 35.25, 1e-9);
}

TEST_F(OtherProducers, ACollectionTakesOneRowAndGivesTheRecordOfThePartAConversionNeeds) {
    const std::string header =
        kVersion + "Delimiter \",\"\r\n" + kCoordSys + "Columns 1\r\n  N Integer\r\n";
    const std::string data =
        "Point 1 2\r\nCollection 3\r\n  Region 1\r\n    4\r\n0 0\r\n0 1\r\n1 1\r\n1 0\r\n"
        "    Pen (1,2,0)\r\n    Brush (2,16777215,16777215)\r\n  Pline 2\r\n0 0\r\n2 2\r\n"
        "    Pen (1,2,0)\r\n  Multipoint 2\r\n5 5\r\n6 6\r\n    Symbol (35,0,12)\r\n"
        "Point 3 4\r\nCollection 1\r\n  Multipoint 1\r\n7 7\r\nRegion 1\r\n 3\r\n0 0\r\n1 0\r\n1 "
        "1\r\n";
    const std::string mid = "1\r\n2\r\n3\r\n4\r\n5\r\n";
    ASSERT_TRUE(Convert(ctPoint, header, data, mid)) << report.ErrorText;
    EXPECT_EQ(Column("N"), (Values{"1", "3"}));

    ASSERT_TRUE(Convert(ctPolygon, header, data, mid)) << report.ErrorText;
    EXPECT_EQ(Column("N"), (Values{"2", "5"}));  // the second collection has no region
    const std::string polygons = Shp();
    EXPECT_EQ(testing::DoubleAt(polygons, 100 + 8 + 4 + 16), 1.0);  // the region's box Xmax

    ASSERT_TRUE(Convert(ctPolyLine, header, data, mid)) << report.ErrorText;
    EXPECT_EQ(Column("N"), Values{"2"});
    EXPECT_EQ(Shp().size(), 100u + 8 + 4 + 32 + 8 + 4 + 2 * 16);  // one section of two points
}

TEST_F(OtherProducers, FloatValuesTooWideForSixDecimalsKeepAsManyAsTheFieldLeaves) {
    const std::string header = kVersion + "Delimiter \",\"\r\n" + kCoordSys +
                               "Columns 3\r\n  POP Float\r\n  AREA Decimal(12,3)\r\n  ID Float\r\n";
    ASSERT_TRUE(Convert(ctPoint, header, "Point 1 2\r\n",
                        "150840734225,1.000003006E9,-123456789012345\r\n"))
        << report.ErrorText;
    // The record after the 129-byte header: its flag, then three fields of 16 bytes.
    EXPECT_EQ(ReadFileBytes(dir.Path("out.dbf")).substr(129, 49),
              " 150840734225.0001000003006.00000-123456789012345");
    // An integer part wider than the field still fails, naming its line.
    ASSERT_FALSE(Convert(ctPoint, header, "Point 1 2\r\nPoint 3 4\r\n",
                         "1,2,3\r\n12345678901234567,2,3\r\n"));
    EXPECT_EQ(report.FailedMidLine, 2);
}

TEST_F(OtherProducers, TextEscapesAreReadByTheCharactersOfTheDeclaredCharset) {
    // a\nb, then 表n in Shift-JIS, whose second byte is a backslash in UTF-8.
    const std::string data = "Text\r\n  \"a\\nb\x95\x5Cn\"\r\n  1 2 3 4\r\n";
    const std::string rest = "Delimiter \",\"\r\n" + kCoordSys + "Columns 0\r\n";
    ASSERT_TRUE(Convert(ctTextAsPoint, kVersion + rest, data, "\r\n")) << report.ErrorText;
    EXPECT_EQ(Column("MIF_TEXT"), Values{"a\nb\x95\x5Cn"});
    ASSERT_TRUE(Convert(ctTextAsLine, "Version 300\r\nCharset \"UTF-8\"\r\n" + rest, data, "\r\n"))
        << report.ErrorText;
    EXPECT_EQ(Column("MIF_TEXT"), Values{"a\nb\x95\n"});
}

TEST_F(OtherProducers, ADamagedRegionInACollectionFailsOnlyTheConversionsThatTakeRegions) {
    const std::string header =
        kVersion + "Delimiter \",\"\r\n" + kCoordSys + "Columns 1\r\n  N Integer\r\n";
    const std::string data =
        "Point 1 2\r\nCollection 2\r\n  Region 1\r\n    3\r\n0 0\r\n0 x\r\n1 1\r\n"
        "  Pline 2\r\n0 0\r\n2 2\r\nPoint 3 4\r\n";
    const std::string mid = "1\r\n2\r\n3\r\n";
    ASSERT_TRUE(Convert(ctPoint, header, data, mid)) << report.ErrorText;
    EXPECT_EQ(Column("N"), (Values{"1", "3"}));
    ASSERT_TRUE(Convert(ctPolyLine, header, data, mid)) << report.ErrorText;
    EXPECT_EQ(Column("N"), Values{"2"});
    ASSERT_FALSE(Convert(ctPolygon, header, data, mid));
    EXPECT_EQ(report.FailedLine, 13);
    EXPECT_EQ(report.ErrorText, "\"x\" は有効な数値ではありません");
}

TEST_F(OtherProducers, AMissingMidLeavesTheValuesEmptyAndIsReportedWhenTheColumnsWantedIt) {
    const std::string columns =
        kVersion + kCoordSys + "Columns 2\r\n  N Integer\r\n  S Char(3)\r\n";
    const std::string data = "Point 1 2\r\nRegion 0\r\nText \"a b\"\r\n  0 0 1 1\r\nPoint 3 4\r\n";
    const struct {
        const char* what;
        int type;
        std::string header;
        bool midMissing;
        std::string rows;  // the .dbf's records, after its header
    } cases[] = {
        // Each row a deletion flag and the fields' blanks.
        {"columns", ctPoint, columns, true, std::string(2 * 20, ' ')},
        {"no columns", ctPoint, kVersion + kCoordSys + "Columns 0\r\n", false, "  "},
        {"no Columns line", ctPoint, kVersion, false, "  "},
        {"a text conversion takes no .mid value", ctTextAsPoint, columns, false,
         " a b" + std::string(97, ' ')},
    };
    for (const auto& c : cases) {
        WriteFileBytes(dir.Path("src.mif"), c.header + "Data\r\n" + data);
        std::filesystem::remove(dir.Path("src.mid"));
        report = {};
        TConversionHooks hooks;
        hooks.Report = &report;
        ASSERT_TRUE(ConvertMifToShp(c.type, dir.Path("src.mif"), dir.Path("out.shp"), hooks))
            << c.what << ": " << report.ErrorText;
        EXPECT_EQ(report.MidMissing, c.midMissing) << c.what;
        const std::string dbf = ReadFileBytes(dir.Path("out.dbf"));
        const std::size_t headerLength = static_cast<unsigned char>(dbf[8]) + 256u * dbf[9];
        EXPECT_EQ(dbf.substr(headerLength), c.rows + "\x1a") << c.what;
    }

    // A .mid that is there but cannot be read fails the conversion.
    std::filesystem::create_directory(dir.Path("src.mid"));
    TConversionHooks hooks;
    hooks.Report = &report;
    ASSERT_FALSE(ConvertMifToShp(ctPoint, dir.Path("src.mif"), dir.Path("out.shp"), hooks));
    EXPECT_NE(report.ErrorText.find("src.mid\" を開けません"), std::string::npos)
        << report.ErrorText;
}

}  // namespace
}  // namespace varnelo

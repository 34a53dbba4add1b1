// SPDX-License-Identifier: MIT
#include "engine/mif_header.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>

#include "engine/mif_errors.hpp"
#include "shape/errors.hpp"

namespace varnelo {

void PrintTo(const TSFColumn& c, std::ostream* os) {
    *os << "{" << c.Name << ", type " << int(c.Type) << ", width " << c.Width << ", decimals "
        << c.Decimals << (c.Known ? "" : ", unknown") << "}";
}

namespace {

const std::string kHeader =
    "Version 300\r\n"
    "Charset \"WindowsJapanese\"\r\n"
    "Delimiter \",\"\r\n"
    "CoordSys Earth Projection 1, 0\r\n";

struct TRead {
    TSFColumns Columns;
    std::string NextLine;
};

// Runs both readers as the converter does and reports the line they leave next.
TRead ReadHeaderAndColumns(std::string mif, TSFColumns columns = {}) {
    TLineReader reader = TLineReader::FromString(std::move(mif));
    ReadMifHeader(reader);
    ReadMifColumns(reader, columns);
    return {columns, reader.ReadLine()};
}

TEST(ReadMifColumns, ReadsTheColumnsAfterACompleteHeader) {
    const TRead read = ReadHeaderAndColumns(kHeader +
                                            "Columns 2\r\n"
                                            "  NAME Char(20)\r\n"
                                            "  POP Integer\r\n"
                                            "Data\r\n");
    EXPECT_EQ(read.Columns, (TSFColumns{{"NAME", 0, 20}, {"POP", 1, 11}}));
    EXPECT_EQ(read.NextLine, "Data");
}

TEST(ReadMifHeader, StopsAfterTheFourthKeywordInAnyCaseAndAfterATab) {
    // A keyword ends at a tab as at a space, so the header is complete at CoordSys.
    TLineReader reader = TLineReader::FromString(
        "VERSION 300\n\ncharset\t\"x\"\nDELIMITER \",\"\ncoordsys\tEarth\nCharset \"y\"\n");
    ReadMifHeader(reader);
    EXPECT_EQ(reader.ReadLine(), "Charset \"y\"");
}

TEST(ReadMifHeader, KeepsTheDeclaredDelimiter) {
    const std::pair<std::string, char> cases[] = {
        {"Delimiter \",\"", ','},    {"DELIMITER\t\";\"", ';'}, {"Delimiter \"\t\"", '\t'},
        {"Delimiter \"\\t\"", '\t'}, {"Delimiter |", '|'},      {"Delimiter \"\"", '\0'},
        {"Version 300", '\0'},
    };
    for (const auto& [line, delimiter] : cases) {
        TLineReader reader = TLineReader::FromString(line + "\nColumns 0\n");
        TMifHeaderInfo info;
        ReadMifHeader(reader, &info);
        EXPECT_EQ(info.Delimiter, delimiter) << line;
    }
}

TEST(ReadMifHeader, KeepsTheCharsetAndACoordSysClauseSpreadOverLines) {
    TLineReader reader = TLineReader::FromString(
        "Version 300\r\nCharset \"UTF-8\"\r\nDelimiter \",\"\r\nCoordSys Earth\r\n"
        "  Projection 8, 104, \"m\", 139.8, 36, 0.9999, 0, 0\r\n\r\n  Bounds (-1, -1) (1, 1)\r\n"
        "Columns 1\r\n  A Integer\r\nData\r\n");
    TMifHeaderInfo info;
    ReadMifHeader(reader, &info);
    EXPECT_EQ(info.Charset, "UTF-8");
    EXPECT_EQ(info.CoordSys,
              "Earth Projection 8, 104, \"m\", 139.8, 36, 0.9999, 0, 0 Bounds (-1, -1) (1, 1)");
    TSFColumns columns;
    ReadMifColumns(reader, columns);
    EXPECT_EQ(columns, (TSFColumns{{"A", 1, 11}}));
    EXPECT_EQ(reader.ReadLine(), "Data");

    // A clause before the other keywords: the header still ends after the fourth of them.
    TLineReader early = TLineReader::FromString(
        "CoordSys Earth\nProjection 1, 97\nVersion 300\ncharset \"WindowsLatin1\"\n"
        "Delimiter \",\"\nnext\n");
    TMifHeaderInfo earlyInfo;
    ReadMifHeader(early, &earlyInfo);
    EXPECT_EQ(earlyInfo.CoordSys, "Earth Projection 1, 97");
    EXPECT_EQ(earlyInfo.Charset, "WindowsLatin1");
    EXPECT_EQ(early.ReadLine(), "next");
}

TEST(ReadMifHeader, EndsAtColumnsOrDataWhenAKeywordIsMissingOrRepeated) {
    const TRead noDelimiter = ReadHeaderAndColumns(
        "Version 300\nCharset \"x\"\nCoordSys Earth\ncolumns 1\n A Float\nData\n");
    EXPECT_EQ(noDelimiter.Columns, (TSFColumns{{"A", 2, 0}}));
    EXPECT_EQ(noDelimiter.NextLine, "Data");

    const TRead twice =
        ReadHeaderAndColumns("Version 300\n" + kHeader + "Columns 1\n A Date\nDATA\n");
    EXPECT_EQ(twice.Columns, (TSFColumns{{"A", 3, 0}}));
    EXPECT_EQ(twice.NextLine, "DATA");

    const TRead onlyVersion = ReadHeaderAndColumns("Version 300\n  Data  \nPoint 1 2\n");
    EXPECT_EQ(onlyVersion.Columns, TSFColumns{});
    EXPECT_EQ(onlyVersion.NextLine, "  Data  ");
}

TEST(ReadMifColumns, LeavesTheListAsItWasWithoutAColumnsLine) {
    const TSFColumns before{{"OLD", 4, 3}};
    EXPECT_EQ(ReadHeaderAndColumns(kHeader, before).Columns, before);

    const TRead dataFirst = ReadHeaderAndColumns(kHeader + "Data\nPoint 1 2\n", before);
    EXPECT_EQ(dataFirst.Columns, before);
    EXPECT_EQ(dataFirst.NextLine, "Data");
}

TEST(ReadMifColumns, SkipsBlankLinesAndHonoursCountZero) {
    const TRead none = ReadHeaderAndColumns(kHeader + "Columns 0\nData\n");
    EXPECT_EQ(none.Columns, TSFColumns{});
    EXPECT_EQ(none.NextLine, "Data");

    const TRead notANumber = ReadHeaderAndColumns(kHeader + "Columns many\nData\n");
    EXPECT_EQ(notANumber.Columns, TSFColumns{});

    const TRead blanks =
        ReadHeaderAndColumns(kHeader + "Columns 2\n\n A Logical\n \t\n B Char\nData\n");
    EXPECT_EQ(blanks.Columns, (TSFColumns{{"A", 4, 0}, {"B", 0, 255}}));
    EXPECT_EQ(blanks.NextLine, "Data");
}

TEST(ReadMifColumns, MapsEachTypeTextToItsCodeAndWidth) {
    const TRead read = ReadHeaderAndColumns(kHeader +
                                            "Columns 30\n"
                                            "c1 Char(10)\n"
                                            "c2 Char (10)\n"
                                            "c3 char(10)\n"
                                            "c4 Char\n"
                                            "c5 Char(wide)\n"
                                            "i1 Integer\n"
                                            "i2 SmallInt\n"
                                            "i3 LargeInt\n"
                                            "d1 Decimal(12,3)\n"
                                            "d2 Decimal (20, 2 )\n"
                                            "d3 Decimal\n"
                                            "d4 Decimal(3,4)\n"
                                            "f1 FLOAT\n"
                                            "t1 Date\n"
                                            "t2 DateTime\n"
                                            "t3 time\n"
                                            "l1 Logical\n"
                                            "x1 Blob\n"
                                            "x2 Char(10) Integer\n"
                                            // A name with blanks ends at the type the line
                                            // ends in, when its second word is no type.
                                            "  Depth low Float\n"
                                            "  Date of survey Date\n"
                                            "  Place name Char (50)\n"
                                            "  Mean depth Decimal ( 10, 3 )\n"
                                            "  Two\tword\tLogical\n"
                                            "  Note (old) text char(8)\n"
                                            "  Time zone Char\n"
                                            "  Depth low Blob\n"
                                            "  Char (50)\n"
                                            "  Name Chars wide\n"
                                            "  Date Time Char(5)\n"
                                            "Data\n");
    EXPECT_EQ(read.Columns, (TSFColumns{{"c1", 0, 10},
                                        {"c2", 0, 10},
                                        {"c3", 0, 10},
                                        {"c4", 0, 255},
                                        {"c5", 0, 255},
                                        {"i1", 1, 11},
                                        {"i2", 1, 11},
                                        {"i3", kLargeIntColumn, 0},
                                        {"d1", 2, 12, 3},
                                        {"d2", 2, 20, 2},
                                        {"d3", 2, 0, 0},
                                        {"d4", 2, 0, 0},  // more decimals than digits
                                        {"f1", 2, 0},
                                        {"t1", 3, 0},
                                        {"t2", 0, 17},
                                        {"t3", 0, 9},
                                        {"l1", 4, 0},
                                        {"x1", 0, 0, 0, false},
                                        {"x2", 1, 11},
                                        {"Depth low", 2, 0},
                                        {"Date of survey", 3, 0},
                                        {"Place name", 0, 50},
                                        {"Mean depth", 2, 10, 3},
                                        {"Two\tword", 4, 0},
                                        {"Note (old) text", 0, 8},
                                        {"Time zone", 0, 255},
                                        {"Depth", 0, 0, 0, false},
                                        {"Char", 0, 0, 0, false},
                                        {"Name", 0, 255},
                                        {"Date", 0, 9}}));
}

TEST(ReadMifColumns, ReadsNamesAndCountsSeparatedByTabs) {
    const TRead read =
        ReadHeaderAndColumns(kHeader + "Columns\t2\n\tq_info\tChar(8)\n\tNAME \t Integer\nData\n");
    EXPECT_EQ(read.Columns, (TSFColumns{{"q_info", 0, 8}, {"NAME", 1, 11}}));
    EXPECT_EQ(read.NextLine, "Data");
}

TEST(ReadMifColumns, ResizesACallersListKeepingWhatUnknownTypesDoNotSet) {
    const TRead grown =
        ReadHeaderAndColumns(kHeader + "Columns 2\nA Blob\nB Blob\nData\n", {{"OLD", 2, 7}});
    EXPECT_EQ(grown.Columns, (TSFColumns{{"A", 2, 7, 0, false}, {"B", 0, 0, 0, false}}));

    const TRead shrunk = ReadHeaderAndColumns(kHeader + "Columns 1\nA Integer\nData\n",
                                              {{"X", 0, 1}, {"Y", 0, 2}, {"Z", 0, 3}});
    EXPECT_EQ(shrunk.Columns, (TSFColumns{{"A", 1, 11}}));
}

TEST(ReadMifColumns, RaisesForANegativeCountOrMissingColumnLines) {
    EXPECT_THROW(ReadHeaderAndColumns(kHeader + "Columns -1\nData\n"), EMifFormatError);
    EXPECT_THROW(ReadHeaderAndColumns(kHeader + "Columns 3\nA Integer\n\nB Integer\n"),
                 EMifFormatError);
    // A huge count with few lines fails at the end of the file, without allocating ahead.
    EXPECT_THROW(ReadHeaderAndColumns(kHeader + "Columns 2000000000\nA Integer\n"),
                 EMifFormatError);
}

}  // namespace
}  // namespace varnelo

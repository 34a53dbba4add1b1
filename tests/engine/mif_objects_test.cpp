// SPDX-License-Identifier: MIT
#include "engine/mif_objects.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "engine/mif_errors.hpp"
#include "shape/errors.hpp"

namespace varnelo {

void PrintTo(const TShpPoint& p, std::ostream* os) {
    *os << "(" << p.X << ", " << p.Y << ")";
}
void PrintTo(const TShpBox& b, std::ostream* os) {
    *os << "[" << b.Xmin << ", " << b.Ymin << ", " << b.Xmax << ", " << b.Ymax << "]";
}

namespace {

using Points = std::vector<TShpPoint>;
using Parts = std::vector<std::int32_t>;

constexpr double kPi = 3.14159265358979323846;

TLineReader Lines(std::string text) {
    return TLineReader::FromString(std::move(text));
}

void ExpectShape(const TSFMultiPart& shape, const Parts& parts, const Points& points,
                 const TShpBox& box) {
    EXPECT_EQ(shape.NumParts, static_cast<std::int32_t>(parts.size()));
    EXPECT_EQ(shape.Parts, parts);
    EXPECT_EQ(shape.NumPoints, static_cast<std::int32_t>(points.size()));
    EXPECT_EQ(shape.Points, points);
    EXPECT_EQ(shape.Box, box);
}

void ExpectNear(const TShpPoint& actual, double x, double y, const std::string& what) {
    EXPECT_NEAR(actual.X, x, 1e-12) << what;
    EXPECT_NEAR(actual.Y, y, 1e-12) << what;
}

// The first byte answers most lines, the field rules the rest; both must agree.
TEST(MifObjectKindOfLine, FindsKeywordsInAnyCaseAsTheFirstFieldAndNothingElse) {
    using K = TMifObjectKind;
    const std::pair<std::string, K> cases[] = {
        {"Point 1 2", K::Point},
        {"point\t1 2", K::Point},
        {"\"POINT\" 2 2", K::Point},
        {"  Region 1", K::Region},
        {"MULTIPOINT", K::Multipoint},
        {"Collection\t2", K::Collection},
        {"arc", K::Arc},
        {"Pointx 1 2", K::None},
        {"Po\0int", K::None},
        {"Point,1 2", K::None},
        {"REGIONS 1", K::None},
        {"Pen (1,2,0)", K::None},
        {"139.5 35.25", K::None},
        {"-1 2", K::None},
        {"\x83\x61 1", K::None},
        {"\"\" Point", K::None},
        {"", K::None},
    };
    for (const auto& [line, kind] : cases) {
        EXPECT_EQ(MifObjectKindOfLine(line), kind) << line;
    }
}

// ---- POINT and LINE ----

TEST(ReadMifPoint, FindsTheCoordinatesOnTheKeywordLineOrTheLinesAfterIt) {
    for (const auto& [keyword, rest] : {std::pair{"POINT 1.5 -2", ""},
                                        {"Point", "\n 1.5 -2\n"},
                                        {"POINT 1.5", "-2\n"},
                                        {"POINT", "1.5\n\n  -2\n"}}) {
        TLineReader mif = Lines(std::string(rest) + "    Symbol (35,0,12)\n");
        TShpPoint point;
        ReadMifPoint(keyword, mif, point);
        EXPECT_EQ(point, (TShpPoint{1.5, -2})) << keyword << rest;
        EXPECT_EQ(mif.ReadLine(), "    Symbol (35,0,12)") << keyword << rest;
    }
}

// Producers separate an object's fields with TABs as well as spaces, and with runs of them;
// the driver has collapsed runs of spaces only.
TEST(MifObjectReaders, SplitFieldsAtSpacesAndTabsHoweverMany) {
    TShpPoint point;
    for (const auto& [keyword, rest] :
         {std::pair{"Point\t1 2", ""}, {"POINT 1\t2", ""}, {"POINT\t\t1", "\t 2\n"}}) {
        TLineReader mif = Lines(rest);
        ReadMifPoint(keyword, mif, point);
        EXPECT_EQ(point, (TShpPoint{1, 2})) << keyword;
    }
    TLineReader none = Lines("");
    TSFPolyLine line;
    ReadMifLine("Line\t0\t5 \t2\t-1", none, line);
    ExpectShape(line, {0}, {{0, 5}, {2, -1}}, {0, -1, 2, 5});
    TLineReader sections = Lines("1\n0\t0\n1\n1 \t1\n");
    ReadMifPline("Pline\tMultiple\t2", sections, line);
    ExpectShape(line, {0, 1}, {{0, 0}, {1, 1}}, {0, 0, 1, 1});
    TLineReader arcAngles = Lines("");
    ReadMifArc("Arc\t0\t0 11\t11\t0\t90", arcAngles, line);
    EXPECT_EQ(line.NumPoints, 91);

    TSFPolygon polygon;
    TLineReader ring = Lines("1\n5\t6\n");
    ReadMifRegion("Region\t1", ring, polygon);
    ExpectShape(polygon, {0}, {{5, 6}}, {5, 6, 5, 6});
    const Points corners{{0, 0}, {10, 0}, {10, 5}, {0, 5}};
    ReadMifRect("Rect\t0\t0\t10 \t5", none, polygon);
    ExpectShape(polygon, {0}, corners, {0, 0, 10, 5});
    ReadMifRect("RoundRect\t0 0\t10 5\t2", none, polygon);
    ExpectShape(polygon, {0}, corners, {0, 0, 10, 5});
    TLineReader part = Lines("\tRegion\t1\n1\n0\t0\n");
    EXPECT_TRUE(ReadMifCollection("Collection\t1", part, polygon, line).Region);
}

TEST(ReadMifPoint, FailsOnAThirdNumberOrATruncatedFile) {
    TShpPoint point;
    TLineReader empty = Lines("");
    EXPECT_THROW(ReadMifPoint("POINT 1 2 3", empty, point), EConvertError);
    EXPECT_THROW(ReadMifPoint("POINT", empty, point), EMifFormatError);
    TLineReader blanks = Lines("\n \n");
    EXPECT_THROW(ReadMifPoint("POINT 1", blanks, point), EMifFormatError);
    try {
        ReadMifPoint("POINT a 2", empty, point);
        FAIL() << "no error raised";
    } catch (const EConvertError& error) {
        EXPECT_STREQ(error.what(), "\"a\" は有効な数値ではありません");
    }
}

TEST(ReadMifLine, ReadsFourNumbersWithABreakAllowedOnlyAfterTheFirst) {
    const Points points{{0, 5}, {2, -1}};
    const TShpBox box{0, -1, 2, 5};
    for (const auto& [keyword, rest] :
         {std::pair{"LINE 0 5 2 -1", ""}, {"LINE", "\n\n0 5 2 -1"}, {"Line 0", "\n5 2 -1"}}) {
        TLineReader mif = Lines(rest);
        TSFPolyLine line;
        ReadMifLine(keyword, mif, line);
        ExpectShape(line, {0}, points, box);
    }
    TLineReader mif = Lines("2 -1\n");
    TSFPolyLine line;
    EXPECT_THROW(ReadMifLine("LINE 0 5", mif, line), EConvertError);
}

// ---- PLINE and REGION ----

TEST(ReadMifPline, ReadsOneSectionSkippingBlankLines) {
    TLineReader mif = Lines("\n3\n0 0\n\n  4 1\n-2 3\n  Pen (1,2,0)\n");
    TSFPolyLine line;
    ReadMifPline("PLINE", mif, line);
    ExpectShape(line, {0}, {{0, 0}, {4, 1}, {-2, 3}}, {-2, 0, 4, 3});
    EXPECT_EQ(mif.ReadLine(), "  Pen (1,2,0)");
}

TEST(ReadMifPline, ReadsMultipleSectionsAndReplacesTheRecordsContent) {
    TLineReader mif = Lines("3\n0 0\n1 1\n2 0\n\n2\n5 5\n6 7\n");
    TSFPolyLine line;
    ReadMifPline("Pline Multiple 2", mif, line);
    ExpectShape(line, {0, 3}, {{0, 0}, {1, 1}, {2, 0}, {5, 5}, {6, 7}}, {0, 0, 6, 7});

    TLineReader next = Lines("2\n1 2\n3 4\n");
    ReadMifPline("PLINE MULTIPLE", next, line);  // no count: one section
    ExpectShape(line, {0}, {{1, 2}, {3, 4}}, {1, 2, 3, 4});
}

TEST(ReadMifPline, ObjectsWithoutPointsGetAZeroBox) {
    TSFPolyLine line;
    line.Box = {1, 2, 3, 4};
    TLineReader mif = Lines("");
    ReadMifPline("PLINE 0", mif, line);
    ExpectShape(line, {0}, {}, {0, 0, 0, 0});
    ReadMifPline("PLINE MULTIPLE 0", mif, line);
    ExpectShape(line, {}, {}, {0, 0, 0, 0});
}

TEST(ReadMifPline, RaisesForTruncatedObjectsAndNegativeCounts) {
    TSFPolyLine line;
    for (const auto& [keyword, rest] : {std::pair{"PLINE 3", "0 0\n1 1\n\n"},
                                        {"PLINE MULTIPLE 2", "1\n0 0\n"},
                                        {"PLINE", "\n \n"},
                                        {"PLINE -1", ""},
                                        {"PLINE MULTIPLE -2", ""},
                                        {"PLINE MULTIPLE 1", "-1\n"}}) {
        TLineReader mif = Lines(rest);
        EXPECT_THROW(ReadMifPline(keyword, mif, line), EMifFormatError) << keyword;
    }
    TLineReader mif = Lines("1 2 3\n");
    EXPECT_THROW(ReadMifPline("PLINE 1", mif, line), EConvertError);
}

TEST(ReadMifRegion, StoresRingsAsReadWithoutClosingThem) {
    for (const char* keyword : {"REGION 1", "Region 01"}) {
        TLineReader mif = Lines("4\n0 0\n0 2\n2 2\n2 0\n    Pen (1,2,0)\n");
        TSFPolygon polygon;
        ReadMifRegion(keyword, mif, polygon);
        ExpectShape(polygon, {0}, {{0, 0}, {0, 2}, {2, 2}, {2, 0}}, {0, 0, 2, 2});
        EXPECT_EQ(mif.ReadLine(), "    Pen (1,2,0)");
    }
    TLineReader mif = Lines("\n2\n\n3\n0 0\n5 0\n\n0 -5\n4\n1 1\n2 1\n2 2\n1 2\n");
    TSFPolygon polygon;
    ReadMifRegion("REGION", mif, polygon);
    ExpectShape(polygon, {0, 3}, {{0, 0}, {5, 0}, {0, -5}, {1, 1}, {2, 1}, {2, 2}, {1, 2}},
                {0, -5, 5, 2});
}

// Coordinate lines of the usual form are read straight from the reader's buffer, all
// others line by line; both must give the same points, wherever the buffer happens to end.
TEST(ReadMifRegion, ReadsEveryFormOfCoordinateLineAlikeWhereverTheBufferEnds) {
    const std::string text =
        "9\n"
        "  139.694494 35.393525\r\n"
        "139.5\t 35.25\n"
        "-0.5   -1.25   \r\n"
        "1e2 3\n"
        "+4 5\r\n"
        "12345678901.123456789 -7\n"
        "6 7\r\r\n"
        "\r\n"
        "8 9\n"
        "\t-3\t\t4 \n"
        "    Pen (1,2,0)\n";
    const Points expected = {
        {139.694494, 35.393525},     {139.5, 35.25}, {-0.5, -1.25}, {100, 3}, {4, 5},
        {12345678901.123456789, -7}, {6, 7},         {8, 9},        {-3, 4}};
    for (std::size_t chunk = 1; chunk <= text.size() + 1; ++chunk) {
        TLineReader mif = TLineReader::FromString(text, chunk);
        TSFPolygon polygon;
        ReadMifRegion("REGION 1", mif, polygon);
        EXPECT_EQ(polygon.Points, expected) << "chunks of " << chunk;
        EXPECT_EQ(mif.LineNumber(), 11) << "chunks of " << chunk;
        EXPECT_EQ(mif.ReadLine(), "    Pen (1,2,0)") << "chunks of " << chunk;
    }
}

TEST(ReadMifRegion, ObjectsWithoutPointsGetAZeroBox) {
    TSFPolygon polygon;
    polygon.Box = {1, 2, 3, 4};
    TLineReader mif = Lines("0\n\n0\n");
    ReadMifRegion("REGION 2", mif, polygon);
    ExpectShape(polygon, {0, 0}, {}, {0, 0, 0, 0});
}

TEST(ReadMifRegion, RaisesForTruncatedObjectsAndBadCountsWithoutAllocatingAhead) {
    TSFPolygon polygon;
    for (const auto& [keyword, rest] : {std::pair{"REGION 2000000000", "3\n0 0\n1 1\n2 2\n"},
                                        {"REGION 1", "2000000000\n0 0\n1 1\n2 2\n"},
                                        {"REGION 2", "1\n0 0\n"},
                                        {"REGION -1", ""},
                                        {"REGION 1", "-3\n"},
                                        {"REGION 2", "2\n0 0\n1 1\n2147483647\n0 0\n"}}) {
        TLineReader mif = Lines(rest);
        EXPECT_THROW(ReadMifRegion(keyword, mif, polygon), EMifFormatError) << keyword << rest;
    }
    TLineReader mif = Lines("x\n");
    EXPECT_THROW(ReadMifRegion("REGION 1", mif, polygon), EConvertError);
}

// ---- RECT and ELLIPSE ----

TEST(ReadMifRect, GivesFourCornersWithLineBreaksBetweenNumbers) {
    const Points corners{{0, 0}, {10, 0}, {10, 5}, {0, 5}};
    for (const auto& [keyword, rest] : {std::pair{"RECT 0 0 10 5", ""},
                                        {"Rect", "\n0 0\n10 5"},
                                        {"RECT 0 0 10", "\n\n5"},
                                        {"RECT 0", "\n0\n10\n5"},
                                        {"RoundRect 0 0 10 5", "\n  2\n"},
                                        {"ROUNDRECT 0 0 10 5 2", ""},
                                        {"RoundRect 0 0", "\n10 5 2"}}) {
        TLineReader mif = Lines(rest);
        TSFPolygon polygon;
        polygon.Parts = {0, 7};
        ReadMifRect(keyword, mif, polygon);
        ExpectShape(polygon, {0}, corners, {0, 0, 10, 5});
    }
    TLineReader mif = Lines("");
    TSFPolygon polygon;
    ReadMifRect("RECT 10 5 0 0", mif, polygon);
    EXPECT_EQ(polygon.Box, (TShpBox{0, 0, 10, 5}));
    EXPECT_THROW(ReadMifRect("RECT 0 0 10 5 2", mif, polygon), EConvertError);
    EXPECT_THROW(ReadMifRect("RECT 0 0", mif, polygon), EMifFormatError);
}

TEST(ReadMifEllipse, WalksThe361PointRingThroughDecreasingAngles) {
    TLineReader mif = Lines("    Pen (1,2,0)\n");
    TSFPolygon polygon;
    ReadMifEllipse("ELLIPSE 0 0 2 2", mif, polygon);
    ASSERT_EQ(polygon.NumPoints, 361);
    ASSERT_EQ(polygon.Points.size(), 361u);
    EXPECT_EQ(polygon.Parts, Parts{0});
    EXPECT_EQ(polygon.Points[359], (TShpPoint{2, 1}));
    EXPECT_EQ(polygon.Points[360], polygon.Points[0]);
    ExpectNear(polygon.Points[358], 1 + std::cos(kPi / 180), 1 + std::sin(kPi / 180), "358");
    ExpectNear(polygon.Points[269], 1, 2, "269");
    ExpectNear(polygon.Points[179], 0, 1, "179");
    // Point 0 lies at the angle summed step by step, bit for bit.
    double t = 0;
    for (int i = 0; i < 359; ++i) {
        t += 0.017453292519943295769;
    }
    EXPECT_EQ(polygon.Points[0], (TShpPoint{std::cos(t) * 1 + 0 + 1, std::sin(t) * 1 + 0 + 1}));
    EXPECT_NEAR(polygon.Box.Xmin, 0, 1e-12);
    EXPECT_NEAR(polygon.Box.Ymin, 0, 1e-12);
    EXPECT_EQ(polygon.Box.Xmax, 2);
    EXPECT_NEAR(polygon.Box.Ymax, 2, 1e-12);
    EXPECT_EQ(mif.ReadLine(), "    Pen (1,2,0)");  // nothing past the keyword line is read

    ReadMifEllipse("ELLIPSE 2 2 0 0", mif, polygon);  // signed half-axes
    EXPECT_EQ(polygon.Points[359], (TShpPoint{0, 1}));
}

TEST(ReadMifEllipse, FailsWhenTheCoordinatesAreNotOnTheKeywordLine) {
    TLineReader mif = Lines("0 0 2 2\n");
    TSFPolygon polygon;
    EXPECT_THROW(ReadMifEllipse("ELLIPSE", mif, polygon), EConvertError);
    EXPECT_EQ(mif.ReadLine(), "0 0 2 2");
}

// ---- ARC ----

TEST(ReadMifArc, ReproducesTheQuarterCircleExample) {
    for (const auto& [keyword, rest] : {std::pair{"ARC 0 0 11 11 0.5 90.25", ""},
                                        {"Arc 0 0 11 11", "  0.5   90.25\n"},
                                        {"ARC 0 0 11 11 -359.5 450.25", ""}}) {
        TLineReader mif = Lines(rest);
        TSFPolyLine arc;
        ReadMifArc(keyword, mif, arc);
        ASSERT_EQ(arc.NumPoints, 90) << keyword;
        ASSERT_EQ(arc.Points.size(), 90u);
        EXPECT_EQ(arc.Parts, Parts{0});
        // Whole degrees from 91 down to 3, then exactly 0.5, on the circle inscribed in the
        // rectangle (radius 5.5).
        for (int j = 0; j < 89; ++j) {
            const double degrees = (91 - j) * kPi / 180;
            ExpectNear(arc.Points[j], 5.5 + 5.5 * std::cos(degrees), 5.5 + 5.5 * std::sin(degrees),
                       keyword + std::string(" point ") + std::to_string(j));
        }
        ExpectNear(arc.Points[89], 5.5 + 5.5 * std::cos(0.5 * kPi / 180),
                   5.5 + 5.5 * std::sin(0.5 * kPi / 180), "last");
        EXPECT_EQ(arc.Box.Xmax, arc.Points[89].X);
        EXPECT_EQ(arc.Box.Ymax, arc.Points[1].Y);
        EXPECT_TRUE(mif.Eof());
    }
}

TEST(ReadMifArc, HandlesNarrowRectanglesAndTinySweeps) {
    TLineReader mif = Lines("");
    TSFPolyLine arc;
    // A rectangle narrower than one unit keeps its width: the upper half of its ellipse
    // runs from one side to the other, every point on the ellipse ELLIPSE gives.
    ReadMifArc("ARC 0.5 10 0 0 0 180", mif, arc);
    ASSERT_EQ(arc.NumPoints, 181);
    EXPECT_NEAR(arc.Box.Xmin, 0, 1e-12);
    EXPECT_NEAR(arc.Box.Xmax, 0.5, 1e-12);
    EXPECT_NEAR(arc.Box.Ymax, 10, 1e-12);
    for (const TShpPoint& p : arc.Points) {
        const double dx = (p.X - 0.25) / 0.25;
        const double dy = (p.Y - 5) / 5;
        EXPECT_NEAR(dx * dx + dy * dy, 1, 1e-12);
    }

    // An arc of less than one whole degree is its exact end, twice: a line has two points.
    for (const char* keyword : {"ARC 0 0 11 11 10 10.5", "ARC 0 0 11 11 10 10"}) {
        ReadMifArc(keyword, mif, arc);
        ExpectShape(arc, {0}, {arc.Points[0], arc.Points[0]}, arc.Box);
        ExpectNear(arc.Points[0], 5.5 + 5.5 * std::cos(10 * kPi / 180),
                   5.5 + 5.5 * std::sin(10 * kPi / 180), keyword);
    }

    ReadMifArc("ARC 0 0 11 11 1e300 -1e300", mif, arc);  // absurd angles end quickly
    EXPECT_EQ(arc.NumPoints, static_cast<std::int32_t>(arc.Points.size()));
    EXPECT_THROW(ReadMifArc("ARC 0 0 11 11", mif, arc), EMifFormatError);
}

// Found by fuzzing: a rectangle spanning most of the double range overflowed the arithmetic
// into infinite radii and undefined angles, which then went into a conversion to whole
// degrees. Such objects raise; large ones that can still be computed give their points.
TEST(ReadMifArc, AnglesAWholeTurnApartGiveTheWholeClosedEllipse) {
    TLineReader mif = Lines("");
    TSFPolyLine arc;
    for (const char* angles : {"0 360", "90 450", "360 0", "-180 180", "0.1 360.1"}) {
        ReadMifArc(std::string("ARC 0 0 11 22 ") + angles, mif, arc);
        ASSERT_EQ(arc.NumPoints, 361) << angles;
        EXPECT_EQ(arc.Points.front(), arc.Points.back()) << angles;
        for (const TShpPoint& p : arc.Points) {
            const double dx = (p.X - 5.5) / 5.5;
            const double dy = (p.Y - 11) / 11;
            EXPECT_NEAR(dx * dx + dy * dy, 1, 1e-12) << angles;
        }
        // Whole degrees of the ellipse's own angle, so its four extremes are among them.
        EXPECT_NEAR(arc.Box.Xmin, 0, 1e-12) << angles;
        EXPECT_NEAR(arc.Box.Ymax, 22, 1e-12) << angles;
    }
}

TEST(ReadMifArc, RaisesWhenTheRectangleIsTooLargeToCompute) {
    TLineReader mif = Lines("");
    TSFPolyLine arc;
    EXPECT_THROW(ReadMifArc("ARC -1e308 -1e308 1e308 1e308 0 90", mif, arc), EMifFormatError);
    ReadMifArc("ARC 0 0 1e308 1e308 0 90", mif, arc);
    EXPECT_EQ(arc.NumPoints, 91);
    EXPECT_TRUE(std::isfinite(arc.Box.Xmax) && std::isfinite(arc.Box.Ymin));

    TSFPolygon ellipse;
    EXPECT_THROW(ReadMifEllipse("ELLIPSE -1e308 0 1e308 1", mif, ellipse), EMifFormatError);
    ReadMifEllipse("ELLIPSE 0 0 1e308 1e308", mif, ellipse);
    EXPECT_TRUE(std::isfinite(ellipse.Box.Xmax) && std::isfinite(ellipse.Box.Ymax));
}

// ---- TEXT ----

TEST(ReadMifText, TakesTheStringFromTheKeywordLineOrItsOwnLine) {
    const std::string tesuto = "\x83\x65\x83\x58\x83\x67";
    std::string text;
    TShpPoint point;

    TLineReader onKeyword = Lines("    1 2 3 4\n    Font (\"Arial\",0,0,0)\n");
    ReadMifTextPoint("TEXT \"Hello World\"", onKeyword, text, point);
    EXPECT_EQ(text, "Hello World");
    EXPECT_EQ(point, (TShpPoint{1, 2}));
    EXPECT_EQ(onKeyword.ReadLine(), "    Font (\"Arial\",0,0,0)");

    TLineReader ownLine = Lines("    \"Hello  " + tesuto + "\"\n  1   2 3 4\n");
    ReadMifTextPoint("Text", ownLine, text, point);
    EXPECT_EQ(text, "Hello  " + tesuto);
    EXPECT_EQ(point, (TShpPoint{1, 2}));

    TLineReader doubled = Lines("1 2 3 4\n");
    ReadMifTextPoint("TEXT \"\"\"x\"\" y\"", doubled, text, point);
    EXPECT_EQ(text, "x");  // the split leaves "x" y, whose leading quote Dequote removes
}

// Escapes are read character by character of the source's character set: 0x5C is also the
// second byte of two-byte characters, such as 表 (95 5C) in Shift-JIS.
TEST(ReadMifText, ReadsLineBreakAndBackslashEscapesByCharactersOfTheSource) {
    constexpr auto kSjis = TCharacterSet::ShiftJis;
    const struct {
        std::string Written;
        TCharacterSet Set;
        std::string Text;
    } cases[] = {
        {"a\\nb", kSjis, "a\nb"},
        {"a\\\\b", kSjis, "a\\b"},
        {"\\\\n", kSjis, "\\n"},                       // an escaped backslash, then n
        {"a\\tb\\", kSjis, "a\\tb\\"},                 // other pairs and a last backslash stay
        {"\x95\x5Cn", kSjis, "\x95\x5Cn"},             // 表n
        {"\x95\x5C\\n", kSjis, "\x95\x5C\n"},          // 表 and a line break
        {"\x95\x5Cn", TCharacterSet::Utf8, "\x95\n"},  // no character: 0x5C escapes there
        {"\xA5\x5C\\\\", TCharacterSet::EastAsianDoubleByte, "\xA5\x5C\\"},
    };
    for (const auto& c : cases) {
        std::string text;
        TShpPoint point;
        TLineReader ownLine = Lines("\"" + c.Written + "\"\n1 2 3 4\n");
        ReadMifTextPoint("Text", ownLine, text, point, c.Set);
        EXPECT_EQ(text, c.Text) << c.Written;
        TSFPolyLine line;
        TLineReader keywordLine = Lines("1 2 3 4\n");
        ReadMifTextLine("TEXT \"" + c.Written + "\"", keywordLine, text, line, c.Set);
        EXPECT_EQ(text, c.Text) << c.Written;
    }
}

TEST(ReadMifText, TakesTheNextLineAsTextAfterAnEmptyString) {
    TLineReader mif = Lines("1 2 3 4\n5 6 7 8\n");
    std::string text;
    TSFPolyLine line;
    ReadMifTextLine("TEXT \"\"", mif, text, line);
    EXPECT_EQ(text, "1 2 3 4");
    ExpectShape(line, {0}, {{5, 6}, {7, 8}}, {5, 6, 7, 8});
}

TEST(ReadMifText, ReadsTheCoordinateLineOnceAndRaisesAtTheEnd) {
    std::string text;
    TShpPoint point;
    TLineReader blank = Lines("\n1 2 3 4\n");
    EXPECT_THROW(ReadMifTextPoint("TEXT \"a\"", blank, text, point), EConvertError);
    TLineReader empty = Lines("");
    EXPECT_THROW(ReadMifTextPoint("TEXT \"a\"", empty, text, point), EMifFormatError);
    EXPECT_THROW(ReadMifTextPoint("TEXT", empty, text, point), EMifFormatError);
    TSFPolyLine line;
    TLineReader three = Lines("1 2 3\n");
    EXPECT_THROW(ReadMifTextLine("TEXT \"a\"", three, text, line), EConvertError);
}

// ---- COLLECTION ----

TEST(ReadMifCollection, ReadsItsPartsPastStyleLinesAndAddsPartsOfOneKind) {
    TLineReader mif = Lines(
        "  Region  2\n 3\n0 0\n0 1\n1 1\n 2\n5 5\n6 6\n    Pen (1,2,0)\n    Brush (2,0,0)\n"
        "  Multipoint 2\n7 7\n8 8\n    Symbol (35,0,12)\n  Line 0 0 1 1\n  Pline 2\n2 2\n3 3\n"
        "    Pen (1,2,0)\n");
    TSFPolygon region;
    TSFPolyLine polyline;
    const TMifCollectionParts parts = ReadMifCollection("COLLECTION 4", mif, region, polyline);
    EXPECT_TRUE(parts.Region);
    EXPECT_TRUE(parts.Polyline);
    ExpectShape(region, {0, 3}, {{0, 0}, {0, 1}, {1, 1}, {5, 5}, {6, 6}}, {0, 0, 6, 6});
    // The line and the polyline are one record of two sections.
    ExpectShape(polyline, {0, 2}, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}, {0, 0, 3, 3});
    EXPECT_EQ(mif.ReadLine(), "    Pen (1,2,0)");  // the driver passes over what follows
}

TEST(ReadMifCollection, EndsWhereAnotherObjectOrTheFileBeginsEarly) {
    TLineReader mif = Lines("  Multipoint 1\n1 1\nPoint 2 2\n");
    TSFPolygon region;
    TSFPolyLine polyline;
    const TMifCollectionParts parts = ReadMifCollection("Collection 3", mif, region, polyline);
    EXPECT_FALSE(parts.Region || parts.Polyline);
    EXPECT_EQ(mif.ReadLine(), "Point 2 2");
    EXPECT_FALSE(ReadMifCollection("Collection 2", mif, region, polyline).Polyline);
    EXPECT_THROW(ReadMifCollection("Collection -1", mif, region, polyline), EMifFormatError);
}

}  // namespace
}  // namespace varnelo

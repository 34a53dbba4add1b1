// SPDX-License-Identifier: MIT
// End-to-end conversions of the bundled samples, checked against bytes written down by
// hand from the shapefile and dBASE layouts.
#include "engine/convert.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../support/expected_bytes.hpp"
#include "../support/temp_dir.hpp"
#include "engine/text_ops.hpp"
#include "shape/local_dbf.hpp"

namespace varnelo {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::TExpectedBytes;
using testing::WriteFileBytes;

std::string Sample(const std::string& name) {
    return std::string(VARNELO_SOURCE_DIR) + "/samples/" + name;
}

struct DbfField {
    std::string name;
    char type;
    unsigned char length;
    unsigned char decimals;
};

// A .dbf header as written for a new table; the three date bytes are taken from `actual`
// because they record the day the file was made.
TExpectedBytes DbfHeader(const std::string& actual, std::int32_t records,
                         const std::vector<DbfField>& fields) {
    TExpectedBytes b;
    std::uint16_t recordLength = 1;
    for (const auto& f : fields) {
        recordLength = static_cast<std::uint16_t>(recordLength + f.length);
    }
    b.Byte(0x03);
    for (int i = 1; i <= 3; ++i) {
        b.Byte(static_cast<unsigned char>(actual.at(static_cast<std::size_t>(i))));
    }
    b.Int32LE(records)
        .UInt16LE(static_cast<std::uint16_t>(32 * fields.size() + 33))
        .UInt16LE(recordLength);
    b.Zeros(20);
    for (const auto& f : fields) {
        b.Text(f.name).Zeros(11 - f.name.size()).Byte(static_cast<unsigned char>(f.type));
        b.Zeros(4).Byte(f.length).Byte(f.decimals).Zeros(14);
    }
    b.Byte(0x0D);
    return b;
}

class ConvertSamples : public ::testing::Test {
  protected:
    TempDir dir;
    TTableOwner owner;
    TConversionReport report;

    bool Convert(int type, const std::string& mif, const std::string& shpName) {
        TConversionHooks hooks;
        hooks.Owner = &owner;
        hooks.Report = &report;
        return ConvertMifToShp(type, mif, dir.Path(shpName), hooks);
    }
    std::string Out(const std::string& name) const { return ReadFileBytes(dir.Path(name)); }
};

// Shift-JIS bytes of the sample texts.
const std::string kTokyoStation = "\x93\x8c\x8b\x9e\x89\x77";               // 東京駅
const std::string kShinOsaka = "\x90\x56\x91\xe5\x8d\xe3";                  // 新大阪
const std::string kNagoyaStation = "\x96\xbc\x8c\xc3\x89\xae\x20\x89\x77";  // 名古屋 駅
const std::string kHakata = "\x94\x8e\x91\xbd";                             // 博多

TEST_F(ConvertSamples, PointsKeepTheirOwnMidLinesPastMultipointAndNone) {
    ASSERT_TRUE(Convert(ctPoint, Sample("stations.mif"), "st.shp"));
    EXPECT_EQ(report.RecordsWritten, 4);

    const double xs[] = {139.7671, 135.4959, 136.9066, 130.4205};
    const double ys[] = {35.6812, 34.7025, 35.1709, 33.5902};
    TExpectedBytes shp;
    shp.ShapeHeader(106, 1, 130.4205, 33.5902, 139.7671, 35.6812);
    TExpectedBytes shx;
    shx.ShapeHeader(66, 1, 130.4205, 33.5902, 139.7671, 35.6812);
    for (int i = 0; i < 4; ++i) {
        shp.Int32BE(i + 1).Int32BE(10).Int32LE(1).DoubleLE(xs[i]).DoubleLE(ys[i]);
        shx.Int32BE(50 + 14 * i).Int32BE(10);
    }
    EXPECT_EQ(Out("st.shp"), shp.String());
    EXPECT_EQ(Out("st.shx"), shx.String());

    const std::string dbf = Out("st.dbf");
    TExpectedBytes expected = DbfHeader(dbf, 4,
                                        {{"NAME", 'C', 20, 0},
                                         {"CODE", 'N', 16, 0},
                                         {"LINES", 'N', 16, 0},
                                         {"HEIGHT", 'N', 16, 6},
                                         {"RATIO", 'N', 16, 6},
                                         {"OPENED", 'D', 8, 0},
                                         {"STAFFED", 'L', 1, 0}});
    auto row = [&](const std::string& name, const char* code, const char* lines, const char* height,
                   const char* ratio, const char* date, const char* ok) {
        expected.Byte(' ').Left(name, 20).Right(code, 16).Right(lines, 16);
        expected.Right(height, 16).Right(ratio, 16).Left(date, 8).Left(ok, 1);
    };
    row(kTokyoStation, "1001", "10", "3.500000", "0.250000", "20050123", "T");
    row(kShinOsaka, "1002", "8", "5.250000", "1.500000", "20050124", "F");
    row(kNagoyaStation, "1003", "6", "12.000000", "-0.750000", "19981231", "T");
    row(kHakata, "1004", "4", "-2.100000", "100.000000", "", "F");
    expected.Byte(0x1A);
    EXPECT_EQ(dbf, expected.String());
}

TEST_F(ConvertSamples, PolylinesLinesSectionsAndArcs) {
    ASSERT_TRUE(Convert(ctPolyLine, Sample("roads.mif"), "rd.shp"));
    EXPECT_EQ(report.RecordsWritten, 5);

    const std::string shx = Out("rd.shx");
    TExpectedBytes entries;
    const std::int32_t offsets[] = {50, 94, 146, 216, 964};
    const std::int32_t lengths[] = {40, 48, 66, 744, 744};
    for (int i = 0; i < 5; ++i) {
        entries.Int32BE(offsets[i]).Int32BE(lengths[i]);
    }
    ASSERT_EQ(shx.size(), 140u);
    EXPECT_EQ(shx.substr(100), entries.String());

    // The first three records are plain lines whose every byte follows from the source.
    TExpectedBytes records;
    records.Int32BE(1).Int32BE(40).Int32LE(3).DoubleLE(0).DoubleLE(0).DoubleLE(10).DoubleLE(10);
    records.Int32LE(1).Int32LE(2).Int32LE(0).DoubleLE(0).DoubleLE(0).DoubleLE(10).DoubleLE(10);
    records.Int32BE(2).Int32BE(48).Int32LE(3).DoubleLE(0).DoubleLE(0).DoubleLE(10).DoubleLE(5);
    records.Int32LE(1).Int32LE(3).Int32LE(0);
    records.DoubleLE(0).DoubleLE(0).DoubleLE(5).DoubleLE(5).DoubleLE(10).DoubleLE(0);
    records.Int32BE(3).Int32BE(66).Int32LE(3).DoubleLE(0).DoubleLE(0).DoubleLE(4).DoubleLE(3);
    records.Int32LE(2).Int32LE(5).Int32LE(0).Int32LE(2);
    for (const auto& [x, y] :
         std::vector<std::pair<double, double>>{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 2}}) {
        records.DoubleLE(x).DoubleLE(y);
    }
    const std::string shp = Out("rd.shp");
    ASSERT_EQ(shp.size(), 3424u);
    EXPECT_EQ(shp.substr(100, records.Size()), records.String());

    // Both arcs (angles on the keyword line and on the next line) give the same record
    // but for the record number.
    EXPECT_EQ(shp.substr(432 + 8, 1488), shp.substr(432 + 1496 + 8, 1488));

    TExpectedBytes dbf =
        DbfHeader(Out("rd.dbf"), 5, {{"ROUTE", 'C', 10, 0}, {"LANES", 'N', 16, 0}});
    dbf.Byte(' ').Left("\x8d\x91\x93\xb9\x31\x8d\x86", 10).Right("4", 16);  // 国道1号
    dbf.Byte(' ').Left("\x8c\xa7\x93\xb9", 10).Right("2", 16);              // 県道
    dbf.Byte(' ').Left("\x97\xd1\x93\xb9", 10).Right("1", 16);              // 林道
    dbf.Byte(' ').Left("\x8a\xc2\x8f\xf3", 10).Right("2", 16);              // 環状
    dbf.Byte(' ').Left("\x8a\xc2\x8f\xf3", 10).Right("2", 16);
    dbf.Byte(0x1A);
    EXPECT_EQ(Out("rd.dbf"), dbf.String());
}

TEST_F(ConvertSamples, PolygonsAreClosedAndOrientedHolesIncluded) {
    ASSERT_TRUE(Convert(ctPolygon, Sample("parcels.mif"), "pc.shp"));
    EXPECT_EQ(report.RecordsWritten, 6);

    TExpectedBytes shx;
    shx.ShapeHeader(74, 5, 0, 0, 31, 10);
    const std::int32_t offsets[] = {50, 118, 228, 322, 390, 458};
    const std::int32_t lengths[] = {64, 106, 90, 64, 64, 2912};
    for (int i = 0; i < 6; ++i) {
        shx.Int32BE(offsets[i]).Int32BE(lengths[i]);
    }
    EXPECT_EQ(Out("pc.shx"), shx.String());

    using Ring = std::vector<std::pair<double, double>>;
    TExpectedBytes records;
    auto polygon = [&records](int number, int length, std::array<double, 4> box,
                              const std::vector<Ring>& rings) {
        int points = 0;
        for (const auto& r : rings) {
            points += static_cast<int>(r.size());
        }
        records.Int32BE(number).Int32BE(length).Int32LE(5);
        records.DoubleLE(box[0]).DoubleLE(box[1]).DoubleLE(box[2]).DoubleLE(box[3]);
        records.Int32LE(static_cast<std::int32_t>(rings.size())).Int32LE(points);
        int first = 0;
        for (const auto& r : rings) {
            records.Int32LE(first);
            first += static_cast<int>(r.size());
        }
        for (const auto& r : rings) {
            for (const auto& [x, y] : r) {
                records.DoubleLE(x).DoubleLE(y);
            }
        }
    };
    // A clockwise square gains only its closing point.
    polygon(1, 64, {0, 0, 10, 10}, {{{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}}});
    // The counter-clockwise outer ring turns clockwise; the clockwise hole turns
    // counter-clockwise and is closed.
    polygon(
        2, 106, {0, 0, 10, 10},
        {{{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}}, {{2, 2}, {4, 2}, {4, 4}, {2, 4}, {2, 2}}});
    // Two separate islands both run clockwise.
    polygon(3, 90, {20, 0, 31, 1},
            {{{20, 0}, {20, 1}, {21, 0}, {20, 0}}, {{30, 0}, {30, 1}, {31, 0}, {30, 0}}});
    polygon(4, 64, {0, 0, 10, 5}, {{{0, 5}, {10, 5}, {10, 0}, {0, 0}, {0, 5}}});
    polygon(5, 64, {1, 1, 3, 2}, {{{1, 2}, {3, 2}, {3, 1}, {1, 1}, {1, 2}}});
    const std::string shp = Out("pc.shp");
    ASSERT_EQ(shp.size(), 6748u);
    EXPECT_EQ(shp.substr(100, records.Size()), records.String());

    TExpectedBytes dbf = DbfHeader(
        Out("pc.dbf"), 6, {{"OWNER", 'C', 16, 0}, {"AREA", 'N', 16, 6}, {"SURVEYED", 'D', 8, 0}});
    auto row = [&dbf](const std::string& owner, const char* area, const char* date) {
        dbf.Byte(' ').Left(owner, 16).Right(area, 16).Left(date, 8);
    };
    row("\x8e\x52\x93\x63\x20\x91\xbe\x98\x59", "100.000000", "20010401");  // 山田 太郎
    row("\x97\xe9\x96\xd8", "84.000000", "20020315");                       // 鈴木
    row("\x8d\xb2\x93\xa1", "1.000000", "");                                // 佐藤
    row("\x8b\xe6\x89\xe6\x41", "50.000000", "20101010");                   // 区画A
    row("\x8b\xe6\x89\xe6\x42", "2.000000", "");                            // 区画B
    row("\x92\x72", "3.141590", "");                                        // 池
    dbf.Byte(0x1A);
    EXPECT_EQ(Out("pc.dbf"), dbf.String());
}

const std::string kTokyoTo = "\x93\x8c\x8b\x9e\x93\x73";  // 東京都
const std::string kOsakaText =
    "\x91\xe5\x8d\xe3\x2c\x20\x95\x7b\x20\x20\x92\x86\x89\x9b";  // 大阪, 府  中央
const std::string kMinato = "\x8d\x60";                          // 港

TExpectedBytes TextTable(const std::string& actual) {
    TExpectedBytes dbf = DbfHeader(actual, 3, {{"MIF_TEXT", 'C', 100, 0}});
    for (const auto& text : {kTokyoTo, kOsakaText, kMinato}) {
        dbf.Byte(' ').Left(text, 100);
    }
    dbf.Byte(0x1A);
    return dbf;
}

TEST_F(ConvertSamples, TextsAsPointsKeepTheWholeText) {
    ASSERT_TRUE(Convert(ctTextAsPoint, Sample("labels.mif"), "tp.shp"));
    TExpectedBytes shp;
    shp.ShapeHeader(92, 1, 135, 34, 140, 36);
    TExpectedBytes shx;
    shx.ShapeHeader(62, 1, 135, 34, 140, 36);
    const double pts[3][2] = {{139, 35}, {135, 34}, {140, 36}};
    for (int i = 0; i < 3; ++i) {
        shp.Int32BE(i + 1).Int32BE(10).Int32LE(1).DoubleLE(pts[i][0]).DoubleLE(pts[i][1]);
        shx.Int32BE(50 + 14 * i).Int32BE(10);
    }
    EXPECT_EQ(Out("tp.shp"), shp.String());
    EXPECT_EQ(Out("tp.shx"), shx.String());
    EXPECT_EQ(Out("tp.dbf"), TextTable(Out("tp.dbf")).String());
}

TEST_F(ConvertSamples, TextsAsLinesRunCornerToCorner) {
    ASSERT_TRUE(Convert(ctTextAsLine, Sample("labels.mif"), "tl.shp"));
    TExpectedBytes shp;
    shp.ShapeHeader(182, 3, 135, 34, 140.25, 36.5);
    TExpectedBytes shx;
    shx.ShapeHeader(62, 3, 135, 34, 140.25, 36.5);
    const double lines[3][4] = {
        {139, 35, 139.5, 35.2}, {135, 34, 135.4, 34.3}, {140, 36, 140.25, 36.5}};
    for (int i = 0; i < 3; ++i) {
        const auto& l = lines[i];
        shp.Int32BE(i + 1).Int32BE(40).Int32LE(3);
        shp.DoubleLE(l[0]).DoubleLE(l[1]).DoubleLE(l[2]).DoubleLE(l[3]);
        shp.Int32LE(1).Int32LE(2).Int32LE(0).DoubleLE(l[0]).DoubleLE(l[1]).DoubleLE(l[2]).DoubleLE(
            l[3]);
        shx.Int32BE(50 + 44 * i).Int32BE(40);
    }
    EXPECT_EQ(Out("tl.shp"), shp.String());
    EXPECT_EQ(Out("tl.shx"), shx.String());
    EXPECT_EQ(Out("tl.dbf"), TextTable(Out("tl.dbf")).String());
}

// --- Behaviour around the objects: skipping, failing, overwriting, protecting sources.

class ConvertCases : public ::testing::Test {
  protected:
    TempDir dir;
    TTableOwner owner;
    TConversionReport report;

    // Writes name.mif with a minimal header, the given columns and data lines, and name.mid.
    std::string Source(const std::string& name, const std::string& columns, const std::string& data,
                       const std::string& mid) {
        WriteFileBytes(dir.Path(name + ".mif"),
                       "Version 300\r\nCharset \"WindowsJapanese\"\r\nDelimiter \",\"\r\n"
                       "CoordSys Earth Projection 1, 0\r\n" +
                           columns + "Data\r\n" + data);
        WriteFileBytes(dir.Path(name + ".mid"), mid);
        return dir.Path(name + ".mif");
    }
    bool Convert(int type, const std::string& mif, const std::string& shp,
                 IStatusSink* status = nullptr, std::function<void()> pump = {}) {
        TConversionHooks hooks;
        hooks.Owner = &owner;
        hooks.Report = &report;
        hooks.Status = status;
        hooks.ProcessMessages = std::move(pump);
        hooks.KeepPartial = true;  // what a failed conversion wrote, kept to be looked at
        return ConvertMifToShp(type, mif, shp, hooks);
    }
};

TEST_F(ConvertCases, ADataSectionWithoutObjectsGivesEmptyValidFiles) {
    const auto mif = Source("none", "Columns 1\r\n  N Integer\r\n", "\r\n", "");
    ASSERT_TRUE(Convert(ctPolygon, mif, dir.Path("none.shp")));
    EXPECT_EQ(report.Outcome, TConversionOutcome::Written);
    TExpectedBytes header;
    header.ShapeHeader(50, 5, 0, 0, 0, 0);
    EXPECT_EQ(ReadFileBytes(dir.Path("none.shp")), header.String());
    EXPECT_EQ(ReadFileBytes(dir.Path("none.shx")), header.String());
    const std::string dbf = ReadFileBytes(dir.Path("none.dbf"));
    EXPECT_EQ(dbf.size(), 32u * 1 + 34);
    EXPECT_EQ(dbf[4], 0);
}

TEST_F(ConvertCases, TenthObjectFailingLeavesNineRecordsAndPlaceholderHeaders) {
    std::string data;
    std::string mid;
    for (int i = 1; i <= 9; ++i) {
        data += "Point " + std::to_string(i) + " " + std::to_string(i * 2) + "\r\n";
        mid += std::to_string(i) + "\r\n";
    }
    data += "Point 10 1O\r\nPoint 11 22\r\n";
    mid += "10\r\n11\r\n";
    const auto mif = Source("bad", "Columns 1\r\n  N Integer\r\n", data, mid);
    const auto shp = dir.Path("bad.shp");
    EXPECT_FALSE(Convert(ctPoint, mif, shp));
    EXPECT_EQ(report.FailedLine, 4 + 3 + 10);  // header, Columns..Data, the 10th point
    EXPECT_NE(report.ErrorText.find("1O"), std::string::npos) << report.ErrorText;

    TExpectedBytes placeholder;
    placeholder.ShapeHeader(0, 1, 0, 0, 0, 0);
    const std::string shpBytes = ReadFileBytes(shp);
    ASSERT_EQ(shpBytes.size(), 100u + 9 * 28);
    EXPECT_EQ(shpBytes.substr(0, 100), placeholder.String());
    EXPECT_EQ(ReadFileBytes(dir.Path("bad.shx")).size(), 100u + 9 * 8);

    // The table was closed by the failure, so it can be reopened and shows nine rows.
    TLocalDbf check;
    check.SetTableName(dir.Path("bad.dbf"));
    check.Open();
    EXPECT_EQ(check.RecordCount(), 9);
    check.Close();

    // And the same target can be written again at once.
    const auto good = Source("good", "Columns 1\r\n  N Integer\r\n", "Point 1 2\r\n", "1\r\n");
    EXPECT_TRUE(Convert(ctPoint, good, shp));
    EXPECT_EQ(ReadFileBytes(shp).size(), 128u);
}

TEST_F(ConvertCases, ConvertingTwiceReplacesTheTargetWithIdenticalFiles) {
    const auto shp = dir.Path("twice.shp");
    ASSERT_TRUE(Convert(ctPolygon, Sample("parcels.mif"), shp));
    const auto first = ReadFileBytes(shp) + ReadFileBytes(dir.Path("twice.shx")) +
                       ReadFileBytes(dir.Path("twice.dbf"));
    ASSERT_TRUE(Convert(ctPolygon, Sample("parcels.mif"), shp));
    EXPECT_EQ(ReadFileBytes(shp) + ReadFileBytes(dir.Path("twice.shx")) +
                  ReadFileBytes(dir.Path("twice.dbf")),
              first);
}

TEST_F(ConvertCases, AMissingSourceAnswersFalseAndTouchesNothing) {
    const auto shp = dir.Path("out.shp");
    EXPECT_FALSE(Convert(ctPoint, dir.Path("absent.mif"), shp));
    EXPECT_FALSE(fs::exists(shp));
    EXPECT_FALSE(fs::exists(dir.Path("out.shx")));
    EXPECT_FALSE(fs::exists(dir.Path("out.dbf")));
}

TEST_F(ConvertCases, RefusesTargetsThatAreTheSourcesThemselves) {
    const auto mif = Source("src", "", "Point 1 2\r\n", "\r\n");
    const auto mifBefore = ReadFileBytes(mif);
    const auto midBefore = ReadFileBytes(dir.Path("src.mid"));
    EXPECT_FALSE(Convert(ctPoint, mif, mif));                  // .shp is the .mif
    EXPECT_FALSE(Convert(ctPoint, mif, dir.Path("src.mid")));  // .shp is the .mid
    // A target whose .dbf or .shx names the source by another spelling is refused too.
    fs::create_directory(dir.Path("sub"));
    EXPECT_FALSE(Convert(ctPoint, dir.Path("sub/../src.mif"), dir.Path("src.mif")));
    EXPECT_EQ(ReadFileBytes(mif), mifBefore);
    EXPECT_EQ(ReadFileBytes(dir.Path("src.mid")), midBefore);
}

TEST_F(ConvertCases, ColumnsDifferingOnlyInCaseOrRepeatedAfterRenamingStillConvert) {
    // Name/NAME become Name, NA~1; ID, ID, ~1 become ID, ~3, ~1.
    const auto mif = Source("names",
                            "Columns 5\r\n  Name Char(3)\r\n  NAME Char(3)\r\n  ID Integer\r\n"
                            "  ID Integer\r\n  ~1 Integer\r\n",
                            "Point 1 2\r\n", "a,b,1,2,3\r\n");
    ASSERT_TRUE(Convert(ctPoint, mif, dir.Path("names.shp"))) << report.ErrorText;
    TLocalDbf table;
    table.SetTableName(dir.Path("names.dbf"));
    table.Open();
    ASSERT_EQ(table.FieldCount(), 5);
    EXPECT_EQ(table.Fields(1).FieldName(), "NA~1");
    EXPECT_EQ(table.Fields(4).FieldName(), "~1");
    table.First();
    EXPECT_EQ(table.Fields(4).AsString(), "3");
}

TEST_F(ConvertCases, Utf8SourcesAreCutOnUtf8CharacterBoundaries) {
    // Поле_Длина, Поле_Ширина and 東京都の区市町村, all longer than a field name.
    WriteFileBytes(dir.Path("utf8.mif"),
                   "Version 300\r\nCharset \"UTF-8\"\r\nDelimiter \",\"\r\nCoordSys Earth "
                   "Projection 1, 104\r\nColumns 3\r\n  Поле_Длина Char(5)\r\n"
                   "  Поле_Ширина Char(3)\r\n  東京都の区市町村 Char(4)\r\nData\r\nPoint 1 2\r\n");
    WriteFileBytes(dir.Path("utf8.mid"), "\"Москва\",\"東京\",\"日本\"\r\n");
    // The field layer's way of setting a value, and the fast one, cut alike.
    for (const bool plain : {false, true}) {
        const auto shp = dir.Path(plain ? "plain.shp" : "fast.shp");
        TConversionHooks hooks;
        hooks.Owner = &owner;
        if (plain) {
            hooks.PlainRowWriter = [](TLocalDbf& table, std::string_view row) {
                table.Append();
                for (int i = 0; i < table.FieldCount(); ++i) {
                    table.Fields(i).SetAsString(Dequote(SplitString(row, i + 1, ','), '"'));
                }
                table.Post();
            };
        }
        ASSERT_TRUE(ConvertMifToShp(ctPoint, dir.Path("utf8.mif"), shp, hooks));
        const std::string dbf = ReadFileBytes(ChangeFileExt(shp, ".dbf"));
        EXPECT_EQ(dbf.substr(32, 10), std::string("Поле_") + '\0') << plain;
        EXPECT_EQ(dbf.substr(64, 10), std::string("Пол~1") + std::string(2, '\0'));
        EXPECT_EQ(dbf.substr(96, 10), std::string("東京都") + '\0');
        EXPECT_EQ(dbf.substr(32 * 4 + 1), std::string(" Мо ") + "東" + "日 " + "\x1a") << plain;
        EXPECT_EQ(ReadFileBytes(ChangeFileExt(shp, ".cpg")), "UTF-8");
    }
}

TEST_F(ConvertCases, WritesCodePageAndPrjAndRemovesOnesThatNoLongerApply) {
    const auto shp = dir.Path("side.shp");
    ASSERT_TRUE(Convert(ctPoint, Sample("stations.mif"), shp));
    EXPECT_EQ(ReadFileBytes(dir.Path("side.cpg")), "932");
    EXPECT_EQ(ReadFileBytes(dir.Path("side.prj")).rfind("GEOGCS[\"GCS_WGS_1984\",", 0), 0u);
    EXPECT_EQ(report.CoordSys.Declared, "GCS_WGS_1984 (EPSG:4326)");
    EXPECT_EQ(report.CoordSys.Path, dir.Path("side.prj"));

    // A source that says nothing the files could hold leaves none behind.
    WriteFileBytes(dir.Path("plane.mif"),
                   "Version 300\r\nCharset \"MacRoman\"\r\nCoordSys NonEarth Units \"m\"\r\n"
                   "Columns 0\r\nData\r\n");
    WriteFileBytes(dir.Path("plane.mid"), "");
    ASSERT_TRUE(Convert(ctPoint, dir.Path("plane.mif"), shp));
    EXPECT_FALSE(fs::exists(dir.Path("side.cpg")));
    EXPECT_FALSE(fs::exists(dir.Path("side.prj")));
    EXPECT_EQ(report.CodePage.Path, "");
    EXPECT_NE(report.CodePage.Reason.find("MacRoman"), std::string::npos);
    EXPECT_NE(report.CoordSys.Reason.find("NonEarth"), std::string::npos);

    // A .prj that cannot be written fails the conversion, naming the file.
    fs::create_directory(dir.Path("side.prj"));
    EXPECT_FALSE(Convert(ctPoint, Sample("stations.mif"), shp));
    EXPECT_NE(report.ErrorText.find(dir.Path("side.prj")), std::string::npos) << report.ErrorText;
}

class RecordingStatus : public IStatusSink {
  public:
    void SetStatusText(std::string_view text) override { texts.emplace_back(text); }
    std::vector<std::string> texts;
};

TEST_F(ConvertCases, ReportsStatusTextsInOrderAndPumpsMessagesOnce) {
    const auto mif = Source("st", "", "Point 1 2\r\n", "\r\n");
    RecordingStatus status;
    int pumps = 0;
    ASSERT_TRUE(Convert(ctPoint, mif, dir.Path("st.shp"), &status, [&pumps] { ++pumps; }));
    EXPECT_EQ(pumps, 1);
    const std::vector<std::string> expected = {"",
                                               "変換の準備をしています。",
                                               "",
                                               mif + "を変換しています。",
                                               "変換の後処理をしています。",
                                               ""};
    EXPECT_EQ(status.texts, expected);
}

TEST_F(ConvertCases, ShortMidGivesBlankRowsAndUnknownObjectsTakeNoMidLine) {
    const auto mif =
        Source("short", "Columns 1\r\n  NAME Char(4)\r\n",
               "Point 1 1\r\nCurve 2\r\nPoint 2 2\r\nPoint 3 3\r\n", "\"a\"\r\n\"b\"\r\n");
    ASSERT_TRUE(Convert(ctPoint, mif, dir.Path("short.shp")));
    const std::string dbf = ReadFileBytes(dir.Path("short.dbf"));
    EXPECT_EQ(dbf.substr(65), std::string(" a   ") + " b   " + "     " + "\x1a");
}

// Found by fuzzing: the keyword of a line whose first word is quoted with doubled quotes
// inside was read after the text it lay in had gone. Such lines are no objects; the objects
// around them keep their rows.
TEST_F(ConvertCases, QuotedFirstWordsWithDoubledQuotesArePassedOver) {
    const auto mif =
        Source("quoted", "Columns 1\r\n  NAME Char(4)\r\n",
               "Point 1 1\r\n\"b\"\"\r\n\"a long first word with \"\"quotes\"\" in it\" 5"
               "\r\n\"POINT\" 2 2\r\n",
               "\"a\"\r\n\"b\"\r\n");
    ASSERT_TRUE(Convert(ctPoint, mif, dir.Path("quoted.shp")));
    EXPECT_EQ(report.RecordsWritten, 2);
    EXPECT_EQ(ReadFileBytes(dir.Path("quoted.dbf")).substr(65), " a    b   \x1a");
}

}  // namespace
}  // namespace varnelo

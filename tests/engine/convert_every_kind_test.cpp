// SPDX-License-Identifier: MIT
// Every kind of object of a source in one pass, each kind into a shapefile of its own: the
// files a conversion of that kind alone writes, only for the kinds the source holds, and the
// whole set replaced at once.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/folder_files.hpp"
#include "../support/temp_dir.hpp"
#include "engine/convert.hpp"

namespace varnelo {
namespace {

using testing::FolderFiles;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

const std::string kHeader =
    "Version 300\r\nCharset \"WindowsJapanese\"\r\nDelimiter \",\"\r\n"
    "CoordSys Earth Projection 1, 104\r\nColumns 2\r\n  NAME Char(10)\r\n  N Integer\r\nData\r\n";
// Every kind, a collection with a region and a polyline, and a multipoint no conversion takes:
// 10 objects, 10 rows.
const std::string kMixed =
    "Point 1 2\r\nLine 0 0 1 1\r\nRegion 1\r\n 4\r\n0 0\r\n0 1\r\n1 1\r\n0 0\r\n"
    "Text \"a, b\"\r\n 0 0 1 1\r\nMultipoint 1\r\n2 2\r\nPline 3\r\n0 0\r\n1 0\r\n1 1\r\n"
    "Collection 2\r\n Region 1\r\n 3\r\n0 0\r\n5 5\r\n5 0\r\n Pline 2\r\n0 0\r\n2 2\r\n"
    "Ellipse 0 0 4 2\r\nArc 0 0 2 2\r\n 0 90\r\nPoint 3 4\r\n";

class EveryKind : public ::testing::Test {
  protected:
    // src.mif with the objects given and one row per object.
    std::string Source(const std::string& data, int rows) {
        std::string mid;
        for (int i = 1; i <= rows; ++i) {
            // Appended piece by piece: GCC 12 at -O3 misjudges "a" + b.
            mid.append("r").append(std::to_string(i)).append(",");
            mid.append(std::to_string(i)).append("\r\n");
        }
        WriteFileBytes(src.Path("src.mif"), kHeader + data);
        WriteFileBytes(src.Path("src.mid"), mid);
        return src.Path("src.mif");
    }
    bool ConvertAll(const std::string& mif) {
        report = {};
        TConversionHooks hooks;
        hooks.Report = &report;
        return ConvertMifToShapefiles(mif, EveryKindTargets(out.Path("m")), hooks);
    }

    TempDir src;
    TempDir out;
    TConversionReport report;
};

TEST_F(EveryKind, WritesForEachKindWhatAConversionOfThatKindAloneWrites) {
    const std::string mif = Source(kMixed, 10);
    ASSERT_TRUE(ConvertAll(mif)) << report.ErrorText;
    const struct {
        const char* name;
        int type;
        std::int64_t records;
    } kinds[] = {{"m_point", ctPoint, 2},
                 {"m_line", ctPolyLine, 4},
                 {"m_polygon", ctPolygon, 3},
                 {"m_text", ctTextAsPoint, 1}};
    ASSERT_EQ(report.Targets.size(), 4u);
    EXPECT_EQ(report.RecordsWritten, 10);
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& kind = kinds[i];
        EXPECT_EQ(report.Targets[i].ShpPath, out.Path(std::string(kind.name) + ".shp"));
        EXPECT_EQ(report.Targets[i].RecordsWritten, kind.records) << kind.name;
        EXPECT_TRUE(report.Targets[i].Written) << kind.name;
        TempDir one;
        ASSERT_TRUE(ConvertMifToShp(kind.type, mif, one.Path(kind.name) + ".shp"));
        for (const std::string_view ext : kShapefileSetExtensions) {
            const std::string file = kind.name + std::string(ext);
            EXPECT_EQ(ReadFileBytes(out.Path(file)), ReadFileBytes(one.Path(file))) << file;
        }
    }
    EXPECT_EQ(FolderFiles(out.Path()).size(), 4 * kShapefileSetExtensions.size());
}

TEST_F(EveryKind, WritesOnlyTheKindsTheSourceHoldsAndReplacesTheWholeSetAtOnce) {
    ASSERT_TRUE(ConvertAll(Source(kMixed, 10))) << report.ErrorText;
    const auto mixed = FolderFiles(out.Path());

    // A failure part-way leaves every previous set as it was.
    ASSERT_FALSE(ConvertAll(Source("Point 1 2\r\nText \"t\"\r\n 0 0 1 1\r\nLine 0 0 x 1\r\n", 3)));
    EXPECT_EQ(report.FailedLine, 12);
    EXPECT_EQ(FolderFiles(out.Path()), mixed);

    // Points alone: the other kinds' previous files go, so that none speaks for this source.
    ASSERT_TRUE(ConvertAll(Source("Point 1 2\r\nMultipoint 1\r\n2 2\r\nPoint 3 4\r\n", 3)));
    EXPECT_EQ(report.RecordsWritten, 2);
    std::vector<bool> written;
    for (const TTargetOutcome& target : report.Targets) {
        written.push_back(target.Written);
    }
    EXPECT_EQ(written, (std::vector<bool>{true, false, false, false}));
    const auto points = FolderFiles(out.Path());
    EXPECT_EQ(points.size(), kShapefileSetExtensions.size());
    EXPECT_EQ(points.at("m_point.dbf").substr(points.at("m_point.dbf").size() - 28 + 1, 2), "r3");
    EXPECT_EQ(report.CodePage.Path, out.Path("m_point.cpg"));

    // No target gets a record: nothing to write, and the previous files stay.
    ASSERT_TRUE(ConvertAll(Source("Multipoint 1\r\n2 2\r\n", 1)));
    EXPECT_EQ(report.Outcome, TConversionOutcome::NothingToWrite);
    EXPECT_EQ(FolderFiles(out.Path()), points);
    EXPECT_TRUE(report.CodePage.Path.empty());
}

TEST(EveryKindTargets, AreNamedAfterTheTargetWithoutItsShpExtension) {
    const auto first = [](std::string_view target) { return EveryKindTargets(target)[0].ShpPath; };
    EXPECT_EQ(first("d/m"), "d/m_point.shp");
    EXPECT_EQ(first("d/m.SHP"), "d/m_point.shp");
    EXPECT_EQ(first("d/m.v2"), "d/m.v2_point.shp");
    EXPECT_EQ(first("d/.shp"), "d/.shp_point.shp");
    std::vector<std::string> names;
    for (const TShapefileTarget& target : EveryKindTargets("m")) {
        names.push_back(std::to_string(target.ConversionType) + target.ShpPath);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"0m_point.shp", "1m_line.shp", "2m_polygon.shp",
                                               "3m_text.shp"}));
}

}  // namespace
}  // namespace varnelo

// SPDX-License-Identifier: MIT
// What a conversion leaves at its target when it fails or is stopped part-way, and what it
// reports of its sources: the previous files byte for byte, no temporary file, the reason.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>

#include "../support/folder_files.hpp"
#include "../support/stopping_stream.hpp"
#include "../support/temp_dir.hpp"
#include "engine/convert.hpp"

namespace varnelo {
namespace {

using testing::FolderFiles;
using testing::StopWhenShpExceeds;
using testing::TempDir;
using testing::WriteFileBytes;

class ConvertReplace : public ::testing::Test {
  protected:
    // Points at x = 1, 2, ... with the rows given; `bad` puts a word in place of the third
    // point's y.
    std::string Points(const std::string& name, int count, bool bad = false) {
        std::string mif = "Version 300\r\nColumns 1\r\n  N Integer\r\nData\r\n";
        std::string mid;
        for (int i = 1; i <= count; ++i) {
            mif += "Point " + std::to_string(i) + (bad && i == 3 ? " five" : " 0") + "\r\n";
            mid += std::to_string(i) + "\r\n";
        }
        WriteFileBytes(src.Path(name + ".mif"), mif);
        WriteFileBytes(src.Path(name + ".mid"), mid);
        return src.Path(name + ".mif");
    }

    TempDir src;
    TempDir out;
    std::string target = out.Path("t.shp");
};

TEST_F(ConvertReplace, AFailureOrAStopPartWayLeavesThePreviousFilesAndNoTemporaryOne) {
    ASSERT_TRUE(ConvertMifToShp(ctPoint, Points("good", 2), target));
    const auto before = FolderFiles(out.Path(""));
    ASSERT_EQ(before.size(), 4u);  // .shp, .shx, .dbf, .cpg

    TConversionReport failed;
    TConversionHooks hooks;
    hooks.Report = &failed;
    EXPECT_FALSE(ConvertMifToShp(ctPoint, Points("bad", 5, true), target, hooks));
    EXPECT_EQ(failed.FailedLine, 7);
    EXPECT_EQ(failed.RecordsWritten, 2);
    EXPECT_EQ(FolderFiles(out.Path("")), before);

    std::atomic<bool> stop = false;
    TConversionReport stopped;
    hooks.Report = &stopped;
    hooks.Cancel = &stop;
    hooks.KeepPartial = true;  // never after a stop
    hooks.CreateOutput = StopWhenShpExceeds(stop, 100);  // once the first record is written
    EXPECT_FALSE(ConvertMifToShp(ctPoint, Points("many", 50), target, hooks));
    EXPECT_TRUE(stopped.Cancelled);
    EXPECT_EQ(stopped.ErrorText, kCancelledText);
    EXPECT_EQ(stopped.RecordsWritten, 1);  // stopped before the next object
    EXPECT_EQ(FolderFiles(out.Path("")), before);
}

TEST_F(ConvertReplace, SaysWhichSourceIsMissingAndCountsTheKindsOfObjectItMet) {
    TConversionReport report;
    TConversionHooks hooks;
    hooks.Report = &report;
    EXPECT_FALSE(ConvertMifToShp(ctPoint, src.Path("none.mif"), target, hooks));
    EXPECT_EQ(report.MissingSource, src.Path("none.mif"));
    EXPECT_NE(report.ErrorText.find("が見つかりません"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(out.Path("")));
    // A missing .mid is no missing source: the values it would give are left empty.
    report = {};
    const std::string mif = Points("nomid", 1);
    std::filesystem::remove(src.Path("nomid.mid"));
    EXPECT_TRUE(ConvertMifToShp(ctPoint, mif, target, hooks));
    EXPECT_TRUE(report.MissingSource.empty());
    EXPECT_TRUE(report.MidMissing);

    // Converted as polygons: no polygon, but what there is, by the conversions taking it.
    WriteFileBytes(src.Path("mixed.mif"),
                   "Version 300\r\nData\r\nPoint 1 2\r\nPoint 3 4\r\nLine 0 0 1 1\r\n"
                   "Text \"a\"\r\n 0 0 1 1\r\nMultipoint 1\r\n1 1\r\nCollection 2\r\n"
                   "Pline 2\r\n0 0\r\n1 1\r\nMultipoint 1\r\n2 2\r\n");
    WriteFileBytes(src.Path("mixed.mid"), "");
    report = {};
    EXPECT_TRUE(ConvertMifToShp(ctPolygon, src.Path("mixed.mif"), target, hooks));
    EXPECT_EQ(report.RecordsWritten, 0);
    EXPECT_EQ(report.Objects.Points, 2);
    EXPECT_EQ(report.Objects.PolyLines, 2);  // the line and the collection's polyline
    EXPECT_EQ(report.Objects.Polygons, 0);
    EXPECT_EQ(report.Objects.Texts, 1);
}

}  // namespace
}  // namespace varnelo

// SPDX-License-Identifier: MIT
// What a conversion leaves at its target when it fails or is stopped part-way, and what it
// reports of its sources: the previous files byte for byte, no temporary file, the reason.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "../support/folder_files.hpp"
#include "../support/held_open.hpp"
#include "../support/stopping_stream.hpp"
#include "../support/temp_dir.hpp"
#include "engine/convert.hpp"
#include "engine/file_names.hpp"
#include "engine/safe_replace.hpp"
#include "os/catalog.hpp"
#include "os/file_system.hpp"
#include "shape/errors.hpp"

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
    hooks.KeepPartial = true;                            // never after a stop
    hooks.CreateOutput = StopWhenShpExceeds(stop, 100);  // once the first record is written
    EXPECT_FALSE(ConvertMifToShp(ctPoint, Points("many", 50), target, hooks));
    EXPECT_TRUE(stopped.Cancelled);
    EXPECT_EQ(stopped.ErrorText, Text(TText::kEngineCancelled));
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

TEST_F(ConvertReplace, ATableHeldOpenWithoutDeleteSharingLeavesThePreviousSetWhole) {
    ASSERT_TRUE(ConvertMifToShp(ctPoint, Points("good", 2), target));
    const auto before = FolderFiles(out.Path(""));
    testing::THeldOpen held(out.Path("t.dbf"));
    if (!held.Held()) {
        GTEST_SKIP() << "a file open elsewhere may be renamed over on this system";
    }
    TConversionReport report;
    TConversionHooks hooks;
    hooks.Report = &report;
    EXPECT_FALSE(ConvertMifToShp(ctPoint, Points("more", 5), target, hooks));
    EXPECT_NE(report.ErrorText.find("t.dbf"), std::string::npos) << report.ErrorText;
    EXPECT_EQ(FolderFiles(out.Path("")), before);
}

// Two targets whose previous and new sets differ in their kinds of file: "a" gains a .prj,
// "b" trades its .prj for a .cpg. Each commit either fails at the one step made to fail or
// not at all; the folder then holds the whole previous sets or the whole new ones, and no
// other file.
class ReplaceSteps : public ::testing::Test {
  protected:
    using TFolder = std::map<std::string, std::string>;

    // Runs one commit, the `failAt`-th rename or flush (counted from 0) failing when given;
    // answers whether it raised, and counts the steps taken.
    bool Commit(std::optional<int> failRename, std::optional<int> failFlush) {
        std::filesystem::remove_all(out.Path(""));
        std::filesystem::create_directories(out.Path(""));
        for (const auto& [name, bytes] : previous) {
            WriteFileBytes(out.Path(name), bytes);
        }
        bool raised = false;
        {
            TSafeReplace replace({out.Path("a.shp"), out.Path("b.shp")});
            for (const auto& [name, bytes] : next) {
                const std::size_t index = name[0] == 'a' ? 0 : 1;
                const std::string ext = name.substr(1);
                WriteFileBytes(ShapefileSetPath(replace.TemporaryShp(index), ext), bytes);
            }
            renames = 0;
            flushes = 0;
            TReplaceSteps steps = SystemReplaceSteps();
            const TReplaceSteps system = steps;
            steps.Rename = [&](const std::string& from, const std::string& to) {
                return failRename == renames++ ? os::IsADirectoryError() : system.Rename(from, to);
            };
            steps.Flush = [&](const std::string& path) {
                return failFlush == flushes++ ? os::IsADirectoryError() : system.Flush(path);
            };
            try {
                replace.Commit(steps);
            } catch (const EInOutError&) {
                raised = true;
            }
        }
        return raised;
    }

    TempDir out;
    TFolder previous = {{"a.shp", "a1"}, {"a.shx", "a1x"}, {"a.dbf", "a1d"}, {"a.cpg", "a1c"},
                        {"b.shp", "b1"}, {"b.shx", "b1x"}, {"b.dbf", "b1d"}, {"b.prj", "b1p"}};
    TFolder next = {{"a.shp", "a2"},  {"a.shx", "a2x"}, {"a.dbf", "a2d"},
                    {"a.cpg", "a2c"}, {"a.prj", "a2p"}, {"b.shp", "b2"},
                    {"b.shx", "b2x"}, {"b.dbf", "b2d"}, {"b.cpg", "b2c"}};
    int renames = 0;
    int flushes = 0;
};

TEST_F(ReplaceSteps, AFailingRenameOrFlushLeavesTheWholePreviousSetsAndNoTemporaryFile) {
    ASSERT_FALSE(Commit(std::nullopt, std::nullopt));
    EXPECT_EQ(FolderFiles(out.Path("")), next);
    const int allRenames = renames;
    const int allFlushes = flushes;
    EXPECT_EQ(allFlushes, 9);  // every new file
    for (int k = 0; k < allRenames; ++k) {
        EXPECT_TRUE(Commit(k, std::nullopt)) << "rename " << k;
        EXPECT_EQ(FolderFiles(out.Path("")), previous) << "rename " << k;
    }
    for (int k = 0; k < allFlushes; ++k) {
        EXPECT_TRUE(Commit(std::nullopt, k)) << "flush " << k;
        EXPECT_EQ(renames, 0) << "flush " << k;
        EXPECT_EQ(FolderFiles(out.Path("")), previous) << "flush " << k;
    }
}

}  // namespace
}  // namespace varnelo

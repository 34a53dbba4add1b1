// SPDX-License-Identifier: MIT
// A folder made into batch entries: the types and targets each file's kinds give, subfolders
// and an output folder, files left out with their reasons, entries listed already, and cancel.
#include "app/folder_scan.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "../support/temp_dir.hpp"
#include "app/main_logic.hpp"
#include "engine/convert.hpp"
#include "fake_main_view.hpp"
#include "os/catalog.hpp"
#include "os/file_system.hpp"
#include "shape/errors.hpp"

namespace varnelo {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

constexpr std::string_view kHeader = "Version 300\r\nCharset \"WindowsJapanese\"\r\nColumns 1\r\n"
                                     "  Name Char(10)\r\nData\r\n";

struct TEntryText {
    int Type;
    std::string Mif;
    std::string Shp;
    bool operator==(const TEntryText&) const = default;
};

std::vector<TEntryText> Texts(const std::vector<TBatchEntry>& entries) {
    std::vector<TEntryText> texts;
    for (const TBatchEntry& entry : entries) {
        EXPECT_EQ(entry.TypeName, ConversionTypeName(entry.ConversionType));
        texts.push_back({entry.ConversionType, entry.MifFile, entry.ShpFile});
    }
    return texts;
}

class FolderScan : public ::testing::Test {
  protected:
    FolderScan() {
        const std::string kinds = "Point 1 2\r\nPline 2\r\n0 0\r\n1 1\r\nRegion 1\r\n3\r\n0 0\r\n"
                                  "1 0\r\n0 0\r\nText \"a\"\r\n0 0 1 1\r\n";
        WriteFileBytes(dir.Path("mix.mif"), std::string(kHeader) + kinds);
        WriteFileBytes(dir.Path("pts.mif"), std::string(kHeader) + "Point 1 2\r\nPoint 3 4\r\n");
        WriteFileBytes(dir.Path("empty.mif"), std::string(kHeader));
        WriteFileBytes(dir.Path("junk.mif"), "PK\x03\x04 some archive\n");
        WriteFileBytes(dir.Path("notes.txt"), std::string(kHeader) + "Point 1 2\r\n");
        os::CreateFolders(dir.Path("sub"));
        WriteFileBytes(dir.Path("sub/roads.MIF"), std::string(kHeader) + "Line 0 0 1 1\r\n");
    }

    std::string In(std::string_view folder, std::string_view name) const {
        return PathUnder(folder, name);
    }

    TempDir dir;
};

TEST_F(FolderScan, GivesAnEntryPerKindNamedAsEveryKindConversionsNameThem) {
    const TFolderScan scan = ScanFolder({dir.Path(), false, {}}, {});
    const std::string d = dir.Path();
    const std::vector<TEntryText> expected = {
        {ctPoint, In(d, "mix.mif"), In(d, "mix_point.shp")},
        {ctPolyLine, In(d, "mix.mif"), In(d, "mix_line.shp")},
        {ctPolygon, In(d, "mix.mif"), In(d, "mix_polygon.shp")},
        {ctTextAsPoint, In(d, "mix.mif"), In(d, "mix_text.shp")},
        {ctPoint, In(d, "pts.mif"), In(d, "pts.shp")},
    };
    EXPECT_EQ(Texts(scan.Entries), expected);
    ASSERT_EQ(scan.Skipped.size(), 2u);
    EXPECT_EQ(scan.Skipped[0].MifFile, In(d, "empty.mif"));
    EXPECT_EQ(scan.Skipped[0].Reason, "このファイルには変換できる図形がありません。");
    EXPECT_EQ(scan.Skipped[1].MifFile, In(d, "junk.mif"));
    EXPECT_EQ(scan.Skipped[1].Reason, Text(TText::kAppNotAMif));
    EXPECT_FALSE(scan.Cancelled);

    // What the list holds already is not added twice.
    const TFolderScan again = ScanFolder({dir.Path(), false, {}}, scan.Entries);
    EXPECT_TRUE(again.Entries.empty());
    EXPECT_EQ(again.AlreadyListed, 5u);
}

TEST_F(FolderScan, SubfoldersKeepTheirLayoutUnderAnOutputFolder) {
    const std::string out = dir.Path("out");
    const TFolderScan scan = ScanFolder({dir.Path(), true, out}, {});
    ASSERT_EQ(scan.Entries.size(), 6u);
    EXPECT_EQ(Texts({scan.Entries[5]}),
              (std::vector<TEntryText>{{ctPolyLine, In(dir.Path(), In("sub", "roads.MIF")),
                                        In(out, In("sub", "roads.shp"))}}));
    EXPECT_EQ(scan.Entries[4].ShpFile, In(out, "pts.shp"));
    EXPECT_THROW(ScanFolder({dir.Path("none"), false, {}}, {}), EInOutError);
}

TEST_F(FolderScan, StopsOnRequestAndAddsNothing) {
    std::atomic<bool> cancel{false};
    std::vector<std::size_t> seen;
    TFolderScanHooks hooks;
    hooks.Cancel = &cancel;
    hooks.Progress = [&](std::size_t done, std::size_t total) {
        EXPECT_EQ(total, 4u);
        seen.push_back(done);
        cancel = done == 1;
    };
    const TFolderScan scan = ScanFolder({dir.Path(), false, {}}, {}, hooks);
    EXPECT_TRUE(scan.Cancelled);
    EXPECT_TRUE(scan.Entries.empty());
    EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1}));
}

TEST_F(FolderScan, TheFileMenusCommandAddsTheEntriesAndNamesWhatItLeftOut) {
    testing::TFakeMainView view;
    TImmediateRunner runner;
    TMainLogic logic{view, runner, "/opt/varnelo/bin/varnelo"};
    view.FolderAnswer = TFolderChoice{dir.Path(), false, {}};
    logic.Run(TMainCommand::AddFolder);
    ASSERT_EQ(logic.List().Entries.size(), 5u);
    const std::string box = "box warning " + std::string(kFolderSkippedText) + "\n" +
                            In(dir.Path(), "empty.mif") +
                            ": このファイルには変換できる図形がありません。\n" +
                            In(dir.Path(), "junk.mif") + ": " + Text(TText::kAppNotAMif);
    EXPECT_NE(std::find(view.Calls.begin(), view.Calls.end(), box), view.Calls.end());
    EXPECT_FALSE(logic.Busy());
    logic.Run(TMainCommand::AddFolder);  // nothing twice
    EXPECT_EQ(logic.List().Entries.size(), 5u);
}

}  // namespace
}  // namespace varnelo

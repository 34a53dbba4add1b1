// SPDX-License-Identifier: MIT
#include "app/main_logic.hpp"
#include "app/message_lines.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "../support/folder_files.hpp"
#include "../support/outcome_sources.hpp"
#include "../support/temp_dir.hpp"
#include "../support/test_system.hpp"
#include "fake_main_view.hpp"
#include "os/catalog.hpp"

namespace varnelo {
namespace {

using testing::TempDir;
using testing::TFakeMainView;
using testing::WriteFileBytes;

using TCalls = std::vector<std::string>;

// Holds the work until the test lets it run, as a worker thread would.
class THeldRunner final : public IWorkRunner {
  public:
    void Run(std::function<void()> work, std::function<void()> finished) override {
        work_ = std::move(work);
        finished_ = std::move(finished);
    }
    void Post(std::function<void()> task) override { posted_.push_back(std::move(task)); }
    void Release() {
        work_();
        for (const auto& task : posted_) {
            task();
        }
        posted_.clear();
        finished_();
    }

  private:
    std::function<void()> work_;
    std::function<void()> finished_;
    std::vector<std::function<void()>> posted_;
};

class MainLogicTest : public ::testing::Test {
  protected:
    std::string Mif(const std::string& name, const std::string& columns) {
        const std::string path = dir.Path(name + ".mif");
        WriteFileBytes(path, "Version 300\r\n" + columns + "Data\r\n");
        WriteFileBytes(dir.Path(name + ".mid"), "");
        return path;
    }
    void Choose(int type, const std::string& mif, const std::string& shp) {
        logic.lstMifTypeClick(type);
        logic.SetMifFileText(mif);
        logic.SetShpFileText(shp);
    }
    void Add(int type, const std::string& mif, const std::string& shp = "out.shp") {
        Choose(type, mif, shp);
        logic.Dispatch([&] { logic.btnAddClick(); });
    }

    TempDir dir;
    TFakeMainView view;
    TImmediateRunner runner;
    TMainLogic logic{view, runner, "/opt/varnelo/bin/varnelo"};
};

TEST(ValidateInput, MakesTheThreeChecksInOrderOnTheTextsAsTyped) {
    TempDir dir;
    const std::string mif = dir.Path("a.mif");
    WriteFileBytes(mif, "");
    const struct {
        std::optional<int> type;
        std::string source;
        std::string target;
        std::optional<std::string_view> message;
    } cases[] = {
        {std::nullopt, "", "", kNoTypeText},
        {std::nullopt, mif, "t.shp", kNoTypeText},
        {0, " " + mif, "t.shp", kBadSourceText},
        {0, dir.Path(), "t.shp", kBadSourceText},  // a folder is no file
        {0, "", "", kBadSourceText},
        {0, mif, " \t ", kBadTargetText},
        {4, mif, "  t.shp", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ValidateInput(TEditors{c.type, c.source, c.target}), c.message)
            << c.source << "|" << c.target;
    }
}

TEST(MessageLines, BreakJapaneseOnlyAfterItsStopsAndCommasOrAtSpaces) {
    const struct {
        const char* text;
        const char* lines;
    } cases[] = {
        {"変換に成功しました。\n4 件", "変換に成功しました。\n4 件"},  // fits: unchanged
        {"ファイルがありません。別の名前", "ファイルがありません。\n別の名前"},
        {"読み取り、書き込みできません", "読み取り、\n書き込みできません"},
        {"a.mif の 2 行目: 値が不正", "a.mif の 2 行目:\n値が不正"},           // a space dropped
        {"拒否されましたフォルダです", "拒否されましたフォルダです"},          // no place: whole
        {"ファイルではなくフォルダです。", "ファイルではなくフォルダです。"},  // ends the line
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MessageLines(c.text, 24), c.lines) << c.text;
    }
}

TEST(ErrorDisplayText, AppendsAFullStopAfterLastBytesThatSortAfterIt) {
    EXPECT_EQ(ErrorDisplayText("Permission denied"), "Permission denied.");
    EXPECT_EQ(ErrorDisplayText("ends."), "ends.");
    EXPECT_EQ(ErrorDisplayText("ends-"), "ends-");
    EXPECT_EQ(ErrorDisplayText("を開けません"), "を開けません.");
    EXPECT_EQ(ErrorDisplayText(""), "");
}

TEST_F(MainLogicTest, FailedChecksChangeNothingAndShowOnlyTheFirstMessage) {
    logic.Dispatch([&] { logic.btnAddClick(); });
    view.Selected = 0;
    logic.Dispatch([&] { logic.btnReplaceClick(); });
    logic.Dispatch([&] { logic.btnConvertClick(); });
    const std::string box = "box warning " + std::string(kNoTypeText);
    EXPECT_EQ(view.Calls, (TCalls{box, box, box}));
    EXPECT_TRUE(logic.List().Entries.empty());
}

TEST_F(MainLogicTest, EditorsFollowTypeClicksBrowsingAndDoubleClicks) {
    Choose(2, "typed.mif", "typed.shp");
    view.DialogAnswers = {"/data/v1.0/roads", "/data/a.b.mif"};
    logic.btnMifBrowseClick();
    EXPECT_EQ(logic.Editors().ShpFile, "/data/v1.0/roads.shp");  // the folder's dot stays
    logic.btnMifBrowseClick();
    EXPECT_EQ(logic.Editors().MifFile, "/data/a.b.mif");
    EXPECT_EQ(logic.Editors().ShpFile, "/data/a.b.shp");
    logic.btnMifBrowseClick();  // cancelled
    EXPECT_EQ(logic.Editors().MifFile, "/data/a.b.mif");
    EXPECT_EQ(view.Shown.ShpFile, "/data/a.b.shp");

    const std::string mif = Mif("p", "");
    Add(3, mif, "  spaced.shp");
    logic.lstMifTypeClick(1);
    EXPECT_EQ(view.Shown.MifFile, "");
    EXPECT_EQ(view.Shown.ShpFile, "");
    view.Selected = 0;
    logic.lvwBatchDblClick();
    EXPECT_EQ(view.Shown.Type, 3);
    EXPECT_EQ(view.Shown.MifFile, mif);
    EXPECT_EQ(view.Shown.ShpFile, "  spaced.shp");
}

TEST_F(MainLogicTest, ListCommandsKeepEntriesStatusesAndCombineControlsInStep) {
    const std::string mif = Mif("p", "");
    Add(0, mif);
    Add(0, mif);  // the same job twice gives two equal entries
    ASSERT_EQ(logic.List().Entries.size(), 2u);
    EXPECT_EQ(logic.List().Entries[1].MifFile, mif);
    EXPECT_EQ(logic.List().Entries[1].TypeName, "ポイント");
    EXPECT_EQ(logic.Editors().MifFile, mif);  // the editors keep their content
    EXPECT_TRUE(view.CombineEnabled);
    logic.SetCombine(true);

    // Replace resets only the replaced entry's status.
    logic.SetEntryStatus(0, TEntryStatus::Success);
    logic.SetEntryStatus(1, TEntryStatus::Failure);
    Choose(2, mif, "b.shp");
    view.Selected = 1;
    logic.btnReplaceClick();
    EXPECT_EQ(logic.List().Entries[1].TypeName, "ポリゴン");
    EXPECT_EQ(logic.List().Entries[1].Status, TEntryStatus::None);
    EXPECT_EQ(logic.List().Entries[0].Status, TEntryStatus::Success);
    EXPECT_FALSE(view.CombineEnabled);  // two types now

    logic.btnRemoveClick();
    EXPECT_EQ(logic.List().Entries.size(), 1u);
    EXPECT_FALSE(view.CombineEnabled);
    EXPECT_TRUE(logic.List().Combine);  // disabling never unchecks

    view.Calls.clear();
    logic.btnClearClick();
    logic.btnClearClick();  // an empty list: nothing but the redraw
    EXPECT_TRUE(logic.List().Entries.empty());
    EXPECT_TRUE(view.CallsOf("box").empty());
    EXPECT_EQ(view.CallsOf("list").size(), 2u);

    view.Selected.reset();
    logic.lvwBatchChange();
    EXPECT_FALSE(view.EntryCommandsEnabled);
    view.Selected = 0;
    logic.lvwBatchChange();
    EXPECT_TRUE(view.EntryCommandsEnabled);
}

TEST_F(MainLogicTest, CombineRuleComparesColumnNamesAndTypeCodesInOrder) {
    const std::string name10 = Mif("n10", "Columns 2\r\n  Name Char(10)\r\n  N Integer\r\n");
    const std::string name20 = Mif("n20", "Columns 2\r\n  Name Char(20)\r\n  N SmallInt\r\n");
    const std::string upper = Mif("up", "Columns 2\r\n  NAME Char(10)\r\n  N Integer\r\n");
    const std::string swapped = Mif("sw", "Columns 2\r\n  N Integer\r\n  Name Char(10)\r\n");
    const std::string none = Mif("none", "");
    const auto entries = [](std::vector<std::pair<int, std::string>> jobs) {
        std::vector<TBatchEntry> out;
        for (auto& [type, mif] : jobs) {
            out.push_back(MakeBatchEntry(type, mif, "o.shp"));
        }
        return out;
    };
    const struct {
        const char* what;
        std::vector<TBatchEntry> entries;
        bool expected;
    } cases[] = {
        {"one entry", entries({{2, name10}}), false},
        {"widths and Integer/SmallInt differ", entries({{0, name10}, {0, name20}}), true},
        {"letter case of a name", entries({{0, name10}, {0, upper}}), false},
        {"another order", entries({{2, name10}, {2, swapped}}), false},
        {"two types", entries({{0, name10}, {1, name10}}), false},
        {"text entries read no file", entries({{3, "/gone/a.mif"}, {3, "/gone/b.mif"}}), true},
        // A later file without a Columns line does not inherit the previous file's columns.
        {"no Columns line after others", entries({{1, name10}, {1, name20}, {1, none}}), false},
        {"no Columns line in any", entries({{1, none}, {1, none}}), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CanCombine(c.entries), c.expected) << c.what;
    }
}

TEST_F(MainLogicTest, AnUnreadableSourceKeepsTheCombineStateAndReachesTheErrorDisplay) {
    const std::string a = Mif("a", "");
    Add(0, a);
    Add(0, a);
    ASSERT_TRUE(view.CombineEnabled);
    std::filesystem::remove(a);
    view.Calls.clear();
    Add(0, Mif("b", ""));
    EXPECT_EQ(logic.List().Entries.size(), 3u);  // the change stays
    EXPECT_TRUE(view.CombineEnabled);
    ASSERT_EQ(view.CallsOf("errordisplay").size(), 1u);
    EXPECT_NE(view.CallsOf("errordisplay")[0].find(a), std::string::npos);
}

TEST_F(MainLogicTest, ConvertNowShowsTheConversionsTextsThenTheResultWithTheBusyCursor) {
    const std::string mif = VARNELO_SOURCE_DIR "/samples/stations.mif";
    Choose(0, mif, dir.Path("out.shp"));
    logic.btnConvertClick();
    const TCalls expected{
        "cursor busy",     "busy on",
        "status ",         "status 変換の準備をしています。",
        "status ",         "status " + mif + "を変換しています。",
        "processmessages", "status 変換の後処理をしています。",
        "status ",         "progress off",
        "busy off",        "box information 変換に成功しました。\n4 件のレコードを書き込みました。",
        "cursor default"};
    EXPECT_EQ(view.Calls, expected);
    EXPECT_TRUE(std::filesystem::exists(dir.Path("out.dbf")));
    EXPECT_TRUE(logic.List().Entries.empty());
    EXPECT_EQ(logic.Editors().ShpFile, dir.Path("out.shp"));
}

// Each source as polygons over a good earlier output, by convert now, a plain batch run and a
// combined run of the source twice: the box or mark says how it ended, and only a conversion
// that wrote replaces the previous files.
TEST_F(MainLogicTest, NoMifFileIsRefusedAndNothingToWriteIsMarkedApartKeepingThePreviousFiles) {
    const std::string out = dir.Path("out");
    std::filesystem::create_directory(out);
    const std::string target = out + "/t.shp";
    const std::string parcels = VARNELO_SOURCE_DIR "/samples/parcels.mif";
    // By outcome: what convert now's box and the combined run's closing box say, the entry's
    // status and image, and the plain run's count.
    const char* const said[] = {"変換に失敗しました。", "変換する図形がないため", "レコード"};
    const TEntryStatus status[] = {TEntryStatus::Failure, TEntryStatus::NothingToWrite,
                                   TEntryStatus::Success};
    const int image[] = {1, 2, 0};
    const char* const counts[] = {"成功 0 件、失敗 1 件、書き込みなし 0 件",
                                  "成功 0 件、失敗 0 件、書き込みなし 1 件",
                                  "変換が終了しました。"};
    for (const testing::TOutcomeSource& source : testing::OutcomeSources()) {
        SCOPED_TRACE(source.Name);
        const std::string mif = testing::WriteOutcomeSource(dir.Path(), source);
        const auto expect = static_cast<std::size_t>(source.Outcome);
        for (int caller = 0; caller < 3; ++caller) {  // convert now, plain run, combined run
            ASSERT_TRUE(ConvertMifToShp(ctPolygon, parcels, target));
            const auto before = testing::FolderFiles(out);
            logic.btnClearClick();
            if (caller == 0) {
                Choose(ctPolygon, mif, target);
                logic.btnConvertClick();
            } else {
                Add(ctPolygon, mif, target);
                if (caller == 2) {
                    Add(ctPolygon, mif, target);
                    logic.SetCombine(true);
                    logic.SetCombineFile(target);
                    EXPECT_TRUE(logic.List().CombineEnabled);
                }
                view.Calls.clear();
                logic.btnBatchClick();
            }
            const std::string box = view.CallsOf("box").back();
            if (caller == 1) {
                const TBatchEntry& entry = logic.List().Entries.at(0);
                EXPECT_EQ(entry.Status, status[expect]);
                EXPECT_EQ(EntryImage(entry), image[expect]);
                EXPECT_NE(box.find(counts[expect]), std::string::npos) << box;
            } else {
                EXPECT_NE(box.find(said[expect]), std::string::npos) << box;
            }
            EXPECT_TRUE(testing::FolderAfter(source.Outcome, before, out)) << "caller " << caller;
        }
    }
}

// The third mark: its reason is the tooltip's last line and the status text while selected.
TEST_F(MainLogicTest, AnEntryWithNothingToWriteSaysWhatTheFileHoldsAndWhichTypeTakesIt) {
    const std::string mif = dir.Path("p.mif");
    WriteFileBytes(mif, testing::kOutcomeHeader + "Data\r\nPoint 1 2\r\n");
    WriteFileBytes(dir.Path("p.mid"), "1\r\n");
    Add(ctPolygon, mif, dir.Path("p.shp"));
    Add(ctPoint, mif, dir.Path("q.shp"));
    logic.btnBatchClick();
    const std::string reason =
        "このファイルにはポリゴンがありません。 ポイント 1 件: 「ポイント」で変換してください。";
    const TBatchEntry& entry = logic.List().Entries.at(0);
    EXPECT_EQ(entry.Status, TEntryStatus::NothingToWrite);
    EXPECT_EQ(entry.Reason, reason);
    EXPECT_EQ(EntryToolTip(entry), mif + "\n" + dir.Path("p.shp") + "\n" + reason);
    EXPECT_EQ(
        view.CallsOf("box").back(),
        "box information 変換が終了しました。\n2 件中 成功 1 件、失敗 0 件、書き込みなし 1 件\n"
        "p.mif: " +
            reason);
    view.Selected = 0;
    logic.lvwBatchChange();
    EXPECT_EQ(view.Calls.back(), "status " + reason);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("p.shp")));
}

TEST_F(MainLogicTest, ConvertNowSaysWhyItFailedAndWhatAFileWithoutSuchObjectsHolds) {
    const std::string stations = VARNELO_SOURCE_DIR "/samples/stations.mif";
    const std::string nomid = dir.Path("nomid.mif");  // with a column, without its .mid
    WriteFileBytes(nomid, "Version 300\r\nColumns 1\r\n  N Integer\r\nData\r\nPoint 1 2\r\n");
    WriteFileBytes(dir.Path("bad.mif"), "Version 300\r\nData\r\nPoint 1 2\r\nPoint five 3\r\n");
    WriteFileBytes(dir.Path("bad.mid"), "");
    WriteFileBytes(dir.Path("file"), "");
    const struct {
        int type;
        std::string source;
        std::string target;
        std::string box;
    } cases[] = {
        {0, nomid, "x.shp",
         "box warning 変換に成功しました。\n1 件のレコードを書き込みました。\n属性ファイル "
         "nomid.mid がないため、属性をすべて空欄にしました。"},
        {0, dir.Path("bad.mif"), "x.shp",
         "box warning 変換に失敗しました。\nbad.mif の 4 行目: \"five\" "
         "は有効な数値ではありません"},
        {0, stations, "file/x.shp",
         "box warning 変換に失敗しました。\nファイル \"" + dir.Path("file/x.shp") +
             "\" を作成できません: " +
             // A file as a folder of the path: POSIX says so, Windows finds no such path.
             (testing::HavePosixFacilities() ? "フォルダではありません"
                                             : "ファイルまたはフォルダが見つかりません")},
        {2, stations, "x.shp",
         "box warning 変換する図形がないため、ファイルを書き込みませんでした。\n"
         "このファイルにはポリゴンがありません。\nポイント 4 件: 「ポイント」で変換してください。"},
        {3, dir.Path("bad.mif"), "x.shp",
         "box warning 変換する図形がないため、ファイルを書き込みませんでした。\n"
         "このファイルにはテキストがありません。\nポイント 2 件: 「ポイント」で変換してください。"},
    };
    for (const auto& c : cases) {
        view.Calls.clear();
        Choose(c.type, c.source, dir.Path(c.target));
        logic.btnConvertClick();
        EXPECT_EQ(view.CallsOf("box"), TCalls{c.box});
        EXPECT_TRUE(view.CallsOf("errordisplay").empty());
        const TCalls status = view.CallsOf("status");
        EXPECT_TRUE(status.empty() || status.back() == "status ");  // no progress text stays
    }
    EXPECT_EQ(NoRecordText(4, TObjectCounts{}), "このファイルには変換できる図形がありません。");
    EXPECT_EQ(
        NoRecordText(0, TObjectCounts{0, 0, 0, 2}),
        "このファイルにはポイントがありません。\nテキスト 2 件: 「テキスト（ポイントとして変換）」"
        "または「テキスト（ラインとして変換）」で変換してください。");
}

TEST_F(MainLogicTest, CancelledConvertNowKeepsThePreviousFilesAndSaysSo) {
    const std::string mif = VARNELO_SOURCE_DIR "/samples/stations.mif";
    Choose(0, mif, dir.Path("out.shp"));
    logic.btnConvertClick();
    const auto before = testing::FolderFiles(dir.Path(""));
    view.OnProgress = [&] { logic.btnCancelClick(); };  // at the first object
    view.Calls.clear();
    Choose(0, VARNELO_SOURCE_DIR "/samples/points.mif", dir.Path("out.shp"));
    logic.btnConvertClick();
    EXPECT_TRUE(view.CallsOf("box").empty());
    EXPECT_EQ(view.CallsOf("status").back(), "status 中止しました。");
    EXPECT_EQ(testing::FolderFiles(dir.Path("")), before);
    EXPECT_FALSE(logic.Busy());
    EXPECT_TRUE(logic.CanClose());
}

TEST_F(MainLogicTest, TheStatusBarShowsTheLastOperationNotAStoppedEntrysReason) {
    const std::string mif = VARNELO_SOURCE_DIR "/samples/stations.mif";
    Add(0, mif, dir.Path("a.shp"));
    view.Selected = 0;
    view.OnProgress = [&] { logic.btnCancelClick(); };
    logic.btnBatchClick();
    EXPECT_EQ(view.CallsOf("status").back(), "status 中止しました。");
    EXPECT_EQ(logic.List().Entries[0].Status, TEntryStatus::Failure);
    // Convert now with the stopped entry still selected: its result alone, before and after
    // the box.
    view.OnProgress = nullptr;
    view.Calls.clear();
    Choose(0, mif, dir.Path("b.shp"));
    logic.btnConvertClick();
    EXPECT_EQ(view.CallsOf("status").back(), "status ");
    EXPECT_EQ(std::count(view.Calls.begin(), view.Calls.end(), "status 中止しました。"), 0);
    // Selecting it again says why it stopped.
    logic.lvwBatchChange();
    EXPECT_EQ(view.CallsOf("status").back(), "status 中止しました。");
}

TEST_F(MainLogicTest, NoCommandThatChangesTheListOrConvertsRunsDuringAConversion) {
    THeldRunner held;
    TMainLogic busyLogic{view, held, "/x/varnelo"};
    const std::string mif = Mif("p", "");
    busyLogic.lstMifTypeClick(0);
    busyLogic.SetMifFileText(mif);
    busyLogic.SetShpFileText(dir.Path("o.shp"));
    busyLogic.btnAddClick();
    view.Selected = 0;
    busyLogic.btnConvertClick();
    // Only what neither changes the list nor converts stays on, and the cancel button.
    const std::set<TMainControl> on{lstMifType,   edtMifFile, btnMifBrowse, edtShpFile,
                                    btnShpBrowse, lvwBatch,   btnCancel};
    for (int c = 0; c < kMainControlCount; ++c) {
        EXPECT_EQ(view.Enabled.Controls[c], on.contains(static_cast<TMainControl>(c))) << c;
    }
    EXPECT_FALSE(view.Enabled[TMainCommand::Open]);
    EXPECT_TRUE(view.Enabled[TMainCommand::Save]);
    view.Calls.clear();
    busyLogic.btnConvertClick();
    busyLogic.btnAddClick();
    busyLogic.btnReplaceClick();
    busyLogic.btnRemoveClick();
    busyLogic.btnClearClick();
    busyLogic.DropFiles({mif, mif});
    EXPECT_TRUE(view.Calls.empty());
    EXPECT_EQ(busyLogic.List().Entries.size(), 1u);
    // The conversion ends while the box that keeps the window open is up: that box closes
    // before the result shows.
    view.OnMessage = [&] { held.Release(); };
    EXPECT_FALSE(busyLogic.CanClose());
    EXPECT_FALSE(view.Enabled[btnCancel]);
    EXPECT_TRUE(view.Enabled[btnReplace]);
    EXPECT_TRUE(view.Enabled[TMainCommand::Open]);
    const auto boxes = view.CallsOf("box");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], "box information " + std::string(kWaitForConversionText));
    EXPECT_EQ(boxes[1].rfind("box warning 変換に成功しました。", 0), 0u);
    const auto closed = std::find(view.Calls.begin(), view.Calls.end(), "closebox");
    EXPECT_LT(closed, std::find(view.Calls.begin(), view.Calls.end(), boxes[1]));
    EXPECT_TRUE(busyLogic.CanClose());
}

TEST_F(MainLogicTest, CommandsRunTheirHandlersAndEntriesShowTheirStatusAndReason) {
    logic.Run(TMainCommand::Save);
    EXPECT_EQ(view.CallsOf("box"), TCalls{"box warning " + Text(TText::kAppNoBatchList)});
    logic.Run(TMainCommand::About);
    EXPECT_EQ(view.CallsOf("about").size(), 1u);
    logic.Run(TMainCommand::Add);  // no type chosen
    EXPECT_EQ(view.CallsOf("box").back(), "box warning " + std::string(kNoTypeText));

    TBatchEntry entry;
    entry.MifFile = "/a/r.mif";
    entry.ShpFile = "/b/r.shp";
    EXPECT_EQ(EntryImage(entry), std::nullopt);
    EXPECT_EQ(EntryToolTip(entry), "/a/r.mif\n/b/r.shp");
    entry.Status = TEntryStatus::Success;
    EXPECT_EQ(EntryImage(entry), 0);
    entry.Status = TEntryStatus::Failure;
    entry.Reason = "no .mid";
    EXPECT_EQ(EntryImage(entry), 1);
    EXPECT_EQ(EntryToolTip(entry), "/a/r.mif\n/b/r.shp\nno .mid");

    EXPECT_EQ(ProgressPosition(0, 0), std::nullopt);
    EXPECT_EQ(ProgressPosition(1, 3), 333);
    EXPECT_EQ(ProgressPosition(9, 3), 1000);
}

TEST_F(MainLogicTest, DroppedFilesFillTheEditorsOrBecomeEntries) {
    logic.DropFiles({"/d/one.MIF"});
    EXPECT_EQ(view.Shown.MifFile, "/d/one.MIF");
    EXPECT_EQ(view.Shown.ShpFile, "/d/one.shp");
    logic.DropFiles({"/d/a.mif", "/d/b"});
    EXPECT_EQ(view.CallsOf("box"), (TCalls{"box warning " + std::string(kNoTypeText)}));
    EXPECT_TRUE(logic.List().Entries.empty());
    logic.lstMifTypeClick(4);
    logic.DropFiles({"/d/a.mif", "/d/b"});
    ASSERT_EQ(logic.List().Entries.size(), 2u);
    EXPECT_EQ(logic.List().Entries[1].ShpFile, "/d/b.shp");
    EXPECT_EQ(logic.List().Entries[1].ConversionType, 4);
    EXPECT_TRUE(view.CombineEnabled);
}

TEST_F(MainLogicTest, HelpAndAboutAndExit) {
    EXPECT_EQ(logic.HelpFile(), "/opt/varnelo/bin/varnelo.html");
    logic.H2Click();
    EXPECT_EQ(
        view.CallsOf("box"),
        (TCalls{"box error ヘルプファイル /opt/varnelo/bin/varnelo.html が見つかりません。"}));

    const std::string exe = dir.Path("conv");
    WriteFileBytes(exe + ".html", "<html></html>");
    TMainLogic local{view, runner, exe};
    view.Calls.clear();
    view.OpenDocumentWorks = false;
    local.H2Click();
    ASSERT_EQ(view.Calls.size(), 2u);
    EXPECT_EQ(view.Calls[0], "open " + exe + ".html");
    EXPECT_EQ(view.Calls[1].rfind("box error", 0), 0u);

    view.Calls.clear();
    local.A1Click();
    local.X1Click();
    EXPECT_EQ(view.Calls, (TCalls{"about Version 2.0.9.225", "close"}));
}

}  // namespace
}  // namespace varnelo

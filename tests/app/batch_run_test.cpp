// SPDX-License-Identifier: MIT
// The batch run: its checks, the plain run with its marks, the joined source of a combined
// run, its temporary files, and several entries converted at once.
#include "app/batch_run.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "../support/dbf_values.hpp"
#include "../support/folder_files.hpp"
#include "../support/run_command.hpp"
#include "../support/temp_dir.hpp"
#include "app/combined_source.hpp"
#include "app/main_logic.hpp"
#include "engine/mif_errors.hpp"
#include "fake_main_view.hpp"
#include "os/catalog.hpp"
#include "shape/errors.hpp"

namespace varnelo {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::TFakeMainView;
using testing::WriteFileBytes;
using TCalls = std::vector<std::string>;
using enum TEntryStatus;

constexpr const char* kHeader = "Version 300\r\nColumns 1\r\n  N Integer\r\nData\r\n";

// Leaves out the texts the conversions show, which their own tests check.
TCalls WithoutStatusTexts(const TCalls& calls) {
    TCalls out;
    for (const std::string& call : calls) {
        if (call.rfind("status", 0) != 0) {
            out.push_back(call);
        }
    }
    return out;
}

class BatchRunTest : public ::testing::Test {
  protected:
    // A source pair in the test's folder; `mid` is left out when null.
    std::string Source(const std::string& name, const std::string& mif, const char* mid = "") {
        WriteFileBytes(dir.Path(name + ".mif"), mif);
        if (mid != nullptr) {
            WriteFileBytes(dir.Path(name + ".mid"), mid);
        }
        return dir.Path(name + ".mif");
    }
    // A source whose .mid is a folder, which no conversion can read.
    std::string UnreadableMid(const std::string& name) {
        fs::create_directory(dir.Path(name + ".mid"));
        return Source(name, kHeader, nullptr);
    }
    // Points at x = 1, 2, ... with the rows given.
    std::string Points(const std::string& name, const std::vector<std::string>& rows) {
        std::string mif = kHeader;
        std::string mid;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            mif += "Point " + std::to_string(i + 1) + " 0\r\n";
            mid += rows[i] + "\r\n";
        }
        return Source(name, mif, mid.c_str());
    }
    void Add(const std::string& mif, const std::string& shp) {
        list.Entries.push_back(MakeBatchEntry(0, mif, dir.Path(shp)));
    }
    void Combine() {
        list.Combine = list.CombineEnabled = true;
        list.CombineFile = dir.Path("all.shp");
    }
    // Runs the list as the window's logic does, the statuses kept in the list.
    void Run(const std::string& tempDir = "") {
        TBatchRunOptions options;
        options.TempDir = temp.Path() + "/" + tempDir;
        options.StatusChanged = [this](std::size_t i, TEntryStatus s, const TConversionReport&) {
            list.Entries[i].Status = s;
        };
        options.Ended = [this](const TBatchSummary& s) { summary = s; };
        view.Calls.clear();
        RunBatch(list, view, runner, std::move(options));
    }
    std::vector<TEntryStatus> Statuses() const {
        std::vector<TEntryStatus> out;
        for (const TBatchEntry& entry : list.Entries) {
            out.push_back(entry.Status);
        }
        return out;
    }

    TempDir dir;
    TempDir temp;  // the run's temporary directory
    TFakeMainView view;
    TImmediateRunner runner;
    TBatchList list;
    TBatchSummary summary;
};

TEST_F(BatchRunTest, WarningsStopTheRunBeforeAnythingChanges) {
    const std::string a = Points("a", {"1"});
    fs::copy_file(a, dir.Path("odd.dbf"));  // a source named .dbf, whose .mid is odd.mid
    fs::copy_file(dir.Path("a.mid"), dir.Path("odd.mid"));
    const auto overwrites = [](const std::string& file) {
        return "変換先のファイル \"" + file + "\" は変換元のファイルのため、変換を行いません。";
    };
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> jobs;  // source, target
        std::optional<std::string> combineFile;                 // a combined run when set
        std::string warning;
    } cases[] = {
        {"empty list", {}, std::nullopt, Text(TText::kAppNoBatchList)},
        {"blank combined name", {{a, "x.shp"}, {a, "y"}}, " \t ", Text(TText::kAppBadCombineFile)},
        {"another entry's .mid spelled another way",
         {{a, "x.shp"}, {Points("b", {"1"}), "./a.mid"}},
         std::nullopt,
         overwrites(dir.Path("./a.mid"))},
        {"a .dbf derived from a target",
         {{dir.Path("odd.dbf"), "odd.shp"}},
         std::nullopt,
         overwrites(dir.Path("odd.dbf"))},
        {"the combined file", {{a, "x.shp"}, {a, "y"}}, a, overwrites(a)},
    };
    for (const auto& c : cases) {
        list = TBatchList{};
        for (const auto& [source, target] : c.jobs) {
            Add(source, target);
            list.Entries.back().Status = Failure;  // the previous run's marks stay
        }
        list.Combine = list.CombineEnabled = c.combineFile.has_value();
        list.CombineFile = c.combineFile.value_or("");
        Run();
        EXPECT_EQ(view.Calls, TCalls{"box warning " + c.warning}) << c.what;
        EXPECT_EQ(Statuses(), std::vector<TEntryStatus>(c.jobs.size(), Failure)) << c.what;
    }
    EXPECT_FALSE(fs::exists(dir.Path("x.shp")));
}

TEST_F(BatchRunTest, PlainRunMarksEveryEntrySelectingEachAndGoesOnPastAFailure) {
    // Through the window's logic; the combine box is checked but disabled, so a blank
    // combined name does not matter.
    TMainLogic logic{view, runner, "/x/varnelo"};
    const std::string a = Points("a", {"1", "2"});
    const std::string b = UnreadableMid("b");
    for (const auto& [type, source, target] :
         {std::tuple{0, a, "a.shp"}, {2, b, "b.shp"}, {0, a, "c.shp"}}) {
        logic.lstMifTypeClick(type);
        logic.SetMifFileText(source);
        logic.SetShpFileText(dir.Path(target));
        logic.btnAddClick();
    }
    logic.SetCombine(true);
    view.Calls.clear();
    logic.btnBatchClick();

    const TCalls perEntry[] = {
        {"processmessages", "select 0", "processmessages", "processmessages", "list 4 0"},
        {"processmessages", "select 1", "processmessages", "list 4 1"},  // nothing made
        {"processmessages", "select 2", "processmessages", "processmessages", "list 4 2"},
    };
    TCalls expected{"busy on", "list 4 0", "list 4 1", "list 4 2", "cursor busy"};
    for (const TCalls& calls : perEntry) {
        expected.insert(expected.end(), calls.begin(), calls.end());
    }
    expected.insert(expected.end(),
                    {"cursor default", "progress off", "busy off",
                     "box information 変換が終了しました。\n3 件中 成功 2 件、失敗 1 "
                     "件、書き込みなし 0 件\nb.mif: "
                     "ファイル \"" +
                         dir.Path("b.mid") + "\" を開けません: ファイルではなくフォルダです"});
    EXPECT_EQ(WithoutStatusTexts(view.Calls), expected);
    EXPECT_EQ(view.CallsOf("status").back(), "status ");
    const auto& entries = logic.List().Entries;
    EXPECT_EQ(entries[0].Status, Success);
    EXPECT_EQ(entries[1].Status, Failure);
    EXPECT_EQ(entries[2].Status, Success);
    EXPECT_EQ(entries[1].Reason,
              "ファイル \"" + dir.Path("b.mid") + "\" を開けません: ファイルではなくフォルダです");
    // A crossed entry says why in the status bar while it is selected.
    view.Selected = 1;
    logic.lvwBatchChange();
    EXPECT_EQ(view.Calls.back(), "status " + entries[1].Reason);
    view.Selected = 2;
    logic.lvwBatchChange();
    EXPECT_EQ(view.Calls.back(), "status ");
    EXPECT_EQ(ReadFileBytes(dir.Path("a.dbf")), ReadFileBytes(dir.Path("c.dbf")));

    // A target that cannot be written fails its entry alone.
    list.Entries = {entries[0], entries[0], entries[0]};
    list.Entries[1].ShpFile = dir.Path("missing/b.shp");
    Run();
    EXPECT_EQ(Statuses(), (std::vector{Success, Failure, Success}));
    EXPECT_EQ(summary.NotRun, 0u);
    EXPECT_TRUE(view.CallsOf("errordisplay").empty());
    EXPECT_EQ(
        view.CallsOf("box").back().rfind("box information 変換が終了しました。\n3 件中 成功 2 "
                                         "件、失敗 1 件、書き込みなし 0 件\na.mif: "
                                         "ファイル \"" +
                                             dir.Path("missing/b.shp") + "\" を作成できません",
                                         0),
        0u)
        << view.CallsOf("box").back();
}

// A .mid value its field does not take: the closing box names the .mid, the line, the field
// and the value once, each decoded from the source's code page, in the run's language.
TEST_F(BatchRunTest, AMidValueFailureNamesItsPlaceOnceWithNameAndValueDecoded) {
    // The column 数 and the value 五, in code page 932.
    const std::string mif = Source("不正値",
                                   "Version 300\r\nCharset \"WindowsJapanese\"\r\nColumns 1\r\n"
                                   "  \x90\x94 Integer\r\nData\r\nPoint 1 0\r\nPoint 2 0\r\n",
                                   "1\r\n\x8C\xDC\r\n");
    const std::pair<TLanguage, std::string> cases[] = {
        {TLanguage::Japanese,
         "\n不正値.mid の 2 行目: フィールド 数 の値 \"五\" を格納できません: 整数ではありません"},
        {TLanguage::English,
         "\n不正値.mid, line 2: field 数 cannot take the value \"五\": not an integer"},
    };
    for (const auto& [language, reason] : cases) {
        SetTextLanguage(language);
        list = TBatchList{};
        Add(mif, "out.shp");
        Run();
        SetTextLanguage(TLanguage::Japanese);
        const std::string box = view.CallsOf("box").back();
        EXPECT_NE(box.find(reason), std::string::npos) << box;
        EXPECT_EQ(box.find("不正値.mif"), std::string::npos) << box;
        EXPECT_EQ(box.find(" 2 "), box.rfind(" 2 ")) << box;  // the line once
        EXPECT_EQ(box.find("\x8C\xDC"), std::string::npos) << box;  // the value never raw
    }
}

TEST_F(BatchRunTest, JoinedSourceTakesTheFirstHeaderAndTheLinesAfterEachLaterDataLine) {
    TCombinedSource joined(temp.Path() + "/");
    // The first file whole: its header, its blank line, a lone CR dropped inside a line.
    joined.Append(Source("a", "Version 300\nData\n\nPoint 1\r2 0\n", "\"a\"\n"), true);
    // A word data alone with blanks around it ends the header; the file has no last line end.
    joined.Append(Source("b", "Version 300\r\n  data \r\nPoint 3 4", "b1\r\nb2"), false);
    // More after the word does not end it; any letter case does; Ctrl-Z ends the file.
    joined.Append(Source("c", "Data 1\r\nDaTa\r\n\r\nPoint 5 6\r\n\x1aPoint 7 8\r\n", ""), false);
    joined.Close();
    EXPECT_EQ(ReadFileBytes(joined.MifPath()),
              "Version 300\r\nData\r\n\r\nPoint 12 0\r\nPoint 3 4\r\n\r\nPoint 5 6\r\n");
    EXPECT_EQ(ReadFileBytes(joined.Folder() + "temp.mid"), "\"a\"\r\nb1\r\nb2\r\n");

    // Two runs at once never share their files; each folder goes with its run.
    std::string folder;
    {
        TCombinedSource other(temp.Path() + "/");
        folder = other.Folder();
        EXPECT_NE(folder, joined.Folder());
        EXPECT_THROW(other.Append(Source("d", "Version 300\r\nPoint 1 1\r\n"), false),
                     EMifFormatError);
    }
    EXPECT_FALSE(fs::exists(folder));
}

TEST_F(BatchRunTest, CombinedRunConvertsOnceWithEveryRowOnItsObject) {
    // Objects the point type passes over still take their rows, in every entry.
    Add(Source("a", std::string(kHeader) + "Point 1 0\r\nRegion 1\r\n 1\r\n0 0\r\nPoint 2 0\r\n",
               "10\r\n99\r\n20\r\n"),
        "x.shp");
    Add(Source("b", std::string(kHeader) + "Line 0 0 1 1\r\nPoint 3 0\r\n", "98\r\n30\r\n"),
        "y.shp");
    Combine();
    Run();
    EXPECT_EQ(Statuses(), (std::vector{Success, Success}));
    EXPECT_EQ(summary.CombinedReport.RecordsWritten, 3);
    const TCalls status = view.CallsOf("status");
    EXPECT_EQ(status.front(), "status " + Text(TText::kAppJoining));
    EXPECT_NE(std::find(status.begin(), status.end(), "status 変換を行っています。"), status.end());
    EXPECT_EQ(status[status.size() - 2], "status " + Text(TText::kEngineFinishing));
    EXPECT_EQ(status.back(), "status ");
    EXPECT_EQ(view.CallsOf("box"),
              TCalls{"box information 変換が終了しました。\n3 件のレコードを書き込みました。"});
    EXPECT_EQ(view.CallsOf("select"), (TCalls{"select 0", "select 1"}));
    EXPECT_FALSE(fs::exists(dir.Path("x.shp")));
    EXPECT_TRUE(fs::is_empty(temp.Path()));

    if (!testing::HaveTool("ogrinfo")) {
        GTEST_SKIP() << testing::NoToolReason("ogrinfo");
    }
    const std::string listing =
        testing::RunCommand("ogrinfo -ro -al -q '" + dir.Path("all.shp") + "' 2>&1").Output;
    for (int x = 1; x <= 3; ++x) {
        const std::string feature =
            "N (Integer64) = " + std::to_string(x * 10) + "\n  POINT (" + std::to_string(x) + " 0)";
        EXPECT_NE(listing.find(feature), std::string::npos) << feature << "\n" << listing;
    }
}

TEST_F(BatchRunTest, EntriesWithoutTheirMidConvertWithEmptyValuesAndTheClosingBoxSaysSo) {
    const std::string a = Points("a", {"10"});
    // Two objects, so two empty rows: the next entry's row stays on its own point.
    const std::string n = Source("n", std::string(kHeader) + "Point 2 0\r\nRegion 0\r\n", nullptr);
    const std::string c = Points("c", {"30"});
    for (const bool combined : {false, true}) {
        list = TBatchList{};
        Add(a, "a.shp");
        Add(n, "n.shp");
        Add(c, "c.shp");
        if (combined) {
            Combine();
        }
        Run();
        EXPECT_EQ(Statuses(), (std::vector{Success, Success, Success})) << combined;
        EXPECT_EQ(summary.WithoutMid, std::vector<std::size_t>{1}) << combined;
        const std::string box = view.CallsOf("box").back();
        EXPECT_EQ(box.rfind("box warning 変換が終了しました。\n", 0), 0u) << box;
        EXPECT_NE(box.find("\n属性ファイル n.mid がないため、属性をすべて空欄にしました。"),
                  std::string::npos)
            << box;
    }
    EXPECT_EQ(testing::DbfColumn(dir.Path("all.dbf"), "N"),
              (std::vector<std::string>{"10", "", "30"}));

    // Without columns the .mid gives nothing, and its absence is no news.
    list = TBatchList{};
    Add(Source("plain", "Version 300\r\nData\r\nPoint 1 1\r\n", nullptr), "p.shp");
    Run();
    EXPECT_TRUE(summary.WithoutMid.empty());
    EXPECT_EQ(view.CallsOf("box").back(), "box information 変換が終了しました。");
}

TEST_F(BatchRunTest, CombinedRunsThatCannotFinishSayWhy) {
    const std::string good = Points("good", {"1"});
    const struct {
        const char* what;
        std::vector<std::string> sources;
        const char* tempDir;  // inside the test's temporary folder
        std::vector<TEntryStatus> statuses;
        std::string box;  // what the closing box begins with
    } cases[] = {
        {"a failed conversion of the joined source is a failure",
         {good, Source("bad", std::string(kHeader) + "Point x 0\r\n", "9\r\n")},
         "",
         {Success, Success},
         "box warning 変換に失敗しました。\n\"x\" は有効な数値ではありません"},
        {"a later source without a DATA line stops the joining",
         {good, Source("nodata", "Version 300\r\nPoint 1 1\r\n", "9\r\n"), good},
         "",
         {Success, Failure, None},
         "box warning 変換に失敗しました。\nnodata.mif: DATA 行がないため統合できません"},
        {"an unreadable .mid stops the joining",
         {good, UnreadableMid("nomid")},
         "",
         {Success, Failure},
         "box warning 変換に失敗しました。\nnomid.mif: ファイル \"" + dir.Path("nomid.mid") +
             "\" を開けません"},
        {"temporary files that cannot be made stop the run at once",
         {good, good},
         "missing/",
         {Failure, None},
         "box warning 変換に失敗しました。\ngood.mif: 一時フォルダ"},
    };
    for (const auto& c : cases) {
        list = TBatchList{};
        for (const std::string& source : c.sources) {
            Add(source, "x.shp");
        }
        Combine();
        Run(c.tempDir);
        EXPECT_EQ(Statuses(), c.statuses) << c.what;
        ASSERT_EQ(view.CallsOf("box").size(), 1u) << c.what;
        EXPECT_EQ(view.CallsOf("box")[0].rfind(c.box, 0), 0u)
            << c.what << ": " << view.CallsOf("box")[0];
        EXPECT_TRUE(view.CallsOf("errordisplay").empty()) << c.what;
        EXPECT_FALSE(fs::exists(dir.Path("all.shp"))) << c.what;
        EXPECT_EQ(std::count(view.Calls.begin(), view.Calls.end(), "cursor default"), 1) << c.what;
        EXPECT_TRUE(fs::is_empty(temp.Path())) << c.what;
    }
}

// A view for runs of several jobs, whose calls come from several threads at once.
class TQuietView final : public IBatchView {
  public:
    void ShowMessage(TMessageKind, std::string_view) override {}
    void ShowErrorDisplay(std::string_view) override {}
    void SetStatusText(std::string_view) override {}
    void SetProgress(std::uint64_t, std::uint64_t) override {}
    void SetBusyCursor(bool) override {}
    void ProcessMessages() override {}
    void SelectEntry(std::size_t) override {}
};

TEST_F(BatchRunTest, SeveralJobsWriteWhatOneJobWrites) {
    const std::string s0 = Points("s0", {"1", "2", "3"});
    const std::string s1 = Points("s1", {"4"});
    const std::string s2 = Points("s2", {"5", "6"});
    const std::string nomid = UnreadableMid("nomid");
    // Later entries that write a file of an earlier one must come after it: the same target,
    // a target spelled another way, and one whose .shx and .dbf are another's.
    const std::pair<std::string, std::string> jobs[] = {
        {s0, "a.shp"}, {s1, "b.shp"},    {s2, "a.shp"},   {s1, "a.foo"},
        {s2, "c.shp"}, {nomid, "d.shp"}, {s0, "./b.shp"}, {s2, "e.shp"}};
    std::vector<std::string> outputs[2];
    for (const std::size_t jobCount : {1u, 3u}) {
        TempDir out;
        TBatchList batch;
        for (const auto& [source, target] : jobs) {
            batch.Entries.push_back(MakeBatchEntry(0, source, out.Path(target)));
        }
        TQuietView quiet;
        TBatchSummary ended;
        TBatchRunOptions options;
        options.Jobs = jobCount;
        options.Ended = [&](const TBatchSummary& s) { ended = s; };
        RunBatch(batch, quiet, runner, std::move(options));
        EXPECT_EQ(ended.Succeeded, 7u) << jobCount;
        EXPECT_EQ(ended.Failed, 1u) << jobCount;
        for (const char* name :
             {"a.shp", "a.shx", "a.dbf", "a.foo", "b.shp", "b.dbf", "c.shp", "e.dbf"}) {
            outputs[jobCount == 1 ? 0 : 1].push_back(ReadFileBytes(out.Path(name)));
        }
    }
    EXPECT_EQ(outputs[0], outputs[1]);
}

TEST_F(BatchRunTest, AFailureOrAStopPartWayKeepsEveryTargetsPreviousFiles) {
    TempDir out;
    const std::string good = Points("good", {"1", "2", "3"});
    const std::string bad =
        Source("bad", std::string(kHeader) + "Point 1 0\r\nPoint x 0\r\n", "1\r\n2\r\n");
    // The previous files: every target converted once from the good source.
    for (const char* name : {"a.shp", "b.shp", "all.shp"}) {
        ASSERT_TRUE(ConvertMifToShp(0, good, out.Path(name)));
    }
    const auto before = testing::FolderFiles(out.Path(""));
    const struct {
        const char* what;
        bool combined;
        std::size_t jobs;
        bool stop;  // stopped at the first object instead of failing
    } runs[] = {{"plain", false, 1, false},    {"plain, stopped", false, 1, true},
                {"two jobs", false, 2, false}, {"two jobs, stopped", false, 2, true},
                {"combined", true, 1, false},  {"combined, stopped", true, 1, true}};
    for (const auto& r : runs) {
        list = TBatchList{};
        list.Entries.push_back(MakeBatchEntry(0, r.stop ? good : bad, out.Path("a.shp")));
        list.Entries.push_back(MakeBatchEntry(0, r.stop ? good : bad, out.Path("b.shp")));
        list.Combine = list.CombineEnabled = r.combined;
        list.CombineFile = out.Path("all.shp");
        // Several jobs report through a view that takes calls from any thread, and no
        // progress: they are stopped before they start.
        TQuietView quiet;
        std::atomic<bool> stop = r.stop && r.jobs > 1;
        view.OnProgress = [&] { stop = stop || r.stop; };
        TBatchRunOptions options;
        options.Jobs = r.jobs;
        options.TempDir = temp.Path() + "/";
        options.Cancel = &stop;
        options.Ended = [this](const TBatchSummary& s) { summary = s; };
        RunBatch(list, r.jobs > 1 ? static_cast<IBatchView&>(quiet) : view, runner,
                 std::move(options));
        EXPECT_EQ(testing::FolderFiles(out.Path("")), before) << r.what;
        EXPECT_EQ(summary.Cancelled, r.stop) << r.what;
        EXPECT_TRUE(fs::is_empty(temp.Path())) << r.what;
    }
}

}  // namespace
}  // namespace varnelo

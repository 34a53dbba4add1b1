// SPDX-License-Identifier: MIT
// The batch list file: its exact bytes, round trips, the checks on loading and the two menu
// commands around them.
#include "app/batch_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "../support/temp_dir.hpp"
#include "app/main_logic.hpp"
#include "fake_main_view.hpp"
#include "os/catalog.hpp"
#include "os/file_system.hpp"
#include "os/text.hpp"

namespace varnelo {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::TFakeMainView;
using testing::WriteFileBytes;
using TCalls = std::vector<std::string>;
using namespace std::string_literals;

TBatchList TwoPoints(bool combine) {
    TBatchList list;
    list.Entries = {MakeBatchEntry(0, "/d/a.mif", "/d/a.shp"),
                    MakeBatchEntry(0, "/d/b.mif", "/e/b.shp")};
    list.Combine = combine;
    list.CombineFile = "/d/all.shp";
    return list;
}

TEST(BatchListFile, IsWrittenAsCrLfLinesWithQuotedTabSeparatedEntries) {
    TempDir dir;
    SaveBatchList(TwoPoints(true), dir.Path("l.txt"));
    EXPECT_EQ(ReadFileBytes(dir.Path("l.txt")),
              "Varnelo\r\n200\r\n-1\r\n/d/all.shp\r\n"
              "\"0\"\t\"/d/a.mif\"\t\"/d/a.shp\"\r\n\"0\"\t\"/d/b.mif\"\t\"/e/b.shp\"\r\n");
}

TEST(BatchListFile, LoadsBackWhatWasSavedWithAnyBytesButLineBreaks) {
    TempDir dir;
    TBatchList list;
    list.Entries = {MakeBatchEntry(4, " lead and trail ", "tab\there"),
                    MakeBatchEntry(2, "\"quoted\" \"\"twice\"\"", "end\""),
                    MakeBatchEntry(1, "/地図/道路.mif", ""), MakeBatchEntry(3, "\"", "\t")};
    list.Entries[0].Status = TEntryStatus::Failure;  // statuses are not saved
    list.CombineFile = "  \"combined\"\tfile ";
    for (const bool combine : {true, false}) {
        list.Combine = combine;
        SaveBatchList(list, dir.Path("l.txt"));
        TBatchList loaded;
        LoadBatchList(dir.Path("l.txt"), loaded);
        EXPECT_EQ(loaded.Combine, combine);
        EXPECT_EQ(loaded.CombineFile, list.CombineFile);
        ASSERT_EQ(loaded.Entries.size(), list.Entries.size());
        for (std::size_t i = 0; i < list.Entries.size(); ++i) {
            const TBatchEntry& e = loaded.Entries[i];
            EXPECT_EQ(e.ConversionType, list.Entries[i].ConversionType);
            EXPECT_EQ(e.TypeName, list.Entries[i].TypeName);
            EXPECT_EQ(e.MifFile, list.Entries[i].MifFile);
            EXPECT_EQ(e.ShpFile, list.Entries[i].ShpFile);
            EXPECT_EQ(e.Status, TEntryStatus::None);
        }
    }

    // A line break or a zero byte in any path: an error naming it, and no file written.
    for (const std::string& bad : {"a\nb.mif"s, "a\rb"s, "a\0b"s}) {
        TBatchList broken = TwoPoints(false);
        broken.Entries[1].ShpFile = bad;
        try {
            SaveBatchList(broken, dir.Path("broken.txt"));
            ADD_FAILURE() << "saved a path with a line break";
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()).rfind("パス \"a?b", 0), 0u) << e.what();
        }
        EXPECT_FALSE(std::filesystem::exists(dir.Path("broken.txt")));
    }
}

TEST(BatchListFile, KeepsItsPathsInTheSystemsCodePage) {
    // POSIX: the path's bytes. Windows: the system's ANSI code page, as in every text file
    // there; 932 on Japanese systems and under the tests' Wine.
    const bool windows = os::PathSeparator() == '\\';
    if (windows && os::PathToSystemText("駅") != "\x89\x77") {
        GTEST_SKIP() << "the system's code page is not 932";
    }
    TempDir dir;
    TBatchList list;
    list.Entries = {MakeBatchEntry(2, "地図/駅.mif", "x.shp")};
    SaveBatchList(list, dir.Path("l.txt"));
    const std::string saved = ReadFileBytes(dir.Path("l.txt"));
    EXPECT_EQ(saved.substr(saved.find('\t')),
              (windows ? "\t\"\x92\x6E\x90\x7D/\x89\x77.mif\"" : "\t\"地図/駅.mif\"") +
                  "\t\"x.shp\"\r\n"s);
    TBatchList loaded;
    LoadBatchList(dir.Path("l.txt"), loaded);
    EXPECT_EQ(loaded.Entries.at(0).MifFile, "地図/駅.mif");

    // A path the code page cannot hold (Korean in 932): the whole list in UTF-8 with its mark.
    list.Entries.push_back(MakeBatchEntry(2, "지도/역.mif", "y.shp"));
    SaveBatchList(list, dir.Path("korean.txt"));
    const std::string korean = ReadFileBytes(dir.Path("korean.txt"));
    EXPECT_EQ(korean.rfind(windows ? "\xEF\xBB\xBFVarnelo\r\n" : "Varnelo\r\n", 0), 0u);
    EXPECT_NE(korean.find("\t\"지도/역.mif\"\t\"y.shp\"\r\n"), std::string::npos);
    loaded = {};
    LoadBatchList(dir.Path("korean.txt"), loaded);
    ASSERT_EQ(loaded.Entries.size(), 2u);
    EXPECT_EQ(loaded.Entries[0].MifFile, "地図/駅.mif");
    EXPECT_EQ(loaded.Entries[1].MifFile, "지도/역.mif");
}

// Lists in UTF-8, as current editors save them by default, with the byte-order mark or
// without; "道路" in UTF-8 happens to be valid code page 932 too.
TEST(BatchListFile, ReadsListsInUtf8AndNamesALineReadNeitherWay) {
    TempDir dir;
    const std::string entries = "\"1\"\t\"/地図/道路.mif\"\t\"/出力/道路.shp\"\r\n";
    for (const std::string& mark : {""s, "\xEF\xBB\xBF"s}) {
        WriteFileBytes(dir.Path("l.txt"),
                       mark + "Varnelo\r\n200\r\n0\r\n/出力/全.shp\r\n" + entries);
        TBatchList list;
        LoadBatchList(dir.Path("l.txt"), list);
        EXPECT_EQ(list.CombineFile, "/出力/全.shp") << mark.size();
        ASSERT_EQ(list.Entries.size(), 1u) << mark.size();
        EXPECT_EQ(list.Entries[0].MifFile, "/地図/道路.mif") << mark.size();
        EXPECT_EQ(list.Entries[0].ShpFile, "/出力/道路.shp") << mark.size();
    }
    // With the mark, a byte that is no UTF-8 is refused, naming its line.
    WriteFileBytes(dir.Path("l.txt"), "\xEF\xBB\xBFVarnelo\r\n200\r\n0\r\n\r\n" + entries +
                                          "\"1\"\t\"a\x81.mif\"\t\"b\"\r\n");
    TBatchList list;
    try {
        LoadBatchList(dir.Path("l.txt"), list);
        ADD_FAILURE() << "read a list with a byte that is no UTF-8";
    } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "バッチリストの 6 行目は UTF-8 としてもシステムのコードページとしても読めません");
    }
    EXPECT_EQ(list.Entries.size(), 1u);
}

TEST(BatchListFile, LoadingChecksTheHeaderLinesAndEachEntrysType) {
    const struct {
        const char* what;
        std::string bytes;
        std::optional<std::string> error;  // the error's text, none when the load succeeds
        bool combine;
        std::string combineFile;
        std::size_t entries;
    } cases[] = {
        {"three lines", "Varnelo\r\n200\r\n-1\r\n", Text(TText::kAppInvalidBatchList), false,
         "keep", 0},
        {"four lines", "Varnelo\r\n200\r\n-1\r\n c.shp", std::nullopt, true, " c.shp", 0},
        {"product word in capitals with blanks, 200 with blanks; CR, LF and CR LF ends",
         "  VARNELO \t\r200  \n0\r\n\r\n\"1\"\t\"a.mif\"\t\"a.shp\"", std::nullopt, false, "", 1},
        {"another product", "Varnelox\r\n200\r\n0\r\n\r\n", Text(TText::kAppInvalidBatchList),
         false, "keep", 0},
        {"another format", "Varnelo\r\n201\r\n0\r\n\r\n", Text(TText::kAppInvalidBatchList), false,
         "keep", 0},
        {"line 3 garbage", "Varnelo\r\n200\r\nyes\r\nc\r\n",
         std::string("'yes' は正しい論理型ではありません"), false, "keep", 0},
        {"unquoted fields, a zero byte ends the text",
         "Varnelo\r\n200\r\n0\r\n\r\n2\ta.mif\ta.shp\r\n3 b.mif b.shp\r\n\0garbage"s, std::nullopt,
         false, "", 2},
        {"a type that is no number keeps the entries before it",
         "Varnelo\r\n200\r\n0\r\n\r\n\"1\"\ta\tb\r\n\"x\"\ta\tb\r\n\"1\"\ta\tb\r\n",
         std::string("'x' は整数ではありません"), false, "", 1},
        {"an empty line is an entry without a type", "Varnelo\r\n200\r\n0\r\n\r\n\r\n\r\n",
         std::string("'' は整数ではありません"), false, "", 0},
        {"a type outside 0-4", "Varnelo\r\n200\r\n0\r\n\r\n5\ta\tb\r\n",
         std::string("変換タイプ 5 はありません"), false, "", 0},
        {"a type written with a plus", "Varnelo\r\n200\r\n0\r\n\r\n+1\ta\tb\r\n",
         std::string("'+1' は整数ではありません"), false, "", 0},
    };
    TempDir dir;
    for (const auto& c : cases) {
        WriteFileBytes(dir.Path("l.txt"), c.bytes);
        TBatchList list;
        list.CombineFile = "keep";
        try {
            LoadBatchList(dir.Path("l.txt"), list);
            EXPECT_FALSE(c.error) << c.what;
        } catch (const Exception& e) {
            EXPECT_EQ(c.error, std::string(e.what())) << c.what;
        }
        EXPECT_EQ(list.Combine, c.combine) << c.what;
        EXPECT_EQ(list.CombineFile, c.combineFile) << c.what;
        EXPECT_EQ(list.Entries.size(), c.entries) << c.what;
    }
    TBatchList list;
    EXPECT_THROW(LoadBatchList(dir.Path("missing.txt"), list), EInOutError);
}

TEST(BatchListFile, LineThreeReadsAsABoolean) {
    for (const char* text : {"1", "-1", "TRUE", "true", " 2.5 "}) {
        EXPECT_TRUE(BatchListBoolean(text)) << text;
    }
    for (const char* text : {"0", "false", "FaLsE", "-0"}) {
        EXPECT_FALSE(BatchListBoolean(text)) << text;
    }
    for (const char* text : {"", "yes", "1x", "T"}) {
        EXPECT_THROW(BatchListBoolean(text), EConvertError) << text;
    }
}

class BatchListCommands : public ::testing::Test {
  protected:
    TempDir dir;
    TFakeMainView view;
    TImmediateRunner runner;
    TMainLogic logic{view, runner, "/x/varnelo"};
};

TEST_F(BatchListCommands, SaveNeedsEntriesAndLoadEmptiesTheListFirst) {
    logic.S1Click();
    EXPECT_EQ(view.Calls, TCalls{"box warning 対象のバッチリストがありません。"});  // no dialog

    // Two text entries: the combine rule holds without reading their files.
    WriteFileBytes(dir.Path("two.txt"),
                   "Varnelo\r\n200\r\n-1\r\nall.shp\r\n3\ta.mif\ta.shp\r\n3\tb.mif\tb.shp\r\n");
    view.DialogAnswers = {dir.Path("two.txt")};
    logic.O1Click();
    EXPECT_EQ(logic.List().Entries.size(), 2u);
    EXPECT_TRUE(logic.List().Combine);
    EXPECT_TRUE(view.CombineEnabled);

    view.Calls.clear();
    view.DialogAnswers = {std::nullopt, dir.Path("saved.txt")};
    logic.O1Click();  // cancelled: nothing changes
    logic.S1Click();
    EXPECT_EQ(view.Calls, (TCalls{"dialog 2", "dialog 3"}));
    EXPECT_EQ(ReadFileBytes(dir.Path("saved.txt")),
              "Varnelo\r\n200\r\n-1\r\nall.shp\r\n\"3\"\t\"a.mif\"\t\"a.shp\"\r\n"
              "\"3\"\t\"b.mif\"\t\"b.shp\"\r\n");

    // A rejected file: the list emptied, the combine flag and name kept, the controls updated.
    WriteFileBytes(dir.Path("bad.txt"), "Varnelo\r\n200\r\n0\r\n");
    view.Calls.clear();
    view.DialogAnswers = {dir.Path("bad.txt")};
    logic.O1Click();
    EXPECT_EQ(view.CallsOf("box"), TCalls{"box error 不正なバッチリストです。"});
    EXPECT_TRUE(logic.List().Entries.empty());
    EXPECT_TRUE(logic.List().Combine);
    EXPECT_EQ(logic.List().CombineFile, "all.shp");
    EXPECT_FALSE(view.CombineEnabled);

    // A bad entry line: the entries before it stay, the controls are updated, then the error.
    WriteFileBytes(dir.Path("late.txt"),
                   "Varnelo\r\n200\r\n0\r\n\r\n3\ta\tb\r\n3\ta\tb\r\n9\ta\tb\r\n");
    view.Calls.clear();
    view.DialogAnswers = {dir.Path("late.txt")};
    logic.Dispatch([&] { logic.O1Click(); });
    EXPECT_EQ(logic.List().Entries.size(), 2u);
    EXPECT_TRUE(view.CombineEnabled);
    EXPECT_EQ(view.Calls.back(), "errordisplay 変換タイプ 9 はありません.");
    EXPECT_EQ(view.CallsOf("list"), (TCalls{"list 3 0", "list 0 0", "list 0 1"}));
}

}  // namespace
}  // namespace varnelo

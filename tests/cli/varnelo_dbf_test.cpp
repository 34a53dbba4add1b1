// SPDX-License-Identifier: MIT
// Golden-output tests of the table viewer: listings, searches, code pages and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "../support/dbf_bytes.hpp"
#include "../support/run_command.hpp"
#include "../support/temp_dir.hpp"
#include "../support/test_system.hpp"
#include "engine/convert.hpp"
#include "os/text.hpp"
#include "varnelo/version.hpp"

namespace varnelo {
namespace {

using testing::DbfTable;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

// "東京駅", "ＡＢＣ" and "ａｂｃ" in code page 932.
const std::string kTokyoStation = "\x93\x8C\x8B\x9E\x89\x77";
const std::string kWideABC = "\x82\x60\x82\x61\x82\x62";
const std::string kWideAbc = "\x82\x81\x82\x82\x82\x83";

// One record of Places(): each value padded to its field, numbers to the right.
std::string Place(char flag, const std::string& name, const std::string& n, const std::string& x,
                  const std::string& rest) {
    return flag + name + std::string(10 - name.size(), ' ') + std::string(5 - n.size(), ' ') + n +
           std::string(8 - x.size(), ' ') + x + rest;
}

// Every kind of field; record 2 is marked deleted, record 4 holds a logical and a date that
// do not convert.
std::string Places() {
    const std::vector<testing::FieldDesc> fields = {
        {"NAME", 'C', 10}, {"N", 'N', 5}, {"X", 'N', 8, 2}, {"OK", 'L', 1}, {"DAY", 'D', 8}};
    return DbfTable(fields, {Place(' ', kTokyoStation, "1", "1.50", "T20050123"),
                             Place('*', "old", "2", "2.00", "F20050124"),
                             Place(' ', kWideABC, "-20", "", "F        "),
                             Place(' ', "tokyo", "3", "12.25", "?20251301"),
                             Place(' ', kWideAbc, "5", "0.00", "T20000229")});
}

class DbfTool : public ::testing::Test {
  protected:
    void SetUp() override {
        table = dir.Path("places.dbf");
        WriteFileBytes(table, Places());
    }
    testing::TToolRun Run(const std::string& args) {
        return testing::RunTool(VARNELO_DBF_EXE, testing::ShellWords(args));
    }
    TempDir dir;
    std::string table;
};

TEST_F(DbfTool, ListsFieldsAndRecordsAligned) {
    const std::string fields =
        "field  type  length  decimals\n"
        "NAME   C         10         0\n"
        "N      N          5         0\n"
        "X      N          8         2\n"
        "OK     L          1         0\n"
        "DAY    D          8         0\n\n";
    const auto run = Run("'" + table + "'");
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(run.Out, table + ": 5 records, 5 fields, text as cp932\n" + fields +
                           "#  NAME      N      X  OK  DAY\n"
                           "1  東京駅    1   1.50  T   2005/01/23\n"
                           "3  ＡＢＣ  -20         F\n"
                           "4  tokyo     3  12.25\n"
                           "5  ａｂｃ    5   0.00  T   2000/02/29\n"
                           "4 of 5 records shown (1 deleted, not shown)\n");

    const auto deleted = Run("--deleted '" + table + "'");
    EXPECT_NE(deleted.Out.find("#   NAME      N      X  OK  DAY\n"
                               "1   東京駅    1   1.50  T   2005/01/23\n"
                               "2*  old       2   2.00  F   2005/01/24\n"),
              std::string::npos)
        << deleted.Out;
    EXPECT_NE(deleted.Out.find("5 of 5 records shown (1 deleted, marked *)\n"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(table), Places());  // never changed
}

TEST_F(DbfTool, FindsRecordsByFieldValues) {
    // The columns are as wide as the records shown need.
    const auto one = Run("--where NAME=東京駅 '" + table + "'");
    EXPECT_NE(one.Out.find("\n\n#  NAME    N     X  OK  DAY\n"
                           "1  東京駅  1  1.50  T   2005/01/23\n"
                           "1 of 5 records match\n"),
              std::string::npos)
        << one.Out;

    const std::pair<std::string, std::string> counts[] = {
        {"--where NAME=ＡＢＣ", "1"},
        {"--where NAME=ａｂｃ --ignore-case", "2"},
        {"--where NAME=TOK --ignore-case --prefix", "1"},
        {"--where NAME=to --prefix", "1"},
        {"--where OK=T --where N=5", "1"},
        {"--where 'DAY=2005/01/24'", "0"},  // the deleted record never matches
        {"--where X=12.250", "1"},
        {"", "4"},
        {"--deleted", "5"},
    };
    for (const auto& [args, count] : counts) {
        const auto run = Run("--count " + args + " '" + table + "'");
        EXPECT_EQ(run.ExitCode, 0) << args << ": " << run.Err;
        EXPECT_EQ(run.Out, count + "\n") << args;
    }
}

TEST_F(DbfTool, DecodesByTheCodePageFileOrAsAsked) {
    const std::string utf8 = dir.Path("utf8.dbf");
    WriteFileBytes(utf8, DbfTable({{"NAME", 'C', 9}}, {" 東京駅"}));
    WriteFileBytes(dir.Path("utf8.cpg"), "UTF-8\r\n");
    const auto decoded = Run("'" + utf8 + "'");
    EXPECT_NE(decoded.Out.find("text as UTF-8 (from " + dir.Path("utf8.cpg") + ")\n"),
              std::string::npos)
        << decoded.Out;
    EXPECT_NE(decoded.Out.find("\n1  東京駅\n"), std::string::npos) << decoded.Out;
    EXPECT_EQ(Run("--count --where NAME=東京駅 '" + utf8 + "'").Out, "1\n");

    const auto raw = Run("--encoding raw '" + table + "'");
    EXPECT_NE(raw.Out.find("\n1  " + kTokyoStation + "    1"), std::string::npos) << raw.Out;
    // Bytes that are not UTF-8 show as "?" when the table is read as UTF-8.
    const auto wrong = Run("--encoding utf-8 '" + table + "'");
    EXPECT_NE(wrong.Out.find("\n1  ?????w    1"), std::string::npos) << wrong.Out;
}

// What a file holds when the tool's output goes to it, as from cmd's "> out.txt": on Windows
// in the system's ANSI code page (code page 932 under a Japanese locale), elsewhere UTF-8;
// UTF-8 when asked; the stored bytes for --encoding raw.
TEST_F(DbfTool, WritesAFileInTheSystemCodePageUnlessAskedForUtf8) {
    const auto written = [&](std::vector<std::string> args, const std::string& stream) {
        os::TCommand command;
        command.Args = {VARNELO_DBF_EXE};
        command.Args.insert(command.Args.end(), args.begin(), args.end());
        command.Output = dir.Path("out.txt");
        command.Error = dir.Path("err.txt");
        EXPECT_TRUE(os::RunCommand(command).Exited(stream == "err" ? 2 : 0));
        return ReadFileBytes(stream == "err" ? command.Error : command.Output);
    };
    const std::optional<std::string> system = os::PathToSystemText("東京駅");
    if (!system) {
        GTEST_SKIP() << "the system's code page holds no Japanese";
    }
    EXPECT_NE(written({table}, "out").find("\n1  " + *system + "    1   1.50"), std::string::npos);
    // A character the code page lacks becomes "?" (standard error goes the same way).
    EXPECT_EQ(written({"--where", "NAME=€", table}, "err"),
              "varnelo-dbf: \"" + os::PathToSystemText("€").value_or("?") +
                  "\" cannot be written in the table's code page\n");
    for (const auto& asked : {std::vector<std::string>{"--output-encoding", "utf-8", table},
                              std::vector<std::string>{table, "--output-encoding=utf-8"}}) {
        EXPECT_NE(written(asked, "out").find("\n1  東京駅    1   1.50"), std::string::npos);
    }
    EXPECT_NE(written({"--encoding", "raw", table}, "out").find("\n1  " + kTokyoStation + "    1"),
              std::string::npos);

    if (testing::HavePosixFacilities()) {
        GTEST_SKIP() << "cmd and its find are Windows' own";
    }
    // A batch file, in the system's code page as Windows keeps them, pipes the listing to find.
    std::string exe = VARNELO_DBF_EXE;
    std::replace(exe.begin(), exe.end(), '/', '\\');
    const std::string script =
        "@echo off\r\n\"" + exe + "\" \"" + table + "\" | find \"東京駅\"\r\n";
    WriteFileBytes(dir.Path("find.bat"), os::PathToSystemText(script).value());
    os::TCommand command;
    command.Args = {"cmd", "/c", dir.Path("find.bat")};
    command.Output = dir.Path("found.txt");
    EXPECT_TRUE(os::RunCommand(command).Exited(0));
    EXPECT_NE(ReadFileBytes(command.Output).find("1  " + *system + "    1   1.50  T"),
              std::string::npos);
}

TEST_F(DbfTool, ShowsAConvertedSampleWithReadableJapanese) {
    const std::string shp = dir.Path("stations.shp");
    ASSERT_TRUE(
        ConvertMifToShp(ctPoint, std::string(VARNELO_SOURCE_DIR) + "/samples/stations.mif", shp));
    const std::string dbf = dir.Path("stations.dbf");
    const std::string before = ReadFileBytes(dbf);
    const auto run = Run("'" + dbf + "'");
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    for (const char* text :
         {"\n1  東京駅 ", "\n3  名古屋 駅 ", "\n4  博多 ", "\n4 of 4 records shown\n"}) {
        EXPECT_NE(run.Out.find(text), std::string::npos) << text << "\n" << run.Out;
    }
    const auto found = Run("--where 'NAME=名古屋 駅' --where STAFFED=T '" + dbf + "'");
    EXPECT_NE(found.Out.find("\n3  名古屋 駅 "), std::string::npos) << found.Out;
    EXPECT_NE(found.Out.find("\n1 of 4 records match\n"), std::string::npos) << found.Out;
    EXPECT_EQ(ReadFileBytes(dbf), before);
}

TEST_F(DbfTool, ExplainsWhatItCannotDo) {
    const std::string none = dir.Path("none.dbf");
    const std::pair<std::string, std::pair<int, std::string>> cases[] = {
        {"'" + none + "'", {1, "varnelo-dbf: " + none + ": table not found\n"}},
        {"--where NAME '" + table + "'",
         {2, "varnelo-dbf: --where takes FIELD=VALUE, not \"NAME\"\n"}},
        {"--where NONE=1 '" + table + "'",
         {2, "varnelo-dbf: no field \"NONE\" in " + table + "\n"}},
        {"--where N=x '" + table + "'", {2, "varnelo-dbf: 'x' is not a valid integer value\n"}},
        {"--where NAME=€ '" + table + "'",
         {2, "varnelo-dbf: \"€\" cannot be written in the table's code page\n"}},
    };
    for (const auto& [args, expected] : cases) {
        const auto run = Run(args);
        EXPECT_EQ(run.ExitCode, expected.first) << args;
        EXPECT_EQ(run.Err, expected.second) << args;
        EXPECT_EQ(run.Out, "") << args;
    }
    EXPECT_EQ(Run("--encoding latin1 '" + table + "'").ExitCode, 2);
    EXPECT_EQ(Run("--version").Out, std::string("varnelo-dbf ") + VARNELO_VERSION + "\n");
    if (!testing::HavePosixFacilities()) {
        GTEST_SKIP() << "/dev/full, a device that is always full, is not available";
    }
    os::TCommand full;
    full.Args = {VARNELO_DBF_EXE, table};
    full.Output = "/dev/full";
    full.Error = dir.Path("stderr.txt");
    EXPECT_TRUE(os::RunCommand(full).Exited(1));
    EXPECT_NE(ReadFileBytes(full.Error).find("cannot write to standard output"), std::string::npos);
}

}  // namespace
}  // namespace varnelo

// SPDX-License-Identifier: MIT
// varnelo-convert --batch: saved batch lists run without a window, plain or combined, with one
// or several jobs; the lines it prints and its exit codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/outcome_sources.hpp"
#include "../support/run_command.hpp"
#include "../support/temp_dir.hpp"
#include "../support/tool_text.hpp"

namespace varnelo {
namespace {

using testing::TempDir;
using testing::ToolText;
using testing::WriteFileBytes;

const std::string kSamples = VARNELO_SOURCE_DIR "/samples/";

class ConvertBatch : public ::testing::Test {
  protected:
    // A batch list file of the given combine flag, combined name and entry lines.
    std::string List(const std::string& flag, const std::string& combined,
                     const std::vector<std::string>& entries) {
        const std::string path = dir.Path("list" + std::to_string(++lists) + ".txt");
        std::string text = "Varnelo\r\n200\r\n" + flag + "\r\n" + combined + "\r\n";
        for (const std::string& entry : entries) {
            text += entry + "\r\n";
        }
        WriteFileBytes(path, text);
        return path;
    }
    std::string Entry(int type, const std::string& mif, const std::string& shp) {
        std::string line = "\"";  // appended piece by piece: GCC 12 at -O3 misjudges "a" + b
        line.append(std::to_string(type)).append("\"\t\"").append(mif);
        return line.append("\"\t\"").append(dir.Path(shp)).append("\"");
    }
    testing::TToolRun Run(const std::string& args) {
        return testing::RunTool(VARNELO_CONVERT_EXE, testing::ShellWords(args));
    }

    TempDir dir;
    int lists = 0;
};

TEST_F(ConvertBatch, RunsEachEntryWithOneLineAsItEndsThenASummary) {
    WriteFileBytes(dir.Path("nomid.mif"),
                   "Version 300\r\nColumns 1\r\n  N Integer\r\nData\r\nPoint 1 2\r\n");
    const std::string list = List(
        "0", "",
        {Entry(0, kSamples + "stations.mif", "st.shp"), Entry(0, dir.Path("nomid.mif"), "x.shp"),
         Entry(0, dir.Path("absent.mif"), "y.shp"), Entry(2, kSamples + "parcels.mif", "pa.shp")});
    const auto run = Run("--batch '" + list + "'");
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Out,
              "[1/4] ok: " + kSamples + "stations.mif -> " + dir.Path("st.shp") +
                  ": 4 records\n[2/4] ok: " + dir.Path("nomid.mif") + " -> " + dir.Path("x.shp") +
                  ": 1 records (no " + dir.Path("nomid.mid") + " beside " + dir.Path("nomid.mif") +
                  ": every attribute was left empty)\n[3/4] failed: " + dir.Path("absent.mif") +
                  " -> " + dir.Path("y.shp") + ": source not found\n[4/4] ok: " + kSamples +
                  "parcels.mif -> " + dir.Path("pa.shp") +
                  ": 6 records\n4 entries: 3 converted, 1 failed, 0 with nothing to write\n");

    // Several jobs, two of them writing the same target.
    const std::string good = List(
        "0", "",
        {Entry(0, kSamples + "stations.mif", "st.shp"), Entry(1, kSamples + "roads.mif", "ro.shp"),
         Entry(2, kSamples + "parcels.mif", "st.shp")});
    const auto two = Run("--batch '" + good + "' --jobs 2");
    EXPECT_EQ(two.ExitCode, 0);
    EXPECT_NE(two.Out.find("\n3 entries: 3 converted, 0 failed, 0 with nothing to write\n"),
              std::string::npos);
}

TEST_F(ConvertBatch, CombinesWhenTheListSaysSoAndTheEntriesMayBeCombined) {
    const std::string stations = Entry(0, kSamples + "stations.mif", "a.shp");
    const auto combined =
        Run("--batch '" + List("-1", dir.Path("all.shp"), {stations, stations}) + "'");
    EXPECT_EQ(combined.ExitCode, 0);
    EXPECT_EQ(combined.Out,
              "[1/2] joined: " + kSamples + "stations.mif\n[2/2] joined: " + kSamples +
                  "stations.mif\n2 entries combined into " + dir.Path("all.shp") + ": 8 records\n");

    // Two types cannot be combined: every entry on its own, whatever the flag says.
    const auto plain =
        Run("--batch '" + List("-1", "", {stations, Entry(2, kSamples + "parcels.mif", "p.shp")}) +
            "'");
    EXPECT_EQ(plain.ExitCode, 0);
    EXPECT_NE(plain.Out.find("2 entries: 2 converted, 0 failed"), std::string::npos);
}

TEST_F(ConvertBatch, ListsThatCannotBeReadOrRunSayWhyOnStandardError) {
    const std::string stations = Entry(0, kSamples + "stations.mif", "a.shp");
    std::filesystem::copy_file(kSamples + "stations.mif", dir.Path("s.mif"));
    std::filesystem::copy_file(kSamples + "stations.mid", dir.Path("s.mid"));
    const struct {
        std::string args;
        int exitCode;
        std::string message;  // the start of what stderr shows
    } cases[] = {
        {"--batch '" + dir.Path("none.txt") + "'", 2,
         "varnelo-convert: cannot open file \"" + dir.Path("none.txt") + "\""},
        {"--batch '" + List("yes", "", {stations}) + "'", 2,
         "varnelo-convert: " + ToolText(TText::kAppNotABoolean, "yes")},
        {"--batch '" + List("0", "", {}) + "'", 1,
         "varnelo-convert: " + ToolText(TText::kAppNoBatchList) + "\n"},
        {"--batch '" + List("0", "", {Entry(0, dir.Path("s.mif"), "./s.mid")}) + "'", 1,
         "varnelo-convert: " + ToolText(TText::kAppTargetIsSource, dir.Path("./s.mid")) + "\n"},
        {"--batch l.txt --type point", 2,
         "varnelo-convert: " + ToolText(TText::kCliUsageExcludes, "--type", "--batch") + "\n" +
             ToolText(TText::kCliRunWithHelp)},
    };
    WriteFileBytes(dir.Path("bad.txt"), "Varnelo\r\n200\r\n");
    for (const auto& c : cases) {
        const auto run = Run(c.args);
        EXPECT_EQ(run.ExitCode, c.exitCode) << c.args;
        EXPECT_EQ(run.Err.rfind(c.message, 0), 0u) << c.args << "\n" << run.Err;
    }
    const auto invalid = Run("--batch '" + dir.Path("bad.txt") + "'");
    EXPECT_EQ(invalid.ExitCode, 2);
    EXPECT_EQ(invalid.Out + invalid.Err,
              "varnelo-convert: " + ToolText(TText::kAppInvalidBatchList) + "\n");
}

// Each source as polygons over a good earlier output, by the tool and by --batch (plain, and
// combined with itself): the exit code says how it ended (0 written, 3 nothing written, 1
// failed), the summary counts it, and only a conversion that wrote replaces the files.
TEST_F(ConvertBatch, ExitCodesTellFailedNothingWrittenAndWrittenApart) {
    const std::string out = dir.Path("out");
    std::filesystem::create_directory(out);
    const std::string target = out + "/t.shp";
    const int exitCode[] = {1, 3, 0};
    const char* const counts[] = {"0 converted, 1 failed, 0 with nothing to write",
                                  "0 converted, 0 failed, 1 with nothing to write",
                                  "1 converted, 0 failed, 0 with nothing to write"};
    for (const testing::TOutcomeSource& source : testing::OutcomeSources()) {
        SCOPED_TRACE(source.Name);
        const std::string mif = testing::WriteOutcomeSource(dir.Path(), source);
        const auto expect = static_cast<std::size_t>(source.Outcome);
        const std::string entry = Entry(2, mif, "out/t.shp");
        for (int caller = 0; caller < 3; ++caller) {  // the tool, plain --batch, combined
            ASSERT_EQ(Run("-t polygon " + kSamples + "parcels.mif " + target).ExitCode, 0);
            const auto before = testing::FolderFiles(out);
            const testing::TToolRun run = caller == 0 ? Run("-t polygon " + mif + " " + target)
                                          : caller == 1
                                              ? Run("--batch " + List("0", "", {entry}))
                                              : Run("--batch " + List("1", target, {entry, entry}));
            EXPECT_EQ(run.ExitCode, exitCode[expect]) << caller << run.Out << run.Err;
            if (caller == 0 && expect == 0) {
                EXPECT_NE(run.Err.find(ToolText(TText::kEngineNoDataLine)), std::string::npos)
                    << run.Err;
            }
            if (caller == 1) {
                EXPECT_NE(run.Out.find(counts[expect]), std::string::npos) << run.Out;
            }
            EXPECT_TRUE(testing::FolderAfter(source.Outcome, before, out)) << caller;
        }
    }
}

}  // namespace
}  // namespace varnelo

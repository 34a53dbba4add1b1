// SPDX-License-Identifier: MIT
// Golden-output tests of the command-line converter: exit codes, messages and files.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../support/dbf_values.hpp"
#include "../support/run_command.hpp"
#include "../support/temp_dir.hpp"
#include "../support/test_system.hpp"
#include "../support/tool_text.hpp"

namespace varnelo {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::ToolText;
using testing::WriteFileBytes;

struct TRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the tool with `args`, capturing both streams.
TRun RunTool(const std::vector<std::string>& args) {
    const testing::TToolRun result = testing::RunTool(VARNELO_CONVERT_EXE, args);
    return {result.ExitCode, result.Out, result.Err};
}

std::string Sample(const std::string& name) {
    return std::string(VARNELO_SOURCE_DIR) + "/samples/" + name;
}

class ConvertTool : public ::testing::Test {
  protected:
    // Writes name.mif (a short header, the columns and data given) and name.mid, and runs a
    // point conversion of them into o.shp.
    TRun ConvertPoints(const std::string& name, const std::string& columnsAndData,
                       const std::string& mid) {
        WriteFileBytes(dir.Path(name + ".mif"), "Version 300\r\n" + columnsAndData);
        WriteFileBytes(dir.Path(name + ".mid"), mid);
        return RunTool({"-t", "point", dir.Path(name + ".mif"), dir.Path("o.shp")});
    }

    TempDir dir;
};

TEST_F(ConvertTool, ConvertsASampleAndSummarisesOnStdout) {
    const std::string target = dir.Path("st.shp");
    const TRun run = RunTool({"--type", "point", Sample("stations.mif"), target});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "4 records written: " + target + ", " + dir.Path("st.shx") + ", " +
                           dir.Path("st.dbf") + "\ncode page 932 written: " + dir.Path("st.cpg") +
                           "\ncoordinate system GCS_WGS_1984 (EPSG:4326) written: " +
                           dir.Path("st.prj") + "\n");
    EXPECT_EQ(run.err, ToolText(TText::kEnginePreparing) + "\n" +
                           ToolText(TText::kEngineConverting, Sample("stations.mif")) + "\n" +
                           ToolText(TText::kEngineFinishing) + "\n");
    EXPECT_EQ(ReadFileBytes(target).size(), 212u);

    // What the header does not tell is named, with the reason.
    WriteFileBytes(dir.Path("plane.mif"),
                   "Version 300\r\nCharset \"MacRoman\"\r\nCoordSys NonEarth Units \"m\"\r\n"
                   "Columns 0\r\nData\r\n");
    WriteFileBytes(dir.Path("plane.mid"), "");
    const TRun plane = RunTool({"-t", "0", dir.Path("plane.mif"), dir.Path("plane.shp")});
    EXPECT_NE(plane.out.find("\nno code page written: " +
                             ToolText(TText::kEngineNoCodePage, "\"MacRoman\"") +
                             "\nno coordinate system written: " +
                             ToolText(TText::kEngineCrsNonEarth) + "\n"),
              std::string::npos)
        << plane.out;

    // So is every column of a type the reader does not know.
    const TRun unknown = ConvertPoints(
        "blob", "Columns 3\r\n  A Blob\r\n  B Char(3)\r\n  C Raster\r\nData\r\nPoint 1 2\r\n",
        "x,y,z\r\n");
    EXPECT_EQ(unknown.exitCode, 0) << unknown.err;
    EXPECT_NE(unknown.out.find("\n" + ToolText(TText::kEngineKeptAsText, "A", 254) + "\n" +
                               ToolText(TText::kEngineKeptAsText, "C", 254) + "\n"),
              std::string::npos)
        << unknown.out;
}

TEST_F(ConvertTool, AcceptsTypeNumbersAndEveryTypeName) {
    const std::pair<const char*, const char*> cases[] = {
        {"1", "roads.mif"},          {"polyline", "roads.mif"},    {"2", "parcels.mif"},
        {"polygon", "parcels.mif"},  {"text-point", "labels.mif"}, {"3", "labels.mif"},
        {"text-line", "labels.mif"}, {"4", "labels.mif"},          {"0", "stations.mif"}};
    for (const auto& [type, sample] : cases) {
        const TRun run = RunTool({"-t", type, Sample(sample), dir.Path("o.shp")});
        EXPECT_EQ(run.exitCode, 0) << type << ": " << run.err;
    }
}

TEST_F(ConvertTool, UsageErrorsExitWithTwo) {
    EXPECT_EQ(RunTool({}).exitCode, 2);
    EXPECT_EQ(RunTool({"--type", "point", "onlyone.mif"}).exitCode, 2);
    const TRun badType = RunTool({"--type", "circle", "a.mif", "b.shp"});
    EXPECT_EQ(badType.exitCode, 2);
    EXPECT_NE(badType.err.find("unknown conversion type 'circle'"), std::string::npos)
        << badType.err;
    EXPECT_EQ(RunTool({"--type", "5", "a.mif", "b.shp"}).exitCode, 2);
    EXPECT_EQ(RunTool({"--type", "+1", "a.mif", "b.shp"}).exitCode, 2);  // numbers only plain
    EXPECT_EQ(RunTool({"--type", "0", "--date-order", "ymd", "a.mif", "b.shp"}).exitCode, 2);
    EXPECT_EQ(RunTool({"--batch", "l.txt", "--keep-partial"}).exitCode, 2);
    EXPECT_EQ(RunTool({"--type", "0", "--threads", "3", "a.mif", "b.shp"}).exitCode, 2);

    // What was wrong, taken from the arguments, then where to look for help.
    const std::pair<std::vector<std::string>, std::string> messages[] = {
        {{"--type", "point"}, "source is required"},
        {{"--type"}, "--type needs a value"},
        {{"-t", "0", "--threads", "3", "a.mif", "b.shp"}, "--threads: 3 is not a valid value"},
        {{"-t", "0", "-r", "a.mif", "b.shp"}, "--recursive needs --out"},
        {{"-t", "0", "--bogus", "a.mif", "b.shp"}, "arguments not expected: --bogus"},
    };
    for (const auto& [args, message] : messages) {
        EXPECT_EQ(RunTool(args).err,
                  "varnelo-convert: " + message + "\nRun with --help for more information.\n");
    }
}

TEST_F(ConvertTool, HelpAndVersion) {
    const TRun help = RunTool({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("text-point"), std::string::npos);
    const TRun version = RunTool({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("varnelo-convert ", 0), 0u) << version.out;
}

TEST_F(ConvertTool, ToolsFailWhenStandardOutputCannotBeWritten) {
    if (!testing::HavePosixFacilities()) {
        GTEST_SKIP() << "/dev/full, a device that is always full, is not available";
    }
    const std::vector<std::string> commands[] = {
        {VARNELO_CONVERT_EXE, "--version"},
        {VARNELO_CONVERT_EXE, "--type", "point", Sample("stations.mif"), dir.Path("st.shp")},
        {VARNELO_MIFINFO_EXE, "--version"},
        {VARNELO_MIFINFO_EXE, Sample("stations.mif")},
    };
    for (const auto& args : commands) {
        os::TCommand command;
        command.Args = args;
        command.Output = "/dev/full";
        command.Error = dir.Path("stderr.txt");
        const os::TChildOutcome outcome = os::RunCommand(command);
        const std::string error = ReadFileBytes(command.Error);
        EXPECT_TRUE(outcome.Exited(1)) << args[1];
        EXPECT_NE(error.find("cannot write to standard output"), std::string::npos)
            << args[1] << ": " << error;
    }
}

TEST_F(ConvertTool, ExplainsMissingSourcesAndUncreatableTargets) {
    const TRun noMif = RunTool({"-t", "0", dir.Path("absent.mif"), dir.Path("o.shp")});
    EXPECT_EQ(noMif.exitCode, 1);
    EXPECT_EQ(noMif.err, "varnelo-convert: source not found: " + dir.Path("absent.mif") + "\n");

    // Without its .mid a source converts, and the summary says what that cost.
    WriteFileBytes(dir.Path("lonely.mif"),
                   "Version 300\r\nColumns 1\r\n  N Integer\r\nData\r\nPoint 1 2\r\n");
    const TRun noMid = RunTool({"-t", "0", dir.Path("lonely.mif"), dir.Path("o.shp")});
    EXPECT_EQ(noMid.exitCode, 0) << noMid.err;
    EXPECT_NE(noMid.out.find("\nno " + dir.Path("lonely.mid") + " beside " +
                             dir.Path("lonely.mif") + ": every attribute was left empty\n"),
              std::string::npos)
        << noMid.out;

    const std::string target = dir.Path("no/such/folder/o.shp");
    const TRun noFolder = RunTool({"-t", "0", Sample("stations.mif"), target});
    EXPECT_EQ(noFolder.exitCode, 1);
    EXPECT_NE(noFolder.err.find("varnelo-convert: " +
                                ToolText(TText::kCliConversionFailed,
                                         ToolText(TText::kShapeCannotCreateFile, target,
                                                  ToolText(TText::kErrorNotFound)))),
              std::string::npos)
        << noFolder.err;

    // Nothing to write: what the file holds instead, and the type that takes it.
    const TRun none = RunTool({"-t", "2", Sample("stations.mif"), dir.Path("o.shp")});
    EXPECT_EQ(none.exitCode, 3);
    const std::string holds =
        ToolText(TText::kAppNoObjectOfKind, ToolText(TText::kAppKindPolygons)) + "\n" +
        ToolText(TText::kAppConvertKindAs, ToolText(TText::kAppKindPoints), 4,
                 ToolText(TText::kAppTypePoint));
    EXPECT_NE(none.out.find("\n" + holds), std::string::npos) << none.out;
}

TEST_F(ConvertTool, TypeAllWritesAShapefilePerKindHeldAndMifinfoNamesTheTypesThatWriteRecords) {
    const std::string data =
        "Point 1 2\r\nLine 0 0 1 1\r\nRegion 1\r\n 3\r\n0 0\r\n1 1\r\n1 0\r\n"
        "Text \"t\"\r\n 0 0 1 1\r\nPoint 3 4\r\n";
    WriteFileBytes(dir.Path("m.mif"), "Version 300\r\nColumns 1\r\n  N Integer\r\nData\r\n" + data);
    WriteFileBytes(dir.Path("m.mid"), "1\r\n2\r\n3\r\n4\r\n5\r\n");
    const auto triple = [&](const std::string& name) {
        return dir.Path(name + ".shp") + ", " + dir.Path(name + ".shx") + ", " +
               dir.Path(name + ".dbf");
    };
    const TRun all = RunTool({"--type", "all", dir.Path("m.mif"), dir.Path("o.shp")});
    EXPECT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(all.out, "2 records written: " + triple("o_point") + "\n1 records written: " +
                           triple("o_line") + "\n1 records written: " + triple("o_polygon") +
                           "\n1 records written: " + triple("o_text") +
                           "\ncode page 932 written: " + dir.Path("o_point.cpg") + ", " +
                           dir.Path("o_line.cpg") + ", " + dir.Path("o_polygon.cpg") + ", " +
                           dir.Path("o_text.cpg") + "\nno coordinate system written: " +
                           ToolText(TText::kEngineCrsNoCoordSys) + "\n");
    const std::string info = testing::RunTool(VARNELO_MIFINFO_EXE, {dir.Path("m.mif")}).Out;
    EXPECT_NE(info.find("\nrecords by --type:\n  point      2\n  polyline   1\n  polygon    1\n"
                        "  text-point 1\n  text-line  1\n  all        5 in 4 files\n"),
              std::string::npos)
        << info;

    // One kind alone: one shapefile, and the set's others are gone.
    WriteFileBytes(dir.Path("p.mif"), "Version 300\r\nData\r\nPoint 1 2\r\n");
    const TRun points = RunTool({"-t", "all", dir.Path("p.mif"), dir.Path("o")});
    EXPECT_EQ(points.exitCode, 0) << points.err;
    EXPECT_EQ(points.out.rfind("1 records written: " + triple("o_point") + "\ncode page", 0), 0u)
        << points.out;
    EXPECT_FALSE(std::filesystem::exists(dir.Path("o_line.shp")));
    const std::string pointInfo = testing::RunTool(VARNELO_MIFINFO_EXE, {dir.Path("p.mif")}).Out;
    EXPECT_NE(pointInfo.find("\nrecords by --type:\n  point      1\n  all        1 in 1 file\n"),
              std::string::npos)
        << pointInfo;
}

TEST_F(ConvertTool, MifinfoListsAFolderALineAFile) {
    WriteFileBytes(dir.Path("m.mif"), "Version 300\r\nCharset \"Neutral\"\r\nCoordSys Earth "
                                      "Projection 1, 104\r\nData\r\nPoint 1 2\r\nText \"t\"\r\n0 0 1 1\r\n");
    std::filesystem::create_directory(dir.Path("sub"));
    WriteFileBytes(dir.Path("sub/l.mif"), "Version 300\r\nData\r\nLine 0 0 1 1\r\n");
    const std::string sep(1, os::PathSeparator());  // the tool joins the names it lists
    const testing::TToolRun csv =
        testing::RunTool(VARNELO_MIFINFO_EXE, {"--csv", "-r", dir.Path()});
    EXPECT_EQ(csv.ExitCode, 0) << csv.Err;
    EXPECT_EQ(csv.Out, "file,points,polylines,polygons,texts,types,charset,coordsys\n" +
                           dir.Path() + sep + "m.mif" +
                           ",1,0,0,1,\"point,text-point,text-line\",Neutral,\"Earth Projection 1, "
                           "104\"\n" +
                           dir.Path() + sep + "sub" + sep + "l.mif" + ",0,1,0,0,polyline,,\n");
    const testing::TToolRun table =
        testing::RunTool(VARNELO_MIFINFO_EXE, {dir.Path("m.mif"), dir.Path("none.mif")});
    EXPECT_EQ(table.ExitCode, 1);
    EXPECT_NE(table.Err.find(dir.Path("none.mif")), std::string::npos) << table.Err;
    EXPECT_NE(table.Out.find("      1          0         0      1  point,text-point,text-line  "
                             "Neutral  Earth Projection 1, 104\n"),
              std::string::npos)
        << table.Out;
}

// Every file under `folder`, by its path from there, with its bytes.
std::map<std::string, std::string> TreeFiles(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[std::filesystem::relative(entry.path(), folder).generic_string()] =
                ReadFileBytes(entry.path().string());
        }
    }
    return files;
}

TEST_F(ConvertTool, ManySourcesIntoAFolderWriteWhatOneCallPerSourceWrites) {
    const std::string in = dir.Path("in");
    std::filesystem::create_directories(in + "/sub");
    std::filesystem::copy(std::string(VARNELO_SOURCE_DIR) + "/samples", in);
    for (const char* name : {"roads.mif", "roads.mid", "labels.mif", "labels.mid"}) {
        std::filesystem::copy_file(Sample(name), in + "/sub/" + name);
    }
    const TRun many = RunTool({"--type", "all", "--out", dir.Path("many"), "-r", "--jobs", "2", in});
    EXPECT_EQ(many.exitCode, 0) << many.err;
    EXPECT_NE(many.out.find("\n8 sources: 8 written, 0 with nothing to write, 0 failed\n"),
              std::string::npos)
        << many.out;
    for (const auto& [relative, bytes] : TreeFiles(in)) {
        if (relative.ends_with(".mif")) {
            const std::string stem = relative.substr(0, relative.size() - 4);
            std::filesystem::create_directories(dir.Path("one/sub"));
            EXPECT_EQ(RunTool({"-t", "all", in + "/" + relative, dir.Path("one/" + stem)}).exitCode, 0);
        }
    }
    EXPECT_EQ(TreeFiles(dir.Path("many")), TreeFiles(dir.Path("one")));

    // Two sources writing one target: refused before anything is written.
    const TRun clash = RunTool({"-t", "polyline", "--out", dir.Path("clash"), in + "/roads.mif",
                                in + "/sub"});
    EXPECT_EQ(clash.exitCode, 2);
    EXPECT_NE(clash.err.find("would both write"), std::string::npos) << clash.err;
    EXPECT_FALSE(std::filesystem::exists(dir.Path("clash")));
    // A source without the type's objects: nothing to write.
    EXPECT_EQ(RunTool({"-t", "point", "--out", dir.Path("p"), in + "/roads.mif"}).exitCode, 3);
}

TEST_F(ConvertTool, NamesTheLineWhereAConversionFailed) {
    const std::string columns = "Columns 1\r\n  N Integer\r\nData\r\n";
    const TRun run = ConvertPoints("bad", columns + "Point 1 2\r\nPoint 3 x4\r\n", "1\r\n2\r\n");
    EXPECT_EQ(run.exitCode, 1);
    // The place is said once, before the cause: the file by its name and the line.
    const auto failureLine = [](const std::string& err) {
        const std::size_t at = err.find("varnelo-convert: conversion failed: ");
        return at == std::string::npos ? std::string() : err.substr(at, err.find('\n', at) - at);
    };
    const std::string line = failureLine(run.err);
    EXPECT_NE(line.find("bad.mif"), std::string::npos) << run.err;
    EXPECT_EQ(line.find(dir.Path("bad.mif")), std::string::npos) << line;
    EXPECT_EQ(line.find("bad.mif", line.find("bad.mif") + 1), std::string::npos) << line;
    EXPECT_NE(line.find(" 6"), std::string::npos) << line;
    EXPECT_NE(line.find("\"x4\""), std::string::npos) << line;

    // A value its field does not take is named by its .mid line.
    const TRun value =
        ConvertPoints("bad", columns + "Point 1 2\r\nPoint 3 4\r\n", "1\r\nfour\r\n");
    EXPECT_EQ(value.exitCode, 1);
    const std::string midLine = failureLine(value.err);
    EXPECT_NE(midLine.find("bad.mid"), std::string::npos) << value.err;
    EXPECT_EQ(midLine.find("bad.mid", midLine.find("bad.mid") + 1), std::string::npos) << midLine;
    EXPECT_NE(midLine.find("\"four\""), std::string::npos) << midLine;
}

// The names in the folder and the bytes of the files of the set o.shp.
std::map<std::string, std::string> FolderFiles(const TempDir& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(os::FsPath(dir.Path()))) {
        const std::string name = os::PathText(entry.path().filename());
        files[name] = name.rfind("o.", 0) == 0 ? ReadFileBytes(dir.Path(name)) : "";
    }
    return files;
}

TEST_F(ConvertTool, ReplacesTheTargetOnlyWithACompleteNewSet) {
    const TRun first = RunTool({"-t", "0", Sample("stations.mif"), dir.Path("o.shp")});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    WriteFileBytes(dir.Path("bad.mid"), "");  // listed before the snapshot
    const auto before = FolderFiles(dir);
    ASSERT_EQ(before.count("o.prj"), 1u);

    // A value its field does not take on the third row: the old set stays as it was and no
    // temporary file is left.
    const std::string columns = "Columns 1\r\n  N Integer\r\nData\r\n";
    const std::string points = "Point 1 2\r\nPoint 3 4\r\nPoint 5 6\r\n";
    const TRun failed = ConvertPoints("bad", columns + points, "1\r\n2\r\nthree\r\n");
    EXPECT_EQ(failed.exitCode, 1);
    auto after = FolderFiles(dir);
    after.erase("bad.mif");
    EXPECT_EQ(after, before);

    // Kept for inspection: what was written, under the target's names; the old .prj, which
    // would speak for the new data, is gone.
    const TRun kept =
        RunTool({"--keep-partial", "-t", "0", dir.Path("bad.mif"), dir.Path("o.shp")});
    EXPECT_EQ(kept.exitCode, 1);
    EXPECT_NE(kept.err.find("the files written so far were kept: " + dir.Path("o.shp")),
              std::string::npos)
        << kept.err;
    auto partial = FolderFiles(dir);
    EXPECT_EQ(partial["o.shp"].size(), 100u + 3 * 28);  // a record goes before its row
    EXPECT_EQ(testing::DbfColumn(dir.Path("o.dbf"), "N"), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(partial.count("o.prj"), 0u);
    EXPECT_EQ(partial.size(), before.size());  // no .prj, but bad.mif

    // Success: the new set in place, every file of it new, with the old files' permissions.
    namespace fs = std::filesystem;
    fs::permissions(dir.Path("o.shp"), fs::perms::group_write, fs::perm_options::add);
    const TRun good = ConvertPoints("bad", columns + points, "1\r\n2\r\n3\r\n");
    EXPECT_EQ(good.exitCode, 0) << good.err;
    EXPECT_NE(fs::status(dir.Path("o.shp")).permissions() & fs::perms::group_write,
              fs::perms::none);
    const auto replaced = FolderFiles(dir);
    EXPECT_EQ(replaced.at("o.shp").size(), 100u + 3 * 28);
    EXPECT_EQ(testing::DbfColumn(dir.Path("o.dbf"), "N"),
              (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(replaced.size(), partial.size());
}

TEST_F(ConvertTool, AnInterruptedConversionLeavesNoTemporaryFiles) {
    if (!testing::HavePosixFacilities()) {
        GTEST_SKIP() << "the tool is stopped by a shell's kill -TERM; on Windows an interruption "
                        "is Ctrl+C at the tool's own console";
    }
    std::string points;
    for (int i = 0; i < 300000; ++i) {
        points += "Point 1 2\n";
    }
    WriteFileBytes(dir.Path("big.mif"), "Version 300\nColumns 0\nData\n" + points);
    WriteFileBytes(dir.Path("big.mid"), "");
    // Terminated while the temporary .shp exists, that is while converting.
    const std::string script = std::string("'") + VARNELO_CONVERT_EXE + "' -t 0 '" +
                               dir.Path("big.mif") + "' '" + dir.Path("o.shp") +
                               "' >/dev/null 2>&1 & pid=$!\n"
                               "while kill -0 $pid 2>/dev/null && ! ls -A '" +
                               dir.Path() +
                               "' | grep -q '^[.]o[.].*[.]shp$'; do sleep 0.01; done\n"
                               "kill -TERM $pid; wait $pid; echo $?";
    const auto result = testing::RunCommand(script);
    EXPECT_EQ(result.Output, "143\n");
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
    }
}

TEST_F(ConvertTool, LenientConversionLeavesValuesThatDoNotFitEmptyAndListsThem) {
    const std::string mif = "Columns 3\r\n  N Integer\r\n  D Date\r\n  F Float\r\nData\r\n" +
                            std::string("Point 1 2\r\n") + "Point 3 4\r\n" + "Point 5 6\r\n";
    const std::string mid =
        "7,2002/03/05,1.5\r\nmany,05/03/2002,12345678901234567\r\nx,31/12/2001,\"1\x01\x32\"\r\n";
    WriteFileBytes(dir.Path("v.mif"), "Version 300\r\n" + mif);
    WriteFileBytes(dir.Path("v.mid"), mid);
    const auto run = [&](std::vector<std::string> options) {
        options.insert(options.end(), {"-t", "0", dir.Path("v.mif"), dir.Path("o.shp")});
        return RunTool(options);
    };

    EXPECT_EQ(run({}).exitCode, 1);  // without the option nothing changes

    const TRun lenient = run({"--lenient"});
    EXPECT_EQ(lenient.exitCode, 0) << lenient.err;
    EXPECT_NE(lenient.out.find("\n6 values of " + dir.Path("v.mid") +
                               " did not fit their fields and were left empty:\n"
                               "  line 2, field N: \"many\"\n"
                               "  line 2, field D: \"05/03/2002\"\n"
                               "  line 2, field F: \"12345678901234567\"\n"
                               "  line 3, field N: \"x\"\n"
                               "  line 3, field D: \"31/12/2001\"\n"
                               "  and 1 more\n"),
              std::string::npos)
        << lenient.out;
    // A column named in code page 932 is listed as the user reads it, decoded once.
    WriteFileBytes(dir.Path("j.mif"), "Version 300\r\nColumns 1\r\n  \x90\x94 Integer\r\nData\r\n"
                                      "Point 1 2\r\n");
    WriteFileBytes(dir.Path("j.mid"), "five\r\n");
    const TRun named = RunTool({"--lenient", "-t", "0", dir.Path("j.mif"), dir.Path("j.shp")});
    EXPECT_NE(named.out.find(" 数: \"five\"\n"), std::string::npos) << named.out;
    const std::string dbf = dir.Path("o.dbf");
    EXPECT_EQ(testing::DbfColumn(dbf, "N"), (std::vector<std::string>{"7", "", ""}));
    EXPECT_EQ(testing::DbfColumn(dbf, "F"), (std::vector<std::string>{"1.5", "", ""}));
    // No value is the field's blanks, as the table engine writes a missing value.
    EXPECT_EQ(ReadFileBytes(dbf).substr(129 + 41 + 1, 16), std::string(16, ' '));

    // Dates with the year last read in the order given; what still does not fit fails.
    const TRun dmy = run({"--date-order", "dmy", "--lenient"});
    EXPECT_EQ(dmy.exitCode, 0) << dmy.err;
    EXPECT_NE(dmy.out.find("\n4 values of "), std::string::npos) << dmy.out;
    EXPECT_NE(dmy.out.find("  line 3, field F: \"1?2\"\n"), std::string::npos) << dmy.out;
    EXPECT_EQ(ReadFileBytes(dbf).substr(129 + 41 + 17, 8), "20020305");
    EXPECT_EQ(testing::DbfColumn(dbf, "D").back(), "2001/12/31");
    EXPECT_EQ(run({"--date-order", "dmy"}).exitCode, 1);
}

TEST_F(ConvertTool, SaysHowManyRowsSpannedSeveralLines) {
    const TRun run =
        ConvertPoints("multi", "Columns 1\r\n  S Char(20)\r\nData\r\nPoint 1 2\r\nPoint 3 4\r\n",
                      "\"two\r\nlines\"\r\n\"one\"\r\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "2 records written: " + dir.Path("o.shp") + ", " + dir.Path("o.shx") + ", " +
                           dir.Path("o.dbf") + "\ncode page 932 written: " + dir.Path("o.cpg") +
                           "\nno coordinate system written: " +
                           ToolText(TText::kEngineCrsNoCoordSys) + "\n1 row of " +
                           dir.Path("multi.mid") +
                           " spanned several lines (quoted values holding line breaks)\n");
}

}  // namespace
}  // namespace varnelo

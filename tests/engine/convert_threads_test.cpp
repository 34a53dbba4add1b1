// SPDX-License-Identifier: MIT
// A conversion on one thread and on two (the .mid rows beside the objects, or parts of the
// .mif read ahead) gives the same files, the same report and, when it fails, the same
// failure: message, .mif line, .mid line and what it counted as done. The sources are long
// enough for the rows' side to run many batches behind or ahead of the objects' side, and
// are cut into many parts read ahead at odd places.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "../support/folder_files.hpp"
#include "../support/stopping_stream.hpp"
#include "../support/temp_dir.hpp"
#include "engine/convert.hpp"
#include "mif_generator.hpp"
#include "os/catalog.hpp"

namespace varnelo {
namespace {

namespace fs = std::filesystem;
using testing::FolderFiles;
using testing::StopWhenShpExceeds;
using testing::TempDir;
using testing::TFailingFileStream;
using testing::WriteFileBytes;

constexpr int kEveryKind = -1;

struct TRunResult {
    bool Ok = false;
    TConversionReport Report;
    std::map<std::string, std::string> Files;
};

struct TRunOptions {
    bool Lenient = false;
    std::uint64_t ReadAhead = 0;  // the size of the parts read ahead
    std::uint64_t ShpWritable = std::numeric_limits<std::uint64_t>::max();  // then writes fail
};

// Converts `mif` with `threads` threads into a folder of its own under `out`.
TRunResult ConvertWith(const std::string& mif, int type, int threads, const TempDir& out,
                       const TRunOptions& options = {}) {
    const std::string folder =
        out.Path("threads-" + std::to_string(threads) + "-" + std::to_string(options.ReadAhead));
    fs::remove_all(folder);
    fs::create_directories(folder);
    TRunResult result;
    TConversionHooks hooks;
    hooks.Report = &result.Report;
    hooks.Threads = threads;
    hooks.ValueRules.Lenient = options.Lenient;
    hooks.ReadAheadBytes = options.ReadAhead;
    if (options.ShpWritable != std::numeric_limits<std::uint64_t>::max()) {
        hooks.CreateOutput = [&](const std::string& path) -> std::unique_ptr<TOutputStream> {
            if (path.ends_with(".shp")) {
                return std::make_unique<TFailingFileStream>(path, options.ShpWritable);
            }
            return CreateFileOutputStream(path);
        };
    }
    const std::string shp = folder + "/out.shp";
    result.Ok = type == kEveryKind ? ConvertMifToShapefiles(mif, EveryKindTargets(shp), hooks)
                                   : ConvertMifToShp(type, mif, shp, hooks);
    result.Files = FolderFiles(folder);
    for (auto& [name, bytes] : result.Files) {
        if (name.ends_with(".dbf") && bytes.size() > 3) {
            bytes.replace(1, 3, 3, '\0');  // the day of the run
        }
    }
    return result;
}

void ExpectSameRun(const TRunResult& one, const TRunResult& two, const std::string& what) {
    EXPECT_EQ(one.Ok, two.Ok) << what;
    EXPECT_EQ(one.Report.ErrorText, two.Report.ErrorText) << what;
    EXPECT_EQ(one.Report.FailedLine, two.Report.FailedLine) << what;
    EXPECT_EQ(one.Report.FailedMidLine, two.Report.FailedMidLine) << what;
    EXPECT_EQ(one.Report.RecordsWritten, two.Report.RecordsWritten) << what;
    EXPECT_EQ(one.Report.Objects.Points, two.Report.Objects.Points) << what;
    EXPECT_EQ(one.Report.Objects.PolyLines, two.Report.Objects.PolyLines) << what;
    EXPECT_EQ(one.Report.Objects.Polygons, two.Report.Objects.Polygons) << what;
    EXPECT_EQ(one.Report.Objects.Texts, two.Report.Objects.Texts) << what;
    EXPECT_EQ(one.Report.RowsOverSeveralLines, two.Report.RowsOverSeveralLines) << what;
    EXPECT_EQ(one.Report.ValuesLeftEmpty.Count, two.Report.ValuesLeftEmpty.Count) << what;
    EXPECT_TRUE(one.Files == two.Files) << what << ": the files differ";
}

// Parts read ahead are cut at these sizes, so that they begin anywhere in a line or an object.
constexpr std::uint64_t kReadAheadSizes[] = {61, 700};

void ExpectSameRuns(const std::string& mif, int type, const TempDir& out,
                    TRunOptions options = {}) {
    const TRunResult one = ConvertWith(mif, type, 1, out, options);
    const std::string what = mif + " as type " + std::to_string(type);
    ExpectSameRun(one, ConvertWith(mif, type, 2, out, options), what);
    if (type == ctPolyLine || type == ctPolygon) {
        for (const std::uint64_t size : kReadAheadSizes) {
            options.ReadAhead = size;
            ExpectSameRun(one, ConvertWith(mif, type, 2, out, options),
                          what + " read ahead in parts of " + std::to_string(size));
        }
    }
}

TEST(ConvertThreads, OneThreadAndTwoWriteTheSameFilesFromEverySampleAndAMixedFile) {
    TempDir out;
    std::vector<std::string> sources;
    for (const auto& entry : fs::directory_iterator(std::string(VARNELO_SOURCE_DIR) + "/samples")) {
        if (entry.path().extension() == ".mif") {
            sources.push_back(entry.path().string());
        }
    }
    bench::TMifGeneratorOptions mixed;
    mixed.Kind = bench::TMifKind::Mix;
    mixed.TargetMifBytes = 400'000;
    mixed.Seed = 11;
    sources.push_back(out.Path("mixed.mif"));
    bench::GenerateMifPairFiles(mixed, sources.back(), bench::MidPathFor(sources.back()));
    ASSERT_GT(sources.size(), 1u);
    for (const std::string& mif : sources) {
        for (const int type :
             {int{ctPoint}, int{ctPolyLine}, int{ctPolygon}, int{ctTextAsPoint}, kEveryKind}) {
            ExpectSameRuns(mif, type, out);
        }
    }
}

// Points with an integer and a text column, numbered from 1; `badValueAt` gives that row a
// value its integer field refuses, `badPointAt` gives that object an unreadable coordinate.
std::string WritePoints(const TempDir& dir, int count, int badValueAt, int badPointAt) {
    std::string mif =
        "Version 300\nCharset \"Neutral\"\nColumns 2\n  ID Integer\n  NAME Char(8)\nData\n";
    std::string mid;
    for (int i = 1; i <= count; ++i) {
        mif += i == badPointAt ? "Point 1 y\n" : "Point " + std::to_string(i) + " 2.5\n";
        mid += (i == badValueAt ? std::string("x") : std::to_string(i)) + ",\"n" +
               std::to_string(i % 97) + "\"\n";
    }
    const std::string path = dir.Path("points-" + std::to_string(badValueAt) + "-" +
                                      std::to_string(badPointAt) + ".mif");
    WriteFileBytes(path, mif);
    WriteFileBytes(fs::path(path).replace_extension(".mid").string(), mid);
    return path;
}

TEST(ConvertThreads, TheFirstFailureInFileOrderIsReportedAsOnOneThread) {
    TempDir out;
    constexpr int kCount = 5000;
    const struct {
        int BadValueAt;
        int BadPointAt;
    } cases[] = {
        {4000, 0},     // a value, far behind the objects' side
        {0, 4500},     // an object, far ahead of the rows' side
        {4500, 1200},  // the object comes first
        {1200, 4500},  // the value comes first
        {3000, 3000},  // one object: its geometry is read before its row is written
        {2999, 3000},  // the row before the object
        {1, 0},        // the very first row
    };
    for (const auto& c : cases) {
        const std::string mif = WritePoints(out, kCount, c.BadValueAt, c.BadPointAt);
        ExpectSameRuns(mif, ctPoint, out);
        ExpectSameRuns(mif, kEveryKind, out);
        ExpectSameRuns(mif, ctPoint, out, {.Lenient = true});
    }
    // The runs above do fail where they should.
    const TRunResult two = ConvertWith(WritePoints(out, kCount, 1200, 4500), ctPoint, 2, out);
    EXPECT_FALSE(two.Ok);
    EXPECT_EQ(two.Report.FailedMidLine, 1200);
    EXPECT_EQ(two.Report.RecordsWritten, 1200);
}

// Regions numbered from 1, each with a .mid row, Pen and Brush lines, CR LF line ends in
// every third one and a point between them. `badValueAt` gives that row a value its integer
// field refuses, `badPointAt` gives that region an unreadable coordinate; `cutShort` ends the
// file inside the last region.
std::string WriteRegions(const TempDir& dir, int count, int badValueAt, int badPointAt,
                         bool cutShort) {
    std::string mif = "Version 300\nCharset \"Neutral\"\nColumns 1\n  ID Integer\nData\n\n";
    std::string mid;
    for (int i = 1; i <= count; ++i) {
        const std::string end = i % 3 == 0 ? "\r\n" : "\n";
        const int points = 3 + i % 5;
        mif += "Region 1" + end + "  " + std::to_string(points + (cutShort && i == count)) + end;
        for (int k = 0; k < points; ++k) {
            mif += i == badPointAt && k == 1 ? "1 y" + end
                                             : std::to_string(i) + "." + std::to_string(k) + " " +
                                                   std::to_string(k * k % 7) + end;
        }
        mif += "    Pen (1,2,0)" + end + "    Brush (2,16777215,0)" + end;
        mid += (i == badValueAt ? std::string("x") : std::to_string(i)) + "\n";
        if (i % 10 == 0) {
            mif += "Point 1 2" + end;
            mid += "0\n";
        }
    }
    const std::string path =
        dir.Path("regions-" + std::to_string(badValueAt) + "-" + std::to_string(badPointAt) + "-" +
                 std::to_string(cutShort) + ".mif");
    WriteFileBytes(path, mif);
    WriteFileBytes(fs::path(path).replace_extension(".mid").string(), mid);
    return path;
}

TEST(ConvertThreads, PartsReadAheadFailAsOneThreadDoes) {
    TempDir out;
    constexpr int kCount = 800;
    const struct {
        int BadValueAt;
        int BadPointAt;
        bool CutShort;
    } cases[] = {
        {0, 0, false},                                       // nothing wrong
        {600, 0, false},                                     // a value in a part read ahead
        {0, 650, false},                                     // an object in a part read ahead
        {700, 300, false}, {300, 700, false}, {0, 0, true},  // the file ends inside the last object
    };
    for (const auto& c : cases) {
        const std::string mif = WriteRegions(out, kCount, c.BadValueAt, c.BadPointAt, c.CutShort);
        ExpectSameRuns(mif, ctPolygon, out);
        ExpectSameRuns(mif, ctPolygon, out, {.Lenient = true});
    }
    // A write that fails in a part read ahead, or in the stretch after it.
    const std::string mif = WriteRegions(out, kCount, 0, 0, false);
    for (const std::uint64_t writable : {100u + 9000u, 100u + 20000u, 100u + 20011u}) {
        ExpectSameRuns(mif, ctPolygon, out, {.ShpWritable = writable});
    }
    // The runs above do fail where they should.
    const TRunResult failed =
        ConvertWith(WriteRegions(out, kCount, 700, 0, false), ctPolygon, 2, out, {.ReadAhead = 61});
    EXPECT_FALSE(failed.Ok);
    EXPECT_EQ(failed.Report.FailedMidLine, 700 + 69);
    EXPECT_EQ(failed.Report.RecordsWritten, 700);
}

// A stop half-way through stops both sides where one thread would have stopped, and leaves
// nothing behind: the rows' side must not hang waiting for objects that never come.
TEST(ConvertThreads, AStopHalfWayEndsBothSidesAsOnOneThread) {
    TempDir out;
    constexpr int kCount = 5000;
    const std::string mif = WritePoints(out, kCount, 0, 0);
    std::vector<TConversionReport> reports;
    for (const int threads : {1, 2}) {
        const std::string folder = out.Path("stop-" + std::to_string(threads));
        fs::create_directories(folder);
        std::atomic<bool> stop = false;
        TConversionReport report;
        TConversionHooks hooks;
        hooks.Report = &report;
        hooks.Threads = threads;
        hooks.Cancel = &stop;
        hooks.CreateOutput = StopWhenShpExceeds(stop, 100 + 28 * kCount / 2);
        EXPECT_FALSE(ConvertMifToShp(ctPoint, mif, folder + "/out.shp", hooks));
        EXPECT_TRUE(report.Cancelled) << threads;
        EXPECT_EQ(report.ErrorText, Text(TText::kEngineCancelled)) << threads;
        EXPECT_TRUE(FolderFiles(folder).empty()) << threads;
        reports.push_back(report);
    }
    EXPECT_EQ(reports[0].RecordsWritten, kCount / 2 + 1);
    EXPECT_EQ(reports[1].RecordsWritten, reports[0].RecordsWritten);
    EXPECT_EQ(reports[1].FailedLine, reports[0].FailedLine);
}

TEST(ConvertThreads, AStopHalfWayThroughPartsReadAheadEndsAsOnOneThread) {
    TempDir out;
    constexpr int kCount = 800;
    const std::string mif = WriteRegions(out, kCount, 0, 0, false);
    std::vector<TConversionReport> reports;
    for (const std::uint64_t readAhead : {0, 61, 700}) {
        const std::string folder = out.Path("stop-" + std::to_string(readAhead));
        fs::create_directories(folder);
        std::atomic<bool> stop = false;
        TConversionReport& report = reports.emplace_back();
        TConversionHooks hooks;
        hooks.Report = &report;
        hooks.Threads = readAhead > 0 ? 2 : 1;
        hooks.ReadAheadBytes = readAhead;
        hooks.Cancel = &stop;
        hooks.CreateOutput = StopWhenShpExceeds(stop, 50'000);
        EXPECT_FALSE(ConvertMifToShp(ctPolygon, mif, folder + "/out.shp", hooks));
        EXPECT_TRUE(report.Cancelled) << readAhead;
        EXPECT_TRUE(FolderFiles(folder).empty()) << readAhead;
        EXPECT_EQ(report.RecordsWritten, reports.front().RecordsWritten) << readAhead;
        EXPECT_EQ(report.Objects.Polygons, reports.front().Objects.Polygons) << readAhead;
    }
    EXPECT_GT(reports.front().RecordsWritten, 0);
    EXPECT_LT(reports.front().RecordsWritten, kCount);
}

}  // namespace
}  // namespace varnelo

// SPDX-License-Identifier: MIT
// varnelo-bench: converts generated MIF/MID pairs several times, each run in a child process of
// its own, and prints Markdown table rows with throughput and peak memory, next to ogr2ogr on
// the same files when it is installed.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "child_process.hpp"
#include "engine/convert.hpp"
#include "median.hpp"
#include "mif_generator.hpp"
#include "shape/local_dbf.hpp"
#include "shape/shp_reader.hpp"

#ifndef VARNELO_BUILD_TYPE
#define VARNELO_BUILD_TYPE ""
#endif

namespace {

namespace fs = std::filesystem;
using namespace varnelo::bench;

constexpr std::string_view kUsage =
    "usage: varnelo-bench [options] [regions] [points] [mix]\n"
    "Generates the input files of each scenario in the work folder (or reuses them), converts\n"
    "them --runs times with varnelo and, when it is on PATH, with ogr2ogr, each run in a child\n"
    "process, and prints a Markdown table row per scenario (median time, highest peak memory).\n"
    "1 MB = 10^6 bytes. All three scenarios run when none is named.\n"
    "  --work DIR      work folder (default /tmp/varnelo-bench)\n"
    "  --runs N        conversions per tool (default 5)\n"
    "  --size-mb N     .mif size of the regions and mix scenarios (default 100)\n"
    "  --points N      objects of the points scenario (default 2000000)\n"
    "  --seed N        generator seed (default 1)\n"
    "  --regenerate    write the input files anew even when present\n"
    "  --no-ogr        do not run ogr2ogr\n"
    "  --ogr-opt ARG   one more argument for ogr2ogr, repeatable\n"
    "                  (e.g. --ogr-opt -lco --ogr-opt ENCODING=CP932 keeps Shift-JIS bytes)\n"
    "  --read          also read what varnelo wrote, --runs times, and print a second table:\n"
    "                  every shape with the shapefile reader, a Locate that finds nothing\n"
    "                  (a scan of the whole .dbf), moving through every .dbf record\n"
    "  --convert PATH  convert with the program PATH (this build's varnelo-convert) instead\n"
    "                  of in a forked child, as --baseline runs its program\n"
    "  --baseline PATH also convert with PATH, another build's varnelo-convert, alternating\n"
    "                  with this build and ogr2ogr; its figures go beside this build's and\n"
    "                  the two outputs must be the same byte for byte\n"
    "  --threads N     threads of this build's conversions (default: the converter's own)\n"
    "  --small-runs N  conversions of the small scenario (default 1000)\n"
    "The scenario small converts a generated pair of about 1 kB --small-runs times in one\n"
    "child and prints the processor time of one conversion; it is not among the default ones.\n";

struct TOptions {
    fs::path Work = "/tmp/varnelo-bench";
    int Runs = 5;
    std::uint64_t SizeMb = 100;
    std::uint64_t Points = 2'000'000;
    std::uint64_t Seed = 1;
    bool Regenerate = false;
    bool UseOgr = true;
    bool Read = false;
    std::vector<std::string> OgrOptions;
    std::vector<std::string> Scenarios;
    std::string Convert;   // this build's program; empty: convert in a forked child
    std::string Baseline;  // another build's program; empty: none
    int Threads = 0;       // 0: the converter's default
    std::uint64_t SmallRuns = 1000;
};

struct TScenario {
    std::string Name;
    TMifKind Kind = TMifKind::Mix;
    std::uint64_t TargetMifBytes = 0;  // 0 when capped by object count
    std::uint64_t Objects = 0;         // 0 when capped by size
    int ConversionType = varnelo::ctPolygon;
    // Arguments that make ogr2ogr write what varnelo writes for this conversion type: a
    // shapefile holds one shape type, so from a mixed file only the polygons are taken.
    std::vector<std::string> OgrSelection;
    std::string FileStem;
};

// What the converting child hands back to the parent, through a shared page.
struct TChildReport {
    std::int64_t RecordsWritten = 0;
};

struct TToolSummary {
    bool Ran = false;
    bool Failed = false;
    double MedianSeconds = 0;
    double MedianCpuSeconds = 0;
    double PeakRssMb = 0;  // the highest over the runs
};

bool ParseCount(std::string_view text, std::uint64_t& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

std::optional<TOptions> ParseOptions(int argc, char** argv) {
    TOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        std::uint64_t number = 0;
        if (arg == "--work" && hasValue) {
            options.Work = argv[++i];
        } else if (arg == "--convert" && hasValue) {
            options.Convert = argv[++i];
        } else if (arg == "--baseline" && hasValue) {
            options.Baseline = argv[++i];
        } else if (arg == "--ogr-opt" && hasValue) {
            options.OgrOptions.emplace_back(argv[++i]);
        } else if ((arg == "--runs" || arg == "--size-mb" || arg == "--points" || arg == "--seed" ||
                    arg == "--threads" || arg == "--small-runs") &&
                   hasValue) {
            if (!ParseCount(argv[++i], number) || (number == 0 && arg != "--seed")) {
                std::fprintf(stderr, "varnelo-bench: %s needs a positive whole number\n",
                             argv[i - 1]);
                return std::nullopt;
            }
            if (arg == "--runs") {
                options.Runs = static_cast<int>(std::min<std::uint64_t>(number, 1000));
            } else if (arg == "--size-mb") {
                options.SizeMb = number;
            } else if (arg == "--points") {
                options.Points = number;
            } else if (arg == "--threads") {
                options.Threads = static_cast<int>(std::min<std::uint64_t>(number, 64));
            } else if (arg == "--small-runs") {
                options.SmallRuns = number;
            } else {
                options.Seed = number;
            }
        } else if (arg == "--regenerate") {
            options.Regenerate = true;
        } else if (arg == "--no-ogr") {
            options.UseOgr = false;
        } else if (arg == "--read") {
            options.Read = true;
        } else if (arg == "regions" || arg == "points" || arg == "mix" || arg == "small") {
            options.Scenarios.emplace_back(arg);
        } else {
            std::fprintf(stderr, "varnelo-bench: unexpected argument %s\n", argv[i]);
            return std::nullopt;
        }
    }
    if (options.Scenarios.empty()) {
        options.Scenarios = {"regions", "points", "mix"};
    }
    return options;
}

TScenario MakeScenario(const std::string& name, const TOptions& options) {
    TScenario scenario;
    scenario.Name = name;
    const std::string seed = "-seed" + std::to_string(options.Seed);
    if (name == "points") {
        scenario.Kind = TMifKind::Points;
        scenario.Objects = options.Points;
        scenario.ConversionType = varnelo::ctPoint;
        scenario.FileStem = "points-" + std::to_string(options.Points) + seed;
        return scenario;
    }
    scenario.Kind = name == "regions" ? TMifKind::Regions : TMifKind::Mix;
    scenario.TargetMifBytes = options.SizeMb * 1'000'000;
    scenario.ConversionType = varnelo::ctPolygon;
    if (scenario.Kind == TMifKind::Mix) {
        scenario.OgrSelection = {"-where", "OGR_GEOMETRY='POLYGON'"};
    }
    scenario.FileStem = name + "-" + std::to_string(options.SizeMb) + "MB" + seed;
    return scenario;
}

// Writes the pair under temporary names and renames it when complete, so a pair that is
// present was written in full. Generation runs in a child to keep this process small.
bool PrepareInput(const TScenario& scenario, const TOptions& options, const fs::path& mif) {
    const fs::path mid = MidPathFor(mif.string());
    if (!options.Regenerate && fs::exists(mif) && fs::exists(mid)) {
        std::fprintf(stderr, "%s: reusing %s\n", scenario.Name.c_str(), mif.c_str());
        return true;
    }
    std::fprintf(stderr, "%s: generating %s\n", scenario.Name.c_str(), mif.c_str());
    const fs::path partialMif = mif.string() + ".part.mif";
    const fs::path partialMid = MidPathFor(partialMif.string());
    const TChildMeasurement run = MeasureInChild([&] {
        TMifGeneratorOptions generator;
        generator.Kind = scenario.Kind;
        generator.TargetMifBytes = scenario.TargetMifBytes;
        generator.MaxObjects = scenario.Objects;
        generator.Seed = options.Seed;
        GenerateMifPairFiles(generator, partialMif.string(), partialMid.string());
        return 0;
    });
    if (!Succeeded(run)) {
        std::fprintf(stderr, "%s: generating failed (%s)\n", scenario.Name.c_str(),
                     run.Describe().c_str());
        return false;
    }
    fs::rename(partialMid, mid);
    fs::rename(partialMif, mif);
    std::fprintf(stderr, "%s: generated in %.1f s\n", scenario.Name.c_str(), run.Seconds);
    return true;
}

void ResetFolder(const fs::path& folder) {
    fs::remove_all(folder);
    fs::create_directories(folder);
}

TToolSummary Summarize(const std::vector<TChildMeasurement>& runs) {
    TToolSummary summary;
    summary.Ran = !runs.empty();
    std::vector<double> seconds;
    std::vector<double> cpuSeconds;
    for (const TChildMeasurement& run : runs) {
        summary.Failed = summary.Failed || !Succeeded(run);
        seconds.push_back(run.Seconds);
        cpuSeconds.push_back(run.CpuSeconds);
        summary.PeakRssMb = std::max(summary.PeakRssMb, run.PeakRssMb);
    }
    if (!seconds.empty()) {
        summary.MedianSeconds = Median(seconds);
        summary.MedianCpuSeconds = Median(cpuSeconds);
    }
    return summary;
}

// 1234567 → "1,234,567"
std::string GroupThousands(std::uint64_t value) {
    // Appended digit by digit: GCC 12 misreads inserting into the digits as overlapping copies.
    const std::string digits = std::to_string(value);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            grouped += ',';
        }
        grouped += digits[i];
    }
    return grouped;
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The first line a program prints with these arguments.
std::string FirstLineOf(const std::vector<std::string>& args, const fs::path& work) {
    varnelo::os::TCommand command;
    command.Args = args;
    command.Output = (work / "first-line.txt").string();
    varnelo::os::RunCommand(command);
    std::string line;
    std::getline(std::ifstream(command.Output), line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    return line;
}

std::string CpuModel() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);) {
        if (line.starts_with("model name")) {
            const std::size_t colon = line.find(':');
            if (colon != std::string::npos && colon + 2 <= line.size()) {
                return line.substr(colon + 2);
            }
        }
    }
    return "unknown CPU";
}

std::string CompilerName() {
#if defined(__clang__)
    return "clang " __clang_version__;
#elif defined(__GNUC__)
    return "GCC " __VERSION__;
#else
    return "unknown compiler";
#endif
}

bool IsOptimisedBuild() {
    const std::string_view type = VARNELO_BUILD_TYPE;
    return type == "Release" || type == "RelWithDebInfo" || type == "MinSizeRel";
}

void PrintPreamble(const std::optional<std::string>& ogr, const TOptions& options,
                   double forkBaselineMb) {
    const varnelo::os::TMachineFacts machine = varnelo::os::MachineFacts();
    std::printf("Machine: %s, %ld logical CPUs, %.1f GB RAM, %s\n", CpuModel().c_str(),
                machine.LogicalCpus, machine.MemoryGb, machine.System.c_str());
    std::printf("Varnelo: %s build, %s\n",
                std::string_view(VARNELO_BUILD_TYPE).empty() ? "unknown" : VARNELO_BUILD_TYPE,
                CompilerName().c_str());
    if (ogr) {
        std::string command = "ogr2ogr -f \"ESRI Shapefile\" out.shp in.mif";
        for (const std::string& extra : options.OgrOptions) {
            command += " " + extra;
        }
        std::printf("Peer: %s (`%s`)\n", FirstLineOf({*ogr, "--version"}, options.Work).c_str(),
                    command.c_str());
    }
    if (!options.Convert.empty()) {
        std::printf("This build: `%s`\n", options.Convert.c_str());
    }
    if (!options.Baseline.empty()) {
        std::printf("Baseline: `%s`, its outputs compared byte for byte with this build's\n",
                    options.Baseline.c_str());
    }
    std::printf(
        "Method: %d runs per tool, alternating, each in a fresh child process; time is the median "
        "wall time, CPU the median processor time (user and system, all threads), peak the "
        "highest ru_maxrss of the converting process (a child that does nothing peaks at %.1f "
        "MB); 1 MB = 10^6 bytes. Regions and mix are converted as polygons, points as points; a "
        "shapefile holds one shape type, so from mix ogr2ogr takes the polygons only (`-where "
        "\"OGR_GEOMETRY='POLYGON'\"`).\n\n",
        options.Runs, forkBaselineMb);
    std::string header =
        "| Scenario | .mif MB | Varnelo s | Varnelo CPU s | Varnelo MB/s | "
        "Varnelo rec/s | Varnelo peak MB |";
    std::string rule = "|---|--:|--:|--:|--:|--:|--:|";
    if (!options.Baseline.empty()) {
        header +=
            " Baseline s | Baseline CPU s | Baseline peak MB | Time vs baseline | "
            "CPU vs baseline |";
        rule += "--:|--:|--:|--:|--:|";
    }
    header += " ogr2ogr s | ogr2ogr CPU s | ogr2ogr peak MB | Speed ratio |";
    rule += "--:|--:|--:|--:|";
    std::printf("%s\n%s\n", header.c_str(), rule.c_str());
    std::fflush(stdout);
}

// The arguments that make the program `program` convert `mif` into `shp` as `scenario` asks.
std::vector<std::string> ConvertCommand(const std::string& program, const TScenario& scenario,
                                        const fs::path& mif, const fs::path& shp, int threads) {
    std::vector<std::string> command = {
        program, "--type", scenario.ConversionType == varnelo::ctPoint ? "point" : "polygon"};
    if (threads > 0) {
        command.push_back("--threads");
        command.push_back(std::to_string(threads));
    }
    command.push_back(mif.string());
    command.push_back(shp.string());
    return command;
}

// Files of two shapefile sets that differ, by extension; empty when the sets are the same.
// The files are compared a block at a time: a program started from this one counts this
// one's peak memory as its own (Linux keeps the peak over the exec), so this one stays small.
bool SameFileBytes(const fs::path& a, const fs::path& b) {
    std::ifstream inA(a, std::ios::binary);
    std::ifstream inB(b, std::ios::binary);
    if (!inA.is_open() || !inB.is_open()) {
        return false;
    }
    std::vector<char> blockA(std::size_t{1} << 16);
    std::vector<char> blockB(blockA.size());
    while (true) {
        inA.read(blockA.data(), static_cast<std::streamsize>(blockA.size()));
        inB.read(blockB.data(), static_cast<std::streamsize>(blockB.size()));
        const std::streamsize got = inA.gcount();
        if (got != inB.gcount() ||
            !std::equal(blockA.begin(), blockA.begin() + got, blockB.begin())) {
            return false;
        }
        if (got == 0) {
            return true;
        }
    }
}

std::string DifferingFiles(const fs::path& shp, const fs::path& otherShp) {
    std::string differing;
    for (const char* ext : {".shp", ".shx", ".dbf"}) {
        if (!SameFileBytes(fs::path(shp).replace_extension(ext),
                           fs::path(otherShp).replace_extension(ext))) {
            differing += differing.empty() ? ext : std::string(" ") + ext;
        }
    }
    return differing;
}

// The reading tasks, each measured --runs times in children of its own, on the files one
// conversion wrote; a Markdown row of median times and the highest peak.
std::string MeasureReading(const TScenario& scenario, const fs::path& shp, std::int64_t records,
                           const TOptions& options) {
    const std::string shpPath = shp.string();
    const std::string shxPath = fs::path(shp).replace_extension(".shx").string();
    const std::string dbfPath = fs::path(shp).replace_extension(".dbf").string();
    const auto openTable = [&dbfPath](varnelo::TLocalDbf& table) {
        table.SetTableName(dbfPath);
        table.SetReadOnly(true);
        table.Open();
    };
    const std::vector<std::function<int()>> tasks = {
        [&] {
            varnelo::TShapefileReader reader(shpPath, shxPath);
            varnelo::TShape shape;
            for (int i = 0; i < reader.RecordCount(); ++i) {
                reader.ReadShape(i, shape);
            }
            return 0;
        },
        [&] {
            varnelo::TLocalDbf table;
            openTable(table);
            return table.Locate(table.Fields(0).FieldName(), std::string("\x7F none")) ? 1 : 0;
        },
        [&] {
            varnelo::TLocalDbf table;
            openTable(table);
            for (table.First(); !table.Eof(); table.Next()) {
            }
            return 0;
        },
    };
    std::string row =
        "| " + scenario.Name + " | " +
        GroupThousands(static_cast<std::uint64_t>(std::max<std::int64_t>(records, 0))) + " | " +
        Format("%.1f", static_cast<double>(fs::file_size(shp)) / 1e6) + " | " +
        Format("%.1f", static_cast<double>(fs::file_size(dbfPath)) / 1e6) + " | ";
    double peak = 0;
    for (const auto& task : tasks) {
        std::vector<TChildMeasurement> runs;
        for (int run = 1; run <= options.Runs; ++run) {
            runs.push_back(MeasureInChild(task));
        }
        const TToolSummary summary = Summarize(runs);
        row += summary.Failed ? "failed | " : Format("%.3f", summary.MedianSeconds) + " | ";
        peak = std::max(peak, summary.PeakRssMb);
    }
    return row + Format("%.1f", peak) + " |";
}

// Runs one scenario and prints its row; false when a conversion failed. With --read, the row
// of reading its output is added to `readRows`.
bool RunScenario(const TScenario& scenario, const TOptions& options,
                 const std::optional<std::string>& ogr, TChildReport* shared,
                 std::vector<std::string>& readRows) {
    const fs::path mif = options.Work / (scenario.FileStem + ".mif");
    if (!PrepareInput(scenario, options, mif)) {
        return false;
    }
    const double mifMb = static_cast<double>(fs::file_size(mif)) / 1e6;
    const fs::path outFolder = options.Work / "out" / scenario.Name;
    const fs::path varneloShp = outFolder / "varnelo" / "out.shp";
    const fs::path baselineShp = outFolder / "baseline" / "out.shp";
    const fs::path ogrShp = outFolder / "ogr2ogr" / "out.shp";
    const fs::path ogrLog = outFolder / "ogr2ogr.log";
    ResetFolder(outFolder);

    std::vector<std::string> ogrCommand;
    if (ogr) {
        ogrCommand = {*ogr, "-f", "ESRI Shapefile"};
        ogrCommand.insert(ogrCommand.end(), scenario.OgrSelection.begin(),
                          scenario.OgrSelection.end());
        ogrCommand.insert(ogrCommand.end(), options.OgrOptions.begin(), options.OgrOptions.end());
        ogrCommand.push_back(ogrShp.string());
        ogrCommand.push_back(mif.string());
    }

    std::vector<TChildMeasurement> varneloRuns;
    std::vector<TChildMeasurement> baselineRuns;
    std::vector<TChildMeasurement> ogrRuns;
    std::int64_t records = -1;
    bool sameBytes = true;
    for (int run = 1; run <= options.Runs; ++run) {
        ResetFolder(varneloShp.parent_path());
        shared->RecordsWritten = -1;
        TChildMeasurement ours;
        if (!options.Convert.empty()) {
            ours = MeasureCommand(
                ConvertCommand(options.Convert, scenario, mif, varneloShp, options.Threads), "");
        } else {
            ours = MeasureInChild([&] {
                varnelo::TConversionReport report;
                varnelo::TConversionHooks hooks;
                hooks.Report = &report;
                const bool ok = varnelo::ConvertMifToShp(scenario.ConversionType, mif.string(),
                                                         varneloShp.string(), hooks);
                shared->RecordsWritten = report.RecordsWritten;
                if (!ok) {
                    std::fprintf(stderr, "conversion failed at .mif line %lld: %s\n",
                                 static_cast<long long>(report.FailedLine),
                                 report.ErrorText.c_str());
                }
                return ok ? 0 : 1;
            });
        }
        varneloRuns.push_back(ours);
        if (records >= 0 && shared->RecordsWritten != records) {
            std::fprintf(stderr, "%s: runs wrote different record counts\n", scenario.Name.c_str());
        }
        records = shared->RecordsWritten;
        std::fprintf(stderr, "%s run %d/%d: varnelo %.3f s (CPU %.3f s), %.1f MB%s",
                     scenario.Name.c_str(), run, options.Runs, ours.Seconds, ours.CpuSeconds,
                     ours.PeakRssMb,
                     Succeeded(ours) ? "" : (" FAILED, " + ours.Describe()).c_str());

        if (!options.Baseline.empty()) {
            ResetFolder(baselineShp.parent_path());
            const TChildMeasurement theirs =
                MeasureCommand(ConvertCommand(options.Baseline, scenario, mif, baselineShp, 0), "");
            baselineRuns.push_back(theirs);
            std::fprintf(stderr, "; baseline %.3f s (CPU %.3f s), %.1f MB%s", theirs.Seconds,
                         theirs.CpuSeconds, theirs.PeakRssMb,
                         Succeeded(theirs) ? "" : (" FAILED, " + theirs.Describe()).c_str());
            if (const std::string differing = DifferingFiles(varneloShp, baselineShp);
                !differing.empty()) {
                std::fprintf(stderr, "; OUTPUTS DIFFER: %s", differing.c_str());
                sameBytes = false;
            }
        }

        if (ogr) {
            ResetFolder(ogrShp.parent_path());
            const TChildMeasurement theirs = MeasureCommand(ogrCommand, ogrLog.string());
            ogrRuns.push_back(theirs);
            std::fprintf(stderr, "; ogr2ogr %.3f s, %.1f MB%s", theirs.Seconds, theirs.PeakRssMb,
                         Succeeded(theirs) ? "" : (" FAILED, " + theirs.Describe()).c_str());
        }
        std::fprintf(stderr, "\n");
    }
    if (ogr && fs::exists(ogrLog) && fs::file_size(ogrLog) > 0) {
        std::fprintf(stderr, "%s: ogr2ogr printed messages, see %s\n", scenario.Name.c_str(),
                     ogrLog.c_str());
    }

    const TToolSummary ours = Summarize(varneloRuns);
    const TToolSummary baseline = Summarize(baselineRuns);
    const TToolSummary theirs = Summarize(ogrRuns);
    std::string row = "| " + scenario.Name + " | " + Format("%.1f", mifMb) + " | ";
    if (ours.Failed) {
        row += "failed | | | | | ";
    } else {
        // A program run reports no record count; the records are in the index file.
        if (records < 0 && fs::exists(fs::path(varneloShp).replace_extension(".shx"))) {
            records = static_cast<std::int64_t>(
                (fs::file_size(fs::path(varneloShp).replace_extension(".shx")) - 100) / 8);
        }
        const double recordsPerSecond =
            static_cast<double>(std::max<std::int64_t>(records, 0)) / ours.MedianSeconds;
        row += Format("%.3f", ours.MedianSeconds) + " | ";
        row += Format("%.3f", ours.MedianCpuSeconds) + " | ";
        row += Format("%.1f", mifMb / ours.MedianSeconds) + " | ";
        row += GroupThousands(static_cast<std::uint64_t>(recordsPerSecond)) + " | ";
        row += Format("%.1f", ours.PeakRssMb) + " | ";
    }
    if (!options.Baseline.empty()) {
        if (baseline.Failed || ours.Failed) {
            row += "failed | | | | | ";
        } else {
            row += Format("%.3f", baseline.MedianSeconds) + " | ";
            row += Format("%.3f", baseline.MedianCpuSeconds) + " | ";
            row += Format("%.1f", baseline.PeakRssMb) + " | ";
            row += Format("%.2f", ours.MedianSeconds / baseline.MedianSeconds) + " | ";
            row += Format("%.2f", ours.MedianCpuSeconds / baseline.MedianCpuSeconds) + " | ";
        }
    }
    if (!theirs.Ran) {
        row += "– | – | – | – |";
    } else if (theirs.Failed) {
        row += "failed | | | |";
    } else {
        row += Format("%.2f", theirs.MedianSeconds) + " | ";
        row += Format("%.2f", theirs.MedianCpuSeconds) + " | ";
        row += Format("%.1f", theirs.PeakRssMb) + " | ";
        row += ours.Failed ? "–" : Format("%.1f×", theirs.MedianSeconds / ours.MedianSeconds);
        row += " |";
    }
    std::printf("%s\n", row.c_str());
    std::fflush(stdout);
    if (options.Read && !ours.Failed) {
        readRows.push_back(MeasureReading(scenario, varneloShp, records, options));
    }
    if (!sameBytes) {
        std::fprintf(stderr, "%s: this build's outputs differ from the baseline's\n",
                     scenario.Name.c_str());
    }
    return !ours.Failed && !theirs.Failed && !baseline.Failed && sameBytes;
}

// The processor time of one conversion of a pair of about 1 kB: --small-runs conversions in
// one child, so that nothing but the conversion counts; with programs given, also the time a
// converting process takes beyond one that only starts (`--version`), over --runs processes.
bool RunSmall(const TOptions& options) {
    const fs::path mif = options.Work / "small-1kB.mif";
    if (!fs::exists(mif)) {
        TMifGeneratorOptions generator;
        generator.Kind = TMifKind::Mix;
        generator.TargetMifBytes = 450;
        generator.Seed = options.Seed;
        GenerateMifPairFiles(generator, mif.string(), MidPathFor(mif.string()));
    }
    const std::uint64_t bytes = fs::file_size(mif) + fs::file_size(MidPathFor(mif.string()));
    const fs::path shp = options.Work / "out" / "small" / "out.shp";
    ResetFolder(shp.parent_path());
    TScenario scenario;
    scenario.ConversionType = varnelo::ctPolygon;
    const TChildMeasurement inProcess = MeasureInChild([&] {
        for (std::uint64_t i = 0; i < options.SmallRuns; ++i) {
            varnelo::TConversionHooks hooks;
            if (!varnelo::ConvertMifToShp(scenario.ConversionType, mif.string(), shp.string(),
                                          hooks)) {
                return 1;
            }
        }
        return 0;
    });
    const double runs = static_cast<double>(options.SmallRuns);
    std::printf(
        "\n| Small pair | Bytes | Conversions | CPU ms per conversion | Wall ms per "
        "conversion |\n|---|--:|--:|--:|--:|\n");
    std::printf("| in one process | %llu | %llu | %.3f | %.3f |\n",
                static_cast<unsigned long long>(bytes),
                static_cast<unsigned long long>(options.SmallRuns),
                1000 * inProcess.CpuSeconds / runs, 1000 * inProcess.Seconds / runs);
    bool good = Succeeded(inProcess);
    for (const auto& [label, program] : {std::pair{"this build's program", &options.Convert},
                                         std::pair{"baseline program", &options.Baseline}}) {
        if (program->empty()) {
            continue;
        }
        double started = 0;
        double converted = 0;
        for (int run = 0; run < options.Runs; ++run) {
            started += MeasureCommand({*program, "--version"}, "").CpuSeconds;
            const TChildMeasurement conversion =
                MeasureCommand(ConvertCommand(*program, scenario, mif, shp, 0), "");
            good = good && Succeeded(conversion);
            converted += conversion.CpuSeconds;
        }
        std::printf("| %s, beyond starting | %llu | %d | %.3f | |\n", label,
                    static_cast<unsigned long long>(bytes), options.Runs,
                    1000 * (converted - started) / options.Runs);
    }
    std::fflush(stdout);
    return good;
}

// One page shared with every child, so a converting child can report its record count.
TChildReport* MapSharedReport() {
    return new (varnelo::os::MemorySharedWithChildren(sizeof(TChildReport))) TChildReport();
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
            std::fputs(kUsage.data(), stdout);
            return 0;
        }
    }
    const std::optional<TOptions> options = ParseOptions(argc, argv);
    if (!options) {
        std::fputs(kUsage.data(), stderr);
        return 2;
    }
    try {
        fs::create_directories(options->Work);
        if (!IsOptimisedBuild()) {
            std::fprintf(
                stderr,
                "varnelo-bench: warning: this is a %s build; use the release preset for "
                "figures worth publishing\n",
                std::string_view(VARNELO_BUILD_TYPE).empty() ? "unknown" : VARNELO_BUILD_TYPE);
        }
        const std::optional<std::string> ogr =
            options->UseOgr ? FindOnPath("ogr2ogr") : std::nullopt;
        if (options->UseOgr && !ogr) {
            std::fprintf(stderr, "varnelo-bench: ogr2ogr is not on PATH; measuring varnelo only\n");
        }
        TChildReport* shared = MapSharedReport();
        const double forkBaselineMb = MeasureInChild([] { return 0; }).PeakRssMb;
        PrintPreamble(ogr, *options, forkBaselineMb);
        bool allGood = true;
        std::vector<std::string> readRows;
        bool small = false;
        for (const std::string& name : options->Scenarios) {
            if (name == "small") {
                small = true;
                continue;
            }
            allGood = RunScenario(MakeScenario(name, *options), *options, ogr, shared, readRows) &&
                      allGood;
        }
        if (small) {
            allGood = RunSmall(*options) && allGood;
        }
        if (!readRows.empty()) {
            std::printf(
                "\n| Scenario | Records | .shp MB | .dbf MB | Read shapes s | Locate s | "
                "Browse s | Read peak MB |\n|---|--:|--:|--:|--:|--:|--:|--:|\n");
            for (const std::string& row : readRows) {
                std::printf("%s\n", row.c_str());
            }
        }
        return allGood ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "varnelo-bench: %s\n", error.what());
        return 1;
    }
}

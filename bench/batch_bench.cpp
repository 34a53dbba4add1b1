// SPDX-License-Identifier: MIT
// varnelo-batch-bench: runs `varnelo-convert --batch` on a list of generated sources with one
// job and with more, alternating, each run in a child process of its own, and prints a
// Markdown table row per job count with the median wall time.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "child_process.hpp"
#include "mif_generator.hpp"

namespace {

namespace fs = std::filesystem;
using namespace varnelo::bench;

constexpr std::string_view kUsage =
    "usage: varnelo-batch-bench [options]\n"
    "Generates --entries source pairs of --entry-mb MB each (or reuses them), writes a batch\n"
    "list converting each into its own target, and runs varnelo-convert --batch on it with\n"
    "1 to --jobs jobs, alternating, --runs times each. 1 MB = 10^6 bytes.\n"
    "  --work DIR      work folder (default /tmp/varnelo-bench/batch)\n"
    "  --entries N     entries of the list (default 40)\n"
    "  --entry-mb N    .mif size of each entry (default 5)\n"
    "  --kind K        regions | plines | points | mix (default regions)\n"
    "  --runs N        runs per job count (default 5)\n"
    "  --jobs N        the highest job count (default 2)\n"
    "  --tool PATH     the varnelo-convert to run (default the one of this build)\n";

struct TOptions {
    fs::path Work = "/tmp/varnelo-bench/batch";
    std::uint64_t Entries = 40;
    std::uint64_t EntryMb = 5;
    TMifKind Kind = TMifKind::Regions;
    std::uint64_t Runs = 5;
    std::uint64_t Jobs = 2;
    std::string Tool = VARNELO_CONVERT_EXE;
};

std::optional<TOptions> ParseOptions(int argc, char** argv) {
    TOptions options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view arg = argv[i];
        const std::string_view value = argv[i + 1];
        std::uint64_t number = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
        const bool count = ec == std::errc() && end == value.data() + value.size() && number > 0;
        if (arg == "--work") {
            options.Work = value;
        } else if (arg == "--tool") {
            options.Tool = value;
        } else if (arg == "--kind" && ParseMifKind(value)) {
            options.Kind = *ParseMifKind(value);
        } else if (count && arg == "--entries") {
            options.Entries = number;
        } else if (count && arg == "--entry-mb") {
            options.EntryMb = number;
        } else if (count && arg == "--runs") {
            options.Runs = number;
        } else if (count && arg == "--jobs") {
            options.Jobs = number;
        } else {
            return std::nullopt;
        }
    }
    if (argc % 2 == 0) {
        return std::nullopt;  // an option without its value
    }
    return options;
}

struct TList {
    fs::path Path;
    double SourceMb = 0;  // the .mif files of all entries
};

// The sources and the list; a pair that is present was written in full (renamed when done).
TList PrepareList(const TOptions& options) {
    TList prepared;
    const std::string stem =
        std::string(MifKindName(options.Kind)) + "-" + std::to_string(options.EntryMb) + "MB-";
    fs::create_directories(options.Work / "out");
    std::string list = "Varnelo\r\n200\r\n0\r\n\r\n";
    for (std::uint64_t i = 1; i <= options.Entries; ++i) {
        const fs::path mif = options.Work / (stem + std::to_string(i) + ".mif");
        if (!fs::exists(mif) || !fs::exists(MidPathFor(mif.string()))) {
            std::fprintf(stderr, "generating %s\n", mif.c_str());
            TMifGeneratorOptions generator;
            generator.Kind = options.Kind;
            generator.TargetMifBytes = options.EntryMb * 1'000'000;
            generator.Seed = i;
            const std::string partial = mif.string() + ".part.mif";
            GenerateMifPairFiles(generator, partial, MidPathFor(partial));
            fs::rename(MidPathFor(partial), MidPathFor(mif.string()));
            fs::rename(partial, mif);
        }
        prepared.SourceMb += static_cast<double>(fs::file_size(mif)) / 1e6;
        const int type = options.Kind == TMifKind::Points   ? 0
                         : options.Kind == TMifKind::Plines ? 1
                                                            : 2;
        list += "\"" + std::to_string(type) + "\"\t\"" + mif.string() + "\"\t\"" +
                (options.Work / "out" / (std::to_string(i) + ".shp")).string() + "\"\r\n";
    }
    prepared.Path = options.Work / "list.txt";
    std::ofstream(prepared.Path, std::ios::binary) << list;
    return prepared;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<TOptions> options = ParseOptions(argc, argv);
    if (!options) {
        std::fputs(kUsage.data(),
                   argc > 1 && std::string_view(argv[1]) == "--help" ? stdout : stderr);
        return argc > 1 && std::string_view(argv[1]) == "--help" ? 0 : 2;
    }
    try {
        const TList list = PrepareList(*options);
        const double totalMb = list.SourceMb;
        std::vector<std::vector<double>> seconds(options->Jobs);
        for (std::uint64_t run = 1; run <= options->Runs; ++run) {
            for (std::uint64_t jobs = 1; jobs <= options->Jobs; ++jobs) {
                fs::remove_all(options->Work / "out");
                fs::create_directories(options->Work / "out");
                const TChildMeasurement m = MeasureCommand(
                    {options->Tool, "--batch", list.Path.string(), "--jobs", std::to_string(jobs)},
                    (options->Work / "batch.log").string());
                if (!Succeeded(m)) {
                    std::fprintf(stderr, "varnelo-batch-bench: the run failed (%s), see %s\n",
                                 m.Describe().c_str(), (options->Work / "batch.log").c_str());
                    return 1;
                }
                seconds[jobs - 1].push_back(m.Seconds);
                std::fprintf(stderr, "run %llu, %llu job(s): %.3f s\n",
                             static_cast<unsigned long long>(run),
                             static_cast<unsigned long long>(jobs), m.Seconds);
            }
        }
        std::printf(
            "%ld logical CPUs; %llu entries of %llu MB (%s), %.1f MB in all; median of "
            "%llu runs\n\n",
            varnelo::os::MachineFacts().LogicalCpus,
            static_cast<unsigned long long>(options->Entries),
            static_cast<unsigned long long>(options->EntryMb),
            std::string(MifKindName(options->Kind)).c_str(), totalMb,
            static_cast<unsigned long long>(options->Runs));
        std::printf("| Jobs | Median s | MB/s | Time of one job |\n|--:|--:|--:|--:|\n");
        const double one = Median(seconds[0]);
        for (std::size_t jobs = 1; jobs <= seconds.size(); ++jobs) {
            const double median = Median(seconds[jobs - 1]);
            std::printf("| %zu | %.3f | %.1f | %.2f |\n", jobs, median, totalMb / median,
                        median / one);
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "varnelo-batch-bench: %s\n", error.what());
        return 1;
    }
}

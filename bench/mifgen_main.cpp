// SPDX-License-Identifier: MIT
// varnelo-mifgen: writes a realistic MIF/MID pair for benchmarks and manual tests.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "mif_generator.hpp"

namespace {

using varnelo::bench::TMifGeneratorOptions;

constexpr std::string_view kUsage =
    "usage: varnelo-mifgen [options] OUT.mif\n"
    "Writes OUT.mif and OUT.mid (Shift-JIS, CR LF, 8 attribute columns).\n"
    "  --kind K        regions | plines | points | mix (default mix)\n"
    "  --size-mb N     stop once the .mif has N MB (1 MB = 10^6 bytes; default 10)\n"
    "  --objects N     stop after N objects (with --size-mb: whichever comes first)\n"
    "  --points N      the same as --kind points --objects N\n"
    "  --seed N        random seed (default 1); the same seed gives the same bytes\n";

bool ParseCount(std::string_view text, std::uint64_t& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

int Usage(std::string_view problem) {
    if (!problem.empty()) {
        std::fprintf(stderr, "varnelo-mifgen: %.*s\n", static_cast<int>(problem.size()),
                     problem.data());
    }
    std::fputs(kUsage.data(), stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    TMifGeneratorOptions options;
    std::uint64_t sizeMb = 0;
    std::string mifPath;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        std::uint64_t number = 0;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage.data(), stdout);
            return 0;
        } else if (arg == "--kind" && hasValue) {
            const auto kind = varnelo::bench::ParseMifKind(argv[++i]);
            if (!kind) {
                return Usage("unknown kind");
            }
            options.Kind = *kind;
        } else if ((arg == "--size-mb" || arg == "--objects" || arg == "--points" ||
                    arg == "--seed") &&
                   hasValue) {
            if (!ParseCount(argv[++i], number)) {
                return Usage(std::string(arg) + " needs a whole number");
            }
            if (arg == "--size-mb") {
                sizeMb = number;
            } else if (arg == "--seed") {
                options.Seed = number;
            } else {
                options.MaxObjects = number;
                if (arg == "--points") {
                    options.Kind = varnelo::bench::TMifKind::Points;
                }
            }
        } else if (!arg.starts_with("-") && mifPath.empty()) {
            mifPath = arg;
        } else {
            return Usage(std::string("unexpected argument ") + std::string(arg));
        }
    }
    if (mifPath.empty()) {
        return Usage("no output file given");
    }
    if (sizeMb == 0 && options.MaxObjects == 0) {
        sizeMb = 10;
    }
    options.TargetMifBytes = sizeMb * 1'000'000;

    try {
        const std::string midPath = varnelo::bench::MidPathFor(mifPath);
        const auto start = std::chrono::steady_clock::now();
        const auto stats = varnelo::bench::GenerateMifPairFiles(options, mifPath, midPath);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        std::printf("%s: %llu bytes\n%s: %llu bytes\nobjects: %llu (%.2f s)\n", mifPath.c_str(),
                    static_cast<unsigned long long>(stats.MifBytes), midPath.c_str(),
                    static_cast<unsigned long long>(stats.MidBytes),
                    static_cast<unsigned long long>(stats.Objects), elapsed.count());
        for (int k = 0; k < varnelo::bench::kwKeywordCount; ++k) {
            const auto count = stats.ByKeyword[static_cast<std::size_t>(k)];
            if (count != 0) {
                const std::string_view name =
                    varnelo::bench::kMifKeywords[static_cast<std::size_t>(k)];
                std::printf("  %-10.*s %llu\n", static_cast<int>(name.size()), name.data(),
                            static_cast<unsigned long long>(count));
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "varnelo-mifgen: %s\n", error.what());
        return 1;
    }
    return 0;
}

// SPDX-License-Identifier: MIT
// varnelo-mifinfo FILE.mif: prints the column list of a .mif and how many objects of
// each kind its data section holds. A quick look at a source before converting it.
#include <CLI/CLI.hpp>
#include <array>
#include <cstdint>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>

#include "cli/tool_exit.hpp"
#include "engine/line_reader.hpp"
#include "engine/mif_header.hpp"
#include "engine/mif_objects.hpp"
#include "engine/text_ops.hpp"
#include "varnelo/version.hpp"

namespace {

using varnelo::kMifObjectKeywords;
using TCounts = std::array<std::uint64_t, kMifObjectKeywords.size()>;

// Counts the lines whose first word is an object keyword; lines inside objects hold
// numbers, styles or text strings, which never match. A collection's parts are passed over
// with it, so that they do not count as objects of their own.
TCounts CountObjects(varnelo::TLineReader& mif) {
    TCounts counts{};
    std::string line;
    varnelo::TSFPolygon region;
    varnelo::TSFPolyLine polyline;
    while (!mif.Eof()) {
        varnelo::CollapseBlanksInto(varnelo::TrimView(mif.ReadLineView()), line);
        const varnelo::TMifObjectKind kind = varnelo::MifObjectKindOfLine(line);
        for (std::size_t k = 0; k < kMifObjectKeywords.size(); ++k) {
            if (kMifObjectKeywords[k].Kind == kind) {
                ++counts[k];
            }
        }
        if (kind == varnelo::TMifObjectKind::Collection) {
            varnelo::ReadMifCollection(line, mif, region, polyline, {});
        }
    }
    return counts;
}

void PrintColumns(const varnelo::TSFColumns& columns) {
    varnelo::cli::Print(std::cout, "columns: %llu\n",
                        static_cast<unsigned long long>(columns.size()));
    for (const varnelo::TSFColumn& column : columns) {
        varnelo::cli::Print(std::cout, "  %-20s type %d  width %d\n", column.Name.c_str(),
                            static_cast<int>(column.Type), static_cast<int>(column.Width));
    }
}

void PrintCounts(const TCounts& counts) {
    varnelo::cli::Print(std::cout, "objects:\n");
    for (std::size_t k = 0; k < kMifObjectKeywords.size(); ++k) {
        const std::string_view keyword = kMifObjectKeywords[k].Keyword;
        varnelo::cli::Print(std::cout, "  %-10.*s %llu\n", static_cast<int>(keyword.size()),
                            keyword.data(), static_cast<unsigned long long>(counts[k]));
    }
}

int Main(int argc, char** argv) {
    CLI::App app{"Prints the column list of a .mif and how many objects of each kind it holds.",
                 "varnelo-mifinfo"};
    std::string path;
    app.add_option("source", path, "the .mif to look at")->required();
    app.set_version_flag("--version", std::string("varnelo-mifinfo ") + VARNELO_VERSION);
    if (const auto exitCode = varnelo::cli::ParseArguments(app, argc, argv)) {
        return *exitCode;
    }
    try {
        varnelo::TLineReader mif = varnelo::TLineReader::FromFile(path);
        varnelo::ReadMifHeader(mif);
        varnelo::TSFColumns columns;
        varnelo::ReadMifColumns(mif, columns);
        varnelo::cli::Print(std::cout, "%s\n", path.c_str());
        PrintColumns(columns);
        PrintCounts(CountObjects(mif));
        return varnelo::cli::kExitSuccess;
    } catch (const std::exception& error) {
        varnelo::cli::Print(std::cerr, "varnelo-mifinfo: %s\n", error.what());
        return varnelo::cli::kExitFailed;
    }
}

}  // namespace

int main(int argc, char** argv) {
    return varnelo::cli::RunTool("varnelo-mifinfo", argc, argv, Main);
}

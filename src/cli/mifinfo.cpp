// SPDX-License-Identifier: MIT
// varnelo-mifinfo FILE.mif: prints the column list of a .mif, how many objects of each kind
// its data section holds and the records each conversion type would write. A quick look at a
// source before converting it.
#include <CLI/CLI.hpp>
#include <array>
#include <cstdint>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>

#include "cli/tool_exit.hpp"
#include "cli/type_names.hpp"
#include "engine/line_reader.hpp"
#include "engine/mif_header.hpp"
#include "engine/object_counts.hpp"
#include "varnelo/version.hpp"

namespace {

using varnelo::kMifObjectKeywords;

void PrintColumns(const varnelo::TSFColumns& columns) {
    varnelo::cli::Print(std::cout, "columns: %llu\n",
                        static_cast<unsigned long long>(columns.size()));
    for (const varnelo::TSFColumn& column : columns) {
        varnelo::cli::Print(std::cout, "  %-20s type %d  width %d\n", column.Name.c_str(),
                            static_cast<int>(column.Type), static_cast<int>(column.Width));
    }
}

void PrintCounts(const varnelo::TMifObjectTally& tally) {
    varnelo::cli::Print(std::cout, "objects:\n");
    for (std::size_t k = 0; k < kMifObjectKeywords.size(); ++k) {
        const std::string_view keyword = kMifObjectKeywords[k].Keyword;
        varnelo::cli::Print(std::cout, "  %-10.*s %lld\n", static_cast<int>(keyword.size()),
                            keyword.data(), static_cast<long long>(tally.ByKeyword[k]));
    }
}

// The records each --type would write, for the types that would write any; "all" writes a
// shapefile for each kind the file holds.
void PrintTypes(const varnelo::TObjectCounts& objects) {
    using varnelo::TObjectCounts;
    constexpr std::array<std::int64_t TObjectCounts::*, 5> kCountOfType = {
        &TObjectCounts::Points, &TObjectCounts::PolyLines, &TObjectCounts::Polygons,
        &TObjectCounts::Texts, &TObjectCounts::Texts};
    varnelo::cli::Print(std::cout, "records by --type:\n");
    std::int64_t all = 0;
    int files = 0;
    for (const varnelo::cli::TTypeName& type : varnelo::cli::kTypeNames) {
        const std::int64_t records =
            objects.*kCountOfType.at(static_cast<std::size_t>(type.ConversionType));
        if (records > 0) {
            varnelo::cli::Print(std::cout, "  %-10.*s %lld\n", static_cast<int>(type.Name.size()), type.Name.data(),
                        static_cast<long long>(records));
        }
        if (records > 0 && type.ConversionType != varnelo::ctTextAsLine) {
            all += records;
            ++files;
        }
    }
    if (files == 0) {
        varnelo::cli::Print(std::cout, "  none: the file holds no object a conversion takes\n");
        return;
    }
    varnelo::cli::Print(std::cout, "  %-10.*s %lld in %d %s\n", static_cast<int>(varnelo::cli::kEveryKindName.size()),
                varnelo::cli::kEveryKindName.data(), static_cast<long long>(all), files,
                files == 1 ? "file" : "files");
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
        const varnelo::TMifObjectTally tally = varnelo::CountMifObjects(mif);
        PrintCounts(tally);
        PrintTypes(tally.Objects);
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

// SPDX-License-Identifier: MIT
// varnelo-mifinfo FILE.mif: prints the column list of a .mif, how many objects of each kind
// its data section holds and the records each conversion type would write. A quick look at a
// source before converting it. Given a folder or several files: a line for each .mif, in a
// table or as CSV.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/folder_scan.hpp"
#include "cli/terminal_text.hpp"
#include "cli/tool_exit.hpp"
#include "cli/type_names.hpp"
#include "engine/object_counts.hpp"
#include "engine/text_ops.hpp"
#include "os/file_system.hpp"
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
    varnelo::cli::Print(std::cout, "records by --type:\n");
    std::int64_t all = 0;
    int files = 0;
    for (const varnelo::cli::TTypeName& type : varnelo::cli::kTypeNames) {
        const std::int64_t records = varnelo::ObjectsTakenBy(type.ConversionType, objects);
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

// One line of the listing of several files.
struct TFileLine {
    std::string Path;
    varnelo::TMifOverview Overview;
};

// The --type names that would write records, with "," between them; "-" for none.
std::string TypesText(const varnelo::TObjectCounts& objects) {
    std::string text;
    for (const varnelo::cli::TTypeName& type : varnelo::cli::kTypeNames) {
        if (varnelo::ObjectsTakenBy(type.ConversionType, objects) > 0) {
            text.append(text.empty() ? "" : ",").append(type.Name);
        }
    }
    return text.empty() ? "-" : text;
}

// A header value on one line: its line breaks and runs of blanks made one blank.
std::string OneLine(std::string text) {
    for (char& c : text) {
        c = c == '\r' || c == '\n' || c == '\t' ? ' ' : c;
    }
    return varnelo::CollapseBlanks(text);
}

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted.append(c == '"' ? "\"\"" : std::string(1, c));
    }
    return quoted + "\"";
}

void PrintCsv(const std::vector<TFileLine>& lines) {
    std::cout << "file,points,polylines,polygons,texts,types,charset,coordsys\n";
    for (const TFileLine& line : lines) {
        const varnelo::TObjectCounts& objects = line.Overview.Tally.Objects;
        std::cout << CsvField(line.Path) << ',' << objects.Points << ',' << objects.PolyLines
                  << ',' << objects.Polygons << ',' << objects.Texts << ','
                  << CsvField(TypesText(objects)) << ','
                  << CsvField(line.Overview.Header.Charset) << ','
                  << CsvField(OneLine(line.Overview.Header.CoordSys)) << '\n';
    }
}

// The table: a column for each count, the names padded to the widest on the terminal.
void PrintTable(const std::vector<TFileLine>& lines) {
    const varnelo::cli::TTerminalText terminal("UTF-8");
    std::vector<std::array<std::string, 8>> rows{
        {"file", "points", "polylines", "polygons", "texts", "types", "charset", "coordsys"}};
    for (const TFileLine& line : lines) {
        const varnelo::TObjectCounts& objects = line.Overview.Tally.Objects;
        rows.push_back({terminal.Show(line.Path), std::to_string(objects.Points),
                        std::to_string(objects.PolyLines), std::to_string(objects.Polygons),
                        std::to_string(objects.Texts), TypesText(objects),
                        terminal.Show(line.Overview.Header.Charset),
                        terminal.Show(OneLine(line.Overview.Header.CoordSys))});
    }
    std::array<std::size_t, 8> widths{};
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            widths[c] = std::max(widths[c], terminal.Width(row[c]));
        }
    }
    for (const auto& row : rows) {
        std::string text;
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::string pad(widths[c] - terminal.Width(row[c]), ' ');
            const bool number = c >= 1 && c <= 4 && &row != &rows.front();
            text.append(c == 0 ? "" : "  ").append(number ? pad + row[c] : row[c]);
            if (!number && c + 1 < row.size()) {
                text.append(pad);
            }
        }
        while (!text.empty() && text.back() == ' ') {  // an empty last column
            text.pop_back();
        }
        std::cout << text << '\n';
    }
}

// The .mif files the arguments name: a folder's own (and its subfolders' with `recursive`),
// a file itself.
std::vector<std::string> FilesOf(const std::vector<std::string>& sources, bool recursive) {
    std::vector<std::string> files;
    for (const std::string& source : sources) {
        if (varnelo::os::KindOfPath(source) != varnelo::os::TFileKind::Directory) {
            files.push_back(source);
            continue;
        }
        for (const std::string& relative : varnelo::ListMifFiles(source, recursive)) {
            files.push_back(varnelo::PathUnder(source, relative));
        }
    }
    return files;
}

// Today's look at one file: its columns, its objects by keyword and the records by type.
int PrintOneFile(const std::string& path) {
    const varnelo::TMifOverview overview = varnelo::ReadMifOverview(path);
    varnelo::cli::Print(std::cout, "%s\n", path.c_str());
    PrintColumns(overview.Columns);
    PrintCounts(overview.Tally);
    PrintTypes(overview.Tally.Objects);
    return varnelo::cli::kExitSuccess;
}

int Main(int argc, char** argv) {
    CLI::App app{"Prints the column list of a .mif and how many objects of each kind it holds;\n"
                 "for a folder or several files, a line for each .mif: its objects by kind, the\n"
                 "--type names that would write records, its Charset and its CoordSys.",
                 "varnelo-mifinfo"};
    std::vector<std::string> sources;
    bool csv = false;
    bool recursive = false;
    app.add_option("source", sources, "the .mif files or folders of .mif files to look at")
        ->required();
    app.add_flag("--csv", csv, "a line for each file as comma-separated values, with a header line");
    app.add_flag("-r,--recursive", recursive, "the .mif files of the folders' subfolders too");
    app.footer("Exit code 0 when every file was read, 1 when any could not be.");
    app.set_version_flag("--version", std::string("varnelo-mifinfo ") + VARNELO_VERSION);
    if (const auto exitCode = varnelo::cli::ParseArguments(app, argc, argv)) {
        return *exitCode;
    }
    try {
        if (sources.size() == 1 && !csv &&
            varnelo::os::KindOfPath(sources[0]) != varnelo::os::TFileKind::Directory) {
            return PrintOneFile(sources[0]);
        }
        std::vector<TFileLine> lines;
        int exitCode = varnelo::cli::kExitSuccess;
        for (const std::string& path : FilesOf(sources, recursive)) {
            try {
                lines.push_back({path, varnelo::ReadMifOverview(path)});
            } catch (const std::exception& error) {
                varnelo::cli::Print(std::cerr, "varnelo-mifinfo: %s: %s\n", path.c_str(),
                                    error.what());
                exitCode = varnelo::cli::kExitFailed;
            }
        }
        csv ? PrintCsv(lines) : PrintTable(lines);
        return exitCode;
    } catch (const std::exception& error) {
        varnelo::cli::Print(std::cerr, "varnelo-mifinfo: %s\n", error.what());
        return varnelo::cli::kExitFailed;
    }
}

}  // namespace

int main(int argc, char** argv) {
    return varnelo::cli::RunTool("varnelo-mifinfo", argc, argv, Main);
}

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
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/folder_scan.hpp"
#include "cli/terminal_text.hpp"
#include "cli/tool_exit.hpp"
#include "cli/type_names.hpp"
#include "engine/code_page.hpp"
#include "engine/object_counts.hpp"
#include "engine/text_ops.hpp"
#include "os/file_system.hpp"
#include "varnelo/version.hpp"

namespace {

using varnelo::kMifObjectKeywords;
using varnelo::Text;
using varnelo::TText;

// The text of a .mif whose header names `charset`, as the terminal shows it: decoded from the
// code page the Charset stands for (code page 932 when it stands for none).
std::unique_ptr<varnelo::cli::TTerminalText> SourceText(const std::string& charset) {
    std::string name =
        varnelo::CharsetOfCodePage(varnelo::CodePageOfCharset(charset).CpgText).value_or("CP932");
    return varnelo::DisplayTextFor<varnelo::cli::TTerminalText>(name);
}

// The column names decoded by the file's Charset, padded to 20 terminal columns.
void PrintColumns(const varnelo::TSFColumns& columns, const std::string& charset) {
    const auto text = SourceText(charset);
    std::cout << Text(TText::kCliColumnCount, columns.size()) << '\n';
    for (const varnelo::TSFColumn& column : columns) {
        std::string name = text->Show(column.Name);
        name.append(20 - std::min<std::size_t>(20, text->Width(name)), ' ');
        std::cout << Text(TText::kCliColumn, name, static_cast<int>(column.Type),
                          static_cast<int>(column.Width))
                  << '\n';
    }
}

void PrintCounts(const varnelo::TMifObjectTally& tally) {
    std::cout << Text(TText::kCliObjects) << '\n';
    for (std::size_t k = 0; k < kMifObjectKeywords.size(); ++k) {
        const std::string_view keyword = kMifObjectKeywords[k].Keyword;
        varnelo::cli::Print(std::cout, "  %-10.*s %lld\n", static_cast<int>(keyword.size()),
                            keyword.data(), static_cast<long long>(tally.ByKeyword[k]));
    }
}

// The records each --type would write, for the types that would write any; "all" writes a
// shapefile for each kind the file holds.
void PrintTypes(const varnelo::TObjectCounts& objects) {
    std::cout << Text(TText::kCliRecordsByType) << '\n';
    std::int64_t all = 0;
    int files = 0;
    for (const varnelo::cli::TTypeName& type : varnelo::cli::kTypeNames) {
        const std::int64_t records = varnelo::ObjectsTakenBy(type.ConversionType, objects);
        if (records > 0) {
            varnelo::cli::Print(std::cout, "  %-10.*s %lld\n", static_cast<int>(type.Name.size()),
                                type.Name.data(), static_cast<long long>(records));
        }
        if (records > 0 && type.ConversionType != varnelo::ctTextAsLine) {
            all += records;
            ++files;
        }
    }
    if (files == 0) {
        std::cout << Text(TText::kCliNoTypeTakes) << '\n';
        return;
    }
    std::string name(varnelo::cli::kEveryKindName);
    name.resize(std::max<std::size_t>(name.size(), 10), ' ');
    std::cout << Text(files == 1 ? TText::kCliAllInFile : TText::kCliAllInFiles, name, all, files)
              << '\n';
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
        std::cout << CsvField(line.Path) << ',' << objects.Points << ',' << objects.PolyLines << ','
                  << objects.Polygons << ',' << objects.Texts << ',' << CsvField(TypesText(objects))
                  << ',' << CsvField(line.Overview.Header.Charset) << ','
                  << CsvField(OneLine(line.Overview.Header.CoordSys)) << '\n';
    }
}

// The table: a column for each count, the names padded to the widest on the terminal.
void PrintTable(const std::vector<TFileLine>& lines) {
    const varnelo::cli::TTerminalText terminal("UTF-8");
    std::vector<std::array<std::string, 8>> rows{
        {Text(TText::kCliTableFile), Text(TText::kCliTablePoints), Text(TText::kCliTablePolyLines),
         Text(TText::kCliTablePolygons), Text(TText::kCliTableTexts), Text(TText::kCliTableTypes),
         Text(TText::kCliTableCharset), Text(TText::kCliTableCoordSys)}};
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
    PrintColumns(overview.Columns, overview.Header.Charset);
    PrintCounts(overview.Tally);
    PrintTypes(overview.Tally.Objects);
    return varnelo::cli::kExitSuccess;
}

int Main(int argc, char** argv) {
    CLI::App app{Text(TText::kCliMifinfoAbout), "varnelo-mifinfo"};
    std::vector<std::string> sources;
    bool csv = false;
    bool recursive = false;
    app.add_option("source", sources, Text(TText::kCliMifinfoSourceHelp))->required();
    app.add_flag("--csv", csv, Text(TText::kCliCsvHelp));
    app.add_flag("-r,--recursive", recursive, Text(TText::kCliRecursiveHelp));
    app.footer(Text(TText::kCliMifinfoExitCodes));
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

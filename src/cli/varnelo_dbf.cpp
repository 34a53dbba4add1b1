// SPDX-License-Identifier: MIT
// varnelo-dbf FILE.dbf: shows a dBASE table as the table engine reads it: its fields, then
// its records as an aligned table, or only the records whose fields hold given values
// (found with Locate), or only how many there are. Text is decoded for the terminal from
// the table's code page; the table is opened read-only and never changed.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/terminal_text.hpp"
#include "cli/tool_exit.hpp"
#include "engine/code_page.hpp"
#include "engine/convert.hpp"
#include "engine/table_text.hpp"
#include "os/console.hpp"
#include "shape/errors.hpp"
#include "shape/local_dbf.hpp"
#include "varnelo/version.hpp"

namespace {

using namespace varnelo;
using cli::kExitFailed;
using cli::kExitSuccess;
using cli::kExitUsage;
using cli::TTerminalText;

constexpr const char* kTool = "varnelo-dbf";

struct TOptions {
    std::string Path;
    std::vector<std::string> Where;  // FIELD=VALUE, as typed
    bool IgnoreCase = false;
    bool Prefix = false;
    bool Deleted = false;
    bool Count = false;
    std::string Encoding;  // cp932, utf-8, raw; empty: the .cpg, else cp932
};

// A failure the user can fix on the command line: exit code 2.
struct TUsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The character set of the table's text and how the listing names it.
struct TCharset {
    std::string Name;  // iconv name; empty for raw bytes
    std::string Label;
};

TCharset ChooseCharset(const TOptions& options) {
    if (options.Encoding == "raw") {
        return {"", Text(TText::kCliRawBytes)};
    }
    if (options.Encoding == "utf-8") {
        return {"UTF-8", "utf-8"};
    }
    if (options.Encoding == "cp932") {
        return {"CP932", "cp932"};
    }
    const TCodePageFile table = TableCodePage(options.Path);
    if (table.Path.empty()) {
        return {table.Charset, "cp932"};
    }
    return {table.Charset, Text(TText::kCliCharsetFrom, table.Charset, table.Path)};
}

// What Locate is asked: the field names joined by ";" and one value per name.
struct TQuery {
    std::string KeyFields;
    TValueArray KeyValues;
    TLocateOptions Options;
};

// FIELD=VALUE pairs, typed in UTF-8, in the table's terms: names and text values in its
// code page. Values for fields that are not text stay as typed: the engine reads them.
std::optional<TQuery> BuildQuery(const TOptions& options, TLocalDbf& table,
                                 const TTerminalText& text) {
    if (options.Where.empty()) {
        return std::nullopt;
    }
    TQuery query;
    query.Options = {options.IgnoreCase, options.Prefix};
    for (const std::string& pair : options.Where) {
        const std::size_t equals = pair.find('=');
        if (equals == std::string::npos || equals == 0) {
            throw TUsageError(Text(TText::kCliWhereForm, pair));
        }
        const std::string typedName = pair.substr(0, equals);
        const auto name = text.Store(typedName);
        TField* field = name ? table.FindField(*name) : nullptr;
        if (field == nullptr || name->find(';') != std::string::npos) {
            throw TUsageError(Text(TText::kCliNoSuchField, typedName, options.Path));
        }
        std::string value = pair.substr(equals + 1);
        (void)field->ValueFromText(value);  // a value the field cannot hold fails here, early
        if (field->DataType() == ftString) {
            const auto stored = text.Store(value);
            if (!stored) {
                throw TUsageError(Text(TText::kCliNotInCodePage, value));
            }
            value = *stored;
        }
        query.KeyFields += (query.KeyFields.empty() ? "" : ";") + *name;
        query.KeyValues.Values.emplace_back(std::move(value));
    }
    return query;
}

// Calls `visit` on every record shown: the matches of the query in order, else every
// record the view shows (deleted ones too with `deleted`).
void ForEachRecord(TLocalDbf& table, const std::optional<TQuery>& query, bool deleted,
                   const std::function<void()>& visit) {
    if (query) {
        table.SetLocateNext(false);
        while (table.Locate(query->KeyFields, query->KeyValues, query->Options)) {
            visit();
            table.SetLocateNext(true);
        }
        return;
    }
    table.SetShowDeleted(deleted);
    for (table.First(); !table.Eof(); table.Next()) {
        visit();
    }
}

// A value as the listing shows it, text decoded for the terminal.
std::string ShownValue(const TLocalDbf& table, int index, const TTerminalText& text) {
    std::string value = ShownFieldValue(table, index);
    return table.Fields(index).DataType() == ftString ? text.Show(value) : value;
}

struct TColumn {
    std::string Title;
    bool RightAligned = false;
    std::size_t Width = 0;
};

// One line of cells separated by two blanks, without blanks at its end.
void PrintRow(const std::vector<TColumn>& columns, const std::vector<std::string>& cells,
              const TTerminalText& text) {
    std::string line;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const std::size_t pad = columns[c].Width - std::min(columns[c].Width, text.Width(cells[c]));
        if (c > 0) {
            line += "  ";
        }
        if (columns[c].RightAligned) {
            line.append(pad, ' ');
        }
        line += cells[c];
        if (!columns[c].RightAligned) {
            line.append(pad, ' ');
        }
    }
    line.erase(line.find_last_not_of(' ') + 1);
    cli::Print(std::cout, "%s\n", line.c_str());
}

// The record number, followed by a column for the deleted mark when deleted records show.
std::vector<std::string> RecordCells(TLocalDbf& table, bool deleted, const TTerminalText& text) {
    std::vector<std::string> cells;
    cells.push_back(std::to_string(table.RecNo()) +
                    (deleted ? (table.IsDeleted() ? "*" : " ") : ""));
    for (int i = 0; i < table.FieldCount(); ++i) {
        cells.push_back(ShownValue(table, i, text));
    }
    return cells;
}

void PrintFields(TLocalDbf& table, const TTerminalText& text) {
    std::vector<TColumn> columns = {{Text(TText::kCliFieldTitle)},
                                    {Text(TText::kCliTypeTitle)},
                                    {Text(TText::kCliLengthTitle), true},
                                    {Text(TText::kCliDecimalsTitle), true}};
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < table.FieldCount(); ++i) {
        const TDbfField& field = table.DbfField(i);
        rows.push_back({text.Show(table.Fields(i).FieldName()), std::string(1, field.TypeChar),
                        std::to_string(field.Length), std::to_string(field.Decimals)});
    }
    const TTerminalText titles("UTF-8");  // the titles are this program's own text
    for (std::size_t c = 0; c < columns.size(); ++c) {
        columns[c].Width = titles.Width(columns[c].Title);
        for (const auto& row : rows) {
            columns[c].Width = std::max(columns[c].Width, text.Width(row[c]));
        }
    }
    std::vector<std::string> titleRow;
    for (const TColumn& column : columns) {
        titleRow.push_back(column.Title);
    }
    PrintRow(columns, titleRow, titles);
    for (const auto& row : rows) {
        PrintRow(columns, row, text);
    }
}

// The records in two passes over the table, so that nothing but the column widths is held:
// the first measures the cells, the second prints them.
int PrintRecords(TLocalDbf& table, const std::optional<TQuery>& query, bool deleted,
                 const TTerminalText& text) {
    std::vector<TColumn> columns = {{deleted ? "# " : "#", true}};
    for (int i = 0; i < table.FieldCount(); ++i) {
        const TFieldType type = table.Fields(i).DataType();
        columns.push_back(
            {text.Show(table.Fields(i).FieldName()), type == ftInteger || type == ftFloat});
    }
    for (TColumn& column : columns) {
        column.Width = text.Width(column.Title);
    }
    int shown = 0;
    int deletedSeen = 0;
    // Without a query the first pass goes over deleted records as well, to count them.
    ForEachRecord(table, query, true, [&] {
        if (table.IsDeleted()) {
            ++deletedSeen;
            if (!deleted) {
                return;
            }
        }
        ++shown;
        const std::vector<std::string> cells = RecordCells(table, deleted, text);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            columns[c].Width = std::max(columns[c].Width, text.Width(cells[c]));
        }
    });
    std::vector<std::string> titles;
    for (const TColumn& column : columns) {
        titles.push_back(column.Title);
    }
    PrintRow(columns, titles, text);
    ForEachRecord(table, query, deleted,
                  [&] { PrintRow(columns, RecordCells(table, deleted, text), text); });

    const TText count = query              ? TText::kCliRecordsMatch
                        : deletedSeen == 0 ? TText::kCliRecordsShown
                        : deleted          ? TText::kCliRecordsShownDeletedMarked
                                           : TText::kCliRecordsShownDeletedHidden;
    std::cout << Text(count, shown, table.RecordCount(), deletedSeen) << '\n';
    return shown;
}

// The decoder for the chosen character set; one that a .cpg names but iconv does not know
// gives way to code page 932, with a warning.
std::unique_ptr<TTerminalText> MakeDecoder(TCharset& charset) {
    return DisplayTextFor<TTerminalText>(charset.Name, [&](const std::runtime_error& error) {
        std::cerr << kTool << ": " << Text(TText::kCliShowingAsCp932, error.what()) << '\n';
        charset.Label = "cp932";
    });
}

int Run(const TOptions& options) {
    if (options.Encoding == "raw") {
        // The listing holds the table's bytes as stored: nothing on the way may decode them.
        os::WriteOutputBytesUnchanged();
    }
    TCharset charset = ChooseCharset(options);
    const std::unique_ptr<TTerminalText> decoder = MakeDecoder(charset);
    const TTerminalText& text = *decoder;
    TLocalDbf table;
    table.SetTableName(options.Path);
    table.SetReadOnly(true);
    try {
        table.Open();
    } catch (const Exception& error) {
        cli::Print(std::cerr, "%s: %s: %s\n", kTool, options.Path.c_str(), error.what());
        return kExitFailed;
    }
    const std::optional<TQuery> query = BuildQuery(options, table, text);
    if (options.Count) {
        int count = 0;
        ForEachRecord(table, query, options.Deleted, [&] { ++count; });
        cli::Print(std::cout, "%d\n", count);
        return kExitSuccess;
    }
    std::cout << Text(TText::kCliDbfHeading, options.Path, table.RecordCount(), table.FieldCount(),
                      charset.Label)
              << '\n';
    PrintFields(table, text);
    cli::Print(std::cout, "\n");
    PrintRecords(table, query, options.Deleted, text);
    return kExitSuccess;
}

int Main(int argc, char** argv) {
    CLI::App app{Text(TText::kCliDbfAbout), kTool};
    TOptions options;
    app.add_option("table", options.Path, Text(TText::kCliDbfTableHelp))->required();
    app.add_option("--where", options.Where, Text(TText::kCliWhereHelp))->type_name("FIELD=VALUE");
    app.add_flag("--ignore-case", options.IgnoreCase, Text(TText::kCliIgnoreCaseHelp));
    app.add_flag("--prefix", options.Prefix, Text(TText::kCliPrefixHelp));
    app.add_flag("--deleted", options.Deleted, Text(TText::kCliDeletedHelp));
    app.add_flag("--count", options.Count, Text(TText::kCliCountHelp));
    app.add_option("--encoding", options.Encoding, Text(TText::kCliEncodingHelp))
        ->type_name("cp932|utf-8|raw")
        ->check(CLI::IsMember({"cp932", "utf-8", "raw"}).description(""));
    app.set_version_flag("--version", std::string(kTool) + " " + VARNELO_VERSION);
    if (const auto exitCode = cli::ParseArguments(app, argc, argv)) {
        return *exitCode;
    }
    try {
        return Run(options);
    } catch (const TUsageError& error) {
        cli::Print(std::cerr, "%s: %s\n", kTool, error.what());
        return kExitUsage;
    } catch (const EConvertError& error) {  // a --where value the field's type does not take
        cli::Print(std::cerr, "%s: %s\n", kTool, error.what());
        return kExitUsage;
    } catch (const std::exception& error) {
        cli::Print(std::cerr, "%s: %s: %s\n", kTool, options.Path.c_str(), error.what());
        return kExitFailed;
    }
}

}  // namespace

int main(int argc, char** argv) {
    return varnelo::cli::RunTool(kTool, argc, argv, Main);
}

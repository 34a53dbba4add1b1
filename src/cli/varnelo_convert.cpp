// SPDX-License-Identifier: MIT
// varnelo-convert: converts one MIF/MID pair into a shapefile from the command line.
#include <CLI/CLI.hpp>
#include <chrono>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/outcome_text.hpp"
#include "cli/batch_mode.hpp"
#include "cli/many_sources.hpp"
#include "cli/tool_exit.hpp"
#include "cli/type_names.hpp"
#include "engine/convert.hpp"
#include "os/console.hpp"
#include "os/interrupt.hpp"
#include "shape/errors.hpp"
#include "varnelo/version.hpp"

namespace {

using namespace varnelo;
using cli::kExitFailed;
using cli::kExitSuccess;
using cli::kExitUsage;
using os::TInterruptStop;

// Status texts go to stderr, one per line; an empty text (clearing) prints nothing.
class StderrStatus : public IStatusSink {
  public:
    explicit StderrStatus(bool terminal) : terminal_(terminal) {}
    void SetStatusText(std::string_view text) override {
        if (text.empty()) {
            return;
        }
        EndProgressLine();
        std::cerr << text << '\n';
    }
    void ShowProgress(std::uint64_t done, std::uint64_t total) {
        if (!terminal_ || total == 0) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (shown_ && now - last_ < std::chrono::milliseconds(250) && done < total) {
            return;
        }
        last_ = now;
        shown_ = true;
        constexpr int kWidth = 40;
        const int percent = static_cast<int>(done * 100 / total);
        const int filled = static_cast<int>(done * kWidth / total);
        std::string bar(static_cast<std::size_t>(filled), '#');
        bar.append(static_cast<std::size_t>(kWidth - filled), '.');
        cli::Print(std::cerr, "\r[%s] %3d%%", bar.c_str(), percent);
        std::cerr.flush();
    }
    void EndProgressLine() {
        if (shown_) {
            std::cerr << '\n';
            shown_ = false;
        }
    }

  private:
    bool terminal_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_{};
};

// "code page 932 written: /out/a.cpg" (beside each shapefile written), or "no code page
// written: " and the reason. The files were written under temporary names and have the
// targets' names now.
void PrintSidecar(std::string_view what, const TSidecarOutcome& outcome,
                  const std::vector<std::string>& written, std::string_view ext) {
    if (outcome.Path.empty()) {
        std::cout << "no " << what << " written: " << outcome.Reason << '\n';
        return;
    }
    std::cout << what << ' ' << outcome.Declared << " written: ";
    for (std::size_t i = 0; i < written.size(); ++i) {
        std::cout << (i > 0 ? ", " : "") << ShapefileSetPath(written[i], ext);
    }
    std::cout << '\n';
}

// "/out/a.shp, /out/a.shx, /out/a.dbf"
std::string TripleText(const std::string& shp) {
    return shp + ", " + ChangeFileExt(shp, ".shx") + ", " + ChangeFileExt(shp, ".dbf");
}

struct TRunOptions {
    bool KeepPartial = false;
    TMidValueRules ValueRules;
    int Threads = 0;  // the converter's own choice
};

// "2 values of a.mid did not fit their fields and were left empty:" and the first of them.
void PrintValuesLeftEmpty(const TValuesLeftEmpty& values, const std::string& mid) {
    if (values.Count == 0) {
        return;
    }
    std::cout << values.Count << (values.Count == 1 ? " value of " : " values of ") << mid
              << (values.Count == 1 ? " did not fit its field and was left empty:\n"
                                    : " did not fit their fields and were left empty:\n");
    for (const TValueLeftEmpty& value : values.First) {
        std::cout << "  line " << value.MidLine << ", field " << value.Field << ": \""
                  << value.Value << "\"\n";
    }
    const auto unlisted = values.Count - static_cast<std::int64_t>(values.First.size());
    if (unlisted > 0) {
        std::cout << "  and " << unlisted << " more\n";
    }
}

// Says why a conversion failed, on stderr.
void PrintFailure(const TConversionReport& report, const std::string& source,
                  const TRunOptions& options) {
    const std::string mid = ChangeFileExt(source, ".mid");
    const TFailurePlace place = FailurePlaceOf(report);
    if (place == TFailurePlace::MissingSource) {
        std::cerr << "varnelo-convert: source not found: " << source << '\n';
        return;
    }
    std::cerr << "varnelo-convert: conversion failed";
    if (place == TFailurePlace::MidLine) {
        std::cerr << " at line " << report.FailedMidLine << " of " << mid;
    } else if (place == TFailurePlace::MifLine) {
        std::cerr << " at line " << report.FailedLine << " of " << source;
    }
    std::cerr << ": " << report.ErrorText << '\n';
    std::string kept;
    for (const TTargetOutcome& target : report.Targets) {
        if (options.KeepPartial && target.Written) {
            kept += (kept.empty() ? "" : ", ") + TripleText(target.ShpPath);
        }
    }
    if (!kept.empty()) {
        std::cerr << "varnelo-convert: the files written so far were kept: " << kept << '\n';
    }
}

// The summary of a conversion that succeeded, on stdout: one line per shapefile written,
// then the files beside them and what the source left unsaid or unfit.
void PrintSummary(const TConversionReport& report, const std::string& source,
                  std::optional<int> type) {
    const std::string mid = ChangeFileExt(source, ".mid");
    std::vector<std::string> written;
    for (const TTargetOutcome& target : report.Targets) {
        if (target.Written) {
            std::cout << target.RecordsWritten << " records written: " << TripleText(target.ShpPath)
                      << '\n';
            written.push_back(target.ShpPath);
        }
    }
    if (report.RecordsWritten == 0) {  // what the file holds, and the type that takes it
        if (report.Outcome == TConversionOutcome::NothingToWrite) {
            std::cout << "nothing written: the target's files were left as they were\n";
        } else if (written.empty()) {
            std::cout << "no shapefile written\n";
        }
        std::cout << NoRecordText(type.value_or(-1), report.Objects) << '\n';
    }
    if (!written.empty()) {
        PrintSidecar("code page", report.CodePage, written, ".cpg");
        PrintSidecar("coordinate system", report.CoordSys, written, ".prj");
    }
    if (report.MidMissing) {
        std::cout << cli::NoMidText(source) << '\n';
    }
    if (report.RowsOverSeveralLines > 0) {
        std::cout << report.RowsOverSeveralLines
                  << (report.RowsOverSeveralLines == 1 ? " row" : " rows") << " of " << mid
                  << " spanned several lines (quoted values holding line breaks)\n";
    }
    for (const std::string& note : report.Notes) {  // columns kept as text, numbers left over
        std::cout << note << '\n';
    }
    PrintValuesLeftEmpty(report.ValuesLeftEmpty, mid);
}

// Converts with one type, or every kind of object into a shapefile each when `type` is none.
int Run(std::optional<int> type, const std::string& source, const std::string& target,
        const TRunOptions& options) {
    StderrStatus status(os::IsTerminal(os::TStandardStream::Error));
    const TInterruptStop interrupt;
    TConversionReport report;
    TConversionHooks hooks;
    hooks.Status = &status;
    hooks.Report = &report;
    hooks.ValueRules = options.ValueRules;
    hooks.KeepPartial = options.KeepPartial;
    hooks.Threads = options.Threads;
    hooks.Cancel = TInterruptStop::Flag();
    hooks.Progress = [&status](std::uint64_t done, std::uint64_t total) {
        status.ShowProgress(done, total);
    };
    // The new files replace the old ones only once they are complete (or, kept for
    // inspection, once the conversion ended either way).
    const bool ok = type ? ConvertMifToShp(*type, source, target, hooks)
                         : ConvertMifToShapefiles(source, EveryKindTargets(target), hooks);
    status.EndProgressLine();
    interrupt.EndIfInterrupted();
    if (!ok) {
        PrintFailure(report, source, options);
        return kExitFailed;
    }
    PrintSummary(report, source, type);
    return report.Outcome == TConversionOutcome::NothingToWrite ? cli::kExitNothingWritten
                                                                : kExitSuccess;
}

// --out, --recursive and the sources beyond two, for many sources into one folder; --jobs
// taken with --out too. The target is then one more source, and is required only without
// --out or --batch.
CLI::Option* AddManySourcesOptions(CLI::App& app, const cli::TBatchModeOptions& batch,
                                   CLI::Option* targetOption, cli::TManySourcesOptions& many,
                                   std::vector<std::string>& moreSources) {
    CLI::Option* out =
        app.add_option("-o,--out", many.OutFolder,
                       "convert every source given (.mif files, or folders of them) into DIR, "
                       "keeping the layout of the folders' files; the target is then one more "
                       "source")
            ->type_name("DIR");
    app.add_flag("-r,--recursive", many.Recursive,
                 "with --out: the .mif files of the source folders' subfolders too")
        ->needs(out);
    app.add_option("more", moreSources, "with --out: more sources")->needs(out);
    targetOption->required(false);
    batch.Batch->excludes(targetOption)->excludes(out);
    CLI::Option* jobs = app.get_option("--jobs");
    jobs->remove_needs(batch.Batch);
    jobs->description(jobs->get_description() + "; with --out, up to N sources");
    app.footer(app.get_footer() +
               "\n\nWith --out, one line per output as its source ends, then a summary; exit "
               "code 0 when every source wrote records, 1 when any failed, else 3 when any had "
               "nothing to write, 2 (nothing converted) when two sources would write one "
               "target.");
    return out;
}

int Main(int argc, char** argv) {
    CLI::App app{
        "Converts a MIF/MID pair into an ESRI Shapefile (.shp, .shx, .dbf).\n"
        "Types: point, polyline, polygon, text-point, text-line (or 0-4), or all: every kind\n"
        "of object in one pass into TARGET_point.shp, TARGET_line.shp, TARGET_polygon.shp and\n"
        "TARGET_text.shp (texts as points), for the kinds the source holds.",
        "varnelo-convert"};
    std::string typeText;
    std::string source;
    std::string target;
    CLI::Option* typeOption =
        app.add_option("-t,--type", typeText,
                       "conversion type: point|polyline|polygon|text-point|text-line|all")
            ->required();
    CLI::Option* sourceOption =
        app.add_option("source", source, "source .mif (the .mid beside it is read too)")
            ->required();
    CLI::Option* targetOption =
        app.add_option("target", target,
                       "target .shp (.shx, .dbf, .cpg and .prj beside it), or with --type all "
                       "the name before _point.shp, _line.shp, _polygon.shp, _text.shp; files "
                       "there are replaced only once the conversion succeeded")
            ->required();
    TRunOptions run;
    CLI::Option* keepPartial = app.add_flag(
        "--keep-partial", run.KeepPartial,
        "when the conversion fails, keep the files written so far under the target's names "
        "(by default the target's previous files are left as they were)");
    CLI::Option* lenient =
        app.add_flag("--lenient", run.ValueRules.Lenient,
                     "store no value for a .mid value that does not fit its field (an "
                     "unreadable number or date, too many digits) and go on; the summary "
                     "lists what was left empty");
    std::string dateOrderText;
    CLI::Option* dateOrder =
        app.add_option("--date-order", dateOrderText,
                       "read dates written with the year last (05/03/2002, 05-03-2002, "
                       "05.03.2002) as day/month/year or month/day/year")
            ->type_name("dmy|mdy")
            ->check(CLI::IsMember({"dmy", "mdy"}).description(""));
    CLI::Option* threads =
        app.add_option("--threads", run.Threads,
                       "1: convert on one thread; 2 (the default when the machine has more than "
                       "one processor): read and write the .mid rows on a second thread beside "
                       "the objects, or, for polylines or polygons from a large .mif with few "
                       "rows, read parts of the .mif ahead there. The files written are the same "
                       "either way")
            ->type_name("N")
            ->check(CLI::Range(1, 2));
    cli::TBatchModeOptions batch;
    cli::AddBatchOptions(app, batch, {typeOption, sourceOption});
    cli::TManySourcesOptions many;
    std::vector<std::string> moreSources;
    CLI::Option* out = AddManySourcesOptions(app, batch, targetOption, many, moreSources);
    app.set_version_flag("--version", std::string("varnelo-convert ") + VARNELO_VERSION);

    if (const auto exitCode = cli::ParseArguments(app, argc, argv)) {
        return *exitCode;
    }
    if (batch.Requested()) {
        // The batch run converts as the window does.
        for (const CLI::Option* option : {keepPartial, lenient, dateOrder, threads}) {
            if (option->count() > 0) {
                std::cerr << "varnelo-convert: " << option->get_name()
                          << " is not taken with --batch\n";
                return kExitUsage;
            }
        }
        return cli::RunBatchMode(batch);
    }
    if (app.get_option("--jobs")->count() > 0 && out->count() == 0) {
        std::cerr << "varnelo-convert: --jobs needs --batch or --out\n";
        return kExitUsage;
    }
    if (out->count() == 0 && target.empty()) {
        std::cerr << "varnelo-convert: a target is required, or --out DIR\n"
                  << "Run with --help for more information.\n";
        return kExitUsage;
    }
    const bool everyKind = typeText == cli::kEveryKindName;
    const auto type = cli::ParseConversionType(typeText);
    if (!type && !everyKind) {
        std::cerr << "varnelo-convert: unknown conversion type '" << typeText
                  << "' (point, polyline, polygon, text-point, text-line, 0-4 or all)\n";
        return kExitUsage;
    }
    if (dateOrder->count() > 0) {
        run.ValueRules.YearLastDates =
            dateOrderText == "dmy" ? TDateOrder::DayMonthYear : TDateOrder::MonthDayYear;
    }
    if (out->count() > 0) {
        many.Type = type;
        many.Sources.push_back(source);
        if (!target.empty()) {
            many.Sources.push_back(target);
        }
        many.Sources.insert(many.Sources.end(), moreSources.begin(), moreSources.end());
        many.Jobs = batch.Jobs;
        many.KeepPartial = run.KeepPartial;
        many.ValueRules = run.ValueRules;
        return cli::RunManySources(many);
    }
    return Run(type, source, target, run);
}

}  // namespace

int main(int argc, char** argv) {
    return varnelo::cli::RunTool("varnelo-convert", argc, argv, Main);
}

// SPDX-License-Identifier: MIT
// varnelo-convert: converts one MIF/MID pair into a shapefile from the command line.
#include <CLI/CLI.hpp>
#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/display_text.hpp"
#include "app/outcome_text.hpp"
#include "cli/batch_mode.hpp"
#include "cli/many_sources.hpp"
#include "cli/tool_exit.hpp"
#include "cli/type_names.hpp"
#include "engine/code_page.hpp"
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

constexpr const char* kTool = "varnelo-convert";

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
// written: " and the reason: `written` and `none` say which. The files were written under
// temporary names and have the targets' names now.
void PrintSidecar(TText written, TText none, const TSidecarOutcome& outcome,
                  const std::vector<std::string>& shapefiles, std::string_view ext) {
    if (outcome.Path.empty()) {
        std::cout << Text(none, outcome.Reason) << '\n';
        return;
    }
    std::string paths;
    for (std::size_t i = 0; i < shapefiles.size(); ++i) {
        paths.append(i > 0 ? ", " : "").append(ShapefileSetPath(shapefiles[i], ext));
    }
    std::cout << Text(written, outcome.Declared, paths) << '\n';
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

// "2 values of a.mid did not fit their fields and were left empty:" and the first of them,
// their fields and values as the report holds them, decoded for messages.
void PrintValuesLeftEmpty(const TValuesLeftEmpty& values, const std::string& mid) {
    if (values.Count == 0) {
        return;
    }
    std::cout << Text(values.Count == 1 ? TText::kCliValueLeftEmpty : TText::kCliValuesLeftEmpty,
                      values.Count, mid)
              << '\n';
    for (const TValueLeftEmpty& value : values.First) {
        std::cout << Text(TText::kCliValueLeftEmptyAt, value.MidLine, value.Field, value.Value)
                  << '\n';
    }
    const auto unlisted = values.Count - static_cast<std::int64_t>(values.First.size());
    if (unlisted > 0) {
        std::cout << Text(TText::kCliMoreValuesLeftEmpty, unlisted) << '\n';
    }
}

// Says why a conversion failed, on stderr.
void PrintFailure(const TConversionReport& report, const std::string& source,
                  const TRunOptions& options) {
    if (FailurePlaceOf(report) == TFailurePlace::MissingSource) {
        std::cerr << kTool << ": " << Text(TText::kCliSourceNotFound, source) << '\n';
        return;
    }
    std::cerr << kTool << ": "
              << Text(TText::kCliConversionFailed, FailureReasonText(source, report)) << '\n';
    std::string kept;
    for (const TTargetOutcome& target : report.Targets) {
        if (options.KeepPartial && target.Written) {
            kept += (kept.empty() ? "" : ", ") + TripleText(target.ShpPath);
        }
    }
    if (!kept.empty()) {
        std::cerr << kTool << ": " << Text(TText::kCliFilesKept, kept) << '\n';
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
            std::cout << Text(TText::kCliRecordsWritten, target.RecordsWritten,
                              TripleText(target.ShpPath))
                      << '\n';
            written.push_back(target.ShpPath);
        }
    }
    if (report.RecordsWritten == 0) {  // what the file holds, and the type that takes it
        if (report.Outcome == TConversionOutcome::NothingToWrite) {
            std::cout << Text(TText::kCliNothingWritten) << '\n';
        } else if (written.empty()) {
            std::cout << Text(TText::kCliNoShapefileWritten) << '\n';
        }
        std::cout << NoRecordText(type.value_or(-1), report.Objects) << '\n';
    }
    if (!written.empty()) {
        PrintSidecar(TText::kCliCodePageWritten, TText::kCliNoCodePageWritten, report.CodePage,
                     written, ".cpg");
        PrintSidecar(TText::kCliCoordSysWritten, TText::kCliNoCoordSysWritten, report.CoordSys,
                     written, ".prj");
    }
    if (report.MidMissing) {
        std::cout << cli::NoMidText(source) << '\n';
    }
    if (report.RowsOverSeveralLines > 0) {
        std::cout << Text(report.RowsOverSeveralLines == 1 ? TText::kCliRowOverLines
                                                           : TText::kCliRowsOverLines,
                          report.RowsOverSeveralLines, mid)
                  << '\n';
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
        app.add_option("-o,--out", many.OutFolder, Text(TText::kCliOutHelp))->type_name("DIR");
    app.add_flag("-r,--recursive", many.Recursive, Text(TText::kCliRecursiveConvertHelp))
        ->needs(out);
    app.add_option("more", moreSources, Text(TText::kCliMoreHelp))->needs(out);
    targetOption->required(false);
    batch.Batch->excludes(targetOption)->excludes(out);
    CLI::Option* jobs = app.get_option("--jobs");
    jobs->remove_needs(batch.Batch);
    jobs->description(Text(TText::kCliJobsHelpWithOut));
    app.footer(app.get_footer() + "\n\n" + Text(TText::kCliOutExitCodes));
    return out;
}

int Main(int argc, char** argv) {
    CLI::App app{Text(TText::kCliConvertAbout), kTool};
    std::string typeText;
    std::string source;
    std::string target;
    CLI::Option* typeOption =
        app.add_option("-t,--type", typeText, Text(TText::kCliTypeHelp))->required();
    CLI::Option* sourceOption =
        app.add_option("source", source, Text(TText::kCliSourceHelp))->required();
    CLI::Option* targetOption =
        app.add_option("target", target, Text(TText::kCliTargetHelp))->required();
    TRunOptions run;
    CLI::Option* keepPartial =
        app.add_flag("--keep-partial", run.KeepPartial, Text(TText::kCliKeepPartialHelp));
    CLI::Option* lenient =
        app.add_flag("--lenient", run.ValueRules.Lenient, Text(TText::kCliLenientHelp));
    std::string dateOrderText;
    CLI::Option* dateOrder =
        app.add_option("--date-order", dateOrderText, Text(TText::kCliDateOrderHelp))
            ->type_name("dmy|mdy")
            ->check(CLI::IsMember({"dmy", "mdy"}).description(""));
    CLI::Option* threads = app.add_option("--threads", run.Threads, Text(TText::kCliThreadsHelp))
                               ->type_name("N")
                               ->check(CLI::Range(1, 2).description(""));
    cli::TBatchModeOptions batch;
    cli::AddBatchOptions(app, batch, {typeOption, sourceOption});
    cli::TManySourcesOptions many;
    std::vector<std::string> moreSources;
    CLI::Option* out = AddManySourcesOptions(app, batch, targetOption, many, moreSources);
    app.set_version_flag("--version", std::string(kTool) + " " + VARNELO_VERSION);

    if (const auto exitCode = cli::ParseArguments(app, argc, argv)) {
        return *exitCode;
    }
    if (batch.Requested()) {
        // The batch run converts as the window does.
        for (const CLI::Option* option : {keepPartial, lenient, dateOrder, threads}) {
            if (option->count() > 0) {
                std::cerr << kTool << ": " << Text(TText::kCliNotWithBatch, option->get_name())
                          << '\n';
                return kExitUsage;
            }
        }
        return cli::RunBatchMode(batch);
    }
    if (app.get_option("--jobs")->count() > 0 && out->count() == 0) {
        std::cerr << kTool << ": " << Text(TText::kCliJobsNeedsBatchOrOut) << '\n';
        return kExitUsage;
    }
    if (out->count() == 0 && target.empty()) {
        std::cerr << kTool << ": " << Text(TText::kCliTargetRequired) << '\n'
                  << Text(TText::kCliRunWithHelp) << '\n';
        return kExitUsage;
    }
    const bool everyKind = typeText == cli::kEveryKindName;
    const auto type = cli::ParseConversionType(typeText);
    if (!type && !everyKind) {
        std::cerr << kTool << ": " << Text(TText::kCliUnknownType, typeText) << '\n';
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
    return varnelo::cli::RunTool(kTool, argc, argv, Main);
}

// SPDX-License-Identifier: MIT
#include "cli/batch_mode.hpp"

#include <iostream>
#include <string_view>

#include "app/batch_file.hpp"
#include "app/batch_run.hpp"
#include "app/outcome_text.hpp"
#include "cli/tool_exit.hpp"
#include "engine/convert.hpp"
#include "os/interrupt.hpp"

namespace varnelo::cli {
namespace {

constexpr std::string_view kTool = "varnelo-convert: ";

// The batch run's view on a terminal: one line per entry on stdout as it ends, warnings and
// errors on stderr. Status texts, the progress and the selection have nothing to show.
class TTextBatchView final : public IBatchView {
  public:
    explicit TTextBatchView(const TBatchList& list) : list_(list) {}

    void ShowMessage(TMessageKind kind, std::string_view text) override {
        if (kind != TMessageKind::Information) {  // the summary tells how the run ended
            std::cerr << kTool << text << '\n';
        }
    }
    void ShowErrorDisplay(std::string_view text) override { std::cerr << kTool << text << '\n'; }
    void SetStatusText(std::string_view) override {}
    void SetProgress(std::uint64_t, std::uint64_t) override {}
    void SetBusyCursor(bool) override {}
    void ProcessMessages() override {}
    void SelectEntry(std::size_t) override {}

    // Called one at a time, from whichever thread converted the entry.
    void EntryEnded(std::size_t index, TEntryStatus status, const TConversionReport& report) {
        if (status == TEntryStatus::None) {
            return;
        }
        const TBatchEntry& entry = list_.Entries[index];
        std::cout << '[' << index + 1 << '/' << list_.Entries.size() << "] ";
        if (IsCombinedRun(list_)) {
            std::cout << Text(TText::kCliBatchJoined, entry.MifFile);
        } else if (status == TEntryStatus::Success && report.MidMissing) {
            std::cout << Text(TText::kCliBatchOkNoMid, entry.MifFile, entry.ShpFile,
                              report.RecordsWritten, NoMidText(entry.MifFile));
        } else if (status == TEntryStatus::Success) {
            std::cout << Text(TText::kCliBatchOk, entry.MifFile, entry.ShpFile,
                              report.RecordsWritten);
        } else if (status == TEntryStatus::Failure &&
                   FailurePlaceOf(report) == TFailurePlace::MissingSource) {
            std::cout << Text(TText::kCliBatchFailed, entry.MifFile, entry.ShpFile,
                              Text(TText::kCliNoSource));
        } else {
            // The reason says its place once: the file and line, then the cause.
            std::cout << Text(status == TEntryStatus::NothingToWrite
                                  ? TText::kCliBatchNothingWritten
                                  : TText::kCliBatchFailed,
                              entry.MifFile, entry.ShpFile, EntryReasonText(entry, status, report));
        }
        std::cout << std::endl;  // as each entry ends, also into a pipe
    }

    void PrintSummary(const TBatchSummary& summary) const {
        const std::size_t count = list_.Entries.size();
        if (summary.Combined) {
            if (summary.CombinedConverted &&
                summary.CombinedReport.Outcome == TConversionOutcome::NothingToWrite) {
                std::cout << Text(TText::kCliCombinedNothingWritten, count, list_.CombineFile,
                                  NoRecordText(list_.Entries.front().ConversionType,
                                               summary.CombinedReport.Objects))
                          << '\n';
            } else if (summary.CombinedConverted) {
                std::cout << Text(TText::kCliCombined, count, list_.CombineFile,
                                  summary.CombinedReport.RecordsWritten)
                          << '\n';
                for (const std::size_t index : summary.WithoutMid) {
                    std::cout << NoMidText(list_.Entries[index].MifFile) << '\n';
                }
            } else {
                std::cout << (summary.Error.empty()
                                  ? Text(TText::kCliCombinedFailedBecause, summary.Succeeded, count,
                                         CombinedFailureReason(summary.CombinedReport))
                                  : Text(TText::kCliCombinedFailed, summary.Succeeded, count))
                          << '\n';
            }
            return;
        }
        std::cout << (summary.NotRun > 0
                          ? Text(TText::kCliBatchSummaryNotRun, count, summary.Succeeded,
                                 summary.Failed, summary.NothingToWrite, summary.NotRun)
                          : Text(TText::kCliBatchSummary, count, summary.Succeeded, summary.Failed,
                                 summary.NothingToWrite))
                  << '\n';
    }

  private:
    // Why the combined conversion of several sources failed: the reason names its place.
    static std::string CombinedFailureReason(const TConversionReport& report) {
        return FailureReasonText("", report);
    }

    const TBatchList& list_;
};

}  // namespace

std::string NoMidText(const std::string& mifFile) {
    return Text(TText::kCliNoMid, ChangeFileExt(mifFile, ".mid"), mifFile);
}

void AddBatchOptions(CLI::App& app, TBatchModeOptions& options,
                     const std::vector<CLI::Option*>& singleJob) {
    options.Batch = app.add_option("--batch", options.ListFile, Text(TText::kCliBatchHelp))
                        ->type_name("LIST.txt");
    app.add_option("-j,--jobs", options.Jobs, Text(TText::kCliJobsHelp))
        ->type_name("N")
        ->check(CLI::Range(1, 256).description(""))
        ->needs(options.Batch);
    app.footer(Text(TText::kCliExitCodes));
    for (CLI::Option* option : singleJob) {
        option->required(false);
        options.Batch->excludes(option);
    }
    app.final_callback([batch = options.Batch, singleJob] {
        if (batch->count() > 0) {
            return;
        }
        for (CLI::Option* option : singleJob) {
            if (option->count() == 0) {
                option->required();  // without --batch it is, as the usage error says
                throw CLI::RequiredError(option->get_name());
            }
        }
    });
}

int RunBatchMode(const TBatchModeOptions& options) {
    TBatchList list;
    try {
        LoadBatchList(options.ListFile, list);
        // The window's rule, evaluated as the window does after loading.
        list.CombineEnabled = list.Combine && CanCombine(list.Entries);
    } catch (const EInvalidBatchList& e) {
        std::cerr << kTool << e.what() << '\n';
        return kExitUsage;
    } catch (const std::exception& e) {
        std::cerr << kTool << ErrorDisplayText(e.what()) << '\n';
        return kExitUsage;
    }

    TTextBatchView view(list);
    TImmediateRunner runner;
    const os::TInterruptStop interrupt;
    TBatchRunOptions run;
    run.Jobs = options.Jobs;
    run.Cancel = os::TInterruptStop::Flag();
    run.StatusChanged = [&view](std::size_t index, TEntryStatus status,
                                const TConversionReport& report) {
        view.EntryEnded(index, status, report);
    };
    int exitCode = kExitFailed;
    run.Ended = [&](const TBatchSummary& summary) {
        view.PrintSummary(summary);
        const bool anyFailed = !summary.Error.empty() || summary.Failed > 0 || summary.NotRun > 0 ||
                               (summary.Combined && !summary.CombinedConverted);
        const bool anyUnwritten = summary.NothingToWrite > 0 ||
                                  (summary.Combined && summary.CombinedReport.Outcome ==
                                                           TConversionOutcome::NothingToWrite);
        exitCode = anyFailed ? kExitFailed : anyUnwritten ? kExitNothingWritten : kExitSuccess;
    };
    RunBatch(list, view, runner, std::move(run));
    interrupt.EndIfInterrupted();
    return exitCode;
}

}  // namespace varnelo::cli

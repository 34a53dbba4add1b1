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
            std::cout << "joined: " << entry.MifFile;
        } else if (status == TEntryStatus::Success) {
            std::cout << "ok: " << entry.MifFile << " -> " << entry.ShpFile << ": "
                      << report.RecordsWritten << " records";
            if (report.MidMissing) {
                std::cout << " (" << NoMidText(entry.MifFile) << ')';
            }
        } else if (status == TEntryStatus::NothingToWrite) {
            std::cout << "nothing written: " << entry.MifFile << " -> " << entry.ShpFile << ": "
                      << EntryReasonText(entry, status, report);
        } else {
            std::cout << "failed: " << entry.MifFile << " -> " << entry.ShpFile << ": "
                      << FailureReason(entry.MifFile, report);
        }
        std::cout << std::endl;  // as each entry ends, also into a pipe
    }

    void PrintSummary(const TBatchSummary& summary) const {
        const std::size_t count = list_.Entries.size();
        if (summary.Combined) {
            if (summary.CombinedConverted &&
                summary.CombinedReport.Outcome == TConversionOutcome::NothingToWrite) {
                std::cout << count << " entries joined; nothing written to " << list_.CombineFile
                          << ": "
                          << NoRecordText(list_.Entries.front().ConversionType,
                                          summary.CombinedReport.Objects)
                          << '\n';
            } else if (summary.CombinedConverted) {
                std::cout << count << " entries combined into " << list_.CombineFile << ": "
                          << summary.CombinedReport.RecordsWritten << " records\n";
                for (const std::size_t index : summary.WithoutMid) {
                    std::cout << NoMidText(list_.Entries[index].MifFile) << '\n';
                }
            } else {
                std::cout << summary.Succeeded << " of " << count << " entries joined; nothing "
                          << "converted";
                if (summary.Error.empty()) {
                    std::cout << ": " << FailureReason("", summary.CombinedReport);
                }
                std::cout << '\n';
            }
            return;
        }
        std::cout << count << " entries: " << summary.Succeeded << " converted, " << summary.Failed
                  << " failed, " << summary.NothingToWrite << " with nothing to write";
        if (summary.NotRun > 0) {
            std::cout << ", " << summary.NotRun << " not run";
        }
        std::cout << '\n';
    }

  private:
    // Why a conversion answered false: the missing source, else the error it met.
    static std::string FailureReason(const std::string& mifFile, const TConversionReport& report) {
        switch (FailurePlaceOf(report)) {
            case TFailurePlace::MissingSource:
                return "source not found";
            case TFailurePlace::MidLine:
                return "line " + std::to_string(report.FailedMidLine) + " of " +
                       ChangeFileExt(mifFile, ".mid") + ": " + report.ErrorText;
            case TFailurePlace::MifLine:
                return "line " + std::to_string(report.FailedLine) + ": " + report.ErrorText;
            case TFailurePlace::Unplaced:
                break;
        }
        return report.ErrorText.empty() ? "conversion failed" : report.ErrorText;
    }

    const TBatchList& list_;
};

}  // namespace

std::string NoMidText(const std::string& mifFile) {
    return "no " + ChangeFileExt(mifFile, ".mid") + " beside " + mifFile +
           ": every attribute was left empty";
}

void AddBatchOptions(CLI::App& app, TBatchModeOptions& options,
                     const std::vector<CLI::Option*>& singleJob) {
    options.Batch = app.add_option("--batch", options.ListFile,
                                   "run a batch list saved by the desktop program: a combined "
                                   "run when its combine flag is set and the entries may be "
                                   "combined, else every entry on its own")
                        ->type_name("LIST.txt");
    app.add_option("-j,--jobs", options.Jobs,
                   "with --batch: convert up to N entries at the same time (default 1); "
                   "entries that write the same files never run at once")
        ->type_name("N")
        ->check(CLI::Range(1, 256))
        ->needs(options.Batch);
    app.footer(
        "Exit codes: 0 the shapefile was written; 3 nothing was written (the source holds "
        "objects, none of a kind the type takes; the target's files were left as they were); 1 "
        "the conversion failed (a source that is no MIF file, with no Data line, included); 2 "
        "a usage error.\n"
        "With --batch, one line per entry as it ends, then a summary counting the entries "
        "converted, failed and with nothing to write; exit code 1 when any entry failed, else 3 "
        "when any had nothing to write, else 0; 2 for a list that cannot be read.");
    for (CLI::Option* option : singleJob) {
        option->required(false);
        options.Batch->excludes(option);
    }
    app.final_callback([batch = options.Batch, singleJob] {
        if (batch->count() > 0) {
            return;
        }
        for (const CLI::Option* option : singleJob) {
            if (option->count() == 0) {
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

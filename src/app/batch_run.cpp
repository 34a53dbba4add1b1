// SPDX-License-Identifier: MIT
#include "app/batch_run.hpp"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "app/combined_source.hpp"
#include "app/paths.hpp"
#include "engine/text_ops.hpp"
#include "os/catalog.hpp"

namespace varnelo {
namespace {

// Thrown to leave the joining of a cancelled combined run.
struct TStopped {};

std::string ErrorText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return Text(TText::kAppUnknownError);
    }
}

// The files a conversion into `shpFile` writes, each derived from that one path.
std::array<std::string, kShapefileSetExtensions.size()> WrittenFiles(const std::string& shpFile) {
    std::array<std::string, kShapefileSetExtensions.size()> files;
    for (std::size_t i = 0; i < files.size(); ++i) {
        files[i] = ShapefileSetPath(shpFile, kShapefileSetExtensions[i]);
    }
    return files;
}

std::optional<std::string> FindOverwrittenSource(const TBatchList& list) {
    std::unordered_set<std::string> sources;
    for (const TBatchEntry& entry : list.Entries) {
        sources.insert(FileIdentity(entry.MifFile));
        sources.insert(FileIdentity(ChangeFileExt(entry.MifFile, ".mid")));
    }
    const auto overwritten = [&](const std::string& shpFile) -> std::optional<std::string> {
        for (const std::string& file : WrittenFiles(shpFile)) {
            if (sources.count(FileIdentity(file)) != 0) {
                return file;
            }
        }
        return std::nullopt;
    };
    if (IsCombinedRun(list)) {
        return overwritten(list.CombineFile);
    }
    for (const TBatchEntry& entry : list.Entries) {
        if (auto file = overwritten(entry.ShpFile)) {
            return file;
        }
    }
    return std::nullopt;
}

// For each entry, the earlier entries that write one of its files: it may start only once
// they have ended, so that a file written twice ends up as a run of one job leaves it.
std::vector<std::vector<std::size_t>> EarlierWritersOfSameFiles(
    const std::vector<TBatchEntry>& entries) {
    std::vector<std::vector<std::size_t>> earlier(entries.size());
    std::unordered_map<std::string, std::size_t> lastWriter;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        for (const std::string& file : WrittenFiles(entries[i].ShpFile)) {
            const auto [it, isNew] = lastWriter.try_emplace(FileIdentity(file), i);
            if (!isNew) {
                earlier[i].push_back(it->second);
                it->second = i;
            }
        }
    }
    return earlier;
}

// One batch run: its copy of the list, the workers' shared state and what it reports.
class TBatchRun {
  public:
    TBatchRun(const TBatchList& list, IBatchView& view, IWorkRunner& runner,
              TBatchRunOptions options)
        : entries_(list.Entries),
          combineFile_(list.CombineFile),
          combined_(IsCombinedRun(list)),
          view_(view),
          runner_(runner),
          options_(std::move(options)),
          started_(entries_.size(), 0),
          ended_(entries_.size(), 0) {
        if (options_.TempDir.empty()) {
            options_.TempDir = GetTempDir();
        }
        options_.Jobs = std::max<std::size_t>(options_.Jobs, 1);
    }

    // On the caller's thread, before the work.
    void Start() {
        if (options_.Started) {
            options_.Started();
        }
        if (options_.StatusChanged) {
            for (std::size_t i = 0; i < entries_.size(); ++i) {
                options_.StatusChanged(i, TEntryStatus::None, TConversionReport{});
            }
        }
        view_.SetBusyCursor(true);
    }

    void Work() {
        try {
            if (combined_) {
                CombinedRun();
            } else {
                PlainRun();
            }
        } catch (...) {
            KeepError(std::current_exception());
        }
    }

    // The closing steps, on the caller's thread, however the work ended.
    void Finish() {
        summary_.Combined = combined_;
        summary_.NotRun =
            entries_.size() - summary_.Succeeded - summary_.Failed - summary_.NothingToWrite;
        summary_.Cancelled = Cancelled();
        if (error_) {
            summary_.Error = ErrorText(error_);
        }
        for (std::vector<TEntryFailure>* list : {&summary_.Failures, &summary_.Unwritten}) {
            std::sort(
                list->begin(), list->end(),
                [](const TEntryFailure& a, const TEntryFailure& b) { return a.Index < b.Index; });
        }
        std::sort(summary_.WithoutMid.begin(), summary_.WithoutMid.end());
        if (combined_ && !summary_.CombinedReport.ValuesFromMid) {
            summary_.WithoutMid.clear();  // the joined conversion took no .mid values
        }
        view_.SetBusyCursor(false);
        view_.SetStatusText(summary_.Cancelled ? Text(TText::kEngineCancelled) : "");
        view_.SetProgress(0, 0);
        if (options_.Ended) {
            options_.Ended(summary_);
        }
        if (!summary_.Cancelled && !error_) {
            const TOutcomeMessage closing = ClosingMessage();
            view_.ShowMessage(closing.Kind, closing.Text);
        }
        if (error_) {
            view_.ShowErrorDisplay(ErrorDisplayText(summary_.Error));
        }
    }

  private:
    TOutcomeMessage ClosingMessage() const {
        std::vector<std::string> withoutMid;
        for (const std::size_t index : summary_.WithoutMid) {
            withoutMid.push_back(entries_[index].MifFile);
        }
        if (!combined_) {
            return BatchClosingMessage(entries_.size(), summary_.Failures, summary_.Unwritten,
                                       withoutMid);
        }
        if (!summary_.CombinedConverted && !summary_.Failures.empty()) {
            // The joining stopped at this entry.
            const TEntryFailure& failure = summary_.Failures.front();
            return {TMessageKind::Warning,
                    Text(TText::kAppConvertFailed) + "\n" + EntryFailureLine(failure)};
        }
        // A line of the joined file would mean nothing to the user.
        TConversionReport report = summary_.CombinedReport;
        report.FailedLine = report.FailedMidLine = 0;
        TOutcomeMessage message =
            ConversionMessage(entries_.front().ConversionType, combinedSource_,
                              summary_.CombinedConverted, report, Text(TText::kAppBatchFinished));
        if (summary_.CombinedConverted &&
            summary_.CombinedReport.Outcome == TConversionOutcome::Written) {
            AddMidsMissing(message, withoutMid);
        }
        return message;
    }

    bool Cancelled() const { return options_.Cancel != nullptr && options_.Cancel->load(); }

    void PlainRun() {
        const std::size_t workers = std::min(options_.Jobs, entries_.size());
        waitFor_ = workers > 1 ? EarlierWritersOfSameFiles(entries_)
                               : std::vector<std::vector<std::size_t>>(entries_.size());
        std::vector<std::jthread> helpers;
        for (std::size_t k = 1; k < workers; ++k) {
            try {
                helpers.emplace_back([this] { ConvertEntries(); });
            } catch (const std::system_error&) {
                break;  // fewer helpers, the same result
            }
        }
        ConvertEntries();
    }

    void CombinedRun() {
        std::optional<TCombinedSource> source;
        std::size_t current = 0;
        try {
            source.emplace(options_.TempDir);
            view_.SetStatusText(Text(TText::kAppJoining));
            BuildCombinedSource(
                entries_, *source,
                [this, &current](std::size_t i) {
                    current = i;
                    if (Cancelled()) {
                        throw TStopped{};
                    }
                    ShowEntry(i);
                },
                [this](std::size_t i, bool midFound) {
                    if (!midFound) {  // said once the conversion tells that it matters
                        const std::lock_guard lock(mutex_);
                        summary_.WithoutMid.push_back(i);
                    }
                    Report(i, TEntryStatus::Success, TConversionReport{});
                });
            source->Close();
        } catch (const TStopped&) {
            return;
        } catch (const std::exception& e) {
            // The entry whose files could not be joined, or the first when no temporary file
            // could be made: nothing is converted.
            TConversionReport failed;
            failed.ErrorText = e.what();
            Report(current, TEntryStatus::Failure, failed);
            return;
        }
        combinedSource_ = source->MifPath();
        view_.SetStatusText(Text(TText::kAppCombinedConverting));
        TConversionReport report;
        const bool converted = ConvertMifToShp(entries_.front().ConversionType, source->MifPath(),
                                               combineFile_, Hooks(report));
        summary_.CombinedConverted = converted;
        summary_.CombinedReport = report;
        view_.ProcessMessages();
        view_.SetStatusText(Text(TText::kEngineFinishing));
    }

    // One worker: takes the entries in list order, as long as no error ended the run.
    void ConvertEntries() {
        std::size_t index = 0;
        while (TakeNext(index)) {
            const TBatchEntry& entry = entries_[index];
            TConversionReport report;
            bool converted = false;
            try {
                ShowEntry(index);
                converted = ConvertMifToShp(entry.ConversionType, entry.MifFile, entry.ShpFile,
                                            Hooks(report));
            } catch (const std::exception& e) {
                report.ErrorText = e.what();  // the entry fails; the run goes on
            }
            Report(index, StatusOf(converted, report), report);
            const std::lock_guard lock(mutex_);
            ended_[index] = 1;
            changed_.notify_all();
        }
    }

    // The first entry not yet started whose earlier writers of the same files have ended;
    // waits while every such entry is still blocked. False when none is left or an error
    // ended the run.
    bool TakeNext(std::size_t& index) {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (error_ || Cancelled()) {
                return false;
            }
            bool left = false;
            for (std::size_t i = firstNotStarted_; i < entries_.size(); ++i) {
                if (started_[i] != 0) {
                    continue;
                }
                left = true;
                if (MayStart(i)) {
                    started_[i] = 1;
                    while (firstNotStarted_ < entries_.size() && started_[firstNotStarted_] != 0) {
                        ++firstNotStarted_;
                    }
                    index = i;
                    return true;
                }
            }
            if (!left) {
                return false;
            }
            changed_.wait(lock);
        }
    }

    bool MayStart(std::size_t i) const {
        for (const std::size_t earlier : waitFor_[i]) {
            if (ended_[earlier] == 0) {
                return false;
            }
        }
        return true;
    }

    // The entry being worked on: selected and scrolled into view, with pending window
    // messages let run before and after.
    void ShowEntry(std::size_t index) {
        view_.ProcessMessages();
        view_.SelectEntry(index);
        view_.ProcessMessages();
    }

    TConversionHooks Hooks(TConversionReport& report) {
        TConversionHooks hooks;
        hooks.Status = &view_;
        hooks.ProcessMessages = [this] { view_.ProcessMessages(); };
        if (options_.Jobs == 1) {  // one bar cannot show several conversions
            hooks.Progress = [this](std::uint64_t done, std::uint64_t total) {
                view_.SetProgress(done, total);
            };
        }
        hooks.Report = &report;
        hooks.Cancel = options_.Cancel;
        return hooks;
    }

    static TEntryStatus StatusOf(bool converted, const TConversionReport& report) {
        if (!converted) {
            return TEntryStatus::Failure;
        }
        return report.Outcome == TConversionOutcome::NothingToWrite ? TEntryStatus::NothingToWrite
                                                                    : TEntryStatus::Success;
    }

    void Report(std::size_t index, TEntryStatus status, const TConversionReport& report) {
        const std::lock_guard lock(mutex_);
        const TBatchEntry& entry = entries_[index];
        switch (status) {
            case TEntryStatus::Success:
                ++summary_.Succeeded;
                break;
            case TEntryStatus::NothingToWrite:
                ++summary_.NothingToWrite;
                summary_.Unwritten.push_back({index, entry.MifFile,
                                              EntryReasonText(entry, status, report),
                                              TFailurePlace::Unplaced});
                break;
            default:
                ++summary_.Failed;
                if (!report.Cancelled) {
                    summary_.Failures.push_back({index, entry.MifFile,
                                                 EntryReasonText(entry, status, report),
                                                 FailurePlaceOf(report)});
                }
                break;
        }
        if (status == TEntryStatus::Success && report.MidMissing) {
            summary_.WithoutMid.push_back(index);
        }
        if (options_.StatusChanged) {
            runner_.Post([changed = options_.StatusChanged, index, status, report] {
                changed(index, status, report);
            });
        }
    }

    void KeepError(std::exception_ptr error) {
        const std::lock_guard lock(mutex_);
        if (!error_) {
            error_ = std::move(error);
        }
        changed_.notify_all();
    }

    const std::vector<TBatchEntry> entries_;
    const std::string combineFile_;
    const bool combined_;
    IBatchView& view_;
    IWorkRunner& runner_;
    TBatchRunOptions options_;

    std::mutex mutex_;  // guards everything below while workers run
    std::condition_variable changed_;
    std::vector<std::vector<std::size_t>> waitFor_;
    std::vector<char> started_;
    std::vector<char> ended_;
    std::size_t firstNotStarted_ = 0;
    TBatchSummary summary_;
    std::exception_ptr error_;
    std::string combinedSource_;  // the joined .mif, once made
};

}  // namespace

std::optional<std::string> CheckBatchRun(const TBatchList& list) {
    if (list.Entries.empty()) {
        return Text(TText::kAppNoBatchList);
    }
    if (IsCombinedRun(list) && TrimView(list.CombineFile).empty()) {
        return Text(TText::kAppBadCombineFile);
    }
    if (const auto file = FindOverwrittenSource(list)) {
        return Text(TText::kAppTargetIsSource, *file);
    }
    return std::nullopt;
}

bool RunBatch(const TBatchList& list, IBatchView& view, IWorkRunner& runner,
              TBatchRunOptions options) {
    if (const auto warning = CheckBatchRun(list)) {
        view.ShowMessage(TMessageKind::Warning, *warning);
        return false;
    }
    auto run = std::make_shared<TBatchRun>(list, view, runner, std::move(options));
    run->Start();
    runner.Run([run] { run->Work(); }, [run] { run->Finish(); });
    return true;
}

}  // namespace varnelo

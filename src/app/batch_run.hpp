// SPDX-License-Identifier: MIT
// The batch run: converts every entry of the batch list on its own, or joins all their
// sources into one temporary pair and converts that once into the combined file. The window
// and the command line both run it, each through its own IBatchView.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/batch_list.hpp"
#include "app/main_view.hpp"
#include "app/outcome_text.hpp"
#include "engine/convert.hpp"

namespace varnelo {

// How a run ended, for callers that report more than the window does.
struct TBatchSummary {
    bool Combined = false;
    std::size_t Succeeded = 0;             // converted entries; in a combined run, appended ones
    std::size_t Failed = 0;                // entries whose conversion failed (plain run)
    std::size_t NothingToWrite = 0;        // entries with nothing to write (plain run)
    std::size_t NotRun = 0;                // entries left untouched: the run was cancelled
    bool Cancelled = false;                // stopped on request
    bool CombinedConverted = false;        // the joined source was converted in full
    TConversionReport CombinedReport;      // what that conversion wrote, or why it failed
    std::vector<TEntryFailure> Failures;   // in list order, with their reasons
    std::vector<TEntryFailure> Unwritten;  // the entries with nothing to write, as Failures
    // Entries converted (or joined) without a .mid beside their .mif while the conversion took
    // its values from the .mid rows, so every attribute of their objects was left empty; in
    // list order.
    std::vector<std::size_t> WithoutMid;
    std::string Error;  // an error no entry accounts for that ended the run, empty when none
};

struct TBatchRunOptions {
    // Entries of a plain run converted at the same time; entries that write a common file
    // never are. A combined run is one conversion whatever this says.
    std::size_t Jobs = 1;
    // The temporary directory, ending in "/"; GetTempDir() when empty.
    std::string TempDir;
    // Stops the run once set (from any thread): the conversion under way stops at its next
    // object and keeps its target's previous files, and no further entry starts.
    const std::atomic<bool>* Cancel = nullptr;
    // On the caller's thread once the checks passed, before anything changes.
    std::function<void()> Started;
    // On the caller's thread whenever an entry's status changes: None for every entry at the
    // start, then Success, Failure or NothingToWrite as each entry is converted (with what
    // its conversion wrote or why it failed, a cancelled one included), or Success as each is
    // appended to the combined source.
    std::function<void(std::size_t index, TEntryStatus status, const TConversionReport& report)>
        StatusChanged;
    // On the caller's thread once the run's work is over: before its closing message (so that
    // nothing behind the message box offers to stop a finished run) and before an error that
    // ended the run is shown.
    std::function<void(const TBatchSummary& summary)> Ended;
};

// Whether a run combines the entries: the combine box is both checked and enabled.
inline bool IsCombinedRun(const TBatchList& list) {
    return list.CombineEnabled && list.Combine;
}

// The warning that stops a run before anything changes, or none: an empty list, a blank
// combined file name, or a file the run would write (a target's .shp, .shx or .dbf, or the
// combined file's) that is the .mif or .mid of an entry.
std::optional<std::string> CheckBatchRun(const TBatchList& list);

// Runs the batch list: the checks and the closing steps on the caller's thread, the
// conversions through `runner` (off the window's thread). The list is copied; the run changes
// statuses only through options.StatusChanged. An entry that fails, in whatever way, or has
// nothing to write is marked and the run goes on with the next; the closing box counts them
// apart. Returns
// false when a check stopped the run.
bool RunBatch(const TBatchList& list, IBatchView& view, IWorkRunner& runner,
              TBatchRunOptions options);

}  // namespace varnelo

// SPDX-License-Identifier: MIT
// varnelo-convert --batch: runs a saved batch list without a window, by the same rules as
// the desktop program's batch run.
#pragma once

#include <CLI/CLI.hpp>
#include <cstddef>
#include <string>
#include <vector>

namespace varnelo::cli {

struct TBatchModeOptions {
    std::string ListFile;
    std::size_t Jobs = 1;
    CLI::Option* Batch = nullptr;

    bool Requested() const { return Batch != nullptr && Batch->count() > 0; }
};

// Adds --batch and --jobs to the tool. The options of a single job are required unless
// --batch is given, which excludes them.
void AddBatchOptions(CLI::App& app, TBatchModeOptions& options,
                     const std::vector<CLI::Option*>& singleJob);

// "no X.mid beside X.mif: every attribute was left empty", for a conversion of `mifFile`
// whose columns found no .mid to take their values from.
std::string NoMidText(const std::string& mifFile);

// Runs the list and returns the tool's exit code: 1 when any conversion failed or the run was
// refused, else 3 when any had nothing to write, else 0; 2 for a list that cannot be read.
int RunBatchMode(const TBatchModeOptions& options);

}  // namespace varnelo::cli

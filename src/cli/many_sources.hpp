// SPDX-License-Identifier: MIT
// varnelo-convert --out DIR SOURCE...: many sources, files or folders of them, converted into
// one output folder that keeps their layout, several at a time.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/mid_value_rules.hpp"

namespace varnelo::cli {

struct TManySourcesOptions {
    std::optional<int> Type;  // none: every kind, each into a shapefile of its own
    std::string OutFolder;
    // .mif files, and folders whose .mif files are converted (with Recursive, those of their
    // subfolders too)
    std::vector<std::string> Sources;
    bool Recursive = false;
    std::size_t Jobs = 1;  // conversions at the same time, each on one thread
    bool KeepPartial = false;
    TMidValueRules ValueRules;
};

// Converts every source into the output folder: a file into its name there, a folder's files
// into their paths under the folder, with ".shp" (with every kind, the names of each kind).
// Prints a line for each output as its conversion ends and a closing count. Refuses the run
// before converting anything, with the usage exit code, when two sources would write one
// target. Answers 1 when any conversion failed, else kExitNothingWritten when any wrote no
// record, else 0.
int RunManySources(const TManySourcesOptions& options);

}  // namespace varnelo::cli

// SPDX-License-Identifier: MIT
// A folder of .mif files made into batch entries: each file looked at for the kinds of object
// it holds (by their keywords only, nothing converted), and one entry for each kind, with the
// type that converts it and a target named as a conversion of every kind names it.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/batch_list.hpp"
#include "engine/object_counts.hpp"

namespace varnelo {

// The .mif files (".mif" in any letter case) right in `folder`, and with `subfolders` in the
// folders below it too, by their paths from `folder` on, with the system's separator, in the
// byte order of those paths. Links to folders are not followed. Raises EInOutError when
// `folder` cannot be listed; a subfolder that cannot be is passed over.
std::vector<std::string> ListMifFiles(const std::string& folder, bool subfolders);

// `relative` under `folder`, with the system's separator between them.
std::string PathUnder(std::string_view folder, std::string_view relative);

// The entries for a source whose objects are `objects`, one for each kind it holds: the
// target is `shpFile` itself for a source of one kind, else the name for that kind that a
// conversion of every kind gives (NAME_point.shp, NAME_line.shp, NAME_polygon.shp,
// NAME_text.shp, texts as points). None for a source without objects.
std::vector<TBatchEntry> EntriesForObjects(const TObjectCounts& objects, const std::string& mifFile,
                                           const std::string& shpFile);

struct TFolderScanRequest {
    std::string Folder;
    bool Subfolders = false;
    // Where the targets go, the subfolders' layout kept; empty: beside their sources.
    std::string OutputFolder;
};

// Hooks as a conversion takes them; both optional.
struct TFolderScanHooks {
    // Called before each file and once at the end, with the files looked at and their number.
    std::function<void(std::size_t done, std::size_t total)> Progress;
    // Stops the scan before its next file once set.
    const std::atomic<bool>* Cancel = nullptr;
};

// A .mif of the folder that gave no entry, and why.
struct TSkippedSource {
    std::string MifFile;
    std::string Reason;
};

struct TFolderScan {
    std::vector<TBatchEntry> Entries;  // the new ones, in the files' order
    // Files that are no MIF, hold no object, or cannot be read.
    std::vector<TSkippedSource> Skipped;
    std::size_t AlreadyListed = 0;  // entries left out as the list holds them already
    bool Cancelled = false;         // stopped on request: nothing found is given
};

// Looks at every .mif of the request's folder and answers the entries that `listed` does not
// hold already (the same type, source and target). Raises EInOutError when the folder cannot
// be listed.
TFolderScan ScanFolder(const TFolderScanRequest& request, const std::vector<TBatchEntry>& listed,
                       const TFolderScanHooks& hooks = {});

}  // namespace varnelo

// SPDX-License-Identifier: MIT
#include "app/folder_scan.hpp"

#include <algorithm>
#include <exception>

#include "app/outcome_text.hpp"
#include "engine/convert.hpp"
#include "engine/file_names.hpp"
#include "engine/text_ops.hpp"
#include "os/catalog.hpp"
#include "os/file_system.hpp"
#include "shape/errors.hpp"

namespace varnelo {
namespace {

bool IsMifName(std::string_view name) {
    return SameKeyword(name.substr(ChangeFileExt(name, "").size()), ".mif");
}

// Adds the .mif files of `folder` (which is `relative` under the top) to `files`; raises only
// for the top folder.
void ListInto(const std::string& folder, const std::string& relative, bool subfolders,
              std::vector<std::string>& files) {
    std::vector<os::TFolderEntry> entries;
    if (const os::TError error = os::ListFolder(folder, entries)) {
        if (relative.empty()) {
            throw EInOutError(Text(TText::kAppFolderUnreadable, folder, os::SystemErrorText(error)));
        }
        return;
    }
    for (const os::TFolderEntry& entry : entries) {
        const std::string path = PathUnder(folder, entry.Name);
        const std::string under = relative.empty() ? entry.Name : PathUnder(relative, entry.Name);
        const os::TFileKind kind =
            entry.Kind == os::TFileKind::Link ? os::KindOfPath(path) : entry.Kind;
        if (kind == os::TFileKind::Directory && entry.Kind != os::TFileKind::Link && subfolders) {
            ListInto(path, under, subfolders, files);
        } else if (kind == os::TFileKind::Regular && IsMifName(entry.Name)) {
            files.push_back(under);
        }
    }
}

}  // namespace

std::vector<std::string> ListMifFiles(const std::string& folder, bool subfolders) {
    std::vector<std::string> files;
    ListInto(folder, {}, subfolders, files);
    std::sort(files.begin(), files.end());
    return files;
}

std::string PathUnder(std::string_view folder, std::string_view relative) {
    std::string path(folder);
    if (!path.empty() && FileNameStart(path) != path.size()) {
        path += os::PathSeparator();
    }
    return path.append(relative);
}

std::vector<TBatchEntry> EntriesForObjects(const TObjectCounts& objects, const std::string& mifFile,
                                           const std::string& shpFile) {
    std::vector<TShapefileTarget> held;
    for (TShapefileTarget& target : EveryKindTargets(shpFile)) {
        if (ObjectsTakenBy(target.ConversionType, objects) > 0) {
            held.push_back(std::move(target));
        }
    }
    std::vector<TBatchEntry> entries;
    for (const TShapefileTarget& target : held) {
        entries.push_back(
            MakeBatchEntry(target.ConversionType, mifFile, held.size() == 1 ? shpFile : target.ShpPath));
    }
    return entries;
}

TFolderScan ScanFolder(const TFolderScanRequest& request, const std::vector<TBatchEntry>& listed,
                       const TFolderScanHooks& hooks) {
    const std::vector<std::string> files = ListMifFiles(request.Folder, request.Subfolders);
    const auto isListed = [&listed](const TBatchEntry& entry) {
        return std::any_of(listed.begin(), listed.end(), [&entry](const TBatchEntry& other) {
            return other.ConversionType == entry.ConversionType &&
                   other.MifFile == entry.MifFile && other.ShpFile == entry.ShpFile;
        });
    };
    TFolderScan scan;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (hooks.Cancel != nullptr && hooks.Cancel->load()) {
            TFolderScan cancelled;
            cancelled.Cancelled = true;
            return cancelled;
        }
        if (hooks.Progress) {
            hooks.Progress(i, files.size());
        }
        const std::string mifFile = PathUnder(request.Folder, files[i]);
        const std::string shpFile = ChangeFileExt(
            request.OutputFolder.empty() ? mifFile : PathUnder(request.OutputFolder, files[i]),
            ".shp");
        try {
            const TMifOverview overview = ReadMifOverview(mifFile);
            const std::vector<TBatchEntry> entries =
                EntriesForObjects(overview.Tally.Objects, mifFile, shpFile);
            if (entries.empty()) {
                scan.Skipped.push_back(
                    {mifFile, overview.DataLine ? NoRecordText(-1, {}) : Text(TText::kAppNotAMif)});
            }
            for (const TBatchEntry& entry : entries) {
                if (isListed(entry)) {
                    ++scan.AlreadyListed;
                } else {
                    scan.Entries.push_back(entry);
                }
            }
        } catch (const std::exception& error) {
            scan.Skipped.push_back({mifFile, ErrorDisplayText(error.what())});
        }
    }
    if (hooks.Progress) {
        hooks.Progress(files.size(), files.size());
    }
    return scan;
}

}  // namespace varnelo

// SPDX-License-Identifier: MIT
// The scene of the documentation's main-window pictures, the same for both windows: five jobs
// of the samples on the batch list, the first two converted, the third crossed with its reason,
// and the parcels sample dropped into the editors as a polygon job.
#pragma once

#include <string>

#include "app/folder_scan.hpp"
#include "app/main_logic.hpp"

namespace varnelo::tools {

// `samples` ends in a separator; the targets go into `targets`, which ends in one too.
inline void SetUpPictureScene(TMainLogic& logic, const std::string& samples,
                              const std::string& targets) {
    const struct {
        int type;
        const char* name;
    } jobs[] = {{0, "points"}, {0, "stations"}, {1, "roads"}, {2, "parcels"}, {3, "labels"}};
    for (const auto& job : jobs) {
        logic.lstMifTypeClick(job.type);
        logic.SetMifFileText(samples + job.name + ".mif");
        logic.SetShpFileText(targets + job.name + ".shp");
        logic.btnAddClick();
    }
    logic.SetEntryStatus(0, TEntryStatus::Success);
    logic.SetEntryStatus(1, TEntryStatus::Success);
    logic.SetEntryStatus(2, TEntryStatus::Failure,
                         "roads.mif の 15 行目: \"five\" は有効な数値ではありません");
    logic.lstMifTypeClick(2);
    logic.DropFiles({samples + "parcels.mif"});
}

// The batch list after フォルダを追加 on the samples folder, with the targets under the folder
// `targets`:
// an entry for each kind of object each sample holds, as the scan makes them.
inline void SetUpAddFolderScene(TMainLogic& logic, const std::string& samples,
                                const std::string& targets) {
    const TFolderScan scan = ScanFolder({samples, false, targets}, {});
    for (const TBatchEntry& entry : scan.Entries) {
        logic.lstMifTypeClick(entry.ConversionType);
        logic.SetMifFileText(entry.MifFile);
        logic.SetShpFileText(entry.ShpFile);
        logic.btnAddClick();
    }
    logic.SetMifFileText("");
    logic.SetShpFileText("");
}

}  // namespace varnelo::tools

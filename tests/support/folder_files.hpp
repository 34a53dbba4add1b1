// SPDX-License-Identifier: MIT
// Every file of a folder with its bytes, to compare a folder before and after an operation.
#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "temp_dir.hpp"

namespace varnelo::testing {

// File name -> bytes, for every file right in `folder` (hidden ones included).
inline std::map<std::string, std::string> FolderFiles(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        files[entry.path().filename().string()] =
            entry.is_regular_file() ? ReadFileBytes(entry.path().string()) : "(not a file)";
    }
    return files;
}

}  // namespace varnelo::testing

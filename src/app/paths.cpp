// SPDX-License-Identifier: MIT
#include "app/paths.hpp"

#include "engine/file_names.hpp"
#include "os/file_system.hpp"
#include "varnelo/version.hpp"

namespace varnelo {

std::string GetExePath() {
    return os::ExecutablePath();
}

std::string GetExeDir() {
    return ExtractDirWithSlash(GetExePath());
}

std::string GetTempDir() {
    return os::TempFolder();
}

std::string FileIdentity(const std::string& path) {
    if (const auto id = os::FileIdOf(path)) {
        return "inode " + std::to_string(id->Device) + ":" + std::to_string(id->Index);
    }
    return "path " + os::ResolvedPath(path);
}

std::string GetExeFileVersion() {
    return VARNELO_VERSION;
}

}  // namespace varnelo

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
    // Where executables carry a version resource, the running one's string table in Japanese
    // (language 0411, code page 932) says it; elsewhere the project's version is built in.
    return os::ExecutableVersionText("041103A4", "FileVersion").value_or(VARNELO_VERSION);
}

}  // namespace varnelo

// SPDX-License-Identifier: MIT
#include "app/paths.hpp"

#include "os/file_system.hpp"
#include "varnelo/version.hpp"

namespace varnelo {

std::string ExtractDirWithSlash(std::string_view path) {
    const std::size_t nameStart = os::FileNameStart(path);
    std::string dir(path.substr(0, nameStart));
    // A bare drive ("C:") gets its separator.
    if (!dir.empty() && dir.back() != os::PathSeparator() && dir.back() != '/') {
        dir += os::PathSeparator();
    }
    return dir;
}

std::string ExtractNameWithoutExt(std::string_view path) {
    const std::string_view name = path.substr(os::FileNameStart(path));
    return std::string(name.substr(0, name.find_last_of('.')));
}

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

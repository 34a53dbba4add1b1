// SPDX-License-Identifier: MIT
#include "app/paths.hpp"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "varnelo/version.hpp"

namespace varnelo {

std::string GetExePath() {
    std::error_code ec;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

std::string GetExeDir() {
    return ExtractDirWithSlash(GetExePath());
}

std::string GetTempDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    if (dir.back() != '/') {
        dir += '/';
    }
    return dir;
}

std::string FileIdentity(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        return "inode " + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    }
    std::error_code ec;
    std::filesystem::path resolved = std::filesystem::absolute(path, ec);
    if (!ec) {
        const std::filesystem::path canonical = std::filesystem::weakly_canonical(resolved, ec);
        if (!ec) {
            resolved = canonical;
        }
    }
    return "path " + resolved.lexically_normal().string();
}

std::string GetExeFileVersion() {
    return VARNELO_VERSION;
}

}  // namespace varnelo

// SPDX-License-Identifier: MIT
#include "app/paths.hpp"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "varnelo/version.hpp"

namespace varnelo {

std::string ExtractDirWithSlash(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string ExtractNameWithoutExt(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    return std::string(name.substr(0, name.find_last_of('.')));
}

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

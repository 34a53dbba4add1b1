// SPDX-License-Identifier: MIT
#include "engine/file_names.hpp"

#include <algorithm>

#include "os/file_system.hpp"
#include "shape/letter_case.hpp"

namespace varnelo {
namespace {

bool Exists(const std::string& path) {
    return os::KindOfPath(path) != os::TFileKind::None;
}

// The extension of the file name, from its last "."; empty when it has none.
std::string_view ExtensionOf(std::string_view path) {
    const std::string_view name = path.substr(FileNameStart(path));
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

}  // namespace

std::size_t FileNameStart(std::string_view path) noexcept {
    return os::FileNameStart(path);
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
    std::string result(path.substr(0, path.size() - ExtensionOf(path).size()));
    result += ext;
    return result;
}

std::string ExtractDirWithSlash(std::string_view path) {
    std::string dir(path.substr(0, FileNameStart(path)));
    // A bare drive ("C:") gets its separator.
    if (!dir.empty() && dir.back() != os::PathSeparator() && dir.back() != '/') {
        dir += os::PathSeparator();
    }
    return dir;
}

std::string ExtractFileName(std::string_view path) {
    return std::string(path.substr(FileNameStart(path)));
}

std::string ExtractNameWithoutExt(std::string_view path) {
    const std::string_view name = path.substr(FileNameStart(path));
    return std::string(name.substr(0, name.size() - ExtensionOf(name).size()));
}

std::string ShapefileSetPath(const std::string& shpPath, std::string_view ext) {
    return ext == kShapefileSetExtensions.front() ? shpPath : ChangeFileExt(shpPath, ext);
}

std::string FindCompanion(std::string_view path, std::string_view ext) {
    const std::string_view own = ExtensionOf(path);
    // The own extension has letters, all of them capitals.
    const bool upper = own == UpperAscii(own) && std::any_of(own.begin(), own.end(), IsAsciiLetter);
    const std::string preferred = ChangeFileExt(path, upper ? UpperAscii(ext) : ext);
    const std::string other = ChangeFileExt(path, upper ? ext : UpperAscii(ext));
    return !Exists(preferred) && Exists(other) ? other : preferred;
}

}  // namespace varnelo

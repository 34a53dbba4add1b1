// SPDX-License-Identifier: MIT
// The parts of the layer that are the same on every system: owning a file, and what the
// standard library already does alike, over the path conversion of the system's side.
#include <system_error>
#include <utility>
#include <vector>

#include "os/catalog.hpp"
#include "os/error.hpp"
#include "os/file.hpp"
#include "os/file_system.hpp"
#include "os/process.hpp"

namespace varnelo::os {

TFile::TFile(TFile&& other) noexcept
    : handle_(std::exchange(other.handle_, kClosed)),
      locked_(std::exchange(other.locked_, false)) {}

TFile& TFile::operator=(TFile&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, kClosed);
        locked_ = std::exchange(other.locked_, false);
    }
    return *this;
}

TFile::~TFile() {
    Close();
}

std::string ErrorTextOf(TErrorWords words, TError error, const std::string& description) {
    switch (words) {
        case TErrorWords::NotFound:
            return Text(TText::kErrorNotFound);
        case TErrorWords::AccessDenied:
            return Text(TText::kErrorAccessDenied);
        case TErrorWords::InUse:
            return Text(TText::kErrorInUse);
        case TErrorWords::InvalidName:
            return Text(TText::kErrorInvalidName);
        case TErrorWords::NetworkGone:
            return Text(TText::kErrorNetworkGone);
        case TErrorWords::ReadOnlyFileSystem:
            return Text(TText::kErrorReadOnlyFileSystem);
        case TErrorWords::DiskFull:
            return Text(TText::kErrorDiskFull);
        case TErrorWords::QuotaExceeded:
            return Text(TText::kErrorQuotaExceeded);
        case TErrorWords::NotAFolder:
            return Text(TText::kErrorNotAFolder);
        case TErrorWords::AFolder:
            return Text(TText::kErrorAFolder);
        case TErrorWords::TooManyOpenFiles:
            return Text(TText::kErrorTooManyOpenFiles);
        case TErrorWords::InputOutput:
            return Text(TText::kErrorInputOutput);
        case TErrorWords::Other:
            break;
    }
    if (description.empty()) {
        return Text(TText::kErrorOther, error.Code);
    }
    return Text(TText::kErrorOtherDescribed, error.Code, description);
}

bool CreateFolders(const std::string& path) noexcept {
    try {
        std::error_code ec;
        std::filesystem::create_directories(FsPath(path), ec);
        return std::filesystem::is_directory(FsPath(path), ec);
    } catch (...) {
        return false;
    }
}

void RemoveTree(const std::string& path) noexcept {
    try {
        std::error_code ec;
        std::filesystem::remove_all(FsPath(path), ec);
    } catch (...) {
        // As far as it can: what could not be removed stays.
    }
}

TError ListFolder(const std::string& path, std::vector<TFolderEntry>& entries) {
    entries.clear();
    std::error_code ec;
    std::filesystem::directory_iterator it(FsPath(path), ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = PathText(it->path().filename());
        entries.push_back({name, KindOfEntry(PathText(it->path()))});
    }
    return ec ? TError{ec.value()} : TError{};
}

bool SameFile(const std::string& a, const std::string& b) noexcept {
    const auto first = FileIdOf(a);
    return first && FileIdOf(b) == first;
}

std::string ResolvedPath(const std::string& path) {
    std::error_code ec;
    std::filesystem::path resolved = std::filesystem::absolute(FsPath(path), ec);
    if (!ec) {
        const std::filesystem::path canonical = std::filesystem::weakly_canonical(resolved, ec);
        if (!ec) {
            resolved = canonical;
        }
    }
    return PathText(resolved.lexically_normal());
}

std::string TChildOutcome::Describe() const {
    if (Signal != 0) {
        return "signal " + std::to_string(Signal);
    }
    return "exit code " + std::to_string(ExitCode);
}

}  // namespace varnelo::os

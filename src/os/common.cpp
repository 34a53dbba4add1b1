// SPDX-License-Identifier: MIT
// The parts of the layer that are the same on every system: owning a file, and what the
// standard library already does alike, over the path conversion of the system's side.
#include <system_error>
#include <utility>
#include <vector>

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
            return "ファイルまたはフォルダが見つかりません";
        case TErrorWords::AccessDenied:
            return "アクセスが拒否されました";
        case TErrorWords::InUse:
            return "別のプロセスが使用中です";
        case TErrorWords::InvalidName:
            return "ファイル名、フォルダ名またはボリュームラベルの構文が正しくありません";
        case TErrorWords::NetworkGone:
            return "ネットワーク上のパスに接続できません";
        case TErrorWords::ReadOnlyFileSystem:
            return "読み取り専用のファイルシステムです";
        case TErrorWords::DiskFull:
            return "ディスクの空き容量が足りません";
        case TErrorWords::QuotaExceeded:
            return "ディスクの使用量の上限を超えました";
        case TErrorWords::NotAFolder:
            return "フォルダではありません";
        case TErrorWords::AFolder:
            return "ファイルではなくフォルダです";
        case TErrorWords::TooManyOpenFiles:
            return "開いているファイルが多すぎます";
        case TErrorWords::InputOutput:
            return "入出力エラーが発生しました";
        case TErrorWords::Other:
            break;
    }
    std::string text = "システムエラー " + std::to_string(error.Code);
    if (!description.empty()) {
        text += " (" + description + ")";
    }
    return text;
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

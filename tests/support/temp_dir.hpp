// SPDX-License-Identifier: MIT
// A private folder per test, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

#include "os/file_system.hpp"

namespace varnelo::testing {

class TempDir {
  public:
    TempDir() {
        if (os::CreateUniqueFolder(os::TempFolder() + "varnelo-test-", path_)) {
            throw std::runtime_error("cannot create a test folder");
        }
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(os::FsPath(path_), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        os::RemoveTree(path_);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string Path(std::string_view name) const { return path_ + "/" + std::string(name); }

  private:
    std::string path_;
};

inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(os::FsPath(path), std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFileBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(os::FsPath(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

}  // namespace varnelo::testing

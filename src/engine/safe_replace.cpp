// SPDX-License-Identifier: MIT
#include "engine/safe_replace.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "engine/file_names.hpp"
#include "shape/errors.hpp"

namespace varnelo {

namespace {

// Removes `path`; a file that is not there is no failure.
bool RemoveIfThere(const std::string& path) noexcept {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

// Gives `newFile` the permission bits of the `oldFile` it replaces, as writing into the old
// file would have kept them; nothing when there is no old file.
void KeepPermissions(const std::string& oldFile, const std::string& newFile) noexcept {
    struct stat old {};
    if (::stat(oldFile.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::chmod(newFile.c_str(), old.st_mode & 07777);
    }
}

[[noreturn]] void RaiseCannotReplace(const std::string& path, int error) {
    throw EInOutError("ファイル \"" + path + "\" を置き換えできません: " + SystemErrorText(error));
}

}  // namespace

TSafeReplace::TReserved::TReserved(const std::string& targetShp) : Target(targetShp) {
    const std::size_t nameStart = FileNameStart(Target);
    // The name has no extension of its own, so the set's extensions go after it.
    const std::string stem = ExtractNameWithoutExt(Target);
    std::string pattern = Target.substr(0, nameStart) + "." + stem + ".varnelo-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        throw EInOutError(CannotCreateFileText(Target, errno));
    }
    ::close(fd);
    Name = std::move(pattern);
    Temporary = Name + ".shp";
}

TSafeReplace::TReserved::TReserved(TReserved&& other) noexcept
    : Target(std::move(other.Target)),
      Name(std::exchange(other.Name, std::string())),
      Temporary(std::move(other.Temporary)) {}

TSafeReplace::TReserved::~TReserved() {
    if (!Name.empty()) {
        RemoveIfThere(Name);
    }
}

TSafeReplace::TSafeReplace(const std::vector<std::string>& targetShps) {
    sets_.reserve(targetShps.size());
    for (const std::string& target : targetShps) {
        sets_.emplace_back(target);
    }
}

TSafeReplace::~TSafeReplace() {
    if (!done_) {
        Discard();
    }
}

std::vector<std::string> TSafeReplace::TemporaryFiles() const {
    std::vector<std::string> files;
    for (const TReserved& set : sets_) {
        files.push_back(set.Name);
        for (const std::string_view ext : kShapefileSetExtensions) {
            files.push_back(ShapefileSetPath(set.Temporary, ext));
        }
    }
    return files;
}

void TSafeReplace::Commit() {
    // Nothing is moved unless every target file may be replaced: a file that may not be
    // written is not replaced behind its owner's back, nor is anything that is no plain file
    // (a folder, a device, a pipe).
    for (const TReserved& set : sets_) {
        for (const std::string_view ext : kShapefileSetExtensions) {
            const std::string to = ShapefileSetPath(set.Target, ext);
            struct stat st {};
            if (::lstat(to.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) {
                continue;  // nothing there, or a link, which the new file takes the place of
            }
            if (S_ISDIR(st.st_mode)) {
                RaiseCannotReplace(to, EISDIR);
            }
            if (!S_ISREG(st.st_mode)) {
                throw EInOutError("ファイル \"" + to +
                                  "\" を置き換えできません: 通常のファイルではありません");
            }
            if (::access(to.c_str(), W_OK) != 0) {
                RaiseCannotReplace(to, errno);
            }
        }
    }
    // A rename that fails leaves the files not yet moved to the destructor, which removes them.
    for (const TReserved& set : sets_) {
        for (const std::string_view ext : kShapefileSetExtensions) {
            const std::string from = ShapefileSetPath(set.Temporary, ext);
            const std::string to = ShapefileSetPath(set.Target, ext);
            KeepPermissions(to, from);
            if (std::rename(from.c_str(), to.c_str()) == 0) {
                continue;
            }
            if (errno != ENOENT) {
                RaiseCannotReplace(to, errno);
            }
            if (!RemoveIfThere(to)) {
                RaiseCannotReplace(to, errno);
            }
        }
    }
    done_ = true;
}

void TSafeReplace::Discard() noexcept {
    done_ = true;
    for (std::size_t i = 0; i < sets_.size(); ++i) {
        DiscardSet(i);
    }
}

void TSafeReplace::DiscardSet(std::size_t index) noexcept {
    for (const std::string_view ext : kShapefileSetExtensions) {
        RemoveIfThere(ShapefileSetPath(sets_[index].Temporary, ext));
    }
}

std::string TSafeReplace::ShowAsTarget(std::string text) const {
    for (const TReserved& set : sets_) {
        const std::string target = ChangeFileExt(set.Target, "");
        for (std::size_t at = text.find(set.Name); at != std::string::npos;
             at = text.find(set.Name, at + target.size())) {
            text.replace(at, set.Name.size(), target);
        }
    }
    return text;
}

}  // namespace varnelo

// SPDX-License-Identifier: MIT
#include "engine/safe_replace.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "engine/convert.hpp"
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
    throw EInOutError("ファイル \"" + path + "\". " + SystemErrorText(error) +
                      " を置き換えできません");
}

}  // namespace

TSafeReplace::TSafeReplace(std::string targetShp) : targetShp_(std::move(targetShp)) {
    const std::size_t slash = targetShp_.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    // The name has no extension of its own, so the set's extensions go after it.
    const std::string stem = ChangeFileExt(targetShp_.substr(nameStart), "");
    std::string pattern = targetShp_.substr(0, nameStart) + "." + stem + ".varnelo-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        throw EInOutError(CannotCreateFileText(targetShp_, errno));
    }
    ::close(fd);
    reserved_ = std::move(pattern);
    temporaryShp_ = reserved_ + ".shp";
}

TSafeReplace::~TSafeReplace() {
    if (!done_) {
        Discard();
    }
    RemoveIfThere(reserved_);
}

std::vector<std::string> TSafeReplace::TemporaryFiles() const {
    std::vector<std::string> files{reserved_};
    for (const std::string_view ext : kShapefileSetExtensions) {
        files.push_back(ShapefileSetPath(temporaryShp_, ext));
    }
    return files;
}

void TSafeReplace::Commit() {
    done_ = true;
    for (const std::string_view ext : kShapefileSetExtensions) {
        const std::string from = ShapefileSetPath(temporaryShp_, ext);
        const std::string to = ShapefileSetPath(targetShp_, ext);
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

void TSafeReplace::Discard() noexcept {
    done_ = true;
    for (const std::string_view ext : kShapefileSetExtensions) {
        RemoveIfThere(ShapefileSetPath(temporaryShp_, ext));
    }
}

std::string TSafeReplace::ShowAsTarget(std::string text) const {
    const std::string target = ChangeFileExt(targetShp_, "");
    for (std::size_t at = text.find(reserved_); at != std::string::npos;
         at = text.find(reserved_, at + target.size())) {
        text.replace(at, reserved_.size(), target);
    }
    return text;
}

}  // namespace varnelo

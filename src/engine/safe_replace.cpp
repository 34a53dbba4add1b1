// SPDX-License-Identifier: MIT
#include "engine/safe_replace.hpp"

#include "engine/convert.hpp"
#include "os/file_system.hpp"
#include "shape/errors.hpp"

namespace varnelo {

namespace {

// Removes `path`; a file that is not there is no failure.
os::TError RemoveIfThere(const std::string& path) noexcept {
    const os::TError error = os::RemoveFile(path);
    return os::KindOf(error) == os::TErrorKind::NotFound ? os::TError{} : error;
}

[[noreturn]] void RaiseCannotReplace(const std::string& path, os::TError error) {
    throw EInOutError("ファイル \"" + path + "\". " + os::SystemErrorText(error) +
                      " を置き換えできません");
}

}  // namespace

TSafeReplace::TSafeReplace(std::string targetShp) : targetShp_(std::move(targetShp)) {
    const std::size_t nameStart = os::FileNameStart(targetShp_);
    // The name has no extension of its own, so the set's extensions go after it.
    const std::string stem = ChangeFileExt(targetShp_.substr(nameStart), "");
    const std::string prefix = targetShp_.substr(0, nameStart) + "." + stem + ".varnelo-";
    if (const os::TError error = os::CreateUniqueFile(prefix, reserved_)) {
        throw EInOutError(CannotCreateFileText(targetShp_, error));
    }
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
        os::KeepPermissions(to, from);
        os::TError error = os::RenameOver(from, to);
        if (os::KindOf(error) == os::TErrorKind::NotFound) {
            error = RemoveIfThere(to);  // a kind the new set does not have
        }
        if (error) {
            RaiseCannotReplace(to, error);
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

// SPDX-License-Identifier: MIT
#include "engine/safe_replace.hpp"

#include <utility>

#include "engine/file_names.hpp"
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
    throw EInOutError(FileErrorText(path, "置き換えできません", error));
}

}  // namespace

TSafeReplace::TReserved::TReserved(const std::string& targetShp) : Target(targetShp) {
    const std::size_t nameStart = FileNameStart(Target);
    // The name has no extension of its own, so the set's extensions go after it.
    const std::string stem = ExtractNameWithoutExt(Target);
    const std::string prefix = Target.substr(0, nameStart) + "." + stem + ".varnelo-";
    if (const os::TError error = os::CreateUniqueFile(prefix, Name)) {
        throw EInOutError(CannotCreateFileText(Target, error));
    }
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
            const os::TFileKind kind = os::KindOfEntry(to);
            if (kind == os::TFileKind::None || kind == os::TFileKind::Link) {
                continue;  // nothing there, or a link, which the new file takes the place of
            }
            if (kind == os::TFileKind::Directory) {
                RaiseCannotReplace(to, os::IsADirectoryError());
            }
            if (kind != os::TFileKind::Regular) {
                throw EInOutError(
                    FileErrorText(to, "置き換えできません", "通常のファイルではありません"));
            }
            if (const os::TError error = os::WriteAccess(to)) {
                RaiseCannotReplace(to, error);
            }
        }
    }
    // A rename that fails leaves the files not yet moved to the destructor, which removes them.
    for (const TReserved& set : sets_) {
        for (const std::string_view ext : kShapefileSetExtensions) {
            const std::string from = ShapefileSetPath(set.Temporary, ext);
            const std::string to = ShapefileSetPath(set.Target, ext);
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

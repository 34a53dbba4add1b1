// SPDX-License-Identifier: MIT
#include "engine/safe_replace.hpp"

#include <algorithm>
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
    throw EInOutError(FileErrorText(TText::kShapeCannotReplaceFile, path, error));
}

}  // namespace

TReplaceSteps SystemReplaceSteps() {
    return {[](const std::string& from, const std::string& to) { return os::RenameOver(from, to); },
            [](const std::string& path) { return os::FlushFile(path); }};
}

TSafeReplace::TReserved::TReserved(const std::string& targetShp) : Target(targetShp) {
    const std::size_t nameStart = FileNameStart(Target);
    // The name has no extension of its own, so the set's extensions go after it.
    const std::string stem = ExtractNameWithoutExt(Target);
    const std::string prefix = Target.substr(0, nameStart) + "." + stem + ".varnelo-";
    if (const os::TError error = os::CreateUniqueFile(prefix, Name)) {
        throw EInOutError(CannotCreateFileText(Target, error));
    }
    Temporary = Name + ".shp";
    Previous = Name + "-previous.shp";
}

TSafeReplace::TReserved::TReserved(TReserved&& other) noexcept
    : Target(std::move(other.Target)),
      Name(std::exchange(other.Name, std::string())),
      Temporary(std::move(other.Temporary)),
      Previous(std::move(other.Previous)) {}

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
            files.push_back(ShapefileSetPath(set.Previous, ext));
        }
    }
    return files;
}

void TSafeReplace::Commit(const TReplaceSteps& steps) {
    // Nothing is moved unless every target file may be replaced: a file that may not be
    // written, or that another program holds open against it, is not replaced behind its
    // owner's back, nor is anything that is no plain file (a folder, a device, a pipe).
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
                throw EInOutError(FileErrorText(TText::kShapeCannotReplaceFile, to,
                                                "通常のファイルではありません"));
            }
            if (const os::TError error = os::MayReplace(to)) {
                RaiseCannotReplace(to, error);
            }
        }
    }
    // The new files are on the disk before any name points at them.
    for (const TReserved& set : sets_) {
        for (const std::string_view ext : kShapefileSetExtensions) {
            const std::string from = ShapefileSetPath(set.Temporary, ext);
            if (os::KindOfEntry(from) == os::TFileKind::None) {
                continue;
            }
            if (const os::TError error = steps.Flush(from)) {
                RaiseCannotReplace(ShapefileSetPath(set.Target, ext), error);
            }
        }
    }
    // Each previous file steps aside under a temporary name, then the new one takes its place.
    // A failure puts back what was moved, last first; the destructor removes the new files
    // still under temporary names.
    struct TMove {
        std::string Target;
        std::string Previous;  // empty when the target had no file of this kind
        bool NewIn = false;
    };
    std::vector<TMove> moves;
    const auto undo = [&moves, &steps] {
        for (auto move = moves.rbegin(); move != moves.rend(); ++move) {
            if (!move->Previous.empty()) {
                steps.Rename(move->Previous, move->Target);
            } else if (move->NewIn) {
                RemoveIfThere(move->Target);
            }
        }
    };
    for (const TReserved& set : sets_) {
        for (const std::string_view ext : kShapefileSetExtensions) {
            const std::string from = ShapefileSetPath(set.Temporary, ext);
            TMove& move = moves.emplace_back();
            move.Target = ShapefileSetPath(set.Target, ext);
            const bool hasNew = os::KindOfEntry(from) != os::TFileKind::None;
            if (os::KindOfEntry(move.Target) != os::TFileKind::None) {
                os::KeepPermissions(move.Target, from);
                const std::string previous = ShapefileSetPath(set.Previous, ext);
                if (const os::TError error = steps.Rename(move.Target, previous)) {
                    const std::string target = move.Target;
                    moves.pop_back();
                    undo();
                    RaiseCannotReplace(target, error);
                }
                move.Previous = previous;
            }
            if (hasNew) {
                if (const os::TError error = steps.Rename(from, move.Target)) {
                    const std::string target = move.Target;
                    undo();
                    RaiseCannotReplace(target, error);
                }
                move.NewIn = true;
            }
        }
    }
    done_ = true;
    std::vector<std::string> folders;
    for (const TMove& move : moves) {
        if (!move.Previous.empty()) {
            RemoveIfThere(move.Previous);
        }
        const std::string folder = move.Target.substr(0, FileNameStart(move.Target));
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
            folders.push_back(folder);
        }
    }
    // The renames are done and cannot be taken back; a folder that cannot be flushed (some
    // file systems cannot) is no failure of the conversion.
    for (const std::string& folder : folders) {
        os::FlushFolder(folder);
    }
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

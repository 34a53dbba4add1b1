// SPDX-License-Identifier: MIT
// Replacing shapefiles only with complete new ones: each new set is written under a temporary
// name beside its target and renamed into place once every set is whole, so that a failed or
// cancelled conversion leaves the previous files as they were.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "os/error.hpp"

namespace varnelo {

// The file operations of a commit: the system's, or in tests ones that fail on purpose.
struct TReplaceSteps {
    std::function<os::TError(const std::string& from, const std::string& to)> Rename;
    std::function<os::TError(const std::string& path)> Flush;
};
TReplaceSteps SystemReplaceSteps();

class TSafeReplace {
  public:
    // Reserves a temporary name in the folder of each target .shp (the same folder, so that
    // each rename is atomic): ".NAME.varnelo-XXXXXX", made unique by creating a file of that
    // name, which lives as long as this object. Raises EInOutError naming the target when a
    // folder takes no new file; the names reserved before it are given back.
    explicit TSafeReplace(const std::vector<std::string>& targetShps);
    // Removes the temporary files, unless they were committed.
    ~TSafeReplace();
    TSafeReplace(const TSafeReplace&) = delete;
    TSafeReplace& operator=(const TSafeReplace&) = delete;

    // Where to write the new set of target `index`: this .shp, and its .shx, .dbf, .cpg and
    // .prj beside it.
    const std::string& TemporaryShp(std::size_t index) const { return sets_.at(index).Temporary; }

    // Every file this object may leave behind: the reserved names, the new sets' files and
    // the previous sets' while they wait.
    std::vector<std::string> TemporaryFiles() const;

    // Moves the new sets into place, target by target: each file written under a temporary
    // name replaces the target's file of its kind, and a target file of a kind that was not
    // written is removed, so that no file of an old set speaks for a new one. Every target
    // file is first checked as it will be replaced, and the new files are written to the disk
    // before any is renamed. The previous files are kept under temporary names until every
    // set is in place: when a rename fails, those already replaced are put back, so that each
    // target is its previous set again. Raises EInOutError naming the file that failed.
    void Commit(const TReplaceSteps& steps = SystemReplaceSteps());
    // Removes the files written under the temporary names.
    void Discard() noexcept;
    // Removes the new set of target `index` alone, so that Commit leaves that target without
    // any file of its set.
    void DiscardSet(std::size_t index) noexcept;

    // `text` (a message) with each temporary name replaced by its target's, so that it names
    // the files the user asked for.
    std::string ShowAsTarget(std::string text) const;

  private:
    // A temporary name held by the file of that name, given back when this goes.
    struct TReserved {
        explicit TReserved(const std::string& targetShp);
        ~TReserved();
        TReserved(TReserved&& other) noexcept;
        TReserved(const TReserved&) = delete;
        TReserved& operator=(const TReserved&) = delete;
        TReserved& operator=(TReserved&&) = delete;

        std::string Target;
        std::string Name;       // the file that holds the temporary name
        std::string Temporary;  // the new set's .shp
        std::string Previous;   // where the previous set's .shp waits while sets are replaced
    };

    std::vector<TReserved> sets_;
    bool done_ = false;
};

}  // namespace varnelo

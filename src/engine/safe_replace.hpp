// SPDX-License-Identifier: MIT
// Replacing a shapefile only with a complete new one: the new set is written under a
// temporary name beside the target and renamed into place once it is whole, so that a
// failed conversion leaves the previous files as they were.
#pragma once

#include <string>
#include <vector>

namespace varnelo {

class TSafeReplace {
  public:
    // Reserves a temporary name in the folder of `targetShp` (the same folder, so that each
    // rename is atomic): ".NAME.varnelo-XXXXXX", made unique by creating a file of that name,
    // which lives as long as this object. Raises EInOutError naming the target when the
    // folder takes no new file.
    explicit TSafeReplace(std::string targetShp);
    // Removes the temporary files, unless they were committed.
    ~TSafeReplace();
    TSafeReplace(const TSafeReplace&) = delete;
    TSafeReplace& operator=(const TSafeReplace&) = delete;

    // Where to write the new set: this .shp, and its .shx, .dbf, .cpg and .prj beside it.
    const std::string& TemporaryShp() const noexcept { return temporaryShp_; }

    // Every file this object may leave behind: the reserved name and the new set's files.
    std::vector<std::string> TemporaryFiles() const;

    // Moves the new set into place: each file written under the temporary name replaces the
    // target's file of its kind, and a target file of a kind that was not written is
    // removed, so that no file of the old set speaks for the new one. Raises EInOutError
    // when a file cannot be renamed or removed.
    void Commit();
    // Removes the files written under the temporary name.
    void Discard() noexcept;

    // `text` (a message) with the temporary name replaced by the target's, so that it names
    // the files the user asked for.
    std::string ShowAsTarget(std::string text) const;

  private:
    std::string targetShp_;
    std::string reserved_;  // the file that holds the temporary name
    std::string temporaryShp_;
    bool done_ = false;
};

}  // namespace varnelo

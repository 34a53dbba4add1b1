// SPDX-License-Identifier: MIT
// Sources that end each way a conversion into polygons can end (refused as no MIF file,
// nothing to write, written), and a target folder holding a good earlier output, so that every
// caller can be checked against the same table: its outcome, and the previous files kept byte
// for byte, with no temporary file left.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "folder_files.hpp"
#include "temp_dir.hpp"

namespace varnelo::testing {

enum class TExpectedOutcome { Failed, NothingToWrite, Written };

struct TOutcomeSource {
    const char* Name;
    std::string Mif;
    std::string Mid;
    TExpectedOutcome Outcome;  // converted as polygons
};

inline std::string RandomBytes(std::size_t size) {
    std::mt19937 random(31);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random() & 0xFF);
    }
    return bytes;
}

inline const std::string kOutcomeHeader =
    "Version 300\r\nCharset \"WindowsJapanese\"\r\nDelimiter \",\"\r\n"
    "CoordSys Earth Projection 1, 0\r\nColumns 1\r\n  N Integer\r\n";

inline std::vector<TOutcomeSource> OutcomeSources() {
    const std::string region = "Region 1\r\n 4\r\n0 0\r\n0 1\r\n1 1\r\n0 0\r\n";
    return {
        {"random", RandomBytes(64 * 1024), "", TExpectedOutcome::Failed},
        {"nodata", kOutcomeHeader + "Point 1 2\r\n", "1\r\n", TExpectedOutcome::Failed},
        {"empty", kOutcomeHeader + "Data\r\n", "", TExpectedOutcome::Written},
        {"points", kOutcomeHeader + "Data\r\nPoint 1 2\r\nPoint 3 4\r\n", "1\r\n2\r\n",
         TExpectedOutcome::NothingToWrite},
        {"mixed", kOutcomeHeader + "Data\r\nPoint 1 2\r\n" + region, "1\r\n2\r\n",
         TExpectedOutcome::Written},
    };
}

// Writes `source` as NAME.mif and NAME.mid in `folder`; answers the .mif's path.
inline std::string WriteOutcomeSource(const std::string& folder, const TOutcomeSource& source) {
    const std::string mif = folder + "/" + source.Name + ".mif";
    WriteFileBytes(mif, source.Mif);
    WriteFileBytes(folder + "/" + source.Name + ".mid", source.Mid);
    return mif;
}

// Checks a target folder after a conversion: unchanged unless it was written, and no file
// left under a temporary name (".NAME.varnelo-XXXXXX.shp" and its companions) either way.
inline ::testing::AssertionResult FolderAfter(TExpectedOutcome outcome,
                                              const std::map<std::string, std::string>& before,
                                              const std::string& folder) {
    const auto after = FolderFiles(folder);
    for (const auto& [name, bytes] : after) {
        if (name.front() == '.') {
            return ::testing::AssertionFailure() << name << " was left";
        }
    }
    if ((after == before) != (outcome != TExpectedOutcome::Written)) {
        return ::testing::AssertionFailure()
               << "the previous files were replaced: " << (after != before);
    }
    return ::testing::AssertionSuccess();
}

}  // namespace varnelo::testing

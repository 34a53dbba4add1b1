// SPDX-License-Identifier: MIT
// The batch list of the main window: its jobs, each a conversion type with a source .mif and
// a target .shp, the combine flag with the combined file name, and the rule that decides
// whether the entries may be combined into one output.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace varnelo {

// The texts of the type list, in the order of the conversion type numbers 0-4.
inline constexpr std::array<std::string_view, 5> kConversionTypeNames{
    "ポイント", "ポリライン", "ポリゴン", "テキスト（ポイントとして変換）",
    "テキスト（ラインとして変換）"};

// The type list's text for a conversion type; raises EConvertError for a number outside 0-4.
std::string_view ConversionTypeName(int conversionType);

// An entry's own text, the conversion type as decimal digits, read back as the number;
// raises EConvertError for text that is no whole number.
int ConversionTypeFromText(std::string_view text);

// An entry's result: not run, converted, failed, or nothing to write (its source holds no
// object of the kind its type takes, so its target kept its previous files).
enum class TEntryStatus { None, Success, Failure, NothingToWrite };

struct TBatchEntry {
    int ConversionType = 0;
    std::string TypeName;  // derived from ConversionType, never stored in a file
    std::string MifFile;   // exactly as typed
    std::string ShpFile;   // exactly as typed
    TEntryStatus Status = TEntryStatus::None;
    // why its last conversion failed or wrote nothing; never stored in a file
    std::string Reason;
};

// A new entry with its type text and status None.
TBatchEntry MakeBatchEntry(int conversionType, std::string mifFile, std::string shpFile);

struct TBatchList {
    std::vector<TBatchEntry> Entries;
    bool Combine = false;         // the check state of the combine box
    std::string CombineFile;      // the combined output .shp, as typed
    bool CombineEnabled = false;  // the last answer of CanCombine
};

// Whether the entries may be combined: at least two, all of one type, and for the point,
// polyline and polygon types the same column names and type codes in the same order in
// every source (widths are not compared). Reads the sources' headers; raises EInOutError
// when one cannot be read.
bool CanCombine(const std::vector<TBatchEntry>& entries);

}  // namespace varnelo

// SPDX-License-Identifier: MIT
// One conversion between opening its files and finishing them: one pass over the .mif and
// the .mid, each object written to the output that takes its kind, if any, with its row.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "engine/convert.hpp"
#include "engine/line_reader.hpp"
#include "engine/mif_header.hpp"
#include "os/catalog.hpp"
#include "shape/character_set.hpp"
#include "shape/errors.hpp"
#include "shape/shapefile_writer.hpp"

namespace varnelo {

class TLocalDbf;

// Raised before the next object once the caller asked the conversion to stop.
class EConversionCancelled : public Exception {
  public:
    EConversionCancelled() : Exception(Text(TText::kEngineCancelled)) {}
};

// What the .mif declares before its objects, made ready for the attribute tables.
struct TTableLayout {
    TMifHeaderInfo Header;
    TSFColumns Columns;  // the .mif's, with the names of the table's fields
    TCharacterSet Characters = TCharacterSet::ShiftJis;
};

inline bool IsTextConversion(int conversionType) {
    return conversionType == ctTextAsPoint || conversionType == ctTextAsLine;
}

inline bool Cancelled(const TConversionHooks& hooks) {
    return hooks.Cancel != nullptr && hooks.Cancel->load(std::memory_order_relaxed);
}

// One shapefile being written: its geometry files and its table.
struct TShapefileOutput {
    TShapefileOutput(int conversionType, std::string newShp, TLocalDbf& table,
                     std::unique_ptr<TOutputStream> shp, std::unique_ptr<TOutputStream> shx);

    int ConversionType;
    bool TextRows;       // rows are the objects' texts, not .mid rows
    std::string NewShp;  // under the temporary name
    TLocalDbf& Table;
    TShapefileWriter Writer;
};

// Converts the objects of `mif`, which stands after its columns, into `outputs` and finishes
// their files. However it ends, what it counted reaches `report` (a target without records is
// written only when `writeEmpty`), the tables are let go, and `failedLine` is set when the
// run knows the .mif line a failure is to be reported at.
void RunConversion(TLineReader& mif, TLineReader& mid, std::deque<TShapefileOutput>& outputs,
                   const TTableLayout& layout, const TConversionHooks& hooks,
                   const std::string& mifPath, bool writeEmpty, TConversionReport& report,
                   std::optional<std::int64_t>& failedLine);

}  // namespace varnelo

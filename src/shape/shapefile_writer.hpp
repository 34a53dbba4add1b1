// SPDX-License-Identifier: MIT
// One shapefile being written: the main file (.shp) and its index (.shx), with the record
// numbers, the index offsets and the header box. A caller appends one shape at a time and
// cannot get the order wrong: per record, the size limit is checked, then the index entry is
// written, then the record, then the box is folded. Records are encoded straight into the
// streams, without an allocation per record, and the index is streamed as it grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "shape/geometry.hpp"
#include "shape/output_stream.hpp"
#include "shape/shp_writer.hpp"

namespace varnelo {

class TShapefileWriter {
  public:
    TShapefileWriter(std::int32_t shapeType, std::unique_ptr<TOutputStream> shp,
                     std::unique_ptr<TOutputStream> shx);

    // Writes both headers as placeholders, to be written again by Finish.
    void Start();

    // Each Append writes one record numbered after the last. A record that cannot be written
    // is not counted; one refused for the size limit leaves both files as they were.
    void Append(const TShpPoint& point);
    void Append(const TSFPolyLine& line);
    // Normalises the polygon's rings first (NormalizePolygonRing); the caller keeps them so.
    void Append(TSFPolygon& polygon);
    // A record encoded before (header and content, as the appends above write one), written
    // under the next number. Its box is folded apart, once for a run of them (FoldBox). The
    // record's length in bytes, header included, is answered.
    std::size_t AppendEncoded(const std::byte* record);
    // Folds the box of records appended encoded into the header box.
    void FoldBox(const TShpBox& box) noexcept;

    // Writes both headers with the final lengths and box, and closes both files.
    void Finish();

    // Empties the writer for a new run of records, over streams the caller has emptied.
    void Restart() noexcept;

    std::int32_t Records() const noexcept { return records_; }
    const TShpBox& Box() const noexcept { return header_.Box; }
    std::uint64_t ShpSize() const { return shp_->Size(); }
    TOutputStream& Shp() noexcept { return *shp_; }
    TOutputStream& Shx() noexcept { return *shx_; }

  private:
    void WriteIndexEntry(std::int32_t contentLength);

    std::unique_ptr<TOutputStream> shp_;
    std::unique_ptr<TOutputStream> shx_;
    TShpHeader header_{};
    // Records written to the .shp in full; the next one gets the number after it.
    std::int32_t records_ = 0;
    bool boxHeld_ = false;  // the header box holds the first record's box
};

}  // namespace varnelo

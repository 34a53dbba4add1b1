// SPDX-License-Identifier: MIT
#include "shape/shapefile_writer.hpp"

#include <utility>

namespace varnelo {

TShapefileWriter::TShapefileWriter(std::int32_t shapeType, std::unique_ptr<TOutputStream> shp,
                                   std::unique_ptr<TOutputStream> shx)
    : shp_(std::move(shp)), shx_(std::move(shx)) {
    header_.ShapeType = shapeType;
}

void TShapefileWriter::Start() {
    WriteShpHeader(*shp_, header_);
    WriteShxHeader(*shx_, header_);
}

void TShapefileWriter::Append(const TShpPoint& point) {
    WriteIndexEntry(PointContentLength(point));
    WritePointRecord(*shp_, records_ + 1, point);
    ++records_;
    FoldBox(TShpBox{point.X, point.Y, point.X, point.Y});
}

void TShapefileWriter::Append(const TSFPolyLine& line) {
    WriteIndexEntry(PolyLineContentLength(line));
    WritePolyLineRecord(*shp_, records_ + 1, line);
    ++records_;
    FoldBox(line.Box);
}

void TShapefileWriter::Append(TSFPolygon& polygon) {
    // Normalised first, so that the index entry gives the length of the record written.
    NormalizePolygonRing(polygon);
    WriteIndexEntry(PolygonContentLength(polygon));
    WriteNormalizedPolygonRecord(*shp_, records_ + 1, polygon);
    ++records_;
    FoldBox(polygon.Box);
}

std::size_t TShapefileWriter::AppendEncoded(const std::byte* record) {
    const std::int32_t contentLength = RecordContentLength(record);
    WriteIndexEntry(contentLength);
    WriteRenumberedRecord(*shp_, records_ + 1, record);
    ++records_;
    return kShpRecordHeaderBytes + 2 * static_cast<std::size_t>(contentLength);
}

void TShapefileWriter::FoldBox(const TShpBox& box) noexcept {
    if (boxHeld_) {
        ExtendBoxByBox(header_.Box, box);
    } else {
        InitBoxFromBox(header_.Box, box);
        boxHeld_ = true;
    }
}

void TShapefileWriter::Finish() {
    header_.FileLength = static_cast<std::int32_t>(shp_->Size() / 2);
    WriteShpHeader(*shp_, header_);
    header_.FileLength = static_cast<std::int32_t>(shx_->Size() / 2);
    WriteShxHeader(*shx_, header_);
    shp_->Close();
    shx_->Close();
}

void TShapefileWriter::Restart() noexcept {
    records_ = 0;
    header_.Box = {};
    boxHeld_ = false;
}

// The record is checked against the size limit before its index entry is written, so that no
// entry is left for a record that cannot be written.
void TShapefileWriter::WriteIndexEntry(std::int32_t contentLength) {
    const std::uint64_t offset = shp_->Size();
    EnsureRecordFits(offset, contentLength);
    WriteShxRecord(*shx_, static_cast<std::int32_t>(offset), contentLength);
}

}  // namespace varnelo

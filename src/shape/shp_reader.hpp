// SPDX-License-Identifier: MIT
// Reads a shapefile's main file (.shp) through its index (.shx): the header, then any record
// by its 0-based index (the record number - 1, which is also the row of the record's
// attributes in the .dbf). A view draws every shape by reading them in turn, one at a time,
// and finds the shape of a table row by its index. Point, polyline and polygon files are
// read, with null shapes among their records.
//
// Every offset, length and count is checked against the files before it is used: a damaged
// or unfinished file raises EShapefileError naming the file, the record and what is wrong.
// Nothing is read outside the files, and a record never takes more memory than its own
// bytes. Coordinates are returned as stored; they may be any double, NaN included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "shape/geometry.hpp"
#include "shape/table_storage.hpp"

namespace varnelo {

// One record as read. Parts and Points are reused from record to record.
struct TShape {
    std::int32_t ShapeType = 0;       // kShapeTypeNull, or the file's shape type
    TShpBox Box;                      // the point itself for a point; all 0 for a null shape
    std::vector<std::int32_t> Parts;  // each part's first point; empty for points and nulls
    std::vector<TShpPoint> Points;    // one for a point

    bool IsNull() const noexcept { return ShapeType == 0; }
    // The points of part `k` (< Parts.size()), up to the next part's first point.
    std::span<const TShpPoint> Part(std::size_t k) const noexcept;
};

class TShapefileReader {
  public:
    // Opens both files for reading, through `factory` (the disk when empty), and checks
    // their headers. A missing file raises EInOutError naming it.
    TShapefileReader(const std::string& shpPath, const std::string& shxPath,
                     const TTableStorageFactory& factory = {});
    TShapefileReader(const TShapefileReader&) = delete;
    TShapefileReader& operator=(const TShapefileReader&) = delete;
    ~TShapefileReader();

    std::int32_t ShapeType() const noexcept { return shapeType_; }
    // The box of all shapes, as the header gives it.
    const TShpBox& Box() const noexcept { return box_; }
    // The number of index entries.
    int RecordCount() const noexcept { return recordCount_; }

    // Reads record `index` (0 .. RecordCount() - 1) into `shape`. When it raises, `shape`
    // is left a null shape.
    void ReadShape(int index, TShape& shape);

  private:
    struct TIndexEntry {
        std::uint64_t Offset = 0;        // bytes from the start of the .shp
        std::uint64_t ContentBytes = 0;  // without the 8-byte record header
    };

    TIndexEntry ReadIndexEntry(int index);
    // Bytes [offset, offset + count) of the .shp, which the caller has checked lie within
    // it; valid until the next read.
    std::span<const std::byte> ReadShpBytes(std::uint64_t offset, std::uint64_t count);
    void ReadPoint(int index, std::span<const std::byte> content, TShape& shape) const;
    void ReadMultiPart(int index, std::span<const std::byte> content, TShape& shape) const;
    [[noreturn]] void Damaged(const std::string& path, const std::string& reason) const;
    [[noreturn]] void DamagedRecord(int index, const std::string& reason) const;

    std::string shpPath_;
    std::string shxPath_;
    std::unique_ptr<TTableStorage> shp_;
    std::unique_ptr<TTableStorage> shx_;
    std::int32_t shapeType_ = 0;
    TShpBox box_;
    std::uint64_t shpLength_ = 0;  // bytes, as the header states and the file holds
    int recordCount_ = 0;

    // The bytes of the last record read with those after it, and a block of index entries,
    // both read ahead, so that reading the records in turn costs a read every 64 KiB.
    std::vector<std::byte> window_;
    std::uint64_t windowStart_ = 0;
    std::vector<std::byte> indexBlock_;
    int indexBlockFirst_ = 0;
    int indexBlockCount_ = 0;
};

}  // namespace varnelo

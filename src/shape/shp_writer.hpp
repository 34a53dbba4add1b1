// SPDX-License-Identifier: MIT
// Encoders for the shapefile main file (.shp) and its index (.shx). Each routine writes at
// the stream's current position; TShapefileWriter (shapefile_writer.hpp) owns the streams,
// the record numbers and the header values, and calls them in the order a file pair needs.
// Lengths and offsets on disk count 16-bit words.
//
// Size limit: record offsets travel as signed 32-bit byte counts and file lengths are stored
// as signed 32-bit word counts. To stay readable by programs that treat either as a signed
// 32-bit byte count, no record may end beyond byte 2^31 - 1 (INT32_MAX) of its file; since
// every record has an even length, a finished file is at most 2^31 - 2 bytes long. A record
// or index entry that would end beyond that limit is refused with EInOutError
// (kShapeFileTooLarge) before any of its bytes is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "shape/geometry.hpp"
#include "shape/output_stream.hpp"

namespace varnelo {

// The values that differ between main file headers. One instance feeds both the .shp and
// the .shx header of a conversion.
struct TShpHeader {
    std::int32_t FileLength = 0;  // file size in 16-bit words; 0 in the placeholder header
    std::int32_t ShapeType = 0;   // 1 point, 3 polyline, 5 polygon
    TShpBox Box;
};

// The format's constants, which the reader checks against.
inline constexpr std::int32_t kShapeTypeNull = 0;  // a record without a shape; never written
inline constexpr std::int32_t kShapeTypePoint = 1;
inline constexpr std::int32_t kShapeTypePolyLine = 3;
inline constexpr std::int32_t kShapeTypePolygon = 5;

inline constexpr std::int32_t kShpFileCode = 9994;
inline constexpr std::int32_t kShpVersion = 1000;
inline constexpr std::uint64_t kShpHeaderBytes = 100;
inline constexpr std::uint64_t kShpRecordHeaderBytes = 8;
inline constexpr std::uint64_t kShxRecordBytes = 8;
// Record contents: shape type and X, Y for a point; shape type, box, NumParts and NumPoints
// in front of a multi-part shape's part indices and points.
inline constexpr std::size_t kShpPointContentBytes = 20;
inline constexpr std::size_t kShpMultiPartFixedBytes = 44;
inline constexpr std::uint64_t kMaxShapefileBytes = std::numeric_limits<std::int32_t>::max();

// Content lengths in 16-bit words, without the 8-byte record header. The multi-part form is
// 22 + 2 * NumParts + 8 * NumPoints from the shape's current counts; a value beyond the
// range of the result is returned as INT32_MAX, which no file can hold.
std::int32_t PointContentLength(const TShpPoint& point) noexcept;
std::int32_t PolyLineContentLength(const TSFPolyLine& line) noexcept;
std::int32_t PolygonContentLength(const TSFPolygon& polygon) noexcept;

// Whether a record of `contentLength` words whose header starts at byte `recordOffset`
// ends within kMaxShapefileBytes.
bool RecordFits(std::uint64_t recordOffset, std::int32_t contentLength) noexcept;
// Raises EInOutError (kShapeFileTooLarge) unless RecordFits. The shapefile writer calls it
// with the .shp size before writing the index entry, so that no entry is left for a record
// that cannot be written.
void EnsureRecordFits(std::uint64_t recordOffset, std::int32_t contentLength);

// Move to position 0 and write the 100-byte main file header. The index has the same header
// as the main file, so one writer serves both.
void WriteShpHeader(TOutputStream& stream, const TShpHeader& header);
inline void WriteShxHeader(TOutputStream& stream, const TShpHeader& header) {
    WriteShpHeader(stream, header);
}

// Record writers. The multi-part writers write exactly NumParts part indices and NumPoints
// points; counts that are negative or larger than the arrays raise Exception
// (kShapeInconsistentShape) before anything is written, rather than reading outside them.
void WritePointRecord(TOutputStream& stream, std::int32_t recordNumber, const TShpPoint& point);
void WritePolyLineRecord(TOutputStream& stream, std::int32_t recordNumber, const TSFPolyLine& line);
// Normalises the caller's polygon first (NormalizePolygonRing), then writes it with the
// content length of its normalised form. The polygon keeps the normalised rings.
void WritePolygonRecord(TOutputStream& stream, std::int32_t recordNumber, TSFPolygon& polygon);
// The same for a polygon the caller has just normalised (to measure it for the index
// entry): normalising again would change nothing, so it is skipped.
void WriteNormalizedPolygonRecord(TOutputStream& stream, std::int32_t recordNumber,
                                  const TSFPolygon& polygon);

// A whole record written before (header and content, as by the writers above) written again
// under `recordNumber`. The record's content length, from its header, is answered; a record
// is trusted to hold as many bytes as its header says.
std::int32_t RecordContentLength(const std::byte* record) noexcept;
void WriteRenumberedRecord(TOutputStream& stream, std::int32_t recordNumber,
                           const std::byte* record);

// Index entry: the record's byte offset in the .shp halved (truncating toward zero), then
// its content length, both big-endian.
void WriteShxRecord(TOutputStream& stream, std::int32_t offset, std::int32_t contentLength);

}  // namespace varnelo

// SPDX-License-Identifier: MIT
#include "shape/shp_writer.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

#include "shape/byte_order.hpp"
#include "shape/errors.hpp"

namespace varnelo {

namespace {

using byte_order::GetInt32BE;
using byte_order::PutDoubleLE;
using byte_order::PutInt32BE;
using byte_order::PutInt32LE;

// Collects a record's bytes in a fixed block on the stack and hands them to the stream a
// block at a time: a record of a million points costs a few hundred stream calls, not two
// million, and no allocation.
class TRecordBuffer {
  public:
    explicit TRecordBuffer(TOutputStream& stream) noexcept : stream_(stream) {}

    // Space for `count` bytes (at most the block size) at the end of the pending bytes.
    std::byte* Take(std::size_t count) {
        if (count > block_.size() - used_) {
            Flush();
        }
        std::byte* at = block_.data() + used_;
        used_ += count;
        return at;
    }

    void Flush() {
        if (used_ > 0) {
            stream_.Write(block_.data(), used_);
            used_ = 0;
        }
    }

  private:
    TOutputStream& stream_;
    std::array<std::byte, 4096> block_;  // only bytes written by Take are handed on
    std::size_t used_ = 0;
};

constexpr std::size_t kPointBytes = 16;

// On a little-endian machine the points' own bytes are the bytes of the record: X then Y,
// little-endian doubles.
constexpr bool kPointsAreRecordBytes = std::endian::native == std::endian::little &&
                                       sizeof(TShpPoint) == kPointBytes &&
                                       offsetof(TShpPoint, Y) == 8;

std::int32_t MultiPartContentLength(const TSFMultiPart& shape) noexcept {
    const std::int64_t words = 22 + 2 * static_cast<std::int64_t>(shape.NumParts) +
                               8 * static_cast<std::int64_t>(shape.NumPoints);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        words, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

void PutRecordHeader(std::byte* at, std::int32_t recordNumber, std::int32_t contentLength) {
    PutInt32BE(at, recordNumber);
    PutInt32BE(at + 4, contentLength);
}

void EnsureConsistentCounts(const TSFMultiPart& shape) {
    if (shape.NumParts < 0 || shape.NumPoints < 0 ||
        static_cast<std::size_t>(shape.NumParts) > shape.Parts.size() ||
        static_cast<std::size_t>(shape.NumPoints) > shape.Points.size()) {
        throw Exception(Text(TText::kShapeInconsistentShape));
    }
}

void WriteMultiPartRecord(TOutputStream& stream, std::int32_t recordNumber, std::int32_t shapeType,
                          const TSFMultiPart& shape) {
    EnsureConsistentCounts(shape);
    const std::int32_t contentLength = MultiPartContentLength(shape);
    EnsureRecordFits(stream.Position(), contentLength);

    TRecordBuffer out(stream);
    std::byte* head = out.Take(kShpRecordHeaderBytes + kShpMultiPartFixedBytes);
    PutRecordHeader(head, recordNumber, contentLength);
    std::byte* content = head + kShpRecordHeaderBytes;
    PutInt32LE(content, shapeType);
    PutDoubleLE(content + 4, shape.Box.Xmin);
    PutDoubleLE(content + 12, shape.Box.Ymin);
    PutDoubleLE(content + 20, shape.Box.Xmax);
    PutDoubleLE(content + 28, shape.Box.Ymax);
    PutInt32LE(content + 36, shape.NumParts);
    PutInt32LE(content + 40, shape.NumPoints);
    for (std::int32_t k = 0; k < shape.NumParts; ++k) {
        PutInt32LE(out.Take(4), shape.Parts[static_cast<std::size_t>(k)]);
    }
    const auto numPoints = static_cast<std::size_t>(shape.NumPoints);
    if constexpr (kPointsAreRecordBytes) {
        // Handed to the stream as they are, without a copy through the block.
        out.Flush();
        stream.Write(shape.Points.data(), numPoints * kPointBytes);
        return;
    }
    for (std::size_t i = 0; i < numPoints; ++i) {
        std::byte* at = out.Take(kPointBytes);
        PutDoubleLE(at, shape.Points[i].X);
        PutDoubleLE(at + 8, shape.Points[i].Y);
    }
    out.Flush();
}

}  // namespace

std::int32_t PointContentLength(const TShpPoint& /*point*/) noexcept {
    return static_cast<std::int32_t>(kShpPointContentBytes / 2);
}

std::int32_t PolyLineContentLength(const TSFPolyLine& line) noexcept {
    return MultiPartContentLength(line);
}

std::int32_t PolygonContentLength(const TSFPolygon& polygon) noexcept {
    return MultiPartContentLength(polygon);
}

bool RecordFits(std::uint64_t recordOffset, std::int32_t contentLength) noexcept {
    const std::uint64_t contentBytes = 2 * static_cast<std::uint64_t>(std::max(contentLength, 0));
    const std::uint64_t recordBytes = kShpRecordHeaderBytes + contentBytes;
    return recordOffset <= kMaxShapefileBytes && recordBytes <= kMaxShapefileBytes - recordOffset;
}

void EnsureRecordFits(std::uint64_t recordOffset, std::int32_t contentLength) {
    if (!RecordFits(recordOffset, contentLength)) {
        throw EInOutError(Text(TText::kShapeFileTooLarge));
    }
}

void WriteShpHeader(TOutputStream& stream, const TShpHeader& header) {
    std::array<std::byte, kShpHeaderBytes> bytes{};  // reserved words and Z/M ranges stay 0
    PutInt32BE(&bytes[0], kShpFileCode);
    PutInt32BE(&bytes[24], header.FileLength);
    PutInt32LE(&bytes[28], kShpVersion);
    PutInt32LE(&bytes[32], header.ShapeType);
    PutDoubleLE(&bytes[36], header.Box.Xmin);
    PutDoubleLE(&bytes[44], header.Box.Ymin);
    PutDoubleLE(&bytes[52], header.Box.Xmax);
    PutDoubleLE(&bytes[60], header.Box.Ymax);
    stream.Seek(0);
    stream.Write(bytes.data(), bytes.size());
}

void WritePointRecord(TOutputStream& stream, std::int32_t recordNumber, const TShpPoint& point) {
    const std::int32_t contentLength = PointContentLength(point);
    EnsureRecordFits(stream.Position(), contentLength);
    std::array<std::byte, kShpRecordHeaderBytes + kShpPointContentBytes> bytes{};
    PutRecordHeader(bytes.data(), recordNumber, contentLength);
    PutInt32LE(&bytes[8], kShapeTypePoint);
    PutDoubleLE(&bytes[12], point.X);
    PutDoubleLE(&bytes[20], point.Y);
    stream.Write(bytes.data(), bytes.size());
}

void WritePolyLineRecord(TOutputStream& stream, std::int32_t recordNumber,
                         const TSFPolyLine& line) {
    WriteMultiPartRecord(stream, recordNumber, kShapeTypePolyLine, line);
}

void WritePolygonRecord(TOutputStream& stream, std::int32_t recordNumber, TSFPolygon& polygon) {
    NormalizePolygonRing(polygon);
    WriteMultiPartRecord(stream, recordNumber, kShapeTypePolygon, polygon);
}

void WriteNormalizedPolygonRecord(TOutputStream& stream, std::int32_t recordNumber,
                                  const TSFPolygon& polygon) {
    WriteMultiPartRecord(stream, recordNumber, kShapeTypePolygon, polygon);
}

std::int32_t RecordContentLength(const std::byte* record) noexcept {
    return GetInt32BE(record + 4);
}

void WriteRenumberedRecord(TOutputStream& stream, std::int32_t recordNumber,
                           const std::byte* record) {
    const std::int32_t contentLength = RecordContentLength(record);
    std::array<std::byte, kShpRecordHeaderBytes> header{};
    PutRecordHeader(header.data(), recordNumber, contentLength);
    // The header and the content in two writes, as the writers above write a record.
    stream.Write(header.data(), header.size());
    stream.Write(record + kShpRecordHeaderBytes, 2 * static_cast<std::size_t>(contentLength));
}

void WriteShxRecord(TOutputStream& stream, std::int32_t offset, std::int32_t contentLength) {
    // The index grows by a fixed 8 bytes per record; it is checked against the same limit.
    if (stream.Position() > kMaxShapefileBytes - kShxRecordBytes) {
        throw EInOutError(Text(TText::kShapeFileTooLarge));
    }
    std::array<std::byte, kShxRecordBytes> bytes{};
    PutInt32BE(&bytes[0], offset / 2);
    PutInt32BE(&bytes[4], contentLength);
    stream.Write(bytes.data(), bytes.size());
}

}  // namespace varnelo

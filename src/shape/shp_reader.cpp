// SPDX-License-Identifier: MIT
#include "shape/shp_reader.hpp"

#include <algorithm>
#include <array>

#include "shape/byte_order.hpp"
#include "shape/errors.hpp"
#include "shape/shp_writer.hpp"

namespace varnelo {
namespace {

using byte_order::GetDoubleLE;
using byte_order::GetInt32BE;
using byte_order::GetInt32LE;

constexpr int kIndexBlockEntries = 512;
constexpr std::uint64_t kReadAheadBytes = std::uint64_t{64} << 10;
constexpr std::size_t kPointBytes = 16;

// `notFound` says which file of the set is missing: kShapeShpNotFound or kShapeShxNotFound.
std::unique_ptr<TTableStorage> OpenForReading(const std::string& path,
                                              const TTableStorageFactory& factory, TText notFound) {
    auto storage = factory ? factory(path, TStorageAccess::ReadOnly)
                           : OpenDiskTableStorage(path, TStorageAccess::ReadOnly);
    if (!storage) {
        throw EInOutError(Text(notFound, path));
    }
    return storage;
}

TShpBox GetBox(const std::byte* at) {
    return TShpBox{GetDoubleLE(at), GetDoubleLE(at + 8), GetDoubleLE(at + 16),
                   GetDoubleLE(at + 24)};
}

bool IsReadableShapeType(std::int32_t type) {
    return type == kShapeTypePoint || type == kShapeTypePolyLine || type == kShapeTypePolygon;
}

}  // namespace

std::span<const TShpPoint> TShape::Part(std::size_t k) const noexcept {
    const auto first = static_cast<std::size_t>(Parts[k]);
    const std::size_t end =
        k + 1 < Parts.size() ? static_cast<std::size_t>(Parts[k + 1]) : Points.size();
    return std::span<const TShpPoint>(Points).subspan(first, end - first);
}

TShapefileReader::TShapefileReader(const std::string& shpPath, const std::string& shxPath,
                                   const TTableStorageFactory& factory)
    : shpPath_(shpPath),
      shxPath_(shxPath),
      shp_(OpenForReading(shpPath, factory, TText::kShapeShpNotFound)),
      shx_(OpenForReading(shxPath, factory, TText::kShapeShxNotFound)) {
    // Both headers: the same layout, checked the same way; the length each states must be
    // there in full.
    std::array<std::uint64_t, 2> lengths{};
    std::array<std::int32_t, 2> types{};
    for (int f = 0; f < 2; ++f) {
        TTableStorage& storage = f == 0 ? *shp_ : *shx_;
        const std::string& path = f == 0 ? shpPath_ : shxPath_;
        std::array<std::byte, kShpHeaderBytes> header{};
        const std::uint64_t size = storage.Size();
        if (size < kShpHeaderBytes || storage.ReadAt(0, header) != header.size()) {
            Damaged(path, Text(TText::kShapeNoHeader));
        }
        if (GetInt32BE(&header[0]) != kShpFileCode) {
            Damaged(path, Text(TText::kShapeFileCodeWrong));
        }
        if (GetInt32LE(&header[28]) != kShpVersion) {
            Damaged(path, Text(TText::kShapeVersionWrong));
        }
        types[f] = GetInt32LE(&header[32]);
        const std::int32_t words = GetInt32BE(&header[24]);
        lengths[f] = 2 * static_cast<std::uint64_t>(std::max(words, 0));
        if (lengths[f] < kShpHeaderBytes) {
            Damaged(path, Text(TText::kShapeNoFileLength));
        }
        if (lengths[f] > size) {
            Damaged(path, Text(TText::kShapeFileCutShort, lengths[f], size));
        }
        if (f == 0) {
            box_ = GetBox(&header[36]);
        }
    }
    shapeType_ = types[0];
    shpLength_ = lengths[0];
    if (!IsReadableShapeType(shapeType_)) {
        Damaged(shpPath_, Text(TText::kShapeTypeRefused, shapeType_));
    }
    if (types[1] != shapeType_) {
        Damaged(shxPath_, Text(TText::kShapeIndexTypeDiffers, types[1], shapeType_));
    }
    const std::uint64_t entryBytes = lengths[1] - kShpHeaderBytes;
    if (entryBytes % kShxRecordBytes != 0) {
        Damaged(shxPath_, Text(TText::kShapeIndexLengthUneven, lengths[1]));
    }
    recordCount_ = static_cast<int>(entryBytes / kShxRecordBytes);  // at most 2^29
}

TShapefileReader::~TShapefileReader() = default;

void TShapefileReader::Damaged(const std::string& path, const std::string& reason) const {
    throw EShapefileError(Text(TText::kShapeDamaged, path, reason));
}

void TShapefileReader::DamagedRecord(int index, const std::string& reason) const {
    throw EShapefileError(
        Text(TText::kShapeDamagedRecord, shpPath_, std::int64_t{index} + 1, reason));
}

TShapefileReader::TIndexEntry TShapefileReader::ReadIndexEntry(int index) {
    if (index < indexBlockFirst_ || index >= indexBlockFirst_ + indexBlockCount_) {
        const int count = std::min(kIndexBlockEntries, recordCount_ - index);
        indexBlock_.resize(static_cast<std::size_t>(count) * kShxRecordBytes);
        const std::uint64_t at =
            kShpHeaderBytes + static_cast<std::uint64_t>(index) * kShxRecordBytes;
        indexBlockCount_ = 0;
        if (shx_->ReadAt(at, indexBlock_) != indexBlock_.size()) {
            throw EInOutError(Text(TText::kShapeStreamReadError));
        }
        indexBlockFirst_ = index;
        indexBlockCount_ = count;
    }
    const std::byte* entry =
        &indexBlock_[static_cast<std::size_t>(index - indexBlockFirst_) * kShxRecordBytes];
    const std::int32_t offsetWords = GetInt32BE(entry);
    const std::int32_t contentWords = GetInt32BE(entry + 4);
    const std::uint64_t offset = 2 * static_cast<std::uint64_t>(std::max(offsetWords, 0));
    const std::uint64_t contentBytes = 2 * static_cast<std::uint64_t>(std::max(contentWords, 0));
    if (offsetWords < 0 || contentWords < 0 || offset < kShpHeaderBytes ||
        offset + kShpRecordHeaderBytes + contentBytes > shpLength_) {
        DamagedRecord(index, Text(TText::kShapeIndexEntryOutside, offsetWords, contentWords));
    }
    return TIndexEntry{offset, contentBytes};
}

void TShapefileReader::ReadShape(int index, TShape& shape) {
    // Whatever fails below leaves a null shape, not the last record read.
    shape.ShapeType = kShapeTypeNull;
    shape.Box = TShpBox{};
    shape.Parts.clear();
    shape.Points.clear();
    if (index < 0 || index >= recordCount_) {
        throw EShapefileError(
            Text(TText::kShapeNoSuchRecord, std::int64_t{index} + 1, recordCount_));
    }
    const TIndexEntry entry = ReadIndexEntry(index);
    const std::span<const std::byte> record =
        ReadShpBytes(entry.Offset, kShpRecordHeaderBytes + entry.ContentBytes);
    const std::int32_t contentWords = GetInt32BE(&record[4]);
    if (2 * static_cast<std::int64_t>(contentWords) !=
        static_cast<std::int64_t>(entry.ContentBytes)) {
        DamagedRecord(index,
                      Text(TText::kShapeRecordLengthDiffers, contentWords, entry.ContentBytes / 2));
    }
    const auto content = record.subspan(kShpRecordHeaderBytes);
    if (content.size() < 4) {
        DamagedRecord(index, Text(TText::kShapeNoShapeType));
    }
    const std::int32_t type = GetInt32LE(content.data());
    if (type == kShapeTypeNull) {
        return;
    }
    if (type != shapeType_) {
        DamagedRecord(index, Text(TText::kShapeRecordTypeDiffers, type, shapeType_));
    }
    try {
        if (type == kShapeTypePoint) {
            ReadPoint(index, content, shape);
        } else {
            ReadMultiPart(index, content, shape);
        }
    } catch (...) {
        shape.Box = TShpBox{};
        shape.Parts.clear();
        shape.Points.clear();
        throw;
    }
    shape.ShapeType = type;
}

std::span<const std::byte> TShapefileReader::ReadShpBytes(std::uint64_t offset,
                                                          std::uint64_t count) {
    if (offset < windowStart_ || offset + count > windowStart_ + window_.size()) {
        // Records usually follow each other, so the bytes after this one are read with it.
        const std::uint64_t size = std::min(std::max(count, kReadAheadBytes), shpLength_ - offset);
        window_.resize(static_cast<std::size_t>(size));
        windowStart_ = offset;
        if (shp_->ReadAt(offset, window_) != window_.size()) {
            window_.clear();
            throw EInOutError(Text(TText::kShapeStreamReadError));
        }
    }
    return std::span<const std::byte>(window_).subspan(
        static_cast<std::size_t>(offset - windowStart_), static_cast<std::size_t>(count));
}

void TShapefileReader::ReadPoint(int index, std::span<const std::byte> content,
                                 TShape& shape) const {
    if (content.size() < kShpPointContentBytes) {
        DamagedRecord(index, Text(TText::kShapePointTooShort, content.size()));
    }
    const TShpPoint point{GetDoubleLE(&content[4]), GetDoubleLE(&content[12])};
    shape.Points.push_back(point);
    shape.Box = TShpBox{point.X, point.Y, point.X, point.Y};
}

void TShapefileReader::ReadMultiPart(int index, std::span<const std::byte> content,
                                     TShape& shape) const {
    if (content.size() < kShpMultiPartFixedBytes) {
        DamagedRecord(index, Text(TText::kShapeContentTooShort, content.size()));
    }
    const std::int32_t numParts = GetInt32LE(&content[36]);
    const std::int32_t numPoints = GetInt32LE(&content[40]);
    if (numParts < 0 || numPoints < 0) {
        DamagedRecord(index, Text(TText::kShapeCountsInvalid, numParts, numPoints));
    }
    const std::uint64_t needed = kShpMultiPartFixedBytes +
                                 4 * static_cast<std::uint64_t>(numParts) +
                                 kPointBytes * static_cast<std::uint64_t>(numPoints);
    if (needed > content.size()) {
        DamagedRecord(index,
                      Text(TText::kShapeCountsTooLarge, numParts, numPoints, content.size()));
    }
    const std::byte* at = &content[kShpMultiPartFixedBytes];
    shape.Parts.resize(static_cast<std::size_t>(numParts));
    // Each part starts at or after the one before it and within the points.
    std::int32_t previous = 0;
    for (std::size_t k = 0; k < shape.Parts.size(); ++k) {
        const std::int32_t part = GetInt32LE(at);
        at += 4;
        if (part < previous || part > numPoints) {
            DamagedRecord(index, Text(TText::kShapePartStartInvalid, k + 1, part, numPoints));
        }
        shape.Parts[k] = previous = part;
    }
    shape.Points.resize(static_cast<std::size_t>(numPoints));
    for (TShpPoint& point : shape.Points) {
        point = TShpPoint{GetDoubleLE(at), GetDoubleLE(at + 8)};
        at += kPointBytes;
    }
    shape.Box = GetBox(&content[4]);
}

}  // namespace varnelo

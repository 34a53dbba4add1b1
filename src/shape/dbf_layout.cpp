// SPDX-License-Identifier: MIT
#include "shape/dbf_layout.hpp"

#include <algorithm>
#include <cstring>

#include "shape/byte_order.hpp"
#include "shape/errors.hpp"

namespace varnelo {

namespace {

constexpr std::size_t kTypeAt = 11;
constexpr std::size_t kLengthAt = 16;
constexpr std::size_t kDecimalsAt = 17;
constexpr int kYearBase = 1900;

// `limitText` is kShapeDbfHeaderTooLong or kShapeDbfRecordTooLong.
[[noreturn]] void RaiseLimitPassed(TText limitText, std::size_t limit, std::size_t fieldIndex,
                                   const std::string& name) {
    throw ELocalDbfError(Text(limitText, limit, fieldIndex + 1, name));
}

void CheckNewField(const TDbfFieldDef& def) {
    if (def.Name.empty() || def.Name.size() > dbf::kMaxNameLength) {
        throw ELocalDbfError(Text(TText::kShapeFieldNameLength, def.Name, dbf::kMaxNameLength));
    }
    if (def.Length < 0 || def.Length > static_cast<int>(dbf::kMaxFieldLength) || def.Decimals < 0 ||
        def.Decimals > static_cast<int>(dbf::kMaxFieldLength)) {
        throw ELocalDbfError(
            Text(TText::kShapeFieldSizeRefused, def.Name, def.Length, def.Decimals));
    }
}

}  // namespace

TFieldType LogicalTypeOf(const TDbfFieldDef& def) {
    switch (def.TypeChar) {
        case 'C':
            return ftString;
        case 'D':
            return ftDate;
        case 'L':
            return ftBoolean;
        case 'N':
            return def.Decimals > 0 ? ftFloat : ftInteger;
        default:
            throw ELocalDbfError(Text(TText::kShapeFieldTypeRefused));
    }
}

TDbfField CheckedField(const TDbfFieldDef& def, std::size_t offset) {
    TDbfField field;
    field.TypeChar = def.TypeChar;
    field.Type = LogicalTypeOf(def);
    field.Length = static_cast<std::uint8_t>(def.Length);
    field.Decimals = static_cast<std::uint8_t>(def.Decimals);
    field.Offset = offset;
    // A date needs its eight digits and a logical value its one byte.
    if ((field.Type == ftDate && field.Length < 8) ||
        (field.Type == ftBoolean && field.Length < 1)) {
        throw ELocalDbfError("Invalid size " + std::to_string(field.Length) + " for field '" +
                             def.Name + "'");
    }
    return field;
}

std::array<std::byte, dbf::kDescriptorSize> DescriptorBytes(const TDbfFieldDef& def) {
    std::array<std::byte, dbf::kDescriptorSize> bytes{};
    std::memcpy(bytes.data(), def.Name.data(), std::min(def.Name.size(), dbf::kNameAreaSize));
    bytes[kTypeAt] = static_cast<std::byte>(def.TypeChar);
    bytes[kLengthAt] = static_cast<std::byte>(def.Length);
    bytes[kDecimalsAt] = static_cast<std::byte>(def.Decimals);
    return bytes;
}

TDbfFieldDef FieldDefOf(std::span<const std::byte, dbf::kDescriptorSize> descriptor) {
    // The name runs to the first zero byte; a name area without one gives all 11 bytes.
    const char* const nameArea = reinterpret_cast<const char*>(descriptor.data());
    TDbfFieldDef def;
    def.Name.assign(nameArea, std::find(nameArea, nameArea + dbf::kNameAreaSize, '\0'));
    def.TypeChar = static_cast<char>(descriptor[kTypeAt]);
    def.Length = std::to_integer<int>(descriptor[kLengthAt]);
    def.Decimals = std::to_integer<int>(descriptor[kDecimalsAt]);
    return def;
}

TDbfLayout PlanDbfLayout(std::span<const TDbfFieldDef> fields) {
    TDbfLayout layout;
    layout.HeaderLength = dbf::kHeaderSize + 1;
    layout.RecordLength = 1;
    layout.Fields.reserve(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const TDbfFieldDef& def = fields[i];
        CheckNewField(def);
        layout.Fields.push_back(CheckedField(def, layout.RecordLength));
        layout.HeaderLength += dbf::kDescriptorSize;
        layout.RecordLength += static_cast<std::size_t>(def.Length);
        if (layout.HeaderLength > dbf::kMaxHeaderLength) {
            RaiseLimitPassed(TText::kShapeDbfHeaderTooLong, dbf::kMaxHeaderLength, i, def.Name);
        }
        if (layout.RecordLength > dbf::kMaxRecordLength) {
            RaiseLimitPassed(TText::kShapeDbfRecordTooLong, dbf::kMaxRecordLength, i, def.Name);
        }
    }
    return layout;
}

std::vector<std::byte> EmptyDbfBytes(std::span<const TDbfFieldDef> fields,
                                     const TDate& lastUpdate) {
    const TDbfLayout layout = PlanDbfLayout(fields);
    std::vector<std::byte> bytes(layout.HeaderLength + 1, std::byte{0});
    bytes[0] = dbf::kVersion3;
    bytes[1] = static_cast<std::byte>(std::clamp(lastUpdate.Year - kYearBase, 0, 255));
    bytes[2] = static_cast<std::byte>(lastUpdate.Month);
    bytes[3] = static_cast<std::byte>(lastUpdate.Day);
    byte_order::PutUInt16LE(&bytes[dbf::kHeaderLengthAt],
                            static_cast<std::uint16_t>(layout.HeaderLength));
    byte_order::PutUInt16LE(&bytes[dbf::kRecordLengthAt],
                            static_cast<std::uint16_t>(layout.RecordLength));
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto descriptor = DescriptorBytes(fields[i]);
        std::copy(descriptor.begin(), descriptor.end(),
                  bytes.begin() +
                      static_cast<std::ptrdiff_t>(dbf::kHeaderSize + dbf::kDescriptorSize * i));
    }
    bytes[layout.HeaderLength - 1] = dbf::kTerminator;
    bytes[layout.HeaderLength] = dbf::kEndOfFile;
    return bytes;
}

}  // namespace varnelo

// SPDX-License-Identifier: MIT
// The dBASE table file layout, in one place for creating a table and for opening one: the
// constants, the 32-byte header and field descriptors as bytes, and the checks a field and a
// whole layout must pass.
//
// File layout (little-endian): a 32-byte header (version, update date, record count at 4,
// header length at 8, record length at 10, index flag at 28), 32-byte field descriptors
// from offset 32 up to the header length, then the records, each a flag byte (blank live,
// '*' deleted) followed by the field values, and a closing 0x1A byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "shape/table.hpp"

namespace varnelo {

namespace dbf {

inline constexpr std::size_t kHeaderSize = 32;
inline constexpr std::size_t kDescriptorSize = 32;
inline constexpr std::size_t kNameAreaSize = 11;
// Longest name a new table is given: the name area keeps a zero byte after it.
inline constexpr std::size_t kMaxNameLength = 10;
inline constexpr std::size_t kMaxFieldLength = 255;
// The header and record lengths are stored in 16 bits.
inline constexpr std::size_t kMaxHeaderLength = 65535;
inline constexpr std::size_t kMaxRecordLength = 65535;

inline constexpr std::size_t kRecordCountAt = 4;
inline constexpr std::size_t kHeaderLengthAt = 8;
inline constexpr std::size_t kRecordLengthAt = 10;
inline constexpr std::size_t kIndexFlagAt = 28;

inline constexpr std::byte kVersion3{0x03};  // a dBASE III table without memo
inline constexpr std::byte kTerminator{0x0D};
inline constexpr std::byte kEndOfFile{0x1A};
inline constexpr std::byte kBlank{0x20};
inline constexpr std::byte kDeletedFlag{0x2A};

}  // namespace dbf

// A field as its descriptor states it: name, type letter, length and decimal count.
struct TDbfFieldDef {
    std::string Name;
    char TypeChar = 'C';
    int Length = 0;
    int Decimals = 0;
};

// How one field is stored in the record.
struct TDbfField {
    char TypeChar = 'C';
    TFieldType Type = ftString;
    std::uint8_t Length = 0;
    std::uint8_t Decimals = 0;
    std::size_t Offset = 0;  // from the record's flag byte
};

// The kind of value a field holds. Raises ELocalDbfError for a type letter the engine does
// not take ("対応していないフィールド型です。").
TFieldType LogicalTypeOf(const TDbfFieldDef& def);
// The field a descriptor describes, at `offset` in the record. Raises as LogicalTypeOf does,
// and for a date shorter than its eight digits or a logical field without its byte.
TDbfField CheckedField(const TDbfFieldDef& def, std::size_t offset);

// The 32 bytes of a descriptor, and back. A name area without a zero byte gives all 11
// bytes as the name.
std::array<std::byte, dbf::kDescriptorSize> DescriptorBytes(const TDbfFieldDef& def);
TDbfFieldDef FieldDefOf(std::span<const std::byte, dbf::kDescriptorSize> descriptor);

// The layout of a new table.
struct TDbfLayout {
    std::size_t HeaderLength = 0;  // 32 + 32 per field + the terminator byte
    std::size_t RecordLength = 0;  // the flag byte and the field lengths
    std::vector<TDbfField> Fields;
};

// Plans a new table with these fields, checking each as opening it would, and its names
// (1 to 10 bytes) and lengths (0-255). Raises ELocalDbfError naming the limit
// and the field where it is passed when the header or the record would be longer than
// 65,535 bytes, which their 16-bit lengths cannot state.
TDbfLayout PlanDbfLayout(std::span<const TDbfFieldDef> fields);

// The bytes of a new, empty table: the header (version 3, `lastUpdate` with its year counted
// from 1900 as dBASE readers take it, no records), the descriptors, the terminator and the
// end-of-file byte.
std::vector<std::byte> EmptyDbfBytes(std::span<const TDbfFieldDef> fields, const TDate& lastUpdate);

}  // namespace varnelo

// SPDX-License-Identifier: MIT
// The parts of a .mif read before any object: the header keywords and the Columns
// section, whose column list becomes the attribute table's layout.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/line_reader.hpp"

namespace varnelo {

// One attribute column of the Columns section.
struct TSFColumn {
    std::string Name;  // as written, trimmed; no length limit here
    // 0 character, 1 integer, 2 decimal, 3 date, 4 logical, 5 large (64-bit) integer
    std::uint8_t Type = 0;
    // The declared byte width of a character column; the digits in all of a Decimal(w,d),
    // 0 when it declares none.
    std::int32_t Width = 0;
    std::int32_t Decimals = 0;  // the digits after the point of a Decimal(w,d)
    bool Known = true;          // false when no type test recognised the type text
    friend bool operator==(const TSFColumn&, const TSFColumn&) = default;
};

inline constexpr std::uint8_t kLargeIntColumn = 5;

using TSFColumns = std::vector<TSFColumn>;

// What the header declares beyond the columns, kept beside the column list for the .mid rows
// and the files written beside the shapefile. Each member is empty when the header is silent.
struct TMifHeaderInfo {
    char Delimiter = '\0';  // the declared delimiter character; '\0' when none is declared
    std::string Charset;    // the Charset name, without its quotes
    std::string CoordSys;   // the CoordSys clause, its continuation lines included
};

// Reads past the header: stops after the line that completes the four keywords Version,
// Charset, Delimiter and CoordSys, at the end of the file, or before the first line whose
// first word is Columns or Data, which is left to be read next. When `info` is given, the
// header's declarations are kept in it.
void ReadMifHeader(TLineReader& mif, TMifHeaderInfo* info = nullptr);

// Reads up to and including the Columns section and fills `columns` (resized to the
// declared count; entries already there keep what an unknown type does not set). At the
// end of the file, or at a Data line met before any Columns line, the list is left as it
// was; the Data line is left to be read next. A name ends at the first blank, unless what
// follows is no type and the line ends in one ("Depth low Float"): the name is then all
// before that type. Raises EMifFormatError for a negative count
// or a file that ends before all column lines.
void ReadMifColumns(TLineReader& mif, TSFColumns& columns);

// Reads up to and including the Data line, the first whose first word is Data, after which
// the objects begin. False when the file ends without one: the file is no MIF file.
bool ReadPastDataLine(TLineReader& mif);

}  // namespace varnelo

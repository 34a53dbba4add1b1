// SPDX-License-Identifier: MIT
// The objects of a data section counted as a conversion meets them: by keyword, and by the
// conversions that take them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/line_reader.hpp"
#include "engine/mif_header.hpp"
#include "engine/mif_objects.hpp"

namespace varnelo {

// The objects of a source by the conversions that take them. A collection counts for each
// kind of part it holds.
struct TObjectCounts {
    std::int64_t Points = 0;     // POINT: the point conversion
    std::int64_t PolyLines = 0;  // LINE, PLINE, ARC, a collection's line: the polyline one
    std::int64_t Polygons = 0;   // REGION, RECT, ROUNDRECT, ELLIPSE, a collection's region
    std::int64_t Texts = 0;      // TEXT: the two text conversions

    TObjectCounts& operator+=(const TObjectCounts& more) noexcept {
        Points += more.Points;
        PolyLines += more.PolyLines;
        Polygons += more.Polygons;
        Texts += more.Texts;
        return *this;
    }
};

struct TMifObjectTally {
    // By the keywords of kMifObjectKeywords, in their order; a collection counts once.
    std::array<std::int64_t, kMifObjectKeywords.size()> ByKeyword{};
    TObjectCounts Objects;

    // The .mid rows the objects take: one each.
    std::int64_t Rows() const noexcept;
};

// Counts the objects from the reader's position (the first line after the columns) to the
// end of the file, a collection's parts passed over with it. Raises as ReadMifCollection does
// for a collection whose parts cannot be read.
TMifObjectTally CountMifObjects(TLineReader& mif);

// A look at a .mif without converting it: its header, its columns and its objects.
struct TMifOverview {
    TMifHeaderInfo Header;
    TSFColumns Columns;
    // A Data line follows the header and the columns, as in every MIF; false for a file laid
    // out otherwise, such as one that is no MIF at all.
    bool DataLine = false;
    TMifObjectTally Tally;
};

// Reads the .mif at `path` for its overview, the objects by their keywords only. Raises
// EInOutError when the file cannot be read, and as ReadMifColumns and CountMifObjects do.
TMifOverview ReadMifOverview(const std::string& path);

}  // namespace varnelo

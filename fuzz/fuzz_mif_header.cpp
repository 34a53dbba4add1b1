// SPDX-License-Identifier: MIT
// The MIF readers alone, over a line reader in memory: header (with what its Charset and
// CoordSys declare), Columns section and the field names made from it, then every object of the
// data section through its reader, each record checked for the shape the writers rely on and
// written to a memory stream. The first input byte picks the reader's buffer size and the source's
// chunk size, so lines cross chunk boundaries anywhere, and which text reader takes TEXT objects.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "engine/attribute_table.hpp"
#include "engine/code_page.hpp"
#include "engine/coord_sys.hpp"
#include "engine/line_reader.hpp"
#include "engine/mif_errors.hpp"
#include "engine/mif_header.hpp"
#include "engine/mif_objects.hpp"
#include "engine/text_ops.hpp"
#include "shape/errors.hpp"
#include "shape/output_stream.hpp"
#include "shape/shp_writer.hpp"

namespace {

using namespace varnelo;

[[noreturn]] void Broken(const char* rule) {
    std::fprintf(stderr, "reader check failed: %s\n", rule);
    std::abort();
}

void Require(bool holds, const char* rule) {
    if (!holds) {
        Broken(rule);
    }
}

// What the writers take for granted about a record the readers filled.
void CheckMultiPart(const TSFMultiPart& shape) {
    Require(shape.NumParts >= 0 && shape.NumPoints >= 0, "negative counts");
    Require(shape.Parts.size() == static_cast<std::size_t>(shape.NumParts), "part count");
    Require(shape.Points.size() == static_cast<std::size_t>(shape.NumPoints), "point count");
    std::int32_t previous = 0;
    for (const std::int32_t start : shape.Parts) {
        Require(start >= previous && start <= shape.NumPoints, "part start out of order");
        previous = start;
    }
}

// A record is written whole: its length on disk matches the content length it announces.
template <class Write, class Shape>
void WriteAndMeasure(Write write, Shape& shape, std::int32_t contentLength) {
    TMemoryOutputStream stream;
    write(stream, 1, shape);
    Require(stream.Size() == 8 + 2 * static_cast<std::uint64_t>(contentLength),
            "record size differs from its content length");
}

void ReadObject(TMifObjectKind kind, std::string_view line, TLineReader& mif, bool textAsLine,
                TCharacterSet characters) {
    TShpPoint point;
    TSFPolyLine polyLine;
    TSFPolygon polygon;
    std::string text;
    switch (kind) {
        case TMifObjectKind::Point:
            ReadMifPoint(line, mif, point);
            break;
        case TMifObjectKind::Line:
        case TMifObjectKind::Pline:
        case TMifObjectKind::Arc:
            if (kind == TMifObjectKind::Line) {
                ReadMifLine(line, mif, polyLine);
            } else if (kind == TMifObjectKind::Pline) {
                ReadMifPline(line, mif, polyLine);
            } else {
                ReadMifArc(line, mif, polyLine);
                Require(polyLine.NumPoints >= 2, "an arc of fewer than two points");
            }
            CheckMultiPart(polyLine);
            WriteAndMeasure(&WritePolyLineRecord, polyLine, PolyLineContentLength(polyLine));
            break;
        case TMifObjectKind::Region:
        case TMifObjectKind::Rect:
        case TMifObjectKind::RoundRect:
        case TMifObjectKind::Ellipse:
            if (kind == TMifObjectKind::Region) {
                ReadMifRegion(line, mif, polygon);
            } else if (kind == TMifObjectKind::Ellipse) {
                ReadMifEllipse(line, mif, polygon);
            } else {
                ReadMifRect(line, mif, polygon);
            }
            CheckMultiPart(polygon);
            NormalizePolygonRing(polygon);
            CheckMultiPart(polygon);
            WriteAndMeasure(&WritePolygonRecord, polygon, PolygonContentLength(polygon));
            break;
        case TMifObjectKind::Collection: {
            // The first input byte's top bit also picks which parts are read, as the polygon
            // and the polyline conversions read them.
            const TMifCollectionParts wanted{!textAsLine, textAsLine};
            ReadMifCollection(line, mif, polygon, polyLine, wanted);
            CheckMultiPart(polygon);
            CheckMultiPart(polyLine);
            NormalizePolygonRing(polygon);
            CheckMultiPart(polygon);
            WriteAndMeasure(&WritePolygonRecord, polygon, PolygonContentLength(polygon));
            WriteAndMeasure(&WritePolyLineRecord, polyLine, PolyLineContentLength(polyLine));
            break;
        }
        case TMifObjectKind::Text:
            if (textAsLine) {
                ReadMifTextLine(line, mif, text, polyLine, characters);
                CheckMultiPart(polyLine);
            } else {
                ReadMifTextPoint(line, mif, text, point, characters);
            }
            break;
        default:
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static constexpr std::size_t kBufferSizes[] = {1, 2, 3, 7, 64, TLineReader::kDefaultBufferSize};
    static constexpr std::size_t kChunkSizes[] = {1, 5, 16, SIZE_MAX};
    const unsigned selector = data[0];
    const std::size_t bufferSize = kBufferSizes[selector % std::size(kBufferSizes)];
    const std::size_t chunkSize = kChunkSizes[(selector / 8) % std::size(kChunkSizes)];
    const bool textAsLine = (selector & 0x80) != 0;
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    TLineReader mif(std::make_unique<TMemorySource>(std::move(bytes), chunkSize), bufferSize);

    TMifHeaderInfo header;
    ReadMifHeader(mif, &header);
    const TPrjText prj = CoordSysToPrj(header.CoordSys);
    Require(prj.Wkt.empty() != prj.Reason.empty(), "a .prj together with a reason, or neither");
    const TCharacterSet characters = CodePageOfCharset(header.Charset).Characters;
    TSFColumns columns;
    try {
        ReadMifColumns(mif, columns);
    } catch (const EMifFormatError&) {
        return 0;
    }
    ColumnsToDbfFields(columns, characters);
    for (const TSFColumn& column : columns) {
        Require(column.Name.size() <= kDbfFieldNameLength, "field name longer than 10 bytes");
    }

    std::string line;
    while (!mif.Eof()) {
        CollapseBlanksInto(TrimView(mif.ReadLineView()), line);
        try {
            ReadObject(MifObjectKindOfLine(line), line, mif, textAsLine, characters);
        } catch (const EConvertError&) {
            // a number that is not one: the conversion would stop here
        } catch (const EMifFormatError&) {
            // the file ends inside the object, or a count is negative
        }
    }
    return 0;
}

// SPDX-License-Identifier: MIT
// One reader per MIF object kind. Each takes the object's keyword line (trimmed, runs of
// spaces collapsed, letters in their own case), reads the object's further lines from
// the .mif reader, and fills the record passed in. Coordinates are kept exactly as
// written; ring closure and orientation are left to the polygon writer.
//
// Every reader raises EConvertError for a coordinate or count that is not a number, and
// EMifFormatError when the file ends inside the object or a count is negative. Memory
// grows with the points actually read, never ahead of them from a declared count. A
// multi-part record is filled completely (box included) on every call, so a record can
// be reused from object to object.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "engine/line_reader.hpp"
#include "shape/character_set.hpp"
#include "shape/geometry.hpp"

namespace varnelo {

// The object keywords of the data section. Every object takes one .mid row, whether it is
// converted or not; a collection's parts belong to it and take none of their own.
enum class TMifObjectKind {
    None,  // not an object keyword
    Point,
    Line,
    Pline,
    Region,
    Arc,
    Text,
    Rect,
    RoundRect,
    Ellipse,
    Multipoint,
    NoGeometry,  // NONE
    Collection,
};

// Every object kind with its keyword, in the order the keywords are tested.
struct TMifObjectKeyword {
    std::string_view Keyword;
    TMifObjectKind Kind;
};
extern const std::array<TMifObjectKeyword, 12> kMifObjectKeywords;

// The kind a line's first field names, ASCII letters compared ignoring case; the field is
// taken by the rules of SplitString, so a quoted first word counts as its content.
TMifObjectKind MifObjectKindOfLine(std::string_view trimmedLine);

void ReadMifPoint(std::string_view keywordLine, TLineReader& mif, TShpPoint& out);
void ReadMifLine(std::string_view keywordLine, TLineReader& mif, TSFPolyLine& out);
void ReadMifPline(std::string_view keywordLine, TLineReader& mif, TSFPolyLine& out);
void ReadMifRegion(std::string_view keywordLine, TLineReader& mif, TSFPolygon& out);
// An arc from its start angle to its end angle; angles a whole turn apart (0 and 360) give
// the whole ellipse, closed, and an arc of less than one whole degree its one exact point
// twice.
void ReadMifArc(std::string_view keywordLine, TLineReader& mif, TSFPolyLine& out);
// Rectangles and rounded rectangles; a rounded rectangle's corner radius, on the next line or
// after the four coordinates, is not read.
void ReadMifRect(std::string_view keywordLine, TLineReader& mif, TSFPolygon& out);
void ReadMifEllipse(std::string_view keywordLine, TLineReader& mif, TSFPolygon& out);
// The parts of a collection a conversion can take: which ones it holds, or which ones to read.
struct TMifCollectionParts {
    bool Region = false;
    bool Polyline = false;  // a LINE or a PLINE
};

// Reads a COLLECTION object: the count on the keyword line, then that many parts, each a
// REGION, a LINE or PLINE or a MULTIPOINT with its own lines (style lines between them are
// passed over). Parts of the kinds in `wanted` are read: the region's rings into `region`,
// the line's or polyline's sections into `polyline` (parts of one kind that repeat add their
// rings or sections). The others, and multipoints, are passed over line by line as the driver
// passes over objects it does not convert, so a damaged part fails only a conversion that
// takes it. A line naming another object ends a collection that holds fewer parts than
// counted, and is left to be read next; so does the end of the file. The answer says which
// parts the collection holds; a record is filled where a part is both held and wanted.
TMifCollectionParts ReadMifCollection(std::string_view keywordLine, TLineReader& mif,
                                      TSFPolygon& region, TSFPolyLine& polyline,
                                      TMifCollectionParts wanted = {true, true});

// The text string with its escapes read (\n a line break, \\ a backslash), walked by the
// characters of the source's character set.
void ReadMifTextPoint(std::string_view keywordLine, TLineReader& mif, std::string& text,
                      TShpPoint& out, TCharacterSet characters = TCharacterSet::ShiftJis);
void ReadMifTextLine(std::string_view keywordLine, TLineReader& mif, std::string& text,
                     TSFPolyLine& out, TCharacterSet characters = TCharacterSet::ShiftJis);

}  // namespace varnelo

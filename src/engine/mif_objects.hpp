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

#include <string>
#include <string_view>

#include "engine/line_reader.hpp"
#include "shape/geometry.hpp"

namespace varnelo {

void ReadMifPoint(std::string_view keywordLine, TLineReader& mif, TShpPoint& out);
void ReadMifLine(std::string_view keywordLine, TLineReader& mif, TSFPolyLine& out);
void ReadMifPline(std::string_view keywordLine, TLineReader& mif, TSFPolyLine& out);
void ReadMifRegion(std::string_view keywordLine, TLineReader& mif, TSFPolygon& out);
void ReadMifArc(std::string_view keywordLine, TLineReader& mif, TSFPolyLine& out);
// Rectangles and rounded rectangles; a rounded rectangle's corner radius, on the next line or
// after the four coordinates, is not read.
void ReadMifRect(std::string_view keywordLine, TLineReader& mif, TSFPolygon& out);
void ReadMifEllipse(std::string_view keywordLine, TLineReader& mif, TSFPolygon& out);
void ReadMifTextPoint(std::string_view keywordLine, TLineReader& mif, std::string& text,
                      TShpPoint& out);
void ReadMifTextLine(std::string_view keywordLine, TLineReader& mif, std::string& text,
                     TSFPolyLine& out);

}  // namespace varnelo

// SPDX-License-Identifier: MIT
// Drawing a shapefile into a view and finding the shape at a place in it, apart from any
// window toolkit: the shapes are read from the reader in one pass, one at a time, and what is
// to be drawn goes to a canvas in view pixels.
//
// Drawing a million shapes stays quick because of what is left out: a shape whose box lies
// outside the view is not transformed at all; a shape smaller than a pixel is one dot; points
// and such dots are drawn once per pixel; and consecutive vertices on one pixel are one.
#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/map_transform.hpp"
#include "shape/shp_reader.hpp"
#include "shape/shp_writer.hpp"

namespace varnelo {

class IMapCanvas {
  public:
    virtual ~IMapCanvas() = default;
    // A point's symbol, or a shape too small to show its form, centred on a pixel inside the
    // view: the pixels of InSymbol(dx, dy, pixels) around it, as far as they lie in the view.
    virtual void Dot(int x, int y, int pixels) = 0;
    // One part of a line, at least two points.
    virtual void Line(std::span<const TScreenPoint> points) = 0;
    // A polygon: its rings one after the other, ring k ending before ringEnds[k], filled by
    // the even-odd rule, so that holes stay open whatever the rings' orientation.
    virtual void Polygon(std::span<const TScreenPoint> points,
                         std::span<const std::size_t> ringEnds) = 0;
};

// A shape's parts in view pixels, vertices on the same pixel as the one before them left
// out (the last one of each part kept), parts left with fewer than two points dropped, and
// coordinates that are not finite skipped.
struct TScreenShape {
    std::vector<TScreenPoint> Points;
    std::vector<std::size_t> PartEnds;
};
void ToScreenShape(const TShape& shape, const TMapTransform& transform, TScreenShape& out);

struct TDrawResult {
    bool Finished = false;  // false when `stop` ended the drawing early
    int Drawn = 0;          // shapes in the view, drawn with their form or as a dot
    int Unreadable = 0;     // records the reader refused
    std::string FirstError;
};

// Draws every shape of `reader` that lies in a view of `width` × `height` pixels, in record
// order, so later records lie on top. Checks `stop` now and then and returns early once it is
// set. A record that cannot be read is counted and passed over. Points and dots are as many
// pixels across as the style says at `ratio` pixels of the view a pixel of the style.
TDrawResult DrawShapes(TShapefileReader& reader, const TMapTransform& transform, int width,
                       int height, IMapCanvas& canvas, const std::atomic<bool>& stop,
                       double ratio = 1.0);

// Whether `shape` is at `at`: a point or line within `tolerance` map units of it, a polygon
// containing it (not in a hole) or with an edge within `tolerance`.
bool ShapeIsAt(const TShape& shape, const TShpPoint& at, double tolerance);

// The index of the topmost shape at `at` (the last in record order, as drawn), boxes tested
// before geometry; none when there is none, or when `stop` was set before the end.
std::optional<int> FindShapeAt(TShapefileReader& reader, const TShpPoint& at, double tolerance,
                               const std::atomic<bool>& stop);

}  // namespace varnelo

// SPDX-License-Identifier: MIT
// Geometry records shared by the MIF readers and the shapefile writers, and the small
// routines on them: byte reversal, bounding boxes, signed ring area and the ring
// normalisation that shapefile polygons need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace varnelo {

struct TShpPoint {
    double X = 0.0;
    double Y = 0.0;
    friend bool operator==(const TShpPoint&, const TShpPoint&) = default;
};

struct TShpBox {
    double Xmin = 0.0;
    double Ymin = 0.0;
    double Xmax = 0.0;
    double Ymax = 0.0;
    friend bool operator==(const TShpBox&, const TShpBox&) = default;
};

// Layout shared by lines and polygons. `Parts[k]` is the index in `Points` of the first
// point of part k. Readers leave exactly NumParts part indices and NumPoints points.
struct TSFMultiPart {
    TShpBox Box;
    std::int32_t NumParts = 0;
    std::int32_t NumPoints = 0;
    std::vector<std::int32_t> Parts;
    std::vector<TShpPoint> Points;
};

// Two distinct record types of one layout, so that a line can never be written as a
// polygon by mistake.
struct TSFPolyLine : TSFMultiPart {};
struct TSFPolygon : TSFMultiPart {};

// Reverses the order of the first `count` bytes of `buffer` in place.
void ReverseBytes(std::size_t count, std::byte* buffer) noexcept;

// Folding points and shapes into a box: the first initialises, later ones extend.
void InitBoxFromPoint(TShpBox& box, const TShpPoint& p) noexcept;
void ExtendBoxByPoint(TShpBox& box, const TShpPoint& p) noexcept;
// The box of the points, folded in their order; all zero when there is none.
TShpBox BoxOfPoints(std::span<const TShpPoint> points) noexcept;
// Sets the shape's Box from its first NumPoints points; leaves it unchanged when it has none.
void CalcShapeBox(TSFMultiPart& shape) noexcept;
void InitBoxFromBox(TShpBox& box, const TShpBox& other) noexcept;
void ExtendBoxByBox(TShpBox& box, const TShpBox& other) noexcept;

// Shoelace area over the ring taken as cyclic: positive counter-clockwise, negative
// clockwise, 0.0 when the sequences differ in length or hold fewer than three values.
double RingSignedArea(std::span<const double> xs, std::span<const double> ys) noexcept;

// Brings a polygon into the form shapefile readers expect: every ring closed, outer rings
// clockwise, holes counter-clockwise. Idempotent.
void NormalizePolygonRing(TSFPolygon& polygon);

}  // namespace varnelo

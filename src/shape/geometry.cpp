// SPDX-License-Identifier: MIT
#include "shape/geometry.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

namespace varnelo {

void ReverseBytes(std::size_t count, std::byte* buffer) noexcept {
    for (std::size_t i = 0; i < count / 2; ++i) {
        std::swap(buffer[i], buffer[count - 1 - i]);
    }
}

void InitBoxFromPoint(TShpBox& box, const TShpPoint& p) noexcept {
    box.Xmin = p.X;
    box.Ymin = p.Y;
    box.Xmax = p.X;
    box.Ymax = p.Y;
}

void ExtendBoxByPoint(TShpBox& box, const TShpPoint& p) noexcept {
    // A bound moves only when the value lies strictly beyond it, so on equal values the box
    // keeps the value it already holds, which decides between +0.0 and -0.0. Written as
    // conditional expressions so that the compiler can use min/max instructions, which do
    // just that.
    box.Xmin = p.X < box.Xmin ? p.X : box.Xmin;
    box.Ymin = p.Y < box.Ymin ? p.Y : box.Ymin;
    box.Xmax = p.X > box.Xmax ? p.X : box.Xmax;
    box.Ymax = p.Y > box.Ymax ? p.Y : box.Ymax;
}

TShpBox BoxOfPoints(std::span<const TShpPoint> points) noexcept {
    TShpBox box;
    if (points.empty()) {
        return box;
    }
    InitBoxFromPoint(box, points.front());
    for (const TShpPoint& p : points.subspan(1)) {
        ExtendBoxByPoint(box, p);
    }
    return box;
}

void CalcShapeBox(TSFMultiPart& shape) noexcept {
    // A count larger than the points held is bounded by what is there, never read past.
    const auto count = std::min<std::size_t>(static_cast<std::size_t>(std::max(shape.NumPoints, 0)),
                                             shape.Points.size());
    if (count > 0) {
        shape.Box = BoxOfPoints(std::span(shape.Points).first(count));
    }
}

void InitBoxFromBox(TShpBox& box, const TShpBox& other) noexcept {
    box = other;
}

void ExtendBoxByBox(TShpBox& box, const TShpBox& other) noexcept {
    if (box.Xmin > other.Xmin) {
        box.Xmin = other.Xmin;
    }
    if (box.Ymin > other.Ymin) {
        box.Ymin = other.Ymin;
    }
    if (box.Xmax < other.Xmax) {
        box.Xmax = other.Xmax;
    }
    if (box.Ymax < other.Ymax) {
        box.Ymax = other.Ymax;
    }
}

namespace {

// Shoelace sum over a cyclic ring of n vertices, accumulated in vertex order so that every
// caller gets the same rounding for the same ring.
template <class XAt, class YAt>
double ShoelaceArea(std::size_t n, XAt x, YAt y) noexcept {
    if (n < 3) {
        return 0.0;
    }
    // The first and the last vertex wrap around; the ones between need no index checks.
    // The terms are added in vertex order either way.
    double sum = 0.0;
    sum = sum + (y(1) - y(n - 1)) * x(0);
    for (std::size_t i = 1; i + 1 < n; ++i) {
        sum = sum + (y(i + 1) - y(i - 1)) * x(i);
    }
    sum = sum + (y(0) - y(n - 2)) * x(n - 1);
    return sum / 2;
}

double PointsSignedArea(const TShpPoint* points, std::size_t n) noexcept {
    return ShoelaceArea(
        n, [points](std::size_t i) { return points[i].X; },
        [points](std::size_t i) { return points[i].Y; });
}

bool SamePoint(const TShpPoint& a, const TShpPoint& b) noexcept {
    return a.X == b.X && a.Y == b.Y;
}

bool LexicographicallyBefore(const TShpPoint& a, const TShpPoint& b) noexcept {
    return a.X < b.X || (a.X == b.X && a.Y < b.Y);
}

// Single ring: reverse a counter-clockwise ring, then close it if its ends differ.
void NormalizeSingleRing(TSFPolygon& polygon) {
    if (polygon.NumPoints < 3 ||
        static_cast<std::size_t>(polygon.NumPoints) > polygon.Points.size()) {
        return;
    }
    const auto n = static_cast<std::size_t>(polygon.NumPoints);
    if (PointsSignedArea(polygon.Points.data(), n) > 0.0) {
        std::reverse(polygon.Points.begin(),
                     polygon.Points.begin() + static_cast<std::ptrdiff_t>(n));
    }
    if (!SamePoint(polygon.Points[n - 1], polygon.Points[0])) {
        if (polygon.NumPoints == std::numeric_limits<std::int32_t>::max()) {
            return;  // the count could not hold the closing point
        }
        const TShpPoint first = polygon.Points[0];
        if (polygon.Points.size() == n) {
            polygon.Points.push_back(first);
        } else {
            polygon.Points[n] = first;
        }
        ++polygon.NumPoints;
    }
}

struct TRing {
    std::size_t Begin = 0;  // index of the first point in Points
    std::size_t End = 0;    // one past the last point
    TShpBox Box;
    double Area = 0.0;
    std::size_t Size() const noexcept { return End - Begin; }
};

// Part indices must start at 0, never decrease and stay within the points; anything else
// is not a layout this routine can reason about.
bool HasConsistentParts(const TSFPolygon& polygon) noexcept {
    const std::int32_t numParts = polygon.NumParts;
    const std::int32_t numPoints = polygon.NumPoints;
    if (numPoints < 0 || static_cast<std::size_t>(numPoints) > polygon.Points.size() ||
        static_cast<std::size_t>(numParts) > polygon.Parts.size()) {
        return false;
    }
    if (polygon.Parts[0] != 0) {
        return false;
    }
    for (std::int32_t k = 1; k < numParts; ++k) {
        if (polygon.Parts[k] < polygon.Parts[k - 1]) {
            return false;
        }
    }
    return polygon.Parts[numParts - 1] <= numPoints;
}

std::vector<TRing> RingsOf(const TSFPolygon& polygon) {
    const auto numParts = static_cast<std::size_t>(polygon.NumParts);
    std::vector<TRing> rings(numParts);
    for (std::size_t k = 0; k < numParts; ++k) {
        rings[k].Begin = static_cast<std::size_t>(polygon.Parts[k]);
        rings[k].End = (k + 1 < numParts) ? static_cast<std::size_t>(polygon.Parts[k + 1])
                                          : static_cast<std::size_t>(polygon.NumPoints);
    }
    return rings;
}

bool IsOpen(const std::vector<TShpPoint>& points, const TRing& ring) noexcept {
    return ring.Size() >= 2 && !SamePoint(points[ring.Begin], points[ring.End - 1]);
}

// Appends the first point to every open ring and moves the later part indices along.
// Returns false, leaving the polygon untouched, when the point count cannot grow enough.
// The rings are moved along in place, the last first, so that no ring is overwritten
// before it has moved: each one moves by the closing points of the rings before it.
bool CloseRings(TSFPolygon& polygon, std::vector<TRing>& rings) {
    std::size_t openRings = 0;
    for (const TRing& ring : rings) {
        openRings += IsOpen(polygon.Points, ring) ? 1 : 0;
    }
    if (openRings == 0) {
        return true;
    }
    const std::size_t total = static_cast<std::size_t>(polygon.NumPoints) + openRings;
    if (total > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return false;
    }
    std::vector<TShpPoint>& points = polygon.Points;
    points.resize(std::max(points.size(), total));
    std::size_t shift = openRings;
    for (std::size_t k = rings.size(); k-- > 0;) {
        TRing& ring = rings[k];
        const bool open = IsOpen(points, ring);
        if (open) {
            --shift;
            points[ring.End + shift] = points[ring.Begin];
        }
        const auto begin = points.begin() + static_cast<std::ptrdiff_t>(ring.Begin);
        std::move_backward(begin, points.begin() + static_cast<std::ptrdiff_t>(ring.End),
                           points.begin() + static_cast<std::ptrdiff_t>(ring.End + shift));
        ring.Begin += shift;
        ring.End += shift + (open ? 1 : 0);
        polygon.Parts[k] = static_cast<std::int32_t>(ring.Begin);
    }
    points.resize(total);
    polygon.NumPoints = static_cast<std::int32_t>(total);
    return true;
}

TShpBox BoxOf(const TShpPoint* points, std::size_t n) noexcept {
    TShpBox box;
    if (n == 0) {
        return box;
    }
    InitBoxFromPoint(box, points[0]);
    for (std::size_t i = 1; i < n; ++i) {
        ExtendBoxByPoint(box, points[i]);
    }
    return box;
}

bool BoxWithin(const TShpBox& inner, const TShpBox& outer) noexcept {
    return inner.Xmin >= outer.Xmin && inner.Xmax <= outer.Xmax && inner.Ymin >= outer.Ymin &&
           inner.Ymax <= outer.Ymax;
}

enum class TLocation { Inside, Outside, OnBoundary };

// Even-odd point-in-ring test over the cyclic edges of the ring. Every edge is evaluated
// with its end points in a fixed order, so the answer does not change when the ring is
// reversed; that keeps the normalisation idempotent even for points next to an edge.
TLocation LocatePoint(const TShpPoint& p, const TShpPoint* ring, std::size_t n) noexcept {
    bool inside = false;
    for (std::size_t k = 0, prev = n - 1; k < n; prev = k++) {
        const TShpPoint* a = &ring[prev];
        const TShpPoint* b = &ring[k];
        // An edge wholly above or below the point can neither hold it nor be crossed by
        // the ray from it: both tests below need p.Y between the ends' Y. Most edges of a
        // ring end here.
        if ((a->Y < p.Y && b->Y < p.Y) || (a->Y > p.Y && b->Y > p.Y)) {
            continue;
        }
        if (LexicographicallyBefore(*b, *a)) {
            std::swap(a, b);
        }
        const double cross = (b->X - a->X) * (p.Y - a->Y) - (b->Y - a->Y) * (p.X - a->X);
        if (cross == 0.0 && p.X >= a->X && p.X <= b->X && p.Y >= std::min(a->Y, b->Y) &&
            p.Y <= std::max(a->Y, b->Y)) {
            return TLocation::OnBoundary;
        }
        if ((a->Y > p.Y) != (b->Y > p.Y)) {
            const TShpPoint& low = (a->Y < b->Y) ? *a : *b;
            const TShpPoint& high = (a->Y < b->Y) ? *b : *a;
            const double xCross = low.X + (p.Y - low.Y) * (high.X - low.X) / (high.Y - low.Y);
            if (p.X < xCross) {
                inside = !inside;
            }
        }
    }
    return inside ? TLocation::Inside : TLocation::Outside;
}

// Whether ring `inner` lies inside ring `outer`. The vertices of `inner` are tried from its
// lexicographically smallest one onwards in clockwise order, an order that reversing the
// ring does not change; the first vertex that is clearly inside or outside decides. A ring
// whose vertices all lie on the other's boundary (a duplicate ring) is not inside it.
bool RingInside(const std::vector<TShpPoint>& points, const TRing& inner, const TRing& outer) {
    const TShpPoint* ring = points.data() + inner.Begin;
    // A closed ring repeats its first point at the end; it is one vertex, not two.
    std::size_t n = inner.Size();
    if (n >= 2 && SamePoint(ring[0], ring[n - 1])) {
        --n;
    }
    std::size_t start = 0;
    for (std::size_t i = 1; i < n; ++i) {
        if (LexicographicallyBefore(ring[i], ring[start])) {
            start = i;
        }
    }
    const bool forward = inner.Area < 0.0;
    for (std::size_t step = 0; step < n; ++step) {
        const std::size_t i = forward ? (start + step) % n : (start + n - step) % n;
        switch (LocatePoint(ring[i], points.data() + outer.Begin, outer.Size())) {
            case TLocation::Inside:
                return true;
            case TLocation::Outside:
                return false;
            case TLocation::OnBoundary:
                break;
        }
    }
    return false;
}

// Several rings: close each one, then orient it by how deeply it is nested: a ring inside
// an odd number of the other rings is a hole and runs counter-clockwise, every other ring
// runs clockwise. Rings of zero area keep their order and enclose nothing.
void NormalizeSeveralRings(TSFPolygon& polygon) {
    if (!HasConsistentParts(polygon)) {
        return;
    }
    std::vector<TRing> rings = RingsOf(polygon);
    if (!CloseRings(polygon, rings)) {
        return;
    }
    for (TRing& ring : rings) {
        ring.Box = BoxOf(polygon.Points.data() + ring.Begin, ring.Size());
        ring.Area = PointsSignedArea(polygon.Points.data() + ring.Begin, ring.Size());
    }
    std::vector<bool> reverse(rings.size(), false);
    for (std::size_t i = 0; i < rings.size(); ++i) {
        if (rings[i].Area == 0.0) {
            continue;
        }
        std::size_t depth = 0;
        for (std::size_t j = 0; j < rings.size(); ++j) {
            if (j != i && rings[j].Area != 0.0 && BoxWithin(rings[i].Box, rings[j].Box) &&
                RingInside(polygon.Points, rings[i], rings[j])) {
                ++depth;
            }
        }
        const bool hole = depth % 2 == 1;
        const bool counterClockwise = rings[i].Area > 0.0;
        reverse[i] = hole != counterClockwise;
    }
    // Reversing waits until every depth is known: the walk order in RingInside follows the
    // orientation each ring had when its area was taken.
    for (std::size_t i = 0; i < rings.size(); ++i) {
        if (reverse[i]) {
            std::reverse(polygon.Points.begin() + static_cast<std::ptrdiff_t>(rings[i].Begin),
                         polygon.Points.begin() + static_cast<std::ptrdiff_t>(rings[i].End));
        }
    }
}

}  // namespace

double RingSignedArea(std::span<const double> xs, std::span<const double> ys) noexcept {
    if (xs.size() != ys.size()) {
        return 0.0;
    }
    return ShoelaceArea(
        xs.size(), [xs](std::size_t i) { return xs[i]; }, [ys](std::size_t i) { return ys[i]; });
}

void NormalizePolygonRing(TSFPolygon& polygon) {
    if (polygon.NumParts > 1) {
        NormalizeSeveralRings(polygon);
    } else {
        NormalizeSingleRing(polygon);
    }
}

}  // namespace varnelo

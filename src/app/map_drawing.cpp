// SPDX-License-Identifier: MIT
#include "app/map_drawing.hpp"

#include <cmath>
#include <cstdint>

#include "app/map_style.hpp"
#include "shape/errors.hpp"
#include "shape/shp_writer.hpp"

namespace varnelo {
namespace {

// How many records pass between two looks at the stop flag.
constexpr int kStopCheckRecords = 1024;
// Pixels beyond which a coordinate is held: far outside any view, yet well inside what the
// drawing toolkit computes with.
constexpr double kFarPixels = 1e12;

bool Overlaps(const TShpBox& a, const TShpBox& b) noexcept {
    return a.Xmin <= b.Xmax && a.Xmax >= b.Xmin && a.Ymin <= b.Ymax && a.Ymax >= b.Ymin;
}

TShpBox Grown(const TShpBox& box, double by) noexcept {
    return {box.Xmin - by, box.Ymin - by, box.Xmax + by, box.Ymax + by};
}

// The pixel a coordinate within ±kFarPixels falls on; a cast is much quicker than floor().
std::int64_t PixelOf(double v) noexcept {
    const auto i = static_cast<std::int64_t>(v);
    return i - (v < static_cast<double>(i) ? 1 : 0);
}

// Which pixels of the view already hold a dot.
class TDotMask {
  public:
    TDotMask(int width, int height)
        : width_(width), bits_((static_cast<std::size_t>(width) * height + 63) / 64) {}
    // Marks the pixel; true when it was free.
    bool Take(int x, int y) noexcept {
        const std::size_t bit = static_cast<std::size_t>(y) * width_ + static_cast<std::size_t>(x);
        std::uint64_t& word = bits_[bit / 64];
        const std::uint64_t mask = std::uint64_t{1} << (bit % 64);
        const bool free = (word & mask) == 0;
        word |= mask;
        return free;
    }

  private:
    std::size_t width_;
    std::vector<std::uint64_t> bits_;
};

double SquaredDistanceToSegment(const TShpPoint& p, const TShpPoint& a, const TShpPoint& b) {
    const double dx = b.X - a.X;
    const double dy = b.Y - a.Y;
    const double length2 = dx * dx + dy * dy;
    double t = length2 > 0 ? ((p.X - a.X) * dx + (p.Y - a.Y) * dy) / length2 : 0.0;
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    const double ex = a.X + t * dx - p.X;
    const double ey = a.Y + t * dy - p.Y;
    return ex * ex + ey * ey;
}

bool PartIsNear(std::span<const TShpPoint> part, const TShpPoint& at, double tolerance) {
    const double limit = tolerance * tolerance;
    if (part.size() == 1) {
        return SquaredDistanceToSegment(at, part[0], part[0]) <= limit;
    }
    for (std::size_t i = 1; i < part.size(); ++i) {
        if (SquaredDistanceToSegment(at, part[i - 1], part[i]) <= limit) {
            return true;
        }
    }
    return false;
}

// Even-odd rule over all rings: inside when a ray from `at` crosses the edges an odd number
// of times, so a point in a hole is outside whichever way the rings turn. A ring is taken
// as closed whether or not its last point repeats the first.
bool RingsContain(const TShape& shape, const TShpPoint& at) {
    bool inside = false;
    for (std::size_t k = 0; k < shape.Parts.size(); ++k) {
        const std::span<const TShpPoint> ring = shape.Part(k);
        for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
            const TShpPoint& a = ring[i];
            const TShpPoint& b = ring[j];
            if ((a.Y > at.Y) != (b.Y > at.Y) &&
                at.X < (b.X - a.X) * (at.Y - a.Y) / (b.Y - a.Y) + a.X) {
                inside = !inside;
            }
        }
    }
    return inside;
}

}  // namespace

void ToScreenShape(const TShape& shape, const TMapTransform& transform, TScreenShape& out) {
    out.Points.clear();
    out.PartEnds.clear();
    for (std::size_t k = 0; k < shape.Parts.size(); ++k) {
        const std::size_t begin = out.Points.size();
        const std::span<const TShpPoint> part = shape.Part(k);
        std::int64_t lastX = 0;
        std::int64_t lastY = 0;
        for (std::size_t i = 0; i < part.size(); ++i) {
            TScreenPoint s = transform.ToScreen(part[i]);
            if (!std::isfinite(s.X) || !std::isfinite(s.Y)) {
                continue;
            }
            s.X = std::fmin(std::fmax(s.X, -kFarPixels), kFarPixels);
            s.Y = std::fmin(std::fmax(s.Y, -kFarPixels), kFarPixels);
            const std::int64_t x = PixelOf(s.X);
            const std::int64_t y = PixelOf(s.Y);
            if (out.Points.size() > begin && x == lastX && y == lastY) {
                if (i + 1 == part.size()) {
                    out.Points.back() = s;  // the part still ends where it ends
                }
                continue;
            }
            out.Points.push_back(s);
            lastX = x;
            lastY = y;
        }
        if (out.Points.size() - begin < 2) {
            out.Points.resize(begin);
        } else {
            out.PartEnds.push_back(out.Points.size());
        }
    }
}

TDrawResult DrawShapes(TShapefileReader& reader, const TMapTransform& transform, int width,
                       int height, IMapCanvas& canvas, const std::atomic<bool>& stop,
                       double ratio) {
    TDrawResult result;
    const int pointPixels = SymbolDevicePixels(kPointSymbolPixels, ratio);
    const int dotPixels = SymbolDevicePixels(kDotPixels, ratio);
    if (width <= 0 || height <= 0) {
        result.Finished = true;
        return result;
    }
    const TShpBox visible = transform.VisibleBox(width, height);
    TDotMask dots(width, height);
    TShape shape;
    TScreenShape screen;
    const int count = reader.RecordCount();
    for (int index = 0; index < count; ++index) {
        if (index % kStopCheckRecords == 0 && stop.load(std::memory_order_relaxed)) {
            return result;
        }
        try {
            reader.ReadShape(index, shape);
        } catch (const Exception& error) {
            if (result.Unreadable++ == 0) {
                result.FirstError = error.what();
            }
            continue;
        }
        if (shape.IsNull() || !Overlaps(shape.Box, visible)) {
            continue;
        }
        ++result.Drawn;
        const TScreenPoint a = transform.ToScreen({shape.Box.Xmin, shape.Box.Ymax});
        const TScreenPoint b = transform.ToScreen({shape.Box.Xmax, shape.Box.Ymin});
        if (shape.ShapeType == kShapeTypePoint || (b.X - a.X < 1.0 && b.Y - a.Y < 1.0)) {
            const double x = (a.X + b.X) / 2;
            const double y = (a.Y + b.Y) / 2;
            if (x >= 0 && x < width && y >= 0 && y < height &&
                dots.Take(static_cast<int>(x), static_cast<int>(y))) {
                canvas.Dot(static_cast<int>(x), static_cast<int>(y),
                           shape.ShapeType == kShapeTypePoint ? pointPixels : dotPixels);
            }
            continue;
        }
        ToScreenShape(shape, transform, screen);
        if (shape.ShapeType == kShapeTypePolygon) {
            if (!screen.PartEnds.empty()) {
                canvas.Polygon(screen.Points, screen.PartEnds);
            }
            continue;
        }
        std::size_t begin = 0;
        for (const std::size_t end : screen.PartEnds) {
            canvas.Line(std::span<const TScreenPoint>(screen.Points).subspan(begin, end - begin));
            begin = end;
        }
    }
    result.Finished = true;
    return result;
}

bool ShapeIsAt(const TShape& shape, const TShpPoint& at, double tolerance) {
    if (shape.IsNull() || !Overlaps(Grown(shape.Box, tolerance), {at.X, at.Y, at.X, at.Y})) {
        return false;
    }
    if (shape.ShapeType == kShapeTypePoint) {
        return PartIsNear(shape.Points, at, tolerance);
    }
    if (shape.ShapeType == kShapeTypePolygon && RingsContain(shape, at)) {
        return true;
    }
    for (std::size_t k = 0; k < shape.Parts.size(); ++k) {
        if (PartIsNear(shape.Part(k), at, tolerance)) {
            return true;
        }
    }
    return false;
}

std::optional<int> FindShapeAt(TShapefileReader& reader, const TShpPoint& at, double tolerance,
                               const std::atomic<bool>& stop) {
    std::optional<int> found;
    TShape shape;
    const int count = reader.RecordCount();
    for (int index = 0; index < count; ++index) {
        if (index % kStopCheckRecords == 0 && stop.load(std::memory_order_relaxed)) {
            return std::nullopt;
        }
        try {
            reader.ReadShape(index, shape);
        } catch (const Exception&) {
            continue;  // a damaged record is never drawn, so it is never at any place
        }
        if (ShapeIsAt(shape, at, tolerance)) {
            found = index;
        }
    }
    return found;
}

}  // namespace varnelo

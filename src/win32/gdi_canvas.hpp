// SPDX-License-Identifier: MIT
// The map's pictures with GDI: a 32-bit picture in memory that lines are drawn into with GDI
// pens, dots written straight into its pixels, and polygons filled see-through by the
// even-odd rule (GDI fills the polygon's pixels into a mask, which are then blended), so that
// overlaps and holes show.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "app/map_drawing.hpp"
#include "app/map_renderer.hpp"
#include "app/map_style.hpp"
#include "win32/handles.hpp"

namespace varnelo::win32 {

// A picture of `width` × `height` pixels that GDI draws into, its pixels at hand.
class TDibSurface {
  public:
    TDibSurface(int width, int height);
    ~TDibSurface();
    TDibSurface(const TDibSurface&) = delete;
    TDibSurface& operator=(const TDibSurface&) = delete;

    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }
    HDC Dc() const noexcept { return dc_.get(); }
    HBITMAP Bitmap() const noexcept { return bitmap_.get(); }

    void Fill(const TRgba& colour);
    // A symbol `pixels` across around (x, y) (see InSymbol), as far as it lies in the picture.
    void Dot(int x, int y, int pixels, const TRgba& colour);
    // Lines through the points with a pen of `width` pixels.
    void Line(std::span<const TScreenPoint> points, const TRgba& colour, int width);
    // Rings filled by the even-odd rule with `fill` blended by its opacity, then outlined.
    void Polygon(std::span<const TScreenPoint> points, std::span<const std::size_t> ringEnds,
                 const TRgba& fill, const TRgba& outline, int outlineWidth);
    // A circle of `radius` pixels around (x, y).
    void Circle(double x, double y, double radius, const TRgba& colour, int width);

  private:
    const std::vector<POINT>& Points(std::span<const TScreenPoint> points);
    HPEN PenOf(const TRgba& colour, int width);

    int width_;
    int height_;
    TMemoryDc dc_;
    TBitmap bitmap_;
    std::uint32_t* pixels_ = nullptr;  // top-down rows of blue, green, red, unused
    HGDIOBJ oldBitmap_ = nullptr;
    std::unique_ptr<TDibSurface> mask_;  // the polygons' pixels, made when first needed
    std::vector<POINT> points_;
    std::vector<INT> counts_;
    TPen pen_;
    COLORREF penColour_ = 0;
    int penWidth_ = -1;
};

// The canvas the map's worker draws a picture into, in the colours of the shape type, on the
// map's background.
class TGdiCanvas final : public IMapCanvas {
  public:
    TGdiCanvas(const TDrawJob& job, std::int32_t shapeType);

    void Dot(int x, int y, int pixels) override;
    void Line(std::span<const TScreenPoint> points) override;
    void Polygon(std::span<const TScreenPoint> points,
                 std::span<const std::size_t> ringEnds) override;

    // Ends the drawing and hands the picture over.
    std::unique_ptr<TDibSurface> TakePicture() { return std::move(surface_); }

  private:
    std::unique_ptr<TDibSurface> surface_;
    TMapStyle style_;
};

}  // namespace varnelo::win32

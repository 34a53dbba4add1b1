// SPDX-License-Identifier: MIT
#include "win32/gdi_canvas.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace varnelo::win32 {
namespace {

// GDI draws coordinates of up to 27 bits; a vertex far outside the view is held there.
constexpr double kFarthest = 1 << 26;

int Coordinate(double value) {
    return static_cast<int>(std::lround(std::clamp(value, -kFarthest, kFarthest)));
}

COLORREF ColourOf(const TRgba& c) {
    return RGB(c.R, c.G, c.B);
}

std::uint32_t PixelOf(const TRgba& c) {
    return (static_cast<std::uint32_t>(c.R) << 16) | (static_cast<std::uint32_t>(c.G) << 8) | c.B;
}

std::uint32_t Blend(std::uint32_t under, const TRgba& over) {
    const auto mix = [&](int shift, std::uint8_t top) {
        const int bottom = static_cast<int>((under >> shift) & 0xFF);
        return static_cast<std::uint32_t>(bottom + (top - bottom) * over.A / 255) << shift;
    };
    return mix(16, over.R) | mix(8, over.G) | mix(0, over.B);
}

}  // namespace

TDibSurface::TDibSurface(int width, int height)
    : width_(std::max(width, 1)), height_(std::max(height, 1)), dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dc_ || !bitmap_ || bits == nullptr) {
        throw std::runtime_error("no memory for the map's picture");
    }
    pixels_ = static_cast<std::uint32_t*>(bits);
    oldBitmap_ = SelectObject(dc_.get(), bitmap_.get());
    SetPolyFillMode(dc_.get(), ALTERNATE);  // the even-odd rule
}

TDibSurface::~TDibSurface() {
    // The picture and the pen go free only once the device context lets go of them.
    SelectObject(dc_.get(), oldBitmap_);
    SelectObject(dc_.get(), GetStockObject(BLACK_PEN));
}

void TDibSurface::Fill(const TRgba& colour) {
    GdiFlush();
    std::fill_n(pixels_, static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_),
                PixelOf(colour));
}

void TDibSurface::Dot(int x, int y, int pixels, const TRgba& colour) {
    GdiFlush();
    const std::uint32_t pixel = PixelOf(colour);
    const int radius = pixels / 2;
    for (int row = std::max(y - radius, 0); row <= std::min(y + radius, height_ - 1); ++row) {
        std::uint32_t* line =
            pixels_ + static_cast<std::size_t>(row) * static_cast<std::size_t>(width_);
        for (int column = std::max(x - radius, 0); column <= std::min(x + radius, width_ - 1);
             ++column) {
            if (InSymbol(column - x, row - y, pixels)) {
                line[column] = pixel;
            }
        }
    }
}

const std::vector<POINT>& TDibSurface::Points(std::span<const TScreenPoint> points) {
    points_.clear();
    for (const TScreenPoint& p : points) {
        points_.push_back(POINT{Coordinate(p.X), Coordinate(p.Y)});
    }
    return points_;
}

HPEN TDibSurface::PenOf(const TRgba& colour, int width) {
    if (!pen_ || penColour_ != ColourOf(colour) || penWidth_ != width) {
        SelectObject(dc_.get(), GetStockObject(BLACK_PEN));
        LOGBRUSH brush{BS_SOLID, ColourOf(colour), 0};
        pen_.reset(ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND,
                                static_cast<DWORD>(std::max(width, 1)), &brush, 0, nullptr));
        penColour_ = ColourOf(colour);
        penWidth_ = width;
    }
    return pen_.get();
}

void TDibSurface::Line(std::span<const TScreenPoint> points, const TRgba& colour, int width) {
    const std::vector<POINT>& p = Points(points);
    SelectObject(dc_.get(), PenOf(colour, width));
    Polyline(dc_.get(), p.data(), static_cast<int>(p.size()));
}

void TDibSurface::Polygon(std::span<const TScreenPoint> points,
                          std::span<const std::size_t> ringEnds, const TRgba& fill,
                          const TRgba& outline, int outlineWidth) {
    const std::vector<POINT>& p = Points(points);
    counts_.clear();
    std::size_t begin = 0;
    for (const std::size_t end : ringEnds) {
        counts_.push_back(static_cast<INT>(end - begin));
        begin = end;
    }
    if (fill.A > 0 && !p.empty()) {
        // The pixels GDI fills, in a mask, blended into the picture by the fill's opacity.
        RECT box{width_, height_, 0, 0};
        for (const POINT& q : p) {
            box.left = std::min<LONG>(box.left, q.x);
            box.top = std::min<LONG>(box.top, q.y);
            box.right = std::max<LONG>(box.right, q.x + 1);
            box.bottom = std::max<LONG>(box.bottom, q.y + 1);
        }
        box.left = std::max<LONG>(box.left, 0);
        box.top = std::max<LONG>(box.top, 0);
        box.right = std::min<LONG>(box.right, width_);
        box.bottom = std::min<LONG>(box.bottom, height_);
        if (box.left < box.right && box.top < box.bottom) {
            if (!mask_) {
                mask_ = std::make_unique<TDibSurface>(width_, height_);
                mask_->Fill(TRgba{0, 0, 0, 255});
            }
            HDC mask = mask_->Dc();
            SelectObject(mask, GetStockObject(NULL_PEN));
            SelectObject(mask, GetStockObject(WHITE_BRUSH));
            PolyPolygon(mask, p.data(), counts_.data(), static_cast<int>(counts_.size()));
            GdiFlush();
            for (LONG y = box.top; y < box.bottom; ++y) {
                const std::size_t row =
                    static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
                std::uint32_t* marks = mask_->pixels_ + row;
                std::uint32_t* picture = pixels_ + row;
                for (LONG x = box.left; x < box.right; ++x) {
                    if (marks[x] != 0) {
                        picture[x] = Blend(picture[x], fill);
                        marks[x] = 0;
                    }
                }
            }
        }
    }
    SelectObject(dc_.get(), PenOf(outline, outlineWidth));
    SelectObject(dc_.get(), GetStockObject(NULL_BRUSH));
    PolyPolygon(dc_.get(), p.data(), counts_.data(), static_cast<int>(counts_.size()));
}

void TDibSurface::Circle(double x, double y, double radius, const TRgba& colour, int width) {
    SelectObject(dc_.get(), PenOf(colour, width));
    SelectObject(dc_.get(), GetStockObject(NULL_BRUSH));
    Ellipse(dc_.get(), Coordinate(x - radius), Coordinate(y - radius), Coordinate(x + radius),
            Coordinate(y + radius));
}

TGdiCanvas::TGdiCanvas(const TDrawJob& job, std::int32_t shapeType)
    : surface_(std::make_unique<TDibSurface>(job.DeviceWidth(), job.DeviceHeight())),
      style_(MapStyle(shapeType)) {
    surface_->Fill(kMapBackground);
}

void TGdiCanvas::Dot(int x, int y, int pixels) {
    surface_->Dot(x, y, pixels, style_.Dot);
}

void TGdiCanvas::Line(std::span<const TScreenPoint> points) {
    surface_->Line(points, style_.Outline, 1);
}

void TGdiCanvas::Polygon(std::span<const TScreenPoint> points,
                         std::span<const std::size_t> ringEnds) {
    surface_->Polygon(points, ringEnds, style_.Fill, style_.Outline, 1);
}

}  // namespace varnelo::win32

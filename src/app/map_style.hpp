// SPDX-License-Identifier: MIT
// How the map looks and answers the mouse, the same in every window: the colours of the shapes
// by their type and of the selected record's shape, and the distances and delays of clicking,
// zooming and drawing.
#pragma once

#include <cmath>
#include <cstdint>
#include <string_view>

#include "shape/shp_writer.hpp"

namespace varnelo {

// A colour with its opacity, 255 opaque.
struct TRgba {
    std::uint8_t R = 0;
    std::uint8_t G = 0;
    std::uint8_t B = 0;
    std::uint8_t A = 255;
};

struct TMapStyle {
    TRgba Fill;     // polygons' insides, see-through so that overlaps and holes show
    TRgba Outline;  // polygons' edges and lines
    TRgba Dot;      // points, and shapes too small to show their form
};

inline constexpr TMapStyle MapStyle(std::int32_t shapeType) {
    constexpr TRgba blue{38, 84, 140, 255};
    constexpr TRgba lineBlue{30, 90, 170, 255};
    constexpr TRgba red{190, 40, 40, 255};
    constexpr TRgba none{0, 0, 0, 0};
    return shapeType == kShapeTypePolygon    ? TMapStyle{{70, 130, 180, 80}, blue, blue}
           : shapeType == kShapeTypePolyLine ? TMapStyle{none, lineBlue, lineBlue}
                                             : TMapStyle{none, red, red};
}

inline constexpr TRgba kMapBackground{252, 252, 248, 255};
inline constexpr TRgba kHighlightLine{255, 120, 0, 255};
inline constexpr TRgba kHighlightFill{255, 140, 0, 110};
inline constexpr double kHighlightLineWidth = 2.5;

// A point is drawn as a round symbol this many view pixels across, centred on its place; a
// shape too small to show its form as a dot of kDotPixels.
inline constexpr int kPointSymbolPixels = 7;
inline constexpr int kDotPixels = 3;
// The device pixels across a symbol of `pixels` view pixels at `ratio` device pixels a view
// pixel: an odd number, so that the symbol has a centre pixel.
inline int SymbolDevicePixels(int pixels, double ratio) {
    return static_cast<int>(std::lround(pixels * ratio)) | 1;
}
// Whether the pixel (dx, dy) from a symbol's centre pixel belongs to a round symbol `pixels`
// across; a symbol of 3 pixels is a full square.
inline constexpr bool InSymbol(int dx, int dy, int pixels) {
    const int radius = pixels / 2;
    return dx * dx + dy * dy <= radius * radius + radius;
}

// How near a click must come to a line or point, in pixels: anywhere on a point's symbol.
inline constexpr double kClickTolerance = 4.0;
static_assert(kClickTolerance >= kPointSymbolPixels / 2.0);
// Each wheel step zooms by this factor.
inline constexpr double kWheelZoom = 1.25;
// How long wheel steps and resizing may pause before the map is drawn for them.
inline constexpr int kDrawDelayMs = 120;
// A drawing that takes longer than this says so on the map, with this text.
inline constexpr int kDrawingNoticeMs = 300;
inline constexpr std::string_view kDrawingText = "描画中…";
// A picture further off in scale than this says nothing about the view any more.
inline constexpr double kStalePictureZoom = 32.0;

}  // namespace varnelo

// SPDX-License-Identifier: MIT
// The colours of the map: the shapes by their type, and the shape of the selected record.
#pragma once

#include <QColor>
#include <cstdint>

#include "app/map_drawing.hpp"

namespace varnelo::gui {

struct TMapStyle {
    QColor Fill;     // polygons' insides, see-through so that overlaps and holes show
    QColor Outline;  // polygons' edges and lines
    QColor Dot;      // points, and shapes too small to show their form
};

inline TMapStyle MapStyle(std::int32_t shapeType) {
    const QColor blue(38, 84, 140);
    const TMapStyle polygons{QColor(70, 130, 180, 80), blue, blue};
    const TMapStyle lines{Qt::transparent, QColor(30, 90, 170), QColor(30, 90, 170)};
    const TMapStyle points{Qt::transparent, QColor(190, 40, 40), QColor(190, 40, 40)};
    return shapeType == kShapeTypePolygon    ? polygons
           : shapeType == kShapeTypePolyLine ? lines
                                             : points;
}

inline const QColor kMapBackground(252, 252, 248);
inline const QColor kHighlightLine(255, 120, 0);
inline const QColor kHighlightFill(255, 140, 0, 110);

}  // namespace varnelo::gui

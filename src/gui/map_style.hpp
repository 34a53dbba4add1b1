// SPDX-License-Identifier: MIT
// The map's colours (app/map_style.hpp) as Qt's.
#pragma once

#include <QColor>

#include "app/map_style.hpp"

namespace varnelo::gui {

inline QColor ToQColor(const TRgba& c) {
    return QColor(c.R, c.G, c.B, c.A);
}

}  // namespace varnelo::gui

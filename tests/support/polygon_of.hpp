// SPDX-License-Identifier: MIT
// A polygon from its rings, one part per ring, with the box of its points.
#pragma once

#include <cstdint>
#include <vector>

#include "shape/geometry.hpp"

namespace varnelo::testing {

inline TSFPolygon PolygonOf(const std::vector<std::vector<TShpPoint>>& rings) {
    TSFPolygon polygon;
    for (const auto& ring : rings) {
        polygon.Parts.push_back(static_cast<std::int32_t>(polygon.Points.size()));
        polygon.Points.insert(polygon.Points.end(), ring.begin(), ring.end());
    }
    polygon.NumParts = static_cast<std::int32_t>(polygon.Parts.size());
    polygon.NumPoints = static_cast<std::int32_t>(polygon.Points.size());
    CalcShapeBox(polygon);
    return polygon;
}

}  // namespace varnelo::testing

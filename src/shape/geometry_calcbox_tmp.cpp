// Stand-in for the bounding-box routine until the geometry unit is merged; delete then.
#include <algorithm>

#include "shape/geometry.hpp"

namespace varnelo {

void CalcShapeBox(TSFMultiPart& shape) noexcept {
    const auto count = std::min<std::size_t>(
        shape.Points.size(), static_cast<std::size_t>(std::max(shape.NumPoints, 0)));
    if (count == 0) {
        return;
    }
    TShpBox box{shape.Points[0].X, shape.Points[0].Y, shape.Points[0].X, shape.Points[0].Y};
    for (std::size_t i = 1; i < count; ++i) {
        box.Xmin = std::min(box.Xmin, shape.Points[i].X);
        box.Ymin = std::min(box.Ymin, shape.Points[i].Y);
        box.Xmax = std::max(box.Xmax, shape.Points[i].X);
        box.Ymax = std::max(box.Ymax, shape.Points[i].Y);
    }
    shape.Box = box;
}

}  // namespace varnelo

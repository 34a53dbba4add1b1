// SPDX-License-Identifier: MIT
// The map's picture: a Qt image that the drawing routines draw into, lines and polygons with a
// painter, dots straight into its pixels, as a point file may have hundreds of thousands of
// them in view.
#pragma once

#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <memory>
#include <vector>

#include "app/map_drawing.hpp"
#include "app/map_renderer.hpp"

namespace varnelo::gui {

class TImageCanvas final : public IMapCanvas {
  public:
    // A transparent picture of the job's size in device pixels, in the colours of the
    // shape type.
    TImageCanvas(const TDrawJob& job, std::int32_t shapeType);

    void Dot(int x, int y, int pixels) override;
    void Line(std::span<const TScreenPoint> points) override;
    void Polygon(std::span<const TScreenPoint> points,
                 std::span<const std::size_t> ringEnds) override;

    // Ends the drawing and hands the picture over.
    QImage TakeImage();

  private:
    const std::vector<QPointF>& Points(std::span<const TScreenPoint> points);

    QImage image_;
    uchar* bits_;  // taken before the painter starts, which never reallocates the picture
    qsizetype stride_;
    QRgb dot_;
    std::unique_ptr<QPainter> painter_;
    std::vector<QPointF> qpoints_;
    QPolygonF ring_;
};

}  // namespace varnelo::gui

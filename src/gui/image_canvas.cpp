// SPDX-License-Identifier: MIT
#include "gui/image_canvas.hpp"

#include <QPainterPath>
#include <algorithm>

#include "gui/map_style.hpp"

namespace varnelo::gui {

TImageCanvas::TImageCanvas(const TDrawJob& job, std::int32_t shapeType)
    : image_(QSize(job.DeviceWidth(), job.DeviceHeight()), QImage::Format_ARGB32_Premultiplied) {
    image_.setDevicePixelRatio(job.Ratio);
    image_.fill(Qt::transparent);
    bits_ = image_.bits();
    stride_ = image_.bytesPerLine();
    const TMapStyle style = MapStyle(shapeType);
    dot_ = ToQColor(style.Dot).rgba();
    painter_ = std::make_unique<QPainter>(&image_);
    painter_->setPen(QPen(ToQColor(style.Outline), 0));
    painter_->setBrush(ToQColor(style.Fill));
}

void TImageCanvas::Dot(int x, int y, int pixels) {
    const int width = image_.width();
    const int height = image_.height();
    const int radius = pixels / 2;
    for (int row = std::max(y - radius, 0); row <= std::min(y + radius, height - 1); ++row) {
        auto* line = reinterpret_cast<QRgb*>(bits_ + static_cast<qsizetype>(row) * stride_);
        for (int column = std::max(x - radius, 0); column <= std::min(x + radius, width - 1);
             ++column) {
            if (InSymbol(column - x, row - y, pixels)) {
                line[column] = dot_;
            }
        }
    }
}

void TImageCanvas::Line(std::span<const TScreenPoint> points) {
    painter_->drawPolyline(Points(points).data(), static_cast<int>(points.size()));
}

void TImageCanvas::Polygon(std::span<const TScreenPoint> points,
                           std::span<const std::size_t> ringEnds) {
    const std::vector<QPointF>& all = Points(points);
    if (ringEnds.size() == 1) {  // most polygons: the quicker way, without a path
        painter_->drawPolygon(all.data(), static_cast<int>(all.size()), Qt::OddEvenFill);
        return;
    }
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    std::size_t begin = 0;
    for (const std::size_t end : ringEnds) {
        ring_.resize(static_cast<qsizetype>(end - begin));
        std::copy(all.begin() + static_cast<std::ptrdiff_t>(begin),
                  all.begin() + static_cast<std::ptrdiff_t>(end), ring_.begin());
        path.addPolygon(ring_);  // much quicker than a lineTo for each point
        path.closeSubpath();
        begin = end;
    }
    painter_->drawPath(path);
}

QImage TImageCanvas::TakeImage() {
    painter_.reset();
    return std::move(image_);
}

const std::vector<QPointF>& TImageCanvas::Points(std::span<const TScreenPoint> points) {
    qpoints_.clear();
    for (const TScreenPoint& p : points) {
        qpoints_.emplace_back(p.X, p.Y);
    }
    return qpoints_;
}

}  // namespace varnelo::gui

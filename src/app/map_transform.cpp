// SPDX-License-Identifier: MIT
#include "app/map_transform.hpp"

#include <algorithm>
#include <cmath>

namespace varnelo {
namespace {

// Pixels left free around a fitted box.
constexpr double kFitMargin = 10.0;
// How far the scale may go from the fitted one: out to see the whole map small, in to about
// the precision of the coordinates.
constexpr double kMaxZoomOut = 1.0 / 64.0;
constexpr double kMaxZoomIn = 1e9;

bool IsUsable(const TShpBox& box) {
    return std::isfinite(box.Xmin) && std::isfinite(box.Ymin) && std::isfinite(box.Xmax) &&
           std::isfinite(box.Ymax) && box.Xmin <= box.Xmax && box.Ymin <= box.Ymax &&
           std::isfinite(box.Xmax - box.Xmin) && std::isfinite(box.Ymax - box.Ymin);
}

}  // namespace

void TMapTransform::Fit(const TShpBox& box, int width, int height) {
    TShpBox shown = IsUsable(box) ? box : TShpBox{-1.0, -1.0, 1.0, 1.0};
    if (shown.Xmax - shown.Xmin == 0.0 && shown.Ymax - shown.Ymin == 0.0) {
        shown = {shown.Xmin - 0.5, shown.Ymin - 0.5, shown.Xmax + 0.5, shown.Ymax + 0.5};
    }
    const double w = std::max(1.0, width - 2 * kFitMargin);
    const double h = std::max(1.0, height - 2 * kFitMargin);
    const double dx = shown.Xmax - shown.Xmin;
    const double dy = shown.Ymax - shown.Ymin;
    double scale = std::min(dx > 0 ? w / dx : HUGE_VAL, dy > 0 ? h / dy : HUGE_VAL);
    if (!std::isfinite(scale) || scale <= 0.0) {
        scale = 1.0;  // the extent is too small or too large to be shown as numbers
    }
    scale_ = scale;
    minScale_ = scale * kMaxZoomOut;
    maxScale_ = scale * kMaxZoomIn;
    CenterOn({shown.Xmin + dx / 2, shown.Ymin + dy / 2}, width, height);
}

void TMapTransform::ZoomAt(double factor, TScreenPoint at) {
    if (!(factor > 0.0) || !std::isfinite(factor)) {
        return;
    }
    const TShpPoint fixed = ToWorld(at);
    scale_ = std::clamp(scale_ * factor, minScale_, maxScale_);
    left_ = fixed.X - at.X / scale_;
    top_ = fixed.Y + at.Y / scale_;
}

void TMapTransform::PanBy(double dx, double dy) {
    left_ -= dx / scale_;
    top_ += dy / scale_;
}

void TMapTransform::CenterOn(const TShpPoint& point, int width, int height) {
    left_ = point.X - width / 2.0 / scale_;
    top_ = point.Y + height / 2.0 / scale_;
}

TShpBox TMapTransform::VisibleBox(int width, int height) const noexcept {
    const TShpPoint topLeft = ToWorld({0.0, 0.0});
    const TShpPoint bottomRight =
        ToWorld({static_cast<double>(width), static_cast<double>(height)});
    return {topLeft.X, bottomRight.Y, bottomRight.X, topLeft.Y};
}

TMapTransform TMapTransform::ForDevicePixels(double ratio) const noexcept {
    TMapTransform device = *this;
    device.scale_ *= ratio;
    device.minScale_ *= ratio;
    device.maxScale_ *= ratio;
    return device;
}

TMapTransform::TPlacement TMapTransform::PlacementOf(const TMapTransform& from) const noexcept {
    // A map point p is at (p - from.left) × from.scale there and (p - left) × scale here.
    return {scale_ / from.scale_, (from.left_ - left_) * scale_, (top_ - from.top_) * scale_};
}

}  // namespace varnelo

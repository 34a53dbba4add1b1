// SPDX-License-Identifier: MIT
// Where map coordinates land in a view of pixels: a scale and the map point at the view's
// top-left corner, with x growing to the right and y growing upwards on the map but
// downwards on the screen. Fitting, zooming about a point and panning keep the scale within
// limits around the fitted one, so no amount of wheel turning reaches a scale at which
// coordinates stop being finite.
#pragma once

#include "shape/geometry.hpp"

namespace varnelo {

// A position in the view, in pixels from its top-left corner.
struct TScreenPoint {
    double X = 0.0;
    double Y = 0.0;
};

class TMapTransform {
  public:
    // Shows `box` whole and centred in a view of `width` × `height` pixels, with a margin. A
    // box of no extent (a single point) shows one map unit around it; a box that is not
    // finite or not ordered, as a damaged header may give, shows the unit square.
    void Fit(const TShpBox& box, int width, int height);
    // Multiplies the scale by `factor` (above 1 zooms in), keeping the map point under `at`
    // where it is.
    void ZoomAt(double factor, TScreenPoint at);
    // Moves the map by (dx, dy) pixels, as a drag does.
    void PanBy(double dx, double dy);
    // Moves the map so that `point` lies in the middle of the view.
    void CenterOn(const TShpPoint& point, int width, int height);

    TScreenPoint ToScreen(const TShpPoint& p) const noexcept {
        return {(p.X - left_) * scale_, (top_ - p.Y) * scale_};
    }
    TShpPoint ToWorld(TScreenPoint s) const noexcept {
        return {left_ + s.X / scale_, top_ - s.Y / scale_};
    }
    // The part of the map a view of `width` × `height` pixels shows.
    TShpBox VisibleBox(int width, int height) const noexcept;
    // Pixels per map unit.
    double Scale() const noexcept { return scale_; }
    // The same transform for a picture of `ratio` device pixels per view pixel.
    TMapTransform ForDevicePixels(double ratio) const noexcept;

    // How a picture drawn with `from` lies in this transform: a pixel at s there is at
    // s × Scale + (DX, DY) here.
    struct TPlacement {
        double Scale = 1.0;
        double DX = 0.0;
        double DY = 0.0;
    };
    TPlacement PlacementOf(const TMapTransform& from) const noexcept;

  private:
    double scale_ = 1.0;  // pixels per map unit
    double left_ = 0.0;   // the map point at the view's top-left corner
    double top_ = 0.0;
    double minScale_ = 1e-300;
    double maxScale_ = 1e300;
};

}  // namespace varnelo

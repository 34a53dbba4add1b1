// SPDX-License-Identifier: MIT
#include "app/map_view_state.hpp"

#include <cmath>

#include "app/map_style.hpp"
#include "app/preview_logic.hpp"

namespace varnelo {
namespace {

// A shape smaller than this many pixels either way gets a ring, as a point does.
constexpr double kRingBelowPixels = 6.0;

}  // namespace

TMapViewState::TMapViewState(TShapefileLayer& layer) : layer_(layer) {}

void TMapViewState::SetSize(int width, int height, double ratio) {
    width_ = width;
    height_ = height;
    ratio_ = ratio;
}

void TMapViewState::FitAll() {
    transform_.Fit(layer_.Shapes().Box(), width_, height_);
    fitted_ = true;
}

void TMapViewState::DrawNow() {
    drawSoon_ = false;
    drawPending_ = true;
    drawingSince_ = TClock::now();
    worker_->Draw(TDrawJob{++drawId_, transform_, width_, height_, ratio_});
}

bool TMapViewState::Resized(int width, int height, double ratio) {
    SetSize(width, height, ratio);
    if (fitted_) {
        transform_.Fit(layer_.Shapes().Box(), width_, height_);
    }
    if (drawId_ == 0) {
        return true;  // the first picture at once; later sizes once resizing pauses
    }
    drawSoon_ = true;
    return false;
}

bool TMapViewState::Wheel(double steps, TScreenPoint at) {
    if (steps == 0) {
        return false;
    }
    transform_.ZoomAt(std::pow(kWheelZoom, steps), at);
    fitted_ = false;
    drawSoon_ = true;
    return true;
}

void TMapViewState::Press(TScreenPoint at) {
    pressedAt_ = at;
    lastDragAt_ = at;
    dragging_ = false;
}

bool TMapViewState::MoveTo(TScreenPoint at, bool buttonDown,
                           bool (*farEnough)(double dx, double dy)) {
    if (!pressedAt_ || !buttonDown) {
        return false;
    }
    if (!dragging_ && farEnough(at.X - pressedAt_->X, at.Y - pressedAt_->Y)) {
        dragging_ = true;
    }
    if (!dragging_) {
        return false;
    }
    transform_.PanBy(at.X - lastDragAt_.X, at.Y - lastDragAt_.Y);
    lastDragAt_ = at;
    fitted_ = false;
    return true;
}

TMapViewState::TRelease TMapViewState::Release() {
    if (!pressedAt_) {
        return TRelease::None;
    }
    const TScreenPoint at = *pressedAt_;
    const bool dragged = dragging_;
    pressedAt_.reset();
    dragging_ = false;
    if (dragged) {
        return TRelease::DragEnded;
    }
    FindAt(at);
    return TRelease::Clicked;
}

void TMapViewState::FindAt(TScreenPoint at) {
    worker_->FindAt(transform_.ToWorld(at), kClickTolerance * clickScale_ / transform_.Scale(),
                    ++ticket_);
}

bool TMapViewState::PictureArrived(int id, bool hasPicture, const TMapTransform& transform,
                                   const TDrawResult& result, std::optional<std::string>& problem) {
    if (hasPicture) {
        hasPicture_ = true;
        pictureTransform_ = transform;
    }
    if (id != drawId_) {
        return false;
    }
    lastResult_ = result;
    drawPending_ = false;
    problem = DrawingProblemText(lastResult_);
    return true;
}

std::optional<TMapTransform::TPlacement> TMapViewState::PicturePlacement() const {
    if (!hasPicture_) {
        return std::nullopt;
    }
    const TMapTransform::TPlacement place = transform_.PlacementOf(pictureTransform_);
    if (place.Scale < kStalePictureZoom && place.Scale > 1.0 / kStalePictureZoom) {
        return place;
    }
    return std::nullopt;
}

bool TMapViewState::SetHighlight(std::optional<int> row, bool bringIntoView,
                                 const std::function<void(const std::string& reason)>& problem) {
    highlight_ = TShape{};
    if (row) {
        try {
            layer_.Shapes().ReadShape(*row, highlight_);
        } catch (const std::exception& error) {
            problem(error.what());
        }
    }
    if (!bringIntoView || highlight_.IsNull()) {
        return false;
    }
    const TShpBox& box = highlight_.Box;
    const TShpPoint middle{box.Xmin + (box.Xmax - box.Xmin) / 2,
                           box.Ymin + (box.Ymax - box.Ymin) / 2};
    const TShpBox visible = transform_.VisibleBox(width_, height_);
    const bool inView = middle.X >= visible.Xmin && middle.X <= visible.Xmax &&
                        middle.Y >= visible.Ymin && middle.Y <= visible.Ymax;
    if (inView || !std::isfinite(middle.X) || !std::isfinite(middle.Y)) {
        return false;
    }
    transform_.CenterOn(middle, width_, height_);
    fitted_ = false;
    return true;
}

std::optional<TScreenPoint> TMapViewState::HighlightOnScreen(TScreenShape& screen) const {
    ToScreenShape(highlight_, transform_, screen);
    const TScreenPoint a = transform_.ToScreen({highlight_.Box.Xmin, highlight_.Box.Ymax});
    const TScreenPoint b = transform_.ToScreen({highlight_.Box.Xmax, highlight_.Box.Ymin});
    const bool tiny = b.X - a.X < kRingBelowPixels && b.Y - a.Y < kRingBelowPixels;
    if (highlight_.IsNull() || (highlight_.ShapeType != kShapeTypePoint && !tiny)) {
        return std::nullopt;
    }
    const TScreenPoint middle{(a.X + b.X) / 2, (a.Y + b.Y) / 2};
    if (!std::isfinite(middle.X) || !std::isfinite(middle.Y)) {
        return std::nullopt;
    }
    return middle;
}

bool TMapViewState::ShowsDrawingNotice() const {
    return drawPending_ && drawingSince_ &&
           TClock::now() - *drawingSince_ >= std::chrono::milliseconds(kDrawingNoticeMs);
}

}  // namespace varnelo

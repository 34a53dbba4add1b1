// SPDX-License-Identifier: MIT
// The map view's behaviour without its window: where the shapes lie in the view, whether the
// view still shows everything, which drawing and which click are the latest, dragging, which
// picture may stand in while the next one is drawn, and how the selected record's shape is
// marked. A window passes its events in, starts a timer when told to draw soon, and paints
// what this says; the pictures themselves are the window's.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/map_drawing.hpp"
#include "app/map_renderer.hpp"
#include "app/map_transform.hpp"
#include "app/shapefile_layer.hpp"

namespace varnelo {

class TMapViewState {
  public:
    // `layer` outlives this. The worker is started later, as it reports to the window.
    explicit TMapViewState(TShapefileLayer& layer);

    void Start(std::unique_ptr<IMapWorker> worker) { worker_ = std::move(worker); }
    // Ends the worker: nothing arrives after this.
    void Stop() { worker_.reset(); }
    bool Started() const noexcept { return worker_ != nullptr; }

    // The view's size in view pixels, and its device pixels per view pixel.
    void SetSize(int width, int height, double ratio);
    // Scales the click tolerance, for a view whose pixels are the monitor's.
    void SetClickScale(double scale) { clickScale_ = scale; }

    // Shows every shape, as the header's box gives them; the window draws then.
    void FitAll();
    // Sends the current view to the worker to be drawn.
    void DrawNow();
    // The view was resized: a fitted view fits again. True when the window is to draw at
    // once (the first picture), else it is to draw once resizing pauses.
    bool Resized(int width, int height, double ratio);
    // A wheel turn of `steps` notches at `at`; the window draws soon. False for no turn.
    bool Wheel(double steps, TScreenPoint at);

    // The left button pressed, the mouse moved (`farEnough` tells whether the move from the
    // pressed place starts a drag, by the window system's own distance) and released.
    void Press(TScreenPoint at);
    // True when the view moved and is to be painted again.
    bool MoveTo(TScreenPoint at, bool buttonDown, bool (*farEnough)(double dx, double dy));
    // A drag's end is to be drawn; a click has asked for the shape at the pressed place.
    enum class TRelease { None, DragEnded, Clicked };
    TRelease Release();
    bool Dragging() const noexcept { return dragging_; }
    std::optional<TScreenPoint> PressedAt() const noexcept { return pressedAt_; }

    // Asks the worker for the shape at a place in the view.
    void FindAt(TScreenPoint at);
    // Whether a found shape answers the latest click (a later one is on its way otherwise).
    bool IsLatestClick(int ticket) const noexcept { return ticket == ticket_; }

    // A picture arrived for drawing `id`, drawn with `transform` (`hasPicture`: a canvas came
    // with it, which replaces the window's picture). True when it is the latest drawing's;
    // its problem, if any, is then in `problem`.
    bool PictureArrived(int id, bool hasPicture, const TMapTransform& transform,
                        const TDrawResult& result, std::optional<std::string>& problem);
    // Where the window's picture lies in the view now; none when there is none, or when it
    // is too far off in scale to say anything about the view.
    std::optional<TMapTransform::TPlacement> PicturePlacement() const;

    // Reads row `row`'s shape for the highlight (none: no highlight; a reason it cannot be
    // read goes to `problem`). With `bringIntoView` a shape whose middle lies outside the view
    // has the view centred on it; true then, and the map is to be drawn again.
    bool SetHighlight(std::optional<int> row, bool bringIntoView,
                      const std::function<void(const std::string& reason)>& problem);
    const TShape& Highlight() const noexcept { return highlight_; }
    // The highlighted shape in view pixels, and the middle of the ring drawn around a point
    // or a shape too small to see (none when it needs none).
    std::optional<TScreenPoint> HighlightOnScreen(TScreenShape& screen) const;

    const TMapTransform& Transform() const noexcept { return transform_; }
    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }
    // True while the picture on screen is not the one for the current view.
    bool Drawing() const noexcept { return drawPending_ || drawSoon_; }
    // True once a drawing has taken long enough to say so on the map.
    bool ShowsDrawingNotice() const;
    // The last finished drawing's report.
    const TDrawResult& LastDrawing() const noexcept { return lastResult_; }

  private:
    using TClock = std::chrono::steady_clock;

    TShapefileLayer& layer_;
    TMapTransform transform_;
    int width_ = 1;
    int height_ = 1;
    double ratio_ = 1.0;
    double clickScale_ = 1.0;
    bool fitted_ = true;  // showing everything, as the view has not been moved since
    bool hasPicture_ = false;
    TMapTransform pictureTransform_;
    TDrawResult lastResult_;
    bool drawPending_ = true;  // from the start until the first picture arrives
    bool drawSoon_ = false;    // a drawing waits for wheel steps or resizing to pause
    int drawId_ = 0;
    std::optional<TClock::time_point> drawingSince_;
    TShape highlight_;
    std::optional<TScreenPoint> pressedAt_;
    TScreenPoint lastDragAt_;
    bool dragging_ = false;
    int ticket_ = 0;
    std::unique_ptr<IMapWorker> worker_;  // last: it ends before the rest goes
};

}  // namespace varnelo

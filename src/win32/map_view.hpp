// SPDX-License-Identifier: MIT
// The map of a shapefile as a child window: its shapes fitted to the view, moved by dragging,
// zoomed about the mouse with the wheel, and the shape of the selected record drawn on top,
// double buffered. Drawing happens on a worker (TMapRenderer) into a GDI picture; until it
// arrives, the previous one is shown moved and scaled to where it now belongs. A click asks
// which shape lies there.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "app/map_renderer.hpp"
#include "app/map_transform.hpp"
#include "app/shapefile_layer.hpp"
#include "win32/controls.hpp"
#include "win32/gdi_canvas.hpp"

namespace varnelo::win32 {

class TMapView {
  public:
    // `layer` outlives the map.
    TMapView(HWND parent, int id, TShapefileLayer& layer);
    ~TMapView();
    TMapView(const TMapView&) = delete;
    TMapView& operator=(const TMapView&) = delete;

    HWND Handle() const noexcept { return handle_; }
    // Shows every shape, as the header's box gives them.
    void FitAll();
    // Draws the shape of `row` highlighted (none: no highlight); with `bringIntoView` the map
    // moves to it when it lies outside the view.
    void SetHighlight(std::optional<int> row, bool bringIntoView);
    // Asks for the shape at a place in the view, as a click does.
    void FindAt(POINT at);

    const TMapTransform& Transform() const noexcept { return transform_; }
    // True while the picture on screen is not the one for the current view.
    bool Drawing() const noexcept { return drawPending_ || drawSoon_; }
    const TDrawResult& LastDrawing() const noexcept { return lastResult_; }

    // What the map tells its window.
    std::function<void(int row)> ShapeClicked;
    std::function<void()> NothingClicked;
    std::function<void(std::optional<TShpPoint> at)> PointerMoved;
    std::function<void(const std::string& message)> ReadProblem;

  private:
    template <typename Object>
    friend LRESULT CALLBACK ObjectWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    SIZE ClientSize() const;
    void RequestDrawing();
    void DrawSoon();
    void TakeArrivals();
    void Paint(HDC target);
    void PaintHighlight(TDibSurface& surface) const;
    void OnMouseMove(POINT at, WPARAM buttons);
    void OnButtonUp();

    HWND handle_ = nullptr;
    TShapefileLayer& layer_;
    TMapTransform transform_;
    bool fitted_ = true;  // showing everything, as the view has not been moved since
    std::unique_ptr<TDibSurface> picture_;
    TMapTransform pictureTransform_;
    std::unique_ptr<TDibSurface> back_;  // the double buffer
    TDrawResult lastResult_;
    bool drawPending_ = true;  // from the start until the first picture arrives
    bool drawSoon_ = false;    // a drawing waits for wheel steps or resizing to pause
    int drawId_ = 0;
    ULONGLONG drawingSince_ = 0;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    TFont font_;

    TShape highlight_;

    std::optional<POINT> pressedAt_;
    POINT lastDragAt_{};
    bool dragging_ = false;
    bool tracking_ = false;  // the mouse's leaving is asked for
    int ticket_ = 0;

    // What the worker hands over, taken on the window's thread.
    std::mutex arrivalsMutex_;
    std::deque<TMapPicture> pictures_;
    std::deque<std::pair<std::optional<int>, int>> finds_;

    std::unique_ptr<TMapRenderer> renderer_;  // last: its worker ends before the rest goes
};

}  // namespace varnelo::win32

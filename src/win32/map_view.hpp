// SPDX-License-Identifier: MIT
// The map of a shapefile as a child window: it passes its mouse, wheel and size to
// TMapViewState, which keeps the view and its rules, and paints, double buffered, the latest
// GDI picture where it now belongs with the selected record's shape on top.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "app/map_view_state.hpp"
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

    const TMapTransform& Transform() const noexcept { return state_.Transform(); }
    // True while the picture on screen is not the one for the current view.
    bool Drawing() const noexcept { return state_.Drawing(); }
    const TDrawResult& LastDrawing() const noexcept { return state_.LastDrawing(); }

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
    // Tells the state the view's size and the monitor's scale.
    void SyncSize();
    void RequestDrawing();
    void DrawSoon();
    void TakeArrivals();
    void Paint(HDC target);
    void PaintHighlight(TDibSurface& surface) const;
    void OnMouseMove(POINT at, WPARAM buttons);
    void OnButtonUp();

    HWND handle_ = nullptr;
    TMapViewState state_;
    std::unique_ptr<TDibSurface> picture_;
    std::unique_ptr<TDibSurface> back_;  // the double buffer
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    TFont font_;
    bool tracking_ = false;  // the mouse's leaving is asked for

    // What the worker hands over, taken on the window's thread.
    std::mutex arrivalsMutex_;
    std::deque<TMapPicture> pictures_;
    std::deque<std::pair<std::optional<int>, int>> finds_;
};

}  // namespace varnelo::win32

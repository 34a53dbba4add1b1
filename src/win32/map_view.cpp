// SPDX-License-Identifier: MIT
#include "win32/map_view.hpp"

#include <windowsx.h>

#include <cmath>

#include "app/map_style.hpp"
#include "app/preview_logic.hpp"

namespace varnelo::win32 {
namespace {

constexpr wchar_t kClassName[] = L"VarneloMap";
constexpr UINT kArrived = WM_APP + 10;
constexpr UINT_PTR kDrawTimer = 1;
constexpr UINT_PTR kNoticeTimer = 2;

}  // namespace

TMapView::TMapView(HWND parent, int id, TShapefileLayer& layer) : layer_(layer) {
    RegisterWindowClass(kClassName, ObjectWindowProc<TMapView>, nullptr,
                        LoadCursorW(nullptr, IDC_SIZEALL));
    CreateWindowExW(WS_EX_CLIENTEDGE, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0,
                    0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                    GetModuleHandleW(nullptr), this);
    if (handle_ == nullptr) {
        throw std::runtime_error("the map window cannot be created");
    }
    dpi_ = DpiOf(handle_);
    font_ = ProgramFont(dpi_);
    HWND window = handle_;
    renderer_ = std::make_unique<TMapRenderer>(
        layer.ShpPath(), layer.ShxPath(),
        [shapeType = layer.ShapeType()](const TDrawJob& job) {
            return std::make_unique<TGdiCanvas>(job, shapeType);
        },
        [this, window](TMapPicture picture) {
            {
                const std::lock_guard lock(arrivalsMutex_);
                pictures_.push_back(std::move(picture));
            }
            PostMessageW(window, kArrived, 0, 0);
        },
        [this, window](std::optional<int> index, int ticket) {
            {
                const std::lock_guard lock(arrivalsMutex_);
                finds_.emplace_back(index, ticket);
            }
            PostMessageW(window, kArrived, 0, 0);
        });
}

TMapView::~TMapView() {
    renderer_.reset();  // nothing arrives for a map on its way out
    if (handle_ != nullptr) {
        DestroyWindow(handle_);
    }
}

SIZE TMapView::ClientSize() const {
    RECT client{};
    GetClientRect(handle_, &client);
    return {std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1)};
}

void TMapView::FitAll() {
    const SIZE size = ClientSize();
    transform_.Fit(layer_.Shapes().Box(), size.cx, size.cy);
    fitted_ = true;
    RequestDrawing();
}

void TMapView::RequestDrawing() {
    KillTimer(handle_, kDrawTimer);
    drawSoon_ = false;
    drawPending_ = true;
    drawingSince_ = GetTickCount64();
    const SIZE size = ClientSize();
    renderer_->Draw(TDrawJob{++drawId_, transform_, size.cx, size.cy, 1.0});
    SetTimer(handle_, kNoticeTimer, kDrawingNoticeMs, nullptr);
    InvalidateRect(handle_, nullptr, FALSE);
}

void TMapView::DrawSoon() {
    drawSoon_ = true;
    SetTimer(handle_, kDrawTimer, kDrawDelayMs, nullptr);
}

void TMapView::TakeArrivals() {
    std::deque<TMapPicture> pictures;
    std::deque<std::pair<std::optional<int>, int>> finds;
    {
        const std::lock_guard lock(arrivalsMutex_);
        pictures.swap(pictures_);
        finds.swap(finds_);
    }
    for (TMapPicture& picture : pictures) {
        const bool latest = picture.Job.Id == drawId_;
        if (picture.Canvas) {
            picture_ = static_cast<TGdiCanvas&>(*picture.Canvas).TakePicture();
            pictureTransform_ = picture.Job.Transform;
        }
        if (latest) {
            lastResult_ = picture.Result;
            drawPending_ = false;
            if (const auto problem = DrawingProblemText(lastResult_); problem && ReadProblem) {
                ReadProblem(*problem);
            }
        }
        InvalidateRect(handle_, nullptr, FALSE);
    }
    for (const auto& [index, ticket] : finds) {
        if (ticket != ticket_) {
            continue;  // a later click is on its way
        }
        if (index && ShapeClicked) {
            ShapeClicked(*index);
        } else if (!index && NothingClicked) {
            NothingClicked();
        }
    }
}

void TMapView::SetHighlight(std::optional<int> row, bool bringIntoView) {
    const SIZE size = ClientSize();
    const auto problem = [this](const std::string& reason) {
        if (ReadProblem) {
            ReadProblem(reason);
        }
    };
    if (ReadHighlight(layer_, row, bringIntoView, transform_, size.cx, size.cy, highlight_,
                      problem)) {
        fitted_ = false;
        RequestDrawing();
    }
    InvalidateRect(handle_, nullptr, FALSE);
}

void TMapView::FindAt(POINT at) {
    const double tolerance = kClickTolerance * dpi_ / USER_DEFAULT_SCREEN_DPI;
    renderer_->FindAt(
        transform_.ToWorld(TScreenPoint{static_cast<double>(at.x), static_cast<double>(at.y)}),
        tolerance / transform_.Scale(), ++ticket_);
}

void TMapView::Paint(HDC target) {
    const SIZE size = ClientSize();
    if (!back_ || back_->Width() != size.cx || back_->Height() != size.cy) {
        back_ = std::make_unique<TDibSurface>(size.cx, size.cy);
    }
    back_->Fill(kMapBackground);
    if (picture_) {
        const TMapTransform::TPlacement place = transform_.PlacementOf(pictureTransform_);
        if (place.Scale < kStalePictureZoom && place.Scale > 1.0 / kStalePictureZoom) {
            SetStretchBltMode(back_->Dc(), COLORONCOLOR);
            StretchBlt(back_->Dc(), static_cast<int>(std::lround(place.DX)),
                       static_cast<int>(std::lround(place.DY)),
                       static_cast<int>(std::lround(picture_->Width() * place.Scale)),
                       static_cast<int>(std::lround(picture_->Height() * place.Scale)),
                       picture_->Dc(), 0, 0, picture_->Width(), picture_->Height(), SRCCOPY);
        }
    }
    PaintHighlight(*back_);
    if (drawPending_ && GetTickCount64() - drawingSince_ >= kDrawingNoticeMs) {
        const std::wstring text = ScreenText(kDrawingText);
        TSelected font(back_->Dc(), font_.get());
        SetBkMode(back_->Dc(), TRANSPARENT);
        SetTextColor(back_->Dc(), GetSysColor(COLOR_WINDOWTEXT));
        TextOutW(back_->Dc(), Scaled(8, dpi_), Scaled(6, dpi_), text.c_str(),
                 static_cast<int>(text.size()));
    }
    GdiFlush();
    BitBlt(target, 0, 0, size.cx, size.cy, back_->Dc(), 0, 0, SRCCOPY);
}

void TMapView::PaintHighlight(TDibSurface& surface) const {
    if (highlight_.IsNull()) {
        return;
    }
    const double scale = static_cast<double>(dpi_) / USER_DEFAULT_SCREEN_DPI;
    const int width = static_cast<int>(std::lround(kHighlightLineWidth * scale));
    TScreenShape screen;
    ToScreenShape(highlight_, transform_, screen);
    const TScreenPoint a = transform_.ToScreen({highlight_.Box.Xmin, highlight_.Box.Ymax});
    const TScreenPoint b = transform_.ToScreen({highlight_.Box.Xmax, highlight_.Box.Ymin});
    if (highlight_.ShapeType == kShapeTypePolygon && !screen.Points.empty()) {
        surface.Polygon(screen.Points, screen.PartEnds, kHighlightFill, kHighlightLine, width);
    } else if (highlight_.ShapeType == kShapeTypePolyLine) {
        std::size_t begin = 0;
        for (const std::size_t end : screen.PartEnds) {
            surface.Line(std::span(screen.Points).subspan(begin, end - begin), kHighlightLine,
                         static_cast<int>(std::lround(3 * scale)));
            begin = end;
        }
    }
    // A point, or a shape too small to see, gets a ring around it.
    if (highlight_.ShapeType == kShapeTypePoint || (b.X - a.X < 6 && b.Y - a.Y < 6)) {
        const double x = (a.X + b.X) / 2;
        const double y = (a.Y + b.Y) / 2;
        if (std::isfinite(x) && std::isfinite(y)) {
            surface.Circle(x, y, 7 * scale, kHighlightLine, width);
        }
    }
}

void TMapView::OnMouseMove(POINT at, WPARAM buttons) {
    if (!tracking_) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, handle_, 0};
        tracking_ = TrackMouseEvent(&track) != FALSE;
    }
    if (PointerMoved) {
        PointerMoved(
            transform_.ToWorld(TScreenPoint{static_cast<double>(at.x), static_cast<double>(at.y)}));
    }
    if (!pressedAt_ || (buttons & MK_LBUTTON) == 0) {
        return;
    }
    if (!dragging_ && (std::abs(at.x - pressedAt_->x) >= GetSystemMetrics(SM_CXDRAG) ||
                       std::abs(at.y - pressedAt_->y) >= GetSystemMetrics(SM_CYDRAG))) {
        dragging_ = true;
    }
    if (dragging_) {
        transform_.PanBy(at.x - lastDragAt_.x, at.y - lastDragAt_.y);
        lastDragAt_ = at;
        fitted_ = false;
        InvalidateRect(handle_, nullptr, FALSE);
    }
}

void TMapView::OnButtonUp() {
    if (!pressedAt_) {
        return;
    }
    ReleaseCapture();
    if (dragging_) {
        RequestDrawing();
    } else {
        FindAt(*pressedAt_);
    }
    pressedAt_.reset();
    dragging_ = false;
}

LRESULT TMapView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(handle_, &paint);
            Paint(dc);
            EndPaint(handle_, &paint);
            return 0;
        }
        case WM_SIZE:
            if (renderer_ == nullptr) {
                return 0;
            }
            if (fitted_) {
                const SIZE size = ClientSize();
                transform_.Fit(layer_.Shapes().Box(), size.cx, size.cy);
            }
            if (drawId_ == 0) {
                RequestDrawing();  // the first picture at once; later sizes once resizing pauses
            } else {
                DrawSoon();
            }
            return 0;
        case WM_TIMER:
            if (wParam == kDrawTimer) {
                RequestDrawing();
            } else {
                KillTimer(handle_, kNoticeTimer);
                InvalidateRect(handle_, nullptr, FALSE);
            }
            return 0;
        case kArrived:
            TakeArrivals();
            return 0;
        case WM_MOUSEWHEEL: {
            const double steps = GET_WHEEL_DELTA_WPARAM(wParam) / static_cast<double>(WHEEL_DELTA);
            if (steps != 0) {
                POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                ScreenToClient(handle_, &at);
                transform_.ZoomAt(
                    std::pow(kWheelZoom, steps),
                    TScreenPoint{static_cast<double>(at.x), static_cast<double>(at.y)});
                fitted_ = false;
                InvalidateRect(handle_, nullptr, FALSE);
                DrawSoon();
            }
            return 0;
        }
        case WM_LBUTTONDOWN:
            SetFocus(handle_);
            SetCapture(handle_);
            pressedAt_ = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            lastDragAt_ = *pressedAt_;
            dragging_ = false;
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, wParam);
            return 0;
        case WM_LBUTTONUP:
            OnButtonUp();
            return 0;
        case WM_MOUSELEAVE:
            tracking_ = false;
            if (PointerMoved) {
                PointerMoved(std::nullopt);
            }
            return 0;
        case WM_DPICHANGED_AFTERPARENT:
            dpi_ = DpiOf(handle_);
            font_ = ProgramFont(dpi_);
            return 0;
        case WM_DESTROY:
            renderer_.reset();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(handle_, message, wParam, lParam);
}

}  // namespace varnelo::win32

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

TMapView::TMapView(HWND parent, int id, TShapefileLayer& layer) : state_(layer) {
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
    state_.SetClickScale(static_cast<double>(dpi_) / USER_DEFAULT_SCREEN_DPI);
    state_.Start(std::make_unique<TMapRenderer>(
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
        }));
}

TMapView::~TMapView() {
    state_.Stop();  // nothing arrives for a map on its way out
    if (handle_ != nullptr) {
        DestroyWindow(handle_);
    }
}

SIZE TMapView::ClientSize() const {
    RECT client{};
    GetClientRect(handle_, &client);
    return {std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1)};
}

void TMapView::SyncSize() {
    const SIZE size = ClientSize();
    state_.SetSize(size.cx, size.cy, 1.0);
}

void TMapView::FitAll() {
    SyncSize();
    state_.FitAll();
    RequestDrawing();
}

void TMapView::RequestDrawing() {
    KillTimer(handle_, kDrawTimer);
    SyncSize();
    state_.DrawNow();
    SetTimer(handle_, kNoticeTimer, kDrawingNoticeMs, nullptr);
    InvalidateRect(handle_, nullptr, FALSE);
}

void TMapView::DrawSoon() {
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
        std::optional<std::string> problem;
        state_.PictureArrived(picture.Job.Id, picture.Canvas != nullptr, picture.Job.Transform,
                              picture.Result, problem);
        if (picture.Canvas) {
            picture_ = static_cast<TGdiCanvas&>(*picture.Canvas).TakePicture();
        }
        if (problem && ReadProblem) {
            ReadProblem(*problem);
        }
        InvalidateRect(handle_, nullptr, FALSE);
    }
    for (const auto& [index, ticket] : finds) {
        if (!state_.IsLatestClick(ticket)) {
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
    const auto problem = [this](const std::string& reason) {
        if (ReadProblem) {
            ReadProblem(reason);
        }
    };
    SyncSize();
    if (state_.SetHighlight(row, bringIntoView, problem)) {
        RequestDrawing();
    }
    InvalidateRect(handle_, nullptr, FALSE);
}

void TMapView::FindAt(POINT at) {
    state_.FindAt(TScreenPoint{static_cast<double>(at.x), static_cast<double>(at.y)});
}

void TMapView::Paint(HDC target) {
    const SIZE size = ClientSize();
    if (!back_ || back_->Width() != size.cx || back_->Height() != size.cy) {
        back_ = std::make_unique<TDibSurface>(size.cx, size.cy);
    }
    back_->Fill(kMapBackground);
    if (const auto place = state_.PicturePlacement(); place && picture_) {
        SetStretchBltMode(back_->Dc(), COLORONCOLOR);
        StretchBlt(back_->Dc(), static_cast<int>(std::lround(place->DX)),
                   static_cast<int>(std::lround(place->DY)),
                   static_cast<int>(std::lround(picture_->Width() * place->Scale)),
                   static_cast<int>(std::lround(picture_->Height() * place->Scale)), picture_->Dc(),
                   0, 0, picture_->Width(), picture_->Height(), SRCCOPY);
    }
    PaintHighlight(*back_);
    if (state_.ShowsDrawingNotice()) {
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
    const TShape& highlight = state_.Highlight();
    if (highlight.IsNull()) {
        return;
    }
    const double scale = static_cast<double>(dpi_) / USER_DEFAULT_SCREEN_DPI;
    const int width = static_cast<int>(std::lround(kHighlightLineWidth * scale));
    TScreenShape screen;
    const std::optional<TScreenPoint> ring = state_.HighlightOnScreen(screen);
    if (highlight.ShapeType == kShapeTypePolygon && !screen.Points.empty()) {
        surface.Polygon(screen.Points, screen.PartEnds, kHighlightFill, kHighlightLine, width);
    } else if (highlight.ShapeType == kShapeTypePolyLine) {
        std::size_t begin = 0;
        for (const std::size_t end : screen.PartEnds) {
            surface.Line(std::span(screen.Points).subspan(begin, end - begin), kHighlightLine,
                         static_cast<int>(std::lround(3 * scale)));
            begin = end;
        }
    }
    if (ring) {
        surface.Circle(ring->X, ring->Y, 7 * scale, kHighlightLine, width);
    }
}

void TMapView::OnMouseMove(POINT at, WPARAM buttons) {
    if (!tracking_) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, handle_, 0};
        tracking_ = TrackMouseEvent(&track) != FALSE;
    }
    const TScreenPoint where{static_cast<double>(at.x), static_cast<double>(at.y)};
    if (PointerMoved) {
        PointerMoved(state_.Transform().ToWorld(where));
    }
    const auto farEnough = [](double dx, double dy) {
        return std::abs(dx) >= GetSystemMetrics(SM_CXDRAG) ||
               std::abs(dy) >= GetSystemMetrics(SM_CYDRAG);
    };
    if (state_.MoveTo(where, (buttons & MK_LBUTTON) != 0, farEnough)) {
        InvalidateRect(handle_, nullptr, FALSE);
    }
}

void TMapView::OnButtonUp() {
    if (!state_.PressedAt()) {
        return;
    }
    ReleaseCapture();
    if (state_.Release() == TMapViewState::TRelease::DragEnded) {
        RequestDrawing();
    }
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
            if (!state_.Started()) {
                return 0;
            }
            if (const SIZE size = ClientSize(); state_.Resized(size.cx, size.cy, 1.0)) {
                RequestDrawing();
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
            POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ScreenToClient(handle_, &at);
            if (state_.Wheel(steps,
                             TScreenPoint{static_cast<double>(at.x), static_cast<double>(at.y)})) {
                InvalidateRect(handle_, nullptr, FALSE);
                DrawSoon();
            }
            return 0;
        }
        case WM_LBUTTONDOWN:
            SetFocus(handle_);
            SetCapture(handle_);
            state_.Press(TScreenPoint{static_cast<double>(GET_X_LPARAM(lParam)),
                                      static_cast<double>(GET_Y_LPARAM(lParam))});
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
            state_.SetClickScale(static_cast<double>(dpi_) / USER_DEFAULT_SCREEN_DPI);
            return 0;
        case WM_DESTROY:
            state_.Stop();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(handle_, message, wParam, lParam);
}

}  // namespace varnelo::win32

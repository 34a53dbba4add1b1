// SPDX-License-Identifier: MIT
// What every window of the program shares: text between the logic's UTF-8 and the screen's
// UTF-16, sizes scaled for a monitor's pixels per inch, the program's font, window classes
// whose procedure reaches a C++ object, child controls, and the message loop's handling of
// shortcuts and dialog keys.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "win32/handles.hpp"

namespace varnelo::win32 {

// The logic's text (UTF-8 bytes) for the screen, and back.
std::wstring ScreenText(std::string_view utf8);
std::string TextBytes(std::wstring_view text);
// A window's text as the logic's.
std::string WindowTextBytes(HWND window);
void SetWindowTextBytes(HWND window, std::string_view utf8);

// `pixels` at 96 pixels per inch, on a monitor of `dpi`.
inline int Scaled(int pixels, UINT dpi) {
    return MulDiv(pixels, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}
// The pixels per inch of the monitor a window is on.
UINT DpiOf(HWND window);

// "ＭＳ Ｐゴシック" at its 12-pixel height scaled for `dpi`, Shift-JIS character set.
TFont ProgramFont(UINT dpi);
// Gives a window and all its children the font.
void SetFontOfAll(HWND window, HFONT font);

// A window of class `className` whose messages go to `object->HandleMessage`: registers the
// class once, and keeps the object with the window from its first message to its last, after
// which the object's handle_ is null.
template <typename Object>
LRESULT CALLBACK ObjectWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* object = static_cast<Object*>(create->lpCreateParams);
        object->handle_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    }
    auto* object = reinterpret_cast<Object*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (object == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        // The last message: the object lets go of its handle, and an object that lives as
        // long as its window goes with it (WindowGone).
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
        object->handle_ = nullptr;
        if constexpr (requires { object->WindowGone(); }) {
            object->WindowGone();
        }
        return result;
    }
    return object->HandleMessage(message, wParam, lParam);
}

void RegisterWindowClass(const wchar_t* className, WNDPROC procedure, HBRUSH background,
                         HCURSOR cursor = nullptr);

// A child control with id `id`, its place set later.
HWND CreateChild(HWND parent, const wchar_t* className, std::wstring_view text, DWORD style,
                 DWORD exStyle, int id);

// The program's icons from its resources, at `size` × `size` pixels.
HICON LoadProgramIcon(int resourceId, int size);

// Hands a message of the loop to the shortcuts and the dialog keys of the top-level window
// it is for: true when they took it, so it is not to be dispatched.
bool PreTranslate(MSG& message);
// Lets a top-level window's shortcuts translate its messages (none: no more).
void SetAccelerators(HWND window, HACCEL table);
// Runs the message loop until WM_QUIT; its code.
int RunMessageLoop();
// Handles the messages waiting now, as the loop would.
void ProcessPendingMessages();

}  // namespace varnelo::win32

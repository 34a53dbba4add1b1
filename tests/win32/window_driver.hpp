// SPDX-License-Identifier: MIT
// Driving the Windows window in the test's own process by its messages: the boxes and dialogs
// it opens are noted and closed as soon as they show, and the message loop runs until what a
// test waits for has happened.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "win32/about_dialog.hpp"
#include "win32/controls.hpp"

namespace varnelo::testing {

// What a modal window showed before the test closed it.
struct TSeen {
    std::string Caption;
    std::string Text;
};

class TModalCloser {
  public:
    TModalCloser() {
        instance_ = this;
        timer_ = SetTimer(nullptr, 0, 10, &Tick);
    }
    ~TModalCloser() {
        KillTimer(nullptr, timer_);
        instance_ = nullptr;
    }
    TModalCloser(const TModalCloser&) = delete;
    TModalCloser& operator=(const TModalCloser&) = delete;

    // Runs the message loop until `count` windows were closed or 30 s have passed.
    void WaitFor(std::size_t count) {
        Until([&] { return Seen.size() >= count; });
    }

    std::vector<TSeen> Seen;

  private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        EnumThreadWindows(GetCurrentThreadId(), &Visit, 0);
    }
    static BOOL CALLBACK Visit(HWND window, LPARAM) {
        wchar_t className[16] = {};
        GetClassNameW(window, className, 16);
        if (instance_ == nullptr || std::wstring(className) != L"#32770" ||
            !IsWindowVisible(window) || !instance_->closed_.insert(window).second) {
            return TRUE;
        }
        // A message box's text is its static 0xFFFF; the about box's its version label.
        HWND text = GetDlgItem(window, 0xFFFF);
        if (text == nullptr) {
            text = GetDlgItem(window, win32::TdlgAbout::kVersion);
        }
        instance_->Seen.push_back(
            {win32::WindowTextBytes(window), text ? win32::WindowTextBytes(text) : std::string()});
        PostMessageW(window, WM_COMMAND, IDOK, 0);
        return TRUE;
    }

  public:
    // Runs the message loop until `done` or 30 s have passed.
    static void Until(const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done() && std::chrono::steady_clock::now() < end) {
            win32::ProcessPendingMessages();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }

  private:
    static inline TModalCloser* instance_ = nullptr;
    UINT_PTR timer_ = 0;
    std::set<HWND> closed_;
};

// The window's common controls, once per test program.
inline bool InitControls() {
    static const bool done = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        return InitCommonControlsEx(&controls) != FALSE;
    }();
    return done;
}

}  // namespace varnelo::testing

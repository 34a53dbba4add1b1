// SPDX-License-Identifier: MIT
// Runs the window's long work on a worker thread and hands tasks back to the user-interface
// thread with PostMessageW to a message-only window of its own, so that they run there in the
// order they were posted, and the end of the work after all of them.
#pragma once

#include <windows.h>

#include <functional>
#include <thread>

#include "app/main_view.hpp"

namespace varnelo::win32 {

class TThreadRunner final : public IWorkRunner {
  public:
    // Made on the user-interface thread, whose tasks it then runs.
    TThreadRunner();
    // Waits for the running work: the window never leaves a conversion half done.
    ~TThreadRunner() override;
    TThreadRunner(const TThreadRunner&) = delete;
    TThreadRunner& operator=(const TThreadRunner&) = delete;

    void Run(std::function<void()> work, std::function<void()> finished) override;
    void Post(std::function<void()> task) override;

    // Whether the caller runs on the user-interface thread.
    bool OnWindowThread() const noexcept { return GetCurrentThreadId() == threadId_; }
    // Runs `change` at once on the user-interface thread, or posts it there from another.
    void OnWindowThread(std::function<void()> change);
    // Returns once the running work, if any, has ended; its posted tasks stay queued.
    void Wait();

  private:
    static LRESULT CALLBACK TaskWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    DWORD threadId_;
    HWND window_ = nullptr;  // message-only
    std::thread worker_;
};

}  // namespace varnelo::win32

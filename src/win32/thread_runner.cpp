// SPDX-License-Identifier: MIT
#include "win32/thread_runner.hpp"

#include <memory>

namespace varnelo::win32 {
namespace {

constexpr wchar_t kClassName[] = L"VarneloTasks";
constexpr UINT kRunTask = WM_APP + 1;

using TTask = std::function<void()>;

}  // namespace

LRESULT CALLBACK TThreadRunner::TaskWindowProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message == kRunTask) {
        const std::unique_ptr<TTask> task(reinterpret_cast<TTask*>(lParam));
        (*task)();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TThreadRunner::TThreadRunner() : threadId_(GetCurrentThreadId()) {
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.lpfnWndProc = TaskWindowProc;
    c.hInstance = GetModuleHandleW(nullptr);
    c.lpszClassName = kClassName;
    RegisterClassExW(&c);  // fails harmlessly once registered
    window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
}

TThreadRunner::~TThreadRunner() {
    Wait();
    // Tasks still queued will never run: give back what they hold.
    MSG message;
    while (PeekMessageW(&message, window_, kRunTask, kRunTask, PM_REMOVE)) {
        delete reinterpret_cast<TTask*>(message.lParam);
    }
    DestroyWindow(window_);
}

void TThreadRunner::Wait() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

void TThreadRunner::Run(std::function<void()> work, std::function<void()> finished) {
    Wait();
    worker_ = std::thread([this, work = std::move(work), finished = std::move(finished)]() mutable {
        work();
        Post([this, finished = std::move(finished)] {
            Wait();  // the worker has posted its last task and is ending
            finished();
        });
    });
}

void TThreadRunner::Post(std::function<void()> task) {
    auto* posted = new TTask(std::move(task));
    if (!PostMessageW(window_, kRunTask, 0, reinterpret_cast<LPARAM>(posted))) {
        delete posted;
    }
}

void TThreadRunner::OnWindowThread(std::function<void()> change) {
    if (OnWindowThread()) {
        change();
    } else {
        Post(std::move(change));
    }
}

}  // namespace varnelo::win32

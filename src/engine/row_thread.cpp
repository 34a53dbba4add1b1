// SPDX-License-Identifier: MIT
#include "engine/row_thread.hpp"

#include <utility>

namespace varnelo {

TRowThread::TRowThread(IRowSteps& rows) : rows_(rows) {
    steps_.reserve(kStepsPerBatch);
    thread_ = std::thread([this] { WriteRows(); });
}

TRowThread::~TRowThread() {
    if (thread_.joinable()) {
        queue_.Abandon();
        thread_.join();
    }
}

void TRowThread::Send() {
    if (!queue_.Push(std::move(steps_))) {
        throw ERowSideStopped();
    }
    steps_ = {};
    steps_.reserve(kStepsPerBatch);
}

void TRowThread::End(bool objectsFailed, bool cancelled) noexcept {
    if (cancelled) {
        queue_.Abandon();
    } else {
        try {
            if (objectsFailed && !steps_.empty()) {
                queue_.Push(std::move(steps_));
            }
            queue_.Close();
        } catch (...) {
            queue_.Abandon();
        }
    }
    thread_.join();
}

// The rows' side: does the steps as they come until the objects' side is done.
void TRowThread::WriteRows() noexcept {
    std::vector<TRowStep> steps;
    const TRowStep* current = nullptr;
    try {
        while (queue_.Pop(steps)) {
            rows_.DoRowSteps(steps, current);
            current = nullptr;
        }
    } catch (...) {
        failure_ = std::current_exception();
        if (current != nullptr) {
            failedStep_ = *current;
        }
        queue_.Abandon();
    }
}

}  // namespace varnelo

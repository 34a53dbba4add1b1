// SPDX-License-Identifier: MIT
// Stopping on an interruption (Ctrl+C, a closed console or terminal, a termination request) at
// the work's next step, so that it cleans up after itself first.
#pragma once

#include <atomic>

namespace varnelo::os {

// While this object lives, an interruption only sets Flag(), which the work watches; a second
// one ends the program at once. One object at a time.
class TInterruptStop {
  public:
    TInterruptStop();
    ~TInterruptStop();
    TInterruptStop(const TInterruptStop&) = delete;
    TInterruptStop& operator=(const TInterruptStop&) = delete;

    static const std::atomic<bool>* Flag() noexcept;

    // Once the work has stopped: ends the program as the interruption would have ended it,
    // if there was one.
    void EndIfInterrupted() const;
};

}  // namespace varnelo::os

// SPDX-License-Identifier: MIT
// Ctrl+C, and a request to terminate, stop the tool's conversions at their next object: each
// then leaves its target's previous files and no temporary file behind, and the tool ends by
// the signal as it would have without this.
#pragma once

#include <array>
#include <atomic>
#include <csignal>

namespace varnelo::cli {

class TInterruptStop {
  public:
    TInterruptStop() {
        struct sigaction action {};
        action.sa_handler = &Stop;
        action.sa_flags = SA_RESETHAND;  // a second Ctrl+C ends the tool at once
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            // A signal ignored on start (nohup, a background job) stays ignored.
            ::sigaction(kSignals[i], nullptr, &previous_[i]);
            if (previous_[i].sa_handler != SIG_IGN) {
                ::sigaction(kSignals[i], &action, nullptr);
            }
        }
    }
    ~TInterruptStop() {
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            ::sigaction(kSignals[i], &previous_[i], nullptr);
        }
    }
    TInterruptStop(const TInterruptStop&) = delete;
    TInterruptStop& operator=(const TInterruptStop&) = delete;

    // The flag the conversions watch.
    static const std::atomic<bool>* Flag() { return &stop_; }

    // Once the conversions have stopped: ends the tool by the signal that stopped them, if any.
    void EndIfInterrupted() const {
        if (signal_ != 0) {
            std::signal(signal_, SIG_DFL);
            std::raise(signal_);
        }
    }

  private:
    static constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};

    static void Stop(int signal) {
        signal_ = signal;
        stop_.store(true);
    }

    std::array<struct sigaction, kSignals.size()> previous_{};
    static inline std::atomic<bool> stop_{false};
    static inline volatile std::sig_atomic_t signal_ = 0;
    static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
};

}  // namespace varnelo::cli

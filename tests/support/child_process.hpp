// SPDX-License-Identifier: MIT
// Runs a piece of a test in a forked child process: for limits that must not reach the test
// process (file size limits, a dropped identity) and for measuring the child's own peak
// memory. The body's int result becomes the exit code; an escaping exception gives 70.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <stdexcept>

namespace varnelo::testing {

struct TChildOutcome {
    int ExitCode = -1;  // when the child exited by itself
    int Signal = 0;     // when a signal ended it
    long PeakRssKb = 0;
    double Seconds = 0;

    bool Exited(int code) const { return Signal == 0 && ExitCode == code; }
};

inline constexpr int kChildThrew = 70;

inline TChildOutcome RunInChild(const std::function<int()>& body) {
    std::fflush(nullptr);  // nothing buffered may be written twice
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        int code = kChildThrew;
        try {
            code = body();
        } catch (...) {
        }
        std::fflush(nullptr);
        ::_exit(code);  // no exit handlers of the test process run twice
    }
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            throw std::runtime_error("wait4 failed");
        }
    }
    TChildOutcome outcome;
    outcome.Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.PeakRssKb = usage.ru_maxrss;
    if (WIFEXITED(status)) {
        outcome.ExitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        outcome.Signal = WTERMSIG(status);
    }
    return outcome;
}

}  // namespace varnelo::testing

// SPDX-License-Identifier: MIT
// Runs work in a child process and measures it there: wall time and the child's own peak
// resident memory, unaffected by whatever the measuring process holds or has held.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnelo::bench {

struct TChildMeasurement {
    double Seconds = 0;    // from just before the fork until the child is reaped
    double PeakRssMb = 0;  // the child's maximum resident set size, in MB of 10^6 bytes
    int ExitCode = -1;     // set when the child exited by itself
    int TermSignal = 0;    // set when a signal ended the child

    bool Succeeded() const { return TermSignal == 0 && ExitCode == 0; }
    std::string Describe() const;  // "exit code 1", "signal 11"
};

// Forks; the child runs `body` and exits with its result (70 when it throws), the parent waits.
// A forked child starts with the pages it shares with the parent, so keep the parent small.
TChildMeasurement MeasureInChild(const std::function<int()>& body);

// Runs a program (looked up on PATH) with standard input from /dev/null and its standard
// output and error appended to `logPath` (discarded when empty).
TChildMeasurement MeasureCommand(const std::vector<std::string>& argv, const std::string& logPath);

// The full path of an executable found on PATH.
std::optional<std::string> FindOnPath(std::string_view program);

}  // namespace varnelo::bench

// SPDX-License-Identifier: MIT
// Runs work in a child process and measures it there: wall time and the child's own peak
// resident memory, unaffected by whatever the measuring process holds or has held.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "os/process.hpp"

namespace varnelo::bench {

using TChildMeasurement = os::TChildOutcome;

inline bool Succeeded(const TChildMeasurement& run) {
    return run.Exited(0);
}

// Forks; the child runs `body` and exits with its result (70 when it throws), the parent waits.
// A forked child starts with the pages it shares with the parent, so keep the parent small.
inline TChildMeasurement MeasureInChild(const std::function<int()>& body) {
    return os::RunInChild(body);
}

// Runs a program (looked up on PATH) with nothing on standard input and its standard output
// and error appended to `logPath` (discarded when empty).
inline TChildMeasurement MeasureCommand(const std::vector<std::string>& argv,
                                        const std::string& logPath) {
    os::TCommand command;
    command.Args = argv;
    command.Output = logPath;
    command.ErrorToOutput = true;
    command.Append = true;
    return os::RunCommand(command);
}

// The full path of an executable found on PATH.
inline std::optional<std::string> FindOnPath(std::string_view program) {
    return os::FindProgram(program);
}

}  // namespace varnelo::bench

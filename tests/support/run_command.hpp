// SPDX-License-Identifier: MIT
// Runs a shell command and collects what it prints, for tests that drive executables.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace varnelo::testing {

struct TCommandResult {
    int ExitCode = -1;  // -1 when the command did not exit normally
    std::string Output;
};

// Standard output of `command` (run by /bin/sh) and its exit code.
inline TCommandResult RunCommand(const std::string& command) {
    TCommandResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 4096> buffer{};
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        result.Output.append(buffer.data(), n);
    }
    const int status = pclose(pipe);
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace varnelo::testing

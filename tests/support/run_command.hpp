// SPDX-License-Identifier: MIT
// Runs a shell command and collects what it prints, for tests that drive executables.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace varnelo::testing {

struct TCommandResult {
    int ExitCode = -1;  // -1 when the command did not exit normally
    std::string Output;
};

// True when the shell finds the program `name` (an independent reader such as ogrinfo).
inline bool HaveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

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

struct TToolRun {
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};

// Runs the executable `exe` with `args` (already quoted for the shell), capturing its standard
// output and, through the file `errPath`, its standard error.
inline TToolRun RunTool(const std::string& exe, const std::string& args,
                        const std::string& errPath) {
    const TCommandResult result = RunCommand("'" + exe + "' " + args + " 2>'" + errPath + "'");
    TToolRun run;
    run.ExitCode = result.ExitCode;
    run.Out = result.Output;
    std::FILE* err = std::fopen(errPath.c_str(), "rb");
    if (err != nullptr) {
        std::array<char, 4096> buffer{};
        std::size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), err)) > 0) {
            run.Err.append(buffer.data(), n);
        }
        std::fclose(err);
    }
    return run;
}

}  // namespace varnelo::testing

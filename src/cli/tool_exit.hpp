// SPDX-License-Identifier: MIT
// The first and the last step of every command-line tool: parsing its arguments, and making
// sure that what it printed reached its standard output, or the tool fails, so that
// `tool > /dev/full` or a closed pipe is never a success.
#pragma once

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <optional>

#include "shape/errors.hpp"

namespace varnelo::cli {

constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Parses the arguments; answers the exit code when parsing ends the run (--help and
// --version: 0; a usage error: 2, after CLI11's message), none when the tool goes on.
inline std::optional<int> ParseArguments(CLI::App& app, int argc, char** argv) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kExitUsage;
    }
    return std::nullopt;
}

inline int FinishStandardOutput(const char* tool, int exitCode) {
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) {
        return exitCode;
    }
    const int error = errno;
    std::fprintf(stderr, "%s: cannot write to standard output: %s\n", tool,
                 error != 0 ? SystemErrorText(error).c_str() : "write error");
    return exitCode == kExitSuccess ? kExitFailed : exitCode;
}

}  // namespace varnelo::cli

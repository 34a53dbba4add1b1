// SPDX-License-Identifier: MIT
// The last step of every command-line tool: what it printed must have reached its standard
// output, or the tool fails, so that `tool > /dev/full` or a closed pipe is never a success.
#pragma once

#include <cerrno>
#include <cstdio>

#include "shape/errors.hpp"

namespace varnelo::cli {

constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

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

// SPDX-License-Identifier: MIT
// Child processes, for the tests and the benchmarks: running a program with its output in
// files, or a part of this program in a forked copy of it, and measuring either.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace varnelo::os {

struct TChildOutcome {
    int ExitCode = -1;      // when the child exited by itself
    int Signal = 0;         // when a signal ended it (POSIX)
    double Seconds = 0;     // from its start until it was reaped
    double CpuSeconds = 0;  // processor time it used, in user and system mode, all threads
    double PeakRssMb = 0;   // its own peak resident memory, in MB of 10^6 bytes

    bool Exited(int code) const noexcept { return Signal == 0 && ExitCode == code; }
    std::string Describe() const;  // "exit code 1", "signal 11"
};

struct TCommand {
    std::vector<std::string> Args;  // the program (a path, or a name looked up on PATH) first
    std::string Input;              // a file for standard input; empty: nothing to read
    std::string Output;             // a file for standard output; empty: discarded
    std::string Error;              // a file for standard error; empty: discarded
    bool ErrorToOutput = false;     // standard error into standard output's file
    bool Append = false;            // append to the output files instead of emptying them
    std::vector<std::pair<std::string, std::string>> Environment;  // set for the child
};

// Runs the command and waits for it. Raises std::runtime_error when it cannot be started;
// a program that is not found exits with 127.
TChildOutcome RunCommand(const TCommand& command);

// True where a part of this program can run in a forked copy of the process (POSIX).
bool CanRunInChild() noexcept;
// Runs `body` in a forked copy; its result is the exit code, 70 when it raises. Raises
// std::runtime_error where CanRunInChild() is false.
TChildOutcome RunInChild(const std::function<int()>& body);
inline constexpr int kChildRaised = 70;

// Memory of `bytes` zero bytes that children forked later share with this process, for a
// child to report to its parent; it lives as long as the process. Raises std::runtime_error
// where CanRunInChild() is false or the system has none to give.
void* MemorySharedWithChildren(std::size_t bytes);

// The full path of an executable program found on PATH.
std::optional<std::string> FindProgram(std::string_view name);

// The highest resident memory this process has had, in MB of 10^6 bytes.
double PeakMemoryMb() noexcept;

// This process's number, and whether a process of that number is running.
long ProcessId() noexcept;
bool ProcessExists(long id) noexcept;

// What a benchmark reports of the machine it ran on.
struct TMachineFacts {
    long LogicalCpus = 0;
    double MemoryGb = 0;  // of 10^9 bytes
    std::string System;   // "Linux 6.1.0-18-amd64", "Windows 10.0.19045"
};
TMachineFacts MachineFacts();

}  // namespace varnelo::os

// SPDX-License-Identifier: MIT
#include "child_process.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>

namespace varnelo::bench {

namespace {

constexpr int kBodyThrew = 70;
constexpr int kExecFailed = 127;

// Forks, lets the child run `child` (which must not return), then waits and measures.
template <typename ChildFn>
TChildMeasurement ForkAndMeasure(ChildFn&& child) {
    // Anything still buffered would otherwise be written twice, once by each process.
    std::fflush(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        child();
    }
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            throw std::runtime_error("wait4 failed");
        }
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    TChildMeasurement result;
    result.Seconds = elapsed.count();
    result.PeakRssMb = static_cast<double>(usage.ru_maxrss) * 1024.0 / 1e6;  // ru_maxrss is in KiB
    if (WIFEXITED(status)) {
        result.ExitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.TermSignal = WTERMSIG(status);
    }
    return result;
}

}  // namespace

std::string TChildMeasurement::Describe() const {
    if (TermSignal != 0) {
        return "signal " + std::to_string(TermSignal);
    }
    return "exit code " + std::to_string(ExitCode);
}

TChildMeasurement MeasureInChild(const std::function<int()>& body) {
    return ForkAndMeasure([&body] {
        int code = kBodyThrew;
        try {
            code = body();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "child failed: %s\n", error.what());
        } catch (...) {
            std::fprintf(stderr, "child failed with an unknown exception\n");
        }
        std::fflush(nullptr);
        ::_exit(code);  // skips the parent's exit handlers and static destructors
    });
}

TChildMeasurement MeasureCommand(const std::vector<std::string>& argv, const std::string& logPath) {
    if (argv.empty()) {
        throw std::invalid_argument("no command given");
    }
    // Everything the child needs is prepared before the fork, so it only calls exec-safe functions.
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const char* output = logPath.empty() ? "/dev/null" : logPath.c_str();
    return ForkAndMeasure([&] {
        const int input = ::open("/dev/null", O_RDONLY);
        const int log = ::open(output, O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (input < 0 || log < 0 || ::dup2(input, STDIN_FILENO) < 0 ||
            ::dup2(log, STDOUT_FILENO) < 0 || ::dup2(log, STDERR_FILENO) < 0) {
            ::_exit(kExecFailed);
        }
        ::execvp(args[0], args.data());
        ::_exit(kExecFailed);
    });
}

std::optional<std::string> FindOnPath(std::string_view program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) {
        return std::nullopt;
    }
    std::string_view rest = path;
    while (true) {
        const std::size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        std::string candidate;
        candidate.reserve(folder.size() + program.size() + 2);
        candidate.append(folder.empty() ? std::string_view(".") : folder);  // empty means here
        candidate.push_back('/');
        candidate.append(program);
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        rest.remove_prefix(colon + 1);
    }
}

}  // namespace varnelo::bench

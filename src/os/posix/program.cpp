// SPDX-License-Identifier: MIT
// Arguments, standard streams, interruption and child processes on POSIX systems.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <stdexcept>

#include "os/catalog.hpp"
#include "os/console.hpp"
#include "os/interrupt.hpp"
#include "os/process.hpp"

extern char** environ;

namespace varnelo::os {

// ---- arguments and standard streams ----

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void PrepareStandardStreams() {
    // std::cout and std::cerr write through the C library's streams, bytes unchanged.
}

void SetRedirectedText(TRedirectedText) {
    // A file or a pipe takes the UTF-8 as every other program here writes it.
}

void WriteOutputBytesUnchanged() {}

TLanguage UserLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return std::string_view(value).starts_with("ja") ? TLanguage::Japanese
                                                            : TLanguage::English;
        }
    }
    return TLanguage::English;
}

bool IsTerminal(TStandardStream stream) noexcept {
    return ::isatty(stream == TStandardStream::Output ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

bool FlushStandardOutput(TError& error) {
    // std::cout is synchronised with stdout: whatever failed shows in the C stream.
    std::cout.flush();
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0 && std::cout.good()) {
        return true;
    }
    error = TError{errno};
    return false;
}

// ---- interruption ----

namespace {

constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};
std::atomic<bool> gStop{false};
volatile std::sig_atomic_t gSignal = 0;
std::array<struct sigaction, kSignals.size()> gPreviousActions{};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void Stop(int signal) {
    gSignal = signal;
    gStop.store(true);
}

}  // namespace

TInterruptStop::TInterruptStop() {
    gStop = false;
    gSignal = 0;
    struct sigaction action {};
    action.sa_handler = &Stop;
    action.sa_flags = SA_RESETHAND;  // a second interruption ends the program at once
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        // A signal ignored on start (nohup, a background job) stays ignored.
        ::sigaction(kSignals[i], nullptr, &gPreviousActions[i]);
        if (gPreviousActions[i].sa_handler != SIG_IGN) {
            ::sigaction(kSignals[i], &action, nullptr);
        }
    }
}

TInterruptStop::~TInterruptStop() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &gPreviousActions[i], nullptr);
    }
}

const std::atomic<bool>* TInterruptStop::Flag() noexcept {
    return &gStop;
}

void TInterruptStop::EndIfInterrupted() const {
    if (gSignal != 0) {
        std::signal(gSignal, SIG_DFL);
        std::raise(gSignal);
    }
}

// ---- child processes ----

namespace {

constexpr int kExecFailed = 127;

TChildOutcome WaitAndMeasure(pid_t pid, std::chrono::steady_clock::time_point start) {
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
    outcome.PeakRssMb = static_cast<double>(usage.ru_maxrss) * 1024.0 / 1e6;  // in KiB
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    outcome.CpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    if (WIFEXITED(status)) {
        outcome.ExitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        outcome.Signal = WTERMSIG(status);
    }
    return outcome;
}

// Forks, lets the child run `child` (which must not return), then waits and measures.
template <typename ChildFn>
TChildOutcome ForkAndMeasure(ChildFn&& child) {
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
    return WaitAndMeasure(pid, start);
}

// The environment of this process with `changes` made.
std::vector<std::string> ChangedEnvironment(
    const std::vector<std::pair<std::string, std::string>>& changes) {
    std::vector<std::string> variables;
    for (char** v = environ; *v != nullptr; ++v) {
        const std::string_view entry(*v);
        bool replaced = false;
        for (const auto& [name, value] : changes) {
            replaced = replaced || (entry.size() > name.size() && entry[name.size()] == '=' &&
                                    entry.substr(0, name.size()) == name);
        }
        if (!replaced) {
            variables.emplace_back(entry);
        }
    }
    for (const auto& [name, value] : changes) {
        variables.push_back(name + "=" + value);
    }
    return variables;
}

// Standard input, output and error of the child, opened by the spawn itself.
class TSpawnFiles {
  public:
    explicit TSpawnFiles(const TCommand& command) {
        posix_spawn_file_actions_init(&actions_);
        const int flags = O_WRONLY | O_CREAT | (command.Append ? O_APPEND : O_TRUNC);
        const auto open = [&](int fd, const std::string& path, int how) {
            posix_spawn_file_actions_addopen(&actions_, fd,
                                             path.empty() ? "/dev/null" : path.c_str(), how, 0644);
        };
        open(STDIN_FILENO, command.Input, O_RDONLY);
        open(STDOUT_FILENO, command.Output, flags);
        if (command.ErrorToOutput) {
            posix_spawn_file_actions_adddup2(&actions_, STDOUT_FILENO, STDERR_FILENO);
        } else {
            open(STDERR_FILENO, command.Error, flags);
        }
    }
    ~TSpawnFiles() { posix_spawn_file_actions_destroy(&actions_); }
    TSpawnFiles(const TSpawnFiles&) = delete;
    TSpawnFiles& operator=(const TSpawnFiles&) = delete;
    const posix_spawn_file_actions_t* Actions() const { return &actions_; }

  private:
    posix_spawn_file_actions_t actions_{};
};

}  // namespace

TChildOutcome RunCommand(const TCommand& command) {
    if (command.Args.empty()) {
        throw std::invalid_argument("no command given");
    }
    std::vector<char*> args;
    for (const std::string& arg : command.Args) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    std::vector<std::string> variables = ChangedEnvironment(command.Environment);
    std::vector<char*> environment;
    for (std::string& variable : variables) {
        environment.push_back(variable.data());
    }
    environment.push_back(nullptr);
    const TSpawnFiles files(command);
    std::fflush(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (::posix_spawnp(&pid, args[0], files.Actions(), nullptr, args.data(), environment.data()) !=
        0) {
        TChildOutcome outcome;
        outcome.ExitCode = kExecFailed;  // as a shell reports a program it cannot start
        return outcome;
    }
    return WaitAndMeasure(pid, start);
}

bool CanRunInChild() noexcept {
    return true;
}

TChildOutcome RunInChild(const std::function<int()>& body) {
    return ForkAndMeasure([&body] {
        int code = kChildRaised;
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

std::optional<std::string> FindProgram(std::string_view program) {
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

void* MemorySharedWithChildren(std::size_t bytes) {
    void* page = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) {
        throw std::runtime_error("cannot map a shared page");
    }
    return page;
}

long ProcessId() noexcept {
    return static_cast<long>(::getpid());
}

bool ProcessExists(long id) noexcept {
    return ::kill(static_cast<pid_t>(id), 0) == 0 || errno != ESRCH;
}

TMachineFacts MachineFacts() {
    utsname system{};
    ::uname(&system);
    TMachineFacts facts;
    facts.LogicalCpus = ::sysconf(_SC_NPROCESSORS_ONLN);
    facts.MemoryGb = static_cast<double>(::sysconf(_SC_PHYS_PAGES)) *
                     static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1e9;
    facts.System = std::string(system.sysname) + " " + system.release;
    return facts;
}

double PeakMemoryMb() noexcept {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024.0 / 1e6;
}

}  // namespace varnelo::os

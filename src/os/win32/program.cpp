// SPDX-License-Identifier: MIT
// Arguments, standard streams, interruption and child processes on Windows.
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#include <shellapi.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <stdexcept>
#include <streambuf>

#include "os/catalog.hpp"
#include "os/console.hpp"
#include "os/interrupt.hpp"
#include "os/process.hpp"
#include "os/win32/wide.hpp"

namespace varnelo::os {

using win32::Utf8;
using win32::Wide;

// ---- arguments and standard streams ----

TLanguage UserLanguage() {
    return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_JAPANESE ? TLanguage::Japanese
                                                                        : TLanguage::English;
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i) {
        args.push_back(Utf8(wide[i]));
    }
    LocalFree(wide);
    return args;
}

namespace {

// How a standard stream's bytes reach the system.
enum class TWay {
    Characters,  // a console: the UTF-8 made UTF-16 (WriteConsoleW)
    CodePage,    // the UTF-8 in the system's ANSI code page
    Bytes,       // unchanged
};

// A standard stream's bytes, written its way. Text is converted in whole characters: the
// bytes of one cut between two writes are kept for the next.
class TStandardStreamBuffer final : public std::streambuf {
  public:
    explicit TStandardStreamBuffer(HANDLE handle) : handle_(handle) {
        DWORD mode = 0;
        console_ = GetConsoleMode(handle, &mode) != 0;
        way_ = console_ ? TWay::Characters : RedirectedWay(TRedirectedText::SystemCodePage);
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }

    DWORD Error() const noexcept { return error_; }

    void SetRedirectedText(TRedirectedText text) {
        if (!console_ && !bytesAsked_) {
            pubsync();
            WriteRest();
            way_ = RedirectedWay(text);
        }
    }

    void PassBytesUnchanged() {
        pubsync();
        WriteRest();
        way_ = TWay::Bytes;
        bytesAsked_ = true;
    }

    // Writes the bytes of a character cut off at the end of the output, as far as they go.
    bool WriteRest() {
        if (pending_.empty()) {
            return true;
        }
        const std::wstring text = Wide(pending_);
        pending_.clear();
        return way_ == TWay::Characters ? WriteCharacters(text) : WriteInCodePage(text);
    }

  protected:
    int_type overflow(int_type c) override {
        if (!Drain()) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override { return Drain() ? 0 : -1; }

  private:
    // A system whose ANSI code page is UTF-8 takes the text as it is.
    static TWay RedirectedWay(TRedirectedText text) {
        return text == TRedirectedText::Utf8 || GetACP() == CP_UTF8 ? TWay::Bytes : TWay::CodePage;
    }

    bool Drain() {
        const std::string_view bytes(pbase(), static_cast<std::size_t>(pptr() - pbase()));
        bool ok = true;
        if (way_ == TWay::Bytes) {
            ok = WriteBytes(bytes);
        } else {
            const std::wstring text = WholeCharacters(bytes);
            ok = way_ == TWay::Characters ? WriteCharacters(text) : WriteInCodePage(text);
        }
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        return ok;
    }

    // The characters of the bytes kept and `bytes`, as UTF-16; the bytes of a character that
    // have not all come yet are kept back.
    std::wstring WholeCharacters(std::string_view bytes) {
        pending_.append(bytes);
        std::size_t whole = pending_.size();
        for (std::size_t back = 1; back <= 3 && back <= pending_.size(); ++back) {
            const auto byte = static_cast<unsigned char>(pending_[pending_.size() - back]);
            if (byte >= 0xC0) {
                const std::size_t length = byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
                whole = length > back ? pending_.size() - back : pending_.size();
                break;
            }
            if (byte < 0x80) {
                break;
            }
        }
        std::wstring text = Wide(std::string_view(pending_).substr(0, whole));
        pending_.erase(0, whole);
        return text;
    }

    bool WriteBytes(std::string_view bytes) {
        while (!bytes.empty()) {
            DWORD written = 0;
            if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                           nullptr) ||
                written == 0) {
                error_ = written == 0 && GetLastError() == 0 ? ERROR_WRITE_FAULT : GetLastError();
                return false;
            }
            bytes.remove_prefix(written);
        }
        return true;
    }

    // A character the code page lacks becomes its default character, "?".
    bool WriteInCodePage(std::wstring_view text) {
        if (text.empty()) {
            return true;
        }
        const int size = static_cast<int>(text.size());
        const int n =
            WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
        std::string bytes(static_cast<std::size_t>(n), '\0');
        WideCharToMultiByte(CP_ACP, 0, text.data(), size, bytes.data(), n, nullptr, nullptr);
        return WriteBytes(bytes);
    }

    bool WriteCharacters(std::wstring_view rest) {
        while (!rest.empty()) {
            DWORD written = 0;
            if (!WriteConsoleW(handle_, rest.data(), static_cast<DWORD>(rest.size()), &written,
                               nullptr) ||
                written == 0) {
                error_ = GetLastError();
                return false;
            }
            rest.remove_prefix(written);
        }
        return true;
    }

    HANDLE handle_;
    bool console_ = false;
    TWay way_ = TWay::Bytes;
    bool bytesAsked_ = false;  // by PassBytesUnchanged, which no other choice undoes
    DWORD error_ = 0;
    std::array<char, 4096> buffer_{};
    std::string pending_;
};

// For the whole run of the program, once made.
TStandardStreamBuffer* gOutput = nullptr;
TStandardStreamBuffer* gError = nullptr;

HANDLE StandardHandle(TStandardStream stream) noexcept {
    return GetStdHandle(stream == TStandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

}  // namespace

void PrepareStandardStreams() {
    if (gOutput != nullptr) {
        return;
    }
    const HANDLE out = StandardHandle(TStandardStream::Output);
    const HANDLE err = StandardHandle(TStandardStream::Error);
    // A program started without standard streams keeps the C library's.
    if (out != nullptr && out != INVALID_HANDLE_VALUE) {
        gOutput = new TStandardStreamBuffer(out);
        std::cout.rdbuf(gOutput);
    }
    if (err != nullptr && err != INVALID_HANDLE_VALUE) {
        gError = new TStandardStreamBuffer(err);
        std::cerr.rdbuf(gError);
    }
}

void SetRedirectedText(TRedirectedText text) {
    for (TStandardStreamBuffer* stream : {gOutput, gError}) {
        if (stream != nullptr) {
            stream->SetRedirectedText(text);
        }
    }
}

void WriteOutputBytesUnchanged() {
    if (gOutput != nullptr) {
        gOutput->PassBytesUnchanged();
    }
}

bool IsTerminal(TStandardStream stream) noexcept {
    DWORD mode = 0;
    return GetConsoleMode(StandardHandle(stream), &mode) != 0;
}

bool FlushStandardOutput(TError& error) {
    std::cout.flush();
    if (gOutput == nullptr) {
        return std::fflush(stdout) == 0 && std::cout.good();
    }
    const bool rest = gOutput->WriteRest();
    error = TError{static_cast<int>(gOutput->Error())};
    return std::cout.good() && rest && !error;
}

// ---- interruption ----

namespace {

constexpr DWORD kControlCExit = 0xC000013A;  // STATUS_CONTROL_C_EXIT, as Ctrl+C ends a program
std::atomic<bool> gStop{false};
std::atomic<bool> gInterrupted{false};

// Runs on a thread of its own. The first interruption only asks the work to stop; a second
// one goes on to the default handler, which ends the program.
BOOL WINAPI StopOnInterrupt(DWORD event) {
    if (gInterrupted.exchange(true)) {
        return FALSE;
    }
    gStop = true;
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // The system ends the program once this returns: a moment for the work to clean up.
        Sleep(4000);
    }
    return TRUE;
}

}  // namespace

TInterruptStop::TInterruptStop() {
    gStop = false;
    gInterrupted = false;
    SetConsoleCtrlHandler(&StopOnInterrupt, TRUE);
}

TInterruptStop::~TInterruptStop() {
    SetConsoleCtrlHandler(&StopOnInterrupt, FALSE);
}

const std::atomic<bool>* TInterruptStop::Flag() noexcept {
    return &gStop;
}

void TInterruptStop::EndIfInterrupted() const {
    if (gInterrupted) {
        std::fflush(nullptr);
        std::cout.flush();
        ExitProcess(kControlCExit);
    }
}

// ---- child processes ----

namespace {

constexpr int kNotStarted = 127;

// One argument as the C runtime's parser reads it back: quoted when it has to be, with the
// backslashes before a quote doubled.
void AppendQuoted(std::wstring& line, const std::wstring& arg) {
    if (!line.empty()) {
        line += L' ';
    }
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

// The environment block of this process with `changes` made; names match ignoring case.
std::wstring ChangedEnvironment(const std::vector<std::pair<std::string, std::string>>& changes) {
    std::wstring block;
    wchar_t* current = GetEnvironmentStringsW();
    for (const wchar_t* entry = current; *entry != L'\0'; entry += wcslen(entry) + 1) {
        const std::wstring_view text(entry);
        bool replaced = false;
        for (const auto& [name, value] : changes) {
            const std::wstring wide = Wide(name);
            replaced = replaced || (text.size() > wide.size() && text[wide.size()] == L'=' &&
                                    CompareStringOrdinal(text.data(), static_cast<int>(wide.size()),
                                                         wide.data(), static_cast<int>(wide.size()),
                                                         TRUE) == CSTR_EQUAL);
        }
        if (!replaced) {
            block.append(text).push_back(L'\0');
        }
    }
    FreeEnvironmentStringsW(current);
    for (const auto& [name, value] : changes) {
        block.append(Wide(name + "=" + value)).push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

// An inheritable handle of a file for a child's standard stream; the null device for none.
HANDLE OpenForChild(const std::string& path, bool write, bool append) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const std::wstring name = path.empty() ? std::wstring(L"NUL") : Wide(path);
    const HANDLE h = CreateFileW(name.c_str(),
                                 write ? (append ? FILE_APPEND_DATA : GENERIC_WRITE) : GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                                 write ? (append ? OPEN_ALWAYS : CREATE_ALWAYS) : OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot open " + (path.empty() ? "NUL" : path) +
                                 " for a command's standard stream");
    }
    return h;
}

double PeakMegabytesOf(HANDLE process) noexcept {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    return GetProcessMemoryInfo(process, &counters, sizeof counters)
               ? static_cast<double>(counters.PeakWorkingSetSize) / 1e6
               : 0;
}

// User and kernel time of all the process's threads; FILETIMEs count 100 ns units.
double CpuSecondsOf(HANDLE process) noexcept {
    FILETIME created{};
    FILETIME exited{};
    FILETIME kernel{};
    FILETIME user{};
    if (GetProcessTimes(process, &created, &exited, &kernel, &user) == 0) {
        return 0;
    }
    const auto units = [](const FILETIME& t) {
        return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime);
    };
    return (units(kernel) + units(user)) / 1e7;
}

}  // namespace

TChildOutcome RunCommand(const TCommand& command) {
    if (command.Args.empty()) {
        throw std::invalid_argument("no command given");
    }
    std::wstring line;
    for (const std::string& arg : command.Args) {
        AppendQuoted(line, Wide(arg));
    }
    const std::wstring environment =
        command.Environment.empty() ? std::wstring() : ChangedEnvironment(command.Environment);
    const HANDLE input = OpenForChild(command.Input, false, false);
    const HANDLE output = OpenForChild(command.Output, true, command.Append);
    const HANDLE error =
        command.ErrorToOutput ? output : OpenForChild(command.Error, true, command.Append);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = error;
    PROCESS_INFORMATION process{};
    const auto start = std::chrono::steady_clock::now();
    const bool started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                       environment.empty() ? nullptr : const_cast<wchar_t*>(environment.data()),
                       nullptr, &startup, &process) != 0;
    CloseHandle(input);
    CloseHandle(output);
    if (error != output) {
        CloseHandle(error);
    }
    TChildOutcome outcome;
    if (!started) {
        outcome.ExitCode = kNotStarted;  // as a shell reports a program it cannot start
        return outcome;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    outcome.Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    outcome.ExitCode = static_cast<int>(code);
    outcome.PeakRssMb = PeakMegabytesOf(process.hProcess);
    outcome.CpuSeconds = CpuSecondsOf(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return outcome;
}

bool CanRunInChild() noexcept {
    return false;
}

TChildOutcome RunInChild(const std::function<int()>&) {
    throw std::runtime_error("Windows has no forked children");
}

void* MemorySharedWithChildren(std::size_t) {
    throw std::runtime_error("Windows has no forked children to share memory with");
}

std::optional<std::string> FindProgram(std::string_view name) {
    wchar_t found[MAX_PATH];
    const DWORD n = SearchPathW(nullptr, Wide(name).c_str(), L".exe", MAX_PATH, found, nullptr);
    if (n == 0 || n >= MAX_PATH) {
        return std::nullopt;
    }
    return Utf8(std::wstring_view(found, n));
}

double PeakMemoryMb() noexcept {
    return PeakMegabytesOf(GetCurrentProcess());
}

long ProcessId() noexcept {
    return static_cast<long>(GetCurrentProcessId());
}

bool ProcessExists(long id) noexcept {
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
    if (process == nullptr) {
        return GetLastError() == ERROR_ACCESS_DENIED;  // there, but not ours to look at
    }
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

TMachineFacts MachineFacts() {
    TMachineFacts facts;
    SYSTEM_INFO system{};
    GetNativeSystemInfo(&system);
    facts.LogicalCpus = static_cast<long>(system.dwNumberOfProcessors);
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    if (GlobalMemoryStatusEx(&memory)) {
        facts.MemoryGb = static_cast<double>(memory.ullTotalPhys) / 1e9;
    }
    // The version the system itself reports, not the one it shows programs without a manifest.
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    using TGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    if (const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
        if (const auto get = reinterpret_cast<TGetVersion>(
                reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))) {
            get(&version);
        }
    }
    facts.System = "Windows " + std::to_string(version.dwMajorVersion) + "." +
                   std::to_string(version.dwMinorVersion) + "." +
                   std::to_string(version.dwBuildNumber);
    return facts;
}

}  // namespace varnelo::os

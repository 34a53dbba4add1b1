// SPDX-License-Identifier: MIT
// The first and the last step of every command-line tool: its arguments as UTF-8 and its
// standard streams made ready for the console, and at the end making sure that what it printed
// reached its standard output, or the tool fails, so that `tool > /dev/full` or a closed pipe
// is never a success. In between, tools print through std::cout and std::cerr only.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "os/catalog.hpp"
#include "os/console.hpp"
#include "shape/errors.hpp"

namespace varnelo::cli {

constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// The source holds objects, none of a kind the conversion takes: nothing was written.
constexpr int kExitNothingWritten = 3;

// --output-encoding utf-8, which every tool takes: text written to a file or a pipe is UTF-8,
// where Windows gets it in its ANSI code page by default (os::SetRedirectedText). It is chosen
// from the arguments before they are parsed, so that help and usage errors come in it too;
// the parser only checks it and shows it in the help.
inline constexpr std::string_view kOutputEncodingOption = "--output-encoding";

inline void ChooseOutputEncoding(const std::vector<std::string>& args) {
    for (std::size_t i = 1; i < args.size() && args[i] != "--"; ++i) {
        if (args[i] == std::string(kOutputEncodingOption) + "=utf-8" ||
            (args[i] == kOutputEncodingOption && i + 1 < args.size() && args[i + 1] == "utf-8")) {
            os::SetRedirectedText(os::TRedirectedText::Utf8);
        }
    }
}

inline void AddOutputEncodingOption(CLI::App& app) {
    const auto chosenAlready = [](const CLI::results_t&) { return true; };
    app.add_option(std::string(kOutputEncodingOption), chosenAlready,
                   Text(TText::kOutputEncodingHelp))
        ->type_name("TEXT")
        ->check(CLI::IsMember({"utf-8"}));
}

// Parses the arguments; answers the exit code when parsing ends the run (--help and
// --version: 0; a usage error: 2, after CLI11's message), none when the tool goes on.
// Options begin with '-' on every system: an argument that begins with '/' is a path (a
// root-relative one on Windows), never an option written the Windows way.
inline std::optional<int> ParseArguments(CLI::App& app, int argc, char** argv) {
    app.allow_windows_style_options(false);
    AddOutputEncodingOption(app);
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

// printf's formatting, written to `out`.
[[gnu::format(printf, 2, 3)]] inline void Print(std::ostream& out, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length > 0) {
        std::string text(static_cast<std::size_t>(length) + 1, '\0');
        std::vsnprintf(text.data(), text.size(), format, again);
        out.write(text.data(), length);
    }
    va_end(again);
}

inline int FinishStandardOutput(const char* tool, int exitCode) {
    os::TError error;
    if (os::FlushStandardOutput(error)) {
        return exitCode;
    }
    std::cerr << tool << ": cannot write to standard output: "
              << (error ? os::SystemErrorText(error) : std::string("write error")) << '\n';
    return exitCode == kExitSuccess ? kExitFailed : exitCode;
}

// The whole life of a tool whose work is `body`: its arguments as UTF-8 whatever the system,
// the console ready for its text in the encoding asked for, and its output checked at the end.
inline int RunTool(const char* tool, int argc, char** argv, int (*body)(int, char**)) {
    os::PrepareStandardStreams();
    SetTextLanguage(os::UserLanguage());
    std::vector<std::string> args = os::ProgramArguments(argc, argv);
    ChooseOutputEncoding(args);
    std::vector<char*> pointers;
    for (std::string& arg : args) {
        pointers.push_back(arg.data());
    }
    pointers.push_back(nullptr);
    return FinishStandardOutput(tool, body(static_cast<int>(args.size()), pointers.data()));
}

}  // namespace varnelo::cli

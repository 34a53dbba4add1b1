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
#include <utility>
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

// The help of `app` in the run's language: the words of its layout and the descriptions of
// --help and --version. Called once every option has been added.
inline void SetHelpLanguage(CLI::App& app) {
    const auto formatter = app.get_formatter();
    const std::pair<const char*, TText> labels[] = {
        {"Usage", TText::kCliUsageLabel},
        {"OPTIONS", TText::kCliOptionsLabel},
        {"Positionals", TText::kCliPositionalsLabel},
        {"REQUIRED", TText::kCliRequiredLabel},
        {"TEXT", TText::kCliTextLabel},
        {"INT", TText::kCliIntLabel},
        {"UINT", TText::kCliUintLabel},
        {"FLOAT", TText::kCliFloatLabel},
        {"Needs", TText::kCliNeedsLabel},
        {"Excludes", TText::kCliExcludesLabel},
    };
    for (const auto& [key, text] : labels) {
        formatter->label(key, Text(text));
    }
    for (CLI::Option* option : app.get_options()) {
        if (option->nonpositional()) {
            option->group(Text(TText::kCliOptionsGroup));
        }
    }
    if (CLI::Option* help = app.get_help_ptr()) {
        help->description(Text(TText::kCliHelpFlag));
    }
    if (CLI::Option* version = app.get_version_ptr()) {
        version->description(Text(TText::kCliVersionFlag));
    }
}

// The names of `options`, joined by ", ".
inline std::string OptionNames(const std::vector<const CLI::Option*>& options) {
    std::string names;
    for (const CLI::Option* option : options) {
        names += (names.empty() ? "" : ", ") + option->get_name();
    }
    return names;
}

// What was wrong with the arguments `app` failed to parse with `error`, in the run's
// language, from what the app holds after the attempt: the options missing, the arguments
// left over, the option whose value was refused, the options that need or exclude others.
inline std::string UsageErrorText(const CLI::App& app, const CLI::ParseError& error) {
    const std::vector<const CLI::Option*> options =
        app.get_options([](const CLI::Option*) { return true; });
    const std::string_view message = error.what();
    // The option an error names, the one with the longest name when several do.
    const CLI::Option* named = nullptr;
    for (const CLI::Option* option : options) {
        const std::string name = option->get_name();
        if (message.find(name) != std::string_view::npos &&
            (named == nullptr || name.size() > named->get_name().size())) {
            named = option;
        }
    }
    if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
        std::vector<const CLI::Option*> missing;
        for (const CLI::Option* option : options) {
            if (option->get_required() && option->count() == 0) {
                missing.push_back(option);
            }
        }
        if (!missing.empty()) {
            return Text(TText::kCliUsageRequired, OptionNames(missing));
        }
    } else if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        std::string extras;
        for (const std::string& arg : app.remaining()) {
            extras += (extras.empty() ? "" : " ") + arg;
        }
        return Text(TText::kCliUsageExtras, extras);
    } else if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr && named != nullptr) {
        return Text(TText::kCliUsageNeedsValue, named->get_name());
    } else if ((dynamic_cast<const CLI::ValidationError*>(&error) != nullptr ||
                dynamic_cast<const CLI::ConversionError*>(&error) != nullptr) &&
               named != nullptr) {
        std::string values;
        for (const std::string& value : named->results()) {
            values += (values.empty() ? "" : " ") + value;
        }
        return Text(TText::kCliUsageInvalidValue, named->get_name(), values);
    } else if (dynamic_cast<const CLI::RequiresError*>(&error) != nullptr) {
        for (const CLI::Option* option : options) {
            for (const CLI::Option* need : option->get_needs()) {
                if (option->count() > 0 && need->count() == 0) {
                    return Text(TText::kCliUsageNeeds, option->get_name(), need->get_name());
                }
            }
        }
    } else if (dynamic_cast<const CLI::ExcludesError*>(&error) != nullptr) {
        for (const CLI::Option* option : options) {
            for (const CLI::Option* other : option->get_excludes()) {
                if (option->count() > 0 && other->count() > 0) {
                    return Text(TText::kCliUsageExcludes, option->get_name(), other->get_name());
                }
            }
        }
    }
    return Text(TText::kCliUsageOther);
}

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
// --version: 0; a usage error: 2, after the tool's name and what was wrong), none when the
// tool goes on. Options begin with '-' on every system: an argument that begins with '/' is a
// path (a root-relative one on Windows), never an option written the Windows way.
inline std::optional<int> ParseArguments(CLI::App& app, int argc, char** argv) {
    app.allow_windows_style_options(false);
    AddOutputEncodingOption(app);
    SetHelpLanguage(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << app.get_name() << ": " << UsageErrorText(app, e) << '\n'
                  << Text(TText::kCliRunWithHelp) << '\n';
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
    std::cerr << tool << ": "
              << Text(TText::kCliStandardOutputFailed,
                      error ? os::SystemErrorText(error) : Text(TText::kCliWriteError))
              << '\n';
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

// SPDX-License-Identifier: MIT
// Runs programs and collects what they print, for tests that drive executables: the tools
// themselves, by their arguments, and independent readers such as GDAL's, by a shell command.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "os/file_system.hpp"
#include "os/process.hpp"
#include "temp_dir.hpp"
#include "test_system.hpp"

namespace varnelo::testing {

struct TCommandResult {
    int ExitCode = -1;  // -1 when the command did not exit normally
    std::string Output;
};

// True when the program `name` (an independent reader such as ogrinfo) is on the PATH.
inline bool HaveTool(const std::string& name) {
    return os::FindProgram(name).has_value();
}

// Why a test that needs the independent reader `name` (GDAL's, shapelib's) skips.
inline std::string NoToolReason(const std::string& name) {
    return HavePosixFacilities()
               ? name + " is not installed"
               : name +
                     " runs on the build machine, not on Windows; the Windows build's files "
                     "are compared byte for byte with the Linux build's, which it reads";
}

struct TToolRun {
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};

// Runs the program `exe` with `args`, each one argument as it stands, and collects its
// standard output and error. The tools are asked for UTF-8, which the tests compare with:
// Windows would get their files in its ANSI code page.
inline TToolRun RunTool(const std::string& exe, const std::vector<std::string>& args) {
    const TempDir streams;
    os::TCommand command;
    command.Args.push_back(exe);
    if (!HavePosixFacilities()) {
        command.Args.insert(command.Args.end(), {"--output-encoding", "utf-8"});
    }
    command.Args.insert(command.Args.end(), args.begin(), args.end());
    command.Output = streams.Path("out");
    command.Error = streams.Path("err");
    const os::TChildOutcome outcome = os::RunCommand(command);
    TToolRun run;
    run.ExitCode = outcome.Signal == 0 ? outcome.ExitCode : -1;
    run.Out = ReadFileBytes(command.Output);
    run.Err = ReadFileBytes(command.Error);
    return run;
}

// The words of `text` as a shell splits them: at blanks, except inside single quotes, which
// are dropped. Enough for tests that write a tool's arguments as one line.
inline std::vector<std::string> ShellWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (const char c : text) {
        if (c == '\'') {
            quoted = !quoted;
            inWord = true;
        } else if (c == ' ' && !quoted) {
            if (inWord) {
                words.push_back(word);
            }
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

// Standard output of `command`, run by /bin/sh, and its exit code; 127 where there is no
// such shell. The commands are the build machine's (GDAL's readers, Python): on Windows, where
// the files they would name are not where the build machine sees them, none runs.
inline TCommandResult RunCommand(const std::string& command) {
    if (!HavePosixFacilities()) {
        return {127, ""};
    }
    const TToolRun run = RunTool("/bin/sh", {"-c", command});
    return {run.ExitCode, run.Out};
}

}  // namespace varnelo::testing

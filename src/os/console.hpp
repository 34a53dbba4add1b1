// SPDX-License-Identifier: MIT
// What a command-line program meets at its start and end: its arguments, its standard output
// and error, and the console they may be.
#pragma once

#include <string>
#include <vector>

#include "os/error.hpp"

namespace varnelo::os {

// The program's arguments as UTF-8, its name first. On Windows they are read as the system
// passed them (GetCommandLineW), so a Japanese file name arrives whatever the code page; on
// POSIX they are argv's bytes.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Makes std::cout and std::cerr carry the UTF-8 text the program writes to where they lead. On
// Windows a stream that is a console gets its text as characters (WriteConsoleW), whatever
// the console's code page; one that is a file or a pipe gets it as SetRedirectedText says. On
// POSIX the bytes pass unchanged. Call once, before anything is written.
void PrepareStandardStreams();

// How text reaches a standard stream that is a file or a pipe on Windows.
enum class TRedirectedText {
    // In the system's ANSI code page (932 on Japanese Windows), which cmd, find, more, type
    // and batch files read; a character the code page lacks becomes "?". The default.
    SystemCodePage,
    // The UTF-8 unchanged, for programs that read UTF-8 (PowerShell 7 and the like).
    Utf8,
};
// Chooses it for both streams from now on; POSIX systems keep the bytes unchanged whatever
// the choice. Call before anything is written.
void SetRedirectedText(TRedirectedText text);

// From now on standard output takes the bytes written unchanged, console, file or pipe: for
// output that is stored bytes rather than UTF-8 text. Standard error keeps its way.
void WriteOutputBytesUnchanged();

enum class TStandardStream { Output, Error };
bool IsTerminal(TStandardStream stream) noexcept;

// Hands everything written to standard output to the system; false, with the system's error
// when it gave one, when some of it could not be written (a full disk, a closed pipe).
bool FlushStandardOutput(TError& error);

}  // namespace varnelo::os

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

// Makes std::cout and std::cerr carry UTF-8 text to a console: on Windows, a stream that is
// a console gets its text as characters (WriteConsoleW) and a redirected one its bytes
// unchanged, as on POSIX, where nothing changes. Call once, before anything is written.
void PrepareStandardStreams();

enum class TStandardStream { Output, Error };
bool IsTerminal(TStandardStream stream) noexcept;

// Hands everything written to standard output to the system; false, with the system's error
// when it gave one, when some of it could not be written (a full disk, a closed pipe).
bool FlushStandardOutput(TError& error);

}  // namespace varnelo::os

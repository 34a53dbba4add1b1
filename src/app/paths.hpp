// SPDX-License-Identifier: MIT
// Path routines of the application shell, with the system's folder separators ("/"; on
// Windows "\\", "/" and a drive's ":"): the folder and name of a path, the program's own
// folder, the temporary folder, and the program's version.
#pragma once

#include <string>
#include <string_view>

namespace varnelo {

// Everything up to and including the last separator, a bare drive given its "\\"; empty for a
// path without a folder part.
std::string ExtractDirWithSlash(std::string_view path);

// The file name after the last separator without its extension, which starts at the last "." of
// the name: "b.tar.gz" gives "b.tar", ".profile" gives "".
std::string ExtractNameWithoutExt(std::string_view path);

// The full path of the running executable.
std::string GetExePath();

// The running executable's folder, ending in the separator.
std::string GetExeDir();

// The system's temporary folder ($TMPDIR when set and not empty, else "/tmp"; on Windows
// the folder GetTempPathW names), ending in the separator.
std::string GetTempDir();

// The same text for two paths that name the same file, however they are spelled: the
// device and inode of an existing file, else the absolute path with "." and ".." and every
// symbolic link of its existing part resolved.
std::string FileIdentity(const std::string& path);

// The program's file version, "2.0.9.225" for this build; from the project's one version.
std::string GetExeFileVersion();

}  // namespace varnelo

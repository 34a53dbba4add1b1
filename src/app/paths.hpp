// SPDX-License-Identifier: MIT
// Path routines of the application shell: the program's own path and folder, the temporary
// folder, and the program's version. A path's folder and name: engine/file_names.hpp.
#pragma once

#include <string>
#include <string_view>

#include "engine/file_names.hpp"

namespace varnelo {

// The full path of the running executable.
std::string GetExePath();

// The running executable's folder, ending in "/".
std::string GetExeDir();

// The system's temporary folder ($TMPDIR when set and not empty, else "/tmp"; on Windows the
// folder GetTempPathW names), ending in its separator.
std::string GetTempDir();

// The same text for two paths that name the same file, however they are spelled: the
// device and inode of an existing file, else the absolute path with "." and ".." and every
// symbolic link of its existing part resolved.
std::string FileIdentity(const std::string& path);

// The program's file version, "2.0.9.225" for this build: on Windows the "FileVersion" of the
// executable's version resource (empty without one), elsewhere the project's one version.
std::string GetExeFileVersion();

}  // namespace varnelo

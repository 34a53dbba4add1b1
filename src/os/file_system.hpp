// SPDX-License-Identifier: MIT
// Files and folders by their paths, and the program's own places. A path is UTF-8 on every
// system and is converted only at the system call (to UTF-16 on Windows), so a name in any
// script works whatever the system's code page.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "os/error.hpp"
#include "os/file.hpp"

namespace varnelo::os {

// The path as the standard library takes it, and back.
std::filesystem::path FsPath(const std::string& path);
std::string PathText(const std::filesystem::path& path);

// "/" on POSIX; "\" on Windows, where "/" also separates folders.
char PathSeparator() noexcept;
// Where the file name of `path` begins: after the last folder separator (on Windows also
// after a drive's ":"); 0 for a bare name.
std::size_t FileNameStart(std::string_view path) noexcept;

// What is at `path`, through symbolic links; None when nothing is there or it cannot be seen.
TFileKind KindOfPath(const std::string& path) noexcept;
// The same for the folder's entry itself: a symbolic link (on Windows any reparse point) is a
// Link.
TFileKind KindOfEntry(const std::string& path) noexcept;

// Removes a file. A missing file is a NotFound error, which callers may take as success.
TError RemoveFile(const std::string& path) noexcept;
// Puts `from` in the place of `to` in one step, replacing a file there (on Windows through the
// disk's cache, so that the new name is there once this returns).
TError RenameOver(const std::string& from, const std::string& to) noexcept;
// Gives `newFile` the permissions of `oldFile`, as writing into the old file would have kept
// them; nothing when there is no old file, or where files have no such permissions.
void KeepPermissions(const std::string& oldFile, const std::string& newFile) noexcept;

// Creates a new empty file named `prefix` followed by six letters or digits that make it
// unique, and answers its path in `path`.
TError CreateUniqueFile(const std::string& prefix, std::string& path);
// The same for a folder that only this user may enter.
TError CreateUniqueFolder(const std::string& prefix, std::string& path);
// Creates the folder and the missing folders above it; false when it is not there after.
bool CreateFolders(const std::string& path) noexcept;
// Removes a file or a folder with everything in it, as far as it can.
void RemoveTree(const std::string& path) noexcept;

// One entry of a folder: its name and what it is (a symbolic link is a Link).
struct TFolderEntry {
    std::string Name;
    TFileKind Kind = TFileKind::None;
};
// The entries of the folder at `path` ("." and ".." left out), in no particular order.
TError ListFolder(const std::string& path, std::vector<TFolderEntry>& entries);

// What makes two paths name one file: its device and number.
struct TFileId {
    std::uint64_t Device = 0;
    std::uint64_t Index = 0;
    bool operator==(const TFileId&) const = default;
};
std::optional<TFileId> FileIdOf(const std::string& path) noexcept;
// True when both paths lead to one existing file, however they are spelled.
bool SameFile(const std::string& a, const std::string& b) noexcept;
// The absolute path with "." and ".." removed and the symbolic links of its existing part
// resolved.
std::string ResolvedPath(const std::string& path);

// Whether this user may write to the file or folder at `path`: no error when so.
TError WriteAccess(const std::string& path) noexcept;
// Whether the file at `path` may be replaced by a rename now: this user may write it and, on
// Windows, no other program holds it open without letting it be deleted.
TError MayReplace(const std::string& path) noexcept;
// Writes what the system holds of the file at `path` to the disk (fsync, FlushFileBuffers).
TError FlushFile(const std::string& path) noexcept;
// The same for the folder's list of names, so that renames in it outlast a power cut (POSIX;
// on Windows each rename is written through already).
TError FlushFolder(const std::string& path) noexcept;

// The full path of the running executable; empty when the system cannot tell.
std::string ExecutablePath();
// The text `key` of string table `table` ("041103A4": language 0411, code page 932) in the
// running executable's version resource, up to its NUL; empty when the executable has no
// such resource, table or key. None where executables carry no version resources (POSIX).
std::optional<std::string> ExecutableVersionText(std::string_view table, std::string_view key);
// The system's folder for temporary files, ending in the separator: $TMPDIR, else "/tmp/";
// on Windows the folder GetTempPathW names.
std::string TempFolder();
// The folder for this user's settings of the program: $XDG_CONFIG_HOME/varnelo, else
// $HOME/.config/varnelo; on Windows %APPDATA%\Varnelo. Not created here.
std::string UserSettingsFolder();

}  // namespace varnelo::os

// SPDX-License-Identifier: MIT
// Errors as the operating system reports them, and their texts for messages.
#pragma once

#include <string>

namespace varnelo::os {

// An error in the system's own numbering: errno on POSIX, GetLastError() on Windows. Zero is
// no error.
struct TError {
    int Code = 0;
    explicit operator bool() const noexcept { return Code != 0; }
};

// What callers tell apart; every other error is Other.
enum class TErrorKind {
    None,
    NotFound,       // no such file, or a folder of the path is missing
    NotADirectory,  // a part of the path that should be a folder is a file
    IsADirectory,   // a folder where a file was asked for
    AlreadyExists,
    Other,
};

TErrorKind KindOf(TError error) noexcept;

// The error of a folder opened where a file was asked for.
TError IsADirectoryError() noexcept;
// The error of a file that another user holds and so cannot be replaced now.
TError InUseError() noexcept;

// The words a user reads for the error: the errors a user meets with files in Japanese
// (missing, access, read-only, full, quota, not a folder, a folder, too many open files, input
// and output), any other as "システムエラー N" with the system's own description. The same text
// whatever the locale, and safe to call from any thread.
std::string SystemErrorText(TError error);

// The errors SystemErrorText names in its own words; each side of the layer sorts the
// system's codes into them.
enum class TErrorWords {
    Other,
    NotFound,
    AccessDenied,
    InUse,
    InvalidName,
    NetworkGone,
    ReadOnlyFileSystem,
    DiskFull,
    QuotaExceeded,
    NotAFolder,
    AFolder,
    TooManyOpenFiles,
    InputOutput,
};
// "システムエラー N", with `description` (the system's, maybe empty) after it; or the words.
std::string ErrorTextOf(TErrorWords words, TError error, const std::string& description);

}  // namespace varnelo::os

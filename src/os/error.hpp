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

// The system's description of the error, without a final full stop; the same text whatever
// the locale, and safe to call from any thread.
std::string SystemErrorText(TError error);

}  // namespace varnelo::os

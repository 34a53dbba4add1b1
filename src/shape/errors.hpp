// SPDX-License-Identifier: MIT
// Error classes shared by the whole core. Every error carries only its message text,
// byte for byte as shown to the user (Shift-JIS where the text is Japanese).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "os/error.hpp"

namespace varnelo {

// Base of every error the core raises.
class Exception : public std::runtime_error {
  public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// Text that does not convert to the number, date or value asked for.
class EConvertError : public Exception {
  public:
    using Exception::Exception;
};

// A file that cannot be opened, created, read or written.
class EInOutError : public Exception {
  public:
    using Exception::Exception;
};

// A stream write that did not write all of its bytes.
class EWriteError : public EInOutError {
  public:
    using EInOutError::EInOutError;
};

// Errors of the table layer.
class EDatabaseError : public Exception {
  public:
    using Exception::Exception;
};

// Errors the dBASE table engine detects itself.
class ELocalDbfError : public EDatabaseError {
  public:
    using EDatabaseError::EDatabaseError;
};

// A stream that could not give the bytes asked of it.
inline constexpr const char* kStreamReadErrorText = "ストリームの読み込みエラー";

// The message for a file that an operation failed on: ファイル "<path>" を<cannot>: <reason>,
// where `cannot` says what could not be done ("作成できません", "開けません").
inline std::string FileErrorText(const std::string& path, std::string_view cannot,
                                 std::string_view reason) {
    std::string text = "ファイル \"" + path + "\" を";
    text.append(cannot).append(": ").append(reason);
    return text;
}
inline std::string FileErrorText(const std::string& path, std::string_view cannot,
                                 os::TError error) {
    return FileErrorText(path, cannot, os::SystemErrorText(error));
}

// The message for an output file that cannot be created.
inline std::string CannotCreateFileText(const std::string& path, os::TError error) {
    return FileErrorText(path, "作成できません", error);
}

// A shapefile that is damaged or of a kind the reader does not take.
class EShapefileError : public Exception {
  public:
    using Exception::Exception;
};

}  // namespace varnelo

// SPDX-License-Identifier: MIT
// Error classes shared by the whole core. Every error carries only its message text,
// byte for byte as shown to the user (Shift-JIS where the text is Japanese).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "os/catalog.hpp"
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

// The message for a file that an operation failed on: `cannot` is the catalog's text of what
// could not be done (kShapeCannotCreateFile, kShapeCannotOpenFile, ...), with the path and the
// reason in its places.
inline std::string FileErrorText(TText cannot, const std::string& path, std::string_view reason) {
    return Text(cannot, path, reason);
}
inline std::string FileErrorText(TText cannot, const std::string& path, os::TError error) {
    return Text(cannot, path, os::SystemErrorText(error));
}

// The message for an output file that cannot be created.
inline std::string CannotCreateFileText(const std::string& path, os::TError error) {
    return FileErrorText(TText::kShapeCannotCreateFile, path, error);
}

// A shapefile that is damaged or of a kind the reader does not take.
class EShapefileError : public Exception {
  public:
    using Exception::Exception;
};

}  // namespace varnelo

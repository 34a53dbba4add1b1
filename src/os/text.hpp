// SPDX-License-Identifier: MIT
// Text of one character set made text of another, only where text is shown or where a file
// name crosses to the system; data is never converted.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnelo::os {

class TCharsetConverter {
  public:
    // Character sets by name: "UTF-8", "CP932", "CP1252", "ISO-8859-1", ... Raises
    // std::runtime_error "unknown character set "NAME"" for a name this system does not know.
    TCharsetConverter(const std::string& to, const std::string& from);
    ~TCharsetConverter();
    TCharsetConverter(const TCharsetConverter&) = delete;
    TCharsetConverter& operator=(const TCharsetConverter&) = delete;

    // Appends `in` converted to `out`. At a byte that does not convert (or a character cut
    // off at the end) it stops and answers false, unless `lenient`: then that byte becomes
    // "?" and conversion goes on after it.
    bool Convert(std::string_view in, std::string& out, bool lenient) const;

  private:
    void* state_ = nullptr;
};

// A path (UTF-8) as a batch list file holds it: in the system's ANSI code page on Windows,
// as every text file of that system does (code page 932 on Japanese Windows); unchanged
// elsewhere. None when that code page cannot hold a character of the path.
std::optional<std::string> PathToSystemText(const std::string& path);
// The other way: a path as read from such a file, as UTF-8; none when a byte of it is no
// character of that code page.
std::optional<std::string> PathFromSystemText(std::string_view text);

}  // namespace varnelo::os

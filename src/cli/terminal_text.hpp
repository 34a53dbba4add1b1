// SPDX-License-Identifier: MIT
// Text of a table shown on a UTF-8 terminal: stored bytes decoded from the table's code page
// for display only (the table is never changed), the user's UTF-8 typed the other way for
// searching, and the number of columns a text takes, for aligned output. Character sets go
// by name, so nothing depends on the locale.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "os/text.hpp"

namespace varnelo::cli {

class TTerminalText {
  public:
    // `charset`: the name of the stored text's character set ("CP932", "UTF-8", ...), or empty
    // to show the bytes as stored. Raises std::runtime_error for a name the system does not
    // know.
    explicit TTerminalText(const std::string& charset);
    ~TTerminalText();
    TTerminalText(const TTerminalText&) = delete;
    TTerminalText& operator=(const TTerminalText&) = delete;

    bool Raw() const noexcept { return !toTerminal_; }

    // Stored bytes as UTF-8. Bytes that do not decode and control characters show as "?",
    // so that a value can neither garble nor break a line. Raw: the bytes unchanged.
    std::string Show(std::string_view stored) const;
    // The user's UTF-8 text in the stored code page; none when it has a character the code
    // page cannot hold. Raw: the text unchanged.
    std::optional<std::string> Store(std::string_view utf8) const;
    // Terminal columns `shown` takes: two for wide East Asian characters, none for
    // combining marks, one for the rest. Raw: one per byte.
    std::size_t Width(std::string_view shown) const;

  private:
    std::unique_ptr<os::TCharsetConverter> toTerminal_;  // none for raw bytes
    std::unique_ptr<os::TCharsetConverter> fromTerminal_;
};

}  // namespace varnelo::cli

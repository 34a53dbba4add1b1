// SPDX-License-Identifier: MIT
// A table's text shown to a person, one rule for the command-line listing and both windows'
// viewers: stored bytes decoded from the table's code page for display only (the table is
// never changed), and the user's text the other way for searching. Character sets go by
// name, so nothing depends on the locale.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "os/text.hpp"

namespace varnelo {

class TDisplayText {
  public:
    // `charset`: the name of the stored text's character set ("CP932", "UTF-8", ...), or empty
    // to show the bytes as stored. Raises std::runtime_error for a name the system does not
    // know.
    explicit TDisplayText(const std::string& charset);
    ~TDisplayText();
    TDisplayText(const TDisplayText&) = delete;
    TDisplayText& operator=(const TDisplayText&) = delete;

    bool Raw() const noexcept { return !toScreen_; }

    // Stored bytes as UTF-8. Bytes that do not decode and control characters show as "?",
    // so that a value can neither garble the screen nor break a line. Raw: the bytes unchanged.
    std::string Show(std::string_view stored) const;
    // The user's UTF-8 text in the stored code page; none when it has a character the code
    // page cannot hold. Raw: the text unchanged.
    std::optional<std::string> Store(std::string_view utf8) const;

  private:
    std::unique_ptr<os::TCharsetConverter> toScreen_;  // none for raw bytes
    std::unique_ptr<os::TCharsetConverter> fromScreen_;
};

// A viewer's text of a table in the character set `charset` names; one that this system does
// not know gives way to code page 932, whose name then stands in `charset`, once
// `onFallback`, when given, has been told why. `Text` is TDisplayText or a kind of it.
template <class Text = TDisplayText>
std::unique_ptr<Text> DisplayTextFor(
    std::string& charset,
    const std::function<void(const std::runtime_error&)>& onFallback = nullptr) {
    try {
        return std::make_unique<Text>(charset);
    } catch (const std::runtime_error& error) {
        if (onFallback) {
            onFallback(error);
        }
        charset = "CP932";
        return std::make_unique<Text>(charset);
    }
}

}  // namespace varnelo

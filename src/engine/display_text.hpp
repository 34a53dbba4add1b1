// SPDX-License-Identifier: MIT
// Stored text shown to a person, one rule for the messages of a conversion, the command-line
// listing and both windows' viewers: stored bytes decoded from their code page for display
// only (the data is never changed), and the user's text the other way for searching.
// Character sets go by name, so nothing depends on the locale.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "os/text.hpp"
#include "shape/character_set.hpp"

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

// Names and values of a MIF/MID source as a message shows them: decoded from the code page its
// header's Charset names, code page 932 when it names none this system knows, as a viewer of
// the converted table shows them. The converter is made at the first text shown.
class TSourceText {
  public:
    explicit TSourceText(std::string_view mifCharset);
    ~TSourceText();
    TSourceText(const TSourceText&) = delete;
    TSourceText& operator=(const TSourceText&) = delete;

    // The bytes decoded (TDisplayText::Show), cut after `limit` of them on a character
    // boundary and followed by "..." when cut, so that a huge value cannot make a huge message.
    std::string Show(std::string_view stored, std::size_t limit = std::string_view::npos) const;

  private:
    const TDisplayText& Decoder() const;

    std::string mifCharset_;
    TCharacterSet characters_;
    mutable std::unique_ptr<TDisplayText> decoder_;
};

}  // namespace varnelo

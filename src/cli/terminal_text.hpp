// SPDX-License-Identifier: MIT
// Text of a table shown on a UTF-8 terminal: stored bytes decoded from the table's code page
// for display only (the table is never changed), the user's UTF-8 typed the other way for
// searching, and the number of columns a text takes, for aligned output. Character sets go
// by name, so nothing depends on the locale.
#pragma once

#include <cstddef>
#include <string_view>

#include "app/display_text.hpp"

namespace varnelo::cli {

// The stored text shown on the terminal (TDisplayText), and the columns it takes there.
class TTerminalText : public TDisplayText {
  public:
    using TDisplayText::TDisplayText;

    // Terminal columns `shown` takes: two for wide East Asian characters, none for
    // combining marks, one for the rest. Raw: one per byte.
    std::size_t Width(std::string_view shown) const;
};

}  // namespace varnelo::cli

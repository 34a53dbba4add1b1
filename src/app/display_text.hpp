// SPDX-License-Identifier: MIT
// A table's text shown to a person, one rule for the command-line listing and both windows'
// viewers (TDisplayText), with the fallback a viewer takes for a character set the system
// does not know.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/display_text.hpp"

namespace varnelo {

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

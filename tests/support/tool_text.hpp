// SPDX-License-Identifier: MIT
// A catalog text as a command-line tool run by the tests says it: in the language of the user
// who runs them, which the tool finds the same way (on Windows under Wine, the prefix's).
#pragma once

#include <string>

#include "os/catalog.hpp"

namespace varnelo::testing {

template <class... A>
std::string ToolText(TText id, const A&... args) {
    const TLanguage before = TextLanguage();
    SetTextLanguage(os::UserLanguage());
    std::string text = Text(id, args...);
    SetTextLanguage(before);
    return text;
}

}  // namespace varnelo::testing

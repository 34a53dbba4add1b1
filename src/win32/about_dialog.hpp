// SPDX-License-Identifier: MIT
// The about box: the program's icon, name and version, and an OK button that Enter, Esc and
// the close box press too. Made for each opening and released after it.
#pragma once

#include <windows.h>

#include <string_view>

namespace varnelo::win32 {

class TdlgAbout {
  public:
    // The controls' identifiers.
    static constexpr int kImage2 = 1001;
    static constexpr int kLabel1 = 1002;
    static constexpr int kVersion = 1003;  // lblVersion

    // Shows the box modally over `owner` and returns once it is closed.
    static void Show(HWND owner, std::string_view versionText);
};

}  // namespace varnelo::win32

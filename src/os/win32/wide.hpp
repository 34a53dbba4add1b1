// SPDX-License-Identifier: MIT
// Text at the Windows boundary: the program's UTF-8 as the UTF-16 of the W functions, and back.
#pragma once

#include <string>
#include <string_view>

namespace varnelo::os::win32 {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

}  // namespace varnelo::os::win32

// SPDX-License-Identifier: MIT
#include "../held_open.hpp"

#include <windows.h>

#include <string>

namespace varnelo::testing {

THeldOpen::THeldOpen(const std::string& path) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
    const HANDLE h =
        CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    handle_ = h == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<std::intptr_t>(h);
}

THeldOpen::~THeldOpen() {
    if (handle_ != 0) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
    }
}

}  // namespace varnelo::testing

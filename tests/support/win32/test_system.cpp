// SPDX-License-Identifier: MIT
// Windows has no resource limits, user identities or named pipes of the POSIX kind; the
// environment is set through the wide functions, as the program reads it.
#include "../test_system.hpp"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace varnelo::testing {
namespace {

std::wstring Wide(const std::string& text) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

}  // namespace

bool HavePosixFacilities() noexcept {
    return false;
}

bool LimitFileSize(std::uint64_t) {
    return false;
}

bool DropRootRights() {
    return false;
}

bool MakeNamedPipe(const std::string&) {
    return false;
}

void SetEnvironment(const std::string& name, const char* value) {
    // Both the system's block and the C library's copy, which getenv reads.
    SetEnvironmentVariableW(Wide(name).c_str(), value != nullptr ? Wide(value).c_str() : nullptr);
    _wputenv_s(Wide(name).c_str(), value != nullptr ? Wide(value).c_str() : L"");
}

TAddressSpaceCap::TAddressSpaceCap(std::uint64_t) {}

TAddressSpaceCap::~TAddressSpaceCap() = default;

}  // namespace varnelo::testing

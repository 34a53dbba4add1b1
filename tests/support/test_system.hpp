// SPDX-License-Identifier: MIT
// The system calls that only tests make: limits and a lesser identity for a child process,
// named pipes, the environment. POSIX systems have them all; Windows has none of them, and a
// test that needs one skips there, saying which.
#pragma once

#include <cstdint>
#include <string>

namespace varnelo::testing {

// True on POSIX systems, where everything below works.
bool HavePosixFacilities() noexcept;

// For a child process (os::RunInChild): files may not grow past `bytes`, and a write that
// would fails instead of ending the process. False when the limit cannot be set.
bool LimitFileSize(std::uint64_t bytes);

// For a child process: gives up root's rights, under which permissions are not enforced.
// False when the process is root and cannot give them up.
bool DropRootRights();

// A named pipe (FIFO) at `path`; false when none can be made.
bool MakeNamedPipe(const std::string& path);

// Sets the variable, or removes it for a null `value`.
void SetEnvironment(const std::string& name, const char* value);

// Caps the address space of this process for as long as it lives, `headroom` bytes above what
// it uses now, so that a reader allocating ahead of the data for a declared count fails loudly
// instead of being saved by overcommitted memory. Sanitizer builds, which reserve terabytes of
// shadow memory, and systems without such limits are left alone.
class TAddressSpaceCap {
  public:
    explicit TAddressSpaceCap(std::uint64_t headroom);
    ~TAddressSpaceCap();
    TAddressSpaceCap(const TAddressSpaceCap&) = delete;
    TAddressSpaceCap& operator=(const TAddressSpaceCap&) = delete;

  private:
    std::uint64_t savedSoft_ = 0;
    std::uint64_t savedHard_ = 0;
    bool active_ = false;
};

}  // namespace varnelo::testing

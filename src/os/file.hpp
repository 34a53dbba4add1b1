// SPDX-License-Identifier: MIT
// One open file: reads, writes, its size and kind, an advisory lock. Paths are UTF-8 on every
// system; every call answers the system's error instead of raising, so that callers word
// their own messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "os/error.hpp"

namespace varnelo::os {

enum class TFileMode {
    Read,       // an existing file read from its start; a named pipe waits for its writer
    ReadOnly,   // an existing file read at positions; never waits
    ReadWrite,  // an existing file read and written at positions; never waits
    Create,     // created, or an existing file emptied, and written; never waits
};

enum class TFileKind { None, Regular, Directory, Link, Other };

enum class TLockResult { Locked, Busy, Failed };

class TFile {
  public:
    TFile() noexcept = default;
    TFile(TFile&& other) noexcept;
    TFile& operator=(TFile&& other) noexcept;
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;
    ~TFile();

    // Opens `path`, closing what this object held. Other openers may read, write, rename and
    // remove the file meanwhile, as on POSIX. A folder opens only for Read and ReadOnly (then
    // Kind() tells); for the other modes it is IsADirectory.
    TError Open(const std::string& path, TFileMode mode);
    bool IsOpen() const noexcept { return handle_ != kClosed; }

    TFileKind Kind() const noexcept;
    TError Size(std::uint64_t& size) const;

    // Reads up to `count` bytes from the current position; `got` is 0 at the end.
    TError Read(void* buffer, std::size_t count, std::size_t& got);
    // Reads `count` bytes at `offset`, fewer only at the end of the file.
    TError ReadAt(std::uint64_t offset, void* buffer, std::size_t count, std::size_t& got);
    // Writes all `count` bytes at `offset`; a write the system takes only in part (a full
    // disk) is an error, with the bytes that were taken left in the file.
    TError WriteAt(std::uint64_t offset, const void* data, std::size_t count);

    // Takes the whole file's lock without waiting. Any number of shared holders or one
    // exclusive holder, whether they are in this process or in others; a lock this object
    // held before is given up first. Failed (with `error`) where the file system has no locks.
    TLockResult TryLock(bool exclusive, TError& error);
    void Unlock() noexcept;

    // Releases the file and its lock; closing a closed file does nothing.
    TError Close() noexcept;

  private:
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t handle_ = kClosed;  // a descriptor, or a HANDLE
    bool locked_ = false;
};

}  // namespace varnelo::os

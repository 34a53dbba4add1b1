// SPDX-License-Identifier: MIT
// Byte-level access to one table file: positioned reads and writes, its size, an advisory
// lock and closing. The table engine reads and writes only through this interface, so a
// memory file or a failing file can stand in for the disk in tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>

namespace varnelo {

enum class TStorageAccess { ReadOnly, ReadWrite };

// Shared: any number of shared holders, no exclusive one. Exclusive: one holder only.
enum class TLockKind { Shared, Exclusive };

class TTableStorage {
  public:
    virtual ~TTableStorage() = default;

    // Current size of the file in bytes.
    virtual std::uint64_t Size() = 0;

    // Reads up to out.size() bytes at `offset`; fewer only at the end of the file.
    // Returns the number of bytes read. A failing read raises EInOutError.
    virtual std::size_t ReadAt(std::uint64_t offset, std::span<std::byte> out) = 0;

    // Writes all of `data` at `offset`, growing the file when needed. A write that cannot
    // complete raises EWriteError; the bytes written before the failure stay in the file.
    virtual void WriteAt(std::uint64_t offset, std::span<const std::byte> data) = 0;

    // Takes the lock without waiting; false when another holder prevents it.
    virtual bool TryLock(TLockKind kind) = 0;
    virtual void Unlock() noexcept = 0;

    // Releases the lock and the file. Idempotent; the destructor closes as well.
    virtual void Close() noexcept = 0;
};

// Opens the file at `path` for the given access. Answers nullptr when no file exists
// there (a directory or another non-regular file counts as no file); raises EInOutError
// when a file exists but cannot be opened. Takes no lock.
using TTableStorageFactory =
    std::function<std::unique_ptr<TTableStorage>(const std::string& path, TStorageAccess access)>;

// The disk: positioned reads and writes of one open file, and its lock (so two openers
// conflict whether they live in one process or in two).
std::unique_ptr<TTableStorage> OpenDiskTableStorage(const std::string& path, TStorageAccess access);

// A file held in memory, shared by every storage opened on it, with its own lock state
// so that lock conflicts behave as on disk.
struct TMemoryFile {
    std::string Bytes;
    int SharedLocks = 0;
    bool ExclusiveLock = false;
};

class TMemoryTableStorage final : public TTableStorage {
  public:
    TMemoryTableStorage(std::shared_ptr<TMemoryFile> file, TStorageAccess access);
    ~TMemoryTableStorage() override;

    std::uint64_t Size() override;
    std::size_t ReadAt(std::uint64_t offset, std::span<std::byte> out) override;
    void WriteAt(std::uint64_t offset, std::span<const std::byte> data) override;
    bool TryLock(TLockKind kind) override;
    void Unlock() noexcept override;
    void Close() noexcept override;

  private:
    std::shared_ptr<TMemoryFile> file_;
    TStorageAccess access_;
    bool held_ = false;
    TLockKind heldKind_ = TLockKind::Shared;
};

// A factory over a set of memory files keyed by path; paths not in the set do not exist.
// The map is shared, so files added after the factory was made are found too.
using TMemoryFileSet = std::map<std::string, std::shared_ptr<TMemoryFile>>;
TTableStorageFactory MakeMemoryStorageFactory(std::shared_ptr<TMemoryFileSet> files);

}  // namespace varnelo

// SPDX-License-Identifier: MIT
#include "shape/table_storage.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "os/file.hpp"
#include "shape/errors.hpp"
#include "shape/output_stream.hpp"

namespace varnelo {
namespace {

std::string OpenFailureText(const std::string& path, os::TError error) {
    return Text(TText::kShapeCannotOpenTable, path, os::SystemErrorText(error));
}

class TDiskTableStorage final : public TTableStorage {
  public:
    explicit TDiskTableStorage(os::TFile file) : file_(std::move(file)) {}
    ~TDiskTableStorage() override { Close(); }
    TDiskTableStorage(const TDiskTableStorage&) = delete;
    TDiskTableStorage& operator=(const TDiskTableStorage&) = delete;

    std::uint64_t Size() override {
        std::uint64_t size = 0;
        if (file_.Size(size)) {
            throw EInOutError(Text(TText::kShapeStreamReadError));
        }
        return size;
    }

    std::size_t ReadAt(std::uint64_t offset, std::span<std::byte> out) override {
        std::size_t got = 0;
        if (file_.ReadAt(offset, out.data(), out.size(), got)) {
            throw EInOutError(Text(TText::kShapeStreamReadError));
        }
        return got;
    }

    void WriteAt(std::uint64_t offset, std::span<const std::byte> data) override {
        if (file_.WriteAt(offset, data.data(), data.size())) {
            throw EWriteError(Text(TText::kShapeStreamWriteError));
        }
    }

    bool TryLock(TLockKind kind) override {
        os::TError error;
        switch (file_.TryLock(kind == TLockKind::Exclusive, error)) {
            case os::TLockResult::Locked:
                return true;
            case os::TLockResult::Busy:
                return false;
            case os::TLockResult::Failed:
                break;
        }
        // No lock support on this file system: refuse rather than open unguarded.
        throw EInOutError(Text(TText::kShapeCannotLock, os::SystemErrorText(error)));
    }

    void Unlock() noexcept override { file_.Unlock(); }

    void Close() noexcept override { file_.Close(); }  // also drops the lock

  private:
    os::TFile file_;
};

}  // namespace

std::unique_ptr<TTableStorage> OpenDiskTableStorage(const std::string& path,
                                                    TStorageAccess access) {
    if (path.empty()) {
        return nullptr;
    }
    // A named pipe at this path does not stall the open; it is no regular file, so no table.
    os::TFile file;
    const os::TError error =
        file.Open(path, access == TStorageAccess::ReadWrite ? os::TFileMode::ReadWrite
                                                            : os::TFileMode::ReadOnly);
    if (error) {
        switch (os::KindOf(error)) {
            case os::TErrorKind::NotFound:
            case os::TErrorKind::NotADirectory:
            case os::TErrorKind::IsADirectory:
                return nullptr;
            default:
                throw EInOutError(OpenFailureText(path, error));
        }
    }
    if (file.Kind() != os::TFileKind::Regular) {
        return nullptr;
    }
    return std::make_unique<TDiskTableStorage>(std::move(file));
}

TMemoryTableStorage::TMemoryTableStorage(std::shared_ptr<TMemoryFile> file, TStorageAccess access)
    : file_(std::move(file)), access_(access) {}

TMemoryTableStorage::~TMemoryTableStorage() {
    Close();
}

std::uint64_t TMemoryTableStorage::Size() {
    return file_->Bytes.size();
}

std::size_t TMemoryTableStorage::ReadAt(std::uint64_t offset, std::span<std::byte> out) {
    const std::string& bytes = file_->Bytes;
    if (offset >= bytes.size()) {
        return 0;
    }
    const std::size_t n = std::min<std::size_t>(out.size(), bytes.size() - offset);
    if (n == 0) {
        return 0;
    }
    std::memcpy(out.data(), bytes.data() + offset, n);
    return n;
}

void TMemoryTableStorage::WriteAt(std::uint64_t offset, std::span<const std::byte> data) {
    if (access_ != TStorageAccess::ReadWrite) {
        throw EWriteError(Text(TText::kShapeStreamWriteError));
    }
    if (data.empty()) {
        return;
    }
    std::string& bytes = file_->Bytes;
    if (offset + data.size() > bytes.size()) {
        bytes.resize(offset + data.size(), '\0');
    }
    std::memcpy(bytes.data() + offset, data.data(), data.size());
}

bool TMemoryTableStorage::TryLock(TLockKind kind) {
    Unlock();
    if (file_->ExclusiveLock || (kind == TLockKind::Exclusive && file_->SharedLocks > 0)) {
        return false;
    }
    if (kind == TLockKind::Exclusive) {
        file_->ExclusiveLock = true;
    } else {
        ++file_->SharedLocks;
    }
    held_ = true;
    heldKind_ = kind;
    return true;
}

void TMemoryTableStorage::Unlock() noexcept {
    if (!held_) {
        return;
    }
    if (heldKind_ == TLockKind::Exclusive) {
        file_->ExclusiveLock = false;
    } else {
        --file_->SharedLocks;
    }
    held_ = false;
}

void TMemoryTableStorage::Close() noexcept {
    Unlock();
}

TTableStorageFactory MakeMemoryStorageFactory(std::shared_ptr<TMemoryFileSet> files) {
    return [files = std::move(files)](const std::string& path,
                                      TStorageAccess access) -> std::unique_ptr<TTableStorage> {
        const auto it = files->find(path);
        if (it == files->end()) {
            return nullptr;
        }
        return std::make_unique<TMemoryTableStorage>(it->second, access);
    };
}

}  // namespace varnelo

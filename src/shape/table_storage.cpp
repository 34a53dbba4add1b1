// SPDX-License-Identifier: MIT
#include "shape/table_storage.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "shape/errors.hpp"

namespace varnelo {
namespace {

const char* const kReadErrorText = "ストリームの読み込みエラー";
const char* const kWriteErrorText = "ストリームへの書き込みエラー";

std::string OpenFailureText(const std::string& path, int error) {
    return "テーブル \"" + path + "\" を開けません: " + SystemErrorText(error);
}

class TPosixTableStorage final : public TTableStorage {
  public:
    explicit TPosixTableStorage(int fd) : fd_(fd) {}
    ~TPosixTableStorage() override { Close(); }
    TPosixTableStorage(const TPosixTableStorage&) = delete;
    TPosixTableStorage& operator=(const TPosixTableStorage&) = delete;

    std::uint64_t Size() override {
        struct stat st {};
        if (fstat(fd_, &st) != 0) {
            throw EInOutError(kReadErrorText);
        }
        return static_cast<std::uint64_t>(st.st_size);
    }

    std::size_t ReadAt(std::uint64_t offset, std::span<std::byte> out) override {
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t n =
                pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                throw EInOutError(kReadErrorText);
            }
            if (n == 0) {
                break;  // end of file
            }
            done += static_cast<std::size_t>(n);
        }
        return done;
    }

    void WriteAt(std::uint64_t offset, std::span<const std::byte> data) override {
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = pwrite(fd_, data.data() + done, data.size() - done,
                                     static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                throw EWriteError(kWriteErrorText);
            }
            done += static_cast<std::size_t>(n);
        }
    }

    bool TryLock(TLockKind kind) override {
        const int operation = (kind == TLockKind::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
        for (;;) {
            if (flock(fd_, operation) == 0) {
                return true;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno == EWOULDBLOCK) {
                return false;
            }
            // No lock support on this file system: refuse rather than open unguarded.
            throw EInOutError(std::string("ファイルをロックできません: ") + SystemErrorText(errno));
        }
    }

    void Unlock() noexcept override {
        if (fd_ >= 0) {
            flock(fd_, LOCK_UN);
        }
    }

    void Close() noexcept override {
        if (fd_ >= 0) {
            ::close(fd_);  // also drops the flock held through this descriptor
            fd_ = -1;
        }
    }

  private:
    int fd_;
};

}  // namespace

std::unique_ptr<TTableStorage> OpenPosixTableStorage(const std::string& path,
                                                     TStorageAccess access) {
    if (path.empty()) {
        return nullptr;
    }
    // O_NONBLOCK keeps a FIFO at this path from stalling the open; it has no effect on
    // regular files, the only kind accepted below.
    const int flags = (access == TStorageAccess::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC |
                      O_NONBLOCK | O_NOCTTY;
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR || errno == EISDIR) {
            return nullptr;
        }
        throw EInOutError(OpenFailureText(path, errno));
    }
    auto storage = std::make_unique<TPosixTableStorage>(fd);
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        throw EInOutError(OpenFailureText(path, errno));
    }
    if (!S_ISREG(st.st_mode)) {
        return nullptr;
    }
    return storage;
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
        throw EWriteError(kWriteErrorText);
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

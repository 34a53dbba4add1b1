// SPDX-License-Identifier: MIT
// Files, folders and error texts on POSIX systems.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>
#include <utility>

#include "os/clock.hpp"
#include "os/error.hpp"
#include "os/file.hpp"
#include "os/file_system.hpp"

namespace varnelo::os {

// ---- errors ----

TErrorKind KindOf(TError error) noexcept {
    switch (error.Code) {
        case 0:
            return TErrorKind::None;
        case ENOENT:
            return TErrorKind::NotFound;
        case ENOTDIR:
            return TErrorKind::NotADirectory;
        case EISDIR:
            return TErrorKind::IsADirectory;
        case EEXIST:
            return TErrorKind::AlreadyExists;
        default:
            return TErrorKind::Other;
    }
}

TError IsADirectoryError() noexcept {
    return TError{EISDIR};
}

TError InUseError() noexcept {
    return TError{EBUSY};
}

std::string SystemErrorText(TError error) {
    TErrorWords words = TErrorWords::Other;
    switch (error.Code) {
        case ENOENT:
            words = TErrorWords::NotFound;
            break;
        case EACCES:
        case EPERM:
            words = TErrorWords::AccessDenied;
            break;
        case EROFS:
            words = TErrorWords::ReadOnlyFileSystem;
            break;
        case ENOSPC:
            words = TErrorWords::DiskFull;
            break;
        case EDQUOT:
            words = TErrorWords::QuotaExceeded;
            break;
        case ENOTDIR:
            words = TErrorWords::NotAFolder;
            break;
        case EISDIR:
            words = TErrorWords::AFolder;
            break;
        case EMFILE:
        case ENFILE:
            words = TErrorWords::TooManyOpenFiles;
            break;
        case EIO:
            words = TErrorWords::InputOutput;
            break;
        default:
            break;
    }
    // strerrordesc_np is English whatever the locale and safe from any thread (strerror is
    // neither).
    const char* description = strerrordesc_np(error.Code);
    return ErrorTextOf(words, error, description != nullptr ? description : "");
}

namespace {

TError LastError() noexcept {
    return TError{errno};
}

int Descriptor(std::intptr_t handle) noexcept {
    return static_cast<int>(handle);
}

}  // namespace

// ---- one open file ----

TError TFile::Open(const std::string& path, TFileMode mode) {
    Close();
    // O_NONBLOCK keeps a named pipe from stalling the open until its other end comes (the
    // open fails instead, or the pipe is seen as no regular file); it changes nothing for
    // regular files.
    int flags = O_CLOEXEC;
    switch (mode) {
        case TFileMode::Read:
            flags |= O_RDONLY;
            break;
        case TFileMode::ReadOnly:
            flags |= O_RDONLY | O_NONBLOCK | O_NOCTTY;
            break;
        case TFileMode::ReadWrite:
            flags |= O_RDWR | O_NONBLOCK | O_NOCTTY;
            break;
        case TFileMode::Create:
            flags |= O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK;
            break;
    }
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return LastError();
    }
    handle_ = fd;
    return {};
}

TFileKind TFile::Kind() const noexcept {
    struct stat st {};
    if (!IsOpen() || ::fstat(Descriptor(handle_), &st) != 0) {
        return TFileKind::None;
    }
    return S_ISREG(st.st_mode)   ? TFileKind::Regular
           : S_ISDIR(st.st_mode) ? TFileKind::Directory
                                 : TFileKind::Other;
}

TError TFile::Size(std::uint64_t& size) const {
    struct stat st {};
    if (::fstat(Descriptor(handle_), &st) != 0) {
        return LastError();
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return {};
}

TError TFile::Read(void* buffer, std::size_t count, std::size_t& got) {
    for (;;) {
        const ssize_t n = ::read(Descriptor(handle_), buffer, count);
        if (n >= 0) {
            got = static_cast<std::size_t>(n);
            return {};
        }
        if (errno != EINTR) {
            got = 0;
            return LastError();
        }
    }
}

TError TFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t count, std::size_t& got) {
    auto* out = static_cast<char*>(buffer);
    got = 0;
    while (got < count) {
        const ssize_t n =
            ::pread(Descriptor(handle_), out + got, count - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return LastError();
        }
        if (n == 0) {
            break;  // the end of the file
        }
        got += static_cast<std::size_t>(n);
    }
    return {};
}

TError TFile::WriteAt(std::uint64_t offset, const void* data, std::size_t count) {
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) - count) {
        return TError{EFBIG};
    }
    const auto* bytes = static_cast<const char*>(data);
    while (count > 0) {
        const ssize_t n = ::pwrite(Descriptor(handle_), bytes, count, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return LastError();
        }
        if (n == 0) {
            return TError{ENOSPC};  // no progress: the device takes no more
        }
        const auto written = static_cast<std::size_t>(n);
        bytes += written;
        count -= written;
        offset += written;
    }
    return {};
}

TLockResult TFile::TryLock(bool exclusive, TError& error) {
    // flock, not fcntl locks: two descriptors of one process conflict as two processes do.
    const int operation = (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    for (;;) {
        if (::flock(Descriptor(handle_), operation) == 0) {
            locked_ = true;
            return TLockResult::Locked;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EWOULDBLOCK) {
            return TLockResult::Busy;
        }
        error = LastError();
        return TLockResult::Failed;
    }
}

void TFile::Unlock() noexcept {
    if (IsOpen() && locked_) {
        ::flock(Descriptor(handle_), LOCK_UN);
        locked_ = false;
    }
}

TError TFile::Close() noexcept {
    if (!IsOpen()) {
        return {};
    }
    // Not retried on EINTR: on Linux the descriptor is released either way; its lock too.
    const int result = ::close(Descriptor(handle_));
    const TError error = result != 0 ? LastError() : TError{};
    handle_ = kClosed;
    locked_ = false;
    return error;
}

// ---- paths ----

std::filesystem::path FsPath(const std::string& path) {
    return std::filesystem::path(path);
}

std::string PathText(const std::filesystem::path& path) {
    return path.string();
}

char PathSeparator() noexcept {
    return '/';
}

std::size_t FileNameStart(std::string_view path) noexcept {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

TFileKind KindOfPath(const std::string& path) noexcept {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return TFileKind::None;
    }
    return S_ISREG(st.st_mode)   ? TFileKind::Regular
           : S_ISDIR(st.st_mode) ? TFileKind::Directory
                                 : TFileKind::Other;
}

TFileKind KindOfEntry(const std::string& path) noexcept {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return TFileKind::None;
    }
    return S_ISLNK(st.st_mode)   ? TFileKind::Link
           : S_ISREG(st.st_mode) ? TFileKind::Regular
           : S_ISDIR(st.st_mode) ? TFileKind::Directory
                                 : TFileKind::Other;
}

TError RemoveFile(const std::string& path) noexcept {
    return ::unlink(path.c_str()) == 0 ? TError{} : LastError();
}

TError RenameOver(const std::string& from, const std::string& to) noexcept {
    return ::rename(from.c_str(), to.c_str()) == 0 ? TError{} : LastError();
}

void KeepPermissions(const std::string& oldFile, const std::string& newFile) noexcept {
    struct stat old {};
    if (::stat(oldFile.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::chmod(newFile.c_str(), old.st_mode & 07777);
    }
}

TError CreateUniqueFile(const std::string& prefix, std::string& path) {
    std::string pattern = prefix + "XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        return LastError();
    }
    ::close(fd);
    path = std::move(pattern);
    return {};
}

TError CreateUniqueFolder(const std::string& prefix, std::string& path) {
    std::string pattern = prefix + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        return LastError();
    }
    path = std::move(pattern);
    return {};
}

std::optional<TFileId> FileIdOf(const std::string& path) noexcept {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return TFileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

TError WriteAccess(const std::string& path) noexcept {
    return ::access(path.c_str(), W_OK) == 0 ? TError{} : LastError();
}

TError MayReplace(const std::string& path) noexcept {
    return WriteAccess(path);
}

namespace {

TError Synchronize(const std::string& path, int flags) noexcept {
    const int fd = ::open(path.c_str(), flags | O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return LastError();
    }
    const TError error = ::fsync(fd) == 0 ? TError{} : LastError();
    ::close(fd);
    return error;
}

}  // namespace

TError FlushFile(const std::string& path) noexcept {
    return Synchronize(path, 0);
}

TError FlushFolder(const std::string& path) noexcept {
    return Synchronize(path.empty() ? std::string(".") : path, O_DIRECTORY);
}

// ---- time ----

std::tm LocalTime(std::time_t time) noexcept {
    std::tm local{};
    localtime_r(&time, &local);
    return local;
}

// ---- the program's places ----

std::string ExecutablePath() {
    std::error_code ec;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

std::optional<std::string> ExecutableVersionText(std::string_view, std::string_view) {
    return std::nullopt;
}

std::string TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    if (dir.back() != '/') {
        dir += '/';
    }
    return dir;
}

std::string UserSettingsFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && *xdg != '\0') {
        return std::string(xdg) + "/varnelo";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config/varnelo";
}

}  // namespace varnelo::os

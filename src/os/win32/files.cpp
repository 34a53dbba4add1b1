// SPDX-License-Identifier: MIT
// Files, folders and error texts on Windows: the W functions with UTF-16 paths, files shared
// for reading, writing and deleting as on POSIX, and locks on a byte no data ever reaches.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cwchar>
#include <utility>
#include <vector>

#include "os/clock.hpp"
#include "os/error.hpp"
#include "os/file.hpp"
#include "os/file_system.hpp"
#include "os/win32/wide.hpp"

namespace varnelo::os {

namespace win32 {

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), n);
    return wide;
}

std::string Utf8(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

}  // namespace win32

using win32::Utf8;
using win32::Wide;

namespace {

// Not in every SDK's headers.
constexpr DWORD kDirectoryNotSupported = 336;  // ERROR_DIRECTORY_NOT_SUPPORTED
constexpr DWORD kDiskQuotaExceeded = 1295;     // ERROR_DISK_QUOTA_EXCEEDED

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The lock lives on one byte far beyond any data: Windows locks are mandatory, so a lock on
// the data itself would keep even its holder's reads or writes out.
constexpr DWORD kLockOffsetHigh = 0x40000000;

TError LastError() noexcept {
    return TError{static_cast<int>(GetLastError())};
}

HANDLE Handle(std::intptr_t handle) noexcept {
    return reinterpret_cast<HANDLE>(handle);
}

OVERLAPPED At(std::uint64_t offset) noexcept {
    OVERLAPPED overlapped{};
    overlapped.Offset = static_cast<DWORD>(offset);
    overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return overlapped;
}

// Requests are cut to pieces a DWORD counts.
constexpr std::size_t kMaxRequest = std::size_t{1} << 30;

bool IsFolder(const std::wstring& path) noexcept {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

// ---- errors ----

// FormatMessageW's text for the error, in the system's language; empty when it has none.
std::string SystemDescription(TError error);

TErrorKind KindOf(TError error) noexcept {
    switch (static_cast<DWORD>(error.Code)) {
        case ERROR_SUCCESS:
            return TErrorKind::None;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
            return TErrorKind::NotFound;
        case ERROR_DIRECTORY:
            return TErrorKind::NotADirectory;
        case kDirectoryNotSupported:
            return TErrorKind::IsADirectory;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return TErrorKind::AlreadyExists;
        default:
            return TErrorKind::Other;
    }
}

TError IsADirectoryError() noexcept {
    return TError{static_cast<int>(kDirectoryNotSupported)};
}

TError InUseError() noexcept {
    return TError{ERROR_SHARING_VIOLATION};
}

std::string SystemErrorText(TError error) {
    TErrorWords words = TErrorWords::Other;
    switch (static_cast<DWORD>(error.Code)) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
            words = TErrorWords::NotFound;
            break;
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_NETNAME_DELETED:
        case ERROR_UNEXP_NET_ERR:
        case ERROR_NETWORK_UNREACHABLE:
        case ERROR_REM_NOT_LIST:
            words = TErrorWords::NetworkGone;
            break;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
            words = TErrorWords::InvalidName;
            break;
        case ERROR_ACCESS_DENIED:
            words = TErrorWords::AccessDenied;
            break;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            words = TErrorWords::InUse;
            break;
        case ERROR_WRITE_PROTECT:
            words = TErrorWords::ReadOnlyFileSystem;
            break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            words = TErrorWords::DiskFull;
            break;
        case kDiskQuotaExceeded:
            words = TErrorWords::QuotaExceeded;
            break;
        case ERROR_DIRECTORY:
            words = TErrorWords::NotAFolder;
            break;
        case kDirectoryNotSupported:
            words = TErrorWords::AFolder;
            break;
        case ERROR_TOO_MANY_OPEN_FILES:
            words = TErrorWords::TooManyOpenFiles;
            break;
        case ERROR_CRC:
        case ERROR_IO_DEVICE:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
            words = TErrorWords::InputOutput;
            break;
        default:
            break;
    }
    return ErrorTextOf(words, error, SystemDescription(error));
}

std::string SystemDescription(TError error) {
    wchar_t text[512];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(error.Code), 0, text, 512, nullptr);
    // Without the line end and the full stop the system puts after its sentence.
    while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n' || text[n - 1] == L' ' ||
                     text[n - 1] == L'.' || text[n - 1] == L'\x3002')) {
        --n;
    }
    return Utf8(std::wstring_view(text, n));
}

// ---- one open file ----

TError TFile::Open(const std::string& path, TFileMode mode) {
    Close();
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    // Backup semantics let a folder open, so that Kind() can tell what was named.
    DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS;
    switch (mode) {
        case TFileMode::Read:
            flags |= FILE_FLAG_SEQUENTIAL_SCAN;
            break;
        case TFileMode::ReadOnly:
            break;
        case TFileMode::ReadWrite:
            access = GENERIC_READ | GENERIC_WRITE;
            flags = FILE_ATTRIBUTE_NORMAL;
            break;
        case TFileMode::Create:
            access = GENERIC_WRITE;
            disposition = OPEN_ALWAYS;  // then emptied: CREATE_ALWAYS refuses hidden files
            flags = FILE_ATTRIBUTE_NORMAL;
            break;
    }
    const std::wstring wide = Wide(path);
    const HANDLE h =
        CreateFileW(wide.c_str(), access, kShareAll, nullptr, disposition, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return TError{static_cast<int>(
            error == ERROR_ACCESS_DENIED && IsFolder(wide) ? kDirectoryNotSupported : error)};
    }
    if (mode == TFileMode::Create && GetLastError() == ERROR_ALREADY_EXISTS && !SetEndOfFile(h)) {
        const TError error = LastError();
        CloseHandle(h);
        return error;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return {};
}

TFileKind TFile::Kind() const noexcept {
    if (!IsOpen()) {
        return TFileKind::None;
    }
    if (GetFileType(Handle(handle_)) != FILE_TYPE_DISK) {
        return TFileKind::Other;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(Handle(handle_), &info)) {
        return TFileKind::None;
    }
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? TFileKind::Directory
                                                                   : TFileKind::Regular;
}

TError TFile::Size(std::uint64_t& size) const {
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(Handle(handle_), &length)) {
        return LastError();
    }
    size = static_cast<std::uint64_t>(length.QuadPart);
    return {};
}

TError TFile::Read(void* buffer, std::size_t count, std::size_t& got) {
    DWORD n = 0;
    got = 0;
    if (!ReadFile(Handle(handle_), buffer, static_cast<DWORD>(std::min(count, kMaxRequest)), &n,
                  nullptr)) {
        const DWORD error = GetLastError();
        return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF
                   ? TError{}
                   : TError{static_cast<int>(error)};
    }
    got = n;
    return {};
}

TError TFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t count, std::size_t& got) {
    auto* out = static_cast<char*>(buffer);
    got = 0;
    while (got < count) {
        OVERLAPPED at = At(offset + got);
        DWORD n = 0;
        if (!ReadFile(Handle(handle_), out + got,
                      static_cast<DWORD>(std::min(count - got, kMaxRequest)), &n, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) {
                break;
            }
            return LastError();
        }
        if (n == 0) {
            break;  // the end of the file
        }
        got += n;
    }
    return {};
}

TError TFile::WriteAt(std::uint64_t offset, const void* data, std::size_t count) {
    const auto* bytes = static_cast<const char*>(data);
    while (count > 0) {
        OVERLAPPED at = At(offset);
        DWORD n = 0;
        if (!WriteFile(Handle(handle_), bytes, static_cast<DWORD>(std::min(count, kMaxRequest)), &n,
                       &at)) {
            return LastError();
        }
        if (n == 0) {
            return TError{ERROR_DISK_FULL};  // no progress: the device takes no more
        }
        bytes += n;
        count -= n;
        offset += n;
    }
    return {};
}

TLockResult TFile::TryLock(bool exclusive, TError& error) {
    Unlock();  // a lock is changed by giving it up first, as flock does
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (LockFileEx(Handle(handle_), flags, 0, 1, 0, &at)) {
        locked_ = true;
        return TLockResult::Locked;
    }
    const DWORD code = GetLastError();
    if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING) {
        return TLockResult::Busy;
    }
    error = TError{static_cast<int>(code)};
    return TLockResult::Failed;
}

void TFile::Unlock() noexcept {
    if (IsOpen() && locked_) {
        OVERLAPPED at{};
        at.OffsetHigh = kLockOffsetHigh;
        UnlockFileEx(Handle(handle_), 0, 1, 0, &at);
        locked_ = false;
    }
}

TError TFile::Close() noexcept {
    if (!IsOpen()) {
        return {};
    }
    const TError error = CloseHandle(Handle(handle_)) ? TError{} : LastError();  // and its lock
    handle_ = kClosed;
    locked_ = false;
    return error;
}

// ---- paths ----

std::filesystem::path FsPath(const std::string& path) {
    return std::filesystem::path(Wide(path));
}

std::string PathText(const std::filesystem::path& path) {
    return Utf8(path.native());
}

char PathSeparator() noexcept {
    return '\\';
}

std::size_t FileNameStart(std::string_view path) noexcept {
    const std::size_t separator = path.find_last_of("\\/:");
    return separator == std::string_view::npos ? 0 : separator + 1;
}

TFileKind KindOfPath(const std::string& path) noexcept {
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return TFileKind::None;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? TFileKind::Directory
           : (attributes & FILE_ATTRIBUTE_DEVICE) != 0  ? TFileKind::Other
                                                        : TFileKind::Regular;
}

TFileKind KindOfEntry(const std::string& path) noexcept {
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return TFileKind::Link;
    }
    return KindOfPath(path);
}

TError RemoveFile(const std::string& path) noexcept {
    return DeleteFileW(Wide(path).c_str()) ? TError{} : LastError();
}

TError RenameOver(const std::string& from, const std::string& to) noexcept {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? TError{}
               : LastError();
}

void KeepPermissions(const std::string&, const std::string&) noexcept {
    // A new file takes the permissions of its folder; the read-only attribute is not carried
    // over, since a read-only file could not be replaced the next time.
}

namespace {

// Six letters or digits that differ from call to call and from process to process.
std::string UniqueSuffix() {
    static std::atomic<std::uint64_t> counter{0};
    constexpr std::string_view kLetters =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uint64_t seed =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) ^
        (++counter * 0x9E3779B97F4A7C15u);
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        seed = seed * 6364136223846793005u + 1442695040888963407u;
        suffix += kLetters[(seed >> 33) % kLetters.size()];
    }
    return suffix;
}

// Tries names until `create` makes one that was not there.
template <typename CreateFn>
TError CreateUnique(const std::string& prefix, std::string& path, CreateFn&& create) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = prefix + UniqueSuffix();
        if (create(Wide(candidate))) {
            path = candidate;
            return {};
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            return TError{static_cast<int>(error)};
        }
    }
    return TError{ERROR_FILE_EXISTS};
}

}  // namespace

TError CreateUniqueFile(const std::string& prefix, std::string& path) {
    return CreateUnique(prefix, path, [](const std::wstring& name) {
        const HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            return false;
        }
        CloseHandle(h);
        return true;
    });
}

TError CreateUniqueFolder(const std::string& prefix, std::string& path) {
    return CreateUnique(prefix, path, [](const std::wstring& name) {
        return CreateDirectoryW(name.c_str(), nullptr) != 0;
    });
}

std::optional<TFileId> FileIdOf(const std::string& path) noexcept {
    const HANDLE h = CreateFileW(Wide(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (!known) {
        return std::nullopt;
    }
    return TFileId{info.dwVolumeSerialNumber,
                   (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

namespace {

// Whether the file opens with `access`, every kind of sharing allowed to others.
TError OpenAndClose(const std::string& path, DWORD access) noexcept {
    const HANDLE h = CreateFileW(Wide(path).c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    CloseHandle(h);
    return {};
}

}  // namespace

TError WriteAccess(const std::string& path) noexcept {
    // Whether the system lets this user write is only known by trying: a folder's read-only
    // attribute means nothing, and its permissions are lists of rules.
    if (KindOfPath(path) == TFileKind::Directory) {
        std::string probe;
        const std::string folder =
            path.empty() || path.back() == '\\' || path.back() == '/' ? path : path + "\\";
        if (const TError error = CreateUniqueFile(folder + ".varnelo-", probe)) {
            return error;
        }
        RemoveFile(probe);
        return {};
    }
    return OpenAndClose(path, GENERIC_WRITE);
}

TError MayReplace(const std::string& path) noexcept {
    // A rename over the file opens it for deleting, which a program that holds it open
    // without FILE_SHARE_DELETE refuses; so does this.
    return OpenAndClose(path, GENERIC_WRITE | DELETE);
}

TError FlushFile(const std::string& path) noexcept {
    const HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, kShareAll, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    const TError error = FlushFileBuffers(h) ? TError{} : LastError();
    CloseHandle(h);
    return error;
}

TError FlushFolder(const std::string&) noexcept {
    return {};  // MoveFileExW with MOVEFILE_WRITE_THROUGH has written each rename
}

// ---- time ----

std::tm LocalTime(std::time_t time) noexcept {
    std::tm local{};
    localtime_s(&local, &time);
    return local;
}

// ---- the program's places ----

std::string ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) {
            return {};
        }
        if (n < path.size()) {
            path.resize(n);
            return Utf8(path);
        }
        path.resize(path.size() * 2);
    }
}

std::optional<std::string> ExecutableVersionText(std::string_view table, std::string_view key) {
    const std::wstring exe = Wide(ExecutablePath());
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    if (size == 0) {
        return std::string();
    }
    std::vector<char> info(size, '\0');
    if (!GetFileVersionInfoW(exe.c_str(), 0, size, info.data())) {
        return std::string();
    }
    const std::wstring path =
        Wide("\\StringFileInfo\\" + std::string(table) + "\\" + std::string(key));
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || value == nullptr) {
        return std::string();
    }
    const auto* text = static_cast<const wchar_t*>(value);
    return Utf8(std::wstring_view(text, wcsnlen(text, length)));
}

std::string TempFolder() {
    wchar_t buffer[MAX_PATH + 2];
    const DWORD n = GetTempPathW(MAX_PATH + 2, buffer);
    std::string dir = n > 0 && n <= MAX_PATH + 1 ? Utf8(std::wstring_view(buffer, n)) : ".\\";
    if (dir.back() != '\\') {
        dir += '\\';
    }
    return dir;
}

std::string UserSettingsFolder() {
    wchar_t buffer[32768];
    const DWORD n = GetEnvironmentVariableW(L"APPDATA", buffer, 32768);
    const std::string appData = n > 0 && n < 32768 ? Utf8(std::wstring_view(buffer, n)) : ".";
    return appData + "\\Varnelo";
}

}  // namespace varnelo::os

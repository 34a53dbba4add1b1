// SPDX-License-Identifier: MIT
// Seekable output byte streams: the buffered file stream the converter writes its geometry
// files through, a memory stream, and a wrapper that fails on purpose after a number of
// bytes so that the handling of write errors can be exercised.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "os/file.hpp"

namespace varnelo {

// A byte stream written at a current position. Writing past the end extends the stream;
// writing before the end overwrites. Seeking past the end is allowed and the gap reads as
// zero bytes once something is written after it.
class TOutputStream {
  public:
    TOutputStream() = default;
    TOutputStream(const TOutputStream&) = delete;
    TOutputStream& operator=(const TOutputStream&) = delete;
    virtual ~TOutputStream() = default;

    // Writes all `count` bytes at the current position and moves past them, or raises
    // EWriteError with the text kShapeStreamWriteError.
    virtual void Write(const void* data, std::size_t count) = 0;
    virtual void Seek(std::uint64_t position) = 0;
    virtual std::uint64_t Position() const = 0;
    // Length of the stream including bytes not yet handed to the system.
    virtual std::uint64_t Size() const = 0;
    // Hands buffered bytes to the destination.
    virtual void Flush() = 0;
    // Flushes and releases the destination; later writes raise EWriteError. Closing twice
    // does nothing.
    virtual void Close() = 0;
};

// A file created empty (an existing one is truncated) and written through a user-space
// buffer, so that small field writes cost no system call. The buffer starts small and doubles
// as writes fill it, up to `bufferSize`, so that a small file costs a small buffer. The
// process is assumed to be the file's only writer while the stream is open.
class TFileOutputStream final : public TOutputStream {
  public:
    static constexpr std::size_t kDefaultBufferSize = std::size_t{256} << 10;
    static constexpr std::size_t kFirstBufferSize = std::size_t{16} << 10;

    // Raises EInOutError with CannotCreateFileText when the file cannot be created.
    explicit TFileOutputStream(const std::string& path,
                               std::size_t bufferSize = kDefaultBufferSize);
    // Closes without raising; call Close() first to learn about a failed final write.
    ~TFileOutputStream() override;

    void Write(const void* data, std::size_t count) override;
    void Seek(std::uint64_t position) override;
    std::uint64_t Position() const override { return bufferStart_ + used_; }
    std::uint64_t Size() const override;
    void Flush() override;
    void Close() override;

  private:
    void EnsureOpen() const;
    void WriteAt(std::uint64_t offset, const std::byte* data, std::size_t count);
    void FlushBuffer();

    os::TFile file_;
    std::unique_ptr<std::byte[]> buffer_;
    std::size_t capacity_ = 0;
    std::size_t maxCapacity_ = 0;
    std::size_t used_ = 0;
    std::uint64_t bufferStart_ = 0;  // file offset that buffer_[0] belongs at
    std::uint64_t fileSize_ = 0;     // length of what has reached the file
};

// Creates the file at `path` for writing; see TFileOutputStream.
std::unique_ptr<TOutputStream> CreateFileOutputStream(const std::string& path);

// Keeps every byte in memory.
class TMemoryOutputStream final : public TOutputStream {
  public:
    void Write(const void* data, std::size_t count) override;
    void Seek(std::uint64_t position) override;
    std::uint64_t Position() const override { return position_; }
    std::uint64_t Size() const override { return bytes_.size(); }
    void Flush() override {}
    void Close() override { closed_ = true; }

    const std::vector<std::byte>& Bytes() const noexcept { return bytes_; }
    // For changing bytes in place, such as numbers known only once the bytes are written.
    std::vector<std::byte>& Bytes() noexcept { return bytes_; }
    // Empties the stream for writing anew, keeping the memory it had.
    void Clear() noexcept {
        bytes_.clear();
        position_ = 0;
        closed_ = false;
    }

  private:
    std::vector<std::byte> bytes_;
    std::size_t position_ = 0;
    bool closed_ = false;
};

// Passes everything to another stream until `writableBytes` bytes have been written in
// total; the write that would go beyond passes on the bytes that still fit and then raises
// EWriteError, as a short write on a full disk does. Later writes fail at once.
class TFaultInjectingOutputStream final : public TOutputStream {
  public:
    TFaultInjectingOutputStream(TOutputStream& target, std::uint64_t writableBytes) noexcept
        : target_(target), remaining_(writableBytes) {}

    void Write(const void* data, std::size_t count) override;
    void Seek(std::uint64_t position) override { target_.Seek(position); }
    std::uint64_t Position() const override { return target_.Position(); }
    std::uint64_t Size() const override { return target_.Size(); }
    void Flush() override { target_.Flush(); }
    void Close() override { target_.Close(); }

  private:
    TOutputStream& target_;
    std::uint64_t remaining_;
};

}  // namespace varnelo

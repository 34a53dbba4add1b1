// SPDX-License-Identifier: MIT
#include "shape/output_stream.hpp"

#include <algorithm>
#include <cstring>
#include <limits>

#include "shape/errors.hpp"

namespace varnelo {

namespace {

[[noreturn]] void RaiseWriteError() {
    throw EWriteError(Text(TText::kShapeStreamWriteError));
}

}  // namespace

TFileOutputStream::TFileOutputStream(const std::string& path, std::size_t bufferSize)
    : maxCapacity_(std::max<std::size_t>(bufferSize, 1)) {
    capacity_ = std::min(maxCapacity_, kFirstBufferSize);
    buffer_ = std::make_unique_for_overwrite<std::byte[]>(capacity_);
    // A named pipe at this path fails the open instead of stalling it until some reader comes.
    if (const os::TError error = file_.Open(path, os::TFileMode::Create)) {
        throw EInOutError(CannotCreateFileText(path, error));
    }
}

TFileOutputStream::~TFileOutputStream() {
    try {
        Close();
    } catch (...) {
        // A destructor must not raise; callers that care call Close() themselves.
    }
}

void TFileOutputStream::EnsureOpen() const {
    if (!file_.IsOpen()) {
        RaiseWriteError();
    }
}

void TFileOutputStream::WriteAt(std::uint64_t offset, const std::byte* data, std::size_t count) {
    // Zero progress (a full device) and every other failure alike end the stream's writing.
    if (file_.WriteAt(offset, data, count)) {
        RaiseWriteError();
    }
    fileSize_ = std::max(fileSize_, offset + count);
}

void TFileOutputStream::FlushBuffer() {
    if (used_ == 0) {
        return;
    }
    const std::size_t pending = used_;
    // The buffered bytes are given up even when the write fails, so that a later Close()
    // does not report the same failure again.
    used_ = 0;
    WriteAt(bufferStart_, buffer_.get(), pending);
    bufferStart_ += pending;
}

void TFileOutputStream::Write(const void* data, std::size_t count) {
    EnsureOpen();
    if (count == 0) {
        return;
    }
    const auto* bytes = static_cast<const std::byte*>(data);
    if (count > capacity_ - used_ && capacity_ < maxCapacity_) {
        // Grown before anything is handed to the system, so that a small file is written
        // in one go and a large one soon through the whole buffer.
        const std::size_t grown = std::min(maxCapacity_, std::max(capacity_ * 2, used_ + count));
        auto larger = std::make_unique_for_overwrite<std::byte[]>(grown);
        std::memcpy(larger.get(), buffer_.get(), used_);
        buffer_ = std::move(larger);
        capacity_ = grown;
    }
    if (count > capacity_ - used_) {
        FlushBuffer();
        if (count >= capacity_) {
            // Large blocks go straight to the file instead of through the buffer.
            WriteAt(bufferStart_, bytes, count);
            bufferStart_ += count;
            return;
        }
    }
    std::memcpy(buffer_.get() + used_, bytes, count);
    used_ += count;
}

void TFileOutputStream::Seek(std::uint64_t position) {
    EnsureOpen();
    FlushBuffer();
    bufferStart_ = position;
}

std::uint64_t TFileOutputStream::Size() const {
    // A seek alone does not lengthen the file; only bytes written after it do.
    return used_ > 0 ? std::max(fileSize_, Position()) : fileSize_;
}

void TFileOutputStream::Flush() {
    EnsureOpen();
    FlushBuffer();
}

void TFileOutputStream::Close() {
    if (!file_.IsOpen()) {
        return;
    }
    bool failed = false;
    try {
        FlushBuffer();
    } catch (const EWriteError&) {
        failed = true;
    }
    if (file_.Close()) {
        failed = true;
    }
    if (failed) {
        RaiseWriteError();
    }
}

std::unique_ptr<TOutputStream> CreateFileOutputStream(const std::string& path) {
    return std::make_unique<TFileOutputStream>(path);
}

void TMemoryOutputStream::Write(const void* data, std::size_t count) {
    if (closed_) {
        RaiseWriteError();
    }
    if (count == 0) {
        return;
    }
    const auto* bytes = static_cast<const std::byte*>(data);
    if (position_ == bytes_.size()) {
        // Appended without filling the new room with zeros first.
        bytes_.insert(bytes_.end(), bytes, bytes + count);
    } else {
        if (position_ + count > bytes_.size()) {
            bytes_.resize(position_ + count);
        }
        std::memcpy(bytes_.data() + position_, bytes, count);
    }
    position_ += count;
}

void TMemoryOutputStream::Seek(std::uint64_t position) {
    if (closed_ || position > std::numeric_limits<std::size_t>::max() / 2) {
        RaiseWriteError();
    }
    position_ = static_cast<std::size_t>(position);
}

void TFaultInjectingOutputStream::Write(const void* data, std::size_t count) {
    if (count <= remaining_) {
        target_.Write(data, count);
        remaining_ -= count;
        return;
    }
    const auto fitting = static_cast<std::size_t>(remaining_);
    remaining_ = 0;
    target_.Write(data, fitting);
    RaiseWriteError();
}

}  // namespace varnelo

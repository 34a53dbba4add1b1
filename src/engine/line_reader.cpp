// SPDX-License-Identifier: MIT
#include "engine/line_reader.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "shape/errors.hpp"

namespace varnelo {

namespace {

constexpr char kCtrlZ = 26;

// Appends `count` bytes to `out`, leaving out every carriage return: a CR never belongs to
// a line, whether it ends one (CR LF) or stands alone.
void AppendWithoutCR(std::string& out, const char* bytes, std::size_t count) {
    while (count > 0) {
        const auto* cr = static_cast<const char*>(std::memchr(bytes, '\r', count));
        if (cr == nullptr) {
            out.append(bytes, count);
            return;
        }
        const auto before = static_cast<std::size_t>(cr - bytes);
        out.append(bytes, before);
        bytes += before + 1;
        count -= before + 1;
    }
}

}  // namespace

// ---- TFileSource ----

TFileSource::TFileSource(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        const int error = errno;
        throw EInOutError("ファイル \"" + path + "\" を開けません: " + SystemErrorText(error));
    }
    struct stat info {};
    if (::fstat(fd_, &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            ::close(fd_);
            fd_ = -1;
            throw EInOutError("ファイル \"" + path + "\" を開けません: " + SystemErrorText(EISDIR));
        }
        if (S_ISREG(info.st_mode)) {
            size_ = static_cast<std::uint64_t>(info.st_size);
        }
    }
}

TFileSource::~TFileSource() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::size_t TFileSource::Read(char* buffer, std::size_t capacity) {
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, capacity);
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            const int error = errno;
            throw EInOutError("ファイル \"" + path_ +
                              "\" を読み込めません: " + SystemErrorText(error));
        }
    }
}

// ---- TMemorySource ----

TMemorySource::TMemorySource(std::string bytes, std::size_t maxChunk)
    : bytes_(std::move(bytes)), maxChunk_(std::max<std::size_t>(maxChunk, 1)) {}

std::size_t TMemorySource::Read(char* buffer, std::size_t capacity) {
    const std::size_t count = std::min({capacity, maxChunk_, bytes_.size() - offset_});
    std::memcpy(buffer, bytes_.data() + offset_, count);
    offset_ += count;
    return count;
}

// ---- TLineReader ----

TLineReader::TLineReader(std::unique_ptr<IByteSource> source, std::size_t bufferSize)
    : source_(std::move(source)),
      buffer_(std::make_unique<char[]>(std::max<std::size_t>(bufferSize, 1))),
      capacity_(std::max<std::size_t>(bufferSize, 1)) {}

TLineReader TLineReader::FromFile(const std::string& path) {
    return TLineReader(std::make_unique<TFileSource>(path));
}

TLineReader TLineReader::FromString(std::string bytes, std::size_t maxChunk) {
    return TLineReader(std::make_unique<TMemorySource>(std::move(bytes), maxChunk));
}

TLineReader::TLineReader(TLineReader&&) noexcept = default;
TLineReader& TLineReader::operator=(TLineReader&&) noexcept = default;
TLineReader::~TLineReader() = default;

// Replaces the consumed chunk by the next one. A Ctrl-Z cuts the chunk and stops all
// further reading, so nothing at or after it is ever seen.
bool TLineReader::Refill() {
    pos_ = 0;
    end_ = 0;
    if (sourceEnded_) {
        return false;
    }
    std::size_t got = source_->Read(buffer_.get(), capacity_);
    if (got == 0) {
        sourceEnded_ = true;
        return false;
    }
    if (const auto* stop = static_cast<const char*>(std::memchr(buffer_.get(), kCtrlZ, got))) {
        got = static_cast<std::size_t>(stop - buffer_.get());
        sourceEnded_ = true;
    }
    end_ = got;
    return got > 0;
}

bool TLineReader::Eof() {
    if (hasPushed_ || pos_ < end_) {
        return false;
    }
    return !Refill();
}

std::string_view TLineReader::ReadLineView() {
    if (hasPushed_) {
        hasPushed_ = false;
        previousLineNumber_ = lineNumber_;
        lineNumber_ = pushedLineNumber_;
        lastEndedLine_ = pushedEndedLine_;
        lastEndCrLf_ = pushedEndCrLf_;
        return pushed_;
    }
    previousLineNumber_ = lineNumber_;
    if (pos_ == end_ && !Refill()) {
        lastEndedLine_ = false;
        return {};
    }
    ++lineNumber_;

    const char* start = buffer_.get() + pos_;
    const std::size_t available = end_ - pos_;
    const auto* lf = static_cast<const char*>(std::memchr(start, '\n', available));
    if (lf == nullptr) {
        return ReadLongLine(start, available);
    }
    std::size_t length = static_cast<std::size_t>(lf - start);
    pos_ += length + 1;
    bytesConsumed_ += length + 1;
    lastEndedLine_ = true;
    lastEndCrLf_ = length > 0 && start[length - 1] == '\r';
    if (lastEndCrLf_) {
        --length;
    }
    // The common case: the whole line lies in the chunk and holds no lone CR, so the
    // caller can look at the chunk itself.
    if (std::memchr(start, '\r', length) == nullptr) {
        return {start, length};
    }
    line_.clear();
    AppendWithoutCR(line_, start, length);
    return line_;
}

// The rest of the chunk holds no line end: collect the line across as many chunks as
// it needs.
std::string_view TLineReader::ReadLongLine(const char* start, std::size_t available) {
    line_.clear();
    AppendWithoutCR(line_, start, available);
    bytesConsumed_ += available;
    pos_ = end_;
    // The CR of a CR LF may end the chunk before the one that holds the LF.
    bool crBefore = available > 0 && start[available - 1] == '\r';
    lastEndedLine_ = false;
    while (Refill()) {
        const char* chunk = buffer_.get();
        const auto* lf = static_cast<const char*>(std::memchr(chunk, '\n', end_));
        const std::size_t length = lf ? static_cast<std::size_t>(lf - chunk) : end_;
        AppendWithoutCR(line_, chunk, length);
        const std::size_t consumed = lf ? length + 1 : length;
        pos_ = consumed;
        bytesConsumed_ += consumed;
        if (lf != nullptr) {
            lastEndedLine_ = true;
            lastEndCrLf_ = length > 0 ? chunk[length - 1] == '\r' : crBefore;
            break;
        }
        crBefore = length > 0 ? chunk[length - 1] == '\r' : crBefore;
    }
    return line_;
}

void TLineReader::PushBack(std::string_view line) {
    if (hasPushed_) {
        throw std::logic_error("TLineReader: only one line can be pushed back");
    }
    pushed_.assign(line.data(), line.size());
    hasPushed_ = true;
    pushedEndedLine_ = lastEndedLine_;
    pushedEndCrLf_ = lastEndCrLf_;
    pushedLineNumber_ = lineNumber_;
    lineNumber_ = previousLineNumber_;
}

}  // namespace varnelo

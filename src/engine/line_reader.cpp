// SPDX-License-Identifier: MIT
#include "engine/line_reader.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "shape/errors.hpp"

namespace varnelo {

namespace {

constexpr char kCtrlZ = 26;
// The first buffer of a source of unknown size, and the smallest one made.
constexpr std::size_t kFirstChunk = std::size_t{64} << 10;
constexpr std::size_t kSmallestChunk = std::size_t{4} << 10;

std::size_t FirstCapacity(const IByteSource& source, std::size_t maxCapacity) {
    const std::uint64_t size = source.SizeHint();
    const std::uint64_t wanted =
        size > 0 ? std::max<std::uint64_t>(size + 1, kSmallestChunk) : kFirstChunk;
    return static_cast<std::size_t>(std::min<std::uint64_t>(wanted, maxCapacity));
}

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
    os::TError error = file_.Open(path, os::TFileMode::Read);
    if (!error) {
        const os::TFileKind kind = file_.Kind();
        if (kind == os::TFileKind::Directory) {
            error = os::IsADirectoryError();
        } else if (kind == os::TFileKind::Regular && file_.Size(size_)) {
            size_ = 0;
        }
    }
    if (error) {
        throw EInOutError(FileErrorText(TText::kShapeCannotOpenFile, path, error));
    }
}

std::size_t TFileSource::Read(char* buffer, std::size_t capacity) {
    std::size_t got = 0;
    // Read goes on where the last read ended; a source moved by SeekTo reads at its offset.
    const os::TError error = positioned_ ? file_.ReadAt(offset_, buffer, capacity, got)
                                         : file_.Read(buffer, capacity, got);
    if (error) {
        throw EInOutError(FileErrorText(TText::kShapeCannotReadFile, path_, error));
    }
    offset_ += got;
    return got;
}

bool TFileSource::SeekTo(std::uint64_t offset) {
    if (file_.Kind() != os::TFileKind::Regular) {
        return false;
    }
    positioned_ = true;
    offset_ = offset;
    return true;
}

std::string ReadWholeFile(const std::string& path) {
    TFileSource source(path);
    std::string bytes;
    std::array<char, 65536> chunk;
    while (const std::size_t n = source.Read(chunk.data(), chunk.size())) {
        bytes.append(chunk.data(), n);
    }
    return bytes;
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

bool TMemorySource::SeekTo(std::uint64_t offset) {
    offset_ = static_cast<std::size_t>(std::min<std::uint64_t>(offset, bytes_.size()));
    return true;
}

// ---- TLineReader ----

TLineReader::TLineReader(std::unique_ptr<IByteSource> source, std::size_t bufferSize)
    : source_(std::move(source)), maxCapacity_(std::max<std::size_t>(bufferSize, 1)) {
    capacity_ = FirstCapacity(*source_, maxCapacity_);
    buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
}

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
    const bool filled = end_ == capacity_;
    pos_ = 0;
    end_ = 0;
    if (sourceEnded_) {
        return false;
    }
    if (filled && capacity_ < maxCapacity_) {
        // The source holds more than the buffer took at once: read larger chunks from now on.
        capacity_ = std::min(capacity_ * 2, maxCapacity_);
        buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
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

void TLineReader::SkipTo(std::uint64_t offset, std::int64_t lines, bool atEnd) {
    if (hasPushed_) {
        throw std::logic_error("TLineReader: cannot skip with a line pushed back");
    }
    if (!atEnd && !source_->SeekTo(offset)) {
        throw std::logic_error("TLineReader: the source cannot seek");
    }
    pos_ = 0;
    end_ = 0;
    sourceEnded_ = atEnd;
    bytesConsumed_ = offset;
    if (lines > 0) {
        previousLineNumber_ = lineNumber_ + lines - 1;
        lineNumber_ += lines;
        lastEndedLine_ = true;
        lastEndCrLf_ = false;
    }
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

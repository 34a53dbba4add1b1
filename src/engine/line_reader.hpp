// SPDX-License-Identifier: MIT
// Line-by-line reading of the .mif and .mid text files.
//
// A line ends at LF or CR LF; a carriage return never belongs to a line (a lone CR is
// dropped and the line goes on); byte 26 (Ctrl-Z) ends the file; reading at the end of
// the file gives an empty line. Lines have no length limit. The bytes come from a byte
// source in large chunks and are scanned with memchr, so a line costs no system call and
// no virtual call of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "os/file.hpp"

namespace varnelo {

// Where the reader's bytes come from. Read is called once per chunk, never per byte.
class IByteSource {
  public:
    virtual ~IByteSource() = default;
    // Copies up to `capacity` bytes into `buffer`; 0 means the source is exhausted.
    virtual std::size_t Read(char* buffer, std::size_t capacity) = 0;
    // Total size in bytes when known (for progress display), 0 otherwise.
    virtual std::uint64_t SizeHint() const noexcept { return 0; }
    // Makes the next Read start at byte `offset` of the source; false when the source cannot
    // go there (it then stays where it was).
    virtual bool SeekTo(std::uint64_t /*offset*/) { return false; }
};

// A file opened read-only and read in calls of the reader's chunk size.
class TFileSource final : public IByteSource {
  public:
    // Raises EInOutError naming the path and the system's reason when the file cannot be
    // opened or is a directory.
    explicit TFileSource(const std::string& path);
    TFileSource(const TFileSource&) = delete;
    TFileSource& operator=(const TFileSource&) = delete;

    // Raises EInOutError when the system reports a read error.
    std::size_t Read(char* buffer, std::size_t capacity) override;
    std::uint64_t SizeHint() const noexcept override { return size_; }
    bool SeekTo(std::uint64_t offset) override;

  private:
    std::string path_;
    os::TFile file_;
    std::uint64_t size_ = 0;
    std::uint64_t offset_ = 0;  // of the next read
    bool positioned_ = false;   // moved by SeekTo: reads at offset_ from then on
};

// Bytes held in memory. `maxChunk` limits the bytes handed out per Read, which lets
// tests put chunk boundaries anywhere inside a line.
class TMemorySource final : public IByteSource {
  public:
    explicit TMemorySource(std::string bytes, std::size_t maxChunk = SIZE_MAX);

    std::size_t Read(char* buffer, std::size_t capacity) override;
    std::uint64_t SizeHint() const noexcept override { return bytes_.size(); }
    bool SeekTo(std::uint64_t offset) override;

  private:
    std::string bytes_;
    std::size_t offset_ = 0;
    std::size_t maxChunk_;
};

// The whole of a small file, such as a batch list or a settings file. Raises EInOutError as
// TFileSource does.
std::string ReadWholeFile(const std::string& path);

class TLineReader {
  public:
    static constexpr std::size_t kDefaultBufferSize = std::size_t{256} << 10;

    // `bufferSize` is the largest chunk read at once. The buffer starts at the size of the
    // source when that is known and smaller (a small file costs a small buffer), else at a
    // fraction of it, and doubles whenever a read fills it, up to `bufferSize`.
    explicit TLineReader(std::unique_ptr<IByteSource> source,
                         std::size_t bufferSize = kDefaultBufferSize);
    static TLineReader FromFile(const std::string& path);
    static TLineReader FromString(std::string bytes, std::size_t maxChunk = SIZE_MAX);

    TLineReader(TLineReader&&) noexcept;
    TLineReader& operator=(TLineReader&&) noexcept;
    ~TLineReader();

    // True when no line is left: nothing pushed back and no byte before the end of the
    // file or a Ctrl-Z. May read the next chunk, which ends the life of a view returned
    // by ReadLineView.
    bool Eof();

    // The next line without its line end. The view stays valid until the next call of a
    // non-const member. At the end of the file the line is empty.
    std::string_view ReadLineView();
    void ReadLine(std::string& out) { out.assign(ReadLineView()); }
    std::string ReadLine() { return std::string(ReadLineView()); }

    // Direct access for parsers of a common line form, which read a line straight from
    // the buffer without copying or splitting it first: the unread bytes of the current
    // chunk (empty when none is left in it or a line waits pushed back). Nothing in it is
    // yet sorted into lines; a parser that finds the line form it knows ending in an LF
    // takes it with SkipLines, and otherwise reads the line the ordinary way.
    std::string_view PeekChunk() const noexcept {
        return hasPushed_ ? std::string_view{}
                          : std::string_view(buffer_.get() + pos_, end_ - pos_);
    }
    // Counts the first `length` bytes of PeekChunk(), which end with an LF, as `lines`
    // lines read.
    void SkipLines(std::size_t length, std::int64_t lines) noexcept {
        if (lines == 0) {
            return;
        }
        lastEndCrLf_ = length >= 2 && buffer_[pos_ + length - 2] == '\r';
        lastEndedLine_ = true;
        pos_ += length;
        bytesConsumed_ += length;
        previousLineNumber_ = lineNumber_ + lines - 1;
        lineNumber_ += lines;
    }

    // Goes on at byte `offset` of the source, a line start `lines` lines past the line last
    // read, as though those lines had been read here (another reader read them); with
    // `atEnd` the file ends there instead. Nothing may wait pushed back. Raises
    // std::logic_error for a source that cannot seek.
    void SkipTo(std::uint64_t offset, std::int64_t lines, bool atEnd);

    // Hands `line` back so that the next read returns it again. Only one line can wait;
    // it is meant for the line just read, whose number the reader then reports again.
    void PushBack(std::string_view line);

    // How the line last read ended in the file: "\r\n", "\n", or nothing for the last
    // line of a file without a final line end (and for reads at the end of the file).
    std::string_view LastLineEnd() const noexcept {
        return lastEndedLine_ ? (lastEndCrLf_ ? "\r\n" : "\n") : "";
    }

    // True while a line pushed back waits to be read again.
    bool LineWaiting() const noexcept { return hasPushed_; }

    // 1-based number of the line last read (0 before the first); reads at the end of the
    // file do not count.
    std::int64_t LineNumber() const noexcept { return lineNumber_; }
    // Bytes taken from the source up to the end of the line last read, line ends included.
    std::uint64_t BytesConsumed() const noexcept { return bytesConsumed_; }
    // Size of the underlying file when known, 0 otherwise.
    std::uint64_t TotalBytes() const noexcept { return source_ ? source_->SizeHint() : 0; }

  private:
    bool Refill();
    std::string_view ReadLongLine(const char* start, std::size_t available);

    std::unique_ptr<IByteSource> source_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = 0;
    std::size_t maxCapacity_ = 0;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool sourceEnded_ = false;

    std::string line_;  // lines that cross a chunk boundary or hold a lone CR
    std::string pushed_;
    bool hasPushed_ = false;
    std::int64_t pushedLineNumber_ = 0;
    bool pushedEndedLine_ = false;
    bool pushedEndCrLf_ = false;
    bool lastEndedLine_ = false;
    bool lastEndCrLf_ = false;
    std::int64_t previousLineNumber_ = 0;

    std::int64_t lineNumber_ = 0;
    std::uint64_t bytesConsumed_ = 0;
};

}  // namespace varnelo

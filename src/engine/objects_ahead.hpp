// SPDX-License-Identifier: MIT
// Parts of a .mif converted ahead of the conversion, on a second thread, so that a source
// made mostly of geometry keeps two processors busy. The conversion reads the file in order
// as ever; where it arrives exactly at the first object of a part read ahead, between two
// objects, it takes that part's records and row steps in place of reading the part itself,
// and goes on after it. Anything else (a part whose first object the conversion never stands
// at, a part that met a failure) is simply read again in order, so the result never depends
// on a guess about where objects begin.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/line_reader.hpp"
#include "engine/object_counts.hpp"
#include "shape/geometry.hpp"

namespace varnelo {

class TLocalDbf;
class TShapefileWriter;

// The converting thread reads this many bytes of .mif between two parts read ahead (which
// are half as large again). Parts this small stay in a processor's own cache and cost
// little fresh memory, which is dear, while the threads still meet only every few
// milliseconds.
inline constexpr std::uint64_t kReadAheadBytes = std::uint64_t{512} << 10;
// A part holds at most about this much in memory, so that two of them stay small, and ends
// sooner when it would hold more (objects that make many points from few bytes).
inline constexpr std::size_t kAheadShpBytes = std::size_t{1} << 20;
inline constexpr std::size_t kAheadSteps = std::size_t{16} << 10;
// Room made at once for a part's records: growing it would copy it.
inline constexpr std::size_t kAheadShpRoom = kAheadShpBytes + (std::size_t{64} << 10);

// Whether a source of `mifBytes` with `midBytes` of rows is worth reading ahead: when its
// geometry outweighs its rows by far, the rows take little of the converting thread.
bool ReadingAheadPays(std::uint64_t mifBytes, std::uint64_t midBytes) noexcept;

// How far the objects' side of a conversion had got: what a failure reports as done.
struct TRunMark {
    TObjectCounts Objects;
    std::array<std::int32_t, 4> Records{};  // of the outputs in a run's routes
};

// One step of the rows' side, in file order: read the next .mid row (no table), or append
// the row read last to a table.
struct TRowStep {
    TLocalDbf* Table = nullptr;
    std::int64_t MifLine = 0;
    TRunMark Mark;
};

// What converting one part ahead gave. The part starts at the first object keyword line at
// or after `Begin` and ends between two objects: at the first one at or after the part's
// limit, or sooner when its memory is full.
struct TAheadPart {
    std::size_t Number = std::numeric_limits<std::size_t>::max();  // which part the slot holds
    std::uint64_t Begin = 0;
    bool Converted = false;         // FirstObject to Stop, without a failure
    std::uint64_t FirstObject = 0;  // the offset of the first object's keyword line
    std::int64_t FirstLine = 0;     // the number of the line before it, by the part's reader
    std::uint64_t Stop = 0;         // where the part's reader stopped, between two objects
    std::int64_t StopLine = 0;      // the number of the line before it
    bool AtEnd = false;             // the file ends at Stop
    // Records numbered from 1, one after the other, as the part's own run wrote them.
    std::vector<std::byte> ShpBytes;
    TShpBox Box{};
    std::int32_t Records = 0;
    TObjectCounts Objects;
    std::vector<TRowStep> Steps;  // with lines and marks counted from the part's start

    // Ready for the next part, keeping the memory.
    void Clear() noexcept;
};

// Converts a part from the line `mif` stands at, up to the first object at or after `limit`.
class IAheadConverter {
  public:
    virtual ~IAheadConverter() = default;
    virtual void ConvertPart(TLineReader& mif, TAheadPart& part, std::uint64_t limit) = 0;
};

// The thread that reads ahead. The file is cut into stretches of `between` bytes, which the
// conversion reads, each followed by a part half as large again, read ahead: the conversion
// also writes every record and row, so it reads less. Two parts may wait converted; the
// thread then waits for the conversion to take or pass the older.
class TObjectsAhead {
  public:
    // `converter` must outlive this object.
    TObjectsAhead(std::string mifPath, std::uint64_t mifBytes, std::uint64_t between,
                  IAheadConverter& converter);
    TObjectsAhead(const TObjectsAhead&) = delete;
    TObjectsAhead& operator=(const TObjectsAhead&) = delete;
    // Stops the thread, at the latest after the part it is converting.
    ~TObjectsAhead();

    // Where the next part not yet taken or passed begins; with none left, the largest offset.
    std::uint64_t NextBegin() const noexcept;
    // The next part, once it is converted (or has failed). Called by the conversion only.
    TAheadPart& WaitNext();
    // The conversion is done with the next part: its slot may take a later one.
    void Release();

  private:
    std::uint64_t Begin(std::size_t part) const noexcept;
    void Work() noexcept;
    bool WaitForSlot(std::size_t part);
    void Finished(std::size_t parts);

    std::string mifPath_;
    std::uint64_t mifBytes_;
    std::uint64_t between_;
    std::uint64_t partBytes_;
    IAheadConverter& converter_;
    std::array<TAheadPart, 2> slots_;  // part i in slot i % 2
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t next_ = 0;  // the first part the conversion has not yet taken or passed
    std::size_t done_ = 0;  // parts the thread is done with
    bool stop_ = false;
    std::thread worker_;
};

// The conversion that takes parts read ahead, as taking one needs it.
class IPartTaking {
  public:
    // How far the conversion has got.
    virtual TRunMark Mark() const = 0;
    // Sets the counts back to `mark`, for a failure reported at .mif line `mifLine`.
    virtual void StopAt(const TRunMark& mark, std::int64_t mifLine) = 0;
    // Raises, with the counts set back to the step's mark, once the conversion is to stop.
    virtual void StopIfCancelled(const TRowStep& step) = 0;
    // Does a row step read ahead, in file order with the conversion's own.
    virtual void ReplayRowStep(const TRowStep& step) = 0;
    virtual void SetObjects(const TObjectCounts& objects) = 0;
    virtual void ReportProgress() = 0;

  protected:
    ~IPartTaking() = default;
};

// The converting side of reading ahead: between two objects, where its reader stands exactly
// at the first object of the next part, takes the part's records and row steps in place of
// reading it.
class TAheadTaker {
  public:
    // The records go to `writer` and the rows to `table`, the output with index `route` in
    // the conversion's marks. Every argument must outlive this object.
    TAheadTaker(TObjectsAhead& ahead, TLineReader& mif, TShapefileWriter& writer, TLocalDbf& table,
                std::size_t route, IPartTaking& run);

    // Whether the reader has reached the next part.
    bool Due() const noexcept { return mif_.BytesConsumed() >= next_; }
    // Takes the part the reader stands at, if any; false when the reader is to go on itself.
    bool TakeAtReader();

  private:
    void Take(TAheadPart& part);
    void WriteRecord(const std::byte*& record, const TRowStep& after);

    TObjectsAhead& ahead_;
    TLineReader& mif_;
    TShapefileWriter& writer_;
    TLocalDbf& table_;
    std::size_t route_;
    IPartTaking& run_;
    std::uint64_t next_;  // from where on to look at the parts
};

}  // namespace varnelo

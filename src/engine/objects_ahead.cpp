// SPDX-License-Identifier: MIT
#include "engine/objects_ahead.hpp"

#include <utility>

#include "shape/shapefile_writer.hpp"

namespace varnelo {

namespace {

// Objects are read ahead when the geometry is at least this many times the .mid rows.
constexpr std::uint64_t kGeometryOverRows = 8;

}  // namespace

bool ReadingAheadPays(std::uint64_t mifBytes, std::uint64_t midBytes) noexcept {
    return mifBytes >= 8 * kReadAheadBytes && midBytes <= mifBytes / kGeometryOverRows;
}

void TAheadPart::Clear() noexcept {
    Converted = false;
    ShpBytes.clear();
    Box = {};
    Records = 0;
    Objects = {};
    Steps.clear();
}

TObjectsAhead::TObjectsAhead(std::string mifPath, std::uint64_t mifBytes, std::uint64_t between,
                             IAheadConverter& converter)
    : mifPath_(std::move(mifPath)),
      mifBytes_(mifBytes),
      between_(between),
      partBytes_(between + between / 2),
      converter_(converter) {
    worker_ = std::thread([this] { Work(); });
}

TObjectsAhead::~TObjectsAhead() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

std::uint64_t TObjectsAhead::Begin(std::size_t part) const noexcept {
    return between_ + static_cast<std::uint64_t>(part) * (between_ + partBytes_);
}

std::uint64_t TObjectsAhead::NextBegin() const noexcept {
    const std::uint64_t begin = Begin(next_);
    return begin < mifBytes_ ? begin : std::numeric_limits<std::uint64_t>::max();
}

TAheadPart& TObjectsAhead::WaitNext() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return done_ > next_; });
    TAheadPart& part = slots_[next_ % slots_.size()];
    if (part.Number != next_) {
        part.Converted = false;  // the thread gave up before this part
    }
    return part;
}

void TObjectsAhead::Release() {
    {
        const std::lock_guard lock(mutex_);
        ++next_;
    }
    changed_.notify_all();
}

bool TObjectsAhead::WaitForSlot(std::size_t part) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stop_ || part < next_ + slots_.size(); });
    return !stop_;
}

void TObjectsAhead::Finished(std::size_t parts) {
    {
        const std::lock_guard lock(mutex_);
        done_ = parts;
    }
    changed_.notify_all();
}

void TObjectsAhead::Work() noexcept {
    try {
        TLineReader mif = TLineReader::FromFile(mifPath_);
        for (std::size_t number = 0; Begin(number) < mifBytes_; ++number) {
            if (!WaitForSlot(number)) {
                break;
            }
            TAheadPart& part = slots_[number % slots_.size()];
            part.Clear();
            part.Number = number;
            part.Begin = Begin(number);
            try {
                // Past the rest of the line the cut falls in: a part starts at a line.
                mif.SkipTo(part.Begin - 1, 0, false);
                mif.ReadLineView();
                converter_.ConvertPart(mif, part, part.Begin + partBytes_);
            } catch (...) {
                part.Converted = false;  // the conversion reads it itself
            }
            Finished(number + 1);
        }
    } catch (...) {
        // Nothing more is read ahead: the conversion reads the rest itself.
    }
    Finished(std::numeric_limits<std::size_t>::max());
}

TAheadTaker::TAheadTaker(TObjectsAhead& ahead, TLineReader& mif, TShapefileWriter& writer,
                         TLocalDbf& table, std::size_t route, IPartTaking& run)
    : ahead_(ahead),
      mif_(mif),
      writer_(writer),
      table_(table),
      route_(route),
      run_(run),
      next_(ahead.NextBegin()) {}

bool TAheadTaker::TakeAtReader() {
    if (mif_.LineWaiting()) {
        return false;  // the line pushed back comes first
    }
    const std::uint64_t position = mif_.BytesConsumed();
    while (next_ <= position) {
        TAheadPart& part = ahead_.WaitNext();
        if (part.Converted && position < part.FirstObject) {
            next_ = part.FirstObject;
            return false;
        }
        const bool taken = part.Converted && position == part.FirstObject;
        if (taken) {
            Take(part);
        }
        ahead_.Release();
        next_ = ahead_.NextBegin();
        if (taken) {
            return true;
        }
    }
    return false;
}

// Writes the part's records and does its row steps as reading the part here would have, in
// the same order, so that a failure stops at the same place with the same report.
void TAheadTaker::Take(TAheadPart& part) {
    const TRunMark base = run_.Mark();
    const std::int64_t lineBase = mif_.LineNumber() - part.FirstLine;
    // The part's records lie one after the other from its start.
    std::int32_t written = 0;
    const std::byte* record = part.ShpBytes.data();
    const auto writeUpTo = [&](std::int32_t count, const TRowStep& after) {
        for (; written < count; ++written) {
            WriteRecord(record, after);
        }
    };
    for (const TRowStep& read : part.Steps) {
        TRowStep step = read;
        step.Table = read.Table != nullptr ? &table_ : nullptr;
        step.MifLine += lineBase;
        step.Mark.Objects += base.Objects;
        for (std::size_t i = 0; i < step.Mark.Records.size(); ++i) {
            step.Mark.Records[i] += base.Records[i];
        }
        writeUpTo(read.Mark.Records[route_], step);
        if (step.Table == nullptr) {
            // Where reading the object here would have stopped: before it is counted.
            run_.StopIfCancelled(step);
        }
        run_.ReplayRowStep(step);
    }
    // Every record is followed by its row's step; this is only for safety's sake.
    TRowStep last{nullptr, part.StopLine + lineBase, run_.Mark()};
    last.Mark.Objects += part.Objects;
    writeUpTo(part.Records, last);
    if (part.Records > 0) {
        writer_.FoldBox(part.Box);
    }
    TObjectCounts objects = base.Objects;
    objects += part.Objects;
    run_.SetObjects(objects);
    mif_.SkipTo(part.Stop, part.StopLine - part.FirstLine, part.AtEnd);
    run_.ReportProgress();
}

// One record as the part's own run wrote it, numbered in this file. A failure is reported at
// the line and with the counts that writing it after reading its object gives.
void TAheadTaker::WriteRecord(const std::byte*& record, const TRowStep& after) {
    try {
        record += writer_.AppendEncoded(record);
    } catch (...) {
        TRunMark mark = after.Mark;
        mark.Records[route_] = writer_.Records();
        run_.StopAt(mark, after.MifLine);
        throw;
    }
}

}  // namespace varnelo

// SPDX-License-Identifier: MIT
#include "engine/objects_ahead.hpp"

#include <utility>

namespace varnelo {

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

}  // namespace varnelo

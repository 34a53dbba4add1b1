// SPDX-License-Identifier: MIT
// TLocalDbf's bulk appender: posted records wait in memory, one after the other, and reach
// the file in large writes; a writer of many rows sets up each record right in that memory
// (the direct record) from its texts.
#include <algorithm>
#include <cstring>
#include <memory>

#include "shape/byte_order.hpp"
#include "shape/errors.hpp"
#include "shape/local_dbf.hpp"

namespace varnelo {
namespace {

using dbf::kBlank;
using dbf::kEndOfFile;
using dbf::kHeaderSize;

}  // namespace

void TLocalDbf::CheckRecordLimit() const {
    if (recordCount_ >= kMaxRecordCount) {
        throw ELocalDbfError(Text(TText::kShapeDbfRecordLimit));
    }
}

void TLocalDbf::BeginBulkAppend(std::size_t flushBytes) {
    CheckWritable();
    bulkFlushBytes_ = std::max<std::size_t>(flushBytes, 1);
    // Room for the first records only: the block grows with what is appended, so that a
    // small table costs a small block.
    constexpr std::size_t kFirstBlockBytes = std::size_t{16} << 10;
    const std::size_t firstBlock =
        std::min(std::max(bulkFlushBytes_, recordLength_), kFirstBlockBytes) + 1;
    GrowWaitingRoom(firstBlock);
}

// Records are set up in place, so the room only grows (keeping the waiting records); the
// bytes after them hold nothing that is read before it is written.
void TLocalDbf::GrowWaitingRoom(std::size_t bytes) {
    if (bytes <= waitingRoom_) {
        return;
    }
    auto larger = std::make_unique_for_overwrite<std::byte[]>(bytes);
    if (waitingBytes_ > 0) {
        std::memcpy(larger.get(), waiting_.get(), waitingBytes_);
    }
    waiting_ = std::move(larger);
    waitingRoom_ = bytes;
}

std::byte* TLocalDbf::RoomForRecord() {
    const std::size_t needed = waitingBytes_ + recordLength_ + 1;  // and the end byte
    if (needed > waitingRoom_) {
        GrowWaitingRoom(std::max(needed, 2 * waitingRoom_));
    }
    return waiting_.get() + waitingBytes_;
}

void TLocalDbf::FlushAppends() {
    if (writtenCount_ == recordCount_) {
        return;
    }
    try {
        WriteWaitingRecords();
    } catch (...) {
        recordCount_ = writtenCount_;
        cursor_ = std::min(cursor_, recordCount_);
        waitingBytes_ = 0;
        staleView_ = true;
        throw;
    }
    waitingBytes_ = 0;
}

// The same bytes, in the same order, as appending the waiting records one at a time: the
// records and the end byte in one write, then the header with the new count.
void TLocalDbf::WriteWaitingRecords() {
    waiting_[waitingBytes_] = kEndOfFile;  // the room always holds one byte more
    storage_->WriteAt(RecordOffset(writtenCount_),
                      std::span<const std::byte>(waiting_.get(), waitingBytes_ + 1));

    std::array<std::byte, kHeaderSize> header = header_;
    byte_order::PutUInt32LE(&header[dbf::kRecordCountAt], static_cast<std::uint32_t>(recordCount_));
    storage_->WriteAt(0, header);
    header_ = header;
    writtenCount_ = recordCount_;
}

void TLocalDbf::EndBulkAppend() {
    if (!BulkAppending()) {
        return;
    }
    bulkFlushBytes_ = 0;  // over even when the last write fails
    FlushAppends();
    waiting_.reset();
    waitingRoom_ = 0;
    waitingBytes_ = 0;
}

// ---------------------------------------------------------------------------------------
// The direct record

// The direct record is set up in the room after the waiting records, where it joins them
// when it is posted without being copied; a record never posted is left there unused.
bool TLocalDbf::StartDirectRecord() {
    if (!BulkAppending() || State() != dsBrowse) {
        return false;
    }
    std::memset(RoomForRecord(), ' ', recordLength_);
    return true;
}

void TLocalDbf::PostDirectRecord() {
    PostRecordInRoom();
}

// The record in the room after the waiting ones joins them. The waiting records are written
// first when they would pass the bulk size, so that a failed write never leaves this record
// half posted.
void TLocalDbf::PostRecordInRoom() {
    CheckRecordLimit();
    if (waitingBytes_ + recordLength_ > bulkFlushBytes_) {
        // The waiting records are written first; the end byte written after them lands on
        // this record's flag byte, which is set below. The record then moves to the front.
        const std::size_t at = waitingBytes_;
        FlushAppends();
        std::memmove(waiting_.get(), waiting_.get() + at, recordLength_);
    }
    waiting_[waitingBytes_] = kBlank;
    waitingBytes_ += recordLength_;
    cursor_ = recordCount_;
    ++recordCount_;
    staleView_ = true;
}

TBulkAppendScope::TBulkAppendScope(TLocalDbf& table, std::size_t flushBytes) : table_(table) {
    table_.BeginBulkAppend(flushBytes);
}

TBulkAppendScope::~TBulkAppendScope() {
    try {
        table_.EndBulkAppend();
    } catch (...) {
        // An error is already on its way; this one would only hide it.
    }
}

void TBulkAppendScope::Finish() {
    table_.EndBulkAppend();
}

}  // namespace varnelo
// SPDX-License-Identifier: MIT
#include "shape/local_dbf.hpp"

#include "shape/byte_order.hpp"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string_view>
#include <utility>

#include "os/clock.hpp"
#include "shape/errors.hpp"
#include "shape/output_stream.hpp"

namespace varnelo {
namespace {

using dbf::kBlank;
using dbf::kDeletedFlag;
using dbf::kDescriptorSize;
using dbf::kEndOfFile;
using dbf::kHeaderSize;

// Behind the record image: the 4-byte bookmark, the bookmark flag and 3 spare bytes.
constexpr std::size_t kBufferTrailerSize = 8;

const char* const kInvalidRecord = "GetRecord: Invalid record";

}  // namespace

TLocalDbf::TLocalDbf() = default;

TLocalDbf::~TLocalDbf() {
    try {
        Close();
    } catch (...) {
        // A close handler that raises cannot stop the table from going away.
    }
}

void TLocalDbf::SetTableName(std::string tableName) {
    if (Active()) {
        DatabaseError("Cannot perform this operation on an open dataset");
    }
    tableName_ = std::move(tableName);
}

void TLocalDbf::SetReadOnly(bool readOnly) {
    if (Active()) {
        DatabaseError("Cannot perform this operation on an open dataset");
    }
    readOnly_ = readOnly;
}

void TLocalDbf::SetShowDeleted(bool showDeleted) {
    if (showDeleted == showDeleted_) {
        return;
    }
    showDeleted_ = showDeleted;
    if (Active()) {
        Refresh();
    }
}

void TLocalDbf::SetStorageFactory(TTableStorageFactory factory) {
    storageFactory_ = std::move(factory);
}

int TLocalDbf::RecordCount() const {
    CheckActive();
    return static_cast<int>(recordCount_);
}

void TLocalDbf::CheckWritable() const {
    CheckActive();
    if (readOnly_) {
        throw ELocalDbfError(Text(TText::kShapeReadOnlyDataSet));
    }
}

// ---------------------------------------------------------------------------------------
// Opening

void TLocalDbf::InternalOpen() {
    const TStorageAccess access = readOnly_ ? TStorageAccess::ReadOnly : TStorageAccess::ReadWrite;
    std::unique_ptr<TTableStorage> storage;
    if (!tableName_.empty()) {
        storage = storageFactory_ ? storageFactory_(tableName_, access)
                                  : OpenDiskTableStorage(tableName_, access);
    }
    if (!storage) {
        throw ELocalDbfError(Text(TText::kShapeTableNotFound));
    }
    // A writer holds the file alone; readers share it with each other but not with a
    // writer. Any failure below closes the file again through `storage`.
    if (!storage->TryLock(readOnly_ ? TLockKind::Shared : TLockKind::Exclusive)) {
        throw EInOutError(Text(TText::kShapeTableInUse, tableName_));
    }
    const std::uint64_t fileSize = storage->Size();
    ReadHeader(*storage, fileSize);
    ReadFieldDefinitions(*storage);
    CheckRecordLayout(fileSize);

    writtenCount_ = recordCount_;
    bulkFlushBytes_ = 0;
    waitingBytes_ = 0;
    appendImage_.assign(recordLength_ + 1, kBlank);
    SetRecordBufferSize(recordLength_ + kBufferTrailerSize);
    cursor_ = -1;
    staleView_ = true;
    storage_ = std::move(storage);
}

void TLocalDbf::ReadHeader(TTableStorage& storage, std::uint64_t fileSize) {
    if (fileSize < kHeaderSize || storage.ReadAt(0, header_) != kHeaderSize) {
        throw ELocalDbfError(Text(TText::kShapeDbfHeaderShort, fileSize));
    }
    const auto version = static_cast<unsigned>(header_[0]);
    if (version == 0xFA || version == 0xFB || version == 0xFC) {
        throw ELocalDbfError(Text(TText::kShapeDbfVersionRefused));
    }
    if (header_[dbf::kIndexFlagAt] != std::byte{0} && !readOnly_) {
        throw ELocalDbfError(Text(TText::kShapeIndexedDbfReadOnly));
    }
    headerLength_ = byte_order::GetUInt16LE(&header_[dbf::kHeaderLengthAt]);
    recordLength_ = byte_order::GetUInt16LE(&header_[dbf::kRecordLengthAt]);
    // The header must hold at least its terminator byte, and lie within the file.
    if (headerLength_ <= kHeaderSize) {
        throw ELocalDbfError(Text(TText::kShapeDbfHeaderLengthInvalid, headerLength_));
    }
    if (headerLength_ > fileSize) {
        throw ELocalDbfError(Text(TText::kShapeDbfHeaderPastEnd, headerLength_, fileSize));
    }
    if (recordLength_ == 0) {
        throw ELocalDbfError(Text(TText::kShapeDbfRecordLengthZero));
    }
}

void TLocalDbf::ReadFieldDefinitions(TTableStorage& storage) {
    MutableFieldDefs().Clear();
    dbfFields_.clear();
    const std::size_t count = (headerLength_ - kHeaderSize) / kDescriptorSize;
    // The header length was checked against the file size, so this read is wholly inside
    // the file; each descriptor is taken from its own 32 bytes of this fresh buffer.
    std::vector<std::byte> descriptors(count * kDescriptorSize);
    if (storage.ReadAt(kHeaderSize, descriptors) != descriptors.size()) {
        throw EInOutError(Text(TText::kShapeStreamReadError));
    }
    dbfFields_.reserve(count);
    std::size_t offset = 1;  // behind the flag byte
    for (std::size_t i = 0; i < count; ++i) {
        const std::span<const std::byte, kDescriptorSize> descriptor(
            descriptors.data() + i * kDescriptorSize, kDescriptorSize);
        AddFieldDefinition(static_cast<int>(i) + 1, descriptor, offset);
        offset += dbfFields_.back().Length;
    }
}

void TLocalDbf::AddFieldDefinition(int fieldNo, std::span<const std::byte, 32> descriptor,
                                   std::size_t offset) {
    const TDbfFieldDef def = FieldDefOf(descriptor);
    LogicalTypeOf(def);  // an unknown type is refused with the engine's message alone
    TDbfField field;
    const std::string prefix = "Field=" + std::to_string(fieldNo) + ": ";
    try {
        field = CheckedField(def, offset);
        MutableFieldDefs().Add(def.Name, field.Type, field.Type == ftString ? field.Length : 0,
                               false);
    } catch (const ELocalDbfError& error) {
        throw ELocalDbfError(prefix + error.Message());
    } catch (const EDatabaseError& error) {
        throw EDatabaseError(prefix + error.Message());
    }
    dbfFields_.push_back(field);
}

void TLocalDbf::CheckRecordLayout(std::uint64_t fileSize) {
    std::size_t needed = 1;
    for (const TDbfField& field : dbfFields_) {
        needed += field.Length;
    }
    if (recordLength_ < needed) {
        throw ELocalDbfError(Text(TText::kShapeDbfRecordLengthShort, recordLength_, needed));
    }
    // Only records wholly present in the file are shown; appending then starts right after
    // the last of them.
    const std::uint64_t present = (fileSize - headerLength_) / recordLength_;
    const std::uint64_t counted = byte_order::GetUInt32LE(&header_[dbf::kRecordCountAt]);
    recordCount_ = static_cast<std::int64_t>(
        std::min({counted, present, static_cast<std::uint64_t>(kMaxRecordCount)}));
}

void TLocalDbf::InternalClose() noexcept {
    try {
        EndBulkAppend();
    } catch (...) {
        // Closing cannot fail; a caller that needs to know ends bulk appending first.
    }
    storage_.reset();  // closing the file also releases its lock
}

// ---------------------------------------------------------------------------------------
// Record buffers and fetching

std::int32_t TLocalDbf::BufferBookmark(std::span<const std::byte> buffer) const noexcept {
    std::int32_t index = 0;
    std::memcpy(&index, buffer.data() + recordLength_, sizeof index);
    return index;
}

void TLocalDbf::SetBufferBookmark(std::span<std::byte> buffer, std::int32_t index) const noexcept {
    std::memcpy(buffer.data() + recordLength_, &index, sizeof index);
    buffer[recordLength_ + 4] = std::byte{0};  // bookmark flag: fetched
}

void TLocalDbf::InternalInitRecord(std::span<std::byte> buffer) {
    std::fill(buffer.begin(), buffer.end(), kBlank);
}

void TLocalDbf::InternalSetToRecord(std::span<const std::byte> buffer) {
    cursor_ = BufferBookmark(buffer);
}

std::uint64_t TLocalDbf::RecordOffset(std::int64_t index) const noexcept {
    return headerLength_ + static_cast<std::uint64_t>(index) * recordLength_;
}

void TLocalDbf::ReadRecord(std::int64_t index, std::span<std::byte> buffer) {
    ReadRecords(index, 1, buffer.first(recordLength_));
}

void TLocalDbf::ReadRecords(std::int64_t first, std::int64_t count, std::span<std::byte> out) {
    const std::int64_t fromFile = std::clamp<std::int64_t>(writtenCount_ - first, 0, count);
    if (fromFile > 0) {
        const std::size_t bytes = static_cast<std::size_t>(fromFile) * recordLength_;
        if (storage_->ReadAt(RecordOffset(first), out.first(bytes)) != bytes) {
            throw EInOutError(Text(TText::kShapeStreamReadError));
        }
    }
    if (fromFile < count) {
        // Posted in bulk and still waiting: the images are in memory, not yet in the file.
        const auto at = static_cast<std::size_t>(first + fromFile - writtenCount_) * recordLength_;
        std::memcpy(out.data() + static_cast<std::size_t>(fromFile) * recordLength_,
                    waiting_.get() + at,
                    static_cast<std::size_t>(count - fromFile) * recordLength_);
    }
}

TGetResult TLocalDbf::GetRecord(std::span<std::byte> buffer, TGetMode mode, bool doCheck) {
    if (recordCount_ < 1) {
        return grEOF;
    }
    for (;;) {
        switch (mode) {
            case gmCurrent:
                if (cursor_ <= -1) {
                    return grBOF;
                }
                if (cursor_ >= recordCount_) {
                    return grEOF;
                }
                break;
            case gmNext:
                if (cursor_ + 1 >= recordCount_) {
                    return grEOF;
                }
                ++cursor_;
                break;
            case gmPrior:
                if (cursor_ - 1 <= -1) {
                    return grBOF;
                }
                --cursor_;
                break;
        }
        ReadRecord(cursor_, buffer);
        SetBufferBookmark(buffer, static_cast<std::int32_t>(cursor_));
        const bool accepted = (showDeleted_ || buffer[0] != kDeletedFlag) && FilterAccepts(buffer);
        if (accepted) {
            staleView_ = false;
            return grOK;
        }
        if (mode == gmCurrent) {
            if (doCheck) {
                throw ELocalDbfError(kInvalidRecord);
            }
            return grError;
        }
    }
}

// ---------------------------------------------------------------------------------------
// Field values

TFieldValue TLocalDbf::GetFieldValue(const TField& field) const {
    // The filter's record under test is always a real record; the active buffer of a view
    // without any visible record holds nothing to read.
    if (State() != dsFilter && State() != dsInsert && IsEmpty() && staleView_) {
        return {};
    }
    return DecodeFieldValue(dbfFields_[static_cast<std::size_t>(field.FieldNo() - 1)],
                            ReadBuffer());
}

void TLocalDbf::SetFieldValue(const TField& field, const TFieldValueView& value) {
    const TDbfField& f = dbfFields_[static_cast<std::size_t>(field.FieldNo() - 1)];
    EncodeFieldValue(
        f, std::span<char>(reinterpret_cast<char*>(ActiveBuffer().data()) + f.Offset, f.Length),
        value);
}

void TLocalDbf::SetFieldFromText(int index, std::string_view text) {
    if (index >= 0 && index < FieldCount() && (State() == dsInsert || State() == dsEdit)) {
        const TDbfField& f = dbfFields_[static_cast<std::size_t>(index)];
        const std::span<char> bytes(reinterpret_cast<char*>(ActiveBuffer().data()) + f.Offset,
                                    f.Length);
        if (EncodeFieldText(f, bytes, text, TextCharacterSet())) {
            MarkFieldWritten();
            return;
        }
    }
    Fields(index).SetAsString(text);  // the field layer decides, and raises where it must
}

// ---------------------------------------------------------------------------------------
// Record numbers, bookmarks, deleting

const TDbfField& TLocalDbf::DbfField(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= dbfFields_.size()) {
        DatabaseError("Field index out of range");
    }
    return dbfFields_[static_cast<std::size_t>(index)];
}

int TLocalDbf::RecNo() {
    CheckActive();
    if (State() != dsFilter) {
        // A record being appended has no number yet, and an empty view's buffer holds none.
        if (State() == dsInsert || IsEmpty()) {
            return -1;
        }
        InternalSetToRecord(ActiveBuffer());
    }
    return cursor_ > -1 && cursor_ < recordCount_ ? static_cast<int>(cursor_ + 1) : -1;
}

void TLocalDbf::SetRecNo(int recNo) {
    CheckBrowseMode();
    if (recNo < 1 || recNo > recordCount_) {
        return;
    }
    MoveTo([this, recNo] { cursor_ = recNo - 1; });
}

bool TLocalDbf::IsDeleted() const {
    CheckActive();
    if (State() != dsFilter && IsEmpty()) {
        return false;
    }
    return ReadBuffer()[0] == kDeletedFlag;
}

void TLocalDbf::InternalGotoBookmark(TBookmark bookmark) {
    if (bookmark <= -1 || bookmark >= recordCount_) {
        throw ELocalDbfError("Bookmark " + std::to_string(bookmark) + " not found");
    }
    cursor_ = bookmark;
}

// Only the flag byte changes, so only the flag byte is written.
void TLocalDbf::InternalDelete() {
    CheckWritable();
    InternalSetToRecord(ActiveBuffer());
    if (cursor_ < 0 || cursor_ >= recordCount_) {
        throw ELocalDbfError(kInvalidRecord);
    }
    FlushAppends();  // the record may still be waiting
    storage_->WriteAt(RecordOffset(cursor_), std::span<const std::byte>(&kDeletedFlag, 1));
    ActiveBuffer()[0] = kDeletedFlag;
    staleView_ = true;
}

// ---------------------------------------------------------------------------------------
// Posting

void TLocalDbf::InternalPost() {
    CheckWritable();
    staleView_ = true;
    const std::span<std::byte> image = ActiveBuffer().first(recordLength_);
    if (State() == dsEdit) {
        if (cursor_ < 0 || cursor_ >= recordCount_) {
            throw ELocalDbfError(kInvalidRecord);
        }
        FlushAppends();  // the record edited may still be waiting
        storage_->WriteAt(RecordOffset(cursor_), image);
    } else {
        AppendRecord(image);
    }
}

void TLocalDbf::AppendRecord(std::span<std::byte> image) {
    CheckRecordLimit();
    image[0] = kBlank;
    if (!BulkAppending()) {
        cursor_ = recordCount_;
        WriteAppendedRecord(image);
        staleView_ = true;
        return;
    }
    std::memcpy(RoomForRecord(), image.data(), recordLength_);
    PostRecordInRoom();
}

// The whole of an append's file access: the record goes right after the last counted
// record (never over record data, whatever the file's last byte is) together with the end
// byte in one write, then the header with the new count in a second. A failure in either
// leaves the in-memory count as the file's header still states it.
void TLocalDbf::WriteAppendedRecord(std::span<const std::byte> image) {
    std::copy(image.begin(), image.end(), appendImage_.begin());
    appendImage_.back() = kEndOfFile;
    storage_->WriteAt(RecordOffset(recordCount_), appendImage_);

    std::array<std::byte, kHeaderSize> header = header_;
    byte_order::PutUInt32LE(&header[dbf::kRecordCountAt],
                            static_cast<std::uint32_t>(recordCount_ + 1));
    storage_->WriteAt(0, header);
    header_ = header;
    ++recordCount_;
    writtenCount_ = recordCount_;
}

// ---------------------------------------------------------------------------------------
// Creating

namespace {

TDate Today() {
    const std::tm local = os::LocalTime(std::time(nullptr));
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

// A table open elsewhere holds its file locked, a writer alone, readers together. Replacing
// the file under either would pull the rows from under it, and the new table could not be
// opened for writing anyway; so such a file counts as one that cannot be created, as on
// systems where an open file cannot be replaced at all. The returned handle keeps its lock
// until the new file is written, so that no other table opens it half-made.
std::unique_ptr<TTableStorage> HoldUnlessInUse(const std::string& path) {
    auto existing = OpenDiskTableStorage(path, TStorageAccess::ReadOnly);
    if (existing && !existing->TryLock(TLockKind::Exclusive)) {
        throw EInOutError(CannotCreateFileText(path, os::InUseError()));
    }
    return existing;
}

}  // namespace

void CreateDbfTable(const std::string& path, std::span<const TDbfFieldDef> fields) {
    const std::vector<std::byte> bytes = EmptyDbfBytes(fields, Today());
    const auto existing = HoldUnlessInUse(path);
    auto stream = CreateFileOutputStream(path);
    stream->Write(bytes.data(), bytes.size());
    stream->Close();
}

}  // namespace varnelo

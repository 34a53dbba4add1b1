// SPDX-License-Identifier: MIT
#include "shape/local_dbf.hpp"

#include "shape/byte_order.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>

#include "shape/errors.hpp"

namespace varnelo {
namespace {

constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kDescriptorSize = 32;
constexpr std::size_t kNameAreaSize = 11;
// Behind the record image: the 4-byte bookmark, the bookmark flag and 3 spare bytes.
constexpr std::size_t kBufferTrailerSize = 8;
constexpr std::byte kBlank{0x20};
constexpr std::byte kDeletedFlag{0x2A};
constexpr std::byte kEndOfFile{0x1A};
constexpr std::int64_t kMaxRecordCount = std::numeric_limits<std::int32_t>::max();

const char* const kTableNotFound = "テーブルが見つかりません";
const char* const kVersionRefused = "このバージョンのDBFには対応してません";
const char* const kIndexNeedsReadOnly = "mdxのあるDBFはreadOnlyでしかオープンできません";
const char* const kFieldTypeRefused = "対応していないフィールド型です。";
const char* const kInvalidRecord = "GetRecord: Invalid record";
const char* const kTooManyDigits = "桁数を超えています";
const char* const kReadOnlyDataSet = "データセットはリードオンリーです";

std::string DecimalText(std::uint64_t value) {
    return std::to_string(value);
}

// Stores `text` right-aligned in `field` behind blanks, or raises when it does not fit;
// a field too narrow for the text keeps its bytes.
void StoreRightAligned(std::span<char> field, std::string_view text) {
    if (text.size() > field.size()) {
        throw ELocalDbfError(kTooManyDigits);
    }
    const std::size_t pad = field.size() - text.size();
    std::memset(field.data(), ' ', pad);
    if (!text.empty()) {  // an empty view may have no data pointer at all
        std::memcpy(field.data() + pad, text.data(), text.size());
    }
}

void StoreLeftAligned(std::span<char> field, std::string_view text) {
    const std::size_t n = std::min(text.size(), field.size());
    if (n > 0) {  // an empty view may have no data pointer at all
        std::memcpy(field.data(), text.data(), n);
    }
    std::memset(field.data() + n, ' ', field.size() - n);
}

TFieldValue ReadString(std::string_view bytes) {
    std::size_t end = bytes.size();
    while (end > 0 && (bytes[end - 1] == ' ' || bytes[end - 1] == '\0')) {
        --end;
    }
    bytes = bytes.substr(0, end);
    return std::string(bytes.substr(0, bytes.find('\0')));
}

TFieldValue ReadDate(std::string_view bytes) {
    const std::string_view digits = bytes.substr(0, 8);
    if (digits.size() != 8 ||
        std::any_of(digits.begin(), digits.end(), [](char c) { return c < '0' || c > '9'; })) {
        return {};
    }
    const auto number = [&](std::size_t from, std::size_t length) {
        int v = 0;
        for (std::size_t i = from; i < from + length; ++i) {
            v = v * 10 + (digits[i] - '0');
        }
        return v;
    };
    const TDate date{number(0, 4), number(4, 2), number(6, 2)};
    return IsValidDate(date) ? TFieldValue(date) : TFieldValue();
}

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
        throw ELocalDbfError(kReadOnlyDataSet);
    }
}

// ---------------------------------------------------------------------------------------
// Opening

void TLocalDbf::InternalOpen() {
    const TStorageAccess access = readOnly_ ? TStorageAccess::ReadOnly : TStorageAccess::ReadWrite;
    std::unique_ptr<TTableStorage> storage;
    if (!tableName_.empty()) {
        storage = storageFactory_ ? storageFactory_(tableName_, access)
                                  : OpenPosixTableStorage(tableName_, access);
    }
    if (!storage) {
        throw ELocalDbfError(kTableNotFound);
    }
    // A writer holds the file alone; readers share it with each other but not with a
    // writer. Any failure below closes the file again through `storage`.
    if (!storage->TryLock(readOnly_ ? TLockKind::Shared : TLockKind::Exclusive)) {
        throw EInOutError("テーブル \"" + tableName_ + "\" は他で使用中のため開けません");
    }
    const std::uint64_t fileSize = storage->Size();
    ReadHeader(*storage, fileSize);
    ReadFieldDefinitions(*storage);
    CheckRecordLayout(fileSize);

    writtenCount_ = recordCount_;
    bulkFlushBytes_ = 0;
    waiting_.clear();
    appendImage_.assign(recordLength_ + 1, kBlank);
    SetRecordBufferSize(recordLength_ + kBufferTrailerSize);
    cursor_ = -1;
    staleView_ = true;
    storage_ = std::move(storage);
}

void TLocalDbf::ReadHeader(TTableStorage& storage, std::uint64_t fileSize) {
    if (fileSize < kHeaderSize || storage.ReadAt(0, header_) != kHeaderSize) {
        throw ELocalDbfError("DBFのヘッダーが不完全です: ファイルが" + DecimalText(fileSize) +
                             "バイトしかありません");
    }
    const auto version = static_cast<unsigned>(header_[0]);
    if (version == 0xFA || version == 0xFB || version == 0xFC) {
        throw ELocalDbfError(kVersionRefused);
    }
    if (header_[28] != std::byte{0} && !readOnly_) {
        throw ELocalDbfError(kIndexNeedsReadOnly);
    }
    headerLength_ = byte_order::GetUInt16LE(&header_[8]);
    recordLength_ = byte_order::GetUInt16LE(&header_[10]);
    // The header must hold at least its terminator byte, and lie within the file.
    if (headerLength_ <= kHeaderSize) {
        throw ELocalDbfError("DBFのヘッダー長が不正です: " + DecimalText(headerLength_));
    }
    if (headerLength_ > fileSize) {
        throw ELocalDbfError("DBFのヘッダー長 " + DecimalText(headerLength_) +
                             " がファイルの大きさ " + DecimalText(fileSize) + " を超えています");
    }
    if (recordLength_ == 0) {
        throw ELocalDbfError("DBFのレコード長が不正です: 0");
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
        throw EInOutError("ストリームの読み込みエラー");
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
    TDbfField field;
    field.TypeChar = static_cast<char>(descriptor[11]);
    field.Length = static_cast<std::uint8_t>(descriptor[16]);
    field.Decimals = static_cast<std::uint8_t>(descriptor[17]);
    field.Offset = offset;
    switch (field.TypeChar) {
        case 'C':
            field.Type = ftString;
            break;
        case 'D':
            field.Type = ftDate;
            break;
        case 'L':
            field.Type = ftBoolean;
            break;
        case 'N':
            field.Type = field.Decimals > 0 ? ftFloat : ftInteger;
            break;
        default:
            throw ELocalDbfError(kFieldTypeRefused);
    }
    // The name runs to the first zero byte; a name area without one gives all 11 bytes.
    const char* const nameArea = reinterpret_cast<const char*>(descriptor.data());
    const std::string name(nameArea, std::find(nameArea, nameArea + kNameAreaSize, '\0'));
    const std::string prefix = "Field=" + std::to_string(fieldNo) + ": ";
    try {
        // A date needs its eight digits and a logical value its one byte.
        if ((field.Type == ftDate && field.Length < 8) ||
            (field.Type == ftBoolean && field.Length < 1)) {
            throw ELocalDbfError("Invalid size " + std::to_string(field.Length) + " for field '" +
                                 name + "'");
        }
        MutableFieldDefs().Add(name, field.Type, field.Type == ftString ? field.Length : 0, false);
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
        throw ELocalDbfError("DBFのレコード長 " + DecimalText(recordLength_) +
                             " がフィールドの長さの合計 " + DecimalText(needed) + " より短いです");
    }
    // Only records wholly present in the file are shown; appending then starts right after
    // the last of them.
    const std::uint64_t present = (fileSize - headerLength_) / recordLength_;
    const std::uint64_t counted = byte_order::GetUInt32LE(&header_[4]);
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
    if (index >= writtenCount_) {
        // Posted in bulk and still waiting: the image is in memory, not yet in the file.
        const auto at = static_cast<std::size_t>(index - writtenCount_) * recordLength_;
        std::memcpy(buffer.data(), waiting_.data() + at, recordLength_);
        return;
    }
    if (storage_->ReadAt(RecordOffset(index), buffer.first(recordLength_)) != recordLength_) {
        throw EInOutError("ストリームの読み込みエラー");
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
    const TDbfField& f = dbfFields_[static_cast<std::size_t>(field.FieldNo() - 1)];
    const std::span<const std::byte> buffer = ReadBuffer();
    const std::string_view bytes(reinterpret_cast<const char*>(buffer.data()) + f.Offset, f.Length);
    switch (f.Type) {
        case ftString:
            return ReadString(bytes);
        case ftInteger:
            if (const auto v = ParseInt32Text(TrimBlanks(bytes))) {
                return *v;
            }
            return {};
        case ftFloat:
            if (const auto v = ParseDecimalText(TrimBlanks(bytes))) {
                return *v;
            }
            return {};
        case ftBoolean:
            if (bytes[0] == 'T') {
                return true;
            }
            if (bytes[0] == 'F') {
                return false;
            }
            return {};
        case ftDate:
            return ReadDate(bytes);
    }
    return {};
}

void TLocalDbf::SetFieldValue(const TField& field, const TFieldValueView& value) {
    const TDbfField& f = dbfFields_[static_cast<std::size_t>(field.FieldNo() - 1)];
    const std::span<char> bytes(reinterpret_cast<char*>(ActiveBuffer().data()) + f.Offset,
                                f.Length);
    if (std::holds_alternative<std::monostate>(value)) {
        std::memset(bytes.data(), ' ', bytes.size());
        return;
    }
    switch (f.Type) {
        case ftString:
            StoreLeftAligned(bytes, std::get<std::string_view>(value));
            return;
        case ftInteger: {
            std::array<char, 12> text{};
            const auto end =
                std::to_chars(text.data(), text.data() + text.size(), std::get<std::int32_t>(value))
                    .ptr;
            StoreRightAligned(bytes, std::string_view(text.data(), end));
            return;
        }
        case ftFloat: {
            std::array<char, 256> text{};
            const std::size_t length =
                FormatFixed(std::get<double>(value), f.Decimals, std::span(text.data(), f.Length));
            if (length > bytes.size()) {
                throw ELocalDbfError(kTooManyDigits);
            }
            StoreRightAligned(bytes, std::string_view(text.data(), length));
            return;
        }
        case ftBoolean:
            StoreLeftAligned(bytes, std::get<bool>(value) ? "T" : "F");
            return;
        case ftDate: {
            std::array<char, 8> digits{};
            FormatDateDigits(std::get<TDate>(value), digits);
            StoreLeftAligned(bytes, std::string_view(digits.data(), digits.size()));
            return;
        }
    }
}

void TLocalDbf::SetFieldFromText(int index, std::string_view text) {
    if (index >= 0 && index < FieldCount() && (State() == dsInsert || State() == dsEdit)) {
        const TDbfField& f = dbfFields_[static_cast<std::size_t>(index)];
        const std::span<char> bytes(reinterpret_cast<char*>(ActiveBuffer().data()) + f.Offset,
                                    f.Length);
        if (StoreTextDirectly(f, bytes, text)) {
            MarkFieldWritten();
            return;
        }
    }
    Fields(index).SetAsString(text);  // the field layer decides, and raises where it must
}

// What SetAsString stores for the texts each kind of field takes every day, decided and
// written here at once; false (nothing written) for every other text. A number that does
// not fit its field is left to the field layer too, which raises the error for it.
bool TLocalDbf::StoreTextDirectly(const TDbfField& field, std::span<char> bytes,
                                  std::string_view text) {
    if (field.Type == ftString) {
        StoreLeftAligned(
            bytes, text.substr(0, CharBoundaryAtMost(TextCharacterSet(), text, bytes.size())));
        return true;
    }
    const std::string_view trimmed = TrimBlanks(text);
    if (trimmed.empty()) {
        std::memset(bytes.data(), ' ', bytes.size());
        return true;
    }
    std::array<char, 32> formatted{};
    std::size_t length = 0;
    switch (field.Type) {
        case ftInteger: {
            const auto value = ParseInt32Text(trimmed);
            if (!value) {
                return false;
            }
            length = static_cast<std::size_t>(
                std::to_chars(formatted.data(), formatted.data() + formatted.size(), *value).ptr -
                formatted.data());
            break;
        }
        case ftFloat: {
            const auto fixed = FormatFixedFromText(trimmed, field.Decimals, formatted);
            if (!fixed || *fixed > formatted.size()) {
                return false;
            }
            length = *fixed;
            break;
        }
        case ftBoolean: {
            const auto value = ParseBooleanText(trimmed);
            if (!value) {
                return false;
            }
            formatted[0] = *value ? 'T' : 'F';
            length = 1;
            break;
        }
        case ftDate: {
            const auto value = ParseDateText(trimmed);
            if (!value) {
                return false;
            }
            if (trimmed.size() == 10) {
                // "yyyy/mm/dd", checked: its digits are the stored ones.
                std::memcpy(formatted.data(), trimmed.data(), 4);
                std::memcpy(formatted.data() + 4, trimmed.data() + 5, 2);
                std::memcpy(formatted.data() + 6, trimmed.data() + 8, 2);
            } else {
                FormatDateDigits(*value, std::span<char, 8>(formatted.data(), 8));
            }
            length = 8;
            break;
        }
        case ftString:
            return false;
    }
    const std::string_view stored(formatted.data(), length);
    if (field.Type == ftInteger || field.Type == ftFloat) {
        if (length > bytes.size()) {
            return false;
        }
        StoreRightAligned(bytes, stored);
    } else {
        StoreLeftAligned(bytes, stored);
    }
    return true;
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
    if (recordCount_ >= kMaxRecordCount) {
        throw ELocalDbfError("DBFのレコード数が上限に達しています");
    }
    image[0] = kBlank;
    if (!BulkAppending()) {
        cursor_ = recordCount_;
        WriteAppendedRecord(image);
        staleView_ = true;
        return;
    }
    // The waiting records are written before this one joins them, so that a failed write
    // never leaves this record half posted: it stays the record being appended.
    if (waiting_.size() + recordLength_ > bulkFlushBytes_) {
        FlushAppends();
    }
    waiting_.insert(waiting_.end(), image.begin(), image.end());
    cursor_ = recordCount_;
    ++recordCount_;
    staleView_ = true;
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
    byte_order::PutUInt32LE(&header[4], static_cast<std::uint32_t>(recordCount_ + 1));
    storage_->WriteAt(0, header);
    header_ = header;
    ++recordCount_;
    writtenCount_ = recordCount_;
}

// ---------------------------------------------------------------------------------------
// Bulk appending

void TLocalDbf::BeginBulkAppend(std::size_t flushBytes) {
    CheckWritable();
    bulkFlushBytes_ = std::max<std::size_t>(flushBytes, 1);
    waiting_.reserve(std::max(bulkFlushBytes_, recordLength_) + 1);
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
        waiting_.clear();
        staleView_ = true;
        throw;
    }
    waiting_.clear();
}

// The same bytes, in the same order, as appending the waiting records one at a time: the
// records and the end byte in one write, then the header with the new count.
void TLocalDbf::WriteWaitingRecords() {
    waiting_.push_back(kEndOfFile);
    storage_->WriteAt(RecordOffset(writtenCount_), waiting_);
    waiting_.pop_back();

    std::array<std::byte, kHeaderSize> header = header_;
    byte_order::PutUInt32LE(&header[4], static_cast<std::uint32_t>(recordCount_));
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
    waiting_ = {};
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

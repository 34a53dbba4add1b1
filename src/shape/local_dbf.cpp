// SPDX-License-Identifier: MIT
#include "shape/local_dbf.hpp"

#include "shape/byte_order.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>

#include "os/clock.hpp"
#include "shape/errors.hpp"
#include "shape/letter_case.hpp"
#include "shape/output_stream.hpp"
#include "shape/text_words.hpp"

namespace varnelo {
namespace {

using dbf::kBlank;
using dbf::kDeletedFlag;
using dbf::kDescriptorSize;
using dbf::kEndOfFile;
using dbf::kHeaderSize;

// Behind the record image: the 4-byte bookmark, the bookmark flag and 3 spare bytes.
constexpr std::size_t kBufferTrailerSize = 8;
constexpr std::int64_t kMaxRecordCount = std::numeric_limits<std::int32_t>::max();

const char* const kTableNotFound = "テーブルが見つかりません";
const char* const kVersionRefused = "このバージョンのDBFには対応してません";
const char* const kIndexNeedsReadOnly = "mdxのあるDBFはreadOnlyでしかオープンできません";
const char* const kInvalidRecord = "GetRecord: Invalid record";
const char* const kTooManyDigits = "桁数を超えています";
const char* const kRecordLimitReached = "DBFのレコード数が上限に達しています";
const char* const kReadOnlyDataSet = "データセットはリードオンリーです";
const char* const kCannotLocate = "Can't Locate in Current State.";
const char* const kKeyCountMismatch = "Locate: unmatch number of fields and values";
const char* const kKeyArrayBase = "Locate: KeyValues Array must be 0 base";
// Locate reads this much of the table at a time.
constexpr std::size_t kLocateReadBytes = std::size_t{64} << 10;

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
    text_words::FillShort(field.data(), ' ', pad);
    text_words::CopyShort(field.data() + pad, text.data(), text.size());
}

void StoreLeftAligned(std::span<char> field, std::string_view text) {
    const std::size_t n = std::min(text.size(), field.size());
    text_words::CopyShort(field.data(), text.data(), n);
    text_words::FillShort(field.data() + n, ' ', field.size() - n);
}

// The text of a decimal field's value: `decimals` places after the point, or, for a value
// too wide for the field with them, as many as the field leaves beside the integer part
// (none, and no point, when only the integer part fits), rounded the same way. Every dBASE
// reader reads the number from its text, so the field keeps its layout. Raises when the
// integer part alone does not fit. Writes the text to `out`, which is as long as the field.
std::size_t FormatDecimalToFit(double value, int decimals, std::span<char> out) {
    std::size_t length = FormatFixed(value, decimals, out);
    while (length > out.size() && decimals > 0) {
        const std::size_t whole = length - static_cast<std::size_t>(decimals) - 1;
        // Rounding to fewer places may carry into one more integer digit; the next turn
        // then gives up one more place.
        const std::size_t room = out.size() > whole + 1 ? out.size() - whole - 1 : 0;
        decimals = std::min(static_cast<int>(room), decimals - 1);
        length = FormatFixed(value, decimals, out);
    }
    if (length > out.size()) {
        throw ELocalDbfError(kTooManyDigits);
    }
    return length;
}

// A plain integer is stored as it is written; any other form is read and written anew. A
// wide integer field holds whole numbers past 32 bits too, as many digits as it has room
// for.
bool StoreIntegerText(std::span<char> bytes, std::string_view trimmed) {
    if (IsPlainIntegerText(trimmed)) {
        if (trimmed.size() > bytes.size()) {
            return false;
        }
        StoreRightAligned(bytes, trimmed);
        return true;
    }
    const auto value = ParseInt64Text(trimmed);
    if (!value) {
        return false;
    }
    std::array<char, 20> formatted;
    const char* const end =
        std::to_chars(formatted.data(), formatted.data() + formatted.size(), *value).ptr;
    const std::string_view stored(formatted.data(),
                                  static_cast<std::size_t>(end - formatted.data()));
    if (stored.size() > bytes.size()) {
        return false;
    }
    StoreRightAligned(bytes, stored);
    return true;
}

bool StoreDateText(std::span<char> bytes, std::string_view trimmed) {
    const auto value = ParseDateText(trimmed);
    if (!value) {
        return false;
    }
    // A date field holds at least the eight digits.
    if (trimmed.size() == 10) {
        // "yyyy/mm/dd", checked: its digits are the stored ones.
        std::memcpy(bytes.data(), trimmed.data(), 4);
        std::memcpy(bytes.data() + 4, trimmed.data() + 5, 2);
        std::memcpy(bytes.data() + 6, trimmed.data() + 8, 2);
    } else {
        FormatDateDigits(*value, bytes.first<8>());
    }
    text_words::FillShort(bytes.data() + 8, ' ', bytes.size() - 8);
    return true;
}

// StoreTextDirectly for the fields that hold a value read from the trimmed text.
bool StoreValueText(const TDbfField& field, std::span<char> bytes, std::string_view trimmed) {
    if (trimmed.empty()) {
        text_words::FillShort(bytes.data(), ' ', bytes.size());
        return true;
    }
    switch (field.Type) {
        case ftInteger:
            return StoreIntegerText(bytes, trimmed);
        case ftFloat:
            return StoreFixedFromText(trimmed, field.Decimals, bytes);
        case ftBoolean: {
            const auto value = ParseBooleanText(trimmed);
            if (!value) {
                return false;
            }
            // A logical field holds at least its one letter.
            bytes[0] = *value ? 'T' : 'F';
            text_words::FillShort(bytes.data() + 1, ' ', bytes.size() - 1);
            return true;
        }
        case ftDate:
            return StoreDateText(bytes, trimmed);
        case ftString:
            break;
    }
    return false;
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

// The value of `field` in a record image; bytes that do not convert give no value.
TFieldValue ReadFieldValue(const TDbfField& field, std::span<const std::byte> record) {
    const std::string_view bytes(reinterpret_cast<const char*>(record.data()) + field.Offset,
                                 field.Length);
    switch (field.Type) {
        case ftString:
            return ReadString(bytes);
        case ftInteger:
            if (const auto v = ParseInt64Text(TrimBlanks(bytes))) {
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

// Splits Locate's field list: every ";" ends a name (so two in a row give an empty one),
// and what follows the last ";" is a name only when it is not empty.
std::vector<std::string_view> SplitKeyFields(std::string_view keyFields) {
    std::vector<std::string_view> names;
    while (!keyFields.empty()) {
        const std::size_t end = keyFields.find(';');
        names.push_back(keyFields.substr(0, end));
        keyFields = end == std::string_view::npos ? std::string_view() : keyFields.substr(end + 1);
    }
    return names;
}

// A key value in the kind of value `field` holds, so that records compare by equality;
// none when no record can match it. Text for a field that is not text is read as
// SetAsString reads it, and raises as that does.
std::optional<TFieldValue> KeyForField(const TField& field, const TFieldValue& key) {
    if (const auto* text = std::get_if<std::string>(&key)) {
        TFieldValue value = field.ValueFromText(*text);
        if (std::holds_alternative<std::monostate>(value)) {
            return std::nullopt;
        }
        return value;
    }
    if (std::holds_alternative<std::monostate>(key)) {
        return std::nullopt;
    }
    const auto* integer = std::get_if<std::int64_t>(&key);
    const auto* real = std::get_if<double>(&key);
    switch (field.DataType()) {
        case ftString:
            return ValueText(key);
        case ftInteger:
            if (integer) {
                return key;
            }
            if (real && *real >= kLowestInteger && *real < -kLowestInteger &&
                std::trunc(*real) == *real) {
                return static_cast<std::int64_t>(*real);
            }
            return std::nullopt;
        case ftFloat:
            if (integer) {
                return static_cast<double>(*integer);
            }
            return real ? std::optional<TFieldValue>(key) : std::nullopt;
        case ftBoolean:
            return std::holds_alternative<bool>(key) ? std::optional<TFieldValue>(key)
                                                     : std::nullopt;
        case ftDate:
            return std::holds_alternative<TDate>(key) ? std::optional<TFieldValue>(key)
                                                      : std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

// One field of a Locate, with the value it must hold.
struct TLocalDbf::TLocateKey {
    const TDbfField* Field = nullptr;
    std::optional<TFieldValue> Value;  // none: no record matches
    std::size_t KeyChars = 0;          // characters of a text key, for a partial key
};

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
                                  : OpenDiskTableStorage(tableName_, access);
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
    waitingBytes_ = 0;
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
    if (header_[dbf::kIndexFlagAt] != std::byte{0} && !readOnly_) {
        throw ELocalDbfError(kIndexNeedsReadOnly);
    }
    headerLength_ = byte_order::GetUInt16LE(&header_[dbf::kHeaderLengthAt]);
    recordLength_ = byte_order::GetUInt16LE(&header_[dbf::kRecordLengthAt]);
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
        throw ELocalDbfError("DBFのレコード長 " + DecimalText(recordLength_) +
                             " がフィールドの長さの合計 " + DecimalText(needed) + " より短いです");
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
            throw EInOutError("ストリームの読み込みエラー");
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
    return ReadFieldValue(dbfFields_[static_cast<std::size_t>(field.FieldNo() - 1)], ReadBuffer());
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
            std::array<char, 20> text{};
            const auto end =
                std::to_chars(text.data(), text.data() + text.size(), std::get<std::int64_t>(value))
                    .ptr;
            StoreRightAligned(bytes, std::string_view(text.data(), end));
            return;
        }
        case ftFloat: {
            std::array<char, 256> text{};
            const std::size_t length = FormatDecimalToFit(std::get<double>(value), f.Decimals,
                                                          std::span(text.data(), f.Length));
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
    return StoreValueText(field, bytes, TrimBlanks(text));
}

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
    if (recordCount_ >= kMaxRecordCount) {
        throw ELocalDbfError(kRecordLimitReached);
    }
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
// Locate

bool TLocalDbf::Locate(std::string_view keyFields, const TLocateValues& keyValues,
                       TLocateOptions options) {
    // Locate writes nothing, so a read-only table can be searched as well.
    CheckActive();
    if (State() != dsBrowse) {
        throw ELocalDbfError(kCannotLocate);
    }
    std::vector<TLocateKey> keys = LocateKeys(keyFields, keyValues);
    for (TLocateKey& key : keys) {
        if (key.Field->Type != ftString || !key.Value) {
            continue;
        }
        key.KeyChars = cp932::CharCount(std::get<std::string>(*key.Value));
    }
    // Without a current record, a search for the next match starts at the first record.
    const std::int64_t start = locateNext_ ? std::max(RecNo(), 0) : 0;
    const std::int64_t found = FindRecord(keys, options, start);
    if (found < 0) {
        return false;
    }
    SetRecNo(static_cast<int>(found + 1));
    return true;
}

std::vector<TLocalDbf::TLocateKey> TLocalDbf::LocateKeys(std::string_view keyFields,
                                                         const TLocateValues& keyValues) const {
    const std::vector<std::string_view> names = SplitKeyFields(keyFields);
    const auto* array = std::get_if<TValueArray>(&keyValues);
    const std::size_t valueCount = array ? array->Values.size() : 0;
    if (names.size() > 1 && valueCount != names.size()) {
        throw ELocalDbfError(kKeyCountMismatch);
    }
    if (valueCount > 0 && array->LowBound != 0) {
        throw ELocalDbfError(kKeyArrayBase);
    }
    std::vector<TLocateKey> keys;
    keys.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        const TField& field = FieldByName(names[i]);
        TLocateKey key;
        key.Field = &dbfFields_[static_cast<std::size_t>(field.FieldNo() - 1)];
        if (valueCount > 0) {
            key.Value = KeyForField(field, array->Values[i]);
        } else if (const auto* value = std::get_if<TFieldValue>(&keyValues)) {
            key.Value = KeyForField(field, *value);
        }  // an empty array as the one value matches nothing
        keys.push_back(std::move(key));
    }
    return keys;
}

// The index of the first record from `start` on that is live, passes the filter and
// holds every key, or -1. Reads the records from the file a block at a time.
std::int64_t TLocalDbf::FindRecord(const std::vector<TLocateKey>& keys, TLocateOptions options,
                                   std::int64_t start) {
    const auto matches = [&](std::span<const std::byte> record) {
        for (const TLocateKey& key : keys) {
            if (!key.Value) {
                return false;
            }
            TFieldValue value = ReadFieldValue(*key.Field, record);
            if (auto* text = std::get_if<std::string>(&value)) {
                if (options.PartialKey) {
                    text->resize(cp932::CharPrefixBytes(*text, key.KeyChars));
                }
                if (options.CaseInsensitive) {
                    if (!SameIgnoringCase(*text, std::get<std::string>(*key.Value),
                                          TextCharacterSet(), TLetters::AsciiAndFullWidth)) {
                        return false;
                    }
                    continue;
                }
            }
            if (value != *key.Value) {  // no value never equals a key
                return false;
            }
        }
        return true;
    };
    const std::int64_t perRead =
        std::max<std::int64_t>(1, static_cast<std::int64_t>(kLocateReadBytes / recordLength_));
    std::vector<std::byte> block;
    for (std::int64_t first = start; first < recordCount_; first += perRead) {
        const std::int64_t count = std::min(perRead, recordCount_ - first);
        block.resize(static_cast<std::size_t>(count) * recordLength_);
        ReadRecords(first, count, block);
        for (std::int64_t i = 0; i < count; ++i) {
            const auto record = std::span<const std::byte>(block).subspan(
                static_cast<std::size_t>(i) * recordLength_, recordLength_);
            if (record[0] != kDeletedFlag && matches(record) &&
                FilterAcceptsRecord(first + i, record)) {
                return first + i;
            }
        }
    }
    return -1;
}

// The filter sees the record under test as the current position, as it does when fetching.
bool TLocalDbf::FilterAcceptsRecord(std::int64_t index, std::span<const std::byte> record) {
    struct CursorRestorer {
        std::int64_t& cursor;
        std::int64_t saved;
        ~CursorRestorer() { cursor = saved; }
    } restorer{cursor_, cursor_};
    cursor_ = index;
    return FilterAccepts(record);
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
        throw ELocalDbfError(kRecordLimitReached);
    }
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
// Bulk appending

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

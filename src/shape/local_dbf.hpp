// SPDX-License-Identifier: MIT
// TLocalDbf: a table over one dBASE file (.dbf), read and written record by record with no
// index, memo or record cache. Every change is in the file before the call that makes it
// returns; closing writes nothing.
//
// The file layout and the checks a field must pass are those of shape/dbf_layout.hpp, for
// opening a table as for creating one (CreateDbfTable).
//
// Sharing: a writable table takes an exclusive lock on its file, a read-only one a shared
// lock. So writers exclude everyone that locks (another table object, another process),
// readers exclude only writers, and any number of readers coexist. The lock is advisory:
// programs that do not lock are not kept out.
//
// Damaged files: opening refuses, with an ELocalDbfError naming the problem, a file shorter
// than its 32-byte header, a header length below 33 or beyond the end of the file, a record
// length of 0 or below 1 + the field lengths. When fewer records are in the file than the
// header counts, only the records wholly present are shown and counted, and appending goes
// on right after them. A name area without a zero byte gives an 11-byte name.
//
// Browsing: moving reads one record per step; records marked deleted ('*' in the flag
// byte, the only mark) and records the filter refuses are passed over, but record numbers
// and bookmarks always count physical records. Locate reads the table a block of records at
// a time for the length of one search and keeps nothing afterwards.
//
// Appending writes the record at header length + record count x record length, whatever
// the file holds there (a missing end byte, bytes after it), and the end byte after it.
//
// Bulk appending is the one exception to "in the file when the call returns", and only on
// request: a caller that holds the table alone and appends many records in a row (the
// converter) can have posted records collect in memory and reach the file in large writes.
//
// The class lives in three files: local_dbf.cpp (the file, its layout, the cursor and
// editing), local_dbf_bulk.cpp (the bulk appender and the direct record) and
// local_dbf_locate.cpp (Locate). How a value becomes field bytes is field_encoding.hpp's.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "shape/dbf_layout.hpp"
#include "shape/field_encoding.hpp"
#include "shape/table.hpp"
#include "shape/table_storage.hpp"

namespace varnelo {

// Locate's key values: one value, or an array of them whose first element has the index
// LowBound (Locate takes only arrays that start at 0).
struct TValueArray {
    int LowBound = 0;
    std::vector<TFieldValue> Values;
};
using TLocateValues = std::variant<TFieldValue, TValueArray>;

struct TLocateOptions {
    // Text fields compare ignoring the case of ASCII letters and of the full-width Latin
    // letters of code page 932 (SameIgnoringCase).
    bool CaseInsensitive = false;
    // Text fields match when they begin with the key.
    bool PartialKey = false;
};

class TLocalDbf : public TDataSet {
  public:
    TLocalDbf();
    ~TLocalDbf() override;

    // The path of the .dbf file; settable only while closed.
    const std::string& TableName() const noexcept { return tableName_; }
    void SetTableName(std::string tableName);

    // Open for reading only (shared with other readers); every write is refused. Settable
    // only while closed.
    bool ReadOnly() const noexcept { return readOnly_; }
    void SetReadOnly(bool readOnly);

    // Records marked deleted are visible when set. Changing it refreshes an open view.
    bool ShowDeleted() const noexcept { return showDeleted_; }
    void SetShowDeleted(bool showDeleted);

    bool LocateNext() const noexcept { return locateNext_; }
    void SetLocateNext(bool locateNext) noexcept { locateNext_ = locateNext; }

    // Records in the table, deleted ones included (only those wholly present in the file).
    int RecordCount() const;

    // The stored form of field `index` (0-based): type letter, length, decimals.
    const TDbfField& DbfField(int index) const;

    // The 1-based physical number of the current record (deleted records count), or -1
    // when no record is current. Inside OnFilterRecord: the record under test.
    int RecNo();
    // Posts a pending record, then makes record `recNo` current; a number outside
    // 1 .. RecordCount is ignored.
    void SetRecNo(int recNo);
    // Whether the current record is marked deleted (only visible with ShowDeleted).
    bool IsDeleted() const;

    // Finds the first record, from the first one (or with LocateNext from the one after the
    // current record), whose fields named in `keyFields` (separated by ";") hold
    // `keyValues`, and makes it current; answers false and stays put when there is none.
    // Records marked deleted or refused by the filter are passed over. Works on read-only
    // tables, only while browsing. A text key for a field that is not text is read as
    // SetAsString reads it.
    bool Locate(std::string_view keyFields, const TLocateValues& keyValues,
                TLocateOptions options = {});

    // Where the table's bytes come from; the disk unless replaced (tests use memory files
    // and failing files). Takes effect at the next Open.
    void SetStorageFactory(TTableStorageFactory factory);

    bool CanModify() const override { return Active() && !readOnly_; }

    // Sets field `index` (0-based) of the record being appended or edited from text, with
    // the same bytes, or the same error, as Fields(index).SetAsString(text). The everyday
    // texts (a plain number, a date, a letter, any text for a character field) are stored
    // straight into the record; anything else goes through the field layer.
    void SetFieldFromText(int index, std::string_view text);

    // Appending a record straight from texts while bulk appending, without the field layer
    // and its notifications, for a writer of many rows. StartDirectRecord gives a blank
    // record, or answers false when the table is not bulk appending or not browsing;
    // StoreDirectText sets field `index` (0-based, below FieldCount) of it as
    // SetFieldFromText would, or answers false and leaves a text it does not decide at
    // once (a value to refuse among them) to the field layer: the caller then drops the
    // record and sets the row through Append and SetFieldFromText. PostDirectRecord appends
    // it as Post would; the view is not moved onto it until the next move or Refresh.
    bool StartDirectRecord();
    bool StoreDirectText(int index, std::string_view text) {
        const TDbfField& f = dbfFields_[static_cast<std::size_t>(index)];
        return EncodeFieldText(
            f,
            std::span<char>(reinterpret_cast<char*>(waiting_.get() + waitingBytes_) + f.Offset,
                            f.Length),
            text, TextCharacterSet());
    }
    void PostDirectRecord();

    // Bulk appending, on an open writable table. Posted new records then collect in memory
    // and are written, followed by the end byte and then the header with the new record
    // count, in one go whenever about `flushBytes` have gathered, at FlushAppends and at
    // EndBulkAppend. Until then the file lags behind the table; the table itself (record
    // count, fetching) shows every posted record. A failed write drops every record still
    // waiting, so that the table again shows what its file holds, and raises. Editing a
    // record writes the waiting ones first. Closing the table writes them too but swallows
    // a failure: call EndBulkAppend first to learn of it.
    static constexpr std::size_t kDefaultBulkFlushBytes = std::size_t{256} << 10;
    void BeginBulkAppend(std::size_t flushBytes = kDefaultBulkFlushBytes);
    void FlushAppends();
    // Writes the waiting records and returns to writing each record when it is posted.
    void EndBulkAppend();
    bool BulkAppending() const noexcept { return bulkFlushBytes_ > 0; }

  protected:
    void InternalOpen() override;
    void InternalClose() noexcept override;
    void InternalInitRecord(std::span<std::byte> buffer) override;
    TGetResult GetRecord(std::span<std::byte> buffer, TGetMode mode, bool doCheck) override;
    void InternalFirst() override { cursor_ = -1; }
    void InternalLast() override { cursor_ = recordCount_; }
    void InternalSetToRecord(std::span<const std::byte> buffer) override;
    void InternalPost() override;
    void FilterChanged() override { staleView_ = true; }
    void InternalDelete() override;
    void InternalGotoBookmark(TBookmark bookmark) override;
    TBookmark GetBookmarkData(std::span<const std::byte> buffer) const override {
        return BufferBookmark(buffer);
    }
    TFieldValue GetFieldValue(const TField& field) const override;
    void SetFieldValue(const TField& field, const TFieldValueView& value) override;

    // The 0-based record index kept behind the record image in every record buffer.
    std::int32_t BufferBookmark(std::span<const std::byte> buffer) const noexcept;
    void SetBufferBookmark(std::span<std::byte> buffer, std::int32_t index) const noexcept;

    std::uint64_t RecordOffset(std::int64_t index) const noexcept;
    void ReadRecord(std::int64_t index, std::span<std::byte> buffer);
    // Reads `count` records from `first` on, one after the other, into `out`.
    void ReadRecords(std::int64_t first, std::int64_t count, std::span<std::byte> out);
    // Raises "データセットはリードオンリーです" unless the table is open for writing.
    void CheckWritable() const;

  private:
    struct TLocateKey;

    // Record counts and numbers are 32-bit in the file header and in bookmarks.
    static constexpr std::int64_t kMaxRecordCount = std::numeric_limits<std::int32_t>::max();

    void ReadHeader(TTableStorage& storage, std::uint64_t fileSize);
    void ReadFieldDefinitions(TTableStorage& storage);
    void AddFieldDefinition(int fieldNo, std::span<const std::byte, 32> descriptor,
                            std::size_t offset);
    void CheckRecordLayout(std::uint64_t fileSize);
    // Raises "DBFのレコード数が上限に達しています" when the table holds all it can count.
    void CheckRecordLimit() const;
    void AppendRecord(std::span<std::byte> image);
    void WriteAppendedRecord(std::span<const std::byte> image);
    void WriteWaitingRecords();
    // Where the next record goes after the waiting ones, with room for it and the end byte.
    std::byte* RoomForRecord();
    void PostRecordInRoom();
    void GrowWaitingRoom(std::size_t bytes);
    std::vector<TLocateKey> LocateKeys(std::string_view keyFields,
                                       const TLocateValues& keyValues) const;
    std::int64_t FindRecord(const std::vector<TLocateKey>& keys, TLocateOptions options,
                            std::int64_t start);
    bool FilterAcceptsRecord(std::int64_t index, std::span<const std::byte> record);

    std::string tableName_;
    bool readOnly_ = false;
    bool showDeleted_ = false;
    bool locateNext_ = false;
    TTableStorageFactory storageFactory_;

    std::unique_ptr<TTableStorage> storage_;
    std::array<std::byte, 32> header_{};
    std::int64_t recordCount_ = 0;
    std::size_t headerLength_ = 0;
    std::size_t recordLength_ = 0;
    std::vector<TDbfField> dbfFields_;
    std::vector<std::byte> appendImage_;  // the record image followed by the end byte
    // 0-based physical record index; -1 before the first record, recordCount_ after the last.
    std::int64_t cursor_ = -1;
    // Set when the view may not match the file; cleared when a fetch accepts a record.
    bool staleView_ = true;

    // Bulk appending: 0 when off. The records from index `writtenCount_` on are not yet in
    // the file; their images wait in the first `waitingBytes_` bytes of `waiting_`, one
    // after the other. The bytes after them are room for the next record (where a direct
    // record is set up) and the end byte.
    std::size_t bulkFlushBytes_ = 0;
    std::int64_t writtenCount_ = 0;
    std::unique_ptr<std::byte[]> waiting_;
    std::size_t waitingRoom_ = 0;
    std::size_t waitingBytes_ = 0;
};

// Writes a new, empty table at `path` with these fields (checked by PlanDbfLayout before
// anything is written), dated today, replacing any file of that name. A file that a table
// holds open, here or in another process, counts as one that cannot be created
// (EInOutError): replacing it would pull the rows from under its holder.
void CreateDbfTable(const std::string& path, std::span<const TDbfFieldDef> fields);

// Bulk appending for the length of a scope. Finish() ends it and reports a failed write;
// leaving the scope otherwise (an error on the way) ends it too, writing what waits and
// swallowing a failure, since an error is already on its way.
class TBulkAppendScope {
  public:
    explicit TBulkAppendScope(TLocalDbf& table,
                              std::size_t flushBytes = TLocalDbf::kDefaultBulkFlushBytes);
    ~TBulkAppendScope();
    TBulkAppendScope(const TBulkAppendScope&) = delete;
    TBulkAppendScope& operator=(const TBulkAppendScope&) = delete;

    void Finish();

  private:
    TLocalDbf& table_;
};

}  // namespace varnelo

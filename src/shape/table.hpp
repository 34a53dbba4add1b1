// SPDX-License-Identifier: MIT
// The generic table layer: a dataset with a current record, states, record buffers,
// field definitions and field objects that turn text into typed values. A concrete table
// (the dBASE engine) fills in the storage side through the protected Internal* hooks;
// this layer owns the order of calls, the buffers and the notification events.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "shape/character_set.hpp"
#include "shape/errors.hpp"
#include "shape/value_text.hpp"

namespace varnelo {

enum TFieldType : std::uint8_t { ftString, ftInteger, ftFloat, ftBoolean, ftDate };

// Filtering is transient: it lasts only while the filter callback runs.
enum TDataSetState : std::uint8_t { dsInactive, dsBrowse, dsInsert, dsEdit, dsFilter };

// What a record fetch asks for, and what it answers.
enum TGetMode : std::uint8_t { gmCurrent, gmNext, gmPrior };
enum TGetResult : std::uint8_t { grOK, grBOF, grEOF, grError };

// A field's value as read; std::monostate means "no value".
// An integer field holds signed 64-bit values.
using TFieldValue = std::variant<std::monostate, std::string, std::int64_t, double, bool, TDate>;
// The lowest integer field value, as a double; the highest is one below its negation.
inline constexpr double kLowestInteger = -0x1p63;

// A value handed to a field; the text alternative only borrows its bytes.
using TFieldValueView =
    std::variant<std::monostate, std::string_view, std::int64_t, double, bool, TDate>;

// A record's place in the table, as GetBookmark gives it and GotoBookmark takes it.
using TBookmark = std::int32_t;

// The text of a value: "" for no value, numbers in plain decimal, booleans "True"/"False",
// dates "yyyy/mm/dd".
std::string ValueText(const TFieldValue& value);

// What an error handler decides: raise the error on, or try the operation again.
enum class TDataAction { Fail, Retry };

class TDataSet;

using TDataSetNotifyEvent = std::function<void(TDataSet&)>;
using TDataSetErrorEvent = std::function<void(TDataSet&, const Exception&, TDataAction&)>;
using TFilterRecordEvent = std::function<void(TDataSet&, bool& accept)>;

struct TFieldDef {
    std::string Name;
    TFieldType DataType = ftString;
    int Size = 0;  // bytes of text for ftString, 0 for the other types
    bool Required = false;
    int FieldNo = 0;  // 1-based position
};

class TFieldDefs {
  public:
    // Appends a definition numbered after the last one. Raises EDatabaseError for an empty
    // name or a negative size; a name may repeat, and FieldByName finds the first.
    const TFieldDef& Add(std::string name, TFieldType dataType, int size, bool required);
    void Clear() noexcept { defs_.clear(); }
    int Count() const noexcept { return static_cast<int>(defs_.size()); }
    const TFieldDef& operator[](int index) const {
        return defs_.at(static_cast<std::size_t>(index));
    }

  private:
    std::vector<TFieldDef> defs_;
};

// One column of the open table, reading and writing the current record.
class TField {
  public:
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    const std::string& FieldName() const noexcept { return def_.Name; }
    TFieldType DataType() const noexcept { return def_.DataType; }
    int Size() const noexcept { return def_.Size; }
    int FieldNo() const noexcept { return def_.FieldNo; }
    TDataSet& DataSet() const noexcept { return *dataSet_; }

    // Value in the current record (the record under test while filtering). Never raises
    // for the record's content: bytes that do not convert give no value.
    TFieldValue Value() const;
    bool IsNull() const;
    // ValueText of Value().
    std::string AsString() const;
    // The value SetAsString stores for `text`, without storing it: no value for empty or
    // blank text in a field that is not text; text the field's type does not accept raises
    // the same EConvertError.
    TFieldValue ValueFromText(std::string_view text) const;

    // Setting requires a record being appended or edited (EDatabaseError otherwise).
    // Text that the field's type does not accept raises EConvertError quoting the text.
    void SetAsString(std::string_view text);
    void SetValue(const TFieldValueView& value);
    void SetAsInteger(std::int64_t value) { SetValue(value); }
    void SetAsFloat(double value) { SetValue(value); }
    void SetAsBoolean(bool value) { SetValue(value); }
    void SetAsDate(const TDate& value) { SetValue(value); }
    void Clear() { SetValue(std::monostate{}); }

  private:
    friend class TDataSet;
    TField(TDataSet& dataSet, const TFieldDef& def) : dataSet_(&dataSet), def_(def) {}

    TDataSet* dataSet_;
    TFieldDef def_;
};

class TDataSet {
  public:
    TDataSet() = default;
    TDataSet(const TDataSet&) = delete;
    TDataSet& operator=(const TDataSet&) = delete;
    virtual ~TDataSet();

    // Notification events; each is called only when assigned.
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent OnNewRecord;
    // Reserved for calculated fields; this layer has none, so it is never called.
    TDataSetNotifyEvent OnCalcFields;
    // Called when deleting, posting or starting an edit fails; Retry runs the operation
    // again.
    TDataSetErrorEvent OnDeleteError, OnEditError, OnPostError;
    // Decides, while Filtered is on, whether a fetched record is visible.
    TFilterRecordEvent OnFilterRecord;

    // Opening positions the view on the first visible record, if any.
    void Open();
    // Drops a record being appended or edited unwritten, destroys the field objects and
    // releases the storage.
    void Close();
    bool Active() const noexcept { return state_ != dsInactive; }
    void SetActive(bool active) { active ? Open() : Close(); }
    TDataSetState State() const noexcept { return state_; }

    int FieldCount() const noexcept { return static_cast<int>(fields_.size()); }
    TField& Fields(int index) const;
    // The first field of that name, ASCII letters compared ignoring case over the characters
    // of the table's character set (SameIgnoringCase); an unknown name raises EDatabaseError
    // "Field 'X' not found".
    TField& FieldByName(std::string_view name) const;
    TField* FindField(std::string_view name) const noexcept;
    const TFieldDefs& FieldDefs() const noexcept { return fieldDefs_; }

    // Starting an append or edit posts a record still pending; both need CanModify().
    void Append();
    void Edit();
    // Writes the record being appended or edited, returns to browsing and fetches the
    // current record again. Nothing happens while browsing.
    void Post();
    void Cancel();
    // Deletes the current record as the concrete table does it (a record being appended is
    // dropped instead, an edit in progress is given up first). Needs CanModify() and a
    // current record; the view is then fetched again at the same place.
    void Delete();

    void First();
    void Last();
    void Next();
    void Prior();
    bool Bof() const noexcept { return bof_; }
    bool Eof() const noexcept { return eof_; }
    // True when no record is visible.
    bool IsEmpty() const noexcept { return bof_ && eof_; }
    // True once a field of the record being appended or edited has been set.
    bool Modified() const noexcept { return modified_; }

    // The current record's bookmark; none while no record is current (an empty view, a
    // record being appended).
    std::optional<TBookmark> GetBookmark() const;
    // Posts a pending record and makes the bookmarked record current; a record the view
    // hides leaves the view on the nearest visible one.
    void GotoBookmark(TBookmark bookmark);

    bool Filtered() const noexcept { return filtered_; }
    void SetFiltered(bool filtered);

    virtual bool CanModify() const = 0;

    // The character set of the table's text: text fields are cut to their size on its
    // character boundaries. Code page 932 unless set.
    TCharacterSet TextCharacterSet() const noexcept { return textCharacterSet_; }
    void SetTextCharacterSet(TCharacterSet set) noexcept { textCharacterSet_ = set; }

  protected:
    // Opens the storage and fills MutableFieldDefs(); calls SetRecordBufferSize. Must leave
    // nothing open when it raises.
    virtual void InternalOpen() = 0;
    virtual void InternalClose() noexcept = 0;
    // Fills the buffer of a new record.
    virtual void InternalInitRecord(std::span<std::byte> buffer) = 0;
    virtual TGetResult GetRecord(std::span<std::byte> buffer, TGetMode mode, bool doCheck) = 0;
    // Place the cursor before the first, after the last, or on the buffer's record.
    virtual void InternalFirst() = 0;
    virtual void InternalLast() = 0;
    virtual void InternalSetToRecord(std::span<const std::byte> buffer) = 0;
    // Called with the state still dsInsert or dsEdit and the record in ActiveBuffer().
    virtual void InternalPost() = 0;
    virtual void InternalEdit() {}
    // Marks the record in ActiveBuffer() deleted.
    virtual void InternalDelete() = 0;
    // Places the cursor on the bookmarked record, or raises when there is none.
    virtual void InternalGotoBookmark(TBookmark bookmark) = 0;
    virtual TBookmark GetBookmarkData(std::span<const std::byte> buffer) const = 0;
    virtual void InternalCancel() {}
    virtual void FilterChanged() {}
    virtual TFieldValue GetFieldValue(const TField& field) const = 0;
    virtual void SetFieldValue(const TField& field, const TFieldValueView& value) = 0;

    TFieldDefs& MutableFieldDefs() noexcept { return fieldDefs_; }
    // For a table that stores a field's bytes itself: tells the layer a field was set.
    void MarkFieldWritten() noexcept { FieldWritten(); }
    void SetRecordBufferSize(std::size_t size) noexcept { recordBufferSize_ = size; }
    std::span<std::byte> ActiveBuffer() noexcept { return active_; }
    std::span<const std::byte> ActiveBuffer() const noexcept { return active_; }
    // The buffer field reads see: the record under test while filtering, else the active one.
    std::span<const std::byte> ReadBuffer() const noexcept;
    // Runs OnFilterRecord on `record` in the filtering state when Filtered is on; true when
    // the record is visible.
    bool FilterAccepts(std::span<const std::byte> record);
    // Posts a pending record and fetches the current position again under the view's rules.
    void Refresh();
    // Posts a pending record, lets `place` put the cursor somewhere and fetches the view
    // there, between the scroll events.
    void MoveTo(const std::function<void()>& place);
    void CheckActive() const;
    // Requires an open table and posts a record being appended or edited.
    void CheckBrowseMode();
    [[noreturn]] static void DatabaseError(const std::string& message);

  private:
    friend class TField;

    void CreateFields();
    void AllocateBuffers();
    void CheckEditMode() const;
    void CheckCanModify() const;
    void Resync();
    bool FetchInto(TGetMode mode);
    template <class Operation>
    void RunHandled(const TDataSetErrorEvent& onError, Operation operation);
    void Notify(const TDataSetNotifyEvent& event) {
        if (event) {
            event(*this);
        }
    }
    void FieldWritten() noexcept { modified_ = true; }

    TDataSetState state_ = dsInactive;
    TFieldDefs fieldDefs_;
    std::vector<std::unique_ptr<TField>> fields_;
    std::size_t recordBufferSize_ = 0;
    std::vector<std::byte> active_;   // the current record
    std::vector<std::byte> scratch_;  // target of fetches until they succeed
    std::vector<std::byte> saved_;    // the current record while appending or editing
    bool savedBof_ = true;
    bool savedEof_ = true;
    std::span<const std::byte> filterRecord_;
    bool bof_ = true;
    bool eof_ = true;
    bool modified_ = false;
    bool filtered_ = false;
    TCharacterSet textCharacterSet_ = TCharacterSet::ShiftJis;
};

}  // namespace varnelo

// SPDX-License-Identifier: MIT
#include "shape/table.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <type_traits>
#include <utility>

#include "os/catalog.hpp"
#include "shape/ascii_text.hpp"
#include "shape/letter_case.hpp"

namespace varnelo {
namespace {

std::string DateText(const TDate& date) {
    std::array<char, 8> digits{};
    FormatDateDigits(date, digits);
    std::string text(digits.data(), 4);
    text += '/';
    text.append(digits.data() + 4, 2);
    text += '/';
    text.append(digits.data() + 6, 2);
    return text;
}

// Text of any value alternative, for AsString and for typed values set on text fields.
template <class Variant>
std::string TextOf(const Variant& value) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return {};
            } else if constexpr (std::is_same_v<T, std::string> ||
                                 std::is_same_v<T, std::string_view>) {
                return std::string(v);
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? "True" : "False";
            } else if constexpr (std::is_same_v<T, TDate>) {
                return DateText(v);
            } else if constexpr (std::is_same_v<T, double>) {
                std::array<char, 32> buffer{};
                const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v,
                                               std::chars_format::general, 15)
                                     .ptr;
                return std::string(buffer.data(), end);
            } else {
                std::array<char, 16> buffer{};
                const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v).ptr;
                return std::string(buffer.data(), end);
            }
        },
        value);
}

[[noreturn]] void RaiseNotConvertible(std::string_view text, TText what) {
    throw EConvertError(Text(what, TextForMessage(text)));
}

[[noreturn]] void RaiseWrongKind(const TField& field) {
    throw EDatabaseError(Text(TText::kShapeWrongKind, field.FieldName()));
}

}  // namespace

std::string ValueText(const TFieldValue& value) {
    return TextOf(value);
}

// ---------------------------------------------------------------------------------------
// Field definitions

const TFieldDef& TFieldDefs::Add(std::string name, TFieldType dataType, int size, bool required) {
    if (name.empty()) {
        throw EDatabaseError("Field name missing");
    }
    // Names that repeat, or differ only in letter case, are allowed: tables written from
    // MIF columns keep such names, and FieldByName finds the first of them.
    if (size < 0) {
        throw EDatabaseError("Invalid field size");
    }
    const int fieldNo = Count() + 1;
    defs_.push_back(TFieldDef{std::move(name), dataType, size, required, fieldNo});
    return defs_.back();
}

// ---------------------------------------------------------------------------------------
// Fields

TFieldValue TField::Value() const {
    dataSet_->CheckActive();
    return dataSet_->GetFieldValue(*this);
}

bool TField::IsNull() const {
    return std::holds_alternative<std::monostate>(Value());
}

std::string TField::AsString() const {
    return ValueText(Value());
}

TFieldValue TField::ValueFromText(std::string_view text) const {
    if (DataType() == ftString) {
        return std::string(text);
    }
    const std::string_view trimmed = TrimBlanks(text);
    if (trimmed.empty()) {
        return {};
    }
    switch (DataType()) {
        case ftInteger:
            if (const auto v = ParseInt64Text(trimmed)) {
                return *v;
            }
            RaiseNotConvertible(text, TText::kShapeNotAnInteger);
        case ftFloat:
            if (const auto v = ParseDecimalText(trimmed)) {
                return *v;
            }
            RaiseNotConvertible(text, TText::kShapeNotAFloat);
        case ftBoolean:
            if (const auto v = ParseBooleanText(trimmed)) {
                return *v;
            }
            RaiseNotConvertible(text, TText::kShapeNotABoolean);
        case ftDate:
            if (const auto v = ParseDateText(trimmed)) {
                return *v;
            }
            RaiseNotConvertible(text, TText::kShapeNotADate);
        case ftString:
            break;
    }
    return {};
}

void TField::SetAsString(std::string_view text) {
    dataSet_->CheckEditMode();
    if (DataType() == ftString) {
        SetValue(text);
        return;
    }
    // A value that is not text holds no bytes to borrow, so the view takes it as it is.
    std::visit(
        [this](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (!std::is_same_v<T, std::string>) {
                SetValue(v);
            }
        },
        ValueFromText(text));
}

void TField::SetValue(const TFieldValueView& value) {
    dataSet_->CheckEditMode();
    if (const auto* text = std::get_if<std::string_view>(&value); text && DataType() != ftString) {
        SetAsString(*text);
        return;
    }
    std::string converted;  // holds typed values turned into text for a text field
    TFieldValueView stored = value;
    const bool none = std::holds_alternative<std::monostate>(value);
    switch (DataType()) {
        case ftString:
            if (!none) {
                std::string_view text;
                if (const auto* view = std::get_if<std::string_view>(&value)) {
                    text = *view;
                } else {
                    converted = TextOf(value);
                    text = converted;
                }
                // Never keep part of a character.
                const auto size = static_cast<std::size_t>(Size());
                stored =
                    text.substr(0, CharBoundaryAtMost(dataSet_->TextCharacterSet(), text, size));
            }
            break;
        case ftInteger:
            if (const auto* d = std::get_if<double>(&value)) {
                const double rounded = std::round(*d);
                if (!(rounded >= kLowestInteger && rounded < -kLowestInteger)) {
                    throw EConvertError(
                        Text(TText::kShapeOutOfIntegerRange, FieldName(), TextOf(value)));
                }
                stored = static_cast<std::int64_t>(rounded);
            } else if (!none && !std::holds_alternative<std::int64_t>(value)) {
                RaiseWrongKind(*this);
            }
            break;
        case ftFloat:
            if (const auto* i = std::get_if<std::int64_t>(&value)) {
                stored = static_cast<double>(*i);
            } else if (const auto* d = std::get_if<double>(&value)) {
                if (!std::isfinite(*d)) {
                    throw EConvertError(Text(TText::kShapeNonFinite, FieldName()));
                }
            } else if (!none) {
                RaiseWrongKind(*this);
            }
            break;
        case ftBoolean:
            if (!none && !std::holds_alternative<bool>(value)) {
                RaiseWrongKind(*this);
            }
            break;
        case ftDate:
            if (const auto* date = std::get_if<TDate>(&value)) {
                if (!IsValidDate(*date)) {
                    throw EConvertError(Text(TText::kShapeInvalidDate, FieldName()));
                }
            } else if (!none) {
                RaiseWrongKind(*this);
            }
            break;
    }
    dataSet_->SetFieldValue(*this, stored);
    dataSet_->FieldWritten();
}

// ---------------------------------------------------------------------------------------
// Dataset

TDataSet::~TDataSet() = default;

void TDataSet::DatabaseError(const std::string& message) {
    throw EDatabaseError(message);
}

void TDataSet::CheckActive() const {
    if (!Active()) {
        DatabaseError("Cannot perform this operation on a closed dataset");
    }
}

void TDataSet::CheckEditMode() const {
    if (state_ != dsInsert && state_ != dsEdit) {
        DatabaseError("Dataset not in edit or insert mode");
    }
}

void TDataSet::CheckCanModify() const {
    if (!CanModify()) {
        DatabaseError("Cannot modify a read-only dataset");
    }
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    if (state_ == dsInsert || state_ == dsEdit) {
        Post();
    }
}

TField& TDataSet::Fields(int index) const {
    if (index < 0 || index >= FieldCount()) {
        DatabaseError("Field index out of range");
    }
    return *fields_[static_cast<std::size_t>(index)];
}

TField* TDataSet::FindField(std::string_view name) const noexcept {
    for (const auto& field : fields_) {
        if (SameIgnoringCase(field->FieldName(), name, TextCharacterSet())) {
            return field.get();
        }
    }
    return nullptr;
}

TField& TDataSet::FieldByName(std::string_view name) const {
    if (TField* field = FindField(name)) {
        return *field;
    }
    DatabaseError("Field '" + std::string(name) + "' not found");
}

void TDataSet::CreateFields() {
    fields_.clear();
    fields_.reserve(static_cast<std::size_t>(fieldDefs_.Count()));
    for (int i = 0; i < fieldDefs_.Count(); ++i) {
        fields_.push_back(std::unique_ptr<TField>(new TField(*this, fieldDefs_[i])));
    }
}

void TDataSet::AllocateBuffers() {
    active_.assign(recordBufferSize_, std::byte{0});
    scratch_.assign(recordBufferSize_, std::byte{0});
    saved_.assign(recordBufferSize_, std::byte{0});
    InternalInitRecord(active_);
}

void TDataSet::Open() {
    if (Active()) {
        return;
    }
    Notify(BeforeOpen);
    InternalOpen();
    try {
        CreateFields();
        AllocateBuffers();
        state_ = dsBrowse;
        bof_ = eof_ = true;
        modified_ = false;
        InternalFirst();
        if (FetchInto(gmNext)) {
            bof_ = true;
            eof_ = false;
        }
    } catch (...) {
        fields_.clear();
        state_ = dsInactive;
        InternalClose();
        throw;
    }
    Notify(AfterOpen);
}

void TDataSet::Close() {
    if (!Active()) {
        return;
    }
    Notify(BeforeClose);
    fields_.clear();
    state_ = dsInactive;
    modified_ = false;
    filterRecord_ = {};
    InternalClose();
    Notify(AfterClose);
}

bool TDataSet::FetchInto(TGetMode mode) {
    if (GetRecord(scratch_, mode, false) != grOK) {
        return false;
    }
    active_.swap(scratch_);
    return true;
}

void TDataSet::Resync() {
    if (FetchInto(gmCurrent) || FetchInto(gmNext) || FetchInto(gmPrior)) {
        bof_ = eof_ = false;
    } else {
        bof_ = eof_ = true;
    }
}

void TDataSet::Refresh() {
    CheckBrowseMode();
    if (!IsEmpty()) {
        InternalSetToRecord(active_);
    }
    Resync();
}

void TDataSet::SetFiltered(bool filtered) {
    if (filtered == filtered_) {
        return;
    }
    filtered_ = filtered;
    FilterChanged();
    if (Active()) {
        Refresh();
    }
}

std::span<const std::byte> TDataSet::ReadBuffer() const noexcept {
    return state_ == dsFilter ? filterRecord_ : std::span<const std::byte>(active_);
}

bool TDataSet::FilterAccepts(std::span<const std::byte> record) {
    if (!filtered_ || !OnFilterRecord) {
        return true;
    }
    struct StateRestorer {
        TDataSet& dataSet;
        TDataSetState previous;
        ~StateRestorer() {
            dataSet.state_ = previous;
            dataSet.filterRecord_ = {};
        }
    } restorer{*this, state_};
    state_ = dsFilter;
    filterRecord_ = record;
    bool accept = true;
    OnFilterRecord(*this, accept);
    return accept;
}

template <class Operation>
void TDataSet::RunHandled(const TDataSetErrorEvent& onError, Operation operation) {
    for (;;) {
        try {
            operation();
            return;
        } catch (const Exception& error) {
            TDataAction action = TDataAction::Fail;
            if (onError) {
                onError(*this, error, action);
            }
            if (action != TDataAction::Retry) {
                throw;
            }
        }
    }
}

void TDataSet::Append() {
    CheckBrowseMode();
    CheckCanModify();
    Notify(BeforeInsert);
    Notify(BeforeScroll);
    // The current record waits in saved_ so that Cancel can bring it back.
    active_.swap(saved_);
    savedBof_ = bof_;
    savedEof_ = eof_;
    InternalInitRecord(active_);
    state_ = dsInsert;
    modified_ = false;
    Notify(OnNewRecord);
    Notify(AfterInsert);
    Notify(AfterScroll);
}

void TDataSet::Edit() {
    CheckActive();
    if (state_ == dsInsert || state_ == dsEdit) {
        return;
    }
    CheckCanModify();
    if (IsEmpty()) {
        DatabaseError("No current record to edit");
    }
    Notify(BeforeEdit);
    RunHandled(OnEditError, [this] { InternalEdit(); });
    saved_ = active_;  // same size, so no allocation
    savedBof_ = bof_;
    savedEof_ = eof_;
    state_ = dsEdit;
    modified_ = false;
    Notify(AfterEdit);
}

void TDataSet::Post() {
    CheckActive();
    if (state_ != dsInsert && state_ != dsEdit) {
        return;
    }
    Notify(BeforePost);
    RunHandled(OnPostError, [this] {
        if (state_ == dsEdit) {
            InternalSetToRecord(active_);
        }
        InternalPost();
    });
    state_ = dsBrowse;
    modified_ = false;
    Resync();
    Notify(AfterPost);
}

void TDataSet::Cancel() {
    if (state_ != dsInsert && state_ != dsEdit) {
        return;
    }
    Notify(BeforeCancel);
    InternalCancel();
    active_.swap(saved_);
    bof_ = savedBof_;
    eof_ = savedEof_;
    state_ = dsBrowse;
    modified_ = false;
    Notify(AfterCancel);
}

void TDataSet::Delete() {
    CheckActive();
    if (state_ == dsInsert) {
        Cancel();
        return;
    }
    Cancel();  // an edit in progress is given up: the record goes as the file holds it
    CheckCanModify();
    if (IsEmpty()) {
        DatabaseError("Cannot perform this operation on an empty dataset");
    }
    Notify(BeforeDelete);
    Notify(BeforeScroll);
    RunHandled(OnDeleteError, [this] { InternalDelete(); });
    Resync();
    Notify(AfterDelete);
    Notify(AfterScroll);
}

std::optional<TBookmark> TDataSet::GetBookmark() const {
    if ((state_ != dsBrowse && state_ != dsEdit) || IsEmpty()) {
        return std::nullopt;
    }
    return GetBookmarkData(active_);
}

void TDataSet::GotoBookmark(TBookmark bookmark) {
    MoveTo([this, bookmark] { InternalGotoBookmark(bookmark); });
}

void TDataSet::MoveTo(const std::function<void()>& place) {
    CheckBrowseMode();
    Notify(BeforeScroll);
    place();
    Resync();
    Notify(AfterScroll);
}

void TDataSet::First() {
    CheckBrowseMode();
    Notify(BeforeScroll);
    InternalFirst();
    if (FetchInto(gmNext)) {
        bof_ = true;
        eof_ = false;
    } else {
        bof_ = eof_ = true;
    }
    Notify(AfterScroll);
}

void TDataSet::Last() {
    CheckBrowseMode();
    Notify(BeforeScroll);
    InternalLast();
    if (FetchInto(gmPrior)) {
        bof_ = false;
        eof_ = true;
    } else {
        bof_ = eof_ = true;
    }
    Notify(AfterScroll);
}

void TDataSet::Next() {
    CheckBrowseMode();
    if (eof_) {
        return;
    }
    Notify(BeforeScroll);
    InternalSetToRecord(active_);
    bof_ = false;
    if (!FetchInto(gmNext)) {
        eof_ = true;
    }
    Notify(AfterScroll);
}

void TDataSet::Prior() {
    CheckBrowseMode();
    if (bof_) {
        return;
    }
    Notify(BeforeScroll);
    InternalSetToRecord(active_);
    eof_ = false;
    if (!FetchInto(gmPrior)) {
        bof_ = true;
    }
    Notify(AfterScroll);
}

}  // namespace varnelo

// SPDX-License-Identifier: MIT
// TLocalDbf's Locate: the first record from a starting point whose key fields hold the key
// values, read from the table a block of records at a time.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>
#include <utility>

#include "shape/cp932.hpp"
#include "shape/errors.hpp"
#include "shape/field_encoding.hpp"
#include "shape/letter_case.hpp"
#include "shape/local_dbf.hpp"

namespace varnelo {
namespace {

const char* const kCannotLocate = "Can't Locate in Current State.";
const char* const kKeyCountMismatch = "Locate: unmatch number of fields and values";
const char* const kKeyArrayBase = "Locate: KeyValues Array must be 0 base";
// Locate reads this much of the table at a time.
constexpr std::size_t kLocateReadBytes = std::size_t{64} << 10;

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
            TFieldValue value = DecodeFieldValue(*key.Field, record);
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
            if (record[0] != dbf::kDeletedFlag && matches(record) &&
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

}  // namespace varnelo

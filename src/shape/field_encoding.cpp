// SPDX-License-Identifier: MIT
#include "shape/field_encoding.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <string>

#include "shape/ascii_text.hpp"
#include "shape/errors.hpp"
#include "shape/number_text.hpp"
#include "shape/text_words.hpp"
#include "shape/value_text.hpp"

namespace varnelo {
namespace {

// Stores `text` right-aligned in `field` behind blanks, or raises when it does not fit;
// a field too narrow for the text keeps its bytes.
void StoreRightAligned(std::span<char> field, std::string_view text) {
    if (text.size() > field.size()) {
        throw ELocalDbfError(Text(TText::kShapeTooManyDigits));
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

void StoreBlanks(std::span<char> field) {
    text_words::FillShort(field.data(), ' ', field.size());
}

// A logical field holds at least its one letter, a date field at least its eight digits.
void StoreLogical(std::span<char> field, bool value) {
    field[0] = value ? 'T' : 'F';
    text_words::FillShort(field.data() + 1, ' ', field.size() - 1);
}

void StoreDate(std::span<char> field, const TDate& date) {
    FormatDateDigits(date, field.first<8>());
    text_words::FillShort(field.data() + 8, ' ', field.size() - 8);
}

std::string_view IntegerText(std::int64_t value, std::array<char, 20>& buffer) {
    const char* const end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr;
    return {buffer.data(), static_cast<std::size_t>(end - buffer.data())};
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
        throw ELocalDbfError(Text(TText::kShapeTooManyDigits));
    }
    return length;
}

// A plain integer is stored as it is written; any other form is read and written anew. A
// wide integer field holds whole numbers past 32 bits too, as many digits as it has room
// for.
bool StoreIntegerText(std::span<char> bytes, std::string_view trimmed) {
    std::array<char, 20> buffer;
    std::string_view stored = trimmed;
    if (!IsPlainIntegerText(trimmed)) {
        const auto value = ParseInt64Text(trimmed);
        if (!value) {
            return false;
        }
        stored = IntegerText(*value, buffer);
    }
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
    if (trimmed.size() != 10) {
        StoreDate(bytes, *value);
        return true;
    }
    // "yyyy/mm/dd", checked: its digits are the stored ones.
    std::memcpy(bytes.data(), trimmed.data(), 4);
    std::memcpy(bytes.data() + 4, trimmed.data() + 5, 2);
    std::memcpy(bytes.data() + 6, trimmed.data() + 8, 2);
    text_words::FillShort(bytes.data() + 8, ' ', bytes.size() - 8);
    return true;
}

// EncodeFieldText for the fields that hold a value read from the trimmed text.
bool StoreValueText(const TDbfField& field, std::span<char> bytes, std::string_view trimmed) {
    if (trimmed.empty()) {
        StoreBlanks(bytes);
        return true;
    }
    switch (field.Type) {
        case ftInteger:
            return StoreIntegerText(bytes, trimmed);
        case ftFloat:
            return StoreFixedFromText(trimmed, field.Decimals, bytes);
        case ftBoolean:
            if (const auto value = ParseBooleanText(trimmed)) {
                StoreLogical(bytes, *value);
                return true;
            }
            return false;
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

}  // namespace

void EncodeFieldValue(const TDbfField& field, std::span<char> bytes, const TFieldValueView& value) {
    if (std::holds_alternative<std::monostate>(value)) {
        StoreBlanks(bytes);
        return;
    }
    switch (field.Type) {
        case ftString:
            StoreLeftAligned(bytes, std::get<std::string_view>(value));
            return;
        case ftInteger: {
            std::array<char, 20> buffer;
            StoreRightAligned(bytes, IntegerText(std::get<std::int64_t>(value), buffer));
            return;
        }
        case ftFloat: {
            std::array<char, 256> text{};
            const std::size_t length = FormatDecimalToFit(std::get<double>(value), field.Decimals,
                                                          std::span(text.data(), field.Length));
            StoreRightAligned(bytes, std::string_view(text.data(), length));
            return;
        }
        case ftBoolean:
            StoreLogical(bytes, std::get<bool>(value));
            return;
        case ftDate:
            StoreDate(bytes, std::get<TDate>(value));
            return;
    }
}

bool EncodeFieldText(const TDbfField& field, std::span<char> bytes, std::string_view text,
                     TCharacterSet set) {
    if (field.Type == ftString) {
        StoreLeftAligned(bytes, text.substr(0, CharBoundaryAtMost(set, text, bytes.size())));
        return true;
    }
    return StoreValueText(field, bytes, TrimBlanks(text));
}

TFieldValue DecodeFieldValue(const TDbfField& field, std::span<const std::byte> record) {
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

}  // namespace varnelo

// SPDX-License-Identifier: MIT
// How a value becomes the bytes of a dBASE field, and how those bytes read back. The one
// home of the field encoding, for a value set through the field layer and for a row the
// bulk appender stores straight from its texts, so both write the same bytes.
//
// A field's place in the record image is `bytes`, as long as the field: text is stored
// left-aligned and numbers right-aligned, each padded with blanks; a logical field holds
// "T" or "F", a date field its eight digits "yyyymmdd"; no value is all blanks.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "shape/character_set.hpp"
#include "shape/dbf_layout.hpp"
#include "shape/table.hpp"

namespace varnelo {

// Stores a value the field layer has checked for the field's kind (a text already cut to
// the field's size). A decimal keeps as many of its places as fit beside the integer part.
// Raises ELocalDbfError "桁数を超えています" for a number that does not fit the field.
void EncodeFieldValue(const TDbfField& field, std::span<char> bytes, const TFieldValueView& value);

// Stores what the field layer stores for `text` (TField::SetAsString), for the texts each
// kind of field takes every day: any text for a text field (cut on a character boundary of
// `set`), a plain number, a date, a letter, blanks. Answers false, with nothing written, for
// every other text, a number that does not fit among them: the field layer then decides,
// and raises where it must.
bool EncodeFieldText(const TDbfField& field, std::span<char> bytes, std::string_view text,
                     TCharacterSet set);

// The value of `field` in a record image; bytes that do not convert give no value.
TFieldValue DecodeFieldValue(const TDbfField& field, std::span<const std::byte> record);

}  // namespace varnelo

// SPDX-License-Identifier: MIT
// The shapefile's attribute table built from the MIF column list and filled from .mid lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/mid_value_rules.hpp"
#include "engine/mif_header.hpp"
#include "engine/text_ops.hpp"
#include "shape/character_set.hpp"

namespace varnelo {

class TLocalDbf;
class TSourceText;

// Longest dBASE field name in bytes.
inline constexpr std::size_t kDbfFieldNameLength = 10;

// The name cut to at most 10 bytes without splitting a character of the names' set.
std::string ShortenFieldName(std::string_view name, TCharacterSet set = TCharacterSet::ShiftJis);

// Makes every column name a dBASE field name: its spaces and TABs become "_", it is
// shortened, and repeated names are renamed ("ID", "~1", "~2"), never splitting a character
// of `set`; a new name that another column already has takes the next free number. Names
// that differ only in the case of ASCII letters repeat each other ("Name", "NA~1"), as dBASE
// readers find fields ignoring case. Types and widths are left alone.
void ColumnsToDbfFields(TSFColumns& columns, TCharacterSet set = TCharacterSet::ShiftJis);

// Says that the column, whose type no test recognises, keeps its values as text; the name as
// the message shows it.
std::string KeptAsTextNote(std::string_view columnName);

// Raises ELocalDbfError, naming the limit and the column, when the columns' fields would make
// a .dbf header or record longer than the format can state (65,535 bytes), as CreateDbfFile
// would; lets a conversion refuse such columns before it creates any file.
void CheckDbfFieldsFit(const TSFColumns& columns, TCharacterSet set = TCharacterSet::ShiftJis);

// Writes a new, empty .dbf (at `path` with its extension made ".dbf") whose fields follow
// the columns, replacing any file of that name. The header records today's date, the
// year counted from 1900 as dBASE readers take it.
void CreateDbfFile(const std::string& path, const TSFColumns& columns,
                   TCharacterSet set = TCharacterSet::ShiftJis);

// Appends one record whose fields take the values of a split .mid row in order: a value that
// was quoted in the row as the splitter gives it, any other with its single quotes removed
// ('a' is stored as a); fields beyond the row's values stay blank. A value that its field does not
// take raises EMidValueError, carrying `midLine` and naming the field and the value, unless `rules`
// say otherwise: a date written with the year last is read in their order, and a lenient conversion
// stores no value and counts it in `leftEmpty`. Names and values in messages are decoded by
// `source` when given. Does nothing when the table is not open.
void AppendDbfRecord(TLocalDbf& table, const TMidRowSplitter& row, std::int64_t midLine = 0,
                     const TMidValueRules& rules = {}, TValuesLeftEmpty* leftEmpty = nullptr,
                     const TSourceText* source = nullptr);
// The same for one row given as text, split at `delimiter`.
void AppendDbfRecord(TLocalDbf& table, std::string_view line, char delimiter = ',');

// Appends one record whose first field takes `text` whole (the text conversions).
void AppendDbfTextRecord(TLocalDbf& table, std::string_view text);

}  // namespace varnelo

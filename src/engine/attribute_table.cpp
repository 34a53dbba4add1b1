// SPDX-License-Identifier: MIT
#include "engine/attribute_table.hpp"

#include <algorithm>
#include <vector>

#include "engine/convert.hpp"
#include "engine/display_text.hpp"
#include "engine/mif_errors.hpp"
#include "engine/numbers.hpp"
#include "engine/text_ops.hpp"
#include "os/catalog.hpp"
#include "shape/errors.hpp"
#include "shape/letter_case.hpp"
#include "shape/local_dbf.hpp"

namespace varnelo {

namespace {

// The numeric field every decimal column had before its declared size was kept: 9 digits
// before the point, 6 after. A column it holds as declared keeps it.
constexpr int kDecimalFieldLength = 16;
constexpr int kDecimalFieldDecimals = 6;
// Longest decimal field made: one byte short of the largest field length.
constexpr int kMaxDecimalFieldLength = 254;
// "-9223372036854775808", the longest 64-bit integer.
constexpr int kLargeIntFieldLength = 20;
// The character field of a column whose type no test recognises: the widest every dBASE
// reader accepts, so that its values are kept as text.
constexpr int kUnknownTypeFieldLength = 254;

// A Decimal(w,d) the 16-byte field with 6 decimals cannot hold as declared gets room for
// its w digits, a sign and (when d > 0) the point, with d decimals.
void SizeDecimalField(const TSFColumn& column, TDbfFieldDef& field) {
    const int width = column.Width;
    const int decimals = column.Decimals;
    if (width <= 0 || (width - decimals <= kDecimalFieldLength - kDecimalFieldDecimals - 1 &&
                       decimals <= kDecimalFieldDecimals)) {
        field.Length = kDecimalFieldLength;
        field.Decimals = kDecimalFieldDecimals;
        return;
    }
    const int point = decimals > 0 ? 1 : 0;
    field.Length = std::min(width + 1 + point, kMaxDecimalFieldLength);
    // The capped field keeps at least one digit before the point.
    field.Decimals = std::min(decimals, field.Length - 1 - point - 1);
}

// The dBASE field of a column. Character widths outside 1-255 are held to that range: no
// field holds nothing, and the descriptors always add up to the record length.
TDbfFieldDef FieldOf(const TSFColumn& column, TCharacterSet set) {
    TDbfFieldDef field{ShortenFieldName(column.Name, set), 'C', 0, 0};
    if (!column.Known) {
        field.Length = kUnknownTypeFieldLength;
        return field;
    }
    switch (column.Type) {
        case 1:
            field.TypeChar = 'N';
            field.Length = 16;
            break;
        case 2:
            field.TypeChar = 'N';
            SizeDecimalField(column, field);
            break;
        case kLargeIntColumn:
            field.TypeChar = 'N';
            field.Length = kLargeIntFieldLength;
            break;
        case 3:
            field.TypeChar = 'D';
            field.Length = 8;
            break;
        case 4:
            field.TypeChar = 'L';
            field.Length = 1;
            break;
        default:
            field.Length = std::clamp(column.Width, 1, static_cast<int>(dbf::kMaxFieldLength));
            break;
    }
    return field;
}

std::vector<TDbfFieldDef> FieldsOf(const TSFColumns& columns, TCharacterSet set) {
    std::vector<TDbfFieldDef> fields;
    fields.reserve(columns.size());
    for (const TSFColumn& column : columns) {
        fields.push_back(FieldOf(column, set));
    }
    return fields;
}

std::string RenamedDuplicate(const std::string& name, std::size_t number, TCharacterSet set) {
    const std::string suffix = std::to_string(number);
    const long k = static_cast<long>(name.size()) - 1 - static_cast<long>(suffix.size());
    // The kept head never ends inside a character.
    std::string renamed =
        k > 0 ? name.substr(0, CharBoundaryAtMost(set, name, static_cast<std::size_t>(k)))
              : std::string();
    renamed += '~';
    renamed += suffix;
    return renamed;
}

// The new name of the repeated name at `position`: "~" and the position, or the next number
// up whose name no other column has. Names are compared as the table engine finds fields,
// so that a name differing only in letter case counts as taken.
std::string UnusedRenaming(const TSFColumns& columns, std::size_t position, TCharacterSet set) {
    const auto taken = [&](const std::string& name) {
        for (std::size_t k = 0; k < columns.size(); ++k) {
            if (k != position && SameIgnoringCase(columns[k].Name, name, set)) {
                return true;
            }
        }
        return false;
    };
    for (std::size_t number = position;; ++number) {
        std::string renamed = RenamedDuplicate(columns[position].Name, number, set);
        if (!taken(renamed)) {
            return renamed;
        }
    }
}

// A field's name and a value as a message shows them: decoded by `source` when given, else as
// stored; a value cut when long.
std::string ShownName(const std::string& name, const TSourceText* source) {
    return source != nullptr ? source->Show(name) : TextForMessage(name);
}
std::string ShownValue(std::string_view value, const TSourceText* source) {
    return source != nullptr ? source->Show(value, kQuotedTextLimit)
                             : TextForMessage(value, kQuotedTextLimit);
}
std::string QuotedValue(std::string_view value, const TSourceText* source) {
    std::string quoted(1, '"');
    return quoted.append(ShownValue(value, source)).append(1, '"');
}

// Why `field` refused a value: for text its type cannot read, what the type wants (the value
// itself is named before the cause, decoded); otherwise the table's own reason.
std::string CauseOf(const TField& field, const Exception& reason) {
    if (dynamic_cast<const EConvertError*>(&reason) != nullptr) {
        switch (field.DataType()) {
            case ftInteger:
                return Text(TText::kEngineFieldWantsInteger);
            case ftFloat:
                return Text(TText::kEngineFieldWantsNumber);
            case ftBoolean:
                return Text(TText::kEngineFieldWantsBoolean);
            case ftDate:
                return Text(TText::kEngineFieldWantsDate);
            case ftString:
                break;
        }
    }
    return reason.Message();
}

// Says which value of which field was refused, and why. The .mid line it stands on is the
// error's place, which whoever reports the failure names once.
[[noreturn]] void RaiseValueNotTaken(TLocalDbf& table, int field, std::string_view value,
                                     std::int64_t midLine, const Exception& reason,
                                     const TSourceText* source) {
    const TField& target = table.Fields(field);
    throw EMidValueError(Text(TText::kEngineValueNotTaken, ShownName(target.FieldName(), source),
                              QuotedValue(value, source), CauseOf(target, reason)),
                         midLine);
}

// Stores what `rules` make of a value that field `field` refused, and answers true; false
// when they make nothing of it.
bool TakeRefusedValue(TLocalDbf& table, int field, std::string_view value, std::int64_t midLine,
                      const TMidValueRules& rules, TValuesLeftEmpty* leftEmpty,
                      const TSourceText* source) {
    TField& target = table.Fields(field);
    if (rules.YearLastDates && target.DataType() == ftDate) {
        if (const auto date = ParseYearLastDateText(TrimBlanks(value), *rules.YearLastDates)) {
            target.SetAsDate(*date);
            return true;
        }
    }
    if (!rules.Lenient) {
        return false;
    }
    target.Clear();
    if (leftEmpty != nullptr) {
        ++leftEmpty->Count;
        if (leftEmpty->First.size() < TValuesLeftEmpty::kListed) {
            leftEmpty->First.push_back(
                {midLine, ShownName(target.FieldName(), source), ShownValue(value, source)});
        }
    }
    return true;
}

// The value the field takes: a value quoted in the row as the splitter read it, so that one
// that begins with a quote keeps it; any other without its single quotes ('a' is a). (A value
// that begins with a double quote is always a quoted one.)
std::string_view FieldText(const TMidRowSplitter& row, std::size_t index, std::string& scratch) {
    if (row.WasQuoted(index)) {
        return row.Value(index);
    }
    return DequoteView(row.Value(index), '\'', scratch);
}

// Appends the row without the field layer when the table decides every value of it at
// once; false when it leaves one to the field layer (or cannot append directly), and the
// row is then set the ordinary way.
bool AppendDirectly(TLocalDbf& table, const TMidRowSplitter& row, std::size_t count,
                    std::string& scratch) {
    if (!table.StartDirectRecord()) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (!table.StoreDirectText(static_cast<int>(i), FieldText(row, i, scratch))) {
            return false;
        }
    }
    table.PostDirectRecord();
    return true;
}

}  // namespace

std::string ShortenFieldName(std::string_view name, TCharacterSet set) {
    return std::string(name.substr(0, CharBoundaryAtMost(set, name, kDbfFieldNameLength)));
}

void ColumnsToDbfFields(TSFColumns& columns, TCharacterSet set) {
    for (auto& column : columns) {
        // A field name holds no blanks, which some readers refuse; no byte of a two-byte
        // character is a space or TAB.
        std::replace_if(
            column.Name.begin(), column.Name.end(), [](char c) { return c == ' ' || c == '\t'; },
            '_');
        column.Name = ShortenFieldName(column.Name, set);
    }
    for (std::size_t i = 0; i + 1 < columns.size(); ++i) {
        for (std::size_t j = i + 1; j < columns.size(); ++j) {
            if (SameIgnoringCase(columns[j].Name, columns[i].Name, set)) {
                columns[j].Name = UnusedRenaming(columns, j, set);
            }
        }
    }
}

std::string KeptAsTextNote(std::string_view columnName) {
    return Text(TText::kEngineKeptAsText, columnName, kUnknownTypeFieldLength);
}

void CheckDbfFieldsFit(const TSFColumns& columns, TCharacterSet set) {
    PlanDbfLayout(FieldsOf(columns, set));
}

void CreateDbfFile(const std::string& path, const TSFColumns& columns, TCharacterSet set) {
    CreateDbfTable(ChangeFileExt(path, ".dbf"), FieldsOf(columns, set));
}

void AppendDbfRecord(TLocalDbf& table, const TMidRowSplitter& row, std::int64_t midLine,
                     const TMidValueRules& rules, TValuesLeftEmpty* leftEmpty,
                     const TSourceText* source) {
    if (!table.Active()) {
        return;
    }
    const std::size_t count = std::min(row.Count(), static_cast<std::size_t>(table.FieldCount()));
    // Used only when a single-quoted value has doubled quotes to reduce.
    std::string scratch;
    if (AppendDirectly(table, row, count, scratch)) {
        return;
    }
    table.Append();
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view value = FieldText(row, i, scratch);
        try {
            table.SetFieldFromText(static_cast<int>(i), value);
        } catch (const Exception& e) {
            if (!TakeRefusedValue(table, static_cast<int>(i), value, midLine, rules, leftEmpty,
                                  source)) {
                RaiseValueNotTaken(table, static_cast<int>(i), value, midLine, e, source);
            }
        }
    }
    table.Post();
}

void AppendDbfRecord(TLocalDbf& table, std::string_view line, char delimiter) {
    TMidRowSplitter row(delimiter, static_cast<std::size_t>(std::max(table.FieldCount(), 0)),
                        table.TextCharacterSet());
    row.Split(line);
    AppendDbfRecord(table, row);
}

void AppendDbfTextRecord(TLocalDbf& table, std::string_view text) {
    if (!table.Active()) {
        return;
    }
    if (table.StartDirectRecord() && (table.FieldCount() == 0 || table.StoreDirectText(0, text))) {
        table.PostDirectRecord();
        return;
    }
    table.Append();
    if (table.FieldCount() > 0) {
        table.Fields(0).SetAsString(text);
    }
    table.Post();
}

}  // namespace varnelo

// SPDX-License-Identifier: MIT
#include "engine/attribute_table.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <system_error>
#include <vector>

#include "engine/convert.hpp"
#include "engine/mif_errors.hpp"
#include "engine/numbers.hpp"
#include "engine/text_ops.hpp"
#include "shape/byte_order.hpp"
#include "shape/errors.hpp"
#include "shape/local_dbf.hpp"
#include "shape/output_stream.hpp"
#include "shape/table_storage.hpp"

namespace varnelo {

namespace {

constexpr std::size_t kDbfHeaderSize = 32;
constexpr std::size_t kDescriptorSize = 32;
constexpr std::byte kDbfVersion{0x03};
constexpr std::byte kHeaderTerminator{0x0D};
constexpr std::byte kEndOfFile{0x1A};
constexpr int kMaxFieldLength = 255;

struct TDbfFieldShape {
    char type;
    int length;
    int decimals;
};

// Field type, length and decimals for a column. Character widths outside 0-255 are held
// to that range so that the descriptors always add up to the record length.
TDbfFieldShape FieldShapeOf(const TSFColumn& column) {
    switch (column.Type) {
        case 1:
            return {'N', 16, 0};
        case 2:
            return {'N', 16, 6};
        case 3:
            return {'D', 8, 0};
        case 4:
            return {'L', 1, 0};
        default:
            return {'C', std::clamp(column.Width, 0, kMaxFieldLength), 0};
    }
}

std::string RenamedDuplicate(const std::string& name, std::size_t position, TCharacterSet set) {
    const std::string suffix = std::to_string(position);
    const long k = static_cast<long>(name.size()) - 1 - static_cast<long>(suffix.size());
    // The kept head never ends inside a character.
    std::string renamed =
        k > 0 ? name.substr(0, CharBoundaryAtMost(set, name, static_cast<std::size_t>(k)))
              : std::string();
    renamed += '~';
    renamed += suffix;
    return renamed;
}

// A table open elsewhere holds its file locked, a writer alone, readers together. Replacing
// the file under either would pull the rows from under it, and the new table could not be
// opened for writing anyway; so such a file counts as one that cannot be created, as on
// systems where an open file cannot be replaced at all. The returned handle keeps its lock
// until the new file is written, so that no other table opens it half-made.
std::unique_ptr<TTableStorage> HoldUnlessInUse(const std::string& dbfPath) {
    auto existing = OpenPosixTableStorage(dbfPath, TStorageAccess::ReadOnly);
    if (existing && !existing->TryLock(TLockKind::Exclusive)) {
        throw EInOutError(CannotCreateFileText(dbfPath, EBUSY));
    }
    return existing;
}

// Says where a value was refused: the .mid line, the field and the value, then the reason.
[[noreturn]] void RaiseValueNotTaken(TLocalDbf& table, int field, std::string_view value,
                                     std::int64_t midLine, const Exception& reason) {
    std::string message;
    if (midLine > 0) {
        message = ".mid の " + std::to_string(midLine) + " 行目、";
    }
    message += "フィールド " + table.Fields(field).FieldName() + " の値 " + QuoteForMessage(value) +
               " を格納できません: " + reason.Message();
    throw EMidValueError(message, midLine);
}

}  // namespace

std::string ShortenFieldName(std::string_view name, TCharacterSet set) {
    return std::string(name.substr(0, CharBoundaryAtMost(set, name, kDbfFieldNameLength)));
}

void ColumnsToDbfFields(TSFColumns& columns, TCharacterSet set) {
    for (auto& column : columns) {
        column.Name = ShortenFieldName(column.Name, set);
    }
    for (std::size_t i = 0; i + 1 < columns.size(); ++i) {
        for (std::size_t j = i + 1; j < columns.size(); ++j) {
            if (columns[j].Name == columns[i].Name) {
                columns[j].Name = RenamedDuplicate(columns[j].Name, j, set);
            }
        }
    }
}

void CreateDbfFile(const std::string& path, const TSFColumns& columns, TCharacterSet set) {
    const std::size_t n = columns.size();
    std::vector<std::byte> bytes(kDbfHeaderSize + kDescriptorSize * n + 2, std::byte{0});
    std::byte* out = bytes.data();

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    out[0] = kDbfVersion;
    // dBASE counts the year from 1900 (126 for 2026); a year's last two digits would read
    // as a date a century back.
    out[1] = static_cast<std::byte>(std::clamp(local.tm_year, 0, 255));
    out[2] = static_cast<std::byte>(local.tm_mon + 1);
    out[3] = static_cast<std::byte>(local.tm_mday);

    int recordLength = 1;
    for (std::size_t i = 0; i < n; ++i) {
        const TDbfFieldShape shape = FieldShapeOf(columns[i]);
        std::byte* d = out + kDbfHeaderSize + kDescriptorSize * i;
        const std::string name = ShortenFieldName(columns[i].Name, set);
        std::memcpy(d, name.data(), name.size());
        d[11] = static_cast<std::byte>(shape.type);
        d[16] = static_cast<std::byte>(shape.length);
        d[17] = static_cast<std::byte>(shape.decimals);
        recordLength += shape.length;
    }
    byte_order::PutUInt16LE(out + 8, static_cast<std::uint16_t>(kDbfHeaderSize * (n + 1) + 1));
    byte_order::PutUInt16LE(out + 10, static_cast<std::uint16_t>(recordLength));
    out[kDbfHeaderSize * (n + 1)] = kHeaderTerminator;
    out[kDbfHeaderSize * (n + 1) + 1] = kEndOfFile;

    const std::string dbfPath = ChangeFileExt(path, ".dbf");
    const auto existing = HoldUnlessInUse(dbfPath);
    auto stream = CreateFileOutputStream(dbfPath);
    stream->Write(bytes.data(), bytes.size());
    stream->Close();
}

void AppendDbfRecord(TLocalDbf& table, const TMidRowSplitter& row, std::int64_t midLine) {
    if (!table.Active()) {
        return;
    }
    table.Append();
    const std::size_t count = std::min(row.Count(), static_cast<std::size_t>(table.FieldCount()));
    // Each Dequote step gets its own scratch, used only when doubled quotes are reduced.
    std::string doubleQuoted;
    std::string singleQuoted;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view once = DequoteView(row.Value(i), '"', doubleQuoted);
        const std::string_view value = DequoteView(once, '\'', singleQuoted);
        try {
            table.SetFieldFromText(static_cast<int>(i), value);
        } catch (const Exception& e) {
            RaiseValueNotTaken(table, static_cast<int>(i), value, midLine, e);
        }
    }
    table.Post();
}

void AppendDbfRecord(TLocalDbf& table, std::string_view line, char delimiter) {
    TMidRowSplitter row(delimiter, static_cast<std::size_t>(std::max(table.FieldCount(), 0)));
    row.Split(line);
    AppendDbfRecord(table, row);
}

void AppendDbfTextRecord(TLocalDbf& table, std::string_view text) {
    if (!table.Active()) {
        return;
    }
    table.Append();
    if (table.FieldCount() > 0) {
        table.Fields(0).SetAsString(text);
    }
    table.Post();
}

}  // namespace varnelo

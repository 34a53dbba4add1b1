// SPDX-License-Identifier: MIT
// Hand-assembled .dbf files for the table tests, and a memory-backed table to open them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "shape/local_dbf.hpp"
#include "shape/table_storage.hpp"

namespace varnelo::testing {

struct FieldDesc {
    std::string name;  // at most 11 bytes; exactly 11 leaves no zero byte
    char type;
    int length;
    int decimals = 0;
};

struct DbfLayout {
    std::uint8_t version = 0x03;
    std::uint32_t recordCount = 0;
    std::optional<int> headerLength;  // default 32 + 32 per field + 1
    std::optional<int> recordLength;  // default 1 + the field lengths
    std::uint8_t indexFlag = 0;
};

inline void PutLE(std::string& out, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// Header, descriptors and the 0x0D terminator.
inline std::string DbfHeader(const std::vector<FieldDesc>& fields, const DbfLayout& layout = {}) {
    int recordLength = 1;
    for (const auto& f : fields) {
        recordLength += f.length;
    }
    std::string out(32, '\0');
    out[0] = static_cast<char>(layout.version);
    out[1] = 125;  // last update 2025-01-01, never touched by the engine
    out[2] = 1;
    out[3] = 1;
    PutLE(out, 4, layout.recordCount, 4);
    PutLE(out, 8,
          static_cast<std::uint32_t>(
              layout.headerLength.value_or(32 + 32 * static_cast<int>(fields.size()) + 1)),
          2);
    PutLE(out, 10, static_cast<std::uint32_t>(layout.recordLength.value_or(recordLength)), 2);
    out[28] = static_cast<char>(layout.indexFlag);
    for (const auto& f : fields) {
        std::string d(32, '\0');
        d.replace(0, f.name.size(), f.name);
        d[11] = f.type;
        d[16] = static_cast<char>(f.length);
        d[17] = static_cast<char>(f.decimals);
        out += d;
    }
    out += '\r';
    return out;
}

// A whole table: header, the given record images (flag byte included) and the end byte.
inline std::string DbfTable(const std::vector<FieldDesc>& fields,
                            const std::vector<std::string>& records, DbfLayout layout = {},
                            bool endByte = true) {
    layout.recordCount = static_cast<std::uint32_t>(records.size());
    std::string out = DbfHeader(fields, layout);
    for (const auto& r : records) {
        out += r;
    }
    if (endByte) {
        out += '\x1A';
    }
    return out;
}

// Memory files under names, and tables opened on them.
class MemoryTables {
  public:
    std::shared_ptr<TMemoryFileSet> files = std::make_shared<TMemoryFileSet>();

    void Put(const std::string& bytes, const std::string& name = "t.dbf") {
        auto file = std::make_shared<TMemoryFile>();
        file->Bytes = bytes;
        (*files)[name] = std::move(file);
    }
    std::string& Bytes(const std::string& name = "t.dbf") { return files->at(name)->Bytes; }
    TMemoryFile& File(const std::string& name = "t.dbf") { return *files->at(name); }

    std::unique_ptr<TLocalDbf> Table(bool readOnly = false, const std::string& name = "t.dbf") {
        auto table = std::make_unique<TLocalDbf>();
        table->SetStorageFactory(MakeMemoryStorageFactory(files));
        table->SetTableName(name);
        table->SetReadOnly(readOnly);
        return table;
    }
    std::unique_ptr<TLocalDbf> Open(bool readOnly = false, const std::string& name = "t.dbf") {
        auto table = Table(readOnly, name);
        table->Open();
        return table;
    }
};

}  // namespace varnelo::testing

// SPDX-License-Identifier: MIT
// Arbitrary bytes as a .dbf, held in memory: opened read-only and writable, every field of
// every record read forwards and backwards, the first field searched for a value taken from
// the input with every Locate option, one record deleted, then one record appended with
// values taken from the input and the table reopened to see it counted. Refusing to open is fine;
// any other error, and any crash, is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "shape/errors.hpp"
#include "shape/local_dbf.hpp"
#include "shape/table_storage.hpp"

namespace {

using namespace varnelo;

constexpr const char* kTablePath = "table.dbf";

[[noreturn]] void Broken(const char* rule) {
    std::fprintf(stderr, "table check failed: %s\n", rule);
    std::abort();
}

void ReadEveryField(TLocalDbf& table) {
    for (int i = 0; i < table.FieldCount(); ++i) {
        TField& field = table.Fields(i);
        (void)field.Value();
        (void)field.AsString();
    }
}

// Walks the visible records both ways; returns how many were seen forwards.
int WalkRecords(TLocalDbf& table) {
    int seen = 0;
    for (table.First(); !table.Eof(); table.Next()) {
        ReadEveryField(table);
        if (++seen > table.RecordCount()) {
            Broken("more visible records than counted");
        }
    }
    int back = 0;
    for (table.Last(); !table.Bof(); table.Prior()) {
        ReadEveryField(table);
        ++back;
    }
    if (back != seen) {
        Broken("forward and backward walks differ");
    }
    return seen;
}

// Follows every match of a key from the input in the first field, with each combination of
// options: each match is current, live, and after the one before.
void SearchFirstField(TLocalDbf& table, std::string_view input) {
    if (table.FieldCount() == 0) {
        return;
    }
    const std::string name = table.Fields(0).FieldName();
    const std::string key(input.substr(input.size() / 2, 2));
    for (int options = 0; options < 4; ++options) {
        table.SetLocateNext(false);
        int previous = 0;
        try {
            while (table.Locate(name, key, {(options & 1) != 0, (options & 2) != 0})) {
                if (table.RecNo() <= previous || table.IsDeleted()) {
                    Broken("Locate made no later live record current");
                }
                previous = table.RecNo();
                table.SetLocateNext(true);
            }
        } catch (const EConvertError&) {
            // the key is no value of the field's type
        } catch (const EDatabaseError&) {
            // a name with ";" in it, read as several names
        }
    }
    table.SetLocateNext(false);
}

std::unique_ptr<TLocalDbf> MakeTable(const std::shared_ptr<TMemoryFileSet>& files, bool readOnly) {
    auto table = std::make_unique<TLocalDbf>();
    table->SetStorageFactory(MakeMemoryStorageFactory(files));
    table->SetTableName(kTablePath);
    table->SetReadOnly(readOnly);
    return table;
}

// Opens the table; false when the file is refused with one of the table's own errors.
bool TryOpen(TLocalDbf& table) {
    try {
        table.Open();
        return true;
    } catch (const EDatabaseError&) {
        return false;
    } catch (const EInOutError&) {
        return false;
    }
}

// Texts for the appended record: well-formed values of every kind, and bytes of the input.
std::string_view ValueFor(int field, std::string_view input) {
    static constexpr std::string_view kValues[] = {
        "", "12", "-3.25", "2005/01/23", "T", "f", "abc", "99999999999999999999", "1e300",
    };
    constexpr int kKinds = static_cast<int>(std::size(kValues));
    const int pick =
        input.empty()
            ? field
            : static_cast<unsigned char>(input[static_cast<std::size_t>(field) % input.size()]);
    if (pick % (kKinds + 1) == kKinds) {
        return input.substr(0, static_cast<std::size_t>(field) % 40);
    }
    return kValues[pick % kKinds];
}

void AppendOne(TLocalDbf& table, std::string_view input) {
    const int before = table.RecordCount();
    table.Append();
    for (int i = 0; i < table.FieldCount(); ++i) {
        try {
            table.Fields(i).SetAsString(ValueFor(i, input));
        } catch (const EConvertError&) {
            // text the field does not take: the field keeps no value
        } catch (const ELocalDbfError&) {
            // too many digits for the field
        }
    }
    try {
        table.Post();
    } catch (const ELocalDbfError&) {
        table.Cancel();  // the record count has reached its limit
        return;
    }
    if (table.RecordCount() != before + 1) {
        Broken("append did not count the record");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    auto files = std::make_shared<TMemoryFileSet>();
    auto file = std::make_shared<TMemoryFile>();
    file->Bytes.assign(input);
    (*files)[kTablePath] = file;

    {
        auto reader = MakeTable(files, true);
        if (TryOpen(*reader)) {
            WalkRecords(*reader);
            SearchFirstField(*reader, input);
            reader->SetShowDeleted(true);
            WalkRecords(*reader);
            reader->Close();
        }
    }
    if (file->Bytes != input) {
        Broken("a read-only table changed its file");
    }

    int counted = -1;
    {
        auto writer = MakeTable(files, false);
        if (!TryOpen(*writer)) {
            return 0;
        }
        WalkRecords(*writer);
        writer->First();
        if (!writer->IsEmpty()) {
            const std::size_t size = file->Bytes.size();
            const int count = writer->RecordCount();
            writer->Delete();
            if (file->Bytes.size() != size || writer->RecordCount() != count) {
                Broken("deleting changed the size or the count");
            }
        }
        AppendOne(*writer, input);
        WalkRecords(*writer);
        counted = writer->RecordCount();
        writer->Close();
    }
    auto again = MakeTable(files, true);
    if (!TryOpen(*again) || again->RecordCount() != counted) {
        Broken("the appended table does not reopen with its records");
    }
    again->SetShowDeleted(true);
    if (WalkRecords(*again) != counted) {
        Broken("a counted record is not visible");
    }
    return 0;
}

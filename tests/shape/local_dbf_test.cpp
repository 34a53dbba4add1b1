// SPDX-License-Identifier: MIT
#include "shape/local_dbf.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "../support/dbf_bytes.hpp"
#include "../support/expect_message.hpp"
#include "../support/run_command.hpp"
#include "os/file_system.hpp"
#include "os/process.hpp"

namespace varnelo {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using varnelo::testing::DbfHeader;
using varnelo::testing::DbfLayout;
using varnelo::testing::DbfTable;
using varnelo::testing::ExpectError;
using varnelo::testing::FieldDesc;
using varnelo::testing::MemoryTables;

std::uint32_t HeaderCount(const std::string& bytes) {
    return static_cast<unsigned char>(bytes[4]) | (static_cast<unsigned char>(bytes[5]) << 8) |
           (static_cast<unsigned char>(bytes[6]) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[7])) << 24);
}

const std::vector<FieldDesc> kThree = {{"NAME", 'C', 10}, {"ID", 'N', 16}, {"VAL", 'N', 16, 6}};
constexpr std::size_t kThreeRecord = 1 + 10 + 16 + 16;

class LocalDbfTest : public ::testing::Test {
  protected:
    MemoryTables tables;

    // A table of one field, opened with a record being appended.
    std::unique_ptr<TLocalDbf> AppendingOne(const FieldDesc& field) {
        tables.Put(DbfTable({field}, {}));
        auto t = tables.Open();
        t->Append();
        return t;
    }
};

// The file bytes of field 0 of record `index` of a one-field table.
std::string FieldBytes(const std::string& file, int length, int index = 0) {
    const std::size_t headerLength = 32 + 32 + 1;
    return file.substr(headerLength + static_cast<std::size_t>(index) * (1 + length) + 1,
                       static_cast<std::size_t>(length));
}

// ---------------------------------------------------------------------------------------
// Opening and appending

TEST_F(LocalDbfTest, OpensThreeFieldTableAndAppendsWhereTheEndByteWas) {
    const std::string created = DbfTable(kThree, {});
    ASSERT_EQ(created.size(), 130u);  // header length 129, then the end byte
    tables.Put(created);
    auto t = tables.Open();
    EXPECT_EQ(t->FieldCount(), 3);
    EXPECT_EQ(t->RecordCount(), 0);

    t->Append();
    t->FieldByName("NAME").SetAsString("abc");
    t->FieldByName("ID").SetAsString("-5");
    t->FieldByName("VAL").SetAsString("3.5");
    t->Post();
    const std::string& bytes = tables.Bytes();
    ASSERT_EQ(bytes.size(), 129 + kThreeRecord + 1);
    EXPECT_EQ(bytes.substr(129, kThreeRecord),
              " abc       " + std::string(14, ' ') + "-5" + std::string(8, ' ') + "3.500000");
    EXPECT_EQ(bytes.back(), '\x1A');
    EXPECT_EQ(HeaderCount(bytes), 1u);
    EXPECT_EQ(bytes.substr(0, 4), created.substr(0, 4));  // version and date untouched
    EXPECT_EQ(bytes.substr(8, 121), created.substr(8, 121));

    t->Append();
    t->FieldByName("ID").SetAsInteger(0);
    t->Post();
    EXPECT_EQ(tables.Bytes().size(), 129 + 2 * kThreeRecord + 1);
    EXPECT_EQ(tables.Bytes().back(), '\x1A');
    EXPECT_EQ(t->RecordCount(), 2);
    EXPECT_EQ(std::get<std::int64_t>(t->FieldByName("ID").Value()),
              0);                                      // the new record is current
    EXPECT_EQ(t->FieldByName("NAME").AsString(), "");  // blanks read as empty text
}

TEST_F(LocalDbfTest, EmptyTableShowsNoRecord) {
    tables.Put(DbfTable(kThree, {}));
    auto t = tables.Open();
    EXPECT_TRUE(t->IsEmpty());
    EXPECT_EQ(t->RecordCount(), 0);
    EXPECT_TRUE(t->FieldByName("ID").IsNull());
    t->Next();
    t->Last();
    EXPECT_TRUE(t->Bof() && t->Eof());
}

TEST_F(LocalDbfTest, HeaderLength33HasNoFieldsAndAppendsSingleBlanks) {
    tables.Put(DbfTable({}, {}));
    auto t = tables.Open();
    EXPECT_EQ(t->FieldCount(), 0);
    t->Append();
    t->Post();
    t->Append();
    t->Post();
    EXPECT_EQ(tables.Bytes().substr(33), "  \x1A");
    EXPECT_EQ(t->RecordCount(), 2);
}

TEST_F(LocalDbfTest, VersionByteDecidesWhetherTheTableOpens) {
    for (const std::uint8_t version : {0x03, 0x83, 0x8B, 0xF5, 0x30}) {
        DbfLayout layout;
        layout.version = version;
        tables.Put(DbfTable(kThree, {}, layout));
        EXPECT_NO_THROW(tables.Open()) << int{version};
    }
    for (const std::uint8_t version : {0xFA, 0xFB, 0xFC}) {
        DbfLayout layout;
        layout.version = version;
        tables.Put(DbfTable(kThree, {}, layout));
        auto t = tables.Table();
        ExpectError<ELocalDbfError>([&] { t->Open(); }, "このバージョンのDBFには対応してません");
        EXPECT_FALSE(t->Active());
        EXPECT_FALSE(tables.File().ExclusiveLock);  // the file was closed again
    }
}

TEST_F(LocalDbfTest, MissingTableIsReportedAndNothingIsCreated) {
    auto unnamed = std::make_unique<TLocalDbf>();
    ExpectError<ELocalDbfError>([&] { unnamed->Open(); }, "テーブルが見つかりません");
    ExpectError<ELocalDbfError>([&] { tables.Open(false, "none.dbf"); },
                                "テーブルが見つかりません");
    EXPECT_EQ(tables.files->count("none.dbf"), 0u);

    const fs::path missing = fs::temp_directory_path() / "varnelo-no-such-dir" / "x.dbf";
    TLocalDbf onDisk;
    onDisk.SetTableName(missing.string());
    ExpectError<ELocalDbfError>([&] { onDisk.Open(); }, "テーブルが見つかりません");
    EXPECT_FALSE(fs::exists(missing));
    onDisk.SetTableName(fs::temp_directory_path().string());  // a directory is no table
    ExpectError<ELocalDbfError>([&] { onDisk.Open(); }, "テーブルが見つかりません");
}

TEST_F(LocalDbfTest, IndexFlagAllowsOnlyReadOnlyOpen) {
    DbfLayout layout;
    layout.indexFlag = 1;
    tables.Put(DbfTable(kThree, {}, layout));
    ExpectError<ELocalDbfError>([&] { tables.Open(); },
                                "mdxのあるDBFはreadOnlyでしかオープンできません");
    EXPECT_FALSE(tables.File().ExclusiveLock);
    EXPECT_TRUE(tables.Open(true)->Active());
}

TEST_F(LocalDbfTest, UnsupportedFieldTypeRefusesTheOpen) {
    for (const char type : {'M', 'F', '\0'}) {
        tables.Put(DbfTable({{"A", 'C', 1}, {"B", type, 10}}, {}));
        auto t = tables.Table();
        ExpectError<ELocalDbfError>([&] { t->Open(); }, "対応していないフィールド型です。");
        EXPECT_FALSE(t->Active());
        EXPECT_FALSE(tables.File().ExclusiveLock);
    }
}

TEST_F(LocalDbfTest, RepeatedNamesOpenAndTheFirstIsFoundByName) {
    tables.Put(DbfTable({{"A", 'C', 1}, {"a", 'N', 3}, {"A", 'L', 1}}, {}));
    auto t = tables.Table();
    t->Open();
    EXPECT_EQ(t->FieldCount(), 3);
    EXPECT_EQ(&t->FieldByName("a"), &t->Fields(0));
}

TEST_F(LocalDbfTest, FieldDefinitionErrorsNameTheField) {
    tables.Put(DbfTable({{"", 'C', 1}}, {}));
    ExpectError<EDatabaseError>([&] { tables.Open(); }, "Field=1: Field name missing");
    tables.Put(DbfTable({{"A", 'C', 1}, {"B", 'L', 1}, {"D", 'D', 4}}, {}));
    ExpectError<ELocalDbfError>([&] { tables.Open(); }, "Field=3: Invalid size 4 for field 'D'");
    EXPECT_FALSE(tables.File().ExclusiveLock);
}

// ---------------------------------------------------------------------------------------
// Field values as stored

TEST_F(LocalDbfTest, IntegersAreRightAlignedAndTooLongOnesLeaveTheField) {
    auto t = AppendingOne({"N", 'N', 16});
    t->Fields(0).SetAsString("-5");
    t->Post();
    EXPECT_EQ(FieldBytes(tables.Bytes(), 16), std::string(14, ' ') + "-5");
    t->Append();
    t->Fields(0).SetAsInteger(0);
    t->Post();
    EXPECT_EQ(FieldBytes(tables.Bytes(), 16, 1), std::string(15, ' ') + "0");

    auto narrow = AppendingOne({"N", 'N', 3});
    narrow->Fields(0).SetAsInteger(-12);
    ExpectError<ELocalDbfError>([&] { narrow->Fields(0).SetAsInteger(1234); },
                                "桁数を超えています");
    ExpectError<ELocalDbfError>([&] { narrow->Fields(0).SetAsString("-100"); },
                                "桁数を超えています");
    EXPECT_EQ(narrow->State(), dsInsert);
    narrow->Post();
    EXPECT_EQ(FieldBytes(tables.Bytes(), 3), "-12");
}

TEST_F(LocalDbfTest, FloatsHaveTheFieldsDecimalsOrAsManyAsAWideValueLeaves) {
    // Values too wide for six decimals keep as many as the 16 places leave, rounded half
    // away from zero; only an integer part wider than the field is refused.
    const std::pair<const char*, const char*> cases[] = {
        {"3.5", "        3.500000"},
        {"0.0000005", "        0.000001"},
        {"123456789", "123456789.000000"},
        {"-12345678", "-12345678.000000"},
        {"1234567890", "1234567890.00000"},
        {"150840734225", "150840734225.000"},
        {"1.000003006E9", "1000003006.00000"},
        {"-1234567890.5", "-1234567890.5000"},
        {"1234567890.123456789", "1234567890.12346"},
        {"99999999999.99999", "100000000000.000"},  // the carry takes one more place
        {"123456789012345", " 123456789012345"},    // no room for a decimal: no point
        {"-123456789012345", "-123456789012345"},
        {"1234567890123456", "1234567890123456"},
        {"12345678901234567", nullptr},
        {"-1234567890123456", nullptr},
        {"9999999999999999.5", nullptr},  // rounds to 17 digits
    };
    auto t = AppendingOne({"X", 'N', 16, 6});
    int written = 0;
    for (const auto& [text, stored] : cases) {
        if (stored == nullptr) {
            ExpectError<ELocalDbfError>([&] { t->Fields(0).SetAsString(text); },
                                        "桁数を超えています");
            continue;
        }
        t->Fields(0).SetAsString(text);
        t->Post();
        EXPECT_EQ(FieldBytes(tables.Bytes(), 16, written++), stored) << text;
        t->Append();
    }
    t->Fields(0).SetAsFloat(-123456789.0);  // a typed value follows the same rule
    t->Post();
    EXPECT_EQ(FieldBytes(tables.Bytes(), 16, written), "-123456789.00000");
}

TEST_F(LocalDbfTest, TextIsCutToTheFieldWithoutSplittingDoubleByteCharacters) {
    const std::pair<int, std::pair<std::string, std::string>> cases[] = {
        {5, {"abcdefg", "abcde"}},
        {5, {"ab", "ab   "}},
        {5, {"abcd\x82\xA0", "abcd "}},  // would end in a lead byte: one back, blank
        {4,
         {"ab\x82\xA0"
          "c",
          "ab\x82\xA0"}},                        // the whole character fits
        {3, {"\x82\x9F\x82\xA0", "\x82\x9F "}},  // 0x9F here is a second byte, not a lead
        {5, {"\xB1\xB2\xB3\xB4\xB5\xB6", "\xB1\xB2\xB3\xB4\xB5"}},  // one-byte kana
    };
    for (const auto& [length, io] : cases) {
        auto t = AppendingOne({"S", 'C', length});
        t->Fields(0).SetAsString(io.first);
        t->Post();
        EXPECT_EQ(FieldBytes(tables.Bytes(), length), io.second) << io.first;
    }
}

TEST_F(LocalDbfTest, EmptyViewsWithoutDataBlankTheField) {
    // A default-constructed view has no data pointer; found by fuzzing the conversion.
    auto text = AppendingOne({"S", 'C', 3});
    text->SetFieldFromText(0, std::string_view{});
    text->Post();
    EXPECT_EQ(FieldBytes(tables.Bytes(), 3), "   ");
    auto other = AppendingOne({"S", 'C', 2});
    other->Fields(0).SetAsString(std::string_view{});
    other->Post();
    EXPECT_EQ(FieldBytes(tables.Bytes(), 2), "  ");
}

TEST_F(LocalDbfTest, DatesAndLogicalsAreStoredAsDigitsAndLetters) {
    for (const char* text : {"2005/01/23", "20050123", "2005/1/23"}) {
        auto t = AppendingOne({"D", 'D', 8});
        t->Fields(0).SetAsString(text);
        t->Post();
        EXPECT_EQ(FieldBytes(tables.Bytes(), 8), "20050123") << text;
    }
    auto wide = AppendingOne({"D", 'D', 10});
    wide->Fields(0).SetAsDate(TDate{1999, 12, 31});
    wide->Post();
    EXPECT_EQ(FieldBytes(tables.Bytes(), 10), "19991231  ");

    const std::pair<const char*, const char*> logicals[] = {{"tr", "T"}, {"", " "}, {"f", "F"}};
    for (const auto& [text, stored] : logicals) {
        auto t = AppendingOne({"L", 'L', 1});
        t->Fields(0).SetAsString(text);
        t->Post();
        EXPECT_EQ(FieldBytes(tables.Bytes(), 1), stored) << text;
    }
    auto t = AppendingOne({"L", 'L', 3});
    EXPECT_THROW(t->Fields(0).SetAsString("yes"), EConvertError);
    t->Fields(0).SetAsBoolean(true);
    t->Post();
    EXPECT_EQ(FieldBytes(tables.Bytes(), 3), "T  ");
}

TEST_F(LocalDbfTest, FieldsReadFromTheFileGiveNoValueForBytesThatDoNotConvert) {
    const std::vector<FieldDesc> fields = {
        {"S", 'C', 6}, {"N", 'N', 11}, {"D", 'D', 8}, {"L", 'L', 1}};
    tables.Put(DbfTable(fields, {"   ab  99999999999"
                                 "2005 123t",
                                 std::string(" ab\0cd ", 7) + "          1"
                                                              "20051301?",
                                 "       -2147483648"
                                 "20000229F"}));
    auto t = tables.Open();
    EXPECT_EQ(t->FieldByName("S").AsString(), "  ab");  // leading blanks stay
    EXPECT_EQ(std::get<std::int64_t>(t->FieldByName("N").Value()), 99999999999);  // 64 bits
    EXPECT_TRUE(t->FieldByName("D").IsNull());
    EXPECT_TRUE(t->FieldByName("L").IsNull());
    t->Next();
    EXPECT_EQ(t->FieldByName("S").AsString(), "ab");  // ends at the zero byte
    EXPECT_TRUE(t->FieldByName("D").IsNull());        // month 13
    EXPECT_TRUE(t->FieldByName("L").IsNull());
    t->Next();
    EXPECT_EQ(std::get<std::int64_t>(t->FieldByName("N").Value()), INT32_MIN);
    EXPECT_EQ(std::get<TDate>(t->FieldByName("D").Value()), (TDate{2000, 2, 29}));
    EXPECT_EQ(std::get<bool>(t->FieldByName("L").Value()), false);
}

// ---------------------------------------------------------------------------------------
// Posting, cancelling, closing

TEST_F(LocalDbfTest, EditRewritesTheRecordInPlace) {
    tables.Put(DbfTable({{"A", 'C', 2}}, {" aa", " bb", " cc"}));
    auto t = tables.Open();
    t->Next();
    t->Edit();
    t->Fields(0).SetAsString("xy");
    t->Post();
    EXPECT_EQ(tables.Bytes().substr(65), " aa xy cc\x1A");
    EXPECT_EQ(t->RecordCount(), 3);
    EXPECT_EQ(HeaderCount(tables.Bytes()), 3u);
    EXPECT_EQ(t->Fields(0).AsString(), "xy");
}

TEST_F(LocalDbfTest, CancelAndCloseWriteNothing) {
    tables.Put(DbfTable({{"A", 'C', 2}}, {" aa"}));
    const std::string before = tables.Bytes();
    auto t = tables.Open();
    t->Append();
    t->Fields(0).SetAsString("zz");
    t->Cancel();
    EXPECT_EQ(t->Fields(0).AsString(), "aa");  // back on the record shown before
    t->Edit();
    t->Fields(0).SetAsString("zz");
    t->Close();
    EXPECT_EQ(tables.Bytes(), before);
}

TEST_F(LocalDbfTest, ReadOnlyTableRefusesChangesAtEveryLevel) {
    tables.Put(DbfTable({{"A", 'C', 2}}, {" aa"}));
    const std::string before = tables.Bytes();
    auto t = tables.Open(true);
    ExpectError<EDatabaseError>([&] { t->Append(); }, "Cannot modify a read-only dataset");
    ExpectError<EDatabaseError>([&] { t->Edit(); }, "Cannot modify a read-only dataset");
    ExpectError<EDatabaseError>([&] { t->Delete(); }, "Cannot modify a read-only dataset");
    EXPECT_THROW(t->SetReadOnly(false), EDatabaseError);

    // Even when the layer above lets a change start, the engine refuses to write it.
    struct Permissive : TLocalDbf {
        bool CanModify() const override { return Active(); }
    } permissive;
    permissive.SetStorageFactory(MakeMemoryStorageFactory(tables.files));
    permissive.SetTableName("t.dbf");
    permissive.SetReadOnly(true);
    permissive.Open();
    ExpectError<ELocalDbfError>([&] { permissive.Delete(); }, "データセットはリードオンリーです");
    permissive.Append();
    ExpectError<ELocalDbfError>([&] { permissive.Post(); }, "データセットはリードオンリーです");
    EXPECT_EQ(tables.Bytes(), before);
}

TEST_F(LocalDbfTest, InvalidCurrentRecordRaisesWhenTheCallerAsksForACheck) {
    struct Probe : TLocalDbf {
        using TLocalDbf::GetRecord;
    } probe;
    tables.Put(DbfTable({{"A", 'C', 1}}, {"*a"}));
    probe.SetStorageFactory(MakeMemoryStorageFactory(tables.files));
    probe.SetTableName("t.dbf");
    probe.Open();  // the only record is deleted: nothing visible, cursor left on it
    EXPECT_TRUE(probe.IsEmpty());
    std::vector<std::byte> buffer(2 + 8);
    EXPECT_EQ(probe.GetRecord(buffer, gmCurrent, false), grError);
    ExpectError<ELocalDbfError>([&] { probe.GetRecord(buffer, gmCurrent, true); },
                                "GetRecord: Invalid record");
}

// ---------------------------------------------------------------------------------------
// How an append reaches the file

struct WriteProbe {
    std::vector<std::pair<std::uint64_t, std::string>> writes;
    long long budget = -1;  // bytes still written before a failure; -1 never fails
};

class ProbeStorage final : public TTableStorage {
  public:
    ProbeStorage(std::unique_ptr<TTableStorage> inner, std::shared_ptr<WriteProbe> probe)
        : inner_(std::move(inner)), probe_(std::move(probe)) {}
    std::uint64_t Size() override { return inner_->Size(); }
    std::size_t ReadAt(std::uint64_t offset, std::span<std::byte> out) override {
        return inner_->ReadAt(offset, out);
    }
    void WriteAt(std::uint64_t offset, std::span<const std::byte> data) override {
        probe_->writes.emplace_back(
            offset, std::string(reinterpret_cast<const char*>(data.data()), data.size()));
        if (probe_->budget >= 0 && static_cast<long long>(data.size()) > probe_->budget) {
            inner_->WriteAt(offset, data.first(static_cast<std::size_t>(probe_->budget)));
            probe_->budget = 0;
            throw EWriteError("ストリームへの書き込みエラー");
        }
        if (probe_->budget >= 0) {
            probe_->budget -= static_cast<long long>(data.size());
        }
        inner_->WriteAt(offset, data);
    }
    bool TryLock(TLockKind kind) override { return inner_->TryLock(kind); }
    void Unlock() noexcept override { inner_->Unlock(); }
    void Close() noexcept override { inner_->Close(); }

  private:
    std::unique_ptr<TTableStorage> inner_;
    std::shared_ptr<WriteProbe> probe_;
};

class AppendWritesTest : public LocalDbfTest {
  protected:
    std::shared_ptr<WriteProbe> probe = std::make_shared<WriteProbe>();

    std::unique_ptr<TLocalDbf> OpenProbed(const std::string& bytes) {
        tables.Put(bytes);
        auto t = std::make_unique<TLocalDbf>();
        t->SetStorageFactory([memory = MakeMemoryStorageFactory(tables.files), p = probe](
                                 const std::string& path, TStorageAccess access) {
            return std::make_unique<ProbeStorage>(memory(path, access), p);
        });
        t->SetTableName("t.dbf");
        t->Open();
        return t;
    }
};

TEST_F(AppendWritesTest, AppendWritesRecordWithEndByteThenTheHeader) {
    auto t = OpenProbed(DbfTable({{"A", 'C', 2}}, {" aa"}));
    t->Append();
    t->Fields(0).SetAsString("bb");
    t->Post();
    t->Close();
    ASSERT_EQ(probe->writes.size(), 2u);  // nothing at open or close
    EXPECT_EQ(probe->writes[0], std::make_pair(std::uint64_t{65 + 3}, std::string(" bb\x1A")));
    EXPECT_EQ(probe->writes[1].first, 0u);
    EXPECT_EQ(probe->writes[1].second, tables.Bytes().substr(0, 32));
    EXPECT_EQ(HeaderCount(tables.Bytes()), 2u);
}

TEST_F(AppendWritesTest, AppendNeverOverwritesRecordsWhenTheEndByteIsMissingOrFollowed) {
    auto t = OpenProbed(DbfTable({{"A", 'C', 2}}, {" aa"}, {}, false));
    t->Append();
    t->Post();
    EXPECT_EQ(tables.Bytes().substr(65), " aa   \x1A");

    t = OpenProbed(DbfTable({{"A", 'C', 2}}, {" aa"}) + "xyz");
    t->Append();
    t->Post();
    EXPECT_EQ(tables.Bytes().substr(65), " aa   \x1A");
}

TEST_F(AppendWritesTest, FailedRecordWriteKeepsTheCountAndRetryLandsInTheSameSlot) {
    auto t = OpenProbed(DbfTable({{"A", 'C', 2}}, {}));
    t->Append();
    t->Fields(0).SetAsString("bb");
    probe->budget = 2;
    EXPECT_THROW(t->Post(), EWriteError);
    EXPECT_EQ(t->State(), dsInsert);
    EXPECT_EQ(t->RecordCount(), 0);
    EXPECT_EQ(HeaderCount(tables.Bytes()), 0u);

    probe->budget = 4;  // the record gets through, the header write fails
    EXPECT_THROW(t->Post(), EWriteError);
    EXPECT_EQ(t->RecordCount(), 0);
    EXPECT_EQ(HeaderCount(tables.Bytes()), 0u);

    probe->budget = 0;
    t->OnPostError = [this](TDataSet&, const Exception&, TDataAction& action) {
        probe->budget = -1;
        action = TDataAction::Retry;
    };
    t->Post();
    EXPECT_EQ(tables.Bytes().substr(65), " bb\x1A");
    EXPECT_EQ(HeaderCount(tables.Bytes()), 1u);
    EXPECT_EQ(t->RecordCount(), 1);
}

// ---------------------------------------------------------------------------------------
// Bulk appending

// One 2-byte character field: records are 3 bytes, so a flush threshold of 6 holds two.
std::string AppendOne(TLocalDbf& t, const std::string& value) {
    t.Append();
    t.Fields(0).SetAsString(value);
    t.Post();
    return t.Fields(0).AsString();
}

TEST_F(AppendWritesTest, BulkAppendWritesWaitingRecordsTogetherThenTheHeader) {
    auto t = OpenProbed(DbfTable({{"A", 'C', 2}}, {" aa"}));
    t->BeginBulkAppend(6);
    EXPECT_EQ(AppendOne(*t, "bb"), "bb");  // the posted record is current at once
    AppendOne(*t, "cc");
    EXPECT_TRUE(probe->writes.empty());
    EXPECT_EQ(t->RecordCount(), 3);
    EXPECT_EQ(HeaderCount(tables.Bytes()), 1u);
    t->First();  // waiting records are fetched from memory
    t->Next();
    EXPECT_EQ(t->Fields(0).AsString(), "bb");
    t->Next();
    EXPECT_EQ(t->Fields(0).AsString(), "cc");

    AppendOne(*t, "dd");  // no room left: the two waiting ones go first
    ASSERT_EQ(probe->writes.size(), 2u);
    EXPECT_EQ(probe->writes[0], std::make_pair(std::uint64_t{65 + 3}, std::string(" bb cc\x1A")));
    EXPECT_EQ(probe->writes[1].first, 0u);
    EXPECT_EQ(HeaderCount(probe->writes[1].second), 3u);

    t->EndBulkAppend();
    ASSERT_EQ(probe->writes.size(), 4u);
    EXPECT_EQ(probe->writes[2], std::make_pair(std::uint64_t{65 + 9}, std::string(" dd\x1A")));
    EXPECT_EQ(tables.Bytes(), DbfTable({{"A", 'C', 2}}, {" aa", " bb", " cc", " dd"}));

    AppendOne(*t, "ee");  // after the end every post is written at once again
    EXPECT_EQ(probe->writes.size(), 6u);
    EXPECT_EQ(HeaderCount(tables.Bytes()), 5u);
}

TEST_F(AppendWritesTest, FailedBulkWriteDropsTheWaitingRecordsAndKeepsTheOneBeingAppended) {
    auto t = OpenProbed(DbfTable({{"A", 'C', 2}}, {" aa"}));
    t->BeginBulkAppend(6);
    AppendOne(*t, "bb");
    AppendOne(*t, "cc");
    t->Append();
    t->Fields(0).SetAsString("dd");
    probe->budget = 2;
    EXPECT_THROW(t->Post(), EWriteError);
    // The table shows what its file holds again; "dd" is still being appended.
    EXPECT_EQ(t->State(), dsInsert);
    EXPECT_EQ(t->RecordCount(), 1);
    EXPECT_EQ(HeaderCount(tables.Bytes()), 1u);

    probe->budget = -1;
    t->Post();
    t->EndBulkAppend();
    EXPECT_EQ(tables.Bytes(), DbfTable({{"A", 'C', 2}}, {" aa", " dd"}));
}

TEST_F(AppendWritesTest, WaitingRecordsReachTheFileHoweverBulkAppendingEnds) {
    auto t = OpenProbed(DbfTable({{"A", 'C', 2}}, {}));
    try {
        TBulkAppendScope bulk(*t);
        AppendOne(*t, "bb");
        throw std::runtime_error("the caller fails");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(t->BulkAppending());
    EXPECT_EQ(tables.Bytes(), DbfTable({{"A", 'C', 2}}, {" bb"}));

    t->BeginBulkAppend();
    AppendOne(*t, "cc");
    t->Close();  // closing writes what waits rather than lose it
    EXPECT_EQ(tables.Bytes(), DbfTable({{"A", 'C', 2}}, {" bb", " cc"}));
}

TEST_F(AppendWritesTest, EditingDuringBulkAppendWritesTheWaitingRecordsFirst) {
    auto t = OpenProbed(DbfTable({{"A", 'C', 2}}, {" aa"}));
    t->BeginBulkAppend();
    AppendOne(*t, "bb");
    t->Edit();  // the record just posted, still waiting
    t->Fields(0).SetAsString("xx");
    t->Post();
    EXPECT_EQ(tables.Bytes(), DbfTable({{"A", 'C', 2}}, {" aa", " xx"}));
}

TEST_F(LocalDbfTest, BulkAppendNeedsATableOpenForWriting) {
    tables.Put(DbfTable({{"A", 'C', 2}}, {}));
    auto readOnly = tables.Open(true);
    ExpectError<ELocalDbfError>([&] { readOnly->BeginBulkAppend(); },
                                "データセットはリードオンリーです");
    auto closed = tables.Table();
    EXPECT_THROW(closed->BeginBulkAppend(), EDatabaseError);
}

// ---------------------------------------------------------------------------------------
// Setting a field straight from text

// SetFieldFromText must store exactly what SetAsString stores, and refuse what it refuses
// with the same error: over fields of every kind, including ones too narrow for the text.
TEST_F(LocalDbfTest, SetFieldFromTextStoresWhatSetAsStringStores) {
    const std::vector<FieldDesc> fields = {{"S", 'C', 5},  {"I", 'N', 16},    {"F", 'N', 16, 6},
                                           {"NI", 'N', 3}, {"NF", 'N', 6, 2}, {"D", 'D', 8},
                                           {"L", 'L', 1},  {"E", 'C', 0},     {"F3", 'N', 20, 17}};
    std::vector<std::string> texts = {"",
                                      " ",
                                      "abc",
                                      "abcdefgh",
                                      "\x82\xA0\x82\xA2\x82\xA4",
                                      "12345\x82\xA0",
                                      "0",
                                      "-0",
                                      "7",
                                      "-12",
                                      " 42 ",
                                      "+5",
                                      "1.5",
                                      "-1.5",
                                      "2147483647",
                                      "-2147483648",
                                      "2147483648",
                                      "12a",
                                      "0.0000005",
                                      "-0.0000005",
                                      "999999999.9999995",
                                      "1234567890",
                                      "-123456789.5",
                                      "1e3",
                                      ".5",
                                      "5.",
                                      "1.005",
                                      "99.995",
                                      "-0.004",
                                      "000123.4500",
                                      "12345678901234567",
                                      "2005/01/23",
                                      "2005/1/3",
                                      "20050123",
                                      "2005/02/30",
                                      "2005-01-23",
                                      "t",
                                      "F",
                                      "yes",
                                      "TRUE",
                                      "fal",
                                      "0.12345678901234567",
                                      "123456789012345.6",
                                      "-0.000",
                                      "00",
                                      "-00",
                                      "123456789012345678",
                                      "-1234567890123456789",
                                      "2005/13/01",
                                      "20a5/01/23"};
    std::mt19937_64 random(99);
    for (int i = 0; i < 300; ++i) {
        std::string number = random() % 3 == 0 ? "-" : "";
        number += std::to_string(random() % 100000);
        number += '.';
        number += std::to_string(random() % 10000000);
        texts.push_back(number);
    }

    const auto errorOf = [](auto&& action) -> std::string {
        try {
            action();
        } catch (const Exception& e) {
            return typeid(e).name() + std::string(": ") + e.Message();
        }
        return "";
    };
    tables.Put(DbfTable(fields, {}), "direct.dbf");
    tables.Put(DbfTable(fields, {}), "generic.dbf");
    auto direct = tables.Open(false, "direct.dbf");
    auto generic = tables.Open(false, "generic.dbf");
    direct->Append();
    generic->Append();
    for (const std::string& text : texts) {
        for (int f = 0; f < static_cast<int>(fields.size()); ++f) {
            const std::string directError = errorOf([&] { direct->SetFieldFromText(f, text); });
            const std::string genericError = errorOf([&] { generic->Fields(f).SetAsString(text); });
            ASSERT_EQ(directError, genericError) << fields[f].name << " <- " << text;
            ASSERT_EQ(direct->Fields(f).AsString(), generic->Fields(f).AsString())
                << fields[f].name << " <- " << text;
        }
        direct->Post();
        generic->Post();
        ASSERT_EQ(tables.Bytes("direct.dbf"), tables.Bytes("generic.dbf")) << text;
        direct->Append();
        generic->Append();
    }
    EXPECT_THROW(direct->SetFieldFromText(99, "x"), EDatabaseError);
    direct->Cancel();
    EXPECT_THROW(direct->SetFieldFromText(0, "x"), EDatabaseError);  // not appending

    // A record set straight from the texts while bulk appending holds what the field layer
    // would have posted, whenever the table takes the text at once.
    direct->Close();
    generic->Close();
    tables.Put(DbfTable(fields, {}), "direct.dbf");
    tables.Put(DbfTable(fields, {}), "generic.dbf");
    direct = tables.Open(false, "direct.dbf");
    generic = tables.Open(false, "generic.dbf");
    EXPECT_FALSE(direct->StartDirectRecord());  // only while bulk appending
    direct->BeginBulkAppend();
    int taken = 0;
    for (const std::string& text : texts) {
        for (int f = 0; f < static_cast<int>(fields.size()); ++f) {
            ASSERT_TRUE(direct->StartDirectRecord());
            if (direct->StoreDirectText(f, text)) {
                direct->PostDirectRecord();
                generic->Append();
                generic->Fields(f).SetAsString(text);
                generic->Post();
                ++taken;
            }
        }
    }
    direct->EndBulkAppend();
    EXPECT_GT(taken, 1000);
    EXPECT_EQ(direct->RecordCount(), taken);
    EXPECT_EQ(tables.Bytes("direct.dbf"), tables.Bytes("generic.dbf"));
}

// ---------------------------------------------------------------------------------------
// Malformed tables

TEST_F(LocalDbfTest, MalformedTablesAreRefusedWithAClearError) {
    const std::string good = DbfTable({{"A", 'C', 4}, {"B", 'N', 6}}, {});
    const auto withLength = [&](std::size_t at, int value) {
        std::string bytes = good;
        varnelo::testing::PutLE(bytes, at, static_cast<std::uint32_t>(value), 2);
        return bytes;
    };
    const std::pair<std::string, std::string> cases[] = {
        {good.substr(0, 10), "DBFのヘッダーが不完全です"},
        {std::string(), "DBFのヘッダーが不完全です"},
        {withLength(8, 32), "DBFのヘッダー長が不正です"},
        {withLength(8, 5), "DBFのヘッダー長が不正です"},
        {withLength(8, 60000), "を超えています"},
        {withLength(10, 0), "DBFのレコード長が不正です"},
        {withLength(10, 10), "より短いです"},
    };
    for (const auto& [bytes, message] : cases) {
        tables.Put(bytes);
        auto t = tables.Table();
        try {
            t->Open();
            ADD_FAILURE() << "opened; expected " << message;
        } catch (const ELocalDbfError& e) {
            EXPECT_THAT(e.what(), HasSubstr(message));
        }
        EXPECT_FALSE(t->Active());
        EXPECT_FALSE(tables.File().ExclusiveLock);
    }
}

TEST_F(LocalDbfTest, TablesWithOddButReadableLayoutsShowWhatIsWhollyPresent) {
    // A name area without a zero byte: the name is all eleven bytes.
    tables.Put(DbfTable({{"ABCDEFGHIJK", 'C', 1}}, {}));
    EXPECT_EQ(tables.Open()->Fields(0).FieldName(), "ABCDEFGHIJK");

    // A header length ending inside a second descriptor: only whole descriptors count.
    DbfLayout partial;
    partial.headerLength = 32 + 32 + 20;
    partial.recordLength = 2;
    partial.recordCount = 1;
    tables.Put(DbfHeader({{"A", 'C', 1}, {"B", 'C', 1}}, partial).substr(0, 84) + " a\x1A");
    auto t = tables.Open();
    EXPECT_EQ(t->FieldCount(), 1);
    EXPECT_EQ(t->RecordCount(), 1);

    // Three records counted, one and a half present.
    DbfLayout counted;
    counted.recordCount = 3;
    tables.Put(DbfHeader({{"A", 'C', 2}}, counted) + " aa b");
    t = tables.Open();
    EXPECT_EQ(t->RecordCount(), 1);
    t->Last();
    EXPECT_EQ(t->Fields(0).AsString(), "aa");
    t->Append();
    t->Post();
    EXPECT_EQ(tables.Bytes().substr(65), " aa   \x1A");
    EXPECT_EQ(HeaderCount(tables.Bytes()), 2u);

    // Reopening the same object on another file keeps nothing of the first.
    t->Close();
    tables.Put(DbfTable({{"Z", 'L', 1}}, {}), "other.dbf");
    t->SetTableName("other.dbf");
    t->Open();
    ASSERT_EQ(t->FieldCount(), 1);
    EXPECT_EQ(t->Fields(0).FieldName(), "Z");
}

// ---------------------------------------------------------------------------------------
// The file on disk: exclusive use and an independent reader

class DiskTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string made;
        ASSERT_FALSE(os::CreateUniqueFolder(os::TempFolder() + "varnelo-dbf-", made));
        dir = os::FsPath(made);
        path = made + "/t.dbf";
    }
    void TearDown() override { fs::remove_all(dir); }

    void Write(const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    std::unique_ptr<TLocalDbf> Table(bool readOnly = false) {
        auto t = std::make_unique<TLocalDbf>();
        t->SetTableName(path);
        t->SetReadOnly(readOnly);
        return t;
    }

    fs::path dir;
    std::string path;
};

TEST_F(DiskTableTest, WriterHoldsTheFileAlone) {
    Write(DbfTable({{"A", 'C', 2}}, {" aa"}));
    auto writer = Table();
    writer->Open();
    const std::string inUse = "テーブル \"" + path + "\" は他で使用中のため開けません";
    ExpectError<EInOutError>([&] { Table()->Open(); }, inUse);
    ExpectError<EInOutError>([&] { Table(true)->Open(); }, inUse);
    writer->Close();

    auto reader1 = Table(true);
    auto reader2 = Table(true);
    reader1->Open();
    reader2->Open();  // readers share the file
    EXPECT_EQ(reader2->Fields(0).AsString(), "aa");
    ExpectError<EInOutError>([&] { Table()->Open(); }, inUse);
    reader1->Close();
    reader2.reset();
    EXPECT_NO_THROW(Table()->Open());
}

// Opening the table named by this variable is all a process started with it does: see
// WriterInAnotherProcessIsRefused.
constexpr const char* kOpenTableVariable = "VARNELO_TEST_OPEN_TABLE";

// The other process: it opens the table for writing, answers 1 for the engine's refusal, 0
// for an open table and 2 for anything else, and runs no test.
[[maybe_unused]] const bool kIsOtherProcess = [] {
    const char* path = std::getenv(kOpenTableVariable);
    if (path == nullptr) {
        return false;
    }
    int code = 2;
    try {
        TLocalDbf table;
        table.SetTableName(path);
        table.Open();
        code = 0;
    } catch (const EInOutError&) {
        code = 1;
    } catch (...) {
    }
    std::_Exit(code);
}();

TEST_F(DiskTableTest, WriterInAnotherProcessIsRefused) {
    Write(DbfTable({{"A", 'C', 2}}, {}));
    auto writer = Table();
    writer->Open();
    os::TCommand other;
    other.Args = {os::ExecutablePath()};
    other.Environment = {{kOpenTableVariable, path}};
    EXPECT_TRUE(os::RunCommand(other).Exited(1));
    writer->Close();
    EXPECT_TRUE(os::RunCommand(other).Exited(0));
}

TEST_F(DiskTableTest, IndependentReadersSeeTheValuesWeWrote) {
    if (!testing::HaveTool("ogrinfo") && !testing::HaveTool("dbfdump")) {
        GTEST_SKIP() << testing::NoToolReason("ogrinfo or dbfdump");
    }
    Write(DbfTable(
        {{"NAME", 'C', 10}, {"ID", 'N', 16}, {"VAL", 'N', 16, 6}, {"DAY", 'D', 8}, {"OK", 'L', 1}},
        {}));
    {
        auto t = Table();
        t->Open();
        t->Append();
        const std::pair<const char*, const char*> values[] = {
            {"NAME", "abc"}, {"ID", "-5"}, {"VAL", "3.5"}, {"DAY", "20050123"}, {"OK", "T"}};
        for (const auto& [field, text] : values) {
            t->FieldByName(field).SetAsString(text);
        }
        t->Post();
        t->Append();
        t->FieldByName("ID").SetAsInteger(42);
        t->Post();
    }
    if (testing::HaveTool("ogrinfo")) {
        const std::string out =
            testing::RunCommand("ogrinfo --config SHAPE_ENCODING \"\" -q -al '" + path + "' 2>&1")
                .Output;
        EXPECT_THAT(out, HasSubstr("NAME (String) = abc"));
        EXPECT_THAT(out, HasSubstr("ID (Integer64) = -5"));
        EXPECT_THAT(out, HasSubstr("VAL (Real) = 3.500000"));
        EXPECT_THAT(out, HasSubstr("DAY (Date) = 2005/01/23"));
        EXPECT_THAT(out, HasSubstr("OK (String) = T"));
        EXPECT_THAT(out, HasSubstr("ID (Integer64) = 42"));
        EXPECT_THAT(out, HasSubstr("VAL (Real) = (null)"));
    }
    if (testing::HaveTool("dbfdump")) {
        std::istringstream lines(testing::RunCommand("dbfdump '" + path + "' 2>&1").Output);
        std::string header, first, second;
        std::getline(lines, header);
        std::getline(lines, first);
        std::getline(lines, second);
        EXPECT_THAT(header, HasSubstr("NAME"));
        EXPECT_THAT(first, ::testing::StartsWith("abc"));
        EXPECT_THAT(first, HasSubstr(" -5 "));
        EXPECT_THAT(first, HasSubstr("3.500000"));
        EXPECT_THAT(second, HasSubstr(" 42 "));
    }
}

}  // namespace
}  // namespace varnelo

// SPDX-License-Identifier: MIT
// The generic table layer, exercised through a dBASE table held in memory.
#include "shape/table.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "../support/dbf_bytes.hpp"

namespace varnelo {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using varnelo::testing::DbfTable;
using varnelo::testing::FieldDesc;
using varnelo::testing::MemoryTables;

const std::vector<FieldDesc> kFields = {
    {"NAME", 'C', 4}, {"N", 'N', 6}, {"X", 'N', 8, 2}, {"OK", 'L', 1}, {"DAY", 'D', 8}};

std::string Rec(const std::string& body) {
    return " " + body;
}

class TableTest : public ::testing::Test {
  protected:
    MemoryTables tables;
};

TEST_F(TableTest, FieldsDescribeTheirColumns) {
    tables.Put(DbfTable(kFields, {}));
    auto t = tables.Open();
    ASSERT_EQ(t->FieldCount(), 5);
    EXPECT_EQ(t->Fields(0).FieldName(), "NAME");
    EXPECT_EQ(t->Fields(0).DataType(), ftString);
    EXPECT_EQ(t->Fields(0).Size(), 4);
    EXPECT_EQ(t->Fields(1).DataType(), ftInteger);
    EXPECT_EQ(t->Fields(2).DataType(), ftFloat);
    EXPECT_EQ(t->Fields(3).DataType(), ftBoolean);
    EXPECT_EQ(t->Fields(4).DataType(), ftDate);
    EXPECT_EQ(t->Fields(4).Size(), 0);
    EXPECT_EQ(t->Fields(4).FieldNo(), 5);
    EXPECT_EQ(&t->FieldByName("name"), &t->Fields(0));
    EXPECT_EQ(&t->FieldByName("Ok"), &t->Fields(3));
    EXPECT_EQ(t->FindField("NAMEX"), nullptr);

    // Only ASCII letters fold: ヂ (83 61) is not ア (83 41), whose second byte is an "A".
    tables.Put(DbfTable({{"\x83\x41", 'C', 1}, {"\x83\x61", 'C', 1}, {"a\x83\x61", 'C', 1}}, {}),
               "kana.dbf");
    auto kana = tables.Open(false, "kana.dbf");
    EXPECT_EQ(kana->FindField("\x83\x61"), &kana->Fields(1));
    EXPECT_EQ(kana->FindField("A\x83\x61"), &kana->Fields(2));
    EXPECT_EQ(kana->FindField("a\x83\x41"), nullptr);
    try {
        t->FieldByName("NONE");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Field 'NONE' not found");
    }
}

TEST_F(TableTest, SetAsStringConvertsByTypeAndReadsBack) {
    tables.Put(DbfTable(kFields, {}));
    auto t = tables.Open();
    t->Append();
    t->FieldByName("NAME").SetAsString("ab");
    t->FieldByName("N").SetAsString("  -42 ");
    t->FieldByName("X").SetAsString(" 1.5e1 ");
    t->FieldByName("OK").SetAsString("t");
    t->FieldByName("DAY").SetAsString("2005/1/23");
    t->Post();
    EXPECT_EQ(t->FieldByName("NAME").AsString(), "ab");
    EXPECT_EQ(std::get<std::int64_t>(t->FieldByName("N").Value()), -42);
    EXPECT_EQ(std::get<double>(t->FieldByName("X").Value()), 15.0);
    EXPECT_EQ(t->FieldByName("OK").AsString(), "True");
    EXPECT_EQ(t->FieldByName("DAY").AsString(), "2005/01/23");
    EXPECT_EQ(t->FieldByName("X").AsString(), "15");
}

TEST_F(TableTest, EmptyOrBlankTextGivesNoValueForNonTextFields) {
    tables.Put(DbfTable(kFields, {Rec("abcd    12    1.00T20050123")}));
    auto t = tables.Open();
    t->Edit();
    for (const char* name : {"N", "X", "OK", "DAY"}) {
        t->FieldByName(name).SetAsString(name[0] == 'N' ? "" : "  ");
        EXPECT_TRUE(t->FieldByName(name).IsNull()) << name;
    }
    t->FieldByName("NAME").SetAsString("");
    EXPECT_EQ(t->FieldByName("NAME").AsString(), "");
    t->Post();
    EXPECT_EQ(tables.Bytes().substr(tables.Bytes().size() - 29, 28), std::string(28, ' '));
}

TEST_F(TableTest, RefusedTextRaisesConvertErrorQuotingIt) {
    tables.Put(DbfTable(kFields, {}));
    auto t = tables.Open();
    t->Append();
    const std::pair<const char*, const char*> cases[] = {
        {"N", "1.5"},  {"N", "9223372036854775808"}, {"X", "1,5"},
        {"OK", "yes"}, {"DAY", "2005-01-23"},        {"DAY", "20050230"}};
    for (const auto& [name, text] : cases) {
        try {
            t->FieldByName(name).SetAsString(text);
            ADD_FAILURE() << name << " accepted " << text;
        } catch (const EConvertError& e) {
            EXPECT_THAT(e.what(), HasSubstr(std::string("'") + text + "'"));
        }
    }
    EXPECT_EQ(t->State(), dsInsert);  // the record stays open for the next field
}

TEST_F(TableTest, TypedSettersConvertBetweenNumbersAndIntoText) {
    tables.Put(DbfTable(kFields, {}));
    auto t = tables.Open();
    t->Append();
    t->FieldByName("N").SetAsFloat(2.5);  // rounds half away from zero
    EXPECT_EQ(std::get<std::int64_t>(t->FieldByName("N").Value()), 3);
    t->FieldByName("X").SetAsInteger(7);
    EXPECT_EQ(std::get<double>(t->FieldByName("X").Value()), 7.0);
    t->FieldByName("NAME").SetAsBoolean(false);
    EXPECT_EQ(t->FieldByName("NAME").AsString(), "Fals");
    EXPECT_THROW(t->FieldByName("OK").SetAsInteger(1), EDatabaseError);
    EXPECT_THROW(t->FieldByName("DAY").SetAsDate(TDate{2005, 2, 30}), EConvertError);
    EXPECT_THROW(t->FieldByName("X").SetAsFloat(std::numeric_limits<double>::infinity()),
                 EConvertError);
    EXPECT_THROW(t->FieldByName("N").SetAsFloat(1e19), EConvertError);
    t->FieldByName("N").Clear();
    EXPECT_TRUE(t->FieldByName("N").IsNull());
}

TEST_F(TableTest, FieldsAreSetOnlyWhileAppendingOrEditing) {
    tables.Put(DbfTable(kFields, {Rec("abcd    12    1.00T20050123")}));
    auto t = tables.Open();
    EXPECT_THROW(t->FieldByName("NAME").SetAsString("x"), EDatabaseError);
    t->Edit();
    t->FieldByName("NAME").SetAsString("x");
    EXPECT_TRUE(t->Modified());
    t->Cancel();
    EXPECT_EQ(t->FieldByName("NAME").AsString(), "abcd");
    t->Close();
    EXPECT_THROW(t->Post(), EDatabaseError);
    EXPECT_THROW(t->Append(), EDatabaseError);
}

TEST_F(TableTest, EventsFireInOrderAndNewRecordMaySetDefaults) {
    tables.Put(DbfTable(kFields, {}));
    auto t = tables.Table();
    std::vector<std::string> log;
    const auto note = [&log](const char* what) {
        return [&log, what](TDataSet&) { log.emplace_back(what); };
    };
    t->BeforeOpen = note("BeforeOpen");
    t->AfterOpen = note("AfterOpen");
    t->BeforeInsert = note("BeforeInsert");
    t->OnNewRecord = [&log](TDataSet& ds) {
        log.emplace_back("OnNewRecord");
        ds.FieldByName("N").SetAsInteger(9);
    };
    t->AfterInsert = note("AfterInsert");
    t->BeforePost = note("BeforePost");
    t->AfterPost = note("AfterPost");
    t->BeforeClose = note("BeforeClose");
    t->AfterClose = note("AfterClose");
    t->Open();
    t->Append();
    t->Post();
    EXPECT_EQ(std::get<std::int64_t>(t->FieldByName("N").Value()), 9);
    t->Close();
    EXPECT_THAT(log,
                ElementsAre("BeforeOpen", "AfterOpen", "BeforeInsert", "OnNewRecord", "AfterInsert",
                            "BeforePost", "AfterPost", "BeforeClose", "AfterClose"));
}

TEST_F(TableTest, NavigationSkipsDeletedRecordsAndHonoursTheFilter) {
    tables.Put(DbfTable({{"A", 'C', 1}}, {Rec("a"), "*b", Rec("c"), Rec("d")}));
    auto t = tables.Open();
    std::string seen;
    for (; !t->Eof(); t->Next()) {
        seen += t->FieldByName("A").AsString();
    }
    EXPECT_EQ(seen, "acd");
    t->SetShowDeleted(true);
    t->First();
    t->Next();
    EXPECT_EQ(t->FieldByName("A").AsString(), "b");

    t->OnFilterRecord = [](TDataSet& ds, bool& accept) {
        EXPECT_EQ(ds.State(), dsFilter);
        accept = ds.FieldByName("A").AsString() != "c";
    };
    t->SetFiltered(true);
    seen.clear();
    for (t->Last(); !t->Bof(); t->Prior()) {
        seen += t->FieldByName("A").AsString();
    }
    EXPECT_EQ(seen, "dba");
    EXPECT_EQ(t->State(), dsBrowse);
}

}  // namespace
}  // namespace varnelo

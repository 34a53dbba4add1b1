// SPDX-License-Identifier: MIT
// Browsing a dBASE table: record numbers among deleted records, deleting, bookmarks, and
// Locate with its keys, options and messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/dbf_bytes.hpp"
#include "../support/expect_message.hpp"
#include "shape/local_dbf.hpp"

namespace varnelo {
namespace {

using varnelo::testing::DbfTable;
using varnelo::testing::ExpectError;
using varnelo::testing::FieldDesc;
using varnelo::testing::MemoryTables;

// Five one-letter records; the second (RecNo 2) is marked deleted.
const std::vector<FieldDesc> kLetter = {{"A", 'C', 1}};
const std::vector<std::string> kFive = {" a", "*b", " c", " d", " e"};

class BrowseTest : public ::testing::Test {
  protected:
    MemoryTables tables;

    // The letters of the visible records with their record numbers, "1a 3c ...".
    static std::string Walk(TLocalDbf& t) {
        std::string seen;
        for (t.First(); !t.Eof(); t.Next()) {
            seen += std::to_string(t.RecNo()) + t.Fields(0).AsString() + " ";
        }
        return seen;
    }
};

TEST_F(BrowseTest, EmptyTableHasNoRecordNumberBookmarkOrMatch) {
    tables.Put(DbfTable(kLetter, {}));
    auto t = tables.Open();
    EXPECT_EQ(t->RecNo(), -1);
    EXPECT_FALSE(t->GetBookmark().has_value());
    EXPECT_FALSE(t->Locate("A", std::string("a")));
    t->SetLocateNext(true);
    EXPECT_FALSE(t->Locate("A", std::string("a")));
    ExpectError<EDatabaseError>([&] { t->Delete(); },
                                "Cannot perform this operation on an empty dataset");
}

TEST_F(BrowseTest, RecordNumbersCountDeletedRecordsThatMovingSkips) {
    tables.Put(DbfTable(kLetter, kFive));
    auto t = tables.Open();
    EXPECT_EQ(Walk(*t), "1a 3c 4d 5e ");
    t->SetRecNo(3);
    t->Prior();
    EXPECT_EQ(t->RecNo(), 1);  // Prior passes over the deleted record too

    t->SetRecNo(2);  // a hidden record: the view settles on the next visible one
    EXPECT_EQ(t->RecNo(), 3);
    for (const int ignored : {0, 6, -1}) {
        t->SetRecNo(ignored);
        EXPECT_EQ(t->RecNo(), 3) << ignored;
    }

    t->SetShowDeleted(true);
    EXPECT_EQ(Walk(*t), "1a 2b 3c 4d 5e ");
    t->SetRecNo(2);
    EXPECT_TRUE(t->IsDeleted());
    t->SetShowDeleted(false);  // refreshing moves off the record now hidden
    EXPECT_EQ(t->RecNo(), 3);
    EXPECT_FALSE(t->IsDeleted());
}

TEST_F(BrowseTest, FilterSeesTheRecordUnderTest) {
    tables.Put(DbfTable(kLetter, kFive));
    auto t = tables.Open();
    std::vector<int> tested;
    t->OnFilterRecord = [&](TDataSet& ds, bool& accept) {
        auto& table = static_cast<TLocalDbf&>(ds);
        tested.push_back(table.RecNo());
        accept = table.Fields(0).AsString() != "d";
    };
    t->SetFiltered(true);
    tested.clear();
    EXPECT_EQ(Walk(*t), "1a 3c 5e ");
    EXPECT_EQ(tested, (std::vector<int>{1, 3, 4, 5}));  // the deleted one is never offered
}

TEST_F(BrowseTest, DeleteMarksTheFlagByteAndMovesToTheNextVisibleRecord) {
    tables.Put(DbfTable(kLetter, kFive));
    std::string expected = tables.Bytes();
    auto t = tables.Open();
    t->SetRecNo(3);
    t->Delete();
    expected[65 + 2 * 2] = '*';
    EXPECT_EQ(tables.Bytes(), expected);  // nothing else changes, the count included
    EXPECT_EQ(t->RecordCount(), 5);
    EXPECT_EQ(t->RecNo(), 4);

    t->Last();
    t->Delete();  // nothing follows the last record: the view goes back
    EXPECT_EQ(t->RecNo(), 4);
    t->Delete();
    t->Delete();
    EXPECT_TRUE(t->IsEmpty());
    EXPECT_EQ(t->RecNo(), -1);

    t->Append();  // deleting a record being appended drops it unwritten
    t->Delete();
    EXPECT_EQ(t->State(), dsBrowse);
    EXPECT_EQ(t->RecordCount(), 5);
}

TEST_F(BrowseTest, BookmarksReturnToTheirRecordAndUnknownOnesAreRefused) {
    tables.Put(DbfTable(kLetter, kFive));
    auto t = tables.Open();
    t->SetRecNo(4);
    const auto mark = t->GetBookmark();
    ASSERT_EQ(mark, 3);
    t->First();
    t->GotoBookmark(*mark);
    EXPECT_EQ(t->Fields(0).AsString(), "d");
    for (const int missing : {5, -1}) {
        ExpectError<ELocalDbfError>([&] { t->GotoBookmark(missing); },
                                    "Bookmark " + std::to_string(missing) + " not found");
        EXPECT_EQ(t->RecNo(), 4);
    }
    t->Append();  // a record being appended has neither a bookmark nor a number yet
    EXPECT_FALSE(t->GetBookmark().has_value());
    EXPECT_EQ(t->RecNo(), -1);
}

// ---------------------------------------------------------------------------------------
// Locate

// "東京" "ツリー" "ａｂｃ" in code page 932; 0x63 ('c') is the second byte of "ツ".
const std::string kTokyo = "\x93\x8C\x8B\x9E";
const std::string kTree = "\x83\x63\x83\x8A\x81\x5B";
const std::string kWideAbc = "\x82\x81\x82\x82\x82\x83";
const std::string kWideABC = "\x82\x60\x82\x61\x82\x62";

const std::vector<FieldDesc> kPlaces = {
    {"NAME", 'C', 8}, {"ID", 'N', 4}, {"X", 'N', 6, 2}, {"OK", 'L', 1}, {"DAY", 'D', 8}};

std::string Place(const std::string& name, const std::string& rest) {
    return " " + name + std::string(8 - name.size(), ' ') + rest;
}

class LocateTest : public BrowseTest {
  protected:
    void SetUp() override {
        tables.Put(DbfTable(
            kPlaces, {Place(kTokyo, "   1  1.50T20050123"), Place("Tokyo", "   2  2.00F20050124"),
                      "*" + Place(kTree, "   3  3.00T20050125").substr(1),
                      Place(kTree, "   4  4.00T20050126"), Place(kWideAbc, "   5  5.00F20050127"),
                      Place("tokyo st", "   6  6.00T20050128")}));
    }

    // The record numbers Locate finds one after the other with LocateNext.
    static std::vector<int> FindAll(TLocalDbf& t, std::string_view fields,
                                    const TLocateValues& values, TLocateOptions options = {}) {
        std::vector<int> found;
        t.SetLocateNext(false);
        for (bool hit = t.Locate(fields, values, options); hit;
             hit = t.Locate(fields, values, options)) {
            found.push_back(t.RecNo());
            t.SetLocateNext(true);
        }
        return found;
    }
};

TEST_F(LocateTest, TextKeysMatchExactlyIgnoringCaseOrAsPrefixes) {
    auto t = tables.Open();
    using V = std::vector<int>;
    EXPECT_EQ(FindAll(*t, "NAME", std::string("Tokyo")), V{2});
    EXPECT_EQ(FindAll(*t, "name", std::string("TOKYO"), {.CaseInsensitive = true}), V{2});
    EXPECT_EQ(FindAll(*t, "NAME", std::string("tok"), {.PartialKey = true}), V{6});
    EXPECT_EQ(FindAll(*t, "NAME", std::string("TOK"), {true, true}), (V{2, 6}));
    EXPECT_EQ(FindAll(*t, "NAME", kTokyo.substr(0, 2), {.PartialKey = true}), V{1});
    EXPECT_EQ(FindAll(*t, "NAME", kWideABC, {.CaseInsensitive = true}), V{5});
    // The deleted record 3 is never found; "ツ" is not upper-cased into "イ" (0x83 0x43).
    EXPECT_EQ(FindAll(*t, "NAME", kTree, {.CaseInsensitive = true}), V{4});
    EXPECT_EQ(FindAll(*t, "NAME", std::string("\x83\x43\x83\x8A\x81\x5B"), {true, false}), V{});
    // A prefix counts characters: one key character takes a whole two-byte character.
    EXPECT_EQ(FindAll(*t, "NAME", std::string("\x93"), {.PartialKey = true}), V{});
}

TEST_F(LocateTest, OtherFieldsCompareTypedValuesAndReadTextKeysByTheirType) {
    auto t = tables.Open();
    using V = std::vector<int>;
    EXPECT_EQ(FindAll(*t, "ID", std::int64_t{4}), V{4});
    EXPECT_EQ(FindAll(*t, "ID", std::string(" 5 ")), V{5});
    EXPECT_EQ(FindAll(*t, "ID", 6.0), V{6});
    EXPECT_EQ(FindAll(*t, "X", std::string("1.5")), V{1});
    EXPECT_EQ(FindAll(*t, "X", std::int64_t{2}), V{2});
    EXPECT_EQ(FindAll(*t, "OK", false), (V{2, 5}));
    EXPECT_EQ(FindAll(*t, "DAY", TDate{2005, 1, 28}), V{6});
    EXPECT_EQ(FindAll(*t, "DAY", std::string("2005/01/24")), V{2});
    EXPECT_EQ(FindAll(*t, "ID", TFieldValue()), V{});  // no value matches nothing
    EXPECT_THROW(t->Locate("ID", std::string("x")), EConvertError);
}

TEST_F(LocateTest, SeveralKeysTakeA0BasedArrayOfAsManyValues) {
    auto t = tables.Open();
    using V = std::vector<int>;
    const TValueArray idAndFlag{0, {std::int64_t{4}, true}};
    EXPECT_EQ(FindAll(*t, "ID;OK", idAndFlag), V{4});
    EXPECT_EQ(FindAll(*t, "ID", idAndFlag), V{4});  // one name takes the first value
    EXPECT_EQ(FindAll(*t, "ID;OK", TValueArray{0, {std::int64_t{2}, true}}), V{});
    EXPECT_EQ(FindAll(*t, "OK;", true), (V{1, 4, 6}));  // a ";" at the end adds no name

    const std::string mismatch = "Locate: unmatch number of fields and values";
    ExpectError<ELocalDbfError>([&] { t->Locate("ID;OK", std::int64_t{4}); }, mismatch);
    ExpectError<ELocalDbfError>([&] { t->Locate("ID;;OK", idAndFlag); }, mismatch);
    ExpectError<ELocalDbfError>(
        [&] {
            t->Locate("ID", TValueArray{1, {std::int64_t{4}}});
        },
        "Locate: KeyValues Array must be 0 base");
    ExpectError<EDatabaseError>([&] { t->Locate("ID;NONE", idAndFlag); }, "Field 'NONE' not found");
}

TEST_F(LocateTest, FailedSearchKeepsThePlaceAndOnlyBrowsingMaySearch) {
    auto t = tables.Open();
    t->SetRecNo(4);
    EXPECT_FALSE(t->Locate("ID", std::int64_t{99}));
    EXPECT_EQ(t->RecNo(), 4);
    t->SetLocateNext(true);
    EXPECT_FALSE(t->Locate("ID", std::int64_t{1}));  // only records after the current one
    EXPECT_EQ(t->RecNo(), 4);

    t->Edit();
    ExpectError<ELocalDbfError>([&] { t->Locate("ID", std::int64_t{1}); },
                                "Can't Locate in Current State.");
    t->Cancel();
    t->Append();
    ExpectError<ELocalDbfError>([&] { t->Locate("ID", std::int64_t{1}); },
                                "Can't Locate in Current State.");
}

TEST_F(LocateTest, ReadOnlyTablesCanBeSearched) {
    const std::string before = tables.Bytes();
    auto t = tables.Open(true);
    EXPECT_TRUE(t->Locate("ID", std::int64_t{5}));
    EXPECT_EQ(t->Fields(0).AsString(), kWideAbc);
    EXPECT_EQ(tables.Bytes(), before);
}

TEST_F(BrowseTest, EveryRecordBrowsingShowsCanBeFound) {
    // Only '*' marks a record deleted; other programs leave other bytes in the flag.
    tables.Put(DbfTable(kLetter, {std::string("\0a", 2), "?b", "*c"}));
    auto t = tables.Open();
    EXPECT_EQ(Walk(*t), "1a 2b ");
    EXPECT_TRUE(t->Locate("A", std::string("a")));
    EXPECT_TRUE(t->Locate("A", std::string("b")));
    EXPECT_FALSE(t->Locate("A", std::string("c")));
}

TEST_F(LocateTest, RecordsTheFilterRefusesAreNotFound) {
    auto t = tables.Open();
    bool refuseAll = false;
    t->OnFilterRecord = [&](TDataSet& ds, bool& accept) {
        accept = !refuseAll && static_cast<TLocalDbf&>(ds).RecNo() != 2;
    };
    t->SetFiltered(true);
    EXPECT_FALSE(t->Locate("ID", std::int64_t{2}));
    EXPECT_EQ(FindAll(*t, "NAME", std::string("tok"), {true, true}), std::vector<int>{6});

    // No current record: a search for the next match starts at the first record.
    refuseAll = true;
    t->First();
    ASSERT_EQ(t->RecNo(), -1);
    refuseAll = false;
    t->SetLocateNext(true);
    EXPECT_TRUE(t->Locate("ID", std::int64_t{1}));
    EXPECT_EQ(t->RecNo(), 1);
}

TEST_F(LocateTest, RecordsStillWaitingInABulkAppendAreSearchedToo) {
    auto t = tables.Open();
    TBulkAppendScope bulk(*t);
    t->Append();
    t->FieldByName("ID").SetAsInteger(7);
    t->Post();
    t->First();
    EXPECT_TRUE(t->Locate("ID", std::int64_t{7}));
    EXPECT_EQ(t->RecNo(), 7);
    t->Delete();  // the waiting record reaches the file before its flag changes
    bulk.Finish();
    EXPECT_EQ(tables.Bytes()[193 + 6 * 28], '*');  // header 193 bytes, records 28
}

}  // namespace
}  // namespace varnelo

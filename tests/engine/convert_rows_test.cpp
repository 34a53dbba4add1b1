// SPDX-License-Identifier: MIT
// The driver collects its .dbf rows and writes them in large blocks. Whenever the
// conversion returns, by success or by failure, the .dbf on disk must hold every row
// posted so far, the matching record count and the end byte after the last row.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "../support/temp_dir.hpp"
#include "engine/convert.hpp"

namespace varnelo {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

constexpr std::size_t kOneIntegerHeader = 32 + 32 + 1;
constexpr std::size_t kOneIntegerRecord = 1 + 16;

std::uint32_t RecordCountOf(const std::string& dbf) {
    std::uint32_t count = 0;
    for (int i = 3; i >= 0; --i) {
        count = (count << 8) | static_cast<unsigned char>(dbf.at(4 + static_cast<std::size_t>(i)));
    }
    return count;
}

// The stored row of an integer field of 16 bytes: flag, blanks, digits.
std::string IntegerRow(int value) {
    const std::string digits = std::to_string(value);
    return " " + std::string(16 - digits.size(), ' ') + digits;
}

class ConvertRows : public ::testing::Test {
  protected:
    TempDir dir;

    std::string Source(const std::string& columns, const std::string& data,
                       const std::string& mid) {
        WriteFileBytes(dir.Path("src.mif"),
                       "Version 300\r\nCharset \"WindowsJapanese\"\r\nDelimiter \",\"\r\n"
                       "CoordSys Earth Projection 1, 0\r\n" +
                           columns + "Data\r\n" + data);
        WriteFileBytes(dir.Path("src.mid"), mid);
        return dir.Path("src.mif");
    }

    // Points 1..count with .mid values 1..count; `badPoint`/`badValue` spoil one of them.
    std::string NumberedPoints(int count, int badPoint, int badValue) {
        std::string data;
        std::string mid;
        for (int i = 1; i <= count; ++i) {
            data += "Point " + std::to_string(i) + (i == badPoint ? " x\r\n" : " 2\r\n");
            mid += (i == badValue ? std::string("1.5") : std::to_string(i)) + "\r\n";
        }
        return Source("Columns 1\r\n  N Integer\r\n", data, mid);
    }

    void ExpectNineCompleteRows() {
        const std::string dbf = ReadFileBytes(dir.Path("out.dbf"));
        EXPECT_EQ(RecordCountOf(dbf), 9u);
        ASSERT_EQ(dbf.size(), kOneIntegerHeader + 9 * kOneIntegerRecord + 1);
        for (int i = 1; i <= 9; ++i) {
            EXPECT_EQ(
                dbf.substr(kOneIntegerHeader + (i - 1) * kOneIntegerRecord, kOneIntegerRecord),
                IntegerRow(i));
        }
        EXPECT_EQ(dbf.back(), '\x1A');
    }
};

TEST_F(ConvertRows, TenthObjectFailingLeavesNineCompleteRows) {
    // The geometry of the tenth object fails before its row is made.
    TConversionReport report;
    TConversionHooks hooks;
    hooks.Report = &report;
    hooks.KeepPartial = true;  // what was written, kept to be looked at
    ASSERT_FALSE(ConvertMifToShp(ctPoint, NumberedPoints(12, 10, 0), dir.Path("out.shp"), hooks));
    EXPECT_EQ(report.RecordsWritten, 9);
    ExpectNineCompleteRows();

    // The tenth row's value fails after its geometry was written.
    ASSERT_FALSE(ConvertMifToShp(ctPoint, NumberedPoints(12, 0, 10), dir.Path("out.shp"), hooks));
    EXPECT_EQ(ReadFileBytes(dir.Path("out.shp")).size(), 100u + 10 * 28);
    ExpectNineCompleteRows();
}

TEST_F(ConvertRows, RowsOfManyBulkWritesAreAllKeptInOrder) {
    // Rows of 251 bytes: a megabyte takes about four thousand, so 10 000 rows need
    // several writes, and the last write is a partial one.
    constexpr int kRows = 10'000;
    std::string data;
    std::string mid;
    for (int i = 0; i < kRows; ++i) {
        data += "Point 1 2\r\n";
        mid += "\"row " + std::to_string(i) + "\"\r\n";
    }
    ASSERT_TRUE(ConvertMifToShp(ctPoint, Source("Columns 1\r\n  T Char(250)\r\n", data, mid),
                                dir.Path("out.shp")));
    const std::string dbf = ReadFileBytes(dir.Path("out.dbf"));
    const std::size_t header = 32 + 32 + 1;
    const std::size_t record = 251;
    EXPECT_EQ(RecordCountOf(dbf), static_cast<std::uint32_t>(kRows));
    ASSERT_EQ(dbf.size(), header + kRows * record + 1);
    for (const int i : {0, 1, 4176, 4177, 4178, 8354, 8355, kRows - 1}) {
        const std::string text = "row " + std::to_string(i);
        EXPECT_EQ(dbf.substr(header + static_cast<std::size_t>(i) * record, record),
                  " " + text + std::string(250 - text.size(), ' '))
            << "row " << i;
    }
    EXPECT_EQ(dbf.back(), '\x1A');
}

}  // namespace
}  // namespace varnelo

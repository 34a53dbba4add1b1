// SPDX-License-Identifier: MIT
// Column lists at the edges of what a .dbf can hold: the 16-bit header and record lengths,
// declared decimal sizes, 64-bit integers, time columns and types the reader does not know.
// What GDAL's ogrinfo reads back is checked where it is installed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "../support/run_command.hpp"
#include "../support/temp_dir.hpp"
#include "engine/convert.hpp"

namespace varnelo {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

std::size_t UInt16At(const std::string& bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes.at(at)) |
           (static_cast<std::size_t>(static_cast<unsigned char>(bytes.at(at + 1))) << 8);
}

class ConvertColumns : public ::testing::Test {
  protected:
    TempDir dir;
    TConversionReport report;

    // Converts one point with these columns and `mid` as its row into out.shp.
    bool Convert(const std::string& columns, const std::string& mid) {
        WriteFileBytes(dir.Path("src.mif"),
                       "Version 900\r\nCharset \"WindowsJapanese\"\r\nDelimiter \",\"\r\n"
                       "CoordSys Earth Projection 1, 0\r\n" +
                           columns + "Data\r\nPoint 1 2\r\n");
        WriteFileBytes(dir.Path("src.mid"), mid + "\r\n");
        report = {};
        TConversionHooks hooks;
        hooks.Report = &report;
        return ConvertMifToShp(ctPoint, dir.Path("src.mif"), dir.Path("out.shp"), hooks);
    }
    // The same with `count` columns of `type`, named C1, C2, ..., and an empty row.
    bool ConvertMany(int count, const std::string& type) {
        std::string columns = "Columns " + std::to_string(count) + "\r\n";
        for (int i = 1; i <= count; ++i) {
            columns += "  C" + std::to_string(i) + " " + type + "\r\n";
        }
        return Convert(columns, "");
    }
    void RemoveOutput() const {
        for (const char* ext : {"shp", "shx", "dbf", "cpg", "prj"}) {
            std::filesystem::remove(dir.Path(std::string("out.") + ext));
        }
    }
    bool NoOutput() const {
        for (const char* ext : {"shp", "shx", "dbf", "cpg", "prj"}) {
            if (std::filesystem::exists(dir.Path(std::string("out.") + ext))) {
                return false;
            }
        }
        return true;
    }
    std::string Listing() const {
        return testing::RunCommand("ogrinfo -ro -al '" + dir.Path("out.shp") + "' 2>&1").Output;
    }
};

#define EXPECT_LISTS(listing, text) \
    EXPECT_NE((listing).find(text), std::string::npos) << "missing: " << (text) << "\n" << (listing)

TEST_F(ConvertColumns, HeaderLengthLimit) {
    // 32 + 32 x 2,046 + 1 = 65,505 bytes: the most fields a header can describe.
    ASSERT_TRUE(ConvertMany(2046, "Logical")) << report.ErrorText;
    const std::string dbf = ReadFileBytes(dir.Path("out.dbf"));
    EXPECT_EQ(UInt16At(dbf, 8), 65505u);
    EXPECT_EQ(UInt16At(dbf, 10), 2047u);
    if (testing::HaveTool("ogrinfo")) {
        const std::string listing = Listing();
        EXPECT_LISTS(listing, "C2046 (String)");
        EXPECT_EQ(listing.find("ERROR"), std::string::npos) << listing;
    }

    RemoveOutput();
    EXPECT_FALSE(ConvertMany(2047, "Logical"));
    EXPECT_TRUE(NoOutput());
    EXPECT_NE(report.ErrorText.find("ヘッダー長が上限の 65535 バイトを超えます"), std::string::npos)
        << report.ErrorText;
    EXPECT_NE(report.ErrorText.find("2047 番目のフィールド C2047"), std::string::npos)
        << report.ErrorText;
    EXPECT_EQ(report.FailedLine, 0);  // the message names the column
}

TEST_F(ConvertColumns, RecordLengthLimit) {
    // 1 + 254 x 258 = 65,533 bytes; one column more passes 65,535.
    ASSERT_TRUE(ConvertMany(258, "Char(254)")) << report.ErrorText;
    EXPECT_EQ(UInt16At(ReadFileBytes(dir.Path("out.dbf")), 10), 65533u);
    if (testing::HaveTool("ogrinfo")) {
        EXPECT_LISTS(Listing(), "C258 (String) = (null)\n");
    }

    RemoveOutput();
    EXPECT_FALSE(ConvertMany(259, "Char(254)"));
    EXPECT_TRUE(NoOutput());
    EXPECT_NE(report.ErrorText.find(
                  "レコード長が上限の 65535 バイトを超えます: 259 番目のフィールド C259"),
              std::string::npos)
        << report.ErrorText;
}

TEST_F(ConvertColumns, DeclaredDecimalsLargeIntegersAndTimesKeepTheirValues) {
    ASSERT_TRUE(
        Convert("Columns 8\r\n"
                "  SMALL Decimal(12, 3)\r\n"
                "  WIDE Decimal(20,2)\r\n"
                "  WHOLE Decimal(12,0)\r\n"
                "  FINE Decimal(10,8)\r\n"
                "  BIG LargeInt\r\n"
                "  AT Time\r\n"
                "  STAMP DateTime\r\n"
                "  ODD Blob\r\n",
                "1.5,12345678901.23,-123456789012,0.12345678,-9223372036854775808,"
                "145600000,20220323145600000,x"))
        << report.ErrorText;
    EXPECT_EQ(report.UnknownTypeColumns, std::vector<std::string>{"ODD"});
    const std::string dbf = ReadFileBytes(dir.Path("out.dbf"));
    const auto descriptor = [&](int i) {
        const std::size_t at = 32 + 32 * static_cast<std::size_t>(i);
        std::string text(1, dbf.at(at + 11));
        text += std::to_string(dbf.at(at + 16) & 0xFF);
        text += ',';
        text += std::to_string(dbf.at(at + 17));
        return text;
    };
    EXPECT_EQ(descriptor(0), "N16,6");  // as every decimal column had it
    EXPECT_EQ(descriptor(1), "N22,2");
    EXPECT_EQ(descriptor(2), "N13,0");
    EXPECT_EQ(descriptor(3), "N12,8");
    EXPECT_EQ(descriptor(4), "N20,0");
    EXPECT_EQ(descriptor(5), "C9,0");
    EXPECT_EQ(descriptor(6), "C17,0");
    EXPECT_EQ(descriptor(7), "C254,0");  // an unknown type keeps its values as text
    const std::size_t header = 32 + 32 * 8 + 1;
    EXPECT_EQ(dbf.substr(header + 1, 16 + 22 + 13 + 12 + 20 + 9 + 17 + 2),
              "        1.500000"
              "        12345678901.23"
              "-123456789012"
              "  0.12345678"
              "-9223372036854775808"
              "145600000"
              "20220323145600000"
              "x ");
    if (testing::HaveTool("ogrinfo")) {
        const std::string listing = Listing();
        EXPECT_LISTS(listing, "WIDE (Real) = 12345678901.23\n");
        EXPECT_LISTS(listing, "WHOLE (Integer64) = -123456789012\n");
        // GDAL takes a 20-byte integer field for a real one, and still reads every digit.
        EXPECT_LISTS(listing, "BIG (Real) = -9223372036854775808\n");
        EXPECT_LISTS(listing, "STAMP (String) = 20220323145600000\n");
    }
}

}  // namespace
}  // namespace varnelo

// SPDX-License-Identifier: MIT
// What an independent reader (GDAL's ogrinfo) sees in the files the converter writes:
// record counts, vertices and attribute bytes, Shift-JIS included. Skipped when GDAL is
// not installed.
#include <gtest/gtest.h>

#include <cstdlib>

#include <string>

#include "../support/run_command.hpp"
#include "../support/temp_dir.hpp"
#include "engine/convert.hpp"

namespace varnelo {
namespace {

using testing::TempDir;

bool HaveOgrInfo() {
    return std::system("command -v ogrinfo >/dev/null 2>&1") == 0;
}

// The full listing of every feature, with the attribute bytes left as stored.
std::string OgrListing(const std::string& shp) {
    const std::string command = "ogrinfo -ro -al --config SHAPE_ENCODING '' '" + shp + "' 2>&1";
    return testing::RunCommand(command).Output;
}

class Interop : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HaveOgrInfo()) {
            GTEST_SKIP() << "ogrinfo is not installed";
        }
    }
    std::string ConvertAndList(int type, const std::string& sample) {
        const std::string shp = dir.Path(sample + ".shp");
        EXPECT_TRUE(ConvertMifToShp(
            type, std::string(VARNELO_SOURCE_DIR) + "/samples/" + sample + ".mif", shp));
        return OgrListing(shp);
    }
    TempDir dir;
};

#define EXPECT_LISTS(listing, text) \
    EXPECT_NE((listing).find(text), std::string::npos) << "missing: " << (text) << "\n" << (listing)

TEST_F(Interop, PointsAndEveryColumnType) {
    const std::string out = ConvertAndList(ctPoint, "stations");
    EXPECT_LISTS(out, "Feature Count: 4");
    EXPECT_LISTS(out, "Geometry: Point");
    EXPECT_LISTS(out, "POINT (139.7671 35.6812)");
    EXPECT_LISTS(out, "POINT (130.4205 33.5902)");
    EXPECT_LISTS(out, "NAME (String) = \x93\x8c\x8b\x9e\x89\x77\n");              // 東京駅
    EXPECT_LISTS(out, "NAME (String) = \x96\xbc\x8c\xc3\x89\xae\x20\x89\x77\n");  // 名古屋 駅
    EXPECT_LISTS(out, "CODE (Integer64) = 1004");
    EXPECT_LISTS(out, "HEIGHT (Real) = -2.100000");
    EXPECT_LISTS(out, "OPENED (Date) = 2005/01/24");
    EXPECT_LISTS(out, "STAFFED (String) = F");
    EXPECT_EQ(out.find("Warning"), std::string::npos) << out;
}

TEST_F(Interop, PolylinesWithSectionsAndArcs) {
    const std::string out = ConvertAndList(ctPolyLine, "roads");
    EXPECT_LISTS(out, "Feature Count: 5");
    EXPECT_LISTS(out, "LINESTRING (0 0,10 10)");
    EXPECT_LISTS(out, "LINESTRING (0 0,5 5,10 0)");
    EXPECT_LISTS(out, "MULTILINESTRING ((0 0,1 1),(2 2,3 3,4 2))");
    EXPECT_LISTS(out, "ROUTE (String) = \x8d\x91\x93\xb9\x31\x8d\x86\n");  // 国道1号
}

TEST_F(Interop, PolygonsReadWithTheirHolesAndIslands) {
    const std::string out = ConvertAndList(ctPolygon, "parcels");
    EXPECT_LISTS(out, "Feature Count: 6");
    EXPECT_LISTS(out, "POLYGON ((0 0,0 10,10 10,10 0,0 0),(2 2,4 2,4 4,2 4,2 2))");
    EXPECT_LISTS(out, "MULTIPOLYGON (((20 0,20 1,21 0,20 0)),((30 0,30 1,31 0,30 0)))");
    EXPECT_LISTS(out, "POLYGON ((0 5,10 5,10 0,0 0,0 5))");
    EXPECT_LISTS(out, "OWNER (String) = \x8e\x52\x93\x63\x20\x91\xbe\x98\x59\n");  // 山田 太郎
    EXPECT_LISTS(out, "AREA (Real) = 3.141590");
    EXPECT_EQ(out.find("Warning"), std::string::npos) << out;
}

TEST_F(Interop, TextsAsPointsAndLines) {
    const std::string points = ConvertAndList(ctTextAsPoint, "labels");
    EXPECT_LISTS(points, "Feature Count: 3");
    EXPECT_LISTS(points, "POINT (135 34)");
    // The whole text, comma and blanks included.
    EXPECT_LISTS(points,
                 "MIF_TEXT (String) = \x91\xe5\x8d\xe3\x2c\x20\x95\x7b\x20\x20\x92\x86\x89\x9b\n");

    const std::string lines = ConvertAndList(ctTextAsLine, "labels");
    EXPECT_LISTS(lines, "LINESTRING (140 36,140.25 36.5)");
    EXPECT_LISTS(lines, "MIF_TEXT (String) = \x8d\x60\n");  // 港
}

}  // namespace
}  // namespace varnelo

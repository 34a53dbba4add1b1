// SPDX-License-Identifier: MIT
// What an independent reader (GDAL's ogrinfo) sees in the files the converter writes:
// record counts, vertices and attribute bytes, Shift-JIS included, the coordinate system
// and the code page. Skipped when GDAL is not installed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../support/run_command.hpp"
#include "../support/temp_dir.hpp"
#include "engine/convert.hpp"

namespace varnelo {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

// The full listing of every feature, with the attribute bytes left as stored.
std::string OgrListing(const std::string& shp) {
    const std::string command = "ogrinfo -ro -al --config SHAPE_ENCODING '' '" + shp + "' 2>&1";
    return testing::RunCommand(command).Output;
}

// `ogrinfo -al` of every layer in a folder, as GDAL reads it by default, by layer name.
std::map<std::string, std::string> LayersIn(const std::string& folder, const char* options) {
    const std::string listing =
        testing::RunCommand("ogrinfo -ro -al " + std::string(options) + " '" + folder + "' 2>&1")
            .Output;
    std::map<std::string, std::string> layers;
    constexpr std::string_view kLayer = "\nLayer name: ";
    for (std::size_t at = listing.find(kLayer); at != std::string::npos;) {
        const std::size_t name = at + kLayer.size();
        const std::size_t next = listing.find(kLayer, name);
        const std::size_t nameEnd = listing.find('\n', name);
        layers[listing.substr(name, nameEnd - name)] = listing.substr(nameEnd, next - nameEnd);
        at = next;
    }
    return layers;
}

// The EPSG code GDAL gives a layer's coordinate system: the ID closing its WKT, 0 if none.
int EpsgOf(const std::string& layer) {
    constexpr std::string_view kId = "\n    ID[\"EPSG\",";
    const std::size_t at = layer.find(kId);
    return at == std::string::npos ? 0 : std::atoi(layer.c_str() + at + kId.size());
}

// The numbers that make a coordinate system the one it is, whatever its names: the
// ellipsoid (unless left out), the projection parameters and the units, in order.
std::string CrsNumbers(const std::string& layer, bool withEllipsoid = true) {
    std::string numbers;
    for (const char* keyword : {"ELLIPSOID[\"", "PARAMETER[\"", "LENGTHUNIT[\""}) {
        if (!withEllipsoid && keyword[0] == 'E') {
            continue;
        }
        for (std::size_t at = layer.find(keyword); at != std::string::npos;
             at = layer.find(keyword, at + 1)) {
            const std::size_t value = layer.find("\",", at) + 2;
            std::string number =
                layer.substr(value, layer.find_first_not_of("0123456789.e+-,", value) - value);
            if (number.ends_with(',')) {
                number.pop_back();
            }
            numbers += std::string(keyword) + number + " ";
        }
    }
    return numbers;
}

class Interop : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testing::HaveTool("ogrinfo")) {
            GTEST_SKIP() << "ogrinfo is not installed";
        }
    }
    std::string ConvertAndList(int type, const std::string& sample) {
        const std::string shp = dir.Path(sample + ".shp");
        EXPECT_TRUE(ConvertMifToShp(
            type, std::string(VARNELO_SOURCE_DIR) + "/samples/" + sample + ".mif", shp));
        return OgrListing(shp);
    }
    // Writes mif/NAME.mif (`header` lines, one character column, one point) with `row` as
    // its .mid line, and converts it into ours/NAME.shp.
    void ConvertPoint(const std::string& name, const std::string& header, const std::string& row) {
        std::filesystem::create_directories(dir.Path("mif"));
        std::filesystem::create_directories(dir.Path("ours"));
        WriteFileBytes(
            dir.Path("mif/" + name + ".mif"),
            "Version 300\r\n" + header + "Columns 1\r\n  NAME Char(20)\r\nData\r\nPoint 1 2\r\n");
        WriteFileBytes(dir.Path("mif/" + name + ".mid"), row + "\r\n");
        ASSERT_TRUE(ConvertMifToShp(ctPoint, dir.Path("mif/" + name + ".mif"),
                                    dir.Path("ours/" + name + ".shp")));
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

// Float values too wide for six decimals, and columns whose names differ only in case
// (renamed) or only in a second byte that looks like a letter (ア and ヂ, kept).
TEST_F(Interop, WideFloatValuesAndNamesDifferingOnlyInLetterCase) {
    WriteFileBytes(dir.Path("wide.mif"),
                   "Version 300\r\nColumns 5\r\n  POP Float\r\n  Name Char(4)\r\n"
                   "  NAME Char(4)\r\n  \x83\x41 Char(4)\r\n  \x83\x61 Char(4)\r\n"
                   "Data\r\nPoint 1 2\r\n");
    WriteFileBytes(dir.Path("wide.mid"), "-123456789012345,aa,bb,cc,dd\r\n");
    ASSERT_TRUE(ConvertMifToShp(ctPoint, dir.Path("wide.mif"), dir.Path("wide.shp")));
    const std::string out = OgrListing(dir.Path("wide.shp"));
    EXPECT_LISTS(out, "POP (Real) = -123456789012345");
    EXPECT_LISTS(out, "Name (String) = aa\n");
    EXPECT_LISTS(out, "NA~2 (String) = bb\n");
    EXPECT_LISTS(out, "\x83\x41 (String) = cc\n");
    EXPECT_LISTS(out, "\x83\x61 (String) = dd\n");
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

TEST_F(Interop, JapaneseSamplesOpenWithTheirCoordinateSystemAndTextWithoutOptions) {
    const struct {
        const char* Sample;
        int Epsg;
        const char* Attribute;
    } samples[] = {
        {"stations", 4326, "NAME (String) = 東京駅\n"},   // Shift-JIS, longitude/latitude
        {"landmarks", 6677, "名称 (String) = 東京駅\n"},  // UTF-8, plane rectangular IX
    };
    for (const auto& s : samples) {
        ASSERT_TRUE(ConvertMifToShp(
            ctPoint, std::string(VARNELO_SOURCE_DIR) + "/samples/" + s.Sample + ".mif",
            dir.Path(std::string(s.Sample) + ".shp")));
    }
    const auto layers = LayersIn(dir.Path(), "");
    for (const auto& s : samples) {
        EXPECT_EQ(EpsgOf(layers.at(s.Sample)), s.Epsg) << s.Sample;
        EXPECT_LISTS(layers.at(s.Sample), s.Attribute);
    }
}

// Source EPSG codes that GDAL writes as CoordSys clauses, and the code the converted
// shapefile must carry then: the same, except that datum 104 stands for JGD2011 only with a
// plane rectangular zone, so JGD2011 longitude/latitude and UTM read as WGS 84.
struct TCrsRange {
    int FirstSource;
    int Count;
    int FirstExpected;
    bool MifReadAsWgs84;  // GDAL reads the clause's datum 104 as WGS 84
};
const TCrsRange kCrsRanges[] = {
    {4326, 1, 4326, false}, {4301, 1, 4301, false},    {4612, 1, 4612, false},
    {6668, 1, 4326, false}, {30161, 19, 30161, false}, {2443, 19, 2443, false},
    {6669, 19, 6669, true}, {32651, 6, 32651, false},  {3097, 5, 3097, false},
    {3092, 5, 3092, false}, {6688, 5, 32651, false},
};

TEST_F(Interop, EveryZoneAndDatumReadsAsTheCrsGdalWroteTheClauseFor) {
    struct TLayer {
        std::string Name;
        int Expected;
        bool MifReadAsWgs84;
    };
    std::vector<TLayer> layers;
    // GDAL writes every source code as a .mif (its MapInfo driver) and as the .prj of a
    // shapefile of its own, in one run each.
    WriteFileBytes(dir.Path("point.csv"), "id,WKT\n1,\"POINT (1 2)\"\n");
    std::string vrt = "<OGRVRTDataSource>";
    for (const TCrsRange& range : kCrsRanges) {
        for (int i = 0; i < range.Count; ++i) {
            const std::string code = std::to_string(range.FirstSource + i);
            layers.push_back({"c" + code, range.FirstExpected + i, range.MifReadAsWgs84});
            vrt += "<OGRVRTLayer name=\"c" + code + "\"><SrcDataSource>" + dir.Path("point.csv") +
                   "</SrcDataSource><SrcLayer>point</SrcLayer><LayerSRS>EPSG:" + code +
                   "</LayerSRS></OGRVRTLayer>";
        }
    }
    WriteFileBytes(dir.Path("crs.vrt"), vrt + "</OGRVRTDataSource>");
    for (const char* written : {"'MapInfo File' -dsco FORMAT=MIF mif", "'ESRI Shapefile' gdal"}) {
        ASSERT_EQ(testing::RunCommand("cd '" + dir.Path() + "' && ogr2ogr -f " + written +
                                      " crs.vrt 2>&1")
                      .ExitCode,
                  0);
    }

    for (const TLayer& layer : layers) {
        TConversionReport report;
        TConversionHooks hooks;
        hooks.Report = &report;
        ASSERT_TRUE(ConvertMifToShp(ctPoint, dir.Path("mif/" + layer.Name + ".mif"),
                                    dir.Path(layer.Name + ".shp"), hooks));
        const std::string expected = std::to_string(layer.Expected);
        EXPECT_NE(report.CoordSys.Declared.find("(EPSG:" + expected + ")"), std::string::npos)
            << layer.Name << ": " << report.CoordSys.Declared << report.CoordSys.Reason;
        EXPECT_EQ(ReadFileBytes(dir.Path(layer.Name + ".prj")),
                  ReadFileBytes(dir.Path("gdal/c" + expected + ".prj")))
            << layer.Name;
    }
    const auto ours = LayersIn(dir.Path(), "-so");
    const auto mifs = LayersIn(dir.Path("mif"), "-so");
    for (const TLayer& layer : layers) {
        ASSERT_EQ(ours.count(layer.Name), 1u) << layer.Name;
        EXPECT_EQ(EpsgOf(ours.at(layer.Name)), layer.Expected) << ours.at(layer.Name);
        EXPECT_EQ(CrsNumbers(ours.at(layer.Name), !layer.MifReadAsWgs84),
                  CrsNumbers(mifs.at(layer.Name), !layer.MifReadAsWgs84))
            << layer.Name;
    }
}

TEST_F(Interop, ProjectionsOfTheirOwnReadAsGdalReadsTheMif) {
    const std::string clauses[] = {
        "Earth Projection 8, 152, \"m\", 153, 0, 0.9996, 500000, 0",  // JGD2000 UTM zone 56
        "Earth Projection 8, 97, \"m\", 135, 35, 0.9999, 100000, 200000",
        "Earth Projection 8, 104, \"km\", 139.833333333333, 36, 0.9999, 0, 0",
    };
    for (std::size_t i = 0; i < std::size(clauses); ++i) {
        ConvertPoint(std::string("tm") + std::to_string(i), "CoordSys " + clauses[i] + "\r\n", "x");
    }
    const auto ours = LayersIn(dir.Path("ours"), "-so");
    const auto mifs = LayersIn(dir.Path("mif"), "-so");
    for (std::size_t i = 0; i < std::size(clauses); ++i) {
        const std::string name = std::string("tm") + std::to_string(i);
        ASSERT_EQ(ours.count(name), 1u) << name;
        EXPECT_NE(CrsNumbers(ours.at(name)).find("PARAMETER"), std::string::npos);
        EXPECT_EQ(CrsNumbers(ours.at(name)), CrsNumbers(mifs.at(name))) << clauses[i];
    }
}

// Each Charset family: the .cpg lets GDAL decode the table without any option, to the text
// it decodes from the .mif itself. GDAL 3.6 does not decode a "UTF-8" .mif, and reads a
// source without Charset as it is, so those two are checked against the text alone.
TEST_F(Interop, AttributesDecodeWithoutOptionsInEveryCharsetFamily) {
    struct TCharsetCase {
        const char* Charset;  // the Charset line
        const char* Stored;   // the value's bytes in that character set
        const char* Text;     // the same in UTF-8
        bool GdalReadsMif;
    };
    const TCharsetCase cases[] = {
        {"Charset \"WindowsJapanese\"\r\n", "\x93\x8c\x8b\x9e\x89\x77", "東京駅", true},
        {"", "\x93\x8c\x8b\x9e\x89\x77", "東京駅", false},
        {"Charset \"WindowsLatin1\"\r\n", "Caf\xe9", "Café", true},
        {"Charset \"WindowsCyrillic\"\r\n", "\xcc\xee\xf1\xea\xe2\xe0", "Москва", true},
        {"Charset \"WindowsSimpChinese\"\r\n", "\xb1\xb1\xbe\xa9", "北京", true},
        {"Charset \"CodePage437\"\r\n", "Caf\x82", "Café", true},
        {"Charset \"UTF-8\"\r\n", "Поле", "Поле", false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        ConvertPoint(std::string("cs") + std::to_string(i), std::string(cases[i].Charset),
                     std::string("\"") + cases[i].Stored + "\"");
    }
    const auto ours = LayersIn(dir.Path("ours"), "");
    const auto mifs = LayersIn(dir.Path("mif"), "");
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string name = std::string("cs") + std::to_string(i);
        const std::string decoded = "NAME (String) = " + std::string(cases[i].Text) + "\n";
        EXPECT_LISTS(ours.at(name), decoded);
        EXPECT_EQ(ours.at(name).find("Warning"), std::string::npos) << ours.at(name);
        if (cases[i].GdalReadsMif) {
            EXPECT_LISTS(mifs.at(name), decoded);
        }
        // The table's date is this year's, not a century back.
        EXPECT_LISTS(ours.at(name), "DBF_DATE_LAST_UPDATE=" + std::to_string(1900 + local.tm_year));
    }
}

}  // namespace
}  // namespace varnelo

// SPDX-License-Identifier: MIT
// What an independent reader (GDAL's ogrinfo) sees in the files the converter writes:
// record counts, vertices and attribute bytes, Shift-JIS included, the coordinate system
// and the code page. Skipped when GDAL is not installed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "../support/run_command.hpp"
#include "../support/temp_dir.hpp"
#include "engine/convert.hpp"
#include "engine/coord_sys.hpp"
#include "os/clock.hpp"

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
            GTEST_SKIP() << testing::NoToolReason("ogrinfo");
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

// Float values too wide for six decimals, columns whose names differ only in case (renamed)
// or only in a second byte that looks like a letter (ア and ヂ, kept), names with blanks, a
// type no test knows and a quoted value that begins with a quote.
TEST_F(Interop, WideFloatValuesNamesAsWrittenAndUnknownTypesKeepTheirValues) {
    WriteFileBytes(dir.Path("wide.mif"),
                   "Version 300\r\nColumns 8\r\n  POP Float\r\n  Name Char(4)\r\n"
                   "  NAME Char(4)\r\n  \x83\x41 Char(4)\r\n  \x83\x61 Char(4)\r\n"
                   "  Depth low Float\r\n  Date of survey Date\r\n  Shape Blob\r\n"
                   "Data\r\nPoint 1 2\r\n");
    WriteFileBytes(dir.Path("wide.mid"),
                   "-123456789012345,aa,bb,cc,dd,12.5,19650330,\"\"\"X\"\", rest\"\r\n");
    ASSERT_TRUE(ConvertMifToShp(ctPoint, dir.Path("wide.mif"), dir.Path("wide.shp")));
    const std::string out = OgrListing(dir.Path("wide.shp"));
    EXPECT_LISTS(out, "POP (Real) = -123456789012345");
    EXPECT_LISTS(out, "Name (String) = aa\n");
    EXPECT_LISTS(out, "NA~2 (String) = bb\n");
    EXPECT_LISTS(out, "\x83\x41 (String) = cc\n");
    EXPECT_LISTS(out, "\x83\x61 (String) = dd\n");
    EXPECT_LISTS(out, "Depth_low: Real (16.6)");
    EXPECT_LISTS(out, "Shape: String (254.0)");
    EXPECT_LISTS(out, "Depth_low (Real) = 12.500000");
    EXPECT_LISTS(out, "Date_of_su (Date) = 1965/03/30");
    EXPECT_LISTS(out, "Shape (String) = \"X\", rest\n");
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
        // Numbers beyond those the projection takes are ignored.
        "Earth Projection 8, 97, \"m\", 135, 35, 0.9999, 100000, 200000, 7",
        "Earth Projection 17, 104, \"m\", 10, 0",
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

// GDAL's answers on coordinate systems, from one process of Debian's python3-gdal. Each
// request is a line "KIND<TAB>TEXT"; each answer a line of tab-separated fields:
//   read  CLAUSE   the .prj GDAL writes for its reading of the CoordSys clause, the PROJ
//                  string of that reading, and the clause GDAL's MapInfo writer makes of it;
//   epsg  CODE     the same for an EPSG code;
//   proj  TEXT     the same for a PROJ string;
//   sweep CLAUSE   GDAL's own WKT of its reading of the clause, and the clause it makes of it
//                  (quick, for sweeping through numbers);
//   same  CLAUSE<TAB>PRJ
//                  "same" when GDAL reads the .prj as the system it reads from the clause (or
//                  from an "EPSG:" code in its place):
//                  the same ellipsoid (axis to the millimetre, inverse flattening to 1e-6)
//                  and prime meridian, and, on the clause's own geographic system, the same
//                  projected coordinates (to the millimetre) of points around its origin;
//                  else what differs.
// The .prj text is the ESRI WKT export, which is what GDAL's shapefile driver writes.
constexpr std::string_view kGdalAnswers = R"(
import sys
from osgeo import gdal, osr
gdal.PushErrorHandler("CPLQuietErrorHandler")
def parameter(srs, names):
    for name in names:
        value = srs.GetProjParm(name, 1e300)
        if value != 1e300:
            return value
    return 0.0
def same(clause, prj):
    a, b = osr.SpatialReference(), osr.SpatialReference()
    read_a = a.SetFromUserInput if clause.startswith("EPSG:") else (
        lambda text: a.ImportFromMICoordSys("Earth Projection " + text))
    if read_a(clause) != 0 or b.SetFromUserInput(prj) != 0:
        return "unreadable"
    for x, y, tolerance in [(a.GetSemiMajor(), b.GetSemiMajor(), 1e-3),
                            (a.GetInvFlattening(), b.GetInvFlattening(), 1e-6),
                            (float(a.GetAttrValue("PRIMEM", 1)), float(b.GetAttrValue("PRIMEM", 1)), 1e-8)]:
        if abs(x - y) > tolerance:
            return "ellipsoid or prime meridian %r %r" % (x, y)
    if a.IsProjected() != b.IsProjected():
        return "projected or not"
    if not a.IsProjected():
        return "same"
    b.CopyGeogCSFrom(a)
    geographic = a.CloneGeogCS()
    for srs in (a, b, geographic):
        srs.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    lon = parameter(a, ["central_meridian", "longitude_of_center", "longitude_of_origin"])
    lat = max(-80, min(80, parameter(a, ["latitude_of_origin", "latitude_of_center"])))
    to_a = osr.CoordinateTransformation(geographic, a)
    to_b = osr.CoordinateTransformation(geographic, b)
    for dx in (-0.5, 0, 0.5):
        for dy in (-0.5, 0.5):
            pa = to_a.TransformPoint(lon + dx, lat + dy)
            pb = to_b.TransformPoint(lon + dx, lat + dy)
            if abs(pa[0] - pb[0]) > 1e-3 or abs(pa[1] - pb[1]) > 1e-3:
                return "at %r %r: %r %r" % (lon + dx, lat + dy, pa, pb)
    return "same"
for line in sys.stdin.read().split("\n")[:-1]:
    kind, text = line.split("\t", 1)
    if kind == "same":
        try:
            print(same(*text.split("\t")))
        except RuntimeError as error:
            print(str(error).replace("\n", " "))
        continue
    srs = osr.SpatialReference()
    try:
        ok = {"read": lambda: srs.ImportFromMICoordSys("Earth Projection " + text),
              "sweep": lambda: srs.ImportFromMICoordSys("Earth Projection " + text),
              "epsg": lambda: srs.ImportFromEPSG(int(text)),
              "proj": lambda: srs.ImportFromProj4(text)}[kind]() == 0
    except RuntimeError:
        ok = False
    if not ok:
        print("\t\t")
    elif kind == "sweep":
        print(srs.ExportToWkt() + "\t" + srs.ExportToMICoordSys())
    else:
        print("\t".join([srs.ExportToWkt(["FORMAT=WKT1_ESRI"]), srs.ExportToProj4().strip(),
                         srs.ExportToMICoordSys()]))
)";

using TAnswer = std::vector<std::string>;

std::vector<TAnswer> AskGdal(const TempDir& dir, const std::vector<std::string>& requests) {
    std::string text;
    for (const std::string& request : requests) {
        text += request + "\n";
    }
    WriteFileBytes(dir.Path("ask.py"), kGdalAnswers);
    WriteFileBytes(dir.Path("requests.txt"), text);
    const std::string output = testing::RunCommand("/usr/bin/python3 '" + dir.Path("ask.py") +
                                                   "' < '" + dir.Path("requests.txt") + "'")
                                   .Output;
    std::vector<TAnswer> answers;
    for (std::size_t at = 0; at < output.size();) {
        const std::size_t end = output.find('\n', at);
        TAnswer fields;
        const std::string line = output.substr(at, end - at);
        for (std::size_t from = 0;;) {
            const std::size_t tab = line.find('\t', from);
            fields.push_back(line.substr(from, tab - from));
            if (tab == std::string::npos) {
                break;
            }
            from = tab + 1;
        }
        answers.push_back(std::move(fields));
        at = end == std::string::npos ? output.size() : end + 1;
    }
    EXPECT_EQ(answers.size(), requests.size()) << output;
    answers.resize(requests.size(), TAnswer(3));
    return answers;
}

// The part of a .prj from `from` on (its datum, its projection): what makes a coordinate
// system the one it is, apart from the names GDAL gives a system it cannot name ("unnamed").
std::string PrjFrom(const std::string& prj, std::string_view from) {
    const std::size_t at = prj.find(from);
    return at == std::string::npos ? "(no " + std::string(from) + ") " + prj : prj.substr(at);
}

class InteropCrs : public ::testing::Test {
  protected:
    void SetUp() override {
        if (testing::RunCommand("/usr/bin/python3 -c 'import osgeo' 2>&1").ExitCode != 0) {
            GTEST_SKIP() << testing::NoToolReason("GDAL's Python module (python3-gdal)");
        }
    }
    // Checks that GDAL reads each of `ours` that is a .prj as the coordinate system it reads
    // from the clause of the same position, or else from the system of the same position in
    // `sources` ("EPSG:2229"), when given.
    void ExpectReadAsTheSame(const std::vector<std::string>& clauses,
                             const std::vector<TPrjText>& ours,
                             const std::vector<std::string>& sources = {}) {
        const std::size_t asked = sources.empty() ? 1 : 2;
        std::vector<std::size_t> written;
        std::vector<std::string> requests;
        for (std::size_t i = 0; i < ours.size(); ++i) {
            if (!ours[i].Wkt.empty()) {
                written.push_back(i);
                requests.push_back("same\t" + clauses[i] + "\t" + ours[i].Wkt);
                if (!sources.empty()) {
                    requests.push_back("same\t" + sources[i] + "\t" + ours[i].Wkt);
                }
            }
        }
        const auto read = AskGdal(dir, requests);
        for (std::size_t k = 0; k < written.size(); ++k) {
            EXPECT_TRUE(read[asked * k][0] == "same" || read[asked * k + asked - 1][0] == "same")
                << clauses[written[k]] << ": " << read[asked * k][0] << "\n"
                << ours[written[k]].Wkt;
        }
    }
    TempDir dir;
};

// Every datum number GDAL reads as a datum of its own, and datums given in the clause, on
// longitude/latitude: where the datum has an EPSG geographic system ours is the .prj GDAL
// writes for that code, and so is ours for the clause GDAL writes for the code when that names
// the same datum; otherwise ours is the .prj GDAL writes for the clause, but for the name it
// cannot give. GDAL reads a number it does not know as WGS 84, as the round trip through its
// writer shows; ours writes nothing. (GDAL also reads a datum 999 or 9999 whose ellipsoid and
// shift are those of a numbered datum as that datum; ours names it after its numbers.)
TEST_F(InteropCrs, EveryDatumOnLongitudeLatitude) {
    constexpr int kNumbers = 2000;
    constexpr int kUnknown = 32000;  // no datum GDAL knows
    std::vector<std::string> requests;
    for (int datum = 0; datum <= kNumbers; ++datum) {
        requests.push_back("sweep\t1, " + std::to_string(datum < kNumbers ? datum : kUnknown));
    }
    const std::vector<TAnswer> sweep = AskGdal(dir, requests);
    std::vector<std::string> clauses;
    std::vector<TPrjText> ours;
    for (int datum = 0; datum < kNumbers; ++datum) {
        const std::string clause = "1, " + std::to_string(datum);
        const TPrjText prj = CoordSysToPrj("Earth Projection " + clause);
        // 999 and 9999 come with their numbers, below.
        const bool gdalKnows = datum != 999 && (sweep[datum][0] != sweep[kNumbers][0] ||
                                                sweep[datum][1] == "Earth Projection " + clause);
        EXPECT_EQ(!prj.Wkt.empty(), gdalKnows) << clause << ": " << prj.Reason;
        if (gdalKnows) {
            clauses.push_back(clause);
            ours.push_back(prj);
        }
    }
    for (const char* given : {"1, 999, 7, -8.5, 160, 176", "1, 999, 44, 1e-7, 0.25, 12",
                              "1, 9999, 3, -8, 160, 176, 0.1, 0.2, 0.3, 1.5, 2.5",
                              "1, 9999, 9, 370, -108, 434, 0, 0, 0, 0, 0"}) {
        clauses.emplace_back(given);
        ours.push_back(CoordSysToPrj("Earth Projection " + clauses.back()));
    }
    requests.clear();
    for (std::size_t i = 0; i < clauses.size(); ++i) {
        requests.push_back("read\t" + clauses[i]);
        if (ours[i].Epsg != 0) {
            requests.push_back("epsg\t" + std::to_string(ours[i].Epsg));
        }
    }
    const std::vector<TAnswer> answers = AskGdal(dir, requests);
    std::vector<TAnswer> theirs;
    for (std::size_t i = 0, at = 0; i < clauses.size(); ++i) {
        theirs.push_back(answers[at++]);
        if (ours[i].Epsg != 0) {
            const TAnswer& epsg = answers[at++];
            EXPECT_EQ(ours[i].Wkt, epsg[0]) << clauses[i];
            if (epsg[2] == "Earth Projection " + clauses[i]) {
                EXPECT_EQ(CoordSysToPrj(epsg[2]).Wkt, epsg[0]) << epsg[2];
            }
        } else {
            EXPECT_EQ(PrjFrom(ours[i].Wkt, ",DATUM["), PrjFrom(theirs[i][0], ",DATUM["))
                << clauses[i];
        }
    }
    ExpectReadAsTheSame(clauses, ours);
}

// Every projection type GDAL reads, with typical parameters on datums of several kinds: ours
// is the .prj GDAL writes for the clause from the projection on (its names aside), GDAL reads
// ours as the same system, and a type GDAL does not read gets none.
TEST_F(InteropCrs, EveryProjectionType) {
    const std::pair<int, const char*> typical[] = {
        {2, "\"m\", 0, 30"},
        {3, "\"m\", 3, 46.5, 44, 49, 700000, 6600000"},
        {4, "\"m\", 10, 52, 90"},
        {5, "\"m\", -100, 45, 90"},
        {6, "\"m\", 25, 40, 20, 60, 0, 0"},
        {7, "\"m\", 102.25, 4, 323.0257905, 0.99984, 804670.24, 0"},
        {8, "\"m\", 9, 0, 0.9996, 500000, 0"},
        {9, "\"m\", -96, 23, 29.5, 45.5, 0, 0"},
        {10, "\"m\", 0"},
        {11, "\"m\", 0"},
        {12, "\"m\", 0"},
        {13, "\"m\", 0"},
        {14, "\"m\", 0"},
        {15, "\"m\", 0"},
        {16, "\"m\", -60"},
        {17, "\"m\", 0"},
        {18, "\"m\", 173, -41, 2510000, 6023150"},
        {19,
         "\"m\", 4.35693972222222, 90, 49.8333333333333, 51.1666666666667, 150000.01256, "
         "5400088.4378"},
        {20, "\"m\", 0, -90, 0.994, 2000000, 2000000"},
        {21, "\"m\", 15.808277777777, 0, 1, 1500000, 0"},
        {22, "\"m\", 3, 0, 0.9996, 500000, 0"},
        {23, "\"m\", 19, 0, 0.9993, 500000, -5300000"},
        {24, "\"m\", 27, 0, 1, 3500000, 0"},
        {25, "\"m\", 7.43958333333333, 46.9524055555556, 600000, 200000"},
        {26, "\"m\", 100, 10"},
        {27, "\"m\", -54, 0, 5000000, 10000000"},
        {28, "\"m\", 0, 90, 90"},
        {29, "\"m\", 10, 52, 90"},
        {30, "\"m\", -61.3333333333333, 10.4416666666667, 86501.46392052, 65379.0134283"},
        {31, "\"m\", 5.38763888888889, 52.1561605555556, 0.9999079, 155000, 463000"},
        {32, "\"m\", 24.8333333333333, 49.5, 78.5, 30.2881397222222, 0, 0"},
        {33, "\"m\", 0, 0, 0, 0"},
    };
    const int datums[] = {104, 62, 74, 115, 1002, 33};
    std::vector<std::string> clauses;
    for (std::size_t i = 0; i < std::size(typical); ++i) {
        clauses.push_back(std::to_string(typical[i].first) + ", " +
                          std::to_string(datums[i % std::size(datums)]) + ", " + typical[i].second);
    }
    // Each number up to 99 with six numbers: GDAL reads no projection for the others.
    for (int type = 0; type < 100; ++type) {
        clauses.push_back(std::to_string(type) + ", 104, \"m\", 1, 2, 3, 4, 5, 6");
    }
    std::vector<std::string> requests;
    for (const std::string& clause : clauses) {
        requests.push_back("read\t" + clause);
    }
    const std::vector<TAnswer> theirs = AskGdal(dir, requests);
    std::vector<TPrjText> ours;
    std::set<int> typicalTypes;
    for (std::size_t i = 0; i < clauses.size(); ++i) {
        ours.push_back(CoordSysToPrj("Earth Projection " + clauses[i]));
        const bool gdalProjects = theirs[i][0].starts_with("PROJCS[");
        if (i < std::size(typical)) {
            typicalTypes.insert(typical[i].first);
            ASSERT_TRUE(gdalProjects) << clauses[i];
            // GDAL names the metre of its reading of types 4 and 29 "unknown".
            std::string gdal = theirs[i][0];
            const std::size_t unknown = gdal.rfind("UNIT[\"unknown\",1.0]]");
            if (unknown != std::string::npos) {
                gdal.replace(unknown, std::string::npos, "UNIT[\"Meter\",1.0]]");
            }
            EXPECT_EQ(PrjFrom(ours[i].Wkt, ",PROJECTION["), PrjFrom(gdal, ",PROJECTION["))
                << clauses[i] << ": " << ours[i].Reason;
        } else {
            const int type = static_cast<int>(i - std::size(typical));
            EXPECT_EQ(gdalProjects, typicalTypes.count(type) == 1) << clauses[i];
            if (!gdalProjects && type != 1) {
                EXPECT_EQ(ours[i].Wkt, "") << clauses[i];
            }
        }
    }
    ours.resize(std::size(typical));
    ExpectReadAsTheSame(clauses, ours);
}

// Projected EPSG systems met in real files: where ours names the clause GDAL writes for the
// code as that code, ours is the .prj GDAL writes for it. Where not, GDAL reads ours as it
// reads the clause, or as the code's system: GDAL writes some codes as clauses of another
// datum or without their false easting, and reads the false easting of a Lambert clause in
// feet that it names as a state plane system as metres.
TEST_F(InteropCrs, ProjectedEpsgSystemsGdalWritesAsClauses) {
    const int codes[] = {32633, 32733, 25832, 26910, 26710, 5070,  21781, 2056, 2393,
                         27700, 2229,  2222,  3035,  2154,  28992, 31467, 3857, 32654};
    std::vector<std::string> requests;
    for (const int code : codes) {
        requests.push_back("epsg\t" + std::to_string(code));
    }
    const std::vector<TAnswer> epsg = AskGdal(dir, requests);
    std::vector<std::string> clauses;
    std::vector<std::string> sources;
    for (const int code : codes) {
        sources.push_back("EPSG:" + std::to_string(code));
    }
    requests.clear();
    for (const TAnswer& answer : epsg) {
        clauses.push_back(answer[2].substr(std::string_view("Earth Projection ").size()));
        requests.push_back("read\t" + clauses.back());
    }
    const std::vector<TAnswer> theirs = AskGdal(dir, requests);
    std::vector<TPrjText> ours;
    int named = 0;
    for (std::size_t i = 0; i < std::size(codes); ++i) {
        ours.push_back(CoordSysToPrj(epsg[i][2]));
        EXPECT_NE(ours[i].Wkt, "") << epsg[i][2];
        if (ours[i].Epsg != 0) {
            ++named;
            EXPECT_EQ(ours[i].Epsg, codes[i]) << epsg[i][2];
            EXPECT_EQ(ours[i].Wkt, epsg[i][0]) << codes[i];
        }
    }
    EXPECT_GE(named, 12);
    ExpectReadAsTheSame(clauses, ours, sources);
}

// Every unit GDAL reads, on one Transverse Mercator: where GDAL writes a clause in that unit
// for a PROJ string, ours for that clause is the .prj GDAL writes for the PROJ string from the
// projection on; GDAL reads ours as the same system; a name GDAL does not know gets none.
TEST_F(InteropCrs, EveryUnitOnOneTransverseMercator) {
    const char* const mifUnits[] = {"m",  "km",     "cm",   "mm",        "mi", "nmi",
                                    "in", "ft",     "yd",   "survey ft", "li", "ch",
                                    "rd", "degree", "link", "chain",     "rod"};
    const char* const projUnits[] = {"km",   "m",     "dm",    "cm",    "mm",    "kmi",
                                     "in",   "ft",    "yd",    "mi",    "fath",  "ch",
                                     "link", "us-in", "us-ft", "us-yd", "us-ch", "us-mi"};
    std::vector<std::string> clauses;
    std::vector<std::string> requests;
    for (const char* unit : mifUnits) {
        clauses.push_back("8, 104, \"" + std::string(unit) + "\", 141, 0, 0.9996, 500000, 0");
        requests.push_back("read\t" + clauses.back());
    }
    for (const char* unit : projUnits) {
        requests.push_back(
            "proj\t+proj=tmerc +lat_0=0 +lon_0=141 +k=0.9996 +x_0=500000 +y_0=0 "
            "+datum=WGS84 +units=" +
            std::string(unit) + " +no_defs");
    }
    const std::vector<TAnswer> theirs = AskGdal(dir, requests);
    std::vector<TPrjText> ours;
    for (std::size_t i = 0; i < clauses.size(); ++i) {
        ours.push_back(CoordSysToPrj("Earth Projection " + clauses[i]));
        const bool gdalKnows =
            theirs[i][2].find(std::string("\"") + mifUnits[i] + "\"") != std::string::npos;
        EXPECT_EQ(ours[i].Wkt.empty(), !gdalKnows) << clauses[i] << ": " << ours[i].Reason;
    }
    int written = 0;
    for (std::size_t i = clauses.size(); i < requests.size(); ++i) {
        const std::string& clause = theirs[i][2];
        const std::string prj = CoordSysToPrj(clause).Wkt;
        // GDAL writes a clause in another unit for one it cannot state: not the same system.
        const auto length = [](const std::string& wkt) { return wkt.substr(wkt.rfind(',')); };
        if (length(prj) != length(theirs[i][0])) {
            continue;
        }
        ++written;
        EXPECT_EQ(PrjFrom(prj, ",PROJECTION["), PrjFrom(theirs[i][0], ",PROJECTION["))
            << requests[i] << ": " << clause;
    }
    EXPECT_GE(written, 8);
    ExpectReadAsTheSame(clauses, ours);
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
    const std::tm local = os::LocalTime(std::time(nullptr));
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

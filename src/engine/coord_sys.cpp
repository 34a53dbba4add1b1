// SPDX-License-Identifier: MIT
#include "engine/coord_sys.hpp"

#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

#include "engine/crs_table.hpp"
#include "engine/numbers.hpp"
#include "engine/text_ops.hpp"

namespace varnelo {

namespace {

constexpr int kLongLat = 1;
constexpr int kTransverseMercator = 8;
// Parameters written with 15 significant digits (139.833333333333) differ from the exact
// zone origins by far less than this; a millimetre on the ground is about 1e-8 degrees.
constexpr double kSameParameter = 1e-8;

struct TLinearUnit {
    std::string_view MifName;
    const char* EsriName;
    double Metres;
};

constexpr TLinearUnit kUnits[] = {
    {"m", "Meter", 1.0},
    {"km", "Kilometer", 1000.0},
    {"ft", "Foot", 0.3048},
    {"survey ft", "Foot_US", 1200.0 / 3937.0},
};

// Parameters of a Transverse Mercator clause, in the order the clause gives them.
struct TTransverseMercator {
    const TLinearUnit* Unit = nullptr;
    double CentralMeridian = 0;
    double OriginLatitude = 0;
    double ScaleFactor = 0;
    double FalseEasting = 0;
    double FalseNorthing = 0;
};

bool Same(double a, double b) noexcept {
    return std::fabs(a - b) <= kSameParameter;
}

// A number as the ESRI flavour writes it: up to 15 significant digits, and a ".0" on whole
// numbers.
std::string WktNumber(double value) {
    char text[32];
    const auto result =
        std::to_chars(text, text + sizeof(text), value, std::chars_format::general, 15);
    std::string number(text, result.ptr);
    if (number.find_first_of(".e") == std::string::npos) {
        number += ".0";
    }
    return number;
}

std::string GeographicWkt(const TGeographicCrs& gcs) {
    return std::string("GEOGCS[\"") + gcs.EsriName + "\",DATUM[\"" + gcs.DatumName +
           "\",SPHEROID[\"" + gcs.SpheroidName + "\"," + WktNumber(gcs.SemiMajorAxis) + "," +
           WktNumber(gcs.InverseFlattening) +
           "]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";
}

std::string TransverseMercatorWkt(std::string_view name, const TGeographicCrs& gcs,
                                  const TTransverseMercator& tm) {
    std::string wkt = "PROJCS[\"" + std::string(name) + "\"," + GeographicWkt(gcs) +
                      ",PROJECTION[\"Transverse_Mercator\"]";
    const std::pair<const char*, double> parameters[] = {
        {"False_Easting", tm.FalseEasting},        {"False_Northing", tm.FalseNorthing},
        {"Central_Meridian", tm.CentralMeridian},  {"Scale_Factor", tm.ScaleFactor},
        {"Latitude_Of_Origin", tm.OriginLatitude},
    };
    for (const auto& [parameter, value] : parameters) {
        wkt += ",PARAMETER[\"" + std::string(parameter) + "\"," + WktNumber(value) + "]";
    }
    wkt += ",UNIT[\"" + std::string(tm.Unit->EsriName) + "\"," + WktNumber(tm.Unit->Metres) + "]]";
    return wkt;
}

const TKnownCrs* FindKnown(int datum, TProjectionKind kind, int zone) noexcept {
    for (const TKnownCrs& crs : KnownCoordinateSystems()) {
        if (crs.MifDatum == datum && crs.Kind == kind && crs.Zone == zone) {
            return &crs;
        }
    }
    return nullptr;
}

// A zone, with the exact parameters that define it.
struct TZone {
    TProjectionKind Kind;
    int Number;
    TTransverseMercator Exact;
};

// The plane rectangular or UTM zone whose parameters the projection has, if any.
std::optional<TZone> ZoneOf(const TTransverseMercator& tm) noexcept {
    constexpr double kUtmZones = 60;
    if (tm.Unit->Metres != 1.0) {
        return std::nullopt;
    }
    if (Same(tm.ScaleFactor, 0.9999) && Same(tm.FalseEasting, 0) && Same(tm.FalseNorthing, 0)) {
        for (const TPlaneRectangularZone& zone : PlaneRectangularZones()) {
            const double meridian =
                zone.CentralMeridianDegrees + zone.CentralMeridianMinutes / 60.0;
            if (Same(tm.OriginLatitude, zone.OriginLatitude) &&
                Same(tm.CentralMeridian, meridian)) {
                return TZone{TProjectionKind::PlaneRectangular,
                             zone.Zone,
                             {tm.Unit, meridian, zone.OriginLatitude, 0.9999, 0, 0}};
            }
        }
    }
    const double zone = (tm.CentralMeridian + 183.0) / 6.0;
    if (Same(tm.ScaleFactor, 0.9996) && Same(tm.FalseEasting, 500000) &&
        Same(tm.FalseNorthing, 0) && Same(tm.OriginLatitude, 0) && Same(zone, std::round(zone)) &&
        zone >= 1 && zone <= kUtmZones) {
        const int number = static_cast<int>(std::round(zone));
        return TZone{
            TProjectionKind::Utm, number, {tm.Unit, 6.0 * number - 183, 0, 0.9996, 500000, 0}};
    }
    return std::nullopt;
}

TPrjText NotUnderstood(std::string reason) {
    TPrjText prj;
    prj.Reason = std::move(reason);
    return prj;
}

TPrjText Named(const TKnownCrs& crs, std::string wkt) {
    TPrjText prj;
    prj.Wkt = std::move(wkt);
    prj.Name = crs.EsriName;
    prj.Epsg = crs.Epsg;
    return prj;
}

std::optional<TTransverseMercator> ReadTransverseMercator(const std::vector<std::string>& values) {
    constexpr std::size_t kCount = 6;  // unit, then five numbers
    if (values.size() != kCount) {
        return std::nullopt;
    }
    TTransverseMercator tm;
    for (const TLinearUnit& unit : kUnits) {
        if (SameKeyword(values[0], unit.MifName)) {
            tm.Unit = &unit;
        }
    }
    double* const numbers[] = {&tm.CentralMeridian, &tm.OriginLatitude, &tm.ScaleFactor,
                               &tm.FalseEasting, &tm.FalseNorthing};
    for (std::size_t i = 0; i < 5; ++i) {
        const auto number = TryStrToDouble(values[i + 1]);
        if (!number) {
            return std::nullopt;
        }
        *numbers[i] = *number;
    }
    return tm;
}

TPrjText TransverseMercatorPrj(int datum, const TKnownCrs& datumCrs,
                               const std::vector<std::string>& values) {
    const auto tm = ReadTransverseMercator(values);
    if (!tm) {
        return NotUnderstood("the Transverse Mercator parameters are not a unit and five numbers");
    }
    if (tm->Unit == nullptr) {
        return NotUnderstood("the unit " + QuoteForMessage(values[0]) +
                             " is not one of m, km, ft, survey ft");
    }
    if (const auto zone = ZoneOf(*tm)) {
        if (const TKnownCrs* crs = FindKnown(datum, zone->Kind, zone->Number)) {
            return Named(*crs, TransverseMercatorWkt(crs->EsriName, *crs->Gcs, zone->Exact));
        }
    }
    // A projection of its own on a known datum: named after the datum, with its parameters.
    std::string name = datumCrs.Gcs->EsriName + std::string_view("GCS_").size();
    name += "_Transverse_Mercator";
    TPrjText prj;
    prj.Wkt = TransverseMercatorWkt(name, *datumCrs.Gcs, *tm);
    prj.Name = std::move(name);
    return prj;
}

}  // namespace

TPrjText CoordSysToPrj(std::string_view clause) {
    std::vector<std::string> words;
    TFieldScanner scanner(clause, ',');
    while (scanner.Next()) {
        words.emplace_back(scanner.Field());
    }
    if (words.empty()) {
        return NotUnderstood("the header declares no CoordSys");
    }
    if (SameKeyword(words[0], "NonEarth")) {
        return NotUnderstood("NonEarth coordinates have no place on the earth");
    }
    if (!SameKeyword(words[0], "Earth")) {
        return NotUnderstood("CoordSys " + QuoteForMessage(words[0]) +
                             " is not a coordinate system on the earth");
    }
    const auto type = words.size() >= 4 && SameKeyword(words[1], "Projection")
                          ? TryStrToInt32(words[2])
                          : std::nullopt;
    const auto datum = type ? TryStrToInt32(words[3]) : std::nullopt;
    if (!datum) {
        return NotUnderstood("CoordSys Earth without a readable Projection type and datum");
    }
    std::vector<std::string> values;
    for (std::size_t i = 4; i < words.size() && !StartsWithKeyword(words[i], "Bounds"); ++i) {
        if (StartsWithKeyword(words[i], "Affine")) {
            return NotUnderstood("an Affine transformation is not supported");
        }
        values.push_back(words[i]);
    }
    if (*type != kLongLat && *type != kTransverseMercator) {
        return NotUnderstood("projection type " + QuoteForMessage(words[2]) +
                             " is not supported (1 longitude/latitude, 8 Transverse Mercator)");
    }
    const TKnownCrs* datumCrs = FindKnown(*datum, TProjectionKind::LongLat, 0);
    if (datumCrs == nullptr) {
        return NotUnderstood("datum " + QuoteForMessage(words[3]) +
                             " is none of 97 Tokyo, 104 WGS 84, 152 JGD2000");
    }
    if (*type == kLongLat) {
        if (!values.empty()) {
            return NotUnderstood("longitude/latitude with parameters is not understood");
        }
        return Named(*datumCrs, GeographicWkt(*datumCrs->Gcs));
    }
    return TransverseMercatorPrj(*datum, *datumCrs, values);
}

}  // namespace varnelo

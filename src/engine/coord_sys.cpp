// SPDX-License-Identifier: MIT
#include "engine/coord_sys.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

#include "engine/crs_table.hpp"
#include "engine/numbers.hpp"
#include "engine/text_ops.hpp"
#include "os/catalog.hpp"

namespace varnelo {

namespace {

constexpr int kNonEarth = 0;
constexpr int kLongLat = 1;
constexpr int kTransverseMercator = 8;
// Datums given in the clause itself: an ellipsoid and a shift to WGS 84 (999), or an
// ellipsoid, a seven-parameter shift and a prime meridian (9999).
constexpr int kShiftedDatum = 999;
constexpr int kRotatedDatum = 9999;
// A projection type plus 1000 marks an affine transformation and plus 2000 explicit bounds;
// the type itself is the rest.
constexpr int kTypeFlags = 1000;
constexpr int kMaxFlaggedType = 4000;
// Parameters written with 15 significant digits (139.833333333333) differ from the exact
// zone origins by far less than this; a millimetre on the ground is about 1e-8 degrees.
constexpr double kSameParameter = 1e-8;
// How far a clause's number may stand from a projected EPSG system's, relative to its size
// (a false easting of 6561666.667 feet written 6561666.66666667).
constexpr double kSameRelative = 1e-8;

// The geographic part of the .prj and the EPSG code of a datum, when it has one.
struct TGeographic {
    std::string EsriName;
    std::string DatumName;
    std::string SpheroidName;
    double SemiMajorAxis = 0;
    double InverseFlattening = 0;
    std::string PrimeMeridianName;
    double PrimeMeridian = 0;
    int Epsg = 0;
};

TGeographic FromTable(const TGeographicCrs& gcs, int epsg) {
    return {gcs.EsriName,          gcs.DatumName,         gcs.SpheroidName,  gcs.SemiMajorAxis,
            gcs.InverseFlattening, gcs.PrimeMeridianName, gcs.PrimeMeridian, epsg};
}

// Parameters of a Transverse Mercator clause, in the order the clause gives them.
struct TTransverseMercator {
    double CentralMeridian = 0;
    double OriginLatitude = 0;
    double ScaleFactor = 0;
    double FalseEasting = 0;
    double FalseNorthing = 0;
};

bool Same(double a, double b) noexcept {
    return std::fabs(a - b) <= kSameParameter;
}

// A number with up to 15 significant digits, as C's "%.15g" writes it.
std::string ShortestNumber(double value) {
    char text[32];
    const auto result =
        std::to_chars(text, text + sizeof(text), value, std::chars_format::general, 15);
    return std::string(text, result.ptr);
}

// A number as the ESRI flavour writes it: up to 15 significant digits, and a ".0" on whole
// numbers.
std::string WktNumber(double value) {
    std::string number = ShortestNumber(value);
    if (number.find_first_of(".e") == std::string::npos) {
        number += ".0";
    }
    return number;
}

std::string GeographicWkt(const TGeographic& gcs) {
    return "GEOGCS[\"" + gcs.EsriName + "\",DATUM[\"" + gcs.DatumName + "\",SPHEROID[\"" +
           gcs.SpheroidName + "\"," + WktNumber(gcs.SemiMajorAxis) + "," +
           WktNumber(gcs.InverseFlattening) + "]],PRIMEM[\"" + gcs.PrimeMeridianName + "\"," +
           WktNumber(gcs.PrimeMeridian) + "],UNIT[\"Degree\",0.0174532925199433]]";
}

std::string ProjectedWkt(std::string_view name, const TGeographic& gcs,
                         const TMifProjection& projection, const TMifUnit& unit,
                         const std::vector<double>& numbers) {
    std::string wkt = "PROJCS[\"" + std::string(name) + "\"," + GeographicWkt(gcs) +
                      ",PROJECTION[\"" + projection.EsriName + "\"]";
    for (const TProjectionParameter& parameter : projection.Parameters) {
        const auto position = static_cast<std::size_t>(parameter.Position);
        constexpr double kHalfTurn = 180;
        double value = parameter.Position < 0      ? parameter.Fixed
                       : position < numbers.size() ? numbers[position]
                                                   : 0.0;
        if (parameter.Wraps && std::fabs(value) > kHalfTurn) {
            value -= std::copysign(2 * kHalfTurn, value);
        }
        wkt += ",PARAMETER[\"" + std::string(parameter.EsriName) + "\"," + WktNumber(value) + "]";
    }
    wkt += ",UNIT[\"" + std::string(unit.EsriName) + "\"," + WktNumber(unit.Metres) + "]]";
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

template <typename TRow>
const TRow* FindNumber(std::span<const TRow> rows, int number) noexcept {
    for (const TRow& row : rows) {
        if (row.Number == number) {
            return &row;
        }
    }
    return nullptr;
}

const TMifUnit* FindUnit(std::string_view name) noexcept {
    for (const TMifUnit& unit : MifUnits()) {
        if (SameKeyword(name, unit.MifName)) {
            return &unit;
        }
    }
    return nullptr;
}

// The projected EPSG system the clause states, if any.
const TMifProjectedCrs* FindProjectedSystem(int datum, const TMifProjection& projection,
                                            const TMifUnit& unit,
                                            const std::vector<double>& numbers) noexcept {
    const auto unitPosition = &unit - MifUnits().data();
    if (static_cast<int>(numbers.size()) != projection.Count) {
        return nullptr;
    }
    for (const TMifProjectedCrs& crs : MifProjectedSystems()) {
        if (crs.Projection != projection.Number || crs.Datum != datum || crs.Unit != unitPosition) {
            continue;
        }
        bool same = true;
        for (std::size_t i = 0; i < numbers.size() && same; ++i) {
            same = std::fabs(numbers[i] - crs.Numbers[i]) <=
                   kSameRelative * std::max(1.0, std::fabs(crs.Numbers[i]));
        }
        if (same) {
            return &crs;
        }
    }
    return nullptr;
}

// How the clause's projection type reads on its datum.
const TMifProjection* FindProjection(int type, int datum) noexcept {
    const TMifProjection* found = nullptr;
    for (const TMifProjection& projection : MifProjections()) {
        if (projection.Number == type &&
            (projection.OnDatum == datum || (projection.OnDatum < 0 && found == nullptr))) {
            found = &projection;
        }
    }
    return found;
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
    if (Same(tm.ScaleFactor, 0.9999) && Same(tm.FalseEasting, 0) && Same(tm.FalseNorthing, 0)) {
        for (const TPlaneRectangularZone& zone : PlaneRectangularZones()) {
            const double meridian =
                zone.CentralMeridianDegrees + zone.CentralMeridianMinutes / 60.0;
            if (Same(tm.OriginLatitude, zone.OriginLatitude) &&
                Same(tm.CentralMeridian, meridian)) {
                return TZone{TProjectionKind::PlaneRectangular,
                             zone.Zone,
                             {meridian, zone.OriginLatitude, 0.9999, 0, 0}};
            }
        }
    }
    const double zone = (tm.CentralMeridian + 183.0) / 6.0;
    if (Same(tm.ScaleFactor, 0.9996) && Same(tm.FalseEasting, 500000) &&
        Same(tm.FalseNorthing, 0) && Same(tm.OriginLatitude, 0) && Same(zone, std::round(zone)) &&
        zone >= 1 && zone <= kUtmZones) {
        const int number = static_cast<int>(std::round(zone));
        return TZone{TProjectionKind::Utm, number, {6.0 * number - 183, 0, 0.9996, 500000, 0}};
    }
    return std::nullopt;
}

// "1 parameter", "3 parameters".
std::string Parameters(std::size_t count) {
    return Text(count == 1 ? TText::kEngineCrsOneParameter : TText::kEngineCrsParameters, count);
}

// The numbers at the start of `values` (from `first` on), at most `most` of them: a clause is
// read as far as it gives numbers.
std::vector<double> LeadingNumbers(const std::vector<std::string>& values, std::size_t first,
                                   std::size_t most) {
    std::vector<double> numbers;
    for (std::size_t i = first; i < values.size() && numbers.size() < most; ++i) {
        const auto number = TryStrToDouble(values[i]);
        if (!number) {
            break;
        }
        numbers.push_back(*number);
    }
    return numbers;
}

// Why a clause gives too few numbers for `what`, which needs `needed` of them at `first`
// among `values` and got `given`: the value that is no number, or the count.
std::string TooFewNumbers(std::string_view what, std::string_view needs,
                          const std::vector<std::string>& values, std::size_t first,
                          std::size_t given) {
    const std::size_t at = first + given;
    if (at < values.size()) {
        return Text(TText::kEngineCrsNotANumber, what, needs, given + 1,
                    QuoteForMessage(values[at]));
    }
    return Text(TText::kEngineCrsTooFewNumbers, what, needs, given);
}

// That the clause gives parameters beyond those `what` takes, which are left aside as GIS
// programs leave them.
std::string ExtraParametersNote(std::string_view what, std::string_view takes,
                                std::size_t ignored) {
    return Text(ignored == 1 ? TText::kEngineCrsOneIgnored : TText::kEngineCrsSeveralIgnored, what,
                takes, Parameters(ignored));
}

TPrjText NotUnderstood(std::string reason) {
    TPrjText prj;
    prj.Reason = std::move(reason);
    return prj;
}

TPrjText Written(std::string wkt, std::string name, int epsg) {
    TPrjText prj;
    prj.Wkt = std::move(wkt);
    prj.Name = std::move(name);
    prj.Epsg = epsg;
    return prj;
}

// The name of a datum given in the clause, as GIS programs derive it from the clause's
// numbers: "MIF 999,7,-8.5,160,176" with blanks, commas and full stops made underscores.
std::string ClauseDatumName(int datum, const std::vector<double>& numbers) {
    std::string name = "MIF_" + std::to_string(datum);
    for (const double number : numbers) {
        name += '_' + ShortestNumber(number);
    }
    for (char& c : name) {
        if (c == '.') {
            c = '_';
        }
    }
    return name;
}

// The datum of a clause of datum 999 or 9999, whose numbers come first among `values`;
// they are taken out of `values`. `reason` says why there is none.
std::optional<TGeographic> ClauseDatum(int datum, std::vector<std::string>& values,
                                       std::string& reason) {
    const std::size_t count = datum == kShiftedDatum ? 4 : 9;  // the ellipsoid, then numbers
    std::vector<double> numbers = LeadingNumbers(values, 0, count);
    if (numbers.size() != count) {
        reason =
            TooFewNumbers(Text(TText::kEngineCrsDatum, datum),
                          Text(datum == kShiftedDatum ? TText::kEngineCrsShiftedDatumParameters
                                                      : TText::kEngineCrsRotatedDatumParameters),
                          values, 0, numbers.size());
        return std::nullopt;
    }
    const auto ellipsoidNumber = TryStrToInt32(values[0]);
    const TMifEllipsoid* ellipsoid =
        ellipsoidNumber ? FindNumber(MifEllipsoids(), *ellipsoidNumber) : nullptr;
    if (ellipsoid == nullptr) {
        reason = Text(TText::kEngineCrsUnknownEllipsoid, QuoteForMessage(values[0]));
        return std::nullopt;
    }
    values.erase(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(count));
    // A 9999 datum without rotations, scale or prime meridian is the 999 datum of its shift.
    bool rotated = false;
    for (std::size_t i = 4; i < numbers.size(); ++i) {
        rotated = rotated || numbers[i] != 0;
    }
    const double primeMeridian = rotated ? numbers.back() : 0;
    if (!rotated) {
        numbers.resize(4);
    }
    const std::string name = ClauseDatumName(rotated ? kRotatedDatum : kShiftedDatum, numbers);
    return TGeographic{"GCS_" + name,
                       "D_" + name,
                       ellipsoid->EsriName,
                       ellipsoid->SemiMajorAxis,
                       ellipsoid->InverseFlattening,
                       primeMeridian != 0 ? "non-Greenwich" : "Greenwich",
                       primeMeridian,
                       0};
}

// The geographic coordinate system of a numbered datum.
std::optional<TGeographic> NumberedDatum(int datum) {
    if (const TKnownCrs* crs = FindKnown(datum, TProjectionKind::LongLat, 0)) {
        return FromTable(*crs->Gcs, crs->Epsg);
    }
    if (const TMifDatum* row = FindNumber(MifDatums(), datum)) {
        return FromTable(row->Gcs, row->Epsg);
    }
    return std::nullopt;
}

// The geographic coordinate system of a datum number; `values` loses the numbers of a datum
// given in the clause. `reason` says why there is none.
std::optional<TGeographic> DatumOf(int datum, std::string_view datumText,
                                   std::vector<std::string>& values, std::string& reason) {
    if (datum == kShiftedDatum || datum == kRotatedDatum) {
        return ClauseDatum(datum, values, reason);
    }
    auto gcs = NumberedDatum(datum);
    if (!gcs) {
        reason = Text(TText::kEngineCrsUnknownDatum, QuoteForMessage(datumText));
    }
    return gcs;
}

// The .prj of a projection whose unit and numbers the clause gives.
TPrjText ProjectedPrjOf(int datum, const TGeographic& gcs, const TMifProjection& projection,
                        const TMifUnit& unit, const std::vector<double>& numbers) {
    if (projection.Number == kTransverseMercator && unit.Metres == 1.0) {
        const TTransverseMercator tm{numbers[0], numbers[1], numbers[2], numbers[3], numbers[4]};
        if (const auto zone = ZoneOf(tm)) {
            if (const TKnownCrs* crs = FindKnown(datum, zone->Kind, zone->Number)) {
                const TTransverseMercator& exact = zone->Exact;
                return Written(
                    ProjectedWkt(crs->EsriName, FromTable(*crs->Gcs, crs->Epsg), projection, unit,
                                 {exact.CentralMeridian, exact.OriginLatitude, exact.ScaleFactor,
                                  exact.FalseEasting, exact.FalseNorthing}),
                    crs->EsriName, crs->Epsg);
            }
        }
    }
    if (projection.OnDatum >= 0) {
        if (const auto own = NumberedDatum(projection.GcsDatum)) {
            const int epsg = unit.Metres == 1.0 ? projection.Epsg : 0;
            return Written(ProjectedWkt(projection.SystemName, *own, projection, unit, numbers),
                           projection.SystemName, epsg);
        }
    }
    if (const TMifProjectedCrs* crs = FindProjectedSystem(datum, projection, unit, numbers)) {
        const std::vector<double> exact(crs->Numbers, crs->Numbers + projection.Count);
        return Written(ProjectedWkt(crs->EsriName, gcs, projection, unit, exact), crs->EsriName,
                       crs->Epsg);
    }
    // A projection of its own: named after its datum and the projection.
    std::string_view stem = gcs.EsriName;
    if (stem.starts_with("GCS_")) {
        stem.remove_prefix(std::string_view("GCS_").size());
    }
    std::string name = std::string(stem) + "_" + projection.EsriName;
    std::string wkt = ProjectedWkt(name, gcs, projection, unit, numbers);
    return Written(std::move(wkt), std::move(name), 0);
}

// The .prj of a projection; numbers beyond those the projection reads are ignored, with a
// note.
TPrjText ProjectedPrj(int datum, const TGeographic& gcs, const TMifProjection& projection,
                      const std::vector<std::string>& values) {
    const std::string title = Text(TText::kEngineCrsProjectionType, projection.Number);
    const auto needed = static_cast<std::size_t>(projection.Count);
    const auto read = static_cast<std::size_t>(std::max(projection.Count, projection.MostRead));
    if (values.empty()) {
        return NotUnderstood(Text(TText::kEngineCrsNoUnit, title, Parameters(needed)));
    }
    const std::vector<double> numbers = LeadingNumbers(values, 1, read);
    if (numbers.size() < needed) {
        return NotUnderstood(TooFewNumbers(title,
                                           Text(TText::kEngineCrsAfterUnit, Parameters(needed)),
                                           values, 1, numbers.size()));
    }
    const TMifUnit* unit = FindUnit(values[0]);
    if (unit == nullptr) {
        return NotUnderstood(Text(TText::kEngineCrsUnknownUnit, QuoteForMessage(values[0])));
    }
    TPrjText prj = ProjectedPrjOf(datum, gcs, projection, *unit, numbers);
    if (const std::size_t ignored = values.size() - 1 - numbers.size(); ignored > 0) {
        prj.Note =
            ExtraParametersNote(title, Text(TText::kEngineCrsAfterUnit, Parameters(read)), ignored);
    }
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
        return NotUnderstood(Text(TText::kEngineCrsNoCoordSys));
    }
    if (SameKeyword(words[0], "NonEarth")) {
        return NotUnderstood(Text(TText::kEngineCrsNonEarth));
    }
    if (!SameKeyword(words[0], "Earth")) {
        return NotUnderstood(Text(TText::kEngineCrsNotOnEarth, QuoteForMessage(words[0])));
    }
    auto type = words.size() >= 4 && SameKeyword(words[1], "Projection") ? TryStrToInt32(words[2])
                                                                         : std::nullopt;
    const auto datum = type ? TryStrToInt32(words[3]) : std::nullopt;
    if (!datum) {
        return NotUnderstood(Text(TText::kEngineCrsNoProjection));
    }
    std::vector<std::string> values;
    for (std::size_t i = 4; i < words.size() && !StartsWithKeyword(words[i], "Bounds"); ++i) {
        if (StartsWithKeyword(words[i], "Affine")) {
            return NotUnderstood(Text(TText::kEngineCrsAffine));
        }
        values.push_back(words[i]);
    }
    if (*type >= kTypeFlags && *type < kMaxFlaggedType) {
        *type %= kTypeFlags;
    }
    const TMifProjection* projection = FindProjection(*type, *datum);
    if (*type == kNonEarth || (*type != kLongLat && projection == nullptr)) {
        return NotUnderstood(Text(TText::kEngineCrsUnknownProjection, QuoteForMessage(words[2])));
    }
    std::string reason;
    const auto gcs = DatumOf(*datum, words[3], values, reason);
    if (!gcs) {
        return NotUnderstood(std::move(reason));
    }
    if (*type == kLongLat) {
        TPrjText prj = Written(GeographicWkt(*gcs), gcs->EsriName, gcs->Epsg);
        if (!values.empty()) {
            prj.Note = ExtraParametersNote(Text(TText::kEngineCrsLongLat),
                                           Text(TText::kEngineCrsNoParameters), values.size());
        }
        return prj;
    }
    return ProjectedPrj(*datum, *gcs, *projection, values);
}

}  // namespace varnelo

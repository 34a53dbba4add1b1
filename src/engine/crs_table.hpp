// SPDX-License-Identifier: MIT
// The coordinate systems the converter recognises in a CoordSys clause, and the zones of
// the Japan Plane Rectangular Coordinate System, as data.
#pragma once

#include <span>

namespace varnelo {

// A geographic coordinate system as the ESRI flavour of WKT names it.
struct TGeographicCrs {
    const char* EsriName;      // "GCS_JGD_2000"
    const char* DatumName;     // "D_JGD_2000"
    const char* SpheroidName;  // "GRS_1980"
    double SemiMajorAxis;      // metres
    double InverseFlattening;
};

enum class TProjectionKind : unsigned char { LongLat, PlaneRectangular, Utm };

// One coordinate system a CoordSys clause can name: a datum number with longitude/latitude,
// a plane rectangular zone or a UTM zone, and the EPSG code and the name it is known by.
struct TKnownCrs {
    int Epsg;
    int MifDatum;  // the datum number of the clause
    TProjectionKind Kind;
    int Zone;  // 1-19 for plane rectangular zones, 51-56 for UTM (north), 0 for longitude/latitude
    const TGeographicCrs* Gcs;
    const char* EsriName;  // the name GIS programs show, as the .prj writes it
};

// The origin of a zone of the Japan Plane Rectangular Coordinate System. Every zone has the
// scale factor 0.9999 and no false easting or northing.
struct TPlaneRectangularZone {
    int Zone;
    double OriginLatitude;
    int CentralMeridianDegrees;
    int CentralMeridianMinutes;
};

std::span<const TKnownCrs> KnownCoordinateSystems() noexcept;
std::span<const TPlaneRectangularZone> PlaneRectangularZones() noexcept;

}  // namespace varnelo

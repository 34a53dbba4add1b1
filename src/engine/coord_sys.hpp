// SPDX-License-Identifier: MIT
// The coordinate system of a CoordSys clause as the .prj file beside a shapefile states it:
// well-known text in the ESRI flavour as GDAL writes it, under the names GIS programs show
// for the EPSG code where one matches.
#pragma once

#include <string>
#include <string_view>

namespace varnelo {

// What a CoordSys clause means for the .prj.
struct TPrjText {
    std::string Wkt;     // the .prj content; empty when the clause is not understood
    std::string Name;    // the coordinate system's name as the .prj gives it
    int Epsg = 0;        // its EPSG code; 0 when none matches
    std::string Reason;  // why there is no .prj; empty when there is one
    std::string Note;    // what of the clause the .prj leaves aside, a sentence; empty when nothing
};

// Understands longitude/latitude and every projection type, datum and unit of the tables in
// crs_table.hpp, and datums 999 and 9999, which give their ellipsoid and shift in the clause.
// Longitude/latitude on a datum of an EPSG geographic system is named as that system; a
// Transverse Mercator with the parameters of a Japan Plane Rectangular or UTM zone on Tokyo,
// WGS 84 or JGD2000 as that zone; a clause with the numbers of a projected EPSG system as that
// system; any other projection after its datum and projection ("North_American_1983_Albers").
// `clause` is the text after the CoordSys keyword, continuation lines included; Bounds are
// ignored, and so are numbers beyond those the projection takes (with a note), as GIS
// programs read such clauses.
TPrjText CoordSysToPrj(std::string_view clause);

}  // namespace varnelo

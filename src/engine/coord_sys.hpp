// SPDX-License-Identifier: MIT
// The coordinate system of a CoordSys clause as the .prj file beside a shapefile states it:
// well-known text in the ESRI flavour, under the names GIS programs show for the EPSG code.
#pragma once

#include <string>
#include <string_view>

namespace varnelo {

// What a CoordSys clause means for the .prj.
struct TPrjText {
    std::string Wkt;     // the .prj content; empty when the clause is not understood
    std::string Name;    // the coordinate system's name as the .prj gives it
    int Epsg = 0;        // its EPSG code; 0 for a Transverse Mercator of its own parameters
    std::string Reason;  // why there is no .prj; empty when there is one
};

// Understands longitude/latitude (Projection 1) and Transverse Mercator (Projection 8) on
// the datums Tokyo (97), WGS 84 (104) and JGD2000 (152); a Transverse Mercator with the
// parameters of a Japan Plane Rectangular or UTM zone is named as that zone. `clause` is
// the text after the CoordSys keyword, continuation lines included; Bounds are ignored.
TPrjText CoordSysToPrj(std::string_view clause);

}  // namespace varnelo

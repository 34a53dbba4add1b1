// SPDX-License-Identifier: MIT
// Datum numbers are those of the CoordSys clause: 97 Tokyo, 104 WGS 84, 152 JGD2000.
// JGD2011 has no number of its own: writers record it as 104, the WGS 84 number, so 104 with
// the exact parameters of a plane rectangular zone is read as that JGD2011 zone, while
// longitude/latitude and UTM on 104 stay WGS 84.
#include "engine/crs_table.hpp"

namespace varnelo {

namespace {

constexpr TGeographicCrs kTokyo{"GCS_Tokyo", "D_Tokyo", "Bessel_1841", 6377397.155, 299.1528128};
constexpr TGeographicCrs kWgs84{"GCS_WGS_1984", "D_WGS_1984", "WGS_1984", 6378137.0, 298.257223563};
constexpr TGeographicCrs kJgd2000{"GCS_JGD_2000", "D_JGD_2000", "GRS_1980", 6378137.0,
                                  298.257222101};
constexpr TGeographicCrs kJgd2011{"GCS_JGD_2011", "D_JGD_2011", "GRS_1980", 6378137.0,
                                  298.257222101};

constexpr TKnownCrs kKnown[] = {
    // Longitude/latitude.
    {4301, 97, TProjectionKind::LongLat, 0, &kTokyo, "GCS_Tokyo"},
    {4326, 104, TProjectionKind::LongLat, 0, &kWgs84, "GCS_WGS_1984"},
    {4612, 152, TProjectionKind::LongLat, 0, &kJgd2000, "GCS_JGD_2000"},
    // Tokyo / Japan Plane Rectangular CS I-XIX.
    {30161, 97, TProjectionKind::PlaneRectangular, 1, &kTokyo, "Japan_Zone_1"},
    {30162, 97, TProjectionKind::PlaneRectangular, 2, &kTokyo, "Japan_Zone_2"},
    {30163, 97, TProjectionKind::PlaneRectangular, 3, &kTokyo, "Japan_Zone_3"},
    {30164, 97, TProjectionKind::PlaneRectangular, 4, &kTokyo, "Japan_Zone_4"},
    {30165, 97, TProjectionKind::PlaneRectangular, 5, &kTokyo, "Japan_Zone_5"},
    {30166, 97, TProjectionKind::PlaneRectangular, 6, &kTokyo, "Japan_Zone_6"},
    {30167, 97, TProjectionKind::PlaneRectangular, 7, &kTokyo, "Japan_Zone_7"},
    {30168, 97, TProjectionKind::PlaneRectangular, 8, &kTokyo, "Japan_Zone_8"},
    {30169, 97, TProjectionKind::PlaneRectangular, 9, &kTokyo, "Japan_Zone_9"},
    {30170, 97, TProjectionKind::PlaneRectangular, 10, &kTokyo, "Japan_Zone_10"},
    {30171, 97, TProjectionKind::PlaneRectangular, 11, &kTokyo, "Japan_Zone_11"},
    {30172, 97, TProjectionKind::PlaneRectangular, 12, &kTokyo, "Japan_Zone_12"},
    {30173, 97, TProjectionKind::PlaneRectangular, 13, &kTokyo, "Japan_Zone_13"},
    {30174, 97, TProjectionKind::PlaneRectangular, 14, &kTokyo, "Japan_Zone_14"},
    {30175, 97, TProjectionKind::PlaneRectangular, 15, &kTokyo, "Japan_Zone_15"},
    {30176, 97, TProjectionKind::PlaneRectangular, 16, &kTokyo, "Japan_Zone_16"},
    {30177, 97, TProjectionKind::PlaneRectangular, 17, &kTokyo, "Japan_Zone_17"},
    {30178, 97, TProjectionKind::PlaneRectangular, 18, &kTokyo, "Japan_Zone_18"},
    {30179, 97, TProjectionKind::PlaneRectangular, 19, &kTokyo, "Japan_Zone_19"},
    // JGD2000 / Japan Plane Rectangular CS I-XIX.
    {2443, 152, TProjectionKind::PlaneRectangular, 1, &kJgd2000, "JGD_2000_Japan_Zone_1"},
    {2444, 152, TProjectionKind::PlaneRectangular, 2, &kJgd2000, "JGD_2000_Japan_Zone_2"},
    {2445, 152, TProjectionKind::PlaneRectangular, 3, &kJgd2000, "JGD_2000_Japan_Zone_3"},
    {2446, 152, TProjectionKind::PlaneRectangular, 4, &kJgd2000, "JGD_2000_Japan_Zone_4"},
    {2447, 152, TProjectionKind::PlaneRectangular, 5, &kJgd2000, "JGD_2000_Japan_Zone_5"},
    {2448, 152, TProjectionKind::PlaneRectangular, 6, &kJgd2000, "JGD_2000_Japan_Zone_6"},
    {2449, 152, TProjectionKind::PlaneRectangular, 7, &kJgd2000, "JGD_2000_Japan_Zone_7"},
    {2450, 152, TProjectionKind::PlaneRectangular, 8, &kJgd2000, "JGD_2000_Japan_Zone_8"},
    {2451, 152, TProjectionKind::PlaneRectangular, 9, &kJgd2000, "JGD_2000_Japan_Zone_9"},
    {2452, 152, TProjectionKind::PlaneRectangular, 10, &kJgd2000, "JGD_2000_Japan_Zone_10"},
    {2453, 152, TProjectionKind::PlaneRectangular, 11, &kJgd2000, "JGD_2000_Japan_Zone_11"},
    {2454, 152, TProjectionKind::PlaneRectangular, 12, &kJgd2000, "JGD_2000_Japan_Zone_12"},
    {2455, 152, TProjectionKind::PlaneRectangular, 13, &kJgd2000, "JGD_2000_Japan_Zone_13"},
    {2456, 152, TProjectionKind::PlaneRectangular, 14, &kJgd2000, "JGD_2000_Japan_Zone_14"},
    {2457, 152, TProjectionKind::PlaneRectangular, 15, &kJgd2000, "JGD_2000_Japan_Zone_15"},
    {2458, 152, TProjectionKind::PlaneRectangular, 16, &kJgd2000, "JGD_2000_Japan_Zone_16"},
    {2459, 152, TProjectionKind::PlaneRectangular, 17, &kJgd2000, "JGD_2000_Japan_Zone_17"},
    {2460, 152, TProjectionKind::PlaneRectangular, 18, &kJgd2000, "JGD_2000_Japan_Zone_18"},
    {2461, 152, TProjectionKind::PlaneRectangular, 19, &kJgd2000, "JGD_2000_Japan_Zone_19"},
    // JGD2011 (datum 104 with a zone's exact parameters) / Japan Plane Rectangular CS I-XIX.
    {6669, 104, TProjectionKind::PlaneRectangular, 1, &kJgd2011, "JGD_2011_Japan_Zone_1"},
    {6670, 104, TProjectionKind::PlaneRectangular, 2, &kJgd2011, "JGD_2011_Japan_Zone_2"},
    {6671, 104, TProjectionKind::PlaneRectangular, 3, &kJgd2011, "JGD_2011_Japan_Zone_3"},
    {6672, 104, TProjectionKind::PlaneRectangular, 4, &kJgd2011, "JGD_2011_Japan_Zone_4"},
    {6673, 104, TProjectionKind::PlaneRectangular, 5, &kJgd2011, "JGD_2011_Japan_Zone_5"},
    {6674, 104, TProjectionKind::PlaneRectangular, 6, &kJgd2011, "JGD_2011_Japan_Zone_6"},
    {6675, 104, TProjectionKind::PlaneRectangular, 7, &kJgd2011, "JGD_2011_Japan_Zone_7"},
    {6676, 104, TProjectionKind::PlaneRectangular, 8, &kJgd2011, "JGD_2011_Japan_Zone_8"},
    {6677, 104, TProjectionKind::PlaneRectangular, 9, &kJgd2011, "JGD_2011_Japan_Zone_9"},
    {6678, 104, TProjectionKind::PlaneRectangular, 10, &kJgd2011, "JGD_2011_Japan_Zone_10"},
    {6679, 104, TProjectionKind::PlaneRectangular, 11, &kJgd2011, "JGD_2011_Japan_Zone_11"},
    {6680, 104, TProjectionKind::PlaneRectangular, 12, &kJgd2011, "JGD_2011_Japan_Zone_12"},
    {6681, 104, TProjectionKind::PlaneRectangular, 13, &kJgd2011, "JGD_2011_Japan_Zone_13"},
    {6682, 104, TProjectionKind::PlaneRectangular, 14, &kJgd2011, "JGD_2011_Japan_Zone_14"},
    {6683, 104, TProjectionKind::PlaneRectangular, 15, &kJgd2011, "JGD_2011_Japan_Zone_15"},
    {6684, 104, TProjectionKind::PlaneRectangular, 16, &kJgd2011, "JGD_2011_Japan_Zone_16"},
    {6685, 104, TProjectionKind::PlaneRectangular, 17, &kJgd2011, "JGD_2011_Japan_Zone_17"},
    {6686, 104, TProjectionKind::PlaneRectangular, 18, &kJgd2011, "JGD_2011_Japan_Zone_18"},
    {6687, 104, TProjectionKind::PlaneRectangular, 19, &kJgd2011, "JGD_2011_Japan_Zone_19"},
    // Tokyo / UTM zones north.
    {3092, 97, TProjectionKind::Utm, 51, &kTokyo, "Tokyo_UTM_Zone_51N"},
    {3093, 97, TProjectionKind::Utm, 52, &kTokyo, "Tokyo_UTM_Zone_52N"},
    {3094, 97, TProjectionKind::Utm, 53, &kTokyo, "Tokyo_UTM_Zone_53N"},
    {3095, 97, TProjectionKind::Utm, 54, &kTokyo, "Tokyo_UTM_Zone_54N"},
    {3096, 97, TProjectionKind::Utm, 55, &kTokyo, "Tokyo_UTM_Zone_55N"},
    // WGS 84 / UTM zones north.
    {32651, 104, TProjectionKind::Utm, 51, &kWgs84, "WGS_1984_UTM_Zone_51N"},
    {32652, 104, TProjectionKind::Utm, 52, &kWgs84, "WGS_1984_UTM_Zone_52N"},
    {32653, 104, TProjectionKind::Utm, 53, &kWgs84, "WGS_1984_UTM_Zone_53N"},
    {32654, 104, TProjectionKind::Utm, 54, &kWgs84, "WGS_1984_UTM_Zone_54N"},
    {32655, 104, TProjectionKind::Utm, 55, &kWgs84, "WGS_1984_UTM_Zone_55N"},
    {32656, 104, TProjectionKind::Utm, 56, &kWgs84, "WGS_1984_UTM_Zone_56N"},
    // JGD2000 / UTM zones north.
    {3097, 152, TProjectionKind::Utm, 51, &kJgd2000, "JGD_2000_UTM_Zone_51N"},
    {3098, 152, TProjectionKind::Utm, 52, &kJgd2000, "JGD_2000_UTM_Zone_52N"},
    {3099, 152, TProjectionKind::Utm, 53, &kJgd2000, "JGD_2000_UTM_Zone_53N"},
    {3100, 152, TProjectionKind::Utm, 54, &kJgd2000, "JGD_2000_UTM_Zone_54N"},
    {3101, 152, TProjectionKind::Utm, 55, &kJgd2000, "JGD_2000_UTM_Zone_55N"},
};

constexpr TPlaneRectangularZone kZones[] = {
    {1, 33, 129, 30},  {2, 33, 131, 0},   {3, 36, 132, 10},  {4, 33, 133, 30}, {5, 36, 134, 20},
    {6, 36, 136, 0},   {7, 36, 137, 10},  {8, 36, 138, 30},  {9, 36, 139, 50}, {10, 40, 140, 50},
    {11, 44, 140, 15}, {12, 44, 142, 15}, {13, 44, 144, 15}, {14, 26, 142, 0}, {15, 26, 127, 30},
    {16, 26, 124, 0},  {17, 26, 131, 0},  {18, 20, 136, 0},  {19, 26, 154, 0},
};

}  // namespace

std::span<const TKnownCrs> KnownCoordinateSystems() noexcept {
    return kKnown;
}

std::span<const TPlaneRectangularZone> PlaneRectangularZones() noexcept {
    return kZones;
}

}  // namespace varnelo

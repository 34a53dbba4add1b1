// SPDX-License-Identifier: MIT
// What the header's Charset and CoordSys mean for the .cpg and .prj files. That the .prj
// text is the one GIS programs read as the EPSG code is checked against GDAL in
// interop_test.cpp.
#include "engine/coord_sys.hpp"

#include <gtest/gtest.h>

#include <string>

#include "engine/code_page.hpp"
#include "os/catalog.hpp"

namespace varnelo {
namespace {

TEST(CodePageOfCharset, NamesTheWindowsCodePageAndTheCharacterRules) {
    using enum TCharacterSet;
    struct TCase {
        const char* Charset;
        const char* Cpg;  // empty: no .cpg
        TCharacterSet Characters;
    };
    const TCase cases[] = {
        {"WindowsJapanese", "932", ShiftJis},
        {"", "932", ShiftJis},
        {"neutral", "932", ShiftJis},
        {"UTF-8", "UTF-8", Utf8},
        {"WindowsLatin1", "1252", SingleByte},
        {"WindowsCyrillic", "1251", SingleByte},
        {"WindowsThai", "874", SingleByte},
        {"WindowsKorean", "949", EastAsianDoubleByte},
        {"ISO8859_5", "88595", SingleByte},
        {"CodePage437", "437", SingleByte},
        {"MacRoman", "", ShiftJis},
        {"CodePage4370", "", ShiftJis},
        {"PackedEUCJapanese", "", ShiftJis},
    };
    for (const TCase& c : cases) {
        const TCodePage page = CodePageOfCharset(c.Charset);
        EXPECT_EQ(page.CpgText, c.Cpg) << c.Charset;
        EXPECT_EQ(page.Characters, c.Characters) << c.Charset;
        EXPECT_EQ(page.Reason.empty(), *c.Cpg != '\0') << c.Charset << ": " << page.Reason;
    }
}

TEST(CoordSysToPrj, NamesKnownZonesAndWritesOthersWithTheirParameters) {
    struct TCase {
        const char* Clause;
        int Epsg;
        const char* Name;
    };
    const TCase cases[] = {
        {"Earth Projection 1, 104", 4326, "GCS_WGS_1984"},
        {"earth projection 1, 97 Bounds (120, 20) (150, 46)", 4301, "GCS_Tokyo"},
        // Datum 104 with a plane rectangular zone's exact parameters is JGD2011.
        {"Earth Projection 8, 104, \"m\", 139.833333333333, 36, 0.9999, 0, 0", 6677,
         "JGD_2011_Japan_Zone_9"},
        {"Earth Projection 8, 152, \"m\", 139.8333333333, 36, 0.9999, 0, 0", 2451,
         "JGD_2000_Japan_Zone_9"},
        {"Earth Projection 8, 97, m, 154, 26, 0.9999, 0, 0 Bounds(0,0)(1,1)", 30179,
         "Japan_Zone_19"},
        // ... while UTM on 104 stays WGS 84.
        {"Earth Projection 8, 104, \"m\", 141, 0, 0.9996, 500000, 0", 32654,
         "WGS_1984_UTM_Zone_54N"},
        // No EPSG code for JGD2000 in UTM zone 56, and none for a zone in kilometres.
        {"Earth Projection 8, 152, \"m\", 153, 0, 0.9996, 500000, 0", 0,
         "JGD_2000_Transverse_Mercator"},
        {"Earth Projection 8, 97, \"km\", 139.833333333333, 36, 0.9999, 0, 0", 0,
         "Tokyo_Transverse_Mercator"},
        // Elsewhere: a datum of an EPSG geographic system, a projected EPSG system, a
        // projection of its own, a datum given in the clause, Mercator on datum 157 (Web
        // Mercator), the flag of an affine transformation on the type.
        {"Earth Projection 1, 62", 4267, "GCS_North_American_1927"},
        {"Earth Projection 9, 74, \"m\", -96, 23, 29.5, 45.5, 0, 0", 5070,
         "NAD_1983_Contiguous_USA_Albers"},
        {"Earth Projection 9, 74, \"m\", -96, 23, 29.5, 45.5, 1000, 0", 0,
         "North_American_1983_Albers"},
        {"Earth Projection 1, 999, 7, -8.5, 160, 176", 0, "GCS_MIF_999_7_-8_5_160_176"},
        {"Earth Projection 10, 157, \"m\", 0", 3857, "WGS_1984_Web_Mercator_Auxiliary_Sphere"},
        {"Earth Projection 1001, 104", 4326, "GCS_WGS_1984"},
    };
    for (const TCase& c : cases) {
        const TPrjText prj = CoordSysToPrj(c.Clause);
        EXPECT_EQ(prj.Epsg, c.Epsg) << c.Clause;
        EXPECT_EQ(prj.Name, c.Name) << c.Clause;
        EXPECT_EQ(prj.Reason, "") << c.Clause;
        EXPECT_EQ(prj.Note, "") << c.Clause;
    }
}

TEST(CoordSysToPrj, IgnoresParametersBeyondThoseTheProjectionTakesWithANote) {
    SetTextLanguage(TLanguage::English);  // the notes as the tools say them
    struct TCase {
        const char* Clause;
        const char* Exact;  // the same clause without the parameters ignored
        const char* Note;
    };
    const TCase cases[] = {
        {"Earth Projection 17, 104, \"m\", 0, 0", "Earth Projection 17, 104, \"m\", 0",
         "projection type 17 takes 1 parameter after the unit; the 1 parameter more that the "
         "file gives was ignored"},
        {"Earth Projection 8, 104, \"m\", 139.833333333333, 36, 0.9999, 0, 0, 7, x",
         "Earth Projection 8, 104, \"m\", 139.833333333333, 36, 0.9999, 0, 0",
         "projection type 8 takes 5 parameters after the unit; the 2 parameters more that the "
         "file gives were ignored"},
        {"Earth Projection 1, 104, 5", "Earth Projection 1, 104",
         "longitude/latitude takes no parameters; the 1 parameter more that the file gives was "
         "ignored"},
        {"Earth Projection 1, 999, 7, -8.5, 160, 176, 3",
         "Earth Projection 1, 999, 7, -8.5, 160, 176",
         "longitude/latitude takes no parameters; the 1 parameter more that the file gives was "
         "ignored"},
    };
    for (const TCase& c : cases) {
        const TPrjText prj = CoordSysToPrj(c.Clause);
        const TPrjText exact = CoordSysToPrj(c.Exact);
        EXPECT_NE(exact.Wkt, "") << c.Exact;
        EXPECT_EQ(prj.Wkt, exact.Wkt) << c.Clause;
        EXPECT_EQ(prj.Epsg, exact.Epsg) << c.Clause;
        EXPECT_EQ(prj.Note, "CoordSys: " + std::string(c.Note)) << c.Clause;
    }
    SetTextLanguage(TLanguage::Japanese);
}

TEST(CoordSysToPrj, SaysWhyAClauseGivesNoPrj) {
    SetTextLanguage(TLanguage::English);  // the reasons as the tools say them
    const std::pair<const char*, const char*> cases[] = {
        {"", "the header declares no CoordSys"},
        {"NonEarth Units \"m\" Bounds (0, 0) (1, 1)", "NonEarth coordinates"},
        {"Table Cosmetic1", "CoordSys \"Table\" is not a coordinate system on the earth"},
        {"Earth", "without a readable Projection"},
        {"Earth Projection 1, 5000", "datum \"5000\" is not a known datum number"},
        {"Earth Projection 34, 104, \"m\", 136, 36", "projection type \"34\""},
        {"Earth Projection 0, 104", "projection type \"0\""},
        {"Earth Projection 8, 104, \"degree\", 141, 0, 0.9996, 500000, 0", "the unit \"degree\""},
        {"Earth Projection 1, 999, 7, -8.5, 160",
         "datum 999 needs 4 parameters (an ellipsoid and 3 shifts); the file gives 3"},
        {"Earth Projection 8, 999, 7, -8.5, \"m\", 135, 0, 1, 0, 0",
         "datum 999 needs 4 parameters (an ellipsoid and 3 shifts); its parameter 3, \"m\", is "
         "not a number"},
        {"Earth Projection 1, 9999, 300, 1, 2, 3, 0, 0, 0, 0, 0", "ellipsoid \"300\""},
        {"Earth Projection 8, 104, \"m\", 141, 0",
         "projection type 8 needs 5 parameters after the unit; the file gives 2"},
        {"Earth Projection 17, 104, \"m\"",
         "projection type 17 needs 1 parameter after the unit; the file gives 0"},
        {"Earth Projection 17, 104",
         "projection type 17 needs a unit and 1 parameter after it; the file gives no unit"},
        {"Earth Projection 8, 104, \"m\", 141, x, 0.9996, 0, 0",
         "projection type 8 needs 5 parameters after the unit; its parameter 2, \"x\", is not a "
         "number"},
        {"Earth Projection 1, 104 Affine Units \"m\", 1, 0, 0, 0, 1, 0", "Affine"},
    };
    for (const auto& [clause, reason] : cases) {
        const TPrjText prj = CoordSysToPrj(clause);
        EXPECT_EQ(prj.Wkt, "") << clause;
        EXPECT_NE(prj.Reason.find(reason), std::string::npos) << clause << ": " << prj.Reason;
    }
    SetTextLanguage(TLanguage::Japanese);
}

}  // namespace
}  // namespace varnelo

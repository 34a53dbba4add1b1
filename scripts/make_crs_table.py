#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Writes src/engine/crs_world_table.cpp: the datums, ellipsoids, units and projection types
of the CoordSys clause, as facts the installed GDAL gives when asked.

Run by hand when the table needs renewing (Debian's python3-gdal, which scripts/setup.sh
installs), then build and run the tests and commit both this script and its output:

    /usr/bin/python3 scripts/make_crs_table.py

With --check it writes nothing and fails when the committed table is not what it would write
today (the tests run it so).

What is asked, and what is recorded:
- Datums: every number GDAL's MapInfo reader reads as a datum of its own (a number it does
  not know reads silently as WGS 84). Where an EPSG geographic coordinate system in degrees
  has that datum (by name, or as the only one GDAL's MapInfo writer writes as that number)
  with the same ellipsoid and prime meridian, the row is that EPSG code with the names GDAL
  writes into a shapefile's .prj for it; otherwise the names GDAL writes for its reading of
  the clause, the coordinate system named after its datum.
- Ellipsoids: the numbers a clause of datum 999 or 9999 gives, with the ellipsoid's name and
  axes as GDAL writes them.
- Units: each unit name of the clause that GDAL reads, its length in metres, and its name as
  GDAL writes it for the EPSG (or PROJ) unit of that length, or, where there is none, as it
  writes it for the clause.
- Projection types: every number GDAL reads as a projection, the projection's name in the
  .prj, how many numbers the clause gives for it, and where each .prj parameter comes from
  (a position among the clause's numbers, or a fixed value).
- Projected EPSG systems: each one GDAL writes as a clause of those numbers and names and
  whose .prj, as GDAL writes it, is the one composed from that clause under its name.
The script checks that the .prj text the program composes from these facts is the text
GDAL writes for a sample of clauses, and stops without writing when it is not.
"""

import difflib
import math
import os
import re
import sqlite3
import sys

from osgeo import gdal, osr

gdal.PushErrorHandler("CPLQuietErrorHandler")
osr.DontUseExceptions()

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUTPUT = os.path.join(ROOT, "src", "engine", "crs_world_table.cpp")
DEGREE = "UNIT[\"Degree\",0.0174532925199433]"


def reading(clause):
    srs = osr.SpatialReference()
    srs.ImportFromMICoordSys("Earth Projection " + clause)
    return srs


def esri(srs):
    return srs.ExportToWkt(["FORMAT=WKT1_ESRI"])


def number(value):
    """A number as GDAL writes it into ESRI WKT: 15 significant digits, ".0" on whole ones."""
    text = "%.15g" % value
    if "." not in text and "e" not in text:
        text += ".0"
    return text


def cpp_number(value):
    text = repr(float(value))
    return text if text != "-0.0" else "-0.0"


def cpp_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


GEOGCS = re.compile(r'GEOGCS\["([^"]*)",DATUM\["([^"]*)",SPHEROID\["([^"]*)",([^,\]]+),([^,\]]+)\]\],'
                    r'PRIMEM\["([^"]*)",([^,\]]+)\],' + re.escape(DEGREE) + r"\]")


def geogcs_facts(wkt):
    match = GEOGCS.search(wkt)
    if match is None:
        sys.exit("unexpected geographic WKT: " + wkt)
    gcs, datum, spheroid, a, rf, pm_name, pm = match.groups()
    return {"gcs": gcs, "datum": datum, "spheroid": spheroid, "a": float(a), "rf": float(rf),
            "pm_name": pm_name, "pm": float(pm), "text": match.group(0)}


def geogcs_text(f):
    return ('GEOGCS["%s",DATUM["%s",SPHEROID["%s",%s,%s]],PRIMEM["%s",%s],%s]'
            % (f["gcs"], f["datum"], f["spheroid"], number(f["a"]), number(f["rf"]), f["pm_name"],
               number(f["pm"]), DEGREE))


def close(a, b, tolerance):
    return abs(a - b) <= tolerance * max(1.0, abs(a), abs(b))


# ---------------------------------------------------------------------------------------------
# Datums

def written_datums(db):
    """The datum number GDAL's MapInfo writer writes for each EPSG geographic CRS in degrees:
    {datum number: [EPSG codes]}."""
    codes = {}
    for (code,) in db.execute("SELECT code FROM geodetic_crs WHERE auth_name = 'EPSG' "
                              "AND type = 'geographic 2D' AND deprecated = 0 ORDER BY code"):
        srs = osr.SpatialReference()
        if srs.ImportFromEPSG(int(code)) != 0:
            continue
        if not close(srs.GetAngularUnits(), math.radians(1), 1e-12):
            continue
        match = re.fullmatch(r"Earth Projection 1, (\d+)", srs.ExportToMICoordSys())
        if match:
            codes.setdefault(int(match.group(1)), []).append(int(code))
    return codes


def epsg_geographic(datum, srs, facts, written):
    """The EPSG geographic CRS in degrees of the datum, with the same ellipsoid and prime
    meridian, or None: the one whose datum has the name of GDAL's reading, else the only one
    GDAL's writer writes as that datum number."""
    def same(candidate):
        return (close(candidate["a"], facts["a"], 1e-9) and close(candidate["rf"], facts["rf"], 1e-9)
                and abs(candidate["pm"] - facts["pm"]) < 1e-7)
    for match, confidence in srs.FindMatches():
        if confidence < 70 or match.GetAuthorityName(None) != "EPSG" or not match.IsGeographic():
            continue
        if not close(match.GetAngularUnits(), math.radians(1), 1e-12):
            continue
        candidate = geogcs_facts(esri(match))
        if same(candidate):
            return int(match.GetAuthorityCode(None)), candidate
    codes = written.get(datum, [])
    if len(codes) == 1:
        match = osr.SpatialReference()
        match.ImportFromEPSG(codes[0])
        candidate = geogcs_facts(esri(match))
        if same(candidate):
            return codes[0], candidate
    return None


def datums():
    written = written_datums(proj_db())
    fallback = reading("1, 32000").ExportToWkt()
    rows = []
    for datum in range(0, 2000):
        if datum in (999,):
            continue
        srs = reading("1, %d" % datum)
        known = srs.ExportToWkt() != fallback or srs.ExportToMICoordSys() == "Earth Projection 1, %d" % datum
        if not known:
            continue
        facts = geogcs_facts(esri(srs))
        epsg = epsg_geographic(datum, srs, facts, written)
        if epsg is not None:
            code, facts = epsg
            if facts["text"] != geogcs_text(facts):
                sys.exit("datum %d: composed GEOGCS differs from GDAL's" % datum)
        else:
            code = 0
            facts["gcs"] = "GCS_" + facts["datum"][2:]
        rows.append((datum, code, facts))
    return rows


# ---------------------------------------------------------------------------------------------
# Ellipsoids of datums 999 and 9999

def ellipsoids():
    rows = []
    for ellipsoid in range(0, 200):
        facts = geogcs_facts(esri(reading("1, 999, %d, 0.125, 0.25, 0.375" % ellipsoid)))
        if facts["spheroid"] == "unknown":
            continue
        rows.append((ellipsoid, facts))
    return rows


# ---------------------------------------------------------------------------------------------
# Units

# The unit names the clause can give; GDAL reads a name it does not know as metres.
UNIT_NAMES = ["m", "km", "cm", "mm", "mi", "nmi", "in", "ft", "yd", "survey ft", "li", "ch", "rd",
              "link", "chain", "rod", "degree"]
UNIT_RE = re.compile(r'UNIT\["([^"]*)",([^\]]+)\]\]$')


def proj_db():
    paths = (osr.GetPROJSearchPaths() or []) + ["/usr/share/proj"]
    path = next(os.path.join(p, "proj.db") for p in paths if os.path.exists(os.path.join(p, "proj.db")))
    return sqlite3.connect("file:" + path + "?mode=ro", uri=True)


def units():
    db = proj_db()
    rows = []
    for name in UNIT_NAMES:
        srs = reading('8, 104, "%s", 141, 0, 0.9996, 500000, 0' % name)
        written = srs.ExportToMICoordSys()
        if '"%s"' % name not in written:
            continue  # read as metres: GDAL does not know the name
        metres = srs.GetLinearUnits()
        esri_name = UNIT_RE.search(esri(srs)).group(1)
        for auth, code, unit_name, factor in db.execute(
                "SELECT auth_name, code, name, conv_factor FROM unit_of_measure "
                "WHERE type = 'length' AND deprecated = 0 AND auth_name IN ('EPSG', 'PROJ') "
                "AND name NOT LIKE '% per %' "
                "ORDER BY auth_name, code"):
            if close(factor, metres, 1e-12):
                other = osr.SpatialReference()
                other.SetFromUserInput(
                    'PROJCS["x",GEOGCS["WGS 84",DATUM["WGS_1984",SPHEROID["WGS 84",6378137,'
                    '298.257223563]],PRIMEM["Greenwich",0],UNIT["degree",0.0174532925199433]],'
                    'PROJECTION["Transverse_Mercator"],PARAMETER["scale_factor",1],UNIT["%s",%r,'
                    'AUTHORITY["%s","%s"]]]' % (unit_name, factor, auth, code))
                esri_name = UNIT_RE.search(esri(other)).group(1)
                break
        rows.append((name, esri_name, metres))
    return rows


# ---------------------------------------------------------------------------------------------
# Projection types

VALUES_A = [11.5, 21.25, 31.125, 41.0625, 510000, 610000, 0.9876, 81.5, 9.75, 10.5]
VALUES_B = [12.75, 22.375, 32.625, 42.5625, 520000, 620000, 0.9765, 82.25, 8.25, 11.75]
PROJCS_RE = re.compile(r'PROJECTION\["([^"]*)"\]((?:,PARAMETER\["[^"]*",[^\]]+\])*),UNIT\[')
PARAMETER_RE = re.compile(r'PARAMETER\["([^"]*)",([^\]]+)\]')


def projection_of(wkt):
    match = PROJCS_RE.search(wkt)
    if match is None:
        return None
    return match.group(1), [(n, float(v)) for n, v in PARAMETER_RE.findall(match.group(2))]


def wraps(projection, datum, position, name):
    """True when GDAL brings the angle at `position` into -180..180 (a longitude, an azimuth)."""
    values = list(VALUES_A)
    values[position] = 270.0
    clause = '%d, %d, "m", %s' % (projection, datum, ", ".join("%r" % v for v in values))
    value = dict(projection_of(esri(reading(clause)))[1])[name]
    if value not in (270.0, -90.0):
        sys.exit("projection %d: %s %r for 270" % (projection, name, value))
    return value == -90.0


def wrapped(value):
    return value - 360 if value > 180 else value + 360 if value < -180 else value


def recipe(projection, datum):
    """How GDAL reads projection type `projection` on `datum`: (the projection's name, how many
    numbers the clause gives, how many can give a parameter, [(parameter, position, fixed
    value, wraps)]), or None when GDAL reads no projection."""
    text = lambda values: '%d, %d, "m", %s' % (projection, datum,
                                                ", ".join("%r" % v for v in values))
    a = reading(text(VALUES_A))
    b = reading(text(VALUES_B))
    pa, pb = projection_of(esri(a)), projection_of(esri(b))
    if pa is None or pb is None:
        return None  # longitude/latitude, nothing on the earth, or a number GDAL does not read
    if pa[0] != pb[0] or [n for n, _ in pa[1]] != [n for n, _ in pb[1]]:
        sys.exit("projection %d: the parameters depend on their values" % projection)
    written = a.ExportToMICoordSys()
    count = len(written.split(", ")) - 3  # after the type, the datum and the unit
    parameters = []
    for (name, va), (_, vb) in zip(pa[1], pb[1]):
        source = [i for i in range(len(VALUES_A)) if VALUES_A[i] == va and VALUES_B[i] == vb]
        if source:
            parameters.append((name, source[0], 0.0, wraps(projection, datum, source[0], name)))
        elif va == vb:
            parameters.append((name, -1, va, False))
        else:
            sys.exit("projection %d: where %s comes from is not clear" % (projection, name))
    reads = max([p[1] + 1 for p in parameters] + [count])
    return pa[0], count, reads, parameters


def projections(datum_rows):
    """Every projection type GDAL reads: (type, name, count, reads, parameters, datum, GEOGCS
    datum, system name, EPSG code). The last four are -1, -1, None, 0 but on a row for the one
    datum on which GDAL reads the type as another projection (Web Mercator): that datum, the
    datum whose geographic system it takes, the system's name, and its EPSG code in metres."""
    rows = []
    for projection in range(0, 100):
        generic = recipe(projection, 104)
        if generic is None:
            continue
        rows.append((projection,) + generic + (-1, -1, None, 0))
        for datum, _, _ in datum_rows:
            clause = '%d, %d, "m", %s' % (projection, datum, ", ".join("%r" % v for v in VALUES_A))
            srs = reading(clause)
            text = esri(srs)
            if projection_of(text)[0] == generic[0]:
                continue
            own = recipe(projection, datum)
            gcs = [d for d, _, f in datum_rows if geogcs_text(f) == GEOGCS.search(text).group(0)]
            if not gcs:
                sys.exit("projection %d on datum %d: a geographic system of no datum" % (projection, datum))
            name = re.match(r'PROJCS\["([^"]*)"', text).group(1)
            epsg = 0
            for match, _ in srs.FindMatches():
                if match.GetAuthorityName(None) == "EPSG" and esri(match) == text:
                    epsg = int(match.GetAuthorityCode(None))
            rows.append((projection,) + own + (datum, gcs[0], name, epsg))
    return rows


# ---------------------------------------------------------------------------------------------
# Projected EPSG systems

CLAUSE_RE = re.compile(r'Earth Projection (\d+), (\d+), "([^"]+)", (.*)')


def projected_systems(datum_rows, unit_rows, projection_rows):
    """The EPSG projected systems GDAL writes as a clause of the tables' numbers and names,
    whose .prj as GDAL writes it is the text composed from the clause under the system's name:
    [(code, name, projection, datum, unit position, numbers)]. Where several share a clause,
    the plain UTM zone is taken over its aliases, and none when there is none among them."""
    datums_ = {row[0]: row[2] for row in datum_rows}
    units_ = {row[0]: (i, row) for i, row in enumerate(unit_rows)}
    projections_ = {row[0]: row for row in projection_rows if row[5] < 0}
    by_clause = {}
    for (code,) in proj_db().execute("SELECT code FROM projected_crs WHERE auth_name = 'EPSG' "
                                     "AND deprecated = 0 ORDER BY code"):
        srs = osr.SpatialReference()
        if srs.ImportFromEPSG(int(code)) != 0:
            continue
        clause = srs.ExportToMICoordSys()
        match = CLAUSE_RE.fullmatch(clause)
        if match is None:
            continue
        projection, datum, unit = int(match.group(1)), int(match.group(2)), match.group(3)
        if projection not in projections_ or datum not in datums_ or unit not in units_:
            continue
        numbers = [float(n) for n in match.group(4).split(", ")]
        text = esri(srs)
        name = re.match(r'PROJCS\["([^"]*)"', text).group(1)
        ours = composed(datums_[datum], projections_[projection], units_[unit][1], numbers)
        if ours.replace('PROJCS["x"', 'PROJCS["%s"' % name, 1) != text:
            continue
        row = (int(code), name, projection, datum, units_[unit][0], numbers)
        plain_utm = "UTM zone" in srs.GetName() and "(" not in srs.GetName()
        by_clause.setdefault(clause, []).append((row, plain_utm))
    rows = []
    for candidates in by_clause.values():
        utm = [row for row, is_utm in candidates if is_utm]
        if len(candidates) == 1:
            rows.append(candidates[0][0])
        elif len(utm) == 1:
            rows.append(utm[0])
    return sorted(rows)


# ---------------------------------------------------------------------------------------------
# The check: the text composed from the facts is GDAL's, names aside

def composed(datum_facts, projection, unit, values):
    number_of, name, count, reads, parameters = projection[:5]
    unit_name, esri_unit, metres = unit
    text = ('PROJCS["x",%s,PROJECTION["%s"]' % (geogcs_text(datum_facts), name))
    for parameter, index, fixed, wrap in parameters:
        value = fixed if index < 0 else (values[index] if index < len(values) else 0.0)
        value = wrapped(value) if wrap else value
        text += ',PARAMETER["%s",%s]' % (parameter, number(value))
    return text + ',UNIT["%s",%s]]' % (esri_unit, number(metres))


def check(datum_rows, projection_rows, unit_rows):
    samples = [[139.833333333333, 36, 30.5, 0.9999, 150000, 200000],
               [-96, 23, 29.5, 45.5, 6561666.667, 1640416.667],
               [7.43958333333333, 46.9524055555556, 1, 2, 600000, 200000],
               [190.5, -36, 323.0257905, 0.99984, 804670.24, 0],
               [-200.25, 0, 1, 2, 3, 4]]
    checked = 0
    facts_of = {datum: facts for datum, _, facts in datum_rows}
    for projection in projection_rows:
        if projection[5] < 0:
            continue
        values = samples[0][: projection[2]]
        clause = '%d, %d, "m", %s' % (projection[0], projection[5], ", ".join("%r" % v for v in values))
        ours = composed(facts_of[projection[6]], projection, unit_rows[0], values)
        ours = ours.replace('PROJCS["x"', 'PROJCS["%s"' % projection[7], 1)
        if ours != esri(reading(clause)):
            sys.exit("clause %s:\n GDAL %s\n ours %s" % (clause, esri(reading(clause)), ours))
        checked += 1
    projection_rows = [row for row in projection_rows if row[5] < 0]
    for d, (datum, _, facts) in enumerate(datum_rows[::7]):
        for p, projection in enumerate(projection_rows):
            unit = unit_rows[(d + p) % len(unit_rows)]
            values = samples[(d + p) % len(samples)][: projection[2]]
            clause = '%d, %d, "%s", %s' % (projection[0], datum, unit[0],
                                            ", ".join("%r" % v for v in values))
            gdal_text = esri(reading(clause))
            ours = composed(facts, projection, unit, values)
            # The geographic part is checked with the datums; names aside: GDAL names the
            # projected system "unnamed" and writes the unit by the name its reader gives it.
            strip = lambda t: re.sub(r'UNIT\["[^"]*",([^\]]*)\]\]$', r"UNIT[\1]]",
                                     GEOGCS.sub("GEOGCS", re.sub(r'^PROJCS\["[^"]*"', "PROJCS[", t)))
            if strip(gdal_text) != strip(ours):
                sys.exit("clause %s:\n GDAL %s\n ours %s" % (clause, gdal_text, ours))
            checked += 1
    return checked


# ---------------------------------------------------------------------------------------------
# The C++ source

def source(datum_rows, ellipsoid_rows, unit_rows, projection_rows, system_rows):
    """The text of the C++ source."""
    out = []
    w = out.append
    w("// SPDX-License-Identifier: MIT")
    w("// Generated by scripts/make_crs_table.py from the answers of GDAL %s; do not edit by hand."
      % gdal.__version__)
    w("// The datums, ellipsoids, units and projection types of the CoordSys clause, with the")
    w("// names and numbers the .prj writes for them.")
    w('#include "engine/crs_table.hpp"')
    w("")
    w("namespace varnelo {")
    w("")
    w("namespace {")
    w("")
    w("// clang-format off")
    w("")
    w("// Datum number, EPSG code of its geographic coordinate system (0: none), then the")
    w("// coordinate system's, datum's and ellipsoid's names, the axes and the prime meridian.")
    w("constexpr TMifDatum kDatums[] = {")
    for datum, code, f in datum_rows:
        w("    {%d, %d, {%s, %s, %s, %s, %s, %s, %s}}," % (
            datum, code, cpp_string(f["gcs"]), cpp_string(f["datum"]), cpp_string(f["spheroid"]),
            cpp_number(f["a"]), cpp_number(f["rf"]), cpp_string(f["pm_name"]), cpp_number(f["pm"])))
    w("};")
    w("")
    w("// The ellipsoids a clause of datum 999 or 9999 names by number.")
    w("constexpr TMifEllipsoid kEllipsoids[] = {")
    for number_, f in ellipsoid_rows:
        w("    {%d, %s, %s, %s}," % (number_, cpp_string(f["spheroid"]), cpp_number(f["a"]),
                                   cpp_number(f["rf"])))
    w("};")
    w("")
    w("constexpr TMifUnit kUnits[] = {")
    for name, esri_name, metres in unit_rows:
        w("    {%s, %s, %s}," % (cpp_string(name), cpp_string(esri_name), cpp_number(metres)))
    w("};")
    w("")
    w("// Each .prj parameter: its name and the position among the clause's numbers after the")
    w("// unit that gives its value, or -1 and its fixed value; whether it is an angle brought")
    w("// into -180..180.")
    for projection, name, count, reads, parameters, datum, _, _, _ in projection_rows:
        w("constexpr TProjectionParameter kParameters%d%s[] = {"
          % (projection, "" if datum < 0 else "On%d" % datum))
        for parameter, index, fixed, wrap in parameters:
            w("    {%s, %d, %s, %s}," % (cpp_string(parameter), index, cpp_number(fixed),
                                     "true" if wrap else "false"))
        w("};")
    w("")
    w("// Projection type, the projection's name in the .prj, how many numbers the clause gives,")
    w("// how many of them are read at most, and the parameters; then, for a type read as")
    w("// another projection on one datum, that datum, the datum of its geographic system, the")
    w("// system's name and its EPSG code in metres.")
    w("constexpr TMifProjection kProjections[] = {")
    for projection, name, count, reads, parameters, datum, gcs, system, epsg in projection_rows:
        own = "" if datum < 0 else ", %d, %d, %s, %d" % (datum, gcs, cpp_string(system), epsg)
        w("    {%d, %s, %d, %d, kParameters%d%s%s}," % (
            projection, cpp_string(name), count, reads, projection,
            "" if datum < 0 else "On%d" % datum, own))
    w("};")
    w("")
    w("// EPSG code, name, projection type, datum number, unit (a position among the units) and")
    w("// the clause's numbers after the unit, as GDAL writes them for the code.")
    w("constexpr TMifProjectedCrs kProjectedSystems[] = {")
    for code, name, projection, datum, unit, numbers in system_rows:
        w("    {%d, %s, %d, %d, %d, {%s}}," % (code, cpp_string(name), projection, datum, unit,
                                          ", ".join(cpp_number(n) for n in numbers)))
    w("};")
    w("")
    w("// clang-format on")
    w("")
    w("}  // namespace")
    w("")
    for function, table, kind in [("MifDatums", "kDatums", "TMifDatum"),
                                  ("MifEllipsoids", "kEllipsoids", "TMifEllipsoid"),
                                  ("MifUnits", "kUnits", "TMifUnit"),
                                  ("MifProjections", "kProjections", "TMifProjection"),
                                  ("MifProjectedSystems", "kProjectedSystems", "TMifProjectedCrs")]:
        w("std::span<const %s> %s() noexcept {" % (kind, function))
        w("    return %s;" % table)
        w("}")
        w("")
    w("}  // namespace varnelo")
    return "\n".join(out) + "\n"


def check_committed(text):
    """Compares the committed table with the text written today; says what differs."""
    name = os.path.relpath(OUTPUT, ROOT)
    try:
        with open(OUTPUT, encoding="ascii", newline="") as f:
            committed = f.read()
    except OSError as error:
        print("%s: cannot be read: %s" % (name, error.strerror), file=sys.stderr)
        return 1
    if committed == text:
        print("%s: the same as this script writes with GDAL %s" % (name, gdal.__version__))
        return 0
    diff = list(difflib.unified_diff(committed.splitlines(), text.splitlines(),
                                     "committed " + name, "written now", lineterm=""))
    print("%s differs from what this script writes with GDAL %s (%d lines of difference);"
          " run scripts/make_crs_table.py, build and test, and commit the table:"
          % (name, gdal.__version__, len(diff)), file=sys.stderr)
    for line in diff[:40]:
        print(line, file=sys.stderr)
    if len(diff) > 40:
        print("...", file=sys.stderr)
    return 1


def main():
    arguments = sys.argv[1:]
    if arguments not in ([], ["--check"]):
        print("usage: make_crs_table.py [--check]", file=sys.stderr)
        return 2
    datum_rows = datums()
    ellipsoid_rows = ellipsoids()
    unit_rows = units()
    projection_rows = projections(datum_rows)
    checked = check(datum_rows, projection_rows, unit_rows)
    system_rows = projected_systems(datum_rows, unit_rows, projection_rows)
    text = source(datum_rows, ellipsoid_rows, unit_rows, projection_rows, system_rows)
    if arguments == ["--check"]:
        return check_committed(text)
    with open(OUTPUT, "w", encoding="ascii", newline="\n") as f:
        f.write(text)
    print("%s: %d datums (%d with an EPSG code), %d ellipsoids, %d units, %d projection types, "
          "%d projected EPSG systems; %d clauses checked"
          % (os.path.relpath(OUTPUT, ROOT), len(datum_rows), sum(1 for r in datum_rows if r[1]),
             len(ellipsoid_rows), len(unit_rows), sum(1 for r in projection_rows if r[5] < 0),
             len(system_rows), checked))
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the seed corpora under fuzz/corpus/<target>/ from the bundled samples and a few
hand-made damaged files. Run from anywhere; the output is the same every time."""
import pathlib
import struct

ROOT = pathlib.Path(__file__).resolve().parent
SAMPLES = ROOT.parent / "samples"
CORPUS = ROOT / "corpus"

HEADER = b'Version 300\r\nCharset "WindowsJapanese"\r\nDelimiter ","\r\nCoordSys Earth Projection 1, 0\r\n'


def mif(columns, data):
    body = HEADER + b"Columns %d\r\n" % len(columns)
    body += b"".join(b"  " + c + b"\r\n" for c in columns)
    return body + b"Data\r\n\r\n" + data


# Damaged or hostile MIF/MID pairs: (name, mif bytes, mid bytes).
PAIRS = [
    ("region_count_max", mif([b"ID Integer"], b"Region 2147483647\r\n 3\r\n0 0\r\n1 1\r\n1 0\r\n"), b"1\r\n"),
    ("region_negative", mif([b"ID Integer"], b"Region 1\r\n -4\r\n0 0\r\n"), b"1\r\n"),
    ("pline_multiple_huge", mif([b"ID Integer"], b"Pline Multiple 2147483647\r\n 2\r\n0 0\r\n1 1\r\n"), b"1\r\n"),
    ("pline_truncated", mif([b"ID Integer"], b"Pline 5\r\n0 0\r\n1 1\r\n"), b"1\r\n"),
    ("columns_negative", HEADER + b"Columns -3\r\nData\r\nPoint 1 2\r\n", b"1\r\n"),
    ("columns_short", HEADER + b"Columns 2147483647\r\n  A Char(5)\r\n", b""),
    ("char_widths", mif([b"A Char(300)", b"B Char(-5)", b"C Char", b"D Char(0)", b"E Time"],
                        b"Point 1 2\r\nPoint 3 4\r\n"), b'"x",1,2,3,4\r\n"' + b"y" * 400 + b'"\r\n'),
    ("duplicate_names", mif([b"LONGCOLUMNNAME%d Integer" % (i % 3) for i in range(14)] +
                            [b"\x8a\xbf\x8e\x9a\x96\xbc\x91\x4f\x82\xa0\x82\xa2 Char(4)", b"\xff\xfe\x80 Char(2)"],
                            b"Point 0 0\r\n"), b"1,2,3\r\n"),
    ("numbers_hostile", mif([b"F Float", b"I Integer"],
                            b"Point 1e308 -1e308\r\nPoint " + b"9" * 400 + b" 1\r\nPoint nan inf\r\n"),
     b"1e400,99999999999\r\n-0.0000001,-2147483649\r\n,\r\n"),
    ("arc_ellipse_extremes", mif([], b"Arc -1e308 -1e308 1e308 1e308 1e300 -1e300\r\n"
                                   b"Ellipse -1e308 0 1e308 1\r\nArc 0 0 0.5 0.5 10 10.5\r\n"), b"\r\n\r\n\r\n"),
    ("text_quotes", mif([b"N Char(10)"], b'Text ""\r\n"a, b  c"\r\n1 2 3 4\r\nText "\x1a"\r\n1 2 3 4\r\n'),
     b'"a\x1ab"\r\n'),
    ("nul_and_cr", mif([b"N Char(3)"], b"Point 1\r2\r\nPoint\r\n\r\n 3\r\n 4\r\n"), b"a\x00b\r\nc\rd\r\n"),
    ("no_delimiter_header", b"Version 3\nCharset x\nCoordSys y\nColumns 1\n N Char(2)\nData\nRect 0 0 1 1\n", b"z\n"),
    ("quoted_first_words", mif([b"N Char(4)"], b'Point 1 1\r\n"b"\r"\r\n"a long first word ""quoted"" here" 5\r\n'
                                                b'"POINT" 2 2\r\n'), b'"a"\r\n"b"\r\n'),
    ("lf_only_all_kinds", mif([b"N Char(8)", b"D Date", b"L Logical"],
                              b"Point 1 2\nLine 0 0 1 1\nPline 2\n0 0\n1 1\nRegion 1\n3\n0 0\n0 1\n1 1\n"
                              b"Arc 0 0 2 2 0 90\nText \"t\"\n0 0 1 1\nRect 0 0 2 2\nRoundRect 0 0 2 2\n0.5\n"
                              b"Ellipse 0 0 2 2\nMultipoint 1\n0 0\nNone\n"),
     b"a,2005/01/23,T\nb,,F\nc,1/2/3,x\n,,\n\n\n\n\n\n\n\n\n"),
    ("tabs_in_header", b"Version\t300\r\nCharset\t\"x\"\r\nDelimiter\t\"\t\"\r\nCoordSys\tEarth\r\n"
                       b"Columns\t2\r\n\tq_info\tChar(8)\r\n\tN\tInteger\r\nData\r\nPoint 1 2\r\nPoint 3 4\r\n",
     b"two words\t7\r\n\t\t\r\n"),
    ("semicolon_delimiter", HEADER.replace(b'","', b'";"') + b"Columns 3\r\n  A Char(8)\r\n  N Integer\r\n"
                            b"  F Float\r\nData\r\nPoint 1 2\r\nPoint 3 4\r\n",
     b'"x;y";5;1.5\r\nunquoted words ; -2 ;\r\n'),
    ("multiline_values", mif([b"S Char(20)", b"N Integer"], b"Point 1 2\r\nPoint 3 4\r\nPoint 5 6\r\n"),
     b'"MULTI\r\nLINE\nTEXT",1\r\n"a""\r\nb","c\r\nd",2\r\n"never closed,3\r\nx,4\r\n'),
    ("collection_parts", mif([b"N Integer"],
                             b"Point 0 0\r\nCollection 3\r\n  Region 1\r\n    3\r\n0 0\r\n0 1\r\n1 1\r\n"
                             b"    Pen (1,2,0)\r\n  Pline 2\r\n0 0\r\n2 2\r\n  Multipoint 2\r\n5 5\r\n6 6\r\n"
                             b"Collection 2\r\n  Line 0 0 1 1\r\n  Pline Multiple 2\r\n 2\r\n0 0\r\n1 1\r\n 2\r\n"
                             b"2 2\r\n3 3\r\nCollection 4\r\n  Region 1\r\n 3\r\n0 0\r\n1 0\r\n1 1\r\n"
                             b"RoundRect 0 0 4 2 0.5\r\nPoint 9 9\r\n"),
     b"1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n"),
    ("utf8_coordsys_lines", b'Version 300\r\nCharset "UTF-8"\r\nDelimiter ","\r\nCoordSys Earth\r\n'
                            b'  Projection 8, 104, "m", 139.833333333333, 36, 0.9999, 0, 0\r\n'
                            b'  Bounds (-1e9, -1e9) (1e9, 1e9)\r\nColumns 2\r\n'
                            b'  \xd0\x9f\xd0\xbe\xd0\xbb\xd0\xb5_\xd0\x94\xd0\xbb\xd0\xb8 Char(5)\r\n'
                            b'  \xd0\x9f\xd0\xbe\xd0\xbb\xd0\xb5_\xd0\xa8 Char(3)\r\nData\r\nPoint 1 2\r\n',
     b'"\xd0\x9c\xd0\xbe\xd1\x81\xd0\xba\xd0\xb2\xd0\xb0","\xe6\x9d\xb1\x80\x80"\r\n'),
    ("objects_tabs_escapes_turns", mif([b"Name Char(4)", b"NAME Char(4)", b"\x83\x41 Char(2)", b"\x83\x61 Char(2)"],
                                      b"Point\t1 2\r\nPOINT  1\t2\r\nPline\tMultiple\t2\r\n1\r\n0\t0\r\n1\r\n1 \t1\r\n"
                                      b'Text\r\n"a\\nb\x95\x5cn\\\\\x95\x5c\\n\\"\r\n1\t2 3 4\r\n'
                                      b"Arc 0 0 2 2 0 360\r\nArc\t0 0 2 2\r\n 90\t450\r\nArc 0 0 2 2 45 45\r\n"
                                      b"RoundRect\t0\t0 4 2\t0.5\r\n"),
     b"a,b,c,d\r\n" * 8),
    ("wide_floats_utf8_escapes", b'Version 300\r\nCharset "UTF-8"\r\nDelimiter ","\r\nColumns 3\r\n'
                                 b"  POP Float\r\n  AREA Decimal(12,3)\r\n  D Decimal(20,2)\r\nData\r\n"
                                 b'Point 1 2\r\nText "\x95\x5cn\\n"\r\n1 2 3 4\r\nPoint 3 4\r\n',
     b"150840734225,1.000003006E9,-123456789012345\r\n1,2,3\r\n12345678901234567,99999999999.99999,1e17\r\n"),
    ("collection_damaged_part", mif([b"N Integer"],
                                    b"Point 1 2\r\nCollection 3\r\n  Region 1\r\n    3\r\n0 0\r\n0 x\r\n1 1\r\n"
                                    b"  Pline 2\r\n0 0\r\n2 2\r\n  Multipoint 1\r\nbad\r\nPoint 3 4\r\n"),
     b"1\r\n2\r\n3\r\n"),
    ("coordsys_hostile", b'CoordSys Earth Projection 8, 152, "survey ft", 1e308, -1e308, 0, nan, 9' + b"9" * 400 +
     b"\r\n" + b"1 2\r\n" * 3 + b'Version 1\r\nCharset "CodePage99x"\r\nDelimiter ","\r\nColumns 0\r\nData\r\n',
     b""),
]


def dbf(fields, records, version=0x03, count=None, header_length=None, record_length=None,
        index_flag=0, end=b"\x1a", terminator=b"\x0d"):
    n = len(fields)
    hl = 32 * n + 33 if header_length is None else header_length
    rl = 1 + sum(f[2] for f in fields) if record_length is None else record_length
    head = struct.pack("<B3BIHH16xB3x", version, 105, 1, 23,
                       len(records) if count is None else count, hl, rl, index_flag)
    descriptors = b"".join(struct.pack("<11sc4xBB14x", name, kind, length, decimals)
                           for name, kind, length, decimals in fields)
    return head + descriptors + terminator + b"".join(records) + end


FIVE = [(b"NAME", b"C", 10, 0), (b"POP", b"N", 16, 0), (b"AREA", b"N", 16, 6),
        (b"BORN", b"D", 8, 0), (b"OK", b"L", 1, 0)]
ROW = b" " + b"Tokyo     " + b"             123" + b"       12.500000" + b"20050123" + b"T"
DELETED = b"*" + ROW[1:]
ODD = b" " + b"\x82\xa0\x82\xa2\x00\x00xyzw" + b"   -2147483649  " + b"1e999           " + b"20051332" + b"?"

TABLES = [
    ("five_fields_empty", dbf(FIVE, [])),
    ("five_fields_rows", dbf(FIVE, [ROW, DELETED, ODD])),
    ("version_83", dbf(FIVE, [ROW], version=0x83)),
    ("version_fb", dbf(FIVE, [ROW], version=0xFB)),
    ("index_flag", dbf(FIVE, [ROW], index_flag=1)),
    ("count_lies_high", dbf(FIVE, [ROW], count=0x7FFFFFFF)),
    ("count_lies_max", dbf(FIVE, [ROW], count=0xFFFFFFFF)),
    ("header_length_huge", dbf(FIVE, [ROW], header_length=0xFFFF)),
    ("header_length_odd", dbf(FIVE, [ROW], header_length=32 * 5 + 47)),
    ("header_length_33", dbf([], [b" ", b"*"], header_length=33)),
    ("record_length_zero", dbf(FIVE, [ROW], record_length=0)),
    ("record_length_short", dbf(FIVE, [ROW], record_length=20)),
    ("record_length_huge", dbf(FIVE, [ROW], record_length=0xFFFF)),
    ("no_end_byte", dbf(FIVE, [ROW, ROW], end=b"")),
    ("bytes_after_end", dbf(FIVE, [ROW], end=b"\x1aTRAILING")),
    ("memo_field", dbf([(b"M", b"M", 10, 0)], [])),
    ("zero_width_fields", dbf([(b"Z", b"C", 0, 0), (b"N", b"N", 0, 0), (b"F", b"N", 0, 3)], [b" ", b" "])),
    ("short_date_logical", dbf([(b"D", b"D", 4, 0), (b"L", b"L", 0, 0)], [b" 2005T"])),
    ("wide_logical_date", dbf([(b"D", b"D", 12, 0), (b"L", b"L", 5, 0)], [b" 20050123    True "])),
    ("name_without_zero", dbf([(b"ABCDEFGHIJK", b"C", 3, 0), (b"abcdefghijk", b"C", 3, 0)], [b" abcdef"])),
    ("truncated_header", dbf(FIVE, [ROW])[:20]),
    ("truncated_descriptors", dbf(FIVE, [ROW])[:100]),
]


def shapefile(shape_type, records, shp_length=None, shx_type=None):
    """A .shx and .shp pair as one fuzz_shapefile input: the .shx length (4 bytes, little
    endian), the .shx, the .shp. `records` are record contents (shape type first)."""
    def header(length, kind, box=(0.0, 0.0, 1.0, 1.0)):
        return struct.pack(">i20xi", 9994, length // 2) + struct.pack("<ii4d32x", 1000, kind, *box)
    body, index = b"", b""
    for number, content in enumerate(records, 1):
        index += struct.pack(">ii", (100 + len(body)) // 2, len(content) // 2)
        body += struct.pack(">ii", number, len(content) // 2) + content
    shp = header(100 + len(body) if shp_length is None else shp_length, shape_type) + body
    shx = header(100 + len(index), shape_type if shx_type is None else shx_type) + index
    return struct.pack("<I", len(shx)) + shx + shp


def point(x, y):
    return struct.pack("<i2d", 1, x, y)


def multipart(kind, parts, points):
    xs, ys = [p[0] for p in points] or [0], [p[1] for p in points] or [0]
    return (struct.pack("<i4dii", kind, min(xs), min(ys), max(xs), max(ys), len(parts), len(points))
            + b"".join(struct.pack("<i", p) for p in parts)
            + b"".join(struct.pack("<2d", *p) for p in points))


SQUARE = [(0, 0), (0, 10), (10, 10), (10, 0), (0, 0)]
HOLE = [(2, 2), (4, 2), (4, 4), (2, 4), (2, 2)]
NULL = struct.pack("<i", 0)

SHAPEFILES = [
    ("points", shapefile(1, [point(139.7671, 35.6812), NULL, point(-1.5, 2.25)])),
    ("lines", shapefile(3, [multipart(3, [0, 2], [(0, 0), (1, 1), (2, 2), (3, 3)]),
                            multipart(3, [], []), NULL])),
    ("polygon_with_hole", shapefile(5, [multipart(5, [0, 5], SQUARE + HOLE)])),
    ("parts_out_of_order", shapefile(3, [multipart(3, [2, 0], [(0, 0), (1, 1), (2, 2)])])),
    ("part_beyond_points", shapefile(3, [multipart(3, [0, 9], [(0, 0), (1, 1)])])),
    ("counts_huge", shapefile(5, [multipart(5, [0], SQUARE)[:36] + struct.pack("<ii", 0x7FFFFFFF, 0x7FFFFFFF)])),
    ("counts_negative", shapefile(3, [multipart(3, [0], SQUARE)[:36] + struct.pack("<ii", -1, -5)])),
    ("content_short", shapefile(1, [point(1, 2)[:12]])),
    ("type_mismatch", shapefile(3, [point(1, 2)])),
    ("index_type_differs", shapefile(1, [point(1, 2)], shx_type=3)),
    ("placeholder_header", shapefile(1, [point(1, 2)], shp_length=0)),
    ("length_beyond_file", shapefile(1, [point(1, 2)], shp_length=0x7FFFFFFE)),
    ("multipoint_file", shapefile(8, [struct.pack("<i4di", 8, 0, 0, 1, 1, 0)])),
    ("shx_only", struct.pack("<I", 100) + shapefile(1, [])[4:104]),
]


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def main():
    for mif_path in sorted(SAMPLES.glob("*.mif")):
        mif_bytes = mif_path.read_bytes()
        mid_bytes = mif_path.with_suffix(".mid").read_bytes()
        write("fuzz_convert", "sample_" + mif_path.stem, mif_bytes + b"\x00" + mid_bytes)
        # Selector 0x05: default buffer, whole chunks; 0x80 | 0x08: one-byte buffer, text as line.
        write("fuzz_mif_header", "sample_" + mif_path.stem, b"\x05" + mif_bytes)
        write("fuzz_mif_header", "sample_small_" + mif_path.stem, b"\x88" + mif_bytes)
    for name, mif_bytes, mid_bytes in PAIRS:
        write("fuzz_convert", name, mif_bytes + b"\x00" + mid_bytes)
        write("fuzz_mif_header", name, b"\x02" + mif_bytes)
    for name, data in TABLES:
        write("fuzz_dbf", name, data)
    for name, data in SHAPEFILES:
        write("fuzz_shapefile", name, data)


if __name__ == "__main__":
    main()

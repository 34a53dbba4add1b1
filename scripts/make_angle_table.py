#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Writes src/engine/angle_table.inc: the cosine and sine of every angle at which arcs and
ellipses place their points, as the C library of the Linux build gives them.

The converter takes these values from the table instead of the platform's math library, so
that every system writes the same bytes, and the Linux bytes are the ones written before the
table existed. A test compares the table with the C library on Linux.

Run by hand on Linux (glibc) when the angles change, then build, test and commit both:

    /usr/bin/python3 scripts/make_angle_table.py

The angles:
- whole degrees 0..720, as (k * (pi / 180)) in doubles: an arc's points, whose first degree
  lies in 0..360 and which runs for at most 360 more;
- an ellipse's 360 steps, as the running sum of the one-degree step in doubles (the sum drifts
  from k * step, so these are angles of their own).
"""
import math
import pathlib

DEG_TO_RAD = 3.14159265358979323846 / 180.0
ELLIPSE_STEP = 0.017453292519943295769
WHOLE_DEGREES = 721
ELLIPSE_STEPS = 360


def row(angle):
    return "    {%s, %s}," % (math.cos(angle).hex(), math.sin(angle).hex())


def main():
    lines = [
        "// SPDX-License-Identifier: MIT",
        "// Written by scripts/make_angle_table.py; do not edit.",
        "// {cosine, sine} of k * (pi / 180) for k = 0..%d." % (WHOLE_DEGREES - 1),
        "constexpr TCosSin kWholeDegrees[%d] = {" % WHOLE_DEGREES,
    ]
    lines += [row(k * DEG_TO_RAD) for k in range(WHOLE_DEGREES)]
    lines += [
        "};",
        "// {cosine, sine} of the ellipse's running angle after i steps, i = 0..%d."
        % (ELLIPSE_STEPS - 1),
        "constexpr TCosSin kEllipseSteps[%d] = {" % ELLIPSE_STEPS,
    ]
    t = 0.0
    for _ in range(ELLIPSE_STEPS):
        lines.append(row(t))
        t += ELLIPSE_STEP
    lines.append("};")
    out = pathlib.Path(__file__).resolve().parent.parent / "src/engine/angle_table.inc"
    out.write_text("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()

// SPDX-License-Identifier: MIT
// The cosine, sine and arc tangent of arcs and ellipses, computed here rather than by the
// platform's math library, so that every system places their points on the same bytes.
// Whole degrees and an ellipse's steps come from a table of constants; other angles from
// routines that round the exact value to the nearest double, as the Linux C library does.
#pragma once

namespace varnelo {

struct TCosSin {
    double Cos;
    double Sin;
};

// k * (pi / 180) for k = 0..720 (in doubles, as that product is computed).
const TCosSin& WholeDegree(int k);
// The ellipse's running angle after i = 0..359 steps of one degree (each step added in
// doubles to the sum so far).
const TCosSin& EllipseStep(int i);

// Rounded to nearest for |x| up to about 10^5 (arcs need at most a few turns).
double Cosine(double x);
double Sine(double x);
// As the C library's atan2, including zeros, infinities and NaN.
double ArcTangent2(double y, double x);

}  // namespace varnelo

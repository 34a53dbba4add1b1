// SPDX-License-Identifier: MIT
// Cosine, sine and arc tangent in double-double arithmetic (a number as the unevaluated sum of
// two doubles, about 106 bits), rounded once at the end: the result is the exact value rounded
// to nearest but for arguments within about 2^-100 of a halfway case. Only additions,
// subtractions, multiplications and divisions of doubles are used, which every IEEE system
// rounds alike; this file is built without contracting a * b + c into one instruction.
#include "engine/angles.hpp"

#include <cassert>
#include <cmath>
#include <iterator>

namespace varnelo {

namespace {

#include "engine/angle_table.inc"

struct TDD {
    double Hi;
    double Lo;
};

TDD TwoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// For |a| >= |b|.
TDD FastTwoSum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// The exact product of two doubles of moderate size (no overflow in the splitting).
TDD TwoProduct(double a, double b) {
    constexpr double kSplitter = 134217729.0;  // 2^27 + 1
    const double p = a * b;
    const double ca = kSplitter * a;
    const double aHi = ca - (ca - a);
    const double aLo = a - aHi;
    const double cb = kSplitter * b;
    const double bHi = cb - (cb - b);
    const double bLo = b - bHi;
    return {p, ((aHi * bHi - p) + aHi * bLo + aLo * bHi) + aLo * bLo};
}

TDD Add(TDD a, TDD b) {
    TDD s = TwoSum(a.Hi, b.Hi);
    const TDD t = TwoSum(a.Lo, b.Lo);
    s = FastTwoSum(s.Hi, s.Lo + t.Hi);
    return FastTwoSum(s.Hi, s.Lo + t.Lo);
}

TDD Negate(TDD a) {
    return {-a.Hi, -a.Lo};
}

TDD Subtract(TDD a, TDD b) {
    return Add(a, Negate(b));
}

TDD Multiply(TDD a, TDD b) {
    const TDD p = TwoProduct(a.Hi, b.Hi);
    return FastTwoSum(p.Hi, p.Lo + (a.Hi * b.Lo + a.Lo * b.Hi));
}

TDD Multiply(TDD a, double b) {
    const TDD p = TwoProduct(a.Hi, b);
    return FastTwoSum(p.Hi, p.Lo + a.Lo * b);
}

TDD Divide(TDD a, TDD b) {
    const double q1 = a.Hi / b.Hi;
    TDD r = Subtract(a, Multiply(b, q1));
    const double q2 = r.Hi / b.Hi;
    r = Subtract(r, Multiply(b, q2));
    const double q3 = r.Hi / b.Hi;
    return Add(FastTwoSum(q1, q2), {q3, 0.0});
}

double Rounded(TDD a) {
    return a.Hi + a.Lo;
}

// pi / 2 in three parts, pi, pi / 4 and 3 pi / 4 in two.
constexpr double kHalfPi1 = 0x1.921fb54442d18p+0;
constexpr double kHalfPi2 = 0x1.1a62633145c07p-54;
constexpr double kHalfPi3 = -0x1.f1976b7ed8fbcp-110;
constexpr TDD kHalfPi = {kHalfPi1, kHalfPi2};
constexpr TDD kPi = {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53};
constexpr TDD kQuarterPi = {0x1.921fb54442d18p-1, 0x1.1a62633145c07p-55};
constexpr TDD kThreeQuarterPi = {0x1.2d97c7f3321d2p+1, 0x1.a79394c9e8a0ap-54};
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;

// Taylor series for |r| <= about 0.8, to the term below 2^-106 of the sum.
TDD SineSeries(TDD r) {
    const TDD r2 = Multiply(r, r);
    TDD term = r;
    TDD sum = r;
    for (int n = 3; n <= 29; n += 2) {
        term = Divide(Multiply(term, r2), {-static_cast<double>((n - 1) * n), 0.0});
        sum = Add(sum, term);
    }
    return sum;
}

TDD CosineSeries(TDD r) {
    const TDD r2 = Multiply(r, r);
    TDD term = {1.0, 0.0};
    TDD sum = term;
    for (int n = 2; n <= 28; n += 2) {
        term = Divide(Multiply(term, r2), {-static_cast<double>((n - 1) * n), 0.0});
        sum = Add(sum, term);
    }
    return sum;
}

// x less the nearest multiple k of pi / 2, and k modulo 4.
TDD ReduceQuarterTurns(double x, int& quadrant) {
    const double k = std::floor(x * kTwoOverPi + 0.5);
    TDD r = Subtract({x, 0.0}, TwoProduct(k, kHalfPi1));
    r = Subtract(r, TwoProduct(k, kHalfPi2));
    r = Add(r, {-k * kHalfPi3, 0.0});
    const double turns = k - 4.0 * std::floor(k / 4.0);
    quadrant = static_cast<int>(turns);
    return r;
}

// The arc tangent of 0 <= t <= 1: from the nearby angle a0 = t * pi / 4, whose sine and cosine
// the series give, atan(t) = a0 + atan(d) with d = tan(atan(t) - a0) below 0.072.
TDD ArcTangentUnit(TDD t) {
    const double a0 = t.Hi * kQuarterPi.Hi;
    const TDD s = SineSeries({a0, 0.0});
    const TDD c = CosineSeries({a0, 0.0});
    const TDD d = Divide(Subtract(Multiply(t, c), s), Add(c, Multiply(t, s)));
    const TDD d2 = Multiply(d, d);
    TDD power = d;
    TDD sum = d;
    for (int n = 3; n <= 31; n += 2) {
        power = Multiply(power, d2);
        const TDD term = Divide(power, {static_cast<double>(n), 0.0});
        sum = (n % 4 == 3) ? Subtract(sum, term) : Add(sum, term);
    }
    return Add({a0, 0.0}, sum);
}

// small / large for 0 < small <= large, both finite, as a double-double.
TDD Ratio(double small, double large) {
    const double q = small / large;
    if (q < 0x1p-80) {
        return {q, 0.0};  // atan(q) rounds to q; no more digits matter
    }
    // Scaled by a power of two, exactly, so that the splitting neither overflows nor loses
    // digits below the smallest normal double.
    const int e = std::ilogb(large);
    const double a = std::scalbn(small, -e);
    const double b = std::scalbn(large, -e);
    const TDD p = TwoProduct(q, b);
    const double remainder = (a - p.Hi) - p.Lo;  // exact
    return {q, remainder / b};
}

}  // namespace

const TCosSin& WholeDegree(int k) {
    assert(k >= 0 && k < static_cast<int>(std::size(kWholeDegrees)));
    return kWholeDegrees[k];
}

const TCosSin& EllipseStep(int i) {
    assert(i >= 0 && i < static_cast<int>(std::size(kEllipseSteps)));
    return kEllipseSteps[i];
}

namespace {

// sin(r + quadrant * pi / 2).
double SineInQuadrant(TDD r, int quadrant) {
    switch (quadrant % 4) {
        case 0:
            return Rounded(SineSeries(r));
        case 1:
            return Rounded(CosineSeries(r));
        case 2:
            return -Rounded(SineSeries(r));
        default:
            return -Rounded(CosineSeries(r));
    }
}

}  // namespace

double Sine(double x) {
    if (x == 0.0 || !std::isfinite(x)) {
        return x == 0.0 ? x : x - x;  // sin(+-0) = +-0; NaN for infinity and NaN
    }
    int quadrant = 0;
    const TDD r = ReduceQuarterTurns(x, quadrant);
    return SineInQuadrant(r, quadrant);
}

double Cosine(double x) {
    if (!std::isfinite(x)) {
        return x - x;
    }
    int quadrant = 0;
    const TDD r = ReduceQuarterTurns(x, quadrant);
    return SineInQuadrant(r, quadrant + 1);  // cos(x) = sin(x + pi / 2)
}

double ArcTangent2(double y, double x) {
    if (std::isnan(x) || std::isnan(y)) {
        return x + y;
    }
    const double ay = std::fabs(y);
    const double ax = std::fabs(x);
    const bool westward = std::signbit(x);
    TDD angle = {0.0, 0.0};
    if (ay == 0.0) {
        angle = westward ? kPi : TDD{0.0, 0.0};
    } else if (std::isinf(ay)) {
        angle = std::isinf(ax) ? (westward ? kThreeQuarterPi : kQuarterPi) : kHalfPi;
    } else if (std::isinf(ax)) {
        angle = westward ? kPi : TDD{0.0, 0.0};
    } else if (ax == 0.0) {
        angle = kHalfPi;
    } else {
        angle = ay <= ax ? ArcTangentUnit(Ratio(ay, ax))
                         : Subtract(kHalfPi, ArcTangentUnit(Ratio(ax, ay)));
        if (westward) {
            angle = Subtract(kPi, angle);
        }
    }
    const double result = Rounded(angle);
    return std::signbit(y) ? -result : result;
}

}  // namespace varnelo

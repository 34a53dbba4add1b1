// SPDX-License-Identifier: MIT
// The angle table and the cosine, sine and arc tangent of arcs and ellipses give the values of
// the Linux C library bit for bit (the table), or are at least as near to the exact values
// (the routines), so that output written before them keeps its bytes.
#include "engine/angles.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>

namespace varnelo {
namespace {

constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
constexpr double kEllipseStep = 0.017453292519943295769;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Arguments each routine is checked on: a million in the slow run's optimised build, fewer in
// the default suite, whose debug and sanitizer builds pay ten times as much a call.
#ifndef VARNELO_ANGLE_ARGUMENTS
#define VARNELO_ANGLE_ARGUMENTS 100000
#endif
constexpr int kArgumentsPerHalf = VARNELO_ANGLE_ARGUMENTS / 2;

bool SameBits(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) ||
           std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool GlibcIsTheLibrary() {
#ifdef __GLIBC__
    return true;
#else
    return false;
#endif
}

TEST(Angles, TableHoldsTheCLibraryValuesOfEveryWholeDegreeAndEllipseStep) {
    if (!GlibcIsTheLibrary()) {
        GTEST_SKIP() << "the table was taken from the GNU C library";
    }
    for (int k = 0; k <= 720; ++k) {
        const double angle = k * kDegToRad;
        ASSERT_TRUE(SameBits(WholeDegree(k).Cos, std::cos(angle))) << k;
        ASSERT_TRUE(SameBits(WholeDegree(k).Sin, std::sin(angle))) << k;
        // Arcs turn their corner point back by whole degrees with the same entries.
        ASSERT_TRUE(SameBits(WholeDegree(k).Cos, std::cos(-angle))) << k;
        ASSERT_TRUE(SameBits(-WholeDegree(k).Sin, std::sin(-angle))) << k;
    }
    double t = 0.0;
    for (int i = 0; i < 360; ++i) {
        ASSERT_TRUE(SameBits(EllipseStep(i).Cos, std::cos(t))) << i;
        ASSERT_TRUE(SameBits(EllipseStep(i).Sin, std::sin(t))) << i;
        t += kEllipseStep;
    }
}

// Where the routines and the C library differ (the library does not always round to nearest,
// and its rounding differs with the processor's instructions), the routines are the nearer to
// the value in extended precision, one unit in the last place from the library's.
::testing::AssertionResult NoFurther(double ours, double library, long double exact) {
    if (SameBits(ours, library)) {
        return ::testing::AssertionSuccess();
    }
    const bool neighbours = std::nextafter(library, ours) == ours;
    const long double ourError = std::fabs(static_cast<long double>(ours) - exact);
    const long double libraryError = std::fabs(static_cast<long double>(library) - exact);
    if (neighbours && ourError <= libraryError) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << std::hexfloat << ours << " against the library's " << library;
}

TEST(Angles, RoutinesAreNoFurtherFromTheTruthThanTheCLibrary) {
    if (!GlibcIsTheLibrary()) {
        GTEST_SKIP() << "the routines are checked against the GNU C library";
    }
    std::mt19937_64 random(20261209);
    std::uniform_real_distribution<double> turns(-4 * std::numbers::pi, 4 * std::numbers::pi);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-40, 40);
    for (int i = 0; i < kArgumentsPerHalf; ++i) {
        // Half near whole degrees, as arcs mostly are, half anywhere in four turns.
        const double x = i % 2 == 0 ? turns(random)
                                    : std::round(turns(random) / kDegToRad) * kDegToRad *
                                          (1.0 + unit(random) * 1e-12);
        const long double lx = x;
        ASSERT_TRUE(NoFurther(Sine(x), std::sin(x), std::sin(lx))) << std::hexfloat << x;
        ASSERT_TRUE(NoFurther(Cosine(x), std::cos(x), std::cos(lx))) << std::hexfloat << x;
    }
    for (int i = 0; i < kArgumentsPerHalf; ++i) {
        // Mostly sizes alike, as an ellipse's axes are, some far apart.
        const double y = std::ldexp(unit(random), i % 4 == 0 ? exponent(random) : 0);
        const double x = std::ldexp(unit(random), i % 8 == 0 ? exponent(random) : 0);
        ASSERT_TRUE(NoFurther(ArcTangent2(y, x), std::atan2(y, x),
                              std::atan2(static_cast<long double>(y), static_cast<long double>(x))))
            << std::hexfloat << y << ", " << x;
    }
}

TEST(Angles, ArcTangentOfZerosInfinitiesAndExtremesIsTheCLibrarys) {
    if (!GlibcIsTheLibrary()) {
        GTEST_SKIP() << "the routines are checked against the GNU C library";
    }
    const double values[] = {0.0,     -0.0,  1.0,      -1.0,   kInf,    -kInf, kNaN, 1e-310,
                             -5e-324, 1e308, -1.7e308, 1e-300, 3.0e200, 0.5,   -2.0};
    for (const double y : values) {
        for (const double x : values) {
            EXPECT_TRUE(SameBits(ArcTangent2(y, x), std::atan2(y, x))) << y << ", " << x;
        }
    }
    for (const double x : {0.0, -0.0, kInf, -kInf, kNaN, 1e-300, -3e-320}) {
        EXPECT_TRUE(SameBits(Sine(x), std::sin(x))) << x;
        EXPECT_TRUE(SameBits(Cosine(x), std::cos(x))) << x;
    }
}

}  // namespace
}  // namespace varnelo

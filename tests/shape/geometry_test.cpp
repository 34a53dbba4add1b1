// SPDX-License-Identifier: MIT
#include "shape/geometry.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "../support/polygon_of.hpp"

namespace varnelo {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

TSFPolygon MakePolygon(const std::vector<std::vector<TShpPoint>>& rings) {
    TSFPolygon polygon = testing::PolygonOf(rings);
    polygon.Box = {-1.0, -2.0, 3.0, 4.0};  // a marker: normalisation must leave it alone
    return polygon;
}

std::vector<TShpPoint> RingOf(const TSFPolygon& polygon, int k) {
    const int begin = polygon.Parts[k];
    const int end = k + 1 < polygon.NumParts ? polygon.Parts[k + 1] : polygon.NumPoints;
    return {polygon.Points.begin() + begin, polygon.Points.begin() + end};
}

double AreaOf(const std::vector<TShpPoint>& ring) {
    std::vector<double> xs, ys;
    for (const TShpPoint& p : ring) {
        xs.push_back(p.X);
        ys.push_back(p.Y);
    }
    return RingSignedArea(xs, ys);
}

std::vector<TShpPoint> Reversed(std::vector<TShpPoint> ring) {
    std::reverse(ring.begin(), ring.end());
    return ring;
}

std::vector<TShpPoint> Closed(std::vector<TShpPoint> ring) {
    ring.push_back(ring.front());
    return ring;
}

// Counter-clockwise squares, open.
std::vector<TShpPoint> Square(double x0, double y0, double x1, double y1) {
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

TEST(ReverseBytes, TurnsLittleEndianIntoBigEndianAndBack) {
    // 9994 as little-endian bytes.
    std::array<std::byte, 4> bytes{std::byte{0x0A}, std::byte{0x27}, std::byte{0}, std::byte{0}};
    ReverseBytes(4, bytes.data());
    EXPECT_THAT(bytes,
                ElementsAre(std::byte{0x00}, std::byte{0x00}, std::byte{0x27}, std::byte{0x0A}));
    ReverseBytes(4, bytes.data());
    EXPECT_THAT(bytes, ElementsAre(std::byte{0x0A}, std::byte{0x27}, std::byte{0}, std::byte{0}));

    std::array<std::byte, 3> odd{std::byte{1}, std::byte{2}, std::byte{3}};
    ReverseBytes(3, odd.data());
    EXPECT_THAT(odd, ElementsAre(std::byte{3}, std::byte{2}, std::byte{1}));
}

TEST(CalcShapeBox, TakesMinimumAndMaximumOverAllPoints) {
    TSFPolyLine line;
    line.Points = {{2, 5}, {-1, 3}, {4, -7}};
    line.NumPoints = 3;
    CalcShapeBox(line);
    EXPECT_EQ(line.Box, (TShpBox{-1, -7, 4, 5}));

    line.Points = {{6, 8}};
    line.NumPoints = 1;
    CalcShapeBox(line);
    EXPECT_EQ(line.Box, (TShpBox{6, 8, 6, 8}));
}

TEST(CalcShapeBox, LeavesBoxUnchangedWithoutPoints) {
    TSFPolygon polygon;
    polygon.Box = {1, 2, 3, 4};
    CalcShapeBox(polygon);
    EXPECT_EQ(polygon.Box, (TShpBox{1, 2, 3, 4}));
}

TEST(CalcShapeBox, KeepsTheFirstOfEqualValues) {
    TSFPolyLine line;
    line.Points = {{0.0, -0.0}, {-0.0, 0.0}};
    line.NumPoints = 2;
    CalcShapeBox(line);
    EXPECT_FALSE(std::signbit(line.Box.Xmin));
    EXPECT_FALSE(std::signbit(line.Box.Xmax));
    EXPECT_TRUE(std::signbit(line.Box.Ymin));
    EXPECT_TRUE(std::signbit(line.Box.Ymax));
}

TEST(BoxFolding, FirstRecordInitialisesLaterOnesExtend) {
    TShpBox box;
    InitBoxFromPoint(box, {3, 4});
    EXPECT_EQ(box, (TShpBox{3, 4, 3, 4}));
    ExtendBoxByPoint(box, {1, 9});
    EXPECT_EQ(box, (TShpBox{1, 4, 3, 9}));

    InitBoxFromBox(box, {0, 0, 2, 2});
    EXPECT_EQ(box, (TShpBox{0, 0, 2, 2}));
    ExtendBoxByBox(box, {1, -1, 5, 1});
    EXPECT_EQ(box, (TShpBox{0, -1, 5, 2}));
    ExtendBoxByBox(box, {-3, 0, 1, 7});
    EXPECT_EQ(box, (TShpBox{-3, -1, 5, 7}));
}

TEST(RingSignedArea, IsPositiveCounterClockwiseAndNegativeClockwise) {
    const std::vector<double> xs{0, 1, 0}, ys{0, 0, 1};
    EXPECT_EQ(RingSignedArea(xs, ys), 0.5);
    const std::vector<double> cx{0, 0, 1, 0}, cy{0, 1, 0, 0};
    EXPECT_EQ(RingSignedArea(cx, cy), -0.5);
}

TEST(RingSignedArea, IsZeroForShortOrMismatchedSequences) {
    const std::vector<double> two{0, 1}, three{0, 1, 0};
    EXPECT_EQ(RingSignedArea(two, two), 0.0);
    EXPECT_EQ(RingSignedArea(three, two), 0.0);
}

struct TSingleRingCase {
    const char* Name;
    std::vector<TShpPoint> Input;
    std::vector<TShpPoint> Expected;
};

TEST(NormalizeSingleRing, MakesRingClockwiseAndClosedAndIsIdempotent) {
    const std::vector<TSingleRingCase> cases{
        {"open counter-clockwise triangle",
         {{0, 0}, {1, 0}, {0, 1}},
         {{0, 1}, {1, 0}, {0, 0}, {0, 1}}},
        {"closed clockwise triangle",
         {{0, 0}, {0, 1}, {1, 0}, {0, 0}},
         {{0, 0}, {0, 1}, {1, 0}, {0, 0}}},
        {"closed counter-clockwise triangle",
         {{0, 0}, {1, 0}, {0, 1}, {0, 0}},
         {{0, 0}, {0, 1}, {1, 0}, {0, 0}}},
        {"open clockwise triangle", {{0, 0}, {0, 1}, {1, 0}}, {{0, 0}, {0, 1}, {1, 0}, {0, 0}}},
        {"rectangle corners",
         {{1, 2}, {5, 2}, {5, 7}, {1, 7}},
         {{1, 7}, {5, 7}, {5, 2}, {1, 2}, {1, 7}}},
        {"collinear points", {{0, 0}, {1, 1}, {2, 2}}, {{0, 0}, {1, 1}, {2, 2}, {0, 0}}},
        {"two points", {{0, 0}, {1, 0}}, {{0, 0}, {1, 0}}},
        {"no point", {}, {}},
    };
    for (const TSingleRingCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TSFPolygon polygon = MakePolygon({c.Input});
        NormalizePolygonRing(polygon);
        EXPECT_EQ(polygon.NumPoints, static_cast<std::int32_t>(c.Expected.size()));
        EXPECT_THAT(polygon.Points, ElementsAreArray(c.Expected));
        EXPECT_THAT(polygon.Parts, ElementsAre(0));
        EXPECT_EQ(polygon.Box, (TShpBox{-1, -2, 3, 4}));
        NormalizePolygonRing(polygon);
        EXPECT_THAT(polygon.Points, ElementsAreArray(c.Expected));
    }
}

TEST(NormalizeSingleRing, IgnoresACountBeyondThePointsHeld) {
    TSFPolygon polygon = MakePolygon({Square(0, 0, 1, 1)});
    polygon.NumPoints = 9;
    NormalizePolygonRing(polygon);
    EXPECT_EQ(polygon.NumPoints, 9);
    EXPECT_THAT(polygon.Points, ElementsAreArray(Square(0, 0, 1, 1)));
}

// Outer square 0..10 with a hole 2..8, each ring given in either orientation, open or closed.
class SquareWithHole : public ::testing::TestWithParam<std::tuple<bool, bool, bool>> {};

TEST_P(SquareWithHole, EndsWithClockwiseOuterAndCounterClockwiseHoleBothClosed) {
    const auto [outerClockwise, holeClockwise, closed] = GetParam();
    auto outer = Square(0, 0, 10, 10);
    auto hole = Square(2, 2, 8, 8);
    if (outerClockwise) {
        outer = Reversed(outer);
    }
    if (holeClockwise) {
        hole = Reversed(hole);
    }
    if (closed) {
        outer = Closed(outer);
        hole = Closed(hole);
    }
    TSFPolygon polygon = MakePolygon({outer, hole});
    NormalizePolygonRing(polygon);

    ASSERT_EQ(polygon.NumParts, 2);
    EXPECT_EQ(polygon.NumPoints, 10);
    EXPECT_EQ(polygon.Points.size(), 10u);
    EXPECT_THAT(polygon.Parts, ElementsAre(0, 5));
    const auto outerRing = RingOf(polygon, 0);
    const auto holeRing = RingOf(polygon, 1);
    EXPECT_EQ(outerRing.front(), outerRing.back());
    EXPECT_EQ(holeRing.front(), holeRing.back());
    EXPECT_EQ(AreaOf(outerRing), -100.0);
    EXPECT_EQ(AreaOf(holeRing), 36.0);
    EXPECT_EQ(outerRing.front(), outer.front());  // the first point stays first
    EXPECT_EQ(polygon.Box, (TShpBox{-1, -2, 3, 4}));

    const TSFPolygon once = polygon;
    NormalizePolygonRing(polygon);
    EXPECT_EQ(polygon.NumPoints, once.NumPoints);
    EXPECT_EQ(polygon.Parts, once.Parts);
    EXPECT_EQ(polygon.Points, once.Points);
}

INSTANTIATE_TEST_SUITE_P(AnyOrientation, SquareWithHole,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool(),
                                            ::testing::Bool()));

TEST(NormalizeSeveralRings, ClosesEachOpenRingAndShiftsLaterParts) {
    TSFPolygon polygon = MakePolygon({Square(0, 0, 10, 10), Closed(Reversed(Square(20, 0, 30, 10))),
                                      Reversed(Square(40, 0, 50, 10))});
    NormalizePolygonRing(polygon);
    EXPECT_EQ(polygon.NumPoints, 15);
    EXPECT_THAT(polygon.Parts, ElementsAre(0, 5, 10));
    EXPECT_THAT(polygon.Points,
                ElementsAre(TShpPoint{0, 0}, TShpPoint{0, 10}, TShpPoint{10, 10}, TShpPoint{10, 0},
                            TShpPoint{0, 0},  // reversed, then closed
                            TShpPoint{20, 10}, TShpPoint{30, 10}, TShpPoint{30, 0},
                            TShpPoint{20, 0}, TShpPoint{20, 10},  // already clockwise, closed
                            TShpPoint{40, 10}, TShpPoint{50, 10}, TShpPoint{50, 0},
                            TShpPoint{40, 0}, TShpPoint{40, 10}));  // clockwise, closed
}

TEST(NormalizeSeveralRings, OrientsIslandInsideHoleInsideOuterRingAlternately) {
    // Listed innermost first, to show that ring order is kept.
    TSFPolygon polygon =
        MakePolygon({Square(4, 4, 6, 6), Reversed(Square(0, 0, 10, 10)), Square(2, 2, 8, 8)});
    NormalizePolygonRing(polygon);
    ASSERT_EQ(polygon.NumParts, 3);
    EXPECT_EQ(AreaOf(RingOf(polygon, 0)), -4.0);    // island: clockwise
    EXPECT_EQ(AreaOf(RingOf(polygon, 1)), -100.0);  // outer: clockwise
    EXPECT_EQ(AreaOf(RingOf(polygon, 2)), 36.0);    // hole: counter-clockwise
    EXPECT_EQ(RingOf(polygon, 0).front(), (TShpPoint{4, 4}));
    EXPECT_EQ(RingOf(polygon, 1).front(), (TShpPoint{0, 10}));
}

TEST(NormalizeSeveralRings, KeepsDisjointIslandsClockwise) {
    TSFPolygon polygon = MakePolygon({Square(0, 0, 1, 1), Reversed(Square(5, 5, 6, 6))});
    NormalizePolygonRing(polygon);
    EXPECT_EQ(AreaOf(RingOf(polygon, 0)), -1.0);
    EXPECT_EQ(AreaOf(RingOf(polygon, 1)), -1.0);
}

TEST(NormalizeSeveralRings, JudgesRingsSharingBoundaryPointsByTheirOtherVertices) {
    // An L-shaped outer ring; a hole whose smallest vertex lies on the outer ring's left
    // edge; a triangle in the notch of the L, inside the L's box, whose smallest vertex lies
    // on the notch's edge. Neither is decided by that shared vertex.
    const std::vector<TShpPoint> outer{{0, 0}, {10, 0}, {10, 5}, {5, 5}, {5, 10}, {0, 10}};
    const std::vector<TShpPoint> hole{{0, 5}, {4, 4}, {4, 2}};
    const std::vector<TShpPoint> notch{{5, 7}, {8, 6}, {8, 9}};
    TSFPolygon polygon = MakePolygon({outer, hole, notch});
    NormalizePolygonRing(polygon);
    EXPECT_LT(AreaOf(RingOf(polygon, 0)), 0.0);
    EXPECT_GT(AreaOf(RingOf(polygon, 1)), 0.0);
    EXPECT_LT(AreaOf(RingOf(polygon, 2)), 0.0);

    const TSFPolygon once = polygon;
    NormalizePolygonRing(polygon);
    EXPECT_EQ(polygon.Points, once.Points);
}

TEST(NormalizeSeveralRings, TreatsDuplicateRingsAsNotNested) {
    TSFPolygon polygon = MakePolygon({Square(0, 0, 2, 2), Square(0, 0, 2, 2)});
    NormalizePolygonRing(polygon);
    EXPECT_LT(AreaOf(RingOf(polygon, 0)), 0.0);
    EXPECT_LT(AreaOf(RingOf(polygon, 1)), 0.0);
}

TEST(NormalizeSeveralRings, ClosesDegenerateRingsWithoutReorientingThem) {
    // A flat ring inside the square, two points, one point and an empty part.
    TSFPolygon polygon = MakePolygon(
        {Square(0, 0, 10, 10), {{2, 2}, {3, 3}, {4, 4}}, {{5, 5}, {6, 5}}, {{7, 7}}, {}});
    NormalizePolygonRing(polygon);
    EXPECT_EQ(polygon.NumPoints, 13);
    EXPECT_THAT(polygon.Parts, ElementsAre(0, 5, 9, 12, 13));
    EXPECT_THAT(RingOf(polygon, 1),
                ElementsAre(TShpPoint{2, 2}, TShpPoint{3, 3}, TShpPoint{4, 4}, TShpPoint{2, 2}));
    EXPECT_THAT(RingOf(polygon, 2), ElementsAre(TShpPoint{5, 5}, TShpPoint{6, 5}, TShpPoint{5, 5}));
    EXPECT_THAT(RingOf(polygon, 3), ElementsAre(TShpPoint{7, 7}));
    EXPECT_TRUE(RingOf(polygon, 4).empty());
}

TEST(NormalizeSeveralRings, LeavesInconsistentPartsUnchanged) {
    const TSFPolygon valid = MakePolygon({Square(0, 0, 1, 1), Square(5, 5, 6, 6)});
    std::vector<TSFPolygon> broken(5, valid);
    broken[0].Parts = {4, 0};  // not ascending
    broken[1].Parts = {0, 9};  // beyond NumPoints
    broken[2].NumParts = 3;    // more parts than indices held
    broken[3].NumPoints = 12;  // more points than held
    broken[4].Parts = {1, 4};  // points before the first part
    for (TSFPolygon& polygon : broken) {
        const TSFPolygon before = polygon;
        NormalizePolygonRing(polygon);
        EXPECT_EQ(polygon.NumParts, before.NumParts);
        EXPECT_EQ(polygon.NumPoints, before.NumPoints);
        EXPECT_EQ(polygon.Parts, before.Parts);
        EXPECT_EQ(polygon.Points, before.Points);
    }
}

TEST(NormalizeSeveralRings, HandlesManyRingsInReasonableTime) {
    // A 60 x 60 grid of separate squares inside one frame: 3601 rings.
    std::vector<std::vector<TShpPoint>> rings{Square(-1, -1, 121, 121)};
    for (int i = 0; i < 60; ++i) {
        for (int j = 0; j < 60; ++j) {
            rings.push_back(Square(2 * i, 2 * j, 2 * i + 1, 2 * j + 1));
        }
    }
    TSFPolygon polygon = MakePolygon(rings);
    NormalizePolygonRing(polygon);
    EXPECT_EQ(polygon.NumPoints, 3601 * 5);
    EXPECT_LT(AreaOf(RingOf(polygon, 0)), 0.0);
    for (int k = 1; k < polygon.NumParts; ++k) {
        ASSERT_GT(AreaOf(RingOf(polygon, k)), 0.0) << "ring " << k;
    }
}

}  // namespace
}  // namespace varnelo

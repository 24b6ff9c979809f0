#include <gtest/gtest.h>

#include "ZelUtils.h"

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(quill::RoundHalfEven(2.5), 2);
  EXPECT_EQ(quill::RoundHalfEven(3.5), 4);
  EXPECT_EQ(quill::RoundHalfEven(-2.5), -2);
  EXPECT_EQ(quill::RoundHalfEven(-3.5), -4);
  EXPECT_EQ(quill::RoundHalfEven(2.4999999), 2);
  EXPECT_EQ(quill::RoundHalfEven(126.5), 126);
  EXPECT_EQ(quill::RoundHalfEven(127.5), 128);
  EXPECT_EQ(quill::RoundHalfEven(4.5L), 4);
}

TEST(MulDiv, RoundsHalvesAwayFromZeroOnA64BitProduct) {
  EXPECT_EQ(MulDiv(3, 1, 2), 2);
  EXPECT_EQ(MulDiv(-3, 1, 2), -2);
  EXPECT_EQ(MulDiv(3, -1, 2), -2);
  EXPECT_EQ(MulDiv(5, 1, 4), 1);
  EXPECT_EQ(MulDiv(100000, 100000, 100000), 100000);  // product beyond 32 bits
  EXPECT_EQ(MulDiv(7, 3, 0), -1);
  EXPECT_EQ(MulDiv(INT32_MAX, 4, 2), -1);  // result beyond 32 bits
  EXPECT_EQ(MulDiv(INT32_MIN, 1, 1), INT32_MIN);
}

TEST(MulDivFloor, StepsDownOnlyBelowMinusOne) {
  EXPECT_EQ(MulDivFloor(7, 3, 2), 10);
  EXPECT_EQ(MulDivFloor(-7, 3, 2), -11);
  EXPECT_EQ(MulDivFloor(-1, 1, 2), 0);
  EXPECT_EQ(MulDivFloor(-6, 1, 2), -3);
  EXPECT_EQ(MulDivFloor(7, -3, 2), -11);
  EXPECT_EQ(MulDivFloor(100000, 100000, 1000000), 10000);
}

// A zero divisor is a caller's fault: debug builds stop on it, release builds give 0
// rather than trap.
TEST(MulDivFloorDeathTest, AZeroDivisorStopsDebugBuildsAndGivesZeroInRelease) {
#ifdef NDEBUG
  EXPECT_EQ(MulDivFloor(5, 3, 0), 0);
#else
  EXPECT_DEATH(MulDivFloor(5, 3, 0), "zero divisor");
#endif
}

TEST(FloorDiv, RoundsTowardsMinusInfinity) {
  EXPECT_EQ(quill::FloorDiv(7, 2), 3);
  EXPECT_EQ(quill::FloorDiv(-7, 2), -4);
  EXPECT_EQ(quill::FloorDiv(-1, 2), -1);  // unlike MulDivFloor, a true floor
  EXPECT_EQ(quill::FloorDiv(7, -2), -4);
  EXPECT_EQ(quill::FloorDiv(-8, -2), 4);
  EXPECT_EQ(quill::FloorDiv(INT32_MIN, -1), int64_t{INT32_MAX} + 1);
}

TEST(MakeLong, CombinesUnsignedHalves) {
  EXPECT_EQ(MakeLong(1033, 0), 1033);
  EXPECT_EQ(MakeLong(0xFFFF, 1), 0x1FFFF);
  EXPECT_EQ(MakePoint(3, -4), (quill::TPoint{3, -4}));
}

TEST(RectRelation, DisjointOverlappingInside) {
  EXPECT_EQ(RectRelation({2, 2, 5, 5}, {0, 0, 10, 10}), 2);
  EXPECT_EQ(RectRelation({0, 0, 10, 10}, {2, 2, 5, 5}), 1);
  EXPECT_EQ(RectRelation({0, 0, 10, 10}, {5, 5, 15, 15}), 1);
  EXPECT_EQ(RectRelation({0, 0, 10, 10}, {10, 0, 20, 10}), 0);
  EXPECT_EQ(RectRelation({0, 0, 10, 10}, {0, 0, 10, 10}), 2);
  EXPECT_EQ(RectRelation({3, 3, 3, 8}, {0, 0, 10, 10}), 0);  // empty A meets nothing
  EXPECT_EQ(RectRelation({0, 0, 10, 10}, {4, 4, 2, 8}), 0);  // nor does a reversed B
}

TEST(RectHelpers, BoundsAndInflate) {
  EXPECT_EQ(RectToBounds({5, 6, 15, 26}), (quill::TRect{5, 6, 10, 20}));
  EXPECT_EQ(InflatedRect({5, 5, 10, 10}, 2, -1), (quill::TRect{3, 6, 12, 9}));
}

TEST(RectHelpers, SaturateAtThe32BitLimits) {
  EXPECT_EQ(RectToBounds({INT32_MIN, 0, INT32_MAX, 1}), (quill::TRect{INT32_MIN, 0, INT32_MAX, 1}));
  EXPECT_EQ(RectToBounds({4, 4, 1, 9}), (quill::TRect{4, 4, -3, 5}));
  EXPECT_EQ(InflatedRect({INT32_MIN, 0, INT32_MAX, 1}, 5, 0), (quill::TRect{INT32_MIN, 0, INT32_MAX, 1}));
  EXPECT_EQ(quill::OffsetRect({-5, 0, 5, 1}, INT32_MAX - 2, 0), (quill::TRect{INT32_MAX - 7, 0, INT32_MAX, 1}));
  EXPECT_TRUE(quill::OffsetRect({0, 0, 10, 10}, INT64_MAX, INT64_MIN).IsEmpty());
  EXPECT_EQ(quill::OffsetRect({INT32_MAX - 1, 0, INT32_MAX, 1}, -(int64_t{1} << 32) + 2, 0),
            (quill::TRect{INT32_MIN, 0, INT32_MIN + 1, 1}));
  const quill::TRect corner{INT32_MAX - 4, INT32_MIN, INT32_MAX, INT32_MIN + 4};
  EXPECT_EQ(CenterRect({0, 0, 10, 10}, corner),
            (quill::TRect{INT32_MAX - 7, INT32_MIN, INT32_MAX, INT32_MIN + 7}));
}

TEST(FitRectProportional, CentresTheLimitingSide) {
  EXPECT_EQ(FitRectProportional({0, 0, 200, 100}, {0, 0, 100, 100}), (quill::TRect{0, 25, 100, 75}));
  EXPECT_EQ(FitRectProportional({0, 0, 100, 200}, {0, 0, 100, 100}), (quill::TRect{25, 0, 75, 100}));
  // A zero-size source counts as 1 x 1 and fills the box's smaller side.
  EXPECT_EQ(FitRectProportional({0, 0, 0, 0}, {0, 0, 100, 60}), (quill::TRect{20, 0, 80, 60}));
  // Equal ratios take the height branch.
  EXPECT_EQ(FitRectProportional({0, 0, 10, 10}, {10, 20, 30, 40}), (quill::TRect{10, 20, 30, 40}));
}

TEST(CenterRect, TruncatesHalves) {
  EXPECT_EQ(CenterRect({0, 0, 4, 2}, {0, 0, 10, 10}), (quill::TRect{3, 4, 7, 6}));
  EXPECT_EQ(CenterRect({0, 0, 4, 2}, {0, 0, 9, 9}), (quill::TRect{2, 3, 6, 5}));
}

TEST(EnsureRange, LowerBoundIsTestedFirst) {
  EXPECT_EQ(EnsureRangeDouble(7.5, 0, 5), 5);
  EXPECT_EQ(EnsureRangeDouble(-1, 0, 5), 0);
  EXPECT_EQ(EnsureRangeDouble(3, 5, 2), 5);
  EXPECT_EQ(EnsureRangeDouble(6, 5, 2), 2);
  EXPECT_EQ(EnsureRangeInt64(-9, 0, 3), 0);
  EXPECT_EQ(EnsureRangeInt64(2, 0, 3), 2);
  EXPECT_EQ(EnsureRangeExtended(1e30L, 0, 1), 1);
  EXPECT_TRUE(InRangeInt(5, 5, 5));
  EXPECT_FALSE(InRangeInt(4, 5, 9));
}

TEST(RectTypes, ReversedRectanglesHaveNoExtent) {
  const quill::TRect reversed{10, 10, 4, 2};
  EXPECT_EQ(reversed.Width(), 0);
  EXPECT_EQ(reversed.Height(), 0);
  EXPECT_TRUE(reversed.IsEmpty());
  EXPECT_EQ(quill::IntersectRect({0, 0, 5, 5}, {5, 0, 9, 5}), quill::TRect{});
  EXPECT_EQ(quill::UnionRect({4, 4, 6, 6}, quill::TRect{}), (quill::TRect{4, 4, 6, 6}));
  EXPECT_EQ(quill::UnionRect({4, 4, 6, 6}, {0, 9, 2, 12}), (quill::TRect{0, 4, 6, 12}));
}

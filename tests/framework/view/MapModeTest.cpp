#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "ZelMapMode.h"

TEST(MapMode, StartsAsTheIdentity) {
  const TZelMapMode map;
  for (const quill::TPoint p : {quill::TPoint{0, 0}, quill::TPoint{-5, 17}, quill::TPoint{INT32_MIN, INT32_MAX}}) {
    EXPECT_EQ(map.LogicalToDevice(p), p);
    EXPECT_EQ(map.DeviceToLogical(p), p);
  }
}

TEST(MapMode, FloorsTowardsMinusInfinity) {
  TZelMapMode map;
  map.DeviceExtent = {3, 2};
  map.LogicalExtent = {2, 1};
  EXPECT_EQ(map.LogicalToDevice({1, 1}).X, 1);    // 1.5 floored
  EXPECT_EQ(map.DeviceToLogical({2, 2}).X, 1);    // 1.33 floored
  EXPECT_EQ(map.LogicalToDevice({-1, 0}).X, -2);  // -1.5 floored
  EXPECT_EQ(map.DeviceToLogical({-1, 0}).X, -1);  // -0.67 floored

  TZelMapMode zoom;  // 2/1 with the device origin at 10
  zoom.DeviceOrigin = {10, 0};
  zoom.DeviceExtent = {2, 2};
  EXPECT_EQ(zoom.DeviceToLogical({9, -1}), (quill::TPoint{-1, -1}));  // -0.5 floored
  EXPECT_EQ(zoom.DeviceToLogical({11, 1}), (quill::TPoint{0, 0}));
  EXPECT_EQ(zoom.LogicalToDevice({-1, 3}), (quill::TPoint{8, 6}));
}

TEST(MapMode, AppliesBothOriginsPerAxis) {
  TZelMapMode map;  // zoom 1/4, scrolled
  map.LogicalOrigin = {100, 200};
  map.LogicalExtent = {4, 4};
  map.DeviceOrigin = {-30, 5};
  map.DeviceExtent = {1, 1};
  EXPECT_EQ(map.LogicalToDevice({107, 196}), (quill::TPoint{-29, 4}));
  EXPECT_EQ(map.DeviceToLogical({-29, 4}), (quill::TPoint{104, 196}));
}

TEST(MapMode, MapsRectangleCornersIndependently) {
  TZelMapMode map;
  map.DeviceExtent = {3, 3};
  map.LogicalExtent = {2, 2};
  EXPECT_EQ(map.LogicalToDeviceRect({1, -1, 3, 2}), (quill::TRect{1, -2, 4, 3}));
}

TEST(MapMode, ProductsWrapInThirtyTwoBits) {
  TZelMapMode map;
  map.DeviceExtent = {65536, 2};
  map.LogicalExtent = {1, 1};
  // 65536 * 65536 keeps only its low 32 bits: 0.
  EXPECT_EQ(map.LogicalToDevice({65536, 0}).X, 0);
  // 40000 * 65536 = 0x9C400000 reads as a negative 32-bit product.
  EXPECT_EQ(map.LogicalToDevice({40000, 0}).X, static_cast<int32_t>(0x9C400000u));
  EXPECT_EQ(map.LogicalToDevice({0, INT32_MAX}).Y, -2);
  TZelMapMode flip;
  flip.LogicalExtent = {-1, 1};
  EXPECT_EQ(flip.LogicalToDevice({INT32_MIN, 0}).X, INT32_MIN);  // 2^31 wraps
}

TEST(MapMode, AZeroExtentGivesTheTargetOriginInEveryBuild) {
  TZelMapMode map;
  map.DeviceOrigin = {7, 8};
  map.LogicalOrigin = {-3, 4};
  map.LogicalExtent = {0, 0};
  EXPECT_EQ(map.LogicalToDevice({5, 5}), (quill::TPoint{7, 8}));
  map.LogicalExtent = {1, 1};
  map.DeviceExtent = {0, 2};
  EXPECT_EQ(map.DeviceToLogical({5, 5}), (quill::TPoint{-3, 2}));  // y: Floor(-3 / 2) + 4
}

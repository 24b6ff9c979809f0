#include <gtest/gtest.h>

#include "ZelColor.h"

TEST(Pixel, MakePackAndUnpack) {
  TZelRGB p;
  MakePixel(200, 100, 50, p);
  EXPECT_EQ(p, (TZelRGB{50, 100, 200}));
  const uint8_t bytes[3] = {0x11, 0x22, 0x33};
  EXPECT_EQ(quill::PackPixel(bytes), 0x332211u);
  EXPECT_EQ(quill::UnpackColor(0xFF332211u), (TZelRGB{0x11, 0x22, 0x33}));
}

TEST(ScalePixel, RoundsHalvesAwayFromZero) {
  TZelRGB p;
  ScalePixel(1, 2, p, 0x030303);
  EXPECT_EQ(p, (TZelRGB{2, 2, 2}));
  ScalePixel(3, 4, p, 0x00FF10);
  EXPECT_EQ(p, (TZelRGB{12, 191, 0}));
  ScalePixel(1, 0, p, 0x010101);  // a zero denominator stores -1 as 255
  EXPECT_EQ(p, (TZelRGB{255, 255, 255}));
}

TEST(BlendPixels, ShiftRoundsTowardsMinusInfinity) {
  TZelRGB p;
  BlendPixels(128, p, {0, 255, 10}, {255, 0, 10});
  EXPECT_EQ(p, (TZelRGB{127, 127, 10}));
  BlendPixels(0, p, {1, 2, 3}, {200, 200, 200});
  EXPECT_EQ(p, (TZelRGB{1, 2, 3}));
  BlendPixels(255, p, {1, 2, 3}, {200, 201, 202});
  EXPECT_EQ(p, (TZelRGB{200, 201, 202}));  // exactly Over, not one short
  BlendPixels(1, p, {10, 10, 10}, {0, 20, 10});
  EXPECT_EQ(p, (TZelRGB{9, 10, 10}));
}

TEST(BlendPixelInto, BlendsInPlace) {
  TZelRGB p{0, 100, 255};
  BlendPixelInto(p, 0, 0xFFFFFF);
  EXPECT_EQ(p, (TZelRGB{0, 100, 255}));
  BlendPixelInto(p, 128, 0x000000);  // packed B = 0, G = 0, R = 0
  EXPECT_EQ(p, (TZelRGB{0, 50, 127}));
  BlendPixelInto(p, 255, 0x0A0B0C);
  EXPECT_EQ(p, (TZelRGB{0x0C, 0x0B, 0x0A}));
}

#include <gtest/gtest.h>

#include "DabShapes.h"

namespace {

uint8_t At(const TZelPixelMask& mask, int x, int y) { return *mask.GetPixelAddress(x, y); }

// Every byte equals its mirror images across both axes.
bool IsMirrored(const TZelPixelMask& mask) {
  const int w = mask.Width();
  for (int y = 0; y < w; ++y) {
    for (int x = 0; x < w; ++x) {
      if (At(mask, x, y) != At(mask, w - 1 - x, y) || At(mask, x, y) != At(mask, x, w - 1 - y)) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

TEST(DabRect, EvenSizesGrowByOne) {
  EXPECT_EQ(DabRect({100, 50}, 10), (quill::TRect{95, 45, 106, 56}));
  EXPECT_EQ(DabRect({100, 50}, 25), (quill::TRect{88, 38, 113, 63}));
  EXPECT_EQ(DabRect({0, 0}, 1), (quill::TRect{0, 0, 1, 1}));
}

TEST(SoftDisc, OnePixelDabIsFullWhateverTheOpacity) {
  TZelPixelMask mask;
  SoftDisc(mask, 1, 128, 128);
  ASSERT_EQ(mask.GetBounds(), (quill::TRect{0, 0, 1, 1}));
  EXPECT_EQ(At(mask, 0, 0), 255);
}

TEST(SoftDisc, HardnessSetsTheRamp) {
  TZelPixelMask mask;
  SoftDisc(mask, 10, 255, 128);  // inner radius 2.0098, outer 5.5
  ASSERT_EQ(mask.GetBounds(), (quill::TRect{0, 0, 11, 11}));
  EXPECT_EQ(At(mask, 5, 5), 255);
  EXPECT_EQ(At(mask, 7, 5), 255);   // r = 2, inside the inner radius
  EXPECT_EQ(At(mask, 8, 5), 183);   // r = 3: 2.5 / 3.4902 * 255
  EXPECT_EQ(At(mask, 10, 5), 37);   // r = 5
  EXPECT_EQ(At(mask, 0, 0), 0);     // corner beyond 5.5
  EXPECT_EQ(At(mask, 10, 10), 0);
  EXPECT_TRUE(IsMirrored(mask));

  SoftDisc(mask, 10, 100, 255);  // hard edge: full opacity to r 4.5, one-pixel ramp
  EXPECT_EQ(At(mask, 9, 5), 100);
  EXPECT_EQ(At(mask, 10, 5), 50);  // r = 5 lies half way along the ramp; 50 is even
}

TEST(PowerDisc, NearlyFlatWithASteepRim) {
  TZelPixelMask mask;
  PowerDisc(mask, 25, 255, 160);
  ASSERT_EQ(mask.GetBounds(), (quill::TRect{0, 0, 25, 25}));
  EXPECT_EQ(At(mask, 12, 12), 255);
  EXPECT_EQ(At(mask, 0, 12), 85);   // d = 12: t = 0.96, 255 * (1 - 0.96^10)
  EXPECT_EQ(At(mask, 0, 0), 0);
  EXPECT_TRUE(IsMirrored(mask));

  PowerDisc(mask, 10, 255, 160);
  EXPECT_EQ(At(mask, 9, 5), 228);  // d = 4: t = 0.8
  EXPECT_EQ(At(mask, 10, 5), 0);   // d = 5: t = 1 is outside
}

TEST(PowerDisc, OnePixelDabIsThePeak) {
  TZelPixelMask mask;
  PowerDisc(mask, 1, 200, 160);
  ASSERT_EQ(mask.Width(), 1);
  EXPECT_EQ(At(mask, 0, 0), 200);
}

TEST(ApplyColourThroughMask, BlendsByTheMaskWeight) {
  TZelPixelBuffer image;
  ASSERT_TRUE(image.Allocate(quill::kPixelFormat24, {0, 0, 4, 1}));
  uint8_t* row = image.GetPixelAddress(0, 0);
  for (int i = 0; i < 12; ++i) row[i] = 255;
  TZelPixelMask mask;
  mask.SetBounds(10, 10, 3, 1);
  *mask.GetPixelAddress(10, 10) = 255;
  *mask.GetPixelAddress(11, 10) = 128;
  mask.MoveTo(0, 0);  // bytes: 255, 128, 0 over columns 0..2; column 3 outside
  // Source and Dest are one buffer; colour R 0x40, G 0x00, B 0x80.
  ApplyColourThroughMask(mask, image, 0x400080, {0, 0, 4, 1}, image);
  EXPECT_EQ(row[0], 0x80);
  EXPECT_EQ(row[1], 0x00);
  EXPECT_EQ(row[2], 0x40);
  EXPECT_EQ(row[3], 255 + ((128 * (0x80 - 255)) >> 8));  // 191
  EXPECT_EQ(row[4], 127);                                 // 255 + floor(-32640 / 256)
  EXPECT_EQ(row[5], 255 + ((128 * (0x40 - 255)) >> 8));
  for (int i = 6; i < 12; ++i) EXPECT_EQ(row[i], 255) << "byte " << i;
}

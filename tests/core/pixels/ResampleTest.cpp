#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "ZelColor.h"
#include "ZelResample.h"

namespace {

// A 24-bit image with pseudo-random pixels.
void MakeNoise(TZelPixelBuffer& image, int width, int height, unsigned seed) {
  ASSERT_TRUE(image.Allocate(quill::kPixelFormat24, {0, 0, width, height}));
  for (int y = 0; y < height; ++y) {
    uint8_t* p = image.GetScanLine(0, y);
    for (int i = 0; i < width * 3; ++i) {
      seed = seed * 1103515245u + 12345u;
      p[i] = static_cast<uint8_t>(seed >> 16);
    }
  }
}

bool SamePixels(const TZelPixels& a, const TZelPixels& b, const quill::TRect& area) {
  for (int y = area.Top; y < area.Bottom; ++y) {
    for (int x = area.Left; x < area.Right; ++x) {
      for (int c = 0; c < 3; ++c) {
        if (a.GetPixelAddress(x, y)[c] != b.GetPixelAddress(x, y)[c]) return false;
      }
    }
  }
  return true;
}

void Resample(TZelPixels& dest, const TZelPixels& source) {
  ResamplePixels(dest, dest.GetBounds(), dest.GetBounds(), source, source.GetBounds(),
                 TLanczosResampler());
}

}  // namespace

TEST(Lanczos, OneAtZeroAndZeroAtOtherIntegers) {
  const TLanczosResampler lanczos;
  EXPECT_EQ(lanczos.Filter(0), 1);
  EXPECT_EQ(lanczos.GetRadius(), 3);
  EXPECT_TRUE(lanczos.NeedsClamping());
  for (double x : {1.0, -1.0, 2.0, -2.0}) EXPECT_NEAR(lanczos.Filter(x), 0, 1e-15) << x;
  EXPECT_EQ(lanczos.Filter(3), 0);
  EXPECT_EQ(lanczos.Filter(-3.5), 0);
  EXPECT_LT(lanczos.Filter(1.5), 0);  // a negative lobe
}

TEST(Contributors, SameSizeListsAreSinglePairs) {
  const auto table = BuildContributors(0, 50, 0, 50, 10, 60, TLanczosResampler());
  ASSERT_EQ(table.size(), 50u);
  for (size_t i = 0; i < table.size(); ++i) {
    ASSERT_EQ(table[i].size(), 1u);
    EXPECT_EQ(table[i][0].Pos, static_cast<int32_t>(10 + i));
    EXPECT_EQ(table[i][0].Weight, 256);
  }
}

TEST(Contributors, EveryListSumsTo256InsideTheSource) {
  const int sizes[][2] = {{20, 60}, {60, 20}, {7, 1000}, {1000, 1}, {1000, 7}, {3, 2},
                          {2, 3},   {640, 427}, {5000, 3}, {100, 99}, {2000, 1}};
  for (const auto& [src, dst] : sizes) {
    const auto table = BuildContributors(0, dst, 0, dst, 0, src, TLanczosResampler());
    ASSERT_EQ(table.size(), static_cast<size_t>(dst));
    for (const quill::TContributorList& list : table) {
      int sum = 0;
      for (const quill::TContributor& c : list) {
        sum += c.Weight;
        ASSERT_GE(c.Pos, 0) << src << " -> " << dst;
        ASSERT_LT(c.Pos, src) << src << " -> " << dst;
      }
      ASSERT_EQ(sum, 256) << src << " -> " << dst;
    }
  }
}

TEST(Contributors, DegenerateRanges) {
  const TLanczosResampler lanczos;
  EXPECT_TRUE(BuildContributors(0, 10, 0, 10, 5, 5, lanczos).empty());  // empty source
  const auto single = BuildContributors(0, 10, 0, 10, 7, 8, lanczos);     // one source column
  ASSERT_EQ(single.size(), 10u);
  EXPECT_EQ(single[9].size(), 1u);
  EXPECT_EQ(single[9][0].Pos, 7);
  // One list for an empty destination range: the middle of the source.
  const auto middle = BuildContributors(4, 4, 0, 1, 10, 21, lanczos);
  ASSERT_EQ(middle.size(), 1u);
  EXPECT_EQ(middle[0][0].Pos, 15);
  EXPECT_EQ(middle[0][0].Weight, 256);
}

TEST(ResamplePixels, SameSizeIsAnExactCopy) {
  TZelPixelBuffer source, dest;
  MakeNoise(source, 33, 17, 1);
  ASSERT_TRUE(dest.Allocate(quill::kPixelFormat24, source.GetBounds()));
  Resample(dest, source);
  EXPECT_TRUE(SamePixels(dest, source, source.GetBounds()));
}

TEST(ResamplePixels, UniformStaysUniformAtAnySize) {
  TZelPixelBuffer source, dest;
  ASSERT_TRUE(source.Allocate(quill::kPixelFormat24, {0, 0, 13, 9}));
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 13; ++x) {
      uint8_t* p = source.GetPixelAddress(x, y);
      p[0] = 17, p[1] = 200, p[2] = 255;
    }
  }
  for (const auto& [w, h] : {std::pair{40, 3}, {1, 1}, {6, 30}, {13, 9}}) {
    ASSERT_TRUE(dest.Allocate(quill::kPixelFormat24, {0, 0, w, h}));
    Resample(dest, source);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const uint8_t* p = dest.GetPixelAddress(x, y);
        ASSERT_EQ(p[0], 17);
        ASSERT_EQ(p[1], 200);
        ASSERT_EQ(p[2], 255);
      }
    }
  }
}

TEST(ResamplePixels, EnlargedEdgeIsClampedNotWrapped) {
  // Black then white: the kernel's lobes overshoot both sides of the edge.
  TZelPixelBuffer source, dest;
  ASSERT_TRUE(source.Allocate(quill::kPixelFormat24, {0, 0, 8, 1}));
  for (int x = 4; x < 8; ++x) std::fill_n(source.GetPixelAddress(x, 0), 3, 255);
  ASSERT_TRUE(dest.Allocate(quill::kPixelFormat24, {0, 0, 64, 1}));
  Resample(dest, source);
  EXPECT_EQ(dest.GetPixelAddress(0, 0)[0], 0);
  EXPECT_EQ(dest.GetPixelAddress(63, 0)[0], 255);
  int previous = 0;
  for (int x = 20; x < 44; ++x) {  // across the edge the values only rise
    const int value = dest.GetPixelAddress(x, 0)[0];
    EXPECT_GE(value, previous) << x;
    previous = value;
  }
}

TEST(ResamplePixels, OnePixelWideSourceFillsEveryColumn) {
  TZelPixelBuffer source, dest;
  MakeNoise(source, 1, 6, 7);
  ASSERT_TRUE(dest.Allocate(quill::kPixelFormat24, {0, 0, 9, 6}));
  Resample(dest, source);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 9; ++x) {
      ASSERT_EQ(quill::PackPixel(dest.GetPixelAddress(x, y)), quill::PackPixel(source.GetPixelAddress(0, y)));
    }
  }
}

TEST(ResamplePixels, ClippedPartMatchesTheFullResample) {
  // 20 -> 60 columns with the clip starting at column 10: the reduced-list reach that
  // once read before the intermediate row.
  TZelPixelBuffer source, full, part;
  MakeNoise(source, 20, 11, 3);
  ASSERT_TRUE(full.Allocate(quill::kPixelFormat24, {0, 0, 60, 31}));
  ASSERT_TRUE(part.Allocate(quill::kPixelFormat24, {0, 0, 60, 31}));
  Resample(full, source);
  const quill::TRect clip{10, 5, 37, 20};
  ResamplePixels(part, part.GetBounds(), clip, source, source.GetBounds(), TLanczosResampler());
  EXPECT_TRUE(SamePixels(part, full, clip));
  EXPECT_EQ(quill::PackPixel(part.GetPixelAddress(9, 5)), 0u);   // outside the clip: untouched
  EXPECT_EQ(quill::PackPixel(part.GetPixelAddress(10, 20)), 0u);

  // A reduction clipped the same way.
  TZelPixelBuffer big, small, smallPart;
  MakeNoise(big, 60, 40, 5);
  ASSERT_TRUE(small.Allocate(quill::kPixelFormat24, {0, 0, 20, 13}));
  ASSERT_TRUE(smallPart.Allocate(quill::kPixelFormat24, {0, 0, 20, 13}));
  Resample(small, big);
  ResamplePixels(smallPart, smallPart.GetBounds(), {3, 2, 20, 9}, big, big.GetBounds(),
                 TLanczosResampler());
  EXPECT_TRUE(SamePixels(smallPart, small, {3, 2, 20, 9}));
}

TEST(ResamplePixels, ExtremeReductionAveragesNothingAway) {
  // 3000 columns into 2: far beyond the scale where every weight rounds to 0.
  TZelPixelBuffer source, dest;
  MakeNoise(source, 3000, 2, 11);
  ASSERT_TRUE(dest.Allocate(quill::kPixelFormat24, {0, 0, 2, 2}));
  Resample(dest, source);
  // Each column takes the source column nearest its centre: 749 and 2249.
  EXPECT_EQ(quill::PackPixel(dest.GetPixelAddress(0, 0)), quill::PackPixel(source.GetPixelAddress(749, 0)));
  EXPECT_EQ(quill::PackPixel(dest.GetPixelAddress(1, 1)), quill::PackPixel(source.GetPixelAddress(2249, 1)));
}

TEST(ResamplePixels, RefusesWhatItCannotReadOrWrite) {
  TZelPixelBuffer source, dest, wide;
  MakeNoise(source, 10, 10, 2);
  ASSERT_TRUE(dest.Allocate(quill::kPixelFormat24, {0, 0, 10, 10}));
  ASSERT_TRUE(wide.Allocate(quill::kPixelFormat32, {0, 0, 10, 10}));
  const TLanczosResampler lanczos;
  ResamplePixels(dest, dest.GetBounds(), dest.GetBounds(), source, {5, 5, 15, 15}, lanczos);
  ResamplePixels(wide, wide.GetBounds(), wide.GetBounds(), source, source.GetBounds(), lanczos);
  ResamplePixels(dest, dest.GetBounds(), {20, 20, 30, 30}, source, source.GetBounds(), lanczos);
  EXPECT_EQ(quill::PackPixel(dest.GetPixelAddress(5, 5)), 0u);
  EXPECT_EQ(wide.GetPixelAddress(5, 5)[0], 0);
}

TEST(SizeRoutines, FitAndProportions) {
  int32_t w = 0, h = 0;
  ASSERT_TRUE(ScaleToFit(400, 300, 100, 100, w, h));
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 75);
  ASSERT_TRUE(ScaleToFit(300, 400, 100, 100, w, h));
  EXPECT_EQ(w, 75);
  EXPECT_EQ(h, 100);
  EXPECT_FALSE(ScaleToFit(300, 400, 100, 0, w, h));
  EXPECT_FALSE(ScaleToFit(0, 400, 100, 100, w, h));
  EXPECT_FALSE(ScaleToFit(300, -1, 100, 100, w, h));
  EXPECT_EQ(ProportionalWidth(640, 240, 480), 320);
  EXPECT_EQ(ProportionalHeight(480, 320, 640), 240);
  EXPECT_EQ(ClampInt(7, 0, 5), 5);
  EXPECT_EQ(ClampInt(-7, 0, 5), 0);
}

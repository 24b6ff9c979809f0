#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "SamplePhoto.h"
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

// The resampler as plain per-destination-row loops over the contributor tables: each
// row's sums over its source rows, then each column's sums over those, clamped and
// shifted. The passes under test must give exactly these bytes.
void ReferenceResample(TZelPixels& dest, const quill::TRect& clip, const TZelPixels& source) {
  const TLanczosResampler lanczos;
  const auto columns = BuildContributors(0, dest.Width(), clip.Left, clip.Right, 0, source.Width(), lanczos);
  const auto rows = BuildContributors(0, dest.Height(), clip.Top, clip.Bottom, 0, source.Height(), lanczos);
  std::vector<int32_t> intermediate(static_cast<size_t>(source.Width()) * 3);
  for (int y = clip.Top; y < clip.Bottom; ++y) {
    std::fill(intermediate.begin(), intermediate.end(), 0);
    for (const quill::TContributor& c : rows[static_cast<size_t>(y - clip.Top)]) {
      const uint8_t* from = source.GetScanLine(0, c.Pos);
      for (size_t k = 0; k < intermediate.size(); ++k) intermediate[k] += from[k] * c.Weight;
    }
    uint8_t* to = dest.GetPixelAddress(clip.Left, y);
    for (const quill::TContributorList& list : columns) {
      for (int channel = 0; channel < 3; ++channel, ++to) {
        int32_t sum = 0;
        for (const quill::TContributor& c : list) sum += intermediate[c.Pos * 3 + channel] * c.Weight;
        *to = static_cast<uint8_t>(std::clamp(sum, 0, 255 * 65536) >> 16);
      }
    }
  }
}

// Hard black and white squares of Side pixels: every lobe overshoots both ways.
void MakeSquares(TZelPixelBuffer& image, int width, int height, int side) {
  ASSERT_TRUE(image.Allocate(quill::kPixelFormat24, {0, 0, width, height}));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::fill_n(image.GetPixelAddress(x, y), 3, ((x / side + y / side) % 2) * 255);
    }
  }
}

// Every pass choice resamples Source to Width x Height (within Clip, or all of it when
// Clip is empty) to exactly the reference's bytes.
void ExpectReferenceBytes(const TZelPixels& source, int width, int height, quill::TRect clip = {}) {
  const quill::TRect bounds{0, 0, width, height};
  if (clip.IsEmpty()) clip = bounds;
  TZelPixelBuffer expected, actual;
  ASSERT_TRUE(expected.Allocate(quill::kPixelFormat24, bounds));
  ReferenceResample(expected, clip, source);
  for (const quill::TResamplePasses passes : {quill::TResamplePasses::Fastest, quill::TResamplePasses::Plain}) {

    quill::SetResamplePasses(passes);
    ASSERT_TRUE(actual.Allocate(quill::kPixelFormat24, bounds));
    ResamplePixels(actual, bounds, clip, source, source.GetBounds(), TLanczosResampler());
    quill::SetResamplePasses(quill::TResamplePasses::Fastest);

    ASSERT_TRUE(SamePixels(actual, expected, bounds))
        << source.Width() << "x" << source.Height() << " -> " << width << "x" << height
        << (passes == quill::TResamplePasses::Plain ? " plain" : " fastest");
  }
}

// FNV-1a over Size bytes.
uint64_t Checksum(const void* data, size_t size, uint64_t hash = 14695981039346656037u) {
  for (size_t i = 0; i < size; ++i) hash = (hash ^ static_cast<const uint8_t*>(data)[i]) * 1099511628211u;
  return hash;
}

uint64_t Checksum(const std::vector<quill::TContributorList>& table) {
  uint64_t hash = Checksum(nullptr, 0);
  for (const quill::TContributorList& list : table) {
    hash = Checksum(list.data(), list.size() * sizeof(quill::TContributor), hash);
    hash = Checksum("|", 1, hash);
  }
  return hash;
}

uint64_t Checksum(const TZelPixels& image) {
  uint64_t hash = Checksum(nullptr, 0);
  for (int y = 0; y < image.Height(); ++y) hash = Checksum(image.GetScanLine(0, y), size_t(image.Width()) * 3, hash);
  return hash;
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
  for (int y = 0; y < 31; ++y) std::fill_n(part.GetScanLine(0, y), 60 * 3, 0x5A);
  const quill::TRect clip{10, 5, 37, 20};
  ResamplePixels(part, part.GetBounds(), clip, source, source.GetBounds(), TLanczosResampler());
  EXPECT_TRUE(SamePixels(part, full, clip));
  // Outside the clip, on every side: untouched.
  for (const auto& [x, y] : {std::pair{9, 5}, {37, 19}, {10, 20}, {36, 4}}) {
    EXPECT_EQ(quill::PackPixel(part.GetPixelAddress(x, y)), 0x5A5A5Au) << x << ", " << y;
  }

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

TEST(ResamplePixels, EveryPassGivesTheReferenceBytes) {
  // A real photo down and up at several ratios, odd sizes and one-pixel sides.
  TZelPixelBuffer photo;
  ASSERT_TRUE(quill::LoadSamplePhoto("astronaut.png", photo));
  const int sizes[][2] = {{256, 256}, {171, 113}, {1023, 77}, {37, 700}, {512, 1}, {1, 512},
                          {1, 1},     {5, 3},     {600, 600}, {2, 1000}};
  for (const auto& [w, h] : sizes) ExpectReferenceBytes(photo, w, h);

  // Sources that are thin, tiny or odd-sized, in noise and in hard edges.
  const int sources[][2] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {17, 5}, {31, 47}, {300, 7}};
  for (const auto& [sw, sh] : sources) {
    TZelPixelBuffer noise, squares;
    MakeNoise(noise, sw, sh, static_cast<unsigned>(sw * 31 + sh));
    MakeSquares(squares, sw, sh, 2);
    for (const auto& [w, h] : {std::pair{sw * 3, sh * 2}, {sw / 2 + 1, sh / 3 + 1}, {13, 1}, {1, 13}, {64, 65}}) {
      ExpectReferenceBytes(noise, w, h);
      ExpectReferenceBytes(squares, w, h);
    }
  }

  // Clipped parts, up and down: the intermediate row starts at the first column read.
  TZelPixelBuffer squares;
  MakeSquares(squares, 97, 61, 3);
  ExpectReferenceBytes(squares, 300, 200, {41, 17, 243, 150});
  ExpectReferenceBytes(squares, 40, 25, {39, 0, 40, 25});
  ExpectReferenceBytes(photo, 128, 200, {5, 7, 100, 9});
}

// The tables and the pixels exactly as the resampler made them before it had vector
// passes and a weight cache (checksums recorded then).
TEST(ResamplePixels, SameBytesAsBefore) {
  const struct {
    int Src, Dst, ClipLo, ClipHi;
    uint64_t Expected;
  } tables[] = {
      {6000, 3000, 0, 3000, 4324385467858756771u},
      {4000, 2000, 0, 2000, 9007184513177164419u},
      {6000, 2999, 0, 2999, 9915415955245386871u},
      {512, 1023, 0, 1023, 1453563330561025949u},
      {7, 1000, 0, 1000, 16997613722062531931u},
      {3000, 2, 0, 2, 10729570055178328111u},
      {3000, 1001, 0, 1001, 1215418263845216559u},
      {1000, 7, 0, 7, 7772202945242527283u},
      {100, 99, 0, 99, 3641817511499896270u},
      {2, 3, 0, 3, 11579096232681958104u},
      {640, 427, 100, 300, 13771745558930865198u},
      {5000, 3, 1, 2, 9224872939912415702u},
  };
  for (const auto& t : tables) {
    EXPECT_EQ(Checksum(BuildContributors(0, t.Dst, t.ClipLo, t.ClipHi, 0, t.Src, TLanczosResampler())), t.Expected)
        << t.Src << " -> " << t.Dst;
  }

  TZelPixelBuffer photo, wires;
  ASSERT_TRUE(quill::LoadSamplePhoto("astronaut.png", photo));
  ASSERT_TRUE(quill::LoadSamplePhoto("astronaut-wire.png", wires));
  const struct {
    const TZelPixels& Source;
    int Width, Height;
    uint64_t Expected;
  } images[] = {
      {photo, 256, 256, 14743466215640292311u},
      {photo, 1024, 1536, 3492896842905264639u},
      {photo, 171, 113, 18271784876001849650u},
      {photo, 1023, 77, 250742770210479083u},
      {photo, 37, 700, 6377675066440257992u},
      {photo, 512, 1, 9845121592488603935u},
      {photo, 1, 512, 9361053293901806876u},
      {photo, 1, 1, 2205745775195072206u},
      {wires, 600, 599, 5217799915304393839u},
      {wires, 3, 2, 6837881479753415422u},
      {wires, 333, 1000, 8895623401670460765u},
  };
  for (const auto& image : images) {
    TZelPixelBuffer dest;
    ASSERT_TRUE(dest.Allocate(quill::kPixelFormat24, {0, 0, image.Width, image.Height}));
    Resample(dest, image.Source);
    EXPECT_EQ(Checksum(dest), image.Expected) << image.Width << "x" << image.Height;
  }
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

#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "BorderArea8.h"
#include "ColorVector.h"
#include "Correlator.h"

TEST(Correlator, NoSpreadGivesZero) {
  TCorrelator c;
  EXPECT_EQ(c.Coefficient(), 0);
  c.Add(3, 1);
  EXPECT_EQ(c.Coefficient(), 0);
  c.Add(3, 2);
  c.Add(3, 7);
  EXPECT_EQ(c.Coefficient(), 0) << "X never varies";
}

TEST(Correlator, PerfectLinesGiveOneAndMinusOne) {
  TCorrelator c;
  c.Add(1, 2);
  c.Add(2, 4);
  c.Add(3, 6);
  EXPECT_EQ(c.Coefficient(), 1);
  c.Reset();
  c.Add(1, 6);
  c.Add(2, 4);
  c.Add(3, 2);
  EXPECT_EQ(c.Coefficient(), -1);
  EXPECT_EQ(c.Count(), 3);
}

TEST(Correlator, NearlyConstantRealsNeverGiveNotANumber) {
  // Rounding makes n Sxx - Sx^2 slightly negative for five equal Xs of 0.7.
  TCorrelator c;
  for (int i = 0; i < 5; ++i) c.Add(0.7, i);
  EXPECT_EQ(c.Coefficient(), 0);
}

TEST(ColorVector, KeepsTheChannelOrder) {
  quill::TColorVector v;
  PackedColorToVector(0x00102030, v);  // R 0x10, G 0x20, B 0x30
  EXPECT_EQ(v, (quill::TColorVector{48, 32, 16}));
  quill::TColorVector half;
  ScaleVector(v, half, 0.5);
  EXPECT_EQ(half, (quill::TColorVector{24, 16, 8}));

  TZelRGB pixel;
  RGBToPixel(1, 2, 3, pixel);
  EXPECT_EQ(pixel, (TZelRGB{3, 2, 1}));
  EXPECT_TRUE(SameColor(0x10, 0x20, 0x30, 0xFF102030));
  EXPECT_FALSE(SameColor(0x30, 0x20, 0x10, 0x00102030));
  EXPECT_TRUE(SamePackedColor(0x01102030, 0x02102030)) << "bits 24-31 are ignored";
}

TEST(BorderArea8, VariantsMapTheAreaOntoTheSourceRegion) {
  // Each variant must be a one-to-one map of the W x H area onto the source region:
  // W x H for orientations 0, 1, 4, 5 and H x W for the others.
  const int w = 5, h = 3;
  TBorderArea8 list({10, 20, 10 + w, 20 + h});
  for (int x = 0; x < w; ++x) {
    for (int y = 0; y < h; ++y) list.Add(x, y);
  }
  ASSERT_EQ(list.Count(), w * h);
  for (int k = 0; k < 8; ++k) {
    const bool turned = k == 2 || k == 3 || k == 6 || k == 7;
    std::set<std::pair<int, int>> seen;
    for (int i = 0; i < list.Count(); ++i) {
      const quill::TPoint v = list.Variant(i, static_cast<uint8_t>(k));
      EXPECT_TRUE(v.X >= 0 && v.X < (turned ? h : w) && v.Y >= 0 && v.Y < (turned ? w : h))
          << "orientation " << k;
      seen.insert({v.X, v.Y});
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(w * h)) << "orientation " << k;
  }
  EXPECT_EQ(list.Variant(list.IndexOf(14, 20), 0), (quill::TPoint{4, 0})) << "variant 0 is the area position";
}

TEST(BorderArea8, GrowsByBlocksAndKeepsItsRecords) {
  TBorderArea8 list({0, 0, 40, 40});
  EXPECT_EQ(list.Capacity(), 512);
  EXPECT_EQ(list.IndexOf(0, 0), -1) << "empty list";
  for (int i = 0; i < 513; ++i) list.Add(i % 40, i / 40);
  EXPECT_EQ(list.Capacity(), 1024);
  for (int i = 0; i < 513; ++i) {
    ASSERT_EQ(list.Record(i).Position, (quill::TPoint{i % 40, i / 40}));
    ASSERT_EQ(list.IndexOf(i % 40, i / 40), i);
  }
  EXPECT_TRUE(list.Contains(0, 0)) << "the first record";
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 1024);
  EXPECT_FALSE(list.Contains(0, 0));
}

TEST(BorderArea8, ReservesWholeBlocksOnceAndNeverShrinks) {
  TBorderArea8 list({0, 0, 40, 40});
  list.Reserve(513);
  EXPECT_EQ(list.Capacity(), 1024);
  for (int i = 0; i < 1024; ++i) list.Add(i % 40, i / 40);
  EXPECT_EQ(list.Capacity(), 1024) << "the reserved room takes the records without growing";
  EXPECT_EQ(list.IndexOf(23, 25), 1023);
  list.Reserve(10);
  EXPECT_EQ(list.Capacity(), 1024);
  EXPECT_EQ(list.Count(), 1024);
}

TEST(BorderArea8, PointsOutsideTheAreaAreNotAdded) {
  TBorderArea8 list({0, 0, 4, 4});
  list.Add(-1, 0);
  list.Add(4, 0);
  list.Add(0, 4);
  EXPECT_EQ(list.Count(), 0);
  TBorderArea8 reversed({5, 5, 2, 2});
  reversed.Add(0, 0);
  EXPECT_EQ(reversed.Count(), 0);
  EXPECT_EQ(reversed.IndexOf(5, 5), -1);
}

TEST(BorderArea8, LookupsFindTheFirstRecordAtAPosition) {
  TBorderArea8 list({0, 0, 4, 4});
  list.Add(1, 1);
  list.Add(2, 2);
  list.Add(1, 1);  // a second record at the same place
  EXPECT_EQ(list.IndexOf(1, 1), 0);
  list.SetExcluded(0, 1);
  list.Pack();
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.IndexOf(2, 2), 0);
  EXPECT_EQ(list.IndexOf(1, 1), 1) << "the later duplicate is now the first";
}

TEST(BorderArea8, PackKeepsTheOrderOfTheOthers) {
  TBorderArea8 list({0, 0, 8, 1});
  for (int x = 0; x < 8; ++x) list.Add(x, 0);
  list.Pack();
  EXPECT_EQ(list.Count(), 8) << "nothing excluded";
  list.SetExcluded(0, 1);
  list.SetExcluded(3, 2);
  list.SetExcluded(7, 1);
  list.SetExcluded(8, 1);  // beyond the count: ignored
  list.Pack();
  ASSERT_EQ(list.Count(), 5);
  const int kept[] = {1, 2, 4, 5, 6};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(list.Record(i).Position.X, kept[i]);
    EXPECT_EQ(list.GetExcluded(i), 0);
    EXPECT_EQ(list.IndexOf(kept[i], 0), i);
  }
  EXPECT_EQ(list.IndexOf(0, 0), -1);
  EXPECT_EQ(list.IndexOf(3, 0), -1);
}

TEST(BorderArea8, ContactWeights) {
  // A 5 x 5 square whose outer ring is the rim list O and whose inner 3 x 3 is L.
  const quill::TRect area{0, 0, 5, 5};
  TBorderArea8 rim(area), inner(area);
  for (int x = 0; x < 5; ++x) {
    for (int y = 0; y < 5; ++y) {
      const bool ring = x == 0 || y == 0 || x == 4 || y == 4;
      (ring ? rim : inner).Add(x, y);
    }
  }
  inner.ComputeWeights(rim);
  const auto at = [&](int x, int y) { return inner.IndexOf(x, y); };
  // The corner (1, 1) touches 5 rim pixels: edges (0, 1) and (1, 0), diagonals
  // (0, 0), (0, 2), (2, 0).
  EXPECT_EQ(inner.GetBorderWeight(at(1, 1)), 2 + 2 + 1 + 1 + 1);
  // Its only inner neighbour off the rim is the centre, a diagonal.
  EXPECT_EQ(inner.GetInnerWeight(at(1, 1)), 1);
  // The edge middle (2, 1) touches (1, 0), (2, 0), (3, 0) and gains the centre below.
  EXPECT_EQ(inner.GetBorderWeight(at(2, 1)), 1 + 2 + 1);
  EXPECT_EQ(inner.GetInnerWeight(at(2, 1)), 2);
  // The centre touches no rim pixel and keeps inner weight 0.
  EXPECT_FALSE(inner.TouchesBorder(at(2, 2)));
  EXPECT_EQ(inner.GetInnerWeight(at(2, 2)), 0);

  // A pixel enclosed by O on all 8 sides.
  TBorderArea8 one(area), around(area);
  one.Add(2, 2);
  for (int x = 1; x <= 3; ++x) {
    for (int y = 1; y <= 3; ++y) {
      if (x != 2 || y != 2) around.Add(x, y);
    }
  }
  one.ComputeWeights(around);
  EXPECT_EQ(one.GetBorderWeight(0), 12);
  EXPECT_EQ(one.GetInnerWeight(0), 0);
}

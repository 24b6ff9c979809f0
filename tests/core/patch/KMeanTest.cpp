#include <gtest/gtest.h>

#include "KMean.h"

namespace {

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;

}  // namespace

TEST(KMean, CountsRepeatedColours) {
  TKMean k(4, 1);
  for (int i = 0; i < 5; ++i) k.AddColor(0x12345678);  // bits 24-31 are dropped
  k.AddColor(0x00345679);
  ASSERT_EQ(k.ColorCount(), 2);
  const quill::TKMeanColor first = k.GetColor(0);
  EXPECT_EQ(first.Color, (TZelRGB{0x78, 0x56, 0x34}));
  EXPECT_EQ(first.Count, 5);
  EXPECT_EQ(first.Cluster, 0);
  EXPECT_EQ(k.IndexOfColor(0x345679), 1);
  EXPECT_EQ(k.IndexOfColor(0x345670), -1);
}

TEST(KMean, HoldsMoreThanSixteenBitsOfColours) {
  // Lists start at capacity 0 and still grow; 70000 distinct colours keep their own
  // records and counts.
  TKMean k(0, 0);
  for (uint32_t c = 0; c < 70000; ++c) k.AddColor(c * 239);
  k.AddColor(69999 * 239);
  ASSERT_EQ(k.ColorCount(), 70000);
  EXPECT_EQ(k.GetColor(69999).Count, 2);
  EXPECT_EQ(k.GetColor(65535).Count, 1);
  EXPECT_EQ(k.IndexOfColor(65535 * 239), 65535);
  k.AddCentroid(true, kBlack);
  k.AddCentroid(false, kWhite);
  EXPECT_EQ(k.CentroidCount(), 2);
}

TEST(KMean, SplitsAMinorityColour) {
  TKMean k(2, 2);
  for (int i = 0; i < 9; ++i) k.AddColor(kBlack);
  k.AddColor(kWhite);
  k.AddCentroid(true, kBlack);
  k.AddCentroid(true, kWhite);
  EXPECT_EQ(k.Iterate(), 1) << "white leaves cluster 0";
  EXPECT_EQ(k.Iterate(), 0);
  EXPECT_EQ(k.GetCentroid(0).Total, 9);
  EXPECT_EQ(k.GetCentroid(1).Total, 1);
  EXPECT_EQ(k.GetColor(1).Cluster, 1);
}

TEST(KMean, WeightedDistanceScalesWithTheCount) {
  TKMean k(1, 1);
  for (int i = 0; i < 3; ++i) k.AddColor(0x000304);  // B 4, G 3
  k.AddCentroid(true, kBlack);
  EXPECT_DOUBLE_EQ(k.WeightedDistance(0, 0), 15);
}

TEST(KMean, TiesKeepTheColourWhereItIs) {
  // Grey 100 lies halfway between 0 and 200, so it stays in cluster 0.
  TKMean k(2, 2);
  k.AddColor(0x646464);
  k.AddCentroid(false, kBlack);
  k.AddCentroid(false, 0xC8C8C8);
  EXPECT_EQ(k.Iterate(), 0);
  EXPECT_EQ(k.GetColor(0).Cluster, 0);
}

TEST(KMean, CentresMoveOnlyWhenMovableAndNotEmpty) {
  TKMean k(3, 3);
  k.AddColor(0x0A0A0A);
  k.AddColor(0x141414);
  k.AddColor(0xF0F0F0);
  k.AddCentroid(true, kBlack);    // will take the two dark greys
  k.AddCentroid(false, kWhite);   // fixed: takes 240 but stays at 255
  k.AddCentroid(true, 0x808080);  // loses everything
  EXPECT_EQ(k.Iterate(), 1);
  EXPECT_EQ(k.GetCentroid(0).Centre, (quill::TColorVector{15, 15, 15}));
  EXPECT_EQ(k.GetCentroid(0).Total, 2);
  EXPECT_EQ(k.GetCentroid(1).Centre, (quill::TColorVector{255, 255, 255}));
  EXPECT_EQ(k.GetCentroid(1).Total, 1);
  EXPECT_EQ(k.GetCentroid(2).Centre, (quill::TColorVector{128, 128, 128}));
  EXPECT_EQ(k.GetCentroid(2).Total, 0);
}

TEST(KMean, IterateWithoutCentroidsDoesNothing) {
  TKMean k(1, 0);
  k.AddColor(kWhite);
  EXPECT_EQ(k.Iterate(), 0);
  EXPECT_EQ(k.GetCentroid(0).Total, 0) << "an index out of range gives an empty record";
}

// The colour-correction curve's tables and the brightness and contrast tool's pixel
// passes: the automatic levels and the table application.

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "LevelTable.h"
#include "ZelBitmap.h"
#include "ZelColorCorrection.h"
#include "ZelProperties.h"

namespace {

std::vector<uint16_t> Table(quill::TPoint p0, quill::TPoint p1, int32_t max = 255) {
  TZelPointList points;
  points.Add(p0);
  points.Add(p1);
  std::vector<uint16_t> table;
  EXPECT_EQ(BuildLookupTable(points, max, table), S_OK);
  return table;
}

TEST(ColorCorrection, LinesThroughTwoPointsGiveClampedRoundedTables) {
  const std::vector<uint16_t> identity = Table({0, 0}, {255, 255});
  ASSERT_EQ(identity.size(), 256u);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(identity[i], i);

  const std::vector<uint16_t> shifted = Table({-20, 0}, {235, 255});
  for (int i = 0; i < 256; ++i) EXPECT_EQ(shifted[i], i <= 235 ? i + 20 : 255) << i;

  const std::vector<uint16_t> steep = Table({10, 0}, {245, 255});
  EXPECT_EQ(steep[10], 0);
  EXPECT_EQ(steep[0], 0);
  EXPECT_EQ(steep[128], 128);
  EXPECT_EQ(steep[245], 255);
  EXPECT_EQ(steep[255], 255);

  const std::vector<uint16_t> compressed = Table({0, 10}, {255, 245});
  EXPECT_EQ(compressed[0], 10);
  EXPECT_EQ(compressed[255], 245);

  // 0.5 and 1.5 on the line y = x / 2: halves go to the even neighbour.
  const std::vector<uint16_t> halves = Table({0, 0}, {2, 1}, 10);
  EXPECT_EQ(halves[1], 0);
  EXPECT_EQ(halves[3], 2);

  // A vertical line renders nothing.
  EXPECT_EQ(Table({7, 0}, {7, 255}), std::vector<uint16_t>(256, 0));
}

TEST(ColorCorrection, AnythingButTwoPointsFailsWithAnEmptyTable) {
  for (int count : {0, 1, 3}) {
    TZelPointList points;
    for (int i = 0; i < count; ++i) points.Add({i * 100, i * 100});
    std::vector<uint16_t> table(5, 1);
    EXPECT_EQ(BuildLookupTable(points, 255, table), E_FAIL) << count;
    EXPECT_TRUE(table.empty());
  }
}

// A 24-bit picture over Bytes, Width pixels a row, no padding.
TZelPixels Picture(std::vector<uint8_t>& bytes, int32_t width, int32_t height) {
  TZelPixels pixels;
  pixels.Attach({0, 0, width, height}, bytes.data(), width * 3, quill::kPixelFormat24);
  return pixels;
}

quill::TAutoLevels LevelsOf(std::vector<uint8_t> rgb) {
  // Given as R, G, B; stored as B, G, R.
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) std::swap(rgb[i], rgb[i + 2]);
  return quill::FindAutoLevels(Picture(rgb, static_cast<int32_t>(rgb.size() / 3), 1));
}

TEST(LevelTable, AutoLevelsAreRunningValuesAndAFlatImageKeepsTheIdentity) {
  quill::TAutoLevels levels = LevelsOf({10, 20, 30, 240, 250, 200});
  EXPECT_EQ(levels.Min, 10);
  EXPECT_EQ(levels.Max, 250);
  levels = LevelsOf({200, 5, 200, 10, 20, 30});
  EXPECT_EQ(levels.Min, 5);
  levels = LevelsOf({0, 0, 0, 255, 255, 255});
  EXPECT_EQ(levels.Min, 0);
  EXPECT_EQ(levels.Max, 255);
  // One grey level would give a vertical line and an all-black table.
  levels = LevelsOf({90, 90, 90, 90, 90, 90});
  EXPECT_EQ(levels.Min, 0);
  EXPECT_EQ(levels.Max, 255);
}

TEST(LevelTable, EveryByteOfTheRectangleIsMappedWhateverTheRowLength) {
  std::mt19937 random(3);
  quill::TLevelTable table;
  for (uint8_t& entry : table) entry = static_cast<uint8_t>(random());
  // Rows of 1 to 70 pixels cover the wide steps, their tails, and rows below one step;
  // the last picture is large enough to be written past the cache.
  std::vector<std::pair<int32_t, int32_t>> sizes;
  for (int32_t width = 1; width <= 70; ++width) sizes.emplace_back(width, 4);
  sizes.emplace_back(1800, 1200);
  for (const auto& [width, height] : sizes) {
    std::vector<uint8_t> source(static_cast<size_t>(width) * 3 * height);
    for (uint8_t& byte : source) byte = static_cast<uint8_t>(random());
    std::vector<uint8_t> dest(source.size(), 7);
    TZelPixels from = Picture(source, width, height);
    TZelPixels to = Picture(dest, width, height);
    const quill::TRect rect{width / 3, 1, width, height - 1};
    quill::ApplyLevelTable(from, to, rect, table);
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x) {
        for (int c = 0; c < 3; ++c) {
          const size_t i = (static_cast<size_t>(y) * width + x) * 3 + c;
          const uint8_t expected = rect.Contains(x, y) ? table[source[i]] : 7;
          ASSERT_EQ(dest[i], expected) << width << " " << x << " " << y;
        }
      }
    }
  }
}

}  // namespace

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "JpegHuffmanCounts.h"

namespace {

// Whole-image arrays of one or more components, each block zero but what a test sets.
struct TArrays {
  std::vector<quill::TJpegScanComponent> Components;
  std::vector<std::vector<JBLOCK>> Blocks;

  void Add(int h, int v, int64_t across, int64_t down) {
    Components.push_back({h, v, across, down});
    Blocks.emplace_back(static_cast<size_t>(across * down));
    for (JBLOCK& block : Blocks.back()) std::fill(std::begin(block), std::end(block), JCOEF{0});
  }
  JCOEF* Block(size_t c, int64_t x, int64_t y) { return Blocks[c][static_cast<size_t>(y * Components[c].BlocksAcross + x)]; }
  bool Count(quill::TJpegHuffmanCounts& counts) {
    return quill::CountHuffmanSymbols(
        Components,
        [this](size_t c, int64_t row) -> const JBLOCK* {
          return Blocks[c].data() + row * Components[c].BlocksAcross;
        },
        counts);
  }
};

// The symbols that occurred, with their counts.
std::map<int, long> Occurred(const std::array<long, 257>& counts) {
  std::map<int, long> occurred;
  for (int s = 0; s < 257; ++s) {
    if (counts[static_cast<size_t>(s)] != 0) occurred[s] = counts[static_cast<size_t>(s)];
  }
  return occurred;
}

TEST(JpegHuffmanCounts, AcSymbolsFollowTheZigzagOrderWithLongRunsSplit) {
  TArrays arrays;
  arrays.Add(1, 1, 2, 1);
  // Block 0: natural 1 (zigzag 1) and natural 63 (zigzag 63): 61 zeros between them are
  // three runs of 16 and a run of 13, and no end of block after the last coefficient.
  arrays.Block(0, 0, 0)[1] = 5;
  arrays.Block(0, 0, 0)[63] = -1;
  // Block 1: natural 8 is zigzag 2, after a run of one zero; then an end of block.
  arrays.Block(0, 1, 0)[8] = 1;
  quill::TJpegHuffmanCounts counts;
  ASSERT_TRUE(arrays.Count(counts));
  EXPECT_EQ(Occurred(counts.Ac[0]), (std::map<int, long>{{0x00, 1}, {0x03, 1}, {0xF0, 3}, {0xD1, 1}, {0x11, 1}}));
  EXPECT_EQ(Occurred(counts.Dc[0]), (std::map<int, long>{{0, 2}}));
}

// A 4:2:0 scan of 3 x 3 luma blocks: 2 x 2 MCUs, whose luma is padded with blocks that
// repeat the DC before them. Luma block (X, Y) has the DC 3 Y + X; in MCU order the
// DCs run 0 1 3 4 | 2 (2) 5 (5) | 6 7 (7) (7) | 8 (8) (8) (8).
TEST(JpegHuffmanCounts, InterleavedBlocksAreCountedInMcuOrderWithThePadding) {
  TArrays arrays;
  arrays.Add(2, 2, 3, 3);
  arrays.Add(1, 1, 2, 2);
  arrays.Add(1, 1, 2, 2);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) arrays.Block(0, x, y)[0] = static_cast<JCOEF>(3 * y + x);
  }
  arrays.Block(1, 1, 1)[0] = -3;
  quill::TJpegHuffmanCounts counts;
  ASSERT_TRUE(arrays.Count(counts));
  EXPECT_EQ(Occurred(counts.Dc[0]), (std::map<int, long>{{0, 8}, {1, 5}, {2, 3}}));
  EXPECT_EQ(Occurred(counts.Ac[0]), (std::map<int, long>{{0, 16}}));
  EXPECT_EQ(Occurred(counts.Dc[1]), (std::map<int, long>{{0, 3}, {2, 1}}));
  EXPECT_EQ(Occurred(counts.Dc[2]), (std::map<int, long>{{0, 4}}));
}

TEST(JpegHuffmanCounts, RefusesWhatAnEightBitScanCannotHold) {
  struct TCase {
    int Natural;
    JCOEF First, Second;
    bool Fits;
  };
  // DC differences up to 11 bits, AC values up to 10.
  for (const TCase& test : {TCase{0, 2047, 0, true}, TCase{0, 1024, -1024, false}, TCase{0, -2048, 0, false},
                            TCase{5, 1023, -1023, true}, TCase{5, 0, -1024, false}, TCase{63, 1024, 0, false}}) {
    SCOPED_TRACE(testing::Message() << test.Natural << ": " << test.First << ", " << test.Second);
    TArrays arrays;
    arrays.Add(1, 1, 2, 1);
    arrays.Block(0, 0, 0)[test.Natural] = test.First;
    arrays.Block(0, 1, 0)[test.Natural] = test.Second;
    quill::TJpegHuffmanCounts counts;
    EXPECT_EQ(arrays.Count(counts), test.Fits);
  }
}

TEST(JpegHuffmanCounts, AMissingRowFailsTheCount) {
  TArrays arrays;
  arrays.Add(1, 1, 2, 2);
  quill::TJpegHuffmanCounts counts;
  EXPECT_FALSE(quill::CountHuffmanSymbols(
      arrays.Components, [](size_t, int64_t) -> const JBLOCK* { return nullptr; }, counts));
}

}  // namespace

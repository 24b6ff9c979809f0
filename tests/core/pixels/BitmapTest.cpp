#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "ZelBitmap.h"

namespace {

// Fills every pixel of a 24-bit view with bytes derived from its position.
void Paint(TZelPixels& view) {
  const quill::TRect b = view.GetBounds();
  for (int y = b.Top; y < b.Bottom; ++y) {
    for (int x = b.Left; x < b.Right; ++x) {
      uint8_t* p = view.GetPixelAddress(x, y);
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[2] = 0x5A;
    }
  }
}

bool PixelIs(const TZelPixels& view, int x, int y, uint8_t b, uint8_t g, uint8_t r) {
  const uint8_t* p = view.GetPixelAddress(x, y);
  return p[0] == b && p[1] == g && p[2] == r;
}

}  // namespace

TEST(PixelFormatBits, FollowsTheFieldRules) {
  EXPECT_EQ(PixelFormatBits(4114), 24);
  EXPECT_EQ(PixelFormatBits(4370), 32);
  EXPECT_EQ(PixelFormatBits(1), 8);
  EXPECT_EQ(PixelFormatBits(0), 0);
  EXPECT_EQ(PixelFormatBits(9), 0);
  EXPECT_EQ(PixelFormatBits(0x0122), 64);
  EXPECT_EQ(PixelFormatBits(0x0146), 160);  // (32 + 8) * 4
  EXPECT_EQ(PixelFormatBits(0x0156), 40);   // multiplier field 5 leaves it alone
}

TEST(PixelBuffer, StrideIsPaddedToFourBytes) {
  TZelPixelBuffer buffer;
  for (auto [width, stride] : {std::pair{1, 4}, {3, 12}, {5, 16}, {4, 12}}) {
    ASSERT_TRUE(buffer.Allocate(quill::kPixelFormat24, {0, 0, width, 2}));
    EXPECT_EQ(buffer.Stride(), stride) << "width " << width;
    EXPECT_EQ(buffer.BytesPerPixel(), 3);
  }
}

TEST(PixelBuffer, EmptyExtentsHaveNoBlock) {
  TZelPixelBuffer buffer;
  ASSERT_TRUE(buffer.Allocate(quill::kPixelFormat24, {2, 2, 2, 9}));
  EXPECT_EQ(buffer.Bits(), nullptr);
  EXPECT_EQ(buffer.Stride(), 0);
  ASSERT_TRUE(buffer.SetBounds({0, 0, 5, 0}));
  EXPECT_EQ(buffer.Bits(), nullptr);
  EXPECT_EQ(buffer.Stride(), 16);
  // A reversed rectangle counts as zero-sized, never negative.
  ASSERT_TRUE(buffer.SetBounds({10, 10, 4, 3}));
  EXPECT_EQ(buffer.Width(), 0);
  EXPECT_EQ(buffer.Height(), 0);
  EXPECT_EQ(buffer.Bits(), nullptr);
}

TEST(PixelBuffer, SameBoundsKeepTheBlockAndContent) {
  TZelPixelBuffer buffer;
  ASSERT_TRUE(buffer.Allocate(quill::kPixelFormat24, {0, 0, 4, 4}));
  Paint(buffer);
  uint8_t* block = buffer.Bits();
  ASSERT_TRUE(buffer.SetBounds({0, 0, 4, 4}));
  EXPECT_EQ(buffer.Bits(), block);
  EXPECT_TRUE(PixelIs(buffer, 3, 2, 3, 2, 0x5A));
  // New bounds give a new zero-filled block.
  ASSERT_TRUE(buffer.SetBounds({1, 1, 5, 5}));
  EXPECT_TRUE(PixelIs(buffer, 3, 2, 0, 0, 0));
}

TEST(PixelBuffer, ChangingTheFormatReallocatesForTheSameRectangle) {
  TZelPixelBuffer buffer;
  ASSERT_TRUE(buffer.Allocate(quill::kPixelFormat24, {0, 0, 3, 3}));
  ASSERT_TRUE(buffer.Allocate(quill::kPixelFormat32, {0, 0, 3, 3}));
  EXPECT_EQ(buffer.Stride(), 12);
  EXPECT_EQ(buffer.BytesPerPixel(), 4);
  // Every byte of the larger block is there (ASan reports an overrun otherwise).
  std::memset(buffer.Bits(), 7, static_cast<size_t>(buffer.Stride()) * 3);
}

TEST(PixelBuffer, FailedAllocationLeavesAnEmptyBuffer) {
  TZelPixelBuffer buffer;
  ASSERT_TRUE(buffer.Allocate(quill::kPixelFormat24, {0, 0, 4, 4}));
  // 2^31 - 1 columns: a stride beyond 32 bits cannot be had.
  EXPECT_FALSE(buffer.SetBounds({0, 0, INT32_MAX, 4}));
  EXPECT_EQ(buffer.GetBounds(), quill::TRect{});
  EXPECT_EQ(buffer.Bits(), nullptr);
  TZelPixelBuffer source;
  ASSERT_TRUE(source.Allocate(quill::kPixelFormat24, {0, 0, 4, 4}));
  buffer.CopyFrom(source);  // a no-op, not a write through a null block
  source.CopyFrom(buffer);
}

TEST(PixelBuffer, RefusesExtentsAndBlocksBeyondTheLimits) {
  TZelPixelBuffer buffer;
  // 2^32 - 1 rows of one pixel: the height does not fit the buffer's fields, and the
  // block would be 17 GB.
  EXPECT_FALSE(buffer.Allocate(quill::kPixelFormat24, {0, INT32_MIN, 1, INT32_MAX}));
  EXPECT_EQ(buffer.GetBounds(), quill::TRect{});
  EXPECT_EQ(buffer.Bits(), nullptr);
  // 65536 x 65536 at 24 bits: 12 GiB, more than any image of the program needs.
  EXPECT_FALSE(buffer.Allocate(quill::kPixelFormat24, {0, 0, 65536, 65536}));
  EXPECT_EQ(buffer.Bits(), nullptr);
  const quill::TRect corner{INT32_MAX - 2, INT32_MIN, INT32_MAX, INT32_MIN + 2};
  EXPECT_TRUE(buffer.Allocate(quill::kPixelFormat24, corner));
  EXPECT_EQ(buffer.GetBounds(), corner);
}

TEST(CopyRect, CopiesBetweenViewsAtOppositeEndsOfThePlane) {
  TZelPixelBuffer source, dest;
  ASSERT_TRUE(source.Allocate(quill::kPixelFormat24, {INT32_MIN, 0, INT32_MIN + 4, 4}));
  ASSERT_TRUE(dest.Allocate(quill::kPixelFormat24, {INT32_MAX - 4, 0, INT32_MAX, 4}));
  Paint(source);
  // The shift from source to destination is beyond 32 bits; the source's last two
  // columns would land past INT32_MAX and are cut off.
  dest.CopyRect(INT32_MAX - 2, 1, source, source.GetBounds());
  EXPECT_TRUE(PixelIs(dest, INT32_MAX - 2, 1, 0, 0, 0x5A));  // source (INT32_MIN, 0)
  EXPECT_TRUE(PixelIs(dest, INT32_MAX - 1, 3, 1, 2, 0x5A));  // source (INT32_MIN + 1, 2)
  EXPECT_TRUE(PixelIs(dest, INT32_MAX - 3, 1, 0, 0, 0));
  EXPECT_TRUE(PixelIs(dest, INT32_MAX - 2, 0, 0, 0, 0));
}

TEST(PixelBuffer, FreeBitsKeepsTheFormat) {
  TZelPixelBuffer buffer;
  ASSERT_TRUE(buffer.Allocate(quill::kPixelFormat24, {3, 4, 9, 9}));
  buffer.FreeBits();
  EXPECT_EQ(buffer.GetBounds(), quill::TRect{});
  EXPECT_EQ(buffer.Stride(), 0);
  EXPECT_EQ(buffer.PixelFormat(), quill::kPixelFormat24);
}

TEST(CopyRect, ClipsToBothViewsAtTheRightOffset) {
  TZelPixelBuffer source, dest;
  ASSERT_TRUE(source.Allocate(quill::kPixelFormat24, {0, 0, 8, 8}));
  ASSERT_TRUE(dest.Allocate(quill::kPixelFormat24, {10, 10, 16, 16}));
  Paint(source);
  // SourceRect reaches past the source's left and top; the copy lands so that
  // (-2, -2) would go to (9, 9): only the part inside both views arrives.
  dest.CopyRect(9, 9, source, {-2, -2, 6, 6});
  EXPECT_TRUE(PixelIs(dest, 11, 11, 0, 0, 0x5A));
  EXPECT_TRUE(PixelIs(dest, 15, 15, 4, 4, 0x5A));
  EXPECT_TRUE(PixelIs(dest, 10, 10, 0, 0, 0));  // maps to source (-1, -1): untouched
  EXPECT_TRUE(PixelIs(dest, 10, 15, 0, 0, 0));
}

TEST(CopyRect, DisjointOrMismatchedCopiesNothing) {
  TZelPixelBuffer source, dest, wide;
  ASSERT_TRUE(source.Allocate(quill::kPixelFormat24, {0, 0, 4, 4}));
  ASSERT_TRUE(dest.Allocate(quill::kPixelFormat24, {0, 0, 4, 4}));
  ASSERT_TRUE(wide.Allocate(quill::kPixelFormat32, {0, 0, 4, 4}));
  Paint(source);
  dest.CopyRect(100, 100, source, {0, 0, 4, 4});
  dest.CopyFrom(wide);
  wide.CopyFrom(source);
  EXPECT_TRUE(PixelIs(dest, 3, 3, 0, 0, 0));
  EXPECT_EQ(wide.GetPixelAddress(3, 3)[0], 0);
}

TEST(CopyFrom, CopiesTheOverlapAtTheSameCoordinates) {
  TZelPixelBuffer source;
  ASSERT_TRUE(source.Allocate(quill::kPixelFormat24, {0, 0, 10, 10}));
  Paint(source);
  // An attached view with an odd stride over memory the test owns.
  std::vector<uint8_t> memory(7 * 4, 0);
  TZelPixels view;
  view.Attach({8, 8, 10, 12}, memory.data(), 7, quill::kPixelFormat24);
  EXPECT_EQ(view.Width(), 2);
  view.CopyFrom(source);
  EXPECT_TRUE(PixelIs(view, 9, 9, 9, 9, 0x5A));
  EXPECT_EQ(memory[2 * 7 + 0], 0);  // (8, 10) is outside the source
}

TEST(PixelMask, NegativeSizesCountAsZero) {
  TZelPixelMask mask;
  mask.SetBounds(0, 0, -3, 5);
  EXPECT_EQ(mask.Width(), 0);
  EXPECT_EQ(mask.Height(), 5);
  EXPECT_TRUE(mask.IsEmpty());
  EXPECT_EQ(mask.GetPixelAddress(0, 0), nullptr);
  EXPECT_EQ(mask.GetPixelAddress(-1, 2), nullptr);
}

TEST(PixelMask, AddressesOnlyInsideItsRectangle) {
  TZelPixelMask mask;
  mask.SetBounds(5, 6, 3, 2);
  ASSERT_NE(mask.GetPixelAddress(5, 6), nullptr);
  EXPECT_EQ(mask.GetPixelAddress(7, 7) - mask.GetPixelAddress(5, 6), 5);
  EXPECT_EQ(mask.GetPixelAddress(8, 6), nullptr);
  EXPECT_EQ(mask.GetPixelAddress(5, 8), nullptr);
  EXPECT_EQ(mask.GetPixelAddress(4, 6), nullptr);
  mask.MoveTo(0, 0);
  EXPECT_NE(mask.GetPixelAddress(0, 0), nullptr);
  EXPECT_EQ(mask.GetPixelAddress(5, 6), nullptr);
}

TEST(PixelMask, IncludeGrowsAndKeepsBytesInPlace) {
  TZelPixelMask mask;
  mask.SetBounds(10, 10, 2, 2);
  *mask.GetPixelAddress(11, 11) = 9;
  mask.Include({11, 11, 12, 12});  // inside: nothing changes
  EXPECT_EQ(mask.GetBounds(), (quill::TRect{10, 10, 12, 12}));
  mask.Include({5, 8, 11, 11});
  EXPECT_EQ(mask.GetBounds(), (quill::TRect{5, 8, 12, 12}));
  EXPECT_EQ(*mask.GetPixelAddress(11, 11), 9);
  EXPECT_EQ(*mask.GetPixelAddress(10, 10), 0);
  // An empty rectangle does not drag the bounds towards (0, 0).
  mask.Include({0, 0, 0, 0});
  mask.Include({30, 30, 20, 40});
  EXPECT_EQ(mask.GetBounds(), (quill::TRect{5, 8, 12, 12}));
}

TEST(PixelMask, IncludeOnAnEmptyMaskTakesTheRectangle) {
  TZelPixelMask mask;
  mask.Include({-4, 3, 2, 5});
  EXPECT_EQ(mask.GetBounds(), (quill::TRect{-4, 3, 2, 5}));
  EXPECT_EQ(*mask.GetPixelAddress(1, 4), 0);
}

TEST(PixelMask, IncludeAndMergeIntoAMaskWithoutBytes) {
  // A mask with a height but no width has no bytes to keep.
  TZelPixelMask mask;
  ASSERT_TRUE(mask.SetBounds(0, 0, -3, 5));
  EXPECT_TRUE(mask.Include({1, 1, 3, 3}));
  EXPECT_EQ(mask.GetBounds(), (quill::TRect{1, 1, 3, 3}));
  EXPECT_EQ(*mask.GetPixelAddress(2, 2), 0);

  TZelPixelMask dab, stroke;
  ASSERT_TRUE(dab.SetBounds(4, 4, 2, 2));
  std::memset(dab.Bits(), 80, 4);
  ASSERT_TRUE(stroke.SetBounds(0, 0, 7, 0));
  EXPECT_TRUE(stroke.Merge(dab));
  EXPECT_EQ(stroke.GetBounds(), (quill::TRect{4, 4, 6, 6}));
  EXPECT_EQ(*stroke.GetPixelAddress(5, 5), 80);
}

TEST(PixelMask, RefusesMasksTooLargeToHold) {
  TZelPixelMask mask;
  EXPECT_FALSE(mask.SetBounds(0, 0, INT32_MAX, INT32_MAX));  // 4.6 * 10^18 bytes
  EXPECT_TRUE(mask.IsEmpty());
  EXPECT_EQ(mask.GetBounds(), quill::TRect{});

  ASSERT_TRUE(mask.SetBounds(0, 0, 2, 2));
  *mask.GetPixelAddress(1, 1) = 7;
  EXPECT_FALSE(mask.Include({INT32_MIN, 0, INT32_MAX, 1}));  // 2^32 - 1 wide
  EXPECT_FALSE(mask.Include({0, 0, 65536, 65536}));         // 4 GiB
  TZelPixelMask far;
  ASSERT_TRUE(far.SetBounds(INT32_MAX - 1, 0, 1, 2));
  EXPECT_FALSE(mask.Merge(far));  // 2^31 columns by 2 rows
  EXPECT_EQ(mask.GetBounds(), (quill::TRect{0, 0, 2, 2}));
  EXPECT_EQ(*mask.GetPixelAddress(1, 1), 7);
}

TEST(PixelMask, AMaskReachingPastTheLimitEndsThere) {
  TZelPixelMask dab;
  ASSERT_TRUE(dab.SetBounds(0, 0, 3, 3));
  for (int i = 0; i < 9; ++i) dab.Bits()[i] = static_cast<uint8_t>(10 + i);
  dab.MoveTo(INT32_MAX - 1, INT32_MAX - 2);
  EXPECT_EQ(dab.GetBounds(), (quill::TRect{INT32_MAX - 1, INT32_MAX - 2, INT32_MAX, INT32_MAX}));
  EXPECT_EQ(dab.GetPixelAddress(INT32_MAX, INT32_MAX - 2), nullptr);

  TZelPixelMask stroke;
  EXPECT_TRUE(stroke.Merge(dab));
  EXPECT_EQ(stroke.GetBounds(), dab.GetBounds());
  EXPECT_EQ(*stroke.GetPixelAddress(INT32_MAX - 1, INT32_MAX - 1), 13);
  // Growing keeps only the bytes inside the old bounds.
  EXPECT_TRUE(dab.Include({INT32_MAX - 3, INT32_MAX - 2, INT32_MAX - 2, INT32_MAX - 1}));
  EXPECT_EQ(dab.GetBounds(), (quill::TRect{INT32_MAX - 3, INT32_MAX - 2, INT32_MAX, INT32_MAX}));
  EXPECT_EQ(*dab.GetPixelAddress(INT32_MAX - 1, INT32_MAX - 1), 13);
  EXPECT_EQ(*dab.GetPixelAddress(INT32_MAX - 2, INT32_MAX - 1), 0);
}

TEST(PixelMask, MergeKeepsTheLargerByteEitherWay) {
  TZelPixelMask low, high;
  low.SetBounds(0, 0, 3, 3);
  high.SetBounds(0, 0, 3, 3);
  std::memset(low.Bits(), 100, 9);
  std::memset(high.Bits(), 200, 9);
  TZelPixelMask a = low;
  a.Merge(high);
  TZelPixelMask b = high;
  b.Merge(low);
  EXPECT_EQ(*a.GetPixelAddress(1, 1), 200);
  EXPECT_EQ(*b.GetPixelAddress(1, 1), 200);
}

TEST(PixelMask, MergeOfAnOffsetMaskGrowsTheUnion) {
  TZelPixelMask stroke, dab;
  dab.SetBounds(0, 0, 2, 2);
  std::memset(dab.Bits(), 255, 4);
  dab.MoveTo(20, 30);
  stroke.Merge(dab);
  EXPECT_EQ(stroke.GetBounds(), (quill::TRect{20, 30, 22, 32}));
  dab.MoveTo(23, 29);
  stroke.Merge(dab);
  EXPECT_EQ(stroke.GetBounds(), (quill::TRect{20, 29, 25, 32}));
  EXPECT_EQ(*stroke.GetPixelAddress(21, 31), 255);
  EXPECT_EQ(*stroke.GetPixelAddress(22, 31), 0);
  EXPECT_EQ(*stroke.GetPixelAddress(24, 29), 255);
  // Merging an empty mask changes nothing.
  TZelPixelMask empty;
  stroke.Merge(empty);
  EXPECT_EQ(stroke.GetBounds(), (quill::TRect{20, 29, 25, 32}));
  stroke.Clear();
  EXPECT_TRUE(stroke.IsEmpty());
  EXPECT_EQ(stroke.GetBounds(), quill::TRect{});
}

// A stroke mask grown dab by dab in every direction, into the spare bytes and past
// them, holds exactly the union of its dabs by maximum, as a mask grown exactly would;
// so does a copy of it, moved elsewhere.
TEST(PixelMask, AStrokeGrownDabByDabHoldsExactlyItsDabs) {
  constexpr int kReach = 100;  // the walk stays within +-kReach
  std::vector<uint8_t> expected((2 * kReach + 1) * (2 * kReach + 1), 0);
  auto at = [&](int x, int y) -> uint8_t& { return expected[(y + kReach) * (2 * kReach + 1) + x + kReach]; };
  quill::TRect bounds;
  TZelPixelMask stroke;
  uint32_t seed = 12345;
  auto next = [&seed](int n) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(n));
  };
  int x = 0, y = 0;
  for (int i = 0; i < 300; ++i) {
    TZelPixelMask dab;
    const int side = 1 + next(7);
    ASSERT_TRUE(dab.SetBounds(0, 0, side, side));
    for (int b = 0; b < side * side; ++b) dab.Bits()[b] = static_cast<uint8_t>(next(256));
    // Mostly small steps, now and then a jump; the walk turns back at the edges.
    const int step = next(10) == 0 ? 40 : 3;
    x = std::clamp(x + next(2 * step + 1) - step, -kReach, kReach - side);
    y = std::clamp(y + next(2 * step + 1) - step, -kReach, kReach - side);
    dab.MoveTo(x, y);
    ASSERT_TRUE(stroke.Merge(dab));
    for (int dy = 0; dy < side; ++dy) {
      for (int dx = 0; dx < side; ++dx) at(x + dx, y + dy) = std::max(at(x + dx, y + dy), dab.Bits()[dy * side + dx]);
    }
    bounds = quill::UnionRect(bounds, dab.GetBounds());
    ASSERT_EQ(stroke.GetBounds(), bounds) << i;
    for (int py = bounds.Top; py < bounds.Bottom; ++py) {
      for (int px = bounds.Left; px < bounds.Right; ++px) {
        ASSERT_EQ(*stroke.GetPixelAddress(px, py), at(px, py)) << i << ": (" << px << ", " << py << ")";
      }
    }
  }
  ASSERT_GT(stroke.Stride(), 0);
  EXPECT_EQ(stroke.Bits(), stroke.GetPixelAddress(bounds.Left, bounds.Top));
  TZelPixelMask moved = stroke;
  moved.MoveTo(bounds.Left + 1000, bounds.Top - 1000);
  for (int py = bounds.Top; py < bounds.Bottom; ++py) {
    for (int px = bounds.Left; px < bounds.Right; ++px) {
      ASSERT_EQ(*moved.GetPixelAddress(px + 1000, py - 1000), at(px, py));
    }
  }
  EXPECT_EQ(moved.GetPixelAddress(bounds.Right + 1000, bounds.Top - 1000), nullptr);
}

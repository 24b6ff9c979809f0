// The Hand Inpainting fill sequence on the sample photo: a refill keeps nothing of the
// fill before it, changed options take effect at the next call, and nothing is done
// before marking or after release.

#include <gtest/gtest.h>

#include <cstring>

#include "HandInpaintingArea.h"
#include "HandInpaintingFill.h"
#include "SamplePhoto.h"

namespace {

// The cable near its lower end, and clean backdrop below it.
constexpr quill::TPoint kArea{340, 58};
constexpr quill::TPoint kSource{340, 110};
constexpr int32_t kSize = 30;

bool SamePixels(const TZelPixels& a, const TZelPixels& b) {
  if (a.GetBounds() != b.GetBounds()) return false;
  for (int32_t y = 0; y < a.Height(); ++y) {
    if (std::memcmp(a.GetPixelAddress(0, y), b.GetPixelAddress(0, y), size_t(a.Width()) * 3) != 0) return false;
  }
  return true;
}

class HandInpaintingFillTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(quill::LoadSamplePhoto("astronaut-wire.png", committed_));
    Reset(live_);
    quill::HandInpaintingDab(dab_, kSize);
  }

  void Reset(TZelPixelBuffer& image) {
    ASSERT_TRUE(image.Allocate(quill::kPixelFormat24, committed_.GetBounds()));
    image.CopyFrom(committed_);
  }

  // A fresh sequence over a fresh copy of the photo: marked, filled once from Source.
  void FreshFill(TZelPixelBuffer& image, quill::TPoint source, const quill::THandInpaintingOptions& options) {
    Reset(image);
    quill::THandInpaintingFill fill;
    fill.Mark(Square(kArea), committed_, image, dab_);
    const quill::TRect rect = Square(source);
    fill.Fill(rect, fill.BestOrientation(rect, options), TAreaCorrelator::kModeColor, options);
  }

  static quill::TRect Square(quill::TPoint point) { return quill::HandInpaintingSquare(point, kSize); }

  TZelPixelBuffer committed_;
  TZelPixelBuffer live_;
  TZelPixelMask dab_;
};

TEST_F(HandInpaintingFillTest, ARefillAndChangedOptionsGiveWhatAFreshSequenceGives) {
  const quill::THandInpaintingOptions tool;
  const quill::THandInpaintingOptions plain{.LongDefect = false, .AntiAliasing = false};
  quill::THandInpaintingFill fill;
  fill.Mark(Square(kArea), committed_, live_, dab_);
  fill.Restore(tool);
  EXPECT_TRUE(SamePixels(live_, committed_));  // marking alone changes nothing

  // A fill from a bright part first, then one from the backdrop.
  const quill::TRect first = Square({250, 300});
  fill.Fill(first, fill.BestOrientation(first, tool), TAreaCorrelator::kModeColor, tool);
  ASSERT_FALSE(SamePixels(live_, committed_));
  const quill::TRect second = Square(kSource);
  fill.Fill(second, fill.BestOrientation(second, tool), TAreaCorrelator::kModeColor, tool);
  TZelPixelBuffer expected;
  FreshFill(expected, kSource, tool);
  EXPECT_TRUE(SamePixels(live_, expected));

  // Other options split the rim again only when told.
  fill.OptionsChanged();
  fill.Fill(second, fill.BestOrientation(second, plain), TAreaCorrelator::kModeColor, plain);
  FreshFill(expected, kSource, plain);
  EXPECT_TRUE(SamePixels(live_, expected));
  EXPECT_GT(fill.SplitRimCount(), 0);
  EXPECT_EQ(fill.SplitRimCount(), fill.Engine()->Border().Count());  // nothing left out

  fill.Restore(plain);
  EXPECT_TRUE(SamePixels(live_, committed_));
}

TEST_F(HandInpaintingFillTest, NothingHappensBeforeMarkingOrAfterRelease) {
  quill::THandInpaintingFill fill;
  const quill::TRect source = Square(kSource);
  EXPECT_EQ(fill.BestOrientation(source, {}), 0);
  fill.Fill(source, 0, TAreaCorrelator::kModeCopy, {});
  fill.Restore({});
  EXPECT_FALSE(fill.Marked());

  fill.Mark(Square(kArea), committed_, live_, dab_);
  ASSERT_TRUE(fill.Marked());
  fill.Release();
  EXPECT_EQ(fill.Engine(), nullptr);
  // The images may be gone now: nothing may read or write them.
  live_.Allocate(quill::kPixelFormat24, {0, 0, 1, 1});
  committed_.Allocate(quill::kPixelFormat24, {0, 0, 1, 1});
  fill.Fill(source, 0, TAreaCorrelator::kModeCopy, {});
  fill.Restore({});
  EXPECT_EQ(fill.BestOrientation(source, {}), 0);
}

}  // namespace

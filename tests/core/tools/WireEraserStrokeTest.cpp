#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "SamplePhoto.h"
#include "WireEraserStroke.h"
#include "ZelColor.h"

namespace {

using quill::TWireEraserDab;
using quill::TWireEraserOptions;
using quill::TWireEraserStroke;

constexpr uint8_t kCommittedGrey = 100;
constexpr uint8_t kOriginalGrey = 50;

uint8_t GreyAt(const TZelPixels& image, int x, int y) { return image.GetPixelAddress(x, y)[0]; }

void FillGrey(TZelPixels& image, const quill::TRect& rect, uint8_t grey) {
  for (int y = rect.Top; y < rect.Bottom; ++y) {
    for (int x = rect.Left; x < rect.Right; ++x) {
      uint8_t* p = image.GetPixelAddress(x, y);
      p[0] = p[1] = p[2] = grey;
    }
  }
}

void MakeGrey(TZelPixelBuffer& image, int width, int height, uint8_t grey) {
  ASSERT_TRUE(image.Allocate(quill::kPixelFormat24, {0, 0, width, height}));
  FillGrey(image, image.GetBounds(), grey);
}

// Flat images, so that every covered pixel is background: with Cumulative Effect off
// each covered pixel of Live turns to the original's grey, which shows exactly which
// pixels a dab covered.
struct FlatImages {
  TZelPixelBuffer live, committed, original;
  FlatImages(int width, int height) {
    MakeGrey(live, width, height, kCommittedGrey);
    MakeGrey(committed, width, height, kCommittedGrey);
    MakeGrey(original, width, height, kOriginalGrey);
  }
  // The pixels of Live that a dab turned to the original's grey.
  std::vector<quill::TPoint> Covered() const {
    std::vector<quill::TPoint> points;
    for (int y = 0; y < live.Height(); ++y) {
      for (int x = 0; x < live.Width(); ++x) {
        if (GreyAt(live, x, y) == kOriginalGrey) points.push_back({x, y});
      }
    }
    return points;
  }
};

// The bundled dabs that erase the sample photo's cable: centre and Size of each.
std::vector<std::pair<quill::TPoint, int32_t>> SampleCableDabs() {
  std::ifstream dabs(QUILL_IMAGES_DIR "/astronaut-wire.dabs");
  std::vector<std::pair<quill::TPoint, int32_t>> path;
  for (std::string line; std::getline(dabs, line);) {
    std::istringstream fields(line);
    double stroke, x, y, diameter;
    if (line.starts_with("#") || !(fields >> stroke >> x >> y >> diameter)) continue;
    path.emplace_back(quill::ImagePixelAt(x, y), quill::WireEraserSize(diameter));
  }
  return path;
}

TWireEraserOptions FromOriginal() {
  TWireEraserOptions options;
  options.CumulativeEffect = false;
  return options;
}

}  // namespace

// Where a dab lands: centred on its pixel, Size limited to 5..50, an even Size one
// pixel wider, clipped at the image's edges with its disc still centred on the pointer,
// nothing at all when it lies wholly outside, and nothing outside a stroke.
TEST(WireEraserStroke, PlacesSizesAndClipsItsDabs) {
  FlatImages images(80, 60);
  TWireEraserStroke stroke;
  EXPECT_TRUE(stroke.ApplyDab({40, 30}, 10, FromOriginal()).Changed.IsEmpty());  // no stroke yet
  EXPECT_EQ(images.Covered().size(), 0u);

  stroke.Begin(images.live, images.committed, images.original, false);
  EXPECT_EQ(stroke.ApplyDab({40, 30}, 10, FromOriginal()).Changed, (quill::TRect{35, 25, 46, 36}));  // 11 x 11
  EXPECT_EQ(stroke.ApplyDab({40, 30}, 25, FromOriginal()).Changed, (quill::TRect{28, 18, 53, 43}));  // 25 x 25
  EXPECT_EQ(stroke.ApplyDab({40, 30}, 3, FromOriginal()).Changed, (quill::TRect{38, 28, 43, 33}));   // Size 5
  EXPECT_EQ(stroke.ApplyDab({40, 30}, 80, FromOriginal()).Changed, (quill::TRect{15, 5, 66, 56}));   // Size 50
  EXPECT_EQ(stroke.End(), (quill::TRect{15, 5, 66, 56}));

  FlatImages corner(80, 60);
  stroke.Begin(corner.live, corner.committed, corner.original, false);
  const TWireEraserDab outside = stroke.ApplyDab({-30, 10}, 25, FromOriginal());
  EXPECT_TRUE(outside.Changed.IsEmpty());
  EXPECT_EQ(corner.Covered().size(), 0u);
  // Size 10 at the corner pixel: the disc covers the pixels nearer than 5 to (0, 0).
  EXPECT_EQ(stroke.ApplyDab({0, 0}, 10, FromOriginal()).Changed, (quill::TRect{0, 0, 6, 6}));
  for (const quill::TPoint& p : corner.Covered()) EXPECT_LT(p.X * p.X + p.Y * p.Y, 25) << p.X << ", " << p.Y;
  EXPECT_EQ(corner.Covered().size(), 22u);  // the quarter disc, its two edges included
  EXPECT_EQ(GreyAt(corner.live, 4, 0), kOriginalGrey);
  EXPECT_EQ(GreyAt(corner.live, 3, 3), kOriginalGrey);
  EXPECT_EQ(GreyAt(corner.live, 5, 0), kCommittedGrey);
  EXPECT_EQ(GreyAt(corner.live, 4, 3), kCommittedGrey);
  EXPECT_EQ(stroke.End(), (quill::TRect{0, 0, 6, 6}));
  EXPECT_TRUE(stroke.ApplyDab({0, 0}, 10, FromOriginal()).Changed.IsEmpty());  // ended
}

// Each dab reads the image as it stood before the stroke (or as opened), never what an
// earlier dab wrote; Trial Mode keeps only the latest dab.
TEST(WireEraserStroke, ReadsThePreStrokeImageAndKeepsOnlyTheLastTrialDab) {
  FlatImages images(60, 20);
  FillGrey(images.live, {20, 5, 30, 15}, 200);  // what an earlier dab of the stroke wrote
  TWireEraserStroke stroke;
  stroke.Begin(images.live, images.committed, images.original, false);
  stroke.ApplyDab({25, 10}, 9, TWireEraserOptions());  // Cumulative Effect on: from Committed
  EXPECT_EQ(GreyAt(images.live, 25, 10), kCommittedGrey);
  EXPECT_EQ(GreyAt(images.live, 20, 5), 200);  // a corner the disc does not cover
  stroke.End();

  for (const bool trial : {false, true}) {
    FlatImages flat(60, 20);
    TWireEraserOptions options = FromOriginal();
    options.TrialMode = trial;
    stroke.Begin(flat.live, flat.committed, flat.original, false);
    stroke.ApplyDab({10, 10}, 9, options);
    stroke.ApplyDab({25, 10}, 9, options);
    const TWireEraserDab third = stroke.ApplyDab({40, 10}, 9, options);
    stroke.End();
    EXPECT_EQ(GreyAt(flat.live, 10, 10), trial ? kCommittedGrey : kOriginalGrey) << trial;
    EXPECT_EQ(GreyAt(flat.live, 25, 10), trial ? kCommittedGrey : kOriginalGrey) << trial;
    EXPECT_EQ(GreyAt(flat.live, 40, 10), kOriginalGrey) << trial;
    // The second dab's rectangle, put back, is part of what the third changed.
    EXPECT_EQ(third.Changed, trial ? (quill::TRect{21, 6, 45, 15}) : (quill::TRect{36, 6, 45, 15})) << trial;
  }
}

// The right-button stroke measures and writes nothing: 0 on a flat area, the limit 100
// across a hard black and white edge.
TEST(WireEraserStroke, MeasuresBackgroundNoiseWithoutWriting) {
  FlatImages images(60, 40);
  FillGrey(images.committed, {30, 0, 60, 40}, 255);
  FillGrey(images.committed, {0, 0, 30, 40}, 0);
  TWireEraserStroke stroke;
  stroke.Begin(images.live, images.committed, images.committed, true);
  const TWireEraserDab flat = stroke.ApplyDab({10, 20}, 15, TWireEraserOptions());
  EXPECT_TRUE(flat.Measured);
  EXPECT_EQ(flat.Noise, 0);
  EXPECT_EQ(flat.Changed, (quill::TRect{3, 13, 18, 28}));
  const TWireEraserDab edge = stroke.ApplyDab({30, 20}, 15, TWireEraserOptions());
  EXPECT_TRUE(edge.Measured);
  EXPECT_EQ(edge.Noise, 100);
  EXPECT_FALSE(stroke.ApplyDab({-40, 20}, 15, TWireEraserOptions()).Measured);
  stroke.End();
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 60; ++x) ASSERT_EQ(GreyAt(images.live, x, y), kCommittedGrey);
  }
}

// On the sample photo's cable with Cumulative Effect off, a second stroke over the
// same dabs repairs from the same untouched pixels and gives the first one's result.
TEST(WireEraserStroke, CumulativeEffectOffRepeatsTheSameRepair) {
  TZelPixelBuffer original, committed, live;
  ASSERT_TRUE(quill::LoadSamplePhoto("astronaut-wire.png", original));
  ASSERT_TRUE(committed.Allocate(quill::kPixelFormat24, original.GetBounds()));
  ASSERT_TRUE(live.Allocate(quill::kPixelFormat24, original.GetBounds()));
  committed.CopyFrom(original);
  live.CopyFrom(original);
  const std::vector<std::pair<quill::TPoint, int32_t>> path = SampleCableDabs();
  ASSERT_GT(path.size(), 50u);

  TWireEraserStroke stroke;
  auto paint = [&] {
    stroke.Begin(live, committed, original, false);
    for (const auto& [centre, size] : path) stroke.ApplyDab(centre, size, FromOriginal());
    const quill::TRect changed = stroke.End();
    committed.CopyRect(changed.Left, changed.Top, live, changed);  // the commit
    return changed;
  };
  const quill::TRect first = paint();
  ASSERT_FALSE(first.IsEmpty());
  TZelPixelBuffer once;
  ASSERT_TRUE(once.Allocate(quill::kPixelFormat24, live.GetBounds()));
  once.CopyFrom(live);
  EXPECT_EQ(paint(), first);
  int repaired = 0;
  for (int y = 0; y < live.Height(); ++y) {
    for (int x = 0; x < live.Width(); ++x) {
      ASSERT_EQ(quill::PackPixel(live.GetPixelAddress(x, y)), quill::PackPixel(once.GetPixelAddress(x, y))) << x << ", " << y;
      repaired += quill::PackPixel(live.GetPixelAddress(x, y)) != quill::PackPixel(original.GetPixelAddress(x, y));
    }
  }
  EXPECT_GT(repaired, 500);
}

// One pass of the bundled dabs (Size 10), and of wider ones along the same path, leaves
// no speck of the sample's cable: no pixel that the cable darkened stays more than 40
// levels darker, on average over its channels, than in the photo without the cable.
// When each later dab's rim, where its repair is least sure, overwrote the repair of
// the dab before, a row of specks up to 160 levels darker was left.
TEST(WireEraserStroke, OnePassLeavesNoSpeckOfTheSampleCable) {
  TZelPixelBuffer clean, wire, live;
  ASSERT_TRUE(quill::LoadSamplePhoto("astronaut.png", clean));
  ASSERT_TRUE(quill::LoadSamplePhoto("astronaut-wire.png", wire));
  ASSERT_EQ(clean.GetBounds(), wire.GetBounds());
  ASSERT_TRUE(live.Allocate(quill::kPixelFormat24, wire.GetBounds()));
  const std::vector<std::pair<quill::TPoint, int32_t>> path = SampleCableDabs();
  ASSERT_GT(path.size(), 50u);
  ASSERT_EQ(path.front().second, 10);
  for (const int32_t size : {10, 15, 25}) {
    live.CopyFrom(wire);
    TWireEraserStroke stroke;
    stroke.Begin(live, wire, wire, false);
    for (const auto& dab : path) stroke.ApplyDab(dab.first, size, TWireEraserOptions());
    stroke.End();
    int cable = 0;
    for (int y = 0; y < wire.Height(); ++y) {
      for (int x = 0; x < wire.Width(); ++x) {
        const uint8_t* before = clean.GetPixelAddress(x, y);
        if (std::equal(before, before + 3, wire.GetPixelAddress(x, y))) continue;
        ++cable;
        const uint8_t* after = live.GetPixelAddress(x, y);
        const int darker = (before[0] + before[1] + before[2]) - (after[0] + after[1] + after[2]);
        ASSERT_LE(darker, 3 * 40) << "Size " << size << " at " << x << ", " << y;
      }
    }
    EXPECT_GT(cable, 500);
  }
}

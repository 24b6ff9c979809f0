// The wire-fill engine against a plain reference. The reference below does every step
// the straightforward way: a neighbour walk per cell for every contrast (again for the
// classification), fully sorted contrast lists, and one least-squares sample per
// background cell, column by column, through TRGBLSM. Thousands of dabs over the
// bundled photos and synthetic worst cases must give the very same bytes and the very
// same measured noise from both.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "DabShapes.h"
#include "Defect.h"
#include "SamplePhoto.h"
#include "RGBLeastSquaresMethod.h"
#include "ZelUtils.h"

namespace {

// ---- The reference engine ----

class ReferenceGrid {
 public:
  // The grid over Area with every pixel of Source that Mask covers, column by column.
  void Load(const TZelPixelMask& mask, const TZelPixels& source, const quill::TRect& area) {
    left_ = area.Left;
    top_ = area.Top;
    width_ = static_cast<int>(area.Width());
    height_ = static_cast<int>(area.Height());
    cells_.assign(static_cast<size_t>(width_) * height_, Cell{});
    count_ = 0;
    for (int x = area.Left; x < area.Right; ++x) {
      for (int y = area.Top; y < area.Bottom; ++y) {
        const uint8_t* weight = mask.GetPixelAddress(x, y);
        if (weight == nullptr || *weight == 0) continue;
        Cell& cell = At(x - left_, y - top_);
        cell.color = quill::UnpackColor(quill::PackPixel(source.GetPixelAddress(x, y)));
        cell.state = kRepair;
        ++count_;
      }
    }
  }

  int Count() const { return count_; }

  double EstimateNoise() {
    const std::vector<double> values = SortedContrasts();
    return values[Index(values.size(), 0.9L)];
  }

  void Classify(double noise) {
    const std::vector<double> values = SortedContrasts();
    const int64_t last = static_cast<int64_t>(values.size()) - 1;
    const double high = values[EnsureRangeInt64(Index(values.size(), 0.8L), 0, last)];
    const double low = values[EnsureRangeInt64(Index(values.size(), 0.33L), 0, last)];
    const double threshold = EnsureRangeDouble(noise, low, high);
    for (int x = 0; x < width_; ++x) {
      for (int y = 0; y < height_; ++y) {
        if (At(x, y).state == kRepair && LocalContrast(x, y) <= threshold) At(x, y).state = kBackground;
      }
    }
  }

  void Fill(bool showOnly) {
    if (showOnly) {
      for (Cell& cell : cells_) {
        if (cell.state != kRepair) continue;
        cell.color = {Extreme(cell.color.B), Extreme(cell.color.G), Extreme(cell.color.R)};
      }
      return;
    }
    TRGBLSM fit(width_ * height_, /*quadratic=*/true);
    for (int x = 0; x < width_; ++x) {
      for (int y = 0; y < height_; ++y) {
        const Cell& cell = At(x, y);
        if (cell.state == kBackground) fit.AddSample(x, y, cell.color.R, cell.color.G, cell.color.B);
      }
    }
    const bool solved = fit.Solve();
    double sumB = 0, sumG = 0, sumR = 0;
    int background = 0;
    for (const Cell& cell : cells_) {
      if (cell.state != kBackground) continue;
      sumB += cell.color.B;
      sumG += cell.color.G;
      sumR += cell.color.R;
      ++background;
    }
    for (int x = 0; x < width_; ++x) {
      for (int y = 0; y < height_; ++y) {
        Cell& cell = At(x, y);
        if (cell.state != kRepair) continue;
        if (solved) {
          fit.Evaluate(x, y, cell.color.R, cell.color.G, cell.color.B);
        } else if (background > 0) {
          cell.color = {static_cast<uint8_t>(quill::RoundHalfEven(sumB / background)),
                        static_cast<uint8_t>(quill::RoundHalfEven(sumG / background)),
                        static_cast<uint8_t>(quill::RoundHalfEven(sumR / background))};
        }
      }
    }
  }

  bool Covered(int x, int y) const { return At(x - left_, y - top_).state != kUncovered; }
  TZelRGB Color(int x, int y) const { return At(x - left_, y - top_).color; }

 private:
  enum : uint8_t { kUncovered = 0, kBackground = 1, kRepair = 2 };
  struct Cell {
    TZelRGB color;
    uint8_t state = kUncovered;
  };

  Cell& At(int x, int y) { return cells_[static_cast<size_t>(x) * height_ + y]; }
  const Cell& At(int x, int y) const { return cells_[static_cast<size_t>(x) * height_ + y]; }

  static int64_t Index(size_t n, long double fraction) {
    return quill::RoundHalfEven(static_cast<long double>(n) * fraction) - 1;
  }
  static uint8_t Extreme(uint8_t channel) { return channel >= 128 ? 0 : 255; }

  // Above, below, right, left; a cell without covered neighbours has contrast 0.
  double LocalContrast(int x, int y) const {
    const int dx[] = {0, 0, 1, -1};
    const int dy[] = {-1, 1, 0, 0};
    const TZelRGB c = At(x, y).color;
    double sum = 0;
    int count = 0;
    for (int k = 0; k < 4; ++k) {
      const int nx = x + dx[k];
      const int ny = y + dy[k];
      if (nx < 0 || nx > width_ - 1 || ny < 0 || ny > height_ - 1) continue;
      const Cell& n = At(nx, ny);
      if (n.state == kUncovered) continue;
      const int dr = c.R - n.color.R, dg = c.G - n.color.G, db = c.B - n.color.B;
      sum += std::sqrt(static_cast<double>(dr * dr + dg * dg + db * db));
      ++count;
    }
    return count == 0 ? 0.0 : sum / count * 4.0;
  }

  std::vector<double> SortedContrasts() const {
    std::vector<double> values;
    for (int x = 0; x < width_; ++x) {
      for (int y = 0; y < height_; ++y) {
        if (At(x, y).state != kUncovered) values.push_back(LocalContrast(x, y));
      }
    }
    std::sort(values.begin(), values.end());
    return values;
  }

  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  std::vector<Cell> cells_;
  int count_ = 0;
};

quill::TRect ReferenceArea(const TZelPixels& source, const TZelPixels& dest, const quill::TRect& rect) {
  if (source.PixelFormat() != quill::kPixelFormat24 || dest.PixelFormat() != quill::kPixelFormat24 ||
      source.Bits() == nullptr || dest.Bits() == nullptr) {
    return {};
  }
  return quill::IntersectRect(quill::IntersectRect(rect, source.GetBounds()), dest.GetBounds());
}

bool ReferenceRepairDab(const TZelPixelMask& mask, const TZelPixels& source, TZelPixels& dest,
                        const quill::TRect& rect, double noise, bool showOnly) {
  const quill::TRect area = ReferenceArea(source, dest, rect);
  ReferenceGrid grid;
  grid.Load(mask, source, area);
  if (grid.Count() == 0) return false;
  grid.Classify(noise);
  grid.Fill(showOnly);
  for (int x = area.Left; x < area.Right; ++x) {
    for (int y = area.Top; y < area.Bottom; ++y) {
      if (!grid.Covered(x, y)) continue;
      const TZelRGB color = grid.Color(x, y);
      uint8_t* pixel = dest.GetPixelAddress(x, y);
      pixel[0] = color.B;
      pixel[1] = color.G;
      pixel[2] = color.R;
    }
  }
  return true;
}

bool ReferenceMeasureDabNoise(const TZelPixelMask& mask, const TZelPixels& source, const quill::TRect& rect,
                              double& noise) {
  ReferenceGrid grid;
  grid.Load(mask, source, ReferenceArea(source, source, rect));
  if (grid.Count() == 0) return false;
  noise = grid.EstimateNoise();
  return true;
}

// ---- Running both ----

void Allocate(TZelPixelBuffer& image, int width, int height) {
  ASSERT_TRUE(image.Allocate(quill::kPixelFormat24, {0, 0, width, height}));
}

void CopyImage(const TZelPixelBuffer& from, TZelPixelBuffer& to) {
  Allocate(to, from.Width(), from.Height());
  to.CopyFrom(from);
}

// Counts the bytes of Rect (inside both) in which A and B differ.
int64_t DifferingBytes(const TZelPixels& a, const TZelPixels& b, const quill::TRect& rect) {
  int64_t differing = 0;
  for (int y = rect.Top; y < rect.Bottom; ++y) {
    const uint8_t* pa = a.GetScanLine(rect.Left, y);
    const uint8_t* pb = b.GetScanLine(rect.Left, y);
    for (int64_t i = 0; i < rect.Width() * 3; ++i) differing += pa[i] != pb[i];
  }
  return differing;
}

int64_t DifferingBytes(const TZelPixels& a, const TZelPixels& b) {
  return DifferingBytes(a, b, a.GetBounds());
}

// Applies dabs to a Source image twice, once with the engine and once with the
// reference, each into its own copy of Start, and compares the results after every
// dab. The engine keeps one grid for all dabs, as a stroke does.
class DabComparer {
 public:
  DabComparer(const TZelPixelBuffer& source, const TZelPixelBuffer& start) : source_(source) {
    CopyImage(start, engineOut_);
    CopyImage(start, referenceOut_);
  }

  // One dab of Mask (placed where it should lie) over Rect; Mode 0 repairs, 1 paints
  // the preview, 2 measures the noise. Returns false after the first difference.
  bool Dab(const TZelPixelMask& mask, const quill::TRect& rect, double noise, int mode, const std::string& what) {
    ++dabs_;
    if (mode == 2) {
      double engineNoise = -1, referenceNoise = -2;
      const bool engineOk = quill::MeasureDabNoise(grid_, mask, source_, rect, engineNoise);
      const bool referenceOk = ReferenceMeasureDabNoise(mask, source_, rect, referenceNoise);
      EXPECT_EQ(engineOk, referenceOk) << what;
      if (engineOk && referenceOk) {
        EXPECT_EQ(std::bit_cast<uint64_t>(engineNoise), std::bit_cast<uint64_t>(referenceNoise))
            << what << ": noise " << engineNoise << " against " << referenceNoise;
      }
      return !::testing::Test::HasFailure();
    }
    const bool engineOk = quill::RepairDab(grid_, mask, source_, engineOut_, rect, noise, mode == 1);
    const bool referenceOk = ReferenceRepairDab(mask, source_, referenceOut_, rect, noise, mode == 1);
    EXPECT_EQ(engineOk, referenceOk) << what;
    // The dab and a margin around it, where a stray write would land.
    const quill::TRect margin{rect.Left - 2, rect.Top - 2, rect.Right + 2, rect.Bottom + 2};
    const int64_t differing =
        DifferingBytes(engineOut_, referenceOut_, quill::IntersectRect(margin, engineOut_.GetBounds()));
    EXPECT_EQ(differing, 0) << what << ", noise " << noise << ", mode " << mode;
    return differing == 0 && !::testing::Test::HasFailure();
  }

  int Dabs() const { return dabs_; }
  int64_t DifferingBytesOverall() const { return DifferingBytes(engineOut_, referenceOut_); }

 private:
  const TZelPixelBuffer& source_;
  TZelPixelBuffer engineOut_, referenceOut_;
  quill::TDefectGrid grid_;
  int dabs_ = 0;
};

std::string Describe(const char* image, const quill::TRect& rect, int size) {
  return std::string(image) + " dab (" + std::to_string(rect.Left) + "," + std::to_string(rect.Top) +
         ")-(" + std::to_string(rect.Right) + "," + std::to_string(rect.Bottom) + ") size " +
         std::to_string(size);
}

// A Wire Eraser dab of Size centred on (X, Y), clipped to Image: the rectangle and the mask.
quill::TRect PlaceDab(const TZelPixelBuffer& image, int x, int y, int size, TZelPixelMask& mask) {
  PowerDisc(mask, size, 255, 160);
  const quill::TRect rect = DabRect({x, y}, size);
  mask.MoveTo(rect.Left, rect.Top);
  return quill::IntersectRect(rect, image.GetBounds());
}

// The inverse of Image: a start for the outputs that differs from every source byte.
void Inverse(const TZelPixelBuffer& image, TZelPixelBuffer& inverse) {
  CopyImage(image, inverse);
  for (int y = 0; y < image.Height(); ++y) {
    uint8_t* p = inverse.GetScanLine(0, y);
    for (int i = 0; i < image.Width() * 3; ++i) p[i] = static_cast<uint8_t>(255 - p[i]);
  }
}

// A noise setting: mostly the tool's whole numbers 0..100, sometimes a real value.
double RandomNoise(std::mt19937& random) {
  const int pick = static_cast<int>(random() % 10);
  if (pick == 0) return std::uniform_real_distribution<double>(0, 120)(random);
  return static_cast<double>(random() % 101);
}

// ---- Synthetic images ----

using Painter = uint32_t (*)(int x, int y, std::mt19937& random);

struct Synthetic {
  const char* name;
  Painter paint;
};

uint32_t Grey(int v) {
  const uint32_t g = static_cast<uint32_t>(std::clamp(v, 0, 255));
  return g | g << 8 | g << 16;
}

const Synthetic kSynthetics[] = {
    {"flat", [](int, int, std::mt19937&) { return 0x507090u; }},
    {"flat with one-level grain",
     [](int, int, std::mt19937& r) { return 0x507090u + static_cast<uint32_t>(r() % 2) * 0x010101u; }},
    {"two levels", [](int x, int y, std::mt19937&) { return (x * 7 + y * 3) % 5 == 0 ? 0x202020u : 0x222222u; }},
    {"hard vertical edge", [](int x, int, std::mt19937&) { return x < 30 ? 0x000000u : 0xffffffu; }},
    {"hard diagonal edge", [](int x, int y, std::mt19937&) { return x + y < 60 ? 0x10e020u : 0xe02010u; }},
    {"checkerboard", [](int x, int y, std::mt19937&) { return (x + y) % 2 ? 0x000000u : 0xffffffu; }},
    {"random bytes", [](int, int, std::mt19937& r) { return static_cast<uint32_t>(r() & 0xffffff); }},
    {"steep ramp with dark lines",
     [](int x, int y, std::mt19937&) { return x % 9 == 4 || y % 13 == 6 ? 0x080808u : Grey(x * x / 8 - 2 * y); }},
    {"saturated bowl", [](int x, int y, std::mt19937&) { return Grey((x - 30) * (x - 30) / 3 + (y - 20) * (y - 20) / 3 - 40); }},
};

void Paint(TZelPixelBuffer& image, int width, int height, Painter paint, std::mt19937& random) {
  Allocate(image, width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t c = paint(x, y, random);
      uint8_t* p = image.GetPixelAddress(x, y);
      p[0] = static_cast<uint8_t>(c);
      p[1] = static_cast<uint8_t>(c >> 8);
      p[2] = static_cast<uint8_t>(c >> 16);
    }
  }
}

}  // namespace

// Random dabs of every size all over the bundled photos, half of them clipped by an
// image edge: repairs with the tool's noise settings, previews and noise measurements.
TEST(WireFillMatchesReference, RandomDabsOverRealPhotos) {
  std::mt19937 random(17);
  for (const char* name : {"astronaut.png", "astronaut-wire.png"}) {
    TZelPixelBuffer photo, start;
    ASSERT_TRUE(quill::LoadSamplePhoto(name, photo)) << name;
    Inverse(photo, start);
    DabComparer comparer(photo, start);
    TZelPixelMask mask;
    for (int i = 0; i < 1500; ++i) {
      const int size = 5 + static_cast<int>(random() % 46);
      // Centres up to a dab's radius beyond every edge.
      const int x = static_cast<int>(random() % (photo.Width() + size)) - size / 2;
      const int y = static_cast<int>(random() % (photo.Height() + size)) - size / 2;
      const quill::TRect rect = PlaceDab(photo, x, y, size, mask);
      const int mode = random() % 8 == 0 ? 1 : random() % 8 == 0 ? 2 : 0;
      ASSERT_TRUE(comparer.Dab(mask, rect, RandomNoise(random), mode, Describe(name, rect, size)));
    }
    EXPECT_EQ(comparer.DifferingBytesOverall(), 0);
  }
}

// Flat areas, ties, hard edges and surfaces that leave 0..255, with every noise
// setting from 0 to 100, and dabs of every size clipped at every edge and corner.
TEST(WireFillMatchesReference, SyntheticWorstCases) {
  std::mt19937 random(1706);
  constexpr int kWidth = 61, kHeight = 47;
  for (const Synthetic& synthetic : kSynthetics) {
    TZelPixelBuffer image, start;
    Paint(image, kWidth, kHeight, synthetic.paint, random);
    Inverse(image, start);
    DabComparer comparer(image, start);
    TZelPixelMask mask;
    for (int noise = 0; noise <= 100; ++noise) {
      const int size = 5 + static_cast<int>(random() % 46);
      const quill::TRect rect = PlaceDab(image, static_cast<int>(random() % kWidth), static_cast<int>(random() % kHeight), size, mask);
      for (int mode : {0, 1}) {
        ASSERT_TRUE(comparer.Dab(mask, rect, noise, mode, Describe(synthetic.name, rect, size)));
      }
    }
    // Centres on and just beyond each edge and corner, every size.
    for (int size = 5; size <= 50; ++size) {
      const int reach = size / 2 + 1;
      const int xs[] = {-reach + 1, -1, 0, 1, kWidth / 2, kWidth - 2, kWidth - 1, kWidth, kWidth + reach - 2};
      const int ys[] = {-reach + 1, 0, kHeight / 2, kHeight - 1, kHeight + reach - 2};
      for (int x : xs) {
        for (int y : ys) {
          if ((x + y + size) % 3 != 0) continue;  // a third of the grid of positions
          const quill::TRect rect = PlaceDab(image, x, y, size, mask);
          const int mode = static_cast<int>(random() % 3);
          ASSERT_TRUE(comparer.Dab(mask, rect, RandomNoise(random), mode, Describe(synthetic.name, rect, size)));
        }
      }
    }
    EXPECT_GT(comparer.Dabs(), 500);
    EXPECT_EQ(comparer.DifferingBytesOverall(), 0);
  }
}

// The grid filled pixel by pixel, in any order and with pixels added twice, then
// classified (sometimes with every pixel entered again after that), filled and read
// back cell by cell, or measured.
TEST(WireFillMatchesReference, PixelByPixelSteps) {
  std::mt19937 random(99);
  TZelPixelBuffer photo;
  ASSERT_TRUE(quill::LoadSamplePhoto("astronaut-wire.png", photo));
  quill::TDefectGrid grid;
  for (int i = 0; i < 300; ++i) {
    const int size = 5 + static_cast<int>(random() % 46);
    TZelPixelMask mask;
    const quill::TRect rect = PlaceDab(photo, static_cast<int>(random() % 300) + 150,
                                static_cast<int>(random() % 300), size, mask);
    std::vector<quill::TPoint> covered;
    for (int y = rect.Top; y < rect.Bottom; ++y) {
      for (int x = rect.Left; x < rect.Right; ++x) {
        if (*mask.GetPixelAddress(x, y) != 0) covered.push_back({x, y});
      }
    }
    for (size_t k = 0; k < covered.size() / 10; ++k) covered.push_back(covered[random() % covered.size()]);
    std::shuffle(covered.begin(), covered.end(), random);
    grid.InitDefectGrid(rect);
    for (const quill::TPoint& p : covered) grid.AddDefectPixel(p.X, p.Y, quill::PackPixel(photo.GetPixelAddress(p.X, p.Y)));
    ReferenceGrid reference;
    reference.Load(mask, photo, rect);
    const std::string what = Describe("astronaut-wire.png", rect, size);
    if (i % 3 == 0) {
      const double noise = grid.EstimateBackgroundNoise();
      ASSERT_EQ(std::bit_cast<uint64_t>(noise), std::bit_cast<uint64_t>(reference.EstimateNoise())) << what;
      continue;
    }
    const double noise = RandomNoise(random);
    grid.ClassifyDefectGrid(noise);
    if (i % 6 == 2) {
      // Entered again after the classification, every cell is to repair once more.
      for (const quill::TPoint& p : covered) grid.AddDefectPixel(p.X, p.Y, quill::PackPixel(photo.GetPixelAddress(p.X, p.Y)));
    } else {
      reference.Classify(noise);
    }
    grid.FillDefectGrid(i % 3 == 1);
    reference.Fill(i % 3 == 1);
    for (const quill::TPoint& p : covered) {
      ASSERT_EQ(grid.GetDefectGridColor(p.X, p.Y), reference.Color(p.X, p.Y)) << what << " at " << p.X << "," << p.Y;
    }
  }
}

// Masks the tool never makes but the engine accepts: scattered cells (isolated ones
// have no neighbours), single rows and columns (the fit fails), masks that cover only
// part of the rectangle, areas larger than any dab, source and destination one image,
// and noise settings outside 0..100.
TEST(WireFillMatchesReference, OddMasksAreasAndSettings) {
  std::mt19937 random(4242);
  TZelPixelBuffer whole, photo;
  ASSERT_TRUE(quill::LoadSamplePhoto("astronaut.png", whole));
  // A part with face, hair and backdrop, at (0, 0), so that copies stay small.
  Allocate(photo, 200, 200);
  photo.CopyRect(0, 0, whole, {150, 60, 350, 260});
  const double noises[] = {0, 6, 100, -1, 1e9, std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN()};
  for (int i = 0; i < 400; ++i) {
    // Mostly small areas; every tenth one square and about as large as the fit's
    // integer sums allow, or larger.
    const int largeSides[] = {64, 65, 90, 150};
    const int width = i % 10 == 0 ? largeSides[(i / 10) % 4] : 1 + static_cast<int>(random() % 40);
    const int height = i % 10 == 0 ? width : 1 + static_cast<int>(random() % 40);
    const auto left = static_cast<int32_t>(random() % (200 - std::min(width, 160)));
    const auto top = static_cast<int32_t>(random() % (200 - std::min(height, 160)));
    const quill::TRect area{left, top, left + width, top + height};
    // The mask starts up to 3 pixels off the area and may end short of it.
    TZelPixelMask mask;
    const int shift = static_cast<int>(random() % 7) - 3;
    mask.SetBounds(area.Left + shift, area.Top - shift, width, height);
    const int density = static_cast<int>(random() % 4);  // 0: full, else 1 in 2, 3 or 4 set
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if (density == 0 || random() % (density + 1) == 0) mask.Bits()[y * width + x] = 255;
      }
    }
    const double noise = noises[random() % std::size(noises)];
    const int mode = static_cast<int>(random() % 3);
    const std::string what = Describe("photo part", area, 0) + " mask density " + std::to_string(density);
    if (i % 2 == 0) {
      TZelPixelBuffer start;
      Inverse(photo, start);
      DabComparer comparer(photo, start);
      ASSERT_TRUE(comparer.Dab(mask, area, noise, mode, what));
      ASSERT_EQ(comparer.DifferingBytesOverall(), 0) << what;
    } else {
      // In place: source and destination are one image.
      TZelPixelBuffer engineImage, referenceImage;
      CopyImage(photo, engineImage);
      CopyImage(photo, referenceImage);
      quill::TDefectGrid grid;
      if (mode == 2) continue;
      EXPECT_EQ(quill::RepairDab(grid, mask, engineImage, engineImage, area, noise, mode == 1),
                ReferenceRepairDab(mask, referenceImage, referenceImage, area, noise, mode == 1));
      ASSERT_EQ(DifferingBytes(engineImage, referenceImage), 0) << what << " in place, noise " << noise;
    }
  }
}

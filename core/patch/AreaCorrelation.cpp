#include "AreaCorrelation.h"

#include <algorithm>
#include <cmath>

#include "ApproximationBGRLSM2.h"
#include "ApproximationLSM2.h"
#include "Correlator.h"
#include "KMean.h"
#include "ZelColor.h"
#include "ZelUtils.h"

namespace {

constexpr uint8_t kOrientations = 8;

// The part of the images that the engine may touch: where both lie, and nothing
// unless both are 24-bit images with pixels.
quill::TRect CommonImageBounds(const TZelPixels& source, const TZelPixels& target) {
  const auto usable = [](const TZelPixels& image) {
    return image.PixelFormat() == quill::kPixelFormat24 && image.Bits() != nullptr;
  };
  if (!usable(source) || !usable(target)) return {};
  return quill::IntersectRect(source.GetBounds(), target.GetBounds());
}

// Round((A * b + P * i) / (b + i)): the own colour A weighted by the contact with the
// rim, the fill P by the contact with the inner pixels. B is above 0.
uint8_t BlendChannel(uint8_t own, uint8_t fill, int32_t b, int32_t i) {
  const double mixed = static_cast<double>(int64_t{own} * b + int64_t{fill} * i) / (b + i);
  return static_cast<uint8_t>(quill::RoundHalfEven(mixed));
}

int32_t ChannelSum(const uint8_t* p) { return int32_t{p[0]} + p[1] + p[2]; }

// A source channel shifted by a colour surface: clamped to 0..255 as a real, then rounded.
uint8_t CorrectedChannel(uint8_t channel, double shift) {
  return static_cast<uint8_t>(quill::RoundHalfEven(EnsureRangeDouble(channel + shift, 0.0, 255.0)));
}

// A source channel shifted by a third of a brightness surface: rounded, then clamped.
uint8_t BrightenedChannel(uint8_t channel, double surface) {
  return static_cast<uint8_t>(EnsureRangeInt64(quill::RoundHalfEven(channel + surface / 3.0), 0, 255));
}

}  // namespace

TAreaCorrelator::TAreaCorrelator(const quill::TRect& areaRect, int32_t radiusSquared,
                                 const TZelPixels& source, TZelPixels& target)
    : FAreaRect(TBorderArea8::UsableArea(areaRect)),
      FWidth(static_cast<int32_t>(FAreaRect.Width())),
      FHeight(static_cast<int32_t>(FAreaRect.Height())),
      FRadiusSquared(std::min(radiusSquared, kMaxRadiusSquared)),
      FImageBounds(CommonImageBounds(source, target)),
      FMask(static_cast<size_t>(FWidth) * FHeight, 0),
      FSource(source),
      FTarget(target),
      FBorder(FAreaRect),
      FInterior(FAreaRect) {}

bool TAreaCorrelator::InImage(int64_t x, int64_t y) const {
  return x >= FImageBounds.Left && x < FImageBounds.Right && y >= FImageBounds.Top &&
         y < FImageBounds.Bottom;
}

void TAreaCorrelator::SetMask(int32_t x, int32_t y, uint8_t value) {
  const int64_t ax = int64_t{x} - FAreaRect.Left;
  const int64_t ay = int64_t{y} - FAreaRect.Top;
  if (ax < 0 || ay < 0 || ax >= FWidth || ay >= FHeight) return;
  FMask[ax * FHeight + ay] = value;
}

void TAreaCorrelator::SplitBorder() {
  FBorder.Clear();
  FInterior.Clear();
  // The offsets within reach of the rim test.
  const double root = FRadiusSquared > 0 ? std::sqrt(static_cast<double>(FRadiusSquared)) : 0;
  const auto r = static_cast<int32_t>(root + 0.001);
  std::vector<quill::TPoint> reach;
  for (int32_t di = -r; di <= r; ++di) {
    for (int32_t dj = -r; dj <= r; ++dj) {
      if (int64_t{di} * di + int64_t{dj} * dj <= FRadiusSquared) reach.push_back({di, dj});
    }
  }
  const auto onRim = [&](int32_t x, int32_t y) {
    for (const quill::TPoint& d : reach) {
      const int64_t i = int64_t{x} + d.X;
      const int64_t j = int64_t{y} + d.Y;
      if (i >= 0 && j >= 0 && i < FWidth && j < FHeight) {
        if (FMask[i * FHeight + j] == 0) return true;
      } else if (InImage(FAreaRect.Left + i, FAreaRect.Top + j)) {
        return true;
      }
    }
    return false;
  };
  // Two passes, so that each list is sized once: growing it record by record would
  // copy it over and over into fresh memory.
  enum : uint8_t { kOutside, kRim, kInner };
  std::vector<uint8_t> kind(FMask.size(), kOutside);
  int32_t counts[3] = {0, 0, 0};
  for (int32_t x = 0; x < FWidth; ++x) {
    for (int32_t y = 0; y < FHeight; ++y) {
      const size_t cell = static_cast<size_t>(x) * FHeight + y;
      if (FMask[cell] == 0) continue;
      kind[cell] = onRim(x, y) ? kRim : kInner;
      ++counts[kind[cell]];
    }
  }
  FBorder.Reserve(counts[kRim]);
  FInterior.Reserve(counts[kInner]);
  for (int32_t x = 0; x < FWidth; ++x) {
    for (int32_t y = 0; y < FHeight; ++y) {
      const uint8_t k = kind[static_cast<size_t>(x) * FHeight + y];
      if (k == kRim) {
        FBorder.Add(x, y);
      } else if (k == kInner) {
        FInterior.Add(x, y);
      }
    }
  }
}

void TAreaCorrelator::RemoveBorderOutliers(double fraction) {
  const int32_t count = FBorder.Count();
  TKMean kmean(count, 2);
  // The seeds: the first rim colour, and the first later one that differs from it.
  uint32_t seeds[2] = {0, 0};
  for (int32_t i = 0; i < count; ++i) {
    const quill::TPoint& p = FBorder.Record(i).Position;
    if (!InImage(p.X, p.Y)) continue;
    const uint32_t colour = quill::PackPixel(FTarget.GetPixelAddress(p.X, p.Y));
    if (kmean.ColorCount() < 2 && kmean.IndexOfColor(colour) < 0) {
      seeds[kmean.ColorCount()] = colour;
    }
    kmean.AddColor(colour);
  }
  if (kmean.ColorCount() < 2) return;
  kmean.AddCentroid(true, seeds[0]);
  kmean.AddCentroid(true, seeds[1]);
  for (int step = 0; step < kMaxClusteringSteps && kmean.Iterate() != 0; ++step) {
  }
  // The smaller cluster; a tie goes to the first.
  const int32_t minority = kmean.GetCentroid(1).Total < kmean.GetCentroid(0).Total ? 1 : 0;
  if (!(count * fraction >= kmean.GetCentroid(minority).Total)) return;
  for (int32_t i = 0; i < count; ++i) {
    const quill::TPoint& p = FBorder.Record(i).Position;
    if (!InImage(p.X, p.Y)) continue;
    const int32_t colour = kmean.IndexOfColor(quill::PackPixel(FTarget.GetPixelAddress(p.X, p.Y)));
    if (kmean.GetColor(colour).Cluster == minority) FBorder.SetExcluded(i, 1);
  }
  FBorder.Pack();
}

void TAreaCorrelator::ComputeContactWeights() { FInterior.ComputeWeights(FBorder); }

bool TAreaCorrelator::SourceOf(const quill::TBorderPixel& record, quill::TPoint offset,
                               const quill::TVariantMap& variant, quill::TPoint& source) const {
  if (!InImage(record.Position.X, record.Position.Y)) return false;
  const quill::TPoint v = variant(AreaPosition(record));
  const int64_t x = int64_t{offset.X} + v.X;
  const int64_t y = int64_t{offset.Y} + v.Y;
  if (!InImage(x, y)) return false;
  source = {static_cast<int32_t>(x), static_cast<int32_t>(y)};
  return true;
}

double TAreaCorrelator::Correlation(const quill::TRect& sourceRect, uint8_t orientation) const {
  if (orientation >= kOrientations) return 0;
  const quill::TPoint corner{sourceRect.Left, sourceRect.Top};
  const quill::TVariantMap variant = quill::VariantMap(FWidth, FHeight, orientation);
  TCorrelator correlator;
  for (int32_t i = 0; i < FBorder.Count(); ++i) {
    const quill::TBorderPixel& record = FBorder.Record(i);
    quill::TPoint s;
    if (!SourceOf(record, corner, variant, s)) continue;
    const uint8_t* rim = FSource.GetPixelAddress(record.Position.X, record.Position.Y);
    const uint8_t* src = FSource.GetPixelAddress(s.X, s.Y);
    correlator.Add(src[2], rim[2]);
    correlator.Add(src[1], rim[1]);
    correlator.Add(src[0], rim[0]);
  }
  return correlator.Coefficient();
}

uint8_t TAreaCorrelator::FindBestOrientation(const quill::TRect& sourceRect) const {
  double best = -1.0;
  uint8_t result = 0;
  for (uint8_t k = 0; k < kOrientations; ++k) {
    const double score = Correlation(sourceRect, k);
    if (score > best) {
      best = score;
      result = k;
    }
  }
  return result;
}

void TAreaCorrelator::FillArea(quill::TPoint offset, uint8_t orientation, bool blend, int32_t mode,
                               uint8_t order) {
  if (orientation >= kOrientations) return;
  const quill::TVariantMap variant = quill::VariantMap(FWidth, FHeight, orientation);
  switch (mode) {
    case kModeCopy:
      FillCopy(offset, variant, blend);
      break;
    case kModeBrightness:
      FillBrightness(offset, variant, order);
      break;
    case kModeColor:
      FillColor(offset, variant, blend, order);
      break;
    default:
      break;
  }
}

void TAreaCorrelator::PutFill(int32_t index, const uint8_t* fill, bool blend) {
  const quill::TPoint& own = FInterior.Record(index).Position;
  uint8_t* out = FTarget.GetPixelAddress(own.X, own.Y);
  const int32_t b = FInterior.GetBorderWeight(index);
  if (blend && b > 0) {
    const uint8_t* a = FSource.GetPixelAddress(own.X, own.Y);
    const int32_t i = FInterior.GetInnerWeight(index);
    for (int c = 0; c < 3; ++c) out[c] = BlendChannel(a[c], fill[c], b, i);
  } else {
    out[0] = fill[0];
    out[1] = fill[1];
    out[2] = fill[2];
  }
}

void TAreaCorrelator::FillCopy(quill::TPoint offset, const quill::TVariantMap& variant, bool blend) {
  for (int32_t i = 0; i < FInterior.Count(); ++i) {
    quill::TPoint s;
    if (SourceOf(FInterior.Record(i), offset, variant, s)) {
      PutFill(i, FSource.GetPixelAddress(s.X, s.Y), blend);
    }
  }
}

void TAreaCorrelator::FillBrightness(quill::TPoint offset, const quill::TVariantMap& variant, uint8_t order) {
  TApproximation surface(FBorder.Count(), order);
  for (int32_t i = 0; i < FBorder.Count(); ++i) {
    const quill::TBorderPixel& record = FBorder.Record(i);
    quill::TPoint s;
    double value = 0;
    if (SourceOf(record, offset, variant, s)) {
      value = ChannelSum(FSource.GetPixelAddress(record.Position.X, record.Position.Y)) -
              ChannelSum(FSource.GetPixelAddress(s.X, s.Y));
    }
    surface.AddSample(AreaPosition(record).X, AreaPosition(record).Y, value);
  }
  surface.Solve();
  for (int32_t i = 0; i < FInterior.Count(); ++i) {
    const quill::TBorderPixel& record = FInterior.Record(i);
    quill::TPoint s;
    if (!SourceOf(record, offset, variant, s)) continue;
    const double c = surface.Evaluate(AreaPosition(record).X, AreaPosition(record).Y);
    const uint8_t* fill = FSource.GetPixelAddress(s.X, s.Y);
    uint8_t* out = FTarget.GetPixelAddress(record.Position.X, record.Position.Y);
    for (int ch = 0; ch < 3; ++ch) out[ch] = BrightenedChannel(fill[ch], c);
  }
}

void TAreaCorrelator::FillColor(quill::TPoint offset, const quill::TVariantMap& variant, bool blend,
                                uint8_t order) {
  TApproximationBGR surface(FBorder.Count(), order);
  for (int32_t i = 0; i < FBorder.Count(); ++i) {
    const quill::TBorderPixel& record = FBorder.Record(i);
    quill::TPoint s;
    double r = 0, g = 0, b = 0;
    if (SourceOf(record, offset, variant, s)) {
      const uint8_t* own = FSource.GetPixelAddress(record.Position.X, record.Position.Y);
      const uint8_t* src = FSource.GetPixelAddress(s.X, s.Y);
      b = int32_t{own[0]} - src[0];
      g = int32_t{own[1]} - src[1];
      r = int32_t{own[2]} - src[2];
    }
    surface.AddSample(AreaPosition(record).X, AreaPosition(record).Y, r, g, b);
  }
  surface.Solve();
  for (int32_t i = 0; i < FInterior.Count(); ++i) {
    const quill::TBorderPixel& record = FInterior.Record(i);
    quill::TPoint s;
    if (!SourceOf(record, offset, variant, s)) continue;
    double r, g, b;
    surface.Evaluate(AreaPosition(record).X, AreaPosition(record).Y, r, g, b);
    const uint8_t* src = FSource.GetPixelAddress(s.X, s.Y);
    const uint8_t fill[3] = {CorrectedChannel(src[0], b), CorrectedChannel(src[1], g),
                             CorrectedChannel(src[2], r)};
    PutFill(i, fill, blend);
  }
}

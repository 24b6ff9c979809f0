#include "ZelResample.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "ZelUtils.h"

namespace {

constexpr long double kPi = 3.14159265358979323846264338327950288L;
constexpr int32_t kMaxSum = 255 * 65536;

}  // namespace

double Sinc(double x) {
  if (x == 0) return 1;
  const long double px = kPi * x;
  return static_cast<double>(std::sin(px) / px);
}

double TWindowedSincResampler::Filter(double x) const {
  const double a = std::fabs(x);
  if (a >= FRadius) return 0;
  return Sinc(a) * Window(a);
}

double TLanczosResampler::Window(double x) const { return Sinc(x / FRadius); }

std::vector<quill::TContributorList> BuildContributors(int32_t dstLo, int32_t dstHi, int32_t clipLo,
                                                int32_t clipHi, int32_t srcLo, int32_t srcHi,
                                                const TPixelResampler& resampler) {
  std::vector<quill::TContributorList> table;
  const int64_t lists = int64_t{clipHi} - clipLo;
  if (srcHi <= srcLo || lists <= 0) return table;
  table.resize(static_cast<size_t>(lists));
  if (int64_t{srcHi} - srcLo == 1) {
    for (quill::TContributorList& list : table) list = {{srcLo, 256}};
    return table;
  }
  if (dstHi <= dstLo) {
    assert(lists == 1 && "contributors for an empty destination range");
    if (lists != 1) return {};
    table[0] = {{static_cast<int32_t>((int64_t{srcLo} + srcHi) / 2), 256}};
    return table;
  }

  const double scale = static_cast<double>(int64_t{dstHi} - dstLo) / static_cast<double>(int64_t{srcHi} - srcLo);
  const double invScale = 1 / scale;
  const double radius = resampler.GetRadius();
  const bool reducing = scale < 1;
  const double support = reducing ? invScale * radius : radius;
  for (int64_t i = 0; i < lists; ++i) {
    quill::TContributorList& list = table[static_cast<size_t>(i)];
    const double centre = srcLo - 0.5 + invScale * (static_cast<double>(i + clipLo - dstLo) + 0.5);
    const auto from = static_cast<int64_t>(std::floor(centre - support));
    const auto to = static_cast<int64_t>(std::ceil(centre + support));
    int32_t sum = 0;
    for (int64_t j = from; j <= to; ++j) {
      const double distance = centre - static_cast<double>(j);
      const auto weight = static_cast<int32_t>(
          reducing ? quill::RoundHalfEven(scale * (resampler.Filter(scale * distance) * 256))
                   : quill::RoundHalfEven(resampler.Filter(distance) * 256));
      if (weight == 0) continue;
      list.push_back({static_cast<int32_t>(EnsureRangeInt64(j, srcLo, srcHi - 1)), weight});
      sum += weight;
    }
    if (list.empty()) {
      // Reduced so far that every weight rounded to 0: the nearest source index alone.
      const auto nearest = static_cast<int64_t>(std::floor(centre));
      list = {{static_cast<int32_t>(EnsureRangeInt64(nearest, srcLo, srcHi - 1)), 256}};
    } else if (sum != 256) {
      list[(list.size() - 1) / 2].Weight -= sum - 256;
    }
  }
  return table;
}

void ResamplePixels(TZelPixels& dest, const quill::TRect& destRect, const quill::TRect& destClip,
                    const TZelPixels& source, const quill::TRect& sourceRect,
                    const TPixelResampler& resampler) {
  if (dest.PixelFormat() != quill::kPixelFormat24 || source.PixelFormat() != quill::kPixelFormat24 ||
      dest.Bits() == nullptr || source.Bits() == nullptr || sourceRect.IsEmpty() ||
      !(quill::IntersectRect(sourceRect, source.GetBounds()) == sourceRect)) {
    return;
  }
  const quill::TRect clip = quill::IntersectRect(dest.GetBounds(), destClip);
  if (clip.IsEmpty()) return;
  const std::vector<quill::TContributorList> columns =
      BuildContributors(destRect.Left, destRect.Right, clip.Left, clip.Right, sourceRect.Left,
                        sourceRect.Right, resampler);
  const std::vector<quill::TContributorList> rows = BuildContributors(
      destRect.Top, destRect.Bottom, clip.Top, clip.Bottom, sourceRect.Top, sourceRect.Bottom, resampler);
  if (columns.empty() || rows.empty()) return;

  // The source columns any destination column reads, over every list.
  int32_t first = columns.front().front().Pos;
  int32_t last = first;
  for (const quill::TContributorList& list : columns) {
    for (const quill::TContributor& c : list) {
      first = std::min(first, c.Pos);
      last = std::max(last, c.Pos);
    }
  }
  const size_t span = static_cast<size_t>(last - first + 1) * 3;
  std::vector<int32_t> intermediate(span);
  const bool clamp = resampler.NeedsClamping();

  for (int32_t y = clip.Top; y < clip.Bottom; ++y) {
    // Vertical pass over the needed source columns, a source row at a time. The sums
    // are integers, so their order does not change them.
    std::fill(intermediate.begin(), intermediate.end(), 0);
    for (const quill::TContributor& c : rows[static_cast<size_t>(y - clip.Top)]) {
      const uint8_t* from = source.GetPixelAddress(first, c.Pos);
      for (size_t k = 0; k < span; ++k) intermediate[k] += from[k] * c.Weight;
    }
    // Horizontal pass into the destination row.
    uint8_t* to = dest.GetPixelAddress(clip.Left, y);
    for (const quill::TContributorList& list : columns) {
      int32_t sum[3] = {0, 0, 0};
      for (const quill::TContributor& c : list) {
        const int32_t* pixel = &intermediate[static_cast<size_t>(c.Pos - first) * 3];
        sum[0] += pixel[0] * c.Weight;
        sum[1] += pixel[1] * c.Weight;
        sum[2] += pixel[2] * c.Weight;
      }
      for (int channel = 0; channel < 3; ++channel) {
        int32_t value = sum[channel];
        if (clamp) value = std::clamp(value, 0, kMaxSum);
        to[channel] = static_cast<uint8_t>(value >> 16);
      }
      to += 3;
    }
  }
}

bool ScaleToFit(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight,
                int32_t& newWidth, int32_t& newHeight) {
  if (width <= 0 || height <= 0 || maxWidth <= 0 || maxHeight <= 0) return false;
  if (static_cast<double>(height) / maxHeight >= static_cast<double>(width) / maxWidth) {
    newHeight = maxHeight;
    newWidth = MulDiv(width, maxHeight, height);
  } else {
    newWidth = maxWidth;
    newHeight = MulDiv(height, maxWidth, width);
  }
  return true;
}

int32_t ProportionalWidth(int32_t width, int32_t newHeight, int32_t height) {
  return MulDiv(width, newHeight, height);
}

int32_t ProportionalHeight(int32_t height, int32_t newWidth, int32_t width) {
  return MulDiv(height, newWidth, width);
}

int32_t ClampInt(int32_t value, int32_t min, int32_t max) {
  if (value < min) return min;
  if (value > max) return max;
  return value;
}

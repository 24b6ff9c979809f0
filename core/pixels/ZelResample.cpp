#include "ZelResample.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "ZelUtils.h"

namespace {

constexpr long double kPi = 3.14159265358979323846264338327950288L;
constexpr int32_t kMaxSum = 255 * 65536;

// The weights of one table by the exact distance they were computed for. A size
// ratio of small integers gives the same few distances over and over, and the kernel
// (two long double sines a weight) is most of a table's cost; a distance that comes
// back finds its weight here instead. A direct-mapped cache: a slot that holds
// another distance is computed again and overwritten.
class TWeightCache {
 public:
  template <typename Compute>
  int32_t Get(double distance, Compute compute) {
    uint64_t key = 0;
    std::memcpy(&key, &distance, sizeof key);
    TSlot& slot = Slots[(key * 0x9E3779B97F4A7C15u) >> (64 - kBits)];
    if (!slot.Used || slot.Key != key) slot = {key, compute(), true};
    return slot.Weight;
  }

 private:
  static constexpr int kBits = 10;
  struct TSlot {
    uint64_t Key;
    int32_t Weight;
    bool Used;
  };
  std::vector<TSlot> Slots = std::vector<TSlot>(size_t{1} << kBits, TSlot{0, 0, false});
};

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
  TWeightCache weights;
  for (int64_t i = 0; i < lists; ++i) {
    quill::TContributorList& list = table[static_cast<size_t>(i)];
    const double centre = srcLo - 0.5 + invScale * (static_cast<double>(i + clipLo - dstLo) + 0.5);
    const auto from = static_cast<int64_t>(std::floor(centre - support));
    const auto to = static_cast<int64_t>(std::ceil(centre + support));
    int32_t sum = 0;
    for (int64_t j = from; j <= to; ++j) {
      const double distance = centre - static_cast<double>(j);
      const int32_t weight = weights.Get(distance, [&] {
        return static_cast<int32_t>(
            reducing ? quill::RoundHalfEven(scale * (resampler.Filter(scale * distance) * 256))
                     : quill::RoundHalfEven(resampler.Filter(distance) * 256));
      });
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

// ---- Pixel passes ----
//
// ResamplePixels flattens both contributor tables once per call and then, for every
// destination row, runs a vertical pass (the row's source rows into one intermediate
// row of 32-bit sums) and a horizontal pass (the intermediate row into the destination
// row). Every sum is an exact integer, so the vector passes below, which add the same
// products in another order, give the same bytes as the plain ones.

namespace {

// A contributor table as flat arrays: list i holds entries Starts[i] .. Starts[i + 1] - 1.
struct TFlatTable {
  std::vector<int32_t> Pos;
  std::vector<int32_t> Weights;
  std::vector<size_t> Starts;
  // Whether every weight fits 16 bits, as the vector vertical pass needs.
  bool ShortWeights = true;
};

TFlatTable Flatten(const std::vector<quill::TContributorList>& table) {
  TFlatTable flat;
  flat.Starts.reserve(table.size() + 1);
  flat.Starts.push_back(0);
  for (const quill::TContributorList& list : table) {
    for (const quill::TContributor& c : list) {
      flat.Pos.push_back(c.Pos);
      flat.Weights.push_back(c.Weight);
      flat.ShortWeights = flat.ShortWeights && c.Weight >= INT16_MIN && c.Weight <= INT16_MAX;
    }
    flat.Starts.push_back(flat.Pos.size());
  }
  return flat;
}

// The column table for the vector horizontal pass. A column's contributors become a
// weight for every intermediate pixel from its first to its last (a position listed
// twice, as at the edges, adds up its weights; one not listed weighs 0), taken two
// pixels a step: eight weights a step, the first pixel's three times, the second's
// three times (0 past the last pixel) and two for sums the pass drops.
struct TPairedColumns {
  std::vector<int32_t> First;  // the offset of each column's first pixel in the intermediate row
  std::vector<size_t> Starts;  // column i's steps are Starts[i] .. Starts[i + 1] - 1
  std::vector<int32_t> Weights;
};

// The sums a step of the vector horizontal pass reads past a column's last pixel.
constexpr size_t kPairedOverreach = 5;

// Columns: a flat table whose positions are offsets in the intermediate row.
TPairedColumns PairColumns(const TFlatTable& columns) {
  TPairedColumns paired;
  paired.Starts.push_back(0);
  std::vector<int32_t> dense;
  for (size_t i = 0; i + 1 < columns.Starts.size(); ++i) {
    const auto begin = columns.Pos.begin() + static_cast<ptrdiff_t>(columns.Starts[i]);
    const auto end = columns.Pos.begin() + static_cast<ptrdiff_t>(columns.Starts[i + 1]);
    const auto [lowest, highest] = std::minmax_element(begin, end);
    dense.assign(static_cast<size_t>(*highest - *lowest) / 3 + 1, 0);
    for (size_t e = columns.Starts[i]; e < columns.Starts[i + 1]; ++e) {
      dense[static_cast<size_t>(columns.Pos[e] - *lowest) / 3] += columns.Weights[e];
    }
    for (size_t p = 0; p < dense.size(); p += 2) {
      const int32_t second = p + 1 < dense.size() ? dense[p + 1] : 0;
      paired.Weights.insert(paired.Weights.end(), {dense[p], dense[p], dense[p], second, second, second, 0, 0});
    }
    paired.First.push_back(*lowest);
    paired.Starts.push_back(paired.Weights.size() / 8);
  }
  return paired;
}

struct TColumns {
  TFlatTable Flat;
  TPairedColumns Paired;  // filled for the vector passes only
};

// One destination row's work: its source rows (each at the first column read) with
// their weights (and, at every even index, that weight and the next one, or 0 after
// the last, packed as two 16-bit halves), the intermediate row of Bytes 32-bit sums
// (one per source byte from the first column read to the last) and the destination row.
struct TRowJob {
  const uint8_t* const* Rows;
  const int32_t* Weights;
  const int32_t* Pairs;
  size_t Taps;
  size_t Bytes;
  int32_t* Intermediate;
  uint8_t* Dest;
};

uint8_t ToByte(int32_t sum, bool clamp) {
  if (clamp) sum = std::clamp(sum, 0, kMaxSum);
  return static_cast<uint8_t>(sum >> 16);
}

// Intermediate sums From .. Bytes - 1, a source row at a time.
void VerticalPlain(const TRowJob& job, size_t from) {
  std::fill(job.Intermediate + from, job.Intermediate + job.Bytes, 0);
  for (size_t t = 0; t < job.Taps; ++t) {
    const uint8_t* row = job.Rows[t];
    const int32_t weight = job.Weights[t];
    for (size_t k = from; k < job.Bytes; ++k) job.Intermediate[k] += row[k] * weight;
  }
}

void RowPlain(const TRowJob& job, const TColumns& columns, bool clamp) {
  VerticalPlain(job, 0);
  const TFlatTable& flat = columns.Flat;
  uint8_t* to = job.Dest;
  for (size_t i = 0; i + 1 < flat.Starts.size(); ++i, to += 3) {
    int32_t sum[3] = {0, 0, 0};
    for (size_t e = flat.Starts[i]; e < flat.Starts[i + 1]; ++e) {
      const int32_t* pixel = job.Intermediate + flat.Pos[e];
      sum[0] += pixel[0] * flat.Weights[e];
      sum[1] += pixel[1] * flat.Weights[e];
      sum[2] += pixel[2] * flat.Weights[e];
    }
    for (int channel = 0; channel < 3; ++channel) to[channel] = ToByte(sum[channel], clamp);
  }
}

#if defined(__x86_64__)
// Vertical pass, 16 source bytes a step: the bytes of two source rows are interleaved
// as 16-bit pairs and multiplied with the pair of their weights, so one multiply-add
// gives sixteen exact products summed into eight 32-bit sums.
__attribute__((target("avx2"))) void VerticalAvx2(const TRowJob& job) {
  size_t k = 0;
  for (; k + 16 <= job.Bytes; k += 16) {
    __m256i low = _mm256_setzero_si256();   // bytes 0-3 and 8-11
    __m256i high = _mm256_setzero_si256();  // bytes 4-7 and 12-15
    for (size_t t = 0; t < job.Taps; t += 2) {
      const __m256i weights = _mm256_set1_epi32(job.Pairs[t]);
      const __m256i a = _mm256_cvtepu8_epi16(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(job.Rows[t] + k)));
      const __m256i b = t + 1 < job.Taps ? _mm256_cvtepu8_epi16(_mm_loadu_si128(
                                               reinterpret_cast<const __m128i*>(job.Rows[t + 1] + k)))
                                         : _mm256_setzero_si256();
      low = _mm256_add_epi32(low, _mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), weights));
      high = _mm256_add_epi32(high, _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), weights));
    }
    auto* out = reinterpret_cast<__m256i*>(job.Intermediate + k);
    _mm256_storeu_si256(out, _mm256_permute2x128_si256(low, high, 0x20));
    _mm256_storeu_si256(out + 1, _mm256_permute2x128_si256(low, high, 0x31));
  }
  VerticalPlain(job, k);
}

// Horizontal pass, a destination pixel at a time and two of its intermediate pixels
// a step (the paired table); the second pixel's sums are then folded onto the first's.
__attribute__((target("avx2"))) void HorizontalAvx2(const TRowJob& job, const TPairedColumns& columns,
                                                    bool clamp) {
  const __m256i fold = _mm256_setr_epi32(3, 4, 5, 3, 3, 3, 3, 3);
  const __m128i zero = _mm_setzero_si128();
  const __m128i max = _mm_set1_epi32(kMaxSum);
  // Byte 2 of each sum is the sum shifted right by 16.
  const __m128i bytes = _mm_setr_epi8(2, 6, 10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const size_t count = columns.First.size();
  uint8_t* to = job.Dest;
  for (size_t i = 0; i < count; ++i, to += 3) {
    const int32_t* pixels = job.Intermediate + columns.First[i];
    __m256i sum = _mm256_setzero_si256();
    for (size_t s = columns.Starts[i]; s < columns.Starts[i + 1]; ++s, pixels += 6) {
      const __m256i weights = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(&columns.Weights[s * 8]));
      sum = _mm256_add_epi32(
          sum, _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels)), weights));
    }
    __m128i total = _mm256_castsi256_si128(_mm256_add_epi32(sum, _mm256_permutevar8x32_epi32(sum, fold)));
    if (clamp) total = _mm_min_epi32(_mm_max_epi32(total, zero), max);
    const __m128i pixel = _mm_shuffle_epi8(total, bytes);
    if (i + 1 < count) {
      _mm_storeu_si32(to, pixel);  // and the next pixel's first byte, which it overwrites
    } else {
      const auto last = static_cast<uint32_t>(_mm_cvtsi128_si32(pixel));
      std::memcpy(to, &last, 3);
    }
  }
}

void RowAvx2(const TRowJob& job, const TColumns& columns, bool clamp) {
  VerticalAvx2(job);
  HorizontalAvx2(job, columns.Paired, clamp);
}
#endif

std::atomic<quill::TResamplePasses> gPasses{quill::TResamplePasses::Fastest};

using TRowPass = void (*)(const TRowJob& job, const TColumns& columns, bool clamp);

// The vector passes, or null where they cannot run.
TRowPass VectorRowPass(bool shortWeights) {
#if defined(__x86_64__)
  if (gPasses.load(std::memory_order_relaxed) == quill::TResamplePasses::Fastest && shortWeights &&
      __builtin_cpu_supports("avx2")) {
    return &RowAvx2;
  }
#endif
  return nullptr;
}

}  // namespace

void quill::SetResamplePasses(TResamplePasses passes) { gPasses.store(passes, std::memory_order_relaxed); }

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
  TColumns columns{Flatten(BuildContributors(destRect.Left, destRect.Right, clip.Left, clip.Right,
                                             sourceRect.Left, sourceRect.Right, resampler)),
                   {}};
  const TFlatTable rows = Flatten(BuildContributors(destRect.Top, destRect.Bottom, clip.Top, clip.Bottom,
                                                    sourceRect.Top, sourceRect.Bottom, resampler));
  if (columns.Flat.Pos.empty() || rows.Pos.empty()) return;

  // The source columns any destination column reads; the horizontal pass addresses
  // the intermediate row by offset.
  const auto [lowest, highest] = std::minmax_element(columns.Flat.Pos.begin(), columns.Flat.Pos.end());
  const int32_t first = *lowest;
  const size_t bytes = static_cast<size_t>(*highest - first + 1) * 3;
  for (int32_t& pos : columns.Flat.Pos) pos = (pos - first) * 3;
  TRowPass pass = VectorRowPass(rows.ShortWeights);
  if (pass != nullptr) {
    columns.Paired = PairColumns(columns.Flat);
  } else {
    pass = &RowPlain;
  }
  std::vector<int32_t> intermediate(bytes + kPairedOverreach);
  std::vector<const uint8_t*> sourceRows(rows.Pos.size());
  std::vector<int32_t> pairs(rows.Pos.size());
  for (size_t list = 0; list + 1 < rows.Starts.size(); ++list) {
    for (size_t e = rows.Starts[list]; e < rows.Starts[list + 1]; ++e) {
      sourceRows[e] = source.GetPixelAddress(first, rows.Pos[e]);
      if ((e - rows.Starts[list]) % 2 != 0) continue;
      const uint32_t next = e + 1 < rows.Starts[list + 1] ? static_cast<uint16_t>(rows.Weights[e + 1]) : 0;
      pairs[e] = static_cast<int32_t>(next << 16 | static_cast<uint16_t>(rows.Weights[e]));
    }
  }
  const bool clamp = resampler.NeedsClamping();
  for (int32_t y = clip.Top; y < clip.Bottom; ++y) {
    const size_t list = static_cast<size_t>(y - clip.Top);
    const size_t start = rows.Starts[list];
    const TRowJob job{&sourceRows[start], &rows.Weights[start], &pairs[start], rows.Starts[list + 1] - start,
                      bytes, intermediate.data(), dest.GetPixelAddress(clip.Left, y)};
    pass(job, columns, clamp);
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

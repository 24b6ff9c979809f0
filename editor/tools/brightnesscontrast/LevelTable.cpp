#include "LevelTable.h"

#include <cstddef>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace quill {
namespace {

// Areas at least this large bypass the cache on the way out (when the processor can):
// they do not fit it anyway, and a store that skips it saves reading each line of the
// destination before writing it.
constexpr size_t kStreamBytes = size_t{4} << 20;

using TRowPass = void (*)(const uint8_t* source, uint8_t* dest, size_t count,
                          const TLevelTable& table, bool stream);

void MapBytes(const uint8_t* source, uint8_t* dest, size_t count, const TLevelTable& table,
              bool /*stream*/ = false) {
  for (size_t i = 0; i < count; ++i) dest[i] = table[source[i]];
}

#if defined(__x86_64__)
// 64 bytes a step: each of the two permutes looks a byte's low 7 bits up in one half
// of the table, and the byte's top bit picks the half. The bytes before the first
// 64-byte boundary of the destination (streaming stores need it aligned) and the last
// bytes of the row go through masked loads and stores, so nothing beyond Count is
// touched.
struct TVbmiTable {
  __m512i Low0, Low1, High0, High1;
};

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512i MapVector(
    const TVbmiTable& t, __m512i index) {
  const __m512i low = _mm512_permutex2var_epi8(t.Low0, index, t.Low1);
  const __m512i high = _mm512_permutex2var_epi8(t.High0, index, t.High1);
  return _mm512_mask_mov_epi8(low, _mm512_movepi8_mask(index), high);
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline void MapMasked(
    const TVbmiTable& t, const uint8_t* source, uint8_t* dest, size_t count) {
  const __mmask64 mask = count >= 64 ? ~__mmask64{0} : (__mmask64{1} << count) - 1;
  _mm512_mask_storeu_epi8(dest, mask, MapVector(t, _mm512_maskz_loadu_epi8(mask, source)));
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void MapBytesVbmi(
    const uint8_t* source, uint8_t* dest, size_t count, const TLevelTable& table, bool stream) {
  const TVbmiTable t{_mm512_loadu_si512(table.data()), _mm512_loadu_si512(table.data() + 64),
                     _mm512_loadu_si512(table.data() + 128), _mm512_loadu_si512(table.data() + 192)};
  size_t i = 0;
  if (stream) {
    const size_t head = (64 - (reinterpret_cast<uintptr_t>(dest) & 63)) & 63;
    i = head < count ? head : count;
    if (i > 0) MapMasked(t, source, dest, i);
    for (; i + 64 <= count; i += 64) {
      _mm512_stream_si512(reinterpret_cast<__m512i*>(dest + i),
                          MapVector(t, _mm512_loadu_si512(source + i)));
    }
  } else {
    for (; i + 64 <= count; i += 64) {
      _mm512_storeu_si512(dest + i, MapVector(t, _mm512_loadu_si512(source + i)));
    }
  }
  if (i < count) MapMasked(t, source + i, dest + i, count - i);
}

void StoreFence() { _mm_sfence(); }
#else
void StoreFence() {}
#endif

TRowPass ChooseRowPass() {
#if defined(__x86_64__)
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vbmi")) {
    return &MapBytesVbmi;
  }
#endif
  return &MapBytes;
}

}  // namespace

TAutoLevels FindAutoLevels(const TZelPixels& pixels) {
  int32_t min = 255;
  int32_t minSum = 765;
  int32_t max = 0;
  int32_t maxSum = 0;
  if (pixels.BytesPerPixel() == 3) {
    for (int32_t y = pixels.Top(); y < pixels.Top() + pixels.Height(); ++y) {
      const uint8_t* p = pixels.GetScanLine(pixels.Left(), y);
      for (int32_t x = 0; x < pixels.Width(); ++x, p += 3) {
        const int32_t channels[3] = {p[2], p[1], p[0]};  // R, G, B
        const int32_t sum = channels[0] + channels[1] + channels[2];
        if (sum > 0 && sum < minSum) {
          for (const int32_t c : channels) {
            if (c != 0 && c < min) min = c;
          }
          minSum = sum;
        }
        if (sum < 765 && sum > maxSum) {
          for (const int32_t c : channels) {
            if (c != 255 && c > max) max = c;
          }
          maxSum = sum;
        }
      }
    }
  }
  if (min == 255) min = 0;
  if (max == 0) max = 255;
  // One grey level (or none) would put both points on one vertical line, whose table
  // is all black: leave the image as it is instead.
  if (max <= min) return {0, 255};
  return {min, max};
}

void ApplyLevelTable(const TZelPixels& source, TZelPixels& dest, const quill::TRect& rect,
                     const TLevelTable& table) {
  if (source.PixelFormat() != quill::kPixelFormat24 || dest.PixelFormat() != quill::kPixelFormat24) return;
  const quill::TRect area = quill::IntersectRect(quill::IntersectRect(rect, source.GetBounds()), dest.GetBounds());
  if (area.IsEmpty()) return;
  static const TRowPass pass = ChooseRowPass();
  const size_t count = static_cast<size_t>(area.Width()) * 3;
  // In place the lines are in the cache already: nothing to save by streaming.
  const bool stream = source.Bits() != dest.Bits() &&
                      count * static_cast<size_t>(area.Height()) >= kStreamBytes;
  for (int32_t y = area.Top; y < area.Bottom; ++y) {
    pass(source.GetScanLine(area.Left, y), dest.GetScanLine(area.Left, y), count, table, stream);
  }
  if (stream) StoreFence();
}

}  // namespace quill

#include "LevelTable.h"

#include <cstddef>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace quill {
namespace {

using TRowPass = void (*)(const uint8_t* source, uint8_t* dest, size_t count,
                          const TLevelTable& table);

void MapBytes(const uint8_t* source, uint8_t* dest, size_t count, const TLevelTable& table) {
  for (size_t i = 0; i < count; ++i) dest[i] = table[source[i]];
}

#if defined(__x86_64__)
// 64 bytes a step: each of the two permutes looks a byte's low 7 bits up in one half
// of the table, and the byte's top bit picks the half.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void MapBytesVbmi(
    const uint8_t* source, uint8_t* dest, size_t count, const TLevelTable& table) {
  const __m512i low0 = _mm512_loadu_si512(table.data());
  const __m512i low1 = _mm512_loadu_si512(table.data() + 64);
  const __m512i high0 = _mm512_loadu_si512(table.data() + 128);
  const __m512i high1 = _mm512_loadu_si512(table.data() + 192);
  size_t i = 0;
  for (; i + 64 <= count; i += 64) {
    const __m512i index = _mm512_loadu_si512(source + i);
    const __m512i low = _mm512_permutex2var_epi8(low0, index, low1);
    const __m512i high = _mm512_permutex2var_epi8(high0, index, high1);
    _mm512_storeu_si512(dest + i, _mm512_mask_mov_epi8(low, _mm512_movepi8_mask(index), high));
  }
  MapBytes(source + i, dest + i, count - i, table);
}
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

void ApplyLevelTable(const TZelPixels& source, TZelPixels& dest, const TRect& rect,
                     const TLevelTable& table) {
  if (source.PixelFormat() != kPixelFormat24 || dest.PixelFormat() != kPixelFormat24) return;
  const TRect area = IntersectRect(IntersectRect(rect, source.GetBounds()), dest.GetBounds());
  if (area.IsEmpty()) return;
  static const TRowPass pass = ChooseRowPass();
  const size_t count = static_cast<size_t>(area.Width()) * 3;
  for (int32_t y = area.Top; y < area.Bottom; ++y) {
    pass(source.GetScanLine(area.Left, y), dest.GetScanLine(area.Left, y), count, table);
  }
}

}  // namespace quill

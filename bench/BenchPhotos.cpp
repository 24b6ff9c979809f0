#include "BenchPhotos.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "ImageCodecs.h"

namespace quillbench {

const TZelLTBitmap& LargePhoto() {
  static TZelLTBitmap* photo = [] {
    auto* bitmap = new TZelLTBitmap;
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    if (!quill::LoadImageFile(QUILL_IMAGES_DIR "/astronaut.png", *bitmap, format, metadata) ||
        !bitmap->Resize(kLargeWidth, kLargeHeight)) {
      std::fprintf(stderr, "cannot make the 6000 x 4000 photo\n");
      std::abort();
    }
    return bitmap;
  }();
  return *photo;
}

const TZelLTBitmap& GrainyLargePhoto() {
  static TZelLTBitmap* photo = [] {
    auto* bitmap = new TZelLTBitmap;
    if (!bitmap->AssignPixels(LargePhoto().GetPixels())) std::abort();
    uint32_t noise = 12345;
    for (int32_t y = 0; y < kLargeHeight; ++y) {
      uint8_t* p = bitmap->GetPixels().GetScanLine(0, y);
      for (int32_t i = 0; i < kLargeWidth * 3; ++i) {
        noise = noise * 1664525u + 1013904223u;
        p[i] = static_cast<uint8_t>(std::clamp(p[i] + static_cast<int>(noise >> 29) - 4, 0, 255));
      }
    }
    return bitmap;
  }();
  return *photo;
}

void FillColourField(TZelPixels& pixels) {
  for (int32_t y = 0; y < pixels.Height(); ++y) {
    uint8_t* p = pixels.GetPixelAddress(0, y);
    for (int32_t x = 0; x < pixels.Width(); ++x, p += 3) {
      p[0] = static_cast<uint8_t>(x / 24);
      p[1] = static_cast<uint8_t>(y / 16);
      p[2] = static_cast<uint8_t>((x + y) / 40);
    }
  }
}

double Median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

}  // namespace quillbench

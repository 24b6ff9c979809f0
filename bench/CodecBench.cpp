// The image codecs on a 6000 x 4000 picture made from a real photo: JPEG decode and
// encode, a lossless save after a small edit, a thumbnail, and PNG decode beside
// libpng's own simplified read of the same file. The files are written to the
// temporary folder once, so the same files can be timed with djpeg, cjpeg and jpegtran.

#include <benchmark/benchmark.h>
#include <png.h>


#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "ImageCodecs.h"
#include "LosslessJpeg.h"
#include "ZelLTBitmap.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

std::filesystem::path Folder() { return std::filesystem::temp_directory_path() / "quill-codec-bench"; }

// The sample portrait enlarged to 6000 x 4000, made once, and its JPEG (quality 90) and
// PNG files.
const TZelLTBitmap& LargePhoto() {
  static TZelLTBitmap* photo = [] {
    auto* bitmap = new TZelLTBitmap;
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    if (!quill::LoadImageFile(QUILL_IMAGES_DIR "/astronaut.png", *bitmap, format, metadata) ||
        !bitmap->Resize(kWidth, kHeight)) {
      std::fprintf(stderr, "cannot make the 6000 x 4000 photo\n");
      std::abort();
    }
    std::filesystem::create_directories(Folder());
    if (!quill::SaveImageFile(Folder() / "photo.jpg", bitmap->GetPixels(), "image/jpeg", 90, {}) ||
        !quill::SaveImageFile(Folder() / "photo.png", bitmap->GetPixels(), "image/png", -1, {})) {
      std::abort();
    }
    std::fprintf(stderr, "benchmark files: %s\n", Folder().c_str());
    return bitmap;
  }();
  return *photo;
}

std::vector<uint8_t> Bytes(const char* name) {
  LargePhoto();
  std::vector<uint8_t> data;
  if (!quill::ReadFileBytes(Folder() / name, data)) std::abort();
  return data;
}

void BM_JpegDecode(benchmark::State& state) {
  const std::vector<uint8_t> data = Bytes("photo.jpg");
  for (auto _ : state) {
    TZelLTBitmap image;
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    benchmark::DoNotOptimize(quill::DecodeImage(data, image, format, metadata));
  }
}
BENCHMARK(BM_JpegDecode)->Unit(benchmark::kMillisecond);

void BM_JpegEncodeQuality80(benchmark::State& state) {
  const TZelLTBitmap& photo = LargePhoto();
  std::vector<uint8_t> output;
  for (auto _ : state) benchmark::DoNotOptimize(quill::EncodeImage(photo.GetPixels(), "image/jpeg", 80, {}, output));
}
BENCHMARK(BM_JpegEncodeQuality80)->Unit(benchmark::kMillisecond);

// A 50 x 50 pixel edit, then the save that keeps every other block.
void BM_LosslessSaveAfterEdit(benchmark::State& state) {
  LargePhoto();
  quill::TLosslessJpeg jpeg;
  if (!jpeg.LoadFromFile(Folder() / "photo.jpg")) std::abort();
  TZelLTBitmap image;
  image.SetSize(jpeg.GetWidth(), jpeg.GetHeight(), quill::kPixelFormat24);
  jpeg.Decode(image.GetPixels().Bits(), image.GetPixels().Stride());
  for (int y = 2000; y < 2050; ++y) std::memset(image.GetPixels().GetPixelAddress(3000, y), 255, 150);
  jpeg.SetPixels(image.GetPixels().Bits(), image.GetPixels().Stride());
  std::vector<uint8_t> output;
  for (auto _ : state) benchmark::DoNotOptimize(jpeg.SaveToMemory(output, {}));
  jpeg.EndSave();
}
BENCHMARK(BM_LosslessSaveAfterEdit)->Unit(benchmark::kMillisecond);

void BM_JpegThumbnail200(benchmark::State& state) {
  LargePhoto();
  for (auto _ : state) {
    QImage thumbnail;
    benchmark::DoNotOptimize(quill::MakeThumbnail(Folder() / "photo.jpg", 200, 200, thumbnail));
  }
}
BENCHMARK(BM_JpegThumbnail200)->Unit(benchmark::kMillisecond);

void BM_PngDecode(benchmark::State& state) {
  const std::vector<uint8_t> data = Bytes("photo.png");
  for (auto _ : state) {
    TZelLTBitmap image;
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    benchmark::DoNotOptimize(quill::DecodeImage(data, image, format, metadata));
  }
}
BENCHMARK(BM_PngDecode)->Unit(benchmark::kMillisecond);

// libpng's own simplified read of the same file into B, G, R memory: the yardstick.
void BM_PngDecodeLibpngAlone(benchmark::State& state) {
  const std::vector<uint8_t> data = Bytes("photo.png");
  std::vector<uint8_t> pixels(size_t{kWidth} * kHeight * 3);
  for (auto _ : state) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    png_image_begin_read_from_memory(&image, data.data(), data.size());
    image.format = PNG_FORMAT_BGR;
    benchmark::DoNotOptimize(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
  }
}
BENCHMARK(BM_PngDecodeLibpngAlone)->Unit(benchmark::kMillisecond);

}  // namespace

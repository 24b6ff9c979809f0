// The image codecs on a 6000 x 4000 picture made from a real photo: JPEG decode and
// encode, a lossless save after a small edit beside jpegtran's transcoding of the same
// file, a thumbnail, and PNG decode beside libpng's own simplified read of the same file. The files are written to the
// temporary folder once, so the same files can be timed with djpeg, cjpeg and jpegtran.
//
// BMP decode of plain rows beside rows of bit fields.
//
// Then what the open dialog does with files that are large on disk or on paper: the
// description of a 40 GB sparse file (a real TIFF at its start), the thumbnail of a
// 16384 x 16384 PNG of 800 KB, and the open of the 6000 x 4000 JPEG from its file.

#include <benchmark/benchmark.h>
#include <png.h>


#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include <jpeglib.h>

#include "BenchPhotos.h"
#include "ImageCodecs.h"
#include "ImageSource.h"
#include "LosslessJpeg.h"
#include "ZelLTBitmap.h"

namespace {

constexpr int kWidth = quillbench::kLargeWidth;
constexpr int kHeight = quillbench::kLargeHeight;

std::filesystem::path Folder() { return std::filesystem::temp_directory_path() / "quill-codec-bench"; }

// The large photo, and its JPEG (quality 90) and PNG files, written once.
const TZelLTBitmap& LargePhoto() {
  static const bool written = [] {
    const TZelLTBitmap& photo = quillbench::LargePhoto();
    std::filesystem::create_directories(Folder());
    if (!quill::SaveImageFile(Folder() / "photo.jpg", photo.GetPixels(), "image/jpeg", 90, {}) ||
        !quill::SaveImageFile(Folder() / "photo.png", photo.GetPixels(), "image/png", -1, {})) {
      std::abort();
    }
    std::fprintf(stderr, "benchmark files: %s\n", Folder().c_str());
    return true;
  }();
  (void)written;
  return quillbench::LargePhoto();
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

// The lossless save is timed on the photo at quality 92, beside libjpeg-turbo's own
// transcoding of the same file.
const std::vector<uint8_t>& Quality92() {
  static const std::vector<uint8_t> data = [] {
    if (!quill::SaveImageFile(Folder() / "photo-q92.jpg", LargePhoto().GetPixels(), "image/jpeg", 92, {})) std::abort();
    return Bytes("photo-q92.jpg");
  }();
  return data;
}

// A 50 x 50 pixel edit, then the save that keeps every other block. With "held" 0 the
// photo is loaded as the document loads it, decoded into its image, so that every save
// decodes the file again to compare with; with 1 the object holds the decoded pixels.
void BM_LosslessSaveAfterEdit(benchmark::State& state) {
  const std::vector<uint8_t>& data = Quality92();
  quill::TLosslessJpeg jpeg;
  TZelLTBitmap image;
  if (state.range(0) == 0) {
    quill::TImageSource source(data);
    const auto target = [&image](int32_t width, int32_t height, int32_t& stride) -> uint8_t* {
      if (!image.SetSize(width, height, quill::kPixelFormat24)) return nullptr;
      stride = image.GetPixels().Stride();
      return image.GetPixels().Bits();
    };
    if (!jpeg.LoadFromSource(source, target)) std::abort();
  } else {
    if (!jpeg.LoadFromMemory(data) || !image.SetSize(jpeg.GetWidth(), jpeg.GetHeight(), quill::kPixelFormat24) ||
        !jpeg.Decode(image.GetPixels().Bits(), image.GetPixels().Stride())) {
      std::abort();
    }
  }
  for (int y = 2000; y < 2050; ++y) std::memset(image.GetPixels().GetPixelAddress(3000, y), 255, 150);
  jpeg.SetPixels(image.GetPixels().Bits(), image.GetPixels().Stride());
  std::vector<uint8_t> output;
  for (auto _ : state) {
    if (!jpeg.SaveToMemory(output, {})) state.SkipWithError("save failed");
  }
  jpeg.EndSave();
}
BENCHMARK(BM_LosslessSaveAfterEdit)->ArgName("held")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The save as the document makes it: the photo decoded into the document's image, a
// copy of it as the original image (turned with it for "turn"), the save comparing with
// that copy. "edit" 1 paints a 50 x 50 square first; "turn" 1 turns a quarter
// clockwise. Warm ("cold" 0): the same object saves again and again, reusing its
// memory, as a user's second save does. Cold: every save is the first of a freshly
// loaded object (the load untimed), on memory the kernel maps anew.
void BM_LosslessSaveLikeTheDocument(benchmark::State& state) {
  const std::vector<uint8_t>& data = Quality92();
  const bool turn = state.range(0) != 0, cold = state.range(1) != 0;
  auto jpeg = std::make_unique<quill::TLosslessJpeg>();
  TZelLTBitmap image, original;
  const auto load = [&] {
    jpeg = std::make_unique<quill::TLosslessJpeg>();
    quill::TImageSource source(data);
    const auto target = [&image](int32_t width, int32_t height, int32_t& stride) -> uint8_t* {
      if (!image.SetSize(width, height, quill::kPixelFormat24)) return nullptr;
      stride = image.GetPixels().Stride();
      return image.GetPixels().Bits();
    };
    if (!jpeg->LoadFromSource(source, target) || !original.AssignPixels(image.GetPixels())) std::abort();
    if (turn) {
      jpeg->RotateRight();
      if (!image.RotateRight() || !original.RotateRight()) std::abort();
    } else {
      for (int y = 2000; y < 2050; ++y) std::memset(image.GetPixels().GetPixelAddress(3000, y), 255, 150);
    }
  };
  std::vector<uint8_t> output;
  const auto save = [&] {
    jpeg->SetPixels(image.GetPixels().Bits(), image.GetPixels().Stride());
    jpeg->SetReference(original.GetPixels().Bits(), original.GetPixels().Stride());
    const bool saved = jpeg->SaveToMemory(output, {});
    jpeg->EndSave();
    return saved;
  };
  load();
  if (!cold && !save()) std::abort();  // the first save fills the object's memory
  for (auto _ : state) {
    if (cold) {
      state.PauseTiming();
      load();
      state.ResumeTiming();
    }
    if (!save()) state.SkipWithError("save failed");
  }
}
BENCHMARK(BM_LosslessSaveLikeTheDocument)
    ->ArgNames({"turn", "cold"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The yardstick: libjpeg-turbo transcoding the same file as `jpegtran -copy all` does,
// memory to memory: every segment kept, the coefficients read whole and written again.
void BM_LosslessYardstickTranscode(benchmark::State& state) {
  const std::vector<uint8_t>& data = Quality92();
  for (auto _ : state) {
    jpeg_decompress_struct in;
    jpeg_compress_struct out;
    jpeg_error_mgr errors;
    in.err = out.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&in);
    jpeg_create_compress(&out);
    jpeg_mem_src(&in, data.data(), static_cast<unsigned long>(data.size()));
    for (int m = 0; m < 16; ++m) jpeg_save_markers(&in, JPEG_APP0 + m, 0xFFFF);
    jpeg_save_markers(&in, JPEG_COM, 0xFFFF);
    jpeg_read_header(&in, TRUE);
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&in);
    jpeg_copy_critical_parameters(&in, &out);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&out, &buffer, &size);
    jpeg_write_coefficients(&out, coefficients);
    for (jpeg_saved_marker_ptr m = in.marker_list; m != nullptr; m = m->next) {
      // The writer makes its own JFIF segment.
      if (out.write_JFIF_header && m->marker == JPEG_APP0 && m->data_length >= 5 &&
          std::memcmp(m->data, "JFIF", 5) == 0) {
        continue;
      }
      jpeg_write_marker(&out, static_cast<int>(m->marker), m->data, m->data_length);
    }
    jpeg_finish_compress(&out);
    jpeg_destroy_compress(&out);
    jpeg_finish_decompress(&in);
    jpeg_destroy_decompress(&in);
    benchmark::DoNotOptimize(size);
    std::free(buffer);
  }
}
BENCHMARK(BM_LosslessYardstickTranscode)->Unit(benchmark::kMillisecond);

// The program itself, file to file, as the figures quoted for it are taken.
void BM_LosslessYardstickJpegtranProgram(benchmark::State& state) {
  Quality92();
  const std::string command = "jpegtran -copy all -outfile '" + (Folder() / "jpegtran-out.jpg").string() + "' '" +
                              (Folder() / "photo-q92.jpg").string() + "'";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("jpegtran did not run");
  }
}
BENCHMARK(BM_LosslessYardstickJpegtranProgram)->Unit(benchmark::kMillisecond);

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

// The photo as a BMP of Bits (24: plain rows; 16: 5-6-5 bit fields; 32: 10-10-10 bit
// fields), made once.
const std::vector<uint8_t>& BmpOfPhoto(int bits) {
  static std::vector<uint8_t> files[33];
  std::vector<uint8_t>& file = files[bits];
  if (!file.empty()) return file;
  const TZelPixels& photo = LargePhoto().GetPixels();
  if (bits == 24) {
    if (!quill::EncodeImage(photo, "image/bmp", -1, {}, file)) std::abort();
    return file;
  }
  const std::vector<uint32_t> masks = bits == 16 ? std::vector<uint32_t>{0xF800, 0x07E0, 0x001F}
                                                 : std::vector<uint32_t>{0x3FF00000, 0x000FFC00, 0x000003FF};
  const size_t stride = (size_t{kWidth} * bits / 8 + 3) / 4 * 4;
  const auto put = [&file](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) file.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  file = {'B', 'M'};
  put(0, 4), put(0, 4), put(54 + 12, 4), put(40, 4), put(kWidth, 4), put(kHeight, 4), put(1, 2), put(bits, 2);
  put(3, 4), put(0, 4), put(0, 4), put(0, 4), put(0, 4), put(0, 4);
  for (const uint32_t mask : masks) put(mask, 4);
  for (int y = kHeight - 1; y >= 0; --y) {
    const uint8_t* p = photo.GetScanLine(0, y);
    for (int x = 0; x < kWidth; ++x, p += 3) {
      if (bits == 16) {
        put(uint32_t{p[2]} >> 3 << 11 | uint32_t{p[1]} >> 2 << 5 | uint32_t{p[0]} >> 3, 2);
      } else {
        put(uint32_t{p[2]} << 22 | uint32_t{p[1]} << 12 | uint32_t{p[0]} << 2, 4);
      }
    }
    file.resize(file.size() + stride - size_t{kWidth} * bits / 8, 0);
  }
  return file;
}

// BMP decode: plain 24-bit rows, the reference, beside rows of bit fields, whose
// channels are scaled pixel by pixel.
void BM_BmpDecode(benchmark::State& state) {
  const std::vector<uint8_t>& data = BmpOfPhoto(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TZelLTBitmap image;
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    if (!quill::DecodeImage(data, image, format, metadata)) state.SkipWithError("no decode");
  }
}
BENCHMARK(BM_BmpDecode)->ArgName("bits")->Arg(24)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond);

// A TIFF of the photo followed by zeros up to 40 GB: the zeros are a hole of the file
// system and cost no disk.
std::filesystem::path SparseTiff() {
  static const std::filesystem::path path = [] {
    const std::filesystem::path file = Folder() / "sparse-40g.tif";
    TZelLTBitmap small;
    if (!small.AssignPixels(LargePhoto().GetPixels()) || !small.Resize(600, 400) ||
        !quill::SaveImageFile(file, small.GetPixels(), "image/tiff", -1, {}) ||
        ::truncate(file.c_str(), int64_t{40} << 30) != 0) {
      std::abort();
    }
    return file;
  }();
  return path;
}

void BM_DescribeSparse40GB(benchmark::State& state) {
  const std::filesystem::path file = SparseTiff();
  for (auto _ : state) {
    quill::TImageFileInfo info;
    if (!quill::ReadImageFileInfo(file, info)) state.SkipWithError("no description");
    benchmark::DoNotOptimize(info.Width);
  }
}
BENCHMARK(BM_DescribeSparse40GB)->Unit(benchmark::kMillisecond);

// 16384 x 16384 RGB whose rows repeat the first (filter "up" over zeros): 768 MiB of
// pixels in about 800 KB.
std::filesystem::path HugePng() {
  static const std::filesystem::path path = [] {
    constexpr uint32_t kSide = 16384;
    std::vector<uint8_t> raw(size_t{kSide} * (1 + 3 * kSide), 0);
    for (uint32_t x = 0; x < kSide; ++x) {
      raw[1 + 3 * x] = static_cast<uint8_t>(x * 255 / kSide);
      raw[2 + 3 * x] = 128;
      raw[3 + 3 * x] = static_cast<uint8_t>(255 - x * 255 / kSide);
    }
    for (uint32_t y = 1; y < kSide; ++y) raw[size_t{y} * (1 + 3 * kSide)] = 2;
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) std::abort();
    packed.resize(packedSize);
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    const auto chunk = [&png](const char* type, const std::vector<uint8_t>& data) {
      const auto put32 = [&png](uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<uint8_t>(v >> shift));
      };
      put32(static_cast<uint32_t>(data.size()));
      const size_t start = png.size();
      png.insert(png.end(), type, type + 4);
      png.insert(png.end(), data.begin(), data.end());
      put32(static_cast<uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(png.size() - start))));
    };
    chunk("IHDR", {0, 0, 0x40, 0, 0, 0, 0x40, 0, 8, 2, 0, 0, 0});
    chunk("IDAT", packed);
    chunk("IEND", {});
    const std::filesystem::path file = Folder() / "huge-16384.png";
    std::filesystem::create_directories(Folder());
    if (!quill::WriteFileReplacing(file, png)) std::abort();
    return file;
  }();
  return path;
}

void BM_ThumbnailPng16384(benchmark::State& state) {
  const std::filesystem::path file = HugePng();
  for (auto _ : state) {
    QImage thumbnail;
    if (!quill::MakeThumbnail(file, 200, 200, thumbnail)) state.SkipWithError("no thumbnail");
    benchmark::DoNotOptimize(thumbnail);
  }
}
BENCHMARK(BM_ThumbnailPng16384)->Unit(benchmark::kMillisecond)->Iterations(3);

// libpng alone inflating and unfiltering the same rows into one row: the yardstick.
void BM_ThumbnailPng16384LibpngRowsAlone(benchmark::State& state) {
  const std::filesystem::path file = HugePng();
  std::vector<uint8_t> row(size_t{3} * 16384);
  for (auto _ : state) {
    FILE* input = std::fopen(file.c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (input == nullptr || png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) std::abort();
    png_init_io(png, input);
    png_read_info(png, info);
    for (uint32_t y = 0; y < png_get_image_height(png, info); ++y) png_read_row(png, row.data(), nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(input);
    benchmark::DoNotOptimize(row.data());
  }
}
BENCHMARK(BM_ThumbnailPng16384LibpngRowsAlone)->Unit(benchmark::kMillisecond)->Iterations(3);

// The file read and decoded, as File > Open does through the codecs.
void BM_JpegOpenFromFile(benchmark::State& state) {
  LargePhoto();
  for (auto _ : state) {
    TZelLTBitmap image;
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    benchmark::DoNotOptimize(quill::LoadImageFile(Folder() / "photo.jpg", image, format, metadata));
  }
}
BENCHMARK(BM_JpegOpenFromFile)->Unit(benchmark::kMillisecond);

}  // namespace

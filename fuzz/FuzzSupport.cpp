#include "FuzzSupport.h"

#include <unistd.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "ImageCodecs.h"

namespace quill::fuzz {

namespace {

bool SameMetadata(const TImageMetadata& a, const TImageMetadata& b) {
  return a.Items == b.Items && a.HorizontalResolution == b.HorizontalResolution &&
         a.VerticalResolution == b.VerticalResolution;
}

}  // namespace

void Fail(std::string_view what) {
  std::fprintf(stderr, "fuzz check failed: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

uint8_t TFuzzInput::Byte() {
  if (FData.empty()) return 0;
  const uint8_t byte = FData.front();
  FData = FData.subspan(1);
  return byte;
}

const std::filesystem::path& ScratchFolder() {
  static const std::filesystem::path folder = [] {
    std::string name = (std::filesystem::temp_directory_path() / "quill-fuzz-XXXXXX").string();
    Check(mkdtemp(name.data()) != nullptr, "cannot make the scratch folder");
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(ScratchFolder(), ignored);
    });
    return std::filesystem::path(name);
  }();
  return folder;
}

std::filesystem::path WriteScratchFile(std::string_view name, std::span<const uint8_t> data) {
  const std::filesystem::path path = ScratchFolder() / name;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  file.close();
  Check(file.good(), "cannot write a scratch file");
  return path;
}

void EnsureQtApplication() {
  static int argc = 1;
  static char name[] = "quill-fuzz";
  static char* argv[] = {name, nullptr};
  // Destroyed at exit after every static made later (the targets' windows), so that Qt
  // frees what it holds and the leak checker sees nothing left.
  static const std::unique_ptr<QApplication> application = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return std::make_unique<QApplication>(argc, argv);
  }();
}

bool SamePixels(const TZelPixels& a, const TZelPixels& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.PixelFormat() != b.PixelFormat()) return false;
  const size_t rowBytes = size_t{a.BytesPerPixel()} * static_cast<size_t>(a.Width());
  for (int32_t y = 0; y < a.Height(); ++y) {
    if (std::memcmp(a.GetScanLine(a.Left(), a.Top() + y), b.GetScanLine(b.Left(), b.Top() + y), rowBytes) != 0) {
      return false;
    }
  }
  return true;
}

void CheckDecoder(std::span<const uint8_t> data, TDecoder decoder, bool scaled) {
  TImageMetadata headerMetadata;
  TDecodeRequest header;
  header.Metadata = &headerMetadata;
  TImageSource headerSource(data);
  if (!decoder(headerSource, header)) return;
  Check(ImageSizeAllowed(header.Width, header.Height), "header gave a size beyond the limits");
  if (int64_t{header.Width} * header.Height > kMaxDecodedPixels) return;

  TZelLTBitmap image;
  TBitmapSink sink(image);
  TImageMetadata metadata;
  TDecodeRequest request;
  request.Pixels = &sink;
  request.Metadata = &metadata;
  TImageSource source(data);
  if (!decoder(source, request)) return;
  Check(image.GetWidth() == header.Width && image.GetHeight() == header.Height,
        "decoded size differs from the header's");
  Check(image.GetPixels().PixelFormat() == kPixelFormat24, "decoded image is not 24-bit");
  Check(request.Width == header.Width && request.Height == header.Height, "reported sizes differ");
  Check(SameMetadata(metadata, headerMetadata), "metadata differs between header and full decode");

  // The rows a thumbnail averages are the rows of the full decode.
  TThumbnailSink thumbnail(header.Width, header.Height, 16, 16);
  TDecodeRequest reduced;
  reduced.Pixels = &thumbnail;
  TImageSource again(data);
  Check(decoder(again, reduced) && !thumbnail.Finish().isNull(), "a decodable image gives no thumbnail");

  for (int32_t denominator = 2; scaled && denominator <= 8; denominator *= 2) {
    TZelLTBitmap small;
    TBitmapSink smallSink(small);
    TDecodeRequest scaledRequest;
    scaledRequest.Pixels = &smallSink;
    scaledRequest.ScaleDenominator = denominator;
    TImageSource scaledSource(data);
    if (!decoder(scaledSource, scaledRequest)) continue;
    Check(small.GetWidth() == (header.Width + denominator - 1) / denominator &&
              small.GetHeight() == (header.Height + denominator - 1) / denominator,
          "scaled decode has the wrong size");
  }
}

}  // namespace quill::fuzz

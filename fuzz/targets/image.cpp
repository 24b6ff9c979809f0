// Images by content, as the program opens them: the format from the first bytes, the
// open dialog's file information and thumbnail, the decode, then a save of the decoded
// picture and its metadata in every format, which must read back.

#include <QImage>

#include "FuzzSupport.h"
#include "ImageCodecs.h"

namespace {

using quill::fuzz::Check;

constexpr int32_t kThumbnailWidth = 120;
constexpr int32_t kThumbnailHeight = 90;

// Encodes Image with Metadata in every format: each file must decode to the same size,
// and the lossless formats to the same pixels.
void CheckSaves(const TZelLTBitmap& image, const quill::TImageMetadata& metadata) {
  struct TFormat {
    const char* Mime;
    quill::TImageRawFormat Format;
    bool Lossless;
  };
  static constexpr TFormat kFormats[] = {{"image/bmp", quill::TImageRawFormat::Bmp, true},
                                         {"image/jpeg", quill::TImageRawFormat::Jpeg, false},
                                         {"image/tiff", quill::TImageRawFormat::Tiff, true},
                                         {"image/png", quill::TImageRawFormat::Png, true}};
  for (const TFormat& format : kFormats) {
    std::vector<uint8_t> file;
    Check(quill::EncodeImage(image.GetPixels(), format.Mime, 90, metadata, file), "encoding a decoded image failed");
    TZelLTBitmap back;
    quill::TImageRawFormat backFormat;
    quill::TImageMetadata backMetadata;
    Check(quill::DecodeImage(file, back, backFormat, backMetadata), "a saved image does not decode");
    Check(backFormat == format.Format, "a saved image has another format");
    Check(back.GetWidth() == image.GetWidth() && back.GetHeight() == image.GetHeight(),
          "a saved image has another size");
    Check(!format.Lossless || quill::fuzz::SamePixels(back.GetPixels(), image.GetPixels()),
          "a lossless save changed pixels");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  TZelLTBitmap image;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  if (quill::DetectImageFormat(bytes) == quill::TImageRawFormat::Unknown) {
    Check(!quill::DecodeImage(bytes, image, format, metadata) && image.IsEmpty(), "data of no known format decoded");
    return 0;
  }
  const std::filesystem::path path = quill::fuzz::WriteScratchFile("image", bytes);
  quill::TImageFileInfo info;
  if (!quill::ReadImageFileInfo(path, info)) {
    Check(!quill::DecodeImage(bytes, image, format, metadata), "an image without a readable header decoded");
    return 0;
  }
  if (int64_t{info.Width} * info.Height > quill::fuzz::kMaxDecodedPixels) return 0;

  const bool decoded = quill::DecodeImage(bytes, image, format, metadata);
  Check(format == info.Format, "decode and file information disagree on the format");
  if (!decoded) {
    Check(image.IsEmpty(), "a failed decode left pixels");
    return 0;
  }
  Check(image.GetWidth() == info.Width && image.GetHeight() == info.Height,
        "decode and file information disagree on the size");

  QImage thumbnail;
  Check(quill::MakeThumbnail(path, kThumbnailWidth, kThumbnailHeight, thumbnail), "a decodable image has no thumbnail");
  Check(thumbnail.width() >= 1 && thumbnail.width() <= kThumbnailWidth && thumbnail.height() >= 1 &&
            thumbnail.height() <= kThumbnailHeight,
        "the thumbnail does not fit its box");

  if (int64_t{info.Width} * info.Height <= quill::fuzz::kMaxRoundTripPixels) CheckSaves(image, metadata);
  return 0;
}

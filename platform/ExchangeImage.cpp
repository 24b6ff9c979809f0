#include "ExchangeImage.h"

#include "ExchangeFile.h"
#include "ImageCodecs.h"

namespace quill {

bool LoadExchangeImage(const std::filesystem::path& fileName, TZelLTBitmap& image,
                       TImageMetadata& metadata) {
  TExchangeFileReader reader;
  if (!reader.Open(fileName)) return false;
  const TPhotoshopDataInfo& info = reader.Info();
  if (!image.SetSize(info.Width, info.Height, kPixelFormat24)) return false;
  reader.CopyPixels(image.GetPixels().Bits(), image.GetPixels().Stride());

  metadata = TImageMetadata();
  if (!reader.ExifData().empty() &&
      ReadExifProperties(reader.ExifData(), /*thumbnail=*/true, metadata.Items)) {
    PropertyResolution(metadata.Items, metadata.HorizontalResolution, metadata.VerticalResolution);
  }
  return true;
}

bool SaveExchangeImage(const std::filesystem::path& fileName, const TZelLTBitmap& image) {
  const TZelPixels& pixels = image.GetPixels();
  if (image.IsEmpty() || pixels.PixelFormat() != kPixelFormat24) return false;
  return WriteExchangeFile(fileName, pixels.Bits(), pixels.Stride(), pixels.Width(),
                           pixels.Height());
}

}  // namespace quill

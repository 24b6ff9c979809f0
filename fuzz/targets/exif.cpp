// EXIF blocks, as JPEG, PNG and exchange files carry them: the property items read from
// a TIFF structure, written back as the saves write them, and read again.

#include "FuzzSupport.h"
#include "ImageCodecs.h"

using quill::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TImageMetadata metadata;
  if (!ReadExifProperties({data, size}, /*thumbnail=*/true, metadata.Items)) return 0;
  PropertyResolution(metadata.Items, metadata.HorizontalResolution, metadata.VerticalResolution);
  ReadPropertyText(metadata.Items, kPropertyDateTime);

  // The writer keeps what it can write; writing what it read back must give the same bytes.
  const std::vector<uint8_t> body = BuildExifData(metadata.Items);
  if (!body.empty()) {
    TImagePropertyList again;
    Check(ReadExifProperties(body, /*thumbnail=*/true, again), "a written EXIF block does not read back");
    Check(BuildExifData(again) == body, "writing the items read back changed the EXIF block");
  }

  // A small picture saved with these items must read back in every format that carries them.
  TZelLTBitmap picture;
  Check(picture.SetSize(3, 2, kPixelFormat24), "cannot make the picture");
  for (const char* mime : {"image/jpeg", "image/png", "image/tiff"}) {
    std::vector<uint8_t> file;
    Check(EncodeImage(picture.GetPixels(), mime, 90, metadata, file), "saving with these items failed");
    TZelLTBitmap back;
    TImageRawFormat format;
    TImageMetadata backMetadata;
    Check(DecodeImage(file, back, format, backMetadata), "a picture saved with these items does not decode");
  }
  return 0;
}

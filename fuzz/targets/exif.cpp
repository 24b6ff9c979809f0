// EXIF blocks, as JPEG, PNG and exchange files carry them: the property items read from
// a TIFF structure, written back as the saves write them, and read again.

#include "FuzzSupport.h"
#include "ImageCodecs.h"

using quill::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quill::TImageMetadata metadata;
  if (!quill::ReadExifProperties({data, size}, /*thumbnail=*/true, metadata.Items)) return 0;
  quill::PropertyResolution(metadata.Items, metadata.HorizontalResolution, metadata.VerticalResolution);
  ReadPropertyText(metadata.Items, quill::kPropertyDateTime);

  // The writer keeps what it can write; writing what it read back must give the same bytes.
  const std::vector<uint8_t> body = quill::BuildExifData(metadata.Items);
  if (!body.empty()) {
    quill::TImagePropertyList again;
    Check(quill::ReadExifProperties(body, /*thumbnail=*/true, again), "a written EXIF block does not read back");
    Check(quill::BuildExifData(again) == body, "writing the items read back changed the EXIF block");
  }

  // A small picture saved with these items must read back in every format that carries them.
  TZelLTBitmap picture;
  Check(picture.SetSize(3, 2, quill::kPixelFormat24), "cannot make the picture");
  for (const char* mime : {"image/jpeg", "image/png", "image/tiff"}) {
    std::vector<uint8_t> file;
    Check(quill::EncodeImage(picture.GetPixels(), mime, 90, metadata, file), "saving with these items failed");
    TZelLTBitmap back;
    quill::TImageRawFormat format;
    quill::TImageMetadata backMetadata;
    Check(quill::DecodeImage(file, back, format, backMetadata), "a picture saved with these items does not decode");
  }
  return 0;
}

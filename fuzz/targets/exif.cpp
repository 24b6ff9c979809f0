// EXIF blocks, as JPEG, PNG and exchange files carry them: the property items read from
// a TIFF structure, written back as the saves write them, and read again; the
// orientation set upright in place and in the items, as saves of a turned photo do.

#include <algorithm>

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

  // The orientation set in place, as a lossless save of a turned photo sets it: only
  // within the block, which still reads, and a one-value orientation then says 1.
  std::vector<uint8_t> upright(data, data + size);
  if (quill::SetTiffOrientation(upright, 1)) {
    quill::TImagePropertyList items;
    Check(quill::ReadExifProperties(upright, /*thumbnail=*/true, items), "a block set upright does not read");
    const quill::TImagePropertyItem* item = quill::FindProperty(items, quill::kPropertyOrientation);
    Check(item != nullptr, "a block set upright lost its orientation");
    if ((item->Type == quill::kTiffShort && item->Length() == 2) || (item->Type == quill::kTiffLong && item->Length() == 4)) {
      Check(item->Value[0] == 1 && std::all_of(item->Value.begin() + 1, item->Value.end(), [](uint8_t b) { return b == 0; }),
            "a block set upright says another orientation");
    }
  }
  quill::SetTopLeftOrientation(metadata.Items);

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

// Lossless JPEG editing: load, change the geometry, paint, save, as the document does
// with a JPEG it opened losslessly. The saved file must load again at the size saved.
//
// The input is a 12-byte control block followed by the JPEG:
//   0-3   four geometry steps, in order, each byte modulo 8: 1 FlipHorizontal,
//         2 FlipVertical, 3 RotateLeft, 4 RotateRight, 5 SetRegion, 6 Crop, 7 Resize
//         (to the rectangle's size); others none
//   4-7   the rectangle of SetRegion and Crop in current coordinates, as signed bytes:
//         left, top, then right and bottom as offsets from the current width and height
//   8-10  a square to paint after the geometry: its left and top as fractions
//         (byte / 256) of the width and height, its side in pixels (0: no paint)
//   11    bit 0: keep the source's coding (save option 2); bit 1: save through a file;
//         bit 2: the saved EXIF says top-left; bit 3: the save compares with the
//         caller's copy of the current image as decoded (SetReference), as the
//         document's original is

#include <algorithm>

#include "FuzzSupport.h"
#include "ImageCodecs.h"
#include "LosslessJpeg.h"

namespace {

using quill::fuzz::Check;

void ApplyStep(quill::TLosslessJpeg& jpeg, uint8_t step, const int8_t region[4]) {
  const quill::TRect rect{region[0], region[1], jpeg.GetWidth() + region[2], jpeg.GetHeight() + region[3]};
  switch (step % 8) {
    case 1: jpeg.FlipHorizontal(); break;
    case 2: jpeg.FlipVertical(); break;
    case 3: jpeg.RotateLeft(); break;
    case 4: jpeg.RotateRight(); break;
    case 5: jpeg.SetRegion(rect); break;
    case 6: jpeg.Crop(rect); break;
    case 7: jpeg.Resize(static_cast<int32_t>(rect.Width()), static_cast<int32_t>(rect.Height())); break;
    default: break;
  }
}

// The width and height a JPEG's header gives; false when it gives none.
bool JpegSize(std::span<const uint8_t> data, int64_t& width, int64_t& height) {
  quill::TDecodeRequest header;
  quill::TImageSource source(data);
  if (!quill::DecodeJpeg(source, header)) return false;
  width = header.Width;
  height = header.Height;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quill::fuzz::TFuzzInput input(data, size);
  uint8_t steps[4];
  int8_t region[4];
  uint8_t paint[3];
  for (uint8_t& step : steps) step = input.Byte();
  for (int8_t& side : region) side = static_cast<int8_t>(input.Byte());
  for (uint8_t& value : paint) value = input.Byte();
  const uint8_t flags = input.Byte();
  const std::span<const uint8_t> source = input.Rest();

  int64_t width = 0, height = 0;
  if (!JpegSize(source, width, height) || width * height > quill::fuzz::kMaxDecodedPixels) return 0;
  quill::TLosslessJpeg jpeg;
  if (!jpeg.LoadFromMemory({source.begin(), source.end()})) {
    Check(!jpeg.HasImage(), "a failed load kept an image");
    return 0;
  }
  Check(jpeg.GetWidth() == width && jpeg.GetHeight() == height, "the loaded size differs from the header's");
  for (const uint8_t step : steps) ApplyStep(jpeg, step, region);
  if (!quill::ImageSizeAllowed(jpeg.GetWidth(), jpeg.GetHeight()) ||
      int64_t{jpeg.GetWidth()} * jpeg.GetHeight() > quill::fuzz::kMaxDecodedPixels) {
    return 0;
  }

  // The current image as the document holds it, with the painted square changed.
  TZelLTBitmap image;
  Check(image.SetSize(jpeg.GetWidth(), jpeg.GetHeight(), quill::kPixelFormat24), "cannot make the image");
  TZelPixels& pixels = image.GetPixels();
  Check(jpeg.Decode(pixels.Bits(), pixels.Stride()), "decoding the current image failed");
  TZelLTBitmap reference;
  Check(reference.AssignPixels(pixels), "cannot copy the image");
  const int32_t left = pixels.Width() * paint[0] / 256, top = pixels.Height() * paint[1] / 256;
  for (int32_t y = top; y < std::min(top + paint[2], pixels.Height()); ++y) {
    for (int32_t x = left; x < std::min(left + paint[2], pixels.Width()); ++x) {
      uint8_t* pixel = pixels.GetPixelAddress(x, y);
      for (int c = 0; c < 3; ++c) pixel[c] ^= 0x80;
    }
  }

  jpeg.SetPixels(pixels.Bits(), pixels.Stride());
  if ((flags & 8) != 0) jpeg.SetReference(reference.GetPixels().Bits(), reference.GetPixels().Stride());
  quill::TLosslessJpegSaveOptions options;
  options.Values[quill::TLosslessJpegSaveOptions::kCoding] = (flags & 1) != 0 ? 2 : 0;
  options.TopLeftOrientation = (flags & 4) != 0;
  std::vector<uint8_t> saved;
  quill::TLosslessJpeg reloaded;
  if ((flags & 2) != 0) {
    const std::filesystem::path path = quill::fuzz::ScratchFolder() / "lossless.jpg";
    if (!jpeg.Save(path, options)) return 0;
    Check(reloaded.LoadFromFile(path), "a lossless save through a file does not load");
  } else {
    if (!jpeg.SaveToMemory(saved, options)) return 0;
    Check(reloaded.LoadFromMemory(saved), "a lossless save does not load");
    if ((flags & 8) != 0) {
      // The caller's copy stands in for decoding the file again, to the byte.
      std::vector<uint8_t> decoded;
      jpeg.SetReference(nullptr, 0);
      Check(jpeg.SaveToMemory(decoded, options) && decoded == saved, "the caller's copy changed the saved file");
    }
  }
  jpeg.EndSave();
  Check(reloaded.GetWidth() == pixels.Width() && reloaded.GetHeight() == pixels.Height(),
        "a lossless save has another size");
  return 0;
}

// The per-format codecs behind ImageCodecs.h.

#ifndef QUILL_PLATFORM_IMAGECODECSPRIVATE_H_
#define QUILL_PLATFORM_IMAGECODECSPRIVATE_H_

#include <cstdint>
#include <span>
#include <vector>

#include "ImageProperties.h"
#include "ZelBitmap.h"
#include "ZelLTBitmap.h"

namespace quill {

// One decode request. Each decoder reads the header, reports the size, and decodes
// the pixels only when Image is given.
struct TDecodeRequest {
  TZelLTBitmap* Image = nullptr;       // null: the header only
  TImageMetadata* Metadata = nullptr;  // null: no property items
  int32_t Width = 0;                   // out: the image's full size
  int32_t Height = 0;
  bool TooLarge = false;               // out: the header gives a size ImageSizeAllowed refuses
  // JPEG only: decode at 1/ScaleDenominator (1, 2, 4 or 8) with the faster methods.
  int32_t ScaleDenominator = 1;
};

// Whether Width x Height may be decoded; when not, Request.TooLarge is set. Every
// decoder judges the size of its header through this, before it allocates anything.
bool AcceptImageSize(int64_t width, int64_t height, TDecodeRequest& request);

bool DecodeJpeg(std::span<const uint8_t> data, TDecodeRequest& request);
bool DecodePng(std::span<const uint8_t> data, TDecodeRequest& request);
bool DecodeTiff(std::span<const uint8_t> data, TDecodeRequest& request);
bool DecodeBmp(std::span<const uint8_t> data, TDecodeRequest& request);
bool DecodeGif(std::span<const uint8_t> data, TDecodeRequest& request);

// Each encoder writes the whole of Pixels (24-bit) into Output.
bool EncodeJpeg(const TZelPixels& pixels, int32_t quality, const TImageMetadata& metadata,
                std::vector<uint8_t>& output);
bool EncodePng(const TZelPixels& pixels, const TImageMetadata& metadata, std::vector<uint8_t>& output);
bool EncodeTiff(const TZelPixels& pixels, const TImageMetadata& metadata, std::vector<uint8_t>& output);
bool EncodeBmp(const TZelPixels& pixels, const TImageMetadata& metadata, std::vector<uint8_t>& output);

// Removes the ICC profile item unless it describes RGB data: the decoders hand out RGB
// whatever the file held, and a grey or CMYK profile would misdescribe it. A profile
// is kept when its header is whole, names RGB data and gives its own length.
void KeepRgbIccProfile(TImagePropertyList& items);

// Dots per unit, rounded, from dots per inch, for headers that store whole numbers; one
// inch is UnitsPerInch units (1 for inches, 0.0254 for metres). 0 when Dpi is not
// positive.
uint32_t DotsPerInchTo(double dpi, double unitsPerInch);

}  // namespace quill

#endif  // QUILL_PLATFORM_IMAGECODECSPRIVATE_H_

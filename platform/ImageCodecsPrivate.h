// The per-format codecs behind ImageCodecs.h.

#ifndef QUILL_PLATFORM_IMAGECODECSPRIVATE_H_
#define QUILL_PLATFORM_IMAGECODECSPRIVATE_H_

#include <cstdint>
#include <new>
#include <span>
#include <stdexcept>
#include <vector>

#include "ImageProperties.h"
#include "ImageSource.h"
#include "PixelSink.h"
#include "ZelBitmap.h"
#include "ZelLTBitmap.h"

namespace quill {

// One decode request. Each decoder reads the header from its source, reports the size,
// and decodes the pixels into Pixels only when that is given. A decoder reads only what
// it needs of the source, and holds at most a few rows (or one strip or tile) of the
// picture beside what the sink keeps.
struct TDecodeRequest {
  TPixelSink* Pixels = nullptr;        // null: the header only
  TImageMetadata* Metadata = nullptr;  // null: no property items
  // With Metadata: only the items a file's description shows (date, make, model), read
  // as cheaply as the format allows.
  bool Brief = false;
  int32_t Width = 0;                   // out: the image's full size
  int32_t Height = 0;
  bool TooLarge = false;               // out: the header gives a size ImageSizeAllowed refuses
  // JPEG only: decode at 1/ScaleDenominator (1, 2, 4 or 8) with the faster methods.
  int32_t ScaleDenominator = 1;
  // Bytes the decoding library may take for its own buffers beyond a few rows (a
  // progressive JPEG's coefficients, a TIFF strip); 0: no limit but the image's.
  int64_t MemoryLimit = 0;
};

// Call's result; false when it throws std::bad_alloc or std::length_error (a size no
// container can hold). Every entry point of the codec layer that promises false on
// failure runs through this, so that a failed allocation is a failed call and no
// exception leaves the layer.
template <class TCall>
bool FailOnMemoryError(TCall&& call) {
  try {
    return call();
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

// Whether Width x Height may be decoded; when not, Request.TooLarge is set. Every
// decoder judges the size of its header through this, before it allocates anything.
bool AcceptImageSize(int64_t width, int64_t height, TDecodeRequest& request);

bool DecodeJpeg(TImageSource& source, TDecodeRequest& request);
bool DecodePng(TImageSource& source, TDecodeRequest& request);
bool DecodeTiff(TImageSource& source, TDecodeRequest& request);
bool DecodeBmp(TImageSource& source, TDecodeRequest& request);
bool DecodeGif(TImageSource& source, TDecodeRequest& request);

// Each encoder writes the whole of Pixels (24-bit) into Output.
bool EncodeJpeg(const TZelPixels& pixels, int32_t quality, const TImageMetadata& metadata,
                std::vector<uint8_t>& output);
bool EncodePng(const TZelPixels& pixels, const TImageMetadata& metadata, std::vector<uint8_t>& output);
bool EncodeTiff(const TZelPixels& pixels, const TImageMetadata& metadata, std::vector<uint8_t>& output);
bool EncodeBmp(const TZelPixels& pixels, const TImageMetadata& metadata, std::vector<uint8_t>& output);

// The largest ICC profile kept: what a JPEG carries, split over at most 255 APP2
// segments of 65519 bytes each.
constexpr size_t kMaxIccProfileBytes = size_t{255} * 65519;

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

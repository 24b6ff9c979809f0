// The exchange file as an image: its pixels in a TZelLTBitmap and its EXIF block as
// property items. The document's load and save of exchange files call these.

#ifndef QUILL_PLATFORM_EXCHANGEIMAGE_H_
#define QUILL_PLATFORM_EXCHANGEIMAGE_H_

#include <filesystem>

#include "ImageProperties.h"
#include "ZelLTBitmap.h"

namespace quill {

// Reads the exchange file FileName into Image (24-bit, B, G, R) and the items and
// resolution of its EXIF block, when it has one, into Metadata (emptied otherwise).
// False, leaving both as they were, when the file is not an exchange file the program
// accepts (missing, another image format, a mode other than RGB, a header that does
// not fit the file); false with Image empty when its pixels cannot be allocated.
bool LoadExchangeImage(const std::filesystem::path& fileName, TZelLTBitmap& image,
                       TImageMetadata& metadata);

// Writes Image back into FileName in place: the header, the image's own stride as the
// row step and 3 as the pixel step, the rows as red, green, blue. No EXIF block is
// written. False for an empty or non-24-bit image, or a file that cannot be sized or
// mapped.
bool SaveExchangeImage(const std::filesystem::path& fileName, const TZelLTBitmap& image);

}  // namespace quill

#endif  // QUILL_PLATFORM_EXCHANGEIMAGE_H_

// The TIFF decoder alone: header, EXIF items and pixels.

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quill::fuzz::CheckDecoder({data, size}, quill::DecodeTiff, /*scaled=*/false);
  return 0;
}

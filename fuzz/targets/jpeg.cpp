// The JPEG decoder alone: header, pixels, and the reduced scales of thumbnails.

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quill::fuzz::CheckDecoder({data, size}, quill::DecodeJpeg, /*scaled=*/true);
  return 0;
}

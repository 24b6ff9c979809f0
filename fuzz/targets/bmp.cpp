// The BMP decoder alone: header and pixels.

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quill::fuzz::CheckDecoder({data, size}, quill::DecodeBmp, /*scaled=*/false);
  return 0;
}

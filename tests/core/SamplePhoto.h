// The bundled sample photos for the core tests, read through the program's own image
// loader.

#ifndef QUILL_TESTS_CORE_SAMPLEPHOTO_H_
#define QUILL_TESTS_CORE_SAMPLEPHOTO_H_

#include <string>

#include "ImageCodecs.h"
#include "ZelBitmap.h"
#include "ZelLTBitmap.h"

namespace quill {

// Photo := the sample photo Name of the images folder as a 24-bit buffer at (0, 0);
// false when it does not load.
inline bool LoadSamplePhoto(const std::string& name, TZelPixelBuffer& photo) {
  TZelLTBitmap bitmap;
  TImageRawFormat format;
  TImageMetadata metadata;
  return LoadImageFile(std::string(QUILL_IMAGES_DIR) + "/" + name, bitmap, format, metadata) &&
         CopyBitmapToBuffer(bitmap, photo);
}

}  // namespace quill

#endif  // QUILL_TESTS_CORE_SAMPLEPHOTO_H_

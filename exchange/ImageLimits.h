// The largest image the program takes, from any source: a decoded file, an exchange
// file from the plug-in, a resize. Sizes come from untrusted headers and are checked
// against these limits before anything is allocated.
//
// Here, beside the exchange file, because this is the one library that the program
// and the plug-in both build on and it pulls in no toolkit: the plug-in refuses an
// image the program would refuse, by the same rule, before it starts the program.

#ifndef QUILL_EXCHANGE_IMAGELIMITS_H_
#define QUILL_EXCHANGE_IMAGELIMITS_H_

#include <cstdint>

namespace quill {

constexpr int32_t kMaxImageSide = 65535;
// 2^28 pixels: 768 MiB at 3 bytes a pixel.
constexpr int64_t kMaxImagePixels = int64_t{1} << 28;

// Whether an image of Width x Height may be allocated: both sides in 1..65535 and the
// product within kMaxImagePixels.
constexpr bool ImageSizeAllowed(int64_t width, int64_t height) {
  return width >= 1 && width <= kMaxImageSide && height >= 1 && height <= kMaxImageSide &&
         width * height <= kMaxImagePixels;
}

}  // namespace quill

#endif  // QUILL_EXCHANGE_IMAGELIMITS_H_

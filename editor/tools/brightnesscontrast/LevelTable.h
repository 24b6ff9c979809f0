// The pixel passes of the brightness and contrast tool, without Qt: the scan that
// finds the levels an automatic correction stretches to 0 and 255, and the
// application of a 256-entry level table from one 24-bit view to another.
//
// The table pass maps every byte of a pixel through the same table, so a row is one
// run of bytes. On processors with the AVX-512 byte permutes it looks up 64 bytes at
// a time, and an area of 4 MB or more from another buffer is written past the cache,
// so it runs at about the speed of a plain copy of the same bytes; elsewhere a byte
// at a time. Both give the same bytes.

#ifndef QUILL_EDITOR_LEVELTABLE_H_
#define QUILL_EDITOR_LEVELTABLE_H_

#include <array>
#include <cstdint>

#include "ZelBitmap.h"
#include "ZelTypes.h"

namespace quill {

using TLevelTable = std::array<uint8_t, 256>;

// The darkest and brightest levels of Pixels (24-bit, B, G, R), scanned row by row
// from the top, left to right, with S = R + G + B. Min starts at 255 with MinSum 765,
// Max at 0 with MaxSum 0. A pixel with 0 < S < MinSum lowers Min to each of its
// channels, in the order R, G, B, that is not 0 and below Min, and MinSum becomes S;
// a pixel with MaxSum < S < 765 raises Max to each channel that is not 255 and above
// Max, and MaxSum becomes S. Afterwards Min 255 becomes 0 and Max 0 becomes 255; when
// Max is then not above Min (a flat image, one grey level) they become 0 and 255, so
// that the correction leaves the image as it is.
struct TAutoLevels {
  int32_t Min = 0;
  int32_t Max = 255;
};
TAutoLevels FindAutoLevels(const TZelPixels& pixels);

// Every byte of Rect (clipped to both views) of Dest := Table[the byte at the same
// position in Source]. Both views are 24-bit (otherwise nothing is written); Source
// may be Dest itself, or memory that Dest does not overlap.
void ApplyLevelTable(const TZelPixels& source, TZelPixels& dest, const quill::TRect& rect,
                     const TLevelTable& table);

}  // namespace quill

#endif  // QUILL_EDITOR_LEVELTABLE_H_

// The brush dab shapes shared by the painting tools and the engine drivers.

#ifndef QUILL_CORE_DABSHAPES_H_
#define QUILL_CORE_DABSHAPES_H_

#include <cstdint>

#include "ZelBitmap.h"
#include "ZelTypes.h"

// The dab rectangle of a brush of Size centred on Point:
// (X - Size div 2, Y - Size div 2, X + Size div 2 + 1, Y + Size div 2 + 1),
// so an even Size gives a dab of Size + 1 pixels across. Sides that would pass the
// 32-bit limits stop there.
quill::TRect DabRect(quill::TPoint point, int32_t size);

// A soft round dab in Mask at (0, 0), 2 * (Size div 2) + 1 pixels square: Opacity
// inside the inner radius, falling linearly to 0 at the outer radius, as set by
// Hardness (0..255). A one-pixel dab is 255 whatever the opacity.
void SoftDisc(TZelPixelMask& mask, int32_t size, int32_t opacity, int32_t hardness);

// A dab whose value at relative distance t = 2d / Size from the centre is
// Round((1 - t^(Exponent16 / 16)) * Peak) while t < 1, else 0. The Wire Eraser uses
// (255, 160): nearly flat inside, falling steeply at the rim.
void PowerDisc(TZelPixelMask& mask, int32_t size, int32_t peak, int32_t exponent16);

// Paints the packed Colour through Mask over Rect: a mask byte m of 255 sets the Dest
// pixel to the colour, 0 leaves it alone, anything between gives per channel
// s + floor(m * (c - s) / 256) with s the Source channel. Source and Dest are 24-bit
// views containing Rect, and may be one view.
void ApplyColourThroughMask(const TZelPixelMask& mask, const TZelPixels& source, uint32_t colour,
                            const quill::TRect& rect, TZelPixels& dest);

#endif  // QUILL_CORE_DABSHAPES_H_

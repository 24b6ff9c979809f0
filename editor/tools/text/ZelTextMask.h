// The text tool's mask: the lines of its text rendered white on black, one grey level a
// pixel, which the tool stretches to fill its box.
//
// RenderTextMask draws the lines up to the last non-empty one, line I at (0, I * H)
// from the left edge, where H is the font's line height; the bitmap is as wide as the
// widest line and (last + 1) * H high. The font's own smoothing applies, in grey levels
// only. With no non-empty line, or lines that have no width, the mask is null.
//
// The mask is kept to kMaxTextSide on each side and kMaxTextPixels in all. A text
// larger than that at the font's size is drawn scaled down into a bitmap that fits:
// each side to at most kMaxTextSide, then both alike until the pixels fit. The whole
// text is always there, only at a lower resolution, and since the tool stretches the
// mask to its box whatever its size, what the box shows stays the same: a line of
// 100,000 characters becomes a band kMaxTextSide pixels wide whose columns each
// average a dozen letters, still at the full height of the letters.
//
// Qt lays text out in 26.6 fixed point, which overflows beyond 2^25 pixels. A text that
// could reach kMaxLayoutExtent pixels at the font's size (its longest line times the
// font's widest character, or its height) is therefore laid out at a smaller pixel
// size, in proportion; the mask is scaled down far more than that anyway. A text that
// would exceed it even at 1 pixel (millions of characters in a line or millions of
// lines) gives a null mask.
//
// Measuring and drawing take time in proportion to the number of characters (a line of
// 100,000 characters: under a tenth of a second); the memory is that of the mask (at
// most kMaxTextPixels grey levels, drawn on a 32-bit canvas first).

#ifndef QUILL_EDITOR_ZELTEXTMASK_H_
#define QUILL_EDITOR_ZELTEXTMASK_H_

#include <QFont>
#include <QImage>
#include <QStringList>

#include <cstdint>

namespace quill {

constexpr int32_t kMaxTextSide = 8192;
constexpr int64_t kMaxTextPixels = int64_t{1} << 23;
constexpr int64_t kMaxLayoutExtent = int64_t{1} << 24;

// Lines rendered in Font (given its pixel size) as described above: a Grayscale8 image,
// or a null one.
QImage RenderTextMask(const QStringList& lines, const QFont& font);

}  // namespace quill

#endif  // QUILL_EDITOR_ZELTEXTMASK_H_

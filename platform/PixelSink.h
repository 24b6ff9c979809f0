// Where a decoder puts the pixels it decodes: into a whole image, or into a thumbnail
// that averages them as they come, so that a preview never holds the full picture.
//
// A decoder calls Begin once with the size of what it will deliver (for a JPEG decoded
// at a reduced scale, the reduced size), then delivers rows of 24-bit B, G, R pixels,
// in any order, each pixel at most once:
// - dense rows: Rows gives memory for Count rows from row Y, which the decoder fills
//   and hands back with Commit(Y, Count);
// - spaced pixels (the passes of an interlaced PNG): Put gives Count pixels of row Y
//   at columns X, X + Step, ...
// Pixels never delivered are black.
//
// Begin, Rows and Put answer false or null when their memory cannot be had, or the
// pixels are no longer wanted; the decoder then fails.

#ifndef QUILL_PLATFORM_PIXELSINK_H_
#define QUILL_PLATFORM_PIXELSINK_H_

#include <cstdint>
#include <functional>
#include <stop_token>
#include <vector>

#include <QImage>

#include "ZelLTBitmap.h"

namespace quill {

class TPixelSink {
 public:
  virtual ~TPixelSink() = default;
  virtual bool Begin(int32_t width, int32_t height) = 0;
  // Memory for rows Y .. Y + Count - 1, Stride bytes apart.
  virtual uint8_t* Rows(int32_t y, int32_t count, int64_t& stride) = 0;
  virtual void Commit(int32_t y, int32_t count) = 0;
  virtual bool Put(int32_t y, int32_t x, int32_t step, int32_t count, const uint8_t* pixels) = 0;
};

// Rows straight into memory that a target function gives for the size (null when it
// cannot be had): Width * 3 bytes of B, G, R a row, Stride bytes apart.
class TMemorySink : public TPixelSink {
 public:
  using TTarget = std::function<uint8_t*(int32_t width, int32_t height, int64_t& stride)>;
  explicit TMemorySink(TTarget target) : FTarget(std::move(target)) {}
  bool Begin(int32_t width, int32_t height) override;
  uint8_t* Rows(int32_t y, int32_t count, int64_t& stride) override;
  void Commit(int32_t, int32_t) override {}
  bool Put(int32_t y, int32_t x, int32_t step, int32_t count, const uint8_t* pixels) override;

 private:
  TTarget FTarget;
  uint8_t* FBits = nullptr;
  int64_t FStride = 0;
};

// Rows into Image, which Begin sizes (pixel format 4114, black).
class TBitmapSink : public TMemorySink {
 public:
  explicit TBitmapSink(TZelLTBitmap& image);
};

// The picture fitted into a box as it is decoded: every delivered pixel is added to the
// thumbnail pixel it falls in, each thumbnail pixel the mean of the pixels it covers
// (an area average). The box is filled as far as the proportions of the full picture
// (FullWidth x FullHeight, whatever scale the decoder delivers) allow; a picture smaller
// than that is enlarged when Finish scales it up. Memory: the thumbnail's sums, a row
// map and the rows a decoder asks for at once, never the picture. Once Stop is
// requested, Rows and Put refuse, and the decoder gives up.
class TThumbnailSink : public TPixelSink {
 public:
  TThumbnailSink(int32_t fullWidth, int32_t fullHeight, int32_t boxWidth, int32_t boxHeight,
                 std::stop_token stop = {});
  bool Begin(int32_t width, int32_t height) override;
  uint8_t* Rows(int32_t y, int32_t count, int64_t& stride) override;
  void Commit(int32_t y, int32_t count) override;
  bool Put(int32_t y, int32_t x, int32_t step, int32_t count, const uint8_t* pixels) override;
  // The thumbnail (Format_BGR888) of the fitted size; a null image when it could not be
  // made.
  QImage Finish() const;

 private:
  void Add(int32_t y, int32_t x, const uint8_t* pixel);

  std::stop_token FStop;
  int32_t FFitWidth = 1;
  int32_t FFitHeight = 1;
  int32_t FWidth = 0;   // delivered size
  int32_t FHeight = 0;
  int32_t FCellsAcross = 0;  // accumulated size: the fitted size, or less for a small picture
  int32_t FCellsDown = 0;
  std::vector<int32_t> FColumnCell;  // per delivered column
  std::vector<int32_t> FRowCell;     // per delivered row
  std::vector<uint64_t> FSums;       // B, G, R per cell
  std::vector<uint8_t> FScratch;     // rows a decoder fills
};

}  // namespace quill

#endif  // QUILL_PLATFORM_PIXELSINK_H_

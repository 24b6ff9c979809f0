// TZelLTBitmap: the document's image type. Its pixels live in a block the bitmap
// allocates itself (rows top to bottom, padded to 4 bytes) and describes with a
// TZelPixels, so tools and engines read and write them in place; painting and
// printing hand the same block to a device context without copying it.
//
// Geometry changes (crop, resize, flips, quarter turns) build a new block and replace
// the old one; on failure they return false and leave the image as it was. Crop, the
// flips and the turns can hand the image as it stood to Previous instead of freeing
// it (moved, not copied), so that a caller changing two images together can put the
// first back when the second fails.

#ifndef QUILL_CORE_ZELLTBITMAP_H_
#define QUILL_CORE_ZELLTBITMAP_H_

#include <cstdint>
#include <memory>

#include "ZelBitmap.h"

// The pixels of a TZelLTBitmap: a view of the block the bitmap owns.
class TZelLTPixels : public TZelPixels {};

class TZelLTBitmap : public TZelBitmap {
 public:
  TZelLTBitmap() = default;
  ~TZelLTBitmap() override;
  TZelLTBitmap(const TZelLTBitmap&) = delete;
  TZelLTBitmap& operator=(const TZelLTBitmap&) = delete;

  int32_t GetWidth() const override;
  int32_t GetHeight() const override;
  // The pixels; an empty view (no bits, zero size) while the bitmap is empty.
  TZelPixels& GetPixels() override;
  const TZelPixels& GetPixels() const;
  bool IsEmpty() const { return FBlock == nullptr; }

  bool Draw(quill::TZelDeviceContext& dc, const quill::TRect& destRect, const quill::TRect& sourceRect,
            const quill::TRect& clipRect) override;
  bool Print(quill::TZelDeviceContext& dc, const quill::TRect& rect) override;

  // Releases the block; the bitmap becomes empty.
  void Clear();
  // Exchanges the images (blocks and views) of this bitmap and Other; nothing is copied.
  void Swap(TZelLTBitmap& other) noexcept;

  // A new zero-filled block of Width x Height pixels of Format replaces the old content.
  // False, leaving the bitmap empty, for a non-positive size, an invalid format or a
  // block that cannot be had.
  bool SetSize(int32_t width, int32_t height, int32_t format);
  // SetSize for a caller that writes every pixel (a decoder, a copy): the block may be
  // a closed picture's, reused with its pages mapped (see TakePixelBlock), so its
  // pixels are undefined until written; the bytes padding the rows are zero.
  bool SetSizeForWriting(int32_t width, int32_t height, int32_t format);

  // SetSize to Source's size and format, then a copy of Source's pixels at the same
  // image coordinates: the bitmap covers (0, 0, width, height), so a source placed
  // elsewhere gives only its overlap with that rectangle and the rest stays zero.
  // False when the size cannot be set; nothing is copied then.
  bool AssignPixels(const TZelPixels& source);

  // A bitmap of the same size and format with the pixels copied: an empty bitmap for
  // an empty one; null when the copy's block cannot be had.
  std::unique_ptr<TZelLTBitmap> Clone() const;

  // Keeps the part of the image inside Rect, moved to (0, 0). False when Rect misses
  // the image.
  bool Crop(const quill::TRect& rect, TZelLTBitmap* previous = nullptr);

  // Resamples the whole image to Width x Height with the Lanczos kernel of radius 3.
  // 24-bit images only: false, unchanged, for any other format, a non-positive size
  // or an empty bitmap.
  bool Resize(int32_t width, int32_t height);

  // Mirrors and quarter turns; 24-bit images only (false, unchanged, for any other
  // format or an empty bitmap). The turns walk the image in square tiles, so that
  // both the rows read and the rows written stay in the cache.
  bool FlipHorizontal(TZelLTBitmap* previous = nullptr);
  bool FlipVertical(TZelLTBitmap* previous = nullptr);
  // Counter-clockwise: (x, y) goes to (y, width - 1 - x).
  bool RotateLeft(TZelLTBitmap* previous = nullptr);
  // Clockwise: (x, y) goes to (height - 1 - y, x).
  bool RotateRight(TZelLTBitmap* previous = nullptr);

 private:
  struct FreeDeleter {
    void operator()(uint8_t* block) const;
  };
  using Block = std::unique_ptr<uint8_t, FreeDeleter>;

  // Makes a block for Width x Height pixels of Format and its view, leaving this bitmap
  // alone: zero-filled when Filled, else as SetSizeForWriting describes.
  static bool CreateBitmap(Block& block, TZelLTPixels& pixels, int32_t format, int32_t height,
                           int32_t width, bool filled = true);
  // SetSize, with the block made as CreateBitmap makes it.
  bool Allocate(int32_t width, int32_t height, int32_t format, bool filled);
  // A new 24-bit image for a geometry change, or false when this one is empty or not 24-bit.
  bool StartGeometry(Block& block, TZelLTPixels& pixels, int32_t width, int32_t height) const;
  // A quarter turn into a new image (Clockwise or not); false, unchanged, as
  // StartGeometry.
  bool Turn(bool clockwise, TZelLTBitmap* previous);
  // Makes Block and Pixels the image; the old one goes to Previous when given, else
  // its block is released.
  void Replace(Block& block, const TZelLTPixels& pixels, TZelLTBitmap* previous = nullptr);

  Block FBlock;
  TZelLTPixels FPixels;
};

// Buffer := a copy of the bitmap's pixels at the bitmap's bounds. False when the
// buffer cannot be allocated.
bool CopyBitmapToBuffer(const TZelLTBitmap& bitmap, TZelPixelBuffer& buffer);

#endif  // QUILL_CORE_ZELLTBITMAP_H_

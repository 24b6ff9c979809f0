// The pixel model: views onto 2-D pixel memory placed in image coordinates, the
// same view owning its memory, byte masks, and the abstract image object.
//
// Pixel (X, Y) of a view lies at Bits() + (X - Left()) * BytesPerPixel() +
// (Y - Top()) * Stride(). The working format of every image is id 4114 (0x1012):
// 3 bytes per pixel in the order B, G, R.

#ifndef QUILL_CORE_ZELBITMAP_H_
#define QUILL_CORE_ZELBITMAP_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#include "ZelTypes.h"

namespace quill {

constexpr int32_t kPixelFormat24 = 4114;  // 0x1012: B, G, R, 3 bytes a pixel
constexpr int32_t kPixelFormat32 = 4370;  // 0x1112: 4 bytes a pixel

// The largest block a pixel buffer or a mask takes: 2 GiB, twice the largest image
// the decoders accept (2^28 pixels) at 32 bits a pixel. A larger request fails
// cleanly instead of committing memory no image of the program needs.
constexpr int64_t kMaxBlockBytes = int64_t{1} << 31;

// Count x Size zero bytes from calloc, released with std::free; null when they cannot be
// had. A block of several megabytes (a photo's pixels) is also offered to the kernel's
// transparent huge pages before anything touches it: mapping a 6000 x 4000 photo page
// by page costs more than decoding it, and 2 MiB pages take a 512th of the faults.
// A request of kKeptBlockBytes or more first frees the blocks ReleasePixelBlock keeps,
// so that kept memory never adds to the program's peak, and when memory cannot be had
// with them kept, it is tried again without.
uint8_t* AllocatePixelBlock(size_t count, size_t size);

// Photo-sized blocks are reused rather than mapped anew. ReleasePixelBlock frees a
// block from AllocatePixelBlock (null does nothing), but keeps up to two blocks of
// kKeptBlockBytes or more (a closed photo's image and its original), whose pages are
// already mapped. TakePixelBlock hands out a kept block of at least Bytes (and at most
// an eighth more) without clearing it, else a new zero-filled one: for a caller that
// writes every byte, such as a decoder or a copy. Kept blocks are freed by
// ReleaseKeptPixelBlocks and by a large request to AllocatePixelBlock. Thread-safe.
constexpr size_t kKeptBlockBytes = size_t{8} << 20;
void ReleasePixelBlock(uint8_t* block);
uint8_t* TakePixelBlock(size_t bytes);
void ReleaseKeptPixelBlocks();

}  // namespace quill

// Bits per pixel of a pixel-format id: the low nibble gives the layout (1 -> 8;
// 2, 3, 4, 5, 7, 8 -> 24; 6 -> 32; anything else makes the id invalid and gives 0),
// bits 8-11 equal to 1 add 8, and bits 4-7 equal to 2 or 3 double it, 4 quadruples
// it. The result is kept to a byte.
uint8_t PixelFormatBits(int32_t format);

// A view onto pixel memory owned by someone else. Copying a view copies the
// description, never the pixels.
class TZelPixels {
 public:
  TZelPixels() = default;
  virtual ~TZelPixels() = default;

  // Describes memory owned by the caller, who keeps it alive while the view is used.
  // Any stride is accepted. A reversed Rect gives a width or height of 0.
  void Attach(const quill::TRect& rect, uint8_t* bits, int32_t stride, int32_t format);

  // Address of pixel (X, Y); no bounds check: callers keep to GetBounds().
  uint8_t* GetPixelAddress(int32_t x, int32_t y) const {
    return FBits + (int64_t{x} - FLeft) * FBytesPerPixel + (int64_t{y} - FTop) * FStride;
  }
  // The start of the row run at (X, Y); the same address.
  uint8_t* GetScanLine(int32_t x, int32_t y) const { return GetPixelAddress(x, y); }

  quill::TRect GetBounds() const { return {FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }

  // Copies the SourceRect part of Source so that its top-left lands on (DestX, DestY)
  // of this view, clipped to both views. Views of different pixel formats copy nothing.
  // Source and destination must not overlap in memory.
  void CopyRect(int32_t destX, int32_t destY, const TZelPixels& source, const quill::TRect& sourceRect);

  // The pixels of Source land at the same image coordinates; only the overlap is copied.
  void CopyFrom(const TZelPixels& source);

  uint8_t* Bits() const { return FBits; }
  int32_t Left() const { return FLeft; }
  int32_t Top() const { return FTop; }
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  int32_t Stride() const { return FStride; }
  int32_t PixelFormat() const { return FPixelFormat; }
  uint8_t BytesPerPixel() const { return FBytesPerPixel; }

 protected:
  void SetFormat(int32_t format);

  uint8_t* FBits = nullptr;
  int32_t FLeft = 0;
  int32_t FTop = 0;
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  int32_t FStride = 0;
  int32_t FPixelFormat = 0;
  uint8_t FBytesPerPixel = 0;
};

// A view that owns a zero-filled block; rows are padded to a multiple of 4 bytes.
// Not copyable: copy pixels with CopyFrom.
class TZelPixelBuffer : public TZelPixels {
 public:
  TZelPixelBuffer() = default;
  ~TZelPixelBuffer() override;
  TZelPixelBuffer(const TZelPixelBuffer&) = delete;
  TZelPixelBuffer& operator=(const TZelPixelBuffer&) = delete;

  // Sets the pixel format, then the bounds. A change of format always takes a new
  // block, even for the same rectangle.
  bool Allocate(int32_t format, const quill::TRect& rect);

  // A new zero-filled block for Rect replaces the old one, whose content is lost;
  // Rect equal to the current bounds keeps the block and its content. A zero width,
  // or an invalid format, leaves no block. When the block cannot be had (a width or
  // height beyond INT32_MAX, a stride beyond 32 bits, more than kMaxBlockBytes, or
  // no memory) the buffer becomes empty (bounds 0) and the result is false, so every
  // copy into or out of it does nothing.
  bool SetBounds(const quill::TRect& rect);

  // Bounds and stride become 0 and the block is released; the format stays.
  void FreeBits();

 private:
  bool Reallocate(const quill::TRect& rect);
};

// One weight byte per pixel over a rectangle in image coordinates: 0 = outside,
// 255 = full effect, values between weight a blend. The byte of (X, Y) lies at
// Bits() + (Y - Top()) * Stride() + (X - Left()).
//
// A mask made by SetBounds packs its rows (Stride() = Width()). A mask that Include or
// Merge grows keeps zero bytes to spare beyond each side it grew towards (half its
// width or height), so that a stroke merged dab by dab takes a new block only now and
// then and its cost stays linear in the dabs; its block is then at most twice as wide
// and twice as high as its rectangle, and Stride() may exceed Width(). Bounds, bytes
// and results are those of a mask grown exactly.
//
// A mask holds at most kMaxBlockBytes bytes. The rectangle ends at the 32-bit limit:
// GetBounds saturates there, and bytes that a mask placed near the limit holds beyond
// it are outside every rectangle, never addressed and not kept by Include. A copy
// that cannot get its memory is empty.
class TZelPixelMask {
 public:
  TZelPixelMask() = default;
  TZelPixelMask(const TZelPixelMask& other);
  TZelPixelMask& operator=(const TZelPixelMask& other);

  // Bounds (Left, Top, Width, Height); negative sizes count as 0; all bytes 0, rows
  // packed. False, leaving the mask empty with bounds 0, when the bytes cannot be had
  // (more than kMaxBlockBytes, or no memory).
  bool SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);

  // Moves the mask without touching its bytes.
  void MoveTo(int32_t left, int32_t top) {
    FLeft = left;
    FTop = top;
  }

  // Grows the mask to cover Rect, keeping its bytes where they are in image
  // coordinates; the new bytes are 0. An empty Rect changes nothing; on an empty mask
  // Rect is taken whole. False, leaving the mask unchanged, when the grown mask cannot
  // be had (a side beyond INT32_MAX, more than kMaxBlockBytes, or no memory); the bytes
  // to spare are given up before that.
  bool Include(const quill::TRect& rect);

  // Include(Other's bounds), then every byte under Other becomes the larger of the
  // two. False, unchanged, when Include fails.
  bool Merge(const TZelPixelMask& other);

  // Bounds and bytes become empty; the block is released.
  void Clear();

  quill::TRect GetBounds() const {
    return {FLeft, FTop, quill::SaturateInt32(int64_t{FLeft} + FWidth),
            quill::SaturateInt32(int64_t{FTop} + FHeight)};
  }

  // The byte of image point (X, Y), or nullptr outside the rectangle or when empty.
  const uint8_t* GetPixelAddress(int32_t x, int32_t y) const {
    if (FBits == nullptr || !GetBounds().Contains(x, y)) return nullptr;
    return FBits.get() + FOrigin + (int64_t{y} - FTop) * FStride + (int64_t{x} - FLeft);
  }
  uint8_t* GetPixelAddress(int32_t x, int32_t y) {
    return const_cast<uint8_t*>(std::as_const(*this).GetPixelAddress(x, y));
  }

  int32_t Left() const { return FLeft; }
  int32_t Top() const { return FTop; }
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  int32_t Stride() const { return FStride; }
  bool IsEmpty() const { return FBits == nullptr; }
  // The byte of (Left(), Top()); nullptr when empty. Callers keep to the rectangle.
  uint8_t* Bits() { return FBits == nullptr ? nullptr : FBits.get() + FOrigin; }
  const uint8_t* Bits() const { return FBits == nullptr ? nullptr : FBits.get() + FOrigin; }

 private:
  struct FreeDeleter {
    void operator()(uint8_t* block) const;
  };
  // Zero-filled memory from calloc: a large block is mapped on demand, so the bytes to
  // spare cost nothing until a stroke reaches them.
  using Block = std::unique_ptr<uint8_t, FreeDeleter>;

  // Takes a new block of Spare + Rect's extent, with Rect's bytes copied over and the
  // rest zero, and makes Rect the bounds. Spare holds the bytes to spare left, above,
  // right and below. False, unchanged, when the block cannot be had.
  bool Regrow(const quill::TRect& rect, const int64_t (&spare)[4]);

  int32_t FLeft = 0;
  int32_t FTop = 0;
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  int32_t FStride = 0;    // bytes from one row to the next in FBits
  size_t FOrigin = 0;     // the index in FBits of the byte of (FLeft, FTop)
  size_t FBlockSize = 0;  // the bytes of FBits
  // Null when the mask has no bytes. Every byte outside the rectangle is 0, so that
  // growing into the spare needs no clearing.
  Block FBits;
};

namespace quill {

// A paint target: a window's canvas or a printer's page. The platform layer implements
// it; the core only hands it pixels, so it needs no windowing code of its own.
class TZelDeviceContext {
 public:
  virtual ~TZelDeviceContext() = default;
  // Paints the SourceRect part of Pixels (24-bit, B, G, R, read in place) stretched
  // into DestRect, changing nothing outside ClipRect. False when nothing could be painted.
  virtual bool PaintPixels(const TZelPixels& pixels, const TRect& destRect,
                           const TRect& sourceRect, const TRect& clipRect) = 0;
  // Prints the whole of Pixels into Rect of a printer's page.
  virtual bool PrintPixels(const TZelPixels& pixels, const TRect& rect) = 0;
};

}  // namespace quill

// The abstract image object: size, pixels, painting and printing.
class TZelBitmap {
 public:
  virtual ~TZelBitmap() = default;
  virtual int32_t GetWidth() const = 0;
  virtual int32_t GetHeight() const = 0;
  virtual TZelPixels& GetPixels() = 0;
  // Paints the SourceRect part stretched into DestRect of DC, clipped to ClipRect.
  virtual bool Draw(quill::TZelDeviceContext& dc, const quill::TRect& destRect, const quill::TRect& sourceRect,
                    const quill::TRect& clipRect) = 0;
  // Prints the image into Rect of a printer's DC.
  virtual bool Print(quill::TZelDeviceContext& dc, const quill::TRect& rect) = 0;

  quill::TRect GetBounds() const { return {0, 0, GetWidth(), GetHeight()}; }
};

#endif  // QUILL_CORE_ZELBITMAP_H_

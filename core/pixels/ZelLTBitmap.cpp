#include "ZelLTBitmap.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "ZelResample.h"

void TZelLTBitmap::FreeDeleter::operator()(uint8_t* block) const { quill::ReleasePixelBlock(block); }

TZelLTBitmap::~TZelLTBitmap() = default;

int32_t TZelLTBitmap::GetWidth() const { return FPixels.Width(); }
int32_t TZelLTBitmap::GetHeight() const { return FPixels.Height(); }
TZelPixels& TZelLTBitmap::GetPixels() { return FPixels; }
const TZelPixels& TZelLTBitmap::GetPixels() const { return FPixels; }

bool TZelLTBitmap::Draw(quill::TZelDeviceContext& dc, const quill::TRect& destRect, const quill::TRect& sourceRect,
                        const quill::TRect& clipRect) {
  return !IsEmpty() && dc.PaintPixels(FPixels, destRect, sourceRect, clipRect);
}

bool TZelLTBitmap::Print(quill::TZelDeviceContext& dc, const quill::TRect& rect) {
  return !IsEmpty() && dc.PrintPixels(FPixels, rect);
}

bool TZelLTBitmap::CreateBitmap(Block& block, TZelLTPixels& pixels, int32_t format,
                                int32_t height, int32_t width, bool filled) {
  const int64_t bits = PixelFormatBits(format);
  if (width <= 0 || height <= 0 || bits == 0) return false;
  const int64_t rowBytes = (bits * width + 7) / 8;
  const int64_t stride = (bits * width + 31) / 32 * 4;
  if (stride > INT32_MAX) return false;
  const auto rows = static_cast<size_t>(height);
  if (filled) {
    block.reset(quill::AllocatePixelBlock(rows, static_cast<size_t>(stride)));
  } else if (rows <= SIZE_MAX / static_cast<size_t>(stride)) {
    block.reset(quill::TakePixelBlock(rows * static_cast<size_t>(stride)));
  }
  if (block == nullptr) return false;
  pixels.Attach({0, 0, width, height}, block.get(), static_cast<int32_t>(stride), format);
  // The bytes that pad the rows are zero in every block.
  if (!filled && stride > rowBytes) {
    for (int32_t y = 0; y < height; ++y) std::memset(pixels.GetScanLine(0, y) + rowBytes, 0, stride - rowBytes);
  }
  return true;
}

void TZelLTBitmap::Replace(Block& block, const TZelLTPixels& pixels, TZelLTBitmap* previous) {
  if (previous != nullptr) {
    previous->FBlock = std::move(FBlock);
    previous->FPixels = FPixels;
  }
  FBlock = std::move(block);
  FPixels = pixels;
}

void TZelLTBitmap::Swap(TZelLTBitmap& other) noexcept {
  std::swap(FBlock, other.FBlock);
  std::swap(FPixels, other.FPixels);
}

void TZelLTBitmap::Clear() {
  FBlock.reset();
  FPixels = TZelLTPixels();
}

bool TZelLTBitmap::SetSize(int32_t width, int32_t height, int32_t format) {
  return Allocate(width, height, format, true);
}

bool TZelLTBitmap::SetSizeForWriting(int32_t width, int32_t height, int32_t format) {
  return Allocate(width, height, format, false);
}

bool TZelLTBitmap::Allocate(int32_t width, int32_t height, int32_t format, bool filled) {
  Clear();
  Block block;
  TZelLTPixels pixels;
  if (!CreateBitmap(block, pixels, format, height, width, filled)) return false;
  Replace(block, pixels);
  return true;
}

bool TZelLTBitmap::AssignPixels(const TZelPixels& source) {
  if (!SetSize(source.Width(), source.Height(), source.PixelFormat())) return false;
  FPixels.CopyFrom(source);
  return true;
}

std::unique_ptr<TZelLTBitmap> TZelLTBitmap::Clone() const {
  auto copy = std::make_unique<TZelLTBitmap>();
  if (!IsEmpty() && !copy->AssignPixels(FPixels)) return nullptr;
  return copy;
}

bool TZelLTBitmap::Crop(const quill::TRect& rect, TZelLTBitmap* previous) {
  const quill::TRect r = quill::IntersectRect(rect, GetBounds());
  if (r.IsEmpty()) return false;
  Block block;
  TZelLTPixels pixels;
  if (!CreateBitmap(block, pixels, FPixels.PixelFormat(), static_cast<int32_t>(r.Height()),
                    static_cast<int32_t>(r.Width()))) {
    return false;
  }
  pixels.CopyRect(0, 0, FPixels, r);
  Replace(block, pixels, previous);
  return true;
}

bool TZelLTBitmap::Resize(int32_t width, int32_t height) {
  Block block;
  TZelLTPixels pixels;
  if (!StartGeometry(block, pixels, width, height)) return false;
  ResamplePixels(pixels, pixels.GetBounds(), pixels.GetBounds(), FPixels, GetBounds(),
                 TLanczosResampler());
  Replace(block, pixels);
  return true;
}

bool TZelLTBitmap::StartGeometry(Block& block, TZelLTPixels& pixels, int32_t width,
                                 int32_t height) const {
  return !IsEmpty() && FPixels.PixelFormat() == quill::kPixelFormat24 &&
         CreateBitmap(block, pixels, quill::kPixelFormat24, height, width);
}

bool TZelLTBitmap::FlipHorizontal(TZelLTBitmap* previous) {
  const int32_t w = GetWidth(), h = GetHeight();
  Block block;
  TZelLTPixels pixels;
  if (!StartGeometry(block, pixels, w, h)) return false;
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* from = FPixels.GetScanLine(0, y);
    uint8_t* to = pixels.GetScanLine(0, y) + int64_t{w} * 3;
    for (int32_t x = 0; x < w; ++x, from += 3) {
      to -= 3;
      std::memcpy(to, from, 3);
    }
  }
  Replace(block, pixels, previous);
  return true;
}

bool TZelLTBitmap::FlipVertical(TZelLTBitmap* previous) {
  const int32_t w = GetWidth(), h = GetHeight();
  Block block;
  TZelLTPixels pixels;
  if (!StartGeometry(block, pixels, w, h)) return false;
  for (int32_t y = 0; y < h; ++y) {  // whole rows at a time
    std::memcpy(pixels.GetScanLine(0, h - 1 - y), FPixels.GetScanLine(0, y),
                static_cast<size_t>(pixels.Stride()));
  }
  Replace(block, pixels, previous);
  return true;
}

bool TZelLTBitmap::Turn(bool clockwise, TZelLTBitmap* previous) {
  // Source (x, y) goes to (h - 1 - y, x) clockwise and to (y, w - 1 - x) otherwise:
  // a source column becomes a target row. A tile of kTile x kTile pixels is read
  // column by column from kTile source rows and written as kTile short target rows,
  // all of which fit in the first-level cache.
  constexpr int32_t kTile = 32;
  const int32_t w = GetWidth(), h = GetHeight();
  Block block;
  TZelLTPixels pixels;
  if (!StartGeometry(block, pixels, h, w)) return false;
  const uint8_t* rows[kTile];
  for (int32_t y0 = 0; y0 < h; y0 += kTile) {
    const int32_t y1 = std::min(h, y0 + kTile);
    for (int32_t y = y0; y < y1; ++y) rows[y - y0] = FPixels.GetScanLine(0, y);
    for (int32_t x0 = 0; x0 < w; x0 += kTile) {
      const int32_t x1 = std::min(w, x0 + kTile);
      for (int32_t x = x0; x < x1; ++x) {
        const int64_t from = int64_t{x} * 3;
        if (clockwise) {
          // Target row x, columns h - 1 - y for y = y0 .. y1 - 1: written right to left.
          uint8_t* to = pixels.GetScanLine(0, x) + (int64_t{h} - y0) * 3;
          for (int32_t i = 0; i < y1 - y0; ++i) {
            to -= 3;
            std::memcpy(to, rows[i] + from, 3);
          }
        } else {
          // Target row w - 1 - x, columns y = y0 .. y1 - 1: written left to right.
          uint8_t* to = pixels.GetScanLine(0, w - 1 - x) + int64_t{y0} * 3;
          for (int32_t i = 0; i < y1 - y0; ++i, to += 3) std::memcpy(to, rows[i] + from, 3);
        }
      }
    }
  }
  Replace(block, pixels, previous);
  return true;
}

bool TZelLTBitmap::RotateLeft(TZelLTBitmap* previous) { return Turn(false, previous); }

bool TZelLTBitmap::RotateRight(TZelLTBitmap* previous) { return Turn(true, previous); }

bool CopyBitmapToBuffer(const TZelLTBitmap& bitmap, TZelPixelBuffer& buffer) {
  const TZelPixels& pixels = bitmap.GetPixels();
  if (!buffer.Allocate(pixels.PixelFormat(), pixels.GetBounds())) return false;
  buffer.CopyFrom(pixels);
  return true;
}

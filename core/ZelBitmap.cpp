#include "ZelBitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

uint8_t PixelFormatBits(int32_t format) {
  int bits;
  switch (format & 0xF) {
    case 1: bits = 8; break;
    case 2: case 3: case 4: case 5: case 7: case 8: bits = 24; break;
    case 6: bits = 32; break;
    default: return 0;
  }
  if (((format >> 8) & 0xF) == 1) bits += 8;
  switch ((format >> 4) & 0xF) {
    case 2: case 3: bits *= 2; break;
    case 4: bits *= 4; break;
    default: break;
  }
  return static_cast<uint8_t>(bits);
}

// ---- TZelPixels ----

void TZelPixels::SetFormat(int32_t format) {
  FPixelFormat = format;
  FBytesPerPixel = (PixelFormatBits(format) >> 3) & 0x1F;
}

void TZelPixels::Attach(const TRect& rect, uint8_t* bits, int32_t stride, int32_t format) {
  FLeft = rect.Left;
  FTop = rect.Top;
  FWidth = static_cast<int32_t>(rect.Width());
  FHeight = static_cast<int32_t>(rect.Height());
  FBits = bits;
  FStride = stride;
  SetFormat(format);
}

void TZelPixels::CopyRect(int32_t destX, int32_t destY, const TZelPixels& source,
                          const TRect& sourceRect) {
  if (source.FPixelFormat != FPixelFormat) return;
  if (source.FBits == nullptr || FBits == nullptr) return;
  TRect r = IntersectRect(sourceRect, source.GetBounds());
  if (r.IsEmpty()) return;
  r = IntersectRect(OffsetRect(r, destX - sourceRect.Left, destY - sourceRect.Top), GetBounds());
  if (r.IsEmpty()) return;
  const int32_t sourceX = sourceRect.Left + r.Left - destX;
  const int32_t sourceY = sourceRect.Top + r.Top - destY;
  const size_t rowBytes = static_cast<size_t>(FBytesPerPixel) * r.Width();
  const uint8_t* from = source.GetPixelAddress(sourceX, sourceY);
  uint8_t* to = GetPixelAddress(r.Left, r.Top);
  for (int64_t row = 0; row < r.Height(); ++row) {
    std::memcpy(to, from, rowBytes);
    from += source.FStride;
    to += FStride;
  }
}

void TZelPixels::CopyFrom(const TZelPixels& source) {
  CopyRect(source.FLeft, source.FTop, source, source.GetBounds());
}

// ---- TZelPixelBuffer ----

TZelPixelBuffer::~TZelPixelBuffer() { FreeBits(); }

bool TZelPixelBuffer::Allocate(int32_t format, const TRect& rect) {
  if (format != FPixelFormat) {
    SetFormat(format);
    return Reallocate(rect);
  }
  return SetBounds(rect);
}

bool TZelPixelBuffer::SetBounds(const TRect& rect) {
  const TRect normal{rect.Left, rect.Top, static_cast<int32_t>(rect.Left + rect.Width()),
                     static_cast<int32_t>(rect.Top + rect.Height())};
  if (normal == GetBounds()) return true;
  return Reallocate(normal);
}

bool TZelPixelBuffer::Reallocate(const TRect& rect) {
  FreeBits();
  const int64_t width = rect.Width();
  const int64_t height = rect.Height();
  const int64_t rowBits = int64_t{PixelFormatBits(FPixelFormat)} * width;
  const int64_t stride = (rowBits + 31) / 32 * 4;
  if (stride > INT32_MAX) return false;
  uint8_t* block = nullptr;
  if (rowBits > 0 && height > 0) {
    block = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(height), static_cast<size_t>(stride)));
    if (block == nullptr) return false;
  }
  FBits = block;
  FLeft = rect.Left;
  FTop = rect.Top;
  FWidth = static_cast<int32_t>(width);
  FHeight = static_cast<int32_t>(height);
  FStride = static_cast<int32_t>(stride);
  return true;
}

void TZelPixelBuffer::FreeBits() {
  std::free(FBits);
  FBits = nullptr;
  FLeft = FTop = FWidth = FHeight = FStride = 0;
}

// ---- TZelPixelMask ----

void TZelPixelMask::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  FLeft = left;
  FTop = top;
  FWidth = std::max(width, 0);
  FHeight = std::max(height, 0);
  FBits.assign(static_cast<size_t>(FWidth) * FHeight, 0);
}

void TZelPixelMask::Include(const TRect& rect) {
  const TRect old = GetBounds();
  const TRect u = UnionRect(old, rect);
  if (u == old || u.IsEmpty()) return;
  std::vector<uint8_t> block(static_cast<size_t>(u.Width() * u.Height()), 0);
  const int64_t offset = (int64_t{FTop} - u.Top) * u.Width() + (FLeft - u.Left);
  for (int32_t row = 0; row < FHeight; ++row) {
    std::memcpy(block.data() + offset + int64_t{row} * u.Width(),
                FBits.data() + int64_t{row} * FWidth, static_cast<size_t>(FWidth));
  }
  FBits.swap(block);
  FLeft = u.Left;
  FTop = u.Top;
  FWidth = static_cast<int32_t>(u.Width());
  FHeight = static_cast<int32_t>(u.Height());
}

void TZelPixelMask::Merge(const TZelPixelMask& other) {
  if (other.FBits.empty()) return;
  Include(other.GetBounds());
  for (int32_t row = 0; row < other.FHeight; ++row) {
    const uint8_t* from = other.FBits.data() + int64_t{row} * other.FWidth;
    uint8_t* to = GetPixelAddress(other.FLeft, other.FTop + row);
    for (int32_t col = 0; col < other.FWidth; ++col) to[col] = std::max(to[col], from[col]);
  }
}

void TZelPixelMask::Clear() {
  FLeft = FTop = FWidth = FHeight = 0;
  FBits.clear();
  FBits.shrink_to_fit();
}

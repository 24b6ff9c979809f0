#include "ZelBitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

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
  const int64_t dx = int64_t{destX} - sourceRect.Left;
  const int64_t dy = int64_t{destY} - sourceRect.Top;
  r = IntersectRect(OffsetRect(r, dx, dy), GetBounds());
  if (r.IsEmpty()) return;
  const auto sourceX = static_cast<int32_t>(r.Left - dx);
  const auto sourceY = static_cast<int32_t>(r.Top - dy);
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
  if (width > INT32_MAX || height > INT32_MAX) return false;
  const int64_t rowBits = int64_t{PixelFormatBits(FPixelFormat)} * width;
  const int64_t stride = (rowBits + 31) / 32 * 4;
  if (stride > INT32_MAX || stride * height > quill::kMaxBlockBytes) return false;
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

namespace {

// Block := Width x Height zero bytes; false when that is more than a mask may hold
// or the memory cannot be had.
bool NewMaskBlock(int64_t width, int64_t height, std::vector<uint8_t>& block) {
  if (width > INT32_MAX || height > INT32_MAX || width * height > quill::kMaxBlockBytes) {
    return false;
  }
  try {
    block.assign(static_cast<size_t>(width * height), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace

bool TZelPixelMask::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  std::vector<uint8_t> block;
  if (!NewMaskBlock(std::max(width, 0), std::max(height, 0), block)) {
    Clear();
    return false;
  }
  FLeft = left;
  FTop = top;
  FWidth = std::max(width, 0);
  FHeight = std::max(height, 0);
  FBits.swap(block);
  return true;
}

bool TZelPixelMask::Include(const TRect& rect) {
  const TRect old = GetBounds();
  const TRect u = UnionRect(old, rect);
  if (u == old || u.IsEmpty()) return true;
  std::vector<uint8_t> block;
  if (!NewMaskBlock(u.Width(), u.Height(), block)) return false;
  // Only a mask with an extent has bytes to keep; of those, the ones inside its
  // (saturated) bounds.
  if (!old.IsEmpty()) {
    const int64_t offset = (int64_t{old.Top} - u.Top) * u.Width() + (int64_t{old.Left} - u.Left);
    for (int64_t row = 0; row < old.Height(); ++row) {
      std::memcpy(block.data() + offset + row * u.Width(), FBits.data() + row * FWidth,
                  static_cast<size_t>(old.Width()));
    }
  }
  FBits.swap(block);
  FLeft = u.Left;
  FTop = u.Top;
  FWidth = static_cast<int32_t>(u.Width());
  FHeight = static_cast<int32_t>(u.Height());
  return true;
}

bool TZelPixelMask::Merge(const TZelPixelMask& other) {
  if (!Include(other.GetBounds())) return false;
  const TRect r = IntersectRect(other.GetBounds(), GetBounds());
  for (int32_t y = r.Top; y < r.Bottom; ++y) {
    const uint8_t* from = other.GetPixelAddress(r.Left, y);
    uint8_t* to = GetPixelAddress(r.Left, y);
    for (int64_t col = 0; col < r.Width(); ++col) to[col] = std::max(to[col], from[col]);
  }
  return true;
}

void TZelPixelMask::Clear() {
  FLeft = FTop = FWidth = FHeight = 0;
  FBits.clear();
  FBits.shrink_to_fit();
}

#include "ZelBitmap.h"

#include <malloc.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
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

void TZelPixels::Attach(const quill::TRect& rect, uint8_t* bits, int32_t stride, int32_t format) {
  FLeft = rect.Left;
  FTop = rect.Top;
  FWidth = static_cast<int32_t>(rect.Width());
  FHeight = static_cast<int32_t>(rect.Height());
  FBits = bits;
  FStride = stride;
  SetFormat(format);
}

void TZelPixels::CopyRect(int32_t destX, int32_t destY, const TZelPixels& source,
                          const quill::TRect& sourceRect) {
  if (source.FPixelFormat != FPixelFormat) return;
  if (source.FBits == nullptr || FBits == nullptr) return;
  quill::TRect r = quill::IntersectRect(sourceRect, source.GetBounds());
  if (r.IsEmpty()) return;
  const int64_t dx = int64_t{destX} - sourceRect.Left;
  const int64_t dy = int64_t{destY} - sourceRect.Top;
  r = quill::IntersectRect(quill::OffsetRect(r, dx, dy), GetBounds());
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

namespace quill {

namespace {

// The kept blocks and their usable sizes.
struct TKeptBlocks {
  std::mutex Lock;
  uint8_t* Blocks[2] = {nullptr, nullptr};
  size_t Sizes[2] = {0, 0};
};

// Never destroyed: a bitmap that outlives the statics still releases its block here.
TKeptBlocks& Kept() {
  static TKeptBlocks& kept = *new TKeptBlocks;
  return kept;
}

}  // namespace

void ReleasePixelBlock(uint8_t* block) {
  if (block == nullptr) return;
  const size_t size = malloc_usable_size(block);
  if (size >= kKeptBlockBytes) {
    TKeptBlocks& kept = Kept();
    const std::lock_guard<std::mutex> hold(kept.Lock);
    for (int i = 0; i < 2; ++i) {
      if (kept.Blocks[i] != nullptr) continue;
      kept.Blocks[i] = block;
      kept.Sizes[i] = size;
      return;
    }
  }
  std::free(block);
}

uint8_t* TakePixelBlock(size_t bytes) {
  {
    TKeptBlocks& kept = Kept();
    const std::lock_guard<std::mutex> hold(kept.Lock);
    for (int i = 0; i < 2; ++i) {
      if (kept.Blocks[i] == nullptr || kept.Sizes[i] < bytes || kept.Sizes[i] - bytes > bytes / 8) continue;
      uint8_t* block = kept.Blocks[i];
      kept.Blocks[i] = nullptr;
      return block;
    }
  }
  return AllocatePixelBlock(bytes, 1);
}

void ReleaseKeptPixelBlocks() {
  uint8_t* blocks[2];
  {
    TKeptBlocks& kept = Kept();
    const std::lock_guard<std::mutex> hold(kept.Lock);
    for (int i = 0; i < 2; ++i) {
      blocks[i] = kept.Blocks[i];
      kept.Blocks[i] = nullptr;
    }
  }
  for (uint8_t* block : blocks) std::free(block);
}

uint8_t* AllocatePixelBlock(size_t count, size_t size) {
  const bool large = size != 0 && count >= kKeptBlockBytes / size;
  if (large) ReleaseKeptPixelBlocks();
  auto* block = static_cast<uint8_t*>(std::calloc(count, size));
  if (block == nullptr && !large) {
    ReleaseKeptPixelBlocks();
    block = static_cast<uint8_t*>(std::calloc(count, size));
  }
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  if (block == nullptr || count * size < 2 * kHugePage) return block;
  // Only whole huge pages inside the block; the advice is a hint, so its failure
  // (a kernel without them) changes nothing.
  const auto start = reinterpret_cast<uintptr_t>(block);
  const uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t last = (start + count * size) & ~(kHugePage - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  return block;
}

}  // namespace quill

// ---- TZelPixelBuffer ----

TZelPixelBuffer::~TZelPixelBuffer() { FreeBits(); }

bool TZelPixelBuffer::Allocate(int32_t format, const quill::TRect& rect) {
  if (format != FPixelFormat) {
    SetFormat(format);
    return Reallocate(rect);
  }
  return SetBounds(rect);
}

bool TZelPixelBuffer::SetBounds(const quill::TRect& rect) {
  const quill::TRect normal{rect.Left, rect.Top, static_cast<int32_t>(rect.Left + rect.Width()),
                     static_cast<int32_t>(rect.Top + rect.Height())};
  if (normal == GetBounds()) return true;
  return Reallocate(normal);
}

bool TZelPixelBuffer::Reallocate(const quill::TRect& rect) {
  FreeBits();
  const int64_t width = rect.Width();
  const int64_t height = rect.Height();
  if (width > INT32_MAX || height > INT32_MAX) return false;
  const int64_t rowBits = int64_t{PixelFormatBits(FPixelFormat)} * width;
  const int64_t stride = (rowBits + 31) / 32 * 4;
  if (stride > INT32_MAX || stride * height > quill::kMaxBlockBytes) return false;
  uint8_t* block = nullptr;
  if (rowBits > 0 && height > 0) {
    block = quill::AllocatePixelBlock(static_cast<size_t>(height), static_cast<size_t>(stride));
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
  quill::ReleasePixelBlock(FBits);
  FBits = nullptr;
  FLeft = FTop = FWidth = FHeight = FStride = 0;
}

// ---- TZelPixelMask ----

namespace {

// A block of Width x Height zero bytes: null for no bytes. False when that is more
// than a mask may hold or the memory cannot be had.
template <class Block>
bool NewMaskBlock(int64_t width, int64_t height, Block& block) {
  if (width > INT32_MAX || height > INT32_MAX || width * height > quill::kMaxBlockBytes) {
    return false;
  }
  block.reset(width * height == 0 ? nullptr
                                  : quill::AllocatePixelBlock(static_cast<size_t>(width * height), 1));
  return width * height == 0 || block != nullptr;
}

}  // namespace

void TZelPixelMask::FreeDeleter::operator()(uint8_t* block) const { std::free(block); }

TZelPixelMask::TZelPixelMask(const TZelPixelMask& other) { *this = other; }

TZelPixelMask& TZelPixelMask::operator=(const TZelPixelMask& other) {
  if (this == &other) return *this;
  Block block;
  if (other.FBits != nullptr) {
    block.reset(static_cast<uint8_t*>(std::malloc(other.FBlockSize)));
    if (block == nullptr) {
      Clear();
      return *this;
    }
    std::memcpy(block.get(), other.FBits.get(), other.FBlockSize);
  }
  FBits = std::move(block);
  FBlockSize = other.FBlockSize;
  FOrigin = other.FOrigin;
  FStride = other.FStride;
  FLeft = other.FLeft;
  FTop = other.FTop;
  FWidth = other.FWidth;
  FHeight = other.FHeight;
  return *this;
}

bool TZelPixelMask::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  Block block;
  if (!NewMaskBlock(std::max(width, 0), std::max(height, 0), block)) {
    Clear();
    return false;
  }
  FLeft = left;
  FTop = top;
  FWidth = std::max(width, 0);
  FHeight = std::max(height, 0);
  FStride = FWidth;
  FOrigin = 0;
  FBlockSize = static_cast<size_t>(int64_t{FWidth} * FHeight);
  FBits = std::move(block);
  return true;
}

bool TZelPixelMask::Include(const quill::TRect& rect) {
  const quill::TRect old = GetBounds();
  const quill::TRect u = quill::UnionRect(old, rect);
  if (u == old || u.IsEmpty()) return true;
  // How far the mask grows on each side (left, top, right, bottom), and the bytes it
  // has to spare there.
  const bool hasBytes = !old.IsEmpty();
  const int64_t grow[4] = {hasBytes ? int64_t{old.Left} - u.Left : 0, hasBytes ? int64_t{old.Top} - u.Top : 0,
                           hasBytes ? int64_t{u.Right} - old.Right : 0,
                           hasBytes ? int64_t{u.Bottom} - old.Bottom : 0};
  int64_t spare[4] = {0, 0, 0, 0};
  if (hasBytes) {
    const int64_t stride = FStride;
    spare[0] = static_cast<int64_t>(FOrigin) % stride;
    spare[1] = static_cast<int64_t>(FOrigin) / stride;
    spare[2] = stride - spare[0] - FWidth;
    spare[3] = static_cast<int64_t>(FBlockSize) / stride - spare[1] - FHeight;
  }
  // Grow in place when the spare bytes reach far enough, and when no bytes lie beyond
  // the 32-bit limit (they would come to lie in the spare).
  if (hasBytes && old.Width() == FWidth && old.Height() == FHeight && grow[0] <= spare[0] &&
      grow[1] <= spare[1] && grow[2] <= spare[2] && grow[3] <= spare[3]) {
    FOrigin -= static_cast<size_t>(grow[1] * FStride + grow[0]);
    FLeft = u.Left;
    FTop = u.Top;
    FWidth = static_cast<int32_t>(u.Width());
    FHeight = static_cast<int32_t>(u.Height());
    return true;
  }
  // Otherwise a new block: half the extent to spare on each side the mask grows
  // towards, what was to spare elsewhere; and when that cannot be had, none at all.
  for (int side = 0; side < 4; ++side) {
    if (grow[side] > 0) spare[side] = (side % 2 == 0 ? u.Width() : u.Height()) / 2;
  }
  static constexpr int64_t kNone[4] = {0, 0, 0, 0};
  return Regrow(u, spare) || Regrow(u, kNone);
}

bool TZelPixelMask::Regrow(const quill::TRect& rect, const int64_t (&spare)[4]) {
  const int64_t stride = spare[0] + rect.Width() + spare[2];
  const int64_t rows = spare[1] + rect.Height() + spare[3];
  Block block;
  if (!NewMaskBlock(stride, rows, block)) return false;
  const int64_t origin = spare[1] * stride + spare[0];
  // Only a mask with an extent has bytes to keep; of those, the ones inside its
  // (saturated) bounds.
  const quill::TRect old = GetBounds();
  if (!old.IsEmpty()) {
    const int64_t offset = origin + (int64_t{old.Top} - rect.Top) * stride + (int64_t{old.Left} - rect.Left);
    for (int64_t row = 0; row < old.Height(); ++row) {
      std::memcpy(block.get() + offset + row * stride, Bits() + row * FStride, static_cast<size_t>(old.Width()));
    }
  }
  FBits = std::move(block);
  FBlockSize = static_cast<size_t>(stride * rows);
  FOrigin = static_cast<size_t>(origin);
  FStride = static_cast<int32_t>(stride);
  FLeft = rect.Left;
  FTop = rect.Top;
  FWidth = static_cast<int32_t>(rect.Width());
  FHeight = static_cast<int32_t>(rect.Height());
  return true;
}

bool TZelPixelMask::Merge(const TZelPixelMask& other) {
  if (!Include(other.GetBounds())) return false;
  const quill::TRect r = quill::IntersectRect(other.GetBounds(), GetBounds());
  for (int32_t y = r.Top; y < r.Bottom; ++y) {
    const uint8_t* from = other.GetPixelAddress(r.Left, y);
    uint8_t* to = GetPixelAddress(r.Left, y);
    for (int64_t col = 0; col < r.Width(); ++col) to[col] = std::max(to[col], from[col]);
  }
  return true;
}

void TZelPixelMask::Clear() {
  FLeft = FTop = FWidth = FHeight = FStride = 0;
  FOrigin = FBlockSize = 0;
  FBits.reset();
}

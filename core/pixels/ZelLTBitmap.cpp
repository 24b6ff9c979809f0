#include "ZelLTBitmap.h"

#include <cstdlib>
#include <cstring>

#include "ZelResample.h"

void TZelLTBitmap::FreeDeleter::operator()(uint8_t* block) const { std::free(block); }

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
                                int32_t height, int32_t width) {
  const int64_t bits = PixelFormatBits(format);
  if (width <= 0 || height <= 0 || bits == 0) return false;
  const int64_t stride = (bits * width + 31) / 32 * 4;
  if (stride > INT32_MAX) return false;
  block.reset(static_cast<uint8_t*>(std::calloc(static_cast<size_t>(height), static_cast<size_t>(stride))));
  if (block == nullptr) return false;
  pixels.Attach({0, 0, width, height}, block.get(), static_cast<int32_t>(stride), format);
  return true;
}

void TZelLTBitmap::Replace(Block& block, const TZelLTPixels& pixels) {
  FBlock = std::move(block);
  FPixels = pixels;
}

void TZelLTBitmap::Clear() {
  FBlock.reset();
  FPixels = TZelLTPixels();
}

bool TZelLTBitmap::SetSize(int32_t width, int32_t height, int32_t format) {
  Clear();
  Block block;
  TZelLTPixels pixels;
  if (!CreateBitmap(block, pixels, format, height, width)) return false;
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

bool TZelLTBitmap::Crop(const quill::TRect& rect) {
  const quill::TRect r = quill::IntersectRect(rect, GetBounds());
  if (r.IsEmpty()) return false;
  Block block;
  TZelLTPixels pixels;
  if (!CreateBitmap(block, pixels, FPixels.PixelFormat(), static_cast<int32_t>(r.Height()),
                    static_cast<int32_t>(r.Width()))) {
    return false;
  }
  pixels.CopyRect(0, 0, FPixels, r);
  Replace(block, pixels);
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

template <class Place>
bool TZelLTBitmap::MovePixels(int32_t width, int32_t height, Place place) {
  Block block;
  TZelLTPixels pixels;
  if (!StartGeometry(block, pixels, width, height)) return false;
  for (int32_t y = 0; y < GetHeight(); ++y) {
    const uint8_t* from = FPixels.GetScanLine(0, y);
    for (int32_t x = 0; x < GetWidth(); ++x, from += 3) {
      const quill::TPoint to = place(x, y);
      std::memcpy(pixels.GetPixelAddress(to.X, to.Y), from, 3);
    }
  }
  Replace(block, pixels);
  return true;
}

bool TZelLTBitmap::FlipHorizontal() {
  const int32_t w = GetWidth();
  return MovePixels(w, GetHeight(), [w](int32_t x, int32_t y) { return quill::TPoint{w - 1 - x, y}; });
}

bool TZelLTBitmap::FlipVertical() {
  const int32_t w = GetWidth(), h = GetHeight();
  Block block;
  TZelLTPixels pixels;
  if (!StartGeometry(block, pixels, w, h)) return false;
  for (int32_t y = 0; y < h; ++y) {  // whole rows at a time
    std::memcpy(pixels.GetScanLine(0, h - 1 - y), FPixels.GetScanLine(0, y),
                static_cast<size_t>(pixels.Stride()));
  }
  Replace(block, pixels);
  return true;
}

bool TZelLTBitmap::RotateLeft() {
  const int32_t w = GetWidth();
  return MovePixels(GetHeight(), w, [w](int32_t x, int32_t y) { return quill::TPoint{y, w - 1 - x}; });
}

bool TZelLTBitmap::RotateRight() {
  const int32_t h = GetHeight();
  return MovePixels(h, GetWidth(), [h](int32_t x, int32_t y) { return quill::TPoint{h - 1 - y, x}; });
}

bool CopyBitmapToBuffer(const TZelLTBitmap& bitmap, TZelPixelBuffer& buffer) {
  const TZelPixels& pixels = bitmap.GetPixels();
  if (!buffer.Allocate(pixels.PixelFormat(), pixels.GetBounds())) return false;
  buffer.CopyFrom(pixels);
  return true;
}

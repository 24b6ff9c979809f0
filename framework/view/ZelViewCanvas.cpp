#include "ZelViewCanvas.h"

#include <QPaintEngine>
#include <QTransform>
#include <QWidget>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cassert>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

int32_t DIBRowBytes(int32_t width, int32_t bitsPerPixel) {
  return static_cast<int32_t>((int64_t{width} * bitsPerPixel + 31) / 32 * 4);
}

namespace quill {

QRect RectToQRect(const TRect& rect) {
  if (rect.IsEmpty()) return QRect();
  // A TRect may be up to 2^32 - 1 wide; QRect's width must fit an int. Every edge is
  // clamped into +-(2^30 - 1), far beyond any window, so what a window shows of the
  // rectangle is kept and the width always fits.
  static constexpr int32_t kLimit = INT32_MAX / 2;
  const auto clamp = [](int32_t value) { return std::clamp(value, -kLimit, kLimit); };
  const int32_t left = clamp(rect.Left);
  const int32_t top = clamp(rect.Top);
  const int32_t right = clamp(rect.Right);
  const int32_t bottom = clamp(rect.Bottom);
  if (right <= left || bottom <= top) return QRect();
  return QRect(left, top, right - left, bottom - top);
}

TRect QRectToRect(const QRect& rect) {
  if (rect.isEmpty()) return TRect{};
  return TRect{rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

}  // namespace quill

namespace {

// Count B, G, R pixels of In as 0xFFRRGGBB values at Out; four at a time from three
// little-endian words (B0 G0 R0 B1, G1 R1 B2 G2, R2 B3 G3 R3).
void ToScreenRowPlain(const uint8_t* __restrict in, int count, uint32_t* __restrict out) {
  static_assert(std::endian::native == std::endian::little);
  int x = 0;
  for (; x + 4 <= count; x += 4, in += 12) {
    uint32_t w[3];
    std::memcpy(w, in, sizeof w);
    out[x] = 0xFF000000u | (w[0] & 0xFFFFFFu);
    out[x + 1] = 0xFF000000u | w[0] >> 24 | (w[1] & 0xFFFFu) << 8;
    out[x + 2] = 0xFF000000u | w[1] >> 16 | (w[2] & 0xFFu) << 16;
    out[x + 3] = 0xFF000000u | w[2] >> 8;
  }
  for (; x < count; ++x, in += 3) out[x] = 0xFF000000u | uint32_t{in[2]} << 16 | uint32_t{in[1]} << 8 | in[0];
}

#if defined(__x86_64__)
// The same, eight pixels a step: 32 bytes read (24 used), each 128-bit half given its
// four pixels' 12 bytes and spread to four words. A step runs only while its read
// stays within the row (11 pixels or more left); the plain loop does the rest.
__attribute__((target("avx2"))) void ToScreenRowAvx2(const uint8_t* __restrict in, int count,
                                                      uint32_t* __restrict out) {
  const __m256i halves = _mm256_setr_epi32(0, 1, 2, 3, 3, 4, 5, 6);
  const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                          0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  int x = 0;
  for (; count - x >= 11; x += 8, in += 24) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
    const __m256i pixels = _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(bytes, halves), spread);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_or_si256(pixels, alpha));
  }
  ToScreenRowPlain(in, count - x, out + x);
}
#endif

using TScreenRow = void (*)(const uint8_t* __restrict in, int count, uint32_t* __restrict out);

// The vector loop where the processor has it.
const TScreenRow ToScreenRow = [] {
#if defined(__x86_64__)
  if (__builtin_cpu_supports("avx2")) return &ToScreenRowAvx2;
#endif
  return &ToScreenRowPlain;
}();

}  // namespace

// ---- TZelCanvasPixels ----

void TZelCanvasPixels::AttachBitmap(uint8_t* bits, int32_t width, int32_t height) {
  Attach(quill::TRect{0, 0, width, height}, bits, DIBRowBytes(width, 24), quill::kPixelFormat24);
}

void TZelCanvasPixels::Detach() { Attach(quill::TRect{}, nullptr, 0, quill::kPixelFormat24); }

// ---- TZelViewCanvas ----

TZelViewCanvas::~TZelViewCanvas() {
  // A canvas destroyed in the middle of a paint still ends its painter.
  if (painter_.isActive()) painter_.end();
}

bool TZelViewCanvas::BeginPaint(QWidget* window, const QRegion& updateRegion) {
  if (window == nullptr || IsPainting()) return false;
  const QRect box = updateRegion.boundingRect();
  const QRegion region = updateRegion & QRect(QPoint(0, 0), box.bottomRight());
  if (region.isEmpty()) return false;

  updateBox_ = quill::QRectToRect(region.boundingRect());
  const int32_t width = updateBox_.Right;
  const int32_t height = updateBox_.Bottom;
  const int32_t stride = DIBRowBytes(width, 24);
  const size_t size = static_cast<size_t>(stride) * static_cast<size_t>(height);
  if (size > bufferSize_) {
    // Zero-filled once, so no byte of the bitmap is ever read uninitialised; a pixel
    // block comes zeroed by the kernel in huge pages, without a filling pass of its own
    // (the first paint of a new view is part of opening a photo).
    buffer_.reset(quill::AllocatePixelBlock(size, 1));
    bufferSize_ = buffer_ != nullptr ? size : 0;
    if (buffer_ == nullptr) return false;
  }

  pixels_.AttachBitmap(buffer_.get(), width, height);
  image_ = QImage(buffer_.get(), width, height, stride, QImage::Format_BGR888);
  if (!painter_.begin(&image_)) {
    image_ = QImage();
    pixels_.Detach();
    return false;
  }
  surface_.emplace(painter_);
  window_ = window;
  updateRegion_ = region;
  SelectClip(region);
  return true;
}

void TZelViewCanvas::EndPaint() {
  if (!IsPainting()) return;
  surface_.reset();
  painter_.end();
  {
    QPainter target(window_);
    if (!CopyIntoDevice(target)) {
      QImage box = ScreenPixels();
      if (box.isNull()) {
        // No memory for the converted copy: Qt converts the update box itself.
        box = QImage(pixels_.GetPixelAddress(updateBox_.Left, updateBox_.Top), static_cast<int>(updateBox_.Width()),
                     static_cast<int>(updateBox_.Height()), pixels_.Stride(), QImage::Format_BGR888);
      }
      target.setClipRegion(updateRegion_);
      target.drawImage(QPoint(updateBox_.Left, updateBox_.Top), box);
    }
  }
  for (int i = 0; i < clipDepth_; ++i) clipStack_[static_cast<size_t>(i)] = TZelViewState{};
  clipDepth_ = 0;
  image_ = QImage();
  pixels_.Detach();
  window_ = nullptr;
  updateRegion_ = QRegion();
  clip_ = QRegion();
}

bool TZelViewCanvas::CopyIntoDevice(QPainter& target) {
  QPaintEngine* engine = target.paintEngine();
  QPaintDevice* device = engine != nullptr ? engine->paintDevice() : nullptr;
  if (device == nullptr || device->devType() != QInternal::Image) return false;
  QImage& image = *static_cast<QImage*>(device);
  if ((image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32_Premultiplied) ||
      image.devicePixelRatio() != 1.0) {
    return false;
  }
  // The window's place in the device: a translation by whole pixels, or Qt draws.
  const QTransform& transform = target.deviceTransform();
  if (transform.type() > QTransform::TxTranslate || transform.dx() != std::trunc(transform.dx()) ||
      transform.dy() != std::trunc(transform.dy())) {
    return false;
  }
  const QPoint offset(static_cast<int>(transform.dx()), static_cast<int>(transform.dy()));
  // Qt's clip of the window (its visible part, the area being flushed), in device pixels.
  QRegion region = updateRegion_.translated(offset) & image.rect();
  const QRegion windowClip = engine->systemClip();
  if (!windowClip.isEmpty()) region &= windowClip;
  // The painter has the image to itself (it detached it when it began), so its memory
  // is written in place, without a detach.
  uchar* bits = const_cast<uchar*>(image.constBits());
  const qsizetype stride = image.bytesPerLine();
  for (const QRect& rect : region) {
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
      ToScreenRow(pixels_.GetPixelAddress(rect.left() - offset.x(), y - offset.y()), rect.width(),
                  reinterpret_cast<uint32_t*>(bits + y * stride) + rect.left());
    }
  }
  return true;
}

QImage TZelViewCanvas::ScreenPixels() {
  const int width = static_cast<int>(updateBox_.Width());
  const int height = static_cast<int>(updateBox_.Height());
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (count > screenSize_) {
    screen_.reset(reinterpret_cast<uint32_t*>(quill::AllocatePixelBlock(count, 4)));
    screenSize_ = screen_ != nullptr ? count : 0;
    if (screen_ == nullptr) return QImage();
  }
  for (const QRect& rect : updateRegion_) {
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
      ToScreenRow(pixels_.GetPixelAddress(rect.left(), y), rect.width(),
                  screen_.get() + static_cast<size_t>(y - updateBox_.Top) * width + (rect.left() - updateBox_.Left));
    }
  }
  return QImage(reinterpret_cast<const uchar*>(screen_.get()), width, height, width * 4, QImage::Format_RGB32);
}

bool TZelViewCanvas::RectVisible(const quill::TRect& rect) const {
  return !rect.IsEmpty() && clip_.intersects(quill::RectToQRect(rect));
}

void TZelViewCanvas::ExcludeClipRect(const quill::TRect& rect) {
  if (rect.IsEmpty()) return;
  SelectClip(clip_.subtracted(quill::RectToQRect(rect)));
}

void TZelViewCanvas::FillClip(uint32_t colour) {
  const uint8_t b = static_cast<uint8_t>(colour >> 16);
  const uint8_t g = static_cast<uint8_t>(colour >> 8);
  const uint8_t r = static_cast<uint8_t>(colour);
  ForEachClipRect(GetClipBox(), [&](const quill::TRect& part) {
    // The first row pixel by pixel, the others copied from it.
    uint8_t* first = pixels_.GetPixelAddress(part.Left, part.Top);
    const size_t rowBytes = static_cast<size_t>(part.Width()) * 3;
    for (size_t i = 0; i < rowBytes; i += 3) {
      first[i] = b;
      first[i + 1] = g;
      first[i + 2] = r;
    }
    for (int32_t y = part.Top + 1; y < part.Bottom; ++y) {
      std::memcpy(pixels_.GetPixelAddress(part.Left, y), first, rowBytes);
    }
  });
}

void TZelViewCanvas::PushClip(TZelViewObject* object) {
  if (clipDepth_ == static_cast<int>(clipStack_.size())) clipStack_.emplace_back();
  TZelViewState& state = clipStack_[static_cast<size_t>(clipDepth_)];
  state.View = object;
  state.Region = clip_;
  ++clipDepth_;
}

bool TZelViewCanvas::PopClip(TZelViewObject*& object) {
  if (clipDepth_ == 0) return false;
  --clipDepth_;
  TZelViewState& state = clipStack_[static_cast<size_t>(clipDepth_)];
  SelectClip(state.Region);
  object = state.View;
  state = TZelViewState{};
  return true;
}

void TZelViewCanvas::SelectClip(const QRegion& region) {
  clip_ = region;
  assert(painter_.isActive());
  painter_.setClipRegion(clip_);
}

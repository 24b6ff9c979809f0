#include "PixelSink.h"

#include <algorithm>
#include <cstring>

#include "ZelUtils.h"

namespace quill {

// ---- TMemorySink ----

bool TMemorySink::Begin(int32_t width, int32_t height) {
  FBits = FTarget(width, height, FStride);
  return FBits != nullptr;
}

uint8_t* TMemorySink::Rows(int32_t y, int32_t /*count*/, int64_t& stride) {
  stride = FStride;
  return FBits + y * FStride;
}

bool TMemorySink::Put(int32_t y, int32_t x, int32_t step, int32_t count, const uint8_t* pixels) {
  uint8_t* to = FBits + y * FStride + int64_t{x} * 3;
  for (int32_t i = 0; i < count; ++i, to += int64_t{step} * 3, pixels += 3) std::memcpy(to, pixels, 3);
  return true;
}

TBitmapSink::TBitmapSink(TZelLTBitmap& image)
    : TMemorySink([&image](int32_t width, int32_t height, int64_t& stride) -> uint8_t* {
        if (!image.SetSize(width, height, kPixelFormat24)) return nullptr;
        stride = image.GetPixels().Stride();
        return image.GetPixels().Bits();
      }) {}

// ---- TThumbnailSink ----

namespace {

// Where output pixel I of Count samples a line of Size pixels, in 1/256 pixel: the
// pixel centres of both lines aligned, clamped to the line.
int64_t SamplePosition(int64_t i, int64_t count, int64_t size) {
  const int64_t position = ((2 * i + 1) * size * 256 / count - 256) / 2;
  return std::clamp<int64_t>(position, 0, (size - 1) * 256);
}

// Small, enlarged to Width x Height (each side at least Small's) by bilinear
// interpolation. Done here rather than by QImage::scaled, which hands the work to a
// thread pool that may fail to start threads when memory is short, and then waits for
// ever.
QImage Enlarged(const QImage& small, int32_t width, int32_t height) {
  QImage large(width, height, QImage::Format_BGR888);
  if (large.isNull()) return {};
  std::vector<int64_t> columns(static_cast<size_t>(width));
  for (int32_t x = 0; x < width; ++x) columns[static_cast<size_t>(x)] = SamplePosition(x, width, small.width());
  for (int32_t y = 0; y < height; ++y) {
    const int64_t v = SamplePosition(y, height, small.height());
    const uint8_t* top = small.constScanLine(static_cast<int>(v >> 8));
    const uint8_t* bottom = small.constScanLine(static_cast<int>(std::min<int64_t>((v >> 8) + 1, small.height() - 1)));
    const int64_t fy = v & 255;
    uint8_t* to = large.scanLine(y);
    for (int32_t x = 0; x < width; ++x, to += 3) {
      const int64_t u = columns[static_cast<size_t>(x)];
      const int64_t left = (u >> 8) * 3, right = std::min<int64_t>((u >> 8) + 1, small.width() - 1) * 3;
      const int64_t fx = u & 255;
      for (int c = 0; c < 3; ++c) {
        const int64_t upper = top[left + c] * (256 - fx) + top[right + c] * fx;
        const int64_t lower = bottom[left + c] * (256 - fx) + bottom[right + c] * fx;
        to[c] = static_cast<uint8_t>((upper * (256 - fy) + lower * fy + 32768) >> 16);
      }
    }
  }
  return large;
}

}  // namespace

TThumbnailSink::TThumbnailSink(int32_t fullWidth, int32_t fullHeight, int32_t boxWidth, int32_t boxHeight,
                               std::stop_token stop)
    : FStop(std::move(stop)) {
  const TRect fit = FitRectProportional({0, 0, fullWidth, fullHeight}, {0, 0, boxWidth, boxHeight});
  FFitWidth = static_cast<int32_t>(std::max<int64_t>(1, fit.Width()));
  FFitHeight = static_cast<int32_t>(std::max<int64_t>(1, fit.Height()));
}

bool TThumbnailSink::Begin(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return false;
  FWidth = width;
  FHeight = height;
  FCellsAcross = std::min(FFitWidth, width);
  FCellsDown = std::min(FFitHeight, height);
  FColumnCell.resize(static_cast<size_t>(width));
  for (int32_t x = 0; x < width; ++x) FColumnCell[static_cast<size_t>(x)] = static_cast<int32_t>(int64_t{x} * FCellsAcross / width);
  FRowCell.resize(static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y) FRowCell[static_cast<size_t>(y)] = static_cast<int32_t>(int64_t{y} * FCellsDown / height);
  FSums.assign(size_t{3} * static_cast<size_t>(FCellsAcross) * static_cast<size_t>(FCellsDown), 0);
  return true;
}

uint8_t* TThumbnailSink::Rows(int32_t /*y*/, int32_t count, int64_t& stride) {
  if (FStop.stop_requested()) return nullptr;
  stride = int64_t{FWidth} * 3;
  const size_t size = static_cast<size_t>(stride) * static_cast<size_t>(count);
  if (FScratch.size() < size) FScratch.resize(size);
  return FScratch.data();
}

void TThumbnailSink::Commit(int32_t y, int32_t count) {
  const size_t rowBytes = size_t{3} * static_cast<size_t>(FWidth);
  for (int32_t r = 0; r < count; ++r) {
    const uint8_t* p = FScratch.data() + rowBytes * static_cast<size_t>(r);
    uint64_t* row = FSums.data() + size_t{3} * static_cast<size_t>(FCellsAcross) *
                                        static_cast<size_t>(FRowCell[static_cast<size_t>(y + r)]);
    // Columns fall into cells in runs: sum each run locally, then add it once.
    int32_t x = 0;
    while (x < FWidth) {
      const int32_t cell = FColumnCell[static_cast<size_t>(x)];
      uint32_t b = 0, g = 0, red = 0;
      for (; x < FWidth && FColumnCell[static_cast<size_t>(x)] == cell; ++x, p += 3) {
        b += p[0];
        g += p[1];
        red += p[2];
      }
      uint64_t* sum = row + size_t{3} * static_cast<size_t>(cell);
      sum[0] += b;
      sum[1] += g;
      sum[2] += red;
    }
  }
}

void TThumbnailSink::Add(int32_t y, int32_t x, const uint8_t* pixel) {
  uint64_t* sum = FSums.data() + size_t{3} * (static_cast<size_t>(FCellsAcross) * static_cast<size_t>(FRowCell[static_cast<size_t>(y)]) +
                                              static_cast<size_t>(FColumnCell[static_cast<size_t>(x)]));
  sum[0] += pixel[0];
  sum[1] += pixel[1];
  sum[2] += pixel[2];
}

bool TThumbnailSink::Put(int32_t y, int32_t x, int32_t step, int32_t count, const uint8_t* pixels) {
  if (FStop.stop_requested()) return false;
  for (int32_t i = 0; i < count; ++i, x += step, pixels += 3) Add(y, x, pixels);
  return true;
}

QImage TThumbnailSink::Finish() const {
  if (FSums.empty()) return {};
  // How many delivered columns and rows each cell covers.
  std::vector<uint64_t> columns(static_cast<size_t>(FCellsAcross)), rows(static_cast<size_t>(FCellsDown));
  for (const int32_t cell : FColumnCell) ++columns[static_cast<size_t>(cell)];
  for (const int32_t cell : FRowCell) ++rows[static_cast<size_t>(cell)];
  QImage image(FCellsAcross, FCellsDown, QImage::Format_BGR888);
  if (image.isNull()) return {};
  const uint64_t* sum = FSums.data();
  for (int32_t cy = 0; cy < FCellsDown; ++cy) {
    uint8_t* to = image.scanLine(cy);
    for (int32_t cx = 0; cx < FCellsAcross; ++cx, sum += 3, to += 3) {
      const uint64_t area = columns[static_cast<size_t>(cx)] * rows[static_cast<size_t>(cy)];
      for (int c = 0; c < 3; ++c) to[c] = static_cast<uint8_t>((sum[c] + area / 2) / area);
    }
  }
  if (image.width() == FFitWidth && image.height() == FFitHeight) return image;
  return Enlarged(image, FFitWidth, FFitHeight);
}

}  // namespace quill

// BMP, our own reader and writer: 1, 4, 8, 16, 24 and 32 bits a pixel, RLE4 and RLE8,
// bit fields, bottom-up and top-down rows. Every offset and size in the headers is
// checked against the data before it is used.

#include <bit>
#include <cstring>

#include "ImageCodecs.h"
#include "ImageCodecsPrivate.h"

namespace quill {

namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

uint32_t Get16(std::span<const uint8_t> d, size_t at) { return d[at] | d[at + 1] << 8; }
uint32_t Get32(std::span<const uint8_t> d, size_t at) {
  return uint32_t{d[at]} | uint32_t{d[at + 1]} << 8 | uint32_t{d[at + 2]} << 16 | uint32_t{d[at + 3]} << 24;
}
void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// One colour channel of a bit-field pixel, scaled to 8 bits.
struct TChannel {
  uint32_t Mask = 0;
  int Shift = 0;
  uint32_t Max = 0;

  explicit TChannel(uint32_t mask = 0) : Mask(mask) {
    if (mask == 0) return;
    Shift = std::countr_zero(mask);
    Max = mask >> Shift;
  }
  uint8_t Get(uint32_t pixel) const {
    if (Max == 0) return 0;
    return static_cast<uint8_t>(((pixel & Mask) >> Shift) * 255u / Max);
  }
  // A mask must be one run of set bits.
  bool Valid() const { return Mask == 0 || ((Max + 1) & Max) == 0; }
};

struct TBmpHeader {
  uint32_t DataOffset = 0;
  uint32_t HeaderSize = 0;
  int64_t Width = 0;
  int64_t Height = 0;  // positive: bottom-up
  uint32_t Bits = 0;
  uint32_t Compression = 0;
  uint32_t Colours = 0;
  TChannel Red, Green, Blue;
  std::vector<uint8_t> Palette;  // B, G, R triples
  uint32_t XPpm = 0, YPpm = 0;
};

bool ReadHeader(std::span<const uint8_t> d, TBmpHeader& h) {
  if (d.size() < 26 || d[0] != 'B' || d[1] != 'M') return false;
  h.DataOffset = Get32(d, 10);
  h.HeaderSize = Get32(d, 14);
  if (h.HeaderSize < 12 || 14 + uint64_t{h.HeaderSize} > d.size()) return false;
  size_t paletteEntry = 4;
  if (h.HeaderSize == 12) {  // the old core header
    h.Width = Get16(d, 18);
    h.Height = Get16(d, 20);
    h.Bits = Get16(d, 24);
    paletteEntry = 3;
  } else {
    if (h.HeaderSize < 40) return false;
    h.Width = static_cast<int32_t>(Get32(d, 18));
    h.Height = static_cast<int32_t>(Get32(d, 22));
    h.Bits = Get16(d, 28);
    h.Compression = Get32(d, 30);
    h.XPpm = Get32(d, 38);
    h.YPpm = Get32(d, 42);
    h.Colours = Get32(d, 46);
  }
  size_t masksAt = 14 + 40;
  if (h.Compression == kBitFields || h.Compression == kAlphaBitFields) {
    if (h.Bits != 16 && h.Bits != 32) return false;
    // The masks follow a 40-byte header; larger headers hold them inside.
    if (masksAt + 12 > d.size()) return false;
    h.Red = TChannel(Get32(d, masksAt));
    h.Green = TChannel(Get32(d, masksAt + 4));
    h.Blue = TChannel(Get32(d, masksAt + 8));
    if (!h.Red.Valid() || !h.Green.Valid() || !h.Blue.Valid()) return false;
    if (h.HeaderSize == 40) masksAt += h.Compression == kAlphaBitFields ? 16 : 12;
  } else if (h.Bits == 16) {
    h.Red = TChannel(0x7C00), h.Green = TChannel(0x03E0), h.Blue = TChannel(0x001F);
  } else if (h.Bits == 32) {
    h.Red = TChannel(0xFF0000), h.Green = TChannel(0xFF00), h.Blue = TChannel(0xFF);
  }
  const bool valid = (h.Compression == kRgb && (h.Bits == 1 || h.Bits == 4 || h.Bits == 8 || h.Bits == 16 ||
                                                 h.Bits == 24 || h.Bits == 32)) ||
                     (h.Compression == kRle8 && h.Bits == 8) || (h.Compression == kRle4 && h.Bits == 4) ||
                     h.Compression == kBitFields || h.Compression == kAlphaBitFields;
  if (!valid) return false;
  // RLE images are stored bottom-up only.
  if (h.Height < 0 && (h.Compression == kRle8 || h.Compression == kRle4)) return false;
  if (h.Bits <= 8) {
    const uint64_t maxColours = uint64_t{1} << h.Bits;
    const uint64_t colours = h.Colours == 0 || h.Colours > maxColours ? maxColours : h.Colours;
    const uint64_t paletteAt = h.HeaderSize == 40 && h.Compression == kBitFields ? masksAt : 14 + uint64_t{h.HeaderSize};
    if (paletteAt + colours * paletteEntry > d.size()) return false;
    h.Palette.assign(maxColours * 3, 0);
    for (uint64_t i = 0; i < colours; ++i) std::memcpy(&h.Palette[i * 3], &d[paletteAt + i * paletteEntry], 3);
  }
  return true;
}

void SetIndex(const TBmpHeader& h, uint8_t* to, uint32_t index) { std::memcpy(to, &h.Palette[index * 3], 3); }

// Uncompressed rows.
bool ReadRows(std::span<const uint8_t> d, const TBmpHeader& h, TZelPixels& pixels, int32_t width, int32_t height) {
  const uint64_t stride = (uint64_t{h.Bits} * width + 31) / 32 * 4;
  if (h.DataOffset > d.size() || stride * height > d.size() - h.DataOffset) return false;
  for (int32_t row = 0; row < height; ++row) {
    const uint8_t* from = d.data() + h.DataOffset + stride * row;
    const int32_t y = h.Height > 0 ? height - 1 - row : row;
    uint8_t* to = pixels.GetScanLine(0, y);
    for (int32_t x = 0; x < width; ++x, to += 3) {
      switch (h.Bits) {
        case 1: SetIndex(h, to, (from[x >> 3] >> (7 - (x & 7))) & 1); break;
        case 4: SetIndex(h, to, (from[x >> 1] >> ((x & 1) ? 0 : 4)) & 15); break;
        case 8: SetIndex(h, to, from[x]); break;
        case 24: std::memcpy(to, from + 3 * x, 3); break;
        default: {
          const uint32_t p = h.Bits == 16 ? (from[2 * x] | from[2 * x + 1] << 8)
                                          : Get32(std::span(from, 4 * size_t(width)), 4 * size_t(x));
          to[0] = h.Blue.Get(p);
          to[1] = h.Green.Get(p);
          to[2] = h.Red.Get(p);
        }
      }
    }
  }
  return true;
}

// RLE8 and RLE4 runs; pixels the runs skip stay black.
bool ReadRle(std::span<const uint8_t> d, const TBmpHeader& h, TZelPixels& pixels, int32_t width, int32_t height) {
  if (h.DataOffset > d.size()) return false;
  const bool four = h.Compression == kRle4;
  size_t at = h.DataOffset;
  int64_t x = 0, row = 0;
  auto put = [&](uint32_t index) {
    if (x < width && row < height) SetIndex(h, pixels.GetPixelAddress(static_cast<int32_t>(x), static_cast<int32_t>(height - 1 - row)), index);
    ++x;
  };
  while (row < height) {
    if (at + 2 > d.size()) return false;
    const uint32_t count = d[at], value = d[at + 1];
    at += 2;
    if (count != 0) {
      for (uint32_t i = 0; i < count; ++i) put(four ? (i & 1 ? value & 15 : value >> 4) : value);
    } else if (value == 0) {
      x = 0, ++row;
    } else if (value == 1) {
      return true;
    } else if (value == 2) {
      if (at + 2 > d.size()) return false;
      x += d[at], row += d[at + 1];
      at += 2;
    } else {
      const size_t bytes = four ? (value + 1) / 2 : value;
      if (at + bytes > d.size()) return false;
      for (uint32_t i = 0; i < value; ++i) put(four ? (i & 1 ? d[at + i / 2] & 15 : d[at + i / 2] >> 4) : d[at + i]);
      at += (bytes + 1) / 2 * 2;
    }
  }
  return true;
}

}  // namespace

bool DecodeBmp(std::span<const uint8_t> data, TDecodeRequest& request) {
  TBmpHeader h;
  if (!ReadHeader(data, h)) return false;
  const int64_t height = h.Height < 0 ? -h.Height : h.Height;
  if (!AcceptImageSize(h.Width, height, request)) return false;
  request.Width = static_cast<int32_t>(h.Width);
  request.Height = static_cast<int32_t>(height);
  if (request.Metadata != nullptr && h.XPpm != 0 && h.YPpm != 0) {
    request.Metadata->HorizontalResolution = h.XPpm * 0.0254;
    request.Metadata->VerticalResolution = h.YPpm * 0.0254;
  }
  if (request.Image == nullptr) return true;
  TZelLTBitmap& image = *request.Image;
  if (!image.SetSize(request.Width, request.Height, kPixelFormat24)) return false;
  const bool rle = h.Compression == kRle8 || h.Compression == kRle4;
  const bool read = rle ? ReadRle(data, h, image.GetPixels(), request.Width, request.Height)
                        : ReadRows(data, h, image.GetPixels(), request.Width, request.Height);
  if (!read) image.Clear();
  return read;
}

bool EncodeBmp(const TZelPixels& pixels, const TImageMetadata& metadata, std::vector<uint8_t>& output) {
  const auto width = static_cast<uint32_t>(pixels.Width());
  const auto height = static_cast<uint32_t>(pixels.Height());
  const uint64_t stride = (uint64_t{width} * 3 + 3) / 4 * 4;
  const uint64_t fileSize = 54 + stride * height;
  if (fileSize > UINT32_MAX) return false;
  output.clear();
  output.reserve(fileSize);
  output.push_back('B');
  output.push_back('M');
  Put32(output, static_cast<uint32_t>(fileSize));
  Put32(output, 0);
  Put32(output, 54);
  Put32(output, 40);
  Put32(output, width);
  Put32(output, height);
  Put16(output, 1);
  Put16(output, 24);
  Put32(output, kRgb);
  Put32(output, static_cast<uint32_t>(stride * height));
  Put32(output, DotsPerInchTo(metadata.HorizontalResolution, 0.0254));
  Put32(output, DotsPerInchTo(metadata.VerticalResolution, 0.0254));
  Put32(output, 0);
  Put32(output, 0);
  for (uint32_t row = 0; row < height; ++row) {
    const uint8_t* from = pixels.GetScanLine(pixels.Left(), pixels.Top() + static_cast<int32_t>(height - 1 - row));
    output.insert(output.end(), from, from + size_t{width} * 3);
    output.insert(output.end(), stride - size_t{width} * 3, 0);
  }
  return true;
}

}  // namespace quill

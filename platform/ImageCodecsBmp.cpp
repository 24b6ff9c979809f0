// BMP, our own reader and writer: 1, 4, 8, 16, 24 and 32 bits a pixel, RLE4 and RLE8,
// bit fields, bottom-up and top-down rows, and the ICC profile that a version 5 header
// embeds. Every offset and size in the headers is checked against the data before it
// is used. The headers and the palette are read from the start of the file (an info
// header above 64 KiB is refused), the pixels a row at a time.
//
// Refused as damaged: pixels that would start inside the headers or the palette, and
// runs that go past the right edge of the picture. Palette indices beyond the palette
// are black. Bit-field channels are scaled to 8 bits rounded to nearest.
//
// Written: 24 bits bottom-up, with a 40-byte header, or a version 5 header when there
// is an ICC profile to embed (placed after the pixels).

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "ImageCodecs.h"
#include "ImageCodecsPrivate.h"

namespace quill {

namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;
// The version 5 header: its size, and where in it the colour space type, the profile's
// offset (counted from the header's start) and its size are.
constexpr uint32_t kV5HeaderSize = 124;
constexpr size_t kColourSpaceAt = 56, kProfileOffsetAt = 112, kProfileSizeAt = 116;
// The colour space type of an embedded profile, 'MBED'; the rendering intent the
// writer gives (pictures).
constexpr uint32_t kProfileEmbedded = 0x4D424544;
constexpr uint32_t kIntentImages = 4;

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

// One colour channel of a bit-field pixel, scaled to 8 bits rounded to nearest:
// (v * 255 + max / 2) / max. A channel of up to 16 bits looks its levels up in a table
// made once; a wider one divides.
struct TChannel {
  static constexpr uint32_t kMaxTabled = 0xFFFF;

  uint32_t Mask = 0;
  int Shift = 0;
  uint32_t Max = 0;
  std::vector<uint8_t> Levels;  // per value, for channels of up to 16 bits

  explicit TChannel(uint32_t mask = 0) : Mask(mask) {
    if (mask != 0) {
      Shift = std::countr_zero(mask);
      Max = mask >> Shift;
    }
    if (Max > kMaxTabled) return;
    Levels.resize(size_t{Max} + 1);
    for (uint32_t value = 0; value <= Max; ++value) Levels[value] = Scale(value);
  }
  uint8_t Scale(uint64_t value) const {
    return Max == 0 ? 0 : static_cast<uint8_t>((value * 255 + Max / 2) / Max);
  }
  uint8_t Get(uint32_t pixel) const {
    const uint32_t value = (pixel & Mask) >> Shift;
    return value < Levels.size() ? Levels[value] : Scale(value);
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
  uint64_t PixelsFrom = 0;       // where the headers and the palette end
  uint32_t XPpm = 0, YPpm = 0;
  uint64_t ProfileAt = 0;        // an embedded profile in the file; size 0: none
  uint32_t ProfileSize = 0;
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
  if (h.HeaderSize >= kV5HeaderSize && Get32(d, 14 + kColourSpaceAt) == kProfileEmbedded) {
    h.ProfileAt = 14 + uint64_t{Get32(d, 14 + kProfileOffsetAt)};
    h.ProfileSize = Get32(d, 14 + kProfileSizeAt);
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
  // The palette follows the info header, and the masks that follow a 40-byte one.
  const uint64_t paletteAt = h.HeaderSize == 40 ? masksAt : 14 + uint64_t{h.HeaderSize};
  h.PixelsFrom = paletteAt;
  if (h.Bits <= 8) {
    const uint64_t maxColours = uint64_t{1} << h.Bits;
    uint64_t colours = h.Colours == 0 || h.Colours > maxColours ? maxColours : h.Colours;
    // The old core header gives no count: the palette is what lies before the pixels.
    if (h.HeaderSize == 12 && h.DataOffset >= paletteAt) {
      colours = std::min(colours, (h.DataOffset - paletteAt) / paletteEntry);
    }
    h.PixelsFrom = paletteAt + colours * paletteEntry;
    if (h.PixelsFrom > d.size()) return false;
    h.Palette.assign(maxColours * 3, 0);
    for (uint64_t i = 0; i < colours; ++i) std::memcpy(&h.Palette[i * 3], &d[paletteAt + i * paletteEntry], 3);
  }
  return true;
}

void SetIndex(const TBmpHeader& h, uint8_t* to, uint32_t index) { std::memcpy(to, &h.Palette[index * 3], 3); }

// The most a header read takes: the file header, the largest info header accepted, the
// bit-field masks and a palette of 256 entries.
constexpr uint32_t kMaxInfoHeader = 64u << 10;
constexpr size_t kMaxHeaderBytes = 14 + kMaxInfoHeader + 12 + 256 * 4;

// Uncompressed rows, one at a time.
bool ReadRows(TImageSource& source, const TBmpHeader& h, TPixelSink& sink, int32_t width, int32_t height) {
  const uint64_t stride = (uint64_t{h.Bits} * width + 31) / 32 * 4;
  std::vector<uint8_t> line(static_cast<size_t>(stride));
  for (int32_t row = 0; row < height; ++row) {
    if (!source.ReadExactly(h.DataOffset + stride * static_cast<uint64_t>(row), line)) return false;
    const uint8_t* from = line.data();
    const int32_t y = h.Height > 0 ? height - 1 - row : row;
    int64_t rowStride = 0;
    uint8_t* to = sink.Rows(y, 1, rowStride);
    if (to == nullptr) return false;
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
    sink.Commit(y, 1);
  }
  return true;
}

// The bytes of the run-length data, read in order.
class TRunReader {
 public:
  TRunReader(TImageSource& source, uint64_t at) : FSource(source), FAt(at) {}
  // The next Count bytes; false when the data ends first.
  bool Next(uint8_t* to, size_t count) {
    if (!FSource.ReadExactly(FAt, {to, count})) return false;
    FAt += count;
    return true;
  }

 private:
  TImageSource& FSource;
  uint64_t FAt;
};

// RLE8 and RLE4 runs, a row at a time (rows run bottom-up); pixels the runs skip stay
// black, and rows they skip are left to the sink, black. A run or a literal that goes
// past the right edge fails the decode: the data does not describe this picture.
bool ReadRle(TImageSource& source, const TBmpHeader& h, TPixelSink& sink, int32_t width, int32_t height) {
  const bool four = h.Compression == kRle4;
  TRunReader runs(source, h.DataOffset);
  std::vector<uint8_t> line(size_t{3} * static_cast<size_t>(width), 0);
  bool touched = false;  // whether Line holds pixels of the current row
  int64_t x = 0, row = 0;
  // Hands the current row to the sink and starts the next one black.
  auto finishRow = [&]() -> bool {
    if (touched && row < height) {
      const auto y = static_cast<int32_t>(height - 1 - row);
      int64_t stride = 0;
      uint8_t* to = sink.Rows(y, 1, stride);
      if (to == nullptr) return false;
      std::memcpy(to, line.data(), line.size());
      sink.Commit(y, 1);
      std::fill(line.begin(), line.end(), uint8_t{0});
    }
    touched = false;
    return true;
  };
  // Whether Count more pixels end within the row.
  auto fits = [&](uint32_t count) { return x + count <= width; };
  auto put = [&](uint32_t index) {
    SetIndex(h, line.data() + 3 * x, index);
    touched = true;
    ++x;
  };
  uint8_t pair[2];
  std::vector<uint8_t> literal;
  while (row < height) {
    if (!runs.Next(pair, 2)) return false;
    const uint32_t count = pair[0], value = pair[1];
    if (count != 0) {
      if (!fits(count)) return false;
      for (uint32_t i = 0; i < count; ++i) put(four ? (i & 1 ? value & 15 : value >> 4) : value);
    } else if (value == 0) {
      if (!finishRow()) return false;
      x = 0, ++row;
    } else if (value == 1) {
      return finishRow();
    } else if (value == 2) {
      if (!runs.Next(pair, 2)) return false;
      if (pair[1] != 0 && !finishRow()) return false;
      x += pair[0], row += pair[1];
    } else {
      if (!fits(value)) return false;
      const size_t bytes = four ? (value + 1) / 2 : value;
      literal.resize((bytes + 1) / 2 * 2);
      if (!runs.Next(literal.data(), bytes)) return false;
      for (uint32_t i = 0; i < value; ++i) put(four ? (i & 1 ? literal[i / 2] & 15 : literal[i / 2] >> 4) : literal[i]);
      if (literal.size() > bytes && !runs.Next(literal.data(), literal.size() - bytes)) return false;
    }
  }
  return true;
}

// Adds the embedded ICC profile to Items when it lies whole in the file and is no
// larger than kMaxIccProfileBytes; one that does not is left out. False only when the
// file cannot be read.
bool ReadProfile(TImageSource& source, const TBmpHeader& h, TImagePropertyList& items) {
  if (h.ProfileSize == 0 || h.ProfileSize > kMaxIccProfileBytes || h.ProfileAt > source.Size() ||
      h.ProfileSize > source.Size() - h.ProfileAt) {
    return true;
  }
  std::vector<uint8_t> profile(h.ProfileSize);
  if (!source.ReadExactly(h.ProfileAt, profile)) return false;
  SetProperty(items, {kPropertyIccProfile, kTiffUndefined, std::move(profile)});
  KeepRgbIccProfile(items);
  return true;
}

}  // namespace

bool DecodeBmp(TImageSource& source, TDecodeRequest& request) {
  std::vector<uint8_t> start(static_cast<size_t>(std::min<uint64_t>(source.Size(), kMaxHeaderBytes)));
  if (!source.ReadExactly(0, start)) return false;
  TBmpHeader h;
  if (!ReadHeader(start, h) || h.HeaderSize > kMaxInfoHeader) return false;
  const int64_t height = h.Height < 0 ? -h.Height : h.Height;
  if (!AcceptImageSize(h.Width, height, request)) return false;
  request.Width = static_cast<int32_t>(h.Width);
  request.Height = static_cast<int32_t>(height);
  if (request.Metadata != nullptr) {
    if (h.XPpm != 0 && h.YPpm != 0) {
      request.Metadata->HorizontalResolution = h.XPpm * 0.0254;
      request.Metadata->VerticalResolution = h.YPpm * 0.0254;
    }
    if (!request.Brief && !ReadProfile(source, h, request.Metadata->Items)) return false;
  }
  if (request.Pixels == nullptr) return true;
  const bool rle = h.Compression == kRle8 || h.Compression == kRle4;
  // The pixels lie after the headers and the palette, and uncompressed rows all lie in
  // the file: checked before anything is allocated.
  const uint64_t stride = (uint64_t{h.Bits} * static_cast<uint64_t>(h.Width) + 31) / 32 * 4;
  if (h.DataOffset < h.PixelsFrom || h.DataOffset > source.Size() ||
      (!rle && stride * static_cast<uint64_t>(height) > source.Size() - h.DataOffset)) {
    return false;
  }
  TPixelSink& sink = *request.Pixels;
  if (!sink.Begin(request.Width, request.Height)) return false;
  return rle ? ReadRle(source, h, sink, request.Width, request.Height)
             : ReadRows(source, h, sink, request.Width, request.Height);
}

bool EncodeBmp(const TZelPixels& pixels, const TImageMetadata& metadata, std::vector<uint8_t>& output) {
  const auto width = static_cast<uint32_t>(pixels.Width());
  const auto height = static_cast<uint32_t>(pixels.Height());
  const uint64_t stride = (uint64_t{width} * 3 + 3) / 4 * 4;
  const TImagePropertyItem* icc = FindProperty(metadata.Items, kPropertyIccProfile);
  const uint64_t profileSize = icc != nullptr && icc->Value.size() <= kMaxIccProfileBytes ? icc->Value.size() : 0;
  const uint32_t headerSize = profileSize != 0 ? kV5HeaderSize : 40;
  const uint64_t pixelBytes = stride * height;
  const uint64_t fileSize = 14 + headerSize + pixelBytes + profileSize;
  if (fileSize > UINT32_MAX) return false;
  output.clear();
  output.reserve(fileSize);
  output.push_back('B');
  output.push_back('M');
  Put32(output, static_cast<uint32_t>(fileSize));
  Put32(output, 0);
  Put32(output, 14 + headerSize);
  Put32(output, headerSize);
  Put32(output, width);
  Put32(output, height);
  Put16(output, 1);
  Put16(output, 24);
  Put32(output, kRgb);
  Put32(output, static_cast<uint32_t>(pixelBytes));
  Put32(output, DotsPerInchTo(metadata.HorizontalResolution, 0.0254));
  Put32(output, DotsPerInchTo(metadata.VerticalResolution, 0.0254));
  Put32(output, 0);
  Put32(output, 0);
  if (profileSize != 0) {
    output.resize(14 + kColourSpaceAt, 0);  // no masks for plain rows
    Put32(output, kProfileEmbedded);
    output.resize(14 + kProfileOffsetAt - 4, 0);  // no end points, no gamma
    Put32(output, kIntentImages);
    Put32(output, static_cast<uint32_t>(headerSize + pixelBytes));  // the profile follows the pixels
    Put32(output, static_cast<uint32_t>(profileSize));
    Put32(output, 0);
  }
  for (uint32_t row = 0; row < height; ++row) {
    const uint8_t* from = pixels.GetScanLine(pixels.Left(), pixels.Top() + static_cast<int32_t>(height - 1 - row));
    output.insert(output.end(), from, from + size_t{width} * 3);
    output.insert(output.end(), stride - size_t{width} * 3, 0);
  }
  if (profileSize != 0) output.insert(output.end(), icc->Value.begin(), icc->Value.end());
  return true;
}

}  // namespace quill

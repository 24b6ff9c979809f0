// TIFF: read through libtiff's RGBA reader (first directory, strips or tiles, 8 or 16
// bits); written by our own TIFF structure writer as 8-bit RGB strips with Deflate and
// horizontal differencing, so that the EXIF and GPS directories go out byte for byte
// (libtiff would turn rationals into floating point and refuse tags it does not know).
//
// Pixels are decoded as stored, whatever the Orientation tag says, as every other
// format is: the tag stays among the property items, so a picture saved again reads
// back as it was opened.
//
// Alpha is dropped. The RGBA reader would premultiply unassociated alpha; its colours
// are kept as stored instead, as the PNG reader keeps them.

#include <tiffio.h>
#include <zlib.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <vector>

#include "ImageCodecs.h"
#include "ImageCodecsPrivate.h"

namespace quill {

namespace {

// Errors and warnings are recorded per handle and never printed.
int TiffMessage(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TTiffSource {
  TImageSource* Source = nullptr;
  toff_t Position = 0;
};

tmsize_t TiffRead(thandle_t handle, void* to, tmsize_t size) {
  auto* source = static_cast<TTiffSource*>(handle);
  if (size < 0) return -1;
  const size_t count = source->Source->Read(source->Position, {static_cast<uint8_t*>(to), static_cast<size_t>(size)});
  source->Position += count;
  return static_cast<tmsize_t>(count);
}

tmsize_t TiffWrite(thandle_t, void*, tmsize_t) { return -1; }

toff_t TiffSeek(thandle_t handle, toff_t offset, int whence) {
  auto* source = static_cast<TTiffSource*>(handle);
  toff_t base = 0;
  if (whence == SEEK_CUR) base = source->Position;
  if (whence == SEEK_END) base = source->Source->Size();
  const toff_t position = base + offset;
  if (position < base) return static_cast<toff_t>(-1);
  source->Position = position;
  return position;
}

int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t handle) { return static_cast<TTiffSource*>(handle)->Source->Size(); }

// Data in memory already: "mapping" it hands libtiff the bytes themselves. A file is
// never mapped (a file cut while mapped would end the process); libtiff reads it.
int TiffMap(thandle_t handle, void** base, toff_t* size) {
  const std::span<const uint8_t> memory = static_cast<TTiffSource*>(handle)->Source->Memory();
  if (memory.empty()) return 0;
  *base = const_cast<uint8_t*>(memory.data());
  *size = memory.size();
  return 1;
}

void TiffUnmap(thandle_t, void*, toff_t) {}

struct TTiffHandle {
  TIFF* Tiff = nullptr;
  ~TTiffHandle() {
    if (Tiff != nullptr) TIFFClose(Tiff);
  }
};

// Opens the first directory. Strip and tile offsets are read when first needed (a
// header read never reads them), and no single allocation of libtiff's exceeds
// MaxAllocation: a tag value above it is left out of a header read.
bool OpenTiff(TTiffSource& source, TTiffHandle& handle, int64_t maxAllocation) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (options == nullptr) return false;
  TIFFOpenOptionsSetErrorHandlerExtR(options, TiffMessage, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options, TiffMessage, nullptr);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(maxAllocation));
  handle.Tiff = TIFFClientOpenExt("image", "rD", &source, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize,
                                  TiffMap, TiffUnmap, options);
  TIFFOpenOptionsFree(options);
  return handle.Tiff != nullptr;
}

// The largest single allocation of a header read, and of a decode: a strip, a tile or
// a colour map, never the picture.
constexpr int64_t kHeaderAllocation = int64_t{1} << 20;
constexpr int64_t kDecodeAllocation = kMaxImagePixels * 4;
// The rows converted at once are at most this many bytes of 32-bit pixels.
constexpr int64_t kChunkBytes = int64_t{16} << 20;

struct TRgbaImage {
  TIFFRGBAImage Image;
  bool Begun = false;
  ~TRgbaImage() {
    if (Begun) TIFFRGBAImageEnd(&Image);
  }
};

// Makes the RGBA reader take unassociated alpha as associated, so that it keeps the
// stored colours instead of multiplying them by alpha. False when the tag cannot be set.
bool KeepUnassociatedColours(TIFF* tiff) {
  uint16_t count = 0;
  uint16_t* kinds = nullptr;
  if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &count, &kinds) != 1 || count == 0 ||
      kinds[0] != EXTRASAMPLE_UNASSALPHA) {
    return true;
  }
  // A copy: setting the tag frees the array libtiff handed out.
  std::vector<uint16_t> associated(kinds, kinds + count);
  associated[0] = EXTRASAMPLE_ASSOCALPHA;
  return TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, count, associated.data()) == 1;
}

// The pixels through libtiff's RGBA reader, as stored, a strip's (or a tile row's) rows
// at a time into Sink. Mapped: the data is in memory and libtiff reads it in place
// (TiffMap).
bool ReadTiffPixels(TIFF* tiff, bool mapped, uint32_t width, uint32_t height, TPixelSink& sink) {
  char message[1024];
  TRgbaImage rgba;
  if (!KeepUnassociatedColours(tiff) || TIFFRGBAImageOK(tiff, message) != 1 ||
      TIFFRGBAImageBegin(&rgba.Image, tiff, 1, message) != 1) {
    return false;
  }
  rgba.Begun = true;
  // Asking for the file's own orientation makes the reader flip nothing.
  rgba.Image.req_orientation = rgba.Image.orientation;
  // Whole strips or tile rows at a time: a part of one would decode it again per part.
  uint32_t block = 0;
  if (TIFFIsTiled(tiff)) {
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &block);
  } else {
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &block);
  }
  // libtiff 4.5 refuses an uncompressed tile that it reads into a buffer of its own
  // (which it rounds up) instead of a mapped file: it gets one of the tile's exact size.
  std::vector<uint8_t> tileBuffer;
  uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
  if (TIFFIsTiled(tiff) && !mapped && compression == COMPRESSION_NONE) {
    const tmsize_t tileSize = TIFFTileSize(tiff);
    if (tileSize <= 0 || tileSize > kDecodeAllocation) return false;
    tileBuffer.resize(static_cast<size_t>(tileSize));
    if (TIFFReadBufferSetup(tiff, tileBuffer.data(), tileSize) != 1) return false;
  }
  const int64_t fitting = std::max<int64_t>(1, kChunkBytes / (int64_t{4} * width));
  const auto chunk = static_cast<uint32_t>(std::clamp<int64_t>(block, 1, std::max<int64_t>(fitting, 1)));
  std::vector<uint32_t> raster(size_t{width} * std::min(chunk, height));
  if (!sink.Begin(static_cast<int32_t>(width), static_cast<int32_t>(height))) return false;
  for (uint32_t first = 0; first < height; first += chunk) {
    const uint32_t rows = std::min(chunk, height - first);
    rgba.Image.row_offset = static_cast<int>(first);
    rgba.Image.col_offset = 0;
    if (TIFFRGBAImageGet(&rgba.Image, raster.data(), width, rows) != 1) return false;
    int64_t stride = 0;
    uint8_t* to = sink.Rows(static_cast<int32_t>(first), static_cast<int32_t>(rows), stride);
    if (to == nullptr) return false;
    const uint32_t* from = raster.data();
    for (uint32_t y = 0; y < rows; ++y, to += stride) {
      uint8_t* pixel = to;
      for (uint32_t x = 0; x < width; ++x, ++from, pixel += 3) {
        pixel[0] = static_cast<uint8_t>(TIFFGetB(*from));
        pixel[1] = static_cast<uint8_t>(TIFFGetG(*from));
        pixel[2] = static_cast<uint8_t>(TIFFGetR(*from));
      }
    }
    sink.Commit(static_cast<int32_t>(first), static_cast<int32_t>(rows));
  }
  return true;
}

}  // namespace

bool DecodeTiff(TImageSource& data, TDecodeRequest& request) {
  TTiffSource source{&data};
  TTiffHandle handle;
  const int64_t allocation = request.Pixels == nullptr ? kHeaderAllocation
                             : request.MemoryLimit > 0  ? request.MemoryLimit
                                                        : kDecodeAllocation;
  if (!OpenTiff(source, handle, allocation)) return false;
  uint32_t width = 0, height = 0;
  if (TIFFGetField(handle.Tiff, TIFFTAG_IMAGEWIDTH, &width) != 1 ||
      TIFFGetField(handle.Tiff, TIFFTAG_IMAGELENGTH, &height) != 1 || !AcceptImageSize(width, height, request)) {
    return false;
  }
  request.Width = static_cast<int32_t>(width);
  request.Height = static_cast<int32_t>(height);
  if (request.Metadata != nullptr) {
    TImagePropertyList& items = request.Metadata->Items;
    ReadExifProperties(data, false, items);
    KeepRgbIccProfile(items);
    PropertyResolution(items, request.Metadata->HorizontalResolution, request.Metadata->VerticalResolution);
  }
  if (request.Pixels == nullptr) return true;
  return ReadTiffPixels(handle.Tiff, !data.Memory().empty(), width, height, *request.Pixels);
}

bool EncodeTiff(const TZelPixels& pixels, const TImageMetadata& metadata, std::vector<uint8_t>& output) {
  const auto width = static_cast<uint32_t>(pixels.Width());
  const auto height = static_cast<uint32_t>(pixels.Height());
  const size_t rowBytes = size_t{width} * 3;
  const uint32_t rowsPerStrip = static_cast<uint32_t>(std::max<size_t>(1, (256u << 10) / rowBytes));

  TImagePropertyList items = metadata.Items;
  RemoveThumbnailProperties(items);
  output.clear();
  StartTiffStructure(output);
  const uint32_t makerNote = PlaceMakerNote(output, items);
  std::vector<uint32_t> offsets, counts;
  std::vector<uint8_t> strip;
  for (uint32_t first = 0; first < height; first += rowsPerStrip) {
    const uint32_t rows = std::min(rowsPerStrip, height - first);
    strip.resize(rowBytes * rows);
    for (uint32_t r = 0; r < rows; ++r) {
      const uint8_t* from = pixels.GetScanLine(pixels.Left(), pixels.Top() + static_cast<int32_t>(first + r));
      uint8_t* to = strip.data() + rowBytes * r;
      for (uint32_t x = 0; x < width; ++x, from += 3, to += 3) {
        to[0] = from[2];
        to[1] = from[1];
        to[2] = from[0];
      }
      // Horizontal differencing: each sample minus the same sample of the pixel before.
      uint8_t* row = strip.data() + rowBytes * r;
      for (size_t i = rowBytes - 1; i >= 3; --i) row[i] = static_cast<uint8_t>(row[i] - row[i - 3]);
    }
    uLongf packed = compressBound(static_cast<uLong>(strip.size()));
    const size_t at = output.size();
    if (at + packed > UINT32_MAX) return false;
    output.resize(at + packed);
    if (compress2(output.data() + at, &packed, strip.data(), static_cast<uLong>(strip.size()), 6) != Z_OK) return false;
    output.resize(at + packed);
    offsets.push_back(static_cast<uint32_t>(at));
    counts.push_back(static_cast<uint32_t>(packed));
  }

  const uint16_t bits[] = {8, 8, 8};
  const uint16_t one[] = {1}, two[] = {2}, three[] = {3}, deflate[] = {8};
  std::vector<TTiffEntry> ifd0 = {
      MakeTiffLong(256, std::span(&width, 1)),       MakeTiffLong(257, std::span(&height, 1)),
      MakeTiffShort(258, bits),                      MakeTiffShort(259, deflate),
      MakeTiffShort(262, two),                       MakeTiffLong(273, offsets),
      MakeTiffShort(277, three),                     MakeTiffLong(278, std::span(&rowsPerStrip, 1)),
      MakeTiffLong(279, counts),                     MakeTiffShort(284, one),
      MakeTiffShort(317, two)};
  const uint32_t xDpi = DotsPerInchTo(metadata.HorizontalResolution, 1);
  const uint32_t yDpi = DotsPerInchTo(metadata.VerticalResolution, 1);
  if (xDpi != 0 && yDpi != 0) {
    ifd0.push_back(MakeTiffRational(282, xDpi, 1));
    ifd0.push_back(MakeTiffRational(283, yDpi, 1));
    ifd0.push_back(MakeTiffShort(296, two));
  }
  SetFirstTiffDirectory(output, WritePropertyDirectories(output, items, std::move(ifd0), makerNote));
  return output.size() <= UINT32_MAX;
}

}  // namespace quill

// TIFF: read through libtiff's RGBA reader (first directory, strips or tiles, 8 or 16
// bits); written by our own TIFF structure writer as 8-bit RGB strips with Deflate and
// horizontal differencing, so that the EXIF and GPS directories go out byte for byte
// (libtiff would turn rationals into floating point and refuse tags it does not know).
//
// Orientation: the RGBA reader can flip rows and columns but not swap them. Pictures
// stored mirrored or upside down (orientations 2-4) are turned top-left and their
// Orientation item says 1, so a save does not turn them again; those that need a
// quarter turn (5-8) are decoded as stored and keep their Orientation, as JPEGs do.

#include <tiffio.h>
#include <zlib.h>

#include <cstdarg>
#include <cstring>
#include <memory>

#include "ImageCodecs.h"
#include "ImageCodecsPrivate.h"

namespace quill {

namespace {

// Errors and warnings are recorded per handle and never printed.
int TiffMessage(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TTiffSource {
  std::span<const uint8_t> Data;
  toff_t Position = 0;
};

tmsize_t TiffRead(thandle_t handle, void* to, tmsize_t size) {
  auto* source = static_cast<TTiffSource*>(handle);
  if (size < 0 || source->Position > source->Data.size()) return -1;
  const size_t count = std::min<size_t>(static_cast<size_t>(size), source->Data.size() - source->Position);
  // Empty data has no address to copy from (memcpy must not see a null pointer).
  if (count != 0) std::memcpy(to, source->Data.data() + source->Position, count);
  source->Position += count;
  return static_cast<tmsize_t>(count);
}

tmsize_t TiffWrite(thandle_t, void*, tmsize_t) { return -1; }

toff_t TiffSeek(thandle_t handle, toff_t offset, int whence) {
  auto* source = static_cast<TTiffSource*>(handle);
  toff_t base = 0;
  if (whence == SEEK_CUR) base = source->Position;
  if (whence == SEEK_END) base = source->Data.size();
  const toff_t position = base + offset;
  if (position < base) return static_cast<toff_t>(-1);
  source->Position = position;
  return position;
}

int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t handle) { return static_cast<TTiffSource*>(handle)->Data.size(); }

// The data is in memory already: "mapping" it hands libtiff the bytes themselves.
// (libtiff 4.5 also rejects uncompressed tiles read through its own buffers.)
int TiffMap(thandle_t handle, void** base, toff_t* size) {
  auto* source = static_cast<TTiffSource*>(handle);
  *base = const_cast<uint8_t*>(source->Data.data());
  *size = source->Data.size();
  return 1;
}

void TiffUnmap(thandle_t, void*, toff_t) {}

struct TTiffHandle {
  TIFF* Tiff = nullptr;
  ~TTiffHandle() {
    if (Tiff != nullptr) TIFFClose(Tiff);
  }
};

bool OpenTiff(TTiffSource& source, TTiffHandle& handle) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (options == nullptr) return false;
  TIFFOpenOptionsSetErrorHandlerExtR(options, TiffMessage, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options, TiffMessage, nullptr);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(kMaxImagePixels) * 4);
  handle.Tiff = TIFFClientOpenExt("image", "r", &source, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize,
                                  TiffMap, TiffUnmap, options);
  TIFFOpenOptionsFree(options);
  return handle.Tiff != nullptr;
}

}  // namespace

bool DecodeTiff(std::span<const uint8_t> data, TDecodeRequest& request) {
  TTiffSource source{data};
  TTiffHandle handle;
  if (!OpenTiff(source, handle)) return false;
  uint32_t width = 0, height = 0;
  if (TIFFGetField(handle.Tiff, TIFFTAG_IMAGEWIDTH, &width) != 1 ||
      TIFFGetField(handle.Tiff, TIFFTAG_IMAGELENGTH, &height) != 1 || !AcceptImageSize(width, height, request)) {
    return false;
  }
  request.Width = static_cast<int32_t>(width);
  request.Height = static_cast<int32_t>(height);
  uint16_t orientation = ORIENTATION_TOPLEFT;
  TIFFGetFieldDefaulted(handle.Tiff, TIFFTAG_ORIENTATION, &orientation);
  const bool turnedUpright = orientation <= ORIENTATION_BOTLEFT;
  if (request.Metadata != nullptr) {
    TImagePropertyList& items = request.Metadata->Items;
    ReadExifProperties(data, false, items);
    if (turnedUpright) SetTopLeftOrientation(items);
    KeepRgbIccProfile(items);
    PropertyResolution(items, request.Metadata->HorizontalResolution, request.Metadata->VerticalResolution);
  }
  if (request.Image == nullptr) return true;
  char message[1024];
  if (TIFFRGBAImageOK(handle.Tiff, message) != 1) return false;
  std::unique_ptr<uint32_t[]> raster(new (std::nothrow) uint32_t[size_t{width} * height]);
  if (raster == nullptr) return false;
  // Asking for the file's own orientation makes the reader flip nothing.
  const int wanted = turnedUpright ? ORIENTATION_TOPLEFT : orientation;
  if (TIFFReadRGBAImageOriented(handle.Tiff, width, height, raster.get(), wanted, 1) != 1) return false;
  TZelLTBitmap& image = *request.Image;
  if (!image.SetSize(request.Width, request.Height, kPixelFormat24)) return false;
  const uint32_t* from = raster.get();
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* to = image.GetPixels().GetScanLine(0, static_cast<int32_t>(y));
    for (uint32_t x = 0; x < width; ++x, ++from, to += 3) {
      to[0] = static_cast<uint8_t>(TIFFGetB(*from));
      to[1] = static_cast<uint8_t>(TIFFGetG(*from));
      to[2] = static_cast<uint8_t>(TIFFGetR(*from));
    }
  }
  return true;
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

// The exchange file that carries one image from the plug-in to the program and back.
//
// Layout (integers little-endian): the magic "PSPF"; the header TPhotoshopDataInfo,
// eight int32; the pixel rows from offset 36, Height rows of RowBytes bytes, pixel
// (x, y) at 36 + y * RowBytes + x * Planes holding red, green, blue and then any further
// planes; optionally an EXIF block: "EXIF", an int32 N and N bytes of EXIF data (a TIFF
// header and its directories).
//
// The reader trusts nothing in the file: every size is checked in 64-bit arithmetic
// against the file's length before anything is read or allocated.

#ifndef QUILL_EXCHANGE_EXCHANGEFILE_H_
#define QUILL_EXCHANGE_EXCHANGEFILE_H_

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "FileMapping.h"
#include "ImageLimits.h"

struct TPhotoshopDataInfo {
  int32_t HeaderSize;  // 32
  int32_t Mode;        // the host's image mode; 3 = RGB
  int32_t Left;
  int32_t Top;
  int32_t Width;
  int32_t Height;
  int32_t RowBytes;  // bytes from one row to the next
  int32_t Planes;    // bytes from one pixel to the next
};

namespace quill {

constexpr char kExchangeMagic[4] = {'P', 'S', 'P', 'F'};
constexpr int32_t kExchangeHeaderSize = 32;
constexpr int64_t kExchangePixelOffset = 4 + kExchangeHeaderSize;
constexpr int32_t kExchangeModeRGB = 3;
// An EXIF block is looked for only when more than this many bytes follow the rows.
constexpr int64_t kExchangeMinExifTail = 496;

// Whether FileName is a regular file that begins as an exchange file for the program:
// "PSPF" and a header whose Mode is 3, whatever its other fields say. Reads those 12
// bytes only. Such a file was written for the program by the plug-in: when the reader
// refuses it, no other image reader may take it, and the host gets no result.
bool IsExchangeFile(const std::filesystem::path& fileName);

// Reads an exchange file: Open checks it, then the pixels and the EXIF data are read
// from the mapped file until the reader is destroyed.
class TExchangeFileReader {
 public:
  // Opens an existing file read-only (a missing name stays missing) and accepts it only
  // when it is an exchange file (IsExchangeFile), its size passes ImageSizeAllowed,
  // Planes is at least 3, Width * Planes fits in RowBytes and the file holds every
  // row; the header alone decides, no row is touched. An EXIF block is taken only when
  // more than 496 bytes follow the rows, they begin "EXIF" and its N bytes lie inside
  // the file; any other tail is ignored.
  bool Open(const std::filesystem::path& fileName);

  const TPhotoshopDataInfo& Info() const { return FInfo; }

  // Copies the rows into 24-bit memory (B, G, R per pixel) of Info().Width x
  // Info().Height pixels whose rows are Stride bytes apart. Only after a successful Open.
  void CopyPixels(uint8_t* bits, int64_t stride) const;

  // The EXIF block's data (a TIFF header and its directories); empty when there is none.
  std::span<const uint8_t> ExifData() const { return FExif; }

 private:
  std::unique_ptr<TFileMapping> FMapping;
  const uint8_t* FView = nullptr;
  TPhotoshopDataInfo FInfo{};
  std::span<const uint8_t> FExif;
};

// Writes Width x Height 24-bit pixels (B, G, R, rows Stride bytes apart) into FileName,
// creating it when missing: the file gets exactly 36 + Stride * Height bytes, "PSPF",
// the header {32, 3, 0, 0, Width, Height, Stride, 3} and the rows as red, green, blue.
// The bytes of a row past 3 * Width keep what the file held (zero where it grew); an
// EXIF block the file held is cut off. The file is written in place. False, writing
// nothing, for a size that ImageSizeAllowed refuses, a Stride below 3 * Width or not a
// multiple of 4, or when the file cannot be opened, sized or mapped.
bool WriteExchangeFile(const std::filesystem::path& fileName, const uint8_t* bits,
                       int64_t stride, int32_t width, int32_t height);

}  // namespace quill

#endif  // QUILL_EXCHANGE_EXCHANGEFILE_H_

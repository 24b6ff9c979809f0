// The TIFF structure shared by TIFF files and EXIF blocks: an 8-byte header naming the
// byte order and the first directory, and directories of 12-byte entries whose values
// sit inline (up to 4 bytes) or at an offset.
//
// The reader checks every count and offset against the data in 64-bit arithmetic and
// skips an entry it cannot read whole; it never reads outside the data, and copies no
// more value bytes from one directory than the data holds. Values come
// out in little-endian order whatever the file's order. The writer writes little-endian.

#ifndef QUILL_PLATFORM_TIFFSTRUCTURE_H_
#define QUILL_PLATFORM_TIFFSTRUCTURE_H_

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "ImageSource.h"

namespace quill {

// Field types: 1 BYTE, 2 ASCII, 3 SHORT, 4 LONG, 5 RATIONAL, 6 SBYTE, 7 UNDEFINED,
// 8 SSHORT, 9 SLONG, 10 SRATIONAL, 11 FLOAT, 12 DOUBLE, 13 IFD (a LONG offset).
constexpr uint16_t kTiffByte = 1;
constexpr uint16_t kTiffAscii = 2;
constexpr uint16_t kTiffShort = 3;
constexpr uint16_t kTiffLong = 4;
constexpr uint16_t kTiffRational = 5;
constexpr uint16_t kTiffUndefined = 7;

// Bytes of one value of Type; 0 for a type this code does not know.
uint32_t TiffTypeSize(uint16_t type);

struct TTiffEntry {
  uint16_t Tag = 0;
  uint16_t Type = 0;
  std::vector<uint8_t> Value;  // little-endian, a whole number of values of Type
  // Where a value of more than 4 bytes lies, from the start of the structure. The
  // reader sets it; the writer, given a non-zero Offset, points the entry there and
  // writes no value: the caller has put the value at Offset already.
  uint32_t Offset = 0;

  uint32_t Count() const;
  // The first value as an unsigned number (BYTE, SHORT, LONG, IFD); 0 when there is none.
  uint32_t FirstUnsigned() const;
};

TTiffEntry MakeTiffShort(uint16_t tag, std::span<const uint16_t> values);
TTiffEntry MakeTiffLong(uint16_t tag, std::span<const uint32_t> values);
TTiffEntry MakeTiffRational(uint16_t tag, uint32_t numerator, uint32_t denominator);

// Reads a TIFF structure in memory or in a source (a TIFF file read where its
// directories are), never more of it than the directories and their values.
class TTiffReader {
 public:
  // Checks the header ("II*\0" or "MM\0*"). Data (or Source) must outlive the reader.
  bool Open(std::span<const uint8_t> data);
  bool Open(TImageSource& source);
  uint32_t FirstDirectory() const { return FFirst; }
  // Reads the directory at Offset: its entries in file order and the offset of the next
  // directory (0 when none). False when the directory itself does not lie in the data.
  // An entry whose value would bring the directory's values past the data's size is
  // skipped (values of a sound structure do not overlap).
  bool ReadDirectory(uint32_t offset, std::vector<TTiffEntry>& entries, uint32_t& next) const;
  // The bytes at Offset .. Offset + Size into Bytes; false, Bytes empty, when they do
  // not lie in the data.
  bool Bytes(uint64_t offset, uint64_t size, std::vector<uint8_t>& bytes) const;

 private:
  uint16_t Get16(uint64_t offset) const;
  uint32_t Get32(uint64_t offset) const;

  std::unique_ptr<TImageSource> FMemory;  // over Open's Data
  TImageSource* FSource = nullptr;
  bool FBigEndian = false;
  uint32_t FFirst = 0;
};

// Appends a little-endian TIFF header whose first-directory offset is 0 for now.
void StartTiffStructure(std::vector<uint8_t>& out);
// Points the header at the directory at Offset.
void SetFirstTiffDirectory(std::vector<uint8_t>& out, uint32_t offset);
// Appends a directory of Entries, sorted by tag, with Next as the next directory's
// offset, then the values that do not fit inline; returns the directory's offset. The
// structure must stay below 4 GiB, which every caller's size check ensures.
uint32_t WriteTiffDirectory(std::vector<uint8_t>& out, std::vector<TTiffEntry> entries,
                            uint32_t next = 0);

// Sets, in place and in the structure's own byte order, the image size an EXIF block
// records: ImageWidth and ImageLength (256, 257) of the first directory and
// PixelXDimension and PixelYDimension (0xA002, 0xA003) of its EXIF directory, each
// where it is present as one SHORT or LONG that can hold the new value. No other byte
// changes. Returns whether any of them was set.
bool SetTiffImageSize(std::span<uint8_t> data, uint32_t width, uint32_t height);

// Sets, in place as SetTiffImageSize does, the Orientation (274) of the first
// directory to Orientation where it is present as one SHORT or LONG. Returns whether
// it was set.
bool SetTiffOrientation(std::span<uint8_t> data, uint16_t orientation);

}  // namespace quill

#endif  // QUILL_PLATFORM_TIFFSTRUCTURE_H_

// Image property items: the EXIF data of an image as a flat list of items
// {id, type, value bytes}, read from and written into the TIFF structure of an EXIF
// block or a TIFF file.
//
// An item's id is the tag number in its low 16 bits and its directory in the high
// bits: IFD0 items carry the plain tag (306 the date, 271 the make, 272 the model),
// EXIF, GPS and interoperability items add kPropertyExif, kPropertyGps and
// kPropertyInterop, since tags of those directories reuse each other's numbers. The
// tags of IFD1, the embedded thumbnail, become the ids 0x5012-0x503B (the thumbnail's
// own bytes 0x501B), so removing the thumbnail is removing that id range.
//
// Values hold the raw bytes in little-endian order, a whole number of values of
// Type (the TIFF field types 1-12). Nothing is interpreted or "repaired": unknown tags
// and maker notes pass through byte for byte. Directory pointers and strip or tile
// offsets are structure, not data: they are dropped when read and rebuilt when written.
//
// Maker notes often point at their own data by offsets counted from the TIFF header,
// so they only read right at the offset where the camera put them. The reader records
// that offset in an item of its own (kPropertyMakerNoteOffset), and the writer puts the
// note back there whenever the structure allows it (PlaceMakerNote).
//
// The ICC colour profile is the item 0x8773 (tag 34675 in IFD0 of a TIFF file). JPEG
// and PNG keep it in a segment of their own, never in the EXIF block.

#ifndef QUILL_PLATFORM_IMAGEPROPERTIES_H_
#define QUILL_PLATFORM_IMAGEPROPERTIES_H_

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "TiffStructure.h"

namespace quill {

constexpr uint32_t kPropertyExif = 0x10000;
constexpr uint32_t kPropertyGps = 0x20000;
constexpr uint32_t kPropertyInterop = 0x30000;

constexpr uint32_t kPropertyDateTime = 306;
constexpr uint32_t kPropertyMake = 271;
constexpr uint32_t kPropertyModel = 272;
constexpr uint32_t kPropertyOrientation = 274;
constexpr uint32_t kPropertyXResolution = 282;
constexpr uint32_t kPropertyYResolution = 283;
constexpr uint32_t kPropertyResolutionUnit = 296;
constexpr uint32_t kPropertyThumbnailData = 0x501B;
constexpr uint32_t kPropertyIccProfile = 0x8773;
constexpr uint32_t kPropertyMakerNote = kPropertyExif | 0x927C;
// A LONG: the maker note's offset from the TIFF header in the structure it was read
// from. Ids from 0x40000 up are this program's own bookkeeping, never written to a file.
constexpr uint32_t kPropertyMakerNoteOffset = 0x4927C;

struct TImagePropertyItem {
  uint32_t Id = 0;
  uint16_t Type = 0;
  std::vector<uint8_t> Value;

  int32_t Length() const { return static_cast<int32_t>(Value.size()); }
  friend bool operator==(const TImagePropertyItem&, const TImagePropertyItem&) = default;
};

using TImagePropertyList = std::vector<TImagePropertyItem>;

// What a decoder reports beside the pixels: the property items in file order and the
// resolution in dots per inch (0 when the file gives none).
struct TImageMetadata {
  TImagePropertyList Items;
  double HorizontalResolution = 0;
  double VerticalResolution = 0;
};

// Adds Item, replacing in place an item of the same id.
void SetProperty(TImagePropertyList& items, TImagePropertyItem item);

// The item of Id, or null.
const TImagePropertyItem* FindProperty(const TImagePropertyList& items, uint32_t id);

// Makes the Orientation item of Items, when there is one, say top-left (1, a SHORT):
// what the pixels show once they were turned upright. Without one nothing is added;
// none means top-left.
void SetTopLeftOrientation(TImagePropertyList& items);

}  // namespace quill

// Deletes the thumbnail's items: ids 0x5012-0x5019 and 0x501B-0x503B (0x501A stays).
void RemoveThumbnailProperties(quill::TImagePropertyList& items);

// The value of item Id as text: its bytes up to the first zero byte, never past the
// item's length. Empty when there is no such item.
std::string ReadPropertyText(const quill::TImagePropertyList& items, uint32_t id);

namespace quill {

// Adds the items of the TIFF structure Data (an EXIF block's body or a whole TIFF file):
// IFD0, its EXIF and GPS directories and the EXIF directory's interoperability
// directory, and with Thumbnail also IFD1 (an EXIF block's thumbnail; in a TIFF file
// IFD1 is the next page). A maker note of more than 4 bytes adds
// kPropertyMakerNoteOffset. False when Data has no valid header or first directory.
bool ReadExifProperties(std::span<const uint8_t> data, bool thumbnail, TImagePropertyList& items);
// The same, reading the structure from Source (a TIFF file read where its directories are).
bool ReadExifProperties(TImageSource& source, bool thumbnail, TImagePropertyList& items);

// Appends the maker note of Items to Out (a TIFF structure being written) ahead of the
// directories: at its kPropertyMakerNoteOffset, the gap padded with zeros, when Out
// ends at or before that offset and it lies below 64 KiB (an EXIF segment's limit, so
// every note from a camera's JPEG qualifies); else at Out's end. Returns the note's
// offset, 0 when Items have no maker note that can be written.
uint32_t PlaceMakerNote(std::vector<uint8_t>& out, const TImagePropertyList& items);

// Appends to Out, which begins with a TIFF header, the EXIF, GPS and interoperability
// directories of Items and then IFD0, made of Ifd0 (the caller's own entries, which win
// over items of the same tag) and the IFD0 items, with pointers to the others. Thumbnail
// items are not written: a thumbnail of pixels that may have changed would be stale.
// MakerNoteOffset is PlaceMakerNote's result for the same Out and Items. A directory
// holds at most 4096 entries (libtiff reads no more); items beyond are left out.
// Returns IFD0's offset.
uint32_t WritePropertyDirectories(std::vector<uint8_t>& out, const TImagePropertyList& items,
                                  std::vector<TTiffEntry> ifd0, uint32_t makerNoteOffset);

// A complete EXIF body (TIFF header and directories) of Items, the maker note at its
// recorded offset where it fits and without the ICC profile; empty when no item would
// be written.
std::vector<uint8_t> BuildExifData(const TImagePropertyList& items);

// The resolution in dots per inch from the items XResolution, YResolution and
// ResolutionUnit (2 inch, the default; 3 centimetre). False when they give none.
bool PropertyResolution(const TImagePropertyList& items, double& horizontal, double& vertical);

}  // namespace quill

#endif  // QUILL_PLATFORM_IMAGEPROPERTIES_H_

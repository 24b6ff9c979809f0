#include "ImageProperties.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace quill {

namespace {

constexpr uint16_t kExifPointer = 0x8769;
constexpr uint16_t kGpsPointer = 0x8825;
constexpr uint16_t kInteropPointer = 0xA005;
constexpr uint16_t kJpegInterchangeFormat = 0x0201;
constexpr uint16_t kJpegInterchangeFormatLength = 0x0202;
constexpr uint32_t kFirstThumbnailId = 0x5012;
constexpr uint32_t kLastThumbnailId = 0x503B;
constexpr uint32_t kKeptThumbnailRangeId = 0x501A;
// The most entries a written directory holds: libtiff refuses a directory of more (so a
// TIFF we wrote would not open again), and no camera writes one.
constexpr size_t kMaxDirectoryEntries = 4096;
constexpr uint16_t kMakerNoteTag = 0x927C;
constexpr uint32_t kMaxMakerNoteOffset = 1u << 16;

// Tags of IFD0 that describe how a TIFF file stores its pixels, with the directory
// pointers: the encoder writes its own, and copied ones would point at nothing.
constexpr uint16_t kStructureTags[] = {
    0x00FE, 0x00FF, 0x0100, 0x0101, 0x0102, 0x0103, 0x0106, 0x0107, 0x0108, 0x0109,
    0x010A, 0x0111, 0x0115, 0x0116, 0x0117, 0x0118, 0x0119, 0x011C, 0x0122, 0x0123,
    0x0124, 0x0125, 0x013D, 0x0140, 0x0142, 0x0143, 0x0144, 0x0145, 0x014A, 0x0152,
    0x0153, 0x0154, 0x0155, 0x015B, 0x0200, 0x0201, 0x0202, 0x0203, 0x0205, 0x0206,
    0x0207, 0x0208, 0x0209, 0x0212, kExifPointer, kGpsPointer};

// IFD1 tags and the ids their items get.
struct TThumbnailTag {
  uint16_t Tag;
  uint16_t Id;
};
constexpr TThumbnailTag kThumbnailTags[] = {
    {0x0100, 0x5020}, {0x0101, 0x5021}, {0x0102, 0x5022}, {0x0103, 0x5023}, {0x0106, 0x5024},
    {0x010E, 0x5025}, {0x010F, 0x5026}, {0x0110, 0x5027}, {0x0111, 0x5028}, {0x0112, 0x5029},
    {0x0115, 0x502A}, {0x0116, 0x502B}, {0x0117, 0x502C}, {0x011A, 0x502D}, {0x011B, 0x502E},
    {0x011C, 0x502F}, {0x0128, 0x5030}, {0x012D, 0x5031}, {0x0131, 0x5032}, {0x0132, 0x5033},
    {0x013B, 0x5034}, {0x013E, 0x5035}, {0x013F, 0x5036}, {0x0211, 0x5037}, {0x0212, 0x5038},
    {0x0213, 0x5039}, {0x0214, 0x503A}, {0x8298, 0x503B}};

bool IsStructureTag(uint16_t tag) {
  return std::find(std::begin(kStructureTags), std::end(kStructureTags), tag) != std::end(kStructureTags);
}

bool IsThumbnailId(uint32_t id) {
  return id >= kFirstThumbnailId && id <= kLastThumbnailId && id != kKeptThumbnailRangeId;
}

void AddEntries(const std::vector<TTiffEntry>& entries, uint32_t directory, TImagePropertyList& items) {
  for (const TTiffEntry& entry : entries) {
    if (directory == 0 && IsStructureTag(entry.Tag)) continue;
    if (directory == kPropertyExif && entry.Tag == kInteropPointer) continue;
    SetProperty(items, {directory | entry.Tag, entry.Type, entry.Value});
    if (directory == kPropertyExif && entry.Tag == kMakerNoteTag && entry.Offset != 0) {
      SetProperty(items, {kPropertyMakerNoteOffset, kTiffLong, MakeTiffLong(0, std::span(&entry.Offset, 1)).Value});
    }
  }
}

// Reads the directory at Offset into Entries; an unreadable directory gives none.
std::vector<TTiffEntry> ReadDirectoryAt(const TTiffReader& reader, uint32_t offset, uint32_t* next = nullptr) {
  std::vector<TTiffEntry> entries;
  uint32_t following = 0;
  if (offset != 0) reader.ReadDirectory(offset, entries, following);
  if (next != nullptr) *next = following;
  return entries;
}

uint32_t PointerIn(const std::vector<TTiffEntry>& entries, uint16_t tag) {
  for (const TTiffEntry& entry : entries) {
    if (entry.Tag == tag && (entry.Type == kTiffLong || entry.Type == 13)) return entry.FirstUnsigned();
  }
  return 0;
}

void AddThumbnail(const TTiffReader& reader, const std::vector<TTiffEntry>& entries, TImagePropertyList& items) {
  uint32_t dataOffset = 0, dataLength = 0;
  for (const TTiffEntry& entry : entries) {
    if (entry.Tag == kJpegInterchangeFormat) dataOffset = entry.FirstUnsigned();
    if (entry.Tag == kJpegInterchangeFormatLength) dataLength = entry.FirstUnsigned();
    for (const TThumbnailTag& map : kThumbnailTags) {
      if (map.Tag == entry.Tag) SetProperty(items, {map.Id, entry.Type, entry.Value});
    }
  }
  std::vector<uint8_t> data;
  if (dataLength != 0 && reader.Bytes(dataOffset, dataLength, data)) {
    SetProperty(items, {kPropertyThumbnailData, kTiffByte, std::move(data)});
  }
}

double RationalValue(const TImagePropertyItem* item) {
  if (item == nullptr || item->Type != kTiffRational || item->Value.size() < 8) return 0;
  uint32_t parts[2];
  for (int i = 0; i < 2; ++i) {
    const uint8_t* p = item->Value.data() + 4 * i;
    parts[i] = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
  }
  return parts[1] == 0 ? 0 : static_cast<double>(parts[0]) / parts[1];
}

// Whether Item can be written as an entry: a known type and a whole number of values.
bool Writable(const TImagePropertyItem& item) {
  const uint32_t size = TiffTypeSize(item.Type);
  return size != 0 && item.Type != 13 && item.Value.size() % size == 0 && item.Value.size() <= UINT32_MAX / 2;
}

// The entries of the items in Directory that can be written; at most Limit of them.
std::vector<TTiffEntry> EntriesOf(const TImagePropertyList& items, uint32_t directory,
                                  size_t limit = kMaxDirectoryEntries) {
  std::vector<TTiffEntry> entries;
  for (const TImagePropertyItem& item : items) {
    if ((item.Id & 0xFFFF0000u) != directory || entries.size() == limit) continue;
    const auto tag = static_cast<uint16_t>(item.Id);
    if (!Writable(item)) continue;
    if (directory == 0 && (IsStructureTag(tag) || IsThumbnailId(item.Id))) continue;
    if (directory == kPropertyExif && tag == kInteropPointer) continue;
    entries.push_back({tag, item.Type, item.Value});
  }
  return entries;
}

}  // namespace

void SetProperty(TImagePropertyList& items, TImagePropertyItem item) {
  for (TImagePropertyItem& existing : items) {
    if (existing.Id == item.Id) {
      existing = std::move(item);
      return;
    }
  }
  items.push_back(std::move(item));
}

const TImagePropertyItem* FindProperty(const TImagePropertyList& items, uint32_t id) {
  for (const TImagePropertyItem& item : items) {
    if (item.Id == id) return &item;
  }
  return nullptr;
}

void SetTopLeftOrientation(TImagePropertyList& items) {
  if (FindProperty(items, kPropertyOrientation) == nullptr) return;
  const uint16_t topLeft = 1;
  TTiffEntry entry = MakeTiffShort(0, std::span(&topLeft, 1));
  SetProperty(items, {kPropertyOrientation, entry.Type, std::move(entry.Value)});
}

}  // namespace quill

void RemoveThumbnailProperties(quill::TImagePropertyList& items) {
  std::erase_if(items, [](const quill::TImagePropertyItem& item) { return quill::IsThumbnailId(item.Id); });
}

std::string ReadPropertyText(const quill::TImagePropertyList& items, uint32_t id) {
  const quill::TImagePropertyItem* item = quill::FindProperty(items, id);
  if (item == nullptr) return {};
  const auto end = std::find(item->Value.begin(), item->Value.end(), uint8_t{0});
  return std::string(item->Value.begin(), end);
}

namespace quill {

bool ReadExifProperties(std::span<const uint8_t> data, bool thumbnail, TImagePropertyList& items) {
  TImageSource source(data);
  return ReadExifProperties(source, thumbnail, items);
}

bool ReadExifProperties(TImageSource& source, bool thumbnail, TImagePropertyList& items) {
  TTiffReader reader;
  std::vector<TTiffEntry> ifd0;
  uint32_t ifd1 = 0;
  if (!reader.Open(source) || !reader.ReadDirectory(reader.FirstDirectory(), ifd0, ifd1)) return false;
  AddEntries(ifd0, 0, items);
  const std::vector<TTiffEntry> exif = ReadDirectoryAt(reader, PointerIn(ifd0, kExifPointer));
  AddEntries(exif, kPropertyExif, items);
  AddEntries(ReadDirectoryAt(reader, PointerIn(exif, kInteropPointer)), kPropertyInterop, items);
  AddEntries(ReadDirectoryAt(reader, PointerIn(ifd0, kGpsPointer)), kPropertyGps, items);
  if (thumbnail) AddThumbnail(reader, ReadDirectoryAt(reader, ifd1), items);
  return true;
}

uint32_t PlaceMakerNote(std::vector<uint8_t>& out, const TImagePropertyList& items) {
  const TImagePropertyItem* note = FindProperty(items, kPropertyMakerNote);
  if (note == nullptr || !Writable(*note) || note->Value.size() <= 4) return 0;
  const TImagePropertyItem* recorded = FindProperty(items, kPropertyMakerNoteOffset);
  uint32_t at = recorded != nullptr && recorded->Type == kTiffLong && recorded->Value.size() == 4
                    ? TTiffEntry{0, kTiffLong, recorded->Value}.FirstUnsigned()
                    : 0;
  // Anywhere else, the note goes first, so that writing what was read back keeps it there.
  if (at < out.size() || at >= kMaxMakerNoteOffset) at = static_cast<uint32_t>(out.size() + out.size() % 2);
  out.resize(at, 0);
  out.insert(out.end(), note->Value.begin(), note->Value.end());
  return at;
}

uint32_t WritePropertyDirectories(std::vector<uint8_t>& out, const TImagePropertyList& items,
                                  std::vector<TTiffEntry> ifd0, uint32_t makerNoteOffset) {
  // The EXIF directory keeps room for the interoperability pointer.
  std::vector<TTiffEntry> exif = EntriesOf(items, kPropertyExif, kMaxDirectoryEntries - 1);
  for (TTiffEntry& entry : exif) {
    if (entry.Tag == kMakerNoteTag) entry.Offset = makerNoteOffset;
  }
  const std::vector<TTiffEntry> interop = EntriesOf(items, kPropertyInterop);
  const std::vector<TTiffEntry> gps = EntriesOf(items, kPropertyGps);
  if (!interop.empty()) {
    const uint32_t offset = WriteTiffDirectory(out, interop);
    exif.push_back(MakeTiffLong(kInteropPointer, std::span(&offset, 1)));
  }
  if (!exif.empty()) {
    const uint32_t offset = WriteTiffDirectory(out, exif);
    ifd0.push_back(MakeTiffLong(kExifPointer, std::span(&offset, 1)));
  }
  if (!gps.empty()) {
    const uint32_t offset = WriteTiffDirectory(out, gps);
    ifd0.push_back(MakeTiffLong(kGpsPointer, std::span(&offset, 1)));
  }
  for (TTiffEntry& entry : EntriesOf(items, 0)) {
    const bool taken = std::any_of(ifd0.begin(), ifd0.end(), [&](const TTiffEntry& e) { return e.Tag == entry.Tag; });
    if (!taken && ifd0.size() < kMaxDirectoryEntries) ifd0.push_back(std::move(entry));
  }
  return WriteTiffDirectory(out, std::move(ifd0));
}

std::vector<uint8_t> BuildExifData(const TImagePropertyList& items) {
  TImagePropertyList written = items;
  std::erase_if(written, [](const TImagePropertyItem& item) { return item.Id == kPropertyIccProfile; });
  std::vector<uint8_t> out;
  StartTiffStructure(out);
  const uint32_t makerNote = PlaceMakerNote(out, written);
  SetFirstTiffDirectory(out, WritePropertyDirectories(out, written, {}, makerNote));
  // A lone empty IFD0 carries nothing.
  if (out.size() <= 8 + 2 + 4 + 1) return {};
  return out;
}

bool PropertyResolution(const TImagePropertyList& items, double& horizontal, double& vertical) {
  const double x = RationalValue(FindProperty(items, kPropertyXResolution));
  const double y = RationalValue(FindProperty(items, kPropertyYResolution));
  if (x <= 0 || y <= 0) return false;
  const TImagePropertyItem* unit = FindProperty(items, kPropertyResolutionUnit);
  const uint32_t unitValue = unit == nullptr ? 2 : TTiffEntry{0, unit->Type, unit->Value}.FirstUnsigned();
  if (unitValue != 2 && unitValue != 3) return false;
  const double scale = unitValue == 3 ? 2.54 : 1.0;
  horizontal = x * scale;
  vertical = y * scale;
  return true;
}

}  // namespace quill

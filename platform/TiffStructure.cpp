#include "TiffStructure.h"

#include <algorithm>
#include <cstring>

namespace quill {

namespace {

void Put16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void Set32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The size of the pieces a value of Type is swapped in: 1, 2, 4 or 8 bytes.
uint32_t SwapUnit(uint16_t type) {
  switch (type) {
    case 3: case 8: return 2;
    case 4: case 5: case 9: case 10: case 11: case 13: return 4;
    case 12: return 8;
    default: return 1;
  }
}

}  // namespace

uint32_t TiffTypeSize(uint16_t type) {
  static constexpr uint32_t kSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
  return type < std::size(kSizes) ? kSizes[type] : 0;
}

uint32_t TTiffEntry::Count() const {
  const uint32_t size = TiffTypeSize(Type);
  return size == 0 ? 0 : static_cast<uint32_t>(Value.size() / size);
}

uint32_t TTiffEntry::FirstUnsigned() const {
  const uint32_t size = TiffTypeSize(Type);
  if (Value.size() < size) return 0;
  switch (Type) {
    case 1: return Value[0];
    case 3: return uint32_t{Value[0]} | uint32_t{Value[1]} << 8;
    case 4: case 13:
      return uint32_t{Value[0]} | uint32_t{Value[1]} << 8 | uint32_t{Value[2]} << 16 | uint32_t{Value[3]} << 24;
    default: return 0;
  }
}

TTiffEntry MakeTiffShort(uint16_t tag, std::span<const uint16_t> values) {
  TTiffEntry entry{tag, kTiffShort, {}};
  for (uint16_t v : values) Put16(entry.Value, v);
  return entry;
}

TTiffEntry MakeTiffLong(uint16_t tag, std::span<const uint32_t> values) {
  TTiffEntry entry{tag, kTiffLong, {}};
  for (uint32_t v : values) Put32(entry.Value, v);
  return entry;
}

TTiffEntry MakeTiffRational(uint16_t tag, uint32_t numerator, uint32_t denominator) {
  TTiffEntry entry{tag, kTiffRational, {}};
  Put32(entry.Value, numerator);
  Put32(entry.Value, denominator);
  return entry;
}

bool TTiffReader::Open(std::span<const uint8_t> data) {
  FMemory = std::make_unique<TImageSource>(data);
  return Open(*FMemory);
}

bool TTiffReader::Open(TImageSource& source) {
  FSource = &source;
  uint8_t header[2];
  if (source.Size() < 8 || !source.ReadExactly(0, header)) return false;
  if (header[0] == 'I' && header[1] == 'I') {
    FBigEndian = false;
  } else if (header[0] == 'M' && header[1] == 'M') {
    FBigEndian = true;
  } else {
    return false;
  }
  if (Get16(2) != 42) return false;
  FFirst = Get32(4);
  return true;
}

// Offsets are checked against the size before these read; a read cut short by the
// source gives zeros.
uint16_t TTiffReader::Get16(uint64_t offset) const {
  uint8_t p[2] = {};
  FSource->Read(offset, p);
  return FBigEndian ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
}

uint32_t TTiffReader::Get32(uint64_t offset) const {
  uint8_t p[4] = {};
  FSource->Read(offset, p);
  return FBigEndian ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
                    : (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
}

bool TTiffReader::Bytes(uint64_t offset, uint64_t size, std::vector<uint8_t>& bytes) const {
  bytes.clear();
  const uint64_t total = FSource->Size();
  if (offset > total || size > total - offset) return false;
  bytes.resize(static_cast<size_t>(size));
  if (FSource->ReadExactly(offset, bytes)) return true;
  bytes.clear();
  return false;
}

bool TTiffReader::ReadDirectory(uint32_t offset, std::vector<TTiffEntry>& entries,
                                uint32_t& next) const {
  entries.clear();
  next = 0;
  const uint64_t total = FSource->Size();
  if (offset < 8 || uint64_t{offset} + 2 > total) return false;
  const uint32_t count = Get16(offset);
  const uint64_t end = uint64_t{offset} + 2 + 12ull * count;
  if (end + 4 > total) return false;
  // The values of a sound directory do not overlap, so together they fit in the data.
  // Entries that all point at one large block would otherwise copy it once each.
  uint64_t budget = total;
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t at = uint64_t{offset} + 2 + 12ull * i;
    TTiffEntry entry;
    entry.Tag = Get16(at);
    entry.Type = Get16(at + 2);
    const uint32_t size = TiffTypeSize(entry.Type);
    const uint64_t bytes = uint64_t{Get32(at + 4)} * size;
    if (size == 0 || bytes > budget) continue;
    if (bytes > 4) entry.Offset = Get32(at + 8);
    if (!Bytes(bytes <= 4 ? at + 8 : entry.Offset, bytes, entry.Value)) continue;
    budget -= bytes;
    const uint32_t unit = SwapUnit(entry.Type);
    if (FBigEndian && unit > 1) {
      for (size_t v = 0; v < entry.Value.size(); v += unit) std::reverse(entry.Value.begin() + v, entry.Value.begin() + v + unit);
    }
    entries.push_back(std::move(entry));
  }
  next = Get32(end);
  return true;
}

void StartTiffStructure(std::vector<uint8_t>& out) {
  out.insert(out.end(), {'I', 'I', 42, 0, 0, 0, 0, 0});
}

void SetFirstTiffDirectory(std::vector<uint8_t>& out, uint32_t offset) { Set32(out, 4, offset); }

uint32_t WriteTiffDirectory(std::vector<uint8_t>& out, std::vector<TTiffEntry> entries,
                            uint32_t next) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const TTiffEntry& a, const TTiffEntry& b) { return a.Tag < b.Tag; });
  if (out.size() % 2 != 0) out.push_back(0);  // directories and values start on a word
  const auto start = static_cast<uint32_t>(out.size());
  size_t data = start + 2 + 12 * entries.size() + 4;
  Put16(out, static_cast<uint16_t>(entries.size()));
  for (const TTiffEntry& entry : entries) {
    Put16(out, entry.Tag);
    Put16(out, entry.Type);
    Put32(out, entry.Count());
    if (entry.Value.size() <= 4) {
      out.insert(out.end(), entry.Value.begin(), entry.Value.end());
      out.insert(out.end(), 4 - entry.Value.size(), 0);
    } else if (entry.Offset != 0) {
      Put32(out, entry.Offset);
    } else {
      Put32(out, static_cast<uint32_t>(data));
      data += (entry.Value.size() + 1) / 2 * 2;
    }
  }
  Put32(out, next);
  for (const TTiffEntry& entry : entries) {
    if (entry.Value.size() <= 4 || entry.Offset != 0) continue;
    out.insert(out.end(), entry.Value.begin(), entry.Value.end());
    if (entry.Value.size() % 2 != 0) out.push_back(0);
  }
  return start;
}

namespace {

// A value to set in place: the entry Tag gets Value.
struct TTagValue {
  uint16_t Tag;
  uint32_t Value;
};

// Sets, in place and in the structure's own byte order, the entries of Ifd0 in the
// first directory and those of Exif in its EXIF directory, each where it is present as
// one SHORT or LONG that can hold its value. Returns whether any was set.
bool SetTiffValues(std::span<uint8_t> data, std::span<const TTagValue> ifd0, std::span<const TTagValue> exif) {
  if (data.size() < 8 || data[0] != data[1] || (data[0] != 'I' && data[0] != 'M')) return false;
  const bool bigEndian = data[0] == 'M';
  // Reads or writes Size bytes at At in the data's byte order; the caller checks bounds.
  const auto get = [&](uint64_t at, int size) {
    uint32_t value = 0;
    for (int i = 0; i < size; ++i) value |= uint32_t{data[at + (bigEndian ? size - 1 - i : i)]} << (8 * i);
    return value;
  };
  const auto put = [&](uint64_t at, int size, uint32_t value) {
    for (int i = 0; i < size; ++i) data[at + (bigEndian ? size - 1 - i : i)] = static_cast<uint8_t>(value >> (8 * i));
  };
  bool changed = false;
  uint32_t exifOffset = 0;
  // Sets the entries of Values in the directory at Offset and notes the EXIF
  // directory's offset.
  const auto update = [&](uint64_t offset, std::span<const TTagValue> values) {
    if (offset < 8 || offset + 2 > data.size()) return;
    const uint32_t count = get(offset, 2);
    for (uint64_t at = offset + 2; at < offset + 2 + uint64_t{12} * count && at + 12 <= data.size(); at += 12) {
      const uint32_t tag = get(at, 2), type = get(at + 2, 2);
      if (get(at + 4, 4) != 1) continue;
      if (tag == 0x8769 && (type == kTiffLong || type == 13)) exifOffset = get(at + 8, 4);
      const auto wanted = std::find_if(values.begin(), values.end(), [tag](const TTagValue& v) { return v.Tag == tag; });
      if (wanted == values.end() || (type != kTiffShort && type != kTiffLong)) continue;
      if (type == kTiffShort && wanted->Value > 0xFFFF) continue;
      put(at + 8, type == kTiffShort ? 2 : 4, wanted->Value);
      changed = true;
    }
  };
  update(get(4, 4), ifd0);
  if (exifOffset != 0 && !exif.empty()) update(exifOffset, exif);
  return changed;
}

}  // namespace

bool SetTiffImageSize(std::span<uint8_t> data, uint32_t width, uint32_t height) {
  const TTagValue ifd0[] = {{0x0100, width}, {0x0101, height}};
  const TTagValue exif[] = {{0xA002, width}, {0xA003, height}};
  return SetTiffValues(data, ifd0, exif);
}

bool SetTiffOrientation(std::span<uint8_t> data, uint16_t orientation) {
  const TTagValue ifd0[] = {{0x0112, orientation}};
  return SetTiffValues(data, ifd0, {});
}

}  // namespace quill

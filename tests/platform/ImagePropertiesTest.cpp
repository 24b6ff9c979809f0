#include <gtest/gtest.h>

#include <algorithm>

#include "CodecTestSupport.h"
#include "ImageProperties.h"

namespace {

quill::TImagePropertyList SortedById(quill::TImagePropertyList items) {
  std::sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.Id < b.Id; });
  return items;
}

TEST(ImageProperties, RoundTripKeepsEveryDirectoryAndDropsTheThumbnail) {
  const quill::TImagePropertyList items = quill::SampleProperties();
  const std::vector<uint8_t> exif = quill::BuildExifData(items);
  quill::TImagePropertyList back;
  ASSERT_TRUE(quill::ReadExifProperties(exif, true, back));
  quill::TImagePropertyList expected = items;
  RemoveThumbnailProperties(expected);
  ASSERT_NE(quill::FindProperty(back, quill::kPropertyMakerNoteOffset), nullptr);  // where the note was written
  std::erase_if(back, [](const quill::TImagePropertyItem& item) { return item.Id == quill::kPropertyMakerNoteOffset; });
  EXPECT_EQ(SortedById(back), SortedById(expected));
  // GPS 1 and interoperability 1 share a tag number and both survive.
  EXPECT_EQ(ReadPropertyText(back, quill::kPropertyGps | 1), "N");
  EXPECT_EQ(ReadPropertyText(back, quill::kPropertyInterop | 1), "R98");
}

TEST(ImageProperties, MakerNoteGoesBackToTheOffsetItWasReadFrom) {
  quill::TImagePropertyList items = quill::SampleProperties();
  const std::vector<uint8_t> note = quill::FindProperty(items, quill::kPropertyMakerNote)->Value;
  const auto offsetItem = [](uint32_t offset) {
    return quill::TImagePropertyItem{quill::kPropertyMakerNoteOffset, quill::kTiffLong, quill::MakeTiffLong(0, std::span(&offset, 1)).Value};
  };
  items.push_back(offsetItem(1001));
  std::vector<uint8_t> exif = quill::BuildExifData(items);
  ASSERT_GE(exif.size(), 1001 + note.size());
  EXPECT_EQ(std::vector<uint8_t>(exif.begin() + 1001, exif.begin() + 1001 + static_cast<std::ptrdiff_t>(note.size())), note);
  quill::TImagePropertyList back;
  ASSERT_TRUE(quill::ReadExifProperties(exif, false, back));
  EXPECT_EQ(quill::FindProperty(back, quill::kPropertyMakerNote)->Value, note);
  EXPECT_EQ(*quill::FindProperty(back, quill::kPropertyMakerNoteOffset), offsetItem(1001));
  // Inside the header, or beyond what an EXIF segment holds: right after the header,
  // where it then stays.
  for (uint32_t offset : {4u, 70000u}) {
    quill::SetProperty(items, offsetItem(offset));
    exif = quill::BuildExifData(items);
    back.clear();
    ASSERT_TRUE(quill::ReadExifProperties(exif, false, back));
    EXPECT_EQ(quill::FindProperty(back, quill::kPropertyMakerNote)->Value, note);
    EXPECT_EQ(*quill::FindProperty(back, quill::kPropertyMakerNoteOffset), offsetItem(8));
    EXPECT_EQ(quill::BuildExifData(back), exif);
  }
  // The bookkeeping item alone writes nothing; the ICC profile never goes into EXIF.
  EXPECT_TRUE(quill::BuildExifData({offsetItem(1001), {quill::kPropertyIccProfile, quill::kTiffUndefined, std::vector<uint8_t>(200, 1)}}).empty());
}

TEST(ImageProperties, RemovesTheThumbnailRangeButId0x501A) {
  quill::TImagePropertyList items;
  for (uint32_t id = 0x5010; id <= 0x503D; ++id) items.push_back({id, quill::kTiffByte, {1}});
  RemoveThumbnailProperties(items);
  std::vector<uint32_t> left;
  for (const auto& item : items) left.push_back(item.Id);
  EXPECT_EQ(left, (std::vector<uint32_t>{0x5010, 0x5011, 0x501A, 0x503C, 0x503D}));
}

// A big-endian EXIF block: IFD0 with Orientation 3 and Make "AB", IFD1 with a
// thumbnail of 4 bytes at offset 60.
std::vector<uint8_t> BigEndianExif() {
  std::vector<uint8_t> d = {'M', 'M', 0, 42, 0, 0, 0, 8,
                            // IFD0 at 8: two entries, next IFD at 38
                            0, 2, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 3, 0, 0,
                            0x01, 0x0F, 0, 2, 0, 0, 0, 3, 'A', 'B', 0, 0,
                            0, 0, 0, 38,
                            // IFD1 at 38: offset and length of the thumbnail
                            0, 2, 0x02, 0x01, 0, 4, 0, 0, 0, 1, 0, 0, 0, 68,
                            0x02, 0x02, 0, 4, 0, 0, 0, 1, 0, 0, 0, 4,
                            0, 0, 0, 0,
                            0xFF, 0xD8, 0xFF, 0xD9};
  return d;
}

TEST(ImageProperties, ReadsBigEndianValuesAsLittleEndianAndTheThumbnailAsItsIds) {
  quill::TImagePropertyList items;
  ASSERT_TRUE(quill::ReadExifProperties(BigEndianExif(), true, items));
  const quill::TImagePropertyItem* orientation = quill::FindProperty(items, 0x0112);
  ASSERT_NE(orientation, nullptr);
  EXPECT_EQ(orientation->Value, (std::vector<uint8_t>{3, 0}));
  EXPECT_EQ(ReadPropertyText(items, quill::kPropertyMake), "AB");
  const quill::TImagePropertyItem* thumbnail = quill::FindProperty(items, quill::kPropertyThumbnailData);
  ASSERT_NE(thumbnail, nullptr);
  EXPECT_EQ(thumbnail->Value, (std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xD9}));
  quill::TImagePropertyList noThumbnail;
  ASSERT_TRUE(quill::ReadExifProperties(BigEndianExif(), false, noThumbnail));
  EXPECT_EQ(quill::FindProperty(noThumbnail, quill::kPropertyThumbnailData), nullptr);
}

TEST(ImageProperties, DamagedStructuresReadNothingOutsideTheData) {
  std::vector<uint8_t> d = BigEndianExif();
  d[27] = 0xF0;  // Make's count: 240 characters, far past the end
  quill::TImagePropertyList items;
  ASSERT_TRUE(quill::ReadExifProperties(d, true, items));
  EXPECT_EQ(quill::FindProperty(items, quill::kPropertyMake), nullptr);  // skipped, the rest read
  EXPECT_NE(quill::FindProperty(items, 0x0112), nullptr);
  d[9] = 0xFF;  // 255 entries in IFD0: the directory runs past the end
  EXPECT_FALSE(quill::ReadExifProperties(d, true, items));
  for (size_t size = 0; size < BigEndianExif().size(); ++size) {
    std::vector<uint8_t> cut = BigEndianExif();
    cut.resize(size);
    quill::TImagePropertyList partial;
    quill::ReadExifProperties(cut, true, partial);  // must not read past the cut
  }
  EXPECT_FALSE(quill::ReadExifProperties(std::vector<uint8_t>{'I', 'I', 43, 0, 8, 0, 0, 0}, true, items));
}

// The orientation set in place says top-left in the structure's own byte order and
// type; nothing else changes, and a cut structure is never written past its end.
TEST(ImageProperties, OrientationIsSetInPlaceAndTopLeftReplacesOnlyAnItemThatIsThere) {
  std::vector<uint8_t> d = BigEndianExif();
  ASSERT_TRUE(quill::SetTiffOrientation(d, 1));
  std::vector<uint8_t> expected = BigEndianExif();
  expected[19] = 1;  // the SHORT's value, big-endian in the entry's first two bytes
  expected[18] = 0;
  EXPECT_EQ(d, expected);
  quill::TImagePropertyList items;
  ASSERT_TRUE(quill::ReadExifProperties(d, false, items));
  EXPECT_EQ(quill::FindProperty(items, 0x0112)->Value, (std::vector<uint8_t>{1, 0}));
  d[11] = 9;  // no tag 274 any more
  EXPECT_FALSE(quill::SetTiffOrientation(d, 1));
  for (size_t size = 0; size < BigEndianExif().size(); ++size) {
    std::vector<uint8_t> cut = BigEndianExif();
    cut.resize(size);
    quill::SetTiffOrientation(cut, 1);  // must not write past the cut
    EXPECT_TRUE(std::equal(cut.begin(), cut.end(), (size >= 22 ? expected : BigEndianExif()).begin()));
  }

  // The item list: the item says 1 as a SHORT; a list without one gets none.
  items = {{0x0112, quill::kTiffLong, {8, 0, 0, 0}}, {quill::kPropertyMake, quill::kTiffAscii, {'A', 0}}};
  quill::SetTopLeftOrientation(items);
  EXPECT_EQ(items[0], (quill::TImagePropertyItem{0x0112, quill::kTiffShort, {1, 0}}));
  items.erase(items.begin());
  quill::SetTopLeftOrientation(items);
  EXPECT_EQ(items.size(), 1u);
}

TEST(ImageProperties, ADirectoryCopiesNoMoreValueBytesThanTheDataHolds) {
  // 2000 entries whose values are each the whole structure: copied once each, a 1 MB
  // file of such entries would need 64 GB.
  constexpr uint32_t kEntries = 2000;
  std::vector<uint8_t> d = {'I', 'I', 42, 0, 8, 0, 0, 0, kEntries & 0xFF, kEntries >> 8};
  const uint32_t size = 8 + 2 + 12 * kEntries + 4;
  for (uint32_t i = 0; i < kEntries; ++i) {
    const uint16_t tag = static_cast<uint16_t>(0x9000 + i);
    d.insert(d.end(), {static_cast<uint8_t>(tag), static_cast<uint8_t>(tag >> 8), quill::kTiffUndefined, 0,
                       static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8), 0, 0, 0, 0, 0, 0});
  }
  d.insert(d.end(), 4, 0);
  ASSERT_EQ(d.size(), size);
  quill::TTiffReader reader;
  ASSERT_TRUE(reader.Open(d));
  std::vector<quill::TTiffEntry> entries;
  uint32_t next = 0;
  ASSERT_TRUE(reader.ReadDirectory(8, entries, next));
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries[0].Value, d);
  size_t copied = 0;
  for (const quill::TTiffEntry& entry : entries) copied += entry.Value.size();
  EXPECT_LE(copied, d.size());
}

TEST(ImageProperties, PropertyTextStopsAtTheItemsEnd) {
  quill::TImagePropertyList items = {{quill::kPropertyMake, quill::kTiffAscii, {'C', 'a', 'n'}},
                              {quill::kPropertyModel, quill::kTiffAscii, {'X', 0, 'Y'}}};
  EXPECT_EQ(ReadPropertyText(items, quill::kPropertyMake), "Can");
  EXPECT_EQ(ReadPropertyText(items, quill::kPropertyModel), "X");
  EXPECT_EQ(ReadPropertyText(items, quill::kPropertyDateTime), "");
}

TEST(ImageProperties, SetPropertyReplacesInPlace) {
  quill::TImagePropertyList items = {{1, quill::kTiffByte, {1}}, {2, quill::kTiffByte, {2}}};
  quill::SetProperty(items, {1, quill::kTiffShort, {9, 0}});
  quill::SetProperty(items, {3, quill::kTiffByte, {3}});
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].Type, quill::kTiffShort);
  EXPECT_EQ(items[2].Id, 3u);
}

TEST(ImageProperties, ResolutionFromItems) {
  quill::TImagePropertyList items = {{quill::kPropertyXResolution, quill::kTiffRational, {44, 1, 0, 0, 1, 0, 0, 0}},
                              {quill::kPropertyYResolution, quill::kTiffRational, {44, 1, 0, 0, 1, 0, 0, 0}},
                              {quill::kPropertyResolutionUnit, quill::kTiffShort, {3, 0}}};
  double x = 0, y = 0;
  ASSERT_TRUE(quill::PropertyResolution(items, x, y));
  EXPECT_DOUBLE_EQ(x, 300 * 2.54);
  items[2].Value = {1, 0};  // no absolute unit
  EXPECT_FALSE(quill::PropertyResolution(items, x, y));
}

}  // namespace

#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#include <QImage>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
#include <thread>

#include "CodecTestSupport.h"
#include "ImageCodecs.h"

namespace {

namespace fs = std::filesystem;

using ImageCodecs = CodecTest;

// Writes a 4 x 3 PNG of the given colour type, depth and interlace from a fixed
// pattern; PaletteAlpha adds a tRNS chunk to palette images.
void WriteTestPng(const fs::path& fileName, int colourType, int depth, int interlace) {
  FILE* file = std::fopen(fileName.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_set_IHDR(png, info, 4, 3, depth, colourType, interlace, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (colourType == PNG_COLOR_TYPE_PALETTE) {
    png_color palette[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}};
    png_set_PLTE(png, info, palette, 4);
    png_byte alpha[1] = {0};
    png_set_tRNS(png, info, alpha, 1, nullptr);
  }
  png_write_info(png, info);
  const int channels = colourType == PNG_COLOR_TYPE_RGB ? 3 : colourType == PNG_COLOR_TYPE_RGBA ? 4
                       : colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 1;
  const int bytes = depth == 16 ? 2 : 1;
  std::vector<png_byte> rows(3 * 4 * channels * bytes);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      for (int c = 0; c < channels; ++c) {
        const int value = colourType == PNG_COLOR_TYPE_PALETTE ? (x + y) % 4 : (x * 60 + y * 20 + c * 5) % 256;
        png_byte* p = &rows[((y * 4 + x) * channels + c) * bytes];
        p[0] = static_cast<png_byte>(value);
        if (bytes == 2) p[1] = 0x80;
      }
    }
  }
  if (depth < 8) {  // pack the palette indices
    std::vector<png_byte> packed(3 * ((4 * depth + 7) / 8), 0);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 4; ++x) {
        const int bit = x * depth;
        packed[y * ((4 * depth + 7) / 8) + bit / 8] |= static_cast<png_byte>(rows[y * 4 + x] << (8 - depth - bit % 8));
      }
    }
    rows = packed;
  }
  const size_t rowBytes = rows.size() / 3;
  std::vector<png_bytep> pointers = {&rows[0], &rows[rowBytes], &rows[2 * rowBytes]};
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

TEST_F(ImageCodecs, DecodesByContentNeverByExtension) {
  TZelLTBitmap picture;
  MakePicture(picture, 40, 30);
  ASSERT_TRUE(SaveImageFile(Path("really-png.jpg"), picture.GetPixels(), "image/png", -1, {}));
  ASSERT_TRUE(SaveImageFile(Path("really-jpeg.png"), picture.GetPixels(), "image/jpeg", 90, {}));
  TZelLTBitmap image;
  TImageRawFormat format;
  TImageMetadata metadata;
  ASSERT_TRUE(LoadImageFile(Path("really-png.jpg"), image, format, metadata));
  EXPECT_EQ(format, TImageRawFormat::Png);
  EXPECT_TRUE(SamePixels(image.GetPixels(), picture.GetPixels()));
  ASSERT_TRUE(LoadImageFile(Path("really-jpeg.png"), image, format, metadata));
  EXPECT_EQ(format, TImageRawFormat::Jpeg);
  EXPECT_EQ(image.GetPixels().PixelFormat(), kPixelFormat24);
}

TEST_F(ImageCodecs, LosslessFormatsRoundTripExactlyAndJpegClosely) {
  TZelLTBitmap picture;
  MakePicture(picture, 61, 37);  // odd sizes exercise row padding
  TImageMetadata metadata;
  metadata.HorizontalResolution = 300;
  metadata.VerticalResolution = 150;
  for (const char* mime : {"image/bmp", "image/png", "image/tiff", "image/jpeg"}) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(EncodeImage(picture.GetPixels(), mime, 95, metadata, bytes)) << mime;
    TZelLTBitmap image;
    TImageRawFormat format;
    TImageMetadata back;
    ASSERT_TRUE(DecodeImage(bytes, image, format, back)) << mime;
    if (std::string(mime) == "image/jpeg") {
      EXPECT_LT(MeanDifference(image.GetPixels(), picture.GetPixels()), 3.0);
    } else {
      EXPECT_TRUE(SamePixels(image.GetPixels(), picture.GetPixels())) << mime;
    }
    // Resolution survives to the unit each format stores (whole pixels per metre for
    // PNG and BMP).
    EXPECT_NEAR(back.HorizontalResolution, 300, 0.02) << mime;
    EXPECT_NEAR(back.VerticalResolution, 150, 0.02) << mime;
  }
}

TEST_F(ImageCodecs, EncodersAreFoundByExactMimeType) {
  EXPECT_EQ(FindImageEncoder("image/jpeg"), 1);
  EXPECT_EQ(FindImageEncoder("image/JPEG"), -1);
  EXPECT_EQ(FindImageEncoder("image/gif"), -1);
  TZelLTBitmap picture;
  MakePicture(picture, 8, 8);
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(EncodeImage(picture.GetPixels(), "image/gif", -1, {}, bytes));
  EXPECT_TRUE(bytes.empty());
  TZelPixels empty;
  EXPECT_FALSE(EncodeImage(empty, "image/png", -1, {}, bytes));
}

TEST_F(ImageCodecs, ExifSurvivesEveryContainerWithoutTheThumbnail) {
  TZelLTBitmap picture;
  MakePicture(picture, 16, 16);
  TImageMetadata metadata;
  metadata.Items = SampleProperties();
  TImagePropertyList expected = metadata.Items;
  RemoveThumbnailProperties(expected);
  for (const char* mime : {"image/jpeg", "image/png", "image/tiff"}) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(EncodeImage(picture.GetPixels(), mime, 80, metadata, bytes));
    TZelLTBitmap image;
    TImageRawFormat format;
    TImageMetadata back;
    ASSERT_TRUE(DecodeImage(bytes, image, format, back));
    for (const TImagePropertyItem& item : expected) {
      const TImagePropertyItem* found = FindProperty(back.Items, item.Id);
      ASSERT_NE(found, nullptr) << mime << " id " << std::hex << item.Id;
      EXPECT_EQ(*found, item) << mime;
    }
    EXPECT_EQ(FindProperty(back.Items, 0x5020), nullptr) << mime;
  }
}

TEST_F(ImageCodecs, JpegExifLeavesOutTheLargestItemsUntilOneSegmentHoldsThem) {
  // 12000 items of 5 to 24 bytes: about five times what one segment holds.
  TImageMetadata metadata;
  for (uint32_t i = 0; i < 12000; ++i) {
    metadata.Items.push_back({0x1000 + i, kTiffUndefined, std::vector<uint8_t>(5 + (i * 7919) % 20, 7)});
  }
  TZelLTBitmap picture;
  MakePicture(picture, 8, 8);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(EncodeImage(picture.GetPixels(), "image/jpeg", 80, metadata, bytes));
  TZelLTBitmap image;
  TImageRawFormat format;
  TImageMetadata back;
  ASSERT_TRUE(DecodeImage(bytes, image, format, back));
  ASSERT_FALSE(back.Items.empty());
  ASSERT_LT(back.Items.size(), metadata.Items.size());

  // Every item left out is at least as large as every item kept; of the boundary size,
  // the earlier ones went first; with the last one left out back, it would not fit.
  std::set<uint32_t> kept;
  for (const TImagePropertyItem& item : back.Items) kept.insert(item.Id);
  size_t largestKept = 0, smallestLeftOut = SIZE_MAX;
  for (const TImagePropertyItem& item : metadata.Items) {
    if (kept.count(item.Id) != 0) {
      EXPECT_EQ(*FindProperty(back.Items, item.Id), item);
      largestKept = std::max(largestKept, item.Value.size());
    } else {
      smallestLeftOut = std::min(smallestLeftOut, item.Value.size());
    }
  }
  EXPECT_LE(largestKept, smallestLeftOut);
  const TImagePropertyItem* lastLeftOut = nullptr;
  bool keptOneOfTheSize = false;
  for (const TImagePropertyItem& item : metadata.Items) {
    if (item.Value.size() != smallestLeftOut) continue;
    const bool isKept = kept.count(item.Id) != 0;
    EXPECT_FALSE(keptOneOfTheSize && !isKept) << std::hex << item.Id;
    keptOneOfTheSize = keptOneOfTheSize || isKept;
    if (!isKept) lastLeftOut = &item;
  }
  ASSERT_NE(lastLeftOut, nullptr);
  TImagePropertyList more;
  for (const TImagePropertyItem& item : metadata.Items) {
    if (&item == lastLeftOut || kept.count(item.Id) != 0) more.push_back(item);
  }
  EXPECT_GT(BuildExifData(more).size() + 6, 65533u);
}

TEST_F(ImageCodecs, SavesWithThousandsOfItemsReadBack) {
  // More IFD0 and EXIF items than a directory may hold, and an interoperability item.
  TImageMetadata metadata;
  for (uint32_t i = 0; i < 5000; ++i) {
    metadata.Items.push_back({0x6000 + i, kTiffShort, {1, 0}});
    metadata.Items.push_back({kPropertyExif | (0x6000 + i), kTiffShort, {2, 0}});
  }
  metadata.Items.push_back({kPropertyInterop | 1, kTiffAscii, {'R', '9', '8', 0}});
  TZelLTBitmap picture;
  MakePicture(picture, 8, 8);
  for (const char* mime : {"image/tiff", "image/png"}) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(EncodeImage(picture.GetPixels(), mime, 80, metadata, bytes)) << mime;
    TZelLTBitmap image;
    TImageRawFormat format;
    TImageMetadata back;
    ASSERT_TRUE(DecodeImage(bytes, image, format, back)) << mime;
    EXPECT_NE(FindProperty(back.Items, kPropertyInterop | 1), nullptr) << mime;
    const auto inExif = std::count_if(back.Items.begin(), back.Items.end(), [](const TImagePropertyItem& item) {
      return (item.Id & 0xFFFF0000u) == kPropertyExif;
    });
    EXPECT_GT(inExif, 4000) << mime;
    EXPECT_LT(inExif, 4096) << mime;
  }
}

TEST_F(ImageCodecs, ReadsPngOfEveryColourTypeAndDepth) {
  struct Case {
    int Type, Depth, Interlace;
  };
  const Case cases[] = {{PNG_COLOR_TYPE_GRAY, 8, PNG_INTERLACE_NONE},   {PNG_COLOR_TYPE_GRAY, 16, PNG_INTERLACE_ADAM7},
                        {PNG_COLOR_TYPE_RGB, 16, PNG_INTERLACE_NONE},   {PNG_COLOR_TYPE_RGBA, 8, PNG_INTERLACE_ADAM7},
                        {PNG_COLOR_TYPE_GRAY_ALPHA, 8, PNG_INTERLACE_NONE}, {PNG_COLOR_TYPE_PALETTE, 2, PNG_INTERLACE_NONE},
                        {PNG_COLOR_TYPE_PALETTE, 8, PNG_INTERLACE_ADAM7}};
  for (const Case& c : cases) {
    WriteTestPng(Path("test.png"), c.Type, c.Depth, c.Interlace);
    TZelLTBitmap image;
    TImageRawFormat format;
    TImageMetadata metadata;
    ASSERT_TRUE(LoadImageFile(Path("test.png"), image, format, metadata)) << c.Type << "/" << c.Depth;
    ASSERT_EQ(image.GetWidth(), 4);
    const uint8_t* p = image.GetPixels().GetPixelAddress(1, 2);  // x 1, y 2
    if (c.Type == PNG_COLOR_TYPE_PALETTE) {
      EXPECT_EQ(p[0], 30);  // index 3: (10, 20, 30), its transparency dropped
      EXPECT_EQ(p[2], 10);
    } else if (c.Type == PNG_COLOR_TYPE_RGB || c.Type == PNG_COLOR_TYPE_RGBA) {
      EXPECT_EQ(p[2], 100) << c.Type;  // red: 60 + 40
      EXPECT_EQ(p[0], 110) << c.Type;  // blue: 100 + 10
    } else {
      EXPECT_EQ(p[0], 100);
      EXPECT_EQ(p[1], 100);
    }
  }
}

TEST_F(ImageCodecs, ReadsTiledSixteenBitTiffTopLeft) {
  TIFF* tiff = TIFFOpen(Path("tiles.tif").c_str(), "w");
  ASSERT_NE(tiff, nullptr);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 20);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 18);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 16);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
  TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
  TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_BOTLEFT);
  std::vector<uint16_t> tile(16 * 16 * 3);
  for (uint32_t ty = 0; ty < 18; ty += 16) {
    for (uint32_t tx = 0; tx < 20; tx += 16) {
      for (uint32_t y = 0; y < 16; ++y) {
        for (uint32_t x = 0; x < 16; ++x) {
          uint16_t* p = &tile[(y * 16 + x) * 3];
          p[0] = static_cast<uint16_t>((tx + x) * 1000);  // red from the column
          p[1] = static_cast<uint16_t>((ty + y) * 1000);  // green from the stored row
          p[2] = 0xFFFF;
        }
      }
      TIFFWriteTile(tiff, tile.data(), tx, ty, 0, 0);
    }
  }
  TIFFClose(tiff);
  TZelLTBitmap image;
  TImageRawFormat format;
  TImageMetadata metadata;
  ASSERT_TRUE(LoadImageFile(Path("tiles.tif"), image, format, metadata));
  EXPECT_EQ(format, TImageRawFormat::Tiff);
  ASSERT_EQ(image.GetWidth(), 20);
  ASSERT_EQ(image.GetHeight(), 18);
  // Stored bottom-up: the image's top row is the file's last row (17).
  const uint8_t* p = image.GetPixels().GetPixelAddress(10, 0);
  EXPECT_EQ(p[2], 10000 >> 8);  // the RGBA reader keeps the high byte
  EXPECT_EQ(p[1], 17000 >> 8);
  EXPECT_EQ(p[0], 255);
}

// A BMP file header and a 40-byte info header.
std::vector<uint8_t> BmpHeader(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                               uint32_t colours, uint32_t dataOffset) {
  std::vector<uint8_t> d = {'B', 'M'};
  auto put = [&d](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) d.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  put(0, 4), put(0, 4), put(dataOffset, 4), put(40, 4), put(static_cast<uint32_t>(width), 4);
  put(static_cast<uint32_t>(height), 4), put(1, 2), put(bits, 2), put(compression, 4), put(0, 4);
  put(2835, 4), put(2835, 4), put(colours, 4), put(0, 4);
  return d;
}

TEST_F(ImageCodecs, ReadsBmpRunLengthsBitFieldsAndTopDownRows) {
  // RLE8, 4 x 2, palette {black, red}: bottom row "1 1 0 0", top row "0 1" then end.
  std::vector<uint8_t> rle = BmpHeader(4, 2, 8, 1, 2, 54 + 8);
  rle.insert(rle.end(), {0, 0, 0, 0, 0, 0, 255, 0});
  rle.insert(rle.end(), {2, 1, 2, 0, 0, 0, 1, 0, 1, 1, 0, 1});
  TZelLTBitmap image;
  TImageRawFormat format;
  TImageMetadata metadata;
  ASSERT_TRUE(DecodeImage(rle, image, format, metadata));
  EXPECT_EQ(format, TImageRawFormat::Bmp);
  EXPECT_EQ(image.GetPixels().GetPixelAddress(0, 1)[2], 255);  // bottom row, red
  EXPECT_EQ(image.GetPixels().GetPixelAddress(2, 1)[2], 0);
  EXPECT_EQ(image.GetPixels().GetPixelAddress(1, 0)[2], 255);  // top row, after a 0
  EXPECT_NEAR(metadata.HorizontalResolution, 72, 0.01);

  // RLE4, 3 x 1: an absolute run of three indices (1, 0, 1), padded to a word.
  std::vector<uint8_t> rle4 = BmpHeader(3, 1, 4, 2, 2, 54 + 8);
  rle4.insert(rle4.end(), {0, 0, 0, 0, 0, 0, 255, 0});
  rle4.insert(rle4.end(), {0, 3, 0x10, 0x10, 0, 1});
  ASSERT_TRUE(DecodeImage(rle4, image, format, metadata));
  EXPECT_EQ(image.GetPixels().GetPixelAddress(0, 0)[2], 255);
  EXPECT_EQ(image.GetPixels().GetPixelAddress(1, 0)[2], 0);
  EXPECT_EQ(image.GetPixels().GetPixelAddress(2, 0)[2], 255);

  // 16-bit 5-6-5 bit fields, top-down 1 x 2: pure red above pure blue.
  std::vector<uint8_t> fields = BmpHeader(1, -2, 16, 3, 0, 54 + 12);
  fields.insert(fields.end(), {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0});
  fields.insert(fields.end(), {0x00, 0xF8, 0, 0, 0x1F, 0x00, 0, 0});
  ASSERT_TRUE(DecodeImage(fields, image, format, metadata));
  EXPECT_EQ(image.GetPixels().GetPixelAddress(0, 0)[2], 255);
  EXPECT_EQ(image.GetPixels().GetPixelAddress(0, 1)[0], 255);

  // 1 bit a pixel, 9 x 1: the ninth pixel is in the second byte.
  std::vector<uint8_t> mono = BmpHeader(9, 1, 1, 0, 2, 54 + 8);
  mono.insert(mono.end(), {0, 0, 0, 0, 255, 255, 255, 0});
  mono.insert(mono.end(), {0x00, 0x80, 0, 0});
  ASSERT_TRUE(DecodeImage(mono, image, format, metadata));
  EXPECT_EQ(image.GetPixels().GetPixelAddress(7, 0)[0], 0);
  EXPECT_EQ(image.GetPixels().GetPixelAddress(8, 0)[0], 255);
}

TEST_F(ImageCodecs, DecodesGreyAndProgressiveJpegs) {
  TZelLTBitmap picture;
  MakePicture(picture, 50, 34);
  WriteLibJpeg(Path("grey.jpg"), picture.GetPixels(), 1, 1, false, true);
  WriteLibJpeg(Path("progressive.jpg"), picture.GetPixels(), 2, 2, true);
  TZelLTBitmap image;
  TImageRawFormat format;
  TImageMetadata metadata;
  ASSERT_TRUE(LoadImageFile(Path("grey.jpg"), image, format, metadata));
  const uint8_t* p = image.GetPixels().GetPixelAddress(20, 20);
  EXPECT_EQ(p[0], p[1]);
  EXPECT_EQ(p[1], p[2]);
  ASSERT_TRUE(LoadImageFile(Path("progressive.jpg"), image, format, metadata));
  EXPECT_LT(MeanDifference(image.GetPixels(), picture.GetPixels()), 4.0);
  ASSERT_TRUE(LoadImageFile(fs::path(QUILL_TEST_DATA_DIR) / "rocket.jpg", image, format, metadata));
  EXPECT_EQ(image.GetWidth(), 640);
  EXPECT_EQ(image.GetHeight(), 427);
  EXPECT_DOUBLE_EQ(metadata.HorizontalResolution, 72);
}

TEST_F(ImageCodecs, DamagedOrOversizedFilesFailCleanly) {
  const std::vector<uint8_t> jpeg = FileBytes(fs::path(QUILL_TEST_DATA_DIR) / "rocket.jpg");
  TZelLTBitmap picture;
  MakePicture(picture, 30, 20);
  std::vector<uint8_t> png, bmp, tiff;
  ASSERT_TRUE(EncodeImage(picture.GetPixels(), "image/png", -1, {}, png));
  ASSERT_TRUE(EncodeImage(picture.GetPixels(), "image/bmp", -1, {}, bmp));
  ASSERT_TRUE(EncodeImage(picture.GetPixels(), "image/tiff", -1, {}, tiff));
  TZelLTBitmap image;
  TImageRawFormat format;
  TImageMetadata metadata;
  // Every truncation of every format fails, leaving no image behind.
  for (const std::vector<uint8_t>* whole : std::vector<const std::vector<uint8_t>*>{&jpeg, &png, &bmp, &tiff}) {
    for (size_t size : {size_t{0}, size_t{2}, size_t{20}, whole->size() / 2, whole->size() - 3}) {
      const std::vector<uint8_t> cut(whole->begin(), whole->begin() + static_cast<std::ptrdiff_t>(size));
      EXPECT_FALSE(DecodeImage(cut, image, format, metadata)) << size;
      EXPECT_TRUE(image.IsEmpty());
    }
  }
  // Sides beyond 65535 from the headers: PNG's IHDR width, BMP's width.
  std::vector<uint8_t> widePng = png;
  widePng[16] = 0, widePng[17] = 1, widePng[18] = 0, widePng[19] = 0;  // 65536 (CRC now wrong too)
  EXPECT_FALSE(DecodeImage(widePng, image, format, metadata));
  std::vector<uint8_t> wideBmp = bmp;
  wideBmp[18] = 0, wideBmp[19] = 0, wideBmp[20] = 1, wideBmp[21] = 0;  // 65536
  EXPECT_FALSE(DecodeImage(wideBmp, image, format, metadata));
  std::vector<uint8_t> hugeBmp = bmp;  // 60000 x 60000: within the side limit, over the pixel budget
  hugeBmp[18] = 0x60, hugeBmp[19] = 0xEA, hugeBmp[22] = 0x60, hugeBmp[23] = 0xEA;
  EXPECT_FALSE(DecodeImage(hugeBmp, image, format, metadata));
  EXPECT_FALSE(DecodeImage(std::vector<uint8_t>(100, 0x42), image, format, metadata));
  EXPECT_EQ(format, TImageRawFormat::Unknown);
}

TEST_F(ImageCodecs, DocumentHeaderIsInvertedInMemoryOnly) {
  TZelLTBitmap picture;
  MakePicture(picture, 20, 20);
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(EncodeImage(picture.GetPixels(), "image/jpeg", 100, {}, jpeg));
  EXPECT_TRUE(IsJpegHeader(std::span<const uint8_t, 16>(jpeg.data(), 16)));
  const std::vector<uint8_t> plain = jpeg;
  EXPECT_FALSE(RestoreZliHeader(jpeg));  // a plain JPEG is no document file
  EXPECT_EQ(jpeg, plain);
  ASSERT_TRUE(InvertZliHeader(jpeg));
  EXPECT_EQ(jpeg[0], 0x00);
  EXPECT_EQ(DetectImageFormat(jpeg), TImageRawFormat::Unknown);
  EXPECT_FALSE(InvertZliHeader(jpeg));  // inverted bytes fail the test
  ASSERT_TRUE(RestoreZliHeader(jpeg));
  EXPECT_EQ(jpeg, plain);
  std::vector<uint8_t> sixteen(plain.begin(), plain.begin() + 16);
  EXPECT_FALSE(InvertZliHeader(sixteen));  // exactly 16 bytes never counts
}

TEST_F(ImageCodecs, SavingReplacesTheFileWholeAndRefusesReadOnlyTargets) {
  TZelLTBitmap picture;
  MakePicture(picture, 12, 12);
  WriteBytes(Path("old.png"), {1, 2, 3});
  ASSERT_TRUE(SaveImageFile(Path("old.png"), picture.GetPixels(), "image/png", -1, {}));
  TZelLTBitmap image;
  TImageRawFormat format;
  TImageMetadata metadata;
  ASSERT_TRUE(LoadImageFile(Path("old.png"), image, format, metadata));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);  // no temporary left
  EXPECT_FALSE(SaveImageFile(Path("missing/new.png"), picture.GetPixels(), "image/png", -1, {}));
  EXPECT_FALSE(SaveImageFile(folder_, picture.GetPixels(), "image/png", -1, {}));  // a folder
  if (::geteuid() != 0) {  // root writes anyway
    WriteBytes(Path("locked.png"), {7});
    fs::permissions(Path("locked.png"), fs::perms::owner_read);
    EXPECT_FALSE(SaveImageFile(Path("locked.png"), picture.GetPixels(), "image/png", -1, {}));
    EXPECT_EQ(FileBytes(Path("locked.png")), std::vector<uint8_t>{7});
  }
}

TEST_F(ImageCodecs, FileInformationAndDescription) {
  TZelLTBitmap picture;
  MakePicture(picture, 640, 480);
  ASSERT_TRUE(SaveImageFile(Path("plain.png"), picture.GetPixels(), "image/png", -1, {}));
  TImageFileInfo info;
  ASSERT_TRUE(ReadImageFileInfo(Path("plain.png"), info));
  const TImageDescriptionLabels labels{"Type", "Size", "Date", "Camera"};
  EXPECT_EQ(BuildImageDescription(info, labels), QString("Type: PNG\nSize: 640 x 480"));

  TImageMetadata metadata;
  metadata.Items = SampleProperties();
  ASSERT_TRUE(SaveImageFile(Path("camera.jpg"), picture.GetPixels(), "image/jpeg", 80, metadata));
  ASSERT_TRUE(ReadImageFileInfo(Path("camera.jpg"), info));
  EXPECT_EQ(BuildImageDescription(info, labels),
            QString("Type: JPEG\nSize: 640 x 480\nDate: 2024:05:06 07:08:09\nCamera: Quillmere Optics QM-1"));
  info.Format = TImageRawFormat::Unknown;
  EXPECT_TRUE(BuildImageDescription(info, labels).startsWith('\n'));
  EXPECT_FALSE(ReadImageFileInfo(Path("none.png"), info));
}

TEST_F(ImageCodecs, ThumbnailsFitTheBoxFromAnyThread) {
  TZelLTBitmap small, large;
  MakePicture(small, 100, 50);
  MakePicture(large, 1600, 1200);
  ASSERT_TRUE(SaveImageFile(Path("small.bmp"), small.GetPixels(), "image/bmp", -1, {}));
  ASSERT_TRUE(SaveImageFile(Path("large.jpg"), large.GetPixels(), "image/jpeg", 90, {}));
  QImage thumbnail;
  ASSERT_TRUE(MakeThumbnail(Path("small.bmp"), 200, 200, thumbnail));
  EXPECT_EQ(thumbnail.size(), QSize(200, 100));  // enlarged to the box
  EXPECT_FALSE(MakeThumbnail(Path("small.bmp"), 0, 200, thumbnail));
  // The preview thread and the main thread make thumbnails at the same time.
  QImage results[4];
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] { MakeThumbnail(Path(i % 2 ? "large.jpg" : "small.bmp"), 200, 200, results[i]); });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(results[1].size(), QSize(200, 150));
  EXPECT_EQ(results[2].size(), QSize(200, 100));
  // The reduced decode still shows the picture: compare with a full decode scaled down.
  const QImage full = QImage(large.GetPixels().Bits(), 1600, 1200, large.GetPixels().Stride(), QImage::Format_BGR888)
                          .scaled(200, 150, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  const QImage quick = results[1].convertToFormat(QImage::Format_BGR888);
  double sum = 0;
  for (int y = 0; y < 150; ++y) {
    for (int x = 0; x < 200; ++x) sum += std::abs(qGreen(full.pixel(x, y)) - qGreen(quick.pixel(x, y)));
  }
  EXPECT_LT(sum / (200 * 150), 8.0);
}

}  // namespace

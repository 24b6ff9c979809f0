#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>
#include <zlib.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QImage>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <set>
#include <thread>

#include "CodecTestSupport.h"
#include "ImageCodecs.h"

namespace {

namespace fs = std::filesystem;

using ImageCodecs = quill::CodecTest;

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
  quill::MakePicture(picture, 40, 30);
  ASSERT_TRUE(quill::SaveImageFile(Path("really-png.jpg"), picture.GetPixels(), "image/png", -1, {}));
  ASSERT_TRUE(quill::SaveImageFile(Path("really-jpeg.png"), picture.GetPixels(), "image/jpeg", 90, {}));
  TZelLTBitmap image;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  ASSERT_TRUE(quill::LoadImageFile(Path("really-png.jpg"), image, format, metadata));
  EXPECT_EQ(format, quill::TImageRawFormat::Png);
  EXPECT_TRUE(quill::SamePixels(image.GetPixels(), picture.GetPixels()));
  ASSERT_TRUE(quill::LoadImageFile(Path("really-jpeg.png"), image, format, metadata));
  EXPECT_EQ(format, quill::TImageRawFormat::Jpeg);
  EXPECT_EQ(image.GetPixels().PixelFormat(), quill::kPixelFormat24);
}

TEST_F(ImageCodecs, LosslessFormatsRoundTripExactlyAndJpegClosely) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 61, 37);  // odd sizes exercise row padding
  quill::TImageMetadata metadata;
  metadata.HorizontalResolution = 300;
  metadata.VerticalResolution = 150;
  for (const char* mime : {"image/bmp", "image/png", "image/tiff", "image/jpeg"}) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(quill::EncodeImage(picture.GetPixels(), mime, 95, metadata, bytes)) << mime;
    TZelLTBitmap image;
    quill::TImageRawFormat format;
    quill::TImageMetadata back;
    ASSERT_TRUE(quill::DecodeImage(bytes, image, format, back)) << mime;
    if (std::string(mime) == "image/jpeg") {
      EXPECT_LT(quill::MeanDifference(image.GetPixels(), picture.GetPixels()), 3.0);
    } else {
      EXPECT_TRUE(quill::SamePixels(image.GetPixels(), picture.GetPixels())) << mime;
    }
    // Resolution survives to the unit each format stores (whole pixels per metre for
    // PNG and BMP).
    EXPECT_NEAR(back.HorizontalResolution, 300, 0.02) << mime;
    EXPECT_NEAR(back.VerticalResolution, 150, 0.02) << mime;
  }
}

TEST_F(ImageCodecs, EncodersAreFoundByExactMimeType) {
  EXPECT_EQ(quill::FindImageEncoder("image/jpeg"), 1);
  EXPECT_EQ(quill::FindImageEncoder("image/JPEG"), -1);
  EXPECT_EQ(quill::FindImageEncoder("image/gif"), -1);
  TZelLTBitmap picture;
  quill::MakePicture(picture, 8, 8);
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(quill::EncodeImage(picture.GetPixels(), "image/gif", -1, {}, bytes));
  EXPECT_TRUE(bytes.empty());
  TZelPixels empty;
  EXPECT_FALSE(quill::EncodeImage(empty, "image/png", -1, {}, bytes));
}

TEST_F(ImageCodecs, ExifSurvivesEveryContainerWithoutTheThumbnail) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 16, 16);
  quill::TImageMetadata metadata;
  metadata.Items = quill::SampleProperties();
  quill::TImagePropertyList expected = metadata.Items;
  RemoveThumbnailProperties(expected);
  for (const char* mime : {"image/jpeg", "image/png", "image/tiff"}) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(quill::EncodeImage(picture.GetPixels(), mime, 80, metadata, bytes));
    TZelLTBitmap image;
    quill::TImageRawFormat format;
    quill::TImageMetadata back;
    ASSERT_TRUE(quill::DecodeImage(bytes, image, format, back));
    for (const quill::TImagePropertyItem& item : expected) {
      const quill::TImagePropertyItem* found = quill::FindProperty(back.Items, item.Id);
      ASSERT_NE(found, nullptr) << mime << " id " << std::hex << item.Id;
      EXPECT_EQ(*found, item) << mime;
    }
    EXPECT_EQ(quill::FindProperty(back.Items, 0x5020), nullptr) << mime;
  }
}

TEST_F(ImageCodecs, JpegExifLeavesOutTheLargestItemsUntilOneSegmentHoldsThem) {
  // 12000 items of 5 to 24 bytes: about five times what one segment holds.
  quill::TImageMetadata metadata;
  for (uint32_t i = 0; i < 12000; ++i) {
    metadata.Items.push_back({0x1000 + i, quill::kTiffUndefined, std::vector<uint8_t>(5 + (i * 7919) % 20, 7)});
  }
  TZelLTBitmap picture;
  quill::MakePicture(picture, 8, 8);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(quill::EncodeImage(picture.GetPixels(), "image/jpeg", 80, metadata, bytes));
  TZelLTBitmap image;
  quill::TImageRawFormat format;
  quill::TImageMetadata back;
  ASSERT_TRUE(quill::DecodeImage(bytes, image, format, back));
  ASSERT_FALSE(back.Items.empty());
  ASSERT_LT(back.Items.size(), metadata.Items.size());

  // Every item left out is at least as large as every item kept; of the boundary size,
  // the earlier ones went first; with the last one left out back, it would not fit.
  std::set<uint32_t> kept;
  for (const quill::TImagePropertyItem& item : back.Items) kept.insert(item.Id);
  size_t largestKept = 0, smallestLeftOut = SIZE_MAX;
  for (const quill::TImagePropertyItem& item : metadata.Items) {
    if (kept.count(item.Id) != 0) {
      EXPECT_EQ(*quill::FindProperty(back.Items, item.Id), item);
      largestKept = std::max(largestKept, item.Value.size());
    } else {
      smallestLeftOut = std::min(smallestLeftOut, item.Value.size());
    }
  }
  EXPECT_LE(largestKept, smallestLeftOut);
  const quill::TImagePropertyItem* lastLeftOut = nullptr;
  bool keptOneOfTheSize = false;
  for (const quill::TImagePropertyItem& item : metadata.Items) {
    if (item.Value.size() != smallestLeftOut) continue;
    const bool isKept = kept.count(item.Id) != 0;
    EXPECT_FALSE(keptOneOfTheSize && !isKept) << std::hex << item.Id;
    keptOneOfTheSize = keptOneOfTheSize || isKept;
    if (!isKept) lastLeftOut = &item;
  }
  ASSERT_NE(lastLeftOut, nullptr);
  quill::TImagePropertyList more;
  for (const quill::TImagePropertyItem& item : metadata.Items) {
    if (&item == lastLeftOut || kept.count(item.Id) != 0) more.push_back(item);
  }
  EXPECT_GT(quill::BuildExifData(more).size() + 6, 65533u);
}

TEST_F(ImageCodecs, SavesWithThousandsOfItemsReadBack) {
  // More IFD0 and EXIF items than a directory may hold, and an interoperability item.
  quill::TImageMetadata metadata;
  for (uint32_t i = 0; i < 5000; ++i) {
    metadata.Items.push_back({0x6000 + i, quill::kTiffShort, {1, 0}});
    metadata.Items.push_back({quill::kPropertyExif | (0x6000 + i), quill::kTiffShort, {2, 0}});
  }
  metadata.Items.push_back({quill::kPropertyInterop | 1, quill::kTiffAscii, {'R', '9', '8', 0}});
  TZelLTBitmap picture;
  quill::MakePicture(picture, 8, 8);
  for (const char* mime : {"image/tiff", "image/png"}) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(quill::EncodeImage(picture.GetPixels(), mime, 80, metadata, bytes)) << mime;
    TZelLTBitmap image;
    quill::TImageRawFormat format;
    quill::TImageMetadata back;
    ASSERT_TRUE(quill::DecodeImage(bytes, image, format, back)) << mime;
    EXPECT_NE(quill::FindProperty(back.Items, quill::kPropertyInterop | 1), nullptr) << mime;
    const auto inExif = std::count_if(back.Items.begin(), back.Items.end(), [](const quill::TImagePropertyItem& item) {
      return (item.Id & 0xFFFF0000u) == quill::kPropertyExif;
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
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    ASSERT_TRUE(quill::LoadImageFile(Path("test.png"), image, format, metadata)) << c.Type << "/" << c.Depth;
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

// An 8 x 8 TIFF of colour (200, 100, 50) whose alpha runs 0..252 across the pixels,
// of the given Depth, planar configuration and kind of alpha; associated alpha stores
// the colour multiplied by alpha, as the kind says.
void WriteAlphaTiff(const fs::path& fileName, int depth, bool separate, uint16_t kind) {
  TIFF* tiff = TIFFOpen(fileName.c_str(), "w");
  ASSERT_NE(tiff, nullptr);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 8);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 8);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, depth);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 4);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &kind);
  const int scale = depth == 16 ? 257 : 1;
  for (int plane = 0; plane < (separate ? 4 : 1); ++plane) {
    for (uint32_t y = 0; y < 8; ++y) {
      std::vector<uint16_t> samples;
      for (int x = 0; x < 8; ++x) {
        const int alpha = (static_cast<int>(y) * 8 + x) * 4;
        for (const int colour : {200, 100, 50}) {
          samples.push_back(static_cast<uint16_t>(kind == EXTRASAMPLE_ASSOCALPHA ? colour * alpha / 255 : colour));
        }
        samples.push_back(static_cast<uint16_t>(alpha));
      }
      std::vector<uint8_t> row;
      for (size_t i = 0; i < samples.size(); ++i) {
        if (separate && static_cast<int>(i % 4) != plane) continue;
        const uint32_t value = uint32_t{samples[i]} * scale;
        row.push_back(static_cast<uint8_t>(value));
        if (depth == 16) row.push_back(static_cast<uint8_t>(value >> 8));
      }
      ASSERT_EQ(TIFFWriteScanline(tiff, row.data(), y, static_cast<uint16_t>(plane)), 1);
    }
  }
  TIFFClose(tiff);
}

// Unassociated alpha is dropped and the stored colours kept, as a PNG's are; associated
// alpha gives the stored (multiplied) colours as well.
TEST_F(ImageCodecs, TiffAlphaIsDroppedAndTheStoredColoursKept) {
  for (const uint16_t kind : {uint16_t{EXTRASAMPLE_UNASSALPHA}, uint16_t{EXTRASAMPLE_ASSOCALPHA}}) {
    for (const int depth : {8, 16}) {
      for (const bool separate : {false, true}) {
        SCOPED_TRACE("alpha " + std::to_string(kind) + ", " + std::to_string(depth) + " bits" +
                     (separate ? ", planes" : ""));
        WriteAlphaTiff(Path("alpha.tif"), depth, separate, kind);
        TZelLTBitmap image;
        quill::TImageRawFormat format;
        quill::TImageMetadata metadata;
        ASSERT_TRUE(quill::LoadImageFile(Path("alpha.tif"), image, format, metadata));
        for (int32_t y = 0; y < 8; ++y) {
          for (int32_t x = 0; x < 8; ++x) {
            const int alpha = (y * 8 + x) * 4;
            const int factor = kind == EXTRASAMPLE_ASSOCALPHA ? alpha : 255;
            const uint8_t* p = image.GetPixels().GetPixelAddress(x, y);
            ASSERT_EQ((std::array<int, 3>{p[2], p[1], p[0]}),
                      (std::array<int, 3>{200 * factor / 255, 100 * factor / 255, 50 * factor / 255}))
                << x << ", " << y;
          }
        }
      }
    }
  }
}

TEST_F(ImageCodecs, ReadsTiledSixteenBitTiffAsStored) {
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
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  ASSERT_TRUE(quill::LoadImageFile(Path("tiles.tif"), image, format, metadata));
  EXPECT_EQ(format, quill::TImageRawFormat::Tiff);
  ASSERT_EQ(image.GetWidth(), 20);
  ASSERT_EQ(image.GetHeight(), 18);
  // Rows as stored, though the file says they run bottom-up.
  for (const int32_t y : {0, 15, 16, 17}) {
    const uint8_t* p = image.GetPixels().GetPixelAddress(19, y);
    EXPECT_EQ(p[2], 19000 >> 8);  // the RGBA reader keeps the high byte
    EXPECT_EQ(p[1], (y * 1000) >> 8);
    EXPECT_EQ(p[0], 255);
  }
  EXPECT_EQ(quill::FindProperty(metadata.Items, quill::kPropertyOrientation)->Value[0], ORIENTATION_BOTLEFT);
}

// The picture a viewer shows of a Width x Height raster (one value a pixel, rows in
// order) stored with Orientation: each shown pixel taken from its stored place.
std::vector<uint32_t> AsShown(const std::vector<uint32_t>& stored, int width, int height, int orientation) {
  const bool turned = orientation >= 5;
  const int shownWidth = turned ? height : width, shownHeight = turned ? width : height;
  std::vector<uint32_t> shown;
  for (int y = 0; y < shownHeight; ++y) {
    for (int x = 0; x < shownWidth; ++x) {
      const int from[9][2] = {{}, {x, y}, {width - 1 - x, y}, {width - 1 - x, height - 1 - y}, {x, height - 1 - y},
                              {y, x}, {y, height - 1 - x}, {width - 1 - y, height - 1 - x}, {width - 1 - y, x}};
      shown.push_back(stored[from[orientation][1] * width + from[orientation][0]]);
    }
  }
  return shown;
}

std::vector<uint32_t> Raster(const TZelPixels& pixels) {
  std::vector<uint32_t> raster;
  for (int32_t y = 0; y < pixels.Height(); ++y) {
    for (int32_t x = 0; x < pixels.Width(); ++x) {
      const uint8_t* p = pixels.GetPixelAddress(x, y);
      raster.push_back(uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
    }
  }
  return raster;
}

// What a viewer shows of an 8-bit RGB TIFF file: its rows as libtiff stores them, turned
// by its Orientation tag.
std::vector<uint32_t> TiffAsShown(const fs::path& fileName) {
  TIFF* tiff = TIFFOpen(fileName.c_str(), "r");
  if (tiff == nullptr) return {};
  uint32_t width = 0, height = 0;
  uint16_t orientation = 1;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
  std::vector<uint32_t> stored;
  std::vector<uint8_t> row(TIFFScanlineSize(tiff));
  for (uint32_t y = 0; y < height; ++y) {
    TIFFReadScanline(tiff, row.data(), y, 0);
    for (uint32_t x = 0; x < width; ++x) stored.push_back(uint32_t{row[3 * x]} << 16 | row[3 * x + 1] << 8 | row[3 * x + 2]);
  }
  TIFFClose(tiff);
  return AsShown(stored, static_cast<int>(width), static_cast<int>(height), orientation);
}

TEST_F(ImageCodecs, TiffOfEveryOrientationIsReadAsStoredAndSavedAsItIsShown) {
  constexpr int kWidth = 3, kHeight = 2;
  std::vector<uint32_t> stored;
  for (int i = 0; i < kWidth * kHeight; ++i) stored.push_back(0x102030u * (i + 1));
  for (uint16_t orientation = 1; orientation <= 8; ++orientation) {
    TIFF* tiff = TIFFOpen(Path("in.tif").c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, orientation);
    for (int y = 0; y < kHeight; ++y) {
      uint8_t row[3 * kWidth];
      for (int x = 0; x < kWidth; ++x) {
        const uint32_t v = stored[y * kWidth + x];
        row[3 * x] = static_cast<uint8_t>(v >> 16), row[3 * x + 1] = static_cast<uint8_t>(v >> 8);
        row[3 * x + 2] = static_cast<uint8_t>(v);
      }
      TIFFWriteScanline(tiff, row, static_cast<uint32_t>(y), 0);
    }
    TIFFClose(tiff);
    const std::vector<uint32_t> expected = AsShown(stored, kWidth, kHeight, orientation);
    ASSERT_EQ(TiffAsShown(Path("in.tif")), expected);

    TZelLTBitmap image;
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    ASSERT_TRUE(quill::LoadImageFile(Path("in.tif"), image, format, metadata));
    // The pixels as stored, with the item that says how to show them.
    EXPECT_EQ(Raster(image.GetPixels()), stored) << orientation;
    const quill::TImagePropertyItem* item = quill::FindProperty(metadata.Items, quill::kPropertyOrientation);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Value[0], orientation);
    ASSERT_TRUE(quill::SaveImageFile(Path("out.tif"), image.GetPixels(), "image/tiff", -1, metadata));
    EXPECT_EQ(TiffAsShown(Path("out.tif")), expected) << orientation;
    // The EXIF of a JPEG made from it tells the same.
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(quill::EncodeImage(image.GetPixels(), "image/jpeg", 90, metadata, jpeg));
    quill::TImageMetadata jpegMetadata;
    ASSERT_TRUE(quill::DecodeImage(jpeg, image, format, jpegMetadata));
    EXPECT_EQ(quill::FindProperty(jpegMetadata.Items, quill::kPropertyOrientation)->Value[0], orientation);
  }
}

// The APP2 ICC_PROFILE segments of a JPEG: their payload sizes.
std::vector<size_t> IccSegments(const std::vector<uint8_t>& jpeg) {
  std::vector<size_t> sizes;
  for (size_t at = 2; at + 4 <= jpeg.size() && jpeg[at] == 0xFF && jpeg[at + 1] != 0xDA;) {
    const size_t length = size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
    if (jpeg[at + 1] == 0xE2 && at + 16 <= jpeg.size() && std::memcmp(&jpeg[at + 4], "ICC_PROFILE", 12) == 0) {
      sizes.push_back(length - 2 - 14);
    }
    at += 2 + length;
  }
  return sizes;
}

TEST_F(ImageCodecs, IccProfileTravelsThroughEveryFormat) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 16, 12);
  // Larger than one APP2 segment holds.
  const std::vector<uint8_t> profile = quill::MakeIccProfile("Quillmere wide RGB", "RGB ", 70000);
  quill::TImageMetadata metadata;
  metadata.Items = quill::SampleProperties();
  metadata.Items.push_back({quill::kPropertyIccProfile, quill::kTiffUndefined, profile});
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(quill::EncodeImage(picture.GetPixels(), "image/jpeg", 90, metadata, bytes));
  EXPECT_EQ(IccSegments(bytes), (std::vector<size_t>{65519, profile.size() - 65519}));
  TZelLTBitmap image;
  quill::TImageRawFormat format;
  quill::TImageMetadata back;
  ASSERT_TRUE(quill::DecodeImage(bytes, image, format, back));
  ASSERT_NE(quill::FindProperty(back.Items, quill::kPropertyIccProfile), nullptr);
  EXPECT_EQ(quill::FindProperty(back.Items, quill::kPropertyIccProfile)->Value, profile);
  EXPECT_NE(quill::FindProperty(back.Items, quill::kPropertyMake), nullptr);  // the EXIF still fits its segment
  // JPEG to PNG to TIFF to JPEG.
  for (const char* mime : {"image/png", "image/tiff", "image/jpeg"}) {
    ASSERT_TRUE(quill::EncodeImage(image.GetPixels(), mime, 90, back, bytes));
    quill::TImageMetadata next;
    ASSERT_TRUE(quill::DecodeImage(bytes, image, format, next)) << mime;
    const quill::TImagePropertyItem* item = quill::FindProperty(next.Items, quill::kPropertyIccProfile);
    ASSERT_NE(item, nullptr) << mime;
    EXPECT_EQ(item->Value, profile) << mime;
    back = next;
  }
  // The profile of grey data no longer describes the RGB pixels a decoder gives.
  metadata.Items = {{quill::kPropertyIccProfile, quill::kTiffUndefined, quill::MakeIccProfile("Grey", "GRAY")}};
  ASSERT_TRUE(quill::EncodeImage(picture.GetPixels(), "image/tiff", -1, metadata, bytes));
  ASSERT_TRUE(quill::DecodeImage(bytes, image, format, back));
  EXPECT_EQ(quill::FindProperty(back.Items, quill::kPropertyIccProfile), nullptr);
}

// Writes a GIF with giflib: a global table of Global colours and Background, then each
// frame {left, top, width, height, interlaced, local table (empty: none), rows}.
struct TGifFrame {
  int Left, Top, Width, Height;
  bool Interlaced;
  std::vector<GifColorType> Colours;
  std::vector<std::vector<GifPixelType>> Rows;
};

int WriteToVector(GifFileType* gif, const GifByteType* from, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), from, from + size);
  return size;
}

std::vector<uint8_t> WriteGif(int width, int height, std::vector<GifColorType> global, int background,
                              const std::vector<TGifFrame>& frames) {
  std::vector<uint8_t> out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
  EXPECT_NE(gif, nullptr);
  ColorMapObject* globalMap = GifMakeMapObject(static_cast<int>(global.size()), global.data());
  EGifPutScreenDesc(gif, width, height, 8, background, globalMap);
  GifFreeMapObject(globalMap);
  for (const TGifFrame& frame : frames) {
    // Index 3 is transparent in every frame.
    const GifByteType control[4] = {0x01, 0, 0, 3};
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
    ColorMapObject* local =
        frame.Colours.empty() ? nullptr : GifMakeMapObject(static_cast<int>(frame.Colours.size()), frame.Colours.data());
    EGifPutImageDesc(gif, frame.Left, frame.Top, frame.Width, frame.Height, frame.Interlaced, local);
    if (local != nullptr) GifFreeMapObject(local);
    // An interlaced frame's rows go out pass by pass.
    const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < (frame.Interlaced ? 4 : 1); ++pass) {
      for (int y = frame.Interlaced ? starts[pass] : 0; y < frame.Height; y += frame.Interlaced ? steps[pass] : 1) {
        std::vector<GifPixelType> row = frame.Rows[static_cast<size_t>(y)];
        EGifPutLine(gif, row.data(), frame.Width);
      }
    }
  }
  EGifCloseFile(gif, &error);
  return out;
}

TEST_F(ImageCodecs, DecodesTheFirstFrameOfAGif) {
  const std::vector<GifColorType> global = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  const std::vector<GifColorType> local = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {100, 110, 120}};
  // First frame: 5 x 10 at (2, 1) of a 9 x 12 screen, interlaced, its own table, index
  // (x + y) % 4; second frame: all index 1. (Each frame has a table of its own: giflib's
  // writer leaks a frame's table when the next has none.)
  TGifFrame first{2, 1, 5, 10, true, local, {}};
  for (int y = 0; y < 10; ++y) {
    first.Rows.emplace_back();
    for (int x = 0; x < 5; ++x) first.Rows.back().push_back(static_cast<GifPixelType>((x + y) % 4));
  }
  const TGifFrame second{0, 0, 9, 12, false, global, std::vector<std::vector<GifPixelType>>(12, std::vector<GifPixelType>(9, 1))};
  const std::vector<uint8_t> gif = WriteGif(9, 12, global, 2, {first, second});
  quill::WriteBytes(Path("picture.jpg"), gif);  // found by its content

  TZelLTBitmap image;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  ASSERT_TRUE(quill::LoadImageFile(Path("picture.jpg"), image, format, metadata));
  EXPECT_EQ(format, quill::TImageRawFormat::Gif);
  ASSERT_EQ(image.GetWidth(), 9);
  ASSERT_EQ(image.GetHeight(), 12);
  auto colour = [&image](int x, int y) {
    const uint8_t* p = image.GetPixels().GetPixelAddress(x, y);
    return std::vector<int>{p[2], p[1], p[0]};
  };
  EXPECT_EQ(colour(0, 0), (std::vector<int>{0, 255, 0}));     // outside the frame: the background
  EXPECT_EQ(colour(8, 11), (std::vector<int>{0, 255, 0}));
  // Frame pixel (x, y) has index (x + y) % 4; rows from each of the four passes.
  EXPECT_EQ(colour(2, 1), (std::vector<int>{10, 20, 30}));     // (0, 0)
  EXPECT_EQ(colour(3, 1), (std::vector<int>{40, 50, 60}));     // (1, 0)
  EXPECT_EQ(colour(6, 5), (std::vector<int>{10, 20, 30}));     // (4, 4)
  EXPECT_EQ(colour(2, 3), (std::vector<int>{70, 80, 90}));     // (0, 2)
  EXPECT_EQ(colour(5, 10), (std::vector<int>{10, 20, 30}));    // (3, 9)
  EXPECT_EQ(colour(3, 3), (std::vector<int>{100, 110, 120}));  // (1, 2): index 3, transparent, shows its colour

  quill::TImageFileInfo info;
  ASSERT_TRUE(quill::ReadImageFileInfo(Path("picture.jpg"), info));
  EXPECT_EQ(info.Format, quill::TImageRawFormat::Gif);
  EXPECT_EQ(info.Width, 9);
  QImage thumbnail;
  EXPECT_TRUE(quill::MakeThumbnail(Path("picture.jpg"), 18, 18, thumbnail));

  // A two-colour table still codes indices up to 3: those beyond it are black.
  const std::vector<uint8_t> beyond = WriteGif(2, 1, {{255, 255, 255}, {255, 0, 0}}, 0, {{0, 0, 2, 1, false, {}, {{1, 2}}}});
  ASSERT_TRUE(quill::DecodeImage(beyond, image, format, metadata));
  EXPECT_EQ(colour(0, 0), (std::vector<int>{255, 0, 0}));
  EXPECT_EQ(colour(1, 0), (std::vector<int>{0, 0, 0}));

  // A screen over the pixel budget is refused before anything is allocated; a cut file fails.
  std::vector<uint8_t> huge = gif;
  huge[6] = huge[7] = huge[8] = huge[9] = 0xFF;  // 65535 x 65535
  EXPECT_FALSE(quill::DecodeImage(huge, image, format, metadata));
  for (size_t size : {size_t{6}, size_t{13}, gif.size() / 3}) {
    EXPECT_FALSE(quill::DecodeImage(std::vector<uint8_t>(gif.begin(), gif.begin() + static_cast<std::ptrdiff_t>(size)), image,
                             format, metadata))
        << size;
    EXPECT_TRUE(image.IsEmpty());
  }
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
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  ASSERT_TRUE(quill::DecodeImage(rle, image, format, metadata));
  EXPECT_EQ(format, quill::TImageRawFormat::Bmp);
  EXPECT_EQ(image.GetPixels().GetPixelAddress(0, 1)[2], 255);  // bottom row, red
  EXPECT_EQ(image.GetPixels().GetPixelAddress(2, 1)[2], 0);
  EXPECT_EQ(image.GetPixels().GetPixelAddress(1, 0)[2], 255);  // top row, after a 0
  EXPECT_NEAR(metadata.HorizontalResolution, 72, 0.01);

  // RLE4, 3 x 1: an absolute run of three indices (1, 0, 1), padded to a word.
  std::vector<uint8_t> rle4 = BmpHeader(3, 1, 4, 2, 2, 54 + 8);
  rle4.insert(rle4.end(), {0, 0, 0, 0, 0, 0, 255, 0});
  rle4.insert(rle4.end(), {0, 3, 0x10, 0x10, 0, 1});
  ASSERT_TRUE(quill::DecodeImage(rle4, image, format, metadata));
  EXPECT_EQ(image.GetPixels().GetPixelAddress(0, 0)[2], 255);
  EXPECT_EQ(image.GetPixels().GetPixelAddress(1, 0)[2], 0);
  EXPECT_EQ(image.GetPixels().GetPixelAddress(2, 0)[2], 255);

  // 16-bit 5-6-5 bit fields, top-down 1 x 2: pure red above pure blue.
  std::vector<uint8_t> fields = BmpHeader(1, -2, 16, 3, 0, 54 + 12);
  fields.insert(fields.end(), {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0});
  fields.insert(fields.end(), {0x00, 0xF8, 0, 0, 0x1F, 0x00, 0, 0});
  ASSERT_TRUE(quill::DecodeImage(fields, image, format, metadata));
  EXPECT_EQ(image.GetPixels().GetPixelAddress(0, 0)[2], 255);
  EXPECT_EQ(image.GetPixels().GetPixelAddress(0, 1)[0], 255);

  // 1 bit a pixel, 9 x 1: the ninth pixel is in the second byte.
  std::vector<uint8_t> mono = BmpHeader(9, 1, 1, 0, 2, 54 + 8);
  mono.insert(mono.end(), {0, 0, 0, 0, 255, 255, 255, 0});
  mono.insert(mono.end(), {0x00, 0x80, 0, 0});
  ASSERT_TRUE(quill::DecodeImage(mono, image, format, metadata));
  EXPECT_EQ(image.GetPixels().GetPixelAddress(7, 0)[0], 0);
  EXPECT_EQ(image.GetPixels().GetPixelAddress(8, 0)[0], 255);
}

// A file whose pixels would come from its own headers or palette, or whose runs go
// past the picture, is refused; an index beyond a short palette is black.
TEST_F(ImageCodecs, BmpsThatPointIntoTheirHeadersOrRunPastThePictureAreRefused) {
  TZelLTBitmap image;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  const auto decodes = [&](const std::vector<uint8_t>& bytes) { return quill::DecodeImage(bytes, image, format, metadata); };

  // 24 bits, 2 x 2: the pixels offset at 54 read; at 30, inside the info header, not.
  std::vector<uint8_t> rgb = BmpHeader(2, 2, 24, 0, 0, 54);
  rgb.insert(rgb.end(), 16, 0x80);
  EXPECT_TRUE(decodes(rgb));
  std::vector<uint8_t> intoHeader = rgb;
  intoHeader[10] = 30;
  EXPECT_FALSE(decodes(intoHeader));
  EXPECT_TRUE(image.IsEmpty());

  // 8 bits with a palette of 4 entries (54..69): an offset of 62 points into it.
  std::vector<uint8_t> palette = BmpHeader(4, 1, 8, 0, 4, 70);
  palette.insert(palette.end(), {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 9, 9, 9, 0});
  palette.insert(palette.end(), {0, 1, 2, 7});  // index 7 lies beyond the palette
  ASSERT_TRUE(decodes(palette));
  EXPECT_EQ(image.GetPixels().GetPixelAddress(0, 0)[2], 255);
  EXPECT_EQ(image.GetPixels().GetPixelAddress(1, 0)[1], 255);
  EXPECT_EQ((std::vector<uint8_t>(image.GetPixels().GetPixelAddress(3, 0), image.GetPixels().GetPixelAddress(3, 0) + 3)),
            (std::vector<uint8_t>{0, 0, 0}));
  std::vector<uint8_t> intoPalette = palette;
  intoPalette[10] = 62;
  EXPECT_FALSE(decodes(intoPalette));

  // The old 12-byte header gives no colour count: its palette is what lies before the
  // pixels, here 2 entries of 3 bytes (26..31); before 26 the offset is in the header.
  std::vector<uint8_t> core = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0, 0, 12, 0, 0, 0, 2, 0, 1, 0, 1, 0, 8, 0};
  core.insert(core.end(), {0, 0, 255, 0, 255, 0});
  core.insert(core.end(), {1, 5, 0, 0});
  ASSERT_TRUE(decodes(core));
  EXPECT_EQ(image.GetPixels().GetPixelAddress(0, 0)[1], 255);
  EXPECT_EQ(image.GetPixels().GetPixelAddress(1, 0)[1], 0);  // beyond the 2 entries
  core[10] = 24;
  EXPECT_FALSE(decodes(core));

  // RLE8 and RLE4, 4 x 2: runs and literals that end at the right edge read; one more
  // pixel, in a run or a literal, goes past it.
  struct TRle {
    uint16_t Bits;
    uint32_t Compression;
    std::vector<uint8_t> Data;
    bool Fits;
  };
  const TRle runs[] = {
      {8, 1, {4, 1, 0, 0, 0, 4, 1, 0, 1, 0, 0, 1}, true},
      {8, 1, {5, 1, 0, 1}, false},
      {8, 1, {2, 1, 0, 3, 1, 1, 1, 0, 0, 1}, false},
      {8, 1, {0, 2, 3, 0, 2, 1, 0, 1}, false},  // a move to column 3, then two pixels
      {4, 2, {4, 0x10, 0, 0, 0, 4, 0x11, 0x11, 0, 1}, true},
      {4, 2, {5, 0x10, 0, 1}, false},
      {4, 2, {0, 5, 0x10, 0x10, 0x10, 0, 0, 1}, false},
  };
  for (const TRle& rle : runs) {
    std::vector<uint8_t> bytes = BmpHeader(4, 2, rle.Bits, rle.Compression, 2, 54 + 8);
    bytes.insert(bytes.end(), {0, 0, 0, 0, 0, 0, 255, 0});
    bytes.insert(bytes.end(), rle.Data.begin(), rle.Data.end());
    EXPECT_EQ(decodes(bytes), rle.Fits) << rle.Bits << " bits, " << rle.Data.size() << " bytes";
  }
}

// Bit-field channels are scaled to 8 bits rounded to nearest: (v * 255 + max / 2) / max,
// so that full and empty channels give 255 and 0 and the levels between land where the
// BMP suite's reference renderings put them.
TEST_F(ImageCodecs, BmpBitFieldsAreScaledWithRounding) {
  struct TCase {
    uint16_t Bits;
    std::vector<uint32_t> Masks;  // red, green, blue
    uint32_t Pixel;
    std::array<int, 3> Rgb;
  };
  const TCase cases[] = {
      {16, {0xF800, 0x07E0, 0x001F}, 3u << 11 | 32u << 5 | 31u, {25, 130, 255}},  // 24.7, 129.5, 255
      {16, {0x7C00, 0x03E0, 0x001F}, 1u << 10 | 16u << 5 | 0u, {8, 132, 0}},     // 8.2, 131.6, 0
      {32, {0x3FF00000, 0x000FFC00, 0x000003FF}, 513u << 20 | 2u << 10 | 1023u, {128, 0, 255}},
      {32, {0xFFFFFFFF, 0, 0}, 0xFFFFFFFF, {255, 0, 0}},  // a channel of all 32 bits
      {32, {0xFFFFFFFE, 0, 1}, 0x80000001, {128, 0, 255}},
  };
  for (const TCase& c : cases) {
    std::vector<uint8_t> bytes = BmpHeader(1, 1, c.Bits, 3, 0, 54 + 12);
    for (const uint32_t mask : c.Masks) {
      for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(mask >> (8 * i)));
    }
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(i < c.Bits / 8 ? c.Pixel >> (8 * i) : 0));
    TZelLTBitmap image;
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    ASSERT_TRUE(quill::DecodeImage(bytes, image, format, metadata)) << std::hex << c.Pixel;
    const uint8_t* p = image.GetPixels().GetPixelAddress(0, 0);
    EXPECT_EQ((std::array<int, 3>{p[2], p[1], p[0]}), c.Rgb) << std::hex << c.Pixel;
  }
}

// A BMP with a 124-byte (version 5) header: 2 x 1 pixels at 24 bits, then, when given,
// an embedded profile after the pixels.
std::vector<uint8_t> BmpV5(const std::vector<uint8_t>& profile, uint32_t profileAt = 0) {
  std::vector<uint8_t> d = {'B', 'M'};
  auto put = [&d](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) d.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  const uint32_t pixelsAt = 14 + 124;
  put(pixelsAt + 8 + static_cast<uint32_t>(profile.size()), 4), put(0, 4), put(pixelsAt, 4);
  put(124, 4), put(2, 4), put(1, 4), put(1, 2), put(24, 2), put(0, 4), put(8, 4), put(2835, 4), put(2835, 4);
  put(0, 4), put(0, 4);
  for (int i = 0; i < 4; ++i) put(0, 4);                   // masks
  put(profile.empty() ? 0x73524742 : 0x4D424544, 4);       // 'sRGB' or 'MBED'
  for (int i = 0; i < 12; ++i) put(0, 4);                  // end points, gamma
  put(4, 4);                                               // intent
  put(profile.empty() ? 0 : (profileAt != 0 ? profileAt : 124 + 8), 4);
  put(static_cast<uint32_t>(profile.size()), 4), put(0, 4);
  d.insert(d.end(), {10, 20, 30, 40, 50, 60, 0, 0});
  d.insert(d.end(), profile.begin(), profile.end());
  return d;
}

// A version 5 BMP's embedded profile is kept like a JPEG's or a PNG's: it travels into
// every format, BMP included; a profile that lies outside the file is left out.
TEST_F(ImageCodecs, BmpEmbeddedProfileTravelsThroughEveryFormat) {
  const std::vector<uint8_t> profile = quill::MakeIccProfile("Quillmere wide RGB", "RGB ", 300);
  TZelLTBitmap image;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  ASSERT_TRUE(quill::DecodeImage(BmpV5(profile), image, format, metadata));
  EXPECT_EQ(image.GetPixels().GetPixelAddress(1, 0)[2], 60);
  const quill::TImagePropertyItem* item = quill::FindProperty(metadata.Items, quill::kPropertyIccProfile);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->Value, profile);

  for (const char* mime : {"image/jpeg", "image/png", "image/tiff", "image/bmp"}) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(quill::EncodeImage(image.GetPixels(), mime, 90, metadata, bytes)) << mime;
    TZelLTBitmap again;
    quill::TImageMetadata back;
    ASSERT_TRUE(quill::DecodeImage(bytes, again, format, back)) << mime;
    item = quill::FindProperty(back.Items, quill::kPropertyIccProfile);
    ASSERT_NE(item, nullptr) << mime;
    EXPECT_EQ(item->Value, profile) << mime;
  }
  // Without a profile a BMP keeps the plain 40-byte header.
  std::vector<uint8_t> plain;
  ASSERT_TRUE(quill::EncodeImage(image.GetPixels(), "image/bmp", -1, {}, plain));
  EXPECT_EQ(plain[14], 40);

  // A profile that runs out of the file is left out; the picture reads.
  for (const uint32_t at : {uint32_t{124 + 8 + 1}, uint32_t{0xFFFFFF00}}) {
    ASSERT_TRUE(quill::DecodeImage(BmpV5(profile, at), image, format, metadata)) << at;
    EXPECT_EQ(quill::FindProperty(metadata.Items, quill::kPropertyIccProfile), nullptr) << at;
  }
}

TEST_F(ImageCodecs, DecodesGreyAndProgressiveJpegs) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 50, 34);
  quill::WriteLibJpeg(Path("grey.jpg"), picture.GetPixels(), 1, 1, false, true);
  quill::WriteLibJpeg(Path("progressive.jpg"), picture.GetPixels(), 2, 2, true);
  TZelLTBitmap image;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  ASSERT_TRUE(quill::LoadImageFile(Path("grey.jpg"), image, format, metadata));
  const uint8_t* p = image.GetPixels().GetPixelAddress(20, 20);
  EXPECT_EQ(p[0], p[1]);
  EXPECT_EQ(p[1], p[2]);
  ASSERT_TRUE(quill::LoadImageFile(Path("progressive.jpg"), image, format, metadata));
  EXPECT_LT(quill::MeanDifference(image.GetPixels(), picture.GetPixels()), 4.0);
  ASSERT_TRUE(quill::LoadImageFile(fs::path(QUILL_TEST_DATA_DIR) / "rocket.jpg", image, format, metadata));
  EXPECT_EQ(image.GetWidth(), 640);
  EXPECT_EQ(image.GetHeight(), 427);
  EXPECT_DOUBLE_EQ(metadata.HorizontalResolution, 72);
}

TEST_F(ImageCodecs, DamagedOrOversizedFilesFailCleanly) {
  const std::vector<uint8_t> jpeg = quill::FileBytes(fs::path(QUILL_TEST_DATA_DIR) / "rocket.jpg");
  TZelLTBitmap picture;
  quill::MakePicture(picture, 30, 20);
  std::vector<uint8_t> png, bmp, tiff;
  ASSERT_TRUE(quill::EncodeImage(picture.GetPixels(), "image/png", -1, {}, png));
  ASSERT_TRUE(quill::EncodeImage(picture.GetPixels(), "image/bmp", -1, {}, bmp));
  ASSERT_TRUE(quill::EncodeImage(picture.GetPixels(), "image/tiff", -1, {}, tiff));
  TZelLTBitmap image;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  // Every truncation of every format fails, leaving no image behind.
  for (const std::vector<uint8_t>* whole : std::vector<const std::vector<uint8_t>*>{&jpeg, &png, &bmp, &tiff}) {
    for (size_t size : {size_t{0}, size_t{2}, size_t{20}, whole->size() / 2, whole->size() - 3}) {
      const std::vector<uint8_t> cut(whole->begin(), whole->begin() + static_cast<std::ptrdiff_t>(size));
      EXPECT_FALSE(quill::DecodeImage(cut, image, format, metadata)) << size;
      EXPECT_TRUE(image.IsEmpty());
    }
  }
  // Sides beyond 65535 from the headers: PNG's IHDR width, BMP's width.
  std::vector<uint8_t> widePng = png;
  widePng[16] = 0, widePng[17] = 1, widePng[18] = 0, widePng[19] = 0;  // 65536 (CRC now wrong too)
  EXPECT_FALSE(quill::DecodeImage(widePng, image, format, metadata));
  std::vector<uint8_t> wideBmp = bmp;
  wideBmp[18] = 0, wideBmp[19] = 0, wideBmp[20] = 1, wideBmp[21] = 0;  // 65536
  EXPECT_FALSE(quill::DecodeImage(wideBmp, image, format, metadata));
  std::vector<uint8_t> hugeBmp = bmp;  // 60000 x 60000: within the side limit, over the pixel budget
  hugeBmp[18] = 0x60, hugeBmp[19] = 0xEA, hugeBmp[22] = 0x60, hugeBmp[23] = 0xEA;
  EXPECT_FALSE(quill::DecodeImage(hugeBmp, image, format, metadata));
  EXPECT_FALSE(quill::DecodeImage(std::vector<uint8_t>(100, 0x42), image, format, metadata));
  EXPECT_EQ(format, quill::TImageRawFormat::Unknown);
}

// A file that does not load says why: the command-line drivers turn the reason into
// their message.
TEST_F(ImageCodecs, LoadFailuresSayWhy) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 30, 20);
  std::vector<uint8_t> png, bmp;
  ASSERT_TRUE(quill::EncodeImage(picture.GetPixels(), "image/png", -1, {}, png));
  ASSERT_TRUE(quill::EncodeImage(picture.GetPixels(), "image/bmp", -1, {}, bmp));
  std::vector<uint8_t> widePng = png;  // IHDR width 65536, its CRC made right again
  widePng[17] = 1, widePng[18] = 0, widePng[19] = 0;
  const uint32_t crc = static_cast<uint32_t>(crc32(0, widePng.data() + 12, 17));
  for (int i = 0; i < 4; ++i) widePng[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  std::vector<uint8_t> hugeBmp = bmp;  // 60000 x 60000: over the pixel budget
  hugeBmp[18] = 0x60, hugeBmp[19] = 0xEA, hugeBmp[22] = 0x60, hugeBmp[23] = 0xEA;
  const std::vector<uint8_t> cutPng(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2));
  const std::string text = "just some text, not an image";
  const std::pair<const char*, std::vector<uint8_t>> files[] = {
      {"text.png", {text.begin(), text.end()}}, {"wide.png", widePng}, {"huge.bmp", hugeBmp}, {"cut.png", cutPng}};
  for (const auto& [name, bytes] : files) ASSERT_TRUE(quill::WriteFileReplacing(Path(name), bytes));

  const std::pair<fs::path, quill::TImageLoadFailure> cases[] = {
      {Path("missing.png"), quill::TImageLoadFailure::CannotRead}, {folder_, quill::TImageLoadFailure::CannotRead},
      {Path("text.png"), quill::TImageLoadFailure::UnknownFormat}, {Path("wide.png"), quill::TImageLoadFailure::TooLarge},
      {Path("huge.bmp"), quill::TImageLoadFailure::TooLarge},      {Path("cut.png"), quill::TImageLoadFailure::Damaged}};
  TZelLTBitmap image;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  for (const auto& [fileName, why] : cases) {
    quill::TImageLoadFailure failure = quill::TImageLoadFailure::None;
    EXPECT_FALSE(quill::LoadImageFile(fileName, image, format, metadata, failure)) << fileName;
    EXPECT_EQ(failure, why) << fileName;
    EXPECT_TRUE(image.IsEmpty());
  }
  ASSERT_TRUE(quill::WriteFileReplacing(Path("good.png"), png));
  quill::TImageLoadFailure failure = quill::TImageLoadFailure::Damaged;
  EXPECT_TRUE(quill::LoadImageFile(Path("good.png"), image, format, metadata, failure));
  EXPECT_EQ(failure, quill::TImageLoadFailure::None);
}

TEST_F(ImageCodecs, DocumentHeaderIsInvertedInMemoryOnly) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 20, 20);
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(quill::EncodeImage(picture.GetPixels(), "image/jpeg", 100, {}, jpeg));
  EXPECT_TRUE(quill::IsJpegHeader(std::span<const uint8_t, 16>(jpeg.data(), 16)));
  const std::vector<uint8_t> plain = jpeg;
  EXPECT_FALSE(RestoreZliHeader(jpeg));  // a plain JPEG is no document file
  EXPECT_EQ(jpeg, plain);
  ASSERT_TRUE(InvertZliHeader(jpeg));
  EXPECT_EQ(jpeg[0], 0x00);
  EXPECT_EQ(quill::DetectImageFormat(jpeg), quill::TImageRawFormat::Unknown);
  EXPECT_FALSE(InvertZliHeader(jpeg));  // inverted bytes fail the test
  ASSERT_TRUE(RestoreZliHeader(jpeg));
  EXPECT_EQ(jpeg, plain);
  std::vector<uint8_t> sixteen(plain.begin(), plain.begin() + 16);
  EXPECT_FALSE(InvertZliHeader(sixteen));  // exactly 16 bytes never counts
}

TEST_F(ImageCodecs, SavingReplacesTheFileWholeAndRefusesReadOnlyTargets) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 12, 12);
  quill::WriteBytes(Path("old.png"), {1, 2, 3});
  ASSERT_TRUE(quill::SaveImageFile(Path("old.png"), picture.GetPixels(), "image/png", -1, {}));
  TZelLTBitmap image;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  ASSERT_TRUE(quill::LoadImageFile(Path("old.png"), image, format, metadata));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);  // no temporary left
  EXPECT_FALSE(quill::SaveImageFile(Path("missing/new.png"), picture.GetPixels(), "image/png", -1, {}));
  EXPECT_FALSE(quill::SaveImageFile(folder_, picture.GetPixels(), "image/png", -1, {}));  // a folder
  // Read-only by its mode bits (no write bit for anyone): refused for root too.
  quill::WriteBytes(Path("locked.png"), {7});
  fs::permissions(Path("locked.png"), fs::perms::owner_read | fs::perms::group_read);
  EXPECT_FALSE(quill::SaveImageFile(Path("locked.png"), picture.GetPixels(), "image/png", -1, {}));
  EXPECT_EQ(quill::FileBytes(Path("locked.png")), std::vector<uint8_t>{7});
}

// Every refusal and failure of a replacement says why, and leaves the old file whole
// with no temporary file beside it. A file system that takes no more is a file size
// limit: the write fails part-way.
TEST_F(ImageCodecs, AFailedReplacementSaysWhyAndLeavesTheOldFileWhole) {
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  const std::vector<uint8_t> data(64 * 1024, 0x5A);
  const auto files = [this] { return std::distance(fs::directory_iterator(folder_), fs::directory_iterator()); };
  quill::WriteBytes(Path("photo.jpg"), old);
  quill::TFileWriteFailure failure;
  {
    const quill::FileSizeLimit full(16 * 1024);
    EXPECT_FALSE(quill::WriteFileReplacing(Path("photo.jpg"), data, failure));
  }
  EXPECT_EQ(failure.Error, EFBIG);
  EXPECT_FALSE(failure.ReadOnly);
  EXPECT_EQ(quill::FileBytes(Path("photo.jpg")), old);
  EXPECT_EQ(files(), 1);

  // Read-only by its mode bits: a reason of its own, for root too.
  fs::permissions(Path("photo.jpg"), fs::perms::owner_read);
  EXPECT_FALSE(quill::WriteFileReplacing(Path("photo.jpg"), data, failure));
  EXPECT_TRUE(failure.ReadOnly);
  EXPECT_EQ(failure.Error, 0);
  EXPECT_EQ(quill::FileBytes(Path("photo.jpg")), old);

  EXPECT_FALSE(quill::WriteFileReplacing(Path("missing/new.jpg"), data, failure));
  EXPECT_EQ(failure.Error, ENOENT);
  EXPECT_FALSE(quill::WriteFileReplacing(folder_, data, failure));
  EXPECT_EQ(failure.Error, EISDIR);
  fs::create_symlink("loop-b.jpg", Path("loop-a.jpg"));
  fs::create_symlink("loop-a.jpg", Path("loop-b.jpg"));
  EXPECT_FALSE(quill::WriteFileReplacing(Path("loop-a.jpg"), data, failure));
  EXPECT_EQ(failure.Error, ELOOP);
  ASSERT_EQ(::mkfifo(Path("pipe.jpg").c_str(), 0600), 0);
  EXPECT_FALSE(quill::WriteFileReplacing(Path("pipe.jpg"), data, failure));
  EXPECT_EQ(failure.Error, 0);  // the system gives no reason for a named pipe
  EXPECT_FALSE(failure.ReadOnly);
  if (::geteuid() != 0) {  // root writes into any folder
    fs::create_directory(Path("closed"));
    fs::permissions(Path("closed"), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(quill::WriteFileReplacing(Path("closed/new.jpg"), data, failure));
    EXPECT_EQ(failure.Error, EACCES);
    fs::permissions(Path("closed"), fs::perms::owner_all);
  }

  // A success clears the reason.
  ASSERT_TRUE(quill::WriteFileReplacing(Path("new.jpg"), data, failure));
  EXPECT_EQ(failure.Error, 0);
  EXPECT_FALSE(failure.ReadOnly);
  EXPECT_EQ(quill::FileBytes(Path("new.jpg")), data);
}

TEST_F(ImageCodecs, SavingThroughASymbolicLinkReplacesItsTarget) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 12, 12);
  const fs::path target = Path("photos/target.png");
  fs::create_directory(Path("photos"));
  quill::WriteBytes(target, {1, 2, 3});
  const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read;
  fs::permissions(target, mode);
  fs::create_symlink("photos/target.png", Path("link.png"));  // relative to the link's folder
  fs::create_symlink(Path("link.png"), Path("chain.png"));    // a link to the link
  ASSERT_TRUE(quill::SaveImageFile(Path("chain.png"), picture.GetPixels(), "image/png", -1, {}));
  EXPECT_TRUE(fs::is_symlink(Path("chain.png")));
  EXPECT_TRUE(fs::is_symlink(Path("link.png")));
  TZelLTBitmap image;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  ASSERT_TRUE(quill::LoadImageFile(target, image, format, metadata));
  EXPECT_TRUE(quill::SamePixels(image.GetPixels(), picture.GetPixels()));
  EXPECT_EQ(fs::status(target).permissions(), mode);
  // The temporary file went beside the target and is gone.
  EXPECT_EQ(std::distance(fs::directory_iterator(Path("photos")), fs::directory_iterator()), 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 3);

  // A read-only target is refused through its link; a loop of links is refused.
  fs::permissions(target, fs::perms::owner_read);
  const std::vector<uint8_t> saved = quill::FileBytes(target);
  EXPECT_FALSE(quill::SaveImageFile(Path("link.png"), picture.GetPixels(), "image/bmp", -1, {}));
  EXPECT_EQ(quill::FileBytes(target), saved);
  fs::create_symlink("loop-b.png", Path("loop-a.png"));
  fs::create_symlink("loop-a.png", Path("loop-b.png"));
  EXPECT_FALSE(quill::SaveImageFile(Path("loop-a.png"), picture.GetPixels(), "image/png", -1, {}));
  EXPECT_TRUE(fs::is_symlink(Path("loop-a.png")));
}

TEST_F(ImageCodecs, ANamedPipeIsRefusedWithoutWaitingForAWriter) {
  ASSERT_EQ(::mkfifo(Path("pipe.jpg").c_str(), 0600), 0);
  // Should an open wait for a writer, the watchdog ends the test as a failure.
  ::alarm(60);
  std::vector<uint8_t> data;
  EXPECT_FALSE(quill::ReadFileBytes(Path("pipe.jpg"), data));
  TZelLTBitmap image;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  EXPECT_FALSE(quill::LoadImageFile(Path("pipe.jpg"), image, format, metadata));
  quill::TImageFileInfo info;
  EXPECT_FALSE(quill::ReadImageFileInfo(Path("pipe.jpg"), info));
  QImage thumbnail;
  EXPECT_FALSE(quill::MakeThumbnail(Path("pipe.jpg"), 100, 100, thumbnail));
  ::alarm(0);
}

TEST_F(ImageCodecs, FileInformationAndDescription) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 640, 480);
  ASSERT_TRUE(quill::SaveImageFile(Path("plain.png"), picture.GetPixels(), "image/png", -1, {}));
  quill::TImageFileInfo info;
  ASSERT_TRUE(quill::ReadImageFileInfo(Path("plain.png"), info));
  const quill::TImageDescriptionLabels labels{"Type", "Size", "Date", "Camera"};
  EXPECT_EQ(BuildImageDescription(info, labels), QString("Type: PNG\nSize: 640 x 480"));

  quill::TImageMetadata metadata;
  metadata.Items = quill::SampleProperties();
  ASSERT_TRUE(quill::SaveImageFile(Path("camera.jpg"), picture.GetPixels(), "image/jpeg", 80, metadata));
  ASSERT_TRUE(quill::ReadImageFileInfo(Path("camera.jpg"), info));
  EXPECT_EQ(BuildImageDescription(info, labels),
            QString("Type: JPEG\nSize: 640 x 480\nDate: 2024:05:06 07:08:09\nCamera: Quillmere Optics QM-1"));
  info.Format = quill::TImageRawFormat::Unknown;
  EXPECT_TRUE(BuildImageDescription(info, labels).startsWith('\n'));
  EXPECT_FALSE(quill::ReadImageFileInfo(Path("none.png"), info));
}

TEST_F(ImageCodecs, ThumbnailsFitTheBoxFromAnyThread) {
  TZelLTBitmap small, large;
  quill::MakePicture(small, 100, 50);
  quill::MakePicture(large, 1600, 1200);
  ASSERT_TRUE(quill::SaveImageFile(Path("small.bmp"), small.GetPixels(), "image/bmp", -1, {}));
  ASSERT_TRUE(quill::SaveImageFile(Path("large.jpg"), large.GetPixels(), "image/jpeg", 90, {}));
  QImage thumbnail;
  ASSERT_TRUE(quill::MakeThumbnail(Path("small.bmp"), 200, 200, thumbnail));
  EXPECT_EQ(thumbnail.size(), QSize(200, 100));  // enlarged to the box
  EXPECT_FALSE(quill::MakeThumbnail(Path("small.bmp"), 0, 200, thumbnail));
  // The preview thread and the main thread make thumbnails at the same time.
  QImage results[4];
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] { quill::MakeThumbnail(Path(i % 2 ? "large.jpg" : "small.bmp"), 200, 200, results[i]); });
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

// quill-fuzz-seeds OUT: writes small valid inputs for every fuzz target into
// OUT/<target>/, the start of each fuzzer's corpus and inputs the replay tests run.
//
// The images are small synthetic pictures in the variants the decoders handle (JPEG
// sampling, progressive, grey, CMYK, arithmetic coding; PNG colour types, depths and
// interlacing; TIFF strips, tiles, compressions, byte orders; BMP depths, RLE, bit
// fields), written with the libraries directly or with our own encoders, most with EXIF
// items. The settings files are what the program's modules save.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include <QBuffer>

#include "ExchangeFile.h"
#include "FuzzSupport.h"
#include "ImageCodecs.h"
#include "MainForm.h"
#include "ZelSDFWriter.h"
#include "ZelToolPanelModule.h"

namespace {

using quill::fuzz::Check;
using TBytes = std::vector<uint8_t>;

std::filesystem::path outFolder;

void Write(const std::string& target, const std::string& name, const TBytes& bytes) {
  const std::filesystem::path folder = outFolder / target;
  std::filesystem::create_directories(folder);
  std::ofstream file(folder / name, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  Check(file.good(), "cannot write a seed");
}

// An image seed goes to the target of its format and to the by-content targets.
void WriteImage(const std::string& format, const std::string& name, const TBytes& bytes) {
  Write(format, name, bytes);
  Write("image", format + "-" + name, bytes);
  Write("describe", format + "-" + name, bytes);
}

TBytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return TBytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// B, G, R rows without padding: gradients and a bright bar, so that every block has
// detail and the colour channels differ.
TBytes Picture(int width, int height) {
  TBytes bgr(size_t(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &bgr[(size_t(y) * width + x) * 3];
      const bool bar = x % 11 < 2;
      p[0] = static_cast<uint8_t>(bar ? 240 : x * 255 / std::max(1, width - 1));
      p[1] = static_cast<uint8_t>(bar ? 240 : y * 255 / std::max(1, height - 1));
      p[2] = static_cast<uint8_t>((x * 7 + y * 13) & 0xFF);
    }
  }
  return bgr;
}

void PictureBitmap(TZelLTBitmap& image, int width, int height) {
  Check(image.SetSize(width, height, quill::kPixelFormat24), "cannot make a picture");
  const TBytes bgr = Picture(width, height);
  for (int y = 0; y < height; ++y) {
    std::memcpy(image.GetPixels().GetScanLine(0, y), &bgr[size_t(y) * width * 3], size_t(width) * 3);
  }
}

void AddItem(quill::TImagePropertyList& items, uint32_t id, uint16_t type, const TBytes& value) {
  quill::SetProperty(items, {id, type, value});
}

TBytes Text(const char* text) { return TBytes(text, text + std::strlen(text) + 1); }

// Items of every directory: IFD0 text and resolution, an EXIF date and maker note, GPS
// and interoperability entries.
quill::TImagePropertyList SampleItems() {
  quill::TImagePropertyList items;
  AddItem(items, quill::kPropertyMake, quill::kTiffAscii, Text("Quill"));
  AddItem(items, quill::kPropertyModel, quill::kTiffAscii, Text("Seed 1"));
  AddItem(items, quill::kPropertyDateTime, quill::kTiffAscii, Text("2024:05:06 07:08:09"));
  AddItem(items, quill::kPropertyXResolution, quill::kTiffRational, {72, 0, 0, 0, 1, 0, 0, 0});
  AddItem(items, quill::kPropertyYResolution, quill::kTiffRational, {72, 0, 0, 0, 1, 0, 0, 0});
  AddItem(items, quill::kPropertyResolutionUnit, quill::kTiffShort, {2, 0});
  AddItem(items, quill::kPropertyExif | 0x9003, quill::kTiffAscii, Text("2024:05:06 07:08:09"));
  AddItem(items, quill::kPropertyExif | 0x927C, quill::kTiffUndefined, {'N', 'o', 't', 'e', 0, 1, 2, 3, 4, 5, 6, 7});
  AddItem(items, quill::kPropertyGps | 0x0001, quill::kTiffAscii, {'N', 0});
  AddItem(items, quill::kPropertyGps | 0x0002, quill::kTiffRational,
          {48, 0, 0, 0, 1, 0, 0, 0, 30, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0});
  AddItem(items, quill::kPropertyInterop | 0x0001, quill::kTiffAscii, Text("R98"));
  return items;
}

// ---- JPEG ----

struct TJpegVariant {
  int H = 1, V = 1;  // luma sampling
  bool Progressive = false;
  bool Grey = false;
  bool Cmyk = false;
  bool Arithmetic = false;
  int Restart = 0;  // restart interval in MCUs, 0 for none
  bool Exif = false;
};

TBytes WriteJpeg(int width, int height, const TJpegVariant& v) {
  jpeg_compress_struct c;
  jpeg_error_mgr error;
  c.err = jpeg_std_error(&error);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = v.Cmyk ? 4 : 3;
  c.in_color_space = v.Cmyk ? JCS_CMYK : JCS_EXT_BGR;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 85, TRUE);
  if (v.Grey) jpeg_set_colorspace(&c, JCS_GRAYSCALE);
  if (!v.Grey && !v.Cmyk) {
    c.comp_info[0].h_samp_factor = v.H;
    c.comp_info[0].v_samp_factor = v.V;
  }
  if (v.Progressive) jpeg_simple_progression(&c);
  c.arith_code = v.Arithmetic ? TRUE : FALSE;
  c.restart_interval = static_cast<unsigned int>(v.Restart);
  jpeg_start_compress(&c, TRUE);
  if (v.Exif) {
    TBytes segment = {'E', 'x', 'i', 'f', 0, 0};
    const TBytes body = quill::BuildExifData(SampleItems());
    segment.insert(segment.end(), body.begin(), body.end());
    jpeg_write_marker(&c, JPEG_APP0 + 1, segment.data(), static_cast<unsigned int>(segment.size()));
  }
  const TBytes bgr = Picture(width, height);
  TBytes row(size_t(width) * 4);
  while (c.next_scanline < c.image_height) {
    const uint8_t* from = &bgr[size_t(c.next_scanline) * width * 3];
    if (v.Cmyk) {
      for (int x = 0; x < width; ++x) {
        for (int k = 0; k < 3; ++k) row[size_t(x) * 4 + k] = static_cast<uint8_t>(255 - from[x * 3 + 2 - k]);
        row[size_t(x) * 4 + 3] = static_cast<uint8_t>(x * 9);
      }
    } else {
      std::memcpy(row.data(), from, size_t(width) * 3);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  TBytes bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

// Jpeg with its first quantisation table (8-bit, table 0) written with 16-bit precision,
// its first 16 quantisers (zigzag order) kept and the others 8200, 32768 and 56064 in
// turn: beyond what libjpeg's forward DCT divides by.
TBytes WithWideTable(TBytes jpeg) {
  for (size_t at = 2; at + 4 + 65 <= jpeg.size(); ++at) {
    if (jpeg[at] != 0xFF || jpeg[at + 1] != 0xDB || jpeg[at + 2] != 0 || jpeg[at + 3] != 0x43 || jpeg[at + 4] != 0) {
      continue;
    }
    TBytes segment = {0xFF, 0xDB, 0, 2 + 1 + 128, 0x10};
    for (int k = 0; k < 64; ++k) {
      static constexpr uint16_t kWide[] = {8200, 32768, 56064};
      const uint16_t q = k < 16 ? jpeg[at + 5 + k] : kWide[k % 3];
      segment.insert(segment.end(), {static_cast<uint8_t>(q >> 8), static_cast<uint8_t>(q)});
    }
    jpeg.erase(jpeg.begin() + static_cast<std::ptrdiff_t>(at), jpeg.begin() + static_cast<std::ptrdiff_t>(at + 4 + 65));
    jpeg.insert(jpeg.begin() + static_cast<std::ptrdiff_t>(at), segment.begin(), segment.end());
    return jpeg;
  }
  Check(false, "no 8-bit quantisation table to widen");
  return jpeg;
}

// The JPEGs the lossless editor loads: grey and YCbCr, sequential and progressive, and
// one with a 16-bit table.
std::vector<std::pair<std::string, TBytes>> LosslessSources() {
  TJpegVariant plain, subsampled, grey, progressive;
  subsampled.H = subsampled.V = 2;
  subsampled.Exif = true;
  grey.Grey = true;
  progressive.H = 2;
  progressive.Progressive = true;
  progressive.Restart = 2;
  return {{"444-16x16", WriteJpeg(16, 16, plain)},
          {"420-33x17", WriteJpeg(33, 17, subsampled)},
          {"grey-24x40", WriteJpeg(24, 40, grey)},
          {"422-progressive-40x24", WriteJpeg(40, 24, progressive)},
          {"444-16bit-table-16x16", WithWideTable(WriteJpeg(16, 16, plain))}};
}

void MakeJpegSeeds() {
  struct TCase {
    const char* Name;
    int Width, Height;
    TJpegVariant Variant;
  };
  const TCase cases[] = {
      {"444.jpg", 16, 16, {}},
      {"420-exif.jpg", 33, 17, {.H = 2, .V = 2, .Exif = true}},
      {"422-progressive.jpg", 40, 24, {.H = 2, .Progressive = true}},
      {"grey.jpg", 24, 40, {.Grey = true}},
      {"cmyk.jpg", 12, 9, {.Cmyk = true}},
      {"arithmetic.jpg", 17, 11, {.H = 2, .V = 2, .Arithmetic = true}},
      {"restart.jpg", 48, 16, {.H = 2, .V = 1, .Restart = 1}},
      {"1x1.jpg", 1, 1, {}},
  };
  for (const TCase& c : cases) WriteImage("jpeg", c.Name, WriteJpeg(c.Width, c.Height, c.Variant));
}

// ---- PNG ----

struct TPngVariant {
  int ColourType = PNG_COLOR_TYPE_RGB;
  int Depth = 8;
  bool Interlaced = false;
};

void WriteToVector(png_structp png, png_bytep data, size_t size) {
  auto* out = static_cast<TBytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}

TBytes WritePngVariant(int width, int height, const TPngVariant& v) {
  TBytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  Check(png != nullptr && info != nullptr && setjmp(png_jmpbuf(png)) == 0, "libpng failed");
  png_set_write_fn(png, &out, WriteToVector, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), v.Depth, v.ColourType,
               v.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  const int colours = 1 << std::min(v.Depth, 8);
  std::vector<png_color> palette(static_cast<size_t>(colours));
  std::vector<png_byte> alpha(static_cast<size_t>(colours));
  if (v.ColourType == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i < colours; ++i) {
      palette[size_t(i)] = {static_cast<png_byte>(i * 37), static_cast<png_byte>(255 - i * 5),
                            static_cast<png_byte>(i * 3)};
      alpha[size_t(i)] = static_cast<png_byte>(255 - i);
    }
    png_set_PLTE(png, info, palette.data(), colours);
    png_set_tRNS(png, info, alpha.data(), colours, nullptr);
  }
  png_write_info(png, info);
  const int channels = v.ColourType == PNG_COLOR_TYPE_RGB ? 3
                       : v.ColourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                       : v.ColourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                   : 1;
  const size_t rowBytes = (size_t(width) * channels * v.Depth + 7) / 8;
  std::vector<TBytes> rows(static_cast<size_t>(height), TBytes(rowBytes));
  std::vector<png_bytep> pointers;
  for (int y = 0; y < height; ++y) {
    for (size_t i = 0; i < rowBytes; ++i) rows[size_t(y)][i] = static_cast<uint8_t>(i * 29 + y * 17);
    pointers.push_back(rows[size_t(y)].data());
  }
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

void MakePngSeeds() {
  struct TCase {
    const char* Name;
    TPngVariant Variant;
  };
  const TCase cases[] = {
      {"rgb8.png", {}},
      {"rgba16.png", {PNG_COLOR_TYPE_RGB_ALPHA, 16}},
      {"grey1.png", {PNG_COLOR_TYPE_GRAY, 1}},
      {"grey16-interlaced.png", {PNG_COLOR_TYPE_GRAY, 16, true}},
      {"grey-alpha8.png", {PNG_COLOR_TYPE_GRAY_ALPHA, 8}},
      {"palette4.png", {PNG_COLOR_TYPE_PALETTE, 4}},
      {"palette8-interlaced.png", {PNG_COLOR_TYPE_PALETTE, 8, true}},
  };
  for (const TCase& c : cases) WriteImage("png", c.Name, WritePngVariant(13, 7, c.Variant));
}

// ---- TIFF ----

struct TTiffVariant {
  const char* Mode = "w";  // "wb" big-endian
  int Samples = 3;
  int Depth = 8;
  int Compression = COMPRESSION_NONE;
  int Predictor = 1;
  bool Tiled = false;
  bool Separate = false;
  bool Palette = false;
  uint16_t Alpha = EXTRASAMPLE_UNASSALPHA;  // the kind of the fourth sample
  uint16_t Orientation = ORIENTATION_TOPLEFT;
};

TBytes WriteTiffVariant(int width, int height, const TTiffVariant& v) {
  const std::filesystem::path path = quill::fuzz::ScratchFolder() / "seed.tif";
  TIFF* tiff = TIFFOpen(path.c_str(), v.Mode);
  Check(tiff != nullptr, "libtiff cannot write");
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, v.Samples);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, v.Depth);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, v.Compression);
  if (v.Predictor != 1) TIFFSetField(tiff, TIFFTAG_PREDICTOR, v.Predictor);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, v.Separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
               v.Palette ? PHOTOMETRIC_PALETTE : v.Samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tiff, TIFFTAG_MAKE, "Quill");
  TIFFSetField(tiff, TIFFTAG_ORIENTATION, v.Orientation);
  std::vector<uint16_t> map(size_t{1} << v.Depth);
  if (v.Palette) {
    for (size_t i = 0; i < map.size(); ++i) map[i] = static_cast<uint16_t>(i * 4099);
    TIFFSetField(tiff, TIFFTAG_COLORMAP, map.data(), map.data(), map.data());
  }
  if (v.Samples == 4) {
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &v.Alpha);
  }
  const int planes = v.Separate ? v.Samples : 1;
  const int perPixel = v.Separate ? 1 : v.Samples;
  if (v.Tiled) {
    TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
    TBytes tile(TIFFTileSize(tiff));
    for (int plane = 0; plane < planes; ++plane) {
      for (int y = 0; y < height; y += 16) {
        for (int x = 0; x < width; x += 16) {
          for (size_t i = 0; i < tile.size(); ++i) tile[i] = static_cast<uint8_t>(i * 7 + x + y + plane * 50);
          TIFFWriteTile(tiff, tile.data(), x, y, 0, static_cast<uint16_t>(plane));
        }
      }
    }
  } else {
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 3);
    TBytes row((size_t(width) * perPixel * v.Depth + 7) / 8);
    for (int plane = 0; plane < planes; ++plane) {
      for (int y = 0; y < height; ++y) {
        for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(i * 11 + y * 5 + plane * 70);
        TIFFWriteScanline(tiff, row.data(), static_cast<uint32_t>(y), static_cast<uint16_t>(plane));
      }
    }
  }
  TIFFClose(tiff);
  return ReadBytes(path);
}

void MakeTiffSeeds() {
  struct TCase {
    const char* Name;
    TTiffVariant Variant;
  };
  const TCase cases[] = {
      {"rgb8.tif", {}},
      {"rgb8-bigendian-lzw.tif", {.Mode = "wb", .Compression = COMPRESSION_LZW}},
      {"rgba16-deflate-predictor.tif", {.Samples = 4, .Depth = 16, .Compression = COMPRESSION_ADOBE_DEFLATE, .Predictor = 2}},
      {"rgb8-tiled.tif", {.Tiled = true}},
      {"rgb8-separate-packbits.tif", {.Compression = COMPRESSION_PACKBITS, .Separate = true}},
      {"grey1.tif", {.Samples = 1, .Depth = 1}},
      {"palette4.tif", {.Samples = 1, .Depth = 4, .Palette = true}},
      {"rgba8-unassociated.tif", {.Samples = 4}},
      {"rgba8-associated-separate.tif", {.Samples = 4, .Separate = true, .Alpha = EXTRASAMPLE_ASSOCALPHA}},
      {"rgb8-upside-down.tif", {.Orientation = ORIENTATION_BOTRIGHT}},
      {"rgb8-tiled-turned.tif", {.Tiled = true, .Orientation = ORIENTATION_RIGHTTOP}},
  };
  for (const TCase& c : cases) WriteImage("tiff", c.Name, WriteTiffVariant(19, 11, c.Variant));
}

// ---- BMP ----

void Put16(TBytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(TBytes& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// A BMP with a 40-byte header (12 with Core), Masks after it when given, a palette of
// Colours entries, then Data.
TBytes MakeBmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression, const std::vector<uint32_t>& masks,
               uint32_t colours, const TBytes& data, bool core = false) {
  const uint32_t headerSize = core ? 12 : 40;
  const uint32_t entry = core ? 3 : 4;
  const uint32_t offset = 14 + headerSize + 4 * static_cast<uint32_t>(masks.size()) + colours * entry;
  TBytes out = {'B', 'M'};
  Put32(out, offset + static_cast<uint32_t>(data.size()));
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, headerSize);
  if (core) {
    Put16(out, static_cast<uint32_t>(width));
    Put16(out, static_cast<uint32_t>(height));
    Put16(out, 1);
    Put16(out, bits);
  } else {
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height));
    Put16(out, 1);
    Put16(out, bits);
    Put32(out, compression);
    Put32(out, static_cast<uint32_t>(data.size()));
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, colours);
    Put32(out, 0);
  }
  for (const uint32_t mask : masks) Put32(out, mask);
  for (uint32_t i = 0; i < colours; ++i) {
    out.insert(out.end(), {static_cast<uint8_t>(i * 16), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 3)});
    if (!core) out.push_back(0);
  }
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

// Height rows of Stride bytes with a pattern.
TBytes Rows(size_t stride, int height) {
  TBytes data(stride * size_t(height));
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13 + i / stride);
  return data;
}

void MakeBmpSeeds() {
  const int w = 9, h = 5;
  WriteImage("bmp", "1bit.bmp", MakeBmp(w, h, 1, 0, {}, 2, Rows(4, h)));
  WriteImage("bmp", "4bit-topdown.bmp", MakeBmp(w, -h, 4, 0, {}, 16, Rows(8, h)));
  WriteImage("bmp", "8bit-core.bmp", MakeBmp(w, h, 8, 0, {}, 256, Rows(12, h), /*core=*/true));
  WriteImage("bmp", "8bit-core-short-palette.bmp", MakeBmp(w, h, 8, 0, {}, 10, Rows(12, h), /*core=*/true));
  WriteImage("bmp", "16bit-555.bmp", MakeBmp(w, h, 16, 0, {}, 0, Rows(20, h)));
  WriteImage("bmp", "16bit-565.bmp", MakeBmp(w, h, 16, 3, {0xF800, 0x07E0, 0x001F}, 0, Rows(20, h)));
  WriteImage("bmp", "32bit-bitfields.bmp", MakeBmp(w, h, 32, 3, {0xFF0000, 0xFF00, 0xFF}, 0, Rows(36, h)));
  WriteImage("bmp", "32bit-10bit-fields.bmp",
             MakeBmp(w, h, 32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF}, 0, Rows(36, h)));
  // RLE8: a run, a literal, a delta, end of line, end of bitmap.
  const TBytes rle8 = {3, 7, 0, 4, 1, 2, 3, 4, 0, 2, 1, 1, 2, 9, 0, 0, 9, 5, 0, 1};
  WriteImage("bmp", "rle8.bmp", MakeBmp(w, h, 8, 1, {}, 256, rle8));
  const TBytes rle4 = {5, 0x12, 0, 3, 0x34, 0x50, 0, 0, 9, 0x67, 0, 2, 2, 1, 0, 1};
  WriteImage("bmp", "rle4.bmp", MakeBmp(w, h, 4, 2, {}, 16, rle4));
}

// ---- Our own encoders, with EXIF items, an ICC profile and a resolution ----

// The smallest profile the decoders keep: a 128-byte header for RGB data and an empty
// tag table.
TBytes IccProfile() {
  TBytes profile(132, 0);
  profile[3] = 132;
  std::memcpy(&profile[16], "RGB ", 4);
  std::memcpy(&profile[36], "acsp", 4);
  return profile;
}

void MakeOwnSeeds() {
  TZelLTBitmap picture;
  PictureBitmap(picture, 21, 10);
  quill::TImageMetadata metadata;
  metadata.Items = SampleItems();
  metadata.HorizontalResolution = metadata.VerticalResolution = 96;
  for (const char* format : {"bmp", "jpeg", "tiff", "png"}) {
    TBytes bytes;
    Check(quill::EncodeImage(picture.GetPixels(), std::string("image/") + format, 90, metadata, bytes), "cannot encode");
    WriteImage(format, "ours", bytes);
  }
  // A BMP with a profile has a version 5 header.
  AddItem(metadata.Items, quill::kPropertyIccProfile, quill::kTiffUndefined, IccProfile());
  TBytes bytes;
  Check(quill::EncodeImage(picture.GetPixels(), "image/bmp", 90, metadata, bytes), "cannot encode");
  WriteImage("bmp", "ours-profile", bytes);
}

// ---- EXIF ----

void MakeExifSeeds() {
  Write("exif", "items.exif", quill::BuildExifData(SampleItems()));

  // With a thumbnail: IFD0 from the items, then IFD1 pointing at JPEG bytes.
  TBytes withThumbnail;
  quill::StartTiffStructure(withThumbnail);
  const TBytes thumbnail = WriteJpeg(8, 8, {});
  const auto thumbnailAt = static_cast<uint32_t>(withThumbnail.size());
  withThumbnail.insert(withThumbnail.end(), thumbnail.begin(), thumbnail.end());
  const uint32_t pointers[] = {thumbnailAt, static_cast<uint32_t>(thumbnail.size())};
  const uint16_t jpeg[] = {6};
  const uint32_t ifd1 = quill::WriteTiffDirectory(withThumbnail, {quill::MakeTiffShort(0x0103, jpeg),
                                                           quill::MakeTiffLong(0x0201, std::span(&pointers[0], 1)),
                                                           quill::MakeTiffLong(0x0202, std::span(&pointers[1], 1))});
  const uint32_t ifd0 = quill::WritePropertyDirectories(withThumbnail, SampleItems(), {}, 0);
  quill::SetFirstTiffDirectory(withThumbnail, ifd0);
  // IFD0's next-directory field follows its entries.
  const size_t next = ifd0 + 2 + 12 * size_t(withThumbnail[ifd0] | withThumbnail[ifd0 + 1] << 8);
  for (int i = 0; i < 4; ++i) withThumbnail[next + i] = static_cast<uint8_t>(ifd1 >> (8 * i));
  Write("exif", "thumbnail.exif", withThumbnail);

  // Big-endian: IFD0 with a make and an orientation, then no next directory.
  const TBytes bigEndian = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 2,
                            0x01, 0x0F, 0, 2, 0, 0, 0, 4, 'M', 'M', 'X', 0,
                            0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 1, 0, 0,
                            0, 0, 0, 0};
  Write("exif", "bigendian.exif", bigEndian);
}

// ---- Lossless JPEG ----

void MakeLosslessSeeds() {
  // The control blocks of fuzz/targets/lossless_jpeg.cpp.
  struct TControl {
    const char* Name;
    TBytes Bytes;
  };
  const TControl controls[] = {
      {"resave", TBytes(12, 0)},
      {"paint", {0, 0, 0, 0, 0, 0, 0, 0, 128, 100, 5, 0}},
      {"turn-flip", {4, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
      {"crop-paint-file", {5, 0, 0, 0, 3, 5, static_cast<uint8_t>(-2), static_cast<uint8_t>(-1), 40, 40, 9, 2}},
      {"left-crop-keep", {3, 5, 2, 0, 8, 8, 0, 0, 0, 0, 0, 1}},
      {"turn-paint-reference", {3, 2, 0, 0, 0, 0, 0, 0, 100, 60, 6, 8}},
      {"crop-resize-reference", {6, 4, 7, 0, 3, 9, static_cast<uint8_t>(-1), static_cast<uint8_t>(-2), 20, 20, 4, 9}},
  };
  for (const auto& [name, jpeg] : LosslessSources()) {
    for (const TControl& control : controls) {
      TBytes input = control.Bytes;
      input.insert(input.end(), jpeg.begin(), jpeg.end());
      Write("lossless_jpeg", name + "-" + control.Name, input);
    }
  }
}

// ---- Exchange files ----

TBytes ExchangeFile(int width, int height) {
  TZelLTBitmap picture;
  PictureBitmap(picture, width, height);
  const std::filesystem::path path = quill::fuzz::ScratchFolder() / "seed.pspf";
  std::filesystem::remove(path);
  const TZelPixels& pixels = picture.GetPixels();
  Check(quill::WriteExchangeFile(path, pixels.Bits(), pixels.Stride(), width, height), "cannot write an exchange file");
  return ReadBytes(path);
}

void MakeExchangeSeeds() {
  Write("exchange", "1x1.pspf", ExchangeFile(1, 1));
  Write("exchange", "7x5.pspf", ExchangeFile(7, 5));
  // With an EXIF block after more than 496 bytes of tail.
  TBytes withExif = ExchangeFile(6, 4);
  const TBytes exif = quill::BuildExifData(SampleItems());
  withExif.insert(withExif.end(), {'E', 'X', 'I', 'F'});
  Put32(withExif, static_cast<uint32_t>(exif.size()));
  withExif.insert(withExif.end(), exif.begin(), exif.end());
  withExif.resize(std::max<size_t>(withExif.size(), 36 + 6 * 4 * 3 + 600), 0);
  Write("exchange", "exif.pspf", withExif);
  // Four planes and rows longer than the pixels, as a host with alpha writes them.
  TBytes fourPlanes = {'P', 'S', 'P', 'F'};
  for (const uint32_t field : {32u, 3u, 0u, 0u, 5u, 3u, 24u, 4u}) Put32(fourPlanes, field);
  const TBytes rows = Rows(24, 3);
  fourPlanes.insert(fourPlanes.end(), rows.begin(), rows.end());
  Write("exchange", "four-planes.pspf", fourPlanes);

  // The plug-in's read-back: a control block (width - 1, height - 1, planes - 3,
  // padding) for a host whose output matches the file, then the file.
  const auto readBack = [](std::initializer_list<uint8_t> control, const TBytes& file) {
    TBytes bytes(control);
    bytes.insert(bytes.end(), file.begin(), file.end());
    return bytes;
  };
  Write("plugin_readback", "7x5-rgb.bin", readBack({6, 4, 0, 3}, ExchangeFile(7, 5)));
  Write("plugin_readback", "7x5-rgba.bin", readBack({6, 4, 1, 0}, ExchangeFile(7, 5)));
  Write("plugin_readback", "four-planes.bin", readBack({4, 2, 1, 4}, fourPlanes));
}

// ---- Settings ----

TBytes Settings(const std::function<void(TZelSDFWriter&)>& save) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  {
    TZelSDFWriter writer(&buffer, false);
    save(writer);
  }
  return TBytes(buffer.data().begin(), buffer.data().end());
}

void MakeSettingsSeeds() {
  quill::fuzz::EnsureQtApplication();
  TBytes program;
  {
    quill::TZelFormsUnit unit;
    ZelApplication->CreateForm(MainForm);
    TZelToolPanelModule* panel = nullptr;
    ZelApplication->CreateComponent(panel);
    program = Settings([](TZelSDFWriter& writer) {
      for (int i = 0; i < ZelApplication->GetComponentCount(); ++i) {
        if (auto* module = dynamic_cast<IZelModule*>(ZelApplication->GetComponent(i))) module->SaveState(writer);
      }
    });
  }
  Write("settings", "program.cfg", program);
  TBytes kinds = Settings([](TZelSDFWriter& writer) {
    writer.BeginGuidNode(1, TMainForm::kSettingsGuid);
    writer.WriteByte(1, 1);
    writer.WriteInteger(2, -5);
    writer.WriteWideString(3, QStringLiteral("Text \u00e9"));
    writer.BeginIntNode(2, 7);
    writer.WriteBlob(1, "blob", 4);
    writer.EndNode();
    writer.EndNode();
  });
  // Values the writer does not make: 8-bit unsigned, 16-bit signed and unsigned.
  kinds.insert(kinds.end(), {0x55, 1, 2, 1, 0xFE, 0x55, 2, 3, 2, 0x34, 0x82, 0x55, 3, 4, 2, 0xFF, 0xFF});
  Write("settings", "kinds.cfg", kinds);
}

// ---- Language files ----

TBytes Bytes(const std::string& text) { return TBytes(text.begin(), text.end()); }

void MakeLanguageSeeds() {
  Write("language", "bom.ini",
        Bytes("\xEF\xBB\xBF[Language]\r\nLangId=1031\r\nLanguage=Deutsch\r\n[Strings]\r\n10=&Datei\r\n23=Be&enden\r\n"));
  Write("language", "cp1252.ini",
        Bytes("; comment\n[Language]\nLangId=1036\nLanguage=Fran\xE7" "ais\nCodePage=1252\n[Strings]\n10=&Fichier\n"
              "11=\x80 \xE9t\xE9\n"));
  Write("language", "cp1255.ini",
        Bytes("[Language]\nLangId=1037\nLanguage=\xF2\xE1\xF8\xE9\xFA\nCodePage=1255\n[Strings]\n10=\xF7\xE5\xE1\xF5\n"));
  Write("language", "cp1258.ini",
        Bytes("[Language]\rLangId=1066\rLanguage=Ti\xEA\xF2ng Vi\xEA\xF2t\rCodePage=1258\r[strings]\r10=T\xEA\xEC\xF2p\r"));
  Write("language", "cp932.ini", Bytes("[Language]\nLangId=1041\nCodePage=932\n[Strings]\n10=\x83\x74\x83\x40\n"));
}

// ---- The host's process descriptor ----

void MakeHostProcessSeeds() {
  Write("host_process", "host.txt", Bytes("100"));
  Write("host_process", "leading-zeros.txt", Bytes("00100"));
  Write("host_process", "standard-error.txt", Bytes("2"));
  Write("host_process", "negative.txt", Bytes("-100"));
  Write("host_process", "too-large.txt", Bytes("99999999999999999999"));
}

// ---- Demo scripts ----

void MakeDemoScriptSeeds() {
  Write("demo_script", "script.dsc",
        Bytes("\xEF\xBB\xBF[Info]\r\nTitle=Wire Eraser\r\nImage=photo.png\r\n\r\n[Script]\r\n"
              "MoveTo(120, 80)\r\nClick(\"Wire Eraser\")\r\nBalloon(\"Paint over the wire\", 2000)\r\n"
              "Drag(10, 10, 200, 40)\r\n\r\n[English]\r\n1=Paint over the wire\r\n"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT\n", argv[0]);
    return 2;
  }
  outFolder = argv[1];
  TIFFSetWarningHandler(nullptr);
  MakeJpegSeeds();
  MakePngSeeds();
  MakeTiffSeeds();
  MakeBmpSeeds();
  MakeOwnSeeds();
  MakeExifSeeds();
  MakeLosslessSeeds();
  MakeDemoScriptSeeds();
  MakeHostProcessSeeds();
  MakeExchangeSeeds();
  MakeSettingsSeeds();
  MakeLanguageSeeds();
  return 0;
}

// PNG through libpng: every colour type and depth, interlaced or not, read as 8-bit
// B, G, R; written as 8-bit RGB with pHYs, iCCP and eXIf.

#include <png.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "ImageCodecs.h"
#include "ImageCodecsPrivate.h"

namespace quill {

namespace {

constexpr png_alloc_size_t kMaxChunkBytes = 64u << 20;

// libpng's errors jump back to the setjmp of the call in progress; nothing is printed.
[[noreturn]] void PngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWarning(png_structp, png_const_charp) {}

struct TPngSource {
  TImageSource* Source = nullptr;
  uint64_t Position = 0;
};

void ReadFromSource(png_structp png, png_bytep to, size_t size) {
  auto* source = static_cast<TPngSource*>(png_get_io_ptr(png));
  if (!source->Source->ReadExactly(source->Position, {to, size})) png_error(png, "data ends early");
  source->Position += size;
}

void WriteToMemory(png_structp png, png_bytep from, size_t size) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  bool stored = true;
  try {
    out->insert(out->end(), from, from + size);
  } catch (const std::bad_alloc&) {
    stored = false;
  }
  if (!stored) png_error(png, "out of memory");
}

void FlushMemory(png_structp) {}

struct TPngReader {
  png_structp Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  png_infop Info = Png != nullptr ? png_create_info_struct(Png) : nullptr;
  TPngSource Source;
  ~TPngReader() { png_destroy_read_struct(&Png, &Info, nullptr); }
};

struct TPngWriter {
  png_structp Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  png_infop Info = Png != nullptr ? png_create_info_struct(Png) : nullptr;
  ~TPngWriter() { png_destroy_write_struct(&Png, &Info); }
};

bool ReadPngHeader(TPngReader& reader) {
  if (reader.Info == nullptr) return false;
  if (setjmp(png_jmpbuf(reader.Png))) return false;
  png_set_read_fn(reader.Png, &reader.Source, ReadFromSource);
  // The header's size is judged by DecodePng (AcceptImageSize) right after this and
  // before any row is allocated, so that a refused size is told apart from damage;
  // libpng's own limit is set to the largest size the format can state.
  png_set_user_limits(reader.Png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
  png_set_chunk_malloc_max(reader.Png, kMaxChunkBytes);
  png_read_info(reader.Png, reader.Info);
  return true;
}

// The rows into Sink: row by row, or for an interlaced image pass by pass, each pass's
// pixels put where they belong, so that no more than a row is held here.
bool ReadPngRows(TPngReader& reader, TPixelSink& sink, std::vector<uint8_t>& passRow) {
  png_structp png = reader.Png;
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_expand(png);
  png_set_scale_16(png);
  png_set_strip_alpha(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_read_update_info(png, reader.Info);
  if (png_get_channels(png, reader.Info) != 3 || png_get_bit_depth(png, reader.Info) != 8) return false;
  const png_uint_32 width = png_get_image_width(png, reader.Info);
  const png_uint_32 height = png_get_image_height(png, reader.Info);
  if (!sink.Begin(static_cast<int32_t>(width), static_cast<int32_t>(height))) return false;
  if (png_get_interlace_type(png, reader.Info) == PNG_INTERLACE_NONE) {
    for (png_uint_32 y = 0; y < height; ++y) {
      int64_t stride = 0;
      uint8_t* row = sink.Rows(static_cast<int32_t>(y), 1, stride);
      if (row == nullptr) return false;
      png_read_row(png, row, nullptr);
      sink.Commit(static_cast<int32_t>(y), 1);
    }
    return true;
  }
  for (int pass = 0; pass < 7; ++pass) {
    const png_uint_32 columns = PNG_PASS_COLS(width, pass);
    const png_uint_32 rows = PNG_PASS_ROWS(height, pass);
    if (columns == 0 || rows == 0) continue;  // libpng skips empty passes too
    for (png_uint_32 r = 0; r < rows; ++r) {
      png_read_row(png, passRow.data(), nullptr);
      if (!sink.Put(static_cast<int32_t>(PNG_ROW_FROM_PASS_ROW(r, pass)), static_cast<int32_t>(PNG_PASS_START_COL(pass)),
                    static_cast<int32_t>(1u << PNG_PASS_COL_SHIFT(pass)), static_cast<int32_t>(columns),
                    passRow.data())) {
        return false;
      }
    }
  }
  return true;
}

bool ReadPngEnd(TPngReader& reader) {
  if (setjmp(png_jmpbuf(reader.Png))) return false;
  png_read_end(reader.Png, nullptr);
  return true;
}

bool WritePng(TPngWriter& writer, const TZelPixels& pixels, std::vector<uint8_t>& output,
              uint32_t xPpm, uint32_t yPpm, const std::vector<uint8_t>& exif, const TImagePropertyItem* icc) {
  png_structp png = writer.Png;
  if (writer.Info == nullptr) return false;
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, &output, WriteToMemory, FlushMemory);
  // A profile libpng finds unfit for RGB is left out with a warning instead of failing the save.
  png_set_benign_errors(png, 1);
  png_set_IHDR(png, writer.Info, static_cast<png_uint_32>(pixels.Width()), static_cast<png_uint_32>(pixels.Height()),
               8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (xPpm != 0 && yPpm != 0) png_set_pHYs(png, writer.Info, xPpm, yPpm, PNG_RESOLUTION_METER);
  if (icc != nullptr && !icc->Value.empty() && icc->Value.size() <= kMaxChunkBytes) {
    png_set_iCCP(png, writer.Info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, icc->Value.data(),
                 static_cast<png_uint_32>(icc->Value.size()));
  }
  if (!exif.empty()) {
    png_set_eXIf_1(png, writer.Info, static_cast<png_uint_32>(exif.size()), const_cast<png_bytep>(exif.data()));
  }
  png_write_info(png, writer.Info);
  png_set_bgr(png);
  for (int32_t y = 0; y < pixels.Height(); ++y) png_write_row(png, pixels.GetScanLine(pixels.Left(), pixels.Top() + y));
  png_write_end(png, nullptr);  // with the info, libpng would write eXIf a second time
  return true;
}

// Whether the data of every chunk from At on, up to IEND (or with UpToImage the first
// IDAT), lies inside the source. libpng allocates an eXIf chunk's stated length (up to
// 2 GiB) before it reads a byte of it; a chunk that runs past the end fails the decode
// anyway. The walk also ends at a chunk whose type is no four letters, where libpng
// stops before allocating anything.
bool ChunksFit(TImageSource& source, uint64_t at, bool upToImage) {
  uint8_t header[8];
  while (source.ReadExactly(at, header)) {
    if (!std::all_of(header + 4, header + 8, [](uint8_t c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }) ||
        std::memcmp(header + 4, "IEND", 4) == 0 || (upToImage && std::memcmp(header + 4, "IDAT", 4) == 0)) {
      break;
    }
    const uint64_t length = uint64_t{header[0]} << 24 | uint64_t{header[1]} << 16 | uint64_t{header[2]} << 8 | header[3];
    if (length > source.Size() - at - 8) return false;
    at += length + 12;
  }
  return true;
}

// Bytes of the filtered rows of a non-interlaced image (the fewest an interlaced one
// can have). Deflate codes at most 258 bytes in 2 bits, so the compressed data holds at
// least a 1032nd of them.
uint64_t RawRowBytes(png_structp png, png_infop info) {
  const uint64_t bits = uint64_t{png_get_image_width(png, info)} * png_get_channels(png, info) * png_get_bit_depth(png, info);
  return uint64_t{png_get_image_height(png, info)} * (1 + (bits + 7) / 8);
}
constexpr uint64_t kMaxDeflateRatio = 1032;

}  // namespace

bool DecodePng(TImageSource& source, TDecodeRequest& request) {
  if (!ChunksFit(source, 8, true)) return false;
  TPngReader reader;
  reader.Source.Source = &source;
  if (!ReadPngHeader(reader)) return false;
  const png_uint_32 width = png_get_image_width(reader.Png, reader.Info);
  const png_uint_32 height = png_get_image_height(reader.Png, reader.Info);
  if (!AcceptImageSize(width, height, request)) return false;
  request.Width = static_cast<int32_t>(width);
  request.Height = static_cast<int32_t>(height);
  if (request.Metadata != nullptr) {
    png_uint_32 exifSize = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(reader.Png, reader.Info, &exifSize, &exif) != 0 && exif != nullptr) {
      ReadExifProperties({exif, exifSize}, true, request.Metadata->Items);
    }
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileSize = 0;
    if (!request.Brief && png_get_iCCP(reader.Png, reader.Info, &name, &compression, &profile, &profileSize) != 0 &&
        profile != nullptr) {
      SetProperty(request.Metadata->Items, {kPropertyIccProfile, kTiffUndefined, {profile, profile + profileSize}});
    }
    KeepRgbIccProfile(request.Metadata->Items);
    png_uint_32 xPpm = 0, yPpm = 0;
    int unit = 0;
    if (png_get_pHYs(reader.Png, reader.Info, &xPpm, &yPpm, &unit) != 0 && unit == PNG_RESOLUTION_METER &&
        xPpm != 0 && yPpm != 0) {
      request.Metadata->HorizontalResolution = xPpm * 0.0254;
      request.Metadata->VerticalResolution = yPpm * 0.0254;
    }
  }
  if (request.Pixels == nullptr) return true;
  if (RawRowBytes(reader.Png, reader.Info) / kMaxDeflateRatio > source.Size()) return false;
  std::vector<uint8_t> passRow(size_t{3} * width);
  // The chunks after the image are checked once libpng has read up to them.
  return ReadPngRows(reader, *request.Pixels, passRow) && ChunksFit(source, reader.Source.Position, false) &&
         ReadPngEnd(reader);
}

bool EncodePng(const TZelPixels& pixels, const TImageMetadata& metadata, std::vector<uint8_t>& output) {
  TImagePropertyList items = metadata.Items;
  RemoveThumbnailProperties(items);
  const std::vector<uint8_t> exif = BuildExifData(items);
  output.clear();
  TPngWriter writer;
  return WritePng(writer, pixels, output, DotsPerInchTo(metadata.HorizontalResolution, 0.0254),
                  DotsPerInchTo(metadata.VerticalResolution, 0.0254), exif, FindProperty(items, kPropertyIccProfile));
}

}  // namespace quill

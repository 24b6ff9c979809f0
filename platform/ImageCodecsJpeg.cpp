// JPEG through libjpeg-turbo: decoding straight into B, G, R rows, encoding from them.

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <numeric>

#include "ImageCodecs.h"
#include "ImageCodecsPrivate.h"
#include "JpegSupport.h"

namespace quill {

namespace {

// The ICC profile of the reader's APP2 segments, their chunks joined in order, in
// Profile (malloc'ed; the caller frees it). False when there is none or its chunks do
// not add up.
bool ReadIccProfile(TJpegDecompressor& reader, JOCTET*& profile, unsigned int& size) {
  profile = nullptr;
  size = 0;
  if (setjmp(reader.Error.Jump)) return false;
  return jpeg_read_icc_profile(&reader.Info, &profile, &size) == TRUE;
}

// The encoder's libjpeg calls, apart from everything that needs destructors.
bool CompressJpeg(TJpegCompressor& writer, const TZelPixels& pixels, int32_t quality,
                  uint16_t xDensity, uint16_t yDensity, const uint8_t* exif, size_t exifSize,
                  const TImagePropertyItem* icc) {
  jpeg_compress_struct& info = writer.Info;
  if (setjmp(writer.Error.Jump)) return false;
  info.image_width = static_cast<JDIMENSION>(pixels.Width());
  info.image_height = static_cast<JDIMENSION>(pixels.Height());
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  info.dct_method = JDCT_ISLOW;
  info.write_JFIF_header = TRUE;
  if (xDensity != 0 && yDensity != 0) {
    info.density_unit = 1;
    info.X_density = xDensity;
    info.Y_density = yDensity;
  }
  jpeg_start_compress(&info, TRUE);
  if (exifSize != 0) jpeg_write_marker(&info, JPEG_APP0 + 1, exif, static_cast<unsigned int>(exifSize));
  if (icc != nullptr && !icc->Value.empty() && icc->Value.size() <= kMaxIccProfileBytes) {
    jpeg_write_icc_profile(&info, icc->Value.data(), static_cast<unsigned int>(icc->Value.size()));
  }
  while (info.next_scanline < info.image_height) {
    JSAMPROW row[1] = {pixels.GetScanLine(pixels.Left(), pixels.Top() + static_cast<int32_t>(info.next_scanline))};
    jpeg_write_scanlines(&info, row, 1);
  }
  jpeg_finish_compress(&info);
  return true;
}

// The Exif APP1 payload: "Exif\0\0" and the body. Items are left out, largest first
// (of equal sizes the earlier first), until it fits one segment. The body only shrinks
// as items go, so the fewest to leave out are found by bisection: a file can bring up
// to 5 x 65535 items, and leaving them out one at a time took minutes.
std::vector<uint8_t> ExifSegment(const TImagePropertyList& items) {
  constexpr size_t kMaxPayload = 65533;
  TImagePropertyList kept = items;
  RemoveThumbnailProperties(kept);
  std::vector<size_t> largestFirst(kept.size());
  std::iota(largestFirst.begin(), largestFirst.end(), size_t{0});
  std::stable_sort(largestFirst.begin(), largestFirst.end(),
                   [&kept](size_t a, size_t b) { return kept[a].Value.size() > kept[b].Value.size(); });
  // The body of the items without the Count first of LargestFirst, in their order.
  const auto bodyWithout = [&](size_t count) {
    std::vector<bool> out(kept.size(), false);
    for (size_t i = 0; i < count; ++i) out[largestFirst[i]] = true;
    TImagePropertyList rest;
    for (size_t i = 0; i < kept.size(); ++i) {
      if (!out[i]) rest.push_back(kept[i]);
    }
    return BuildExifData(rest);
  };
  const auto fits = [](const std::vector<uint8_t>& body) { return body.size() + 6 <= kMaxPayload; };
  std::vector<uint8_t> body = bodyWithout(0);
  if (!fits(body)) {
    size_t low = 1, high = kept.size();  // without every item the body is empty and fits
    while (low < high) {
      const size_t middle = low + (high - low) / 2;
      if (fits(bodyWithout(middle))) {
        high = middle;
      } else {
        low = middle + 1;
      }
    }
    body = bodyWithout(low);
  }
  if (body.empty()) return {};
  body.insert(body.begin(), {'E', 'x', 'i', 'f', 0, 0});
  return body;
}

}  // namespace

bool DecodeJpeg(TImageSource& source, TDecodeRequest& request) {
  TJpegDecompressor reader;
  const bool brief = request.Metadata != nullptr && request.Brief;
  if (!ReadJpegHeader(reader, source, brief ? TJpegMarkers::FirstExif : TJpegMarkers::Metadata)) return false;
  jpeg_decompress_struct& info = reader.Info;
  if (!AcceptImageSize(info.image_width, info.image_height, request)) return false;
  request.Width = static_cast<int32_t>(info.image_width);
  request.Height = static_cast<int32_t>(info.image_height);
  if (request.Metadata != nullptr) {
    TImageMetadata& metadata = *request.Metadata;
    ReadExifProperties(JpegExifBody(reader), true, metadata.Items);
    JOCTET* profile = nullptr;
    unsigned int profileSize = 0;
    if (!brief && ReadIccProfile(reader, profile, profileSize)) {
      SetProperty(metadata.Items, {kPropertyIccProfile, kTiffUndefined, {profile, profile + profileSize}});
    }
    std::free(profile);
    KeepRgbIccProfile(metadata.Items);
    if (info.saw_JFIF_marker && (info.density_unit == 1 || info.density_unit == 2) &&
        info.X_density != 0 && info.Y_density != 0) {
      const double scale = info.density_unit == 2 ? 2.54 : 1.0;
      metadata.HorizontalResolution = info.X_density * scale;
      metadata.VerticalResolution = info.Y_density * scale;
    } else {
      PropertyResolution(metadata.Items, metadata.HorizontalResolution, metadata.VerticalResolution);
    }
  }
  if (request.Pixels == nullptr) return true;
  if (request.MemoryLimit > 0) info.mem->max_memory_to_use = static_cast<long>(std::min<int64_t>(request.MemoryLimit, LONG_MAX));
  const bool scaled = request.ScaleDenominator > 1;
  return PrepareJpegOutput(reader, request.ScaleDenominator, scaled) && ReadJpegPixels(reader, *request.Pixels);
}

bool EncodeJpeg(const TZelPixels& pixels, int32_t quality, const TImageMetadata& metadata,
                std::vector<uint8_t>& output) {
  const std::vector<uint8_t> exif = ExifSegment(metadata.Items);
  const auto xDpi = static_cast<uint16_t>(std::min<uint32_t>(DotsPerInchTo(metadata.HorizontalResolution, 1), 65535));
  const auto yDpi = static_cast<uint16_t>(std::min<uint32_t>(DotsPerInchTo(metadata.VerticalResolution, 1), 65535));
  TJpegCompressor writer;
  if (!CompressJpeg(writer, pixels, std::clamp(quality, 0, 100), xDpi, yDpi, exif.data(), exif.size(),
                    FindProperty(metadata.Items, kPropertyIccProfile))) {
    return false;
  }
  output = std::move(writer.Output);
  return true;
}

}  // namespace quill

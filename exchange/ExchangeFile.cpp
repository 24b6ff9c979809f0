#include "ExchangeFile.h"

#include <cstring>

#include "LittleEndian.h"

namespace quill {

namespace {

// The magic and the Mode: the first 12 bytes of the file.
constexpr int64_t kExchangeSignatureSize = 12;

// Whether Bytes (at least kExchangeSignatureSize of them) begin "PSPF" with Mode 3.
bool HasExchangeSignature(const uint8_t* bytes) {
  return std::memcmp(bytes, kExchangeMagic, 4) == 0 && GetInt32LE(bytes + 8) == kExchangeModeRGB;
}

}  // namespace

bool IsExchangeFile(const std::filesystem::path& fileName) {
  TFileMapping mapping(fileName, TFileMapping::TAccess::ReadExisting);
  const uint8_t* view = mapping.MapView(0, kExchangeSignatureSize);
  return view != nullptr && HasExchangeSignature(view);
}

bool TExchangeFileReader::Open(const std::filesystem::path& fileName) {
  FMapping = std::make_unique<TFileMapping>(fileName, TFileMapping::TAccess::ReadExisting);
  FView = nullptr;
  FExif = {};
  const int64_t fileSize = FMapping->GetSize();
  if (fileSize < kExchangePixelOffset) return false;
  const uint8_t* view = FMapping->MapView(0, 0);
  if (view == nullptr || !HasExchangeSignature(view)) return false;

  int32_t fields[8];
  for (int i = 0; i < 8; ++i) fields[i] = GetInt32LE(view + 4 + 4 * i);
  const TPhotoshopDataInfo info{fields[0], fields[1], fields[2], fields[3],
                                fields[4], fields[5], fields[6], fields[7]};
  if (!ImageSizeAllowed(info.Width, info.Height) || info.Planes < 3 ||
      int64_t{info.Width} * info.Planes > info.RowBytes) {
    return false;
  }
  const int64_t rowsEnd = kExchangePixelOffset + int64_t{info.Height} * info.RowBytes;
  if (rowsEnd > fileSize) return false;

  if (fileSize - rowsEnd > kExchangeMinExifTail && std::memcmp(view + rowsEnd, "EXIF", 4) == 0) {
    const int64_t length = GetInt32LE(view + rowsEnd + 4);
    if (length >= 0 && length <= fileSize - (rowsEnd + 8)) FExif = {view + rowsEnd + 8, static_cast<size_t>(length)};
  }
  FInfo = info;
  FView = view;
  return true;
}

void TExchangeFileReader::CopyPixels(uint8_t* bits, int64_t stride) const {
  if (FView == nullptr) return;
  for (int32_t y = 0; y < FInfo.Height; ++y) {
    const uint8_t* from = FView + kExchangePixelOffset + int64_t{y} * FInfo.RowBytes;
    uint8_t* to = bits + y * stride;
    for (int32_t x = 0; x < FInfo.Width; ++x, from += FInfo.Planes, to += 3) {
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
    }
  }
}

bool WriteExchangeFile(const std::filesystem::path& fileName, const uint8_t* bits, int64_t stride,
                       int32_t width, int32_t height) {
  if (bits == nullptr || !ImageSizeAllowed(width, height) || stride < int64_t{width} * 3 || stride % 4 != 0 ||
      stride > INT32_MAX) {
    return false;
  }
  const int64_t fileSize = kExchangePixelOffset + stride * height;
  TFileMapping mapping(fileName, TFileMapping::TAccess::ReadWrite);
  if (!mapping.SetSize(fileSize)) return false;
  uint8_t* view = mapping.MapView(0, 0);
  if (view == nullptr || mapping.ViewSize(view) < fileSize) return false;

  std::memcpy(view, kExchangeMagic, 4);
  const int32_t header[8] = {kExchangeHeaderSize, kExchangeModeRGB, 0, 0, width, height,
                             static_cast<int32_t>(stride), 3};
  for (int i = 0; i < 8; ++i) PutInt32LE(view + 4 + 4 * i, header[i]);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* from = bits + y * stride;
    uint8_t* to = view + kExchangePixelOffset + y * stride;
    for (int32_t x = 0; x < width; ++x, from += 3, to += 3) {
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
    }
  }
  mapping.UnmapView(view);
  return true;
}

}  // namespace quill

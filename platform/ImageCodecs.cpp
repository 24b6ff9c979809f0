#include "ImageCodecs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "FileMapping.h"
#include "ImageCodecsPrivate.h"
#include "ZelUtils.h"

namespace quill {

namespace {

bool Decode(TImageSource& source, TImageRawFormat format, TDecodeRequest& request) {
  switch (format) {
    case TImageRawFormat::Jpeg: return DecodeJpeg(source, request);
    case TImageRawFormat::Png: return DecodePng(source, request);
    case TImageRawFormat::Tiff: return DecodeTiff(source, request);
    case TImageRawFormat::Bmp: return DecodeBmp(source, request);
    case TImageRawFormat::Gif: return DecodeGif(source, request);
    case TImageRawFormat::Unknown: break;
  }
  return false;
}

// Writes all of Data; 0, or the error number of the write that failed.
int WriteAll(int file, std::span<const uint8_t> data) {
  while (!data.empty()) {
    const ssize_t written = ::write(file, data.data(), data.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    // A regular file takes at least one byte or says why not; nothing written at all
    // can only mean there is no room.
    if (written == 0) return ENOSPC;
    data = data.subspan(static_cast<size_t>(written));
  }
  return 0;
}

// Creates a new file beside Target under a name no other file has; its permissions are
// 0666 less the process's umask. -1 on failure.
int CreateTemporaryBeside(const std::filesystem::path& target, std::filesystem::path& name) {
  static std::atomic<uint32_t> counter{0};
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string suffix = ".";
    suffix.append(std::to_string(::getpid())).append("-").append(std::to_string(counter++));
    suffix.append("-").append(std::to_string(random())).append(".tmp");
    name = target;
    name += suffix;
    const int file = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file >= 0 || errno != EEXIST) return file;
  }
  return -1;
}

// The file that FileName names once every symbolic link in its last component is
// followed (a relative link target counts from the link's folder). FileName itself
// when it is no link; empty, with Error set, for a link that cannot be read or a
// chain of links that does not end.
std::filesystem::path FollowLinks(std::filesystem::path fileName, int& error) {
  for (int hop = 0; hop < 40; ++hop) {  // the kernel's own limit on nested links
    std::error_code code;
    if (!std::filesystem::is_symlink(fileName, code)) return fileName;
    const std::filesystem::path target = std::filesystem::read_symlink(fileName, code);
    if (code) {
      error = code.value();
      return {};
    }
    fileName = target.is_absolute() ? target : fileName.parent_path() / target;
  }
  error = ELOOP;
  return {};
}

// Whether the existing file Info of Target may be replaced; when not, Failure says why.
bool MayReplace(const std::filesystem::path& target, const struct stat& info, TFileWriteFailure& failure) {
  if (S_ISDIR(info.st_mode)) {
    failure.Error = EISDIR;
  } else if (!S_ISREG(info.st_mode)) {
    // A device or a named pipe: the system has no reason of its own to give.
  } else if (IsReadOnlyFileMode(info.st_mode)) {
    failure.ReadOnly = true;
  } else if (::access(target.c_str(), W_OK) != 0) {
    failure.Error = errno;
  } else {
    return true;
  }
  return false;
}

void SyncFolder(const std::filesystem::path& file) {
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
  const int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (handle < 0) return;
  ::fsync(handle);
  ::close(handle);
}

std::span<const uint8_t, 16> First16(const std::vector<uint8_t>& data) {
  return std::span<const uint8_t, 16>(data.data(), 16);
}

void Invert16(std::vector<uint8_t>& data) {
  for (int i = 0; i < 16; ++i) data[i] = static_cast<uint8_t>(~data[i]);
}

}  // namespace

TImageRawFormat DetectImageFormat(std::span<const uint8_t> d) {
  static constexpr uint8_t kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (d.size() >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return TImageRawFormat::Jpeg;
  if (d.size() >= 8 && std::memcmp(d.data(), kPng, 8) == 0) return TImageRawFormat::Png;
  if (d.size() >= 4 && ((d[0] == 'I' && d[1] == 'I' && d[2] == 42 && d[3] == 0) ||
                        (d[0] == 'M' && d[1] == 'M' && d[2] == 0 && d[3] == 42))) {
    return TImageRawFormat::Tiff;
  }
  if (d.size() >= 2 && d[0] == 'B' && d[1] == 'M') return TImageRawFormat::Bmp;
  if (d.size() >= 6 && (std::memcmp(d.data(), "GIF87a", 6) == 0 || std::memcmp(d.data(), "GIF89a", 6) == 0)) {
    return TImageRawFormat::Gif;
  }
  return TImageRawFormat::Unknown;
}

TImageRawFormat DetectImageFormat(TImageSource& source) {
  uint8_t start[8] = {};
  const size_t count = source.Read(0, start);
  return DetectImageFormat(std::span<const uint8_t>(start, count));
}

bool ReadFileBytes(const std::filesystem::path& fileName, std::vector<uint8_t>& data) {
  data.clear();
  TImageSource source;
  return source.OpenFile(fileName) && source.ReadAll(data);
}

bool AcceptImageSize(int64_t width, int64_t height, TDecodeRequest& request) {
  request.TooLarge = !ImageSizeAllowed(width, height);
  return !request.TooLarge;
}

bool DecodeImage(TImageSource& source, TZelLTBitmap& image, TImageRawFormat& format, TImageMetadata& metadata,
                 TImageLoadFailure& failure) {
  metadata = TImageMetadata();
  image.Clear();
  format = DetectImageFormat(source);
  TBitmapSink sink(image);
  TDecodeRequest request;
  request.Pixels = &sink;
  request.Metadata = &metadata;
  if (FailOnMemoryError([&] { return Decode(source, format, request); })) {
    failure = TImageLoadFailure::None;
    return true;
  }
  image.Clear();
  metadata = TImageMetadata();
  failure = format == TImageRawFormat::Unknown ? TImageLoadFailure::UnknownFormat
            : request.TooLarge                 ? TImageLoadFailure::TooLarge
                                               : TImageLoadFailure::Damaged;
  return false;
}

bool DecodeImage(std::span<const uint8_t> data, TZelLTBitmap& image, TImageRawFormat& format,
                 TImageMetadata& metadata) {
  TImageSource source(data);
  TImageLoadFailure failure;
  return DecodeImage(source, image, format, metadata, failure);
}

bool ReadImageMetadata(TImageSource& source, TImageRawFormat& format, TImageMetadata& metadata) {
  metadata = TImageMetadata();
  format = DetectImageFormat(source);
  TDecodeRequest request;
  request.Metadata = &metadata;
  if (FailOnMemoryError([&] { return Decode(source, format, request); })) return true;
  metadata = TImageMetadata();
  return false;
}

bool ReadImageMetadata(std::span<const uint8_t> data, TImageRawFormat& format, TImageMetadata& metadata) {
  TImageSource source(data);
  return ReadImageMetadata(source, format, metadata);
}

bool LoadImageFile(const std::filesystem::path& fileName, TZelLTBitmap& image, TImageRawFormat& format,
                   TImageMetadata& metadata) {
  TImageLoadFailure failure;
  return LoadImageFile(fileName, image, format, metadata, failure);
}

bool LoadImageFile(const std::filesystem::path& fileName, TZelLTBitmap& image, TImageRawFormat& format,
                   TImageMetadata& metadata, TImageLoadFailure& failure) {
  TImageSource source;
  if (!source.OpenFile(fileName)) {
    image.Clear();
    metadata = TImageMetadata();
    format = TImageRawFormat::Unknown;
    failure = TImageLoadFailure::CannotRead;
    return false;
  }
  return DecodeImage(source, image, format, metadata, failure);
}

int FindImageEncoder(std::string_view mimeType) {
  static constexpr std::string_view kTypes[] = {"image/bmp", "image/jpeg", "image/tiff", "image/png"};
  for (int i = 0; i < 4; ++i) {
    if (mimeType == kTypes[i]) return i;
  }
  return -1;
}

bool EncodeImage(const TZelPixels& pixels, std::string_view mimeType, int32_t quality,
                 const TImageMetadata& metadata, std::vector<uint8_t>& output) {
  output.clear();
  if (pixels.PixelFormat() != kPixelFormat24 || pixels.Bits() == nullptr ||
      !ImageSizeAllowed(pixels.Width(), pixels.Height())) {
    return false;
  }
  const bool encoded = FailOnMemoryError([&] {
    switch (FindImageEncoder(mimeType)) {
      case 0: return EncodeBmp(pixels, metadata, output);
      case 1: return EncodeJpeg(pixels, quality < 0 ? kDefaultJpegQuality : quality, metadata, output);
      case 2: return EncodeTiff(pixels, metadata, output);
      case 3: return EncodePng(pixels, metadata, output);
      default: return false;
    }
  });
  if (!encoded) std::vector<uint8_t>().swap(output);
  return encoded;
}

bool WriteFileReplacing(const std::filesystem::path& fileName, std::span<const uint8_t> data,
                        TFileWriteFailure& failure) {
  failure = TFileWriteFailure();
  // Through a symbolic link the link's target is replaced and the link stays.
  const std::filesystem::path target = FollowLinks(fileName, failure.Error);
  if (target.empty()) {
    if (failure.Error == 0) failure.Error = ENOENT;  // no name at all
    return false;
  }
  struct stat old;
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && !MayReplace(target, old, failure)) return false;
  std::filesystem::path temporary;
  const int file = CreateTemporaryBeside(target, temporary);
  if (file < 0) {
    failure.Error = errno;
    return false;
  }
  // The first step that fails gives the reason.
  int error = WriteAll(file, data);
  if (error == 0 && exists && ::fchmod(file, old.st_mode & 07777) != 0) error = errno;
  if (error == 0 && ::fsync(file) != 0) error = errno;
  if (::close(file) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    failure.Error = error;
    return false;
  }
  SyncFolder(target);
  return true;
}

bool WriteFileReplacing(const std::filesystem::path& fileName, std::span<const uint8_t> data) {
  TFileWriteFailure failure;
  return WriteFileReplacing(fileName, data, failure);
}

bool SaveImageFile(const std::filesystem::path& fileName, const TZelPixels& pixels, std::string_view mimeType,
                   int32_t quality, const TImageMetadata& metadata) {
  std::vector<uint8_t> data;
  return EncodeImage(pixels, mimeType, quality, metadata, data) && WriteFileReplacing(fileName, data);
}

bool IsJpegHeader(std::span<const uint8_t, 16> b) {
  return b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF && (b[8] == 'I' || b[8] == 'i') &&
         (b[9] == 'F' || b[9] == 'f');
}

}  // namespace quill

bool RestoreZliHeader(std::vector<uint8_t>& data) {
  if (data.size() <= 16) return false;
  quill::Invert16(data);
  if (quill::IsJpegHeader(quill::First16(data))) return true;
  quill::Invert16(data);
  return false;
}

bool InvertZliHeader(std::vector<uint8_t>& data) {
  if (data.size() <= 16 || !quill::IsJpegHeader(quill::First16(data))) return false;
  quill::Invert16(data);
  return true;
}

namespace quill {

bool RestoreZliHeader(TImageSource& source) {
  std::vector<uint8_t> first(17);  // the test wants more than 16 bytes
  if (!source.ReadExactly(0, first) || !::RestoreZliHeader(first)) return false;
  source.Overlay(std::span(first).first(16));
  return true;
}

}  // namespace quill

namespace quill {

void KeepRgbIccProfile(TImagePropertyList& items) {
  std::erase_if(items, [](const TImagePropertyItem& item) {
    if (item.Id != kPropertyIccProfile) return false;
    const std::vector<uint8_t>& p = item.Value;
    constexpr size_t kHeaderAndTagCount = 132;
    if (p.size() < kHeaderAndTagCount) return true;
    const uint32_t declared = uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
    return declared != p.size() || std::memcmp(&p[16], "RGB ", 4) != 0 || std::memcmp(&p[36], "acsp", 4) != 0;
  });
}

uint32_t DotsPerInchTo(double dpi, double unitsPerInch) {
  if (!(dpi > 0) || !(unitsPerInch > 0)) return 0;
  return static_cast<uint32_t>(EnsureRangeInt64(RoundHalfEven(dpi / unitsPerInch), 0, UINT32_MAX));
}

bool ReadImageFileInfo(TImageSource& source, TImageFileInfo& info) {
  info = TImageFileInfo();
  TImageMetadata metadata;
  TDecodeRequest request;
  request.Metadata = &metadata;
  request.Brief = true;
  const TImageRawFormat format = DetectImageFormat(source);
  if (!FailOnMemoryError([&] { return Decode(source, format, request); })) return false;
  info.Format = format;
  info.Width = request.Width;
  info.Height = request.Height;
  info.DateTime = QString::fromLocal8Bit(ReadPropertyText(metadata.Items, kPropertyDateTime));
  info.Make = QString::fromLocal8Bit(ReadPropertyText(metadata.Items, kPropertyMake));
  info.Model = QString::fromLocal8Bit(ReadPropertyText(metadata.Items, kPropertyModel));
  return true;
}

bool ReadImageFileInfo(const std::filesystem::path& fileName, TImageFileInfo& info) {
  info = TImageFileInfo();
  TImageSource source;
  if (!source.OpenFile(fileName)) return false;
  source.SetReadLimit(kHeaderReadLimit);
  return ReadImageFileInfo(source, info);
}

QString ImageFormatName(TImageRawFormat format) {
  switch (format) {
    case TImageRawFormat::Bmp: return QStringLiteral("BMP");
    case TImageRawFormat::Jpeg: return QStringLiteral("JPEG");
    case TImageRawFormat::Png: return QStringLiteral("PNG");
    case TImageRawFormat::Tiff: return QStringLiteral("TIFF");
    case TImageRawFormat::Gif:
    case TImageRawFormat::Unknown: break;
  }
  return {};
}

}  // namespace quill

QString BuildImageDescription(const quill::TImageFileInfo& info, const quill::TImageDescriptionLabels& labels) {
  QString camera = info.Make;
  if (!camera.isEmpty()) camera += QLatin1Char(' ') + info.Model;
  const QString size = QStringLiteral("%1 x %2").arg(info.Width).arg(info.Height);
  QString text;
  const QString name = quill::ImageFormatName(info.Format);
  if (!name.isEmpty()) text = labels.Format + QStringLiteral(": ") + name;
  const std::pair<const QString*, const QString*> lines[] = {
      {&labels.Size, &size}, {&labels.Date, &info.DateTime}, {&labels.Camera, &camera}};
  for (const auto& [label, value] : lines) {
    if (!value->isEmpty()) text += QLatin1Char('\n') + *label + QStringLiteral(": ") + *value;
  }
  return text;
}

namespace quill {

bool MakeThumbnail(TImageSource& source, int32_t width, int32_t height, QImage& thumbnail,
                   std::stop_token stop) {
  thumbnail = QImage();
  if (width <= 0 || height <= 0) return false;
  const TImageRawFormat format = DetectImageFormat(source);
  return FailOnMemoryError([&] {
    TDecodeRequest header;
    if (!Decode(source, format, header)) return false;
    TThumbnailSink sink(header.Width, header.Height, width, height, stop);
    TDecodeRequest request;
    request.Pixels = &sink;
    request.MemoryLimit = kThumbnailLibraryMemory;
    // The smallest JPEG scale that still gives at least the thumbnail's size.
    const TRect fit = FitRectProportional({0, 0, header.Width, header.Height}, {0, 0, width, height});
    for (int32_t denominator = 8; denominator > 1 && format == TImageRawFormat::Jpeg; denominator /= 2) {
      if (header.Width / denominator >= fit.Width() && header.Height / denominator >= fit.Height()) {
        request.ScaleDenominator = denominator;
        break;
      }
    }
    if (!Decode(source, format, request)) return false;
    thumbnail = sink.Finish();
    return !thumbnail.isNull();
  });
}

bool MakeThumbnail(const std::filesystem::path& fileName, int32_t width, int32_t height, QImage& thumbnail,
                   std::stop_token stop) {
  thumbnail = QImage();
  TImageSource source;
  return source.OpenFile(fileName) && MakeThumbnail(source, width, height, thumbnail, std::move(stop));
}

}  // namespace quill

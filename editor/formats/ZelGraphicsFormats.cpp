#include "ZelGraphicsFormats.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <new>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "ExchangeFile.h"
#include "ExchangeImage.h"
#include "ImageCodecs.h"
#include "LosslessJpeg.h"
#include "ZelGraphicsDocument.h"
#include "ZelJPEGOptionsForm.h"
#include "ZelLocalizer.h"
#include "ZelUtils.h"
#include "ZelViewCanvas.h"

const TZelFileFormatArray GraphicsFormatTable = {
    {0, QStringLiteral("JPEG"), QStringLiteral("*.jpg;*.jpeg"), QStringLiteral(".jpg")},
    {1, QStringLiteral("TIFF"), QStringLiteral("*.tif;*.tiff"), QStringLiteral(".tif")},
    {2, QStringLiteral("PNG"), QStringLiteral("*.png"), QStringLiteral(".png")},
    {3, QStringLiteral("BMP"), QStringLiteral("*.bmp;*.rle;*.dib"), QStringLiteral(".bmp")},
    {4, QStringLiteral("ZLI"), QStringLiteral("*.zli"), QStringLiteral(".zli")},
};

namespace quill {
namespace {

constexpr int32_t kExchangeFormatId = -1;
constexpr int32_t kJpegFormatId = 0;
constexpr int32_t kZliFormatId = 4;
// A .zli written through the codecs.
constexpr int32_t kZliQuality = 100;

enum : int32_t {
  kReadOnlyText = 1035,
  kFormatLabel = 215,
  kSizeLabel = 504,
  kCameraLabel = 518,
  kDateLabel = 519,
};

std::filesystem::path FilePath(const QString& fileName) {
  return std::filesystem::path(QFile::encodeName(fileName).toStdString());
}

// Only a regular file is read: opening a named pipe would wait for a writer.
bool IsRegularFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

// The hourglass while a file is read or written; nothing without an application.
class TWaitCursor {
 public:
  TWaitCursor() : shown_(qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
    if (shown_) QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~TWaitCursor() {
    if (shown_) QApplication::restoreOverrideCursor();
  }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;

 private:
  const bool shown_;
};

int32_t FormatIdOf(TImageRawFormat format) {
  if (format == TImageRawFormat::Jpeg) return 0;
  if (format == TImageRawFormat::Tiff) return 1;
  if (format == TImageRawFormat::Bmp) return 3;
  return 2;
}

// The lossless reader: the JPEG object loads the file and decodes straight into the
// current image, whose block may be a closed photo's (the decoder writes every pixel);
// a failure leaves it without an image, and the codecs get their turn.
// The properties come from the same file's headers.
bool LoadLossless(TZelGraphicsDocument& document, TImageSource& source, int32_t& formatId) {
  if (document.JPEG == nullptr) return false;
  TZelLTBitmap& image = document.CurrentImage;
  const auto target = [&image](int32_t width, int32_t height, int32_t& stride) -> uint8_t* {
    if (!image.SetSizeForWriting(width, height, kPixelFormat24)) return nullptr;
    stride = image.GetPixels().Stride();
    return image.GetPixels().Bits();
  };
  if (!document.JPEG->LoadFromSource(source, target)) {
    image.Clear();
    return false;
  }
  formatId = kJpegFormatId;
  TImageRawFormat format;
  TImageMetadata metadata;
  ReadImageMetadata(source, format, metadata);
  ReadImageProperties(document.Properties, metadata);
  return true;
}

bool LoadWithCodecs(TZelGraphicsDocument& document, TImageSource& source, int32_t& formatId) {
  TImageRawFormat format;
  TImageMetadata metadata;
  TImageLoadFailure failure;
  if (!DecodeImage(source, document.CurrentImage, format, metadata, failure)) return false;
  formatId = FormatIdOf(format);
  ReadImageProperties(document.Properties, metadata);
  return true;
}

// The readers in their order on an open file: the lossless one for a JPEG (a .zli's
// restored header overlaid), then the codecs.
bool LoadImage(TZelGraphicsDocument& document, TImageSource& source, int32_t& formatId) {
  const bool zli = RestoreZliHeader(source);
  const bool loaded = LoadLossless(document, source, formatId) || LoadWithCodecs(document, source, formatId);
  if (zli) formatId = kZliFormatId;
  return loaded;
}

// The document's bounds in its current image, as pixels that an encoder reads.
TZelPixels BoundsPixels(TZelGraphicsDocument& document) {
  const TRect bounds = document.GetBounds();
  const TZelPixels& image = document.GetCurrentPixels();
  TZelPixels pixels;
  pixels.Attach(bounds, image.GetPixelAddress(bounds.Left, bounds.Top), image.Stride(), image.PixelFormat());
  return pixels;
}

// The document's bounds through its JPEG object: the blocks that still show the
// loaded picture keep their coefficients. The original image, which follows the same
// geometry, tells which those are without decoding the file again. The object's
// geometry is put back afterwards, so the region set for the save does not crop it for
// good.
bool EncodeLossless(TZelGraphicsDocument& document, std::vector<uint8_t>& output) {
  TLosslessJpeg& jpeg = *document.JPEG;
  const TLosslessJpeg::TGeometry geometry = jpeg.GetGeometry();
  const TZelPixels pixels = BoundsPixels(document);
  const TZelPixels& original = document.GetOriginalPixels();
  if (original.PixelFormat() == kPixelFormat24 && original.GetBounds() == document.CurrentImage.GetBounds()) {
    jpeg.SetReference(original.GetPixelAddress(pixels.Left(), pixels.Top()), original.Stride());
  }
  const uint32_t sampling = jpeg.GetSamplingValue();
  TLosslessJpegSaveOptions options;
  options.Values[TLosslessJpegSaveOptions::kSampling] =
      static_cast<int32_t>(std::max(sampling >> 16, sampling & 0xFFFF));
  options.TopLeftOrientation = document.IsReoriented();
  jpeg.SetRegion(pixels.GetBounds());
  jpeg.SetPixels(pixels.Bits(), pixels.Stride());
  bool saved = jpeg.SaveToMemory(output, options);
  if (!saved) {
    // Once more with plain sequential coding.
    options.Values[TLosslessJpegSaveOptions::kCoding] = 0;
    saved = jpeg.SaveToMemory(output, options);
  }
  jpeg.EndSave();
  jpeg.SetGeometry(geometry);
  return saved;
}

bool EncodeWithCodecs(TZelGraphicsDocument& document, std::string_view mimeType, int32_t quality,
                      std::vector<uint8_t>& output) {
  RemoveThumbnailProperties(document.Properties);
  TImageMetadata metadata;
  WriteImageProperties(document.Properties, metadata);
  if (document.IsReoriented()) SetTopLeftOrientation(metadata.Items);
  return EncodeImage(BoundsPixels(document), mimeType, quality, metadata, output);
}

// Why a file could not be written, as a sentence: string 1035 for a read-only file,
// else the system's text for its error number; empty when it gave none.
QString WriteFailureReason(const TFileWriteFailure& failure) {
  if (failure.ReadOnly) return GetLocalizedString(kReadOnlyText);
  if (failure.Error == 0) return {};
  return QString::fromLocal8Bit(std::strerror(failure.Error)) + QLatin1Char('.');
}

}  // namespace
}  // namespace quill

// ---- TZelGraphicsFileInfo ----

TZelGraphicsFileInfo::TZelGraphicsFileInfo(const QString& fileName) : TZelFileInfo(fileName) {
  const std::filesystem::path path = quill::FilePath(fileName);
  quill::TImageFileInfo info;
  if (!quill::IsRegularFile(path) || !quill::ReadImageFileInfo(path, info)) return;
  const quill::TImageDescriptionLabels labels = {
      GetLocalizedString(quill::kFormatLabel), GetLocalizedString(quill::kSizeLabel),
      GetLocalizedString(quill::kDateLabel), GetLocalizedString(quill::kCameraLabel)};
  Description = BuildImageDescription(info, labels);
}

// ---- TZelGraphicsThumbnail ----

TZelGraphicsThumbnail::TZelGraphicsThumbnail(QImage image) : Image(std::move(image)) {}

bool TZelGraphicsThumbnail::Draw(QPainter& painter, const quill::TRect& box, quill::TRect& drawnRect) const {
  drawnRect = CenterRect({0, 0, Image.width(), Image.height()}, box);
  painter.drawImage(quill::RectToQRect(drawnRect), Image);
  return true;
}

// ---- TZelGraphicsFormats ----

TZelGraphicsFormats::TZelGraphicsFormats() = default;

int TZelGraphicsFormats::GetCount() const { return static_cast<int>(GraphicsFormatTable.size()); }

const TZelFileFormatInfo* TZelGraphicsFormats::GetFormat(int index) const {
  if (index < 0 || index >= GetCount()) return nullptr;
  return &GraphicsFormatTable[static_cast<size_t>(index)];
}

bool TZelGraphicsFormats::GetFileInfo(const QString& fileName,
                                      std::unique_ptr<TZelFileInfo>& info) const {
  if (!QFileInfo(fileName).isFile()) return false;
  try {
    info = std::make_unique<TZelGraphicsFileInfo>(fileName);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool TZelGraphicsFormats::GetThumbnail(const QString& fileName, int32_t maxWidth,
                                       int32_t maxHeight,
                                       std::unique_ptr<TZelThumbnail>& thumbnail, std::stop_token stop) const {
  const std::filesystem::path path = quill::FilePath(fileName);
  QImage image;
  if (!quill::IsRegularFile(path) || !quill::MakeThumbnail(path, maxWidth, maxHeight, image, std::move(stop))) {
    return false;
  }
  try {
    thumbnail = std::make_unique<TZelGraphicsThumbnail>(std::move(image));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool TZelGraphicsFormats::Load(TZelDocument* document, const QString& fileName,
                               int32_t& formatId) {
  auto* graphics = dynamic_cast<TZelGraphicsDocument*>(document);
  const std::filesystem::path path = quill::FilePath(fileName);
  if (graphics == nullptr || !quill::IsRegularFile(path)) return false;
  const quill::TWaitCursor wait;
  bool result = false;
  // A picture whose memory cannot be had is a file that does not load.
  try {
    if (LoadExchangeFile(fileName, *graphics)) {
      formatId = quill::kExchangeFormatId;
      result = true;
    } else if (IsExchangeFile(fileName)) {
      // The plug-in's file that its reader refused (too large, cut short): no other
      // reader takes a file beginning "PSPF".
    } else if (quill::TImageSource source; source.OpenFile(path)) {
      result = quill::LoadImage(*graphics, source, formatId);
    }
  } catch (const std::bad_alloc&) {
    result = false;
  }
  // The original image and the committed copy share the new pixels until the first
  // operation, so opening copies no image. After a failure too: a reader may have
  // replaced the current image's block, and the views must not describe the old one.
  graphics->SetOriginalToCurrent();
  graphics->SyncCommittedCopy();
  return result;
}

bool TZelGraphicsFormats::Save(TZelDocument* document, const QString& fileName,
                               int32_t formatId, TZelSaveFailure& failure) {
  failure = TZelSaveFailure();
  auto* graphics = dynamic_cast<TZelGraphicsDocument*>(document);
  if (graphics == nullptr) return false;
  const quill::TWaitCursor wait;
  const bool lossless = (formatId == quill::kJpegFormatId || formatId == quill::kZliFormatId) &&
                        graphics->JPEG != nullptr && graphics->JPEG->HasImage();
  std::string_view mimeType;
  int32_t quality = -1;
  switch (formatId) {
    case quill::kExchangeFormatId: break;
    case 1: mimeType = "image/tiff"; break;
    case 2: mimeType = "image/png"; break;
    case 3: mimeType = "image/bmp"; break;
    case quill::kJpegFormatId:
      if (lossless) break;
      if (!quill::AskJPEGQuality(JPEGQuality)) {
        failure.Cancelled = true;
        return false;
      }
      mimeType = "image/jpeg";
      quality = JPEGQuality;
      break;
    case quill::kZliFormatId:
      if (lossless) break;
      mimeType = "image/jpeg";
      quality = quill::kZliQuality;
      break;
    default: return false;
  }

  graphics->BeforeSave();
  if (formatId == quill::kExchangeFormatId) return SaveExchangeFile(fileName, *graphics);
  std::vector<uint8_t> output;
  const bool encoded = lossless ? quill::EncodeLossless(*graphics, output)
                                : quill::EncodeWithCodecs(*graphics, mimeType, quality, output);
  if (!encoded || (formatId == quill::kZliFormatId && !InvertZliHeader(output))) return false;
  quill::TFileWriteFailure writeFailure;
  if (quill::WriteFileReplacing(quill::FilePath(fileName), output, writeFailure)) return true;
  failure.Reason = quill::WriteFailureReason(writeFailure);
  return false;
}

bool TZelGraphicsFormats::LoadExchangeFile(const QString& fileName, TZelGraphicsDocument& document) {
  quill::TImageMetadata metadata;
  if (!quill::LoadExchangeImage(quill::FilePath(fileName), document.CurrentImage, metadata)) return false;
  document.SetOriginalToCurrent();
  ReadImageProperties(document.Properties, metadata);
  return true;
}

bool TZelGraphicsFormats::SaveExchangeFile(const QString& fileName, TZelGraphicsDocument& document) {
  return quill::SaveExchangeImage(quill::FilePath(fileName), document.CurrentImage);
}

bool TZelGraphicsFormats::IsExchangeFile(const QString& fileName) {
  return quill::IsExchangeFile(quill::FilePath(fileName));
}

// ---- Property items ----

void ReadImageProperties(TZelGraphicsDocumentProperties& properties, const quill::TImageMetadata& metadata) {
  properties.Clear();
  for (const quill::TImagePropertyItem& item : metadata.Items) {
    properties.SetValue(static_cast<int32_t>(item.Id), item.Type, item.Length(), item.Value.data());
  }
  const auto dotsPerInch = [](double resolution) {
    return static_cast<int32_t>(EnsureRangeInt64(quill::RoundHalfEven(resolution), 0, INT32_MAX));
  };
  properties.HorizontalResolution = dotsPerInch(metadata.HorizontalResolution);
  properties.VerticalResolution = dotsPerInch(metadata.VerticalResolution);
}

void WriteImageProperties(const TZelGraphicsDocumentProperties& properties, quill::TImageMetadata& metadata) {
  metadata.Items.clear();
  for (int i = 0; i < properties.GetCount(); ++i) {
    const quill::TZelPropertyItem& item = *properties.GetItem(i);
    metadata.Items.push_back({static_cast<uint32_t>(item.Id), static_cast<uint16_t>(item.Type), item.Bytes});
  }
  metadata.HorizontalResolution = properties.HorizontalResolution;
  metadata.VerticalResolution = properties.VerticalResolution;
}

void RemoveThumbnailProperties(TZelGraphicsDocumentProperties& properties) {
  for (int32_t id = 0x5012; id <= 0x503B; ++id) {
    if (id != 0x501A) properties.Delete(id);
  }
}

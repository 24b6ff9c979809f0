// TZelGraphicsFormats: the graphics editor's table of image file formats and everything
// that turns a file into a document's pixels and back.
//
// The table has five rows: 0 JPEG, 1 TIFF, 2 PNG, 3 BMP, 4 ZLI (a JPEG whose first 16
// bytes are stored inverted). The id -1 marks the exchange file of the filter plug-in.
//
// Load tries, in this order, the exchange file (format id -1), the .zli header
// restore, the lossless JPEG object (id 0) and the image codecs (ids 0..3 by the
// file's content, never by its extension); a restored .zli reports 4 whichever reader
// decoded it. On success the document's current and original images, committed copy
// and properties hold the file's content.
//
// Save writes by format id: -1 the exchange file; 1, 2, 3 TIFF, PNG, BMP; 0 and 4 the
// lossless JPEG object when it holds an image, else a JPEG (0 after the JPEG options
// dialog asked the quality, 4 at quality 100 and then the inverted header). Only the
// document's bounds (its selection, else the whole image) are written. The property
// items go back into every codec save, without the thumbnail's. A failed save
// reports false and leaves the old file whole.
//
// GetFileInfo and GetThumbnail run on the open dialog's preview thread: they touch
// neither a document nor JPEGQuality. Everything else runs on the main thread.

#ifndef QUILL_EDITOR_ZELGRAPHICSFORMATS_H_
#define QUILL_EDITOR_ZELGRAPHICSFORMATS_H_

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>

#include "ImageProperties.h"
#include "ZelEditor.h"
#include "ZelFileFormats.h"

class TZelGraphicsDocument;
class TZelGraphicsDocumentProperties;

// The five rows, in table order.
extern const TZelFileFormatArray GraphicsFormatTable;

// What the open dialog shows under the preview of a file.
class TZelGraphicsFileInfo : public TZelFileInfo {
 public:
  // Reads FileName's header; Description stays empty when it is no image.
  explicit TZelGraphicsFileInfo(const QString& fileName);
  QString GetDescription() const override { return Description; }

  QString Description;
};

// A preview picture of a file, already fitted to the box it was made for.
class TZelGraphicsThumbnail : public TZelThumbnail {
 public:
  explicit TZelGraphicsThumbnail(QImage image);
  // Draws Image centred in Box; DrawnRect gets the rectangle it covered.
  bool Draw(QPainter& painter, const TRect& box, TRect& drawnRect) const override;

  QImage Image;
};

class TZelGraphicsFormats : public TZelDocumentFormats {
 public:
  // JPEGQuality 80.
  TZelGraphicsFormats();

  // The quality of JPEG saves through the codecs, 0..100; the graphics editor keeps
  // it in the settings file.
  int32_t JPEGQuality = 80;

  int GetCount() const override;
  const TZelFileFormatInfo* GetFormat(int index) const override;
  // True when FileName exists as a file (not a folder); Info describes it then.
  bool GetFileInfo(const QString& fileName, std::unique_ptr<TZelFileInfo>& info) const override;
  bool GetThumbnail(const QString& fileName, int32_t maxWidth, int32_t maxHeight,
                    std::unique_ptr<TZelThumbnail>& thumbnail) const override;
  // See the top of this file. False for a document that is no graphics document.
  bool Load(TZelDocument* document, const QString& fileName, int32_t& formatId) override;
  bool Save(TZelDocument* document, const QString& fileName, int32_t formatId) override;

  // The exchange file read into and written back from a document.
  static bool LoadExchangeFile(const QString& fileName, TZelGraphicsDocument& document);
  static bool SaveExchangeFile(const QString& fileName, TZelGraphicsDocument& document);
};

// The .zli header of FileName: RestoreZliHeader inverts its first 16 bytes when the
// inverted bytes begin a JPEG, InvertZliHeader inverts them when they begin one as
// they stand. Each reports whether it inverted; a file of 16 bytes or less, or one
// that cannot be rewritten, stays as it is.
bool RestoreZliHeader(const QString& fileName);
bool InvertZliHeader(const QString& fileName);

// The property items between the document and the codecs. Read replaces the
// document's items and resolution with Metadata's; Write puts the document's items
// and resolution into Metadata.
void ReadImageProperties(TZelGraphicsDocumentProperties& properties, const TImageMetadata& metadata);
void WriteImageProperties(const TZelGraphicsDocumentProperties& properties, TImageMetadata& metadata);
// Deletes the items of an embedded thumbnail: ids 20498-20505 and 20507-20539.
void RemoveThumbnailProperties(TZelGraphicsDocumentProperties& properties);

#endif  // QUILL_EDITOR_ZELGRAPHICSFORMATS_H_

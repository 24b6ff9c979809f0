// TZelGraphicsFormats: the graphics editor's table of image file formats and everything
// that turns a file into a document's pixels and back.
//
// The table has five rows: 0 JPEG, 1 TIFF, 2 PNG, 3 BMP, 4 ZLI (a JPEG whose first 16
// bytes are stored inverted). The id -1 marks the exchange file of the filter plug-in.
//
// Load tries, in this order, the exchange file (format id -1; a file that begins as
// one, IsExchangeFile, but that its reader refuses fails there), the .zli header
// restore, the lossless JPEG object (id 0) and the image codecs (by the file's content,
// never by its extension: 0 JPEG, 1 TIFF, 2 PNG, 3 BMP; any other format the codecs
// decode, such as GIF, reports 2, so that its Save As proposes a format that keeps
// every pixel); a restored .zli reports 4 whichever reader decoded it. The .zli header
// is restored in the bytes read, never in the file: opening a .zli writes nothing, so a
// read-only one opens too. The file is read as the readers need it, never whole: the
// JPEG object keeps a JPEG's bytes up to its end-of-image marker, the codecs keep none,
// and a picture whose memory cannot be had fails like any file that does not load. On
// success the document's current and original images,
// committed copy and properties hold the file's content and the JPEG object holds an
// image exactly when the lossless reader decoded the file. A name that is no regular
// file (missing, a folder, a named pipe) fails at once, without being opened.
//
// Save writes by format id: -1 the exchange file (in place, as its protocol wants,
// the whole image); 1, 2, 3 TIFF, PNG, BMP; 0 and 4 through the lossless JPEG object
// when it holds an image (no quality asked), else a JPEG (0 at JPEGQuality after
// AskJPEGQuality confirmed it, 4 at quality 100); a .zli gets its header inverted
// before it is written. Only the document's bounds (its selection, else the whole
// image) are written; the JPEG object's geometry is the same after a save as before.
// The property items go back into every codec save, without the thumbnail's, which
// are deleted from the document. When the document was turned or mirrored since it
// was opened (IsReoriented), the saved file's EXIF orientation says top-left, through
// the JPEG object and the codecs alike: the pixels written are upright, as the user saw
// them; the document's own item stays as opened. Before writing, once no question can
// cancel the save any more, the document's BeforeSave runs (the tools confirm open
// work there, so the file holds what the window shows). Every image file is encoded
// in memory and then replaces the target through a temporary file in the same folder:
// a failed save (Cancel in the quality dialog, an encoder failure, a target that
// cannot be replaced, an id without encoder) reports false, with the system's reason
// for a target that cannot be written (string 1035 for a read-only file), and leaves
// the old file whole.
//
// GetFileInfo reads a file's headers only (under quill::kHeaderReadLimit). GetThumbnail
// runs on the open dialog's preview thread: it touches neither a document nor
// JPEGQuality nor the localizer, never holds the full picture, and gives up when its
// stop token is signalled. Everything else runs on the main thread.

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
  // Reads FileName's header; Description stays empty when it is no image. The labels
  // are localized strings 215 (format), 504 (size), 519 (date) and 518 (camera).
  explicit TZelGraphicsFileInfo(const QString& fileName);
  QString GetDescription() const override { return Description; }

  QString Description;
};

// A preview picture of a file, already fitted to the box it was made for.
class TZelGraphicsThumbnail : public TZelThumbnail {
 public:
  explicit TZelGraphicsThumbnail(QImage image);
  // Draws Image at its own size, centred in Box; DrawnRect gets the rectangle it
  // covered. True.
  bool Draw(QPainter& painter, const quill::TRect& box, quill::TRect& drawnRect) const override;

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
  // The picture fitted into MaxWidth x MaxHeight with its proportions kept (a smaller
  // one is enlarged); false when the file does not decode or the box is empty.
  bool GetThumbnail(const QString& fileName, int32_t maxWidth, int32_t maxHeight,
                    std::unique_ptr<TZelThumbnail>& thumbnail, std::stop_token stop = {}) const override;
  // See the top of this file. False for a document that is no graphics document.
  bool Load(TZelDocument* document, const QString& fileName, int32_t& formatId) override;
  using TZelDocumentFormats::Save;
  bool Save(TZelDocument* document, const QString& fileName, int32_t formatId,
            TZelSaveFailure& failure) override;

  // The exchange file read into a document (its images and properties; the committed
  // copy is Load's to bring up to date) and written back from its current image.
  static bool LoadExchangeFile(const QString& fileName, TZelGraphicsDocument& document);
  static bool SaveExchangeFile(const QString& fileName, TZelGraphicsDocument& document);
  // Whether FileName begins as an exchange file (quill::IsExchangeFile), loadable or not.
  static bool IsExchangeFile(const QString& fileName);
};

// The property items between the document and the codecs. Read replaces the
// document's items (in Metadata's order) and resolution (rounded, halves to even) with
// Metadata's; Write puts the document's items, in list order, and resolution into
// Metadata.
void ReadImageProperties(TZelGraphicsDocumentProperties& properties, const quill::TImageMetadata& metadata);
void WriteImageProperties(const TZelGraphicsDocumentProperties& properties, quill::TImageMetadata& metadata);
// Deletes the items of an embedded thumbnail: ids 20498-20505 and 20507-20539.
void RemoveThumbnailProperties(TZelGraphicsDocumentProperties& properties);

#endif  // QUILL_EDITOR_ZELGRAPHICSFORMATS_H_

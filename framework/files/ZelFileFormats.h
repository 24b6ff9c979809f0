// The abstract table of file formats that the open and save dialogs and the editor
// ask instead of knowing the formats themselves.
//
// A table lists its formats (id, display name, masks, default extension), builds the
// two lists the dialogs turn into their filters, and answers the open dialog's two
// questions about a selected file: a description (TZelFileInfo) and a preview picture
// (TZelThumbnail).
//
// Threads: GetFileInfo runs on the main thread when the dialog's selection changes;
// GetThumbnail runs on the open dialog's preview thread, beside the main thread, so an
// implementation of it reads nothing that the main thread changes (no document, no
// editor state, no widget) and allocates only objects of its own. A thumbnail is drawn
// on the main thread.

#ifndef QUILL_FRAMEWORK_ZELFILEFORMATS_H_
#define QUILL_FRAMEWORK_ZELFILEFORMATS_H_

#include <QString>

#include <cstdint>
#include <stop_token>
#include <memory>
#include <utility>
#include <vector>

#include "ZelTypes.h"

class QPainter;

// One row of a format table.
struct TZelFileFormatInfo {
  int32_t Id = 0;
  QString Name;        // display name
  QString Mask;        // one or more file masks separated by ";", e.g. "*.jpg;*.jpeg"
  QString DefaultExt;  // with its dot, e.g. ".jpg"; empty for the collective entries
};

using TZelFileFormatArray = std::vector<TZelFileFormatInfo>;

// The description of one file that the open dialog shows under the preview.
class TZelFileInfo {
 public:
  explicit TZelFileInfo(QString fileName) : FileName(std::move(fileName)) {}
  virtual ~TZelFileInfo() = default;

  // The text shown under the preview; empty here.
  virtual QString GetDescription() const { return QString(); }

  const QString FileName;
};

// A preview picture, made on the preview thread and drawn on the main thread.
class TZelThumbnail {
 public:
  virtual ~TZelThumbnail() = default;
  // Paints the picture into Box of Painter (device coordinates) and stores the
  // rectangle it covered in DrawnRect. False when nothing was painted.
  virtual bool Draw(QPainter& painter, const quill::TRect& box, quill::TRect& drawnRect) const = 0;
};

class TZelFileFormats {
 public:
  virtual ~TZelFileFormats() = default;

  virtual int GetCount() const = 0;
  // The row at Index, owned by the table; nullptr outside 0 .. count - 1.
  virtual const TZelFileFormatInfo* GetFormat(int index) const = 0;
  // A description of FileName for the open dialog; false (and Info untouched) when
  // the table cannot describe it. False here.
  virtual bool GetFileInfo(const QString& fileName, std::unique_ptr<TZelFileInfo>& info) const;
  // A preview of FileName fitting in MaxWidth x MaxHeight pixels; false (Thumbnail
  // untouched) when none can be made. Runs on the preview thread (see above). Stop is
  // requested once the preview is no longer wanted (a newer request, the dialog
  // closing): an implementation then gives up soon, with false, so that nobody waits
  // for a picture nobody will see. False here.
  virtual bool GetThumbnail(const QString& fileName, int32_t maxWidth, int32_t maxHeight,
                            std::unique_ptr<TZelThumbnail>& thumbnail, std::stop_token stop) const;
  // A copy of every row in table order: the save dialog's filter.
  virtual TZelFileFormatArray GetFormats() const;
  // Every row, then "all supported formats" (localized string 146, the masks of all
  // rows joined by ";") and "all files" (localized string 147, "*.*"), both with id 0
  // and no default extension: the open dialog's filter.
  virtual TZelFileFormatArray GetOpenFormats() const;

  // The index of the first row whose Id matches; -1 when none does.
  int IndexOfFormat(int32_t id) const;
};

// The index of the first record of Formats whose Id matches; -1 when none does.
int IndexOfFileFormat(const TZelFileFormatArray& formats, int32_t id);

// The dialog filter of Formats: for every record "Name (Mask)|Mask", the records
// joined by "|"; empty for no records.
QString BuildFilterString(const TZelFileFormatArray& formats);

#endif  // QUILL_FRAMEWORK_ZELFILEFORMATS_H_

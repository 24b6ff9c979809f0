// The open and save dialogs: Qt's own (non-native) file dialog with a preview pane at
// its right. While the user moves from file to file, the preview thread
// (ZelDialogPreviewThread.h) turns the current file into a picture through the
// file-format table, and a label under the picture shows the table's description of
// the file. The filter list comes from the same table.
//
// The caller creates a dialog, optionally sets the file name and the filter index,
// runs Execute, reads the chosen file name and filter index, and frees the dialog:
//
//   TZelSaveDialog dialog(nullptr, formats);
//   dialog.SetFileName(nameWithoutExtension);
//   dialog.SetFilterIndex(formats.IndexOfFormat(formatId) + 1);
//   if (dialog.Execute()) Save(dialog.GetFileName(), dialog.GetFilterIndex());
//
// Filter indexes are 1-based positions in the table's list (GetOpenFormats for the
// open dialog, GetFormats for the save dialog); 0, or any index outside the list,
// selects the first entry. The save dialog never asks about overwriting: the caller
// does. A dialog runs once: closing it ends its preview thread.
//
// Main thread only, apart from the preview thread's own work.

#ifndef QUILL_FRAMEWORK_ZELFILEDIALOGS_H_
#define QUILL_FRAMEWORK_ZELFILEDIALOGS_H_

#include <QFileDialog>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

#include "ZelDialogPreviewThread.h"
#include "ZelFileFormats.h"

class QLabel;
class QPainter;
class QWidget;

namespace quill {

// Qt's name filters for a filter string of BuildFilterString: one per "Text|Masks"
// pair, Text with the masks in its closing parentheses written as Qt reads them,
// blank-separated, and "*.*" as "*" so that it matches every file, also one without
// an extension: "JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg" gives "JPEG (*.jpg *.jpeg)". Names
// match regardless of case.
QStringList NameFiltersFromFilterString(const QString& filter);

}  // namespace quill

class TZelOpenDialog : public QFileDialog {
  Q_OBJECT

 public:
  // An open dialog over Formats (which must outlive it), filtered by the table's
  // open list and starting on its all-supported-formats entry.
  TZelOpenDialog(QWidget* owner, const TZelFileFormats& formats);
  // Ends the preview thread (waiting for a picture being made), then frees the preview.
  ~TZelOpenDialog() override;

  // Shows the dialog modally; true when the user chose a file.
  bool Execute();

  // The chosen file; before Execute, the file (and folder) the dialog starts with. A
  // full name whose folder no longer exists is kept as given; the dialog then opens on
  // the nearest folder above it that exists.
  QString GetFileName() const;
  void SetFileName(const QString& fileName);
  int GetFilterIndex() const;
  void SetFilterIndex(int index);

  // Runs whenever the current item changes: frees the preview, asks the table for a
  // description of FileName and, when it gives one, shows it and requests a preview;
  // otherwise clears the description and leaves the box empty. Connected to
  // currentChanged; callable directly, so that the pane can be driven without a view.
  void SelectionChanged(const QString& fileName);

  // The picture shown; nullptr while the box is empty.
  const TZelThumbnail* GetPreview() const { return preview_.get(); }
  // The preview worker; once stopped, its passes can be run by hand.
  TZelDialogPreviewThread& GetPreviewThread() { return previewThread_; }

 protected:
  enum class TKind { Open, Save };
  TZelOpenDialog(QWidget* owner, const TZelFileFormats& formats, TKind kind);

  // Closing (accept or reject) ends the preview thread; a picture still being made
  // is then dropped.
  void done(int result) override;
  // The file the dialog starts with gets its description and preview once the dialog
  // is laid out: Qt reports no current item for a file selected before the folder's
  // listing has been read.
  void showEvent(QShowEvent* event) override;

 private:
  // Sets the filters of the table's list for this kind of dialog.
  void SetupFilter();
  // Takes a picture the worker stored; shows it when it answers the current request.
  void DeliverPreview();
  // Paints the preview box: the picture centred, the rest in the box's colour, a frame.
  void ShowPreview(QWidget& box, QPainter& painter);

  const TZelFileFormats& formats_;
  const TKind kind_;
  QWidget* previewBox_ = nullptr;
  QLabel* descriptionLabel_ = nullptr;
  std::unique_ptr<TZelThumbnail> preview_;
  uint64_t previewRequest_ = 0;  // the request whose picture may be shown; 0 none
  TZelDialogPreviewThread previewThread_;
};

class TZelSaveDialog : public TZelOpenDialog {
  Q_OBJECT

 public:
  // A save dialog over Formats, filtered by the table's formats; the caller sets the
  // filter index.
  TZelSaveDialog(QWidget* owner, const TZelFileFormats& formats);
};

#endif  // QUILL_FRAMEWORK_ZELFILEDIALOGS_H_

// TZelGraphicsEditor: the one editor of the program. It opens images as graphics
// documents, shows them in a graphics view, zooms, browses the other images of the
// same folder, switches the active tool, brackets undo and redo with the tool
// notifications, and carries the zoom commands, the status bar's coordinate, size and
// colour panels and the JPEG quality setting.
//
// The tools reach the current document and view, the active-tool switch and the tool
// lock through the global GraphicsEditor.
//
// Zoom: 21 steps from 1/16 to 16/1. Zoom in picks the first step above the current
// zoom (compared in thousandths), zoom out the first step below it; at the ends the
// zoom stays. Best fit may give a zoom between steps.
//
// Folder browsing: the folder's image files (by extension, names sorted without regard
// to case, folders skipped) with the current one's position; Previous and Next do not
// wrap.
//
// Plug-in mode (ZelGraphicsEditorPlugin.cpp) begins when a document read from an
// exchange file becomes current, and never ends. The program started on an exchange
// file that does not load (too large, cut short) shows the open error and ends at once
// with exit code -1, so that the host gets no result; it never runs on in normal mode,
// whose exit code 0 would hand the host its own pixels as the edit. In plug-in mode
// the application title gains " Plug-in" and the caption shows that title alone; the
// File menu, Open, Save, Previous and Next are hidden and dropped files are ignored;
// OK and Cancel follow a separator at the end of the standard toolbar; the exchange
// file never enters the recent files. The process exit
// code (ExitCode) is -1 from then on and becomes 0 only once the image has been
// written back into the exchange file:
// - OK ends a running tool operation without an undo record and writes the image
//   back. Only a written image sets 0 and closes the main window; when the write
//   fails, string 1031 says so and the window stays open with -1, so the user may try
//   OK again or cancel.
// - Cancel ends a running operation likewise and closes without a question.
// - Closing a modified image asks the save question about "the image" (string 500):
//   Yes writes it back (0 and the window closes; a failed write is reported as on OK
//   and keeps the window), No closes with -1, Cancel keeps the window.
// The host that waits for the image (PluginHost, handed down by the plug-in) may end
// meanwhile, and then nothing reads the file back: OK and Yes to the question say so
// (string 1032), write nothing, and close with -1. When the program ends after a host
// that has ended (EndPluginRun), it removes the exchange file and the runtime folder
// the plug-in made for the run, which no plug-in is left to delete.
//
// Script commands (ExecuteCommand, names upper-cased by the player): IMAGEOPEN name
// [, view width, view height] opens ImagesFolder + name when that file exists, else
// name as given, as a document that closes without the save question, and with two
// numeric sizes grows the window until the view is that large and fits the image;
// when the open fails the player reports "Cannot open the file.". The name is read as
// the script reads file names (UTF-8, else the code page of its texts:
// TZelDemoScript::DecodeFileName). ZOOMIN, ZOOMOUT,
// ACTUALSIZE and BESTFIT click their buttons. SETMINWINDOWSIZE width, height widens
// (heightens) a smaller main window to that size, at most the screen's, centred;
// SETMINVIEWSIZE width, height grows the window as IMAGEOPEN does; both then fit the
// image and do nothing without exactly two numbers. UNDO and REDO as the editor base.
// Targets (GetTargetPoint): OPEN and OPENBUTTON, ZOOMIN, ZOOMOUT, ACTUALSIZE and
// BESTFIT are the centres of their toolbar buttons, not found while a button is hidden
// (Open in plug-in mode); IMAGE, x, y is the image point (x, y) in the current view,
// not found without a view or unless x and y are both numbers; UNDO and REDO as the
// editor base. A target not found makes the player report "Invalid arguments.".
//
// Main thread only.

#ifndef QUILL_EDITOR_ZELGRAPHICSEDITOR_H_
#define QUILL_EDITOR_ZELGRAPHICSEDITOR_H_

#include <QCursor>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <array>
#include <cstdint>
#include <memory>

#include "ZelColor.h"
#include "ZelEditor.h"
#include "PluginHost.h"
#include "ZelGraphicsFormats.h"
#include "ZelTypes.h"

class QLabel;
class QRect;
class TZelGraphicsDocument;
class TZelGraphicsTool;
class TZelGraphicsView;

namespace quill {

// One zoom step: Numerator / Denominator.
struct TZelZoomStep {
  int32_t Numerator;
  int32_t Denominator;
};

// The zoom steps, rising.
inline constexpr std::array<TZelZoomStep, 21> ZoomSteps = {{
    {1, 16}, {1, 12}, {1, 8}, {1, 7}, {1, 6}, {1, 5}, {1, 4}, {1, 3}, {1, 2}, {3, 4}, {1, 1},
    {3, 2}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 1}, {12, 1}, {16, 1},
}};

}  // namespace quill

class TZelGraphicsEditor : public TZelEditor {
 public:
  // The JPEG quality's settings node.
  static const QUuid kQualityGuid;

  // The editor base (main window, File and Edit menus, standard toolbar), then the
  // format table, the browse and zoom commands, the status panels, the scroll tool
  // (the first tool) and the hand cursor.
  explicit TZelGraphicsEditor(quill::TZelComponent* owner);
  ~TZelGraphicsEditor() override;

  // ---- The items it creates ----
  QAction* ZoomInMenuItem = nullptr;
  QAction* ZoomOutMenuItem = nullptr;
  QAction* ActualSizeMenuItem = nullptr;
  QAction* ScaleToBestFitMenuItem = nullptr;
  QAction* ZoomMenuSeparator = nullptr;
  QAction* ZoomToolbarSeparator = nullptr;
  QAction* ZoomInButton = nullptr;
  QAction* ZoomOutButton = nullptr;
  QAction* ActualSizeButton = nullptr;
  QAction* ScaleToBestFitButton = nullptr;
  QLabel* XStatusPanel = nullptr;
  QLabel* YStatusPanel = nullptr;
  QLabel* WStatusPanel = nullptr;
  QLabel* HStatusPanel = nullptr;
  QLabel* RStatusPanel = nullptr;
  QLabel* GStatusPanel = nullptr;
  QLabel* BStatusPanel = nullptr;
  QAction* PrevImageButton = nullptr;
  QAction* NextImageButton = nullptr;
  // Only in plug-in mode.
  QAction* OkButton = nullptr;
  QAction* CancelButton = nullptr;

  // ---- Fields ----
  // While set, only the current tool may work.
  bool ToolLocked = false;
  TZelGraphicsFormats Formats;
  // The active tool; null when none. Not owned.
  TZelGraphicsTool* CurrentTool = nullptr;
  // The program's folder followed by "Images/": demo images are looked up there.
  QString ImagesFolder;
  // The image files of the current image's folder, and its position (-1: not there).
  QStringList FolderFiles;
  int32_t FolderIndex = -1;
  // The host program that waits for the image (none: not watched), and the exchange
  // file opened when plug-in mode began, or the command line's that did not load.
  quill::TPluginHost PluginHost;
  QString ExchangeFileName;

  // ---- Operations for the tools and modules ----

  TZelGraphicsDocument* GetCurrentDocument() const;
  // The current document's view when it exists (never creates one).
  TZelGraphicsView* GetCurrentView() const;
  // Deactivates the current tool, activates Tool (when set) and makes it current.
  void SetActiveTool(TZelGraphicsTool* tool);
  // False without a document, when locked to another tool, or while another exclusive
  // tool runs an operation.
  bool ToolMayWork(TZelGraphicsTool* tool) const;
  void LockToCurrentTool() { ToolLocked = true; }
  void UnlockTool() { ToolLocked = false; }
  void SetWidthStatus(const QString& text);
  void SetHeightStatus(const QString& text);
  // The pointer's image point and its colour, shown by the view.
  void SetPointStatus(const quill::TPoint& point, const TZelRGB& colour);
  // 1:1 when the image fits the view, else BestFit. Nothing when either is null.
  void FitOnOpen(TZelGraphicsDocument* document, TZelGraphicsView* view);
  void FitToWindow();
  // The zoom at which the whole image fits View: when H / VH >= W / VW, VH / H, else
  // VW / W. Nothing for a view or image without area.
  void BestFit(TZelGraphicsView* view);
  // Grows the main window until the view is at least ViewWidth x ViewHeight, its frame
  // kept within the screen's work area (moved in, centred when it overhangs, at most as
  // large as the area).
  void SizeWindow(int32_t viewWidth, int32_t viewHeight);
  // Lists the image files of FileName's folder into FolderFiles and finds FileName's
  // position. An empty folder part changes nothing; a folder that cannot be listed
  // leaves the list empty.
  void BuildFolderList(const QString& fileName);

  // ---- Click handlers ----
  virtual void NextImageClick();
  virtual void PrevImageClick();
  virtual void ZoomInClick();
  virtual void ZoomOutClick();
  virtual void ActualSizeClick();
  virtual void BestFitClick();

  // ---- TZelEditor ----
  void Localize() override;
  void LoadState(TZelSDFReader& reader) override;
  void SaveState(TZelSDFWriter& writer) override;
  void UpdateControls() override;
  void SetCurrentDocument(TZelDocument* document) override;
  // The inherited; once no document is left the size panels are emptied, so that they
  // do not go on showing the size of a photo that is closed.
  void RemoveDocument(TZelDocument* document) override;
  TZelDocumentFormats& GetFormats() override { return Formats; }
  std::unique_ptr<TZelDocument> CreateDocument() override;
  // The inherited, then one control per graphics tool, FitOnOpen, the current tool
  // activated, the image layer shown.
  bool CreateView(TZelDocument* document, QWidget*& view) override;
  // The inherited, then the folder list, FitOnOpen and, while recording, the lines
  // that open the file again on playback.
  bool OpenFile(const QString& fileName, TZelDocument*& document, bool addToRecent) override;
  // Outside plug-in mode: the inherited (recent files).
  void AfterOpen(TZelDocument* document) override;
  // False while the current document's operation runs.
  bool CanUndo() override;
  bool CanRedo() override;
  // The current tool is deactivated around the step, and the tools are told before and
  // after it.
  void Undo() override;
  void Redo() override;

  // ---- Plug-in mode (see the top of this file) ----
  // The inherited; then, when the argument is an exchange file (IsExchangeFile) that
  // did not open, ExitCode -1 and the main window closed (see the top of this file).
  void OpenFileArgument(const QStringList& arguments) override;
  // Once, for true: the title, the hidden items, OK and Cancel; then the inherited.
  void SetPluginMode(bool value) override;
  // In plug-in mode the caption is the application title alone.
  void UpdateTitle() override;
  // In plug-in mode the document's Save into its exchange file in place of the Save As
  // flow: true, with ExitCode 0, only when it was written (see OK above). Once the host
  // has ended: string 1032, no write, the document marked saved, ExitCode -1 and true.
  bool QuerySaveDocument(TZelDocument* document) override;
  // In plug-in mode the question names the image (string 500) in place of Name.
  int AskSaveChanges(const QString& name) override;
  virtual void OkButtonClick();
  virtual void CancelButtonClick();
  // For the program's end, after the event loop: when there is an ExchangeFileName and
  // the host has ended, ExitCode -1 and the run's files removed
  // (quill::RemovePluginRunFiles with ExchangeFileName and XDG_RUNTIME_DIR).
  void EndPluginRun();

  // ---- Script commands and targets (see the top of this file) ----
  void ExecuteCommand(TZelDemoPlayback* sender, const QString& name, bool& handled,
                      const TZelProperties* params) override;
  void GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found,
                      quill::TPoint& point) override;
};

namespace quill {

// Places the main window so that its frame, title bar and borders included, covers Frame.
void SetMainWindowFrame(const QRect& frame);

}  // namespace quill

// The one graphics editor, from its creation by the composition root until it is freed.
extern TZelGraphicsEditor* GraphicsEditor;

#endif  // QUILL_EDITOR_ZELGRAPHICSEDITOR_H_

// The document-and-editor frame the graphics editor stands on.
//
// TZelDocument is one open file: its name, the format it was read in or last saved
// in, whether it equals its file, its undo history, its observers and its view. It
// knows nothing of images; TZelGraphicsDocument fills that in. A document is created
// by its editor (CreateDocument), owned by the editor's document list and asks its
// editor for the format table that loads and saves it.
//
// TZelEditor is the module that owns the open documents (at most one is open: opening
// a file first closes the current one, which is the last of the list) and builds the
// File and Edit menus, the standard toolbar and the recent-file list, with the open,
// save and close flows:
// - OpenFile closes the current document (its CloseQuery may refuse), creates a new
//   one, loads it and gives it a view; a failed load discards it and shows string 1030
//   with the file name (the previous document is closed by then).
// - Every save goes through QuerySaveDocument, the Save As dialog. The chosen filter's
//   default extension is appended whenever the typed name ends in anything else
//   ("photo.jpeg" with the JPEG filter becomes "photo.jpeg.jpg"); an existing file
//   needs Yes to the overwrite question. A save that fails says so, naming the file
//   and the system's reason when there is one (string 1034, error icon), and changes
//   nothing: the document keeps its name, format and modified mark. A save the user
//   cancelled on the way (the JPEG quality question) shows nothing.
// - A document is modified while its history stands anywhere but where it stood at
//   the last save or at opening (TZelDocument::IsSaved), whichever way it got there.
// - Up to MaxRecentFiles recent files, most recent first, kept in the settings file
//   and shown between the File menu's two separators. An entry whose file is gone
//   stays and gives the open error when chosen.
//
// Message boxes go through ZelApplication->MessageBox (tests install an answerer).
// Everything here runs on the main thread.

#ifndef QUILL_EDITOR_ZELEDITOR_H_
#define QUILL_EDITOR_ZELEDITOR_H_

#include <QString>
#include <QStringList>
#include <QUuid>

#include <cstdint>
#include <memory>
#include <vector>

#include "ZelCommandHistoryList.h"
#include "ZelDemoScriptable.h"
#include "ZelFileFormats.h"
#include "ZelForms.h"
#include "ZelRecorder.h"
#include "ZelTypes.h"

class QAction;
class QMenu;
class QToolBar;
class QWidget;
class TZelDocument;
class TZelEditor;
class TZelProperties;

namespace quill {

// The process exit code that main returns: 0 unless plug-in mode sets it.
extern int ExitCode;

}  // namespace quill

// How a document tells its views that it changed or is closing.
class IZelDocumentObserver {
 public:
  virtual void DocumentChanged(TZelDocument* document) = 0;
  virtual void DocumentClosing(TZelDocument* document) = 0;

 protected:
  ~IZelDocumentObserver() = default;
};

// Why a save wrote nothing: Cancelled when the user cancelled a question on the way,
// which needs no report; otherwise Reason, the system's reason as a sentence ("No space
// left on device."), empty when it gave none.
struct TZelSaveFailure {
  bool Cancelled = false;
  QString Reason;
};

// The format table that loads and saves documents, beside the rows and file
// information that the open and save dialogs ask for.
class TZelDocumentFormats : public TZelFileFormats {
 public:
  // Reads FileName into Document; FormatId gets the id of the reader that succeeded.
  virtual bool Load(TZelDocument* document, const QString& fileName, int32_t& formatId) = 0;
  // Writes Document into FileName in the format FormatId; true when the file was
  // written, else Failure says why not.
  virtual bool Save(TZelDocument* document, const QString& fileName, int32_t formatId,
                    TZelSaveFailure& failure) = 0;
  // The same, for callers that need no reason.
  bool Save(TZelDocument* document, const QString& fileName, int32_t formatId);
};

class TZelDocument : public quill::TZelComponent {
 public:
  // A document of Editor, without owner (the editor's document list owns it); saved,
  // without a file name.
  explicit TZelDocument(TZelEditor* editor);
  // Frees the components the document owns (its view, which stops observing it),
  // then the observers and the history.
  ~TZelDocument() override;

  // Opened by the demo command IMAGEOPEN: closes without the save-changes question.
  bool OpenedByScript = false;
  // Full path; empty for a document without a file.
  QString FileName;
  // The format it was loaded from or last saved in (-1: the exchange file).
  int32_t FormatId = 0;

  // A new view of this document, owned by it (a component of the document).
  virtual QWidget* CreateView() = 0;
  // The view, created on the first request and then kept.
  QWidget* GetView();
  // Called first by CloseQuery. Nothing here.
  virtual void BeforeClose() {}
  // Called by the format table before it writes the file. Nothing here.
  virtual void BeforeSave() {}
  // Called by OpenFile once the document became current. Nothing here.
  virtual void Opened() {}
  // Adds Observer when it is not in the list yet.
  virtual void AddObserver(IZelDocumentObserver* observer);
  virtual void RemoveObserver(IZelDocumentObserver* observer);
  // The editor's format table reads FileName into this document. On success the name
  // is stored, Changed runs and the document is marked saved; on failure nothing of
  // the document changes here.
  virtual bool Load(const QString& fileName);
  // The format table writes the document. On success it is marked saved, takes the
  // name and format id and the editor's title follows; on failure nothing changes and
  // Failure says why.
  virtual bool SaveAs(const QString& fileName, int32_t formatId, TZelSaveFailure& failure);
  // The same, for callers that need no reason.
  bool SaveAs(const QString& fileName, int32_t formatId);
  // SaveAs(FileName, FormatId) when there is a file name; false otherwise.
  virtual bool Save();
  // BeforeClose; then true when opened by a script or IsSaved, else the save-changes
  // question decides (Yes: the editor's QuerySaveDocument, No: true, Cancel: false).
  // When true: NotifyClosing, the editor removes and frees this document (do not
  // touch it afterwards) and updates its title.
  virtual bool CloseQuery();

  // The document equals its file: its history stands where it stood at the last
  // successful SaveAs or at Load (the history's saved position). Undoing back to that
  // state clears the modified mark and a redo past it sets it again; once the records
  // it rests on are freed (a redo tail cut by a new edit, or the oldest records dropped
  // for the history's budget) the document stays modified until it is saved.
  bool IsSaved() const { return history_.IsAtSavedPosition(); }
  // The present state counts as the file's: after a save, and where the user chose to
  // throw the changes away (the plug-in's Cancel), so that closing asks nothing.
  void MarkSaved() { history_.MarkSaved(); }
  // Every observer's DocumentChanged, the last first.
  void Changed();
  // Every observer's DocumentClosing, the last first.
  void NotifyClosing();
  // The file name without its folder; string 74 without a file name.
  QString GetDisplayName() const;
  // The view without creating it; false while there is none.
  bool TryGetView(QWidget*& view) const;
  // Adds State, already applied, to the history (dropping the redo states).
  void AddCommandState(std::unique_ptr<TZelCommandState> state);

  TZelCommandHistoryList& GetHistory() { return history_; }
  TZelEditor* GetEditor() const { return editor_; }

 private:
  TZelEditor* const editor_;
  std::vector<IZelDocumentObserver*> observers_;
  QWidget* view_ = nullptr;
  TZelCommandHistoryList history_;
};

class TZelEditor : public TZelModuleWithControls, public IZelDemoScriptable {
 public:
  // The settings node's tag.
  static const QUuid kSettingsGuid;
  // The most recent files the list holds (and reads back from the settings file).
  static constexpr int32_t MaxRecentFiles = 5;

  // Creates the main window (into MainForm) and adds the File and Edit items, the
  // standard toolbar and its buttons; the main window's close query asks the
  // documents.
  explicit TZelEditor(quill::TZelComponent* owner);
  // Frees the documents still open.
  ~TZelEditor() override;

  // ---- The items it creates (owned by the main window's menus and toolbars) ----
  QAction* OpenMenuItem = nullptr;
  QAction* SaveMenuItem = nullptr;  // never shown
  QAction* SaveAsMenuItem = nullptr;
  QAction* CloseMenuItem = nullptr;
  QMenu* EditMenuItem = nullptr;
  QAction* UndoMenuItem = nullptr;
  QAction* RedoMenuItem = nullptr;
  QAction* UndoAllMenuItem = nullptr;
  QAction* RedoAllMenuItem = nullptr;
  QToolBar* StandardToolbar = nullptr;
  QAction* OpenToolButton = nullptr;
  QAction* SaveToolButton = nullptr;
  QAction* UndoToolButton = nullptr;
  QAction* RedoToolButton = nullptr;
  QAction* RecentFilesMenuSeparator = nullptr;
  QAction* EditToolbarSeparator = nullptr;

  // Set once by SetPluginMode, never cleared.
  bool PluginMode = false;
  // The recorder while a demo recording runs, else null; not owned.
  quill::TZelRecorder* Recorder = nullptr;
  // Most recent first.
  QStringList RecentFiles;
  // The process's arguments, the program's name first; Started opens the file the next
  // one names.
  QStringList Arguments;

  // ---- Module ----
  void Localize() override;
  // The recent files: node 1 tagged kSettingsGuid, its child node 1 tagged with the
  // count n, wide strings 1..n most recent first.
  void LoadState(TZelSDFReader& reader) override;
  void SaveState(TZelSDFWriter& writer) override;
  // OpenFileArgument(Arguments). The main window shows by now (TZelApplication::Run),
  // so the photo is fitted to it; and it is open before anything queued at start runs
  // (the demo list), so a demo asks before it closes the photo.
  void Started() override;
  // Opens Arguments[1] (the first after the program's name, made a full path) when it
  // names an existing file that is no folder; the rest are ignored.
  virtual void OpenFileArgument(const QStringList& arguments);
  void UpdateControls() override;

  // ---- Documents ----
  int GetDocumentCount() const { return static_cast<int>(documents_.size()); }
  TZelDocument* GetDocument(int index) const;
  // The current document (the last of the list); null when none is open.
  TZelDocument* GetLastDocument() const;

  // Makes Document, when it is in the list, the current one, and updates the title.
  virtual void SetCurrentDocument(TZelDocument* document);
  // The main window's caption: the title, followed by " - " and the current
  // document's display name when there is one.
  virtual void UpdateTitle();
  // Removes Document from the list, which frees it.
  virtual void RemoveDocument(TZelDocument* document);
  // The current document's history; null without a document.
  virtual TZelCommandHistoryList* GetHistory();
  virtual TZelDocumentFormats& GetFormats() = 0;
  // A new, empty document of the editor's kind.
  virtual std::unique_ptr<TZelDocument> CreateDocument() = 0;
  // False for no document; else View := the document's view, filling the main
  // window's client area.
  virtual bool CreateView(TZelDocument* document, QWidget*& view);
  // The open dialog; on OK, OpenFile(the chosen name, AddToRecent). OpenFile's result,
  // false on Cancel.
  virtual bool OpenDialog();
  // The Save As flow (see the top of this file); false for no document, Cancel, No to
  // the overwrite question or a failed save, which it reports.
  virtual bool QuerySaveDocument(TZelDocument* document);
  // String 94 with Name: Yes, No, Cancel, warning icon. A button id.
  virtual int AskSaveChanges(const QString& name);
  // String 164 with Name: Yes, No, warning icon. A button id.
  virtual int AskOverwrite(const QString& name);
  // The main window's close query: the documents from the last to the first, stopping
  // at the first that refuses. Without a document CanClose stays as it came.
  virtual void CloseQuery(bool& canClose);
  // The script commands UNDO and REDO (Name arrives upper-cased). Sender is the player
  // that runs the command (null when none does).
  void ExecuteCommand(TZelDemoPlayback* sender, const QString& name, bool& handled,
                      const TZelProperties* params) override;
  // The script targets UNDO and REDO: the screen centre of their toolbar buttons (not
  // found while a button is hidden).
  void GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found,
                      quill::TPoint& point) override;
  // A recording of Sender begins: Recorder becomes a recorder over it (ZelRecorder.h).
  void RecordingStarted(TZelDemoPlayback* sender) override;
  // RecordingStopped, and that recorder freed.
  void RecordingStopped(TZelDemoPlayback* sender) override;
  virtual void RecordingStarted(quill::TZelRecorder* recorder);
  void RecordingStopped() { Recorder = nullptr; }
  // AddRecentFile(Document's file name).
  virtual void AfterOpen(TZelDocument* document);
  // Once: hides the open and save buttons and their separator, sets PluginMode and
  // the exit code -1.
  virtual void SetPluginMode(bool value);
  // See the top of this file. Document is the new current document on success, null
  // otherwise.
  virtual bool OpenFile(const QString& fileName, TZelDocument*& document, bool addToRecent);
  virtual bool CanUndo();
  virtual bool CanRedo();
  virtual void Undo();
  virtual void Redo();

  // ---- Click handlers ----
  virtual void OpenClick();
  virtual void CloseClick();
  virtual void SaveClick();
  // Undo. Recorded.
  virtual void UndoClick();
  virtual void UndoAllClick();
  virtual void RedoClick();
  // Redo until nothing is left to redo or a step cannot be redone.
  virtual void RedoAllClick();

  // Moves Path to the top of the list (names compared without regard to case) or
  // inserts it there, dropping the oldest beyond MaxRecentFiles; the menu follows.
  void AddRecentFile(const QString& path);
  // The recent-file items of the File menu, top to bottom.
  std::vector<QAction*> GetRecentFileItems() const;

 private:
  void UpdateRecentFileItems();

  std::vector<std::unique_ptr<TZelDocument>> documents_;
  // The recorder over the player that records, while one does.
  std::unique_ptr<quill::TZelRecorder> playerRecorder_;
};

#endif  // QUILL_EDITOR_ZELEDITOR_H_

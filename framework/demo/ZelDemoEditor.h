// The demo editor: a small tool window of the main window (it stays above it, not
// above every program) in which demo scripts are written, one section per tab, recorded
// from the user's own actions, played for a check and saved as "*.dsc". Its texts are
// English and fixed; it is not localised.
//
// TZelDemoEditorModule puts a hidden "Demo" item into the File menu; Ctrl+Shift+D on the
// main window opens the editor (created on first use, hidden when closed, with its
// script kept for the next opening).
//
// Text and code pages: the text box edits Unicode text. A section's bytes are decoded,
// and the edited text encoded back, with that section's own code page: UTF-8 in a UTF-8
// script; a section named by a decimal language id uses that language's ANSI code page;
// every other section the system's. When the author types a character that the
// section's code page cannot hold, the whole script becomes UTF-8 (every section
// re-encoded, written with the byte-order mark), so nothing typed is lost.
//
// The Message box holds the text of the MESSAGE line recorded before each click on the
// photo while Show Messages is on. A script line has no escape for its quotes, so a text
// with both quotes or with a backslash before an n cannot be recorded as typed: the
// status bar says so at once, and the recording leaves those MESSAGE lines out.
//
// Play and Record borrow the player's events (end, stop query and error while playing;
// recording started, line added and stopped while recording) and give them back when
// the playback or recording ends, or at once when the player refuses to start (the
// start-of-demo flow cancelled, recording refused); the window then stays shown.
// Delete Language never deletes "Info" or "Script" (nor any of the first two tabs).
// A failed save shows a message and leaves the old file whole.
//
// Main thread only.

#ifndef QUILL_FRAMEWORK_DEMO_ZELDEMOEDITOR_H_
#define QUILL_FRAMEWORK_DEMO_ZELDEMOEDITOR_H_

#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ZelDemoPlayback.h"
#include "ZelDemoScript.h"
#include "ZelForms.h"

class QAction;
class QComboBox;
class QPlainTextEdit;
class QShortcut;
class QTabBar;
class QToolBar;
class TZelDemoEditorForm;
class TZelDemonstrationModule;

namespace quill {

// The code page of the section at Index of Script (see the top of this file).
uint16_t SectionCodePage(const TZelDemoScript& script, int index);
// Text in Code page (65001: UTF-8); false when a character has no byte form there.
bool EncodeCodePage(const QString& text, uint16_t codePage, std::string& bytes);
// Bytes of Code page as text.
QString DecodeCodePage(const std::string& bytes, uint16_t codePage);
// Every section re-encoded as UTF-8; Utf8 set.
void ConvertScriptToUtf8(TZelDemoScript& script);

}  // namespace quill

class TZelDemoEditorModule : public TZelModuleWithControls {
 public:
  // The hidden File-menu item and the shortcut, on a main window.
  explicit TZelDemoEditorModule(TZelComponent* owner);
  ~TZelDemoEditorModule() override;

  void CmDemoEditor();
  TZelDemoEditorForm* GetEditorForm();

  QPointer<QAction> DemoEditorMenuItem;

 private:
  QPointer<QShortcut> shortcut_;
  TZelDemoEditorForm* form_ = nullptr;  // owned as a component
};

class TZelDemoEditorForm : public TZelForm {
  Q_OBJECT

 public:
  // Module supplies the player and the message text.
  TZelDemoEditorForm(TZelComponent* owner, TZelDemonstrationModule& module);
  ~TZelDemoEditorForm() override;

  void CmNew();
  void CmOpen();
  void CmSave();
  void CmExit();
  void CmAddLanguage();
  void CmDeleteLanguage();
  void CmPlay();
  void CmRecord();
  void CmStop();
  void UpdateControls() override;
  // The message text of the recorded clicks := Text; the status bar says when no
  // script line can hold it (both quotes, or a backslash before an n).
  void MessageComboBoxChange(const QString& text);

  // Loads Path and shows it; false when it cannot be read.
  bool OpenFile(const QString& path);
  // Stores the text box and writes the script to Path; a failure shows a message.
  bool SaveFile(const QString& path);
  // Adds the section Name (or selects it when it exists).
  void AddLanguage(const QString& name);
  // The tabs' section shown in the text box.
  void SelectTab(int index);
  int GetSelectedTab() const;

  TZelDemoScript Script;
  // Asked for a file name (Save true: to write); empty for Cancel. Without one, the
  // file dialogs ask.
  std::function<QString(bool save)> OnAskFileName;
  // Asked for a language id; empty for Cancel. Without one, the Add Language dialog.
  std::function<QString()> OnAskLanguageId;

  QAction* NewMenuItem = nullptr;
  QAction* OpenMenuItem = nullptr;
  QAction* SaveAsMenuItem = nullptr;
  QAction* ExitMenuItem = nullptr;
  QAction* AddLanguageMenuItem = nullptr;
  QAction* DeleteLanguageMenuItem = nullptr;
  QAction* PlayMenuItem = nullptr;
  QAction* RecordMenuItem = nullptr;
  QAction* StopMenuItem = nullptr;
  QToolBar* Toolbar = nullptr;
  QAction* OpenToolButton = nullptr;
  QAction* SaveToolButton = nullptr;
  QAction* PlayToolButton = nullptr;
  QAction* RecordToolButton = nullptr;
  QAction* StopToolButton = nullptr;
  QComboBox* MessageComboBox = nullptr;
  QAction* MessageToolButton = nullptr;
  QTabBar* SectionsTabControl = nullptr;
  QPlainTextEdit* ScriptMemo = nullptr;

 private:
  void ShowSections();
  void StoreSection();
  void ShowSelectedSection();
  void PlaybackDone();
  void PlaybackStopQuery(bool& stop);
  void PlaybackError(const QString& message, bool& stop, const std::string& line);
  void RestorePlaybackEvents();
  void RecordingStarted();
  void RecordingStopped();
  void RestoreRecordingEvents();

  TZelDemonstrationModule& module_;
  TZelDemoPlayback& playback_;
  std::vector<std::pair<int, int>> selections_;  // {start, length} per section
  int shownTab_ = -1;                            // the tab whose text the box holds
  decltype(TZelDemoPlayback::OnFinished) savedFinished_;
  decltype(TZelDemoPlayback::OnStopQuery) savedStopQuery_;
  decltype(TZelDemoPlayback::OnError) savedError_;
  decltype(TZelDemoPlayback::OnStartRecording) savedStartRecording_;
  decltype(TZelDemoPlayback::OnLineAdded) savedLineAdded_;
  decltype(TZelDemoPlayback::OnStopRecording) savedStopRecording_;
};

extern TZelDemoEditorModule* DemoEditorModule;

#endif  // QUILL_FRAMEWORK_DEMO_ZELDEMOEDITOR_H_

// TZelDemonstrationModule: the program's one demonstration module. It owns the demo
// player, offers the list of demos (TZelDemonstrationForm), prepares the graphics
// editor before a demo and tidies up after it, and keeps the registry through which
// the rest of the program takes part in demos.
//
// Registry. Tools and editors register named script commands and named screen
// targets; names are stored in upper case and compared without regard to case;
// nothing is ever removed, and the first registration of a name is the one found.
// Every entry holds what it calls through a guarded pointer: the handler's component
// by its life token, a control, menu item or toolbar item by QPointer. An entry whose
// component or widget has died is passed over as if it were not there, so a dead
// module is never called. Commands and targets no entry answers are offered to every
// component owned by the application that implements IZelDemoScriptable, in their
// order (ZelDemoScriptable.h); a command nobody handles makes the player report `Unknown command: "NAME"`,
// a target nobody knows "Invalid arguments.".
// Command kinds: plain (no argument); component (called with the registered
// component, as if that control had been clicked); Boolean (no argument: the
// default; otherwise true exactly when the first argument is a number other than 0);
// integer (the first argument's value when it is a number, else the default).
// Targets: a control gives the centre of its client area (shown or not: a tool's
// option frame shows once the script has chosen the tool); a menu item the centre of
// its entry in the open popup menu, else in its own menu's window; a toolbar item the
// centre of its button. A toolbar item without a shown button (hidden, or on no
// toolbar) and a menu item whose menu is not shown give no point and count as not
// found.
//
// Demo flows (the player's events):
// - Before a demo: a document that a demo script opened is closed without a question;
//   another open document needs Yes to question 173 and then its close query (in
//   plug-in mode it is saved into its exchange file and closed, and that file is
//   remembered; a save that fails cancels the demo, so the user's work stays open).
//   A refusal cancels the demo and leaves the title. Otherwise the title
//   gains " - " and the script's title.
// - Esc: question 172; Yes aborts the active tool's stroke and pending work, restores
//   the title and, for a demo started from the list, opens the list again.
// - The end: the title restored, information box 725, the list again as after Esc.
// - An error: error box with the message and the line; the title is restored and the
//   list does not open again.
// Whenever a demo ends, stops or fails and the list will not open again, and whenever
// the list closes without starting a demo, the exchange file a demo closed in plug-in
// mode is opened again and forgotten, so the host's image comes back exactly once.
// StartedFromDialog is set only when the player really started playing, and cleared by
// every flow that ends the demo.
//
// The demo list: every file "*.dsc" of DemoFolder (folders are skipped), sorted by
// path without regard to case, shown with the script's title and a 64 x 64 thumbnail
// of its [Info] Image (the built-in picture when that cannot be loaded).
//
// What the module needs of the graphics editor comes through quill::TZelDemoEditorLink,
// which the composition root sets; without one the editor steps are skipped.
//
// Settings: node tagged kSettingsGuid, value 1 = ShowAtStartup (one byte).
// Main thread only.

#ifndef QUILL_FRAMEWORK_DEMO_ZELDEMONSTRATIONMODULE_H_
#define QUILL_FRAMEWORK_DEMO_ZELDEMONSTRATIONMODULE_H_

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "ZelDemoPlayback.h"
#include "ZelDemoScriptable.h"
#include "ZelForms.h"

class QAction;
class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QWidget;
class TZelDemoScriptUserAction;

namespace quill {

// What the demonstration module asks of the graphics editor.
class TZelDemoEditorLink {
 public:
  virtual ~TZelDemoEditorLink() = default;
  // An active document is open.
  virtual bool HasDocument() const = 0;
  // The active document was opened by a demo script.
  virtual bool DocumentOpenedByScript() const = 0;
  // Closes the active document without a question.
  virtual void CloseDocumentNow() = 0;
  virtual bool PluginMode() const = 0;
  // Plug-in mode: saves the active document into its exchange file, closes it and
  // gives the file's name; empty, with the document left open, when the save fails,
  // which it reports.
  virtual QString SaveAndCloseExchangeDocument() = 0;
  // The close query of the active document (the save-changes question when
  // modified); true when it closed.
  virtual bool CloseDocument() = 0;
  // Opens FileName (without adding it to the recent files).
  virtual void OpenFile(const QString& fileName) = 0;
  // The active tool's AbortStroke and CancelPendingWork.
  virtual void AbortStroke() = 0;
  virtual void CancelPendingWork() = 0;
  // Shows the tools panel.
  virtual void ShowToolsPanel() = 0;
};

// Centre points for targets, in screen pixels; false for no control, and for an item
// that shows nowhere. A control's centre lies half its width and height (truncated)
// from its top left corner, shown or not; a toolbar item's is its button's on a
// QToolBar or a flow toolbar (TZelFlowToolbar).
bool ControlCentre(const QWidget* control, quill::TPoint& point);
bool MenuItemCentre(QAction* item, quill::TPoint& point);
bool ToolbarItemCentre(QAction* item, quill::TPoint& point);

}  // namespace quill

class TZelDemonstrationForm;

class TZelDemonstrationModule : public TZelModuleWithControls {
 public:
  static const QUuid kSettingsGuid;

  // The player with its events; on a main window: the menu item before Help.
  explicit TZelDemonstrationModule(TZelComponent* owner);
  ~TZelDemonstrationModule() override;

  // ---- Registration (names compared without regard to case) ----
  template <class T>
  void RegisterCommand(const QString& name, T* component, void (T::*handler)());
  template <class T, class C>
  void RegisterFrameCommand(const QString& name, C* control, T* component, void (T::*handler)(C*));
  template <class T>
  void RegisterBoolCommand(const QString& name, T* component, void (T::*handler)(bool), bool defaultValue);
  template <class T>
  void RegisterIntCommand(const QString& name, T* component, void (T::*handler)(int32_t),
                          int32_t defaultValue);
  template <class T>
  void RegisterTextCommand(const QString& name, T* component, void (T::*handler)(int32_t),
                           int32_t defaultValue) {
    RegisterIntCommand(name, component, handler, defaultValue);
  }
  // A control, a menu item or a toolbar item (an action with a toolbar button) as a
  // named target. Null is ignored.
  void RegisterControl(const QString& name, QWidget* control);
  void RegisterControl(const QString& name, QAction* item);

  // ---- Recording ----
  void RecordLine(const std::string& line);
  void RecordMouseMove(const QString& target);
  void RecordClick(const QString& target, const QString& value);

  // Plays DemoFolder + Name + ".dsc" from its first line when that file exists.
  void PlayDemo(const QString& name);
  // Copies Script into the player and plays it from line 0 (the demo flows included).
  // True when it plays.
  bool PlayScript(const TZelDemoScript& script);

  // ---- The demo list ----
  void ShowDemoDialog();
  void ShowDemoDialogDeferred();
  // The "*.dsc" files of Folder (no folders), sorted by path without regard to case.
  static QStringList ListDemoFiles(const QString& folder);

  // ---- The player's events ----
  void ExecuteCommand(TZelDemoPlayback* sender, const std::string& name, bool& handled,
                      TZelDemoScriptUserAction* action, const TZelDemoScriptParams& params);
  void GetTargetPoint(TZelDemoPlayback* sender, const TZelDemoScriptParams& params, bool& found,
                      quill::TPoint& point);
  void PlaybackBeforePlay(TZelDemoPlayback* sender, bool& cancel);
  void PlaybackStopQuery(TZelDemoPlayback* sender, bool& stop);
  void PlaybackEnded(TZelDemoPlayback* sender);
  void PlaybackError(TZelDemoPlayback* sender, const QString& message, bool& stop, const std::string& line);

  // ---- Module ----
  void Localize() override;
  void LoadState(TZelSDFReader& reader) override;
  void SaveState(TZelSDFWriter& writer) override;
  void Initialize() override;
  void UpdateControls() override;

  TZelDemoPlayback& GetPlayback() { return *Playback; }
  // The registered names, in registration order (upper case).
  QStringList GetCommandNames() const;
  QStringList GetTargetNames() const;

  QPointer<QAction> DemoMenuItem;
  std::unique_ptr<TZelDemoPlayback> Playback;
  bool ShowAtStartup = false;
  bool StartedFromDialog = false;
  int32_t LastDemoIndex = 0;
  QString SavedTitle;
  // Ends with "/".
  QString DemoFolder;
  QString MessageText = QStringLiteral("Click");
  QString PluginFileName;
  // Not owned; set by the composition root.
  quill::TZelDemoEditorLink* EditorLink = nullptr;

 private:
  enum class TKind { Plain, Component, Boolean, Integer };
  struct TCommand {
    QString Name;
    TKind Kind;
    std::weak_ptr<const void> Alive;   // the handler's component
    bool GuardsWidget = false;
    QPointer<QObject> Widget;          // the component command's control
    std::function<void(const TZelDemoScriptParams&)> Call;
  };
  struct TTarget {
    QString Name;
    QPointer<QWidget> Control;
    QPointer<QAction> Item;
  };

  void AddCommand(TCommand command);
  static bool Live(const TCommand& command);
  // The title back; when the list will not open again, the exchange file back.
  void DemoOver(bool reopenList);
  void ReopenExchangeFile();

  std::vector<TCommand> commands_;
  std::vector<TTarget> targets_;
};

// The one demonstration module, from its creation until it is freed.
extern TZelDemonstrationModule* DemonstrationModule;

// The demo list dialog.
class TZelDemonstrationForm : public TZelForm {
  Q_OBJECT

 public:
  TZelDemonstrationForm(TZelComponent* owner, TZelDemonstrationModule& module);

  void Localize() override;
  // The entry's index, or -1.
  int GetSelectedIndex() const;
  // The selected entry's script, or null.
  TZelDemoScript* SelectedScript = nullptr;

  QLabel* SelectLabel = nullptr;
  QLabel* EscTntLabel = nullptr;
  QListWidget* DemoListView = nullptr;
  QCheckBox* ShowAtStartupCheckBox = nullptr;
  QPushButton* StartButton = nullptr;
  QPushButton* CloseButton = nullptr;

 private:
  void Fill();
  void SelectionChanged();

  TZelDemonstrationModule& module_;
  std::vector<std::unique_ptr<TZelDemoScript>> scripts_;
};

// ---- Templates ----

template <class T>
void TZelDemonstrationModule::RegisterCommand(const QString& name, T* component, void (T::*handler)()) {
  AddCommand({name, TKind::Plain, component->GetLifeToken(), false, nullptr,
              [component, handler](const TZelDemoScriptParams&) { (component->*handler)(); }});
}

template <class T, class C>
void TZelDemonstrationModule::RegisterFrameCommand(const QString& name, C* control, T* component,
                                                   void (T::*handler)(C*)) {
  static_assert(std::is_base_of_v<QObject, C>, "the registered component is a Qt object");
  QPointer<C> guarded(control);
  AddCommand({name, TKind::Component, component->GetLifeToken(), true, control,
              [guarded, component, handler](const TZelDemoScriptParams&) {
                (component->*handler)(guarded.data());
              }});
}

template <class T>
void TZelDemonstrationModule::RegisterBoolCommand(const QString& name, T* component,
                                                  void (T::*handler)(bool), bool defaultValue) {
  AddCommand({name, TKind::Boolean, component->GetLifeToken(), false, nullptr,
              [component, handler, defaultValue](const TZelDemoScriptParams& params) {
                (component->*handler)(quill::ScriptBoolean(&params, defaultValue));
              }});
}

template <class T>
void TZelDemonstrationModule::RegisterIntCommand(const QString& name, T* component,
                                                 void (T::*handler)(int32_t), int32_t defaultValue) {
  AddCommand({name, TKind::Integer, component->GetLifeToken(), false, nullptr,
              [component, handler, defaultValue](const TZelDemoScriptParams& params) {
                (component->*handler)(quill::ScriptInteger(&params, defaultValue));
              }});
}

#endif  // QUILL_FRAMEWORK_DEMO_ZELDEMONSTRATIONMODULE_H_

// The application object and the bases of the program's components.
//
// TZelApplication is the one application object (ZelApplication). It owns the
// modules, the forms it creates and the tools, in creation order, and frees them in
// reverse order. Its Run step reads the settings file, lets every component that
// implements IZelModule load its state and initialise (component by component), shows
// the main window, tells each component that start-up is complete, runs the event loop
// until the main window closes and writes every component's state back. The window
// shows before start-up completes because Qt lays a window out only when it shows, and
// what a component does then (the editor opens the file named on the command line) fits
// itself to the window as the user sees it.
//
// It also carries the two mechanisms the whole program uses:
// - idle handlers, called in registration order whenever the event loop is about to
//   wait; modules, forms and frames refresh the enabled and checked state of their
//   menu items and buttons there and only there;
// - deferred calls, run one per posted event (QEvent::User + 100 to the main window),
//   first in first out, with exactly one such event pending while calls are queued.
//
// The component bases: TZelModule (non-visual) and TZelModuleWithControls (owns menu
// items or buttons), TZelForm (a window) and TZelFrame (a panel of controls). Forms and
// frames not owned by the application object initialise themselves right after
// construction, so create them with ZelCreate (ZelComponent.h) or through the
// application object.
//
// Everything here runs on the main thread.

#ifndef QUILL_FRAMEWORK_ZELFORMS_H_
#define QUILL_FRAMEWORK_ZELFORMS_H_

#include <QEvent>
#include <QFrame>
#include <QMainWindow>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>
#include <QString>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <type_traits>

#include "ZelComponent.h"
#include "ZelMethodList.h"

class QEventLoop;
class TZelForm;
class TZelSDFReader;
class TZelSDFWriter;

// Message-box flags and button ids, with the platform's values.
constexpr uint32_t MB_OK = 0x0;
constexpr uint32_t MB_YESNO = 0x4;
constexpr uint32_t MB_ICONERROR = 0x10;
constexpr uint32_t MB_ICONQUESTION = 0x20;
constexpr uint32_t MB_ICONINFORMATION = 0x40;

namespace quill {

constexpr uint32_t MB_OKCANCEL = 0x1;
constexpr uint32_t MB_ABORTRETRYIGNORE = 0x2;
constexpr uint32_t MB_YESNOCANCEL = 0x3;
constexpr uint32_t MB_RETRYCANCEL = 0x5;
constexpr uint32_t MB_ICONWARNING = 0x30;
constexpr uint32_t MB_DEFBUTTON1 = 0x000;
constexpr uint32_t MB_DEFBUTTON2 = 0x100;
constexpr uint32_t MB_DEFBUTTON3 = 0x200;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// The event that runs one deferred call on the main window.
constexpr QEvent::Type kDeferredCallEvent = static_cast<QEvent::Type>(QEvent::User + 100);

}  // namespace quill

// A component that keeps state in the settings file and takes part in start-up.
class IZelModule {
 public:
  virtual void Initialize() = 0;
  // Reads the component's own node of the settings file.
  virtual void LoadState(TZelSDFReader& reader) = 0;
  // Writes the component's own node; a component with no state writes nothing.
  virtual void SaveState(TZelSDFWriter& writer) = 0;
  // Start-up is complete.
  virtual void Started() = 0;

 protected:
  ~IZelModule() = default;
};

class TZelApplication : public quill::TZelComponent {
 public:
  // Answers a message box in place of the user: (text, caption, flags) -> button id.
  using TZelMessageBoxAnswerer =
      std::function<int(const QString& text, const QString& caption, uint32_t flags)>;

  TZelApplication();
  // Frees the components (the last created first), then the lists.
  ~TZelApplication() override;

  // Prepares the event-loop hooks; the QApplication must exist.
  void Initialize();

  // Creates a T owned by this object, storing it into Reference before its
  // constructor runs (so the constructor already finds it there) and clearing
  // Reference when construction throws; the exception passes on. T's constructor
  // takes the owner as its argument. CreateForm makes the first form so created the
  // main window.
  template <class T>
  T* CreateForm(T*& reference);
  template <class T>
  T* CreateComponent(T*& reference);
  template <class T>
  T* NewComponent();
  // The main window: the first form created by CreateForm, until it is destroyed.
  TZelForm* GetMainForm() const { return mainForm_; }

  // The help file named to the application: a file, or a folder of help pages; empty
  // until one is set. The help module takes it in place of the pages beside the program.
  QString GetHelpFile() const { return helpFile_; }
  void SetHelpFile(const QString& fileName) { helpFile_ = fileName; }

  QString GetTitle() const { return title_; }
  // Stores Title, then calls OnTitleChange when it is assigned.
  void SetTitle(const QString& title);
  std::function<void(TZelApplication* sender)> OnTitleChange;

  // Whether tool tips show (on at creation; Run turns them on). While they are off no
  // tool tip opens, and switching them off sends the open one away.
  bool GetShowHint() const { return hintFilter_ == nullptr; }
  void SetShowHint(bool show);

  // A message box owned by the active window (else the main window), captioned with
  // the title or Caption. Flags are MB_* values; the result is an ID* button id. Esc
  // answers Cancel, or OK in a box with OK alone; a Yes/No question ignores it.
  int MessageBox(const QString& text, uint32_t flags);
  int MessageBoxWithCaption(const QString& text, const QString& caption, uint32_t flags);
  // With an answerer set, message boxes call it instead of showing anything.
  void SetMessageBoxAnswerer(TZelMessageBoxAnswerer answerer) { answerer_ = std::move(answerer); }
  // Shows Error's message in an error box: for std::bad_alloc the program's memory
  // message (ShowMemoryMessage). Event handlers use it (through RunReported): no
  // exception may pass through Qt's event dispatch.
  void ShowException(std::exception_ptr error) noexcept;
  // The program's message that there is not enough memory for what the user asked and
  // that the image is unchanged, in an error box. Whoever refuses an edit for want of
  // memory shows it.
  void ShowMemoryMessage();

  // Queues Method to run later on the main thread. Dropped while there is no main
  // window. Queuing into an empty queue posts kDeferredCallEvent to the main window.
  void PostDeferredCall(const quill::TZelMethod& method);
  // Runs the oldest queued call and removes it (also when it throws; the exception
  // passes on), then posts the event again while calls remain. Nothing when empty.
  void RunDeferredCall();
  // Drops the queued calls of Component (a component that dies withdraws them).
  void RemoveDeferredCalls(const quill::TZelComponent* component);
  int GetDeferredCallCount() const { return deferredCalls_.GetCount(); }

  void AddIdleHandler(const quill::TZelMethod& method) { idleHandlers_.Add(method); }
  void RemoveIdleHandler(const quill::TZelMethod& method) { idleHandlers_.Remove(method); }
  // Calls every idle handler in registration order; the event loop calls it whenever
  // it is about to wait. A handler removed during the walk is not called; a nested
  // call (a handler that runs an event loop) does nothing.
  void DoIdle();

  // Reads the settings file (when it exists), then for every IZelModule component in
  // creation order its LoadState (when a file was read) directly followed by its
  // Initialize, then every such component's Started.
  void LoadSettings();
  // Collects every IZelModule component's state; when any wrote something, creates
  // the folder and replaces the file through a temporary file. Failures are ignored.
  void SaveSettings();
  // LoadSettings with the main window shown between Initialize and Started, hints on,
  // the event loop until the main window closes (none without a main window, or when
  // a component closed it during start-up), SaveSettings.
  void Run();
  // The settings file: XDG config home/<program>/<program>.cfg, where <program> is
  // the program's file name without extension.
  static QString GetSettingsFileName();
  // ConfigFolder/Name/Name.cfg with Name the file name of ProgramPath without
  // extension; ProgramPath with its extension changed to ".cfg" when ConfigFolder
  // is empty.
  static QString SettingsFileNameFor(const QString& programPath, const QString& configFolder);
  // The largest settings file read; a longer one is read as if cut short there.
  static constexpr int64_t kMaxSettingsFileSize = 1 << 20;

 private:
  friend class TZelForm;

  template <class T>
  T* Construct(T*& reference);
  void HookIdle();
  // The two passes of LoadSettings: settings read, LoadState and Initialize; Started.
  void InitializeModules();
  void StartModules();
  // Fits every top-level window to its screen as it is shown (ScreenFit.h) and sends
  // each of their frames to the screen as soon as it is made (FrameSender.h).
  void HookWindowFilters();
  void FormDestroyed(TZelForm* form);
  void PostDeferredCallEvent();

  TZelMethodList idleHandlers_;
  TZelMethodList deferredCalls_;
  QString title_;
  QString helpFile_;
  TZelForm* mainForm_ = nullptr;
  TZelMessageBoxAnswerer answerer_;
  std::unique_ptr<QObject> idleHook_;  // context of the event-loop connection
  std::unique_ptr<QObject> hintFilter_;  // installed on the application while hints are off
  std::unique_ptr<QObject> screenFit_;  // installed on the application while it lives
  std::unique_ptr<QObject> frameSender_;  // installed on the application while it lives
  bool inIdle_ = false;
};

// The one application object, from the creation of the first TZelFormsUnit to the
// destruction of the last.
extern TZelApplication* ZelApplication;

namespace quill {

// The string id of the program's memory message.
constexpr int32_t kMemoryText = 2900;

// Runs Handler; an exception it throws is shown (ShowException) instead of passing
// into Qt's event dispatch. False when it threw.
bool RunReported(const std::function<void()>& handler);

// Creates ZelApplication with the first instance and frees it (with every component)
// with the last. Create it after the QApplication and after the TZelLocalizerUnit.
class TZelFormsUnit {
 public:
  TZelFormsUnit();
  ~TZelFormsUnit();
  TZelFormsUnit(const TZelFormsUnit&) = delete;
  TZelFormsUnit& operator=(const TZelFormsUnit&) = delete;
};

}  // namespace quill

// A non-visual part of the program, owned by the application object.
class TZelModule : public quill::TZelComponent, public IZelModule {
 public:
  explicit TZelModule(quill::TZelComponent* owner);
  // Removes Localize from the localizer and the module's deferred calls.
  ~TZelModule() override;

  // Re-reads every text the module shows; called once when the module initialises and
  // again on every language change. Empty here.
  virtual void Localize() {}
  void LoadState(TZelSDFReader& /*reader*/) override {}
  void SaveState(TZelSDFWriter& /*writer*/) override {}
  // Registers Localize with the localizer, which calls it once at once.
  void Initialize() override;
  void Started() override {}

  // Forwards to the application object.
  void AddIdleHandler(const quill::TZelMethod& method);
};

// A module that owns menu items or toolbar buttons and refreshes them at idle time.
class TZelModuleWithControls : public TZelModule {
 public:
  explicit TZelModuleWithControls(quill::TZelComponent* owner);
  // Removes UpdateControls from the idle handlers.
  ~TZelModuleWithControls() override;

  // The inherited Initialize, then UpdateControls becomes an idle handler.
  void Initialize() override;
  // Sets the enabled and checked state of the module's controls. Empty here.
  virtual void UpdateControls() {}
};

// Base of every window of the program. A form owned by the application object is
// initialised by LoadSettings and gets LoadState, SaveState and Started; any other
// form initialises itself right after construction.
class TZelForm : public QMainWindow, public quill::TZelComponent, public IZelModule {
  Q_OBJECT

 public:
  explicit TZelForm(quill::TZelComponent* owner, QWidget* parent = nullptr);
  // Removes Localize and UpdateControls and the form's deferred calls.
  ~TZelForm() override;

  virtual void Localize() {}
  virtual void UpdateControls() {}
  void LoadState(TZelSDFReader& /*reader*/) override {}
  void SaveState(TZelSDFWriter& /*writer*/) override {}
  void Started() override {}
  // Registers Localize (called once at once), then adds UpdateControls as idle handler.
  void Initialize() override;
  void AfterConstruction() override;

  // Shows the form modally and runs an event loop until a modal result is set;
  // closing the form gives IDCANCEL. Returns the modal result.
  int ShowModal();
  // A non-zero result ends ShowModal.
  void SetModalResult(int result);
  int GetModalResult() const { return modalResult_; }
  // The buttons that Enter and Esc click when the focused control leaves them unused,
  // as a dialog's default and cancel buttons. Either may be null.
  void SetDialogButtons(QPushButton* defaultButton, QPushButton* cancelButton);

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // Closing the main window ends Run's event loop.
  void closeEvent(QCloseEvent* event) override;

 private:
  QMetaObject::Connection parentWatch_;
  QEventLoop* modalLoop_ = nullptr;
  int modalResult_ = 0;
  QPointer<QPushButton> defaultButton_;
  QPointer<QPushButton> cancelButton_;
};

// Base of every panel of controls (the tool option frames, the tool panel). Owned by
// a module or panel, so it initialises itself right after construction.
class TZelFrame : public QFrame, public quill::TZelComponent, public IZelModule {
  Q_OBJECT

 public:
  explicit TZelFrame(quill::TZelComponent* owner, QWidget* parent = nullptr);
  // Removes Localize and UpdateControls and the frame's deferred calls.
  ~TZelFrame() override;

  virtual void Localize() {}
  virtual void UpdateControls() {}
  void LoadState(TZelSDFReader& /*reader*/) override {}
  void SaveState(TZelSDFWriter& /*writer*/) override {}
  void Started() override {}
  // ControlsEnabled becomes true, then the registrations of TZelForm::Initialize.
  void Initialize() override;
  void AfterConstruction() override;

  bool GetControlsEnabled() const { return controlsEnabled_; }
  // When Value differs from ControlsEnabled: sets Enabled of every child widget of the
  // frame to Value, then stores Value. Qt carries the state down to the widgets inside
  // them: off while their parent is off, back to their own state when it comes on.
  void SetControlsEnabled(bool value);

 protected:
  bool event(QEvent* event) override;

 private:
  QMetaObject::Connection parentWatch_;
  bool controlsEnabled_ = false;
};

// ---- Templates ----

template <class T>
T* TZelApplication::Construct(T*& reference) {
  static_assert(std::is_base_of_v<quill::TZelComponent, T>, "a component is created");
  static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__, "over-aligned component");
  void* memory = ::operator new(sizeof(T));
  reference = static_cast<T*>(memory);
  T* instance = nullptr;
  try {
    instance = new (memory) T(this);
  } catch (...) {
    reference = nullptr;
    ::operator delete(memory);
    throw;
  }
  reference = instance;
  try {
    instance->AfterConstruction();
  } catch (...) {
    reference = nullptr;
    delete instance;
    throw;
  }
  return instance;
}

template <class T>
T* TZelApplication::CreateForm(T*& reference) {
  T* instance = Construct(reference);
  if constexpr (std::is_base_of_v<TZelForm, T>) {
    if (mainForm_ == nullptr) mainForm_ = instance;
  }
  return instance;
}

template <class T>
T* TZelApplication::CreateComponent(T*& reference) {
  return Construct(reference);
}

template <class T>
T* TZelApplication::NewComponent() {
  T* reference = nullptr;
  return Construct(reference);
}

#endif  // QUILL_FRAMEWORK_ZELFORMS_H_

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QToolButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolTip>

#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "QtPrinters.h"
#include "ZelForms.h"
#include "ZelLocalizer.h"
#include "ZelSDFReader.h"
#include "ZelSDFWriter.h"

namespace {

using Log = std::vector<std::string>;
Log gLog;

void Note(const std::string& entry) { gLog.push_back(entry); }

const QUuid kFirstGuid("{E1195915-FFAE-4A56-B331-F4567336FF25}");
const QUuid kSecondGuid("{2032DB53-FE8E-4FB8-8457-43C5430C9D6B}");

// A module that logs every step and keeps two integers in its own settings node
// (none when it has no GUID).
class TestModule : public TZelModuleWithControls {
 public:
  explicit TestModule(quill::TZelComponent* owner) : TZelModuleWithControls(owner) {}
  ~TestModule() override { Note("free " + name); }

  void Localize() override { Note(name + ".Localize"); }
  void UpdateControls() override { Note(name + ".UpdateControls"); }
  void LoadState(TZelSDFReader& reader) override {
    Note(name + ".LoadState");
    if (guid.isNull() || !reader.EnterGuidNode(1, guid)) return;
    reader.ReadInteger(1, first);
    reader.ReadInteger(2, second);
    reader.LeaveNode();
  }
  void SaveState(TZelSDFWriter& writer) override {
    Note(name + ".SaveState");
    if (guid.isNull()) return;
    writer.BeginGuidNode(1, guid);
    writer.WriteInteger(1, first);
    writer.WriteInteger(2, second);
    writer.EndNode();
  }
  void Initialize() override {
    Note(name + ".Initialize");
    TZelModuleWithControls::Initialize();
  }
  void Started() override { Note(name + ".Started"); }

  void Deferred() { Note(name + ".Deferred"); }
  void DeferAnother() {
    Note(name + ".DeferAnother");
    ZelApplication->PostDeferredCall(quill::TZelMethod(this, &TestModule::Deferred));
  }
  void Throw() { throw std::runtime_error("deferred call failed"); }

  std::string name = "module";
  QUuid guid;
  int32_t first = 1;
  int32_t second = 2;
};

// A frame that logs its steps.
class TestFrame : public TZelFrame {
  Q_OBJECT

 public:
  TestFrame(quill::TZelComponent* owner, QWidget* parent, std::string frameName)
      : TZelFrame(owner, parent), name(std::move(frameName)) {}
  ~TestFrame() override { Note("free " + name); }
  void Localize() override { Note(name + ".Localize"); }
  void UpdateControls() override { Note(name + ".UpdateControls"); }
  std::string name;
};

// A module that creates its frame in its constructor.
class FramedModule : public TestModule {
 public:
  explicit FramedModule(quill::TZelComponent* owner) : TestModule(owner) {
    frame = quill::ZelCreate<TestFrame>(this, nullptr, "frame");
  }
  TestFrame* frame;
};

// A form that logs its steps and the deferred-call events it receives.
class TestForm : public TZelForm {
  Q_OBJECT

 public:
  explicit TestForm(quill::TZelComponent* owner) : TZelForm(owner) {}
  ~TestForm() override { Note("free " + name); }
  void Localize() override { Note(name + ".Localize"); }
  void UpdateControls() override { Note(name + ".UpdateControls"); }
  void Initialize() override {
    Note(name + ".Initialize");
    TZelForm::Initialize();
  }
  void Started() override { Note(name + ".Started"); }
  void CloseNow() { close(); }
  std::string name = "form";

 protected:
  bool event(QEvent* event) override {
    if (event->type() == quill::kDeferredCallEvent) Note("event");
    return TZelForm::event(event);
  }
};

class SelfCheckingModule;
class FailingModule;
SelfCheckingModule* gChecking = nullptr;
FailingModule* gFailing = nullptr;

// Notes at construction whether the global reference already holds it.
class SelfCheckingModule : public TestModule {
 public:
  explicit SelfCheckingModule(quill::TZelComponent* owner) : TestModule(owner) {
    Note(static_cast<void*>(gChecking) == this ? "stored" : "not stored");
  }
};

class FailingModule : public TestModule {
 public:
  explicit FailingModule(quill::TZelComponent* owner) : TestModule(owner) {
    Note(static_cast<void*>(gFailing) == this ? "stored" : "not stored");
    throw std::runtime_error("constructor failed");
  }
};

// Runs the posted deferred-call events until none is left.
void RunDeferredCalls() {
  for (int round = 0; round < 100 && ZelApplication->GetDeferredCallCount() > 0; ++round) {
    QCoreApplication::sendPostedEvents(nullptr, quill::kDeferredCallEvent);
  }
  QCoreApplication::sendPostedEvents(nullptr, quill::kDeferredCallEvent);
}

// A localizer over two small language files, the application object, and a settings
// folder that starts and ends empty.
class FormsTest : public testing::Test {
 protected:
  void SetUp() override {
    gLog.clear();
    locale_ = QLocale();
    WriteLanguage("en.ini", "[Language]\nLangId=1033\nLanguage=English\n[Strings]\n1=File\n");
    WriteLanguage("de.ini", "[Language]\nLangId=1031\nLanguage=Deutsch\n[Strings]\n1=Datei\n");
    localizer_ = std::make_unique<TZelLocalizer>(languages_.path(), 1033);
    Localizer = localizer_.get();
    RemoveSettings();
    unit_ = std::make_unique<quill::TZelFormsUnit>();
  }
  void TearDown() override {
    unit_.reset();
    Localizer = nullptr;
    localizer_.reset();
    RemoveSettings();
    QLocale::setDefault(locale_);
  }

  void WriteLanguage(const QString& name, const QByteArray& contents) {
    QFile file(QDir(languages_.path()).filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
  }
  static QString SettingsFolder() {
    return QFileInfo(TZelApplication::GetSettingsFileName()).absolutePath();
  }
  static void RemoveSettings() {
    const QString folder = SettingsFolder();
    QFile::remove(folder);
    QDir(folder).removeRecursively();
  }
  // A fresh application object, as at the next start of the program.
  void Restart() {
    unit_.reset();
    gLog.clear();
    unit_ = std::make_unique<quill::TZelFormsUnit>();
  }
  TestModule* AddModule(const std::string& name, const QUuid& guid = {}) {
    TestModule* module = nullptr;
    ZelApplication->CreateComponent(module);
    module->name = name;
    module->guid = guid;
    return module;
  }

  QLocale locale_;
  QTemporaryDir languages_;
  std::unique_ptr<TZelLocalizer> localizer_;
  std::unique_ptr<quill::TZelFormsUnit> unit_;
};

}  // namespace

TEST_F(FormsTest, CreateComponentStoresTheReferenceBeforeConstruction) {
  ZelApplication->CreateComponent(gChecking);
  EXPECT_EQ(ZelApplication->GetComponent(0), gChecking);
  EXPECT_EQ(gLog, Log{"stored"});

  gLog.clear();
  EXPECT_THROW(ZelApplication->CreateComponent(gFailing), std::runtime_error);
  EXPECT_EQ(gLog, (Log{"stored", "free module"}));
  EXPECT_EQ(gFailing, nullptr);
  EXPECT_EQ(ZelApplication->GetComponentCount(), 1);
  EXPECT_NE(ZelApplication->NewComponent<TestModule>(), nullptr);
  EXPECT_EQ(ZelApplication->GetComponentCount(), 2);
}

TEST_F(FormsTest, WithoutASettingsFileEveryModuleStillStartsAndIsFreedInReverseOrder) {
  AddModule("a");
  TestForm* form = nullptr;
  ZelApplication->CreateForm(form);
  AddModule("b");
  gLog.clear();
  ZelApplication->LoadSettings();
  EXPECT_EQ(gLog, (Log{"a.Initialize", "a.Localize", "form.Initialize", "form.Localize",
                       "b.Initialize", "b.Localize", "a.Started", "form.Started", "b.Started"}));

  // Nobody writes anything: no folder and no file appear.
  gLog.clear();
  ZelApplication->SaveSettings();
  EXPECT_EQ(gLog, (Log{"a.SaveState", "b.SaveState"}));
  EXPECT_FALSE(QFileInfo::exists(SettingsFolder()));

  // The application frees the main form in its place among the modules.
  gLog.clear();
  unit_.reset();
  EXPECT_EQ(gLog, (Log{"free b", "free form", "free a"}));
}

TEST_F(FormsTest, SettingsRoundTripComponentByComponent) {
  TestModule* a = AddModule("a", kFirstGuid);
  AddModule("plain");
  TestModule* b = AddModule("b", kSecondGuid);
  a->first = 10;
  b->first = 20;
  b->second = -30;
  ZelApplication->SaveSettings();
  const QString fileName = ZelApplication->GetSettingsFileName();
  EXPECT_TRUE(
      fileName.startsWith(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)));
  EXPECT_TRUE(
      fileName.endsWith(QStringLiteral("/quill_framework_tests/quill_framework_tests.cfg")));
  ASSERT_TRUE(QFileInfo(fileName).isFile());
  EXPECT_EQ(QDir(SettingsFolder()).entryList(QDir::Files),
            QStringList{"quill_framework_tests.cfg"});

  Restart();
  a = AddModule("a", kFirstGuid);
  AddModule("plain");
  b = AddModule("b", kSecondGuid);
  ZelApplication->LoadSettings();
  EXPECT_EQ(a->first, 10);
  EXPECT_EQ(a->second, 2);
  EXPECT_EQ(b->first, 20);
  EXPECT_EQ(b->second, -30);
  EXPECT_EQ(gLog, (Log{"a.LoadState", "a.Initialize", "a.Localize", "plain.LoadState",
                       "plain.Initialize", "plain.Localize", "b.LoadState", "b.Initialize",
                       "b.Localize", "a.Started", "plain.Started", "b.Started"}));
}

TEST_F(FormsTest, ASettingsFileThatCannotBeWrittenIsSkipped) {
  TestModule* a = AddModule("a", kFirstGuid);
  // The settings folder's place is taken by a file.
  QDir().mkpath(QFileInfo(SettingsFolder()).absolutePath());
  QFile blocker(SettingsFolder());
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  ZelApplication->SaveSettings();
  EXPECT_TRUE(QFileInfo(SettingsFolder()).isFile());
  QFile::remove(SettingsFolder());

  // An existing file is replaced as a whole.
  a->first = 5;
  ZelApplication->SaveSettings();
  a->first = 6;
  ZelApplication->SaveSettings();
  Restart();
  a = AddModule("a", kFirstGuid);
  ZelApplication->LoadSettings();
  EXPECT_EQ(a->first, 6);
  EXPECT_EQ(QDir(SettingsFolder()).entryList(QDir::Files).size(), 1);
}

TEST(SettingsFileName, FollowsTheProgramName) {
  EXPECT_EQ(TZelApplication::SettingsFileNameFor("/opt/q/Quillmere", "/home/ann/.config"),
            "/home/ann/.config/Quillmere/Quillmere.cfg");
  EXPECT_EQ(TZelApplication::SettingsFileNameFor("/opt/q/Quillmere.bin", "/cfg/"),
            "/cfg/Quillmere/Quillmere.cfg");
  // Without a configuration folder: the program's path with the extension ".cfg".
  EXPECT_EQ(TZelApplication::SettingsFileNameFor("/opt/q/Quillmere", ""), "/opt/q/Quillmere.cfg");
  EXPECT_EQ(TZelApplication::SettingsFileNameFor("/opt/q.d/Quillmere.exe", ""),
            "/opt/q.d/Quillmere.cfg");
}

TEST_F(FormsTest, DeferredCallsRunOnePerEventInQueueOrder) {
  TestModule* module = AddModule("m");
  ZelApplication->PostDeferredCall(quill::TZelMethod(module, &TestModule::Deferred));
  EXPECT_EQ(ZelApplication->GetDeferredCallCount(), 0);  // no main window: dropped

  TestForm* form = nullptr;
  TestForm* second = nullptr;
  ZelApplication->CreateForm(form);
  ZelApplication->CreateForm(second);
  EXPECT_EQ(ZelApplication->GetMainForm(), form);  // the first form created
  RunDeferredCalls();
  EXPECT_TRUE(gLog.empty());

  ZelApplication->PostDeferredCall(quill::TZelMethod(module, &TestModule::DeferAnother));
  ZelApplication->PostDeferredCall(quill::TZelMethod(module, &TestModule::Deferred));
  EXPECT_TRUE(gLog.empty());  // nothing runs before the current handler returns
  RunDeferredCalls();
  EXPECT_EQ(gLog, (Log{"event", "m.DeferAnother", "event", "m.Deferred", "event", "m.Deferred"}));
}

TEST_F(FormsTest, AFailingDeferredCallKeepsTheQueueMoving) {
  TestModule* module = AddModule("m");
  TestForm* form = nullptr;
  ZelApplication->CreateForm(form);
  QStringList reported;
  ZelApplication->SetMessageBoxAnswerer([&](const QString& text, const QString&, uint32_t flags) {
    reported << text;
    EXPECT_EQ(flags, MB_OK | MB_ICONERROR);
    return quill::IDOK;
  });
  ZelApplication->PostDeferredCall(quill::TZelMethod(module, &TestModule::Throw));
  ZelApplication->PostDeferredCall(quill::TZelMethod(module, &TestModule::Deferred));
  RunDeferredCalls();
  EXPECT_EQ(reported, QStringList{"deferred call failed"});
  EXPECT_EQ(gLog, (Log{"event", "event", "m.Deferred"}));

  // Run directly, the exception reaches the caller and the queue still moves.
  ZelApplication->PostDeferredCall(quill::TZelMethod(module, &TestModule::Throw));
  EXPECT_THROW(ZelApplication->RunDeferredCall(), std::runtime_error);
  EXPECT_EQ(ZelApplication->GetDeferredCallCount(), 0);
  ZelApplication->RunDeferredCall();  // an empty queue: nothing
}

TEST_F(FormsTest, ADyingComponentWithdrawsItsDeferredCalls) {
  TestModule* doomed = AddModule("doomed");
  TestModule* kept = AddModule("kept");
  TestForm* form = nullptr;
  ZelApplication->CreateForm(form);
  ZelApplication->PostDeferredCall(quill::TZelMethod(doomed, &TestModule::Deferred));
  ZelApplication->PostDeferredCall(quill::TZelMethod(kept, &TestModule::Deferred));
  delete doomed;
  gLog.clear();
  RunDeferredCalls();
  EXPECT_EQ(gLog, (Log{"event", "kept.Deferred"}));

  // Once the main window is gone, queued calls never run and new ones are dropped.
  ZelApplication->PostDeferredCall(quill::TZelMethod(kept, &TestModule::Deferred));
  delete form;
  EXPECT_EQ(ZelApplication->GetMainForm(), nullptr);
  ZelApplication->PostDeferredCall(quill::TZelMethod(kept, &TestModule::Deferred));
  gLog.clear();
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(gLog, Log{});
}

TEST_F(FormsTest, IdleHandlersRunInRegistrationOrder) {
  AddModule("a");
  FramedModule* framed = nullptr;
  ZelApplication->CreateComponent(framed);  // its frame initialises itself at once
  framed->name = "framed";
  TestForm* form = nullptr;
  ZelApplication->CreateForm(form);
  ZelApplication->LoadSettings();
  gLog.clear();
  ZelApplication->DoIdle();
  EXPECT_EQ(gLog, (Log{"frame.UpdateControls", "a.UpdateControls", "framed.UpdateControls",
                       "form.UpdateControls"}));

  // The event loop calls them whenever it is about to wait.
  gLog.clear();
  emit QAbstractEventDispatcher::instance()->aboutToBlock();
  EXPECT_EQ(gLog.size(), 4u);
}

TEST_F(FormsTest, AComponentDestroyedEarlyLeavesNoHandlerBehind) {
  TestModule* a = AddModule("a");
  AddModule("b");
  ZelApplication->LoadSettings();
  delete a;
  gLog.clear();
  ZelApplication->DoIdle();
  SetLanguage(1031);
  EXPECT_EQ(gLog, (Log{"b.UpdateControls", "b.Localize"}));

  // A handler that frees another component during the walk: that one is skipped.
  class Killer : public TestModule {
   public:
    using TestModule::TestModule;
    void UpdateControls() override {
      Note("killer");
      delete victim;
      victim = nullptr;
    }
    TestModule* victim = nullptr;
  };
  Killer* killer = nullptr;
  ZelApplication->CreateComponent(killer);
  TestModule* victim = AddModule("victim");
  killer->victim = victim;
  killer->Initialize();
  victim->Initialize();
  gLog.clear();
  ZelApplication->DoIdle();
  EXPECT_EQ(gLog, (Log{"b.UpdateControls", "killer", "free victim"}));
}

TEST_F(FormsTest, FormsAndFramesOutsideTheApplicationInitialiseThemselves) {
  TestForm* owned = nullptr;
  ZelApplication->CreateForm(owned);
  owned->name = "owned";
  EXPECT_TRUE(gLog.empty());  // initialised by LoadSettings

  auto* dialog = quill::ZelCreate<TestForm>(nullptr);
  EXPECT_EQ(gLog, (Log{"form.Initialize", "form.Localize"}));
  auto* frame = quill::ZelCreate<TestFrame>(owned, nullptr, "frame");
  EXPECT_TRUE(frame->GetControlsEnabled());
  gLog.clear();
  SetLanguage(1031);
  EXPECT_EQ(gLog, (Log{"form.Localize", "frame.Localize"}));
  delete dialog;
  gLog.clear();
  SetLanguage(1033);
  ZelApplication->DoIdle();
  EXPECT_EQ(gLog, (Log{"frame.Localize", "frame.UpdateControls"}));
}

TEST_F(FormsTest, AnOwnedFrameOutlivesItsVisualParent) {
  TestModule* module = AddModule("module");
  auto* panel = new QWidget();
  auto* frame = quill::ZelCreate<TestFrame>(module, panel, "frame");
  auto* child = new QPushButton(frame);
  gLog.clear();
  delete panel;
  EXPECT_TRUE(gLog.empty());
  EXPECT_EQ(frame->parentWidget(), nullptr);
  child->setText(QStringLiteral("still here"));
  EXPECT_EQ(module->GetComponent(0), frame);

  // Reparented, it follows its new parent.
  auto* other = new QWidget();
  frame->setParent(other);
  delete other;
  EXPECT_TRUE(gLog.empty());
  delete module;
  EXPECT_EQ(gLog, (Log{"free module", "free frame"}));

  // Without an owner, a frame goes with its parent as any widget.
  auto* parent = new QWidget();
  quill::ZelCreate<TestFrame>(nullptr, parent, "loose");
  gLog.clear();
  delete parent;
  EXPECT_EQ(gLog, (Log{"free loose"}));
}

TEST_F(FormsTest, SetControlsEnabledSwitchesTheFramesControlsOnlyOnAChange) {
  auto* frame = quill::ZelCreate<TestFrame>(nullptr, nullptr, "frame");
  auto* button = new QPushButton(frame);
  auto* group = new QWidget(frame);
  auto* inner = new QPushButton(group);
  auto* innerOff = new QPushButton(group);
  innerOff->setEnabled(false);
  // A tab bar too narrow for its tabs, scrolled to the start: it keeps its own
  // scroll-left button off.
  auto* tabs = new QTabBar(frame);
  tabs->setUsesScrollButtons(true);
  for (int i = 0; i < 12; ++i) tabs->addTab(QStringLiteral("Tab %1").arg(i));
  tabs->setGeometry(0, 0, 120, 30);
  frame->show();
  QToolButton* scrollLeft = tabs->findChild<QToolButton*>(QStringLiteral("ScrollLeftButton"));
  QToolButton* scrollRight = tabs->findChild<QToolButton*>(QStringLiteral("ScrollRightButton"));
  ASSERT_NE(scrollLeft, nullptr);
  ASSERT_NE(scrollRight, nullptr);
  ASSERT_FALSE(scrollLeft->isEnabled());
  ASSERT_TRUE(scrollRight->isEnabled());

  button->setEnabled(false);
  frame->SetControlsEnabled(true);  // already enabled: no control changes
  EXPECT_FALSE(button->isEnabled());
  frame->SetControlsEnabled(false);
  EXPECT_FALSE(frame->GetControlsEnabled());
  EXPECT_TRUE(frame->isEnabled());
  const std::vector<QWidget*> switched = {button, group, inner, scrollRight};
  for (QWidget* control : switched) {
    EXPECT_FALSE(control->isEnabled());
  }
  frame->SetControlsEnabled(true);
  for (QWidget* control : switched) {
    EXPECT_TRUE(control->isEnabled());
  }
  EXPECT_FALSE(innerOff->isEnabled());
  EXPECT_FALSE(scrollLeft->isEnabled());
  delete frame;
}

TEST_F(FormsTest, MessageBoxesGoToTheAnswererCaptionedWithTheTitle) {
  QString changedTo;
  ZelApplication->OnTitleChange = [&](TZelApplication* sender) { changedTo = sender->GetTitle(); };
  ZelApplication->SetTitle(QStringLiteral("Quillmere"));
  EXPECT_EQ(changedTo, QStringLiteral("Quillmere"));
  std::vector<std::tuple<QString, QString, uint32_t>> asked;
  ZelApplication->SetMessageBoxAnswerer(
      [&](const QString& text, const QString& caption, uint32_t flags) {
        asked.emplace_back(text, caption, flags);
        return quill::IDNO;
      });
  EXPECT_EQ(ZelApplication->MessageBox(QStringLiteral("Save?"), quill::MB_YESNOCANCEL | quill::MB_ICONWARNING),
            quill::IDNO);
  EXPECT_EQ(
      ZelApplication->MessageBoxWithCaption(QStringLiteral("Stop?"), QStringLiteral("Demo"), 36),
      quill::IDNO);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0], std::make_tuple(QString("Save?"), QString("Quillmere"), uint32_t{51}));
  EXPECT_EQ(asked[1], std::make_tuple(QString("Stop?"), QString("Demo"), uint32_t{36}));
}

namespace {

// What an open message box showed.
struct ShownBox {
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  std::set<QMessageBox::StandardButton> buttons;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Notes the message box that opens next and clicks its button Which.
void AnswerMessageBox(QMessageBox::StandardButton which, ShownBox& shown) {
  QTimer::singleShot(0, [which, &shown] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      ADD_FAILURE() << "the message box is not the active modal window";
      for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* open = qobject_cast<QMessageBox*>(window)) open->done(QMessageBox::Cancel);
      }
      return;
    }
    shown.caption = box->windowTitle();
    shown.text = box->text();
    shown.icon = box->icon();
    for (QAbstractButton* button : box->buttons())
      shown.buttons.insert(box->standardButton(button));
    if (box->defaultButton() != nullptr) {
      shown.defaultButton = box->standardButton(box->defaultButton());
    }
    if (QAbstractButton* button = box->button(which)) {
      button->click();
    } else {
      ADD_FAILURE() << "no such button";
      box->reject();
    }
  });
}

}  // namespace

TEST_F(FormsTest, MessageBoxesShowTheButtonsOfTheirFlags) {
  ShownBox shown;
  AnswerMessageBox(QMessageBox::No, shown);
  EXPECT_EQ(ZelApplication->MessageBoxWithCaption(QStringLiteral("Stop the demo?"),
                                                  QStringLiteral("Demo"),
                                                  MB_YESNO | MB_ICONQUESTION | quill::MB_DEFBUTTON2),
            quill::IDNO);
  EXPECT_EQ(shown.caption, QStringLiteral("Demo"));
  EXPECT_EQ(shown.text, QStringLiteral("Stop the demo?"));
  EXPECT_EQ(shown.icon, QMessageBox::Question);
  EXPECT_EQ(shown.buttons, (std::set{QMessageBox::Yes, QMessageBox::No}));
  EXPECT_EQ(shown.defaultButton, QMessageBox::No);

  ZelApplication->SetTitle(QStringLiteral("Quillmere"));
  ShownBox retry;
  AnswerMessageBox(QMessageBox::Retry, retry);
  EXPECT_EQ(
      ZelApplication->MessageBox(QStringLiteral("Again?"), quill::MB_ABORTRETRYIGNORE | MB_ICONERROR),
      quill::IDRETRY);
  EXPECT_EQ(retry.caption, QStringLiteral("Quillmere"));
  EXPECT_EQ(retry.icon, QMessageBox::Critical);
  EXPECT_EQ(retry.buttons, (std::set{QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore}));
  EXPECT_EQ(retry.defaultButton, QMessageBox::Abort);
}

TEST_F(FormsTest, AYesNoQuestionIgnoresEscAndCancelTakesIt) {
  // Presses Esc in the open box; notes whether it stayed open, then clicks Button.
  const auto escThen = [](QMessageBox::StandardButton button, bool& stayedOpen) {
    QTimer::singleShot(0, [button, &stayedOpen] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) {
        ADD_FAILURE() << "no message box";
        return;
      }
      QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QApplication::sendEvent(box->focusWidget() != nullptr ? box->focusWidget() : box, &esc);
      stayedOpen = box->isVisible();
      if (stayedOpen) box->button(button)->click();
    });
  };
  bool stayedOpen = false;
  escThen(QMessageBox::Yes, stayedOpen);
  EXPECT_EQ(ZelApplication->MessageBox(QStringLiteral("Stop the demo?"), MB_YESNO | MB_ICONQUESTION), quill::IDYES);
  EXPECT_TRUE(stayedOpen);
  escThen(QMessageBox::Yes, stayedOpen);
  EXPECT_EQ(ZelApplication->MessageBox(QStringLiteral("Save?"), quill::MB_YESNOCANCEL), quill::IDCANCEL);
  EXPECT_FALSE(stayedOpen);
}

TEST_F(FormsTest, ToolTipsShowOnlyWhileHintsAreOn) {
  QWidget widget;
  widget.setToolTip(QStringLiteral("Tip"));
  widget.show();
  const auto hover = [&widget] {
    QHelpEvent help(QEvent::ToolTip, QPoint(1, 1), widget.mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(&widget, &help);
    return QToolTip::isVisible();
  };
  EXPECT_TRUE(ZelApplication->GetShowHint());
  ZelApplication->SetShowHint(false);
  EXPECT_FALSE(hover());
  ZelApplication->SetShowHint(true);
  EXPECT_TRUE(hover());
  QToolTip::hideText();
}

TEST_F(FormsTest, ShowModalReturnsTheModalResult) {
  auto* dialog = quill::ZelCreate<TestForm>(nullptr);
  QTimer::singleShot(0, dialog, [dialog] { dialog->SetModalResult(quill::IDOK); });
  EXPECT_EQ(dialog->ShowModal(), quill::IDOK);
  EXPECT_FALSE(dialog->isVisible());
  QTimer::singleShot(0, dialog, [dialog] { dialog->close(); });
  EXPECT_EQ(dialog->ShowModal(), quill::IDCANCEL);
  delete dialog;
}

TEST_F(FormsTest, RunLoadsLoopsUntilTheMainWindowClosesAndSaves) {
  TestForm* form = nullptr;
  ZelApplication->CreateForm(form);
  TestModule* module = AddModule("m", kFirstGuid);
  module->first = 99;
  ZelApplication->PostDeferredCall(quill::TZelMethod(form, &TestForm::CloseNow));
  gLog.clear();
  ZelApplication->Run();
  EXPECT_EQ(gLog.front(), "form.Initialize");
  EXPECT_NE(std::find(gLog.begin(), gLog.end(), "m.Started"), gLog.end());
  EXPECT_EQ(gLog.back(), "m.SaveState");
  EXPECT_TRUE(QFileInfo(ZelApplication->GetSettingsFileName()).isFile());
}

#include "FormsTest.moc"

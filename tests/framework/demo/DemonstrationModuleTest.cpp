// The demonstration module: its registry of commands and targets (guarded, first
// registration wins, the kinds' arguments, the unknown ones' errors), the demo list's
// files, and the demo flows around the graphics editor, in plug-in mode among them.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include <memory>
#include <string>
#include <vector>

#include "MainWindowTesting.h"
#include "ZelDemonstrationModule.h"

namespace {

using namespace quill;

// The editor as the module sees it: one document or none, and what was asked of it.
class FakeEditorLink : public quill::TZelDemoEditorLink {
 public:
  bool HasDocument() const override { return document; }
  bool DocumentOpenedByScript() const override { return openedByScript; }
  void CloseDocumentNow() override { document = false; }
  bool PluginMode() const override { return pluginMode; }
  QString SaveAndCloseExchangeDocument() override {
    if (saveFails) return {};
    document = false;
    return QStringLiteral("/tmp/exchange.zli");
  }
  bool CloseDocument() override {
    if (refuseClose) return false;
    document = false;
    return true;
  }
  void OpenFile(const QString& fileName) override {
    opened.append(fileName);
    document = true;
  }
  void AbortStroke() override { ++aborts; }
  void CancelPendingWork() override { ++cancels; }
  void ShowToolsPanel() override {}

  bool document = false;
  bool openedByScript = false;
  bool pluginMode = false;
  bool refuseClose = false;
  bool saveFails = false;
  QStringList opened;
  int aborts = 0;
  int cancels = 0;
};

// A component with handlers of every kind, counting its calls.
class Handlers : public TZelComponent {
 public:
  using TZelComponent::TZelComponent;
  void Plain() { calls.push_back("plain"); }
  void Flag(bool value) { calls.push_back(value ? "true" : "false"); }
  void Number(int32_t value) { calls.push_back(std::to_string(value)); }
  void Clicked(QPushButton* button) { calls.push_back(button->objectName().toStdString()); }
  std::vector<std::string> calls;
};

// A component that answers what nobody registered.
class Scriptable : public TZelComponent, public IZelDemoScriptable {
 public:
  using TZelComponent::TZelComponent;
  void ExecuteCommand(TZelDemoPlayback*, const QString& name, bool& handled, const TZelProperties*) override {
    if (name == "OWN") handled = true, ++commands;
  }
  void GetTargetPoint(TZelDemoPlayback*, const TZelProperties* params, bool& found, quill::TPoint& point) override {
    if (quill::VariantToText(quill::ParamAt(static_cast<const TZelDemoScriptParams&>(*params), 0)) == "Own") found = true, point = {5, 6};
  }
  void RecordingStarted(TZelDemoPlayback*) override {}
  void RecordingStopped(TZelDemoPlayback*) override {}
  int commands = 0;
};

class DemonstrationModuleTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    MainForm->show();
    ZelApplication->CreateComponent(DemonstrationModule);
    module_ = DemonstrationModule;
    module_->EditorLink = &link_;
    module_->GetPlayback().SetClock([this] { return now_; });
    ZelApplication->SetMessageBoxAnswerer([this](const QString& text, const QString&, uint32_t flags) {
      boxes_.push_back({text, flags});
      return (flags & 0xF) == MB_YESNO ? answer_ : quill::IDOK;
    });
  }

  // Plays Lines from the player's first line and steps to the end with the test's clock.
  bool Play(const std::vector<std::string>& lines) {
    TZelDemoScript script;
    script.Reset();
    script.GetScriptLines() = lines;
    const bool playing = module_->PlayScript(script);
    StepToEnd();
    return playing;
  }
  void StepToEnd() {
    TZelDemoPlayback& player = module_->GetPlayback();
    player.GetThread().Stop();
    for (int i = 0; i < 1000 && player.IsPlaying(); ++i) {
      now_ += 100;
      player.Step();
    }
  }
  // The texts of the boxes shown, the last last.
  QStringList Texts() const {
    QStringList texts;
    for (const auto& box : boxes_) texts.append(box.first);
    return texts;
  }

  TZelDemonstrationModule* module_ = nullptr;
  FakeEditorLink link_;
  int64_t now_ = 0;
  int answer_ = quill::IDYES;
  std::vector<std::pair<QString, uint32_t>> boxes_;
};

TEST_F(DemonstrationModuleTest, CommandsRunByKindFirstRegistrationFirstAndNeverInADeadComponent) {
  auto* handlers = ZelApplication->NewComponent<Handlers>();
  auto* button = new QPushButton(MainForm);
  button->setObjectName("button");
  module_->RegisterCommand("Plain", handlers, &Handlers::Plain);
  module_->RegisterCommand("PLAIN", handlers, &Handlers::Plain);  // never reached
  module_->RegisterBoolCommand("Flag", handlers, &Handlers::Flag, true);
  module_->RegisterIntCommand("Number", handlers, &Handlers::Number, 7);
  module_->RegisterFrameCommand("Button", button, handlers, &Handlers::Clicked);
  ZelApplication->NewComponent<Scriptable>();

  EXPECT_TRUE(Play({"plain", "Flag", "Flag 0", "Flag x", "Flag 2", "Number", "Number 12", "Number x", "button", "Own"}));
  EXPECT_EQ(handlers->calls,
            (std::vector<std::string>{"plain", "true", "false", "false", "true", "7", "12", "7", "button"}));
  EXPECT_EQ(module_->GetCommandNames(), (QStringList{"PLAIN", "PLAIN", "FLAG", "NUMBER", "BUTTON"}));
  EXPECT_FALSE(Texts().join("|").contains("Unknown"));

  // A dead control, and then a dead module, is passed over: the command is unknown.
  delete button;
  boxes_.clear();
  Play({"Button"});
  ASSERT_FALSE(boxes_.empty());
  EXPECT_EQ(boxes_[0].first, "Unknown command: \"BUTTON\"\nButton");
  EXPECT_EQ(boxes_[0].second, MB_OK | MB_ICONERROR);
  delete handlers;
  boxes_.clear();
  Play({"Plain"});
  ASSERT_FALSE(boxes_.empty());
  EXPECT_EQ(boxes_[0].first, "Unknown command: \"PLAIN\"\nPlain");
}

TEST_F(DemonstrationModuleTest, TargetsAreFoundOnlyWhereTheyShow) {
  auto* button = new QPushButton("Go", MainForm->ClientArea);
  button->setGeometry(10, 20, 40, 30);
  button->show();
  QToolBar* toolbar = MainForm->AddToolbar("Bar");
  QAction* shown = toolbar->addAction("Shown");
  auto* unplaced = new QAction("Unplaced", MainForm);  // on no toolbar: no view
  module_->RegisterControl("Go", button);
  module_->RegisterControl("Shown", shown);
  module_->RegisterControl("Unplaced", unplaced);
  module_->RegisterControl("Nothing", static_cast<QWidget*>(nullptr));
  ZelApplication->NewComponent<Scriptable>();
  ProcessEvents();

  TZelDemoPlayback& player = module_->GetPlayback();
  auto resolve = [&](const std::string& line, quill::TPoint& point) {
    TZelDemoScriptParams params;
    ParseScriptArguments(params, line);
    return player.ResolveTarget(params, point);
  };
  quill::TPoint point;
  ASSERT_TRUE(resolve("go", point));
  const QPoint centre = button->mapToGlobal(QPoint(20, 15));
  EXPECT_EQ(point, (quill::TPoint{centre.x(), centre.y()}));
  EXPECT_TRUE(resolve("Shown", point));
  EXPECT_FALSE(resolve("Unplaced", point));
  EXPECT_FALSE(resolve("Nothing", point));
  ASSERT_TRUE(resolve("Own", point));
  EXPECT_EQ(point, (quill::TPoint{5, 6}));
  EXPECT_EQ(module_->GetTargetNames(), (QStringList{"GO", "SHOWN", "UNPLACED"}));

  delete button;
  EXPECT_FALSE(resolve("Go", point));
  boxes_.clear();
  Play({"MouseCurvedMove Unplaced"});
  ASSERT_FALSE(boxes_.empty());
  EXPECT_EQ(boxes_[0].first, "Invalid arguments.\nMouseCurvedMove Unplaced");
}

TEST_F(DemonstrationModuleTest, TheListHoldsScriptFilesOnlySortedByPathWithoutCase) {
  QTemporaryDir folder;
  for (const char* name : {"b.dsc", "A.dsc", "notes.txt"}) {
    QFile file(QDir(folder.path()).filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  ASSERT_TRUE(QDir(folder.path()).mkdir("c.dsc"));
  const QStringList files = TZelDemonstrationModule::ListDemoFiles(folder.path() + "/");
  ASSERT_EQ(files.size(), 2);
  EXPECT_TRUE(files[0].endsWith("/A.dsc"));
  EXPECT_TRUE(files[1].endsWith("/b.dsc"));
}

TEST_F(DemonstrationModuleTest, TheFlowsSetTheTitleAndCloseDocumentsAsAsked) {
  ZelApplication->SetTitle("Quillmere");
  // A document a demo opened closes without a question.
  link_.document = true;
  link_.openedByScript = true;
  TZelDemoScript script;
  script.Reset();
  script.GetScriptLines() = {"Pause 0.2"};
  script.GetSection(0) = {"Title=Tour"};
  ASSERT_TRUE(module_->PlayScript(script));
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(ZelApplication->GetTitle(), "Quillmere - Tour");
  StepToEnd();
  EXPECT_EQ(ZelApplication->GetTitle(), "Quillmere");
  EXPECT_EQ(Texts(), QStringList{GetLocalizedString(725)});

  // One the user opened needs Yes; No cancels and leaves the title.
  link_.document = true;
  link_.openedByScript = false;
  answer_ = quill::IDNO;
  boxes_.clear();
  EXPECT_FALSE(module_->PlayScript(script));
  EXPECT_TRUE(link_.document);
  EXPECT_EQ(ZelApplication->GetTitle(), "Quillmere");
  // Yes, and a refused close query, cancel it too.
  answer_ = quill::IDYES;
  link_.refuseClose = true;
  EXPECT_FALSE(module_->PlayScript(script));
  EXPECT_EQ(boxes_.size(), 2u);
}

TEST_F(DemonstrationModuleTest, EscAndYesEndsTheStrokeAndTheWorkAndRestoresTheTitle) {
  ZelApplication->SetTitle("Quillmere");
  TZelDemoScript script;
  script.Reset();
  script.GetScriptLines() = {"Pause 5"};
  ASSERT_TRUE(module_->PlayScript(script));
  answer_ = quill::IDNO;
  EXPECT_FALSE(module_->GetPlayback().RequestStop());
  EXPECT_TRUE(module_->GetPlayback().IsPlaying());
  answer_ = quill::IDYES;
  EXPECT_TRUE(module_->GetPlayback().RequestStop());
  EXPECT_EQ(link_.aborts, 0);  // no button held
  EXPECT_EQ(link_.cancels, 1);
  EXPECT_EQ(ZelApplication->GetTitle(), "Quillmere");
}

// A demo started from a tool frame in plug-in mode closes the exchange document; when
// it ends, stops or fails, that file is opened again, once.
TEST_F(DemonstrationModuleTest, PluginModeGetsItsExchangeFileBackOnceAfterEveryKindOfEnd) {
  link_.pluginMode = true;
  for (const std::vector<std::string>& lines :
       {std::vector<std::string>{"Pause 0.1"}, std::vector<std::string>{"NoSuchCommand"}}) {
    link_.document = true;
    link_.opened.clear();
    ASSERT_TRUE(Play(lines));
    EXPECT_EQ(link_.opened, QStringList{"/tmp/exchange.zli"});
    EXPECT_TRUE(module_->PluginFileName.isEmpty());
    EXPECT_FALSE(module_->StartedFromDialog);
  }
  // Stopped with Esc.
  link_.document = true;
  link_.opened.clear();
  TZelDemoScript script;
  script.Reset();
  script.GetScriptLines() = {"Pause 5"};
  ASSERT_TRUE(module_->PlayScript(script));
  EXPECT_TRUE(module_->GetPlayback().RequestStop());
  EXPECT_EQ(link_.opened, QStringList{"/tmp/exchange.zli"});
  // An exchange file that cannot be written keeps its document open and the demo off.
  link_.saveFails = true;
  EXPECT_FALSE(module_->PlayScript(script));
  EXPECT_TRUE(link_.document);
  link_.saveFails = false;
  link_.opened.clear();
  // Nothing is left to open again later.
  link_.document = false;
  ASSERT_TRUE(module_->PlayScript(script));
  EXPECT_TRUE(module_->GetPlayback().RequestStop());
  EXPECT_TRUE(link_.opened.isEmpty());
}

// The list shows the picture that a script names, in UTF-8 or, when the name is not
// UTF-8, in the code page of the script's own texts (1252 here).
TEST_F(DemonstrationModuleTest, TheListFindsThePictureThatASingleByteScriptNames) {
  QTemporaryDir folder;
  QImage red(40, 30, QImage::Format_RGB32);
  red.fill(Qt::red);
  ASSERT_TRUE(red.save(QDir(folder.path()).filePath(QStringLiteral("Gr\u00fc\u00dfe.png"))));
  const auto write = [&](const char* name, const QByteArray& bytes) {
    QFile file(QDir(folder.path()).filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  };
  write("a.dsc", "[Info]\r\nImage=Gr\xFC\xDF" "e.png\r\n");
  write("b.dsc", "[Info]\r\nImage=Gr\xC3\xBC\xC3\x9F" "e.png\r\n");
  write("c.dsc", "\xEF\xBB\xBF[Info]\r\nImage=Gr\xC3\xBC\xC3\x9F" "e.png\r\n");
  write("d.dsc", "[Info]\r\nImage=missing.png\r\n");
  module_->DemoFolder = folder.path() + "/";
  auto* form = ZelCreate<TZelDemonstrationForm>(nullptr, *module_);
  std::unique_ptr<TZelDemonstrationForm> owned(form);
  ASSERT_EQ(form->DemoListView->count(), 4);
  for (int i = 0; i < 4; ++i) {
    const QImage icon = form->DemoListView->item(i)->icon().pixmap(64, 64).toImage();
    EXPECT_EQ(icon.pixelColor(32, 32) == QColor(Qt::red), i < 3) << i;
  }
}

// The list's Start marks the demo as started from the list only when it plays; an
// error clears the mark (the list does not open again) and the exchange file comes back.
TEST_F(DemonstrationModuleTest, StartedFromDialogOnlyWhileADemoFromTheListPlays) {
  QTemporaryDir folder;
  QFile file(QDir(folder.path()).filePath("a.dsc"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("[Script]\r\nNoSuchCommand\r\n");
  file.close();
  module_->DemoFolder = folder.path() + "/";
  link_.pluginMode = true;
  link_.document = true;
  auto start = [this] {
    QTimer::singleShot(0, [] {
      for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* form = qobject_cast<TZelDemonstrationForm*>(window)) form->StartButton->click();
      }
    });
    module_->ShowDemoDialog();
  };

  // Refused by the close question: not started, and the exchange file stays closed
  // until the list closes (it was never closed).
  answer_ = quill::IDNO;
  start();
  EXPECT_FALSE(module_->StartedFromDialog);
  EXPECT_TRUE(link_.opened.isEmpty());

  answer_ = quill::IDYES;
  start();
  EXPECT_TRUE(module_->StartedFromDialog);
  StepToEnd();
  EXPECT_FALSE(module_->StartedFromDialog);
  EXPECT_EQ(ZelApplication->GetDeferredCallCount(), 0);  // the list does not open again
  EXPECT_EQ(link_.opened, QStringList{"/tmp/exchange.zli"});
}

}  // namespace

// Demos in the whole program: every command and target that the editor and the tools
// register answers a script line, the unknown ones give the player's errors, an image
// point without numbers clicks nothing; a stroke recorded through the pointer driver
// plays back to the same pixels, and a recorded message to the same text; the shipped
// demos change the photo where they press; quill-play-demo pictures the balloons. The
// program plays on a clock the test moves.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPointF>
#include <QProcess>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "EditorTesting.h"
#include "MainForm.h"
#include "Module.h"
#include "ZelDemoActions.h"
#include "ZelDemoEditor.h"
#include "ZelDemonstrationModule.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsTool.h"
#include "ZelGraphicsView.h"
#include "ZelLocalizer.h"

namespace {

using namespace quill;
using namespace quilltest;

QString ImagesFolder() { return QCoreApplication::applicationDirPath() + "/Images/"; }

class DemoScriptingTest : public testing::Test {
 protected:
  void SetUp() override {
    SetLanguage(1033);
    formsUnit_ = std::make_unique<quill::TZelFormsUnit>();
    ZelApplication->CreateForm(Module);
    ZelApplication->SetMessageBoxAnswerer([this](const QString& text, const QString&, uint32_t flags) {
      if ((flags & 0xF0) == MB_ICONERROR) errors_.append(text);
      return (flags & 0xF) == MB_YESNO ? quill::IDYES : (flags & 0xF) == quill::MB_YESNOCANCEL ? quill::IDNO : quill::IDOK;
    });
    DemonstrationModule->ShowAtStartup = false;  // no demo list at start
    ZelApplication->LoadSettings();
    // Larger than the test's 800 x 600 screen, which a window is fitted to as it shows,
    // so that the photo shows at 1:1 beside the tool panel.
    MainForm->show();
    MainForm->resize(1000, 800);
    Player().SetClock([this] { return now_; });
  }
  void TearDown() override { formsUnit_.reset(); }

  // One stroke: the button pressed at the first point, held through the rest, let go
  // at the last.
  using TStroke = std::vector<quill::TPoint>;
  void RecordThenPlay(const QString& tool, const std::vector<TStroke>& strokes);

  static TZelDemoPlayback& Player() { return DemonstrationModule->GetPlayback(); }

  // Plays Script to its end on the test's clock, delivering the pointer's events
  // between the steps; false when it did not start.
  // AfterStep, when given, looks at the player after every step.
  bool Play(const TZelDemoScript& script, const std::function<void()>& afterStep = {}) {
    if (!DemonstrationModule->PlayScript(script)) return false;
    Player().GetThread().Stop();
    for (int i = 0; i < 20000 && Player().IsPlaying(); ++i) {
      now_ += 20;
      Player().Step();
      if (afterStep) afterStep();
      QCoreApplication::processEvents();
    }
    return !Player().IsPlaying();
  }
  bool PlayLines(const std::vector<std::string>& lines) {
    TZelDemoScript script;
    script.Reset();
    script.GetScriptLines() = lines;
    return Play(script);
  }
  QStringList errors_;
  int64_t now_ = 0;

 private:
  quill::TZelLocalizerUnit localizerUnit_;
  std::unique_ptr<quill::TZelFormsUnit> formsUnit_;
};

TEST_F(DemoScriptingTest, EveryRegisteredCommandAndTargetAnswersAndUnknownOnesFail) {
  QStringList commands = DemonstrationModule->GetCommandNames();
  commands << "UNDO" << "REDO";
  quill::ForEachGraphicsTool([&commands](TZelGraphicsTool& tool) {
    if (!tool.Name.isEmpty()) commands << tool.Name.toUpper();
  });
  for (const QString& command : commands) {
    errors_.clear();
    ASSERT_TRUE(PlayLines({command.toStdString()})) << command.toStdString();
    EXPECT_TRUE(errors_.isEmpty()) << command.toStdString() << ": " << errors_.join(" ").toStdString();
  }
  for (const QString& target : DemonstrationModule->GetTargetNames()) {
    TZelDemoScriptParams params;
    ParseScriptArguments(params, target.toStdString());
    quill::TPoint point;
    EXPECT_TRUE(Player().ResolveTarget(params, point)) << target.toStdString();
  }

  errors_.clear();
  PlayLines({"NoSuchCommand 1"});
  EXPECT_EQ(errors_, QStringList{"Unknown command: \"NOSUCHCOMMAND\"\nNoSuchCommand 1"});
  errors_.clear();
  PlayLines({"MouseCurvedMove NoSuchTarget"});
  EXPECT_EQ(errors_, QStringList{"Invalid arguments.\nMouseCurvedMove NoSuchTarget"});
  // A NUL byte shows as U+FFFD and the message goes on after it.
  errors_.clear();
  PlayLines({std::string("AB\0CD 1", 7)});
  EXPECT_EQ(errors_, QStringList{"Unknown command: \"AB\uFFFDCD\"\nAB\uFFFDCD 1"});
}

// Points far off the screen, or far off the image at the largest zoom (where the view's
// mapping would wrap them round), end at the screen's edge on their own side, so the
// moves there end within a crossing of the screen.
TEST_F(DemoScriptingTest, FarTargetsEndAtTheScreensEdgeOnTheirSide) {
  const QRect screen = QGuiApplication::primaryScreen()->virtualGeometry();
  const std::pair<std::string, quill::TPoint> cases[] = {
      {"MouseMove Image, 2147483647, 2147483647", {screen.right(), screen.bottom()}},
      {"MouseCurvedMove Image, -2147483648, -99999", {screen.left(), screen.top()}},
      {"MouseMove 1E10, -1E10", {screen.right(), screen.top()}},
      {"MouseTo -1E300, 1E300", {screen.left(), screen.bottom()}}};
  for (const auto& [line, corner] : cases) {
    // The photo opened by the script itself: the next demo closes it.
    std::vector<std::string> lines = {"IMAGEOPEN astronaut.png", "ActualSize"};
    lines.insert(lines.end(), 10, "ZoomIn");
    lines.push_back(line);
    errors_.clear();
    ASSERT_TRUE(PlayLines(lines)) << line;
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join(" ").toStdString();
    EXPECT_EQ(Player().GetCursorPoint(), corner) << line;
    const TZelMapMode& map = GraphicsEditor->GetCurrentView()->GetMapMode();
    EXPECT_EQ(map.DeviceExtent.X / map.LogicalExtent.X, 16);
  }
}

// An image point without two numbers is no target: the player reports it and nothing
// is clicked, so the Wire Eraser paints nothing.
TEST_F(DemoScriptingTest, AClickOnAnImagePointWithoutNumbersPaintsNothing) {
  for (const std::string line : {"MOUSECLICK Image", "MOUSECLICK Image, x, y", "MouseDrag Image, 5"}) {
    errors_.clear();
    ASSERT_TRUE(PlayLines({"IMAGEOPEN astronaut-wire.png", "WireEraser", line}));
    EXPECT_EQ(errors_, QStringList{QString::fromStdString("Invalid arguments.\n" + line)});
    TZelGraphicsDocument* current = GraphicsEditor->GetCurrentDocument();
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(quilltest::PicturePixels(current->GetCurrentPixels()),
              quilltest::PicturePixels(current->GetOriginalPixels())) << line;
  }
}

// A message typed into the demo editor is recorded so that it plays back as typed; one
// that the script's quoting cannot hold is left out, and the demo editor says so.
TEST_F(DemoScriptingTest, RecordedMessagesPlayBackAsTyped) {
  TZelDocument* document = nullptr;
  ASSERT_TRUE(GraphicsEditor->OpenFile(ImagesFolder() + "astronaut.png", document, false));
  TZelDemoEditorForm* editor = DemoEditorModule->GetEditorForm();
  editor->CmNew();
  editor->CmRecord();
  ASSERT_TRUE(Player().IsRecording());
  Player().RecordMessages = true;
  quill::PointerDriver& pointer = Player().GetPointerDriver();
  pointer.BeginDriving();
  int x = 10;
  const auto clickWith = [&](const QString& text) {
    editor->MessageComboBox->setEditText(text);
    TZelDemoScriptParams at;
    ParseScriptArguments(at, "Image, " + std::to_string(x += 10) + ", 20");
    quill::TPoint point;
    Player().ResolveTarget(at, point);
    pointer.SetPosition(point);
    QCoreApplication::processEvents();
    pointer.SendButtons(MOUSEEVENTF_LEFTDOWN);
    QCoreApplication::processEvents();
    pointer.SendButtons(MOUSEEVENTF_LEFTUP);
    QCoreApplication::processEvents();
  };
  const QStringList texts = {"Say \"hi\" here", "it's", "a, b, c", "  spaced  ", "Gr\u00fc\u00dfe",
                             "\u041f\u0440\u0438\u0432\u0435\u0442"};
  for (const QString& text : texts) {
    clickWith(text);
    EXPECT_TRUE(editor->statusBar()->currentMessage().isEmpty()) << text.toStdString();
  }
  // Both quotes, or a backslash before an n, cannot be written as they are.
  for (const QString& text : {QString("He said \"it's\""), QString("C:\\new")}) {
    clickWith(text);
    EXPECT_EQ(editor->statusBar()->currentMessage(),
              "This message cannot be recorded: it holds both \" and ', or \\n.")
        << text.toStdString();
  }
  pointer.EndDriving();
  editor->CmStop();

  QTemporaryDir folder;
  const QString file = QDir(folder.path()).filePath("messages.dsc");
  ASSERT_TRUE(editor->SaveFile(file));
  TZelDemoScript script;
  ASSERT_TRUE(script.LoadFromFile(file));
  EXPECT_TRUE(script.Utf8);  // the Cyrillic text made it UTF-8
  Player().AssignScript(script);
  QStringList played;
  for (const std::string& line : script.GetScriptLines()) {
    const std::unique_ptr<TZelDemoScriptAction> action = Player().ParseLine(line);
    auto* balloon = dynamic_cast<TZelDemoScriptBalloonAction*>(action.get());
    if (balloon == nullptr) continue;
    balloon->Step();
    played.append(balloon->GetText());
  }
  EXPECT_EQ(played, texts);
}

// quill-play-demo --shots pictures every balloon while it shows, besides a picture
// after every line, none of which shows a balloon that has closed.
TEST(PlayDemoTool, ShotsShowEachBalloonWhileItShows) {
  QTemporaryDir folder;
  QProcess tool;
  tool.start(QStringLiteral(QUILL_PLAY_DEMO),
             {QStringLiteral(QUILL_IMAGES_DIR "/astronaut.png"), QStringLiteral(QUILL_TEST_DATA_DIR "/demo-moves.dsc"),
              QDir(folder.path()).filePath("out.png"), "--shots", folder.path()});
  ASSERT_TRUE(tool.waitForFinished(-1));
  ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
  const QColor balloon = QApplication::palette().color(QPalette::ToolTipBase);
  const auto balloonPixels = [&](const QString& name) {
    const QImage shot(QDir(folder.path()).filePath(name));
    EXPECT_FALSE(shot.isNull()) << name.toStdString();
    int count = 0;
    for (int y = 0; y < shot.height(); ++y) {
      for (int x = 0; x < shot.width(); ++x) count += shot.pixelColor(x, y) == balloon ? 1 : 0;
    }
    return count;
  };
  const QStringList shots = QDir(folder.path()).entryList({"line-*.png"}, QDir::Files, QDir::Name);
  ASSERT_EQ(shots.filter("-message").size(), 1) << shots.join(' ').toStdString();  // one MESSAGE
  for (const QString& shot : shots) {
    if (shot.contains("-message")) {
      EXPECT_GT(balloonPixels(shot), 500) << shot.toStdString();
    } else {
      EXPECT_EQ(balloonPixels(shot), 0) << shot.toStdString();
    }
  }
}

// Scripts that aim the pointer far beyond the screen, or name a command with a NUL
// byte in it, end at once in the program that plays them.
TEST(PlayDemoTool, FarTargetsAndNulNamesEndPromptly) {
  QTemporaryDir folder;
  const auto play = [&folder](const char* script, QString& errors) {
    QProcess tool;
    tool.start(QStringLiteral(QUILL_PLAY_DEMO),
               {QStringLiteral(QUILL_IMAGES_DIR "/astronaut.png"), QStringLiteral(QUILL_TEST_DATA_DIR "/") + script,
                QDir(folder.path()).filePath("out.png")});
    // Moves across the screen at the scripts' speed take a few milliseconds; one that
    // went where the numbers say would take years.
    if (!tool.waitForFinished(60000)) {
      tool.kill();
      tool.waitForFinished();
      return -1;
    }
    errors = QString::fromUtf8(tool.readAllStandardError());
    return tool.exitCode();
  };
  QString errors;
  EXPECT_EQ(play("demo-far-targets.dsc", errors), 0) << errors.toStdString();
  EXPECT_TRUE(QImage(QDir(folder.path()).filePath("out.png")).width() > 0);
  EXPECT_EQ(play("demo-nul-command.dsc", errors), 1);
  EXPECT_TRUE(errors.contains("Unknown command: \"AB\uFFFDCD\"\nAB\uFFFDCD 1")) << errors.toStdString();
}

// Strokes of Tool recorded in the demo editor through the pointer driver change the
// photo; saved, read back and played on a fresh copy of it, they give the same pixels.
void DemoScriptingTest::RecordThenPlay(const QString& tool, const std::vector<TStroke>& strokes) {
  const QString photo = ImagesFolder() + "astronaut-wire.png";
  TZelDocument* document = nullptr;
  ASSERT_TRUE(GraphicsEditor->OpenFile(photo, document, false));

  TZelDemoEditorForm* editor = DemoEditorModule->GetEditorForm();
  editor->CmNew();
  editor->CmRecord();
  ASSERT_TRUE(DemonstrationModule->GetPlayback().IsRecording());
  bool handled = false;
  DemonstrationModule->ExecuteCommand(&DemonstrationModule->GetPlayback(), tool.toUpper().toStdString(), handled,
                                      nullptr, TZelDemoScriptParams());
  ASSERT_TRUE(handled);
  quill::PointerDriver& pointer = DemonstrationModule->GetPlayback().GetPointerDriver();
  pointer.BeginDriving();
  auto screenOf = [&](const quill::TPoint& image) {
    TZelDemoScriptParams at;
    ParseScriptArguments(at, "Image, " + std::to_string(image.X) + ", " + std::to_string(image.Y));
    quill::TPoint point;
    DemonstrationModule->GetPlayback().ResolveTarget(at, point);
    return point;
  };
  for (const TStroke& stroke : strokes) {
    pointer.SetPosition(screenOf(stroke.front()));
    QCoreApplication::processEvents();
    pointer.SendButtons(MOUSEEVENTF_LEFTDOWN);
    QCoreApplication::processEvents();
    for (const quill::TPoint& point : stroke) {
      pointer.SetPosition(screenOf(point));
      QCoreApplication::processEvents();
    }
    pointer.SendButtons(MOUSEEVENTF_LEFTUP);
    QCoreApplication::processEvents();
  }
  pointer.EndDriving();
  editor->CmStop();
  const QImage recorded = quilltest::PicturePixels(GraphicsEditor->GetCurrentDocument()->GetCurrentPixels());
  ASSERT_NE(recorded, quilltest::PicturePixels(GraphicsEditor->GetCurrentDocument()->GetOriginalPixels()));

  QTemporaryDir folder;
  const QString file = QDir(folder.path()).filePath("stroke.dsc");
  ASSERT_TRUE(editor->SaveFile(file));
  TZelDemoScript script;
  ASSERT_TRUE(script.LoadFromFile(file));
  script.GetScriptLines().insert(script.GetScriptLines().begin(), "IMAGEOPEN astronaut-wire.png");
  errors_.clear();
  ASSERT_TRUE(Play(script));
  ASSERT_TRUE(errors_.isEmpty()) << errors_.join(" ").toStdString();
  EXPECT_EQ(quilltest::PicturePixels(GraphicsEditor->GetCurrentDocument()->GetCurrentPixels()), recorded);
}

TEST_F(DemoScriptingTest, AWireEraserStrokeRecordedThenPlayedGivesTheSamePixels) {
  RecordThenPlay("WireEraser", {{{299, 0}, {304, 17}, {312, 34}, {321, 49}, {335, 60}, {353, 61}}});
}

TEST_F(DemoScriptingTest, AHandInpaintingFillRecordedThenPlayedGivesTheSamePixels) {
  // A click marks the spot; the click on the clean part fills it from there.
  RecordThenPlay("HandInpainting", {{{358, 441}}, {{322, 485}}});
}

// Where a demo presses the button on the photo: the image points of each press, from
// the press to the release, and the brush size the script last set.
struct TPresses {
  std::vector<std::vector<quill::TPoint>> strokes;
  int32_t size = 0;
};

TPresses PressesOf(const TZelDemoScript& script) {
  TPresses presses;
  bool down = false;
  for (const std::string& line : script.GetScriptLines()) {
    const size_t blank = line.find(' ');
    const std::string word = quill::UpperCase(line.substr(0, blank));
    TZelDemoScriptParams params;
    if (blank != std::string::npos) ParseScriptArguments(params, line.substr(blank + 1));
    if (word.ends_with("SIZE")) presses.size = quill::NumberToInteger(quill::ParamAt(params, 0), 0);
    if (word == "MOUSEDOWN") presses.strokes.emplace_back();
    down = (down || word == "MOUSEDOWN") && word != "MOUSEUP";
    if ((down || word == "MOUSEUP") && quill::VariantToText(quill::ParamAt(params, 0)) == "Image") {
      presses.strokes.back().push_back({quill::NumberToInteger(quill::ParamAt(params, 1), 0),
                                        quill::NumberToInteger(quill::ParamAt(params, 2), 0)});
    }
  }
  return presses;
}

// Whether (X, Y) lies within Radius of the straight path through Points.
bool NearPath(const std::vector<quill::TPoint>& points, int x, int y, int radius) {
  for (size_t i = 0; i < points.size(); ++i) {
    const QPointF a(points[i].X, points[i].Y);
    const QPointF b = i + 1 < points.size() ? QPointF(points[i + 1].X, points[i + 1].Y) : a;
    const QPointF ab = b - a;
    const double length2 = QPointF::dotProduct(ab, ab);
    const double t = length2 == 0 ? 0 : std::clamp(QPointF::dotProduct(QPointF(x, y) - a, ab) / length2, 0.0, 1.0);
    const QPointF d = QPointF(x, y) - (a + t * ab);
    if (QPointF::dotProduct(d, d) <= double(radius) * radius) return true;
  }
  return false;
}

// The shipped demos play to their end in both languages, every balloon with a text of
// its language, and change the photo where they press the button: around the pressed
// points, within the brush size, and nowhere else.
TEST_F(DemoScriptingTest, TheShippedDemosChangeThePhotoWhereTheyPress) {
  const QStringList files = TZelDemonstrationModule::ListDemoFiles(ImagesFolder());
  ASSERT_GE(files.size(), 2);
  for (const QString& file : files) {
    SCOPED_TRACE(file.toStdString());
    TZelDemoScript script;
    ASSERT_TRUE(script.LoadFromFile(file));
    EXPECT_TRUE(QFileInfo(ImagesFolder() + script.DecodeFileName(script.GetInfoValue("Image"))).isFile());
    const TPresses presses = PressesOf(script);
    ASSERT_FALSE(presses.strokes.empty());
    ASSERT_GT(presses.size, 0);
    QStringList texts[2];
    for (const uint16_t langId : {1033, 1031}) {
      SetLanguage(langId);
      errors_.clear();
      QStringList& shown = texts[langId == 1031 ? 1 : 0];
      ASSERT_TRUE(Play(script, [&] {
        const auto* balloon = dynamic_cast<TZelDemoScriptBalloonAction*>(Player().GetCurrentAction());
        if (balloon != nullptr && (shown.isEmpty() || shown.back() != balloon->GetText())) {
          shown.append(balloon->GetText());
        }
      }));
      EXPECT_TRUE(errors_.isEmpty()) << errors_.join(" ").toStdString();
      EXPECT_FALSE(shown.isEmpty());
      EXPECT_FALSE(shown.contains(QString())) << langId;
    }
    EXPECT_EQ(texts[0].size(), texts[1].size());
    for (int i = 0; i < std::min(texts[0].size(), texts[1].size()); ++i) EXPECT_NE(texts[0][i], texts[1][i]);

    TZelGraphicsDocument* document = GraphicsEditor->GetCurrentDocument();
    ASSERT_NE(document, nullptr);
    const QImage after = quilltest::PicturePixels(document->GetCurrentPixels());
    const QImage before = quilltest::PicturePixels(document->GetOriginalPixels());
    int changed = 0;
    int changedAtFirst = 0;
    int astray = 0;
    for (int y = 0; y < after.height(); ++y) {
      for (int x = 0; x < after.width(); ++x) {
        if (after.pixel(x, y) == before.pixel(x, y)) continue;
        ++changed;
        changedAtFirst += NearPath(presses.strokes.front(), x, y, presses.size) ? 1 : 0;
        astray += std::any_of(presses.strokes.begin(), presses.strokes.end(), [&](const auto& stroke) {
          return NearPath(stroke, x, y, presses.size);
        }) ? 0 : 1;
      }
    }
    EXPECT_GT(changed, 0);
    EXPECT_GT(changedAtFirst, 0);
    EXPECT_EQ(astray, 0) << "of " << changed << " changed pixels";
  }
}

}  // namespace

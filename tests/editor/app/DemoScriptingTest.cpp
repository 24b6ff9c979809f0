// Demos in the whole program: every command and target that the editor and the tools
// register answers a script line, the unknown ones give the player's errors; a stroke
// recorded through the pointer driver plays back to the same pixels; the shipped demos
// run to their end and change the photo. The program plays on a clock the test moves.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

#include "EditorTesting.h"
#include "MainForm.h"
#include "Module.h"
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
    MainForm->resize(1000, 800);
    MainForm->show();
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
  bool Play(const TZelDemoScript& script) {
    if (!DemonstrationModule->PlayScript(script)) return false;
    Player().GetThread().Stop();
    for (int i = 0; i < 20000 && Player().IsPlaying(); ++i) {
      now_ += 20;
      Player().Step();
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

// The shipped demos play to their end and change the photo they open.
TEST_F(DemoScriptingTest, TheShippedDemosRunToTheEndAndChangeThePhoto) {
  const QStringList files = TZelDemonstrationModule::ListDemoFiles(ImagesFolder());
  ASSERT_GE(files.size(), 2);
  for (const QString& file : files) {
    TZelDemoScript script;
    ASSERT_TRUE(script.LoadFromFile(file));
    errors_.clear();
    ASSERT_TRUE(Play(script)) << file.toStdString();
    EXPECT_TRUE(errors_.isEmpty()) << file.toStdString() << ": " << errors_.join(" ").toStdString();
    TZelGraphicsDocument* document = GraphicsEditor->GetCurrentDocument();
    ASSERT_NE(document, nullptr) << file.toStdString();
    EXPECT_NE(quilltest::PicturePixels(document->GetCurrentPixels()),
              quilltest::PicturePixels(document->GetOriginalPixels()))
        << file.toStdString();
  }
}

}  // namespace

// The brightness and contrast tool on the sample photo: previews that never compound,
// OK as one exact undo step, Cancel, a save with a preview open committing it first,
// plug-in OK writing it back, the automatic correction, its script commands and the
// guards of its entry points.

#include <gtest/gtest.h>

#include <QSlider>
#include <QTemporaryDir>

#include <filesystem>

#include "EditorTesting.h"
#include "ExchangeImage.h"
#include "Module.h"
#include "ZelBrightnessContrastTool.h"
#include "ZelProperties.h"
#include "ZelToolPanelModule.h"

namespace quilltest {
namespace {

class BrightnessContrastToolTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    ZelApplication->CreateComponent(ToolPanelModule);
    tool_ = ZelApplication->NewComponent<TZelBrightnessContrastTool>();
    tool_->Initialize();
    other_ = ZelApplication->NewComponent<InvertTool>();
    tool_->RecordingStarted(&recorder_);
  }
  void TearDown() override {
    EditorTest::TearDown();
    ToolPanelModule = nullptr;
  }

  TZelGraphicsDocument* OpenPhoto() {
    const QImage photo(QStringLiteral(QUILL_IMAGES_DIR "/astronaut.png"));
    EXPECT_FALSE(photo.isNull());
    return Open(QStringLiteral("/photos/astronaut.png"), photo);
  }
  QImage Live(TZelGraphicsDocument* document) const {
    return PicturePixels(document->GetCurrentPixels());
  }
  void Command(const QString& word, int32_t value) {
    TZelProperties params;
    params.SetInteger(0, value);
    bool handled = false;
    tool_->ExecuteCommand(nullptr, QStringLiteral("BRIGHTNESSCONTRAST") + word, handled, &params);
    EXPECT_TRUE(handled);
  }

  TZelBrightnessContrastTool* tool_ = nullptr;
  InvertTool* other_ = nullptr;
  RecordingRecorder recorder_;
};

TEST_F(BrightnessContrastToolTest, PreviewsNeverCompoundAndOkIsOneExactUndoStep) {
  TZelGraphicsDocument* document = OpenPhoto();
  ASSERT_NE(document, nullptr);
  tool_->Select();
  const QImage before = Live(document);

  Command(QStringLiteral("BRIGHTNESS"), 40);
  Command(QStringLiteral("BRIGHTNESS"), 127);
  // From the committed image, not from the previous preview: level + 127, clamped.
  QImage after = Live(document);
  for (int y = 0; y < after.height(); y += 37) {
    for (int x = 0; x < after.width(); x += 41) {
      for (int c = 0; c < 3; ++c) {
        const int level = before.constScanLine(y)[3 * x + c];
        ASSERT_EQ(after.constScanLine(y)[3 * x + c], std::min(255, level + 127));
      }
    }
  }
  // A script value beyond the slider's range is clamped before the slider moves.
  Command(QStringLiteral("CONTRAST"), -1000);
  EXPECT_EQ(tool_->Contrast, -127);
  EXPECT_EQ(tool_->Frame->ContrastTrackBar->value(), -127);
  // The same value again does nothing and records nothing.
  recorder_.lines.clear();
  Command(QStringLiteral("CONTRAST"), -127);
  EXPECT_TRUE(recorder_.lines.isEmpty());
  EXPECT_EQ(document->GetHistory().GetCount(), 0);

  after = Live(document);
  recorder_.lines.clear();
  bool handled = false;
  tool_->ExecuteCommand(nullptr, QStringLiteral("BRIGHTNESSCONTRASTPERFORM"), handled, nullptr);
  EXPECT_EQ(recorder_.lines, (QStringList{"MouseCurvedMove BrightnessContrastPerform",
                                          "BrightnessContrastPerform"}));
  EXPECT_EQ(tool_->Brightness, 0);
  EXPECT_EQ(tool_->Frame->BrightnessTrackBar->value(), 0);
  EXPECT_FALSE(document->Running);
  ASSERT_EQ(document->GetHistory().GetCount(), 1);
  EXPECT_EQ(Live(document), after);
  editor_->UndoClick();
  EXPECT_EQ(Live(document), before);
  editor_->RedoClick();
  EXPECT_EQ(Live(document), after);
}

TEST_F(BrightnessContrastToolTest, CancelRestoresTheExactImageAndLeavesNoStep) {
  TZelGraphicsDocument* document = OpenPhoto();
  ASSERT_NE(document, nullptr);
  tool_->Select();
  const QImage before = Live(document);
  tool_->SetBrightness(-30);
  tool_->SetContrast(60);
  tool_->SetBrightness(12);
  ASSERT_NE(Live(document), before);
  tool_->Frame->CancelButtonClick();
  EXPECT_EQ(Live(document), before);
  EXPECT_EQ(PicturePixels(document->CommittedCopy), before);
  EXPECT_EQ(document->GetHistory().GetCount(), 0);
  EXPECT_EQ(tool_->Contrast, 0);
  EXPECT_EQ(tool_->Frame->ContrastTrackBar->value(), 0);
}

// A save with a preview open writes what the window shows: the preview, committed
// first as one undo step. Cancel then has nothing to take back; only an undo makes
// closing ask.
TEST_F(BrightnessContrastToolTest, SavingWithAPreviewOpenCommitsItAndSavesWhatTheWindowShows) {
  TZelGraphicsDocument* document = OpenPhoto();
  ASSERT_NE(document, nullptr);
  tool_->Select();
  const QImage before = Live(document);
  tool_->SetBrightness(40);
  tool_->SetContrast(-20);
  const QImage preview = Live(document);
  ASSERT_NE(preview, before);

  const QTemporaryDir scratch;
  EXPECT_EQ(SaveAsPng(scratch.filePath(QStringLiteral("brighter.png"))), preview);
  EXPECT_FALSE(tool_->OperationRunning());
  EXPECT_EQ(tool_->Brightness, 0);
  EXPECT_EQ(tool_->Frame->ContrastTrackBar->value(), 0);
  EXPECT_EQ(document->GetHistory().GetCount(), 1);
  EXPECT_TRUE(document->IsSaved());
  tool_->Frame->CancelButtonClick();
  EXPECT_EQ(Live(document), preview);
  EXPECT_TRUE(document->IsSaved());
  ExpectClosingAsksOnlyAwayFromTheSave(before, preview);
}

// Plug-in mode's OK writes the image as it stands, an open preview included, back into
// the exchange file for the host, and the program ends.
TEST_F(BrightnessContrastToolTest, PluginOkWritesTheOpenPreviewBackToTheHost) {
  const QTemporaryDir scratch;
  const std::filesystem::path exchange = scratch.filePath(QStringLiteral("PSPabc.tmp")).toStdString();
  TZelGraphicsDocument* photo = Open(QStringLiteral("/photos/a.png"), MakePicture(60, 40));
  ASSERT_NE(photo, nullptr);
  ASSERT_TRUE(quill::SaveExchangeImage(exchange, photo->CurrentImage));
  editor_->realFormats = true;
  TZelDocument* document = nullptr;
  ASSERT_TRUE(editor_->OpenFile(QString::fromStdString(exchange.string()), document, false));
  ASSERT_TRUE(editor_->PluginMode);
  const QImage opened = Live(static_cast<TZelGraphicsDocument*>(document));
  tool_->Select();
  tool_->SetBrightness(40);
  const QImage preview = Live(static_cast<TZelGraphicsDocument*>(document));
  ASSERT_NE(preview, opened);

  editor_->OkButtonClick();
  EXPECT_EQ(quill::ExitCode, 0);
  EXPECT_EQ(editor_->GetDocumentCount(), 0);
  TZelLTBitmap back;
  quill::TImageMetadata metadata;
  ASSERT_TRUE(quill::LoadExchangeImage(exchange, back, metadata));
  EXPECT_EQ(PicturePixels(back.GetPixels()), preview);
  quill::ExitCode = 0;
}

TEST_F(BrightnessContrastToolTest, AutoCorrectionOfAFlatImageLeavesItAsItIs) {
  QImage grey(40, 30, QImage::Format_BGR888);
  grey.fill(QColor(90, 90, 90));
  TZelGraphicsDocument* document = Open(QStringLiteral("/photos/grey.png"), grey);
  ASSERT_NE(document, nullptr);
  tool_->Select();
  tool_->Frame->AutoCorrectionButtonClick();  // options hidden: committed at once
  EXPECT_EQ(Live(document), grey.convertToFormat(QImage::Format_BGR888));
  EXPECT_EQ(tool_->Brightness, 0);
  EXPECT_EQ(tool_->Contrast, 0);
  EXPECT_FALSE(document->Running);
  EXPECT_EQ(recorder_.lines.back(), "BrightnessContrastAutoCorrection");
}

TEST_F(BrightnessContrastToolTest, AnotherToolsOperationIsCommittedBeforeThisToolsBegins) {
  TZelGraphicsDocument* document = Open(QStringLiteral("/photos/a.png"), MakePicture(60, 40));
  ASSERT_NE(document, nullptr);
  const QImage start = Live(document);
  ASSERT_TRUE(other_->BeginOperation(View()));
  other_->InvertRect({0, 0, 10, 10});
  const QImage inverted = Live(document);
  tool_->Select();
  tool_->SetBrightness(50);
  EXPECT_EQ(document->RunningTool, tool_);
  tool_->Frame->OkButtonClick();
  ASSERT_EQ(document->GetHistory().GetCount(), 2);
  editor_->UndoClick();
  EXPECT_EQ(Live(document), inverted);
  editor_->UndoClick();
  EXPECT_EQ(Live(document), start);
}

TEST_F(BrightnessContrastToolTest, ScriptCommandsDoNothingWithoutADocument) {
  Command(QStringLiteral("BRIGHTNESS"), 60);
  Command(QStringLiteral("AUTOCORRECTION"), 0);
  Command(QStringLiteral("PERFORM"), 0);
  EXPECT_EQ(tool_->Brightness, 0);
  EXPECT_EQ(tool_->Frame->BrightnessTrackBar->value(), 0);
}

// Through the script path: the levels round halves to even, text keeps the level,
// and the button and every control of the frame are found as targets.
TEST_F(BrightnessContrastToolTest, ScriptCommandsAndTargetsFollowTheArgumentRules) {
  ASSERT_NE(OpenPhoto(), nullptr);
  EXPECT_TRUE(RunScriptLine(*tool_, "BrightnessContrast"));
  RunScriptLine(*tool_, "BrightnessContrastBrightness 12.5");
  EXPECT_EQ(tool_->Brightness, 12);
  RunScriptLine(*tool_, "BrightnessContrastBrightness 13.5");
  EXPECT_EQ(tool_->Brightness, 14);
  RunScriptLine(*tool_, "BrightnessContrastBrightness brighter");
  EXPECT_EQ(tool_->Brightness, 14);
  RunScriptLine(*tool_, "BrightnessContrastContrast -2.5");
  EXPECT_EQ(tool_->Contrast, -2);
  EXPECT_EQ(tool_->Frame->ContrastTrackBar->value(), -2);

  for (const char* target : {"BrightnessContrast", "BrightnessContrastPerform", "BrightnessContrastCancel",
                             "BrightnessContrastBrightness", "BrightnessContrastContrast",
                             "BrightnessContrastAutoCorrection", "BrightnessContrastOptions"}) {
    EXPECT_TRUE(FindsScriptTarget(*tool_, target)) << target;
  }
  EXPECT_FALSE(FindsScriptTarget(*tool_, "BrightnessContrastOk"));
  EXPECT_FALSE(FindsScriptTarget(*tool_, "Brightness"));
}

}  // namespace
}  // namespace quilltest

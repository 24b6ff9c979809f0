// The text tool and its box: a bold German text drawn into a box on the sample photo
// and committed as one exact undo step, a save with a box open committing it first,
// mirroring, the blend in the inverted colour, the caps on the rendered text, a line
// far beyond them still filling the box, the box clipped at the image's edge, and the
// guards of the script commands. Text renders with DejaVu Sans.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include "EditorTesting.h"
#include "Module.h"
#include "ZelGraphicsView.h"
#include "ZelProperties.h"
#include "ZelTextMask.h"
#include "ZelTextTool.h"
#include "ZelTextToolControl.h"
#include "ZelToolPanelModule.h"

namespace quilltest {
namespace {

class TextToolTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    ZelApplication->CreateComponent(ToolPanelModule);
    tool_ = ZelApplication->NewComponent<TZelTextTool>();
    tool_->Initialize();
    tool_->RecordingStarted(&recorder_);
  }
  void TearDown() override {
    EditorTest::TearDown();
    ToolPanelModule = nullptr;
  }

  TZelGraphicsDocument* OpenAndSelect(const QImage& picture) {
    TZelGraphicsDocument* document = Open(QStringLiteral("/photos/p.png"), picture);
    if (document == nullptr) return nullptr;
    View()->SetZoom(1, 1);
    tool_->Select();
    return document;
  }
  quill::TPoint Device(int32_t x, int32_t y) const { return View()->GetMapMode().LogicalToDevice({x, y}); }
  // A left-button drag between two image points.
  void Drag(quill::TPoint from, quill::TPoint to) {
    View()->MouseDown(quill::mbLeft, quill::ssLeft, Device(from.X, from.Y));
    View()->MouseMove(quill::ssLeft, Device((from.X + to.X) / 2, (from.Y + to.Y) / 2));
    View()->MouseMove(quill::ssLeft, Device(to.X, to.Y));
    View()->MouseUp(quill::mbLeft, 0, Device(to.X, to.Y));
  }
  void Command(const QString& word, int32_t value) {
    TZelProperties params;
    params.SetInteger(0, value);
    bool handled = false;
    tool_->ExecuteCommand(nullptr, QStringLiteral("TEXT") + word, handled, &params);
    EXPECT_TRUE(handled);
  }
  QImage Live(TZelGraphicsDocument* document) const {
    return PicturePixels(document->GetCurrentPixels());
  }
  TZelTextToolControl* Box() const { return tool_->Control(); }

  TZelTextTool* tool_ = nullptr;
  RecordingRecorder recorder_;
};

TEST_F(TextToolTest, BoldTextOnThePhotoIsCommittedAsOneExactUndoStep) {
  const QImage photo(QStringLiteral(QUILL_IMAGES_DIR "/astronaut.png"));
  TZelGraphicsDocument* document = OpenAndSelect(photo);
  ASSERT_NE(document, nullptr);
  const QImage before = Live(document);
  Command(QStringLiteral("FONTBI"), TZelTextTool::kBold);
  Command(QStringLiteral("COLOR"), 0x0000FF);  // red, stored red-first
  tool_->Frame->TextMemo->setPlainText(QStringLiteral("Grüße aus\nMünchen"));
  EXPECT_EQ(recorder_.lines.filter("TextColor ").value(0), "TextColor 255");

  Drag({60, 80}, {380, 220});
  ASSERT_EQ(Box()->State, bsShown);
  const quill::TRect box{60, 80, 380, 220};
  EXPECT_EQ(Box()->TextBox, box);
  EXPECT_TRUE(editor_->ToolLocked);
  // The preview is in the live image, inside the box only, and pure red at the
  // letters' cores.
  const QImage preview = Live(document);
  int red = 0;
  for (int y = 0; y < preview.height(); ++y) {
    for (int x = 0; x < preview.width(); ++x) {
      const uint8_t* p = preview.constScanLine(y) + 3 * x;
      const uint8_t* q = before.constScanLine(y) + 3 * x;
      if (!box.Contains(x, y)) {
        ASSERT_TRUE(p[0] == q[0] && p[1] == q[1] && p[2] == q[2]) << x << "," << y;
      } else if (p[0] == 0 && p[1] == 0 && p[2] == 255) {
        ++red;
      }
    }
  }
  EXPECT_GT(red, 2000);

  View()->KeyDown(13, 0);  // Enter commits
  EXPECT_EQ(Box()->State, bsNone);
  EXPECT_FALSE(editor_->ToolLocked);
  ASSERT_EQ(document->GetHistory().GetCount(), 1);
  EXPECT_EQ(Live(document), preview);
  EXPECT_EQ(PicturePixels(document->CommittedCopy), preview);
  editor_->UndoClick();
  EXPECT_EQ(Live(document), before);
  editor_->RedoClick();
  EXPECT_EQ(Live(document), preview);
}

// A save with a text box open writes what the window shows: the text, committed first
// as one undo step, the box gone and the other tools free again. Esc then has nothing
// to remove; only an undo makes closing ask.
TEST_F(TextToolTest, SavingWithABoxOpenCommitsTheTextAndSavesWhatTheWindowShows) {
  const QImage photo(QStringLiteral(QUILL_IMAGES_DIR "/astronaut.png"));
  TZelGraphicsDocument* document = OpenAndSelect(photo);
  ASSERT_NE(document, nullptr);
  const QImage before = Live(document);
  tool_->Frame->TextMemo->setPlainText(QStringLiteral("Quillmere"));
  Drag({40, 50}, {300, 150});
  ASSERT_EQ(Box()->State, bsShown);
  const QImage preview = Live(document);
  ASSERT_NE(preview, before);

  const QTemporaryDir scratch;
  EXPECT_EQ(SaveAsPng(scratch.filePath(QStringLiteral("text.png"))), preview);
  EXPECT_EQ(Box()->State, bsNone);
  EXPECT_FALSE(editor_->ToolLocked);
  EXPECT_EQ(document->GetHistory().GetCount(), 1);
  EXPECT_TRUE(document->IsSaved());
  View()->KeyDown(quill::VK_ESCAPE, 0);
  EXPECT_EQ(Live(document), preview);
  EXPECT_TRUE(document->IsSaved());
  ExpectClosingAsksOnlyAwayFromTheSave(before, preview);
}

TEST_F(TextToolTest, ABoxDrawnUpAndLeftShowsTheTextMirroredAndARightClickRemovesIt) {
  QImage grey(200, 160, QImage::Format_BGR888);
  grey.fill(QColor(128, 128, 128));
  TZelGraphicsDocument* document = OpenAndSelect(grey);
  ASSERT_NE(document, nullptr);
  tool_->Frame->TextMemo->setPlainText(QStringLiteral("Ag"));
  Drag({40, 60}, {100, 100});
  EXPECT_FALSE(tool_->MirrorX);
  const QImage plain = Live(document).copy(40, 60, 60, 40);
  View()->MouseUp(quill::mbRight, 0, Device(150, 150));
  EXPECT_EQ(Box()->State, bsNone);
  EXPECT_EQ(Live(document), grey);
  EXPECT_EQ(document->GetHistory().GetCount(), 0);

  Drag({100, 100}, {40, 60});
  EXPECT_EQ(Box()->TextBox, (quill::TRect{40, 60, 100, 100}));
  EXPECT_TRUE(tool_->MirrorX);
  EXPECT_TRUE(tool_->MirrorY);
  EXPECT_EQ(Live(document).copy(40, 60, 60, 40), plain.mirrored(true, true));
}

// The handles are hit and painted around the same points: the right and bottom ones one
// pixel inside the box, each a 9 x 9 inverted outline.
TEST_F(TextToolTest, TheHandlesAreHitAndPaintedAroundTheirPoints) {
  const quill::TRect r{0, 0, 100, 100};
  EXPECT_EQ(TextBoxHitTest(r, {103, 103}), bhBottomRight);
  EXPECT_EQ(TextBoxHitTest(r, {104, 103}), bhNone);
  EXPECT_EQ(TextBoxHitTest(r, {95, 49}), bhRight);
  EXPECT_EQ(TextBoxHitTest(r, {94, 49}), bhInside);
  // Where two handles' boxes overlap, the lower code wins.
  EXPECT_EQ(TextBoxHitTest({0, 0, 6, 6}, {3, 0}), bhTop);

  const QColor colour(200, 100, 50);
  const QColor inverted(55, 155, 205);
  QImage picture(120, 100, QImage::Format_BGR888);
  picture.fill(colour);
  ASSERT_NE(OpenAndSelect(picture), nullptr);
  Drag({20, 20}, {80, 70});
  ASSERT_EQ(Box()->State, bsShown);
  const quill::TRect d = View()->GetMapMode().LogicalToDeviceRect(Box()->TextBox);
  const QImage shown = View()->grab().toImage();
  for (int32_t code = bhTop; code <= bhTopLeft; ++code) {
    SCOPED_TRACE(code);
    const quill::TRect outer = TextBoxHandleBox(TextBoxHandlePoint(d, code), 0);
    const quill::TRect inner = TextBoxHandleBox(TextBoxHandlePoint(d, code), 7);
    EXPECT_EQ(Box()->HitTest({outer.Left, outer.Top}), code);
    EXPECT_EQ(shown.pixelColor(outer.Left, outer.Top), inverted);
    EXPECT_EQ(shown.pixelColor(outer.Right - 1, outer.Bottom - 1), inverted);
    EXPECT_EQ(shown.pixelColor(inner.Left, inner.Top), colour);
    EXPECT_EQ(shown.pixelColor(inner.Right - 1, inner.Bottom - 1), colour);
  }
}

TEST_F(TextToolTest, TheInvertedColourBlendsOnlyWhereBoxImageAndMaskMeet) {
  QImage picture(20, 10, QImage::Format_BGR888);
  picture.fill(QColor(10, 200, 128));
  TZelGraphicsDocument* document = OpenAndSelect(picture);
  ASSERT_NE(document, nullptr);
  tool_->Frame->TextMemo->setPlainText(QStringLiteral("x"));
  Drag({0, 0}, {8, 8});
  // A full mask smaller than the box: nothing is read beyond it.
  tool_->BoxBitmap = QImage(4, 3, QImage::Format_Grayscale8);
  tool_->BoxBitmap.fill(255);
  Command(QStringLiteral("FONTCOLOR"), 7);  // clamped to 1, the inverted colour
  EXPECT_EQ(tool_->ColorMode, 1);
  QImage live = Live(document);
  EXPECT_EQ(live.pixelColor(3, 2), QColor(245, 55, 127));
  EXPECT_EQ(live.pixelColor(4, 2), QColor(10, 200, 128));
  EXPECT_EQ(live.pixelColor(3, 3), QColor(10, 200, 128));
  Command(QStringLiteral("MAXINVERSE"), 1);
  live = Live(document);
  EXPECT_EQ(live.pixelColor(0, 0), QColor(255, 0, 0));
}

TEST_F(TextToolTest, SizesAreClampedAndHugeTextIsRenderedWithinTheCaps) {
  QImage picture(300, 200, QImage::Format_BGR888);
  picture.fill(Qt::white);
  TZelGraphicsDocument* document = OpenAndSelect(picture);
  ASSERT_NE(document, nullptr);
  Command(QStringLiteral("FONTSIZE"), 1000);
  EXPECT_EQ(tool_->FontSize, 400);
  EXPECT_EQ(recorder_.lines.filter("TextFontSize ").value(0), "TextFontSize 400");
  QStringList lines;
  for (int i = 0; i < 2; ++i) lines << QString(16, QLatin1Char('W'));
  tool_->Frame->TextMemo->setPlainText(lines.join(QLatin1Char('\n')));
  Drag({10, 10}, {290, 190});
  ASSERT_FALSE(tool_->TextBitmap.isNull());
  EXPECT_LE(tool_->TextBitmap.width(), quill::kMaxTextSide);
  EXPECT_LE(tool_->TextBitmap.height(), quill::kMaxTextSide);
  EXPECT_LE(int64_t{tool_->TextBitmap.width()} * tool_->TextBitmap.height(),
            quill::kMaxTextPixels);
  EXPECT_NE(Live(document), picture.convertToFormat(QImage::Format_BGR888));
}

TEST_F(TextToolTest, ALineOfAHundredThousandCharactersStillFillsTheBox) {
  QImage picture(300, 200, QImage::Format_BGR888);
  picture.fill(Qt::white);
  TZelGraphicsDocument* document = OpenAndSelect(picture);
  ASSERT_NE(document, nullptr);
  QString line;
  while (line.size() < 100000) line += QStringLiteral("Quillmere ");
  tool_->Frame->TextMemo->setPlainText(line);
  Drag({20, 40}, {280, 120});
  ASSERT_FALSE(tool_->TextBitmap.isNull());
  EXPECT_LE(tool_->TextBitmap.width(), quill::kMaxTextSide);
  // Every column of the box shows the text, shrunk into it: a grey band.
  const QImage live = Live(document);
  for (int x = 20; x < 280; ++x) {
    int inked = 0;
    for (int y = 40; y < 120; ++y) inked += live.pixelColor(x, y) != Qt::white ? 1 : 0;
    ASSERT_GT(inked, 20) << "column " << x;
  }
}

TEST_F(TextToolTest, ABoxMovedPastTheEdgeCommitsOnlyThePartOverTheImage) {
  QImage picture(120, 80, QImage::Format_BGR888);
  picture.fill(Qt::white);
  TZelGraphicsDocument* document = OpenAndSelect(picture);
  ASSERT_NE(document, nullptr);
  tool_->Frame->TextMemo->setPlainText(QStringLiteral("Edge"));
  Drag({10, 10}, {50, 30});
  Drag({30, 20}, {0, 20});  // the whole box 30 pixels to the left
  EXPECT_EQ(Box()->TextBox, (quill::TRect{-20, 10, 20, 30}));
  View()->MouseUp(quill::mbLeft, 0, Device(100, 70));  // a click outside commits
  ASSERT_EQ(document->GetHistory().GetCount(), 1);
  auto* state = dynamic_cast<TZelGraphicsCommandState*>(document->GetHistory().GetUndoState());
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->Rect, (quill::TRect{0, 10, 20, 30}));
  EXPECT_FALSE(document->IsSaved());
}

// Through the script path: integers round halves to even, a Boolean is false for
// text and true for any number but 0, the script's True (-1) included; every
// target of the frame and the button is found while the tool is selected.
TEST_F(TextToolTest, ScriptCommandsAndTargetsFollowTheArgumentRules) {
  ASSERT_NE(OpenAndSelect(MakePicture(120, 90)), nullptr);
  EXPECT_TRUE(RunScriptLine(*tool_, "TextFontSize 40.5"));
  EXPECT_EQ(tool_->FontSize, 40);
  RunScriptLine(*tool_, "TextFontSize 41.5");
  EXPECT_EQ(tool_->FontSize, 42);
  RunScriptLine(*tool_, "TextFontSize big");  // text keeps the size
  EXPECT_EQ(tool_->FontSize, 42);
  RunScriptLine(*tool_, "TextFontBI 2.5");
  EXPECT_EQ(tool_->Style, 2);
  RunScriptLine(*tool_, "TextFontColor 1");
  RunScriptLine(*tool_, "TextFontColor 0.5");
  EXPECT_EQ(tool_->ColorMode, 0);

  RunScriptLine(*tool_, "TextMaxInverse true");
  EXPECT_TRUE(tool_->MaxInverse);
  RunScriptLine(*tool_, "TextMaxInverse abc");
  EXPECT_FALSE(tool_->MaxInverse);
  RunScriptLine(*tool_, "TextMaxInverse 0.4");
  EXPECT_TRUE(tool_->MaxInverse);
  RunScriptLine(*tool_, "TextMaxInverse 0");
  EXPECT_FALSE(tool_->MaxInverse);
  RunScriptLine(*tool_, "TextMaxInverse -1");
  EXPECT_TRUE(tool_->MaxInverse);
  EXPECT_TRUE(tool_->Frame->MaxInverseTBXCheckBox->isChecked());

  for (const char* target : {"Text", "TextMemo", "TextFontColor", "TextColor", "TextMaxInverse", "TextFontSize",
                             "TextFontBI"}) {
    EXPECT_TRUE(FindsScriptTarget(*tool_, target)) << target;
  }
  EXPECT_FALSE(FindsScriptTarget(*tool_, "TextNowhere"));
  EXPECT_FALSE(FindsScriptTarget(*tool_, "12"));
}

TEST_F(TextToolTest, ScriptCommandsDoNothingWithoutADocument) {
  Command(QStringLiteral("FONTSIZE"), 100);
  Command(QStringLiteral("FONTBI"), 5);
  EXPECT_EQ(tool_->FontSize, 32);
  EXPECT_EQ(tool_->Style, 0);
}

}  // namespace
}  // namespace quilltest

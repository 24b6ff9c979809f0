// The Wire Eraser in the running editor: a stroke over the sample photo's cable painted
// through the demo player's pointer driver gives the wire-repair driver's very pixels
// and one undo record of the stroke's rectangle; the right button measures; Trial Mode
// and Cumulative Effect off; every option through its command and its control.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QSlider>
#include <QWheelEvent>

#include <vector>

#include "DabShapes.h"
#include "Module.h"
#include "ToolTesting.h"
#include "WireEraserStroke.h"
#include "ZelWireEraserTool.h"

namespace quilltest {
namespace {

struct SampleDab {
  quill::TPoint Centre;
  int32_t Size;
};

// The dabs of the sample's cable as the wire-repair driver places them.
std::vector<SampleDab> SampleDabs() {
  std::vector<SampleDab> dabs;
  QFile file(QStringLiteral(QUILL_IMAGES_DIR "/astronaut-wire.dabs"));
  if (!file.open(QIODevice::ReadOnly)) return dabs;
  while (!file.atEnd()) {
    const QString line = QString::fromUtf8(file.readLine()).trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
    const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    dabs.push_back({quill::ImagePixelAt(fields[1].toDouble(), fields[2].toDouble()),
                    quill::WireEraserSize(fields[3].toDouble())});
  }
  return dabs;
}

// Black on the left, white from column 60 on: a flat area each side, a hard edge between.
QImage EdgePicture() {
  QImage picture(120, 80, QImage::Format_BGR888);
  picture.fill(Qt::black);
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 60; x < picture.width(); ++x) picture.setPixelColor(x, y, Qt::white);
  }
  return picture;
}

class WireEraserToolTest : public BrushToolTest {
 protected:
  TZelWireEraserTool* tool_ = nullptr;
  void SetUp() override {
    BrushToolTest::SetUp();
    tool_ = WireEraserTool;
  }

  // A left-button stroke through the pointer driver, one mouse event per point.
  void Stroke(const std::vector<quill::TPoint>& points, uint32_t down = MOUSEEVENTF_LEFTDOWN,
              uint32_t up = MOUSEEVENTF_LEFTUP) {
    MoveTo(points.front());
    Buttons(down);
    for (size_t i = 1; i < points.size(); ++i) MoveTo(points[i]);
    Buttons(up);
  }
};

TEST_F(WireEraserToolTest, AStrokeOverTheSampleCableGivesTheDriversPixelsAndOneRecordOfItsRectangle) {
  ASSERT_EQ(editor_->CurrentTool, tool_);  // current at start
  ASSERT_NE(OpenSample(), nullptr);
  const std::vector<SampleDab> dabs = SampleDabs();
  ASSERT_GT(dabs.size(), 50u);
  tool_->SetSize(dabs.front().Size);
  std::vector<quill::TPoint> points;
  quill::TRect changed;
  for (const SampleDab& dab : dabs) {
    ASSERT_EQ(dab.Size, tool_->Size);
    points.push_back(dab.Centre);
    changed = quill::UnionRect(changed, quill::IntersectRect(DabRect(dab.Centre, dab.Size), {0, 0, 512, 512}));
  }
  const QImage before = Live();
  Stroke(points);

  const QString repaired = scratch_.filePath(QStringLiteral("repaired.png"));
  RunDriver(QStringLiteral(QUILL_WIRE_REPAIR),
            {QStringLiteral(QUILL_IMAGES_DIR "/astronaut-wire.png"),
             QStringLiteral(QUILL_IMAGES_DIR "/astronaut-wire.dabs"), repaired});
  const QImage expected = ReadPicture(repaired);
  ASSERT_FALSE(expected.isNull());
  ASSERT_NE(expected, before);
  EXPECT_EQ(Live(), expected);

  // One record: the union of the dabs' rectangles, before and after, nothing more.
  TZelCommandHistoryList& history = document_->GetHistory();
  ASSERT_EQ(history.GetCount(), 1);
  auto* state = dynamic_cast<TZelGraphicsCommandState*>(history.GetUndoState());
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->Rect, changed);
  const int64_t stride = (changed.Width() * 3 + 3) / 4 * 4;
  EXPECT_EQ(state->GetSize(), static_cast<int64_t>(sizeof(*state)) + 2 * stride * changed.Height());
  editor_->UndoClick();
  EXPECT_EQ(Live(), before);
  editor_->RedoClick();
  EXPECT_EQ(Live(), expected);
}

TEST_F(WireEraserToolTest, TheRightButtonMeasuresAFlatAreaAndAHardEdgeAndKeepsItsEqualRecord) {
  ASSERT_NE(OpenAtActualSize(EdgePicture()), nullptr);
  const QImage before = Live();
  Stroke({{20, 40}, {25, 40}}, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
  EXPECT_EQ(tool_->BackgroundNoise, 0);
  EXPECT_EQ(tool_->Frame->BackgroundNoiseTrackBar->value(), 0);
  EXPECT_EQ(Live(), before);
  // The measuring stroke leaves its record, before and after equal.
  EXPECT_EQ(document_->GetHistory().GetCount(), 1);
  Stroke({{60, 40}}, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
  EXPECT_EQ(tool_->BackgroundNoise, 100);
  EXPECT_EQ(Live(), before);
  EXPECT_EQ(document_->GetHistory().GetCount(), 2);
}

TEST_F(WireEraserToolTest, TrialModeKeepsOnlyTheLastDabAndCumulativeOffRepairsFromTheOpenedImage) {
  ASSERT_NE(OpenSample(), nullptr);
  const std::vector<SampleDab> dabs = SampleDabs();
  const quill::TPoint a = dabs[5].Centre, b = dabs[20].Centre, c = dabs[35].Centre;
  const QImage before = Live();

  Command(tool_, QStringLiteral("WIREERASERTRIALMODE"), 1);
  EXPECT_TRUE(tool_->TrialMode);
  Stroke({a, b, c});
  const QImage trial = Live();
  const quill::TRect last = DabRect(c, tool_->Size);
  bool lastChanged = false;
  for (int y = 0; y < before.height(); ++y) {
    for (int x = 0; x < before.width(); ++x) {
      if (last.Contains(x, y)) {
        lastChanged |= trial.pixel(x, y) != before.pixel(x, y);
      } else {
        ASSERT_EQ(trial.pixel(x, y), before.pixel(x, y)) << x << "," << y;
      }
    }
  }
  EXPECT_TRUE(lastChanged);
  editor_->UndoClick();
  Command(tool_, QStringLiteral("WIREERASERTRIALMODE"), 0);

  // Cumulative Effect off: a second stroke over the first one's repair gives the
  // same pixels, as both read the image as opened.
  Command(tool_, QStringLiteral("WIREERASERCUMULATIVEEFFECT"), 0);
  EXPECT_FALSE(tool_->CumulativeEffect);
  Stroke({a, b});
  const QImage first = Live();
  ASSERT_NE(first, before);
  Stroke({a, b});
  EXPECT_EQ(Live(), first);
  // With it on the second stroke repairs the repair.
  Command(tool_, QStringLiteral("WIREERASERCUMULATIVEEFFECT"), 1);
  Stroke({a, b});
  EXPECT_NE(Live(), first);
}

TEST_F(WireEraserToolTest, EveryOptionFollowsItsCommandAndItsControlAndIsRecorded) {
  ASSERT_NE(OpenSample(), nullptr);
  EXPECT_EQ(tool_->Size, 25);
  EXPECT_EQ(tool_->BackgroundNoise, 6);
  EXPECT_EQ(tool_->Frame->SizeTrackBar->minimum(), 5);
  EXPECT_EQ(tool_->Frame->SizeTrackBar->maximum(), 50);
  editor_->Recorder = &recorder_;
  tool_->RecordingStarted(&recorder_);

  Command(tool_, QStringLiteral("WIREERASERBACKGROUNDNOISE"), 40);
  EXPECT_EQ(tool_->BackgroundNoise, 40);
  EXPECT_EQ(tool_->Frame->BackgroundNoiseTrackBar->value(), 40);
  // An argument of the wrong kind is ignored; a number out of range is limited.
  Command(tool_, QStringLiteral("WIREERASERBACKGROUNDNOISE"), "many");
  Command(tool_, QStringLiteral("WIREERASERONLYSHOW"), "yes");
  EXPECT_EQ(tool_->BackgroundNoise, 40);
  EXPECT_FALSE(tool_->OnlyShow);
  Command(tool_, QStringLiteral("WIREERASERBACKGROUNDNOISE"), 400);
  EXPECT_EQ(tool_->BackgroundNoise, 100);
  tool_->Frame->BackgroundNoiseTrackBar->setValue(12);
  EXPECT_EQ(tool_->BackgroundNoise, 12);
  Command(tool_, QStringLiteral("WIREERASERSIZE"), 30);
  EXPECT_EQ(tool_->Size, 30);
  EXPECT_EQ(tool_->DabMask.Width(), 31);
  Command(tool_, QStringLiteral("WIREERASERSIZE"), 4);  // below the minimum: ignored
  tool_->Frame->SizeTrackBar->setValue(20);
  EXPECT_EQ(tool_->Size, 20);
  Command(tool_, QStringLiteral("WIREERASERONLYSHOW"), 1);
  EXPECT_TRUE(tool_->Frame->OnlyShowCheckBox->isChecked());
  tool_->Frame->TrialModeCheckBox->setChecked(true);
  EXPECT_TRUE(tool_->TrialMode);
  tool_->Frame->CumulativeEffectCheckBox->setChecked(false);
  EXPECT_FALSE(tool_->CumulativeEffect);
  EXPECT_EQ(recorder_.lines,
            (QStringList{"WireEraserBackgroundNoise 40", "WireEraserBackgroundNoise 100", "WireEraserBackgroundNoise 12",
                         "WireEraserSize 30", "WireEraserSize 20", "WireEraserOnlyShow 1",
                         "WireEraserTrialMode 1", "WireEraserCumulativeEffect 0"}));

  // A stroke's lines: down, the moves, up.
  tool_->SetTrialMode(false);
  recorder_.lines.clear();
  Stroke({{300, 10}, {303, 14}});
  EXPECT_EQ(recorder_.lines, (QStringList{"MouseCurvedMove Image, 300, 10", "MouseDown Image, 300, 10",
                                          "MouseTo Image, 303, 14", "MouseUp Image, 303, 14",
                                          "Pause 0.5"}));
  tool_->RecordingStopped();
  editor_->Recorder = nullptr;
}

// Through the script path: the brush tools' commands take a number, halves rounded
// to even, and ignore a text argument; every target of the frame is found.
TEST_F(WireEraserToolTest, ScriptCommandsIgnoreTextAndRoundHalvesToEven) {
  ASSERT_NE(OpenSample(), nullptr);
  RunScriptLine(*tool_, "WireEraserBackgroundNoise 12.5");
  EXPECT_EQ(tool_->BackgroundNoise, 12);
  RunScriptLine(*tool_, "WireEraserBackgroundNoise 13.5");
  EXPECT_EQ(tool_->BackgroundNoise, 14);
  RunScriptLine(*tool_, "WireEraserSize 30.5");
  EXPECT_EQ(tool_->Size, 30);
  RunScriptLine(*tool_, "WireEraserTrialMode true");
  EXPECT_TRUE(tool_->TrialMode);
  RunScriptLine(*tool_, "WireEraserTrialMode off");
  EXPECT_TRUE(tool_->TrialMode);
  RunScriptLine(*tool_, "WireEraserTrialMode 0");
  EXPECT_FALSE(tool_->TrialMode);
  RunScriptLine(*tool_, "WireEraserOnlyShow -1");
  EXPECT_TRUE(tool_->OnlyShow);
  RunScriptLine(*tool_, "WireEraserCumulativeEffect 0.25");
  EXPECT_TRUE(tool_->CumulativeEffect);

  for (const char* target : {"WireEraser", "WireEraserBackgroundNoise", "WireEraserTrialMode", "WireEraserSize"}) {
    EXPECT_TRUE(FindsScriptTarget(*tool_, target)) << target;
  }
  EXPECT_FALSE(FindsScriptTarget(*tool_, "WireEraserNoise"));
}

TEST_F(WireEraserToolTest, AWheelNotchIsOneStepAndSmallerDeltasAddUpToOne) {
  ASSERT_NE(OpenSample(), nullptr);
  MoveTo({100, 100});
  auto wheel = [this](int delta) {
    const QPointF at(View()->width() / 2.0, View()->height() / 2.0);
    QWheelEvent event(at, View()->mapToGlobal(at), {}, {0, delta}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(View(), &event);
  };
  wheel(240);
  EXPECT_EQ(tool_->Size, 26);
  wheel(-120);
  EXPECT_EQ(tool_->Size, 25);
  wheel(40);
  wheel(40);
  EXPECT_EQ(tool_->Size, 25);
  wheel(40);
  EXPECT_EQ(tool_->Size, 26);
  // A turn back starts counting afresh.
  wheel(60);
  wheel(-60);
  wheel(-60);
  EXPECT_EQ(tool_->Size, 25);
  // Not during a stroke.
  MoveTo({300, 10});
  Buttons(MOUSEEVENTF_LEFTDOWN);
  wheel(120);
  Buttons(MOUSEEVENTF_LEFTUP);
  EXPECT_EQ(tool_->Size, 25);
}

}  // namespace
}  // namespace quilltest

#include "ZelUndoBrushTool.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

#include "MainForm.h"
#include "ZelColor.h"
#include "ZelFlowToolbar.h"
#include "ZelGraphicsEditor.h"
#include "ZelLocalizer.h"
#include "ZelSDFReader.h"
#include "ZelSDFWriter.h"
#include "ZelStringIds.h"
#include "ZelToolPanelModule.h"
#include "ZelToolSupport.h"

namespace {

// String ids: the title and the button's caption and hint, two of the labels.
constexpr int32_t kTitleId = 2002;
constexpr int32_t kOpacityId = 2008;
constexpr int32_t kHardnessId = 2009;

// The settings node and its integers.
constexpr int32_t kNodeId = 1;
constexpr int32_t kSizeValue = 1;
constexpr int32_t kOpacityValue = 2;
constexpr int32_t kHardnessValue = 3;
constexpr int32_t kOptionsShownValue = 4;

// The dab preview: as wide as the tool panel allows, a third as high.
constexpr int kPreviewWidth = 240;
constexpr int kPreviewHeight = 80;

constexpr int32_t kFullHardness = 255;

QString Title() { return GetLocalizedString(kTitleId, QStringLiteral("Undo Brush")); }

QSlider* NewTrackBar(QWidget* parent) {
  auto* trackBar = new QSlider(Qt::Horizontal, parent);
  trackBar->setTickPosition(QSlider::TicksBelow);
  return trackBar;
}

QString LabelText(int32_t id, const char* fallback) {
  return GetLocalizedString(id, QString::fromLatin1(fallback)) + QLatin1Char(':');
}

}  // namespace

// ---- TZelUndoBrushFrame ----

TZelUndoBrushFrame::TZelUndoBrushFrame(TZelComponent* owner, QWidget* parent)
    : TZelFrame(owner, parent),
      TitleLabel(quill::NewTitleLabel(QString(), false, this)),
      PreviewAlignmentPanel(new QWidget(this)),
      PreviewPaintBox(new quill::TZelPaintBox(PreviewAlignmentPanel)),
      SizeLabel(new QLabel(this)),
      SizeTrackBar(NewTrackBar(this)),
      OpacityLabel(new QLabel(this)),
      OpacityTrackBar(NewTrackBar(this)),
      HardnessLabel(new QLabel(this)),
      HardnessTrackBar(NewTrackBar(this)),
      ShowOptions(new quill::TZelShowOptionsLink(this)) {

  PreviewPaintBox->setFixedSize(kPreviewWidth, kPreviewHeight);
  auto* previewLayout = new QHBoxLayout(PreviewAlignmentPanel);
  previewLayout->setContentsMargins(0, 0, 0, 0);
  previewLayout->addWidget(PreviewPaintBox, 0, Qt::AlignHCenter);

  auto* layout = new QVBoxLayout(this);
  quill::SetFrameMargins(layout);
  layout->addWidget(TitleLabel);
  for (QWidget* widget : {PreviewAlignmentPanel, static_cast<QWidget*>(SizeLabel),
                          static_cast<QWidget*>(SizeTrackBar), static_cast<QWidget*>(OpacityLabel),
                          static_cast<QWidget*>(OpacityTrackBar), static_cast<QWidget*>(HardnessLabel),
                          static_cast<QWidget*>(HardnessTrackBar)}) {
    layout->addWidget(widget);
  }
  layout->addWidget(ShowOptions, 0, Qt::AlignLeft);
  layout->addStretch();
}

// ---- TZelUndoBrushTool ----

const QUuid TZelUndoBrushTool::kSettingsGuid("{F4389003-82F6-42DE-8590-E63FF2CA7BF6}");

TZelUndoBrushTool::TZelUndoBrushTool(TZelComponent* owner)
    : TZelFramedTool(owner, Title(), QStringLiteral("UndoBrush")) {
  UseStrokeMask = true;
  SetSizeTrackBar(Frame->SizeTrackBar);
  SetOpacityTrackBar(Frame->OpacityTrackBar);
  SetHardnessTrackBar(Frame->HardnessTrackBar);
  SetPreviewBox(Frame->PreviewPaintBox);
  QObject::connect(Frame->ShowOptions, &QToolButton::clicked, &WidgetLinks,
                   [this] { SetOptionsShown(!OptionsShown); });
  SetHardness(kFullHardness);
  Name = QStringLiteral("UndoBrush");
  SetOptionsShown(false);
}

void TZelUndoBrushTool::Localize() {
  const QString title = Title();
  Button->setText(title);
  Button->setToolTip(title);
  Frame->TitleLabel->setText(title);
  Frame->SizeLabel->setText(LabelText(quill::kSizeText, "Size"));
  Frame->OpacityLabel->setText(LabelText(kOpacityId, "Opacity"));
  Frame->HardnessLabel->setText(LabelText(kHardnessId, "Hardness"));
  Frame->ShowOptions->SetShown(OptionsShown);
}

void TZelUndoBrushTool::LoadState(TZelSDFReader& reader) {
  TZelBrushTool::LoadState(reader);
  if (!reader.EnterGuidNode(kNodeId, kSettingsGuid)) return;
  int32_t value = 0;
  if (reader.ReadInteger(kSizeValue, value)) SetSize(value);
  if (reader.ReadInteger(kOpacityValue, value)) SetOpacity(value);
  if (reader.ReadInteger(kHardnessValue, value)) SetHardness(value);
  if (reader.ReadInteger(kOptionsShownValue, value)) SetOptionsShown(value != 0);
  reader.LeaveNode();
}

void TZelUndoBrushTool::SaveState(TZelSDFWriter& writer) {
  TZelBrushTool::SaveState(writer);
  writer.BeginGuidNode(kNodeId, kSettingsGuid);
  writer.WriteInteger(kSizeValue, Size);
  writer.WriteInteger(kOpacityValue, Opacity);
  writer.WriteInteger(kHardnessValue, Hardness);
  writer.WriteInteger(kOptionsShownValue, OptionsShown ? 1 : 0);
  writer.EndNode();
}

void TZelUndoBrushTool::UpdateControls() {
  const bool checked = GraphicsEditor != nullptr && GraphicsEditor->CurrentTool == this;
  const bool enabled = quill::ToolMayStart(*this);
  Button->setChecked(checked);
  Button->setEnabled(enabled);
  Frame->setEnabled(enabled && checked);
  Frame->SizeLabel->setText(LabelText(quill::kSizeText, "Size") + QLatin1Char(' ') + QString::number(Size));
}

void TZelUndoBrushTool::ExecuteCommand(TZelDemoPlayback* sender, const QString& command, bool& handled,
                                       const TZelProperties* params) {
  const QString name = Name.toUpper();
  if (command == name + QLatin1String("SHOWOPTIONS")) {
    SetOptionsShown(quill::ScriptBoolean(params, true));
    handled = true;
  } else if (command == name + QLatin1String("HIDEOPTIONS")) {
    SetOptionsShown(quill::ScriptBoolean(params, false));
    handled = true;
  } else {
    TZelBrushTool::ExecuteCommand(sender, command, handled, params);
  }
}

void TZelUndoBrushTool::GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found,
                                       quill::TPoint& point) {
  found = quill::FindToolTarget(params, Name, Button, {{"OPTIONS", Frame->ShowOptions}}, point);
  if (!found) TZelBrushTool::GetTargetPoint(sender, params, found, point);
}

void TZelUndoBrushTool::ProcessDab(const quill::TRect& rect) {
  const TZelPixelMask& mask = CurrentMask();
  // Only where the stroke mask lies: a dab that could not join it changed nothing.
  quill::TRect area = quill::IntersectRect(rect, mask.GetBounds());
  area = quill::IntersectRect(area, Original->GetBounds());
  area = quill::IntersectRect(area, Committed->GetBounds());
  for (int32_t y = area.Top; y < area.Bottom; ++y) {
    const uint8_t* weight = mask.GetPixelAddress(area.Left, y);
    const auto* before = reinterpret_cast<const TZelRGB*>(Committed->GetPixelAddress(area.Left, y));
    const auto* original = reinterpret_cast<const TZelRGB*>(Original->GetPixelAddress(area.Left, y));
    auto* live = reinterpret_cast<TZelRGB*>(Live->GetPixelAddress(area.Left, y));
    for (int64_t x = 0; x < area.Width(); ++x) BlendPixels(weight[x], live[x], before[x], original[x]);
  }
}

void TZelUndoBrushTool::SetOptionsShown(bool value) {
  OptionsShown = value;
  ArrangeFrame();
  quill::RecordMoveAndLine(*this, Name + QStringLiteral("Options"),
                           Name + (value ? QStringLiteral("ShowOptions") : QStringLiteral("HideOptions")));
}

void TZelUndoBrushTool::ArrangeFrame() {
  for (QWidget* widget : {Frame->PreviewAlignmentPanel, static_cast<QWidget*>(Frame->OpacityLabel),
                          static_cast<QWidget*>(Frame->OpacityTrackBar),
                          static_cast<QWidget*>(Frame->HardnessLabel),
                          static_cast<QWidget*>(Frame->HardnessTrackBar)}) {
    widget->setVisible(OptionsShown);
  }
  Frame->ShowOptions->SetShown(OptionsShown);
}

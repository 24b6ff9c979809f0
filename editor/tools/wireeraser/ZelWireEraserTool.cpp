#include "ZelWireEraserTool.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "MainForm.h"
#include "ZelFlowToolbar.h"
#include "ZelGraphicsEditor.h"
#include "ZelLocalizer.h"
#include "ZelStringIds.h"
#include "ZelToolPanelModule.h"

namespace {

// String ids: the title and the button's hint, the labels, the Trial Mode switch.
constexpr int32_t kTitleId = 2030;
constexpr int32_t kBackgroundNoiseId = 2031;
constexpr int32_t kTrialModeId = 2032;

constexpr int kFrameWidth = 223;
constexpr int kFrameHeight = 401;
constexpr int kTickEvery = 5;

QLabel* NewLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  return label;
}

QSlider* NewSlider(QWidget* parent) {
  auto* slider = new QSlider(Qt::Horizontal, parent);
  slider->setTickPosition(QSlider::TicksBelow);
  return slider;
}

QCheckBox* NewHiddenCheckBox(const QString& text, bool checked, QWidget* parent) {
  auto* box = new QCheckBox(text, parent);
  box->setChecked(checked);
  box->setVisible(false);
  return box;
}

void SetChecked(QCheckBox* box, bool value) {
  const QSignalBlocker blocker(box);
  box->setChecked(value);
}

}  // namespace

// ---- TZelWireEraserFrame ----

TZelWireEraserFrame::TZelWireEraserFrame(TZelComponent* owner, QWidget* parent)
    : TZelFrame(owner, parent),
      TitleLabel(quill::NewTitleLabel(QStringLiteral("Wire Eraser"), true, this)),
      SizeLabel(NewLabel(QStringLiteral("Size:"), this)),
      SizeTrackBar(NewSlider(this)),
      BackgroundNoiseLabel(NewLabel(QStringLiteral("Background Noise:"), this)),
      BackgroundNoiseTrackBar(NewSlider(this)),
      TrialModeCheckBox(NewHiddenCheckBox(QStringLiteral("Trial Mode"), false, this)),
      CumulativeEffectCheckBox(NewHiddenCheckBox(QStringLiteral("Cumulative Effect"), true, this)),
      OnlyShowCheckBox(NewHiddenCheckBox(QStringLiteral("Only Show"), false, this)) {
  resize(kFrameWidth, kFrameHeight);
  {
    const QSignalBlocker blocker(BackgroundNoiseTrackBar);
    BackgroundNoiseTrackBar->setRange(quill::kMinBackgroundNoise, quill::kMaxBackgroundNoise);
    BackgroundNoiseTrackBar->setTickInterval(kTickEvery);
  }
  auto* layout = new QVBoxLayout(this);
  quill::SetFrameMargins(layout);
  for (QWidget* widget : {static_cast<QWidget*>(TitleLabel), static_cast<QWidget*>(SizeLabel),
                          static_cast<QWidget*>(SizeTrackBar),
                          static_cast<QWidget*>(BackgroundNoiseLabel),
                          static_cast<QWidget*>(BackgroundNoiseTrackBar),
                          static_cast<QWidget*>(TrialModeCheckBox),
                          static_cast<QWidget*>(CumulativeEffectCheckBox),
                          static_cast<QWidget*>(OnlyShowCheckBox)}) {
    layout->addWidget(widget);
  }
  layout->addStretch();
}

// ---- TZelWireEraserTool ----

TZelWireEraserTool::TZelWireEraserTool(TZelComponent* owner)
    : TZelFramedTool(owner, GetLocalizedString(kTitleId), QStringLiteral("WireEraser")) {
  MinSize = quill::kWireEraserMinSize;
  SetSize(quill::kWireEraserDefaultSize);
  SetSizeTrackBar(Frame->SizeTrackBar);
  Frame->SizeTrackBar->setTickInterval(kTickEvery);
  CumulativeEffect = Frame->CumulativeEffectCheckBox->isChecked();
  OnlyShow = Frame->OnlyShowCheckBox->isChecked();
  TrialMode = Frame->TrialModeCheckBox->isChecked();
  Name = QStringLiteral("WireEraser");

  // The frame's controls call the setters; the setters move the controls silently.
  QObject::connect(Frame->BackgroundNoiseTrackBar, &QSlider::valueChanged, &WidgetLinks,
                   [this](int value) { SetBackgroundNoise(value); });
  QObject::connect(Frame->CumulativeEffectCheckBox, &QCheckBox::toggled, &WidgetLinks,
                   [this](bool value) { SetCumulativeEffect(value); });
  QObject::connect(Frame->OnlyShowCheckBox, &QCheckBox::toggled, &WidgetLinks,
                   [this](bool value) { SetOnlyShow(value); });
  QObject::connect(Frame->TrialModeCheckBox, &QCheckBox::toggled, &WidgetLinks,
                   [this](bool value) { SetTrialMode(value); });
  SetBackgroundNoise(quill::kDefaultBackgroundNoise);
  StrokeKind = 0;
}

void TZelWireEraserTool::Localize() {
  const QString title = GetLocalizedString(kTitleId);
  Button->setText(title);
  Button->setToolTip(title);
  Frame->TitleLabel->setText(title);
  Frame->SizeLabel->setText(GetLocalizedString(quill::kSizeText) + QLatin1Char(':'));
  Frame->BackgroundNoiseLabel->setText(GetLocalizedString(kBackgroundNoiseId) + QLatin1Char(':'));
  Frame->TrialModeCheckBox->setText(GetLocalizedString(kTrialModeId));
}

void TZelWireEraserTool::UpdateControls() {
  const bool checked = GraphicsEditor != nullptr && GraphicsEditor->CurrentTool == this;
  const bool enabled = GraphicsEditor != nullptr && GraphicsEditor->ToolMayWork(this);
  Button->setChecked(checked);
  Button->setEnabled(enabled);
  Frame->setEnabled(enabled && checked);
  Frame->SizeLabel->setText(GetLocalizedString(quill::kSizeText) + QStringLiteral(": ") +
                            QString::number(Frame->SizeTrackBar->value()));
  Frame->BackgroundNoiseLabel->setText(GetLocalizedString(kBackgroundNoiseId) + QStringLiteral(": ") +
                                       QString::number(Frame->BackgroundNoiseTrackBar->value()));
}

void TZelWireEraserTool::ExecuteCommand(TZelDemoPlayback* sender, const QString& command, bool& handled,
                                        const TZelProperties* params) {
  const QString name = Name.toUpper();
  int32_t number = 0;
  bool on = false;
  if (command == name + QLatin1String("BACKGROUNDNOISE")) {
    if (quill::ScriptIntegerIgnoringText(params, 0, number)) SetBackgroundNoise(number);
    handled = true;
  } else if (command == name + QLatin1String("TRIALMODE")) {
    if (quill::ScriptBooleanIgnoringText(params, on)) SetTrialMode(on);
    handled = true;
  } else if (command == name + QLatin1String("CUMULATIVEEFFECT")) {
    if (quill::ScriptBooleanIgnoringText(params, on)) SetCumulativeEffect(on);
    handled = true;
  } else if (command == name + QLatin1String("ONLYSHOW")) {
    if (quill::ScriptBooleanIgnoringText(params, on)) SetOnlyShow(on);
    handled = true;
  }
  TZelBrushTool::ExecuteCommand(sender, command, handled, params);
}

void TZelWireEraserTool::GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found, quill::TPoint& point) {
  found = quill::FindToolTarget(params, Name, Button,
                                {{QStringLiteral("BACKGROUNDNOISE"), Frame->BackgroundNoiseTrackBar},
                                 {QStringLiteral("TRIALMODE"), Frame->TrialModeCheckBox}},
                                point);
  if (!found) TZelBrushTool::GetTargetPoint(sender, params, found, point);
}

bool TZelWireEraserTool::BeginStroke(TZelDrawToolControl* control, quill::TMouseButton button,
                                     quill::TShiftState shift) {
  if (!TZelBrushTool::BeginStroke(control, button, shift)) return false;
  stroke_.Begin(*Live, *Committed, *Original, button == quill::mbRight);
  return true;
}

void TZelWireEraserTool::ApplyDab(const quill::TRect& rect) {
  // Only while this stroke's operation runs (the core stroke writes into its images).
  if (!stroke_.Running() || Live == nullptr) return;
  // Rect is DabRect(centre, Size): the centre lies Size div 2 in from its top-left.
  const quill::TPoint centre{rect.Left + Size / 2, rect.Top + Size / 2};
  const quill::TWireEraserDab dab =
      stroke_.ApplyDab(centre, Size, {BackgroundNoise, CumulativeEffect, OnlyShow, TrialMode});
  if (!dab.Changed.IsEmpty()) AddDirtyRect(dab.Changed, false);
  if (dab.Measured) SetBackgroundNoise(dab.Noise);
}

void TZelWireEraserTool::EndStroke() {
  stroke_.End();
  TZelBrushTool::EndStroke();
}

void TZelWireEraserTool::UpdateDabMask() { quill::WireEraserDab(DabMask, Size); }

void TZelWireEraserTool::SetBackgroundNoise(int32_t value) {
  BackgroundNoise = std::clamp(value, quill::kMinBackgroundNoise, quill::kMaxBackgroundNoise);
  {
    const QSignalBlocker blocker(Frame->BackgroundNoiseTrackBar);
    Frame->BackgroundNoiseTrackBar->setValue(BackgroundNoise);
  }
  RecordOption(QStringLiteral("BackgroundNoise"), BackgroundNoise);
}

void TZelWireEraserTool::SetCumulativeEffect(bool value) {
  CumulativeEffect = value;
  SetChecked(Frame->CumulativeEffectCheckBox, value);
  RecordOption(QStringLiteral("CumulativeEffect"), value ? 1 : 0);
}

void TZelWireEraserTool::SetOnlyShow(bool value) {
  OnlyShow = value;
  SetChecked(Frame->OnlyShowCheckBox, value);
  RecordOption(QStringLiteral("OnlyShow"), value ? 1 : 0);
}

void TZelWireEraserTool::SetTrialMode(bool value) {
  TrialMode = value;
  SetChecked(Frame->TrialModeCheckBox, value);
  RecordOption(QStringLiteral("TrialMode"), value ? 1 : 0);
}

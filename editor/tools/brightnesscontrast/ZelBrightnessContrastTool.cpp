#include "ZelBrightnessContrastTool.h"

#include <QAction>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

#include "MainForm.h"
#include "LevelTable.h"
#include "ZelColorCorrection.h"
#include "ZelFlowToolbar.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsView.h"
#include "ZelLocalizer.h"
#include "ZelProperties.h"
#include "ZelRecorder.h"
#include "ZelSDFReader.h"
#include "ZelSDFWriter.h"
#include "ZelStringIds.h"
#include "ZelToolPanelModule.h"
#include "ZelToolSupport.h"

namespace {

constexpr int32_t kTitleId = 2021;
constexpr int32_t kAutoCorrectionId = 2022;
constexpr int32_t kBrightnessId = 550;
constexpr int32_t kContrastId = 558;
constexpr int kTickInterval = 16;
QString TitleText() {
  return GetLocalizedString(kTitleId, QStringLiteral("Brightness & Contrast"));
}

QSlider* NewTrackBar(QWidget* parent) {
  auto* trackBar = new QSlider(Qt::Horizontal, parent);
  trackBar->setRange(TZelBrightnessContrastTool::kMinLevel, TZelBrightnessContrastTool::kMaxLevel);
  trackBar->setTickInterval(kTickInterval);
  trackBar->setTickPosition(QSlider::TicksBelow);
  trackBar->setValue(0);
  return trackBar;
}

}  // namespace

// ---- TZelBrightnessContrastFrame ----

TZelBrightnessContrastFrame::TZelBrightnessContrastFrame(TZelComponent* owner, QWidget* parent)
    : TZelFrame(owner, parent),
      TitleLabel(quill::NewTitleLabel(QString(), false, this)),
      AutoCorrectionPanel(new QWidget(this)),
      AutoCorrectionButton(new QPushButton(AutoCorrectionPanel)),
      BrightnessLabel(new QLabel(this)),
      BrightnessTrackBar(NewTrackBar(this)),
      ContrastLabel(new QLabel(this)),
      ContrastTrackBar(NewTrackBar(this)),
      OkPanel(new QWidget(this)),
      OkButton(new QPushButton(OkPanel)),
      CancelButton(new QPushButton(OkPanel)),
      ShowOptions(new quill::TZelShowOptionsLink(this)) {

  auto* autoLayout = new QHBoxLayout(AutoCorrectionPanel);
  autoLayout->setContentsMargins(0, 4, 0, 4);
  autoLayout->addWidget(AutoCorrectionButton);
  autoLayout->addStretch();

  auto* okLayout = new QHBoxLayout(OkPanel);
  okLayout->setContentsMargins(0, 4, 0, 4);
  okLayout->addStretch();
  okLayout->addWidget(OkButton);
  okLayout->addWidget(CancelButton);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(TitleLabel);
  layout->addWidget(AutoCorrectionPanel);
  layout->addWidget(BrightnessLabel);
  layout->addWidget(BrightnessTrackBar);
  layout->addWidget(ContrastLabel);
  layout->addWidget(ContrastTrackBar);
  layout->addWidget(OkPanel);
  layout->addWidget(ShowOptions, 0, Qt::AlignLeft);
  layout->addStretch();

  connect(BrightnessTrackBar, &QSlider::valueChanged, this, [this] { BrightnessTrackBarChange(); });
  connect(ContrastTrackBar, &QSlider::valueChanged, this, [this] { ContrastTrackBarChange(); });
  connect(AutoCorrectionButton, &QPushButton::clicked, this, [this] { AutoCorrectionButtonClick(); });
  connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
  connect(ShowOptions, &QToolButton::clicked, this, [this] { ShowOptionsButtonClick(); });
}

void TZelBrightnessContrastFrame::BrightnessTrackBarChange() {
  if (Tool != nullptr && BrightnessTrackBar->value() != Tool->Brightness) {
    Tool->SetBrightness(BrightnessTrackBar->value());
  }
}

void TZelBrightnessContrastFrame::ContrastTrackBarChange() {
  if (Tool != nullptr && ContrastTrackBar->value() != Tool->Contrast) {
    Tool->SetContrast(ContrastTrackBar->value());
  }
}

void TZelBrightnessContrastFrame::AutoCorrectionButtonClick() {
  if (Tool == nullptr || !quill::ToolMayStart(*Tool)) return;
  Tool->ApplyCorrection(true);
  // The values found lie within the sliders' range, so their change handlers find
  // them equal and do nothing.
  ContrastTrackBar->setValue(Tool->Contrast);
  BrightnessTrackBar->setValue(Tool->Brightness);
  if (!Tool->OptionsShown) Tool->EndOperation();
  quill::RecordMouseMove(Tool->Playback, Tool->Name + QStringLiteral("AutoCorrection"));
  quill::RecordLine(Tool->Playback, Tool->Name + QStringLiteral("AutoCorrection"));
}

void TZelBrightnessContrastFrame::OkButtonClick() {
  if (Tool == nullptr || !quill::ToolMayStart(*Tool)) return;
  Tool->EndOperation();
  quill::RecordMouseMove(Tool->Playback, Tool->Name + QStringLiteral("Perform"));
  quill::RecordLine(Tool->Playback, Tool->Name + QStringLiteral("Perform"));
}

void TZelBrightnessContrastFrame::CancelButtonClick() {
  if (Tool == nullptr || !quill::ToolMayStart(*Tool)) return;
  Tool->Brightness = 0;
  Tool->Contrast = 0;
  BrightnessTrackBar->setValue(0);
  ContrastTrackBar->setValue(0);
  Tool->CancelOperation();
  quill::RecordMouseMove(Tool->Playback, Tool->Name + QStringLiteral("Cancel"));
  quill::RecordLine(Tool->Playback, Tool->Name + QStringLiteral("Cancel"));
}

void TZelBrightnessContrastFrame::ShowOptionsButtonClick() {
  if (Tool != nullptr) Tool->SetOptionsShown(!Tool->OptionsShown);
}

// ---- TZelBrightnessContrastTool ----

const QUuid TZelBrightnessContrastTool::kSettingsGuid("{B395C67E-2462-4FDD-8BAD-8640A1A1EEDB}");

TZelBrightnessContrastTool::TZelBrightnessContrastTool(TZelComponent* owner)
    : TZelFramedTool(owner, QString(), QStringLiteral("Contrast")) {
  Frame->Tool = this;
  Name = QStringLiteral("BrightnessContrast");
  ControlClass = nullptr;
  SetOptionsShown(false);
  Exclusive = true;
}

void TZelBrightnessContrastTool::Localize() {
  const QString title = TitleText();
  // An ampersand in an action's text marks its shortcut key: double it to show it.
  Button->setText(QString(title).replace(QLatin1Char('&'), QStringLiteral("&&")));
  Button->setToolTip(title);
  Frame->TitleLabel->setText(title);
  Frame->AutoCorrectionButton->setText(
      GetLocalizedString(kAutoCorrectionId, QStringLiteral("Auto Correction")));
  Frame->BrightnessLabel->setText(GetLocalizedString(kBrightnessId, QStringLiteral("Brightness")) +
                                  QLatin1Char(':'));
  Frame->ContrastLabel->setText(GetLocalizedString(kContrastId, QStringLiteral("Contrast")) +
                                QLatin1Char(':'));
  Frame->OkButton->setText(GetLocalizedString(quill::kOkText));
  Frame->CancelButton->setText(GetLocalizedString(quill::kCancelText));
  LayoutOptions();
}

void TZelBrightnessContrastTool::LoadState(TZelSDFReader& reader) {
  TZelGraphicsTool::LoadState(reader);
  if (!reader.EnterGuidNode(1, kSettingsGuid)) return;
  int32_t shown = 0;
  if (reader.ReadInteger(1, shown)) SetOptionsShown(shown != 0);
  reader.LeaveNode();
}

void TZelBrightnessContrastTool::SaveState(TZelSDFWriter& writer) {
  TZelGraphicsTool::SaveState(writer);
  writer.BeginGuidNode(1, kSettingsGuid);
  writer.WriteInteger(1, OptionsShown ? 1 : 0);
  writer.EndNode();
}

void TZelBrightnessContrastTool::UpdateControls() {
  const bool enabled = GraphicsEditor != nullptr && GraphicsEditor->ToolMayWork(this);
  const bool checked = GraphicsEditor != nullptr && GraphicsEditor->CurrentTool == this;
  Button->setChecked(checked);
  Button->setEnabled(enabled);
  Frame->SetControlsEnabled(enabled && checked);
  if (enabled) {
    const bool running = OperationRunning();
    Frame->OkButton->setEnabled(running);
    Frame->CancelButton->setEnabled(running);
  }
}

void TZelBrightnessContrastTool::ExecuteCommand(TZelDemoPlayback* /*sender*/, const QString& command, bool& handled,
                                                const TZelProperties* params) {
  const QString name = Name.toUpper();
  if (command == name) {
    Select();
  } else if (command == name + QStringLiteral("AUTOCORRECTION")) {
    Frame->AutoCorrectionButtonClick();
  } else if (command == name + QStringLiteral("BRIGHTNESS")) {
    SetBrightness(quill::ScriptInteger(params, Brightness));
  } else if (command == name + QStringLiteral("CONTRAST")) {
    SetContrast(quill::ScriptInteger(params, Contrast));
  } else if (command == name + QStringLiteral("PERFORM")) {
    Frame->OkButtonClick();
  } else if (command == name + QStringLiteral("CANCEL")) {
    Frame->CancelButtonClick();
  } else if (command == name + QStringLiteral("SHOWOPTIONS")) {
    SetOptionsShown(true);
  } else if (command == name + QStringLiteral("HIDEOPTIONS")) {
    SetOptionsShown(false);
  } else {
    return;
  }
  handled = true;
}

void TZelBrightnessContrastTool::GetTargetPoint(TZelDemoPlayback* /*sender*/, const TZelProperties* params, bool& found,
                                                quill::TPoint& point) {
  found = quill::FindToolTarget(params, Name, Button, {
      {QStringLiteral("AUTOCORRECTION"), Frame->AutoCorrectionButton},
      {QStringLiteral("BRIGHTNESS"), Frame->BrightnessTrackBar},
      {QStringLiteral("CONTRAST"), Frame->ContrastTrackBar},
      {QStringLiteral("PERFORM"), Frame->OkButton},
      {QStringLiteral("CANCEL"), Frame->CancelButton},
      {QStringLiteral("OPTIONS"), Frame->ShowOptions},
  }, point);
}

void TZelBrightnessContrastTool::EndOperation() {
  TZelGraphicsTool::EndOperation();
  Brightness = 0;
  Contrast = 0;
  Frame->BrightnessTrackBar->setValue(0);
  Frame->ContrastTrackBar->setValue(0);
}

void TZelBrightnessContrastTool::DocumentOpened(TZelGraphicsDocument* /*document*/) {
  // The values rest at 0 outside an operation; this only puts the sliders in step.
  Brightness = 0;
  Contrast = 0;
  Frame->BrightnessTrackBar->setValue(0);
  Frame->ContrastTrackBar->setValue(0);
}

void TZelBrightnessContrastTool::DocumentClosing(TZelGraphicsDocument* /*document*/) {
  if (OperationRunning()) EndOperation();
}

void TZelBrightnessContrastTool::DocumentSaving(TZelGraphicsDocument* document) {
  // The file gets what the window shows: the preview, committed as OK would, so that
  // the file, the picture and the history's saved mark agree afterwards.
  if (Document == document && OperationRunning()) EndOperation();
}

void TZelBrightnessContrastTool::Select() {
  if (GraphicsEditor != nullptr && GraphicsEditor->ToolMayWork(this)) TZelGraphicsTool::Select();
}

void TZelBrightnessContrastTool::SetBrightness(int32_t value) {
  value = std::clamp(value, kMinLevel, kMaxLevel);
  if (value == Brightness) return;
  if (!quill::ToolMayStart(*this)) {
    Frame->BrightnessTrackBar->setValue(Brightness);
    return;
  }
  Brightness = value;
  Frame->BrightnessTrackBar->setValue(value);
  ApplyCorrection(false);
  quill::RecordLine(Playback, Name + QStringLiteral("Brightness ") + QString::number(value));
}

void TZelBrightnessContrastTool::SetContrast(int32_t value) {
  value = std::clamp(value, kMinLevel, kMaxLevel);
  if (value == Contrast) return;
  if (!quill::ToolMayStart(*this)) {
    Frame->ContrastTrackBar->setValue(Contrast);
    return;
  }
  Contrast = value;
  Frame->ContrastTrackBar->setValue(value);
  ApplyCorrection(false);
  quill::RecordLine(Playback, Name + QStringLiteral("Contrast ") + QString::number(value));
}

void TZelBrightnessContrastTool::SetOptionsShown(bool shown) {
  OptionsShown = shown;
  LayoutOptions();
  quill::RecordMouseMove(Playback, Name + QStringLiteral("Options"));
  quill::RecordLine(Playback,
                    Name + (shown ? QStringLiteral("ShowOptions") : QStringLiteral("HideOptions")));
}

void TZelBrightnessContrastTool::LayoutOptions() {
  Frame->setUpdatesEnabled(false);
  Frame->BrightnessLabel->setVisible(OptionsShown);
  Frame->BrightnessTrackBar->setVisible(OptionsShown);
  Frame->ContrastLabel->setVisible(OptionsShown);
  Frame->ContrastTrackBar->setVisible(OptionsShown);
  Frame->OkPanel->setVisible(OptionsShown);
  Frame->ShowOptions->SetShown(OptionsShown);
  Frame->setUpdatesEnabled(true);
}

void TZelBrightnessContrastTool::ApplyCorrection(bool automatic) {
  if (!quill::ToolMayStart(*this)) return;
  if (!OperationRunning() && !BeginOperation(GraphicsEditor->GetCurrentView())) return;

  TZelPointList points;
  if (automatic) {
    const quill::TAutoLevels levels = quill::FindAutoLevels(*Committed);
    Brightness = 127 - (levels.Min + levels.Max) / 2;
    Contrast = (256 - (levels.Max - levels.Min)) / 2;
    points.Add({levels.Min, 0});
    points.Add({levels.Max, 255});
  } else {
    quill::TPoint start{0 - Brightness, 0};
    quill::TPoint end{255 - Brightness, 255};
    if (Contrast >= 0) {
      start.X += Contrast;
      end.X -= Contrast;
    } else {
      start.Y -= Contrast;
      end.Y += Contrast;
    }
    points.Add(start);
    points.Add(end);
  }
  std::vector<uint16_t> entries;
  BuildLookupTable(points, 255, entries);
  quill::TLevelTable table;
  std::copy(entries.begin(), entries.end(), table.begin());

  const quill::TRect image = Live->GetBounds();
  quill::ApplyLevelTable(*Committed, *Live, image, table);
  AddDirtyRect(image, false);
}

bool TZelBrightnessContrastTool::OperationRunning() const {
  return Document != nullptr && Document->Running && Document->RunningTool == this;
}

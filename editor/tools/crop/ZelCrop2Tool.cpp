#include "ZelCrop2Tool.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cstdlib>
#include <utility>

#include "MainForm.h"
#include "ZelFlowToolbar.h"
#include "ZelCrop2ToolControl.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsView.h"
#include "ZelLocalizer.h"
#include "ZelSDFReader.h"
#include "ZelSDFWriter.h"
#include "ZelStringIds.h"
#include "ZelToolPanelModule.h"
#include "ZelToolSupport.h"

namespace {

// String ids.
constexpr int32_t kCropText = 135;
constexpr int32_t kDescriptionText = 2029;
constexpr int32_t kFreeText = 2885;
constexpr int32_t kFotoText = 2886;
constexpr int32_t kScreenText = 2887;
constexpr int32_t kClearText = 2888;
constexpr int32_t kListResolutionText = 2889;
constexpr int32_t kResolutionText = 2890;
constexpr int32_t kRatioText = 2891;
constexpr int32_t kFirstScreenRatioText = 2892;
constexpr int32_t kCropMemoryText = 2899;

constexpr int kScreenFormatCount = 6;
constexpr int32_t kMaxRatioSide = 99999;

QString CropTitle() { return GetLocalizedString(kCropText, QStringLiteral("Crop")); }

// "WxH" read as W and H reduced by their greatest common divisor; false for a text
// that is not two positive numbers around an "x".
bool ReadFormat(const QString& text, int32_t& width, int32_t& height) {
  const qsizetype x = text.indexOf(u'x');
  if (x < 0) return false;
  bool okWidth = false;
  bool okHeight = false;
  const int32_t w = text.left(x).toInt(&okWidth);
  const int32_t h = text.mid(x + 1).toInt(&okHeight);
  if (!okWidth || !okHeight || w <= 0 || h <= 0) return false;
  const int32_t g = GreatestCommonDivisor(w, h);
  width = w / g;
  height = h / g;
  return true;
}

}  // namespace

int32_t GreatestCommonDivisor(int32_t a, int32_t b) {
  int64_t x = std::llabs(int64_t{a});
  int64_t y = std::llabs(int64_t{b});
  while (x != 0 && y != 0) {
    if (x >= y) {
      x %= y;
    } else {
      y %= x;
    }
  }
  return quill::SaturateInt32(x + y);
}

QString ScreenResolutionText() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QSize size = screen != nullptr ? screen->size() : QSize();
  const int32_t g = std::max(1, GreatestCommonDivisor(size.width(), size.height()));
  return GetLocalizedString(kResolutionText, QStringLiteral("Screen resolution")) +
         QStringLiteral(": %1x%2\n").arg(size.width()).arg(size.height()) +
         GetLocalizedString(kRatioText, QStringLiteral("Aspect ratio")) +
         QStringLiteral(": %1:%2").arg(size.width() / g).arg(size.height() / g);
}

// ---- TZelCrop2Frame ----

TZelCrop2Frame::TZelCrop2Frame(TZelComponent* owner) : TZelFrame(owner) {
  TitleLabel = quill::NewTitleLabel(QString(), true, this);
  DescriptionLabel = new QLabel(this);
  DescriptionLabel->setWordWrap(true);
  rbFree = new QRadioButton(this);
  rbFoto = new QRadioButton(this);
  rbScreen = new QRadioButton(this);

  SizePanel = new QWidget(this);
  WidthLabel = new QLabel(SizePanel);
  WidthEdit = new QSpinBox(SizePanel);
  HeightLabel = new QLabel(SizePanel);
  HeightEdit = new QSpinBox(SizePanel);
  btClear = new QPushButton(SizePanel);
  // Width and height one under the other, Clear beside both: in one row they would
  // need more than the tool panel's width.
  auto* sizeLayout = new QGridLayout(SizePanel);
  sizeLayout->setContentsMargins(0, 0, 0, 0);
  sizeLayout->addWidget(WidthLabel, 0, 0);
  sizeLayout->addWidget(WidthEdit, 0, 1);
  sizeLayout->addWidget(HeightLabel, 1, 0);
  sizeLayout->addWidget(HeightEdit, 1, 1);
  sizeLayout->addWidget(btClear, 0, 2, 2, 1, Qt::AlignVCenter);
  sizeLayout->setColumnStretch(3, 1);
  for (QSpinBox* edit : {WidthEdit, HeightEdit}) edit->setRange(0, kMaxRatioSide);

  panelFoto = new QWidget(this);
  cmbFoto = new QComboBox(panelFoto);
  cmbFoto->addItems({"3x4", "4x3", "4x6", "6x4", "5x5", "6x9", "9x6", "9x12", "9x13", "12x9",
                     "10x15", "15x10", "13x18", "18x13", "15x20", "20x15", "20x30", "30x20",
                     "30x40", "40x30"});
  auto* fotoLayout = new QHBoxLayout(panelFoto);
  fotoLayout->setContentsMargins(0, 0, 0, 0);
  fotoLayout->addWidget(cmbFoto);

  panelScreen = new QWidget(this);
  cmbScreen = new QComboBox(panelScreen);
  cmbScreen->addItems({"4x3", "5x3", "5x4", "12x7", "16x9", "16x10"});
  auto* screenLayout = new QHBoxLayout(panelScreen);
  screenLayout->setContentsMargins(0, 0, 0, 0);
  screenLayout->addWidget(cmbScreen);

  gbListResolution = new QGroupBox(this);
  lblListResolution = new QLabel(gbListResolution);
  (new QVBoxLayout(gbListResolution))->addWidget(lblListResolution);
  gbCurrentResolution = new QGroupBox(this);
  lblCurrentResolution = new QLabel(gbCurrentResolution);
  QFont bold = lblCurrentResolution->font();
  bold.setBold(true);
  lblCurrentResolution->setFont(bold);
  // A long resolution breaks after its caption rather than widening the frame.
  lblCurrentResolution->setWordWrap(true);
  (new QVBoxLayout(gbCurrentResolution))->addWidget(lblCurrentResolution);
  ShowOptions = new quill::TZelShowOptionsLink(this);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(TitleLabel);
  for (QWidget* row : std::initializer_list<QWidget*>{DescriptionLabel, rbFree, rbFoto, rbScreen, SizePanel,
                                                      panelFoto, panelScreen, gbListResolution,
                                                      gbCurrentResolution}) {
    layout->addWidget(row);
  }
  layout->addWidget(ShowOptions, 0, Qt::AlignLeft);
  layout->addStretch(1);

  rbFree->setChecked(true);
  for (QRadioButton* radio : {rbFree, rbFoto, rbScreen}) {
    connect(radio, &QRadioButton::toggled, this, [this](bool checked) {
      if (checked) OnRadioGroupClick();
    });
  }
  connect(cmbFoto, &QComboBox::currentIndexChanged, this, [this] { cmbFotoChange(); });
  connect(cmbScreen, &QComboBox::currentIndexChanged, this, [this] { cmbScreenChange(); });
  connect(WidthEdit, &QSpinBox::textChanged, this, [this] { WidthEditChange(); });
  connect(HeightEdit, &QSpinBox::textChanged, this, [this] { HeightEditChange(); });
  connect(btClear, &QPushButton::clicked, this, [this] { btClearClick(); });
  connect(ShowOptions, &QToolButton::clicked, this, [this] { ShowOptionsButtonClick(); });
}

int32_t TZelCrop2Frame::EditValue(const QSpinBox* edit) {
  bool ok = false;
  const int32_t value = edit->cleanText().toInt(&ok);
  return ok ? value : 0;
}

void TZelCrop2Frame::ShowOptionsButtonClick() {
  if (Tool == nullptr) return;
  Tool->SetOptionsShown(!Tool->OptionsShown);
  rbFree->setChecked(true);
  setRatio(0);
}

void TZelCrop2Frame::OnRadioGroupClick() {
  if (Tool == nullptr) return;
  Tool->LayoutOptions();
  if (rbFree->isChecked()) setRatio(0);
  if (rbFoto->isChecked()) setRatio(1);
  if (rbScreen->isChecked()) setRatio(2);
}

void TZelCrop2Frame::cmbFotoChange() { setRatio(1); }

void TZelCrop2Frame::cmbScreenChange() { setRatio(2); }

void TZelCrop2Frame::WidthEditChange() {
  if (Tool == nullptr) return;
  const bool widthGiven = !WidthEdit->cleanText().isEmpty() && EditValue(WidthEdit) >= 0;
  const bool heightGiven = !HeightEdit->cleanText().isEmpty() && EditValue(HeightEdit) >= 0;
  const int32_t w = EditValue(WidthEdit);
  const int32_t h = EditValue(HeightEdit);
  const int32_t g = GreatestCommonDivisor(w, h);
  if (!widthGiven || !heightGiven || g == 0) {
    Tool->RatioWidth = 0;
    Tool->RatioHeight = 0;
    return;
  }
  Tool->RatioWidth = w / g;
  Tool->RatioHeight = h / g;
}

void TZelCrop2Frame::HeightEditChange() { WidthEditChange(); }

void TZelCrop2Frame::btClearClick() {
  WidthEdit->clear();
  HeightEdit->clear();
  // Clearing a spin box's text does not report a change: the ratio is freed here.
  WidthEditChange();
}

void TZelCrop2Frame::setRatio(int kind) {
  if (Tool == nullptr) return;
  if (kind == 0) {
    Tool->RatioWidth = EditValue(WidthEdit);
    Tool->RatioHeight = EditValue(HeightEdit);
    return;
  }
  const QComboBox* list = kind == 1 ? cmbFoto : cmbScreen;
  if (kind == 2) {
    const int index = cmbScreen->currentIndex();
    if (index >= 0 && index < Tool->ScreenRatioDescriptions.size()) {
      lblListResolution->setText(Tool->ScreenRatioDescriptions[index]);
    }
    lblCurrentResolution->setText(ScreenResolutionText());
  }
  int32_t w = 0;
  int32_t h = 0;
  if (ReadFormat(list->currentText(), w, h)) {
    Tool->RatioWidth = w;
    Tool->RatioHeight = h;
  }
}

// ---- TZelCrop2Tool ----

const QUuid TZelCrop2Tool::kSettingsGuid{QStringLiteral("{FA533C1A-B74B-486B-BB5E-7AEA47608D79}")};

TZelCrop2Tool::TZelCrop2Tool(TZelComponent* owner) : TZelFramedTool(owner, CropTitle(), QStringLiteral("Crop")) {
  Frame->Tool = this;
  Name = QStringLiteral("Crop");
  ControlClass = &TZelGraphicsTool::MakeControl<TZelCrop2ToolControl>;
  Exclusive = true;
  SetOptionsShown(false);
}

TZelCrop2ToolControl* TZelCrop2Tool::FirstControl() const {
  return static_cast<TZelCrop2ToolControl*>(GetControl(0));
}

void TZelCrop2Tool::Perform() {
  CropTo(CropRect);
  // Every view's rectangle goes: the crop rectangle belongs to no one view.
  for (int i = 0; i < ControlCount(); ++i) static_cast<TZelCrop2ToolControl*>(GetControl(i))->ResetCrop();
}

void TZelCrop2Tool::CropTo(const quill::TRect& rect) {
  if (!quill::ToolMayStart(*this)) return;
  TZelGraphicsDocument* document = GraphicsEditor->GetCurrentDocument();
  // A rectangle that misses the image crops nothing: no record, no modified mark.
  if (IntersectRect(rect, document->CurrentImage.GetBounds()).IsEmpty()) return;
  auto imageBefore = std::make_unique<TZelPixelBuffer>();
  auto originalBefore = std::make_unique<TZelPixelBuffer>();
  quill::TLosslessJpeg::TGeometry jpegBefore;
  const quill::TRect savedBounds = document->GetBounds();
  {
    const quill::TZelHourglass hourglass;
    if (!document->Snapshot(*imageBefore, *originalBefore, jpegBefore)) {
      ZelApplication->MessageBox(GetLocalizedString(kCropMemoryText), MB_ICONERROR);
      return;
    }
    if (!BeginOperation(GraphicsEditor->GetCurrentView())) return;
    if (!document->Crop(rect)) {
      // Nothing was cropped: no record.
      CancelOperation();
      ZelApplication->MessageBox(GetLocalizedString(kCropMemoryText), MB_ICONERROR);
      return;
    }
    document->AddCommandState(std::make_unique<TZelCrop2CommandState>(
        this, document, rect, savedBounds, std::move(imageBefore), std::move(originalBefore), jpegBefore));
    EndOperation();
  }
}

void TZelCrop2Tool::SetOptionsShown(bool shown) {
  OptionsShown = shown;
  LayoutOptions();
}

void TZelCrop2Tool::LayoutOptions() {
  if (Frame == nullptr) return;
  TZelCrop2Frame& frame = *Frame;
  for (QRadioButton* radio : {frame.rbFree, frame.rbFoto, frame.rbScreen}) radio->setVisible(OptionsShown);
  frame.SizePanel->setVisible(OptionsShown && frame.rbFree->isChecked());
  frame.panelFoto->setVisible(OptionsShown && frame.rbFoto->isChecked());
  const bool screen = OptionsShown && frame.rbScreen->isChecked();
  frame.panelScreen->setVisible(screen);
  frame.gbListResolution->setVisible(screen);
  frame.gbCurrentResolution->setVisible(screen);
  frame.ShowOptions->SetShown(OptionsShown);
}

void TZelCrop2Tool::Localize() {
  if (Button != nullptr) Button->setToolTip(CropTitle());
  ScreenRatioDescriptions.clear();
  for (int i = 0; i < kScreenFormatCount; ++i) {
    ScreenRatioDescriptions.append(
        GetLocalizedString(kFirstScreenRatioText + i).replace(QLatin1Char(' '), QLatin1Char('\n')));
  }
  if (Frame == nullptr) return;
  TZelCrop2Frame& frame = *Frame;
  frame.TitleLabel->setText(CropTitle());
  frame.DescriptionLabel->setText(GetLocalizedString(kDescriptionText));
  frame.rbFree->setText(GetLocalizedString(kFreeText));
  frame.rbFoto->setText(GetLocalizedString(kFotoText));
  frame.rbScreen->setText(GetLocalizedString(kScreenText));
  frame.WidthLabel->setText(GetLocalizedString(quill::kWidthText) + QLatin1Char(':'));
  frame.HeightLabel->setText(GetLocalizedString(quill::kHeightText) + QLatin1Char(':'));
  frame.btClear->setText(GetLocalizedString(kClearText));
  frame.gbListResolution->setTitle(GetLocalizedString(kListResolutionText));
  frame.lblCurrentResolution->setText(ScreenResolutionText());
  const int index = frame.cmbScreen->currentIndex();
  if (index >= 0 && index < ScreenRatioDescriptions.size()) {
    frame.lblListResolution->setText(ScreenRatioDescriptions[index]);
  }
  frame.ShowOptions->SetShown(OptionsShown);
}

void TZelCrop2Tool::LoadState(TZelSDFReader& reader) {
  TZelGraphicsTool::LoadState(reader);
  if (!reader.EnterGuidNode(1, kSettingsGuid)) return;
  int32_t shown = 0;
  if (reader.ReadInteger(1, shown)) SetOptionsShown(shown != 0);
  reader.LeaveNode();
}

void TZelCrop2Tool::SaveState(TZelSDFWriter& writer) {
  TZelGraphicsTool::SaveState(writer);
  writer.BeginGuidNode(1, kSettingsGuid);
  writer.WriteInteger(1, OptionsShown ? 1 : 0);
  writer.EndNode();
}

void TZelCrop2Tool::UpdateControls() {
  if (Button == nullptr || GraphicsEditor == nullptr) return;
  const bool checked = GraphicsEditor->CurrentTool == this;
  const bool enabled = quill::ToolMayStart(*this);
  Button->setChecked(checked);
  Button->setEnabled(enabled);
  if (Frame != nullptr) Frame->SetControlsEnabled(enabled && checked);
}

void TZelCrop2Tool::ExecuteCommand(TZelDemoPlayback* sender, const QString& command, bool& handled, const TZelProperties* params) {
  TZelGraphicsTool::ExecuteCommand(sender, command, handled, params);
  const QString name = Name.toUpper();
  if (handled) return;
  if (command == name + QLatin1String("PERFORM")) {
    Perform();
    handled = true;
  } else if (command == name + QLatin1String("CANCEL")) {
    CancelOperation();
    handled = true;
  }
}

void TZelCrop2Tool::GetTargetPoint(TZelDemoPlayback* /*sender*/, const TZelProperties* params, bool& found, quill::TPoint& point) {
  found = quill::FindToolTarget(params, Name, Button, {}, point);
}

void TZelCrop2Tool::CancelOperation() {
  for (int i = 0; i < ControlCount(); ++i) static_cast<TZelCrop2ToolControl*>(GetControl(i))->ResetCrop();
  TZelGraphicsTool::CancelOperation();
}

void TZelCrop2Tool::DocumentClosing(TZelGraphicsDocument* document) {
  for (int i = 0; i < ControlCount(); ++i) {
    auto* control = static_cast<TZelCrop2ToolControl*>(GetControl(i));
    if (control->View->Document == document && control->State != bsNone) {
      CancelOperation();
      return;
    }
  }
}

void TZelCrop2Tool::DocumentGeometryChanged(TZelGraphicsDocument* document) {
  for (int i = 0; i < ControlCount(); ++i) {
    auto* control = static_cast<TZelCrop2ToolControl*>(GetControl(i));
    if (control->View->Document == document) control->ResetCrop();
  }
}

// ---- TZelCrop2CommandState ----

TZelCrop2CommandState::TZelCrop2CommandState(TZelCrop2Tool* tool, TZelGraphicsDocument* document,
                                             const quill::TRect& rect, const quill::TRect& savedBounds,
                                             std::unique_ptr<TZelPixelBuffer> imageBefore,
                                             std::unique_ptr<TZelPixelBuffer> originalBefore,
                                             const quill::TLosslessJpeg::TGeometry& jpegBefore)
    : TZelCustomGraphicsCommandState(tool, rect, document),
      SavedBounds(savedBounds),
      ImageBefore(std::move(imageBefore)),
      OriginalBefore(std::move(originalBefore)),
      JpegBefore(jpegBefore) {}

bool TZelCrop2CommandState::TryUndo() {
  return UndoGeometry(*ImageBefore, *OriginalBefore, JpegBefore, SavedBounds);
}

bool TZelCrop2CommandState::TryRedo() {
  if (!Document->Crop(Rect)) {
    ZelApplication->ShowMemoryMessage();
    return false;
  }
  TZelCustomGraphicsCommandState::Redo();
  return true;
}

int64_t TZelCrop2CommandState::GetSize() const {
  const auto bytes = [](const TZelPixelBuffer& buffer) {
    return int64_t{buffer.Stride()} * buffer.Height();
  };
  return static_cast<int64_t>(sizeof(*this)) + bytes(*ImageBefore) + bytes(*OriginalBefore);
}

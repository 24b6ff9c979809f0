#include "ZelHandInpaintingTool.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QTransform>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "HandInpaintingArea.h"
#include "MainForm.h"
#include "ZelFlowToolbar.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsView.h"
#include "ZelLocalizer.h"
#include "ZelStringIds.h"
#include "ZelToolPanelModule.h"
#include "ZelToolSupport.h"

namespace {

// String ids.
constexpr int32_t kTitleId = 2450;  // the title and the button's hint
constexpr int32_t kLongDefectId = 2451;
constexpr int32_t kAdjustmentId = 2453;
constexpr int32_t kAutoCaptionId = 562;
constexpr int32_t kAutoHintId = 2457;

// The button's caption, which has no string id.
const char kButtonCaption[] = "Hand Inpainting";

// The tool panel's client width while this tool's frame is in it.
constexpr int kPanelWidth = 264;

// Preview pixels outside the image.
constexpr uint8_t kOutsideGrey = 64;
// Previews are this much larger than the brush, at most this many times magnified.
constexpr double kPreviewMargin = 1.1;
constexpr int32_t kMaxMagnification = 6;

// The previews' places in their panel.
constexpr int kPreviewGap = 4;
constexpr int kCancelHeight = 26;

// A confirmation this near the pointer keeps the loupe still.
constexpr double kMarkReach = 3;

// The names of the orientation buttons, by orientation.
const char* const kReflectionNames[8] = {
    "arNorthSpeedButton", "arNorthReflexSpeedButton", "arEastSpeedButton", "arEastReflexSpeedButton",
    "arSouthSpeedButton", "arSouthReflexSpeedButton", "arWestSpeedButton", "arWestReflexSpeedButton"};

// What each orientation does to the source, as a transform of a glyph about its centre
// (screen coordinates, y down): unchanged, mirrored left to right, rotated 90 degrees
// clockwise, mirrored across the main diagonal, rotated 180 degrees, mirrored top to
// bottom, mirrored across the anti-diagonal, rotated 90 degrees counter-clockwise.
const QTransform kReflectionTransforms[8] = {
    QTransform(1, 0, 0, 1, 0, 0),  QTransform(-1, 0, 0, 1, 0, 0), QTransform(0, 1, -1, 0, 0, 0),
    QTransform(0, 1, 1, 0, 0, 0),  QTransform(-1, 0, 0, -1, 0, 0), QTransform(1, 0, 0, -1, 0, 0),
    QTransform(0, -1, -1, 0, 0, 0), QTransform(0, -1, 1, 0, 0, 0)};

// A letter F as the source looks after Orientation: it shows at a glance which way
// the copy is turned or mirrored.
QIcon ReflectionGlyph(uint8_t orientation) {
  constexpr int kSide = 16;
  QPixmap pixmap(kSide, kSide);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(kSide / 2.0, kSide / 2.0);
  painter.setTransform(kReflectionTransforms[orientation], true);
  painter.setPen(QPen(QApplication::palette().color(QPalette::ButtonText), 2, Qt::SolidLine, Qt::FlatCap));
  painter.drawLine(QPointF(-3, -6), QPointF(-3, 6));
  painter.drawLine(QPointF(-4, -5), QPointF(4, -5));
  painter.drawLine(QPointF(-3, 0), QPointF(2, 0));
  return QIcon(pixmap);
}

QToolButton* NewToolButton(QWidget* parent, bool visible) {
  auto* button = new QToolButton(parent);
  button->setCheckable(true);
  button->setAutoRaise(true);
  button->setVisible(visible);
  return button;
}

QCheckBox* NewCheckBox(const QString& text, QWidget* parent) {
  return new QCheckBox(text, parent);
}

void SetChecked(QAbstractButton* button, bool value) {
  const QSignalBlocker blocker(button);
  button->setChecked(value);
}

}  // namespace

double PointDistance(uint8_t kind, double ax, double ay, double bx, double by) {
  const double dx = std::fabs(ax - bx);
  const double dy = std::fabs(ay - by);
  if (kind == 0) return dx + dy;
  if (kind == 1) return std::sqrt(dx * dx + dy * dy);
  return std::max(dx, dy);
}

namespace quill {

void TZelPreviewImage::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(kOutsideGrey, kOutsideGrey, kOutsideGrey));
  if (picture_ == nullptr || picture_->isNull()) return;
  const double scale = std::min(double(width()) / picture_->width(), double(height()) / picture_->height());
  painter.drawImage(QRectF(0, 0, picture_->width() * scale, picture_->height() * scale), *picture_);
}

}  // namespace quill

// ---- TZelHandInpaintingFrame ----

TZelHandInpaintingFrame::TZelHandInpaintingFrame(TZelComponent* owner, QWidget* parent)
    : TZelFrame(owner, parent),
      TitleLabel(quill::NewTitleLabel(QString::fromLatin1(kButtonCaption), false, this)),
      SizeLabel(new QLabel(QStringLiteral("Size:"), this)),
      SizeTrackBar(new QSlider(Qt::Horizontal, this)),
      ImagePanel(new QWidget(this)),
      TargetImage(new quill::TZelPreviewImage(ImagePanel)),
      HandyImage(new quill::TZelPreviewImage(ImagePanel)),
      CancelTBXButton(new QPushButton(QStringLiteral("Cancel"), ImagePanel)),
      OptionsPanel(new QWidget(this)),
      LongDefectTBXCheckBox(NewCheckBox(QStringLiteral("Long defect"), OptionsPanel)),
      TwoSpeedButton(NewToolButton(OptionsPanel, false)),
      LoupeSpeedButton(NewToolButton(OptionsPanel, false)),
      AdjustmentPanel(new QWidget(this)),
      AdjustmentTBXCheckBox(NewCheckBox(QStringLiteral("Adjustment"), AdjustmentPanel)),
      AntiAliasingTBXCheckBox(NewCheckBox(QStringLiteral("Anti-aliasing"), AdjustmentPanel)),
      AreaReflectionPanel(new QWidget(this)),
      ReflectionButtons(),
      AutoReflectionTBXCheckBox(NewCheckBox(QStringLiteral("Auto"), AreaReflectionPanel)) {
  SizeTrackBar->setTickPosition(QSlider::TicksBelow);

  const int side = TZelHandInpaintingTool::kTargetImageSide;
  // No gap right of the previews: the frame then keeps within the panel's width also
  // beside the panel's vertical scroll bar.
  ImagePanel->setFixedSize(side + kPreviewGap, side + 3 * kPreviewGap + kCancelHeight);
  TargetImage->setGeometry(kPreviewGap, kPreviewGap, side, side);
  HandyImage->setVisible(false);
  TargetImage->setVisible(false);
  CancelTBXButton->setGeometry(kPreviewGap, side + 2 * kPreviewGap, side, kCancelHeight);

  auto* options = new QHBoxLayout(OptionsPanel);
  options->setContentsMargins(0, 0, 0, 0);
  options->addWidget(LongDefectTBXCheckBox);
  options->addWidget(TwoSpeedButton);
  options->addWidget(LoupeSpeedButton);
  options->addStretch();

  auto* adjustment = new QHBoxLayout(AdjustmentPanel);
  adjustment->setContentsMargins(0, 0, 0, 0);
  adjustment->addWidget(AdjustmentTBXCheckBox);
  adjustment->addWidget(AntiAliasingTBXCheckBox);
  adjustment->addStretch();
  AntiAliasingTBXCheckBox->setChecked(true);
  AntiAliasingTBXCheckBox->setVisible(false);

  auto* reflections = new QGridLayout(AreaReflectionPanel);
  reflections->setContentsMargins(0, 0, 0, 0);
  auto* group = new QButtonGroup(AreaReflectionPanel);
  group->setExclusive(true);
  for (uint8_t k = 0; k < ReflectionButtons.size(); ++k) {
    QToolButton* button = NewToolButton(AreaReflectionPanel, true);
    button->setObjectName(QString::fromLatin1(kReflectionNames[k]));
    button->setIcon(ReflectionGlyph(k));
    group->addButton(button, k);
    reflections->addWidget(button, 0, k);
    ReflectionButtons[k] = button;
  }
  ReflectionButtons[0]->setChecked(true);
  reflections->addWidget(AutoReflectionTBXCheckBox, 1, 0, 1, static_cast<int>(ReflectionButtons.size()));
  reflections->setColumnStretch(static_cast<int>(ReflectionButtons.size()), 1);

  auto* layout = new QVBoxLayout(this);
  quill::SetFrameMargins(layout);
  for (QWidget* widget : {static_cast<QWidget*>(TitleLabel), static_cast<QWidget*>(SizeLabel),
                          static_cast<QWidget*>(SizeTrackBar), ImagePanel, OptionsPanel,
                          AdjustmentPanel, AreaReflectionPanel}) {
    layout->addWidget(widget);
  }
  layout->addStretch();
}

// ---- TZelHandInpaintingTool ----

TZelHandInpaintingTool::TZelHandInpaintingTool(TZelComponent* owner)
    : TZelFramedTool(owner, QString::fromLatin1(kButtonCaption), QStringLiteral("HandInpainting")),
      ownPointer_(std::make_unique<quill::QtPointerDriver>()) {
  Driver = ownPointer_.get();
  Frame->TargetImage->SetPicture(&TargetBitmap);
  Frame->HandyImage->SetPicture(&HandyBitmap);

  MinSize = quill::kHandInpaintingMinSize;
  MaxSize = quill::kHandInpaintingMaxSize;
  SetSize(quill::kHandInpaintingDefaultSize);
  SetSizeTrackBar(Frame->SizeTrackBar);
  Name = QStringLiteral("HandInpainting");
  ControlClass = &MakeControl<TZelHandInpaintingToolControl>;

  SetLongDefect(true);
  SetReflection(0);
  SetAdjustment(TAreaCorrelator::kModeColor);
  SetAutoReflection(true);
  SetTwoPreviews(false);
  SetLoupe(true);
  SetAntiAliasing(true);

  QObject::connect(Frame->AdjustmentTBXCheckBox, &QCheckBox::toggled, &WidgetLinks,
                   [this](bool checked) { AdjustmentChanged(checked); });
  QObject::connect(Frame->AntiAliasingTBXCheckBox, &QCheckBox::toggled, &WidgetLinks,
                   [this](bool checked) { AntiAliasingChanged(checked); });
  QObject::connect(Frame->LongDefectTBXCheckBox, &QCheckBox::toggled, &WidgetLinks,
                   [this](bool checked) { LongDefectChanged(checked); });
  QObject::connect(Frame->AutoReflectionTBXCheckBox, &QCheckBox::toggled, &WidgetLinks,
                   [this](bool checked) { AutoReflectionChanged(checked); });
  for (uint8_t k = 0; k < Frame->ReflectionButtons.size(); ++k) {
    QObject::connect(Frame->ReflectionButtons[k], &QToolButton::clicked, &WidgetLinks,
                     [this, k] { ReflectionClicked(k); });
  }
  QObject::connect(Frame->LoupeSpeedButton, &QToolButton::clicked, &WidgetLinks, [this] { SetLoupe(!Loupe); });
  QObject::connect(Frame->TwoSpeedButton, &QToolButton::clicked, &WidgetLinks, [this] {
    SetTwoPreviews(!TwoPreviews);
    RenderFill(false);
    RenderFill(true);
  });
  QObject::connect(Frame->CancelTBXButton, &QPushButton::clicked, &WidgetLinks, [this] { Cancel(); });

  ToolPanelModule->SetPanelWidth(kPanelWidth);
  Exclusive = true;
}

TZelHandInpaintingTool::~TZelHandInpaintingTool() {
  if (Frame != nullptr) {
    Frame->TargetImage->SetPicture(nullptr);
    Frame->HandyImage->SetPicture(nullptr);
  }
}

void TZelHandInpaintingTool::Localize() {
  const QString title = GetLocalizedString(kTitleId);
  Button->setToolTip(title);
  Frame->TitleLabel->setText(title);
  Frame->SizeLabel->setText(GetLocalizedString(quill::kSizeText) + QLatin1Char(':'));
  Frame->CancelTBXButton->setText(GetLocalizedString(quill::kCancelText));
  Frame->LongDefectTBXCheckBox->setText(GetLocalizedString(kLongDefectId));
  Frame->AdjustmentTBXCheckBox->setText(GetLocalizedString(kAdjustmentId));
  Frame->AutoReflectionTBXCheckBox->setText(GetLocalizedString(kAutoCaptionId));
  Frame->AutoReflectionTBXCheckBox->setToolTip(GetLocalizedString(kAutoHintId));
}

void TZelHandInpaintingTool::UpdateControls() {
  const bool checked = GraphicsEditor != nullptr && GraphicsEditor->CurrentTool == this;
  const bool enabled = GraphicsEditor != nullptr && GraphicsEditor->ToolMayWork(this);
  Button->setChecked(checked);
  Button->setEnabled(enabled);
  const bool frameEnabled = enabled && checked;
  Frame->TitleLabel->setEnabled(frameEnabled);
  Frame->SizeLabel->setEnabled(frameEnabled && !Filling);
  Frame->SizeLabel->setText(GetLocalizedString(quill::kSizeText) + QStringLiteral(": ") + QString::number(Size));
  Frame->SizeTrackBar->setEnabled(frameEnabled && !Filling);
  Frame->CancelTBXButton->setEnabled(Filling);
  for (QWidget* widget : {Frame->AdjustmentPanel, static_cast<QWidget*>(Frame->AdjustmentTBXCheckBox),
                          static_cast<QWidget*>(Frame->AntiAliasingTBXCheckBox), Frame->AreaReflectionPanel,
                          static_cast<QWidget*>(Frame->AutoReflectionTBXCheckBox), Frame->OptionsPanel}) {
    widget->setEnabled(frameEnabled);
  }
  Frame->OptionsPanel->setVisible(OptionsShown);
}

void TZelHandInpaintingTool::ExecuteCommand(TZelDemoPlayback* sender, const QString& command, bool& handled,
                                            const TZelProperties* params) {
  const QString name = Name.toUpper();
  int32_t number = 0;
  bool on = false;
  if (command == name + QLatin1String("ADJUSTMENT")) {
    if (quill::ScriptIntegerIgnoringText(params, 0, number)) SetAdjustment(number);
  } else if (command == name + QLatin1String("AREAREFLECTION")) {
    if (quill::ScriptIntegerIgnoringText(params, 0, number)) SetReflection(number);
  } else if (command == name + QLatin1String("AUTOREFLECTION")) {
    if (quill::ScriptBooleanIgnoringText(params, on)) SetAutoReflection(on);
  } else if (command == name + QLatin1String("LONGDEFECT")) {
    if (quill::ScriptBooleanIgnoringText(params, on)) SetLongDefect(on);
  } else if (command == name + QLatin1String("ANTIALIASING")) {
    if (quill::ScriptBooleanIgnoringText(params, on)) SetAntiAliasing(on);
  } else if (command == name + QLatin1String("CANCELBUTTON")) {
    Cancel();
  } else {
    TZelBrushTool::ExecuteCommand(sender, command, handled, params);
    return;
  }
  handled = true;
}

void TZelHandInpaintingTool::GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found, quill::TPoint& point) {
  std::vector<quill::TNamedWidget> widgets = {
      {QStringLiteral("TARGETIMAGE"), Frame->TargetImage},
      {QStringLiteral("CANCELBUTTON"), Frame->CancelTBXButton},
      {QStringLiteral("ADJUSTMENT"), Frame->AdjustmentTBXCheckBox},
      {QStringLiteral("AUTOREFLECTION"), Frame->AutoReflectionTBXCheckBox},
      {QStringLiteral("LONGDEFECT"), Frame->LongDefectTBXCheckBox},
      {QStringLiteral("ANTIALIASING"), Frame->AntiAliasingTBXCheckBox},
  };
  for (const QToolButton* button : Frame->ReflectionButtons) widgets.emplace_back(button->objectName().toUpper(), button);
  found = quill::FindToolTarget(params, Name, Button, widgets, point);
  if (!found) TZelBrushTool::GetTargetPoint(sender, params, found, point);
}

void TZelHandInpaintingTool::DocumentOpened(TZelGraphicsDocument* document) {
  TZelBrushTool::DocumentOpened(document);
  Filling = false;
  Frame->TargetImage->setVisible(Loupe);
  Frame->HandyImage->setVisible(false);
  MarkSet = false;
  SizePreviews();
}

void TZelHandInpaintingTool::DocumentClosing(TZelGraphicsDocument* document) {
  TZelBrushTool::DocumentClosing(document);
  // The tools hear of the close before the save question: an unconfirmed fill is
  // dropped, so it is neither saved nor, when the user keeps the document, left
  // behind as a record that would have cut off the redo steps.
  if (Document == document) CancelOperation();
  // The engine refers to the closing document's images.
  AreaFill.Release();
  Filling = false;
  Frame->TargetImage->setVisible(false);
  Frame->HandyImage->setVisible(false);
}

void TZelHandInpaintingTool::DocumentSaving(TZelGraphicsDocument* document) {
  TZelBrushTool::DocumentSaving(document);
  // The file gets what the window shows: an open fill is confirmed as the click would,
  // so that the file, the picture and the history's saved mark agree afterwards.
  if (Filling && Document == document) ConfirmFill();
}

TZelGraphicsTool* TZelHandInpaintingTool::CancelPendingWork() {
  if (Filling) Cancel();
  return TZelBrushTool::CancelPendingWork();
}

void TZelHandInpaintingTool::SetSize(int32_t value) {
  // The area and the previews are laid out for the size the fill began with: the
  // slider goes back to it.
  if (Filling) {
    const QSignalBlocker blocker(Frame->SizeTrackBar);
    Frame->SizeTrackBar->setValue(Size);
    return;
  }
  TZelBrushTool::SetSize(value);
  if (SizePreviews() && Frame->TargetImage->isVisible()) DrawLoupe();
}

void TZelHandInpaintingTool::ProcessDab(const quill::TRect& /*rect*/) {
  if (!Filling) {
    AreaFill.Mark(AreaRect, *Committed, *Live, DabMask);
    RenderFill(false);
  } else if (AreaFill.Marked()) {
    if (AutoReflection) SetReflection(AreaFill.BestOrientation(SourceRect, FillOptions()));
    RenderFill(true);
  }
}

void TZelHandInpaintingTool::UpdateDabMask() { quill::HandInpaintingDab(DabMask, Size); }

void TZelHandInpaintingTool::SetAdjustment(int32_t value) {
  if (value < TAreaCorrelator::kModeCopy || value > TAreaCorrelator::kModeColor) return;
  Adjustment = value;
  SetChecked(Frame->AdjustmentTBXCheckBox, value == TAreaCorrelator::kModeColor);
}

void TZelHandInpaintingTool::SetReflection(int32_t value) {
  if (value < 0 || value >= static_cast<int32_t>(Frame->ReflectionButtons.size())) return;
  Reflection = static_cast<uint8_t>(value);
  SetChecked(Frame->ReflectionButtons[Reflection], true);
}

void TZelHandInpaintingTool::SetAutoReflection(bool value) {
  AutoReflection = value;
  SetChecked(Frame->AutoReflectionTBXCheckBox, value);
}

void TZelHandInpaintingTool::SetLongDefect(bool value) {
  LongDefect = value;
  AreaFill.OptionsChanged();
  SetChecked(Frame->LongDefectTBXCheckBox, value);
}

void TZelHandInpaintingTool::SetAntiAliasing(bool value) {
  AntiAliasing = value;
  AreaFill.OptionsChanged();
  SetChecked(Frame->AntiAliasingTBXCheckBox, value);
}

void TZelHandInpaintingTool::SetLoupe(bool value) {
  Loupe = value;
  SetChecked(Frame->LoupeSpeedButton, value);
  ArrangePreviews();
}

void TZelHandInpaintingTool::SetTwoPreviews(bool value) {
  TwoPreviews = value;
  SetChecked(Frame->TwoSpeedButton, value);
  ArrangePreviews();
}

void TZelHandInpaintingTool::StepReflection(int32_t delta) {
  if (AutoReflection) return;
  if (delta > 0 && Reflection < 7) SetReflection(Reflection + 1);
  if (delta < 0 && Reflection > 0) SetReflection(Reflection - 1);
  UpdateFill();
}

void TZelHandInpaintingTool::UpdateFill() {
  SourceRect = quill::HandInpaintingSquare(Pointer, Size);
  if (Document == nullptr) {
    TZelGraphicsView* view = GraphicsEditor != nullptr ? GraphicsEditor->GetCurrentView() : nullptr;
    if (view == nullptr || !BeginOperation(view)) return;
  }
  ApplyDab(AreaRect);
  AddDirtyRect(AreaRect, false);
}

void TZelHandInpaintingTool::ToggleFillState() {
  if (Filling) {
    ConfirmFill();
    return;
  }
  if (GraphicsEditor == nullptr || !GraphicsEditor->ToolMayWork(this)) return;
  AreaRect = quill::HandInpaintingSquare(Pointer, Size);
  SizePreviews();
  UpdateFill();
  // Refused for want of memory: no fill is open.
  if (Document == nullptr) return;
  Filling = true;
  ArrangePreviews();
}

void TZelHandInpaintingTool::ConfirmFill() {
  if (Document != nullptr) {
    EndOperation();
    SetMark(true);
  }
  Filling = false;
  ArrangePreviews();
}

void TZelHandInpaintingTool::SetMark(bool value) {
  MarkSet = value;
  if (value) Mark = Pointer;
}

bool TZelHandInpaintingTool::PointerNearMark() const {
  return MarkSet && PointDistance(1, Mark.X, Mark.Y, Pointer.X, Pointer.Y) <= kMarkReach;
}

void TZelHandInpaintingTool::Cancel() {
  if (Filling) {
    // The live fill is dropped without a record: a record, even one undone at once,
    // would cut off every redo step.
    Filling = false;
    CancelOperation();
  } else if (GraphicsEditor != nullptr && GraphicsEditor->CanUndo()) {
    GraphicsEditor->Undo();
  }
  ArrangePreviews();
  RecordControl(QStringLiteral("CancelButton"), QStringLiteral("CancelButton"));
}

void TZelHandInpaintingTool::RenderFill(bool final) {
  if (Live == nullptr || !AreaFill.Marked()) return;
  const int32_t side = TargetBitmap.width();
  const int32_t margin = (side - Size) / 2;
  const quill::TPoint corner{AreaRect.Left - margin, AreaRect.Top - margin};
  // The final render shows only the area; the first shows its surroundings too.
  const quill::TRect drawn = final ? quill::TRect{margin, margin, margin + Size, margin + Size} : quill::TRect{0, 0, side, side};
  auto render = [&](QImage& picture, QWidget* view, uint8_t orientation, int32_t mode) {
    if (final) {
      AreaFill.Fill(SourceRect, orientation, mode, FillOptions());
    } else {
      AreaFill.Restore(FillOptions());
    }
    CopyPreview(picture, *Live, corner, drawn, view);
  };
  if (TwoPreviews) render(HandyBitmap, Frame->HandyImage, 0, TAreaCorrelator::kModeCopy);
  render(TargetBitmap, Frame->TargetImage, Reflection, Adjustment);
}

void TZelHandInpaintingTool::DrawLoupe() {
  TZelGraphicsDocument* document = GraphicsEditor != nullptr ? GraphicsEditor->GetCurrentDocument() : nullptr;
  if (document == nullptr) return;
  const int32_t half = TargetBitmap.width() / 2;
  CopyPreview(TargetBitmap, document->CommittedCopy, {Pointer.X - half, Pointer.Y - half},
              {0, 0, TargetBitmap.width(), TargetBitmap.height()}, Frame->TargetImage);
}

bool TZelHandInpaintingTool::SizePreviews() {
  // The design widths, not the widgets' (which are not laid out before the frame shows).
  const int32_t width = TwoPreviews ? kHandyImageSide : kTargetImageSide;
  const int32_t times = std::clamp(static_cast<int32_t>(width / static_cast<double>(Size) / kPreviewMargin),
                                   1, kMaxMagnification);
  const int32_t side = width / times;
  if (!TargetBitmap.isNull() && TargetBitmap.width() == side) return false;
  for (QImage* picture : {&TargetBitmap, &HandyBitmap}) {
    *picture = QImage(side, side, QImage::Format_BGR888);
    picture->fill(QColor(kOutsideGrey, kOutsideGrey, kOutsideGrey));
  }
  return true;
}

void TZelHandInpaintingTool::ArrangePreviews() {
  Frame->HandyImage->setVisible(TwoPreviews && Filling);
  Frame->TargetImage->setVisible(Loupe || Filling);
  if (TwoPreviews) {
    Frame->HandyImage->setGeometry(kPreviewGap, kPreviewGap, kHandyImageSide, kHandyImageSide);
    Frame->TargetImage->setGeometry(kPreviewGap, 2 * kPreviewGap + kHandyImageSide, kHandyImageSide,
                                    kHandyImageSide);
  } else {
    Frame->TargetImage->setGeometry(kPreviewGap, kPreviewGap, kTargetImageSide, kTargetImageSide);
  }
}

void TZelHandInpaintingTool::AdjustmentChanged(bool checked) {
  SetAdjustment(checked ? TAreaCorrelator::kModeColor : TAreaCorrelator::kModeCopy);
  RecordControl(QStringLiteral("Adjustment"), QStringLiteral("Adjustment ") + QString::number(Adjustment));
}

void TZelHandInpaintingTool::AntiAliasingChanged(bool checked) {
  SetAntiAliasing(checked);
  RecordControl(QStringLiteral("AntiAliasing"), QStringLiteral("AntiAliasing ") + QString::number(checked ? 1 : 0));
}

void TZelHandInpaintingTool::LongDefectChanged(bool checked) {
  SetLongDefect(checked);
  RecordControl(QStringLiteral("LongDefect"), QStringLiteral("LongDefect ") + QString::number(checked ? 1 : 0));
}

void TZelHandInpaintingTool::AutoReflectionChanged(bool checked) {
  SetAutoReflection(checked);
  RecordControl(QStringLiteral("AutoReflection"),
                QStringLiteral("AutoReflection ") + QString::number(checked ? 1 : 0));
}

void TZelHandInpaintingTool::ReflectionClicked(uint8_t orientation) {
  SetReflection(orientation);
  RecordControl(QString::fromLatin1(kReflectionNames[orientation]),
                QStringLiteral("AreaReflection ") + QString::number(orientation));
}

void TZelHandInpaintingTool::RecordControl(const QString& control, const QString& line) {
  if (Playback == nullptr || !Playback->IsRecording() || Name.isEmpty()) return;
  Playback->RecordLine(QStringLiteral("MouseCurvedMove ") + Name + control);
  Playback->RecordLine(Name + line);
}

quill::THandInpaintingOptions TZelHandInpaintingTool::FillOptions() const {
  return {.LongDefect = LongDefect, .AntiAliasing = AntiAliasing};
}

void TZelHandInpaintingTool::CopyPreview(QImage& picture, const TZelPixels& source, const quill::TPoint& corner,
                                         const quill::TRect& drawn, QWidget* view) {
  const quill::TRect target = IntersectRect(drawn, {0, 0, picture.width(), picture.height()});
  const quill::TRect bounds = source.GetBounds();
  for (int32_t y = target.Top; y < target.Bottom; ++y) {
    uchar* pixel = picture.scanLine(y) + size_t(target.Left) * 3;
    const int64_t imageY = int64_t{corner.Y} + y;
    for (int32_t x = target.Left; x < target.Right; ++x, pixel += 3) {
      const int64_t imageX = int64_t{corner.X} + x;
      if (imageX >= bounds.Left && imageX < bounds.Right && imageY >= bounds.Top && imageY < bounds.Bottom) {
        std::memcpy(pixel, source.GetPixelAddress(static_cast<int32_t>(imageX), static_cast<int32_t>(imageY)), 3);
      } else {
        std::memset(pixel, kOutsideGrey, 3);
      }
    }
  }
  view->update();
}

// ---- TZelHandInpaintingToolControl ----

void TZelHandInpaintingToolControl::InitFlags() {
  SetFlags(quill::kViewObjectContent | quill::kViewObjectOverlay | quill::kViewObjectNoExtent);
}

bool TZelHandInpaintingToolControl::MouseDown(quill::TMouseButton button, quill::TShiftState /*shift*/,
                                              const quill::TPoint& point) {
  if (!Active) return false;
  HandTool()->Pointer = View->ClientToImage(point);
  if (button == quill::mbLeft) HandTool()->ToggleFillState();
  return true;
}

bool TZelHandInpaintingToolControl::MouseMove(quill::TShiftState shift, const quill::TPoint& point) {
  if (!Active) return false;
  TZelHandInpaintingTool* tool = HandTool();
  tool->Pointer = View->ClientToImage(point);
  if (tool->Filling) {
    tool->UpdateFill();
  } else if (tool->Loupe && !tool->PointerNearMark()) {
    tool->DrawLoupe();
  }
  return TZelBrushToolControl::MouseMove(shift, point);
}

bool TZelHandInpaintingToolControl::MouseWheel(quill::TShiftState shift, int delta, const quill::TPoint& point) {
  if (!Active) return false;
  if (!HandTool()->Filling) return TZelBrushToolControl::MouseWheel(shift, delta, point);
  HandTool()->StepReflection(delta);
  return true;
}

bool TZelHandInpaintingToolControl::KeyDown(uint16_t key, quill::TShiftState shift) {
  if (!Active) return false;
  TZelHandInpaintingTool* tool = HandTool();
  const bool ctrl = (shift & quill::ssCtrl) != 0;
  const bool arrow = key == quill::VK_LEFT || key == quill::VK_UP || key == quill::VK_RIGHT ||
                     key == quill::VK_DOWN;
  if (ctrl && arrow) {
    if (!tool->Filling) return TZelBrushToolControl::KeyDown(key, shift);
    tool->StepReflection(key == quill::VK_UP || key == quill::VK_RIGHT ? 1 : -1);
    return true;
  }
  if (ctrl && (key == 'A' || key == 'N' || key == 'R')) {
    if (key == 'A') {
      tool->AdjustmentChanged(tool->Adjustment != TAreaCorrelator::kModeColor);
    } else if (key == 'N') {
      tool->AntiAliasingChanged(!tool->AntiAliasing);
    } else if (tool->Frame->AreaReflectionPanel->isEnabled()) {
      tool->AutoReflectionChanged(!tool->AutoReflection);
    }
    // Only a running fill shows the change at once; while marking there is none to redo.
    if (tool->Filling) tool->UpdateFill();
    return true;
  }
  // The pointer keys, with any modifiers but Ctrl on the arrows (taken above).
  int dx = 0;
  int dy = 0;
  switch (key) {
    case quill::VK_PRIOR: dx = 1; dy = -1; break;
    case quill::VK_NEXT: dx = 1; dy = 1; break;
    case quill::VK_END: dx = -1; dy = 1; break;
    case quill::VK_HOME: dx = -1; dy = -1; break;
    case quill::VK_LEFT: dx = -1; break;
    case quill::VK_UP: dy = -1; break;
    case quill::VK_RIGHT: dx = 1; break;
    case quill::VK_DOWN: dy = 1; break;
    default: break;
  }
  if (dx != 0 || dy != 0) {
    const int step = (shift & quill::ssShift) != 0 ? 5 : 1;
    const quill::TPoint at = tool->Driver->GetPosition();
    tool->Driver->SetPosition({at.X + dx * step, at.Y + dy * step});
    return true;
  }
  if (key == quill::VK_RETURN) {
    tool->ToggleFillState();
    return true;
  }
  if (key == quill::VK_ESCAPE || (ctrl && key == 'Z')) {
    if (tool->Filling) tool->Cancel();
    return true;
  }
  return false;
}

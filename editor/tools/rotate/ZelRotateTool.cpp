#include "ZelRotateTool.h"

#include <QAction>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "MainForm.h"
#include "ZelFlowToolbar.h"
#include "RasterSurface.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelLocalizer.h"
#include "ZelToolPanelModule.h"
#include "ZelToolSupport.h"
#include "ZelViewCanvas.h"

namespace {

// String ids.
constexpr int32_t kRotateText = 2024;
constexpr int32_t kRotateRightText = 2025;
constexpr int32_t kRotateLeftText = 2026;
constexpr int32_t kFlipVerticalText = 2109;
constexpr int32_t kFlipHorizontalText = 2110;

constexpr int kThumbnailWidth = 176;
constexpr int kThumbnailHeight = 150;

QString RotateTitle() { return GetLocalizedString(kRotateText, QStringLiteral("Rotation & Flip")); }

}  // namespace

namespace quill {

bool ApplyRotation(TZelGraphicsDocument& document, uint8_t kind) {
  switch (kind) {
    case kRotateLeft:
      return document.RotateLeft();
    case kRotateRight:
      return document.RotateRight();
    case kFlipHorizontal:
      return document.FlipHorizontal();
    case kFlipVertical:
      return document.FlipVertical();
    default:
      return true;
  }
}

uint8_t InverseRotation(uint8_t kind) {
  if (kind == kRotateLeft) return kRotateRight;
  if (kind == kRotateRight) return kRotateLeft;
  return kind;
}

}  // namespace quill

// ---- TZelRotateFrame ----

TZelRotateFrame::TZelRotateFrame(TZelComponent* owner) : TZelFrame(owner) {
  TitleLabel = quill::NewTitleLabel(QString(), true, this);

  PreviewControl = new QWidget(this);
  PreviewPanel = new QWidget(PreviewControl);
  ThumbnailView = new quill::TZelPaintBox(PreviewPanel);
  ThumbnailView->setFixedSize(kThumbnailWidth, kThumbnailHeight);
  ThumbnailView->setAttribute(Qt::WA_OpaquePaintEvent);
  ThumbnailView->OnPaint = [this](QPainter& painter) { ThumbnailViewPaint(painter); };
  auto* panelLayout = new QHBoxLayout(PreviewPanel);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->addWidget(ThumbnailView, 0, Qt::AlignHCenter);
  RotateRightRadioButton = new QRadioButton(PreviewControl);
  RotateLeftRadioButton = new QRadioButton(PreviewControl);
  FlipHorizontalRadioButton = new QRadioButton(PreviewControl);
  FlipVerticalRadioButton = new QRadioButton(PreviewControl);
  RotateButton = new QPushButton(PreviewControl);
  auto* previewLayout = new QVBoxLayout(PreviewControl);
  previewLayout->setContentsMargins(0, 0, 0, 0);
  previewLayout->addWidget(PreviewPanel);
  for (QRadioButton* radio : {RotateRightRadioButton, RotateLeftRadioButton,
                              FlipHorizontalRadioButton, FlipVerticalRadioButton}) {
    previewLayout->addWidget(radio);
    connect(radio, &QRadioButton::toggled, this, [this, radio] { RotateRadioButtonChange(radio); });
  }
  previewLayout->addWidget(RotateButton);

  RotateRightButton = new QPushButton(this);
  RotateLeftButton = new QPushButton(this);
  FlipHorizontalButton = new QPushButton(this);
  FlipVerticalButton = new QPushButton(this);
  ShowOptions = new quill::TZelShowOptionsLink(this);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(TitleLabel);
  layout->addWidget(PreviewControl);
  for (QPushButton* button : {RotateRightButton, RotateLeftButton, FlipHorizontalButton, FlipVerticalButton}) {
    layout->addWidget(button);
  }
  layout->addWidget(ShowOptions, 0, Qt::AlignLeft);
  layout->addStretch(1);

  RotateRightRadioButton->setChecked(true);
  connect(RotateLeftButton, &QPushButton::clicked, this, [this] { RotateLeftButtonClick(); });
  connect(RotateRightButton, &QPushButton::clicked, this, [this] { RotateRightButtonClick(); });
  connect(FlipHorizontalButton, &QPushButton::clicked, this, [this] { FlipHorizontalButtonClick(); });
  connect(FlipVerticalButton, &QPushButton::clicked, this, [this] { FlipVerticalButtonClick(); });
  connect(RotateButton, &QPushButton::clicked, this, [this] { RotateButtonClick(); });
  connect(ShowOptions, &QToolButton::clicked, this, [this] { ShowOptionsButtonClick(); });
}

TZelRotateFrame::~TZelRotateFrame() = default;

uint8_t TZelRotateFrame::SelectedKind() const {
  if (RotateLeftRadioButton->isChecked()) return quill::kRotateLeft;
  if (RotateRightRadioButton->isChecked()) return quill::kRotateRight;
  if (FlipHorizontalRadioButton->isChecked()) return quill::kFlipHorizontal;
  if (FlipVerticalRadioButton->isChecked()) return quill::kFlipVertical;
  return quill::kRotateNone;
}

void TZelRotateFrame::UpdatePreview() {
  if (Tool == nullptr || !Tool->Active || PreviewControl->isHidden() || GraphicsEditor == nullptr) return;
  TZelGraphicsDocument* document = GraphicsEditor->GetCurrentDocument();
  if (document == nullptr) return;
  PreviewBitmap.reset();
  if (SourceBitmap == nullptr) SetPreviewSource(document);
  if (SourceBitmap != nullptr) {
    PreviewBitmap = SourceBitmap->Clone();
    if (PreviewBitmap != nullptr) {
      switch (SelectedKind()) {
        case quill::kRotateLeft:
          PreviewBitmap->RotateLeft();
          break;
        case quill::kRotateRight:
          PreviewBitmap->RotateRight();
          break;
        case quill::kFlipHorizontal:
          PreviewBitmap->FlipHorizontal();
          break;
        case quill::kFlipVertical:
          PreviewBitmap->FlipVertical();
          break;
        default:
          break;
      }
    }
  }
  ThumbnailView->update();
}

void TZelRotateFrame::SetPreviewSource(TZelGraphicsDocument* document) {
  SourceBitmap.reset();
  if (document == nullptr || Tool == nullptr || !Tool->Active || PreviewControl->isHidden()) return;
  const int side = std::max(1, std::min(ThumbnailView->width(), ThumbnailView->height()) - 2);
  SourceBitmap = document->ResampledCopy(side);
}

void TZelRotateFrame::SelectOption(QRadioButton* radioButton) { radioButton->setChecked(true); }

void TZelRotateFrame::RotateLeftButtonClick() {
  if (Tool == nullptr) return;
  Tool->RotateLeft();
  quill::RecordClick(Tool->Playback, Tool->Name + QStringLiteral("Left"));
}

void TZelRotateFrame::RotateRightButtonClick() {
  if (Tool == nullptr) return;
  Tool->RotateRight();
  quill::RecordClick(Tool->Playback, Tool->Name + QStringLiteral("Right"));
}

void TZelRotateFrame::FlipHorizontalButtonClick() {
  if (Tool == nullptr) return;
  Tool->FlipHorizontal();
  quill::RecordClick(Tool->Playback, Tool->Name + QStringLiteral("Horizontal"));
}

void TZelRotateFrame::FlipVerticalButtonClick() {
  if (Tool == nullptr) return;
  Tool->FlipVertical();
  quill::RecordClick(Tool->Playback, Tool->Name + QStringLiteral("Vertical"));
}

void TZelRotateFrame::RotateRadioButtonChange(QRadioButton* sender) {
  if (!sender->isChecked()) return;
  RotateButton->setText(sender->text());
  UpdatePreview();
  if (Tool == nullptr) return;
  QString option;
  if (sender == RotateLeftRadioButton) option = QStringLiteral("LeftOption");
  if (sender == RotateRightRadioButton) option = QStringLiteral("RightOption");
  if (sender == FlipHorizontalRadioButton) option = QStringLiteral("HorizontalOption");
  if (sender == FlipVerticalRadioButton) option = QStringLiteral("VerticalOption");
  quill::RecordClick(Tool->Playback, Tool->Name + option);
}

void TZelRotateFrame::RotateButtonClick() {
  if (Tool == nullptr) return;
  Tool->Perform(SelectedKind());
  UpdatePreview();
  quill::RecordClick(Tool->Playback, Tool->Name + QStringLiteral("Perform"));
}

void TZelRotateFrame::ThumbnailViewPaint(QPainter& painter) {
  const QRect box = ThumbnailView->rect();
  painter.setPen(palette().color(QPalette::Mid));
  painter.setBrush(palette().color(QPalette::Base));
  painter.drawRect(box.adjusted(0, 0, -1, -1));
  if (PreviewBitmap == nullptr || PreviewBitmap->IsEmpty()) return;
  const int32_t width = PreviewBitmap->GetWidth();
  const int32_t height = PreviewBitmap->GetHeight();
  const int32_t left = (box.width() - width) / 2;
  const int32_t top = (box.height() - height) / 2;
  quill::TRasterSurface surface(painter);
  PreviewBitmap->Draw(surface, {left, top, left + width, top + height}, PreviewBitmap->GetBounds(),
                      quill::QRectToRect(box));
}

void TZelRotateFrame::ShowOptionsButtonClick() {
  if (Tool != nullptr) Tool->SetOptionsShown(!Tool->OptionsShown);
}

// ---- TZelRotateTool ----

TZelRotateTool::TZelRotateTool(TZelComponent* owner)
    : TZelFramedTool(owner, RotateTitle(), QStringLiteral("Right")) {
  Frame->Tool = this;
  Name = QStringLiteral("Rotation");
  SetOptionsShown(false);
}

void TZelRotateTool::RotateLeft() { Perform(quill::kRotateLeft); }

void TZelRotateTool::RotateRight() { Perform(quill::kRotateRight); }

void TZelRotateTool::FlipHorizontal() { Perform(quill::kFlipHorizontal); }

void TZelRotateTool::FlipVertical() { Perform(quill::kFlipVertical); }

void TZelRotateTool::Perform(uint8_t kind) {
  if (kind < quill::kRotateLeft || kind > quill::kFlipVertical || !quill::ToolMayStart(*this)) return;
  const quill::TZelHourglass hourglass;
  if (!BeginOperation(GraphicsEditor->GetCurrentView())) return;
  Kind = kind;
  if (!quill::ApplyRotation(*Document, kind)) {
    // Nothing was turned: no record.
    CancelOperation();
    ZelApplication->ShowMemoryMessage();
    return;
  }
  RefreshPreview();
  EndOperation();
}

void TZelRotateTool::SetOptionsShown(bool value) {
  OptionsShown = value;
  LayoutOptions();
  quill::RecordMoveAndLine(*this, Name + QStringLiteral("Options"),
                           Name + (value ? QStringLiteral("ShowOptions") : QStringLiteral("HideOptions")));
}

void TZelRotateTool::LayoutOptions() {
  if (Frame == nullptr) return;
  for (QPushButton* button : {Frame->RotateRightButton, Frame->RotateLeftButton,
                              Frame->FlipHorizontalButton, Frame->FlipVerticalButton}) {
    button->setVisible(!OptionsShown);
  }
  Frame->PreviewControl->setVisible(OptionsShown);
  Frame->ShowOptions->SetShown(OptionsShown);
  if (OptionsShown) Frame->UpdatePreview();
}

void TZelRotateTool::RefreshPreview() {
  if (Frame == nullptr || GraphicsEditor == nullptr) return;
  Frame->SetPreviewSource(GraphicsEditor->GetCurrentDocument());
  Frame->UpdatePreview();
}

void TZelRotateTool::Localize() {
  if (Button != nullptr) Button->setToolTip(RotateTitle());
  if (Frame == nullptr) return;
  TZelRotateFrame& frame = *Frame;
  frame.TitleLabel->setText(RotateTitle());
  frame.RotateRightButton->setText(GetLocalizedString(kRotateRightText));
  frame.RotateRightRadioButton->setText(GetLocalizedString(kRotateRightText));
  frame.RotateLeftButton->setText(GetLocalizedString(kRotateLeftText));
  frame.RotateLeftRadioButton->setText(GetLocalizedString(kRotateLeftText));
  frame.FlipHorizontalButton->setText(GetLocalizedString(kFlipHorizontalText));
  frame.FlipHorizontalRadioButton->setText(GetLocalizedString(kFlipHorizontalText));
  frame.FlipVerticalButton->setText(GetLocalizedString(kFlipVerticalText));
  frame.FlipVerticalRadioButton->setText(GetLocalizedString(kFlipVerticalText));
  frame.ShowOptions->SetShown(OptionsShown);
  for (QRadioButton* radio : {frame.RotateLeftRadioButton, frame.RotateRightRadioButton,
                              frame.FlipHorizontalRadioButton, frame.FlipVerticalRadioButton}) {
    if (radio->isChecked()) {
      frame.RotateButton->setText(radio->text());
      break;
    }
  }
}

void TZelRotateTool::UpdateControls() {
  if (Button == nullptr || GraphicsEditor == nullptr) return;
  const bool checked = GraphicsEditor->CurrentTool == this;
  const bool enabled = quill::ToolMayStart(*this);
  Button->setChecked(checked);
  Button->setEnabled(enabled);
  if (Frame != nullptr) Frame->SetControlsEnabled(enabled && checked);
}

void TZelRotateTool::ExecuteCommand(TZelDemoPlayback* sender, const QString& command, bool& handled,
                                    const TZelProperties* params) {
  TZelGraphicsTool::ExecuteCommand(sender, command, handled, params);
  const QString name = Name.toUpper();
  if (handled || Frame == nullptr || !command.startsWith(name)) return;
  const QString word = command.mid(name.size());
  TZelRotateFrame& frame = *Frame;
  handled = true;
  if (word == QLatin1String("LEFT")) {
    RotateLeft();
  } else if (word == QLatin1String("RIGHT")) {
    RotateRight();
  } else if (word == QLatin1String("HORIZONTAL")) {
    FlipHorizontal();
  } else if (word == QLatin1String("VERTICAL")) {
    FlipVertical();
  } else if (word == QLatin1String("LEFTOPTION")) {
    frame.SelectOption(frame.RotateLeftRadioButton);
  } else if (word == QLatin1String("RIGHTOPTION")) {
    frame.SelectOption(frame.RotateRightRadioButton);
  } else if (word == QLatin1String("HORIZONTALOPTION")) {
    frame.SelectOption(frame.FlipHorizontalRadioButton);
  } else if (word == QLatin1String("VERTICALOPTION")) {
    frame.SelectOption(frame.FlipVerticalRadioButton);
  } else if (word == QLatin1String("PERFORM")) {
    frame.RotateButtonClick();
  } else if (word == QLatin1String("SHOWOPTIONS")) {
    SetOptionsShown(quill::ScriptBoolean(params, true));
  } else if (word == QLatin1String("HIDEOPTIONS")) {
    SetOptionsShown(quill::ScriptBoolean(params, false));
  } else {
    handled = false;
  }
}

void TZelRotateTool::GetTargetPoint(TZelDemoPlayback* /*sender*/, const TZelProperties* params, bool& found, quill::TPoint& point) {
  if (Frame == nullptr) return;
  const TZelRotateFrame& frame = *Frame;
  found = quill::FindToolTarget(params, Name, Button, {
      {"VIEW", frame.ThumbnailView},
      {"RIGHTOPTION", frame.RotateRightRadioButton},
      {"LEFTOPTION", frame.RotateLeftRadioButton},
      {"HORIZONTALOPTION", frame.FlipHorizontalRadioButton},
      {"VERTICALOPTION", frame.FlipVerticalRadioButton},
      {"RIGHT", frame.RotateRightButton},
      {"LEFT", frame.RotateLeftButton},
      {"HORIZONTAL", frame.FlipHorizontalButton},
      {"VERTICAL", frame.FlipVerticalButton},
      {"PERFORM", frame.RotateButton},
      {"OPTIONS", frame.ShowOptions},
  }, point);
}

void TZelRotateTool::CommitOperation() {
  Document->AddCommandState(std::make_unique<TZelRotateCommandState>(this, Document, Kind));
}

void TZelRotateTool::DocumentOpened(TZelGraphicsDocument* document) {
  if (Frame != nullptr) {
    Frame->SetPreviewSource(document);
    Frame->UpdatePreview();
  }
  TZelGraphicsTool::DocumentOpened(document);
}

void TZelRotateTool::Activate() {
  TZelFramedTool::Activate();
  RefreshPreview();
}

// ---- TZelRotateCommandState ----

TZelRotateCommandState::TZelRotateCommandState(TZelRotateTool* tool, TZelGraphicsDocument* document,
                                               uint8_t kind)
    : TZelCustomGraphicsCommandState(tool, document->GetBounds(), document), Kind(kind) {}

bool TZelRotateCommandState::TryUndo() {
  if (!Apply(quill::InverseRotation(Kind))) return false;
  TZelCustomGraphicsCommandState::Undo();
  return true;
}

bool TZelRotateCommandState::TryRedo() {
  if (!Apply(Kind)) return false;
  TZelCustomGraphicsCommandState::Redo();
  return true;
}

bool TZelRotateCommandState::Apply(uint8_t kind) {
  const quill::TZelHourglass hourglass;
  if (!quill::ApplyRotation(*Document, kind)) {
    ZelApplication->ShowMemoryMessage();
    return false;
  }
  static_cast<TZelRotateTool*>(Tool)->RefreshPreview();
  return true;
}

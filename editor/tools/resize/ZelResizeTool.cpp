#include "ZelResizeTool.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "ImageCodecs.h"
#include "MainForm.h"
#include "ZelFlowToolbar.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelLocalizer.h"
#include "ZelResample.h"
#include "ZelStringIds.h"
#include "ZelToolPanelModule.h"
#include "ZelToolSupport.h"

namespace {

// String ids.
constexpr int32_t kResizeText = 108;
constexpr int32_t kNewSizeText = 2027;
constexpr int32_t kConstrainProportionsText = 2028;
constexpr int32_t kResizeMemoryText = 2898;

QString ResizeTitle() { return GetLocalizedString(kResizeText, QStringLiteral("Resize")); }

// Reads Text as a whole number: an optional sign and digits, nothing else. Large
// numbers are kept to 32 bits.
bool ReadWholeNumber(const QString& text, int32_t& value) {
  qsizetype i = 0;
  const bool negative = !text.isEmpty() && text[0] == u'-';
  if (!text.isEmpty() && (text[0] == u'-' || text[0] == u'+')) ++i;
  if (i == text.size()) return false;
  int64_t number = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') return false;
    number = std::min<int64_t>(number * 10 + (text[i].unicode() - u'0'), int64_t{INT32_MAX} + 1);
  }
  value = quill::SaturateInt32(negative ? -number : number);
  return true;
}

// Whether a picture of Width x Height is one the program could open again.
bool WithinPixelBudget(int32_t width, int32_t height) {
  return int64_t{width} * height <= quill::kMaxImagePixels;
}

// The message that a resize to Width x Height cannot be done.
void ReportResizeFailure(int32_t width, int32_t height) {
  const QString size = QStringLiteral("%1 x %2").arg(width).arg(height);
  ZelApplication->MessageBox(FormatText(GetLocalizedString(kResizeMemoryText), size), MB_ICONERROR);
}

}  // namespace

namespace quill {

int32_t KeepResizeSide(int32_t value) { return ClampInt(value, kMinResizeSide, kMaxResizeSide); }

int32_t KeepProportionalSide(int32_t value) { return value < 0 ? kMaxResizeSide : KeepResizeSide(value); }

}  // namespace quill

// ---- TZelResizeFrame ----

TZelResizeFrame::TZelResizeFrame(TZelComponent* owner) : TZelFrame(owner) {
  TitleLabel = quill::NewTitleLabel(QString(), true, this);

  SizePanel = new QWidget(this);
  NewSizeLabel = new QLabel(SizePanel);
  WidthLabel = new QLabel(SizePanel);
  WidthEdit = new QSpinBox(SizePanel);
  HeightLabel = new QLabel(SizePanel);
  HeightEdit = new QSpinBox(SizePanel);
  auto* sizeLayout = new QGridLayout(SizePanel);
  sizeLayout->setContentsMargins(0, 0, 0, 0);
  sizeLayout->addWidget(NewSizeLabel, 0, 0, 1, 2);
  sizeLayout->addWidget(WidthLabel, 1, 0);
  sizeLayout->addWidget(WidthEdit, 1, 1);
  sizeLayout->addWidget(HeightLabel, 2, 0);
  sizeLayout->addWidget(HeightEdit, 2, 1);
  sizeLayout->setColumnStretch(1, 1);
  for (QSpinBox* edit : {WidthEdit, HeightEdit}) {
    edit->setRange(quill::kMinResizeSide, quill::kMaxResizeSide);
    edit->setAccelerated(true);
  }

  ConstrainProportionsCheckBox = new QCheckBox(this);
  OkPanel = new QWidget(this);
  OkButton = new QPushButton(OkPanel);
  CancelButton = new QPushButton(OkPanel);
  auto* okLayout = new QHBoxLayout(OkPanel);
  okLayout->setContentsMargins(0, 0, 0, 0);
  okLayout->addWidget(OkButton);
  okLayout->addWidget(CancelButton);
  ShowOptions = new quill::TZelShowOptionsLink(this);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(TitleLabel);
  layout->addWidget(SizePanel);
  layout->addWidget(ConstrainProportionsCheckBox);
  layout->addWidget(OkPanel);
  layout->addWidget(ShowOptions, 0, Qt::AlignLeft);
  layout->addStretch(1);

  connect(WidthEdit, &QSpinBox::textChanged, this, [this](const QString& text) { WidthEditChange(text); });
  connect(HeightEdit, &QSpinBox::textChanged, this, [this](const QString& text) { HeightEditChange(text); });
  connect(ConstrainProportionsCheckBox, &QCheckBox::toggled, this,
          [this](bool checked) { ConstrainProportionsCheckBoxChange(checked); });
  connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
  connect(ShowOptions, &QToolButton::clicked, this, [this] { ShowOptionsButtonClick(); });
}

void TZelResizeFrame::ShowWidth(int32_t value) {
  showing_ = true;
  WidthEdit->setValue(value);
  showing_ = false;
}

void TZelResizeFrame::ShowHeight(int32_t value) {
  showing_ = true;
  HeightEdit->setValue(value);
  showing_ = false;
}

void TZelResizeFrame::ShowConstrainProportions(bool value) {
  showing_ = true;
  ConstrainProportionsCheckBox->setChecked(value);
  showing_ = false;
}

void TZelResizeFrame::WidthEditChange(const QString& text) {
  int32_t value = 0;
  if (showing_ || Tool == nullptr || !ReadWholeNumber(text, value)) return;
  Tool->SetNewWidth(value);
  if (Tool->Playback != nullptr && Tool->Playback->IsRecording()) {
    Tool->Playback->RecordLine(Tool->Name + QStringLiteral("Width ") + QString::number(value));
  }
}

void TZelResizeFrame::HeightEditChange(const QString& text) {
  int32_t value = 0;
  if (showing_ || Tool == nullptr || !ReadWholeNumber(text, value)) return;
  Tool->SetNewHeight(value);
  if (Tool->Playback != nullptr && Tool->Playback->IsRecording()) {
    Tool->Playback->RecordLine(Tool->Name + QStringLiteral("Height ") + QString::number(value));
  }
}

void TZelResizeFrame::ConstrainProportionsCheckBoxChange(bool checked) {
  if (showing_ || Tool == nullptr) return;
  Tool->SetConstrainProportions(checked);
  quill::RecordMoveAndLine(*Tool, Tool->Name + QStringLiteral("Proportions"),
                           Tool->Name + (checked ? QStringLiteral("Proportional")
                                                 : QStringLiteral("Disproportional")));
}

void TZelResizeFrame::OkButtonClick() {
  if (Tool == nullptr) return;
  Tool->Perform();
  quill::RecordClick(Tool->Playback, Tool->Name + QStringLiteral("Perform"));
}

void TZelResizeFrame::CancelButtonClick() {
  if (Tool == nullptr) return;
  Tool->ResetSize();
  quill::RecordClick(Tool->Playback, Tool->Name + QStringLiteral("Cancel"));
}

void TZelResizeFrame::ShowOptionsButtonClick() {
  if (Tool != nullptr) Tool->SetOptionsShown(!Tool->OptionsShown);
}

// ---- TZelResizeTool ----

TZelResizeTool::TZelResizeTool(TZelComponent* owner)
    : TZelFramedTool(owner, ResizeTitle(), QStringLiteral("Resize")) {
  Frame->Tool = this;
  Name = QStringLiteral("Resize");
  SetOptionsShown(false);
  SetConstrainProportions(true);
}

int32_t TZelResizeTool::ImageWidth() const {
  const TZelGraphicsDocument* document = GraphicsEditor != nullptr ? GraphicsEditor->GetCurrentDocument() : nullptr;
  return document != nullptr ? std::max(1, document->CurrentImage.GetWidth()) : 1;
}

int32_t TZelResizeTool::ImageHeight() const {
  const TZelGraphicsDocument* document = GraphicsEditor != nullptr ? GraphicsEditor->GetCurrentDocument() : nullptr;
  return document != nullptr ? std::max(1, document->CurrentImage.GetHeight()) : 1;
}

void TZelResizeTool::SetNewWidth(int32_t value) {
  if (value == NewWidth) return;
  NewWidth = quill::KeepResizeSide(value);
  if (ConstrainProportions) {
    NewHeight = quill::KeepProportionalSide(ProportionalHeight(ImageHeight(), NewWidth, ImageWidth()));
    if (Frame != nullptr) Frame->ShowHeight(NewHeight);
  }
  if (Frame != nullptr) Frame->ShowWidth(NewWidth);
}

void TZelResizeTool::SetNewHeight(int32_t value) {
  if (value == NewHeight) return;
  NewHeight = quill::KeepResizeSide(value);
  if (ConstrainProportions) {
    NewWidth = quill::KeepProportionalSide(ProportionalWidth(ImageWidth(), NewHeight, ImageHeight()));
    if (Frame != nullptr) Frame->ShowWidth(NewWidth);
  }
  if (Frame != nullptr) Frame->ShowHeight(NewHeight);
}

void TZelResizeTool::SetConstrainProportions(bool value) {
  if (value == ConstrainProportions) return;
  ConstrainProportions = value;
  if (Frame != nullptr) Frame->ShowConstrainProportions(value);
  if (!value) return;
  int32_t width = 0;
  int32_t height = 0;
  if (!ScaleToFit(ImageWidth(), ImageHeight(), NewWidth, NewHeight, width, height)) return;
  NewWidth = quill::KeepProportionalSide(width);
  NewHeight = quill::KeepProportionalSide(height);
  ShowSizes();
}

void TZelResizeTool::SetOptionsShown(bool value) {
  OptionsShown = value;
  LayoutOptions();
  quill::RecordMoveAndLine(*this, Name + QStringLiteral("Options"),
                           Name + (value ? QStringLiteral("ShowOptions") : QStringLiteral("HideOptions")));
}

void TZelResizeTool::LayoutOptions() {
  if (Frame == nullptr) return;
  // The tool has no further options: the link stays hidden.
  Frame->ShowOptions->setVisible(false);
  Frame->ShowOptions->SetShown(OptionsShown);
}

void TZelResizeTool::ResetSize() {
  if (GraphicsEditor == nullptr || GraphicsEditor->GetCurrentDocument() == nullptr) return;
  SetNewWidth(ImageWidth());
  SetNewHeight(ImageHeight());
}

void TZelResizeTool::Perform() {
  if (!quill::ToolMayStart(*this)) return;
  const int32_t width = NewWidth;
  const int32_t height = NewHeight;
  // A picture the program could not open again is not made.
  if (!WithinPixelBudget(width, height)) {
    ReportResizeFailure(width, height);
    return;
  }
  bool resized = false;
  {
    const quill::TZelHourglass hourglass;
    if (!BeginOperation(GraphicsEditor->GetCurrentView())) return;
    TZelGraphicsDocument* document = Document;
    const quill::TRect rect = document->GetBounds();
    const quill::TLosslessJpeg::TGeometry jpeg =
        document->JPEG != nullptr ? document->JPEG->GetGeometry() : quill::TLosslessJpeg::TGeometry();
    auto savedImage = std::make_unique<TZelLTBitmap>();
    auto savedOriginal = std::make_unique<TZelLTBitmap>();
    resized = document->Resize(width, height, savedImage.get(), savedOriginal.get());
    EndOperation();
    if (resized) {
      document->AddCommandState(std::make_unique<TZelResizeCommandState>(
          this, document, rect, width, height, std::move(savedImage), std::move(savedOriginal), jpeg));
    }
  }
  if (!resized) {
    ReportResizeFailure(width, height);
    return;
  }
  ResetSize();
}

void TZelResizeTool::ShowSizes() {
  if (Frame == nullptr) return;
  Frame->ShowWidth(NewWidth);
  Frame->ShowHeight(NewHeight);
  Frame->ShowConstrainProportions(ConstrainProportions);
}

void TZelResizeTool::Localize() {
  if (Button != nullptr) Button->setToolTip(ResizeTitle());
  if (Frame == nullptr) return;
  TZelResizeFrame& frame = *Frame;
  frame.TitleLabel->setText(ResizeTitle());
  frame.NewSizeLabel->setText(GetLocalizedString(kNewSizeText) + QLatin1Char(':'));
  frame.WidthLabel->setText(GetLocalizedString(quill::kWidthText) + QLatin1Char(':'));
  frame.HeightLabel->setText(GetLocalizedString(quill::kHeightText) + QLatin1Char(':'));
  frame.ConstrainProportionsCheckBox->setText(GetLocalizedString(kConstrainProportionsText));
  frame.OkButton->setText(GetLocalizedString(quill::kOkText));
  frame.CancelButton->setText(GetLocalizedString(quill::kCancelText));
  frame.ShowOptions->SetShown(OptionsShown);
}

void TZelResizeTool::UpdateControls() {
  if (Button == nullptr || GraphicsEditor == nullptr) return;
  const bool checked = GraphicsEditor->CurrentTool == this;
  const bool enabled = quill::ToolMayStart(*this);
  Button->setChecked(checked);
  Button->setEnabled(enabled);
  if (Frame == nullptr) return;
  Frame->SetControlsEnabled(enabled && checked);
  Frame->OkButton->setEnabled(NewWidth != ImageWidth() || NewHeight != ImageHeight());
  Frame->CancelButton->setEnabled(Frame->OkButton->isEnabled());
}

void TZelResizeTool::ExecuteCommand(TZelDemoPlayback* sender, const QString& command, bool& handled,
                                    const TZelProperties* params) {
  TZelGraphicsTool::ExecuteCommand(sender, command, handled, params);
  const QString name = Name.toUpper();
  if (handled || !command.startsWith(name)) return;
  const QString word = command.mid(name.size());
  handled = true;
  if (word == QLatin1String("WIDTH")) {
    SetNewWidth(quill::ScriptInteger(params, 100));
  } else if (word == QLatin1String("HEIGHT")) {
    SetNewHeight(quill::ScriptInteger(params, 100));
  } else if (word == QLatin1String("PERFORM")) {
    Perform();
  } else if (word == QLatin1String("CANCEL")) {
    ResetSize();
  } else if (word == QLatin1String("PROPORTIONAL")) {
    SetConstrainProportions(quill::ScriptBoolean(params, true));
  } else if (word == QLatin1String("DISPROPORTIONAL")) {
    SetConstrainProportions(quill::ScriptBoolean(params, false));
  } else if (word == QLatin1String("SHOWOPTIONS")) {
    SetOptionsShown(quill::ScriptBoolean(params, true));
  } else if (word == QLatin1String("HIDEOPTIONS")) {
    SetOptionsShown(quill::ScriptBoolean(params, false));
  } else {
    handled = false;
  }
}

void TZelResizeTool::GetTargetPoint(TZelDemoPlayback* /*sender*/, const TZelProperties* params, bool& found, quill::TPoint& point) {
  if (Frame == nullptr) return;
  const TZelResizeFrame& frame = *Frame;
  found = quill::FindToolTarget(params, Name, Button, {
      {"WIDTH", frame.WidthEdit},   {"HEIGHT", frame.HeightEdit},
      {"PROPORTIONS", frame.ConstrainProportionsCheckBox},
      {"PERFORM", frame.OkButton},  {"CANCEL", frame.CancelButton},
      {"OPTIONS", frame.ShowOptions},
  }, point);
}

void TZelResizeTool::DocumentOpened(TZelGraphicsDocument* document) {
  TZelGraphicsTool::DocumentOpened(document);
  NewWidth = quill::KeepResizeSide(document->CurrentImage.GetWidth());
  NewHeight = quill::KeepResizeSide(document->CurrentImage.GetHeight());
  if (GraphicsEditor != nullptr) {
    GraphicsEditor->SetWidthStatus(QString::number(document->CurrentImage.GetWidth()));
    GraphicsEditor->SetHeightStatus(QString::number(document->CurrentImage.GetHeight()));
  }
  ShowSizes();
}

void TZelResizeTool::Activate() {
  TZelFramedTool::Activate();
  SetNewWidth(ImageWidth());
  SetNewHeight(ImageHeight());
  ShowSizes();
}

// ---- TZelResizeCommandState ----

TZelResizeCommandState::TZelResizeCommandState(TZelResizeTool* tool, TZelGraphicsDocument* document,
                                               const quill::TRect& rect, int32_t newWidth, int32_t newHeight,
                                               std::unique_ptr<TZelLTBitmap> savedImage,
                                               std::unique_ptr<TZelLTBitmap> savedOriginal,
                                               const quill::TLosslessJpeg::TGeometry& savedJpeg)
    : TZelCustomGraphicsCommandState(tool, rect, document),
      NewWidth(newWidth),
      NewHeight(newHeight),
      SavedImage(std::move(savedImage)),
      SavedOriginal(std::move(savedOriginal)),
      SavedJpeg(savedJpeg) {}

bool TZelResizeCommandState::TryUndo() {
  return UndoGeometry(SavedImage->GetPixels(), SavedOriginal->GetPixels(), SavedJpeg, Rect);
}

void TZelResizeCommandState::Redo() { TryRedo(); }

bool TZelResizeCommandState::TryRedo() {
  bool resized = false;
  if (WithinPixelBudget(NewWidth, NewHeight)) {
    const quill::TZelHourglass hourglass;
    resized = Document->Resize(NewWidth, NewHeight);
  }
  if (!resized) {
    ReportResizeFailure(NewWidth, NewHeight);
    return false;
  }
  TZelCustomGraphicsCommandState::Redo();
  return true;
}

int64_t TZelResizeCommandState::GetSize() const {
  const auto bytes = [](const TZelLTBitmap& image) {
    return int64_t{image.GetPixels().Stride()} * image.GetHeight();
  };
  return static_cast<int64_t>(sizeof(*this)) + bytes(*SavedImage) + bytes(*SavedOriginal);
}

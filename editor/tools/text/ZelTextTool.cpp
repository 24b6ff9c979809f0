#include "ZelTextTool.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QFontComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QThread>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "MainForm.h"
#include "ZelDockablePanel.h"
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
#include "ZelTextMask.h"
#include "ZelTextToolControl.h"
#include "ZelToolPanelModule.h"
#include "ZelToolSupport.h"
#include "ZelUtils.h"

namespace {

constexpr int32_t kHintId = 2864;
constexpr int32_t kFontId = 151;
constexpr int32_t kFontColorId = 2012;
constexpr int32_t kBoldId = 2870;
constexpr int32_t kItalicId = 2872;
constexpr int32_t kUnderlineId = 2874;
constexpr int32_t kStrikeoutId = 2876;
constexpr int32_t kSelectedColorId = 2880;
constexpr int32_t kInvertedColorId = 2881;
constexpr int32_t kMaxInverseId = 2882;
constexpr int kDemoStepMs = 500;

// The colours the colour box offers, red-first, with their names.
struct TNamedColor {
  const char* Name;
  uint32_t Color;
};
constexpr TNamedColor kColors[] = {
    {"Black", 0x000000},      {"Maroon", 0x000080},      {"Green", 0x008000},
    {"Olive", 0x008080},      {"Navy", 0x800000},        {"Purple", 0x800080},
    {"Teal", 0x808000},       {"Gray", 0x808080},        {"Silver", 0xC0C0C0},
    {"Red", 0x0000FF},        {"Lime", 0x00FF00},        {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},       {"Fuchsia", 0xFF00FF},     {"Aqua", 0xFFFF00},
    {"White", 0xFFFFFF},      {"Money Green", 0xC0DCC0}, {"Sky Blue", 0xF0CAA6},
    {"Cream", 0xF0FBFF},      {"Medium Gray", 0xA4A0A0},
};

QColor ToQColor(uint32_t color) {
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

QToolButton* NewStyleButton(QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setCheckable(true);
  button->setAutoRaise(true);
  return button;
}

// The font for Family, Pixels high, in Style.
QFont TextFont(const QString& family, int pixelSize, int32_t style) {
  QFont font(family);
  font.setPixelSize(std::max(1, pixelSize));
  font.setBold((style & TZelTextTool::kBold) != 0);
  font.setItalic((style & TZelTextTool::kItalic) != 0);
  font.setUnderline((style & TZelTextTool::kUnderline) != 0);
  font.setStrikeOut((style & TZelTextTool::kStrikeout) != 0);
  // Grey-level smoothing only: the mask has one channel.
  font.setStyleStrategy(QFont::NoSubpixelAntialias);
  return font;
}

}  // namespace

// ---- TZelTextFrame ----

TZelTextFrame::TZelTextFrame(TZelComponent* owner, QWidget* parent)
    : TZelFrame(owner, parent),
      TitleLabel(quill::NewTitleLabel(QString(), false, this)),
      FontTntGroupBox(new QGroupBox(this)),
      BoldTBXButton(NewStyleButton(FontTntGroupBox)),
      ItalicTBXButton(NewStyleButton(FontTntGroupBox)),
      UnderlineTBXButton(NewStyleButton(FontTntGroupBox)),
      StrikeoutTBXButton(NewStyleButton(FontTntGroupBox)),
      FontNameComboBox(new QFontComboBox(FontTntGroupBox)),
      SizeTBXLabel(new QLabel(FontTntGroupBox)),
      SizeSpinEdit(new QSpinBox(FontTntGroupBox)),
      FontColorTntRadioGroup(new QGroupBox(FontTntGroupBox)),
      FontColorButtons(new QButtonGroup(this)),
      SelectedColorRadio(new QRadioButton(FontColorTntRadioGroup)),
      InvertedColorRadio(new QRadioButton(FontColorTntRadioGroup)),
      ColorBox(new QComboBox(FontTntGroupBox)),
      MaxInverseTBXCheckBox(new QCheckBox(FontTntGroupBox)),
      TextMemo(new QPlainTextEdit(this)) {

  QFont face = BoldTBXButton->font();
  face.setBold(true);
  BoldTBXButton->setFont(face);
  face = ItalicTBXButton->font();
  face.setItalic(true);
  ItalicTBXButton->setFont(face);
  face = UnderlineTBXButton->font();
  face.setUnderline(true);
  UnderlineTBXButton->setFont(face);
  face = StrikeoutTBXButton->font();
  face.setStrikeOut(true);
  StrikeoutTBXButton->setFont(face);

  // The list only offers the installed fonts: no name is typed into it.
  FontNameComboBox->setEditable(false);
  FontNameComboBox->setMaxVisibleItems(16);
  SizeSpinEdit->setRange(TZelTextTool::kMinFontSize, TZelTextTool::kMaxFontSize);
  // The size changes by the arrows only (its buttons, the arrow keys, the wheel): its
  // text cannot be typed, so it never stands empty or between two values.
  SizeSpinEdit->findChild<QLineEdit*>()->setReadOnly(true);

  FontColorButtons->addButton(SelectedColorRadio, 0);
  FontColorButtons->addButton(InvertedColorRadio, 1);
  SelectedColorRadio->setChecked(true);
  auto* radioLayout = new QVBoxLayout(FontColorTntRadioGroup);
  radioLayout->addWidget(SelectedColorRadio);
  radioLayout->addWidget(InvertedColorRadio);

  for (const TNamedColor& named : kColors) {
    QPixmap swatch(16, 12);
    swatch.fill(ToQColor(named.Color));
    ColorBox->addItem(QIcon(swatch), QString::fromLatin1(named.Name), QVariant(named.Color));
  }

  auto* styleRow = new QHBoxLayout;
  styleRow->addWidget(BoldTBXButton);
  styleRow->addWidget(ItalicTBXButton);
  styleRow->addWidget(UnderlineTBXButton);
  styleRow->addWidget(StrikeoutTBXButton);
  styleRow->addStretch();
  styleRow->addWidget(SizeTBXLabel);
  styleRow->addWidget(SizeSpinEdit);

  auto* fontLayout = new QVBoxLayout(FontTntGroupBox);
  fontLayout->addWidget(FontNameComboBox);
  fontLayout->addLayout(styleRow);
  fontLayout->addWidget(FontColorTntRadioGroup);
  fontLayout->addWidget(ColorBox);
  fontLayout->addWidget(MaxInverseTBXCheckBox);

  TextMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
  TextMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  TextMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(TitleLabel);
  layout->addWidget(FontTntGroupBox);
  layout->addWidget(TextMemo, 1);

  for (QToolButton* button : {BoldTBXButton, ItalicTBXButton, UnderlineTBXButton, StrikeoutTBXButton}) {
    connect(button, &QToolButton::clicked, this, [this] { BITBXButtonClick(); });
  }
  connect(ColorBox, &QComboBox::activated, this, [this] { ColorBoxSelect(); });
  connect(FontColorButtons, &QButtonGroup::idClicked, this, [this] { FontColorTntRadioGroupClick(); });
  connect(MaxInverseTBXCheckBox, &QCheckBox::clicked, this, [this] { MaxInverseTBXCheckBoxChange(); });
  connect(SizeSpinEdit, &QSpinBox::valueChanged, this, [this] { SizeSpinEditChange(); });
  connect(TextMemo, &QPlainTextEdit::textChanged, this, [this] { TextMemoChange(); });
  connect(FontNameComboBox, &QFontComboBox::currentFontChanged, this, [this] { TextMemoChange(); });
}

void TZelTextFrame::SelectColor(uint32_t color) {
  int index = ColorBox->findData(QVariant(color));
  if (index < 0) {
    QPixmap swatch(16, 12);
    swatch.fill(ToQColor(color));
    ColorBox->addItem(QIcon(swatch), ToQColor(color).name(), QVariant(color));
    index = ColorBox->count() - 1;
  }
  ColorBox->setCurrentIndex(index);
}

void TZelTextFrame::BITBXButtonClick() {
  if (Tool == nullptr) return;
  Tool->SetStyle((BoldTBXButton->isChecked() ? TZelTextTool::kBold : 0) |
                 (ItalicTBXButton->isChecked() ? TZelTextTool::kItalic : 0) |
                 (UnderlineTBXButton->isChecked() ? TZelTextTool::kUnderline : 0) |
                 (StrikeoutTBXButton->isChecked() ? TZelTextTool::kStrikeout : 0));
}

void TZelTextFrame::ColorBoxSelect() {
  if (Tool != nullptr) Tool->SetColor(ColorBox->currentData().toUInt());
}

void TZelTextFrame::FontColorTntRadioGroupClick() {
  if (Tool != nullptr) Tool->SetColorMode(FontColorButtons->checkedId());
}

void TZelTextFrame::MaxInverseTBXCheckBoxChange() {
  if (Tool != nullptr) Tool->SetMaxInverse(MaxInverseTBXCheckBox->isChecked());
}

void TZelTextFrame::SizeSpinEditChange() {
  const int value = SizeSpinEdit->value();
  SizeSpinEdit->setSingleStep(std::max<int>(1, static_cast<int>(quill::RoundHalfEven(value / 100.0))));
  if (Tool != nullptr) Tool->SetFontSize(value);
}

void TZelTextFrame::TextMemoChange() {
  if (Tool != nullptr) Tool->RenderText();
}

// ---- TZelTextTool ----

const QUuid TZelTextTool::kSettingsGuid("{663FE753-B6FB-4703-B7E5-6E8A8E0DD5E0}");

TZelTextTool::TZelTextTool(TZelComponent* owner)
    : TZelFramedTool(owner, QStringLiteral("Text"), QStringLiteral("Text")) {
  PluginCapable = true;
  Name = QStringLiteral("Text");
  ControlClass = &MakeControl<TZelTextToolControl>;
  Exclusive = true;
  SelectDefaultFont();
  ToolPanelModule->GetPanel()->SetMaxClientWidth(kPanelWidth);
  ToolPanelModule->GetPanel()->SetMinClientWidth(kPanelWidth);
  DemoWait = [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); };
  Frame->SizeSpinEdit->setValue(FontSize);
  Frame->SelectColor(Color);
  // The frame drives the tool only once the start values are in place.
  Frame->Tool = this;
}

void TZelTextTool::Localize() {
  const QString hint = GetLocalizedString(kHintId, QStringLiteral("Text"));
  Button->setToolTip(hint);
  Frame->TitleLabel->setText(hint);
  Frame->FontTntGroupBox->setTitle(GetLocalizedString(kFontId, QStringLiteral("Font")));
  const struct {
    QToolButton* Button;
    int32_t Id;
    const char* Caption;
    const char* Hint;
  } styles[] = {{Frame->BoldTBXButton, kBoldId, "B", "Bold"},
                {Frame->ItalicTBXButton, kItalicId, "I", "Italic"},
                {Frame->UnderlineTBXButton, kUnderlineId, "U", "Underline"},
                {Frame->StrikeoutTBXButton, kStrikeoutId, "S", "Strikeout"}};
  for (const auto& style : styles) {
    style.Button->setText(GetLocalizedString(style.Id, QString::fromLatin1(style.Caption)));
    style.Button->setToolTip(GetLocalizedString(style.Id + 1, QString::fromLatin1(style.Hint)));
  }
  Frame->SizeTBXLabel->setText(GetLocalizedString(quill::kSizeText, QStringLiteral("Size")) + QLatin1Char(':'));
  Frame->FontColorTntRadioGroup->setTitle(
      GetLocalizedString(kFontColorId, QStringLiteral("Font Colour")));
  Frame->SelectedColorRadio->setText(
      GetLocalizedString(kSelectedColorId, QStringLiteral("Selected colour")));
  Frame->InvertedColorRadio->setText(GetLocalizedString(kInvertedColorId, QStringLiteral("Inverted")));
  Frame->MaxInverseTBXCheckBox->setText(
      GetLocalizedString(kMaxInverseId, QStringLiteral("Maximum contrast")));
}

void TZelTextTool::LoadState(TZelSDFReader& reader) {
  TZelGraphicsTool::LoadState(reader);
  if (!reader.EnterGuidNode(1, kSettingsGuid)) return;
  int32_t value = 0;
  if (reader.ReadInteger(1, value)) SetFontSize(value);
  if (reader.ReadInteger(2, value)) SetColorMode(value);
  if (reader.ReadInteger(3, value)) SetColor(static_cast<uint32_t>(value));
  if (reader.ReadInteger(4, value)) SetMaxInverse(value != 0);
  if (reader.ReadInteger(5, value)) SetStyle(value);
  reader.LeaveNode();
}

void TZelTextTool::SaveState(TZelSDFWriter& writer) {
  TZelGraphicsTool::SaveState(writer);
  writer.BeginGuidNode(1, kSettingsGuid);
  writer.WriteInteger(1, FontSize);
  writer.WriteInteger(2, ColorMode);
  writer.WriteInteger(3, static_cast<int32_t>(Color));
  writer.WriteInteger(4, MaxInverse ? 1 : 0);
  writer.WriteInteger(5, Style);
  writer.EndNode();
}

void TZelTextTool::UpdateControls() {
  const bool enabled = GraphicsEditor != nullptr && GraphicsEditor->ToolMayWork(this);
  const bool current = GraphicsEditor != nullptr && GraphicsEditor->CurrentTool == this;
  Button->setChecked(current);
  Button->setEnabled(enabled);
  Frame->SetControlsEnabled(enabled && current);
}

void TZelTextTool::ExecuteCommand(TZelDemoPlayback* /*sender*/, const QString& command, bool& handled,
                                  const TZelProperties* params) {
  const QString name = Name.toUpper();
  if (command == name) {
    Select();
  } else if (command == name + QStringLiteral("FONTCOLOR")) {
    if (quill::ToolMayStart(*this)) SetColorMode(quill::ScriptInteger(params, ColorMode));
  } else if (command == name + QStringLiteral("COLOR")) {
    if (quill::ToolMayStart(*this)) SetColor(static_cast<uint32_t>(quill::ScriptInteger(params, static_cast<int32_t>(Color))));
  } else if (command == name + QStringLiteral("MAXINVERSE")) {
    if (quill::ToolMayStart(*this)) SetMaxInverse(quill::ScriptBoolean(params, MaxInverse));
  } else if (command == name + QStringLiteral("FONTSIZE")) {
    if (quill::ToolMayStart(*this)) SetFontSize(quill::ScriptInteger(params, FontSize));
  } else if (command == name + QStringLiteral("FONTBI")) {
    if (quill::ToolMayStart(*this)) SetStyle(quill::ScriptInteger(params, Style));
  } else if (command == name + QStringLiteral("MEMOYALTA")) {
    if (quill::ToolMayStart(*this)) TypeDemoText();
  } else {
    return;
  }
  handled = true;
}

void TZelTextTool::GetTargetPoint(TZelDemoPlayback* /*sender*/, const TZelProperties* params, bool& found, quill::TPoint& point) {
  found = quill::FindToolTarget(params, Name, Button, {
      {QStringLiteral("FONTCOLOR"), Frame->FontColorTntRadioGroup},
      {QStringLiteral("COLOR"), Frame->ColorBox},
      {QStringLiteral("MAXINVERSE"), Frame->MaxInverseTBXCheckBox},
      {QStringLiteral("FONTSIZE"), Frame->SizeSpinEdit},
      {QStringLiteral("FONTBI"), Frame->BoldTBXButton},
      {QStringLiteral("MEMO"), Frame->TextMemo},
  }, point);
}

void TZelTextTool::CancelOperation() {
  RestoreUnderText();
  if (TZelTextToolControl* control = Control()) control->ResetTextBox();
  TZelGraphicsTool::CancelOperation();
}

void TZelTextTool::DocumentClosing(TZelGraphicsDocument* /*document*/) {
  const TZelTextToolControl* control = Control();
  if (control != nullptr && control->State != bsNone) CancelOperation();
}

void TZelTextTool::DocumentSaving(TZelGraphicsDocument* document) {
  // The file gets what the window shows: the text in its box, committed as Enter would,
  // so that the file, the picture and the history's saved mark agree afterwards.
  if (Document == document) CommitText();
}

void TZelTextTool::Select() {
  if (GraphicsEditor != nullptr && GraphicsEditor->ToolMayWork(this)) TZelGraphicsTool::Select();
}

void TZelTextTool::SetFontSize(int32_t value) {
  value = std::clamp(value, kMinFontSize, kMaxFontSize);
  if (value == FontSize) return;
  FontSize = value;
  Frame->SizeSpinEdit->setValue(value);
  quill::RecordMouseMove(Playback, Name + QStringLiteral("FontSize"));
  quill::RecordLine(Playback, Name + QStringLiteral("FontSize ") + QString::number(value));
  RenderText();
}

void TZelTextTool::SetColorMode(int32_t value) {
  value = std::clamp(value, 0, 1);
  if (value == ColorMode) return;
  ColorMode = value;
  Frame->FontColorButtons->button(value)->setChecked(true);
  quill::RecordMouseMove(Playback, Name + QStringLiteral("FontColor"));
  quill::RecordLine(Playback, Name + QStringLiteral("FontColor ") + QString::number(value));
  BlendAndShow();
}

void TZelTextTool::SetColor(uint32_t value) {
  value &= 0xFFFFFF;
  if (value == Color) return;
  Color = value;
  Frame->SelectColor(value);
  quill::RecordMouseMove(Playback, Name + QStringLiteral("Color"));
  quill::RecordLine(Playback, Name + QStringLiteral("Color ") + QString::number(value));
  BlendAndShow();
}

void TZelTextTool::SetMaxInverse(bool value) {
  if (value == MaxInverse) return;
  MaxInverse = value;
  Frame->MaxInverseTBXCheckBox->setChecked(value);
  quill::RecordMouseMove(Playback, Name + QStringLiteral("MaxInverse"));
  quill::RecordLine(Playback, Name + QStringLiteral("MaxInverse ") + QString::number(value ? 1 : 0));
  BlendAndShow();
}

void TZelTextTool::SetStyle(int32_t value) {
  value &= kBold | kItalic | kUnderline | kStrikeout;
  if (value == Style) return;
  Style = value;
  Frame->BoldTBXButton->setChecked((value & kBold) != 0);
  Frame->ItalicTBXButton->setChecked((value & kItalic) != 0);
  Frame->UnderlineTBXButton->setChecked((value & kUnderline) != 0);
  Frame->StrikeoutTBXButton->setChecked((value & kStrikeout) != 0);
  quill::RecordMouseMove(Playback, Name + QStringLiteral("FontBI"));
  quill::RecordLine(Playback, Name + QStringLiteral("FontBI ") + QString::number(value));
  RenderText();
}

void TZelTextTool::SelectDefaultFont() {
  for (const char* name : {"Times New Roman", "Veranda", "Arial", "Courier New", "DejaVu Sans"}) {
    const int index = Frame->FontNameComboBox->findText(QString::fromLatin1(name), Qt::MatchExactly);
    if (index >= 0) {
      Frame->FontNameComboBox->setCurrentIndex(index);
      return;
    }
  }
  Frame->FontNameComboBox->setCurrentIndex(-1);
}

void TZelTextTool::RenderText() {
  if (Control() == nullptr) return;
  const QString family = Frame->FontNameComboBox->currentIndex() >= 0
                             ? Frame->FontNameComboBox->currentFont().family()
                             : QStringLiteral("DejaVu Sans");
  TextBitmap = quill::RenderTextMask(Frame->TextMemo->toPlainText().split(QLatin1Char('\n')),
                                     TextFont(family, MulDiv(FontSize, 96, 72), Style));
  StretchToBox();
  BlendAndShow();
}

void TZelTextTool::StretchToBox() {
  const TZelTextToolControl* control = Control();
  if (control == nullptr || TextBitmap.isNull()) return;
  const quill::TRect& box = control->TextBox;
  if (box.IsEmpty()) return;
  BoxBitmap = TextBitmap.scaled(static_cast<int>(box.Width()), static_cast<int>(box.Height()),
                                Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void TZelTextTool::RestoreUnderText() {
  if (Live == nullptr || Document == nullptr) return;
  const quill::TRect area = quill::IntersectRect(quill::IntersectRect(LastBox, Live->GetBounds()),
                                   Document->CommittedCopy.GetBounds());
  if (!area.IsEmpty()) Live->CopyRect(area.Left, area.Top, Document->CommittedCopy, area);
}

void TZelTextTool::BlendText() {
  if (TextShown) RestoreUnderText();
  const TZelTextToolControl* control = Control();
  if (control == nullptr || Live == nullptr || Live->BytesPerPixel() != 3) return;
  if (control->State == bsNone || TextBitmap.isNull() || BoxBitmap.isNull()) return;
  const quill::TRect box = control->TextBox;
  // Only where the box, the image and the box bitmap meet.
  const quill::TRect area = quill::IntersectRect(box, Live->GetBounds());
  const int32_t maskWidth = BoxBitmap.width();
  const int32_t maskHeight = BoxBitmap.height();
  const int32_t red = static_cast<int32_t>(Color & 0xFF);
  const int32_t green = static_cast<int32_t>((Color >> 8) & 0xFF);
  const int32_t blue = static_cast<int32_t>((Color >> 16) & 0xFF);
  for (int32_t y = area.Top; y < area.Bottom; ++y) {
    const int64_t maskY = MirrorY ? int64_t{box.Bottom} - y - 1 : int64_t{y} - box.Top;
    if (maskY < 0 || maskY >= maskHeight) continue;
    const uint8_t* mask = BoxBitmap.constScanLine(static_cast<int>(maskY));
    uint8_t* pixel = Live->GetScanLine(area.Left, y);
    for (int32_t x = area.Left; x < area.Right; ++x, pixel += 3) {
      const int64_t maskX = MirrorX ? int64_t{box.Right} - x - 1 : int64_t{x} - box.Left;
      if (maskX < 0 || maskX >= maskWidth) continue;
      const int32_t alpha = mask[maskX];
      if (alpha == 0) continue;
      int32_t colour[3];  // B, G, R as the pixel
      if (ColorMode == 0) {
        colour[0] = blue;
        colour[1] = green;
        colour[2] = red;
      } else {
        for (int c = 0; c < 3; ++c) {
          colour[c] = MaxInverse ? (pixel[c] >= 128 ? 0 : 255) : 255 - pixel[c];
        }
      }
      for (int c = 0; c < 3; ++c) {
        if (alpha == 255) {
          pixel[c] = static_cast<uint8_t>(colour[c]);
        } else {
          pixel[c] = static_cast<uint8_t>(pixel[c] + ((alpha * (colour[c] - pixel[c])) >> 8));
        }
      }
    }
  }
}

void TZelTextTool::BlendAndShow() {
  TZelTextToolControl* control = Control();
  if (control == nullptr || control->State == bsNone || Document == nullptr) return;
  const quill::TRect previous = TextShown ? LastBox : quill::TRect();
  BlendText();
  TextShown = true;
  LastBox = control->TextBox;
  Document->InvalidateImageRect(previous);
  Document->InvalidateImageRect(LastBox);
  control->Invalidate();
}

void TZelTextTool::CommitText() {
  TZelTextToolControl* control = Control();
  if (control == nullptr || Document == nullptr || control->State == bsNone) return;
  // The text goes into the image here, whether or not the view painted the preview.
  BlendAndShow();
  AddDirtyRect(quill::IntersectRect(control->TextBox, Live->GetBounds()), false);
  EndOperation();
  control->ResetTextBox();
}

void TZelTextTool::TypeDemoText() {
  SelectDefaultFont();
  Frame->TextMemo->clear();
  DemoWait(kDemoStepMs);
  const QString word = QStringLiteral("Yalta");
  for (int length = 1; length <= word.size(); ++length) {
    Frame->TextMemo->setPlainText(word.left(length));
    if (length < word.size()) DemoWait(kDemoStepMs);
  }
}

TZelTextToolControl* TZelTextTool::Control() const {
  return static_cast<TZelTextToolControl*>(GetControl(0));
}

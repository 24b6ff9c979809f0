#include "ZelJPEGOptionsForm.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>
#include <utility>

#include "MainForm.h"
#include "ZelLocalizer.h"
#include "ZelStringIds.h"

namespace {

// String ids of the dialog's texts.
constexpr int32_t kCaption = 205;
constexpr int32_t kQualityText = 207;
constexpr int32_t kFirstPresetText = 208;
constexpr int32_t kSmallFileText = 213;
constexpr int32_t kLargeFileText = 214;
constexpr int32_t kInvalidQualityText = 216;

quill::TJPEGQualityAsker& Asker() {
  static quill::TJPEGQualityAsker asker;
  return asker;
}

}  // namespace

int32_t PresetQuality(int32_t index) {
  return JPEGQualityPresets[static_cast<size_t>(std::clamp(index, 0, 4))];
}

int32_t PresetIndex(int32_t quality) {
  for (int32_t index = 4; index > 0; --index) {
    if (JPEGQualityPresets[static_cast<size_t>(index)] <= quality) return index;
  }
  return 0;
}

bool ParseQuality(const QString& text, int32_t& quality) {
  quality = 0;
  if (text.isEmpty()) return false;
  qsizetype i = 0;
  const bool negative = text[0] == u'-';
  if (text[0] == u'-' || text[0] == u'+') ++i;
  int64_t value = 0;
  bool digits = false;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = std::min<int64_t>(value * 10 + (text[i].unicode() - u'0'), int64_t{INT32_MAX} + 1);
    digits = true;
  }
  value = negative ? -value : value;
  quality = static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
  return digits && i == text.size() && quality >= 0 && quality <= 100;
}

TZelJPEGOptionsForm::TZelJPEGOptionsForm(quill::TZelComponent* owner) : TZelForm(owner) {
  auto* central = new QWidget(this);
  setCentralWidget(central);

  qualityGroupBox_ = new QGroupBox(central);
  qualityLabel_ = new QLabel(qualityGroupBox_);
  qualityLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  qualityEdit_ = new QLineEdit(qualityGroupBox_);
  qualityEdit_->setFixedWidth(qualityEdit_->fontMetrics().horizontalAdvance(u"0000"_qs) + 12);
  qualityComboBox_ = new QComboBox(qualityGroupBox_);
  for (int32_t i = 0; i < static_cast<int32_t>(JPEGQualityPresets.size()); ++i) qualityComboBox_->addItem(QString());
  qualityTrackBar_ = new QSlider(Qt::Horizontal, qualityGroupBox_);
  qualityTrackBar_->setRange(0, 100);
  qualityTrackBar_->setTickInterval(5);
  qualityTrackBar_->setTickPosition(QSlider::TicksBelow);
  smallFileLabel_ = new QLabel(qualityGroupBox_);
  largeFileLabel_ = new QLabel(qualityGroupBox_);
  largeFileLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  auto* top = new QHBoxLayout;
  top->addWidget(qualityLabel_, 1);
  top->addWidget(qualityEdit_);
  top->addWidget(qualityComboBox_);
  auto* ends = new QHBoxLayout;
  ends->addWidget(smallFileLabel_);
  ends->addStretch(1);
  ends->addWidget(largeFileLabel_);
  auto* group = new QVBoxLayout(qualityGroupBox_);
  group->addLayout(top);
  group->addWidget(qualityTrackBar_);
  group->addLayout(ends);

  // OK is the default button and Cancel the cancel button. A focused button takes
  // Enter itself.
  okButton_ = new QPushButton(central);
  cancelButton_ = new QPushButton(central);
  cancelButton_->setAutoDefault(true);
  SetDialogButtons(okButton_, cancelButton_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(okButton_);
  buttons->addWidget(cancelButton_);

  auto* layout = new QVBoxLayout(central);
  layout->addWidget(qualityGroupBox_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed dialog

  connect(qualityEdit_, &QLineEdit::textChanged, this, [this] { QualityChange(qualityEdit_); });
  connect(qualityComboBox_, &QComboBox::currentIndexChanged, this,
          [this] { QualityChange(qualityComboBox_); });
  connect(qualityTrackBar_, &QSlider::valueChanged, this, [this] { QualityChange(qualityTrackBar_); });
  connect(okButton_, &QPushButton::clicked, this, [this] { OkButtonClick(); });
  connect(cancelButton_, &QPushButton::clicked, this, [this] { SetModalResult(quill::IDCANCEL); });
}

void TZelJPEGOptionsForm::SetQuality(int32_t quality) {
  qualityTrackBar_->setValue(quality);
  QualityChange(qualityTrackBar_);
}

int32_t TZelJPEGOptionsForm::GetQuality() const { return qualityTrackBar_->value(); }

void TZelJPEGOptionsForm::QualityChange(QObject* sender) {
  if (updating_) return;
  updating_ = true;
  if (sender == qualityEdit_) {
    int32_t value = 0;
    if (ParseQuality(qualityEdit_->text().trimmed(), value)) {
      qualityComboBox_->setCurrentIndex(PresetIndex(value));
      qualityTrackBar_->setValue(value);
    }
  } else if (sender == qualityTrackBar_) {
    qualityEdit_->setText(QString::number(qualityTrackBar_->value()));
    qualityComboBox_->setCurrentIndex(PresetIndex(qualityTrackBar_->value()));
  } else {
    const int32_t value = PresetQuality(qualityComboBox_->currentIndex());
    qualityTrackBar_->setValue(value);
    qualityEdit_->setText(QString::number(value));
  }
  updating_ = false;
}

void TZelJPEGOptionsForm::OkButtonClick() {
  int32_t value = 0;
  if (ParseQuality(qualityEdit_->text().trimmed(), value)) {
    SetModalResult(quill::IDOK);
    return;
  }
  ZelApplication->MessageBoxWithCaption(GetLocalizedString(kInvalidQualityText), windowTitle(),
                                        MB_OK | MB_ICONERROR);
  SetQuality(std::clamp(value, 0, 100));
}

void TZelJPEGOptionsForm::showEvent(QShowEvent* event) {
  // It has no owner to centre on; Qt would leave it at the screen's corner.
  const QScreen* screen = MainForm != nullptr ? MainForm->screen() : QGuiApplication::primaryScreen();
  if (screen != nullptr) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  TZelForm::showEvent(event);
}

void TZelJPEGOptionsForm::Localize() {
  setWindowTitle(GetLocalizedString(kCaption));
  qualityLabel_->setText(GetLocalizedString(kQualityText) + u':');
  smallFileLabel_->setText(GetLocalizedString(kSmallFileText));
  largeFileLabel_->setText(GetLocalizedString(kLargeFileText));
  okButton_->setText(GetLocalizedString(quill::kOkText));
  cancelButton_->setText(GetLocalizedString(quill::kCancelText));
  for (int32_t i = 0; i < qualityComboBox_->count(); ++i) {
    qualityComboBox_->setItemText(i, GetLocalizedString(kFirstPresetText + i));
  }
  QualityChange(qualityTrackBar_);
}

namespace quill {

bool AskJPEGQuality(int32_t& quality) {
  if (Asker()) return Asker()(quality);
  // Created without an owner and freed when it closes.
  const std::unique_ptr<TZelJPEGOptionsForm> form(ZelCreate<TZelJPEGOptionsForm>(nullptr));
  form->SetQuality(quality);
  if (form->ShowModal() != IDOK) return false;
  quality = form->GetQuality();
  return true;
}

void SetJPEGQualityAsker(TJPEGQualityAsker asker) { Asker() = std::move(asker); }

}  // namespace quill

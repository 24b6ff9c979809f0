// The JPEG options dialog: asks for the quality (0..100) of a JPEG about to be
// written. A text field, a list of five named presets and a slider set the one number;
// choosing a preset sets its exact value, typing or sliding selects the preset at or
// below the value. Having no owner to centre on, it opens centred on the screen.
//
// Savers do not create the dialog themselves: they call AskJPEGQuality, which tests
// answer through SetJPEGQualityAsker without showing anything.

#ifndef QUILL_EDITOR_ZELJPEGOPTIONSFORM_H_
#define QUILL_EDITOR_ZELJPEGOPTIONSFORM_H_

#include <array>
#include <cstdint>
#include <functional>

#include "ZelForms.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QObject;
class QPushButton;
class QShowEvent;
class QSlider;

// The qualities of the five presets, smallest file first.
inline constexpr std::array<int32_t, 5> JPEGQualityPresets = {10, 30, 60, 80, 100};

// The quality of preset Index (0..4).
int32_t PresetQuality(int32_t index);

// The highest preset index whose quality is at most Quality; 0 below the first preset.
int32_t PresetIndex(int32_t quality);

// Reads Text as a whole number (an optional sign, then digits). True only when the
// whole text was read and the number lies in 0..100. Quality gets the number read up
// to the first character that does not belong to it (0 for an empty text), saturated
// to 32 bits.
bool ParseQuality(const QString& text, int32_t& quality);

class TZelJPEGOptionsForm : public TZelForm {
  Q_OBJECT

 public:
  explicit TZelJPEGOptionsForm(quill::TZelComponent* owner);

  // Moves the slider to Quality; the text field and the list follow.
  void SetQuality(int32_t quality);
  int32_t GetQuality() const;

  void Localize() override;

  // Keeps the three controls in step with the one that changed (Sender).
  void QualityChange(QObject* sender);
  // Closes with OK when the text holds a whole number from 0 to 100; otherwise reports
  // it, corrects the value into 0..100 in all three controls and stays open.
  void OkButtonClick();

  QLineEdit* QualityEdit() const { return qualityEdit_; }
  QComboBox* QualityComboBox() const { return qualityComboBox_; }
  QSlider* QualityTrackBar() const { return qualityTrackBar_; }
  QPushButton* OkButton() const { return okButton_; }
  QPushButton* CancelButton() const { return cancelButton_; }

 protected:
  // Centres the dialog on the screen: on the main window's, else the primary one.
  void showEvent(QShowEvent* event) override;

 private:
  QGroupBox* qualityGroupBox_;
  QLabel* qualityLabel_;
  QLineEdit* qualityEdit_;
  QComboBox* qualityComboBox_;
  QSlider* qualityTrackBar_;
  QLabel* smallFileLabel_;
  QLabel* largeFileLabel_;
  QPushButton* okButton_;
  QPushButton* cancelButton_;
  bool updating_ = false;
};

namespace quill {

// Asks for a JPEG quality, starting from Quality; true with the confirmed value in
// Quality after OK, false (Quality unchanged) after Cancel.
using TJPEGQualityAsker = std::function<bool(int32_t& quality)>;

// Shows the dialog modally, unless an asker was set; then the asker answers.
bool AskJPEGQuality(int32_t& quality);

// Replaces the dialog by Asker (tests, scripted runs); an empty Asker restores it.
void SetJPEGQualityAsker(TJPEGQualityAsker asker);

}  // namespace quill

#endif  // QUILL_EDITOR_ZELJPEGOPTIONSFORM_H_

// The brightness and contrast tool: changes the whole image through one level table,
// set by two sliders (brightness and contrast, each -127..127) or by an automatic
// correction that stretches the image's darkest and brightest levels to 0 and 255.
//
// Every change is previewed at once and applied from the committed copy, so changes
// never compound: the first change begins the tool's document operation, OK commits
// it as one undoable step (the tool is exclusive: no other tool works meanwhile),
// Cancel puts the committed copy back. After either, both values rest at 0. Closing
// the document commits a pending change, and so does a save, which writes what the
// window shows. With the options hidden only the automatic
// correction shows, and it is committed at once.
//
// Each change maps the whole committed image through the table into the live image at
// once, on the main thread; the table pass runs at about the speed of a plain copy.
//
// The tool takes no mouse input on the image (no control). It stays available in
// plug-in mode. It keeps whether its options are shown in the settings file.
//
// Script commands, each the name "BrightnessContrast" followed by a word: "Brightness"
// and "Contrast" with an integer (a missing or non-numeric argument keeps the value),
// "AutoCorrection", "Perform", "Cancel", "ShowOptions", "HideOptions"; the name alone
// selects the tool. Targets: the name (the toolbar button), and the name followed by
// "AutoCorrection", "Brightness", "Contrast", "Perform", "Cancel" or "Options". Every
// entry point does nothing while the editor does not let the tool work.
//
// Main thread only.

#ifndef QUILL_EDITOR_ZELBRIGHTNESSCONTRASTTOOL_H_
#define QUILL_EDITOR_ZELBRIGHTNESSCONTRASTTOOL_H_

#include <QUuid>

#include <cstdint>

#include "ZelForms.h"
#include "ZelFramedTool.h"
#include "ZelGraphicsTool.h"

class QAction;
class QLabel;
class QPushButton;
class QSlider;
class TZelBrightnessContrastTool;

namespace quill {
class TZelShowOptionsLink;
}  // namespace quill

// The tool's options in the tool panel.
class TZelBrightnessContrastFrame : public TZelFrame {
  Q_OBJECT

 public:
  explicit TZelBrightnessContrastFrame(TZelComponent* owner, QWidget* parent = nullptr);

  // The tool the controls drive; cleared when the tool goes.
  TZelBrightnessContrastTool* Tool = nullptr;

  QLabel* const TitleLabel;
  QWidget* const AutoCorrectionPanel;
  QPushButton* const AutoCorrectionButton;
  QLabel* const BrightnessLabel;
  QSlider* const BrightnessTrackBar;
  QLabel* const ContrastLabel;
  QSlider* const ContrastTrackBar;
  QWidget* const OkPanel;
  QPushButton* const OkButton;
  QPushButton* const CancelButton;
  // The link that shows and hides the options.
  quill::TZelShowOptionsLink* const ShowOptions;

  // A slider position other than the tool's value sets it.
  void BrightnessTrackBarChange();
  void ContrastTrackBarChange();
  // The automatic correction, the sliders following it; committed at once while the
  // options are hidden.
  void AutoCorrectionButtonClick();
  // Commits the change.
  void OkButtonClick();
  // Both values to 0 and the image back as committed.
  void CancelButtonClick();
  void ShowOptionsButtonClick();
};

class TZelBrightnessContrastTool
    : public quill::TZelFramedTool<TZelGraphicsTool, TZelBrightnessContrastFrame> {
 public:
  // The settings node's tag; value 1 holds whether the options are shown (0 or 1).
  static const QUuid kSettingsGuid;
  static constexpr int32_t kMinLevel = -127;
  static constexpr int32_t kMaxLevel = 127;

  // Its button on the tool panel's toolbar and its frame in the tool panel (both need
  // the main window and the tool panel module); options hidden; exclusive.
  explicit TZelBrightnessContrastTool(TZelComponent* owner);

  // ---- Fields ----
  int32_t Brightness = 0;
  int32_t Contrast = 0;
  bool OptionsShown = false;

  // ---- Module ----
  void Localize() override;
  void LoadState(TZelSDFReader& reader) override;
  void SaveState(TZelSDFWriter& writer) override;
  // The button is checked while the tool is current and enabled while it may work;
  // the frame's controls while both; OK and Cancel while its operation runs.
  void UpdateControls() override;

  // ---- Tool ----
  void ExecuteCommand(TZelDemoPlayback* sender, const QString& command, bool& handled, const TZelProperties* params) override;
  void GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found, quill::TPoint& point) override;
  // The change is committed, both values rest at 0.
  void EndOperation() override;
  // Both values and sliders to 0. Replaces the inherited, so the tool stays available
  // in plug-in mode.
  void DocumentOpened(TZelGraphicsDocument* document) override;
  // A running change is committed first.
  void DocumentClosing(TZelGraphicsDocument* document) override;
  // A running change is committed (one undo step) before the file is written.
  void DocumentSaving(TZelGraphicsDocument* document) override;
  // Stays available in plug-in mode although not plug-in capable.
  bool WithdrawnInPluginMode() const override { return false; }
  // Only while the tool may work.
  void Select() override;

  // ---- Own operations ----

  // V kept to -127..127; when it differs from the value and the tool may work: stored,
  // the slider moved, the correction previewed and, while recording, the line
  // "BrightnessContrastBrightness V" recorded. When the tool may not work the slider
  // goes back to the value.
  void SetBrightness(int32_t value);
  void SetContrast(int32_t value);
  // Stores Shown, lays the frame out and, while recording, records the move to the
  // link and "BrightnessContrastShowOptions" or "...HideOptions".
  void SetOptionsShown(bool shown);
  // The labels, sliders and OK and Cancel show exactly while the options do; the
  // link's caption and image follow.
  void LayoutOptions();
  // Begins the operation unless this tool's runs, builds the table (Automatic: from
  // the committed image's levels, storing the brightness and contrast they give) and
  // previews it. Nothing when the tool may not work.
  void ApplyCorrection(bool automatic);

  // Whether this tool's operation runs on its document.
  bool OperationRunning() const;
};

#endif  // QUILL_EDITOR_ZELBRIGHTNESSCONTRASTTOOL_H_

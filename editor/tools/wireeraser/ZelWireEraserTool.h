// The Wire Eraser: a round brush that repairs every dab inside the mouse event that
// places it. Dragged along a wire with the left button, each dab hands the pixels
// under its power-disc mask to the wire-fill engine, which keeps the smooth
// background and repaints the rest from a colour surface fitted to it; the repaired
// pixels go straight into the live image. Dragged with the right button, each dab
// instead measures the background noise under it and sets Background Noise from it
// (the last dab wins); the pixels stay as they are.
//
// The dab work is core's TWireEraserStroke (the same code the wire-repair driver and
// the benchmarks run): dabs read the image as it stood before the stroke (with
// Cumulative Effect off, the image as opened), so the dabs of one stroke never read
// each other's results; with Trial Mode each dab first puts the previous one back, so
// only the latest dab stays. The whole stroke is one undo record of the union of its
// dabs' rectangles; a measuring stroke leaves one too, with equal before and after.
//
// Options: Size 5..50 (25 at start), Background Noise 0..100 (6), Cumulative Effect
// (on), Only Show (off: on, the pixels to repair are painted in the engine's preview
// colours instead), Trial Mode (off). They are not kept between runs. Each setter
// stores the value, moves its control in the frame and, while a recording runs,
// appends "WireEraser" + the option word + " " + the value (1 or 0 for a switch);
// Background Noise is limited to 0..100 first.
//
// Script commands: WIREERASERBACKGROUNDNOISE n, WIREERASERTRIALMODE b,
// WIREERASERCUMULATIVEEFFECT b, WIREERASERONLYSHOW b (b: a number, on unless 0); an
// argument that is not a number leaves the option as it is. Then the brush's commands
// (WIREERASERSIZE, ...) and WIREERASER (select the tool). Targets: WIREERASER (the
// toolbar button), WIREERASERBACKGROUNDNOISE, WIREERASERTRIALMODE, and the brush's.
//
// The option frame sits in the tool panel; the tool's button on the panel's toolbar.
// Main thread only.

#ifndef QUILL_EDITOR_TOOLS_ZELWIREERASERTOOL_H_
#define QUILL_EDITOR_TOOLS_ZELWIREERASERTOOL_H_

#include <cstdint>

#include "WireEraserStroke.h"
#include "ZelDrawTool.h"
#include "ZelForms.h"
#include "ZelFramedTool.h"

class QAction;
class QCheckBox;
class QLabel;
class QSlider;

// The option frame: title, size, Background Noise, and the three switches (hidden:
// scripts reach them).
class TZelWireEraserFrame : public TZelFrame {
  Q_OBJECT

 public:
  explicit TZelWireEraserFrame(TZelComponent* owner, QWidget* parent = nullptr);

  QLabel* const TitleLabel;
  QLabel* const SizeLabel;
  QSlider* const SizeTrackBar;
  QLabel* const BackgroundNoiseLabel;
  QSlider* const BackgroundNoiseTrackBar;
  QCheckBox* const TrialModeCheckBox;
  QCheckBox* const CumulativeEffectCheckBox;
  QCheckBox* const OnlyShowCheckBox;
};

class TZelWireEraserTool : public quill::TZelFramedTool<TZelBrushTool, TZelWireEraserFrame> {
 public:
  // The button, the frame, the options at their start values; Name "WireEraser".
  explicit TZelWireEraserTool(TZelComponent* owner);

  int32_t BackgroundNoise = quill::kDefaultBackgroundNoise;
  bool CumulativeEffect = true;
  bool OnlyShow = false;
  bool TrialMode = false;

  // ---- Module ----
  void Localize() override;
  // The button checked while current and enabled while the tool may work; the frame
  // enabled when both; the labels show the values.
  void UpdateControls() override;

  // ---- TZelGraphicsTool ----
  void ExecuteCommand(TZelDemoPlayback* sender, const QString& command, bool& handled, const TZelProperties* params) override;
  void GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found, quill::TPoint& point) override;
  // ---- The brush ----
  // The inherited; a stroke the editor lets begin starts the core stroke (measuring
  // with the right button).
  bool BeginStroke(TZelDrawToolControl* control, quill::TMouseButton button, quill::TShiftState shift) override;
  // One dab of the stroke centred in Rect: repaired (or measured), and what it changed
  // joins the dirty rectangle.
  void ApplyDab(const quill::TRect& rect) override;
  // The core stroke ends, then the inherited commits.
  void EndStroke() override;
  // The power disc of Size (no soft disc, no preview).
  void UpdateDabMask() override;

  // ---- Options ----
  virtual void SetBackgroundNoise(int32_t value);
  void SetCumulativeEffect(bool value);
  void SetOnlyShow(bool value);
  void SetTrialMode(bool value);

 private:
  quill::TWireEraserStroke stroke_;
};

#endif  // QUILL_EDITOR_TOOLS_ZELWIREERASERTOOL_H_

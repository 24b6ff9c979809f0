// The undo brush: paints the image as it was opened back over the edited image,
// through the soft brush. Where a stroke passes, every pixel becomes
//
//   Live := BlendPixels(m, Committed, Original)
//
// with m the stroke mask's byte there (the dabs of the running stroke merged by
// maximum): 0 keeps the image as it stood before the stroke, 255 puts the original
// pixel back exactly, values between mix the two. Every dab recomputes from the
// committed copy, so dabs overlapping within one stroke never go past the mask's
// value, and a pixel that was never edited stays as it is. The stroke is one undo
// record of the union of its dabs (clipped to the image).
//
// Options (the brush's): Size 1..50 (10), Opacity and Hardness 0..255 (the program
// starts them at 255). The frame shows the size; with its options shown also the dab
// preview, the opacity and the hardness. Size, Opacity, Hardness and whether the
// options are shown are kept in the settings file (a node tagged kSettingsGuid,
// integers 1 to 4; an id missing from the node keeps its value).
//
// Script name "UndoBrush". Commands: UndoBrush (select), UndoBrushShowOptions and
// UndoBrushHideOptions, and the brush's UndoBrushSize, UndoBrushOpacity,
// UndoBrushHardness. Targets: UndoBrush (the button), UndoBrushOptions (the link) and
// the brush's sliders. A stroke begins only when the tool may work on the current
// document (quill::ToolMayStart), whether the mouse or a script drives it.
//
// Main thread only.

#ifndef QUILL_EDITOR_TOOLS_ZELUNDOBRUSHTOOL_H_
#define QUILL_EDITOR_TOOLS_ZELUNDOBRUSHTOOL_H_

#include <QUuid>

#include <cstdint>

#include "ZelDrawTool.h"
#include "ZelForms.h"
#include "ZelFramedTool.h"

class QAction;
class QLabel;
class QSlider;

namespace quill {
class TZelShowOptionsLink;
}  // namespace quill

// The option frame: the title, the dab preview, the three sliders with their labels
// and the show-options link.
class TZelUndoBrushFrame : public TZelFrame {
  Q_OBJECT

 public:
  explicit TZelUndoBrushFrame(TZelComponent* owner, QWidget* parent = nullptr);

  QLabel* const TitleLabel;
  QWidget* const PreviewAlignmentPanel;
  quill::TZelPaintBox* const PreviewPaintBox;
  QLabel* const SizeLabel;
  QSlider* const SizeTrackBar;
  QLabel* const OpacityLabel;
  QSlider* const OpacityTrackBar;
  QLabel* const HardnessLabel;
  QSlider* const HardnessTrackBar;
  quill::TZelShowOptionsLink* const ShowOptions;
};

class TZelUndoBrushTool : public quill::TZelFramedTool<TZelBrushTool, TZelUndoBrushFrame> {
 public:
  static const QUuid kSettingsGuid;

  // The button on the tool panel's toolbar, the frame in the tool panel, the stroke
  // mask in use; Hardness 255; Name "UndoBrush"; options hidden.
  explicit TZelUndoBrushTool(TZelComponent* owner);

  bool OptionsShown = false;

  // ---- Module ----
  void Localize() override;
  void LoadState(TZelSDFReader& reader) override;
  void SaveState(TZelSDFWriter& writer) override;
  // The button checked while current and enabled while the tool may work; the frame
  // enabled when both; the size label shows the size.
  void UpdateControls() override;

  // ---- TZelGraphicsTool ----
  void ExecuteCommand(TZelDemoPlayback* sender, const QString& command, bool& handled,
                      const TZelProperties* params) override;
  void GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found,
                      quill::TPoint& point) override;
  // ---- The brush ----
  // The original blended over the committed copy through the stroke mask, on Rect.
  void ProcessDab(const quill::TRect& rect) override;

  // Stores Value and lays the frame out; while recording, the move to the link and
  // "UndoBrushShowOptions" or "UndoBrushHideOptions".
  void SetOptionsShown(bool value);
  // The preview and the opacity and hardness rows show only with the options; the
  // link's arrow and text follow.
  void ArrangeFrame();
};

#endif  // QUILL_EDITOR_TOOLS_ZELUNDOBRUSHTOOL_H_

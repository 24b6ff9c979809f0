// Hand Inpainting: fills a larger defect by hand from a clean part of the image.
//
// Two states. Marking: the brush outline follows the pointer and the loupe (the large
// preview) shows the image around it, magnified. A click (or Enter) marks the brush's
// disc as the area, begins the operation and builds the patch-fill engine over the
// area (the committed copy read, the live image written). Filling: the area is filled
// live, on every pointer move, from the equally large square under the pointer, in
// the best-matching of 8 orientations (or the chosen one), corrected by a colour
// surface fitted to the area's rim (Adjustment 2; 1 a brightness surface, 0 a plain
// copy), the filled pixels next to the rim blended with what was there (AntiAliasing)
// and rim pixels of a minority colour left out of the fit (LongDefect). The previews
// show the fill magnified (and, with TwoPreviews, the raw source beside it). A second
// click (or Enter) confirms: one undo record of the area. A save confirms an open fill
// the same way before the file is written, so the file holds what the window shows.
// Cancel (the button, Esc, Ctrl+Z, the script, a stopped demo) drops the fill without
// a record, so the history, its redo steps and the saved mark stay as they were; in
// the marking state the script's Cancel undoes the last edit. A document that starts
// closing drops an unconfirmed fill the same way, before the save question.
//
// Every fill starts from the committed pixels of the area, so a source square partly
// outside the image fills only the pixels whose source lies inside, and the rest show
// the image as it was. An area wholly outside the image builds no engine and fills
// nothing; the state switches all the same, and its confirmation or cancel leaves the
// history alone. The engine holds references into the document's images: it is
// freed with a new area, a closing document and the tool.
//
// The size (10..100, 25 at start) is fixed while filling. Keys (the view's control):
// Ctrl+arrows step the orientation while filling (else the brush's size keys);
// Ctrl+A, Ctrl+N and Ctrl+R toggle Adjustment, AntiAliasing and AutoReflection;
// PageUp, PageDown, End, Home and the arrows move the pointer on the screen by 1 pixel
// (5 with Shift) through the pointer driver; Enter clicks; Esc and Ctrl+Z cancel. The
// wheel steps the orientation while filling, else the size.
//
// Script commands (the name compared without regard to case): HandInpaintingAdjustment
// n (0..2), HandInpaintingAreaReflection n (0..7), HandInpaintingAutoReflection b,
// HandInpaintingLongDefect b, HandInpaintingAntiAliasing b, HandInpaintingCancelButton;
// values out of range or not numbers are ignored. Then the brush's commands. Targets:
// HandInpainting (the button), + TargetImage, CancelButton, Adjustment,
// AutoReflection, the 8 orientation buttons by their names, LongDefect, AntiAliasing.
// A change made in the frame (or by its keys) is recorded as "MouseCurvedMove
// HandInpainting<control>" and "HandInpainting<option> <value>".
//
// Main thread only.

#ifndef QUILL_EDITOR_TOOLS_ZELHANDINPAINTINGTOOL_H_
#define QUILL_EDITOR_TOOLS_ZELHANDINPAINTINGTOOL_H_

#include <QImage>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

#include "AreaCorrelation.h"
#include "HandInpaintingFill.h"
#include "PointerDriver.h"
#include "ZelDrawTool.h"
#include "ZelForms.h"
#include "ZelFramedTool.h"

class QAction;
class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;
class QToolButton;

namespace quill {

// A preview: its picture stretched proportionally from the top-left, each picture
// pixel a square block (no smoothing), so the magnification shows single pixels.
class TZelPreviewImage : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;
  // Picture is shown by reference: the owner repaints the widget after changing it.
  void SetPicture(const QImage* picture) { picture_ = picture; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const QImage* picture_ = nullptr;
};

}  // namespace quill

// The distance from (AX, AY) to (BX, BY): |dx| + |dy| for Kind 0, Euclidean for Kind
// 1, max(|dx|, |dy|) for any other Kind.
double PointDistance(uint8_t kind, double ax, double ay, double bx, double by);

// The option frame: title, size, the previews with the Cancel button, the options
// panel (LongDefect; the two-previews and loupe buttons hidden), the adjustment panel
// (Adjustment; AntiAliasing hidden) and the orientation panel (8 buttons, Auto).
class TZelHandInpaintingFrame : public TZelFrame {
  Q_OBJECT

 public:
  explicit TZelHandInpaintingFrame(TZelComponent* owner, QWidget* parent = nullptr);

  QLabel* const TitleLabel;
  QLabel* const SizeLabel;
  QSlider* const SizeTrackBar;
  QWidget* const ImagePanel;
  quill::TZelPreviewImage* const TargetImage;
  quill::TZelPreviewImage* const HandyImage;
  QPushButton* const CancelTBXButton;
  QWidget* const OptionsPanel;
  QCheckBox* const LongDefectTBXCheckBox;
  QToolButton* const TwoSpeedButton;
  QToolButton* const LoupeSpeedButton;
  QWidget* const AdjustmentPanel;
  QCheckBox* const AdjustmentTBXCheckBox;
  QCheckBox* const AntiAliasingTBXCheckBox;
  QWidget* const AreaReflectionPanel;
  // By orientation: North, NorthReflex, East, EastReflex, South, SouthReflex, West,
  // WestReflex; one radio group, each showing what its orientation does to a letter F.
  std::array<QToolButton*, 8> ReflectionButtons;
  QCheckBox* const AutoReflectionTBXCheckBox;
};

class TZelHandInpaintingTool : public quill::TZelFramedTool<TZelBrushTool, TZelHandInpaintingFrame> {
 public:
  // The side of the large preview, and of the small one beside the raw source.
  static constexpr int32_t kTargetImageSide = 240;
  static constexpr int32_t kHandyImageSide = 130;

  // The button, the frame, the options at their start values; Name "HandInpainting";
  // exclusive.
  explicit TZelHandInpaintingTool(TZelComponent* owner);
  // Frees the engine; the frame's previews let go of the tool's pictures.
  ~TZelHandInpaintingTool() override;

  // ---- Fields ----
  uint8_t Reflection = 0;
  int32_t Adjustment = TAreaCorrelator::kModeColor;
  bool AutoReflection = true;
  bool LongDefect = true;
  bool TwoPreviews = false;
  bool Loupe = true;
  bool MarkSet = false;
  bool AntiAliasing = true;
  bool Filling = false;
  quill::TRect AreaRect;
  quill::TRect SourceRect;
  // The engine over the marked area and the fill sequence run on it.
  quill::THandInpaintingFill AreaFill;
  // The preview pictures: TargetImage's and HandyImage's.
  QImage TargetBitmap;
  QImage HandyBitmap;
  // The pointer's last image position, and where the last fill was confirmed.
  quill::TPoint Pointer;
  quill::TPoint Mark;
  bool OptionsShown = true;
  // Moves the screen pointer for the pointer keys; the tool's own driver unless set.
  quill::PointerDriver* Driver = nullptr;

  // ---- Module ----
  void Localize() override;
  void UpdateControls() override;

  // ---- TZelGraphicsTool ----
  void ExecuteCommand(TZelDemoPlayback* sender, const QString& command, bool& handled, const TZelProperties* params) override;
  void GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found, quill::TPoint& point) override;
  // Back to marking; the loupe shows when on; the previews take their sizes.
  void DocumentOpened(TZelGraphicsDocument* document) override;
  // A running operation is cancelled (no record); the engine freed; back to marking
  // with the previews hidden.
  void DocumentClosing(TZelGraphicsDocument* document) override;
  // An open fill is confirmed (one undo record) before the file is written.
  void DocumentSaving(TZelGraphicsDocument* document) override;
  // While filling: Cancel.
  TZelGraphicsTool* CancelPendingWork() override;

  // ---- The brush ----
  // Refused while filling; while marking the previews follow the new size.
  void SetSize(int32_t value) override;
  // Marking: a new engine over AreaRect, marked by the dab, the previews show the area.
  // Filling: the orientation chosen (AutoReflection), the area filled from SourceRect.
  void ProcessDab(const quill::TRect& rect) override;
  // The power disc of Size.
  void UpdateDabMask() override;

  // ---- Options (each mirrored in the frame) ----
  // 0, 1 or 2; other values are ignored.
  void SetAdjustment(int32_t value);
  // 0..7; other values are ignored.
  void SetReflection(int32_t value);
  void SetAutoReflection(bool value);
  void SetLongDefect(bool value);
  void SetAntiAliasing(bool value);
  void SetLoupe(bool value);
  void SetTwoPreviews(bool value);

  // ---- The work ----
  // Nothing with AutoReflection; else one orientation up (Delta > 0) or down, no
  // wrap-around; then UpdateFill.
  void StepReflection(int32_t delta);
  // SourceRect := the square around Pointer; the operation begun when none runs; the
  // area processed and added to the dirty rectangle.
  void UpdateFill();
  // The click: marking -> filling (the area marked around Pointer), or filling ->
  // marking (ConfirmFill).
  void ToggleFillState();
  // The running fill becomes one undo record and the confirmation point is kept; back
  // to marking.
  void ConfirmFill();
  void SetMark(bool value);
  // A confirmation was made within 3 pixels of Pointer.
  bool PointerNearMark() const;
  // While filling: drops the fill, no record; while marking: undoes the last edit.
  // Recorded.
  void Cancel();
  // Fills (Final) or restores the area and shows it in the previews.
  void RenderFill(bool final);
  // The large preview shows the committed image around Pointer.
  void DrawLoupe();
  // The previews' picture sides for Size; true when they changed.
  bool SizePreviews();
  void ArrangePreviews();

  // ---- The frame's handlers, each recorded ----
  void AdjustmentChanged(bool checked);
  void AntiAliasingChanged(bool checked);
  void LongDefectChanged(bool checked);
  void AutoReflectionChanged(bool checked);
  void ReflectionClicked(uint8_t orientation);

  // While a recording runs: "MouseCurvedMove " + Name + Control, then Name + Line.
  void RecordControl(const QString& control, const QString& line);

 private:
  // LongDefect and AntiAliasing, for the fill sequence.
  quill::THandInpaintingOptions FillOptions() const;
  // The pixels Drawn of Picture show Source from Corner on (picture pixel (x, y) shows
  // Corner + (x, y)); grey where Source has none. Then View repaints.
  static void CopyPreview(QImage& picture, const TZelPixels& source, const quill::TPoint& corner,
                          const quill::TRect& drawn, QWidget* view);

  std::unique_ptr<quill::QtPointerDriver> ownPointer_;
};

class TZelHandInpaintingToolControl : public TZelBrushToolControl {
 public:
  using TZelBrushToolControl::TZelBrushToolControl;

  // Content and overlay layer, not part of the extent, invisible (22).
  void InitFlags() override;
  // Pointer := the image point; the left button clicks (ToggleFillState). Claimed.
  bool MouseDown(quill::TMouseButton button, quill::TShiftState shift, const quill::TPoint& point) override;
  // Pointer := the image point; filling: the fill follows; marking: the loupe (away
  // from the last confirmation); then the outline.
  bool MouseMove(quill::TShiftState shift, const quill::TPoint& point) override;
  // Filling: the orientation steps; else the size.
  bool MouseWheel(quill::TShiftState shift, int delta, const quill::TPoint& point) override;
  // The tool's keys (the top of the tool's header).
  bool KeyDown(uint16_t key, quill::TShiftState shift) override;

  TZelHandInpaintingTool* HandTool() const { return static_cast<TZelHandInpaintingTool*>(Tool); }
};

#endif  // QUILL_EDITOR_TOOLS_ZELHANDINPAINTINGTOOL_H_

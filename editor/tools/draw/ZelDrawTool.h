// The painting tools' bases: a brush that places one dab per mouse event.
//
// TZelDrawTool has a Size (brush diameter in image pixels, MinSize..MaxSize) and an
// Opacity (0..255). Its control turns the view's input into stroke operations:
//
//   BeginStroke(control, button, shift)   // mouse down; false refuses the stroke
//   ApplyDab(DabRect(position, Size))     // mouse down, then every mouse move
//   EndStroke()                           // mouse up: one undo record for the stroke
//
// BeginStroke begins the document operation (when quill::ToolMayStart allows it);
// ApplyDab clips the dab to the image and hands what is left to ProcessDab, the
// subclass's pixel work, then widens the operation's dirty rectangle by it; EndStroke
// commits. A dab is centred on the pointer's image pixel: DabRect(P, Size) is
// (P.X - Size div 2, P.Y - Size div 2, P.X + Size div 2 + 1, P.Y + Size div 2 + 1), so
// an even Size gives a dab of Size + 1 pixels across. Nothing is interpolated between
// mouse events, and every move while stroking applies a dab, also at the same place.
// StrokeKind 1 makes a click one dab and one stroke.
//
// TZelMaskDrawTool adds the dab as a byte mask (DabMask, at (0, 0) between dabs and
// over the dab in image coordinates inside ApplyDab), a stroke mask that accumulates
// the dabs of a stroke by maximum when UseStrokeMask is set (it grows geometrically,
// so a long stroke stays linear), and a preview picture of the dab in the option
// frame. TZelBrushTool adds Hardness (0..255) and the soft round dab.
//
// The setters ignore values out of range (also from scripts) and values equal to the
// current one; a change moves the bound slider and, while a recording runs, appends
// Name + "Size " (or "Opacity ", "Hardness ") and the value to it. Script commands:
// upper-case Name + "SIZE", "OPACITY", "HARDNESS" with a numeric first argument (an
// argument of another kind is ignored); targets: the same names give the screen
// centre of the slider.
//
// The controls (one per view) follow the pointer while their tool is active, hide
// the system pointer and draw the brush outline instead, inverting what lies under
// it. The wheel (not during a stroke), Page Up, Up and Right grow the brush by 1;
// Page Down, Down and Left shrink it. While a stroke runs, the control that began it
// is the tool's Control.
//
// Main thread only.

#ifndef QUILL_EDITOR_TOOLS_ZELDRAWTOOL_H_
#define QUILL_EDITOR_TOOLS_ZELDRAWTOOL_H_

#include <QColor>
#include <QPointer>
#include <QSlider>
#include <QWidget>

#include <cstdint>
#include <functional>

#include "ZelBitmap.h"
#include "ZelGraphicsTool.h"
#include "ZelToolSupport.h"
#include "ZelTypes.h"

class QLayout;
class QPainter;
class TZelDrawToolControl;
class TZelViewCanvas;

namespace quill {


// Inverts, one pixel wide, the ellipse inscribed in Rect (device coordinates) on the
// canvas, within its clip.
void InvertEllipse(TZelViewCanvas& canvas, const quill::TRect& rect);

// The margins of the brush tools' option frames: narrow at the sides, so that the
// 240-pixel preview fits the 264-pixel tool panel, the same in every frame.
void SetFrameMargins(QLayout* layout);

}  // namespace quill

class TZelDrawTool : public TZelGraphicsTool {
 public:
  // Size 10 (1..50), Opacity 255; plug-in capable.
  explicit TZelDrawTool(TZelComponent* owner);

  // ---- Fields ----
  // The control whose stroke runs; null outside a stroke.
  TZelDrawToolControl* Control = nullptr;
  // 0: a stroke runs from mouse down to mouse up; 1: a click is one dab and one stroke.
  uint8_t StrokeKind = 0;
  quill::TMouseButton StrokeButton = quill::mbLeft;
  quill::TShiftState StrokeShift = 0;
  int32_t Size = 10;
  int32_t MinSize = 1;
  int32_t MaxSize = 50;
  // The option frame's sliders, or null (the tool panel owns them).
  QPointer<QSlider> SizeTrackBar;
  int32_t Opacity = 255;
  QPointer<QSlider> OpacityTrackBar;

  // ---- TZelGraphicsTool ----
  // Name + "SIZE" and Name + "OPACITY", then the inherited.
  void ExecuteCommand(TZelDemoPlayback* sender, const QString& command, bool& handled, const TZelProperties* params) override;
  // Name + "SIZE" and Name + "OPACITY": the bound slider's centre.
  void GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found, quill::TPoint& point) override;
  // A running stroke ends (and is committed).
  TZelGraphicsTool* AbortStroke() override;
  // A stroke on the closing document ends first: its buffers are about to go.
  void DocumentClosing(TZelGraphicsDocument* document) override;

  // ---- Virtual operations ----
  virtual void SizeChanged() {}
  // Only a different value within MinSize..MaxSize: the outlines are repainted,
  // Size := Value, SizeChanged, the slider follows, the line is recorded.
  virtual void SetSize(int32_t value);
  virtual void OpacityChanged() {}
  // Only a different value within 0..255.
  virtual void SetOpacity(int32_t value);
  // False when the tool may not start now (quill::ToolMayStart); else records the control,
  // the button and the shift state and begins the operation on the control's view.
  virtual bool BeginStroke(TZelDrawToolControl* control, quill::TMouseButton button, quill::TShiftState shift);
  // Rect clipped to the image; when something is left: ProcessDab, then the dirty
  // rectangle grows by it.
  virtual void ApplyDab(const quill::TRect& rect);
  // The subclass's pixel work on Rect (clipped to the image); nothing here.
  virtual void ProcessDab(const quill::TRect& /*rect*/) {}
  // Commits the operation; Control := null.
  virtual void EndStroke();

  // ---- Binding the option frame's controls (once, in the constructor) ----
  // The slider's range, ticks and position follow the tool; moving it calls the setter.
  void SetSizeTrackBar(QSlider* trackBar);
  void SetOpacityTrackBar(QSlider* trackBar);

  // While a recording runs and Name is set: the line Name + Option + " " + Value.
  void RecordOption(const QString& option, int32_t value);
};

class TZelMaskDrawTool : public TZelDrawTool {
 public:
  // DabMask computed, StrokeMask empty.
  explicit TZelMaskDrawTool(TZelComponent* owner);
  // The preview box, which outlives the tool in the tool panel, paints nothing more.
  ~TZelMaskDrawTool() override;

  // ---- Fields ----
  // The mask of one dab: at (0, 0) between dabs, over the dab inside ApplyDab.
  TZelPixelMask DabMask;
  // The dabs of the running stroke, merged by maximum (when UseStrokeMask).
  TZelPixelMask StrokeMask;
  // The option frame's preview of the dab, or null (the tool panel owns it).
  QPointer<quill::TZelPaintBox> PreviewBox;
  bool UseStrokeMask = false;
  // The shift state of the latest mouse down or move.
  quill::TShiftState LastShift = 0;

  // UpdateDabMask, then every control's outline follows the new Size.
  void SizeChanged() override;
  // UpdateDabMask.
  void OpacityChanged() override;
  // DabMask over Rect's top-left, merged into StrokeMask when UseStrokeMask, the
  // inherited, DabMask back to (0, 0).
  void ApplyDab(const quill::TRect& rect) override;
  // StrokeMask cleared, then the inherited.
  void EndStroke() override;

  // Recomputes DabMask; here only the preview repaints.
  virtual void UpdateDabMask();

  // StrokeMask when UseStrokeMask, else DabMask.
  const TZelPixelMask& CurrentMask() const { return UseStrokeMask ? StrokeMask : DabMask; }
  // Box (or null) shows the dab: black on white while enabled, grey while disabled.
  void SetPreviewBox(quill::TZelPaintBox* box);
  // The dab centred in Rect: Colour painted through the mask onto white, a grey frame.
  void DrawPreview(QPainter& painter, const QRect& rect, QColor colour);
};

class TZelBrushTool : public TZelMaskDrawTool {
 public:
  // Hardness 128; the controls are TZelBrushToolControls.
  explicit TZelBrushTool(TZelComponent* owner);

  int32_t Hardness = 0;
  QPointer<QSlider> HardnessTrackBar;

  // Name + "HARDNESS", then the inherited.
  void ExecuteCommand(TZelDemoPlayback* sender, const QString& command, bool& handled, const TZelProperties* params) override;
  void GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found, quill::TPoint& point) override;
  // The soft disc of Size, Opacity and Hardness; then the inherited.
  void UpdateDabMask() override;

  // Only a different value within 0..255.
  virtual void SetHardness(int32_t value);
  void SetHardnessTrackBar(QSlider* trackBar);
};

// ---- Controls ----

class TZelDrawToolControl : public TZelGraphicsToolControl {
 public:
  using TZelGraphicsToolControl::TZelGraphicsToolControl;

  bool Stroking = false;

  // The old and the new paint bounds repaint.
  void SetBounds(const quill::TRect& rect) override;
  // Visible, then the inherited.
  void Activate() override;
  // Invisible, then the inherited.
  void Deactivate() override;

  // Stroking := false; the tool's EndStroke.
  virtual void EndStroke();
  // The tool's ApplyDab with the control's bounds.
  virtual void ApplyDab();

  // False while stroking; else Stroking := the tool's BeginStroke, returned.
  bool StartStroke(quill::TMouseButton button, quill::TShiftState shift);

  TZelDrawTool* DrawTool() const { return static_cast<TZelDrawTool*>(Tool); }
};

class TZelMaskDrawToolControl : public TZelDrawToolControl {
 public:
  using TZelDrawToolControl::TZelDrawToolControl;

  // The brush centre in image coordinates.
  quill::TPoint Position;
  // Position := Point; bounds := DabRect(Point, Size).
  void SetPosition(const quill::TPoint& point);

  // Each does nothing and claims nothing while inactive. Active: the position from
  // the pointer, then the inherited.
  void Activate() override;
  // No pointer: the outline stands in for it.
  bool SetCursor(quill::TShiftState shift, const quill::TPoint& point, int& cursor) override;
  void MouseEnter() override;
  void MouseLeave() override;
  // Starts a stroke with a dab at Position (StrokeKind 1: and ends it).
  bool MouseDown(quill::TMouseButton button, quill::TShiftState shift, const quill::TPoint& point) override;
  // The position follows the pointer; while stroking, a dab.
  bool MouseMove(quill::TShiftState shift, const quill::TPoint& point) override;
  // StrokeKind 0: the stroke ends.
  bool MouseUp(quill::TMouseButton button, quill::TShiftState shift, const quill::TPoint& point) override;
  // Ignored (but claimed) while stroking; else the size changes by Delta.
  bool MouseWheel(quill::TShiftState shift, int delta, const quill::TPoint& point) override;
  // Page Up, Up, Right: size + 1; Page Down, Down, Left: size - 1. Only these claimed.
  bool KeyDown(uint16_t key, quill::TShiftState shift) override;
};

class TZelBrushToolControl : public TZelMaskDrawToolControl {
 public:
  using TZelMaskDrawToolControl::TZelMaskDrawToolControl;

  // The outline's device rectangle: Size image pixels across, centred on the device
  // centre of Position's pixel, at least 1 x 1, grown by 1 on every side.
  quill::TRect OutlineRect(const TZelMapMode& mapMode) const;
  // The device bounds (at least 1 x 1) grown by 2 on every side.
  quill::TRect GetOverlayBounds(const TZelMapMode& mapMode) const override;
  // The ellipse in OutlineRect, one pixel wide, inverting the pixels under it.
  void PaintOverlay(TZelViewCanvas& canvas) override;
};


#endif  // QUILL_EDITOR_TOOLS_ZELDRAWTOOL_H_

// TZelCrop2ToolControl: the crop tool's control in one graphics view. It draws the
// crop rectangle, resizes it by eight handles under the tool's aspect ratio, moves it
// within the document's bounds (the selection, or the whole image), and performs or
// cancels the crop by mouse or keyboard. While a rectangle is shown it darkens the
// image outside it.
//
// States: none (no rectangle) -> drawing (a drag from a point inside the bounds; the
// editor is locked to the crop tool) -> shown (mouse up) -> dragging (mouse down on a
// handle or inside) -> shown (mouse up). From shown, Enter or a left click outside the
// rectangle performs the crop, Esc or a right click outside cancels it; both end in
// none and release the lock. Activating and deactivating the tool only shows and hides
// the control: the state and the rectangle survive.
//
// While a new rectangle is drawn the pointer is held inside the bounds, so a drag past
// an edge reaches that edge; a rectangle that a ratio would still carry beyond the
// bounds keeps the previous one. A handle or move drag never makes it empty or
// inverted and never takes it beyond the bounds: such a step keeps the last accepted
// rectangle. A change smaller than one device pixel is dropped.
//
// Hit codes: 0 none (outside), 3 inside, 4 top centre, 5 top right, 6 right middle,
// 7 bottom right, 8 bottom centre, 9 bottom left, 10 left middle, 11 top left. The
// handle points of the right and bottom edges lie on those edges; the hit test tries
// the handles in the order top left, top centre, top right, right middle, bottom left,
// bottom centre, bottom right, left middle (the boxes, the cursors and the painting of
// handles and focus rectangle are TZelBoxToolControl's).
//
// Painting writes the view canvas's 24-bit pixels directly, within its clip: every
// channel C outside the rectangle becomes C - (C * 92 >> 8); then the handles and the
// dotted focus rectangle are inverted. Painting only reads the tool's state.
//
// Main thread only.

#ifndef QUILL_EDITOR_ZELCROP2TOOLCONTROL_H_
#define QUILL_EDITOR_ZELCROP2TOOLCONTROL_H_

#include <cstdint>

#include "ZelBoxToolControl.h"
#include "ZelTypes.h"

class TZelCrop2Tool;

// The control's states and hit codes are the box control's.
using TCropState = TBoxState;
using TCropHandle = TBoxHandle;

namespace quill {

// R with the ratio RatioWidth : RatioHeight applied for a drag of Handle (see the
// table in ZelCrop2ToolControl.cpp); unchanged while either ratio side is 0 or less.
// Products never overflow (they are formed in floating point, exact below 2^53); the
// quotient is rounded with halves to even; the result saturates at the 32-bit limits.
quill::TRect ApplyAspectRatio(int32_t handle, const quill::TRect& r, int32_t ratioWidth, int32_t ratioHeight);

// The rectangle spanned from Anchor to Point, oriented by the quadrant Point lies in,
// with the ratio applied; false (Rect untouched) when Point shares Anchor's column or
// row.
bool RectFromDrag(const quill::TPoint& anchor, const quill::TPoint& point, int32_t ratioWidth,
                  int32_t ratioHeight, quill::TRect& rect);

// R with Handle's edges moved by (DX, DY) (inside: the whole rectangle; edges stop at
// the 32-bit limits), then the ratio applied. Edges are not re-ordered.
quill::TRect ResizeByHandle(const quill::TRect& r, int32_t handle, int32_t dx, int32_t dy, int32_t ratioWidth,
                     int32_t ratioHeight);

// R's size kept, its origin clamped into Bounds (lower limit first, then upper).
quill::TRect ClampMovedRect(const quill::TRect& r, const quill::TRect& bounds);

}  // namespace quill

// The state (TCropState), the rectangle when the current drag began (StartRect), the
// image point it began at (Anchor) and the handle grabbed then (GrabbedCode) are the
// box control's fields. The overlay reaches 5 pixels beyond the image while shown.
class TZelCrop2ToolControl : public TZelBoxToolControl {
 public:
  TZelCrop2ToolControl(TZelGraphicsTool* tool, TZelGraphicsView* view);

  // ---- View object ----
  void PaintOverlay(TZelViewCanvas& canvas) override;

  // ---- Tool control ----
  // Active: shown gives the size cursor of the handle under the pointer (size-all
  // inside; not claimed outside); none gives the cross; drawing and dragging are not
  // claimed.
  bool SetCursor(quill::TShiftState shift, const quill::TPoint& point, int& cursor) override;
  // Active: in state none a press inside the bounds starts a new rectangle (when the
  // tool may work; the editor is locked to the tool); in state shown a press on a
  // handle or inside starts a drag. Any button.
  bool MouseDown(quill::TMouseButton button, quill::TShiftState shift, const quill::TPoint& point) override;
  // Active: drawing or dragging moves the rectangle; the status bar's size panels show
  // its size whenever it is not empty.
  bool MouseMove(quill::TShiftState shift, const quill::TPoint& point) override;
  // Active: shown and outside the rectangle, the left button performs and the right
  // button cancels; drawing or dragging end in shown.
  bool MouseUp(quill::TMouseButton button, quill::TShiftState shift, const quill::TPoint& point) override;
  // Active with a rectangle: Esc cancels, Enter performs; every key is claimed.
  bool KeyDown(uint16_t key, quill::TShiftState shift) override;

  // ---- Own ----
  // Repaints; state none; when a rectangle existed, the editor's lock is released and
  // the status bar's size panels show the image's size again.
  void ResetCrop();
  // The tool's CancelOperation, a recorded click on "CropCancel", state none. Claimed.
  bool CancelCrop();
  // The tool's Perform, a recorded click on "CropPerform", state none. Claimed.
  bool PerformCrop();
  quill::TRect GetCropRect() const;
  // The hit code of the device point P.
  int32_t HitTestHandle(const quill::TPoint& p) const;

 private:
  // The tool's Perform (or CancelOperation), the recorded click on "CropPerform" (or
  // "CropCancel"), ResetCrop. Claimed.
  bool EndCrop(bool perform);
  TZelCrop2Tool& CropTool() const;
  // The document's bounds (selection or whole image), read afresh.
  quill::TRect Bounds() const;
  quill::TRect ToDevice(const quill::TRect& rect) const;
  quill::TPoint ToImage(const quill::TPoint& point) const;
};

#endif  // QUILL_EDITOR_ZELCROP2TOOLCONTROL_H_

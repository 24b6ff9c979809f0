// The text box: the text tool's input handler in one graphics view, and the handle
// geometry it uses.
//
// The user drags a box over the image (the text is stretched to fill it), resizes it
// by eight handles, moves it by dragging inside, and flips the text by dragging a
// handle across the opposite edge (a box drawn leftwards or upwards starts mirrored).
// Enter or a left click outside the box commits the text; Esc or a right click
// anywhere cancels it. While a box exists the editor is locked to the text tool.
//
// States: none -> drawing (left button down inside the document's bounds) -> shown
// (button up; a box smaller than 2 x 2 is cancelled at once) -> dragging (left button
// down on a handle or inside) -> shown (button up). Commit and cancel go back to none
// through ResetTextBox, which releases the editor's lock.
//
// Hit codes (TTextBoxHandle): 0 none, 3 inside, 4..11 the handles clockwise from the
// top to the top left, tried in that order. Handle boxes are 9 x 9 device pixels
// around the handle points; the points of the right and bottom edges lie one pixel
// inside the box. The drag's edge factors (TextBoxHandleFactors, OffsetEdgesByHandle),
// the cursors and painting are TZelBoxToolControl's; the handles it paints and hits
// are TextBoxHandleBox around TextBoxHandlePoint.
//
// The overlay only draws: the dotted focus rectangle around the box and, while it is
// shown, the handles, each inverted directly in the view's canvas. The image under
// the box is changed by the tool whenever the box or the text changes.
//
// Main thread only.

#ifndef QUILL_EDITOR_ZELTEXTTOOLCONTROL_H_
#define QUILL_EDITOR_ZELTEXTTOOLCONTROL_H_

#include <cstdint>

#include "ZelBoxToolControl.h"
#include "ZelTypes.h"

class TZelTextTool;

// The text box's states and hit codes are the box control's.
using TTextBoxState = TBoxState;
using TTextBoxHandle = TBoxHandle;

// The point of handle Code on R: the middle of an edge or a corner, the right and
// bottom ones one pixel inside; the centre for any other code. Halves truncate.
quill::TPoint TextBoxHandlePoint(const quill::TRect& r, int32_t code);
// The square of side Size (0 means 9) centred on Point: (X - Size div 2, Y - Size div
// 2) to that plus Size.
quill::TRect TextBoxHandleBox(const quill::TPoint& point, int32_t size);
// The first handle 4..11 whose 9 x 9 box holds P; else 3 when R holds P; else 0.
int32_t TextBoxHitTest(const quill::TRect& r, const quill::TPoint& p);
// (min X, min Y, max X, max Y).
quill::TRect NormalizeRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2);

// The state (TTextBoxState), the image point where the drag began (Anchor), the box
// then (StartRect) and the hit code under the pointer at the last button down
// (GrabbedCode) are the box control's fields. The overlay reaches 4 pixels beyond the
// image while the box is shown.
class TZelTextToolControl : public TZelBoxToolControl {
 public:
  TZelTextToolControl(TZelGraphicsTool* tool, TZelGraphicsView* view);

  // ---- Fields ----
  // Image coordinates, right and bottom exclusive.
  quill::TRect TextBox;
  // The edges the grabbed handle moves.
  bool RightHandle = false;
  bool LeftHandle = false;
  bool BottomHandle = false;
  bool TopHandle = false;
  // The tool's mirror flags when the drag began.
  bool StartMirrorX = false;
  bool StartMirrorY = false;

  // ---- View object ----
  // While a box exists: the dotted focus rectangle around it and, while shown, the
  // handles, inverted in the canvas within its clip.
  void PaintOverlay(TZelViewCanvas& canvas) override;

  // ---- Control ----
  // While active: none gives the cross; shown gives the sizing cursor of the handle
  // under the pointer (the move cursor inside, nothing outside); drawing and dragging
  // keep the cursor they started with. Claimed whenever active.
  bool SetCursor(quill::TShiftState shift, const quill::TPoint& point, int& cursor) override;
  bool MouseDown(quill::TMouseButton button, quill::TShiftState shift, const quill::TPoint& point) override;
  bool MouseMove(quill::TShiftState shift, const quill::TPoint& point) override;
  bool MouseUp(quill::TMouseButton button, quill::TShiftState shift, const quill::TPoint& point) override;
  // While active and shown: Enter commits, Esc cancels; claimed.
  bool KeyDown(uint16_t key, quill::TShiftState shift) override;

  // ---- Box control ----
  // TextBoxHandleBox of Side around TextBoxHandlePoint (D, Code).
  quill::TRect HandleBoxOf(const quill::TRect& d, int32_t code, int32_t side) const override;

  // ---- Own ----
  // TextBoxHitTest of the box mapped to device coordinates.
  int32_t HitTest(const quill::TPoint& point) const;
  // Repaints, state none, the editor's lock released, the tool's text no longer shown.
  void ResetTextBox();

 private:
  TZelTextTool* TextTool() const;
  // The document's bounds (its selection, or the whole image).
  quill::TRect Bounds() const;
};

#endif  // QUILL_EDITOR_ZELTEXTTOOLCONTROL_H_

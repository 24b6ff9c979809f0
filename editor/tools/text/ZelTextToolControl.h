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
// top to the top left. Handle boxes are 9 x 9 device pixels around the handle points;
// the points of the right and bottom edges lie one pixel inside the box.
//
// The overlay only draws: the dotted focus rectangle around the box and, while it is
// shown, the handles, each inverted directly in the view's canvas. The image under
// the box is changed by the tool whenever the box or the text changes.
//
// Main thread only.

#ifndef QUILL_EDITOR_ZELTEXTTOOLCONTROL_H_
#define QUILL_EDITOR_ZELTEXTTOOLCONTROL_H_

#include <array>
#include <cstdint>

#include "ZelGraphicsTool.h"
#include "ZelTypes.h"

class TZelTextTool;

enum TTextBoxState : uint8_t { tbsNone = 0, tbsDrawing = 1, tbsShown = 2, tbsDragging = 3 };

enum TTextBoxHandle : int32_t {
  tbhNone = 0,
  tbhInside = 3,
  tbhTop = 4,
  tbhTopRight = 5,
  tbhRight = 6,
  tbhBottomRight = 7,
  tbhBottom = 8,
  tbhBottomLeft = 9,
  tbhLeft = 10,
  tbhTopLeft = 11,
};

// For each hit code 3..11 (indexed by code - 3), the factors by which a drag's DX
// moves the left and right edges and its DY the top and bottom edges.
struct TTextBoxHandleFactorTable {
  std::array<int32_t, 9> Left;
  std::array<int32_t, 9> Right;
  std::array<int32_t, 9> Top;
  std::array<int32_t, 9> Bottom;
};
inline constexpr TTextBoxHandleFactorTable TextBoxHandleFactors = {
    {1, 0, 0, 0, 0, 0, 1, 1, 1},
    {1, 0, 1, 1, 1, 0, 0, 0, 0},
    {1, 1, 1, 0, 0, 0, 0, 0, 1},
    {1, 0, 0, 0, 1, 1, 1, 0, 0},
};

// R with its edges moved by (DX, DY) times the factors of Code; R itself for a code
// outside 3..11. Edges stop at the 32-bit limits.
quill::TRect OffsetEdgesByHandle(const quill::TRect& r, int32_t code, int32_t dx, int32_t dy);
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

class TZelTextToolControl : public TZelGraphicsToolControl {
 public:
  TZelTextToolControl(TZelGraphicsTool* tool, TZelGraphicsView* view);

  // ---- Fields ----
  // Image coordinates, right and bottom exclusive.
  quill::TRect TextBox;
  TTextBoxState State = tbsNone;
  // The edges the grabbed handle moves.
  bool RightHandle = false;
  bool LeftHandle = false;
  bool BottomHandle = false;
  bool TopHandle = false;
  // The tool's mirror flags and the box when the drag began.
  bool StartMirrorX = false;
  bool StartMirrorY = false;
  quill::TRect StartBox;
  // The image point where the drag began.
  quill::TPoint Anchor;
  // The hit code under the pointer at the last button down.
  int32_t GrabbedCode = tbhNone;

  // ---- View object ----
  // The whole image in device coordinates, grown by 4 pixels while the box is shown
  // (the handles reach beyond it).
  quill::TRect GetOverlayBounds(const TZelMapMode& mapMode) const override;
  // While a box exists: the dotted focus rectangle around it and, while shown, the
  // handles, inverted in the canvas within its clip.
  void PaintOverlay(TZelViewCanvas& canvas) override;

  // ---- Control ----
  // The inherited, then visible.
  void Activate() override;
  // Hidden, then the inherited.
  void Deactivate() override;
  // While active: none gives the cross; shown gives the sizing cursor of the handle
  // under the pointer (the move cursor inside, nothing outside); drawing and dragging
  // keep the cursor they started with. Claimed whenever active.
  bool SetCursor(quill::TShiftState shift, const quill::TPoint& point, int& cursor) override;
  bool MouseDown(quill::TMouseButton button, quill::TShiftState shift, const quill::TPoint& point) override;
  bool MouseMove(quill::TShiftState shift, const quill::TPoint& point) override;
  bool MouseUp(quill::TMouseButton button, quill::TShiftState shift, const quill::TPoint& point) override;
  // While active and shown: Enter commits, Esc cancels; claimed.
  bool KeyDown(uint16_t key, quill::TShiftState shift) override;

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

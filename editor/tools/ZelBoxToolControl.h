// TZelBoxToolControl: what the tool controls share that edit a box with eight handles
// over the image (the crop rectangle and the text box): the box's states, the handle
// points and their hit test, the size cursors, the overlay's reach, the painting of
// the handles and the dotted focus rectangle, and the status bar's size panels. Each
// tool's control keeps its own mouse and key handling and where its box lives.
//
// States (TBoxState; TCropState and TTextBoxState are its names in the two tools): 0
// none (no box), 1 drawing (a new box is dragged), 2 shown (the box can be edited), 3
// dragging (a handle or the whole box is dragged). Activating the control makes it
// visible, deactivating hides it; the state survives both.
//
// Hit codes (TBoxHandle; TCropHandle and TTextBoxHandle are its names in the two
// tools): 0 none (outside), 3 inside, 4 top centre, 5 top right, 6 right middle, 7
// bottom right, 8 bottom centre, 9 bottom left, 10 left middle, 11 top left. The
// handle points lie on the box's edges and corners, the middles truncated; the points
// of the right and bottom edges lie on those edges (inset 0) or one pixel inside the
// box (inset 1). A handle's box is the 9 x 9 device-pixel square (X - 4, Y - 4, X + 5,
// Y + 5) around its point. The hit test tries the handles in the tool's order, the
// first box holding the point wins; then inside, then none. The control takes a
// handle's box from HandleBoxOf: the crop rectangle's points lie on its edges, the text
// box answers from its own handle functions.
//
// Painting writes the view canvas's 24-bit pixels directly, within its clip: each
// handle is its 9 x 9 box inverted and then its 7 x 7 box inverted again (a one-pixel
// inverted outline); the dotted focus rectangle inverts every other pixel (those
// where x + y is even) of the box's one-pixel outline. Inversions commute, so the
// order of the two does not show.
//
// Main thread only.

#ifndef QUILL_EDITOR_ZELBOXTOOLCONTROL_H_
#define QUILL_EDITOR_ZELBOXTOOLCONTROL_H_

#include <array>
#include <cstdint>

#include "ZelGraphicsTool.h"
#include "ZelTypes.h"
#include "ZelViewCanvas.h"

// The box's states.
enum TBoxState : uint8_t { bsNone = 0, bsDrawing = 1, bsShown = 2, bsDragging = 3 };

// The hit codes: outside, inside, then the eight handles clockwise from the top centre.
enum TBoxHandle : int32_t {
  bhNone = 0,
  bhInside = 3,
  bhTop = 4,
  bhTopRight = 5,
  bhRight = 6,
  bhBottomRight = 7,
  bhBottom = 8,
  bhBottomLeft = 9,
  bhLeft = 10,
  bhTopLeft = 11,
};

// The factors by which a drag's DX moves the left and right edges, and its DY the top
// and bottom edges, for each hit code 3..11 (indexed by code - 3). The text box names
// them; the crop rectangle's handles move the same edges.
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
// outside 3..11. Edges stop at the 32-bit limits; they are not re-ordered.
quill::TRect OffsetEdgesByHandle(const quill::TRect& r, int32_t code, int32_t dx, int32_t dy);

namespace quill {

// The side of a handle's box in device pixels.
constexpr int32_t kHandleSide = 9;

// The order in which a hit test tries the eight handles.
using THandleOrder = std::array<int32_t, 8>;

// The point of handle Code (4..11) of R, the right and bottom ones Inset pixels inside
// R; the centre of R for any other code. Halves truncate.
TPoint BoxHandlePoint(const TRect& r, int32_t code, int32_t inset);
// The square of side Side centred on Point: (X - Side div 2, Y - Side div 2) to that
// plus Side, kept to 32 bits.
TRect HandleBox(const TPoint& point, int32_t side);
// The first handle in Order whose box, HandleBoxOf(Code), holds P; else inside when R
// holds P; else none.
template <class HandleBoxOf>
int32_t HitTestBoxHandles(const TRect& r, const TPoint& p, const THandleOrder& order, HandleBoxOf&& handleBoxOf) {
  for (int32_t code : order) {
    if (handleBoxOf(code).Contains(p.X, p.Y)) return code;
  }
  return r.Contains(p.X, p.Y) ? bhInside : bhNone;
}
// The size cursor of hit code Code into Cursor: size-all inside, north-east/south-west
// for top right and bottom left, west-east for the middles of the sides,
// north-west/south-east for bottom right and top left, north-south for the centres of
// top and bottom. False (Cursor untouched) for none.
bool BoxHandleCursor(int32_t code, int& cursor);

// Every pixel of Area inverted in the canvas, within its clip.
void InvertCanvasRect(TZelViewCanvas& canvas, const TRect& area);
// The dotted focus rectangle: every other pixel of Rect's one-pixel outline inverted,
// each pixel once; nothing for an empty Rect.
void InvertFocusRect(TZelViewCanvas& canvas, const TRect& rect);

// Calls Visit(pixel address, x, y) for every pixel of Area inside the canvas's clip.
template <class Visit>
void ForEachCanvasPixel(TZelViewCanvas& canvas, const TRect& area, Visit&& visit) {
  TZelCanvasPixels& pixels = canvas.GetPixels();
  canvas.ForEachClipRect(area, [&](const TRect& part) {
    for (int32_t y = part.Top; y < part.Bottom; ++y) {
      uint8_t* p = pixels.GetScanLine(part.Left, y);
      for (int32_t x = part.Left; x < part.Right; ++x, p += 3) visit(p, x, y);
    }
  });
}

}  // namespace quill

class TZelBoxToolControl : public TZelGraphicsToolControl {
 public:
  // Order: the hit test's order of the handles; Reach: how many device pixels the
  // overlay reaches beyond the image while the box is shown (the handles stick out).
  TZelBoxToolControl(TZelGraphicsTool* tool, TZelGraphicsView* view, const quill::THandleOrder& order,
                     int32_t reach);

  uint8_t State = bsNone;
  // The image point where the current drag began, the box (image coordinates) and the
  // hit code then.
  quill::TPoint Anchor;
  quill::TRect StartRect;
  int32_t GrabbedCode = bhNone;

  // ---- View object ----
  // The whole image in device coordinates, grown by the reach while shown.
  quill::TRect GetOverlayBounds(const TZelMapMode& mapMode) const override;

  // ---- Tool control ----
  // The inherited, then visible.
  void Activate() override;
  // Hidden, then the inherited.
  void Deactivate() override;

 protected:
  // The square of side Side around the point of handle Code on the device box D: here
  // the handle points lie on the box's edges (inset 0).
  virtual quill::TRect HandleBoxOf(const quill::TRect& d, int32_t code, int32_t side) const;
  // The hit code of the device point P on the device box D, the handles' 9 x 9 boxes
  // from HandleBoxOf.
  int32_t HitTestBox(const quill::TRect& d, const quill::TPoint& p) const;
  // The dotted focus rectangle around the device box D and, while shown, its handles
  // (their 9 x 9 and 7 x 7 boxes from HandleBoxOf).
  void PaintBox(TZelViewCanvas& canvas, const quill::TRect& d) const;
  // The status bar's size panels show R's width and height when R is not empty.
  void ShowBoxSize(const quill::TRect& r) const;

 private:
  const quill::THandleOrder order_;
  const int32_t reach_;
};

#endif  // QUILL_EDITOR_ZELBOXTOOLCONTROL_H_

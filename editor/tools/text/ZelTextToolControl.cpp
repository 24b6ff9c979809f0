#include "ZelTextToolControl.h"

#include <algorithm>

#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsView.h"
#include "ZelTextTool.h"
#include "ZelViewCanvas.h"

namespace {

// The right and bottom handle points lie one pixel inside the box.
constexpr int32_t kHandleInset = 1;
// How far the overlay reaches beyond the image while the box is shown.
constexpr int32_t kOverlayMargin = 4;
constexpr quill::THandleOrder kHandleOrder = {bhTop,    bhTopRight,   bhRight, bhBottomRight,
                                              bhBottom, bhBottomLeft, bhLeft,  bhTopLeft};

int32_t Clamp64(int64_t value) { return quill::SaturateInt32(value); }

}  // namespace

quill::TPoint TextBoxHandlePoint(const quill::TRect& r, int32_t code) {
  return quill::BoxHandlePoint(r, code, kHandleInset);
}

quill::TRect TextBoxHandleBox(const quill::TPoint& point, int32_t size) {
  return quill::HandleBox(point, size == 0 ? quill::kHandleSide : size);
}

int32_t TextBoxHitTest(const quill::TRect& r, const quill::TPoint& p) {
  return quill::HitTestBoxHandles(r, p, kHandleOrder,
                                  [&r](int32_t code) { return TextBoxHandleBox(TextBoxHandlePoint(r, code), 0); });
}

quill::TRect NormalizeRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  return {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

// ---- TZelTextToolControl ----

TZelTextToolControl::TZelTextToolControl(TZelGraphicsTool* tool, TZelGraphicsView* view)
    : TZelBoxToolControl(tool, view, kHandleOrder, kOverlayMargin) {}

quill::TRect TZelTextToolControl::HandleBoxOf(const quill::TRect& d, int32_t code, int32_t side) const {
  return TextBoxHandleBox(TextBoxHandlePoint(d, code), side);
}

void TZelTextToolControl::PaintOverlay(TZelViewCanvas& canvas) {
  if (State == bsNone) return;
  PaintBox(canvas, canvas.GetMapMode().LogicalToDeviceRect(TextBox));
}

bool TZelTextToolControl::SetCursor(quill::TShiftState /*shift*/, const quill::TPoint& point, int& cursor) {
  if (!Active) return false;
  if (State == bsNone) {
    cursor = quill::crCross;
  } else if (State == bsShown) {
    quill::BoxHandleCursor(HitTest(point), cursor);
  }
  return true;
}

bool TZelTextToolControl::MouseDown(quill::TMouseButton button, quill::TShiftState /*shift*/, const quill::TPoint& point) {
  if (!Active) return false;
  GrabbedCode = HitTest(point);
  TZelTextTool* tool = TextTool();
  if (button != quill::mbLeft || tool == nullptr) return false;
  if (State == bsNone) {
    const quill::TRect bounds = View->GetMapMode().LogicalToDeviceRect(Bounds());
    if (!bounds.Contains(point.X, point.Y) || !quill::ToolMayStart(*tool)) return false;
    if (!tool->BeginOperation(View)) return true;
    GraphicsEditor->LockToCurrentTool();
    Anchor = View->ClientToImage(point);
    TextBox = {Anchor.X, Anchor.Y, Clamp64(int64_t{Anchor.X} + 1), Clamp64(int64_t{Anchor.Y} + 1)};
    State = bsDrawing;
    return true;
  }
  if (State == bsShown && GrabbedCode >= bhInside) {
    RightHandle = GrabbedCode == bhTopRight || GrabbedCode == bhRight || GrabbedCode == bhBottomRight;
    LeftHandle = GrabbedCode == bhBottomLeft || GrabbedCode == bhLeft || GrabbedCode == bhTopLeft;
    BottomHandle = GrabbedCode == bhBottomRight || GrabbedCode == bhBottom || GrabbedCode == bhBottomLeft;
    TopHandle = GrabbedCode == bhTop || GrabbedCode == bhTopRight || GrabbedCode == bhTopLeft;
    StartMirrorX = tool->MirrorX;
    StartMirrorY = tool->MirrorY;
    StartRect = TextBox;
    Anchor = View->ClientToImage(point);
    State = bsDragging;
    return true;
  }
  return false;
}

bool TZelTextToolControl::MouseMove(quill::TShiftState /*shift*/, const quill::TPoint& point) {
  TZelTextTool* tool = TextTool();
  if (!Active || tool == nullptr) return false;
  const bool drawing = State == bsDrawing;
  if (!drawing && !(State == bsDragging && GrabbedCode >= bhInside)) return false;
  const quill::TPoint q = View->ClientToImage(point);
  Invalidate();
  if (drawing) {
    const quill::TRect drawn = quill::IntersectRect(NormalizeRect(Anchor.X, Anchor.Y, q.X, q.Y), Bounds());
    // An empty drag (a line, or outside the bounds) keeps the box it had.
    if (!drawn.IsEmpty()) TextBox = drawn;
    tool->MirrorX = q.X < Anchor.X;
    tool->MirrorY = q.Y < Anchor.Y;
  } else {
    const quill::TRect moved = OffsetEdgesByHandle(StartRect, GrabbedCode, Clamp64(int64_t{q.X} - Anchor.X),
                                            Clamp64(int64_t{q.Y} - Anchor.Y));
    quill::TRect r = NormalizeRect(moved.Left, moved.Top, moved.Right, moved.Bottom);
    if (GrabbedCode != bhInside) r = quill::IntersectRect(r, Bounds());
    if (!r.IsEmpty()) TextBox = r;
    tool->MirrorX = StartMirrorX != ((RightHandle && r.Left < StartRect.Left) ||
                                     (LeftHandle && r.Right > StartRect.Right));
    tool->MirrorY = StartMirrorY != ((BottomHandle && r.Top < StartRect.Top) ||
                                     (TopHandle && r.Bottom > StartRect.Bottom));
  }
  if (drawing || GrabbedCode != bhInside) tool->StretchToBox();
  tool->BlendAndShow();
  Invalidate();
  ShowBoxSize(TextBox);
  return true;
}

bool TZelTextToolControl::MouseUp(quill::TMouseButton button, quill::TShiftState /*shift*/, const quill::TPoint& point) {
  TZelTextTool* tool = TextTool();
  if (!Active || tool == nullptr) return false;
  if (button == quill::mbLeft && (State == bsDrawing || State == bsDragging)) {
    State = bsShown;
    Invalidate();
    if (TextBox.Width() < 2 && TextBox.Height() < 2) {
      tool->CancelOperation();  // a click without a drag
    } else {
      tool->StretchToBox();
      tool->BlendAndShow();
    }
    return true;
  }
  if (button == quill::mbLeft && State == bsShown && HitTest(point) == bhNone) {
    tool->CommitText();
    return true;
  }
  if (button == quill::mbRight && State == bsShown) {
    tool->CancelOperation();
    return true;
  }
  return false;
}

bool TZelTextToolControl::KeyDown(uint16_t key, quill::TShiftState /*shift*/) {
  TZelTextTool* tool = TextTool();
  if (!Active || State != bsShown || tool == nullptr) return false;
  if (key == quill::VK_RETURN) {
    tool->CommitText();
    return true;
  }
  if (key == quill::VK_ESCAPE) {
    tool->CancelOperation();
    return true;
  }
  return false;
}

int32_t TZelTextToolControl::HitTest(const quill::TPoint& point) const {
  return TextBoxHitTest(View->GetMapMode().LogicalToDeviceRect(TextBox), point);
}

void TZelTextToolControl::ResetTextBox() {
  Invalidate();
  State = bsNone;
  if (GraphicsEditor != nullptr) GraphicsEditor->UnlockTool();
  if (TZelTextTool* tool = TextTool()) tool->TextShown = false;
}

TZelTextTool* TZelTextToolControl::TextTool() const { return static_cast<TZelTextTool*>(Tool); }

quill::TRect TZelTextToolControl::Bounds() const { return View->Document->GetBounds(); }

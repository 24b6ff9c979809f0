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
constexpr quill::THandleOrder kHandleOrder = {tbhTop,    tbhTopRight,   tbhRight, tbhBottomRight,
                                              tbhBottom, tbhBottomLeft, tbhLeft,  tbhTopLeft};

int32_t Clamp64(int64_t value) { return quill::SaturateInt32(value); }

}  // namespace

quill::TPoint TextBoxHandlePoint(const quill::TRect& r, int32_t code) {
  return quill::BoxHandlePoint(r, code, kHandleInset);
}

quill::TRect TextBoxHandleBox(const quill::TPoint& point, int32_t size) {
  return quill::HandleBox(point, size == 0 ? quill::kHandleSide : size);
}

int32_t TextBoxHitTest(const quill::TRect& r, const quill::TPoint& p) {
  return quill::HitTestBoxHandles(r, p, kHandleInset, kHandleOrder);
}

quill::TRect NormalizeRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  return {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

// ---- TZelTextToolControl ----

TZelTextToolControl::TZelTextToolControl(TZelGraphicsTool* tool, TZelGraphicsView* view)
    : TZelBoxToolControl(tool, view, kHandleInset, kHandleOrder, kOverlayMargin) {}

void TZelTextToolControl::PaintOverlay(TZelViewCanvas& canvas) {
  if (State == tbsNone) return;
  PaintBox(canvas, canvas.GetMapMode().LogicalToDeviceRect(TextBox));
}

bool TZelTextToolControl::SetCursor(quill::TShiftState /*shift*/, const quill::TPoint& point, int& cursor) {
  if (!Active) return false;
  if (State == tbsNone) {
    cursor = quill::crCross;
  } else if (State == tbsShown) {
    quill::BoxHandleCursor(HitTest(point), cursor);
  }
  return true;
}

bool TZelTextToolControl::MouseDown(quill::TMouseButton button, quill::TShiftState /*shift*/, const quill::TPoint& point) {
  if (!Active) return false;
  GrabbedCode = HitTest(point);
  TZelTextTool* tool = TextTool();
  if (button != quill::mbLeft || tool == nullptr) return false;
  if (State == tbsNone) {
    const quill::TRect bounds = View->GetMapMode().LogicalToDeviceRect(Bounds());
    if (!bounds.Contains(point.X, point.Y) || !quill::ToolMayStart(*tool)) return false;
    if (!tool->BeginOperation(View)) return true;
    GraphicsEditor->LockToCurrentTool();
    Anchor = View->ClientToImage(point);
    TextBox = {Anchor.X, Anchor.Y, Clamp64(int64_t{Anchor.X} + 1), Clamp64(int64_t{Anchor.Y} + 1)};
    State = tbsDrawing;
    return true;
  }
  if (State == tbsShown && GrabbedCode >= tbhInside) {
    RightHandle = GrabbedCode == tbhTopRight || GrabbedCode == tbhRight || GrabbedCode == tbhBottomRight;
    LeftHandle = GrabbedCode == tbhBottomLeft || GrabbedCode == tbhLeft || GrabbedCode == tbhTopLeft;
    BottomHandle = GrabbedCode == tbhBottomRight || GrabbedCode == tbhBottom || GrabbedCode == tbhBottomLeft;
    TopHandle = GrabbedCode == tbhTop || GrabbedCode == tbhTopRight || GrabbedCode == tbhTopLeft;
    StartMirrorX = tool->MirrorX;
    StartMirrorY = tool->MirrorY;
    StartRect = TextBox;
    Anchor = View->ClientToImage(point);
    State = tbsDragging;
    return true;
  }
  return false;
}

bool TZelTextToolControl::MouseMove(quill::TShiftState /*shift*/, const quill::TPoint& point) {
  TZelTextTool* tool = TextTool();
  if (!Active || tool == nullptr) return false;
  const bool drawing = State == tbsDrawing;
  if (!drawing && !(State == tbsDragging && GrabbedCode >= tbhInside)) return false;
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
    if (GrabbedCode != tbhInside) r = quill::IntersectRect(r, Bounds());
    if (!r.IsEmpty()) TextBox = r;
    tool->MirrorX = StartMirrorX != ((RightHandle && r.Left < StartRect.Left) ||
                                     (LeftHandle && r.Right > StartRect.Right));
    tool->MirrorY = StartMirrorY != ((BottomHandle && r.Top < StartRect.Top) ||
                                     (TopHandle && r.Bottom > StartRect.Bottom));
  }
  if (drawing || GrabbedCode != tbhInside) tool->StretchToBox();
  tool->BlendAndShow();
  Invalidate();
  ShowBoxSize(TextBox);
  return true;
}

bool TZelTextToolControl::MouseUp(quill::TMouseButton button, quill::TShiftState /*shift*/, const quill::TPoint& point) {
  TZelTextTool* tool = TextTool();
  if (!Active || tool == nullptr) return false;
  if (button == quill::mbLeft && (State == tbsDrawing || State == tbsDragging)) {
    State = tbsShown;
    Invalidate();
    if (TextBox.Width() < 2 && TextBox.Height() < 2) {
      tool->CancelOperation();  // a click without a drag
    } else {
      tool->StretchToBox();
      tool->BlendAndShow();
    }
    return true;
  }
  if (button == quill::mbLeft && State == tbsShown && HitTest(point) == tbhNone) {
    tool->CommitText();
    return true;
  }
  if (button == quill::mbRight && State == tbsShown) {
    tool->CancelOperation();
    return true;
  }
  return false;
}

bool TZelTextToolControl::KeyDown(uint16_t key, quill::TShiftState /*shift*/) {
  TZelTextTool* tool = TextTool();
  if (!Active || State != tbsShown || tool == nullptr) return false;
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
  State = tbsNone;
  if (GraphicsEditor != nullptr) GraphicsEditor->UnlockTool();
  if (TZelTextTool* tool = TextTool()) tool->TextShown = false;
}

TZelTextTool* TZelTextToolControl::TextTool() const { return static_cast<TZelTextTool*>(Tool); }

quill::TRect TZelTextToolControl::Bounds() const { return View->Document->GetBounds(); }

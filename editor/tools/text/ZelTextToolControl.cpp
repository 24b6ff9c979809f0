#include "ZelTextToolControl.h"

#include <QLabel>

#include <algorithm>

#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsView.h"
#include "ZelTextTool.h"
#include "ZelViewCanvas.h"

namespace {

constexpr int32_t kHandleSize = 9;
constexpr int32_t kHandleInner = 7;
constexpr int32_t kOverlayMargin = 4;
constexpr uint16_t kEnterKey = 13;
constexpr int32_t kEscapeKey = 27;

int32_t Clamp64(int64_t value) { return quill::SaturateInt32(value); }

// Inverts every pixel of Rect in the canvas (within its clip).
void InvertRect(TZelViewCanvas& canvas, const quill::TRect& rect) {
  TZelCanvasPixels& pixels = canvas.GetPixels();
  canvas.ForEachClipRect(rect, [&](const quill::TRect& part) {
    for (int32_t y = part.Top; y < part.Bottom; ++y) {
      uint8_t* p = pixels.GetScanLine(part.Left, y);
      for (int64_t i = 0; i < part.Width() * 3; ++i) p[i] = static_cast<uint8_t>(~p[i]);
    }
  });
}

// Inverts every other pixel of Rect's one-pixel border: the dotted focus rectangle.
void InvertFocusRect(TZelViewCanvas& canvas, const quill::TRect& rect) {
  if (rect.IsEmpty()) return;
  TZelCanvasPixels& pixels = canvas.GetPixels();
  const auto dotted = [&](const quill::TRect& line) {
    canvas.ForEachClipRect(line, [&](const quill::TRect& part) {
      for (int32_t y = part.Top; y < part.Bottom; ++y) {
        for (int32_t x = part.Left; x < part.Right; ++x) {
          if (((x + y) & 1) != 0) continue;
          uint8_t* p = pixels.GetPixelAddress(x, y);
          p[0] = static_cast<uint8_t>(~p[0]);
          p[1] = static_cast<uint8_t>(~p[1]);
          p[2] = static_cast<uint8_t>(~p[2]);
        }
      }
    });
  };
  dotted({rect.Left, rect.Top, rect.Right, rect.Top + 1});
  if (rect.Height() > 1) dotted({rect.Left, rect.Bottom - 1, rect.Right, rect.Bottom});
  if (rect.Height() > 2) {
    dotted({rect.Left, rect.Top + 1, rect.Left + 1, rect.Bottom - 1});
    if (rect.Width() > 1) dotted({rect.Right - 1, rect.Top + 1, rect.Right, rect.Bottom - 1});
  }
}

}  // namespace

quill::TRect OffsetEdgesByHandle(const quill::TRect& r, int32_t code, int32_t dx, int32_t dy) {
  if (code < tbhInside || code > tbhTopLeft) return r;
  const size_t i = static_cast<size_t>(code - tbhInside);
  return {Clamp64(int64_t{r.Left} + int64_t{dx} * TextBoxHandleFactors.Left[i]),
          Clamp64(int64_t{r.Top} + int64_t{dy} * TextBoxHandleFactors.Top[i]),
          Clamp64(int64_t{r.Right} + int64_t{dx} * TextBoxHandleFactors.Right[i]),
          Clamp64(int64_t{r.Bottom} + int64_t{dy} * TextBoxHandleFactors.Bottom[i])};
}

quill::TPoint TextBoxHandlePoint(const quill::TRect& r, int32_t code) {
  const int32_t midX = Clamp64((int64_t{r.Left} + r.Right) / 2);
  const int32_t midY = Clamp64((int64_t{r.Top} + r.Bottom) / 2);
  const int32_t right = Clamp64(int64_t{r.Right} - 1);
  const int32_t bottom = Clamp64(int64_t{r.Bottom} - 1);
  switch (code) {
    case tbhTop: return {midX, r.Top};
    case tbhTopRight: return {right, r.Top};
    case tbhRight: return {right, midY};
    case tbhBottomRight: return {right, bottom};
    case tbhBottom: return {midX, bottom};
    case tbhBottomLeft: return {r.Left, bottom};
    case tbhLeft: return {r.Left, midY};
    case tbhTopLeft: return {r.Left, r.Top};
    default: return {midX, midY};
  }
}

quill::TRect TextBoxHandleBox(const quill::TPoint& point, int32_t size) {
  if (size == 0) size = kHandleSize;
  const int64_t left = int64_t{point.X} - size / 2;
  const int64_t top = int64_t{point.Y} - size / 2;
  return {Clamp64(left), Clamp64(top), Clamp64(left + size), Clamp64(top + size)};
}

int32_t TextBoxHitTest(const quill::TRect& r, const quill::TPoint& p) {
  for (int32_t code = tbhTop; code <= tbhTopLeft; ++code) {
    if (TextBoxHandleBox(TextBoxHandlePoint(r, code), kHandleSize).Contains(p.X, p.Y)) return code;
  }
  return r.Contains(p.X, p.Y) ? tbhInside : tbhNone;
}

quill::TRect NormalizeRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  return {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

// ---- TZelTextToolControl ----

TZelTextToolControl::TZelTextToolControl(TZelGraphicsTool* tool, TZelGraphicsView* view)
    : TZelGraphicsToolControl(tool, view) {}

quill::TRect TZelTextToolControl::GetOverlayBounds(const TZelMapMode& mapMode) const {
  const quill::TRect image = mapMode.LogicalToDeviceRect(View->Document->GetCurrentPixels().GetBounds());
  if (State != tbsShown) return image;
  return {Clamp64(int64_t{image.Left} - kOverlayMargin), Clamp64(int64_t{image.Top} - kOverlayMargin),
          Clamp64(int64_t{image.Right} + kOverlayMargin),
          Clamp64(int64_t{image.Bottom} + kOverlayMargin)};
}

void TZelTextToolControl::PaintOverlay(TZelViewCanvas& canvas) {
  if (State == tbsNone) return;
  const quill::TRect device = canvas.GetMapMode().LogicalToDeviceRect(TextBox);
  InvertFocusRect(canvas, device);
  if (State != tbsShown) return;
  for (int32_t code = tbhTop; code <= tbhTopLeft; ++code) {
    const quill::TPoint point = TextBoxHandlePoint(device, code);
    InvertRect(canvas, TextBoxHandleBox(point, kHandleSize));
    InvertRect(canvas, TextBoxHandleBox(point, kHandleInner));
  }
}

void TZelTextToolControl::Activate() {
  TZelGraphicsToolControl::Activate();
  SetVisible(true);
}

void TZelTextToolControl::Deactivate() {
  SetVisible(false);
  TZelGraphicsToolControl::Deactivate();
}

bool TZelTextToolControl::SetCursor(quill::TShiftState /*shift*/, const quill::TPoint& point, int& cursor) {
  if (!Active) return false;
  if (State == tbsNone) {
    cursor = quill::crCross;
  } else if (State == tbsShown) {
    switch (HitTest(point)) {
      case tbhInside: cursor = quill::crSizeAll; break;
      case tbhTopRight:
      case tbhBottomLeft: cursor = quill::crSizeNESW; break;
      case tbhRight:
      case tbhLeft: cursor = quill::crSizeWE; break;
      case tbhBottomRight:
      case tbhTopLeft: cursor = quill::crSizeNWSE; break;
      case tbhTop:
      case tbhBottom: cursor = quill::crSizeNS; break;
      default: break;
    }
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
    if (!bounds.Contains(point.X, point.Y) || !tool->MayWork()) return false;
    tool->BeginOperation(View);
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
    StartBox = TextBox;
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
    const quill::TRect moved = OffsetEdgesByHandle(StartBox, GrabbedCode, Clamp64(int64_t{q.X} - Anchor.X),
                                            Clamp64(int64_t{q.Y} - Anchor.Y));
    quill::TRect r = NormalizeRect(moved.Left, moved.Top, moved.Right, moved.Bottom);
    if (GrabbedCode != tbhInside) r = quill::IntersectRect(r, Bounds());
    if (!r.IsEmpty()) TextBox = r;
    tool->MirrorX = StartMirrorX != ((RightHandle && r.Left < StartBox.Left) ||
                                     (LeftHandle && r.Right > StartBox.Right));
    tool->MirrorY = StartMirrorY != ((BottomHandle && r.Top < StartBox.Top) ||
                                     (TopHandle && r.Bottom > StartBox.Bottom));
  }
  if (drawing || GrabbedCode != tbhInside) tool->StretchToBox();
  tool->BlendAndShow();
  Invalidate();
  if (!TextBox.IsEmpty() && GraphicsEditor != nullptr && GraphicsEditor->WStatusPanel != nullptr) {
    GraphicsEditor->WStatusPanel->setText(QString::number(TextBox.Width()));
    GraphicsEditor->HStatusPanel->setText(QString::number(TextBox.Height()));
  }
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
  if (key == kEnterKey) {
    tool->CommitText();
    return true;
  }
  if (key == kEscapeKey) {
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

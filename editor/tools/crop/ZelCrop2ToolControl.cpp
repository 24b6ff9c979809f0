#include "ZelCrop2ToolControl.h"

#include <algorithm>

#include "ZelCrop2Tool.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsView.h"
#include "ZelToolSupport.h"
#include "ZelUtils.h"
#include "ZelViewCanvas.h"

namespace {

// How far the overlay reaches beyond the image while handles are shown.
constexpr int32_t kHandleReach = 5;
// The handles in the order the hit test tries them.
constexpr quill::THandleOrder kHandleOrder = {bhTopLeft,    bhTop,    bhTopRight,    bhRight,
                                              bhBottomLeft, bhBottom, bhBottomRight, bhLeft};

quill::TRect Inflate(const quill::TRect& r, int32_t by) {
  return {quill::SaturateInt32(int64_t{r.Left} - by), quill::SaturateInt32(int64_t{r.Top} - by),
          quill::SaturateInt32(int64_t{r.Right} + by), quill::SaturateInt32(int64_t{r.Bottom} + by)};
}

// Whether R lies within Bounds (the four edge tests).
bool LiesWithin(const quill::TRect& r, const quill::TRect& bounds) {
  return bounds.Left <= r.Left && bounds.Right >= r.Right && bounds.Top <= r.Top &&
         bounds.Bottom >= r.Bottom;
}

// Round(A * B / C) with halves to even, kept to 32 bits. The product is formed in
// floating point: it never overflows, and it is exact below 2^53, far beyond any image
// side times a ratio side.
int32_t ScaledSide(int64_t a, int32_t b, int32_t c) {
  return quill::SaturateInt32(quill::RoundHalfEven(static_cast<double>(a) * b / c));
}

// Every channel C of Area becomes C - (C * 92 >> 8), about 64 % of its value.
void DarkenRect(TZelViewCanvas& canvas, const quill::TRect& area) {
  quill::ForEachCanvasPixel(canvas, area, [](uint8_t* p, int32_t, int32_t) {
    for (int i = 0; i < 3; ++i) p[i] = static_cast<uint8_t>(p[i] - ((p[i] * 92) >> 8));
  });
}

}  // namespace

namespace quill {

quill::TRect ApplyAspectRatio(int32_t handle, const quill::TRect& r, int32_t ratioWidth, int32_t ratioHeight) {
  if (ratioWidth <= 0 || ratioHeight <= 0) return r;
  const int64_t w = int64_t{r.Right} - r.Left;
  const int64_t h = int64_t{r.Bottom} - r.Top;
  quill::TRect result = r;
  switch (handle) {
    case bhTop:
    case bhTopRight:
    case bhBottom:
      result.Right = SaturateInt32(int64_t{r.Left} + ScaledSide(h, ratioWidth, ratioHeight));
      break;
    case bhBottomLeft:
      result.Left = SaturateInt32(int64_t{r.Right} - ScaledSide(h, ratioWidth, ratioHeight));
      break;
    case bhRight:
    case bhTopLeft:
      result.Top = SaturateInt32(int64_t{r.Bottom} - ScaledSide(w, ratioHeight, ratioWidth));
      break;
    case bhBottomRight:
      result.Bottom = SaturateInt32(int64_t{r.Top} + ScaledSide(w, ratioHeight, ratioWidth));
      break;
    case bhLeft:
      result.Top = SaturateInt32(int64_t{r.Bottom} - w / ratioWidth * ratioHeight);
      break;
    default:
      break;
  }
  return result;
}

bool RectFromDrag(const quill::TPoint& anchor, const quill::TPoint& point, int32_t ratioWidth,
                  int32_t ratioHeight, quill::TRect& rect) {
  const quill::TPoint& a = anchor;
  const quill::TPoint& p = point;
  if (a.X == p.X || a.Y == p.Y) return false;
  quill::TRect r;
  int32_t handle = bhNone;
  if (a.X < p.X && a.Y < p.Y) {
    r = {a.X, a.Y, p.X, p.Y};
    handle = bhBottomRight;
  } else if (a.X < p.X) {
    r = {a.X, p.Y, p.X, a.Y};
    handle = bhTopRight;
  } else if (a.Y < p.Y) {
    r = {p.X, a.Y, a.X, p.Y};
    handle = bhBottomLeft;
  } else {
    r = {p.X, p.Y, a.X, a.Y};
    handle = bhTopLeft;
  }
  rect = ApplyAspectRatio(handle, r, ratioWidth, ratioHeight);
  return true;
}

quill::TRect ResizeByHandle(const quill::TRect& r, int32_t handle, int32_t dx, int32_t dy, int32_t ratioWidth,
                     int32_t ratioHeight) {
  // The crop rectangle's handles move the edges the text box's do.
  return ApplyAspectRatio(handle, OffsetEdgesByHandle(r, handle, dx, dy), ratioWidth, ratioHeight);
}

quill::TRect ClampMovedRect(const quill::TRect& r, const quill::TRect& bounds) {
  const int64_t w = r.Width();
  const int64_t h = r.Height();
  int64_t left = std::max<int64_t>(r.Left, bounds.Left);
  left = std::min<int64_t>(left, int64_t{bounds.Right} - w);
  int64_t top = std::max<int64_t>(r.Top, bounds.Top);
  top = std::min<int64_t>(top, int64_t{bounds.Bottom} - h);
  return {SaturateInt32(left), SaturateInt32(top), SaturateInt32(left + w), SaturateInt32(top + h)};
}

}  // namespace quill

TZelCrop2ToolControl::TZelCrop2ToolControl(TZelGraphicsTool* tool, TZelGraphicsView* view)
    : TZelBoxToolControl(tool, view, kHandleOrder, kHandleReach) {}

TZelCrop2Tool& TZelCrop2ToolControl::CropTool() const { return *static_cast<TZelCrop2Tool*>(Tool); }

quill::TRect TZelCrop2ToolControl::Bounds() const { return View->Document->GetBounds(); }

quill::TRect TZelCrop2ToolControl::ToDevice(const quill::TRect& rect) const {
  return View->GetMapMode().LogicalToDeviceRect(rect);
}

quill::TPoint TZelCrop2ToolControl::ToImage(const quill::TPoint& point) const {
  return View->GetMapMode().DeviceToLogical(point);
}

quill::TRect TZelCrop2ToolControl::GetCropRect() const { return Tool != nullptr ? CropTool().CropRect : quill::TRect(); }

void TZelCrop2ToolControl::PaintOverlay(TZelViewCanvas& canvas) {
  if (State == bsNone || Tool == nullptr) return;
  const quill::TRect d = ToDevice(CropTool().CropRect);
  if (d.IsEmpty()) return;
  const quill::TRect i = ToDevice(Bounds());
  if (State == bsShown || State == bsDragging) {
    const quill::TRect bands[] = {{i.Left, i.Top, i.Right, d.Top},
                           {i.Left, d.Top, d.Left, d.Bottom},
                           {d.Right, d.Top, i.Right, d.Bottom},
                           {i.Left, d.Bottom, i.Right, i.Bottom}};
    for (const quill::TRect& band : bands) DarkenRect(canvas, IntersectRect(band, i));
  }
  PaintBox(canvas, d);
}

int32_t TZelCrop2ToolControl::HitTestHandle(const quill::TPoint& p) const {
  return HitTestBox(ToDevice(GetCropRect()), p);
}

bool TZelCrop2ToolControl::SetCursor(quill::TShiftState /*shift*/, const quill::TPoint& point, int& cursor) {
  if (!Active) return false;
  if (State == bsNone) {
    cursor = quill::crCross;
    return true;
  }
  return State == bsShown && quill::BoxHandleCursor(HitTestHandle(point), cursor);
}

bool TZelCrop2ToolControl::MouseDown(quill::TMouseButton /*button*/, quill::TShiftState /*shift*/, const quill::TPoint& point) {
  if (!Active || Tool == nullptr) return false;
  if (State == bsNone) {
    if (!ToDevice(Bounds()).Contains(point.X, point.Y) || !quill::ToolMayStart(*Tool)) return false;
    GraphicsEditor->LockToCurrentTool();
    Anchor = ToImage(point);
    CropTool().CropRect = {Anchor.X, Anchor.Y, Anchor.X + 1, Anchor.Y + 1};
    State = bsDrawing;
    return true;
  }
  if (State == bsShown) {
    GrabbedCode = HitTestHandle(point);
    if (GrabbedCode < bhInside) return false;
    Anchor = ToImage(point);
    StartRect = CropTool().CropRect;
    Invalidate();
    State = bsDragging;
    return true;
  }
  return false;
}

bool TZelCrop2ToolControl::MouseMove(quill::TShiftState /*shift*/, const quill::TPoint& point) {
  if (!Active || Tool == nullptr) return false;
  TZelCrop2Tool& tool = CropTool();
  const quill::TPoint q = ToImage(point);
  const quill::TRect bounds = Bounds();
  bool handled = false;
  if (State == bsDrawing) {
    const quill::TRect old = tool.CropRect;
    quill::TRect drawn = old;
    // The pointer is held inside the bounds before the rectangle is made, so a quick
    // drag past an edge reaches that edge instead of being refused as a whole; holding
    // the rectangle afterwards instead would break a fixed ratio.
    const quill::TPoint held{static_cast<int32_t>(EnsureRangeInt64(q.X, bounds.Left, bounds.Right)),
                             static_cast<int32_t>(EnsureRangeInt64(q.Y, bounds.Top, bounds.Bottom))};
    quill::RectFromDrag(Anchor, held, tool.RatioWidth, tool.RatioHeight, drawn);
    if (!LiesWithin(drawn, bounds)) drawn = old;
    drawn = IntersectRect(drawn, bounds);
    // A ratio can round a side to nothing: the rectangle stays as it was.
    if (!drawn.IsEmpty()) tool.CropRect = drawn;
    Invalidate();
    handled = true;
  } else if (State == bsDragging && GrabbedCode >= bhInside) {
    const int32_t dx = quill::SaturateInt32(int64_t{q.X} - Anchor.X);
    const int32_t dy = quill::SaturateInt32(int64_t{q.Y} - Anchor.Y);
    quill::TRect moved;
    if (GrabbedCode == bhInside) {
      moved = quill::ClampMovedRect(OffsetRect(StartRect, dx, dy), bounds);
    } else {
      quill::TRect n = quill::ResizeByHandle(StartRect, GrabbedCode, dx, dy, tool.RatioWidth, tool.RatioHeight);
      if (!LiesWithin(n, bounds)) n = tool.CropRect;
      n = IntersectRect(n, bounds);
      moved = n.IsEmpty() ? tool.CropRect : n;
    }
    const quill::TRect before = ToDevice(tool.CropRect);
    const quill::TRect after = ToDevice(moved);
    if (before != after) {
      View->update(RectToQRect(Inflate(UnionRect(before, after), kHandleReach)));
      tool.CropRect = moved;
    }
    handled = true;
  }
  if (State != bsNone) ShowBoxSize(tool.CropRect);
  return handled;
}

bool TZelCrop2ToolControl::MouseUp(quill::TMouseButton button, quill::TShiftState /*shift*/, const quill::TPoint& point) {
  if (!Active || Tool == nullptr) return false;
  if (State == bsShown) {
    const quill::TPoint q = ToImage(point);
    if (CropTool().CropRect.Contains(q.X, q.Y)) return false;
    if (button == quill::mbLeft) return PerformCrop();
    if (button == quill::mbRight) return CancelCrop();
    return false;
  }
  if (State == bsDrawing || State == bsDragging) {
    State = bsShown;
    Invalidate();
    return true;
  }
  return false;
}

bool TZelCrop2ToolControl::KeyDown(uint16_t key, quill::TShiftState /*shift*/) {
  if (!Active || State == bsNone) return false;
  if (key == quill::VK_ESCAPE) CancelCrop();
  if (key == quill::VK_RETURN) PerformCrop();
  return true;
}

void TZelCrop2ToolControl::ResetCrop() {
  Invalidate();
  if (State != bsNone && GraphicsEditor != nullptr) {
    GraphicsEditor->UnlockTool();
    // The size panels showed the rectangle: they show the image again.
    const TZelLTBitmap& image = View->Document->CurrentImage;
    GraphicsEditor->SetWidthStatus(QString::number(image.GetWidth()));
    GraphicsEditor->SetHeightStatus(QString::number(image.GetHeight()));
  }
  State = bsNone;
}

bool TZelCrop2ToolControl::CancelCrop() { return EndCrop(false); }

bool TZelCrop2ToolControl::PerformCrop() { return EndCrop(true); }

bool TZelCrop2ToolControl::EndCrop(bool perform) {
  if (Tool == nullptr) return true;
  TZelCrop2Tool& tool = CropTool();
  if (perform) {
    tool.Perform();
  } else {
    tool.CancelOperation();
  }
  quill::RecordClick(tool.Playback, tool.Name + (perform ? QStringLiteral("Perform") : QStringLiteral("Cancel")));
  ResetCrop();
  return true;
}

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

constexpr uint16_t kKeyEnter = 13;
constexpr uint16_t kKeyEsc = 27;
// The side of a handle's box in device pixels, and how far the overlay reaches
// beyond the image while handles are shown.
constexpr int32_t kHandleSide = 9;
constexpr int32_t kHandleReach = 5;

quill::TRect Inflate(const quill::TRect& r, int32_t by) {
  return {quill::SaturateInt32(int64_t{r.Left} - by), quill::SaturateInt32(int64_t{r.Top} - by),
          quill::SaturateInt32(int64_t{r.Right} + by), quill::SaturateInt32(int64_t{r.Bottom} + by)};
}

// The box of side Side centred on P.
quill::TRect BoxAround(const quill::TPoint& p, int32_t side) {
  return {p.X - side / 2, p.Y - side / 2, p.X - side / 2 + side, p.Y - side / 2 + side};
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

// Calls Visit(pixel address) for every pixel of Area inside the canvas's clip.
template <class Visit>
void ForEachCanvasPixel(TZelViewCanvas& canvas, const quill::TRect& area, Visit&& visit) {
  TZelCanvasPixels& pixels = canvas.GetPixels();
  canvas.ForEachClipRect(area, [&](const quill::TRect& part) {
    for (int32_t y = part.Top; y < part.Bottom; ++y) {
      uint8_t* p = pixels.GetScanLine(part.Left, y);
      for (int32_t x = part.Left; x < part.Right; ++x, p += 3) visit(p, x, y);
    }
  });
}

void Invert(uint8_t* p) {
  p[0] = static_cast<uint8_t>(~p[0]);
  p[1] = static_cast<uint8_t>(~p[1]);
  p[2] = static_cast<uint8_t>(~p[2]);
}

void DarkenRect(TZelViewCanvas& canvas, const quill::TRect& area) {
  ForEachCanvasPixel(canvas, area, [](uint8_t* p, int32_t, int32_t) {
    for (int i = 0; i < 3; ++i) p[i] = static_cast<uint8_t>(p[i] - ((p[i] * 92) >> 8));
  });
}

void InvertRect(TZelViewCanvas& canvas, const quill::TRect& area) {
  ForEachCanvasPixel(canvas, area, [](uint8_t* p, int32_t, int32_t) { Invert(p); });
}

// Every other pixel of Area inverted, by the parity of x + y: one edge of a dotted
// outline.
void InvertDotted(TZelViewCanvas& canvas, const quill::TRect& area) {
  ForEachCanvasPixel(canvas, area, [](uint8_t* p, int32_t x, int32_t y) {
    if (((x + y) & 1) == 0) Invert(p);
  });
}

constexpr int32_t kHandleOrder[] = {chTopLeft,    chTopCenter,    chTopRight,    chRightMiddle,
                                    chBottomLeft, chBottomCenter, chBottomRight, chLeftMiddle};

}  // namespace

namespace quill {

quill::TPoint CropHandlePoint(const quill::TRect& r, int32_t handle) {
  const int32_t midX = static_cast<int32_t>((int64_t{r.Left} + r.Right) / 2);
  const int32_t midY = static_cast<int32_t>((int64_t{r.Top} + r.Bottom) / 2);
  switch (handle) {
    case chTopCenter: return {midX, r.Top};
    case chTopRight: return {r.Right, r.Top};
    case chRightMiddle: return {r.Right, midY};
    case chBottomRight: return {r.Right, r.Bottom};
    case chBottomCenter: return {midX, r.Bottom};
    case chBottomLeft: return {r.Left, r.Bottom};
    case chLeftMiddle: return {r.Left, midY};
    case chTopLeft: return {r.Left, r.Top};
    default: return {0, 0};
  }
}

quill::TRect ApplyAspectRatio(int32_t handle, const quill::TRect& r, int32_t ratioWidth, int32_t ratioHeight) {
  if (ratioWidth <= 0 || ratioHeight <= 0) return r;
  const int64_t w = int64_t{r.Right} - r.Left;
  const int64_t h = int64_t{r.Bottom} - r.Top;
  quill::TRect result = r;
  switch (handle) {
    case chTopCenter:
    case chTopRight:
    case chBottomCenter:
      result.Right = SaturateInt32(int64_t{r.Left} + ScaledSide(h, ratioWidth, ratioHeight));
      break;
    case chBottomLeft:
      result.Left = SaturateInt32(int64_t{r.Right} - ScaledSide(h, ratioWidth, ratioHeight));
      break;
    case chRightMiddle:
    case chTopLeft:
      result.Top = SaturateInt32(int64_t{r.Bottom} - ScaledSide(w, ratioHeight, ratioWidth));
      break;
    case chBottomRight:
      result.Bottom = SaturateInt32(int64_t{r.Top} + ScaledSide(w, ratioHeight, ratioWidth));
      break;
    case chLeftMiddle:
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
  int32_t handle = chNone;
  if (a.X < p.X && a.Y < p.Y) {
    r = {a.X, a.Y, p.X, p.Y};
    handle = chBottomRight;
  } else if (a.X < p.X) {
    r = {a.X, p.Y, p.X, a.Y};
    handle = chTopRight;
  } else if (a.Y < p.Y) {
    r = {p.X, a.Y, a.X, p.Y};
    handle = chBottomLeft;
  } else {
    r = {p.X, p.Y, a.X, a.Y};
    handle = chTopLeft;
  }
  rect = ApplyAspectRatio(handle, r, ratioWidth, ratioHeight);
  return true;
}

quill::TRect ResizeByHandle(const quill::TRect& r, int32_t handle, int32_t dx, int32_t dy, int32_t ratioWidth,
                     int32_t ratioHeight) {
  if (handle == chInside) return OffsetRect(r, dx, dy);
  quill::TRect n = r;
  const auto move = [](int32_t& edge, int32_t by) { edge = SaturateInt32(int64_t{edge} + by); };
  switch (handle) {
    case chTopCenter: move(n.Top, dy); break;
    case chTopRight: move(n.Top, dy); move(n.Right, dx); break;
    case chRightMiddle: move(n.Right, dx); break;
    case chBottomRight: move(n.Bottom, dy); move(n.Right, dx); break;
    case chBottomCenter: move(n.Bottom, dy); break;
    case chBottomLeft: move(n.Bottom, dy); move(n.Left, dx); break;
    case chLeftMiddle: move(n.Left, dx); break;
    case chTopLeft: move(n.Top, dy); move(n.Left, dx); break;
    default: break;
  }
  return ApplyAspectRatio(handle, n, ratioWidth, ratioHeight);
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

TZelCrop2Tool& TZelCrop2ToolControl::CropTool() const { return *static_cast<TZelCrop2Tool*>(Tool); }

quill::TRect TZelCrop2ToolControl::Bounds() const { return View->Document->GetBounds(); }

quill::TRect TZelCrop2ToolControl::ToDevice(const quill::TRect& rect) const {
  return View->GetMapMode().LogicalToDeviceRect(rect);
}

quill::TPoint TZelCrop2ToolControl::ToImage(const quill::TPoint& point) const {
  return View->GetMapMode().DeviceToLogical(point);
}

quill::TRect TZelCrop2ToolControl::GetCropRect() const { return Tool != nullptr ? CropTool().CropRect : quill::TRect(); }

quill::TRect TZelCrop2ToolControl::GetOverlayBounds(const TZelMapMode& mapMode) const {
  const quill::TRect image = mapMode.LogicalToDeviceRect(View->Document->CurrentImage.GetBounds());
  return State == csShown ? Inflate(image, kHandleReach) : image;
}

void TZelCrop2ToolControl::PaintOverlay(TZelViewCanvas& canvas) {
  if (State == csNone || Tool == nullptr) return;
  const quill::TRect d = ToDevice(CropTool().CropRect);
  if (d.IsEmpty()) return;
  const quill::TRect i = ToDevice(Bounds());
  if (State == csShown || State == csDragging) {
    const quill::TRect bands[] = {{i.Left, i.Top, i.Right, d.Top},
                           {i.Left, d.Top, d.Left, d.Bottom},
                           {d.Right, d.Top, i.Right, d.Bottom},
                           {i.Left, d.Bottom, i.Right, i.Bottom}};
    for (const quill::TRect& band : bands) DarkenRect(canvas, IntersectRect(band, i));
  }
  if (State == csShown) {
    for (int32_t handle : kHandleOrder) {
      const quill::TPoint p = quill::CropHandlePoint(d, handle);
      InvertRect(canvas, BoxAround(p, kHandleSide));
      InvertRect(canvas, BoxAround(p, kHandleSide - 2));
    }
  }
  // The dotted outline just inside D, one edge at a time without double corners.
  InvertDotted(canvas, {d.Left, d.Top, d.Right, d.Top + 1});
  if (d.Height() > 1) InvertDotted(canvas, {d.Left, d.Bottom - 1, d.Right, d.Bottom});
  InvertDotted(canvas, {d.Left, d.Top + 1, d.Left + 1, d.Bottom - 1});
  if (d.Width() > 1) InvertDotted(canvas, {d.Right - 1, d.Top + 1, d.Right, d.Bottom - 1});
}

void TZelCrop2ToolControl::Activate() {
  TZelGraphicsToolControl::Activate();
  SetVisible(true);
}

void TZelCrop2ToolControl::Deactivate() {
  SetVisible(false);
  TZelGraphicsToolControl::Deactivate();
}

int32_t TZelCrop2ToolControl::HitTestHandle(const quill::TPoint& p) const {
  const quill::TRect d = ToDevice(GetCropRect());
  for (int32_t handle : kHandleOrder) {
    if (BoxAround(quill::CropHandlePoint(d, handle), kHandleSide).Contains(p.X, p.Y)) return handle;
  }
  return d.Contains(p.X, p.Y) ? chInside : chNone;
}

bool TZelCrop2ToolControl::SetCursor(quill::TShiftState /*shift*/, const quill::TPoint& point, int& cursor) {
  if (!Active) return false;
  if (State == csNone) {
    cursor = kCursorCross;
    return true;
  }
  if (State != csShown) return false;
  switch (HitTestHandle(point)) {
    case chInside: cursor = kCursorSizeAll; return true;
    case chTopRight:
    case chBottomLeft: cursor = kCursorSizeNESW; return true;
    case chRightMiddle:
    case chLeftMiddle: cursor = kCursorSizeWE; return true;
    case chBottomRight:
    case chTopLeft: cursor = kCursorSizeNWSE; return true;
    case chTopCenter:
    case chBottomCenter: cursor = kCursorSizeNS; return true;
    default: return false;
  }
}

bool TZelCrop2ToolControl::MouseDown(quill::TMouseButton /*button*/, quill::TShiftState /*shift*/, const quill::TPoint& point) {
  if (!Active || Tool == nullptr) return false;
  if (State == csNone) {
    if (!ToDevice(Bounds()).Contains(point.X, point.Y) || !quill::ToolMayStart(*Tool)) return false;
    GraphicsEditor->LockToCurrentTool();
    Anchor = ToImage(point);
    CropTool().CropRect = {Anchor.X, Anchor.Y, Anchor.X + 1, Anchor.Y + 1};
    State = csDrawing;
    return true;
  }
  if (State == csShown) {
    GrabbedHandle = HitTestHandle(point);
    if (GrabbedHandle < chInside) return false;
    Anchor = ToImage(point);
    StartRect = CropTool().CropRect;
    Invalidate();
    State = csDragging;
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
  if (State == csDrawing) {
    const quill::TRect old = tool.CropRect;
    quill::TRect drawn = old;
    quill::RectFromDrag(Anchor, q, tool.RatioWidth, tool.RatioHeight, drawn);
    if (!LiesWithin(drawn, bounds)) drawn = old;
    drawn = IntersectRect(drawn, bounds);
    // A ratio can round a side to nothing: the rectangle stays as it was.
    if (!drawn.IsEmpty()) tool.CropRect = drawn;
    Invalidate();
    handled = true;
  } else if (State == csDragging && GrabbedHandle >= chInside) {
    const int32_t dx = quill::SaturateInt32(int64_t{q.X} - Anchor.X);
    const int32_t dy = quill::SaturateInt32(int64_t{q.Y} - Anchor.Y);
    quill::TRect moved;
    if (GrabbedHandle == chInside) {
      moved = quill::ClampMovedRect(OffsetRect(StartRect, dx, dy), bounds);
    } else {
      quill::TRect n = quill::ResizeByHandle(StartRect, GrabbedHandle, dx, dy, tool.RatioWidth, tool.RatioHeight);
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
  const quill::TRect& crop = tool.CropRect;
  if (State != csNone && !crop.IsEmpty() && GraphicsEditor != nullptr) {
    GraphicsEditor->SetWidthStatus(QString::number(crop.Width()));
    GraphicsEditor->SetHeightStatus(QString::number(crop.Height()));
  }
  return handled;
}

bool TZelCrop2ToolControl::MouseUp(quill::TMouseButton button, quill::TShiftState /*shift*/, const quill::TPoint& point) {
  if (!Active || Tool == nullptr) return false;
  if (State == csShown) {
    const quill::TPoint q = ToImage(point);
    if (CropTool().CropRect.Contains(q.X, q.Y)) return false;
    if (button == quill::mbLeft) return PerformCrop();
    if (button == quill::mbRight) return CancelCrop();
    return false;
  }
  if (State == csDrawing || State == csDragging) {
    State = csShown;
    Invalidate();
    return true;
  }
  return false;
}

bool TZelCrop2ToolControl::KeyDown(uint16_t key, quill::TShiftState /*shift*/) {
  if (!Active || State == csNone) return false;
  if (key == kKeyEsc) CancelCrop();
  if (key == kKeyEnter) PerformCrop();
  return true;
}

void TZelCrop2ToolControl::ResetCrop() {
  Invalidate();
  if (State != csNone && GraphicsEditor != nullptr) {
    GraphicsEditor->UnlockTool();
    // The size panels showed the rectangle: they show the image again.
    const TZelLTBitmap& image = View->Document->CurrentImage;
    GraphicsEditor->SetWidthStatus(QString::number(image.GetWidth()));
    GraphicsEditor->SetHeightStatus(QString::number(image.GetHeight()));
  }
  State = csNone;
}

bool TZelCrop2ToolControl::CancelCrop() {
  if (Tool == nullptr) return true;
  TZelCrop2Tool& tool = CropTool();
  tool.CancelOperation();
  quill::RecordClick(tool.Playback, tool.Name + QStringLiteral("Cancel"));
  ResetCrop();
  return true;
}

bool TZelCrop2ToolControl::PerformCrop() {
  if (Tool == nullptr) return true;
  TZelCrop2Tool& tool = CropTool();
  tool.Perform();
  quill::RecordClick(tool.Playback, tool.Name + QStringLiteral("Perform"));
  ResetCrop();
  return true;
}

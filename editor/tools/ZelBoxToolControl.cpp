#include "ZelBoxToolControl.h"

#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsView.h"

namespace {

// The side of the box inverted back inside a handle's box, leaving its outline.
constexpr int32_t kHandleInner = 7;

void Invert(uint8_t* p) {
  p[0] = static_cast<uint8_t>(~p[0]);
  p[1] = static_cast<uint8_t>(~p[1]);
  p[2] = static_cast<uint8_t>(~p[2]);
}

// Every other pixel of Area inverted, by the parity of x + y: one edge of a dotted
// outline.
void InvertDotted(TZelViewCanvas& canvas, const quill::TRect& area) {
  quill::ForEachCanvasPixel(canvas, area, [](uint8_t* p, int32_t x, int32_t y) {
    if (((x + y) & 1) == 0) Invert(p);
  });
}

}  // namespace

quill::TRect OffsetEdgesByHandle(const quill::TRect& r, int32_t code, int32_t dx, int32_t dy) {
  if (code < bhInside || code > bhTopLeft) return r;
  const size_t i = static_cast<size_t>(code - bhInside);
  return {quill::SaturateInt32(int64_t{r.Left} + int64_t{dx} * TextBoxHandleFactors.Left[i]),
          quill::SaturateInt32(int64_t{r.Top} + int64_t{dy} * TextBoxHandleFactors.Top[i]),
          quill::SaturateInt32(int64_t{r.Right} + int64_t{dx} * TextBoxHandleFactors.Right[i]),
          quill::SaturateInt32(int64_t{r.Bottom} + int64_t{dy} * TextBoxHandleFactors.Bottom[i])};
}

namespace quill {

TPoint BoxHandlePoint(const TRect& r, int32_t code, int32_t inset) {
  const int32_t midX = SaturateInt32((int64_t{r.Left} + r.Right) / 2);
  const int32_t midY = SaturateInt32((int64_t{r.Top} + r.Bottom) / 2);
  const int32_t right = SaturateInt32(int64_t{r.Right} - inset);
  const int32_t bottom = SaturateInt32(int64_t{r.Bottom} - inset);
  switch (code) {
    case bhTop: return {midX, r.Top};
    case bhTopRight: return {right, r.Top};
    case bhRight: return {right, midY};
    case bhBottomRight: return {right, bottom};
    case bhBottom: return {midX, bottom};
    case bhBottomLeft: return {r.Left, bottom};
    case bhLeft: return {r.Left, midY};
    case bhTopLeft: return {r.Left, r.Top};
    default: return {midX, midY};
  }
}

TRect HandleBox(const TPoint& point, int32_t side) {
  const int64_t left = int64_t{point.X} - side / 2;
  const int64_t top = int64_t{point.Y} - side / 2;
  return {SaturateInt32(left), SaturateInt32(top), SaturateInt32(left + side), SaturateInt32(top + side)};
}

bool BoxHandleCursor(int32_t code, int& cursor) {
  switch (code) {
    case bhInside: cursor = crSizeAll; return true;
    case bhTopRight:
    case bhBottomLeft: cursor = crSizeNESW; return true;
    case bhRight:
    case bhLeft: cursor = crSizeWE; return true;
    case bhBottomRight:
    case bhTopLeft: cursor = crSizeNWSE; return true;
    case bhTop:
    case bhBottom: cursor = crSizeNS; return true;
    default: return false;
  }
}

void InvertCanvasRect(TZelViewCanvas& canvas, const TRect& area) {
  ForEachCanvasPixel(canvas, area, [](uint8_t* p, int32_t, int32_t) { Invert(p); });
}

void InvertFocusRect(TZelViewCanvas& canvas, const TRect& rect) {
  if (rect.IsEmpty()) return;
  // One edge at a time, the left and right ones between the top and bottom rows.
  InvertDotted(canvas, {rect.Left, rect.Top, rect.Right, rect.Top + 1});
  if (rect.Height() > 1) InvertDotted(canvas, {rect.Left, rect.Bottom - 1, rect.Right, rect.Bottom});
  if (rect.Height() > 2) {
    InvertDotted(canvas, {rect.Left, rect.Top + 1, rect.Left + 1, rect.Bottom - 1});
    if (rect.Width() > 1) InvertDotted(canvas, {rect.Right - 1, rect.Top + 1, rect.Right, rect.Bottom - 1});
  }
}

}  // namespace quill

TZelBoxToolControl::TZelBoxToolControl(TZelGraphicsTool* tool, TZelGraphicsView* view,
                                       const quill::THandleOrder& order, int32_t reach)
    : TZelGraphicsToolControl(tool, view), order_(order), reach_(reach) {}

quill::TRect TZelBoxToolControl::GetOverlayBounds(const TZelMapMode& mapMode) const {
  const quill::TRect image = mapMode.LogicalToDeviceRect(View->Document->CurrentImage.GetBounds());
  if (State != bsShown) return image;
  return {quill::SaturateInt32(int64_t{image.Left} - reach_), quill::SaturateInt32(int64_t{image.Top} - reach_),
          quill::SaturateInt32(int64_t{image.Right} + reach_),
          quill::SaturateInt32(int64_t{image.Bottom} + reach_)};
}

void TZelBoxToolControl::Activate() {
  TZelGraphicsToolControl::Activate();
  SetVisible(true);
}

void TZelBoxToolControl::Deactivate() {
  SetVisible(false);
  TZelGraphicsToolControl::Deactivate();
}

quill::TRect TZelBoxToolControl::HandleBoxOf(const quill::TRect& d, int32_t code, int32_t side) const {
  return quill::HandleBox(quill::BoxHandlePoint(d, code, 0), side);
}

int32_t TZelBoxToolControl::HitTestBox(const quill::TRect& d, const quill::TPoint& p) const {
  return quill::HitTestBoxHandles(d, p, order_, [&](int32_t code) { return HandleBoxOf(d, code, quill::kHandleSide); });
}

void TZelBoxToolControl::PaintBox(TZelViewCanvas& canvas, const quill::TRect& d) const {
  quill::InvertFocusRect(canvas, d);
  if (State != bsShown) return;
  for (int32_t code : order_) {
    quill::InvertCanvasRect(canvas, HandleBoxOf(d, code, quill::kHandleSide));
    quill::InvertCanvasRect(canvas, HandleBoxOf(d, code, kHandleInner));
  }
}

void TZelBoxToolControl::ShowBoxSize(const quill::TRect& r) const {
  if (r.IsEmpty() || GraphicsEditor == nullptr || GraphicsEditor->WStatusPanel == nullptr) return;
  GraphicsEditor->SetWidthStatus(QString::number(r.Width()));
  GraphicsEditor->SetHeightStatus(QString::number(r.Height()));
}

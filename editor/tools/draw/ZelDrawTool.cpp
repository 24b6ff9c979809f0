#include "ZelDrawTool.h"

#include <QImage>
#include <QLayout>
#include <QPainter>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cstring>
#include <string>
#include <variant>

#include "DabShapes.h"
#include "ZelDemoScript.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsView.h"
#include "ZelViewCanvas.h"

namespace quill {

namespace {

// The white of the preview, its frame's grey, and the dab's colour when the box is
// disabled.
constexpr uint8_t kPreviewFrameGrey = 128;
const QColor kPreviewDisabled(192, 192, 192);

// A colour as a packed B, G, R integer (blue in bits 0-7).
uint32_t Packed(QColor colour) {
  return static_cast<uint32_t>(colour.blue()) | static_cast<uint32_t>(colour.green()) << 8 |
         static_cast<uint32_t>(colour.red()) << 16;
}

// Binds Slider to a setter: its range, ticks and position, and its moves, for as long
// as Receiver lives.
void BindSlider(QSlider* slider, const QObject* receiver, int32_t min, int32_t max, int32_t frequency,
                int32_t position, std::function<void(int32_t)> setter) {
  if (slider == nullptr) return;
  const QSignalBlocker blocker(slider);
  slider->setRange(min, max);
  slider->setTickInterval(frequency);
  slider->setValue(position);
  QObject::connect(slider, &QSlider::valueChanged, receiver,
                   [setter = std::move(setter)](int value) { setter(value); });
}

// Rect grown by By on every side.
quill::TRect Inflated(const quill::TRect& rect, int32_t by) {
  return {SaturateInt32(int64_t{rect.Left} - by), SaturateInt32(int64_t{rect.Top} - by),
          SaturateInt32(int64_t{rect.Right} + by), SaturateInt32(int64_t{rect.Bottom} + by)};
}

// Moves Slider to Value without calling back into the tool.
void MoveSlider(QSlider* slider, int32_t value) {
  if (slider == nullptr) return;
  const QSignalBlocker blocker(slider);
  slider->setValue(value);
}

}  // namespace

void InvertEllipse(TZelViewCanvas& canvas, const quill::TRect& rect) {
  const quill::TRect area = IntersectRect(rect, canvas.GetClipBox());
  if (area.IsEmpty()) return;
  // The outline is drawn only over the part of it being repainted.
  QImage mask(static_cast<int>(area.Width()), static_cast<int>(area.Height()), QImage::Format_Alpha8);
  mask.fill(0);
  {
    QPainter painter(&mask);
    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(Qt::NoBrush);
    painter.translate(-area.Left, -area.Top);
    // A QRect's outline covers Width + 1 pixels: the ellipse stays inside Rect.
    painter.drawEllipse(QRect(rect.Left, rect.Top, static_cast<int>(rect.Width() - 1),
                              static_cast<int>(rect.Height() - 1)));
  }
  TZelPixels& pixels = canvas.GetPixels();
  canvas.ForEachClipRect(area, [&](const quill::TRect& piece) {
    for (int32_t y = piece.Top; y < piece.Bottom; ++y) {
      const uchar* covered = mask.constScanLine(y - area.Top) - area.Left;
      uint8_t* pixel = pixels.GetPixelAddress(piece.Left, y);
      for (int32_t x = piece.Left; x < piece.Right; ++x, pixel += 3) {
        if (covered[x] == 0) continue;
        pixel[0] = static_cast<uint8_t>(~pixel[0]);
        pixel[1] = static_cast<uint8_t>(~pixel[1]);
        pixel[2] = static_cast<uint8_t>(~pixel[2]);
      }
    }
  });
}

void SetFrameMargins(QLayout* layout) {
  constexpr int kSide = 6;
  constexpr int kEnd = 9;
  layout->setContentsMargins(kSide, kEnd, kSide, kEnd);
}

}  // namespace quill

// ---- TZelDrawTool ----

TZelDrawTool::TZelDrawTool(TZelComponent* owner) : TZelGraphicsTool(owner) { PluginCapable = true; }

void TZelDrawTool::ExecuteCommand(TZelDemoPlayback* sender, const QString& command, bool& handled,
                                  const TZelProperties* params) {
  const QString name = Name.toUpper();
  int32_t value = 0;
  if (!Name.isEmpty() && command == name + QLatin1String("SIZE")) {
    if (quill::ScriptIntegerIgnoringText(params, 0, value)) SetSize(value);
    handled = true;
  } else if (!Name.isEmpty() && command == name + QLatin1String("OPACITY")) {
    if (quill::ScriptIntegerIgnoringText(params, 0, value)) SetOpacity(value);
    handled = true;
  } else {
    TZelGraphicsTool::ExecuteCommand(sender, command, handled, params);
  }
}

void TZelDrawTool::GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found, quill::TPoint& point) {
  found = quill::FindToolTarget(params, Name, nullptr,
                                {{QStringLiteral("SIZE"), SizeTrackBar}, {QStringLiteral("OPACITY"), OpacityTrackBar}},
                                point);
  if (!found) TZelGraphicsTool::GetTargetPoint(sender, params, found, point);
}

TZelGraphicsTool* TZelDrawTool::AbortStroke() {
  if (Control != nullptr) Control->EndStroke();
  return this;
}

void TZelDrawTool::DocumentClosing(TZelGraphicsDocument* document) {
  if (Control != nullptr && Document == document) Control->EndStroke();
  TZelGraphicsTool::DocumentClosing(document);
}

void TZelDrawTool::SetSize(int32_t value) {
  if (value == Size || value < MinSize || value > MaxSize) return;
  for (int i = 0; i < ControlCount(); ++i) GetControl(i)->Invalidate();
  Size = value;
  SizeChanged();
  quill::MoveSlider(SizeTrackBar, Size);
  RecordOption(QStringLiteral("Size"), Size);
}

void TZelDrawTool::SetOpacity(int32_t value) {
  if (value == Opacity || value < 0 || value > 255) return;
  Opacity = value;
  OpacityChanged();
  quill::MoveSlider(OpacityTrackBar, Opacity);
  RecordOption(QStringLiteral("Opacity"), Opacity);
}

bool TZelDrawTool::BeginStroke(TZelDrawToolControl* control, quill::TMouseButton button,
                               quill::TShiftState shift) {
  if (!quill::ToolMayStart(*this) || !BeginOperation(control->View)) return false;
  Control = control;
  StrokeButton = button;
  StrokeShift = shift;
  return true;
}

void TZelDrawTool::ApplyDab(const quill::TRect& rect) {
  if (Committed == nullptr) return;
  const quill::TRect clipped = IntersectRect(rect, Committed->GetBounds());
  if (clipped.IsEmpty()) return;
  ProcessDab(clipped);
  AddDirtyRect(clipped, false);
}

void TZelDrawTool::EndStroke() {
  EndOperation();
  Control = nullptr;
}

void TZelDrawTool::SetSizeTrackBar(QSlider* trackBar) {
  SizeTrackBar = trackBar;
  quill::BindSlider(trackBar, &WidgetLinks, MinSize, MaxSize, MaxSize / 10, Size,
                    [this](int32_t value) { SetSize(value); });
}

void TZelDrawTool::SetOpacityTrackBar(QSlider* trackBar) {
  OpacityTrackBar = trackBar;
  quill::BindSlider(trackBar, &WidgetLinks, 0, 255, 16, Opacity, [this](int32_t value) { SetOpacity(value); });
}

void TZelDrawTool::RecordOption(const QString& option, int32_t value) {
  if (Playback == nullptr || !Playback->IsRecording() || Name.isEmpty()) return;
  Playback->RecordLine(Name + option + QLatin1Char(' ') + QString::number(value));
}

// ---- TZelMaskDrawTool ----

TZelMaskDrawTool::TZelMaskDrawTool(TZelComponent* owner) : TZelDrawTool(owner) {}

TZelMaskDrawTool::~TZelMaskDrawTool() {
  if (PreviewBox != nullptr) PreviewBox->OnPaint = nullptr;
}

void TZelMaskDrawTool::SizeChanged() {
  UpdateDabMask();
  for (int i = 0; i < ControlCount(); ++i) {
    if (auto* control = dynamic_cast<TZelMaskDrawToolControl*>(GetControl(i))) {
      control->SetPosition(control->Position);
    }
  }
}

void TZelMaskDrawTool::OpacityChanged() { UpdateDabMask(); }

void TZelMaskDrawTool::ApplyDab(const quill::TRect& rect) {
  DabMask.MoveTo(rect.Left, rect.Top);
  if (UseStrokeMask) StrokeMask.Merge(DabMask);
  TZelDrawTool::ApplyDab(rect);
  DabMask.MoveTo(0, 0);
}

void TZelMaskDrawTool::EndStroke() {
  StrokeMask.Clear();
  TZelDrawTool::EndStroke();
}

void TZelMaskDrawTool::UpdateDabMask() {
  if (PreviewBox != nullptr) PreviewBox->update();
}

void TZelMaskDrawTool::SetPreviewBox(quill::TZelPaintBox* box) {
  PreviewBox = box;
  if (box == nullptr) return;
  box->OnPaint = [this, box](QPainter& painter) {
    DrawPreview(painter, box->rect(), box->isEnabled() ? QColor(Qt::black) : quill::kPreviewDisabled);
  };
}

void TZelMaskDrawTool::DrawPreview(QPainter& painter, const QRect& rect, QColor colour) {
  const int32_t width = rect.width();
  const int32_t height = rect.height();
  TZelPixelBuffer bitmap;
  if (width < 1 || height < 1 || !bitmap.Allocate(quill::kPixelFormat24, {0, 0, width, height})) return;
  for (int32_t y = 0; y < height; ++y) std::memset(bitmap.GetScanLine(0, y), 0xFF, size_t(width) * 3);
  DabMask.MoveTo((width - DabMask.Width()) / 2, (height - DabMask.Height()) / 2);
  const quill::TRect overlap = IntersectRect(DabMask.GetBounds(), bitmap.GetBounds());
  if (!overlap.IsEmpty()) ApplyColourThroughMask(DabMask, bitmap, quill::Packed(colour), overlap, bitmap);
  DabMask.MoveTo(0, 0);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      if (x == 0 || y == 0 || x == width - 1 || y == height - 1) {
        std::memset(bitmap.GetPixelAddress(x, y), quill::kPreviewFrameGrey, 3);
      }
    }
  }
  painter.drawImage(rect, QImage(bitmap.Bits(), width, height, bitmap.Stride(), QImage::Format_BGR888));
}

// ---- TZelBrushTool ----

TZelBrushTool::TZelBrushTool(TZelComponent* owner) : TZelMaskDrawTool(owner) {
  ControlClass = &MakeControl<TZelBrushToolControl>;
  SetHardness(128);
}

void TZelBrushTool::ExecuteCommand(TZelDemoPlayback* sender, const QString& command, bool& handled,
                                   const TZelProperties* params) {
  int32_t value = 0;
  if (!Name.isEmpty() && command == Name.toUpper() + QLatin1String("HARDNESS")) {
    if (quill::ScriptIntegerIgnoringText(params, 0, value)) SetHardness(value);
    handled = true;
  } else {
    TZelMaskDrawTool::ExecuteCommand(sender, command, handled, params);
  }
}

void TZelBrushTool::GetTargetPoint(TZelDemoPlayback* sender, const TZelProperties* params, bool& found, quill::TPoint& point) {
  found = quill::FindToolTarget(params, Name, nullptr, {{QStringLiteral("HARDNESS"), HardnessTrackBar}}, point);
  if (!found) TZelMaskDrawTool::GetTargetPoint(sender, params, found, point);
}

void TZelBrushTool::UpdateDabMask() {
  SoftDisc(DabMask, Size, Opacity, Hardness);
  TZelMaskDrawTool::UpdateDabMask();
}

void TZelBrushTool::SetHardness(int32_t value) {
  if (value == Hardness || value < 0 || value > 255) return;
  Hardness = value;
  UpdateDabMask();
  quill::MoveSlider(HardnessTrackBar, Hardness);
  RecordOption(QStringLiteral("Hardness"), Hardness);
}

void TZelBrushTool::SetHardnessTrackBar(QSlider* trackBar) {
  HardnessTrackBar = trackBar;
  quill::BindSlider(trackBar, &WidgetLinks, 0, 255, 16, Hardness, [this](int32_t value) { SetHardness(value); });
}

// ---- TZelDrawToolControl ----

void TZelDrawToolControl::SetBounds(const quill::TRect& rect) {
  Invalidate();
  TZelGraphicsToolControl::SetBounds(rect);
  Invalidate();
}

void TZelDrawToolControl::Activate() {
  SetVisible(true);
  TZelGraphicsToolControl::Activate();
}

void TZelDrawToolControl::Deactivate() {
  // An inactive control gets no mouse-up: a stroke it holds ends here.
  if (Stroking) EndStroke();
  SetVisible(false);
  TZelGraphicsToolControl::Deactivate();
}

void TZelDrawToolControl::EndStroke() {
  Stroking = false;
  DrawTool()->EndStroke();
}

void TZelDrawToolControl::ApplyDab() { DrawTool()->ApplyDab(GetBounds()); }

bool TZelDrawToolControl::StartStroke(quill::TMouseButton button, quill::TShiftState shift) {
  if (Stroking) return false;
  Stroking = DrawTool()->BeginStroke(this, button, shift);
  return Stroking;
}

// ---- TZelMaskDrawToolControl ----

void TZelMaskDrawToolControl::SetPosition(const quill::TPoint& point) {
  Position = point;
  SetBounds(DabRect(point, DrawTool()->Size));
}

void TZelMaskDrawToolControl::Activate() {
  SetPosition(View->ClientToImage(GetCursorPoint()));
  TZelDrawToolControl::Activate();
}

bool TZelMaskDrawToolControl::SetCursor(quill::TShiftState /*shift*/, const quill::TPoint& /*point*/, int& cursor) {
  if (!Active) return false;
  cursor = quill::crNone;
  return true;
}

void TZelMaskDrawToolControl::MouseEnter() {
  if (Active) SetVisible(true);
}

void TZelMaskDrawToolControl::MouseLeave() {
  if (Active) SetVisible(false);
}

bool TZelMaskDrawToolControl::MouseDown(quill::TMouseButton button, quill::TShiftState shift,
                                        const quill::TPoint& /*point*/) {
  if (!Active) return false;
  auto* tool = static_cast<TZelMaskDrawTool*>(DrawTool());
  tool->LastShift = shift;
  // The dab lies at Position, where the last move (or the activation) put it.
  if (StartStroke(button, shift)) {
    ApplyDab();
    if (tool->StrokeKind == 1) EndStroke();
  }
  return true;
}

bool TZelMaskDrawToolControl::MouseMove(quill::TShiftState shift, const quill::TPoint& point) {
  if (!Active) return false;
  static_cast<TZelMaskDrawTool*>(DrawTool())->LastShift = shift;
  SetPosition(View->ClientToImage(point));
  if (Stroking) ApplyDab();
  return true;
}

bool TZelMaskDrawToolControl::MouseUp(quill::TMouseButton /*button*/, quill::TShiftState /*shift*/,
                                      const quill::TPoint& /*point*/) {
  if (!Active) return false;
  if (DrawTool()->StrokeKind == 0 && Stroking) EndStroke();
  return true;
}

bool TZelMaskDrawToolControl::MouseWheel(quill::TShiftState /*shift*/, int delta, const quill::TPoint& /*point*/) {
  if (!Active) return false;
  if (!Stroking) DrawTool()->SetSize(DrawTool()->Size + delta);
  return true;
}

bool TZelMaskDrawToolControl::KeyDown(uint16_t key, quill::TShiftState /*shift*/) {
  if (!Active) return false;
  switch (key) {
    case quill::VK_PRIOR:
    case quill::VK_UP:
    case quill::VK_RIGHT:
      DrawTool()->SetSize(DrawTool()->Size + 1);
      return true;
    case quill::VK_NEXT:
    case quill::VK_LEFT:
    case quill::VK_DOWN:
      DrawTool()->SetSize(DrawTool()->Size - 1);
      return true;
    default:
      return false;
  }
}

// ---- TZelBrushToolControl ----

quill::TRect TZelBrushToolControl::OutlineRect(const TZelMapMode& mapMode) const {
  const quill::TRect pixel = mapMode.LogicalToDeviceRect({Position.X, Position.Y,
                                                   quill::SaturateInt32(int64_t{Position.X} + 1),
                                                   quill::SaturateInt32(int64_t{Position.Y} + 1)});
  const int64_t centreX = (int64_t{pixel.Left} + pixel.Right) / 2;
  const int64_t centreY = (int64_t{pixel.Top} + pixel.Bottom) / 2;
  const int32_t size = DrawTool()->Size;
  const quill::TRect disc = mapMode.LogicalToDeviceRect({0, 0, size, size});
  quill::TRect outline = quill::OffsetRect(disc, centreX - (int64_t{disc.Left} + disc.Right) / 2,
                             centreY - (int64_t{disc.Top} + disc.Bottom) / 2);
  if (outline.IsEmpty()) outline = quill::OffsetRect({0, 0, 1, 1}, centreX, centreY);
  return quill::Inflated(outline, 1);
}

quill::TRect TZelBrushToolControl::GetOverlayBounds(const TZelMapMode& mapMode) const {
  quill::TRect bounds = TZelMaskDrawToolControl::GetOverlayBounds(mapMode);
  if (bounds.IsEmpty()) bounds = quill::OffsetRect({0, 0, 1, 1}, bounds.Left, bounds.Top);
  return quill::Inflated(bounds, 2);
}

void TZelBrushToolControl::PaintOverlay(TZelViewCanvas& canvas) {
  quill::InvertEllipse(canvas, OutlineRect(canvas.GetMapMode()));
}

#include "ZelViewControl.h"

#include <QCoreApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>

#include "ZelUtils.h"

namespace {

int32_t Saturate32(int64_t value) {
  return static_cast<int32_t>(EnsureRangeInt64(value, INT32_MIN, INT32_MAX));
}

// The change of Origin that brings it between -Overflow and 0, or that centres
// content narrower than the window (Overflow below 0).
int32_t OriginDelta(int32_t origin, int32_t overflow) {
  if (overflow < 0) return Saturate32(int64_t{-overflow} / 2 - origin);
  if (origin > 0) return Saturate32(-int64_t{origin});
  if (origin < -overflow) return Saturate32(-int64_t{overflow} - origin);
  return 0;
}

// Delta limited so that Origin + Delta stays between -Overflow and 0.
int32_t ClampDelta(int32_t delta, int32_t origin, int32_t overflow) {
  if (delta == 0) return 0;
  if (overflow <= 0) return 0;
  if (delta < 0 && int64_t{origin} + delta < -int64_t{overflow}) {
    return Saturate32(-int64_t{origin} - overflow);
  }
  if (delta > 0 && int64_t{origin} + delta > 0) return Saturate32(-int64_t{origin});
  return delta;
}

}  // namespace

// ---- TZelViewControl ----

TZelViewControl::TZelViewControl(QWidget* parent) : QWidget(parent) {
  // Every pixel is painted by the layers: no erasing, and a resize repaints only
  // what it uncovers.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setAttribute(Qt::WA_StaticContents);
}

TZelViewControl::~TZelViewControl() = default;

quill::TRect TZelViewControl::GetClientRect() const { return quill::TRect{0, 0, width(), height()}; }

void TZelViewControl::focusInEvent(QFocusEvent* /*event*/) {}

void TZelViewControl::focusOutEvent(QFocusEvent* /*event*/) {}

void TZelViewControl::paintEvent(QPaintEvent* event) {
  if (!canvas_.BeginPaint(this, event->region() & quill::RectToQRect(GetClientRect()))) return;
  const TZelMapMode& mapMode = canvas_.GetMapMode();

  // Content, top object first; each content layer excludes what it covered.
  for (int i = viewObjects_.GetCount() - 1; i >= 0; --i) {
    TZelViewObject* object = viewObjects_.GetItem(i);
    if (!object->GetVisible() || !canvas_.RectVisible(object->GetPaintBounds(mapMode)) ||
        !object->BeginPaint(canvas_)) {
      continue;
    }
    const uint8_t flags = object->GetFlags();
    bool overlayPending = false;
    if ((flags & quill::kViewObjectOverlay) != 0 &&
        canvas_.RectVisible(object->GetOverlayBounds(mapMode))) {
      canvas_.PushClip(object);
      overlayPending = true;
    }
    if ((flags & quill::kViewObjectContent) != 0 &&
        canvas_.RectVisible(object->GetContentBounds(mapMode))) {
      object->PaintContent(canvas_);
    }
    if (!overlayPending) object->EndPaint();
  }

  if (!canvas_.GetClipBox().IsEmpty()) canvas_.FillClip(TZelViewCanvas::kBackgroundColour);

  // Overlays, bottom object first, each within the clip saved for it.
  TZelViewObject* object = nullptr;
  while (canvas_.PopClip(object)) {
    object->PaintOverlay(canvas_);
    object->EndPaint();
  }
  canvas_.EndPaint();
}

// ---- TZelScrollViewControl ----

TZelScrollViewControl::TZelScrollViewControl(QWidget* parent)
    : TZelViewControl(parent),
      horizontal_(new QScrollBar(Qt::Horizontal, this)),
      vertical_(new QScrollBar(Qt::Vertical, this)) {
  for (QScrollBar* bar : {horizontal_, vertical_}) {
    bar->setFocusPolicy(Qt::NoFocus);
    bar->setCursor(Qt::ArrowCursor);
    bar->hide();
    connect(bar, &QScrollBar::actionTriggered, this,
            [this, bar](int action) { ScrollBarAction(bar, action); });
  }
}

quill::TRect TZelScrollViewControl::GetExtent() const {
  const TZelMapMode& mapMode = GetMapMode();
  const quill::TPoint origin = mapMode.LogicalToDevice(mapMode.LogicalOrigin);
  quill::TRect extent{origin.X, origin.Y, origin.X, origin.Y};
  const TZelViewObjectList& objects = GetViewObjects();
  for (int i = 0; i < objects.GetCount(); ++i) {
    const TZelViewObject* object = objects.GetItem(i);
    if (!object->GetVisible() || (object->GetFlags() & quill::kViewObjectNoExtent) != 0) continue;
    const quill::TRect bounds = object->GetPaintBounds(mapMode);
    if (bounds.IsEmpty()) continue;
    extent.Left = std::min(extent.Left, bounds.Left);
    extent.Top = std::min(extent.Top, bounds.Top);
    extent.Right = std::max(extent.Right, bounds.Right);
    extent.Bottom = std::max(extent.Bottom, bounds.Bottom);
  }
  return extent.IsEmpty() ? quill::TRect{} : extent;
}

quill::TZelScrollRange TZelScrollViewControl::GetScrollRange() const {
  const quill::TRect extent = GetExtent();
  int64_t overflowX = extent.Width() - width();
  int64_t overflowY = extent.Height() - height();
  // Room for the bars: a bar needed on one axis takes room from the other.
  const int32_t bar = ScrollBarExtent();
  if (overflowY > 0) {
    overflowX += bar;
    if (overflowX > 0) overflowY += bar;
  } else if (overflowX > 0) {
    overflowY += bar;
    if (overflowY > 0) overflowX += bar;
  }
  quill::TZelScrollRange range;
  range.OverflowX = Saturate32(overflowX);
  range.OverflowY = Saturate32(overflowY);
  const quill::TPoint origin = GetMapMode().DeviceOrigin;
  range.DeltaX = OriginDelta(origin.X, range.OverflowX);
  range.DeltaY = OriginDelta(origin.Y, range.OverflowY);
  return range;
}

void TZelScrollViewControl::UpdateScrollBars(int32_t overflowX, int32_t overflowY) {
  if (width() < 1 || height() < 1) return;
  const quill::TPoint origin = GetMapMode().DeviceOrigin;
  const auto set = [this](QScrollBar* bar, int32_t overflow, int page, int32_t originOnAxis) {
    const int value = Saturate32(-int64_t{originOnAxis});
    if (overflow > 0 && isVisible() &&
        (bar->isHidden() || bar->maximum() != overflow || bar->pageStep() != page || bar->value() != value)) {
      HoldRepaint(bar);
    }
    const QSignalBlocker blocker(bar);
    bar->setRange(0, std::max(overflow, 0));
    bar->setPageStep(page);
    bar->setSingleStep(lineStep_);
    bar->setValue(value);
    bar->setVisible(overflow > 0);
  };
  set(horizontal_, overflowX, width(), origin.X);
  set(vertical_, overflowY, height(), origin.Y);
  LayoutScrollBars();
}

void TZelScrollViewControl::ClampOrigin() {
  const quill::TZelScrollRange range = GetScrollRange();
  if (range.DeltaX != 0 || range.DeltaY != 0) OffsetOrigin(range.DeltaX, range.DeltaY);
  update();
  UpdateScrollBars(range.OverflowX, range.OverflowY);
}

void TZelScrollViewControl::CenterOnPoint(const quill::TPoint& logicalPoint) {
  const quill::TPoint point = GetMapMode().LogicalToDevice(logicalPoint);
  const quill::TRect client = GetClientRect();
  OffsetOrigin(Saturate32(client.Width() / 2 - point.X), Saturate32(client.Height() / 2 - point.Y));
  const quill::TZelScrollRange range = GetScrollRange();
  if (range.DeltaX != 0 || range.DeltaY != 0) OffsetOrigin(range.DeltaX, range.DeltaY);
  update();
  UpdateScrollBars(range.OverflowX, range.OverflowY);
}

void TZelScrollViewControl::ScrollByDelta(int32_t dx, int32_t dy) {
  const quill::TZelScrollRange range = GetScrollRange();
  ScrollContent(dx, dy);
  UpdateScrollBars(range.OverflowX, range.OverflowY);
}

void TZelScrollViewControl::ClampScrollDelta(int32_t& dx, int32_t& dy) const {
  const quill::TZelScrollRange range = GetScrollRange();
  const quill::TPoint origin = GetMapMode().DeviceOrigin;
  dx = ClampDelta(dx, origin.X, range.OverflowX);
  dy = ClampDelta(dy, origin.Y, range.OverflowY);
}

void TZelScrollViewControl::ScrollContent(int32_t dx, int32_t dy) {
  OffsetOrigin(dx, dy);
  scroll(dx, dy, quill::RectToQRect(GetClientRect()));
}

void TZelScrollViewControl::OffsetOrigin(int32_t dx, int32_t dy) {
  quill::TPoint& origin = GetMapMode().DeviceOrigin;
  origin.X = Saturate32(int64_t{origin.X} + dx);
  origin.Y = Saturate32(int64_t{origin.Y} + dy);
}

quill::TRect TZelScrollViewControl::GetClientRect() const {
  const int32_t bar = ScrollBarExtent();
  return quill::TRect{0, 0, width() - (vertical_->isHidden() ? 0 : bar),
               height() - (horizontal_->isHidden() ? 0 : bar)};
}

void TZelScrollViewControl::resizeEvent(QResizeEvent* event) {
  TZelViewControl::resizeEvent(event);
  const quill::TZelScrollRange range = GetScrollRange();
  if (range.DeltaX != 0 || range.DeltaY != 0) ScrollContent(range.DeltaX, range.DeltaY);
  UpdateScrollBars(range.OverflowX, range.OverflowY);
}

void TZelScrollViewControl::paintEvent(QPaintEvent* event) {
  TZelViewControl::paintEvent(event);
  if (horizontal_->isHidden() || vertical_->isHidden()) return;
  const quill::TRect client = GetClientRect();
  const QRect corner(client.Right, client.Bottom, width() - client.Right, height() - client.Bottom);
  if (!event->region().intersects(corner)) return;
  QPainter painter(this);
  painter.fillRect(corner, palette().window());
}

bool TZelScrollViewControl::event(QEvent* event) {
  if (event->type() == ReleaseBarsEvent()) {
    barsHeld_ = false;
    // A held bar repaints as it is let go; the other is left alone.
    for (QScrollBar* bar : {horizontal_, vertical_}) bar->setUpdatesEnabled(true);
    return true;
  }
  return TZelViewControl::event(event);
}

QEvent::Type TZelScrollViewControl::ReleaseBarsEvent() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

void TZelScrollViewControl::HoldRepaint(QScrollBar* bar) {
  bar->setUpdatesEnabled(false);
  if (barsHeld_) return;
  barsHeld_ = true;
  // Qt repaints the window through a posted request of low priority, which the change
  // of the view has posted already: a release of the same priority comes after it.
  QCoreApplication::postEvent(this, new QEvent(ReleaseBarsEvent()), Qt::LowEventPriority);
}

void TZelScrollViewControl::ScrollBarAction(QScrollBar* bar, int action) {
  const int position = bar->value();
  int64_t step = 0;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      step = -int64_t{lineStep_};
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      step = lineStep_;
      break;
    case QAbstractSlider::SliderPageStepSub:
      step = -int64_t{MulDiv(bar->pageStep(), 3, 4)};
      break;
    case QAbstractSlider::SliderPageStepAdd:
      step = MulDiv(bar->pageStep(), 3, 4);
      break;
    case QAbstractSlider::SliderMove:  // the thumb dragged (or the wheel over the bar)
      step = int64_t{bar->sliderPosition()} - position;
      break;
    case QAbstractSlider::SliderToMinimum:
      step = int64_t{bar->minimum()} - position;
      break;
    case QAbstractSlider::SliderToMaximum:
      step = int64_t{bar->maximum()} - position;
      break;
    default:
      break;
  }
  const int target = static_cast<int>(
      EnsureRangeInt64(int64_t{position} + step, bar->minimum(), bar->maximum()));
  // Qt moves the bar to the slider position once this handler returns.
  bar->setSliderPosition(target);
  const int32_t moved = target - position;
  if (moved == 0) return;
  if (bar == horizontal_) {
    ScrollContent(-moved, 0);
  } else {
    ScrollContent(0, -moved);
  }
}

int32_t TZelScrollViewControl::ScrollBarExtent() const {
  return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

void TZelScrollViewControl::LayoutScrollBars() {
  const int32_t bar = ScrollBarExtent();
  const quill::TRect client = GetClientRect();
  horizontal_->setGeometry(0, height() - bar, client.Right, bar);
  vertical_->setGeometry(width() - bar, 0, bar, client.Bottom);
}

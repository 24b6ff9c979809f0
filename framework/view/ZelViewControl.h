// View controls: windows that paint a stack of view objects (ZelViewObject.h) through
// a view canvas (ZelViewCanvas.h), and the scrolling variant the image view is built on.
//
// TZelViewControl paints, in one off-screen pass per paint event: the objects from
// the last (top) to the first (bottom), each content layer cutting its area out of the
// clip; then the background colour where nothing covered the window; then the overlays,
// from the bottom object to the top one, each within the clip that was in force when
// the walk reached its object. The window is never erased and a resize repaints only
// the newly uncovered parts.
//
// TZelScrollViewControl scrolls by moving the device origin of the map mode: origin 0
// puts the content's left or top edge at the window's edge, negative values scroll
// right or down, and positive values appear only while content smaller than the window
// is centred. Its scroll range is the extent of its objects. Its arithmetic works on
// the control's outer size: content wider than the outer size needs a horizontal bar,
// which then takes room from the height, and the other way round. Every change of
// content size goes through ClampOrigin and every resize through resizeEvent, which
// keep the origin in range and the bars in step.
//
// Main thread only.

#ifndef QUILL_FRAMEWORK_ZELVIEWCONTROL_H_
#define QUILL_FRAMEWORK_ZELVIEWCONTROL_H_

#include <QEvent>
#include <QWidget>

#include <cstdint>

#include "ZelMapMode.h"
#include "ZelTypes.h"
#include "ZelViewCanvas.h"
#include "ZelViewObject.h"

class QFocusEvent;
class QPaintEvent;
class QResizeEvent;
class QScrollBar;

class TZelViewControl : public QWidget {
  Q_OBJECT

 public:
  explicit TZelViewControl(QWidget* parent = nullptr);
  // Frees the canvas, then the objects still in the list (the last first), while the
  // window still exists; an object's destructor must not call into a derived view.
  ~TZelViewControl() override;

  // The layers; the first is the bottom one.
  TZelViewObjectList& GetViewObjects() { return viewObjects_; }
  const TZelViewObjectList& GetViewObjects() const { return viewObjects_; }
  TZelViewCanvas& GetCanvas() { return canvas_; }
  // The canvas's map mode: scrolling moves its device origin, zooming sets its extents.
  TZelMapMode& GetMapMode() { return canvas_.GetMapMode(); }
  const TZelMapMode& GetMapMode() const { return canvas_.GetMapMode(); }

  // The area the layers paint, in window coordinates: the whole window here.
  virtual quill::TRect GetClientRect() const;

 protected:
  // Paints the part of the event's region that lies in the client rectangle.
  void paintEvent(QPaintEvent* event) override;
  // Nothing the layers paint depends on the keyboard focus, so gaining or losing it
  // repaints nothing (Qt's default repaints the whole window, a frame's work on a
  // large view, and the image view takes the focus as the pointer enters it).
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  TZelViewObjectList viewObjects_;
  TZelViewCanvas canvas_;
};

namespace quill {

// What GetScrollRange finds: the change of the device origin that brings it into
// range (or centres content smaller than the window), and by how much the content
// exceeds the window on each axis, scroll bars included (negative when it is smaller).
struct TZelScrollRange {
  int32_t DeltaX = 0;
  int32_t DeltaY = 0;
  int32_t OverflowX = 0;
  int32_t OverflowY = 0;
};

}  // namespace quill

class TZelScrollViewControl : public TZelViewControl {
  Q_OBJECT

 public:
  explicit TZelScrollViewControl(QWidget* parent = nullptr);


  // The content rectangle in device coordinates: from the device point of the
  // logical origin, grown by the paint bounds of every visible object that is part
  // of the extent (kViewObjectNoExtent clear) and paints a non-empty area. So it
  // always reaches the logical origin's device point; (0, 0, 0, 0) when it is empty.
  virtual quill::TRect GetExtent() const;
  virtual quill::TZelScrollRange GetScrollRange() const;
  // Sets both bars from the overflows and the origin: each shows while its overflow
  // is above 0. Nothing while the control has no area. A bar that appears or changes
  // repaints in the frame after the one that shows the view's change (the caller has
  // repainted or scrolled the view first), so that the image moves without waiting for
  // it; until then the strip a new bar covers keeps what it showed.
  virtual void UpdateScrollBars(int32_t overflowX, int32_t overflowY);
  // Brings the origin into range without scrolling the window's pixels, updates the
  // bars and repaints the whole control. Call it after every change of the content's
  // size or the zoom.
  virtual void ClampOrigin();

  // Scrolls so that LogicalPoint lies at the centre of the client area (or as near as
  // the range allows), updates the bars and repaints the whole control.
  void CenterOnPoint(const quill::TPoint& logicalPoint);
  // Scrolls by (DX, DY) and updates the bars; the caller clamps first.
  void ScrollByDelta(int32_t dx, int32_t dy);
  // Limits (DX, DY) so that the origin stays between -overflow and 0; an axis
  // without overflow does not move.
  void ClampScrollDelta(int32_t& dx, int32_t& dy) const;
  // Moves the origin and the window's pixels by (DX, DY); only the uncovered strips
  // are repainted.
  void ScrollContent(int32_t dx, int32_t dy);
  // Moves the device origin by (DX, DY), nothing else.
  void OffsetOrigin(int32_t dx, int32_t dy);

  // The window less the visible scroll bars.
  quill::TRect GetClientRect() const override;
  QScrollBar* GetHorizontalScrollBar() const { return horizontal_; }
  QScrollBar* GetVerticalScrollBar() const { return vertical_; }

 protected:
  // Keeps the origin in range for the new size (scrolling the pixels when it moves)
  // and the bars in step.
  void resizeEvent(QResizeEvent* event) override;
  // The layers, then the box between the two bars when both show.
  void paintEvent(QPaintEvent* event) override;
  // Lets the held bars repaint (see UpdateScrollBars).
  bool event(QEvent* event) override;

 private:
  static QEvent::Type ReleaseBarsEvent();
  // Holds Bar's repaints until the next frame of the window has been painted.
  void HoldRepaint(QScrollBar* bar);
  // One user action on a bar: a line, three quarters of a page, a drag of the thumb
  // or a jump to an end, clamped to the bar's range, scrolls the content.
  void ScrollBarAction(QScrollBar* bar, int action);
  // The thickness of a scroll bar in the control's style.
  int32_t ScrollBarExtent() const;
  void LayoutScrollBars();

  int32_t lineStep_ = 10;  // pixels scrolled by a click on a scroll bar's arrow
  bool barsHeld_ = false;  // a release of the bars is posted
  QScrollBar* horizontal_;
  QScrollBar* vertical_;
};

#endif  // QUILL_FRAMEWORK_ZELVIEWCONTROL_H_

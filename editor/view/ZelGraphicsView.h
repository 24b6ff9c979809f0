// TZelGraphicsView: the window that shows the document's image, zoomed and scrolled,
// and through which every mouse, wheel, key and cursor event reaches the tools.
//
// Its view objects are the image layer (TZelGraphicDocumentView) and, after it, one
// control per tool: the scroll tool's first, then the tools in creation order. Qt's
// events are translated here once, into a button, the shift state and a client point
// (or a virtual-key code), and offered to the tool controls from the last to the first
// until one claims them. The view itself does nothing with a key: no keyboard
// scrolling, no focus moves. X11's auto-repeat releases are dropped, so a held key
// gives one release (auto-repeat presses pass, as the platform's repeated key-downs).
// A wheel event of a notch (120) or more is one step in its direction; smaller deltas
// (high-resolution wheels, touchpads) add up, in one direction, to a notch first.
//
// Beside that it shows the image point and its colour under the pointer in the
// editor's status bar, picks the cursor the controls ask for on every move and
// enter, records the user's mouse actions as script lines while a demo recording
// runs, and zooms about the centre of its client area.
//
// Nothing a control throws passes into Qt's event dispatch: every mouse, wheel, key,
// enter and leave event is handled within the program's exception boundary
// (RunReported). An exception cancels the document's running operation first (its
// tool's CancelOperation), so that the live image and the committed copy agree again
// before the error is shown.
//
// The document creates the view and owns it; the view observes the document.
// Main thread only.

#ifndef QUILL_EDITOR_ZELGRAPHICSVIEW_H_
#define QUILL_EDITOR_ZELGRAPHICSVIEW_H_

#include <QCursor>
#include <QMetaObject>
#include <QObject>

#include <cstdint>
#include <functional>

#include "ZelColor.h"
#include "ZelComponent.h"
#include "ZelEditor.h"
#include "ZelGraphicsTool.h"
#include "ZelShortCut.h"  // the virtual-key codes
#include "ZelTypes.h"
#include "ZelViewControl.h"
#include "ZelViewObject.h"

class QKeyEvent;
class TZelGraphicsDocument;

namespace quill {

// The virtual-key code of a Qt key: letters as upper-case ASCII, digits as ASCII, the
// main keyboard's "=" and "+" 187, "-" 189, the keypad's plus 107 and minus 109 (by
// the keypad modifier), Page Up 33, Page Down 34, arrows 37-40, Space 32, Return 13,
// Esc 27, F1.. 112..; 0 for a key without a code.
uint16_t VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);

// The shift state of Qt's modifiers and held mouse buttons.
TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);

// The screen's cursor table: -1 no pointer, 0 the arrow, the system's cross and
// sizing cursors under their ids (ZelGraphicsTool.h), other ids as registered
// (unknown ids give the arrow).
void SetScreenCursor(int id, const QCursor& cursor);
QCursor GetScreenCursor(int id);

}  // namespace quill

// The image layer: the document's current image, bounds (0, 0, width, height) in image
// coordinates; visible, content layer, part of the scroll extent (flags 11).
class TZelGraphicDocumentView : public TZelViewObject {
 public:
  explicit TZelGraphicDocumentView(TZelGraphicsDocument* document);

  void InitFlags() override;
  // Bounds := the image's bounds.
  void UpdateBounds();
  // Paints the document's GetBounds part of the image into its device rectangle, only
  // what the clip shows, and excludes that rectangle from the clip.
  void PaintContent(TZelViewCanvas& canvas) override;

  TZelGraphicsDocument* const Document;
};

class TZelGraphicsView : public TZelScrollViewControl,
                         public quill::TZelComponent,
                         public IZelDocumentObserver {
  Q_OBJECT

 public:
  // A view of Document, owned by it and observing it; its image layer starts
  // invisible (the editor shows it once the view is set up).
  explicit TZelGraphicsView(TZelGraphicsDocument* document);
  // Stops observing the document.
  ~TZelGraphicsView() override;

  // ---- Fields ----
  TZelGraphicDocumentView* const DocumentView;
  // While recording: a left or right button is held.
  bool ButtonDown = false;
  // While recording: the image point of the latest recorded event.
  int32_t LastImageX = 0;
  int32_t LastImageY = 0;
  // Between MouseEnter and MouseLeave.
  bool MouseInside = false;
  TZelGraphicsDocument* const Document;

  // ---- IZelDocumentObserver ----
  void DocumentChanged(TZelDocument* document) override;
  void DocumentClosing(TZelDocument* /*document*/) override {}

  // ---- Zoom ----

  // Both axes scale by Numerator / Denominator; the image point at the client centre
  // stays there; the pointer's own position is delivered again as a move and the
  // cursor picked again.
  void SetZoom(int32_t numerator, int32_t denominator);
  // The sign of Numerator/Denominator - the current zoom, compared in thousandths.
  int CompareZoom(int32_t numerator, int32_t denominator) const;

  // ---- Points and pixels ----

  // Client (device) point to image point through the map mode.
  quill::TPoint ClientToImage(const quill::TPoint& point) const;
  // The live image's pixel at an image point; black outside the image.
  TZelRGB ColourAt(const quill::TPoint& point) const;

  // ---- Dispatch, from the translated Qt events (also callable directly) ----

  void MouseDown(quill::TMouseButton button, quill::TShiftState shift, const quill::TPoint& point);
  void MouseMove(quill::TShiftState shift, const quill::TPoint& point);
  void MouseUp(quill::TMouseButton button, quill::TShiftState shift, const quill::TPoint& point);
  // WheelDelta is Qt's vertical angle delta: below 1 gives -1, else +1. True when a
  // control claimed it.
  bool MouseWheel(quill::TShiftState shift, int wheelDelta, const quill::TPoint& point);
  bool KeyDown(uint16_t key, quill::TShiftState shift);
  bool KeyUp(uint16_t key, quill::TShiftState shift);
  // Only on the transitions: every control's MouseEnter (MouseLeave), last to first.
  void MouseEnter();
  void MouseLeave();
  // Cursor := 0, the controls may change it (the first claim wins) for the pointer's
  // position and the held keys and buttons, then it is shown.
  void UpdateCursor();
  // The same for a pointer known to be at Point with Shift held, as after a move: no
  // query of the pointer and the keyboard, which waits for the display server.
  void UpdateCursor(quill::TShiftState shift, const quill::TPoint& point);
  // The id UpdateCursor showed last.
  int GetCursorId() const { return cursorId_; }

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  // Tab and Backtab reach the controls as keys; focus never moves away by them.
  bool focusNextPrevChild(bool next) override;

 private:
  // The tool control at Index of the view's objects, or null for other objects and
  // controls whose tool is gone.
  TZelGraphicsToolControl* ControlAt(int index) const;
  // Runs Handler within the exception boundary (see the top of this file).
  void Guarded(const std::function<void()>& handler);
  // Records Prefix + the image point while a recording runs.
  void RecordPoint(const QString& prefix, const quill::TPoint& imagePoint);
  quill::TZelRecorder* Recorder() const;

  // The wheel's delta of one notch.
  static constexpr int kWheelNotch = 120;

  QMetaObject::Connection parentWatch_;
  int cursorId_ = quill::crDefault;
  // Wheel deltas smaller than a notch, added up until they make one.
  int wheelRest_ = 0;
};

#endif  // QUILL_EDITOR_ZELGRAPHICSVIEW_H_

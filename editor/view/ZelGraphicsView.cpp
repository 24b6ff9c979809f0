#include "ZelGraphicsView.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <cstdlib>
#include <map>
#include <memory>

#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelUtils.h"
#include "ZelViewCanvas.h"

namespace quill {

uint16_t VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers) {
  const bool keypad = (modifiers & Qt::KeypadModifier) != 0;
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return static_cast<uint16_t>('A' + qtKey - Qt::Key_A);
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
    return static_cast<uint16_t>((keypad ? VK_NUMPAD0 : '0') + qtKey - Qt::Key_0);
  }
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return static_cast<uint16_t>(VK_F1 + qtKey - Qt::Key_F1);
  switch (qtKey) {
    case Qt::Key_Plus:
      return keypad ? VK_ADD : VK_OEM_PLUS;
    case Qt::Key_Equal:
      return keypad ? 0 : VK_OEM_PLUS;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
      return keypad ? VK_SUBTRACT : VK_OEM_MINUS;
    case Qt::Key_Asterisk:
      return keypad ? VK_MULTIPLY : 0;
    case Qt::Key_Slash:
      return keypad ? VK_DIVIDE : 0;
    case Qt::Key_Backspace:
      return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return VK_RETURN;
    case Qt::Key_Shift:
      return VK_SHIFT;
    case Qt::Key_Control:
      return VK_CONTROL;
    case Qt::Key_Alt:
      return VK_MENU;
    case Qt::Key_Escape:
      return VK_ESCAPE;
    case Qt::Key_Space:
      return VK_SPACE;
    case Qt::Key_PageUp:
      return VK_PRIOR;
    case Qt::Key_PageDown:
      return VK_NEXT;
    case Qt::Key_End:
      return VK_END;
    case Qt::Key_Home:
      return VK_HOME;
    case Qt::Key_Left:
      return VK_LEFT;
    case Qt::Key_Up:
      return VK_UP;
    case Qt::Key_Right:
      return VK_RIGHT;
    case Qt::Key_Down:
      return VK_DOWN;
    case Qt::Key_Insert:
      return VK_INSERT;
    case Qt::Key_Delete:
      return VK_DELETE;
    default:
      return 0;
  }
}

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  TShiftState shift = 0;
  if ((modifiers & Qt::ShiftModifier) != 0) shift |= ssShift;
  if ((modifiers & Qt::AltModifier) != 0) shift |= ssAlt;
  if ((modifiers & Qt::ControlModifier) != 0) shift |= ssCtrl;
  if ((buttons & Qt::LeftButton) != 0) shift |= ssLeft;
  if ((buttons & Qt::RightButton) != 0) shift |= ssRight;
  if ((buttons & Qt::MiddleButton) != 0) shift |= ssMiddle;
  return shift;
}

namespace {

std::map<int, QCursor>& CursorTable() {
  static std::map<int, QCursor> table;
  return table;
}

bool ButtonOf(Qt::MouseButton qtButton, TMouseButton& button) {
  switch (qtButton) {
    case Qt::LeftButton:
      button = mbLeft;
      return true;
    case Qt::RightButton:
      button = mbRight;
      return true;
    case Qt::MiddleButton:
      button = mbMiddle;
      return true;
    default:
      return false;
  }
}

TPoint PointOf(const QPointF& point) {
  const QPoint p = point.toPoint();
  return {p.x(), p.y()};
}

QString PointText(const TPoint& point) {
  return QString::number(point.X) + QStringLiteral(", ") + QString::number(point.Y);
}

TZelGraphicDocumentView* AddDocumentView(TZelViewObjectList& objects,
                                         TZelGraphicsDocument* document) {
  auto layer = std::make_unique<TZelGraphicDocumentView>(document);
  layer->AfterConstruction();
  layer->UpdateBounds();
  layer->SetVisible(false);
  return static_cast<TZelGraphicDocumentView*>(objects.Add(std::move(layer)));
}

}  // namespace

void SetScreenCursor(int id, const QCursor& cursor) { CursorTable()[id] = cursor; }

QCursor GetScreenCursor(int id) {
  switch (id) {
    case crNone: return QCursor(Qt::BlankCursor);
    case crCross: return QCursor(Qt::CrossCursor);
    case crSizeNESW: return QCursor(Qt::SizeBDiagCursor);
    case crSizeNS: return QCursor(Qt::SizeVerCursor);
    case crSizeNWSE: return QCursor(Qt::SizeFDiagCursor);
    case crSizeWE: return QCursor(Qt::SizeHorCursor);
    case crSizeAll: return QCursor(Qt::SizeAllCursor);
    default: break;
  }
  const auto it = CursorTable().find(id);
  return it != CursorTable().end() ? it->second : QCursor(Qt::ArrowCursor);
}

}  // namespace quill

// ---- TZelGraphicDocumentView ----

TZelGraphicDocumentView::TZelGraphicDocumentView(TZelGraphicsDocument* document)
    : Document(document) {}

void TZelGraphicDocumentView::InitFlags() {
  SetFlags(quill::kViewObjectVisible | quill::kViewObjectContent | quill::kViewObjectPaint);
}

void TZelGraphicDocumentView::UpdateBounds() { SetBounds(Document->CurrentImage.GetBounds()); }

void TZelGraphicDocumentView::PaintContent(TZelViewCanvas& canvas) {
  const quill::TRect source = Document->GetBounds();
  if (source.IsEmpty()) return;
  const quill::TRect dest = canvas.GetMapMode().LogicalToDeviceRect(source);
  Document->CurrentImage.Draw(canvas.GetDeviceContext(), dest, source, canvas.GetClipBox());
  canvas.ExcludeClipRect(dest);
  // The photo is on screen: what the first edit needs is made from now on, in idle
  // time, instead of delaying this paint or the first press.
  Document->SchedulePreparation();
}

// ---- TZelGraphicsView ----

TZelGraphicsView::TZelGraphicsView(TZelGraphicsDocument* document)
    : TZelScrollViewControl(nullptr),
      quill::TZelComponent(document),
      DocumentView(quill::AddDocumentView(GetViewObjects(), document)),
      Document(document) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  Document->AddObserver(this);
  // The pointer on a scroll bar has left the image: the tools' outlines go.
  GetHorizontalScrollBar()->installEventFilter(this);
  GetVerticalScrollBar()->installEventFilter(this);
}

TZelGraphicsView::~TZelGraphicsView() { Document->RemoveObserver(this); }

void TZelGraphicsView::DocumentChanged(TZelDocument* /*document*/) { ClampOrigin(); }

void TZelGraphicsView::SetZoom(int32_t numerator, int32_t denominator) {
  if (numerator < 1 || denominator < 1) return;
  const quill::TRect client = GetClientRect();
  const quill::TPoint centre = ClientToImage({static_cast<int32_t>(client.Width() / 2),
                                       static_cast<int32_t>(client.Height() / 2)});
  TZelMapMode& mapMode = GetMapMode();
  mapMode.DeviceExtent = {numerator, numerator};
  mapMode.LogicalExtent = {denominator, denominator};
  CenterOnPoint(centre);
  // The pointer stays where it is on the screen but now stands over another image
  // point: the status bar and the tools' outlines must follow without a real move.
  const QPoint pointer = mapFromGlobal(QCursor::pos());
  if (isVisible() && GetClientRect().Contains(pointer.x(), pointer.y())) {
    // The move picks the cursor too.
    MouseMove(quill::ShiftStateOf(QGuiApplication::queryKeyboardModifiers(),
                                  QGuiApplication::mouseButtons()),
              {pointer.x(), pointer.y()});
  } else {
    UpdateCursor();
  }
}

int TZelGraphicsView::CompareZoom(int32_t numerator, int32_t denominator) const {
  const TZelMapMode& mapMode = GetMapMode();
  const int64_t difference = int64_t{MulDiv(1000, numerator, denominator)} -
                             MulDiv(1000, mapMode.DeviceExtent.X, mapMode.LogicalExtent.X);
  return difference > 0 ? 1 : (difference < 0 ? -1 : 0);
}

quill::TPoint TZelGraphicsView::ClientToImage(const quill::TPoint& point) const {
  return GetMapMode().DeviceToLogical(point);
}

TZelRGB TZelGraphicsView::ColourAt(const quill::TPoint& point) const {
  const TZelPixels& live = Document->CurrentImage.GetPixels();
  if (!live.GetBounds().Contains(point.X, point.Y)) return TZelRGB();
  const uint8_t* pixel = live.GetPixelAddress(point.X, point.Y);
  return {pixel[0], pixel[1], pixel[2]};
}

// ---- Dispatch ----

void TZelGraphicsView::MouseDown(quill::TMouseButton button, quill::TShiftState shift, const quill::TPoint& point) {
  if (quill::TZelRecorder* recorder = Recorder()) {
    const quill::TPoint image = ClientToImage(point);
    LastImageX = image.X;
    LastImageY = image.Y;
    RecordPoint(ButtonDown ? QStringLiteral("MouseMove Image, ")
                           : QStringLiteral("MouseCurvedMove Image, "),
                image);
    if (recorder->GetRecordMessages()) quill::RecordMessage(recorder, recorder->GetMessageText());
    if (button == quill::mbLeft) {
      RecordPoint(QStringLiteral("MouseDown Image, "), image);
      ButtonDown = true;
    } else if (button == quill::mbRight) {
      RecordPoint(QStringLiteral("MouseRightDown Image, "), image);
      ButtonDown = true;
    }
  }
  for (int i = GetViewObjects().GetCount() - 1; i >= 0; --i) {
    TZelGraphicsToolControl* control = ControlAt(i);
    if (control != nullptr && control->MouseDown(button, shift, point)) break;
  }
}

void TZelGraphicsView::MouseMove(quill::TShiftState shift, const quill::TPoint& point) {
  const quill::TPoint image = ClientToImage(point);
  if (Recorder() != nullptr && ButtonDown && (image.X != LastImageX || image.Y != LastImageY)) {
    RecordPoint(QStringLiteral("MouseTo Image, "), image);
    LastImageX = image.X;
    LastImageY = image.Y;
  }
  if (!MouseInside) MouseEnter();
  if (auto* editor = dynamic_cast<TZelGraphicsEditor*>(Document->GetEditor())) {
    editor->SetPointStatus(image, ColourAt(image));
  }
  for (int i = GetViewObjects().GetCount() - 1; i >= 0; --i) {
    TZelGraphicsToolControl* control = ControlAt(i);
    if (control != nullptr && control->MouseMove(shift, point)) break;
  }
  UpdateCursor(shift, point);
}

void TZelGraphicsView::MouseUp(quill::TMouseButton button, quill::TShiftState shift, const quill::TPoint& point) {
  if (quill::TZelRecorder* recorder = Recorder()) {
    const quill::TPoint image = ClientToImage(point);
    LastImageX = image.X;
    LastImageY = image.Y;
    if (button == quill::mbLeft) {
      RecordPoint(QStringLiteral("MouseUp Image, "), image);
      ButtonDown = false;
    } else if (button == quill::mbRight) {
      RecordPoint(QStringLiteral("MouseRightUp Image, "), image);
      ButtonDown = false;
    }
    recorder->RecordLine(QStringLiteral("Pause 0.5"));
  }
  for (int i = GetViewObjects().GetCount() - 1; i >= 0; --i) {
    TZelGraphicsToolControl* control = ControlAt(i);
    if (control != nullptr && control->MouseUp(button, shift, point)) break;
  }
}

bool TZelGraphicsView::MouseWheel(quill::TShiftState shift, int wheelDelta, const quill::TPoint& point) {
  const int delta = wheelDelta < 1 ? -1 : 1;
  for (int i = GetViewObjects().GetCount() - 1; i >= 0; --i) {
    TZelGraphicsToolControl* control = ControlAt(i);
    if (control != nullptr && control->MouseWheel(shift, delta, point)) return true;
  }
  return false;
}

bool TZelGraphicsView::KeyDown(uint16_t key, quill::TShiftState shift) {
  for (int i = GetViewObjects().GetCount() - 1; i >= 0; --i) {
    TZelGraphicsToolControl* control = ControlAt(i);
    if (control != nullptr && control->KeyDown(key, shift)) return true;
  }
  return false;
}

bool TZelGraphicsView::KeyUp(uint16_t key, quill::TShiftState shift) {
  for (int i = GetViewObjects().GetCount() - 1; i >= 0; --i) {
    TZelGraphicsToolControl* control = ControlAt(i);
    if (control != nullptr && control->KeyUp(key, shift)) return true;
  }
  return false;
}

void TZelGraphicsView::MouseEnter() {
  if (MouseInside) return;
  MouseInside = true;
  for (int i = GetViewObjects().GetCount() - 1; i >= 0; --i) {
    if (TZelGraphicsToolControl* control = ControlAt(i)) control->MouseEnter();
  }
  if (window()->isActiveWindow() && !hasFocus()) setFocus();
}

void TZelGraphicsView::MouseLeave() {
  if (!MouseInside) return;
  MouseInside = false;
  for (int i = GetViewObjects().GetCount() - 1; i >= 0; --i) {
    if (TZelGraphicsToolControl* control = ControlAt(i)) control->MouseLeave();
  }
}

void TZelGraphicsView::UpdateCursor() {
  const QPoint pointer = mapFromGlobal(QCursor::pos());
  UpdateCursor(quill::ShiftStateOf(QGuiApplication::queryKeyboardModifiers(), QGuiApplication::mouseButtons()),
               {pointer.x(), pointer.y()});
}

void TZelGraphicsView::UpdateCursor(quill::TShiftState shift, const quill::TPoint& point) {
  int cursor = quill::crDefault;
  for (int i = GetViewObjects().GetCount() - 1; i >= 0; --i) {
    TZelGraphicsToolControl* control = ControlAt(i);
    if (control != nullptr && control->SetCursor(shift, point, cursor)) break;
  }
  cursorId_ = cursor;
  setCursor(quill::GetScreenCursor(cursor));
}

// ---- Qt events ----

bool TZelGraphicsView::event(QEvent* event) {
  if (event->type() == QEvent::ParentChange) {
    // The main window dies before the document that owns this view: leave the dying
    // parent instead of being deleted with it.
    QObject::disconnect(parentWatch_);
    parentWatch_ = {};
    if (QWidget* parent = parentWidget()) {
      parentWatch_ = connect(parent, &QObject::destroyed, this, [this] { setParent(nullptr); });
    }
  }
  return TZelScrollViewControl::event(event);
}

bool TZelGraphicsView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Enter) Guarded([this] { MouseLeave(); });
  return TZelScrollViewControl::eventFilter(watched, event);
}

void TZelGraphicsView::mousePressEvent(QMouseEvent* event) {
  quill::TMouseButton button;
  if (!quill::ButtonOf(event->button(), button)) return;
  Guarded([this, button, event] {
    MouseDown(button, quill::ShiftStateOf(event->modifiers(), event->buttons()),
              quill::PointOf(event->position()));
  });
}

void TZelGraphicsView::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click is a press like any other.
  mousePressEvent(event);
}

void TZelGraphicsView::mouseMoveEvent(QMouseEvent* event) {
  Guarded([this, event] {
    MouseMove(quill::ShiftStateOf(event->modifiers(), event->buttons()),
              quill::PointOf(event->position()));
  });
}

void TZelGraphicsView::mouseReleaseEvent(QMouseEvent* event) {
  quill::TMouseButton button;
  if (!quill::ButtonOf(event->button(), button)) return;
  Guarded([this, button, event] {
    MouseUp(button, quill::ShiftStateOf(event->modifiers(), event->buttons()),
            quill::PointOf(event->position()));
  });
}

void TZelGraphicsView::wheelEvent(QWheelEvent* event) {
  // Qt reports both wheels in one event; the horizontal one is not the view's.
  int delta = event->angleDelta().y();
  if (delta == 0) {
    event->ignore();
    return;
  }
  // A notch or more is one step. Smaller deltas (high-resolution wheels, touchpads)
  // add up, in one direction, until they make a notch.
  if (std::abs(delta) < kWheelNotch) {
    if ((wheelRest_ < 0) != (delta < 0)) wheelRest_ = 0;
    wheelRest_ += delta;
    if (std::abs(wheelRest_) < kWheelNotch) {
      event->accept();
      return;
    }
    delta = wheelRest_;
  }
  wheelRest_ = 0;
  // A wheel step that threw was a control's: it goes no further.
  bool claimed = true;
  Guarded([this, event, delta, &claimed] {
    claimed = MouseWheel(quill::ShiftStateOf(event->modifiers(), event->buttons()), delta,
                         quill::PointOf(event->position()));
  });
  event->setAccepted(claimed);
}

void TZelGraphicsView::keyPressEvent(QKeyEvent* event) {
  const uint16_t key = quill::VirtualKeyOf(event->key(), event->modifiers());
  if (key == 0) {
    event->ignore();
    return;
  }
  Guarded([this, key, event] {
    KeyDown(key, quill::ShiftStateOf(event->modifiers(), QGuiApplication::mouseButtons()));
  });
  event->accept();
}

void TZelGraphicsView::keyReleaseEvent(QKeyEvent* event) {
  const uint16_t key = quill::VirtualKeyOf(event->key(), event->modifiers());
  // X11 repeats a held key as release and press pairs: only the real release counts.
  if (key == 0 || event->isAutoRepeat()) {
    event->ignore();
    return;
  }
  Guarded([this, key, event] {
    KeyUp(key, quill::ShiftStateOf(event->modifiers(), QGuiApplication::mouseButtons()));
  });
  event->accept();
}

void TZelGraphicsView::enterEvent(QEnterEvent* event) {
  Guarded([this] { UpdateCursor(); });
  TZelScrollViewControl::enterEvent(event);
}

void TZelGraphicsView::leaveEvent(QEvent* event) {
  Guarded([this] { MouseLeave(); });
  TZelScrollViewControl::leaveEvent(event);
}

bool TZelGraphicsView::focusNextPrevChild(bool /*next*/) { return false; }

// ---- Private ----

TZelGraphicsToolControl* TZelGraphicsView::ControlAt(int index) const {
  auto* control = dynamic_cast<TZelGraphicsToolControl*>(GetViewObjects().GetItem(index));
  return control != nullptr && control->Tool != nullptr ? control : nullptr;
}

void TZelGraphicsView::Guarded(const std::function<void()>& handler) {
  quill::RunReported([this, &handler] {
    try {
      handler();
    } catch (...) {
      // A dab may have stopped halfway: the image goes back to the committed copy
      // before anything (the error box among it) can paint it.
      if (Document->Running && Document->RunningTool != nullptr) Document->RunningTool->CancelOperation();
      throw;
    }
  });
}

void TZelGraphicsView::RecordPoint(const QString& prefix, const quill::TPoint& imagePoint) {
  if (quill::TZelRecorder* recorder = Recorder()) {
    recorder->RecordLine(prefix + quill::PointText(imagePoint));
  }
}

quill::TZelRecorder* TZelGraphicsView::Recorder() const {
  const TZelEditor* editor = Document->GetEditor();
  if (editor == nullptr) return nullptr;
  quill::TZelRecorder* recorder = editor->Recorder;
  return recorder != nullptr && recorder->IsRecording() ? recorder : nullptr;
}

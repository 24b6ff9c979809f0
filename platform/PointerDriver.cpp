#include "PointerDriver.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QRasterWindow>
#include <QRegion>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <iterator>

QT_BEGIN_NAMESPACE
// QtGui's window-level mouse entry, the one QtTest uses; exported by QtGui.
Q_GUI_EXPORT void qt_handleMouseEvent(QWindow* window, const QPointF& local, const QPointF& global,
                                      Qt::MouseButtons state, Qt::MouseButton button,
                                      QEvent::Type type, Qt::KeyboardModifiers mods, int timestamp);
QT_END_NAMESPACE

namespace quill {

namespace {

// The arrow, its tip at (0, 0).
const QPolygon& ArrowShape() {
  static const QPolygon arrow({QPoint(0, 0), QPoint(0, 17), QPoint(4, 13), QPoint(7, 20),
                               QPoint(10, 19), QPoint(7, 12), QPoint(12, 12)});
  return arrow;
}

int Timestamp() {
  static QElapsedTimer clock;
  if (!clock.isValid()) clock.start();
  return static_cast<int>(clock.elapsed() & 0x7FFFFFFF);
}

}  // namespace

// The driven pointer on screen: a small arrow in a frameless window that takes no input
// and no focus, so it never stands in the way of the input it shows.
class PointerSprite : public QRasterWindow {
  Q_OBJECT

 public:
  PointerSprite() {
    setFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
             Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
    const QRect bounds = ArrowShape().boundingRect();
    resize(bounds.right() + 2, bounds.bottom() + 2);
    setMask(QRegion(ArrowShape(), Qt::WindingFill).united(QRect(0, 0, 1, 1)));
  }

  void MoveTipTo(const TPoint& point) { setPosition(point.X, point.Y); }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawPolygon(ArrowShape());
  }
};

QtPointerDriver::QtPointerDriver(bool buttonsSwapped)
    : buttonsSwapped_(buttonsSwapped), context_(std::make_unique<QObject>()) {}

QtPointerDriver::~QtPointerDriver() = default;

TPoint QtPointerDriver::GetPosition() const {
  if (driving_) return position_;
  const QPoint system = QCursor::pos();
  return {system.x(), system.y()};
}

TRect QtPointerDriver::GetScreenBounds() const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {};
  const QRect desktop = screen->virtualGeometry();
  return {desktop.left(), desktop.top(), desktop.left() + desktop.width(), desktop.top() + desktop.height()};
}

void QtPointerDriver::SetPosition(const TPoint& point) {
  position_ = point;
  // Outside driving the pointer is the user's own: it goes there on the screen too.
  if (!driving_) QCursor::setPos(point.X, point.Y);
  UpdateSprite();
  Post(QEvent::MouseMove, Qt::NoButton);
}

void QtPointerDriver::SendButtons(uint32_t flags) {
  const Qt::MouseButton left = buttonsSwapped_ ? Qt::RightButton : Qt::LeftButton;
  const Qt::MouseButton right = buttonsSwapped_ ? Qt::LeftButton : Qt::RightButton;
  if (flags & MOUSEEVENTF_LEFTDOWN) Post(QEvent::MouseButtonPress, left);
  if (flags & MOUSEEVENTF_LEFTUP) Post(QEvent::MouseButtonRelease, left);
  if (flags & MOUSEEVENTF_RIGHTDOWN) Post(QEvent::MouseButtonPress, right);
  if (flags & MOUSEEVENTF_RIGHTUP) Post(QEvent::MouseButtonRelease, right);
}

int QtPointerDriver::ShowPointer(bool show) {
  displayCount_ += show ? 1 : -1;
  UpdateSprite();
  return displayCount_;
}

void QtPointerDriver::BeginDriving() {
  position_ = GetPosition();
  driving_ = true;
  UpdateSprite();
}

void QtPointerDriver::EndDriving() {
  driving_ = false;
  UpdateSprite();
}

QWindow* QtPointerDriver::WindowAt(const TPoint& point) const {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
    if (QWidget* popup = QApplication::activePopupWidget()) {
      if (QWindow* window = popup->windowHandle()) return window;
    }
  }
  const QPoint global(point.X, point.Y);
  const QWindowList windows = QGuiApplication::topLevelWindows();
  for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
    QWindow* window = *it;
    if (!window->isVisible() || window->type() == Qt::Desktop ||
        window->flags().testFlag(Qt::WindowTransparentForInput)) {
      continue;
    }
    if (window->geometry().contains(global)) return window;
  }
  return nullptr;
}

void QtPointerDriver::Post(QEvent::Type type, Qt::MouseButton button) {
  if (type == QEvent::MouseButtonPress) posted_ |= button;
  if (type == QEvent::MouseButtonRelease) posted_ &= ~Qt::MouseButtons(button);
  const TPoint point = position_;
  const Qt::MouseButtons buttons = posted_;
  QMetaObject::invokeMethod(
      context_.get(), [this, type, point, button, buttons] { Deliver(type, point, button, buttons); },
      Qt::QueuedConnection);
}

void QtPointerDriver::Deliver(QEvent::Type type, const TPoint& point, Qt::MouseButton button,
                              Qt::MouseButtons buttons) {
  const Qt::MouseButtons before =
      type == QEvent::MouseButtonPress ? buttons & ~Qt::MouseButtons(button) : buttons | button;
  QWindow* window = nullptr;
  const bool popupOpen = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr &&
                         QApplication::activePopupWidget() != nullptr;
  if (!popupOpen && before != Qt::NoButton && grab_ != nullptr && grab_->isVisible()) {
    window = grab_;
  } else {
    window = WindowAt(point);
  }
  if (type == QEvent::MouseButtonPress && before == Qt::NoButton) grab_ = window;
  if (buttons == Qt::NoButton) grab_ = nullptr;
  const bool repeatedMove = type == QEvent::MouseMove && delivered_ && lastDelivered_ == point;
  delivered_ = true;
  lastDelivered_ = point;
  if (window == nullptr) return;
  const QPoint global(point.X, point.Y);
  const QPointF local(window->mapFromGlobal(global));
  if (repeatedMove) {
    // QtGui drops a move to where the pointer already is; the window takes it directly.
    QMouseEvent move(QEvent::MouseMove, local, local, QPointF(global), Qt::NoButton, buttons,
                     QGuiApplication::keyboardModifiers());
    move.setTimestamp(static_cast<quint64>(Timestamp()));
    QCoreApplication::sendEvent(window, &move);
    return;
  }
  qt_handleMouseEvent(window, local, QPointF(global), buttons, button, type,
                      QGuiApplication::keyboardModifiers(), Timestamp());
}

void QtPointerDriver::UpdateSprite() {
  const bool shown = driving_ && displayCount_ >= 0;
  if (!shown) {
    if (sprite_ != nullptr) sprite_->hide();
    return;
  }
  if (sprite_ == nullptr) sprite_ = std::make_unique<PointerSprite>();
  sprite_->MoveTipTo(position_);
  if (!sprite_->isVisible()) sprite_->show();
}

void RecordingPointerDriver::SetPosition(const TPoint& point) {
  Position = point;
  Events.push_back({Kind::Move, point});
}

void RecordingPointerDriver::SendButtons(uint32_t flags) {
  Events.push_back({Kind::Buttons, Position, flags});
}

int RecordingPointerDriver::ShowPointer(bool show) {
  DisplayCount += show ? 1 : -1;
  Events.push_back({show ? Kind::Show : Kind::Hide, Position});
  return DisplayCount;
}

std::vector<RecordingPointerDriver::Event> RecordingPointerDriver::Of(Kind kind) const {
  std::vector<Event> result;
  std::copy_if(Events.begin(), Events.end(), std::back_inserter(result),
               [kind](const Event& event) { return event.What == kind; });
  return result;
}

}  // namespace quill

#include "PointerDriver.moc"

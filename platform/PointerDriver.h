// The pointer that demo playback drives: a position of its own, button presses and a
// visible/hidden state, in place of the system's pointer calls.
//
// PointerDriver is the interface. QtPointerDriver delivers synthesised mouse input to
// the program's own windows; RecordingPointerDriver only records what it is asked to do
// (for tests and benchmarks).
//
// QtPointerDriver keeps its own position while it drives (between BeginDriving and
// EndDriving) and then never moves the system pointer; outside driving it reports the
// system pointer's position, and SetPosition moves the system pointer there (the keys
// that move the pointer by a pixel go through it) and delivers the move. Every move and button change is
// posted, not sent: it reaches the window later from the event loop, as real input
// would, so a click that opens a modal dialog runs that dialog's loop outside the
// caller. At delivery the receiving window is, in this order: the active popup; the
// window that took the press while a button is held; the first visible top-level
// window, in reverse creation order, that contains the point and is not transparent
// for input. A move to where the last event happened still reaches that window (QtGui
// would drop it). A small input-transparent sprite shows the driven pointer on screen.
//
// The screen is the whole desktop: the rectangle that covers every screen. A pointer
// never goes beyond it, so callers keep their targets inside it.
//
// Buttons are given as the platform's physical button flags (MOUSEEVENTF_*). With
// ButtonsSwapped true the physical right button is the logical left one, so a caller
// that wants a logical left click sends the right-button flags; the driver maps them
// back with the same setting. The setting is read, never changed.
//
// Everything here runs on the main thread.

#ifndef QUILL_PLATFORM_POINTERDRIVER_H_
#define QUILL_PLATFORM_POINTERDRIVER_H_

#include <QPointer>
#include <QWindow>

#include <cstdint>
#include <memory>
#include <vector>

#include "ZelTypes.h"

class QObject;

// The physical button flags of the platform's mouse-event call.
constexpr uint32_t MOUSEEVENTF_LEFTDOWN = 0x2;
constexpr uint32_t MOUSEEVENTF_LEFTUP = 0x4;
constexpr uint32_t MOUSEEVENTF_RIGHTDOWN = 0x8;
constexpr uint32_t MOUSEEVENTF_RIGHTUP = 0x10;

namespace quill {

class PointerDriver {
 public:
  virtual ~PointerDriver() = default;

  // The pointer's screen position.
  virtual TPoint GetPosition() const = 0;
  // The desktop the pointer moves on, half-open; empty when there is no screen.
  virtual TRect GetScreenBounds() const = 0;
  // Puts the pointer at Point and delivers a move there, also when it already stands
  // at Point (a window that wants a fresh move at the pointer asks for exactly this).
  virtual void SetPosition(const TPoint& point) = 0;
  // Presses and releases buttons at the present position; Flags is a combination of
  // MOUSEEVENTF_* values, handled in the order down left, up left, down right, up right.
  virtual void SendButtons(uint32_t flags) = 0;
  // Shows (true) or hides (false) the pointer: a display counter that starts at 0,
  // counts up or down by one per call, and shows the pointer while it is 0 or more.
  // Returns the new counter.
  virtual int ShowPointer(bool show) = 0;
  // Whether the user's setting swaps the primary and secondary buttons.
  virtual bool ButtonsSwapped() const = 0;
  // Playback takes the pointer over / hands it back.
  virtual void BeginDriving() = 0;
  virtual void EndDriving() = 0;
};

class PointerSprite;

class QtPointerDriver final : public PointerDriver {
 public:
  // Needs the QGuiApplication. ButtonsSwapped is the user's setting.
  explicit QtPointerDriver(bool buttonsSwapped = false);
  ~QtPointerDriver() override;

  // The driven position while driving, the system pointer's position otherwise.
  TPoint GetPosition() const override;
  // The virtual desktop of the primary screen.
  TRect GetScreenBounds() const override;
  void SetPosition(const TPoint& point) override;
  void SendButtons(uint32_t flags) override;
  int ShowPointer(bool show) override;
  bool ButtonsSwapped() const override { return buttonsSwapped_; }
  // Starts from the system pointer's position and shows the sprite.
  void BeginDriving() override;
  // Hides the sprite.
  void EndDriving() override;

  // The window that would receive input at Point now (nullptr when none).
  QWindow* WindowAt(const TPoint& point) const;

 private:
  void Post(QEvent::Type type, Qt::MouseButton button);
  void Deliver(QEvent::Type type, const TPoint& point, Qt::MouseButton button, Qt::MouseButtons buttons);
  void UpdateSprite();

  const bool buttonsSwapped_;
  TPoint position_;
  bool driving_ = false;
  int displayCount_ = 0;
  Qt::MouseButtons posted_;  // the buttons held after the last posted event
  QPointer<QWindow> grab_;   // the window that took the press while buttons are held
  TPoint lastDelivered_;     // where the last delivered event happened
  bool delivered_ = false;
  std::unique_ptr<QObject> context_;  // posted deliveries die with it
  std::unique_ptr<PointerSprite> sprite_;
};

// Records every request; GetPosition gives the last position set.
class RecordingPointerDriver final : public PointerDriver {
 public:
  enum class Kind { Move, Buttons, Show, Hide, Begin, End };
  struct Event {
    Kind What;
    TPoint Point;        // the position when the request came
    uint32_t Flags = 0;  // for Buttons
    friend bool operator==(const Event&, const Event&) = default;
  };

  TPoint GetPosition() const override { return Position; }
  TRect GetScreenBounds() const override { return Screen; }
  void SetPosition(const TPoint& point) override;
  void SendButtons(uint32_t flags) override;
  int ShowPointer(bool show) override;
  bool ButtonsSwapped() const override { return Swapped; }
  void BeginDriving() override { Events.push_back({Kind::Begin, Position}); }
  void EndDriving() override { Events.push_back({Kind::End, Position}); }

  // The events of one kind, in order.
  std::vector<Event> Of(Kind kind) const;

  TPoint Position;
  TRect Screen{0, 0, 1920, 1080};
  bool Swapped = false;
  int DisplayCount = 0;
  std::vector<Event> Events;
};

}  // namespace quill

#endif  // QUILL_PLATFORM_POINTERDRIVER_H_

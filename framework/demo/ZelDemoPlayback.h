// TZelDemoPlayback: runs a demo script against the live user interface, and serves as
// the recorder into which modules append script lines.
//
// Playing turns each line of the script's "Script" section into an action (ParseLine)
// and steps that action until it is done, then goes on with the next line. One line
// is parsed per step, so a comment or empty line costs one step, and a new action
// makes its first step in the step that created it. Actions move the pointer, press
// and release buttons, show balloon messages and run the commands that modules handle
// through OnUserCommand (ZelDemoActions.h).
//
// Pacing: while playing or paused, TZelDemoPlaybackThread steps the player from a
// single-shot 10 ms timer on the main thread, re-armed after each step; a step never
// runs inside another, and steps go on inside nested event loops (a modal dialog that
// a click opened). Moves and waits measure time with the injected clock, so a slow step
// shortens the following ones instead of stretching the demo.
//
// States: 0 idle, 1 playing, 2 paused, 3 stopped, 4 recording.
// - Play (from 0 or 3; refused while playing, paused or recording; OnBeforePlay may
//   cancel) -> 1. Playing from 3 first finishes the stopped run's clean-up.
// - Pause and Resume nest: Pause in 1 pauses the action and enters 2; Resume enters 1
//   again once every Pause has been resumed.
// - After the last line: -> 0, OnFinished.
// - RequestStop (asked through OnStopQuery) or an error that OnError lets stop: the
//   action is aborted and every button the player holds is released -> 3; the next step
//   cleans up and the pacing ends.
// - StartRecording (from 0 or 3) -> 4; StopRecording -> 3.
// While playing or paused the player watches the application: Esc pressed while playing
// asks to stop (the key does not reach the program; Esc while paused is left alone);
// deactivation and minimising of the main window each pause once, activation and
// restoring resume what they paused.
//
// Pointer: the player's pointer position is CursorPoint. Its steps move the driver's
// pointer only when the position changes, so a held pointer sends nothing. Both buttons
// are tracked, and whatever the player pressed is released when it stops, on an error
// and when the script ends.
//
// Untrusted scripts: times, durations and coordinates are computed in 64 bits and
// clamped; no argument makes an action fail other than through ReportError.
//
// Everything here runs on the main thread.

#ifndef QUILL_FRAMEWORK_DEMO_ZELDEMOPLAYBACK_H_
#define QUILL_FRAMEWORK_DEMO_ZELDEMOPLAYBACK_H_

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "PointerDriver.h"
#include "ZelDemoScript.h"
#include "ZelTypes.h"

class TZelDemoPlayback;
class TZelDemoScriptAction;
class TZelDemoScriptUserAction;

namespace quill {

// Milliseconds of a monotonic clock.
using TickClock = std::function<int64_t()>;
// The steady clock of the system.
int64_t SystemTickCount();

}  // namespace quill

// Steps the player every 10 ms from the main thread's event loop until a step finds it
// neither playing nor paused. It has no thread of its own.
class TZelDemoPlaybackThread : public QObject {
  Q_OBJECT

 public:
  static constexpr int kInterval = 10;  // ms between the end of a step and the next

  explicit TZelDemoPlaybackThread(TZelDemoPlayback& playback);
  // Arms the timer (again).
  void Start();
  void Stop();
  bool IsActive() const { return timer_.isActive(); }
  int GetInterval() const { return timer_.interval(); }
  // One step; re-arms the timer while the player plays or pauses.
  void DoStep();

 private:
  TZelDemoPlayback& playback_;
  QTimer timer_;
};

class TZelDemoPlayback {
 public:
  enum TState : uint8_t { Idle = 0, Playing = 1, Paused = 2, Stopped = 3, Recording = 4 };

  // Pointer, when given, must outlive the player; without one the player drives the
  // program's own windows through a QtPointerDriver. Clock defaults to the system's.
  explicit TZelDemoPlayback(quill::PointerDriver* pointer = nullptr, quill::TickClock clock = {});
  // Stops a running playback (releasing what it holds) before freeing the script.
  ~TZelDemoPlayback();
  TZelDemoPlayback(const TZelDemoPlayback&) = delete;
  TZelDemoPlayback& operator=(const TZelDemoPlayback&) = delete;

  // Replaces the clock (the system's when Clock is empty); only while neither playing
  // nor paused, else nothing.
  void SetClock(quill::TickClock clock);

  TZelDemoScript& GetScript() { return script_; }
  // Copies Script into the player's own.
  void AssignScript(const TZelDemoScript& script);

  // Starts playing at the script line Line.
  void Play(int32_t line);
  // One step; true while playing or paused.
  bool Step();
  void Pause();
  void Resume();
  // When playing or paused: pauses, asks OnStopQuery (Stop enters true) and stops when
  // it allows (true), else resumes (false). False when not playing or paused.
  bool RequestStop();
  // Pauses, then reports Message with the current line through OnError (Stop enters
  // true); stops when Stop stays true, else resumes.
  void ReportError(const QString& message);
  // The current action's Abort, then every held button released at CursorPoint.
  void Abort();

  bool IsPlaying() const { return state_ == Playing || state_ == Paused; }
  bool IsRecording() const { return state_ == Recording; }
  // Enters recording with lines inserted at Position (appended when Position is not a
  // line index). False while playing or recording.
  bool StartRecording(int32_t position);
  void StopRecording();
  // Inserts Line at the record position (callers test IsRecording first).
  void RecordLine(const std::string& line);

  // The low 16 bits of Speed, unless they are 0.
  void SetMouseSpeed(int32_t speed);
  uint16_t GetMouseSpeed() const { return mouseSpeed_; }
  // CursorPoint := Point, and the pointer goes there when it stands elsewhere.
  void SetCursorPoint(const quill::TPoint& point);
  quill::TPoint GetCursorPoint() const { return cursorPoint_; }
  // The screen point of the target the arguments name, through OnTargetPoint.
  bool ResolveTarget(const TZelDemoScriptParams& params, quill::TPoint& point);

  // The action of one command line; nullptr for a comment or an empty line.
  std::unique_ptr<TZelDemoScriptAction> ParseLine(std::string_view line);
  // The built-in action of Name (upper case), else a user action carrying Name.
  // Params may be null (no argument list).
  std::unique_ptr<TZelDemoScriptAction> CreateAction(const std::string& name,
                                                     const TZelDemoScriptParams* params);
  bool CreateBuiltinAction(const std::string& name, const TZelDemoScriptParams* params,
                           std::unique_ptr<TZelDemoScriptAction>& action);

  // Presses or releases a logical button at the pointer (the physical flags follow the
  // swapped-buttons setting) and tracks what the player holds.
  void SendButton(bool right, bool down);
  bool GetButtonHeld() const { return buttonHeld_; }  // the left button
  bool GetRightButtonHeld() const { return rightButtonHeld_; }

  // The application's events while playing or paused.
  void ApplicationActivate();
  void ApplicationDeactivate();
  void ApplicationMinimize();
  void ApplicationRestore();
  // Esc while playing: a key press asks to stop; press, release and shortcut test are
  // consumed. True when Event was consumed.
  bool FilterKey(QEvent* event);

  TState GetState() const { return state_; }
  int32_t GetCurrentLine() const { return currentLine_; }
  int32_t GetPauseCount() const { return pauseCount_; }
  TZelDemoScriptAction* GetCurrentAction() const { return currentAction_.get(); }
  quill::PointerDriver& GetPointerDriver() { return *pointer_; }
  int64_t GetTickCount() const { return clock_(); }
  TZelDemoPlaybackThread& GetThread() { return thread_; }

  std::function<void(TZelDemoPlayback* sender)> OnResume;
  std::function<void(TZelDemoPlayback* sender)> OnPause;
  std::function<void(TZelDemoPlayback* sender, const QString& message, bool& stop,
                     const std::string& line)>
      OnError;
  std::function<void(TZelDemoPlayback* sender, bool& cancel)> OnBeforePlay;
  std::function<void(TZelDemoPlayback* sender, bool& stop)> OnStopQuery;
  std::function<void(TZelDemoPlayback* sender)> OnFinished;
  std::function<void(TZelDemoPlayback* sender, const TZelDemoScriptParams& params, bool& found,
                     quill::TPoint& point)>
      OnTargetPoint;
  std::function<void(TZelDemoPlayback* sender, const std::string& name, bool& handled,
                     TZelDemoScriptUserAction* action, const TZelDemoScriptParams& params)>
      OnUserCommand;
  std::function<void(TZelDemoPlayback* sender)> OnStopRecording;
  std::function<void(TZelDemoPlayback* sender)> OnStartRecording;
  std::function<void(TZelDemoPlayback* sender, int32_t index, const std::string& line)> OnLineAdded;
  // While recording, modules also record a MESSAGE line before each command.
  bool RecordMessages = true;

 private:
  void Hook();
  void Unhook();
  // Leaves the stopped or finished run: unhooked, no action, no button held, the
  // pointer handed back.
  void CleanUp();
  void Stop();
  void ReleaseButtons();
  // Puts the driver's pointer at CursorPoint when it stands elsewhere.
  void PlacePointer();
  const std::string& CurrentLineText() const;

  // First, so that an action freed later still finds the pointer.
  std::unique_ptr<quill::PointerDriver> ownPointer_;
  quill::PointerDriver* pointer_;
  quill::TickClock clock_;

  TZelDemoScript script_;
  int32_t currentLine_ = 0;
  int32_t recordPosition_ = 0;
  TState state_ = Idle;
  int32_t pauseCount_ = 0;
  std::unique_ptr<TZelDemoScriptAction> currentAction_;
  uint16_t mouseSpeed_ = 5;
  quill::TPoint cursorPoint_;
  bool buttonHeld_ = false;
  bool rightButtonHeld_ = false;
  bool driving_ = false;         // the pointer driver is taken over
  bool stepping_ = false;        // an action's Step is running
  bool pausedByDeactivation_ = false;
  bool pausedByMinimizing_ = false;
  std::unique_ptr<QObject> hooks_;  // the application filter; its connections die with it
  TZelDemoPlaybackThread thread_;
};

#endif  // QUILL_FRAMEWORK_DEMO_ZELDEMOPLAYBACK_H_

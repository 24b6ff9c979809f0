// The actions of the demo player: one object per running script command.
//
// An action keeps its own copy of the command's arguments. The player calls Step until
// IsDone; the first Step runs Start, so every subclass's Step calls the inherited one
// first. Pause and Resume come from the player's pause and resume; Resume restarts the
// action's clock, so paused time is not counted.
//
// Commands and their actions (CreateBuiltinAction, ZelDemoPlayback.h):
//   PAUSE [seconds = 1]                               a wait
//   MESSAGE text [, seconds = 3 [, placement 1-4]]    a balloon at the pointer
//   MOUSETO target                                    a jump of the pointer
//   MOUSEMOVE / MOUSECURVEDMOVE target                a timed move
//   MOUSECLICK (MOUSELEFTCLICK) target                straight move, left down, left up
//   MOUSEDRAG (MOUSEDRAGANDDROP) target               left down, curved move, left up
//   MOUSEDBLCLICK (MOUSELEFTDBLCLICK) target          curved move, two left clicks
//   MOUSERIGHTCLICK target                            curved move, right down, right up
//   MOUSEDOWN (MOUSELEFTDOWN), MOUSEUP (MOUSELEFTUP), MOUSERIGHTDOWN, MOUSERIGHTUP
//   MOUSESPEED speed                                  the pointer speed (5 at start)
// Any other word is a user action, offered to OnUserCommand.
//
// A target is two numbers x, y (screen pixels; fractions rounded), or any other
// argument list, which OnTargetPoint resolves; no arguments mean the pointer's own
// position. An unresolved target reports "Invalid arguments." and the pointer stays.
// Every target lies on the screen (the pointer driver's desktop): one beyond an edge
// goes to that edge, so that no move of a script, however wild its numbers, lasts
// longer than crossing the screen.
//
// A move from S to T takes distance * 20 / speed ms (4 ms a pixel at speed 5), eased
// with a slow start and a slow end; a curved move bends by sin(pi * e) * min(|dx|, |dy|)
// / 3 along (dy, dx) / distance. A move whose duration rounds to 0 ms ends at once at
// its target.
//
// A MESSAGE text "%key" (two characters or more) is the script's localized value of
// key; "&id" with a decimal id is the localizer's string id; any other text (an "&"
// whose rest is no number included) shows as it stands. Arguments of the wrong kind
// give the defaults.

#ifndef QUILL_FRAMEWORK_DEMO_ZELDEMOACTIONS_H_
#define QUILL_FRAMEWORK_DEMO_ZELDEMOACTIONS_H_

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ZelBalloon.h"
#include "ZelDemoPlayback.h"
#include "ZelDemoScript.h"
#include "ZelTypes.h"

class TZelDemoScriptAction {
 public:
  // Keeps Playback; copies Params (empty when null).
  TZelDemoScriptAction(TZelDemoPlayback& playback, const TZelDemoScriptParams* params);
  virtual ~TZelDemoScriptAction();
  TZelDemoScriptAction(const TZelDemoScriptAction&) = delete;
  TZelDemoScriptAction& operator=(const TZelDemoScriptAction&) = delete;

  virtual void Start() {}
  virtual bool IsDone() { return true; }
  // Start, the first time.
  virtual void Step();
  virtual void Pause() {}
  virtual void Resume() {}
  virtual void Abort() {}

  const TZelDemoScriptParams& GetParams() const { return Params; }

 protected:
  bool Started = false;
  TZelDemoPlayback& Playback;
  TZelDemoScriptParams Params;
};

class TZelDemoScriptMouseToAction : public TZelDemoScriptAction {
 public:
  using TZelDemoScriptAction::TZelDemoScriptAction;
  void Start() override;
  bool IsDone() override { return true; }
  void Step() override;

 private:
  quill::TPoint target_;
};

class TZelDemoScriptMouseSpeedAction : public TZelDemoScriptAction {
 public:
  using TZelDemoScriptAction::TZelDemoScriptAction;
  void Start() override;
  bool IsDone() override { return true; }
};

class TZelDemoScriptMouseMoveAction : public TZelDemoScriptAction {
 public:
  using TZelDemoScriptAction::TZelDemoScriptAction;
  void Start() override;
  bool IsDone() override { return Done; }
  void Step() override;
  void Resume() override;

  int64_t GetDuration() const { return Duration; }
  quill::TPoint GetTarget() const { return TargetPoint; }

 protected:
  quill::TPoint StartPoint;
  quill::TPoint TargetPoint;
  int64_t Duration = 0;  // ms
  int64_t Elapsed = 0;   // ms
  int64_t LastTick = 0;
  double DeltaX = 0;
  double DeltaY = 0;
  int32_t CurveFactor = 0;  // 0 straight, 3 curved
  bool Done = false;
};

class TZelDemoScriptMouseCurvedMoveAction : public TZelDemoScriptMouseMoveAction {
 public:
  using TZelDemoScriptMouseMoveAction::TZelDemoScriptMouseMoveAction;
  void Start() override;
};

class TZelDemoScriptPauseAction : public TZelDemoScriptAction {
 public:
  using TZelDemoScriptAction::TZelDemoScriptAction;
  void Start() override;
  bool IsDone() override { return Elapsed >= WaitTime; }
  void Step() override;
  void Resume() override;

  int64_t GetWaitTime() const { return WaitTime; }

 protected:
  int64_t WaitTime = 0;  // ms
  int64_t Elapsed = 0;   // ms
  int64_t LastTick = 0;
};

class TZelDemoScriptBalloonAction : public TZelDemoScriptPauseAction {
 public:
  using TZelDemoScriptPauseAction::TZelDemoScriptPauseAction;
  // Hints on, the balloon freed, the pointer shown again when the action hid it.
  ~TZelDemoScriptBalloonAction() override;
  void Start() override;
  void Pause() override;
  void Resume() override;

  const QString& GetText() const { return Text; }
  uint8_t GetPlacement() const { return Placement; }
  TZelBalloon* GetBalloon() const { return Balloon.get(); }

 private:
  void ShowIt();

  bool CursorHidden = false;
  quill::TPoint Point;
  QString Text;
  std::unique_ptr<TZelBalloon> Balloon;
  uint8_t Placement = 0;
};

namespace quill {

// One button change in its single step.
class MouseButtonAction : public TZelDemoScriptAction {
 public:
  MouseButtonAction(TZelDemoPlayback& playback, const TZelDemoScriptParams* params, bool right,
                    bool down);
  void Step() override;

 private:
  const bool right_;
  const bool down_;
};

}  // namespace quill

class TZelDemoScriptMouseLeftDownAction : public quill::MouseButtonAction {
 public:
  TZelDemoScriptMouseLeftDownAction(TZelDemoPlayback& playback, const TZelDemoScriptParams* params)
      : MouseButtonAction(playback, params, false, true) {}
};

class TZelDemoScriptMouseLeftUpAction : public quill::MouseButtonAction {
 public:
  TZelDemoScriptMouseLeftUpAction(TZelDemoPlayback& playback, const TZelDemoScriptParams* params)
      : MouseButtonAction(playback, params, false, false) {}
};

class TZelDemoScriptMouseRightDownAction : public quill::MouseButtonAction {
 public:
  TZelDemoScriptMouseRightDownAction(TZelDemoPlayback& playback, const TZelDemoScriptParams* params)
      : MouseButtonAction(playback, params, true, true) {}
};

class TZelDemoScriptMouseRightUpAction : public quill::MouseButtonAction {
 public:
  TZelDemoScriptMouseRightUpAction(TZelDemoPlayback& playback, const TZelDemoScriptParams* params)
      : MouseButtonAction(playback, params, true, false) {}
};

// Runs its sub-actions one after the other, each to its end; a sub-action starts in
// the step after the previous one ended.
class TZelDemoScriptMacroAction : public TZelDemoScriptAction {
 public:
  using TZelDemoScriptAction::TZelDemoScriptAction;
  ~TZelDemoScriptMacroAction() override;
  // Appends and owns Action; nullptr is ignored.
  void AddAction(std::unique_ptr<TZelDemoScriptAction> action);
  bool IsDone() override;
  void Step() override;
  void Resume() override;

  int GetActionCount() const { return static_cast<int>(actions_.size()); }
  TZelDemoScriptAction* GetAction(int index) const { return actions_.at(static_cast<size_t>(index)).get(); }

 private:
  std::vector<std::unique_ptr<TZelDemoScriptAction>> actions_;
  size_t current_ = 0;
};

// A command that is not built in; Start offers it to OnUserCommand and reports
// `Unknown command: "NAME"` when nobody handles it.
class TZelDemoScriptUserAction : public TZelDemoScriptMacroAction {
 public:
  // Name is kept trimmed and in upper case.
  TZelDemoScriptUserAction(TZelDemoPlayback& playback, const TZelDemoScriptParams* params,
                           std::string_view name);
  void Start() override;

  const std::string& GetName() const { return name_; }

 private:
  std::string name_;
};

#endif  // QUILL_FRAMEWORK_DEMO_ZELDEMOACTIONS_H_

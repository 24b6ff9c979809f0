#include "ZelDemoActions.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>

#include "ZelBalloon.h"
#include "ZelForms.h"
#include "ZelLanguageFile.h"
#include "ZelLocalizer.h"
#include "ZelUtils.h"

namespace {

int32_t ClampToInt32(int64_t value) {
  constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value < kMin ? kMin : value > kMax ? kMax : value);
}

// Point moved onto the pointer's screen: a coordinate beyond an edge goes to that edge
// (everything to one corner when there is no screen).
quill::TPoint OnScreen(const quill::PointerDriver& pointer, const quill::TPoint& point) {
  const quill::TRect screen = pointer.GetScreenBounds();
  return {std::clamp(point.X, screen.Left, std::max(screen.Left, screen.Right - 1)),
          std::clamp(point.Y, screen.Top, std::max(screen.Top, screen.Bottom - 1))};
}

// The target of a move or jump: no arguments, the pointer's own position; two numbers,
// that screen point; anything else, what the player's target event answers; both kept
// on the screen. An unresolved target is reported and gives the pointer's own position.
quill::TPoint ResolveActionTarget(TZelDemoPlayback& playback, const TZelDemoScriptParams& params) {
  if (params.GetCount() == 0) return playback.GetCursorPoint();
  const quill::TZelVariant x = quill::ParamAt(params, 0);
  const quill::TZelVariant y = quill::ParamAt(params, 1);
  if (quill::IsNumeric(x) && quill::IsNumeric(y)) {
    return OnScreen(playback.GetPointerDriver(), {quill::NumberToInteger(x, 0), quill::NumberToInteger(y, 0)});
  }
  quill::TPoint point;
  if (playback.ResolveTarget(params, point)) return OnScreen(playback.GetPointerDriver(), point);
  playback.ReportError(QStringLiteral("Invalid arguments."));
  return playback.GetCursorPoint();
}

void SetHints(bool show) {
  if (ZelApplication != nullptr) ZelApplication->SetShowHint(show);
}

// The text a MESSAGE shows for its first argument.
QString MessageText(const TZelDemoScript& script, const std::string& text) {
  if (text.size() >= 2 && text[0] == '%') return script.GetLocalizedValue(std::string_view(text).substr(1));
  if (text.size() >= 2 && text[0] == '&') {
    if (const std::optional<int32_t> id = quill::ParseDecimalInt(std::string_view(text).substr(1))) {
      return GetLocalizedString(*id);
    }
  }
  return script.DecodeText(text);
}

}  // namespace

// ---- Base ----

TZelDemoScriptAction::TZelDemoScriptAction(TZelDemoPlayback& playback, const TZelDemoScriptParams* params)
    : Playback(playback) {
  Params.Assign(params);
}

TZelDemoScriptAction::~TZelDemoScriptAction() = default;

void TZelDemoScriptAction::Step() {
  if (Started) return;
  Started = true;
  Start();
}

// ---- Pointer ----

void TZelDemoScriptMouseToAction::Start() { target_ = ResolveActionTarget(Playback, Params); }

void TZelDemoScriptMouseToAction::Step() {
  TZelDemoScriptAction::Step();
  Playback.SetCursorPoint(target_);
}

void TZelDemoScriptMouseSpeedAction::Start() {
  const quill::TZelVariant speed = quill::ParamAt(Params, 0);
  if (quill::IsNumeric(speed)) Playback.SetMouseSpeed(quill::NumberToInteger(speed, 0));
}

void TZelDemoScriptMouseMoveAction::Start() {
  StartPoint = Playback.GetCursorPoint();
  TargetPoint = ResolveActionTarget(Playback, Params);
  DeltaX = static_cast<double>(TargetPoint.X) - StartPoint.X;
  DeltaY = static_cast<double>(TargetPoint.Y) - StartPoint.Y;
  const double distance = std::sqrt(DeltaX * DeltaX + DeltaY * DeltaY);
  if (distance == 0) {
    Done = true;
    return;
  }
  LastTick = Playback.GetTickCount();
  Elapsed = 0;
  Duration = quill::RoundHalfEven(distance * 20.0 / Playback.GetMouseSpeed());
  // Too short to take a millisecond: there is no time fraction, so it ends at once.
  if (Duration <= 0) Done = true;
}

void TZelDemoScriptMouseMoveAction::Step() {
  TZelDemoScriptAction::Step();
  if (Done) {
    Playback.SetCursorPoint(TargetPoint);
    return;
  }
  const int64_t delta = std::max<int64_t>(Playback.GetTickCount() - LastTick, 0);
  const double t = static_cast<double>(Elapsed + delta) / static_cast<double>(Duration);
  quill::TPoint point = TargetPoint;
  if (t >= 1) {
    Done = true;
  } else {
    const double e = t < 0.5 ? 2 * t * t : 1 - 2 * (1 - t) * (1 - t);
    double offsetX = 0;
    double offsetY = 0;
    if (CurveFactor != 0 && DeltaX != 0 && DeltaY != 0) {
      const double s = std::sin(std::numbers::pi * e);
      const double a = std::min(std::abs(DeltaX), std::abs(DeltaY)) / CurveFactor;
      const double length = std::sqrt(DeltaX * DeltaX + DeltaY * DeltaY);
      offsetX = s * DeltaY * a / length;
      offsetY = s * DeltaX * a / length;
    }
    point.X = ClampToInt32(quill::RoundHalfEven(DeltaX * e + offsetX) + StartPoint.X);
    point.Y = ClampToInt32(quill::RoundHalfEven(DeltaY * e + offsetY) + StartPoint.Y);
  }
  Elapsed += delta;
  LastTick += delta;
  Playback.SetCursorPoint(point);
}

void TZelDemoScriptMouseMoveAction::Resume() { LastTick = Playback.GetTickCount(); }

void TZelDemoScriptMouseCurvedMoveAction::Start() {
  TZelDemoScriptMouseMoveAction::Start();
  CurveFactor = 3;
}

// ---- Waits ----

void TZelDemoScriptPauseAction::Start() {
  WaitTime = 1000;
  const quill::TZelVariant seconds = quill::ParamAt(Params, 0);
  if (quill::IsNumeric(seconds)) WaitTime = quill::RoundHalfEven(quill::NumberToDouble(seconds, 0) * 1000.0);
  Elapsed = 0;
  LastTick = Playback.GetTickCount();
}

void TZelDemoScriptPauseAction::Step() {
  TZelDemoScriptAction::Step();
  if (IsDone()) return;
  const int64_t now = Playback.GetTickCount();
  Elapsed += std::max<int64_t>(now - LastTick, 0);
  LastTick = now;
  Playback.SetCursorPoint(Playback.GetCursorPoint());
}

void TZelDemoScriptPauseAction::Resume() { LastTick = Playback.GetTickCount(); }

TZelDemoScriptBalloonAction::~TZelDemoScriptBalloonAction() {
  SetHints(true);
  Balloon.reset();
  if (CursorHidden) Playback.GetPointerDriver().ShowPointer(true);
}

void TZelDemoScriptBalloonAction::Start() {
  WaitTime = 3000;
  Placement = 0;
  if (Params.GetCount() > 0) {
    Text = MessageText(Playback.GetScript(), quill::VariantToText(quill::ParamAt(Params, 0)));
    const quill::TZelVariant seconds = quill::ParamAt(Params, 1);
    if (quill::IsNumeric(seconds)) WaitTime = quill::RoundHalfEven(quill::NumberToDouble(seconds, 0) * 1000.0);
    const quill::TZelVariant placement = quill::ParamAt(Params, 2);
    const double value = quill::NumberToDouble(placement, 0);
    if (quill::IsNumeric(placement) && value > 0 && value <= 4) {
      Placement = static_cast<uint8_t>(quill::NumberToInteger(placement, 0));
    }
  }
  Point = Playback.GetCursorPoint();
  Balloon = std::make_unique<TZelBalloon>();
  Balloon->setCursor(Qt::BlankCursor);
  if (Text.isEmpty()) {
    Elapsed = WaitTime;
    return;
  }
  ShowIt();
  Elapsed = 0;
  LastTick = Playback.GetTickCount();
}

void TZelDemoScriptBalloonAction::Pause() {
  SetHints(true);
  if (Balloon != nullptr) Balloon->HideBalloon();
  if (CursorHidden) Playback.GetPointerDriver().ShowPointer(true);
  CursorHidden = false;
}

void TZelDemoScriptBalloonAction::Resume() {
  LastTick = Playback.GetTickCount();
  if (Text.isEmpty() || Balloon == nullptr) return;
  ShowIt();
}

void TZelDemoScriptBalloonAction::ShowIt() {
  SetHints(false);
  Balloon->ShowBalloon(Point.X, Point.Y, Placement, Text);
  if (!CursorHidden) Playback.GetPointerDriver().ShowPointer(false);
  CursorHidden = true;
}

// ---- Buttons ----

namespace quill {

MouseButtonAction::MouseButtonAction(TZelDemoPlayback& playback, const TZelDemoScriptParams* params,
                                     bool right, bool down)
    : TZelDemoScriptAction(playback, params), right_(right), down_(down) {}

void MouseButtonAction::Step() {
  TZelDemoScriptAction::Step();
  Playback.SendButton(right_, down_);
}

}  // namespace quill

// ---- Macros and user commands ----

TZelDemoScriptMacroAction::~TZelDemoScriptMacroAction() = default;

void TZelDemoScriptMacroAction::AddAction(std::unique_ptr<TZelDemoScriptAction> action) {
  if (action != nullptr) actions_.push_back(std::move(action));
}

bool TZelDemoScriptMacroAction::IsDone() { return current_ >= actions_.size(); }

void TZelDemoScriptMacroAction::Step() {
  TZelDemoScriptAction::Step();
  if (IsDone()) return;
  TZelDemoScriptAction& action = *actions_[current_];
  action.Step();
  if (action.IsDone()) ++current_;
}

void TZelDemoScriptMacroAction::Resume() {
  if (!IsDone()) actions_[current_]->Resume();
}

TZelDemoScriptUserAction::TZelDemoScriptUserAction(TZelDemoPlayback& playback,
                                                   const TZelDemoScriptParams* params,
                                                   std::string_view name)
    : TZelDemoScriptMacroAction(playback, params), name_(quill::UpperCase(quill::TrimBlanks(name))) {}

void TZelDemoScriptUserAction::Start() {
  bool handled = false;
  if (Playback.OnUserCommand) Playback.OnUserCommand(&Playback, name_, handled, this, Params);
  if (!handled) {
    Playback.ReportError(QStringLiteral("Unknown command: \"%1\"").arg(quill::ShownScriptText(name_)));
  }
}

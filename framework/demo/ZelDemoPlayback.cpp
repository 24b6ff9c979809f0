#include "ZelDemoPlayback.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <exception>
#include <utility>

#include "EventFilter.h"
#include "ZelDemoActions.h"
#include "ZelForms.h"

namespace quill {

int64_t SystemTickCount() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace quill

// ---- TZelDemoPlaybackThread ----

TZelDemoPlaybackThread::TZelDemoPlaybackThread(TZelDemoPlayback& playback) : playback_(playback) {
  timer_.setSingleShot(true);
  timer_.setInterval(kInterval);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &TZelDemoPlaybackThread::DoStep);
}

void TZelDemoPlaybackThread::Start() { timer_.start(); }

void TZelDemoPlaybackThread::Stop() { timer_.stop(); }

void TZelDemoPlaybackThread::DoStep() {
  quill::RunReported([&] { playback_.Step(); });
  if (playback_.IsPlaying()) {
    timer_.start();
  } else {
    timer_.stop();
  }
}

// ---- TZelDemoPlayback ----

TZelDemoPlayback::TZelDemoPlayback(quill::PointerDriver* pointer, quill::TickClock clock)
    : ownPointer_(pointer == nullptr ? std::make_unique<quill::QtPointerDriver>() : nullptr),
      pointer_(pointer != nullptr ? pointer : ownPointer_.get()),
      clock_(clock ? std::move(clock) : quill::TickClock(quill::SystemTickCount)),
      thread_(*this) {}

TZelDemoPlayback::~TZelDemoPlayback() {
  thread_.Stop();
  if (IsPlaying()) Stop();
  CleanUp();
}

void TZelDemoPlayback::SetClock(quill::TickClock clock) {
  if (IsPlaying()) return;
  clock_ = clock ? std::move(clock) : quill::TickClock(quill::SystemTickCount);
}

void TZelDemoPlayback::AssignScript(const TZelDemoScript& script) { script_.Assign(script); }

void TZelDemoPlayback::Play(int32_t line) {
  if (IsPlaying() || IsRecording() || stepping_) return;
  // A stopped run whose last step has not come yet is cleaned up now.
  if (state_ == Stopped) CleanUp();
  bool cancel = false;
  if (OnBeforePlay) OnBeforePlay(this, cancel);
  if (cancel) return;
  state_ = Playing;
  currentLine_ = line < 0 ? 0 : line;
  pauseCount_ = 0;
  pointer_->BeginDriving();
  driving_ = true;
  cursorPoint_ = pointer_->GetPosition();
  Hook();
  thread_.Start();
}

bool TZelDemoPlayback::Step() {
  if (state_ == Playing) {
    if (currentAction_ == nullptr) {
      const TZelDemoScript::TLines& lines = script_.GetScriptLines();
      if (static_cast<size_t>(currentLine_) < lines.size()) {
        currentAction_ = ParseLine(lines[static_cast<size_t>(currentLine_)]);
      } else {
        state_ = Idle;
        CleanUp();
        if (OnFinished) OnFinished(this);
        return IsPlaying();
      }
    }
    if (currentAction_ != nullptr) {
      stepping_ = true;
      struct Leave {
        bool& flag;
        ~Leave() { flag = false; }
      } leave{stepping_};
      currentAction_->Step();
      if (state_ != Stopped && currentAction_->IsDone()) currentAction_.reset();
    }
    if (currentAction_ == nullptr) ++currentLine_;
  }
  if (state_ == Stopped) CleanUp();
  return IsPlaying();
}

void TZelDemoPlayback::Pause() {
  if (state_ == Playing) {
    if (currentAction_ != nullptr) currentAction_->Pause();
    state_ = Paused;
    if (OnPause) OnPause(this);
  }
  ++pauseCount_;
}

void TZelDemoPlayback::Resume() {
  --pauseCount_;
  if (pauseCount_ > 0 || state_ != Paused) return;
  if (OnResume) OnResume(this);
  if (currentAction_ != nullptr) currentAction_->Resume();
  state_ = Playing;
}

bool TZelDemoPlayback::RequestStop() {
  if (!IsPlaying()) return false;
  Pause();
  bool stop = true;
  if (OnStopQuery) OnStopQuery(this, stop);
  if (stop) {
    Stop();
    return true;
  }
  Resume();
  return false;
}

void TZelDemoPlayback::ReportError(const QString& message) {
  Pause();
  bool stop = true;
  if (OnError) OnError(this, message, stop, CurrentLineText());
  if (stop) {
    Stop();
  } else {
    Resume();
  }
}

void TZelDemoPlayback::Stop() {
  Abort();
  state_ = Stopped;
  pauseCount_ = 0;
}

void TZelDemoPlayback::Abort() {
  if (currentAction_ != nullptr) currentAction_->Abort();
  ReleaseButtons();
}

bool TZelDemoPlayback::StartRecording(int32_t position) {
  if (IsPlaying() || IsRecording() || stepping_) return false;
  if (state_ == Stopped) CleanUp();
  const auto count = static_cast<int32_t>(script_.GetScriptLines().size());
  recordPosition_ = position >= 0 && position < count ? position : count;
  if (OnStartRecording) OnStartRecording(this);
  state_ = Recording;
  return true;
}

void TZelDemoPlayback::StopRecording() {
  if (!IsRecording()) return;
  if (OnStopRecording) OnStopRecording(this);
  state_ = Stopped;
}

void TZelDemoPlayback::RecordLine(const std::string& line) {
  TZelDemoScript::TLines& lines = script_.GetScriptLines();
  const auto count = static_cast<int32_t>(lines.size());
  if (recordPosition_ < 0 || recordPosition_ > count) recordPosition_ = count;
  lines.insert(lines.begin() + recordPosition_, line);
  if (OnLineAdded) OnLineAdded(this, recordPosition_, line);
  ++recordPosition_;
}

void TZelDemoPlayback::SetMouseSpeed(int32_t speed) {
  const auto low = static_cast<uint16_t>(static_cast<uint32_t>(speed) & 0xFFFF);
  if (low != 0) mouseSpeed_ = low;
}

void TZelDemoPlayback::SetCursorPoint(const quill::TPoint& point) {
  cursorPoint_ = point;
  PlacePointer();
}

bool TZelDemoPlayback::ResolveTarget(const TZelDemoScriptParams& params, quill::TPoint& point) {
  bool found = false;
  if (OnTargetPoint) OnTargetPoint(this, params, found, point);
  return found;
}

std::unique_ptr<TZelDemoScriptAction> TZelDemoPlayback::ParseLine(std::string_view line) {
  size_t i = 0;
  const auto skipBlanks = [&] {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  };
  skipBlanks();
  const size_t start = i;
  while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '(') ++i;
  const std::string word = quill::UpperCase(line.substr(start, i - start));
  std::unique_ptr<TZelDemoScriptParams> params;
  if (i < line.size()) {
    skipBlanks();
    params = std::make_unique<TZelDemoScriptParams>();
    ParseScriptArguments(*params, line.substr(i));
  }
  if (word.empty() || word[0] == '#' || word[0] == '*' || word[0] == '/' || word[0] == ';') {
    return nullptr;
  }
  return CreateAction(word, params.get());
}

std::unique_ptr<TZelDemoScriptAction> TZelDemoPlayback::CreateAction(const std::string& name,
                                                                     const TZelDemoScriptParams* params) {
  std::unique_ptr<TZelDemoScriptAction> action;
  if (CreateBuiltinAction(name, params, action)) return action;
  return std::make_unique<TZelDemoScriptUserAction>(*this, params, name);
}

bool TZelDemoPlayback::CreateBuiltinAction(const std::string& name, const TZelDemoScriptParams* params,
                                           std::unique_ptr<TZelDemoScriptAction>& action) {
  using Macro = TZelDemoScriptMacroAction;
  const auto leftDown = [this] { return std::make_unique<TZelDemoScriptMouseLeftDownAction>(*this, nullptr); };
  const auto leftUp = [this] { return std::make_unique<TZelDemoScriptMouseLeftUpAction>(*this, nullptr); };
  const auto curved = [this, params] {
    return std::make_unique<TZelDemoScriptMouseCurvedMoveAction>(*this, params);
  };
  if (name == "PAUSE") {
    action = std::make_unique<TZelDemoScriptPauseAction>(*this, params);
  } else if (name == "MESSAGE") {
    action = std::make_unique<TZelDemoScriptBalloonAction>(*this, params);
  } else if (name == "MOUSETO") {
    action = std::make_unique<TZelDemoScriptMouseToAction>(*this, params);
  } else if (name == "MOUSEMOVE") {
    action = std::make_unique<TZelDemoScriptMouseMoveAction>(*this, params);
  } else if (name == "MOUSECURVEDMOVE") {
    action = curved();
  } else if (name == "MOUSECLICK" || name == "MOUSELEFTCLICK") {
    auto macro = std::make_unique<Macro>(*this, params);
    macro->AddAction(std::make_unique<TZelDemoScriptMouseMoveAction>(*this, params));
    macro->AddAction(leftDown());
    macro->AddAction(leftUp());
    action = std::move(macro);
  } else if (name == "MOUSEDRAG" || name == "MOUSEDRAGANDDROP") {
    auto macro = std::make_unique<Macro>(*this, params);
    macro->AddAction(leftDown());
    macro->AddAction(curved());
    macro->AddAction(leftUp());
    action = std::move(macro);
  } else if (name == "MOUSEDBLCLICK" || name == "MOUSELEFTDBLCLICK") {
    auto macro = std::make_unique<Macro>(*this, params);
    macro->AddAction(curved());
    for (int click = 0; click < 2; ++click) {
      macro->AddAction(leftDown());
      macro->AddAction(leftUp());
    }
    action = std::move(macro);
  } else if (name == "MOUSERIGHTCLICK") {
    auto macro = std::make_unique<Macro>(*this, params);
    macro->AddAction(curved());
    macro->AddAction(std::make_unique<TZelDemoScriptMouseRightDownAction>(*this, nullptr));
    macro->AddAction(std::make_unique<TZelDemoScriptMouseRightUpAction>(*this, nullptr));
    action = std::move(macro);
  } else if (name == "MOUSEDOWN" || name == "MOUSELEFTDOWN") {
    action = leftDown();
  } else if (name == "MOUSEUP" || name == "MOUSELEFTUP") {
    action = leftUp();
  } else if (name == "MOUSERIGHTDOWN") {
    action = std::make_unique<TZelDemoScriptMouseRightDownAction>(*this, nullptr);
  } else if (name == "MOUSERIGHTUP") {
    action = std::make_unique<TZelDemoScriptMouseRightUpAction>(*this, nullptr);
  } else if (name == "MOUSESPEED") {
    action = std::make_unique<TZelDemoScriptMouseSpeedAction>(*this, params);
  } else {
    return false;
  }
  return true;
}

void TZelDemoPlayback::SendButton(bool right, bool down) {
  // With swapped buttons the logical left button is the physical right one.
  const bool physicalRight = right != pointer_->ButtonsSwapped();
  const uint32_t flags = physicalRight ? (down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP)
                                       : (down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
  pointer_->SendButtons(flags);
  (right ? rightButtonHeld_ : buttonHeld_) = down;
}

void TZelDemoPlayback::ApplicationActivate() {
  if (!pausedByDeactivation_) return;
  pausedByDeactivation_ = false;
  Resume();
}

void TZelDemoPlayback::ApplicationDeactivate() {
  if (pausedByDeactivation_) return;
  pausedByDeactivation_ = true;
  Pause();
}

void TZelDemoPlayback::ApplicationMinimize() {
  if (pausedByMinimizing_) return;
  pausedByMinimizing_ = true;
  Pause();
}

void TZelDemoPlayback::ApplicationRestore() {
  if (!pausedByMinimizing_) return;
  pausedByMinimizing_ = false;
  Resume();
}

bool TZelDemoPlayback::FilterKey(QEvent* event) {
  if (state_ != Playing) return false;
  const QEvent::Type type = event->type();
  if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress && type != QEvent::KeyRelease) {
    return false;
  }
  if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape) return false;
  // Accepting the shortcut test keeps Esc from any shortcut, so the key press follows.
  if (type == QEvent::ShortcutOverride) event->accept();
  if (type == QEvent::KeyPress) RequestStop();
  return true;
}

void TZelDemoPlayback::Hook() {
  if (hooks_ != nullptr) return;
  pausedByDeactivation_ = false;
  pausedByMinimizing_ = false;
  auto filter = std::make_unique<quill::EventFilter>([this](QObject*, QEvent* event) {
    bool consumed = false;
    quill::RunReported([&] { consumed = FilterKey(event); });
    return consumed;
  });
  if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    application->installEventFilter(filter.get());
    QObject::connect(application, &QGuiApplication::applicationStateChanged, filter.get(),
                     [this](Qt::ApplicationState state) {
                       quill::RunReported([&] {
                         if (state == Qt::ApplicationActive) {
                           ApplicationActivate();
                         } else {
                           ApplicationDeactivate();
                         }
                       });
                     });
  }
  if (ZelApplication != nullptr && ZelApplication->GetMainForm() != nullptr) {
    if (QWindow* window = ZelApplication->GetMainForm()->windowHandle()) {
      QObject::connect(window, &QWindow::windowStateChanged, filter.get(), [this](Qt::WindowState state) {
        quill::RunReported([&] {
          if (state == Qt::WindowMinimized) {
            ApplicationMinimize();
          } else {
            ApplicationRestore();
          }
        });
      });
    }
  }
  hooks_ = std::move(filter);
}

void TZelDemoPlayback::Unhook() {
  hooks_.reset();
  pausedByDeactivation_ = false;
  pausedByMinimizing_ = false;
}

void TZelDemoPlayback::CleanUp() {
  Unhook();
  currentAction_.reset();
  ReleaseButtons();
  if (driving_) {
    driving_ = false;
    pointer_->EndDriving();
  }
}

void TZelDemoPlayback::ReleaseButtons() {
  if (!buttonHeld_ && !rightButtonHeld_) return;
  PlacePointer();
  if (buttonHeld_) SendButton(false, false);
  if (rightButtonHeld_) SendButton(true, false);
}

void TZelDemoPlayback::PlacePointer() {
  if (!(pointer_->GetPosition() == cursorPoint_)) pointer_->SetPosition(cursorPoint_);
}

const std::string& TZelDemoPlayback::CurrentLineText() const {
  static const std::string kNoLine;
  const TZelDemoScript::TLines& lines = script_.GetScriptLines();
  return currentLine_ >= 0 && static_cast<size_t>(currentLine_) < lines.size()
             ? lines[static_cast<size_t>(currentLine_)]
             : kNoLine;
}

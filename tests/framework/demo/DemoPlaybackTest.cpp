// The player stepped by hand, on a recording pointer and a clock that only the test
// moves. No test here runs the event loop, so the pacing timer never fires.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "DemoTesting.h"
#include "QtPrinters.h"
#include "TestLanguage.h"
#include "ZelBalloon.h"
#include "ZelDemoActions.h"
#include "ZelDemoPlayback.h"
#include "ZelForms.h"
#include "ZelUtils.h"

namespace {

using Kind = quill::RecordingPointerDriver::Kind;
using Event = quill::RecordingPointerDriver::Event;

std::vector<quill::TPoint> Moves(const quill::RecordingPointerDriver& pointer) {
  std::vector<quill::TPoint> points;
  for (const Event& event : pointer.Of(Kind::Move)) points.push_back(event.Point);
  return points;
}

std::vector<uint32_t> Buttons(const quill::RecordingPointerDriver& pointer) {
  std::vector<uint32_t> flags;
  for (const Event& event : pointer.Of(Kind::Buttons)) flags.push_back(event.Flags);
  return flags;
}

// Records what the player reports.
struct Reports {
  explicit Reports(TZelDemoPlayback& player) {
    player.OnError = [this](TZelDemoPlayback*, const QString& message, bool& stop, const std::string& line) {
      errors.push_back(message.toStdString() + " | " + line);
      stop = stopOnError;
    };
    player.OnFinished = [this](TZelDemoPlayback*) { ++finished; };
    player.OnPause = [this](TZelDemoPlayback*) { ++paused; };
    player.OnResume = [this](TZelDemoPlayback*) { ++resumed; };
  }
  std::vector<std::string> errors;
  bool stopOnError = true;
  int finished = 0;
  int paused = 0;
  int resumed = 0;
};

class DemoPlaybackTest : public testing::Test {
 protected:
  void SetUp() override { rig_.pointer.Position = {0, 0}; }

  // Plays Lines from the first.
  void Play(std::vector<std::string> lines) {
    rig_.SetLines(std::move(lines));
    rig_.player.Play(0);
  }
  TZelDemoPlayback& player() { return rig_.player; }
  template <class T>
  T* Current() {
    return dynamic_cast<T*>(rig_.player.GetCurrentAction());
  }

  quill::PlayerRig rig_;
  Reports reports_{rig_.player};
};

}  // namespace

TEST_F(DemoPlaybackTest, AScriptOfCommentsFinishesAfterOneStepPerLine) {
  Play({"# one", "* two", "/ three", "   ", "; four"});
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(player().Step()) << i;
  EXPECT_EQ(reports_.finished, 0);
  EXPECT_FALSE(player().Step());
  EXPECT_EQ(reports_.finished, 1);
  EXPECT_EQ(player().GetState(), TZelDemoPlayback::Idle);
  EXPECT_FALSE(player().Step());
  EXPECT_EQ(reports_.finished, 1);
  EXPECT_EQ(rig_.pointer.Events,
            (std::vector<Event>{{Kind::Begin, {0, 0}}, {Kind::End, {0, 0}}}));

  // An empty script finishes at once.
  player().GetScript().Reset();
  player().Play(0);
  EXPECT_FALSE(player().Step());
  EXPECT_EQ(reports_.finished, 2);
}

TEST_F(DemoPlaybackTest, ACurvedMoveBendsAndEasesAlongItsPath) {
  Play({"MOUSESPEED 2", "MOUSECURVEDMOVE 300, 100", "MOUSECURVEDMOVE 0, 100"});
  player().Step();  // the speed
  EXPECT_EQ(player().GetMouseSpeed(), 2);
  player().Step();  // the move starts where the pointer stands: nothing to send
  auto* move = Current<TZelDemoScriptMouseCurvedMoveAction>();
  ASSERT_NE(move, nullptr);
  EXPECT_EQ(move->GetDuration(), 3162);  // sqrt(300^2 + 100^2) * 20 / 2
  EXPECT_TRUE(Moves(rig_.pointer).empty());
  rig_.now = 1581;  // half the duration: e = 0.5, offset (10.5, 31.6)
  player().Step();
  EXPECT_EQ(player().GetCursorPoint(), (quill::TPoint{161, 82}));
  rig_.now = 3162;
  player().Step();
  EXPECT_EQ(player().GetCursorPoint(), (quill::TPoint{300, 100}));
  EXPECT_EQ(player().GetCurrentAction(), nullptr);
  EXPECT_EQ(Moves(rig_.pointer), (std::vector<quill::TPoint>{{161, 82}, {300, 100}}));

  // Purely horizontal: straight, even when curved.
  player().Step();
  rig_.now += 3000 / 2;
  player().Step();
  EXPECT_EQ(player().GetCursorPoint(), (quill::TPoint{150, 100}));
}

TEST_F(DemoPlaybackTest, MovesTakeTheirTimeAtTheSpeedOfTheirStart) {
  Play({"MOUSEMOVE 300, 400", "MOUSESPEED 10", "MOUSEMOVE 0, 0", "MOUSESPEED 0", "MOUSEMOVE 300, 400",
        "MOUSESPEED 65536", "MOUSEMOVE 0, 0", "MOUSESPEED 65535", "MOUSEMOVE 1, 0"});
  player().Step();
  ASSERT_NE(Current<TZelDemoScriptMouseMoveAction>(), nullptr);
  EXPECT_EQ(Current<TZelDemoScriptMouseMoveAction>()->GetDuration(), 2000);  // 500 px at speed 5
  rig_.now = 2000;
  player().Step();
  player().Step();
  player().Step();
  EXPECT_EQ(Current<TZelDemoScriptMouseMoveAction>()->GetDuration(), 1000);
  rig_.now = 3000;
  player().Step();
  player().Step();  // speed 0: ignored
  player().Step();
  EXPECT_EQ(Current<TZelDemoScriptMouseMoveAction>()->GetDuration(), 1000);
  rig_.now = 4000;
  player().Step();
  player().Step();  // 65536: its low 16 bits are 0, ignored as well
  EXPECT_EQ(player().GetMouseSpeed(), 10);
  player().Step();
  rig_.now = 5000;
  player().Step();
  player().Step();
  EXPECT_EQ(player().GetMouseSpeed(), 65535);
  // 1 pixel at 65535: 0 ms. It ends at once at its target, no division by zero.
  player().Step();
  EXPECT_EQ(player().GetCursorPoint(), (quill::TPoint{1, 0}));
  EXPECT_EQ(player().GetCurrentAction(), nullptr);
  EXPECT_FALSE(player().Step());
  EXPECT_EQ(reports_.finished, 1);
}

// Targets beyond the screen, given or resolved, end at its edge: no move lasts longer
// than crossing the screen, and Esc asks to stop at once during one.
TEST_F(DemoPlaybackTest, TargetsStayOnTheScreenSoNoMoveOutlastsACrossingOfIt) {
  rig_.pointer.Screen = {-1280, 0, 1920, 1080};  // two screens side by side
  player().OnTargetPoint = [](TZelDemoPlayback*, const TZelDemoScriptParams&, bool& found, quill::TPoint& point) {
    point = {INT32_MAX, -5};
    found = true;
  };
  Play({"MOUSETO -2147483648, 2147483647", "MOUSEMOVE 1E300, -1E300", "MOUSECURVEDMOVE -99999, 99999",
        "MOUSEMOVE 1E10, -1E10", "MOUSETO Far", "PAUSE 1E300"});
  player().Step();
  EXPECT_EQ(player().GetCursorPoint(), (quill::TPoint{-1280, 1079}));
  // The diagonal of the desktop at speed 5: 4 ms a pixel.
  const int64_t crossing = quill::RoundHalfEven(std::hypot(3199.0, 1079.0) * 4);
  for (const quill::TPoint& corner : {quill::TPoint{1919, 0}, quill::TPoint{-1280, 1079}, quill::TPoint{1919, 0}}) {
    player().Step();
    auto* move = Current<TZelDemoScriptMouseMoveAction>();
    ASSERT_NE(move, nullptr);
    EXPECT_EQ(move->GetTarget(), corner);
    EXPECT_LE(move->GetDuration(), crossing);
    rig_.now += move->GetDuration();
    player().Step();
    EXPECT_EQ(player().GetCursorPoint(), corner);
  }
  player().Step();
  EXPECT_EQ(player().GetCursorPoint(), (quill::TPoint{1919, 0}));

  // A wait as long as the script asks; Esc ends it as it would any action.
  player().Step();
  EXPECT_EQ(Current<TZelDemoScriptPauseAction>()->GetWaitTime(), INT64_MAX);
  rig_.now += int64_t{1} << 60;
  player().Step();
  EXPECT_NE(player().GetCurrentAction(), nullptr);
  player().Pause();
  player().Resume();
  rig_.now = INT64_MAX;
  player().Step();
  EXPECT_NE(player().GetCurrentAction(), nullptr);
  ASSERT_TRUE(player().RequestStop());
  EXPECT_FALSE(player().Step());

  // Esc during a move across the screen asks at once, and a Yes stops it there.
  int asked = 0;
  player().OnStopQuery = [&](TZelDemoPlayback*, bool& stop) {
    ++asked;
    stop = true;
  };
  rig_.now = 0;
  Play({"MOUSEMOVE -1E10, 1E10"});
  player().Step();
  rig_.now += 100;
  player().Step();
  const quill::TPoint underway = player().GetCursorPoint();
  QWidget target;
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(&target, &escape);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(player().GetState(), TZelDemoPlayback::Stopped);
  EXPECT_FALSE(player().Step());
  EXPECT_EQ(rig_.pointer.Position, underway);
}

// Without a screen every target is the one corner there is.
TEST_F(DemoPlaybackTest, WithoutAScreenEveryTargetIsItsCorner) {
  rig_.pointer.Screen = {};
  Play({"MOUSEMOVE 1E10, -1E10", "MOUSETO 5, 5"});
  rig_.StepToEnd();
  EXPECT_EQ(reports_.finished, 1);
  EXPECT_EQ(player().GetCursorPoint(), (quill::TPoint{0, 0}));
}

TEST_F(DemoPlaybackTest, MinimizingAndDeactivatingPauseTheMoveUntilBothAreUndone) {
  Play({"MOUSEMOVE 400, 0"});  // 1600 ms
  player().Step();
  rig_.now = 400;
  player().Step();
  const quill::TPoint atPause = player().GetCursorPoint();
  player().ApplicationMinimize();
  player().ApplicationDeactivate();
  player().ApplicationDeactivate();  // told twice: still one pause
  EXPECT_EQ(player().GetState(), TZelDemoPlayback::Paused);
  EXPECT_EQ(reports_.paused, 1);
  rig_.now = 10000;
  EXPECT_TRUE(player().Step());  // paused: nothing moves
  EXPECT_EQ(player().GetCursorPoint(), atPause);
  player().ApplicationActivate();
  EXPECT_EQ(player().GetState(), TZelDemoPlayback::Paused);
  player().ApplicationActivate();
  player().ApplicationRestore();
  EXPECT_EQ(player().GetState(), TZelDemoPlayback::Playing);
  EXPECT_EQ(reports_.resumed, 1);
  EXPECT_EQ(player().GetPauseCount(), 0);
  // The remaining 1200 ms, counted from the restore.
  rig_.now = 10400;
  player().Step();
  EXPECT_EQ(player().GetCursorPoint(), (quill::TPoint{200, 0}));  // half way at 800 ms
  rig_.now = 11199;
  player().Step();
  EXPECT_NE(player().GetCurrentAction(), nullptr);
  rig_.now = 11200;
  player().Step();
  EXPECT_EQ(player().GetCursorPoint(), (quill::TPoint{400, 0}));
  EXPECT_EQ(player().GetCurrentAction(), nullptr);
}

TEST_F(DemoPlaybackTest, TheApplicationsSignalsReachThePlayerOnlyWhilePlaying) {
  auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  ASSERT_NE(application, nullptr);
  emit application->applicationStateChanged(Qt::ApplicationInactive);  // not playing yet
  Play({"PAUSE 10"});
  player().Step();
  emit application->applicationStateChanged(Qt::ApplicationInactive);
  EXPECT_EQ(player().GetState(), TZelDemoPlayback::Paused);
  emit application->applicationStateChanged(Qt::ApplicationActive);
  EXPECT_EQ(player().GetState(), TZelDemoPlayback::Playing);
  ASSERT_TRUE(player().RequestStop());
  EXPECT_FALSE(player().Step());
  emit application->applicationStateChanged(Qt::ApplicationInactive);  // unhooked
  EXPECT_EQ(reports_.paused, 2);  // the stop question paused too
}

TEST_F(DemoPlaybackTest, PausesNestAndWaitTheirTime) {
  Play({"PAUSE 0.5", "PAUSE -1", "PAUSE .5", "PAUSE"});
  player().Step();
  EXPECT_EQ(Current<TZelDemoScriptPauseAction>()->GetWaitTime(), 500);
  rig_.now = 200;
  player().Step();
  player().Pause();
  player().Pause();
  rig_.now = 5000;
  player().Step();
  player().Resume();
  EXPECT_EQ(player().GetState(), TZelDemoPlayback::Paused);
  player().Resume();
  EXPECT_EQ(player().GetState(), TZelDemoPlayback::Playing);
  EXPECT_EQ(reports_.paused, 1);
  EXPECT_EQ(reports_.resumed, 1);
  rig_.now = 5299;
  player().Step();
  EXPECT_NE(player().GetCurrentAction(), nullptr);
  rig_.now = 5300;  // 200 + 300 ms of waiting
  player().Step();
  EXPECT_EQ(player().GetCurrentAction(), nullptr);
  player().Step();  // PAUSE -1 ends at once
  EXPECT_EQ(player().GetCurrentAction(), nullptr);
  player().Step();  // ".5" is a word: the default second
  EXPECT_EQ(Current<TZelDemoScriptPauseAction>()->GetWaitTime(), 1000);
  // The pointer stays put throughout.
  EXPECT_TRUE(Moves(rig_.pointer).empty());
}

TEST_F(DemoPlaybackTest, ABalloonShowsItsTimeHidingThePointerAndHints) {
  quill::TZelFormsUnit forms;
  quill::ScopedTestLanguage language("5=Hallo\n");
  player().SetCursorPoint({100, 100});
  Play({"MESSAGE \"Two\\nlines\", 2, 1", "MESSAGE \"\"", "MESSAGE \"%NoSuchKey\"", "MESSAGE &5, 0.5",
        "MESSAGE &x5, 0.5"});
  player().Step();
  auto* message = Current<TZelDemoScriptBalloonAction>();
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(message->GetText(), QStringLiteral("Two\nlines"));
  ASSERT_NE(message->GetBalloon(), nullptr);
  EXPECT_TRUE(message->GetBalloon()->isVisible());
  EXPECT_EQ(message->GetBalloon()->geometry().topLeft(), QPoint(84, 100));
  EXPECT_EQ(rig_.pointer.DisplayCount, -1);
  EXPECT_FALSE(ZelApplication->GetShowHint());

  rig_.now = 1500;
  player().Step();
  player().Pause();
  EXPECT_FALSE(message->GetBalloon()->isVisible());
  EXPECT_EQ(rig_.pointer.DisplayCount, 0);
  EXPECT_TRUE(ZelApplication->GetShowHint());
  rig_.now = 9000;
  player().Resume();
  EXPECT_TRUE(message->GetBalloon()->isVisible());
  EXPECT_EQ(rig_.pointer.DisplayCount, -1);
  rig_.now = 9499;
  player().Step();
  EXPECT_NE(player().GetCurrentAction(), nullptr);
  rig_.now = 9500;
  player().Step();
  EXPECT_EQ(player().GetCurrentAction(), nullptr);
  EXPECT_EQ(rig_.pointer.DisplayCount, 0);
  EXPECT_TRUE(ZelApplication->GetShowHint());

  const auto hidesBefore = rig_.pointer.Of(Kind::Hide).size();
  player().Step();  // an empty text ends at once
  EXPECT_EQ(player().GetCurrentAction(), nullptr);
  player().Step();  // no language section: empty as well
  EXPECT_EQ(player().GetCurrentAction(), nullptr);
  EXPECT_EQ(rig_.pointer.Of(Kind::Hide).size(), hidesBefore);
  player().Step();
  EXPECT_EQ(Current<TZelDemoScriptBalloonAction>()->GetText(), QStringLiteral("Hallo"));
  rig_.now += 500;
  player().Step();
  player().Step();
  EXPECT_EQ(Current<TZelDemoScriptBalloonAction>()->GetText(), QStringLiteral("&x5"));
  EXPECT_TRUE(reports_.errors.empty());
}

TEST_F(DemoPlaybackTest, ClicksAreLogicalWhateverTheButtonSetting) {
  Play({"MOUSECLICK 10, 20", "MOUSERIGHTCLICK 10, 20"});
  rig_.StepToEnd();
  EXPECT_EQ(Buttons(rig_.pointer), (std::vector<uint32_t>{MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP,
                                                          MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP}));
  // The click happens where the move ended.
  EXPECT_EQ(rig_.pointer.Of(Kind::Buttons).front().Point, (quill::TPoint{10, 20}));

  rig_.pointer.Events.clear();
  rig_.pointer.Swapped = true;
  player().Play(0);
  rig_.StepToEnd();
  EXPECT_EQ(Buttons(rig_.pointer), (std::vector<uint32_t>{MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP,
                                                          MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}));
  EXPECT_EQ(reports_.finished, 2);
}

TEST_F(DemoPlaybackTest, AnErrorInADragReleasesTheButtonAtThePlayersPointer) {
  Play({"MOUSEMOVE 5, 5", "MOUSEDRAG Nowhere", "MOUSEUP"});
  player().Step();
  rig_.now = 1000;
  player().Step();
  player().Step();  // the drag: left down
  EXPECT_TRUE(player().GetButtonHeld());
  player().Step();  // its move: nobody knows the target
  EXPECT_EQ(reports_.errors, (std::vector<std::string>{"Invalid arguments. | MOUSEDRAG Nowhere"}));
  EXPECT_EQ(player().GetState(), TZelDemoPlayback::Stopped);
  EXPECT_FALSE(player().GetButtonHeld());
  EXPECT_EQ(Buttons(rig_.pointer), (std::vector<uint32_t>{MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}));
  EXPECT_EQ(rig_.pointer.Of(Kind::Buttons).back().Point, (quill::TPoint{5, 5}));
  EXPECT_EQ(player().GetCurrentAction(), nullptr);  // cleaned up within the step
  EXPECT_FALSE(player().Step());
  EXPECT_EQ(reports_.finished, 0);
}

TEST_F(DemoPlaybackTest, WhateverThePlayerPressedIsReleasedWhenTheScriptEnds) {
  rig_.pointer.Swapped = true;
  Play({"MOUSERIGHTDOWN", "MOUSEDOWN"});
  EXPECT_TRUE(player().Step());
  EXPECT_TRUE(player().Step());
  EXPECT_FALSE(player().Step());
  EXPECT_EQ(Buttons(rig_.pointer), (std::vector<uint32_t>{MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_RIGHTDOWN,
                                                          MOUSEEVENTF_RIGHTUP, MOUSEEVENTF_LEFTUP}));
  EXPECT_FALSE(player().GetButtonHeld());
  EXPECT_FALSE(player().GetRightButtonHeld());

  // And when the player goes while playing.
  quill::RecordingPointerDriver pointer;
  auto held = std::make_unique<TZelDemoPlayback>(&pointer, [] { return int64_t{0}; });
  held->GetScript().GetScriptLines() = {"MOUSEDOWN", "PAUSE 10"};
  held->Play(0);
  held->Step();
  held->Step();
  EXPECT_TRUE(held->GetButtonHeld());
  pointer.Events.clear();
  held.reset();
  EXPECT_EQ(Buttons(pointer), (std::vector<uint32_t>{MOUSEEVENTF_LEFTUP}));
}

TEST_F(DemoPlaybackTest, CommandsGoToTheModulesAndUnknownOnesAreReported) {
  std::vector<std::string> commands;
  player().OnUserCommand = [&](TZelDemoPlayback* sender, const std::string& name, bool& handled,
                               TZelDemoScriptUserAction* action, const TZelDemoScriptParams& params) {
    EXPECT_EQ(sender, &player());
    EXPECT_EQ(action, player().GetCurrentAction());
    commands.push_back(name + " " + std::to_string(params.GetCount()));
    handled = name != "FOO" && name.find('\0') == std::string::npos;
  };
  reports_.stopOnError = false;  // the demo goes on after each error
  Play({"ZoomIn", "WireEraserBackgroundNoise 12", "foo 1, 2", "MOUSETO Nowhere", "MOUSEMOVE 1", "PAUSE 0",
        std::string("A\0B 1", 5)});
  EXPECT_EQ(rig_.StepToEnd(), 7);
  EXPECT_EQ(commands, (std::vector<std::string>{"ZOOMIN 0", "WIREERASERBACKGROUNDNOISE 1", "FOO 2",
                                                std::string("A\0B 1", 5)}));
  // A NUL in a name shows as U+FFFD, and the text goes on after it.
  EXPECT_EQ(reports_.errors, (std::vector<std::string>{"Unknown command: \"FOO\" | foo 1, 2",
                                                      "Invalid arguments. | MOUSETO Nowhere",
                                                      "Invalid arguments. | MOUSEMOVE 1",
                                                      std::string("Unknown command: \"A\uFFFDB\" | A\0B 1", 32)}));
  EXPECT_EQ(reports_.finished, 1);
  EXPECT_TRUE(Moves(rig_.pointer).empty());  // unresolved targets leave the pointer

  // Targets that a module resolves; extra arguments are its business.
  player().OnTargetPoint = [](TZelDemoPlayback*, const TZelDemoScriptParams& params, bool& found, quill::TPoint& point) {
    found = quill::VariantToText(quill::ParamAt(params, 0)) == "Image";
    point = {quill::NumberToInteger(quill::ParamAt(params, 1), 0) * 2, 7};
  };
  Play({"MOUSETO Image, 21, 0, 99", "MOUSETO 3.5, 4.5"});
  rig_.StepToEnd();
  EXPECT_EQ(Moves(rig_.pointer), (std::vector<quill::TPoint>{{42, 7}, {4, 4}}));
}

TEST_F(DemoPlaybackTest, EscAsksToStopWhilePlayingOnly) {
  int asked = 0;
  bool answer = false;
  player().OnStopQuery = [&](TZelDemoPlayback*, bool& stop) {
    ++asked;
    EXPECT_EQ(player().GetState(), TZelDemoPlayback::Paused);
    stop = answer;
  };
  QWidget target;
  const auto press = [&](QEvent::Type type) {
    QKeyEvent key(type, Qt::Key_Escape, Qt::NoModifier);
    return QCoreApplication::sendEvent(&target, &key) && key.isAccepted();
  };
  Play({"PAUSE 10"});
  player().Step();
  press(QEvent::KeyPress);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(player().GetState(), TZelDemoPlayback::Playing);  // No: it goes on
  player().Pause();
  press(QEvent::KeyPress);  // paused: Esc is left alone
  EXPECT_EQ(asked, 1);
  player().Resume();
  QKeyEvent shortcut(QEvent::ShortcutOverride, Qt::Key_Escape, Qt::NoModifier);
  EXPECT_TRUE(player().FilterKey(&shortcut));
  EXPECT_TRUE(shortcut.isAccepted());
  QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
  EXPECT_FALSE(player().FilterKey(&other));
  answer = true;
  press(QEvent::KeyPress);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(player().GetState(), TZelDemoPlayback::Stopped);
  EXPECT_FALSE(player().Step());
  press(QEvent::KeyPress);  // unhooked
  EXPECT_EQ(asked, 2);
  EXPECT_FALSE(player().RequestStop());
}

TEST_F(DemoPlaybackTest, PlayingAfterAStopFirstCleansUp) {
  quill::TZelFormsUnit forms;
  player().SetCursorPoint({300, 300});
  Play({"MOUSERIGHTDOWN", "MESSAGE \"Hi\""});
  player().Step();
  player().Step();
  ASSERT_NE(Current<TZelDemoScriptBalloonAction>(), nullptr);
  EXPECT_FALSE(ZelApplication->GetShowHint());
  ASSERT_TRUE(player().RequestStop());
  EXPECT_FALSE(player().GetRightButtonHeld());
  // Played again before the stopped run's last step came.
  player().Play(0);
  EXPECT_EQ(player().GetCurrentAction(), nullptr);
  EXPECT_EQ(player().GetCurrentLine(), 0);
  EXPECT_TRUE(ZelApplication->GetShowHint());
  EXPECT_EQ(rig_.pointer.DisplayCount, 0);
  const auto& events = rig_.pointer.Events;
  EXPECT_EQ(std::count(events.begin(), events.end(), Event{Kind::End, {300, 300}}), 1);
  player().Step();
  EXPECT_TRUE(player().GetRightButtonHeld());
  ASSERT_TRUE(player().RequestStop());
  EXPECT_FALSE(player().Step());
}

TEST_F(DemoPlaybackTest, RecordingInsertsLinesWhereItStarted) {
  rig_.SetLines({"A", "B"});
  std::vector<std::string> added;
  player().OnLineAdded = [&](TZelDemoPlayback*, int32_t index, const std::string& line) {
    added.push_back(std::to_string(index) + line);
  };
  ASSERT_TRUE(player().StartRecording(1));
  EXPECT_TRUE(player().IsRecording());
  EXPECT_FALSE(player().StartRecording(0));
  player().Play(0);  // refused while recording
  EXPECT_FALSE(player().IsPlaying());
  player().RecordLine("x");
  player().RecordLine("y");
  player().StopRecording();
  EXPECT_EQ(player().GetState(), TZelDemoPlayback::Stopped);
  EXPECT_EQ(player().GetScript().GetScriptLines(), (std::vector<std::string>{"A", "x", "y", "B"}));
  ASSERT_TRUE(player().StartRecording(-1));  // not a line index: appended
  player().RecordLine("z");
  EXPECT_EQ(added, (std::vector<std::string>{"1x", "2y", "4z"}));
  player().StopRecording();

  player().Play(0);
  EXPECT_FALSE(player().StartRecording(0));  // refused while playing
}

TEST_F(DemoPlaybackTest, AnErrorThatMayGoOnResumesWhereItWas) {
  int queried = 0;
  player().OnStopQuery = [&](TZelDemoPlayback*, bool&) { ++queried; };
  Play({"PAUSE 1"});
  player().Step();
  reports_.stopOnError = false;
  player().ReportError(QStringLiteral("Cannot open the file."));
  EXPECT_EQ(player().GetState(), TZelDemoPlayback::Playing);
  EXPECT_EQ(reports_.errors, (std::vector<std::string>{"Cannot open the file. | PAUSE 1"}));
  reports_.stopOnError = true;
  player().ReportError(QStringLiteral("Again."));
  EXPECT_EQ(player().GetState(), TZelDemoPlayback::Stopped);
  EXPECT_EQ(queried, 0);
}

// The player is stepped every 10 ms: the timer runs with that interval from Play, is
// armed again after every step while the player plays, and stops when it has ended.
TEST(DemoPlaybackPacing, StepsComeFromTheTimerUntilThePlayerEnds) {
  quill::PlayerRig rig;
  rig.SetLines({"PAUSE 0", "PAUSE 0"});
  int finished = 0;
  rig.player.OnFinished = [&](TZelDemoPlayback*) { ++finished; };
  TZelDemoPlaybackThread& thread = rig.player.GetThread();
  EXPECT_FALSE(thread.IsActive());
  rig.player.Play(0);
  EXPECT_TRUE(thread.IsActive());
  EXPECT_EQ(thread.GetInterval(), 10);
  for (int step = 0; step < 2; ++step) {  // one line a step
    thread.DoStep();
    EXPECT_TRUE(thread.IsActive()) << step;
    EXPECT_EQ(thread.GetInterval(), 10) << step;
    EXPECT_EQ(finished, 0);
  }
  thread.DoStep();
  EXPECT_EQ(finished, 1);
  EXPECT_FALSE(thread.IsActive());
}

TEST(DemoPlaybackFuzz, MutatedScriptsNeverHarmThePlayer) {
  // Real scripts, the shipped ones among them, mutated byte by byte, deterministically.
  // QUILL_FUZZ_ROUNDS sets a longer run.
  std::vector<std::string> seeds = {
      "\xEF\xBB\xBF[Info]\r\nTitle=%Title\r\n[Script]\r\nMESSAGE \"%Hello\", 2.5, 3\r\n"
      "MOUSECLICK 10, 20\r\nMOUSEDRAG Image, 3, 4\r\nPAUSE 0.5\r\nMOUSESPEED 7\r\nZoomIn\r\n"
      "[1033]\r\nTitle=Demo\r\nHello=Hello\r\n",
      "[Script]\nMOUSEDOWN\nMOUSERIGHTDOWN\nMOUSEDBLCLICK 1E5, -3\nMESSAGE '&12', x, 9\n"
      "MOUSECURVEDMOVE(1, 2)\nMOUSETO\nPAUSE -1\n[1031]\nTitle=Gr\xF6\xDF" "e\n",
  };
  const QDir images(QCoreApplication::applicationDirPath() + QStringLiteral("/Images"));
  for (const QString& name : images.entryList({QStringLiteral("*.dsc")}, QDir::Files, QDir::Name)) {
    QFile file(images.filePath(name));
    if (file.open(QIODevice::ReadOnly)) seeds.push_back(file.readAll().toStdString());
  }
  const int rounds = qEnvironmentVariableIsSet("QUILL_FUZZ_ROUNDS") ? qEnvironmentVariableIntValue("QUILL_FUZZ_ROUNDS") : 400;
  uint32_t state = 12345;
  const auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  const char alphabet[] = "\0\r\n\"',.+-E9[]=%&;#( \xEF\xBB\xBF\xFF";
  for (int round = 0; round < rounds; ++round) {
    std::string input = seeds[static_cast<size_t>(round) % seeds.size()];
    const int mutations = 1 + static_cast<int>(next() % 16);
    for (int m = 0; m < mutations && !input.empty(); ++m) {
      const size_t at = next() % input.size();
      const char c = alphabet[next() % (sizeof(alphabet) - 1)];
      switch (next() % 4) {
        case 0: input[at] = c; break;
        case 1: input.insert(at, 1, c); break;
        case 2: input.erase(at, 1); break;
        default: input.insert(at, input.substr(next() % input.size(), next() % 64)); break;
      }
    }
    SCOPED_TRACE(round);
    quill::RunDemoScriptInput(input);
    if (HasFailure()) return;
  }
}

TEST(DemoPlaybackFuzz, TheFuzzersInputsStayHarmless) {
  QFile corpus(QStringLiteral(QUILL_DEMO_TEST_DATA "/DemoScriptCorpus.txt"));
  ASSERT_TRUE(corpus.open(QIODevice::ReadOnly));
  int inputs = 0;
  for (const QByteArray& line : corpus.readAll().split('\n')) {
    if (line.isEmpty() || line.startsWith('#')) continue;
    std::string input;
    for (qsizetype i = 0; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 3 < line.size() && line[i + 1] == 'x') {
        input.push_back(static_cast<char>(line.mid(i + 2, 2).toInt(nullptr, 16)));
        i += 3;
      } else {
        input.push_back(line[i]);
      }
    }
    SCOPED_TRACE(line.toStdString());
    quill::RunDemoScriptInput(input);
    ++inputs;
  }
  EXPECT_GT(inputs, 50);
}

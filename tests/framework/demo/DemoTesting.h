// What the demo tests share: argument lists as readable text, a localizer over several
// languages, a player on a recording pointer and a clock the test sets, and the one
// entry through which the mutation loop (and any fuzzer) feeds a script to the code.

#ifndef QUILL_TESTS_FRAMEWORK_DEMO_DEMOTESTING_H_
#define QUILL_TESTS_FRAMEWORK_DEMO_DEMOTESTING_H_

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "PointerDriver.h"
#include "ZelDemoActions.h"
#include "ZelDemoPlayback.h"
#include "ZelDemoScript.h"
#include "ZelLocalizer.h"

namespace quill {

// A value as "i:12", "d:2.5", "s:text" or "-" (unassigned).
inline std::string Rendered(const TZelVariant& value) {
  if (const auto* integer = std::get_if<int32_t>(&value)) return "i:" + std::to_string(*integer);
  if (const auto* real = std::get_if<double>(&value)) return "d:" + quill::VariantToText(*real);
  if (const auto* text = std::get_if<std::string>(&value)) return "s:" + *text;
  return "-";
}

inline std::vector<std::string> Rendered(const TZelDemoScriptParams& params) {
  std::vector<std::string> values;
  for (int i = 0; i < params.GetCount(); ++i) values.push_back(Rendered(quill::ParamAt(params, i)));
  return values;
}

// Points the global localizer, for the life of this object, at language files with the
// given ids and [Strings] lines; the first is the base language.
class ScopedLanguages {
 public:
  ScopedLanguages(std::initializer_list<std::pair<uint16_t, std::string>> languages) {
    int n = 0;
    for (const auto& [langId, strings] : languages) {
      QFile file(folder_.filePath(QStringLiteral("lang%1.ini").arg(n++)));
      if (!file.open(QIODevice::WriteOnly)) continue;
      const std::string text = "[Language]\nLangId=" + std::to_string(langId) +
                               "\nLanguage=L" + std::to_string(langId) + "\n[Strings]\n" + strings;
      file.write(text.data(), static_cast<qint64>(text.size()));
    }
    localizer_ = std::make_unique<TZelLocalizer>(folder_.path(), languages.begin()->first);
    saved_ = Localizer;
    Localizer = localizer_.get();
  }
  ~ScopedLanguages() { Localizer = saved_; }
  ScopedLanguages(const ScopedLanguages&) = delete;
  ScopedLanguages& operator=(const ScopedLanguages&) = delete;

  TZelLocalizer& Get() { return *localizer_; }

 private:
  QTemporaryDir folder_;
  std::unique_ptr<TZelLocalizer> localizer_;
  TZelLocalizer* saved_ = nullptr;
};

// A player on a recording pointer, with a clock that only the test moves.
struct PlayerRig {
  PlayerRig() = default;
  PlayerRig(const PlayerRig&) = delete;
  PlayerRig& operator=(const PlayerRig&) = delete;

  // Replaces the script's lines with Lines.
  void SetLines(std::vector<std::string> lines) { player.GetScript().GetScriptLines() = std::move(lines); }
  // Steps, the clock 100 ms on before each step, until the player neither plays nor
  // pauses, at most Limit steps; the number of steps that returned true.
  int StepToEnd(int limit = 1000) {
    int steps = 0;
    while (steps < limit) {
      now += 100;
      if (!player.Step()) break;
      ++steps;
    }
    return steps;
  }
  // Whether the last event of the physical button Down / Up pressed it.
  bool LeftDownAtEnd() const { return DownAtEnd(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP); }
  bool RightDownAtEnd() const { return DownAtEnd(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP); }
  bool DownAtEnd(uint32_t down, uint32_t up) const {
    bool pressed = false;
    for (const auto& event : pointer.Of(quill::RecordingPointerDriver::Kind::Buttons)) {
      if (event.Flags & down) pressed = true;
      if (event.Flags & up) pressed = false;
    }
    return pressed;
  }

  int64_t now = 0;
  quill::RecordingPointerDriver pointer;
  TZelDemoPlayback player{&pointer, [this] { return now; }};
};

// Feeds Bytes to the script and the player as a demo file would: load, save and load
// again (which must give the same bytes), title and texts, then a playback in which
// every target resolves, every error lets the demo go on and the clock leaps, stopped
// after a bounded number of steps. Whatever the input, the playback must end with no
// button held, the pointer shown and the hints on.
inline void RunDemoScriptInput(std::string_view bytes) {
  TZelDemoScript script;
  script.LoadFromBytes(bytes);
  const std::string saved = script.SaveToBytes();
  TZelDemoScript again;
  again.LoadFromBytes(saved);
  ASSERT_EQ(again.SaveToBytes(), saved);
  (void)script.GetTitle();
  (void)script.GetLocalizedValue("Title");

  PlayerRig rig;
  rig.player.AssignScript(script);
  rig.player.OnError = [](TZelDemoPlayback*, const QString&, bool& stop, const std::string&) { stop = false; };
  rig.player.OnTargetPoint = [](TZelDemoPlayback*, const TZelDemoScriptParams& params, bool& found,
                                TPoint& point) {
    found = params.GetCount() % 2 == 1;
    point = {7, 9};
  };
  rig.player.Play(0);
  const int limit = 3 * static_cast<int>(rig.player.GetScript().GetScriptLines().size()) + 10;
  for (int step = 0; step < limit && rig.player.Step(); ++step) rig.now += 100000;
  if (rig.player.IsPlaying()) {
    ASSERT_TRUE(rig.player.RequestStop());
    ASSERT_FALSE(rig.player.Step());
  }
  EXPECT_FALSE(rig.LeftDownAtEnd());
  EXPECT_FALSE(rig.RightDownAtEnd());
  EXPECT_EQ(rig.pointer.DisplayCount, 0);
  EXPECT_EQ(rig.player.GetCurrentAction(), nullptr);
}

}  // namespace quill

#endif  // QUILL_TESTS_FRAMEWORK_DEMO_DEMOTESTING_H_

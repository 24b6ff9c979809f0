// Demo scripts and playback: loading a 100,000-line script and parsing every command
// line into its action (the file must open at once in the demo list and editor), and
// one player step with a move in flight (a step must stay far below the 10 ms pacing).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>

#include "PointerDriver.h"
#include "ZelDemoActions.h"
#include "ZelDemoPlayback.h"
#include "ZelDemoScript.h"

namespace {

constexpr int kLines = 100000;

// A recorded demo's mix of lines, in English and German sections.
const std::string& LargeScript() {
  static const std::string bytes = [] {
    std::string text = "\xEF\xBB\xBF[Info]\r\nTitle=Benchmark\r\n[Script]\r\n";
    for (int i = 0; text.size() < 64 || i < kLines; ++i) {
      const std::string n = std::to_string(i % 500);
      switch (i % 8) {
        case 0: text += "MESSAGE \"%Step" + n + "\", 2.5, 3\r\n"; break;
        case 1: text += "MouseCurvedMove Image, " + n + ", " + n + "\r\n"; break;
        case 2: text += "MouseDown Image, " + n + ", 200\r\n"; break;
        case 3: text += "MouseTo Image, " + n + ", 210\r\n"; break;
        case 4: text += "MouseUp Image, " + n + ", 220\r\n"; break;
        case 5: text += "Pause 0.5\r\n"; break;
        case 6: text += "WireEraserBackgroundNoise " + n + "\r\n"; break;
        default: text += "# a comment about step " + n + "\r\n"; break;
      }
    }
    text += "[1033]\r\nStep1=Paint along the wire.\r\n[1031]\r\nStep1=Entlang des Drahts malen.\r\n";
    return text;
  }();
  return bytes;
}

void BM_LoadScript(benchmark::State& state) {
  const std::string& bytes = LargeScript();
  for (auto _ : state) {
    TZelDemoScript script;
    script.LoadFromBytes(bytes);
    benchmark::DoNotOptimize(script.GetScriptLines().data());
  }
  state.SetLabel(std::to_string(kLines) + " lines");
}
BENCHMARK(BM_LoadScript)->Unit(benchmark::kMillisecond);

// Loading, then every command line into its action, as playing the whole script does.
void BM_LoadAndParseEveryLine(benchmark::State& state) {
  const std::string& bytes = LargeScript();
  quill::RecordingPointerDriver pointer;
  TZelDemoPlayback player(&pointer, [] { return int64_t{0}; });
  for (auto _ : state) {
    TZelDemoScript& script = player.GetScript();
    script.LoadFromBytes(bytes);
    int actions = 0;
    for (const std::string& line : script.GetScriptLines()) actions += player.ParseLine(line) != nullptr;
    benchmark::DoNotOptimize(actions);
  }
  state.SetLabel(std::to_string(kLines) + " lines");
}
BENCHMARK(BM_LoadAndParseEveryLine)->Unit(benchmark::kMillisecond);

// One step of a curved move that is still under way.
void BM_PlayerStepMoveInFlight(benchmark::State& state) {
  int64_t now = 0;
  quill::RecordingPointerDriver pointer;
  TZelDemoPlayback player(&pointer, [&now] { return now; });
  player.GetScript().GetScriptLines() = {"MOUSESPEED 1", "MOUSECURVEDMOVE 2000000000, 1000000000"};
  player.Play(0);
  player.Step();
  player.Step();  // the move starts
  for (auto _ : state) {
    ++now;
    player.Step();
    pointer.Events.clear();
  }
  if (dynamic_cast<TZelDemoScriptMouseCurvedMoveAction*>(player.GetCurrentAction()) == nullptr) {
    state.SkipWithError("the move ended");
  }
}
BENCHMARK(BM_PlayerStepMoveInFlight)->Unit(benchmark::kMicrosecond);

}  // namespace

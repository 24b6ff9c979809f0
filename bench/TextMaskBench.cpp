// The text tool's mask, rendered as every change of the text renders it: an ordinary
// two-line text at 32 points, two lines of large letters at 400 points that exceed the
// caps, a line of 100,000 characters at 32 and at 400 points, and 20,000 lines. Renders
// with DejaVu Sans.

#include <benchmark/benchmark.h>

#include <QFont>
#include <QStringList>

#include "ZelTextMask.h"

namespace {

QFont Font(int points) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(points * 96 / 72);
  font.setStyleStrategy(QFont::NoSubpixelAntialias);
  return font;
}

QString LongLine(int length) {
  QString line;
  while (line.size() < length) line += QStringLiteral("Quillmere ");
  line.truncate(length);
  return line;
}

void Render(benchmark::State& state, const QStringList& lines, int points) {
  const QFont font = Font(points);
  for (auto _ : state) {
    QImage mask = quill::RenderTextMask(lines, font);
    benchmark::DoNotOptimize(mask.constBits());
  }
}

void BM_OrdinaryText(benchmark::State& state) {
  Render(state, {QStringLiteral("Grüße aus"), QStringLiteral("München")}, 32);
}
void BM_LargeLettersBeyondTheCaps(benchmark::State& state) {
  Render(state, QStringList(2, QString(16, QLatin1Char('W'))), 400);
}
void BM_HundredThousandCharacterLine(benchmark::State& state) {
  Render(state, {LongLine(100000)}, static_cast<int>(state.range(0)));
}
void BM_TwentyThousandLines(benchmark::State& state) {
  Render(state, QStringList(20000, QStringLiteral("Quillmere")), 32);
}

BENCHMARK(BM_OrdinaryText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargeLettersBeyondTheCaps)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HundredThousandCharacterLine)->Arg(32)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwentyThousandLines)->Unit(benchmark::kMillisecond);

}  // namespace

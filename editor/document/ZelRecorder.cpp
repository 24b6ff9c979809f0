#include "ZelRecorder.h"

#include <string>

#include "ZelDemoEditor.h"
#include "ZelDemoPlayback.h"
#include "ZelDemonstrationModule.h"

namespace quill {

TZelPlaybackRecorder::TZelPlaybackRecorder(TZelDemoPlayback& playback, const QString& messageText)
    : playback_(playback), messageText_(messageText) {}

bool TZelPlaybackRecorder::IsRecording() const { return playback_.IsRecording(); }

void TZelPlaybackRecorder::RecordLine(const QString& line) {
  if (!playback_.IsRecording()) return;
  TZelDemoScript& script = playback_.GetScript();
  std::string bytes;
  if (!EncodeCodePage(line, script.TextCodePage(), bytes)) {
    ConvertScriptToUtf8(script);
    EncodeCodePage(line, script.TextCodePage(), bytes);
  }
  playback_.RecordLine(bytes);
}

bool TZelPlaybackRecorder::GetRecordMessages() const { return playback_.RecordMessages; }

std::unique_ptr<TZelRecorder> MakePlayerRecorder(TZelDemoPlayback& player) {
  static const QString kClick = QStringLiteral("Click");
  const QString& messageText = DemonstrationModule != nullptr ? DemonstrationModule->MessageText : kClick;
  return std::make_unique<TZelPlaybackRecorder>(player, messageText);
}

void RecordMouseMove(TZelRecorder* recorder, const QString& target) {
  if (recorder == nullptr || !recorder->IsRecording()) return;
  recorder->RecordLine(QStringLiteral("MouseCurvedMove ") + target);
}

void RecordLine(TZelRecorder* recorder, const QString& line) {
  if (recorder == nullptr || !recorder->IsRecording()) return;
  recorder->RecordLine(line);
}

void RecordCommand(TZelRecorder* recorder, const QString& target, const QString& message,
                   const QString& command) {
  if (recorder == nullptr || !recorder->IsRecording()) return;
  RecordMouseMove(recorder, target);
  if (recorder->GetRecordMessages()) RecordMessage(recorder, message);
  recorder->RecordLine(command);
}

void RecordMessage(TZelRecorder* recorder, const QString& text) {
  QString quoted;
  if (recorder == nullptr || !recorder->IsRecording() || !QuoteScriptText(text, quoted)) return;
  recorder->RecordLine(QStringLiteral("Message ") + quoted);
}

void RecordClick(TZelRecorder* recorder, const QString& target, const QString& value) {
  if (recorder == nullptr || !recorder->IsRecording()) return;
  RecordMouseMove(recorder, target);
  recorder->RecordLine(value.isEmpty() ? target : target + QLatin1Char(' ') + value);
}

}  // namespace quill

#include "ZelRecorder.h"

namespace quill {

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
  if (recorder->GetRecordMessages()) {
    recorder->RecordLine(QStringLiteral("Message \"") + message + QLatin1Char('"'));
  }
  recorder->RecordLine(command);
}

}  // namespace quill

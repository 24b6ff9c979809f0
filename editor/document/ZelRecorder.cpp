#include "ZelRecorder.h"

#include <iconv.h>

#include <QStringView>

#include <string>

#include "ZelDemoPlayback.h"
#include "ZelLanguageIds.h"

namespace quill {
namespace {

constexpr uint16_t kUtf8CodePage = 65001;

// Text in the Windows code page CodePage; a character the code page lacks, or every
// character beyond ASCII when the code page has no converter, becomes "?".
std::string ToCodePage(const QString& text, uint16_t codePage) {
  const QByteArray utf8 = text.toUtf8();
  if (codePage == kUtf8CodePage || utf8.size() == text.size()) return utf8.toStdString();
  const iconv_t converter = iconv_open(("CP" + std::to_string(codePage)).c_str(), "UTF-8");
  std::string result;
  for (const char32_t character : text.toUcs4()) {
    if (character < 0x80) {
      result += static_cast<char>(character);
      continue;
    }
    QByteArray in = QString::fromUcs4(&character, 1).toUtf8();
    char out[8];
    char* inPointer = in.data();
    size_t inLeft = static_cast<size_t>(in.size());
    char* outPointer = out;
    size_t outLeft = sizeof(out);
    const bool converted = converter != reinterpret_cast<iconv_t>(-1) &&
                           iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft) !=
                               static_cast<size_t>(-1);
    if (converted) {
      result.append(out, static_cast<size_t>(outPointer - out));
    } else {
      result += '?';
    }
  }
  if (converter != reinterpret_cast<iconv_t>(-1)) iconv_close(converter);
  return result;
}

}  // namespace

TZelPlaybackRecorder::TZelPlaybackRecorder(TZelDemoPlayback& playback, const QString& messageText)
    : playback_(playback), messageText_(messageText) {}

bool TZelPlaybackRecorder::IsRecording() const { return playback_.IsRecording(); }

void TZelPlaybackRecorder::RecordLine(const QString& line) {
  if (!playback_.IsRecording()) return;
  const uint16_t codePage = playback_.GetScript().Utf8 ? kUtf8CodePage : SystemAnsiCodePage();
  playback_.RecordLine(ToCodePage(line, codePage));
}

bool TZelPlaybackRecorder::GetRecordMessages() const { return playback_.RecordMessages; }

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

void RecordClick(TZelRecorder* recorder, const QString& target, const QString& value) {
  if (recorder == nullptr || !recorder->IsRecording()) return;
  RecordMouseMove(recorder, target);
  recorder->RecordLine(value.isEmpty() ? target : target + QLatin1Char(' ') + value);
}

}  // namespace quill

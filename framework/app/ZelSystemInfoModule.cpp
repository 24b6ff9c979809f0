#include "ZelSystemInfoModule.h"

#include <QByteArray>
#include <QSysInfo>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// Reads the decimal number at Position and moves past it; 0 when there is none.
uint32_t ReadNumber(const QString& text, qsizetype& position) {
  uint64_t value = 0;
  while (position < text.size() && text[position] >= QLatin1Char('0') &&
         text[position] <= QLatin1Char('9')) {
    value = std::min<uint64_t>(value * 10 + (text[position].unicode() - '0'),
                               std::numeric_limits<uint32_t>::max());
    ++position;
  }
  return static_cast<uint32_t>(value);
}

// Copies UTF-8 Text into Target, cut before the character that would not fit beside
// the closing 0 byte.
void CopyText(const QString& text, char (&target)[128]) {
  const QByteArray bytes = text.toUtf8();
  qsizetype length = std::min<qsizetype>(bytes.size(), sizeof(target) - 1);
  // A continuation byte (10xxxxxx) at the cut belongs to a character that was cut.
  while (length > 0 && length < bytes.size() &&
         (static_cast<uint8_t>(bytes[length]) & 0xC0) == 0x80) {
    --length;
  }
  std::memcpy(target, bytes.constData(), static_cast<size_t>(length));
  target[length] = '\0';
}

}  // namespace

TZelSystemInfoModule::TZelSystemInfoModule(quill::TZelComponent* owner) : TZelModule(owner) {}

void TZelSystemInfoModule::Initialize() {
  TZelModule::Initialize();
  versionInfo_ = MakeVersionInfo(QSysInfo::kernelVersion(), QSysInfo::prettyProductName());
}

quill::TZelOSVersionInfo TZelSystemInfoModule::MakeVersionInfo(const QString& kernelRelease,
                                                        const QString& systemName) {
  quill::TZelOSVersionInfo info;
  info.OSVersionInfoSize = sizeof(quill::TZelOSVersionInfo);
  uint32_t* const numbers[] = {&info.MajorVersion, &info.MinorVersion, &info.BuildNumber};
  qsizetype position = 0;
  for (uint32_t* number : numbers) {
    *number = ReadNumber(kernelRelease, position);
    if (position >= kernelRelease.size() || kernelRelease[position] != QLatin1Char('.')) break;
    ++position;
  }
  info.PlatformId = quill::kPlatformLinux;
  CopyText(systemName, info.CSDVersion);
  return info;
}

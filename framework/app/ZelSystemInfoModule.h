// TZelSystemInfoModule: records which operating system the program runs on, once,
// when it initialises at start-up.
//
// The record keeps the platform's version-information layout: its size, the major,
// minor and build numbers, a platform id and a 128-byte text. On this system the
// numbers are those of the kernel release ("6.1.0-18-amd64" gives 6, 1, 0), the
// platform id is kPlatformLinux and the text is the system's name ("Debian GNU/Linux
// 12 (bookworm)") in UTF-8, cut to whole characters and ended by a 0 byte.

#ifndef QUILL_FRAMEWORK_ZELSYSTEMINFOMODULE_H_
#define QUILL_FRAMEWORK_ZELSYSTEMINFOMODULE_H_

#include <QString>

#include <cstdint>

#include "ZelForms.h"

namespace quill {

struct TZelOSVersionInfo {
  uint32_t OSVersionInfoSize = 0;
  uint32_t MajorVersion = 0;
  uint32_t MinorVersion = 0;
  uint32_t BuildNumber = 0;
  uint32_t PlatformId = 0;
  char CSDVersion[128] = {};
};
static_assert(sizeof(TZelOSVersionInfo) == 148, "the platform's record size");

// The platform id of this system; the platform's own ids run from 0 to 3.
constexpr uint32_t kPlatformLinux = 4;

}  // namespace quill

class TZelSystemInfoModule : public TZelModule {
 public:
  explicit TZelSystemInfoModule(quill::TZelComponent* owner);

  // The inherited Initialize, then the record is filled.
  void Initialize() override;
  // Zeros until Initialize.
  const quill::TZelOSVersionInfo& GetVersionInfo() const { return versionInfo_; }

  // The record of a kernel release text and a system name. The leading decimal numbers
  // of KernelRelease, separated by dots, are the major, minor and build numbers (0 for
  // those missing, 0xFFFFFFFF for one too large).
  static quill::TZelOSVersionInfo MakeVersionInfo(const QString& kernelRelease, const QString& systemName);

 private:
  quill::TZelOSVersionInfo versionInfo_;
};

#endif  // QUILL_FRAMEWORK_ZELSYSTEMINFOMODULE_H_

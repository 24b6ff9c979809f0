// Points the global localizer, for the life of this object, at a language of its own
// whose texts the test gives ("id=text" lines).

#ifndef QUILL_TESTS_FRAMEWORK_TESTLANGUAGE_H_
#define QUILL_TESTS_FRAMEWORK_TESTLANGUAGE_H_

#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <string>

#include "ZelLocalizer.h"

namespace quill {

class ScopedTestLanguage {
 public:
  explicit ScopedTestLanguage(const std::string& strings) {
    QFile file(folder_.filePath(QStringLiteral("en.ini")));
    if (file.open(QIODevice::WriteOnly)) {
      const std::string text = "[Language]\nLangId=1033\nLanguage=English\n[Strings]\n" + strings;
      file.write(text.data(), static_cast<qint64>(text.size()));
    }
    file.close();
    localizer_ = std::make_unique<TZelLocalizer>(folder_.path(), 1033);
    saved_ = Localizer;
    Localizer = localizer_.get();
  }
  ~ScopedTestLanguage() { Localizer = saved_; }
  ScopedTestLanguage(const ScopedTestLanguage&) = delete;
  ScopedTestLanguage& operator=(const ScopedTestLanguage&) = delete;

 private:
  QTemporaryDir folder_;
  std::unique_ptr<TZelLocalizer> localizer_;
  TZelLocalizer* saved_ = nullptr;
};

}  // namespace quill

#endif  // QUILL_TESTS_FRAMEWORK_TESTLANGUAGE_H_

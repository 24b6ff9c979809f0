// Lets GoogleTest print Qt strings readably in failure messages.

#ifndef QUILL_TESTS_FRAMEWORK_QTPRINTERS_H_
#define QUILL_TESTS_FRAMEWORK_QTPRINTERS_H_

#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* out) {
  *out << '{';
  for (qsizetype i = 0; i < list.size(); ++i) {
    if (i > 0) *out << ", ";
    PrintTo(list[i], out);
  }
  *out << '}';
}

#endif  // QUILL_TESTS_FRAMEWORK_QTPRINTERS_H_

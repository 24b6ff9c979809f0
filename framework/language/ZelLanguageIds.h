// Language ids: the 16-bit Windows language ids (1033 English, United States; 1031
// German, Germany; ...) that language files and the settings file use, and the locales
// they stand for.

#ifndef QUILL_FRAMEWORK_ZELLANGUAGEIDS_H_
#define QUILL_FRAMEWORK_ZELLANGUAGEIDS_H_

#include <QLocale>

#include <cstdint>
#include <optional>

namespace quill {

// The locale of LangId; none for an id this table does not know.
std::optional<QLocale> LocaleOfLangId(uint16_t langId);

// The language id of Locale: the entry with its language and territory, else the
// first entry with its language; the C locale counts as English, United States.
// 0 for a language the table does not know.
uint16_t LangIdOfLocale(const QLocale& locale);

}  // namespace quill

// The user's language id, from the system locale.
uint16_t GetUserDefaultLangID();

// Makes LangId's locale the default locale of the program; nothing for an unknown id.
void SetThreadLocale(uint16_t langId);

namespace quill {

// The ANSI code page of LangId's locale (1252 for English or German, 1250 for Polish,
// 1251 for Russian, 932 for Japanese, ...); 0 for a language this table does not know.
uint16_t AnsiCodePageOfLangId(uint16_t langId);

// The system's ANSI code page: that of the user's language, else 1252.
uint16_t SystemAnsiCodePage();

}  // namespace quill

#endif  // QUILL_FRAMEWORK_ZELLANGUAGEIDS_H_

// The localizer: every user-visible text is looked up by a numeric string id in the
// language files (layout in ZelLanguageFile.h) of the program's Languages folder.
//
// At creation the localizer scans the folder, takes the user's language as the base
// language (else 1033, else the first file found) and loads its texts into the base
// table. Switching to another language loads that file into the current table and
// calls every registered Localize handler, so each component re-reads its captions.
// A lookup tries the current table, then the base table, then the caller's default.
//
// Everything here runs on the main thread.

#ifndef QUILL_FRAMEWORK_ZELLOCALIZER_H_
#define QUILL_FRAMEWORK_ZELLOCALIZER_H_

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

#include "ZelLanguageFile.h"
#include "ZelMethodList.h"

// One available language.
struct TZelLanguage {
  QString Name;  // display name
  uint16_t LangId = 0;
  QString FileName;  // full path of its language file
};

// One text: its string id and the text as UTF-8.
struct TZelLocalString {
  int32_t Id = 0;
  std::string Text;
};

// A table of texts by string id. Lookups are binary searches while the table is
// sorted, and linear scans after SetString appended an id to a sorted table.
class TZelLocalStringList {
 public:
  // Replaces the text of Id, or appends a new entry (and the table is no longer sorted).
  void SetString(int32_t id, std::string text);
  // Replaces the whole table with Entries, sorted by id; of equal ids the later wins.
  void Assign(std::vector<TZelLocalString> entries);
  // The entry of Id; nullptr when there is none.
  const TZelLocalString* Find(int32_t id) const;
  bool GetString(int32_t id, std::string& text) const;
  // Orders the entries by id.
  void Sort();
  void Clear();
  int GetCount() const { return static_cast<int>(entries_.size()); }
  bool IsSorted() const { return sorted_; }

 private:
  std::vector<TZelLocalString> entries_;
  bool sorted_ = false;
};

class TZelLocalizer {
 public:
  // The program's languages folder and the user's language.
  TZelLocalizer();
  // The language files of LanguagesFolder, with UserLangId as the user's language.
  TZelLocalizer(const QString& languagesFolder, uint16_t userLangId);
  TZelLocalizer(const TZelLocalizer&) = delete;
  TZelLocalizer& operator=(const TZelLocalizer&) = delete;

  // The text of Id in the current table, else in the base table, else Default.
  QString GetLocalizedString(int32_t id, const QString& defaultText = QString()) const;

  // Makes LangId the current language and calls the Localize handlers. An id that no
  // language file has changes nothing and calls no handler; the current language
  // again reloads it and calls them again. Back at the base language the current
  // table is emptied.
  void SetLanguage(uint16_t langId);
  uint16_t GetLanguage() const { return currentLangId_; }
  uint16_t GetBaseLanguage() const { return baseLangId_; }

  // The languages in the order the folder scan found them (names compared without
  // regard to case), and the first of them with LangId (nullptr when none has it).
  const std::vector<TZelLanguage>& GetLanguages() const { return languages_; }
  const TZelLanguage* FindLanguage(uint16_t langId) const;

  // Calls Method once at once, then appends it to the handlers.
  void AddLocalizeHandler(const quill::TZelMethod& method);
  // Removes the last handler equal to Method.
  void RemoveLocalizeHandler(const quill::TZelMethod& method);
  // Calls every handler in registration order (the count taken before the first call).
  void CallLocalizeHandlers();

  // Fills Table from File's [Strings]: keys that are whole decimal integers are ids,
  // others are ignored; of an id given twice the later line wins.
  static void LoadStrings(TZelLocalStringList& table, const TZelLanguageFile& file);
  // ProgramFolder + "/Languages/" when that folder exists, else ProgramFolder +
  // "/../../ZelLib/Languages/".
  static QString GetLanguagesFolder(const QString& programFolder);

 private:
  void ScanLanguages(const QString& folder);
  void LoadBaseLanguage(uint16_t userLangId);

  uint16_t baseLangId_ = 0;
  uint16_t currentLangId_ = 0;
  std::vector<TZelLanguage> languages_;
  TZelLocalStringList baseTable_;
  TZelLocalStringList currentTable_;
  TZelMethodList handlers_;
};

// The one localizer, from the creation of the first TZelLocalizerUnit to the
// destruction of the last. Tests may point it at a localizer of their own.
extern TZelLocalizer* Localizer;

namespace quill {

// Creates Localizer (the program's languages, the user's language) with the first
// instance and frees it with the last; needs the QCoreApplication.
class TZelLocalizerUnit {
 public:
  TZelLocalizerUnit();
  ~TZelLocalizerUnit();
  TZelLocalizerUnit(const TZelLocalizerUnit&) = delete;
  TZelLocalizerUnit& operator=(const TZelLocalizerUnit&) = delete;
};

}  // namespace quill

// The operations of Localizer; without one, lookups give the default, ids 0, lists
// are empty and handlers are not called.
QString GetLocalizedString(int32_t id, const QString& defaultText = QString());
// Text (a localized message) with its first "%s" replaced by Argument; a text without
// "%s" gets Argument after a space, so that a translation that lost it still names it.
QString FormatText(const QString& text, const QString& argument);
// Sets the program's locale to LangId (when its locale is known), then switches the
// localizer's language.
void SetLanguage(uint16_t langId);
uint16_t GetLanguage();
uint16_t GetBaseLanguage();
// Clears List, then fills it with every language in scan order.
void GetLanguageList(std::vector<TZelLanguage>& list);
// The display name of LangId; Name is left as it was for an unknown id.
void GetLanguageName(uint16_t langId, QString& name);
void AddLocalizeHandler(const quill::TZelMethod& method);
void RemoveLocalizeHandler(const quill::TZelMethod& method);

#endif  // QUILL_FRAMEWORK_ZELLOCALIZER_H_

#include "ZelLocalizer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

#include "ZelLanguageIds.h"

TZelLocalizer* Localizer = nullptr;

// ---- TZelLocalStringList ----

void TZelLocalStringList::SetString(int32_t id, std::string text) {
  for (TZelLocalString& entry : entries_) {
    if (entry.Id == id) {
      entry.Text = std::move(text);
      return;
    }
  }
  entries_.push_back({id, std::move(text)});
  sorted_ = false;
}

void TZelLocalStringList::Assign(std::vector<TZelLocalString> entries) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const TZelLocalString& a, const TZelLocalString& b) { return a.Id < b.Id; });
  // Of a run of equal ids the stable sort left the file's last line last; keep it.
  std::vector<TZelLocalString> unique;
  unique.reserve(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i + 1 < entries.size() && entries[i + 1].Id == entries[i].Id) continue;
    unique.push_back(std::move(entries[i]));
  }
  entries_ = std::move(unique);
  sorted_ = true;
}

const TZelLocalString* TZelLocalStringList::Find(int32_t id) const {
  if (sorted_) {
    const auto it = std::lower_bound(
        entries_.begin(), entries_.end(), id,
        [](const TZelLocalString& entry, int32_t wanted) { return entry.Id < wanted; });
    return it != entries_.end() && it->Id == id ? &*it : nullptr;
  }
  for (const TZelLocalString& entry : entries_) {
    if (entry.Id == id) return &entry;
  }
  return nullptr;
}

bool TZelLocalStringList::GetString(int32_t id, std::string& text) const {
  const TZelLocalString* entry = Find(id);
  if (entry == nullptr) return false;
  text = entry->Text;
  return true;
}

void TZelLocalStringList::Sort() {
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const TZelLocalString& a, const TZelLocalString& b) { return a.Id < b.Id; });
  sorted_ = true;
}

void TZelLocalStringList::Clear() {
  entries_.clear();
  sorted_ = false;
}

// ---- TZelLocalizer ----

TZelLocalizer::TZelLocalizer()
    : TZelLocalizer(GetLanguagesFolder(QCoreApplication::applicationDirPath()),
                    GetUserDefaultLangID()) {}

TZelLocalizer::TZelLocalizer(const QString& languagesFolder, uint16_t userLangId) {
  ScanLanguages(languagesFolder);
  LoadBaseLanguage(userLangId);
}

QString TZelLocalizer::GetLocalizedString(int32_t id, const QString& defaultText) const {
  const TZelLocalString* entry = currentTable_.Find(id);
  if (entry == nullptr) entry = baseTable_.Find(id);
  return entry == nullptr ? defaultText : QString::fromStdString(entry->Text);
}

void TZelLocalizer::SetLanguage(uint16_t langId) {
  const TZelLanguage* language = FindLanguage(langId);
  if (language == nullptr) return;
  currentLangId_ = langId;
  if (currentLangId_ == baseLangId_) {
    currentTable_.Clear();
  } else {
    LoadStrings(currentTable_, TZelLanguageFile::Load(language->FileName));
  }
  CallLocalizeHandlers();
}

const TZelLanguage* TZelLocalizer::FindLanguage(uint16_t langId) const {
  for (const TZelLanguage& language : languages_) {
    if (language.LangId == langId) return &language;
  }
  return nullptr;
}

void TZelLocalizer::AddLocalizeHandler(const quill::TZelMethod& method) {
  method();
  handlers_.Add(method);
}

void TZelLocalizer::RemoveLocalizeHandler(const quill::TZelMethod& method) { handlers_.Remove(method); }

void TZelLocalizer::CallLocalizeHandlers() { handlers_.CallAll(); }

void TZelLocalizer::LoadStrings(TZelLocalStringList& table, const TZelLanguageFile& file) {
  std::vector<TZelLocalString> entries;
  for (const TZelLanguageFile::Line& line : file.SectionLines("Strings")) {
    if (const std::optional<int32_t> id = quill::ParseDecimalInt(line.Key)) {
      entries.push_back({*id, line.Value});
    }
  }
  table.Assign(std::move(entries));
}

QString TZelLocalizer::GetLanguagesFolder(const QString& programFolder) {
  const QString folder = programFolder + QStringLiteral("/Languages/");
  if (QFileInfo(folder).isDir()) return folder;
  return programFolder + QStringLiteral("/../../ZelLib/Languages/");
}

void TZelLocalizer::ScanLanguages(const QString& folder) {
  QFileInfoList entries = QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                     QDir::System | QDir::NoDotAndDotDot);
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [](const QFileInfo& entry) {
                                 return !entry.fileName().endsWith(QStringLiteral(".ini"),
                                                                   Qt::CaseInsensitive);
                               }),
                entries.end());
  // Names compared without regard to case, ties by their exact spelling, so that the
  // first file found does not depend on the file system.
  std::sort(entries.begin(), entries.end(), [](const QFileInfo& a, const QFileInfo& b) {
    const int order = a.fileName().compare(b.fileName(), Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a.fileName() < b.fileName();
  });
  for (const QFileInfo& entry : entries) {
    const TZelLanguageFile file = TZelLanguageFile::Load(entry.absoluteFilePath());
    // Ids beyond 16 bits would wrap, 65536 to 0, the id of "no language".
    const int32_t langId = file.ReadInteger("Language", "LangId", 0);
    if (langId < 1 || langId > 0xFFFF) continue;
    languages_.push_back({QString::fromStdString(file.ReadString("Language", "Language", "")),
                          static_cast<uint16_t>(langId), entry.absoluteFilePath()});
  }
}

void TZelLocalizer::LoadBaseLanguage(uint16_t userLangId) {
  const TZelLanguage* chosen = FindLanguage(userLangId);
  if (chosen == nullptr) chosen = FindLanguage(1033);
  if (chosen == nullptr && !languages_.empty()) chosen = &languages_.front();
  if (chosen != nullptr) LoadStrings(baseTable_, TZelLanguageFile::Load(chosen->FileName));
  baseLangId_ = chosen != nullptr ? chosen->LangId : 0;
  currentLangId_ = baseLangId_;
}

// ---- The unit and the global operations ----

namespace {
int localizerUnits = 0;
}  // namespace

namespace quill {

TZelLocalizerUnit::TZelLocalizerUnit() {
  if (localizerUnits++ == 0) Localizer = new TZelLocalizer();
}

TZelLocalizerUnit::~TZelLocalizerUnit() {
  if (--localizerUnits == 0) {
    delete Localizer;
    Localizer = nullptr;
  }
}

}  // namespace quill

QString GetLocalizedString(int32_t id, const QString& defaultText) {
  return Localizer != nullptr ? Localizer->GetLocalizedString(id, defaultText) : defaultText;
}

QString FormatText(const QString& text, const QString& argument) {
  const qsizetype at = text.indexOf(QLatin1String("%s"));
  if (at < 0) return text + QLatin1Char(' ') + argument;
  return text.left(at) + argument + text.mid(at + 2);
}

void SetLanguage(uint16_t langId) {
  SetThreadLocale(langId);
  if (Localizer != nullptr) Localizer->SetLanguage(langId);
}

uint16_t GetLanguage() { return Localizer != nullptr ? Localizer->GetLanguage() : 0; }

uint16_t GetBaseLanguage() { return Localizer != nullptr ? Localizer->GetBaseLanguage() : 0; }

void GetLanguageList(std::vector<TZelLanguage>& list) {
  list.clear();
  if (Localizer != nullptr) list = Localizer->GetLanguages();
}

void GetLanguageName(uint16_t langId, QString& name) {
  const TZelLanguage* language = Localizer != nullptr ? Localizer->FindLanguage(langId) : nullptr;
  if (language != nullptr) name = language->Name;
}

void AddLocalizeHandler(const quill::TZelMethod& method) {
  if (Localizer != nullptr) Localizer->AddLocalizeHandler(method);
}

void RemoveLocalizeHandler(const quill::TZelMethod& method) {
  if (Localizer != nullptr) Localizer->RemoveLocalizeHandler(method);
}

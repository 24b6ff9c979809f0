#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "QtPrinters.h"
#include "ZelLanguageIds.h"
#include "ZelLocalizer.h"

namespace {

// A languages folder of its own for each test.
class LocalizerTest : public testing::Test {
 protected:
  void WriteFile(const QString& name, const std::string& contents) {
    QFile file(folder_.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents.data(), static_cast<qint64>(contents.size()));
  }
  void WriteLanguage(const QString& name, int langId, const std::string& display,
                     const std::string& strings) {
    WriteFile(name, "[Language]\nLangId=" + std::to_string(langId) + "\nLanguage=" + display +
                        "\n[Strings]\n" + strings);
  }
  QString Folder() const { return folder_.path(); }

  QTemporaryDir folder_;
};

std::vector<uint16_t> Ids(const TZelLocalizer& localizer) {
  std::vector<uint16_t> ids;
  for (const TZelLanguage& language : localizer.GetLanguages()) ids.push_back(language.LangId);
  return ids;
}

// Counts the Localize broadcasts it receives.
struct Listener {
  int calls = 0;
  void Localize() { ++calls; }
};

}  // namespace

TEST_F(LocalizerTest, ScansValidFilesInCaseInsensitiveNameOrder) {
  WriteLanguage("b.ini", 1031, "Deutsch", "");
  WriteLanguage("A.INI", 1036,
                "Fran\xC3\xA7"
                "ais",
                "");
  WriteLanguage("c.ini", 1049, "Russian", "");
  WriteLanguage("zero.ini", 0, "Zero", "");
  WriteLanguage("big.ini", 65536, "Wraps to zero", "");
  WriteLanguage("word.ini", 0, "", "");
  WriteFile("word.ini", "[Language]\nLangId=en\n");
  WriteFile("none.ini", "[Strings]\n1=x\n");
  WriteLanguage("notes.txt", 1033, "Not a language file", "");
  ASSERT_TRUE(QDir(Folder()).mkdir(QStringLiteral("dir.ini")));
  const TZelLocalizer localizer(Folder(), 1031);
  EXPECT_EQ(Ids(localizer), (std::vector<uint16_t>{1036, 1031, 1049}));
  EXPECT_EQ(localizer.GetLanguages()[0].Name, QStringLiteral("Français"));
  EXPECT_EQ(localizer.GetLanguages()[0].FileName, QDir(Folder()).absoluteFilePath("A.INI"));
}

TEST_F(LocalizerTest, ListsLanguagesWhoseCodePageHoldsCharactersBack) {
  // "עברית" in code page 1255 and "Tiếng Việt" in code page 1258; every line ends in a
  // character that the converter holds back for a combining mark.
  WriteFile("he.ini",
            "[Language]\r\nLangId=1037\r\nLanguage=\xF2\xE1\xF8\xE9\xFA\r\nCodePage=1255\r\n"
            "[Strings]\r\n1=\xF7\xE5\xE1\xF5\r\n");
  WriteFile("vi.ini",
            "[Language]\nLangId=1066\nLanguage=Ti\xEA\xECng Vi\xEA\xF2t\nCodePage=1258\n"
            "[Strings]\n1=T\xEA\xF2p\n");
  TZelLocalizer localizer(Folder(), 1037);
  EXPECT_EQ(Ids(localizer), (std::vector<uint16_t>{1037, 1066}));
  EXPECT_EQ(localizer.GetLanguages()[0].Name, QStringLiteral("עברית"));
  EXPECT_EQ(localizer.GetLanguages()[1].Name, QStringLiteral("Tiếng Việt"));
  EXPECT_EQ(localizer.GetLocalizedString(1), QStringLiteral("קובץ"));
  localizer.SetLanguage(1066);
  EXPECT_EQ(localizer.GetLocalizedString(1), QStringLiteral("Tệp"));
}

TEST_F(LocalizerTest, ChoosesTheBaseLanguage) {
  WriteLanguage("en.ini", 1033, "English", "1=File\n");
  WriteLanguage("ru.ini", 1049, "Russian", "1=Файл\n");
  EXPECT_EQ(TZelLocalizer(Folder(), 1049).GetBaseLanguage(), 1049);
  const TZelLocalizer german(Folder(), 1031);  // no German file: 1033
  EXPECT_EQ(german.GetBaseLanguage(), 1033);
  EXPECT_EQ(german.GetLanguage(), 1033);
  EXPECT_EQ(german.GetLocalizedString(1), QStringLiteral("File"));

  QFile::remove(QDir(Folder()).filePath("en.ini"));
  EXPECT_EQ(TZelLocalizer(Folder(), 1031).GetBaseLanguage(), 1049);  // the first found

  const TZelLocalizer empty(Folder() + "/missing", 1033);
  EXPECT_EQ(empty.GetBaseLanguage(), 0);
  EXPECT_EQ(empty.GetLocalizedString(1, QStringLiteral("Default")), QStringLiteral("Default"));
}

TEST_F(LocalizerTest, LooksUpCurrentThenBaseThenDefault) {
  WriteLanguage("en.ini", 1033, "English", "1=File\n2=Exit\n0012=Twelve\nabc=ignored\n2=Quit\n");
  WriteLanguage("de.ini", 1031, "Deutsch", "1=Datei\n");
  TZelLocalizer localizer(Folder(), 1033);
  EXPECT_EQ(localizer.GetLocalizedString(2), QStringLiteral("Quit"));  // the later line wins
  EXPECT_EQ(localizer.GetLocalizedString(12), QStringLiteral("Twelve"));
  localizer.SetLanguage(1031);
  EXPECT_EQ(localizer.GetLanguage(), 1031);
  EXPECT_EQ(localizer.GetLocalizedString(1), QStringLiteral("Datei"));
  EXPECT_EQ(localizer.GetLocalizedString(2), QStringLiteral("Quit"));
  EXPECT_EQ(localizer.GetLocalizedString(3, QStringLiteral("Help")), QStringLiteral("Help"));
  EXPECT_EQ(localizer.GetLocalizedString(3), QString());
  localizer.SetLanguage(1033);
  EXPECT_EQ(localizer.GetLocalizedString(1), QStringLiteral("File"));
}

TEST_F(LocalizerTest, BroadcastsOnlyOnAKnownLanguage) {
  WriteLanguage("en.ini", 1033, "English", "1=File\n");
  WriteLanguage("de.ini", 1031, "Deutsch", "1=Datei\n");
  TZelLocalizer localizer(Folder(), 1033);
  Listener first;
  Listener second;
  localizer.AddLocalizeHandler(quill::TZelMethod(&first, &Listener::Localize));
  EXPECT_EQ(first.calls, 1);  // called once at registration
  localizer.AddLocalizeHandler(quill::TZelMethod(&second, &Listener::Localize));

  localizer.SetLanguage(1049);
  EXPECT_EQ(localizer.GetLanguage(), 1033);
  EXPECT_EQ(localizer.GetLocalizedString(1), QStringLiteral("File"));
  EXPECT_EQ(first.calls, 1);

  localizer.SetLanguage(1031);
  localizer.SetLanguage(1031);  // again: reloaded and broadcast again
  EXPECT_EQ(first.calls, 3);
  EXPECT_EQ(second.calls, 3);

  localizer.RemoveLocalizeHandler(quill::TZelMethod(&first, &Listener::Localize));
  localizer.SetLanguage(1033);
  EXPECT_EQ(first.calls, 3);
  EXPECT_EQ(second.calls, 4);
}

TEST_F(LocalizerTest, AFileGoneAfterTheScanShowsTheBaseTexts) {
  WriteLanguage("en.ini", 1033, "English", "1=File\n");
  WriteLanguage("de.ini", 1031, "Deutsch", "1=Datei\n");
  TZelLocalizer localizer(Folder(), 1033);
  QFile::remove(QDir(Folder()).filePath("de.ini"));
  localizer.SetLanguage(1031);
  EXPECT_EQ(localizer.GetLanguage(), 1031);
  EXPECT_EQ(localizer.GetLocalizedString(1), QStringLiteral("File"));
}

TEST_F(LocalizerTest, GlobalOperationsWorkWithAndWithoutALocalizer) {
  WriteLanguage("en.ini", 1033, "English", "1=File\n");
  WriteLanguage("de.ini", 1031, "Deutsch", "1=Datei\n");
  ASSERT_EQ(Localizer, nullptr);
  EXPECT_EQ(GetLocalizedString(1, QStringLiteral("x")), QStringLiteral("x"));
  EXPECT_EQ(GetLanguage(), 0);
  Listener listener;
  AddLocalizeHandler(quill::TZelMethod(&listener, &Listener::Localize));
  EXPECT_EQ(listener.calls, 0);

  TZelLocalizer localizer(Folder(), 1033);
  Localizer = &localizer;
  const QLocale previous;
  SetLanguage(1031);
  EXPECT_EQ(QLocale().name(), QStringLiteral("de_DE"));
  EXPECT_EQ(GetLanguage(), 1031);
  EXPECT_EQ(GetBaseLanguage(), 1033);
  EXPECT_EQ(GetLocalizedString(1), QStringLiteral("Datei"));
  QString name = QStringLiteral("unchanged");
  GetLanguageName(1049, name);
  EXPECT_EQ(name, QStringLiteral("unchanged"));
  GetLanguageName(1031, name);
  EXPECT_EQ(name, QStringLiteral("Deutsch"));
  std::vector<TZelLanguage> list(3);
  GetLanguageList(list);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Name, QStringLiteral("Deutsch"));  // de.ini before en.ini
  Localizer = nullptr;
  QLocale::setDefault(previous);
}

TEST(LocalStringList, FindsBySearchAndAfterAnAppendByScan) {
  TZelLocalStringList table;
  table.Assign({{5, "five"}, {1, "one"}, {5, "FIVE"}, {-3, "minus"}});
  EXPECT_TRUE(table.IsSorted());
  EXPECT_EQ(table.GetCount(), 3);
  std::string text;
  EXPECT_TRUE(table.GetString(5, text));
  EXPECT_EQ(text, "FIVE");
  table.SetString(2, "two");
  EXPECT_FALSE(table.IsSorted());
  EXPECT_TRUE(table.GetString(2, text));
  EXPECT_TRUE(table.GetString(-3, text));
  EXPECT_EQ(table.Find(3), nullptr);
}

// The language files that ship with the program, copied next to this test.
TEST(LanguageFiles, TheShippedLanguagesSwitch) {
  const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/Languages/");
  ASSERT_EQ(TZelLocalizer::GetLanguagesFolder(QCoreApplication::applicationDirPath()), folder);
  TZelLocalizer localizer(folder, 1031);
  EXPECT_EQ(localizer.GetBaseLanguage(), 1031);
  ASSERT_NE(localizer.FindLanguage(1033), nullptr);
  ASSERT_NE(localizer.FindLanguage(1031), nullptr);
  EXPECT_EQ(localizer.FindLanguage(1033)->Name, QStringLiteral("English"));
  EXPECT_EQ(localizer.FindLanguage(1031)->Name, QStringLiteral("Deutsch"));
  Listener listener;
  localizer.AddLocalizeHandler(quill::TZelMethod(&listener, &Listener::Localize));
  localizer.SetLanguage(1033);
  EXPECT_EQ(localizer.GetLanguage(), 1033);
  EXPECT_EQ(listener.calls, 2);

  // Both files define the same string ids.
  const TZelLanguageFile english = TZelLanguageFile::Load(localizer.FindLanguage(1033)->FileName);
  const TZelLanguageFile german = TZelLanguageFile::Load(localizer.FindLanguage(1031)->FileName);
  std::vector<std::string> englishIds;
  std::vector<std::string> germanIds;
  for (const auto& line : english.SectionLines("Strings")) englishIds.push_back(line.Key);
  for (const auto& line : german.SectionLines("Strings")) germanIds.push_back(line.Key);
  EXPECT_EQ(englishIds, germanIds);
}

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "QtPrinters.h"
#include "ZelLanguageFile.h"
#include "ZelLanguageIds.h"

TEST(ParseDecimalInt, AcceptsWholeDecimalIntegersOnly) {
  EXPECT_EQ(quill::ParseDecimalInt("0012"), 12);
  EXPECT_EQ(quill::ParseDecimalInt("-5"), -5);
  EXPECT_EQ(quill::ParseDecimalInt("+7"), 7);
  EXPECT_EQ(quill::ParseDecimalInt("2147483647"), 2147483647);
  for (const char* bad : {"", "+", "-", "+-1", "12a", " 12", "0x10", "$10", "1.0", "2147483648"}) {
    EXPECT_FALSE(quill::ParseDecimalInt(bad).has_value()) << bad;
  }
}

TEST(LanguageFile, ReadsSectionsKeysAndValues) {
  const TZelLanguageFile file(
      "Before=ignored\r\n"
      "; a comment\r\n"
      "  [ language ]  \r\n"
      "LangId = 1031\r\n"
      "Language=Deutsch\r\n"
      "no equals sign\r\n"
      "\r\n"
      "[Strings]\n"
      "\t10 = Datei \n"
      "23=Beenden=jetzt\n"
      ";24=commented out\n"
      "[LANGUAGE]\r"
      "Extra=1\r");
  EXPECT_EQ(file.ReadString("Language", "LangId", "?"), "1031");
  EXPECT_EQ(file.ReadString("LANGUAGE", "language", "?"), "Deutsch");
  EXPECT_EQ(file.ReadString("Language", "Extra", "?"), "1");  // the section continued
  EXPECT_EQ(file.ReadString("Language", "Before", "?"), "?");
  EXPECT_EQ(file.ReadInteger("Language", "LangId", 0), 1031);
  const auto& strings = file.SectionLines("strings");
  ASSERT_EQ(strings.size(), 2u);
  EXPECT_EQ(strings[0].Key, "10");
  EXPECT_EQ(strings[0].Value, "Datei");
  EXPECT_EQ(strings[1].Value, "Beenden=jetzt");
  EXPECT_TRUE(file.SectionLines("Missing").empty());
}

TEST(LanguageFile, ConvertsFromTheCodePageOfTheFile) {
  // "Привет" in code page 1251.
  const TZelLanguageFile file(
      "[Language]\nLangId=1049\nLanguage=\xD0\xF3\xF1\xF1\xEA\xE8\xE9\ncodepage=1251\n"
      "[Strings]\n1=\xCF\xF0\xE8\xE2\xE5\xF2\n");
  EXPECT_EQ(QString::fromStdString(file.ReadString("Language", "Language", "")),
            QStringLiteral("Русский"));
  EXPECT_EQ(QString::fromStdString(file.ReadString("Strings", "1", "")), QStringLiteral("Привет"));
}

TEST(LanguageFile, AByteOrderMarkOverridesTheCodePage) {
  const TZelLanguageFile file(
      "\xEF\xBB\xBF[Language]\nLangId=1049\nCodePage=1251\n[Strings]\n1="
      "\xD0\x9F\xD1\x80\xD0\xB8\n");
  EXPECT_EQ(QString::fromStdString(file.ReadString("Strings", "1", "")), QStringLiteral("При"));
}

TEST(LanguageFile, OnlyTheFirstCodePageLineCounts) {
  const TZelLanguageFile zeroFirst("CodePage=0\n[Strings]\nCodePage=1251\n1=\xC3\xA9\n");
  EXPECT_EQ(QString::fromStdString(zeroFirst.ReadString("Strings", "1", "")), QStringLiteral("é"));
  const TZelLanguageFile blankBeforeEquals("[Strings]\nCodePage =1251\n1=\xC3\xA9\n");
  EXPECT_EQ(QString::fromStdString(blankBeforeEquals.ReadString("Strings", "1", "")),
            QStringLiteral("é"));
}

TEST(LanguageFile, AnUnknownCodePageEmptiesTheFile) {
  const TZelLanguageFile unknown("[Language]\nLangId=1033\nCodePage=12345\n[Strings]\n1=a\n");
  EXPECT_EQ(unknown.ReadInteger("Language", "LangId", 0), 0);
  EXPECT_TRUE(unknown.SectionLines("Strings").empty());
  const TZelLanguageFile outOfRange("[Language]\nLangId=1033\nCodePage=66788\n");
  EXPECT_EQ(outOfRange.ReadInteger("Language", "LangId", 0), 0);
}

TEST(LanguageFile, LoadReadsAFileUpToTheSizeLimitAndNothingElse) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString name = folder.filePath(QStringLiteral("German.ini"));
  QFile file(name);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  const QByteArray text("[Strings]\n1=Datei\n");
  file.write(text);
  // Blanks up to the limit still load; one byte more and the file is refused.
  file.write(QByteArray(TZelLanguageFile::kMaxFileSize - text.size(), ' '));
  file.flush();
  EXPECT_EQ(TZelLanguageFile::Load(name).ReadString("Strings", "1", "?"), "Datei");
  file.write(" ");
  file.close();
  EXPECT_TRUE(TZelLanguageFile::Load(name).SectionLines("Strings").empty());

  EXPECT_TRUE(TZelLanguageFile::Load(folder.filePath(QStringLiteral("Missing.ini"))).SectionLines("Strings").empty());
  EXPECT_TRUE(TZelLanguageFile::Load(folder.path()).SectionLines("Strings").empty());
}

TEST(LanguageIds, MapsLanguageIdsToLocalesAndBack) {
  ASSERT_TRUE(quill::LocaleOfLangId(1031).has_value());
  EXPECT_EQ(quill::LocaleOfLangId(1031)->name(), QStringLiteral("de_DE"));
  EXPECT_EQ(quill::LocaleOfLangId(1033)->name(), QStringLiteral("en_US"));
  EXPECT_FALSE(quill::LocaleOfLangId(0).has_value());
  EXPECT_EQ(quill::LangIdOfLocale(QLocale(QStringLiteral("de_AT"))), 3079);
  EXPECT_EQ(quill::LangIdOfLocale(QLocale(QStringLiteral("de_LU"))), 1031);  // same language
  EXPECT_EQ(quill::LangIdOfLocale(QLocale(QStringLiteral("fr_FR"))), 1036);
  EXPECT_EQ(quill::LangIdOfLocale(QLocale(QStringLiteral("ru_RU"))), 1049);
  EXPECT_EQ(quill::LangIdOfLocale(QLocale::c()), 1033);
  EXPECT_EQ(quill::LangIdOfLocale(QLocale(QLocale::Zulu, QLocale::SouthAfrica)), 0);
}

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QTemporaryDir>

#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>
#include <typeinfo>
#include <vector>

#include "DemoTesting.h"
#include "QtPrinters.h"
#include "ZelDemoActions.h"
#include "ZelDemoEditor.h"
#include "ZelDemoPlayback.h"
#include "ZelDemoScript.h"

using namespace std::string_literals;

namespace {

using Values = std::vector<std::string>;

Values Arguments(std::string_view text) {
  TZelDemoScriptParams params;
  params.SetString(99, "left over");  // emptied first
  ParseScriptArguments(params, text);
  return quill::Rendered(params);
}

std::vector<std::string> SectionNames(const TZelDemoScript& script) {
  std::vector<std::string> names;
  for (int i = 0; i < script.GetSectionCount(); ++i) names.push_back(script.GetSectionName(i));
  return names;
}

}  // namespace

TEST(DemoScriptArguments, FollowTheArgumentRules) {
  const struct {
    const char* text;
    Values values;
  } cases[] = {
      {"", {}},
      {"10, 20", {"i:10", "i:20"}},
      {"10 20", {"i:10"}},  // no comma: the list ends after 10
      {"\"two\\nlines\", 2.5, 3", {"s:two\nlines", "d:2.5", "i:3"}},
      {"'it''s'", {"s:it"}},  // no escape for the quote itself
      {"\"unterminated, 5", {"s:unterminated, 5"}},
      {"\"a\"  ,  'b'", {"s:a", "s:b"}},
      {"-1", {"i:-1"}},
      {"+7, -0", {"i:7", "i:0"}},
      {".5", {"s:.5"}},  // a leading "." makes a word
      {"1., -.5, 1E5, 1.5E-2", {"d:1", "d:-0.5", "d:100000", "d:0.015"}},
      {"1e5", {"i:1"}},  // lower-case e ends the number, and with it the list
      {"true, false, TRUE", {"i:-1", "i:0", "s:TRUE"}},
      {"falsehood", {"i:0"}},
      {"Image, 10, 20", {"s:Image", "i:10", "i:20"}},
      {"(10, 20)", {"s:(10", "i:20"}},
      {"  a  ,  b  ", {"s:a", "s:b"}},
      {"abc def, 5", {"s:abc"}},
      {"5,", {"i:5"}},
      {",5", {"s:", "i:5"}},
      // Numbers that do not convert stay text.
      {"1-2, --5, 1E999, 2147483648, +-3, 1E", {"s:1-2", "s:--5", "s:1E999", "s:2147483648", "s:+-3", "s:1E"}},
      {"-2147483648, 2147483647", {"i:-2147483648", "i:2147483647"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Arguments(c.text), c.values) << c.text;
}

TEST(DemoScriptArguments, NumbersBecomeIntegersToTheNearestHalvesToEven) {
  EXPECT_EQ(quill::NumberToInteger(10.7, 5), 11);
  EXPECT_EQ(quill::NumberToInteger(10.5, 5), 10);
  EXPECT_EQ(quill::NumberToInteger(11.5, 5), 12);
  EXPECT_EQ(quill::NumberToInteger(-2.5, 5), -2);
  EXPECT_EQ(quill::NumberToInteger(int32_t{-7}, 5), -7);
  EXPECT_EQ(quill::NumberToInteger(1e300, 5), INT32_MAX);
  EXPECT_EQ(quill::NumberToInteger(-HUGE_VAL, 5), INT32_MIN);
  // What is no number keeps the caller's default.
  EXPECT_EQ(quill::NumberToInteger(std::nan(""), 5), 5);
  EXPECT_EQ(quill::NumberToInteger(std::string("12"), 5), 5);
  EXPECT_EQ(quill::NumberToInteger(quill::TZelVariant(), 5), 5);
}

TEST(DemoScriptArguments, AHostileLineStopsAtTheArgumentLimit) {
  std::string line;
  for (int i = 0; i < 500000; ++i) line += "1,";
  TZelDemoScriptParams params;
  ParseScriptArguments(params, line);
  EXPECT_EQ(params.GetCount(), quill::kMaxScriptArguments);
}

// In a comma-decimal locale the C library reads "2,5" as a number and stops at "."; the
// script's numbers and their text must not follow it.
TEST(DemoScriptArguments, NumbersConvertTheSameInEveryLocale) {
  const std::string savedC = std::setlocale(LC_ALL, nullptr);
  const QLocale savedQt;
  struct Restore {
    const std::string& c;
    const QLocale& qt;
    ~Restore() {
      std::setlocale(LC_ALL, c.c_str());
      QLocale::setDefault(qt);
    }
  } restore{savedC, savedQt};
  bool comma = false;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"}) {
    if (std::setlocale(LC_ALL, name) != nullptr && std::string_view(std::localeconv()->decimal_point) == ",") {
      comma = true;
      break;
    }
  }
  if (!comma) GTEST_SKIP() << "no comma-decimal locale is installed (scripts/setup.sh generates de_DE.UTF-8)";
  ASSERT_EQ(std::strtod("2,5", nullptr), 2.5);
  ASSERT_EQ(std::strtod("2.5", nullptr), 2.0);
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

  EXPECT_EQ(Arguments("2.5, 1,5, -.25, 1.5E3"), (Values{"d:2.5", "i:1", "i:5", "d:-0.25", "d:1500"}));
  EXPECT_EQ(quill::VariantToText(2.5), "2.5");
  EXPECT_EQ(quill::VariantToText(1e20), "1e+20");
  quill::PlayerRig rig;
  const auto pause = rig.player.ParseLine("PAUSE 0.5");
  pause->Step();
  EXPECT_EQ(static_cast<TZelDemoScriptPauseAction&>(*pause).GetWaitTime(), 500);
}

TEST(DemoScriptLines, ParseLineMakesTheCommandsAction) {
  quill::PlayerRig rig;
  TZelDemoPlayback& player = rig.player;
  struct Case {
    const char* line;
    const std::type_info* action;  // nullptr: no action
    std::vector<const std::type_info*> steps;
    Values params;
  };
  const Case cases[] = {
      {"PAUSE 0.5", &typeid(TZelDemoScriptPauseAction), {}, {"d:0.5"}},
      {"message \"Hi\", 2", &typeid(TZelDemoScriptBalloonAction), {}, {"s:Hi", "i:2"}},
      {"MouseTo 1, 2", &typeid(TZelDemoScriptMouseToAction), {}, {"i:1", "i:2"}},
      {"MOUSEMOVE(10, 20)", &typeid(TZelDemoScriptMouseMoveAction), {}, {"s:(10", "i:20"}},
      {"MouseCurvedMove Image, 5, 6", &typeid(TZelDemoScriptMouseCurvedMoveAction), {}, {"s:Image", "i:5", "i:6"}},
      {"mouseclick Ok",
       &typeid(TZelDemoScriptMacroAction),
       {&typeid(TZelDemoScriptMouseMoveAction), &typeid(TZelDemoScriptMouseLeftDownAction),
        &typeid(TZelDemoScriptMouseLeftUpAction)},
       {"s:Ok"}},
      {"MouseLeftClick OK",
       &typeid(TZelDemoScriptMacroAction),
       {&typeid(TZelDemoScriptMouseMoveAction), &typeid(TZelDemoScriptMouseLeftDownAction),
        &typeid(TZelDemoScriptMouseLeftUpAction)},
       {"s:OK"}},
      {"MOUSEDRAGANDDROP 3, 4",
       &typeid(TZelDemoScriptMacroAction),
       {&typeid(TZelDemoScriptMouseLeftDownAction), &typeid(TZelDemoScriptMouseCurvedMoveAction),
        &typeid(TZelDemoScriptMouseLeftUpAction)},
       {"i:3", "i:4"}},
      {"MouseDblClick",
       &typeid(TZelDemoScriptMacroAction),
       {&typeid(TZelDemoScriptMouseCurvedMoveAction), &typeid(TZelDemoScriptMouseLeftDownAction),
        &typeid(TZelDemoScriptMouseLeftUpAction), &typeid(TZelDemoScriptMouseLeftDownAction),
        &typeid(TZelDemoScriptMouseLeftUpAction)},
       {}},
      {"MOUSERIGHTCLICK x",
       &typeid(TZelDemoScriptMacroAction),
       {&typeid(TZelDemoScriptMouseCurvedMoveAction), &typeid(TZelDemoScriptMouseRightDownAction),
        &typeid(TZelDemoScriptMouseRightUpAction)},
       {"s:x"}},
      {"MouseLeftDown", &typeid(TZelDemoScriptMouseLeftDownAction), {}, {}},
      {"MOUSEUP 5", &typeid(TZelDemoScriptMouseLeftUpAction), {}, {}},  // arguments ignored
      {"MouseRightDown", &typeid(TZelDemoScriptMouseRightDownAction), {}, {}},
      {"MouseRightUp", &typeid(TZelDemoScriptMouseRightUpAction), {}, {}},
      {"MOUSESPEED 10", &typeid(TZelDemoScriptMouseSpeedAction), {}, {"i:10"}},
      {"ZoomIn", &typeid(TZelDemoScriptUserAction), {}, {}},
      {"\tFoo\targ", &typeid(TZelDemoScriptUserAction), {}, {"s:arg"}},
      {"# comment", nullptr, {}, {}},
      {"*MOUSECLICK 1, 2", nullptr, {}, {}},
      {"/ note", nullptr, {}, {}},
      {"; note", nullptr, {}, {}},
      {"   ", nullptr, {}, {}},
      {"(5)", nullptr, {}, {}},
  };
  for (const Case& c : cases) {
    const std::unique_ptr<TZelDemoScriptAction> action = player.ParseLine(c.line);
    if (c.action == nullptr) {
      EXPECT_EQ(action, nullptr) << c.line;
      continue;
    }
    ASSERT_NE(action, nullptr) << c.line;
    EXPECT_EQ(typeid(*action), *c.action) << c.line;
    EXPECT_EQ(quill::Rendered(action->GetParams()), c.params) << c.line;
    if (auto* macro = dynamic_cast<TZelDemoScriptMacroAction*>(action.get())) {
      ASSERT_EQ(macro->GetActionCount(), static_cast<int>(c.steps.size())) << c.line;
      for (int i = 0; i < macro->GetActionCount(); ++i) {
        EXPECT_EQ(typeid(*macro->GetAction(i)), *c.steps[static_cast<size_t>(i)]) << c.line << " #" << i;
      }
    }
  }
  const auto foo = player.ParseLine("\tFoo\targ");
  EXPECT_EQ(static_cast<TZelDemoScriptUserAction&>(*foo).GetName(), "FOO");
}

TEST(DemoScriptFile, ReadsSectionsByTheFileRules) {
  TZelDemoScript script;
  script.LoadFromBytes(
      "before=dropped\r\n"
      "  [ Info ]  \r\n"
      "Title = A demo\r\n"
      "; dropped\r\n"
      "\r\n"
      "[1033]\n"
      "\tkey  =  value = more \n"
      "no equals sign\r"
      "[info]\r"
      "Title=second Info\r");
  EXPECT_FALSE(script.Utf8);
  EXPECT_EQ(SectionNames(script), (std::vector<std::string>{"Info", "1033", "info", "Script"}));
  EXPECT_EQ(script.GetSection(0), (TZelDemoScript::TLines{"Title=A demo"}));
  EXPECT_EQ(script.GetSection(1), (TZelDemoScript::TLines{"key=value = more", "no equals sign"}));
  EXPECT_EQ(script.GetInfoValue("TITLE"), "A demo");  // the first of two Info sections
  EXPECT_EQ(script.GetInfoValue("Image"), "");
  EXPECT_TRUE(script.GetScriptLines().empty());

  // The same file with the byte-order mark is a UTF-8 script with the same sections.
  TZelDemoScript utf8;
  utf8.LoadFromBytes("\xEF\xBB\xBF[Info]\r\nTitle=x\r\n[Script]\r\nPause 1\r\n");
  EXPECT_TRUE(utf8.Utf8);
  EXPECT_EQ(SectionNames(utf8), (std::vector<std::string>{"Info", "Script"}));
  EXPECT_EQ(utf8.GetScriptLines(), (TZelDemoScript::TLines{"Pause 1"}));
  TZelDemoScript plain;
  plain.LoadFromBytes("[Info]\r\nTitle=x\r\n[Script]\r\nPause 1\r\n");
  EXPECT_FALSE(plain.Utf8);
  EXPECT_EQ(SectionNames(plain), SectionNames(utf8));

  // Deleting a needed section brings it back.
  int index = -1;
  ASSERT_TRUE(plain.FindSection("SCRIPT", index));
  plain.DeleteSection(index);
  EXPECT_TRUE(plain.FindSection("Script", index));
  EXPECT_TRUE(plain.GetScriptLines().empty());
}

TEST(DemoScriptFile, ParseSaveParseKeepsEveryLineAndSection) {
  const std::string file =
      "\xEF\xBB\xBF[Info]\r\nTitle=Gr\xC3\xB6\xC3\x9F" "e\r\nImage=a.png\r\n"
      "[Script]\r\nIMAGEOPEN astronaut-wire.png\r\nMESSAGE \"%Hello\", 2.5, 3\r\n"
      "# keep me\r\nMouseDown Image, 1, 2\r\n"
      "[1033]\r\nHello=Hello\r\n[1031]\r\nHello=Hall\xC3\xB6\r\n[Custom]\r\nanything goes\r\n";
  TZelDemoScript script;
  script.LoadFromBytes(file);
  EXPECT_EQ(script.SaveToBytes(), file);

  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("demo.dsc"));
  ASSERT_TRUE(script.SaveToFile(path));
  TZelDemoScript loaded;
  ASSERT_TRUE(loaded.LoadFromFile(path));
  EXPECT_TRUE(loaded.Utf8);
  EXPECT_EQ(loaded.FileName, path);
  EXPECT_EQ(loaded.SaveToBytes(), file);

  TZelDemoScript copy;
  copy.FileName = QStringLiteral("own.dsc");
  copy.Assign(loaded);
  EXPECT_TRUE(copy.Utf8);
  EXPECT_EQ(copy.FileName, QStringLiteral("own.dsc"));
  EXPECT_EQ(copy.SaveToBytes(), file);
  copy.GetScriptLines().push_back("PAUSE 1");
  EXPECT_EQ(loaded.GetScriptLines().size(), 4u);  // a copy of its own
}

TEST(DemoScriptFile, AFailedSaveLeavesTheOldFileAndSaysSo) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("demo.dsc"));
  const QByteArray oldBytes("[Script]\r\nPAUSE 1\r\n");
  {
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(oldBytes);
  }
  TZelDemoScript script;
  script.Reset();
  script.GetScriptLines().push_back("PAUSE 2");
  const auto contents = [&] {
    QFile old(path);
    return old.open(QIODevice::ReadOnly) ? old.readAll() : QByteArray();
  };
  if (geteuid() != 0) {  // the superuser writes whatever the permissions say
    QFile::setPermissions(path, QFileDevice::ReadOwner);
    EXPECT_FALSE(script.SaveToFile(path));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(contents(), oldBytes);
  }
  ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("taken.dsc")));
  EXPECT_FALSE(script.SaveToFile(folder.filePath(QStringLiteral("taken.dsc"))));
  EXPECT_FALSE(script.SaveToFile(folder.filePath(QStringLiteral("missing/demo.dsc"))));
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
            (QStringList{QStringLiteral("demo.dsc"), QStringLiteral("taken.dsc")}));
  EXPECT_EQ(contents(), oldBytes);
  EXPECT_TRUE(script.SaveToFile(path));
  EXPECT_EQ(contents(), QByteArray("[Info]\r\n[Script]\r\nPAUSE 2\r\n"));
}

TEST(DemoScriptFile, EachLanguageSectionReadsInItsOwnCodePage) {
  quill::ScopedLanguages languages{{1033, ""}, {1031, ""}, {1049, ""}};
  TZelDemoScript script;
  script.FileName = QStringLiteral("/demos/Wire Eraser.tour.dsc");
  script.LoadFromBytes(
      "[Info]\r\nTitle=Caf\xE9 (Info)\r\n"
      "[1033]\r\nTitle=Caf\xE9\r\n"
      "[1031]\r\nTitle=Gr\xF6\xDF" "e\r\n"
      "[1049]\r\nTitle=\xCF\xF0\xE8\xE2\xE5\xF2\r\n");
  EXPECT_EQ(script.GetTitle(), QStringLiteral("Café"));
  languages.Get().SetLanguage(1031);
  EXPECT_EQ(script.GetTitle(), QStringLiteral("Größe"));
  languages.Get().SetLanguage(1049);
  EXPECT_EQ(script.GetTitle(), QStringLiteral("Привет"));
  EXPECT_EQ(script.GetLocalizedValue("Missing"), QString());

  // No section for Russian: the base language's section, in its own code page.
  int index = -1;
  ASSERT_TRUE(script.FindSection("1049", index));
  script.DeleteSection(index);
  EXPECT_EQ(script.GetTitle(), QStringLiteral("Café"));

  // Neither: Info's title, then the file name.
  ASSERT_TRUE(script.FindSection("1033", index));
  script.DeleteSection(index);
  EXPECT_EQ(script.GetLocalizedValue("Title"), QString());
  EXPECT_EQ(script.GetTitle(), QStringLiteral("Café (Info)"));
  ASSERT_TRUE(script.FindSection("Info", index));
  script.GetSection(index).clear();
  EXPECT_EQ(script.GetTitle(), QStringLiteral("Wire Eraser.tour"));
}

TEST(DemoScriptFile, AUtf8ScriptReadsItsTextsAsUtf8) {
  quill::ScopedLanguages languages{{1049, ""}};
  TZelDemoScript script;
  script.LoadFromBytes("\xEF\xBB\xBF[Info]\r\nTitle=Gr\xC3\xB6\xC3\x9F" "e\r\n[1049]\r\nKey=\xD0\x9F\xD1\x80\xD0\xB8\r\n");
  EXPECT_EQ(script.GetLocalizedValue("key"), QStringLiteral("При"));
  EXPECT_EQ(script.GetTitle(), QStringLiteral("Größe"));
}

TEST(DemoScriptFile, UntrustedBytesLoadWithoutHarm) {
  // A line of a megabyte, NUL bytes, invalid UTF-8, lone CRs.
  std::string file = "\xEF\xBB\xBF[Info]\nTitle=\xC3\x28\xFF\n[Script]\nMESSAGE \"";
  file.append(1 << 20, 'x');
  file += "\"\nPAUSE\0 5\n\0\0\n\r\r\rMOUSEMOVE 1\0, 2\n[\0]\n"s;
  file.push_back('\0');
  TZelDemoScript script;
  script.LoadFromBytes(std::string_view(file.data(), file.size()));
  ASSERT_EQ(script.GetScriptLines().size(), 3u);
  EXPECT_EQ(script.GetScriptLines()[0].size(), (1u << 20) + 10);
  EXPECT_EQ(script.GetScriptLines()[1], std::string("PAUSE\0 5", 8));
  EXPECT_EQ(script.GetTitle(), QStringLiteral("\uFFFD(\uFFFD"));
  EXPECT_EQ(script.GetScriptLines()[2], std::string("MOUSEMOVE 1\0, 2", 15));
  EXPECT_EQ(SectionNames(script), (std::vector<std::string>{"Info", "Script", ""}));
  quill::RunDemoScriptInput(file);  // the megabyte shows in a balloon

  // A file above the limit is refused (a sparse file: nothing is written or read).
  QTemporaryDir folder;
  QFile huge(folder.filePath(QStringLiteral("huge.dsc")));
  ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
  huge.write("[Script]\r\nPAUSE 1\r\n");
  ASSERT_TRUE(huge.resize(TZelDemoScript::kMaxFileSize + 1));
  huge.close();
  EXPECT_FALSE(script.LoadFromFile(huge.fileName()));
  EXPECT_TRUE(script.GetScriptLines().empty());
  EXPECT_FALSE(script.LoadFromFile(QStringLiteral("/nonexistent/demo.dsc")));
}

TEST(DemoScriptFile, AMillionLinesLoadAndSaveWhole) {
  std::string file = "[Script]\r\n";
  file.reserve(10u << 20);
  for (int i = 1; i < 1000000; ++i) file += "PAUSE 0\r\n";
  file += "PAUSE 1\r\n";
  TZelDemoScript script;
  script.LoadFromBytes(file);
  ASSERT_EQ(script.GetScriptLines().size(), 1000000u);
  EXPECT_EQ(script.GetScriptLines().back(), "PAUSE 1");
  EXPECT_EQ(script.SaveToBytes(), file + "[Info]\r\n");
}

// A text quoted for a script line reads back as the same argument and shows as the same
// message; letters beyond the code page survive only in a UTF-8 script.
TEST(DemoScriptArguments, QuotedTextsReadBackAsTheyWere) {
  const QString texts[] = {"Say \"hi\" here", "it's", "a, b, c", "  spaced  ", "tab\there", "two\nlines",
                           "", "Gr\u00fc\u00dfe 100%", "\u041f\u0440\u0438\u0432\u0435\u0442"};
  for (const bool utf8 : {false, true}) {
    for (const QString& text : texts) {
      SCOPED_TRACE(text.toStdString());
      QString quoted;
      ASSERT_TRUE(quill::QuoteScriptText(text, quoted));
      std::string line;
      if (!quill::EncodeCodePage("Message " + quoted + ", 2", utf8 ? 65001 : 1252, line)) {
        EXPECT_FALSE(utf8);  // only the Cyrillic text, only in a single-byte script
        continue;
      }
      TZelDemoScript script;
      script.LoadFromBytes((utf8 ? "\xEF\xBB\xBF[Script]\r\n" : "[Script]\r\n") + line + "\r\n");
      quill::PlayerRig rig;
      rig.player.AssignScript(script);
      const auto action = rig.player.ParseLine(script.GetScriptLines().at(0));
      auto* balloon = dynamic_cast<TZelDemoScriptBalloonAction*>(action.get());
      ASSERT_NE(balloon, nullptr);
      balloon->Step();
      EXPECT_EQ(balloon->GetText(), text);
      EXPECT_EQ(balloon->GetWaitTime(), 2000);
    }
  }
  // Both quotes, and a backslash before an n (always read as a line feed), have no
  // quoted form; neither has a carriage return, which would end the line.
  for (const QString text : {"He said \"it's\"", "C:\\new", "a\rb"}) {
    QString quoted = "kept";
    EXPECT_FALSE(quill::QuoteScriptText(text, quoted)) << text.toStdString();
    EXPECT_EQ(quoted, "kept");
  }
}

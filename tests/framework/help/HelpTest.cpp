#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <map>
#include <vector>

#include "HelpViewer.h"
#include "MainWindowTesting.h"
#include "StandInOpener.h"
#include "ZelHelp.h"

namespace {

class HelpTest : public quill::MainWindowTest {
 protected:
  void SetUp() override {
    quill::MainWindowTest::SetUp();
    previousViewer_ = quill::SetHelpViewer(&viewer_);
  }
  void TearDown() override {
    quill::SetHelpViewer(previousViewer_);
    quill::MainWindowTest::TearDown();
  }

  TZelHelp* CreateHelp() {
    TZelHelp* help = nullptr;
    ZelApplication->CreateComponent(help);
    return help;
  }

  // The file that the viewer was asked to open last.
  QString LastOpened() const {
    return viewer_.Opened.empty() ? QString() : viewer_.Opened.back().toLocalFile();
  }

  quill::RecordingHelpViewer viewer_;

 private:
  quill::HelpViewer* previousViewer_ = nullptr;
};

QStringList Captions(const QMenu& menu) {
  QStringList captions;
  for (const QAction* item : menu.actions()) {
    captions << (item->isSeparator() ? QStringLiteral("-") : item->text());
  }
  return captions;
}

TEST_F(HelpTest, OpensThePagesBesideTheProgramFromTheHelpMenu) {
  TZelHelp* help = CreateHelp();
  help->Initialize();
  const QDir pages(QCoreApplication::applicationDirPath() + QStringLiteral("/help"));
  EXPECT_EQ(help->GetHelpFile(), pages.path());
  EXPECT_TRUE(help->GetIsHtmlHelp());
  EXPECT_EQ(Captions(*MainForm->HelpMenuItem),
            (QStringList{"Contents", "-", "Getting Started", "Technical Support"}));
  EXPECT_EQ(help->GetContentsMenuItem()->shortcut(), QKeySequence(Qt::Key_F1));

  // Each item opens its topic's page, and the page is there: the build copies the help
  // folder next to the program.
  const std::pair<QAction*, QString> items[] = {
      {help->GetContentsMenuItem(), "index.html"},
      {help->GetGettingStartedMenuItem(), "getting-started.html"},
      {help->GetTechnicalSupportMenuItem(), "support.html"}};
  for (const auto& [item, page] : items) {
    item->trigger();
    EXPECT_EQ(LastOpened(), pages.filePath(page));
    EXPECT_TRUE(QFileInfo(LastOpened()).isFile()) << page.toStdString();
  }
  help->ShowTopic(99);  // no such topic: the contents
  EXPECT_EQ(LastOpened(), pages.filePath("index.html"));
}

TEST_F(HelpTest, F1ShowsTheContents) {
  CreateHelp()->Initialize();
  MainForm->show();
  MainForm->activateWindow();
  QCoreApplication::processEvents();  // the activation, which window shortcuts need
  QTest::keyClick(MainForm->windowHandle(), Qt::Key_F1);
  ASSERT_EQ(viewer_.Opened.size(), 1u);
  EXPECT_TRUE(LastOpened().endsWith("/help/index.html"));
}

TEST_F(HelpTest, APageTheDesktopCannotOpenIsNamedInAMessage) {
  struct Message {
    QString Text;
    uint32_t Flags;
  };
  std::vector<Message> messages;
  ZelApplication->SetMessageBoxAnswerer([&messages](const QString& text, const QString&, uint32_t flags) {
    messages.push_back({text, flags});
    return quill::IDOK;
  });
  TZelHelp* help = CreateHelp();
  help->Initialize();
  help->ShowTopic(TZelHelp::kContentsTopic);
  EXPECT_TRUE(messages.empty());  // opened: nothing to say

  // No program to open it (no xdg-open): F1 and every item say which page it was.
  viewer_.Opens = false;
  MainForm->show();
  MainForm->activateWindow();
  QCoreApplication::processEvents();
  QTest::keyClick(MainForm->windowHandle(), Qt::Key_F1);
  ASSERT_EQ(messages.size(), 1u);
  const QString contents = QDir::toNativeSeparators(LastOpened());
  EXPECT_TRUE(contents.endsWith("/help/index.html"));
  EXPECT_TRUE(messages[0].Text.startsWith(contents + " cannot be opened")) << messages[0].Text.toStdString();
  EXPECT_EQ(messages[0].Flags & 0xF0, MB_ICONERROR);
  help->GetTechnicalSupportMenuItem()->trigger();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_TRUE(messages[1].Text.contains("/help/support.html"));
}

// With xdg-open on PATH the desktop's viewer learns only from its exit status that a
// page did not open (xdg-open without a browser or handler exits 3): F1 and the Help
// items then say which page it was, without the event loop waiting for the opener. An
// opener that succeeds, or that still runs when kPatience has passed, says nothing.
TEST_F(HelpTest, AnOpenerThatFailsIsToldAndOneThatOpensIsNot) {
  quill::StandInOpener opener;
  int64_t now = 0;
  quill::DesktopHelpViewer desktop([&now] { return now; });
  quill::SetHelpViewer(&desktop);
  QStringList messages;
  ZelApplication->SetMessageBoxAnswerer([&messages](const QString& text, const QString&, uint32_t flags) {
    EXPECT_EQ(flags & 0xF0, MB_ICONERROR);
    messages << text;
    return quill::IDOK;
  });
  TZelHelp* help = CreateHelp();
  help->Initialize();
  const QDir pages(QCoreApplication::applicationDirPath() + QStringLiteral("/help"));
  const QString contents = pages.filePath("index.html");

  opener.EndWith("3");
  MainForm->show();
  MainForm->activateWindow();
  QCoreApplication::processEvents();
  QTest::keyClick(MainForm->windowHandle(), Qt::Key_F1);
  EXPECT_EQ(desktop.GetRunningCount(), 1);  // F1 has returned; the opener still runs
  EXPECT_TRUE(messages.isEmpty());
  quill::WaitForOpeners(desktop);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].startsWith(contents + " cannot be opened")) << messages[0].toStdString();
  EXPECT_EQ(opener.Arguments(), QStringList{contents});

  opener.EndWith("0");
  help->GetGettingStartedMenuItem()->trigger();
  quill::WaitForOpeners(desktop);
  EXPECT_EQ(messages.size(), 1);

  opener.EndWith("killed");
  help->GetTechnicalSupportMenuItem()->trigger();
  quill::WaitForOpeners(desktop);
  ASSERT_EQ(messages.size(), 2);
  EXPECT_TRUE(messages[1].startsWith(pages.filePath("support.html") + " cannot be opened"));

  // The same failure once the opener has had its time: the browser was at work.
  opener.EndWith("3");
  help->ShowTopic(TZelHelp::kContentsTopic);
  now += quill::DesktopHelpViewer::kPatience;
  quill::WaitForOpeners(desktop);
  EXPECT_EQ(messages.size(), 2);
  help->ShowTopic(TZelHelp::kContentsTopic);
  now += quill::DesktopHelpViewer::kPatience - 1;
  quill::WaitForOpeners(desktop);
  EXPECT_EQ(messages.size(), 3);
  EXPECT_EQ(opener.Arguments().size(), 5);
}

TEST_F(HelpTest, AHelpFileNamedToTheApplicationWins) {
  QTemporaryDir folder;
  const QString manual = QDir(folder.path()).filePath("manual.pdf");
  QFile(manual).open(QIODevice::WriteOnly);

  // A single document opens whole, whatever the topic.
  ZelApplication->SetHelpFile(manual);
  TZelHelp* help = CreateHelp();
  EXPECT_EQ(help->GetHelpFile(), manual);
  EXPECT_FALSE(help->GetIsHtmlHelp());
  help->ShowTopic(TZelHelp::kGettingStartedTopic);
  EXPECT_EQ(LastOpened(), manual);
  delete help;

  // A folder of pages gives each topic its page there.
  ZelApplication->SetHelpFile(folder.path());
  help = CreateHelp();
  EXPECT_TRUE(help->GetIsHtmlHelp());
  help->ShowTopic(TZelHelp::kTechnicalSupportTopic);
  EXPECT_EQ(LastOpened(), QDir(folder.path()).filePath("support.html"));
}

TEST_F(HelpTest, GettingStartedOpensOnceAndOnlyWhenTheFlagIsSet) {
  const auto stored = [](uint8_t value) {
    return quill::SavedBytes([value](TZelSDFWriter& writer) {
      writer.BeginGuidNode(1, TZelHelp::kSettingsGuid);
      writer.WriteByte(1, value);
      writer.EndNode();
    });
  };

  // As the program runs: the flag is off, a stored 1 does not turn it on, nothing is
  // queued at start and 0 is stored.
  TZelHelp* help = CreateHelp();
  quill::LoadBytes(stored(1), [help](TZelSDFReader& reader) { help->LoadState(reader); });
  EXPECT_FALSE(help->GetShowGettingStarted());
  help->Initialize();
  EXPECT_EQ(ZelApplication->GetDeferredCallCount(), 0);
  EXPECT_EQ(quill::SavedBytes([help](TZelSDFWriter& writer) { help->SaveState(writer); }), stored(0));

  // A set flag takes the stored value.
  help->SetShowGettingStarted(true);
  quill::LoadBytes(stored(0), [help](TZelSDFReader& reader) { help->LoadState(reader); });
  EXPECT_FALSE(help->GetShowGettingStarted());

  // Set at start: shown by a deferred call, after start-up, then cleared.
  help->SetShowGettingStarted(true);
  help->Initialize();
  EXPECT_TRUE(viewer_.Opened.empty());
  ZelApplication->RunDeferredCall();
  EXPECT_TRUE(LastOpened().endsWith("/help/getting-started.html"));
  EXPECT_FALSE(help->GetShowGettingStarted());
}

TEST_F(HelpTest, TheMenuFollowsTheLanguage) {
  TZelHelp* help = CreateHelp();
  help->Initialize();
  SetLanguage(1031);
  EXPECT_EQ(Captions(*MainForm->HelpMenuItem),
            (QStringList{"Inhalt", "-", "Erste Schritte", "Technischer Support"}));
  delete help;
  EXPECT_TRUE(MainForm->HelpMenuItem->actions().isEmpty());
}

// ---- The help pages ----

struct HelpPage {
  QSet<QString> ids;
  QStringList links;  // href and src values
};

// Reads Page as XML (the pages are kept well-formed, so that this check can read them).
HelpPage ReadPage(const QString& fileName) {
  HelpPage page;
  QFile file(fileName);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << fileName.toStdString();
  QXmlStreamReader xml(&file);
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    const QXmlStreamAttributes attributes = xml.attributes();
    if (attributes.hasAttribute("id")) {
      EXPECT_FALSE(page.ids.contains(attributes.value("id").toString()))
          << "id given twice in " << fileName.toStdString();
      page.ids.insert(attributes.value("id").toString());
    }
    for (const char* name : {"href", "src"}) {
      if (attributes.hasAttribute(name)) page.links << attributes.value(name).toString();
    }
  }
  EXPECT_FALSE(xml.hasError()) << fileName.toStdString() << ": " << xml.errorString().toStdString()
                               << " at line " << xml.lineNumber();
  return page;
}

TEST(HelpPagesTest, EveryLinkAndAnchorResolvesAndEveryPageIsReachable) {
  const QDir folder(QCoreApplication::applicationDirPath() + QStringLiteral("/help"));
  std::map<QString, HelpPage> pages;
  for (const QString& name : folder.entryList({"*.html"}, QDir::Files)) {
    pages[name] = ReadPage(folder.filePath(name));
  }
  ASSERT_TRUE(pages.count("index.html"));

  const QRegularExpression external("^https://[a-z0-9.-]+(/[A-Za-z0-9/._-]*)?$");
  for (const auto& [name, page] : pages) {
    for (const QString& link : page.links) {
      const std::string where = name.toStdString() + ": " + link.toStdString();
      if (link.startsWith("https:")) {
        EXPECT_TRUE(external.match(link).hasMatch()) << where;
        continue;
      }
      const qsizetype hash = link.indexOf(u'#');
      const QString target = hash < 0 ? link : link.left(hash);
      const QString anchor = hash < 0 ? QString() : link.mid(hash + 1);
      const QString targetPage = target.isEmpty() ? name : target;
      EXPECT_FALSE(target.contains(u'/') || target.contains(u':')) << where;
      EXPECT_TRUE(QFileInfo(folder.filePath(targetPage)).isFile()) << where;
      if (!anchor.isEmpty()) {
        EXPECT_TRUE(pages.count(targetPage) && pages[targetPage].ids.contains(anchor)) << where;
      }
    }
  }

  // Every page can be reached from the contents.
  QSet<QString> reached{"index.html"};
  std::vector<QString> open{"index.html"};
  while (!open.empty()) {
    const QString name = open.back();
    open.pop_back();
    for (const QString& link : pages[name].links) {
      const QString target = link.section(u'#', 0, 0);
      if (target.endsWith(".html") && pages.count(target) && !reached.contains(target)) {
        reached.insert(target);
        open.push_back(target);
      }
    }
  }
  for (const auto& [name, page] : pages) EXPECT_TRUE(reached.contains(name)) << name.toStdString();
}

}  // namespace

// The English texts that ship, the help pages and the language file, spell "colour"
// one way, as the README does.
TEST(HelpPagesTest, TheEnglishTextsSpellColourOneWay) {
  const QString folder = QCoreApplication::applicationDirPath();
  QStringList files = {folder + QStringLiteral("/Languages/English.ini")};
  for (const QString& name : QDir(folder + QStringLiteral("/help")).entryList({"*.html"}, QDir::Files)) {
    files << folder + QStringLiteral("/help/") + name;
  }
  const QRegularExpression american(QStringLiteral("\\bcolors?\\b"), QRegularExpression::CaseInsensitiveOption);
  for (const QString& name : files) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    const QString text = QString::fromUtf8(file.readAll());
    const QRegularExpressionMatch match = american.match(text);
    EXPECT_FALSE(match.hasMatch()) << name.toStdString() << ": " << match.captured().toStdString() << " at "
                                   << match.capturedStart();
  }
}

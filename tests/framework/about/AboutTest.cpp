#include <QFileInfo>
#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

#include "HelpViewer.h"
#include "MainWindowTesting.h"
#include "StandInOpener.h"
#include "ZelAbout.h"
#include "ZelUtils.h"

using namespace quill;

namespace {

class AboutTest : public quill::MainWindowTest {
 protected:
  void SetUp() override {
    quill::MainWindowTest::SetUp();
    previousViewer_ = SetHelpViewer(&viewer_);
  }
  void TearDown() override {
    SetHelpViewer(previousViewer_);
    quill::MainWindowTest::TearDown();
  }

  // The box for Quillmere's own table, with Count as its entry count.
  static std::unique_ptr<TZelAboutForm> ProgramBox(int32_t count) {
    return std::unique_ptr<TZelAboutForm>(quill::ZelCreate<TZelAboutForm>(
        nullptr, TZelAboutInfo{kAboutEntries, count, kAboutLogoResourceName}));
  }

  RecordingHelpViewer viewer_;

 private:
  HelpViewer* previousViewer_ = nullptr;
};

// Once the modal loop runs, Act gets the shown box.
void WhenShown(std::function<void(TZelAboutForm&)> act) {
  QTimer::singleShot(0, [act = std::move(act)] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* form = qobject_cast<TZelAboutForm*>(widget); form && form->isVisible()) act(*form);
    }
  });
}

TEST(AboutUrlTest, TheHostNameOfAnAddress) {
  EXPECT_EQ(UrlHostName("https://example.org/quillmere/support/"), "example.org");
  EXPECT_EQ(UrlHostName("https://example.org"), "example.org");
  EXPECT_EQ(UrlHostName("https://example.org:8080/x"), "example.org");
  EXPECT_EQ(UrlHostName("mailto:help@example.org"), "help@example.org");
  EXPECT_EQ(UrlHostName("file:\\\\server\\share"), "server");
  EXPECT_EQ(UrlHostName("example.org/quillmere"), "");
  EXPECT_EQ(UrlHostName("https://"), "");
}

TEST_F(AboutTest, LaysTheProgramsTableOutOverItsLogo) {
  const auto box = ProgramBox(static_cast<int32_t>(kAboutEntries.size()));
  TZelLogoBackground& logo = *box->GetLogo();
  // The table's positions are in the logo picture's own pixels, scaled to the control.
  const int pictureWidth = logo.GetPictureWidth();
  ASSERT_GT(pictureWidth, 0);
  ASSERT_EQ(box->GetLabels().size(), 6u);
  const auto label = [&box](int i) { return box->GetLabels()[static_cast<size_t>(i)].Control; };
  const auto scaled = [&](int value) { return MulDiv(value, logo.width(), pictureWidth); };
  const QFontMetrics metrics(logo.font());

  EXPECT_EQ(label(0)->text(), "Photo retouching");
  EXPECT_TRUE(label(0)->font().bold());
  EXPECT_EQ(label(0)->pos(), QPoint(scaled(16), scaled(90)));

  // "Web site:" right-aligned in its fixed width, the link on the same line after one
  // average character.
  EXPECT_EQ(label(1)->text(), "Web site:");
  EXPECT_EQ(label(1)->width(), scaled(75));
  EXPECT_TRUE(label(1)->alignment() & Qt::AlignRight);
  // The links name pages of the bundled help; their captions are the addresses' hosts.
  EXPECT_EQ(label(2)->text(), "Help");
  EXPECT_EQ(label(2)->toolTip(), "help://Help/index.html");
  EXPECT_EQ(label(2)->pos(),
            QPoint(label(1)->geometry().right() + 1 + metrics.averageCharWidth(), label(1)->y()));
  EXPECT_TRUE(label(2)->font().underline());
  EXPECT_EQ(label(2)->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  EXPECT_EQ(label(2)->cursor().shape(), Qt::PointingHandCursor);

  // The support line half a line lower, below the first line of labels.
  const int halfLine =
      static_cast<int>(quill::RoundHalfEven((metrics.height() + metrics.leading()) * 0.5));
  const int lineBottom = label(1)->geometry().bottom() + 1;
  EXPECT_EQ(label(3)->pos(), QPoint(label(1)->x(), lineBottom + halfLine + 2 * metrics.leading()));
  EXPECT_EQ(label(4)->text(), "Support");
  EXPECT_EQ(label(4)->toolTip(), "help://Support/support.html");
  EXPECT_EQ(label(4)->y(), label(3)->y());

  // The notice line names the version the build was made from.
  EXPECT_EQ(label(5)->text(), "Quillmere " QUILL_VERSION " \u00B7 Copyright (C) Quillmere developers");
  EXPECT_EQ(label(5)->pos(), QPoint(scaled(16), scaled(275)));
  EXPECT_EQ(box->GetAboutTabControl()->count(), 1);
  for (const TZelAboutForm::Label& each : box->GetLabels()) {
    EXPECT_FALSE(each.Control->isHidden());
    EXPECT_TRUE(box->GetLogo()->rect().contains(each.Control->geometry()))
        << each.Control->text().toStdString();
  }
}

TEST_F(AboutTest, ReadsNoEntryBeyondTheTable) {
  // A count larger than the table (the program once passed 15 for its 6 entries) reads
  // the table only; a negative count reads nothing.
  EXPECT_EQ(ProgramBox(15)->GetLabels().size(), 6u);
  EXPECT_EQ(ProgramBox(3)->GetLabels().size(), 3u);
  EXPECT_TRUE(ProgramBox(-1)->GetLabels().empty());
}

TEST_F(AboutTest, LabelsShowOnTheirOwnTabAndPositionsFollowTheControlsWidth) {
  static constexpr std::array<TZelAboutEntry, 3> kEntries = {{
      {u"Everywhere", 0, 10, 20, 0, 0, 0.0f, -1},
      {u"Third", kAboutWhite, 30, 40, 0, 0, 0.0f, 2},
      {u"Second", 0, 0, 0, 0, 0, 0.0f, 1},
  }};
  const std::unique_ptr<TZelAboutForm> box(
      quill::ZelCreate<TZelAboutForm>(nullptr, TZelAboutInfo{kEntries, 3, "NoSuchLogo"}));
  // No picture: positions are taken as control pixels.
  EXPECT_EQ(box->GetLogo()->GetPictureWidth(), 0);
  const auto& labels = box->GetLabels();
  EXPECT_EQ(labels[0].Control->pos(), QPoint(10, 20));
  EXPECT_EQ(labels[1].Control->palette().color(QPalette::WindowText), QColor(255, 255, 255));

  // Tabs carry the numbers their labels ask for, in the order asked.
  QTabBar& tabs = *box->GetAboutTabControl();
  ASSERT_EQ(tabs.count(), 3);
  EXPECT_EQ(tabs.tabText(1), "License");
  EXPECT_EQ(tabs.tabText(2), "Credits");
  EXPECT_TRUE(labels[1].Control->isHidden());
  tabs.setCurrentIndex(1);
  EXPECT_FALSE(labels[0].Control->isHidden());
  EXPECT_FALSE(labels[1].Control->isHidden());
  EXPECT_TRUE(labels[2].Control->isHidden());

  // Picture pixels are scaled to a control twice as wide.
  box->BuildLabels(986, 493, 1, kEntries);
  EXPECT_EQ(labels.back().Control->pos(), QPoint(20, 40));
}

TEST_F(AboutTest, HelpAboutOpensTheBoxModallyAndEscOrEnterClosesIt) {
  TZelAbout* about = nullptr;
  ZelApplication->CreateComponent(about);
  about->SetAboutInfo(kAboutEntries, static_cast<int32_t>(kAboutEntries.size()),
                      kAboutLogoResourceName);
  about->Initialize();
  const QList<QAction*> items = MainForm->HelpMenuItem->actions();
  ASSERT_EQ(items.size(), 2);
  EXPECT_TRUE(items[0]->isSeparator());
  EXPECT_EQ(items[1], about->GetAboutMenuItem());
  EXPECT_EQ(items[1]->text(), "About Quillmere");

  for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
    bool shown = false;
    WhenShown([key, &shown](TZelAboutForm& form) {
      shown = true;
      EXPECT_EQ(form.windowModality(), Qt::ApplicationModal);
      EXPECT_EQ(form.windowTitle(), "About Quillmere");
      form.activateWindow();
      QTest::keyClick(form.windowHandle(), key);
      if (form.isVisible()) {
        ADD_FAILURE() << "the key left the box open";
        form.close();
      }
    });
    about->GetAboutMenuItem()->trigger();
    EXPECT_TRUE(shown);
  }
}

TEST(AboutLinkUrlTest, AHelpLinkOpensItsPageOfTheBundledHelpAndAnyOtherItsAddress) {
  const QString help = QCoreApplication::applicationDirPath() + "/help/";
  EXPECT_EQ(quill::AboutLinkUrl("help://Support/support.html"), QUrl::fromLocalFile(help + "support.html"));
  EXPECT_EQ(quill::AboutLinkUrl("help://Help"), QUrl::fromLocalFile(help + "index.html"));
  EXPECT_EQ(quill::AboutLinkUrl("https://example.org/a/"), QUrl("https://example.org/a/"));
}

// Every help page an About link names is bundled.
TEST(AboutLinkUrlTest, TheProgramsLinksNameBundledPages) {
  for (const TZelAboutEntry& entry : kAboutEntries) {
    if ((entry.Flags & quill::kAboutLink) == 0) continue;
    const QUrl url = quill::AboutLinkUrl(QString::fromUtf16(entry.Text.Fixed));
    EXPECT_TRUE(url.isLocalFile()) << url.toString().toStdString();
    EXPECT_TRUE(QFileInfo(url.toLocalFile()).isFile()) << url.toString().toStdString();
  }
}

TEST_F(AboutTest, ClickingALinkOpensItsPage) {
  const auto box = ProgramBox(static_cast<int32_t>(kAboutEntries.size()));
  box->show();
  const auto& labels = box->GetLabels();
  QTest::mouseClick(labels[1].Control, Qt::LeftButton);  // "Web site:" is no link
  QTest::mouseClick(labels[4].Control, Qt::RightButton);
  EXPECT_TRUE(viewer_.Opened.empty());
  QTest::mouseClick(labels[4].Control, Qt::LeftButton);
  ASSERT_EQ(viewer_.Opened.size(), 1u);
  EXPECT_EQ(viewer_.Opened[0],
            QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + "/help/support.html"));

  // Without a browser the user learns which address to open by hand.
  QStringList messages;
  ZelApplication->SetMessageBoxAnswerer([&messages](const QString& text, const QString&, uint32_t) {
    messages << text;
    return IDOK;
  });
  viewer_.Opens = false;
  QTest::mouseClick(labels[2].Control, Qt::LeftButton);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].startsWith(QCoreApplication::applicationDirPath() + "/help/index.html cannot be opened"))
      << messages[0].toStdString();
}

// A link that xdg-open cannot open (it exits 3) is told once the opener has ended.
TEST_F(AboutTest, ALinkTheOpenerFailsOnIsTold) {
  StandInOpener opener;
  opener.EndWith("3");
  DesktopHelpViewer desktop;
  SetHelpViewer(&desktop);
  QStringList messages;
  ZelApplication->SetMessageBoxAnswerer([&messages](const QString& text, const QString&, uint32_t) {
    messages << text;
    return IDOK;
  });
  const auto box = ProgramBox(static_cast<int32_t>(kAboutEntries.size()));
  box->show();
  QTest::mouseClick(box->GetLabels()[4].Control, Qt::LeftButton);
  WaitForOpeners(desktop);
  // The Support link opens the bundled support page.
  ASSERT_EQ(opener.Arguments().size(), 1);
  const QString page = opener.Arguments()[0];
  EXPECT_TRUE(page.endsWith("/help/support.html")) << page.toStdString();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].startsWith(page + " cannot be opened")) << messages[0].toStdString();
}

TEST_F(AboutTest, AChangeOfLanguageRecaptionsTheItemTheBoxAndItsTabs) {
  TZelAbout* about = nullptr;
  ZelApplication->CreateComponent(about);
  about->Initialize();
  static constexpr std::array<TZelAboutEntry, 1> kEntries = {{{u"x", 0, 0, 0, 0, 0, 0.0f, 1}}};
  const std::unique_ptr<TZelAboutForm> box(
      quill::ZelCreate<TZelAboutForm>(nullptr, TZelAboutInfo{kEntries, 1, "About"}));

  SetLanguage(1031);
  EXPECT_EQ(about->GetAboutMenuItem()->text(), "Über Quillmere");
  EXPECT_EQ(box->windowTitle(), "Über Quillmere");
  EXPECT_EQ(box->GetAboutTabControl()->tabText(0), "Über Quillmere");
  EXPECT_EQ(box->GetAboutTabControl()->tabText(1), "Mitwirkende");
}

// The logo is found by its name in any case and painted over the whole control; a
// missing one leaves the control unpainted and gives no picture width.
TEST(AboutLogoTest, TheLogoIsFoundByItsNameInAnyCaseAndPainted) {
  TZelLogoBackground logo(nullptr);
  logo.resize(120, 70);
  const auto painted = [&logo] {
    QImage image(logo.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    logo.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (image.pixel(x, y) != QColor(Qt::magenta).rgb()) return true;
      }
    }
    return false;
  };
  for (const char* name : {"about", "ABOUT", "About"}) {
    EXPECT_TRUE(logo.LoadLogo(name)) << name;
    EXPECT_GT(logo.GetPictureWidth(), 0) << name;
    EXPECT_TRUE(painted()) << name;
  }
  for (const char* name : {"Missing", ""}) {
    EXPECT_FALSE(logo.LoadLogo(name)) << name;
    EXPECT_EQ(logo.GetPictureWidth(), 0) << name;
    EXPECT_FALSE(painted()) << name;
  }
}

}  // namespace

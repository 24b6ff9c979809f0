// Windows larger than the screen's available area (the test's offscreen screen) are
// fitted to it as they are shown; windows that fit keep their size and place; pop-ups
// are left alone. The program's own dialogs are fitted by the application's filter.

#include <gtest/gtest.h>

#include <QDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QVBoxLayout>

#include "MainForm.h"
#include "ScreenFit.h"
#include "ZelForms.h"
#include "ZelLocalizer.h"

namespace {

QRect Available() { return QGuiApplication::primaryScreen()->availableGeometry(); }

// A dialog whose layout asks for Minimum.
std::unique_ptr<QDialog> DialogNeeding(const QSize& minimum) {
  auto dialog = std::make_unique<QDialog>();
  auto* layout = new QVBoxLayout(dialog.get());
  auto* content = new QWidget(dialog.get());
  content->setMinimumSize(minimum);
  layout->addWidget(content);
  return dialog;
}

class ScreenFitTest : public testing::Test {
 private:
  quill::TZelLocalizerUnit localizerUnit_;
  quill::TZelFormsUnit formsUnit_;
};

TEST_F(ScreenFitTest, AWindowLargerThanTheScreenIsShownInsideIt) {
  const QRect area = Available();
  auto dialog = DialogNeeding(area.size() + QSize(300, 200));
  dialog->move(area.topLeft() + QPoint(100, 100));
  dialog->show();
  EXPECT_TRUE(area.contains(dialog->frameGeometry())) << dialog->width() << " x " << dialog->height();
  EXPECT_LE(dialog->minimumWidth(), area.width());
  EXPECT_LE(dialog->minimumHeight(), area.height());
}

TEST_F(ScreenFitTest, AWindowThatFitsKeepsItsSizeAndPlaceAndIsMovedOnlyIntoTheArea) {
  const QRect area = Available();
  auto dialog = DialogNeeding(QSize(200, 100));
  dialog->setGeometry(area.left() + 50, area.top() + 40, 300, 200);
  dialog->show();
  EXPECT_EQ(dialog->geometry(), QRect(area.left() + 50, area.top() + 40, 300, 200));
  dialog->hide();
  dialog->move(area.right() - 100, area.bottom() - 50);
  dialog->show();
  EXPECT_EQ(dialog->size(), QSize(300, 200));
  EXPECT_TRUE(area.contains(dialog->frameGeometry()));
}

TEST_F(ScreenFitTest, PopUpsAreLeftAlone) {
  QMenu menu;
  menu.addAction(QStringLiteral("An item"));
  menu.setMinimumSize(Available().size() + QSize(10, 10));
  menu.popup(QPoint(0, 0));
  EXPECT_GT(menu.minimumWidth(), Available().width());
  menu.hide();
}

TEST(FirstMainWindowSizeTest, TakesFourFifthsOfTheAreaButNotLessThanTheFormNorMoreThanTheArea) {
  EXPECT_EQ(quill::FirstMainWindowSize(QSize(1280, 800)), QSize(1024, 640));
  EXPECT_EQ(quill::FirstMainWindowSize(QSize(600, 500)), QSize(534, 458));
  EXPECT_EQ(quill::FirstMainWindowSize(QSize(500, 400)), QSize(500, 400));
}

}  // namespace

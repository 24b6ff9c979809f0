// The player driving real widgets through the pointer driver and its pacing timer,
// headless. The clock moves 25 ms each time the player reads it, so moves take few
// steps; the test waits on the event loop, never on time.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <string>
#include <vector>

#include "ZelDemoPlayback.h"

namespace {

quill::TPoint CentreOf(const QWidget* widget) {
  const QPoint centre = widget->mapToGlobal(QPoint(widget->width() / 2, widget->height() / 2));
  return {centre.x(), centre.y()};
}

}  // namespace

TEST(DemoWithWidgets, ClicksReachButtonsAndADialogThatAClickOpened) {
  QWidget window;
  window.setGeometry(100, 100, 400, 300);
  auto* open = new QPushButton(QStringLiteral("Open"), &window);
  open->setGeometry(20, 20, 100, 30);
  auto* count = new QPushButton(QStringLiteral("Count"), &window);
  count->setGeometry(260, 220, 100, 30);
  int counted = 0;
  QObject::connect(count, &QPushButton::clicked, [&] { ++counted; });
  int dialogResult = -1;
  QObject::connect(open, &QPushButton::clicked, [&] {
    QDialog dialog(&window);
    dialog.resize(200, 120);
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setGeometry(50, 40, 100, 30);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    dialogResult = dialog.exec();
  });
  window.show();
  window.activateWindow();
  QCoreApplication::processEvents();

  int64_t now = 0;
  TZelDemoPlayback player(nullptr, [&now] { return now += 25; });
  player.GetScript().GetScriptLines() = {"MOUSESPEED 20", "MOUSECLICK Open", "MOUSECLICK DialogOk",
                                         "MOUSECLICK Count"};
  player.OnTargetPoint = [&](TZelDemoPlayback*, const TZelDemoScriptParams& params, bool& found, quill::TPoint& point) {
    const std::string name = quill::UpperCase(quill::VariantToText(quill::ParamAt(params, 0)));
    const QWidget* target = nullptr;
    if (name == "OPEN") target = open;
    if (name == "COUNT") target = count;
    if (name == "DIALOGOK" && QApplication::activeModalWidget() != nullptr) {
      target = QApplication::activeModalWidget()->findChild<QPushButton*>(QStringLiteral("ok"));
    }
    found = target != nullptr;
    if (found) point = CentreOf(target);
  };
  QEventLoop loop;
  std::vector<std::string> errors;
  bool finished = false;
  player.OnError = [&](TZelDemoPlayback*, const QString& message, bool&, const std::string& line) {
    errors.push_back(message.toStdString() + " | " + line);
    loop.quit();
  };
  player.OnFinished = [&](TZelDemoPlayback*) {
    finished = true;
    loop.quit();
  };
  bool timedOut = false;
  QTimer::singleShot(30000, &loop, [&] {  // only when something hangs
    timedOut = true;
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
    loop.quit();
  });
  player.Play(0);
  loop.exec();

  EXPECT_FALSE(timedOut);
  EXPECT_TRUE(errors.empty()) << errors.front();
  EXPECT_TRUE(finished);
  EXPECT_EQ(dialogResult, QDialog::Accepted);
  EXPECT_EQ(counted, 1);
  EXPECT_EQ(player.GetCursorPoint(), CentreOf(count));
  EXPECT_FALSE(player.GetThread().IsActive());
}

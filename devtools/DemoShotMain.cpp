// quill-demo-shot: pictures of the demo windows, to look at them under Xvfb (or
// offscreen): the demo list as it opens at start (demo-list.png), the demo editor
// recording a click on the photo with a message in quotes and then being given a
// message that no script line can hold (demo-editor.png), and its script once the
// recording has stopped (demo-editor-stopped.png).
//
//   quill-demo-shot OUTPUT-FOLDER [PHOTO]
//
// The settings live in a temporary folder; message boxes are answered at once.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

#include "MainForm.h"
#include "Module.h"
#include "Program.h"
#include "ScreenPicture.h"
#include "ZelDemoEditor.h"
#include "ZelDemonstrationModule.h"
#include "ZelGraphicsEditor.h"
#include "ZelLocalizer.h"

namespace {

void Settle() {
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: quill-demo-shot OUTPUT-FOLDER [PHOTO]\n");
    return 2;
  }
  QTemporaryDir settings;
  qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
  int programArgc = 1;
  quill::TProgram program(programArgc, argv);
  const QDir out(QString::fromLocal8Bit(argv[1]));
  QDir().mkpath(out.path());
  ZelApplication->SetMessageBoxAnswerer([](const QString&, const QString&, uint32_t) { return quill::IDOK; });
  DemonstrationModule->ShowAtStartup = false;  // no demo list at start
  ZelApplication->LoadSettings();
  MainForm->resize(1100, 760);
  MainForm->move(40, 30);
  MainForm->show();
  Settle();

  // The demo list, as at start.
  QTimer::singleShot(300, [&out] {
    quill::ScreenPicture().save(out.filePath("demo-list.png"));
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (auto* form = qobject_cast<TZelDemonstrationForm*>(window)) form->CloseButton->click();
    }
  });
  DemonstrationModule->ShowDemoDialog();

  // The demo editor recording a click on the photo.
  const QString photo = argc > 2 ? QString::fromLocal8Bit(argv[2]) : GraphicsEditor->ImagesFolder + "astronaut.png";
  TZelDocument* document = nullptr;
  GraphicsEditor->OpenFile(QDir::current().absoluteFilePath(photo), document, false);
  DemoEditorModule->CmDemoEditor();
  TZelDemoEditorForm* editor = DemoEditorModule->GetEditorForm();
  editor->ScriptMemo->setPlainText("IMAGEOPEN astronaut.png, 800, 640\nMESSAGE \"%Welcome\", 4");
  editor->AddLanguage("1033");
  editor->ScriptMemo->setPlainText("Title=A first demo\nWelcome=This demo shows the photo.");
  editor->SelectTab(1);
  editor->MessageComboBox->setEditText(QStringLiteral("Say \"hi\" here"));
  editor->CmRecord();
  quill::PointerDriver& pointer = DemonstrationModule->GetPlayback().GetPointerDriver();
  pointer.BeginDriving();
  const QWidget* client = MainForm->ClientArea;
  // Below the editor window, on the photo.
  const QPoint centre = client->mapToGlobal(QPoint(client->width() / 3, client->height() * 3 / 4));
  pointer.SetPosition({centre.x(), centre.y()});
  Settle();
  pointer.SendButtons(MOUSEEVENTF_LEFTDOWN);
  Settle();
  pointer.SendButtons(MOUSEEVENTF_LEFTUP);
  Settle();
  pointer.SetPosition({centre.x() + 40, centre.y() + 30});
  Settle();
  editor->MessageComboBox->setEditText(QStringLiteral("He said \"it's\""));
  editor->UpdateControls();
  Settle();
  quill::ScreenPicture().save(out.filePath("demo-editor.png"));
  editor->CmStop();
  pointer.EndDriving();
  Settle();
  quill::ScreenPicture().save(out.filePath("demo-editor-stopped.png"));
  return 0;
}

// quill-editor-shot: runs the program's composition root on a photo and writes
// pictures of what the user sees: the photo at best fit, at 16/1 and scrolled at 1:1,
// the status bar with the pointer over a pixel, and the File, Edit and View menus
// open. It is how we look at the editor under Xvfb (menus are separate windows, so the
// pictures are taken from the screen).
//
//   quill-editor-shot OUTPUT-FOLDER [PHOTO [LANGID]]
//
// The photo (the bundled astronaut by default) is read with the image codecs straight
// into the document: this tool's format table reads files, whatever the program's does.

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QThread>
#include <QToolBar>

#include <cstdio>

#include "ImageCodecs.h"
#include "MainForm.h"
#include "Module.h"
#include "ProgressMeter.h"
#include "ZelDockablePanel.h"
#include "ZelFileDialogs.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsView.h"
#include "ZelLocalizer.h"
#include "ZelPrinter.h"
#include "ZelSystemInfoModule.h"
#include "ZelToolPanelModule.h"

namespace {

// Reads any file the codecs decode into the document.
class CodecFormats : public TZelGraphicsFormats {
 public:
  bool Load(TZelDocument* document, const QString& fileName, int32_t& formatId) override {
    auto* graphics = dynamic_cast<TZelGraphicsDocument*>(document);
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    if (graphics == nullptr ||
        !quill::LoadImageFile(fileName.toStdString(), graphics->CurrentImage, format, metadata)) {
      return false;
    }
    graphics->OriginalImage.AssignPixels(graphics->GetCurrentPixels());
    graphics->SyncCommittedCopy();
    formatId = 0;
    return true;
  }
};

class ShotEditor : public TZelGraphicsEditor {
 public:
  using TZelGraphicsEditor::TZelGraphicsEditor;
  TZelDocumentFormats& GetFormats() override { return formats_; }

 private:
  CodecFormats formats_;
};

// Lets the window settle as a running event loop would, idle time included.
void Settle(int milliseconds = 150) {
  for (int i = 0; i < milliseconds / 10; ++i) {
    QApplication::processEvents();
    ZelApplication->DoIdle();
    QThread::msleep(10);
  }
}

bool SaveScreen(const QString& folder, const QString& name, const QRect& area = QRect()) {
  QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
  if (!area.isNull()) screen = screen.copy(area);
  const bool saved = screen.save(QDir(folder).filePath(name));
  std::printf("%s %s\n", saved ? "wrote" : "cannot write", qPrintable(name));
  return saved;
}

void SendKey(QWidget* target, QEvent::Type type, int key) {
  QKeyEvent event(type, key, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint point, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(point), QPointF(target->mapToGlobal(point)), button, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

void ShowMenu(const QString& folder, const QString& name, QMenu* menu) {
  const QRect frame = MainForm->frameGeometry();
  menu->popup(MainForm->mapToGlobal(QPoint(8, MainForm->menuBar()->height())));
  Settle();
  const QRect area = frame.united(menu->geometry()).adjusted(0, 0, 4, 4);
  SaveScreen(folder, name, area);
  menu->hide();
  Settle(50);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: quill-editor-shot OUTPUT-FOLDER [PHOTO [LANGID]]\n");
    return 2;
  }
  QApplication application(argc, argv);
  quill::TZelLocalizerUnit localizerUnit;
  quill::TZelFormsUnit formsUnit;
  quill::TZelPrinterUnit printerUnit;
  const QString folder = QString::fromLocal8Bit(argv[1]);
  const QString photo = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                 : QStringLiteral(QUILL_IMAGES_DIR "/astronaut.png");
  if (argc > 3) SetLanguage(static_cast<uint16_t>(QString::fromLocal8Bit(argv[3]).toUShort()));
  QDir().mkpath(folder);

  // The composition root, as far as it exists, with this tool's editor.
  ZelApplication->Initialize();
  ZelApplication->SetTitle(QStringLiteral("Quillmere"));
  ShotEditor* editor = nullptr;
  ZelApplication->CreateComponent(editor);
  GraphicsEditor = editor;
  TZelSystemInfoModule* systemInfo = nullptr;
  ZelApplication->CreateComponent(systemInfo);
  TZelToolPanelModule* toolPanel = nullptr;
  ZelApplication->CreateComponent(toolPanel);
  toolPanel->GetPanel()->SetMaxClientWidth(264);
  toolPanel->GetPanel()->SetMinClientWidth(264);
  MainForm->AddSeparator(editor->StandardToolbar, nullptr);
  auto* progressBar = new QProgressBar(MainForm);
  progressBar->setTextVisible(false);
  progressBar->setFixedWidth(200);
  MainForm->StatusBar->addPermanentWidget(progressBar);
  TProgressMeter meter(progressBar);
  meter.Reset(0);
  quill::TZelQtTranslation qtTranslation;
  ZelApplication->LoadSettings();

  MainForm->setGeometry(20, 20, 1100, 760);
  MainForm->show();
  Settle(400);

  TZelDocument* document = nullptr;
  if (!editor->OpenFile(photo, document, true)) {
    std::fprintf(stderr, "quill-editor-shot: cannot read %s\n", qPrintable(photo));
    return 1;
  }
  Settle();
  TZelGraphicsView* view = editor->GetCurrentView();
  const QRect frame = MainForm->frameGeometry();

  // The pointer over the middle of the view: the status bar shows that pixel.
  QCursor::setPos(view->mapToGlobal(view->rect().center()));
  SendMouse(view, QEvent::MouseMove, view->rect().center(), Qt::NoButton, Qt::NoButton);
  Settle();
  SaveScreen(folder, QStringLiteral("best-fit.png"), frame);
  const QRect bar(MainForm->StatusBar->mapToGlobal(QPoint(0, 0)), MainForm->StatusBar->size());
  SaveScreen(folder, QStringLiteral("status-bar.png"), bar);

  for (int i = 0; i < 25; ++i) editor->ZoomInClick();
  Settle();
  SaveScreen(folder, QStringLiteral("zoom-16.png"), frame);

  // 1:1, then dragged with the hand (Space held).
  editor->ActualSizeClick();
  Settle();
  const QPoint centre = view->rect().center();
  SendKey(view, QEvent::KeyPress, Qt::Key_Space);
  SendMouse(view, QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton);
  SendMouse(view, QEvent::MouseMove, centre + QPoint(150, 120), Qt::NoButton, Qt::LeftButton);
  SendMouse(view, QEvent::MouseButtonRelease, centre + QPoint(150, 120), Qt::LeftButton,
            Qt::NoButton);
  Settle();
  SaveScreen(folder, QStringLiteral("scrolled.png"), frame);
  SendKey(view, QEvent::KeyRelease, Qt::Key_Space);

  ShowMenu(folder, QStringLiteral("file-menu.png"), MainForm->FileMenuItem);
  ShowMenu(folder, QStringLiteral("edit-menu.png"), editor->EditMenuItem);
  ShowMenu(folder, QStringLiteral("view-menu.png"), MainForm->ViewMenuItem);

  // The open dialog on the photo's folder.
  TZelOpenDialog dialog(MainForm, editor->GetFormats());
  dialog.SetFileName(photo);
  dialog.show();
  Settle(600);
  SaveScreen(folder, QStringLiteral("open-dialog.png"), dialog.frameGeometry().adjusted(0, 0, 4, 4));
  dialog.reject();

  ZelApplication->SetMessageBoxAnswerer([](const QString&, const QString&, uint32_t) { return quill::IDNO; });
  MainForm->close();
  return 0;
}

// quill-editor-shot: runs the program's composition root on a photo and writes
// pictures of what the user sees: the photo at best fit, at 16/1 and scrolled at 1:1,
// the status bar with the pointer over a pixel, and the File, Edit and View menus
// open, and the rotate, resize and crop tools at work on it. Then, on the sample photo
// with its cable, driven through the demo player's pointer driver: the Wire Eraser
// before, during and after a stroke along the cable, and Hand Inpainting marking,
// filling with both previews and confirmed. It is how we look at the editor under Xvfb
// (menus are separate windows, so the pictures are taken from the screen).
//
//   quill-editor-shot OUTPUT-FOLDER [PHOTO [LANGID]]
//
// An exchange file of the filter plug-in as PHOTO shows the editor in plug-in mode.
//
// The photo (the bundled astronaut by default) opens through the program's own format
// table, as File > Open opens it.

#include <QApplication>
#include <QComboBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QStatusBar>
#include <QThread>
#include <QToolBar>

#include <cstdio>
#include <vector>

#include "MainForm.h"
#include "ScreenPicture.h"
#include "Module.h"
#include "PointerDriver.h"
#include "WireEraserStroke.h"
#include "ZelCrop2Tool.h"
#include "ZelDockablePanel.h"
#include "ZelFileDialogs.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsView.h"
#include "ZelHandInpaintingTool.h"
#include "ZelResizeTool.h"
#include "ZelRotateTool.h"
#include "ZelToolPanelModule.h"
#include "ZelWireEraserTool.h"

namespace {

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
  quill::Settle();
  const QRect area = frame.united(menu->geometry()).adjusted(0, 0, 4, 4);
  SaveScreen(folder, name, area);
  menu->hide();
  quill::Settle(50);
}

// The pointer driver over image pixel Point of the current view, delivered.
void PointAt(quill::QtPointerDriver& pointer, TZelGraphicsEditor& editor, const quill::TPoint& point) {
  TZelGraphicsView* view = editor.GetCurrentView();
  const quill::TPoint device = view->GetMapMode().LogicalToDevice(point);
  const QPoint screen = view->mapToGlobal(QPoint(device.X, device.Y));
  pointer.SetPosition({screen.x(), screen.y()});
  quill::Settle(30);
}

void Buttons(quill::QtPointerDriver& pointer, uint32_t flags) {
  pointer.SendButtons(flags);
  quill::Settle(30);
}

// The tools on the sample photo with its cable, at 1:1.
void ShootTools(const QString& folder, TZelGraphicsEditor& editor, const QRect& frame) {
  editor.CloseClick();
  TZelDocument* document = nullptr;
  if (!editor.OpenFile(QStringLiteral(QUILL_IMAGES_DIR "/astronaut-wire.png"), document, true)) return;
  quill::Settle();
  editor.ActualSizeClick();
  quill::Settle();
  quill::QtPointerDriver pointer;
  pointer.BeginDriving();

  // A stroke along the cable with the bundled dabs (all of Size 10).
  const std::vector<quill::TPoint> stroke = quill::SampleCableStroke();
  if (stroke.size() < 20) return;
  editor.SetActiveTool(WireEraserTool);
  WireEraserTool->SetSize(10);
  PointAt(pointer, editor, stroke[0]);
  SaveScreen(folder, QStringLiteral("wire-before.png"), frame);
  PointAt(pointer, editor, stroke[0]);
  Buttons(pointer, MOUSEEVENTF_LEFTDOWN);
  for (size_t i = 1; i < stroke.size() / 2; ++i) PointAt(pointer, editor, stroke[i]);
  SaveScreen(folder, QStringLiteral("wire-during.png"), frame);
  for (size_t i = stroke.size() / 2; i < stroke.size(); ++i) PointAt(pointer, editor, stroke[i]);
  Buttons(pointer, MOUSEEVENTF_LEFTUP);
  PointAt(pointer, editor, {380, 120});
  SaveScreen(folder, QStringLiteral("wire-after.png"), frame);
  editor.UndoClick();

  // Hand Inpainting over the cable's lower part, filled from the backdrop below.
  editor.SetActiveTool(HandInpaintingTool);
  HandInpaintingTool->SetSize(30);
  HandInpaintingTool->SetTwoPreviews(true);
  PointAt(pointer, editor, {340, 58});
  SaveScreen(folder, QStringLiteral("hand-marking.png"), frame);
  Buttons(pointer, MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP);
  PointAt(pointer, editor, {340, 104});
  PointAt(pointer, editor, {340, 110});
  SaveScreen(folder, QStringLiteral("hand-filling.png"), frame);
  Buttons(pointer, MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP);
  PointAt(pointer, editor, {420, 200});
  SaveScreen(folder, QStringLiteral("hand-confirmed.png"), frame);
  pointer.EndDriving();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: quill-editor-shot OUTPUT-FOLDER [PHOTO [LANGID]]\n");
    return 2;
  }
  const QString folder = quill::OutputFolder(argv[1]);
  const QString photo = quill::PhotoArgument(argc, argv, 2);
  // The program as it first starts.
  quill::TShotProgram program(argc, argv, "quill-editor-shot", QSize(1100, 760),
                              argc > 3 ? QString::fromLocal8Bit(argv[3]).toUShort() : 0);
  if (!program.OpenPhoto(photo)) return 1;
  TZelGraphicsEditor* editor = GraphicsEditor;
  TZelGraphicsView* view = editor->GetCurrentView();
  const QRect frame = MainForm->frameGeometry();

  // The pointer over the middle of the view: the status bar shows that pixel.
  QCursor::setPos(view->mapToGlobal(view->rect().center()));
  SendMouse(view, QEvent::MouseMove, view->rect().center(), Qt::NoButton, Qt::NoButton);
  quill::Settle();
  SaveScreen(folder, QStringLiteral("best-fit.png"), frame);
  const QRect bar(MainForm->StatusBar->mapToGlobal(QPoint(0, 0)), MainForm->StatusBar->size());
  SaveScreen(folder, QStringLiteral("status-bar.png"), bar);

  for (int i = 0; i < 25; ++i) editor->ZoomInClick();
  quill::Settle();
  SaveScreen(folder, QStringLiteral("zoom-16.png"), frame);

  // 1:1, then dragged with the hand (Space held).
  editor->ActualSizeClick();
  quill::Settle();
  const QPoint centre = view->rect().center();
  SendKey(view, QEvent::KeyPress, Qt::Key_Space);
  SendMouse(view, QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton);
  SendMouse(view, QEvent::MouseMove, centre + QPoint(150, 120), Qt::NoButton, Qt::LeftButton);
  SendMouse(view, QEvent::MouseButtonRelease, centre + QPoint(150, 120), Qt::LeftButton,
            Qt::NoButton);
  quill::Settle();
  SaveScreen(folder, QStringLiteral("scrolled.png"), frame);
  SendKey(view, QEvent::KeyRelease, Qt::Key_Space);

  // The tools, at best fit: the crop rectangle drawn at 3:2 with its handles, the
  // resize frame with a new width typed, the rotate preview, then a turn.
  editor->BestFitClick();
  Crop2Tool->Select();
  Crop2Tool->SetOptionsShown(true);
  Crop2Tool->Frame->rbFoto->setChecked(true);
  Crop2Tool->Frame->cmbFoto->setCurrentText(QStringLiteral("6x4"));
  quill::Settle();
  SendMouse(view, QEvent::MouseButtonPress, centre - QPoint(220, 160), Qt::LeftButton, Qt::LeftButton);
  SendMouse(view, QEvent::MouseMove, centre + QPoint(140, 120), Qt::NoButton, Qt::LeftButton);
  SendMouse(view, QEvent::MouseButtonRelease, centre + QPoint(140, 120), Qt::LeftButton, Qt::NoButton);
  quill::Settle();
  SaveScreen(folder, QStringLiteral("crop.png"), frame);
  SendKey(view, QEvent::KeyPress, Qt::Key_Escape);
  quill::Settle();

  ResizeTool->Select();
  ResizeTool->Frame->WidthEdit->setValue(640);
  quill::Settle();
  SaveScreen(folder, QStringLiteral("resize.png"), frame);

  RotateTool->Select();
  RotateTool->SetOptionsShown(true);
  RotateTool->Frame->SelectOption(RotateTool->Frame->RotateLeftRadioButton);
  quill::Settle();
  SaveScreen(folder, QStringLiteral("rotate.png"), frame);
  RotateTool->Frame->RotateButtonClick();
  editor->BestFitClick();
  quill::Settle();
  SaveScreen(folder, QStringLiteral("rotated.png"), frame);

  // Plug-in mode hides the File menu.
  if (!editor->PluginMode) ShowMenu(folder, QStringLiteral("file-menu.png"), MainForm->FileMenuItem);
  ShowMenu(folder, QStringLiteral("edit-menu.png"), editor->EditMenuItem);
  ShowMenu(folder, QStringLiteral("view-menu.png"), MainForm->ViewMenuItem);

  // The open dialog on the photo's folder.
  TZelOpenDialog dialog(MainForm, editor->GetFormats());
  dialog.SetFileName(photo);
  dialog.show();
  quill::Settle(2000);
  SaveScreen(folder, QStringLiteral("open-dialog.png"), dialog.frameGeometry().adjusted(0, 0, 4, 4));
  dialog.reject();

  ShootTools(folder, *editor, frame);
  return 0;
}

// quill-retouch-shot: runs the program's composition root on the sample photo with its
// cable and writes pictures of the comparing tools at work, driven through the demo
// player's pointer driver at 1:1: the Wire Eraser's stroke along the cable, the undo
// brush (options shown) painting part of the cable back, and the original shown
// while O is held. It is how we look at these tools under Xvfb.
//
//   quill-retouch-shot OUTPUT-FOLDER

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QPixmap>
#include <QScreen>
#include <QThread>

#include <cstdio>
#include <vector>

#include "MainForm.h"
#include "ScreenPicture.h"
#include "Module.h"
#include "PointerDriver.h"
#include "WireEraserStroke.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsView.h"
#include "ZelUndoBrushTool.h"
#include "ZelWireEraserTool.h"

namespace {

// The pointer driver over image pixel Point of the current view, delivered.
void PointAt(quill::QtPointerDriver& pointer, const quill::TPoint& point) {
  TZelGraphicsView* view = GraphicsEditor->GetCurrentView();
  const quill::TPoint device = view->GetMapMode().LogicalToDevice(point);
  const QPoint screen = view->mapToGlobal(QPoint(device.X, device.Y));
  pointer.SetPosition({screen.x(), screen.y()});
  quill::Settle(30);
}

void Stroke(quill::QtPointerDriver& pointer, const std::vector<quill::TPoint>& points) {
  PointAt(pointer, points.front());
  pointer.SendButtons(MOUSEEVENTF_LEFTDOWN);
  for (const quill::TPoint& point : points) PointAt(pointer, point);
  pointer.SendButtons(MOUSEEVENTF_LEFTUP);
  quill::Settle(30);
}

void SendKey(QEvent::Type type) {
  QKeyEvent event(type, Qt::Key_O, Qt::NoModifier, QStringLiteral("o"));
  QApplication::sendEvent(GraphicsEditor->GetCurrentView(), &event);
  quill::Settle();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: quill-retouch-shot OUTPUT-FOLDER\n");
    return 2;
  }
  const QString folder = quill::OutputFolder(argv[1]);
  quill::TShotProgram program(argc, argv, "quill-retouch-shot");
  if (!program.OpenPhoto(QStringLiteral(QUILL_IMAGES_DIR "/astronaut-wire.png"))) return 1;
  GraphicsEditor->ActualSizeClick();
  quill::Settle();
  const std::vector<quill::TPoint> cable = quill::SampleCableStroke();
  if (cable.size() < 20) {
    std::fprintf(stderr, "quill-retouch-shot: cannot read the cable's dabs\n");
    return 1;
  }
  quill::QtPointerDriver pointer;
  pointer.BeginDriving();

  GraphicsEditor->SetActiveTool(WireEraserTool);
  WireEraserTool->SetSize(10);
  Stroke(pointer, cable);
  PointAt(pointer, {380, 120});
  quill::SaveMainWindowPicture(folder, QStringLiteral("wire-after.png"));

  // The undo brush over the stroke's middle third: the cable comes back there.
  UndoBrushTool->Select();
  UndoBrushTool->SetOptionsShown(true);
  UndoBrushTool->SetSize(20);
  UndoBrushTool->SetHardness(128);
  quill::Settle();
  Stroke(pointer, std::vector<quill::TPoint>(cable.begin() + cable.size() / 3,
                                             cable.begin() + 2 * cable.size() / 3));
  PointAt(pointer, cable[cable.size() / 2]);
  quill::SaveMainWindowPicture(folder, QStringLiteral("undo-brush.png"));

  // O held: the opened photo, the cable whole; released: the edit again.
  SendKey(QEvent::KeyPress);
  quill::SaveMainWindowPicture(folder, QStringLiteral("original-shown.png"));
  SendKey(QEvent::KeyRelease);
  quill::SaveMainWindowPicture(folder, QStringLiteral("original-released.png"));
  pointer.EndDriving();
  return 0;
}

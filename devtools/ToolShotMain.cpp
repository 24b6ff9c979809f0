// quill-tool-shot: runs the program's composition root on a photo and writes pictures
// of the brightness and contrast tool after an automatic correction, with its options
// shown, of the crop tool with a rectangle at the print format 10x15 and its handles,
// and of the text tool with a bold German text in a box being edited. It is how we look
// at these tools under Xvfb.
//
//   quill-tool-shot OUTPUT-FOLDER [PHOTO]

#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <QThread>

#include <cstdio>

#include "MainForm.h"
#include "ScreenPicture.h"
#include "ZelBrightnessContrastTool.h"
#include "ZelCrop2Tool.h"
#include "ZelCrop2ToolControl.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsTool.h"
#include "ZelGraphicsView.h"
#include "ZelTextTool.h"

namespace {

void SendMouse(QWidget* target, QEvent::Type type, QPoint point, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(point), QPointF(target->mapToGlobal(point)), button, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

// A left-button drag over Target from From to To through their midpoint.
void Drag(QWidget* target, QPoint from, QPoint to) {
  SendMouse(target, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
  SendMouse(target, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
  SendMouse(target, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
  SendMouse(target, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: quill-tool-shot OUTPUT-FOLDER [PHOTO]\n");
    return 2;
  }
  const QString folder = quill::OutputFolder(argv[1]);
  const QString photo = quill::PhotoArgument(argc, argv, 2);
  quill::TShotProgram program(argc, argv, "quill-tool-shot");
  if (!program.OpenPhoto(photo)) return 1;

  auto* contrast = quill::FindGraphicsTool<TZelBrightnessContrastTool>();
  contrast->Select();
  contrast->SetOptionsShown(true);
  quill::Settle();
  contrast->Frame->AutoCorrectionButtonClick();
  quill::Settle();
  quill::SaveMainWindowPicture(folder, QStringLiteral("brightness-contrast.png"));
  contrast->Frame->CancelButtonClick();
  quill::Settle();

  TZelGraphicsView* view = GraphicsEditor->GetCurrentView();
  const QPoint centre = view->rect().center();
  auto* crop = quill::FindGraphicsTool<TZelCrop2Tool>();
  crop->Select();
  crop->SetOptionsShown(true);
  crop->Frame->rbFoto->setChecked(true);
  crop->Frame->cmbFoto->setCurrentText(QStringLiteral("10x15"));
  quill::Settle();
  Drag(view, centre - QPoint(200, 150), centre + QPoint(150, 60));
  quill::Settle();
  quill::SaveMainWindowPicture(folder, QStringLiteral("crop-rectangle.png"));
  crop->FirstControl()->CancelCrop();
  quill::Settle();

  auto* text = quill::FindGraphicsTool<TZelTextTool>();
  text->Select();
  text->SetStyle(TZelTextTool::kBold);
  text->SetColor(0x0000FF);
  text->Frame->TextMemo->setPlainText(QStringLiteral("Grüße aus\nMünchen"));
  quill::Settle();
  Drag(view, centre - QPoint(180, 120), centre + QPoint(140, 20));
  quill::Settle();
  quill::SaveMainWindowPicture(folder, QStringLiteral("text-box.png"));
  return 0;
}

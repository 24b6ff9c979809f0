// quill-panel-shot: runs the program's composition root on a photo and writes a
// picture of the tool panel for every tool that has a frame, in every state of its
// options (shown and hidden; for the crop tool each ratio kind; the text tool's font
// list dropped down), in the language
// LANGID (1033 when not given), and all of them side by side in LANGID-panels.png. On
// standard output, per picture, the frame's width beside the width the panel gives
// it. It is how we look at the frames under Xvfb.
//
//   quill-panel-shot OUTPUT-FOLDER [LANGID [PHOTO]]

#include <QApplication>
#include <QDir>
#include <QFontComboBox>
#include <QPainter>
#include <QPixmap>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>

#include <cstdio>
#include <functional>
#include <vector>

#include "MainForm.h"
#include "Module.h"
#include "ScreenPicture.h"
#include "ZelBrightnessContrastTool.h"
#include "ZelCrop2Tool.h"
#include "ZelDockablePanel.h"
#include "ZelGraphicsEditor.h"
#include "ZelHandInpaintingTool.h"
#include "ZelResizeTool.h"
#include "ZelRotateTool.h"
#include "ZelTextTool.h"
#include "ZelToolPanelModule.h"
#include "ZelUndoBrushTool.h"
#include "ZelWireEraserTool.h"

namespace {

struct TShot {
  const char* Name;
  TZelGraphicsTool* Tool;
  QWidget* Frame;
  std::function<void()> Arrange;
};

QPixmap SaveShot(const QString& folder, const QString& name, const QWidget* frame) {
  const quill::TZelDockablePanel* panel = ToolPanelModule->GetPanel();
  const QRect area(panel->mapToGlobal(QPoint(0, 0)), panel->size());
  const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(0).copy(area);
  const auto* scroll = qobject_cast<const QScrollArea*>(frame->parentWidget()->parentWidget());
  const int viewport = scroll != nullptr ? scroll->viewport()->width() : -1;
  std::printf("%s %s: frame %d wide (needs %d), viewport %d\n",
              picture.save(QDir(folder).filePath(name)) ? "wrote" : "cannot write", qPrintable(name),
              frame->width(), frame->minimumSizeHint().width(), viewport);
  return picture;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: quill-panel-shot OUTPUT-FOLDER [LANGID [PHOTO]]\n");
    return 2;
  }
  const QString folder = quill::OutputFolder(argv[1]);
  const uint16_t language = argc > 2 ? QString::fromLocal8Bit(argv[2]).toUShort() : 1033;
  const QString photo = quill::PhotoArgument(argc, argv, 3);
  quill::TShotProgram program(argc, argv, "quill-panel-shot", QSize(1100, 860), language);
  if (!program.OpenPhoto(photo)) return 1;

  auto* contrast = quill::FindGraphicsTool<TZelBrightnessContrastTool>();
  auto* text = quill::FindGraphicsTool<TZelTextTool>();
  TZelCrop2Frame* crop = Crop2Tool->Frame;
  const std::vector<TShot> shots = {
      {"wire-eraser", WireEraserTool, WireEraserTool->Frame, [] {}},
      {"hand-inpainting-hidden", HandInpaintingTool, HandInpaintingTool->Frame,
       [] { HandInpaintingTool->OptionsShown = false; }},
      {"hand-inpainting-shown", HandInpaintingTool, HandInpaintingTool->Frame,
       [] { HandInpaintingTool->OptionsShown = true; }},
      {"undo-brush-hidden", UndoBrushTool, UndoBrushTool->Frame, [] { UndoBrushTool->SetOptionsShown(false); }},
      {"undo-brush-shown", UndoBrushTool, UndoBrushTool->Frame, [] { UndoBrushTool->SetOptionsShown(true); }},
      {"brightness-contrast-hidden", contrast, contrast->Frame, [contrast] { contrast->SetOptionsShown(false); }},
      {"brightness-contrast-shown", contrast, contrast->Frame, [contrast] { contrast->SetOptionsShown(true); }},
      {"rotate-hidden", RotateTool, RotateTool->Frame, [] { RotateTool->SetOptionsShown(false); }},
      {"rotate-shown", RotateTool, RotateTool->Frame, [] { RotateTool->SetOptionsShown(true); }},
      {"resize", ResizeTool, ResizeTool->Frame, [] {}},
      {"crop-hidden", Crop2Tool, crop, [] { Crop2Tool->SetOptionsShown(false); }},
      {"crop-free", Crop2Tool, crop,
       [crop] {
         Crop2Tool->SetOptionsShown(true);
         crop->rbFree->setChecked(true);
       }},
      {"crop-foto", Crop2Tool, crop, [crop] { crop->rbFoto->setChecked(true); }},
      {"crop-screen", Crop2Tool, crop, [crop] { crop->rbScreen->setChecked(true); }},
      {"text", text, text->Frame, [] {}},
      {"text-font-list", text, text->Frame, [text] { text->Frame->FontNameComboBox->showPopup(); }},
  };
  std::vector<QPixmap> pictures;
  for (const TShot& shot : shots) {
    shot.Tool->Select();
    shot.Arrange();
    quill::Settle();
    pictures.push_back(
        SaveShot(folder, QStringLiteral("%1-%2.png").arg(language).arg(QLatin1String(shot.Name)), shot.Frame));
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  }

  // Eight pictures a row, cut to the height a frame takes at most.
  constexpr int kPerRow = 8;
  constexpr int kHeight = 560;
  const int width = pictures.front().width();
  QImage sheet(width * kPerRow, kHeight * ((int(pictures.size()) + kPerRow - 1) / kPerRow), QImage::Format_RGB32);
  sheet.fill(Qt::white);
  QPainter painter(&sheet);
  for (size_t i = 0; i < pictures.size(); ++i) {
    painter.drawPixmap(int(i % kPerRow) * width, int(i / kPerRow) * kHeight, pictures[i], 0, 0, width, kHeight);
  }
  painter.end();
  sheet.save(QDir(folder).filePath(QStringLiteral("%1-panels.png").arg(language)));
  return 0;
}

// quill-window-shot: builds the program's shell as the program will show it — main
// window with its menus and toolbar, the tool panel docked right with a few buttons and
// an option frame, the status bar with its progress bar, and a scroll view with two
// layers (the sample photo and a coloured band over it) scrolled into the middle — and
// writes a picture of the window. It is how we look at the shell under Xvfb (or, with
// QT_QPA_PLATFORM=offscreen, without any display).
//
//   quill-window-shot OUTPUT.png [LANGID]

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QSlider>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <cstdio>
#include <memory>

#include "MainForm.h"
#include "ProgressMeter.h"
#include "ZelFlowToolbar.h"
#include "ZelForms.h"
#include "ZelLTBitmap.h"
#include "ZelLocalizer.h"
#include "ZelPrinter.h"
#include "ZelToolPanelModule.h"
#include "ZelUtils.h"
#include "ZelViewCanvas.h"
#include "ZelViewControl.h"

namespace {

constexpr uint8_t kContentFlags = quill::kViewObjectVisible | quill::kViewObjectContent | quill::kViewObjectPaint;

// A layer that shows a bitmap at its bounds, scaled by the view's map mode.
class PictureLayer : public TZelViewObject {
 public:
  explicit PictureLayer(TZelLTBitmap& picture) : picture_(picture) {}
  void InitFlags() override { SetFlags(kContentFlags); }
  void PaintContent(TZelViewCanvas& canvas) override {
    const quill::TRect device = GetContentBounds(canvas.GetMapMode());
    picture_.Draw(canvas.GetDeviceContext(), device, picture_.GetBounds(), canvas.GetClipBox());
    canvas.ExcludeClipRect(device);
  }

 private:
  TZelLTBitmap& picture_;
};

// A translucent coloured band painted over the layers below it.
class BandLayer : public TZelViewObject {
 public:
  void InitFlags() override { SetFlags(quill::kViewObjectVisible | quill::kViewObjectOverlay | quill::kViewObjectPaint); }
  quill::TRect GetOverlayBounds(const TZelMapMode& mapMode) const override { return GetContentBounds(mapMode); }
  void PaintOverlay(TZelViewCanvas& canvas) override {
    QPainter& painter = canvas.GetPainter();
    const quill::TRect r = GetOverlayBounds(canvas.GetMapMode());
    painter.fillRect(quill::RectToQRect(r), QColor(40, 140, 255, 90));
    painter.setPen(QPen(QColor(40, 140, 255), 2));
    painter.drawRect(quill::RectToQRect(InflatedRect(r, -1, -1)));
  }
};

// The sample photo enlarged twice, so that the view needs its scroll bars.
bool LoadPicture(TZelLTBitmap& picture) {
  QImage image(QStringLiteral(QUILL_IMAGES_DIR "/astronaut.png"));
  if (image.isNull()) return false;
  image = image.convertToFormat(QImage::Format_BGR888);
  TZelPixels view;
  view.Attach({0, 0, image.width(), image.height()}, image.bits(),
              static_cast<int32_t>(image.bytesPerLine()), quill::kPixelFormat24);
  return picture.AssignPixels(view) && picture.Resize(image.width() * 2, image.height() * 2);
}

// An option frame like a brush tool's: a title, sliders and a check box.
class OptionFrame : public TZelFrame {
  Q_OBJECT

 public:
  explicit OptionFrame(quill::TZelComponent* owner) : TZelFrame(owner) {
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("Wire Eraser"));
    QFont bold = title->font();
    bold.setBold(true);
    bold.setUnderline(true);
    title->setFont(bold);
    layout->addWidget(title);
    for (const char* caption : {"Size: 25", "Background Noise: 6"}) {
      layout->addWidget(new QLabel(QString::fromLatin1(caption)));
      auto* slider = new QSlider(Qt::Horizontal);
      slider->setRange(0, 100);
      slider->setValue(25);
      slider->setTickPosition(QSlider::TicksBelow);
      slider->setTickInterval(5);
      layout->addWidget(slider);
    }
    layout->addWidget(new QCheckBox(QStringLiteral("Cumulative Effect")));
    layout->addStretch(1);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: quill-window-shot OUTPUT.png [LANGID]\n");
    return 2;
  }
  QApplication application(argc, argv);
  quill::TZelLocalizerUnit localizerUnit;
  quill::TZelFormsUnit formsUnit;
  quill::TZelPrinterUnit printerUnit;
  if (argc > 2) SetLanguage(static_cast<uint16_t>(QString::fromLocal8Bit(argv[2]).toUShort()));

  ZelApplication->SetTitle(QStringLiteral("Quillmere"));
  ZelApplication->CreateForm(MainForm);
  TZelToolPanelModule* toolPanel = nullptr;
  ZelApplication->CreateComponent(toolPanel);
  ZelApplication->LoadSettings();

  // The standard toolbar and a few tool buttons.
  QToolBar* standard = MainForm->AddToolbar(QStringLiteral("Standard"));
  QAction* item = nullptr;
  for (int image : {quill::kOpenImage, quill::kSaveImage, quill::kPrintImage, quill::kUndoImage, quill::kRedoImage}) {
    MainForm->AddToolbarButton(standard, &MainForm->GetImageList(), nullptr, QString(), image, {}, item);
  }
  for (int image : {quill::kCutImage, quill::kCopyImage, quill::kPasteImage, quill::kDeleteImage}) {
    MainForm->AddToolbarButton(toolPanel->GetToolbar(), &MainForm->GetImageList(), nullptr, QString(),
                               image, {}, item);
  }
  OptionFrame* frame = nullptr;
  toolPanel->CreateToolArea(frame);

  // The status bar's progress bar, empty as at start.
  auto* bar = new QProgressBar;
  bar->setTextVisible(false);
  bar->setFixedWidth(200);
  MainForm->StatusBar->addPermanentWidget(bar);
  TProgressMeter meter(bar);
  meter.Reset(0);

  // The view with its two layers, scrolled to the middle of the picture.
  TZelLTBitmap picture;
  if (!LoadPicture(picture)) {
    std::fprintf(stderr, "quill-window-shot: cannot read the sample photo\n");
    return 1;
  }
  auto* view = new TZelScrollViewControl;
  view->GetViewObjects()
      .Add(std::unique_ptr<PictureLayer>(quill::ZelCreate<PictureLayer>(picture)))
      ->SetBounds(picture.GetBounds());
  TZelViewObject* band = view->GetViewObjects().Add(std::unique_ptr<BandLayer>(quill::ZelCreate<BandLayer>()));
  band->SetBounds({380, 250, 700, 420});
  MainForm->ClientArea->layout()->addWidget(view);

  MainForm->resize(1100, 720);
  MainForm->show();
  QApplication::processEvents();
  view->ClampOrigin();
  view->CenterOnPoint({512, 400});
  QApplication::processEvents();

  const bool saved = MainForm->grab().save(QString::fromLocal8Bit(argv[1]));
  MainForm->close();
  if (!saved) {
    std::fprintf(stderr, "quill-window-shot: cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("wrote %s\n", argv[1]);
  return 0;
}

#include "WindowShotMain.moc"

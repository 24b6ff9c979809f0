// The composition root as far as it exists: what it creates, in which order, and Qt's
// own texts following the program's language; the program started as its main
// function starts it, on the sample photo: first start, printing, settings kept
// between starts and settings files that are damaged.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QPrinter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "CodecTestSupport.h"
#include "MainForm.h"
#include "Module.h"
#include "ProgressMeter.h"
#include "ZelAbout.h"
#include "ZelBrightnessContrastTool.h"
#include "ZelCrop2Tool.h"
#include "ZelDemonstrationModule.h"
#include "ZelDockablePanel.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsPrintModule.h"
#include "ZelGraphicsTool.h"
#include "ZelGraphicsView.h"
#include "ZelHandInpaintingTool.h"
#include "ZelHelp.h"
#include "ZelLocalizer.h"
#include "ZelOriginalImageTool.h"
#include "ZelPrinter.h"
#include "ZelResizeTool.h"
#include "ZelRotateTool.h"
#include "ZelScrollTool.h"
#include "ZelTextTool.h"
#include "ZelToolPanelModule.h"
#include "ZelUndoBrushTool.h"
#include "ZelWireEraserTool.h"

namespace {

TEST(Module, CreatesTheEditorFirstAndTheScrollToolAsTheFirstTool) {
  quill::TZelLocalizerUnit localizerUnit;
  SetLanguage(1033);
  auto formsUnit = std::make_unique<quill::TZelFormsUnit>();
  ZelApplication->CreateForm(Module);
  ASSERT_NE(GraphicsEditor, nullptr);
  EXPECT_EQ(ZelApplication->GetMainForm(), MainForm);
  EXPECT_EQ(GraphicsEditor->ImagesFolder, QCoreApplication::applicationDirPath() + "/Images/");

  std::vector<TZelGraphicsTool*> tools;
  quill::ForEachGraphicsTool([&tools](TZelGraphicsTool& tool) { tools.push_back(&tool); });
  // The editor's scroll tool, then every tool of the root in its global, in the order
  // of their buttons.
  const std::vector<TZelGraphicsTool*> rootTools = {
      OriginalImageTool, WireEraserTool, HandInpaintingTool, UndoBrushTool, BrightnessContrastTool,
      RotateTool,        ResizeTool,     Crop2Tool,          TextTool};
  ASSERT_EQ(tools.size(), rootTools.size() + 1);
  EXPECT_NE(dynamic_cast<TZelScrollTool*>(tools[0]), nullptr);
  EXPECT_EQ(std::vector<TZelGraphicsTool*>(tools.begin() + 1, tools.end()), rootTools);
  // The undo brush at full opacity and hardness.
  EXPECT_EQ(UndoBrushTool->Opacity, 255);
  EXPECT_EQ(UndoBrushTool->Hardness, 255);
  // The Wire Eraser is the current tool at start.
  ASSERT_NE(WireEraserTool, nullptr);
  EXPECT_EQ(GraphicsEditor->CurrentTool, WireEraserTool);
  EXPECT_EQ(ToolPanelModule->GetPanel()->GetMinClientWidth(), 272);
  EXPECT_EQ(ToolPanelModule->GetPanel()->GetMaxClientWidth(), 272);
  // The original image tool's text button ends the standard toolbar, after a separator.
  const QList<QAction*> standard = GraphicsEditor->StandardToolbar->actions();
  EXPECT_EQ(standard.back(), OriginalImageTool->Button);
  EXPECT_TRUE(standard.at(standard.size() - 2)->isSeparator());
  ASSERT_NE(ProgressMeter, nullptr);
  EXPECT_NE(ProgressMeter->GetProgressBar(), nullptr);

  // Qt's own texts follow the program's language.
  // Shortcuts of the numeric keypad read "Num" in every language, as the help and
  // the language files write them.
  const QKeySequence zoomIn(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Plus));
  SetLanguage(1031);
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), "Suchen in:");
  EXPECT_EQ(zoomIn.toString(QKeySequence::NativeText).toStdString(), "Strg+Num++");
  SetLanguage(1033);
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), "Look in:");
  EXPECT_EQ(zoomIn.toString(QKeySequence::NativeText).toStdString(), "Ctrl+Num++");
  formsUnit.reset();
  EXPECT_EQ(GraphicsEditor, nullptr);
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), "Look in:");
}

const QString kSamplePhoto = QStringLiteral(QUILL_IMAGES_DIR "/astronaut.png");

// The program put together as its main function does; Start runs it (settings read,
// the event loop, settings written) with Session run inside the loop, which then
// closes the main window.
// The demo list the program offers at start is turned off unless OfferDemoList.
class Program {
 public:
  explicit Program(bool offerDemoList = false) {
    SetLanguage(1033);
    ZelApplication->SetTitle(QStringLiteral("Quillmere"));
    ZelApplication->SetMessageBoxAnswerer(
        [](const QString&, const QString&, uint32_t) { return quill::IDNO; });
    ZelApplication->CreateForm(Module);
    if (!offerDemoList) DemonstrationModule->ShowAtStartup = false;
  }

  void Start(const std::function<void()>& session) {
    QTimer::singleShot(0, MainForm, [session] {
      session();
      MainForm->close();
    });
    ZelApplication->Run();
  }

 private:
  quill::TZelLocalizerUnit localizerUnit_;
  quill::TZelFormsUnit formsUnit_;
  quill::TZelPrinterUnit printerUnit_;
};

class ProgramTest : public testing::Test {
 protected:
  void SetUp() override { RemoveSettings(); }
  void TearDown() override {
    RemoveSettings();
    quill::ExitCode = 0;
  }
  static void RemoveSettings() {
    QDir(QFileInfo(TZelApplication::GetSettingsFileName()).absolutePath()).removeRecursively();
  }
  static bool OpenSamplePhoto() {
    TZelDocument* document = nullptr;
    return GraphicsEditor->OpenFile(kSamplePhoto, document, true);
  }
  // The settings file a first start with the sample photo leaves behind.
  static QByteArray SettingsOfAFirstStart() {
    {
      Program program;
      program.Start([] { ASSERT_TRUE(OpenSamplePhoto()); });
    }
    QFile file(TZelApplication::GetSettingsFileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  static void WriteSettings(const QByteArray& bytes) {
    QFile file(TZelApplication::GetSettingsFileName());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
  }
  // What every start without usable settings shows.
  static void ExpectDefaults() {
    EXPECT_EQ(GraphicsEditor->Formats.JPEGQuality, 80);
    EXPECT_FALSE(HelpModule->GetShowGettingStarted());
    EXPECT_EQ(ToolPanelModule->GetPanel()->GetMinClientWidth(), 272);
    EXPECT_EQ(ToolPanelModule->GetPanel()->GetMaxClientWidth(), 272);
  }
};

// Act on the demo list that the program offers at start; false when it did not show.
// Called in the session, which runs either in the list's own loop or before the posted
// call that opens it.
bool WithDemoList(const std::function<void(TZelDemonstrationForm&)>& act) {
  const auto shown = [&act] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* form = qobject_cast<TZelDemonstrationForm*>(widget);
      if (form != nullptr && form->isVisible()) {
        act(*form);
        return true;
      }
    }
    return false;
  };
  if (shown()) return true;
  bool offered = false;
  QTimer::singleShot(0, MainForm, [&offered, &shown] { offered = shown(); });
  QCoreApplication::sendPostedEvents();
  return offered;
}

// Closes the demo list with Esc when it shows; true when it did.
bool CloseDemoList() {
  bool closed = false;
  return WithDemoList([&closed](TZelDemonstrationForm& form) {
           QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
           QCoreApplication::sendEvent(&form, &escape);
           closed = form.GetModalResult() == quill::IDCANCEL;
         }) &&
         closed;
}

// The view's mapping, as the tests compare it.
std::array<quill::TPoint, 4> MappingOf(const TZelGraphicsView& view) {
  const TZelMapMode& map = view.GetMapMode();
  return {map.LogicalOrigin, map.LogicalExtent, map.DeviceOrigin, map.DeviceExtent};
}

TEST_F(ProgramTest, FirstStartOffersTheDemoListHelpAboutAndPrintOnlyWithAPhotoOutsidePlugInMode) {
  Program program(true);
  program.Start([] {
    // The demo list is offered once the event loop runs.
    EXPECT_TRUE(CloseDemoList());

    ExpectDefaults();
    EXPECT_EQ(GraphicsEditor->CurrentTool, WireEraserTool);
    EXPECT_FALSE(HandInpaintingTool->OptionsShown);
    EXPECT_EQ(HandInpaintingTool->Adjustment, 2);
    EXPECT_EQ(HandInpaintingTool->Reflection, 0);
    EXPECT_TRUE(HandInpaintingTool->AutoReflection && HandInpaintingTool->LongDefect &&
                HandInpaintingTool->AntiAliasing);
    EXPECT_TRUE(GraphicsEditor->RecentFiles.isEmpty());
    // Help and About in the Help menu; the About box reads the whole of its table.
    const QList<QAction*> help = MainForm->HelpMenuItem->actions();
    EXPECT_TRUE(help.contains(HelpModule->GetContentsMenuItem()));
    EXPECT_EQ(help.back(), AboutModule->GetAboutMenuItem());
    EXPECT_EQ(AboutModule->GetAboutInfo().EntryCount,
              static_cast<int32_t>(quill::kAboutEntries.size()));

    // The window is wide enough for every panel of its status bar, side by side.
    QList<QWidget*> panels = MainForm->StatusBar->findChildren<QWidget*>(
        QString(), Qt::FindDirectChildrenOnly);
    panels.removeIf([](const QWidget* panel) { return !panel->isVisible(); });
    std::sort(panels.begin(), panels.end(), [](const QWidget* a, const QWidget* b) {
      return a->x() < b->x();
    });
    ASSERT_GE(panels.size(), 15);
    for (qsizetype i = 1; i < panels.size(); ++i) {
      EXPECT_LE(panels[i - 1]->geometry().right(), panels[i]->x()) << "panel " << i;
    }

    // Print follows Save As: nothing to print before a photo is open.
    QAction* item = GraphicsPrintModule->GetPrintMenuItem();
    QAction* button = GraphicsPrintModule->GetPrintToolButton();
    EXPECT_TRUE(MainForm->FileMenuItem->actions().contains(item));
    EXPECT_EQ(item->text(), "Print...");
    EXPECT_EQ(item->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    ZelApplication->DoIdle();
    EXPECT_FALSE(item->isEnabled());
    EXPECT_FALSE(button->isEnabled());
    ASSERT_TRUE(OpenSamplePhoto());
    ZelApplication->DoIdle();
    EXPECT_TRUE(item->isEnabled());
    EXPECT_TRUE(button->isEnabled());
    EXPECT_TRUE(button->isVisible());

    GraphicsEditor->SetPluginMode(true);
    ZelApplication->DoIdle();
    EXPECT_FALSE(item->isEnabled());
    EXPECT_FALSE(button->isEnabled());
    EXPECT_FALSE(button->isVisible());
  });
}

// A photo named on the command line is open, fitted to the shown window, before the
// demo list shows at the first start; so a demo started from the list asks before it
// closes the photo, and No keeps it.
TEST_F(ProgramTest, APhotoOnTheCommandLineOpensBeforeTheDemoListSoTheDemoAsksFirst) {
  QTemporaryDir folder;
  const QString photo = QDir(folder.path()).filePath("my-photo.png");
  QImage large(3000, 2000, QImage::Format_RGB888);
  large.fill(Qt::darkCyan);
  ASSERT_TRUE(large.save(photo));

  Program program(true);
  GraphicsEditor->Arguments = {"Quillmere", photo};
  QStringList questions;
  ZelApplication->SetMessageBoxAnswerer([&questions](const QString& text, const QString&, uint32_t) {
    questions.append(text);
    return quill::IDNO;
  });
  program.Start([&] {
    std::array<quill::TPoint, 4> mapping{};
    const bool offered = WithDemoList([&](TZelDemonstrationForm& form) {
      ASSERT_EQ(GraphicsEditor->GetDocumentCount(), 1);
      EXPECT_EQ(GraphicsEditor->GetCurrentDocument()->FileName, photo);
      mapping = MappingOf(*GraphicsEditor->GetCurrentView());
      ASSERT_TRUE(form.StartButton->isEnabled());
      form.StartButton->click();
    });
    ASSERT_TRUE(offered);
    EXPECT_EQ(questions, QStringList{GetLocalizedString(173)});
    EXPECT_FALSE(DemonstrationModule->GetPlayback().IsPlaying());
    ASSERT_EQ(GraphicsEditor->GetDocumentCount(), 1);
    EXPECT_EQ(GraphicsEditor->GetCurrentDocument()->FileName, photo);
    EXPECT_EQ(GraphicsEditor->RecentFiles, QStringList{photo});

    // The first fit was made for the window as it shows: fitting again changes nothing.
    TZelGraphicsView& view = *GraphicsEditor->GetCurrentView();
    EXPECT_LT(view.GetMapMode().DeviceExtent.X, view.GetMapMode().LogicalExtent.X);  // smaller than 1:1
    GraphicsEditor->FitToWindow();
    EXPECT_EQ(MappingOf(view), mapping);
  });
}

// An exchange file that cannot be read at start ends the program with -1 at once,
// before any event loop, with the reason told.
TEST_F(ProgramTest, AnUnreadableExchangeFileAtStartEndsTheProgram) {
  QTemporaryDir folder;
  const QString exchange = QDir(folder.path()).filePath("PSPabc.tmp");
  QFile file(exchange);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  // The plug-in's header for 40 x 30 RGB pixels, rows of 120 bytes, and one row short.
  const int32_t header[8] = {32, 3, 0, 0, 40, 30, 120, 3};
  file.write("PSPF");
  file.write(reinterpret_cast<const char*>(header), sizeof header);
  file.write(QByteArray(120 * 29, '\0'));
  file.close();
  Program program;
  GraphicsEditor->Arguments = {"Quillmere", exchange};
  QStringList errors;
  ZelApplication->SetMessageBoxAnswerer([&errors](const QString& text, const QString&, uint32_t) {
    errors.append(text);
    return quill::IDOK;
  });
  bool looped = false;
  program.Start([&looped] { looped = true; });
  EXPECT_FALSE(looped);
  EXPECT_EQ(errors.size(), 1);
  EXPECT_EQ(quill::ExitCode, -1);
}

TEST_F(ProgramTest, PrintPutsThePhotoOnThePageFittedAndCentred) {
  if (!quill::HaveTool("pdftoppm")) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString pdf = folder.filePath(QStringLiteral("page.pdf"));
  Program program;
  QPrinter printer(QPrinter::HighResolution);
  program.Start([&] {
    ASSERT_TRUE(OpenSamplePhoto());
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Landscape);
    EXPECT_TRUE(GraphicsPrintModule->PrintCurrentImage(printer));
  });

  // The photo goes into the file without loss (no JPEG stream).
  QFile file(pdf);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_FALSE(file.readAll().contains("/DCTDecode"));

  // The page rendered at 50 dots an inch: the photo fills the printable area's height
  // (a square on a landscape page), centred across it, white around it.
  constexpr int kDpi = 50;
  const std::string png = folder.filePath(QStringLiteral("page")).toStdString();
  ASSERT_EQ(quill::RunCommand("pdftoppm -r 50 -png -singlefile " + pdf.toStdString() + " " + png), 0);
  const QImage page = QImage(QString::fromStdString(png + ".png")).convertToFormat(QImage::Format_RGB888);
  ASSERT_FALSE(page.isNull());
  const QPageLayout layout = printer.pageLayout();
  // The renderer rounds the page's size its own way.
  ASSERT_LE(std::abs(page.width() - layout.fullRectPixels(kDpi).width()), 1);
  ASSERT_LE(std::abs(page.height() - layout.fullRectPixels(kDpi).height()), 1);
  const QRect area = layout.paintRectPixels(kDpi);
  const quill::TRect fit = TZelGraphicsPrintModule::FitToPage(512, 512, area.width(), area.height());
  EXPECT_EQ(fit.Height(), area.height());
  const QRect expected(area.left() + fit.Left, area.top() + fit.Top, static_cast<int>(fit.Width()),
                       static_cast<int>(fit.Height()));
  // Two pixels in from the edges: the renderer's rounding of the picture's border.
  const QImage printed = page.copy(expected.adjusted(2, 2, -2, -2));
  const QImage photo = QImage(kSamplePhoto)
                           .convertToFormat(QImage::Format_RGB888)
                           .scaled(expected.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                           .copy(QRect(2, 2, expected.width() - 4, expected.height() - 4));
  double difference = 0;
  for (int y = 0; y < printed.height(); ++y) {
    for (int x = 0; x < printed.width(); ++x) {
      const QColor a = printed.pixelColor(x, y);
      const QColor b = photo.pixelColor(x, y);
      difference += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                    std::abs(a.blue() - b.blue());
    }
  }
  EXPECT_LT(difference / (3.0 * printed.width() * printed.height()), 6.0);
  for (const QPoint& margin : {QPoint(expected.left() - 3, expected.center().y()),
                               QPoint(expected.right() + 3, expected.center().y()),
                               QPoint(expected.center().x(), 1)}) {
    EXPECT_EQ(page.pixelColor(margin), QColor(Qt::white)) << margin.x() << "," << margin.y();
  }
}

TEST_F(ProgramTest, SettingsComeBackAtTheNextStart) {
  TZelToolPanelModule::TDockRecord dock{};
  {
    Program program;
    program.Start([&dock] {
      ASSERT_TRUE(OpenSamplePhoto());
      SetLanguage(1031);
      GraphicsEditor->Formats.JPEGQuality = 55;
      dock = ToolPanelModule->MakeDockRecord();
    });
  }
  Program program;
  program.Start([&dock] {
    EXPECT_EQ(GraphicsEditor->RecentFiles, QStringList{kSamplePhoto});
    EXPECT_EQ(GetLanguage(), 1031);
    EXPECT_EQ(GraphicsPrintModule->GetPrintMenuItem()->text(), "Drucken...");
    EXPECT_EQ(GraphicsEditor->Formats.JPEGQuality, 55);
    EXPECT_EQ(ToolPanelModule->MakeDockRecord(), dock);
  });
}

TEST_F(ProgramTest, ACorruptSettingsFileStartsWithDefaults) {
  QByteArray settings = SettingsOfAFirstStart();
  ASSERT_GT(settings.size(), 64);
  for (qsizetype i = 0; i < settings.size(); i += 3) settings[i] = static_cast<char>(0xA5 ^ i);
  WriteSettings(settings);
  Program program;
  program.Start([] {
    ExpectDefaults();
    EXPECT_TRUE(GraphicsEditor->RecentFiles.isEmpty());
    EXPECT_TRUE(OpenSamplePhoto());
  });
}

TEST_F(ProgramTest, ASettingsFileCutShortStartsWithDefaults) {
  const QByteArray settings = SettingsOfAFirstStart();
  ASSERT_GT(settings.size(), 64);
  WriteSettings(settings.left(settings.size() / 2));
  Program program;
  program.Start([] {
    ExpectDefaults();
    EXPECT_TRUE(OpenSamplePhoto());
  });
}

}  // namespace

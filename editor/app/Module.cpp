#include "Module.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLayout>
#include <QProgressBar>
#include <QSizeGrip>
#include <QStatusBar>
#include <QToolBar>
#include <QTranslator>

#include "MainForm.h"
#include "ProgressMeter.h"
#include "ZelAbout.h"
#include "ZelBrightnessContrastTool.h"
#include "ZelCrop2Tool.h"
#include "ZelDemoEditor.h"
#include "ZelDemonstrationModule.h"
#include "ZelDockablePanel.h"
#include "ZelEditorDemoLink.h"
#include "ZelGraphicsEditor.h"
#include "ZelGraphicsPrintModule.h"
#include "ZelHandInpaintingTool.h"
#include "ZelHelp.h"
#include "ZelLanguageIds.h"
#include "ZelLocalizer.h"
#include "ZelOriginalImageTool.h"
#include "ZelResizeTool.h"
#include "ZelRotateTool.h"
#include "ZelSystemInfoModule.h"
#include "ZelTextTool.h"
#include "ZelToolPanelModule.h"
#include "ZelUndoBrushTool.h"
#include "ZelWireEraserTool.h"

TModule* Module = nullptr;
TZelSystemInfoModule* SystemInfoModule = nullptr;
TZelHelp* HelpModule = nullptr;
TZelAbout* AboutModule = nullptr;
TZelOriginalImageTool* OriginalImageTool = nullptr;
TZelWireEraserTool* WireEraserTool = nullptr;
TZelHandInpaintingTool* HandInpaintingTool = nullptr;
TZelUndoBrushTool* UndoBrushTool = nullptr;
TZelBrightnessContrastTool* BrightnessContrastTool = nullptr;
TProgressMeter* ProgressMeter = nullptr;
TZelRotateTool* RotateTool = nullptr;
TZelResizeTool* ResizeTool = nullptr;
TZelCrop2Tool* Crop2Tool = nullptr;
TZelTextTool* TextTool = nullptr;

namespace {

// The tool panel's client width until a tool widens it.
constexpr int kToolPanelWidth = 264;
constexpr int kProgressBarWidth = 200;
// On a narrow screen the progress bar gives up width down to this before the status
// bar's panels would have to overlap.
constexpr int kProgressBarMinWidth = 40;

// The status bar's panels have fixed widths: a window narrower than all of them side by
// side, with the size grip that shows with the window, would draw them over each other.
void KeepStatusPanelsApart(QStatusBar& bar) {
  int width = bar.minimumSizeHint().width();
  if (const auto* grip = bar.findChild<QSizeGrip*>()) {
    width += grip->sizeHint().width() + bar.layout()->spacing();
  }
  bar.setMinimumWidth(width);
}

}  // namespace

TModule::TModule(quill::TZelComponent* owner) : quill::TZelComponent(owner) { CreateModel(); }

TModule::~TModule() { DestroyModel(); }

void TModule::CreateModel() {
  ZelApplication->CreateComponent(GraphicsEditor);
  GraphicsEditor->ImagesFolder = ProgramImagesFolder();
  ZelApplication->CreateComponent(SystemInfoModule);
  ZelApplication->CreateComponent(GraphicsPrintModule);
  ZelApplication->CreateComponent(HelpModule);
  ZelApplication->CreateComponent(DemonstrationModule);
  DemonstrationModule->DemoFolder = GraphicsEditor->ImagesFolder;
  // The demo list is offered at start until the user unticks it (a setting).
  DemonstrationModule->ShowAtStartup = true;
  demoLink_ = std::make_unique<quill::TZelEditorDemoLink>();
  DemonstrationModule->EditorLink = demoLink_.get();
  ZelApplication->CreateComponent(DemoEditorModule);
  ZelApplication->CreateComponent(AboutModule);
  AboutModule->SetAboutInfo(quill::kAboutEntries, static_cast<int32_t>(quill::kAboutEntries.size()),
                            QString::fromLatin1(quill::kAboutLogoResourceName));
  ZelApplication->CreateComponent(ToolPanelModule);
  ToolPanelModule->GetPanel()->SetMaxClientWidth(kToolPanelWidth);
  ToolPanelModule->GetPanel()->SetMinClientWidth(kToolPanelWidth);
  MainForm->AddSeparator(GraphicsEditor->StandardToolbar, nullptr);

  // The tools, in the order of their buttons. The original image tool's button goes
  // on the standard toolbar after the separator, the others' on the tool panel.
  ZelApplication->CreateComponent(OriginalImageTool);
  ZelApplication->CreateComponent(WireEraserTool);
  ZelApplication->CreateComponent(HandInpaintingTool);
  HandInpaintingTool->OptionsShown = false;
  HandInpaintingTool->SetAdjustment(TAreaCorrelator::kModeColor);
  HandInpaintingTool->SetReflection(0);
  HandInpaintingTool->SetAutoReflection(true);
  HandInpaintingTool->SetLongDefect(true);
  HandInpaintingTool->SetAntiAliasing(true);
  ZelApplication->CreateComponent(UndoBrushTool);
  UndoBrushTool->SetOpacity(255);
  UndoBrushTool->SetHardness(255);
  ZelApplication->CreateComponent(BrightnessContrastTool);
  ZelApplication->CreateComponent(RotateTool);
  ZelApplication->CreateComponent(ResizeTool);
  ZelApplication->CreateComponent(Crop2Tool);
  // The text tool widens the tool panel to 272.
  ZelApplication->CreateComponent(TextTool);
  GraphicsEditor->SetActiveTool(WireEraserTool);

  auto* progressBar = new QProgressBar(MainForm);
  progressBar->setTextVisible(false);
  progressBar->setMinimumWidth(kProgressBarMinWidth);
  progressBar->setMaximumWidth(kProgressBarWidth);
  progressBar->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  MainForm->StatusBar->addPermanentWidget(progressBar);
  ProgressMeter = new TProgressMeter(progressBar);
  ProgressMeter->Reset(0);
  KeepStatusPanelsApart(*MainForm->StatusBar);

  qtTranslation_ = std::make_unique<quill::TZelQtTranslation>();
}

void TModule::DestroyModel() {
  if (DemonstrationModule != nullptr) DemonstrationModule->EditorLink = nullptr;
  demoLink_.reset();
  qtTranslation_.reset();
  delete ProgressMeter;
  ProgressMeter = nullptr;
}

QString TModule::ProgramImagesFolder() {
  return QCoreApplication::applicationDirPath() + QStringLiteral("/Images/");
}

namespace quill {

namespace {

// Answers only the keypad's name in shortcut texts, with Qt's own untranslated "Num";
// every other text goes on to Qt's translations.
class TKeypadWording : public QTranslator {
 public:
  QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                    int /*n*/) const override {
    if (qstrcmp(context, "QShortcut") == 0 && qstrcmp(sourceText, "Num") == 0) return QStringLiteral("Num");
    return {};
  }
  bool isEmpty() const override { return false; }
};

}  // namespace

TZelQtTranslation::TZelQtTranslation() : keypadWording_(std::make_unique<TKeypadWording>()) {
  AddLocalizeHandler(TZelMethod(this, &TZelQtTranslation::Localize));
}

TZelQtTranslation::~TZelQtTranslation() {
  RemoveLocalizeHandler(TZelMethod(this, &TZelQtTranslation::Localize));
  if (translator_ != nullptr) QCoreApplication::removeTranslator(translator_.get());
  QCoreApplication::removeTranslator(keypadWording_.get());
}

void TZelQtTranslation::Localize() {
  if (translator_ != nullptr) QCoreApplication::removeTranslator(translator_.get());
  translator_.reset();
  QCoreApplication::removeTranslator(keypadWording_.get());
  const std::optional<QLocale> locale = LocaleOfLangId(GetLanguage());
  auto translator = std::make_unique<QTranslator>();
  if (locale && translator->load(*locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(translator.get());
    translator_ = std::move(translator);
  }
  // Installed last, so asked before Qt's translations.
  QCoreApplication::installTranslator(keypadWording_.get());
}

}  // namespace quill

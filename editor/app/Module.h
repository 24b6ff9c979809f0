// TModule: the composition root. Creating it creates every module and tool of the
// program in their fixed order, sets their start values and wires the few things
// that cross between them; the settings file is read afterwards (TZelApplication::Run),
// so every value set here is a start value that a saved setting may replace.
//
// It also keeps Qt's own texts in the program's language.
//
// Create it with ZelApplication->CreateForm(Module), before anything else.

#ifndef QUILL_EDITOR_MODULE_H_
#define QUILL_EDITOR_MODULE_H_

#include <QString>

#include <memory>

#include "ZelComponent.h"

class QTranslator;
class TProgressMeter;
class TZelAbout;
class TZelBrightnessContrastTool;
class TZelDemoEditorModule;
class TZelDemonstrationModule;
class TZelCrop2Tool;
class TZelHelp;
class TZelResizeTool;
class TZelRotateTool;
class TZelSystemInfoModule;
class TZelTextTool;
class TZelHandInpaintingTool;
class TZelOriginalImageTool;
class TZelUndoBrushTool;
class TZelWireEraserTool;

namespace quill {

class TZelEditorDemoLink;

// Keeps Qt's own texts (file-dialog labels, message-box buttons) in the program's
// language while it lives: loads Qt's translations for the localizer's language at
// once and again on every switch. The numeric keypad in shortcuts keeps Qt's short
// "Num" in every language ("Strg+Num++"), the form the help and the menus' own texts use.
class TZelQtTranslation {
 public:
  TZelQtTranslation();
  ~TZelQtTranslation();
  TZelQtTranslation(const TZelQtTranslation&) = delete;
  TZelQtTranslation& operator=(const TZelQtTranslation&) = delete;

 private:
  void Localize();

  std::unique_ptr<QTranslator> translator_;
  std::unique_ptr<QTranslator> keypadWording_;
};

}  // namespace quill

class TModule : public quill::TZelComponent {
 public:
  // CreateModel.
  explicit TModule(quill::TZelComponent* owner);
  // DestroyModel.
  ~TModule() override;

  // In this order: the graphics editor (with the main window) and its images folder,
  // the system information, the print module, help, the About box with the program's
  // entries (all of the table) and logo, the tool panel, a separator at the end of the
  // standard toolbar, the tools (the original image tool, whose button follows that
  // separator; the Wire Eraser, then Hand Inpainting with its options hidden, the undo
  // brush at opacity and hardness 255, then brightness and contrast, rotate, resize,
  // crop and text: their buttons in that order on the tool panel's toolbar), the Wire
  // Eraser made current, the status bar's progress bar and its meter, the
  // demonstration module on the images folder with its link to the editor, and the
  // demo editor; the main window is kept at least as wide as its status bar's panels.
  void CreateModel();
  // Frees the progress meter; the application object frees the modules.
  void DestroyModel();

  // The folder of the program file followed by "Images/".
  static QString ProgramImagesFolder();

 private:
  std::unique_ptr<quill::TZelQtTranslation> qtTranslation_;
  std::unique_ptr<quill::TZelEditorDemoLink> demoLink_;
};

// The composition root's references, each set before its object's constructor runs.
// The editor, the tool panel and the other framework modules keep theirs beside their
// classes.
extern TModule* Module;
extern TZelSystemInfoModule* SystemInfoModule;
extern TZelHelp* HelpModule;
extern TZelAbout* AboutModule;
extern TZelOriginalImageTool* OriginalImageTool;
extern TZelWireEraserTool* WireEraserTool;
extern TZelHandInpaintingTool* HandInpaintingTool;
extern TZelUndoBrushTool* UndoBrushTool;
extern TZelBrightnessContrastTool* BrightnessContrastTool;
extern TProgressMeter* ProgressMeter;
extern TZelRotateTool* RotateTool;
extern TZelResizeTool* ResizeTool;
extern TZelCrop2Tool* Crop2Tool;
extern TZelTextTool* TextTool;

#endif  // QUILL_EDITOR_MODULE_H_

// TZelGraphicsPrintModule: File > Print and the Print button of the standard toolbar.
//
// Print asks for a printer in the platform's print dialog, the page turned as the image
// is (landscape for a wide image), and prints the current document's current image on
// one page under the document's name: as large as the page's printable area allows
// with its proportions kept, centred (FitToPage). The image goes to the page through
// the document bitmap's own print path (TZelBitmap::Print on a TRasterSurface over the
// printer), so what is printed is what the tools edited, pixel for pixel.
//
// Print is enabled while Save As is (a document is open) and the editor is not in
// plug-in mode; in plug-in mode the button is hidden as well. A page that cannot be
// started or an image that cannot be put on it is reported in an error box.
//
// Create it after the graphics editor (it needs GraphicsEditor, MainForm and the
// editor's standard toolbar); the items go with the module. Main thread only.

#ifndef QUILL_EDITOR_ZELGRAPHICSPRINTMODULE_H_
#define QUILL_EDITOR_ZELGRAPHICSPRINTMODULE_H_

#include <QPointer>

#include "ZelForms.h"
#include "ZelTypes.h"

class QAction;
class QPrinter;
class TZelBitmap;

class TZelGraphicsPrintModule : public TZelModuleWithControls {
 public:
  // A separator and the Print item (Ctrl+P) in the File menu before its closing
  // separator, and the Print button before the editor's edit buttons.
  explicit TZelGraphicsPrintModule(TZelComponent* owner);
  ~TZelGraphicsPrintModule() override;

  // The item's caption and the button's hint: string 21 followed by "...".
  void Localize() override;
  void UpdateControls() override;

  // The print dialog over the program's printer, its page turned as the current image
  // is; on OK, PrintCurrentImage. Nothing without a document.
  void PrintClick();
  // Prints the current document's current image on Printer, fitted to the page, the
  // print job named after the document. False
  // without a document, or when the page or the image could not be printed.
  bool PrintCurrentImage(QPrinter& printer);

  // Where Print puts an image of Width x Height on a page of PageWidth x PageHeight
  // (both in the printer's pixels): the largest rectangle of the image's proportions
  // that fits, centred. Empty when either has no area.
  static quill::TRect FitToPage(int32_t width, int32_t height, int32_t pageWidth, int32_t pageHeight);

  QAction* GetPrintMenuItem() const { return PrintMenuItem; }
  QAction* GetPrintToolButton() const { return PrintToolButton; }

 private:
  QPointer<QAction> PrintMenuItem;
  QPointer<QAction> PrintMenuSeparator;
  QPointer<QAction> PrintToolButton;
};

// The one print module, from its creation by the composition root until it is freed.
extern TZelGraphicsPrintModule* GraphicsPrintModule;

#endif  // QUILL_EDITOR_ZELGRAPHICSPRINTMODULE_H_

#include "ZelGraphicsPrintModule.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QToolBar>

#include <algorithm>
#include <stdexcept>

#include "MainForm.h"
#include "RasterSurface.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsEditor.h"
#include "ZelLocalizer.h"
#include "ZelPrinter.h"
#include "ZelUtils.h"

TZelGraphicsPrintModule* GraphicsPrintModule = nullptr;

namespace {

constexpr int32_t kPrintText = 21;
constexpr int32_t kPrintErrorText = 1060;

QString PrintCaption() { return GetLocalizedString(kPrintText) + QStringLiteral("..."); }

}  // namespace

TZelGraphicsPrintModule::TZelGraphicsPrintModule(TZelComponent* owner)
    : TZelModuleWithControls(owner) {
  if (MainForm == nullptr || GraphicsEditor == nullptr) {
    throw std::logic_error("The print module needs the graphics editor.");
  }
  TMainForm& form = *MainForm;
  PrintMenuSeparator = form.AddSeparator(form.FileMenuItem, form.FileMenuSeparator);
  PrintMenuItem = form.AddMenuItem(PrintCaption(), quill::scCtrl | 'P', form.FileMenuSeparator,
                                   form.FileMenuItem, quill::kPrintImage, [this] { PrintClick(); });
  QAction* button = nullptr;
  form.AddToolbarButton(GraphicsEditor->StandardToolbar, &form.GetImageList(),
                        GraphicsEditor->EditToolbarSeparator, PrintCaption(), quill::kPrintImage,
                        [this] { PrintClick(); }, button);
  PrintToolButton = button;
}

TZelGraphicsPrintModule::~TZelGraphicsPrintModule() {
  delete PrintToolButton;
  delete PrintMenuItem;
  delete PrintMenuSeparator;
}

void TZelGraphicsPrintModule::Localize() {
  PrintMenuItem->setText(PrintCaption());
  PrintToolButton->setToolTip(PrintCaption());
  TZelModuleWithControls::Localize();
}

void TZelGraphicsPrintModule::UpdateControls() {
  TZelModuleWithControls::UpdateControls();
  const bool enabled = GraphicsEditor->SaveAsMenuItem->isEnabled() && !GraphicsEditor->PluginMode;
  PrintMenuItem->setEnabled(enabled);
  PrintToolButton->setEnabled(enabled);
  PrintToolButton->setVisible(!GraphicsEditor->PluginMode);
}

void TZelGraphicsPrintModule::PrintClick() {
  TZelGraphicsDocument* document = GraphicsEditor->GetCurrentDocument();
  if (document == nullptr) return;
  QPrinter& printer = Printer->GetPrinter();
  // The page turned as the image is, so that it prints as large as it can; the dialog
  // may turn it back.
  printer.setPageOrientation(document->CurrentImage.GetWidth() > document->CurrentImage.GetHeight()
                                 ? QPageLayout::Landscape
                                 : QPageLayout::Portrait);
  QPrintDialog dialog(&printer, MainForm);
  if (dialog.exec() != QDialog::Accepted) return;
  if (!PrintCurrentImage(printer)) {
    ZelApplication->MessageBox(GetLocalizedString(kPrintErrorText), MB_OK | MB_ICONERROR);
  }
}

bool TZelGraphicsPrintModule::PrintCurrentImage(QPrinter& printer) {
  TZelGraphicsDocument* document = GraphicsEditor->GetCurrentDocument();
  if (document == nullptr) return false;
  printer.setDocName(document->GetDisplayName());
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  // The painter's origin is the top left of the printable area.
  const quill::TRect page = FitToPage(document->CurrentImage.GetWidth(),
                               document->CurrentImage.GetHeight(), printer.width(),
                               printer.height());
  quill::TRasterSurface surface(painter);
  const bool printed = document->CurrentImage.Print(surface, page);
  return painter.end() && printed;
}

quill::TRect TZelGraphicsPrintModule::FitToPage(int32_t width, int32_t height, int32_t pageWidth,
                                         int32_t pageHeight) {
  if (width <= 0 || height <= 0 || pageWidth <= 0 || pageHeight <= 0) return {};
  int32_t fitWidth = pageWidth;
  int32_t fitHeight = pageHeight;
  // Compared in 64 bits: which side of the page the image reaches first.
  if (int64_t{width} * pageHeight <= int64_t{height} * pageWidth) {
    fitWidth = std::max(1, MulDiv(width, pageHeight, height));
  } else {
    fitHeight = std::max(1, MulDiv(height, pageWidth, width));
  }
  const int32_t left = (pageWidth - fitWidth) / 2;
  const int32_t top = (pageHeight - fitHeight) / 2;
  return {left, top, left + fitWidth, top + fitHeight};
}

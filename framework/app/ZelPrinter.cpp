#include "ZelPrinter.h"

#include <QPrinter>

TZelPrinter* Printer = nullptr;

namespace {
int printerUnits = 0;
}  // namespace

namespace quill {

TZelPrinterUnit::TZelPrinterUnit() {
  if (printerUnits++ == 0) Printer = new TZelPrinter();
}

TZelPrinterUnit::~TZelPrinterUnit() {
  if (--printerUnits == 0) {
    delete Printer;
    Printer = nullptr;
  }
}

}  // namespace quill

TZelPrinter::TZelPrinter() = default;

TZelPrinter::~TZelPrinter() = default;

QPrinter& TZelPrinter::GetPrinter() {
  if (printer_ == nullptr) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  return *printer_;
}

// TZelPrinter: the program's printer object, the one Printer.
//
// It holds the QPrinter that printing goes through and the map mode of printing. The
// QPrinter is made when it is first asked for: finding the system's printers takes
// time that the start of the program should not spend.
//
// Everything here runs on the main thread.

#ifndef QUILL_FRAMEWORK_ZELPRINTER_H_
#define QUILL_FRAMEWORK_ZELPRINTER_H_

#include <memory>

#include "ZelMapMode.h"

class QPrinter;

class TZelPrinter {
 public:
  TZelPrinter();
  ~TZelPrinter();
  TZelPrinter(const TZelPrinter&) = delete;
  TZelPrinter& operator=(const TZelPrinter&) = delete;

  // The printer (high resolution), made at the first call and the same ever after.
  QPrinter& GetPrinter();
  // Identity extents until an owner sets them.
  TZelHiMetric& GetHiMetric() { return hiMetric_; }

 private:
  std::unique_ptr<QPrinter> printer_;
  TZelHiMetric hiMetric_;
};

// The one printer object, from the creation of the first TZelPrinterUnit to the
// destruction of the last.
extern TZelPrinter* Printer;

namespace quill {

// Creates Printer with the first instance and frees it with the last; create it after
// the QApplication.
class TZelPrinterUnit {
 public:
  TZelPrinterUnit();
  ~TZelPrinterUnit();
  TZelPrinterUnit(const TZelPrinterUnit&) = delete;
  TZelPrinterUnit& operator=(const TZelPrinterUnit&) = delete;
};

}  // namespace quill

#endif  // QUILL_FRAMEWORK_ZELPRINTER_H_

#include <gtest/gtest.h>

#include <QPrinter>

#include "ZelPrinter.h"

namespace {

// What the user chose for printing (here the page's orientation) stays with the one
// printer while any unit lives, and only the last unit frees it.
TEST(PrinterTest, ThePrintersSettingsLastUntilTheLastUnitEnds) {
  ASSERT_EQ(Printer, nullptr);
  {
    quill::TZelPrinterUnit first;
    ASSERT_NE(Printer, nullptr);
    EXPECT_EQ(Printer->GetHiMetric().LogicalToDevice({123, -45}), quill::TPoint(123, -45));
    Printer->GetPrinter().setPageOrientation(QPageLayout::Landscape);
    {
      quill::TZelPrinterUnit second;
      EXPECT_EQ(Printer->GetPrinter().pageLayout().orientation(), QPageLayout::Landscape);
    }
    ASSERT_NE(Printer, nullptr);
    EXPECT_EQ(Printer->GetPrinter().pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_EQ(Printer->GetPrinter().resolution(), QPrinter(QPrinter::HighResolution).resolution());
  }
  EXPECT_EQ(Printer, nullptr);
}

}  // namespace

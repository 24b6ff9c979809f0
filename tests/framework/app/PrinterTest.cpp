#include <gtest/gtest.h>

#include <QPrinter>

#include "ZelPrinter.h"

namespace {

TEST(PrinterTest, TheUnitsShareOnePrinterObjectWithOneQPrinter) {
  ASSERT_EQ(Printer, nullptr);
  {
    quill::TZelPrinterUnit first;
    TZelPrinter* printer = Printer;
    ASSERT_NE(printer, nullptr);
    {
      quill::TZelPrinterUnit second;
      EXPECT_EQ(Printer, printer);
    }
    EXPECT_EQ(Printer, printer);
    EXPECT_EQ(&Printer->GetPrinter(), &Printer->GetPrinter());
    EXPECT_EQ(Printer->GetHiMetric().LogicalToDevice({123, -45}), quill::TPoint(123, -45));
  }
  EXPECT_EQ(Printer, nullptr);
}

}  // namespace

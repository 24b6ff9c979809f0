#include <gtest/gtest.h>

#include <QProgressBar>

#include <memory>

#include "ProgressMeter.h"

namespace {

TEST(ProgressMeterTest, ResetStartsOverZeroShowsAnEmptyBarAndAFreedBarIsLeftAlone) {
  auto bar = std::make_unique<QProgressBar>();
  TProgressMeter meter(bar.get());
  meter.Reset(250);
  EXPECT_EQ(bar->maximum(), 250);
  EXPECT_EQ(bar->value(), 0);

  // QProgressBar animates a busy indicator when its maximum equals its minimum.
  for (int32_t max : {0, -3}) {
    bar->setValue(120);
    meter.Reset(max);
    EXPECT_GT(bar->maximum(), bar->minimum()) << max;
    EXPECT_EQ(bar->value(), bar->minimum()) << max;
  }

  // The status bar frees its bar before the meter goes: resetting then touches no
  // freed memory (the sanitizer build reports any use).
  bar.reset();
  meter.Reset(10);
}

}  // namespace

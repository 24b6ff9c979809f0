#include <gtest/gtest.h>

#include <QProgressBar>

#include <memory>

#include "ProgressMeter.h"

namespace {

TEST(ProgressMeterTest, ResetStartsOverAndZeroShowsAnEmptyBarNotABusyOne) {
  QProgressBar bar;
  TProgressMeter meter(&bar);
  meter.Reset(250);
  EXPECT_EQ(bar.maximum(), 250);
  EXPECT_EQ(bar.value(), 0);

  // QProgressBar animates a busy indicator when its maximum equals its minimum.
  for (int32_t max : {0, -3}) {
    bar.setValue(120);
    meter.Reset(max);
    EXPECT_GT(bar.maximum(), bar.minimum()) << max;
    EXPECT_EQ(bar.value(), bar.minimum()) << max;
  }
}

TEST(ProgressMeterTest, OutlivingItsBarIsHarmless) {
  auto bar = std::make_unique<QProgressBar>();
  TProgressMeter meter(bar.get());
  bar.reset();
  EXPECT_EQ(meter.GetProgressBar(), nullptr);
  meter.Reset(10);
}

}  // namespace

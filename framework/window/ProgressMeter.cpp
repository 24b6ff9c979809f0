#include "ProgressMeter.h"

TProgressMeter::TProgressMeter(QProgressBar* progressBar) : progressBar_(progressBar) {}

void TProgressMeter::Reset(int32_t max) {
  if (progressBar_ == nullptr) return;
  const int32_t maximum = max != 0 ? max : defaultMax_;
  // A range of 0 .. 0 is QProgressBar's busy indicator; 0 .. 1 at 0 is an empty bar.
  progressBar_->setRange(0, maximum > 0 ? maximum : 1);
  progressBar_->setValue(0);
}

// TProgressMeter: reports progress through a progress bar of the status bar.
//
// The bar belongs to whoever created it; the meter only drives it and does nothing
// once the bar is gone.

#ifndef QUILL_FRAMEWORK_PROGRESSMETER_H_
#define QUILL_FRAMEWORK_PROGRESSMETER_H_

#include <QPointer>
#include <QProgressBar>

#include <cstdint>

class TProgressMeter {
 public:
  explicit TProgressMeter(QProgressBar* progressBar);

  // Starts over towards Max (0 stands for DefaultMax): the bar's maximum becomes Max
  // and its position 0. A maximum of 0 or less shows an empty bar; QProgressBar would
  // show its busy animation for it.
  void Reset(int32_t max);

  QProgressBar* GetProgressBar() const { return progressBar_; }

 private:
  QPointer<QProgressBar> progressBar_;
  int32_t defaultMax_ = 0;  // the maximum that Reset(0) stands for
};

#endif  // QUILL_FRAMEWORK_PROGRESSMETER_H_

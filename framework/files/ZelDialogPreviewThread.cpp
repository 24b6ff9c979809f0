#include "ZelDialogPreviewThread.h"

#include <system_error>
#include <utility>

TZelDialogPreviewThread::TZelDialogPreviewThread(const TZelFileFormats& formats,
                                                 std::function<void()> notify)
    : formats_(formats), notify_(std::move(notify)) {}

TZelDialogPreviewThread::~TZelDialogPreviewThread() {
  Terminate();
  Stop();
}

bool TZelDialogPreviewThread::Start() {
  if (worker_.joinable()) return true;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (terminated_ || stopping_) return false;
  }
  try {
    worker_ = std::thread(&TZelDialogPreviewThread::Run, this);
  } catch (const std::system_error&) {
    return false;  // the dialog works on, without previews
  }
  return true;
}

void TZelDialogPreviewThread::Terminate() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    terminated_ = true;
    request_.reset();
    working_.request_stop();
  }
  wake_.notify_all();
}

void TZelDialogPreviewThread::Stop() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

uint64_t TZelDialogPreviewThread::RequestPreview(const QString& fileName, int32_t width,
                                                 int32_t height) {
  const uint64_t number = ++lastNumber_;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (terminated_) return number;  // never answered
    request_ = TRequest{fileName, width, height, number};
    working_.request_stop();  // its picture would be discarded anyway
  }
  wake_.notify_one();
  return number;
}

bool TZelDialogPreviewThread::TakePreview(uint64_t number,
                                          std::unique_ptr<TZelThumbnail>& thumbnail) {
  std::unique_ptr<TZelThumbnail> taken;
  uint64_t takenNumber = 0;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    taken = std::move(result_);
    takenNumber = resultNumber_;
  }
  if (taken == nullptr || takenNumber != number) return false;  // a stale picture is freed here
  thumbnail = std::move(taken);
  return true;
}

bool TZelDialogPreviewThread::ProcessRequest() {
  TRequest request;
  std::stop_token stop;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!request_.has_value() || terminated_) return false;
    request = std::move(*request_);
    request_.reset();
    working_ = std::stop_source();
    stop = working_.get_token();
  }

  std::unique_ptr<TZelThumbnail> thumbnail;
  bool made = false;
  try {
    made = formats_.GetThumbnail(request.FileName, request.Width, request.Height, thumbnail, stop);
  } catch (...) {
    made = false;  // nothing may leave the worker; a failed picture leaves the box empty
  }
  if (!made || thumbnail == nullptr) return true;

  // Whatever is not stored (this picture when overtaken, or an earlier picture that
  // the main thread never took) is freed after the lock is released.
  std::unique_ptr<TZelThumbnail> unused;
  bool stored = false;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (terminated_ || request_.has_value()) {
      unused = std::move(thumbnail);
    } else {
      unused = std::exchange(result_, std::move(thumbnail));
      resultNumber_ = request.Number;
      stored = true;
    }
  }
  if (stored && notify_) notify_();
  return true;
}

void TZelDialogPreviewThread::Run() {
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return terminated_ || stopping_ || request_.has_value(); });
      if (terminated_ || stopping_) return;
    }
    ProcessRequest();
  }
}

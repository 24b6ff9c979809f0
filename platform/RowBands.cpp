#include "RowBands.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace quill {

namespace {

// The helper threads. A call publishes its bands under the mutex and wakes them; each
// helper that wakes counts itself active, takes bands until none is left and counts
// itself out. A call returns once it ran out of bands and no helper is active, and
// publishes only while none is, so no helper reads one call's bands while the next
// call sets its own.
class TRowBandPool {
 public:
  ~TRowBandPool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& helper : helpers_) helper.join();
  }

  void Run(int count, const std::function<void(int band)>& work) {
    std::unique_lock<std::mutex> lock(mutex_);
    // A helper that woke late for the last call may still be looking for its bands.
    done_.wait(lock, [this] { return active_ == 0; });
    Start(count - 1);
    work_ = &work;
    count_ = count;
    next_.store(0, std::memory_order_relaxed);
    ++generation_;
    lock.unlock();
    wake_.notify_all();
    TakeBands();
    lock.lock();
    done_.wait(lock, [this] { return active_ == 0; });
    work_ = nullptr;
  }

 private:
  // Starts helpers up to Wanted; a helper that cannot be started leaves its bands to
  // the others.
  void Start(int wanted) {
    while (static_cast<int>(helpers_.size()) < wanted) {
      try {
        helpers_.emplace_back([this, seen = generation_] { Help(seen); });
      } catch (const std::system_error&) {
        return;
      }
    }
  }

  void TakeBands() {
    for (int band = next_.fetch_add(1, std::memory_order_relaxed); band < count_;
         band = next_.fetch_add(1, std::memory_order_relaxed)) {
      (*work_)(band);
    }
  }

  // Seen is the last call the helper has no part in.
  void Help(unsigned long seen) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
      if (stop_) return;
      seen = generation_;
      ++active_;
      lock.unlock();
      TakeBands();
      lock.lock();
      if (--active_ == 0) done_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::vector<std::thread> helpers_;
  const std::function<void(int)>* work_ = nullptr;
  int count_ = 0;
  std::atomic<int> next_{0};
  unsigned long generation_ = 0;
  int active_ = 0;
  bool stop_ = false;
};

thread_local bool tInsideBands = false;

}  // namespace

void RunRowBands(int first, int last, int minimumRows, const std::function<void(int first, int last)>& work) {
  const int rows = last - first;
  if (rows <= 0) return;
  static const int threads = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, kMaxRowBands);
  const int count = std::clamp(rows / std::max(minimumRows, 1), 1, threads);
  static std::mutex caller;
  std::unique_lock<std::mutex> only(caller, std::defer_lock);
  // One band, a call from inside a band, or a second thread calling at the same time:
  // the rows run here.
  if (count == 1 || tInsideBands || !only.try_lock()) {
    work(first, last);
    return;
  }
  static TRowBandPool pool;
  const std::function<void(int)> band = [&](int index) {
    tInsideBands = true;
    work(first + static_cast<int>(static_cast<long long>(rows) * index / count),
         first + static_cast<int>(static_cast<long long>(rows) * (index + 1) / count));
    tInsideBands = false;
  };
  pool.Run(count, band);
}

}  // namespace quill

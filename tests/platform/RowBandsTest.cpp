// Row bands cover their range exactly once, split only what is worth splitting, and
// run a call made from inside a band on its own thread.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "RowBands.h"

TEST(RowBands, EveryRowOnceInAtMostTheGivenBands) {
  for (const auto& [first, last, minimum] : std::vector<std::tuple<int, int, int>>{
           {0, 1003, 80}, {-7, 9, 1}, {5, 6, 1}, {0, 1000, 0}, {3, 3, 1}, {10, 4, 1}}) {
    std::vector<std::atomic<int>> hits(static_cast<size_t>(std::max(last - first, 0)));
    std::mutex mutex;
    std::vector<std::pair<int, int>> bands;
    quill::RunRowBands(first, last, minimum, [&](int top, int bottom) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        bands.emplace_back(top, bottom);
      }
      for (int y = top; y < bottom; ++y) ++hits[static_cast<size_t>(y - first)];
    });
    for (const std::atomic<int>& hit : hits) EXPECT_EQ(hit.load(), 1) << first << ".." << last;
    EXPECT_LE(bands.size(), static_cast<size_t>(quill::kMaxRowBands));
    for (const auto& [top, bottom] : bands) EXPECT_GE(bottom - top, std::min(std::max(minimum, 1), last - first));
  }
}

TEST(RowBands, FewRowsAndCallsFromInsideABandStayOnTheirThread) {
  const std::thread::id caller = std::this_thread::get_id();
  std::set<std::thread::id> threads;
  quill::RunRowBands(0, 63, 64, [&](int, int) { threads.insert(std::this_thread::get_id()); });
  EXPECT_EQ(threads, std::set<std::thread::id>{caller});

  std::atomic<int> nestedOffThread{0};
  std::atomic<int> rows{0};
  quill::RunRowBands(0, 400, 100, [&](int top, int bottom) {
    const std::thread::id outer = std::this_thread::get_id();
    quill::RunRowBands(top, bottom, 1, [&](int innerTop, int innerBottom) {
      if (std::this_thread::get_id() != outer) ++nestedOffThread;
      rows += innerBottom - innerTop;
    });
  });
  EXPECT_EQ(nestedOffThread.load(), 0);
  EXPECT_EQ(rows.load(), 400);
}

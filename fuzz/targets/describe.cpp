// What the open dialog does with any file it is shown: the description from the
// headers (under its read limit) and the thumbnail, averaged from the rows as they
// decode. Neither may hold more than a few rows of a picture, whatever the file's
// header promises: under AddressSanitizer (the fuzzer and the sanitizer build's replay)
// the heap they hold at once is measured and may not exceed kHeapBudget.
//
// The measure is the live heap, counted through the sanitizer's allocation hooks, not
// the process's size: that includes the blocks AddressSanitizer keeps aside after they
// are freed (its quarantine, 256 MB by default), which made a size cap report memory
// that no input holds.

#include <QImage>

#include <atomic>

#include "FuzzSupport.h"
#include "ImageCodecs.h"

#if defined(__SANITIZE_ADDRESS__)
#define QUILL_MEASURE_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILL_MEASURE_HEAP 1
#endif
#endif

#ifdef QUILL_MEASURE_HEAP
// The sanitizer's allocator interface (GCC ships no header for it).
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*allocated)(const volatile void*, size_t),
                                              void (*released)(const volatile void*));
size_t __sanitizer_get_allocated_size(const volatile void* block);
}
#endif

namespace {

using quill::fuzz::Check;

constexpr int32_t kBoxWidth = 160;
constexpr int32_t kBoxHeight = 120;
// The most heap the description and the thumbnail of one file may hold at once.
constexpr int64_t kHeapBudget = int64_t{256} << 20;

#ifdef QUILL_MEASURE_HEAP
std::atomic<int64_t> liveHeap{0};
std::atomic<int64_t> peakHeap{0};

void CountAllocation(const volatile void*, size_t size) {
  const int64_t now = liveHeap.fetch_add(static_cast<int64_t>(size), std::memory_order_relaxed) +
                      static_cast<int64_t>(size);
  int64_t peak = peakHeap.load(std::memory_order_relaxed);
  while (now > peak && !peakHeap.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
  }
}

void CountRelease(const volatile void* block) {
  const auto size = static_cast<int64_t>(__sanitizer_get_allocated_size(block));
  liveHeap.fetch_sub(size, std::memory_order_relaxed);
}

// Measures the heap from its construction on: Peak is the most held at once beyond
// what was held when it began.
class THeapMeter {
 public:
  THeapMeter() {
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(CountAllocation, CountRelease) != 0;
    Check(installed, "cannot install the allocation hooks");
    base_ = liveHeap.load(std::memory_order_relaxed);
    peakHeap.store(base_, std::memory_order_relaxed);
  }
  int64_t Peak() const { return peakHeap.load(std::memory_order_relaxed) - base_; }

 private:
  int64_t base_ = 0;
};
#else
// Without the sanitizer's hooks nothing is measured.
class THeapMeter {
 public:
  int64_t Peak() const { return 0; }
};
#endif

// The description from the file and from memory, which must agree; whether it read.
bool CheckDescription(std::span<const uint8_t> bytes, const std::filesystem::path& path) {
  quill::TImageFileInfo info;
  const bool described = quill::ReadImageFileInfo(path, info);
  // The same description from memory, and within the read limit.
  quill::TImageSource memory(bytes);
  memory.SetReadLimit(quill::kHeaderReadLimit);
  quill::TImageFileInfo fromMemory;
  Check(quill::ReadImageFileInfo(memory, fromMemory) == described, "file and memory descriptions disagree");
  Check(memory.BytesRead() <= quill::kHeaderReadLimit, "a description read past its limit");
  if (described) {
    Check(fromMemory.Format == info.Format && fromMemory.Width == info.Width && fromMemory.Height == info.Height,
          "file and memory descriptions differ");
    Check(quill::ImageSizeAllowed(info.Width, info.Height), "a description gave a size beyond the limits");
  }
  return described;
}

void CheckThumbnail(const std::filesystem::path& path, bool described) {
  QImage thumbnail;
  if (!quill::MakeThumbnail(path, kBoxWidth, kBoxHeight, thumbnail)) return;
  Check(described, "a file without a description has a thumbnail");
  Check(thumbnail.width() >= 1 && thumbnail.width() <= kBoxWidth && thumbnail.height() >= 1 &&
            thumbnail.height() <= kBoxHeight && (thumbnail.width() == kBoxWidth || thumbnail.height() == kBoxHeight),
        "the thumbnail does not fill its box");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const std::filesystem::path path = quill::fuzz::WriteScratchFile("describe", bytes);
  const THeapMeter heap;
  CheckThumbnail(path, CheckDescription(bytes, path));
  Check(heap.Peak() <= kHeapBudget, "the description and the thumbnail held more than 256 MB");
  return 0;
}

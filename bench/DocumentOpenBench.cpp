// Opening a 6000 x 4000 JPEG with EXIF into a graphics document (the exchange-file
// probe, the lossless reader, the three images and the property items, as File > Open
// does it) and painting its first frame, a 1920 x 1080 view at best fit (1/4), beside
// the codecs' plain read and decode of the same file, in the same run. The document
// should take at most 1.3 times the codecs' time.
//
// Warm, each document opens after the one before it closed, as a second photo opens in
// the program: its image takes the closed photo's memory. Cold, the closed photo's
// memory is freed first, as at the first open in a process: the image is mapped and
// zeroed anew.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <QImage>

#include "BenchPhotos.h"
#include "ImageCodecs.h"
#include "ZelBitmap.h"
#include "ZelGraphicsDocument.h"
#include "ZelGraphicsFormats.h"
#include "ZelGraphicsView.h"

namespace {

// The grainy 6000 x 4000 photo saved once as a JPEG (quality 90) with a camera's make,
// model and date.
const std::filesystem::path& PhotoFile() {
  static const std::filesystem::path file = [] {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "quill-document-bench";
    std::filesystem::create_directories(folder);
    quill::TImageMetadata metadata;
    metadata.Items.push_back({quill::kPropertyMake, 2, {'Q', 'u', 'i', 'l', 'l', 0}});
    metadata.Items.push_back({quill::kPropertyModel, 2, {'Q', 'M', '-', '1', 0}});
    metadata.Items.push_back({quill::kPropertyDateTime, 2, {'2', '0', '2', '4', ':', '0', '5', ':', '0', '6', ' ',
                                                     '0', '7', ':', '0', '8', ':', '0', '9', 0}});
    const std::filesystem::path name = folder / "photo.jpg";
    if (!quill::SaveImageFile(name, quillbench::GrainyLargePhoto().GetPixels(), "image/jpeg", 90, metadata)) {
      std::abort();
    }
    std::fprintf(stderr, "benchmark file: %s\n", name.c_str());
    return name;
  }();
  return file;
}

void BM_CodecReadAndDecode(benchmark::State& state) {
  const std::filesystem::path& file = PhotoFile();
  for (auto _ : state) {
    auto image = std::make_unique<TZelLTBitmap>();
    quill::TImageRawFormat format;
    quill::TImageMetadata metadata;
    if (!quill::LoadImageFile(file, *image, format, metadata)) std::abort();
    state.PauseTiming();
    image.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CodecReadAndDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

void OpenAndPaintFirstFrame(benchmark::State& state, bool cold) {
  const QString file = QString::fromStdString(PhotoFile().string());
  TZelGraphicsFormats formats;
  QImage window(1920, 1080, QImage::Format_RGB32);
  for (auto _ : state) {
    auto document = std::make_unique<TZelGraphicsDocument>(nullptr);
    int32_t formatId = -2;
    if (!formats.Load(document.get(), file, formatId) || formatId != 0) std::abort();
    auto* view = static_cast<TZelGraphicsView*>(document->GetView());
    view->DocumentView->SetVisible(true);
    view->resize(window.size());
    view->SetZoom(1, 4);
    view->render(&window, QPoint(), QRegion(window.rect()), QWidget::RenderFlags());
    benchmark::DoNotOptimize(window.constBits());
    state.PauseTiming();
    document.reset();
    if (cold) quill::ReleaseKeptPixelBlocks();
    state.ResumeTiming();
  }
}

void BM_OpenAndPaintFirstFrame(benchmark::State& state) { OpenAndPaintFirstFrame(state, false); }
BENCHMARK(BM_OpenAndPaintFirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenAndPaintFirstFrameCold(benchmark::State& state) { OpenAndPaintFirstFrame(state, true); }
BENCHMARK(BM_OpenAndPaintFirstFrameCold)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

// The pictures the benchmarks work on, made the same way for all of them.
//
// LargePhoto: the sample portrait (images/astronaut.png) enlarged to 6000 x 4000 with
// the bitmap's own resize, made once per process (GrainyLargePhoto: the same with grain); the process aborts when it cannot
// be made. FillColourField: a smooth synthetic colour field that every row and column
// changes (blue x / 24, green y / 16, red (x + y) / 40), for benchmarks that want an
// image without a file.

#ifndef QUILL_BENCH_BENCHPHOTOS_H_
#define QUILL_BENCH_BENCHPHOTOS_H_

#include <cstdint>
#include <vector>

#include "ZelLTBitmap.h"

namespace quillbench {

constexpr int32_t kLargeWidth = 6000;
constexpr int32_t kLargeHeight = 4000;

const TZelLTBitmap& LargePhoto();
// LargePhoto with a sensor's fine grain added: an enlargement alone is far smoother
// than a photo of that size, and would decode and transcode in a fraction of a camera
// file's time. Made once per process.
const TZelLTBitmap& GrainyLargePhoto();

// Fills 24-bit Pixels with the colour field.
void FillColourField(TZelPixels& pixels);

// The median of Values (the upper one of an even count); Values must not be empty.
double Median(std::vector<double> values);

}  // namespace quillbench

#endif  // QUILL_BENCH_BENCHPHOTOS_H_

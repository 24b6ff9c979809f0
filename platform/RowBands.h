// RunRowBands: a large pixel loop spread over a few threads, for the view's paint.
//
// Painting a whole view of a large photo samples tens of megabytes of source rows, and
// one core spends most of that time waiting for memory: four threads sample a 1920 x
// 1080 view at 1/4 in about a quarter of the time one takes. RunRowBands cuts the rows [First, Last) into at most kMaxRowBands
// bands of at least MinimumRows rows each and calls Work(bandFirst, bandLast) for every
// band: the calling thread takes bands itself and helper threads take the others. It
// returns when every band is done. There are no more bands than the processor has
// threads; with one band (few rows) Work runs on the calling thread alone and no
// thread is started.
//
// Work must be pure pixel work: it may read what all bands read, write only its own
// band's memory, and must not throw or call into Qt's object model. The helpers are
// started on first use, wait between calls without using the processor, and end with
// the program. A call from inside Work, or from a second thread while a call runs,
// runs all its rows on the calling thread.

#ifndef QUILL_PLATFORM_ROWBANDS_H_
#define QUILL_PLATFORM_ROWBANDS_H_

#include <functional>

namespace quill {

constexpr int kMaxRowBands = 4;

void RunRowBands(int first, int last, int minimumRows, const std::function<void(int first, int last)>& work);

}  // namespace quill

#endif  // QUILL_PLATFORM_ROWBANDS_H_

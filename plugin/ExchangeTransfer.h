// The plug-in's two crossings of the exchange file: the host's input pixels into a new
// file, and the main program's result back into the host's output buffer.
//
// Both go through pread/pwrite on a descriptor, never through a mapping: a mapped file
// that another process shortens would fault in the host on the next access, and a
// plug-in must never take its host down. Only the pixels of the filter rectangle are
// read from or written into the host's buffers (Width * Planes bytes of each row), so a
// rectangle inside a larger image leaves the host's other pixels alone.

#ifndef QUILL_PLUGIN_EXCHANGETRANSFER_H_
#define QUILL_PLUGIN_EXCHANGETRANSFER_H_

#include <cstdint>
#include <string>

#include "ExchangeFile.h"

namespace quill {

// Whether Header and Data describe pixels the plug-in can use: Data is set, Width and
// Height are at least 1, Planes is at least 3 and a row of Width pixels fits in RowBytes.
bool ValidHostImage(const TPhotoshopDataInfo& header, const void* data);

// Writes the exchange file into the empty open File: the size 36 + RowBytes * Height,
// "PSPF", Input's header and, at 36 + y * RowBytes, the Width * Planes bytes of InData's
// row y; the rest of every row reads as zero. Input must be a ValidHostImage. False
// when the file cannot be sized or written in full.
bool WriteExchangeInput(int file, const TPhotoshopDataInfo& input, const uint8_t* inData);

enum class TReadBack {
  Copied,           // the pixels are in the output buffer
  // missing, no regular file (never waited on), shorter than a header or not beginning
  // "PSPF"
  NotExchangeFile,
  Unusable,         // size or mode changed, a header that does not fit the file, a failed read
};

// Reads the exchange file FileName into OutData, laid out as Output describes (which
// must be a ValidHostImage). The file's Width, Height and Mode must equal Output's, its
// HeaderSize be at least 32, its Planes at least 3, a row of Width pixels fit in its
// RowBytes and its rows lie inside the file; all this is checked, in 64-bit arithmetic,
// before anything is copied. With equal Planes whole pixels are copied, otherwise the
// first three bytes of each pixel and the output's further planes keep their values.
// A read that fails part-way (the file changed under the reader) may leave the rows
// before it copied and gives Unusable.
TReadBack ReadExchangeOutput(const std::string& fileName, const TPhotoshopDataInfo& output, uint8_t* outData);

}  // namespace quill

#endif  // QUILL_PLUGIN_EXCHANGETRANSFER_H_

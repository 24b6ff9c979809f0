// PNG files as 24-bit pixel buffers, for the quality drivers and their tests.
//
// Both calls report failure with false and a message in Error that names the file;
// neither ever throws, aborts or leaves memory behind on a failure.

#ifndef QUILL_BENCH_QUALITY_PNGFILE_H_
#define QUILL_BENCH_QUALITY_PNGFILE_H_

#include <cstdint>
#include <string>

#include "ZelBitmap.h"

// The largest image ReadPng accepts: each side at most kPngMaxSide pixels and at
// most kPngMaxPixels pixels in all.
constexpr uint32_t kPngMaxSide = 65535;
constexpr uint64_t kPngMaxPixels = uint64_t{1} << 28;

// Reads any PNG (grey, palette, 16-bit, with or without alpha, interlaced or not)
// into Image as kPixelFormat24 with bounds (0, 0, width, height): 8 bits a channel,
// B, G, R order, alpha dropped. The size is checked before any pixel memory is
// taken. On failure Image is left empty and Error says one of "cannot open PATH: ...",
// "PATH is not a PNG image", "PATH is too large (W x H)", "PATH is damaged: ..." or
// "not enough memory for PATH".
bool ReadPng(const std::string& path, TZelPixelBuffer& image, std::string& error);

// Writes the 24-bit Image (B, G, R bytes) as an 8-bit RGB PNG. The file is written
// to a temporary file in Path's folder and renamed over Path only when complete, so
// a failure leaves an existing Path as it was and no temporary behind.
bool WritePng(const std::string& path, const TZelPixels& image, std::string& error);

#endif  // QUILL_BENCH_QUALITY_PNGFILE_H_

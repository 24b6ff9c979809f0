// The Huffman statistics of a sequential JPEG scan, counted from whole-image
// coefficient arrays in the order libjpeg's writer encodes them, and the optimal tables
// made from them. libjpeg's own optimised coding counts the same symbols in an extra
// pass of its entropy encoder, one coefficient at a time; counting here, from each
// block's nonzero coefficients alone, gives the same counts for a fraction of the time,
// and the tables come from libjpeg's own table builder, so the file is the same byte for
// byte.
//
// The order: one component's blocks row by row; several components MCU by MCU, each
// MCU holding H x V blocks of each component in turn. A partial MCU at the right or
// bottom edge is padded with blocks that repeat the DC of the block before them and
// hold no AC coefficient, as the writer pads it.

#ifndef QUILL_PLATFORM_JPEGHUFFMANCOUNTS_H_
#define QUILL_PLATFORM_JPEGHUFFMANCOUNTS_H_

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "JpegSupport.h"

namespace quill {

struct TJpegHuffmanCounts {
  // Per component, per symbol (256 entries; libjpeg's table builder wants one more).
  std::vector<std::array<long, 257>> Dc;
  std::vector<std::array<long, 257>> Ac;
};

// A component of the scan: sampling factors and its blocks across and down (the
// padded grid of the arrays may be larger).
struct TJpegScanComponent {
  int H;
  int V;
  int64_t BlocksAcross;
  int64_t BlocksDown;
};

// Counts the symbols of Components, whose block row R of component C is Row(C, R).
// False when a row is missing (null) or a coefficient lies beyond what an 8-bit JPEG
// can hold (a DC difference beyond 11 bits, an AC coefficient beyond 10), which the
// writer would write corrupt.
using TJpegBlockRowOf = std::function<const JBLOCK*(size_t component, int64_t row)>;
bool CountHuffmanSymbols(const std::vector<TJpegScanComponent>& components, const TJpegBlockRowOf& row,
                         TJpegHuffmanCounts& counts);

// Gives Writer, set up for a sequential scan, the optimal Huffman tables of Counts in
// the slots its components use, and plain (not optimised) coding. Runs inside the
// caller's setjmp; the counts are used up.
void SetOptimalHuffmanTables(jpeg_compress_struct& writer, TJpegHuffmanCounts& counts);

}  // namespace quill

#endif  // QUILL_PLATFORM_JPEGHUFFMANCOUNTS_H_

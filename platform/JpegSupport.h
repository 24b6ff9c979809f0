// What every libjpeg user of this layer shares: an error manager that turns the
// library's fatal errors into a jump back to our call instead of exit(), and silences
// its warnings; owners that destroy the library's objects on every path; and a
// compressor destination that writes into a vector the owner holds, so the output is
// freed exactly once whether compression finishes or jumps out half-way.
//
// The pattern: the owner lives in the calling function; the function that calls
// setjmp(Owner.Error.Jump) holds no objects with destructors, so a jump skips nothing
// that needed running.

#ifndef QUILL_PLATFORM_JPEGSUPPORT_H_
#define QUILL_PLATFORM_JPEGSUPPORT_H_

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include <jpeglib.h>

namespace quill {

struct TJpegError {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
  // Set by a warning that means pixels were lost (data ended early, a corrupt entropy
  // segment): libjpeg carries on with grey, we report the decode as failed.
  bool Corrupt;
};

// Sets up Error and returns the manager to store in a libjpeg object's err.
jpeg_error_mgr* InitJpegError(TJpegError& error);

struct TJpegDecompressor {
  TJpegDecompressor();
  ~TJpegDecompressor();
  TJpegDecompressor(const TJpegDecompressor&) = delete;
  TJpegDecompressor& operator=(const TJpegDecompressor&) = delete;

  jpeg_decompress_struct Info;
  TJpegError Error;
};

struct TJpegCompressor {
  TJpegCompressor();
  ~TJpegCompressor();
  TJpegCompressor(const TJpegCompressor&) = delete;
  TJpegCompressor& operator=(const TJpegCompressor&) = delete;

  jpeg_compress_struct Info;
  TJpegError Error;
  // The compressed bytes. The constructor makes this vector Info's destination: each
  // compression starts it empty, grows it as needed and trims it to the bytes written
  // when it finishes. After an error it holds a partial stream.
  std::vector<uint8_t> Output;

 private:
  jpeg_destination_mgr FDestination;
};

// Reads the header of the JPEG in Data, which must outlive the reader, keeping the APP1
// (Exif) and APP2 (ICC profile) segments and, with AllMarkers, every APPn and COM
// segment. False when it is no
// JPEG or its header is damaged.
bool ReadJpegHeader(TJpegDecompressor& reader, const uint8_t* data, size_t size, bool allMarkers);

// After ReadJpegHeader: chooses B, G, R output (CMYK for four-component images) at
// 1/ScaleDenominator, with the fast DCT and plain upsampling when Fast, and computes
// Info.output_width and output_height for the caller to allocate.
bool PrepareJpegOutput(TJpegDecompressor& reader, int scaleDenominator, bool fast);

// After PrepareJpegOutput: decodes into 24-bit B, G, R rows of the output size, Stride
// bytes apart. CMYK and YCCK (Adobe inverted or plain) become RGB. False on any error
// or lost data.
bool ReadJpegPixels(TJpegDecompressor& reader, uint8_t* bits, int64_t stride);

// The Exif body (the TIFF structure after "Exif\0\0") of the first Exif APP1 segment
// the reader kept; empty when none.
std::span<const uint8_t> JpegExifBody(const TJpegDecompressor& reader);

}  // namespace quill

#endif  // QUILL_PLATFORM_JPEGSUPPORT_H_

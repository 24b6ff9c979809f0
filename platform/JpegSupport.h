// What every libjpeg user of this layer shares: an error manager that turns the
// library's fatal errors into a jump back to our call instead of exit(), and silences
// its warnings; owners that destroy the library's objects on every path; and a
// compressor destination that writes into a vector the owner holds, so the output is
// freed exactly once whether compression finishes or jumps out half-way; and a home for
// whole-image coefficient arrays on huge pages (TJpegBlockMemory).
//
// The pattern: the owner lives in the calling function; the function that calls
// setjmp(Owner.Error.Jump) holds no objects with destructors, so a jump skips nothing
// that needed running.
//
// A decompressor reads from memory or from a TImageSource (a file read where libjpeg
// asks, segments it does not keep skipped without being read). Every warning that
// means pixels were lost (the data ends early, a corrupt entropy segment) ends the
// call at once, as an error does: a cut file fails after reading what it holds, not
// after decoding a picture of grey. A decode is refused before anything is allocated
// when the file is too short for the blocks its header promises: with Huffman coding
// every block of every component costs at least one bit.

#ifndef QUILL_PLATFORM_JPEGSUPPORT_H_
#define QUILL_PLATFORM_JPEGSUPPORT_H_

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include <jpeglib.h>

#include "ImageSource.h"

namespace quill {

class TPixelSink;
class TJpegBlockMemory;

struct TJpegError {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
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
  // The size of the data being read.
  uint64_t DataSize = 0;
  // The reader of a TImageSource (see JpegSupport.cpp); the first Exif segment when
  // only that one is kept.
  struct TSourceReader;
  std::unique_ptr<TSourceReader> Reader;
  std::vector<uint8_t> Exif;
  // Where whole-image coefficient arrays live; null: libjpeg's own memory.
  TJpegBlockMemory* BlockMemory = nullptr;
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
  // The size the output is expected to reach, when known: its first buffer is made
  // that large, sparing the copies (and the fresh pages) of growing to it.
  size_t ExpectedSize = 0;
  // Where whole-image coefficient arrays live; null: libjpeg's own memory.
  TJpegBlockMemory* BlockMemory = nullptr;

 private:
  jpeg_destination_mgr FDestination;
};

// Whole-image coefficient arrays in the program's own memory instead of libjpeg's: each
// array is one zeroed block from AllocatePixelBlock, so it lies on huge pages where the
// kernel offers them. libjpeg maps its arrays page by page, and first touching the 70 MB
// of a 6000 x 4000 photo's coefficients that way costs several times what reading them
// does. A reader that this memory serves gets the arrays of jpeg_read_coefficients
// here; a writer that it serves reads the arrays given to jpeg_write_coefficients from
// here. It takes over the objects' virtual-array methods (the memory manager's public
// method pointers) and hands any array that is not its own to libjpeg's methods. The
// memory must outlive every object it serves; its arrays live as long as it does.
class TJpegBlockPool;

class TJpegBlockMemory {
 public:
  // With Pool, arrays take their blocks from it and give them back when this memory
  // goes.
  explicit TJpegBlockMemory(TJpegBlockPool* pool = nullptr);
  ~TJpegBlockMemory();
  TJpegBlockMemory(const TJpegBlockMemory&) = delete;
  TJpegBlockMemory& operator=(const TJpegBlockMemory&) = delete;

  // Before the reader's jpeg_read_coefficients or the writer's jpeg_write_coefficients.
  void Serve(TJpegDecompressor& reader);
  void Serve(TJpegCompressor& writer);
  // A zeroed array of Rows rows of Across blocks, for a served object; null when the
  // memory cannot be had.
  jvirt_barray_ptr Allocate(JDIMENSION across, JDIMENSION rows);
  // Row Row of one of this memory's arrays, realised; null for any other array or row.
  const JBLOCK* Row(jvirt_barray_ptr array, JDIMENSION row) const;

 private:
  struct TArray;
  static jvirt_barray_ptr Request(j_common_ptr info, int pool, boolean preZero, JDIMENSION across, JDIMENSION rows,
                                  JDIMENSION maxAccess);
  static void Realize(j_common_ptr info);
  static JBLOCKARRAY Access(j_common_ptr info, jvirt_barray_ptr array, JDIMENSION first, JDIMENSION count,
                            boolean writable);
  static TJpegBlockMemory& Of(j_common_ptr info);
  // A new array, not realised yet; throws when its record cannot be had.
  TArray& Add(JDIMENSION across, JDIMENSION rows);
  TArray* Find(jvirt_barray_ptr array) const;
  bool RealizeAll();
  void Take(jpeg_memory_mgr& manager, bool requests);

  TJpegBlockPool* FPool;
  std::vector<std::unique_ptr<TArray>> FArrays;
  // libjpeg's methods, for the arrays that are not ours.
  decltype(jpeg_memory_mgr::realize_virt_arrays) FLibraryRealize = nullptr;
  decltype(jpeg_memory_mgr::access_virt_barray) FLibraryAccess = nullptr;
};

// The blocks of whole-image coefficient arrays kept from one use of a TJpegBlockMemory
// to the next, so that a second save of the same picture reuses memory that is mapped
// already instead of having the kernel map and zero it afresh (which costs far more
// than reading or writing it). Between uses the blocks are offered back to the system
// (MADV_FREE): the kernel takes their pages only when it runs short, and a block whose
// pages it took is faulted in anew on its next use, as a new one would be.
class TJpegBlockPool {
 public:
  TJpegBlockPool();
  ~TJpegBlockPool();
  TJpegBlockPool(const TJpegBlockPool&) = delete;
  TJpegBlockPool& operator=(const TJpegBlockPool&) = delete;

  struct FreeDeleter {
    void operator()(uint8_t* block) const { std::free(block); }
  };
  using TBlock = std::unique_ptr<uint8_t, FreeDeleter>;
  // A zeroed block of at least Size bytes, the smallest kept one that is large enough
  // or a new one (AllocatePixelBlock); null when none can be had. Capacity receives
  // its size.
  TBlock Take(size_t size, size_t& capacity);
  // Keeps Block, of Capacity bytes, for a later Take.
  void Give(TBlock block, size_t capacity);
  // Frees every kept block.
  void Clear();

 private:
  struct TKept {
    TBlock Block;
    size_t Capacity;
  };
  std::vector<TKept> FKept;
};

// Which segments a header read keeps: the first Exif APP1 segment alone (what a file's
// description shows), the APP1 and APP2 segments (Exif and the ICC profile), or every
// APPn and COM segment.
enum class TJpegMarkers { FirstExif, Metadata, All };

// Reads the header of the JPEG in Source, which must outlive the reader, keeping the
// segments Markers names. With Record, every byte the reader takes from Source is
// appended to it, and skipped segments are read rather than passed over (see
// TrimJpegRecord). False when it is no JPEG or its header is damaged.
bool ReadJpegHeader(TJpegDecompressor& reader, TImageSource& source, TJpegMarkers markers,
                    std::vector<uint8_t>* record = nullptr);
// The same over memory: Data must outlive the reader; AllMarkers keeps every segment,
// else the APP1 and APP2 ones.
bool ReadJpegHeader(TJpegDecompressor& reader, const uint8_t* data, size_t size, bool allMarkers);

// After ReadJpegHeader: chooses B, G, R output (CMYK for four-component images) at
// 1/ScaleDenominator, with the fast DCT and plain upsampling when Fast, and computes
// Info.output_width and output_height. False when the data is too short for the blocks
// of the header (see above).
bool PrepareJpegOutput(TJpegDecompressor& reader, int scaleDenominator, bool fast);

// After PrepareJpegOutput: decodes into Sink, begun with the output size, rows of
// 24-bit B, G, R. CMYK and YCCK (Adobe inverted or plain) become RGB. Reads on to the
// end of the image. False on any error or lost data.
bool ReadJpegPixels(TJpegDecompressor& reader, TPixelSink& sink);

// After a read with a Record: cuts the bytes the reader took but libjpeg did not use
// from the end of Record, which then holds the JPEG up to where libjpeg stopped (after
// ReadJpegPixels, its end-of-image marker).
void TrimJpegRecord(const TJpegDecompressor& reader, std::vector<uint8_t>& record);

// The Exif body (the TIFF structure after "Exif\0\0") of the first Exif APP1 segment
// the reader kept; empty when none.
std::span<const uint8_t> JpegExifBody(const TJpegDecompressor& reader);

}  // namespace quill

#endif  // QUILL_PLATFORM_JPEGSUPPORT_H_

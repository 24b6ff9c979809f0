// TImageSource: the bytes of an image, read where a decoder asks for them.
//
// A source is either memory that the caller holds or a regular file opened by name and
// read with pread through a small buffer. A decoder reads what it needs and nothing
// else, so describing a file reads its header only and decoding one holds no copy of
// it: a file of any size costs the buffer. The size is taken when the file is opened;
// a file that shrinks afterwards reads short, as a cut file does, and a read error
// reads short too.
//
// A read limit bounds the bytes a source hands out in total: once it is used up, reads
// give nothing, as at the end of the data. The open dialog describes files under such a
// limit, so that no file, whatever its size or content, makes it read more.
//
// The first bytes can be overlaid (the document format's restored header): reads see
// the overlay instead of the bytes stored.
//
// A source serves one thread at a time.

#ifndef QUILL_PLATFORM_IMAGESOURCE_H_
#define QUILL_PLATFORM_IMAGESOURCE_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace quill {

class TImageSource {
 public:
  // An empty source.
  TImageSource() = default;
  // Data, which must outlive the source.
  explicit TImageSource(std::span<const uint8_t> data);
  ~TImageSource();
  TImageSource(const TImageSource&) = delete;
  TImageSource& operator=(const TImageSource&) = delete;

  // Opens FileName for reading. False, leaving the source empty, when it cannot be
  // opened or is no regular file: a named pipe or a device is refused at once, without
  // waiting for a writer.
  bool OpenFile(const std::filesystem::path& fileName);

  uint64_t Size() const { return FSize; }
  // Copies the bytes at Offset into To as far as the data (and the read limit) reach;
  // returns how many.
  size_t Read(uint64_t offset, std::span<uint8_t> to);
  // Whether exactly To.size() bytes were read at Offset.
  bool ReadExactly(uint64_t offset, std::span<uint8_t> to) { return Read(offset, to) == to.size(); }

  // The whole data when it lies in memory and reads of it are neither limited nor
  // overlaid; empty otherwise (a caller then reads through Read).
  std::span<const uint8_t> Memory() const;

  // From now on at most Bytes more bytes are read in total.
  void SetReadLimit(uint64_t bytes);
  // Bytes handed out so far (for a file, the bytes read from it, buffer fills included).
  uint64_t BytesRead() const { return FBytesRead; }

  // Reads see Bytes (at most 16) at offset 0 instead of the stored ones.
  void Overlay(std::span<const uint8_t> bytes);

  // The whole data into Data. False when it cannot be read whole or its memory cannot
  // be had; Data is empty then.
  bool ReadAll(std::vector<uint8_t>& data);

 private:
  size_t ReadStored(uint64_t offset, std::span<uint8_t> to);
  size_t ReadFile(uint64_t offset, std::span<uint8_t> to);

  std::span<const uint8_t> FData;
  int FFile = -1;
  uint64_t FSize = 0;
  uint64_t FBytesRead = 0;
  uint64_t FLimit = UINT64_MAX;
  // The file's bytes at FBufferStart, FBufferSize of them valid.
  std::vector<uint8_t> FBuffer;
  uint64_t FBufferStart = 0;
  size_t FBufferSize = 0;
  uint8_t FOverlay[16] = {};
  size_t FOverlaySize = 0;
};

}  // namespace quill

#endif  // QUILL_PLATFORM_IMAGESOURCE_H_

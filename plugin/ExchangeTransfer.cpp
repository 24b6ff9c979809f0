#include "ExchangeTransfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "LittleEndian.h"

namespace quill {

namespace {

bool WriteAll(int file, const uint8_t* data, int64_t size, int64_t offset) {
  while (size > 0) {
    const ssize_t n = ::pwrite(file, data, static_cast<size_t>(size), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= n;
    offset += n;
  }
  return true;
}

// False also when the file ends before Size bytes were read.
bool ReadAll(int file, uint8_t* data, int64_t size, int64_t offset) {
  while (size > 0) {
    const ssize_t n = ::pread(file, data, static_cast<size_t>(size), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= n;
    offset += n;
  }
  return true;
}

// Copies the checked file rows into the output buffer.
bool CopyRows(int file, int64_t pixels, const TPhotoshopDataInfo& from, const TPhotoshopDataInfo& to,
              uint8_t* outData) {
  const int64_t width = from.Width;
  if (from.Planes == to.Planes) {
    const int64_t rowLength = width * to.Planes;
    if (from.RowBytes == rowLength && to.RowBytes == rowLength) {
      return ReadAll(file, outData, rowLength * from.Height, pixels);
    }
    for (int64_t y = 0; y < from.Height; ++y) {
      if (!ReadAll(file, outData + y * to.RowBytes, rowLength, pixels + y * from.RowBytes)) return false;
    }
    return true;
  }
  const int64_t rowLength = width * from.Planes;
  const std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[static_cast<size_t>(rowLength)]);
  if (row == nullptr) return false;
  for (int64_t y = 0; y < from.Height; ++y) {
    if (!ReadAll(file, row.get(), rowLength, pixels + y * from.RowBytes)) return false;
    const uint8_t* source = row.get();
    uint8_t* target = outData + y * to.RowBytes;
    for (int64_t x = 0; x < width; ++x, source += from.Planes, target += to.Planes) {
      std::memcpy(target, source, 3);
    }
  }
  return true;
}

}  // namespace

bool ValidHostImage(const TPhotoshopDataInfo& header, const void* data) {
  return data != nullptr && header.Width >= 1 && header.Height >= 1 && header.Planes >= 3 &&
         int64_t{header.Width} * header.Planes <= header.RowBytes;
}

bool WriteExchangeInput(int file, const TPhotoshopDataInfo& input, const uint8_t* inData) {
  const int64_t size = int64_t{input.RowBytes} * input.Height;
  if (::ftruncate(file, static_cast<off_t>(kExchangePixelOffset + size)) != 0) return false;
  uint8_t head[kExchangePixelOffset];
  std::memcpy(head, kExchangeMagic, 4);
  const int32_t fields[8] = {input.HeaderSize, input.Mode,   input.Left,     input.Top,
                             input.Width,      input.Height, input.RowBytes, input.Planes};
  for (int i = 0; i < 8; ++i) PutInt32LE(head + 4 + 4 * i, fields[i]);
  if (!WriteAll(file, head, kExchangePixelOffset, 0)) return false;
  const int64_t rowLength = int64_t{input.Width} * input.Planes;
  if (rowLength == input.RowBytes) return WriteAll(file, inData, size, kExchangePixelOffset);
  for (int64_t y = 0; y < input.Height; ++y) {
    if (!WriteAll(file, inData + y * input.RowBytes, rowLength, kExchangePixelOffset + y * input.RowBytes)) {
      return false;
    }
  }
  return true;
}

TReadBack ReadExchangeOutput(const std::string& fileName, const TPhotoshopDataInfo& output, uint8_t* outData) {
  // O_NONBLOCK: a named pipe in the file's place opens at once, and is refused below.
  const int file = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (file < 0) return TReadBack::NotExchangeFile;
  struct stat status;
  uint8_t head[kExchangePixelOffset];
  TReadBack result = TReadBack::NotExchangeFile;
  if (::fstat(file, &status) == 0 && S_ISREG(status.st_mode) && status.st_size >= kExchangePixelOffset &&
      ReadAll(file, head, kExchangePixelOffset, 0) && std::memcmp(head, kExchangeMagic, 4) == 0) {
    int32_t f[8];
    for (int i = 0; i < 8; ++i) f[i] = GetInt32LE(head + 4 + 4 * i);
    const TPhotoshopDataInfo info{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]};
    const int64_t pixels = 4 + int64_t{info.HeaderSize};
    const bool fits = info.Width == output.Width && info.Height == output.Height && info.Mode == output.Mode &&
                      info.HeaderSize >= kExchangeHeaderSize && info.Planes >= 3 &&
                      int64_t{info.Width} * info.Planes <= info.RowBytes &&
                      pixels + int64_t{info.Height} * info.RowBytes <= status.st_size;
    result = fits && CopyRows(file, pixels, info, output, outData) ? TReadBack::Copied : TReadBack::Unusable;
  }
  ::close(file);
  return result;
}

}  // namespace quill

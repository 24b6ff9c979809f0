#include "ImageSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace quill {

namespace {

// Small reads (chunk headers, directory entries) are served from a buffer of this size;
// larger ones go to the file directly.
constexpr size_t kBufferSize = size_t{4} << 10;

}  // namespace

TImageSource::TImageSource(std::span<const uint8_t> data) : FData(data), FSize(data.size()) {}

TImageSource::~TImageSource() {
  if (FFile >= 0) ::close(FFile);
}

bool TImageSource::OpenFile(const std::filesystem::path& fileName) {
  if (FFile >= 0) ::close(FFile);
  FFile = -1;
  FData = {};
  FSize = FBytesRead = 0;
  FBufferSize = 0;
  // Opening a named pipe or a device can wait for ever for the other end; O_NONBLOCK
  // returns at once, fstat then refuses anything but a regular file, and on a regular
  // file it changes nothing.
  const int file = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (file < 0) return false;
  struct stat info;
  if (::fstat(file, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
    ::close(file);
    return false;
  }
  FFile = file;
  FSize = static_cast<uint64_t>(info.st_size);
  return true;
}

std::span<const uint8_t> TImageSource::Memory() const {
  if (FFile >= 0 || FLimit != UINT64_MAX || FOverlaySize != 0) return {};
  return FData;
}

void TImageSource::SetReadLimit(uint64_t bytes) {
  FLimit = bytes > UINT64_MAX - FBytesRead ? UINT64_MAX : FBytesRead + bytes;
}

void TImageSource::Overlay(std::span<const uint8_t> bytes) {
  FOverlaySize = std::min(bytes.size(), sizeof(FOverlay));
  std::memcpy(FOverlay, bytes.data(), FOverlaySize);
}

size_t TImageSource::Read(uint64_t offset, std::span<uint8_t> to) {
  if (offset >= FSize) return 0;
  to = to.first(static_cast<size_t>(std::min<uint64_t>(to.size(), FSize - offset)));
  const size_t count = ReadStored(offset, to);
  // The overlay replaces whatever part of the first bytes was read.
  if (offset < FOverlaySize && count != 0) {
    const size_t overlaid = std::min<size_t>(count, FOverlaySize - static_cast<size_t>(offset));
    std::memcpy(to.data(), FOverlay + offset, overlaid);
  }
  return count;
}

size_t TImageSource::ReadStored(uint64_t offset, std::span<uint8_t> to) {
  if (FFile >= 0) return ReadFile(offset, to);
  const size_t count = static_cast<size_t>(std::min<uint64_t>(to.size(), FLimit - FBytesRead));
  if (count != 0) std::memcpy(to.data(), FData.data() + offset, count);
  FBytesRead += count;
  return count;
}

size_t TImageSource::ReadFile(uint64_t offset, std::span<uint8_t> to) {
  size_t done = 0;
  while (done < to.size()) {
    const uint64_t at = offset + done;
    const std::span<uint8_t> rest = to.subspan(done);
    if (at >= FBufferStart && at < FBufferStart + FBufferSize) {
      const size_t count = std::min<size_t>(rest.size(), FBufferStart + FBufferSize - at);
      std::memcpy(rest.data(), FBuffer.data() + (at - FBufferStart), count);
      done += count;
      continue;
    }
    const bool direct = rest.size() >= kBufferSize;
    if (!direct && FBuffer.empty()) {
      FBuffer.resize(kBufferSize);
    }
    uint8_t* into = direct ? rest.data() : FBuffer.data();
    const uint64_t wanted = std::min<uint64_t>({direct ? rest.size() : kBufferSize, FSize - at, FLimit - FBytesRead});
    if (wanted == 0) break;
    ssize_t count;
    do {
      count = ::pread(FFile, into, static_cast<size_t>(wanted), static_cast<off_t>(at));
    } while (count < 0 && errno == EINTR);
    if (count <= 0) break;
    FBytesRead += static_cast<uint64_t>(count);
    if (direct) {
      done += static_cast<size_t>(count);
    } else {
      FBufferStart = at;
      FBufferSize = static_cast<size_t>(count);
    }
  }
  return done;
}

bool TImageSource::ReadAll(std::vector<uint8_t>& data) {
  data.clear();
  bool read = false;
  try {
    if (FSize > data.max_size()) return false;
    data.resize(static_cast<size_t>(FSize));
    read = ReadExactly(0, data);
  } catch (const std::bad_alloc&) {
    read = false;
  }
  if (!read) std::vector<uint8_t>().swap(data);
  return read;
}

}  // namespace quill

// What the quality drivers share: whole-text number parsing, the way they report
// failures (exit code 2 with the usage line for bad arguments, 1 for failed work), and
// reading and writing their pictures through the program's own image codecs, with a
// message that says what went wrong.

#ifndef QUILL_BENCH_QUALITY_DRIVERSUPPORT_H_
#define QUILL_BENCH_QUALITY_DRIVERSUPPORT_H_

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>

#include "ImageCodecs.h"
#include "ZelBitmap.h"
#include "ZelLTBitmap.h"

namespace quill {

// Parses the whole of Text as a T; false for empty text, any character left over or
// a value out of T's range.
template <typename T>
bool ParseWhole(std::string_view text, T& value) {
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, value);
  return failure == std::errc() && stop == end;
}

// Prints "Program: Message" and returns the exit code of failed work.
inline int Fail(const char* program, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", program, message.c_str());
  return 1;
}

// Prints "Program: Message" and the usage, and returns the exit code of bad arguments.
inline int FailUsage(const char* program, const std::string& message, const char* usage) {
  std::fprintf(stderr, "%s: %s\n%s\n", program, message.c_str(), usage);
  return 2;
}

// Why the file at Path cannot be read: the system's reason for refusing to open it,
// or that it is no regular file.
inline std::string UnreadableReason(const std::string& path) {
  const int file = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (file < 0) return std::strerror(errno);
  struct stat info;
  const bool regular = ::fstat(file, &info) == 0 && S_ISREG(info.st_mode);
  ::close(file);
  return regular ? "read error" : "not a regular file";
}

// Reads the picture at Path, in any format the program reads (judged by content, never
// by the name), into Image as 24-bit B, G, R pixels at (0, 0). On failure Error says
// one of "cannot open PATH: REASON", "PATH is not an image", "PATH is too large (...)"
// or "PATH is damaged or cut short".
inline bool ReadImage(const std::string& path, TZelLTBitmap& image, std::string& error) {
  TImageRawFormat format;
  TImageMetadata metadata;
  TImageLoadFailure failure;
  if (LoadImageFile(path, image, format, metadata, failure)) return true;
  switch (failure) {
    case TImageLoadFailure::CannotRead: error = "cannot open " + path + ": " + UnreadableReason(path); break;
    case TImageLoadFailure::UnknownFormat: error = path + " is not an image"; break;
    case TImageLoadFailure::TooLarge:
      error = path + " is too large (at most " + std::to_string(kMaxImageSide) + " pixels a side and " +
              std::to_string(kMaxImagePixels) + " in all)";
      break;
    case TImageLoadFailure::None:
    case TImageLoadFailure::Damaged: error = path + " is damaged or cut short"; break;
  }
  return false;
}

// Writes Image (24-bit) as an 8-bit RGB PNG through a temporary file renamed over
// Path, so a failure leaves a file already at Path as it was.
inline bool WritePng(const std::string& path, const TZelPixels& image, std::string& error) {
  if (SaveImageFile(path, image, "image/png", -1, TImageMetadata())) return true;
  error = "cannot write " + path + " (a file already there is left as it was)";
  return false;
}

// A 64-bit FNV-1a fingerprint of Image's pixel bytes, row by row without the row
// padding, so that two runs can be compared whatever encoding their files got.
inline uint64_t PixelDigest(const TZelPixels& image) {
  uint64_t digest = 0xcbf29ce484222325u;
  const int64_t rowBytes = int64_t{image.Width()} * image.BytesPerPixel();
  for (int32_t y = image.Top(); y < image.Top() + image.Height(); ++y) {
    const uint8_t* row = image.GetScanLine(image.Left(), y);
    for (int64_t i = 0; i < rowBytes; ++i) digest = (digest ^ row[i]) * 0x100000001b3u;
  }
  return digest;
}

}  // namespace quill

#endif  // QUILL_BENCH_QUALITY_DRIVERSUPPORT_H_

#include "PngFile.h"

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// libpng reports errors through a callback that must not return. The callback
// copies the message here and jumps back to the setjmp of the call in progress.
// Plain data, so that the jump skips no destructor.
struct PngErrorSink {
  char message[200];
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
  auto* sink = static_cast<PngErrorSink*>(png_get_error_ptr(png));
  std::snprintf(sink->message, sizeof sink->message, "%s", message);
  png_longjmp(png, 1);
}

// Warnings (a bad ancillary chunk, say) do not stop a read; they are dropped so that
// the library never writes to the console.
void OnPngWarning(png_structp, png_const_charp) {}

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Owns a libpng read struct and its info struct; Info is null when either could
// not be had.
struct PngReader {
  explicit PngReader(PngErrorSink* sink) {
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, sink, OnPngError, OnPngWarning);
    if (png != nullptr) info = png_create_info_struct(png);
  }
  ~PngReader() { png_destroy_read_struct(&png, &info, nullptr); }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;

  png_structp png = nullptr;
  png_infop info = nullptr;
};

// The same for writing.
struct PngWriter {
  explicit PngWriter(PngErrorSink* sink) {
    png = png_create_write_struct(PNG_LIBPNG_VER_STRING, sink, OnPngError, OnPngWarning);
    if (png != nullptr) info = png_create_info_struct(png);
  }
  ~PngWriter() { png_destroy_write_struct(&png, &info); }
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;

  png_structp png = nullptr;
  png_infop info = nullptr;
};

uint32_t BigEndian32(const unsigned char* bytes) {
  return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

enum class DecodeResult { kDone, kDamaged, kNoMemory };

// The libpng part of ReadPng, for a File positioned just past the signature. Holds
// no object with a destructor, since libpng's errors come back here by longjmp.
DecodeResult DecodePng(png_structp png, png_infop info, FILE* file, TZelPixelBuffer& image) {
  if (setjmp(png_jmpbuf(png)) != 0) return DecodeResult::kDamaged;
  png_init_io(png, file);
  png_set_sig_bytes(png, 8);
  png_set_user_limits(png, kPngMaxSide, kPngMaxSide);
  png_read_info(png, info);

  // Whatever the stored layout, rows arrive as 8-bit B, G, R.
  png_set_expand(png);  // palette to RGB, grey below 8 bits to 8, tRNS to alpha
  png_set_strip_16(png);
  png_set_strip_alpha(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);

  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (png_get_rowbytes(png, info) != size_t{width} * 3) png_error(png, "unexpected row layout");
  const TRect bounds{0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)};
  if (!image.Allocate(kPixelFormat24, bounds)) return DecodeResult::kNoMemory;
  // An interlaced image fills each row over several passes.
  for (int pass = 0; pass < passes; ++pass) {
    for (int32_t row = 0; row < bounds.Bottom; ++row) {
      png_read_row(png, image.GetPixelAddress(0, row), nullptr);
    }
  }
  png_read_end(png, nullptr);
  return DecodeResult::kDone;
}

// The libpng part of WritePng. No object with a destructor, as above.
bool EncodePng(png_structp png, png_infop info, FILE* file, const TZelPixels& image) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.Width()),
               static_cast<png_uint_32>(image.Height()), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  for (int32_t row = 0; row < image.Height(); ++row) {
    png_write_row(png, image.GetPixelAddress(image.Left(), image.Top() + row));
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool ReadPng(const std::string& path, TZelPixelBuffer& image, std::string& error) {
  image.FreeBits();
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (file == nullptr) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }

  // The signature, then the length, type, width and height of the first chunk: the
  // size is judged here, before libpng or anything else takes memory for the image.
  unsigned char head[24];
  const size_t headBytes = std::fread(head, 1, sizeof head, file.get());
  if (std::ferror(file.get())) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  if (headBytes < 8 || png_sig_cmp(head, 0, 8) != 0) {
    error = path + " is not a PNG image";
    return false;
  }
  // A file that does not start with IHDR is left to libpng, which rejects it.
  if (headBytes == sizeof head && std::memcmp(head + 12, "IHDR", 4) == 0) {
    const uint32_t width = BigEndian32(head + 16);
    const uint32_t height = BigEndian32(head + 20);
    if (width > kPngMaxSide || height > kPngMaxSide || uint64_t{width} * height > kPngMaxPixels) {
      error = path + " is too large (" + std::to_string(width) + " x " + std::to_string(height) + ")";
      return false;
    }
  }
  if (std::fseek(file.get(), 8, SEEK_SET) != 0) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }

  PngErrorSink sink{};
  PngReader reader(&sink);
  DecodeResult result = DecodeResult::kNoMemory;
  if (reader.info != nullptr) result = DecodePng(reader.png, reader.info, file.get(), image);
  if (result == DecodeResult::kDone) return true;
  image.FreeBits();
  error = result == DecodeResult::kDamaged ? path + " is damaged: " + sink.message
                                           : "not enough memory for " + path;
  return false;
}

bool WritePng(const std::string& path, const TZelPixels& image, std::string& error) {
  if (image.PixelFormat() != kPixelFormat24 || image.Bits() == nullptr || image.Width() <= 0 ||
      image.Height() <= 0) {
    error = "cannot write " + path + ": the image is empty or not 24-bit";
    return false;
  }
  // O_EXCL: never write through a file or link that is already there.
  const std::string temp = path + ".tmp" + std::to_string(getpid());
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = "cannot write " + path + ": cannot create " + temp + ": " + std::strerror(errno);
    return false;
  }
  FilePtr file(fdopen(fd, "wb"));
  if (file == nullptr) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    close(fd);
    unlink(temp.c_str());
    return false;
  }

  std::string problem;  // stays empty while every step succeeds
  {
    PngErrorSink sink{};
    PngWriter writer(&sink);
    if (writer.info == nullptr) {
      problem = "not enough memory";
    } else if (!EncodePng(writer.png, writer.info, file.get(), image)) {
      problem = sink.message;
    }
  }
  // The data must be on disk before the rename makes it the target.
  if (problem.empty() && (std::fflush(file.get()) != 0 || fsync(fileno(file.get())) != 0)) {
    problem = std::strerror(errno);
  }
  if (std::fclose(file.release()) != 0 && problem.empty()) problem = std::strerror(errno);
  if (problem.empty() && std::rename(temp.c_str(), path.c_str()) != 0) {
    problem = std::strerror(errno);
  }
  if (!problem.empty()) {
    unlink(temp.c_str());
    error = "cannot write " + path + ": " + problem;
    return false;
  }
  return true;
}

// Text helpers: single-byte code-page text to UTF-16, and file names.

#ifndef QUILL_CORE_ZELSTRINGS_H_
#define QUILL_CORE_ZELSTRINGS_H_

#include <iconv.h>

#include <cstdint>
#include <string>
#include <string_view>

// Converts S, up to its first zero byte, from the Windows code page CodePage
// (1250-1258, 874, 932, 936, 949, 950, or 65001 for UTF-8) to UTF-16. A byte sequence
// that is not valid in the code page becomes U+FFFD and the conversion goes on with
// the next byte. An empty S, or a code page this table does not know, gives an
// empty result. Every character of S is in the result, also the last one of a code
// page whose converter holds a character back for a following combining mark
// (1255, 1258).
std::u16string AnsiToWideCP(std::string_view s, uint16_t codePage);

namespace quill {

// AnsiToWideCP with one converter for many strings of the same code page: the
// converter is opened once, in the constructor, so converting the lines of a large
// file does not pay for an open per line. Convert gives what AnsiToWideCP gives for
// the same string and code page; each call starts afresh, so nothing of one string
// carries into the next. Not for use from two threads at once.
class CodePageConverter {
 public:
  explicit CodePageConverter(uint16_t codePage);
  ~CodePageConverter();
  CodePageConverter(const CodePageConverter&) = delete;
  CodePageConverter& operator=(const CodePageConverter&) = delete;

  // False for a code page the table does not know; Convert then gives empty results.
  bool ok() const;
  std::u16string Convert(std::string_view s);

 private:
  iconv_t descriptor_;  // (iconv_t)-1 when the code page is unknown
};

}  // namespace quill

// The file-name part of Path (after the last "/", "\" or ":"), cut before its last
// ".": "C:\a.b\photo.tar.jpg" gives "photo.tar", "dir/readme" gives "readme" and
// "dir/.cfg" gives "".
std::string FileNameWithoutExt(std::string_view path);

#endif  // QUILL_CORE_ZELSTRINGS_H_

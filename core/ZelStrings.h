// Text helpers: single-byte code-page text to UTF-16, and file names.

#ifndef QUILL_CORE_ZELSTRINGS_H_
#define QUILL_CORE_ZELSTRINGS_H_

#include <cstdint>
#include <string>
#include <string_view>

// Converts S, up to its first zero byte, from the Windows code page CodePage
// (1250-1258, 874, 932, 936, 949, 950, or 65001 for UTF-8) to UTF-16. A byte sequence
// that is not valid in the code page becomes U+FFFD and the conversion goes on with
// the next byte. An empty S, or a code page this table does not know, gives an
// empty result.
std::u16string AnsiToWideCP(std::string_view s, uint16_t codePage);

// The file-name part of Path (after the last "/", "\" or ":"), cut before its last
// ".": "C:\a.b\photo.tar.jpg" gives "photo.tar", "dir/readme" gives "readme" and
// "dir/.cfg" gives "".
std::string FileNameWithoutExt(std::string_view path);

#endif  // QUILL_CORE_ZELSTRINGS_H_

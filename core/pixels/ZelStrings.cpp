#include "ZelStrings.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstring>

namespace {

const char* IconvName(uint16_t codePage) {
  switch (codePage) {
    case 874: return "CP874";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1252: return "CP1252";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1258: return "CP1258";
    case 65001: return "UTF-8";
    default: return nullptr;
  }
}

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);
constexpr size_t kFailed = static_cast<size_t>(-1);

// UTF-16 in the machine's byte order, so the converter writes char16_t directly.
constexpr const char* kWideName =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

}  // namespace

std::u16string AnsiToWideCP(std::string_view s, uint16_t codePage) {
  s = s.substr(0, s.find('\0'));
  if (s.empty()) return {};
  return quill::CodePageConverter(codePage).Convert(s);
}

namespace quill {

CodePageConverter::CodePageConverter(uint16_t codePage) : descriptor_(kNoDescriptor) {
  const char* name = IconvName(codePage);
  if (name != nullptr) descriptor_ = iconv_open(kWideName, name);
}

CodePageConverter::~CodePageConverter() {
  if (ok()) iconv_close(descriptor_);
}

bool CodePageConverter::ok() const { return descriptor_ != kNoDescriptor; }

std::u16string CodePageConverter::Convert(std::string_view s) {
  s = s.substr(0, s.find('\0'));
  if (s.empty() || !ok()) return {};
  // Every input byte yields at most two UTF-16 units (a character outside the BMP
  // takes at least two bytes in every multi-byte code page).
  std::u16string result(s.size() * 2 + 2, u'\0');
  char* out = reinterpret_cast<char*>(result.data());
  size_t outLeft = result.size() * sizeof(char16_t);
  char* in = const_cast<char*>(s.data());
  size_t inLeft = s.size();
  iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
  for (;;) {
    const size_t rc = iconv(descriptor_, &in, &inLeft, &out, &outLeft);
    const int error = errno;
    // The converters of 1255 and 1258 hold the last character back in case a
    // combining mark follows; this writes it out and returns to the initial state.
    if (iconv(descriptor_, nullptr, nullptr, &out, &outLeft) == kFailed) return {};
    if (rc != kFailed) break;
    if ((error != EILSEQ && error != EINVAL) || outLeft < sizeof(char16_t)) return {};
    // An invalid or cut-short sequence: replace its first byte and resume after it.
    const char16_t replacement = u'\uFFFD';
    std::memcpy(out, &replacement, sizeof replacement);
    out += sizeof replacement;
    outLeft -= sizeof replacement;
    ++in;
    --inLeft;
  }
  result.resize(result.size() - outLeft / sizeof(char16_t));
  return result;
}

}  // namespace quill

std::string FileNameWithoutExt(std::string_view path) {
  const size_t separator = path.find_last_of("/\\:");
  std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name);
}

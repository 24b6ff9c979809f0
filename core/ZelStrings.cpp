#include "ZelStrings.h"

#include <iconv.h>

#include <cerrno>

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

// Owns one iconv descriptor for the length of a conversion.
class Converter {
 public:
  explicit Converter(const char* from) : cd_(iconv_open("UTF-16LE", from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace

std::u16string AnsiToWideCP(std::string_view s, uint16_t codePage) {
  s = s.substr(0, s.find('\0'));
  const char* name = IconvName(codePage);
  if (s.empty() || name == nullptr) return {};
  Converter converter(name);
  if (!converter.ok()) return {};

  std::u16string result;
  // Every input byte yields at most two UTF-16 units (a character outside the BMP
  // takes at least two bytes in every multi-byte code page).
  std::u16string chunk(s.size() * 2 + 2, u'\0');
  char* in = const_cast<char*>(s.data());
  size_t inLeft = s.size();
  while (inLeft > 0) {
    char* out = reinterpret_cast<char*>(chunk.data());
    size_t outLeft = chunk.size() * sizeof(char16_t);
    const size_t rc = iconv(converter.get(), &in, &inLeft, &out, &outLeft);
    const size_t produced = (chunk.size() * sizeof(char16_t) - outLeft) / sizeof(char16_t);
    for (size_t i = 0; i < produced; ++i) {
      const unsigned char* p = reinterpret_cast<const unsigned char*>(chunk.data() + i);
      result.push_back(static_cast<char16_t>(p[0] | (p[1] << 8)));
    }
    if (rc != static_cast<size_t>(-1)) break;
    if (errno != EILSEQ && errno != EINVAL) return {};
    // An invalid or cut-short sequence: replace its first byte and resume after it.
    result.push_back(u'\uFFFD');
    ++in;
    --inLeft;
    iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);
  }
  return result;
}

std::string FileNameWithoutExt(std::string_view path) {
  const size_t separator = path.find_last_of("/\\:");
  std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name);
}

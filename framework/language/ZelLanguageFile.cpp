#include "ZelLanguageFile.h"

#include <QFile>
#include <QFileInfo>

#include <charconv>

#include "ZelStrings.h"

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// The lines of Text, split at CR LF, LF or CR.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// The n of the first line "CodePage=n" (0 when there is none or n is no number).
int32_t FindCodePage(const std::vector<std::string_view>& lines) {
  constexpr std::string_view kName = "codepage=";
  for (const std::string_view line : lines) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.size() >= kName.size() && EqualsNoCase(trimmed.substr(0, kName.size()), kName)) {
      return quill::ParseDecimalInt(Trim(trimmed.substr(kName.size()))).value_or(0);
    }
  }
  return 0;
}

// Line from the converter's code page to UTF-8.
std::string CodePageLineToUtf8(std::string_view line, quill::CodePageConverter& converter) {
  const std::u16string wide = converter.Convert(line);
  return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size())).toStdString();
}

}  // namespace

namespace quill {

std::optional<int32_t> ParseDecimalInt(std::string_view text) {
  const bool plus = !text.empty() && text.front() == '+';
  if (plus) text.remove_prefix(1);
  if (text.empty() || (plus && text.front() == '-')) return std::nullopt;
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace quill

TZelLanguageFile::TZelLanguageFile(std::string_view bytes) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  const bool utf8 = bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark;
  if (utf8) bytes.remove_prefix(kByteOrderMark.size());
  const std::vector<std::string_view> rawLines = SplitLines(bytes);
  const int32_t codePage = utf8 ? 0 : FindCodePage(rawLines);
  // One converter for every line; a code page outside 16 bits is as unknown as any
  // other, and its converter gives every line empty.
  std::optional<quill::CodePageConverter> converter;
  if (codePage != 0) {
    converter.emplace(codePage > 0 && codePage <= 0xFFFF ? static_cast<uint16_t>(codePage) : 0);
  }

  Section* section = nullptr;
  for (const std::string_view rawLine : rawLines) {
    std::string converted;
    std::string_view line = rawLine;
    if (converter) {
      converted = CodePageLineToUtf8(rawLine, *converter);
      line = converted;
    }
    line = Trim(line);
    if (line.empty() || line.front() == ';') continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      const std::string_view name = Trim(line.substr(1, line.size() - 2));
      section = nullptr;
      for (Section& existing : sections_) {
        if (EqualsNoCase(existing.Name, name)) section = &existing;
      }
      if (section == nullptr) section = &sections_.emplace_back(Section{std::string(name), {}});
      continue;
    }
    const size_t equals = line.find('=');
    if (section == nullptr || equals == std::string_view::npos) continue;
    section->Lines.push_back(
        {std::string(Trim(line.substr(0, equals))), std::string(Trim(line.substr(equals + 1)))});
  }
}

TZelLanguageFile TZelLanguageFile::Load(const QString& fileName) {
  if (!QFileInfo(fileName).isFile()) return {};
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileSize) return {};
  // QIODevice::read allocates all it is asked for before it reads: ask for the size found
  // above, not for the limit (a byte more, so that a file that grew is still checked).
  const QByteArray bytes = file.read(file.size() + 1);
  if (bytes.size() > kMaxFileSize) return {};
  return TZelLanguageFile(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

const std::vector<TZelLanguageFile::Line>& TZelLanguageFile::SectionLines(
    std::string_view section) const {
  static const std::vector<Line> kNoLines;
  for (const Section& candidate : sections_) {
    if (EqualsNoCase(candidate.Name, section)) return candidate.Lines;
  }
  return kNoLines;
}

std::string TZelLanguageFile::ReadString(std::string_view section, std::string_view key,
                                         std::string_view defaultValue) const {
  for (const Line& line : SectionLines(section)) {
    if (EqualsNoCase(line.Key, key)) return line.Value;
  }
  return std::string(defaultValue);
}

int32_t TZelLanguageFile::ReadInteger(std::string_view section, std::string_view key,
                                      int32_t defaultValue) const {
  return quill::ParseDecimalInt(ReadString(section, key, {})).value_or(defaultValue);
}

#include "ZelDemoScript.h"

#include <QFile>
#include <QIODevice>
#include <QStringDecoder>

#include <charconv>
#include <cmath>
#include <limits>
#include <span>
#include <system_error>

#include "ImageCodecs.h"
#include "ZelLanguageIds.h"
#include "ZelLocalizer.h"
#include "ZelStrings.h"
#include "ZelUtils.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr uint16_t kUtf8CodePage = 65001;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view TrimLeft(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && IsBlankOrControl(text[start])) ++start;
  return text.substr(start);
}

std::string_view TrimRight(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && IsBlankOrControl(text[end - 1])) --end;
  return text.substr(0, end);
}

// Splits Bytes at CR LF, LF and CR. A last line without an end counts; an end at the
// very end of the bytes starts no further line.
std::vector<std::string_view> SplitLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') continue;
    lines.push_back(bytes.substr(start, i - start));
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));
  return lines;
}

// The value after "Key=" in the first line of Lines with that key; empty when none.
std::string_view ValueOf(const TZelDemoScript::TLines& lines, std::string_view key) {
  for (const std::string& line : lines) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos && SameText(std::string_view(line).substr(0, equals), key)) {
      return std::string_view(line).substr(equals + 1);
    }
  }
  return {};
}

QString Decode(std::string_view bytes, uint16_t codePage) {
  return QString::fromStdU16String(AnsiToWideCP(bytes, codePage));
}

bool IsNumberCharacter(char c) {
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'E';
}

bool IsArgumentBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Stores Run at Index as a number when it converts whole, else as text.
void StoreNumber(TZelDemoScriptParams& params, int32_t index, std::string_view run) {
  std::string_view digits = run;
  if (digits.size() > 1 && digits[0] == '+') {
    digits.remove_prefix(1);
    if (digits[0] == '+' || digits[0] == '-') digits = {};  // a second sign
  }
  const char* end = digits.data() + digits.size();
  if (!digits.empty()) {
    if (run.find_first_of(".E") != std::string_view::npos) {
      double value = 0;
      const auto [ptr, ec] = std::from_chars(digits.data(), end, value);
      if (ec == std::errc() && ptr == end) {
        params.SetFloat(index, value);
        return;
      }
    } else {
      int32_t value = 0;
      const auto [ptr, ec] = std::from_chars(digits.data(), end, value);
      if (ec == std::errc() && ptr == end) {
        params.SetInteger(index, value);
        return;
      }
    }
  }
  params.SetString(index, run);
}

// The quoted value with every backslash-n pair turned into a line feed.
std::string Unescape(std::string_view quoted) {
  std::string value;
  value.reserve(quoted.size());
  for (size_t i = 0; i < quoted.size(); ++i) {
    if (quoted[i] == '\\' && i + 1 < quoted.size() && quoted[i + 1] == 'n') {
      value.push_back('\n');
      ++i;
    } else {
      value.push_back(quoted[i]);
    }
  }
  return value;
}

}  // namespace

// ---- TZelDemoScript ----

void TZelDemoScript::Clear() {
  sections_.clear();
  scriptLines_ = nullptr;
}

void TZelDemoScript::Reset() {
  Clear();
  EnsureSections();
}

void TZelDemoScript::EnsureSections() {
  int index = 0;
  if (!FindSection("Info", index)) AddSection("Info");
  if (!FindSection("Script", index)) index = AddSection("Script");
  scriptLines_ = &sections_[static_cast<size_t>(index)]->Lines;
}

bool TZelDemoScript::LoadFromFile(const QString& path) {
  FileName = path;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    Reset();
    return false;
  }
  return LoadFromStream(file);
}

bool TZelDemoScript::LoadFromStream(QIODevice& stream) {
  // A file too large is refused before anything is read.
  if (!stream.isSequential() && stream.size() - stream.pos() > kMaxFileSize) {
    Reset();
    return false;
  }
  const QByteArray bytes = stream.read(kMaxFileSize + 1);
  if (bytes.size() > kMaxFileSize || !stream.atEnd()) {
    Reset();
    return false;
  }
  LoadFromBytes(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
  return true;
}

void TZelDemoScript::LoadFromBytes(std::string_view bytes) { Parse(SplitLines(bytes)); }

void TZelDemoScript::LoadFromStrings(const TLines& lines) {
  Parse(std::vector<std::string_view>(lines.begin(), lines.end()));
}

void TZelDemoScript::Parse(std::vector<std::string_view> lines) {
  Clear();
  Utf8 = !lines.empty() && lines.front().starts_with(kByteOrderMark);
  if (Utf8) lines.front().remove_prefix(kByteOrderMark.size());
  // Trimmed, empty lines and comments dropped: what remains is a header or belongs to
  // the section above it.
  size_t kept = 0;
  for (std::string_view line : lines) {
    line = TrimRight(TrimLeft(line));
    if (!line.empty() && line.front() != ';') lines[kept++] = line;
  }
  lines.resize(kept);
  const auto isHeader = [](std::string_view line) {
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!isHeader(lines[i])) continue;
    sections_.push_back(std::make_unique<Section>());
    Section& section = *sections_.back();
    section.Name = TrimRight(TrimLeft(lines[i].substr(1, lines[i].size() - 2)));
    size_t end = i + 1;
    while (end < lines.size() && !isHeader(lines[end])) ++end;
    section.Lines.reserve(end - i - 1);
    for (++i; i < end; ++i) {
      const std::string_view line = lines[i];
      const size_t equals = line.find('=');
      if (equals == std::string_view::npos) {
        section.Lines.emplace_back(line);
        continue;
      }
      // The blanks on both sides of the first "=" go.
      const std::string_view key = TrimRight(line.substr(0, equals));
      const std::string_view value = TrimLeft(line.substr(equals + 1));
      std::string& joined = section.Lines.emplace_back();
      joined.reserve(key.size() + 1 + value.size());
      joined.append(key).append(1, '=').append(value);
    }
    --i;
  }
  EnsureSections();
}

std::string TZelDemoScript::SaveToBytes() const {
  std::string bytes;
  if (Utf8) bytes = kByteOrderMark;
  for (const std::unique_ptr<Section>& section : sections_) {
    bytes += '[';
    bytes += section->Name;
    bytes += "]\r\n";
    for (const std::string& line : section->Lines) {
      bytes += line;
      bytes += "\r\n";
    }
  }
  return bytes;
}

bool TZelDemoScript::SaveToFile(const QString& path) const {
  const std::string bytes = SaveToBytes();
  return quill::WriteFileReplacing(QFile::encodeName(path).toStdString(),
                            std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

void TZelDemoScript::Assign(const TZelDemoScript& other) {
  if (&other == this) return;
  Clear();
  for (const std::unique_ptr<Section>& section : other.sections_) {
    sections_.push_back(std::make_unique<Section>(*section));
  }
  EnsureSections();
  Utf8 = other.Utf8;
}

TZelDemoScript::TLines& TZelDemoScript::GetScriptLines() {
  if (scriptLines_ == nullptr) EnsureSections();
  return *scriptLines_;
}

const TZelDemoScript::TLines& TZelDemoScript::GetScriptLines() const {
  static const TLines kNoLines;
  return scriptLines_ != nullptr ? *scriptLines_ : kNoLines;
}

const std::string& TZelDemoScript::GetSectionName(int index) const {
  return sections_.at(static_cast<size_t>(index))->Name;
}

bool TZelDemoScript::FindSection(std::string_view name, int& index) const {
  for (size_t i = 0; i < sections_.size(); ++i) {
    if (SameText(sections_[i]->Name, name)) {
      index = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

TZelDemoScript::TLines& TZelDemoScript::GetSection(int index) {
  return sections_.at(static_cast<size_t>(index))->Lines;
}

const TZelDemoScript::TLines& TZelDemoScript::GetSection(int index) const {
  return sections_.at(static_cast<size_t>(index))->Lines;
}

int TZelDemoScript::AddSection(std::string_view name) {
  sections_.push_back(std::make_unique<Section>());
  sections_.back()->Name = name;
  return static_cast<int>(sections_.size()) - 1;
}

void TZelDemoScript::DeleteSection(int index) {
  if (index < 0 || index >= GetSectionCount()) return;
  sections_.erase(sections_.begin() + index);
  EnsureSections();
}

std::string TZelDemoScript::GetInfoValue(std::string_view key) const {
  int index = 0;
  if (!FindSection("Info", index)) return {};
  return std::string(ValueOf(GetSection(index), key));
}

QString TZelDemoScript::GetLocalizedValue(std::string_view key) const {
  uint16_t langId = GetLanguage();
  int index = 0;
  if (!FindSection(std::to_string(langId), index)) {
    langId = GetBaseLanguage();
    if (!FindSection(std::to_string(langId), index)) return {};
  }
  const std::string_view value = ValueOf(GetSection(index), key);
  if (Utf8) return Decode(value, kUtf8CodePage);
  const uint16_t codePage = quill::AnsiCodePageOfLangId(langId);
  return Decode(value, codePage != 0 ? codePage : quill::SystemAnsiCodePage());
}

QString TZelDemoScript::GetTitle() const {
  QString title = GetLocalizedValue("Title");
  if (title.isEmpty()) title = DecodeText(GetInfoValue("Title"));
  if (title.isEmpty()) title = QString::fromStdString(FileNameWithoutExt(FileName.toStdString()));
  return title;
}

uint16_t TZelDemoScript::TextCodePage() const { return Utf8 ? kUtf8CodePage : quill::SystemAnsiCodePage(); }

QString TZelDemoScript::DecodeText(std::string_view bytes) const { return Decode(bytes, TextCodePage()); }

QString TZelDemoScript::DecodeFileName(std::string_view bytes) const {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString name = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  return utf8.hasError() ? DecodeText(bytes) : name;
}

// ---- Arguments ----

void ParseScriptArguments(TZelDemoScriptParams& params, std::string_view text) {
  params.Clear();
  text = quill::TrimBlanks(text);
  const size_t size = text.size();
  size_t i = 0;
  int32_t index = 0;
  const auto skipBlanks = [&] {
    while (i < size && IsArgumentBlank(text[i])) ++i;
  };
  while (i < size) {
    skipBlanks();
    if (i >= size) break;
    const char first = text[i];
    if (first == '"' || first == '\'') {
      const size_t close = text.find(first, i + 1);
      const size_t end = close == std::string_view::npos ? size : close;
      params.SetString(index++, Unescape(text.substr(i + 1, end - i - 1)));
      i = close == std::string_view::npos ? size : close + 1;
    } else if (first == '+' || first == '-' || (first >= '0' && first <= '9')) {
      const size_t start = i;
      while (i < size && IsNumberCharacter(text[i])) ++i;
      StoreNumber(params, index++, text.substr(start, i - start));
    } else if (text.substr(i, 5) == "false") {
      params.SetInteger(index++, 0);
      i += 5;
    } else if (text.substr(i, 4) == "true") {
      params.SetInteger(index++, -1);
      i += 4;
    } else {
      const size_t start = i;
      while (i < size && !IsArgumentBlank(text[i]) && text[i] != ',') ++i;
      params.SetString(index++, text.substr(start, i - start));
    }
    skipBlanks();
    if (i >= size || text[i] != ',' || index == quill::kMaxScriptArguments) break;
    ++i;
  }
}

namespace quill {

QString ShownScriptText(std::string_view bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()))
      .replace(QChar(u'\0'), QChar(QChar::ReplacementCharacter));
}

bool QuoteScriptText(const QString& text, QString& quoted) {
  const bool apostrophe = text.contains(QLatin1Char('\''));
  const bool doubleQuote = text.contains(QLatin1Char('"'));
  if ((apostrophe && doubleQuote) || text.contains(QLatin1String("\\n")) || text.contains(QLatin1Char('\r'))) {
    return false;
  }
  const QChar quote = doubleQuote ? QLatin1Char('\'') : QLatin1Char('"');
  quoted = quote + QString(text).replace(QLatin1Char('\n'), QLatin1String("\\n")) + quote;
  return true;
}

TZelVariant ParamAt(const TZelDemoScriptParams& params, int index) {
  TZelVariant value;
  params.GetVariant(index, value);
  return value;
}

bool IsNumeric(const TZelVariant& value) {
  return std::holds_alternative<int32_t>(value) || std::holds_alternative<double>(value);
}

int32_t NumberToInteger(const TZelVariant& value, int32_t defaultValue) {
  if (const int32_t* integer = std::get_if<int32_t>(&value)) return *integer;
  if (const double* real = std::get_if<double>(&value)) {
    if (std::isnan(*real)) return defaultValue;
    const int64_t rounded = RoundHalfEven(*real);
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(rounded < kMin ? kMin : rounded > kMax ? kMax : rounded);
  }
  return defaultValue;
}

double NumberToDouble(const TZelVariant& value, double defaultValue) {
  if (const int32_t* integer = std::get_if<int32_t>(&value)) return *integer;
  if (const double* real = std::get_if<double>(&value)) return *real;
  return defaultValue;
}

std::string VariantToText(const TZelVariant& value) {
  if (const std::string* text = std::get_if<std::string>(&value)) return *text;
  char buffer[64];
  std::to_chars_result result{buffer, std::errc()};
  if (const int32_t* integer = std::get_if<int32_t>(&value)) {
    result = std::to_chars(buffer, buffer + sizeof(buffer), *integer);
  } else if (const double* real = std::get_if<double>(&value)) {
    // Plain digits for everyday magnitudes ("100000", "0.015"), an exponent beyond.
    const double magnitude = std::abs(*real);
    const bool plain = magnitude == 0 || (magnitude >= 1e-4 && magnitude < 1e15);
    result = std::to_chars(buffer, buffer + sizeof(buffer), *real,
                           plain ? std::chars_format::fixed : std::chars_format::general);
  }
  return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string();
}

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

std::string_view TrimBlanks(std::string_view text) { return TrimRight(TrimLeft(text)); }

}  // namespace quill

// Demo scripts (*.dsc): the file held in memory as ordered sections of lines, and the
// argument list of one command line.
//
// The file is text, lines ended by CR LF (LF or CR alone also end a line on reading).
// A file that begins with the bytes EF BB BF is a UTF-8 script (the three bytes are
// dropped); any other is single-byte text whose language sections are each in the
// ANSI code page of their own language. Every line is trimmed of blanks and control
// characters; empty lines, lines beginning with ";" and lines ahead of the first
// section header are dropped. A line "[name]" opens a section (the name trimmed); in
// every other line the blanks around the first "=" are removed ("a = b" is kept as
// "a=b"). Sections keep their file order; two sections of one name both stay, and a
// lookup finds the first. Section names and keys compare without regard to ASCII
// letter case.
//
// Sections with a meaning: "Info" (keys Title and Image), "Script" (one command a
// line, run from the first to the last) and one per language, named by its decimal
// language id (1033, 1031, ...), holding key=value texts. Other sections are kept and
// written back unchanged. After every load, Reset, Assign and DeleteSection the
// sections "Info" and "Script" exist (missing ones are appended, Info first).
//
// Saving writes each section as "[name]" and its lines, every line ended by CR LF, the
// bytes as held; a UTF-8 script begins with EF BB BF again, so it reads back as it was
// read. The file is replaced through a temporary file.
//
// Scripts are untrusted: a file above kMaxFileSize is refused; any bytes load, NUL
// bytes and invalid UTF-8 included, and every operation is linear in its input.
//
// Argument lists (ParseScriptArguments): values at positions 0, 1, 2, ..., each a
// 32-bit integer, a double or a single-byte string, separated by commas:
// - "text" or 'text': to the next same quote or the end, no escape for the quote
//   itself; every backslash-n pair becomes a line feed;
// - a run of "+-.0123456789E" that begins with "+", "-" or a digit: a double when it
//   holds "." or "E", else an integer; a run that does not convert (1-2, --5, 1E999,
//   2147483648) is kept as a string;
// - false and true (exactly so): the integers 0 and -1;
// - anything else: a word up to a blank, tab, CR, LF or comma.
// After a value, blanks are skipped; anything but a comma ends the list, and so does
// the kMaxScriptArguments-th value (no command takes more than a few; the rest of a
// longer line is ignored, which keeps a hostile line from costing quadratic time in
// the property list).

#ifndef QUILL_FRAMEWORK_DEMO_ZELDEMOSCRIPT_H_
#define QUILL_FRAMEWORK_DEMO_ZELDEMOSCRIPT_H_

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ZelProperties.h"

class QIODevice;

class TZelDemoScript {
 public:
  using TLines = std::vector<std::string>;

  // The largest script file read.
  static constexpr int64_t kMaxFileSize = int64_t{64} << 20;

  // No sections; the first load or Reset adds "Info" and "Script".
  TZelDemoScript() = default;
  TZelDemoScript(const TZelDemoScript&) = delete;
  TZelDemoScript& operator=(const TZelDemoScript&) = delete;

  // Frees every section. Utf8 and FileName stay.
  void Clear();
  // Clear, then EnsureSections.
  void Reset();
  // Appends "Info" and "Script" when missing and points the script lines at "Script".
  void EnsureSections();

  // Remembers Path as FileName and loads the file. False, and the script Reset, when
  // the file cannot be read or is larger than kMaxFileSize.
  bool LoadFromFile(const QString& path);
  // Loads what Stream holds from its present position; false as LoadFromFile.
  bool LoadFromStream(QIODevice& stream);
  // Loads a file's bytes.
  void LoadFromBytes(std::string_view bytes);
  // Loads lines as read from a file (untrimmed, the first one possibly beginning with
  // the byte-order mark).
  void LoadFromStrings(const TLines& lines);
  // Replaces Path's content with the script. False, with the old file left whole, when
  // it cannot be written.
  bool SaveToFile(const QString& path) const;
  // The bytes SaveToFile writes.
  std::string SaveToBytes() const;
  // Clear, then a copy of Other's sections, EnsureSections and Other's Utf8 (not its
  // FileName).
  void Assign(const TZelDemoScript& other);

  // The "Script" section's lines (a script without sections gets them first; read
  // alone, it has no lines).
  TLines& GetScriptLines();
  const TLines& GetScriptLines() const;

  int GetSectionCount() const { return static_cast<int>(sections_.size()); }
  // The name of the section at Index (0 .. count - 1).
  const std::string& GetSectionName(int index) const;
  // The index of the first section called Name; false when there is none.
  bool FindSection(std::string_view name, int& index) const;
  // The lines of the section at Index (0 .. count - 1).
  TLines& GetSection(int index);
  const TLines& GetSection(int index) const;
  // Appends an empty section and returns its index.
  int AddSection(std::string_view name);
  // Removes the section at Index (nothing outside 0 .. count - 1), then EnsureSections.
  void DeleteSection(int index);

  // The value of Key in "Info"; empty when the key or the section is missing.
  std::string GetInfoValue(std::string_view key) const;
  // The value of Key in the section of the current language, or, when there is no such
  // section, in that of the base language; empty when neither section exists or the
  // chosen one lacks the key. Decoded as UTF-8 in a UTF-8 script, otherwise from the
  // code page of the section's own language.
  QString GetLocalizedValue(std::string_view key) const;
  // The localized Title, else Info's Title (in TextCodePage), else FileName's name
  // without folder and extension.
  QString GetTitle() const;

  // The code page of the script's own texts outside the language sections (MESSAGE
  // texts, Info's Title): UTF-8 in a UTF-8 script, else the system's ANSI code page.
  uint16_t TextCodePage() const;
  // Bytes of the script's own texts as text (TextCodePage).
  QString DecodeText(std::string_view bytes) const;
  // A file name the script gives (Info's Image, IMAGEOPEN's name): as UTF-8, the file
  // system's encoding, when the bytes are valid UTF-8; else in TextCodePage, so that a
  // name written on a single-byte system still finds its file.
  QString DecodeFileName(std::string_view bytes) const;

  bool Utf8 = false;  // the file began with the UTF-8 byte-order mark
  QString FileName;   // the path given to LoadFromFile

 private:
  struct Section {
    std::string Name;
    TLines Lines;
  };

  // LoadFromStrings' work, on views of the lines.
  void Parse(std::vector<std::string_view> lines);

  std::vector<std::unique_ptr<Section>> sections_;
  TLines* scriptLines_ = nullptr;
};

// The argument list of one command line: values by position 0, 1, 2, ...
class TZelDemoScriptParams : public TZelProperties {};

// Fills Params from the argument text of a command line (rules atop this header).
void ParseScriptArguments(TZelDemoScriptParams& params, std::string_view text);

namespace quill {

// Quoted := Text as one quoted argument that ParseScriptArguments reads back as Text:
// in double quotes, or in apostrophes when Text holds a double quote; a line feed is
// written as backslash-n. False, and Quoted unchanged, when no quoting reads back as
// Text: it holds both quotes (there is no escape for the quote), a backslash followed
// by n (always read as a line feed) or a carriage return (it would end the line).
bool QuoteScriptText(const QString& text, QString& quoted);

// A script line, or a word of it, as a message shows it: UTF-8 with U+FFFD for invalid
// bytes and for a NUL byte, so that the message goes on after one.
QString ShownScriptText(std::string_view bytes);

}  // namespace quill


namespace quill {

constexpr int32_t kMaxScriptArguments = 256;

// The value at Index; Unassigned outside the list.
TZelVariant ParamAt(const TZelDemoScriptParams& params, int index);
// An integer or a double.
bool IsNumeric(const TZelVariant& value);
// A number as an integer (a double rounded to the nearest, halves to even, and
// limited to 32 bits); Default for NaN and anything else. Every integer argument of a
// script command is converted by it.
int32_t NumberToInteger(const TZelVariant& value, int32_t defaultValue);
// A number as a double; Default for anything else.
double NumberToDouble(const TZelVariant& value, double defaultValue);
// A value as text: a string as it stands, a number in decimal ("12", "2.5", "100000";
// an exponent below 1e-4 and from 1e15 on: "1e+20"); empty when unassigned.
std::string VariantToText(const TZelVariant& value);
// Text with ASCII letters in upper case.
std::string UpperCase(std::string_view text);
// Text without leading and trailing blanks and control characters (bytes up to 32).
std::string_view TrimBlanks(std::string_view text);

}  // namespace quill

#endif  // QUILL_FRAMEWORK_DEMO_ZELDEMOSCRIPT_H_

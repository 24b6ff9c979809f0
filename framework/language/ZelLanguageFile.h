// TZelLanguageFile: a language file read into memory as sections of key=value lines,
// every text held as UTF-8.
//
// Encoding: a file that begins with the bytes EF BB BF is UTF-8 (the three bytes are
// dropped). Otherwise, when a line "CodePage=n" exists anywhere (the name in any
// letter case, nothing between it and the "="; the first such line counts) and n is a
// decimal number other than 0, every line is converted from code page n; a code page
// that cannot be converted leaves every line empty, so the file holds nothing.
// Otherwise the lines are taken as UTF-8 as they stand.
//
// Layout: every line is trimmed of blanks and control characters; empty lines and
// lines beginning with ";" are ignored; "[name]" opens the section of that name (a name seen
// again continues the same section); lines before the first section are ignored; a
// line holding "=" gives the key before the first "=" and the value after it, both
// trimmed; other lines are ignored. Section and key names compare without regard to
// ASCII letter case.

#ifndef QUILL_FRAMEWORK_ZELLANGUAGEFILE_H_
#define QUILL_FRAMEWORK_ZELLANGUAGEFILE_H_

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// A whole decimal integer of 32 bits: an optional sign and at least one digit, with
// nothing before or after; none otherwise ("0012" is 12).
std::optional<int32_t> ParseDecimalInt(std::string_view text);

}  // namespace quill

class TZelLanguageFile {
 public:
  struct Line {
    std::string Key;
    std::string Value;
  };

  // An empty file.
  TZelLanguageFile() = default;
  // Builds the file from its bytes.
  explicit TZelLanguageFile(std::string_view bytes);

  // Reads FileName. A name that is not a readable file, or a file larger than
  // kMaxFileSize, gives an empty file.
  static TZelLanguageFile Load(const QString& fileName);
  static constexpr int64_t kMaxFileSize = 16 << 20;

  // The lines of Section in file order; empty when there is no such section.
  const std::vector<Line>& SectionLines(std::string_view section) const;
  // The value of the first line of Section with Key; Default when there is none.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  // ReadString as a whole decimal integer; Default when absent or not one.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;

 private:
  struct Section {
    std::string Name;
    std::vector<Line> Lines;
  };
  std::vector<Section> sections_;
};

#endif  // QUILL_FRAMEWORK_ZELLANGUAGEFILE_H_

#include <gtest/gtest.h>

#include "ZelStrings.h"

TEST(AnsiToWideCP, ConvertsWindowsCodePages) {
  EXPECT_EQ(AnsiToWideCP("Gr\xFC\xDF" "e", 1252), u"Grüße");
  EXPECT_EQ(AnsiToWideCP("\xCF\xF0\xE8\xE2\xE5\xF2", 1251), u"Привет");
  EXPECT_EQ(AnsiToWideCP("\x80", 1252), u"€");
  EXPECT_EQ(AnsiToWideCP("\x93\xFA\x96\x7B", 932), u"日本");
  EXPECT_EQ(AnsiToWideCP("\xC3\xA9t\xC3\xA9", 65001), u"été");
}

TEST(AnsiToWideCP, StopsAtTheFirstZeroByte) {
  EXPECT_EQ(AnsiToWideCP(std::string_view("ab\0cd", 5), 1252), u"ab");
}

TEST(AnsiToWideCP, EmptyOrUnknownGivesEmpty) {
  EXPECT_EQ(AnsiToWideCP("", 1252), u"");
  EXPECT_EQ(AnsiToWideCP("abc", 12345), u"");
  EXPECT_EQ(AnsiToWideCP("abc", 0), u"");
}

TEST(AnsiToWideCP, InvalidBytesBecomeReplacementCharacters) {
  // 0x81 is unassigned in code page 1253; a lone lead byte ends a Shift-JIS text.
  EXPECT_EQ(AnsiToWideCP("a\xAA" "b", 1253), u"a\uFFFDb");
  EXPECT_EQ(AnsiToWideCP("x\x93", 932), u"x\uFFFD");
  EXPECT_EQ(AnsiToWideCP("\xFF\xFEok", 65001), u"\uFFFD\uFFFDok");
}

TEST(AnsiToWideCP, KeepsTheCharacterHeldBackForACombiningMark) {
  // The converters of 1255 and 1258 hold the last character back in case a combining
  // mark follows: it must still reach the result, also before an invalid byte.
  EXPECT_EQ(AnsiToWideCP("[Language]", 1258), u"[Language]");
  EXPECT_EQ(AnsiToWideCP("Ti\xEA\xECng Vi\xEA\xF2t", 1258), u"Tiếng Việt");
  EXPECT_EQ(AnsiToWideCP("\xF2\xE1\xF8\xE9\xFA", 1255), u"עברית");
  EXPECT_EQ(AnsiToWideCP("\xE0\xFF\xE0", 1255), u"א\uFFFDא");
}

TEST(CodePageConverter, ConvertsManyStringsWithOneConverter) {
  quill::CodePageConverter converter(1258);
  ASSERT_TRUE(converter.ok());
  // Nothing of one string carries into the next: the "e" is not combined with the
  // next string's leading acute accent.
  EXPECT_EQ(converter.Convert("e"), u"e");
  EXPECT_EQ(converter.Convert("\xEC" "a]"), u"\u0301a]");
  EXPECT_EQ(converter.Convert(""), u"");
  EXPECT_EQ(converter.Convert("Vi\xEA\xF2t"), AnsiToWideCP("Vi\xEA\xF2t", 1258));

  quill::CodePageConverter unknown(12345);
  EXPECT_FALSE(unknown.ok());
  EXPECT_EQ(unknown.Convert("abc"), u"");
}

TEST(FileNameWithoutExt, CutsAtTheLastDotOfTheName) {
  EXPECT_EQ(FileNameWithoutExt("C:\\a.b\\photo.tar.jpg"), "photo.tar");
  EXPECT_EQ(FileNameWithoutExt("C:\\dir\\readme"), "readme");
  EXPECT_EQ(FileNameWithoutExt("C:\\dir\\.cfg"), "");
  EXPECT_EQ(FileNameWithoutExt("/home/u/a.b/Quillmere"), "Quillmere");
  EXPECT_EQ(FileNameWithoutExt("D:name.ini"), "name");
  EXPECT_EQ(FileNameWithoutExt(""), "");
}

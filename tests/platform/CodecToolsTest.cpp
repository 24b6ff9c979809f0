// Checks our files with tools no one here wrote; each test skips when its tool is missing.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "CodecTestSupport.h"
#include "ImageCodecs.h"
#include "LosslessJpeg.h"

namespace {

namespace fs = std::filesystem;

using CodecTools = CodecTest;

// The path in single quotes, for the shell. (Appending rather than "'" + path keeps
// GCC 12 from a false overlap warning.)
std::string Quoted(const fs::path& path) {
  std::string quoted(1, '\'');
  quoted += path.string();
  quoted += '\'';
  return quoted;
}

// The EXIF tags exiftool reports for a file, by name, and as "MakerNoteBytes" the
// length of the maker note, which it shows only in its verbose listing.
std::map<std::string, std::string> ExifTags(const fs::path& file) {
  std::string output, verbose;
  RunCommand("exiftool -a -u -s -s -EXIF:all " + Quoted(file), &output);
  RunCommand("exiftool -v2 " + Quoted(file), &verbose);
  const size_t note = verbose.find("Tag 0x927c (");
  if (note != std::string::npos) output += "MakerNoteBytes: " + verbose.substr(note + 12, verbose.find(' ', note + 12) - note - 12) + "\n";
  std::map<std::string, std::string> tags;
  size_t start = 0;
  while (start < output.size()) {
    const size_t end = output.find('\n', start);
    const std::string line = output.substr(start, end - start);
    const size_t colon = line.find(": ");
    if (colon != std::string::npos) tags[line.substr(0, colon)] = line.substr(colon + 2);
    start = end == std::string::npos ? output.size() : end + 1;
  }
  return tags;
}

// A JPEG with the sample EXIF items; its tags as exiftool sees them.
std::map<std::string, std::string> MakeCameraJpeg(const fs::path& file, TZelLTBitmap& picture) {
  MakePicture(picture, 96, 64);
  TImageMetadata metadata;
  metadata.Items = SampleProperties();
  EXPECT_TRUE(SaveImageFile(file, picture.GetPixels(), "image/jpeg", 90, metadata));
  return ExifTags(file);
}

TEST_F(CodecTools, ExiftoolSeesTheSameTagsInEverySavedFile) {
  if (!HaveTool("exiftool")) GTEST_SKIP() << "exiftool is not installed";
  TZelLTBitmap picture;
  const std::map<std::string, std::string> original = MakeCameraJpeg(Path("camera.jpg"), picture);
  for (const char* tag : {"Make", "Model", "ModifyDate", "Orientation", "DateTimeOriginal", "MakerNoteBytes",
                          "GPSLatitude", "GPSLatitudeRef", "InteropIndex"}) {
    EXPECT_EQ(original.count(tag), 1u) << tag;
  }
  EXPECT_EQ(original.count("ThumbnailImageWidth"), 0u);  // thumbnail items are never written

  // Opened and saved again through every path the document has.
  TZelLTBitmap image;
  TImageRawFormat format;
  TImageMetadata metadata;
  ASSERT_TRUE(LoadImageFile(Path("camera.jpg"), image, format, metadata));
  for (const auto& [name, mime] : std::map<std::string, std::string>{
           {"again.jpg", "image/jpeg"}, {"again.png", "image/png"}, {"again.tif", "image/tiff"}}) {
    ASSERT_TRUE(SaveImageFile(Path(name), image.GetPixels(), mime, 80, metadata));
    std::map<std::string, std::string> tags = ExifTags(Path(name));
    for (const auto& [tag, value] : original) {
      if (tag == "XResolution" || tag == "YResolution" || tag == "ResolutionUnit") continue;
      EXPECT_EQ(tags[tag], value) << name << " " << tag;
    }
  }
  TLosslessJpeg jpeg;
  ASSERT_TRUE(jpeg.LoadFromFile(Path("camera.jpg")));
  jpeg.SetPixels(image.GetPixels().Bits(), image.GetPixels().Stride());
  ASSERT_TRUE(jpeg.Save(Path("lossless.jpg"), {}));
  EXPECT_EQ(ExifTags(Path("lossless.jpg")), original);
}

TEST_F(CodecTools, CheckersAcceptEveryFileWeWrite) {
  TZelLTBitmap picture;
  MakePicture(picture, 123, 77);
  TImageMetadata metadata;
  metadata.Items = SampleProperties();
  metadata.HorizontalResolution = metadata.VerticalResolution = 240;
  for (const auto& [name, mime] : std::map<std::string, std::string>{
           {"a.jpg", "image/jpeg"}, {"a.png", "image/png"}, {"a.tif", "image/tiff"}}) {
    ASSERT_TRUE(SaveImageFile(Path(name), picture.GetPixels(), mime, 75, metadata));
  }
  bool checked = false;
  if (HaveTool("jpeginfo")) {
    EXPECT_EQ(RunCommand("jpeginfo -c " + Quoted(Path("a.jpg")) + " >/dev/null"), 0);
    checked = true;
  }
  if (HaveTool("pngcheck")) {
    EXPECT_EQ(RunCommand("pngcheck -q " + Quoted(Path("a.png"))), 0);
    checked = true;
  }
  if (HaveTool("tiffinfo")) {
    std::string output;
    EXPECT_EQ(RunCommand("tiffinfo -D " + Quoted(Path("a.tif")) + " 2>&1 | grep -v 'Unknown field with tag'", &output), 0);
    // libtiff only warns about tags it has no name for (0x501A, the interoperability pointer).
    EXPECT_EQ(output.find("Error"), std::string::npos) << output;
    EXPECT_EQ(output.find("Warning"), std::string::npos) << output;
    checked = true;
  }
  if (!checked) GTEST_SKIP() << "none of jpeginfo, pngcheck, tiffinfo is installed";
}

TEST_F(CodecTools, AnUneditedLosslessSaveMatchesJpegtranCopyAll) {
  if (!HaveTool("jpegtran")) GTEST_SKIP() << "jpegtran is not installed";
  TZelLTBitmap picture;
  MakeCameraJpeg(Path("camera.jpg"), picture);
  ASSERT_EQ(RunCommand("jpegtran -copy all -outfile " + Quoted(Path("tool.jpg")) + " " + Quoted(Path("camera.jpg"))), 0);
  TLosslessJpeg jpeg;
  ASSERT_TRUE(jpeg.LoadFromFile(Path("camera.jpg")));
  TZelLTBitmap image;
  ASSERT_TRUE(image.SetSize(jpeg.GetWidth(), jpeg.GetHeight(), kPixelFormat24));
  ASSERT_TRUE(jpeg.Decode(image.GetPixels().Bits(), image.GetPixels().Stride()));
  jpeg.SetPixels(image.GetPixels().Bits(), image.GetPixels().Stride());
  ASSERT_TRUE(jpeg.Save(Path("ours.jpg"), {}));
  EXPECT_EQ(ReadCoefficients(Path("ours.jpg")).Components, ReadCoefficients(Path("tool.jpg")).Components);
}

}  // namespace

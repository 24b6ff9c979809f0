// Checks our files with tools no one here wrote; each test skips when its tool is missing.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "CodecTestSupport.h"
#include "ImageCodecs.h"
#include "LosslessJpeg.h"

namespace {

namespace fs = std::filesystem;

using CodecTools = quill::CodecTest;

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
  quill::RunCommand("exiftool -a -u -s -s -EXIF:all " + Quoted(file), &output);
  quill::RunCommand("exiftool -v2 " + Quoted(file), &verbose);
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
  quill::MakePicture(picture, 96, 64);
  quill::TImageMetadata metadata;
  metadata.Items = quill::SampleProperties();
  EXPECT_TRUE(quill::SaveImageFile(file, picture.GetPixels(), "image/jpeg", 90, metadata));
  return ExifTags(file);
}

TEST_F(CodecTools, ExiftoolSeesTheSameTagsInEverySavedFile) {
  if (!quill::HaveTool("exiftool")) GTEST_SKIP() << "exiftool is not installed";
  TZelLTBitmap picture;
  const std::map<std::string, std::string> original = MakeCameraJpeg(Path("camera.jpg"), picture);
  for (const char* tag : {"Make", "Model", "ModifyDate", "Orientation", "DateTimeOriginal", "MakerNoteBytes",
                          "GPSLatitude", "GPSLatitudeRef", "InteropIndex"}) {
    EXPECT_EQ(original.count(tag), 1u) << tag;
  }
  EXPECT_EQ(original.count("ThumbnailImageWidth"), 0u);  // thumbnail items are never written

  // Opened and saved again through every path the document has.
  TZelLTBitmap image;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  ASSERT_TRUE(quill::LoadImageFile(Path("camera.jpg"), image, format, metadata));
  for (const auto& [name, mime] : std::map<std::string, std::string>{
           {"again.jpg", "image/jpeg"}, {"again.png", "image/png"}, {"again.tif", "image/tiff"}}) {
    ASSERT_TRUE(quill::SaveImageFile(Path(name), image.GetPixels(), mime, 80, metadata));
    std::map<std::string, std::string> tags = ExifTags(Path(name));
    for (const auto& [tag, value] : original) {
      if (tag == "XResolution" || tag == "YResolution" || tag == "ResolutionUnit") continue;
      EXPECT_EQ(tags[tag], value) << name << " " << tag;
    }
  }
  quill::TLosslessJpeg jpeg;
  ASSERT_TRUE(jpeg.LoadFromFile(Path("camera.jpg")));
  jpeg.SetPixels(image.GetPixels().Bits(), image.GetPixels().Stride());
  ASSERT_TRUE(jpeg.Save(Path("lossless.jpg"), {}));
  EXPECT_EQ(ExifTags(Path("lossless.jpg")), original);
}

TEST_F(CodecTools, ExiftoolReadsTheSameIccProfileAfterEverySave) {
  if (!quill::HaveTool("exiftool")) GTEST_SKIP() << "exiftool is not installed";
  TZelLTBitmap picture;
  quill::MakePicture(picture, 64, 48);
  // Two APP2 segments in the JPEG.
  const std::vector<uint8_t> profile = quill::MakeIccProfile("Quillmere wide RGB", "RGB ", 70000);
  quill::TImageMetadata metadata;
  metadata.Items = quill::SampleProperties();
  metadata.Items.push_back({quill::kPropertyIccProfile, quill::kTiffUndefined, profile});
  ASSERT_TRUE(quill::SaveImageFile(Path("tagged.jpg"), picture.GetPixels(), "image/jpeg", 90, metadata));
  TZelLTBitmap image;
  quill::TImageRawFormat format;
  quill::TImageMetadata loaded;
  ASSERT_TRUE(quill::LoadImageFile(Path("tagged.jpg"), image, format, loaded));
  for (const auto& [name, mime] : std::map<std::string, std::string>{{"tagged.jpg", ""},
                                                                     {"again.jpg", "image/jpeg"},
                                                                     {"again.png", "image/png"},
                                                                     {"again.tif", "image/tiff"}}) {
    if (!mime.empty()) {
      ASSERT_TRUE(quill::SaveImageFile(Path(name), image.GetPixels(), mime, 90, loaded));
    }
    std::string description, bytes;
    quill::RunCommand("exiftool -s -s -s -ICC_Profile:ProfileDescription " + Quoted(Path(name)), &description);
    EXPECT_EQ(description, "Quillmere wide RGB\n") << name;
    quill::RunCommand("exiftool -b -ICC_Profile " + Quoted(Path(name)) + " 2>/dev/null", &bytes);
    EXPECT_EQ(bytes, std::string(profile.begin(), profile.end())) << name;
  }
}

// A camera's EXIF block as it comes out of the camera: IFD0 with the make and model,
// the EXIF directory, and at offset 200 a maker note laid out as the maker lays it out
// in its JPEGs, a directory whose values are found by offsets from the TIFF header.
std::vector<uint8_t> CameraExif() {
  std::vector<uint8_t> d;
  auto u16 = [&d](uint32_t v) { d.push_back(static_cast<uint8_t>(v)), d.push_back(static_cast<uint8_t>(v >> 8)); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  auto entry = [&](uint32_t tag, uint32_t type, uint32_t count, uint32_t value) { u16(tag), u16(type), u32(count), u32(value); };
  auto text = [&d](const std::string& s, size_t size) {
    d.insert(d.end(), s.begin(), s.end());
    d.insert(d.end(), size - s.size(), 0);
  };
  d = {'I', 'I', 42, 0};
  u32(8);
  u16(3);  // IFD0 at 8
  entry(0x010F, 2, 6, 50);
  entry(0x0110, 2, 13, 56);
  entry(0x8769, 4, 1, 70);
  u32(0);
  text("Canon", 6);          // 50
  text("Canon EOS 5D", 14);  // 56
  u16(2);                    // the EXIF directory at 70
  entry(0x9003, 2, 20, 100);
  entry(0x927C, 7, 118, 200);
  u32(0);
  text("2006:01:02 03:04:05", 20);  // 100
  d.resize(200, 0);
  u16(4);  // the maker note at 200, its values from 254
  entry(0x0006, 2, 16, 254);
  entry(0x0007, 2, 16, 270);
  entry(0x0009, 2, 32, 286);
  entry(0x000C, 4, 1, 1234567);
  u32(0);
  text("IMG:EOS 5D JPEG", 16);
  text("Firmware 1.1.1", 16);
  text("Quillmere Tester", 32);
  return d;
}

// The maker-note tags exiftool reads from a file, with any warning it gives.
std::string MakerNoteTags(const fs::path& file) {
  std::string output;
  quill::RunCommand("exiftool -a -s -s -G1 -MakerNotes:all -Warning " + Quoted(file), &output);
  return output;
}

TEST_F(CodecTools, MakerNoteStaysWhereItsOffsetsPointInEverySavedFile) {
  if (!quill::HaveTool("exiftool")) GTEST_SKIP() << "exiftool is not installed";
  TZelLTBitmap picture;
  quill::MakePicture(picture, 64, 48);
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(quill::EncodeImage(picture.GetPixels(), "image/jpeg", 90, {}, jpeg));
  std::vector<uint8_t> app1 = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
  const std::vector<uint8_t> exif = CameraExif();
  app1.insert(app1.end(), exif.begin(), exif.end());
  app1[2] = static_cast<uint8_t>((app1.size() - 2) >> 8), app1[3] = static_cast<uint8_t>(app1.size() - 2);
  jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
  quill::WriteBytes(Path("camera.jpg"), jpeg);
  const std::string original = MakerNoteTags(Path("camera.jpg"));
  ASSERT_NE(original.find("OwnerName: Quillmere Tester"), std::string::npos) << original;
  ASSERT_EQ(original.find("Warning"), std::string::npos) << original;

  TZelLTBitmap image;
  quill::TImageRawFormat format;
  quill::TImageMetadata metadata;
  ASSERT_TRUE(quill::LoadImageFile(Path("camera.jpg"), image, format, metadata));
  for (const auto& [name, mime] : std::map<std::string, std::string>{
           {"again.jpg", "image/jpeg"}, {"again.png", "image/png"}, {"again.tif", "image/tiff"}}) {
    ASSERT_TRUE(quill::SaveImageFile(Path(name), image.GetPixels(), mime, 80, metadata));
    EXPECT_EQ(MakerNoteTags(Path(name)), original) << name;
  }
  // Saved twice, the note still lies where its offsets point.
  quill::TImageMetadata again;
  ASSERT_TRUE(quill::LoadImageFile(Path("again.tif"), image, format, again));
  ASSERT_TRUE(quill::SaveImageFile(Path("twice.jpg"), image.GetPixels(), "image/jpeg", 80, again));
  EXPECT_EQ(MakerNoteTags(Path("twice.jpg")), original);
}

TEST_F(CodecTools, CheckersAcceptEveryFileWeWrite) {
  TZelLTBitmap picture;
  quill::MakePicture(picture, 123, 77);
  quill::TImageMetadata metadata;
  metadata.Items = quill::SampleProperties();
  metadata.Items.push_back({quill::kPropertyIccProfile, quill::kTiffUndefined, quill::MakeIccProfile("Checked RGB")});
  metadata.HorizontalResolution = metadata.VerticalResolution = 240;
  for (const auto& [name, mime] : std::map<std::string, std::string>{
           {"a.jpg", "image/jpeg"}, {"a.png", "image/png"}, {"a.tif", "image/tiff"}}) {
    ASSERT_TRUE(quill::SaveImageFile(Path(name), picture.GetPixels(), mime, 75, metadata));
  }
  bool checked = false;
  if (quill::HaveTool("jpeginfo")) {
    EXPECT_EQ(quill::RunCommand("jpeginfo -c " + Quoted(Path("a.jpg")) + " >/dev/null"), 0);
    checked = true;
  }
  if (quill::HaveTool("pngcheck")) {
    EXPECT_EQ(quill::RunCommand("pngcheck -q " + Quoted(Path("a.png"))), 0);
    checked = true;
  }
  if (quill::HaveTool("tiffinfo")) {
    std::string output;
    EXPECT_EQ(quill::RunCommand("tiffinfo -D " + Quoted(Path("a.tif")) + " 2>&1 | grep -v 'Unknown field with tag'", &output), 0);
    // libtiff only warns about tags it has no name for (0x501A, the interoperability pointer).
    EXPECT_EQ(output.find("Error"), std::string::npos) << output;
    EXPECT_EQ(output.find("Warning"), std::string::npos) << output;
    checked = true;
  }
  if (!checked) GTEST_SKIP() << "none of jpeginfo, pngcheck, tiffinfo is installed";
}

TEST_F(CodecTools, AnUneditedLosslessSaveMatchesJpegtranCopyAll) {
  if (!quill::HaveTool("jpegtran")) GTEST_SKIP() << "jpegtran is not installed";
  TZelLTBitmap picture;
  MakeCameraJpeg(Path("camera.jpg"), picture);
  ASSERT_EQ(quill::RunCommand("jpegtran -copy all -outfile " + Quoted(Path("tool.jpg")) + " " + Quoted(Path("camera.jpg"))), 0);
  quill::TLosslessJpeg jpeg;
  ASSERT_TRUE(jpeg.LoadFromFile(Path("camera.jpg")));
  TZelLTBitmap image;
  ASSERT_TRUE(image.SetSize(jpeg.GetWidth(), jpeg.GetHeight(), quill::kPixelFormat24));
  ASSERT_TRUE(jpeg.Decode(image.GetPixels().Bits(), image.GetPixels().Stride()));
  jpeg.SetPixels(image.GetPixels().Bits(), image.GetPixels().Stride());
  ASSERT_TRUE(jpeg.Save(Path("ours.jpg"), {}));
  EXPECT_EQ(quill::ReadCoefficients(Path("ours.jpg")).Components, quill::ReadCoefficients(Path("tool.jpg")).Components);
}

}  // namespace

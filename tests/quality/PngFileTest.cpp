#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

#include "PngFile.h"
#include "ZelColor.h"

namespace {

namespace fs = std::filesystem;

class PngFileTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("quill-png-" + std::to_string(getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Path(const char* name) const { return (folder_ / name).string(); }

  void WriteBytes(const std::string& path, const std::string& bytes) const {
    std::ofstream(path, std::ios::binary) << bytes;
  }

  fs::path folder_;
};

// A 24-bit image whose pixels differ in every channel.
void MakeGradient(TZelPixelBuffer& image, int width, int height) {
  ASSERT_TRUE(image.Allocate(kPixelFormat24, {0, 0, width, height}));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = image.GetPixelAddress(x, y);
      p[0] = static_cast<uint8_t>(x * 7);
      p[1] = static_cast<uint8_t>(y * 11);
      p[2] = static_cast<uint8_t>(x + y);
    }
  }
}

}  // namespace

TEST_F(PngFileTest, RoundTripKeepsEveryPixel) {
  TZelPixelBuffer image, back;
  MakeGradient(image, 37, 5);  // a width whose rows need padding
  std::string error;
  ASSERT_TRUE(WritePng(Path("a.png"), image, error)) << error;
  ASSERT_TRUE(ReadPng(Path("a.png"), back, error)) << error;
  ASSERT_EQ(back.GetBounds(), image.GetBounds());
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 37; ++x) {
      ASSERT_EQ(PackPixel(back.GetPixelAddress(x, y)), PackPixel(image.GetPixelAddress(x, y)));
    }
  }
  // Nothing but the target is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

TEST_F(PngFileTest, FailedWriteLeavesTheOldFile) {
  TZelPixelBuffer image, empty;
  MakeGradient(image, 4, 4);
  std::string error;
  ASSERT_TRUE(WritePng(Path("keep.png"), image, error)) << error;
  const auto size = fs::file_size(Path("keep.png"));
  EXPECT_FALSE(WritePng(Path("keep.png"), empty, error));
  EXPECT_EQ(fs::file_size(Path("keep.png")), size);
  EXPECT_FALSE(WritePng(Path("no/such/folder/x.png"), image, error));
  EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
}

TEST_F(PngFileTest, BadInputGetsAClearMessage) {
  TZelPixelBuffer image;
  std::string error;
  EXPECT_FALSE(ReadPng(Path("missing.png"), image, error));
  EXPECT_NE(error.find("cannot open"), std::string::npos) << error;

  WriteBytes(Path("text.png"), "just some text, not an image");
  EXPECT_FALSE(ReadPng(Path("text.png"), image, error));
  EXPECT_NE(error.find("is not a PNG image"), std::string::npos) << error;

  // A signature and a header that claims 70000 x 10 pixels: refused before decoding.
  const std::string signature("\x89PNG\r\n\x1a\n", 8);
  const std::string header("\0\0\0\x0dIHDR\0\x01\x11\x70\0\0\0\x0a\x08\x02\0\0\0\0\0\0\0", 25);
  WriteBytes(Path("huge.png"), signature + header);
  EXPECT_FALSE(ReadPng(Path("huge.png"), image, error));
  EXPECT_NE(error.find("is too large"), std::string::npos) << error;
  EXPECT_EQ(image.Bits(), nullptr);

  // A real file cut short in its pixel data.
  TZelPixelBuffer gradient;
  MakeGradient(gradient, 64, 64);
  ASSERT_TRUE(WritePng(Path("whole.png"), gradient, error)) << error;
  std::ifstream in(Path("whole.png"), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  WriteBytes(Path("cut.png"), bytes.substr(0, bytes.size() / 2));
  EXPECT_FALSE(ReadPng(Path("cut.png"), image, error));
  EXPECT_NE(error.find("is damaged"), std::string::npos) << error;
  EXPECT_EQ(image.GetBounds(), TRect{});
}

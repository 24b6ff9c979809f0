#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ExchangeImage.h"

namespace {

namespace fs = std::filesystem;

class ExchangeImageTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("quill-exchange-image-" + std::to_string(::getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
    file_ = folder_ / "image.tmp";
  }
  void TearDown() override { fs::remove_all(folder_); }

  void Append(const std::vector<uint8_t>& bytes) {
    std::ofstream(file_, std::ios::binary | std::ios::app)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  fs::path folder_;
  fs::path file_;
};

void MakeImage(TZelLTBitmap& image, int width, int height) {
  ASSERT_TRUE(image.SetSize(width, height, quill::kPixelFormat24));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = image.GetPixels().GetPixelAddress(x, y);
      p[0] = static_cast<uint8_t>(x * 3);
      p[1] = static_cast<uint8_t>(y * 5);
      p[2] = static_cast<uint8_t>(x + y);
    }
  }
}

bool SamePixels(const TZelLTBitmap& a, const TZelLTBitmap& b) {
  if (a.GetBounds() != b.GetBounds()) return false;
  for (int y = 0; y < a.GetHeight(); ++y) {
    if (std::memcmp(a.GetPixels().GetScanLine(0, y), b.GetPixels().GetScanLine(0, y),
                    static_cast<size_t>(a.GetWidth()) * 3) != 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

TEST_F(ExchangeImageTest, RoundTripKeepsThePicture) {
  TZelLTBitmap image, back;
  MakeImage(image, 5, 2);
  ASSERT_TRUE(quill::SaveExchangeImage(file_, image));
  EXPECT_EQ(fs::file_size(file_), 36u + 16 * 2);  // the image's stride as the row step
  quill::TImageMetadata metadata;
  metadata.Items.push_back({271, 2, {'x', 0}});  // replaced: the file has no EXIF block
  ASSERT_TRUE(quill::LoadExchangeImage(file_, back, metadata));
  EXPECT_TRUE(SamePixels(image, back));
  EXPECT_TRUE(metadata.Items.empty());
}

TEST_F(ExchangeImageTest, ReadsTheExifBlock) {
  TZelLTBitmap image, back;
  MakeImage(image, 3, 3);
  ASSERT_TRUE(quill::SaveExchangeImage(file_, image));
  quill::TImagePropertyList items;
  items.push_back({271, 2, {'M', 'a', 'k', 'e', 'r', 0}});
  items.push_back({quill::kPropertyXResolution, 5, {44, 1, 0, 0, 1, 0, 0, 0}});  // 300 / 1
  items.push_back({quill::kPropertyYResolution, 5, {44, 1, 0, 0, 1, 0, 0, 0}});
  std::vector<uint8_t> exif = quill::BuildExifData(items);
  ASSERT_FALSE(exif.empty());
  exif.resize(std::max<size_t>(exif.size(), 600), 0);  // more than 496 bytes must follow the rows
  std::vector<uint8_t> block = {'E', 'X', 'I', 'F'};
  const auto n = static_cast<uint32_t>(exif.size());
  for (int i = 0; i < 4; ++i) block.push_back(static_cast<uint8_t>(n >> (8 * i)));
  block.insert(block.end(), exif.begin(), exif.end());
  Append(block);

  quill::TImageMetadata metadata;
  ASSERT_TRUE(quill::LoadExchangeImage(file_, back, metadata));
  EXPECT_TRUE(SamePixels(image, back));
  EXPECT_EQ(ReadPropertyText(metadata.Items, 271), "Maker");
  EXPECT_DOUBLE_EQ(metadata.HorizontalResolution, 300);
  EXPECT_DOUBLE_EQ(metadata.VerticalResolution, 300);
}

TEST_F(ExchangeImageTest, OtherFilesAreNotExchangeFiles) {
  TZelLTBitmap image;
  MakeImage(image, 4, 4);
  quill::TImageMetadata metadata;
  Append({0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_FALSE(quill::LoadExchangeImage(file_, image, metadata));
  EXPECT_FALSE(quill::LoadExchangeImage(folder_ / "missing.tmp", image, metadata));
  EXPECT_FALSE(fs::exists(folder_ / "missing.tmp"));  // the probe creates nothing
  EXPECT_EQ(image.GetWidth(), 4);                      // left as it was

  TZelLTBitmap empty;
  EXPECT_FALSE(quill::SaveExchangeImage(folder_ / "out.tmp", empty));
}

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "ExchangeFile.h"
#include "FileMapping.h"

namespace {

namespace fs = std::filesystem;

class ExchangeFileTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("quill-exchange-" + std::to_string(::getpid()) + "-" +
                                           testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
    file_ = folder_ / "image.pspf";
  }
  void TearDown() override { fs::remove_all(folder_); }

  void WriteBytes(const std::vector<uint8_t>& bytes) {
    std::ofstream(file_, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  std::vector<uint8_t> ReadBytes() {
    std::ifstream in(file_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  fs::path folder_;
  fs::path file_;
};

void PutInt(std::vector<uint8_t>& out, int32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}

// "PSPF" and a header of Mode 3 at (0, 0).
std::vector<uint8_t> Header(int32_t width, int32_t height, int32_t rowBytes, int32_t planes, int32_t mode = 3) {
  std::vector<uint8_t> out = {'P', 'S', 'P', 'F'};
  for (int32_t v : {32, mode, 0, 0, width, height, rowBytes, planes}) PutInt(out, v);
  return out;
}

TEST_F(ExchangeFileTest, ReadsRedGreenBlueIntoBlueGreenRed) {
  std::vector<uint8_t> bytes = Header(2, 1, 8, 3);
  bytes.insert(bytes.end(), {10, 20, 30, 40, 50, 60, 0, 0});
  WriteBytes(bytes);
  quill::TExchangeFileReader reader;
  ASSERT_TRUE(reader.Open(file_));
  EXPECT_EQ(reader.Info().Width, 2);
  uint8_t pixels[6] = {};
  reader.CopyPixels(pixels, 6);
  EXPECT_EQ(std::vector<uint8_t>(pixels, pixels + 6), (std::vector<uint8_t>{30, 20, 10, 60, 50, 40}));
  EXPECT_TRUE(reader.ExifData().empty());
}

TEST_F(ExchangeFileTest, TakesTheFirstThreeOfFourPlanes) {
  std::vector<uint8_t> bytes = Header(2, 2, 8, 4);
  bytes.insert(bytes.end(), {1, 2, 3, 99, 4, 5, 6, 99, 7, 8, 9, 99, 10, 11, 12, 99});
  WriteBytes(bytes);
  quill::TExchangeFileReader reader;
  ASSERT_TRUE(reader.Open(file_));
  uint8_t pixels[12] = {};
  reader.CopyPixels(pixels, 6);
  EXPECT_EQ(std::vector<uint8_t>(pixels, pixels + 12),
            (std::vector<uint8_t>{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}));
}

TEST_F(ExchangeFileTest, RejectsHeadersThatDoNotFitTheFile) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<uint8_t> rowsMissing = Header(2, 2, 8, 3);
  rowsMissing.resize(rowsMissing.size() + 15);  // one byte short of two rows
  std::vector<uint8_t> modeOne = Header(1, 1, 4, 3, 1);
  modeOne.resize(modeOne.size() + 4);
  std::vector<uint8_t> wide = Header(3, 1, 8, 3);  // 3 x 3 bytes do not fit in 8
  wide.resize(wide.size() + 8);
  std::vector<uint8_t> twoPlanes = Header(1, 1, 4, 2);
  twoPlanes.resize(twoPlanes.size() + 4);
  std::vector<uint8_t> negative = Header(-1, 1, 4, 3);
  negative.resize(negative.size() + 4);
  // Height x RowBytes overflows 32 bits: only 64-bit arithmetic sees it is too large.
  std::vector<uint8_t> huge = Header(1, 65535, 0x7FFFFFFF, 3);
  huge.resize(huge.size() + 64);
  std::vector<uint8_t> notExchange = {'P', 'S', 'P', 'X'};
  notExchange.resize(80);
  for (const Case& c : std::vector<Case>{{"rows missing", rowsMissing}, {"mode 1", modeOne}, {"row too wide", wide},
                                         {"two planes", twoPlanes}, {"negative width", negative},
                                         {"huge rows", huge}, {"other magic", notExchange}, {"short", {'P', 'S'}}}) {
    WriteBytes(c.bytes);
    quill::TExchangeFileReader reader;
    EXPECT_FALSE(reader.Open(file_)) << c.what;
  }
}

TEST_F(ExchangeFileTest, KeepsThePixelBudgetOfTheDecoders) {
  // Each side is within 65535, but 65535 x 4097 pixels exceed 2^28; 65535 x 4096 do
  // not. The rows are really there: the files are sparse, 805 MB long.
  for (const int32_t height : {4097, 4096}) {
    const int32_t rowBytes = 65535 * 3;
    WriteBytes(Header(65535, height, rowBytes, 3));
    fs::resize_file(file_, quill::kExchangePixelOffset + int64_t{height} * rowBytes);
    quill::TExchangeFileReader reader;
    EXPECT_EQ(reader.Open(file_), height == 4096) << height;
  }
}

TEST_F(ExchangeFileTest, ReadsAnExifBlockOnlyWhenMoreThan496BytesFollowAndItFits) {
  std::vector<uint8_t> bytes = Header(1, 1, 4, 3);
  bytes.insert(bytes.end(), {1, 2, 3, 0});
  const size_t tail = bytes.size();
  bytes.insert(bytes.end(), {'E', 'X', 'I', 'F'});
  PutInt(bytes, 489);  // N: the block fills the rest exactly
  bytes.resize(tail + 8 + 489, 0xAB);
  WriteBytes(bytes);  // 497 bytes follow the rows
  {
    quill::TExchangeFileReader reader;
    ASSERT_TRUE(reader.Open(file_));
    EXPECT_EQ(reader.ExifData().size(), 489u);
  }
  bytes.resize(tail + 496);  // exactly 496: ignored
  WriteBytes(bytes);
  {
    quill::TExchangeFileReader reader;
    ASSERT_TRUE(reader.Open(file_));
    EXPECT_TRUE(reader.ExifData().empty());
  }
  bytes.resize(tail + 8 + 489);
  std::memcpy(&bytes[tail + 4], "\xFF\x01\x00\x00", 4);  // N = 511 runs past the end
  WriteBytes(bytes);
  {
    quill::TExchangeFileReader reader;
    ASSERT_TRUE(reader.Open(file_));
    EXPECT_TRUE(reader.ExifData().empty());
  }
}

TEST_F(ExchangeFileTest, ProbingAMissingNameCreatesNothing) {
  quill::TExchangeFileReader reader;
  EXPECT_FALSE(reader.Open(file_));
  EXPECT_FALSE(quill::IsExchangeFile(file_));
  EXPECT_FALSE(fs::exists(file_));
  EXPECT_FALSE(reader.Open(folder_));  // a folder is no exchange file
  EXPECT_FALSE(quill::IsExchangeFile(folder_));
}

// "PSPF" and Mode 3 make an exchange file, whether the reader then takes it or not: the
// program must not hand such a file to its other readers.
TEST_F(ExchangeFileTest, AnExchangeFileIsKnownByItsMagicAndMode) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    bool exchange;
  };
  std::vector<uint8_t> signature = Header(1, 1, 4, 3);
  signature.resize(12);
  std::vector<uint8_t> cut = signature;
  cut.resize(11);
  std::vector<uint8_t> otherMagic = Header(1, 1, 4, 3);
  otherMagic[3] = 'X';
  for (const Case& c : std::vector<Case>{{"header of an oversized image", Header(20000, 14000, 60000, 3), true},
                                         {"no more than magic and mode", signature, true},
                                         {"mode 1", Header(1, 1, 4, 3, 1), false},
                                         {"other magic", otherMagic, false},
                                         {"cut inside the mode", cut, false}}) {
    WriteBytes(c.bytes);
    EXPECT_EQ(quill::IsExchangeFile(file_), c.exchange) << c.what;
    quill::TExchangeFileReader reader;
    EXPECT_FALSE(reader.Open(file_)) << c.what;
  }
}

TEST_F(ExchangeFileTest, WritesBackIntoTheFileKeepingRowPadding) {
  // A 5 x 2 image with stride 16 into a file that held something longer.
  std::vector<uint8_t> old(200, 0x77);
  WriteBytes(old);
  std::vector<uint8_t> pixels(32);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i);
  ASSERT_TRUE(quill::WriteExchangeFile(file_, pixels.data(), 16, 5, 2));
  const std::vector<uint8_t> bytes = ReadBytes();
  ASSERT_EQ(bytes.size(), 68u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 36), Header(5, 2, 16, 3));
  EXPECT_EQ(bytes[36], 2);  // red of pixel (0, 0) is its third byte
  EXPECT_EQ(bytes[38], 0);
  EXPECT_EQ(bytes[36 + 16], 18);
  EXPECT_EQ(bytes[36 + 15], 0x77);  // the sixteenth byte of each row is untouched
  EXPECT_EQ(bytes[36 + 31], 0x77);

  quill::TExchangeFileReader reader;
  ASSERT_TRUE(reader.Open(file_));
  std::vector<uint8_t> back(32);
  reader.CopyPixels(back.data(), 16);
  for (int y = 0; y < 2; ++y) {
    EXPECT_TRUE(std::equal(back.begin() + 16 * y, back.begin() + 16 * y + 15, pixels.begin() + 16 * y));
  }
}

TEST_F(ExchangeFileTest, WriterRefusesWhatItCannotWrite) {
  std::vector<uint8_t> pixels(16);
  EXPECT_FALSE(quill::WriteExchangeFile(file_, pixels.data(), 14, 5, 1));  // stride not a multiple of 4
  EXPECT_FALSE(quill::WriteExchangeFile(file_, pixels.data(), 12, 5, 1));  // stride below 3 x width
  EXPECT_FALSE(quill::WriteExchangeFile(file_, pixels.data(), 16, 0, 1));
  EXPECT_FALSE(quill::WriteExchangeFile(folder_ / "missing" / "x", pixels.data(), 16, 5, 1));
  // Read-only by its mode bits (no write bit for anyone): refused for root too.
  WriteBytes({1, 2, 3});
  fs::permissions(file_, fs::perms::owner_read);
  EXPECT_FALSE(quill::WriteExchangeFile(file_, pixels.data(), 16, 5, 1));
  EXPECT_EQ(ReadBytes(), (std::vector<uint8_t>{1, 2, 3}));
  // and readable as ever.
  TFileMapping readOnly(file_, TFileMapping::TAccess::ReadExisting);
  EXPECT_TRUE(readOnly.IsOpen());
}

TEST_F(ExchangeFileTest, ANamedPipeIsRefusedWithoutWaitingForAWriter) {
  const fs::path pipe = folder_ / "pipe.pspf";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  // Should an open wait for a writer, the watchdog ends the test as a failure.
  ::alarm(60);
  quill::TExchangeFileReader reader;
  EXPECT_FALSE(reader.Open(pipe));
  EXPECT_FALSE(quill::IsExchangeFile(pipe));
  EXPECT_FALSE(TFileMapping(pipe, TFileMapping::TAccess::ReadWrite).IsOpen());
  ::alarm(0);
}

TEST_F(ExchangeFileTest, FileMappingViewsStayInsideTheFile) {
  TFileMapping mapping(file_, TFileMapping::TAccess::ReadWrite);
  ASSERT_TRUE(mapping.IsOpen());
  EXPECT_EQ(mapping.GetSize(), 0);
  EXPECT_EQ(mapping.MapView(0, 0), nullptr);  // nothing to map in an empty file
  ASSERT_TRUE(mapping.SetSize(10000));
  EXPECT_EQ(mapping.MapView(9000, 2000), nullptr);  // past the end
  uint8_t* view = mapping.MapView(5000, 100);        // an offset inside a page
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(mapping.ViewSize(view), 100);
  view[0] = 42;
  EXPECT_FALSE(mapping.SetSize(20));  // not while a view is mapped
  mapping.UnmapView(view);
  EXPECT_TRUE(mapping.SetSize(5001));
  EXPECT_EQ(ReadBytes()[5000], 42);

  TFileMapping readOnly(file_, TFileMapping::TAccess::ReadExisting);
  EXPECT_FALSE(readOnly.SetSize(10));
}

}  // namespace

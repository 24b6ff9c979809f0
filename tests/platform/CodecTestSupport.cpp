#include "CodecTestSupport.h"

#include <jpeglib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "ImageCodecs.h"
#include "JpegSupport.h"
#include "ZelBitmap.h"

namespace fs = std::filesystem;

namespace quill {

void CodecTest::SetUp() {
  const auto* info = testing::UnitTest::GetInstance()->current_test_info();
  folder_ = fs::temp_directory_path() /
            ("quill-codec-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name());
  fs::create_directories(folder_);
}

void CodecTest::TearDown() { fs::remove_all(folder_); }

void MakePicture(TZelLTBitmap& image, int32_t width, int32_t height) {
  ASSERT_TRUE(image.SetSize(width, height, kPixelFormat24));
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* p = image.GetPixels().GetScanLine(0, y);
    for (int32_t x = 0; x < width; ++x, p += 3) {
      const bool edge = (x / 24 + y / 24) % 5 == 0;
      p[0] = static_cast<uint8_t>(edge ? 30 : 90 + 80 * std::sin(x * 0.05));
      p[1] = static_cast<uint8_t>(60 + (x + 2 * y) % 120);
      p[2] = static_cast<uint8_t>(edge ? 220 : 40 + y % 150);
    }
  }
}

double MeanDifference(const TZelPixels& a, const TZelPixels& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return 255;
  double sum = 0;
  for (int32_t y = 0; y < a.Height(); ++y) {
    const uint8_t* p = a.GetScanLine(a.Left(), a.Top() + y);
    const uint8_t* q = b.GetScanLine(b.Left(), b.Top() + y);
    for (int32_t i = 0; i < a.Width() * 3; ++i) sum += std::abs(p[i] - q[i]);
  }
  return sum / (3.0 * a.Width() * a.Height());
}

bool SamePixels(const TZelPixels& a, const TZelPixels& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int32_t y = 0; y < a.Height(); ++y) {
    if (std::memcmp(a.GetScanLine(a.Left(), a.Top() + y), b.GetScanLine(b.Left(), b.Top() + y),
                    static_cast<size_t>(a.Width()) * 3) != 0) {
      return false;
    }
  }
  return true;
}

namespace {

bool ReadAll(TJpegDecompressor& reader, const std::vector<uint8_t>& data, TJpegCoefficients& result) {
  if (!ReadJpegHeader(reader, data.data(), data.size(), false)) return false;
  if (setjmp(reader.Error.Jump)) return false;
  jvirt_barray_ptr* arrays = jpeg_read_coefficients(&reader.Info);
  jpeg_decompress_struct& d = reader.Info;
  result.Width = static_cast<int>(d.image_width);
  result.Height = static_cast<int>(d.image_height);
  for (int c = 0; c < d.num_components; ++c) {
    const jpeg_component_info& comp = d.comp_info[c];
    result.BlocksAcross.push_back(static_cast<int>(comp.width_in_blocks));
    const JQUANT_TBL* table = d.quant_tbl_ptrs[comp.quant_tbl_no];
    std::copy(std::begin(table->quantval), std::end(table->quantval), result.Tables.emplace_back().begin());
    result.Components.emplace_back();
    for (JDIMENSION row = 0; row < comp.height_in_blocks; ++row) {
      JBLOCKROW blocks = (*d.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&d), arrays[c], row, 1, FALSE)[0];
      for (JDIMENSION b = 0; b < comp.width_in_blocks; ++b) {
        result.Components.back().insert(result.Components.back().end(), blocks[b], blocks[b] + 64);
      }
    }
  }
  return true;
}

}  // namespace

TJpegCoefficients ReadCoefficients(const fs::path& fileName) {
  const std::vector<uint8_t> data = FileBytes(fileName);
  TJpegDecompressor reader;
  TJpegCoefficients result;
  if (!ReadAll(reader, data, result)) return {};
  return result;
}

namespace {

bool Requantise(TJpegDecompressor& reader, TJpegCompressor& writer, const std::vector<uint8_t>& data,
                const std::vector<std::pair<int, uint16_t>>& quantisers) {
  if (!ReadJpegHeader(reader, data.data(), data.size(), true)) return false;
  if (setjmp(reader.Error.Jump)) return false;
  if (setjmp(writer.Error.Jump)) return false;
  jpeg_decompress_struct& d = reader.Info;
  jvirt_barray_ptr* arrays = jpeg_read_coefficients(&d);
  jpeg_copy_critical_parameters(&d, &writer.Info);
  for (const auto& [k, value] : quantisers) writer.Info.quant_tbl_ptrs[0]->quantval[k] = value;
  for (int c = 0; c < d.num_components; ++c) {
    const jpeg_component_info& comp = d.comp_info[c];
    if (comp.quant_tbl_no != 0) continue;
    for (JDIMENSION row = 0; row < comp.height_in_blocks; ++row) {
      JBLOCKROW blocks = (*d.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&d), arrays[c], row, 1, TRUE)[0];
      for (JDIMENSION b = 0; b < comp.width_in_blocks; ++b) {
        for (const auto& [k, value] : quantisers) blocks[b][k] = 0;
      }
    }
  }
  jpeg_write_coefficients(&writer.Info, arrays);
  jpeg_finish_compress(&writer.Info);
  return true;
}

bool Compress(TJpegCompressor& writer, const TZelPixels& image, int h, int v, bool progressive, bool grey) {
  if (setjmp(writer.Error.Jump)) return false;
  writer.Info.image_width = static_cast<JDIMENSION>(image.Width());
  writer.Info.image_height = static_cast<JDIMENSION>(image.Height());
  writer.Info.input_components = 3;
  writer.Info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&writer.Info);
  jpeg_set_quality(&writer.Info, 90, TRUE);
  if (grey) jpeg_set_colorspace(&writer.Info, JCS_GRAYSCALE);
  writer.Info.comp_info[0].h_samp_factor = h;
  writer.Info.comp_info[0].v_samp_factor = v;
  if (progressive) jpeg_simple_progression(&writer.Info);
  jpeg_start_compress(&writer.Info, TRUE);
  while (writer.Info.next_scanline < writer.Info.image_height) {
    JSAMPROW row[1] = {image.GetScanLine(0, static_cast<int32_t>(writer.Info.next_scanline))};
    jpeg_write_scanlines(&writer.Info, row, 1);
  }
  jpeg_finish_compress(&writer.Info);
  return true;
}

void PutValue(TImagePropertyItem& item, const std::vector<uint32_t>& values, int bytes) {
  for (uint32_t v : values) {
    for (int i = 0; i < bytes; ++i) item.Value.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
}

TImagePropertyItem Text(uint32_t id, const std::string& text) {
  TImagePropertyItem item{id, kTiffAscii, {text.begin(), text.end()}};
  item.Value.push_back(0);
  return item;
}

}  // namespace

void RequantiseJpeg(const fs::path& from, const fs::path& to, const std::vector<std::pair<int, uint16_t>>& quantisers) {
  TJpegDecompressor reader;
  TJpegCompressor writer;
  ASSERT_TRUE(Requantise(reader, writer, FileBytes(from), quantisers));
  WriteBytes(to, writer.Output);
}

void WriteLibJpeg(const fs::path& fileName, const TZelPixels& image, int hSampling, int vSampling, bool progressive,
                  bool grey) {
  TJpegCompressor writer;
  ASSERT_TRUE(Compress(writer, image, hSampling, vSampling, progressive, grey));
  WriteBytes(fileName, writer.Output);
}

TImagePropertyList SampleProperties() {
  TImagePropertyList items;
  items.push_back(Text(kPropertyMake, "Quillmere Optics"));
  items.push_back(Text(kPropertyModel, "QM-1"));
  items.push_back(Text(kPropertyDateTime, "2024:05:06 07:08:09"));
  TImagePropertyItem orientation{0x0112, kTiffShort, {}};
  PutValue(orientation, {6}, 2);
  items.push_back(orientation);
  items.push_back(Text(kPropertyExif | 0x9003, "2024:05:06 07:08:00"));
  TImagePropertyItem makerNote{kPropertyExif | 0x927C, kTiffUndefined, {}};
  for (int i = 0; i < 300; ++i) makerNote.Value.push_back(static_cast<uint8_t>(i * 7));
  items.push_back(makerNote);
  items.push_back(Text(kPropertyGps | 0x0001, "N"));
  TImagePropertyItem latitude{kPropertyGps | 0x0002, kTiffRational, {}};
  PutValue(latitude, {43, 1, 17, 1, 3012, 100}, 4);
  items.push_back(latitude);
  items.push_back(Text(kPropertyInterop | 0x0001, "R98"));
  TImagePropertyItem kept{0x501A, kTiffShort, {}};
  PutValue(kept, {1}, 2);
  items.push_back(kept);
  TImagePropertyItem thumbnailWidth{0x5020, kTiffLong, {}};
  PutValue(thumbnailWidth, {160}, 4);
  items.push_back(thumbnailWidth);
  return items;
}

std::vector<uint8_t> MakeIccProfile(const std::string& description, const char (&colourSpace)[5], size_t padding) {
  std::vector<uint8_t> p(128, 0);
  auto put32 = [&p](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
  };
  auto text = [&p](size_t at, const char* four) { std::memcpy(&p[at], four, 4); };
  put32(8, 0x02100000);
  text(12, "mntr");
  text(16, colourSpace);
  text(20, "XYZ ");
  text(36, "acsp");
  put32(68, 0xF6D6), put32(72, 0x10000), put32(76, 0xD32D);  // D50
  // Tag table: desc, then the padding as a private 'data' tag; values 4-byte aligned.
  std::vector<uint8_t> desc = {'d', 'e', 's', 'c', 0, 0, 0, 0};
  const uint32_t length = static_cast<uint32_t>(description.size() + 1);
  for (int i = 0; i < 4; ++i) desc.push_back(static_cast<uint8_t>(length >> (24 - 8 * i)));
  desc.insert(desc.end(), description.begin(), description.end());
  desc.push_back(0);
  desc.insert(desc.end(), 4 + 4 + 2 + 1 + 67, 0);  // empty Unicode and ScriptCode descriptions
  std::vector<uint8_t> data = {'d', 'a', 't', 'a', 0, 0, 0, 0, 0, 0, 0, 1};
  for (size_t i = 0; i < padding; ++i) data.push_back(static_cast<uint8_t>(i * 31));
  const std::vector<uint8_t>* values[] = {&desc, &data};
  const char* signatures[] = {"desc", "qlmr"};
  const size_t tags = padding == 0 ? 1 : 2;
  p.resize(132 + 12 * tags, 0);
  put32(128, static_cast<uint32_t>(tags));
  for (size_t t = 0; t < tags; ++t) {
    p.resize((p.size() + 3) / 4 * 4, 0);
    const size_t at = 132 + 12 * t;
    text(at, signatures[t]);
    put32(at + 4, static_cast<uint32_t>(p.size()));
    put32(at + 8, static_cast<uint32_t>(values[t]->size()));
    p.insert(p.end(), values[t]->begin(), values[t]->end());
  }
  p.resize((p.size() + 3) / 4 * 4, 0);
  put32(0, static_cast<uint32_t>(p.size()));
  return p;
}

int64_t StatusKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::stoll(line.substr(field.size() + 1));
  }
  return -1;
}

namespace {

[[noreturn]] void RunWithMemoryLimit(int64_t headroomMiB, const std::function<bool()>& work) {
  // The blocks kept for the next photo are memory the program gives up when pressed:
  // they are no headroom.
  ReleaseKeptPixelBlocks();
  const auto limit = static_cast<rlim_t>((StatusKiB("VmSize") + headroomMiB * 1024) * 1024);
  const rlimit address{limit, limit};
  ::setrlimit(RLIMIT_AS, &address);
  std::_Exit(work() ? 0 : 1);
}

}  // namespace

void ExpectWithMemoryLimit(int line, int64_t headroomMiB, const std::function<bool()>& work) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(RunWithMemoryLimit(headroomMiB, work), testing::ExitedWithCode(0), "") << "the check at line " << line;
}

FileSizeLimit::FileSizeLimit(uint64_t bytes) {
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  oldCurrent_ = limit.rlim_cur;
  oldMaximum_ = limit.rlim_max;
  oldAction_ = std::signal(SIGXFSZ, SIG_IGN);
  limit.rlim_cur = bytes;
  EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
}

FileSizeLimit::~FileSizeLimit() {
  const rlimit limit{oldCurrent_, oldMaximum_};
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, oldAction_);
}

int ReadOrientation(const fs::path& fileName) {
  std::vector<uint8_t> bytes = FileBytes(fileName);
  ::RestoreZliHeader(bytes);
  TImageRawFormat format;
  TImageMetadata metadata;
  if (!ReadImageMetadata(bytes, format, metadata)) return 0;
  const TImagePropertyItem* item = FindProperty(metadata.Items, kPropertyOrientation);
  if (item == nullptr || item->Value.size() != 2) return 0;
  return item->Value[0] | item->Value[1] << 8;
}

bool HaveTool(const std::string& name) { return RunCommand("command -v " + name + " >/dev/null 2>&1") == 0; }

int RunCommand(const std::string& command, std::string* output) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  std::array<char, 4096> buffer;
  size_t count;
  while ((count = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
    if (output != nullptr) output->append(buffer.data(), count);
  }
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<uint8_t> FileBytes(const fs::path& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const fs::path& fileName, const std::vector<uint8_t>& bytes) {
  std::ofstream(fileName, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace quill

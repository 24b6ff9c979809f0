// The plug-in's read-back of an exchange file, whatever the file holds after the program
// has ended. A 4-byte control block describes the host's output buffer (width 1..16,
// height 1..16, 3 or 4 planes, 0..7 bytes of padding at each row's end, RGB); the rest
// is the file. The buffer is exactly as large as the host's, so a write outside it is a
// sanitizer's finding; the padding must keep its bytes, and a copy may happen only when
// the file's width, height and mode were the host's.

#include <cstring>
#include <vector>

#include "ExchangeTransfer.h"
#include "FuzzSupport.h"

using quill::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quill::fuzz::TFuzzInput input(data, size);
  const int32_t width = 1 + input.Byte() % 16;
  const int32_t height = 1 + input.Byte() % 16;
  const int32_t planes = 3 + input.Byte() % 2;
  const int32_t padding = input.Byte() % 8;
  const TPhotoshopDataInfo output{quill::kExchangeHeaderSize, quill::kExchangeModeRGB, 0, 0, width, height,
                                  width * planes + padding, planes};
  constexpr uint8_t kUntouched = 0xA5;
  std::vector<uint8_t> buffer(static_cast<size_t>(output.RowBytes) * height, kUntouched);
  const std::span<const uint8_t> file = input.Rest();
  const std::filesystem::path path = quill::fuzz::WriteScratchFile("readback", file);

  const quill::TReadBack result = quill::ReadExchangeOutput(path.string(), output, buffer.data());
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t i = width * planes; i < output.RowBytes; ++i) {
      Check(buffer[static_cast<size_t>(y) * output.RowBytes + i] == kUntouched, "a row's padding was written");
    }
  }
  if (result == quill::TReadBack::Copied) {
    int32_t header[8];
    Check(file.size() >= quill::kExchangePixelOffset, "a file without a header was copied");
    std::memcpy(header, file.data() + 4, sizeof header);
    Check(header[1] == output.Mode && header[4] == width && header[5] == height,
          "a file of another size or mode was copied");
  }
  return 0;
}

// What the open dialog does with any file it is shown: the description from the
// headers (under its read limit) and the thumbnail, averaged from the rows as they
// decode. run.sh gives this target 256 MB in all: neither may hold more than a few
// rows of a picture, whatever the file's header promises.

#include <QImage>

#include "FuzzSupport.h"
#include "ImageCodecs.h"

namespace {

using quill::fuzz::Check;

constexpr int32_t kBoxWidth = 160;
constexpr int32_t kBoxHeight = 120;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const std::filesystem::path path = quill::fuzz::WriteScratchFile("describe", bytes);
  quill::TImageFileInfo info;
  const bool described = quill::ReadImageFileInfo(path, info);
  // The same description from memory, and within the read limit.
  quill::TImageSource memory(bytes);
  memory.SetReadLimit(quill::kHeaderReadLimit);
  quill::TImageFileInfo fromMemory;
  Check(quill::ReadImageFileInfo(memory, fromMemory) == described, "file and memory descriptions disagree");
  Check(memory.BytesRead() <= quill::kHeaderReadLimit, "a description read past its limit");
  if (described) {
    Check(fromMemory.Format == info.Format && fromMemory.Width == info.Width && fromMemory.Height == info.Height,
          "file and memory descriptions differ");
    Check(quill::ImageSizeAllowed(info.Width, info.Height), "a description gave a size beyond the limits");
  }

  QImage thumbnail;
  if (!quill::MakeThumbnail(path, kBoxWidth, kBoxHeight, thumbnail)) return 0;
  Check(described, "a file without a description has a thumbnail");
  Check(thumbnail.width() >= 1 && thumbnail.width() <= kBoxWidth && thumbnail.height() >= 1 &&
            thumbnail.height() <= kBoxHeight && (thumbnail.width() == kBoxWidth || thumbnail.height() == kBoxHeight),
        "the thumbnail does not fill its box");
  return 0;
}

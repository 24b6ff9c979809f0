// Exchange files, as the program opens one the plug-in wrote: the reader's checks, the
// image and EXIF items loaded from it, then the image written back in place as the
// protocol does, which must load again with the same pixels.

#include "ExchangeFile.h"
#include "ExchangeImage.h"
#include "FuzzSupport.h"

using quill::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::filesystem::path path = quill::fuzz::WriteScratchFile("exchange", {data, size});
  bool opened;
  TPhotoshopDataInfo info;
  {
    // Closed before the file is written back: a mapping must not outlive a resize.
    quill::TExchangeFileReader reader;
    opened = reader.Open(path);
    info = reader.Info();
  }

  Check(!opened || quill::IsExchangeFile(path), "the reader accepted a file that is no exchange file");

  TZelLTBitmap image;
  quill::TImageMetadata metadata;
  if (!quill::LoadExchangeImage(path, image, metadata)) {
    Check(!opened, "an exchange file the reader accepts does not load");
    return 0;
  }
  Check(opened, "an exchange file the reader refuses loaded");
  Check(image.GetWidth() == info.Width && image.GetHeight() == info.Height,
        "the loaded image has another size than the header's");

  Check(quill::SaveExchangeImage(path, image), "writing the image back failed");
  TZelLTBitmap back;
  quill::TImageMetadata backMetadata;
  Check(quill::LoadExchangeImage(path, back, backMetadata), "the file written back does not load");
  Check(quill::fuzz::SamePixels(back.GetPixels(), image.GetPixels()), "the file written back has other pixels");
  Check(backMetadata.Items.empty(), "the file written back kept an EXIF block");
  return 0;
}

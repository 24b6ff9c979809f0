// GIF through giflib's low-level reader, decoding only: the first frame on the
// logical screen, read row by row into the sink so that nothing is allocated from the
// file's sizes but the checked screen.
//
// As with PNG, transparency is dropped: a transparent pixel shows its palette colour.
// Screen pixels the first frame does not cover take the background colour of the
// global colour table, or black without one. Pixel values beyond the frame's colour
// table are black.

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "ImageCodecs.h"
#include "ImageCodecsPrivate.h"

namespace quill {

namespace {

struct TGifSource {
  TImageSource* Source = nullptr;
  uint64_t Position = 0;
};

// giflib treats a short count as the end of the data.
int ReadFromSource(GifFileType* gif, GifByteType* to, int size) {
  auto* source = static_cast<TGifSource*>(gif->UserData);
  const size_t count = source->Source->Read(source->Position, {to, static_cast<size_t>(std::max(size, 0))});
  source->Position += count;
  return static_cast<int>(count);
}

struct TGifReader {
  GifFileType* Gif = nullptr;
  ~TGifReader() {
    if (Gif != nullptr) DGifCloseFile(Gif, nullptr);
  }
};

void PutColour(uint8_t* to, const ColorMapObject* map, int index) {
  if (map == nullptr || index < 0 || index >= map->ColorCount) {
    to[0] = to[1] = to[2] = 0;
    return;
  }
  const GifColorType& colour = map->Colors[index];
  to[0] = colour.Blue;
  to[1] = colour.Green;
  to[2] = colour.Red;
}

// Skips the records up to the first image descriptor and reads it. False when the data
// ends or is damaged before one.
bool FindFirstFrame(GifFileType* gif) {
  for (;;) {
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &record) == GIF_ERROR) return false;
    if (record == IMAGE_DESC_RECORD_TYPE) return DGifGetImageDesc(gif) == GIF_OK;
    if (record != EXTENSION_RECORD_TYPE) return false;  // the terminator: no image
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
    while (block != nullptr) {
      if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    }
  }
}

}  // namespace

bool DecodeGif(TImageSource& data, TDecodeRequest& request) {
  TGifSource source{&data};
  TGifReader reader;
  int error = 0;
  reader.Gif = DGifOpen(&source, ReadFromSource, &error);
  if (reader.Gif == nullptr) return false;
  GifFileType* gif = reader.Gif;
  if (!AcceptImageSize(gif->SWidth, gif->SHeight, request)) return false;
  request.Width = gif->SWidth;
  request.Height = gif->SHeight;
  if (request.Pixels == nullptr) return true;
  if (!FindFirstFrame(gif)) return false;

  TPixelSink& sink = *request.Pixels;
  if (!sink.Begin(request.Width, request.Height)) return false;
  uint8_t background[3] = {0, 0, 0};
  if (gif->SColorMap != nullptr) PutColour(background, gif->SColorMap, gif->SBackGroundColor);
  // Each screen row is handed over once: the frame's rows as they come, the rest plain.
  const GifImageDesc& frame = gif->Image;
  const ColorMapObject* map = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
  const bool framed = frame.Width > 0 && frame.Height > 0;
  const int64_t top = framed ? frame.Top : 0, bottom = framed ? int64_t{frame.Top} + frame.Height : 0;
  auto backgroundRow = [&](int32_t y) -> uint8_t* {
    int64_t stride = 0;
    uint8_t* row = sink.Rows(y, 1, stride);
    for (int32_t x = 0; row != nullptr && x < request.Width; ++x) std::memcpy(row + 3 * x, background, 3);
    return row;
  };
  for (int32_t y = 0; y < request.Height; ++y) {
    if (y >= top && y < bottom) continue;
    if (backgroundRow(y) == nullptr) return false;
    sink.Commit(y, 1);
  }
  if (!framed) return true;
  // Interlaced frames come in four passes: every 8th row from 0, every 8th from 4,
  // every 4th from 2, every 2nd from 1.
  static constexpr int kPassStart[] = {0, 4, 2, 1};
  static constexpr int kPassStep[] = {8, 8, 4, 2};
  const int passes = frame.Interlace ? 4 : 1;
  std::vector<GifPixelType> line(static_cast<size_t>(frame.Width));
  const int64_t right = std::min<int64_t>(int64_t{frame.Left} + frame.Width, request.Width);
  for (int pass = 0; pass < passes; ++pass) {
    const int start = frame.Interlace ? kPassStart[pass] : 0;
    const int step = frame.Interlace ? kPassStep[pass] : 1;
    for (int row = start; row < frame.Height; row += step) {
      if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR) return false;
      const int64_t y = int64_t{frame.Top} + row;
      if (y >= request.Height) continue;
      uint8_t* to = backgroundRow(static_cast<int32_t>(y));
      if (to == nullptr) return false;
      for (int64_t x = frame.Left; x < right; ++x) PutColour(to + 3 * x, map, line[static_cast<size_t>(x - frame.Left)]);
      sink.Commit(static_cast<int32_t>(y), 1);
    }
  }
  return true;
}

}  // namespace quill

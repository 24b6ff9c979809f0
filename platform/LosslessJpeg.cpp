#include "LosslessJpeg.h"

#include <algorithm>
#include <cstring>

#include "ImageCodecs.h"
#include "ImageCodecsPrivate.h"
#include "JpegHuffmanCounts.h"
#include "JpegSupport.h"
#include "PixelSink.h"
#include "TiffStructure.h"
#include "ZelBitmap.h"

namespace quill {

// The geometry and coding parameters of the file a save writes.
struct TJpegOutputLayout {
  struct TComponent {
    int Id;
    int H;  // sampling factors in the output
    int V;
    int Table;
  };
  int32_t Width = 0;
  int32_t Height = 0;
  bool Grey = false;
  std::vector<TComponent> Components;
  std::array<std::array<uint16_t, 64>, 4> Tables{};
  std::array<bool, 4> TableUsed{};
  // Bit K (natural order) of Cleared[T]: kept blocks of table T get coefficient K
  // cleared, because the source's quantiser there was 0 and Tables holds 1 instead.
  std::array<uint64_t, 4> Cleared{};
  int McuWidth = 8;
  int McuHeight = 8;
  int64_t McusAcross = 0;
  int64_t McusDown = 0;
  // The source's MCU grid.
  int SourceMcuWidth = 8;
  int SourceMcuHeight = 8;
  int64_t SourceMcusAcross = 0;
  int64_t SourceMcusDown = 0;
};

// Where the blocks of a save come from. Source[C] holds, for each block of output
// component C in rows over the padded block grid (McusAcross * H blocks a row), the
// source block it keeps (its row times SourceAcross[C] plus its column), or -1 when it
// is encoded from the caller's pixels. Encoded[K] tells whether MCU K (row-major) holds
// such a block.
struct TJpegBlockPlan {
  std::vector<std::vector<int64_t>> Source;
  std::vector<int64_t> SourceAcross;
  std::vector<uint8_t> Encoded;
  size_t Kept = 0;
  size_t Count = 0;
};

namespace {

int64_t DivideUp(int64_t a, int64_t b) { return (a + b - 1) / b; }

// Image size, colour space, sampling and tables of Layout for a compressor whose input
// is B, G, R rows. Runs inside the caller's setjmp.
void ApplyLayout(jpeg_compress_struct& c, const TJpegOutputLayout& layout, int32_t width, int32_t height) {
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = 3;
  c.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&c);
  jpeg_set_colorspace(&c, layout.Grey ? JCS_GRAYSCALE : JCS_YCbCr);
  for (size_t i = 0; i < layout.Components.size(); ++i) {
    jpeg_component_info& component = c.comp_info[i];
    component.component_id = layout.Components[i].Id;
    component.h_samp_factor = layout.Components[i].H;
    component.v_samp_factor = layout.Components[i].V;
    component.quant_tbl_no = layout.Components[i].Table;
  }
  for (int t = 0; t < 4; ++t) {
    if (!layout.TableUsed[t]) continue;
    if (c.quant_tbl_ptrs[t] == nullptr) c.quant_tbl_ptrs[t] = jpeg_alloc_quant_table(reinterpret_cast<j_common_ptr>(&c));
    std::copy(layout.Tables[t].begin(), layout.Tables[t].end(), c.quant_tbl_ptrs[t]->quantval);
    c.quant_tbl_ptrs[t]->sent_table = FALSE;
  }
  c.dct_method = JDCT_ISLOW;
}

// The source's JFIF settings and segments for a compressor writing the saved file: a
// JFIF segment unless the source began with Exif and had none, the source's density,
// its coding mode. Runs inside the caller's setjmp, before the compressor starts.
void ApplySourceSettings(jpeg_compress_struct& c, const jpeg_decompress_struct& source, bool progressive) {
  const jpeg_saved_marker_ptr first = source.marker_list;
  const bool exifFirst = first != nullptr && first->marker == JPEG_APP0 + 1 && first->data_length >= 6 &&
                         std::memcmp(first->data, "Exif\0\0", 6) == 0;
  c.write_JFIF_header = source.saw_JFIF_marker || !exifFirst ? TRUE : FALSE;
  if (source.saw_JFIF_marker) {
    c.density_unit = source.density_unit;
    c.X_density = source.X_density;
    c.Y_density = source.Y_density;
  }
  if (progressive) jpeg_simple_progression(&c);
}

// Copies the source's APPn and COM segments, except JFIF ones (the compressor writes
// its own); a non-empty Exif replaces the first Exif segment. Runs inside the caller's
// setjmp, after the compressor started.
void WriteSourceMarkers(jpeg_compress_struct& c, const jpeg_decompress_struct& source, std::span<const uint8_t> exif) {
  for (jpeg_saved_marker_ptr m = source.marker_list; m != nullptr; m = m->next) {
    if (m->marker == JPEG_APP0 && m->data_length >= 5 && std::memcmp(m->data, "JFIF\0", 5) == 0) continue;
    if (!exif.empty() && m->marker == JPEG_APP0 + 1 && m->data_length > 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0) {
      jpeg_write_marker(&c, m->marker, exif.data(), static_cast<unsigned int>(exif.size()));
      exif = {};
      continue;
    }
    jpeg_write_marker(&c, m->marker, m->data, m->data_length);
  }
}

// The source's first Exif segment with the image size it records set to Width x
// Height when Resized, and its orientation set to top-left when TopLeft; empty when
// there is none or nothing of it changed.
std::vector<uint8_t> EditedExifSegment(const TJpegDecompressor& source, bool resized, int32_t width, int32_t height,
                                       bool topLeft) {
  const std::span<const uint8_t> body = JpegExifBody(source);
  if (body.empty() || (!resized && !topLeft)) return {};
  std::vector<uint8_t> segment = {'E', 'x', 'i', 'f', 0, 0};
  segment.insert(segment.end(), body.begin(), body.end());
  const std::span<uint8_t> tiff = std::span(segment).subspan(6);
  bool changed = resized && SetTiffImageSize(tiff, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
  changed = (topLeft && SetTiffOrientation(tiff, 1)) || changed;
  if (!changed) return {};
  return segment;
}

// Puts 1 for every zero quantiser of Layout's tables and marks its coefficient cleared.
// libjpeg divides by the quantisers when it encodes pixels, so a zero (which decoders
// accept and read as "this frequency is absent") would stop the program.
void ReplaceZeroQuantisers(TJpegOutputLayout& layout) {
  for (size_t t = 0; t < layout.Tables.size(); ++t) {
    for (int k = 0; k < 64; ++k) {
      if (!layout.TableUsed[t] || layout.Tables[t][k] != 0) continue;
      layout.Tables[t][k] = 1;
      layout.Cleared[t] |= uint64_t{1} << k;
    }
  }
}

// The largest quantiser libjpeg's forward DCT divides by correctly: it keeps 8 times
// each quantiser in 16 bits, so a larger one wraps round (multiples of 8192 to 0, a
// division by zero).
constexpr uint16_t kLargestEncoderQuantiser = 8191;

// Whether a table Layout uses holds a quantiser beyond kLargestEncoderQuantiser.
bool HasWideQuantisers(const TJpegOutputLayout& layout) {
  for (size_t t = 0; t < layout.Tables.size(); ++t) {
    if (!layout.TableUsed[t]) continue;
    for (const uint16_t q : layout.Tables[t]) {
      if (q > kLargestEncoderQuantiser) return true;
    }
  }
  return false;
}

// Encodes Width x Height B, G, R pixels with Layout's parameters. With Source, the file
// gets the source's settings and segments (Exif as in WriteSourceMarkers); without, it
// is a bare stream (for strips). A quantiser beyond kLargestEncoderQuantiser is used as
// that one: both round every coefficient of 8-bit samples (at most 8 x 1024 as the DCT
// scales them) to 0, so a strip holds what the wider table gives; a whole file would
// declare the narrower table, so wide tables go through strips (HasWideQuantisers).
bool CompressPixels(TJpegCompressor& encoder, const TJpegOutputLayout& layout, const uint8_t* bits, int64_t stride,
                    int32_t width, int32_t height, const jpeg_decompress_struct* source,
                    std::span<const uint8_t> exif, bool progressive) {
  jpeg_compress_struct& c = encoder.Info;
  if (setjmp(encoder.Error.Jump)) return false;
  ApplyLayout(c, layout, width, height);
  for (JQUANT_TBL* table : c.quant_tbl_ptrs) {
    if (table == nullptr) continue;
    for (UINT16& q : table->quantval) q = std::min(q, kLargestEncoderQuantiser);
  }
  if (source != nullptr) {
    ApplySourceSettings(c, *source, progressive);
  } else {
    c.write_JFIF_header = FALSE;
  }
  jpeg_start_compress(&c, TRUE);
  if (source != nullptr) WriteSourceMarkers(c, *source, exif);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row[1] = {const_cast<uint8_t*>(bits + int64_t{c.next_scanline} * stride)};
    jpeg_write_scanlines(&c, row, 1);
  }
  jpeg_finish_compress(&c);
  return true;
}

// Reads the source's coefficients into Memory's arrays.
bool ReadSourceCoefficients(TJpegDecompressor& source, TJpegBlockMemory& memory, jvirt_barray_ptr*& sourceArrays) {
  memory.Serve(source);
  if (setjmp(source.Error.Jump)) return false;
  sourceArrays = jpeg_read_coefficients(&source.Info);
  return sourceArrays != nullptr;
}

bool ReadStripCoefficients(TJpegDecompressor& strip, const uint8_t* data, size_t size, jvirt_barray_ptr*& arrays) {
  if (!ReadJpegHeader(strip, data, size, false)) return false;
  if (setjmp(strip.Error.Jump)) return false;
  arrays = jpeg_read_coefficients(&strip.Info);
  return arrays != nullptr;
}

JBLOCKROW BlockRow(jpeg_decompress_struct& d, jvirt_barray_ptr array, int64_t row, bool writable) {
  return (*d.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&d), array, static_cast<JDIMENSION>(row), 1,
                                      writable ? TRUE : FALSE)[0];
}

// The symbol counts of the sequential scan of Arrays (all of Memory), which Layout
// describes. False for a coefficient the writer cannot encode.
bool CountSymbols(const TJpegBlockMemory& memory, const TJpegOutputLayout& layout, const jvirt_barray_ptr* arrays,
                  TJpegHuffmanCounts& counts) {
  int maxH = 1, maxV = 1;
  for (const TJpegOutputLayout::TComponent& c : layout.Components) {
    maxH = std::max(maxH, c.H);
    maxV = std::max(maxV, c.V);
  }
  std::vector<TJpegScanComponent> components;
  for (const TJpegOutputLayout::TComponent& c : layout.Components) {
    components.push_back({c.H, c.V, DivideUp(int64_t{layout.Width} * c.H, int64_t{maxH} * 8),
                          DivideUp(int64_t{layout.Height} * c.V, int64_t{maxV} * 8)});
  }
  return CountHuffmanSymbols(components,
                             [&](size_t c, int64_t row) { return memory.Row(arrays[c], static_cast<JDIMENSION>(row)); },
                             counts);
}

// Writes Arrays with the source's settings and segments: a sequential file with the
// optimal tables of Counts, or, without Counts, a progressive one.
bool WriteCoefficients(TJpegCompressor& writer, const TJpegDecompressor& source, const TJpegOutputLayout& layout,
                       jvirt_barray_ptr* arrays, std::span<const uint8_t> exif, TJpegHuffmanCounts* counts) {
  jpeg_compress_struct& c = writer.Info;
  if (setjmp(writer.Error.Jump)) return false;
  ApplyLayout(c, layout, layout.Width, layout.Height);
  ApplySourceSettings(c, source.Info, counts == nullptr);
  // Kept coefficients come from the source file and may lie beyond what an 8-bit JPEG
  // can hold, where the plain encoder would write a corrupt stream and report success:
  // the counts refuse them, and so does the statistics pass of progressive coding.
  if (counts != nullptr) {
    SetOptimalHuffmanTables(c, *counts);
  } else {
    c.optimize_coding = TRUE;
  }
  jpeg_write_coefficients(&c, arrays);
  WriteSourceMarkers(c, source.Info, exif);
  jpeg_finish_compress(&c);
  return true;
}

// The linear part of the geometry, which decides how blocks and coefficients move.
struct TOrientation {
  int64_t A, B, D, E;
};

// Output coefficient (U across, V down) of a block from its source block: transposed
// when the geometry swaps the axes, odd frequencies negated along a mirrored axis.
void OrientBlock(const JCOEF* from, JCOEF* to, const TOrientation& o) {
  if (o.A == 1 && o.E == 1) {
    std::memcpy(to, from, sizeof(JBLOCK));
    return;
  }
  for (int v = 0; v < 8; ++v) {
    for (int u = 0; u < 8; ++u) {
      if (o.A != 0) {
        const bool negate = (o.A < 0 && (u & 1)) != (o.E < 0 && (v & 1));
        to[v * 8 + u] = static_cast<JCOEF>(negate ? -from[v * 8 + u] : from[v * 8 + u]);
      } else {
        const bool negate = (o.B < 0 && (v & 1)) != (o.D < 0 && (u & 1));
        to[v * 8 + u] = static_cast<JCOEF>(negate ? -from[u * 8 + v] : from[u * 8 + v]);
      }
    }
  }
}

// Copies every kept block from the source's arrays into the output's, oriented, with
// the coefficients of its table's Cleared bits set to 0. An output array that is the
// source's own (a save in place) only has those coefficients cleared.
bool CopyKeptBlocks(TJpegDecompressor& source, const TJpegOutputLayout& layout, const TOrientation& o,
                    const TJpegBlockPlan& plan, jvirt_barray_ptr* sourceArrays, jvirt_barray_ptr* output) {
  jpeg_decompress_struct& d = source.Info;
  if (setjmp(source.Error.Jump)) return false;
  for (size_t c = 0; c < layout.Components.size(); ++c) {
    const int64_t across = layout.McusAcross * layout.Components[c].H;
    const int64_t down = layout.McusDown * layout.Components[c].V;
    const int64_t sourceAcross = plan.SourceAcross[c];
    const uint64_t cleared = layout.Cleared[static_cast<size_t>(layout.Components[c].Table)];
    // In place every kept block already lies where it belongs.
    const bool inPlace = output[c] == sourceArrays[c];
    if (inPlace && cleared == 0) continue;
    for (int64_t row = 0; row < down; ++row) {
      JBLOCKROW out = BlockRow(d, output[c], row, true);
      for (int64_t column = 0; column < across; ++column) {
        const int64_t from = plan.Source[c][static_cast<size_t>(row * across + column)];
        if (from < 0) continue;
        JCOEF* block = out[column];
        if (!inPlace) OrientBlock(BlockRow(d, sourceArrays[c], from / sourceAcross, false)[from % sourceAcross], block, o);
        for (int k = 0; cleared != 0 && k < 64; ++k) {
          if (cleared >> k & 1) block[k] = 0;
        }
      }
    }
  }
  return true;
}

// Copies the encoded blocks of MCUs First..Last of MCU row J from a strip encoded from
// the caller's pixels (the strip's MCU 0 is MCU First).
bool CopyStripBlocks(TJpegDecompressor& source, TJpegDecompressor& strip, const TJpegOutputLayout& layout,
                     const TJpegBlockPlan& plan, int64_t j, int64_t first, int64_t last,
                     jvirt_barray_ptr* stripArrays, jvirt_barray_ptr* output) {
  if (setjmp(source.Error.Jump)) return false;
  if (setjmp(strip.Error.Jump)) return false;
  for (size_t c = 0; c < layout.Components.size(); ++c) {
    const int h = layout.Components[c].H, v = layout.Components[c].V;
    const int64_t across = layout.McusAcross * h;
    for (int q = 0; q < v; ++q) {
      const int64_t row = j * v + q;
      JBLOCKROW out = BlockRow(source.Info, output[c], row, true);
      JBLOCKROW from = BlockRow(strip.Info, stripArrays[c], q, false);
      for (int64_t column = first * h; column < (last + 1) * h; ++column) {
        if (plan.Source[c][static_cast<size_t>(row * across + column)] >= 0) continue;
        std::memcpy(out[column], from[column - first * h], sizeof(JBLOCK));
      }
    }
  }
  return true;
}

}  // namespace

TLosslessJpeg::TLosslessJpeg() : FBlockPool(std::make_unique<TJpegBlockPool>()) {}
TLosslessJpeg::~TLosslessJpeg() = default;

void TLosslessJpeg::Reset() {
  FSource.clear();
  FBlockPool->Clear();
  FReference.reset();
  FComponents.clear();
  FSourceWidth = FSourceHeight = FWidth = FHeight = 0;
  FMap = TMapping();
  FReferenceFollows = false;
  EndSave();
}

bool TLosslessJpeg::LoadFromFile(const std::filesystem::path& fileName) {
  std::vector<uint8_t> data;
  if (!ReadFileBytes(fileName, data)) {
    Reset();
    return false;
  }
  return LoadFromMemory(std::move(data));
}

bool TLosslessJpeg::LoadFromMemory(std::vector<uint8_t> data) {
  TReference reference;
  const auto target = [&reference](int32_t width, int32_t height, int32_t& stride) {
    // A large block comes mapped and zeroed by the kernel, with no filling pass of its
    // own ahead of the decoder, which writes every byte.
    stride = 3 * width;
    reference.reset(quill::AllocatePixelBlock(static_cast<size_t>(height), size_t{3} * static_cast<size_t>(width)));
    return reference.get();
  };
  if (!LoadFromMemory(std::move(data), target)) return false;
  FReference = std::move(reference);
  return true;
}

bool TLosslessJpeg::LoadFromMemory(std::vector<uint8_t> data, const TDecodeTarget& target) {
  const bool loaded = FailOnMemoryError([&] {
    TImageSource source(data);
    if (!Load(source, target, nullptr)) return false;
    FSource = std::move(data);
    return true;
  });
  if (!loaded) Reset();
  return loaded;
}

bool TLosslessJpeg::LoadFromSource(TImageSource& source, const TDecodeTarget& target) {
  const bool loaded = FailOnMemoryError([&] {
    std::vector<uint8_t> bytes;
    // Room for a photo's bytes at once spares the growing vector its copies; the file's
    // size is only a bound (a JPEG may end long before its file).
    constexpr uint64_t kFirstRoom = uint64_t{64} << 20;
    try {
      bytes.reserve(static_cast<size_t>(std::min(source.Size(), kFirstRoom)));
    } catch (const std::bad_alloc&) {
      // it grows as it goes
    }
    if (!Load(source, target, &bytes)) return false;
    FSource = std::move(bytes);
    return true;
  });
  if (!loaded) Reset();
  return loaded;
}

bool TLosslessJpeg::Load(TImageSource& source, const TDecodeTarget& target, std::vector<uint8_t>* record) {
  Reset();
  TJpegDecompressor reader;
  if (!ReadJpegHeader(reader, source, TJpegMarkers::Metadata, record)) return false;
  const jpeg_decompress_struct& info = reader.Info;
  const bool grey = info.jpeg_color_space == JCS_GRAYSCALE && info.num_components == 1;
  const bool colour = info.jpeg_color_space == JCS_YCbCr && info.num_components == 3;
  if ((!grey && !colour) || info.data_precision != 8 || !ImageSizeAllowed(info.image_width, info.image_height)) {
    return false;
  }
  std::vector<TComponent> components;
  std::array<std::array<uint16_t, 64>, 4> tables{};
  for (int i = 0; i < info.num_components; ++i) {
    const jpeg_component_info& c = info.comp_info[i];
    if (c.quant_tbl_no < 0 || c.quant_tbl_no > 3 || info.quant_tbl_ptrs[c.quant_tbl_no] == nullptr) return false;
    std::copy(std::begin(info.quant_tbl_ptrs[c.quant_tbl_no]->quantval),
              std::end(info.quant_tbl_ptrs[c.quant_tbl_no]->quantval), tables[c.quant_tbl_no].begin());
    components.push_back({c.component_id, c.h_samp_factor, c.v_samp_factor, c.quant_tbl_no});
  }
  const int32_t width = static_cast<int32_t>(info.image_width);
  const int32_t height = static_cast<int32_t>(info.image_height);
  const bool progressive = info.progressive_mode;
  TMemorySink sink([&target](int32_t w, int32_t h, int64_t& stride) {
    int32_t rowStride = 0;
    uint8_t* bits = target(w, h, rowStride);
    stride = rowStride;
    return bits;
  });
  if (!PrepareJpegOutput(reader, 1, false) || !ReadJpegPixels(reader, sink)) return false;
  if (record != nullptr) TrimJpegRecord(reader, *record);

  FSourceWidth = FWidth = width;
  FSourceHeight = FHeight = height;
  FComponents = std::move(components);
  FTables = tables;
  FProgressive = progressive;
  FReferenceFollows = true;
  return true;
}

TLosslessJpeg::TReference TLosslessJpeg::DecodeReference() const {
  TReference reference;
  FailOnMemoryError([&] {
    reference = DecodeReferenceUnguarded();
    return true;
  });
  return reference;
}

TLosslessJpeg::TReference TLosslessJpeg::DecodeReferenceUnguarded() const {
  TJpegDecompressor reader;
  if (!ReadJpegHeader(reader, FSource.data(), FSource.size(), false) || !PrepareJpegOutput(reader, 1, false)) {
    return nullptr;
  }
  TReference reference(
      quill::AllocatePixelBlock(static_cast<size_t>(FSourceHeight), size_t{3} * static_cast<size_t>(FSourceWidth)));
  if (reference == nullptr) return nullptr;
  TMemorySink sink([&reference](int32_t width, int32_t, int64_t& stride) {
    stride = int64_t{3} * width;
    return reference.get();
  });
  if (!ReadJpegPixels(reader, sink)) return nullptr;
  return reference;
}

TJpegOutputLayout TLosslessJpeg::Layout() const {
  TJpegOutputLayout layout;
  layout.Width = FWidth;
  layout.Height = FHeight;
  layout.Grey = FComponents.size() == 1;
  const bool transposed = Transposed();
  int maxH = 1, maxV = 1;
  for (const TComponent& c : FComponents) {
    maxH = std::max(maxH, c.H);
    maxV = std::max(maxV, c.V);
    layout.Components.push_back({c.Id, transposed ? c.V : c.H, transposed ? c.H : c.V, c.Table});
    layout.TableUsed[c.Table] = true;
  }
  for (int t = 0; t < 4; ++t) {
    for (int k = 0; k < 64; ++k) layout.Tables[t][k] = transposed ? FTables[t][(k % 8) * 8 + k / 8] : FTables[t][k];
  }
  layout.SourceMcuWidth = 8 * maxH;
  layout.SourceMcuHeight = 8 * maxV;
  layout.McuWidth = transposed ? layout.SourceMcuHeight : layout.SourceMcuWidth;
  layout.McuHeight = transposed ? layout.SourceMcuWidth : layout.SourceMcuHeight;
  layout.McusAcross = DivideUp(FWidth, layout.McuWidth);
  layout.McusDown = DivideUp(FHeight, layout.McuHeight);
  layout.SourceMcusAcross = DivideUp(FSourceWidth, layout.SourceMcuWidth);
  layout.SourceMcusDown = DivideUp(FSourceHeight, layout.SourceMcuHeight);
  return layout;
}

int32_t TLosslessJpeg::GetBlockWidth() const { return HasImage() ? Layout().McuWidth : 0; }
int32_t TLosslessJpeg::GetBlockHeight() const { return HasImage() ? Layout().McuHeight : 0; }

uint32_t TLosslessJpeg::GetSamplingValue() const {
  if (FComponents.empty()) return 0;
  return static_cast<uint32_t>(FComponents[0].V) << 16 | static_cast<uint32_t>(FComponents[0].H);
}

bool TLosslessJpeg::Decode(uint8_t* bits, int32_t stride) const {
  if (!HasImage() || bits == nullptr) return false;
  // The reference of a load that decoded into its caller's memory is decoded again
  // (DecodeReference fails cleanly when its memory cannot be had).
  TReference decoded;
  if (FReference == nullptr) decoded = DecodeReference();
  const uint8_t* reference = FReference != nullptr ? FReference.get() : decoded.get();
  if (reference == nullptr) return false;
  // Neither turned nor mirrored: each row is one run of a source row, black around it.
  const bool straight = FMap.A == 1 && FMap.B == 0 && FMap.D == 0 && FMap.E == 1;
  for (int64_t y = 0; y < FHeight; ++y) {
    uint8_t* to = bits + y * stride;
    if (straight) {
      const TRowRun run = RowRun(y);
      std::memset(to, 0, static_cast<size_t>(run.First * 3));
      if (run.Last > run.First) {
        std::memcpy(to + run.First * 3, reference + (run.SourceRow * FSourceWidth + run.First + FMap.C) * 3,
                    static_cast<size_t>((run.Last - run.First) * 3));
      }
      std::memset(to + run.Last * 3, 0, static_cast<size_t>((FWidth - run.Last) * 3));
      continue;
    }
    for (int64_t x = 0; x < FWidth; ++x, to += 3) {
      const int64_t sx = FMap.A * x + FMap.B * y + FMap.C;
      const int64_t sy = FMap.D * x + FMap.E * y + FMap.F;
      if (sx < 0 || sy < 0 || sx >= FSourceWidth || sy >= FSourceHeight) {
        std::memset(to, 0, 3);
      } else {
        std::memcpy(to, reference + (sy * FSourceWidth + sx) * 3, 3);
      }
    }
  }
  return true;
}

void TLosslessJpeg::SetRegion(const TRect& rect) {
  if (!HasImage()) return;
  FMap.C += FMap.A * rect.Left + FMap.B * rect.Top;
  FMap.F += FMap.D * rect.Left + FMap.E * rect.Top;
  FWidth = static_cast<int32_t>(rect.Width());
  FHeight = static_cast<int32_t>(rect.Height());
}

void TLosslessJpeg::Crop(const TRect& rect) {
  if (!HasImage()) return;
  const TJpegOutputLayout layout = Layout();
  const int32_t x0 = rect.Left / layout.McuWidth * layout.McuWidth;
  const int32_t y0 = rect.Top / layout.McuHeight * layout.McuHeight;
  // The caller's copy starts at Rect's own origin.
  FReferenceFollows = FReferenceFollows && x0 == rect.Left && y0 == rect.Top;
  SetRegion({x0, y0, static_cast<int32_t>(x0 + rect.Width()), static_cast<int32_t>(y0 + rect.Height())});
}

void TLosslessJpeg::Resize(int32_t width, int32_t height) {
  SetRegion({0, 0, width, height});
  FReferenceFollows = false;
}

void TLosslessJpeg::FlipHorizontal() {
  FMap.C += FMap.A * (FWidth - 1);
  FMap.F += FMap.D * (FWidth - 1);
  FMap.A = -FMap.A;
  FMap.D = -FMap.D;
}

void TLosslessJpeg::FlipVertical() {
  FMap.C += FMap.B * (FHeight - 1);
  FMap.F += FMap.E * (FHeight - 1);
  FMap.B = -FMap.B;
  FMap.E = -FMap.E;
}

void TLosslessJpeg::RotateLeft() {
  // New (x, y) shows old (Width - 1 - y, x).
  const TMapping m = FMap;
  FMap = {m.B, -m.A, m.A * (FWidth - 1) + m.C, m.E, -m.D, m.D * (FWidth - 1) + m.F};
  std::swap(FWidth, FHeight);
}

void TLosslessJpeg::RotateRight() {
  // New (x, y) shows old (y, Height - 1 - x).
  const TMapping m = FMap;
  FMap = {-m.B, m.A, m.B * (FHeight - 1) + m.C, -m.E, m.D, m.E * (FHeight - 1) + m.F};
  std::swap(FWidth, FHeight);
}

TLosslessJpeg::TGeometry TLosslessJpeg::GetGeometry() const {
  return {{FMap.A, FMap.B, FMap.C, FMap.D, FMap.E, FMap.F}, FWidth, FHeight, FReferenceFollows};
}

void TLosslessJpeg::SetGeometry(const TGeometry& geometry) {
  const std::array<int64_t, 6>& m = geometry.Map;
  FMap = {m[0], m[1], m[2], m[3], m[4], m[5]};
  FWidth = geometry.Width;
  FHeight = geometry.Height;
  FReferenceFollows = geometry.ReferenceFollows;
}

void TLosslessJpeg::SetPixels(const uint8_t* bits, int32_t stride) {
  FPixels = bits;
  FPixelStride = stride;
}

void TLosslessJpeg::SetReference(const uint8_t* bits, int32_t stride) {
  FCallerReference = bits;
  FCallerReferenceStride = stride;
}

void TLosslessJpeg::EndSave() {
  FPixels = nullptr;
  FPixelStride = 0;
  FCallerReference = nullptr;
  FCallerReferenceStride = 0;
}

bool TLosslessJpeg::SamePixels(int64_t x0, int64_t y0, int64_t x1, int64_t y1) const {
  const int64_t n = x1 - x0;
  for (int64_t y = y0; y < y1; ++y) {
    const int64_t sx = FMap.A * x0 + FMap.B * y + FMap.C, sy = FMap.D * x0 + FMap.E * y + FMap.F;
    const int64_t ex = sx + FMap.A * (n - 1), ey = sy + FMap.D * (n - 1);
    if (std::min(sx, ex) < 0 || std::min(sy, ey) < 0 || std::max(sx, ex) >= FSourceWidth ||
        std::max(sy, ey) >= FSourceHeight) {
      return false;
    }
    const uint8_t* pixel = FPixels + y * FPixelStride + x0 * 3;
    const uint8_t* reference = FReference.get() + (sy * FSourceWidth + sx) * 3;
    if (FMap.A == 1) {
      if (std::memcmp(pixel, reference, static_cast<size_t>(n * 3)) != 0) return false;
      continue;
    }
    const int64_t step = (FMap.D * FSourceWidth + FMap.A) * 3;
    for (int64_t k = 0; k < n; ++k, pixel += 3, reference += step) {
      if (pixel[0] != reference[0] || pixel[1] != reference[1] || pixel[2] != reference[2]) return false;
    }
  }
  return true;
}

TLosslessJpeg::TRowRun TLosslessJpeg::RowRun(int64_t y) const {
  // Along a row one source coordinate stays fixed and the other steps by +-1 with X:
  // the fixed one must lie inside the source, the stepping one gives the columns.
  const bool turned = Transposed();
  const int64_t fixed = turned ? FMap.B * y + FMap.C : FMap.E * y + FMap.F;
  const int64_t step = turned ? FMap.D : FMap.A;
  const int64_t offset = turned ? FMap.F : FMap.C;
  const int64_t size = turned ? FSourceHeight : FSourceWidth;
  const int64_t row = FMap.E * y + FMap.F;
  if (fixed < 0 || fixed >= (turned ? FSourceWidth : FSourceHeight)) return {row, FWidth, FWidth};
  // Step * X + Offset in [0, Size).
  const int64_t low = step > 0 ? -offset : offset - size + 1;
  const int64_t first = std::clamp<int64_t>(low, 0, FWidth);
  return {row, first, std::clamp<int64_t>(low + size, first, FWidth)};
}

const uint8_t* TLosslessJpeg::ReferenceRow(const TRowRun& run, int64_t y) const {
  if (CallerReference()) return FCallerReference + y * FCallerReferenceStride + run.First * 3;
  return FReference.get() + (run.SourceRow * FSourceWidth + run.First + FMap.C) * 3;
}

std::vector<uint8_t> TLosslessJpeg::SameCells(int64_t cellsAcross, int64_t cellsDown) const {
  std::vector<uint8_t> same(static_cast<size_t>(cellsAcross * cellsDown), 1);
  if (!CallerReference() && FMap.A != 1) {
    // Turned or mirrored left to right: each cell's pixels are gathered from the source.
    for (int64_t cy = 0; cy * 8 < FHeight; ++cy) {
      for (int64_t cx = 0; cx * 8 < FWidth; ++cx) {
        const int64_t x0 = cx * 8, y0 = cy * 8;
        same[static_cast<size_t>(cy * cellsAcross + cx)] =
            SamePixels(x0, y0, std::min<int64_t>(x0 + 8, FWidth), std::min<int64_t>(y0 + 8, FHeight));
      }
    }
    return same;
  }
  // Each row of the caller's copy, or of a geometry that neither turns nor mirrors left
  // to right, is one run of reference pixels: the run is compared whole, and only a row
  // that differs cell by cell.
  for (int64_t y = 0; y < FHeight; ++y) {
    uint8_t* flags = same.data() + y / 8 * cellsAcross;
    const auto [sy, first, last] = RowRun(y);
    // A cell with pixels beyond the source cannot show it.
    if (first > 0) std::fill(flags, flags + (first - 1) / 8 + 1, 0);
    if (last < FWidth) std::fill(flags + last / 8, flags + (FWidth - 1) / 8 + 1, 0);
    if (last == first) continue;
    const uint8_t* pixels = FPixels + y * FPixelStride + first * 3;
    const uint8_t* reference = ReferenceRow({sy, first, last}, y);
    if (std::memcmp(pixels, reference, static_cast<size_t>((last - first) * 3)) == 0) continue;
    for (int64_t x0 = first; x0 < last;) {
      const int64_t x1 = std::min((x0 / 8 + 1) * 8, last);
      if (flags[x0 / 8] != 0 &&
          std::memcmp(pixels + (x0 - first) * 3, reference + (x0 - first) * 3, static_cast<size_t>((x1 - x0) * 3)) != 0) {
        flags[x0 / 8] = 0;
      }
      x0 = x1;
    }
  }
  return same;
}

TJpegBlockPlan TLosslessJpeg::PlanBlocks(const TJpegOutputLayout& layout) const {
  // Whether each 8 x 8 cell of output pixels (the extent of the smallest blocks) shows
  // what was decoded at load; cells beyond the image have no pixels that could differ.
  const int64_t cellsAcross = layout.McusAcross * layout.McuWidth / 8;
  const int64_t cellsDown = layout.McusDown * layout.McuHeight / 8;
  const std::vector<uint8_t> same = SameCells(cellsAcross, cellsDown);
  // A block keeps its source block when the geometry puts it exactly over one and
  // its pixels did not change.
  TJpegBlockPlan plan;
  plan.Encoded.assign(static_cast<size_t>(layout.McusAcross * layout.McusDown), 0);
  for (size_t c = 0; c < layout.Components.size(); ++c) {
    const int h = layout.Components[c].H, v = layout.Components[c].V;
    const int64_t blockWidth = layout.McuWidth / h, blockHeight = layout.McuHeight / v;  // output pixels
    const int64_t sourceBlockWidth = Transposed() ? blockHeight : blockWidth;
    const int64_t sourceBlockHeight = Transposed() ? blockWidth : blockHeight;
    const int64_t across = layout.McusAcross * h, down = layout.McusDown * v;
    const int64_t sourceAcross = layout.SourceMcusAcross * FComponents[c].H;
    const int64_t sourceDown = layout.SourceMcusDown * FComponents[c].V;
    std::vector<int64_t>& source = plan.Source.emplace_back(static_cast<size_t>(across * down), -1);
    plan.SourceAcross.push_back(sourceAcross);
    plan.Count += source.size();
    for (int64_t by = 0; by < down; ++by) {
      for (int64_t bx = 0; bx < across; ++bx) {
        const int64_t x0 = bx * blockWidth, y0 = by * blockHeight;
        const int64_t x1 = x0 + blockWidth - 1, y1 = y0 + blockHeight - 1;
        const int64_t sx = std::min(FMap.A * x0 + FMap.B * y0, FMap.A * x1 + FMap.B * y1) + FMap.C;
        const int64_t sy = std::min(FMap.D * x0 + FMap.E * y0, FMap.D * x1 + FMap.E * y1) + FMap.F;
        bool keep = sx >= 0 && sy >= 0 && sx % sourceBlockWidth == 0 && sy % sourceBlockHeight == 0 &&
                    sx / sourceBlockWidth < sourceAcross && sy / sourceBlockHeight < sourceDown;
        for (int64_t cy = y0 / 8; keep && cy <= y1 / 8; ++cy) {
          for (int64_t cx = x0 / 8; keep && cx <= x1 / 8; ++cx) keep = same[static_cast<size_t>(cy * cellsAcross + cx)];
        }
        if (keep) {
          source[static_cast<size_t>(by * across + bx)] = sy / sourceBlockHeight * sourceAcross + sx / sourceBlockWidth;
          ++plan.Kept;
        } else {
          plan.Encoded[static_cast<size_t>(by / v * layout.McusAcross + bx / h)] = 1;
        }
      }
    }
  }
  return plan;
}

bool TLosslessJpeg::SaveToMemory(std::vector<uint8_t>& output, const TLosslessJpegSaveOptions& options) {
  output.clear();
  if (!HasImage() || FPixels == nullptr || !ImageSizeAllowed(FWidth, FHeight)) return false;
  // The reference the plan compares with, decoded for this save when neither this
  // object nor the caller holds it.
  const bool decodedHere = FReference == nullptr && !CallerReference();
  if (decodedHere) {
    FReference = DecodeReference();
    if (FReference == nullptr) return false;
  }
  const bool saved = FailOnMemoryError([&] { return SaveWithReference(output, options); });
  if (decodedHere) FReference.reset();
  if (!saved) std::vector<uint8_t>().swap(output);
  return saved;
}

bool TLosslessJpeg::SaveWithReference(std::vector<uint8_t>& output, const TLosslessJpegSaveOptions& options) {
  TJpegOutputLayout layout = Layout();
  const bool progressive = FProgressive && options.Values[TLosslessJpegSaveOptions::kCoding] == 2;
  const TJpegBlockPlan plan = PlanBlocks(layout);
  if (plan.Kept < plan.Count) ReplaceZeroQuantisers(layout);

  // The coefficient arrays outlive the reader and the writer that use them.
  TJpegBlockMemory blocks(FBlockPool.get());
  TJpegDecompressor source;
  if (!ReadJpegHeader(source, FSource.data(), FSource.size(), true)) return false;
  // After a crop or a quarter turn the Exif segment gives the saved size.
  const std::vector<uint8_t> exif = EditedExifSegment(source, FWidth != FSourceWidth || FHeight != FSourceHeight,
                                                      FWidth, FHeight, options.TopLeftOrientation);
  if (plan.Kept == 0 && !HasWideQuantisers(layout)) {
    // Nothing to keep: one plain encode of the caller's pixels.
    TJpegCompressor encoder;
    if (!CompressPixels(encoder, layout, FPixels, FPixelStride, FWidth, FHeight, &source.Info, exif, progressive)) {
      return false;
    }
    output = std::move(encoder.Output);
    return true;
  }

  jvirt_barray_ptr* sourceArrays = nullptr;
  if (!ReadSourceCoefficients(source, blocks, sourceArrays)) return false;
  // Without a turn, mirror or shift every kept block stays where it was, and the output
  // is written from the source's own arrays when they hold the output's block grid.
  const bool inPlace = FMap.A == 1 && FMap.B == 0 && FMap.C == 0 && FMap.D == 0 && FMap.E == 1 && FMap.F == 0 &&
                       layout.McusAcross <= layout.SourceMcusAcross && layout.McusDown <= layout.SourceMcusDown;
  std::vector<jvirt_barray_ptr> arrays(layout.Components.size());
  for (size_t c = 0; c < arrays.size(); ++c) {
    arrays[c] = inPlace ? sourceArrays[c]
                        : blocks.Allocate(static_cast<JDIMENSION>(layout.McusAcross * layout.Components[c].H),
                                          static_cast<JDIMENSION>(layout.McusDown * layout.Components[c].V));
    if (arrays[c] == nullptr) return false;
  }
  const TOrientation orientation{FMap.A, FMap.B, FMap.D, FMap.E};
  if (!CopyKeptBlocks(source, layout, orientation, plan, sourceArrays, arrays.data())) return false;
  // The other blocks, one strip per MCU row from its first to its last MCU that holds one.
  for (int64_t j = 0; j < layout.McusDown; ++j) {
    int64_t first = -1, last = -1;
    for (int64_t i = 0; i < layout.McusAcross; ++i) {
      if (!plan.Encoded[static_cast<size_t>(j * layout.McusAcross + i)]) continue;
      if (first < 0) first = i;
      last = i;
    }
    if (first < 0) continue;
    const int64_t x = first * layout.McuWidth, y = j * layout.McuHeight;
    const auto width = static_cast<int32_t>(std::min<int64_t>((last + 1) * layout.McuWidth, FWidth) - x);
    const auto height = static_cast<int32_t>(std::min<int64_t>(layout.McuHeight, FHeight - y));
    TJpegCompressor encoder;
    TJpegDecompressor strip;
    jvirt_barray_ptr* stripArrays = nullptr;
    if (!CompressPixels(encoder, layout, FPixels + y * FPixelStride + x * 3, FPixelStride, width, height, nullptr, {},
                        false) ||
        !ReadStripCoefficients(strip, encoder.Output.data(), encoder.Output.size(), stripArrays) ||
        !CopyStripBlocks(source, strip, layout, plan, j, first, last, stripArrays, arrays.data())) {
      return false;
    }
  }
  TJpegHuffmanCounts counts;
  if (!progressive && !CountSymbols(blocks, layout, arrays.data(), counts)) return false;
  TJpegCompressor writer;
  // Most blocks kept: about the source's size.
  writer.ExpectedSize = FSource.size() + FSource.size() / 8;
  blocks.Serve(writer);
  if (!WriteCoefficients(writer, source, layout, arrays.data(), exif, progressive ? nullptr : &counts)) return false;
  output = std::move(writer.Output);
  return true;
}

bool TLosslessJpeg::Save(const std::filesystem::path& fileName, const TLosslessJpegSaveOptions& options) {
  std::vector<uint8_t> data;
  return SaveToMemory(data, options) && WriteFileReplacing(fileName, data);
}

}  // namespace quill

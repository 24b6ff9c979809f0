#include "LosslessJpeg.h"

#include <algorithm>
#include <cstring>

#include "ImageCodecs.h"
#include "JpegSupport.h"

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
// its own). Runs inside the caller's setjmp, after the compressor started.
void WriteSourceMarkers(jpeg_compress_struct& c, const jpeg_decompress_struct& source) {
  for (jpeg_saved_marker_ptr m = source.marker_list; m != nullptr; m = m->next) {
    if (m->marker == JPEG_APP0 && m->data_length >= 5 && std::memcmp(m->data, "JFIF\0", 5) == 0) continue;
    jpeg_write_marker(&c, m->marker, m->data, m->data_length);
  }
}

// Encodes Width x Height B, G, R pixels with Layout's parameters. With Source, the file
// gets the source's settings and segments; without, it is a bare stream (for strips).
bool CompressPixels(TJpegCompressor& encoder, const TJpegOutputLayout& layout, const uint8_t* bits, int64_t stride,
                    int32_t width, int32_t height, const jpeg_decompress_struct* source, bool progressive) {
  jpeg_compress_struct& c = encoder.Info;
  if (setjmp(encoder.Error.Jump)) return false;
  jpeg_mem_dest(&c, &encoder.Output, &encoder.OutputSize);
  ApplyLayout(c, layout, width, height);
  if (source != nullptr) {
    ApplySourceSettings(c, *source, progressive);
  } else {
    c.write_JFIF_header = FALSE;
  }
  jpeg_start_compress(&c, TRUE);
  if (source != nullptr) WriteSourceMarkers(c, *source);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row[1] = {const_cast<uint8_t*>(bits + int64_t{c.next_scanline} * stride)};
    jpeg_write_scanlines(&c, row, 1);
  }
  jpeg_finish_compress(&c);
  return true;
}

// Requests the output's coefficient arrays from the source's memory manager (so they are
// realised with the source's own), then reads the source's coefficients.
bool ReadSourceCoefficients(TJpegDecompressor& source, const TJpegOutputLayout& layout, jvirt_barray_ptr* output,
                            jvirt_barray_ptr*& sourceArrays) {
  jpeg_decompress_struct& d = source.Info;
  if (setjmp(source.Error.Jump)) return false;
  for (size_t i = 0; i < layout.Components.size(); ++i) {
    const auto& component = layout.Components[i];
    output[i] = (*d.mem->request_virt_barray)(reinterpret_cast<j_common_ptr>(&d), JPOOL_IMAGE, TRUE,
                                              static_cast<JDIMENSION>(layout.McusAcross * component.H),
                                              static_cast<JDIMENSION>(layout.McusDown * component.V),
                                              static_cast<JDIMENSION>(component.V));
  }
  sourceArrays = jpeg_read_coefficients(&d);
  return sourceArrays != nullptr && !source.Error.Corrupt;
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

bool WriteCoefficients(TJpegCompressor& writer, const TJpegDecompressor& source, const TJpegOutputLayout& layout,
                       jvirt_barray_ptr* arrays, bool progressive) {
  jpeg_compress_struct& c = writer.Info;
  if (setjmp(writer.Error.Jump)) return false;
  jpeg_mem_dest(&c, &writer.Output, &writer.OutputSize);
  ApplyLayout(c, layout, layout.Width, layout.Height);
  ApplySourceSettings(c, source.Info, progressive);
  jpeg_write_coefficients(&c, arrays);
  WriteSourceMarkers(c, source.Info);
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

// Whether a block's coefficients lie in the ranges of 8-bit JPEG: DC -1024..1023 (so
// that differences fit 11 bits), AC -1023..1023. A damaged file can decode to larger
// ones, and libjpeg's sequential encoder writes those as codes no decoder reads back.
bool InEightBitRange(const JCOEF* block) {
  if (block[0] < -1024 || block[0] > 1023) return false;
  for (int k = 1; k < DCTSIZE2; ++k) {
    if (block[k] < -1023 || block[k] > 1023) return false;
  }
  return true;
}

// Copies the blocks of every kept MCU from the source's arrays into the output's: MCU k
// (row-major) is kept when SourceColumn[k] >= 0, and then shows the source MCU at
// SourceColumn[k], SourceRow[k]. False when a kept block's coefficients are out of range.
bool CopyKeptBlocks(TJpegDecompressor& source, const TJpegOutputLayout& layout, const TOrientation& o,
                    const std::vector<int64_t>& sourceColumn, const std::vector<int64_t>& sourceRow,
                    jvirt_barray_ptr* sourceArrays, jvirt_barray_ptr* output) {
  jpeg_decompress_struct& d = source.Info;
  if (setjmp(source.Error.Jump)) return false;
  for (int64_t j = 0; j < layout.McusDown; ++j) {
    for (size_t c = 0; c < layout.Components.size(); ++c) {
      const int h = layout.Components[c].H, v = layout.Components[c].V;
      // The source component's factors are the output's, swapped when transposed.
      const int sourceH = o.A != 0 ? h : v, sourceV = o.A != 0 ? v : h;
      for (int q = 0; q < v; ++q) {
        JBLOCKROW out = BlockRow(d, output[c], j * v + q, true);
        for (int64_t i = 0; i < layout.McusAcross; ++i) {
          const size_t k = static_cast<size_t>(j * layout.McusAcross + i);
          if (sourceColumn[k] < 0) continue;
          for (int p = 0; p < h; ++p) {
            int sp, sq;
            if (o.A != 0) {
              sp = o.A > 0 ? p : sourceH - 1 - p;
              sq = o.E > 0 ? q : sourceV - 1 - q;
            } else {
              sp = o.B > 0 ? q : sourceH - 1 - q;
              sq = o.D > 0 ? p : sourceV - 1 - p;
            }
            JBLOCKROW from = BlockRow(d, sourceArrays[c], sourceRow[k] * sourceV + sq, false);
            OrientBlock(from[sourceColumn[k] * sourceH + sp], out[i * h + p], o);
            if (!InEightBitRange(out[i * h + p])) return false;
          }
        }
      }
    }
  }
  return true;
}

// Copies MCUs First..Last of MCU row J that are not kept from a strip encoded from the
// caller's pixels (the strip's MCU 0 is MCU First).
bool CopyStripBlocks(TJpegDecompressor& source, TJpegDecompressor& strip, const TJpegOutputLayout& layout,
                     const std::vector<int64_t>& sourceColumn, int64_t j, int64_t first, int64_t last,
                     jvirt_barray_ptr* stripArrays, jvirt_barray_ptr* output) {
  if (setjmp(source.Error.Jump)) return false;
  if (setjmp(strip.Error.Jump)) return false;
  for (size_t c = 0; c < layout.Components.size(); ++c) {
    const int h = layout.Components[c].H, v = layout.Components[c].V;
    for (int q = 0; q < v; ++q) {
      JBLOCKROW out = BlockRow(source.Info, output[c], j * v + q, true);
      JBLOCKROW from = BlockRow(strip.Info, stripArrays[c], q, false);
      for (int64_t i = first; i <= last; ++i) {
        if (sourceColumn[static_cast<size_t>(j * layout.McusAcross + i)] >= 0) continue;
        std::memcpy(out[i * h], from[(i - first) * h], sizeof(JBLOCK) * static_cast<size_t>(h));
      }
    }
  }
  return true;
}

}  // namespace

void TLosslessJpeg::Reset() {
  FSource.clear();
  FReference.clear();
  FComponents.clear();
  FSourceWidth = FSourceHeight = FWidth = FHeight = 0;
  FMap = TMapping();
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
  Reset();
  TJpegDecompressor reader;
  if (!ReadJpegHeader(reader, data.data(), data.size(), false)) return false;
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
  std::vector<uint8_t> reference;
  if (!PrepareJpegOutput(reader, 1, false)) return false;
  try {
    reference.resize(size_t{3} * width * height);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!ReadJpegPixels(reader, reference.data(), int64_t{3} * width)) return false;

  FSource = std::move(data);
  FReference = std::move(reference);
  FSourceWidth = FWidth = width;
  FSourceHeight = FHeight = height;
  FComponents = std::move(components);
  FTables = tables;
  FProgressive = progressive;
  return true;
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
  for (int64_t y = 0; y < FHeight; ++y) {
    uint8_t* to = bits + y * stride;
    for (int64_t x = 0; x < FWidth; ++x, to += 3) {
      const int64_t sx = FMap.A * x + FMap.B * y + FMap.C;
      const int64_t sy = FMap.D * x + FMap.E * y + FMap.F;
      if (sx < 0 || sy < 0 || sx >= FSourceWidth || sy >= FSourceHeight) {
        std::memset(to, 0, 3);
      } else {
        std::memcpy(to, &FReference[static_cast<size_t>((sy * FSourceWidth + sx) * 3)], 3);
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

void TLosslessJpeg::SetPixels(const uint8_t* bits, int32_t stride) {
  FPixels = bits;
  FPixelStride = stride;
}

void TLosslessJpeg::EndSave() {
  FPixels = nullptr;
  FPixelStride = 0;
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
    const uint8_t* reference = FReference.data() + (sy * FSourceWidth + sx) * 3;
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

bool TLosslessJpeg::Reusable(const TJpegOutputLayout& layout, int64_t i, int64_t j) const {
  const int64_t x0 = i * layout.McuWidth, y0 = j * layout.McuHeight;
  const int64_t x1 = x0 + layout.McuWidth - 1, y1 = y0 + layout.McuHeight - 1;
  const int64_t sx = std::min(FMap.A * x0 + FMap.B * y0, FMap.A * x1 + FMap.B * y1) + FMap.C;
  const int64_t sy = std::min(FMap.D * x0 + FMap.E * y0, FMap.D * x1 + FMap.E * y1) + FMap.F;
  if (sx < 0 || sy < 0 || sx % layout.SourceMcuWidth != 0 || sy % layout.SourceMcuHeight != 0 ||
      sx / layout.SourceMcuWidth >= layout.SourceMcusAcross || sy / layout.SourceMcuHeight >= layout.SourceMcusDown) {
    return false;
  }
  return SamePixels(x0, y0, std::min<int64_t>(x0 + layout.McuWidth, FWidth),
                    std::min<int64_t>(y0 + layout.McuHeight, FHeight));
}

bool TLosslessJpeg::SaveToMemory(std::vector<uint8_t>& output, const TLosslessJpegSaveOptions& options) {
  output.clear();
  if (!HasImage() || FPixels == nullptr || !ImageSizeAllowed(FWidth, FHeight)) return false;
  const TJpegOutputLayout layout = Layout();
  const bool progressive = FProgressive && options.Values[TLosslessJpegSaveOptions::kCoding] == 2;

  // Which MCUs keep the source's blocks, and where those lie in the source.
  const auto count = static_cast<size_t>(layout.McusAcross * layout.McusDown);
  std::vector<int64_t> sourceColumn(count, -1), sourceRow(count, -1);
  size_t kept = 0;
  for (int64_t j = 0; j < layout.McusDown; ++j) {
    for (int64_t i = 0; i < layout.McusAcross; ++i) {
      if (!Reusable(layout, i, j)) continue;
      const int64_t x0 = i * layout.McuWidth, y0 = j * layout.McuHeight;
      const int64_t x1 = x0 + layout.McuWidth - 1, y1 = y0 + layout.McuHeight - 1;
      const size_t k = static_cast<size_t>(j * layout.McusAcross + i);
      sourceColumn[k] = (std::min(FMap.A * x0 + FMap.B * y0, FMap.A * x1 + FMap.B * y1) + FMap.C) / layout.SourceMcuWidth;
      sourceRow[k] = (std::min(FMap.D * x0 + FMap.E * y0, FMap.D * x1 + FMap.E * y1) + FMap.F) / layout.SourceMcuHeight;
      ++kept;
    }
  }

  TJpegDecompressor source;
  if (!ReadJpegHeader(source, FSource.data(), FSource.size(), true)) return false;
  if (kept == 0) {
    // Nothing to keep: one plain encode of the caller's pixels.
    TJpegCompressor encoder;
    if (!CompressPixels(encoder, layout, FPixels, FPixelStride, FWidth, FHeight, &source.Info, progressive)) {
      return false;
    }
    output.assign(encoder.Output, encoder.Output + encoder.OutputSize);
    return true;
  }

  std::vector<jvirt_barray_ptr> arrays(layout.Components.size());
  jvirt_barray_ptr* sourceArrays = nullptr;
  const TOrientation orientation{FMap.A, FMap.B, FMap.D, FMap.E};
  if (!ReadSourceCoefficients(source, layout, arrays.data(), sourceArrays) ||
      !CopyKeptBlocks(source, layout, orientation, sourceColumn, sourceRow, sourceArrays, arrays.data())) {
    return false;
  }
  // The other MCUs, one strip per MCU row from its first to its last changed MCU.
  for (int64_t j = 0; j < layout.McusDown; ++j) {
    int64_t first = -1, last = -1;
    for (int64_t i = 0; i < layout.McusAcross; ++i) {
      if (sourceColumn[static_cast<size_t>(j * layout.McusAcross + i)] >= 0) continue;
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
    if (!CompressPixels(encoder, layout, FPixels + y * FPixelStride + x * 3, FPixelStride, width, height, nullptr,
                        false) ||
        !ReadStripCoefficients(strip, encoder.Output, encoder.OutputSize, stripArrays) ||
        !CopyStripBlocks(source, strip, layout, sourceColumn, j, first, last, stripArrays, arrays.data())) {
      return false;
    }
  }
  TJpegCompressor writer;
  if (!WriteCoefficients(writer, source, layout, arrays.data(), progressive)) return false;
  output.assign(writer.Output, writer.Output + writer.OutputSize);
  return true;
}

bool TLosslessJpeg::Save(const std::filesystem::path& fileName, const TLosslessJpegSaveOptions& options) {
  std::vector<uint8_t> data;
  return SaveToMemory(data, options) && WriteFileReplacing(fileName, data);
}

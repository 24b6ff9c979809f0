#include "JpegSupport.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <exception>

#include <jerror.h>

namespace quill {

namespace {

[[noreturn]] void ErrorExit(j_common_ptr info) {
  std::longjmp(reinterpret_cast<TJpegError*>(info->err)->Jump, 1);
}

void EmitMessage(j_common_ptr info, int level) {
  if (level >= 0) return;
  auto* error = reinterpret_cast<TJpegError*>(info->err);
  ++error->Manager.num_warnings;
  switch (error->Manager.msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
      error->Corrupt = true;
      break;
    default:
      break;
  }
}
void OutputMessage(j_common_ptr) {}

// The compressor's destination: the owner's vector, reached through client_data.
constexpr size_t kFirstOutputSize = size_t{64} * 1024;

std::vector<uint8_t>& OutputOf(j_compress_ptr info) { return static_cast<TJpegCompressor*>(info->client_data)->Output; }

bool ResizeOutput(std::vector<uint8_t>& output, size_t size) {
  try {
    output.resize(size);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void InitDestination(j_compress_ptr info) {
  std::vector<uint8_t>& output = OutputOf(info);
  output.clear();
  if (!ResizeOutput(output, kFirstOutputSize)) ERREXIT1(info, JERR_OUT_OF_MEMORY, 10);
  info->dest->next_output_byte = output.data();
  info->dest->free_in_buffer = output.size();
}

// Called when the whole vector is written: doubles it.
boolean EmptyOutputBuffer(j_compress_ptr info) {
  std::vector<uint8_t>& output = OutputOf(info);
  const size_t used = output.size();
  if (!ResizeOutput(output, used * 2)) ERREXIT1(info, JERR_OUT_OF_MEMORY, 10);
  info->dest->next_output_byte = output.data() + used;
  info->dest->free_in_buffer = output.size() - used;
  return TRUE;
}

void TermDestination(j_compress_ptr info) {
  std::vector<uint8_t>& output = OutputOf(info);
  output.resize(output.size() - info->dest->free_in_buffer);
}

}  // namespace

jpeg_error_mgr* InitJpegError(TJpegError& error) {
  jpeg_error_mgr* manager = jpeg_std_error(&error.Manager);
  manager->error_exit = ErrorExit;
  manager->emit_message = EmitMessage;
  manager->output_message = OutputMessage;
  error.Corrupt = false;
  return manager;
}

// Creating the objects only allocates; an allocation failure there is the one error
// that cannot jump anywhere, and ends the process as any failed allocation would.
TJpegDecompressor::TJpegDecompressor() {
  Info.err = InitJpegError(Error);
  if (setjmp(Error.Jump)) std::abort();
  jpeg_create_decompress(&Info);
}

TJpegDecompressor::~TJpegDecompressor() { jpeg_destroy_decompress(&Info); }

TJpegCompressor::TJpegCompressor() {
  Info.err = InitJpegError(Error);
  Info.client_data = this;
  if (setjmp(Error.Jump)) std::abort();
  jpeg_create_compress(&Info);
  FDestination.next_output_byte = nullptr;
  FDestination.free_in_buffer = 0;
  FDestination.init_destination = InitDestination;
  FDestination.empty_output_buffer = EmptyOutputBuffer;
  FDestination.term_destination = TermDestination;
  Info.dest = &FDestination;
}

TJpegCompressor::~TJpegCompressor() { jpeg_destroy_compress(&Info); }

bool ReadJpegHeader(TJpegDecompressor& reader, const uint8_t* data, size_t size, bool allMarkers) {
  jpeg_decompress_struct& info = reader.Info;
  if (size < 4 || size > ULONG_MAX) return false;
  if (setjmp(reader.Error.Jump)) return false;
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  if (allMarkers) {
    for (int m = 0; m < 16; ++m) jpeg_save_markers(&info, JPEG_APP0 + m, 0xFFFF);
    jpeg_save_markers(&info, JPEG_COM, 0xFFFF);
  } else {
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
  }
  return jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK && !reader.Error.Corrupt;
}

bool PrepareJpegOutput(TJpegDecompressor& reader, int scaleDenominator, bool fast) {
  jpeg_decompress_struct& info = reader.Info;
  if (setjmp(reader.Error.Jump)) return false;
  const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  if (cmyk) {
    info.out_color_space = JCS_CMYK;
  } else if (info.num_components == 1 || info.num_components == 3) {
    info.out_color_space = JCS_EXT_BGR;
  } else {
    return false;
  }
  info.scale_num = 1;
  info.scale_denom = static_cast<unsigned int>(scaleDenominator);
  info.dct_method = fast ? JDCT_IFAST : JDCT_ISLOW;
  info.do_fancy_upsampling = fast ? FALSE : TRUE;
  jpeg_calc_output_dimensions(&info);
  return true;
}

bool ReadJpegPixels(TJpegDecompressor& reader, uint8_t* bits, int64_t stride) {
  jpeg_decompress_struct& info = reader.Info;
  if (setjmp(reader.Error.Jump)) return false;
  jpeg_start_decompress(&info);
  const bool cmyk = info.out_color_space == JCS_CMYK;
  // Adobe's CMYK JPEGs store the inks inverted.
  const bool inverted = info.saw_Adobe_marker;
  JSAMPARRAY cmykRow = cmyk ? (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                         info.output_width * 4, 1)
                            : nullptr;
  while (info.output_scanline < info.output_height) {
    uint8_t* row = bits + int64_t{info.output_scanline} * stride;
    if (!cmyk) {
      // Whole row groups straight into the image spare libjpeg a copy.
      JSAMPROW rows[4];
      const JDIMENSION count = std::min<JDIMENSION>({static_cast<JDIMENSION>(info.rec_outbuf_height), 4,
                                                     info.output_height - info.output_scanline});
      for (JDIMENSION i = 0; i < count; ++i) rows[i] = row + int64_t{i} * stride;
      if (jpeg_read_scanlines(&info, rows, count) == 0) return false;
      continue;
    }
    if (jpeg_read_scanlines(&info, cmykRow, 1) != 1) return false;
    const uint8_t* ink = cmykRow[0];
    for (JDIMENSION x = 0; x < info.output_width; ++x, ink += 4, row += 3) {
      const int k = inverted ? ink[3] : 255 - ink[3];
      for (int c = 0; c < 3; ++c) {
        const int value = inverted ? ink[c] : 255 - ink[c];
        row[2 - c] = static_cast<uint8_t>((value * k + 127) / 255);
      }
    }
  }
  jpeg_finish_decompress(&info);
  return !reader.Error.Corrupt;
}

std::span<const uint8_t> JpegExifBody(const TJpegDecompressor& reader) {
  for (jpeg_saved_marker_ptr m = reader.Info.marker_list; m != nullptr; m = m->next) {
    if (m->marker == JPEG_APP0 + 1 && m->data_length > 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0) {
      return {m->data + 6, m->data_length - 6};
    }
  }
  return {};
}

}  // namespace quill

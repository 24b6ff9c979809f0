#include "JpegSupport.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <exception>

#include <jerror.h>
#include <sys/mman.h>
#include <unistd.h>

#include "PixelSink.h"
#include "ZelBitmap.h"

namespace quill {

namespace {

[[noreturn]] void ErrorExit(j_common_ptr info) {
  std::longjmp(reinterpret_cast<TJpegError*>(info->err)->Jump, 1);
}

// libjpeg would carry on after these with grey pixels; the call ends here instead.
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
      ErrorExit(info);
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
  const size_t first = std::max(kFirstOutputSize, static_cast<TJpegCompressor*>(info->client_data)->ExpectedSize);
  if (!ResizeOutput(output, first)) ERREXIT1(info, JERR_OUT_OF_MEMORY, 10);
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
  return manager;
}

// ---- Reading from a TImageSource ----

namespace {

// Appends Bytes to To; false when the memory cannot be had. No exception may pass
// through libjpeg's frames.
bool Append(std::vector<uint8_t>& to, std::span<const uint8_t> bytes) {
  try {
    to.insert(to.end(), bytes.begin(), bytes.end());
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

// Hands libjpeg the source's bytes a buffer at a time; a skip beyond the buffer moves
// the position without reading, unless every byte is recorded. The reads grow from 4 KiB
// to 64 KiB while they follow each other, and start small again after a skip: a header
// read skips large segments without reading them, the pixels' data comes in large reads.
struct TJpegDecompressor::TSourceReader {
  static constexpr size_t kFirstFill = size_t{4} << 10;
  static constexpr size_t kBufferSize = size_t{64} << 10;
  static constexpr JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

  jpeg_source_mgr Manager;
  TImageSource* Source = nullptr;
  uint64_t Position = 0;  // of the byte after the buffer
  std::vector<uint8_t> Buffer;
  std::vector<uint8_t>* Record = nullptr;
  size_t FillSize = kFirstFill;

  static TSourceReader& Of(j_decompress_ptr info) {
    return *reinterpret_cast<TSourceReader*>(info->src);  // Manager is the first member
  }

  static void Init(j_decompress_ptr) {}
  static void Term(j_decompress_ptr) {}

  static boolean Fill(j_decompress_ptr info) {
    TSourceReader& reader = Of(info);
    const size_t count = reader.Source->Read(reader.Position, std::span(reader.Buffer).first(reader.FillSize));
    reader.FillSize = std::min(reader.FillSize * 2, kBufferSize);
    if (count == 0) {
      // As jpeg_mem_src does: an end-of-image marker, and the warning that ends the call.
      reader.Manager.next_input_byte = kEndOfImage;
      reader.Manager.bytes_in_buffer = 2;
      WARNMS(info, JWRN_JPEG_EOF);
      return TRUE;
    }
    if (reader.Record != nullptr && !Append(*reader.Record, std::span(reader.Buffer).first(count))) {
      ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
    }
    reader.Position += count;
    reader.Manager.next_input_byte = reader.Buffer.data();
    reader.Manager.bytes_in_buffer = count;
    return TRUE;
  }

  static void Skip(j_decompress_ptr info, long count) {
    TSourceReader& reader = Of(info);
    if (count <= 0) return;
    auto rest = static_cast<uint64_t>(count);
    while (reader.Record != nullptr && rest > reader.Manager.bytes_in_buffer) {
      rest -= reader.Manager.bytes_in_buffer;
      reader.Manager.bytes_in_buffer = 0;
      Fill(info);
    }
    if (rest <= reader.Manager.bytes_in_buffer) {
      reader.Manager.next_input_byte += rest;
      reader.Manager.bytes_in_buffer -= rest;
      return;
    }
    reader.Position += rest - reader.Manager.bytes_in_buffer;
    reader.Manager.bytes_in_buffer = 0;
    reader.FillSize = kFirstFill;
  }
};

namespace {

// The next byte of the data; the end of the data ends the call (Fill's warning).
int NextByte(j_decompress_ptr info) {
  jpeg_source_mgr& source = *info->src;
  if (source.bytes_in_buffer == 0) (*source.fill_input_buffer)(info);
  --source.bytes_in_buffer;
  return *source.next_input_byte++;
}

// The APP1 processor of TJpegMarkers::FirstExif: keeps the first Exif segment in the
// reader's Exif and skips every other APP1 segment unread.
boolean KeepFirstExif(j_decompress_ptr info) {
  auto& reader = *static_cast<TJpegDecompressor*>(info->client_data);
  int64_t length = NextByte(info) << 8;
  length += NextByte(info) - 2;
  static constexpr uint8_t kExif[] = {'E', 'x', 'i', 'f', 0, 0};
  bool exif = reader.Exif.empty() && length > 6;
  for (int i = 0; exif && i < 6; ++i, --length) exif = NextByte(info) == kExif[i];
  if (exif) {
    bool sized = true;
    try {
      reader.Exif.resize(static_cast<size_t>(length));
    } catch (const std::exception&) {
      sized = false;
    }
    if (!sized) ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
    for (uint8_t& byte : reader.Exif) byte = static_cast<uint8_t>(NextByte(info));
    length = 0;
  }
  if (length > 0) (*info->src->skip_input_data)(info, static_cast<long>(length));
  return TRUE;
}

}  // namespace

// Creating the objects only allocates; an allocation failure there is the one error
// that cannot jump anywhere, and ends the process as any failed allocation would.
TJpegDecompressor::TJpegDecompressor() {
  Info.err = InitJpegError(Error);
  Info.client_data = this;
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

// ---- Coefficient arrays in the program's memory ----

TJpegBlockPool::TJpegBlockPool() = default;
TJpegBlockPool::~TJpegBlockPool() = default;

TJpegBlockPool::TBlock TJpegBlockPool::Take(size_t size, size_t& capacity) {
  auto best = FKept.end();
  for (auto kept = FKept.begin(); kept != FKept.end(); ++kept) {
    if (kept->Capacity >= size && (best == FKept.end() || kept->Capacity < best->Capacity)) best = kept;
  }
  if (best == FKept.end()) {
    capacity = size;
    return TBlock(AllocatePixelBlock(1, size));
  }
  TBlock block = std::move(best->Block);
  capacity = best->Capacity;
  FKept.erase(best);
  std::memset(block.get(), 0, capacity);
  return block;
}

void TJpegBlockPool::Give(TBlock block, size_t capacity) {
  if (block == nullptr) return;
  // The whole pages inside the block go back to the system lazily.
  const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<uintptr_t>(block.get());
  const uintptr_t first = (start + page - 1) & ~(page - 1);
  const uintptr_t last = (start + capacity) & ~(page - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_FREE);
  try {
    FKept.push_back({std::move(block), capacity});
  } catch (const std::exception&) {
    // freed with Block
  }
}

void TJpegBlockPool::Clear() { FKept.clear(); }

struct TJpegBlockMemory::TArray {
  JDIMENSION Across = 0;
  JDIMENSION Rows = 0;
  TJpegBlockPool::TBlock Blocks;
  size_t Capacity = 0;
  std::vector<JBLOCKROW> RowStarts;

  bool Realized() const { return Blocks != nullptr; }
  // Takes the memory, from Pool when given; false when it cannot be had.
  bool Realize(TJpegBlockPool* pool) {
    if (Realized()) return true;
    try {
      RowStarts.resize(Rows);
    } catch (const std::exception&) {
      return false;
    }
    const size_t rowBytes = size_t{Across} * sizeof(JBLOCK);
    if (pool != nullptr) {
      Blocks = pool->Take(Rows * rowBytes, Capacity);
    } else {
      Blocks.reset(AllocatePixelBlock(Rows, rowBytes));
    }
    if (Blocks == nullptr) return false;
    for (JDIMENSION row = 0; row < Rows; ++row) {
      RowStarts[row] = reinterpret_cast<JBLOCKROW>(Blocks.get() + row * rowBytes);
    }
    return true;
  }
};

TJpegBlockMemory::TJpegBlockMemory(TJpegBlockPool* pool) : FPool(pool) {}

TJpegBlockMemory::~TJpegBlockMemory() {
  if (FPool == nullptr) return;
  for (const std::unique_ptr<TArray>& array : FArrays) FPool->Give(std::move(array->Blocks), array->Capacity);
}

TJpegBlockMemory& TJpegBlockMemory::Of(j_common_ptr info) {
  return info->is_decompressor ? *static_cast<TJpegDecompressor*>(info->client_data)->BlockMemory
                               : *static_cast<TJpegCompressor*>(info->client_data)->BlockMemory;
}

void TJpegBlockMemory::Take(jpeg_memory_mgr& manager, bool requests) {
  if (FLibraryAccess == nullptr) {
    FLibraryRealize = manager.realize_virt_arrays;
    FLibraryAccess = manager.access_virt_barray;
  }
  if (requests) {
    manager.request_virt_barray = Request;
    manager.realize_virt_arrays = Realize;
  }
  manager.access_virt_barray = Access;
}

void TJpegBlockMemory::Serve(TJpegDecompressor& reader) {
  reader.BlockMemory = this;
  Take(*reader.Info.mem, true);
}

void TJpegBlockMemory::Serve(TJpegCompressor& writer) {
  writer.BlockMemory = this;
  Take(*writer.Info.mem, false);
}

TJpegBlockMemory::TArray& TJpegBlockMemory::Add(JDIMENSION across, JDIMENSION rows) {
  auto array = std::make_unique<TArray>();
  array->Across = across;
  array->Rows = rows;
  FArrays.push_back(std::move(array));
  return *FArrays.back();
}

jvirt_barray_ptr TJpegBlockMemory::Allocate(JDIMENSION across, JDIMENSION rows) {
  TArray* array = nullptr;
  try {
    array = &Add(across, rows);
  } catch (const std::exception&) {
    return nullptr;
  }
  if (!array->Realize(FPool)) {
    FArrays.pop_back();
    return nullptr;
  }
  return reinterpret_cast<jvirt_barray_ptr>(array);
}

TJpegBlockMemory::TArray* TJpegBlockMemory::Find(jvirt_barray_ptr array) const {
  for (const std::unique_ptr<TArray>& own : FArrays) {
    if (reinterpret_cast<jvirt_barray_ptr>(own.get()) == array) return own.get();
  }
  return nullptr;
}

const JBLOCK* TJpegBlockMemory::Row(jvirt_barray_ptr array, JDIMENSION row) const {
  const TArray* own = Find(array);
  return own != nullptr && own->Realized() && row < own->Rows ? own->RowStarts[row] : nullptr;
}

bool TJpegBlockMemory::RealizeAll() {
  return std::all_of(FArrays.begin(), FArrays.end(),
                     [this](const std::unique_ptr<TArray>& a) { return a->Realize(FPool); });
}

// The memory manager's methods. They run inside libjpeg, so no exception may leave
// them, and none holds an object with a destructor where an error jumps out.
jvirt_barray_ptr TJpegBlockMemory::Request(j_common_ptr info, int, boolean, JDIMENSION across, JDIMENSION rows,
                                           JDIMENSION) {
  TArray* array = nullptr;
  try {
    array = &Of(info).Add(across, rows);
  } catch (const std::exception&) {
    array = nullptr;
  }
  if (array == nullptr) ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
  return reinterpret_cast<jvirt_barray_ptr>(array);
}

void TJpegBlockMemory::Realize(j_common_ptr info) {
  TJpegBlockMemory& memory = Of(info);
  if (!memory.RealizeAll()) ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
  memory.FLibraryRealize(info);
}

JBLOCKARRAY TJpegBlockMemory::Access(j_common_ptr info, jvirt_barray_ptr array, JDIMENSION first, JDIMENSION count,
                                     boolean writable) {
  TJpegBlockMemory& memory = Of(info);
  TArray* own = memory.Find(array);
  if (own == nullptr) return memory.FLibraryAccess(info, array, first, count, writable);
  if (!own->Realized() || first > own->Rows || count > own->Rows - first) ERREXIT(info, JERR_BAD_VIRTUAL_ACCESS);
  return own->RowStarts.data() + first;
}

namespace {

// The header read once the source is set; runs jpeg_read_header inside its setjmp.
bool ReadHeaderFromSource(TJpegDecompressor& reader, TJpegMarkers markers) {
  jpeg_decompress_struct& info = reader.Info;
  if (setjmp(reader.Error.Jump)) return false;
  switch (markers) {
    case TJpegMarkers::FirstExif:
      jpeg_set_marker_processor(&info, JPEG_APP0 + 1, KeepFirstExif);
      break;
    case TJpegMarkers::Metadata:
      jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
      jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
      break;
    case TJpegMarkers::All:
      for (int m = 0; m < 16; ++m) jpeg_save_markers(&info, JPEG_APP0 + m, 0xFFFF);
      jpeg_save_markers(&info, JPEG_COM, 0xFFFF);
      break;
  }
  return jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK;
}

}  // namespace

bool ReadJpegHeader(TJpegDecompressor& reader, TImageSource& source, TJpegMarkers markers,
                    std::vector<uint8_t>* record) {
  jpeg_decompress_struct& info = reader.Info;
  if (source.Size() < 4) return false;
  reader.DataSize = source.Size();
  const std::span<const uint8_t> memory = source.Memory();
  if (!memory.empty() && record == nullptr && memory.size() <= ULONG_MAX) {
    jpeg_mem_src(&info, memory.data(), static_cast<unsigned long>(memory.size()));
  } else {
    reader.Reader = std::make_unique<TJpegDecompressor::TSourceReader>();
    TJpegDecompressor::TSourceReader& from = *reader.Reader;
    from.Source = &source;
    from.Record = record;
    from.Buffer.resize(TJpegDecompressor::TSourceReader::kBufferSize);
    from.Manager.next_input_byte = nullptr;
    from.Manager.bytes_in_buffer = 0;
    from.Manager.init_source = TJpegDecompressor::TSourceReader::Init;
    from.Manager.fill_input_buffer = TJpegDecompressor::TSourceReader::Fill;
    from.Manager.skip_input_data = TJpegDecompressor::TSourceReader::Skip;
    from.Manager.resync_to_restart = jpeg_resync_to_restart;
    from.Manager.term_source = TJpegDecompressor::TSourceReader::Term;
    info.src = &from.Manager;
  }
  return ReadHeaderFromSource(reader, markers);
}

bool ReadJpegHeader(TJpegDecompressor& reader, const uint8_t* data, size_t size, bool allMarkers) {
  jpeg_decompress_struct& info = reader.Info;
  if (size < 4 || size > ULONG_MAX) return false;
  reader.DataSize = size;
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  return ReadHeaderFromSource(reader, allMarkers ? TJpegMarkers::All : TJpegMarkers::Metadata);
}

void TrimJpegRecord(const TJpegDecompressor& reader, std::vector<uint8_t>& record) {
  const size_t unused = std::min<size_t>(reader.Info.src->bytes_in_buffer, record.size());
  record.resize(record.size() - unused);
}

bool PrepareJpegOutput(TJpegDecompressor& reader, int scaleDenominator, bool fast) {
  jpeg_decompress_struct& info = reader.Info;
  if (setjmp(reader.Error.Jump)) return false;
  if (!info.arith_code) {
    uint64_t blocks = 0;
    for (int i = 0; i < info.num_components; ++i) {
      blocks += uint64_t{info.comp_info[i].width_in_blocks} * info.comp_info[i].height_in_blocks;
    }
    if (blocks / 8 > reader.DataSize) return false;
  }
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

bool ReadJpegPixels(TJpegDecompressor& reader, TPixelSink& sink) {
  jpeg_decompress_struct& info = reader.Info;
  if (setjmp(reader.Error.Jump)) return false;
  jpeg_start_decompress(&info);
  if (!sink.Begin(static_cast<int32_t>(info.output_width), static_cast<int32_t>(info.output_height))) return false;
  const bool cmyk = info.out_color_space == JCS_CMYK;
  // Adobe's CMYK JPEGs store the inks inverted.
  const bool inverted = info.saw_Adobe_marker;
  JSAMPARRAY cmykRow = cmyk ? (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                         info.output_width * 4, 1)
                            : nullptr;
  while (info.output_scanline < info.output_height) {
    const auto y = static_cast<int32_t>(info.output_scanline);
    int64_t stride = 0;
    if (!cmyk) {
      // Whole row groups straight into the sink's memory spare libjpeg a copy.
      const JDIMENSION count = std::min<JDIMENSION>({static_cast<JDIMENSION>(info.rec_outbuf_height), 4,
                                                     info.output_height - info.output_scanline});
      uint8_t* first = sink.Rows(y, static_cast<int32_t>(count), stride);
      if (first == nullptr) return false;
      JSAMPROW rows[4];
      for (JDIMENSION i = 0; i < count; ++i) rows[i] = first + int64_t{i} * stride;
      const JDIMENSION read = jpeg_read_scanlines(&info, rows, count);
      if (read == 0) return false;
      sink.Commit(y, static_cast<int32_t>(read));
      continue;
    }
    uint8_t* row = sink.Rows(y, 1, stride);
    if (row == nullptr || jpeg_read_scanlines(&info, cmykRow, 1) != 1) return false;
    const uint8_t* ink = cmykRow[0];
    for (JDIMENSION x = 0; x < info.output_width; ++x, ink += 4, row += 3) {
      const int k = inverted ? ink[3] : 255 - ink[3];
      for (int c = 0; c < 3; ++c) {
        const int value = inverted ? ink[c] : 255 - ink[c];
        row[2 - c] = static_cast<uint8_t>((value * k + 127) / 255);
      }
    }
    sink.Commit(y, 1);
  }
  jpeg_finish_decompress(&info);
  return true;
}

std::span<const uint8_t> JpegExifBody(const TJpegDecompressor& reader) {
  if (!reader.Exif.empty()) return reader.Exif;
  for (jpeg_saved_marker_ptr m = reader.Info.marker_list; m != nullptr; m = m->next) {
    if (m->marker == JPEG_APP0 + 1 && m->data_length > 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0) {
      return {m->data + 6, m->data_length - 6};
    }
  }
  return {};
}

}  // namespace quill

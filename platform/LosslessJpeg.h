// TLosslessJpeg: a JPEG held as its DCT coefficients, so that rotations, flips and crops
// cost no quality and a save rewrites only what was edited.
//
// The object keeps the source file's bytes. The pixels they decode to (the reference a
// save compares with) are held only after a load that decoded into the object's own
// memory. A caller that decoded straight into its own image and keeps a copy of it
// that follows every geometry change lends that copy to a save (SetReference); without
// either, a save or Decode decodes the kept bytes again. Geometry operations (flips,
// quarter turns, a region, crops and resizes) are recorded as a mapping from the
// current image's pixels to the source's and applied to the coefficients when saving;
// beside it the object records whether the caller's copy still shows the source under
// that mapping (flips, turns and regions keep it, a crop off the block grid and a
// resize end it).
//
// Save writes the caller's current pixels (SetPixels) for the current region, 8 x 8
// block by block of each component:
// - a block that lies exactly over a block of the same component in the source under
//   the recorded geometry, and whose pixels are exactly the pixels decoded at load
//   under that geometry, keeps the source's coefficients bit for bit (turned and
//   mirrored as the geometry says);
// - every other block is encoded from the caller's pixels with the source's
//   quantisation tables and sampling, one row of minimum coded units (MCUs) at a time.
// So the saved file always shows the caller's picture: when the object no longer
// matches it (a resize, restored pixels, a crop origin off the block grid, a region
// beyond the source) the affected blocks, or all of them, are re-encoded. A JPEG block
// grid starts at the top-left corner, so a turn or mirror that brings a partial edge
// block of the source to the left or top edge moves every block of that component off
// the grid, and all of them are re-encoded; with 4:2:0 or 4:2:2 sampling an image whose
// side is a multiple of 8 but not of the MCU still keeps its luma blocks.
//
// A zero in a quantisation table (decoders accept it and drop that frequency) cannot
// be encoded with: when any block is encoded, such a quantiser is written as 1 and the
// kept blocks get that coefficient cleared, which leaves their pixels exactly as they
// were. A save that keeps every block writes the tables unchanged.
//
// The source's APPn and COM segments (EXIF among them) are copied; when the image's
// size differs from the source's, the EXIF image size (ImageWidth, ImageLength,
// PixelXDimension, PixelYDimension, where present) is set to the saved size in place,
// and with the save option TopLeftOrientation the EXIF Orientation, where present,
// says top-left (1).
// Grey and YCbCr JPEGs only; CMYK, YCCK and 12-bit files do not load (the plain codecs
// read them). Every call that answers false does so on a failed allocation too.

#ifndef QUILL_PLATFORM_LOSSLESSJPEG_H_
#define QUILL_PLATFORM_LOSSLESSJPEG_H_

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "ImageSource.h"
#include "ZelTypes.h"

namespace quill {

struct TJpegOutputLayout;
struct TJpegBlockPlan;
class TJpegBlockPool;

// The save options record: nine int32. Only the coding field is read: 2 keeps the
// source's progressive or sequential coding, any other value writes a sequential file.
// Beside it, TopLeftOrientation: the saved EXIF says the pixels are upright, as they
// are once the caller turned or mirrored a picture that its Orientation turned.
struct TLosslessJpegSaveOptions {
  static constexpr int kCoding = 7;
  static constexpr int kSampling = 8;
  std::array<int32_t, 9> Values = {0, 100, 0, 0, -1, -1, -1, 2, 0};
  bool TopLeftOrientation = false;
};

class TLosslessJpeg {
 public:
  TLosslessJpeg();
  ~TLosslessJpeg();
  TLosslessJpeg(const TLosslessJpeg&) = delete;
  TLosslessJpeg& operator=(const TLosslessJpeg&) = delete;

  // Where a load decodes to: given the image's width and height, the first pixel of
  // 24-bit B, G, R rows Stride bytes apart (Stride set by the target), or null when that
  // memory cannot be had.
  using TDecodeTarget = std::function<uint8_t*(int32_t width, int32_t height, int32_t& stride)>;

  // Loads a JPEG and decodes it, holding the decoded pixels for Decode and saves. The
  // bytes are kept in memory, so the file may change or vanish before a save. False,
  // leaving the object without an image, for anything that is not a grey or YCbCr JPEG
  // of an allowed size that decodes whole.
  bool LoadFromFile(const std::filesystem::path& fileName);
  bool LoadFromMemory(std::vector<uint8_t> data);
  // The same, decoding straight into Target's memory (as decoded at load, before any
  // geometry) and holding no pixels of its own. On false Target's memory may hold part
  // of a picture.
  bool LoadFromMemory(std::vector<uint8_t> data, const TDecodeTarget& target);
  // The same from Source, keeping the bytes of the JPEG up to its end-of-image marker
  // (whatever follows it is never read).
  bool LoadFromSource(TImageSource& source, const TDecodeTarget& target);

  bool HasImage() const { return !FSource.empty(); }
  // The current image's size and block (MCU) size, after the recorded geometry.
  int32_t GetWidth() const { return FWidth; }
  int32_t GetHeight() const { return FHeight; }
  int32_t GetBlockWidth() const;
  int32_t GetBlockHeight() const;
  // The source's luma sampling factors: vertical in the high 16 bits, horizontal in the
  // low 16 bits (4:2:0 gives 0x00020002).
  uint32_t GetSamplingValue() const;

  // Writes the current image (24-bit B, G, R rows, Stride bytes apart) as decoded at
  // load under the recorded geometry; pixels outside the source are black. False when
  // the pixels are not held and cannot be decoded again.
  bool Decode(uint8_t* bits, int32_t stride) const;

  // Geometry of the current image. SetRegion takes current coordinates: the new image
  // is Rect of the old one (it may reach beyond it, as after an enlargement), and the
  // caller's copy is cut to Rect as well.
  void SetRegion(const TRect& rect);
  void FlipHorizontal();
  void FlipVertical();
  void RotateLeft();
  void RotateRight();
  // The caller's image is cropped to Rect: the region starts at Rect's origin aligned
  // down to the block size and has Rect's size, so that the blocks keep their grid.
  void Crop(const TRect& rect);
  // The caller's image is resampled to Width x Height: the region becomes that size at
  // the origin, and the caller's copy no longer shows the source.
  void Resize(int32_t width, int32_t height);

  // The recorded geometry alone. Whoever puts earlier pixels back (an undo) puts back
  // the geometry they were in, so that a save never shows a stale picture.
  struct TGeometry {
    std::array<int64_t, 6> Map = {1, 0, 0, 0, 1, 0};
    int32_t Width = 0;
    int32_t Height = 0;
    // Whether the caller's copy shows the source under Map (see the top of this file).
    bool ReferenceFollows = false;
  };
  TGeometry GetGeometry() const;
  void SetGeometry(const TGeometry& geometry);

  // The pixels Save writes: the current image's top-left pixel and row stride. The
  // memory must stay valid and unchanged until EndSave.
  void SetPixels(const uint8_t* bits, int32_t stride);
  // The caller's copy of the picture as decoded at load, gone through the same geometry
  // as this object: the current region's top-left pixel and row stride, 24-bit B, G, R.
  // A save compares with it instead of decoding the kept bytes again while the geometry
  // says it still shows the source. The memory must stay valid and unchanged until
  // EndSave.
  void SetReference(const uint8_t* bits, int32_t stride);
  // Encodes as described above and writes the file through a temporary file in the
  // same folder (a read-only target is refused and kept). The coefficient arrays'
  // memory is kept for the next save of the same image (see TJpegBlockPool). The reference pixels, when
  // not held, are decoded from the kept bytes for the save and released after it.
  // False without pixels, for an empty or oversized region, for a kept block holding a
  // coefficient beyond what an 8-bit JPEG can hold, or on any other error; the target
  // is then unchanged.
  bool Save(const std::filesystem::path& fileName, const TLosslessJpegSaveOptions& options);
  bool SaveToMemory(std::vector<uint8_t>& output, const TLosslessJpegSaveOptions& options);
  // Forgets the pixels of SetPixels and SetReference.
  void EndSave();

 private:
  // Source pixel of current pixel (X, Y): (A X + B Y + C, D X + E Y + F).
  struct TMapping {
    int64_t A = 1, B = 0, C = 0, D = 0, E = 1, F = 0;
  };
  struct TComponent {
    int Id;
    int H;  // sampling factors in the source
    int V;
    int Table;
  };
  void Reset();
  bool Transposed() const { return FMap.A == 0; }
  TJpegOutputLayout Layout() const;
  // Which blocks of the output keep a source block, and which one.
  TJpegBlockPlan PlanBlocks(const TJpegOutputLayout& layout) const;
  // Whether the caller's pixels in [X0, X1) x [Y0, Y1) all lie over source pixels and
  // equal the pixels decoded at load.
  bool SamePixels(int64_t x0, int64_t y0, int64_t x1, int64_t y1) const;
  // The current columns [First, Last) of row Y that lie over source pixels (First = Last
  // = the width when none do), and for a geometry that neither turns nor mirrors the
  // source row under them.
  struct TRowRun {
    int64_t SourceRow, First, Last;
  };
  TRowRun RowRun(int64_t y) const;
  // Where the reference pixels under current pixel (X, Y) of a row run begin: in the
  // caller's copy, or for a geometry that neither turns nor mirrors in the held pixels.
  const uint8_t* ReferenceRow(const TRowRun& run, int64_t y) const;
  // Whether the caller's copy serves as the reference.
  bool CallerReference() const { return FCallerReference != nullptr && FReferenceFollows; }
  // SamePixels of each 8 x 8 cell of the output grid, row by row (1 or 0); cells beyond
  // the image count as the same.
  std::vector<uint8_t> SameCells(int64_t cellsAcross, int64_t cellsDown) const;

  struct FreeDeleter {
    void operator()(uint8_t* block) const { std::free(block); }
  };
  using TReference = std::unique_ptr<uint8_t, FreeDeleter>;
  // Reads Source's header and decodes it into Target, setting everything but FSource;
  // with Record, the bytes read are kept there.
  bool Load(TImageSource& source, const TDecodeTarget& target, std::vector<uint8_t>* record);
  // The source decoded again from FSource into a new reference block; null when that
  // fails, its memory too.
  TReference DecodeReference() const;
  TReference DecodeReferenceUnguarded() const;
  // SaveToMemory once the reference is held.
  bool SaveWithReference(std::vector<uint8_t>& output, const TLosslessJpegSaveOptions& options);

  std::vector<uint8_t> FSource;
  std::unique_ptr<TJpegBlockPool> FBlockPool;
  // The decoded source, B, G, R, Width * 3 bytes a row (a pixel block, see
  // quill::AllocatePixelBlock); null while not held.
  TReference FReference;
  int32_t FSourceWidth = 0;
  int32_t FSourceHeight = 0;
  std::vector<TComponent> FComponents;
  std::array<std::array<uint16_t, 64>, 4> FTables{};
  bool FProgressive = false;

  TMapping FMap;
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  bool FReferenceFollows = false;
  const uint8_t* FPixels = nullptr;
  int32_t FPixelStride = 0;
  const uint8_t* FCallerReference = nullptr;
  int32_t FCallerReferenceStride = 0;
};

}  // namespace quill

#endif  // QUILL_PLATFORM_LOSSLESSJPEG_H_

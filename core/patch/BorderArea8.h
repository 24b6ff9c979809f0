// TBorderArea8: a growable list of the pixels of a marked area, each with its 8
// orientation variants and its contact weights.
//
// The list is made over an area rectangle of W x H pixels. A pixel is added by its
// area coordinates (x, y), 0 <= x < W, 0 <= y < H, and keeps its image position
// (Left + x, Top + y); its variants, in order 0..7, are
//
//   (x, y), (W-1-x, y), (y, W-1-x), (y, x), (W-1-x, H-1-y), (x, H-1-y), (H-1-y, W-1-x), (H-1-y, x)
//
// Variant k is where, relative to a source region's top-left corner, the pixel is
// filled from in orientation k (see AreaCorrelation.h). The variants are worked out
// when asked for rather than stored: a record is then 8 bytes instead of 72, and a
// brush-sized area's lists take a few dozen fresh memory pages instead of hundreds,
// whose first touch is what marking an area mostly cost. Lookups by image position
// give the first record at that position, as a search from index 0 would, but go
// through a per-pixel index of the area so that they take constant time.

#ifndef QUILL_CORE_BORDERAREA8_H_
#define QUILL_CORE_BORDERAREA8_H_

#include <cstdint>
#include <vector>

#include "ZelTypes.h"

namespace quill {

struct TBorderPixel {
  TPoint Position;  // in image coordinates
};

// Three bytes: the weights are 0..12 (ComputeWeights).
struct TBorderPixelInfo {
  uint8_t Excluded = 0;
  uint8_t InnerWeight = 0;
  uint8_t BorderWeight = 0;
};

// Variant K of a W x H area as a map of area coordinates (x, y): the variant is
// (Corner.X + XX * x + XY * y, Corner.Y + YX * x + YY * y). Worked out once per fill,
// it spares the per-pixel choice of orientation.
struct TVariantMap {
  int32_t XX;
  int32_t XY;
  int32_t YX;
  int32_t YY;
  TPoint Corner;

  constexpr TPoint operator()(TPoint area) const {
    return {Corner.X + XX * area.X + XY * area.Y, Corner.Y + YX * area.X + YY * area.Y};
  }
};

// The map of variant K (0..7; a larger K counts as 7) in a W x H area.
constexpr TVariantMap VariantMap(int32_t w, int32_t h, uint8_t k) {
  switch (k) {
    case 0: return {1, 0, 0, 1, {0, 0}};            // (x, y)
    case 1: return {-1, 0, 0, 1, {w - 1, 0}};       // (W-1-x, y)
    case 2: return {0, 1, -1, 0, {0, w - 1}};       // (y, W-1-x)
    case 3: return {0, 1, 1, 0, {0, 0}};            // (y, x)
    case 4: return {-1, 0, 0, -1, {w - 1, h - 1}};  // (W-1-x, H-1-y)
    case 5: return {1, 0, 0, -1, {0, h - 1}};       // (x, H-1-y)
    case 6: return {0, -1, -1, 0, {h - 1, w - 1}};  // (H-1-y, W-1-x)
    default: return {0, -1, 1, 0, {h - 1, 0}};      // (H-1-y, x)
  }
}

}  // namespace quill

class TBorderArea8 {
 public:
  // Records come in blocks of this many: the list starts with room for one block and
  // grows by one whenever a record is added to a full list. It never shrinks.
  static constexpr int32_t kGrowth = 512;

  // Areas are brush-sized. A rectangle of more pixels than this counts as an area of
  // no pixels, so that no request can make a list or its index grow without bound.
  static constexpr int64_t kMaxAreaPixels = int64_t{1} << 22;

  // AreaRect, or the empty rectangle at its top-left corner when it holds more than
  // kMaxAreaPixels pixels.
  static quill::TRect UsableArea(const quill::TRect& areaRect);

  // An empty list over UsableArea(AreaRect). A reversed rectangle gives an area of no
  // pixels.
  explicit TBorderArea8(const quill::TRect& areaRect);

  // Appends the pixel at area coordinates (X, Y) with zero info. A point outside the
  // area is not an area pixel and is ignored.
  void Add(int32_t x, int32_t y);

  // Room for at least Count records, in whole blocks, so that adding that many
  // grows the list no further. Never shrinks.
  void Reserve(int32_t count);

  // Count becomes 0; the capacity stays.
  void Clear();

  // The index of the first record at image position (X, Y), or -1.
  int32_t IndexOf(int32_t x, int32_t y) const;
  bool Contains(int32_t x, int32_t y) const { return IndexOf(x, y) >= 0; }

  // Record Index, 0 <= Index < Count(); the accessors below give 0 (or do nothing)
  // for an index outside that range.
  const quill::TBorderPixel& Record(int32_t index) const { return FRecords[index]; }
  // Variant K of record Index, 0 <= Index < Count().
  quill::TPoint Variant(int32_t index, uint8_t k) const {
    const quill::TPoint& p = FRecords[index].Position;
    return quill::VariantMap(FWidth, FHeight, k)({p.X - FLeft, p.Y - FTop});
  }
  int32_t GetInnerWeight(int32_t index) const;
  int32_t GetBorderWeight(int32_t index) const;
  bool TouchesBorder(int32_t index) const { return GetBorderWeight(index) > 0; }
  uint8_t GetExcluded(int32_t index) const;
  void SetExcluded(int32_t index, uint8_t value);

  // Removes every record whose excluded flag is non-zero, with its info; the others
  // keep their order.
  void Pack();

  // Adds the contact weights of this list against Other. A neighbour at offset
  // (dx, dy), dx, dy in -1..1 and not both 0, weighs 3 - (|dx| + |dy|).
  //  1. Every record's border weight grows by the weight of each neighbour position
  //     at which Other holds a record.
  //  2. Then every record with a border weight > 0 gains, in its inner weight, the
  //     weight of each neighbour position whose first record in this list has
  //     border weight 0.
  // Both weights are therefore 0..12. Weights only grow: refill the list (Clear,
  // Add) before computing them again.
  void ComputeWeights(const TBorderArea8& other);

  int32_t Count() const { return FCount; }
  int32_t Capacity() const { return static_cast<int32_t>(FRecords.size()); }

 private:
  // The cell of image position (X, Y) in FFirstIndex, or -1 outside the area.
  int64_t CellOf(int64_t x, int64_t y) const;
  // IndexOf for a position that may lie beyond 32-bit coordinates.
  int32_t FirstAt(int64_t x, int64_t y) const;
  void IndexRecord(int32_t index);

  int32_t FCount = 0;
  std::vector<quill::TBorderPixel> FRecords;
  std::vector<quill::TBorderPixelInfo> FInfo;
  int32_t FLeft;
  int32_t FTop;
  int32_t FWidth;
  int32_t FHeight;
  std::vector<int32_t> FFirstIndex;  // per area pixel, row by row: first record there, or -1
};

#endif  // QUILL_CORE_BORDERAREA8_H_

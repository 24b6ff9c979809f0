#include "BorderArea8.h"

#include <cstdlib>

namespace {

struct TNeighbour {
  int32_t Dx;
  int32_t Dy;
  int32_t Weight;  // 2 for an edge neighbour, 1 for a diagonal one
};

constexpr TNeighbour kNeighbours[8] = {{-1, -1, 1}, {0, -1, 2}, {1, -1, 1}, {-1, 0, 2},
                                       {1, 0, 2},   {-1, 1, 1}, {0, 1, 2},  {1, 1, 1}};

}  // namespace

quill::TRect TBorderArea8::UsableArea(const quill::TRect& areaRect) {
  const int64_t w = areaRect.Width();
  const int64_t h = areaRect.Height();
  if (w > kMaxAreaPixels || h > kMaxAreaPixels || w * h > kMaxAreaPixels) {
    return {areaRect.Left, areaRect.Top, areaRect.Left, areaRect.Top};
  }
  return areaRect;
}

TBorderArea8::TBorderArea8(const quill::TRect& areaRect)
    : FRecords(kGrowth),
      FInfo(kGrowth),
      FLeft(areaRect.Left),
      FTop(areaRect.Top),
      FWidth(static_cast<int32_t>(UsableArea(areaRect).Width())),
      FHeight(static_cast<int32_t>(UsableArea(areaRect).Height())),
      FFirstIndex(static_cast<size_t>(FWidth) * FHeight, -1) {}

int64_t TBorderArea8::CellOf(int64_t x, int64_t y) const {
  x -= FLeft;
  y -= FTop;
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return -1;
  return y * FWidth + x;
}

void TBorderArea8::IndexRecord(int32_t index) {
  const quill::TPoint& p = FRecords[index].Position;
  int32_t& first = FFirstIndex[CellOf(p.X, p.Y)];
  if (first < 0) first = index;
}

void TBorderArea8::Add(int32_t x, int32_t y) {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return;
  if (FCount == Capacity()) {
    FRecords.resize(FRecords.size() + kGrowth);
    FInfo.resize(FInfo.size() + kGrowth);
  }
  FRecords[FCount].Position = {FLeft + x, FTop + y};
  FInfo[FCount] = {};
  IndexRecord(FCount);
  ++FCount;
}

void TBorderArea8::Reserve(int32_t count) {
  if (count <= Capacity()) return;
  const size_t blocks = (static_cast<size_t>(count) + kGrowth - 1) / kGrowth;
  FRecords.resize(blocks * kGrowth);
  FInfo.resize(blocks * kGrowth);
}

void TBorderArea8::Clear() {
  for (int32_t i = 0; i < FCount; ++i) {
    const quill::TPoint& p = FRecords[i].Position;
    FFirstIndex[CellOf(p.X, p.Y)] = -1;
  }
  FCount = 0;
}

int32_t TBorderArea8::FirstAt(int64_t x, int64_t y) const {
  const int64_t cell = CellOf(x, y);
  return cell < 0 ? -1 : FFirstIndex[cell];
}

int32_t TBorderArea8::IndexOf(int32_t x, int32_t y) const { return FirstAt(x, y); }

int32_t TBorderArea8::GetInnerWeight(int32_t index) const {
  return index >= 0 && index < FCount ? FInfo[index].InnerWeight : 0;
}

int32_t TBorderArea8::GetBorderWeight(int32_t index) const {
  return index >= 0 && index < FCount ? FInfo[index].BorderWeight : 0;
}

uint8_t TBorderArea8::GetExcluded(int32_t index) const {
  return index >= 0 && index < FCount ? FInfo[index].Excluded : 0;
}

void TBorderArea8::SetExcluded(int32_t index, uint8_t value) {
  if (index >= 0 && index < FCount) FInfo[index].Excluded = value;
}

void TBorderArea8::Pack() {
  const int32_t oldCount = FCount;
  Clear();
  for (int32_t i = 0; i < oldCount; ++i) {
    if (FInfo[i].Excluded != 0) continue;
    FRecords[FCount] = FRecords[i];
    FInfo[FCount] = FInfo[i];
    IndexRecord(FCount);
    ++FCount;
  }
}

void TBorderArea8::ComputeWeights(const TBorderArea8& other) {
  for (int32_t i = 0; i < FCount; ++i) {
    const quill::TPoint& p = FRecords[i].Position;
    for (const TNeighbour& n : kNeighbours) {
      if (other.FirstAt(int64_t{p.X} + n.Dx, int64_t{p.Y} + n.Dy) >= 0) {
        FInfo[i].BorderWeight = static_cast<uint8_t>(FInfo[i].BorderWeight + n.Weight);
      }
    }
  }
  for (int32_t i = 0; i < FCount; ++i) {
    if (FInfo[i].BorderWeight <= 0) continue;
    const quill::TPoint& p = FRecords[i].Position;
    for (const TNeighbour& n : kNeighbours) {
      const int32_t j = FirstAt(int64_t{p.X} + n.Dx, int64_t{p.Y} + n.Dy);
      if (j >= 0 && FInfo[j].BorderWeight == 0) FInfo[i].InnerWeight = static_cast<uint8_t>(FInfo[i].InnerWeight + n.Weight);
    }
  }
}

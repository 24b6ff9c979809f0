#include "ZelColorCorrection.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "ZelProperties.h"
#include "ZelUtils.h"

void TZelCurveSegment::SetStartPoint(const quill::TPoint& point) {
  StartX = point.X;
  StartY = point.Y;
  Recalculate();
}

void TZelCurveSegment::SetEndPoint(const quill::TPoint& point) {
  EndX = point.X;
  EndY = point.Y;
  Recalculate();
}

bool TZelLineSegment::Recalculate() {
  if (EndX - StartX != 0) {
    Slope = (EndY - StartY) / (EndX - StartX);
    Intercept = StartY - Slope * StartX;
    return true;
  }
  Slope = std::numeric_limits<double>::infinity();
  Intercept = -std::numeric_limits<double>::infinity();
  return false;
}

void TZelLineSegment::Render(int32_t max, std::vector<uint16_t>& table, double endX,
                             double startX) {
  if (std::isinf(Slope)) return;
  // Only the entries the table holds: a range reaching beyond it is cut, not indexed.
  const double first = std::max(std::ceil(startX), 0.0);
  const double last = std::min(endX, static_cast<double>(table.size()) - 1);
  for (double i = first; i <= last; i += 1) {
    const double value = i * Slope + Intercept;
    table[static_cast<size_t>(i)] = static_cast<uint16_t>(ClampRound(max, value));
  }
}

int32_t ClampRound(int32_t max, double value) {
  if (value > max) return max;
  if (!(value >= 0)) return 0;  // below 0, or NaN
  return static_cast<int32_t>(quill::RoundHalfEven(value));
}

int32_t BuildLookupTable(const TZelPointList& points, int32_t max, std::vector<uint16_t>& table) {
  table.clear();
  if (points.GetCount() != 2 || max < 0 || max > kMaxCurveLevel) return E_FAIL;
  TZelLineSegment segment;
  segment.SetStartPoint(points.GetPoint(0));
  segment.SetEndPoint(points.GetPoint(1));
  table.assign(static_cast<size_t>(max) + 1, 0);
  segment.Render(max, table, max, 0);
  return S_OK;
}

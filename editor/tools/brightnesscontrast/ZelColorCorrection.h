// The colour-correction curve: turns control points into a lookup table that maps
// every input level 0..Max of a colour channel to an output level 0..Max.
//
// The one curve shape is a straight line through two points, extended beyond them in
// both directions and clamped into 0..Max; the abstract segment class admits others.
// Entry I of a line through (X0, Y0) and (X1, Y1) is I * slope + intercept, computed
// and kept as a double, then clamped and rounded to the nearest level with halves to
// the even neighbour. A vertical line (X0 = X1) renders nothing: its table stays all
// zeros.
//
//   std::vector<uint16_t> table;
//   TZelPointList points;
//   points.Add({10, 0});
//   points.Add({245, 255});
//   if (BuildLookupTable(points, 255, table) == S_OK) ... table[128] == 128 ...
//
// Plain computation; no Qt, no state shared between calls.

#ifndef QUILL_EDITOR_ZELCOLORCORRECTION_H_
#define QUILL_EDITOR_ZELCOLORCORRECTION_H_

#include <cstdint>
#include <vector>

#include "ZelTypes.h"

class TZelPointList;

// The results of BuildLookupTable.
constexpr int32_t S_OK = 0;
constexpr int32_t E_FAIL = static_cast<int32_t>(0x80004005u);

// The largest level a table can hold (its entries are 16-bit).
constexpr int32_t kMaxCurveLevel = 65535;

// An abstract segment of a curve between two points.
class TZelCurveSegment {
 public:
  virtual ~TZelCurveSegment() = default;

  // Store the point, then Recalculate.
  void SetStartPoint(const quill::TPoint& point);
  void SetEndPoint(const quill::TPoint& point);

  // Called after either point changes; whether the segment is usable. True here.
  virtual bool Recalculate() { return true; }
  // Writes Table[I] for the integers I from Ceil(StartX) to EndX that lie in the
  // table; each entry in 0..Max.
  virtual void Render(int32_t max, std::vector<uint16_t>& table, double endX, double startX) = 0;

  double StartX = 0;
  double StartY = 0;
  double EndX = 0;
  double EndY = 0;
};

// A straight segment. Vertical (start X = end X): slope +infinity, intercept
// -infinity, and it renders nothing.
class TZelLineSegment : public TZelCurveSegment {
 public:
  // Slope and intercept from the points; false for a vertical segment.
  bool Recalculate() override;
  // Table[I] := ClampRound(Max, I * slope + intercept); nothing when vertical.
  void Render(int32_t max, std::vector<uint16_t>& table, double endX, double startX) override;

  double Slope = 0;
  double Intercept = 0;
};

// Max when V > Max; 0 when V < 0 (and for NaN); otherwise V rounded to the nearest
// integer with halves to even.
int32_t ClampRound(int32_t max, double value);

// Table := Max + 1 entries through the line of the two points of Points. E_FAIL, with
// an empty table, unless Points holds exactly two points and Max lies in
// 0..kMaxCurveLevel; otherwise S_OK (a vertical line gives all zeros).
int32_t BuildLookupTable(const TZelPointList& points, int32_t max, std::vector<uint16_t>& table);

#endif  // QUILL_EDITOR_ZELCOLORCORRECTION_H_

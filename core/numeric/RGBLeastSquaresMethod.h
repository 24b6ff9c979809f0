// TRGBLSM: three least-squares colour surfaces at once, one per channel, over the
// basis 1, x, y (linear) or 1, x, y, x^2, y^2, xy (quadratic).

#ifndef QUILL_CORE_RGBLEASTSQUARESMETHOD_H_
#define QUILL_CORE_RGBLEASTSQUARESMETHOD_H_

#include <cstdint>
#include <vector>

#include "LeastSquaresMethod.h"

class TRGBLSM {
 public:
  TRGBLSM(int capacity, bool quadratic);

  // Adds the colour (R, G, B) at (X, Y) with weight 1. At most Capacity samples.
  void AddSample(int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b);

  // Fits R, then G, then B. The first channel whose fit fails ends the sequence with
  // false and leaves the later channels unsolved.
  bool Solve();

  // Each channel of the surfaces at (X, Y), clamped to 0..255 and rounded half to even.
  void Evaluate(int32_t x, int32_t y, uint8_t& r, uint8_t& g, uint8_t& b) const;

  int Count() const { return FCount; }

 private:
  void Basis(int32_t x, int32_t y, double* basis) const;
  uint8_t EvaluateChannel(const std::vector<double>& coef, const double* basis) const;

  int FCount = 0;
  int FTerms;
  std::vector<double> FCoefR, FCoefG, FCoefB;
  bool FQuadratic;
  std::vector<double> FValuesR, FValuesG, FValuesB;
  TLSM FLSM;
};

#endif  // QUILL_CORE_RGBLEASTSQUARESMETHOD_H_

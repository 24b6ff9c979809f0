#include "RGBLeastSquaresMethod.h"

#include <algorithm>

#include "ZelUtils.h"

namespace {
constexpr int kMaxTerms = 6;
}

TRGBLSM::TRGBLSM(int capacity, bool quadratic)
    : FTerms(quadratic ? 6 : 3),
      FCoefR(FTerms, 0.0),
      FCoefG(FTerms, 0.0),
      FCoefB(FTerms, 0.0),
      FQuadratic(quadratic),
      FValuesR(std::max(capacity, 0), 0.0),
      FValuesG(std::max(capacity, 0), 0.0),
      FValuesB(std::max(capacity, 0), 0.0),
      FLSM(capacity, FTerms) {}

// Term order: 1, x, y, then x^2, y^2, xy; the square and product are formed as
// 32-bit integers (wrapping, never overflowing) and then converted.
void TRGBLSM::Basis(int32_t x, int32_t y, double* basis) const {
  basis[0] = 1;
  basis[1] = x;
  basis[2] = y;
  if (FQuadratic) {
    basis[3] = static_cast<int32_t>(int64_t{x} * x);
    basis[4] = static_cast<int32_t>(int64_t{y} * y);
    basis[5] = static_cast<int32_t>(int64_t{x} * y);
  }
}

void TRGBLSM::AddSample(int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b) {
  if (static_cast<size_t>(FCount) >= FValuesR.size()) return;
  double basis[kMaxTerms];
  Basis(x, y, basis);
  FLSM.AddRow(basis, 1.0);
  FValuesR[FCount] = r;
  FValuesG[FCount] = g;
  FValuesB[FCount] = b;
  ++FCount;
}

bool TRGBLSM::Solve() {
  const std::vector<double>* values[] = {&FValuesR, &FValuesG, &FValuesB};
  std::vector<double>* coefficients[] = {&FCoefR, &FCoefG, &FCoefB};
  for (int channel = 0; channel < 3; ++channel) {
    FLSM.SetValues(values[channel]->data());
    const bool ok = FLSM.Solve();
    FLSM.GetCoefficients(coefficients[channel]->data());
    if (!ok) return false;
  }
  return true;
}

uint8_t TRGBLSM::EvaluateChannel(const std::vector<double>& coef, const double* basis) const {
  double v = coef[0];
  for (int t = 1; t < FTerms; ++t) v += coef[t] * basis[t];
  // A surface that came out not-a-number (a degenerate fit) is taken as 0 rather
  // than converted to an integer.
  if (v != v) v = 0;
  return static_cast<uint8_t>(quill::RoundHalfEven(EnsureRangeDouble(v, 0, 255)));
}

void TRGBLSM::Evaluate(int32_t x, int32_t y, uint8_t& r, uint8_t& g, uint8_t& b) const {
  double basis[kMaxTerms];
  Basis(x, y, basis);
  r = EvaluateChannel(FCoefR, basis);
  g = EvaluateChannel(FCoefG, basis);
  b = EvaluateChannel(FCoefB, basis);
}

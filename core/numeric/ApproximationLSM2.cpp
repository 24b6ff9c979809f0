#include "ApproximationLSM2.h"

#include <algorithm>

TApproximation::TApproximation(int capacity, uint8_t order)
    : FValues(std::max(capacity, 0), 0.0),
      FCoefficients(TArgumentTransfer::TermCountOf(order), 0.0),
      FLSM(capacity, order) {}

void TApproximation::AddSample(double u, double v, double value) {
  if (static_cast<size_t>(FCount) >= FValues.size()) return;
  FLSM.AddSample(u, v, 1.0);
  FValues[FCount] = value;
  ++FCount;
}

bool TApproximation::Solve() {
  return FLSM.Solve(std::span<const double>(FValues.data(), FCount), FCoefficients);
}

double TApproximation::Evaluate(double u, double v) { return FLSM.Evaluate(FCoefficients, u, v); }

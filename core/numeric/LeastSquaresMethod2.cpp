#include "LeastSquaresMethod2.h"

#include <algorithm>

TLSM2::TLSM2(int capacity, uint8_t order)
    : FCapacity(capacity),
      FBasis(order),
      FLSM(capacity, FBasis.TermCount()),
      FCoefficients(FBasis.TermCount(), 0.0) {}

void TLSM2::AddSample(double u, double v, double weight) {
  if (FLSM.Count() >= FCapacity) return;
  FBasis.FillBasis(u, v);
  FLSM.AddRow(FBasis.Basis().data(), weight);
}

bool TLSM2::Solve(std::span<const double> values, std::span<double> coefficients) {
  const int terms = GetTermCount();
  if (terms == 0 || FLSM.Count() < terms || values.size() < static_cast<size_t>(FLSM.Count())) {
    return false;
  }
  FLSM.SetValues(values.data());
  FLSM.Solve();
  FLSM.GetCoefficients(FCoefficients.data());
  std::copy_n(FCoefficients.begin(), std::min(coefficients.size(), FCoefficients.size()),
              coefficients.begin());
  return true;
}

double TLSM2::Evaluate(std::span<const double> coefficients, double u, double v) {
  return FBasis.Evaluate(coefficients.empty() ? FCoefficients : coefficients, u, v);
}

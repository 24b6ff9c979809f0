#include "ApproximationBGRLSM2.h"

#include <algorithm>

TApproximationBGR::TApproximationBGR(int capacity, uint8_t order)
    : FValuesR(std::max(capacity, 0), 0.0),
      FValuesG(FValuesR.size(), 0.0),
      FValuesB(FValuesR.size(), 0.0),
      FCoefR(TArgumentTransfer::TermCountOf(order), 0.0),
      FCoefG(FCoefR.size(), 0.0),
      FCoefB(FCoefR.size(), 0.0),
      FLSM(capacity, order) {}

void TApproximationBGR::AddSample(double u, double v, double r, double g, double b) {
  if (static_cast<size_t>(FCount) >= FValuesR.size()) return;
  FLSM.AddSample(u, v, 1.0);
  FValuesR[FCount] = r;
  FValuesG[FCount] = g;
  FValuesB[FCount] = b;
  ++FCount;
}

bool TApproximationBGR::Solve() {
  const auto values = [this](const std::vector<double>& channel) {
    return std::span<const double>(channel.data(), FCount);
  };
  return FLSM.Solve(values(FValuesR), FCoefR) && FLSM.Solve(values(FValuesG), FCoefG) &&
         FLSM.Solve(values(FValuesB), FCoefB);
}

void TApproximationBGR::Evaluate(double u, double v, double& r, double& g, double& b) {
  TArgumentTransfer& basis = FLSM.Basis();
  basis.FillBasis(u, v);
  r = basis.Sum(FCoefR);
  g = basis.Sum(FCoefG);
  b = basis.Sum(FCoefB);
}

#include "ArgumentTransfer.h"

#include <algorithm>

int TArgumentTransfer::TermCountOf(uint8_t order) {
  constexpr int kTermCounts[kMaxOrder + 1] = {1, 3, 4, 6, 8, 10};
  return order <= kMaxOrder ? kTermCounts[order] : 0;
}

TArgumentTransfer::TArgumentTransfer(uint8_t order)
    : FTermCount(TermCountOf(order)), FBasis(FTermCount, 0.0), FOrder(order) {}

void TArgumentTransfer::FillBasis(double u, double v) {
  if (FTermCount == 0) return;
  double* b = FBasis.data();
  b[0] = 1;
  if (FTermCount >= 3) {
    b[1] = u;
    b[2] = v;
  }
  if (FTermCount >= 4) b[3] = u * v;
  if (FTermCount >= 6) {
    b[4] = u * u;
    b[5] = v * v;
  }
  if (FTermCount >= 8) {
    b[6] = u * u * v;
    b[7] = u * v * v;
  }
  if (FTermCount >= 10) {
    b[8] = u * u * u;
    b[9] = v * v * v;
  }
}

double TArgumentTransfer::Sum(std::span<const double> coefficients) const {
  const size_t terms = std::min(coefficients.size(), FBasis.size());
  double sum = 0;
  for (size_t p = 0; p < terms; ++p) sum += coefficients[p] * FBasis[p];
  return sum;
}

double TArgumentTransfer::Evaluate(std::span<const double> coefficients, double u, double v) {
  FillBasis(u, v);
  return Sum(coefficients);
}

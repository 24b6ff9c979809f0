#include "Correlator.h"

#include <cmath>

namespace {

// |A - B| <= Epsilon; a negative Epsilon stands for 1e-8, and 0 asks for equality.
bool IsSameValue(double a, double b, double epsilon) {
  if (epsilon < 0) epsilon = 1e-8;
  return epsilon == 0 ? a == b : std::fabs(a - b) <= epsilon;
}

bool IsNearZero(double value, double epsilon) { return IsSameValue(value, 0, epsilon); }

}  // namespace

void TCorrelator::Reset() {
  FCount = 0;
  FSx = FSy = FSxy = FSxx = FSyy = 0;
}

void TCorrelator::Add(double x, double y) {
  ++FCount;
  FSx += x;
  FSy += y;
  FSxy += x * y;
  FSxx += x * x;
  FSyy += y * y;
}

double TCorrelator::Coefficient() const {
  const double n = FCount;
  const double root = std::sqrt((n * FSxx - FSx * FSx) * (n * FSyy - FSy * FSy));
  // Rounding can leave a variance of arbitrary reals a hair below 0; its root, NaN,
  // counts as no spread like a root near 0.
  if (std::isnan(root) || IsNearZero(root, 1e-10)) return 0;
  return (n * FSxy - FSx * FSy) / root;
}

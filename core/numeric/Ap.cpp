#include "Ap.h"

#include <cmath>

double CopySign(double a, double b) { return b >= 0 ? std::fabs(a) : -std::fabs(a); }

double SafeHypot(double a, double b) {
  const double absA = std::fabs(a);
  const double absB = std::fabs(b);
  if (absA == 0 && absB == 0) return 0;
  if (absA >= absB) {
    const double q = b / a;
    return absA * std::sqrt(1 + q * q);
  }
  const double q = a / b;
  return absB * std::sqrt(1 + q * q);
}

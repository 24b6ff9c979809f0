// Small numerical building blocks of the least-squares solvers.

#ifndef QUILL_CORE_AP_H_
#define QUILL_CORE_AP_H_

#include <cmath>
#include <cstddef>
#include <vector>

namespace quill {

// A dense matrix of doubles indexed (row, column). The solvers index it from 1:
// a TApMatrix(Rows + 1, Cols + 1) leaves row 0 and column 0 unused.
class TApMatrix {
 public:
  TApMatrix(size_t rows, size_t cols) : rows_(rows), cols_(cols), data_(rows * cols, 0.0) {}
  double& operator()(size_t row, size_t col) { return data_[row * cols_ + col]; }
  double operator()(size_t row, size_t col) const { return data_[row * cols_ + col]; }
  size_t Rows() const { return rows_; }
  size_t Cols() const { return cols_; }

 private:
  size_t rows_;
  size_t cols_;
  std::vector<double> data_;
};

}  // namespace quill

// |A| with the sign of B; B = 0 counts as positive. Inline, as SafeHypot, because a
// decomposition's rotations call both in their chain of dependent steps.
inline double CopySign(double a, double b) { return b >= 0 ? std::fabs(a) : -std::fabs(a); }

// sqrt(A^2 + B^2) without overflow: the larger magnitude times
// sqrt(1 + (smaller / larger)^2); 0 when both are 0.
inline double SafeHypot(double a, double b) {
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

#endif  // QUILL_CORE_AP_H_

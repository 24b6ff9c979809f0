// TArgumentTransfer: the basis terms of a polynomial surface z = f(u, v) of order
// 0..5, in this order (an order uses the first TermCount of them):
//
//   order  terms  basis
//     0      1    1
//     1      3    1, u, v
//     2      4    1, u, v, uv
//     3      6    1, u, v, uv, u^2, v^2
//     4      8    1, u, v, uv, u^2, v^2, u^2 v, u v^2
//     5     10    1, u, v, uv, u^2, v^2, u^2 v, u v^2, u^3, v^3
//
// An order above 5 has no terms: its surfaces are 0 everywhere.

#ifndef QUILL_CORE_ARGUMENTTRANSFER_H_
#define QUILL_CORE_ARGUMENTTRANSFER_H_

#include <cstdint>
#include <span>
#include <vector>

class TArgumentTransfer {
 public:
  static constexpr uint8_t kMaxOrder = 5;

  // The number of terms of Order: 1, 3, 4, 6, 8, 10 for 0..5, and 0 above.
  static int TermCountOf(uint8_t order);

  explicit TArgumentTransfer(uint8_t order);

  // Computes the basis row of (U, V) into Basis().
  void FillBasis(double u, double v);

  // The sum over the terms, in order, of coefficient times term, from the row last
  // computed by FillBasis. Terms beyond the coefficients given count as 0.
  double Sum(std::span<const double> coefficients) const;

  // FillBasis(U, V), then Sum(Coefficients).
  double Evaluate(std::span<const double> coefficients, double u, double v);

  const std::vector<double>& Basis() const { return FBasis; }
  int TermCount() const { return FTermCount; }
  uint8_t Order() const { return FOrder; }

 private:
  int FTermCount;
  std::vector<double> FBasis;
  uint8_t FOrder;
};

#endif  // QUILL_CORE_ARGUMENTTRANSFER_H_

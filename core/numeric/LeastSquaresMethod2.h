// TLSM2: weighted least-squares fit of a polynomial surface z = f(u, v) of order
// 0..5 (ArgumentTransfer.h) to scattered samples.

#ifndef QUILL_CORE_LEASTSQUARESMETHOD2_H_
#define QUILL_CORE_LEASTSQUARESMETHOD2_H_

#include <cstdint>
#include <span>
#include <vector>

#include "ArgumentTransfer.h"
#include "LeastSquaresMethod.h"

class TLSM2 {
 public:
  // Room for Capacity samples of a surface of Order.
  TLSM2(int capacity, uint8_t order);

  // Stores the basis row of (U, V) with Weight as the next sample. Samples beyond
  // the capacity are dropped.
  void AddSample(double u, double v, double weight);

  // Fits the coefficients minimising the sum of (weight * (value - f(u, v)))^2 over
  // the samples, Values giving one value per sample. Returns false, changing
  // nothing, when there are fewer samples (or values) than terms, or the order has
  // none. Otherwise keeps the coefficients, copies as many of them as fit into
  // Coefficients (none when it is empty), and returns true even when the fit was
  // rank-deficient: the solver's minimum-norm coefficients stand then.
  bool Solve(std::span<const double> values, std::span<double> coefficients);

  // The surface of Coefficients at (U, V); empty Coefficients stand for those of the
  // last successful Solve, which are 0 before one.
  double Evaluate(std::span<const double> coefficients, double u, double v);

  // The basis, for evaluating several surfaces at one point from one FillBasis.
  TArgumentTransfer& Basis() { return FBasis; }

  int GetTermCount() const { return FBasis.TermCount(); }
  int Count() const { return FLSM.Count(); }

 private:
  int FCapacity;
  TArgumentTransfer FBasis;
  TLSM FLSM;  // the rows and weights; keeps the decomposition for further values
  std::vector<double> FCoefficients;
};

#endif  // QUILL_CORE_LEASTSQUARESMETHOD2_H_

// TApproximation: one polynomial surface z = f(u, v) of order 0..5 fitted by least
// squares to samples of equal weight. Made for one fit: filled, solved once,
// evaluated many times.

#ifndef QUILL_CORE_APPROXIMATIONLSM2_H_
#define QUILL_CORE_APPROXIMATIONLSM2_H_

#include <cstdint>
#include <vector>

#include "LeastSquaresMethod2.h"

class TApproximation {
 public:
  TApproximation(int capacity, uint8_t order);

  // Adds the sample Value at (U, V) with weight 1; ignored once Capacity samples are in.
  void AddSample(double u, double v, double value);

  // Fits the surface. False, leaving it 0 everywhere, when there are fewer samples
  // than the order has terms.
  bool Solve();

  // The surface at (U, V): 0 everywhere before a successful Solve.
  double Evaluate(double u, double v);

  int Count() const { return FCount; }

 private:
  int FCount = 0;
  std::vector<double> FValues;
  std::vector<double> FCoefficients;
  TLSM2 FLSM;
};

#endif  // QUILL_CORE_APPROXIMATIONLSM2_H_

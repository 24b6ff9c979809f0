// TApproximationBGR: three polynomial surfaces of order 0..5, one per colour
// channel, fitted by least squares over the same sample points. The points and
// weights are shared, so the three fits decompose one normal matrix.

#ifndef QUILL_CORE_APPROXIMATIONBGRLSM2_H_
#define QUILL_CORE_APPROXIMATIONBGRLSM2_H_

#include <cstdint>
#include <vector>

#include "LeastSquaresMethod2.h"

class TApproximationBGR {
 public:
  TApproximationBGR(int capacity, uint8_t order);

  // Adds the values R, G, B at (U, V) with weight 1; ignored once Capacity samples are in.
  void AddSample(double u, double v, double r, double g, double b);

  // Fits R, then G, then B, stopping at the first failure (fewer samples than
  // terms); a channel not solved stays 0 everywhere. True when all three succeed.
  bool Solve();

  // The three surfaces at (U, V).
  void Evaluate(double u, double v, double& r, double& g, double& b);

  int Count() const { return FCount; }

 private:
  int FCount = 0;
  std::vector<double> FValuesR, FValuesG, FValuesB;
  std::vector<double> FCoefR, FCoefG, FCoefB;
  TLSM2 FLSM;
};

#endif  // QUILL_CORE_APPROXIMATIONBGRLSM2_H_

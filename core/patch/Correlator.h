// TCorrelator: a running Pearson correlation of sample pairs (X, Y).

#ifndef QUILL_CORE_CORRELATOR_H_
#define QUILL_CORE_CORRELATOR_H_

#include <cstdint>

class TCorrelator {
 public:
  TCorrelator() { Reset(); }

  // Forgets every sample.
  void Reset();

  void Add(double x, double y);

  // (n Sxy - Sx Sy) / Sqrt((n Sxx - Sx^2) (n Syy - Sy^2)), or 0 when that root is
  // within 1e-10 of 0 (or not a number): no samples, one sample, or X or Y never
  // varying.
  double Coefficient() const;

  int32_t Count() const { return FCount; }

 private:
  int32_t FCount = 0;
  double FSx = 0;
  double FSy = 0;
  double FSxy = 0;
  double FSxx = 0;
  double FSyy = 0;
};

#endif  // QUILL_CORE_CORRELATOR_H_

// TLSM: a collector of weighted sample rows for one least-squares fit.

#ifndef QUILL_CORE_LEASTSQUARESMETHOD_H_
#define QUILL_CORE_LEASTSQUARESMETHOD_H_

#include <optional>
#include <vector>

#include "Ap.h"
#include "apMinMisclosureSvd.h"

class TLSM {
 public:
  // Room for Capacity rows of Terms basis values each.
  TLSM(int capacity, int terms);

  // Appends one row and its weight. A row beyond the capacity is ignored.
  void AddRow(const double* basis, double weight);

  // The values to fit: the first Count() entries of Y.
  void SetValues(const double* y);

  // Fits the coefficients minimising the sum of (weight * residual)^2. Returns false
  // when a singular direction had to be dropped; the coefficients are kept anyway.
  // Fitting new values over unchanged rows reuses the decomposition of their normal
  // matrix, which depends on the rows and weights alone.
  bool Solve();

  // Copies the Terms() coefficients of the last Solve into C.
  void GetCoefficients(double* c) const;

  int Count() const { return FCount; }
  int Terms() const { return FTerms; }

 private:
  int FCount = 0;
  int FTerms;
  std::vector<double> FValues;
  quill::TApMatrix FRows;
  std::vector<double> FWeights;
  std::vector<double> FCoefficients;
  std::optional<quill::TSvdDecomposition> FSvd;  // of the normal matrix of the first FSvdCount rows
  int FSvdCount = -1;
};

#endif  // QUILL_CORE_LEASTSQUARESMETHOD_H_

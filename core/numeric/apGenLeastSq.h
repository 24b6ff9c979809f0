// Weighted linear least squares through the normal equations.

#ifndef QUILL_CORE_APGENLEASTSQ_H_
#define QUILL_CORE_APGENLEASTSQ_H_

#include <vector>

#include "Ap.h"

namespace quill {

// The normal matrix of N rows of M basis values: an (M + 1) x (M + 1) matrix indexed
// from 1 whose entry (p, q) is the sum over the rows k of W[k]^2 * F(k, p - 1) * F(k, q - 1).
// F is indexed from 0: row k, term p.
TApMatrix BuildNormalMatrix(const double* w, const TApMatrix& f, int m, int n);

// The right-hand side of the normal equations, indexed from 1: entry p is the sum
// over the rows k of W[k]^2 * Y[k] * F(k, p - 1).
std::vector<double> NormalRightHandSide(const double* y, const double* w, const TApMatrix& f,
                                        int m, int n);

}  // namespace quill

// Fits the M coefficients C[0..M-1] that minimise the sum over the N rows of
// (W[k] * (Y[k] - F(k) . C))^2, by a singular value decomposition of the normal
// matrix. Returns false when a singular direction had to be dropped; C is filled
// in both cases.
bool SolveWeightedLeastSquares(const double* y, const double* w, const quill::TApMatrix& f,
                               std::vector<double>& c, int m, int n);

#endif  // QUILL_CORE_APGENLEASTSQ_H_

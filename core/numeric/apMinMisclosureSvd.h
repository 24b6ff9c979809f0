// Least-squares solution of a linear system through a singular value decomposition.

#ifndef QUILL_CORE_APMINMISCLOSURESVD_H_
#define QUILL_CORE_APMINMISCLOSURESVD_H_

#include <vector>

#include "Ap.h"

namespace quill {

// The singular value decomposition A = U * diag(W) * V^T of a Rows x Cols matrix,
// all indexed from 1. Computed once, it solves any number of right-hand sides.
struct TSvdDecomposition {
  TApMatrix U;
  std::vector<double> W;
  TApMatrix V;
  int Rows;
  int Cols;
};

// Decomposes A(1..Rows, 1..Cols) by Golub-Reinsch: Householder bidiagonalisation,
// then implicit-shift QR sweeps, at most 30 per singular value (a value that has not
// converged by then stands as it is). Singular values come out non-negative. A's
// further columns are carried along in U untouched.
TSvdDecomposition DecomposeSvd(TApMatrix a, int rows, int cols);

// The least-squares solution of U * diag(W) * V^T * X = B, B(1..Rows). Singular values
// not above tau = Cols * max|W| * 5e-16 are dropped, and X(1..Cols) gets the
// minimum-norm solution within the kept directions. Returns true only when nothing
// was dropped; X is filled in both cases and resized to Cols + 1 (index 0 unused).
bool SolveDecomposed(const TSvdDecomposition& svd, const std::vector<double>& b,
                     std::vector<double>& x);

}  // namespace quill

// Solves the system whose matrix is A(1..Rows, 1..Cols) and whose right-hand side is
// column Cols + 1 of A: DecomposeSvd, then SolveDecomposed.
bool SolveSvd(const quill::TApMatrix& a, int rows, int cols, std::vector<double>& x);

namespace quill {

// The same decomposition and solution in fixed storage, for at most kSmallSvdMax rows
// and columns (the six terms of a quadratic surface): they allocate nothing and take
// the very same steps, so they give the very same bits.
constexpr int kSmallSvdMax = 6;
struct TSmallSvd {
  double U[kSmallSvdMax + 1][kSmallSvdMax + 1];  // indexed from 1; holds A before
  double W[kSmallSvdMax + 1];
  double V[kSmallSvdMax + 1][kSmallSvdMax + 1];
  int Rows;
  int Cols;
};

// Decomposes A(1..Rows, 1..Cols), given in U, as DecomposeSvd does; U is overwritten.
void DecomposeSmallSvd(TSmallSvd& svd);

// SolveDecomposed over a TSmallSvd: B(1..Rows) in, X(0..Cols) out (X[0] = 0).
bool SolveSmallSvd(const TSmallSvd& svd, const double* b, double* x);

}  // namespace quill

#endif  // QUILL_CORE_APMINMISCLOSURESVD_H_

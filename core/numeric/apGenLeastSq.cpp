#include "apGenLeastSq.h"

#include "apMinMisclosureSvd.h"

namespace quill {

// Every entry is summed over the rows in ascending order, whatever the loop nesting,
// so the values do not depend on how the loops are arranged. The row loop is outermost
// because it reads each row once.
TApMatrix BuildNormalMatrix(const double* w, const TApMatrix& f, int m, int n) {
  TApMatrix a(m + 1, m + 1);
  std::vector<double> weighted(m);
  for (int k = 0; k < n; ++k) {
    const double w2 = w[k] * w[k];
    for (int p = 0; p < m; ++p) weighted[p] = w2 * f(k, p);
    for (int p = 0; p < m; ++p) {
      for (int q = 0; q < m; ++q) a(p + 1, q + 1) += weighted[p] * f(k, q);
    }
  }
  return a;
}

std::vector<double> NormalRightHandSide(const double* y, const double* w, const TApMatrix& f,
                                        int m, int n) {
  std::vector<double> b(m + 1, 0.0);
  for (int k = 0; k < n; ++k) {
    const double wy = w[k] * w[k] * y[k];
    for (int p = 0; p < m; ++p) b[p + 1] += wy * f(k, p);
  }
  return b;
}

}  // namespace quill

bool SolveWeightedLeastSquares(const double* y, const double* w, const quill::TApMatrix& f,
                               std::vector<double>& c, int m, int n) {
  const quill::TSvdDecomposition svd = quill::DecomposeSvd(quill::BuildNormalMatrix(w, f, m, n), m, m);
  std::vector<double> x;
  const bool ok = quill::SolveDecomposed(svd, quill::NormalRightHandSide(y, w, f, m, n), x);
  c.assign(x.begin() + 1, x.end());
  return ok;
}

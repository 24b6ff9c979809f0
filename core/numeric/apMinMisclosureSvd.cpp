#include "apMinMisclosureSvd.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <utility>

namespace {

using quill::kSmallSvdMax;

constexpr int kMaxSweeps = 30;

// An element is negligible when adding it to the matrix norm leaves the norm unchanged.
bool Negligible(double value, double anorm) { return std::fabs(value) + anorm == anorm; }

// Decomposes A(1..m, 1..n) as U * diag(w) * V^T; U overwrites A's first n columns.
// Golub-Reinsch: Householder reduction to bidiagonal form with every column and row
// scaled by the sum of its magnitudes, accumulation of the right-hand and then the
// left-hand transformations, then implicit-shift QR sweeps from the last singular
// value to the first. E (n + 1 zeros) receives the superdiagonal of the bidiagonal
// form. One text serves the growable and the fixed storage, so both take the same steps;
// M and N are ints, or compile-time constants for a fixed size, whose loops the
// compiler then unrolls without changing a step.
template <class Matrix, class Vector, class Size>
void Decompose(Matrix& a, Size m, Size n, Vector& w, Matrix& v, Vector& e) {
  double g = 0;
  double scale = 0;
  double anorm = 0;
  int l = 0;

  for (int i = 1; i <= n; ++i) {
    l = i + 1;
    e[i] = scale * g;
    g = 0;
    scale = 0;
    double s = 0;
    if (i <= m) {
      for (int k = i; k <= m; ++k) scale += std::fabs(a(k, i));
      if (scale != 0) {
        for (int k = i; k <= m; ++k) {
          a(k, i) /= scale;
          s += a(k, i) * a(k, i);
        }
        double f = a(i, i);
        g = -CopySign(std::sqrt(s), f);
        const double h = f * g - s;
        a(i, i) = f - g;
        for (int j = l; j <= n; ++j) {
          s = 0;
          for (int k = i; k <= m; ++k) s += a(k, i) * a(k, j);
          f = s / h;
          for (int k = i; k <= m; ++k) a(k, j) += f * a(k, i);
        }
        for (int k = i; k <= m; ++k) a(k, i) *= scale;
      }
    }
    w[i] = scale * g;
    g = 0;
    scale = 0;
    s = 0;
    if (i <= m && i != n) {
      for (int k = l; k <= n; ++k) scale += std::fabs(a(i, k));
      if (scale != 0) {
        for (int k = l; k <= n; ++k) {
          a(i, k) /= scale;
          s += a(i, k) * a(i, k);
        }
        const double f = a(i, l);
        g = -CopySign(std::sqrt(s), f);
        const double h = f * g - s;
        a(i, l) = f - g;
        for (int k = l; k <= n; ++k) e[k] = a(i, k) / h;
        for (int j = l; j <= m; ++j) {
          s = 0;
          for (int k = l; k <= n; ++k) s += a(j, k) * a(i, k);
          for (int k = l; k <= n; ++k) a(j, k) += s * e[k];
        }
        for (int k = l; k <= n; ++k) a(i, k) *= scale;
      }
    }
    anorm = std::max(anorm, std::fabs(w[i]) + std::fabs(e[i]));
  }

  // Right-hand transformations into V.
  for (int i = n; i >= 1; --i) {
    if (i < n) {
      if (g != 0) {
        // Two divisions, so that a tiny a(i, l) cannot underflow the product.
        for (int j = l; j <= n; ++j) v(j, i) = (a(i, j) / a(i, l)) / g;
        for (int j = l; j <= n; ++j) {
          double s = 0;
          for (int k = l; k <= n; ++k) s += a(i, k) * v(k, j);
          for (int k = l; k <= n; ++k) v(k, j) += s * v(k, i);
        }
      }
      for (int j = l; j <= n; ++j) v(i, j) = v(j, i) = 0;
    }
    v(i, i) = 1;
    g = e[i];
    l = i;
  }

  // Left-hand transformations into U, which takes A's place.
  for (int i = std::min(m, n); i >= 1; --i) {
    l = i + 1;
    g = w[i];
    for (int j = l; j <= n; ++j) a(i, j) = 0;
    if (g != 0) {
      g = 1 / g;
      for (int j = l; j <= n; ++j) {
        double s = 0;
        for (int k = l; k <= m; ++k) s += a(k, i) * a(k, j);
        const double f = (s / a(i, i)) * g;
        for (int k = i; k <= m; ++k) a(k, j) += f * a(k, i);
      }
      for (int j = i; j <= m; ++j) a(j, i) *= g;
    } else {
      for (int j = i; j <= m; ++j) a(j, i) = 0;
    }
    a(i, i) += 1;
  }

  // Diagonalisation: QR sweeps on each singular value, from the last to the first.
  for (int k = n; k >= 1; --k) {
    for (int sweep = 0;; ++sweep) {
      // Look for a split: a negligible superdiagonal element (e[1] is always 0), or a
      // negligible diagonal element, which is cancelled below.
      bool cancel = true;
      int split = k;
      for (; split >= 1; --split) {
        if (Negligible(e[split], anorm)) {
          cancel = false;
          break;
        }
        if (Negligible(w[split - 1], anorm)) break;
      }
      if (cancel) {
        const int nm = split - 1;
        double c = 0;
        double s = 1;
        for (int i = split; i <= k; ++i) {
          const double f = s * e[i];
          e[i] = c * e[i];
          if (Negligible(f, anorm)) break;
          g = w[i];
          double h = SafeHypot(f, g);
          w[i] = h;
          h = 1 / h;
          c = g * h;
          s = -f * h;
          for (int j = 1; j <= m; ++j) {
            const double y = a(j, nm);
            const double z = a(j, i);
            a(j, nm) = y * c + z * s;
            a(j, i) = z * c - y * s;
          }
        }
      }
      double z = w[k];
      if (split == k) {
        // Converged: singular values are made non-negative.
        if (z < 0) {
          w[k] = -z;
          for (int j = 1; j <= n; ++j) v(j, k) = -v(j, k);
        }
        break;
      }
      // Out of sweeps: the current value stands and the decomposition goes on.
      if (sweep == kMaxSweeps) break;

      // Shift from the bottom 2 x 2 minor.
      double x = w[split];
      const int nm = k - 1;
      double y = w[nm];
      g = e[nm];
      double h = e[k];
      double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2 * h * y);
      g = SafeHypot(f, 1);
      f = ((x - z) * (x + z) + h * ((y / (f + CopySign(g, f))) - h)) / x;

      // One implicit QR transformation.
      double c = 1;
      double s = 1;
      for (int j = split; j <= nm; ++j) {
        const int i = j + 1;
        g = e[i];
        y = w[i];
        h = s * g;
        g = c * g;
        z = SafeHypot(f, h);
        e[j] = z;
        c = f / z;
        s = h / z;
        f = x * c + g * s;
        g = g * c - x * s;
        h = y * s;
        y *= c;
        for (int r = 1; r <= n; ++r) {
          x = v(r, j);
          z = v(r, i);
          v(r, j) = x * c + z * s;
          v(r, i) = z * c - x * s;
        }
        z = SafeHypot(f, h);
        w[j] = z;
        if (z != 0) {
          z = 1 / z;
          c = f * z;
          s = h * z;
        }
        f = c * g + s * y;
        x = c * y - s * g;
        for (int r = 1; r <= m; ++r) {
          y = a(r, j);
          z = a(r, i);
          a(r, j) = y * c + z * s;
          a(r, i) = z * c - y * s;
        }
      }
      e[split] = 0;
      e[k] = f;
      w[k] = x;
    }
  }
}

// The least-squares solution from a decomposition: t = U^T b, then each kept column
// of V divided by its singular value and weighted by t. B, X and the scratch T (Cols + 1
// entries) are indexed from 1; X[0] is set to 0.
template <class Matrix, class Vector>
bool Solve(const Matrix& u, const Vector& w, const Matrix& v, int rows, int cols, const double* b,
           double* t, double* x) {
  double wmax = 0;
  for (int j = 1; j <= cols; ++j) wmax = std::max(wmax, std::fabs(w[j]));
  const double tau = cols * wmax * 5e-16;

  for (int j = 1; j <= cols; ++j) {
    double s = 0;
    for (int i = 1; i <= rows; ++i) s += u(i, j) * b[i];
    t[j] = s;
  }

  bool result = true;
  for (int j = 1; j <= cols; ++j) result = result && std::fabs(w[j]) > tau;
  x[0] = 0;
  for (int p = 1; p <= cols; ++p) {
    double s = 0;
    for (int j = 1; j <= cols; ++j) {
      if (std::fabs(w[j]) > tau) s += v(p, j) / w[j] * t[j];
    }
    x[p] = s;
  }
  return result;
}

// A view of a fixed square array as a matrix indexed (row, column).
template <class Cell>
struct FixedMatrix {
  Cell (*cell)[kSmallSvdMax + 1];
  Cell& operator()(int row, int col) const { return cell[row][col]; }
};

}  // namespace

namespace quill {

TSvdDecomposition DecomposeSvd(TApMatrix a, int rows, int cols) {
  TSvdDecomposition svd{std::move(a), std::vector<double>(cols + 1, 0.0),
                        TApMatrix(cols + 1, cols + 1), rows, cols};
  std::vector<double> e(cols + 1, 0.0);
  Decompose(svd.U, rows, cols, svd.W, svd.V, e);
  return svd;
}

bool SolveDecomposed(const TSvdDecomposition& svd, const std::vector<double>& b,
                     std::vector<double>& x) {
  x.assign(svd.Cols + 1, 0.0);
  std::vector<double> t(svd.Cols + 1, 0.0);
  return Solve(svd.U, svd.W, svd.V, svd.Rows, svd.Cols, b.data(), t.data(), x.data());
}

}  // namespace quill

bool SolveSvd(const quill::TApMatrix& a, int rows, int cols, std::vector<double>& x) {
  std::vector<double> b(rows + 1, 0.0);
  for (int i = 1; i <= rows; ++i) b[i] = a(i, cols + 1);
  return quill::SolveDecomposed(quill::DecomposeSvd(a, rows, cols), b, x);
}

namespace quill {

void DecomposeSmallSvd(TSmallSvd& svd) {
  FixedMatrix<double> u{svd.U};
  FixedMatrix<double> v{svd.V};
  std::fill(&svd.W[0], &svd.W[0] + kSmallSvdMax + 1, 0.0);
  std::fill(&svd.V[0][0], &svd.V[0][0] + (kSmallSvdMax + 1) * (kSmallSvdMax + 1), 0.0);
  double e[kSmallSvdMax + 1] = {};
  double* w = svd.W;
  double* superdiagonal = e;
  if (svd.Rows == kSmallSvdMax && svd.Cols == kSmallSvdMax) {
    const std::integral_constant<int, kSmallSvdMax> six;
    Decompose(u, six, six, w, v, superdiagonal);
  } else {
    Decompose(u, svd.Rows, svd.Cols, w, v, superdiagonal);
  }
}

bool SolveSmallSvd(const TSmallSvd& svd, const double* b, double* x) {
  const FixedMatrix<const double> u{svd.U};
  const FixedMatrix<const double> v{svd.V};
  const double* w = svd.W;
  double t[kSmallSvdMax + 1];
  return Solve(u, w, v, svd.Rows, svd.Cols, b, t, x);
}

}  // namespace quill

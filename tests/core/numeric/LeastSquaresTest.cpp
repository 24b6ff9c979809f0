#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "Ap.h"
#include "LeastSquaresMethod.h"
#include "RGBLeastSquaresMethod.h"
#include "apGenLeastSq.h"
#include "apMinMisclosureSvd.h"

namespace {

struct Rgb {
  uint8_t r, g, b;
};

Rgb EvaluateAt(const TRGBLSM& fit, int x, int y) {
  Rgb c{};
  fit.Evaluate(x, y, c.r, c.g, c.b);
  return c;
}

// A 2 x 2 system diag(D1, D2) with right-hand side (B1, B2), indexed from 1.
quill::TApMatrix Diagonal(double d1, double d2, double b1, double b2) {
  quill::TApMatrix a(3, 4);
  a(1, 1) = d1;
  a(2, 2) = d2;
  a(1, 3) = b1;
  a(2, 3) = b2;
  return a;
}

}  // namespace

TEST(ApHelpers, CopySignAndSafeHypot) {
  EXPECT_EQ(CopySign(3, -0.5), -3);
  EXPECT_EQ(CopySign(-3, 0), 3);  // zero counts as positive
  EXPECT_EQ(CopySign(-3, 2), 3);
  EXPECT_DOUBLE_EQ(SafeHypot(3, 4), 5);
  EXPECT_DOUBLE_EQ(SafeHypot(-4, 3), 5);
  EXPECT_EQ(SafeHypot(0, 0), 0);
  EXPECT_DOUBLE_EQ(SafeHypot(3e200, 4e200), 5e200);  // no overflow in the squares
}

TEST(DecomposeSvd, ReconstructsTheMatrixWithOrthonormalFactors) {
  // Random 6 x 6 matrices, full rank and rank-deficient (two equal rows), and a
  // tall 9 x 4 one.
  unsigned seed = 17;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<double>(seed >> 8) / (1 << 24) - 0.5;
  };
  for (const auto& [rows, cols, duplicate] : {std::tuple{6, 6, false}, {6, 6, true}, {9, 4, false}}) {
    quill::TApMatrix a(rows + 1, cols + 1);
    for (int i = 1; i <= rows; ++i) {
      for (int j = 1; j <= cols; ++j) a(i, j) = next() * 100;
    }
    if (duplicate) {
      for (int j = 1; j <= cols; ++j) a(2, j) = a(1, j);
    }
    const quill::TSvdDecomposition svd = quill::DecomposeSvd(a, rows, cols);
    for (int i = 1; i <= rows; ++i) {
      for (int j = 1; j <= cols; ++j) {
        double value = 0;
        for (int k = 1; k <= cols; ++k) value += svd.U(i, k) * svd.W[k] * svd.V(j, k);
        ASSERT_NEAR(value, a(i, j), 1e-10) << rows << "x" << cols << " at " << i << "," << j;
      }
    }
    for (int p = 1; p <= cols; ++p) {
      EXPECT_GE(svd.W[p], 0);
      for (int q = 1; q <= cols; ++q) {
        double vv = 0;
        for (int k = 1; k <= cols; ++k) vv += svd.V(k, p) * svd.V(k, q);
        ASSERT_NEAR(vv, p == q ? 1 : 0, 1e-12);
      }
    }
    // A duplicated row leaves one singular value at rounding level.
    const double smallest = *std::min_element(svd.W.begin() + 1, svd.W.end());
    if (duplicate) EXPECT_LT(smallest, 1e-10);
    else EXPECT_GT(smallest, 1e-3);
  }
}

TEST(SolveSvd, DropsSingularValuesAtOrBelowTheTolerance) {
  // tau = Cols * max|w| * 5e-16 = 1e-15 for diag(1, d).
  std::vector<double> x;
  quill::TApMatrix kept = Diagonal(1, 2e-15, 3, 4e-15);
  EXPECT_TRUE(SolveSvd(kept, 2, 2, x));
  EXPECT_DOUBLE_EQ(x[1], 3);
  EXPECT_DOUBLE_EQ(x[2], 2);

  // 0.8e-15 is above 5e-16 but below tau: the Cols factor must be there.
  quill::TApMatrix dropped = Diagonal(1, 0.8e-15, 3, 5);
  EXPECT_FALSE(SolveSvd(dropped, 2, 2, x));
  // The solution is still produced, within the kept direction only.
  EXPECT_DOUBLE_EQ(x[1], 3);
  EXPECT_EQ(x[2], 0);
}

TEST(SolveSvd, NoRowsFails) {
  quill::TApMatrix a(4, 5);
  std::vector<double> x;
  EXPECT_FALSE(SolveSvd(a, 3, 3, x));
  EXPECT_EQ(x, std::vector<double>(4, 0.0));
}

TEST(SolveSvd, SolvesAGeneralSystem) {
  // 3x + y - z = 2, x - 2y + 4z = 9, -x + 5y + 2z = 15: x = 1, y = 2, z = 3.
  quill::TApMatrix a(4, 5);
  const double rows[3][4] = {{3, 1, -1, 2}, {1, -2, 4, 9}, {-1, 5, 2, 15}};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 4; ++j) a(i + 1, j + 1) = rows[i][j];
  }
  std::vector<double> x;
  ASSERT_TRUE(SolveSvd(a, 3, 3, x));
  EXPECT_NEAR(x[1], 1, 1e-12);
  EXPECT_NEAR(x[2], 2, 1e-12);
  EXPECT_NEAR(x[3], 3, 1e-12);
}

TEST(TLSM, FitsRealValuesWithWeights) {
  // y = 1.5 + 0.25 x - 0.125 x^2, exactly representable, with assorted weights.
  TLSM lsm(10, 3);
  std::vector<double> y;
  for (int i = 0; i < 7; ++i) {
    const double x = i * 0.5 - 1;
    const double basis[3] = {1, x, x * x};
    lsm.AddRow(basis, 0.5 + i);
    y.push_back(1.5 + 0.25 * x - 0.125 * x * x);
  }
  lsm.SetValues(y.data());
  ASSERT_TRUE(lsm.Solve());
  double c[3];
  lsm.GetCoefficients(c);
  EXPECT_NEAR(c[0], 1.5, 1e-12);
  EXPECT_NEAR(c[1], 0.25, 1e-12);
  EXPECT_NEAR(c[2], -0.125, 1e-12);
}

TEST(TLSM, WeightEntersSquared) {
  // Three points off one line: the fit depends on which one weighs more.
  const double points[3][2] = {{0, 0}, {1, 3}, {2, 1}};
  TLSM weighted(3, 2), repeated(6, 2);
  std::vector<double> yWeighted, yRepeated;
  for (int i = 0; i < 3; ++i) {
    const double basis[2] = {1, points[i][0]};
    weighted.AddRow(basis, i == 1 ? 2 : 1);
    yWeighted.push_back(points[i][1]);
    for (int copy = 0; copy < (i == 1 ? 4 : 1); ++copy) {
      repeated.AddRow(basis, 1);
      yRepeated.push_back(points[i][1]);
    }
  }
  weighted.SetValues(yWeighted.data());
  repeated.SetValues(yRepeated.data());
  ASSERT_TRUE(weighted.Solve());
  ASSERT_TRUE(repeated.Solve());
  double a[2], b[2];
  weighted.GetCoefficients(a);
  repeated.GetCoefficients(b);
  EXPECT_DOUBLE_EQ(a[0], b[0]);
  EXPECT_DOUBLE_EQ(a[1], b[1]);
}

TEST(TRGBLSM, LinearPlaneThroughFourCorners) {
  TRGBLSM fit(4, false);
  fit.AddSample(0, 0, 10, 0, 5);
  fit.AddSample(1, 0, 20, 0, 5);
  fit.AddSample(0, 1, 30, 0, 5);
  fit.AddSample(1, 1, 40, 0, 5);
  ASSERT_TRUE(fit.Solve());
  EXPECT_EQ(EvaluateAt(fit, 0, 0).r, 10);
  EXPECT_EQ(EvaluateAt(fit, 1, 0).r, 20);
  EXPECT_EQ(EvaluateAt(fit, 0, 1).r, 30);
  EXPECT_EQ(EvaluateAt(fit, 1, 1).r, 40);
  EXPECT_EQ(EvaluateAt(fit, 2, 1).r, 50);
  EXPECT_EQ(EvaluateAt(fit, 7, 9).b, 5);
}

TEST(TRGBLSM, QuadraticNeedsSixSpreadSamples) {
  TRGBLSM five(5, true);
  for (int i = 0; i < 5; ++i) five.AddSample(i, (i * 3) % 5, 50, 200, 200);
  EXPECT_FALSE(five.Solve());

  TRGBLSM column(12, true);
  for (int i = 0; i < 12; ++i) column.AddSample(3, i, 10, 10, 10);
  EXPECT_FALSE(column.Solve());

  TRGBLSM none(4, true);
  EXPECT_FALSE(none.Solve());
}

TEST(TRGBLSM, QuadraticReproducesASurfaceOnAGrid) {
  // 100 + 2x - 3y + xy on a 5 x 5 grid (byte samples cannot carry a 0.5 xy term exactly).
  TRGBLSM fit(25, true);
  for (int x = 0; x < 5; ++x) {
    for (int y = 0; y < 5; ++y) {
      const int v = 100 + 2 * x - 3 * y + x * y;
      fit.AddSample(x, y, static_cast<uint8_t>(v), static_cast<uint8_t>(255 - v), 7);
    }
  }
  ASSERT_TRUE(fit.Solve());
  for (int x = 0; x < 5; ++x) {
    for (int y = 0; y < 5; ++y) {
      const int v = 100 + 2 * x - 3 * y + x * y;
      const Rgb c = EvaluateAt(fit, x, y);
      EXPECT_EQ(c.r, v) << x << "," << y;
      EXPECT_EQ(c.g, 255 - v) << x << "," << y;
      EXPECT_EQ(c.b, 7);
    }
  }
}

TEST(TRGBLSM, EvaluateClampsThenRoundsHalfToEven) {
  // Four samples symmetric about the origin keep the normal matrix diagonal, so the
  // planes come out exact: R = 100 + 100x, G = 8 - 4x, B = 127.5 + x/2 + y/2 and,
  // through the centre, 126.5 for the second fit.
  TRGBLSM fit(4, false);
  fit.AddSample(-1, 0, 0, 12, 127);
  fit.AddSample(1, 0, 200, 4, 128);
  fit.AddSample(0, -1, 100, 8, 127);
  fit.AddSample(0, 1, 100, 8, 128);
  ASSERT_TRUE(fit.Solve());
  EXPECT_EQ(EvaluateAt(fit, 2, 0).r, 255);  // 300
  EXPECT_EQ(EvaluateAt(fit, 3, 0).g, 0);    // -4
  EXPECT_EQ(EvaluateAt(fit, 0, 0).b, 128);  // 127.5

  TRGBLSM down(4, false);
  down.AddSample(-1, 0, 126, 0, 0);
  down.AddSample(1, 0, 127, 0, 0);
  down.AddSample(0, -1, 126, 0, 0);
  down.AddSample(0, 1, 127, 0, 0);
  ASSERT_TRUE(down.Solve());
  EXPECT_EQ(EvaluateAt(down, 0, 0).r, 126);  // 126.5
}

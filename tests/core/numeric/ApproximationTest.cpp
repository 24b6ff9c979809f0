#include <gtest/gtest.h>

#include <vector>

#include "ApproximationBGRLSM2.h"
#include "ApproximationLSM2.h"
#include "ArgumentTransfer.h"
#include "LeastSquaresMethod2.h"

TEST(ArgumentTransfer, TermsOfEveryOrder) {
  // u = 2, v = 3: 1, u, v, uv, u^2, v^2, u^2 v, u v^2, u^3, v^3.
  const std::vector<double> full = {1, 2, 3, 6, 4, 9, 12, 18, 8, 27};
  const int counts[] = {1, 3, 4, 6, 8, 10};
  for (uint8_t order = 0; order <= 5; ++order) {
    TArgumentTransfer t(order);
    ASSERT_EQ(t.TermCount(), counts[order]);
    t.FillBasis(2, 3);
    EXPECT_EQ(t.Basis(), std::vector<double>(full.begin(), full.begin() + counts[order]))
        << "order " << int{order};
  }
  TArgumentTransfer beyond(6);
  EXPECT_EQ(beyond.TermCount(), 0);
  beyond.FillBasis(2, 3);
  EXPECT_EQ(beyond.Evaluate(full, 2, 3), 0);
}

TEST(Approximation, OrderZeroIsTheMean) {
  TApproximation a(3, 0);
  a.AddSample(0, 0, 1);
  a.AddSample(5, 1, 2);
  a.AddSample(2, 7, 3);
  ASSERT_TRUE(a.Solve());
  EXPECT_DOUBLE_EQ(a.Evaluate(0, 0), 2);
  EXPECT_DOUBLE_EQ(a.Evaluate(40, -3), 2);
}

TEST(Approximation, OrderOneReproducesAPlane) {
  TApproximation a(3, 1);
  const double points[3][2] = {{0, 0}, {4, 1}, {1, 5}};
  for (const auto& p : points) a.AddSample(p[0], p[1], 3 + 2 * p[0] - p[1]);
  ASSERT_TRUE(a.Solve());
  for (double u = -2; u <= 6; u += 2) {
    for (double v = -1; v <= 7; v += 4) EXPECT_NEAR(a.Evaluate(u, v), 3 + 2 * u - v, 1e-9);
  }
}

TEST(Approximation, CubicReproducesEveryTerm) {
  // A surface using all ten terms, sampled on a 6 x 6 grid, comes back exactly at the
  // samples and between them.
  const auto f = [](double u, double v) {
    return 5 - u + 2 * v + 0.5 * u * v - 0.25 * u * u + 0.75 * v * v + 0.1 * u * u * v -
           0.2 * u * v * v + 0.05 * u * u * u - 0.03 * v * v * v;
  };
  TApproximation a(36, 5);
  for (int u = 0; u < 6; ++u) {
    for (int v = 0; v < 6; ++v) a.AddSample(u, v, f(u, v));
  }
  ASSERT_TRUE(a.Solve());
  EXPECT_NEAR(a.Evaluate(2.5, 3.5), f(2.5, 3.5), 1e-8);
  EXPECT_NEAR(a.Evaluate(5, 0), f(5, 0), 1e-8);
}

TEST(Approximation, TooFewSamplesLeaveAZeroSurface) {
  TApproximation a(3, 2);
  a.AddSample(0, 0, 10);
  a.AddSample(1, 0, 20);
  a.AddSample(0, 1, 30);
  EXPECT_FALSE(a.Solve());
  EXPECT_EQ(a.Evaluate(0, 0), 0);
  EXPECT_EQ(a.Evaluate(1, 0), 0);
}

TEST(Approximation, RankDeficientFitStillSolves) {
  // Four samples on one line cannot fix a bilinear surface; the solver's
  // minimum-norm coefficients stand, and they still pass through the samples.
  TApproximation a(4, 2);
  for (int u = 0; u < 4; ++u) a.AddSample(u, 0, 10 + u);
  EXPECT_TRUE(a.Solve());
  EXPECT_NEAR(a.Evaluate(2, 0), 12, 1e-9);
}

TEST(Approximation, SamplesBeyondTheCapacityAreDropped) {
  TApproximation a(4, 0);
  for (int i = 0; i < 4; ++i) a.AddSample(i, 0, 8);
  a.AddSample(9, 9, 1000);
  EXPECT_EQ(a.Count(), 4);
  ASSERT_TRUE(a.Solve());
  EXPECT_DOUBLE_EQ(a.Evaluate(0, 0), 8);
}

TEST(Approximation, OrderAboveFiveIsAZeroSurface) {
  TApproximation a(10, 6);
  for (int i = 0; i < 10; ++i) a.AddSample(i, i % 3, 50);
  EXPECT_FALSE(a.Solve());
  EXPECT_EQ(a.Evaluate(1, 1), 0);
}

TEST(LSM2, EvaluateBeforeAnySolveIsZero) {
  TLSM2 lsm(8, 3);
  EXPECT_EQ(lsm.Evaluate({}, 3, 4), 0);
  const double given[] = {1, 1, 1, 0, 0, 0};
  EXPECT_EQ(lsm.Evaluate(given, 3, 4), 8) << "given coefficients are used as they are";
  const double shortList[] = {1, 2};
  EXPECT_EQ(lsm.Evaluate(shortList, 3, 4), 7) << "missing coefficients count as 0";
}

TEST(LSM2, SolveCopiesTheCoefficients) {
  TLSM2 lsm(3, 1);
  lsm.AddSample(0, 0, 1);
  lsm.AddSample(1, 0, 1);
  const double values[] = {4, 6, 9};
  double c[3] = {-1, -1, -1};
  EXPECT_FALSE(lsm.Solve(values, c)) << "two samples for three terms";
  EXPECT_EQ(c[0], -1);
  lsm.AddSample(0, 1, 1);
  EXPECT_FALSE(lsm.Solve(std::span<const double>(values, 2), c)) << "fewer values than samples";
  ASSERT_TRUE(lsm.Solve(values, c));
  EXPECT_NEAR(c[0], 4, 1e-12);
  EXPECT_NEAR(c[1], 2, 1e-12);
  EXPECT_NEAR(c[2], 5, 1e-12);
  EXPECT_NEAR(lsm.Evaluate({}, 1, 1), 11, 1e-12);
}

TEST(ApproximationBGR, ChannelsAreFittedApart) {
  TApproximationBGR a(9, 1);
  for (int u = 0; u < 3; ++u) {
    for (int v = 0; v < 3; ++v) a.AddSample(u, v, 7, 7, 7);
  }
  ASSERT_TRUE(a.Solve());
  double r, g, b;
  a.Evaluate(1.5, 0.5, r, g, b);
  EXPECT_EQ(r, g);
  EXPECT_EQ(g, b);
  EXPECT_NEAR(r, 7, 1e-12);

  TApproximationBGR planes(4, 1);
  const double points[4][2] = {{0, 0}, {2, 0}, {0, 2}, {2, 2}};
  for (const auto& p : points) planes.AddSample(p[0], p[1], p[0], p[1], 100 - p[0] - p[1]);
  ASSERT_TRUE(planes.Solve());
  planes.Evaluate(1, 3, r, g, b);
  EXPECT_NEAR(r, 1, 1e-12);
  EXPECT_NEAR(g, 3, 1e-12);
  EXPECT_NEAR(b, 96, 1e-12);
}

TEST(ApproximationBGR, FailedFitLeavesEveryChannelZero) {
  TApproximationBGR a(2, 2);
  a.AddSample(0, 0, 1, 2, 3);
  a.AddSample(1, 1, 1, 2, 3);
  a.AddSample(2, 2, 1, 2, 3);  // beyond the capacity
  EXPECT_EQ(a.Count(), 2);
  EXPECT_FALSE(a.Solve());
  double r = -1, g = -1, b = -1;
  a.Evaluate(0, 0, r, g, b);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 0);
}

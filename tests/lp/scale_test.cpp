// ScaleModel: the methods of Set Scale, the objective flag, the rounding to
// powers of two and the tolerance guard.
#include <gtest/gtest.h>

#include <cmath>

#include "lp/internal_form.h"
#include "lp/scale.h"
#include "model/store_ops.h"
#include "tests/model/fixture.h"

namespace kz::test {
namespace {

constexpr double kInf = 1e23;

ModelStore& loadUnscaled(AreaFixture& f, TestModel& t, TestModel::Arrays& x) {
  EXPECT_EQ(KZCLP(f.block(), "Set Scale No"), 0);
  x = t.arrays();
  EXPECT_EQ(f.load(x, t), 0) << f.block()->rc;
  return f.area().store;
}

bool powerOfTwo(double x) {
  int e;
  return std::frexp(x, &e) == 0.5;
}

TEST(Scale, SizeOfMagnitudes) {
  EXPECT_NEAR(scaleSize(1000.0, 0.001, true), std::sqrt(1000.0 / 16384.0) * std::sqrt(1000.0), 1e-12);
  EXPECT_EQ(scaleSize(4.0, 1.0, true), 2.0);
  EXPECT_EQ(scaleSize(1.0, 0.001, true), 1.0);
  EXPECT_EQ(scaleSize(0.0, 0.0, false), 1.0);
  EXPECT_EQ(powerOfTwoAbove(7.8), 8.0);
  EXPECT_EQ(powerOfTwoAbove(8.0), 8.0);
  EXPECT_EQ(powerOfTwoAbove(0.3), 0.5);
}

TEST(Scale, RowsOnly) {
  AreaFixture f;
  TestModel t(3);
  t.column(0, 10, {{1, 1000.0}, {2, 4.0}}).column(0, 10, {{1, 0.001}, {2, 4.0}}).row(1, -kInf, 5).row(2, -kInf, 5);
  TestModel::Arrays x;
  ModelStore& s = loadUnscaled(f, t, x);
  ASSERT_EQ(scaleModelWith(f.area(), 2, false), 0);
  EXPECT_EQ(s.scale[s.obj + 1], 1.0 / 8.0);  // size 7.8, rounded up to 8
  EXPECT_EQ(s.scale[s.obj + 2], 1.0 / 4.0);
  EXPECT_EQ(s.scale[s.obj], 1.0);  // the objective row is left out
  EXPECT_EQ(s.scale[1], 1.0);
  EXPECT_EQ(s.scale[2], 1.0);
  EXPECT_EQ(x.a[0], 125.0);
  EXPECT_EQ(s.rhs[s.obj + 1], 5.0 / 8.0);
  EXPECT_EQ(s.objScale, 1.0);
}

TEST(Scale, ColumnsOnly) {
  AreaFixture f;
  TestModel t(3);
  t.column(0, 10, {{0, 1.0}, {1, 1000.0}, {2, 100.0}}).column(0, 10, {{1, 1.0}, {2, 1.0}}).row(1, -kInf, 5);
  t.row(2, 1, 7);
  TestModel::Arrays x;
  ModelStore& s = loadUnscaled(f, t, x);
  ASSERT_EQ(scaleModelWith(f.area(), 3, false), 0);
  for (int32_t i = s.obj; i <= s.total; ++i) EXPECT_EQ(s.scale[i], 1.0);
  // Column 1 over the constraint rows only: size of {1000, 100}.
  EXPECT_EQ(s.scale[1], powerOfTwoAbove(scaleSize(1000.0, 100.0, true)));
  EXPECT_EQ(s.scale[2], 1.0);
  EXPECT_EQ(s.up[1], 10.0 * s.scale[1]);
  EXPECT_EQ(x.a[1], 1000.0 / s.scale[1]);
}

TEST(Scale, WellScaledMatrixKeepsFactorsOne) {
  for (int method : {1, 2, 3, 4, 5}) {
    AreaFixture f;
    TestModel t(3);
    t.column(0, 10, {{0, 1.0}, {1, 1.0}, {2, -1.0}}).column(0, 10, {{1, 1.0}, {2, 1.0}}).row(1, -kInf, 5);
    t.row(2, 1, 7);
    TestModel::Arrays x;
    ModelStore& s = loadUnscaled(f, t, x);
    ASSERT_EQ(scaleModelWith(f.area(), method, true), 0);
    for (int32_t i = 1; i <= s.total; ++i) EXPECT_EQ(s.scale[i], 1.0) << method << " " << i;
    EXPECT_EQ(s.objScale, 1.0);
  }
}

TEST(Scale, GeometricFactorsArePowersOfTwoAndBalance) {
  AreaFixture f;
  TestModel t(4);
  t.column(0, 10, {{0, 3.0}, {1, 1e4}, {2, 3e3}})
      .column(0, 10, {{1, 2e-3}, {3, 5e-4}})
      .column(0, 10, {{2, 7.0}, {3, 1e-2}})
      .row(1, -kInf, 5)
      .row(2, 1, 7)
      .row(3, 0, 9);
  TestModel::Arrays x;
  ModelStore& s = loadUnscaled(f, t, x);
  double before = 0, after = 0;
  auto spread = [&]() {
    double mx = 0, mn = HUGE_VAL;
    for (int32_t j = 1; j <= s.n; ++j)
      for (int32_t p = colBegin(s, j); p < colEnd(s, j); ++p)
        if (s.rownos[p] > 0) {
          mx = std::max(mx, std::fabs(s.a[p]));
          mn = std::min(mn, std::fabs(s.a[p]));
        }
    return mx / mn;
  };
  before = spread();
  ASSERT_EQ(scaleModelWith(f.area(), 1, false), 0);
  after = spread();
  EXPECT_LT(after, before / 100.0);
  for (int32_t i = 1; i <= s.total; ++i) EXPECT_TRUE(powerOfTwo(s.scale[i])) << i << " " << s.scale[i];
  // No factor below 2^-12 with the default tolerances.
  for (int32_t i = 1; i <= s.total; ++i) EXPECT_GE(s.scale[i], std::ldexp(1.0, -12)) << i;
  // The row-wise copy follows.
  for (int32_t r = 0; r < s.m; ++r)
    for (int32_t p = s.rowStart[r]; p < s.rowStart[r + 1]; ++p) {
      const int32_t j = s.rowCol[p];
      if (j > s.n) continue;
      for (int32_t q = colBegin(s, j); q < colEnd(s, j); ++q)
        if (s.rownos[q] == r) EXPECT_EQ(s.rowVal[p], s.a[q]);
    }
}

TEST(Scale, ObjectiveFlag) {
  auto run = [](bool objective) {
    AreaFixture f;
    TestModel t(2);
    t.column(0, 10, {{0, 1e6}, {1, 1.0}}).column(0, 10, {{0, 1e6}, {1, 1.0}}).row(1, -kInf, 5);
    TestModel::Arrays x;
    ModelStore& s = loadUnscaled(f, t, x);
    EXPECT_EQ(scaleModelWith(f.area(), 2, objective), 0);
    return std::make_pair(s.scale[s.obj], s.objScale);
  };
  EXPECT_EQ(run(false), std::make_pair(1.0, 1.0));
  auto [g, objScale] = run(true);
  EXPECT_LT(g, 1.0);
  EXPECT_EQ(objScale, 1.0 / g);
}

TEST(Scale, SmallUpperBoundRaisesTheFactor) {
  AreaFixture f;
  TestModel t(2);
  // Column 1 gets factor 2^-10 from its entry 0.001; times its upper bound
  // 1e-7 that is below the primal tolerance (rounded up: 2^-26), so the
  // factor doubles until it is not: 2^-2.
  t.column(0, 1e-7, {{1, 0.001}}).column(0, 10, {{1, 1.0}}).row(1, -kInf, 5);
  TestModel::Arrays x;
  ModelStore& s = loadUnscaled(f, t, x);
  ASSERT_EQ(scaleModelWith(f.area(), 3, false), 0);
  EXPECT_EQ(s.scale[1], 0.25);
  EXPECT_EQ(s.up[1], 0.25e-7);
}

TEST(Scale, RemoveScalingGivesTheUnscaledForm) {
  AreaFixture f;
  TestModel t(3);
  t.column(1, 10, {{0, 3.0}, {1, 1e4}, {2, 3e3}}).column(-4, -1, {{1, 2e-3}, {2, 5e-4}}).row(1, -kInf, 5);
  t.row(2, 1, 7);
  TestModel::Arrays x;
  ModelStore& s = loadUnscaled(f, t, x);
  const std::vector<double> a(x.a.begin(), x.a.end()), lo(s.lo, s.lo + s.total + 1), up(s.up, s.up + s.total + 1),
      rhs(s.rhs, s.rhs + s.total + 1);
  ASSERT_EQ(scaleModelWith(f.area(), 1, true), 0);
  removeScaling(f.area());
  for (size_t p = 0; p < a.size(); ++p) EXPECT_EQ(x.a[p], a[p]) << p;
  for (int32_t i = 1; i <= s.total; ++i) {
    EXPECT_EQ(s.lo[i], lo[i]) << i;
    EXPECT_EQ(s.up[i], up[i]) << i;
    EXPECT_EQ(s.rhs[i], rhs[i]) << i;
    EXPECT_EQ(s.scale[i], 1.0);
  }
}

}  // namespace
}  // namespace kz::test

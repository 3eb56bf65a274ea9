// For random small models: after the load (internal form and scaling), the
// stored bounds and coefficients read back as the caller's values, and the
// caller's arrays hold what they held, except where the store writes.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <vector>

#include "lp/internal_form.h"
#include "lp/scale.h"
#include "model/store_ops.h"
#include "tests/model/fixture.h"

namespace kz::test {
namespace {

double normalized(double v) {
  if (v <= -9.99e22) return -1e23;
  if (v >= 9.99e22) return 1e23;
  return v;
}

bool near(double x, double y) {
  x = normalized(x);
  y = normalized(y);
  if (std::fabs(x) >= 1e23 || std::fabs(y) >= 1e23) return x == y;
  return std::fabs(x - y) <= 1e-11 * (1.0 + std::fabs(y));
}

struct Generator {
  std::mt19937 rng;
  explicit Generator(unsigned seed) : rng(seed) {}
  double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }
  int pick(int k) { return std::uniform_int_distribution<int>(0, k - 1)(rng); }
  double magnitude() { return std::pow(10.0, uniform(-3.0, 3.0)) * (pick(2) ? 1.0 : -1.0); }

  TestModel model() {
    const int32_t m = 1 + pick(6), n = 1 + pick(8);
    TestModel t(m);
    for (int32_t j = 0; j < n; ++j) {
      std::vector<std::pair<int32_t, double>> e;
      for (int32_t r = 0; r < m; ++r)
        if (pick(2)) e.push_back({r, magnitude()});
      const double l = uniform(-50, 50), u = l + uniform(0.5, 80);
      int32_t st = 0;
      double lo, up;
      switch (pick(9)) {
        case 0: lo = 0; up = 1e23; break;
        case 1: lo = l; up = u; break;
        case 2: lo = -1e23; up = u; break;
        case 3: lo = l; up = 1e23; break;
        case 4: lo = -1e23; up = 1e23; break;
        case 5: lo = up = l; break;
        case 6: lo = -uniform(5, 9); up = lo + uniform(1, 3); break;  // mirrored: |up| < |lo|
        case 7: lo = std::floor(uniform(0, 3)); up = lo + pick(5); st = 0x4; break;
        default: lo = 0; up = 1; st = 0x4; break;
      }
      t.column(lo, up, e, st);
    }
    for (int32_t r = 1; r < m; ++r) {
      const double l = uniform(-100, 100), u = l + uniform(1, 100);
      switch (pick(5)) {
        case 0: t.row(r, l, 1e23); break;
        case 1: t.row(r, -1e23, u); break;
        case 2: t.row(r, l, l); break;
        case 3: t.row(r, l, u); break;
        default: t.row(r, -1e23, 1e23); break;
      }
    }
    return t;
  }
};

void checkLoadedModel(AreaFixture& f, const TestModel& t, const TestModel::Arrays& x, int base, bool copied,
                      const char* where) {
  ModelArea& a = f.area();
  const ModelStore& s = a.store;
  ASSERT_TRUE(s.loaded) << where;
  ASSERT_TRUE(s.internalForm) << where;
  // Bounds.
  for (int32_t j = 1; j <= t.n; ++j) {
    double L, U;
    callerColumnBounds(a, j, &L, &U);
    double wantU = t.colUp[j - 1];
    if ((t.colStatus[j - 1] & 0x4) && wantU > 9007199254740000.0) wantU = 1.0;
    EXPECT_TRUE(near(L, t.colLo[j - 1])) << where << " column " << j << " lower " << L << " vs " << t.colLo[j - 1];
    EXPECT_TRUE(near(U, wantU)) << where << " column " << j << " upper " << U << " vs " << wantU;
  }
  for (int32_t r = 1; r < t.m; ++r) {
    double L, U;
    callerRowBounds(a, s.obj + r, &L, &U);
    EXPECT_TRUE(near(L, t.rowLo[r])) << where << " row " << r << " lower " << L << " vs " << t.rowLo[r];
    EXPECT_TRUE(near(U, t.rowUp[r])) << where << " row " << r << " upper " << U << " vs " << t.rowUp[r];
  }
  // Coefficients, column-wise and row-wise.
  std::map<std::pair<int32_t, int32_t>, double> caller;
  for (int32_t j = 0; j < t.n; ++j)
    for (int32_t p = t.colptr[j]; p < t.colptr[j + 1]; ++p) caller[{t.rownos[p], j + 1}] = t.a[p];
  for (int32_t j = 1; j <= t.n; ++j) {
    const double sign = (s.kind[j] & kKindMirrored) ? -1.0 : 1.0;
    for (int32_t p = colBegin(s, j); p < colEnd(s, j); ++p) {
      const int32_t r = s.rownos[p];
      const double v = sign * unscaleEntry(s, j, s.obj + r, s.a[p]);
      EXPECT_TRUE(near(v, caller.at({r, j}))) << where << " entry " << r << "," << j;
    }
  }
  int64_t rowEntries = 0;
  for (int32_t r = 0; r < t.m; ++r)
    for (int32_t p = s.rowStart[r]; p < s.rowStart[r + 1]; ++p) {
      const int32_t j = s.rowCol[p];
      if (j > t.n) {
        EXPECT_EQ(j, s.obj + r) << where;
        EXPECT_EQ(std::fabs(s.rowVal[p]), 1.0) << where;
        EXPECT_EQ(s.rowVal[p], s.a[colBegin(s, j)]) << where << " logical of row " << r;
        continue;
      }
      ++rowEntries;
      const double sign = (s.kind[j] & kKindMirrored) ? -1.0 : 1.0;
      EXPECT_TRUE(near(sign * unscaleEntry(s, j, s.obj + r, s.rowVal[p]), caller.at({r, j}))) << where;
    }
  EXPECT_EQ(rowEntries, static_cast<int64_t>(t.a.size())) << where;

  // The caller's arrays.
  const size_t nnz = t.a.size();
  for (size_t i = 0; i < t.colLo.size(); ++i) {
    EXPECT_EQ(x.bndmin[i], t.colLo[i]) << where;
    EXPECT_EQ(x.bndmax[i], t.colUp[i]) << where;
    EXPECT_EQ(x.status[i], t.colStatus[i]) << where;
  }
  for (int32_t r = 0; r < t.m; ++r) {
    EXPECT_EQ(x.bndmin[t.n + r], t.rowLo[r]) << where;
    EXPECT_EQ(x.bndmax[t.n + r], t.rowUp[r]) << where;
    EXPECT_EQ(x.status[t.n + r], r == 0 ? 0 : t.rowStatus[r]) << where;
  }
  for (int32_t j = 0; j <= t.n; ++j) EXPECT_EQ(x.colptr[j], t.colptr[j] + base) << where;
  for (size_t p = 0; p < nnz; ++p) {
    EXPECT_EQ(x.rownos[p], t.rownos[p]) << where;
    if (copied) {
      EXPECT_EQ(x.a[p], t.a[p]) << where;
    }
  }
  if (copied) {
    for (size_t p = nnz; p < x.a.size(); ++p) EXPECT_EQ(x.a[p], -777.0) << where;
    for (size_t k = t.n + 1; k < x.colptr.size(); ++k) EXPECT_EQ(x.colptr[k], -777) << where;
  } else {
    // Scaled and mirrored in place (powers of two: exactly), logicals appended.
    for (int32_t j = 1; j <= t.n; ++j) {
      const double sign = (s.kind[j] & kKindMirrored) ? -1.0 : 1.0;
      for (int32_t p = t.colptr[j - 1]; p < t.colptr[j]; ++p)
        EXPECT_EQ(x.a[p], sign * t.a[p] * s.scale[s.obj + t.rownos[p]] / s.scale[j]) << where;
    }
    for (int32_t r = 0; r < t.m; ++r) EXPECT_EQ(x.rownos[nnz + r], r) << where;
    EXPECT_EQ(x.a[nnz + t.m], -777.0) << where;
  }
}

TEST(LoadProperty, StoredValuesReadBackAsTheCallersValues) {
  for (int base : {0, 1}) {
    for (unsigned seed = 1; seed <= 150; ++seed) {
      Generator gen(seed * 7919u + base);
      TestModel t = gen.model();
      AreaFixture f(base == 1 ? 1 : 0);
      auto x = t.arrays(base);
      char where[64];
      std::snprintf(where, sizeof where, "base %d seed %u", base, seed);
      ASSERT_EQ(f.load(x, t), 0) << where << " rc " << f.block()->rc;
      checkLoadedModel(f, t, x, base, false, where);
      if (HasFailure()) return;
    }
  }
}

TEST(LoadProperty, CopyDataLeavesTheCallersArraysAlone) {
  for (unsigned seed = 1; seed <= 60; ++seed) {
    Generator gen(seed * 104729u);
    TestModel t = gen.model();
    AreaFixture f;
    ASSERT_EQ(KZCLP(f.block(), "Set COPYDATA Yes"), 0);
    auto x = t.arrays();
    char where[64];
    std::snprintf(where, sizeof where, "copy seed %u", seed);
    ASSERT_EQ(f.load(x, t), 0) << where << " rc " << f.block()->rc;
    EXPECT_TRUE(f.area().store.copied);
    EXPECT_NE(f.area().store.a, x.a.data());
    checkLoadedModel(f, t, x, 0, true, where);
    if (HasFailure()) return;
  }
}

TEST(LoadProperty, ScalingOffLeavesFactorsOne) {
  Generator gen(42);
  TestModel t = gen.model();
  AreaFixture f;
  ASSERT_EQ(KZCLP(f.block(), "Set Scale No"), 0);
  auto x = t.arrays();
  ASSERT_EQ(f.load(x, t), 0);
  const ModelStore& s = f.area().store;
  for (int32_t i = 1; i <= s.total; ++i) EXPECT_EQ(s.scale[i], 1.0);
  EXPECT_FALSE(s.scaled);
  checkLoadedModel(f, t, x, 0, false, "unscaled");
}

}  // namespace
}  // namespace kz::test

namespace kz::test {
namespace {

// Every pool size from too small to enough: a load that runs out of work
// memory fails with 306 and leaves the caller's coefficients as they were,
// even when it failed after scaling and mirroring them in place.
TEST(LoadProperty, OutOfMemoryAtEveryStepLeavesTheCallersArrays) {
  TestModel t(4);
  for (int32_t j = 0; j < 150; ++j) {
    const double big = j % 2 ? 1e4 : 1e-3;
    if (j % 3 == 0)
      t.column(-8, -1, {{0, 1.0}, {1, big}, {3, 2.0}});
    else
      t.column(0, 5, {{1, 1.0}, {2, big}}, 0x4);
  }
  t.row(1, -1e23, 8.0).row(2, 1.0, 6.0).row(3, -5.0, 5.0);
  int failedAfterTheInternalForm = 0, loaded = 0;
  for (int32_t useK = 1; useK <= 80 && loaded < 3; ++useK) {
    AreaFixture f(0, useK);
    ASSERT_TRUE(f.ok()) << useK;
    auto x = t.arrays();
    const int16_t fv = f.load(x, t);
    if (fv == 0) {
      ++loaded;
      continue;
    }
    ASSERT_EQ(f.block()->rc, 306) << useK;
    if (f.area().store.logicalsAppended) ++failedAfterTheInternalForm;
    for (size_t p = 0; p < t.a.size(); ++p) ASSERT_EQ(x.a[p], t.a[p]) << "pool " << useK << "K, entry " << p;
  }
  EXPECT_GT(loaded, 0);
  EXPECT_GT(failedAfterTheInternalForm, 0);
}

}  // namespace
}  // namespace kz::test

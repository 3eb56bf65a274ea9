#include "lp/lu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <vector>

namespace kz::lu {
namespace {

// A basis whose columns can be replaced, as the simplex does.
class TestBasis : public LuColumns {
 public:
  explicit TestBasis(int32_t m) : m_(m), rows_(m + 1), vals_(m + 1) {}
  int32_t m() const { return m_; }
  void set(int32_t p, std::vector<int32_t> rows, std::vector<double> vals) {
    rows_[p] = std::move(rows);
    vals_[p] = std::move(vals);
  }
  void unit(int32_t p, int32_t row, double v = 1.0) { set(p, {row}, {v}); }
  const std::vector<int32_t>& rows(int32_t p) const { return rows_[p]; }
  const std::vector<double>& vals(int32_t p) const { return vals_[p]; }
  int32_t column(int32_t p, const int32_t*& rows,
                 const double*& vals) const override {
    rows = rows_[p].data();
    vals = vals_[p].data();
    return int32_t(rows_[p].size());
  }
  // Dense B: b[i][p].
  std::vector<std::vector<double>> dense() const {
    std::vector<std::vector<double>> b(m_ + 1, std::vector<double>(m_ + 1));
    for (int32_t p = 1; p <= m_; ++p)
      for (size_t t = 0; t < rows_[p].size(); ++t)
        b[rows_[p][t]][p] += vals_[p][t];
    return b;
  }

 private:
  int32_t m_;
  std::vector<std::vector<int32_t>> rows_;
  std::vector<std::vector<double>> vals_;
};

TestBasis fromDense(const std::vector<std::vector<double>>& a) {
  const int32_t m = int32_t(a.size());
  TestBasis b(m);
  for (int32_t p = 1; p <= m; ++p) {
    std::vector<int32_t> r;
    std::vector<double> v;
    for (int32_t i = 1; i <= m; ++i) {
      if (a[i - 1][p - 1] != 0.0) {
        r.push_back(i);
        v.push_back(a[i - 1][p - 1]);
      }
    }
    b.set(p, r, v);
  }
  return b;
}

struct Work {
  std::vector<double> v;
  std::vector<int32_t> i;
  explicit Work(int64_t n) : v(size_t(n)), i(size_t(n)) {}
  LuWorkArea area() { return {v.data(), i.data(), int64_t(v.size())}; }
};

int64_t nnzOf(const TestBasis& b) {
  int64_t n = 0;
  for (int32_t p = 1; p <= b.m(); ++p) n += int64_t(b.rows(p).size());
  return n;
}

// a = B x (x by position, a by row), exactly as the matrix says.
std::vector<double> times(const TestBasis& b, const std::vector<double>& x) {
  std::vector<double> a(b.m() + 1);
  for (int32_t p = 1; p <= b.m(); ++p)
    for (size_t t = 0; t < b.rows(p).size(); ++t)
      a[b.rows(p)[t]] += b.vals(p)[t] * x[p];
  return a;
}
// c = y B (y by row, c by position).
std::vector<double> timesLeft(const TestBasis& b, const std::vector<double>& y) {
  std::vector<double> c(b.m() + 1);
  for (int32_t p = 1; p <= b.m(); ++p)
    for (size_t t = 0; t < b.rows(p).size(); ++t)
      c[p] += y[b.rows(p)[t]] * b.vals(p)[t];
  return c;
}

double ftranRes(const TestBasis& b, const std::vector<double>& x,
                const std::vector<double>& a) {
  std::vector<double> scratch(2 * (b.m() + 1));
  return ftranResidual(b.m(), b, x.data(), a.data(), scratch.data());
}

// The index list must be exactly the nonzeros of v.
void expectListExact(const std::vector<double>& v, const int32_t* idx,
                     int32_t n) {
  std::set<int32_t> listed(idx, idx + n);
  EXPECT_EQ(listed.size(), size_t(n)) << "duplicates in the index list";
  for (size_t k = 1; k < v.size(); ++k)
    EXPECT_EQ(v[k] != 0.0, listed.count(int32_t(k)) == 1) << "entry " << k;
}

// ---------------------------------------------------------------------------
// Hand-built cases with exact answers.

TEST(LuExact, SlackBasisFactorsInTheTriangularPhases) {
  // Identity and a permuted identity (position p holds the unit of row
  // sigma(p), with a sign).
  const int32_t m = 6;
  const int32_t sigma[m + 1] = {0, 4, 1, 6, 2, 5, 3};
  for (bool permuted : {false, true}) {
    TestBasis b(m);
    for (int32_t p = 1; p <= m; ++p)
      b.unit(p, permuted ? sigma[p] : p, permuted && p % 2 ? -1.0 : 1.0);
    Work w(1000);
    LuFactor lu;
    ASSERT_EQ(lu.factorize(m, b, w.area()), kLuOk);
    EXPECT_EQ(lu.triangularPivots(), m);
    EXPECT_EQ(lu.bumpPivots(), 0);
    EXPECT_EQ(lu.nnzL() + lu.nnzU(), 0);
    std::vector<double> a = {0, 3, 0, -1.5, 0, 0, 8};
    std::vector<double> x = a;
    ASSERT_TRUE(lu.ftran(x.data()));
    for (int32_t p = 1; p <= m; ++p) {
      int32_t row = permuted ? sigma[p] : p;
      double sign = permuted && p % 2 ? -1.0 : 1.0;
      EXPECT_EQ(x[p], sign * a[row]) << p;
    }
    expectListExact(x, lu.resultIndex(), lu.resultCount());
  }
}

// Triangular bases under row and column permutations; dyadic entries keep
// every operation exact.
TEST(LuExact, PermutedTriangular) {
  const int32_t m = 5;
  const std::vector<std::vector<double>> upper = {{2, 1, 0, -0.5, 1},
                                                  {0, -1, 0.5, 0, 2},
                                                  {0, 0, 4, 1, 0},
                                                  {0, 0, 0, 0.5, -1},
                                                  {0, 0, 0, 0, 1}};
  const int32_t rp[m] = {2, 4, 0, 3, 1}, cp[m] = {3, 0, 4, 1, 2};
  for (bool lower : {false, true}) {
    std::vector<std::vector<double>> a(m, std::vector<double>(m));
    for (int32_t i = 0; i < m; ++i)
      for (int32_t j = 0; j < m; ++j)
        a[rp[i]][cp[j]] = lower ? upper[j][i] : upper[i][j];
    TestBasis b = fromDense(a);
    Work w(1000);
    LuFactor lu;
    ASSERT_EQ(lu.factorize(m, b, w.area()), kLuOk);
    EXPECT_EQ(lu.triangularPivots(), m);
    const std::vector<double> x0 = {0, 1, -2, 3, 0.5, -4};
    std::vector<double> x = times(b, x0);
    ASSERT_TRUE(lu.ftran(x.data()));
    for (int32_t p = 1; p <= m; ++p) EXPECT_EQ(x[p], x0[p]) << p;
    const std::vector<double> y0 = {0, 2, 0, -1, 0.25, 3};
    std::vector<double> y = timesLeft(b, y0);
    ASSERT_TRUE(lu.btran(y.data()));
    for (int32_t i = 1; i <= m; ++i) EXPECT_EQ(y[i], y0[i]) << i;
  }
}

TEST(LuExact, DenseBumpThreeByThree) {
  TestBasis b = fromDense({{4, 1, 2}, {1, 3, 1}, {2, 1, 5}});
  Work w(1000);
  LuFactor lu;
  ASSERT_EQ(lu.factorize(3, b, w.area()), kLuOk);
  EXPECT_EQ(lu.triangularPivots(), 0);
  EXPECT_EQ(lu.bumpPivots(), 3);
  std::vector<double> x = {0, 12, 10, 19};
  ASSERT_TRUE(lu.ftran(x.data()));
  EXPECT_NEAR(x[1], 1, 1e-14);
  EXPECT_NEAR(x[2], 2, 1e-14);
  EXPECT_NEAR(x[3], 3, 1e-14);
  std::vector<double> y = {0, 7, 0, 11};
  ASSERT_TRUE(lu.btran(y.data()));
  EXPECT_NEAR(y[1], 1, 1e-14);
  EXPECT_NEAR(y[2], -1, 1e-14);
  EXPECT_NEAR(y[3], 2, 1e-14);
}

// Two identical columns: one position and one row stay unpivoted; the
// logical of that row takes the position, and the factors already describe
// that repaired basis.
TEST(LuExact, IdenticalColumnsAreRepairedWithTheRowLogical) {
  const int32_t m = 4;
  TestBasis b(m);
  b.set(1, {1, 2}, {1, 2});
  b.set(2, {1, 2}, {1, 2});
  b.set(3, {2, 3}, {1, 1});
  b.set(4, {1, 4}, {-1, 1});
  Work w(1000);
  LuFactor lu;
  ASSERT_EQ(lu.factorize(m, b, w.area()), kLuSingular);
  ASSERT_EQ(lu.singularCount(), 1);
  const int32_t pos = lu.singularPositions()[0];
  const int32_t row = lu.singularRows()[0];
  EXPECT_TRUE(pos == 1 || pos == 2);
  EXPECT_TRUE(row == 1 || row == 2);

  int32_t basisVar[m + 1] = {0, 11, 12, 13, 14};
  const int32_t logical[m + 1] = {0, 101, 102, 103, 104};
  int32_t leaving[1] = {0};
  EXPECT_EQ(repairSingularBasis(lu, basisVar, logical, leaving), 1);
  EXPECT_EQ(leaving[0], 10 + pos);
  EXPECT_EQ(basisVar[pos], 100 + row);
  EXPECT_EQ(basisVar[3 - pos], 10 + (3 - pos));

  TestBasis repaired = b;
  repaired.unit(pos, row);
  const std::vector<double> x0 = {0, 1, 2, 3, 4};
  std::vector<double> x = times(repaired, x0);
  ASSERT_TRUE(lu.ftran(x.data()));  // the singular result's factors
  for (int32_t p = 1; p <= m; ++p) EXPECT_NEAR(x[p], x0[p], 1e-14) << p;

  LuFactor lu2;
  ASSERT_EQ(lu2.factorize(m, repaired, w.area()), kLuOk);
  x = times(repaired, x0);
  ASSERT_TRUE(lu2.ftran(x.data()));
  for (int32_t p = 1; p <= m; ++p) EXPECT_NEAR(x[p], x0[p], 1e-14) << p;
}

// Columns that are empty, or hold only entries at most tranEntry, leave their
// position unpivoted; tiny entries of a regular basis and of a right-hand
// side are ignored.
TEST(LuExact, ZeroAndTinyColumnsAreSingular) {
  for (double v : {0.0, 1e-14, -1e-13}) {
    const int32_t m = 3;
    TestBasis b(m);
    b.set(1, {1, 3}, {1, 1});
    if (v == 0.0) b.set(2, {}, {});
    else b.set(2, {2}, {v});
    b.unit(3, 3);
    Work w(1000);
    LuFactor lu;
    ASSERT_EQ(lu.factorize(m, b, w.area()), kLuSingular) << v;
    ASSERT_EQ(lu.singularCount(), 1);
    EXPECT_EQ(lu.singularPositions()[0], 2);
    EXPECT_EQ(lu.singularRows()[0], 2);
  }
  TestBasis b(2);
  b.set(1, {1, 2}, {1, 1e-14});
  b.unit(2, 2);
  Work w(100);
  LuFactor lu;
  ASSERT_EQ(lu.factorize(2, b, w.area()), kLuOk);
  EXPECT_EQ(lu.nnzL() + lu.nnzU(), 0);
  std::vector<double> x = {0, 1, 1};
  ASSERT_TRUE(lu.ftran(x.data()));
  EXPECT_EQ(x[1], 1.0);
  EXPECT_EQ(x[2], 1.0);
  x = {0, 1e-14, 0};
  ASSERT_TRUE(lu.ftran(x.data()));
  EXPECT_EQ(x[1], 0.0);
  EXPECT_EQ(lu.resultCount(), 0);
}

TEST(LuExact, BadInputIsRejected) {
  struct Case {
    std::vector<int32_t> rows;
    std::vector<double> vals;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {{{0}, {1.0}},
                        {{3}, {1.0}},
                        {{1, 1}, {1.0, 2.0}},
                        {{2}, {nan}},
                        {{2}, {std::numeric_limits<double>::infinity()}}};
  for (const Case& c : cases) {
    TestBasis b(2);
    b.unit(1, 1);
    b.set(2, c.rows, c.vals);
    Work w(100);
    LuFactor lu;
    EXPECT_EQ(lu.factorize(2, b, w.area()), kLuBadInput);
    EXPECT_FALSE(lu.valid());
    std::vector<double> x = {0, 1, 1};
    EXPECT_FALSE(lu.ftran(x.data()));
    EXPECT_EQ(x[1], 1.0);
  }
  TestBasis b(1);
  b.unit(1, 1);
  LuFactor lu;
  EXPECT_EQ(lu.factorize(-1, b, LuWorkArea{}), kLuBadInput);
  EXPECT_EQ(lu.factorize(1, b, LuWorkArea{}), kLuBadInput);
  Work w(10);
  EXPECT_EQ(lu.factorize(0, b, w.area()), kLuOk);
}

TEST(LuExact, EtaCompressionAndTheBasicValueStep) {
  const int32_t m = 4;
  TestBasis b(m);
  for (int32_t p = 1; p <= m; ++p) b.unit(p, p);
  Work w(1000);
  LuFactor lu;
  ASSERT_EQ(lu.factorize(m, b, w.area()), kLuOk);
  // alpha_1 = 1e6: the keep threshold is 1e6 * tranEntry, so 1e-9 goes.
  const int32_t rows[] = {1, 2, 3};
  const double vals[] = {1e6, 1e-9, 1.0};
  std::vector<double> x(m + 1);
  std::vector<int32_t> idx(m);
  int32_t n = 0;
  ASSERT_TRUE(lu.ftranColumn(rows, vals, 3, x.data(), idx.data(), n));
  EXPECT_EQ(n, 3);
  std::vector<double> xB = {0, 7, 5, 3e-6 + 1e-20, 9};
  lu.stepBasicValues(xB.data(), 1, 3e-6);
  EXPECT_EQ(xB[1], 3e-6);
  EXPECT_EQ(xB[2], 5 - 3e-6 * 1e-9);
  EXPECT_EQ(xB[3], 0.0);  // below tranEntry after the step
  EXPECT_EQ(xB[4], 9);
  ASSERT_EQ(lu.update(1), kLuUpdated);
  EXPECT_EQ(lu.etaEntries(), 2);
  EXPECT_EQ(lu.update(1), kLuUpdateRejected);  // the candidate is used up

  // The new basis [a, e2, e3, e4] without the dropped entry.
  std::vector<double> y = {0, 1, 0, 0, 0};
  ASSERT_TRUE(lu.ftran(y.data(), 0, false));
  EXPECT_EQ(y[1], 1e-6);
  EXPECT_EQ(y[2], 0.0);
  EXPECT_EQ(y[3], -1e-6);
}

TEST(LuExact, UpdateRejectsWhatItCannotAppend) {
  const int32_t m = 3;
  TestBasis b(m);
  for (int32_t p = 1; p <= m; ++p) b.unit(p, p);
  Work w(1000);
  LuFactor lu;
  ASSERT_EQ(lu.factorize(m, b, w.area()), kLuOk);
  EXPECT_EQ(lu.update(1), kLuUpdateRejected);  // no candidate
  ASSERT_EQ(lu.factorize(m, b, w.area()), kLuOk);
  std::vector<double> x = {0, 1, 1, 0};
  ASSERT_TRUE(lu.ftran(x.data()));
  EXPECT_EQ(lu.update(3), kLuUpdateRejected);  // alpha_3 = 0
  EXPECT_TRUE(lu.refactorNeeded());
  ASSERT_EQ(lu.factorize(m, b, w.area()), kLuOk);
  ASSERT_TRUE(lu.ftran(x.data()));
  EXPECT_EQ(lu.update(0), kLuUpdateRejected);
  EXPECT_EQ(lu.update(4), kLuUpdateRejected);
}

// ---------------------------------------------------------------------------
// Random bases.

struct Gen {
  std::mt19937 g;
  explicit Gen(unsigned seed) : g(seed) {}
  double uni(double a, double b) {
    return std::uniform_real_distribution<double>(a, b)(g);
  }
  int32_t pick(int32_t a, int32_t b) {
    return std::uniform_int_distribution<int32_t>(a, b)(g);
  }
  // A column with a large entry at row `diag` and k - 1 entries elsewhere;
  // near: the other rows lie within a band around diag (most of them).
  void column(int32_t m, int32_t diag, int32_t k, std::vector<int32_t>& r,
              std::vector<double>& v) {
    r.assign(1, diag);
    v.assign(1, (pick(0, 1) ? 1 : -1) * uni(1.0, 2.0));
    for (int32_t t = 1; t < k; ++t) {
      int32_t i = pick(1, m);
      if (std::find(r.begin(), r.end(), i) != r.end()) continue;
      r.push_back(i);
      v.push_back(uni(-1.0, 1.0));
    }
  }
  // Slack share s; structural columns with kLo..kHi entries.
  TestBasis basis(int32_t m, double s, int32_t kLo, int32_t kHi) {
    std::vector<int32_t> perm(m);
    for (int32_t i = 0; i < m; ++i) perm[i] = i + 1;
    std::shuffle(perm.begin(), perm.end(), g);
    TestBasis b(m);
    std::vector<int32_t> r;
    std::vector<double> v;
    for (int32_t p = 1; p <= m; ++p) {
      if (uni(0, 1) < s) {
        b.unit(p, perm[p - 1]);
      } else {
        column(m, perm[p - 1], pick(kLo, kHi), r, v);
        b.set(p, r, v);
      }
    }
    return b;
  }
  std::vector<double> vec(int32_t m, int32_t nnz) {
    std::vector<double> a(m + 1);
    for (int32_t t = 0; t < nnz; ++t) a[pick(1, m)] = uni(-3, 3);
    return a;
  }
};

struct RandomCase {
  int32_t m;
  double slack;
  int32_t kLo, kHi;
};

class LuRandom : public ::testing::TestWithParam<RandomCase> {};

// Residuals after factorization for sparse and dense right-hand sides, the
// index lists, and the same results from the graph search and the loops.
TEST_P(LuRandom, SolvesAfterFactorization) {
  const RandomCase rc = GetParam();
  Gen gen(1234u + unsigned(rc.m));
  TestBasis b = gen.basis(rc.m, rc.slack, rc.kLo, rc.kHi);
  Work w(30 * (nnzOf(b) + rc.m) + 1000);
  LuFactor lu, dense;
  LuOptions o;
  o.hypersparse = false;
  dense.setOptions(o);
  int st = lu.factorize(rc.m, b, w.area());
  ASSERT_TRUE(st == kLuOk || st == kLuSingular);
  if (st == kLuSingular)
    for (int32_t k = 0; k < lu.singularCount(); ++k)
      b.unit(lu.singularPositions()[k], lu.singularRows()[k]);
  ASSERT_EQ(lu.factorize(rc.m, b, w.area()), kLuOk);
  Work w2(30 * (nnzOf(b) + rc.m) + 1000);
  ASSERT_EQ(dense.factorize(rc.m, b, w2.area()), kLuOk);
  for (int32_t nz : {1, 2, 5, rc.m / 3, rc.m}) {
    std::vector<double> a = gen.vec(rc.m, nz);
    std::vector<double> x = a, xd = a;
    ASSERT_TRUE(lu.ftran(x.data()));
    ASSERT_TRUE(dense.ftran(xd.data()));
    EXPECT_LT(ftranRes(b, x, a), 1e-10) << "nz " << nz;
    expectListExact(x, lu.resultIndex(), lu.resultCount());
    for (int32_t p = 1; p <= rc.m; ++p)
      ASSERT_NEAR(x[p], xd[p], 1e-10 * (1 + std::fabs(xd[p])));
    std::vector<double> c = gen.vec(rc.m, nz);
    std::vector<double> y = c, yd = c;
    ASSERT_TRUE(lu.btran(y.data()));
    ASSERT_TRUE(dense.btran(yd.data()));
    EXPECT_LT(btranResidual(rc.m, b, y.data(), c.data()), 1e-10);
    expectListExact(y, lu.resultIndex(), lu.resultCount());
    for (int32_t i = 1; i <= rc.m; ++i)
      ASSERT_NEAR(y[i], yd[i], 1e-10 * (1 + std::fabs(yd[i])));
  }
}

// Hundreds of column replacements through update, refactorizing whenever
// update asks, with the basic values carried by stepBasicValues.
TEST_P(LuRandom, LongUpdateSequence) {
  const RandomCase rc = GetParam();
  const int32_t m = rc.m;
  Gen gen(99u + unsigned(m));
  TestBasis b = gen.basis(m, rc.slack, rc.kLo, rc.kHi);
  Work w(12 * (nnzOf(b) + m) + 20 * m);
  LuFactor lu;
  LuOptions o;
  o.reInvert = 60;
  lu.setOptions(o);
  auto factor = [&]() {
    int st = lu.factorize(m, b, w.area());
    if (st == kLuSingular) {
      for (int32_t k = 0; k < lu.singularCount(); ++k)
        b.unit(lu.singularPositions()[k], lu.singularRows()[k]);
      st = lu.factorize(m, b, w.area());
    }
    ASSERT_EQ(st, kLuOk);
  };
  factor();
  const std::vector<double> rhs = gen.vec(m, m);
  std::vector<double> xB = rhs;
  ASSERT_TRUE(lu.ftran(xB.data(), 0, false));
  std::vector<double> alpha(m + 1);
  std::vector<int32_t> idx(m);
  int refactors = 0;
  const int steps = m >= 2000 ? 300 : 400;
  for (int step = 0; step < steps; ++step) {
    std::vector<int32_t> r;
    std::vector<double> v;
    if (gen.uni(0, 1) < 0.2) {
      r = {gen.pick(1, m)};
      v = {1.0};
    } else {
      gen.column(m, gen.pick(1, m), gen.pick(rc.kLo, rc.kHi), r, v);
    }
    int32_t n = 0;
    ASSERT_TRUE(lu.ftranColumn(r.data(), v.data(), int32_t(r.size()),
                               alpha.data(), idx.data(), n));
    double amax = 0;
    for (int32_t t = 0; t < n; ++t) amax = std::max(amax, std::fabs(alpha[idx[t]]));
    std::vector<int32_t> good;
    for (int32_t t = 0; t < n; ++t)
      if (std::fabs(alpha[idx[t]]) >= 0.1 * amax) good.push_back(idx[t]);
    if (good.empty()) {
      for (int32_t t = 0; t < n; ++t) alpha[idx[t]] = 0.0;
      continue;
    }
    const int32_t leave = good[size_t(gen.pick(0, int32_t(good.size()) - 1))];
    const double theta = xB[leave] / alpha[leave];
    for (int32_t t = 0; t < n; ++t) alpha[idx[t]] = 0.0;
    lu.stepBasicValues(xB.data(), leave, theta);
    int u = lu.update(leave);
    ASSERT_NE(u, kLuUpdateRejected);
    b.set(leave, r, v);
    if (u == kLuUpdatedRefactor) {
      ++refactors;
      factor();
      xB = rhs;
      ASSERT_TRUE(lu.ftran(xB.data(), 0, false));
    }
    EXPECT_LE(lu.updatesSinceFactor(), lu.effectiveReInvert());
    if (step % 37 == 0 || step == steps - 1) {
      EXPECT_LT(ftranRes(b, xB, rhs), 1e-8) << "step " << step;
      std::vector<double> a = gen.vec(m, 3), x = a;
      ASSERT_TRUE(lu.ftran(x.data(), 0, false));
      EXPECT_LT(ftranRes(b, x, a), 1e-9) << "step " << step;
      expectListExact(x, lu.resultIndex(), lu.resultCount());
      std::vector<double> c = gen.vec(m, 3), y = c;
      ASSERT_TRUE(lu.btran(y.data()));
      EXPECT_LT(btranResidual(m, b, y.data(), c.data()), 1e-9);
      c = gen.vec(m, m);
      y = c;
      ASSERT_TRUE(lu.btran(y.data()));
      EXPECT_LT(btranResidual(m, b, y.data(), c.data()), 1e-9);
    }
  }
  EXPECT_GT(refactors, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, LuRandom,
    ::testing::Values(RandomCase{50, 0.3, 2, 5}, RandomCase{50, 0.0, 3, 8},
                      RandomCase{500, 0.5, 3, 10}, RandomCase{500, 0.1, 2, 4},
                      RandomCase{5000, 0.7, 3, 10},
                      RandomCase{5000, 0.5, 2, 5}));

// ---------------------------------------------------------------------------
// Transposed copies: built for sparse factors, not when the bump fills in;
// solves agree either way.
TEST(LuCopies, TwentyEightPercentRule) {
  Gen gen(7);
  TestBasis sparse = gen.basis(400, 0.6, 2, 4);
  TestBasis fillHeavy = gen.basis(300, 0.0, 4, 6);
  for (TestBasis* b : {&sparse, &fillHeavy}) {
    Work w(60 * (nnzOf(*b) + b->m()));
    LuFactor lu;
    ASSERT_EQ(lu.factorize(b->m(), *b, w.area()), kLuOk);
    const bool expectCopies = b == &sparse;
    EXPECT_EQ(lu.fill() < 0.28 * double(lu.nnzB()), expectCopies);
    EXPECT_EQ(lu.transposedCopies(), expectCopies);
    for (int32_t nz : {1, 4, b->m()}) {
      std::vector<double> a = gen.vec(b->m(), nz), x = a;
      ASSERT_TRUE(lu.ftran(x.data()));
      EXPECT_LT(ftranRes(*b, x, a), 1e-10);
      std::vector<double> c = gen.vec(b->m(), nz), y = c;
      ASSERT_TRUE(lu.btran(y.data()));
      EXPECT_LT(btranResidual(b->m(), *b, y.data(), c.data()), 1e-10);
    }
  }
}

// Sparse-vector interfaces agree with the dense ones.
TEST(LuSparse, IndexedSolvesMatchDense) {
  Gen gen(11);
  const int32_t m = 300;
  TestBasis b = gen.basis(m, 0.5, 2, 6);
  Work w(40 * (nnzOf(b) + m));
  LuFactor lu;
  ASSERT_EQ(lu.factorize(m, b, w.area()), kLuOk);
  std::vector<double> a = gen.vec(m, 3);
  std::vector<int32_t> idx(m);
  int32_t n = 0;
  for (int32_t i = 1; i <= m; ++i)
    if (a[i] != 0) idx[n++] = i;
  idx[n++] = 0;  // ignored
  std::vector<double> xs = a, xd = a;
  ASSERT_TRUE(lu.ftran(xs.data(), idx.data(), n, 0, false));
  ASSERT_TRUE(lu.ftran(xd.data(), 0, false));
  for (int32_t p = 1; p <= m; ++p) EXPECT_EQ(xs[p], xd[p]);
  expectListExact(xs, idx.data(), n);
  std::vector<double> c = gen.vec(m, 2);
  n = 0;
  for (int32_t p = 1; p <= m; ++p)
    if (c[p] != 0) idx[n++] = p;
  std::vector<double> ys = c, yd = c;
  ASSERT_TRUE(lu.btran(ys.data(), idx.data(), n));
  ASSERT_TRUE(lu.btran(yd.data()));
  for (int32_t i = 1; i <= m; ++i) EXPECT_EQ(ys[i], yd[i]);
  expectListExact(ys, idx.data(), n);
}

// Btran of unit vectors through a growing eta file: the sparse path (which
// visits only the etas that can change the vector) agrees with the plain
// loops, also once the file holds more entries than the by-position chains
// have room for (updates go on after the kernel asked for a factorization).
TEST(LuSparse, UnitBtranThroughEtasMatchesPlainLoops) {
  Gen gen(23);
  const int32_t m = 300;
  TestBasis b = gen.basis(m, 0.8, 2, 5);
  Work wh(400 * (nnzOf(b) + m)), wp(400 * (nnzOf(b) + m));
  LuFactor hyper, plain;
  LuOptions o;
  o.reInvert = 1000;
  hyper.setOptions(o);
  o.hypersparse = false;
  plain.setOptions(o);
  ASSERT_EQ(hyper.factorize(m, b, wh.area()), kLuOk);
  ASSERT_EQ(plain.factorize(m, b, wp.area()), kLuOk);
  const int64_t chainRoom = 5 * (hyper.nnzL() + hyper.nnzU() + m) + m + 1;
  std::vector<double> x(m + 1), xp(m + 1);
  std::vector<int32_t> idx(m), idxp(m);
  int updates = 0;
  double worst = 0.0;
  for (int step = 0; step < 900 && hyper.etaEntries() <= 2 * chainRoom; ++step) {
    std::vector<int32_t> r;
    std::vector<double> v;
    gen.column(m, gen.pick(1, m), gen.pick(2, 5), r, v);
    int32_t n = 0, np = 0;
    ASSERT_TRUE(hyper.ftranColumn(r.data(), v.data(), int32_t(r.size()), x.data(), idx.data(), n));
    ASSERT_TRUE(plain.ftranColumn(r.data(), v.data(), int32_t(r.size()), xp.data(), idxp.data(), np));
    double amax = 0;
    for (int32_t t = 0; t < n; ++t) amax = std::max(amax, std::fabs(x[idx[t]]));
    int32_t leave = 0;
    for (int32_t t = 0; t < n && !leave; ++t)
      if (std::fabs(x[idx[t]]) >= 0.5 * amax) leave = idx[t];
    for (int32_t t = 0; t < n; ++t) x[idx[t]] = 0.0;
    for (int32_t t = 0; t < np; ++t) xp[idxp[t]] = 0.0;
    if (!leave) continue;
    const int uh = hyper.update(leave), up = plain.update(leave);
    ASSERT_EQ(uh, up) << "step " << step;
    if (uh == kLuUpdateRejected) break;
    b.set(leave, r, v);
    ++updates;
    for (int k = 0; k < 3; ++k) {
      const int32_t p = gen.pick(1, m);
      std::vector<double> y(m + 1), yp(m + 1), c(m + 1);
      y[p] = yp[p] = c[p] = 1.0;
      int32_t yn = 1, ypn = 1;
      std::vector<int32_t> yi(m, 0), ypi(m, 0);
      yi[0] = ypi[0] = p;
      ASSERT_TRUE(hyper.btran(y.data(), yi.data(), yn));
      ASSERT_TRUE(plain.btran(yp.data(), ypi.data(), ypn));
      double big = 1.0, diff = 0.0;
      for (int32_t i = 1; i <= m; ++i) {
        big = std::max(big, std::fabs(y[i]));
        diff = std::max(diff, std::fabs(y[i] - yp[i]));
      }
      worst = std::max(worst, diff / big);
      EXPECT_LE(diff / big, 1e-12) << "step " << step << " e_" << p;
      expectListExact(y, yi.data(), yn);
      EXPECT_LT(btranResidual(m, b, y.data(), c.data()), 1e-9) << "step " << step << " e_" << p;
    }
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(hyper.etaEntries(), chainRoom) << "the chains never ran out";
  EXPECT_GT(updates, 100);
}

// ---------------------------------------------------------------------------
// Refinement.
TEST(LuRefine, WellConditionedFtranStopsAfterTheFirstCheck) {
  Gen gen(5);
  const int32_t m = 200;
  TestBasis b = gen.basis(m, 0.5, 2, 5);
  Work w(40 * (nnzOf(b) + m));
  LuFactor lu;
  ASSERT_EQ(lu.factorize(m, b, w.area()), kLuOk);
  std::vector<double> a = gen.vec(m, m), x = a;
  ASSERT_TRUE(lu.ftran(x.data(), 2));
  EXPECT_EQ(lu.refineRounds(), 1);
  EXPECT_LT(ftranRes(b, x, a), 1e-13);
  std::vector<double> c = gen.vec(m, m), y = c;
  ASSERT_TRUE(lu.btran(y.data(), 2));
  EXPECT_GE(lu.refineRounds(), 1);
  EXPECT_LT(btranResidual(m, b, y.data(), c.data()), 1e-13);
}

// On an ill-conditioned basis with large entries the plain solve leaves
// residuals above tranEntry: refinement corrects, and never returns an x
// worse than the plain one.
TEST(LuRefine, IllConditionedKeepsTheBestX) {
  const int32_t m = 9;
  std::vector<std::vector<double>> h(m, std::vector<double>(m));
  for (int32_t i = 0; i < m; ++i)
    for (int32_t j = 0; j < m; ++j) h[i][j] = 1e4 / (i + j + 1);
  TestBasis b = fromDense(h);
  Work w(2000);
  LuFactor lu;
  ASSERT_EQ(lu.factorize(m, b, w.area()), kLuOk);
  std::vector<double> x0(m + 1);
  for (int32_t p = 1; p <= m; ++p) x0[p] = 1000.0 * p;
  const std::vector<double> a = times(b, x0);
  std::vector<double> plain = a, refined = a;
  ASSERT_TRUE(lu.ftran(plain.data(), 0));
  ASSERT_TRUE(lu.ftran(refined.data(), 3));
  EXPECT_GE(lu.refineRounds(), 2);
  EXPECT_LE(lu.refineRounds(), 4);
  EXPECT_LE(ftranRes(b, refined, a), ftranRes(b, plain, a));
  expectListExact(refined, lu.resultIndex(), lu.resultCount());

  std::vector<double> y0(m + 1);
  for (int32_t i = 1; i <= m; ++i) y0[i] = 500.0 * (i % 3 + 1);
  const std::vector<double> c = timesLeft(b, y0);
  std::vector<double> yPlain = c, yRefined = c;
  ASSERT_TRUE(lu.btran(yPlain.data(), 0));
  ASSERT_TRUE(lu.btran(yRefined.data(), 3));
  EXPECT_GE(lu.refineRounds(), 2);
  EXPECT_LE(lu.refineRounds(), 4);
  // Btran keeps no best y: its corrections only have to stay at the level
  // of rounding.
  EXPECT_LT(btranResidual(m, b, yRefined.data(), c.data()), 1e-14);
  EXPECT_LT(btranResidual(m, b, yPlain.data(), c.data()), 1e-14);
}

// ---------------------------------------------------------------------------
// Refactorization triggers.
TEST(LuTriggers, ReInvertInterval) {
  struct Case {
    int32_t reInvert, effective;
  };
  for (Case c : {Case{0, 50}, Case{10, 10}, Case{200, 200}, Case{-3, 50}}) {
    const int32_t m = 60;
    TestBasis b(m);
    for (int32_t p = 1; p <= m; ++p) b.unit(p, p);
    Work w(100000);
    LuFactor lu;
    LuOptions o;
    o.reInvert = c.reInvert;
    lu.setOptions(o);
    ASSERT_EQ(lu.factorize(m, b, w.area()), kLuOk);
    EXPECT_EQ(lu.effectiveReInvert(), c.effective);
    if (c.effective > 50) continue;
    // Entering unit columns with one extra entry: etas of two entries stay
    // far from the space and size triggers.
    int32_t updates = 0;
    for (int32_t u = 1; u <= c.effective; ++u) {
      const int32_t rows[] = {u, u + 1};
      const double vals[] = {2.0, 0.5};
      std::vector<double> x(m + 1);
      std::vector<int32_t> idx(m);
      int32_t n = 0;
      ASSERT_TRUE(lu.ftranColumn(rows, vals, 2, x.data(), idx.data(), n));
      int rc = lu.update(u);
      ++updates;
      if (rc == kLuUpdatedRefactor) break;
      ASSERT_EQ(rc, kLuUpdated) << u;
    }
    EXPECT_EQ(updates, c.effective);
    EXPECT_TRUE(lu.refactorNeeded());
  }
}

// The eta file may not come within m entries of its low-water index, and
// may not outgrow five times the factors (pivots counted).
TEST(LuTriggers, SpaceAndSize) {
  const int32_t m = 40;
  TestBasis b(m);
  for (int32_t p = 1; p <= m; ++p) b.unit(p, p);
  // Entering columns at positions 1..30, each with entries in the rows of
  // the untouched positions 31..40: etas of 11 entries that never interact.
  auto run = [&](int64_t cap) {
    Work w(cap);
    LuFactor lu;
    LuOptions o;
    o.reInvert = 1000;
    lu.setOptions(o);
    EXPECT_EQ(lu.factorize(m, b, w.area()), kLuOk);
    EXPECT_EQ(lu.lowWater(), 0);
    int32_t n = 0;
    for (int32_t p = 1; p <= 30; ++p) {
      std::vector<int32_t> rows = {p};
      std::vector<double> vals = {4.0};
      for (int32_t i = 31; i <= 40; ++i) {
        rows.push_back(i);
        vals.push_back(0.5);
      }
      std::vector<double> x(m + 1);
      std::vector<int32_t> idx(m);
      int32_t cnt = 0;
      EXPECT_TRUE(lu.ftranColumn(rows.data(), vals.data(), 11, x.data(),
                                 idx.data(), cnt));
      ++n;
      if (lu.update(p) != kLuUpdated) break;
    }
    return std::make_pair(n, lu.etaEntries());
  };
  // 210 entries: after 16 etas fewer than m = 40 entries are left.
  auto [n1, e1] = run(210);
  EXPECT_EQ(n1, 16);
  EXPECT_EQ(e1, 176);
  // Plenty of room: more than 5 * (0 + 0 + 40) entries stop it at 19.
  auto [n2, e2] = run(100000);
  EXPECT_EQ(n2, 19);
  EXPECT_EQ(e2, 209);
}

// ---------------------------------------------------------------------------
// Work area sizing.

// Region A cannot fit at any factor: one restart at 3.0/3.0, then 412.
TEST(LuMemory, TooSmallFallsBackOnceThenFails) {
  Gen gen(3);
  const int32_t m = 100;
  TestBasis b = gen.basis(m, 0.3, 3, 6);
  const int64_t nnz = nnzOf(b);
  Work w(nnz + m);  // region A needs floor(1.1 nnz) + m + 1 at least
  LuFactor lu;
  EXPECT_EQ(lu.factorize(m, b, w.area()), kLuOutOfMemory);
  EXPECT_TRUE(lu.fellBack());
  EXPECT_EQ(lu.attempts(), 2);
  EXPECT_FALSE(lu.valid());
  EXPECT_TRUE(lu.refactorNeeded());
  std::vector<double> x(m + 1, 1.0);
  EXPECT_FALSE(lu.ftran(x.data()));
  // A large enough area works again.
  Work big(40 * (nnz + m));
  EXPECT_EQ(lu.factorize(m, b, big.area()), kLuOk);
}

// f1 is lowered by 0.5 steps until region A fits.
TEST(LuMemory, RegionAFactorIsLoweredToFit) {
  Gen gen(4);
  const int32_t m = 100;
  TestBasis b = gen.basis(m, 0.5, 2, 3);
  const int64_t nnz = nnzOf(b);
  // Room for f1 = 2.5 but not 3.0, with region B and the etas beyond.
  const int64_t cap = int64_t(std::floor(2.9 * double(nnz))) + m + 1;
  Work w(cap + 0);
  LuFactor lu;
  int st = lu.factorize(m, b, w.area());
  ASSERT_EQ(st, kLuOk);
  EXPECT_EQ(lu.f1(), 2.5);
  EXPECT_FALSE(lu.fellBack());
  std::vector<double> a = gen.vec(m, m), x = a;
  ASSERT_TRUE(lu.ftran(x.data()));
  EXPECT_LT(ftranRes(b, x, a), 1e-10);
}

// A bump whose L columns overflow region A, or whose rows overflow region
// B, restarts with that region's factor raised by at least 1.
TEST(LuMemory, RegionShortfallRaisesItsFactor) {
  Gen gen(8);
  const int32_t m = 300;
  TestBasis b = gen.basis(m, 0.0, 4, 6);
  Work w(200 * (nnzOf(b) + m));
  for (bool regionA : {true, false}) {
    LuFactor lu;
    LuOptions o;
    (regionA ? o.luMemory1 : o.luMemory2) = 2.0;
    lu.setOptions(o);
    ASSERT_EQ(lu.factorize(m, b, w.area()), kLuOk);
    EXPECT_GT(lu.attempts(), 1);
    EXPECT_GE(regionA ? lu.f1() : lu.f2(), 3.0);
    std::vector<double> a = gen.vec(m, m), x = a;
    ASSERT_TRUE(lu.ftran(x.data()));
    EXPECT_LT(ftranRes(b, x, a), 1e-10);
    // The raised factors carry over to the next factorization of the
    // solve, which then needs a single attempt; startSolve() re-seeds them.
    ASSERT_EQ(lu.factorize(m, b, w.area()), kLuOk);
    EXPECT_EQ(lu.attempts(), 1);
    lu.startSolve();
    ASSERT_EQ(lu.factorize(m, b, w.area()), kLuOk);
    EXPECT_GT(lu.attempts(), 1);
  }
}

// Every work area size either factorizes correctly or reports 412, in a
// bounded number of attempts, on a mild basis and on one that fills in.
TEST(LuMemory, EverySizeEndsCleanly) {
  Gen gen(9);
  TestBasis mild = gen.basis(120, 0.2, 3, 6);
  TestBasis heavy = gen.basis(300, 0.0, 4, 6);
  for (TestBasis* b : {&mild, &heavy}) {
    const int32_t m = b->m();
    const int64_t unit = nnzOf(*b) + m;
    bool sawOk = false, saw412 = false;
    for (int64_t cap = unit - m; cap <= 16 * unit; cap += unit / 3) {
      Work w(cap);
      LuFactor lu;
      int st = lu.factorize(m, *b, w.area());
      ASSERT_TRUE(st == kLuOk || st == kLuOutOfMemory) << cap;
      EXPECT_LE(lu.attempts(), 100);
      if (st == kLuOk) {
        sawOk = true;
        EXPECT_LE(lu.workUsed(), cap);
        std::vector<double> a = gen.vec(m, m), x = a;
        ASSERT_TRUE(lu.ftran(x.data()));
        EXPECT_LT(ftranRes(*b, x, a), 1e-10) << cap;
      } else {
        saw412 = true;
      }
    }
    EXPECT_TRUE(sawOk);
    EXPECT_TRUE(saw412);
  }
}

}  // namespace
}  // namespace kz::lu

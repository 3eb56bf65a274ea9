// Benchmarks of the basis LU kernel on random sparse bases of the sizes of
// the netlib models: m = 1000 .. 10000, half of the columns slacks, the
// structural ones of 3 to 10 entries in a staircase pattern (blocks of 30
// rows linked to the next blocks), which gives bumps and fill of the kind LP
// bases show.
//
// g++ -std=c++20 -O2 -DNDEBUG -I. lp/lu.cpp lp/lu_solve.cpp lp/lu_check.cpp
//     bench/lu_bench.cpp -lbenchmark -pthread -o lu_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "lp/lu.h"

namespace {

using namespace kz::lu;

// Columns held per position, replaceable.
class Basis : public LuColumns {
 public:
  explicit Basis(int32_t m) : rows_(m + 1), vals_(m + 1) {}
  void set(int32_t p, const std::vector<int32_t>& r,
           const std::vector<double>& v) {
    rows_[p] = r;
    vals_[p] = v;
  }
  int32_t column(int32_t p, const int32_t*& rows,
                 const double*& vals) const override {
    rows = rows_[p].data();
    vals = vals_[p].data();
    return int32_t(rows_[p].size());
  }
  int64_t nnz() const {
    int64_t n = 0;
    for (auto& r : rows_) n += int64_t(r.size());
    return n;
  }

 private:
  std::vector<std::vector<int32_t>> rows_;
  std::vector<std::vector<double>> vals_;
};

constexpr int32_t kBlock = 30;

struct Gen {
  std::mt19937 g{2024};
  int32_t m;
  explicit Gen(int32_t m_) : m(m_) {}
  double uni(double a, double b) {
    return std::uniform_real_distribution<double>(a, b)(g);
  }
  int32_t pick(int32_t a, int32_t b) {
    return std::uniform_int_distribution<int32_t>(a, b)(g);
  }
  // A structural column of a staircase model: a large entry in row diag,
  // two more in the rows of its own block (small bumps form there), the
  // rest in the rows of the next few blocks.
  void column(int32_t diag, std::vector<int32_t>& r, std::vector<double>& v) {
    int32_t k = pick(3, 10);
    int32_t b0 = (diag - 1) / kBlock * kBlock + 1;
    int32_t b1 = std::min(m, b0 + kBlock - 1);
    r.assign(1, diag);
    v.assign(1, (pick(0, 1) ? 1 : -1) * uni(1.0, 2.0));
    for (int32_t t = 1; t < k; ++t) {
      int32_t i = t <= 2 ? pick(b0, b1) : std::min(m, b1 + pick(1, 3 * kBlock));
      if (std::find(r.begin(), r.end(), i) != r.end()) continue;
      r.push_back(i);
      v.push_back(uni(-1.0, 1.0));
    }
  }
  Basis basis(double slackShare) {
    std::vector<int32_t> perm(m);
    for (int32_t i = 0; i < m; ++i) perm[i] = i + 1;
    Basis b(m);
    std::vector<int32_t> r;
    std::vector<double> v;
    for (int32_t p = 1; p <= m; ++p) {
      if (uni(0, 1) < slackShare) {
        b.set(p, {perm[p - 1]}, {1.0});
      } else {
        column(perm[p - 1], r, v);
        b.set(p, r, v);
      }
    }
    return b;
  }
};


struct Setup {
  int32_t m;
  Gen gen;
  Basis b;
  std::vector<double> wv;
  std::vector<int32_t> wi;
  LuFactor lu;
  // slackPct: share of slack columns in per cent.
  explicit Setup(int32_t m_, bool hyper = true, int slackPct = 50)
      : m(m_), gen(m_), b(gen.basis(slackPct / 100.0)) {
    int64_t n = 40 * (b.nnz() + m);
    wv.resize(size_t(n));
    wi.resize(size_t(n));
    LuOptions o;
    o.hypersparse = hyper;
    lu.setOptions(o);
    factor();
  }
  LuWorkArea area() { return {wv.data(), wi.data(), int64_t(wv.size())}; }
  void factor() {
    int st = lu.factorize(m, b, area());
    if (st == kLuSingular) {
      for (int32_t k = 0; k < lu.singularCount(); ++k)
        b.set(lu.singularPositions()[k], {lu.singularRows()[k]}, {1.0});
      st = lu.factorize(m, b, area());
    }
    if (st != kLuOk) std::abort();
  }
};

void counters(benchmark::State& state, const LuFactor& lu) {
  state.counters["nnzB"] = double(lu.nnzB());
  state.counters["nnzLU"] = double(lu.nnzL() + lu.nnzU());
  state.counters["bump"] = lu.bumpPivots();
  state.counters["copies"] = lu.transposedCopies();
}

void BM_Factorize(benchmark::State& state) {
  Setup s(int32_t(state.range(0)));
  for (auto _ : state) {
    int st = s.lu.factorize(s.m, s.b, s.area());
    benchmark::DoNotOptimize(st);
  }
  counters(state, s.lu);
}

// Ftran of structural columns (the entering column of an iteration).
void BM_FtranColumn(benchmark::State& state) {
  Setup s(int32_t(state.range(0)), state.range(1) != 0, int(state.range(2)));
  std::vector<std::vector<int32_t>> rs(64);
  std::vector<std::vector<double>> vs(64);
  for (int t = 0; t < 64; ++t) s.gen.column(s.gen.pick(1, s.m), rs[t], vs[t]);
  std::vector<double> x(s.m + 1);
  std::vector<int32_t> idx(s.m);
  int t = 0;
  int64_t nz = 0;
  for (auto _ : state) {
    int32_t n = 0;
    s.lu.ftranColumn(rs[t].data(), vs[t].data(), int32_t(rs[t].size()),
                     x.data(), idx.data(), n, 0, false);
    nz += n;
    for (int32_t c = 0; c < n; ++c) x[idx[c]] = 0.0;
    t = (t + 1) & 63;
  }
  state.counters["resultNnz"] = double(nz) / double(state.iterations());
  counters(state, s.lu);
}

// Ftran of a dense right-hand side (recomputing the basic values).
void BM_FtranDense(benchmark::State& state) {
  Setup s(int32_t(state.range(0)));
  std::vector<double> a(s.m + 1), x(s.m + 1);
  for (int32_t i = 1; i <= s.m; ++i) a[i] = s.gen.uni(-1, 1);
  for (auto _ : state) {
    x = a;
    s.lu.ftran(x.data(), 0, false);
    benchmark::DoNotOptimize(x.data());
  }
  counters(state, s.lu);
}

// Btran of a unit vector (the pivot row of the dual simplex).
void BM_BtranUnit(benchmark::State& state) {
  Setup s(int32_t(state.range(0)), state.range(1) != 0, int(state.range(2)));
  std::vector<double> y(s.m + 1);
  std::vector<int32_t> idx(s.m);
  int32_t r = 1;
  int64_t nz = 0;
  for (auto _ : state) {
    y[r] = 1.0;
    idx[0] = r;
    int32_t n = 1;
    s.lu.btran(y.data(), idx.data(), n);
    nz += n;
    for (int32_t c = 0; c < n; ++c) y[idx[c]] = 0.0;
    r = r % s.m + 1;
  }
  state.counters["resultNnz"] = double(nz) / double(state.iterations());
  counters(state, s.lu);
}

void BM_BtranDense(benchmark::State& state) {
  Setup s(int32_t(state.range(0)));
  std::vector<double> c(s.m + 1), y(s.m + 1);
  for (int32_t i = 1; i <= s.m; ++i) c[i] = s.gen.uni(-1, 1);
  for (auto _ : state) {
    y = c;
    s.lu.btran(y.data());
    benchmark::DoNotOptimize(y.data());
  }
  counters(state, s.lu);
}

// One basis change: a column replacing position p (drawn in p's block, so
// the staircase keeps its shape) enters, Ftran, update; p leaves unless its
// entry is small, then the largest entry's position does. Refactorization
// whenever update asks, its cost included, amortized.
void BM_UpdateCycle(benchmark::State& state) {
  Setup s(int32_t(state.range(0)), true, int(state.range(1)));
  std::vector<double> x(s.m + 1);
  std::vector<int32_t> idx(s.m);
  std::vector<int32_t> r;
  std::vector<double> v;
  int64_t refactors = 0;
  for (auto _ : state) {
    const int32_t p = s.gen.pick(1, s.m);
    s.gen.column(p, r, v);
    int32_t n = 0;
    s.lu.ftranColumn(r.data(), v.data(), int32_t(r.size()), x.data(),
                     idx.data(), n);
    int32_t leave = 0;
    double best = 0;
    for (int32_t c = 0; c < n; ++c)
      if (std::fabs(x[idx[c]]) > best) best = std::fabs(x[leave = idx[c]]);
    if (std::fabs(x[p]) >= 0.01 * best) leave = p;
    for (int32_t c = 0; c < n; ++c) x[idx[c]] = 0.0;
    if (leave == 0) continue;
    int u = s.lu.update(leave);
    s.b.set(leave, r, v);
    if (u != kLuUpdated) {
      s.factor();
      ++refactors;
    }
  }
  state.counters["refactors"] = double(refactors);
  counters(state, s.lu);
}

void sizes(benchmark::internal::Benchmark* b) {
  for (int m : {1000, 3000, 10000}) b->Arg(m);
}
void sizesHyper(benchmark::internal::Benchmark* b) {
  for (int slack : {50, 80})
    for (int m : {1000, 3000, 10000})
      for (int h : {1, 0}) b->Args({m, h, slack});
}
void sizesSlack(benchmark::internal::Benchmark* b) {
  for (int slack : {50, 80})
    for (int m : {1000, 3000, 10000}) b->Args({m, slack});
}

BENCHMARK(BM_Factorize)->Apply(sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FtranColumn)->Apply(sizesHyper)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FtranDense)->Apply(sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BtranUnit)->Apply(sizesHyper)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BtranDense)->Apply(sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UpdateCycle)->Apply(sizesSlack)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

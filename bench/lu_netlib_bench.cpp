// Benchmarks of the basis LU kernel on bases of the larger netlib models:
// the slack basis, the crash basis and the basis a primal solve ends with
// (bench/netlib_bases.h). For each: factorize; Ftran of a structural
// column and of the right-hand side b; Btran of a unit vector e_r (the dual
// simplex's pivot row) and of the basic costs; the same column Ftran and
// unit Btran with an eta file of 100 updates; and one column replacement
// (Ftran of the entering column, update, refactorization when asked).
// Graph-search solves (h1) and plain loops (h0) side by side.
//
//   kz_lu_netlib_bench [--data=DIR] [--models=a,b] [--optimal=a,b|all|none]
//                      [benchmark flags]
// DIR is the netlib folder or the data folder holding it; without --data
// the environment variable KZ_BENCH_DATA, then KZ_TEST_DATA, then
// /work/shared/data. --optimal names the models whose final primal basis is
// built (a primal solve each: pilot about 6 s, d2q06c 12 s, pilot87 23 s).
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/netlib_bases.h"
#include "lp/lu.h"

namespace {

using kz::lu::LuFactor;

bool exists(const std::string& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0;
}

std::vector<std::string> split(const std::string& s) {
  std::vector<std::string> out;
  std::istringstream is(s);
  std::string w;
  while (std::getline(is, w, ','))
    if (!w.empty()) out.push_back(w);
  return out;
}

// One basis ready for the solves: the kernel with its work area, the
// columns to Ftran and the positions to Btran, drawn once.
struct Prepared {
  const netlib::ModelBases* mb = nullptr;
  const netlib::Basis* basis = nullptr;
  std::vector<int32_t> head;
  std::vector<char> basic;
  kz::ActiveColumns cols;
  LuFactor lu;
  std::vector<double> val;
  std::vector<int32_t> idx;
  std::vector<double> x, work;
  std::vector<int32_t> xi;
  std::vector<int32_t> entering, positions;
  std::mt19937 rng{4711};

  Prepared(const netlib::ModelBases& m, const netlib::Basis& b, bool hypersparse) : mb(&m), basis(&b) {
    reset();
    kz::lu::LuOptions o;
    o.hypersparse = hypersparse;
    lu.setOptions(o);
    const int32_t ma = m.A.ma;
    x.assign(static_cast<size_t>(ma) + 1, 0.0);
    work.assign(static_cast<size_t>(ma) + 1, 0.0);
    xi.assign(static_cast<size_t>(ma) + 1, 0);
    std::mt19937 g(99);
    for (int t = 0; t < 100000 && entering.size() < 256; ++t) {
      const int32_t j = std::uniform_int_distribution<int32_t>(1, m.A.n)(g);
      if (!basic[static_cast<size_t>(j)] && m.A.entries(j) > 0) entering.push_back(j);
    }
    for (int t = 0; t < 256; ++t) positions.push_back(std::uniform_int_distribution<int32_t>(1, ma)(g));
    const int64_t size = 12 * (b.nnz + ma + 1) + 202 * (int64_t{ma} + 1) / 2 + 4096;
    val.assign(static_cast<size_t>(size), 0.0);
    idx.assign(static_cast<size_t>(size), 0);
  }
  void reset() {
    head = basis->head;
    basic.assign(static_cast<size_t>(mb->A.total) + 1, 0);
    for (size_t p = 1; p < head.size(); ++p) basic[static_cast<size_t>(head[p])] = 1;
    cols = netlib::columnsOf(mb->A, head);
  }
  bool factorize() {
    for (;;) {
      const int rc = lu.factorize(mb->A.ma, cols, {val.data(), idx.data(), static_cast<int64_t>(val.size())});
      if (rc == kz::lu::kLuOk) return true;
      if (rc != kz::lu::kLuOutOfMemory) return false;
      val.assign(val.size() * 2, 0.0);
      idx.assign(idx.size() * 2, 0);
    }
  }
  int32_t ftranColumn(int32_t j, bool keep) {
    const netlib::WorkingMatrix& A = mb->A;
    const int32_t b = A.cStart[static_cast<size_t>(j)], e = A.cStart[static_cast<size_t>(j) + 1];
    int32_t n = 0;
    lu.ftranColumn(A.cRow.data() + b, A.cVal.data() + b, e - b, x.data(), xi.data(), n, 0, keep);
    return n;
  }
  void clear(int32_t n) {
    for (int32_t c = 0; c < n; ++c) x[static_cast<size_t>(xi[static_cast<size_t>(c)])] = 0.0;
  }
  // One basis change: the entering column replaces a random basic position
  // whose pivot is not small; refactorizes when the kernel asks. Returns
  // false when the pick was skipped.
  bool replace(int32_t j) {
    const int32_t n = ftranColumn(j, true);
    double big = 0.0;
    for (int32_t c = 0; c < n; ++c) big = std::max(big, std::fabs(x[static_cast<size_t>(xi[static_cast<size_t>(c)])]));
    bool done = false;
    if (n > 0) {
      const int32_t r = xi[static_cast<size_t>(std::uniform_int_distribution<int32_t>(0, n - 1)(rng))];
      const double ar = std::fabs(x[static_cast<size_t>(r)]);
      if (ar >= 1e-7 && ar >= 1e-3 * big) {
        basic[static_cast<size_t>(head[static_cast<size_t>(r)])] = 0;
        basic[static_cast<size_t>(j)] = 1;
        head[static_cast<size_t>(r)] = j;
        lu.update(r);
        if (lu.refactorNeeded()) factorize();
        done = true;
      }
    }
    clear(n);
    return done;
  }
  // A fresh factorization of the basis, then k column replacements.
  void withEtas(int k) {
    reset();
    factorize();
    int32_t done = 0;
    for (int t = 0; done < k && t < 20 * k; ++t) {
      const int32_t j = entering[static_cast<size_t>(t) % entering.size()];
      if (!basic[static_cast<size_t>(j)] && replace(j)) ++done;
    }
  }
};

std::vector<std::unique_ptr<netlib::ModelBases>> gModels;
std::map<std::string, std::unique_ptr<Prepared>> gPrepared;

Prepared& prepared(const netlib::ModelBases& m, const netlib::Basis& b, bool hyper, int etas) {
  const std::string key = m.name + "/" + b.kind + "/" + (hyper ? "h1" : "h0") + "/" + std::to_string(etas);
  auto it = gPrepared.find(key);
  if (it == gPrepared.end()) {
    auto p = std::make_unique<Prepared>(m, b, hyper);
    if (etas > 0) p->withEtas(etas);
    else p->factorize();
    it = gPrepared.emplace(key, std::move(p)).first;
  }
  return *it->second;
}

void counters(benchmark::State& st, const Prepared& p) {
  st.counters["m"] = p.mb->A.ma;
  st.counters["nnzB"] = static_cast<double>(p.basis->nnz);
  st.counters["LU"] = static_cast<double>(p.lu.nnzL() + p.lu.nnzU());
  st.counters["bump"] = p.lu.bumpPivots();
  st.counters["etas"] = p.lu.etaCount();
}

void bmFactorize(benchmark::State& st, const netlib::ModelBases* m, const netlib::Basis* b) {
  Prepared& p = prepared(*m, *b, true, 0);
  for (auto _ : st) {
    if (!p.factorize()) st.SkipWithError("factorization failed");
  }
  counters(st, p);
}

void bmFtranColumn(benchmark::State& st, const netlib::ModelBases* m, const netlib::Basis* b, bool hyper, int etas) {
  Prepared& p = prepared(*m, *b, hyper, etas);
  if (p.entering.empty()) {
    st.SkipWithError("no nonbasic column");
    return;
  }
  size_t t = 0;
  double nz = 0.0;
  for (auto _ : st) {
    const int32_t n = p.ftranColumn(p.entering[t++ % p.entering.size()], false);
    benchmark::DoNotOptimize(p.x.data());
    nz += n;
    p.clear(n);
  }
  st.counters["nz"] = nz / static_cast<double>(std::max<int64_t>(1, st.iterations()));
  counters(st, p);
}

void bmFtranRhs(benchmark::State& st, const netlib::ModelBases* m, const netlib::Basis* b) {
  Prepared& p = prepared(*m, *b, true, 0);
  const int32_t ma = m->A.ma;
  for (auto _ : st) {
    std::copy(m->A.rhs.begin(), m->A.rhs.begin() + ma + 1, p.work.begin());
    p.lu.ftran(p.work.data(), 0, false);
    benchmark::DoNotOptimize(p.work.data());
  }
  counters(st, p);
}

void bmBtranUnit(benchmark::State& st, const netlib::ModelBases* m, const netlib::Basis* b, bool hyper, int etas) {
  Prepared& p = prepared(*m, *b, hyper, etas);
  size_t t = 0;
  double nz = 0.0;
  for (auto _ : st) {
    const int32_t r = p.positions[t++ % p.positions.size()];
    p.x[static_cast<size_t>(r)] = 1.0;
    p.xi[0] = r;
    int32_t n = 1;
    p.lu.btran(p.x.data(), p.xi.data(), n, 0);
    benchmark::DoNotOptimize(p.x.data());
    nz += n;
    p.clear(n);
  }
  st.counters["nz"] = nz / static_cast<double>(std::max<int64_t>(1, st.iterations()));
  counters(st, p);
}

void bmBtranCost(benchmark::State& st, const netlib::ModelBases* m, const netlib::Basis* b) {
  Prepared& p = prepared(*m, *b, true, 0);
  const int32_t ma = m->A.ma;
  for (auto _ : st) {
    for (int32_t q = 1; q <= ma; ++q) p.work[static_cast<size_t>(q)] = m->A.cost[static_cast<size_t>(p.head[static_cast<size_t>(q)])];
    p.lu.btran(p.work.data(), 0);
    benchmark::DoNotOptimize(p.work.data());
  }
  counters(st, p);
}

// Time per column replacement, refactorizations included.
void bmUpdate(benchmark::State& st, const netlib::ModelBases* m, const netlib::Basis* b) {
  auto p = std::make_unique<Prepared>(*m, *b, true);
  p->factorize();
  const int32_t f0 = p->lu.factorizations();
  size_t t = 0;
  int64_t done = 0;
  for (auto _ : st) {
    int32_t j = p->entering[t++ % p->entering.size()];
    for (int tries = 0; tries < 16 && p->basic[static_cast<size_t>(j)]; ++tries)
      j = p->entering[t++ % p->entering.size()];
    if (p->replace(j)) ++done;
  }
  st.counters["done"] = static_cast<double>(done) / static_cast<double>(std::max<int64_t>(1, st.iterations()));
  st.counters["refactors"] = p->lu.factorizations() - f0;
  counters(st, *p);
}

}  // namespace

int main(int argc, char** argv) {
  std::string data, models = "25fv47,80bau3b,greenbea,fit2p,maros-r7,degen3,pilot,d2q06c,pilot87,dfl001";
  std::string optimal = "25fv47,80bau3b,greenbea,fit2p,maros-r7,degen3,pilot,d2q06c";
  std::vector<char*> rest;
  rest.push_back(argv[0]);
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("--data=", 0) == 0) data = a.substr(7);
    else if (a.rfind("--models=", 0) == 0) models = a.substr(9);
    else if (a.rfind("--optimal=", 0) == 0) optimal = a.substr(10);
    else rest.push_back(argv[i]);
  }
  if (data.empty()) {
    const char* e = std::getenv("KZ_BENCH_DATA");
    if (!e) e = std::getenv("KZ_TEST_DATA");
    data = e ? e : "/work/shared/data";
  }
  if (exists(data + "/netlib")) data += "/netlib";
  const std::vector<std::string> opt = split(optimal);
  for (const std::string& name : split(models)) {
    const std::string path = data + "/" + name + ".mps.gz";
    if (!exists(path)) {
      std::fprintf(stderr, "no file %s\n", path.c_str());
      continue;
    }
    const bool wantOpt = optimal == "all" || std::find(opt.begin(), opt.end(), name) != opt.end();
    auto mb = std::make_unique<netlib::ModelBases>(netlib::loadBases(name, path, wantOpt));
    if (!mb->error.empty()) {
      std::fprintf(stderr, "%s: %s\n", name.c_str(), mb->error.c_str());
      if (mb->bases.empty()) continue;
    }
    for (const netlib::Basis& b : mb->bases)
      std::fprintf(stderr, "%s %s: m %d, nnz(B) %lld, %d structural columns%s\n", name.c_str(), b.kind.c_str(),
                   mb->A.ma, static_cast<long long>(b.nnz), b.structurals,
                   b.kind == "optimal" ? (", " + std::to_string(mb->optimalIterations) + " iterations").c_str() : "");
    gModels.push_back(std::move(mb));
  }
  if (gModels.empty()) {
    std::fprintf(stderr, "no netlib models under %s\n", data.c_str());
    return 1;
  }
  for (const auto& mp : gModels) {
    const netlib::ModelBases* m = mp.get();
    for (const netlib::Basis& bs : m->bases) {
      const netlib::Basis* b = &bs;
      const std::string tag = m->name + "/" + b->kind;
      auto reg = [](const std::string& n, auto fn) { benchmark::RegisterBenchmark(n.c_str(), fn)->Unit(benchmark::kMicrosecond); };
      reg("Factorize/" + tag, [m, b](benchmark::State& s) { bmFactorize(s, m, b); });
      for (bool h : {true, false}) {
        const std::string hs = h ? "/h1" : "/h0";
        reg("FtranColumn/" + tag + hs, [m, b, h](benchmark::State& s) { bmFtranColumn(s, m, b, h, 0); });
        reg("BtranUnit/" + tag + hs, [m, b, h](benchmark::State& s) { bmBtranUnit(s, m, b, h, 0); });
      }
      reg("FtranColumnEtas100/" + tag, [m, b](benchmark::State& s) { bmFtranColumn(s, m, b, true, 100); });
      reg("BtranUnitEtas100/" + tag, [m, b](benchmark::State& s) { bmBtranUnit(s, m, b, true, 100); });
      reg("FtranRhs/" + tag, [m, b](benchmark::State& s) { bmFtranRhs(s, m, b); });
      reg("BtranCost/" + tag, [m, b](benchmark::State& s) { bmBtranCost(s, m, b); });
      reg("Update/" + tag, [m, b](benchmark::State& s) { bmUpdate(s, m, b); });
    }
  }
  int n = static_cast<int>(rest.size());
  benchmark::Initialize(&n, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

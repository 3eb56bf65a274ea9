// The starting basis: CrashBasis (a supplied basis kept, the slack basis,
// the triangular crash) and PivotFreeColumns.
#include <algorithm>
#include <cmath>
#include <vector>

#include "lp/crash.h"
#include "model/settings.h"

namespace kz {
namespace {

constexpr double kInf = 1e300;

bool anyActiveBasic(const ModelArea& a) {
  const ModelStore& s = a.store;
  const LpState& L = *a.lp;
  for (const int32_t k : L.vars)
    if (s.kind[k] & kKindBasic) return true;
  return false;
}

// The triangular crash: free columns, then feasible logicals, then the
// other columns by key, each pivoting in a position no earlier choice
// touched.
void triangularCrash(ModelArea& a) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  const int32_t ma = L.ma;
  // Start from no basic variable at all.
  for (int32_t k = 1; k <= s.total; ++k)
    if (k != s.obj && (s.kind[k] & kKindBasic)) s.kind[k] &= ~kKindBasic;
  std::vector<int32_t> owner(static_cast<size_t>(ma) + 1, 0);  // 0 empty, -1 blocked, else variable
  std::vector<double> res(L.rhs);
  for (int32_t k = 1; k <= s.total; ++k) {
    if (k == s.obj) continue;
    const double xk = L.x[static_cast<size_t>(k)];
    if (xk == 0.0) continue;
    for (int32_t p = L.cStart[static_cast<size_t>(k)]; p < L.cStart[static_cast<size_t>(k) + 1]; ++p)
      res[static_cast<size_t>(L.cRow[static_cast<size_t>(p)])] -= L.cVal[static_cast<size_t>(p)] * xk;
  }
  auto take = [&](int32_t k, int32_t row) {
    owner[static_cast<size_t>(row)] = k;
    s.kind[k] = (s.kind[k] | kKindBasic) & ~kKindAtUpper;
    // Every other empty position of the column's rows is blocked.
    for (int32_t p = L.cStart[static_cast<size_t>(k)]; p < L.cStart[static_cast<size_t>(k) + 1]; ++p) {
      const int32_t r = L.cRow[static_cast<size_t>(p)];
      if (owner[static_cast<size_t>(r)] == 0) owner[static_cast<size_t>(r)] = -1;
    }
  };
  auto entries = [&](int32_t k) { return L.cStart[static_cast<size_t>(k) + 1] - L.cStart[static_cast<size_t>(k)]; };

  // Free columns, fewest entries first.
  std::vector<int32_t> order;
  for (int32_t j = 1; j <= s.n; ++j)
    if ((s.kind[j] & (kKindFree | kKindRemoved)) == kKindFree || (s.auxCol && (s.auxCol[j] & kAuxImpliedBounds)))
      if (entries(j) > 0) order.push_back(j);
  std::stable_sort(order.begin(), order.end(), [&](int32_t u, int32_t v) { return entries(u) < entries(v); });
  for (const int32_t j : order) {
    int32_t best = 0;
    double bestA = 0.0;
    for (int32_t p = L.cStart[static_cast<size_t>(j)]; p < L.cStart[static_cast<size_t>(j) + 1]; ++p) {
      const int32_t r = L.cRow[static_cast<size_t>(p)];
      if (owner[static_cast<size_t>(r)] != 0) continue;
      if (std::fabs(L.cVal[static_cast<size_t>(p)]) > bestA) {
        bestA = std::fabs(L.cVal[static_cast<size_t>(p)]);
        best = r;
      }
    }
    if (best) take(j, best);
  }
  // Logicals that are feasible at the current point.
  for (int32_t r = 1; r <= ma; ++r) {
    if (owner[static_cast<size_t>(r)] != 0) continue;
    const int32_t i = s.obj + L.rowOfLu[static_cast<size_t>(r)];
    const double coef = L.cVal[static_cast<size_t>(L.cStart[static_cast<size_t>(i)])];
    const double rv = res[static_cast<size_t>(r)];
    const bool zeroRange = L.upper[static_cast<size_t>(i)] <= 0.0;
    if (zeroRange) continue;
    if ((coef < 0.0 && rv <= 0.0) || (coef > 0.0 && rv >= 0.0 && !(s.kind[i] & kKindAtUpper))) {
      owner[static_cast<size_t>(r)] = i;
      s.kind[i] = (s.kind[i] | kKindBasic) & ~kKindAtUpper;
    }
  }
  // The other columns by key: fewer entries first, unbounded ones first.
  order.clear();
  const int32_t N = s.total;
  std::vector<int64_t> key(static_cast<size_t>(s.n) + 1, 0);
  for (int32_t j = 1; j <= s.n; ++j) {
    const uint32_t kd = s.kind[j];
    if (kd & (kKindBasic | kKindAtUpper | kKindFixed | kKindHeld | kKindRemoved)) continue;
    if (entries(j) == 0) continue;
    int64_t kk = entries(j) + 1;
    if (L.objCoef[static_cast<size_t>(j)] == 0.0) kk += 1;
    if (L.upper[static_cast<size_t>(j)] >= kInf) kk -= N;
    key[static_cast<size_t>(j)] = kk;
    order.push_back(j);
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](int32_t u, int32_t v) { return key[static_cast<size_t>(u)] < key[static_cast<size_t>(v)]; });
  for (int round = 2; round <= 4; ++round) {
    if (round == 4)
      for (int32_t r = 1; r <= ma; ++r)
        if (owner[static_cast<size_t>(r)] == -1) owner[static_cast<size_t>(r)] = 0;
    for (const int32_t j : order) {
      if (s.kind[j] & kKindBasic) continue;
      double colMax = 1e-4;
      for (int32_t p = L.cStart[static_cast<size_t>(j)]; p < L.cStart[static_cast<size_t>(j) + 1]; ++p)
        colMax = std::max(colMax, std::fabs(L.cVal[static_cast<size_t>(p)]));
      bool touchesOccupied = false;
      for (int32_t p = L.cStart[static_cast<size_t>(j)]; p < L.cStart[static_cast<size_t>(j) + 1]; ++p)
        if (owner[static_cast<size_t>(L.cRow[static_cast<size_t>(p)])] > 0) touchesOccupied = true;
      int32_t best = 0;
      double bestA = 0.0;
      for (int want = 0; want >= -1 && !best; --want) {
        if (want == -1 && touchesOccupied) break;
        for (int32_t p = L.cStart[static_cast<size_t>(j)]; p < L.cStart[static_cast<size_t>(j) + 1]; ++p) {
          const int32_t r = L.cRow[static_cast<size_t>(p)];
          if (owner[static_cast<size_t>(r)] != want) continue;
          if (round == 2) {
            const int32_t i = s.obj + L.rowOfLu[static_cast<size_t>(r)];
            if (L.upper[static_cast<size_t>(i)] > 0.0) continue;  // equality rows only
          }
          const double av = L.cVal[static_cast<size_t>(p)];
          if (av * res[static_cast<size_t>(r)] < 0.0) continue;
          if (bestA == 1.0) continue;
          if (std::fabs(av) > bestA) {
            bestA = std::fabs(av);
            best = r;
          }
        }
      }
      if (!best || bestA < 1e-4 * colMax) continue;
      take(j, best);
    }
  }
}

}  // namespace

int16_t crashBasis(ModelArea& a) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  bool crashed = false;
  if (!anyActiveBasic(a)) {
    int32_t freeCols = 0;
    for (int32_t j = 1; j <= s.n; ++j)
      if (s.kind[j] & kKindFree) ++freeCols;
    const int crash = a.opt.crash;
    if (static_cast<double>(freeCols) > 0.15 * s.n || crash == 3) {
      slackBasis(a);
    } else {
      // Crashes 1, 2, 4, 5 and 6 start from the triangular crash here.
      triangularCrash(a);
      crashed = true;
    }
  }
  // Basic variables lose the at-upper mark; build the header and factorize.
  for (int32_t k = 1; k <= s.total; ++k)
    if (s.kind[k] & kKindBasic) s.kind[k] &= ~kKindAtUpper;
  L.rebuildList = true;
  if (factorizeBasis(a) != 0) return 1;
  if (crashed) {
    bool huge = false;
    for (int32_t p = 1; p <= L.ma && !huge; ++p)
      if (std::fabs(L.x[static_cast<size_t>(L.head[static_cast<size_t>(p)])]) > 1.0 / tranEntry(a)) huge = true;
    if (huge) {
      slackBasis(a);
      if (factorizeBasis(a) != 0) return 1;
    }
  }
  return 0;
}

int16_t pivotFreeColumns(ModelArea& a) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  int32_t entered = 0;
  const double minPivot = 10000.0 * a.opt.rejPivot;
  for (int32_t j = 1; j <= s.n && entered < L.ma; ++j) {
    if ((s.kind[j] & (kKindFree | kKindBasic | kKindRemoved)) != kKindFree) continue;
    if (L.cStart[static_cast<size_t>(j) + 1] == L.cStart[static_cast<size_t>(j)]) continue;
    if (L.refactor && factorizeBasis(a) != 0) return 1;
    ftran(a, j, L.col.data(), 0);
    // The largest pivot over positions whose variable is not free.
    int32_t best = 0;
    double bestA = 0.0;
    for (int32_t t = 0; t < L.colN; ++t) {
      const int32_t p = L.colIdx[static_cast<size_t>(t)];
      const int32_t k = L.head[static_cast<size_t>(p)];
      if (L.lower[static_cast<size_t>(k)] <= -kInf) continue;
      double av = std::fabs(L.col[static_cast<size_t>(p)]);
      if (k > s.n) av *= 1.5;  // logicals leave first
      if (av > bestA) {
        bestA = av;
        best = p;
      }
    }
    if (!best || std::fabs(L.col[static_cast<size_t>(best)]) < minPivot) continue;
    const int32_t l = L.head[static_cast<size_t>(best)];
    makeNonbasic(a, l, false);
    makeBasic(a, j, best);
    updateFactor(a, best);
    ++entered;
  }
  if (entered > 0) L.refactor = true;
  return 0;
}

}  // namespace kz

// The basis change of the primal simplex: basic values, the pivot row,
// Devex weights, reduced costs, multipliers, the basis header and the
// factor update; and the bound flip of an entering variable.
#include <algorithm>
#include <cmath>

#include "lp/primal.h"

namespace kz {
namespace {

constexpr double kInf = 1e300;

// Whether a basic variable's feasibility mark disagrees with its value.
bool markChanged(const LpState& L, size_t k, double tol) {
  const double xv = L.x[k];
  const bool inf = xv < L.lower[k] - tol || xv > L.upper[k] + tol;
  return inf != ((L.flag[k] & kLpCountedInfeasible) != 0);
}

}  // namespace

void primalBoundFlip(ModelArea& a, PrimalRun& P, int32_t q, int dir) {
  LpState& L = *a.lp;
  ModelStore& s = a.store;
  const size_t uq = static_cast<size_t>(q);
  const double range = L.upper[uq] - L.lower[uq];
  const double step = dir * range;
  const double drop = L.tolEntry;
  bool changed = false;
  for (int32_t t = 0; t < L.colN; ++t) {
    const int32_t p = L.colIdx[static_cast<size_t>(t)];
    const size_t k = static_cast<size_t>(L.head[static_cast<size_t>(p)]);
    double v = L.x[k] - step * L.col[static_cast<size_t>(p)];
    if (std::fabs(v) < drop) v = 0.0;
    L.x[k] = v;
    if (P.phase1 && markChanged(L, k, L.tolPrimal)) changed = true;
  }
  if (dir > 0) {
    s.kind[q] |= kKindAtUpper;
    L.x[uq] = L.upper[uq];
  } else {
    s.kind[q] &= ~kKindAtUpper;
    L.x[uq] = L.lower[uq];
  }
  if (P.phase1 && changed) L.yValid = L.dValid = false;
  if (!P.phase1) {
    // A flip in phase 2 can make a basic variable infeasible only within
    // the ratio test's tolerance; nothing to recount.
  }
}

void primalBasisChange(ModelArea& a, PrimalRun& P, int32_t q, int dir, const RatioResult& rr) {
  LpState& L = *a.lp;
  ModelStore& s = a.store;
  const int32_t r = rr.position;
  const int32_t l = L.head[static_cast<size_t>(r)];
  const size_t uq = static_cast<size_t>(q), ul = static_cast<size_t>(l);
  const double alphaR = L.col[static_cast<size_t>(r)];
  const double theta = rr.theta;
  const double drop = L.tolEntry;

  // 1. Values.
  bool changed = (L.flag[ul] & kLpCountedInfeasible) != 0;
  if (theta != 0.0) {
    for (int32_t t = 0; t < L.colN; ++t) {
      const int32_t p = L.colIdx[static_cast<size_t>(t)];
      const size_t k = static_cast<size_t>(L.head[static_cast<size_t>(p)]);
      double v = L.x[k] - dir * theta * L.col[static_cast<size_t>(p)];
      if (std::fabs(v) < drop) v = 0.0;
      L.x[k] = v;
    }
  }
  const double xq = L.x[uq] + dir * theta;
  L.flag[ul] &= static_cast<uint8_t>(~kLpCountedInfeasible);
  L.flag[uq] &= static_cast<uint8_t>(~kLpCountedInfeasible);
  if (P.phase1)
    for (int32_t t = 0; t < L.colN && !changed; ++t) {
      const int32_t p = L.colIdx[static_cast<size_t>(t)];
      if (p == r) continue;
      if (markChanged(L, static_cast<size_t>(L.head[static_cast<size_t>(p)]), L.tolPrimal)) changed = true;
    }

  // 2. Pivot row, weights, reduced costs and multipliers.
  const bool update = L.dValid && L.yValid && P.fullPricing && rr.breakpoints < 2 && !(P.phase1 && changed);
  if (update) {
    double* rho = L.rho.data();
    rho[r] = 1.0;
    L.rhoIdx[0] = r;
    int32_t rn = 1;
    L.lu.btran(rho, L.rhoIdx.data(), rn, a.opt.simplexRefine);
    L.rhoN = rn;
    double* prow = L.prow.data();
    int32_t pn = 0;
    for (int32_t t = 0; t < rn; ++t) {
      const int32_t i = L.rhoIdx[static_cast<size_t>(t)];
      const double ri = rho[i];
      if (ri == 0.0) continue;
      for (int32_t p = L.rStart[static_cast<size_t>(i)]; p < L.rStart[static_cast<size_t>(i) + 1]; ++p) {
        const int32_t j = L.rCol[static_cast<size_t>(p)];
        if (L.posOf[static_cast<size_t>(j)] != 0) continue;
        if (prow[j] == 0.0) L.prowIdx[static_cast<size_t>(pn++)] = j;
        prow[j] += ri * L.rVal[static_cast<size_t>(p)];
        if (prow[j] == 0.0) prow[j] = 1e-300;  // keep it listed
      }
    }
    const double dq = L.d[uq];
    const double u = dq / alphaR;
    const double wq = std::max(L.weight[uq], 1.0);
    for (int32_t t = 0; t < pn; ++t) {
      const size_t j = static_cast<size_t>(L.prowIdx[static_cast<size_t>(t)]);
      const double arj = prow[j];
      prow[j] = 0.0;
      if (j == uq || std::fabs(arj) <= 2.220446049250313e-16) continue;
      if (P.devex) {
        const double g = arj / alphaR;
        const double w = g * g * wq;
        if (w > L.weight[j]) L.weight[j] = w;
      }
      if (std::fabs(u) > L.tolEntry) L.d[j] -= u * arj;
    }
    if (P.devex) L.weight[ul] = std::max(wq / (alphaR * alphaR), 1.0);
    L.d[ul] = -u;
    // The reference framework is renewed every 1024 updates.
    if (P.devex && --P.devexCountdown <= 0) P.devexResetDue = true;
    L.d[uq] = 0.0;
    double* y = L.y.data();
    for (int32_t t = 0; t < rn; ++t) {
      const int32_t i = L.rhoIdx[static_cast<size_t>(t)];
      y[i] += u * rho[i];
      rho[i] = 0.0;
    }
    L.rhoN = 0;
  } else {
    L.yValid = L.dValid = false;
    if (P.devex) L.weight[ul] = std::max(L.weight[uq] / (alphaR * alphaR), 1.0);
  }

  // 3. Header and factors.
  makeNonbasic(a, l, rr.toUpper);
  makeBasic(a, q, r);
  L.x[uq] = xq;
  L.d[uq] = 0.0;
  s.kind[q] &= ~(kKindListed | kKindMarkedEntry);
  if (P.devexResetDue) {
    resetDevex(a, P);
    P.devexResetDue = false;
  }
  updateFactor(a, r);
  if (!L.refactor && L.iterations >= L.forcedFactorIteration) L.refactor = true;

  // 4. Phase 1: the infeasibility count follows the values; the costs change.
  if (P.phase1 && changed) {
    int32_t cnt = 0;
    double sum = 0.0;
    for (int32_t p = 1; p <= L.ma; ++p) {
      const size_t k = static_cast<size_t>(L.head[static_cast<size_t>(p)]);
      const double xv = L.x[k];
      double v = 0.0;
      if (xv < L.lower[k] - L.tolPrimal)
        v = L.lower[k] - xv;
      else if (xv > L.upper[k] + L.tolPrimal)
        v = xv - L.upper[k];
      if (v > 0.0) {
        L.flag[k] |= kLpCountedInfeasible;
        ++cnt;
        sum += v;
      } else {
        L.flag[k] &= static_cast<uint8_t>(~kLpCountedInfeasible);
      }
    }
    L.phase1Count = cnt;
    L.sumInf = sum;
    L.yValid = L.dValid = false;
  }
  (void)kInf;
}

}  // namespace kz

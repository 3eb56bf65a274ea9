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

// The reference-framework weight update of a pivot: entering q at
// position r (column in L.col), leaving l, pivot row in L.prow.
void devexWeights(ModelArea& a, PrimalRun& P, int32_t q, int32_t l, int32_t r, int32_t pn) {
  LpState& L = *a.lp;
  ModelStore& s = a.store;
  const double* col = L.col.data();
  const double alphaR = col[r];
  const size_t uq = static_cast<size_t>(q), ul = static_cast<size_t>(l);
  const bool qIn = (L.flag[uq] & kLpFramework) != 0;
  const bool lIn = (L.flag[ul] & kLpFramework) != 0;
  // v: the framework part of the entering column without the pivot row;
  // tau: its Btran.
  double* tau = L.tmp2.data();
  double v = 0.0;
  bool anyTau = false;
  for (int32_t t = 0; t < L.colN; ++t) {
    const int32_t p = L.colIdx[static_cast<size_t>(t)];
    if (p == r || p == 0) continue;
    if (!(L.flag[static_cast<size_t>(L.head[static_cast<size_t>(p)])] & kLpFramework)) continue;
    const double al = col[p];
    v += al * al;
    tau[p] = al;
    anyTau = true;
  }
  int32_t tn = 0;
  const int32_t* ti = nullptr;
  if (anyTau) {
    L.lu.btran(tau, 0);
    tn = L.lu.resultCount();
    ti = L.lu.resultIndex();
  }
  const double tolP = L.tolPrimal;
  const double* prow = L.prow.data();
  for (int32_t t = 0; t < pn; ++t) {
    const int32_t j = L.prowIdx[static_cast<size_t>(t)];
    const size_t uj = static_cast<size_t>(j);
    if (j == q || excludedFromPricing(s, L, j)) continue;
    const double arj = prow[j];
    const double g = arj / alphaR;
    double w = L.weight[uj];
    if (lIn) w -= arj * arj;
    w += g * (v * g - 2.0 * (anyTau ? columnDot(L, j, tau) : 0.0));
    if (qIn) w += g * g;
    L.weight[uj] = w < tolP ? 1.0 : w;
  }
  double wl = ((qIn ? 1.0 : 0.0) + v) / (alphaR * alphaR) + (lIn ? 1.0 : 0.0);
  if (wl < 1000.0 * tolP) {
    wl += 2.0;
    if (L.iterations - L.lastFactorIteration > 25) L.refactor = true;
  }
  L.weight[ul] = wl;
  if (anyTau)
    for (int32_t t = 0; t < tn; ++t) tau[ti[t]] = 0.0;
  (void)P;
}

}  // namespace

void primalBoundFlip(ModelArea& a, PrimalRun& P, int32_t q, int dir) {
  LpState& L = *a.lp;
  ModelStore& s = a.store;
  const size_t uq = static_cast<size_t>(q);
  const double range = L.upper[uq] - L.lower[uq];
  const double step = dir * range;
  stepBasicValues(L, step);
  bool changed = false;
  if (P.phase1)
    for (int32_t t = 0; t < L.colN && !changed; ++t)
      changed = markChanged(L, static_cast<size_t>(L.head[static_cast<size_t>(L.colIdx[static_cast<size_t>(t)])]),
                            L.tolPrimal);
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
  if (update || P.devex) {
    btranUnit(a, r);
    double* rho = L.rho.data();
    const int32_t rn = L.rhoN;
    const int32_t pn = pivotRow(a);
    double* prow = L.prow.data();
    const double dq = L.d[uq];
    const double u = dq / alphaR;
    if (P.devex) {
      // The reference framework is renewed when the countdown has run out.
      const bool reset = L.weightCountdown <= 0 || P.devexResetDue;
      --L.weightCountdown;
      if (reset) {
        resetDevex(a, P);
        P.devexResetDue = false;
      }
      devexWeights(a, P, q, l, r, pn);
    }
    if (update) {
      if (std::fabs(u) > L.tolEntry) {
        for (int32_t t = 0; t < pn; ++t) {
          const size_t j = static_cast<size_t>(L.prowIdx[static_cast<size_t>(t)]);
          if (j == uq) continue;
          L.d[j] -= u * prow[j];
        }
      }
      L.d[ul] = -u;
      L.d[uq] = 0.0;
      double* y = L.y.data();
      for (int32_t t = 0; t < rn; ++t) {
        const int32_t i = L.rhoIdx[static_cast<size_t>(t)];
        y[i] += u * rho[i];
      }
    } else {
      L.yValid = L.dValid = false;
    }
    for (int32_t t = 0; t < pn; ++t) prow[L.prowIdx[static_cast<size_t>(t)]] = 0.0;
    L.prowN = 0;
    for (int32_t t = 0; t < rn; ++t) rho[L.rhoIdx[static_cast<size_t>(t)]] = 0.0;
    L.rhoN = 0;
  } else {
    L.yValid = L.dValid = false;
  }

  // 3. Header and factors.
  makeNonbasic(a, l, rr.toUpper);
  makeBasic(a, q, r);
  L.x[uq] = xq;
  L.d[uq] = 0.0;
  s.kind[q] &= ~(kKindListed | kKindMarkedEntry);
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

// Pricing of the primal simplex: phase costs, infeasibility counts,
// multipliers and reduced costs, full Devex pricing and the partial pricing
// with its candidate list.
#include <algorithm>
#include <cmath>

#include "lp/primal.h"

namespace kz {
namespace {

constexpr double kInf = 1e300;
constexpr uint32_t kExcludedKinds = kKindRejected | kKindRemoved | kKindFixed | kKindHeld | kKindBasic |
                                    kKindMark400 | kKindMark8000;

}  // namespace

bool excludedFromPricing(const ModelStore& s, const LpState& L, int32_t k) {
  if (s.kind[k] & kExcludedKinds) return true;
  const size_t u = static_cast<size_t>(k);
  return L.upper[u] - L.lower[u] <= 0.0;
}

double orientedCost(const ModelStore& s, const LpState& L, int32_t k) {
  const size_t u = static_cast<size_t>(k);
  const double d = L.d[u];
  if (L.lower[u] <= -kInf && L.upper[u] >= kInf) return -std::fabs(d);
  return (s.kind[k] & kKindAtUpper) ? -d : d;
}

void setPhaseCosts(ModelArea& a, PrimalRun& P) {
  LpState& L = *a.lp;
  const size_t N = static_cast<size_t>(L.total);
  if (!P.phase1) {
    const double sigma = a.opt.maximize ? -1.0 : 1.0;
    for (size_t k = 1; k <= N; ++k) L.cost[k] = sigma * L.objCoef[k];
    L.cost[static_cast<size_t>(L.obj)] = 0.0;
    return;
  }
  std::fill(L.cost.begin(), L.cost.end(), 0.0);
  for (int32_t p = 1; p <= L.ma; ++p) {
    const int32_t k = L.head[static_cast<size_t>(p)];
    const uint8_t f = L.flag[static_cast<size_t>(k)];
    if (!(f & kLpCountedInfeasible)) continue;
    L.cost[static_cast<size_t>(k)] = L.x[static_cast<size_t>(k)] < L.lower[static_cast<size_t>(k)] ? -1.0 : 1.0;
  }
}

int32_t countInfeasibilities(ModelArea& a, PrimalRun& P, double tol) {
  LpState& L = *a.lp;
  int32_t count = 0;
  double sum = 0.0, mx = 0.0;
  for (int32_t p = 1; p <= L.ma; ++p) {
    const size_t k = static_cast<size_t>(L.head[static_cast<size_t>(p)]);
    L.flag[k] &= static_cast<uint8_t>(~kLpCountedInfeasible);
    const double xv = L.x[k];
    double v = 0.0;
    if (xv < L.lower[k] - tol)
      v = L.lower[k] - xv;
    else if (xv > L.upper[k] + tol)
      v = xv - L.upper[k];
    if (v > 0.0) {
      L.flag[k] |= kLpCountedInfeasible;
      ++count;
      sum += v;
      mx = std::max(mx, v);
    }
  }
  P.maxViolation = mx;
  // Violations all below 16 times the tolerance, or a sum below the
  // acceptance: the point counts as feasible.
  if (count > 0 && (mx < 16.0 * tol || sum < P.sumInfAccept)) {
    for (int32_t p = 1; p <= L.ma; ++p)
      L.flag[static_cast<size_t>(L.head[static_cast<size_t>(p)])] &= static_cast<uint8_t>(~kLpCountedInfeasible);
    L.sumInf = 0.0;  // a point that counts as feasible has no infeasibility sum
    count = 0;
  } else {
    L.sumInf = sum;
  }
  L.phase1Count = count;
  P.correction = 0.0;
  return count;
}

void computePrices(ModelArea& a, PrimalRun& P) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  double* y = L.y.data();
  for (int32_t p = 1; p <= L.ma; ++p) y[p] = L.cost[static_cast<size_t>(L.head[static_cast<size_t>(p)])];
  btran(a, y, a.opt.simplexRefine);
  L.yValid = true;
  if (!P.fullPricing) return;
  // d = cost - y A, row by row over the nonzero multipliers.
  const size_t N = static_cast<size_t>(L.total);
  for (size_t k = 1; k <= N; ++k) L.d[k] = L.cost[k];
  for (int32_t r = 1; r <= L.ma; ++r) {
    const double yr = y[r];
    if (yr == 0.0) continue;
    for (int32_t p = L.rStart[static_cast<size_t>(r)]; p < L.rStart[static_cast<size_t>(r) + 1]; ++p)
      L.d[static_cast<size_t>(L.rCol[static_cast<size_t>(p)])] -= yr * L.rVal[static_cast<size_t>(p)];
  }
  for (int32_t p = 1; p <= L.ma; ++p) L.d[static_cast<size_t>(L.head[static_cast<size_t>(p)])] = 0.0;
  L.d[static_cast<size_t>(L.obj)] = 0.0;
  (void)s;
  L.dValid = true;
}

void resetDevex(ModelArea& a, PrimalRun& P) {
  LpState& L = *a.lp;
  const size_t N = static_cast<size_t>(L.total);
  for (size_t k = 1; k <= N; ++k) {
    L.weight[k] = 1.0;
    if (L.posOf[k] == 0)
      L.flag[k] |= kLpFramework;
    else
      L.flag[k] &= static_cast<uint8_t>(~kLpFramework);
  }
  L.weightCountdown = 1024;
}

int32_t priceDevex(ModelArea& a, PrimalRun& P) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  for (int round = 0; round < 3; ++round) {
    const double tol = L.tolDual;
    // The smallest tolerance of any variable decides the quick test.
    const double tolLow = L.scaledTols ? 0.0 : tol;
    int32_t best = 0;
    double bestScore = 0.0, sum = 0.0;
    int32_t count = 0;
    const double* d = L.d.data();
    const double* lo = L.lower.data();
    const double* up = L.upper.data();
    const double* w = L.weight.data();
    const uint32_t* kind = s.kind;
    for (const int32_t k : L.vars) {
      // Basic variables carry d = 0 and most others the favourable sign:
      // the cost and the kind word decide before any bound is loaded.
      const double dk = d[k];
      if (!(std::fabs(dk) > tolLow)) continue;
      const uint32_t kd = kind[k];
      if (kd & kExcludedKinds) continue;
      const double tk = L.scaledTols ? dualTolOf(L, k) : tol;
      if (!(std::fabs(dk) > tk)) continue;
      const double t = (kd & kKindAtUpper) ? -dk : dk;
      const bool isFree = lo[k] <= -kInf && up[k] >= kInf;
      if (!(t < -tk) && !isFree) continue;
      if (up[k] - lo[k] <= 0.0) continue;
      ++count;
      sum += std::fabs(dk);
      double score = dk * dk / w[k];
      if (isFree) score *= 4.0;  // free variables first
      if (score > bestScore) {
        bestScore = score;
        best = k;
      }
    }
    L.sumDualInf = sum;
    L.candN = count;
    if (best) {
      if (!P.phase1 && sum <= P.sumDualAccept / 64.0) return 0;
      return best;
    }
    // Nothing in phase 1: once with the dual tolerance / 1024.
    if (!P.phase1 || P.dualLowered) return 0;
    P.dualLowered = true;
    L.tolDual = P.savedDual / 1024.0;
  }
  return 0;
}

bool priceCandidates(ModelArea& a, PrimalRun& P) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  const double* y = L.y.data();
  auto reducedCost = [&](int32_t k) {
    double dk = L.cost[static_cast<size_t>(k)];
    for (int32_t p = L.cStart[static_cast<size_t>(k)]; p < L.cStart[static_cast<size_t>(k) + 1]; ++p)
      dk -= y[L.cRow[static_cast<size_t>(p)]] * L.cVal[static_cast<size_t>(p)];
    L.d[static_cast<size_t>(k)] = dk;
    return dk;
  };
  const int32_t nv = static_cast<int32_t>(L.vars.size());
  for (int pass = 0; pass < 3; ++pass) {
    const double tol = L.tolDual;
    int32_t keep = 0;
    double sum = 0.0;
    // Re-price the old list.
    for (int32_t t = 0; t < L.candN; ++t) {
      const int32_t k = L.cand[static_cast<size_t>(t)];
      s.kind[k] &= ~kKindListed;
      if (excludedFromPricing(s, L, k)) continue;
      reducedCost(k);
      const double o = orientedCost(s, L, k);
      if (o < -(L.scaledTols ? dualTolOf(L, k) : tol)) {
        L.cand[static_cast<size_t>(keep)] = k;
        L.candScore[static_cast<size_t>(keep)] = P.devex ? -o * o / L.weight[static_cast<size_t>(k)] : o;
        s.kind[k] |= kKindListed;
        ++keep;
        sum -= o;
      }
    }
    // Scan from the cursor with the stride, wrapping.
    const int32_t stride = std::max(1, std::min(L.priceIncrement, nv));
    int32_t visited = 0;
    const int32_t limit = L.candLimit;
    for (int32_t off = 0; off < stride && keep < limit && visited < nv; ++off) {
      const int32_t startAt = (L.cursor + off) % stride;
      for (int32_t t = startAt; t < nv && keep < limit; t += stride) {
        ++visited;
        const int32_t k = L.vars[static_cast<size_t>(t)];
        if (s.kind[k] & (kKindListed | kKindMarkedEntry)) continue;
        if (excludedFromPricing(s, L, k)) continue;
        reducedCost(k);
        const double o = orientedCost(s, L, k);
        if (!(o < -(L.scaledTols ? dualTolOf(L, k) : tol))) continue;
        sum -= o;
        const double score = P.devex ? -o * o / L.weight[static_cast<size_t>(k)] : o;
        L.cand[static_cast<size_t>(keep)] = k;
        L.candScore[static_cast<size_t>(keep)] = score;
        s.kind[k] |= kKindListed;
        ++keep;
      }
    }
    L.cursor = (L.cursor + 1) % stride;
    L.candN = keep;
    L.sumDualInf = sum;
    if (keep > 0) {
      if (keep < L.candLimit && L.candLimit > 2) --L.candLimit;
      // Sort, most negative score first.
      for (int32_t i = 1; i < keep; ++i) {
        const int32_t k = L.cand[static_cast<size_t>(i)];
        const double sc = L.candScore[static_cast<size_t>(i)];
        int32_t j = i - 1;
        while (j >= 0 && L.candScore[static_cast<size_t>(j)] > sc) {
          L.cand[static_cast<size_t>(j) + 1] = L.cand[static_cast<size_t>(j)];
          L.candScore[static_cast<size_t>(j) + 1] = L.candScore[static_cast<size_t>(j)];
          --j;
        }
        L.cand[static_cast<size_t>(j) + 1] = k;
        L.candScore[static_cast<size_t>(j) + 1] = sc;
      }
      if (!P.phase1 && sum <= P.sumDualAccept / 64.0) {
        L.candN = 0;
        return false;
      }
      return true;
    }
    // A full scan of the whole list with the limit reset.
    L.candLimit = L.pricedMax;
    if (visited < nv) continue;
    if (!P.phase1 || P.dualLowered) return false;
    P.dualLowered = true;
    L.tolDual = P.savedDual / 1024.0;
  }
  return false;
}

}  // namespace kz

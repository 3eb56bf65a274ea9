// PrimalRatioTest: the two-pass ratio test with bound flipping, and the
// bound perturbation that breaks long degenerate runs.
#include <algorithm>
#include <cmath>

#include "lp/primal.h"

namespace kz {
namespace {

constexpr double kInf = 1e300;

thread_local uint32_t randomState = 1;

}  // namespace

void seedRandom(uint32_t seed) { randomState = seed; }

int32_t drawRandom() {
  randomState = randomState * 214013u + 2531011u;
  return static_cast<int32_t>((randomState >> 16) & 0x7fff);
}

RatioResult primalRatioTest(ModelArea& a, PrimalRun& P, int32_t q, int dir) {
  LpState& L = *a.lp;
  RatioResult rr;
  const double tol = L.tolPrimal;
  const double pivTol = std::max(a.opt.yPivot - L.tolEntry, 1e-11);
  const double* col = L.col.data();
  // Candidates: hard bounds (kind 0/1: leaves at lower/upper) and, in
  // phase 1, breakpoints where an infeasible basic variable reaches its
  // violated bound (kind 2/3); the step may pass those while the sum of
  // infeasibilities still falls.
  int32_t nc = 0;
  auto add = [&](int32_t p, double dist, double move, bool toUp, bool breakpoint) {
    if (dist < 0.0) {
      if (!breakpoint) P.correction -= dist;
      dist = 0.0;
    }
    L.ratioPos[static_cast<size_t>(nc)] = p;
    L.ratioDist[static_cast<size_t>(nc)] = dist;
    L.ratioMove[static_cast<size_t>(nc)] = move;
    L.ratioUpper[static_cast<size_t>(nc)] = static_cast<uint8_t>((toUp ? 1 : 0) | (breakpoint ? 2 : 0));
    ++nc;
  };
  bool anyBreakpoint = false;
  for (int32_t t = 0; t < L.colN; ++t) {
    const int32_t p = L.colIdx[static_cast<size_t>(t)];
    const double alpha = col[p];
    if (std::fabs(alpha) < pivTol) continue;
    const size_t k = static_cast<size_t>(L.head[static_cast<size_t>(p)]);
    const double lo = L.lower[k], up = L.upper[k];
    if (lo <= -kInf && up >= kInf) continue;
    const double move = -dir * alpha;
    const double am = std::fabs(move);
    const double xv = L.x[k];
    if (move < 0.0) {
      if (P.phase1 && xv < lo - tol) continue;
      if (xv > up + tol) {
        if (P.phase1) {
          add(p, xv - up, am, true, true);
          anyBreakpoint = true;
          if (lo > -kInf) add(p, xv - lo, am, false, false);
        } else {
          add(p, xv - up, am, true, false);
        }
      } else if (lo > -kInf) {
        add(p, xv - lo, am, false, false);
      }
    } else {
      if (P.phase1 && xv > up + tol) continue;
      if (xv < lo - tol) {
        if (P.phase1) {
          add(p, lo - xv, am, false, true);
          anyBreakpoint = true;
          if (up < kInf) add(p, up - xv, am, true, false);
        } else {
          add(p, lo - xv, am, false, false);
        }
      } else if (up < kInf) {
        add(p, up - xv, am, true, false);
      }
    }
  }
  const size_t uq = static_cast<size_t>(q);
  const bool boxed = L.lower[uq] > -kInf && L.upper[uq] < kInf;
  const double range = boxed ? L.upper[uq] - L.lower[uq] : kInf;
  // Pass 1 over the hard bounds.
  double thetaMax = kInf;
  bool anyHard = false;
  for (int32_t t = 0; t < nc; ++t) {
    if (L.ratioUpper[static_cast<size_t>(t)] & 2) continue;
    anyHard = true;
    const double r = (L.ratioDist[static_cast<size_t>(t)] + tol) / L.ratioMove[static_cast<size_t>(t)];
    if (r < thetaMax) thetaMax = r;
  }
  if (anyHard) {
    if (L.degenLevel > 0 && thetaMax < L.tolEntry) thetaMax *= L.tolEntry * L.degenLevel + 1.0;
    thetaMax = thetaMax * (1.0 + 2.220446049250313e-16) + (a.opt.yPivot - L.tolEntry);
  }
  if (boxed && range < thetaMax) thetaMax = range;
  int32_t best = -1;
  // Phase 1: walk the breakpoints below the hard limit while the slope of
  // the sum of infeasibilities stays negative.
  if (anyBreakpoint) {
    int32_t nb = 0;
    std::vector<int32_t>& bp = L.breakOrder;  // reserved at set-up: no allocation here
    bp.clear();
    for (int32_t t = 0; t < nc; ++t) {
      if (!(L.ratioUpper[static_cast<size_t>(t)] & 2)) continue;
      const double r = L.ratioDist[static_cast<size_t>(t)] / L.ratioMove[static_cast<size_t>(t)];
      if (r <= thetaMax) {
        bp.push_back(t);
        ++nb;
      }
    }
    std::sort(bp.begin(), bp.end(), [&](int32_t u, int32_t v) {
      return L.ratioDist[static_cast<size_t>(u)] / L.ratioMove[static_cast<size_t>(u)] <
             L.ratioDist[static_cast<size_t>(v)] / L.ratioMove[static_cast<size_t>(v)];
    });
    double slope = dir * L.d[uq];
    for (int32_t u = 0; u < nb; ++u) {
      const int32_t t = bp[static_cast<size_t>(u)];
      slope += L.ratioMove[static_cast<size_t>(t)];
      if (slope >= 0.0 || (u == nb - 1 && !anyHard && !boxed)) {
        best = t;
        break;
      }
      ++rr.breakpoints;
    }
    if (best < 0) rr.breakpoints = nb;
  }
  if (best < 0) {
    if (!anyHard) {
      if (boxed) {
        rr.flip = true;
        rr.theta = range;
      } else {
        rr.unbounded = true;
      }
      return rr;
    }
    // Pass 2: the largest pivot among the hard bounds within the step.
    double bestMove = 0.0;
    for (int32_t t = 0; t < nc; ++t) {
      if (L.ratioUpper[static_cast<size_t>(t)] & 2) continue;
      const double mv = L.ratioMove[static_cast<size_t>(t)];
      const double r = L.ratioDist[static_cast<size_t>(t)] / mv;
      if (r > thetaMax) continue;
      if (best < 0 || mv > bestMove) {
        best = t;
        bestMove = mv;
      }
    }
  }
  if (best < 0) {
    rr.flip = true;
    rr.theta = range;
    return rr;
  }
  const double theta = L.ratioDist[static_cast<size_t>(best)] / L.ratioMove[static_cast<size_t>(best)];
  if (boxed && range <= theta) {
    rr.flip = true;
    rr.theta = range;
    return rr;
  }
  rr.position = L.ratioPos[static_cast<size_t>(best)];
  rr.theta = theta;
  rr.toUpper = (L.ratioUpper[static_cast<size_t>(best)] & 1) != 0;
  rr.pivot = col[rr.position];
  return rr;
}

void perturbBounds(ModelArea& a) {
  LpState& L = *a.lp;
  if (L.perturbed) return;
  L.savedLower = L.lower;
  L.savedUpper = L.upper;
  const double base = std::max(L.tolPrimal, 1e-9);
  // PERTURBA names the size: the value itself, or a pseudo-random multiple
  // of it when it was given negative.
  const bool given = a.opt.perturbNonZero != 0 && a.opt.perturb > 0.0;
  const bool randomSize = a.opt.perturbSign == 0;
  auto offset = [&](double bound, double r) {
    if (given) return randomSize ? a.opt.perturb * r : a.opt.perturb;
    return base * (10.0 + 90.0 * r) * (1.0 + std::fabs(bound) * 1e-4);
  };
  for (int32_t p = 1; p <= L.ma; ++p) {
    const size_t k = static_cast<size_t>(L.head[static_cast<size_t>(p)]);
    const double r1 = drawRandom() / 32767.0, r2 = drawRandom() / 32767.0;
    if (L.lower[k] > -kInf) L.lower[k] -= offset(L.lower[k], r1);
    if (L.upper[k] < kInf) L.upper[k] += offset(L.upper[k], r2);
  }
  L.perturbed = true;
}

void removePerturbation(ModelArea& a) {
  LpState& L = *a.lp;
  ModelStore& s = a.store;
  if (!L.perturbed) return;
  L.lower = L.savedLower;
  L.upper = L.savedUpper;
  for (int32_t k = 1; k <= L.total; ++k) {
    const size_t u = static_cast<size_t>(k);
    if (k == L.obj || L.posOf[u] != 0) continue;
    if (s.kind[k] & kKindAtUpper)
      L.x[u] = L.upper[u];
    else if (L.lower[u] > -kInf)
      L.x[u] = L.lower[u];
  }
  L.perturbed = false;
  recomputeBasicValues(a);
  L.yValid = L.dValid = false;
}

}  // namespace kz

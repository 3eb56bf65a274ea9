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
  int32_t nc = 0;
  for (int32_t t = 0; t < L.colN; ++t) {
    const int32_t p = L.colIdx[static_cast<size_t>(t)];
    const double alpha = col[p];
    if (std::fabs(alpha) < pivTol) continue;
    const size_t k = static_cast<size_t>(L.head[static_cast<size_t>(p)]);
    const double lo = L.lower[k], up = L.upper[k];
    if (lo <= -kInf && up >= kInf) continue;
    const double move = -dir * alpha;
    const double xv = L.x[k];
    double bound, dist;
    bool toUp;
    if (move < 0.0) {
      if (P.phase1 && xv < lo - tol) continue;
      if (xv > up + tol) {
        bound = up;
        toUp = true;
        ++rr.breakpoints;
      } else {
        if (lo <= -kInf) continue;
        bound = lo;
        toUp = false;
      }
      dist = xv - bound;
    } else {
      if (P.phase1 && xv > up + tol) continue;
      if (xv < lo - tol) {
        bound = lo;
        toUp = false;
        ++rr.breakpoints;
      } else {
        if (up >= kInf) continue;
        bound = up;
        toUp = true;
      }
      dist = bound - xv;
    }
    if (dist < 0.0) {
      P.correction -= dist;
      dist = 0.0;
    }
    L.ratioPos[static_cast<size_t>(nc)] = p;
    L.ratioDist[static_cast<size_t>(nc)] = dist;
    L.ratioMove[static_cast<size_t>(nc)] = std::fabs(move);
    L.ratioUpper[static_cast<size_t>(nc)] = toUp ? 1 : 0;
    ++nc;
  }
  const size_t uq = static_cast<size_t>(q);
  const bool boxed = L.lower[uq] > -kInf && L.upper[uq] < kInf;
  const double range = boxed ? L.upper[uq] - L.lower[uq] : kInf;
  if (nc == 0) {
    if (boxed) {
      rr.flip = true;
      rr.theta = range;
    } else {
      rr.unbounded = true;
    }
    return rr;
  }
  // Pass 1: the largest step that keeps every blocking variable within
  // the tolerance.
  double thetaMax = kInf;
  for (int32_t t = 0; t < nc; ++t) {
    const double r = (L.ratioDist[static_cast<size_t>(t)] + tol) / L.ratioMove[static_cast<size_t>(t)];
    if (r < thetaMax) thetaMax = r;
  }
  if (L.degenLevel > 0 && thetaMax < L.tolEntry) thetaMax *= L.tolEntry * L.degenLevel + 1.0;
  thetaMax = thetaMax * (1.0 + 2.220446049250313e-16) + (a.opt.yPivot - L.tolEntry);
  // Pass 2: the largest pivot among the rows within that step.
  int32_t best = -1;
  double bestMove = 0.0;
  for (int32_t t = 0; t < nc; ++t) {
    const double mv = L.ratioMove[static_cast<size_t>(t)];
    const double r = L.ratioDist[static_cast<size_t>(t)] / mv;
    if (r > thetaMax) continue;
    if (best < 0 || mv > bestMove) {
      best = t;
      bestMove = mv;
    }
  }
  if (best < 0) best = 0;
  const double theta = L.ratioDist[static_cast<size_t>(best)] / L.ratioMove[static_cast<size_t>(best)];
  if (boxed && range <= theta) {
    rr.flip = true;
    rr.theta = range;
    return rr;
  }
  rr.position = L.ratioPos[static_cast<size_t>(best)];
  rr.theta = theta;
  rr.toUpper = L.ratioUpper[static_cast<size_t>(best)] != 0;
  rr.pivot = col[rr.position];
  return rr;
}

void perturbBounds(ModelArea& a) {
  LpState& L = *a.lp;
  if (L.perturbed) return;
  L.savedLower = L.lower;
  L.savedUpper = L.upper;
  const double base = std::max(L.tolPrimal, 1e-9);
  for (int32_t p = 1; p <= L.ma; ++p) {
    const size_t k = static_cast<size_t>(L.head[static_cast<size_t>(p)]);
    const double r1 = drawRandom() / 32767.0, r2 = drawRandom() / 32767.0;
    if (L.lower[k] > -kInf) L.lower[k] -= base * (10.0 + 90.0 * r1) * (1.0 + std::fabs(L.lower[k]) * 1e-4);
    if (L.upper[k] < kInf) L.upper[k] += base * (10.0 + 90.0 * r2) * (1.0 + std::fabs(L.upper[k]) * 1e-4);
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

// The dual simplex's leaving-row choice, pivot row, two-pass ratio test with
// bound flipping and the reference-framework weight update.
#include <algorithm>
#include <cmath>

#include "lp/dual.h"
#include "lp/primal.h"

namespace kz {
namespace {

constexpr double kInf = 1e300;
constexpr double kEps = 2.220446049250313e-16;

}  // namespace

int32_t dualSwitchCount(const ModelArea& a) {
  const LpState& L = *a.lp;
  if (a.opt.pricing == 1) return L.ma + 1;
  return static_cast<int32_t>(std::sqrt(static_cast<double>(L.ma))) + 1;
}

DualWork& dualWork(LpState& L) {
  if (!L.dualWork) L.dualWork = std::make_shared<DualWork>();
  DualWork& W = *L.dualWork;
  const size_t np = static_cast<size_t>(L.total) + 1, mp = static_cast<size_t>(L.ma) + 1;
  if (W.np != np || W.mp != mp) {
    W.infeas.assign(mp, 0.0);
    W.cand.assign(np, 0);
    W.candRatio.assign(np, 0.0);
    W.candBound.assign(np, 0.0);
    W.candAlpha.assign(np, 0.0);
    W.candRange.assign(np, 0.0);
    W.order.assign(np, 0);
    W.gone.assign(np, 0);
    W.flips.assign(np, 0);
    W.vec.assign(mp, 0.0);
    W.vecIdx.assign(mp, 0);
    W.boxed.clear();
    W.boxed.reserve(np);
    W.savedCost.assign(np, 0.0);
    W.np = np;
    W.mp = mp;
  }
  return W;
}

double basicInfeasibility(const LpState& L, int32_t p) {
  const size_t k = static_cast<size_t>(L.head[static_cast<size_t>(p)]);
  const double xv = L.x[k], tol = L.tolPrimal;
  if (xv < L.lower[k] - tol) return L.lower[k] - xv;
  if (xv > L.upper[k] + tol) return xv - L.upper[k];
  return 0.0;
}

void buildInfeasibilities(LpState& L, DualWork& W) {
  for (int32_t p = 1; p <= L.ma; ++p) W.infeas[static_cast<size_t>(p)] = basicInfeasibility(L, p);
}

void resetDualWeights(ModelArea& a, DualRun& R) {
  LpState& L = *a.lp;
  const size_t N = static_cast<size_t>(L.total);
  for (size_t k = 1; k <= N; ++k) {
    L.weight[k] = 1.0;
    if (L.posOf[k] != 0)
      L.flag[k] |= kLpFramework;
    else
      L.flag[k] &= static_cast<uint8_t>(~kLpFramework);
  }
  L.weightCountdown = 1024;
  R.resetDue = false;
}

int32_t dualChooseRow(ModelArea& a, DualRun& R) {
  const ModelStore& s = a.store;
  LpState& L = *a.lp;
  const double* inf = R.w->infeas.data();
  const int32_t* head = L.head.data();
  const double* w = L.weight.data();
  int32_t count = 0, best = 0, bestW = 0;
  double sum = 0.0, bestV = 0.0, bestS = 0.0;
  for (int32_t p = 1; p <= L.ma; ++p) {
    const double v = inf[p];
    if (v <= 0.0) continue;
    const int32_t k = head[p];
    if (s.kind[k] & kKindRejected) continue;
    ++count;
    sum += v;
    if (v > bestV) {
      bestV = v;
      best = p;
    }
    const double sc = v * v / w[k];
    if (sc > bestS) {
      bestS = sc;
      bestW = p;
    }
  }
  R.count = count;
  R.sum = sum;
  R.maxInf = bestV;
  L.sumInf = sum;
  if (count <= R.switchCount) {
    // The weights are not read while few rows are infeasible; they are no
    // longer kept up to date and start afresh when the count passes the
    // switch count again (saving the weight update's Ftran meanwhile).
    R.weightsOn = false;
    return best;
  }
  if (!R.weightsOn) {
    // Fresh weights, under which the score orders the rows as the plain
    // infeasibility does.
    resetDualWeights(a, R);
    R.weightsOn = true;
    return best;
  }
  return bestW;
}

void clearPivotRow(LpState& L) {
  for (int32_t t = 0; t < L.prowN; ++t) L.prow[static_cast<size_t>(L.prowIdx[static_cast<size_t>(t)])] = 0.0;
  L.prowN = 0;
  for (int32_t t = 0; t < L.rhoN; ++t) L.rho[static_cast<size_t>(L.rhoIdx[static_cast<size_t>(t)])] = 0.0;
  L.rhoN = 0;
}

void dualPivotRow(ModelArea& a, int32_t r) {
  clearPivotRow(*a.lp);
  btranUnit(a, r);
  pivotRow(a);
}

DualChoice dualRatioTest(ModelArea& a, DualRun& R, int dir, double delta) {
  const ModelStore& s = a.store;
  LpState& L = *a.lp;
  DualWork& W = *R.w;
  DualChoice ch;
  const double pivTol = std::max(a.opt.yPivot, 1e-11);
  const double tolD = L.tolDual;
  const double* prow = L.prow.data();
  int32_t nc = 0;
  bool anyFree = false;
  for (int32_t t = 0; t < L.prowN; ++t) {
    const int32_t j = L.prowIdx[static_cast<size_t>(t)];
    const double alpha = prow[j];
    const double aa = std::fabs(alpha);
    if (aa < pivTol) continue;
    if (excludedFromPricing(s, L, j)) continue;
    const size_t u = static_cast<size_t>(j);
    const double dj = L.d[u];
    const double lo = L.lower[u], up = L.upper[u];
    const bool isFree = lo <= -kInf && up >= kInf;
    double dd;
    if (isFree) {
      dd = std::fabs(dj);
      anyFree = anyFree || dd > L.tolEntry;
    } else if (s.kind[j] & kKindAtUpper) {
      if (dir * alpha <= 0.0) continue;
      dd = -dj;
    } else {
      if (dir * alpha >= 0.0) continue;
      dd = dj;
    }
    W.cand[static_cast<size_t>(nc)] = j;
    W.candAlpha[static_cast<size_t>(nc)] = aa;
    W.candRatio[static_cast<size_t>(nc)] = std::max(dd, 0.0) / aa;
    W.candBound[static_cast<size_t>(nc)] = std::max(dd + (L.scaledTols ? dualTolOf(L, j) : tolD), 0.0) / aa;
    W.candRange[static_cast<size_t>(nc)] = isFree ? -1.0 : (up < kInf && lo > -kInf ? up - lo : kInf);
    ++nc;
  }
  if (nc == 0) return ch;
  const double tieTol = a.opt.yPivot;
  // Once a candidate flips, the others are taken in ratio order from a
  // window order[0..ns) of the candidates with ratio <= tWin, sorted and
  // widened on demand.
  int32_t ns = 0;
  double tWin = -1.0;
  double lastThetaMax = 0.0;
  auto widen = [&](double t) {
    const int32_t old = ns;
    double next = kInf;  // at least the nearest candidate outside comes in
    for (int32_t c = 0; c < nc; ++c) {
      const double ratio = W.candRatio[static_cast<size_t>(c)];
      if (ratio > tWin && ratio < next) next = ratio;
    }
    if (next < kInf) t = std::max(t, next);
    for (int32_t c = 0; c < nc; ++c) {
      const double ratio = W.candRatio[static_cast<size_t>(c)];
      if (ratio > tWin && ratio <= t) W.order[static_cast<size_t>(ns++)] = c;
    }
    std::sort(W.order.begin() + old, W.order.begin() + ns, [&](int32_t u, int32_t v) {
      const double ru = W.candRatio[static_cast<size_t>(u)], rv = W.candRatio[static_cast<size_t>(v)];
      return ru < rv || (ru == rv && u < v);
    });
    tWin = t;
  };
  // One round of the two passes over the candidates still in play.
  auto choose = [&](bool sorted, int32_t from) -> int32_t {
    double thetaMax = kInf;
    if (sorted) {
      for (;;) {
        thetaMax = kInf;
        int32_t t = from;
        for (; t < ns; ++t) {
          const int32_t c = W.order[static_cast<size_t>(t)];
          if (W.gone[static_cast<size_t>(c)]) continue;
          if (W.candRatio[static_cast<size_t>(c)] > thetaMax) break;
          thetaMax = std::min(thetaMax, W.candBound[static_cast<size_t>(c)]);
        }
        if (t < ns || ns == nc || thetaMax <= tWin) break;
        widen(std::max(2.0 * tWin, thetaMax));
      }
    } else {
      for (int32_t c = 0; c < nc; ++c) thetaMax = std::min(thetaMax, W.candBound[static_cast<size_t>(c)]);
    }
    thetaMax *= 1.0 + kEps;
    lastThetaMax = thetaMax;
    int32_t best = -1;
    double bestA = 0.0, bestRange = 0.0;
    bool bestFree = false;
    const int32_t end = sorted ? ns : nc;
    for (int32_t t = sorted ? from : 0; t < end; ++t) {
      const int32_t c = sorted ? W.order[static_cast<size_t>(t)] : t;
      if (sorted && W.gone[static_cast<size_t>(c)]) continue;
      const double ratio = W.candRatio[static_cast<size_t>(c)];
      if (ratio > thetaMax) {
        if (sorted) break;
        continue;
      }
      const double aa = W.candAlpha[static_cast<size_t>(c)];
      const double range = W.candRange[static_cast<size_t>(c)];
      const bool fr = range < 0.0;
      bool take = best < 0;
      if (!take) {
        if (anyFree && fr != bestFree)
          take = fr;
        else if (aa > bestA + tieTol)
          take = true;
        else if (aa >= bestA - tieTol)
          take = (fr ? kInf : range) > bestRange;
      }
      if (take) {
        best = c;
        bestA = aa;
        bestRange = fr ? kInf : range;
        bestFree = fr;
      }
    }
    return best;
  };
  // The group of the last round: the candidates in play whose ratio is
  // within its Harris bound. It passes as a whole when flipping all of its
  // members leaves the row infeasible; otherwise its best member enters and
  // none of them flips (a member passed over while another with a smaller
  // ratio enters would be left dual infeasible).
  auto groupDrop = [&](bool inOrder, int32_t start) {
    double drop = 0.0;
    const int32_t end = inOrder ? ns : nc;
    for (int32_t t = inOrder ? start : 0; t < end; ++t) {
      const int32_t c = inOrder ? W.order[static_cast<size_t>(t)] : t;
      if (inOrder && W.gone[static_cast<size_t>(c)]) continue;
      if (W.candRatio[static_cast<size_t>(c)] > lastThetaMax) {
        if (inOrder) break;
        continue;
      }
      const double range = W.candRange[static_cast<size_t>(c)];
      if (!(range >= 0.0 && range < kInf)) return kInf;
      drop += W.candAlpha[static_cast<size_t>(c)] * range;
    }
    return drop;
  };
  int32_t best = choose(false, 0);
  int32_t nflip = 0;
  bool sorted = false;
  int32_t from = 0;
  while (best >= 0) {
    const double drop = groupDrop(sorted, from);
    if (!(drop < kInf && delta - drop > 0.0)) break;
    // Long step: the whole group goes to its other bounds and the row stays
    // infeasible; the choice repeats over the others.
    delta -= drop;
    const double groupMax = lastThetaMax;
    if (!sorted) {
      for (int32_t c = 0; c < nc; ++c) W.gone[static_cast<size_t>(c)] = 0;
      widen(std::max(2.0 * groupMax, 1e-12));
      sorted = true;
    }
    for (int32_t t = from; t < ns; ++t) {
      const int32_t c = W.order[static_cast<size_t>(t)];
      if (W.gone[static_cast<size_t>(c)]) continue;
      if (W.candRatio[static_cast<size_t>(c)] > groupMax) break;
      W.gone[static_cast<size_t>(c)] = 1;
      W.flips[static_cast<size_t>(nflip++)] = W.cand[static_cast<size_t>(c)];
    }
    while (from < ns && W.gone[static_cast<size_t>(W.order[static_cast<size_t>(from)])]) ++from;
    if (from >= ns && ns < nc) widen(std::max(2.0 * tWin, 1e-12));
    while (from < ns && W.gone[static_cast<size_t>(W.order[static_cast<size_t>(from)])]) ++from;
    best = from < ns ? choose(true, from) : -1;
  }
  ch.flips = nflip;
  ch.delta = delta;
  if (best < 0) {
    // Every candidate flipped and the row is still infeasible: no entering
    // variable (the flips are dropped).
    ch.flips = 0;
    return ch;
  }
  ch.q = W.cand[static_cast<size_t>(best)];
  ch.alpha = prow[ch.q];
  ch.free = W.candRange[static_cast<size_t>(best)] < 0.0;
  return ch;
}

void updateDualWeights(ModelArea& a, DualRun& R, int32_t r, int32_t q, double alpha) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  DualWork& W = *R.w;
  const int32_t l = L.head[static_cast<size_t>(r)];
  const bool qF = (L.flag[static_cast<size_t>(q)] & kLpFramework) != 0;
  const bool lF = (L.flag[static_cast<size_t>(l)] & kLpFramework) != 0;
  // e and the combination of the framework columns of the pivot row.
  double e = 0.0;
  double* v = W.vec.data();
  int32_t* vi = W.vecIdx.data();
  int32_t vn = 0;
  const double* prow = L.prow.data();
  for (int32_t t = 0; t < L.prowN; ++t) {
    const int32_t j = L.prowIdx[static_cast<size_t>(t)];
    if (j == q || !(L.flag[static_cast<size_t>(j)] & kLpFramework)) continue;
    if (excludedFromPricing(s, L, j) && !(s.kind[j] & kKindRejected)) continue;
    const double arj = prow[j];
    if (std::fabs(arj) <= kEps) continue;
    e += arj * arj;
    for (int32_t p = L.cStart[static_cast<size_t>(j)]; p < L.cStart[static_cast<size_t>(j) + 1]; ++p) {
      const int32_t i = L.cRow[static_cast<size_t>(p)];
      if (v[i] == 0.0) vi[vn++] = i;
      v[i] -= arj * L.cVal[static_cast<size_t>(p)];
      if (v[i] == 0.0) v[i] = 1e-300;
    }
  }
  if (vn > 0) L.lu.ftran(v, vi, vn, 0, false);
  // Every position the entering column touches.
  const double* col = L.col.data();
  const double tolP = L.tolPrimal;
  for (int32_t t = 0; t < L.colN; ++t) {
    const int32_t i = L.colIdx[static_cast<size_t>(t)];
    if (i == r) continue;
    const double aiq = col[i];
    if (aiq == 0.0) continue;
    const size_t k = static_cast<size_t>(L.head[static_cast<size_t>(i)]);
    if (L.lower[k] <= -kInf && L.upper[k] >= kInf) continue;
    const double u = aiq / alpha;
    double tw = L.weight[k] - (qF ? aiq * aiq : 0.0) + u * (e * u + 2.0 * v[i]) + (lF ? u * u : 0.0);
    L.weight[k] = tw < tolP ? 1.0 : tw;
  }
  for (int32_t t = 0; t < vn; ++t) v[vi[t]] = 0.0;
  double wq = (e + (lF ? 1.0 : 0.0)) / (alpha * alpha) + (qF ? 1.0 : 0.0);
  if (wq < 1000.0 * tolP) {
    wq += 2.0;
    if (L.iterations - L.lastFactorIteration > 25) L.refactor = true;
  }
  L.weight[static_cast<size_t>(q)] = wq;
}

}  // namespace kz

// PrimalSimplex: the main loop, the termination checks with the tolerance
// ladder, the cycle ring and the exit.
#include "lp/primal.h"

#include <algorithm>
#include <cmath>

#include "lp/status.h"
#include "model/settings.h"

namespace kz {
namespace {

constexpr double kInf = 1e300;

void clearRing(LpState& L) {
  L.ringCount = 0;
  L.ringAt = 0;
}

// Pushes (leaving, entering) and tells whether the sequence now repeats:
// the pair occurred P steps back and the P pairs before both agree.
bool pushRing(LpState& L, int32_t leave, int32_t enter) {
  const int R = LpState::kRing;
  L.ringLeave[L.ringAt] = leave;
  L.ringEnter[L.ringAt] = enter;
  const int now = L.ringAt;
  L.ringAt = (L.ringAt + 1) % R;
  if (L.ringCount < R) ++L.ringCount;
  auto at = [&](int back) { return (now - back + R * 2) % R; };
  for (int period = 1; 2 * period <= L.ringCount - 1 && period < R / 2; ++period) {
    const int e = at(period);
    if (L.ringLeave[e] != leave || L.ringEnter[e] != enter) continue;
    bool same = true;
    for (int t = 1; t < period && same; ++t) {
      const int u = at(t), v = at(t + period);
      same = L.ringLeave[u] == L.ringLeave[v] && L.ringEnter[u] == L.ringEnter[v];
    }
    if (same) return true;
  }
  return false;
}

int32_t clearRejected(ModelArea& a) {
  ModelStore& s = a.store;
  int32_t n = 0;
  for (int32_t k = 1; k <= s.total; ++k)
    if (s.kind[k] & kKindRejected) {
      s.kind[k] &= ~kKindRejected;
      ++n;
    }
  return n;
}

void clearEntryMarks(ModelArea& a) {
  ModelStore& s = a.store;
  for (int32_t k = 1; k <= s.total; ++k) s.kind[k] &= ~(kKindRejected | kKindListed | kKindMarkedEntry);
}

void restoreSettings(ModelArea& a, PrimalRun& P) {
  LpState& L = *a.lp;
  L.tolPrimal = P.savedPrimal;
  L.tolDual = P.savedDual;
  L.rejPivot = P.savedRej;
  a.opt.markowitz = P.savedMarkowitz;
  L.refine = P.savedRefine;
}

void tightenMarkowitz(ModelArea& a) {
  a.opt.markowitz = (a.opt.markowitz + 0.999) / 2.0;
  lu::LuOptions o = a.lp->lu.options();
  o.markowitz = a.opt.markowitz > 1.0 ? 1.0 / a.opt.markowitz : a.opt.markowitz;
  a.lp->lu.setOptions(o);
}

int directionOf(const ModelStore& s, const LpState& L, int32_t q) {
  const size_t u = static_cast<size_t>(q);
  if (L.lower[u] <= -kInf && L.upper[u] >= kInf) return L.d[u] > 0.0 ? -1 : 1;
  return (s.kind[q] & kKindAtUpper) ? -1 : 1;
}

}  // namespace

int16_t primalSimplex(ModelArea& a) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  PrimalRun P;

  // Set-up of one call.
  L.algorithm = 1;
  L.lpStatus = kLpHandOver;
  L.unboundedVar = -1;
  clearRing(L);
  P.savedPrimal = a.opt.xToZero;
  P.savedDual = std::fabs(a.opt.reducedCost);
  P.savedRej = a.opt.rejPivot;
  P.savedMarkowitz = a.opt.markowitz;
  P.savedRefine = a.opt.simplexRefine;
  L.tolPrimal = P.savedPrimal;
  L.tolDual = P.savedDual;
  L.tolEntry = tranEntry(a);
  L.rejPivot = P.savedRej;
  L.refine = P.savedRefine;
  L.scaledTols = false;
  const double tolP = L.tolPrimal;
  P.sumInfAccept = (a.opt.sumInf >= 0.0 ? a.opt.sumInf : (L.insideBranch ? 4.0 : 128.0) * tolP) + L.tolEntry;
  P.sumDualAccept = (a.opt.sumDualInf > 0.0 ? a.opt.sumDualInf : L.tolDual) + L.tolEntry;
  P.devex = a.opt.pricing >= 3;
  P.fullPricing = P.devex;
  P.feasFlip = a.opt.feasFlip;
  L.degenLevel = 0;
  L.stall = 0;
  L.degenerate = 0;
  L.candN = 0;
  L.candLimit = L.pricedMax;
  L.cursor = 0;
  if (P.devex) resetDevex(a, P);
  if (!L.refactor && L.lu.valid()) recomputeBasicValues(a);
  L.yValid = L.dValid = false;
  // Perturbation from the start when PERTURBA is set, on the first basis
  // that has factors.
  bool perturbPending = a.opt.perturbNonZero != 0 && a.opt.perturb > 0.0;
  const int32_t iterLimit = a.opt.iterations;
  bool previousPhase1 = false;
  bool first = true;
  int32_t enteredAt = -1;

  for (;;) {
    // 1. Stop request.
    if (pollStop(a)) {
      L.lpStatus = kLpLimit;
      break;
    }
    // 2. Factorization.
    bool fresh = false;
    if (factorizationDue(L)) {
      if (factorizeBasis(a) != 0) {
        L.lpStatus = kLpNoMemory;
        break;
      }
      fresh = true;
      if (L.factorizations % 4 == 0 && P.rejectedCount > 0) {
        clearRejected(a);
        P.rejectedCount = 0;
      }
      if (L.factorizations % 8 == 0) L.rejPivot = P.savedRej;
    }
    if (perturbPending && L.lu.valid()) {
      perturbPending = false;
      perturbBounds(a);
    }
    // 3, 4, 6. Infeasibilities, phase, costs and prices.
    if (!L.yValid || (P.fullPricing && !L.dValid)) {
      const int32_t cnt = countInfeasibilities(a, P, L.tolPrimal);
      P.phase1 = cnt > 0;
      if (P.devex && !first && P.phase1 != previousPhase1 && !P.phase1) resetDevex(a, P);
      previousPhase1 = P.phase1;
      first = false;
      setPhaseCosts(a, P);
      computePrices(a, P);
    }
    // 5. Limits.
    if (L.iterations >= iterLimit || elapsedSeconds(a) >= L.workTimeLimit) {
      L.lpStatus = kLpLimit;
      break;
    }
    // 7. Pricing.
    int32_t q = 0;
    if (P.fullPricing) {
      q = priceDevex(a, P);
    } else if (priceCandidates(a, P)) {
      for (int32_t t = 0; t < L.candN && q == 0; ++t) {
        const int32_t k = L.cand[static_cast<size_t>(t)];
        if (k == L.head[0]) continue;
        q = k;
      }
    }
    if (q == 0) {
      // Termination checks.
      ++P.checks;
      const bool giveUp = P.checks > 2 * P.feasFlip + 20;
      if (!giveUp && !fresh && L.lu.updatesSinceFactor() > 0) {
        L.refactor = true;
        continue;
      }
      if (!giveUp && P.rejectedCount > 0) {
        clearRejected(a);
        P.rejectedCount = 0;
        L.yValid = false;
        continue;
      }
      if (!giveUp && !P.phase1 && !L.scaledTols && L.largeScale) {
        // Optimal in the scaled model: once more with the dual tolerance
        // divided by the scale factors above 1, so that the reported
        // reduced costs keep the tolerance too.
        L.scaledTols = true;
        continue;
      }
      if (L.perturbed) {
        removePerturbation(a);
        continue;
      }
      if (P.phase1 && !giveUp) {
        if (!P.tightened) {
          // Once: tighter tolerances and more careful pivots.
          P.tightened = true;
          P.flipCounter -= 2;
          L.tolDual = P.savedDual / 128.0;
          tightenMarkowitz(a);
          L.refactor = true;
          continue;
        }
      }
      if (P.phase1) {
        // Infeasible handling.
        if (a.opt.dualMode == 0) {
          L.lpStatus = kLpHandOver;
          break;
        }
        if (!P.infeasRescue && !L.insideBranch) {
          P.infeasRescue = true;
          L.tolPrimal = P.savedPrimal * 16.0;
          L.tolDual = P.savedDual / 128.0;
          tightenMarkowitz(a);
          P.flipCounter -= 10;
          L.refactor = true;
          continue;
        }
        L.lpStatus = kLpInfeasible;
        break;
      }
      L.lpStatus = kLpOptimal;
      break;
    }

    // 8. The entering column and its check.
    const int dir = directionOf(s, L, q);
    ftran(a, q, L.col.data(), L.refine);
    {
      double dq0 = L.cost[static_cast<size_t>(q)];
      for (int32_t t = 0; t < L.colN; ++t) {
        const int32_t p = L.colIdx[static_cast<size_t>(t)];
        dq0 -= L.cost[static_cast<size_t>(L.head[static_cast<size_t>(p)])] * L.col[static_cast<size_t>(p)];
      }
      const double dq = L.d[static_cast<size_t>(q)];
      const bool disagree = std::fabs(dq - dq0) > 1e-6 * (1.0 + std::fabs(dq0)) &&
                            (std::fabs(dq0) <= 0.5 || dq / dq0 < 0.999 || dq / dq0 > 1.001);
      if (disagree && !fresh) {
        L.refactor = true;
        continue;
      }
      L.d[static_cast<size_t>(q)] = dq0;
      if (dir * dq0 >= -dualTolOf(L, q) * 0.5) {
        // Not attractive on a fresh look: the maintained reduced costs have
        // drifted from the factors. Price again on fresh factors; on fresh
        // factors the candidate is rejected. (Repricing on the old factors
        // alone picks the same candidate again and again.)
        L.yValid = L.dValid = false;
        if (fresh) {
          s.kind[q] |= kKindRejected;
          ++P.rejectedCount;
        } else {
          L.refactor = true;
        }
        continue;
      }
    }
    const RatioResult rr = primalRatioTest(a, P, q, dir);

    // 13. No blocking row and no bound.
    if (rr.unbounded) {
      if (P.phase1) {
        s.kind[q] |= kKindRejected;
        ++P.rejectedCount;
        continue;
      }
      if (!fresh && L.lu.updatesSinceFactor() > 0 && P.flipCounter <= P.feasFlip) {
        ++P.flipCounter;
        L.refactor = true;
        continue;
      }
      if (L.perturbed) {
        removePerturbation(a);
        continue;
      }
      if (L.insideBranch) {
        L.lpStatus = kLpInfeasible;
      } else {
        L.lpStatus = kLpUnbounded;
        L.unboundedVar = q;
        s.kind[q] |= kKindPossiblyInfeasible;
      }
      break;
    }
    // 10. A pivot too small to trust.
    if (!rr.flip && std::fabs(rr.pivot) < L.rejPivot) {
      s.kind[q] |= kKindRejected;
      ++P.rejectedCount;
      if (L.iterations - L.lastFactorIteration > 5) L.refactor = true;
      continue;
    }
    // 12. Bound flip.
    if (rr.flip) {
      ++L.iterations;
      primalBoundFlip(a, P, q, dir);
      P.lastFlipped = q;
      writeIterationLog(a, 3);
      continue;
    }
    // 14. Pivot: degeneracy, cycle ring, callback, basis change, log.
    const int32_t leaving = L.head[static_cast<size_t>(rr.position)];
    const size_t uq = static_cast<size_t>(q);
    const bool enteringSpecial = L.lower[uq] <= -kInf || L.upper[uq] - L.lower[uq] <= 0.0;
    if (enteringSpecial) {
      L.degenLevel = 0;
      L.stall = 0;
      L.degenerate = 0;
    } else if (rr.theta < L.tolPrimal) {
      ++L.stall;
      ++L.degenerate;
    } else {
      L.stall = 0;
      L.degenerate = 0;
    }
    if (L.stall >= L.degenLimit) L.candLimit = L.pricedMax;
    if (L.stall > L.degenLimit) {
      ++L.degenLevel;
      L.stall = 0;
      // Perturbation once the level has risen above 4.
      if (L.degenLevel > 4 && !L.perturbed) perturbBounds(a);
    }
    if (pushRing(L, leaving, q)) {
      if (!P.cycleSeen) {
        P.cycleSeen = true;
        clearRing(L);
        tightenMarkowitz(a);
        L.tolPrimal = P.savedPrimal / 16.0;
        L.tolDual = P.savedDual / 128.0;
        L.candLimit = L.pricedMax;
        s.kind[q] |= kKindRejected;
        ++P.rejectedCount;
        if (!L.perturbed) perturbBounds(a);
        L.refactor = true;
        continue;
      }
      ++P.flipCounter;
      if (P.flipCounter <= P.feasFlip) {
        clearRing(L);
        s.kind[q] |= kKindRejected;
        ++P.rejectedCount;
        continue;
      }
    }
    ++L.iterations;
    if (simplexProgress(a, q, leaving, L.d[uq])) {
      L.lpStatus = kLpUserStop;
      break;
    }
    primalBasisChange(a, P, q, dir, rr);
    enteredAt = L.iterations;
    P.lastEntered = q;
    if (P.phase1 && L.phase1Count == 0) L.yValid = L.dValid = false;
    writeIterationLog(a, 3);
  }
  (void)enteredAt;

  // Exit.
  if (L.perturbed) removePerturbation(a);
  if ((L.lpStatus == kLpLimit || L.lpStatus == kLpUserStop) && !L.insideBranch) {
    if (factorizeBasis(a) == 0) {
      PrimalRun Q = P;
      countInfeasibilities(a, Q, P.savedPrimal);
    }
  }
  if (L.lpStatus == kLpOptimal || L.lpStatus == kLpUnbounded) L.phase1Count = 0;
  clearEntryMarks(a);
  restoreSettings(a, P);
  if (L.lpStatus == kLpOptimal && !L.insideBranch) simplexHookSeam(a);
  if (s.loadInfeasible) L.lpStatus = kLpInfeasible;
  return L.lpStatus;
}

}  // namespace kz

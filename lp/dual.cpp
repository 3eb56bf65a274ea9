// DualSimplex: the set-up, the main loop, the artificial boxes, the
// optimality and infeasibility checks, the confirmation on fresh factors
// and the exit.
#include "lp/dual.h"

#include <algorithm>
#include <cmath>

#include "frame/platform.h"
#include "lp/primal.h"
#include "lp/status.h"
#include "model/settings.h"

namespace kz {
namespace {

constexpr double kInf = 1e300;
constexpr double kFirstBox = 16777216.0;  // 2^24
constexpr double kBoxLimit = 1e18;
constexpr uint32_t kNoPart = kKindRemoved | kKindFixed | kKindHeld | kKindMark400 | kKindMark8000;

void tightenMarkowitz(ModelArea& a) {
  a.opt.markowitz = (a.opt.markowitz + 0.999) / 2.0;
  lu::LuOptions o = a.lp->lu.options();
  o.markowitz = a.opt.markowitz > 1.0 ? 1.0 / a.opt.markowitz : a.opt.markowitz;
  a.lp->lu.setOptions(o);
}

int32_t clearRejections(ModelArea& a) {
  ModelStore& s = a.store;
  int32_t n = 0;
  for (int32_t k = 1; k <= s.total; ++k)
    if (s.kind[k] & (kKindRejected | kKindMarkedEntry)) {
      s.kind[k] &= ~(kKindRejected | kKindMarkedEntry);
      ++n;
    }
  return n;
}

double objectiveOf(const LpState& L) {
  double z = 0.0;
  for (int32_t k = 1; k <= L.total; ++k) {
    const size_t u = static_cast<size_t>(k);
    if (L.x[u] != 0.0 && L.cost[u] != 0.0) z += L.cost[u] * L.x[u];
  }
  return z;
}

bool artificialActive(const LpState& L, int32_t k) {
  const size_t u = static_cast<size_t>(k);
  return (L.flag[u] & kLpArtificialBound) && L.posOf[u] == 0 && L.x[u] != 0.0;
}

// Gives variable k an artificial box of size B (both sides when it is free).
void boxVariable(ModelArea& a, DualWork& W, int32_t k, double B) {
  LpState& L = *a.lp;
  const size_t u = static_cast<size_t>(k);
  if (!(L.flag[u] & kLpArtificialBound)) {
    L.flag[u] |= kLpArtificialBound;
    W.boxed.push_back(k);
  }
  if (a.store.kind[k] & kKindFree) L.lower[u] = -B;
  L.upper[u] = B;
}

// The working tolerances, pivot rejection and refinement count of the
// option values, scaled tolerances off: the state a call starts and ends in.
void optionTolerances(ModelArea& a) {
  LpState& L = *a.lp;
  L.tolPrimal = a.opt.xToZero;
  L.tolDual = std::fabs(a.opt.reducedCost);
  L.tolEntry = tranEntry(a);
  L.rejPivot = a.opt.rejPivot;
  L.refine = a.opt.simplexRefine;
  L.scaledTols = false;
}

// How makeDualFeasible treats a variable whose reduced cost asks for a
// bound it does not have.
enum class Repair {
  kBox,    // give it an artificial box (the start of a call)
  kShift,  // a small violation shifts its cost to zero, a large one boxes
  kReport  // change nothing for it (the true costs are back)
};
constexpr double kShiftLimit = 1e-3;
constexpr int kValueMoved = 1, kNeedsBox = 2;

// Dual feasibility of the nonbasic variables: a variable whose reduced cost
// asks for its other bound goes there; one without that bound is repaired
// as `how` says. Returns kValueMoved when a nonbasic value changed and
// kNeedsBox when a variable was left dual infeasible (kReport).
int makeDualFeasible(ModelArea& a, DualRun& R, double B, Repair how) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  DualWork& W = *R.w;
  int result = 0;
  // Shifts the cost of k so that its reduced cost becomes 0, or boxes it;
  // false when nothing was done (report mode).
  auto repair = [&](int32_t k, double d) {
    const size_t u = static_cast<size_t>(k);
    if (how == Repair::kReport) {
      result |= kNeedsBox;
      return false;
    }
    if (how == Repair::kShift && std::fabs(d) <= kShiftLimit) {
      W.savedCost[u] -= d;
      L.cost[u] -= d;
      L.d[u] = 0.0;
      R.perturbed = true;
      return false;
    }
    boxVariable(a, W, k, B);
    return true;
  };
  for (const int32_t k : L.vars) {
    const size_t u = static_cast<size_t>(k);
    if (L.posOf[u] != 0 || (s.kind[k] & kNoPart)) continue;
    if (L.upper[u] - L.lower[u] <= 0.0) continue;
    const double d = L.d[u];
    const double tolD = dualTolOf(L, k);
    const bool up = (s.kind[k] & kKindAtUpper) != 0;
    if (L.lower[u] <= -kInf && L.upper[u] >= kInf) {
      if (std::fabs(d) <= tolD) continue;
      if (!repair(k, d)) continue;
    } else if (up) {
      if (d <= tolD) continue;
      if (L.lower[u] <= -kInf) continue;  // not in the working form
    } else {
      if (d >= -tolD) continue;
      if (L.upper[u] >= kInf && !repair(k, d)) continue;
    }
    if (d < 0.0) {
      s.kind[k] |= kKindAtUpper;
      L.x[u] = L.upper[u];
    } else {
      s.kind[k] &= ~kKindAtUpper;
      L.x[u] = L.lower[u];
    }
    result |= kValueMoved;
  }
  return result;
}

// Raises B and moves the boxed variables that sit on a box side with it.
void raiseBoxes(ModelArea& a, DualRun& R, double& B) {
  LpState& L = *a.lp;
  B = B == 0.0 ? kFirstBox : B * 32.0;
  R.w->boxUsed = std::max(R.w->boxUsed, B);
  ++R.w->boxRaises;
  for (const int32_t k : R.w->boxed) {
    const size_t u = static_cast<size_t>(k);
    if (!(L.flag[u] & kLpArtificialBound)) continue;
    const bool onLower = L.posOf[u] == 0 && L.lower[u] < 0.0 && L.x[u] == L.lower[u];
    const bool onUpper = L.posOf[u] == 0 && (a.store.kind[k] & kKindAtUpper);
    boxVariable(a, *R.w, k, B);
    if (onLower) L.x[u] = L.lower[u];
    if (onUpper) L.x[u] = L.upper[u];
  }
  recomputeBasicValues(a);
  buildInfeasibilities(L, *R.w);
}

// Removes every artificial box; returns whether a nonbasic value moved.
bool removeBoxes(ModelArea& a, DualWork& W) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  bool moved = false;
  for (const int32_t k : W.boxed) {
    const size_t u = static_cast<size_t>(k);
    if (!(L.flag[u] & kLpArtificialBound)) continue;
    L.flag[u] &= static_cast<uint8_t>(~kLpArtificialBound);
    L.upper[u] = kInf;
    if (s.kind[k] & kKindFree) L.lower[u] = -kInf;
    if (L.posOf[u] == 0) {
      s.kind[k] &= ~kKindAtUpper;
      const double to = L.lower[u] > -kInf ? L.lower[u] : 0.0;
      if (L.x[u] != to) moved = true;
      L.x[u] = to;
    }
  }
  W.boxed.clear();
  return moved;
}

// The long step's flips: the nonbasic values move to their other bounds and
// the basic values follow with one Ftran.
void applyFlips(ModelArea& a, DualRun& R, int32_t nflip) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  DualWork& W = *R.w;
  double* v = W.vec.data();
  int32_t* vi = W.vecIdx.data();
  int32_t vn = 0;
  for (int32_t t = 0; t < nflip; ++t) {
    const int32_t j = W.flips[static_cast<size_t>(t)];
    const size_t u = static_cast<size_t>(j);
    double step;
    if (s.kind[j] & kKindAtUpper) {
      step = L.lower[u] - L.upper[u];
      s.kind[j] &= ~kKindAtUpper;
      L.x[u] = L.lower[u];
    } else {
      step = L.upper[u] - L.lower[u];
      s.kind[j] |= kKindAtUpper;
      L.x[u] = L.upper[u];
    }
    R.objective += L.d[u] * step;
    for (int32_t p = L.cStart[u]; p < L.cStart[u + 1]; ++p) {
      const int32_t i = L.cRow[static_cast<size_t>(p)];
      if (v[i] == 0.0) vi[vn++] = i;
      v[i] += L.cVal[static_cast<size_t>(p)] * step;
      if (v[i] == 0.0) v[i] = 1e-300;
    }
  }
  W.flipCount += nflip;
  if (vn == 0) return;
  L.lu.ftran(v, vi, vn, 0, false);
  const double drop = L.tolEntry;
  for (int32_t t = 0; t < vn; ++t) {
    const int32_t p = vi[t];
    const size_t k = static_cast<size_t>(L.head[static_cast<size_t>(p)]);
    double xv = L.x[k] - v[p];
    if (std::fabs(xv) < drop) xv = 0.0;
    L.x[k] = xv;
    v[p] = 0.0;
    W.infeas[static_cast<size_t>(p)] = basicInfeasibility(L, p);
  }
}

// Whether the boxed variable k, nonbasic on a box side, moves without
// bound: its reduced cost pulls it outwards and no basic variable blocks.
bool rayOf(ModelArea& a, int32_t k) {
  LpState& L = *a.lp;
  const size_t u = static_cast<size_t>(k);
  const double dirk = L.x[u] > 0.0 ? 1.0 : -1.0;
  if (!(L.d[u] * dirk < -L.tolDual)) return false;
  ftran(a, k, L.col.data(), 0);
  const double tol = std::max(a.opt.yPivot, 1e-9);
  for (int32_t t = 0; t < L.colN; ++t) {
    const int32_t p = L.colIdx[static_cast<size_t>(t)];
    const double alpha = L.col[static_cast<size_t>(p)];
    if (std::fabs(alpha) < tol) continue;
    const size_t b = static_cast<size_t>(L.head[static_cast<size_t>(p)]);
    const double move = -dirk * alpha;
    const bool artificial = (L.flag[b] & kLpArtificialBound) != 0;
    if (move < 0.0 && L.lower[b] > -kInf && !(artificial && L.lower[b] < 0.0)) return false;
    if (move > 0.0 && L.upper[b] < kInf && !artificial) return false;
  }
  return true;
}

// Cost perturbation against dual degeneracy: every nonfixed variable's cost
// moves by a small pseudo-random amount in the direction that keeps its
// reduced cost on the feasible side.
void perturbCosts(ModelArea& a, DualRun& R) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  DualWork& W = *R.w;
  std::fill(W.savedCost.begin(), W.savedCost.end(), 0.0);
  double big = 0.0;
  const double sigma = a.opt.maximize ? -1.0 : 1.0;
  for (const int32_t k : L.vars) big = std::max(big, std::fabs(L.objCoef[static_cast<size_t>(k)]));
  const double base = 5e-7 * std::max(1.0, std::min(big, 1e3));
  for (const int32_t k : L.vars) {
    const size_t u = static_cast<size_t>(k);
    if ((s.kind[k] & kNoPart) || L.upper[u] - L.lower[u] <= 0.0) continue;
    if (L.lower[u] <= -kInf && L.upper[u] >= kInf) continue;
    const double c = sigma * L.objCoef[u];
    const double amount = base * (1.0 + std::fabs(c) / std::max(1.0, big)) * (1.0 + drawRandom() / 32767.0);
    double dir;
    if (L.posOf[u] != 0)
      dir = c >= 0.0 ? 1.0 : -1.0;
    else
      dir = (s.kind[k] & kKindAtUpper) ? -1.0 : 1.0;
    W.savedCost[u] = dir * amount;
  }
  R.perturbed = true;
}

}  // namespace

int16_t dualSimplex(ModelArea& a) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  DualWork& W = dualWork(L);
  DualRun R;
  R.w = &W;

  // Set-up.
  L.algorithm = 2;
  L.lpStatus = kLpHandOver;
  L.unboundedVar = -1;
  clearRejections(a);
  const double savedPrimal = a.opt.xToZero, savedDual = std::fabs(a.opt.reducedCost);
  const double savedMarkowitz = a.opt.markowitz, savedBox = L.bigBox;
  const int32_t savedReinvert = L.reinvert, savedRefine = a.opt.simplexRefine;
  optionTolerances(a);
  R.sumInfAccept = (a.opt.sumInf >= 0.0 ? a.opt.sumInf : (L.insideBranch ? 4.0 : 128.0) * savedPrimal) + L.tolEntry;
  R.feasFlip = a.opt.feasFlip;
  R.flipCounter = -10;
  R.switchCount = dualSwitchCount(a);
  L.degenLevel = 1;
  L.stall = 0;
  L.phase1Count = 0;
  double B = L.bigBox > 0.0 ? L.bigBox : kFirstBox;
  W.boxed.clear();
  std::fill(W.savedCost.begin(), W.savedCost.end(), 0.0);
  W.iterations = W.flipCount = W.boxRaises = W.refactors = 0;
  W.boxUsed = B;
  PrimalRun P;
  P.phase1 = false;
  P.fullPricing = true;
  P.devex = false;
  const int32_t startIterations = L.iterations;
  const int32_t iterLimit = a.opt.iterations;
  bool recompute = true, fresh = false, factored = false;
  Repair repairMode = Repair::kBox;
  int32_t raisedAt = -1;
  bool tightenedOnce = false;

  // Drops the cost shifts; the next pricing runs on the true costs.
  auto trueCostsBack = [&]() {
    R.perturbed = false;
    std::fill(W.savedCost.begin(), W.savedCost.end(), 0.0);
    repairMode = Repair::kReport;
    recompute = true;
  };
  auto giveUpAfterFlip = [&]() {
    ++R.flipCounter;
    return R.flipCounter > R.feasFlip;
  };

  if (a.opt.perturb != 0.0) R.wantPerturb = true;
  for (;;) {
    // Factorization.
    if (factorizationDue(L)) {
      if (factorizeBasis(a) != 0) {
        L.lpStatus = kLpNoMemory;
        break;
      }
      fresh = true;
      factored = true;
      recompute = true;
      ++W.refactors;
    }
    // Reduced costs, dual feasibility, infeasibilities.
    if (recompute && R.wantPerturb && !R.perturbed) {
      perturbCosts(a, R);
      R.wantPerturb = false;
    }
    if (recompute) {
      if (!fresh) recomputeBasicValues(a);
      setPhaseCosts(a, P);
      if (R.perturbed)
        for (int32_t k = 1; k <= L.total; ++k) L.cost[static_cast<size_t>(k)] += W.savedCost[static_cast<size_t>(k)];
      computePrices(a, P);
      const int fixed = makeDualFeasible(a, R, B, repairMode);
      repairMode = Repair::kShift;
      if (fixed & kNeedsBox) {
        // The true costs leave a variable dual infeasible that only a box
        // would repair: the point is primal feasible, and the primal simplex
        // finishes from here in a few iterations.
        L.lpStatus = kLpHandOver;
        break;
      }
      if (fixed & kValueMoved) recomputeBasicValues(a);
      buildInfeasibilities(L, W);
      R.objective = objectiveOf(L);
      recompute = false;
    }
    // Limits and the stop request.
    if (pollStop(a)) {
      L.lpStatus = kLpLimit;
      break;
    }
    if (L.iterations >= iterLimit || elapsedSeconds(a) >= L.workTimeLimit) {
      L.lpStatus = kLpLimit;
      break;
    }
    if (L.insideBranch && L.nodeLps > 6 && L.nodeCapTick != 0 && plat::tickMs() >= L.nodeCapTick) {
      L.lpStatus = kLpNodeCap;
      break;
    }

    // Leaving row.
    int32_t r = dualChooseRow(a, R);
    // Violations that are all small and add up to little count as feasible.
    if (r != 0 && R.rejected == 0 && R.sum < R.sumInfAccept && R.maxInf < 16.0 * L.tolPrimal) r = 0;
    if (r == 0) {
      // Optimality checks.
      if (!fresh && L.lu.updatesSinceFactor() > 0 && a.opt.qcCheck && R.flipCounter <= R.feasFlip) {
        L.refactor = true;  // confirmation on fresh factors
        continue;
      }
      if (R.rejected > 0) {
        // Every clearing counts as a rescue, so that rows rejected again and
        // again cannot keep the call going.
        const int32_t n = clearRejections(a);
        R.rejected = 0;
        if (giveUpAfterFlip()) {
          L.lpStatus = kLpHandOver;
          break;
        }
        if (n > 1) L.refactor = true;
        continue;
      }
      // A box side whose reduced cost no longer pulls the variable there is
      // given up: the variable returns to its own bound (free ones to 0).
      bool retreated = false;
      for (const int32_t k : W.boxed) {
        if (!artificialActive(L, k)) continue;
        const size_t u = static_cast<size_t>(k);
        const double pull = L.x[u] > 0.0 ? -L.d[u] : L.d[u];
        if (pull > L.tolDual) continue;
        L.flag[u] &= static_cast<uint8_t>(~kLpArtificialBound);
        L.upper[u] = kInf;
        if (s.kind[k] & kKindFree) L.lower[u] = -kInf;
        s.kind[k] &= ~kKindAtUpper;
        L.x[u] = L.lower[u] > -kInf ? L.lower[u] : 0.0;
        retreated = true;
      }
      if (retreated) {
        if (giveUpAfterFlip()) {
          L.lpStatus = kLpHandOver;
          break;
        }
        recomputeBasicValues(a);
        buildInfeasibilities(L, W);
        R.objective = objectiveOf(L);
        continue;
      }
      bool active = false;
      int32_t activeVar = 0;
      for (const int32_t k : W.boxed)
        if (artificialActive(L, k)) {
          active = true;
          activeVar = k;
          break;
        }
      if (active) {
        if (W.boxRaises < 2 && B * 32.0 <= kBoxLimit && raisedAt != L.iterations) {
          raiseBoxes(a, R, B);
          raisedAt = L.iterations;
          continue;
        }
        // The box stays active: a ray proves the LP unbounded; otherwise the
        // primal simplex finishes without the box.
        int32_t rayVar = 0;
        for (const int32_t k : W.boxed)
          if (artificialActive(L, k) && rayOf(a, k)) {
            rayVar = k;
            break;
          }
        if (rayVar) {
          L.lpStatus = kLpUnbounded;
          L.unboundedVar = rayVar;
          s.kind[rayVar] |= kKindPossiblyInfeasible;
        } else {
          L.lpStatus = kLpHandOver;
          (void)activeVar;
        }
        break;
      }
      if (R.perturbed) {
        // The true costs back: when they leave the basis dual infeasible
        // where only a box would help, the primal simplex finishes.
        trueCostsBack();
        continue;
      }
      if (L.perturbed) {
        // The true bounds back (the boxes stay): the dual goes on from here
        // when they leave the basis primal infeasible.
        removePerturbation(a);
        for (const int32_t k : W.boxed) {
          const size_t u = static_cast<size_t>(k);
          if (!(L.flag[u] & kLpArtificialBound)) continue;
          boxVariable(a, W, k, B);
          if (L.posOf[u] == 0) L.x[u] = (s.kind[k] & kKindAtUpper) ? L.upper[u] : L.lower[u];
        }
        recompute = true;
        continue;
      }
      if (!L.scaledTols && L.largeScale) {
        // Optimal in the scaled model: price again with the dual tolerance
        // divided by the scale factors above 1; what that finds is left to
        // the primal simplex.
        L.scaledTols = true;
        repairMode = Repair::kReport;
        recompute = true;
        continue;
      }
      L.lpStatus = kLpOptimal;
      break;
    }

    // Pivot row and ratio test.
    const size_t kl = static_cast<size_t>(L.head[static_cast<size_t>(r)]);
    const int32_t leaving = static_cast<int32_t>(kl);
    const int dir = L.x[kl] < L.lower[kl] ? 1 : -1;
    const double delta = W.infeas[static_cast<size_t>(r)];
    dualPivotRow(a, r);
    const DualChoice ch = dualRatioTest(a, R, dir, delta);
    if (ch.q == 0) {
      if (delta >= 1024.0 * L.tolPrimal) {
        // Infeasibility checks.
        if (!fresh && L.lu.updatesSinceFactor() > 0) {
          L.refactor = true;
          continue;
        }
        if (R.rejected > 0) {
          clearRejections(a);
          R.rejected = 0;
          if (giveUpAfterFlip()) {
            L.lpStatus = kLpHandOver;
            break;
          }
          continue;
        }
        if (!W.boxed.empty() && raisedAt != L.iterations && B < kBoxLimit) {
          raiseBoxes(a, R, B);
          raisedAt = L.iterations;
          continue;
        }
        if (!L.insideBranch) {
          L.lpStatus = kLpHandOver;  // the primal simplex confirms
          break;
        }
        if (!tightenedOnce && (a.opt.conflict != 0 || (L.refine == 0 && R.sum < 1e-4))) {
          tightenedOnce = true;
          clearRejections(a);
          tightenMarkowitz(a);
          L.refine += 5;
          L.refactor = true;
          continue;
        }
        L.lpStatus = kLpInfeasible;
        break;
      }
      s.kind[leaving] |= kKindRejected;
      ++R.rejected;
      L.weight[kl] = 9.99e22;
      continue;
    }
    const int32_t q = ch.q;
    const size_t uq = static_cast<size_t>(q);
    if (std::fabs(ch.alpha) < 1e-9) {
      if (!fresh) {
        L.refactor = true;
        continue;
      }
      s.kind[leaving] |= kKindRejected;
      ++R.rejected;
      continue;
    }

    // The entering column, checked against the pivot row.
    ftran(a, q, L.col.data(), L.refine);
    const double aq = L.col[static_cast<size_t>(r)];
    if (std::fabs(aq - ch.alpha) > 1e-7 * (1.0 + std::fabs(aq)) || aq == 0.0) {
      if (!fresh) {
        L.refactor = true;
        continue;
      }
      if (aq == 0.0 || aq * ch.alpha < 0.0) {
        s.kind[leaving] |= kKindRejected;
        ++R.rejected;
        continue;
      }
    }
    if (L.progress && simplexProgress(a, q, leaving, L.d[uq]) && !L.insideBranch) {
      L.lpStatus = kLpUserStop;
      break;
    }

    // Flips of the long step, then the primal step.
    if (ch.flips > 0) applyFlips(a, R, ch.flips);
    const double target = dir > 0 ? L.lower[kl] : L.upper[kl];
    const double thetaP = (L.x[kl] - target) / aq;
    stepBasicValues(L, thetaP);
    const double xq = L.x[uq] + thetaP;
    double dq = L.d[uq];
    if (dir * dq / ch.alpha > 0.0 && std::fabs(dq) <= 10.0 * L.tolDual) {
      // The entering reduced cost is on the wrong side within the tolerance:
      // its cost is shifted to make it zero, so that the step does not carry
      // the other reduced costs (the leaving one first) across their bounds.
      W.savedCost[uq] -= dq;
      L.cost[uq] -= dq;
      dq = 0.0;
      R.perturbed = true;
    }
    const double before = R.objective;
    R.objective += dq * thetaP;

    // Reduced costs and weights.
    const double thetaD = dq / ch.alpha;
    if (thetaD != 0.0) {
      for (int32_t t = 0; t < L.prowN; ++t) {
        const size_t j = static_cast<size_t>(L.prowIdx[static_cast<size_t>(t)]);
        L.d[j] -= thetaD * L.prow[j];
      }
    }
    if (R.weightsOn) updateDualWeights(a, R, r, q, aq);

    // Basis change.
    makeNonbasic(a, leaving, dir < 0);
    makeBasic(a, q, r);
    L.x[uq] = xq;
    L.d[uq] = 0.0;
    L.d[kl] = -thetaD;
    s.kind[q] &= ~(kKindListed | kKindMarkedEntry);
    updateFactor(a, r);
    for (int32_t t = 0; t < L.colN; ++t) {
      const int32_t p = L.colIdx[static_cast<size_t>(t)];
      W.infeas[static_cast<size_t>(p)] = basicInfeasibility(L, p);
    }
    W.infeas[static_cast<size_t>(r)] = basicInfeasibility(L, r);
    ++L.iterations;
    ++W.iterations;
    fresh = false;
    if (R.weightsOn && --L.weightCountdown <= 0) resetDualWeights(a, R);

    // Stall handling.
    const uint32_t lk = s.kind[leaving];
    const bool leavingSpecial = (lk & (kKindFixed | kKindHeld)) != 0 || L.upper[kl] - L.lower[kl] <= 0.0;
    const bool leavingFree = L.lower[kl] <= -kInf && L.upper[kl] >= kInf;
    if (!ch.free && !leavingSpecial && std::fabs(R.objective - before) <= 1e-12 * (1.0 + std::fabs(before))) {
      if (L.degenLevel > 2) --L.weightCountdown;
      if (++L.stall > L.degenLimit) {
        L.stall = 0;
        R.flipCounter /= 2;
        if (L.degenLevel > 1) {
          // Bound perturbation, only while no artificial box is in use (their
          // far sides would move the basic values by huge amounts).
          bool boxes = false;
          for (const int32_t k : W.boxed) boxes = boxes || (L.flag[static_cast<size_t>(k)] & kLpArtificialBound);
          if (!L.perturbed && !boxes) perturbBounds(a);
          L.tolEntry = 2.220446049250313e-16;
          tightenMarkowitz(a);
        }
        if (L.degenLevel > 3) L.refine = savedRefine + 2;
        if (L.degenLevel++ > 4) {
          L.lpStatus = kLpHandOver;
          break;
        }
      }
    } else if (!ch.free && !leavingSpecial && !leavingFree) {
      L.stall = 0;
    }

    // Branch and bound: the node's bound against the cutoff.
    if (L.insideBranch && !ch.free && W.boxed.empty()) {
      const double value = -R.objective;
      bool fathom = false;
      if (value + L.tolPrimal < L.cutoff) {
        fathom = true;
        for (const int32_t k : L.vars)
          if (L.posOf[static_cast<size_t>(k)] == 0 && (s.kind[k] & kKindFree)) {
            fathom = false;
            break;
          }
      } else if (value < L.limitBound) {
        fathom = true;
      }
      if (fathom) {
        if (!factored) {
          L.refactor = true;
          continue;
        }
        if (R.perturbed) {
          // A bound of the shifted costs proves nothing for the node: the
          // true costs come back first (the test repeats on them, or the
          // primal simplex finishes when they leave the basis dual
          // infeasible).
          trueCostsBack();
          continue;
        }
        if (R.rejected == 0) {
          L.lpStatus = kLpCutoff;
          break;
        }
      }
    }
    if (L.insideBranch && L.iterations - startIterations > 2 * L.total) {
      L.lpStatus = kLpHandOver;
      break;
    }
    writeIterationLog(a, 3);
  }

  // Exit.
  clearPivotRow(L);
  const int16_t st = L.lpStatus;
  if (st == kLpOptimal && !L.insideBranch) simplexHookSeam(a);
  int16_t result = 0;
  const bool usable = st == kLpOptimal || st == kLpUnbounded || (st == kLpInfeasible && L.insideBranch) ||
                      st == kLpNoMemory || st == kLpCutoff;
  if (!usable) {
    L.refactor = true;
    result = (st == kLpUserStop || st == kLpLimit) ? 0 : 1;
    if (st == kLpHandOver) ++L.dualGiveUps;
  }
  if (clearRejections(a) > 0) L.refactor = true;
  if (L.perturbed) {
    removePerturbation(a);
    L.refactor = true;
  }
  if (removeBoxes(a, W) && st != kLpNoMemory) {
    if (L.lu.valid()) recomputeBasicValues(a);
    L.refactor = true;
  }
  for (const int32_t k : L.vars) {
    const size_t u = static_cast<size_t>(k);
    if (L.posOf[u] == 0 && L.lower[u] <= -kInf && L.upper[u] >= kInf && std::fabs(L.d[u]) > savedDual) {
      L.refactor = true;
      break;
    }
  }
  if (st == kLpLimit || st == kLpUserStop) {
    int32_t cnt = 0;
    double sum = 0.0;
    for (int32_t p = 1; p <= L.ma; ++p) {
      const double v = basicInfeasibility(L, p);
      if (v > 0.0) {
        ++cnt;
        sum += v;
      }
    }
    L.phase1Count = cnt;
    L.sumInf = sum;
  } else {
    L.phase1Count = 0;
  }
  optionTolerances(a);
  L.reinvert = savedReinvert;
  L.bigBox = savedBox;
  if (a.opt.markowitz != savedMarkowitz) {
    a.opt.markowitz = savedMarkowitz;
    lu::LuOptions o = L.lu.options();
    o.markowitz = savedMarkowitz > 1.0 ? 1.0 / savedMarkowitz : savedMarkowitz;
    L.lu.setOptions(o);
  }
  if (s.loadInfeasible) L.lpStatus = kLpInfeasible;
  return result;
}

}  // namespace kz

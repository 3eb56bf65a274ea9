// SolveLp, the LP driver: the choice and alternation of the algorithms,
// the basis hand-over after the LP, row activation, the summary; and the
// final solution pass that results retrieval reads.
#include "lp/solve.h"

#include <cmath>
#include <cstring>

#include "frame/names.h"
#include "lp/internal_form.h"
#include "lp/dual.h"
#include "lp/primal.h"
#include "lp/status.h"
#include "model/load.h"
#include "model/settings.h"
#include "model/store_ops.h"

namespace kz {
namespace {

constexpr double kInf = 1e300;

bool stopRequested(ModelArea& a) { return (a.lp->runFlags & kRunStop) != 0; }

void runAlgorithms(ModelArea& a, bool dualFirst) {
  LpState& L = *a.lp;
  const bool bb = L.insideBranch;
  if (!dualFirst) {
    primalSimplex(a);
    if (stopRequested(a) || L.lpStatus != kLpHandOver) return;
    const int16_t res = dualSimplex(a);
    if (stopRequested(a)) return;
    if (res == 1 && (L.lpStatus == kLpUnbounded || L.lpStatus == kLpInfeasible || L.lpStatus == kLpHandOver)) {
      if (!bb) {
        primalSimplex(a);
        if (L.lpStatus != kLpOptimal && L.lpStatus != kLpLimit && L.lpStatus != kLpUserStop &&
            L.lpStatus != kLpNoMemory)
          L.lpStatus = kLpInfeasible;
      } else {
        L.lpStatus = kLpInfeasible;
      }
    } else if (res == 0 && L.lpStatus == kLpHandOver) {
      L.lpStatus = kLpInfeasible;
    }
    return;
  }
  dualSimplex(a);
  if (stopRequested(a)) return;
  if (L.lpStatus == kLpHandOver || (!bb && (L.lpStatus == kLpUnbounded || L.lpStatus == kLpInfeasible)))
    primalSimplex(a);
}

// The internal activity of every row (scaled and shifted terms) from the
// current values, over the stored matrix.
void rowActivities(ModelArea& a, std::vector<double>& act) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  act.assign(static_cast<size_t>(s.total) + 1, 0.0);
  for (int32_t j = 1; j <= s.n; ++j) {
    const double xj = L.x[static_cast<size_t>(j)];
    if (xj == 0.0) continue;
    const int32_t end = s.colActiveEnd ? s.colActiveEnd[j] : colEnd(s, j);
    for (int32_t p = colBegin(s, j); p < end; ++p) {
      const int32_t r = s.rownos[p];
      if (r < 0 || r >= s.m) continue;
      act[static_cast<size_t>(s.obj + r)] += s.a[p] * xj;
    }
  }
}

// Row activation: deactivated rows that the current point violates (or all
// of them) are scheduled; returns whether any was.
bool activateRows(ModelArea& a, bool all, int round) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  if (!s.flags2) return false;
  std::vector<double> act;
  bool anyInactive = false;
  for (int32_t r = 1; r < s.m; ++r) {
    const int32_t i = s.obj + r;
    if ((s.kind[i] & kKindRemoved) || L.luRow[static_cast<size_t>(r)] != 0) continue;
    if (s.flags2[i] & kFlag2MaskMark) continue;
    anyInactive = true;
  }
  if (!anyInactive) return false;
  rowActivities(a, act);
  const double tolP = a.opt.xToZero, eps = tranEntry(a);
  int32_t scheduled = 0;
  for (int32_t r = 1; r < s.m; ++r) {
    const int32_t i = s.obj + r;
    if ((s.kind[i] & kKindRemoved) || L.luRow[static_cast<size_t>(r)] != 0) continue;
    if (s.flags2[i] & kFlag2MaskMark) continue;
    const double coef = s.a[colBegin(s, i)];
    const double logical = (s.rhs[i] - act[static_cast<size_t>(i)]) / coef;
    double lo = 0.0, up = (s.kind[i] & (kKindUpper | kKindFixed)) ? s.up[i] : kInf;
    if (s.kind[i] & kKindFree) lo = -kInf;
    const double ref = std::fabs(s.rhs[i]);
    const double tol = std::max((ref + 1.0) * eps, tolP);
    const bool violated = logical < lo - tol || logical > up + tol;
    if (violated || all) {
      s.flags2[i] &= ~kFlag2Deactivate;
      s.kind[i] = (s.kind[i] | kKindBasic) & ~kKindAtUpper;
      ++scheduled;
    }
  }
  (void)round;
  if (scheduled == 0) return false;
  prepareLp(a);
  return true;
}

// The basis bits of the caller's status words: 1 basic (also every free
// row), 2 at upper bound.
void copyBasisBits(ModelArea& a) {
  ModelStore& s = a.store;
  if (!s.status) return;
  for (int32_t i = 1; i <= s.total; ++i) {
    uint32_t w = statusWord(s, i) & ~(kStatusBasic | kStatusAtUpper);
    const uint32_t k = s.kind[i];
    if ((k & kKindBasic) || (i > s.n && (k & kKindFree))) w |= kStatusBasic;
    if (k & kKindAtUpper) w |= kStatusAtUpper;
    s.status[i - 1] = static_cast<int32_t>(w);
  }
}

}  // namespace

void solveLp(ModelArea& a) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  if (L.runFlags & kRunStop) return;
  L.lastFactorIteration -= 1;
  const bool bb = L.insideBranch;
  const bool resolve = (L.runFlags & kRunResolve) != 0;
  bool dualFirst = (!bb && !resolve) ? a.opt.dualMode != 0 : a.opt.dualAllowed != 0;
  if (bb && L.dualGiveUps > 1) dualFirst = false;

  bool firstPass = true;
  int round = 0;
  for (;;) {
    if (s.loadInfeasible) {
      if (!(L.runFlags & kRunCpxCall)) primalSimplex(a);
      L.lpStatus = kLpInfeasible;
    } else {
      runAlgorithms(a, dualFirst);
    }
    // 5. The basis after the LP.
    L.runFlags |= kRunLpSolved;
    if (firstPass && !bb) {
      if (basisSlotCount(a) > 0 || basisNamedSlots(a) > 0) basisMemorySave(a);
      writeBasisFile(a, nullptr);
      copyBasisBits(a);
    }
    firstPass = false;
    // 6. Stopped.
    if (L.lpStatus == kLpUserStop || L.lpStatus == kLpLimit) {
      raceStopSeam(a);
      break;
    }
    // 7. Row activation.
    if (!s.loadInfeasible && (L.lpStatus == kLpOptimal || L.lpStatus == kLpUnbounded ||
                              L.lpStatus == kLpInfeasible || L.lpStatus == kLpCutoff)) {
      ++round;
      const bool all = round > 2 || L.lpStatus != kLpOptimal;
      if (round < 50 && activateRows(a, all, round)) {
        L.refactor = true;
        continue;
      }
    }
    break;
  }
  // 8.
  if (L.lpStatus == kLpCutoff || L.lpStatus == kLpHandOver) L.lpStatus = kLpInfeasible;
  raceStopSeam(a);
  // 9. Postsolve.
  if (!bb) {
    int algorithm = 1;
    if (postsolveSeam(a, &algorithm)) runAlgorithms(a, algorithm != 1);
  }
  // 10. The unbounded variable in caller numbering.
  L.unboundedCaller = L.unboundedVar > 0 ? L.unboundedVar - 1 + s.indexBase : -1;
  // 11. Infeasibility analysis.
  const bool analyse = (L.runFlags & kRunForceConflict) ||
                       (!bb && a.opt.conflict != 0 &&
                        (L.lpStatus == kLpInfeasible || L.lpStatus == kLpUnbounded));
  if (analyse && conflictAnalysisSeam(a)) return;
  if (L.runFlags & kRunNoSummaryBb) return;
  // 12. Summary.
  printSummary(a);
  raceStopSeam(a);
  if (L.runFlags & kRunStop) L.lpStatus = kLpLimit;
}

void finalSolutionPass(ModelArea& a) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  const int16_t savedModSts = L.modSts;
  L.modSts = 128;
  const size_t N = static_cast<size_t>(s.total);
  // Reduced costs from the multipliers of the objective.
  bool factors = L.lu.valid();
  if (!factors && L.ma >= 0) factors = factorizeBasis(a) == 0;
  const double sigma = a.opt.maximize ? -1.0 : 1.0;
  if (factors) {
    double* y = L.y.data();
    for (int32_t p = 1; p <= L.ma; ++p)
      y[p] = sigma * L.objCoef[static_cast<size_t>(L.head[static_cast<size_t>(p)])];
    btran(a, y, a.opt.simplexRefine);
    for (size_t k = 1; k <= N; ++k) {
      if (static_cast<int32_t>(k) == s.obj || L.posOf[k] != 0) {
        L.d[k] = 0.0;
        continue;
      }
      double dk = sigma * L.objCoef[k];
      for (int32_t p = L.cStart[k]; p < L.cStart[k + 1]; ++p) dk -= y[L.cRow[static_cast<size_t>(p)]] * L.cVal[static_cast<size_t>(p)];
      L.d[k] = dk;
    }
  }
  // Inactive rows have no multiplier: their logicals' reduced costs are 0.
  for (int32_t r = 1; r < s.m; ++r)
    if (L.luRow[static_cast<size_t>(r)] == 0) L.d[static_cast<size_t>(s.obj + r)] = 0.0;
  // Values in the caller's terms.
  L.act.assign(N + 1, 0.0);
  L.dual.assign(N + 1, 0.0);
  for (int32_t j = 1; j <= s.n; ++j) L.act[static_cast<size_t>(j)] = callerColumnValue(a, j, L.x[static_cast<size_t>(j)]);
  if (!(L.runFlags & kRunCpxCall)) {
    std::vector<double> act;
    rowActivities(a, act);
    for (int32_t i = s.obj; i <= s.total; ++i) L.act[static_cast<size_t>(i)] = callerRowActivity(a, i, act[static_cast<size_t>(i)]);
  }
  for (size_t k = 1; k <= N; ++k) L.dual[k] = L.d[k];
  // The objective row: its logical coefficient as the reduced cost.
  L.dual[static_cast<size_t>(s.obj)] = s.a[colBegin(s, s.obj)];
  L.objValue = L.act[static_cast<size_t>(s.obj)];
  L.solutionValid = true;
  L.interiorSolution = false;
  L.modSts = savedModSts;
}

}  // namespace kz

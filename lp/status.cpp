// Status codes, limits, the iteration log, the progress events, the
// closing summary with its infeasibility hints and the LU memory advice,
// and the hand-over points to the parts that are built later.
#include "lp/status.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "frame/output.h"
#include "frame/platform.h"
#include "lp/internal_form.h"
#include "model/settings.h"
#include "model/store_ops.h"

namespace kz {
namespace {

constexpr double kInf = 1e300;

bool outputMuted(ModelArea& a) { return a.opt.mute != 0; }

void appendNum(ModelArea& a, double x) { putNumber(a, x, 0); }

void appendInt(LineBuffer& lb, int64_t v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
  appendText(lb, buf);
}

template <class T>
void putAt(unsigned char* rec, int offset, T v) {
  std::memcpy(rec + offset, &v, sizeof v);
}

}  // namespace

bool mapLpStatusCodes(int16_t lpStatus, int32_t phase1Count, int32_t iterations, int32_t iterationLimit,
                      int16_t* modSts, int16_t* solSts) {
  switch (lpStatus) {
    case kLpOptimal: *solSts = 1; *modSts = 1; return true;
    case kLpUserStop: *solSts = 4; *modSts = phase1Count != 0 ? 6 : 7; return true;
    case kLpLimit:
      *solSts = iterations < iterationLimit ? 3 : 2;
      *modSts = phase1Count != 0 ? 6 : 7;
      return true;
    case kLpUnbounded: *solSts = 1; *modSts = 3; return true;
    case kLpInfeasible: *solSts = 1; *modSts = 4; return true;
    case kLpNoMemory: *solSts = 10; *modSts = 13; return true;
    default: return false;
  }
}

void mapLpStatus(ModelArea& a) {
  LpState& L = lpState(a);
  mapLpStatusCodes(L.lpStatus, L.phase1Count, L.iterations, a.opt.iterations, &L.modSts, &L.solSts);
}

int32_t elapsedSeconds(const ModelArea& a) {
  const LpState* L = lpStateIf(a);
  if (!L) return 0;
  const int64_t ms = static_cast<int64_t>(plat::tickMs() - L->clockBase);
  const int64_t sec = ms / 1000 - 1;
  return sec < 0 ? 0 : static_cast<int32_t>(sec);
}

bool pollStop(ModelArea& a) {
  LpState& L = *a.lp;
  if (a.opt.polling && a.pendingKey == 26) {
    a.pendingKey = 0;
    L.runFlags |= kRunStop;
  }
  return (L.runFlags & kRunStop) != 0;
}

double callerObjective(const ModelArea& a) {
  const ModelStore& s = a.store;
  const LpState* L = lpStateIf(a);
  if (!L || L->x.empty()) return 0.0;
  double v = 0.0;
  for (int32_t j = 1; j <= s.n && j < static_cast<int32_t>(L->x.size()); ++j)
    v += L->objCoef[static_cast<size_t>(j)] * L->x[static_cast<size_t>(j)];
  return callerRowActivity(a, s.obj, v);
}

void writeIterationLog(ModelArea& a, int mode) {
  LpState& L = *a.lp;
  const int32_t freq = a.opt.freqLogMode;
  if (freq == 0 || (L.runFlags & kRunQuiet)) return;
  const bool callback = a.routingArea().messageCallback != nullptr;
  if (outputMuted(a) && !callback) return;
  if (!callback && !a.routingArea().window) return;
  const int cls = L.insideBranch ? 9 : 7;
  if (mode == 3) {
    bool due;
    if (a.opt.freqLogInterval > 0) {
      const uint64_t now = plat::tickMs();
      if (L.nextLogTick == 0) L.nextLogTick = now + static_cast<uint64_t>(a.opt.freqLogInterval) * 1000;
      due = now >= L.nextLogTick;
      if (due) L.nextLogTick = now + static_cast<uint64_t>(a.opt.freqLogInterval) * 1000;
    } else {
      const int32_t every = freq < 0 ? -freq : freq;
      due = every > 0 && L.iterations % every == 0;
    }
    if (!due) return;
    LineBuffer& lb = lineOf(a);
    lineClear(lb);
    appendText(lb, "  ");
    if (a.solves + 1 > 1) {
      appendInt(lb, a.solves + 1);
      appendText(lb, "/");
    }
    appendText(lb, "itr: ");
    appendInt(lb, L.iterations);
    appendText(lb, L.algorithm == 2 ? "    Obj: " : "    Obj. ");
    const int16_t from = lb.pos;
    appendNum(a, callerObjective(a));
    while (lb.pos - from < 20) appendText(lb, " ");
    if (L.algorithm == 2 || L.phase1Count > 0) {
      appendText(lb, L.algorithm == 2 ? " Inf. " : " Inf: ");
      appendNum(a, L.sumInf);
    } else {
      appendText(lb, " Inf. ");
      appendNum(a, L.sumDualInf);
    }
    putLine(a, cls);
    return;
  }
  LineBuffer& lb = lineOf(a);
  if (lb.pos > 0) putLine(a, mode == 6 ? 64 : 11);
}

bool simplexProgress(ModelArea& a, int32_t entering, int32_t leaving, double enteringCost) {
  LpState& L = *a.lp;
  if (!L.progress || !L.progressRecord) return false;
  unsigned char* rec = L.progressRecord;
  int32_t stop = 0;
  std::memcpy(&stop, rec + 84, sizeof stop);
  if (stop != 0) return false;
  const int32_t base = a.store.indexBase;
  putAt<int32_t>(rec, 80, L.phase1Count > 0 ? 1 : 2);
  putAt<int32_t>(rec, 92, L.iterations);
  putAt<double>(rec, 8, callerObjective(a));
  putAt<int32_t>(rec, 108, L.workTimeLimit - elapsedSeconds(a));
  putAt<int32_t>(rec, 124, L.phase1Count > 0 ? L.phase1Count : L.candN);
  putAt<double>(rec, 16, L.phase1Count > 0 ? L.sumInf : 0.0);
  putAt<int32_t>(rec, 128, entering - 1 + base);
  putAt<int32_t>(rec, 132, leaving - 1 + base);
  putAt<double>(rec, 32, enteringCost);
  putAt<int32_t>(rec, 148, a.handle);
  const uint64_t now = plat::tickMs();
  if (now < L.progressDue) return false;
  L.progressDue = now + static_cast<uint64_t>(a.opt.cbFrequencyMs > 0 ? a.opt.cbFrequencyMs : 0);
  L.progress(rec);
  std::memcpy(&stop, rec + 84, sizeof stop);
  return stop != 0;
}

void driverProgressEvent(ModelArea& a, int event) {
  LpState& L = lpState(a);
  if (!L.progress || !L.progressRecord) return;
  unsigned char* rec = L.progressRecord;
  putAt<int32_t>(rec, 148, a.handle);
  putAt<int32_t>(rec, 80, event);
  putAt<int32_t>(rec, 128, -1);
  putAt<int32_t>(rec, 132, -1);
  putAt<int32_t>(rec, 96, 0);
  putAt<int32_t>(rec, 100, 0);
  putAt<int32_t>(rec, 124, 0);
  putAt<double>(rec, 32, 0.0);
  if (event == 0) {
    for (int off : {24, 40, 48}) putAt<double>(rec, off, 0.0);
    putAt<int32_t>(rec, 104, 0);
    putAt<double>(rec, 8, 0.0);
    putAt<double>(rec, 16, 0.0);
    putAt<int32_t>(rec, 92, 1);
    putAt<int32_t>(rec, 84, 0);
  } else {
    putAt<double>(rec, 8, callerObjective(a));
    putAt<double>(rec, 16, 0.0);
    putAt<int32_t>(rec, 92, L.iterations);
  }
  putAt<int32_t>(rec, 108, a.opt.timeLimit);
  L.progress(rec);
}

void printInfeasibilityHints(ModelArea& a) {
  LpState& L = *a.lp;
  ModelStore& s = a.store;
  if (a.opt.solveDual == 'R' || (L.runFlags & 0x4000)) return;
  char name[512];
  for (int32_t p = 1; p <= L.ma; ++p) {
    const int32_t k = L.head[static_cast<size_t>(p)];
    const size_t u = static_cast<size_t>(k);
    if (L.lower[u] <= -kInf && L.upper[u] >= kInf) continue;
    const double f = s.scale ? s.scale[k] : 1.0;
    const double tol = L.tolPrimal * (f < 1.0 ? f : 1.0);
    const double xv = L.x[u];
    double viol = 0.0;
    bool increase = false;
    if (xv < L.lower[u] - tol) {
      viol = L.lower[u] - xv;
      increase = true;
    } else if (xv > L.upper[u] + tol) {
      viol = xv - L.upper[u];
      increase = L.upper[u] - L.lower[u] <= 0.0 && xv < 0.0;
    }
    if (viol <= 0.0) continue;
    s.kind[k] |= kKindPossiblyInfeasible;
    LineBuffer& lb = lineOf(a);
    lineClear(lb);
    appendText(lb, increase ? "INCREASE " : "DECREASE ");
    appendText(lb, k > s.n ? "ROW " : "COLUMN ");
    const int len = itemName(s, k, name, sizeof name);
    appendChars(lb, name, len);
    appendText(lb, " BY ");
    appendNum(a, std::fabs(viol / f));
    putLine(a, 17);
  }
}

void printSummary(ModelArea& a) {
  LpState& L = *a.lp;
  ModelStore& s = a.store;
  if (L.insideBranch || (L.runFlags & kRunQuiet)) return;
  const bool reportLifts = solutionReport(a) && a.opt.solution > 1;
  if (outputMuted(a) && !reportLifts && !mpsxSolution(a)) return;
  if (L.lpStatus == kLpInfeasible && a.opt.conflict == 0) printInfeasibilityHints(a);
  LineBuffer& lb = lineOf(a);
  lineClear(lb);
  switch (L.lpStatus) {
    case kLpOptimal: appendText(lb, "L P   O P T I M A L   S O L U T I O N"); break;
    case kLpUserStop: appendText(lb, "U S E R   L I M I T S   E X C E E D E D"); break;
    case kLpLimit:
      appendText(lb, L.iterations < a.opt.iterations ? "T I M E   L I M I T   E X C E E D E D"
                                                     : "I T E R A T I O N   L I M I T   E X C E E D E D");
      break;
    case kLpUnbounded: {
      appendText(lb, "U N B O U N D E D   V A R I A B L E: ");
      if (L.unboundedVar > 0) {
        char name[512];
        const int len = itemName(s, L.unboundedVar, name, sizeof name);
        appendChars(lb, name, len);
      }
      break;
    }
    case kLpInfeasible: appendText(lb, "N O   F E A S I B L E   S O L U T I O N"); break;
    case kLpNoMemory: appendText(lb, "W O R K S P A C E   SIZE EXCEEDED"); break;
    default: break;
  }
  if (L.unboundedVar < 0) {
    appendText(lb, " ---> OBJ: ");
    appendNum(a, callerObjective(a));
    if (std::fabs(L.sumInf) > 10.0 * a.opt.xToZero && L.phase1Count > 0) {
      appendText(lb, " INF: ");
      appendNum(a, L.sumInf);
    }
  }
  putLine(a, 12);
  const int32_t rows = s.m - 1;
  L.iterations = static_cast<int32_t>(L.iterations + rows * 10.0 / 19.0 + 1.0);
  lineClear(lb);
  appendText(lb, "SOLVE ");
  appendInt(lb, a.solves + 1);
  appendText(lb, " TIME");
  char t[10];
  formatElapsed(t, elapsedSeconds(a));
  appendText(lb, t);
  appendText(lb, "  ITER ");
  appendInt(lb, L.iterations);
  putLine(a, 12);
  if (L.raceWinner != 0 && elapsedSeconds(a) > 5) {
    lineClear(lb);
    appendText(lb, "SUGGESTED PERFORMANCE IMPROVEMENT:  SET DUALSIMPLEX");
    appendText(lb, L.raceWinner == 1 ? " NO" : " YES");
    appendText(lb, "  MULTISOLVER NO");
    putLine(a, 12);
  }
}

void printLuMemoryAdvice(ModelArea& a) {
  LpState& L = *a.lp;
  const bool listing = a.routingArea().out.inputListing != 0 || a.opt.matList != 1;
  if (outputMuted(a) && !listing) return;
  if (!(L.suggestedLu[0] - a.opt.luFactor[0] >= 5.0 || L.suggestedLu[1] - a.opt.luFactor[1] >= 5.0)) return;
  ModelArea& r = a.routingArea();
  const int16_t saved = r.out.mute;
  r.out.mute = 0;
  LineBuffer& lb = lineOf(a);
  lineClear(lb);
  appendText(lb, "SUGGESTED PERFORMANCE IMPROVEMENT:  SET  LUMEMORY ");
  appendInt(lb, static_cast<int64_t>(L.suggestedLu[0] + 0.9));
  appendText(lb, "/");
  appendInt(lb, static_cast<int64_t>(L.suggestedLu[1] + 0.9));
  putLine(a, 5);
  r.out.mute = saved;
}

// ---- parts built later ----

int32_t interiorPointSeam(ModelArea&) { return 0; }
bool postsolveSeam(ModelArea&, int*) { return false; }
bool conflictAnalysisSeam(ModelArea&) { return false; }
void branchAndBoundSeam(ModelArea&) {}
void solutionReportsSeam(ModelArea&) {}
void raceStartSeam(ModelArea&) {}
void raceStopSeam(ModelArea&) {}
int incumbentCheckSeam(ModelArea&) { return 0; }
void simplexHookSeam(ModelArea&) {}
int deferredLoadSeam(ModelArea&) { return 0; }

}  // namespace kz

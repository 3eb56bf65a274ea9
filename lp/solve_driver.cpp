// KZSOLV, SolveWorker and RunModelSolve; the load's hand-over points of the
// LP engine.
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "frame/clp.h"
#include "frame/entry.h"
#include "frame/output.h"
#include "frame/platform.h"
#include "lp/crash.h"
#include "lp/primal.h"
#include "lp/solve.h"
#include "lp/status.h"
#include "model/load.h"
#include "model/seams.h"
#include "model/settings.h"
#include "model/store_ops.h"

namespace kz {
namespace {

std::atomic<int32_t> solveThreads{0};
std::mutex statusLock;  // guards the caller's status variables of a threaded solve

constexpr int kWordSolveState = 11;
constexpr int kWordThread = 13;

int32_t& blockWord(KZOSL* b, int w) { return b->reserved9[w - 9]; }

int16_t failSolve(ModelArea& a) {
  LpState& L = *a.lp;
  if (a.irc < 100) a.irc = 306;
  a.fnValue = 1;
  L.lpStatus = kLpNoMemory;
  L.modSts = 13;
  L.solSts = 10;
  return 1;
}

// Step 3.8: the branch-and-bound and possibly-infeasible marks into the
// caller's status words.
void copyMarks(ModelArea& a) {
  ModelStore& s = a.store;
  if (!s.status) return;
  for (int32_t i = 1; i <= s.total; ++i) {
    uint32_t w = statusWord(s, i) & ~(0x200u | 0x4000u);
    if (s.kind[i] & 0x1000000u) w |= 0x200u;
    if (s.kind[i] & kKindPossiblyInfeasible) w |= 0x4000u;
    s.status[i - 1] = static_cast<int32_t>(w);
  }
}

bool hasIntegerItems(const ModelStore& s) {
  return s.binaries + s.generalIntegers + s.semis + s.convexRows + s.piecewiseRows > 0;
}

struct SavedSettings {
  ModelArea& a;
  double markowitz;
  int16_t dualMode, dualAllowed;
  explicit SavedSettings(ModelArea& area)
      : a(area), markowitz(area.opt.markowitz), dualMode(area.opt.dualMode), dualAllowed(area.opt.dualAllowed) {}
  ~SavedSettings() {
    a.opt.markowitz = markowitz;
    a.opt.dualMode = dualMode;
    a.opt.dualAllowed = dualAllowed;
  }
};

}  // namespace

int32_t runningSolveThreads() { return solveThreads.load(); }

int16_t runModelSolve(ModelArea& a) {
  ModelStore& s = a.store;
  LpState& L = lpState(a);
  SavedSettings saved(a);
  // 1.
  L.iterations = 1;
  L.modSts = 32;
  L.insideBranch = false;
  L.dualGiveUps = 0;
  L.cutoff = -1e200;
  L.limitBound = -1e200;
  L.bigBox = a.opt.ubBound;
  L.unboundedVar = -1;
  L.unboundedCaller = -1;
  L.phase1Count = 0;
  L.sumInf = 0.0;
  L.suggestedLu[0] = L.suggestedLu[1] = 0.0;
  L.runFlags &= ~kRunStop;
  L.nextLogTick = 0;
  s.lastFound = -1;
  if (!s.internalForm || !prepareLp(a)) return failSolve(a);

  // 2. The interior point, when the load chose it.
  if (s.method & kMethodInterior) {
    L.clockBase = plat::tickMs();
    driverProgressEvent(a, 0);
    const int32_t ipm = interiorPointSeam(a);
    if (ipm < 1) return failSolve(a);
  }

  // 3. Simplex path.
  for (int32_t k = 1; k <= s.total; ++k) s.kind[k] &= ~kKindMarkedEntry;
  s.kind[s.obj] = (s.kind[s.obj] | kKindFree) & ~kKindFixed;
  L.clockBase = plat::tickMs();
  if (crashBasis(a) != 0) return failSolve(a);
  if (a.opt.solveDual == 0 || a.opt.solveDual == 'R') {
    if (pivotFreeColumns(a) != 0) return failSolve(a);
  }
  driverProgressEvent(a, 0);
  L.modSts = 99;
  if (a.opt.valMipIncumbent == 'T') {
    if (incumbentCheckSeam(a) == 0) solveLp(a);
  } else {
    solveLp(a);
  }
  mapLpStatus(a);
  copyMarks(a);
  if (!relaxed(a) && hasIntegerItems(s) && L.lpStatus == kLpOptimal) branchAndBoundSeam(a);
  printLuMemoryAdvice(a);
  finalSolutionPass(a);
  if (relaxed(a)) s.binaries = s.generalIntegers = s.semis = 0;
  driverProgressEvent(a, 9);
  a.fnValue = 0;
  return 0;
}

void solveWorker(ModelArea& a) {
  LpState& L = lpState(a);
  ModelArea& r = a.routingArea();
  const int16_t savedMute = r.out.mute;
  L.workTimeLimit = a.opt.timeLimit;
  a.fnValue = 0;
  bool ran = false;
  if (L.runFlags & kRunDeferredLoad) {
    if (deferredLoadSeam(a) != 0) {
      L.modSts = 13;
      L.solSts = 10;
      ran = true;
    }
  }
  if (!ran) {
    if (a.irc == 4) {
      raceStartSeam(a);
      if (runModelSolve(a) != 0) {
        raceStopSeam(a);
      } else {
        ++a.solves;
        if (a.irc == 4) a.irc = 6;
        solutionReportsSeam(a);
      }
    } else {
      a.fnValue = 1;
    }
  }
  r.out.mute = savedMute;
}

int16_t solveEntry(KZOSL* block, ModelArea& a, int16_t* modsts, int16_t* solsts) {
  LpState& L = lpState(a);
  L.runFlags |= kRunInsideSolve;
  if (block->childMagic != kMagicOpen) {
    const char* env = std::getenv("KZSOLVCLP");
    if (env && *env) applyOptionLine(a, env);
  }
  seedRandom(15279);
  block->rc = 901;
  L.callerModSts = modsts;
  L.callerSolSts = solsts;
  if (modsts) *modsts = 15;
  if (solsts) *solsts = 5;
  L.modSts = 15;
  L.solSts = 5;
  L.lpStatus = kLpNotSolved;
  int32_t& state = blockWord(block, kWordSolveState);
  state = 0;
  const int32_t allowed = a.opt.simSolve;
  if (allowed == 0) {
    state = kSolveInline;
    solveWorker(a);
    if (modsts) *modsts = L.modSts;
    if (solsts) *solsts = L.solSts;
    state |= kSolveFinished;
  } else if (solveThreads.load() < allowed) {
    ModelArea* area = &a;
    int32_t* stateWord = &state;
    try {
      ++solveThreads;
      *stateWord = kSolveThread;
      L.threadRunning = true;
      std::thread worker([area, stateWord] {
        solveWorker(*area);
        LpState& S = *area->lp;
        {
          std::lock_guard<std::mutex> g(statusLock);
          if (S.callerModSts) *S.callerModSts = S.modSts;
          if (S.callerSolSts) *S.callerSolSts = S.solSts;
          S.threadRunning = false;
          *stateWord = (*stateWord & ~kSolveThread) | kSolveFinished;
        }
        --solveThreads;
      });
      blockWord(block, kWordThread) = static_cast<int32_t>(std::hash<std::thread::id>{}(worker.get_id()) & 0x7fffffff);
      worker.detach();
    } catch (...) {
      --solveThreads;
      L.threadRunning = false;
      state = kSolveNoThread;
      if (modsts) *modsts = 15;
      if (solsts) *solsts = 14;
    }
  } else {
    state = kSolveRefused;
  }
  L.runFlags &= ~(kRunInsideSolve | 0x1000u);
  return a.fnValue;
}

// ---- the load's hand-over points ----

void clearSolveCounters(ModelArea& a) {
  LpState& L = lpState(a);
  L.iterations = 0;
  L.insideBranch = false;
  L.dualGiveUps = 0;
}

void clearSolveResults(ModelArea& a) {
  LpState& L = lpState(a);
  L.solutionValid = false;
  L.unboundedVar = -1;
  L.unboundedCaller = -1;
  L.act.clear();
  L.dual.clear();
  L.x.clear();
  L.lpStatus = kLpNotSolved;
}

void copyWorkingSettings(ModelArea& a) { lpState(a).workTimeLimit = a.opt.timeLimit; }

bool setupSimplexArrays(ModelArea& a) {
  lpState(a);
  return true;
}

bool allocateLpStorage(ModelArea&) { return true; }

void finishLpLoad(ModelArea& a) {
  LpState& L = lpState(a);
  L.refactor = true;
  L.rebuildList = true;
  L.firstFactor = true;
  L.luRow.clear();
  L.runFlags &= ~(kRunStop | kRunLpSolved);
  if (a.store.loadInfeasible) L.runFlags |= kRunLoadInfeasible;
}

bool rowActiveInSolve(const ModelArea& a, int32_t i) {
  const ModelStore& s = a.store;
  const LpState* L = lpStateIf(a);
  const int32_t r = i - s.obj;
  if (L && r >= 0 && r < static_cast<int32_t>(L->luRow.size())) return r == 0 || L->luRow[static_cast<size_t>(r)] != 0;
  return !(s.flags2 && (s.flags2[i] & kFlag2Deactivate));
}

}  // namespace kz

using namespace kz;

extern "C" KZ_API int16_t KZSOLV(KZOSL* rc, int16_t* modsts, int16_t* solsts) {
  return runEntry(rc, "KZSOLV", kEntryDefault, [&](Frame& f) {
    ModelArea& a = f.area();
    LpState& L = lpState(a);
    f.enter("Entering KZSOLV, KZOSL %p Rc %d SOLVE %d modsts %p solsts %p Mem %ld  ", static_cast<void*>(rc),
            f.block()->rc, a.solves + 1, static_cast<void*>(modsts), static_cast<void*>(solsts),
            static_cast<long>(a.pool.freeBytes));
    solveEntry(f.block(), a, modsts, solsts);
    f.setLeaving("Leaving KZSOLV, Fnct Value %d Rc %d ModSts %d SolSts %d Mem %ld ", a.fnValue, a.irc, L.modSts,
                 L.solSts, static_cast<long>(a.pool.freeBytes));
  });
}

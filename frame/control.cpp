// Opening and closing model areas, the version and the processor count.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "frame/area.h"
#include "frame/clp.h"
#include "frame/entry.h"
#include "frame/model_seams.h"
#include "frame/output.h"

namespace kz {
namespace {

int32_t gProcessors = 0;  // process-wide processor count (0: not set yet)
int32_t gSerial = 0;      // area serial counter

const char* const kDefaultLines[] = {
    "  Set MaxCpu        1 ", "  MultiSolver       X ", "  Set DualSimplex Yes ", "  Set HashLength    3 ",
    "  Set Prepass       2 ", "  Basis           +10 ", "  Conflict         No ", "  Linesize         96 ",
};

void copyField(char* dst, size_t cap, const char* src) {
  std::snprintf(dst, cap, "%s", src);
}

// Defaults the template cannot hold: they depend on the machine and the day.
void setRunTimeDefaults(ModelArea& a) {
  copyField(a.opt.basisFile, sizeof a.opt.basisFile, "NEVER");
  a.opt.machineEps = 2.220446049250313e-16;
  a.opt.systemProcessors = static_cast<int32_t>(plat::processorCount());
  copyField(a.opt.currentDir, sizeof a.opt.currentDir, "./");
  copyField(a.opt.workFile, sizeof a.opt.workFile, "WORK0001");
  copyField(a.opt.runName, sizeof a.opt.runName, "RUNTIME");
  std::string date = plat::currentDateAsctime();
  copyField(a.out.runDate, sizeof a.out.runDate, date.c_str());
}

void applyDefaultLines(ModelArea& a) {
  uint32_t savedInternal = a.internalCalls;
  a.internalCalls |= kInternalCallMatSolver;
  for (const char* line : kDefaultLines)
    if (applyOptionLine(a, line) != 0) {
      a.internalCalls = savedInternal;
      return;
    }
  if (const char* env = std::getenv("KZINITCLP")) applyOptionLine(a, env);
  a.internalCalls = savedInternal;
}

}  // namespace

int32_t processorCount() { return gProcessors; }

}  // namespace kz

using namespace kz;

extern "C" KZ_API int32_t KZSETPROCESSORS(int32_t count) {
  if (gProcessors < 1) gProcessors = count > 0 ? count : static_cast<int32_t>(plat::processorCount());
  return gProcessors;
}

extern "C" KZ_API int16_t KZVERSION(KZOSL*) { return static_cast<int16_t>(kVersion); }

extern "C" KZ_API int16_t KZINIT(KZOSL* arg, int32_t use, int32_t reserve, int32_t handle, int32_t namestyle) {
  if (gProcessors < 1) gProcessors = 1;
  if (handle != -1 && handle != -2 && handle != -3) handle = -1;  // no window of the caller's is live here
  if (!arg) return 1;

  // Choose the block.
  SharedBlock& sb = sharedBlock();
  ResolvedBlock rb;
  if (arg->size < 92 || arg->size > 920) {
    int16_t callerValue = *reinterpret_cast<int16_t*>(arg);
    bool sharedOpen = sb.active && sb.block.magic == kMagicOpen;
    sb.active = true;
    sb.callerVar = reinterpret_cast<int16_t*>(arg);
    if (!sharedOpen) {
      sb.block.size = 92;
      sb.block.magic = kMagicClosed;
      sb.block.reserved3[0] = callerValue;
      sb.block.reserved3[1] = callerValue;
    }
    rb.block = &sb.block;
    rb.callerVar = sb.callerVar;
  } else {
    sb.active = false;
    sb.callerVar = nullptr;
    rb.block = arg;
  }
  KZOSL* b = rb.block;
  if (b->magic == kMagicOpen) {
    storeRc(rb, 130);
    return 1;
  }
  bool child = b->childMagic == kMagicOpen;
  if (!child && std::getenv("KZMessageWindow")) handle = -1;

  ModelArea* a = nullptr;
  bool reused = false;
  if (b->magic == kMagicReuse) {
    a = lookupArea(b->area);
    reused = a != nullptr;
  }
  if (!a) {
    a = new (std::nothrow) ModelArea();
    if (!a) {
      b->magic = 0;
      storeRc(rb, 104);
      return 1;
    }
    a->handle = registerArea(a);
  }
  rb.area = a;
  a->out.routing = a;
  a->serial = ++gSerial;
  b->magic = kMagicOpen;
  b->area = a->handle;
  b->calls = 0;
  b->totalMs = 0;
  b->reserved9[1] = 0;  // word 10
  a->osRecognised = true;
  a->ownerThread = plat::currentThreadId();

  Frame f(rb, "KZINIT", kEntryDefault);
  if (a->guardsIntact()) {
    std::string dir = plat::moduleDirectory();
    copyField(a->moduleDir, sizeof a->moduleDir, dir.empty() ? "/tmp" : dir.c_str());
    a->openTick = plat::tickMs();
    a->locksReady = true;
    setRoutineName(*a, "KZINIT");

    // The message window.
    a->windowHandle = handle;
    if (handle == -1 || handle == -2) {
      if (!a->window) a->window = std::make_unique<ConsoleWindow>(a->serial, handle == -1);
      a->window->setShown(handle == -1);
      a->ownWindow = true;
    } else {
      a->window.reset();
      a->ownWindow = false;
      a->out.mute = 1;
      a->out.quiet = 1;
    }
    if (f.traced()) {
      startStopwatch(*a);
      f.enter("Entering KZINIT, Rc %d use %d reserve %d handle %d namestyle %d", b->rc, use, reserve, handle,
              namestyle);
    }
    if (use == 0) {
      a->pool.alignFlag = a->osRecognised;
      poolOp(a->pool, kPoolQuery, reserve);
      use = a->pool.availableK;
    }
    if (use < -1) {
      f.fail(101);
    } else if (reserve < 0) {
      f.fail(102);
    } else {
      a->messageCallback = nullptr;
      a->messageRecord = KZMessageRecord{};
      a->trace = 0;
      a->indexBase[0] = a->indexBase[1] = (namestyle == 1) ? 1 : 0;
      a->fixedNames[0] = a->fixedNames[1] = (namestyle != 0) ? 1 : 0;
      a->irc = 2;
      a->fnValue = 0;
      if (use == 0) use = 4000;
      bool poolOk = true;
      if (use != -1) {
        if (a->pool.freeBytes < 0) {
          a->pool.sizeK = use;
          a->pool.alignFlag = a->osRecognised;
          poolOk = poolOp(a->pool, kPoolCreate, 0) != nullptr;
        } else {
          poolOp(a->pool, kPoolRelease, -1);
        }
      }
      if (!poolOk) {
        f.fail(104);
      } else {
        setRunTimeDefaults(*a);
        resetModelStore(*a);
        startStopwatch(*a);
        std::snprintf(a->cmd, sizeof a->cmd, "RUNTIME ");
        a->cmdLast = static_cast<int16_t>(std::strlen(a->cmd) - 1);
        parseCommandBuffer(*a);
        if (!(a->irc > 800) && !child && a->irc == 2 && a->fnValue == 0) applyDefaultLines(*a);
      }
    }
    (void)reused;
  } else {
    a->irc = 999;
    a->fnValue = 1;
  }
  f.setLeaving("Leaving KZINIT, Fnct Value %d Rc %d Size %d Mem %ld ", a->fnValue, a->irc, 92,
               static_cast<long>(a->pool.freeBytes));
  return f.finish();
}

extern "C" KZ_API int16_t KZDONE(KZOSL* arg) {
  SharedBlock& sb = sharedBlock();
  ResolvedBlock rb;
  if (sb.active) {
    rb.block = &sb.block;
    rb.callerVar = reinterpret_cast<int16_t*>(arg);
  } else {
    rb.block = arg;
  }
  KZOSL* b = rb.block;
  if (!b) return 1;
  if (b->magic == kMagicClosed) {
    storeRc(rb, 111);
    return 0;
  }
  if (b->magic != kMagicOpen) return 1;
  ModelArea* ap = lookupArea(b->area);
  if (!ap) {
    storeRc(rb, 112);
    return 1;
  }
  ModelArea& a = *ap;
  a.back = b;
  releaseModelStorage(a);
  uint64_t now = plat::tickMs();
  uint64_t sinceOpen = now >= a.openTick ? now - a.openTick : 0;
  double cum = static_cast<double>(sinceOpen) * 0.001;
  double inLib = static_cast<double>(b->totalMs) * 0.001;
  int pct = sinceOpen > 0 ? static_cast<int>(100.0 * b->totalMs / static_cast<double>(sinceOpen)) : 0;
  sb.active = false;
  sb.callerVar = nullptr;
  if (a.guardsIntact()) {
    setRoutineName(a, "KZDONE");
    if (a.trace && !(a.internalCalls & kInternalCallMask))
      traceLine(a, "Entering KZDONE, KZOSL %p Rc %d KZComArea %p Cum %g KZ %g Pct %d", static_cast<void*>(b), a.irc,
                static_cast<void*>(&a), cum, inLib, pct);
  }
  a.messageCallback = nullptr;
  // Close the output channel and release the pool.
  endOpenPage(a);
  closeLogFile(a);
  fileCloseAll(a.files);
  poolOp(a.pool, kPoolFree, 0);
  a.irc = 0;
  if (a.ownWindow && a.window) {
    if (a.opt.waits) {
      std::printf("%s\n Total Time: %g\n    KZ Time: %g  (%d%%)\n    Solver Calls: %d\n    Total KZ.... Calls: %d\n",
                  a.window->caption().c_str(), cum, inLib, pct, a.solves, b->calls);
      std::fflush(stdout);
    }
  }
  std::fflush(stdout);
  b->magic = kMagicClosed;
  int32_t handle = a.handle;
  unregisterArea(handle);
  delete ap;
  b->area = 0;
  b->childMagic = 0;
  return 0;
}

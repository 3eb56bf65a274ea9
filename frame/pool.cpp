#include "frame/pool.h"

#include <algorithm>
#include <cstring>

namespace kz {

namespace {

constexpr int64_t kMB = int64_t{1} << 20;
// Slack reserved beyond the pool size: the first header and the alignment
// of base, so that a pool of s K bytes offers all s K bytes to its blocks
// and never reaches past its reservation.
constexpr int64_t kCreateSlack = 16;
// The 16 bytes a caller block gives up for the first header and alignment.
constexpr int64_t kCallerSlack = 16;
// The query never offers more than this (about 2 GB) ...
constexpr int64_t kQueryCeiling = 2147483645;
// ... and gives this instead, a multiple of 64 bytes.
constexpr int64_t kQueryClamp = 2147483584;
constexpr int64_t kProbeStep = 8 * kMB;
constexpr int64_t kPerSolverBytes = 32 * kMB;
constexpr int64_t kParallelFloor = 64 * kMB;
constexpr int64_t kReserveExtra = 4 * kMB;

struct RawHeader {
  uint32_t prevUnits;  // previous header's offset from base, 8-byte units
  uint32_t sizeUnits;  // this block's total size, 8-byte units
};
static_assert(sizeof(RawHeader) == kPoolHeaderBytes);

RawHeader readHeader(const char* h) {
  RawHeader r;
  std::memcpy(&r, h, sizeof r);
  return r;
}

void writeHeader(char* h, uint32_t prevUnits, uint32_t sizeUnits) {
  const RawHeader r{prevUnits, sizeUnits};
  std::memcpy(h, &r, sizeof r);
}

uint32_t unitsOf(int64_t bytes) {
  const int64_t u = bytes / 8;
  return u > int64_t{UINT32_MAX} ? UINT32_MAX : static_cast<uint32_t>(u);
}

bool hasPool(const WorkPool& p) { return p.freeBytes >= 0 && p.base; }

void saveMark(WorkPool& p, int k) { p.mark[k] = {p.top, p.last, p.freeBytes}; }

void restoreMark(WorkPool& p, int k) {
  p.top = p.mark[k].top;
  p.last = p.mark[k].last;
  p.freeBytes = p.mark[k].freeBytes;
  if (k == 0)
    for (int i = 1; i < kPoolMarks; ++i) p.mark[i] = p.mark[0];
}

// Leaves the area without a pool, all marks saying so.
void dropPool(WorkPool& p) {
  p.raw = nullptr;
  p.rawBytes = 0;
  p.base = p.top = p.last = nullptr;
  p.freeBytes = -1;
  saveMark(p, 0);
  restoreMark(p, 0);
}

void* freePool(WorkPool& p) {
  // A reservation of ours is given back whether or not a caller block has
  // been named since; a caller block is never released. munmap returns the
  // pages at once, so there is no heap to compact afterwards.
  if (p.raw) plat::releaseRegion(p.raw, p.rawBytes);
  dropPool(p);
  return nullptr;
}

void* createPool(WorkPool& p) {
  if (p.raw || hasPool(p)) freePool(p);  // a second create must not leak
  char* start = nullptr;
  int64_t avail = 0;
  if (p.callerBytes > 0) {
    start = static_cast<char*>(p.callerBlock);
    avail = std::min(p.callerBytes - kCallerSlack, kPoolMaxBytes);
  } else {
    if (p.sizeK > kPoolMaxK) p.sizeK = kPoolMaxK;
    avail = int64_t{p.sizeK} * 1024;
    if (avail > 0) {
      // Linux has no top-down placement hint; where the region lands does
      // not matter here.
      p.rawBytes = static_cast<uint64_t>(avail + kCreateSlack);
      p.raw = plat::reserveRegion(p.rawBytes);
      if (!p.raw) p.rawBytes = 0;
      start = static_cast<char*>(p.raw);
    }
  }
  if (!start || avail < 0) {
    freePool(p);
    return nullptr;
  }
  const uintptr_t align = p.alignFlag ? 8 : 16;
  const uintptr_t at = reinterpret_cast<uintptr_t>(start);
  const uintptr_t lost = (align - at % align) % align;
  avail -= static_cast<int64_t>(lost);
  if (avail < 0) {
    freePool(p);
    return nullptr;
  }
  p.base = start + lost;
  p.freeBytes = avail;
  writeHeader(p.base, 0, unitsOf(avail));
  p.top = p.base + kPoolHeaderBytes;
  p.last = p.base;
  for (int k = 0; k < kPoolMarks; ++k) saveMark(p, k);
  return p.base + kPoolHeaderBytes;
}

void* allocate(WorkPool& p, int64_t n) {
  if (!hasPool(p) || n < 0 || n > p.freeBytes) return nullptr;
  const int64_t b = poolBlockBytes(n);
  if (p.freeBytes < b) return nullptr;
  writeHeader(p.top, static_cast<uint32_t>((p.last - p.base) / 8),
              static_cast<uint32_t>(b / 8));
  p.last = p.top;
  p.top += b;
  p.freeBytes -= b;
  return p.last + kPoolHeaderBytes;
}

void* release(WorkPool& p, int64_t arg) {
  if (!hasPool(p) || arg == 0) return nullptr;
  if (arg == -1) {
    if (p.keep) return p.top + kPoolHeaderBytes;
    p.freeBytes += p.top - (p.base + kPoolHeaderBytes);
    p.top = p.base + kPoolHeaderBytes;
    p.last = p.base;
    return p.base + kPoolHeaderBytes;
  }
  if (p.last == p.base) return nullptr;  // no block above the first header
  const RawHeader h = readHeader(p.last);
  p.freeBytes += int64_t{h.sizeUnits} * 8;
  p.top = p.last;
  p.last = p.base + int64_t{h.prevUnits} * 8;
  return p.last;
}

void* resize(WorkPool& p, int64_t n) {
  if (!hasPool(p) || p.last == p.base || n < 0) return nullptr;
  const RawHeader h = readHeader(p.last);
  const int64_t cur = int64_t{h.sizeUnits} * 8;
  // A grow beyond the free bytes is refused and changes nothing.
  if (n > cur + p.freeBytes) return nullptr;
  const int64_t b = poolBlockBytes(n);
  const int64_t diff = b - cur;
  if (diff > p.freeBytes) return nullptr;
  p.top += diff;
  p.freeBytes -= diff;
  writeHeader(p.last, h.prevUnits, static_cast<uint32_t>(b / 8));
  return p.last + kPoolHeaderBytes;
}

void* markOp(WorkPool& p, bool restore, int64_t k) {
  if (!hasPool(p) || k < 0 || k >= kPoolMarks) return nullptr;
  const int i = static_cast<int>(k);
  if (!restore) {
    saveMark(p, i);
  } else if (p.mark[i].top && p.mark[i].freeBytes >= 0) {
    restoreMark(p, i);
  }
  return nullptr;
}

}  // namespace

void poolQuery(WorkPool& p, int64_t reserve, bool parallel,
               const plat::MemoryStatus& ms, bool (*probe)(uint64_t bytes)) {
  const uint64_t t = ms.totalPhys, avPhys = ms.availPhys;
  const uint64_t f = ms.availPageFile, v = ms.availVirtual;
  // What can be backed: physical memory when nothing may be committed;
  // all of physical memory when less commit charge than that is left
  // (the pool commits lazily); otherwise the commit charge, as far as the
  // address space holds it.
  uint64_t c;
  if (f == 0) c = avPhys;
  else if (f < t) c = t;
  else c = std::min(f, v);
  const double d = 0.8 * static_cast<double>(std::min(t, c));
  int64_t b = d > static_cast<double>(kQueryCeiling) ? kQueryClamp
                                                      : static_cast<int64_t>(d);

  const int64_t e = p.parallelSubModels;
  if (parallel && e > 0) {
    if (p.sizeK <= 0) {
      b = (e * kPerSolverBytes + kParallelFloor < b
               ? b - (e + 1) * kPerSolverBytes
               : b / 2) /
          (e + 1);
    } else {
      b = std::min(b, int64_t{p.sizeK} * 1024);
    }
  }

  if (probe)
    while (b > 0 && !probe(static_cast<uint64_t>(b))) b -= kProbeStep;
  if (b < 0) b = 0;

  if (reserve > 99) {
    // Reserve in K bytes, plus 4 MB (b is at most about 2 GB here, so a
    // larger reserve leaves 0 and must not overflow).
    b = reserve > kQueryClamp ? 0 : b - (reserve * 1024 + kReserveExtra);
  } else {
    // A percentage to leave; a negative one would promise more than the
    // probe found, so it counts as 0.
    const int64_t keepPct = 100 - std::max<int64_t>(reserve, 0);
    b = b * keepPct / 100;
  }
  if (b < 0) b = 0;
  p.availableK = static_cast<int32_t>(b / 1024);
}

void* poolOp(WorkPool& p, int16_t op, int64_t arg) {
  switch (op) {
    case kPoolCreate: return createPool(p);
    case kPoolAllocate: return allocate(p, arg);
    case kPoolRelease: return release(p, arg);
    case kPoolResize: return resize(p, arg);
    case kPoolFree: return freePool(p);
    case kPoolSaveMark: return markOp(p, false, arg);
    case kPoolRestoreMark: return markOp(p, true, arg);
    case kPoolQuery:
    case kPoolQueryParallel:
      poolQuery(p, arg, op == kPoolQueryParallel, plat::memoryStatus(),
                &plat::probeCommit);
      return nullptr;
    default: return nullptr;
  }
}

PoolHeader poolHeaderAt(const WorkPool& p, const char* header) {
  if (!p.base || !header) return {nullptr, 0};
  const RawHeader h = readHeader(header);
  return {header == p.base ? nullptr : p.base + int64_t{h.prevUnits} * 8,
          int64_t{h.sizeUnits} * 8};
}

}  // namespace kz

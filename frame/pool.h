// The work pool of a model area: one large block of memory from which the
// model store and the solvers take their arrays stack-wise, with five saved
// marks to roll it back in one step, and the estimate of how much memory the
// machine can give.
//
// Block layout: every block starts with an 8-byte header followed by its
// data. A request of n bytes takes 8 * ((n + 7) / 8 + 1) bytes, header
// included (1 byte takes 16, 8 take 16, 9 take 24). The header holds two
// 32-bit fields, both counted in 8-byte units (offsets and sizes are always
// multiples of 8): the offset of the previous block's header from base, and
// this block's total size. That keeps the 8-byte header on 64-bit addresses
// and lets a pool reach kPoolMaxBytes. The first header, at base, holds 0
// and the pool's free byte count in the same units (clamped to 32 bits).
// base itself is the end of the chain: a pool whose last header is base has
// no block to give back.
#pragma once
#include <cstdint>

#include "frame/platform.h"

namespace kz {

// Largest pool (about 32 GB): header offsets and sizes must fit 32 bits of
// 8-byte units. A larger pool size is cut down to this at create.
constexpr int32_t kPoolMaxK = 33554431;
constexpr int64_t kPoolMaxBytes = int64_t{kPoolMaxK} * 1024;
constexpr int kPoolMarks = 5;
constexpr int64_t kPoolHeaderBytes = 8;

struct PoolMark {
  char* top;
  char* last;
  int64_t freeBytes;
};

struct WorkPool {
  int32_t sizeK = 0;       // pool size in K bytes: asked for, then obtained
  int64_t freeBytes = -1;  // bytes above the top; -1 = no pool
  void* raw = nullptr;     // what the system gave us, to give it back
  uint64_t rawBytes = 0;
  char* base = nullptr;    // aligned start; the first header is here
  char* top = nullptr;     // where the next block's header goes
  char* last = nullptr;    // header of the most recent block (base if none)
  PoolMark mark[kPoolMarks] = {};
  void* callerBlock = nullptr;  // caller-owned block used as the pool
  int64_t callerBytes = 0;      // its size; 0 = no caller block
  int16_t keep = 0;       // set when MEMORY asks for the current size:
                          // resets do nothing
  int32_t availableK = 0;  // result of the last size query
  bool alignFlag = true;   // recognised OS: 8-byte alignment, else 16
  int32_t parallelSubModels = 0;  // e, the sub-models sharing memory (op 8)
};

enum PoolOp : int16_t {
  kPoolCreate = 0,         // make the pool of sizeK K bytes -> base + 8
  kPoolAllocate = 1,       // arg n bytes -> data address
  kPoolRelease = 2,        // arg -1: reset; other non-zero: give back last
  kPoolResize = 3,         // arg n bytes: resize the last block -> data
  kPoolFree = 4,           // give the pool back to the system
  kPoolSaveMark = 5,       // arg k (0..4)
  kPoolRestoreMark = 6,    // arg k (0..4); k = 0 also copies into 1..4
  kPoolQuery = 7,          // arg reserve -> availableK
  kPoolQueryParallel = 8,  // as 7, shared among parallel sub-models
};

// Runs one pool operation; see PoolOp. Null stands for "none" or failure.
// On an area without a pool only create, free and the queries act; the
// others return null. Unknown operations return null.
void* poolOp(WorkPool& p, int16_t op, int64_t arg);

// The size query with its inputs given: the memory status, and a probe that
// says whether that many bytes could be reserved and committed now. Sets
// p.availableK. poolOp uses plat::memoryStatus() and plat::probeCommit().
void poolQuery(WorkPool& p, int64_t reserve, bool parallel,
               const plat::MemoryStatus& ms, bool (*probe)(uint64_t bytes));

// Bytes a request of n bytes takes, header included (n >= 0).
constexpr int64_t poolBlockBytes(int64_t n) { return 8 * ((n + 7) / 8 + 1); }

// A decoded block header: the previous header (null for the first header at
// base) and the second field in bytes (block size; free count for base).
struct PoolHeader {
  char* prev;
  int64_t bytes;
};
PoolHeader poolHeaderAt(const WorkPool& p, const char* header);

}  // namespace kz

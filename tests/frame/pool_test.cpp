#include "frame/pool.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace kz {
namespace {

constexpr int64_t kMB = int64_t{1} << 20;
constexpr int64_t kGB = int64_t{1} << 30;

// The parts of a pool an operation may change.
struct Snapshot {
  char* top;
  char* last;
  int64_t freeBytes;
  PoolMark mark[kPoolMarks];
  int32_t availableK;
};

Snapshot snap(const WorkPool& p) {
  Snapshot s{p.top, p.last, p.freeBytes, {}, p.availableK};
  for (int k = 0; k < kPoolMarks; ++k) s.mark[k] = p.mark[k];
  return s;
}

void expectSame(const Snapshot& a, const Snapshot& b) {
  EXPECT_EQ(a.top, b.top);
  EXPECT_EQ(a.last, b.last);
  EXPECT_EQ(a.freeBytes, b.freeBytes);
  EXPECT_EQ(a.availableK, b.availableK);
  for (int k = 0; k < kPoolMarks; ++k) {
    EXPECT_EQ(a.mark[k].top, b.mark[k].top) << "mark " << k;
    EXPECT_EQ(a.mark[k].last, b.mark[k].last) << "mark " << k;
    EXPECT_EQ(a.mark[k].freeBytes, b.mark[k].freeBytes) << "mark " << k;
  }
}

void expectEmptyPool(const WorkPool& p, int64_t freeWhenCreated) {
  EXPECT_EQ(p.top, p.base + 8);
  EXPECT_EQ(p.last, p.base);
  EXPECT_EQ(p.freeBytes, freeWhenCreated);
}

class PoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    p_.sizeK = 64;
    void* r = poolOp(p_, kPoolCreate, 0);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r, p_.base + 8);
    created_ = p_.freeBytes;
  }
  void TearDown() override { poolOp(p_, kPoolFree, 0); }

  WorkPool p_;
  int64_t created_ = 0;
};

TEST_F(PoolTest, CreateGivesEmptyPoolOfTheAskedSize) {
  EXPECT_EQ(created_, 64 * 1024);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p_.base) % 8, 0u);
  expectEmptyPool(p_, 64 * 1024);
  const PoolHeader first = poolHeaderAt(p_, p_.base);
  EXPECT_EQ(first.prev, nullptr);
  EXPECT_EQ(first.bytes, 64 * 1024);
  for (const PoolMark& m : p_.mark) {
    EXPECT_EQ(m.top, p_.base + 8);
    EXPECT_EQ(m.last, p_.base);
    EXPECT_EQ(m.freeBytes, created_);
  }
  // The whole free count is usable and stays inside the reservation.
  ASSERT_NE(poolOp(p_, kPoolAllocate, created_ - 8), nullptr);
  EXPECT_EQ(p_.freeBytes, 0);
  EXPECT_LE(p_.top, static_cast<char*>(p_.raw) + p_.rawBytes);
  std::memset(p_.last + 8, 0xAB, created_ - 8);
}

TEST_F(PoolTest, RequestSizesRoundToWholeWordsPlusHeader) {
  struct Case {
    int64_t n, takes;
  };
  const Case cases[] = {{0, 8},   {1, 16},  {7, 16},  {8, 16},
                        {9, 24},  {16, 24}, {17, 32}, {1000, 1008}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    char* const oldTop = p_.top;
    char* const oldLast = p_.last;
    const int64_t oldFree = p_.freeBytes;
    char* data = static_cast<char*>(poolOp(p_, kPoolAllocate, c.n));
    ASSERT_EQ(data, oldTop + 8);
    EXPECT_EQ(oldFree - p_.freeBytes, c.takes);
    EXPECT_EQ(p_.top, oldTop + c.takes);
    EXPECT_EQ(p_.last, oldTop);
    const PoolHeader h = poolHeaderAt(p_, p_.last);
    EXPECT_EQ(h.prev, oldLast);
    EXPECT_EQ(h.bytes, c.takes);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(data) % 8, 0u);
  }
}

TEST_F(PoolTest, RestoreMarkZeroGivesTheEmptyPoolBack) {
  poolOp(p_, kPoolAllocate, 100);
  poolOp(p_, kPoolSaveMark, 1);
  poolOp(p_, kPoolAllocate, 200);
  poolOp(p_, kPoolSaveMark, 2);
  poolOp(p_, kPoolAllocate, 300);
  poolOp(p_, kPoolSaveMark, 3);
  poolOp(p_, kPoolSaveMark, 4);
  EXPECT_EQ(poolOp(p_, kPoolRestoreMark, 0), nullptr);
  expectEmptyPool(p_, created_);
  for (int k = 1; k < kPoolMarks; ++k) {
    EXPECT_EQ(p_.mark[k].top, p_.mark[0].top);
    EXPECT_EQ(p_.mark[k].last, p_.mark[0].last);
    EXPECT_EQ(p_.mark[k].freeBytes, p_.mark[0].freeBytes);
  }
  // Marks 1..4 now name the empty pool too.
  poolOp(p_, kPoolAllocate, 50);
  poolOp(p_, kPoolRestoreMark, 3);
  expectEmptyPool(p_, created_);
}

TEST_F(PoolTest, RestoreOtherMarkLeavesTheRestAlone) {
  poolOp(p_, kPoolAllocate, 100);
  poolOp(p_, kPoolSaveMark, 2);
  const Snapshot atMark = snap(p_);
  poolOp(p_, kPoolAllocate, 200);
  poolOp(p_, kPoolSaveMark, 3);
  poolOp(p_, kPoolRestoreMark, 2);
  EXPECT_EQ(p_.top, atMark.top);
  EXPECT_EQ(p_.last, atMark.last);
  EXPECT_EQ(p_.freeBytes, atMark.freeBytes);
  EXPECT_NE(p_.mark[3].top, p_.top);
  EXPECT_EQ(p_.mark[0].top, p_.base + 8);
}

TEST_F(PoolTest, GiveBackWalksTheChainAndStopsAtTheFirstHeader) {
  const Snapshot empty = snap(p_);
  EXPECT_EQ(poolOp(p_, kPoolRelease, 1), nullptr);
  expectSame(snap(p_), empty);

  char* h1 = p_.top;
  poolOp(p_, kPoolAllocate, 10);
  char* h2 = p_.top;
  poolOp(p_, kPoolAllocate, 20);
  EXPECT_EQ(poolOp(p_, kPoolRelease, 1), h1);
  EXPECT_EQ(p_.top, h2);
  EXPECT_EQ(poolOp(p_, kPoolRelease, 7), p_.base);
  expectSame(snap(p_), empty);
  EXPECT_EQ(poolOp(p_, kPoolRelease, 1), nullptr);
  expectSame(snap(p_), empty);
}

TEST_F(PoolTest, ResetEmptiesThePoolUnlessKept) {
  poolOp(p_, kPoolAllocate, 100);
  poolOp(p_, kPoolAllocate, 200);
  poolOp(p_, kPoolResize, 500);

  p_.keep = 1;
  const Snapshot kept = snap(p_);
  EXPECT_EQ(poolOp(p_, kPoolRelease, -1), p_.top + 8);
  expectSame(snap(p_), kept);

  p_.keep = 0;
  EXPECT_EQ(poolOp(p_, kPoolRelease, 0), nullptr);
  expectSame(snap(p_), kept);
  EXPECT_EQ(poolOp(p_, kPoolRelease, -1), p_.base + 8);
  expectEmptyPool(p_, created_);
}

TEST_F(PoolTest, FailedAllocationChangesNothing) {
  poolOp(p_, kPoolAllocate, created_ - 8 - 64);  // 64 bytes left
  ASSERT_EQ(p_.freeBytes, 64);
  const Snapshot before = snap(p_);
  for (int64_t n : {int64_t{57}, int64_t{64}, int64_t{1} << 40, INT64_MAX,
                    int64_t{-1}, int64_t{-100}, INT64_MIN}) {
    SCOPED_TRACE(n);
    EXPECT_EQ(poolOp(p_, kPoolAllocate, n), nullptr);
    expectSame(snap(p_), before);
  }
  EXPECT_NE(poolOp(p_, kPoolAllocate, 56), nullptr);  // 56 takes exactly 64
  EXPECT_EQ(p_.freeBytes, 0);
  EXPECT_EQ(poolOp(p_, kPoolAllocate, 0), nullptr);
}

TEST_F(PoolTest, ResizeChangesTheLastBlockWithinThePool) {
  EXPECT_EQ(poolOp(p_, kPoolResize, 10), nullptr);  // no block yet
  char* data = static_cast<char*>(poolOp(p_, kPoolAllocate, 100));  // 112
  struct Step {
    int64_t n;
    bool ok;
    int64_t takes;  // block size afterwards
  };
  const int64_t room = p_.freeBytes + 112;
  const Step steps[] = {{1000, true, 1008},     {1, true, 16},
                        {0, true, 8},           {room - 8, true, room},
                        {room - 7, false, room}, {room + 1000, false, room},
                        {-1, false, room},       {INT64_MAX, false, room},
                        {100, true, 112}};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.n);
    const Snapshot before = snap(p_);
    void* r = poolOp(p_, kPoolResize, s.n);
    if (s.ok) {
      EXPECT_EQ(r, data);
    } else {
      EXPECT_EQ(r, nullptr);
      expectSame(snap(p_), before);
    }
    EXPECT_EQ(poolHeaderAt(p_, p_.last).bytes, s.takes);
    EXPECT_EQ(p_.top, p_.last + s.takes);
    EXPECT_EQ(p_.freeBytes, room - s.takes);
  }
  // The next block starts after the resized one and gives back cleanly.
  EXPECT_EQ(poolOp(p_, kPoolAllocate, 8), data + 112);
  poolOp(p_, kPoolRelease, 1);
  poolOp(p_, kPoolRelease, 1);
  expectEmptyPool(p_, created_);
}

TEST_F(PoolTest, FreeLeavesNoPoolAndLaterCallsReturnNull) {
  poolOp(p_, kPoolAllocate, 100);
  EXPECT_EQ(poolOp(p_, kPoolFree, 0), nullptr);
  EXPECT_EQ(p_.freeBytes, -1);
  EXPECT_EQ(p_.raw, nullptr);
  EXPECT_EQ(p_.base, nullptr);
  for (const PoolMark& m : p_.mark) {
    EXPECT_EQ(m.top, nullptr);
    EXPECT_EQ(m.freeBytes, -1);
  }
  const Snapshot gone = snap(p_);
  struct Call {
    int16_t op;
    int64_t arg;
  };
  const Call calls[] = {{kPoolAllocate, 1},   {kPoolAllocate, 0},
                        {kPoolRelease, -1},   {kPoolRelease, 1},
                        {kPoolResize, 8},     {kPoolSaveMark, 0},
                        {kPoolRestoreMark, 0}, {kPoolRestoreMark, 2},
                        {kPoolFree, 0},       {9, 0},
                        {-1, 0}};
  for (const Call& c : calls) {
    SCOPED_TRACE(c.op);
    EXPECT_EQ(poolOp(p_, c.op, c.arg), nullptr);
    expectSame(snap(p_), gone);
  }
  // The area can have a pool again.
  ASSERT_NE(poolOp(p_, kPoolCreate, 0), nullptr);
  expectEmptyPool(p_, created_);
}

TEST_F(PoolTest, UnknownOperationsAndMarkNumbersDoNothing) {
  poolOp(p_, kPoolAllocate, 40);
  const Snapshot before = snap(p_);
  for (int16_t op : {int16_t{9}, int16_t{10}, int16_t{100}, int16_t{-1},
                     int16_t{INT16_MIN}}) {
    EXPECT_EQ(poolOp(p_, op, 1), nullptr);
    expectSame(snap(p_), before);
  }
  for (int64_t k : {int64_t{-1}, int64_t{5}, int64_t{1} << 33}) {
    EXPECT_EQ(poolOp(p_, kPoolSaveMark, k), nullptr);
    EXPECT_EQ(poolOp(p_, kPoolRestoreMark, k), nullptr);
    expectSame(snap(p_), before);
  }
}

TEST(PoolCreate, SecondCreateStartsAFreshPool) {
  WorkPool p;
  p.sizeK = 16;
  poolOp(p, kPoolCreate, 0);
  poolOp(p, kPoolAllocate, 1000);
  p.sizeK = 32;
  ASSERT_NE(poolOp(p, kPoolCreate, 0), nullptr);
  expectEmptyPool(p, 32 * 1024);
  EXPECT_EQ(p.mark[4].freeBytes, 32 * 1024);
  poolOp(p, kPoolFree, 0);
}

TEST(PoolCreate, NoSizeMeansNoPool) {
  for (int32_t k : {0, -5}) {
    WorkPool p;
    p.sizeK = k;
    EXPECT_EQ(poolOp(p, kPoolCreate, 0), nullptr);
    EXPECT_EQ(p.freeBytes, -1);
    EXPECT_EQ(poolOp(p, kPoolAllocate, 1), nullptr);
  }
}

TEST(PoolCreate, CallerBlockIsUsedAlignedAndNeverReleased) {
  struct Case {
    bool alignFlag;
    int offset;       // misalignment of the caller's address
    int64_t bytes;
    int64_t baseOffset;  // expected base - buffer
    int64_t freeBytes;   // expected, -1 = no pool
  };
  const Case cases[] = {
      {true, 3, 4093, 8, 4093 - 16 - 5},   {false, 3, 4093, 16, 4093 - 16 - 13},
      {true, 0, 4096, 0, 4096 - 16},       {false, 8, 4088, 16, 4088 - 16 - 8},
      {true, 0, 16, 0, 0},                 {true, 3, 16, 8, -1},
      {true, 0, 10, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    alignas(16) static char buf[4096 + 16];
    WorkPool p;
    p.alignFlag = c.alignFlag;
    p.sizeK = 1000000;  // ignored while a caller block is set
    p.callerBlock = buf + c.offset;
    p.callerBytes = c.bytes;
    void* r = poolOp(p, kPoolCreate, 0);
    EXPECT_EQ(p.freeBytes, c.freeBytes);
    if (c.freeBytes < 0) {
      EXPECT_EQ(r, nullptr);
      continue;
    }
    EXPECT_EQ(p.raw, nullptr);
    EXPECT_EQ(p.base, buf + c.baseOffset);
    EXPECT_EQ(r, p.base + 8);
    // Filling the pool completely stays inside the caller's block.
    if (p.freeBytes >= 8) {
      char* d = static_cast<char*>(poolOp(p, kPoolAllocate, p.freeBytes - 8));
      ASSERT_NE(d, nullptr);
      EXPECT_LE(p.top, buf + c.offset + c.bytes);
      std::memset(d, 0x5A, p.top - d);
    }
    poolOp(p, kPoolFree, 0);
    EXPECT_EQ(p.freeBytes, -1);
  }
}

// Random pushes, pops, resizes, resets and mark rollbacks, checked against a
// plain model of the stack; every block's data carries a pattern that must
// survive until the block is given back, so overlapping blocks show up.
TEST(PoolModel, RandomSequencesKeepTheStackDiscipline) {
  struct Block {
    char* data;
    int64_t n, bytes;
    unsigned char fill;
  };
  struct Mark {
    bool valid;
    size_t depth;
  };
  WorkPool p;
  p.sizeK = 256;
  ASSERT_NE(poolOp(p, kPoolCreate, 0), nullptr);
  const int64_t capacity = p.freeBytes;
  std::vector<Block> stack;
  Mark marks[kPoolMarks] = {{true, 0}, {true, 0}, {true, 0}, {true, 0},
                            {true, 0}};
  std::mt19937 rng(12345);
  unsigned char nextFill = 1;
  auto used = [&] {
    int64_t u = 0;
    for (const Block& b : stack) u += b.bytes;
    return u;
  };
  auto fillBlock = [](const Block& b) { std::memset(b.data, b.fill, b.n); };
  auto checkBlock = [](const Block& b) {
    for (int64_t i = 0; i < b.n; ++i)
      if (static_cast<unsigned char>(b.data[i]) != b.fill) return false;
    return true;
  };
  auto truncateMarks = [&](size_t depth) {
    for (Mark& m : marks)
      if (m.depth > depth) m.valid = false;
  };

  for (int step = 0; step < 20000; ++step) {
    const int what = static_cast<int>(rng() % 100);
    if (what < 45) {
      int64_t n = rng() % 3000;
      if (rng() % 50 == 0) n = capacity;  // sure to fail
      void* r = poolOp(p, kPoolAllocate, n);
      const int64_t b = 8 * ((n + 7) / 8 + 1);
      if (b > capacity - used()) {
        ASSERT_EQ(r, nullptr);
      } else {
        ASSERT_EQ(r, p.base + 8 + used() + 8);
        Block blk{static_cast<char*>(r), n, b, nextFill++};
        if (nextFill == 0) nextFill = 1;
        fillBlock(blk);
        stack.push_back(blk);
      }
    } else if (what < 85) {
      void* r = poolOp(p, kPoolRelease, 1);
      if (stack.empty()) {
        ASSERT_EQ(r, nullptr);
      } else {
        ASSERT_TRUE(checkBlock(stack.back())) << "step " << step;
        stack.pop_back();
        truncateMarks(stack.size());
        char* expect = stack.empty() ? p.base : stack.back().data - 8;
        ASSERT_EQ(r, expect);
      }
    } else if (what < 92) {
      const int64_t n = rng() % 4000;
      void* r = poolOp(p, kPoolResize, n);
      if (stack.empty()) {
        ASSERT_EQ(r, nullptr);
      } else {
        Block& top = stack.back();
        const int64_t b = 8 * ((n + 7) / 8 + 1);
        if (b - top.bytes > capacity - used()) {
          ASSERT_EQ(r, nullptr);
        } else {
          ASSERT_EQ(r, top.data);
          ASSERT_TRUE(checkBlock(top));
          top.n = n;
          top.bytes = b;
          fillBlock(top);
          // A mark taken on top of this block no longer matches it.
          truncateMarks(stack.size() - 1);
        }
      }
    } else if (what < 96) {
      const int k = 1 + static_cast<int>(rng() % 4);
      poolOp(p, kPoolSaveMark, k);
      marks[k] = {true, stack.size()};
    } else if (what < 99) {
      const int k = static_cast<int>(rng() % kPoolMarks);
      if (!marks[k].valid) continue;  // rolling back to a dead mark is misuse
      poolOp(p, kPoolRestoreMark, k);
      stack.resize(marks[k].depth);
      if (k == 0)
        for (Mark& m : marks) m = marks[0];
      truncateMarks(stack.size());
    } else {
      poolOp(p, kPoolRelease, -1);
      stack.clear();
      truncateMarks(0);
    }
    ASSERT_EQ(p.freeBytes, capacity - used()) << "step " << step;
    ASSERT_EQ(p.top, p.base + 8 + used());
    ASSERT_EQ(p.last, stack.empty() ? p.base : stack.back().data - 8);
    if (!stack.empty()) {
      ASSERT_EQ(poolHeaderAt(p, p.last).bytes, stack.back().bytes);
    }
  }
  for (const Block& b : stack) EXPECT_TRUE(checkBlock(b));
  poolOp(p, kPoolFree, 0);
}

uint64_t residentBytes() {
  unsigned long long size = 0, resident = 0;
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  if (std::fscanf(f, "%llu %llu", &size, &resident) != 2) resident = 0;
  std::fclose(f);
  return resident * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

TEST(PoolCreate, BigPoolReservesWithoutCommitting) {
  WorkPool p;
  p.sizeK = 2 * 1024 * 1024;  // 2 GB
  const uint64_t before = residentBytes();
  ASSERT_NE(poolOp(p, kPoolCreate, 0), nullptr);
  EXPECT_EQ(p.freeBytes, 2 * kGB);
  char* big = static_cast<char*>(poolOp(p, kPoolAllocate, 3 * kGB / 2));
  ASSERT_NE(big, nullptr);
  big[0] = 1;
  big[3 * kGB / 2 - 1] = 1;
  char* rest = static_cast<char*>(poolOp(p, kPoolAllocate, p.freeBytes - 8));
  ASSERT_NE(rest, nullptr);
  EXPECT_EQ(p.freeBytes, 0);
  const uint64_t after = residentBytes();
  EXPECT_LT(after, before + 64 * kMB) << "before " << before << " after " << after;
  poolOp(p, kPoolFree, 0);
  EXPECT_EQ(p.freeBytes, -1);
}

TEST(PoolCreate, OversizedPoolIsCutToTheLargestSupported) {
  WorkPool p;
  p.sizeK = INT32_MAX;
  if (!poolOp(p, kPoolCreate, 0)) {
    EXPECT_EQ(p.freeBytes, -1);
    GTEST_SKIP() << "the system refuses to reserve " << kPoolMaxBytes << " bytes";
  }
  EXPECT_EQ(p.sizeK, kPoolMaxK);
  EXPECT_EQ(p.freeBytes, kPoolMaxBytes);
  // A block near the far end still records its offset and size exactly.
  poolOp(p, kPoolAllocate, kPoolMaxBytes - 1024);
  char* near = p.top;
  ASSERT_NE(poolOp(p, kPoolAllocate, 100), nullptr);
  EXPECT_EQ(poolHeaderAt(p, p.last).bytes, 112);
  EXPECT_EQ(poolOp(p, kPoolRelease, 1), near - (kPoolMaxBytes - 1024 + 8));
  EXPECT_EQ(p.top, near);
  poolOp(p, kPoolFree, 0);
}

// --- size query -----------------------------------------------------------

std::vector<uint64_t> gProbed;
uint64_t gProbeLimit = UINT64_MAX;
bool limitedProbe(uint64_t bytes) {
  gProbed.push_back(bytes);
  return bytes <= gProbeLimit;
}

TEST(PoolQuery, EstimatesFromStatusProbeAndReserve) {
  using plat::MemoryStatus;
  const uint64_t G = kGB, M = kMB;
  const uint64_t kBig = uint64_t{128} << 40;
  const MemoryStatus gig{G, G, 2 * G, 8 * G};  // min(T, min(F, V)) = 1 GB
  // 0.8 * 1 GB = 858993459 bytes = 838860 K.
  struct Case {
    const char* what;
    MemoryStatus ms;
    int64_t reserve;
    bool parallel;
    int32_t e, sizeK;
    uint64_t probeLimit;
    int32_t expectK;
  };
  const Case cases[] = {
      {"reserve 0 keeps all", gig, 0, false, 0, 0, UINT64_MAX, 838860},
      {"reserve 10 keeps 90 %", gig, 10, false, 0, 0, UINT64_MAX, 754974},
      {"reserve 99 keeps 1 %", gig, 99, false, 0, 0, UINT64_MAX, 8388},
      {"reserve 100 is K bytes plus 4 MB", gig, 100, false, 0, 0, UINT64_MAX,
       834664},
      {"reserve 500 is K bytes plus 4 MB", gig, 500, false, 0, 0, UINT64_MAX,
       834264},
      {"reserve beyond everything", gig, int64_t{1} << 50, false, 0, 0,
       UINT64_MAX, 0},
      {"negative reserve counts as 0", gig, -50, false, 0, 0, UINT64_MAX,
       838860},
      {"no commit charge: available physical", {G, 512 * M, 0, kBig}, 0,
       false, 0, 0, UINT64_MAX, 419430},
      {"commit charge below physical: total physical",
       {G, 100 * M, 512 * M, kBig}, 0, false, 0, 0, UINT64_MAX, 838860},
      {"address space limits", {4 * G, 4 * G, 8 * G, G}, 0, false, 0, 0,
       UINT64_MAX, 838860},
      {"about 2 GB at most", {64 * G, 64 * G, 64 * G, kBig}, 0, false, 0, 0,
       UINT64_MAX, 2097151},
      {"probe steps down by 8 MB", gig, 0, false, 0, 0, 800 * M, 814284},
      {"probe finds nothing", gig, 10, false, 0, 0, 0, 0},
      {"parallel, no pool size: per solver share", {2 * G, 2 * G, 4 * G, kBig},
       0, true, 3, 0, UINT64_MAX, 386662},
      {"parallel, little memory: halved and shared",
       {150 * M, 150 * M, G, kBig}, 0, true, 3, 0, UINT64_MAX, 15360},
      {"parallel with a pool size: at most that", gig, 0, true, 3, 100000,
       UINT64_MAX, 100000},
      {"parallel, pool size above the estimate", gig, 0, true, 3, 2000000,
       UINT64_MAX, 838860},
      {"parallel without sub-models", gig, 0, true, 0, 0, UINT64_MAX, 838860},
      {"plain query ignores sub-models", gig, 0, false, 3, 0, UINT64_MAX,
       838860},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WorkPool p;
    p.parallelSubModels = c.e;
    p.sizeK = c.sizeK;
    gProbeLimit = c.probeLimit;
    gProbed.clear();
    poolQuery(p, c.reserve, c.parallel, c.ms, &limitedProbe);
    EXPECT_EQ(p.availableK, c.expectK);
    EXPECT_EQ(p.freeBytes, -1);  // the query makes no pool
  }
}

TEST(PoolQuery, ProbeTriesEachSizeEightMegabytesLower) {
  WorkPool p;
  gProbeLimit = 800 * kMB;
  gProbed.clear();
  poolQuery(p, 0, false, {uint64_t(kGB), uint64_t(kGB), uint64_t(2 * kGB), uint64_t(8 * kGB)},
            &limitedProbe);
  const std::vector<uint64_t> expect = {858993459, 850604851, 842216243,
                                        833827635};
  EXPECT_EQ(gProbed, expect);

  gProbeLimit = 0;
  gProbed.clear();
  poolQuery(p, 0, false, {uint64_t(20 * kMB), uint64_t(20 * kMB), uint64_t(kGB), uint64_t(kGB)},
            &limitedProbe);
  // 16 MB, 8 MB, then nothing is left to try.
  EXPECT_EQ(gProbed, (std::vector<uint64_t>{16777216, 8388608}));
  EXPECT_EQ(p.availableK, 0);
}

TEST(PoolQuery, RealQueryGivesAUsableSize) {
  WorkPool p;
  EXPECT_EQ(poolOp(p, kPoolQuery, 10), nullptr);
  EXPECT_GT(p.availableK, 0);
  EXPECT_LE(p.availableK, 2147483584 / 1024);
  // What the query offers can be made into a pool.
  p.sizeK = p.availableK / 8;
  ASSERT_NE(poolOp(p, kPoolCreate, 0), nullptr);
  p.parallelSubModels = 2;
  poolOp(p, kPoolQueryParallel, 0);
  EXPECT_LE(p.availableK, p.sizeK);
  poolOp(p, kPoolFree, 0);
}

}  // namespace
}  // namespace kz

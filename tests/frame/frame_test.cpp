// The entry frame, area life and KZMSG seen from inside: the window's held
// lines, the guard words and the counters.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "frame/area.h"
#include "frame/output.h"
#include "include/kz.h"

namespace {

using kz::ModelArea;

class AreaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    b_ = KZOSL{};
    b_.size = sizeof b_;
  }
  void TearDown() override {
    if (b_.magic == KZ_MAGIC_OPEN) KZDONE(&b_);
  }
  ModelArea& area() { return *kz::lookupArea(b_.area); }
  // Lines held by the area's window from line `from` on.
  std::vector<std::string> windowLines(int from = 0) {
    std::vector<std::string> v;
    kz::ConsoleWindow* w = area().window.get();
    for (int k = from; w && k < w->heldCount(); ++k) v.push_back(w->heldLine(k));
    return v;
  }
  KZOSL b_{};
};

TEST_F(AreaTest, InitOpensAndMsgNamesKzinit) {
  ASSERT_EQ(KZINIT(&b_, 100, 0, -2, 0), 0);
  EXPECT_EQ(b_.rc, 2);
  EXPECT_EQ(b_.calls, 1);
  ModelArea& a = area();
  EXPECT_EQ(a.irc, 2);
  EXPECT_EQ(a.pool.sizeK, 100);
  EXPECT_GT(a.pool.freeBytes, 0);
  int before = a.window->heldCount();
  ASSERT_EQ(KZMSG(&b_), 0);
  EXPECT_EQ(windowLines(before), std::vector<std::string>{"KZINIT Function Successful."});
  EXPECT_EQ(b_.calls, 1) << "KZMSG is not counted";
}

TEST_F(AreaTest, MsgPrintsEvenWhenQuiet) {
  ASSERT_EQ(KZINIT(&b_, 100, 0, -2, 0), 0);
  area().out.quiet = 1;
  int before = area().window->heldCount();
  b_.rc = 205;
  KZMSG(&b_);
  EXPECT_EQ(windowLines(before), std::vector<std::string>{"KZINIT misspelled command line parameter."});
  EXPECT_EQ(area().out.quiet, 1) << "the quiet switch is restored";
  kz::writeTextLine(area(), "not while quiet", kz::kClassInfo);
  EXPECT_EQ(area().window->heldCount(), before + 1);
}

TEST_F(AreaTest, NoWindowMeansMuteAndQuiet) {
  ASSERT_EQ(KZINIT(&b_, 100, 0, -3, 0), 0);
  EXPECT_EQ(area().window, nullptr);
  EXPECT_EQ(area().out.mute, 1);
  EXPECT_EQ(area().out.quiet, 1);
}

TEST_F(AreaTest, OverwrittenGuardWordFailsEveryLaterCall) {
  ASSERT_EQ(KZINIT(&b_, 100, 0, -3, 0), 0);
  area().guardHigh = 0;
  for (int i = 0; i < 2; ++i) {
    b_.rc = 0;
    EXPECT_EQ(KZRT2(&b_, nullptr, nullptr), 0) << "KZRT2 uses the guards only for its trace";
    int32_t calls = b_.calls;
    // A counted routine that checks guards: KZMSG prints nothing and returns 0.
    EXPECT_EQ(KZMSG(&b_), 0);
    EXPECT_EQ(b_.calls, calls);
  }
  // KZINIT on the open block still says 130, not 999.
  EXPECT_EQ(KZINIT(&b_, 100, 0, -3, 0), 1);
  EXPECT_EQ(b_.rc, 130);
  area().guardHigh = kz::kGuardWord;
}

TEST_F(AreaTest, ReusedAreaKeepsItsHandle) {
  ASSERT_EQ(KZINIT(&b_, 100, 0, -3, 0), 0);
  int32_t h = b_.area;
  int32_t serial = area().serial;
  // A block whose magic asks for reuse of the area named in word 7.
  b_.magic = KZ_MAGIC_REUSE;
  ASSERT_EQ(KZINIT(&b_, 100, 0, -3, 0), 0);
  EXPECT_EQ(b_.area, h);
  EXPECT_GT(area().serial, serial);
  EXPECT_GT(area().pool.freeBytes, 0);
}

TEST_F(AreaTest, DoneClearsBlockAndArea) {
  ASSERT_EQ(KZINIT(&b_, 100, 0, -3, 0), 0);
  int32_t h = b_.area;
  b_.childMagic = KZ_MAGIC_OPEN;
  ASSERT_EQ(KZDONE(&b_), 0);
  EXPECT_EQ(b_.magic, KZ_MAGIC_CLOSED);
  EXPECT_EQ(b_.area, 0);
  EXPECT_EQ(b_.childMagic, 0);
  EXPECT_EQ(kz::lookupArea(h), nullptr);
}

TEST_F(AreaTest, IndexBaseFromNameStyle) {
  struct Case {
    int namestyle;
    int base;
    int fixed;
  };
  for (Case c : {Case{0, 0, 0}, Case{1, 1, 1}, Case{2, 0, 1}}) {
    KZOSL b{};
    b.size = sizeof b;
    ASSERT_EQ(KZINIT(&b, 50, 0, -3, c.namestyle), 0);
    ModelArea& a = *kz::lookupArea(b.area);
    EXPECT_EQ(a.indexBase[0], c.base) << c.namestyle;
    EXPECT_EQ(a.fixedNames[0], c.fixed) << c.namestyle;
    KZDONE(&b);
  }
}

TEST_F(AreaTest, DoneWithUnknownAreaHandleIs112) {
  b_.magic = KZ_MAGIC_OPEN;
  b_.area = 0x7fff0000;
  EXPECT_EQ(KZDONE(&b_), 1);
  EXPECT_EQ(b_.rc, 112);
  b_.magic = 0;
}

TEST_F(AreaTest, GarbageBlockWordsNeverCrash) {
  // Open magic with a handle that names no area behaves as a closed block.
  b_.magic = KZ_MAGIC_OPEN;
  b_.area = 12345;
  EXPECT_EQ(KZMSG(&b_), 1);
  EXPECT_EQ(b_.rc, 901);
  b_.magic = 42;
  EXPECT_EQ(KZMSGINPUT(&b_, 3), 1);
  b_.magic = 0;
}

TEST(Processors, CountIsFixedByTheFirstInit) {
  // Another test may already have opened an area in this process, which fixes
  // the count at 1; either way a later call only returns the current count.
  int32_t first = KZSETPROCESSORS(4);
  EXPECT_TRUE(first == 4 || first == 1);
  EXPECT_EQ(KZSETPROCESSORS(7), first);
}

TEST(Version, AnyArgument) { EXPECT_EQ(KZVERSION(nullptr), 1665); }

}  // namespace

namespace {

TEST(FrameRobustness, RandomBlocksNeverCrash) {
  // Blocks full of garbage: every routine returns its code and touches
  // nothing it does not own. Only the magic word decides whether a block is
  // open, so give it the open value half of the time.
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int32_t>(seed);
  };
  for (int round = 0; round < 2000; ++round) {
    KZOSL b;
    for (int w = 0; w < 23; ++w) reinterpret_cast<int32_t*>(&b)[w] = next();
    if (round % 2) b.magic = KZ_MAGIC_OPEN;
    if (round % 4 == 1) b.area = 1 + (next() & 7);  // small handles, possibly of no open area
    b.area |= 0x100000;                              // never a live area's handle
    KZOSL copy = b;
    EXPECT_EQ(KZMSG(&b), 1);
    EXPECT_EQ(b.rc, 901);
    EXPECT_EQ(KZMSGINPUT(&b, next()), 1);
    EXPECT_EQ(KZRT2(&b, nullptr, nullptr), 1);
    int16_t done = KZDONE(&b);
    EXPECT_TRUE(done == 0 || done == 1);
    // Apart from rc, nothing in the block changed.
    copy.rc = b.rc;
    EXPECT_EQ(std::memcmp(&copy, &b, sizeof b), 0);
  }
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(FrameRobustness, PoolThatCannotBeHadIs104WithTheAreaOpen) {
  // Limit the address space in a child process so that the pool's reservation
  // fails, as it would on a machine without the memory.
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    struct rlimit rl;
    getrlimit(RLIMIT_AS, &rl);
    rl.rlim_cur = 1ull << 30;
    if (setrlimit(RLIMIT_AS, &rl) != 0) _exit(10);
    KZOSL b{};
    b.size = sizeof b;
    int16_t fv = KZINIT(&b, 1500000, 0, -3, 0);  // about 1.4 GB
    int code = (fv == 1 && b.rc == 104 && b.magic == KZ_MAGIC_OPEN) ? 0 : 1;
    if (KZDONE(&b) != 0) code |= 2;
    _exit(code);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

}  // namespace

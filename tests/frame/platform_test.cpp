#include "frame/platform.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <set>
#include <string>
#include <thread>

namespace kz::plat {
namespace {

TEST(Platform, TickIsMonotonicMilliseconds) {
  uint64_t prev = tickMs();
  for (int i = 0; i < 10000; ++i) {
    const uint64_t t = tickMs();
    ASSERT_GE(t, prev);
    prev = t;
  }
  // A sleep lasts at least as long as asked; whole milliseconds may lose
  // one at each end.
  const uint64_t t0 = tickMs();
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_GE(tickMs() - t0, 4u);
}

TEST(Platform, RecursiveLockIsReentrantAndExcludesOtherThreads) {
  RecursiveLock lock;
  lock.lock();
  lock.lock();
  EXPECT_TRUE(lock.tryLock());
  auto otherThreadGets = [&] {
    bool got = false;
    std::thread t([&] {
      got = lock.tryLock();
      if (got) lock.unlock();
    });
    t.join();
    return got;
  };
  lock.unlock();
  lock.unlock();
  EXPECT_FALSE(otherThreadGets());  // still held once
  lock.unlock();
  EXPECT_TRUE(otherThreadGets());
}

TEST(Platform, MemoryStatusIsPlausible) {
  const MemoryStatus ms = memoryStatus();
  struct sysinfo si {};
  ASSERT_EQ(sysinfo(&si), 0);
  const double total = double(si.totalram) * si.mem_unit;
  EXPECT_GT(ms.totalPhys, 0u);
  EXPECT_NEAR(double(ms.totalPhys), total, total * 0.01);
  EXPECT_GT(ms.availPhys, 0u);
  EXPECT_LE(ms.availPhys, ms.totalPhys);
  EXPECT_GT(ms.availPageFile, 0u);
  EXPECT_GT(ms.availVirtual, 0u);
  EXPECT_LE(ms.availVirtual, uint64_t{128} << 40);
}

// The address-space limit bounds the free address space. Run in a child so
// the limit does not stay with the test process.
TEST(Platform, AddressSpaceLimitBoundsAvailableVirtual) {
  EXPECT_EXIT(
      {
        unsigned long long pages = 0;
        std::FILE* f = std::fopen("/proc/self/statm", "r");
        if (!f || std::fscanf(f, "%llu", &pages) != 1) std::_Exit(2);
        std::fclose(f);
        const uint64_t mapped = pages * uint64_t(sysconf(_SC_PAGESIZE));
        const uint64_t room = uint64_t{1} << 30;
        struct rlimit rl {};
        rl.rlim_cur = mapped + room;
        rl.rlim_max = RLIM_INFINITY;
        getrlimit(RLIMIT_AS, &rl);
        rl.rlim_cur = mapped + room;
        if (setrlimit(RLIMIT_AS, &rl) != 0) std::_Exit(3);
        const MemoryStatus ms = memoryStatus();
        std::_Exit(ms.availVirtual > 0 && ms.availVirtual <= room ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(Platform, RegionsAreUsableAndReleasable) {
  EXPECT_EQ(reserveRegion(0), nullptr);
  EXPECT_EQ(reserveRegion(UINT64_MAX), nullptr);
  const uint64_t bytes = uint64_t{1} << 24;
  char* r = static_cast<char*>(reserveRegion(bytes));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(r) % 4096, 0u);
  EXPECT_EQ(r[0], 0);  // fresh anonymous pages read as zero
  r[0] = 1;
  r[bytes - 1] = 2;
  EXPECT_EQ(r[bytes - 1], 2);
  releaseRegion(r, bytes);
  releaseRegion(nullptr, bytes);  // harmless
  EXPECT_TRUE(probeCommit(uint64_t{1} << 20));
  EXPECT_FALSE(probeCommit(0));
  EXPECT_FALSE(probeCommit(uint64_t{1} << 62));  // beyond any address space
}

TEST(Platform, ProcessorsAndThreadIds) {
  EXPECT_GE(processorCount(), 1u);
  const uint32_t mine = currentThreadId();
  EXPECT_EQ(currentThreadId(), mine);
  std::set<uint32_t> ids{mine};
  std::atomic<int> ready{0};
  std::atomic<bool> go{false};
  uint32_t seen[4] = {};
  std::thread ts[4];
  for (int i = 0; i < 4; ++i)
    ts[i] = std::thread([&, i] {
      seen[i] = currentThreadId();
      ++ready;
      while (!go) std::this_thread::yield();  // all alive together
      if (currentThreadId() != seen[i]) seen[i] = 0;
    });
  while (ready < 4) std::this_thread::yield();
  go = true;
  for (auto& t : ts) t.join();
  for (uint32_t id : seen) {
    EXPECT_NE(id, 0u);
    ids.insert(id);
  }
  EXPECT_EQ(ids.size(), 5u);
}

std::string cAsctime() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[32];
  asctime_r(&tm, buf);
  std::string s(buf);
  if (!s.empty() && s.back() == '\n') s.pop_back();
  return s;
}

TEST(Platform, DateIsTheAsctimeLine) {
  const std::string before = cAsctime();
  const std::string d = currentDateAsctime();
  const std::string after = cAsctime();
  EXPECT_EQ(d.size(), 24u);
  EXPECT_TRUE(d == before || d == after) << d << " | " << before;
  // Day of month is right-aligned in three characters: "Jun  3".
  EXPECT_EQ(d[3], ' ');
  EXPECT_EQ(d[7], ' ');
  EXPECT_NE(d[9], ' ');
}

TEST(Platform, ModuleDirectoryHoldsAMappedFileOfOurs) {
  const std::string dir = moduleDirectory();
  if (dir.empty()) GTEST_SKIP() << "the module's file could not be found";
  ASSERT_EQ(dir[0], '/');
  if (dir.size() > 1) {
    EXPECT_NE(dir.back(), '/');
  }
  struct stat st {};
  ASSERT_EQ(stat(dir.c_str(), &st), 0) << dir;
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  // Some file mapped into this process lives directly in that directory.
  std::ifstream maps("/proc/self/maps");
  std::string line;
  bool found = false;
  const std::string prefix = dir == "/" ? "/" : dir + "/";
  while (std::getline(maps, line)) {
    const size_t at = line.find('/');
    if (at == std::string::npos) continue;
    const std::string path = line.substr(at);
    if (path.compare(0, prefix.size(), prefix) == 0 &&
        path.find('/', prefix.size()) == std::string::npos) {
      found = true;
      break;
    }
  }
  EXPECT_TRUE(found) << dir;
}

}  // namespace
}  // namespace kz::plat

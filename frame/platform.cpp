#include "frame/platform.h"

#include <dlfcn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

namespace kz::plat {

namespace {

// x86-64 user address space with four-level page tables; used when the
// process has no address-space limit.
constexpr uint64_t kUserAddressSpace = uint64_t{128} << 40;

// Values of /proc/meminfo, in bytes; a field not found stays 0.
struct MemInfo {
  bool read = false;
  uint64_t memTotal = 0, memAvailable = 0, memFree = 0;
  uint64_t commitLimit = 0, committedAs = 0, swapFree = 0;
};

MemInfo readMemInfo() {
  MemInfo mi;
  std::FILE* f = std::fopen("/proc/meminfo", "r");
  if (!f) return mi;
  char line[256];
  while (std::fgets(line, sizeof line, f)) {
    char key[64];
    unsigned long long kb = 0;
    if (std::sscanf(line, "%63[^:]: %llu", key, &kb) != 2) continue;
    const uint64_t bytes = uint64_t{kb} * 1024;
    if (!std::strcmp(key, "MemTotal")) mi.memTotal = bytes;
    else if (!std::strcmp(key, "MemAvailable")) mi.memAvailable = bytes;
    else if (!std::strcmp(key, "MemFree")) mi.memFree = bytes;
    else if (!std::strcmp(key, "CommitLimit")) mi.commitLimit = bytes;
    else if (!std::strcmp(key, "Committed_AS")) mi.committedAs = bytes;
    else if (!std::strcmp(key, "SwapFree")) mi.swapFree = bytes;
  }
  std::fclose(f);
  mi.read = mi.memTotal > 0;
  return mi;
}

// vm.overcommit_memory: 0 heuristic, 1 always, 2 strict accounting.
int overcommitMode() {
  int mode = 0;
  if (std::FILE* f = std::fopen("/proc/sys/vm/overcommit_memory", "r")) {
    if (std::fscanf(f, "%d", &mode) != 1) mode = 0;
    std::fclose(f);
  }
  return mode;
}

// Address space the process maps now (first field of /proc/self/statm).
uint64_t mappedBytes() {
  unsigned long long pages = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%llu", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  const long page = sysconf(_SC_PAGESIZE);
  return uint64_t{pages} * static_cast<uint64_t>(page > 0 ? page : 4096);
}

}  // namespace

uint64_t tickMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch())
          .count());
}

std::string moduleDirectory() {
  Dl_info info{};
  // The address of one of our own functions names the file that holds us.
  if (!dladdr(reinterpret_cast<void*>(&moduleDirectory), &info) ||
      !info.dli_fname || !*info.dli_fname)
    return "";
  char* full = realpath(info.dli_fname, nullptr);
  if (!full) return "";
  std::string path(full);
  std::free(full);
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

MemoryStatus memoryStatus() {
  MemoryStatus ms;
  const MemInfo mi = readMemInfo();
  struct sysinfo si {};
  const bool haveSysinfo = sysinfo(&si) == 0;
  const uint64_t unit = haveSysinfo && si.mem_unit ? si.mem_unit : 1;

  // Physical memory: MemTotal, and MemAvailable (free pages plus the page
  // cache and reclaimable slabs the kernel would give up), which is what a
  // new allocation can have without swapping. Without /proc, sysinfo's
  // total and free plus buffer RAM.
  if (mi.read) {
    ms.totalPhys = mi.memTotal;
    ms.availPhys = mi.memAvailable ? mi.memAvailable : mi.memFree;
  } else if (haveSysinfo) {
    ms.totalPhys = uint64_t{si.totalram} * unit;
    ms.availPhys = (uint64_t{si.freeram} + si.bufferram) * unit;
  }
  if (ms.availPhys > ms.totalPhys) ms.availPhys = ms.totalPhys;

  // Free commit charge: CommitLimit - Committed_AS, clamped at 0. Only the
  // strict mode (2) enforces CommitLimit; under the heuristic (0) and
  // always (1) modes Committed_AS may pass it while memory is still there,
  // so a figure of 0 then means nothing and what can really be backed is
  // the available physical memory plus free swap.
  uint64_t swapFree = mi.read ? mi.swapFree
                              : (haveSysinfo ? uint64_t{si.freeswap} * unit : 0);
  uint64_t commitFree = 0;
  if (mi.read && mi.commitLimit > mi.committedAs)
    commitFree = mi.commitLimit - mi.committedAs;
  if (commitFree == 0 && overcommitMode() != 2)
    commitFree = ms.availPhys + swapFree;
  ms.availPageFile = commitFree;

  // Address space: the RLIMIT_AS limit (the user address space when
  // unlimited) less what the process maps already, clamped at 0.
  uint64_t limit = kUserAddressSpace;
  struct rlimit rl {};
  if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY &&
      rl.rlim_cur < limit)
    limit = rl.rlim_cur;
  const uint64_t mapped = mappedBytes();
  ms.availVirtual = limit > mapped ? limit - mapped : 0;
  return ms;
}

void* reserveRegion(uint64_t bytes) {
  if (bytes == 0 || bytes > static_cast<uint64_t>(SIZE_MAX)) return nullptr;
  void* p = mmap(nullptr, static_cast<size_t>(bytes), PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

void releaseRegion(void* region, uint64_t bytes) {
  if (region && bytes) munmap(region, static_cast<size_t>(bytes));
}

bool probeCommit(uint64_t bytes) {
  if (bytes == 0 || bytes > static_cast<uint64_t>(SIZE_MAX)) return false;
  // Without MAP_NORESERVE the mapping is charged against the commit limit,
  // so the kernel refuses it when it could not back the pages.
  void* p = mmap(nullptr, static_cast<size_t>(bytes), PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return false;
  munmap(p, static_cast<size_t>(bytes));
  return true;
}

unsigned processorCount() {
  const unsigned n = std::thread::hardware_concurrency();
  return n ? n : 1;
}

uint32_t currentThreadId() {
  return static_cast<uint32_t>(syscall(SYS_gettid));
}

std::string currentDateAsctime() {
  static constexpr char kDays[7][4] = {"Sun", "Mon", "Tue", "Wed",
                                       "Thu", "Fri", "Sat"};
  static constexpr char kMonths[12][4] = {"Jan", "Feb", "Mar", "Apr",
                                          "May", "Jun", "Jul", "Aug",
                                          "Sep", "Oct", "Nov", "Dec"};
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  // Built by hand rather than with strftime, whose names follow the locale;
  // the asctime form always uses the English ones.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.3s %.3s%3d %.2d:%.2d:%.2d %d",
                kDays[(tm.tm_wday % 7 + 7) % 7],
                kMonths[(tm.tm_mon % 12 + 12) % 12], tm.tm_mday, tm.tm_hour,
                tm.tm_min, tm.tm_sec, tm.tm_year + 1900);
  return buf;
}

}  // namespace kz::plat

// Small stand-ins for the operating-system services the frame needs: clock,
// locks, the library's own directory, memory status and address-space
// reservations, processor count, thread ids and the date line of banners.
// Built for 64-bit Linux; everything else in the library reaches the system
// through here.
#pragma once
#include <cstdint>
#include <mutex>
#include <string>

namespace kz::plat {

// Milliseconds from a monotonic clock; only differences are meaningful.
uint64_t tickMs();

// A lock the owning thread may take again while holding it; each lock()
// (or successful tryLock()) must be matched by one unlock().
class RecursiveLock {
 public:
  RecursiveLock() = default;
  RecursiveLock(const RecursiveLock&) = delete;
  RecursiveLock& operator=(const RecursiveLock&) = delete;

  void lock() { mutex_.lock(); }
  void unlock() { mutex_.unlock(); }
  bool tryLock() { return mutex_.try_lock(); }

 private:
  std::recursive_mutex mutex_;
};

// Absolute directory of the file (shared library or program) that contains
// this code, without a trailing '/' (except for the root itself); "" when it
// cannot be found.
std::string moduleDirectory();

// What the machine can give, in bytes.
struct MemoryStatus {
  uint64_t totalPhys = 0;      // physical memory installed
  uint64_t availPhys = 0;      // physical memory available now
  uint64_t availPageFile = 0;  // commit charge still available
  uint64_t availVirtual = 0;   // address space still free for this process
};
MemoryStatus memoryStatus();

// One anonymous read-write region of the given size: address space reserved,
// pages committed on first touch, so an unused region costs no memory.
// Null on failure or for 0 bytes.
void* reserveRegion(uint64_t bytes);
// Gives a region from reserveRegion back; bytes must be the size reserved.
void releaseRegion(void* region, uint64_t bytes);
// Whether the system would commit the given number of bytes now: maps them
// with a commit charge and unmaps them at once, touching no page.
bool probeCommit(uint64_t bytes);

// Processors available to the process, at least 1.
unsigned processorCount();
// An id of the calling thread, stable for its lifetime and distinct among
// live threads.
uint32_t currentThreadId();

// The current local date and time in asctime form without the newline,
// e.g. "Wed Jun 30 21:49:08 1993" (24 characters).
std::string currentDateAsctime();

}  // namespace kz::plat

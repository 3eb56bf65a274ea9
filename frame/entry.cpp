#include "frame/entry.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "frame/output.h"

namespace kz {

SharedBlock& sharedBlock() {
  static SharedBlock s;
  return s;
}

// ---- area registry ----

namespace {
std::mutex& registryMutex() {
  static std::mutex m;
  return m;
}
std::vector<ModelArea*>& registrySlots() {
  static std::vector<ModelArea*> v;
  return v;
}
}  // namespace

int32_t registerArea(ModelArea* a) {
  std::lock_guard<std::mutex> g(registryMutex());
  auto& v = registrySlots();
  for (size_t i = 0; i < v.size(); ++i)
    if (!v[i]) {
      v[i] = a;
      return static_cast<int32_t>(i + 1);
    }
  v.push_back(a);
  return static_cast<int32_t>(v.size());
}

ModelArea* lookupArea(int32_t handle) {
  std::lock_guard<std::mutex> g(registryMutex());
  auto& v = registrySlots();
  if (handle < 1 || static_cast<size_t>(handle) > v.size()) return nullptr;
  return v[static_cast<size_t>(handle) - 1];
}

void unregisterArea(int32_t handle) {
  std::lock_guard<std::mutex> g(registryMutex());
  auto& v = registrySlots();
  if (handle >= 1 && static_cast<size_t>(handle) <= v.size()) v[static_cast<size_t>(handle) - 1] = nullptr;
}

// ---- block resolution ----

ResolvedBlock resolveBlock(KZOSL* arg) {
  ResolvedBlock rb;
  SharedBlock& sb = sharedBlock();
  if (sb.active) {
    rb.block = &sb.block;
    rb.callerVar = reinterpret_cast<int16_t*>(arg);
  } else {
    rb.block = arg;
  }
  if (!rb.block || rb.block->magic != kMagicOpen) return rb;
  rb.area = lookupArea(rb.block->area);
  return rb;
}

void storeRc(const ResolvedBlock& rb, int32_t rc) {
  if (rb.block) rb.block->rc = rc;
  if (rb.callerVar) *rb.callerVar = static_cast<int16_t>(rc & 0xffff);
}

void setRoutineName(ModelArea& a, const char* name) {
  std::memset(a.routine, ' ', 15);
  size_t n = std::strlen(name);
  if (n > 15) n = 15;
  std::memcpy(a.routine, name, n);
  a.routine[15] = '\0';
}

// ---- the frame ----

Frame::Frame(const ResolvedBlock& rb, const char* routine, unsigned flags)
    : rb_(rb), routine_(routine), flags_(flags), startTick_(plat::tickMs()) {
  rb_.area->back = rb_.block;
  internal_ = (rb_.area->internalCalls & kInternalCallMask) != 0;
}

void Frame::nameRoutine() {
  ModelArea& a = *rb_.area;
  if ((flags_ & kEntryKeepErrorName) && a.irc > 10) return;
  setRoutineName(a, routine_);
}

bool Frame::traced() const { return rb_.area->trace != 0 && !internal_; }

void Frame::enter(const char* fmt, ...) {
  if (!traced()) return;
  va_list ap;
  va_start(ap, fmt);
  traceLineV(*rb_.area, fmt, ap);
  va_end(ap);
}

void Frame::setLeaving(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(leaving_, sizeof leaving_, fmt, ap);
  va_end(ap);
  hasLeaving_ = true;
}

int16_t Frame::finish() {
  ModelArea& a = *rb_.area;
  if (!(flags_ & kEntryNoCopyRc)) storeRc(rb_, a.irc);
  if (!internal_ && !(flags_ & kEntryNoCount)) {
    KZOSL* b = rb_.block;
    b->calls += 1;
    uint64_t now = plat::tickMs();
    int32_t ms = static_cast<int32_t>(now - startTick_);
    b->totalMs += ms;
    b->lastMs = ms;
  }
  if (traced() && a.guardsIntact()) {
    if (hasLeaving_)
      traceLine(a, "%s", leaving_);
    else
      traceLine(a, "Leaving %s, Fnct Value %d Rc %d Mem %ld ", routine_, a.fnValue, a.irc,
                static_cast<long>(a.pool.freeBytes));
  }
  return a.fnValue;
}

}  // namespace kz

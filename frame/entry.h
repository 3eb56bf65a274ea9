// The entry frame that every exported routine goes through: block check,
// guard check, routine name, Entering and Leaving trace lines, call counting
// and time accounting. A routine hands its work to runEntry as a callable;
// no C++ exception ever leaves it.
#pragma once
#include <cstdarg>
#include <cstdint>
#include <exception>
#include <new>

#include "frame/area.h"

namespace kz {

enum EntryFlags : unsigned {
  kEntryDefault = 0,
  kEntrySkipGuard = 1u << 0,       // no guard-word check (KZMSGINPUT, KZGETCLP, thread routines)
  kEntryNoCount = 1u << 1,         // neither counted nor timed
  kEntryKeepErrorName = 1u << 2,   // routine name set only if the internal code was 10 or less
  kEntryNoCopyRc = 1u << 3,        // rc is not overwritten with the internal code
};

// Process-wide shared block of the oldest interface form.
struct SharedBlock {
  KZOSL block = {};
  int16_t* callerVar = nullptr;
  bool active = false;
};
SharedBlock& sharedBlock();

// Resolves the block a routine works on (the shared block while it is in
// use) and, when open, its area. Null area: the block is not open.
struct ResolvedBlock {
  KZOSL* block = nullptr;
  int16_t* callerVar = nullptr;
  ModelArea* area = nullptr;
};
ResolvedBlock resolveBlock(KZOSL* arg);
// Stores a return code in the block (and the shared caller's variable).
void storeRc(const ResolvedBlock& rb, int32_t rc);

class Frame {
 public:
  Frame(const ResolvedBlock& rb, const char* routine, unsigned flags);
  ModelArea& area() { return *rb_.area; }
  KZOSL* block() { return rb_.block; }
  bool traced() const;
  // Step 6: the routine name field.
  void nameRoutine();
  // The Entering line (only when traced).
  void enter(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  // A Leaving line of the routine's own; formatted now, written at exit.
  void setLeaving(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  // Steps 8 to 11: copy the code, count, time, Leaving line, function value.
  int16_t finish();
  // Marks the routine failed with a code.
  void fail(int32_t code) {
    rb_.area->irc = code;
    rb_.area->fnValue = 1;
  }

 private:
  ResolvedBlock rb_;
  const char* routine_;
  unsigned flags_;
  uint64_t startTick_;
  bool internal_;
  bool hasLeaving_ = false;
  char leaving_[1024] = {};
};

void setRoutineName(ModelArea& a, const char* name);

// Runs one exported routine: body(Frame&) does the routine's work after the
// frame's entry steps; its result is ignored (the area's function value is
// returned). A block that is not open gets 901; bad guard words 999.
template <class Body>
int16_t runEntry(KZOSL* arg, const char* routine, unsigned flags, Body&& body) {
  ResolvedBlock rb = resolveBlock(arg);
  if (!rb.block) return 1;
  if (!rb.area) {
    storeRc(rb, 901);
    return 1;
  }
  Frame f(rb, routine, flags);
  ModelArea& a = *rb.area;
  if ((flags & kEntrySkipGuard) || a.guardsIntact()) {
    f.nameRoutine();
    try {
      body(f);
    } catch (const std::bad_alloc&) {
      f.fail(306);
    } catch (...) {
      f.fail(900);
    }
  } else {
    a.irc = 999;
    a.fnValue = 1;
  }
  return f.finish();
}

}  // namespace kz

// KZMSG, KZMSGINPUT and the message-callback registration.
#include <cstring>

#include "frame/codes.h"
#include "frame/entry.h"
#include "frame/output.h"

using namespace kz;

namespace {

// Writes the text of one return code as KZMSG prints it.
void printCodeText(ModelArea& a, int32_t rc) {
  LineBuffer& lb = lineOf(a);
  lineClear(lb);
  int nameLen = 15;
  while (nameLen > 0 && a.routine[nameLen - 1] == ' ') --nameLen;
  appendChars(lb, a.routine, nameLen);
  int32_t code = static_cast<int16_t>(rc & 0xffff);
  int32_t reduced = reduceCode(code);
  const CodeRow* row = findCodeRow(reduced);
  if (!row) {
    writeTextLine(a, "KZMSG passed unknowned return code.", kClassError);
    lineClear(lb);
    appendText(lb, "Rc ");
    putNumber(a, rc, 0);
    appendText(lb, ", KZ's internal Rc ");
    putNumber(a, a.irc, 0);
    putLine(a, kClassError);
    return;
  }
  int cls = reduced == 1 ? kClassInfo : kClassError;
  switch (row->form) {
    case 'A':
      writeTextLine(a, row->text[0], cls);
      break;
    case 'V':
      appendText(lb, row->text[0]);
      putNumber(a, code - 900, 0);
      appendText(lb, row->text[1]);
      putLine(a, cls);
      break;
    default:
      appendText(lb, row->text[0]);
      putLine(a, cls);
      break;
  }
  if (row->form != 'V')
    for (int k = 1; k < 3 && row->text[k]; ++k) writeTextLine(a, row->text[k], cls);
}

}  // namespace

extern "C" KZ_API int16_t KZMSG(KZOSL* arg) {
  ResolvedBlock rb = resolveBlock(arg);
  if (!rb.block) return 1;
  if (!rb.area) {
    storeRc(rb, 901);
    return 1;
  }
  ModelArea& a = *rb.area;
  a.back = rb.block;
  if (!a.guardsIntact()) return 0;
  bool traced = a.trace && !(a.internalCalls & kInternalCallMask);
  if (traced)
    traceLine(a, "Entering KZMSG, KZOSL %p Rc %d, KZ's Internal rc %d Mem %ld ", static_cast<void*>(rb.block),
              rb.block->rc, a.irc, static_cast<long>(a.pool.freeBytes));
  ModelArea& r = a.routingArea();
  int16_t savedQuiet = r.out.quiet;
  r.out.quiet = 0;
  printCodeText(a, rb.block->rc);
  r.out.quiet = savedQuiet;
  if (traced)
    traceLine(a, "Leaving KZMSG, Fnct Value %d Rc %d Mem %ld ", a.fnValue, a.irc, static_cast<long>(a.pool.freeBytes));
  return 0;
}

extern "C" KZ_API int16_t KZMSGINPUT(KZOSL* arg, int32_t key) {
  ResolvedBlock rb = resolveBlock(arg);
  if (!rb.block) return 1;
  if (!rb.area) {
    storeRc(rb, 901);
    return 1;
  }
  int16_t k = static_cast<int16_t>(key & 0xffff);
  rb.area->pendingKey = k == 0 ? 26 : k;
  return rb.area->fnValue;
}

extern "C" KZ_API int16_t KZRT2(KZOSL* arg, KZMessageCallback callback, void* record) {
  ResolvedBlock rb = resolveBlock(arg);
  if (!rb.block) return 1;
  if (!rb.area) {
    storeRc(rb, 901);
    return 1;
  }
  ModelArea& a = *rb.area;
  Frame f(rb, "KZRT2", kEntryDefault);
  bool guardOk = a.guardsIntact();
  if (guardOk) {
    f.nameRoutine();
    f.enter("Entering KZRT2, KZOSL %p Rc %d Funct %p Data %p Req Size %d Mem %ld ", static_cast<void*>(rb.block),
            rb.block->rc, reinterpret_cast<void*>(callback), record, 292, static_cast<long>(a.pool.freeBytes));
  }
  a.messageCallback = callback;
  a.messageRecord = KZMessageRecord{};
  if (record) {
    KZMessageRecord& rec = a.messageRecord;
    rec.size = 292;
    rec.block = rb.block->area;
    rec.lineClass = 99;
    rec.lines = 0;
    rec.serial = a.serial;
    std::memcpy(&rec.callerWord, static_cast<const char*>(record) + 28, 4);
    rec.suppress = 0;
  }
  a.fnValue = 0;
  if (!guardOk) {
    // Without intact guards no trace lines are written.
    int16_t savedTrace = a.trace;
    a.trace = 0;
    f.finish();
    a.trace = savedTrace;
    return 0;
  }
  f.finish();
  return 0;
}

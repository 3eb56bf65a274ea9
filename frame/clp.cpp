// KZCLP and KZGETCLP, and the library's own way of applying an option line.
#include "frame/clp.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frame/clp_table.h"
#include "frame/entry.h"
#include "frame/output.h"

namespace kz {

namespace {

// The text of an option line: the counted form (second character '~', the
// first byte the count, the text from the third byte up to that count) or
// the characters up to the first one below blank, at most 4096. Control
// characters of a counted text become blanks; a zero byte ends it, so that
// a terminated text that merely has '~' second is never read past its end.
// Returns the length.
int takeText(const char* text, char* out) {
  out[0] = '\0';
  if (!text) return 0;
  const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
  int n = 0;
  if (t[0] != 0 && t[1] == '~') {
    int count = t[0];
    for (int i = 2; i < count && n < clp::kBufferChars; ++i) {
      unsigned char c = t[i];
      if (c == 0) break;
      out[n++] = c < 32 ? ' ' : static_cast<char>(c);
    }
  } else {
    while (n < clp::kBufferChars && t[n] >= 32) {
      out[n] = static_cast<char>(t[n]);
      ++n;
    }
  }
  out[n] = '\0';
  return n;
}

int16_t applyText(ModelArea& a, const char* text, int n, bool echo) {
  if (n == 0) {
    a.irc = 2;
    a.fnValue = 0;
    return 0;
  }
  if (a.irc <= 1) {
    a.irc = clp::kErrSequence;
    a.fnValue = 1;
    return 1;
  }
  // A period (no model file), a blank, then as much of the text as the
  // buffer holds.
  int keep = n < clp::kBufferChars - 2 ? n : clp::kBufferChars - 2;
  a.cmd[0] = '.';
  a.cmd[1] = ' ';
  std::memcpy(a.cmd + 2, text, static_cast<size_t>(keep));
  a.cmd[keep + 2] = '\0';
  a.cmdLast = static_cast<int16_t>(keep + 1);
  ModelArea& r = a.routingArea();
  if (echo && a.trace && r.out.destination >= kDestPrinter && r.out.destination <= kDestFile && !r.messageCallback) {
    char line[clp::kBufferChars + 16];
    std::snprintf(line, sizeof line, "KZCLP...>%.*s<", keep, text);
    writeTextLine(a, line, kClassTrace);
  }
  return parseCommandBuffer(a);
}

// KZGETCLP's work: the type of what was read, 0 after a write, 32767 for an
// unknown code. value gets the read value as the Leaving line prints it.
int32_t getOrSetClp(ModelArea& a, int32_t code, void* data, char* value, int cap) {
  value[0] = '\0';
  if (!data) return 32767;
  Options& o = a.opt;
  const bool read = code > 0;
  const int64_t which = code < 0 ? -static_cast<int64_t>(code) : code;
  auto i16 = [&](int16_t* field) -> int32_t {
    if (read) {
      std::memcpy(data, field, sizeof *field);
      std::snprintf(value, static_cast<size_t>(cap), "%d", *field);
      return 1;
    }
    std::memcpy(field, data, sizeof *field);
    return 0;
  };
  auto f64 = [&](double* field) -> int32_t {
    if (read) {
      std::memcpy(data, field, sizeof *field);
      std::snprintf(value, static_cast<size_t>(cap), "%g", *field);
      return 3;
    }
    std::memcpy(field, data, sizeof *field);
    return 0;
  };
  auto name23 = [&](char* field) -> int32_t {
    if (read) {
      std::memcpy(data, field, 23);
      std::snprintf(value, static_cast<size_t>(cap), "%.23s", field);
      return 4;
    }
    const char* s = static_cast<const char*>(data);
    int n = 0;
    while (n < 23 && s[n]) ++n;
    clp::storeName(field, 23, s, n);
    return 0;
  };
  switch (which) {
    case 4: {
      int32_t t = i16(&a.out.inputListing);
      if (!read) clp::setStagedListInput(a.out.inputListing);
      return t;
    }
    case 5: return i16(&o.paramFlags);
    case 6: return name23(o.paramName[0]);
    case 7: return name23(o.paramName[1]);
    case 8: return f64(&o.paramValue[0]);
    case 9: return f64(&o.paramValue[1]);
    case 10: return f64(&o.paramValue[2]);
    case 11:
      if (read) {
        int16_t v = static_cast<int16_t>(o.paramBracket);
        std::memcpy(data, &v, sizeof v);
        std::snprintf(value, static_cast<size_t>(cap), "%d", v);
        return 1;
      } else {
        int16_t v;
        std::memcpy(&v, data, sizeof v);
        o.paramBracket = v;
        return 0;
      }
    case 13:
      if (read) {
        int32_t v = o.barrier < 1 ? (o.dualMode != 0 ? 1 : 0) : o.barrier == 1 ? 2 : 3;
        std::memcpy(data, &v, sizeof v);
        std::snprintf(value, static_cast<size_t>(cap), "%d", v);
        return 2;
      } else {
        int32_t v;
        std::memcpy(&v, data, sizeof v);
        auto clamp16 = [](int32_t x) {
          return static_cast<int16_t>(x > 32767 ? 32767 : x < -32768 ? -32768 : x);
        };
        if (v > 1) {
          o.barrier = clamp16(v);
        } else {
          o.dualMode = clamp16(v);
          o.barrier = 0;
        }
        return 0;
      }
    default: return 32767;
  }
}

}  // namespace

int16_t applyOptionLine(ModelArea& a, const char* text) {
  char buf[clp::kBufferChars + 1];
  int n = takeText(text, buf);
  return applyText(a, buf, n, false);
}

}  // namespace kz

using namespace kz;

extern "C" KZ_API int16_t KZCLP(KZOSL* rc, const char* text) {
  return runEntry(rc, "KZCLP", kEntryKeepErrorName, [&](Frame& f) {
    ModelArea& a = f.area();
    char buf[clp::kBufferChars + 1];
    int n = takeText(text, buf);
    f.enter("Entering KZCLP, KZOSL %p Rc %d clp addr %p data %s Mem %ld ", static_cast<void*>(f.block()), a.irc,
            static_cast<const void*>(text), buf, static_cast<long>(a.pool.freeBytes));
    applyText(a, buf, n, (a.internalCalls & kInternalCallMask) == 0);
  });
}

extern "C" KZ_API int32_t KZGETCLP(KZOSL* rc, int32_t code, void* data) {
  ResolvedBlock rb = resolveBlock(rc);
  if (!rb.block) return 32767;
  if (!rb.area) {
    storeRc(rb, 901);
    return 32767;
  }
  Frame f(rb, "KZGETCLP", kEntrySkipGuard);
  ModelArea& a = f.area();
  if (f.traced()) {
    startStopwatch(a);
    f.enter("Entering KZGETCLP, Rc %d code %d data %p", a.irc, code, data);
  }
  char value[64];
  int32_t type = getOrSetClp(a, code, data, value, sizeof value);
  if (type >= 1 && type <= 4)
    f.setLeaving("Leaving KZGETCLP, Fnct Value %d Rc %d Value: %s MEM %ld", a.fnValue, a.irc, value,
                 static_cast<long>(a.pool.freeBytes));
  else
    f.setLeaving("Leaving KZGETCLP, Fnct Value %d Rc %d MEM %ld", a.fnValue, a.irc,
                 static_cast<long>(a.pool.freeBytes));
  f.finish();
  return type;
}

#include "frame/output.h"

#include <cstdio>
#include <cstring>

namespace kz {

int messageTypeOf(int cls) {
  static const int kSmall[18] = {-1, 15, 12, 6, 13, 14, 7, 2, 3, 0, 1, 4, 5, 9, 10, 11, 8, 22};
  if (cls >= 0 && cls <= 17) return kSmall[cls];
  switch (cls) {
    case 3000: return 16;
    case 3001: return 17;
    case 3002: return 18;
    case 6000: return 19;
    case 6001: return 20;
    case 6002: return 21;
    default: return cls & 0xff;
  }
}

namespace {

// Hands one line to the message callback; the callback is never re-entered
// for the same area.
void deliverToCallback(ModelArea& r, const char* text, int len, int cls) {
  int type = messageTypeOf(cls);
  if (type < 0) return;
  KZMessageRecord& rec = r.messageRecord;
  if (type < 31 && (rec.suppress & (1u << (1 + type)))) return;
  int n = len;
  while (n > 0 && text[n - 1] == ' ') --n;
  int kept = 0;
  for (int i = 0; i < n && kept < 255; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= ' ' && c <= '~') rec.text[kept++] = static_cast<char>(c);
  }
  rec.text[kept] = '\0';
  rec.lineClass = static_cast<int16_t>(cls);
  rec.length = static_cast<int16_t>(kept + 1);
  rec.lines += 1;
  rec.serial = r.serial;
  rec.zero = 0;
  int16_t savedTrace = r.trace;
  r.trace = 0;
  r.out.inCallback = 1;
  rec.inCallback = 1;
  r.messageCallback(&rec);
  rec.inCallback = 0;
  r.out.inCallback = 0;
  r.trace = savedTrace;
  if (rec.length < 0 && type < 31) rec.suppress |= 1u << (1 + type);
}

}  // namespace

void writeLine(ModelArea& a, const char* text, int len, int cls) {
  if (!text || len < 0) return;
  if (a.out.destination == kDestWindow && a.out.routing && a.out.routing != &a) return;
  ModelArea& r = a.routingArea();
  if (r.messageCallback && !r.out.inCallback) {
    deliverToCallback(r, text, len, cls);
    if (r.out.destination != kDestFile) return;
  }
  if (r.out.mute && r.out.destination != kDestFile) return;
  if (r.out.quiet && cls != kClassTrace) return;
  int n = len;
  while (n > 0 && text[n - 1] == ' ') --n;
  if (n <= 1) n = 1;
  char blank = ' ';
  const char* p = (len == 0) ? &blank : text;
  switch (r.out.destination) {
    case kDestWindow0:
    case kDestWindow:
      if (!r.out.mute && r.window && plat::currentThreadId() == r.ownerThread)
        r.window->writeLine(p, n, r.out.overwrite != 0);
      break;
    default: {
      if (!r.locksReady) return;
      r.lock[1].lock();
      int16_t fv = 0;
      int failed = fileWrite(r.files, kUnitLog, p, n, &fv);
      if (failed) {
        fileClose(r.files, kUnitLog);
        r.out.destination = kDestWindow;
      }
      r.lock[1].unlock();
      break;
    }
  }
}

LineBuffer& lineOf(ModelArea& a) { return a.routingArea().line; }

void newLine(ModelArea& a) { lineClear(lineOf(a)); }

void putLine(ModelArea& a, int cls) {
  LineBuffer& lb = lineOf(a);
  writeLine(a, lb.text, lb.pos, cls);
  lineClear(lb);
}

void writeTextLine(ModelArea& a, const char* s, int cls) {
  if (!s) return;
  size_t n = std::strlen(s);
  if (n > 32766) return;
  writeCharsLine(a, s, static_cast<int>(n), cls);
}

void writeCharsLine(ModelArea& a, const char* s, int n, int cls) {
  if (!s || n < 0) return;
  LineBuffer& lb = lineOf(a);
  lineClear(lb);
  appendChars(lb, s, n);
  putLine(a, cls);
}

void writeEmptyLine(ModelArea& a, int cls) { writeCharsLine(a, " ", 1, cls); }

void putNumber(ModelArea& a, double x, int16_t fieldCode) {
  appendNumber(lineOf(a), x, fieldCode, a.routingArea().out.style);
}

void startStopwatch(ModelArea& a) { a.stopwatch = plat::tickMs(); }

void traceLineV(ModelArea& a, const char* fmt, va_list ap) {
  char text[kLineCapacity + 1];
  int n = std::vsnprintf(text, sizeof text, fmt, ap);
  if (n < 0) n = 0;
  if (n > kLineCapacity - 9) n = kLineCapacity - 9;
  char stamp[10];
  uint64_t now = plat::tickMs();
  int64_t secs = now >= a.stopwatch ? static_cast<int64_t>((now - a.stopwatch) / 1000) : 0;
  formatElapsed(stamp, secs);
  std::memcpy(text + n, stamp, 9);
  n += 9;
  writeEmptyLine(a, kClassTrace);
  writeCharsLine(a, text, n, kClassTrace);
}

void traceLine(ModelArea& a, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  traceLineV(a, fmt, ap);
  va_end(ap);
}

void warningOrErrorLine(ModelArea& a, int n, const char* token) {
  ModelArea& r = a.routingArea();
  int16_t savedQuiet = r.out.quiet;
  if (n >= 30000) r.out.quiet = 0;
  int cls;
  const char* lead;
  if (n >= 10000) {
    if (!r.out.warnings) {
      r.out.quiet = savedQuiet;
      return;
    }
    cls = kClassWarning;
    lead = "? Warning ";
  } else {
    a.reader = ReaderState{a.reader.lineNumber, a.reader.tokenEcho};
    r.out.mute = 0;
    r.out.quiet = 0;
    savedQuiet = 0;
    cls = kClassErrorInput;
    lead = "?? Error ";
    a.fnValue = 1;
  }
  if (!r.out.inputListing) writeTextLine(a, a.cmd, cls);
  LineBuffer& lb = lineOf(a);
  lineClear(lb);
  appendText(lb, lead);
  appendNumber(lb, n, 50, r.out.style);
  leftJustifyLastField(lb);
  if (a.reader.lineNumber > 0) {
    appendText(lb, " Line number ");
    appendNumber(lb, a.reader.lineNumber, 120, r.out.style);
    leftJustifyLastField(lb);
  }
  appendChars(lb, " ", 1);
  if (a.reader.tokenEcho && token) appendChars(lb, token, static_cast<int>(std::strlen(token)));
  putLine(a, cls);
  writeEmptyLine(a, cls);
  r.out.quiet = savedQuiet;
}

void pageHeaderLine(ModelArea& a, int width, int cls) {
  ModelArea& r = a.routingArea();
  if (width < 40) width = 40;
  if (width > kLineCapacity - 1) width = kLineCapacity - 1;
  int dest = r.out.destination;
  if (dest >= 0 && dest < 5) r.out.page[dest].started = 1;
  r.out.pageCounter += 1;
  // Model file name without directory and extension.
  const char* full = r.out.modelFileName;
  const char* base = full;
  for (const char* p = full; *p; ++p)
    if (*p == '/' || *p == '\\' || *p == ':') base = p + 1;
  int baseLen = 0;
  while (base[baseLen] && base[baseLen] != '.' && base[baseLen] != ' ') ++baseLen;
  LineBuffer& lb = lineOf(a);
  lineClear(lb);
  appendText(lb, "File: ");
  appendChars(lb, base, baseLen);
  while (lb.pos < width) appendChars(lb, " ", 1);
  lb.pos = static_cast<int16_t>(width - 7);
  lb.text[lb.pos] = '\0';
  appendNumber(lb, r.out.pageCounter, 70, r.out.style);
  // " Page " just before the digits; the run date ends five columns before
  // the number's field.
  int fieldStart = width - 7;
  int numStart = fieldStart;
  while (numStart < width && lb.text[numStart] == ' ') ++numStart;
  int pageAt = numStart - 6;
  int dateAt = fieldStart - 5 - 24;
  if (dateAt > 0) std::memcpy(lb.text + dateAt, r.out.runDate, 24);
  if (pageAt > 0) std::memcpy(lb.text + pageAt, " Page ", 6);
  writeLine(a, lb.text, width, cls);
  lineClear(lb);
}

void closeLogFile(ModelArea& a) {
  if (fileIsOpen(a.files, kUnitLog)) fileClose(a.files, kUnitLog);
  a.out.destination = kDestWindow;
}

}  // namespace kz

// The settings listing that DEFAULTS Yes writes: the two directories, a
// heading, then every listed keyword of the main and Set tables with its
// current value, several short entries to a line.
#include <cstdio>
#include <cstring>

#include "frame/clp_table.h"
#include "frame/output.h"

namespace kz::clp {

namespace {

int trimmedLength(const char* s, int cap) {
  int n = 0;
  while (n < cap && s[n]) ++n;
  while (n > 0 && s[n - 1] == ' ') --n;
  return n;
}

// The value as the listing prints it; returns its length.
int valueText(ModelArea& a, const Keyword& k, char* out, int cap) {
  void* f = k.field ? k.field(a) : nullptr;
  if (!f) return 0;
  switch (k.show) {
    case Show::kOnOff: {
      double v = loadNumber(f, k.store);
      return std::snprintf(out, static_cast<size_t>(cap), "%s", v == 1.0 ? "YES" : v == 0.0 ? "NO" : "OFF");
    }
    case Show::kNumber: {
      LineBuffer lb;
      appendNumber(lb, loadNumber(f, k.store), 0, a.routingArea().out.style);
      int n = lb.pos;
      while (n > 0 && lb.text[n - 1] == ' ') --n;
      return std::snprintf(out, static_cast<size_t>(cap), "%.*s", n, lb.text);
    }
    case Show::kText: {
      const char* s = static_cast<const char*>(f);
      int fieldCap = k.cap > 0 ? k.cap : 256;
      return std::snprintf(out, static_cast<size_t>(cap), "%.*s", trimmedLength(s, fieldCap), s);
    }
    case Show::kChar:
      return std::snprintf(out, static_cast<size_t>(cap), "%c", *static_cast<const char*>(f));
    case Show::kMemory:
      return std::snprintf(out, static_cast<size_t>(cap), "%d K bytes.", *static_cast<const int32_t*>(f));
    case Show::kMatList: {
      int v = *static_cast<const int16_t*>(f) & 6;
      const char* t = v == 6 ? "BOTH" : v == 4 ? "CONSTRAINTS" : v == 2 ? "EQUATIONS" : "NONE";
      return std::snprintf(out, static_cast<size_t>(cap), "%s", t);
    }
    case Show::kParam: {
      const Options& o = a.opt;
      return std::snprintf(out, static_cast<size_t>(cap), "%.*s^ %.*s %g %g %g", trimmedLength(o.paramName[0], 23),
                           o.paramName[0], trimmedLength(o.paramName[1], 23), o.paramName[1], o.paramValue[0],
                           o.paramValue[1], o.paramValue[2]);
    }
    default: return 0;
  }
}

}  // namespace

int listingEntry(ModelArea& a, const Keyword& k, bool setEntry, const char* label, char* out, int cap) {
  if (cap <= 0) return 0;
  out[0] = '\0';
  const Options& o = a.opt;
  int n = 0;
  switch (k.show) {
    case Show::kNone: return 0;
    case Show::kLimit:
      if (o.limitBracket != 0.0)
        n = std::snprintf(out, static_cast<size_t>(cap), "LIMITSEARCH (%.2lf%c)", o.limitBracket,
                          o.limitMode == 3 ? '%' : ' ');
      else if (o.limitMode == 1)
        n = std::snprintf(out, static_cast<size_t>(cap), "LIMITSEARCH NONE");
      else if (o.limitMode == 3 || o.limitHigh >= 1e200)
        n = std::snprintf(out, static_cast<size_t>(cap), "LIMITSEARCH %g%c", o.limitLow, o.limitMode == 3 ? '%' : ' ');
      else
        n = std::snprintf(out, static_cast<size_t>(cap), "LIMITSEARCH %g/%g", o.limitLow, o.limitHigh);
      break;
    case Show::kIndex:
      n = std::snprintf(out, static_cast<size_t>(cap), "SET  INDEXRANGE  %d %d", o.indexFirst, o.indexLast);
      break;
    case Show::kLuMemory:
      n = std::snprintf(out, static_cast<size_t>(cap), "SET  LUMEMORY  %g/%g", o.luFactor[0], o.luFactor[1]);
      break;
    default: {
      char value[600];
      int vl = valueText(a, k, value, sizeof value);
      if (vl < 0) vl = 0;
      if (vl > static_cast<int>(sizeof value) - 1) vl = static_cast<int>(sizeof value) - 1;
      if (setEntry && label != k.name)
        n = std::snprintf(out, static_cast<size_t>(cap), "SET  %-8s  %-8s %.*s", label, k.name, vl, value);
      else
        n = std::snprintf(out, static_cast<size_t>(cap), "%s %-8s  %.*s", setEntry ? "SET " : "", k.name, vl, value);
      break;
    }
  }
  if (n < 0) return 0;
  return n < cap ? n : cap - 1;
}

void writeSettingsListing(ModelArea& a) {
  ModelArea& r = a.routingArea();
  int16_t d = r.out.destination;
  const PageSettings& pg = r.out.page[(d >= 0 && d <= 4) ? d : static_cast<int>(kDestWindow)];
  int width = pg.lineSize - pg.leftMargin;
  if (width < 40) width = 40;
  if (width > kLineCapacity - 1) width = kLineCapacity - 1;

  char text[kLineCapacity + 1];
  std::snprintf(text, sizeof text, "CURRENT DIRECTORY: %s", a.opt.currentDir);
  writeTextLine(a, text, kClassInfo);
  // The input files' directory: that of the model file, else the current one.
  const char* mf = a.opt.modelFile;
  int dirLen = 0;
  for (int i = 0; mf[i]; ++i)
    if (mf[i] == '/' || mf[i] == '\\' || mf[i] == ':') dirLen = i + 1;
  if (dirLen > 0)
    std::snprintf(text, sizeof text, "INPUT FILE DIRECTORY: %.*s", dirLen, mf);
  else
    std::snprintf(text, sizeof text, "INPUT FILE DIRECTORY: %s", a.opt.currentDir);
  writeTextLine(a, text, kClassInfo);
  writeTextLine(a, "DEFAULT COMMAND LINE PARAMETERS -", kClassInfo);

  LineBuffer& lb = lineOf(a);
  lineClear(lb);
  auto add = [&](const char* entry, int n) {
    bool sep = lb.pos > 0 && entry[0] != ' ';
    if (lb.pos > 0 && lb.pos + (sep ? 1 : 0) + n > width) {
      putLine(a, kClassInfo);
      sep = false;
    }
    if (sep) appendChars(lb, " ", 1);
    appendChars(lb, entry, n);
  };
  char entry[1024];
  int count = 0;
  const Keyword* main = mainTable(&count);
  for (int i = 0; i < count; ++i) {
    int n = listingEntry(a, main[i], false, main[i].name, entry, sizeof entry);
    if (n > 0) add(entry, n);
  }
  if (lb.pos > 0) putLine(a, kClassInfo);
  const Keyword* set = setTable(&count);
  for (int i = 0; i < count; ++i) {
    int n = listingEntry(a, set[i], true, set[i].name, entry, sizeof entry);
    if (n > 0) add(entry, n);
  }
  const Keyword* tol = toleranceTable(&count);
  for (int i = 0; i < count; ++i) {
    int n = listingEntry(a, tol[i], true, "TOLERANC", entry, sizeof entry);
    if (n > 0) add(entry, n);
  }
  if (lb.pos > 0) putLine(a, kClassInfo);
}

}  // namespace kz::clp

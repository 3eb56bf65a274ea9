// Handlers of the keywords whose values need more than their form: several
// tokens, letters, bit strings, side effects on the pool or the output
// channel, or a rule applied after the range check.
#include "frame/clp_handlers.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frame/model_seams.h"
#include "frame/output.h"

namespace kz::clp {

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

const char* tokText(const Line& ln, const Value& v) { return ln.text() + v.tok.start; }

// A number for k: required, 16-bit rule for 16-bit fields, within k's range.
int ranged(const Keyword& k, const Value& v, double* x) {
  if (!v.number) return kErrValue;
  double y = v.num;
  if (k.store == Store::kI16 && std::fabs(y) > 32767.0) y = -32000.0;
  if (!(y >= k.lo && y <= k.hi)) return kErrValue;
  if (k.store == Store::kI32 && !(y >= -2147483648.0 && y <= 2147483647.0)) return kErrValue;
  *x = y;
  return kOk;
}

bool fitsI32(double x) { return x >= -2147483648.0 && x <= 2147483647.0; }

void store(ModelArea& a, const Keyword& k, double x) { storeNumber(k.field(a), k.store, x); }

// A parenthesised list that follows a letter value: in the same token after
// the letter, or as the next token. found is false when there is none.
int readList(Line& ln, const Value& v, char* field, bool* found) {
  *found = false;
  int open = -1;
  for (int i = v.tok.start; i < v.tok.end(); ++i)
    if (ln.at(i) == '(') {
      open = i;
      break;
    }
  if (open < 0) {
    Span next;
    if (ln.peekToken(&next) && ln.at(next.start) == '(') open = next.start;
  }
  if (open < 0) return kOk;
  Span list = ln.parenList(open);
  int inner = list.len - 1;
  if (inner > 0 && ln.at(list.end() - 1) == ')') --inner;
  if (inner < 0) inner = 0;
  *found = true;
  if (!storeText(field, kClpList - 1, ln.text() + open + 1, inner)) return kErrValue;
  return kOk;
}

}  // namespace

// ---- main keywords ----

int hWarnings(Line& ln, const Keyword& k, Value& v) {
  int rc = applyByForm(ln, k, v);
  if (rc) return rc;
  ln.a.routingArea().out.quiet = 0;
  return kOk;
}

int hBasis(Line& ln, const Keyword& k, Value& v) {
  Options& o = ln.a.opt;
  const char* s = tokText(ln, v);
  if (s[0] == '+') {
    if (!v.number || v.num < 0.0 || v.num > 32767.0) return kErrValue;
    o.basisCount = static_cast<int32_t>(v.num);
    o.basisNameCount = 0;
    std::memset(o.basisNames, 0, sizeof o.basisNames);
    storeName(o.basisCurrent, 8, "", 0);
    return kOk;
  }
  if (s[0] == '.') {
    int n = v.tok.len - 1;
    if (n <= 0) return kErrValue;
    char name[9];
    storeName(name, 8, s + 1, n);
    // "1".."n" exist already; other names are created on first use.
    bool exists = false;
    char* end = nullptr;
    long num = std::strtol(name, &end, 10);
    if (end && end != name && *end == ' ' && num >= 1 && num <= o.basisCount) exists = true;
    for (int i = 0; i < o.basisNameCount && !exists; ++i)
      if (std::memcmp(o.basisNames[i], name, 8) == 0) exists = true;
    if (!exists) {
      if (o.basisNameCount >= kMemBasisNames) return kErrValue;
      std::memcpy(o.basisNames[o.basisNameCount++], name, 9);
    }
    std::memcpy(o.basisCurrent, name, 9);
    return kOk;
  }
  return applyByForm(ln, k, v);
}

int hListInput(Line& ln, const Keyword&, Value& v) {
  if (!developmentMode()) return kOk;
  if (v.first != 'Y' && v.first != 'N') return kErrYesNo;
  setStagedListInput(v.yes ? 1 : 0);
  return kOk;
}

int hMpsxSolution(Line&, const Keyword&, Value& v) {
  if (v.first != 'Y' && v.first != 'N') return kErrYesNo;
  setStagedMpsx(v.yes ? 1 : 0);
  return kOk;
}

namespace {

bool readAddress(const char* s, int n, uint64_t* out) {
  if (n <= 0 || n > 40) return false;
  char buf[48];
  std::memcpy(buf, s, static_cast<size_t>(n));
  buf[n] = '\0';
  char* end = nullptr;
  unsigned long long v = std::strtoull(buf, &end, 0);
  if (!end || *end != '\0' || v == 0) return false;
  *out = static_cast<uint64_t>(v);
  return true;
}

// Whether [start, start + len) lies in readable and writable mappings of the
// process: a caller's block named by its address in an option line is
// checked before the pool writes its first header there.
bool writableRange(uint64_t start, uint64_t len) {
#ifdef __linux__
  uint64_t end = start + len;
  if (end < start) return false;
  std::FILE* f = std::fopen("/proc/self/maps", "r");
  if (!f) return false;
  uint64_t need = start;
  char line[4096];
  bool whole = true;
  while (need < end && std::fgets(line, sizeof line, f)) {
    bool startOfLine = whole;
    whole = std::strchr(line, '\n') != nullptr;
    if (!startOfLine) continue;
    unsigned long long lo = 0, hi = 0;
    char perms[8] = {};
    if (std::sscanf(line, "%llx-%llx %7s", &lo, &hi, perms) != 3) continue;
    if (hi <= need) continue;
    if (lo > need || perms[0] != 'r' || perms[1] != 'w') break;
    need = hi;
  }
  std::fclose(f);
  return need >= end;
#else
  (void)start;
  (void)len;
  return true;
#endif
}

int poolFailed(ModelArea& a) {
  a.pool.sizeK = 0;
  return kErrMemory;
}

int poolDone(ModelArea& a) {
  a.irc = 2;
  a.fnValue = 0;
  return kOk;
}

}  // namespace

int hMemory(Line& ln, const Keyword&, Value& v) {
  ModelArea& a = ln.a;
  WorkPool& p = a.pool;
  const char* s = tokText(ln, v);
  int n = v.tok.len;
  const char* at = static_cast<const char*>(std::memchr(s, '@', static_cast<size_t>(n)));
  p.alignFlag = a.osRecognised;
  if (at) {
    // A caller-owned block: size in bytes, then its address.
    double size = 0.0;
    uint64_t addr = 0;
    if (!readNumber(s, static_cast<int>(at - s), a.out.style.decimal, &size, nullptr) || size < 1024.0 ||
        size > static_cast<double>(kPoolMaxBytes) || !readAddress(at + 1, static_cast<int>(s + n - at - 1), &addr))
      return kErrValue;
    // An address that is not writable memory of ours fails before the old
    // pool is touched.
    if (!writableRange(addr, static_cast<uint64_t>(size))) return kErrMemory;
    resetModelStore(a);
    p.keep = 0;
    poolOp(p, kPoolFree, 0);
    p.callerBlock = reinterpret_cast<void*>(static_cast<uintptr_t>(addr));
    p.callerBytes = static_cast<int64_t>(size);
    p.sizeK = static_cast<int32_t>(size / 1024.0);
    if (!poolOp(p, kPoolCreate, 0)) return poolFailed(a);
    return poolDone(a);
  }
  bool query = n == 1 && s[0] == '+';
  double mb = 0.0;
  if (!query) {
    if (!v.number || v.num < 0.0 || v.num > 2097151.0) return kErrValue;
    mb = std::trunc(v.num);
  }
  // The model's storage goes first: the pool rolls back to its first mark.
  resetModelStore(a);
  if (p.freeBytes >= 0) poolOp(p, kPoolRestoreMark, 0);
  int32_t wantK = static_cast<int32_t>(mb) * 1024;
  if (query || mb == 0.0) {
    p.keep = 0;
    poolOp(p, kPoolFree, 0);
    p.callerBlock = nullptr;
    p.callerBytes = 0;
    if (!query && s[0] != '+') {
      p.sizeK = 0;
      return poolDone(a);
    }
    poolOp(p, kPoolQueryParallel, 0);
    wantK = p.availableK;
  }
  if (p.freeBytes >= 0 && wantK == p.sizeK) {
    p.keep = 0;
    poolOp(p, kPoolRelease, -1);
    p.keep = 1;
    return poolDone(a);
  }
  p.keep = 0;
  poolOp(p, kPoolFree, 0);
  p.callerBlock = nullptr;
  p.callerBytes = 0;
  p.sizeK = wantK;
  if (wantK <= 0 || !poolOp(p, kPoolCreate, 0)) return poolFailed(a);
  return poolDone(a);
}

int hStrategy(Line& ln, const Keyword&, Value& v) {
  Options& o = ln.a.opt;
  const char* s = tokText(ln, v);
  int n = v.tok.len;
  int i = 0;
  int16_t number = o.strategy;
  uint16_t flags = o.strategyFlags;
  char node = o.strategyNode, branch = o.strategyBranch;
  if (upper(s[0]) != 'H') {
    int digits = 0;
    long num = 0;
    while (i < n && s[i] >= '0' && s[i] <= '9') {
      if (++digits > 9) return kErrValue;
      num = num * 10 + (s[i++] - '0');
    }
    if (digits > 0) {
      flags = 0;
      node = ' ';
      branch = ' ';
      if (num > 1600) {
        num -= 1600;
        branch = 'P';
      }
      if (num > 800) {
        num -= 800;
        node = 'D';
      }
      if (num > 400) {
        num -= 400;
        node = 'C';
      }
      if (num > 200) {
        num -= 200;
        flags |= kStrategyB;
      }
      if (num > 100) {
        num -= 100;
        flags |= kStrategyA;
      }
      if (num < 1 || num > 32767) return kErrValue;
      if (num == 5) {
        num = 1;
        flags = static_cast<uint16_t>((flags | kStrategyA) & ~kStrategyB);
      }
      number = static_cast<int16_t>(num);
    }
  }
  for (; i < n; ++i) {
    switch (upper(s[i])) {
      case 'A': flags = static_cast<uint16_t>((flags | kStrategyA) & ~kStrategyB); break;
      case 'B': flags |= kStrategyA | kStrategyB; break;
      case 'C':
        flags |= kStrategyA;
        node = 'C';
        break;
      case 'D': node = 'D'; break;
      case 'F': flags |= kStrategyF; break;
      case 'G': node = 'G'; break;
      case 'J': flags |= kStrategyJ; break;
      case 'P': branch = 'P'; break;
      case 'X':
        if (i > 0 && s[i - 1] == 'x') flags |= kStrategyX;
        break;
      case 'H': {
        // The strategy for the parallel sub-models: a count and a line.
        int count = 0, digits = 0;
        while (i + 1 < n && s[i + 1] >= '0' && s[i + 1] <= '9') {
          if (++digits > 4) return kErrValue;
          count = count * 10 + (s[++i] - '0');
        }
        o.strategySubCount = static_cast<int16_t>(digits ? count : 40);
        bool found = false;
        Value rest = v;
        rest.tok.start = v.tok.start + i + 1;
        rest.tok.len = n - i - 1;
        int rc = readList(ln, rest, o.strategySubList, &found);
        if (rc) return rc;
        i = n;
        break;
      }
      default: break;
    }
  }
  o.strategy = number;
  o.strategyFlags = flags;
  o.strategyNode = node;
  o.strategyBranch = branch;
  return kOk;
}

int hEuropean(Line& ln, const Keyword& k, Value& v) {
  int rc = applyByForm(ln, k, v);
  if (rc) return rc;
  NumberStyle& st = ln.a.out.style;
  st.decimal = v.yes ? ',' : '.';
  st.thousands = v.yes ? '.' : ',';
  return kOk;
}

int hWorkDir(Line& ln, const Keyword& k, Value& v) {
  int rc = applyByForm(ln, k, v);
  if (rc) return rc;
  char* d = ln.a.opt.workDir;
  if (std::strlen(d) == 1 && std::isalpha(static_cast<unsigned char>(d[0]))) {
    d[1] = ':';
    d[2] = '\0';
  }
  return kOk;
}

namespace {

bool sameName(const char* s, int n, const char* what) {
  int wl = static_cast<int>(std::strlen(what));
  if (n != wl) return false;
  for (int i = 0; i < n; ++i)
    if (upper(s[i]) != what[i]) return false;
  return true;
}

}  // namespace

int hOutputs(Line& ln, const Keyword&, Value& v) {
  ModelArea& a = ln.a;
  int pos = v.tok.start;
  bool append = ln.at(pos) == '+';
  if (append) ++pos;
  Span whole{pos, v.tok.end() - pos};
  Span inner = whole;
  if (ln.at(pos) == '"') whole = ln.quoted(Span{pos, v.tok.end() - pos}, '"', &inner);
  if (inner.len <= 0 || inner.len > kClpFile - 1) return kErrValue;
  const char* name = ln.text() + inner.start;
  closeLogFile(a);
  storeText(a.opt.outputFile, kClpFile - 1, name, inner.len);
  if (sameName(name, inner.len, "CON:")) {
    a.out.destination = kDestWindow;
    return kOk;
  }
  char given[kClpFile + 3];
  std::memcpy(given, ln.text() + whole.start, static_cast<size_t>(whole.len));
  given[whole.len] = '\0';
  if (buildFileName(a.files, kUnitLog, given, "prn", a.opt.currentDir, a.serial, a.solves + 1) < 0 ||
      fileOpen(a.files, kUnitLog, append ? kFileModeAppend : kFileModeCreate, nullptr) != 0) {
    a.out.destination = kDestWindow;
    return kErrOutput;
  }
  if (sameName(name, inner.len, "LPT1:"))
    a.out.destination = kDestPrinter;
  else if (sameName(name, inner.len, "COM1:"))
    a.out.destination = kDestSerial;
  else
    a.out.destination = kDestFile;
  return kOk;
}

int hWaits(Line& ln, const Keyword&, Value& v) {
  if (v.first != 'Y' && v.first != 'N') return kErrYesNo;
  ln.waits = v.yes ? 1 : 0;
  return kOk;
}

int hMatList(Line& ln, const Keyword&, Value& v) {
  const char* s = tokText(ln, v);
  int n = v.tok.len;
  int value = 0;
  switch (v.first) {
    case 'N': value = 1; break;
    case 'C':
    case 'R': value = 4; break;
    case 'E':
    case 'Y':
    case 'V': value = 2; break;
    case 'B': value = 6; break;
    case 'F': value = 0; break;
    default: return kErrValue;
  }
  for (int i = 0; i + 1 < n; ++i)
    if (upper(s[i]) == 'F') {
      char c = upper(s[i + 1]);
      if (c == 'R') value += 8;
      if (c == 'E') value += 16;
      if (c == 'B') value += 24;
    }
  if (value == 0) return kErrValue;
  setStagedMatList(static_cast<int16_t>(value));
  return kOk;
}

int hParametric(Line& ln, const Keyword&, Value& v) {
  ModelArea& a = ln.a;
  Options& o = a.opt;
  const char* t = ln.text();
  // The names: "first^ second", optionally in parentheses.
  char names[2][24];
  int bracket = 0;
  Span text = v.tok;
  if (ln.at(v.tok.start) == '(') {
    Span list = ln.parenList(v.tok.start);
    bracket = 1;
    text.start = list.start + 1;
    text.len = list.len - 1;
    if (text.len > 0 && ln.at(text.end() - 1) == ')') --text.len;
  } else if (ln.at(v.tok.end() - 1) == '^') {
    Span second;
    if (ln.nextToken(&second)) text.len = second.end() - text.start;
  }
  int caret = -1;
  for (int i = text.start; i < text.end(); ++i)
    if (t[i] == '^') {
      caret = i;
      break;
    }
  auto trimmed = [&](int from, int to, char* out) {
    while (from < to && t[from] == ' ') ++from;
    while (to > from && t[to - 1] == ' ') --to;
    storeName(out, 23, t + from, to - from);
  };
  trimmed(text.start, caret < 0 ? text.end() : caret, names[0]);
  if (caret < 0)
    storeName(names[1], 23, "", 0);
  else
    trimmed(caret + 1, text.end(), names[1]);
  double num[3];
  for (double& x : num) {
    Span nt;
    if (!ln.nextToken(&nt)) return kErrPremature;
    if (!readNumber(t + nt.start, nt.len, a.out.style.decimal, &x, nullptr)) return kErrValue;
  }
  std::memcpy(o.paramName, names, sizeof names);
  o.paramFlags = static_cast<int16_t>((names[0][0] != ' ' ? 1 : 0) | (names[1][0] != ' ' ? 2 : 0));
  for (int i = 0; i < 3; ++i) o.paramValue[i] = num[i];
  o.paramBracket = bracket;
  return kOk;
}

// A keyword that selects a keyword of a sub-table (Set, Set Tolerance): the
// value token is that keyword, the token after it its value.
static int applySubKeyword(Line& ln, Value& v, const Keyword* (*tableOf)(int*)) {
  int count = 0;
  const Keyword* table = tableOf(&count);
  int idx = matchKeyword(table, count, tokText(ln, v), v.tok.len);
  if (idx < 0) return kErrKeyword;
  Span vt;
  if (!ln.nextToken(&vt)) return kErrPremature;
  Value sv = evaluate(ln, vt);
  return applyKeyword(ln, table[idx], sv);
}

int hSettings(Line& ln, const Keyword&, Value& v) { return applySubKeyword(ln, v, setTable); }

namespace {

int gather(const Keyword& k, const Value& v, int16_t* out) {
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return rc;
  *out = static_cast<int16_t>(x);
  return kOk;
}

}  // namespace

int hPageSize(Line& ln, const Keyword& k, Value& v) {
  int16_t x = 0;
  int rc = gather(k, v, &x);
  if (rc) return rc;
  if (x != 0 && x < 20) return kErrValue;
  ln.pageSize = x;
  return kOk;
}
int hLineSize(Line& ln, const Keyword& k, Value& v) { return gather(k, v, &ln.lineSize); }
int hTopMargin(Line& ln, const Keyword& k, Value& v) { return gather(k, v, &ln.topMargin); }
int hBottomMargin(Line& ln, const Keyword& k, Value& v) { return gather(k, v, &ln.bottomMargin); }
int hLeftMargin(Line& ln, const Keyword& k, Value& v) { return gather(k, v, &ln.leftMargin); }

int hDefaults(Line& ln, const Keyword& k, Value& v) {
  int rc = applyByForm(ln, k, v);
  if (rc) return rc;
  ln.defaultsWanted = v.yes;
  return kOk;
}

int hActivity(Line& ln, const Keyword& k, Value& v) {
  int rc = applyByForm(ln, k, v);
  if (rc) return rc;
  // Up to two column masks: *letters, # before the letters negates.
  for (int m = 0; m < 2; ++m) {
    Span t;
    if (!ln.peekToken(&t)) break;
    char c0 = ln.at(t.start);
    if (c0 != '*' && c0 != '#') break;
    ln.nextToken(&t);
    bool negate = false;
    int32_t bits = 0;
    for (int i = t.start; i < t.end(); ++i) {
      char c = upper(ln.at(i));
      if (c == '#')
        negate = true;
      else if (c >= 'A' && c <= 'Z')
        bits |= int32_t{1} << (c - 'A');
      else if (c != '*')
        return kErrValue;
    }
    if (negate) bits = ~bits & ((int32_t{1} << 26) - 1);
    ln.a.opt.activityMask[m] = bits;
  }
  return kOk;
}

int hMute(Line& ln, const Keyword&, Value& v) {
  ModelArea& a = ln.a;
  OutputChannel& out = a.routingArea().out;
  Options& o = a.opt;
  if (v.first == 'Y' || v.first == 'S') {
    out.quiet = 1;
    o.freqLogMode = 0;
    setStagedListInput(0);
    a.out.inputListing = 0;
    out.warnings = 0;
    o.constraints = 0;
    o.solution = 0;
    o.mute = 1;
    if (v.first == 'S') {
      out.mute = 1;
      o.mute = 2;
    }
    return kOk;
  }
  if (v.first == 'N') {
    out.quiet = 0;
    out.warnings = 1;
    if (developmentMode()) setStagedListInput(1);
    if (o.mute == 2) out.mute = 0;
    o.mute = 0;
    return kOk;
  }
  return kErrYesNo;
}

int hComments(Line& ln, const Keyword&, Value& v) {
  const char* s = tokText(ln, v);
  if (v.tok.len == 2 && upper(s[0]) == 'N' && upper(s[1]) == 'O')
    ln.a.opt.commentChar = 1;
  else
    ln.a.opt.commentChar = s[0];
  return kOk;
}

int hPriority(Line& ln, const Keyword&, Value& v) {
  const char* s = tokText(ln, v);
  int16_t p = 0;
  for (int i = 0; i < v.tok.len; ++i) switch (upper(s[i])) {
      case 'A': p = static_cast<int16_t>(p + 2); break;
      case 'B': p = static_cast<int16_t>(p + 8); break;
      case 'O': p = static_cast<int16_t>(p + 4); break;
      case 'R': p = static_cast<int16_t>(p + 1); break;
      case 'S': p = static_cast<int16_t>(p + 16); break;
      default: break;
    }
  ln.a.opt.priority = p;
  return kOk;
}

int hConfigu(Line& ln, const Keyword&, Value& v) {
  if (v.first != 'Y' && v.first != 'N') return kErrYesNo;
  writeTextLine(ln.a, "Switch error: ", kClassErrorInput);
  return kOk;
}

int hToMps(Line& ln, const Keyword&, Value& v) {
  Options& o = ln.a.opt;
  switch (v.first) {
    case 'Y': o.toMps = 1; o.toMpsS = 0; return kOk;
    case 'N': o.toMps = 0; o.toMpsS = 0; return kOk;
    case 'S': o.toMps = 1; o.toMpsS = 1; return kOk;
    default: return kErrYesNo;
  }
}

int hView(Line& ln, const Keyword&, Value& v) {
  Span second;
  if (!ln.nextToken(&second)) return kErrPremature;
  storeName(ln.a.opt.view[0], 7, tokText(ln, v), v.tok.len);
  storeName(ln.a.opt.view[1], 7, ln.text() + second.start, second.len);
  return kOk;
}

int hLimitSearch(Line& ln, const Keyword&, Value& v) {
  Options& o = ln.a.opt;
  const char* s = tokText(ln, v);
  int n = v.tok.len;
  char dec = ln.a.out.style.decimal;
  if (v.first == 'N') {
    o.limitMode = 1;
    return kOk;
  }
  if (s[0] == '(') {
    int close = n;
    for (int i = 1; i < n; ++i)
      if (s[i] == ')') {
        close = i;
        break;
      }
    double x = 0.0;
    if (!readNumber(s + 1, close - 1, dec, &x, nullptr)) return kErrValue;
    o.limitBracket = x;
    return kOk;
  }
  const char* slash = static_cast<const char*>(std::memchr(s, '/', static_cast<size_t>(n)));
  int left = slash ? static_cast<int>(slash - s) : n;
  double a = 0.0, b = 0.0;
  bool pct = false;
  if (left > 0 && !readNumber(s, left, dec, &a, &pct)) return kErrValue;
  if (slash) {
    int rl = n - left - 1;
    bool infinite = rl >= 1 && upper(slash[1]) == 'N';
    if (!infinite && !readNumber(slash + 1, rl, dec, &b, nullptr)) return kErrValue;
    if (left > 0) {
      o.limitLow = a;
      o.limitMode = 2;
    }
    o.limitHigh = infinite ? 1e200 : b;
    return kOk;
  }
  o.limitLow = a;
  o.limitMode = pct ? 3 : 2;
  return kOk;
}

int hConflict(Line& ln, const Keyword&, Value& v) {
  switch (v.first) {
    case 'N': ln.a.opt.conflict = 0; return kOk;
    case 'Y':
    case 'I': ln.a.opt.conflict = 1; return kOk;
    case 'B': ln.a.opt.conflict = 2; return kOk;
    default: return kErrYesNo;
  }
}

int hOneKeyLp(Line& ln, const Keyword&, Value& v) {
  if (v.first != 'Y' && v.first != 'N') return kErrYesNo;
  ln.a.opt.polling = v.yes ? 0 : 1;
  return kOk;
}

namespace {

int modelFileValue(Line& ln, const Value& v, const char* ext, bool lts) {
  Span whole = v.tok;
  if (ln.at(v.tok.start) == '"') {
    Span inner;
    whole = ln.quoted(v.tok, '"', &inner);
  }
  return nameModelFile(ln, ln.text() + whole.start, whole.len, ext, lts);
}

}  // namespace

int hLts(Line& ln, const Keyword&, Value& v) { return modelFileValue(ln, v, "lts", true); }
int hFileName(Line& ln, const Keyword&, Value& v) { return modelFileValue(ln, v, "lp", false); }

int hAlternates(Line& ln, const Keyword& k, Value& v) {
  if (v.first == 'Y') return store(ln.a, k, 32767), kOk;
  if (v.first == 'N') return store(ln.a, k, 0), kOk;
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return (v.first >= 'A' && v.first <= 'Z') ? kErrYesNo : rc;
  store(ln.a, k, x);
  return kOk;
}

int hClpEnvir(Line& ln, const Keyword&, Value& v) {
  char name[256];
  int n = v.tok.len < 255 ? v.tok.len : 255;
  std::memcpy(name, tokText(ln, v), static_cast<size_t>(n));
  name[n] = '\0';
  const char* value = std::getenv(name);
  if (!value) {
    for (int i = 0; i < n; ++i) name[i] = upper(name[i]);
    value = std::getenv(name);
  }
  if (!value) return kOk;
  size_t vl = std::strlen(value);
  if (vl > static_cast<size_t>(kBufferChars)) return kErrValue;
  char buf[kBufferChars + 2];
  buf[0] = ' ';
  std::memcpy(buf + 1, value, vl);
  if (!ln.replace(ln.cursor(), ln.cursor(), buf, static_cast<int>(vl) + 1)) return kErrValue;
  return kOk;
}

int hMessage(Line& ln, const Keyword&, Value& v) {
  ModelArea& a = ln.a;
  int from = v.tok.start, n = v.tok.len;
  if (ln.at(from) == '`') {
    ++from;
    n = ln.length() - from;
    ln.setCursor(ln.length());
  }
  OutputChannel& out = a.routingArea().out;
  int16_t quiet = out.quiet;
  out.quiet = 0;
  writeCharsLine(a, ln.text() + from, n, kClassMessage);
  out.quiet = quiet;
  return kOk;
}

namespace {

// The presolve bit-string reading of one switch word.
int presolveWord(Line& ln, const Keyword& k, Value& v, int32_t base) {
  int32_t* word = static_cast<int32_t*>(k.field(ln.a));
  const int32_t cur = *word;
  const char* s = tokText(ln, v);
  int n = v.tok.len;
  if (v.first == 'N') return *word = kPresolveOff, kOk;
  if (v.first == 'Y') return *word = base | kPresolveOff, kOk;
  if (v.first == 'M') return *word = kMPresolveBase, kOk;
  uint32_t result = 0, plus = 0, minus = 0;
  int bit = 0;
  bool signed_ = false;
  for (int i = 0; i < n; ++i) {
    char c = s[i];
    char u = upper(c);
    if (c == '1' || c == '0' || c == '?') {
      if (bit < 32) {
        if (c == '1') result |= 1u << bit;
        if (c == '?') result |= static_cast<uint32_t>(cur) & (1u << bit);
      }
      ++bit;
    } else if (c == '.') {
    } else if (c == '*') {
      if (bit < 32) result |= static_cast<uint32_t>(cur) & ~((bit == 0) ? 0u : ((1u << bit) - 1));
      bit = 32;
      break;
    } else if (c == '+' || c == '-') {
      if (i + 1 < n) {
        char l = upper(s[i + 1]);
        if (l >= 'A' && l <= 'Z') {
          (c == '+' ? plus : minus) |= 1u << (l - 'A');
          ++i;
        }
      }
      signed_ = true;
    } else if (u >= 'A' && u <= 'Z') {
      if (signed_) return kErrValue;
      result |= 1u << (u - 'A');
    }
  }
  if (signed_) {
    uint32_t passed = bit >= 32 ? ~0u : ((1u << bit) - 1);
    result = ((static_cast<uint32_t>(cur) & ~passed) | result | plus) & ~minus;
  }
  *word = result == 0 ? kPresolveOff : static_cast<int32_t>(result);
  return kOk;
}

}  // namespace

int hPresolve(Line& ln, const Keyword& k, Value& v) { return presolveWord(ln, k, v, kPresolveBase); }
int hMPresolve(Line& ln, const Keyword& k, Value& v) { return presolveWord(ln, k, v, kMPresolveBase); }
int hBPresolve(Line& ln, const Keyword& k, Value& v) { return presolveWord(ln, k, v, kBPresolveBase); }

int hWhen(Line& ln, const Keyword&, Value& v) {
  if (!v.number) return kErrValue;
  double n = std::trunc(v.num);
  double next = static_cast<double>(ln.a.solves) + 1.0;
  char sign = ln.at(v.tok.start);
  bool apply = sign == '+' ? next >= n : sign == '-' ? next <= -n : next == n;
  if (!apply) ln.stop();
  return kOk;
}

int hStopNode(Line& ln, const Keyword& k, Value& v) {
  int rc = applyByForm(ln, k, v);
  if (rc) return rc;
  if (ln.a.opt.stopNode <= 0) ln.a.opt.stopNode = 1;
  return kOk;
}

int hExtraMem(Line& ln, const Keyword& k, Value& v) {
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return rc;
  double bytes = std::trunc(x) * 1048576.0 - 1.0;
  ln.a.opt.extraMem = static_cast<int32_t>(bytes < 0.0 ? 0.0 : bytes);
  return kOk;
}

int hKnapsack(Line& ln, const Keyword& k, Value& v) {
  if (v.first == 'Y') return store(ln.a, k, 15), kOk;
  if (v.first == 'N') return store(ln.a, k, 0), kOk;
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return (v.first >= 'A' && v.first <= 'Z') ? kErrYesNo : rc;
  store(ln.a, k, x);
  return kOk;
}

int hMipFraction(Line& ln, const Keyword& k, Value& v) {
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return rc;
  store(ln.a, k, x <= 0.999 ? x : x / 100.0);
  return kOk;
}

int hMultiSolver(Line& ln, const Keyword&, Value& v) {
  int16_t mode = 0;
  switch (v.first) {
    case 'N': mode = 0; break;
    case 'A':
    case 'Y': mode = 1; break;
    case 'P': mode = 2; break;
    case 'D': mode = 3; break;
    case 'B': mode = 4; break;
    case 'X': mode = -1; break;
    default: mode = 0; break;
  }
  bool found = false;
  int rc = readList(ln, v, ln.a.opt.multiSolverList, &found);
  if (rc) return rc;
  ln.a.opt.multiSolver = mode;
  return kOk;
}

// ---- Set keywords ----

int hMagnitude(Line& ln, const Keyword& k, Value& v) {
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return rc;
  store(ln.a, k, std::fabs(x));
  return kOk;
}

int hNegMagnitude(Line& ln, const Keyword& k, Value& v) {
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return rc;
  store(ln.a, k, -std::fabs(x));
  return kOk;
}

int hTolerance(Line& ln, const Keyword&, Value& v) { return applySubKeyword(ln, v, toleranceTable); }

int hTolPrimal(Line& ln, const Keyword& k, Value& v) {
  if (v.first == 'D') return ln.a.opt.xToZero = 1e-8, kOk;
  return applyByForm(ln, k, v);
}

int hTolDual(Line& ln, const Keyword& k, Value& v) {
  if (v.first == 'D') return ln.a.opt.reducedCost = -1e-7, kOk;
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return rc;
  ln.a.opt.reducedCost = -x;
  return kOk;
}

int hWhole(Line& ln, const Keyword& k, Value& v) {
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return rc;
  if (x != std::floor(x) || !fitsI32(x)) return kErrValue;
  store(ln.a, k, x);
  return kOk;
}

int hTimeLimit(Line& ln, const Keyword& k, Value& v) {
  double x = 0.0;
  if (!readTime(tokText(ln, v), v.tok.len, ln.a.out.style.decimal, &x)) return kErrValue;
  if (x < 0.0) x = 2000000000.0;
  if (!fitsI32(x)) return kErrValue;
  store(ln.a, k, x);
  return kOk;
}

int hPartialPricing(Line& ln, const Keyword& k, Value& v) {
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return rc;
  store(ln.a, k, x < 1.0 ? x * 100.0 : x);
  return kOk;
}

int hColumns(Line& ln, const Keyword& k, Value& v) {
  if (!v.number) return kErrValue;
  double x = v.num;
  store(ln.a, k, (x <= 0.0 || x > 2000000000.0) ? 2000000000.0 : x);
  return kOk;
}

int hRows(Line& ln, const Keyword& k, Value& v) {
  if (!v.number) return kErrValue;
  double x = v.num;
  double s = std::trunc(x) + 3.0;
  store(ln.a, k, (s <= 3.0 || s > 2000000003.0) ? 2000000003.0 : s);
  return kOk;
}

int hMarkowitz(Line& ln, const Keyword& k, Value& v) {
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return rc;
  if (x > 1.0) x = 1.0 / x;
  if (x < ln.a.opt.tranEntry) x = ln.a.opt.tranEntry;
  if (x > 0.999) x = 0.999;
  store(ln.a, k, x);
  return kOk;
}

int hScale(Line& ln, const Keyword&, Value& v) {
  Options& o = ln.a.opt;
  const char* s = tokText(ln, v);
  int16_t value;
  if (v.first == 'Y')
    value = 1;
  else if (v.first == 'N')
    value = 0;
  else if (s[0] >= '1' && s[0] <= '5')
    value = static_cast<int16_t>(s[0] - '0');
  else
    return (s[0] >= '0' && s[0] <= '9') ? kErrValue : kErrYesNo;
  o.scale = value;
  if (value != 0) o.scaleFlag = upper(s[v.tok.len - 1]) == 'O' ? 1 : 0;
  return kOk;
}

int hFreqLog(Line& ln, const Keyword&, Value& v) {
  Options& o = ln.a.opt;
  const char* s = tokText(ln, v);
  int n = v.tok.len;
  ln.freqLogSeen = true;
  if (std::memchr(s, ':', static_cast<size_t>(n))) {
    int mode = 1;
    if (s[0] == '+' || s[0] == '-') {
      mode = s[0] == '-' ? -1 : 1;
      ++s;
      --n;
    }
    double secs = 0.0;
    if (!readTime(s, n, ln.a.out.style.decimal, &secs) || secs < 0.0 || !fitsI32(secs)) return kErrValue;
    o.freqLogMode = mode;
    o.freqLogInterval = static_cast<int32_t>(secs);
    return kOk;
  }
  if (!v.number || !fitsI32(v.num)) return kErrValue;
  o.freqLogMode = static_cast<int32_t>(v.num);
  o.freqLogInterval = 0;
  return kOk;
}

int hDepthWidth(Line& ln, const Keyword& k, Value& v) {
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return rc;
  store(ln.a, k, x <= 0.0 ? 2100000000.0 : x);
  return kOk;
}

int hNotNegative(Line& ln, const Keyword& k, Value& v) {
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return rc;
  store(ln.a, k, x < 0.0 ? 0.0 : x);
  return kOk;
}

int hEliminate(Line& ln, const Keyword&, Value& v) {
  switch (v.first) {
    case 'Y': ln.a.opt.presolve = kPresolveBase | kPresolveOff; return kOk;
    case 'N': ln.a.opt.presolve = kPresolveOff; return kOk;
    case 'O': ln.a.opt.presolve = 0; return kOk;
    default: return kErrYesNo;
  }
}

int hPerturb(Line& ln, const Keyword& k, Value& v) {
  int rc = applyByForm(ln, k, v);
  if (rc) return rc;
  ln.perturbSeen = true;
  return kOk;
}

int hIntPct(Line& ln, const Keyword& k, Value& v) {
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return rc;
  store(ln.a, k, x / 100.0);
  return kOk;
}

int hBvPriority(Line& ln, const Keyword& k, Value& v) {
  if (!v.number) return kErrValue;
  store(ln.a, k, std::fabs(v.num) > 32767.0 ? 16000.0 : v.num);
  return kOk;
}

int hTcTolerance(Line& ln, const Keyword& k, Value& v) {
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return rc;
  double t = ln.a.opt.tranEntry;
  store(ln.a, k, x + t * t);
  return kOk;
}

int hVisible(Line& ln, const Keyword&, Value& v) {
  ConsoleWindow* w = ln.a.window.get();
  if (w) w->setShown(v.yes);
  if (v.first != 'Y' && v.first != 'N') return kErrYesNo;
  return kOk;
}

int hDebug(Line& ln, const Keyword&, Value& v) {
  ModelArea& a = ln.a;
  if (!developmentMode() || a.trace == 4) return kOk;
  int16_t t;
  switch (v.first) {
    case 'Y': t = 1; break;
    case 'N': t = 0; break;
    case '2': t = 2; break;
    case '3': t = 3; break;
    case 'X': t = 4; break;
    default: return kErrYesNo;
  }
  a.trace = t;
  if (t != 0) {
    a.opt.kzok = 1;
    setStagedListInput(1);
    a.out.inputListing = 1;
  }
  return kOk;
}

int hIBounds(Line& ln, const Keyword& k, Value& v) {
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return rc;
  x = std::floor(x);
  store(ln.a, k, x > 9.00719925474e15 ? 9.00719925474e15 : x);
  return kOk;
}

int hDualSimplex(Line& ln, const Keyword&, Value& v) {
  Options& o = ln.a.opt;
  int16_t mode;
  switch (v.first) {
    case 'N': mode = 0; break;
    case 'Y': mode = 1; break;
    case 'A': mode = 2; break;
    default: return kErrValue;
  }
  const char* s = tokText(ln, v);
  bool forbid = false;
  for (int i = 0; i + 1 < v.tok.len; ++i)
    if (s[i] == '/' && upper(s[i + 1]) == 'N') forbid = true;
  o.dualMode = mode;
  o.dualAllowed = forbid ? 0 : 1;
  return kOk;
}

int hStickWith(Line& ln, const Keyword& k, Value& v) {
  if (!v.number || v.num < 0.0) return kErrValue;
  store(ln.a, k, v.num > 32000.0 ? 32000.0 : v.num);
  return kOk;
}

int hReset(Line& ln, const Keyword&, Value& v) {
  if (v.first == 'N') return kOk;
  if (v.first != 'Y') return kErrYesNo;
  ModelArea& a = ln.a;
  a.irc = 2;
  a.indexBase[0] = a.indexBase[1];
  resetModelStore(a);
  if (a.pool.freeBytes >= 0) poolOp(a.pool, kPoolRestoreMark, 0);
  a.flags &= 0x4000u | 0x10000u | 0x40000u | 0x100000u | 0x200000u | 0x400000u;
  a.fnValue = 0;
  return kOk;
}

int hIndexRange(Line& ln, const Keyword& k, Value& v) {
  Span second;
  if (!ln.nextToken(&second)) return kErrPremature;
  Value w = evaluate(ln, second);
  double x = 0.0, y = 0.0;
  int rc = ranged(k, v, &x);
  if (!rc) rc = ranged(k, w, &y);
  if (rc) return rc;
  ln.a.opt.indexFirst = static_cast<int32_t>(x);
  ln.a.opt.indexLast = static_cast<int32_t>(y);
  return kOk;
}

int hMaxCpu(Line& ln, const Keyword& k, Value& v) {
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return rc;
  Options& o = ln.a.opt;
  int32_t n = static_cast<int32_t>(x);
  if (n == 0) n = o.systemProcessors;
  if (n < 1) n = 1;
  o.maxCpu = n;
  if (n >= 2) {
    o.runner = 0;
    o.parallel2 = 0;
  }
  return kOk;
}

int hBarrier(Line& ln, const Keyword&, Value& v) {
  switch (v.first) {
    case 'N': ln.a.opt.barrier = 0; return kOk;
    case 'Y': ln.a.opt.barrier = 1; return kOk;
    case 'X': ln.a.opt.barrier = 2; return kOk;
    default: return kErrYesNo;
  }
}

int hPercentAboveOne(Line& ln, const Keyword& k, Value& v) {
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return rc;
  store(ln.a, k, x > 1.0 ? x / 100.0 : x);
  return kOk;
}

int hRunner(Line& ln, const Keyword&, Value& v) {
  if (v.first != 'Y' && v.first != 'N') return kErrYesNo;
  ln.a.opt.runner = ln.a.opt.parallel2 = v.yes ? 1 : 0;
  return kOk;
}

int hNetSolver(Line& ln, const Keyword&, Value&) {
  ln.a.opt.netSolver = 0;
  return kOk;
}

int hCbFrequency(Line& ln, const Keyword& k, Value& v) {
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return rc;
  double ms = std::round(x * 1000.0);
  if (!fitsI32(ms)) return kErrValue;
  store(ln.a, k, ms);
  return kOk;
}

int hSimSolve(Line& ln, const Keyword& k, Value& v) {
  if (v.first == 'Y') return store(ln.a, k, 2147483647.0), kOk;
  if (v.first == 'N') return store(ln.a, k, 0), kOk;
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return (v.first >= 'A' && v.first <= 'Z') ? kErrYesNo : rc;
  store(ln.a, k, x);
  return kOk;
}

int hLuMemory(Line& ln, const Keyword&, Value& v) {
  const char* s = tokText(ln, v);
  int n = v.tok.len;
  char dec = ln.a.out.style.decimal;
  const char* slash = static_cast<const char*>(std::memchr(s, '/', static_cast<size_t>(n)));
  double f[2];
  if (slash) {
    if (!readNumber(s, static_cast<int>(slash - s), dec, &f[0], nullptr) ||
        !readNumber(slash + 1, static_cast<int>(s + n - slash - 1), dec, &f[1], nullptr))
      return kErrValue;
  } else {
    if (!v.number) return kErrValue;
    f[0] = f[1] = v.num;
  }
  Options& o = ln.a.opt;
  o.luFactor[0] = f[0] < 2.0 ? 4.0 : f[0];
  o.luFactor[1] = f[1] < 2.0 ? 3.5 : f[1];
  return kOk;
}

int hPartSolve(Line& ln, const Keyword&, Value& v) {
  Options& o = ln.a.opt;
  int16_t mode;
  if (v.first == 'N')
    mode = 0;
  else if (v.first == 'Y')
    mode = 3;
  else if (v.first >= 'A' && v.first <= 'Z')
    mode = static_cast<int16_t>(v.first - 63);
  else
    return kErrValue;
  char list[kClpList];
  bool found = false;
  int rc = readList(ln, v, list, &found);
  if (rc) return rc;
  o.partSolve = mode;
  if (found)
    std::memcpy(o.partSolveList, list, sizeof list);
  else
    std::memset(o.partSolveList, 0, sizeof o.partSolveList);
  return kOk;
}

namespace {

int solveMode(Line& ln, Value& v, int16_t* mode, char* list) {
  static const char kLetters[] = "NYARU";
  const char* p = v.first ? std::strchr(kLetters, v.first) : nullptr;
  if (!p) return kErrValue;
  bool found = false;
  int rc = readList(ln, v, list, &found);
  if (rc) return rc;
  *mode = static_cast<int16_t>(p - kLetters);
  return kOk;
}

}  // namespace

int hSolveDual(Line& ln, const Keyword&, Value& v) {
  return solveMode(ln, v, &ln.a.opt.solveDual, ln.a.opt.solveDualList);
}
int hSolveCom(Line& ln, const Keyword&, Value& v) {
  return solveMode(ln, v, &ln.a.opt.solveCom, ln.a.opt.solveComList);
}

int hUbBound(Line& ln, const Keyword& k, Value& v) {
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return rc;
  if (x > 16777216.0) x = 16777216.0;
  if (x < ln.a.opt.xToZero) x = 0.0;
  store(ln.a, k, x);
  return kOk;
}

int hHashLength(Line& ln, const Keyword& k, Value& v) {
  double x = 0.0;
  int rc = ranged(k, v, &x);
  if (rc) return rc;
  store(ln.a, k, x < 1.0 ? 3.0 : x);
  return kOk;
}

}  // namespace kz::clp

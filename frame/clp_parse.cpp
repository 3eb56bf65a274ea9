// The option parser: tokens of the command buffer, the value forms, keyword
// matching, the leading (model) token with continuation lines and option
// files, the keyword loop and the checks that end a line.
#include <atomic>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "frame/clp.h"
#include "frame/clp_table.h"
#include "frame/output.h"

namespace kz::clp {

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::atomic<int16_t> gStagedListInput{0};
std::atomic<int16_t> gStagedMatList{1};
std::atomic<int16_t> gStagedMpsx{0};

// Option files named on one line, at most: a file that names itself must
// not expand for ever.
constexpr int kMaxOptionFiles = 16;

}  // namespace

Staged stagedValues() { return {gStagedListInput.load(), gStagedMatList.load(), gStagedMpsx.load()}; }
void setStagedListInput(int16_t v) { gStagedListInput.store(v); }
void setStagedMatList(int16_t v) { gStagedMatList.store(v); }
void setStagedMpsx(int16_t v) { gStagedMpsx.store(v); }

bool developmentMode() { return std::getenv("KZDevelopment") != nullptr; }

// ---- numbers and times ----

bool readNumber(const char* s, int n, char decimal, double* out, bool* percent) {
  bool pct = false;
  if (n > 0 && s[n - 1] == '%') {
    pct = true;
    --n;
  }
  if (n <= 0) return false;
  double v = 0.0;
  if (n == 1 && (s[0] == '+' || s[0] == '-')) {
    v = s[0] == '+' ? 1.0 : -1.0;
  } else {
    char buf[128];
    int k = 0, i = 0;
    auto put = [&](char c) {
      if (k >= static_cast<int>(sizeof buf) - 1) return false;
      buf[k++] = c;
      return true;
    };
    if (s[i] == '+' || s[i] == '-') {
      if (s[i] == '-' && !put('-')) return false;
      ++i;
    }
    int digits = 0;
    while (i < n && s[i] >= '0' && s[i] <= '9') {
      if (!put(s[i++])) return false;
      ++digits;
    }
    if (i < n && s[i] == decimal) {
      if (!put('.')) return false;
      ++i;
      while (i < n && s[i] >= '0' && s[i] <= '9') {
        if (!put(s[i++])) return false;
        ++digits;
      }
    }
    if (digits == 0) return false;
    if (i < n && (s[i] == 'D' || s[i] == 'd' || s[i] == 'E' || s[i] == 'e')) {
      if (!put('e')) return false;
      ++i;
      if (i < n && (s[i] == '+' || s[i] == '-')) {
        if (!put(s[i])) return false;
        ++i;
      }
      int ed = 0;
      while (i < n && s[i] >= '0' && s[i] <= '9') {
        if (!put(s[i++])) return false;
        ++ed;
      }
      if (ed == 0) return false;
    }
    if (i != n) return false;
    auto r = std::from_chars(buf, buf + k, v);
    if (r.ec != std::errc() || r.ptr != buf + k || !std::isfinite(v)) return false;
  }
  if (pct) v /= 100.0;
  *out = v;
  if (percent) *percent = pct;
  return true;
}

bool readTime(const char* s, int n, char decimal, double* seconds) {
  if (n <= 0) return false;
  if (!std::memchr(s, ':', static_cast<size_t>(n))) return readNumber(s, n, decimal, seconds, nullptr);
  double total = 0.0;
  int i = 0;
  while (i <= n) {
    int j = i;
    while (j < n && s[j] != ':') ++j;
    double field = 0.0;
    if (j > i && !readNumber(s + i, j - i, decimal, &field, nullptr)) return false;
    total = total * 60.0 + field;
    i = j + 1;
  }
  if (!std::isfinite(total)) return false;
  *seconds = total;
  return true;
}

// ---- keyword matching ----

namespace {

template <class NameAt>
int matchCore(int count, NameAt nameAt, const char* typed, int len) {
  char t[8];
  int limit = len < 8 ? len : 8;
  int l = 0;
  while (l < limit && typed[l] != ' ') {
    t[l] = upper(typed[l]);
    ++l;
  }
  for (int i = l; i < 8; ++i) t[i] = ' ';
  int found = -1;
  for (int e = 0; e < count; ++e) {
    const char* nm = nameAt(e);
    char en[8];
    int i = 0;
    for (; i < 8 && nm[i]; ++i) en[i] = nm[i];
    for (; i < 8; ++i) en[i] = ' ';
    if (std::memcmp(en, t, static_cast<size_t>(l)) != 0) continue;
    if (std::memcmp(en, t, 8) == 0) return e;
    if (found >= 0) return -1;
    found = e;
  }
  return found;
}

}  // namespace

int matchKeyword(const Keyword* table, int count, const char* typed, int len) {
  return matchCore(count, [table](int e) { return table[e].name; }, typed, len);
}

int matchName(const char* const* names, int count, const char* typed, int len) {
  return matchCore(count, [names](int e) { return names[e]; }, typed, len);
}

// ---- the line ----

Line::Line(ModelArea& area) : a(area) { reload(); }

void Line::reload() {
  int n = a.cmdLast + 1;
  if (n < 0) n = 0;
  if (n > kBufferChars) n = kBufferChars;
  int z = 0;
  while (z < n && a.cmd[z] != '\0') ++z;
  len_ = z;
  a.cmd[len_] = '\0';
  a.cmdLast = static_cast<int16_t>(len_ - 1);
  a.opt.cursor.last = a.cmdLast;
  if (cur_ > len_) cur_ = len_;
}

void Line::setCursor(int c) {
  cur_ = c < 0 ? 0 : (c > len_ ? len_ : c);
  a.opt.cursor.end = static_cast<int16_t>(cur_);
}

bool Line::peekToken(Span* t) const {
  int i = cur_;
  while (i < len_ && a.cmd[i] == ' ') ++i;
  if (i >= len_) return false;
  int j = i;
  while (j < len_ && a.cmd[j] != ' ') ++j;
  t->start = i;
  t->len = j - i;
  return true;
}

bool Line::nextToken(Span* t) {
  if (!peekToken(t)) {
    cur_ = len_;
    return false;
  }
  cur_ = t->end();
  a.opt.cursor.start = static_cast<int16_t>(t->start);
  a.opt.cursor.end = static_cast<int16_t>(cur_);
  return true;
}

Span Line::quotedSpan(int start, Span* inner) const {
  char q = at(start);
  int j = start + 1;
  while (j < len_ && a.cmd[j] != q) ++j;
  inner->start = start + 1;
  inner->len = j - inner->start;
  int stop = j < len_ ? j + 1 : len_;
  return Span{start, stop - start};
}

Span Line::quoted(Span tok, char q, Span* inner) {
  (void)q;
  Span whole = quotedSpan(tok.start, inner);
  setCursor(whole.end());
  return whole;
}

Span Line::parenList(int from) {
  int depth = 0;
  int j = from;
  for (; j < len_; ++j) {
    if (a.cmd[j] == '(') ++depth;
    if (a.cmd[j] == ')' && --depth == 0) {
      ++j;
      break;
    }
  }
  setCursor(j);
  return Span{from, j - from};
}

bool Line::replace(int start, int end, const char* s, int n) {
  if (start < 0 || end < start || end > len_ || n < 0) return false;
  int newLen = len_ - (end - start) + n;
  if (newLen > kBufferChars) return false;
  std::memmove(a.cmd + start + n, a.cmd + end, static_cast<size_t>(len_ - end));
  if (n) std::memcpy(a.cmd + start, s, static_cast<size_t>(n));
  for (int i = start; i < start + n; ++i)
    if (static_cast<unsigned char>(a.cmd[i]) < 32) a.cmd[i] = ' ';
  len_ = newLen;
  a.cmd[len_] = '\0';
  a.cmdLast = static_cast<int16_t>(len_ - 1);
  a.opt.cursor.last = a.cmdLast;
  if (cur_ > len_) cur_ = len_;
  return true;
}

// ---- values ----

Value evaluate(const Line& ln, Span tok) {
  Value v;
  v.tok = tok;
  const char* s = ln.text() + tok.start;
  v.number = readNumber(s, tok.len, ln.a.out.style.decimal, &v.num, &v.percent);
  v.first = tok.len > 0 ? upper(s[0]) : '\0';
  v.yes = v.first == 'Y';
  return v;
}

void storeName(char* field, int cap, const char* s, int n) {
  if (n > cap) n = cap;
  if (n < 0) n = 0;
  std::memcpy(field, s, static_cast<size_t>(n));
  for (int i = n; i < cap; ++i) field[i] = ' ';
  field[cap] = '\0';
}

bool storeText(char* field, int cap, const char* s, int n) {
  if (n > cap || n < 0) return false;
  std::memset(field, 0, static_cast<size_t>(cap) + 1);
  std::memcpy(field, s, static_cast<size_t>(n));
  return true;
}

namespace {

bool fits(double x, Store st) {
  switch (st) {
    case Store::kI16: return x >= -32768.0 && x <= 32767.0;
    case Store::kI32: return x >= -2147483648.0 && x <= 2147483647.0;
    case Store::kF64: return std::isfinite(x);
    default: return true;
  }
}

}  // namespace

void storeNumber(void* field, Store st, double v) {
  if (!field) return;
  // Saturating: a caller that skipped the range check still stores a value
  // of the field's own range.
  auto clampTo = [](double x, double lo, double hi) { return std::isnan(x) ? 0.0 : x < lo ? lo : x > hi ? hi : x; };
  switch (st) {
    case Store::kI16:
      *static_cast<int16_t*>(field) = static_cast<int16_t>(std::trunc(clampTo(v, -32768.0, 32767.0)));
      break;
    case Store::kI32:
      *static_cast<int32_t*>(field) = static_cast<int32_t>(std::trunc(clampTo(v, -2147483648.0, 2147483647.0)));
      break;
    case Store::kF64: *static_cast<double*>(field) = v; break;
    case Store::kChar: *static_cast<char*>(field) = static_cast<char>(v); break;
    default: break;
  }
}

double loadNumber(const void* field, Store st) {
  if (!field) return 0.0;
  switch (st) {
    case Store::kI16: return *static_cast<const int16_t*>(field);
    case Store::kI32: return *static_cast<const int32_t*>(field);
    case Store::kF64: return *static_cast<const double*>(field);
    case Store::kChar: return *static_cast<const char*>(field);
    default: return 0.0;
  }
}

// A number for keyword k: the 16-bit rule for 16-bit fields, then its range.
int rangedNumber(const Keyword& k, const Value& v, double* x) {
  if (!v.number) return kErrValue;
  double y = v.num;
  if (k.store == Store::kI16 && std::fabs(y) > 32767.0) y = -32000.0;
  if (!(y >= k.lo && y <= k.hi) || !fits(y, k.store)) return kErrValue;
  *x = y;
  return kOk;
}

// The text of a file or text value: quoted values run to the next quote.
Span textOf(Line& ln, Span tok) {
  if (ln.at(tok.start) != '"') return tok;
  Span inner;
  ln.quoted(tok, '"', &inner);
  return inner;
}

int applyByForm(Line& ln, const Keyword& k, Value& v) {
  void* f = k.field ? k.field(ln.a) : nullptr;
  const char* s = ln.text();
  switch (k.form) {
    case Form::kYesNo:
      if (v.first != 'Y' && v.first != 'N') return kErrYesNo;
      storeNumber(f, k.store, v.yes ? 1.0 : 0.0);
      return kOk;
    case Form::kNumber: {
      double x = 0.0;
      int rc = rangedNumber(k, v, &x);
      if (rc) return rc;
      storeNumber(f, k.store, x);
      return kOk;
    }
    case Form::kTime: {
      double x = 0.0;
      if (!readTime(s + v.tok.start, v.tok.len, ln.a.out.style.decimal, &x)) return kErrValue;
      if (!(x >= k.lo && x <= k.hi) || !fits(x, k.store)) return kErrValue;
      storeNumber(f, k.store, x);
      return kOk;
    }
    case Form::kName:
    case Form::kChars:
      if (f) storeName(static_cast<char*>(f), k.cap, s + v.tok.start, v.tok.len);
      return kOk;
    case Form::kFile:
    case Form::kText: {
      Span t = textOf(ln, v.tok);
      if (f && !storeText(static_cast<char*>(f), k.cap, s + t.start, t.len)) return kErrValue;
      if (!f && t.len > k.cap) return kErrValue;
      return kOk;
    }
    case Form::kChar: {
      char c = s[v.tok.start];
      if (c == '\'') {
        // A character in single quotes, which may be a blank.
        int at = v.tok.start + 1;
        if (at >= ln.length()) return kErrValue;
        c = s[at];
        ln.setCursor(ln.at(at + 1) == '\'' ? at + 2 : at + 1);
      }
      if (f) *static_cast<char*>(f) = c;
      return kOk;
    }
    case Form::kLetter: {
      const char* p = k.letters ? std::strchr(k.letters, v.first) : nullptr;
      if (!p || v.first == '\0') return kErrValue;
      storeNumber(f, k.store, static_cast<double>(p - k.letters));
      return kOk;
    }
    case Form::kAny:
    case Form::kSpecial:
      return kOk;
  }
  return kOk;
}

int applyKeyword(Line& ln, const Keyword& k, Value& v) {
  if (k.handler) return k.handler(ln, k, v);
  return applyByForm(ln, k, v);
}

// ---- the model file ----

namespace {

// The period that starts the extension of a name (in its last part), or -1.
int lastDot(const char* s, int n) {
  int dot = -1;
  for (int i = 0; i < n; ++i) {
    if (s[i] == '/' || s[i] == '\\' || s[i] == ':') dot = -1;
    if (s[i] == '.') dot = i;
  }
  return dot;
}

bool extensionIs(const char* s, int n, const char* ext) {
  int dot = lastDot(s, n);
  if (dot < 0) return false;
  int el = static_cast<int>(std::strlen(ext));
  if (n - dot - 1 != el) return false;
  for (int i = 0; i < el; ++i)
    if (upper(s[dot + 1 + i]) != ext[i]) return false;
  return true;
}

}  // namespace

int nameModelFile(Line& ln, const char* given, int n, const char* defExt, bool lts) {
  ModelArea& a = ln.a;
  // The name without quotes, for the marks and the FILENAME field.
  const char* body = given;
  int bl = n;
  if (bl > 0 && body[0] == '"') {
    ++body;
    --bl;
    const char* q = static_cast<const char*>(std::memchr(body, '"', static_cast<size_t>(bl)));
    if (q) bl = static_cast<int>(q - body);
  }
  if (bl <= 0 || bl > kClpFile - 1) return kErrValue;
  char given0[kClpFile + 2];
  std::memcpy(given0, given, static_cast<size_t>(n < kClpFile + 1 ? n : kClpFile + 1));
  given0[n < kClpFile + 1 ? n : kClpFile + 1] = '\0';
  if (buildFileName(a.files, kUnitModel, given0, defExt, a.opt.currentDir, a.serial, a.solves + 1) < 0)
    return kErrValue;
  const char* full = fileName(a.files, kUnitModel);
  int fl = static_cast<int>(std::strlen(full));
  // Drop the quotes a quoted name keeps.
  int fs = 0;
  if (fl > 0 && full[0] == '"') {
    fs = 1;
    fl -= (fl > 1 && full[fl - 1] == '"') ? 2 : 1;
  }
  storeText(a.opt.modelFile, kClpFile - 1, full + fs, fl);
  std::snprintf(a.out.modelFileName, sizeof a.out.modelFileName, "%s", a.opt.modelFile);
  int base = 0;
  for (int i = 0; i < bl; ++i)
    if (body[i] == '/' || body[i] == '\\' || body[i] == ':') base = i + 1;
  int dot = lastDot(body, bl);
  int stop = dot >= base ? dot : bl;
  storeText(a.opt.fileName, kClpFile - 1, body + base, stop - base);
  a.opt.modelIsMps = (!lts && extensionIs(body, bl, "MPS")) ? 1 : 0;
  a.opt.modelIsLts = (lts || extensionIs(body, bl, "LTS")) ? 1 : 0;
  ln.namedModel = true;
  return kOk;
}

namespace {

// ---- the leading token ----

// Writes "Enter Command Line?" to the window and reads the answer; a window
// without a typist, or no window, answers with an empty line.
std::string promptForLine(ModelArea& a) {
  ModelArea& r = a.routingArea();
  int16_t saved = r.out.destination;
  r.out.destination = kDestWindow;
  writeTextLine(a, "Enter Command Line?", kClassPrompt);
  r.out.destination = saved;
  if (a.window) return a.window->readTypedLine();
  return std::string();
}

bool blankFrom(const Line& ln, int from) {
  for (int i = from; i < ln.length(); ++i)
    if (ln.at(i) != ' ') return false;
  return true;
}

// Continuation: while the rest of the line ends in + or is empty, ask for
// more. A second empty answer ends the prompting. False: nothing is left.
bool completeLine(Line& ln, int* emptyAnswers) {
  for (;;) {
    int last = ln.length() - 1;
    while (last >= ln.cursor() && ln.at(last) == ' ') --last;
    bool empty = last < ln.cursor();
    bool plus = !empty && ln.at(last) == '+';
    if (!empty && !plus) return true;
    if (plus) ln.replace(last, last + 1, " ", 1);
    if (*emptyAnswers >= 2) return !blankFrom(ln, ln.cursor());
    std::string typed = promptForLine(ln.a);
    if (typed.empty()) {
      ++*emptyAnswers;
      continue;
    }
    std::string add = " " + typed;
    if (!ln.replace(ln.length(), ln.length(), add.c_str(), static_cast<int>(add.size())))
      return !blankFrom(ln, ln.cursor());
  }
}

// Reads an option file; its lines joined with single blanks. 1: cannot be
// opened; 2: too long for the buffer.
int readOptionFile(const char* name, std::string* joined) {
  std::FILE* fp = std::fopen(name, "rb");
  if (!fp) return 1;
  joined->clear();
  char buf[1024];
  bool lineStart = true;
  int rc = 0;
  while (std::fgets(buf, sizeof buf, fp)) {
    size_t n = std::strlen(buf);
    bool ended = n > 0 && buf[n - 1] == '\n';
    if (ended) --n;
    if (n > 0 && buf[n - 1] == '\r') --n;
    if (lineStart && !joined->empty()) joined->push_back(' ');
    for (size_t i = 0; i < n; ++i) {
      unsigned char c = static_cast<unsigned char>(buf[i]);
      joined->push_back(c < 32 ? ' ' : static_cast<char>(c));
    }
    lineStart = ended;
    if (joined->size() > static_cast<size_t>(kBufferChars)) {
      rc = 2;
      break;
    }
  }
  std::fclose(fp);
  return rc;
}

// Step 2: continuation lines, option files and the model token. The cursor
// is left where the keywords begin.
bool isOptionFileToken(const Line& ln, Span t) {
  Span name = t;
  if (ln.at(t.start) == '"') ln.quotedSpan(t.start, &name);
  return extensionIs(ln.text() + name.start, name.len, "CLP");
}

int leadingToken(Line& ln, bool defaultFile) {
  int emptyAnswers = 0;
  int files = 0;
  bool periodSeen = false;
  if (!completeLine(ln, &emptyAnswers)) {
    ln.stop();
    return kOk;
  }
  for (;;) {
    Span t;
    if (!ln.peekToken(&t)) return kOk;
    Span name = t;
    if (ln.at(t.start) == '"') t = ln.quotedSpan(t.start, &name);
    if (isOptionFileToken(ln, t)) {
      if (++files > kMaxOptionFiles) return kErrValue;
      char path[kClpFile + 1];
      int pl = name.len < kClpFile ? name.len : kClpFile;
      std::memcpy(path, ln.text() + name.start, static_cast<size_t>(pl));
      path[pl] = '\0';
      std::string joined;
      int rc = readOptionFile(path, &joined);
      if (rc == 2) return kErrValue;
      if (rc == 1 && !(defaultFile && files == 1)) return kErrValue;
      if (!ln.replace(t.start, t.end(), joined.data(), static_cast<int>(joined.size()))) return kErrValue;
      ln.setCursor(t.start);
      if (!completeLine(ln, &emptyAnswers)) {
        ln.stop();
        return kOk;
      }
      continue;
    }
    if (ln.at(t.start) == '.') {
      // No model file; an option file may still stand in the next token's place.
      ln.setCursor(t.end());
      periodSeen = true;
      Span u;
      if (!ln.peekToken(&u) || !isOptionFileToken(ln, u)) return kOk;
      continue;
    }
    if (periodSeen) return kOk;
    ln.setCursor(t.end());
    return nameModelFile(ln, ln.text() + t.start, t.len, "lp", false);
  }
}

// Step 3: keyword, value, apply; the first error ends the loop.
int keywordLoop(Line& ln) {
  int count = 0;
  const Keyword* table = mainTable(&count);
  while (!ln.stopped()) {
    Span kt;
    if (!ln.nextToken(&kt)) return kOk;
    int idx = matchKeyword(table, count, ln.text() + kt.start, kt.len);
    if (idx < 0) return kErrKeyword;
    Span vt;
    if (!ln.nextToken(&vt)) return kErrPremature;
    Value v = evaluate(ln, vt);
    int rc = applyKeyword(ln, table[idx], v);
    if (rc) return rc;
  }
  return kOk;
}

int destIndex(int16_t d) { return (d >= 0 && d <= 4) ? d : static_cast<int>(kDestWindow); }

// Deletes the activity file: the ACTIVITY name with extension "dat".
void deleteActivityFile(ModelArea& a) {
  const char* name = a.opt.activityFile;
  char path[2 * kClpFile + 8];
  bool hasDir = std::strpbrk(name, "/\\:") != nullptr;
  const char* dir = hasDir ? "" : a.opt.currentDir;
  size_t dl = std::strlen(dir);
  const char* sep = (dl == 0 || dir[dl - 1] == '/' || dir[dl - 1] == '\\' || dir[dl - 1] == ':') ? "" : "/";
  bool hasExt = lastDot(name, static_cast<int>(std::strlen(name))) >= 0;
  std::snprintf(path, sizeof path, "%s%s%s%s", dir, sep, name, hasExt ? "" : ".dat");
  std::remove(path);
}

struct Snapshot {
  PageSettings page[5];
  int16_t fieldSize;
  int16_t decimals;
};

// Step 4, in order. code is the loop's result; a later 208, 209 or 214
// replaces it. Settings that fail the page or field checks are not kept.
int endOfLine(Line& ln, int code, const Snapshot& before) {
  ModelArea& a = ln.a;
  OutputChannel& out = a.out;
  Options& o = a.opt;
  int dest = destIndex(out.destination);
  PageSettings& pg = out.page[dest];
  if (ln.pageSize >= 0) pg.pageSize = ln.pageSize;
  if (ln.topMargin >= 0) pg.topMargin = ln.topMargin;
  if (ln.bottomMargin >= 0) pg.bottomMargin = ln.bottomMargin;
  if (ln.leftMargin >= 0) pg.leftMargin = ln.leftMargin;
  if (ln.waits >= 0) pg.waits = ln.waits;
  if (ln.lineSize >= 0)
    for (auto& p : out.page) p.lineSize = ln.lineSize;

  if (code == kOk && ln.namedModel && o.activityFile[0]) deleteActivityFile(a);

  bool pageBad = false;
  for (int d = 1; d <= 4; ++d) {
    const PageSettings& p = out.page[d];
    if (p.pageSize >= 1 && p.pageSize - p.bottomMargin - p.topMargin < 20) {
      code = kErrPageSize;
      pageBad = true;
    }
    if (p.lineSize - p.leftMargin < 40) {
      code = kErrLineSize;
      pageBad = true;
    }
  }
  if (o.decimals + 1 >= o.fieldSize) {
    code = kErrDecimals;
    o.fieldSize = before.fieldSize;
    o.decimals = before.decimals;
  }
  if (pageBad)
    for (int d = 0; d < 5; ++d) {
      int16_t started = out.page[d].started;
      out.page[d] = before.page[d];
      out.page[d].started = started;
    }
  o.reportField = static_cast<int16_t>(o.fieldSize * 10 + o.decimals);

  // The work-file directory ends without a trailing backslash.
  size_t wl = std::strlen(o.workDir);
  while (wl > 1 && (o.workDir[wl - 1] == '\\' || o.workDir[wl - 1] == '/')) o.workDir[--wl] = '\0';

  if (ln.freqLogSeen && o.freqLogMode != 0) out.quiet = 0;
  if (!o.polling) pg.waits = 0;
  o.waits = pg.waits;

  if (ln.perturbSeen) {
    o.perturbNonZero = o.perturb != 0.0 ? 1 : 0;
    if (o.perturb < 0.0) {
      o.perturb = -o.perturb;
      o.perturbSign = 0;
    } else if (o.perturb > 0.0) {
      o.perturbSign = 1;
    }
  }

  if (ln.defaultsWanted) writeSettingsListing(a);

  int16_t d = out.destination;
  bool toFile = d >= kDestPrinter && d <= kDestFile;
  bool toOwnWindow = (d == kDestWindow || d == kDestWindow0) && a.ownWindow && a.window;
  if (toFile || toOwnWindow) {
    Staged s = stagedValues();
    out.inputListing = s.listInput;
    o.matList = s.matList;
    o.mpsxSolution = s.mpsxSolution;
  } else {
    out.inputListing = 0;
    o.matList = 1;
    o.mpsxSolution = 0;
  }
  return code;
}

}  // namespace

// Parses the command buffer as one line.
int parseLine(ModelArea& a) {
  a.fnValue = 0;
  Line ln(a);
  bool defaultFile = false;
  if (blankFrom(ln, 0)) {
    char name[16];
    int n = 0;
    while (n < 8 && a.opt.defaultClp[n] && a.opt.defaultClp[n] != ' ') ++n;
    std::memcpy(name, a.opt.defaultClp, static_cast<size_t>(n));
    std::memcpy(name + n, ".clp", 4);
    ln.replace(0, ln.length(), name, n + 4);
    defaultFile = true;
  }
  Snapshot before;
  for (int d = 0; d < 5; ++d) before.page[d] = a.out.page[d];
  before.fieldSize = a.opt.fieldSize;
  before.decimals = a.opt.decimals;

  int code = leadingToken(ln, defaultFile);
  if (code == kOk && !ln.stopped()) code = keywordLoop(ln);
  code = endOfLine(ln, code, before);
  if (code != kOk) {
    a.irc = code;
    a.fnValue = 1;
  }
  return code;
}

}  // namespace kz::clp

namespace kz {

int16_t parseCommandBuffer(ModelArea& a) {
  clp::parseLine(a);
  return a.fnValue;
}

}  // namespace kz

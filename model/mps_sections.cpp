// The sections of an MPS file: NAME and OBJSENSE, ROWS, COLUMNS, RHS,
// RANGES, BOUNDS, QUADOBJ, SOS and ENDATA, in free format (words separated
// by blanks) and in fixed format (fields by columns).
#include <cmath>
#include <cstdio>
#include <cstring>

#include "frame/clp_table.h"
#include "model/mps_reader.h"
#include "model/store.h"

namespace kz::mps {

namespace {

char upperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool startsWith(const char* s, int n, const char* w) {
  const int k = static_cast<int>(std::strlen(w));
  if (n < k) return false;
  for (int i = 0; i < k; ++i)
    if (upperChar(s[i]) != w[i]) return false;
  return true;
}

bool wordIs(const Word& w, const char* lit) {
  const int k = static_cast<int>(std::strlen(lit));
  return w.n == k && std::memcmp(w.p, lit, static_cast<size_t>(k)) == 0;
}

bool wordEndsWith(const Word& w, const char* lit) {
  const int k = static_cast<int>(std::strlen(lit));
  return w.n >= k && std::memcmp(w.p + w.n - k, lit, static_cast<size_t>(k)) == 0;
}

bool isSection(Next k) {
  return k == Next::kRhs || k == Next::kRanges || k == Next::kBounds || k == Next::kQuadobj || k == Next::kSos ||
         k == Next::kEndata;
}

constexpr Word kNoWord{"", 0, 0};

}  // namespace

// ---- lines and words ----

void Reader::splitWords() {
  wordCount_ = 0;
  const char* s = in_.line();
  const int n = in_.length();
  int i = 0;
  while (i < n && wordCount_ < kMaxWords) {
    while (i < n && s[i] == ' ') ++i;
    if (i >= n) break;
    const int b = i;
    while (i < n && s[i] != ' ') ++i;
    words_[wordCount_++] = Word{s + b, i - b, b};
  }
}

Next Reader::headerKind() const {
  if (in_.at(0) == ' ') return Next::kData;
  const char* s = in_.line();
  int n = 0;
  while (n < in_.length() && s[n] != ' ') ++n;
  if (startsWith(s, n, "NAME")) return Next::kName;
  if (startsWith(s, n, "OBJSENSE")) return Next::kObjsense;
  if (startsWith(s, n, "ROW")) return Next::kRows;
  if (startsWith(s, n, "COLUMN")) return Next::kColumns;
  if (startsWith(s, n, "RHS")) return Next::kRhs;
  if (startsWith(s, n, "RANG")) return Next::kRanges;
  if (startsWith(s, n, "BOUN")) return Next::kBounds;
  if (startsWith(s, n, "QUADOBJ")) return q_.quadratic ? Next::kQuadobj : Next::kUnknown;
  if (startsWith(s, n, "SOS")) return q_.sos ? Next::kSos : Next::kUnknown;
  if (startsWith(s, n, "END")) return Next::kEndata;
  return Next::kUnknown;
}

Next Reader::nextLine() {
  switch (in_.next()) {
    case LineRead::kLine:
      splitWords();
      return headerKind();
    case LineRead::kEnd:
      return Next::kEnd;
    case LineRead::kError:
    default:
      if (!firstError_) firstError_ = in_.code();
      return Next::kFail;
  }
}

Word Reader::field(int from, int to) const {
  const char* s = in_.line();
  int b = from - 1;
  int e = to;
  const int len = in_.length();
  if (e > len) e = len;
  if (b >= e) return Word{s + (b < len ? b : len), 0, b};
  while (e > b && s[e - 1] == ' ') --e;
  return Word{s + b, e - b, b};
}

bool Reader::blankField(int from, int to) const {
  for (int k = from - 1; k < to; ++k)
    if (in_.at(k) != ' ') return false;
  return true;
}

bool Reader::number(const Word& w, double* v) const {
  const char* p = w.p;
  int n = w.n;
  while (n > 0 && *p == ' ') {
    ++p;
    --n;
  }
  while (n > 0 && p[n - 1] == ' ') --n;
  char buf[sizeof join_];
  if (n > 1 && (p[0] == '+' || p[0] == '-') && p[1] == ' ') {
    // A sign separated from its number by blanks.
    int k = 1;
    while (k < n && p[k] == ' ') ++k;
    if (n - k + 1 >= static_cast<int>(sizeof buf)) return false;
    buf[0] = p[0];
    std::memcpy(buf + 1, p + k, static_cast<size_t>(n - k));
    n = n - k + 1;
    p = buf;
  }
  return clp::readNumber(p, n, decimal_, v, nullptr);
}

void Reader::makeKey(const char* p, int n, int width, char* key) const {
  const int k = n < width ? n : width;
  if (caseSensitive_) {
    std::memcpy(key, p, static_cast<size_t>(k));
  } else {
    for (int i = 0; i < k; ++i) key[i] = upperChar(p[i]);
  }
  if (k < width) std::memset(key + k, ' ', static_cast<size_t>(width - k));
}

int32_t Reader::lookup(NameTable& t, const Word& w) {
  if (w.n <= 0) return -1;
  if ((w.p[0] == '"' || w.p[0] == '\'') && (w.n == 1 || w.p[1] == ' ')) return t.slots[w.p[0] == '"' ? -2 : -1];
  if (w.n > 3 && w.p[0] == '~' && w.p[1] == '(') {
    int64_t v = 0;
    int k = 2;
    while (k < w.n && k < 10 && w.p[k] >= '0' && w.p[k] <= '9') v = v * 10 + (w.p[k++] - '0');
    if (k > 2 && k < w.n && k < 10 && w.p[k] == ')') return v < t.count ? static_cast<int32_t>(v) : -1;
  }
  makeKey(w.p, w.n, t.width, key2_);
  const int32_t pos = tableFind(t, key2_);
  if (pos >= 0 && pos != t.slots[-2]) {
    t.slots[-1] = t.slots[-2];
    t.slots[-2] = pos;
  }
  return pos;
}

bool Reader::isMarker(int* which) const {
  Word mark = kNoWord;
  if (fixed_) {
    if (in_.length() < 22) return false;
    const Word w = field(15, 22);
    if (!wordIs(w, "'MARKER'")) return false;
    const Word kind = field(44, 47);
    *which = wordIs(kind, "ORG'") ? 1 : wordIs(kind, "END'") ? 2 : 0;
    return true;
  }
  if (wordCount_ < 2 || !wordIs(words_[1], "'MARKER'")) return false;
  if (wordCount_ >= 3) mark = words_[2];
  *which = wordEndsWith(mark, "ORG'") ? 1 : wordEndsWith(mark, "END'") ? 2 : 0;
  return true;
}

// Whether a line of set `set` is read: the selection option names it, or
// says "?" and this is the first set met (the option then names it until
// the read ends).
bool Reader::selected(char* option, char* saved, bool* savedFlag, const Word* set) {
  // A free-format line without a set name belongs to the set being read.
  if (!set) return true;
  char name[8];
  std::memset(name, ' ', sizeof name);
  if (set)
    for (int k = 0; k < set->n && k < 8; ++k) name[k] = upperChar(set->p[k]);
  bool any = option[0] == '?';
  for (int k = 1; k < 8 && any; ++k)
    if (option[k] != ' ') any = false;
  if (any) {
    if (!*savedFlag) {
      std::memcpy(saved, option, 8);
      *savedFlag = true;
    }
    std::memcpy(option, name, 8);
    return true;
  }
  for (int k = 0; k < 8; ++k)
    if (upperChar(option[k]) != name[k]) return false;
  return true;
}

// ---- NAME and OBJSENSE ----

Next Reader::readHead() {
  progress("Reading NAME");
  Next k;
  for (;;) {
    k = nextLine();
    if (k == Next::kFail) return k;
    if (k == Next::kEnd) return fail(in_.delivered() <= 1 ? kMpsNoFile : kMpsIncomplete);
    if (k == Next::kRows) return Next::kRows;
    if (k == Next::kName) break;
  }
  // The title: columns 15 to 72 in fixed format, the rest of the line in free.
  {
    int b = fixed_ ? 14 : (wordCount_ > 1 ? words_[1].col : in_.length());
    int e = in_.length() < 72 ? in_.length() : 72;
    if (!fixed_) e = in_.length();
    while (b < e && in_.at(b) == ' ') ++b;
    while (e > b && in_.at(e - 1) == ' ') --e;
    int t = e - b;
    if (t > 58) t = 58;
    if (t < 0) t = 0;
    std::memset(title_, 0, sizeof title_);
    if (t > 0) std::memcpy(title_, in_.line() + b, static_cast<size_t>(t));
  }
  k = nextLine();
  if (k == Next::kObjsense && q_.objsense) {
    Word sense = kNoWord;
    if (wordCount_ > 1) {
      sense = words_[1];
    } else {
      k = nextLine();
      if (k == Next::kFail) return k;
      if (k == Next::kEnd) return fail(kMpsIncomplete);
      if (wordCount_ > 0) sense = words_[0];
    }
    a_.opt.maximize = (sense.n >= 2 && upperChar(sense.p[0]) == 'M' && upperChar(sense.p[1]) == 'A') ? 1 : 0;
    k = nextLine();
  }
  if (k == Next::kFail) return k;
  if (k == Next::kEnd) return fail(in_.delivered() <= 1 ? kMpsNoFile : kMpsIncomplete);
  if (k != Next::kRows) return fail(kMpsIncomplete, words_[0].p, words_[0].n);
  return Next::kRows;
}

// ---- ROWS ----

Next Reader::defineRow(char type, const Word& name) {
  type = upperChar(type);
  uint32_t kind;
  double lo, up;
  switch (type) {
    case 'L': kind = kRowL; lo = -kInfOut; up = 0.0; break;
    case 'E': kind = kRowE; lo = 0.0; up = 0.0; break;
    case 'G': kind = kRowG; lo = 0.0; up = kInfOut; break;
    case 'N': kind = kRowN; lo = -kInfOut; up = kInfOut; break;
    default: return fail(kMpsRowType, &type, 1);
  }
  makeKey(name.p, name.n, rnlen_, key_);
  if (type == 'N') {
    // The library's own rows of priorities and increments are no rows.
    makeKey("KZ_INCRE", 8, rnlen_, curKey_);
    if (std::memcmp(key_, curKey_, static_cast<size_t>(rnlen_)) == 0) return Next::kData;
    makeKey("KZ_PRIOR", 8, rnlen_, curKey_);
    if (std::memcmp(key_, curKey_, static_cast<size_t>(rnlen_)) == 0) return Next::kData;
  }
  const int32_t found = tableFind(rows_, key_);
  const bool placeholder = found == 0 && !objDefined_;
  if (found >= 0 && !placeholder) {
    warn(kMpsWarnDuplicateRow, name.p, name.n);
    return Next::kData;
  }
  if (type == 'N' && !objDefined_) {
    char* opt = a_.opt.mpsObjective;
    bool any = opt[0] == '?';
    for (int k = 1; k < 8 && any; ++k)
      if (opt[k] != ' ') any = false;
    bool wanted = any;
    if (!any) {
      int on = 8;
      while (on > 0 && opt[on - 1] == ' ') --on;
      makeKey(opt, on, rnlen_, curKey_);
      wanted = std::memcmp(key_, curKey_, static_cast<size_t>(rnlen_)) == 0;
    }
    if (wanted) {
      std::memcpy(rowNames_, key_, static_cast<size_t>(rnlen_));
      if (!placeholder && !tableInsert(rows_, key_, 0)) return fail(kMpsNoMemory);
      objDefined_ = true;
      rowKind_[0] = kRowN;
      if (any) {
        std::memcpy(savedObj_, opt, 8);
        setObj_ = true;
        std::memset(opt, ' ', 8);
        for (int k = 0; k < name.n && k < 8; ++k) opt[k] = upperChar(name.p[k]);
      }
      return Next::kData;
    }
  }
  if (m_ >= q_.maxrow) return fail(kMpsTooManyRows, name.p, name.n);
  const int32_t r = m_++;
  std::memcpy(rowNames_ + int64_t{r} * rnlen_, key_, static_cast<size_t>(rnlen_));
  if (placeholder)
    tableReplace(rows_, key_, 0, r);
  else if (!tableInsert(rows_, key_, r))
    return fail(kMpsNoMemory);
  rows_.count = m_;
  rowKind_[r] = kind;
  q_.bndmin[int64_t{q_.maxcol} + r] = lo;
  q_.bndmax[int64_t{q_.maxcol} + r] = up;
  return Next::kData;
}

Next Reader::readRows() {
  if (fixed_) progress("Reading ROWS");
  int32_t read = 0;
  for (;;) {
    Next k = nextLine();
    if (k == Next::kFail) return k;
    if (k == Next::kEnd) return fail(in_.delivered() <= 1 ? kMpsNoFile : kMpsIncomplete);
    if (k == Next::kColumns) break;
    if (k != Next::kData) {
      // A free-format row line may start in column 1 with its type letter.
      if (!(k == Next::kUnknown && !fixed_ && words_[0].n == 1))
        return fail(k == Next::kUnknown ? kMpsBadLine : kMpsIncomplete, words_[0].p, words_[0].n);
    }
    if (in_.length() <= 3) continue;
    int which = 0;
    if (isMarker(&which)) {
      if (which == 0) return fail(kMpsBadLine);
      continue;
    }
    char type;
    Word name;
    if (fixed_) {
      type = in_.at(1) != ' ' ? in_.at(1) : in_.at(2);
      name = field(5, 12);
    } else {
      if (wordCount_ < 2) return fail(kMpsRowType, words_[0].p, words_[0].n);
      type = words_[0].p[0];
      name = words_[1];
    }
    if (defineRow(type, name) == Next::kFail) return Next::kFail;
    ++read;
  }
  // A model without any row line is incomplete; an objective alone is a model.
  if (read == 0) return fail(kMpsIncomplete);
  return Next::kColumns;
}

// ---- COLUMNS ----

Next Reader::newColumn(const Word& name) {
  makeKey(name.p, name.n, cnlen_, key_);
  if (tableFind(cols_, key_) >= 0) return fail(kMpsSplitColumn, name.p, name.n);
  if (n_ >= q_.maxcol) return fail(kMpsTooManyColumns, name.p, name.n);
  const int32_t j = n_++;
  std::memcpy(colNames_ + int64_t{j} * cnlen_, key_, static_cast<size_t>(cnlen_));
  if (!tableInsert(cols_, key_, j)) return fail(kMpsNoMemory);
  cols_.count = n_;
  std::memcpy(curKey_, key_, static_cast<size_t>(cnlen_));
  q_.colptr[j] = nnz_ + base_;
  colKind_[j] = integerMarker_ ? kColInteger : 0;
  q_.bndmin[j] = a_.opt.lbColumn;
  q_.bndmax[j] = a_.opt.ubColumn;
  CallerArrays& at = a_.store.attached;
  if (at.priority) at.priority[j] = kNoPriority;
  if (at.increment) at.increment[j] = 1.0;
  return Next::kData;
}

Next Reader::columnPair(const Word& rw, const Word* vw) {
  const int32_t r = lookup(rows_, rw);
  const int32_t j = n_ - 1;
  if (r < 0) {
    makeKey(rw.p, rw.n, 8, key_);
    if (std::memcmp(key_, "'SCALE' ", 8) == 0 && rw.n == 7) return Next::kData;
    CallerArrays& at = a_.store.attached;
    if (rw.n == 8 && std::memcmp(key_, "KZ_PRIOR", 8) == 0) {
      double v = 0.0;
      if (vw && !number(*vw, &v)) return fail(kMpsNotNumber, vw->p, vw->n);
      if (at.priority) {
        double t = std::trunc(v);
        if (t > 32767.0) t = 32767.0;
        if (t < -32768.0) t = -32768.0;
        at.priority[j] = static_cast<int16_t>(t);
      }
      return Next::kData;
    }
    if (rw.n == 8 && std::memcmp(key_, "KZ_INCRE", 8) == 0) {
      if (!at.increment) return Next::kData;
      double v = 0.0;
      if (vw && startsWith(vw->p, vw->n, "FIBON")) {
        v = kIncFibonacci;
      } else if (vw && startsWith(vw->p, vw->n, "PRIME")) {
        v = kIncPrimes;
      } else if (vw && startsWith(vw->p, vw->n, "FACTO")) {
        v = kIncFactorials;
      } else if (vw && !number(*vw, &v)) {
        return fail(kMpsNotNumber, vw->p, vw->n);
      }
      at.increment[j] = v;
      return Next::kData;
    }
    warn(kMpsWarnUnknownRow, rw.p, rw.n);
    return Next::kData;
  }
  double v = 0.0;
  if (vw && vw->n > 0 && !number(*vw, &v)) return fail(kMpsNotNumber, vw->p, vw->n);
  if (rowMark_[r] == j) return fail(kMpsDuplicateEntry, rw.p, rw.n);
  rowMark_[r] = j;
  if (std::fabs(v) < tcTolerance_) return Next::kData;
  // Room stays for one logical entry per row.
  if (int64_t{nnz_} + 1 > int64_t{q_.maxnon} - m_) return fail(kMpsTooManyNonzeros, rw.p, rw.n);
  q_.a[nnz_] = v;
  q_.rownos[nnz_] = r;
  ++nnz_;
  return Next::kData;
}

Next Reader::readColumns() {
  if (fixed_) {
    progress("Reading COLUMNS");
  } else {
    char buf[128];
    std::snprintf(buf, sizeof buf, "Reading COLUMNS...ROW=%d COLUMN=%d NONZRO=%d", m_, n_, nnz_);
    progress(buf);
  }
  for (;;) {
    Next k = nextLine();
    if (k == Next::kFail) return k;
    if (k == Next::kEnd) return fail(kMpsIncomplete);
    if (k != Next::kData) {
      if (!isSection(k)) return fail(kMpsBadLine, words_[0].p, words_[0].n);
      q_.colptr[n_] = nnz_ + base_;
      return k;
    }
    int which = 0;
    if (isMarker(&which)) {
      if (which == 1)
        integerMarker_ = true;
      else if (which == 2)
        integerMarker_ = false;
      else
        warn(kMpsWarnMarker);
      continue;
    }
    const Word name = fixed_ ? field(5, 12) : words_[0];
    makeKey(name.p, name.n, cnlen_, key_);
    if (n_ == 0 || std::memcmp(key_, curKey_, static_cast<size_t>(cnlen_)) != 0)
      if (newColumn(name) == Next::kFail) return Next::kFail;
    if (fixed_) {
      if (!blankField(15, 22)) {
        const Word v = field(25, 36);
        if (columnPair(field(15, 22), &v) == Next::kFail) return Next::kFail;
      }
      if (!blankField(40, 47)) {
        const Word v = field(50, 61);
        if (columnPair(field(40, 47), &v) == Next::kFail) return Next::kFail;
      }
    } else {
      for (int i = 1; i < wordCount_; i += 2)
        if (columnPair(words_[i], i + 1 < wordCount_ ? &words_[i + 1] : nullptr) == Next::kFail)
          return Next::kFail;
    }
  }
}

// ---- RHS and RANGES ----

Next Reader::readRhs() {
  if (fixed_) {
    progress("Reading RHS");
  } else {
    char buf[128];
    std::snprintf(buf, sizeof buf, "Reading RHS...ROW=%d COLUMN=%d NONZRO=%d", m_, n_, nnz_);
    progress(buf);
  }
  return readRhsOrRanges(false);
}

Next Reader::readRanges() {
  if (fixed_) {
    progress("Reading RANGES");
  } else {
    char buf[128];
    std::snprintf(buf, sizeof buf, "Reading RANGES...ROW=%d COLUMN=%d NONZRO=%d", m_, n_, nnz_);
    progress(buf);
  }
  return readRhsOrRanges(true);
}

// A row value of RHS or RANGES.
Next Reader::rowValue(const Word& rw, const Word* vw, bool ranges) {
  const int32_t r = lookup(rows_, rw);
  if (r < 0) {
    warn(kMpsWarnUnknownRow, rw.p, rw.n);
    return Next::kData;
  }
  double v = 0.0;
  if (vw && vw->n > 0 && !number(*vw, &v)) return fail(kMpsNotNumber, vw->p, vw->n);
  const int64_t at = int64_t{q_.maxcol} + r;
  const uint32_t kind = rowKind_[r];
  if (!ranges) {
    if (r == 0 || kind == kRowE) {
      q_.bndmin[at] = v;
      q_.bndmax[at] = v;
    } else if (kind == kRowL) {
      q_.bndmax[at] = v;
    } else if (kind == kRowG) {
      q_.bndmin[at] = v;
    }
    return Next::kData;
  }
  if (r == 0 || kind == kRowN) {
    warn(kMpsWarnRangeFree, rw.p, rw.n);
    return Next::kData;
  }
  if (kind == kRowL || kind == kRowG || kind == kRowE) {
    rowRange_[r] = v;
    anyRange_ = true;
  }
  return Next::kData;
}

Next Reader::readRhsOrRanges(bool ranges) {
  char* option = ranges ? a_.opt.mpsRanges : a_.opt.mpsRhs;
  char* saved = ranges ? savedRanges_ : savedRhs_;
  bool* flag = ranges ? &setRanges_ : &setRhs_;
  for (;;) {
    Next k = nextLine();
    if (k == Next::kFail) return k;
    if (k == Next::kEnd) {
      warn(kMpsWarnNoEndata);
      return Next::kEnd;
    }
    if (k != Next::kData) {
      if (!isSection(k)) return fail(kMpsBadLine, words_[0].p, words_[0].n);
      return k;
    }
    int which = 0;
    if (isMarker(&which)) continue;
    if (fixed_) {
      const Word set = field(5, 12);
      if (!selected(option, saved, flag, &set)) continue;
      if (!blankField(15, 22)) {
        const Word v = field(25, 36);
        if (rowValue(field(15, 22), &v, ranges) == Next::kFail) return Next::kFail;
      }
      if (!blankField(40, 47)) {
        const Word v = field(50, 61);
        if (rowValue(field(40, 47), &v, ranges) == Next::kFail) return Next::kFail;
      }
      continue;
    }
    // The set name comes first, unless the line is pairs alone: an even
    // count of words that starts with a known row and a number.
    int first = 1;
    const Word* set = &words_[0];
    double dummy;
    if (wordCount_ % 2 == 0) {
      makeKey(words_[0].p, words_[0].n, rnlen_, key_);
      if (tableFind(rows_, key_) >= 0 && number(words_[1], &dummy)) {
        first = 0;
        set = nullptr;
      }
    }
    if (!selected(option, saved, flag, set)) continue;
    for (int i = first; i < wordCount_; i += 2)
      if (rowValue(words_[i], i + 1 < wordCount_ ? &words_[i + 1] : nullptr, ranges) == Next::kFail)
        return Next::kFail;
  }
}

void Reader::applyRanges() {
  if (!anyRange_) return;
  for (int32_t r = 1; r < m_; ++r) {
    const double R = rowRange_[r];
    if (std::isnan(R)) continue;
    const int64_t at = int64_t{q_.maxcol} + r;
    double& lo = q_.bndmin[at];
    double& up = q_.bndmax[at];
    const bool infinite = std::fabs(R) >= kInfTest;
    const uint32_t kind = rowKind_[r];
    if (kind == kRowG || (kind == kRowE && R >= 0.0)) {
      up = infinite ? kInfOut : lo + std::fabs(R);
    } else if (kind == kRowL || kind == kRowE) {
      lo = infinite ? -kInfOut : up - std::fabs(R);
    }
  }
  anyRange_ = false;
}

// ---- BOUNDS ----

Next Reader::readBounds() {
  if (fixed_) {
    progress("Reading BOUNDS");
  } else {
    char buf[128];
    std::snprintf(buf, sizeof buf, "Reading BOUNDS...ROW=%d COLUMN=%d NONZRO=%d", m_, n_, nnz_);
    progress(buf);
  }
  static const char* const kTypes[] = {"UP", "FX", "LO", "FR", "MI", "PL", "BV", "UI", "SC", "SD", "LI"};
  for (;;) {
    Next k = nextLine();
    if (k == Next::kFail) return k;
    if (k == Next::kEnd) {
      warn(kMpsWarnNoEndata);
      return Next::kEnd;
    }
    if (k != Next::kData) {
      if (!isSection(k)) return fail(kMpsBadLine, words_[0].p, words_[0].n);
      return k;
    }
    char type[2];
    Word typeWord;
    if (fixed_) {
      typeWord = Word{in_.line() + 1, 2, 1};
    } else {
      typeWord = words_[0];
    }
    int t = -1;
    if (typeWord.n == 2) {
      type[0] = upperChar(typeWord.p[0]);
      type[1] = upperChar(typeWord.p[1]);
      for (int i = 0; i < 11; ++i)
        if (type[0] == kTypes[i][0] && type[1] == kTypes[i][1]) t = i;
    }
    if (t < 0) {
      record(kMpsBoundType, typeWord.p, typeWord.n);
      continue;
    }
    const Word* set = nullptr;
    Word col = kNoWord, val = kNoWord, setField = kNoWord;
    bool hasVal = false;
    if (fixed_) {
      setField = field(5, 12);
      set = &setField;
      col = field(15, 22);
      val = field(25, 36);
      hasVal = val.n > 0;
    } else {
      const int after = wordCount_ - 1;
      if (after <= 0) continue;
      // A set name, then the column, then the value; a line of the column
      // alone, or of a known column and a number, has no set name.
      int c = 1;
      bool withSet = after > 1;
      if (withSet && after == 2 && t != 3 && t != 5) {
        double dummy;
        makeKey(words_[1].p, words_[1].n, cnlen_, key_);
        if (tableFind(cols_, key_) >= 0 && number(words_[2], &dummy)) withSet = false;
      }
      if (withSet) {
        set = &words_[1];
        c = 2;
      }
      col = words_[c];
      if (c + 1 < wordCount_) {
        val = words_[c + 1];
        hasVal = true;
        if (val.n == 1 && (val.p[0] == '+' || val.p[0] == '-') && c + 2 < wordCount_) {
          const Word& nx = words_[c + 2];
          if (nx.n + 1 < static_cast<int>(sizeof join_)) {
            join_[0] = val.p[0];
            std::memcpy(join_ + 1, nx.p, static_cast<size_t>(nx.n));
            val = Word{join_, nx.n + 1, val.col};
          }
        }
      }
    }
    if (!selected(a_.opt.mpsBounds, savedBounds_, &setBounds_, set)) continue;
    const int32_t j = lookup(cols_, col);
    if (j < 0) {
      warn(kMpsWarnUnknownColumn, col.p, col.n);
      continue;
    }
    double v = 0.0;
    if (hasVal && !number(val, &v)) return fail(kMpsNotNumber, val.p, val.n);
    double& L = q_.bndmin[j];
    double& U = q_.bndmax[j];
    uint32_t& kind = colKind_[j];
    const bool mpsx = a_.opt.mpsxCompatible != 0;
    switch (t) {
      case 0:  // UP
        if (mpsx && L == 0.0 && v == 0.0) L = -kInfOut;
        U = v;
        break;
      case 1:  // FX
        L = v;
        U = v;
        break;
      case 2:  // LO
        L = v;
        break;
      case 3:  // FR
        L = -kInfOut;
        U = kInfOut;
        break;
      case 4:  // MI
        L = -kInfOut;
        U = -std::fabs(v);
        break;
      case 5:  // PL
        U = kInfOut;
        break;
      case 6:  // BV
        U = v == 0.0 ? 1.0 : v;
        kind |= kColInteger;
        break;
      case 7:  // UI
        if (mpsx && L == 0.0 && v == 0.0) L = -1e12;
        U = v;
        kind |= kColInteger;
        break;
      case 8:  // SC
        L = v;
        kind = (kind | kColSemi) & ~kColSemi2;
        break;
      case 9:  // SD
        if ((kind & (kColSemi | kColSemi2)) != kColSemi) {
          L = v;
          kind |= kColSemi | kColSemi2;
        }
        break;
      case 10:  // LI
        L = v;
        kind |= kColInteger;
        if (U >= kInfTest) U = 16777216.0;
        break;
      default:
        break;
    }
  }
}

// ---- QUADOBJ ----

Next Reader::readQuadobj() {
  char buf[160];
  std::snprintf(buf, sizeof buf, "Reading QUADOBJ...MaxQP=%d COLUMN=%d NONZRO=%d", q_.maxqp, n_, nnz_);
  progress(buf);
  for (;;) {
    Next k = nextLine();
    if (k == Next::kFail) return k;
    if (k == Next::kEnd) {
      warn(kMpsWarnNoEndata);
      return Next::kEnd;
    }
    if (k != Next::kData) {
      if (!isSection(k)) return fail(kMpsBadLine, words_[0].p, words_[0].n);
      return k;
    }
    Word c1, c2, val = kNoWord;
    if (fixed_) {
      c1 = field(5, 12);
      c2 = field(15, 22);
      val = field(25, 36);
    } else {
      c1 = words_[0];
      c2 = wordCount_ > 1 ? words_[1] : kNoWord;
      if (wordCount_ > 2) val = words_[2];
    }
    const int32_t j1 = lookup(cols_, c1);
    if (j1 < 0) {
      warn(kMpsWarnUnknownColumn, c1.p, c1.n);
      continue;
    }
    const int32_t j2 = lookup(cols_, c2);
    if (j2 < 0) {
      warn(kMpsWarnUnknownColumn, c2.p, c2.n);
      continue;
    }
    double v = 0.0;
    if (val.n > 0 && !number(val, &v)) {
      record(kMpsNotNumber, val.p, val.n);
      continue;
    }
    if (qpCount_ < q_.maxqp) {
      q_.qpCol1[qpCount_] = j1;
      q_.qpCol2[qpCount_] = j2;
      q_.qpCoef[qpCount_] = v;
    } else if (qpCount_ == q_.maxqp) {
      record(kMpsTooManyQuadratic, c1.p, c1.n);
    }
    ++qpCount_;
  }
}

// ---- SOS ----

// Gives every column one spare entry at its end (row -1, value 0).
bool Reader::addSpareSlots() {
  if (int64_t{nnz_} + n_ + m_ > q_.maxnon) return false;
  q_.colptr[n_] = nnz_ + base_;
  for (int32_t j = n_ - 1; j >= 0; --j) {
    const int32_t b = q_.colptr[j] - base_, e = q_.colptr[j + 1] - base_;
    const int32_t shift = j;  // columns before j gained one slot each
    const int32_t end = e + j + 1;
    if (e > b) {
      std::memmove(q_.a + b + shift, q_.a + b, static_cast<size_t>(e - b) * sizeof(double));
      std::memmove(q_.rownos + b + shift, q_.rownos + b, static_cast<size_t>(e - b) * sizeof(int32_t));
    }
    q_.a[end - 1] = 0.0;
    q_.rownos[end - 1] = -1;
    q_.colptr[j + 1] = end + base_;
  }
  nnz_ += n_;
  spares_ = true;
  return true;
}

void Reader::dropSpareSlots() {
  int32_t out = 0;
  for (int32_t j = 0; j < n_; ++j) {
    const int32_t b = q_.colptr[j] - base_, e = q_.colptr[j + 1] - base_;
    q_.colptr[j] = out + base_;
    for (int32_t p = b; p < e; ++p) {
      if (q_.rownos[p] < 0) continue;
      q_.a[out] = q_.a[p];
      q_.rownos[out] = q_.rownos[p];
      ++out;
    }
  }
  q_.colptr[n_] = out + base_;
  nnz_ = out;
  spares_ = false;
}

Next Reader::readSos() {
  progress("Reading SOS Section.");
  Next result = Next::kEnd;
  for (;;) {
    Next k = nextLine();
    if (k == Next::kFail) return k;
    if (k == Next::kEnd) {
      warn(kMpsWarnNoEndata);
      break;
    }
    if (k != Next::kData) {
      if (startsWith(in_.line(), in_.length(), "INDICATOR")) continue;
      if (!isSection(k)) return fail(kMpsBadLine, words_[0].p, words_[0].n);
      result = k;
      break;
    }
    if (!spares_ && !addSpareSlots()) return fail(kMpsTooManyNonzeros);
    if (in_.at(1) != ' ') {
      // A set header: type in column 3, the name from column 4 on.
      const char type = in_.at(2);
      if (type != '1' && type != '2') return fail(kMpsSosType, &type, 1);
      int w = 0;
      while (w < wordCount_ && words_[w].col < 3) ++w;
      if (w < wordCount_ && wordIs(words_[w], "SOS") && w + 1 < wordCount_) ++w;
      if (w >= wordCount_) return fail(kMpsIncomplete);
      const Word name = words_[w];
      if (w + 1 < wordCount_) {
        double v;
        if (!number(words_[w + 1], &v)) return fail(kMpsNotNumber, words_[w + 1].p, words_[w + 1].n);
      }
      makeKey(name.p, name.n, rnlen_, key_);
      if (tableFind(rows_, key_) >= 0) return fail(kMpsIncomplete, name.p, name.n);
      if (m_ >= q_.maxrow) return fail(kMpsTooManyRows, name.p, name.n);
      if (int64_t{nnz_} + m_ + 1 > q_.maxnon) return fail(kMpsTooManyNonzeros, name.p, name.n);
      const int32_t r = m_++;
      std::memcpy(rowNames_ + int64_t{r} * rnlen_, key_, static_cast<size_t>(rnlen_));
      if (!tableInsert(rows_, key_, r)) return fail(kMpsNoMemory);
      rows_.count = m_;
      rowKind_[r] = type == '2' ? kRowSos2 : 0;
      q_.bndmin[int64_t{q_.maxcol} + r] = 0.0;
      q_.bndmax[int64_t{q_.maxcol} + r] = 1.0;
      sosRow_ = r;
      ++sosSets_;
      continue;
    }
    // A member: the column's spare slot joins the set.
    if (sosRow_ < 0) return fail(kMpsIncomplete, words_[0].p, words_[0].n);
    const int32_t j = lookup(cols_, words_[0]);
    if (j < 0) return fail(kMpsIncomplete, words_[0].p, words_[0].n);
    const int32_t spare = q_.colptr[j + 1] - base_ - 1;
    if (q_.rownos[spare] >= 0) return fail(kMpsSosTwice, words_[0].p, words_[0].n);
    q_.rownos[spare] = sosRow_;
    q_.a[spare] = 1.0;
  }
  if (spares_) dropSpareSlots();
  return result;
}

// ---- the sections after COLUMNS ----

Next Reader::sections(Next at) {
  for (;;) {
    switch (at) {
      case Next::kRhs: at = readRhs(); break;
      case Next::kRanges: at = readRanges(); break;
      case Next::kBounds: at = readBounds(); break;
      case Next::kQuadobj: at = readQuadobj(); break;
      case Next::kSos: at = readSos(); break;
      case Next::kEndata:
        progress("Reading ENDATA");
        return Next::kEndata;
      case Next::kEnd:
      case Next::kFail:
        return at;
      default:
        return fail(kMpsBadLine, words_[0].p, words_[0].n);
    }
  }
}

}  // namespace kz::mps

// The MPS writer of TOMPS: the loaded model of a model area as a free-format
// MPS file that the reader reads back into the same arrays.
//
// Numbers are written in their shortest form that reads back to the same
// double, and row and bound classes are decided on the exact values, so
// that reading the file again reproduces every coefficient, bound and
// name bit for bit. Integer columns are enclosed in MARKER lines as well as
// marked by their BV or UI bound lines, so that an integer column without
// a finite upper bound keeps its mark.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/stat.h>

#include "frame/files.h"
#include "frame/output.h"
#include "model/mps.h"
#include "model/settings.h"
#include "model/store_ops.h"

namespace kz {

namespace {

constexpr int kMpsWriteUnit = 3;

// Row plan: the type letter, the RHS value and, for a ranged row, the
// range that the reader turns back into exactly the same two bounds.
struct RowPlan {
  char type = 'N';
  double rhs = 0.0;
  bool ranged = false;
  double range = 0.0;
};

RowPlan planRow(double lo, double up, bool objective) {
  RowPlan p;
  const bool loFinite = !lowerInfinite(lo), upFinite = !upperInfinite(up);
  if (objective) {
    p.type = 'N';
    if (lo == up && std::isfinite(lo)) p.rhs = lo;
    return p;
  }
  if (!loFinite && !upFinite) return p;
  if (loFinite && upFinite && lo == up) {
    p.type = 'E';
    p.rhs = up;
    return p;
  }
  if (loFinite && !upFinite) {
    p.type = 'G';
    p.rhs = lo;
    return p;
  }
  p.type = 'L';
  p.rhs = up;
  if (!loFinite) return p;
  // Both sides finite: the reader computes lower = upper - |R| for an L
  // row and upper = lower + |R| for a G row; pick the R (and the type)
  // that gives the bounds back exactly.
  p.ranged = true;
  const double d = up - lo;
  const double tries[3] = {d, std::nextafter(d, 0.0), std::nextafter(d, 1e300)};
  for (double r : tries)
    if (up - r == lo) {
      p.range = r;
      return p;
    }
  for (double r : tries)
    if (lo + r == up) {
      p.type = 'G';
      p.rhs = lo;
      p.range = r;
      return p;
    }
  p.range = d;
  return p;
}

class Writer {
 public:
  Writer(ModelArea& a) : a_(a), s_(a.store) {}
  int write(const char* path);

 private:
  void clear() { len_ = 0; }
  void put(const char* t, int n) {
    if (len_ + n + 1 > static_cast<int>(buf_.size())) buf_.resize(static_cast<size_t>(len_ + n + 256));
    std::memcpy(buf_.data() + len_, t, static_cast<size_t>(n));
    len_ += n;
  }
  void put(const char* t) { put(t, static_cast<int>(std::strlen(t))); }
  // Moves to 1-based column col, or adds one blank when the line is past it.
  void column(int col) {
    if (len_ < col - 1) {
      while (len_ < col - 1) put(" ", 1);
    } else {
      put(" ", 1);
    }
  }
  void blank() { put(" ", 1); }
  void number(double v);
  void name(int32_t item);
  bool flush();
  int fail();

  double value(int32_t j, int32_t p) const;
  bool integerColumn(int32_t j) const;
  void boundLine(const char* type, int32_t j, double v, bool withValue);

  ModelArea& a_;
  ModelStore& s_;
  std::vector<char> buf_ = std::vector<char>(512);
  int len_ = 0;
  bool generated_ = false;
  char compress_ = ' ';
  char decimal_ = '.';
  bool ok_ = true;
  char nameBuf_[kFileNameMax + 1] = {};
  std::vector<char> itemBuf_;
  char rhsName_[9] = {}, rangeName_[9] = {}, boundName_[9] = {};
};

void Writer::number(double v) {
  char t[64];
  auto r = std::to_chars(t, t + sizeof t, v);
  int n = static_cast<int>(r.ptr - t);
  if (decimal_ != '.')
    for (int k = 0; k < n; ++k)
      if (t[k] == '.') t[k] = decimal_;
  put(t, n);
}

void Writer::name(int32_t item) {
  if (generated_) {
    char t[24];
    const int n = item <= s_.n ? std::snprintf(t, sizeof t, "C%d", item) : std::snprintf(t, sizeof t, "R%d", item - s_.obj);
    put(t, n);
    return;
  }
  const int width = itemNameLength(s_, item);
  if (static_cast<int>(itemBuf_.size()) < width + 64) itemBuf_.resize(static_cast<size_t>(width + 64));
  const int n = itemName(s_, item, itemBuf_.data(), static_cast<int>(itemBuf_.size()));
  // Each run of blanks becomes one compress character; a trailing one goes.
  int e = n;
  while (e > 0 && itemBuf_[e - 1] == ' ') --e;
  int k = 0;
  while (k < e) {
    if (itemBuf_[k] == ' ') {
      put(&compress_, 1);
      while (k < e && itemBuf_[k] == ' ') ++k;
    } else {
      put(&itemBuf_[k], 1);
      ++k;
    }
  }
}

bool Writer::flush() {
  if (!ok_) return false;
  put("\n", 1);
  int16_t fv = 0;
  if (fileWrite(a_.files, kMpsWriteUnit, buf_.data(), len_, &fv) != 0) ok_ = false;
  clear();
  return ok_;
}

int Writer::fail() {
  fileClose(a_.files, kMpsWriteUnit);
  char saved[sizeof a_.cmd];
  std::memcpy(saved, a_.cmd, sizeof saved);
  a_.cmd[0] = '\0';
  const int32_t line = a_.reader.lineNumber;
  a_.reader.lineNumber = 0;
  warningOrErrorLine(a_, kMpsWarnWrite, nameBuf_);
  a_.reader.lineNumber = line;
  std::memcpy(a_.cmd, saved, sizeof saved);
  return 1;
}

// Coefficient p of column j as loaded: scale factors taken out and a
// mirrored column's sign taken back.
double Writer::value(int32_t j, int32_t p) const {
  double v = s_.a[p];
  if (s_.scaled && s_.scale) {
    const int32_t r = s_.rownos[p];
    v = v * s_.scale[j] / s_.scale[rowItem(s_, r)];
  }
  if (s_.kind && (s_.kind[j] & kKindMirrored)) v = -v;
  return v;
}

bool Writer::integerColumn(int32_t j) const {
  if (s_.kind && (s_.kind[j] & kKindIntegral)) return true;
  return s_.status && (statusWord(s_, j) & kStatusInteger);
}

void Writer::boundLine(const char* type, int32_t j, double v, bool withValue) {
  put(" ");
  put(type);
  column(5);
  put(boundName_);
  column(15);
  name(j);
  if (withValue) {
    blank();
    number(v);
  }
  flush();
}

// A selection name as written: 8 characters, upper case, embedded blanks
// as the compress character; "?" writes the fallback.
void selectionName(const char* option, const char* fallback, char compress, char out[9]) {
  int n = 8;
  while (n > 0 && (option[n - 1] == ' ' || option[n - 1] == '\0')) --n;
  if (n == 0 || (n == 1 && option[0] == '?')) {
    std::snprintf(out, 9, "%s", fallback);
    return;
  }
  for (int k = 0; k < n; ++k) {
    char c = option[k];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    out[k] = c == ' ' ? compress : c;
  }
  out[n] = '\0';
}

int Writer::write(const char* path) {
  ModelArea& r = a_.routingArea();
  compress_ = r.out.compressChar;
  decimal_ = r.out.style.decimal;
  generated_ = a_.opt.toMpsS != 0 || (compress_ == ' ' && (s_.rnlen > 8 || s_.cnlen > 8));
  selectionName(a_.opt.mpsRhs, "RHS", compress_, rhsName_);
  selectionName(a_.opt.mpsRanges, "RANGE", compress_, rangeName_);
  selectionName(a_.opt.mpsBounds, "BOUND", compress_, boundName_);

  if (path) {
    std::snprintf(nameBuf_, sizeof nameBuf_, "%s", path);
  } else {
    // The problem name with the extension "mps", in the model file's folder.
    const char* problem = problemName(a_);
    char dir[kFileNameMax + 1];
    std::snprintf(dir, sizeof dir, "%s", a_.opt.currentDir);
    const char* model = a_.opt.modelFile;
    const char* slash = std::strrchr(model, '/');
    if (slash && slash - model < static_cast<int>(sizeof dir) - 1) {
      std::memcpy(dir, model, static_cast<size_t>(slash - model + 1));
      dir[slash - model + 1] = '\0';
    }
    if (buildFileName(a_.files, kMpsWriteUnit, problem[0] ? problem : "kzmodel", "mps", dir, a_.serial,
                      a_.solves + 1) < 0)
      return fail();
    std::snprintf(nameBuf_, sizeof nameBuf_, "%s", fileName(a_.files, kMpsWriteUnit));
  }
  // The model file just read is never overwritten by the written copy.
  struct stat st {};
  if (a_.mpsReadIno != 0 && ::stat(nameBuf_, &st) == 0 && static_cast<uint64_t>(st.st_dev) == a_.mpsReadDev &&
      static_cast<uint64_t>(st.st_ino) == a_.mpsReadIno)
    return fail();
  if (fileOpen(a_.files, kMpsWriteUnit, kFileModeCreate + kFileBlockBuffered, nameBuf_) != 0) return fail();
  if (!s_.bndmin || !s_.bndmax || (s_.n > 0 && (!s_.colptr || !s_.a || !s_.rownos))) return fail();

  const int32_t n = s_.n, m = s_.m;
  const double* lo = s_.bndmin;
  const double* up = s_.bndmax;
  const bool increments = s_.attached.increment != nullptr;

  char head[32];
  std::snprintf(head, sizeof head, "NAME %d", a_.solves);
  put(head);
  flush();

  put("ROWS");
  flush();
  for (int32_t rr = 0; rr < m; ++rr) {
    const RowPlan p = planRow(lo[n + rr], up[n + rr], rr == 0);
    put(" ");
    put(&p.type, 1);
    column(5);
    name(s_.obj + rr);
    flush();
  }
  if (increments) {
    put(" N   KZ_INCRE");
    flush();
  }

  put("COLUMNS");
  flush();
  bool inMarker = false;
  int32_t markers = 0;
  auto marker = [&](const char* which) {
    char t[16];
    std::snprintf(t, sizeof t, "M%07d", ++markers);
    column(5);
    put(t);
    column(15);
    put("'MARKER'");
    column(40);
    put(which);
    flush();
  };
  for (int32_t j = 1; j <= n; ++j) {
    const bool integer = integerColumn(j);
    if (integer != inMarker) {
      marker(integer ? "'INTORG'" : "'INTEND'");
      inMarker = integer;
    }
    int32_t onLine = 0;
    bool wrote = false;
    for (int32_t p = colBegin(s_, j); p < colEnd(s_, j); ++p) {
      const int32_t rr = s_.rownos[p];
      if (rr < 0 || rr >= m) continue;
      if (onLine == 0) {
        column(5);
        name(j);
      }
      blank();
      name(s_.obj + rr);
      blank();
      number(value(j, p));
      wrote = true;
      if (++onLine == 2) {
        flush();
        onLine = 0;
      }
    }
    if (onLine > 0) flush();
    if (!wrote) {
      // A column without entries keeps its place.
      column(5);
      name(j);
      flush();
    }
    if (increments && integerColumn(j)) {
      const double inc = s_.attached.increment[j - 1];
      if (inc != 1.0) {
        column(5);
        name(j);
        column(15);
        put("KZ_INCRE");
        column(25);
        if (inc == kIncFibonacci)
          put(" FIBONACCI");
        else if (inc == kIncPrimes)
          put(" PRIME");
        else if (inc == kIncFactorials)
          put(" FACTORIAL");
        else
          number(inc);
        flush();
      }
    }
  }
  if (inMarker) marker("'INTEND'");

  put("RHS");
  flush();
  for (int32_t rr = 0; rr < m; ++rr) {
    const RowPlan p = planRow(lo[n + rr], up[n + rr], rr == 0);
    if (p.type == 'N' && rr != 0) continue;
    if (p.rhs == 0.0) continue;
    column(5);
    put(rhsName_);
    column(15);
    name(s_.obj + rr);
    blank();
    number(p.rhs);
    flush();
  }

  bool anyRange = false;
  for (int32_t rr = 1; rr < m && !anyRange; ++rr) anyRange = planRow(lo[n + rr], up[n + rr], false).ranged;
  if (anyRange) {
    put("RANGES");
    flush();
    for (int32_t rr = 1; rr < m; ++rr) {
      const RowPlan p = planRow(lo[n + rr], up[n + rr], false);
      if (!p.ranged) continue;
      column(5);
      put(rangeName_);
      column(15);
      name(s_.obj + rr);
      blank();
      number(p.range);
      flush();
    }
  }

  bool headed = false;
  auto bounds = [&]() {
    if (!headed) {
      put("BOUNDS");
      flush();
      headed = true;
    }
  };
  for (int32_t j = 1; j <= n; ++j) {
    const double L = lo[j - 1], U = up[j - 1];
    const uint32_t k = s_.kind ? s_.kind[j] : 0;
    const bool semi = (k & kKindSemi) != 0;
    const bool integer = integerColumn(j);
    const bool binary = (k & kKindBinary) != 0;
    const char* upType = binary && U == 1.0 ? "BV" : integer ? "UI" : "UP";
    if (semi) {
      bounds();
      boundLine((k & kKindSemi2) ? "SD" : "SC", j, L, true);
      if (U != kInfOut) boundLine(integer ? "UI" : "UP", j, U, true);
      continue;
    }
    if (L == U) {
      bounds();
      boundLine("FX", j, L, true);
      continue;
    }
    if (L == -kInfOut && U == kInfOut) {
      bounds();
      boundLine("FR", j, 0.0, true);
      continue;
    }
    if (L == -kInfOut) {
      // MI leaves the upper bound at 0; the upper line follows.
      bounds();
      boundLine("MI", j, 0.0, true);
      if (U == kInfOut)
        boundLine("PL", j, 0.0, true);
      else if (U != 0.0 || integer)
        boundLine(integer ? "UI" : "UP", j, U, true);
      continue;
    }
    if (L != 0.0) {
      bounds();
      boundLine("LO", j, L, true);
    }
    if (U != kInfOut) {
      bounds();
      boundLine(upType, j, U, true);
    }
  }

  if (s_.qpTerms > 0 && s_.qpStart && s_.qpRow && s_.qpValue) {
    put("QUADOBJ");
    flush();
    for (int32_t j = 1; j <= n; ++j)
      for (int32_t x = s_.qpStart[j]; x < s_.qpStart[j + 1]; ++x) {
        column(5);
        name(j);
        blank();
        name(s_.qpRow[x]);
        blank();
        number(s_.qpValue[x]);
        flush();
      }
  }

  put("ENDATA");
  flush();
  if (!ok_) return fail();
  if (fileClose(a_.files, kMpsWriteUnit) != 0) return fail();
  return 0;
}

}  // namespace

int writeMpsFile(ModelArea& a, const char* path) {
  Writer w(a);
  return w.write(path);
}

}  // namespace kz

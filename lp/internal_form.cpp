// AnalyzeModel and CompactLists: the internal form of a loaded model.
#include "lp/internal_form.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "frame/names.h"
#include "frame/output.h"
#include "model/settings.h"
#include "model/store_ops.h"

namespace kz {
namespace {

constexpr uint32_t kColumnFormBits = kKindLower | kKindUpper | kKindFree | kKindFixed | kKindHeld;
constexpr uint32_t kRowFormBits = kKindLower | kKindUpper | kKindInteger | kKindLogicalMinus | kKindBinary |
                                  kKindFree | kKindFixed | kKindHeld | kKindBothSides;

bool removed(const ModelStore& s, int32_t i) { return (s.kind[i] & kKindRemoved) != 0; }

// Steps 1 and 5: factors 1.0, every row and variable active.
bool prepareLists(ModelArea& a) {
  ModelStore& s = a.store;
  const int64_t items = int64_t{s.total} + 1;
  if (!s.scale) s.scale = storeAlloc<double>(a, items);
  if (!s.rhs) s.rhs = storeAllocZero<double>(a, items);
  if (!s.rowShift) s.rowShift = storeAllocZero<double>(a, items);
  if (!s.rowList) s.rowList = storeAlloc<int32_t>(a, s.m);
  if (!s.varList) s.varList = storeAlloc<int32_t>(a, s.total);
  if (!s.colActiveEnd) s.colActiveEnd = storeAlloc<int32_t>(a, items);
  if (!s.scale || !s.rhs || !s.rowShift || !s.rowList || !s.varList || !s.colActiveEnd) return false;
  for (int32_t i = 0; i <= s.total; ++i) s.scale[i] = 1.0;
  s.scaled = false;
  s.objScale = 1.0;
  for (int32_t r = 0; r < s.m; ++r) s.rowList[r] = s.obj + r;
  s.activeRows = s.m;
  for (int32_t k = 0; k < s.total; ++k) s.varList[k] = k + 1;
  s.activeVars = s.total;
  for (int32_t i = 1; i <= s.total; ++i) s.kind[i] &= ~kKindRemoved;
  return true;
}

// Step 2: Set Relax with integer or special items.
void relaxIntegers(ModelArea& a) {
  ModelStore& s = a.store;
  if (!relaxed(a) || s.binaries + s.generalIntegers + s.semis == 0) return;
  for (int32_t j = 1; j <= s.n; ++j) s.kind[j] &= ~(kKindIntegral | kKindAnySemi);
  s.binaries = s.generalIntegers = s.semis = 0;
}

// Step 4: every column free: a square-system start.
bool allColumnsFree(const ModelStore& s) {
  if (s.n == 0) return false;
  for (int32_t j = 1; j <= s.n; ++j)
    if (!(s.kind[j] & kKindFree)) return false;
  return true;
}

void squareSystemStart(ModelStore& s) {
  const int32_t basic = std::min(s.n, s.m - 1);
  for (int32_t i = 1; i <= s.total; ++i) {
    s.kind[i] &= ~kKindBasic;
    if (i <= basic) s.kind[i] = (s.kind[i] | kKindBasic) & ~kKindAtUpper;
  }
}

bool rowHasIntegerColumn(const ModelStore& s, int32_t r) {
  for (int32_t p = s.rowStart[r]; p < s.rowStart[r + 1]; ++p) {
    const int32_t j = s.rowCol[p];
    if (j <= s.n && (s.kind[j] & kKindIntegral)) return true;
  }
  return false;
}

// The logical of row r in both copies of the matrix.
void setLogicalCoefficient(ModelStore& s, int32_t i, double coef) {
  s.a[colBegin(s, i)] = coef;
  const int32_t r = i - s.obj;
  s.rowVal[s.rowStart[r + 1] - 1] = coef;
}

void negateColumn(ModelStore& s, int32_t j) {
  for (int32_t p = colBegin(s, j); p < colEnd(s, j); ++p) s.a[p] = -s.a[p];
}

// Internal form, step 1: mirroring.
void mirrorColumns(ModelArea& a) {
  ModelStore& s = a.store;
  bool mirroredAny = false;
  for (int32_t j = 1; j <= s.n; ++j) {
    uint32_t& k = s.kind[j];
    if ((k & (kKindAnySemi | kKindFree)) || (removed(s, j) && (k & kKindFixed))) continue;
    if (std::fabs(s.up[j]) < std::fabs(s.lo[j])) {
      k |= kKindMirrored;
      const double L = s.lo[j];
      s.lo[j] = -s.up[j];
      s.up[j] = -L;
      negateColumn(s, j);
      mirroredAny = true;
    }
  }
  if (mirroredAny)
    for (int32_t r = 0; r < s.m; ++r)
      for (int32_t p = s.rowStart[r]; p < s.rowStart[r + 1]; ++p) {
        const int32_t j = s.rowCol[p];
        if (j <= s.n && (s.kind[j] & kKindMirrored)) s.rowVal[p] = -s.rowVal[p];
      }
}

// Internal form, step 4: the columns' classes, decided on the bounds before
// the shift (a large finite bound stays finite whatever the shift adds).
void columnForms(ModelArea& a) {
  ModelStore& s = a.store;
  const double t = primalTolerance(a);
  for (int32_t j = 1; j <= s.n; ++j) {
    uint32_t& k = s.kind[j];
    if (removed(s, j)) continue;
    const bool held = (k & kKindHeld) != 0;
    k &= ~kColumnFormBits;
    if (held) k |= kKindHeld;
    const double L = s.lo[j], U = s.up[j];
    const bool semi = (k & kKindAnySemi) != 0;
    if (lowerInfinite(L) && upperInfinite(U)) {
      k |= kKindFree;
      continue;
    }
    if (L != 0.0 || semi) k |= kKindLower;
    if (!upperInfinite(U)) {
      k |= kKindUpper;
      if (U - L < t && !semi) k |= kKindFixed;
    }
  }
}

// The finite sides of every constraint row, in its kind word, before the
// shift moves the bounds.
void markRowSides(ModelStore& s) {
  for (int32_t i = s.obj + 1; i <= s.total; ++i) {
    uint32_t& k = s.kind[i];
    if (removed(s, i)) continue;
    k &= ~(kKindLower | kKindUpper);
    if (!lowerInfinite(s.lo[i])) k |= kKindLower;
    if (!upperInfinite(s.up[i])) k |= kKindUpper;
  }
}

// Internal form, step 2: every finite non-zero lower bound shifted out.
void shiftLowerBounds(ModelArea& a) {
  ModelStore& s = a.store;
  const double t = primalTolerance(a);
  for (int32_t j = 1; j <= s.n; ++j) {
    const uint32_t k = s.kind[j];
    const double l = s.lo[j];
    if (!(k & kKindLower) || (k & kKindFree) || lowerInfinite(l) || l == 0.0) continue;
    for (int32_t p = colBegin(s, j); p < colEnd(s, j); ++p) {
      const int32_t r = s.rownos[p];
      if (r < 0 || r >= s.m) continue;
      const int32_t i = s.obj + r;
      const double d = s.a[p] * l;
      s.rowShift[i] += d;
      if (i == s.obj || removed(s, i)) continue;
      if (s.kind[i] & kKindLower) s.lo[i] -= d;
      if (s.kind[i] & kKindUpper) s.up[i] -= d;
    }
    if (k & kKindUpper) {
      s.up[j] -= l;
      if (std::fabs(s.up[j]) < t) s.up[j] = 0.0;
    }
  }
}

// Internal form, step 3: every constraint row as activity +/- logical = rhs.
void rowForms(ModelArea& a) {
  ModelStore& s = a.store;
  const double t = primalTolerance(a);
  const double eps = tranEntry(a);
  s.kind[s.obj] = (s.kind[s.obj] & ~(kKindInteger | kKindLogicalMinus)) |
                  (maximizing(a) ? kKindLogicalMinus : kKindInteger);
  for (int32_t i = s.obj + 1; i <= s.total; ++i) {
    uint32_t& k = s.kind[i];
    if (removed(s, i)) continue;
    const double L = s.lo[i], U = s.up[i];
    const bool hasL = (k & kKindLower) != 0, hasU = (k & kKindUpper) != 0;
    const uint32_t keep = k & ~kRowFormBits;
    double rhs = 0.0, coef = 1.0, range = 0.0, low = 0.0;
    uint32_t bits;
    if (!hasL && !hasU) {
      bits = kKindFree | kKindInteger;
      low = -kInternalInf;
    } else if (!hasL) {
      rhs = U;
      range = kInternalInf;
      bits = kKindInteger;
    } else if (!hasU) {
      rhs = L;
      coef = -1.0;
      range = kInternalInf;
      bits = kKindLogicalMinus;
    } else if (U - L < (std::fabs(L) + 1.0) * eps + t) {
      rhs = U;
      bits = kKindZeroRange | kKindBothSides;
    } else if (rowHasIntegerColumn(s, i - s.obj) || (s.auxRow[i] & kAuxRowPiecewise)) {
      rhs = U;
      range = U - L;
      bits = kKindInteger | kKindUpper | kKindBothSides;
    } else {
      rhs = L;
      coef = -1.0;
      range = U - L;
      bits = kKindLogicalMinus | kKindUpper | kKindBothSides;
    }
    k = keep | bits;
    s.rhs[i] = rhs;
    s.lo[i] = low;
    s.up[i] = range;
    setLogicalCoefficient(s, i, coef);
  }
}

// Internal form, step 5: the variable list in its three groups.
void orderVariables(ModelArea& a) {
  ModelStore& s = a.store;
  int32_t at = 0;
  for (int32_t j = 1; j <= s.n; ++j)
    if (!removed(s, j) && (s.kind[j] & (kKindIntegral | kKindAnySemi))) s.varList[at++] = j;
  s.groupSpecialEnd = at;
  for (int32_t j = 1; j <= s.n; ++j)
    if (!removed(s, j) && !(s.kind[j] & (kKindIntegral | kKindAnySemi))) s.varList[at++] = j;
  s.groupColumnsEnd = at;
  // A zero-range logical that is not basic leaves the active list.
  auto outside = [&](int32_t i) {
    return removed(s, i) || (i > s.obj && (s.kind[i] & kKindZeroRange) == kKindZeroRange && !(s.kind[i] & kKindBasic));
  };
  for (int32_t i = s.obj; i <= s.total; ++i)
    if (!outside(i)) s.varList[at++] = i;
  s.activeVars = at;
  for (int32_t i = 1; i <= s.total; ++i)
    if (i <= s.n ? removed(s, i) : outside(i)) s.varList[at++] = i;
}

// Internal form, step 6 (Set MPSXCOMP): free columns that only meet free rows.
void holdLonelyFreeColumns(ModelArea& a) {
  ModelStore& s = a.store;
  if (!mpsxCompatible(a)) return;
  for (int32_t j = 1; j <= s.n; ++j) {
    if (removed(s, j) || !(s.kind[j] & kKindFree)) continue;
    int32_t constraintEntries = 0;
    bool allFree = true;
    for (int32_t p = colBegin(s, j); p < colEnd(s, j); ++p) {
      const int32_t r = s.rownos[p];
      if (r <= 0 || r >= s.m) continue;
      ++constraintEntries;
      if (!(s.kind[s.obj + r] & kKindFree)) allFree = false;
    }
    if (constraintEntries == 0 || !allFree) continue;
    s.lo[j] = s.up[j] = 0.0;
    s.kind[j] = (s.kind[j] & ~kKindFree) | kKindHeld;
    const char* name = nullptr;
    char buf[64];
    if (a.routingArea().out.warnings) {
      itemName(s, j, buf, sizeof buf);
      name = buf;
    }
    warningOrErrorLine(a, 20060, name);
  }
}

// Internal form, step 7: placeholder upper bounds.
void placeholderBounds(ModelArea& a) {
  ModelStore& s = a.store;
  const double ub = ubBound(a);
  for (int32_t i = 1; i <= s.total; ++i) {
    if (i == s.obj || removed(s, i)) continue;
    const uint32_t k = s.kind[i];
    if (k & (kKindUpper | kKindFixed | kKindHeld)) continue;
    s.up[i] = ub;
    s.kind[i] &= ~kKindAtUpper;
  }
}

void internalForm(ModelArea& a) {
  mirrorColumns(a);
  columnForms(a);
  markRowSides(a.store);
  shiftLowerBounds(a);
  rowForms(a);
  orderVariables(a);
  holdLonelyFreeColumns(a);
  placeholderBounds(a);
  a.store.internalForm = true;
}

// Step 10: rows that the caller asked to deactivate.
void scheduleDeactivation(ModelArea& a) {
  ModelStore& s = a.store;
  bool any = false;
  for (int32_t k = 0; k < s.activeRows; ++k) {
    const int32_t i = s.rowList[k];
    if (i == s.obj || removed(s, i)) continue;
    if (statusWord(s, i) & kStatusDeactivate) {
      s.flags2[i] |= kFlag2Deactivate;
      any = true;
    }
  }
  const char* mask = deactivateMask(a);
  bool blank = true;
  for (const char* p = mask; *p; ++p)
    if (*p != ' ') blank = false;
  if (!any || blank) return;
  char name[512];
  for (int32_t k = 0; k < s.activeRows; ++k) {
    const int32_t i = s.rowList[k];
    if (i == s.obj || removed(s, i)) continue;
    const int len = itemName(s, i, name, sizeof name);
    if (matchNameMask(mask, name, len, s.caseSensitive) == 0) s.flags2[i] |= kFlag2Deactivate | kFlag2MaskMark;
  }
}

}  // namespace

bool buildRowCopy(ModelArea& a) {
  ModelStore& s = a.store;
  if (!s.rowStart) s.rowStart = storeAlloc<int32_t>(a, int64_t{s.m} + 1);
  if (!s.rowActiveEnd) s.rowActiveEnd = storeAlloc<int32_t>(a, s.m);
  if (!s.rowStart || !s.rowActiveEnd) return false;
  int32_t* start = s.rowStart;
  for (int32_t r = 0; r <= s.m; ++r) start[r] = 0;
  int64_t count = 0;
  for (int32_t j = 1; j <= s.n; ++j)
    for (int32_t p = colBegin(s, j); p < colEnd(s, j); ++p) {
      const int32_t r = s.rownos[p];
      if (r >= 0 && r < s.m) {
        ++start[r + 1];
        ++count;
      }
    }
  count += s.m;  // each row's own logical
  if (!s.rowCol) s.rowCol = storeAlloc<int32_t>(a, count);
  if (!s.rowVal) s.rowVal = storeAlloc<double>(a, count);
  if (!s.rowCol || !s.rowVal) return false;
  for (int32_t r = 0; r < s.m; ++r) start[r + 1] += start[r] + 1;
  // start[r] now counts the entries of rows 0 .. r - 1 (logicals included);
  // fill through a cursor per row kept in rowActiveEnd.
  for (int32_t r = 0; r < s.m; ++r) s.rowActiveEnd[r] = start[r];
  for (int32_t j = 1; j <= s.n; ++j)
    for (int32_t p = colBegin(s, j); p < colEnd(s, j); ++p) {
      const int32_t r = s.rownos[p];
      if (r < 0 || r >= s.m) continue;
      const int32_t at = s.rowActiveEnd[r]++;
      s.rowCol[at] = j;
      s.rowVal[at] = s.a[p];
    }
  for (int32_t r = 0; r < s.m; ++r) {
    const int32_t at = s.rowActiveEnd[r]++;
    const int32_t i = s.obj + r;
    s.rowCol[at] = i;
    s.rowVal[at] = s.logicalsAppended ? s.a[colBegin(s, i)] : 1.0;
  }
  return true;
}

uint32_t choosePresolveMask(const ModelArea&) { return 0; }

int presolveReductions(ModelArea& a) {
  ModelStore& s = a.store;
  s.presolveCode = storeAlloc<int32_t>(a, int64_t{s.total} + 1);
  s.presolveOperand = storeAlloc<int32_t>(a, int64_t{s.total} + 1);
  if (!s.presolveCode || !s.presolveOperand) return 1;
  s.presolveCount = 0;
  const double t = primalTolerance(a);
  if (conflictMode(a) == 0) {
    bool header = false;
    char name[512];
    for (int32_t j = 1; j <= s.n; ++j) {
      if (removed(s, j) || !(s.up[j] < s.lo[j] - t)) continue;
      s.kind[j] |= kKindPossiblyInfeasible;
      s.loadInfeasible = true;
      if (!header) writeTextLine(a, "**INFEASIBLE COLUMN    LOWER BOUND  > UPPER BOUND.", kClassTrace);
      header = true;
      itemName(s, j, name, sizeof name);
      char line[700];
      std::snprintf(line, sizeof line, "  %s   %g <= ??? <= %g", name, s.lo[j], s.up[j]);
      writeTextLine(a, line, kClassTrace);
    }
    header = false;
    for (int32_t i = s.obj + 1; i <= s.total; ++i) {
      if (removed(s, i)) continue;
      const int32_t r = i - s.obj;
      const bool empty = s.rowStart[r + 1] - s.rowStart[r] <= 1;  // only its logical
      if (!(s.up[i] < s.lo[i] - t) && !(empty && !lowerInfinite(s.lo[i]) && s.lo[i] > 0.0)) continue;
      s.kind[i] |= kKindPossiblyInfeasible;
      s.loadInfeasible = true;
      if (!header) writeTextLine(a, "**INFEASIBLE ROW    LOWER BOUND  :  UPPER BOUND.", kClassTrace);
      header = true;
      itemName(s, i, name, sizeof name);
      char line[700];
      std::snprintf(line, sizeof line, "  %s   %g <= ??? <= %g  %s", name, s.lo[i], s.up[i],
                    empty ? "MISSING COLUMN" : "");
      writeTextLine(a, line, kClassTrace);
    }
  }
  // Semi-continuous columns run from 0 in the relaxation; their loaded
  // lower bound stays in the caller's view.
  for (int32_t j = 1; j <= s.n; ++j)
    if (!removed(s, j) && (s.kind[j] & kKindAnySemi)) s.lo[j] = 0.0;
  return 0;
}

void objectiveGranularity(ModelArea&) {}

void compactLists(ModelArea& a) {
  ModelStore& s = a.store;
  const bool debug = debugOn(a);
  char cname[512], rname[512];
  for (int32_t i = 1; i <= s.total; ++i) {
    int32_t end = colEnd(s, i);
    const int32_t begin = colBegin(s, i);
    int32_t p = begin;
    while (p < end) {
      const int32_t r = s.rownos[p];
      const bool gone = r >= 0 && r < s.m && removed(s, s.obj + r);
      if (!gone) {
        ++p;
        continue;
      }
      --end;
      if (debug) {
        itemName(s, i, cname, sizeof cname);
        itemName(s, s.obj + r, rname, sizeof rname);
        traceLine(a, "**INTERNAL ERROR Col %s/%d adjustment Row %s/%d --> %d", cname, i, rname, r, end);
      }
      std::swap(s.a[p], s.a[end]);
      std::swap(s.rownos[p], s.rownos[end]);
    }
    s.colActiveEnd[i] = end;
  }
  if (!s.rowStart) return;
  for (int32_t r = 0; r < s.m; ++r) {
    int32_t end = s.rowStart[r + 1];
    int32_t p = s.rowStart[r];
    while (p < end) {
      if (!removed(s, s.rowCol[p])) {
        ++p;
        continue;
      }
      --end;
      std::swap(s.rowCol[p], s.rowCol[end]);
      std::swap(s.rowVal[p], s.rowVal[end]);
    }
    s.rowActiveEnd[r] = end;
  }
}

int analyzeModel(ModelArea& a) {
  ModelStore& s = a.store;
  if (!prepareLists(a)) return 1;
  relaxIntegers(a);
  s.workingMask = choosePresolveMask(a);
  if (allColumnsFree(s)) {
    s.workingMask = 0;
    squareSystemStart(s);
  }
  if (!buildRowCopy(a)) return 1;
  if (presolveReductions(a) != 0) return 1;
  internalForm(a);
  if (s.binaries + s.generalIntegers > 0 && !relaxed(a)) objectiveGranularity(a);
  compactLists(a);
  scheduleDeactivation(a);
  s.postsolvePending = s.presolveCount > 0;
  return 0;
}

// ---- the caller's terms ----

void callerColumnBounds(const ModelArea& a, int32_t j, double* lower, double* upper) {
  const ModelStore& s = a.store;
  const uint32_t k = s.kind[j];
  const double f = s.scale ? s.scale[j] : 1.0;
  double L, U;
  if (k & kKindFree) {
    L = -kInfOut;
    U = kInfOut;
  } else {
    const double l = (k & kKindLower) ? s.lo[j] / f : s.lo[j];
    L = l;
    U = (k & kKindUpper) ? s.up[j] / f + ((k & kKindLower) && !(k & kKindAnySemi) ? l : 0.0) : kInfOut;
  }
  if (k & kKindMirrored) {
    const double t = L;
    L = upperInfinite(U) ? -kInfOut : -U;
    U = -t;
  }
  *lower = L;
  *upper = U;
}

void callerRowBounds(const ModelArea& a, int32_t i, double* lower, double* upper) {
  const ModelStore& s = a.store;
  const uint32_t k = s.kind[i];
  const double g = s.scale ? s.scale[i] : 1.0;
  const double shift = s.rowShift ? s.rowShift[i] : 0.0;
  if (i == s.obj || (k & kKindFree)) {
    *lower = -kInfOut;
    *upper = kInfOut;
    return;
  }
  const double rhs = s.rhs[i] / g + shift;
  const bool finiteRange = (k & kKindUpper) != 0;
  const double range = s.up[i] / g;
  if ((k & kKindZeroRange) == kKindZeroRange) {
    *lower = *upper = rhs;
  } else if (k & kKindLogicalMinus) {
    *lower = rhs;
    *upper = finiteRange ? rhs + range : kInfOut;
  } else {
    *upper = rhs;
    *lower = finiteRange ? rhs - range : -kInfOut;
  }
}

double callerColumnValue(const ModelArea& a, int32_t j, double x) {
  const ModelStore& s = a.store;
  const uint32_t k = s.kind[j];
  const double f = s.scale ? s.scale[j] : 1.0;
  double v = x / f;
  if ((k & kKindLower) && !(k & kKindAnySemi) && !(k & kKindFree)) v += s.lo[j] / f;
  return (k & kKindMirrored) ? -v : v;
}

double callerRowActivity(const ModelArea& a, int32_t i, double activity) {
  const ModelStore& s = a.store;
  const double g = s.scale ? s.scale[i] : 1.0;
  return activity / g + (s.rowShift ? s.rowShift[i] : 0.0);
}

}  // namespace kz

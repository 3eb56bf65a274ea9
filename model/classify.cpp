// Classification of columns and rows from their working bounds, the
// conversion of the caller's status words, and the logical entries.
#include <cmath>

#include "model/settings.h"
#include "model/store_ops.h"

namespace kz {
namespace {

constexpr uint32_t kColumnClassBits = kKindLower | kKindUpper | kKindFree | kKindFixed | kKindHeld | kKindMirrored;
constexpr uint32_t kRowClassBits = kColumnClassBits | kKindBothSides;

// Rounds x onto the increment grid of column j: up or down. Power
// sequences and the special sequences have grids of their own that the
// integer search owns; until then they round to whole numbers.
double gridRound(const ModelStore& s, int32_t j, double x, bool up, double t) {
  double inc = columnIncrement(s, j);
  if (!(inc > 0.0)) inc = 1.0;
  const double q = x / inc;
  const double r = up ? std::ceil(q - t) : std::floor(q + t);
  return r * inc;
}

double snap01(double x, double t) {
  if (std::fabs(x) < t) return 0.0;
  if (std::fabs(x - 1.0) < t) return 1.0;
  return x;
}

}  // namespace

void classifyColumn(ModelArea& a, int32_t j, bool count) {
  ModelStore& s = a.store;
  uint32_t& k = s.kind[j];
  if (k & kKindRemoved) return;
  const double t = primalTolerance(a);
  k &= ~kColumnClassBits;
  double& L = s.lo[j];
  double& U = s.up[j];
  const bool semi = (k & kKindAnySemi) != 0;
  const bool integral = (k & kKindIntegral) != 0;
  if (lowerInfinite(L)) {
    if (upperInfinite(U))
      k |= kKindFree;
    else
      k |= kKindLower | kKindUpper;
  } else {
    if (L != 0.0 || semi) k |= kKindLower;
    // Integer columns are decided below: a fixed one stays binary or integer.
    if (std::fabs(U - L) < t && !semi && !integral) {
      k |= kKindFixed | kKindLower;
      return;
    }
    if (!upperInfinite(U)) k |= kKindUpper;
  }
  if (!integral) return;

  L = snap01(L, t);
  U = snap01(U, t);
  if ((L == 0.0 && U == 1.0) || (L == U && (L == 0.0 || L == 1.0))) {
    k = (k | kKindBinary) & ~kKindInteger;
    if (count) {
      ++s.binaries;
      if (s.attached.priority && s.attached.priority[j - 1] == kNoPriority)
        s.attached.priority[j - 1] = bvPriority(a);
    }
  } else {
    k = (k | kKindInteger) & ~kKindBinary;
    if (count) ++s.generalIntegers;
    if (k & kKindIncFromLower) {
      if (!lowerInfinite(L) && !upperInfinite(U)) U = L + gridRound(s, j, U - L, false, t);
    } else {
      if ((k & kKindLower) && !lowerInfinite(L)) L = gridRound(s, j, L, true, t);
      if (!upperInfinite(U)) U = gridRound(s, j, U, false, t);
    }
  }
  // The bounds may have moved: their classes follow.
  k &= ~(kKindLower | kKindUpper | kKindFree);
  if (lowerInfinite(L)) {
    k |= upperInfinite(U) ? kKindFree : (kKindLower | kKindUpper);
  } else {
    if (L != 0.0 || semi) k |= kKindLower;
    if (!upperInfinite(U)) k |= kKindUpper;
  }
  if (std::fabs(U - L) < t && !semi) k |= kKindFixed | kKindLower;
}

void classifyRow(ModelArea& a, int32_t i) {
  ModelStore& s = a.store;
  uint32_t& k = s.kind[i];
  if (k & kKindRemoved) return;
  k &= ~kRowClassBits;
  const double L = s.lo[i], U = s.up[i];
  if (lowerInfinite(L)) {
    k |= upperInfinite(U) ? kKindFree : kKindUpper;
  } else if (std::fabs(U - L) < primalTolerance(a)) {
    k |= kKindBothSides | kKindFixed;
  } else {
    k |= kKindLower;
    if (!upperInfinite(U)) k |= kKindUpper | kKindBothSides;
  }
}

void classifyAll(ModelArea& a) {
  ModelStore& s = a.store;
  s.binaries = 0;
  s.generalIntegers = 0;
  for (int32_t j = 1; j <= s.n; ++j) classifyColumn(a, j, true);
  for (int32_t i = s.obj; i <= s.total; ++i) classifyRow(a, i);
}

bool convertStatus(ModelArea& a) {
  ModelStore& s = a.store;
  const double t = primalTolerance(a);
  const double t2 = t + tranEntry(a);
  bool ok = true;
  s.binaries = s.generalIntegers = s.semis = 0;
  s.convexRows = s.piecewiseRows = 0;
  for (int32_t j = 1; j <= s.n; ++j) {
    uint32_t& k = s.kind[j];
    if (k & kKindRemoved) continue;
    const uint32_t st = statusWord(s, j);
    double& L = s.lo[j];
    double& U = s.up[j];
    if (st & kStatusIncFromLower) k |= kKindIncFromLower;
    if (st & kStatusMark40) k |= kKindMark40;
    if (st & kStatusMark100) k |= kKindMark100;
    if (st & kStatusMark400) {
      k |= kKindMark400;
      s.auxCol[j] |= kAuxMark400;
    }
    if (st & kStatusBigM) s.auxCol[j] |= kAuxBigM;
    if (st & kStatusMark8000) k |= kKindMark8000;
    if (st & kStatusMark400000) s.auxCol[j] |= kAuxMark400000;
    if ((st & kStatusSemi1) && (st & kStatusSemi2)) {
      ok = false;
      continue;
    }
    if (st & kStatusSemi1) {
      k |= kKindSemi;
      ++s.semis;
      if (lowerInfinite(L)) {
        ok = false;
        continue;
      }
    }
    if (L > U + t2) {
      ok = false;
      continue;
    }
    if (st & kStatusInteger) {
      if (U > kHugeIntegerBound) U = iBounds(a);
      if (lowerInfinite(L)) {
        L = 0.0;
        k &= ~kKindLower;
      }
      if (s.attached.increment && s.attached.increment[j - 1] == -1.0) s.attached.increment[j - 1] = 1.0;
      k |= kKindInteger;
      classifyColumn(a, j, false);
      if (k & kKindInteger) {
        double* inc = s.attached.increment ? &s.attached.increment[j - 1] : nullptr;
        if (inc && *inc > kIncFibonacci && *inc < 0.0) {
          if (*inc > -1.0) *inc = 1.0 / *inc;
          if (!(k & kKindIncFromLower) && (k & kKindLower) && L < 0.0) {
            ok = false;
            continue;
          }
        }
      }
    }
    if (st & kStatusSemi2) {
      k |= kKindSemi | kKindSemi2;
      ++s.semis;
      if (lowerInfinite(L)) ok = false;
    }
  }
  for (int32_t i = s.obj + 1; i <= s.total; ++i) {
    uint32_t& k = s.kind[i];
    if (k & kKindRemoved) continue;
    const uint32_t st = statusWord(s, i);
    if (st & kStatusConvex) {
      s.auxRow[i] |= kAuxRowConvex;
      ++s.convexRows;
    }
    if (st & kStatusPiecewise) {
      s.auxRow[i] |= kAuxRowPiecewise;
      ++s.piecewiseRows;
    }
    if (st & kStatusMark40) k |= kKindMark40;
    if (st & kStatusMark100) k |= kKindMark100;
    // A row cannot be integer, semi-continuous or start at one, and its
    // bounds must not cross: either would leave the row without a class.
    if (st & kStatusRowInvalid) ok = false;
    if (s.lo[i] > s.up[i] + t2) ok = false;
  }
  classifyAll(a);
  return ok;
}

void appendLogicals(ModelArea& a) {
  ModelStore& s = a.store;
  const bool maximize = maximizing(a);
  for (int32_t i = s.obj; i <= s.total; ++i) {
    s.colptr[i] = s.colptr[i - 1] + 1;
    const int32_t p = colBegin(s, i);
    s.rownos[p] = i - s.obj;
    uint32_t& k = s.kind[i];
    double coef = 1.0;
    if (i == s.obj) {
      coef = maximize ? -1.0 : 1.0;
      k = kKindObjective;
    } else if (k & kKindRemoved) {
      // left as it is
    } else if (k & kKindFree) {
      k = (k & ~(kKindLower | kKindUpper)) | kKindInteger;
    } else if (k & kKindFixed) {
      k = (k & ~(kKindLower | kKindUpper)) | kKindBinary;
    } else if ((k & kKindLower) && (k & kKindUpper)) {
      k = (k & ~kKindLower) | kKindInteger;
    } else if (k & kKindLower) {
      coef = -1.0;
      k = (k & ~(kKindLower | kKindUpper)) | kKindLogicalMinus;
    } else {
      k = (k & ~(kKindLower | kKindUpper)) | kKindInteger;
    }
    s.a[p] = coef;
  }
  s.entries = colEnd(s, s.total);
  s.logicalsAppended = true;
}

void countBoundClasses(ModelArea& a) {
  ModelStore& s = a.store;
  s.colLower = s.colFixed = s.colUpper = s.colFree = 0;
  s.rowGe = s.rowEq = s.rowLe = s.rowFree = s.rowRanged = 0;
  for (int32_t j = 1; j <= s.n; ++j) {
    const uint32_t k = s.kind[j];
    if (k & kKindFixed) {
      ++s.colFixed;
      continue;
    }
    if (k & kKindFree) {
      ++s.colFree;
      continue;
    }
    if (!lowerInfinite(s.lo[j]) && s.lo[j] != 0.0) ++s.colLower;
    if (k & kKindUpper) ++s.colUpper;
  }
  for (int32_t i = s.obj; i <= s.total; ++i) {
    const uint32_t k = s.kind[i];
    if (k & kKindFree)
      ++s.rowFree;
    else if (k & kKindFixed)
      ++s.rowEq;
    else if (k & kKindBothSides)
      ++s.rowRanged;
    else if (k & kKindLower)
      ++s.rowGe;
    else
      ++s.rowLe;
  }
}

}  // namespace kz

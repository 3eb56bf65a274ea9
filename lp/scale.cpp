// ScaleModel: power-of-two scale factors for columns and rows.
#include "lp/scale.h"

#include <algorithm>
#include <cmath>

#include "frame/pool.h"
#include "model/settings.h"
#include "model/store_ops.h"

namespace kz {
namespace {

constexpr int kMaxPasses = 11;
constexpr double kSpread = 16384.0;

struct ScaleContext {
  ModelStore& s;
  double eps;
  bool objective;  // the objective row takes part
};

bool columnOut(const ModelStore& s, int32_t j) { return (s.kind[j] & kKindRemoved) != 0; }

bool rowOut(const ScaleContext& c, int32_t i) {
  const ModelStore& s = c.s;
  if (s.kind[i] & kKindRemoved) return true;
  if (i == s.obj) return !c.objective;
  return (s.kind[i] & kKindFree) != 0;
}

// Size of the magnitudes of column j over qualifying rows; values |a| / r_i
// (divideByRows) or |a| itself; entries of magnitude at most (or below) eps
// left out as the method says.
void columnMeasure(const ScaleContext& c, int32_t j, bool divideByRows, bool strict, double* mx, double* mn,
                   bool* any) {
  const ModelStore& s = c.s;
  *mx = 0.0;
  *mn = HUGE_VAL;
  *any = false;
  for (int32_t p = colBegin(s, j); p < colEnd(s, j); ++p) {
    const int32_t r = s.rownos[p];
    if (r < 0 || r >= s.m) continue;
    const int32_t i = s.obj + r;
    if (rowOut(c, i)) continue;
    const double v = std::fabs(s.a[p]);
    if (strict ? !(v > c.eps) : !(v >= c.eps)) continue;
    const double q = divideByRows ? v / s.scale[i] : v;
    *mx = std::max(*mx, q);
    *mn = std::min(*mn, q);
    *any = true;
  }
}

// Size of the magnitudes of row r (0-based) over structural columns that
// are not removed; values |a| / f_j (divideByColumns) or |a|; with eps,
// entries of magnitude at most eps left out.
double rowSize(const ScaleContext& c, int32_t r, bool divideByColumns, bool useEps) {
  const ModelStore& s = c.s;
  double mx = 0.0, mn = HUGE_VAL;
  bool any = false;
  for (int32_t p = s.rowStart[r]; p < s.rowStart[r + 1]; ++p) {
    const int32_t j = s.rowCol[p];
    if (j > s.n || columnOut(s, j)) continue;
    const double v = std::fabs(s.rowVal[p]);
    if (useEps && !(v > c.eps)) continue;
    const double q = divideByColumns ? v / s.scale[j] : v;
    mx = std::max(mx, q);
    mn = std::min(mn, q);
    any = true;
  }
  return scaleSize(mx, mn, any);
}

void computeFactors(ScaleContext& c, int method, int32_t firstInactiveRow) {
  ModelStore& s = c.s;
  if (method == 2) {
    for (int32_t k = 0; k < firstInactiveRow; ++k) {
      const int32_t i = s.rowList[k];
      if (!rowOut(c, i)) s.scale[i] = rowSize(c, i - s.obj, false, false);
    }
  } else if (method == 3) {
    for (int32_t j = 1; j <= s.n; ++j) {
      if (columnOut(s, j)) continue;
      double mx, mn;
      bool any;
      columnMeasure(c, j, false, false, &mx, &mn, &any);
      s.scale[j] = scaleSize(mx, mn, any);
    }
  } else {
    double previous = 1e200;
    for (int pass = 1; pass <= kMaxPasses; ++pass) {
      double R = 1.0;
      for (int32_t j = 1; j <= s.n; ++j) {
        if (columnOut(s, j)) continue;
        double mx, mn;
        bool any;
        columnMeasure(c, j, true, true, &mx, &mn, &any);
        if (any && mn > 0.0) R = std::max(R, mx / mn);
        if (pass >= 2) s.scale[j] = scaleSize(mx, mn, any);
      }
      if (R >= 0.9 * previous || pass == kMaxPasses) break;
      previous = R;
      for (int32_t k = 0; k < firstInactiveRow; ++k) {
        const int32_t i = s.rowList[k];
        if (!rowOut(c, i)) s.scale[i] = rowSize(c, i - s.obj, true, true);
      }
    }
  }
  // Rows outside the active range measure their own entries.
  for (int32_t k = firstInactiveRow; k < s.m; ++k) {
    const int32_t i = s.rowList[k];
    if (!rowOut(c, i)) s.scale[i] = rowSize(c, i - s.obj, false, false);
  }
}

void roundAndGuard(ModelArea& a, ScaleContext& c) {
  ModelStore& s = c.s;
  for (int32_t i = 1; i <= s.total; ++i) {
    double f = s.scale[i];
    if (!(f > 0.0) || !std::isfinite(f)) f = 1.0;
    f = powerOfTwoAbove(f);
    if (i > s.n) f = 1.0 / f;  // rows: r_i becomes g_i
    s.scale[i] = f;
  }
  const double eps = c.eps;
  const double t = powerOfTwoAbove(primalTolerance(a));
  double tau = t;
  while (tau > eps) tau /= 4.0;
  for (int32_t i = 1; i <= s.total; ++i) {
    double& f = s.scale[i];
    while ((t + eps) * f < 64.0 * tau) f *= 4.0;
    double U = -1.0;
    const uint32_t k = s.kind[i];
    if (i <= s.n && (k & kKindAnySemi))
      U = s.lo[i];
    else if ((k & kKindUpper) && i != s.obj)
      U = s.up[i];
    if (U > eps)
      while (f * U < t + eps) f *= 2.0;
  }
}

void applyFactors(ScaleContext& c) {
  ModelStore& s = c.s;
  for (int32_t j = 1; j <= s.n; ++j) {
    const double f = s.scale[j];
    for (int32_t p = colBegin(s, j); p < colEnd(s, j); ++p) {
      const int32_t r = s.rownos[p];
      if (r < 0 || r >= s.m) continue;
      s.a[p] = s.a[p] * s.scale[s.obj + r] / f;
    }
  }
  for (int32_t r = 0; r < s.m; ++r) {
    const double g = s.scale[s.obj + r];
    for (int32_t p = s.rowStart[r]; p < s.rowStart[r + 1]; ++p) {
      const int32_t j = s.rowCol[p];
      if (j <= s.n) s.rowVal[p] = s.rowVal[p] * g / s.scale[j];
    }
  }
  for (int32_t j = 1; j <= s.n; ++j) {
    const uint32_t k = s.kind[j];
    if (k & kKindFree) continue;
    if ((k & kKindLower) && !lowerInfinite(s.lo[j])) s.lo[j] *= s.scale[j];
    if (k & kKindUpper) s.up[j] *= s.scale[j];
  }
  for (int32_t i = s.obj + 1; i <= s.total; ++i) {
    const double g = s.scale[i];
    if (s.kind[i] & kKindUpper) s.up[i] *= g;
    s.rhs[i] *= g;
  }
  s.objScale = 1.0 / s.scale[s.obj];
}

}  // namespace

void removeScaling(ModelArea& a) {
  ModelStore& s = a.store;
  if (!s.scaled || !s.scale) return;
  for (int32_t i = 1; i <= s.total; ++i) s.scale[i] = 1.0 / s.scale[i];
  ScaleContext c{s, 0.0, false};
  applyFactors(c);
  for (int32_t i = 0; i <= s.total; ++i) s.scale[i] = 1.0;
  s.objScale = 1.0;
  s.scaled = false;
}

double scaleSize(double mx, double mn, bool any) {
  if (!any || mx == 1.0) return 1.0;
  return std::sqrt(std::max(mn, mx / kSpread)) * std::sqrt(mx);
}

double powerOfTwoAbove(double x) {
  int e = 0;
  const double m = std::frexp(x, &e);  // x = m * 2^e, 0.5 <= m < 1
  return m == 0.5 ? std::ldexp(1.0, e - 1) : std::ldexp(1.0, e);
}

int scaleModel(ModelArea& a) { return scaleModelWith(a, scaleMethod(a), scaleObjective(a)); }

int scaleModelWith(ModelArea& a, int method, bool objective) {
  ModelStore& s = a.store;
  if (!s.scale || !s.rowStart || s.total <= 0) return 1;
  ScaleContext c{s, tranEntry(a), objective};
  if (s.attached.scale) {
    for (int32_t i = 1; i <= s.total; ++i) s.scale[i] = s.attached.scale[i - 1];
    applyFactors(c);
    s.scaled = true;
    return 0;
  }
  // The row factors a previous scaling left are taken out and put back at the end.
  double* saved = static_cast<double*>(poolOp(a.pool, kPoolAllocate, int64_t{s.m} * 8));
  if (!saved) return 1;
  bool savedDiffer = false;
  for (int32_t r = 0; r < s.m; ++r) {
    saved[r] = s.scale[s.obj + r];
    if (saved[r] != 1.0) savedDiffer = true;
  }
  for (int32_t i = 1; i <= s.total; ++i) s.scale[i] = 1.0;
  computeFactors(c, method, s.activeRows);
  roundAndGuard(a, c);
  applyFactors(c);
  if (savedDiffer)
    for (int32_t r = 0; r < s.m; ++r) s.scale[s.obj + r] *= saved[r];
  poolOp(a.pool, kPoolRelease, 1);
  s.scaled = true;
  return 0;
}

}  // namespace kz

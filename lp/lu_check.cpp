// Residual checks of the LU solves, for the tests and for the optional
// checking of a running solve.
#include <algorithm>
#include <cmath>

#include "lp/lu.h"

namespace kz::lu {

double ftranResidual(int32_t m, const LuColumns& cols, const double* x,
                     const double* a, double* scratch) {
  double* r = scratch;
  double* s = scratch + (m + 1);
  double aMax = 0.0;
  for (int32_t i = 1; i <= m; ++i) {
    r[i] = a[i];
    s[i] = 0.0;
    aMax = std::max(aMax, std::fabs(a[i]));
  }
  for (int32_t j = 1; j <= m; ++j) {
    const double xj = x[j];
    if (xj == 0.0) continue;
    const int32_t* rows;
    const double* vals;
    const int32_t n = cols.column(j, rows, vals);
    for (int32_t t = 0; t < n; ++t) {
      const int32_t i = rows[t];
      if (i < 1 || i > m) continue;
      const double term = vals[t] * xj;
      r[i] -= term;
      s[i] += std::fabs(term);
    }
  }
  double rMax = 0.0, sMax = 0.0;
  for (int32_t i = 1; i <= m; ++i) {
    rMax = std::max(rMax, std::fabs(r[i]));
    sMax = std::max(sMax, s[i]);
  }
  return rMax / std::max({1.0, aMax, sMax});
}

double btranResidual(int32_t m, const LuColumns& cols, const double* y,
                     const double* c) {
  double rMax = 0.0, scale = 1.0;
  for (int32_t p = 1; p <= m; ++p) {
    const int32_t* rows;
    const double* vals;
    const int32_t n = cols.column(p, rows, vals);
    double r = c[p], s = 0.0;
    for (int32_t t = 0; t < n; ++t) {
      const int32_t i = rows[t];
      if (i < 1 || i > m) continue;
      const double term = y[i] * vals[t];
      r -= term;
      s += std::fabs(term);
    }
    rMax = std::max(rMax, std::fabs(r));
    scale = std::max({scale, std::fabs(c[p]), s});
  }
  return rMax / scale;
}

}  // namespace kz::lu

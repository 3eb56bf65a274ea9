// Checks of the caller's load arrays: the scan every load makes before it
// reads them, and the item-by-item model check (Set KZOK, failed status
// conversion). The model check here finds the codes the full check gives;
// its printed explanations come with the model-check routine KZOK.
#include <cmath>
#include <cstdint>

#include "frame/pool.h"
#include "model/load.h"
#include "model/settings.h"
#include "model/store.h"

namespace kz {
namespace {

constexpr double kCoefLimit = 1e23;
constexpr int64_t kIndexLimit = 2147483647;

bool coefficientBad(double v) { return !std::isfinite(v) || std::fabs(v) > kCoefLimit; }

}  // namespace

int32_t scanLoadArrays(const ModelArea& a, const LoadArgs& g) {
  const int64_t base = a.indexBase[0];
  const int64_t n = g.column, m = g.row;
  if (n + m + 3 > kIndexLimit) return 302;
  const int32_t* cp = g.colptr;
  if (cp[0] < base) return 312;
  for (int64_t k = 0; k < n; ++k)
    if (cp[k + 1] < cp[k]) return 312;
  const int64_t nnz = static_cast<int64_t>(cp[n]) - base;
  if (nnz + m + 1 > kIndexLimit) return 312;
  for (int64_t p = cp[0] - base; p < nnz; ++p) {
    if (g.rownos[p] >= m) return 314;
    if (g.rownos[p] >= 0 && coefficientBad(g.a[p])) return 318;
  }
  for (int64_t i = 0; i < n + m; ++i) {
    if (i == n) continue;  // the objective row's bounds are not used
    if (std::isnan(g.bndmin[i]) || std::isnan(g.bndmax[i])) return i < n ? 304 : 305;
  }
  return 0;
}

int32_t runModelCheck(ModelArea& a, const LoadArgs& g) {
  int32_t code = scanLoadArrays(a, g);
  if (code == 312 || code == 302) return code;  // the entries cannot be walked
  const int64_t base = a.indexBase[0];
  const int32_t n = g.column, m = g.row;
  const double t = primalTolerance(a);
  const double* inc = a.store.attached.increment;
  // Duplicate rows within a column: one mark per row, from the pool when it
  // can give them (the test is skipped otherwise).
  int32_t* mark = m > 0 ? static_cast<int32_t*>(poolOp(a.pool, kPoolAllocate, int64_t{m} * 4)) : nullptr;
  if (mark)
    for (int32_t r = 0; r < m; ++r) mark[r] = -1;
  bool duplicateTest = mark != nullptr;
  code = 0;
  for (int32_t j = 0; j < n; ++j) {
    bool valueBad = false;
    for (int64_t p = g.colptr[j] - base; p < g.colptr[j + 1] - base; ++p) {
      const int32_t r = g.rownos[p];
      if (r >= m) {
        code = 314;
        continue;
      }
      if (r < 0) continue;
      if (duplicateTest) {
        if (mark[r] == j) code = 316;
        mark[r] = j;
      }
      if (coefficientBad(g.a[p])) {
        code = 318;
        valueBad = true;
      }
    }
    if (valueBad) duplicateTest = false;
    const uint32_t st = static_cast<uint32_t>(g.status[j]);
    const double L = g.bndmin[j], U = g.bndmax[j];
    const bool bothSemi = (st & 0x8) && (st & 0x10);
    if (bothSemi) code = 320;
    if (L > U + t || std::isnan(L) || std::isnan(U)) code = 304;
    if ((st & 0x4) && inc && inc[j] > -1000000.0 && inc[j] < 0.0 && !(st & 0x20) && L < 0.0) code = 420;
    if ((st & 0x18) && L <= -9.99e22) code = 326;
    if (bothSemi) code = 328;
  }
  if (mark) poolOp(a.pool, kPoolRelease, 1);
  for (int32_t r = 1; r < m; ++r) {
    const int64_t i = int64_t{n} + r;
    const uint32_t st = static_cast<uint32_t>(g.status[i]);
    if (st & (0x80 | 0x10 | 0x8 | 0x4)) code = 320;
    if (g.bndmin[i] > g.bndmax[i] + t || std::isnan(g.bndmin[i]) || std::isnan(g.bndmax[i])) code = 305;
  }
  return code;
}

}  // namespace kz

// LU factorization of the basis matrix: the triangular phases, the
// Markowitz bump, region sizing and the packing of the factors. The solves
// and the update are in lu_solve.cpp.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "lp/lu.h"

namespace kz::lu {

namespace {

constexpr int64_t kMaxEntries = std::numeric_limits<int32_t>::max() - 1;
// Restarts of one factorization before it gives up; the sizing rules end
// long before this in every case but a pathological one.
constexpr int kMaxAttempts = 100;
// Results of the phases.
constexpr int kPhaseOk = 0;
constexpr int kPhaseSingular = 1;
constexpr int kPhaseShortA = 2;
constexpr int kPhaseShortB = 3;
// Results of the region B sizing.
constexpr int kSizeOk = 0;
constexpr int kSizeFail = 1;
constexpr int kSizeRetry = 2;

double guardFactor(double f, double dflt) {
  return (std::isfinite(f) && f >= 2.0) ? f : dflt;
}

}  // namespace

void LuFactor::setOptions(const LuOptions& o) {
  opt_ = o;
  tol_ = (std::isfinite(o.tranEntry) && o.tranEntry > 0) ? o.tranEntry
                                                         : kLuTranEntryDefault;
  markowitz_ = std::isfinite(o.markowitz) ? o.markowitz : 0.25;
  markowitz_ = std::min(0.999, std::max(tol_, markowitz_));
  reInvertEff_ = o.reInvert > 0 ? o.reInvert : 50;
  lum1_ = guardFactor(o.luMemory1, 4.0);
  lum2_ = guardFactor(o.luMemory2, 3.5);
}

void LuFactor::startSolve() {
  seeded_ = false;
  factorizations_ = 0;
  highestLowWater_ = 0;
}

int64_t LuFactor::workUsed() const {
  if (!valid_) return 0;
  return int64_t(lowWater_) + (int64_t(cap_) - etaTop_);
}

void LuFactor::resize(int32_t m) {
  if (m <= mCap_) return;
  const size_t n = size_t(m) + 2;
  for (auto* v : {&pivRow_, &pivCol_, &rowPiv_, &colPiv_, &uStart_, &uLen_,
                  &lStart_, &lLen_, &lPivRow_, &lPivIdx_, &lOfRow_, &lFrom_,
                  &ucStart_, &lrStart_, &candIdx_, &rowCount_, &colCount_,
                  &rowStart_, &rowLen_, &rowCap_, &rowNextS_, &rowPrevS_,
                  &colStart_, &colLen_, &colCap_, &colNextS_, &colPrevS_,
                  &rowHead_, &rowNext_, &rowPrev_, &colHead_, &colNext_,
                  &colPrev_, &queue_, &pRow_, &qRows_, &pMark_, &seen_, &wl_,
                  &rhsIdx_, &di_, &resIdx_, &dfsMark_, &dfsStack_, &dfsPtr_,
                  &dfsEnd_, &reach_, &listMark_, &etaPosHead_})
    v->assign(n, 0);
  for (auto* v : {&invD_, &cand_, &rowMax_, &pVal_, &w_, &rhs_, &res_, &best_,
                  &dvec_})
    v->assign(n, 0.0);
  rowMaxOk_.assign(n, 0);
  dfsStamp_ = listStamp_ = 0;
  std::fill(etaMark_.begin(), etaMark_.end(), 0);
  etaStamp_ = 0;
  candN_ = 0;
  mCap_ = m;
}

// Counts per row and per position; checks the columns.
int LuFactor::countEntries() {
  const int32_t m = m_;
  std::fill_n(rowCount_.begin(), m + 1, 0);
  std::fill_n(colCount_.begin(), m + 1, 0);
  std::fill_n(seen_.begin(), m + 1, 0);
  nnzB_ = 0;
  for (int32_t j = 1; j <= m; ++j) {
    const int32_t* rows;
    const double* vals;
    int32_t n = cols_->column(j, rows, vals);
    if (n < 0 || (n > 0 && (!rows || !vals))) return kLuBadInput;
    for (int32_t t = 0; t < n; ++t) {
      int32_t i = rows[t];
      double a = vals[t];
      if (i < 1 || i > m || !std::isfinite(a) || seen_[i] == j)
        return kLuBadInput;
      seen_[i] = j;
      if (std::fabs(a) <= tol_) continue;
      ++rowCount_[i];
      ++colCount_[j];
      ++nnzB_;
    }
  }
  return kLuOk;
}

// Region A = floor(f1 * nnz(B)) + m + 1 entries, f1 lowered by 0.5
// until it fits. False: the failure rule applies.
bool LuFactor::sizeRegionA() {
  auto need = [&](double f) {
    return int64_t(std::floor(f * double(nnzB_))) + m_ + 1;
  };
  while (need(f1_) > cap_ && f1_ >= 1.1) f1_ -= 0.5;
  if (f1_ < 1.1 || need(f1_) >= cap_) return false;
  aSize_ = int32_t(need(f1_));
  return true;
}

// The row-wise copy of B at the bottom of region A: per row a reserved slot
// (-1 for an empty row) followed by its (position, value) entries.
void LuFactor::buildRowCopy() {
  const int32_t m = m_;
  int32_t pos = 0;
  for (int32_t i = 1; i <= m; ++i) {
    ai_[pos] = rowCount_[i] == 0 ? -1 : 0;
    av_[pos] = 0.0;
    rowStart_[i] = pos + 1;
    rowLen_[i] = 0;
    pos += 1 + rowCount_[i];
  }
  for (int32_t j = 1; j <= m; ++j) {
    const int32_t* rows;
    const double* vals;
    int32_t n = cols_->column(j, rows, vals);
    for (int32_t t = 0; t < n; ++t) {
      if (std::fabs(vals[t]) <= tol_) continue;
      int32_t i = rows[t];
      int32_t e = rowStart_[i] + rowLen_[i]++;
      ai_[e] = j;
      av_[e] = vals[t];
    }
  }
  aLow_ = pos;
  lTop_ = aSize_;
  npiv_ = 0;
  numL_ = 0;
  fill_ = 0;
  std::fill_n(rowPiv_.begin(), m + 1, 0);
  std::fill_n(colPiv_.begin(), m + 1, 0);
}

// Column singletons: a position whose column has one entry in an unpivoted row is
// pivoted there; the rest of that row is its U row.
void LuFactor::columnSingletons() {
  const int32_t m = m_;
  int32_t nq = 0;
  for (int32_t j = 1; j <= m; ++j)
    if (colCount_[j] == 1) queue_[nq++] = j;
  while (nq > 0) {
    int32_t j = queue_[--nq];
    if (colPiv_[j] || colCount_[j] != 1) continue;
    const int32_t* rows;
    const double* vals;
    int32_t n = cols_->column(j, rows, vals);
    int32_t i = 0;
    double a = 0;
    for (int32_t t = 0; t < n; ++t) {
      if (std::fabs(vals[t]) > tol_ && !rowPiv_[rows[t]]) {
        i = rows[t];
        a = vals[t];
        break;
      }
    }
    if (i == 0) continue;
    int32_t k = ++npiv_;
    pivRow_[k] = i;
    pivCol_[k] = j;
    rowPiv_[i] = k;
    colPiv_[j] = k;
    invD_[k] = 1.0 / a;
    int32_t rs = rowStart_[i], len = rowLen_[i];
    int32_t e = rs;
    while (ai_[e] != j) ++e;
    --len;
    ai_[e] = ai_[rs + len];
    av_[e] = av_[rs + len];
    rowLen_[i] = len;
    uStart_[k] = rs;
    uLen_[k] = len;
    colCount_[j] = 0;
    for (int32_t t = rs; t < rs + len; ++t) {
      int32_t j2 = ai_[t];
      if (--colCount_[j2] == 1) queue_[nq++] = j2;
    }
  }
  colSingletons_ = npiv_;
}

// Row singletons: an unpivoted row with one entry in an unpivoted position is
// pivoted there; the position's other entries in unpivoted rows, divided by
// the pivot, form an L column stored downwards from the top of region A.
int LuFactor::rowSingletons() {
  const int32_t m = m_;
  int32_t nq = 0;
  for (int32_t i = 1; i <= m; ++i)
    if (!rowPiv_[i] && rowCount_[i] == 1) queue_[nq++] = i;
  while (nq > 0) {
    int32_t i = queue_[--nq];
    if (rowPiv_[i] || rowCount_[i] != 1) continue;
    int32_t j = 0;
    double a = 0;
    for (int32_t e = rowStart_[i]; e < rowStart_[i] + rowLen_[i]; ++e) {
      if (!colPiv_[ai_[e]]) {
        j = ai_[e];
        a = av_[e];
        break;
      }
    }
    if (j == 0) continue;
    int32_t k = ++npiv_;
    pivRow_[k] = i;
    pivCol_[k] = j;
    rowPiv_[i] = k;
    colPiv_[j] = k;
    invD_[k] = 1.0 / a;
    uStart_[k] = 0;
    uLen_[k] = 0;
    rowCount_[i] = 0;
    colCount_[j] = 0;
    const int32_t* rows;
    const double* vals;
    int32_t n = cols_->column(j, rows, vals);
    int32_t keep = 0;
    for (int32_t t = 0; t < n; ++t) {
      int32_t r = rows[t];
      if (rowPiv_[r] || std::fabs(vals[t]) <= tol_) continue;
      if (std::fabs(vals[t] / a) > tol_) ++keep;
    }
    if (lTop_ - keep < aLow_) {
      shortA_ = std::max<int64_t>(shortA_, aLow_ - (lTop_ - keep));
      return kPhaseShortA;
    }
    int32_t lc = 0;
    for (int32_t t = 0; t < n; ++t) {
      int32_t r = rows[t];
      if (rowPiv_[r] || std::fabs(vals[t]) <= tol_) continue;
      double l = vals[t] / a;
      if (std::fabs(l) > tol_) {
        ++lc;
        ai_[lTop_ - lc] = r;
        av_[lTop_ - lc] = l;
      }
      if (--rowCount_[r] == 1) queue_[nq++] = r;
    }
    if (lc > 0) {
      ++numL_;
      lTop_ -= lc;
      lStart_[numL_] = lTop_;
      lLen_[numL_] = lc;
      lPivRow_[numL_] = i;
      lPivIdx_[numL_] = k;
    }
  }
  triPivots_ = npiv_;
  bumpNnz_ = 0;
  for (int32_t r = 1; r <= m; ++r)
    if (!rowPiv_[r]) bumpNnz_ += rowCount_[r];
  return kPhaseOk;
}

// Packs the U rows of the column-singleton pivots at the bottom of region A
// (they lie in row order, so moving them down in that order is safe).
void LuFactor::compactTriangularRows() {
  int32_t pos = 0;
  for (int32_t i = 1; i <= m_; ++i) {
    int32_t k = rowPiv_[i];
    if (k == 0 || k > colSingletons_) continue;
    int32_t s = uStart_[k], n = uLen_[k];
    if (s != pos) {
      std::memmove(ai_ + pos, ai_ + s, sizeof(int32_t) * size_t(n));
      std::memmove(av_ + pos, av_ + s, sizeof(double) * size_t(n));
    }
    uStart_[k] = pos;
    pos += n;
  }
  aLow_ = pos;
}

// Region B = floor(f2 * (bump nnz + 1)) + (m + 1) - triangular
// pivots entries after region A, f2 lowered by 0.5 until it fits.
int LuFactor::sizeRegionB(double f2Before) {
  auto need = [&](double f) {
    return int64_t(std::floor(f * double(bumpNnz_ + 1))) + (m_ + 1) -
           triPivots_;
  };
  const int64_t avail = int64_t(cap_) - aSize_;
  while (need(f2_) > avail && f2_ >= 1.1) f2_ -= 0.5;
  if (f2_ < 1.1) {
    if (attempts_ > 50 || f1_ < 1.6) return kSizeFail;
    // Give region B the room: f2 starts from where it was.
    f2_ = f2Before;
    f1_ -= 2.0;
    return kSizeRetry;
  }
  bEnd_ = int32_t(aSize_ + need(f2_));
  return kSizeOk;
}

// The bump rows into region B (one spare slot each), their column patterns
// and the count buckets.
void LuFactor::loadBump() {
  const int32_t m = m_;
  int32_t pos = aSize_;
  rowHeadS_ = rowTailS_ = 0;
  for (int32_t i = 1; i <= m; ++i) {
    if (rowPiv_[i]) continue;
    int32_t rs = rowStart_[i], n = rowLen_[i], len = 0;
    for (int32_t e = rs; e < rs + n; ++e) {
      int32_t j = ai_[e];
      if (colPiv_[j]) continue;
      ai_[pos + len] = j;
      av_[pos + len] = av_[e];
      ++len;
    }
    rowStart_[i] = pos;
    rowLen_[i] = len;
    rowCap_[i] = std::min(len + 1, bEnd_ - pos);
    pos += rowCap_[i];
    rowPrevS_[i] = rowTailS_;
    rowNextS_[i] = 0;
    if (rowTailS_) rowNextS_[rowTailS_] = i;
    else rowHeadS_ = i;
    rowTailS_ = i;
    rowMaxOk_[i] = 0;
  }
  bUsed_ = pos;

  // Column patterns.
  for (int32_t j = 1; j <= m; ++j) colLen_[j] = 0;
  for (int32_t i = 1; i <= m; ++i) {
    if (rowPiv_[i]) continue;
    for (int32_t e = rowStart_[i]; e < rowStart_[i] + rowLen_[i]; ++e)
      ++colLen_[ai_[e]];
  }
  int64_t colNeed = bumpNnz_ + (m - triPivots_) + 1;
  int64_t colSize = std::max<int64_t>(colNeed, int64_t(bEnd_) - aSize_);
  if (int64_t(colStore_.size()) < colSize) colStore_.resize(size_t(colSize));
  int32_t cpos = 0;
  colHeadS_ = colTailS_ = 0;
  for (int32_t j = 1; j <= m; ++j) {
    if (colPiv_[j]) continue;
    colStart_[j] = cpos;
    colCap_[j] = colLen_[j] + 1;
    cpos += colCap_[j];
    colLen_[j] = 0;
    colPrevS_[j] = colTailS_;
    colNextS_[j] = 0;
    if (colTailS_) colNextS_[colTailS_] = j;
    else colHeadS_ = j;
    colTailS_ = j;
  }
  colUsed_ = cpos;
  for (int32_t i = 1; i <= m; ++i) {
    if (rowPiv_[i]) continue;
    for (int32_t e = rowStart_[i]; e < rowStart_[i] + rowLen_[i]; ++e) {
      int32_t j = ai_[e];
      colStore_[colStart_[j] + colLen_[j]++] = i;
    }
  }

  // Count buckets.
  std::fill_n(rowHead_.begin(), m + 2, 0);
  std::fill_n(colHead_.begin(), m + 2, 0);
  maxRowCount_ = maxColCount_ = 0;
  for (int32_t i = 1; i <= m; ++i) {
    rowCount_[i] = -1;
    if (!rowPiv_[i]) bucketInsertRow(i);
  }
  for (int32_t j = 1; j <= m; ++j) {
    colCount_[j] = -1;
    if (!colPiv_[j]) bucketInsertCol(j);
  }
  std::fill_n(pMark_.begin(), m + 1, 0);
  std::fill_n(seen_.begin(), m + 1, 0);
  seenStamp_ = 0;
}

// Buckets: rowCount_/colCount_ hold the count a line was filed under, -1
// when it is in no bucket (pivoted, or empty).
void LuFactor::bucketInsertRow(int32_t i) {
  int32_t c = rowLen_[i];
  if (c <= 0) {
    rowCount_[i] = -1;
    return;
  }
  rowCount_[i] = c;
  rowPrev_[i] = 0;
  rowNext_[i] = rowHead_[c];
  if (rowHead_[c]) rowPrev_[rowHead_[c]] = i;
  rowHead_[c] = i;
  maxRowCount_ = std::max(maxRowCount_, c);
}

void LuFactor::bucketRemoveRow(int32_t i) {
  int32_t c = rowCount_[i];
  if (c < 0) return;
  if (rowPrev_[i]) rowNext_[rowPrev_[i]] = rowNext_[i];
  else rowHead_[c] = rowNext_[i];
  if (rowNext_[i]) rowPrev_[rowNext_[i]] = rowPrev_[i];
  rowCount_[i] = -1;
}

void LuFactor::bucketInsertCol(int32_t j) {
  int32_t c = colLen_[j];
  if (c <= 0) {
    colCount_[j] = -1;
    return;
  }
  colCount_[j] = c;
  colPrev_[j] = 0;
  colNext_[j] = colHead_[c];
  if (colHead_[c]) colPrev_[colHead_[c]] = j;
  colHead_[c] = j;
  maxColCount_ = std::max(maxColCount_, c);
}

void LuFactor::bucketRemoveCol(int32_t j) {
  int32_t c = colCount_[j];
  if (c < 0) return;
  if (colPrev_[j]) colNext_[colPrev_[j]] = colNext_[j];
  else colHead_[c] = colNext_[j];
  if (colNext_[j]) colPrev_[colNext_[j]] = colPrev_[j];
  colCount_[j] = -1;
}

double LuFactor::entryValue(int32_t r, int32_t j) const {
  for (int32_t e = rowStart_[r], end = e + rowLen_[r]; e < end; ++e)
    if (ai_[e] == j) return av_[e];
  return 0.0;
}

double LuFactor::rowMax(int32_t r) {
  if (!rowMaxOk_[r]) {
    double mx = 0;
    for (int32_t e = rowStart_[r], end = e + rowLen_[r]; e < end; ++e)
      mx = std::max(mx, std::fabs(av_[e]));
    rowMax_[r] = mx;
    rowMaxOk_[r] = 1;
  }
  return rowMax_[r];
}

// The bump's pivot choice: singleton columns, singleton rows, then the
// columns and rows of count c = 2, 3, ... with the threshold test, the
// Markowitz cost and the stop rules.
bool LuFactor::findPivot(int32_t& p, int32_t& q) {
  for (int32_t j = colHead_[1]; j; j = colNext_[j]) {
    int32_t r = colStore_[colStart_[j]];
    if (std::fabs(entryValue(r, j)) > tol_) {
      p = r;
      q = j;
      return true;
    }
  }
  for (int32_t i = rowHead_[1]; i; i = rowNext_[i]) {
    int32_t e = rowStart_[i];
    if (std::fabs(av_[e]) > tol_) {
      p = i;
      q = ai_[e];
      return true;
    }
  }
  bool found = false;
  int64_t bestCost = 0;
  double bestAbs = 0;
  int scanned = 0;
  auto consider = [&](int32_t i, int32_t j, double a, int64_t cost) {
    double aa = std::fabs(a);
    if (!found || cost < bestCost || (cost == bestCost && aa > bestAbs)) {
      found = true;
      bestCost = cost;
      bestAbs = aa;
      p = i;
      q = j;
    }
  };
  const int32_t maxC = std::max(maxRowCount_, maxColCount_);
  for (int32_t c = 2; c <= maxC; ++c) {
    const int64_t c1 = c - 1;
    for (int32_t j = colHead_[c]; j; j = colNext_[j]) {
      for (int32_t t = colStart_[j], end = t + colLen_[j]; t < end; ++t) {
        int32_t r = colStore_[t];
        double a = entryValue(r, j);
        double aa = std::fabs(a);
        if (aa > tol_ && aa >= markowitz_ * rowMax(r) - tol_)
          consider(r, j, a, int64_t(rowLen_[r] - 1) * c1);
      }
      ++scanned;
      if (found && (bestCost < c1 * c1 || scanned >= 2)) return true;
    }
    for (int32_t i = rowHead_[c]; i; i = rowNext_[i]) {
      double lim = markowitz_ * rowMax(i) - tol_;
      for (int32_t e = rowStart_[i], end = e + rowLen_[i]; e < end; ++e) {
        double aa = std::fabs(av_[e]);
        if (aa > tol_ && aa >= lim)
          consider(i, ai_[e], av_[e], int64_t(colLen_[ai_[e]] - 1) * c1);
      }
      ++scanned;
      if (found && (bestCost < c1 * c || scanned >= 2)) return true;
    }
  }
  return found;
}

void LuFactor::colRemove(int32_t j, int32_t r) {
  int32_t s = colStart_[j], n = colLen_[j];
  for (int32_t t = s; t < s + n; ++t) {
    if (colStore_[t] == r) {
      colStore_[t] = colStore_[s + n - 1];
      colLen_[j] = n - 1;
      return;
    }
  }
}

void LuFactor::compressCols() {
  int32_t pos = 0;
  for (int32_t j = colHeadS_; j; j = colNextS_[j]) {
    int32_t s = colStart_[j], n = colLen_[j];
    if (s != pos)
      std::memmove(&colStore_[pos], &colStore_[s], sizeof(int32_t) * size_t(n));
    colStart_[j] = pos;
    colCap_[j] = n;
    pos += n;
  }
  colUsed_ = pos;
}

// Column patterns live outside the work area; they are compressed, and
// grown if need be, at factorization time only.
void LuFactor::colAppend(int32_t j, int32_t r) {
  int32_t n = colLen_[j];
  if (n < colCap_[j]) {
    colStore_[colStart_[j] + colLen_[j]++] = r;
    return;
  }
  int64_t size = int64_t(colStore_.size());
  int32_t extra = std::max<int32_t>(4, n / 4);
  if (j == colTailS_ && colStart_[j] + n + 1 + extra <= size) {
    colCap_[j] = n + 1 + extra;
    colUsed_ = colStart_[j] + colCap_[j];
    colStore_[colStart_[j] + colLen_[j]++] = r;
    return;
  }
  int64_t want = n + 1 + extra;
  if (colUsed_ + want > size) {
    compressCols();
    if (colUsed_ + want > size)
      colStore_.resize(size_t(std::max(2 * size, colUsed_ + want)));
  }
  int32_t dst = colUsed_;
  int32_t s = colStart_[j];
  std::memcpy(&colStore_[dst], &colStore_[s], sizeof(int32_t) * size_t(n));
  colStart_[j] = dst;
  colCap_[j] = int32_t(want);
  colUsed_ = dst + int32_t(want);
  if (j != colTailS_) {
    if (colPrevS_[j]) colNextS_[colPrevS_[j]] = colNextS_[j];
    else colHeadS_ = colNextS_[j];
    colPrevS_[colNextS_[j]] = colPrevS_[j];
    colPrevS_[j] = colTailS_;
    colNextS_[j] = 0;
    colNextS_[colTailS_] = j;
    colTailS_ = j;
  }
  colStore_[colStart_[j] + colLen_[j]++] = r;
}

void LuFactor::compressRows() {
  int32_t pos = aSize_;
  for (int32_t i = rowHeadS_; i; i = rowNextS_[i]) {
    int32_t s = rowStart_[i], n = rowLen_[i];
    if (s != pos) {
      std::memmove(ai_ + pos, ai_ + s, sizeof(int32_t) * size_t(n));
      std::memmove(av_ + pos, av_ + s, sizeof(double) * size_t(n));
    }
    rowStart_[i] = pos;
    rowCap_[i] = n;
    pos += n;
  }
  bUsed_ = pos;
}

// When a region runs out during the bump: what it would lack by the end if
// the bump went on filling at the rate it did so far (used entries scaled by
// bump rows over bump pivots done), at least what it lacks now.
int64_t LuFactor::projectedLack(int64_t used, int64_t size) const {
  const int64_t rows = m_ - triPivots_;
  const int64_t done = std::max<int64_t>(1, npiv_ - triPivots_);
  const int64_t projected = int64_t(double(used) * double(rows) / double(done));
  return std::max<int64_t>(used - size, projected - size);
}

// Room for need more entries in row r of region B: in place, at the end of
// the used part, or after compressing the region. False: region B is
// exhausted.
bool LuFactor::ensureRowRoom(int32_t r, int32_t need) {
  int32_t len = rowLen_[r];
  if (len + need <= rowCap_[r]) return true;
  int32_t extra = std::max<int32_t>(4, (len + need) / 4);
  if (r == rowTailS_) {
    int64_t s = rowStart_[r];
    int64_t c = std::min<int64_t>(len + need + extra, bEnd_ - s);
    if (c >= len + need) {
      rowCap_[r] = int32_t(c);
      bUsed_ = int32_t(s + c);
      return true;
    }
  }
  int64_t want = len + need + extra;
  if (bUsed_ + want > bEnd_) {
    shortB_ = std::max<int64_t>(shortB_, bUsed_ + want - bEnd_);
    compressRows();
    if (bUsed_ + want > bEnd_) {
      want = len + need;
      if (bUsed_ + want > bEnd_) {
        shortB_ = std::max(shortB_, projectedLack(bUsed_ + want - aSize_,
                                                  bEnd_ - aSize_));
        return false;
      }
    }
  }
  int32_t dst = bUsed_;
  int32_t s = rowStart_[r];
  std::memcpy(ai_ + dst, ai_ + s, sizeof(int32_t) * size_t(len));
  std::memcpy(av_ + dst, av_ + s, sizeof(double) * size_t(len));
  rowStart_[r] = dst;
  rowCap_[r] = int32_t(want);
  bUsed_ = dst + int32_t(want);
  if (r != rowTailS_) {
    if (rowPrevS_[r]) rowNextS_[rowPrevS_[r]] = rowNextS_[r];
    else rowHeadS_ = rowNextS_[r];
    rowPrevS_[rowNextS_[r]] = rowPrevS_[r];
    rowPrevS_[r] = rowTailS_;
    rowNextS_[r] = 0;
    rowNextS_[rowTailS_] = r;
    rowTailS_ = r;
  }
  return true;
}

// One elimination step on pivot (p, q): row p becomes a U row, the
// multipliers of column q an L column (downwards in region A), and every
// other row of column q takes its multiple of row p.
int LuFactor::eliminate(int32_t p, int32_t q) {
  const int32_t nq = colLen_[q] - 1;
  if (lTop_ - nq < aLow_) {
    const int64_t lack = aLow_ - (lTop_ - nq);
    shortA_ = std::max(shortA_, std::max(lack, projectedLack(aSize_ - lTop_,
                                                             aSize_ - aLow_)));
    return kPhaseShortA;
  }
  int32_t rs = rowStart_[p], len = rowLen_[p];
  int32_t e = rs;
  while (ai_[e] != q) ++e;
  const double d = av_[e];
  --len;
  ai_[e] = ai_[rs + len];
  av_[e] = av_[rs + len];
  rowLen_[p] = len;

  const int32_t k = ++npiv_;
  pivRow_[k] = p;
  pivCol_[k] = q;
  rowPiv_[p] = k;
  colPiv_[q] = k;
  invD_[k] = 1.0 / d;
  bucketRemoveRow(p);
  bucketRemoveCol(q);

  const int32_t np = len;
  for (int32_t t = 0; t < np; ++t) {
    int32_t j = ai_[rs + t];
    pRow_[t] = j;
    pVal_[j] = av_[rs + t];
    pMark_[j] = k;
    bucketRemoveCol(j);
    colRemove(j, p);
  }
  int32_t nr = 0;
  for (int32_t t = colStart_[q], end = t + colLen_[q]; t < end; ++t)
    if (colStore_[t] != p) qRows_[nr++] = colStore_[t];
  // Column q leaves the pattern store.
  if (colPrevS_[q]) colNextS_[colPrevS_[q]] = colNextS_[q];
  else colHeadS_ = colNextS_[q];
  if (colNextS_[q]) colPrevS_[colNextS_[q]] = colPrevS_[q];
  else colTailS_ = colPrevS_[q];
  colLen_[q] = 0;

  int32_t lc = 0;
  for (int32_t t = 0; t < nr; ++t) {
    const int32_t r = qRows_[t];
    int32_t rr = rowStart_[r], lr = rowLen_[r];
    int32_t er = rr;
    while (ai_[er] != q) ++er;
    const double l = av_[er] / d;
    --lr;
    ai_[er] = ai_[rr + lr];
    av_[er] = av_[rr + lr];
    rowLen_[r] = lr;
    bucketRemoveRow(r);
    rowMaxOk_[r] = 0;
    if (std::fabs(l) > tol_) {
      ++lc;
      ai_[lTop_ - lc] = r;
      av_[lTop_ - lc] = l;
      if (seenStamp_ == std::numeric_limits<int32_t>::max()) {
        std::fill(seen_.begin(), seen_.end(), 0);
        seenStamp_ = 0;
      }
      const int32_t st = ++seenStamp_;
      for (int32_t x = rr; x < rr + lr;) {
        int32_t j = ai_[x];
        if (pMark_[j] == k) {
          seen_[j] = st;
          double v = av_[x] - l * pVal_[j];
          if (std::fabs(v) <= tol_) {
            --lr;
            ai_[x] = ai_[rr + lr];
            av_[x] = av_[rr + lr];
            colRemove(j, r);
            continue;
          }
          av_[x] = v;
        }
        ++x;
      }
      rowLen_[r] = lr;
      int32_t nf = 0;
      for (int32_t t2 = 0; t2 < np; ++t2)
        if (seen_[pRow_[t2]] != st) ++nf;
      if (nf > 0) {
        if (!ensureRowRoom(r, nf)) return kPhaseShortB;
        rr = rowStart_[r];
        lr = rowLen_[r];
        for (int32_t t2 = 0; t2 < np; ++t2) {
          int32_t j = pRow_[t2];
          if (seen_[j] == st) continue;
          double v = -l * pVal_[j];
          if (std::fabs(v) <= tol_) continue;
          ai_[rr + lr] = j;
          av_[rr + lr] = v;
          ++lr;
          ++fill_;
          colAppend(j, r);
        }
        rowLen_[r] = lr;
      }
    }
    bucketInsertRow(r);
  }
  if (lc > 0) {
    ++numL_;
    lTop_ -= lc;
    lStart_[numL_] = lTop_;
    lLen_[numL_] = lc;
    lPivRow_[numL_] = p;
    lPivIdx_[numL_] = k;
  }
  for (int32_t t = 0; t < np; ++t) bucketInsertCol(pRow_[t]);
  return kPhaseOk;
}

int LuFactor::bump() {
  while (npiv_ < m_) {
    int32_t p = 0, q = 0;
    if (!findPivot(p, q)) break;
    int rc = eliminate(p, q);
    if (rc != kPhaseOk) return rc;
  }
  return npiv_ < m_ ? kPhaseSingular : kPhaseOk;
}

// The eta file should keep room for this many entries: about ReInvert
// updates of half a column, at most a few times the factors.
int64_t LuFactor::etaReserve() const {
  int64_t perUpdate = (int64_t(reInvertEff_) + 1) * m_ / 2;
  int64_t f = std::min<int64_t>(10, int64_t(std::floor(std::max(f1_, f2_) + 1)));
  return std::min(perUpdate, f * (nnzL_ + nnzU_ + m_));
}

// Transposed copies: U by position (row, value) and L by row (pivot row,
// value), after the packed factors.
void LuFactor::buildCopies() {
  const int32_t m = m_;
  int32_t pos = lowWater_;
  std::fill_n(ucStart_.begin(), m + 2, 0);
  for (int32_t k = 1; k <= m; ++k)
    for (int32_t e = uStart_[k], end = e + uLen_[k]; e < end; ++e)
      ++ucStart_[ai_[e]];
  for (int32_t j = 1; j <= m + 1; ++j) {
    int32_t c = ucStart_[j];
    ucStart_[j] = pos;
    pos += c;
  }
  // queue_ serves as the fill pointer.
  for (int32_t j = 1; j <= m; ++j) queue_[j] = ucStart_[j];
  for (int32_t k = 1; k <= m; ++k) {
    int32_t i = pivRow_[k];
    for (int32_t e = uStart_[k], end = e + uLen_[k]; e < end; ++e) {
      int32_t d = queue_[ai_[e]]++;
      ai_[d] = i;
      av_[d] = av_[e];
    }
  }
  std::fill_n(lrStart_.begin(), m + 2, 0);
  for (int32_t t = 1; t <= numL_; ++t)
    for (int32_t e = lStart_[t], end = e + lLen_[t]; e < end; ++e)
      ++lrStart_[ai_[e]];
  for (int32_t i = 1; i <= m + 1; ++i) {
    int32_t c = lrStart_[i];
    lrStart_[i] = pos;
    pos += c;
  }
  for (int32_t i = 1; i <= m; ++i) queue_[i] = lrStart_[i];
  for (int32_t t = 1; t <= numL_; ++t) {
    int32_t p = lPivRow_[t];
    for (int32_t e = lStart_[t], end = e + lLen_[t]; e < end; ++e) {
      int32_t d = queue_[ai_[e]]++;
      ai_[d] = p;
      av_[d] = av_[e];
    }
  }
  lowWater_ = pos;
  copies_ = true;
}

// Adapts f1 and f2 for the next factorization: a crowded work area (factors
// above 70% of it) brings factors that grew more than 5 beyond their option
// values down by 2; otherwise, after at most two attempts and with room for
// the eta reserve, a region that had to be compressed gets its factor raised
// by its shortfall / 500.
void LuFactor::adaptFactors() {
  if (double(lowWater_) > 0.7 * double(cap_)) {
    if (f1_ > lum1_ + 5) f1_ -= 2.0;
    if (f2_ > lum2_ + 5) f2_ -= 2.0;
  } else if (attempts_ < 3 && int64_t(cap_) - lowWater_ > etaReserve()) {
    if (shortA_ > 2) f1_ += double(shortA_) / 500.0;
    if (shortB_ > 2) f2_ += double(shortB_) / 500.0;
  }
}

// Completes a singular factorization with unit pivots, packs the factors
// at the bottom of the work area and sets up the maps the solves use.
void LuFactor::finish() {
  const int32_t m = m_;
  bumpPivots_ = npiv_ - triPivots_;
  singPos_.clear();
  singRow_.clear();
  const int32_t realPiv = npiv_;
  for (int32_t k = triPivots_ + 1; k <= realPiv; ++k) {
    int32_t p = pivRow_[k];
    uStart_[k] = rowStart_[p];
    uLen_[k] = rowLen_[p];
  }
  if (npiv_ < m) {
    for (int32_t j = 1; j <= m; ++j)
      if (!colPiv_[j]) singPos_.push_back(j);
    for (int32_t i = 1; i <= m; ++i)
      if (!rowPiv_[i]) singRow_.push_back(i);
    // The unit columns that stand in for the unpivoted positions have
    // nothing in the pivoted rows: drop those U entries.
    for (int32_t k = 1; k <= realPiv; ++k) {
      int32_t s = uStart_[k], n = uLen_[k];
      for (int32_t e = s; e < s + n;) {
        if (!colPiv_[ai_[e]]) {
          --n;
          ai_[e] = ai_[s + n];
          av_[e] = av_[s + n];
        } else {
          ++e;
        }
      }
      uLen_[k] = n;
      if (k > triPivots_) rowLen_[pivRow_[k]] = n;
    }
    // The unpivoted rows are bump rows, all empty by now.
    for (int32_t i : singRow_) rowLen_[i] = 0;
    for (size_t t = 0; t < singPos_.size(); ++t) {
      int32_t k = ++npiv_;
      pivRow_[k] = singRow_[t];
      pivCol_[k] = singPos_[t];
      rowPiv_[singRow_[t]] = k;
      colPiv_[singPos_[t]] = k;
      invD_[k] = 1.0;
      uStart_[k] = 0;
      uLen_[k] = 0;
    }
  }
  compactTriangularRows();
  compressRows();

  // L down to the packed U rows, then the bump's U rows after it.
  const int32_t lTotal = aSize_ - lTop_;
  if (lTop_ != aLow_) {
    std::memmove(ai_ + aLow_, ai_ + lTop_, sizeof(int32_t) * size_t(lTotal));
    std::memmove(av_ + aLow_, av_ + lTop_, sizeof(double) * size_t(lTotal));
    const int32_t delta = lTop_ - aLow_;
    for (int32_t t = 1; t <= numL_; ++t) lStart_[t] -= delta;
  }
  const int32_t dst = aLow_ + lTotal;
  const int32_t nub = bUsed_ - aSize_;
  if (nub > 0 && dst != aSize_) {
    std::memmove(ai_ + dst, ai_ + aSize_, sizeof(int32_t) * size_t(nub));
    std::memmove(av_ + dst, av_ + aSize_, sizeof(double) * size_t(nub));
  }
  for (int32_t k = triPivots_ + 1; k <= realPiv; ++k) {
    int32_t p = pivRow_[k];
    uStart_[k] = rowStart_[p] - aSize_ + dst;
    uLen_[k] = rowLen_[p];
  }
  lowWater_ = dst + nub;
  nnzL_ = lTotal;
  nnzU_ = 0;
  for (int32_t k = 1; k <= m; ++k) nnzU_ += uLen_[k];

  std::fill_n(lOfRow_.begin(), m + 1, 0);
  for (int32_t t = 1; t <= numL_; ++t) lOfRow_[lPivRow_[t]] = t;
  for (int32_t k = 1, t = 1; k <= m + 1; ++k) {
    while (t <= numL_ && lPivIdx_[t] < k) ++t;
    lFrom_[k] = t;
  }

  copies_ = false;
  if (double(fill_) < 0.28 * double(nnzB_) &&
      int64_t(cap_) - lowWater_ - (nnzL_ + nnzU_) >= etaReserve())
    buildCopies();

  etaTop_ = cap_;
  highestLowWater_ = std::max<int64_t>(highestLowWater_, lowWater_);
  int64_t etaCap = std::min<int64_t>(reInvertEff_, int64_t(cap_) - lowWater_);
  etaCap = std::max<int64_t>(1, std::min<int64_t>(etaCap, 1 << 20)) + 1;
  if (int64_t(etaStart_.size()) < etaCap) {
    etaStart_.resize(size_t(etaCap));
    etaLen_.resize(size_t(etaCap));
    etaPos_.resize(size_t(etaCap));
    etaPiv_.resize(size_t(etaCap));
    etaMark_.resize(size_t(etaCap), 0);
  }
  // Nodes for the entries the eta file may take before update() asks for
  // a factorization (and one eta of m entries beyond).
  const int64_t nodes = std::min<int64_t>(
      {int64_t(cap_) - lowWater_, 5 * (nnzL_ + nnzU_ + m) + m + 1,
       (etaCap + 1) * (int64_t(m) + 1)});
  if (int64_t(etaNodeEta_.size()) < nodes) {
    etaNodeEta_.resize(size_t(nodes));
    etaNodeNext_.resize(size_t(nodes));
  }
  std::fill_n(etaPosHead_.begin(), m + 1, -1);
  etaByPos_ = true;
  adaptFactors();
}

// The driver. Each attempt counts, sizes region A, runs the triangular
// phases, sizes region B and runs the bump. A region that runs out in the
// bump raises its factor by shortfall / 500 + 1 (the other one by
// shortfall / 500 + 0.1) and starts again. When a region cannot be given
// room, the failure rule applies: the first time f1 = f2 = 3.0 and start
// again, the second time 412.
int LuFactor::factorize(int32_t m, const LuColumns& cols,
                        const LuWorkArea& work) {
  ++factorizations_;
  valid_ = false;
  refactor_ = true;
  if (hasCand_ || candN_ > 0) {
    for (int32_t t = 0; t < candN_; ++t) cand_[candIdx_[t]] = 0.0;
    candN_ = 0;
    hasCand_ = false;
  }
  numEtas_ = updates_ = 0;
  etaEntries_ = 0;
  singPos_.clear();
  singRow_.clear();
  copies_ = false;
  fellBack_ = false;
  attempts_ = 0;
  refineRounds_ = 0;
  ftranDensity_ = btranDensity_ = 0;
  nnzL_ = nnzU_ = fill_ = 0;
  triPivots_ = bumpPivots_ = 0;
  if (m < 0) return kLuBadInput;
  if (!seeded_) {
    f1_ = lum1_;
    f2_ = lum2_;
    seeded_ = true;
  }
  resize(m);
  m_ = m;
  cols_ = &cols;
  if (m > 0 && (!work.value || !work.index)) return kLuBadInput;
  cap_ = int32_t(std::clamp<int64_t>(work.count, 0, kMaxEntries));
  av_ = work.value;
  ai_ = work.index;
  if (m == 0) {
    lowWater_ = 0;
    etaTop_ = cap_;
    numL_ = 0;
    nnzB_ = 0;
    valid_ = true;
    refactor_ = false;
    return kLuOk;
  }

  // A region that ran out must come out larger on the next attempt (the
  // growth rules alone could repeat the same sizes for ever): region A, or
  // else the failure rule; region B, or else region A gives up room (f1
  // lowered by 2.0, as when region B does not fit at all).
  int failures = 0;
  int64_t exhaustedA = -1, exhaustedB = -1;
  shortA_ = shortB_ = 0;
  auto failRule = [&]() {
    if (failures > 0) return false;
    failures = 1;
    f1_ = f2_ = 3.0;
    fellBack_ = true;
    exhaustedA = exhaustedB = -1;
    return true;
  };
  auto outOfMemory = [&]() {
    valid_ = false;
    refactor_ = true;
    return kLuOutOfMemory;
  };
  for (;;) {
    if (++attempts_ > kMaxAttempts) return outOfMemory();
    if (countEntries() != kLuOk) return kLuBadInput;
    if (nnzB_ + int64_t(m) + 1 > kMaxEntries) return outOfMemory();
    if (!sizeRegionA() || aSize_ <= exhaustedA) {
      if (failRule()) continue;
      return outOfMemory();
    }
    buildRowCopy();
    columnSingletons();
    int rc = rowSingletons();
    if (rc == kPhaseOk) {
      const double f2Before = f2_;
      int sz = sizeRegionB(f2Before);
      if (sz == kSizeRetry) continue;
      if (sz == kSizeOk && bEnd_ - aSize_ <= exhaustedB) {
        if (attempts_ <= 50 && f1_ >= 1.6) {
          f1_ -= 2.0;
          continue;
        }
        sz = kSizeFail;
      }
      if (sz == kSizeFail) {
        if (failRule()) continue;
        return outOfMemory();
      }
      loadBump();
      compactTriangularRows();
      rc = bump();
    }
    if (rc == kPhaseShortA) {
      exhaustedA = aSize_;
      exhaustedB = -1;
      f1_ += std::floor(double(shortA_) / 500.0) + 1.0;
      f2_ += std::floor(double(shortB_) / 500.0) + 0.1;
      shortA_ = shortB_ = 0;
      continue;
    }
    if (rc == kPhaseShortB) {
      exhaustedB = bEnd_ - aSize_;
      exhaustedA = -1;
      f2_ += std::floor(double(shortB_) / 500.0) + 1.0;
      f1_ += std::floor(double(shortA_) / 500.0) + 0.1;
      shortA_ = shortB_ = 0;
      continue;
    }
    finish();
    valid_ = true;
    refactor_ = false;
    return rc == kPhaseSingular ? kLuSingular : kLuOk;
  }
}

int32_t repairSingularBasis(const LuFactor& lu, int32_t* basisVar,
                            const int32_t* logicalOfRow, int32_t* leaving) {
  const int32_t n = lu.singularCount();
  const int32_t* pos = lu.singularPositions();
  const int32_t* rows = lu.singularRows();
  for (int32_t k = 0; k < n; ++k) {
    if (leaving) leaving[k] = basisVar[pos[k]];
    basisVar[pos[k]] = logicalOfRow[rows[k]];
  }
  return n;
}

}  // namespace kz::lu

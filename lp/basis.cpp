// The basis layer: working form set-up, basis header, factorization with
// the singular repair, basic values and the solve wrappers.
#include "lp/basis.h"

#include <algorithm>
#include <cmath>

#include "lp/scale.h"
#include "model/settings.h"
#include "model/store_ops.h"

namespace kz {
namespace {

constexpr double kInf = 1e300;
constexpr double kPivotRowTiny = 2.220446049250313e-16;  // pivot-row entries at most this are dropped

bool excludedFromList(const ModelStore& s, int32_t k) { return (s.kind[k] & kKindRemoved) != 0; }

// The LU work area: room for the factors at the LU memory factors plus the
// eta file of one ReInvert interval.
int64_t luWorkSize(const LpState& L, int64_t nnzActive) {
  const int64_t etaRoom = (int64_t{L.reinvert} + 2) * (int64_t{L.ma} + 1) / 2;
  return 12 * (nnzActive + L.ma + 1) + etaRoom + 4096;
}

}  // namespace

LpState& lpState(ModelArea& a) {
  if (!a.lp) a.lp = std::make_shared<LpState>();
  return *a.lp;
}

LpState* lpStateIf(const ModelArea& a) { return a.lp.get(); }

bool prepareLp(ModelArea& a) {
  ModelStore& s = a.store;
  LpState& L = lpState(a);
  L.n = s.n;
  L.m = s.m;
  L.total = s.total;
  L.obj = s.obj;
  const int32_t N = s.total;

  // Active rows: the prefix of the row list without the objective and
  // without rows scheduled for deactivation.
  L.luRow.assign(static_cast<size_t>(s.m), 0);
  L.rowOfLu.assign(1, 0);
  for (int32_t k = 0; k < s.activeRows; ++k) {
    const int32_t i = s.rowList[k];
    if (i == s.obj || (s.kind[i] & kKindRemoved)) continue;
    if (s.flags2 && (s.flags2[i] & kFlag2Deactivate)) continue;
    const int32_t r = i - s.obj;
    L.rowOfLu.push_back(r);
    L.luRow[static_cast<size_t>(r)] = static_cast<int32_t>(L.rowOfLu.size()) - 1;
  }
  L.ma = static_cast<int32_t>(L.rowOfLu.size()) - 1;

  // The compact active matrix by variable.
  L.cStart.assign(static_cast<size_t>(N) + 2, 0);
  L.objCoef.assign(static_cast<size_t>(N) + 1, 0.0);
  L.cRow.clear();
  L.cVal.clear();
  L.cRow.reserve(static_cast<size_t>(s.entries > 0 ? s.entries : s.nonzeros + s.m));
  L.cVal.reserve(L.cRow.capacity());
  for (int32_t k = 1; k <= N; ++k) {
    L.cStart[static_cast<size_t>(k)] = static_cast<int32_t>(L.cRow.size());
    if (k == s.obj) continue;
    const int32_t end = s.colActiveEnd ? s.colActiveEnd[k] : colEnd(s, k);
    for (int32_t p = colBegin(s, k); p < end; ++p) {
      const int32_t r = s.rownos[p];
      if (r < 0 || r >= s.m) continue;
      if (r == 0) {
        if (k <= s.n) L.objCoef[static_cast<size_t>(k)] += s.a[p];
        continue;
      }
      const int32_t lr = L.luRow[static_cast<size_t>(r)];
      if (lr == 0 || s.a[p] == 0.0) continue;
      L.cRow.push_back(lr);
      L.cVal.push_back(s.a[p]);
    }
  }
  L.cStart[static_cast<size_t>(N) + 1] = static_cast<int32_t>(L.cRow.size());

  // The same by LU row.
  const int64_t nnz = static_cast<int64_t>(L.cRow.size());
  L.rStart.assign(static_cast<size_t>(L.ma) + 2, 0);
  for (int64_t p = 0; p < nnz; ++p) ++L.rStart[static_cast<size_t>(L.cRow[static_cast<size_t>(p)]) + 1];
  for (int32_t r = 1; r <= L.ma + 1; ++r) L.rStart[static_cast<size_t>(r)] += L.rStart[static_cast<size_t>(r) - 1];
  L.rCol.assign(static_cast<size_t>(nnz), 0);
  L.rVal.assign(static_cast<size_t>(nnz), 0.0);
  {
    std::vector<int32_t> at(L.rStart.begin(), L.rStart.end());
    for (int32_t k = 1; k <= N; ++k)
      for (int32_t p = L.cStart[static_cast<size_t>(k)]; p < L.cStart[static_cast<size_t>(k) + 1]; ++p) {
        const int32_t r = L.cRow[static_cast<size_t>(p)];
        const int32_t q = at[static_cast<size_t>(r)]++;
        L.rCol[static_cast<size_t>(q)] = k;
        L.rVal[static_cast<size_t>(q)] = L.cVal[static_cast<size_t>(p)];
      }
  }
  L.rhs.assign(static_cast<size_t>(L.ma) + 1, 0.0);
  for (int32_t r = 1; r <= L.ma; ++r) L.rhs[static_cast<size_t>(r)] = s.rhs[s.obj + L.rowOfLu[static_cast<size_t>(r)]];

  // Bounds and start values.
  L.lower.assign(static_cast<size_t>(N) + 1, 0.0);
  L.upper.assign(static_cast<size_t>(N) + 1, kInf);
  L.x.assign(static_cast<size_t>(N) + 1, 0.0);
  for (int32_t k = 1; k <= N; ++k) {
    const uint32_t kd = s.kind[k];
    if (k == s.obj) {
      L.lower[static_cast<size_t>(k)] = -kInf;
      continue;
    }
    if (kd & kKindFree) {
      L.lower[static_cast<size_t>(k)] = -kInf;
    } else if (kd & (kKindUpper | kKindFixed | kKindHeld)) {
      L.upper[static_cast<size_t>(k)] = (kd & kKindHeld) ? 0.0 : s.up[k];
    }
    if (!(kd & kKindBasic) && (kd & kKindAtUpper) && L.upper[static_cast<size_t>(k)] < kInf)
      L.x[static_cast<size_t>(k)] = L.upper[static_cast<size_t>(k)];
    else
      s.kind[k] &= ~kKindAtUpper;
  }

  // The variables that take part in pricing.
  L.vars.clear();
  for (int32_t t = 0; t < s.activeVars; ++t) {
    const int32_t k = s.varList[t];
    if (k == s.obj || excludedFromList(s, k)) continue;
    if (k > s.n && L.luRow[static_cast<size_t>(k - s.obj)] == 0) continue;
    L.vars.push_back(k);
  }

  // Work vectors, sized once.
  const size_t np = static_cast<size_t>(N) + 1, mp = static_cast<size_t>(L.ma) + 1;
  L.cost.assign(np, 0.0);
  L.flag.assign(np, 0);
  L.head.assign(mp, s.obj);
  L.posOf.assign(np, 0);
  L.y.assign(mp, 0.0);
  L.d.assign(np, 0.0);
  L.weight.assign(np, 1.0);
  // A reduced cost of the scaled model is reported multiplied by the item's
  // scale factor: with scaled tolerances on, the dual tolerance of an item
  // whose factor exceeds 1 is divided by it.
  L.dualTolMul.assign(np, 1.0);
  L.largeScale = false;
  for (int32_t k = 1; k <= N; ++k) {
    const double f = itemScale(s, k);
    if (f > 1.0) {
      L.dualTolMul[static_cast<size_t>(k)] = 1.0 / f;
      L.largeScale = true;
    }
  }
  L.scaledTols = false;
  L.col.assign(mp, 0.0);
  L.colIdx.assign(mp, 0);
  L.colN = 0;
  L.rho.assign(mp, 0.0);
  L.rhoIdx.assign(mp, 0);
  L.rhoN = 0;
  L.prow.assign(np, 0.0);
  L.prowIdx.assign(np, 0);
  L.prowN = 0;
  L.tmp.assign(mp, 0.0);
  L.tmp2.assign(mp, 0.0);
  L.ratioPos.assign(2 * mp, 0);
  L.ratioDist.assign(2 * mp, 0.0);
  L.ratioMove.assign(2 * mp, 0.0);
  L.ratioUpper.assign(2 * mp, 0);
  L.breakOrder.clear();
  L.breakOrder.reserve(mp);
  L.perturbed = false;

  // Pricing constants.
  const double Nd = static_cast<double>(N);
  int32_t pm = a.opt.mPrice > 0 ? a.opt.mPrice : 1 + static_cast<int32_t>(3.0 * std::sqrt(Nd));
  pm = std::max(pm, 5);
  pm = std::min(pm, std::max(s.n, 1));
  L.pricedMax = pm;
  L.priceIncrement = std::max(s.n, L.ma) / pm + 1;
  L.cand.assign(static_cast<size_t>(pm) + 2, 0);
  L.candScore.assign(static_cast<size_t>(pm) + 2, 0.0);
  L.candN = 0;
  L.candLimit = pm;
  L.cursor = 0;

  L.reinvert = s.workReinvert > 0 ? s.workReinvert : 50;
  L.degenLimit = s.workDegenerate > 0 ? s.workDegenerate : 500;
  L.columns.start = L.cStart.data();
  L.columns.row = L.cRow.data();
  L.columns.val = L.cVal.data();
  L.columns.head = L.head.data();
  const int64_t work = luWorkSize(L, nnz);
  L.luVal.assign(static_cast<size_t>(work), 0.0);
  L.luIdx.assign(static_cast<size_t>(work), 0);
  L.refactor = true;
  L.rebuildList = true;
  L.firstFactor = true;
  L.factorizations = 0;
  L.yValid = L.dValid = false;
  return true;
}

void makeBasic(ModelArea& a, int32_t k, int32_t p) {
  LpState& L = *a.lp;
  a.store.kind[k] = (a.store.kind[k] | kKindBasic) & ~kKindAtUpper;
  L.head[static_cast<size_t>(p)] = k;
  L.posOf[static_cast<size_t>(k)] = p;
}

void makeNonbasic(ModelArea& a, int32_t k, bool atUpperBound) {
  LpState& L = *a.lp;
  uint32_t& kd = a.store.kind[k];
  kd &= ~kKindBasic;
  L.posOf[static_cast<size_t>(k)] = 0;
  const size_t u = static_cast<size_t>(k);
  if (atUpperBound && L.upper[u] < kInf) {
    kd |= kKindAtUpper;
    L.x[u] = L.upper[u];
  } else {
    kd &= ~kKindAtUpper;
    L.x[u] = L.lower[u] > -kInf ? L.lower[u] : 0.0;
  }
}

void slackBasis(ModelArea& a) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  for (int32_t k = 1; k <= s.total; ++k) {
    if (k == s.obj) continue;
    if (isBasic(s, k)) makeNonbasic(a, k, false);
  }
  for (int32_t r = 1; r <= L.ma; ++r) s.kind[s.obj + L.rowOfLu[static_cast<size_t>(r)]] |= kKindBasic;
  L.rebuildList = true;
  L.refactor = true;
}

void rebuildBasisList(ModelArea& a) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  std::fill(L.posOf.begin(), L.posOf.end(), 0);
  std::fill(L.head.begin(), L.head.end(), s.obj);
  s.kind[s.obj] |= kKindBasic;
  int32_t p = 0;
  // Logicals of the active rows in row-list order.
  for (int32_t r = 1; r <= L.ma; ++r) {
    const int32_t i = s.obj + L.rowOfLu[static_cast<size_t>(r)];
    if (isBasic(s, i)) makeBasic(a, i, ++p);
  }
  // Then the basic columns in column-list order, as many as fit.
  for (int32_t j = 1; j <= s.n; ++j) {
    if (!isBasic(s, j)) continue;
    if ((s.kind[j] & kKindRemoved) || p >= L.ma) {
      makeNonbasic(a, j, false);
      continue;
    }
    makeBasic(a, j, ++p);
  }
  // Basic logicals of inactive rows leave the basis.
  for (int32_t i = s.obj + 1; i <= s.total; ++i)
    if (isBasic(s, i) && L.posOf[static_cast<size_t>(i)] == 0) makeNonbasic(a, i, false);
  L.head[0] = s.obj;
  L.rebuildList = false;
}

int32_t repairSingularBasis(ModelArea& a) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  const int32_t cnt = L.lu.singularCount();
  const int32_t* pos = L.lu.singularPositions();
  const int32_t* row = L.lu.singularRows();
  for (int32_t t = 0; t < cnt; ++t) {
    const int32_t p = pos[t];
    const int32_t k = L.head[static_cast<size_t>(p)];
    const int32_t logical = s.obj + L.rowOfLu[static_cast<size_t>(row[t])];
    if (k != s.obj && k != logical) makeNonbasic(a, k, false);
    if (L.posOf[static_cast<size_t>(logical)] != 0 && L.posOf[static_cast<size_t>(logical)] != p)
      continue;  // cannot happen: a logical is pivoted on its own row
    if (s.flags2) s.flags2[logical] &= ~0x10000000u;
    makeBasic(a, logical, p);
  }
  return cnt;
}

void recomputeBasicValues(ModelArea& a) {
  ModelStore& s = a.store;
  LpState& L = *a.lp;
  double* v = L.tmp.data();
  for (int32_t r = 1; r <= L.ma; ++r) v[r] = L.rhs[static_cast<size_t>(r)];
  for (int32_t k = 1; k <= s.total; ++k) {
    if (L.posOf[static_cast<size_t>(k)] != 0 || k == s.obj) continue;
    const double xk = L.x[static_cast<size_t>(k)];
    if (xk == 0.0) continue;
    for (int32_t p = L.cStart[static_cast<size_t>(k)]; p < L.cStart[static_cast<size_t>(k) + 1]; ++p)
      v[L.cRow[static_cast<size_t>(p)]] -= L.cVal[static_cast<size_t>(p)] * xk;
  }
  L.lu.ftran(v, a.opt.simplexRefine, false);
  for (int32_t p = 1; p <= L.ma; ++p) {
    L.x[static_cast<size_t>(L.head[static_cast<size_t>(p)])] = v[p];
    v[p] = 0.0;
  }
}

int16_t factorizeBasis(ModelArea& a) {
  LpState& L = *a.lp;
  ModelStore& s = a.store;
  ++L.factorizations;
  L.lastFactorIteration = L.iterations;
  L.forcedFactorIteration = L.iterations + 2 * L.reinvert;
  if (L.firstFactor) {
    lu::LuOptions o;
    o.tranEntry = tranEntry(a);
    double mk = a.opt.markowitz;
    if (mk > 1.0) mk = 1.0 / mk;
    o.markowitz = mk;
    o.yPivot = a.opt.yPivot;
    o.luMemory1 = a.opt.luFactor[0];
    o.luMemory2 = a.opt.luFactor[1];
    o.reInvert = L.reinvert;
    L.lu.setOptions(o);
    L.lu.startSolve();
    L.rebuildList = true;
    L.firstFactor = false;
  }
  if (L.rebuildList) rebuildBasisList(a);
  int rc = lu::kLuOk;
  for (int attempt = 0; attempt < 8; ++attempt) {
    lu::LuWorkArea w{L.luVal.data(), L.luIdx.data(), static_cast<int64_t>(L.luVal.size())};
    rc = L.lu.factorize(L.ma, L.columns, w);
    if (rc == lu::kLuSingular) {
      repairSingularBasis(a);
      continue;
    }
    if (rc == lu::kLuOutOfMemory && L.luVal.size() < (size_t{1} << 31) / 2) {
      // A larger work area before giving up.
      const size_t grown = L.luVal.size() * 2;
      L.luVal.assign(grown, 0.0);
      L.luIdx.assign(grown, 0);
      continue;
    }
    break;
  }
  if (rc != lu::kLuOk) {
    L.refactor = true;
    if (a.irc < 100) a.irc = 412;
    return 1;
  }
  L.suggestedLu[0] = std::max(L.suggestedLu[0], L.lu.f1());
  L.suggestedLu[1] = std::max(L.suggestedLu[1], L.lu.f2());
  // A basic variable is not at a bound mark.
  for (int32_t p = 1; p <= L.ma; ++p) s.kind[L.head[static_cast<size_t>(p)]] &= ~kKindAtUpper;
  recomputeBasicValues(a);
  L.refactor = false;
  L.yValid = false;
  L.dValid = false;
  return 0;
}

void ftran(ModelArea& a, int32_t j, double* v, int refine) {
  LpState& L = *a.lp;
  if (j >= 1) {
    for (int32_t t = 0; t < L.colN; ++t) L.col[static_cast<size_t>(L.colIdx[static_cast<size_t>(t)])] = 0.0;
    L.colN = 0;
    const int32_t b = L.cStart[static_cast<size_t>(j)], e = L.cStart[static_cast<size_t>(j) + 1];
    if (v == L.col.data()) {
      int32_t cnt = 0;
      L.lu.ftranColumn(L.cRow.data() + b, L.cVal.data() + b, e - b, v, L.colIdx.data(), cnt, refine, true);
      L.colN = cnt;
      return;
    }
    std::fill(v, v + L.ma + 1, 0.0);
    for (int32_t p = b; p < e; ++p) v[L.cRow[static_cast<size_t>(p)]] += L.cVal[static_cast<size_t>(p)];
  }
  L.lu.ftran(v, refine, true);
}

void btran(ModelArea& a, double* v, int refine) { a.lp->lu.btran(v, refine); }

void btranUnit(ModelArea& a, int32_t r) {
  LpState& L = *a.lp;
  L.rho[static_cast<size_t>(r)] = 1.0;
  L.rhoIdx[0] = r;
  int32_t rn = 1;
  L.lu.btran(L.rho.data(), L.rhoIdx.data(), rn, a.opt.simplexRefine);
  L.rhoN = rn;
}

int32_t pivotRow(ModelArea& a) {
  LpState& L = *a.lp;
  const double* rho = L.rho.data();
  double* prow = L.prow.data();
  const int32_t rn = L.rhoN;
  int64_t rowWork = 0;
  for (int32_t t = 0; t < rn; ++t) {
    const int32_t i = L.rhoIdx[static_cast<size_t>(t)];
    rowWork += L.rStart[static_cast<size_t>(i) + 1] - L.rStart[static_cast<size_t>(i)];
  }
  int32_t pn = 0;
  const int64_t allWork = L.cStart[static_cast<size_t>(L.total) + 1];
  if (rowWork * 2 > allWork) {
    for (const int32_t j : L.vars) {
      if (L.posOf[static_cast<size_t>(j)] != 0) continue;
      const double v = columnDot(L, j, rho);
      if (std::fabs(v) <= kPivotRowTiny) continue;
      prow[j] = v;
      L.prowIdx[static_cast<size_t>(pn++)] = j;
    }
  } else {
    for (int32_t t = 0; t < rn; ++t) {
      const int32_t i = L.rhoIdx[static_cast<size_t>(t)];
      const double ri = rho[i];
      if (ri == 0.0) continue;
      for (int32_t p = L.rStart[static_cast<size_t>(i)]; p < L.rStart[static_cast<size_t>(i) + 1]; ++p) {
        const int32_t j = L.rCol[static_cast<size_t>(p)];
        if (L.posOf[static_cast<size_t>(j)] != 0) continue;
        if (prow[j] == 0.0) L.prowIdx[static_cast<size_t>(pn++)] = j;
        prow[j] += ri * L.rVal[static_cast<size_t>(p)];
        if (prow[j] == 0.0) prow[j] = 1e-300;  // keep it listed
      }
    }
    int32_t keep = 0;
    for (int32_t t = 0; t < pn; ++t) {
      const int32_t j = L.prowIdx[static_cast<size_t>(t)];
      if (std::fabs(prow[j]) <= kPivotRowTiny) {
        prow[j] = 0.0;
        continue;
      }
      L.prowIdx[static_cast<size_t>(keep++)] = j;
    }
    pn = keep;
  }
  L.prowN = pn;
  return pn;
}

void stepBasicValues(LpState& L, double step) {
  const double drop = L.tolEntry;
  for (int32_t t = 0; t < L.colN; ++t) {
    const int32_t p = L.colIdx[static_cast<size_t>(t)];
    const size_t k = static_cast<size_t>(L.head[static_cast<size_t>(p)]);
    double v = L.x[k] - step * L.col[static_cast<size_t>(p)];
    if (std::fabs(v) < drop) v = 0.0;
    L.x[k] = v;
  }
}

void updateFactor(ModelArea& a, int32_t r) {
  LpState& L = *a.lp;
  const int rc = L.lu.update(r);
  if (rc != lu::kLuUpdated) L.refactor = true;
}

}  // namespace kz

// Ftran, Btran, their refinement, and the product-form update of the LU
// factors. No allocation here: every vector was sized by factorize().
#include <algorithm>
#include <cmath>
#include <limits>

#include "lp/lu.h"

namespace kz::lu {

namespace {

// A right-hand side with at most this share of nonzeros is solved by the
// graph search, unless the recent results of that solve were denser than
// that; the search gives up when the reach grows beyond kHyperReach.
constexpr double kHyperStart = 0.10;
constexpr double kHyperReach = 0.15;
// Weight of the newest result in the running density of a solve's results.
constexpr double kDensityWeight = 0.1;

// The smallest power of two not below v > 0.
double powerOfTwoAbove(double v) {
  int ex = 0;
  double f = std::frexp(v, &ex);
  return f == 0.5 ? std::ldexp(1.0, ex - 1) : std::ldexp(1.0, ex);
}

}  // namespace

int32_t LuFactor::nextStamp(std::vector<int32_t>& marks, int32_t& stamp) {
  if (stamp == std::numeric_limits<int32_t>::max()) {
    std::fill(marks.begin(), marks.end(), 0);
    stamp = 0;
  }
  return ++stamp;
}

// Depth-first search from the seeds over the graph whose edges out of node
// v are ai_[edges(v).begin .. edges(v).end). The reached nodes end up in
// reach_[m - count .. m) in topological order (a node before every node it
// points to). Returns count, or -1 once more than limit nodes are reached.
template <class Edges>
int32_t LuFactor::reach(const int32_t* seeds, int32_t ns, Edges edges,
                        int32_t limit) {
  const int32_t st = nextStamp(dfsMark_, dfsStamp_);
  int32_t top = m_;
  for (int32_t s = 0; s < ns; ++s) {
    const int32_t v0 = seeds[s];
    if (dfsMark_[v0] == st) continue;
    dfsMark_[v0] = st;
    int32_t sp = 0;
    dfsStack_[0] = v0;
    Range r0 = edges(v0);
    dfsPtr_[0] = r0.begin;
    dfsEnd_[0] = r0.end;
    while (sp >= 0) {
      if (dfsPtr_[sp] < dfsEnd_[sp]) {
        const int32_t u = ai_[dfsPtr_[sp]++];
        if (dfsMark_[u] != st) {
          dfsMark_[u] = st;
          ++sp;
          dfsStack_[sp] = u;
          Range ru = edges(u);
          dfsPtr_[sp] = ru.begin;
          dfsEnd_[sp] = ru.end;
        }
      } else {
        reach_[--top] = dfsStack_[sp--];
        if (m_ - top > limit) return -1;
      }
    }
  }
  return m_ - top;
}

// B x = a. On entry w_ holds a by row, nonzero exactly at wl_[0..wn_); x is
// all zero. On exit x holds the solution by position with its nonzeros in
// xi[0..xn), and w_ is all zero again.
void LuFactor::ftranCore(double tol, double* x, int32_t* xi, int32_t& xn) {
  const int32_t m = m_;
  const int32_t hyperLim = opt_.hypersparse && ftranDensity_ <= kHyperStart
                               ? int32_t(m * kHyperStart)
                               : -1;
  const int32_t reachLim = int32_t(m * kHyperReach) + 1;
  double* w = w_.data();
  bool listOk = true;  // wl_ covers every nonzero of w_

  // L columns in pivot order.
  if (numL_ > 0 && wn_ > 0) {
    int32_t cnt = -1;
    if (wn_ <= hyperLim) {
      cnt = reach(
          wl_.data(), wn_,
          [&](int32_t i) {
            int32_t t = lOfRow_[i];
            return t ? Range{lStart_[t], lStart_[t] + lLen_[t]} : Range{0, 0};
          },
          reachLim);
    }
    if (cnt >= 0) {
      const int32_t* nodes = reach_.data() + (m - cnt);
      for (int32_t c = 0; c < cnt; ++c) {
        const int32_t i = nodes[c];
        const double v = w[i];
        if (v == 0.0) continue;
        if (std::fabs(v) <= tol) {
          w[i] = 0.0;
          continue;
        }
        const int32_t t = lOfRow_[i];
        if (t == 0) continue;
        for (int32_t e = lStart_[t], end = e + lLen_[t]; e < end; ++e)
          w[ai_[e]] -= av_[e] * v;
      }
      std::copy(nodes, nodes + cnt, wl_.data());
      wn_ = cnt;
    } else {
      int32_t kMin = m + 1;
      for (int32_t c = 0; c < wn_; ++c) kMin = std::min(kMin, rowPiv_[wl_[c]]);
      for (int32_t t = lFrom_[kMin]; t <= numL_; ++t) {
        const int32_t i = lPivRow_[t];
        const double v = w[i];
        if (v == 0.0) continue;
        if (std::fabs(v) <= tol) {
          w[i] = 0.0;
          continue;
        }
        for (int32_t e = lStart_[t], end = e + lLen_[t]; e < end; ++e)
          w[ai_[e]] -= av_[e] * v;
      }
      listOk = false;
    }
  }

  // U backwards.
  xn = 0;
  bool done = false;
  if (copies_ && listOk && wn_ > 0 && wn_ <= hyperLim) {
    int32_t cnt = reach(
        wl_.data(), wn_,
        [&](int32_t i) {
          int32_t j = pivCol_[rowPiv_[i]];
          return Range{ucStart_[j], ucStart_[j + 1]};
        },
        reachLim);
    if (cnt >= 0) {
      const int32_t* nodes = reach_.data() + (m - cnt);
      for (int32_t c = 0; c < cnt; ++c) {
        const int32_t i = nodes[c];
        const double v = w[i];
        if (v == 0.0) continue;
        w[i] = 0.0;
        const int32_t k = rowPiv_[i];
        const double xv = v * invD_[k];
        if (std::fabs(xv) <= tol) continue;
        const int32_t j = pivCol_[k];
        x[j] = xv;
        xi[xn++] = j;
        for (int32_t e = ucStart_[j], end = ucStart_[j + 1]; e < end; ++e)
          w[ai_[e]] -= av_[e] * xv;
      }
      done = true;
    }
  }
  if (!done) {
    int32_t kMax = m;
    if (listOk) {
      kMax = 0;
      for (int32_t c = 0; c < wn_; ++c) kMax = std::max(kMax, rowPiv_[wl_[c]]);
    }
    if (copies_) {
      for (int32_t k = kMax; k >= 1; --k) {
        const int32_t i = pivRow_[k];
        const double v = w[i];
        if (v == 0.0) continue;
        w[i] = 0.0;
        const double xv = v * invD_[k];
        if (std::fabs(xv) <= tol) continue;
        const int32_t j = pivCol_[k];
        x[j] = xv;
        xi[xn++] = j;
        for (int32_t e = ucStart_[j], end = ucStart_[j + 1]; e < end; ++e)
          w[ai_[e]] -= av_[e] * xv;
      }
    } else {
      for (int32_t k = kMax; k >= 1; --k) {
        const int32_t i = pivRow_[k];
        double s = w[i];
        w[i] = 0.0;
        for (int32_t e = uStart_[k], end = e + uLen_[k]; e < end; ++e)
          s -= av_[e] * x[ai_[e]];
        const double xv = s * invD_[k];
        if (std::fabs(xv) <= tol) continue;
        const int32_t j = pivCol_[k];
        x[j] = xv;
        xi[xn++] = j;
      }
    }
  }
  wn_ = 0;

  // Etas in order.
  if (numEtas_ > 0) {
    const int32_t st = nextStamp(listMark_, listStamp_);
    for (int32_t c = 0; c < xn; ++c) listMark_[xi[c]] = st;
    for (int32_t e = 0; e < numEtas_; ++e) {
      const int32_t r = etaPos_[e];
      const double xr = x[r];
      if (xr == 0.0) continue;
      const double t = xr / etaPiv_[e];
      if (std::fabs(t) < tol) {
        x[r] = 0.0;
        continue;
      }
      for (int32_t p = etaStart_[e] + 1, end = etaStart_[e] + etaLen_[e];
           p < end; ++p) {
        const int32_t i = ai_[p];
        if (listMark_[i] != st) {
          listMark_[i] = st;
          xi[xn++] = i;
        }
        x[i] -= av_[p] * t;
      }
      x[r] = t;
    }
  }
  int32_t n = 0;
  for (int32_t c = 0; c < xn; ++c) {
    const int32_t j = xi[c];
    if (std::fabs(x[j]) <= tol) x[j] = 0.0;
    else xi[n++] = j;
  }
  xn = n;
  if (m > 0) ftranDensity_ += kDensityWeight * (double(n) / m - ftranDensity_);
}

// y B = c. On entry w_ holds c by position, nonzero exactly at wl_[0..wn_);
// y is all zero. On exit y holds the solution by row with its nonzeros in
// yi[0..yn), and w_ is all zero again.
void LuFactor::btranCore(double tol, double* y, int32_t* yi, int32_t& yn) {
  const int32_t m = m_;
  const int32_t hyperLim = opt_.hypersparse && btranDensity_ <= kHyperStart
                               ? int32_t(m * kHyperStart)
                               : -1;
  const int32_t reachLim = int32_t(m * kHyperReach) + 1;
  double* w = w_.data();

  // Etas backwards. A sparse c visits only the etas that have an entry at
  // one of its nonzeros or at a position an eta made nonzero on the way:
  // the chains of the eta entries by position name them; the others would
  // leave c as it is. Long etas (a quarter of m on average) would touch
  // most nonzeros anyway: then, once c has filled in, or once the chains
  // took more steps than a 32nd of the file's entries (a step through the
  // chains costs a few entries of a sequential pass), every remaining eta
  // is visited.
  const int32_t etaLim = int32_t(m * kHyperStart);
  // The new value at the position of eta e.
  auto etaValue = [&](int32_t e) {
    double s = w[etaPos_[e]];
    for (int32_t p = etaStart_[e] + 1, end = etaStart_[e] + etaLen_[e]; p < end; ++p)
      s -= av_[p] * w[ai_[p]];
    s /= etaPiv_[e];
    return std::fabs(s) < tol ? 0.0 : s;
  };
  if (numEtas_ > 0 && etaByPos_ && opt_.hypersparse && wn_ <= etaLim &&
      4 * etaEntries_ <= int64_t(numEtas_) * m) {
    const int32_t st = nextStamp(listMark_, listStamp_);
    const int32_t es = nextStamp(etaMark_, etaStamp_);
    int64_t budget = etaEntries_ / 32;
    bool all = false;
    auto activate = [&](int32_t i, int32_t below) {
      for (int32_t q = etaPosHead_[i]; q >= 0; q = etaNodeNext_[q]) {
        if (--budget < 0) {
          all = true;
          return;
        }
        const int32_t e = etaNodeEta_[q];
        if (e < below) etaMark_[e] = es;
      }
    };
    for (int32_t c = 0; c < wn_; ++c) {
      listMark_[wl_[c]] = st;
      if (!all) activate(wl_[c], numEtas_);
    }
    for (int32_t e = numEtas_ - 1; e >= 0; --e) {
      if (!all && etaMark_[e] != es) continue;
      const int32_t r = etaPos_[e];
      const double s = etaValue(e);
      if (s != 0.0 && listMark_[r] != st) {
        listMark_[r] = st;
        wl_[wn_++] = r;
        if (wn_ > etaLim) all = true;
        else if (!all) activate(r, e);
      }
      w[r] = s;
    }
  } else if (numEtas_ > 0) {
    const int32_t st = nextStamp(listMark_, listStamp_);
    for (int32_t c = 0; c < wn_; ++c) listMark_[wl_[c]] = st;
    for (int32_t e = numEtas_ - 1; e >= 0; --e) {
      const int32_t r = etaPos_[e];
      const double s = etaValue(e);
      if (s != 0.0 && listMark_[r] != st) {
        listMark_[r] = st;
        wl_[wn_++] = r;
      }
      w[r] = s;
    }
  }

  // U transposed, by U rows in pivot order.
  yn = 0;
  bool done = false;
  if (wn_ > 0 && wn_ <= hyperLim) {
    int32_t cnt = reach(
        wl_.data(), wn_,
        [&](int32_t j) {
          int32_t k = colPiv_[j];
          return Range{uStart_[k], uStart_[k] + uLen_[k]};
        },
        reachLim);
    if (cnt >= 0) {
      const int32_t* nodes = reach_.data() + (m - cnt);
      for (int32_t c = 0; c < cnt; ++c) {
        const int32_t j = nodes[c];
        const double v = w[j];
        if (v == 0.0) continue;
        w[j] = 0.0;
        const int32_t k = colPiv_[j];
        const double z = v * invD_[k];
        if (std::fabs(z) <= tol) continue;
        const int32_t i = pivRow_[k];
        y[i] = z;
        yi[yn++] = i;
        for (int32_t e = uStart_[k], end = e + uLen_[k]; e < end; ++e)
          w[ai_[e]] -= av_[e] * z;
      }
      done = true;
    }
  }
  if (!done) {
    int32_t kMin = m + 1;
    for (int32_t c = 0; c < wn_; ++c) kMin = std::min(kMin, colPiv_[wl_[c]]);
    for (int32_t k = kMin; k <= m; ++k) {
      const int32_t j = pivCol_[k];
      const double v = w[j];
      if (v == 0.0) continue;
      w[j] = 0.0;
      const double z = v * invD_[k];
      if (std::fabs(z) <= tol) continue;
      const int32_t i = pivRow_[k];
      y[i] = z;
      yi[yn++] = i;
      for (int32_t e = uStart_[k], end = e + uLen_[k]; e < end; ++e)
        w[ai_[e]] -= av_[e] * z;
    }
  }
  wn_ = 0;

  // L transposed.
  if (numL_ > 0 && yn > 0) {
    int32_t cnt = -1;
    if (copies_ && yn <= hyperLim) {
      cnt = reach(
          yi, yn,
          [&](int32_t i) { return Range{lrStart_[i], lrStart_[i + 1]}; },
          reachLim);
    }
    if (cnt >= 0) {
      const int32_t* nodes = reach_.data() + (m - cnt);
      for (int32_t c = 0; c < cnt; ++c) {
        const int32_t i = nodes[c];
        const double v = y[i];
        if (v == 0.0) continue;
        if (std::fabs(v) <= tol) {
          y[i] = 0.0;
          continue;
        }
        for (int32_t e = lrStart_[i], end = lrStart_[i + 1]; e < end; ++e)
          y[ai_[e]] -= av_[e] * v;
      }
      std::copy(nodes, nodes + cnt, yi);
      yn = cnt;
    } else {
      const int32_t st = nextStamp(listMark_, listStamp_);
      int32_t kMax = 0;
      for (int32_t c = 0; c < yn; ++c) {
        listMark_[yi[c]] = st;
        kMax = std::max(kMax, rowPiv_[yi[c]]);
      }
      if (copies_) {
        for (int32_t k = kMax; k >= 1; --k) {
          const int32_t i = pivRow_[k];
          const double v = y[i];
          if (v == 0.0) continue;
          if (std::fabs(v) <= tol) {
            y[i] = 0.0;
            continue;
          }
          for (int32_t e = lrStart_[i], end = lrStart_[i + 1]; e < end; ++e) {
            const int32_t p = ai_[e];
            if (listMark_[p] != st) {
              listMark_[p] = st;
              yi[yn++] = p;
            }
            y[p] -= av_[e] * v;
          }
        }
      } else {
        for (int32_t t = lFrom_[kMax] - 1; t >= 1; --t) {
          double s = 0.0;
          for (int32_t e = lStart_[t], end = e + lLen_[t]; e < end; ++e)
            s += av_[e] * y[ai_[e]];
          if (s == 0.0) continue;
          const int32_t p = lPivRow_[t];
          if (listMark_[p] != st) {
            listMark_[p] = st;
            yi[yn++] = p;
          }
          y[p] -= s;
        }
      }
    }
  }
  int32_t n = 0;
  for (int32_t c = 0; c < yn; ++c) {
    const int32_t i = yi[c];
    if (std::fabs(y[i]) <= tol) y[i] = 0.0;
    else yi[n++] = i;
  }
  yn = n;
  if (m > 0) btranDensity_ += kDensityWeight * (double(n) / m - btranDensity_);
}

void LuFactor::keepCandidate(const double* x, const int32_t* xi, int32_t xn) {
  for (int32_t c = 0; c < candN_; ++c) cand_[candIdx_[c]] = 0.0;
  for (int32_t c = 0; c < xn; ++c) {
    cand_[xi[c]] = x[xi[c]];
    candIdx_[c] = xi[c];
  }
  candN_ = xn;
  hasCand_ = true;
}

// Refinement of an Ftran: at most refine + 1 residual checks, the best x
// kept; the residual is scaled up before its solve so that its small
// entries survive the drop tolerance.
void LuFactor::refineFtran(double* x, int32_t* xi, int32_t& xn, int refine) {
  const int32_t m = m_;
  const double stopTol = opt_.yPivot / 16.0;
  double bestRho = std::numeric_limits<double>::infinity();
  double prevRho = bestRho;
  bool bestIsCurrent = false;
  double* res = res_.data();
  for (int round = 1; round <= refine + 1; ++round) {
    refineRounds_ = round;
    for (int32_t c = 0; c < rhsN_; ++c) res[rhsIdx_[c]] = rhs_[rhsIdx_[c]];
    for (int32_t c = 0; c < xn; ++c) {
      const int32_t j = xi[c];
      const double xj = x[j];
      const int32_t* rows;
      const double* vals;
      const int32_t n = cols_->column(j, rows, vals);
      for (int32_t t = 0; t < n; ++t)
        if (uint32_t(rows[t] - 1) < uint32_t(m)) res[rows[t]] -= vals[t] * xj;
    }
    double rho = 0.0;
    for (int32_t i = 1; i <= m; ++i) rho = std::max(rho, std::fabs(res[i]));
    bestIsCurrent = false;
    if (rho < bestRho) {
      bestRho = rho;
      std::copy(x + 1, x + m + 1, best_.begin() + 1);
      bestIsCurrent = true;
      if (rho < tol_) break;
    }
    if (!(prevRho - rho > stopTol) || rho <= stopTol || round == refine + 1)
      break;
    prevRho = rho;
    const double s = std::max(std::ldexp(1.0, 20), 1.0 / powerOfTwoAbove(rho));
    wn_ = 0;
    for (int32_t i = 1; i <= m; ++i) {
      double v = res[i];
      if (v == 0.0) continue;
      res[i] = 0.0;
      v *= s;
      if (std::fabs(v) > tol_) {
        w_[i] = v;
        wl_[wn_++] = i;
      }
    }
    int32_t dn = 0;
    ftranCore(tol_, dvec_.data(), di_.data(), dn);
    const int32_t st = nextStamp(listMark_, listStamp_);
    for (int32_t c = 0; c < xn; ++c) listMark_[xi[c]] = st;
    for (int32_t c = 0; c < dn; ++c) {
      const int32_t j = di_[c];
      if (listMark_[j] != st) {
        listMark_[j] = st;
        xi[xn++] = j;
      }
      x[j] += dvec_[j] / s;
      dvec_[j] = 0.0;
    }
  }
  std::fill(res_.begin(), res_.end(), 0.0);
  for (int32_t c = 0; c < rhsN_; ++c) rhs_[rhsIdx_[c]] = 0.0;
  rhsN_ = 0;
  if (!bestIsCurrent) {
    for (int32_t c = 0; c < xn; ++c) x[xi[c]] = 0.0;
    xn = 0;
    for (int32_t j = 1; j <= m; ++j) {
      x[j] = best_[j];
      if (x[j] != 0.0) xi[xn++] = j;
    }
  }
  int32_t n = 0;
  for (int32_t c = 0; c < xn; ++c) {
    const int32_t j = xi[c];
    if (std::fabs(x[j]) <= tol_) x[j] = 0.0;
    else xi[n++] = j;
  }
  xn = n;
}

// Refinement of a Btran: corrections solved with the drop tolerance
// squared, added while the 1-norm of the residual keeps falling.
void LuFactor::refineBtran(double* y, int32_t* yi, int32_t& yn, int refine) {
  const int32_t m = m_;
  const double tol2 = tol_ * tol_;
  double nuPrev = 1e200;
  double* res = res_.data();
  for (int round = 1; round <= refine + 1; ++round) {
    refineRounds_ = round;
    double nu = 0.0;
    for (int32_t p = 1; p <= m; ++p) {
      const int32_t* rows;
      const double* vals;
      const int32_t n = cols_->column(p, rows, vals);
      double s = rhs_[p];
      for (int32_t t = 0; t < n; ++t)
        if (uint32_t(rows[t] - 1) < uint32_t(m)) s -= y[rows[t]] * vals[t];
      res[p] = s;
      nu += std::fabs(s);
    }
    if (nu < nuPrev) {
      wn_ = 0;
      for (int32_t p = 1; p <= m; ++p) {
        const double v = res[p];
        res[p] = 0.0;
        if (std::fabs(v) > tol2) {
          w_[p] = v;
          wl_[wn_++] = p;
        }
      }
      int32_t dn = 0;
      btranCore(tol2, dvec_.data(), di_.data(), dn);
      const int32_t st = nextStamp(listMark_, listStamp_);
      for (int32_t c = 0; c < yn; ++c) listMark_[yi[c]] = st;
      for (int32_t c = 0; c < dn; ++c) {
        const int32_t i = di_[c];
        if (listMark_[i] != st) {
          listMark_[i] = st;
          yi[yn++] = i;
        }
        y[i] += dvec_[i];
        dvec_[i] = 0.0;
      }
    } else {
      std::fill_n(res_.begin(), m + 1, 0.0);
    }
    if (!(nuPrev - nu > 1e-10 && nu > tol_ && round < refine + 1)) break;
    nuPrev = nu;
  }
  for (int32_t c = 0; c < rhsN_; ++c) rhs_[rhsIdx_[c]] = 0.0;
  rhsN_ = 0;
  int32_t n = 0;
  for (int32_t c = 0; c < yn; ++c) {
    const int32_t i = yi[c];
    if (y[i] == 0.0) continue;
    yi[n++] = i;
  }
  yn = n;
}

bool LuFactor::ftranRun(double* x, int32_t* xi, int32_t& xn, int refine,
                        bool keep) {
  refineRounds_ = 0;
  if (refine > 0) {
    rhsN_ = wn_;
    for (int32_t c = 0; c < wn_; ++c) {
      rhsIdx_[c] = wl_[c];
      rhs_[wl_[c]] = w_[wl_[c]];
    }
  }
  ftranCore(tol_, x, xi, xn);
  if (refine > 0) refineFtran(x, xi, xn, refine);
  if (keep) keepCandidate(x, xi, xn);
  return true;
}

bool LuFactor::btranRun(double* y, int32_t* yi, int32_t& yn, int refine) {
  refineRounds_ = 0;
  if (refine > 0) {
    rhsN_ = wn_;
    for (int32_t c = 0; c < wn_; ++c) {
      rhsIdx_[c] = wl_[c];
      rhs_[wl_[c]] = w_[wl_[c]];
    }
  }
  btranCore(tol_, y, yi, yn);
  if (refine > 0) refineBtran(y, yi, yn, refine);
  return true;
}

bool LuFactor::ftran(double* x, int refine, bool keepAsEta) {
  if (!valid_) return false;
  wn_ = 0;
  for (int32_t i = 1; i <= m_; ++i) {
    const double v = x[i];
    if (v == 0.0) continue;
    x[i] = 0.0;
    if (std::fabs(v) > tol_) {
      w_[i] = v;
      wl_[wn_++] = i;
    }
  }
  return ftranRun(x, resIdx_.data(), resN_, refine, keepAsEta);
}

bool LuFactor::ftran(double* x, int32_t* index, int32_t& count, int refine,
                     bool keepAsEta) {
  if (!valid_) return false;
  wn_ = 0;
  for (int32_t c = 0; c < count; ++c) {
    const int32_t i = index[c];
    if (i < 1 || i > m_) continue;
    const double v = x[i];
    if (v == 0.0) continue;
    x[i] = 0.0;
    if (std::fabs(v) > tol_) {
      w_[i] = v;
      wl_[wn_++] = i;
    }
  }
  return ftranRun(x, index, count, refine, keepAsEta);
}

bool LuFactor::ftranColumn(const int32_t* rows, const double* vals,
                           int32_t n, double* x, int32_t* index,
                           int32_t& count, int refine, bool keepAsEta) {
  if (!valid_) return false;
  const int32_t st = nextStamp(listMark_, listStamp_);
  wn_ = 0;
  for (int32_t c = 0; c < n; ++c) {
    const int32_t i = rows[c];
    if (i < 1 || i > m_ || !std::isfinite(vals[c])) continue;
    if (listMark_[i] != st) {
      listMark_[i] = st;
      wl_[wn_++] = i;
    }
    w_[i] += vals[c];
  }
  int32_t k = 0;
  for (int32_t c = 0; c < wn_; ++c) {
    const int32_t i = wl_[c];
    if (std::fabs(w_[i]) > tol_) wl_[k++] = i;
    else w_[i] = 0.0;
  }
  wn_ = k;
  return ftranRun(x, index, count, refine, keepAsEta);
}

bool LuFactor::btran(double* y, int refine) {
  if (!valid_) return false;
  wn_ = 0;
  for (int32_t p = 1; p <= m_; ++p) {
    const double v = y[p];
    if (v == 0.0) continue;
    y[p] = 0.0;
    if (std::fabs(v) > tol_) {
      w_[p] = v;
      wl_[wn_++] = p;
    }
  }
  return btranRun(y, resIdx_.data(), resN_, refine);
}

bool LuFactor::btran(double* y, int32_t* index, int32_t& count, int refine) {
  if (!valid_) return false;
  wn_ = 0;
  for (int32_t c = 0; c < count; ++c) {
    const int32_t p = index[c];
    if (p < 1 || p > m_) continue;
    const double v = y[p];
    if (v == 0.0) continue;
    y[p] = 0.0;
    if (std::fabs(v) > tol_) {
      w_[p] = v;
      wl_[wn_++] = p;
    }
  }
  return btranRun(y, index, count, refine);
}

void LuFactor::stepBasicValues(double* xB, int32_t r, double theta) const {
  if (!hasCand_ || r < 1 || r > m_) return;
  for (int32_t c = 0; c < candN_; ++c) {
    const int32_t i = candIdx_[c];
    if (i == r) continue;
    const double v = xB[i] - theta * cand_[i];
    xB[i] = std::fabs(v) < tol_ ? 0.0 : v;
  }
  xB[r] = std::fabs(theta) < tol_ ? 0.0 : theta;
}

int LuFactor::update(int32_t r) {
  ++updates_;
  auto reject = [&]() {
    refactor_ = true;
    return kLuUpdateRejected;
  };
  if (!valid_ || !hasCand_ || r < 1 || r > m_) return reject();
  const double alpha = cand_[r];
  if (!(std::fabs(alpha) > tol_)) return reject();
  if (size_t(numEtas_) + 1 >= etaStart_.size()) return reject();
  const double keepTol = std::max(1.0, std::fabs(alpha)) * tol_;
  int32_t len = 1;
  for (int32_t c = 0; c < candN_; ++c) {
    const int32_t i = candIdx_[c];
    if (i != r && std::fabs(cand_[i]) > keepTol) ++len;
  }
  if (int64_t(etaTop_) - len < lowWater_) return reject();
  const int32_t s = etaTop_ - len;
  ai_[s] = r;
  av_[s] = alpha;
  int32_t p = s + 1;
  for (int32_t c = 0; c < candN_; ++c) {
    const int32_t i = candIdx_[c];
    const double v = cand_[i];
    cand_[i] = 0.0;
    if (i == r || std::fabs(v) <= keepTol) continue;
    ai_[p] = i;
    av_[p] = v;
    ++p;
  }
  candN_ = 0;
  hasCand_ = false;
  if (etaByPos_) {
    if (etaEntries_ + len > int64_t(etaNodeEta_.size())) {
      etaByPos_ = false;
    } else {
      int32_t q = int32_t(etaEntries_);
      for (int32_t e = s; e < s + len; ++e, ++q) {
        const int32_t i = ai_[e];
        etaNodeEta_[q] = numEtas_;
        etaNodeNext_[q] = etaPosHead_[i];
        etaPosHead_[i] = q;
      }
    }
  }
  etaStart_[numEtas_] = s;
  etaLen_[numEtas_] = len;
  etaPos_[numEtas_] = r;
  etaPiv_[numEtas_] = alpha;
  ++numEtas_;
  etaTop_ = s;
  etaEntries_ += len;
  if (int64_t(etaTop_) - lowWater_ < m_ || numEtas_ >= reInvertEff_ ||
      updates_ >= reInvertEff_ || etaEntries_ > 5 * (nnzL_ + nnzU_ + m_) ||
      size_t(numEtas_) + 1 >= etaStart_.size())
    refactor_ = true;
  return refactor_ ? kLuUpdatedRefactor : kLuUpdated;
}

}  // namespace kz::lu

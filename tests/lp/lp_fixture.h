// Small LP models in a host's arrays, an open area to solve them in, and
// the optimality check of a returned solution. Used by the LP tests and the
// netlib driver of bench/.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "kz.h"

namespace lpfix {

constexpr double kInf = 1e23;

// A model as KZLOAD takes it: columns with bounds and entries (caller row,
// value), constraint rows with bounds; room for the logicals.
struct Model {
  struct Col {
    std::string name;
    double lo, up;
    std::vector<std::pair<int32_t, double>> e;  // row 0 is the objective
    int32_t status = 0;
  };
  struct Row {
    std::string name;
    double lo, up;
    int32_t status = 0;
  };
  std::vector<Col> cols;
  std::vector<Row> rows;  // constraint rows 1..m-1
  std::string objName = "OBJ";
  bool maximize = false;

  // Arrays.
  int32_t n = 0, m = 1;
  std::vector<double> a, bndmin, bndmax;
  std::vector<int32_t> rownos, colptr, status;
  // Copies as built: the load may scale and extend the arrays it works on.
  std::vector<double> a0, lo0, up0;
  std::vector<int32_t> rownos0, colptr0;
  std::vector<std::string> names;
  std::vector<const char*> namePtr;

  void build() {
    n = static_cast<int32_t>(cols.size());
    m = static_cast<int32_t>(rows.size()) + 1;
    a.clear();
    rownos.clear();
    colptr.assign(1, 0);
    bndmin.clear();
    bndmax.clear();
    status.clear();
    names.clear();
    for (const Col& c : cols) {
      for (auto [r, v] : c.e) {
        rownos.push_back(r);
        a.push_back(v);
      }
      colptr.push_back(static_cast<int32_t>(a.size()));
      bndmin.push_back(c.lo);
      bndmax.push_back(c.up);
      status.push_back(c.status);
      names.push_back(c.name);
    }
    bndmin.push_back(-kInf);
    bndmax.push_back(kInf);
    status.push_back(0);
    names.push_back(objName);
    for (const Row& r : rows) {
      bndmin.push_back(r.lo);
      bndmax.push_back(r.up);
      status.push_back(r.status);
      names.push_back(r.name);
    }
    a0 = a;
    rownos0 = rownos;
    colptr0 = colptr;
    lo0 = bndmin;
    up0 = bndmax;
    a.resize(a.size() + static_cast<size_t>(m));
    rownos.resize(rownos.size() + static_cast<size_t>(m));
    colptr.resize(static_cast<size_t>(n + m + 1));
    namePtr.clear();
    for (const std::string& s : names) namePtr.push_back(s.c_str());
  }
};

// An open area with its block.
class Area {
 public:
  explicit Area(int32_t poolK = 50000) {
    std::memset(&b_, 0, sizeof b_);
    b_.size = sizeof b_;
    init_ = KZINIT(&b_, poolK, 0, -3, 0);
  }
  ~Area() { KZDONE(&b_); }
  Area(const Area&) = delete;
  Area& operator=(const Area&) = delete;
  int16_t init() const { return init_; }
  KZOSL* b() { return &b_; }
  int16_t clp(const char* line) { return KZCLP(&b_, line); }
  int16_t load(Model& md) {
    md.build();
    if (md.maximize) clp("Maximize Yes");
    return KZLOAD(&b_, md.m, md.n, md.a.data(), md.rownos.data(), md.colptr.data(), md.bndmin.data(),
                  md.bndmax.data(), md.status.data(), md.namePtr.data());
  }
  int16_t solve() {
    modSts = solSts = -1;
    return KZSOLV(&b_, &modSts, &solSts);
  }
  double act(int32_t c) {
    double v = 0.0;
    KZACT(&b_, c, &v);
    return v;
  }
  double dual(int32_t c) {
    double v = 0.0;
    KZDUAL(&b_, c, &v);
    return v;
  }
  int16_t modSts = -1, solSts = -1;

 private:
  KZOSL b_{};
  int16_t init_ = 1;
};

// Residuals of a returned solution (caller terms, caller sense): the
// largest relative violation of the row activities, the bounds, the
// reduced costs d = c - A'y, and the sign conditions of the duals.
struct Residuals {
  double primal = 0.0;   // rows and bounds
  double activity = 0.0; // reported row activity vs sum a x
  double dual = 0.0;     // reported reduced cost vs c - A'y
  double sign = 0.0;     // dual sign and complementarity violations
  double objective = 0.0;
};

inline Residuals checkSolution(Area& ar, const Model& md) {
  Residuals r;
  const int32_t n = md.n, m = md.m;
  std::vector<double> x(static_cast<size_t>(n)), y(static_cast<size_t>(m)), act(static_cast<size_t>(m), 0.0);
  for (int32_t j = 0; j < n; ++j) x[static_cast<size_t>(j)] = ar.act(j);
  for (int32_t i = 0; i < m; ++i) y[static_cast<size_t>(i)] = ar.dual(n + i);
  std::vector<double> scaleRow(static_cast<size_t>(m), 1.0);
  for (int32_t j = 0; j < n; ++j)
    for (int32_t p = md.colptr0[static_cast<size_t>(j)]; p < md.colptr0[static_cast<size_t>(j) + 1]; ++p) {
      const int32_t i = md.rownos0[static_cast<size_t>(p)];
      const double v = md.a0[static_cast<size_t>(p)] * x[static_cast<size_t>(j)];
      act[static_cast<size_t>(i)] += v;
      scaleRow[static_cast<size_t>(i)] = std::max(scaleRow[static_cast<size_t>(i)], std::fabs(v));
    }
  const double sense = md.maximize ? -1.0 : 1.0;
  for (int32_t i = 1; i < m; ++i) {
    const double rep = ar.act(n + i);
    const double s = scaleRow[static_cast<size_t>(i)];
    r.activity = std::max(r.activity, std::fabs(rep - act[static_cast<size_t>(i)]) / s);
    const double lo = md.lo0[static_cast<size_t>(n + i)], up = md.up0[static_cast<size_t>(n + i)];
    const double ai = act[static_cast<size_t>(i)];
    if (lo > -kInf / 10) r.primal = std::max(r.primal, (lo - ai) / s);
    if (up < kInf / 10) r.primal = std::max(r.primal, (ai - up) / s);
    // Dual sign (minimisation sense): at the lower side y >= 0, at the upper
    // side y <= 0, strictly inside y = 0.
    const double yi = sense * y[static_cast<size_t>(i)];
    const double tolA = 1e-7 * s;
    const bool atLo = lo > -kInf / 10 && ai - lo <= tolA;
    const bool atUp = up < kInf / 10 && up - ai <= tolA;
    double viol = 0.0;
    if (!atLo) viol = std::max(viol, yi);
    if (!atUp) viol = std::max(viol, -yi);
    r.sign = std::max(r.sign, viol);
  }
  double obj = 0.0;
  for (int32_t j = 0; j < n; ++j) {
    const double lo = md.lo0[static_cast<size_t>(j)], up = md.up0[static_cast<size_t>(j)];
    const double xj = x[static_cast<size_t>(j)];
    const double s = std::max(1.0, std::fabs(xj));
    if (lo > -kInf / 10) r.primal = std::max(r.primal, (lo - xj) / std::max(1.0, std::fabs(lo)));
    if (up < kInf / 10) r.primal = std::max(r.primal, (xj - up) / std::max(1.0, std::fabs(up)));
    // Duals and reduced costs below the dual tolerance (1e-7) are reported
    // as 0: each entry may be off by that much times its coefficient.
    double c = 0.0, ya = 0.0, big = 1.0, allowance = 1e-7;
    for (int32_t p = md.colptr0[static_cast<size_t>(j)]; p < md.colptr0[static_cast<size_t>(j) + 1]; ++p) {
      const int32_t i = md.rownos0[static_cast<size_t>(p)];
      const double v = md.a0[static_cast<size_t>(p)];
      if (i == 0)
        c += v;
      else
        ya += y[static_cast<size_t>(i)] * v;
      big = std::max(big, std::fabs(i == 0 ? v : y[static_cast<size_t>(i)] * v));
      if (i != 0) allowance += 1e-7 * std::fabs(v);
    }
    obj += c * xj;
    const double d = ar.dual(j);
    r.dual = std::max(r.dual, std::max(0.0, std::fabs(d - (c - ya)) - allowance) / big);
    const double ds = sense * d;
    const bool atLo = lo > -kInf / 10 && xj - lo <= 1e-7 * s;
    const bool atUp = up < kInf / 10 && up - xj <= 1e-7 * s;
    double viol = 0.0;
    if (!atLo) viol = std::max(viol, ds);
    if (!atUp) viol = std::max(viol, -ds);
    r.sign = std::max(r.sign, viol / big);
  }
  r.objective = obj;
  return r;
}

}  // namespace lpfix

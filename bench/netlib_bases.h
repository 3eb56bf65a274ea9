// Bases of netlib models in the simplex working form, for the LU tests and
// benchmarks: the active constraint matrix of a loaded model by variable
// (LU rows 1..ma, the logicals included) and basis headers over it: the
// slack basis, the basis CrashBasis builds, and the basis a primal solve
// ends with.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "bench/netlib_mps.h"
#include "frame/area.h"
#include "lp/basis.h"
#include "lp/crash.h"
#include "lp/lu.h"
#include "tests/lp/lp_fixture.h"

namespace netlib {

struct WorkingMatrix {
  int32_t ma = 0;     // active constraint rows: the dimension of B
  int32_t n = 0;      // structural columns are the variables 1..n
  int32_t total = 0;  // variables 1..total (the objective row's among them)
  std::vector<int32_t> cStart, cRow;  // variable k: entries cStart[k] ..
  std::vector<double> cVal;           // cStart[k + 1] - 1, rows 1..ma
  std::vector<double> rhs;            // by LU row
  std::vector<double> cost;           // objective entry by variable

  bool operator==(const WorkingMatrix& o) const {
    return ma == o.ma && total == o.total && cStart == o.cStart && cRow == o.cRow && cVal == o.cVal;
  }
  int32_t entries(int32_t k) const { return cStart[static_cast<size_t>(k) + 1] - cStart[static_cast<size_t>(k)]; }
};

struct Basis {
  std::string kind;           // "slack", "crash" or "optimal"
  std::vector<int32_t> head;  // by position 0..ma; position 0 unused
  int64_t nnz = 0;            // entries of B
  int32_t structurals = 0;    // structural columns among the basic ones
};

// The LU kernel's view of a basis over the working matrix; head may change
// between calls (a basis change replaces one entry).
inline kz::ActiveColumns columnsOf(const WorkingMatrix& A, const std::vector<int32_t>& head) {
  kz::ActiveColumns c;
  c.start = A.cStart.data();
  c.row = A.cRow.data();
  c.val = A.cVal.data();
  c.head = head.data();
  return c;
}

struct ModelBases {
  std::string name;
  WorkingMatrix A;
  std::vector<Basis> bases;
  int32_t optimalIterations = 0;
  std::string error;  // empty when the model was read and the bases built
};

namespace detail {

inline bool snapshot(const kz::LpState& L, WorkingMatrix& A) {
  A.ma = L.ma;
  A.n = L.n;
  A.total = L.total;
  A.cStart = L.cStart;
  A.cRow = L.cRow;
  A.cVal = L.cVal;
  A.rhs = L.rhs;
  A.cost = L.objCoef;
  return static_cast<int32_t>(A.cStart.size()) == A.total + 2;
}

inline bool takeBasis(const kz::LpState& L, const WorkingMatrix& A, const char* kind, Basis& b) {
  b.kind = kind;
  b.head.assign(L.head.begin(), L.head.begin() + A.ma + 1);
  b.nnz = 0;
  b.structurals = 0;
  std::vector<char> seen(static_cast<size_t>(A.total) + 1, 0);
  for (int32_t p = 1; p <= A.ma; ++p) {
    const int32_t k = b.head[static_cast<size_t>(p)];
    if (k < 1 || k > A.total || seen[static_cast<size_t>(k)] || A.entries(k) == 0) return false;
    seen[static_cast<size_t>(k)] = 1;
    b.nnz += A.entries(k);
    if (k <= A.n) ++b.structurals;
  }
  return true;
}

}  // namespace detail

// Reads the model at path (gzip or plain MPS) with the reader of
// netlib_mps.h, loads it into an area of its own and builds the bases: the
// slack basis, the crash basis of the default settings and, when optimal is
// set, the final basis of a primal solve started from the crash basis.
inline ModelBases loadBases(const std::string& name, const std::string& path, bool optimal) {
  ModelBases out;
  out.name = name;
  Reader rd;
  if (!rd.read(path)) {
    out.error = "cannot read " + path + ": " + rd.error;
    return out;
  }
  lpfix::Area ar(400000);
  if (ar.init() != 0 || ar.clp("Mute Yes Set DualSimplex No") != 0) {
    out.error = "cannot open an area";
    return out;
  }
  if (ar.load(rd.md) != 0) {
    out.error = "load failed, rc " + std::to_string(ar.b()->rc);
    return out;
  }
  kz::ModelArea* a = kz::lookupArea(ar.b()->area);
  if (!a || !kz::prepareLp(*a)) {
    out.error = "no working form";
    return out;
  }
  kz::LpState& L = *a->lp;
  if (!detail::snapshot(L, out.A)) {
    out.error = "unexpected working matrix";
    return out;
  }
  Basis slack;
  slack.kind = "slack";
  slack.head.assign(static_cast<size_t>(L.ma) + 1, 0);
  for (int32_t r = 1; r <= L.ma; ++r)
    slack.head[static_cast<size_t>(r)] = a->store.obj + L.rowOfLu[static_cast<size_t>(r)];
  for (int32_t p = 1; p <= L.ma; ++p) slack.nnz += out.A.entries(slack.head[static_cast<size_t>(p)]);
  out.bases.push_back(slack);

  if (kz::crashBasis(*a) != 0) {
    out.error = "CrashBasis failed";
    return out;
  }
  Basis crash;
  if (!detail::takeBasis(L, out.A, "crash", crash)) {
    out.error = "crash basis header is not a basis";
    return out;
  }
  out.bases.push_back(crash);

  if (optimal) {
    // The solve keeps the crash basis (its variables are marked basic).
    if (ar.solve() != 0 || ar.modSts != 1) {
      out.error = "primal solve did not end optimal";
      return out;
    }
    WorkingMatrix again;
    if (!detail::snapshot(L, again) || !(again == out.A)) {
      out.error = "the solve changed the working matrix";
      return out;
    }
    Basis opt;
    if (!detail::takeBasis(L, out.A, "optimal", opt)) {
      out.error = "final basis header is not a basis";
      return out;
    }
    out.optimalIterations = L.iterations;
    out.bases.push_back(opt);
  }
  return out;
}

}  // namespace netlib

// A small model in the caller's arrays of KZLOAD, and an open area to load
// it into, for the unit tests of the model store and the internal form.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "frame/area.h"
#include "include/kz.h"

namespace kz::test {

// Columns are added one at a time; rows are numbered from 0 (objective).
// The arrays carry the room the load needs for the logical entries.
struct TestModel {
  int32_t n = 0, m = 1;
  std::vector<double> a;
  std::vector<int32_t> rownos, colptr{0};
  std::vector<double> colLo, colUp, rowLo, rowUp;
  std::vector<int32_t> colStatus, rowStatus;

  explicit TestModel(int32_t rows) : m(rows), rowLo(rows, -1e23), rowUp(rows, 1e23), rowStatus(rows, 0) {}

  TestModel& column(double lo, double up, std::vector<std::pair<int32_t, double>> entries, int32_t st = 0) {
    for (auto [r, v] : entries) {
      rownos.push_back(r);
      a.push_back(v);
    }
    colptr.push_back(static_cast<int32_t>(a.size()));
    colLo.push_back(lo);
    colUp.push_back(up);
    colStatus.push_back(st);
    ++n;
    return *this;
  }
  TestModel& row(int32_t r, double lo, double up, int32_t st = 0) {
    rowLo[r] = lo;
    rowUp[r] = up;
    rowStatus[r] = st;
    return *this;
  }

  // The load arrays (rebuilt on each call; room for the logicals).
  struct Arrays {
    std::vector<double> a, bndmin, bndmax;
    std::vector<int32_t> rownos, colptr, status;
  };
  Arrays arrays(int base = 0) const {
    Arrays x;
    x.a = a;
    x.rownos = rownos;
    x.a.resize(a.size() + m + 1, -777.0);
    x.rownos.resize(rownos.size() + m + 1, -777);
    x.colptr = colptr;
    for (auto& p : x.colptr) p += base;
    x.colptr.resize(n + m + 1, -777);
    x.bndmin = colLo;
    x.bndmin.insert(x.bndmin.end(), rowLo.begin(), rowLo.end());
    x.bndmax = colUp;
    x.bndmax.insert(x.bndmax.end(), rowUp.begin(), rowUp.end());
    x.status = colStatus;
    x.status.insert(x.status.end(), rowStatus.begin(), rowStatus.end());
    return x;
  }
};

// An open model area (no window, a pool of poolK K bytes).
class AreaFixture {
 public:
  explicit AreaFixture(int namestyle = 0, int32_t poolK = 20000) {
    std::memset(&b_, 0, sizeof b_);
    b_.size = sizeof b_;
    ok_ = KZINIT(&b_, poolK, 0, -3, namestyle) == 0;
  }
  ~AreaFixture() { KZDONE(&b_); }
  bool ok() const { return ok_; }
  KZOSL* block() { return &b_; }
  ModelArea& area() { return *lookupArea(b_.area); }
  int16_t load(TestModel::Arrays& x, const TestModel& t, void* names = nullptr) {
    return KZLOAD(&b_, t.m, t.n, x.a.data(), x.rownos.data(), x.colptr.data(), x.bndmin.data(), x.bndmax.data(),
                  x.status.data(), names);
  }
  // A new load is accepted after an option command.
  void resetState() { KZCLP(&b_, ""); }

 private:
  KZOSL b_{};
  bool ok_ = false;
};

}  // namespace kz::test

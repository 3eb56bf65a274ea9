// Load benchmark: KZLOAD of a random model of 100,000 columns, 10,000 rows
// and 1,000,000 nonzeros, with the caller's arrays used in place (the
// default) and with Set COPYDATA Yes. Reports the best of a few loads.
//
//   kz_load_bench [columns] [rows] [nonzeros] [repeats]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "kz.h"

namespace {

struct Model {
  int32_t n, m;
  std::vector<double> a, lo, up;
  std::vector<int32_t> rownos, colptr, status;
};

Model randomModel(int32_t n, int32_t m, int64_t nnz, unsigned seed) {
  Model x{n, m, {}, {}, {}, {}, {}, {}};
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int32_t> row(1, m - 1);
  std::uniform_real_distribution<double> val(-100.0, 100.0);
  const int64_t perColumn = nnz / n;
  x.colptr.reserve(static_cast<size_t>(n + m + 1));
  x.colptr.push_back(0);
  std::vector<int32_t> rows;
  for (int32_t j = 0; j < n; ++j) {
    rows.clear();
    rows.push_back(0);  // every column has a cost
    while (static_cast<int64_t>(rows.size()) < perColumn) rows.push_back(row(rng));
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int32_t r : rows) {
      x.rownos.push_back(r);
      x.a.push_back(val(rng));
    }
    x.colptr.push_back(static_cast<int32_t>(x.a.size()));
  }
  // Room for the logicals.
  x.a.resize(x.a.size() + static_cast<size_t>(m), 0.0);
  x.rownos.resize(x.rownos.size() + static_cast<size_t>(m), 0);
  x.colptr.resize(static_cast<size_t>(n + m + 1), 0);
  for (int32_t j = 0; j < n; ++j) {
    const int kind = j % 4;
    x.lo.push_back(kind == 1 ? -10.0 : (kind == 2 ? -1e23 : 0.0));
    x.up.push_back(kind == 3 ? 1e23 : 50.0);
  }
  for (int32_t r = 0; r < m; ++r) {
    x.lo.push_back(r % 3 == 0 ? -1e23 : -100.0);
    x.up.push_back(r % 3 == 1 ? 1e23 : 100.0);
  }
  x.status.assign(static_cast<size_t>(n + m), 0);
  return x;
}

double loadSeconds(const Model& base, bool copyData, bool* inPlace) {
  Model x = base;  // a fresh copy: the load scales and mirrors in place
  KZOSL b;
  std::memset(&b, 0, sizeof b);
  b.size = sizeof b;
  if (KZINIT(&b, 400000, 0, -3, 0) != 0) {
    std::fprintf(stderr, "KZINIT failed: %d\n", b.rc);
    std::exit(1);
  }
  KZCLP(&b, "Mute Yes");
  if (copyData) KZCLP(&b, "Set COPYDATA Yes");
  const size_t nnz = static_cast<size_t>(x.colptr[static_cast<size_t>(x.n)]);
  x.a[nnz] = 12345.0;  // the first logical's place
  const auto t0 = std::chrono::steady_clock::now();
  const int16_t fv = KZLOAD(&b, x.m, x.n, x.a.data(), x.rownos.data(), x.colptr.data(), x.lo.data(), x.up.data(),
                            x.status.data(), nullptr);
  const auto t1 = std::chrono::steady_clock::now();
  if (fv != 0) {
    std::fprintf(stderr, "KZLOAD failed: %d\n", b.rc);
    std::exit(1);
  }
  *inPlace = x.a[nnz] != 12345.0;  // the logicals went into the caller's arrays
  KZDONE(&b);
  return std::chrono::duration<double>(t1 - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t n = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int32_t m = argc > 2 ? std::atoi(argv[2]) : 10000;
  const int64_t nnz = argc > 3 ? std::atoll(argv[3]) : 1000000;
  const int repeats = argc > 4 ? std::atoi(argv[4]) : 5;
  const Model model = randomModel(n, m, nnz, 12345);
  std::printf("model: %d columns, %d rows, %d nonzeros\n", n, m, model.colptr[static_cast<size_t>(n)]);
  for (bool copy : {false, true}) {
    double best = 1e30;
    bool inPlace = false;
    for (int k = 0; k < repeats; ++k) best = std::min(best, loadSeconds(model, copy, &inPlace));
    std::printf("KZLOAD %-18s best of %d: %.3f s (%s)\n", copy ? "Set COPYDATA Yes" : "in place", repeats, best,
                inPlace ? "caller's arrays used in place" : "matrix copied");
  }
  return 0;
}

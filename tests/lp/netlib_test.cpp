// The netlib LP models through the library's own MPS reader, solved by the
// primal simplex (Set DualSimplex No) and with the default options (the dual
// simplex first): every model ends optimal, its objective
// agrees with a published or corrected value, and the values KZACT and
// KZDUAL return satisfy the optimality conditions.
//
// Cost: in an optimised build every model for both runs (the primal about
// 45 s, half of it dfl001 with some 53000 primal iterations); under the
// address sanitizer only the models whose compressed file is below 20 KB
// (42 of 91). KZ_NETLIB=all runs every model in any build.
// KZ_NETLIB=none skips the test; KZ_NETLIB=name,name runs those models.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/netlib_mps.h"
#include "kz.h"
#include "tests/lp/netlib_select.h"

namespace {

using netlibsel::dataDir;
using netlibsel::fileExists;
using netlibsel::fileSize;
using netlibsel::kSanitized;

// Reads a model with KZMPSQP into arrays that KZLOAD takes; the model's
// copies for the check are taken before the load works on the arrays.
struct Loaded {
  int32_t row = 0, column = 0, nonzero = 0;
  std::vector<double> a, bndmin, bndmax;
  std::vector<int32_t> rownos, colptr, status;
  std::vector<char> names;
  lpfix::Model md;
};

bool readModel(lpfix::Area& ar, const std::string& path, const netlib::Reader& counts, Loaded& L) {
  int32_t maxrow = counts.md.rows.size() + 8, maxcol = counts.md.cols.size() + 8;
  int64_t entries = 0;
  for (const auto& c : counts.md.cols) entries += static_cast<int64_t>(c.e.size());
  int32_t maxnon = static_cast<int32_t>(entries + maxrow + 64);
  int16_t fv = 1;
  for (int attempt = 0; attempt < 6 && fv != 0; ++attempt) {
    L.a.assign(static_cast<size_t>(maxnon), 0.0);
    L.rownos.assign(static_cast<size_t>(maxnon), 0);
    L.colptr.assign(static_cast<size_t>(maxcol + maxrow + 2), 0);
    L.bndmin.assign(static_cast<size_t>(maxcol + maxrow + 1), 0.0);
    L.bndmax.assign(static_cast<size_t>(maxcol + maxrow + 1), 0.0);
    L.status.assign(static_cast<size_t>(maxcol + maxrow + 1), 0);
    L.names.assign(static_cast<size_t>(maxcol + maxrow) * 64, ' ');
    int32_t noqp = 0;
    fv = KZMPSQP(ar.b(), path.c_str(), &L.row, &L.column, &L.nonzero, L.a.data(), L.rownos.data(), L.colptr.data(),
                 L.bndmin.data(), L.bndmax.data(), L.status.data(), L.names.data(), &noqp, nullptr, nullptr, nullptr, 0,
                 maxrow, maxcol, maxnon);
    if (fv == 0) break;
    const int32_t rc = ar.b()->rc;
    if (rc == 301) maxrow *= 2;
    else if (rc == 302) maxcol *= 2;
    else if (rc == 307) maxnon *= 2;
    else if (rc >= 400 && rc < 500) {
      fv = KZMPSF(ar.b(), path.c_str(), &L.row, &L.column, &L.nonzero, L.a.data(), L.rownos.data(), L.colptr.data(),
                  L.bndmin.data(), L.bndmax.data(), L.status.data(), L.names.data(), maxrow, maxcol, maxnon);
      break;
    } else {
      break;
    }
  }
  if (fv != 0) return false;
  lpfix::Model& md = L.md;
  md.n = L.column;
  md.m = L.row;
  md.colptr0.assign(L.colptr.begin(), L.colptr.begin() + L.column + 1);
  md.rownos0.assign(L.rownos.begin(), L.rownos.begin() + L.colptr[static_cast<size_t>(L.column)]);
  md.a0.assign(L.a.begin(), L.a.begin() + L.colptr[static_cast<size_t>(L.column)]);
  md.lo0.assign(L.bndmin.begin(), L.bndmin.begin() + L.column + L.row);
  md.up0.assign(L.bndmax.begin(), L.bndmax.begin() + L.column + L.row);
  return true;
}

// heavy: the models an optimised build leaves out unless KZ_NETLIB=all.
std::vector<std::string> chosenModels(const std::vector<netlib::Reference>& refs, const std::string& dir,
                                      const std::vector<std::string>& heavy) {
  const netlibsel::Selection sel = netlibsel::readSelection("KZ_NETLIB");
  std::vector<std::string> out;
  if (sel.kind == netlibsel::Selection::kNone) return out;
  if (sel.kind == netlibsel::Selection::kListed) return sel.names;
  for (const auto& r : refs) {
    if (sel.kind == netlibsel::Selection::kAll) {
      out.push_back(r.name);
    } else if (kSanitized) {
      if (fileSize(dir + "/" + r.file) < 20000) out.push_back(r.name);
    } else if (std::find(heavy.begin(), heavy.end(), r.name) == heavy.end()) {
      out.push_back(r.name);
    }
  }
  return out;
}

// Every chosen model solved with the given option line.
void solveEveryModel(const char* options, const std::vector<std::string>& heavy) {
  const std::string dir = dataDir();
  if (dir.empty() || !fileExists(dir + "/optimal.tsv"))
    GTEST_SKIP() << "KZ_TEST_DATA does not point at the test data (netlib/optimal.tsv): netlib test skipped";
  const std::vector<netlib::Reference> refs = netlib::readReferences(dir);
  ASSERT_GT(refs.size(), 80u);
  const std::vector<std::string> models = chosenModels(refs, dir, heavy);
  if (models.empty()) GTEST_SKIP() << "KZ_NETLIB=none";
  int solved = 0;
  for (const netlib::Reference& ref : refs) {
    bool want = false;
    for (const std::string& m : models) want = want || m == ref.name;
    if (!want) continue;
    const std::string path = dir + "/" + ref.file;
    netlib::Reader counts;
    ASSERT_TRUE(counts.read(path)) << ref.name;
    lpfix::Area ar(400000);
    ASSERT_EQ(ar.init(), 0);
    // A model that takes far longer than it should fails with a time limit
    // instead of holding up the whole run.
    ASSERT_EQ(ar.clp((std::string(options) + " Set TimeLimit 600").c_str()), 0);
    Loaded L;
    lpfix::Model* md = &L.md;
    if (readModel(ar, path, counts, L)) {
      ASSERT_EQ(KZLOAD(ar.b(), L.row, L.column, L.a.data(), L.rownos.data(), L.colptr.data(), L.bndmin.data(),
                       L.bndmax.data(), L.status.data(), L.names.data()),
                0)
          << ref.name << " rc " << ar.b()->rc;
    } else {
      // A file the library's reader refuses is read by the test's own reader:
      // this test is about the solve.
      std::printf("netlib: %s read by the test's reader (library reader rc %d)\n", ref.name.c_str(), ar.b()->rc);
      md = &counts.md;
      ASSERT_EQ(ar.load(*md), 0) << ref.name << " rc " << ar.b()->rc;
    }
    ASSERT_EQ(ar.solve(), 0) << ref.name;
    EXPECT_EQ(ar.modSts, 1) << ref.name;
    EXPECT_EQ(ar.solSts, 1) << ref.name;
    const double obj = ar.act(md->n);
    EXPECT_TRUE(netlib::matches(ref, obj)) << ref.name << " objective " << obj << " published " << ref.published;
    const lpfix::Residuals r = lpfix::checkSolution(ar, *md);
    EXPECT_LT(r.primal, 1e-6) << ref.name;
    EXPECT_LT(r.activity, 1e-8) << ref.name;
    EXPECT_LT(r.dual, 1e-6) << ref.name;
    EXPECT_LT(r.sign, 1e-6) << ref.name;
    if (std::getenv("KZ_NETLIB_VERBOSE"))
      std::printf("netlib %s obj %.12g primal %g activity %g dual %g sign %g\n", ref.name.c_str(), obj, r.primal,
                  r.activity, r.dual, r.sign);
    if (ar.modSts == 1 && netlib::matches(ref, obj)) ++solved;
  }
  std::printf("netlib (%s): %d of %zu models solved\n", options, solved, models.size());
}

TEST(Netlib, PrimalSimplexSolvesEveryModel) { solveEveryModel("Mute Yes Set DualSimplex No", {}); }

// The default options: the dual simplex first.
TEST(Netlib, DualSimplexSolvesEveryModel) { solveEveryModel("Mute Yes", {}); }

}  // namespace

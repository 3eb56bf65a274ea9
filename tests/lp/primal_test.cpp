// The primal simplex and the starting basis seen from inside: iteration
// counts, the starting basis chosen, singular-basis repair, the status
// mapping table and the settings a solve must leave as it found them.
#include <gtest/gtest.h>

#include "frame/area.h"
#include "lp/basis.h"
#include "lp/crash.h"
#include "lp/status.h"
#include "model/seams.h"
#include "tests/lp/lp_fixture.h"

namespace {

using lpfix::Area;
using lpfix::kInf;
using lpfix::Model;

kz::ModelArea& areaOf(Area& ar) { return *kz::lookupArea(ar.b()->area); }

Model smallMin() {
  Model md;
  md.cols = {{"X", 0, kInf, {{0, 2.0}, {1, 1.0}, {2, 1.0}}}, {"Y", 0, kInf, {{0, 3.0}, {1, 1.0}}}};
  md.rows = {{"R1", 4, kInf}, {"R2", -kInf, 3}};
  return md;
}

TEST(Primal, SlackBasisOptimalTakesNoIteration) {
  Area ar;
  ASSERT_EQ(ar.clp("Mute Yes Set DualSimplex No Set Crash 3"), 0);
  Model md;
  md.cols = {{"X", 0, kInf, {{0, 1.0}, {1, 1.0}}}, {"Y", 0, kInf, {{0, 1.0}, {1, 2.0}}}};
  md.rows = {{"R1", -kInf, 4}, {"R2", -kInf, 9}};
  ASSERT_EQ(ar.load(md), 0);
  ASSERT_EQ(ar.solve(), 0);
  EXPECT_EQ(ar.modSts, 1);
  kz::LpState& L = kz::lpState(areaOf(ar));
  EXPECT_EQ(L.lpStatus, kz::kLpOptimal);
  EXPECT_EQ(L.iterations, 1);  // the count starts at 1
}

TEST(Primal, StatusMappingTable) {
  struct Case {
    int16_t lp;
    int32_t phase1, iterations, limit;
    bool maps;
    int16_t mod, sol;
  };
  const Case cases[] = {
      {0, 0, 5, 100, true, 1, 1},     {2, 3, 5, 100, true, 6, 4},    {2, 0, 5, 100, true, 7, 4},
      {4, 0, 5, 100, true, 7, 3},     {4, 2, 100, 100, true, 6, 2},  {4, 0, 101, 100, true, 7, 2},
      {8, 0, 5, 100, true, 3, 1},     {16, 0, 5, 100, true, 4, 1},   {32, 0, 5, 100, true, 13, 10},
      {128, 0, 5, 100, false, 99, 5}, {256, 0, 5, 100, false, 99, 5}, {64, 0, 5, 100, false, 99, 5},
  };
  for (const Case& c : cases) {
    int16_t mod = 99, sol = 5;
    EXPECT_EQ(kz::mapLpStatusCodes(c.lp, c.phase1, c.iterations, c.limit, &mod, &sol), c.maps) << c.lp;
    EXPECT_EQ(mod, c.mod) << "LP status " << c.lp;
    EXPECT_EQ(sol, c.sol) << "LP status " << c.lp;
  }
}

TEST(Primal, SettingsComeBackAfterTheSolve) {
  Area ar;
  ASSERT_EQ(ar.clp("Mute Yes Set Markowitz 0.1 Set DualSimplex No"), 0);
  kz::ModelArea& a = areaOf(ar);
  const double markowitz = a.opt.markowitz;
  const int16_t dualMode = a.opt.dualMode, dualAllowed = a.opt.dualAllowed;
  Model md = smallMin();
  ASSERT_EQ(ar.load(md), 0);
  ASSERT_EQ(ar.solve(), 0);
  EXPECT_EQ(a.opt.markowitz, markowitz);
  EXPECT_EQ(a.opt.dualMode, dualMode);
  EXPECT_EQ(a.opt.dualAllowed, dualAllowed);
}

// Basis positions held by logicals only (no column basic).
bool slackOnly(kz::ModelArea& a) {
  kz::LpState& L = *a.lp;
  for (int32_t p = 1; p <= L.ma; ++p)
    if (L.head[static_cast<size_t>(p)] <= a.store.n) return false;
  return true;
}

TEST(Crash, StartingBasisChoice) {
  struct Case {
    const char* what;
    const char* options;
    int freeColumns;  // of 10
    bool suppliedBasic;
    bool slack;
  };
  const Case cases[] = {
      {"triangular crash takes columns", "", 0, false, false},
      {"Set Crash 3 is the slack basis", "Set Crash 3", 0, false, true},
      {"more than 15% free columns: slack basis", "", 2, false, true},
      {"a supplied basis is kept", "Set Crash 3", 0, true, false},
  };
  for (const Case& c : cases) {
    Area ar;
    ASSERT_EQ(ar.clp("Mute Yes"), 0);
    if (*c.options) {
      ASSERT_EQ(ar.clp(c.options), 0);
    }
    Model md;
    // Ten columns over ten equality rows: column j covers rows j and j + 1.
    for (int j = 0; j < 10; ++j) {
      Model::Col col{"C" + std::to_string(j), 0, kInf, {{0, 1.0 + j}, {j + 1, 1.0}}};
      if (j < 9) col.e.push_back({j + 2, 0.5});
      if (j < c.freeColumns) col.lo = -kInf;
      if (c.suppliedBasic && j == 4) col.status = 1;
      md.cols.push_back(col);
    }
    for (int i = 1; i <= 10; ++i) md.rows.push_back({"R" + std::to_string(i), 2.0, 2.0});
    ASSERT_EQ(ar.load(md), 0) << c.what;
    kz::ModelArea& a = areaOf(ar);
    ASSERT_TRUE(kz::prepareLp(a));
    ASSERT_EQ(kz::crashBasis(a), 0) << c.what;
    EXPECT_EQ(slackOnly(a), c.slack) << c.what;
    if (c.suppliedBasic) {
      EXPECT_NE(a.store.kind[5] & kz::kKindBasic, 0u) << c.what;
    }
    // The solve goes on from there to the optimum.
    ASSERT_EQ(ar.solve(), 0);
    EXPECT_EQ(ar.modSts, 1) << c.what;
  }
}

TEST(Factorization, IdenticalBasicColumnsAreRepaired) {
  Area ar;
  ASSERT_EQ(ar.clp("Mute Yes Set DualSimplex No"), 0);
  Model md;
  md.cols = {{"X", 0, kInf, {{0, 1.0}, {1, 1.0}, {2, 1.0}}, 1},
             {"Y", 0, kInf, {{0, 2.0}, {1, 1.0}, {2, 1.0}}, 1},
             {"Z", 0, kInf, {{0, 1.0}, {2, 1.0}}}};
  md.rows = {{"R1", 1, kInf}, {"R2", 2, kInf}};
  ASSERT_EQ(ar.load(md), 0);
  kz::ModelArea& a = areaOf(ar);
  ASSERT_TRUE(kz::prepareLp(a));
  ASSERT_EQ(kz::crashBasis(a), 0);
  // One of the twins left; a logical took its place.
  const bool x = (a.store.kind[1] & kz::kKindBasic) != 0, y = (a.store.kind[2] & kz::kKindBasic) != 0;
  EXPECT_TRUE(x != y);
  ASSERT_EQ(ar.solve(), 0);
  EXPECT_EQ(ar.modSts, 1);
  EXPECT_NEAR(ar.act(md.n), 2.0, 1e-12);
}

TEST(Primal, ReinvertIntervalBoundsTheUpdates) {
  for (const char* opt : {"Set ReInvert 3", "Set ReInvert 0"}) {
    Area ar;
    ASSERT_EQ(ar.clp("Mute Yes Set DualSimplex No Set Crash 3"), 0);
    ASSERT_EQ(ar.clp(opt), 0);
    Model md;
    for (int j = 0; j < 12; ++j) {
      Model::Col col{"C" + std::to_string(j), 0, 10, {{0, -1.0 - (j % 3)}}};
      for (int i = 1; i <= 8; ++i)
        if ((i + j) % 3 != 0) col.e.push_back({i, 1.0 + ((i * j) % 5)});
      md.cols.push_back(col);
    }
    for (int i = 1; i <= 8; ++i) md.rows.push_back({"R" + std::to_string(i), -kInf, 20.0 + i});
    ASSERT_EQ(ar.load(md), 0);
    ASSERT_EQ(ar.solve(), 0);
    EXPECT_EQ(ar.modSts, 1) << opt;
    kz::LpState& L = kz::lpState(areaOf(ar));
    const int32_t interval = std::string(opt) == "Set ReInvert 3" ? 3 : 50;
    EXPECT_EQ(L.reinvert, interval) << opt;
    EXPECT_LE(L.lu.updatesSinceFactor(), interval) << opt;
    if (interval == 3) {
      EXPECT_GE(L.factorizations, (L.iterations - 1) / 3) << opt;
    }
  }
}

}  // namespace

namespace {

TEST(RowActivation, ScheduledRowStartsOutsideAndComesBack) {
  Area ar;
  ASSERT_EQ(ar.clp("Mute Yes"), 0);
  Model md;
  md.cols = {{"X", 0, kInf, {{0, 1.0}, {1, 1.0}}}, {"Y", 0, kInf, {{0, 2.0}, {1, 1.0}, {2, 1.0}}}};
  md.rows = {{"R1", 2, kInf}, {"R2", 1, kInf, 0x1000000}, {"R3", -kInf, 100, 0x1000000}};
  ASSERT_EQ(ar.load(md), 0);
  kz::ModelArea& a = areaOf(ar);
  ASSERT_TRUE(kz::prepareLp(a));
  const int32_t obj = a.store.obj;
  EXPECT_TRUE(kz::rowActiveInSolve(a, obj + 1));
  EXPECT_FALSE(kz::rowActiveInSolve(a, obj + 2));
  EXPECT_FALSE(kz::rowActiveInSolve(a, obj + 3));
  ASSERT_EQ(ar.solve(), 0);
  // The violated row was activated; the other stays outside.
  EXPECT_TRUE(kz::rowActiveInSolve(a, obj + 2));
  EXPECT_FALSE(kz::rowActiveInSolve(a, obj + 3));
  EXPECT_NEAR(ar.act(md.n), 3.0, 1e-12);
}

}  // namespace

// KZSOLV and the result routines as a host calls them: status pairs,
// banners, hints, limits, the sign conventions of duals and reduced costs,
// name lookups and the index range mode.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <unistd.h>
#include <thread>
#include <string>
#include <vector>

#include "../lp/lp_fixture.h"
#include "capture.h"
#include "kz.h"

namespace {

using lpfix::Area;
using lpfix::kInf;
using lpfix::Model;

bool hasLine(const Capture& c, const std::string& part) {
  for (const std::string& t : c.texts())
    if (t.find(part) != std::string::npos) return true;
  return false;
}

std::string linesOf(const Capture& c) {
  std::string s;
  for (const std::string& t : c.texts()) s += t + "\n";
  return s;
}

// min x + y, x + y <= 4: the slack basis is optimal.
Model slackOptimal() {
  Model md;
  md.cols = {{"X", 0, kInf, {{0, 1.0}, {1, 1.0}}}, {"Y", 0, kInf, {{0, 1.0}, {1, 1.0}}}};
  md.rows = {{"R1", -kInf, 4}};
  return md;
}

// x, y <= 1 and x + y >= 5.
Model infeasible() {
  Model md;
  md.cols = {{"X", 0, 1, {{0, 1.0}, {1, 1.0}}}, {"Y", 0, 1, {{0, 1.0}, {1, 1.0}}}};
  md.rows = {{"R1", 5, kInf}};
  return md;
}

// max x + y, x + 2y <= 4, 3x + y <= 6: two pivots from the slack basis.
Model twoPivots() {
  Model md;
  md.maximize = true;
  md.cols = {{"X", 0, kInf, {{0, 1.0}, {1, 1.0}, {2, 3.0}}}, {"Y", 0, kInf, {{0, 1.0}, {1, 2.0}, {2, 1.0}}}};
  md.rows = {{"R1", -kInf, 4}, {"R2", -kInf, 6}};
  return md;
}

// Beale's example, on which the textbook rule cycles at the degenerate
// origin: min -3/4 x4 + 20 x5 - 1/2 x6 + 6 x7; optimum -5/4 at x4 = x6 = 1.
Model beale() {
  Model md;
  md.cols = {{"X4", 0, kInf, {{0, -0.75}, {1, 0.25}, {2, 0.5}}},
             {"X5", 0, kInf, {{0, 20.0}, {1, -8.0}, {2, -12.0}}},
             {"X6", 0, kInf, {{0, -0.5}, {1, -1.0}, {2, -0.5}, {3, 1.0}}},
             {"X7", 0, kInf, {{0, 6.0}, {1, 9.0}, {2, 3.0}}}};
  md.rows = {{"R1", -kInf, 0}, {"R2", -kInf, 0}, {"R3", -kInf, 1}};
  return md;
}

TEST(Solve, SlackBasisOptimal) {
  for (const char* dual : {"Set DualSimplex No", "Set DualSimplex Yes"}) {
    Area ar;
    Capture cap(ar.b());
    ASSERT_EQ(ar.clp(dual), 0);
    Model md = slackOptimal();
    ASSERT_EQ(ar.load(md), 0);
    EXPECT_EQ(ar.solve(), 0);
    EXPECT_EQ(ar.modSts, 1) << dual;
    EXPECT_EQ(ar.solSts, 1);
    EXPECT_TRUE(hasLine(cap, "L P   O P T I M A L   S O L U T I O N ---> OBJ: 0")) << linesOf(cap);
    // One constraint row: the printed count is 1 + 1 * 10/19 + 1, truncated.
    EXPECT_TRUE(hasLine(cap, "SOLVE 1 TIME 00:00:00  ITER 2")) << linesOf(cap);
    EXPECT_EQ(ar.act(0), 0.0);
    EXPECT_EQ(ar.act(2), 0.0);  // objective
    EXPECT_EQ(ar.act(3), 0.0);  // row R1
  }
}

TEST(Solve, UnboundedNamesTheVariable) {
  struct Case {
    const char* what;
    bool maximize;
    std::vector<Model::Col> cols;
    std::vector<Model::Row> rows;
    int32_t item;  // caller index of the unbounded column
    const char* name;
    // With the dual first, the variable the dual's ray names when it is
    // another one of the same ray (caller index, name); -1: the same.
    int32_t dualItem = -1;
    const char* dualName = nullptr;
  };
  const Case cases[] = {
      {"free column, no row", false,
       {{"X1", -kInf, kInf, {{0, 1.0}}}, {"X2", 0, kInf, {{0, 1.0}, {1, 1.0}}}},
       {{"R1", -kInf, 5}},
       0,
       "X1"},
      // Raising X only loosens R1; found in phase 2 after no pivot.
      {"bounded-below column, row loosens", true,
       {{"X", 0, kInf, {{0, 1.0}, {1, -1.0}}}, {"Y", 0, 4, {{0, 1.0}, {1, 1.0}}}},
       {{"R1", -kInf, 3}},
       0,
       "X",
       3,  // the dual ends with X basic and R1's activity going to -infinity
       "R1"},
      // The ray appears after a pivot: X blocks on R1, then Y drags X along.
      {"ray after a pivot", false,
       {{"X", 0, kInf, {{0, -1.0}, {1, 1.0}}}, {"Y", 0, kInf, {{1, -1.0}}}},
       {{"R1", -kInf, 5}},
       1,
       "Y"},
  };
  for (const Case& c : cases) {
    for (const char* dual : {"Set DualSimplex No", "Set DualSimplex Yes"}) {
      Model md;
      md.maximize = c.maximize;
      md.cols = c.cols;
      md.rows = c.rows;
      Area ar;
      Capture cap(ar.b());
      ASSERT_EQ(ar.clp(dual), 0);
      ASSERT_EQ(ar.clp("Set Crash 3"), 0);
      ASSERT_EQ(ar.load(md), 0);
      EXPECT_EQ(ar.solve(), 0);
      EXPECT_EQ(ar.modSts, 3) << c.what << ", " << dual;
      EXPECT_EQ(ar.solSts, 1) << c.what << ", " << dual;
      const bool dualNames = std::string(dual) == "Set DualSimplex Yes" && c.dualItem >= 0;
      const int32_t item = dualNames ? c.dualItem : c.item;
      const char* name = dualNames ? c.dualName : c.name;
      EXPECT_TRUE(hasLine(cap, std::string("U N B O U N D E D   V A R I A B L E: ") + name))
          << c.what << ", " << dual << "\n" << linesOf(cap);
      EXPECT_FALSE(hasLine(cap, "---> OBJ:")) << c.what;
      EXPECT_EQ(ar.act(item), 1e23) << c.what << ", " << dual;
      int32_t st = 0;
      EXPECT_EQ(KZVAR(ar.b(), item, nullptr, 0, nullptr, nullptr, &st, nullptr, nullptr, nullptr, nullptr, nullptr),
                0);
      EXPECT_EQ(st & 0x4800, 0x4800) << c.what;
    }
  }
}

TEST(Solve, InfeasibleStatusBannerAndHints) {
  for (const char* dual : {"Set DualSimplex No", "Set DualSimplex Yes"}) {
    Area ar;
    Capture cap(ar.b());
    ASSERT_EQ(ar.clp(dual), 0);
    Model md = infeasible();
    ASSERT_EQ(ar.load(md), 0);
    EXPECT_EQ(ar.solve(), 0);
    EXPECT_EQ(ar.modSts, 4) << dual;
    EXPECT_EQ(ar.solSts, 1) << dual;
    const std::vector<std::string> t = cap.texts();
    size_t hint = t.size(), banner = t.size();
    for (size_t k = 0; k < t.size(); ++k) {
      const bool hintLine = t[k].rfind("INCREASE ", 0) == 0 || t[k].rfind("DECREASE ", 0) == 0;
      if (hintLine && t[k].find(" BY 3") != std::string::npos) hint = k;
      if (t[k].rfind("N O   F E A S I B L E   S O L U T I O N", 0) == 0) banner = k;
    }
    ASSERT_LT(banner, t.size()) << linesOf(cap);
    EXPECT_LT(hint, banner) << linesOf(cap);
    EXPECT_NE(t[banner].find(" INF: 3"), std::string::npos) << t[banner];
  }
}

TEST(Solve, ConflictOnLeavesOutTheHints) {
  Area ar;
  Capture cap(ar.b());
  ASSERT_EQ(ar.clp("Conflict Yes"), 0);
  Model md = infeasible();
  ASSERT_EQ(ar.load(md), 0);
  ar.solve();
  EXPECT_EQ(ar.modSts, 4);
  EXPECT_TRUE(hasLine(cap, "N O   F E A S I B L E   S O L U T I O N")) << linesOf(cap);
  EXPECT_FALSE(hasLine(cap, "INCREASE "));
}

TEST(Solve, IterationAndTimeLimits) {
  struct Case {
    const char* options;
    bool infeasibleStart;
    int16_t modSts, solSts;
    const char* banner;
  };
  const Case cases[] = {
      {"Set Iterations 1", false, 7, 2, "I T E R A T I O N   L I M I T   E X C E E D E D"},
      {"Set Iterations 1 Set Crash 3", true, 6, 2, "I T E R A T I O N   L I M I T   E X C E E D E D"},
      {"Set TimeLimit 0", false, 7, 3, "T I M E   L I M I T   E X C E E D E D"},
      {"Set TimeLimit 0 Set Crash 3", true, 6, 3, "T I M E   L I M I T   E X C E E D E D"},
  };
  for (const Case& c : cases) {
    Area ar;
    Capture cap(ar.b());
    ASSERT_EQ(ar.clp("Set DualSimplex No"), 0);
    ASSERT_EQ(ar.clp(c.options), 0) << c.options;
    Model md = twoPivots();
    if (c.infeasibleStart) md.rows[0] = {"R1", 1, 4};
    ASSERT_EQ(ar.load(md), 0);
    EXPECT_EQ(ar.solve(), 0);
    EXPECT_EQ(ar.modSts, c.modSts) << c.options;
    EXPECT_EQ(ar.solSts, c.solSts) << c.options;
    EXPECT_TRUE(hasLine(cap, c.banner)) << c.options << "\n" << linesOf(cap);
  }
}

TEST(Solve, StopRequestEndsTheSolve) {
  Area ar;
  ASSERT_EQ(ar.clp("Set DualSimplex No"), 0);
  Model md = twoPivots();
  ASSERT_EQ(ar.load(md), 0);
  ASSERT_EQ(KZMSGINPUT(ar.b(), 26), 0);
  EXPECT_EQ(ar.solve(), 0);
  EXPECT_EQ(ar.modSts, 7);
  EXPECT_EQ(ar.solSts, 3);
}

TEST(Solve, DeactivatedRowComesBackWhenViolated) {
  for (const char* dual : {"Set DualSimplex No", "Set DualSimplex Yes"}) {
    Area ar;
    ASSERT_EQ(ar.clp(dual), 0);
    Model md;
    md.cols = {{"X", 0, kInf, {{0, 1.0}, {1, 1.0}}}, {"Y", 0, kInf, {{0, 2.0}, {1, 1.0}, {2, 1.0}}}};
    // R2 starts outside the solve (status bit 0x1000000); without it the
    // optimum is x = 2, y = 0, which violates it.
    md.rows = {{"R1", 2, kInf}, {"R2", 1, kInf, 0x1000000}};
    ASSERT_EQ(ar.load(md), 0);
    ASSERT_EQ(ar.solve(), 0);
    EXPECT_EQ(ar.modSts, 1) << dual;
    EXPECT_NEAR(ar.act(md.n), 3.0, 1e-12) << dual;
    EXPECT_NEAR(ar.act(1), 1.0, 1e-12) << dual;
    EXPECT_NEAR(ar.act(md.n + 2), 1.0, 1e-12) << dual;
  }
}

TEST(Solve, BasisFileAfterTheLp) {
  char dir[] = "/tmp/kzbasisXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string stem = std::string(dir) + "/start";
  Area ar;
  ASSERT_EQ(ar.clp(("Basis " + stem).c_str()), 0);
  Model md = twoPivots();
  md.cols[1].up = 1;  // Y ends at its upper bound
  ASSERT_EQ(ar.load(md), 0);
  ASSERT_EQ(ar.solve(), 0);
  ASSERT_EQ(ar.modSts, 1);
  std::ifstream in(stem + ".bss");
  ASSERT_TRUE(in.good());
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) {
    while (!l.empty() && l.back() == ' ') l.pop_back();
    lines.push_back(l);
  }
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].rfind("NAME", 0), 0u);
  EXPECT_EQ(lines[1], " BC X");
  EXPECT_EQ(lines[2], " UC Y");
  EXPECT_EQ(lines[3], " BR R1");
  EXPECT_EQ(lines[4], "ENDATA");
  std::remove((stem + ".bss").c_str());
  rmdir(dir);
}

TEST(Solve, DegenerateCyclingExampleTerminates) {
  for (const char* pricing : {"Set PRICING 0", "Set PRICING 1", "Set PRICING 3", "Set PRICING 4"}) {
    Area ar;
    ASSERT_EQ(ar.clp("Set DualSimplex No Set Crash 3"), 0);
    ASSERT_EQ(ar.clp(pricing), 0);
    Model md = beale();
    ASSERT_EQ(ar.load(md), 0);
    EXPECT_EQ(ar.solve(), 0);
    EXPECT_EQ(ar.modSts, 1) << pricing;
    EXPECT_NEAR(ar.act(md.n), -1.25, 1e-12) << pricing;
    EXPECT_NEAR(ar.act(0), 1.0, 1e-12);
    EXPECT_NEAR(ar.act(2), 1.0, 1e-12);
  }
}

// A perturbation asked for with PERTURBA (fixed or pseudo-random size) is
// taken out again before the optimum is reported.
TEST(Solve, PerturbationLeavesNoTrace) {
  for (const char* size : {"Set PERTURBA 0.001", "Set PERTURBA -0.001"}) {
    Area ar;
    ASSERT_EQ(ar.clp("Set DualSimplex No Set Crash 3"), 0);
    ASSERT_EQ(ar.clp(size), 0);
    Model md = beale();
    ASSERT_EQ(ar.load(md), 0);
    EXPECT_EQ(ar.solve(), 0);
    EXPECT_EQ(ar.modSts, 1) << size;
    EXPECT_NEAR(ar.act(md.n), -1.25, 1e-12) << size;
    EXPECT_NEAR(ar.act(0), 1.0, 1e-12) << size;
    EXPECT_NEAR(ar.act(2), 1.0, 1e-12) << size;
    const lpfix::Residuals r = lpfix::checkSolution(ar, md);
    EXPECT_LT(r.primal, 1e-12) << size;
    EXPECT_LT(r.sign, 1e-12) << size;
  }
}

// Duals and reduced costs in the caller's sense: the change of the
// objective per unit of right-hand side, and c - A'y.
TEST(Solve, DualSignConventions) {
  struct Case {
    const char* what;
    bool maximize;
    std::vector<Model::Col> cols;
    std::vector<Model::Row> rows;
    double objective;
    std::vector<double> x, dual;  // columns then rows (objective row included)
  };
  const Case cases[] = {
      {"min, >= and <= rows", false,
       {{"X", 0, kInf, {{0, 2.0}, {1, 1.0}, {2, 1.0}}}, {"Y", 0, kInf, {{0, 3.0}, {1, 1.0}}}},
       {{"R1", 4, kInf}, {"R2", -kInf, 3}},
       9.0,
       {3, 1},
       {0, 0, -1, 3, -1}},
      {"max, <= rows", true,
       {{"X", 0, kInf, {{0, 2.0}, {1, 1.0}, {2, 1.0}}}, {"Y", 0, kInf, {{0, 3.0}, {1, 1.0}}}},
       {{"R1", -kInf, 4}, {"R2", -kInf, 3}},
       12.0,
       {0, 4},
       {-1, 0, 1, 3, 0}},
      {"min, column at its upper bound", false,
       {{"X", 0, 3, {{0, -2.0}, {1, 1.0}}}, {"Y", 0, kInf, {{0, -1.0}, {1, 1.0}}}},
       {{"R1", -kInf, 10}},
       -13.0,
       {3, 7},
       {-1, 0, -1, -1}},
      {"max, column at its upper bound", true,
       {{"X", 0, 3, {{0, 2.0}, {1, 1.0}}}, {"Y", 0, kInf, {{0, 1.0}, {1, 1.0}}}},
       {{"R1", -kInf, 10}},
       13.0,
       {3, 7},
       {1, 0, 1, 1}},
      {"max, >= row", true,
       {{"X", 0, kInf, {{0, -1.0}, {1, 1.0}}}, {"Y", 0, kInf, {{0, -2.0}, {1, 1.0}}}},
       {{"R1", 2, kInf}},
       -2.0,
       {2, 0},
       {0, -1, 1, -1}},
      {"min, mirrored column", false,
       {{"X", -5, -2, {{0, 1.0}, {1, 1.0}}}, {"Y", 0, kInf, {{0, 2.0}, {1, 1.0}}}},
       {{"R1", -4, kInf}},
       -4.0,
       {-4, 0},
       {0, 1, -1, 1}},
  };
  for (const Case& c : cases) {
    for (const char* dual : {"Set DualSimplex No", "Set DualSimplex Yes"}) {
      Area ar;
      ASSERT_EQ(ar.clp(dual), 0);
      Model md;
      md.maximize = c.maximize;
      md.cols = c.cols;
      md.rows = c.rows;
      ASSERT_EQ(ar.load(md), 0);
      ASSERT_EQ(ar.solve(), 0);
      ASSERT_EQ(ar.modSts, 1) << c.what;
      EXPECT_NEAR(ar.act(md.n), c.objective, 1e-9) << c.what;
      for (int32_t j = 0; j < md.n; ++j) EXPECT_NEAR(ar.act(j), c.x[static_cast<size_t>(j)], 1e-9) << c.what << " x" << j;
      for (int32_t i = 0; i < md.n + md.m; ++i)
        EXPECT_NEAR(ar.dual(i), c.dual[static_cast<size_t>(i)], 1e-9) << c.what << " item " << i;
      const lpfix::Residuals r = lpfix::checkSolution(ar, md);
      EXPECT_LT(r.dual, 1e-12) << c.what;
      EXPECT_LT(r.sign, 1e-12) << c.what;
    }
  }
}

TEST(Solve, SequenceRefusals) {
  Area ar;
  int16_t ms = 0, ss = 0;
  EXPECT_EQ(KZSOLV(ar.b(), &ms, &ss), 1);
  EXPECT_EQ(ms, 15);
  EXPECT_EQ(ss, 5);
  Model md = slackOptimal();
  ASSERT_EQ(ar.load(md), 0);
  EXPECT_EQ(KZSOLV(ar.b(), &ms, &ss), 0);
  EXPECT_EQ(ms, 1);
  // Solved: a second solve without a new load is refused.
  EXPECT_EQ(KZSOLV(ar.b(), &ms, &ss), 1);
  EXPECT_EQ(ms, 15);
  EXPECT_EQ(ss, 5);
}

TEST(Solve, SolveOnItsOwnThread) {
  Area ar;
  ASSERT_EQ(ar.clp("Set SIMSOLVE 1"), 0);
  Model md = twoPivots();
  ASSERT_EQ(ar.load(md), 0);
  int16_t ms = -1, ss = -1;
  ASSERT_EQ(KZSOLV(ar.b(), &ms, &ss), 0);
  // Word 11 of the block is the solve-state word: 4 running, 8 finished.
  volatile int32_t* state = &ar.b()->reserved9[2];
  EXPECT_TRUE((*state & (4 | 8)) != 0);
  for (int k = 0; k < 200000 && !(*state & 8); ++k) std::this_thread::sleep_for(std::chrono::microseconds(50));
  ASSERT_TRUE(*state & 8);
  EXPECT_EQ(*state & 4, 0);
  EXPECT_EQ(ms, 1);
  EXPECT_EQ(ss, 1);
  EXPECT_NEAR(ar.act(md.n), 2.8, 1e-12);
}

TEST(Solve, IterationLogFollowsFreqLog) {
  struct Case {
    const char* freq;
    bool lines;
  };
  for (const Case c : {Case{"Set FreqLog 1", true}, Case{"Set FreqLog 0", false}}) {
    Area ar;
    Capture cap(ar.b());
    ASSERT_EQ(ar.clp("Set DualSimplex No Set Crash 3"), 0);
    ASSERT_EQ(ar.clp(c.freq), 0);
    Model md = twoPivots();
    ASSERT_EQ(ar.load(md), 0);
    ASSERT_EQ(ar.solve(), 0);
    EXPECT_EQ(hasLine(cap, "itr: 2    Obj. "), c.lines) << c.freq << "\n" << linesOf(cap);
  }
}

TEST(Results, NamesRangesAndFailures) {
  Area ar;
  Model md = twoPivots();
  ASSERT_EQ(ar.load(md), 0);
  ASSERT_EQ(ar.solve(), 0);
  ASSERT_EQ(ar.modSts, 1);
  double v = 0.0;
  EXPECT_EQ(KZACTC(ar.b(), "X       ", &v, 8), 0);
  EXPECT_NEAR(v, 1.6, 1e-12);
  EXPECT_EQ(KZACT(ar.b(), -1, &v), 0);  // the item found last
  EXPECT_NEAR(v, 1.6, 1e-12);
  EXPECT_EQ(KZACTC(ar.b(), "X    ", &v, 5), 1);
  EXPECT_EQ(ar.b()->rc, 904);
  EXPECT_EQ(KZDUALC(ar.b(), "R1      ", &v, 8), 0);
  EXPECT_NEAR(v, 0.4, 1e-12);
  EXPECT_EQ(KZACT(ar.b(), 99, &v), 1);
  EXPECT_EQ(v, 0.0);
  EXPECT_EQ(KZACT(ar.b(), 0, nullptr), 1);
  EXPECT_EQ(ar.b()->rc, 903);
  // Index range mode: items 0 .. 4 in one call.
  ASSERT_EQ(ar.clp("Set IndexRange 0 4"), 0);
  double all[5] = {};
  EXPECT_EQ(KZACT(ar.b(), 0, all), 0);
  EXPECT_NEAR(all[0], 1.6, 1e-12);
  EXPECT_NEAR(all[1], 1.2, 1e-12);
  EXPECT_NEAR(all[2], 2.8, 1e-12);
  EXPECT_NEAR(all[3], 4.0, 1e-12);
  EXPECT_NEAR(all[4], 6.0, 1e-12);
  char names[5 * 8 + 1] = {};
  double lb[5], ub[5], obj[5];
  EXPECT_EQ(KZVAR(ar.b(), 0, names, 8, nullptr, nullptr, nullptr, obj, lb, ub, nullptr, nullptr), 0);
  EXPECT_EQ(std::string(names, 40), "X       Y       OBJ     R1      R2      ");
  EXPECT_EQ(obj[0], 1.0);
  EXPECT_EQ(obj[3], 0.0);
  EXPECT_EQ(lb[2], -1e23);
  EXPECT_EQ(ub[3], 4.0);
  EXPECT_EQ(lb[3], -1e23);
}

TEST(Results, StoreName) {
  char block[32];
  std::memset(block, '#', sizeof block);
  EXPECT_EQ(KZSTONAM(8, block, 2, "AB"), 0);
  EXPECT_EQ(std::string(block + 16, 8), "AB      ");
  EXPECT_EQ(block[15], '#');
  EXPECT_EQ(KZSTONAM(8, block, 0, "ABCDEFGHIJKL"), 0);
  EXPECT_EQ(std::string(block, 8), "ABCDEFGH");
  EXPECT_EQ(block[8], '#');
}

}  // namespace

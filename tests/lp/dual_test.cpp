// The dual simplex seen from inside: a dual-feasible start solved by the
// dual alone, the artificial box of a free column, the hand-over of an
// infeasible LP to the primal, the leaving-row choice of Set PRICING 1, the
// iteration limit, the re-solve from an old basis after bound changes, and
// the dual ratio test with bound flipping on random pivot rows, and the
// cutoff stop of a branch-and-bound node.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "frame/area.h"
#include "frame/platform.h"
#include "lp/basis.h"
#include "lp/dual.h"
#include "lp/status.h"
#include "model/seams.h"
#include "tests/lp/lp_fixture.h"

namespace {

using lpfix::Area;
using lpfix::kInf;
using lpfix::Model;

kz::ModelArea& areaOf(Area& ar) { return *kz::lookupArea(ar.b()->area); }

// Covering rows sum_j a_ij x_j >= b_i with positive costs: the slack basis
// is dual feasible and every row starts infeasible. Entries, costs and
// right-hand sides from a fixed pseudo-random sequence.
Model covering(int rows, int cols) {
  uint32_t seed = 12345;
  auto next = [&seed](int range) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % static_cast<uint32_t>(range));
  };
  Model md;
  for (int j = 0; j < cols; ++j) {
    Model::Col c{"C" + std::to_string(j), 0, kInf, {{0, 1.0 + next(9)}}};
    for (int i = 1; i <= rows; ++i)
      if (next(100) < 12 || (i - 1) % cols == j) c.e.push_back({i, 1.0 + next(5)});
    md.cols.push_back(c);
  }
  for (int i = 1; i <= rows; ++i) md.rows.push_back({"R" + std::to_string(i), 1.0 + next(10), kInf});
  return md;
}

// The covering model of 40 rows and 60 columns loaded into ar (md keeps its
// arrays) and solved to optimality with the given options.
void solveCovering(Area& ar, Model& md, const char* options) {
  ASSERT_EQ(ar.clp(options), 0);
  md = covering(40, 60);
  ASSERT_EQ(ar.load(md), 0);
  ASSERT_EQ(ar.solve(), 0);
  ASSERT_EQ(ar.modSts, 1);
}

// The working form with the slack basis, ready for a direct call.
void slackStart(kz::ModelArea& a) {
  ASSERT_TRUE(kz::prepareLp(a));
  kz::slackBasis(a);
  kz::LpState& L = *a.lp;
  L.clockBase = kz::plat::tickMs();
  L.iterations = 1;
  L.workTimeLimit = 2147483647;
  L.bigBox = a.opt.ubBound;
}

double internalObjective(const kz::LpState& L) {
  double z = 0.0;
  for (int32_t k = 1; k <= L.total; ++k) z += L.cost[static_cast<size_t>(k)] * L.x[static_cast<size_t>(k)];
  return z;
}

TEST(Dual, DualFeasibleSlackBasisNeedsNoPrimal) {
  Area ar;
  ASSERT_EQ(ar.clp("Mute Yes Set Crash 3"), 0);
  Model md;
  md.cols = {{"X", 0, 10, {{0, 1.0}, {1, 1.0}, {2, 1.0}}}, {"Y", 0, kInf, {{0, 2.0}, {1, 1.0}, {2, 3.0}}}};
  md.rows = {{"R1", 2, kInf}, {"R2", 3, kInf}};
  ASSERT_EQ(ar.load(md), 0);
  ASSERT_EQ(ar.solve(), 0);
  EXPECT_EQ(ar.modSts, 1);
  EXPECT_EQ(ar.solSts, 1);
  kz::LpState& L = kz::lpState(areaOf(ar));
  EXPECT_EQ(L.algorithm, 2);  // the primal never ran
  EXPECT_EQ(L.dualGiveUps, 0);
  EXPECT_NEAR(ar.act(md.n), 2.5, 1e-9);
  EXPECT_NEAR(ar.act(0), 1.5, 1e-9);
  EXPECT_NEAR(ar.act(1), 0.5, 1e-9);
  const lpfix::Residuals r = lpfix::checkSolution(ar, md);
  EXPECT_LT(r.primal, 1e-9);
  EXPECT_LT(r.sign, 1e-9);
}

TEST(Dual, FreeColumnPulledWithoutBoundIsUnbounded) {
  // min -X with X free: X - Y <= 1 lets X grow with Y.
  Model md;
  md.cols = {{"X", -kInf, kInf, {{0, -1.0}, {1, 1.0}}}, {"Y", 0, kInf, {{0, 0.0}, {1, -1.0}, {2, 1.0}}}};
  md.rows = {{"R1", -kInf, 1}, {"R2", 0, kInf}};
  {
    Area ar;
    ASSERT_EQ(ar.clp("Mute Yes"), 0);
    ASSERT_EQ(ar.load(md), 0);
    kz::ModelArea& a = areaOf(ar);
    slackStart(a);
    const double entryBox = a.lp->bigBox;
    ASSERT_EQ(entryBox, 16777216.0);
    EXPECT_EQ(kz::dualSimplex(a), 0);
    kz::LpState& L = *a.lp;
    EXPECT_EQ(L.lpStatus, kz::kLpUnbounded);
    EXPECT_EQ(L.unboundedVar, 1);
    const kz::DualWork& W = *L.dualWork;
    EXPECT_GE(W.boxRaises, 1);                 // the box was raised ...
    EXPECT_GE(W.boxUsed, 32.0 * 16777216.0);  // ... from 2^24
    EXPECT_EQ(L.bigBox, entryBox);             // and B is back at its entry value
    // No artificial bound is left behind.
    EXPECT_GE(L.upper[1], 1e299);
    EXPECT_LE(L.lower[1], -1e299);
  }
  {
    Area ar;
    ASSERT_EQ(ar.clp("Mute Yes"), 0);
    ASSERT_EQ(ar.load(md), 0);
    ASSERT_EQ(ar.solve(), 0);
    EXPECT_EQ(ar.modSts, 3);
    EXPECT_EQ(ar.solSts, 1);
    EXPECT_EQ(kz::lpState(areaOf(ar)).lpStatus, kz::kLpUnbounded);
  }
}

TEST(Dual, InfeasibleLpGoesToThePrimal) {
  Area ar;
  ASSERT_EQ(ar.clp("Mute Yes Set DualSimplex Yes"), 0);
  Model md;
  md.cols = {{"X", 0, kInf, {{0, 1.0}, {1, 1.0}, {2, 1.0}}}, {"Y", 0, kInf, {{0, 1.0}, {1, 1.0}, {2, 2.0}}}};
  md.rows = {{"R1", -kInf, 1}, {"R2", 3, kInf}};
  ASSERT_EQ(ar.load(md), 0);
  ASSERT_EQ(ar.solve(), 0);
  kz::LpState& L = kz::lpState(areaOf(ar));
  EXPECT_EQ(L.dualGiveUps, 1);  // the dual handed over once (LP status 128)
  EXPECT_EQ(L.algorithm, 1);    // and the primal ended the solve
  EXPECT_EQ(L.lpStatus, kz::kLpInfeasible);
  EXPECT_EQ(ar.modSts, 4);
  EXPECT_EQ(ar.solSts, 1);
}

TEST(Dual, PricingOneTakesTheLargestInfeasibility) {
  for (const int pricing : {1, 3}) {
    Area ar;
    ASSERT_EQ(ar.clp(("Mute Yes Set PRICING " + std::to_string(pricing)).c_str()), 0);
    Model md = covering(16, 20);
    ASSERT_EQ(ar.load(md), 0);
    kz::ModelArea& a = areaOf(ar);
    slackStart(a);
    kz::LpState& L = *a.lp;
    ASSERT_EQ(kz::factorizeBasis(a), 0);
    kz::DualWork& W = kz::dualWork(L);
    kz::buildInfeasibilities(L, W);
    kz::DualRun R;
    R.w = &W;
    R.switchCount = kz::dualSwitchCount(a);
    // The largest infeasibility, and a weight on it that makes another row
    // score higher once weights count.
    int32_t largest = 0;
    for (int32_t p = 1; p <= L.ma; ++p)
      if (W.infeas[static_cast<size_t>(p)] > (largest ? W.infeas[static_cast<size_t>(largest)] : 0.0)) largest = p;
    ASSERT_GT(largest, 0);
    R.weightsOn = true;
    for (int32_t p = 1; p <= L.ma; ++p) L.weight[static_cast<size_t>(L.head[static_cast<size_t>(p)])] = 1.0;
    L.weight[static_cast<size_t>(L.head[static_cast<size_t>(largest)])] = 1e6;
    const int32_t chosen = kz::dualChooseRow(a, R);
    EXPECT_EQ(R.count, 16);
    if (pricing == 1) {
      EXPECT_EQ(R.switchCount, L.ma + 1);
      EXPECT_EQ(chosen, largest);
    } else {
      EXPECT_EQ(R.switchCount, 5);  // floor(sqrt(16)) + 1
      EXPECT_NE(chosen, largest);
    }
    // The solve goes on to the optimum either way.
    EXPECT_EQ(kz::dualSimplex(a), 0);
    EXPECT_EQ(L.lpStatus, kz::kLpOptimal);
  }
}

TEST(Dual, IterationLimitStopsTheDual) {
  Area ar;
  ASSERT_EQ(ar.clp("Mute Yes Set Crash 3 Set Iterations 3"), 0);
  Model md = covering(16, 20);
  ASSERT_EQ(ar.load(md), 0);
  ASSERT_EQ(ar.solve(), 0);
  kz::LpState& L = kz::lpState(areaOf(ar));
  EXPECT_EQ(L.algorithm, 2);
  EXPECT_EQ(L.lpStatus, kz::kLpLimit);
  EXPECT_EQ(ar.solSts, 2);
  EXPECT_EQ(ar.modSts, 6);  // stopped with rows still infeasible
}

TEST(Dual, ResolveAfterBoundChangesStartsFromTheOldBasis) {
  Area ar;
  Model md;
  ASSERT_NO_FATAL_FAILURE(solveCovering(ar, md, "Mute Yes Set Crash 3"));
  kz::ModelArea& a = areaOf(ar);
  kz::LpState& L = *a.lp;
  // Tighten the upper bounds of a few basic columns below their values.
  std::vector<std::pair<int32_t, double>> tightened;
  for (int32_t p = 1; p <= L.ma && tightened.size() < 4; ++p) {
    const int32_t k = L.head[static_cast<size_t>(p)];
    if (k > L.n || L.x[static_cast<size_t>(k)] <= 1e-6) continue;
    tightened.push_back({k, 0.5 * L.x[static_cast<size_t>(k)]});
  }
  ASSERT_GE(tightened.size(), 2u);
  auto applyBounds = [&] {
    for (auto [k, u] : tightened) L.upper[static_cast<size_t>(k)] = u;
  };
  applyBounds();
  L.clockBase = kz::plat::tickMs();
  EXPECT_EQ(kz::dualSimplex(a), 0);
  ASSERT_EQ(L.lpStatus, kz::kLpOptimal);
  const int32_t again = L.dualWork->iterations;
  const double zAgain = internalObjective(L);
  for (auto [k, u] : tightened) EXPECT_LE(L.x[static_cast<size_t>(k)], u + 1e-9);

  // The same bounds from the slack basis.
  slackStart(a);
  applyBounds();
  EXPECT_EQ(kz::dualSimplex(a), 0);
  ASSERT_EQ(L.lpStatus, kz::kLpOptimal);
  const int32_t scratch = L.dualWork->iterations;
  EXPECT_NEAR(internalObjective(L), zAgain, 1e-7 * (1.0 + std::fabs(zAgain)));
  EXPECT_GT(scratch, 20);
  EXPECT_LT(3 * again, scratch) << "re-solve " << again << " from scratch " << scratch;
}

// The dual ratio test on random pivot rows over the nonbasic columns of a
// slack basis: degenerate and tiny reduced costs, some on the wrong side
// within the tolerance, boxed and one-sided columns at either bound. After
// the step that the choice implies (flips applied, reduced costs moved by
// d_q / alpha_q, a wrong-side d_q taken as zero), every candidate and the
// leaving variable must stay dual feasible within twice the tolerance, and
// the flips must leave the row infeasible.
TEST(Dual, RatioTestKeepsEveryReducedCostFeasibleAfterTheLongStep) {
  Area ar;
  ASSERT_EQ(ar.clp("Mute Yes"), 0);
  Model md = covering(20, 60);
  ASSERT_EQ(ar.load(md), 0);
  kz::ModelArea& a = areaOf(ar);
  slackStart(a);
  kz::LpState& L = *a.lp;
  kz::ModelStore& s = a.store;
  kz::DualWork& W = kz::dualWork(L);
  const double tolD = L.tolDual;
  uint32_t seed = 987654321u;
  auto uniform = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) / 16777216.0;
  };
  int chosen = 0, withFlips = 0;
  for (int trial = 0; trial < 2000; ++trial) {
    kz::DualRun R;
    R.w = &W;
    kz::clearPivotRow(L);
    for (int32_t j = 1; j <= L.n; ++j) {
      const size_t u = static_cast<size_t>(j);
      const double shape = uniform();
      L.lower[u] = 0.0;
      L.upper[u] = shape < 0.15 ? kInf : 0.1 + 4.0 * uniform();
      const bool up = L.upper[u] < kInf && uniform() < 0.5;
      if (up)
        s.kind[j] |= kz::kKindAtUpper;
      else
        s.kind[j] &= ~kz::kKindAtUpper;
      L.x[u] = up ? L.upper[u] : 0.0;
      const double kindOfD = uniform();
      double mag = kindOfD < 0.15 ? 0.0 : kindOfD < 0.4 ? 1e-6 * uniform() : kindOfD < 0.6 ? -tolD * uniform() : uniform();
      L.d[u] = up ? -mag : mag;
      const double av = uniform() < 0.2 ? 0.0 : (uniform() < 0.3 ? 1e-3 : 1.0) * (0.1 + 10.0 * uniform());
      if (av != 0.0) {
        L.prow[u] = uniform() < 0.5 ? -av : av;
        L.prowIdx[static_cast<size_t>(L.prowN++)] = j;
      }
    }
    const int dir = uniform() < 0.5 ? 1 : -1;
    const double spread = uniform();
    const double delta = 0.5 + 400.0 * spread * spread;
    const kz::DualChoice ch = kz::dualRatioTest(a, R, dir, delta);
    if (ch.q == 0) continue;
    ++chosen;
    if (ch.flips > 0) ++withFlips;
    std::vector<char> flipped(static_cast<size_t>(L.total) + 1, 0);
    double drop = 0.0;
    for (int32_t t = 0; t < ch.flips; ++t) {
      const int32_t j = W.flips[static_cast<size_t>(t)];
      flipped[static_cast<size_t>(j)] = 1;
      drop += std::fabs(L.prow[static_cast<size_t>(j)]) * (L.upper[static_cast<size_t>(j)] - L.lower[static_cast<size_t>(j)]);
    }
    EXPECT_GT(delta - drop, 0.0) << "trial " << trial;
    EXPECT_NEAR(ch.delta, delta - drop, 1e-9 * delta) << "trial " << trial;
    const double alpha = L.prow[static_cast<size_t>(ch.q)];
    double dq = L.d[static_cast<size_t>(ch.q)];
    if (dir * dq / alpha > 0.0 && std::fabs(dq) <= 10.0 * tolD) dq = 0.0;
    const double thetaD = dq / alpha;
    EXPECT_GE(dir > 0 ? -thetaD : thetaD, -2.0 * tolD) << "leaving reduced cost, trial " << trial;
    for (int32_t t = 0; t < L.prowN; ++t) {
      const int32_t j = L.prowIdx[static_cast<size_t>(t)];
      if (j == ch.q) continue;
      const size_t u = static_cast<size_t>(j);
      const double after = L.d[u] - thetaD * L.prow[u];
      const bool up = ((s.kind[j] & kz::kKindAtUpper) != 0) != (flipped[u] != 0);
      const double infeasibility = up ? after : -after;
      EXPECT_LE(infeasibility, 2.0 * tolD)
          << "trial " << trial << " column " << j << (flipped[u] ? " flipped" : "") << " d " << L.d[u] << " alpha "
          << L.prow[u] << " entering alpha " << alpha << " d_q " << dq;
    }
  }
  kz::clearPivotRow(L);
  EXPECT_GT(chosen, 1000);
  EXPECT_GT(withFlips, 200);
}

// Inside branch and bound the dual stops as soon as its objective passes the
// incumbent cutoff (kept in the sense of -sum cost x): a node whose bound is
// worse than the incumbent ends with LP status 64 before reaching its
// optimum; with a cutoff the node's optimum does not pass it solves to the end.
TEST(Dual, NodeWorseThanTheCutoffIsFathomed) {
  Area ar;
  Model md;
  ASSERT_NO_FATAL_FAILURE(solveCovering(ar, md, "Mute Yes"));
  kz::ModelArea& a = areaOf(ar);
  kz::LpState& L = *a.lp;
  slackStart(a);
  ASSERT_EQ(kz::dualSimplex(a), 0);
  ASSERT_EQ(L.lpStatus, kz::kLpOptimal);
  const double z = internalObjective(L);
  const int32_t full = L.dualWork->iterations;
  ASSERT_GT(z, 0.0);
  ASSERT_GT(full, 20);

  struct Case {
    double incumbent;  // objective of the incumbent, as a multiple of the node's optimum
    int16_t status;
  };
  for (const Case c : {Case{0.8, kz::kLpCutoff}, Case{1.2, kz::kLpOptimal}}) {
    slackStart(a);
    L.insideBranch = true;
    L.cutoff = -c.incumbent * z;
    EXPECT_EQ(kz::dualSimplex(a), 0);
    L.insideBranch = false;
    L.cutoff = -1e200;
    EXPECT_EQ(L.lpStatus, c.status) << "incumbent " << c.incumbent;
    const double reached = internalObjective(L);
    if (c.status == kz::kLpCutoff) {
      EXPECT_LT(L.dualWork->iterations, full);
      EXPECT_GT(reached, c.incumbent * z - 1e-6) << "fathomed before the bound passed the cutoff";
      EXPECT_LT(reached, z + 1e-6);
    } else {
      EXPECT_NEAR(reached, z, 1e-7 * (1.0 + z));
    }
  }
}

}  // namespace

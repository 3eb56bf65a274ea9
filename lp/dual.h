// The dual simplex: a dual-feasible start with artificial boxes, the
// leaving row by the largest infeasibility (weighted once many rows are
// infeasible), the pivot row from one Btran, the two-pass dual ratio test
// with bound flipping, the reference-framework weight update, stall
// handling, and the optimality and infeasibility checks that end a call or
// hand the basis back to the primal simplex.
#pragma once
#include <cstdint>
#include <vector>

#include "frame/area.h"
#include "lp/basis.h"

namespace kz {

// DualSimplex: 0 when it ended with a final status the driver can use, 1
// when it gave up. The LP status is left in the LP state.
int16_t dualSimplex(ModelArea& a);

// ---- the parts, shared by the dual files and the tests ----

// Work arrays of the dual simplex, sized once per working form.
struct DualWork {
  std::vector<double> infeas;     // by basis position: infeasibility of the basic value, 0 feasible
  std::vector<int32_t> cand;      // ratio-test candidates (variables)
  std::vector<double> candRatio;  // |d_j| / |alpha_rj|
  std::vector<double> candBound;  // (|d_j| + dual tolerance) / |alpha_rj|
  std::vector<double> candAlpha;  // |alpha_rj|
  std::vector<double> candRange;  // upper - lower, or infinity
  std::vector<int32_t> order;     // candidates by ratio
  std::vector<uint8_t> gone;      // flipped candidates
  std::vector<int32_t> flips;     // variables flipped by the long step
  std::vector<double> vec;        // scratch by LU row / position
  std::vector<int32_t> vecIdx;
  std::vector<int32_t> boxed;     // variables given an artificial box in this call
  std::vector<double> savedCost;  // cost shifts: the perturbation and the repairs of small dual infeasibilities
  size_t np = 0, mp = 0;
  // Statistics of the last call.
  int32_t iterations = 0, flipCount = 0, boxRaises = 0, refactors = 0;
  double boxUsed = 0.0;           // the largest B of the call
};

// The state of one dual call that its parts share.
struct DualRun {
  DualWork* w = nullptr;
  int32_t switchCount = 1;        // dual pricing switch count
  bool weightsOn = false;         // weights in use and kept up to date
  bool resetDue = false;
  int32_t count = 0;              // infeasible rows at the last pricing
  double sum = 0.0;
  double maxInf = 0.0;            // the largest of them
  int32_t flipCounter = -10;
  int32_t feasFlip = 40;
  double sumInfAccept = 0.0;
  double objective = 0.0;         // sum cost x of the current point
  bool perturbed = false;         // costs shifted (by W.savedCost); the true costs come back at the end
  bool wantPerturb = false;
  int32_t rejected = 0;           // rows carrying a rejection mark
};

// The dual pricing switch count: floor(sqrt(active rows)) + 1, or with
// Set PRICING 1 the number of rows + 1 (weights never count).
int32_t dualSwitchCount(const ModelArea& a);
// The work arrays of the area's LP state, sized for its working form.
DualWork& dualWork(LpState& L);
// The infeasibility of the basic variable at position p (0 when feasible
// within the primal tolerance or free).
double basicInfeasibility(const LpState& L, int32_t p);
// Rebuilds the infeasibility of every basis position.
void buildInfeasibilities(LpState& L, DualWork& W);
// Leaving row: the basis position with the largest score, 0 when the point
// is primal feasible. Sets the count and sum of the infeasibilities. The
// weights are kept up to date only while the count exceeds the switch
// count; each time it passes the switch count from below they are reset.
int32_t dualChooseRow(ModelArea& a, DualRun& R);
// Resets the dual weights: 1.0, the basic variables form the framework.
void resetDualWeights(ModelArea& a, DualRun& R);
// The pivot row of position r into L.prow / L.prowIdx (nonbasic entries),
// with rho = e_r B^-1 in L.rho / L.rhoIdx.
void dualPivotRow(ModelArea& a, int32_t r);
// Clears the pivot row and rho.
void clearPivotRow(LpState& L);

// The result of the dual ratio test.
struct DualChoice {
  int32_t q = 0;                  // entering variable, 0 none
  double alpha = 0.0;             // alpha_rq of the pivot row
  int32_t flips = 0;              // variables flipped (in W.flips)
  double delta = 0.0;             // infeasibility left after the flips
  bool free = false;
};
// The two-pass dual ratio test with bound flipping over the pivot row, for
// the leaving row's direction (+1 leaves at lower, -1 at upper) and
// infeasibility delta.
DualChoice dualRatioTest(ModelArea& a, DualRun& R, int dir, double delta);
// The reference-framework weight update of a pivot (before the basis
// change): position r, entering q, pivot alpha, the transformed entering
// column in L.col.
void updateDualWeights(ModelArea& a, DualRun& R, int32_t r, int32_t q, double alpha);

}  // namespace kz

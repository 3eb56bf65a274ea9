// The bounded primal simplex: composite phase 1, partial pricing with the
// candidate list or full Devex pricing, the two-pass ratio test with bound
// flipping, degeneracy counters with bound perturbation, the cycle ring,
// rejected pivots and the tolerance ladder before optimality or
// infeasibility.
#pragma once
#include <cstdint>

#include "frame/area.h"
#include "lp/basis.h"

namespace kz {

// PrimalSimplex: leaves the LP status in the LP state and returns it.
int16_t primalSimplex(ModelArea& a);

// ---- the parts, shared by the primal files ----

// The state of one primal call that its parts share.
struct PrimalRun {
  bool phase1 = false;
  bool devex = true;            // Set PRICING 3 or 4
  bool fullPricing = true;      // reduced costs maintained, full Devex pricing
  int32_t flipCounter = -10;
  int32_t feasFlip = 40;
  int32_t checks = 0;           // termination checks of this call
  bool devexResetDue = false;
  int32_t lastEntered = 0;
  int32_t lastFlipped = 0;
  int32_t rejectedCount = 0;
  bool tightened = false;       // the phase-1 tightening was tried
  bool infeasRescue = false;    // the infeasible-handling rescue was tried
  bool dualLowered = false;
  bool cycleSeen = false;
  bool artificialBounds = false;
  double sumInfAccept = 0.0;    // SUMINFEA
  double sumDualAccept = 0.0;   // SUMDUALI
  double savedPrimal = 0.0, savedDual = 0.0, savedRej = 0.0, savedMarkowitz = 0.0;
  int32_t savedRefine = 0;
  double correction = 0.0;      // clamping corrections of the ratio test since the last count
  double maxViolation = 0.0;
  bool freshFactor = false;
  int32_t infeasibleRows = 0;
};

// Whether variable k takes no part in pricing (basic, fixed, rejected,
// removed, held or carrying an exclusion mark).
bool excludedFromPricing(const ModelStore& s, const LpState& L, int32_t k);
// The oriented reduced cost of nonbasic k: negative when entering it
// improves.
double orientedCost(const ModelStore& s, const LpState& L, int32_t k);

// Costs of the current phase (phase 1: -1 / +1 on the infeasible basics).
void setPhaseCosts(ModelArea& a, PrimalRun& P);
// Counts the primal infeasibilities of the basic variables; marks them.
int32_t countInfeasibilities(ModelArea& a, PrimalRun& P, double tol);
// y := Btran of the basic costs; with full pricing every reduced cost.
void computePrices(ModelArea& a, PrimalRun& P);
// Full Devex pricing: the entering variable, 0 when none.
int32_t priceDevex(ModelArea& a, PrimalRun& P);
// PriceCandidates: fills the candidate list; false when empty.
bool priceCandidates(ModelArea& a, PrimalRun& P);
// Resets the Devex reference framework (primal form).
void resetDevex(ModelArea& a, PrimalRun& P);

// The result of PrimalRatioTest.
struct RatioResult {
  int32_t position = 0;   // leaving basis position, 0 none
  double theta = 0.0;     // step of the entering variable
  bool flip = false;      // bound flip of the entering variable
  bool unbounded = false; // no row blocks and no bound
  bool toUpper = false;   // the leaving variable leaves at its upper bound
  double pivot = 0.0;
  int32_t breakpoints = 0;
};
// PrimalRatioTest for entering q moving in direction dir (+1 up, -1 down);
// the transformed column is in L.col.
RatioResult primalRatioTest(ModelArea& a, PrimalRun& P, int32_t q, int dir);

// The basis change after a pivot: values, pivot row, weights, reduced
// costs, multipliers, header and factors.
void primalBasisChange(ModelArea& a, PrimalRun& P, int32_t q, int dir, const RatioResult& rr);
// A bound flip of the entering variable: values only.
void primalBoundFlip(ModelArea& a, PrimalRun& P, int32_t q, int dir);

// The solving thread's pseudo-random generator (seeded by KZSOLV).
void seedRandom(uint32_t seed);
int32_t drawRandom();

// Bound perturbation against stalling, and its removal.
void perturbBounds(ModelArea& a);
void removePerturbation(ModelArea& a);

}  // namespace kz

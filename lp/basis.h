// The LP engine's state of a model area and the basis layer on the LU
// kernel: the basis header, the basic flags in the kind words, the active
// rows, FactorizeBasis with its basis-list rebuild and singular repair, the
// basic values, and the Ftran / Btran / UpdateFactor wrappers.
//
// Conventions of the simplex working form (the internal form of a load):
//   - every variable k = 1..N except the objective row's logical takes part;
//     its bounds are lower[k] (0, or -inf for a free variable) and upper[k]
//     (the working upper bound, +inf when the kind word has no finite one);
//   - the basis matrix B is the active constraint rows (LU rows 1..ma, in
//     row-list order) by the basis positions 1..ma; position 0 of the basis
//     header holds the objective row's logical;
//   - the simplex minimises sum cost[k] x[k] with cost = c (minimising) or
//     -c (maximising), the scaled objective entries; y solves y B = c_B and
//     d[k] = cost[k] - y . a_k.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "frame/area.h"
#include "lp/lu.h"

namespace kz {

struct DualWork;

// LP status values.
constexpr int16_t kLpOptimal = 0;
constexpr int16_t kLpUserStop = 2;
constexpr int16_t kLpLimit = 4;
constexpr int16_t kLpNodeCap = 5;
constexpr int16_t kLpUnbounded = 8;
constexpr int16_t kLpInfeasible = 16;
constexpr int16_t kLpNoMemory = 32;
constexpr int16_t kLpCutoff = 64;
constexpr int16_t kLpHandOver = 128;
constexpr int16_t kLpNotSolved = 256;

// Run-flag bits of the solve.
constexpr uint32_t kRunStop = 0x10000;
constexpr uint32_t kRunLoadInfeasible = 0x80000;
constexpr uint32_t kRunForceConflict = 0x800000;
constexpr uint32_t kRunNoSummaryBb = 0x100000;
constexpr uint32_t kRunLpSolved = 0x1000000;
constexpr uint32_t kRunResolve = 0x2000000;
constexpr uint32_t kRunQuiet = 0x40000;
constexpr uint32_t kRunCpxCall = 0x200000;
constexpr uint32_t kRunInsideSolve = 0x400;
constexpr uint32_t kRunDeferredLoad = 0x100;

// Solve-state word bits (control-block word 11).
constexpr int32_t kSolveInline = 1;
constexpr int32_t kSolveRefused = 2;
constexpr int32_t kSolveThread = 4;
constexpr int32_t kSolveFinished = 8;
constexpr int32_t kSolveNoThread = 0x20;

// Flag words used by the simplex (kind word bits of the store, plus the
// LP's own second flag word).
constexpr uint32_t kKindRejected = 0x1;
constexpr uint32_t kKindListed = 0x800;
constexpr uint32_t kKindMarkedEntry = 0x4000;
constexpr uint8_t kLpArtificialBound = 0x1;
constexpr uint8_t kLpCountedInfeasible = 0x2;
constexpr uint8_t kLpDegenerate = 0x4;
constexpr uint8_t kLpFramework = 0x8;

// Progress callback of KZRT1: called with the progress record.
using ProgressCallback = void (*)(void* record);

// The progress record layout (byte offsets).
struct ProgressRecord {
  unsigned char bytes[152];
};

// The compact active matrix the LU kernel reads a basis column from.
class ActiveColumns final : public lu::LuColumns {
 public:
  const int32_t* start = nullptr;
  const int32_t* row = nullptr;
  const double* val = nullptr;
  const int32_t* head = nullptr;
  int32_t column(int32_t p, const int32_t*& rows, const double*& vals) const override {
    const int32_t k = head[p];
    const int32_t b = start[k];
    rows = row + b;
    vals = val + b;
    return start[k + 1] - b;
  }
};

struct LpState {
  // ---- dimensions ----
  int32_t n = 0, m = 0, total = 0, obj = 0;
  int32_t ma = 0;                       // active constraint rows
  std::vector<int32_t> luRow;           // store row r (0..m-1) -> LU row, 0 inactive or objective
  std::vector<int32_t> rowOfLu;         // LU row -> store row
  std::vector<int32_t> vars;            // the active variables that take part in pricing

  // ---- the compact active matrix, by variable (LU rows) and by LU row ----
  std::vector<int32_t> cStart, cRow;
  std::vector<double> cVal;
  std::vector<int32_t> rStart, rCol;
  std::vector<double> rVal;
  std::vector<double> objCoef;          // scaled objective entry of each variable (logicals 0)
  std::vector<double> rhs;              // by LU row

  // ---- working bounds and values ----
  std::vector<double> lower, upper;
  std::vector<double> x;                // value of every variable (basic ones included)
  std::vector<double> cost;             // costs of the current phase
  std::vector<uint8_t> flag;            // kLp* bits
  std::vector<int32_t> head;            // basis position -> variable (0..ma)
  std::vector<int32_t> posOf;           // variable -> basis position, 0 when nonbasic

  // ---- prices ----
  std::vector<double> y;                // by LU row
  std::vector<double> d;                // by variable
  std::vector<double> weight;           // Devex
  bool dValid = false;                  // reduced costs maintained
  bool yValid = false;

  // ---- work vectors ----
  std::vector<double> col;              // Ftran result by position
  std::vector<int32_t> colIdx;
  int32_t colN = 0;
  std::vector<double> rho;              // Btran of a unit vector, by LU row
  std::vector<int32_t> rhoIdx;
  int32_t rhoN = 0;
  std::vector<double> prow;             // pivot row by variable
  std::vector<int32_t> prowIdx;
  int32_t prowN = 0;
  std::vector<double> tmp;              // scratch by LU row / position
  std::vector<int32_t> ratioPos;        // ratio-test candidates
  std::vector<double> ratioDist, ratioMove;
  std::vector<uint8_t> ratioUpper;
  std::vector<int32_t> breakOrder;      // phase-1 breakpoints of one ratio test
  std::vector<double> tmp2;

  // ---- candidates, cycle ring ----
  std::vector<int32_t> cand;
  std::vector<double> candScore;
  int32_t candN = 0, candLimit = 0, pricedMax = 5, priceIncrement = 1, cursor = 0;
  static constexpr int kRing = 257;
  int32_t ringLeave[kRing] = {}, ringEnter[kRing] = {};
  int32_t ringCount = 0, ringAt = 0;

  // ---- factorization ----
  lu::LuFactor lu;
  std::vector<double> luVal;
  std::vector<int32_t> luIdx;
  ActiveColumns columns;
  int32_t factorizations = 0;           // in this solve
  int32_t lastFactorIteration = 0;
  int32_t forcedFactorIteration = 0;
  int32_t reinvert = 200;               // effective ReInvert
  bool refactor = true;                 // refactorization needed
  bool rebuildList = true;              // basis-list rebuild
  bool firstFactor = true;
  double suggestedLu[2] = {0.0, 0.0};

  // ---- tolerances of the current call ----
  double tolPrimal = 1e-8, tolDual = 1e-7, tolPivot = 1e-10, tolEntry = 1.8e-13, rejPivot = 1e-6;
  int32_t refine = 0;

  // ---- solve state ----
  int32_t iterations = 1;
  int32_t phase1Count = 0;
  double sumInf = 0.0;
  double sumDualInf = 0.0;
  int32_t unboundedVar = -1;            // combined index, -1 none
  int32_t unboundedCaller = -1;
  int32_t algorithm = 0;                // 1 primal, 2 dual
  int16_t lpStatus = kLpNotSolved;
  int16_t modSts = 15, solSts = 5;
  uint32_t runFlags = 0;
  uint64_t clockBase = 0;               // tick at the start of the LP phase
  int32_t workTimeLimit = 2147483647;
  int32_t solveCounter = 1;
  bool insideBranch = false;
  int32_t raceWinner = 0;
  int32_t dualGiveUps = 0;
  // Branch and bound's objective bounds, in the maximising sense of the
  // internal objective (-sum cost x): the incumbent cutoff and the
  // LimitSearch bound; -1e200 when not set (reset by every solve).
  double cutoff = -1e200;
  double limitBound = -1e200;
  int32_t nodeLps = 0;                  // node LPs of the search so far
  uint64_t nodeCapTick = 0;             // tick of the node time cap, 0 none
  double bigBox = 16777216.0;           // B of the dual's artificial boxes (Set UBBOUND)
  std::shared_ptr<DualWork> dualWork;   // the dual simplex's work arrays
  bool objectiveRowFree = true;
  double objValue = 0.0;                // internal objective (minimisation form, scaled)
  bool logDue = false;
  uint64_t nextLogTick = 0;
  int32_t degenerate = 0, stall = 0, degenLevel = 0;
  // Reset countdown of the reference framework, shared by the primal's
  // Devex and the dual's weights.
  int32_t weightCountdown = 1024;
  // Scaled tolerances: when on, the dual tolerance of variable k is
  // tolDual * dualTolMul[k] (1 / its scale factor when that exceeds 1).
  bool scaledTols = false;
  bool largeScale = false;              // some scale factor exceeds 1
  std::vector<double> dualTolMul;
  int32_t degenLimit = 500;
  bool perturbed = false;
  std::vector<double> savedLower, savedUpper;  // bounds before the perturbation

  // ---- results of the final solution pass (caller terms, 1..N) ----
  std::vector<double> act, dual;
  bool solutionValid = false;
  bool interiorSolution = false;

  // ---- asynchronous solve ----
  int16_t* callerModSts = nullptr;
  int16_t* callerSolSts = nullptr;
  std::atomic<bool> threadRunning{false};

  // ---- progress callback (KZRT1) ----
  ProgressCallback progress = nullptr;
  unsigned char* progressRecord = nullptr;
  uint64_t progressDue = 0;
};

// The area's LP state, created on first use.
LpState& lpState(ModelArea& a);
LpState* lpStateIf(const ModelArea& a);

// Sets up the simplex working form from the internal form of the store:
// active rows, compact matrix, bounds, costs and work vectors. false when
// memory is short.
bool prepareLp(ModelArea& a);

// FactorizeBasis: 0 success, 1 failure (return code 412 left in the area).
int16_t factorizeBasis(ModelArea& a);
// RepairSingularBasis after a singular factorization: the unpivoted
// positions get the logicals of the unpivoted rows. Returns the number of
// positions changed.
int32_t repairSingularBasis(ModelArea& a);
// RecomputeBasicValues: x_B = B^-1 (b - N x_N).
void recomputeBasicValues(ModelArea& a);
// Ftran: with j >= 1 the column of variable j (the vector is cleared first),
// with j = 0 the vector (by LU row) itself. The result is by basis position;
// the column is kept as the candidate eta of the next update.
void ftran(ModelArea& a, int32_t j, double* v, int refine);
// Btran: v by basis position on entry, y by LU row on exit.
void btran(ModelArea& a, double* v, int refine);
// The row r of B^-1: L.rho := e_r B^-1 (by LU row), its nonzeros in
// L.rhoIdx[0 .. L.rhoN). L.rho must be clear on entry.
void btranUnit(ModelArea& a, int32_t r);
// The pivot row of basis position r from rho (Btran of e_r, by LU row):
// alpha_rj for the nonbasic variables, in L.prow with its nonzeros listed in
// L.prowIdx; entries of magnitude at most 2^-52 are left out. Row by row
// from the row-wise copy, or one dot product per nonbasic column when rho
// is dense enough that the rows would cost more than the columns.
int32_t pivotRow(ModelArea& a);
// The basic values after a step along the transformed column in L.col:
// x_B -= step * col; values below Set TRANENTR in magnitude become 0.
void stepBasicValues(LpState& L, double step);
// Whether the factors must be computed afresh before the next iteration.
inline bool factorizationDue(const LpState& L) {
  return L.refactor || !L.lu.valid() || L.lu.updatesSinceFactor() >= L.reinvert ||
         L.iterations >= L.forcedFactorIteration;
}
// UpdateFactor: appends the candidate eta with pivot at position r and
// sets the refactorization flag when the kernel asks for it.
void updateFactor(ModelArea& a, int32_t r);

// Rebuilds the basis header from the basic flags of the kind words (the
// objective row's logical at position 0), putting the logicals of the
// uncovered rows in. Basic columns beyond ma positions lose their flag.
void rebuildBasisList(ModelArea& a);
// The slack basis: every active-row logical basic, every column nonbasic.
void slackBasis(ModelArea& a);

// Whether the variable is nonbasic and at its upper bound.
inline bool atUpper(const ModelStore& s, int32_t k) { return (s.kind[k] & kKindAtUpper) != 0; }
inline bool isBasic(const ModelStore& s, int32_t k) { return (s.kind[k] & kKindBasic) != 0; }
// Makes variable k basic at position p / nonbasic at the given bound.
void makeBasic(ModelArea& a, int32_t k, int32_t p);
void makeNonbasic(ModelArea& a, int32_t k, bool atUpperBound);

// The dual tolerance of variable k (scaled tolerances read its factor).
inline double dualTolOf(const LpState& L, int32_t k) {
  return L.scaledTols ? L.tolDual * L.dualTolMul[static_cast<size_t>(k)] : L.tolDual;
}

// Dot product of variable k's active column with a vector by LU row.
inline double columnDot(const LpState& L, int32_t k, const double* v) {
  double s = 0.0;
  for (int32_t p = L.cStart[k]; p < L.cStart[k + 1]; ++p) s += L.cVal[p] * v[L.cRow[p]];
  return s;
}

}  // namespace kz

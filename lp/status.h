// The solve driver's status codes, limits, iteration log, banners and
// advice lines, and the hand-over points to parts built later.
#pragma once
#include <cstdint>

#include "frame/area.h"
#include "lp/basis.h"

namespace kz {

// MapLpStatus: LP status -> ModSts / SolSts.
void mapLpStatus(ModelArea& a);
// The pure mapping, for the table: returns false when the LP status leaves
// both codes as they were.
bool mapLpStatusCodes(int16_t lpStatus, int32_t phase1Count, int32_t iterations, int32_t iterationLimit,
                      int16_t* modSts, int16_t* solSts);

// Seconds since the LP clock base, minus one, never below 0.
int32_t elapsedSeconds(const ModelArea& a);
// Polls the stop request: a posted key 26 (KZMSGINPUT) with POLLING on
// sets the stop bit. Returns whether the stop bit is set.
bool pollStop(ModelArea& a);

// WriteIterationLog (mode 3 periodic simplex line; 4, 5 flush; 6 barrier).
void writeIterationLog(ModelArea& a, int mode);
// The progress callback of the simplex (KZRT1): fills the record and calls
// it when one is registered and due. Returns true when its stop word asks
// to stop.
bool simplexProgress(ModelArea& a, int32_t entering, int32_t leaving, double enteringCost);
// Progress events of the driver (0 start, 9 end).
void driverProgressEvent(ModelArea& a, int event);

// The objective value in the caller's sense and terms.
double callerObjective(const ModelArea& a);

// The closing summary, the infeasibility hints and the LU memory advice.
void printSummary(ModelArea& a);
void printInfeasibilityHints(ModelArea& a);
void printLuMemoryAdvice(ModelArea& a);

// ---- parts built later: each does nothing yet ----
// Interior point; result code (0: did not run).
int32_t interiorPointSeam(ModelArea& a);
// Postsolve: true when the restored model needs another solve.
bool postsolveSeam(ModelArea& a, int* algorithm);
// Infeasibility analysis: true when it printed its own report.
bool conflictAnalysisSeam(ModelArea& a);
// Branch and bound after the root LP.
void branchAndBoundSeam(ModelArea& a);
// Solution reports of the Solution option.
void solutionReportsSeam(ModelArea& a);
// MultiSolver race start and stop.
void raceStartSeam(ModelArea& a);
void raceStopSeam(ModelArea& a);
// The incumbent check of ValMIPIncumbent T: 0 lets the LP driver run.
int incumbentCheckSeam(ModelArea& a);
// The simplex hook (KZRT3) at the optimal end.
void simplexHookSeam(ModelArea& a);
// The deferred load of run-flag 0x100: 0 success.
int deferredLoadSeam(ModelArea& a);

}  // namespace kz

// The solve driver: KZSOLV's worker, the model-level sequence and the LP
// driver.
#pragma once
#include <cstdint>

#include "frame/area.h"
#include "lp/basis.h"

namespace kz {

// SolveWorker: one solve of the area; results in the area (and, for a
// solve on its own thread, in the caller's status variables).
void solveWorker(ModelArea& a);
// RunModelSolve: the model-level sequence. 0 success, 1 failure.
int16_t runModelSolve(ModelArea& a);
// SolveLp: the LP driver; leaves the LP status.
void solveLp(ModelArea& a);
// The final solution pass: reduced costs, activities in the caller's
// terms, the objective value.
void finalSolutionPass(ModelArea& a);
// Running solve threads of the process (shared by every area).
int32_t runningSolveThreads();

}  // namespace kz

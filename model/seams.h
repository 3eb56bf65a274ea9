// Points where the load hands over to structures that later parts of the
// library own. Each does nothing yet (or the least that keeps the load
// sound) and is replaced when its owner is built; the load calls them in
// the order a load needs them.
#pragma once
#include <cstdint>

#include "frame/area.h"
#include "frame/linebuf.h"

namespace kz {

// ---- the solve driver ----
// Zero the iteration count and the branch-and-bound state of the last solve.
void clearSolveCounters(ModelArea& a);
// Clear the result records of the previous solve; no unbounded item.
void clearSolveResults(ModelArea& a);
// Copy the limit and integer-search options into their working fields.
void copyWorkingSettings(ModelArea& a);
// Set up the simplex working arrays; false when memory is short.
bool setupSimplexArrays(ModelArea& a);
// Allocate the remaining LP working storage; false when memory is short.
bool allocateLpStorage(ModelArea& a);
// The LP engine's last step of a load.
void finishLpLoad(ModelArea& a);
// Whether row item i is active in the current solve (row activation).
bool rowActiveInSolve(const ModelArea& a, int32_t i);

// ---- branch and bound ----
// Allocate the branch-and-bound header; false when memory is short.
bool allocateBranchHeader(ModelArea& a);
// Appends the strategy part of the statistics block ("  STRATEGY ...").
void appendStrategyText(ModelArea& a, LineBuffer& lb);

// ---- parallel solving ----
// Whether this load is a reload by a parallel-solve list (keeps the master's memory).
bool parallelListReload(const ModelArea& a);
// The memory check of parallel solving (may print the low-memory lines).
void checkParallelMemory(ModelArea& a);
// Concurrent solvers configured (statistics block).
int32_t concurrentSolvers(const ModelArea& a);

// ---- the triplet loader ----
// Whether the area holds a triplet-loaded model (name style 2).
bool tripletMode(const ModelArea& a);
// The triplet store's name blocks (style 2); false when there are none.
bool tripletNameBlocks(const ModelArea& a, const char** colBlock, const char** rowBlock);

// ---- listings and writers ----
// The equation and column listings of MatList (before the logicals exist).
void printModelListing(ModelArea& a);
// TORCC: the model as a triplet file.
void writeTripletFile(ModelArea& a);

// ---- interior point ----
// Hand the loaded model to the interior-point set-up; false when memory is short.
bool interiorPointSetup(ModelArea& a);

}  // namespace kz

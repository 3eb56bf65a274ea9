// The hand-over points of the load while their owners are not built: each
// does nothing and reports success.
#include "model/seams.h"

namespace kz {

// The solve driver's points are in lp/solve_driver.cpp.

bool allocateBranchHeader(ModelArea&) { return true; }
void appendStrategyText(ModelArea&, LineBuffer&) {}

bool parallelListReload(const ModelArea&) { return false; }
void checkParallelMemory(ModelArea&) {}
int32_t concurrentSolvers(const ModelArea&) { return 0; }

bool tripletMode(const ModelArea&) { return false; }
bool tripletNameBlocks(const ModelArea&, const char**, const char**) { return false; }

void printModelListing(ModelArea&) {}
void writeTripletFile(ModelArea&) {}

bool interiorPointSetup(ModelArea&) { return true; }

}  // namespace kz

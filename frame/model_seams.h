// Points where the frame hands over to the model store and the solvers.
#pragma once
#include "frame/area.h"

namespace kz {

// Forgets the loaded model (KZINIT, Set Reset).
void resetModelStore(ModelArea& a);
// Releases the model store's and the solver's storage (KZDONE).
void releaseModelStorage(ModelArea& a);
// Ends the current printed page if a listing is open on a printer or file.
void endOpenPage(ModelArea& a);
// The process-wide processor count chosen by KZSETPROCESSORS or KZINIT.
int32_t processorCount();

}  // namespace kz

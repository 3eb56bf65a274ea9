// The starting basis of a solve.
#pragma once
#include <cstdint>

#include "frame/area.h"
#include "lp/basis.h"

namespace kz {

// CrashBasis: keeps a supplied basis, else builds one by Set Crash, and
// factorizes it. 0 success, 1 failure.
int16_t crashBasis(ModelArea& a);
// PivotFreeColumns: moves the nonbasic free columns into the basis. 0
// success, 1 failure.
int16_t pivotFreeColumns(ModelArea& a);

}  // namespace kz

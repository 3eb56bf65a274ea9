// The internal form of a loaded model, on which the simplex methods work:
// every column with a finite lower bound runs from 0 (the lower bound is
// shifted out, columns with |upper| < |lower| are mirrored first), every
// constraint row reads activity +/- logical = right-hand side with its
// logical in [0, range], the active rows and variables form prefixes of
// their lists, and unbounded variables carry a placeholder upper bound.
//
// After AnalyzeModel, for a column j of the store s:
//   kind bit 0x2 set: lo[j] is the shifted-out lower bound l (kept for the
//     reports) and the simplex variable runs over [0, up[j]];
//   otherwise the simplex variable runs over [lo[j], up[j]] (lo[j] = 0, or
//     a free column);
//   kind bit 0x400000: the stored column is -x.
// For a row item i: rhs[i] is the right-hand side, up[i] the logical's
// range (kind 0x4 when finite), lo[i] 0 (-1e200 for a free row), the
// logical's coefficient (+1 or -1) the first entry of its column;
// rowShift[i] the sum of a * l over the shifted columns, in the caller's
// terms.
#pragma once
#include <cstdint>

#include "frame/area.h"

namespace kz {

// AnalyzeModel: result 0, or 1 when work memory is short (the load reports 306).
int analyzeModel(ModelArea& a);
// Moves the entries of removed rows behind the active entries of every
// column, and those of removed columns behind the active entries of every
// row, recording the active ends.
void compactLists(ModelArea& a);

// Builds the row-wise copy of the matrix (rows 0 .. m - 1, each followed by
// its own logical); false when work memory is short.
bool buildRowCopy(ModelArea& a);

// ---- the presolve's places in AnalyzeModel ----
// The working presolve mask of this load. The presolve is not part of the
// library yet, so the mask is 0.
uint32_t choosePresolveMask(const ModelArea& a);
// The reductions between the preparation and the internal form. With a
// zero mask only the steps every mask runs: the presolve stack, the
// load-time bound checks (Conflict off) and the semi-continuous columns'
// working lower bound 0. Result 0, or 1 when work memory is short.
int presolveReductions(ModelArea& a);
// The objective granularity of integer models (a presolve step; nothing yet).
void objectiveGranularity(ModelArea& a);

// ---- reading the internal form back in the caller's terms ----
// Bounds of column j as the caller gave them (integer and SIGBITS changes
// included), from the working form: unscaled, unshifted, unmirrored.
void callerColumnBounds(const ModelArea& a, int32_t j, double* lower, double* upper);
// Bounds of row item i as the caller gave them, from rhs, range and logical.
void callerRowBounds(const ModelArea& a, int32_t i, double* lower, double* upper);
// A simplex value of column j in the caller's terms.
double callerColumnValue(const ModelArea& a, int32_t j, double x);
// A row activity of the internal form (scaled, shifted) in the caller's terms.
double callerRowActivity(const ModelArea& a, int32_t i, double activity);

}  // namespace kz

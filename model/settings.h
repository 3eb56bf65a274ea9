// The settings the model store, the loaders, the internal form and the
// scaling read, each behind one small accessor. The option language owns
// the values (frame/options.h).
#pragma once
#include <cstdint>
#include <cstring>

#include "frame/area.h"

namespace kz {

// ---- model store and loading ----

// Set COPYDATA: the load copies the matrix into work memory.
inline bool copyData(const ModelArea& a) { return a.opt.copyData != 0; }
// Set KZUNDO: undo support; with it a loaded area refuses a new load.
inline bool kzUndo(const ModelArea& a) { return a.opt.undo != 0; }
// Set KZOK: the full model check runs before every load.
inline bool kzOk(const ModelArea& a) { return a.opt.kzok != 0; }
// SIGBITS: truncation of non-integral values, 1..10; 0 and below = off.
inline int sigBits(const ModelArea& a) { return a.opt.sigBits; }
// Set IBOUNDS: upper bound of an integer column given none.
inline double iBounds(const ModelArea& a) { return a.opt.iBounds; }
// Set RNLEN / Set CNLEN: row and column name lengths.
inline int rowNameLen(const ModelArea& a) { return a.opt.rowNameLen; }
inline int columnNameLen(const ModelArea& a) { return a.opt.colNameLen; }
// Set HashLength: hash slots per name of capacity (below 1 reads as 3).
inline int hashLength(const ModelArea& a) { return a.opt.hashLength < 1 ? 3 : a.opt.hashLength; }
// Set CASESENS: names compared case-sensitively.
inline bool caseSensitive(const ModelArea& a) { return a.opt.caseSensitive != 0; }
// Set NULLTERM: a NUL ends a name (blank-padded from there).
inline bool nullTerminated(const ModelArea& a) { return a.opt.nullTerm != 0; }
// Set LBCOLUMN / UBCOLUMN / LBROW / UBROW: default bounds of the readers.
inline double lbColumn(const ModelArea& a) { return a.opt.lbColumn; }
inline double ubColumn(const ModelArea& a) { return a.opt.ubColumn; }
inline double lbRow(const ModelArea& a) { return a.opt.lbRow; }
inline double ubRow(const ModelArea& a) { return a.opt.ubRow; }
// Set Columns / Set Rows: capacities of the readers (Rows stored + 3).
inline int32_t maxColumns(const ModelArea& a) { return a.opt.maxColumns; }
inline int32_t maxRows(const ModelArea& a) { return a.opt.maxRows; }
// Basis: the basis-file text ("NEVER", "NONE", "*", or a file name).
inline const char* basisFileText(const ModelArea& a) { return a.opt.basisFile; }
// Maximize: the model sense.
inline bool maximizing(const ModelArea& a) { return a.opt.maximize != 0; }
// Set Relaxed (also written Set Relax): integer markings ignored.
inline bool relaxed(const ModelArea& a) { return a.opt.relaxed != 0; }
// Set Barrier: 0 No, 1 Yes, 2 X.
inline int barrierSwitch(const ModelArea& a) { return a.opt.barrier; }
// Set Tolerance Primal (XTOZERO).
inline double primalTolerance(const ModelArea& a) { return a.opt.xToZero; }
// Set TRANENTR: 2 * eps^(5/6).
inline double tranEntry(const ModelArea& a) { return a.opt.tranEntry; }
// Set BVPRIORI: priority given to binary columns without one.
inline int16_t bvPriority(const ModelArea& a) { return a.opt.bvPriority; }
// Set UBBOUND: placeholder upper bound of unbounded variables.
inline double ubBound(const ModelArea& a) { return a.opt.ubBound; }
// Set MPSXCOMP.
inline bool mpsxCompatible(const ModelArea& a) { return a.opt.mpsxCompatible != 0; }
// DEACTIVA: the row-name mask of the row deactivation ("" = blank).
inline const char* deactivateMask(const ModelArea& a) { return a.opt.deactivate; }
// MatList: bit 2 equations, bit 4 columns.
inline int matList(const ModelArea& a) { return a.opt.matList; }
// TORCC (0, 1, 2) and TOMPS (0, 1).
inline int toRcc(const ModelArea& a) { return a.opt.toRcc; }
inline int toMps(const ModelArea& a) { return a.opt.toMps; }
// Set ReInvert, SET DEGENITE, Set MaxNodes, Set NodeLimit.
inline int32_t reinvertSetting(const ModelArea& a) { return a.opt.reinvert; }
inline int32_t degenerateLimit(const ModelArea& a) { return a.opt.degenIter; }
inline int32_t maxNodes(const ModelArea& a) { return a.opt.maxNodes; }
inline int32_t nodeLimit(const ModelArea& a) { return a.opt.nodeLimit; }
// Set QPDIAGFA: factor of the diagonal quadratic terms.
inline double qpDiagFactor(const ModelArea& a) { return a.opt.qpDiag; }
// The basis memory of Basis +n / Basis .name: slots "1".."n", the slots
// created by name, and the current one ("" blank: none chosen).
inline int32_t basisSlotCount(const ModelArea& a) { return a.opt.basisCount; }
inline int basisNamedSlots(const ModelArea& a) { return a.opt.basisNameCount; }
inline const char* basisNamedSlot(const ModelArea& a, int k) { return a.opt.basisNames[k]; }
inline const char* basisCurrentSlot(const ModelArea& a) { return a.opt.basisCurrent; }
// LUMEMORY: the two factors saved with a basis-memory slot.
inline const double* luMemoryFactors(const ModelArea& a) { return a.opt.luFactor; }
inline void setLuMemoryFactors(ModelArea& a, const double f[2]) {
  a.opt.luFactor[0] = f[0];
  a.opt.luFactor[1] = f[1];
}
// Set Debug (the trace flag of the frame).
inline bool debugOn(const ModelArea& a) { return a.trace != 0; }
// SOLUTION and MPSXSOLU reports.
inline bool solutionReport(const ModelArea& a) { return a.opt.solution != 0; }
inline bool mpsxSolution(const ModelArea& a) { return a.opt.mpsxSolution != 0; }
// FILENAME: the problem name ("" when none was named).
inline const char* problemName(const ModelArea& a) { return a.opt.fileName; }
// Set MaxCpu.
inline int32_t maxCpu(const ModelArea& a) { return a.opt.maxCpu; }
// Counted-string name mode (Set PASCAL or Set EXTENDIN).
inline bool countedNames(const ModelArea& a) { return a.opt.pascal != 0 || a.opt.extending != 0; }
// Safe-array name mode (Set SAFEARRA).
inline bool safeArrayNames(const ModelArea& a) { return a.opt.safeArrays != 0; }
// Presolve masks: Presolve (LP) and MPRESOLV (MIP).
inline uint32_t lpPresolveMask(const ModelArea& a) { return static_cast<uint32_t>(a.opt.presolve); }
inline uint32_t mipPresolveMask(const ModelArea& a) { return static_cast<uint32_t>(a.opt.mPresolve); }
// Conflict: 0 off.
inline int conflictMode(const ModelArea& a) { return a.opt.conflict; }

// ---- scaling ----

// Set Scale: 0 off, 1 (Yes) to 5 the method.
inline int scaleMethod(const ModelArea& a) { return a.opt.scale; }
// The Set Scale flag (value ending in O): the objective row is scaled too.
inline bool scaleObjective(const ModelArea& a) { return a.opt.scaleFlag != 0; }

// Whether a Basis text names no file ("NEVER" or blank).
inline bool basisTextIsNever(const char* t) {
  while (*t == ' ') ++t;
  if (*t == '\0') return true;
  return std::strncmp(t, "NEVER", 5) == 0 && (t[5] == '\0' || t[5] == ' ');
}

}  // namespace kz

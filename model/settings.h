// The settings the model store, the loaders, the internal form and the
// scaling read, each behind one small accessor. The option language owns
// the values; an accessor whose field the option table does not hold yet
// returns the documented default and says so.
#pragma once
#include <cstdint>
#include <cstring>

#include "frame/area.h"

namespace kz {

// ---- model store and loading ----

// Set COPYDATA: the load copies the matrix into work memory.
inline bool copyData(const ModelArea&) { return false; }  // option field pending
// Set KZUNDO: undo support; with it a loaded area refuses a new load.
inline bool kzUndo(const ModelArea&) { return true; }  // option field pending
// Set KZOK: the full model check runs before every load.
inline bool kzOk(const ModelArea&) { return false; }  // option field pending
// SIGBITS: truncation of non-integral values, 1..10; 0 and below = off.
inline int sigBits(const ModelArea&) { return -1; }  // option field pending
// Set IBOUNDS: upper bound of an integer column given none.
inline double iBounds(const ModelArea&) { return 1.0; }  // option field pending
// Set RNLEN / Set CNLEN: row and column name lengths.
inline int rowNameLen(const ModelArea&) { return 8; }     // option field pending
inline int columnNameLen(const ModelArea&) { return 8; }  // option field pending
// Set HashLength: hash slots per name of capacity (below 1 reads as 3).
inline int hashLength(const ModelArea&) { return 3; }  // option field pending
// Set CASESENS: names compared case-sensitively.
inline bool caseSensitive(const ModelArea&) { return false; }  // option field pending
// Set NULLTERM: a NUL ends a name (blank-padded from there).
inline bool nullTerminated(const ModelArea&) { return true; }  // option field pending
// Set LBCOLUMN / UBCOLUMN / LBROW / UBROW: default bounds of the readers.
inline double lbColumn(const ModelArea&) { return 0.0; }  // option field pending
inline double ubColumn(const ModelArea&) { return 1e23; }  // option field pending
inline double lbRow(const ModelArea&) { return -1e23; }    // option field pending
inline double ubRow(const ModelArea&) { return 1e23; }     // option field pending
// Set Columns / Set Rows: capacities of the readers (Rows stored + 3).
inline int32_t maxColumns(const ModelArea&) { return 2000000000; }  // option field pending
inline int32_t maxRows(const ModelArea&) { return 2000000003; }     // option field pending
// Basis: the basis-file text ("NEVER", "NONE", "*", or a file name).
inline const char* basisFileText(const ModelArea& a) { return a.opt.basisFile; }
// Maximize: the model sense.
inline bool maximizing(const ModelArea&) { return false; }  // option field pending
// Set Relaxed (also written Set Relax): integer markings ignored.
inline bool relaxed(const ModelArea&) { return false; }  // option field pending
// Set Barrier: 0 No, 1 Yes, 2 X.
inline int barrierSwitch(const ModelArea&) { return 0; }  // option field pending
// Set Tolerance Primal (XTOZERO).
inline double primalTolerance(const ModelArea&) { return 1e-8; }  // option field pending
// Set TRANENTR: 2 * eps^(5/6).
inline double tranEntry(const ModelArea&) { return 1.8189894035458617e-13; }  // option field pending
// Set BVPRIORI: priority given to binary columns without one.
inline int16_t bvPriority(const ModelArea&) { return 16000; }  // option field pending
// Set UBBOUND: placeholder upper bound of unbounded variables.
inline double ubBound(const ModelArea&) { return 16777216.0; }  // option field pending
// Set MPSXCOMP.
inline bool mpsxCompatible(const ModelArea&) { return false; }  // option field pending
// DEACTIVA: the row-name mask of the row deactivation ("" = blank).
inline const char* deactivateMask(const ModelArea&) { return ""; }  // option field pending
// MatList: bit 2 equations, bit 4 columns.
inline int matList(const ModelArea&) { return 0; }  // option field pending
// TORCC (0, 1, 2) and TOMPS (0, 1).
inline int toRcc(const ModelArea&) { return 0; }  // option field pending
inline int toMps(const ModelArea&) { return 0; }  // option field pending
// Set ReInvert, SET DEGENITE, Set MaxNodes, Set NodeLimit.
inline int32_t reinvertSetting(const ModelArea&) { return 200; }  // option field pending
inline int32_t degenerateLimit(const ModelArea&) { return 0; }    // option field pending
inline int32_t maxNodes(const ModelArea&) { return 0; }           // option field pending
inline int32_t nodeLimit(const ModelArea&) { return 2147483647; }  // option field pending
// Set QPDIAGFA: factor of the diagonal quadratic terms.
inline double qpDiagFactor(const ModelArea&) { return 1.0; }  // option field pending
// Set Debug (the trace flag of the frame).
inline bool debugOn(const ModelArea& a) { return a.trace != 0; }
// SOLUTION and MPSXSOLU reports.
inline bool solutionReport(const ModelArea&) { return true; }  // option field pending
inline bool mpsxSolution(const ModelArea&) { return false; }   // option field pending
// FILENAME: the problem name ("" when none was named).
inline const char* problemName(const ModelArea&) { return ""; }  // option field pending
// Set MaxCpu.
inline int32_t maxCpu(const ModelArea&) { return 1; }  // option field pending
// Counted-string name mode (Set PASCAL or Set EXTENDIN).
inline bool countedNames(const ModelArea&) { return false; }  // option field pending
// Safe-array name mode (Set SAFEARRA).
inline bool safeArrayNames(const ModelArea&) { return false; }  // option field pending
// Presolve masks: Presolve (LP) and MPRESOLV (MIP).
inline uint32_t lpPresolveMask(const ModelArea&) { return 0x2fdf; }   // option field pending
inline uint32_t mipPresolveMask(const ModelArea&) { return 0x37ff; }  // option field pending
// Conflict: 0 off.
inline int conflictMode(const ModelArea&) { return 0; }  // option field pending

// ---- scaling ----

// Set Scale: 0 off, 1 (Yes) to 5 the method.
inline int scaleMethod(const ModelArea&) { return 1; }  // option field pending
// The Set Scale flag (value ending in O): the objective row is scaled too.
inline bool scaleObjective(const ModelArea&) { return false; }  // option field pending

// Whether a Basis text names no file ("NEVER" or blank).
inline bool basisTextIsNever(const char* t) {
  while (*t == ' ') ++t;
  if (*t == '\0') return true;
  return std::strncmp(t, "NEVER", 5) == 0 && (t[5] == '\0' || t[5] == ' ');
}

}  // namespace kz

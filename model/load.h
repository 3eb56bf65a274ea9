// Array loading: KZLOAD and KZLOADQP without their entry frames, the
// reload entry of the solve driver, the checks of the caller's arrays and
// the start-information files.
#pragma once
#include <cstdint>

#include "frame/area.h"

namespace kz {

// The arguments of KZLOAD (and the quadratic terms of KZLOADQP).
struct LoadArgs {
  int32_t row = 0;      // m, rows including the objective row
  int32_t column = 0;   // n
  double* a = nullptr;
  int32_t* rownos = nullptr;
  int32_t* colptr = nullptr;
  double* bndmin = nullptr;
  double* bndmax = nullptr;
  int32_t* status = nullptr;
  void* names = nullptr;  // name style 0: N pointers; 1: one block
  int32_t qpTerms = 0;
  int32_t* qpCol1 = nullptr;
  int32_t* qpCol2 = nullptr;
  double* qpCoef = nullptr;
};

// KZLOAD's work (steps after the entry frame). Sets the internal return
// code and the function value; returns the function value.
int16_t loadClassic(ModelArea& a, const LoadArgs& g);
// KZLOADQP's work.
int16_t loadQuadratic(ModelArea& a, const LoadArgs& g);
// The reload entry of the solve driver: loads the arrays of the last load
// again with the reload bit of the method set. Returns 1 when that fails.
int16_t reloadModel(ModelArea& a);

// ---- checks of the caller's arrays ----

// The cheap linear scan every load makes before it reads the matrix:
// colptr must start at the index base and not decrease (312), row numbers
// must lie below m (314; negative ones are skipped), coefficients must be
// finite and at most 1e23 in magnitude (318), bounds must be numbers (304
// columns, 305 rows). Also refuses dimensions whose sums overflow (302,
// 312). Returns 0 or the first code found.
int32_t scanLoadArrays(const ModelArea& a, const LoadArgs& g);
// The model check run by Set KZOK and after a failed status conversion:
// every item checked, the last code found returned (0: none).
int32_t runModelCheck(ModelArea& a, const LoadArgs& g);

// ---- start-information files ----

// Reads the basis file named by the Basis option into the start marks (or,
// for an interior-point model, the starting point). True when any record
// was read.
bool readBasisFile(ModelArea& a, bool interior);
// Writes the basis file after a solve. values: item values for an
// interior-point model (1-based, N + 1), else null. Returns false (and
// writes warning 20050) when the file cannot be written.
bool writeBasisFile(ModelArea& a, const double* values);
// Reads the integer file (extension b01) at load.
bool readIntegerFile(ModelArea& a);
// Writes the integer file after a solve; values: column values in the
// caller's terms (1-based, n + 1).
bool writeIntegerFile(ModelArea& a, const double* values);

// Prints the statistics block of a load.
void printLoadStatistics(ModelArea& a);

}  // namespace kz

// The MPS reader behind KZMPSQP, KZMPSI and KZMPSF, and the MPS writer of
// TOMPS.
//
// The reader fills the caller's arrays of the classic load (a, rownos,
// colptr, bndmin, bndmax, status, one name block of name style 1) and,
// for QUADOBJ, the three term arrays; the caller loads them with KZLOAD or
// KZLOADQP. While reading, row r lives at position maxcol + r of the
// per-item arrays and of the name block; at the end the rows are moved to
// follow the n columns.
#pragma once
#include <cstdint>

#include "frame/area.h"

namespace kz {

// Return codes of the reader.
constexpr int kMpsTooManyRows = 301;
constexpr int kMpsTooManyColumns = 302;
constexpr int kMpsNoMemory = 306;
constexpr int kMpsTooManyNonzeros = 307;
constexpr int kMpsBadLine = 330;
constexpr int kMpsNoFile = 400;
constexpr int kMpsIncomplete = 402;
constexpr int kMpsSosTwice = 403;
constexpr int kMpsRowType = 404;
constexpr int kMpsNotNumber = 406;
constexpr int kMpsBoundType = 408;
constexpr int kMpsSplitColumn = 410;
constexpr int kMpsDuplicateEntry = 412;
constexpr int kMpsTooManyQuadratic = 440;
constexpr int kMpsSosType = 499;
// Warnings.
constexpr int kMpsWarnRangeFree = 20001;
constexpr int kMpsWarnUnknownRow = 20030;
constexpr int kMpsWarnUnknownColumn = 20045;
constexpr int kMpsWarnDuplicateRow = 20080;
constexpr int kMpsWarnMarker = 20090;
constexpr int kMpsWarnNoEndata = 20100;
constexpr int kMpsWarnWrite = 20700;

enum class MpsFormat : uint8_t { kFree, kFixed };

// One read: the file, the format, which optional sections are known, and
// the caller's arrays with their capacities.
struct MpsRequest {
  const char* fileName = nullptr;
  bool dollarEnds = false;   // a '$' ends the file name (Fortran callers, KZMPSF)
  MpsFormat format = MpsFormat::kFree;
  bool objsense = true;      // OBJSENSE after NAME
  bool quadratic = true;     // QUADOBJ
  bool sos = true;           // SOS
  int32_t* row = nullptr;
  int32_t* column = nullptr;
  int32_t* nonzero = nullptr;
  double* a = nullptr;
  int32_t* rownos = nullptr;
  int32_t* colptr = nullptr;
  double* bndmin = nullptr;
  double* bndmax = nullptr;
  int32_t* status = nullptr;
  char* names = nullptr;     // null: a block of the reader's own
  int32_t* noqp = nullptr;
  int32_t* qpCol1 = nullptr;
  int32_t* qpCol2 = nullptr;
  double* qpCoef = nullptr;
  int32_t maxqp = 0;
  int32_t maxrow = 0;
  int32_t maxcol = 0;
  int32_t maxnon = 0;
};

// What a read found besides the arrays.
struct MpsSummary {
  char title[59] = {};       // the NAME line's text ("UNNAME" without one)
  int32_t rows = 0;          // m, the objective included
  int32_t columns = 0;
  int32_t nonzeros = 0;
  int32_t qpTerms = 0;       // terms counted (stored: at most maxqp)
  int32_t firstError = 0;
  int32_t rowTable = 0;      // hash table sizes used
  int32_t columnTable = 0;
};

// The argument checks of KZMPSQP (fixedEntry false) or KZMPSF (true), in
// their order: 0, or 902 .. 920 without the index base.
int32_t mpsArgumentCode(const MpsRequest& r, bool fixedEntry);

// Reads the file into the request's arrays after the argument checks have
// passed; the area must be in state 2..99 (not checked here). Sets the
// internal return code (2 on success) and returns the function value.
// summary may be null.
int16_t readMpsFile(ModelArea& a, const MpsRequest& r, MpsSummary* summary);

// The MPS writer of TOMPS: writes the loaded model of the area's store (the
// caller's bounds as loaded, the classes from the kind words, the quadratic
// terms) to path, or, when path is null, to the problem name (FILENAME)
// with the extension "mps". Returns 0, or 1 after warning 20700.
int writeMpsFile(ModelArea& a, const char* path);

}  // namespace kz

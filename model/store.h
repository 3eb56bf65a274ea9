// The model store: one loaded optimisation model of a model area.
//
// One index space covers columns and rows, the combined index:
//   1 .. n          column j
//   n + 1           the objective row (caller row 0)
//   n + 1 + r       constraint row r, r = 1 .. m - 1
// Every per-item array (working bounds, kind words, auxiliary flags, scale
// factors, right-hand sides) has N + 1 elements, N = n + m, element 0 unused.
//
// The matrix stays in the caller's column-major arrays (a, rownos, colptr)
// unless Set COPYDATA Yes asked for copies. Positions in a and rownos are
// 0-based here: column i (1 .. N once the logicals are appended) occupies
// positions colBegin(s, i) .. colEnd(s, i) - 1; colptr values keep the
// caller's index base and the accessors subtract it. Row numbers in rownos
// are caller rows (0 = objective, negative = entry to be skipped); the
// combined index of row r is n + 1 + r.
//
// The struct is plain: the loaders fill it, the solvers read and change it.
// Arrays live in the area's work pool; only the basis memory uses the heap.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kz {

// ---- magnitudes ----
constexpr double kInfTest = 9.99e22;           // |bound| >= this: infinite
constexpr double kInfOut = 1.0e23;             // written for an infinite bound
constexpr double kInternalInf = 1e200;         // the objective row's working bounds
constexpr double kHugeIntegerBound = 9007199254740000.0;  // integer upper bound taken as none
constexpr int16_t kNoPriority = 16000;
constexpr int32_t kAreaBytes = 68560;          // memory accounting starts at the area's size

inline bool lowerInfinite(double l) { return l <= -kInfTest; }
inline bool upperInfinite(double u) { return u >= kInfTest; }

// ---- status word (caller-owned, one per combined index) ----
constexpr uint32_t kStatusBasic = 0x1;          // start basis: basic
constexpr uint32_t kStatusAtUpper = 0x2;        // start basis: nonbasic at upper
constexpr uint32_t kStatusInteger = 0x4;        // integer column
constexpr uint32_t kStatusSemi1 = 0x8;          // semi-continuous type I
constexpr uint32_t kStatusSemi2 = 0x10;         // semi-continuous type II
constexpr uint32_t kStatusIncFromLower = 0x20;  // increments counted from the lower bound
constexpr uint32_t kStatusMark40 = 0x40;        // carried into kind 0x80000 ("!")
constexpr uint32_t kStatusStartAtOne = 0x80;    // binary column starts at 1
constexpr uint32_t kStatusMark100 = 0x100;      // carried into kind 0x800000
constexpr uint32_t kStatusMark400 = 0x400;      // carried into kind 0x100000 ("~")
constexpr uint32_t kStatusBigM = 0x2000;        // big-M column
constexpr uint32_t kStatusMark8000 = 0x8000;    // carried into kind 0x10000000
constexpr uint32_t kStatusPiecewise = 0x80000;  // piecewise-linear row
constexpr uint32_t kStatusConvex = 0x100000;    // convex row
constexpr uint32_t kStatusMark400000 = 0x400000;  // carried into auxiliary column 0x4000000
constexpr uint32_t kStatusDeactivate = 0x1000000; // row scheduled for deactivation at load
constexpr uint32_t kStatusIntFileY = 0x2000000;   // integer file "Y?" mark
constexpr uint32_t kStatusIntFileZ = 0x4000000;   // integer file "Z?" mark
constexpr uint32_t kStatusStartMarks = kStatusBasic | kStatusAtUpper | kStatusStartAtOne;
constexpr uint32_t kStatusRowInvalid = kStatusInteger | kStatusSemi1 | kStatusSemi2 | kStatusStartAtOne;

// ---- kind word (store-owned, one per combined index) ----
constexpr uint32_t kKindLower = 0x2;          // column: lower bound not 0 (shift applies); row: lower side finite
constexpr uint32_t kKindUpper = 0x4;          // upper bound (row: upper side) finite
constexpr uint32_t kKindRemoved = 0x8;        // taken out of the model (presolve, integer search)
constexpr uint32_t kKindInteger = 0x10;       // column: general integer; row: logical +1 without lower side
constexpr uint32_t kKindLogicalMinus = 0x20;  // row: logical with coefficient -1
constexpr uint32_t kKindBinary = 0x40;        // column: binary; row: equality
constexpr uint32_t kKindFree = 0x80;          // both bounds infinite
constexpr uint32_t kKindFixed = 0x100;        // upper - lower below the primal tolerance
constexpr uint32_t kKindHeld = 0x200;         // held at a value (MPSXCOMP free columns)
constexpr uint32_t kKindAtUpper = 0x1000;     // start basis / basis: nonbasic at upper
constexpr uint32_t kKindSemi = 0x8000;        // semi-continuous
constexpr uint32_t kKindSemi2 = 0x10000;      // semi-continuous type II (with kKindSemi)
constexpr uint32_t kKindBasic = 0x20000;      // start basis / basis: basic
constexpr uint32_t kKindIncFromLower = 0x40000;
constexpr uint32_t kKindMark40 = 0x80000;       // from status 0x40
constexpr uint32_t kKindMark400 = 0x100000;     // from status 0x400
constexpr uint32_t kKindMirrored = 0x400000;    // stored as -x
constexpr uint32_t kKindMark100 = 0x800000;     // from status 0x100
constexpr uint32_t kKindPossiblyInfeasible = 0x2000000;
constexpr uint32_t kKindMark8000 = 0x10000000;  // from status 0x8000
constexpr uint32_t kKindBothSides = 0x40000000; // row with both sides finite
constexpr uint32_t kKindObjective = 0x140;      // the objective row's kind after the logical append
constexpr uint32_t kKindStartMarks = kKindBasic | kKindAtUpper;
constexpr uint32_t kKindIntegral = kKindInteger | kKindBinary;
constexpr uint32_t kKindAnySemi = kKindSemi | kKindSemi2;
constexpr uint32_t kKindZeroRange = 0x144;      // row kept as an equality with logical range 0

// ---- auxiliary column flags ----
constexpr uint32_t kAuxStartAtOne = 0x8;          // binary column starts at 1
constexpr uint32_t kAuxImpliedBounds = 0x4000;    // free column bounded by presolve
constexpr uint32_t kAuxBigM = 0x10000;
constexpr uint32_t kAuxMark400 = 0x20000;         // from status 0x400
constexpr uint32_t kAuxMark400000 = 0x4000000;    // from status 0x400000
// ---- auxiliary row flags ----
constexpr uint32_t kAuxRowPiecewise = 0x4;
constexpr uint32_t kAuxRowConvex = 0x80;

// ---- second flag word (row scheduling) ----
constexpr uint32_t kFlag2Deactivate = 0x8000000;   // scheduled for deactivation
constexpr uint32_t kFlag2MaskMark = 0x40000000;    // matched the DEACTIVA mask

// ---- solution method flags ----
constexpr uint32_t kMethodSimplex = 1;
constexpr uint32_t kMethodInterior = 2;
constexpr uint32_t kMethodBarrierX = 4;
constexpr uint32_t kMethodReload = 8;

// ---- increments ----
constexpr double kIncFibonacci = -1000000.0;
constexpr double kIncPrimes = -1000001.0;
constexpr double kIncFactorials = -1000002.0;

// Name kinds of a lookup.
enum NameKind : int { kNameColumn = 1, kNameRow = 2, kNameEither = 3 };

// An open-addressing name table: size slots (-1 empty) holding 0-based
// positions in the name block, with three shortcut slots in front.
struct NameHash {
  int32_t* slots = nullptr;  // slots[0 .. size-1]; slots[-3 .. -1] the shortcuts 1 to 3
  int32_t size = 0;
};

// Caller arrays registered on the area (one element per column, element 0
// = column 1; tolerances one per combined index, element 0 = item 1).
struct CallerArrays {
  int16_t* priority = nullptr;    // code 1
  double* increment = nullptr;    // code 2
  double* startValue = nullptr;   // code 3
  void* qpBlock = nullptr;        // code 4
  int32_t* dsc = nullptr;         // code 5
  double* scale = nullptr;        // code 6: factor per combined index, element 0 = item 1
  double* tolerance = nullptr;    // per-item tolerance (readers)
};

// One slot of the basis memory (Basis +n).
struct BasisSlot {
  std::string name;
  bool hasData = false;
  int32_t rows = 0, columns = 0, nonzeros = 0;  // constraint rows, columns, structural entries
  int32_t rnlen = 0, cnlen = 0;
  int32_t integerColumns = 0;
  int32_t useCount = 0;
  int32_t solveNumber = 0;
  double objLower = 0.0, objUpper = 0.0;
  double luFactor[2] = {0.0, 0.0};              // LU memory settings saved with it
  std::vector<uint8_t> words;                   // per item: 1 basic, 2 at upper, 4 start at 1, 8 Y, 16 Z
  std::vector<char> colNames, rowNames;         // cnlen per column, rnlen per constraint row
};

struct BasisMemory {
  std::vector<BasisSlot> slots;
  int32_t current = -1;  // slot the next solve saves into
};

// What the last load received, for the reload entry and the model record.
struct LastLoad {
  bool valid = false;
  bool interior = false;     // loaded for the interior-point method
  int32_t row = 0, column = 0;
  double* a = nullptr;
  int32_t* rownos = nullptr;
  int32_t* colptr = nullptr;
  double* bndmin = nullptr;
  double* bndmax = nullptr;
  int32_t* status = nullptr;
  void* names = nullptr;
  int32_t qpTerms = 0;
  int32_t* qpCol1 = nullptr;
  int32_t* qpCol2 = nullptr;
  double* qpCoef = nullptr;
  int64_t memoryUsed = 0;    // bytes, from the area's size on
};

struct ModelStore {
  // ---- dimensions ----
  bool loaded = false;       // a load filled the store completely
  int32_t n = 0;             // columns
  int32_t m = 0;             // rows including the objective row
  int32_t total = 0;         // N = n + m
  int32_t obj = 0;           // n + 1
  int32_t rowCapacity = 0;   // m + 3 (readers)
  int32_t colCapacity = 0;   // n
  int32_t indexBase = 0;     // 0 for C callers, 1 for Fortran callers
  int32_t nonzeros = 0;      // structural entries (colptr[n] - base)
  int32_t entries = 0;       // entries including the logicals

  // ---- the matrix (caller's arrays or the copies) ----
  double* a = nullptr;
  int32_t* rownos = nullptr;
  int32_t* colptr = nullptr;  // N + 1 entries once the logicals are appended
  bool copied = false;        // a, rownos, colptr are work-memory copies
  bool logicalsAppended = false;

  // ---- caller bounds and status words (element i - 1 for item i) ----
  double* bndmin = nullptr;
  double* bndmax = nullptr;
  int32_t* status = nullptr;

  // ---- working bounds and flag words (1-based, N + 1) ----
  double* lo = nullptr;
  double* up = nullptr;
  uint32_t* kind = nullptr;     // N + 3 words
  uint32_t* auxCol = nullptr;   // N + 3 words
  uint32_t* auxRow = nullptr;   // N + 3 words
  uint8_t* searchBytes = nullptr;  // per item, for the integer search
  uint32_t* flags2 = nullptr;   // second flag word (row scheduling)

  // ---- names ----
  int nameStyle = 0;            // 0 pointers, 1 one block, 2 two blocks
  bool hasNames = false;
  int32_t cnlen = 8, rnlen = 8;
  const char* colBlock = nullptr;  // n names of cnlen characters
  const char* rowBlock = nullptr;  // m names of rnlen characters, objective first
  bool caseSensitive = false;
  bool nullTerm = true;
  NameHash colHash, rowHash;
  int32_t scanCursor[2] = {0, 0};  // linear scan: column and row cursors (0-based)
  mutable char genName[48] = {};   // generated-name scratch for the printed-name source
  int32_t lastFound = -1;          // item of the last successful lookup (combined index), -1 none

  // ---- integer-search data ----
  CallerArrays attached;
  int32_t binaries = 0, generalIntegers = 0, semis = 0;
  int32_t convexRows = 0, piecewiseRows = 0, enumerators = 0;
  double* incumbent = nullptr;       // n + 1
  int32_t treeDepth = 0;             // branch-and-bound depth bound
  bool integerStartMarks = false;    // the basis memory switched on the integer start marks

  // ---- quadratic objective (lower triangle, column-major, 1-based columns) ----
  int32_t qpTerms = 0;
  int32_t qpOffDiagonal = 0;
  int32_t* qpStart = nullptr;   // n + 2: entries of column j at qpStart[j] .. qpStart[j+1]-1
  int32_t* qpRow = nullptr;     // row (column index 1..n, >= the column)
  double* qpValue = nullptr;
  double* startPoint = nullptr; // interior-point starting values (N + 1), from a basis file
  int32_t* positionMap = nullptr;  // interior point: column j -> j, row item i -> i - (n + 1)

  // ---- statistics of the load (caller bounds, before the internal form) ----
  int32_t colLower = 0, colFixed = 0, colUpper = 0, colFree = 0;
  int32_t rowGe = 0, rowEq = 0, rowLe = 0, rowFree = 0, rowRanged = 0;

  // ---- load state ----
  uint32_t method = kMethodSimplex;
  bool startBasisGiven = false;   // a basis file or the basis memory gave the start
  bool advancedStart = false;     // some item carries a start mark
  bool anyStartBasic = false;     // a start-basic item remains after the analysis
  bool fromTriplets = false;      // the model came through the triplet loader
  bool fromMps = false;
  bool loadFailed = false;
  int32_t workReinvert = 200;     // working reinversion frequency
  int32_t workDegenerate = 0;     // working degenerate-iteration limit
  LastLoad last;
  int64_t memoryUsed = kAreaBytes;

  // ---- internal form ----
  bool internalForm = false;
  double* scale = nullptr;       // factor per item (1-based), 1.0 when unscaled
  bool scaled = false;
  double objScale = 1.0;
  double* rhs = nullptr;         // right-hand side per row item
  double* rowShift = nullptr;    // per row item: sum of a * l of the shifted columns (caller terms)
  int32_t* rowList = nullptr;    // m entries: row items, active ones first
  int32_t activeRows = 0;
  int32_t* varList = nullptr;    // N entries: the variable list
  int32_t groupSpecialEnd = 0;   // varList[0 .. groupSpecialEnd) binary, integer, semi, piecewise columns
  int32_t groupColumnsEnd = 0;   // .. the other columns
  int32_t activeVars = 0;        // .. the row logicals; the rest lies outside the active part
  int32_t* colActiveEnd = nullptr;  // per item: one past the last active position
  int32_t* rowStart = nullptr;   // row-wise copy: m + 1 starts (0-based rows, objective first)
  int32_t* rowCol = nullptr;     // item of each entry (columns, then the row's own logical)
  double* rowVal = nullptr;
  int32_t* rowActiveEnd = nullptr;  // m entries
  uint32_t workingMask = 0;      // presolve mask of this load
  bool postsolvePending = false;
  bool loadInfeasible = false;   // the load-time bound checks found a contradiction
  int32_t* presolveCode = nullptr;    // presolve stack (N + 1 records)
  int32_t* presolveOperand = nullptr;
  int32_t presolveCount = 0;

  // ---- basis memory (heap; lives as long as the area) ----
  BasisMemory basisMemory;
};

// ---- matrix access ----
inline int32_t colBegin(const ModelStore& s, int32_t i) { return s.colptr[i - 1] - s.indexBase; }
inline int32_t colEnd(const ModelStore& s, int32_t i) { return s.colptr[i] - s.indexBase; }
inline int32_t rowItem(const ModelStore& s, int32_t callerRow) { return s.n + 1 + callerRow; }
inline bool isColumn(const ModelStore& s, int32_t i) { return i >= 1 && i <= s.n; }
inline bool isRow(const ModelStore& s, int32_t i) { return i > s.n && i <= s.total; }
inline uint32_t statusWord(const ModelStore& s, int32_t i) {
  return static_cast<uint32_t>(s.status[i - 1]);
}

}  // namespace kz

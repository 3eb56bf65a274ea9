// KZLOAD and KZLOADQP: the model from the caller's column-major arrays into
// the model store, the start basis, the load-time analysis and the
// statistics block; and the reload entry of the solve driver.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "frame/clp.h"
#include "frame/entry.h"
#include "frame/output.h"
#include "lp/internal_form.h"
#include "lp/scale.h"
#include "model/load.h"
#include "model/mps.h"
#include "model/seams.h"
#include "model/settings.h"
#include "model/store_ops.h"

namespace kz {
namespace {

bool isChildArea(const ModelArea& a) { return a.back && a.back->childMagic == kMagicOpen; }

// Applies an environment variable's text as an option line. The line must
// not change the sequence state: a load decides from the state it was
// called in. Returns false (with the parser's code) when the line fails.
bool applyEnvironmentLine(ModelArea& a, const char* variable) {
  if (isChildArea(a)) return true;
  const char* text = std::getenv(variable);
  if (!text || !*text) return true;
  const int32_t saved = a.irc;
  if (applyOptionLine(a, text) != 0) return false;
  a.irc = saved;
  return true;
}

// A failed load hands the caller's matrix back first when the internal
// form had already changed it in place.
int16_t fail(ModelArea& a, int32_t code) {
  restoreCallerMatrix(a);
  a.irc = code;
  a.fnValue = 1;
  a.store.loaded = false;
  a.store.loadFailed = true;
  return 1;
}

// Any column marked integer or semi-continuous by its status word.
bool anyIntegerStatus(const LoadArgs& g) {
  for (int32_t j = 0; j < g.column; ++j)
    if (static_cast<uint32_t>(g.status[j]) & (kStatusInteger | kStatusSemi1 | kStatusSemi2)) return true;
  return false;
}

// Step 5: a name block whose first names hold control characters, or one
// of them only blanks, is taken as no names.
bool nameBlockUsable(const ModelArea& a, const LoadArgs& g) {
  const int64_t width = columnNameLen(a);
  const int64_t names = std::min<int32_t>(g.column, 10);
  if (width <= 0 || names <= 0) return true;
  const unsigned char* p = static_cast<const unsigned char*>(g.names);
  for (int64_t k = 0; k < names; ++k) {
    bool allBlank = true;
    for (int64_t c = 0; c < width; ++c) {
      const unsigned char b = p[k * width + c];
      if (b < 32 || b >= 128) return false;
      if (b != ' ') allBlank = false;
    }
    if (allBlank) return false;
  }
  return true;
}

// Name style 0: each of the N strings copied into the store's blocks, up to
// the name length and blank-padded.
bool copyPointerNames(ModelArea& a, char* const* ptrs) {
  ModelStore& s = a.store;
  char* cb = storeAlloc<char>(a, int64_t{s.n} * s.cnlen + 1);
  char* rb = storeAlloc<char>(a, int64_t{s.m} * s.rnlen + 1);
  if (!cb || !rb) return false;
  for (int32_t i = 1; i <= s.total; ++i) {
    const int width = i <= s.n ? s.cnlen : s.rnlen;
    char* dst = i <= s.n ? cb + int64_t{i - 1} * s.cnlen : rb + int64_t{i - s.obj} * s.rnlen;
    std::memset(dst, ' ', static_cast<size_t>(width));
    const char* src = ptrs[i - 1];
    if (!src) continue;
    for (int k = 0; k < width && src[k] != '\0'; ++k) dst[k] = src[k];
  }
  s.colBlock = cb;
  s.rowBlock = rb;
  return true;
}

// Step 11 for the names.
bool setUpNames(ModelArea& a, const LoadArgs& g, int style, bool usable) {
  ModelStore& s = a.store;
  s.nameStyle = style;
  s.cnlen = columnNameLen(a);
  s.rnlen = rowNameLen(a);
  s.caseSensitive = caseSensitive(a);
  s.nullTerm = nullTerminated(a);
  s.hasNames = false;
  if (style == 2) {
    const char* cb = nullptr;
    const char* rb = nullptr;
    if (tripletNameBlocks(a, &cb, &rb)) {
      s.colBlock = cb;
      s.rowBlock = rb;
      s.hasNames = true;
    }
    return true;
  }
  if (!g.names || !usable) return true;
  if (style == 0) {
    if (!copyPointerNames(a, static_cast<char* const*>(g.names))) return false;
  } else {
    s.colBlock = static_cast<const char*>(g.names);
    s.rowBlock = s.colBlock + int64_t{s.n} * s.cnlen;
  }
  s.hasNames = true;
  return true;
}

// Clears low-order bits of a value's pattern (SIGBITS).
double truncateBits(double v, int k) {
  static const int kBits[] = {0, 4, 8, 16, 32};
  const int bits = k >= 5 ? 48 : kBits[k];
  uint64_t u;
  std::memcpy(&u, &v, sizeof u);
  u &= ~((uint64_t{1} << bits) - 1);
  std::memcpy(&v, &u, sizeof v);
  return v;
}

void truncateModel(ModelArea& a, int k) {
  ModelStore& s = a.store;
  for (int32_t i = 1; i <= s.total; ++i) {
    if (i == s.obj) continue;
    double L = s.bndmin[i - 1], U = s.bndmax[i - 1];
    if (L > -kInfTest && L != std::floor(L)) {
      L = truncateBits(L, k);
      s.bndmin[i - 1] = L;
      s.lo[i] = L;
    }
    if (U < kInfTest && U != std::floor(U)) {
      U = truncateBits(U, k);
      s.bndmax[i - 1] = U;
      s.up[i] = U;
    }
    if (i > s.n) continue;
    for (int32_t p = colBegin(s, i); p < colEnd(s, i); ++p)
      if (s.a[p] != std::floor(s.a[p])) s.a[p] = truncateBits(s.a[p], k);
  }
}

// Steps 9, 11 and 12 (without names): dimensions, views, working bounds
// and the flag arrays.
bool setUpStore(ModelArea& a, const LoadArgs& g) {
  ModelStore& s = a.store;
  s.n = g.column;
  s.m = g.row;
  s.total = s.n + s.m;
  s.obj = s.n + 1;
  s.rowCapacity = s.m + 3;
  s.colCapacity = s.n;
  s.indexBase = a.indexBase[0];
  if (!s.a) {
    s.a = g.a;
    s.rownos = g.rownos;
    s.colptr = g.colptr;
  }
  if (!s.bndmin) {
    s.bndmin = g.bndmin;
    s.bndmax = g.bndmax;
  }
  s.status = g.status;
  s.nonzeros = s.colptr[s.n] - s.indexBase;
  s.status[s.n] = 0;  // the objective row's status word
  const int64_t items = int64_t{s.total} + 1;
  s.lo = storeAlloc<double>(a, items);
  s.up = storeAlloc<double>(a, items);
  s.kind = storeAllocZero<uint32_t>(a, items + 2);
  s.auxCol = storeAllocZero<uint32_t>(a, items + 2);
  s.auxRow = storeAllocZero<uint32_t>(a, items + 2);
  s.flags2 = storeAllocZero<uint32_t>(a, items);
  if (!s.lo || !s.up || !s.kind || !s.auxCol || !s.auxRow || !s.flags2) return false;
  s.lo[0] = s.up[0] = 0.0;
  for (int32_t i = 1; i <= s.total; ++i) {
    s.lo[i] = s.bndmin[i - 1];
    s.up[i] = s.bndmax[i - 1];
  }
  s.lo[s.obj] = -kInternalInf;
  s.up[s.obj] = kInternalInf;
  return true;
}

// Step 10: the copies of Set COPYDATA.
bool copyMatrix(ModelArea& a, const LoadArgs& g, bool bounds) {
  ModelStore& s = a.store;
  const int64_t nnz = int64_t{g.colptr[g.column]} - a.indexBase[0];
  const int64_t room = nnz + g.row + 1;
  const int64_t items = int64_t{g.column} + g.row;
  double* ca = storeAlloc<double>(a, room);
  int32_t* cr = storeAlloc<int32_t>(a, room);
  int32_t* cc = storeAlloc<int32_t>(a, items + 1);
  if (!ca || !cr || !cc) return false;
  std::copy(g.a, g.a + nnz, ca);
  std::copy(g.rownos, g.rownos + nnz, cr);
  std::copy(g.colptr, g.colptr + g.column + 1, cc);
  s.a = ca;
  s.rownos = cr;
  s.colptr = cc;
  s.copied = true;
  if (bounds) {
    double* lo = storeAlloc<double>(a, items);
    double* up = storeAlloc<double>(a, items);
    if (!lo || !up) return false;
    std::copy(g.bndmin, g.bndmin + items, lo);
    std::copy(g.bndmax, g.bndmax + items, up);
    s.bndmin = lo;
    s.bndmax = up;
  }
  return true;
}

// Step 17 without a basis file or memory: the start marks of the status words.
void startMarksFromStatus(ModelArea& a) {
  ModelStore& s = a.store;
  for (int32_t i = 1; i <= s.total; ++i) {
    uint32_t& k = s.kind[i];
    if (i <= s.n) s.auxCol[i] &= ~kAuxStartAtOne;
    k &= ~kKindStartMarks;
    if (k & kKindRemoved) continue;
    const uint32_t st = statusWord(s, i);
    if (st & kStatusBasic) {
      k |= kKindBasic;
      s.advancedStart = true;
    }
    if (st & kStatusAtUpper) {
      k |= kKindAtUpper;
      s.advancedStart = true;
    }
    if (i <= s.n && (st & kStatusStartAtOne) && (k & kKindBinary)) s.auxCol[i] |= kAuxStartAtOne;
  }
}

void recordLastLoad(ModelArea& a, const LoadArgs& g, bool interior) {
  LastLoad& L = a.store.last;
  L.valid = true;
  L.interior = interior;
  L.row = g.row;
  L.column = g.column;
  L.a = g.a;
  L.rownos = g.rownos;
  L.colptr = g.colptr;
  L.bndmin = g.bndmin;
  L.bndmax = g.bndmax;
  L.status = g.status;
  L.names = g.names;
  L.qpTerms = g.qpTerms;
  L.qpCol1 = g.qpCol1;
  L.qpCol2 = g.qpCol2;
  L.qpCoef = g.qpCoef;
  L.memoryUsed = a.store.memoryUsed;
}

// The argument checks shared by both loads (904 .. 909 plus the base).
int32_t nullArgumentCode(const ModelArea& a, const LoadArgs& g) {
  const int32_t base = a.indexBase[0];
  if (!g.a) return 904 + base;
  if (!g.rownos) return 905 + base;
  if (!g.colptr) return 906 + base;
  if (!g.bndmin) return 907 + base;
  if (!g.bndmax) return 908 + base;
  if (!g.status) return 909 + base;
  return 0;
}

// Whether the area's state allows a new load (step 3). A loaded model
// (its arrays possibly scaled in place) is replaced only from state 2 or 8;
// after a failed load there is none, and the next load starts over.
bool sequenceAllows(ModelArea& a) {
  if (a.irc == 2 || a.irc == 8) return true;
  if (a.store.loaded && kzUndo(a) && !copyData(a)) return false;
  a.irc = 2;
  return true;
}

// Step 23: the branch-and-bound depth bound and the integer start.
bool integerSetUp(ModelArea& a) {
  ModelStore& s = a.store;
  const int32_t special = s.binaries + s.semis + s.enumerators;
  if (s.generalIntegers == 0)
    s.treeDepth = special + 1;
  else if (maxNodes(a) > 0)
    s.treeDepth = maxNodes(a);
  else
    s.treeDepth = static_cast<int32_t>(std::sqrt(static_cast<double>(s.generalIntegers))) + 4000 + special + 1;
  if (special + s.generalIntegers == 0) return true;
  s.incumbent = storeAllocZero<double>(a, int64_t{s.n} + 1);
  s.searchBytes = storeAllocZero<uint8_t>(a, int64_t{s.total} + 1);
  if (!s.incumbent || !s.searchBytes) return false;
  readIntegerFile(a);
  return true;
}

bool statisticsWanted(ModelArea& a) {
  return !a.routingArea().out.quiet || debugOn(a) || solutionReport(a) || mpsxSolution(a);
}

}  // namespace

int16_t loadClassic(ModelArea& a, const LoadArgs& g) {
  ModelStore& s = a.store;
  const uint32_t previousMethod = s.method;
  const bool reload = (previousMethod & kMethodReload) != 0;

  // 2, 3. KZLOADCLP; the sequence. A refused load leaves the loaded model
  // alone: its arrays may still be scaled in place, and only KZUNDO may
  // hand them back.
  if (!applyEnvironmentLine(a, "KZLOADCLP")) return fail(a, a.irc);
  if (!sequenceAllows(a)) {
    a.irc = 120;
    a.fnValue = 1;
    return 1;
  }
  // 1. The previous model's memory.
  if (!parallelListReload(a)) releaseModelMemory(a);
  setRoutineName(a, "KZLOAD");
  clearSolveCounters(a);

  // 4. Arguments.
  if (g.row < 1) return fail(a, 301);
  if (g.column < 0) return fail(a, 302);
  if (int32_t code = nullArgumentCode(a, g)) return fail(a, code);

  // 5. Name style.
  const bool triplet = tripletMode(a);
  const int style = triplet ? 2 : (a.fixedNames[0] ? 1 : 0);
  const bool namesUsable = !g.names || style != 1 || nameBlockUsable(a, g);
  s.fromTriplets = triplet;

  // 6. Results of the previous solve.
  clearSolveResults(a);

  // 7. Solution method.
  const bool intStatus = anyIntegerStatus(g);
  if (!relaxed(a) && intStatus)
    s.method = kMethodSimplex;
  else if (reload)
    s.method = (previousMethod & kMethodBarrierX) | kMethodSimplex;
  else if (barrierSwitch(a) == 1)
    s.method = kMethodInterior;
  else if (barrierSwitch(a) == 2)
    s.method = kMethodInterior | kMethodBarrierX;
  else
    s.method = kMethodSimplex;

  // 8. The arrays must be walkable whatever Set KZOK says; the full check
  // with it.
  if (int32_t code = scanLoadArrays(a, g)) return fail(a, code);
  if (kzOk(a))
    if (int32_t code = runModelCheck(a, g)) return fail(a, code);

  // 9, 10, 11, 12. Store, copies, views, working bounds.
  copyWorkingSettings(a);
  s.workReinvert = reinvertSetting(a);
  s.workDegenerate = degenerateLimit(a);
  const int bits = sigBits(a);
  if (copyData(a) && !(s.method & kMethodInterior))
    if (!copyMatrix(a, g, bits > 0)) return fail(a, 306);
  if (!setUpStore(a, g)) return fail(a, 306);
  if (!setUpNames(a, g, style, namesUsable)) return fail(a, 306);

  // 13, 14. Truncation; reinversion frequency.
  if (bits > 0 && !(s.method & kMethodInterior)) truncateModel(a, bits > 10 ? 10 : bits);
  if (s.workReinvert < 1) s.workReinvert = 50;

  // 15. The interior point takes the model as a quadratic model without terms.
  if (s.method & kMethodInterior) {
    LoadArgs q = g;
    q.qpTerms = 0;
    q.qpCol1 = q.qpCol2 = nullptr;
    q.qpCoef = nullptr;
    return loadQuadratic(a, q);
  }

  // 16. Simplex arrays, the branch-and-bound header, the status words.
  if (!setupSimplexArrays(a) || !allocateBranchHeader(a)) return fail(a, 306);
  if (!convertStatus(a)) {
    const int32_t code = runModelCheck(a, g);
    return fail(a, code ? code : 320);
  }
  countBoundClasses(a);

  // 17. Start basis: the basis memory, else the basis file, else the status words.
  bool given = basisMemoryApply(a);
  if (!given) given = readBasisFile(a, false);
  s.startBasisGiven = given;
  if (!given) startMarksFromStatus(a);

  // 18, 19. Listing; logicals; the writers.
  if (matList(a) & 6) printModelListing(a);
  appendLogicals(a);
  if (toRcc(a) || toMps(a)) writeTripletFile(a);

  // 20. Degenerate-iteration limit.
  if (s.workDegenerate == 0) {
    const int32_t d = static_cast<int32_t>(6.0 * std::sqrt(static_cast<double>(s.total)));
    s.workDegenerate = d < 100 ? 500 : d;
  }

  // 21, 22. Parallel memory; the load-time analysis and scaling.
  checkParallelMemory(a);
  if (analyzeModel(a) != 0) return fail(a, 306);
  s.anyStartBasic = false;
  for (int32_t i = 1; i <= s.total; ++i) {
    if (s.kind[i] & kKindRemoved) s.kind[i] &= ~kKindStartMarks;
    if (s.kind[i] & kKindBasic) s.anyStartBasic = true;
  }
  if (scaleMethod(a) != 0 && scaleModel(a) != 0) return fail(a, 306);

  // 23. Integer set-up and the rest of the LP storage.
  if (!integerSetUp(a) || !allocateLpStorage(a)) return fail(a, 306);

  // 24, 25.
  if (statisticsWanted(a)) printLoadStatistics(a);
  s.loaded = true;
  s.loadFailed = false;
  recordLastLoad(a, g, false);
  finishLpLoad(a);
  a.irc = 4;
  a.fnValue = 0;
  return 0;
}

namespace {

// Step 7 of KZLOADQP: the lower triangle of the quadratic terms, column by
// column, duplicates summed. Terms name columns 0 .. n - 1.
bool buildQuadratic(ModelArea& a, const LoadArgs& g, int32_t* badCode) {
  ModelStore& s = a.store;
  const int32_t n = s.n, q = g.qpTerms;
  for (int32_t k = 0; k < q; ++k)
    if (g.qpCol1[k] < 0 || g.qpCol1[k] >= n || g.qpCol2[k] < 0 || g.qpCol2[k] >= n || !std::isfinite(g.qpCoef[k])) {
      *badCode = 300;
      return false;
    }
  s.qpStart = storeAllocZero<int32_t>(a, int64_t{n} + 2);
  s.qpRow = storeAlloc<int32_t>(a, q);
  s.qpValue = storeAlloc<double>(a, q);
  if (!s.qpStart || (q > 0 && (!s.qpRow || !s.qpValue))) {
    *badCode = 306;
    return false;
  }
  for (int32_t k = 0; k < q; ++k) ++s.qpStart[std::min(g.qpCol1[k], g.qpCol2[k]) + 2];
  s.qpStart[1] = 0;
  for (int32_t j = 2; j <= n + 1; ++j) s.qpStart[j] += s.qpStart[j - 1];
  // A fill cursor per column, given back to the pool right after.
  int32_t* next = static_cast<int32_t*>(poolOp(a.pool, kPoolAllocate, (int64_t{n} + 1) * 4));
  if (!next) {
    *badCode = 306;
    return false;
  }
  for (int32_t j = 1; j <= n; ++j) next[j] = s.qpStart[j];
  for (int32_t k = 0; k < q; ++k) {
    const int32_t lo = std::min(g.qpCol1[k], g.qpCol2[k]) + 1, hi = std::max(g.qpCol1[k], g.qpCol2[k]) + 1;
    const int32_t at = next[lo]++;
    s.qpRow[at] = hi;
    s.qpValue[at] = g.qpCoef[k];
  }
  poolOp(a.pool, kPoolRelease, 1);
  // Sort each column by row and sum the duplicates in place.
  int32_t out = 0;
  int32_t begin = 0;
  for (int32_t j = 1; j <= n; ++j) {
    const int32_t end = s.qpStart[j + 1];
    for (int32_t x = begin + 1; x < end; ++x) {
      const int32_t r = s.qpRow[x];
      const double v = s.qpValue[x];
      int32_t y = x;
      for (; y > begin && s.qpRow[y - 1] > r; --y) {
        s.qpRow[y] = s.qpRow[y - 1];
        s.qpValue[y] = s.qpValue[y - 1];
      }
      s.qpRow[y] = r;
      s.qpValue[y] = v;
    }
    s.qpStart[j] = out;
    for (int32_t x = begin; x < end; ++x) {
      if (out > s.qpStart[j] && s.qpRow[out - 1] == s.qpRow[x]) {
        s.qpValue[out - 1] += s.qpValue[x];
      } else {
        s.qpRow[out] = s.qpRow[x];
        s.qpValue[out] = s.qpValue[x];
        ++out;
      }
    }
    begin = end;
  }
  s.qpStart[n + 1] = out;
  s.qpTerms = out;
  s.qpOffDiagonal = 0;
  for (int32_t j = 1; j <= n; ++j)
    for (int32_t x = s.qpStart[j]; x < s.qpStart[j + 1]; ++x)
      if (s.qpRow[x] != j) ++s.qpOffDiagonal;
  return true;
}

}  // namespace

int16_t loadQuadratic(ModelArea& a, const LoadArgs& g) {
  ModelStore& s = a.store;
  const uint32_t previousMethod = s.method;

  // 1. A refused reload leaves the return code as it was.
  if (!sequenceAllows(a)) {
    a.fnValue = 1;
    return 1;
  }
  // 2. Arguments.
  if (g.row < 1) return fail(a, 301);
  if (g.column < 1) return fail(a, 302);
  if (int32_t code = nullArgumentCode(a, g)) return fail(a, code);

  // 3, 4, 5. Memory, method, and the loads that are KZLOAD's.
  if (!parallelListReload(a)) releaseModelMemory(a);
  const bool terms = g.qpTerms > 0 && g.qpCol1 && g.qpCol2 && g.qpCoef;
  if (!terms && !relaxed(a) && anyIntegerStatus(g)) return loadClassic(a, g);
  uint32_t method;
  if (previousMethod & kMethodReload)
    method = (previousMethod & kMethodBarrierX) | kMethodSimplex;
  else
    method = (!relaxed(a) && terms) ? kMethodInterior : kMethodSimplex;
  if (barrierSwitch(a) == 1) method = kMethodInterior;
  if (barrierSwitch(a) == 2 && !terms) method = kMethodInterior | kMethodBarrierX;
  if (!(method & kMethodInterior) && !terms) {
    s.method = method;
    return loadClassic(a, g);
  }

  // 6. KZLOADQPCLP; the store as KZLOAD builds it, without copies or truncation.
  if (!applyEnvironmentLine(a, "KZLOADQPCLP")) return fail(a, a.irc);
  setRoutineName(a, "KZLOADQP");
  s.method = (method & ~kMethodSimplex) | kMethodInterior;
  if (int32_t code = scanLoadArrays(a, g)) return fail(a, code);
  if (kzOk(a))
    if (int32_t code = runModelCheck(a, g)) return fail(a, code);
  const int style = tripletMode(a) ? 2 : (a.fixedNames[0] ? 1 : 0);
  const bool namesUsable = !g.names || style != 1 || nameBlockUsable(a, g);
  if (!setUpStore(a, g)) return fail(a, 306);
  if (!setUpNames(a, g, style, namesUsable)) return fail(a, 306);
  readBasisFile(a, true);

  // 7. The quadratic terms.
  if (terms) {
    int32_t code = 0;
    if (!buildQuadratic(a, g, &code)) return fail(a, code);
  }

  // 8. Position map; the status words.
  s.positionMap = storeAlloc<int32_t>(a, int64_t{s.total} + 1);
  if (!s.positionMap) return fail(a, 306);
  s.positionMap[0] = 0;
  for (int32_t i = 1; i <= s.total; ++i) s.positionMap[i] = i <= s.n ? i : i - s.obj;
  if (!convertStatus(a)) {
    const int32_t code = runModelCheck(a, g);
    return fail(a, code ? code : 320);
  }
  countBoundClasses(a);

  // 9. Listing, writers, statistics.
  if (matList(a) & 6) printModelListing(a);
  if (toRcc(a)) writeTripletFile(a);
  if (toMps(a)) writeMpsFile(a, nullptr);
  if (!a.routingArea().out.quiet) printLoadStatistics(a);

  // 10, 11, 12.
  s.kind[s.obj] = (s.kind[s.obj] & ~kKindFixed) | kKindFree;
  s.lo[s.obj] = -kInternalInf;
  s.up[s.obj] = kInternalInf;
  if (!relaxed(a) && s.binaries + s.generalIntegers + s.semis > 0) s.method |= kMethodBarrierX;
  if (!interiorPointSetup(a)) return fail(a, 306);
  if (terms) s.binaries = s.generalIntegers = s.semis = 0;
  s.loaded = true;
  s.loadFailed = false;
  recordLastLoad(a, g, true);
  a.irc = 4;
  a.fnValue = 0;
  return 0;
}

int16_t reloadModel(ModelArea& a) {
  ModelStore& s = a.store;
  if (!s.last.valid) return 1;
  const LastLoad last = s.last;
  restoreCallerMatrix(a);
  LoadArgs g;
  g.row = last.row;
  g.column = last.column;
  g.a = last.a;
  g.rownos = last.rownos;
  g.colptr = last.colptr;
  g.bndmin = last.bndmin;
  g.bndmax = last.bndmax;
  g.status = last.status;
  g.names = last.names;
  a.irc = 2;
  s.method |= kMethodReload;
  return loadClassic(a, g);
}

}  // namespace kz

using namespace kz;

extern "C" KZ_API int16_t KZLOAD(KZOSL* rc, int32_t row, int32_t column, double* a, int32_t* rownos,
                                 int32_t* colptr, double* bndmin, double* bndmax, int32_t* status, void* colnam) {
  return runEntry(rc, "KZLOAD", kEntryDefault, [&](Frame& f) {
    ModelArea& ar = f.area();
    f.enter("Entering KZLOAD, KZOSL %p Rc %d Row %d column %d a %p rownos %p colptr %p %s Mem %ld",
            static_cast<void*>(rc), f.block()->rc, row, column, static_cast<void*>(a), static_cast<void*>(rownos),
            static_cast<void*>(colptr), ar.indexBase[0] == 1 ? "FORTRAN" : "",
            static_cast<long>(ar.pool.freeBytes));
    f.enter("bndmin %p bndmax %p status %p colnam %p %s", static_cast<void*>(bndmin), static_cast<void*>(bndmax),
            static_cast<void*>(status), colnam, tripletMode(ar) ? "RCCStyle" : "ClassicStyle");
    LoadArgs g;
    g.row = row;
    g.column = column;
    g.a = a;
    g.rownos = rownos;
    g.colptr = colptr;
    g.bndmin = bndmin;
    g.bndmax = bndmax;
    g.status = status;
    g.names = colnam;
    loadClassic(ar, g);
    f.setLeaving("Leaving KZLOAD, Fnct Value %d Rc %d Row %d Col %d Mem %ld ", ar.fnValue, ar.irc, row, column,
                 static_cast<long>(ar.pool.freeBytes));
  });
}

extern "C" KZ_API int16_t KZLOADQP(KZOSL* rc, int32_t row, int32_t column, double* a, int32_t* rownos,
                                   int32_t* colptr, double* bndmin, double* bndmax, int32_t* status, void* name,
                                   int32_t NoOfQPPoints, int32_t* QpColOne, int32_t* QpColTwo, double* QpCoef) {
  return runEntry(rc, "KZLOADQP", kEntryDefault, [&](Frame& f) {
    ModelArea& ar = f.area();
    f.enter("Entering KZLOADQP, KZOSL %p Rc %d Row %d column %d a %p rownos %p colptr %p Mem %d",
            static_cast<void*>(rc), f.block()->rc, row, column, static_cast<void*>(a), static_cast<void*>(rownos),
            static_cast<void*>(colptr), static_cast<int>(ar.pool.freeBytes));
    f.enter("bndmin %p bndmax %p status %p name %p Style %d", static_cast<void*>(bndmin),
            static_cast<void*>(bndmax), static_cast<void*>(status), name, ar.store.fromMps ? 1 : 0);
    f.enter("NoOfQPPoints %d QpColOne %p QpColTwo %p QpCoef %p DiagFactor %g", NoOfQPPoints,
            static_cast<void*>(QpColOne), static_cast<void*>(QpColTwo), static_cast<void*>(QpCoef),
            qpDiagFactor(ar));
    LoadArgs g;
    g.row = row;
    g.column = column;
    g.a = a;
    g.rownos = rownos;
    g.colptr = colptr;
    g.bndmin = bndmin;
    g.bndmax = bndmax;
    g.status = status;
    g.names = name;
    g.qpTerms = NoOfQPPoints;
    g.qpCol1 = QpColOne;
    g.qpCol2 = QpColTwo;
    g.qpCoef = QpCoef;
    loadQuadratic(ar, g);
    f.setLeaving("Leaving KZLOADQP, Fnct Value %d Rc %ld Row %d Col %d  Mem %d", ar.fnValue,
                 static_cast<long>(ar.irc), row, column, static_cast<int>(ar.pool.freeBytes));
  });
}

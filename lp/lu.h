// Sparse LU factorization of the simplex basis matrix B, the two solves
// every iteration needs (Ftran: B x = a, Btran: y B = c) and the
// product-form update after a basis change.
//
// Indexing: everything is 1-based, as every array of the library. B is
// m x m; its rows are numbered 1..m (the caller maps its active rows onto
// them) and its columns are the basis positions 1..m (position 0, the
// objective row, is the caller's business). Every vector handed to the
// kernel has m + 1 entries; entry 0 is never read or written.
//
// Memory: the factors and the eta file live in a work area the caller hands
// to factorize(): a block of doubles with a parallel block of int32 indices
// (the work pool gives them out). The kernel sizes its own index arrays of
// O(m) entries at factorization time; solves and updates never allocate.
//
// Factorization: a column-singleton phase, a row-singleton phase (its L
// columns stored downwards from the top of region A) and a Markowitz
// elimination of the remaining bump with row-relative threshold pivoting
// and count buckets. Region A holds the row-wise copy of B and the L
// columns, region B the rows of the bump and the U rows it produces; both are
// sized from the LU memory factors f1 and f2, which adapt from one
// factorization to the next. Afterwards the factors are packed at the bottom
// of the work area, followed, when the bump's fill stays below 28% of
// nnz(B) and there is room, by transposed copies (U by columns for Ftran, L
// by rows for Btran) that let the solves work on the nonzeros only. The eta
// file grows from the top of the work area down to a low-water index just
// above the factors.
//
// Solves exploit sparse right-hand sides: a depth-first search on the graph
// of L (or U) finds the entries that can become nonzero when the right-hand
// side has few nonzeros; above a density threshold the plain loops run,
// started at the first pivot that needs work. Btran of a sparse vector
// through the eta file visits only the etas that can change it, found
// through chains of the eta entries by position that update() extends.
// Every solve also leaves the list of nonzeros of its result.
#pragma once
#include <cstdint>
#include <vector>

namespace kz::lu {

// Results of LuFactor::factorize.
constexpr int kLuOk = 0;
constexpr int kLuSingular = 1;       // factors complete, see singular*()
constexpr int kLuBadInput = 2;       // row index out of 1..m, duplicate row
                                     // in a column, non-finite value, m < 0
                                     // or a missing work area
constexpr int kLuOutOfMemory = 412;  // work area too small after the
                                     // fallbacks; no factors

// Results of LuFactor::update.
constexpr int kLuUpdated = 0;          // eta appended
constexpr int kLuUpdatedRefactor = 1;  // eta appended; factorize next
constexpr int kLuUpdateRejected = 2;   // nothing appended (no candidate,
                                       // bad position, pivot entry at most
                                       // tranEntry, or no room): factorize
                                       // the new basis

// 2 * (2^-52)^(5/6): absolute drop and pivot tolerance.
constexpr double kLuTranEntryDefault = 1.8046660579423103e-13;

struct LuOptions {
  double tranEntry = kLuTranEntryDefault;
  double markowitz = 0.25;  // relative threshold; kept in [tranEntry, 0.999]
  double yPivot = 1e-10;    // for the Ftran refinement stop rules
  double luMemory1 = 4.0;   // LU memory factors; values below 2 (or not
  double luMemory2 = 3.5;   // finite) are taken as 4.0 and 3.5
  int32_t reInvert = 200;   // refactorization interval; 0 (or below) -> 50
  bool hypersparse = true;  // false: always the plain loops (for tests)
};

// The columns of the current basis. column(p) gives the entries of the
// column at basis position p (1..m): their count, with rows[k] in 1..m and
// vals[k]. The pointers need only stay valid until the next call. The kernel
// reads the columns during factorize() and again in refinement; after
// update(r) position r must give the entering column.
class LuColumns {
 public:
  virtual ~LuColumns() = default;
  virtual int32_t column(int32_t p, const int32_t*& rows,
                         const double*& vals) const = 0;
};

// Columns held in compressed-column arrays: column p is entries
// colStart[p] .. colStart[p + 1] - 1 of rowIndex and value (colStart has
// m + 2 entries, entry 0 unused).
class LuCscColumns final : public LuColumns {
 public:
  LuCscColumns(const int32_t* colStart, const int32_t* rowIndex,
               const double* value)
      : colStart_(colStart), rowIndex_(rowIndex), value_(value) {}
  int32_t column(int32_t p, const int32_t*& rows,
                 const double*& vals) const override {
    int32_t b = colStart_[p];
    rows = rowIndex_ + b;
    vals = value_ + b;
    return colStart_[p + 1] - b;
  }

 private:
  const int32_t* colStart_;
  const int32_t* rowIndex_;
  const double* value_;
};

// The work area: count entries of value and index (0-based blocks). Must
// stay untouched from factorize() until the next factorize(). Areas above
// 2^31 - 2 entries are used up to that size.
struct LuWorkArea {
  double* value = nullptr;
  int32_t* index = nullptr;
  int64_t count = 0;
};

class LuFactor {
 public:
  LuFactor() = default;
  LuFactor(const LuFactor&) = delete;
  LuFactor& operator=(const LuFactor&) = delete;

  // Options take effect at once, except the LU memory factors: they seed f1
  // and f2 at the first factorize() ever or after startSolve().
  void setOptions(const LuOptions& o);
  const LuOptions& options() const { return opt_; }
  // The next factorize() is the first of a solve: f1 and f2 are seeded from
  // the options and the counters cleared.
  void startSolve();

  // Factorizes the m x m basis whose columns cols gives, in work. Returns
  // kLuOk, kLuSingular, kLuBadInput or kLuOutOfMemory. On kLuSingular the
  // factors are complete and exact for the basis in which each unpivoted
  // position singularPositions()[k] holds the unit column of row
  // singularRows()[k]; a caller whose logicals are exactly those unit columns
  // may keep them, any other caller puts its logicals in
  // (repairSingularBasis) and factorizes again. cols must stay alive while
  // the factors are used with refinement.
  int factorize(int32_t m, const LuColumns& cols, const LuWorkArea& work);

  // Ftran: B x = a. x holds a by row on entry and x by basis position on
  // exit (all m entries are examined). keepAsEta: the result becomes the
  // candidate eta of the next update(). refine: number of refinement steps.
  // The nonzeros of the result are listed in resultIndex(). Returns false
  // (x untouched) when there are no valid factors.
  bool ftran(double* x, int refine = 0, bool keepAsEta = true);
  // The same on a sparse vector: on entry x is zero except at the rows
  // index[0..count) (out-of-range indices are ignored, zeros allowed); on exit
  // x is zero except at the positions index[0..count), which are exactly its
  // nonzeros. index must have room for m entries.
  bool ftran(double* x, int32_t* index, int32_t& count, int refine = 0,
             bool keepAsEta = true);
  // Ftran of a column given as (row, value) pairs (duplicates are summed): x
  // must be all zero on entry; on exit it holds the solution by position with
  // its nonzeros in index[0..count).
  bool ftranColumn(const int32_t* rows, const double* vals, int32_t n,
                   double* x, int32_t* index, int32_t& count, int refine = 0,
                   bool keepAsEta = true);

  // Btran: y B = c. y holds c by basis position on entry and y by row on
  // exit. Refinement runs with tranEntry squared for its corrections.
  bool btran(double* y, int refine = 0);
  bool btran(double* y, int32_t* index, int32_t& count, int refine = 0);

  // Nonzeros of the last dense-interface ftran/btran result.
  const int32_t* resultIndex() const { return resIdx_.data(); }
  int32_t resultCount() const { return resN_; }

  // The basic-value step of an iteration entering the candidate column at
  // position r with step theta: xB[r] becomes theta, every other xB[i] loses
  // theta * eta_i; results below tranEntry in magnitude become 0. Call it
  // before update(r). xB is by position (m + 1 entries).
  void stepBasicValues(double* xB, int32_t r, double theta) const;

  // Appends the candidate eta (the last kept Ftran result) with its pivot at
  // position r, keeping only entries above max(1, |alpha_r|) * tranEntry.
  // Returns kLuUpdated, kLuUpdatedRefactor (the eta file came within m
  // entries of its low-water index, the updates reached the effective
  // ReInvert, or the file holds more than 5 * (nnz(L) + nnz(U)) entries,
  // the pivots counted in U) or kLuUpdateRejected.
  int update(int32_t r);

  // State.
  bool valid() const { return valid_; }
  bool refactorNeeded() const { return refactor_; }
  int32_t dimension() const { return m_; }
  int32_t effectiveReInvert() const { return reInvertEff_; }
  double f1() const { return f1_; }  // working LU memory factors
  double f2() const { return f2_; }
  int32_t factorizations() const { return factorizations_; }
  int32_t updatesSinceFactor() const { return updates_; }
  int32_t etaCount() const { return numEtas_; }
  int64_t etaEntries() const { return etaEntries_; }
  int64_t nnzB() const { return nnzB_; }
  int64_t nnzL() const { return nnzL_; }
  int64_t nnzU() const { return nnzU_; }  // off-diagonal
  int64_t fill() const { return fill_; }  // entries the bump created
  int32_t triangularPivots() const { return triPivots_; }
  int32_t bumpPivots() const { return bumpPivots_; }
  bool transposedCopies() const { return copies_; }  // else Btran
                                                     // column-wise
  int32_t attempts() const { return attempts_; }  // of the last factorize
  bool fellBack() const { return fellBack_; }     // 3.0/3.0 used
  int64_t lowWater() const { return lowWater_; }
  int64_t highestLowWater() const { return highestLowWater_; }
  int64_t workUsed() const;  // entries of the work area in use
  int refineRounds() const { return refineRounds_; }  // of the last solve

  // After kLuSingular: the unpivoted positions and rows, paired.
  int32_t singularCount() const { return int32_t(singPos_.size()); }
  const int32_t* singularPositions() const { return singPos_.data(); }
  const int32_t* singularRows() const { return singRow_.data(); }

  // Pivot sequence k = 1..m of the factors: row and basis position.
  int32_t pivotRow(int32_t k) const { return pivRow_[k]; }
  int32_t pivotPosition(int32_t k) const { return pivCol_[k]; }

 private:
  struct Range {
    int32_t begin, end;
  };

  void resize(int32_t m);
  int countEntries();
  bool sizeRegionA();
  void buildRowCopy();
  void columnSingletons();
  int rowSingletons();
  void compactTriangularRows();
  int sizeRegionB(double f2Before);
  void loadBump();
  int bump();
  bool findPivot(int32_t& p, int32_t& q);
  int eliminate(int32_t p, int32_t q);
  double entryValue(int32_t r, int32_t j) const;
  double rowMax(int32_t r);
  bool ensureRowRoom(int32_t r, int32_t need);
  int64_t projectedLack(int64_t used, int64_t size) const;
  void compressRows();
  void colAppend(int32_t j, int32_t r);
  void compressCols();
  void colRemove(int32_t j, int32_t r);
  void bucketInsertRow(int32_t i);
  void bucketRemoveRow(int32_t i);
  void bucketInsertCol(int32_t j);
  void bucketRemoveCol(int32_t j);
  void finish();
  void buildCopies();
  int64_t etaReserve() const;
  void adaptFactors();

  template <class Edges>
  int32_t reach(const int32_t* seeds, int32_t ns, Edges edges, int32_t limit);
  void ftranCore(double tol, double* x, int32_t* xi, int32_t& xn);
  void btranCore(double tol, double* y, int32_t* yi, int32_t& yn);
  bool ftranRun(double* x, int32_t* xi, int32_t& xn, int refine, bool keep);
  bool btranRun(double* y, int32_t* yi, int32_t& yn, int refine);
  void refineFtran(double* x, int32_t* xi, int32_t& xn, int refine);
  void refineBtran(double* y, int32_t* yi, int32_t& yn, int refine);
  void keepCandidate(const double* x, const int32_t* xi, int32_t xn);
  int32_t nextStamp(std::vector<int32_t>& marks, int32_t& stamp);

  // Options and the adaptive state.
  LuOptions opt_;
  double tol_ = kLuTranEntryDefault;
  double markowitz_ = 0.25;
  double lum1_ = 4.0, lum2_ = 3.5;
  int32_t reInvertEff_ = 200;
  double f1_ = 4.0, f2_ = 3.5;
  bool seeded_ = false;
  int64_t shortA_ = 0, shortB_ = 0;  // shortfalls: the largest number of
                                     // entries a region lacked when it was
                                     // compressed, or its projected lack
                                     // when it ran out

  // The basis and the work area.
  const LuColumns* cols_ = nullptr;
  int32_t m_ = 0, mCap_ = -1;
  int32_t cap_ = 0;
  double* av_ = nullptr;
  int32_t* ai_ = nullptr;
  bool valid_ = false;
  bool refactor_ = true;

  // Pivot sequence, pivots and U rows (uStart_, uLen_ by pivot).
  std::vector<int32_t> pivRow_, pivCol_, rowPiv_, colPiv_;
  std::vector<double> invD_;
  std::vector<int32_t> uStart_, uLen_;
  // L columns t = 1..numL_ in pivot order.
  int32_t numL_ = 0;
  std::vector<int32_t> lStart_, lLen_, lPivRow_, lPivIdx_, lOfRow_, lFrom_;
  // Transposed copies: U by position, L by row (start arrays of m + 2).
  bool copies_ = false;
  std::vector<int32_t> ucStart_, lrStart_;

  // Eta file, growing down from cap_ to lowWater_.
  int32_t lowWater_ = 0, etaTop_ = 0;
  int32_t numEtas_ = 0, updates_ = 0;
  int64_t etaEntries_ = 0;
  std::vector<int32_t> etaStart_, etaLen_, etaPos_;
  std::vector<double> etaPiv_;
  // The eta entries by position, for Btran through the etas of a sparse
  // vector: node q is the q-th entry appended since the factorization, in
  // eta etaNodeEta_[q]; etaNodeNext_[q] is the previous node at the same
  // position (-1 at the end of the chain); etaPosHead_[i] is the newest node
  // at position i. Off (etaByPos_ false) when the nodes ran out.
  std::vector<int32_t> etaNodeEta_, etaNodeNext_, etaPosHead_, etaMark_;
  bool etaByPos_ = false;
  int32_t etaStamp_ = 0;
  // Candidate eta: the last kept Ftran result, by position.
  bool hasCand_ = false;
  std::vector<double> cand_;
  std::vector<int32_t> candIdx_;
  int32_t candN_ = 0;

  // Statistics.
  int64_t nnzB_ = 0, nnzL_ = 0, nnzU_ = 0, fill_ = 0;
  int32_t triPivots_ = 0, colSingletons_ = 0, bumpPivots_ = 0;
  int32_t factorizations_ = 0, attempts_ = 0;
  bool fellBack_ = false;
  int64_t highestLowWater_ = 0;
  int refineRounds_ = 0;
  double ftranDensity_ = 0, btranDensity_ = 0;  // running result densities
  std::vector<int32_t> singPos_, singRow_;

  // Factorization state.
  int32_t npiv_ = 0;               // pivots so far
  int32_t aSize_ = 0, aLow_ = 0;   // region A: [0, aSize_); used bottom
  int32_t lTop_ = 0;               // L grows down from aSize_ to lTop_
  int32_t bEnd_ = 0, bUsed_ = 0;   // region B: [aSize_, bEnd_)
  int64_t bumpNnz_ = 0;
  std::vector<int32_t> rowCount_, colCount_;
  std::vector<int32_t> rowStart_, rowLen_, rowCap_, rowNextS_, rowPrevS_;
  int32_t rowHeadS_ = 0, rowTailS_ = 0;
  std::vector<int32_t> colStore_;
  std::vector<int32_t> colStart_, colLen_, colCap_, colNextS_, colPrevS_;
  int32_t colHeadS_ = 0, colTailS_ = 0, colUsed_ = 0;
  std::vector<int32_t> rowHead_, rowNext_, rowPrev_;
  std::vector<int32_t> colHead_, colNext_, colPrev_;
  int32_t maxRowCount_ = 0, maxColCount_ = 0;
  std::vector<double> rowMax_;
  std::vector<char> rowMaxOk_;
  std::vector<int32_t> queue_, pRow_, qRows_, pMark_, seen_;
  std::vector<double> pVal_;
  int32_t seenStamp_ = 0;

  // Solve scratch (all kept zero between calls).
  std::vector<double> w_, rhs_, res_, best_, dvec_;
  std::vector<int32_t> wl_, rhsIdx_, di_, resIdx_;
  int32_t wn_ = 0, rhsN_ = 0, resN_ = 0;
  std::vector<int32_t> dfsMark_, dfsStack_, dfsPtr_, dfsEnd_, reach_;
  int32_t dfsStamp_ = 0;
  std::vector<int32_t> listMark_;
  int32_t listStamp_ = 0;
};

// Puts the logicals in for a singular basis: basisVar (by position, m + 1
// entries) gets logicalOfRow[singularRows()[k]] at singularPositions()[k].
// leaving, when not null, receives the variables that left, in the same
// order. Returns the number of positions changed.
int32_t repairSingularBasis(const LuFactor& lu, int32_t* basisVar,
                            const int32_t* logicalOfRow, int32_t* leaving);

// Residual checks (lu_check.cpp). Both return the largest residual
// magnitude divided by max(1, largest right-hand side magnitude, largest
// magnitude of the sums of |terms| of a residual entry).
// ||B x - a||: x by position, a by row; scratch holds 2 * (m + 1) doubles.
double ftranResidual(int32_t m, const LuColumns& cols, const double* x,
                     const double* a, double* scratch);
// ||y B - c||: y by row, c by position.
double btranResidual(int32_t m, const LuColumns& cols, const double* y,
                     const double* c);

}  // namespace kz::lu

// KZMPSQP, KZMPSI and KZMPSF: the entries, their argument checks, the
// reader's tables and work memory, and the finish that hands the arrays to
// the caller. The sections themselves are read in model/mps_sections.cpp.
#include "model/mps.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include <sys/stat.h>

#include "frame/entry.h"
#include "frame/output.h"
#include "model/mps_reader.h"
#include "model/store_ops.h"

namespace kz {

namespace mps {

namespace {

void probe(const NameTable& t, const char* key, uint32_t* start, uint32_t* step) {
  const uint32_t h = nameHash(key, t.width);
  const uint32_t size = static_cast<uint32_t>(t.size);
  *start = h % size;
  *step = h % (size - 2) + 1;
}

}  // namespace

int32_t tableFind(const NameTable& t, const char* key) {
  if (!t.slots || t.size < 3) return -1;
  uint32_t slot, step;
  probe(t, key, &slot, &step);
  const uint32_t first = slot;
  const size_t w = static_cast<size_t>(t.width);
  do {
    const int32_t pos = t.slots[slot];
    if (pos < 0) return -1;
    if (std::memcmp(t.block + static_cast<int64_t>(pos) * t.width, key, w) == 0) return pos;
    slot += step;
    if (slot >= static_cast<uint32_t>(t.size)) slot -= static_cast<uint32_t>(t.size);
  } while (slot != first);
  return -1;
}

bool tableInsert(NameTable& t, const char* key, int32_t pos) {
  if (!t.slots || t.size < 3) return false;
  uint32_t slot, step;
  probe(t, key, &slot, &step);
  const uint32_t first = slot;
  do {
    if (t.slots[slot] < 0) {
      t.slots[slot] = pos;
      t.slots[-3] = pos;
      return true;
    }
    slot += step;
    if (slot >= static_cast<uint32_t>(t.size)) slot -= static_cast<uint32_t>(t.size);
  } while (slot != first);
  return false;
}

void tableReplace(NameTable& t, const char* key, int32_t oldPos, int32_t newPos) {
  if (!t.slots || t.size < 3) return;
  uint32_t slot, step;
  probe(t, key, &slot, &step);
  const uint32_t first = slot;
  do {
    if (t.slots[slot] < 0) return;
    if (t.slots[slot] == oldPos) {
      t.slots[slot] = newPos;
      t.slots[-3] = newPos;
      return;
    }
    slot += step;
    if (slot >= static_cast<uint32_t>(t.size)) slot -= static_cast<uint32_t>(t.size);
  } while (slot != first);
}

Reader::Reader(ModelArea& a, const MpsRequest& q)
    : a_(a), q_(q), in_(a), fixed_(q.format == MpsFormat::kFixed) {}

void* Reader::take(int64_t bytes) {
  if (bytes < 0) return nullptr;
  return poolOp(a_.pool, kPoolAllocate, bytes);
}

// The hash tables (sizes from the free work memory) and the reader's arrays.
bool Reader::allocate() {
  const int64_t F = a_.pool.freeBytes > 0 ? a_.pool.freeBytes : 0;
  const int64_t maxrow = q_.maxrow, maxcol = q_.maxcol;

  int64_t rowWant = 10 * maxrow;
  const int64_t rowFit = 2 * maxrow * (F / (4 * maxcol + 8 * maxrow) - 2);
  if (rowFit < rowWant) rowWant = rowFit;
  if (rowWant < maxrow + 3) rowWant = maxrow + 3;
  rows_.size = nameHashSize(rowWant);
  int32_t* rs = static_cast<int32_t*>(take((int64_t{rows_.size} + 3) * 4));
  if (!rs) return false;
  for (int64_t k = 0; k < int64_t{rows_.size} + 3; ++k) rs[k] = -1;
  rows_.slots = rs + 3;

  int64_t factor = F / (4 * maxcol) - 2;
  if (factor > 10) factor = 10;
  if (factor < 2) factor = 2;
  int32_t* cs = nullptr;
  for (; factor >= 2 && !cs; --factor) {
    int64_t want = maxcol * factor;
    if (want < maxcol + 3) want = maxcol + 3;
    cols_.size = nameHashSize(want);
    cs = static_cast<int32_t*>(take((int64_t{cols_.size} + 3) * 4));
  }
  if (!cs) return false;
  for (int64_t k = 0; k < int64_t{cols_.size} + 3; ++k) cs[k] = -1;
  cols_.slots = cs + 3;

  colKind_ = static_cast<uint32_t*>(take(maxcol * 4));
  rowKind_ = static_cast<uint32_t*>(take(maxrow * 4));
  rowMark_ = static_cast<int32_t*>(take(maxrow * 4));
  rowRange_ = static_cast<double*>(take(maxrow * 8));
  // Keys of either kind, and the 8-character names the reader knows.
  int keyBytes = cnlen_ > rnlen_ ? cnlen_ : rnlen_;
  if (keyBytes < 8) keyBytes = 8;
  ++keyBytes;
  key_ = static_cast<char*>(take(keyBytes));
  curKey_ = static_cast<char*>(take(keyBytes));
  key2_ = static_cast<char*>(take(keyBytes));
  if (!colKind_ || !rowKind_ || !rowMark_ || !rowRange_ || !key_ || !curKey_ || !key2_) return false;
  names_ = q_.names;
  if (!names_) {
    names_ = static_cast<char*>(take(maxcol * cnlen_ + maxrow * rnlen_ + 1));
    if (!names_) return false;
  }
  colNames_ = names_;
  rowNames_ = names_ + maxcol * cnlen_;
  rows_.block = rowNames_;
  rows_.width = rnlen_;
  cols_.block = colNames_;
  cols_.width = cnlen_;
  for (int64_t r = 0; r < maxrow; ++r) {
    rowMark_[r] = -1;
    rowRange_[r] = std::nan("");
    rowKind_[r] = 0;
  }
  return true;
}

Next Reader::fail(int code, const char* tok, int n) {
  in_.report(code, tok, n);
  if (!firstError_) firstError_ = code;
  return Next::kFail;
}

void Reader::record(int code, const char* tok, int n) {
  in_.report(code, tok, n);
  if (!firstError_) firstError_ = code;
}

void Reader::warn(int code, const char* tok, int n) { in_.report(code, tok, n); }

void Reader::progress(const char* text) {
  if (fixed_ && a_.opt.freqLogMode <= 0) return;
  char buf[256];
  std::snprintf(buf, sizeof buf, "%s%s", text, firstError_ ? " Error Found" : "");
  writeTextLine(a_, buf, kClassPrompt);
}

// Steps 7 to 10: the results, the rows moved behind the columns, the status
// words, the selection names restored and the reader's memory released.
void Reader::finish(MpsSummary* summary) {
  if (spares_) dropSpareSlots();
  applyRanges();
  const int64_t maxcol = q_.maxcol;
  if (n_ <= q_.maxcol) q_.colptr[n_] = nnz_ + base_;
  for (int32_t r = 0; r < m_; ++r) {
    q_.bndmin[n_ + r] = q_.bndmin[maxcol + r];
    q_.bndmax[n_ + r] = q_.bndmax[maxcol + r];
  }
  if (names_ && int64_t{n_} * cnlen_ != maxcol * cnlen_)
    std::memmove(names_ + int64_t{n_} * cnlen_, rowNames_, static_cast<size_t>(int64_t{m_} * rnlen_));
  for (int32_t j = 0; j < n_; ++j) {
    const uint32_t k = colKind_[j];
    int32_t st = (k & kColInteger) ? 4 : 0;
    if (k & kColSemi) st += (k & kColSemi2) ? 16 : 8;
    q_.status[j] = st;
  }
  for (int32_t r = 0; r < m_; ++r) q_.status[n_ + r] = (rowKind_[r] & kRowSos2) ? static_cast<int32_t>(kRowSos2) : 0;
  *q_.row = m_;
  *q_.column = n_;
  *q_.nonzero = nnz_;
  if (q_.noqp) *q_.noqp = qpCount_;
  if (qpCount_ > q_.maxqp && !firstError_) firstError_ = kMpsTooManyQuadratic;

  if (setObj_) std::memcpy(a_.opt.mpsObjective, savedObj_, 8);
  if (setRhs_) std::memcpy(a_.opt.mpsRhs, savedRhs_, 8);
  if (setRanges_) std::memcpy(a_.opt.mpsRanges, savedRanges_, 8);
  if (setBounds_) std::memcpy(a_.opt.mpsBounds, savedBounds_, 8);

  if (summary) {
    std::memcpy(summary->title, title_, sizeof summary->title);
    summary->rows = m_;
    summary->columns = n_;
    summary->nonzeros = nnz_;
    summary->qpTerms = qpCount_;
    summary->firstError = firstError_;
    summary->rowTable = rows_.size;
    summary->columnTable = cols_.size;
  }
}

int16_t Reader::run(MpsSummary* summary) {
  cnlen_ = a_.opt.colNameLen > 0 ? a_.opt.colNameLen : 1;
  rnlen_ = a_.opt.rowNameLen > 0 ? a_.opt.rowNameLen : 1;
  caseSensitive_ = a_.opt.caseSensitive != 0;
  decimal_ = a_.routingArea().out.style.decimal;
  base_ = a_.indexBase[0];
  tcTolerance_ = a_.opt.tcTolerance;
  std::memcpy(title_, "UNNAME", 7);

  if (q_.row) *q_.row = 0;
  if (q_.column) *q_.column = 0;
  if (q_.nonzero) *q_.nonzero = 0;
  if (q_.noqp) *q_.noqp = 0;

  // 2. Work memory; the file.
  releaseModelMemory(a_);
  int16_t fv = 1;
  const bool opened = inputPath(q_.fileName, q_.dollarEnds, "mps", path_, sizeof path_) && in_.open(path_);
  if (opened) {
    struct stat st {};
    const bool known = ::stat(path_, &st) == 0;
    a_.mpsReadDev = known ? static_cast<uint64_t>(st.st_dev) : 0;
    a_.mpsReadIno = known ? static_cast<uint64_t>(st.st_ino) : 0;
  }
  if (!opened) {
    fail(kMpsNoFile, q_.fileName, -1);
  } else if (!allocate()) {
    fail(kMpsNoMemory);
  } else {
    in_.setMpsMode(true);
    // 5. Row 0 is the objective, named "OBJ" until an N row names it.
    std::memset(rowNames_, ' ', static_cast<size_t>(rnlen_));
    makeKey("OBJ", 3, rnlen_, rowNames_);
    tableInsert(rows_, rowNames_, 0);
    rows_.count = 1;
    rowKind_[0] = kRowN;
    q_.bndmin[q_.maxcol] = 0.0;
    q_.bndmax[q_.maxcol] = 0.0;
    char buf[kFileNameMax + 32];
    std::snprintf(buf, sizeof buf, "Reading file: %s", path_);
    if (!fixed_ || a_.opt.freqLogMode > 0) writeTextLine(a_, buf, kClassPrompt);

    Next nx = readHead();
    if (nx == Next::kRows) nx = readRows();
    if (nx == Next::kColumns) nx = readColumns();
    if (nx != Next::kFail && nx != Next::kEnd) nx = sections(nx);
    finish(summary);
    fv = firstError_ ? 1 : 0;
  }
  in_.closeAll();
  if (summary && !summary->firstError) summary->firstError = firstError_;
  releaseModelMemory(a_);
  a_.store.fromMps = true;
  if (fv) {
    a_.irc = firstError_ ? firstError_ : kMpsIncomplete;
    a_.fnValue = 1;
    return 1;
  }
  a_.irc = 2;
  a_.fnValue = 0;
  a_.fixedNames[0] = 1;
  return 0;
}

}  // namespace mps

int32_t mpsArgumentCode(const MpsRequest& r, bool fixedEntry) {
  if (!r.fileName) return 902;
  if (!r.row) return 903;
  if (!r.column) return 904;
  if (!r.nonzero) return 905;
  if (!r.a) return 906;
  if (!r.rownos) return 907;
  if (!r.colptr) return 908;
  if (!r.bndmin) return 909;
  if (!r.bndmax) return 910;
  if (!r.status) return 911;
  if (fixedEntry) {
    if (r.maxrow < 1) return 913;
    if (r.maxcol < 1) return 914;
    if (r.maxnon < 1) return 915;
    return 0;
  }
  if (!r.noqp) return 913;
  if (r.maxqp > 0) {
    if (!r.qpCol1) return 914;
    if (!r.qpCol2) return 915;
    if (!r.qpCoef) return 916;
  }
  if (r.maxqp < 0) return 917;
  if (r.maxrow < 1) return 918;
  if (r.maxcol < 1) return 919;
  if (r.maxnon < 1) return 920;
  return 0;
}

int16_t readMpsFile(ModelArea& a, const MpsRequest& r, MpsSummary* summary) {
  // The reader's line buffers and word table are some 150 K bytes: on the
  // heap, once per read, rather than on the caller's stack.
  auto reader = std::make_unique<mps::Reader>(a, r);
  return reader->run(summary);
}

}  // namespace kz

using namespace kz;

namespace {

bool stateAllowsRead(const ModelArea& a) { return a.irc >= 2 && a.irc <= 99; }

// The file name as the trace line shows it: up to 256 characters.
void traceName(const char* given, bool dollarEnds, char* out, int cap) {
  int n = 0;
  if (given)
    while (n < 256 && n < cap - 1 && given[n] != '\0' && !(dollarEnds && given[n] == '$')) {
      out[n] = given[n];
      ++n;
    }
  out[n] = '\0';
}

// KZMPSQP and KZMPSI share the body; KZMPSI names its own capacity
// arguments (13 to 15) in the argument codes.
int16_t freeFormatEntry(KZOSL* rc, const char* routine, MpsRequest& q, bool viaMpsi) {
  return runEntry(rc, routine, kEntryDefault, [&](Frame& f) {
    ModelArea& ar = f.area();
    const bool fortran = ar.indexBase[0] == 1;
    q.dollarEnds = fortran;
    char shown[260];
    traceName(q.fileName, fortran, shown, sizeof shown);
    f.enter("Entering %s, KZOSL %p Rc %ld filenam %s row %p column %p nonzero %p Mem %ld ", routine,
            static_cast<void*>(rc), static_cast<long>(f.block()->rc), shown, static_cast<void*>(q.row),
            static_cast<void*>(q.column), static_cast<void*>(q.nonzero), static_cast<long>(ar.pool.freeBytes));
    f.enter("a %p rownos %p colptr %p bndmin %p bndmax %p", static_cast<void*>(q.a), static_cast<void*>(q.rownos),
            static_cast<void*>(q.colptr), static_cast<void*>(q.bndmin), static_cast<void*>(q.bndmax));
    f.enter("status %p colnam %p maxqp %d maxrow %ld maxcol %d maxnon %d ", static_cast<void*>(q.status),
            static_cast<void*>(q.names), q.maxqp, static_cast<long>(q.maxrow), q.maxcol, q.maxnon);
    if (!stateAllowsRead(ar)) {
      ar.fnValue = 1;
    } else if (int32_t code = mpsArgumentCode(q, false)) {
      if (viaMpsi && code >= 918) code -= 5;
      f.fail(code + ar.indexBase[0]);
    } else {
      ar.fnValue = 0;
      readMpsFile(ar, q, nullptr);
    }
    f.setLeaving("Leaving %s, Fnct Value %d Rc %ld Row %d Col %d Nonzro %d noQp %d Mem %ld ", routine, ar.fnValue,
                 static_cast<long>(ar.irc), q.row ? *q.row : 0, q.column ? *q.column : 0,
                 q.nonzero ? *q.nonzero : 0, q.noqp ? *q.noqp : 0, static_cast<long>(ar.pool.freeBytes));
  });
}

}  // namespace

extern "C" KZ_API int16_t KZMPSQP(KZOSL* rc, const char* filenam, int32_t* row, int32_t* column, int32_t* nonzero,
                                  double* a, int32_t* rownos, int32_t* colptr, double* bndmin, double* bndmax,
                                  int32_t* status, char* colnam, int32_t* noqp, int32_t* QpColOne, int32_t* QpColTwo,
                                  double* QpCoef, int32_t maxqp, int32_t maxrow, int32_t maxcol, int32_t maxnon) {
  MpsRequest q;
  q.fileName = filenam;
  q.row = row;
  q.column = column;
  q.nonzero = nonzero;
  q.a = a;
  q.rownos = rownos;
  q.colptr = colptr;
  q.bndmin = bndmin;
  q.bndmax = bndmax;
  q.status = status;
  q.names = colnam;
  q.noqp = noqp;
  q.qpCol1 = QpColOne;
  q.qpCol2 = QpColTwo;
  q.qpCoef = QpCoef;
  q.maxqp = maxqp;
  q.maxrow = maxrow;
  q.maxcol = maxcol;
  q.maxnon = maxnon;
  return freeFormatEntry(rc, "KZMPSQP", q, false);
}

extern "C" KZ_API int16_t KZMPSI(KZOSL* rc, const char* filenam, int32_t* row, int32_t* column, int32_t* nonzero,
                                 double* a, int32_t* rownos, int32_t* colptr, double* bndmin, double* bndmax,
                                 int32_t* status, char* colnam, int32_t maxrow, int32_t maxcol, int32_t maxnon) {
  int32_t noqp = 0;
  MpsRequest q;
  q.fileName = filenam;
  q.row = row;
  q.column = column;
  q.nonzero = nonzero;
  q.a = a;
  q.rownos = rownos;
  q.colptr = colptr;
  q.bndmin = bndmin;
  q.bndmax = bndmax;
  q.status = status;
  q.names = colnam;
  q.noqp = &noqp;
  q.maxqp = 0;
  q.maxrow = maxrow;
  q.maxcol = maxcol;
  q.maxnon = maxnon;
  return freeFormatEntry(rc, "KZMPSI", q, true);
}

extern "C" KZ_API int16_t KZMPSF(KZOSL* rc, const char* filenam, int32_t* row, int32_t* column, int32_t* nonzero,
                                 double* a, int32_t* rownos, int32_t* colptr, double* bndmin, double* bndmax,
                                 int32_t* status, char* colnam, int32_t maxrow, int32_t maxcol, int32_t maxnon) {
  MpsRequest q;
  q.fileName = filenam;
  q.dollarEnds = true;
  q.format = MpsFormat::kFixed;
  q.objsense = false;
  q.quadratic = false;
  q.sos = false;
  q.row = row;
  q.column = column;
  q.nonzero = nonzero;
  q.a = a;
  q.rownos = rownos;
  q.colptr = colptr;
  q.bndmin = bndmin;
  q.bndmax = bndmax;
  q.status = status;
  q.names = colnam;
  q.maxrow = maxrow;
  q.maxcol = maxcol;
  q.maxnon = maxnon;
  return runEntry(rc, "KZMPSF", kEntryDefault, [&](Frame& f) {
    ModelArea& ar = f.area();
    char shown[260];
    traceName(filenam, true, shown, sizeof shown);
    f.enter("Entering KZMPSF, KZOSL %p Rc %ld filenam %s row %p column %p nonzero %p Mem %ld ",
            static_cast<void*>(rc), static_cast<long>(f.block()->rc), shown, static_cast<void*>(row),
            static_cast<void*>(column), static_cast<void*>(nonzero), static_cast<long>(ar.pool.freeBytes));
    f.enter("status %p colnam %p maxrow %ld maxcol %ld maxnon %ld ", static_cast<void*>(status),
            static_cast<void*>(colnam), static_cast<long>(maxrow), static_cast<long>(maxcol),
            static_cast<long>(maxnon));
    if (!stateAllowsRead(ar)) {
      ar.fnValue = 1;
    } else if (int32_t code = mpsArgumentCode(q, true)) {
      f.fail(code + ar.indexBase[0]);
    } else {
      ar.fnValue = 0;
      // Fixed fields: names of 8 characters.
      ar.opt.colNameLen = 8;
      ar.opt.rowNameLen = 8;
      readMpsFile(ar, q, nullptr);
    }
    f.setLeaving("Leaving KZMPSF, Fnct Value %d Rc %ld Row %d Col %d Nonzro %d Mem %ld ", ar.fnValue,
                 static_cast<long>(ar.irc), row ? *row : 0, column ? *column : 0, nonzero ? *nonzero : 0,
                 static_cast<long>(ar.pool.freeBytes));
  });
}

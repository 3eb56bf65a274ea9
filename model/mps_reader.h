// The MPS reader's working state, shared by the set-up and finish
// (model/mps.cpp) and the section readers (model/mps_sections.cpp).
#pragma once
#include <cstdint>

#include "frame/area.h"
#include "model/input_reader.h"
#include "model/mps.h"

namespace kz::mps {

// An open-addressing table of names: slots hold 0-based positions in a name
// block of fixed-width, folded, blank-padded names; -1 is empty. Three
// shortcut slots sit in front: slots[-3] the last item defined, slots[-2]
// the item named last ("), slots[-1] the one named before it (').
struct NameTable {
  int32_t* slots = nullptr;
  int32_t size = 0;
  char* block = nullptr;
  int width = 0;
  int32_t count = 0;  // positions in use
};

// Looks a folded, padded key up; its position or -1.
int32_t tableFind(const NameTable& t, const char* key);
// Enters position pos under key; false when the table is full.
bool tableInsert(NameTable& t, const char* key, int32_t pos);
// Puts newPos into the slot that holds oldPos under key.
void tableReplace(NameTable& t, const char* key, int32_t oldPos, int32_t newPos);

// A word of a data line: its text, length and 0-based column.
struct Word {
  const char* p;
  int n;
  int col;
};
constexpr int kMaxWords = kInputReadMax / 2 + 2;

// Where a section ended: the kind of the line that ended it (still the
// current line), the end of the file, or a failure that ends the read.
enum class Next : uint8_t {
  kData, kName, kObjsense, kRows, kColumns, kRhs, kRanges, kBounds, kQuadobj, kSos, kEndata, kUnknown,
  kEnd, kFail
};

// Row kinds the reader keeps (kind-word bits of the store).
constexpr uint32_t kRowL = 0x4;
constexpr uint32_t kRowG = 0x2;
constexpr uint32_t kRowE = 0x100;
constexpr uint32_t kRowN = 0x80;
constexpr uint32_t kRowSos2 = 0x80000;
// Column kinds.
constexpr uint32_t kColInteger = 0x10;
constexpr uint32_t kColSemi = 0x8000;
constexpr uint32_t kColSemi2 = 0x10000;

class Reader {
 public:
  Reader(ModelArea& a, const MpsRequest& q);
  int16_t run(MpsSummary* summary);

 private:
  // ---- set-up and finish (mps.cpp) ----
  bool allocate();
  void finish(MpsSummary* summary);
  void* take(int64_t bytes);

  // ---- messages ----
  // An error that ends the read; always returns Next::kFail.
  Next fail(int code, const char* tok = nullptr, int n = -1);
  // An error recorded while reading goes on.
  void record(int code, const char* tok = nullptr, int n = -1);
  void warn(int code, const char* tok = nullptr, int n = -1);
  void progress(const char* text);

  // ---- lines and words (mps_sections.cpp) ----
  Next nextLine();
  Next headerKind() const;
  void splitWords();
  // A fixed field, columns from..to (1-based, inclusive), trailing blanks dropped.
  Word field(int from, int to) const;
  bool blankField(int from, int to) const;
  bool number(const Word& w, double* v) const;
  void makeKey(const char* p, int n, int width, char* key) const;
  // Lookup with the shortcut forms; remembers the item for " and '.
  int32_t lookup(NameTable& t, const Word& w);
  bool isMarker(int* which) const;  // which: 1 ORG', 2 END', 0 other
  bool selected(char* option, char* saved, bool* savedFlag, const Word* set);

  // ---- sections ----
  Next readHead();
  Next readRows();
  Next readColumns();
  Next readRhs();
  Next readRanges();
  Next readRhsOrRanges(bool ranges);
  Next rowValue(const Word& rw, const Word* vw, bool ranges);
  Next readBounds();
  Next readQuadobj();
  Next readSos();
  bool addSpareSlots();
  void dropSpareSlots();
  void applyRanges();
  Next sections(Next at);
  // One pair of a COLUMNS line (row word, value word or null).
  Next columnPair(const Word& rw, const Word* vw);
  Next newColumn(const Word& name);
  Next defineRow(char type, const Word& name);

  ModelArea& a_;
  const MpsRequest& q_;
  InputReader in_;
  bool fixed_;
  int cnlen_ = 8, rnlen_ = 8;
  bool caseSensitive_ = false;
  char decimal_ = '.';
  int32_t base_ = 0;
  double tcTolerance_ = 1e-10;

  char path_[kFileNameMax + 1] = {};
  char* names_ = nullptr;
  char* colNames_ = nullptr;
  char* rowNames_ = nullptr;
  NameTable rows_, cols_;
  uint32_t* colKind_ = nullptr;
  uint32_t* rowKind_ = nullptr;
  int32_t* rowMark_ = nullptr;   // last column with an entry in the row
  double* rowRange_ = nullptr;   // RANGES value, NaN when none
  bool anyRange_ = false;

  int32_t n_ = 0, m_ = 1, nnz_ = 0;
  int32_t qpCount_ = 0;
  int32_t firstError_ = 0;
  bool objDefined_ = false;
  bool integerMarker_ = false;
  bool spares_ = false;     // every column holds a spare slot for SOS
  int32_t sosRow_ = -1;
  int32_t sosSets_ = 0;
  char title_[59] = {};

  // Selection names and what to restore.
  char savedObj_[9] = {}, savedRhs_[9] = {}, savedRanges_[9] = {}, savedBounds_[9] = {};
  bool setObj_ = false, setRhs_ = false, setRanges_ = false, setBounds_ = false;

  Word words_[kMaxWords];
  int wordCount_ = 0;
  char* key_ = nullptr;   // scratch keys, max(cnlen, rnlen) + 1 each
  char* curKey_ = nullptr;
  char* key2_ = nullptr;
  char join_[64] = {};
};

}  // namespace kz::mps

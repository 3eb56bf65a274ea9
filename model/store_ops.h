// Operations on the model store of a model area: its work memory, the
// classification of columns and rows, the conversion of status words, the
// logical entries, names and their lookup, and the basis memory.
#pragma once
#include <cstdint>

#include "frame/area.h"
#include "frame/names.h"
#include "model/store.h"

namespace kz {

// ---- work memory ----

// count elements of T from the area's work pool, or null when the pool
// cannot give them; the bytes are added to the store's memory accounting.
void* storeAllocBytes(ModelArea& a, int64_t bytes);
template <class T>
T* storeAlloc(ModelArea& a, int64_t count) {
  if (count < 0) return nullptr;
  return static_cast<T*>(storeAllocBytes(a, count * static_cast<int64_t>(sizeof(T))));
}
// As storeAlloc, zero-filled.
template <class T>
T* storeAllocZero(ModelArea& a, int64_t count) {
  T* p = storeAlloc<T>(a, count);
  if (p)
    for (int64_t k = 0; k < count; ++k) p[k] = T{};
  return p;
}

// Pool mark 1 is where the model's memory begins: releasing the model rolls
// the pool back to it. A loader that keeps work memory across the load (the
// triplet store) saves mark 1 above it.
constexpr int kModelMark = 1;
// Forgets the loaded model and gives its work memory back (pool mark 1).
// The registered caller arrays and the basis memory are kept.
void releaseModelMemory(ModelArea& a);

// ---- classification (working bounds -> kind words) ----

// Reclassifies column j (1..n) from its working bounds; snaps and moves the
// bounds of integer columns. With count set, binary and general-integer
// columns are counted and binaries without a priority get Set BVPRIORI.
void classifyColumn(ModelArea& a, int32_t j, bool count);
// Reclassifies row item i (n + 1 .. N).
void classifyRow(ModelArea& a, int32_t i);
// Every item; counts binary and general-integer columns afresh.
void classifyAll(ModelArea& a);
// Turns the status words into kind and auxiliary bits, then classifies
// every item. Returns false when any item was invalid (every item is
// looked at); the caller runs the model check to say why.
bool convertStatus(ModelArea& a);
// Appends one logical entry per row (positions nnz .. nnz + m - 1 of a and
// rownos, colptr entries n + 1 .. N) and gives the objective kind 0x140.
void appendLogicals(ModelArea& a);
// Counts the column and row bound classes for the statistics block.
void countBoundClasses(ModelArea& a);

// Increment of column j (1 when none are attached).
double columnIncrement(const ModelStore& s, int32_t j);

// ---- names ----

// The fixed-length name of item i, blank-padded to its name length (CNLEN
// for columns, RNLEN for rows), NUL-terminated; generated when none is
// stored; "??? c=<i>" outside 1..N. Returns the number of characters.
int itemName(const ModelStore& s, int32_t i, char* out, int cap);
// Name length of item i (CNLEN for columns, RNLEN for rows).
inline int itemNameLength(const ModelStore& s, int32_t i) { return i <= s.n ? s.cnlen : s.rnlen; }
// Whether item i has a stored, non-blank name.
bool hasStoredName(const ModelStore& s, int32_t i);

// Looks a name up (len characters; len <= 0: up to a NUL, at most the
// longer name length). kNameEither tries columns when len equals CNLEN,
// rows when it equals RNLEN, both for len <= 0, and finds nothing for a
// length that is neither. Uses the
// hash tables when the loader built them, else the linear scan that starts
// after the previous match of its kind and wraps around once. Returns the
// combined index, or 0 when not found.
int32_t findItem(ModelStore& s, const char* name, int len, NameKind kind);
// The store's answer in its own terms: 0-based column number or row
// number (0 = objective), or -1.
int32_t indexOfName(ModelStore& s, const char* name, int len, NameKind kind);

// The name hash: over len characters with trailing blanks removed (at least
// two kept), in chunks of 32, 16, 8, 4, 2, 1 with the fixed weights.
uint32_t nameHash(const char* name, int len);
// A table size: want raised (made odd, then by 2) until no odd divisor
// from 3 up to its square root plus 1 divides it.
int32_t nameHashSize(int64_t want);
// Builds the hash table of one name block (kNameColumn or kNameRow) with
// size slots from the work pool; false when the memory is not there.
bool buildNameHash(ModelArea& a, NameKind kind, int32_t size);
// Hash lookup of a name in a table; the 0-based position in its block or -1.
// Handles the shortcut forms ("-quote, apostrophe, ~(number)).
int32_t hashFind(const ModelStore& s, NameKind kind, const char* name, int len);
// Inserts position pos of a block into its table; false when full.
bool hashInsert(ModelStore& s, NameKind kind, int32_t pos);

// The printed-name source of the frame's report helpers.
NameSource storeNameSource(const ModelStore& s);

// ---- the caller's matrix ----

// Gives the caller's a (when the store works on it) its loaded values back:
// the scale factors taken out and mirrored columns negated again.
void restoreCallerMatrix(ModelArea& a);

// ---- basis memory (Basis +n, Basis .name) ----

// The slots follow the Basis settings ("Basis +n" makes "1" .. "n",
// "Basis .name" adds and selects a named one); the selected slot is the one
// a solve saves into.
// Applies the best-fitting slot to the freshly loaded model. Returns true
// when a slot gave the start basis.
bool basisMemoryApply(ModelArea& a);
// After a solve: saves the current basis into the selected slot.
void basisMemorySave(ModelArea& a);

}  // namespace kz

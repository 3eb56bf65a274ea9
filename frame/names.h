// Printed names of columns and rows, the name masks of the reports, and the
// preparation of a name for a formatted line.
#pragma once

namespace kz {

// Matches a name against a mask of alternatives separated by '/' or '|'.
// Characters are compared upper-cased (unless caseSensitive); '?' stands for
// any one character, '*' for the whole rest of the name (whatever follows it
// in that alternative is not looked at). Otherwise the alternative must use
// up the name: "AB" matches "AB" but not "ABC". The name is nameLen
// characters (or up to a NUL), trailing blanks ignored; blanks at the end of
// an alternative are ignored too. Returns 0 for a match, 1 for none (also for
// a null mask or name).
int matchNameMask(const char* mask, const char* name, int nameLen, bool caseSensitive = false);

// Where printed names come from. Items are numbered by the combined index:
// columns 1..n, the objective row n + 1, constraint rows n + 1 + r for
// r = 1..m.
//
// Generated names use the caller's numbering: columns are numbered from
// indexBase (0 or 1), so column i prints "x<i - 1 + indexBase>" and
// constraint row r (combined index n + 1 + r) prints "c<r + indexBase>";
// the objective row prints "obj".
struct NameSource {
  int n = 0;           // columns
  int m = 0;           // constraint rows (the objective row not counted)
  int indexBase = 0;   // number of the first column on the caller's side
  int colNameLen = 0;  // printed names are blank-padded to these lengths
  int rowNameLen = 0;
  // Stored name of item i (combined index), its length in *len; null (or a
  // length of 0, or a name of blanks only) when the loader stored none.
  const char* (*storedName)(const void* ctx, int i, int* len) = nullptr;
  const void* ctx = nullptr;
  // Optional, indexed by combined index 1..n: 0 for an ordinary column, +j
  // for the positive part of split free column j (prints "p" and j's name),
  // -j for its negative part (prints "n" and j's name).
  const int* splitOf = nullptr;
};

// The printed name of item i into out (NUL-terminated, at most cap - 1
// characters). Outside 1..n + 1 + m: "??? c=<i>".
void printItemName(const NameSource& src, int i, char* out, int cap);

// Prepares names for output in two alternating buffers, so that the last two
// results stay valid together.
class NamePrep {
 public:
  static constexpr int kCapacity = 512;
  // Copies len characters of name (up to a NUL; len < 0: the whole
  // NUL-terminated text, at most kCapacity - 1 characters), drops trailing
  // blanks and, unless compressChar is a blank (or NUL), replaces each run
  // of blanks by one compressChar and drops compressChars at the end.
  const char* prepare(const char* name, int len, char compressChar);

 private:
  char buf_[2][kCapacity] = {};
  int next_ = 0;
};

}  // namespace kz

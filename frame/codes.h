// Return codes and the texts KZMSG prints for them: one table.
#pragma once
#include <cstdint>

namespace kz {

// How the first text of a row is printed: 'N' right after the routine name,
// 'A' alone on a line of its own; 'V' right after the name with the code's
// argument number between its first and second text. Further texts of 'N'
// and 'A' rows always stand alone.
struct CodeRow {
  int32_t lo, hi;       // codes lo..hi share the row
  char form;
  const char* text[3];  // first text, then up to two lines of their own
};

// The row for a code (after KZMSG's reduction), or null for an unknown code.
const CodeRow* findCodeRow(int32_t code);
// KZMSG's reduction: 2..10 and 115 -> 1, 110..118 -> 110, 901..920 -> 901.
int32_t reduceCode(int32_t code);
// Every row, for walking the table.
const CodeRow* codeRows(int* count);

}  // namespace kz

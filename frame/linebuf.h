// The line being built for the output channel, and the line-building helpers
// that work on it. Every printed line of a model area is assembled here and
// then handed to the line writer with a line class.
#pragma once
#include <cstdint>

namespace kz {

constexpr int kLineCapacity = 4096;

struct LineBuffer {
  char text[kLineCapacity + 1] = {};  // always NUL-terminated at text[pos]
  int16_t pos = 0;                    // number of characters in the line
  int16_t fieldMark = 0;              // where the last appended field began
};

// How numbers are printed: decimal character, thousands separator, and the
// magnitude from which a value counts as infinite for fixed fields.
struct NumberStyle {
  char decimal = '.';
  char thousands = ',';
  double infinity = 1e200;
};

void lineClear(LineBuffer& lb);
// Appends characters up to a NUL or a '$', whichever comes first.
void appendText(LineBuffer& lb, const char* s);
// Appends exactly n bytes.
void appendChars(LineBuffer& lb, const char* s, int n);
// Appends x through the number formatter with field code k
// (0 free format; otherwise width*10+decimals, negative = no separators).
void appendNumber(LineBuffer& lb, double x, int16_t k, const NumberStyle& st);
// Shifts the field that began at the field mark to the mark, drops trailing blanks.
void leftJustifyLastField(LineBuffer& lb);
// From the field mark on, replaces each run of blanks by one compress
// character and drops a trailing compress character.
void compressLine(LineBuffer& lb, char compressChar);
// The nine-character elapsed stamp " HH:MM:SS" for a number of seconds.
void formatElapsed(char out[10], int64_t seconds);

}  // namespace kz

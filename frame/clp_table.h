// The option command language from the inside: the keyword descriptors, the
// line being parsed and the value forms. frame/clp.h is what the rest of the
// library uses; this header is for the parser, the listing and the tests.
#pragma once
#include <cstdint>
#include <limits>

#include "frame/area.h"

namespace kz::clp {

// Return codes of the language.
constexpr int kOk = 0;
constexpr int kErrYesNo = 204;
constexpr int kErrKeyword = 205;
constexpr int kErrValue = 207;
constexpr int kErrPageSize = 208;
constexpr int kErrLineSize = 209;
constexpr int kErrPremature = 210;
constexpr int kErrOutput = 211;
constexpr int kErrDecimals = 214;
constexpr int kErrMemory = 104;
constexpr int kErrSequence = 110;

constexpr int kBufferChars = 4096;  // the command buffer
constexpr double kNoLimit = std::numeric_limits<double>::infinity();

// A run of characters of the command buffer.
struct Span {
  int start = 0;
  int len = 0;
  int end() const { return start + len; }
};

// How a keyword's value is read when no handler is named.
enum class Form : uint8_t {
  kYesNo,   // first letter Y (1) or N (0); else 204
  kNumber,  // a number within [lo, hi]; 16-bit fields get the 16-bit rule
  kTime,    // seconds, or fields joined by colons, within [lo, hi]
  kName,    // up to cap characters, stored blank-padded
  kFile,    // up to 256 characters, optionally in double quotes
  kText,    // up to cap characters, optionally in double quotes
  kChar,    // one character, optionally in single quotes
  kChars,   // the first cap characters, blank-padded
  kLetter,  // the first letter's place in `letters` is the code; else 207
  kAny,     // any value; nothing stored
  kSpecial, // the handler reads the value
};

// How the field behind a keyword is stored.
enum class Store : uint8_t { kNone, kI16, kI32, kF64, kText, kChar };

// How the settings listing prints a keyword.
enum class Show : uint8_t {
  kNone,      // not listed
  kOnOff,     // YES, NO, or OFF
  kNumber,    // free format
  kText,      // as stored
  kChar,      // one character
  kMemory,    // pool size and " K bytes."
  kLimit,     // LIMITSEARCH ...
  kMatList,   // NONE, CONSTRAINTS, EQUATIONS, BOTH
  kIndex,     // SET  INDEXRANGE  first last
  kLuMemory,  // SET  LUMEMORY  a/b
  kParam,     // the PARAMETR names and numbers
};

class Line;
struct Keyword;

// The value token of a keyword, evaluated as the keyword loop does for
// every value: as a number, and by its first letter.
struct Value {
  Span tok;
  bool number = false;  // the whole token is a number
  double num = 0.0;
  bool percent = false; // it ended in %
  char first = 0;       // first character, upper-cased (a to z only)
  bool yes = false;     // first letter Y
};

using FieldFn = void* (*)(ModelArea&);
using Handler = int (*)(Line&, const Keyword&, Value&);

struct Keyword {
  char name[9];          // the table form: eight characters at most, upper case
  Form form;
  Store store;
  double lo, hi;         // accepted range of a number (inclusive)
  FieldFn field;         // the setting (null: none)
  int16_t cap;           // characters of a name, text or chars field
  Handler handler;       // special handling (null: by form)
  const char* def;       // the default as written on an option line (null: none can be written)
  Show show;
  const char* letters;   // Form::kLetter: the letters, by code
};

// The three tables, in their order.
const Keyword* mainTable(int* count);
const Keyword* setTable(int* count);
const Keyword* toleranceTable(int* count);

// Eight-character case-insensitive matching with the ambiguity rule: the
// index of the entry, or -1 (unknown or ambiguous).
int matchKeyword(const Keyword* table, int count, const char* typed, int len);
// The same for a table of names.
int matchName(const char* const* names, int count, const char* typed, int len);

// Reads a number in the language's form (sign, decimal character, D/E
// exponent, trailing %, lone + or -). False if the text is not a number.
bool readNumber(const char* s, int n, char decimal, double* out, bool* percent);
// Reads a time: seconds, or colon-separated fields. False if not a time.
bool readTime(const char* s, int n, char decimal, double* seconds);

// Process-wide staging values of LISTINPU, MATLIST and MPSXSOLU.
struct Staged {
  int16_t listInput;
  int16_t matList;
  int16_t mpsxSolution;
};
Staged stagedValues();
void setStagedListInput(int16_t v);
void setStagedMatList(int16_t v);
void setStagedMpsx(int16_t v);

bool developmentMode();  // "KZDevelopment" is in the environment

// The line being parsed: the command buffer of the area, the cursor and
// what the keywords gathered for the end of the line.
class Line {
 public:
  explicit Line(ModelArea& a);
  ModelArea& a;

  int length() const { return len_; }
  const char* text() const { return a.cmd; }
  char at(int i) const { return (i >= 0 && i < len_) ? a.cmd[i] : '\0'; }
  int cursor() const { return cur_; }
  void setCursor(int c);
  // The next blank-separated token from the cursor; false at the end.
  bool nextToken(Span* t);
  // The token after the cursor without moving it.
  bool peekToken(Span* t) const;
  // Extends a token that begins with quote q to the next q (or the end of
  // the buffer) and moves the cursor past it. inner gets the text between
  // the quotes.
  Span quoted(Span tok, char q, Span* inner);
  // The same without moving the cursor: the quoted run beginning at start.
  Span quotedSpan(int start, Span* inner) const;
  // Reads a parenthesised list that begins at `from` (the '(' itself), up to
  // the matching ')' or the end of the buffer; moves the cursor past it.
  Span parenList(int from);
  // Replaces [start, end) of the buffer with text; false if the result
  // would not fit the buffer.
  bool replace(int start, int end, const char* s, int n);
  // Ends the keyword loop without an error (WHEN, MESSAGE `).
  void stop() { stopped_ = true; }
  bool stopped() const { return stopped_; }
  // Reloads the length after the buffer changed under the line.
  void reload();

  // Gathered for the end of the line (-1: not given).
  int16_t pageSize = -1, lineSize = -1, topMargin = -1, bottomMargin = -1, leftMargin = -1, waits = -1;
  bool freqLogSeen = false;
  bool perturbSeen = false;
  bool defaultsWanted = false;
  bool namedModel = false;

 private:
  int len_ = 0;
  int cur_ = 0;
  bool stopped_ = false;
};

// Evaluates a value token.
Value evaluate(const Line& ln, Span tok);
// Applies a keyword to a value by its form (the default path; handlers
// call it too). Returns 0 or an error code.
int applyByForm(Line& ln, const Keyword& k, Value& v);
// Applies one keyword: its handler, or its form.
int applyKeyword(Line& ln, const Keyword& k, Value& v);
// Copies s (n characters) into a field of cap characters, blank-padded.
void storeName(char* field, int cap, const char* s, int n);
// Copies s into a zero-terminated field of cap characters; false if longer.
bool storeText(char* field, int cap, const char* s, int n);
// Stores a number into a field of the given kind (after the range check).
void storeNumber(void* field, Store st, double v);
double loadNumber(const void* field, Store st);
// Names the model file (the model token, FILENAME, LTS): the full name with
// the default extension, FILENAME (no directory, no extension), the marks.
int nameModelFile(Line& ln, const char* given, int n, const char* defExt, bool lts);

// The settings listing of DEFAULTS Yes.
void writeSettingsListing(ModelArea& a);
// One entry of the listing for a keyword of the main table (setEntry false)
// or the Set tables (label: the keyword, or "TOLERANC" for the Set Tolerance
// table). Returns its length; 0 for a keyword that is not listed.
int listingEntry(ModelArea& a, const Keyword& k, bool setEntry, const char* label, char* out, int cap);

}  // namespace kz::clp

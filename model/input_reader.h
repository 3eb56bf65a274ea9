// The input-line reader shared by every text input of the library (MPS
// files, start-information files, triplet files): plain or gzip-compressed
// files, the comment character, the ".." directives (PRINT, INPUT, INCLUD,
// NEWPAG), substitution variables, the 4095-character limit, include files
// and the line counter that error lines print.
//
// One reader object serves one read; it holds its buffers itself, so that
// delivering a line never allocates.
#pragma once
#include <cstdint>

#include "frame/area.h"

namespace kz {

constexpr int kInputLineMax = 4095;   // longest data line after substitution
constexpr int kInputReadMax = 4096;   // characters kept of a physical line
constexpr int kInputPadColumn = 72;   // MPS lines read as blank up to this column
constexpr int kInputVariables = 256;  // substitution variables of one read
constexpr int kInputVarName = 8;      // characters of a variable name
constexpr int kInputVarValue = 256;   // characters of a variable value
constexpr int kInputMaxSubstitutions = 500;

// Codes of the input-line reader.
constexpr int kInputErrTooManySubstitutions = 232;
constexpr int kInputErrInclude = 233;
constexpr int kInputErrTooLong = 234;
constexpr int kInputWarnUnknownVariable = 10004;

enum class LineRead { kLine, kEnd, kError };

class InputReader {
 public:
  explicit InputReader(ModelArea& a);
  ~InputReader();
  InputReader(const InputReader&) = delete;
  InputReader& operator=(const InputReader&) = delete;

  // Opens the outermost file (plain or gzip, told apart by its content).
  // False when it cannot be opened.
  bool open(const char* path);
  void closeAll();

  // MPS mode: only a comment character in the first four columns counts,
  // and a short line reads as blanks up to column 72.
  void setMpsMode(bool on) { mps_ = on; }

  // The next data line. kError: the error (code()) has been printed.
  LineRead next();

  // The current data line: NUL-terminated, trailing blanks removed; in MPS
  // mode blank-padded in memory up to column 72 (length() is not).
  const char* line() const { return line_; }
  int length() const { return len_; }
  // Character at 0-based position k; a blank past the end.
  char at(int k) const { return k >= 0 && k < len_ ? line_[k] : ' '; }

  // Line number within the current file (the included one while inside it).
  int32_t lineNumber() const;
  // Data lines delivered so far, over all files.
  int64_t delivered() const { return delivered_; }
  int code() const { return code_; }
  bool inInclude() const { return depth_ > 1; }

  // Prints "?? Error n Line number k token" (or the warning form for codes
  // of 10000 and above) for the current line; token may be null.
  void report(int code, const char* token, int tokenLen);

  // Substitution variables (exposed for tests and other readers).
  bool defineVariable(const char* name, int nameLen, const char* value, int valueLen);
  // The value of a variable (its length in *valueLen), or null.
  const char* variable(const char* name, int nameLen, int* valueLen) const;

 private:
  struct Source;
  enum class Raw { kLine, kEnd, kError };

  Raw readPhysical(Source& s);
  bool openSource(int level, const char* path);
  void closeSource(int level);
  // Returns 1: data line ready; 0: line consumed (comment, directive);
  // -1: error.
  int process();
  int directive(int from);
  int substitute();
  void printText(const char* s, int n);

  ModelArea& a_;
  Source* src_[2] = {nullptr, nullptr};
  int depth_ = 0;
  bool mps_ = false;
  int code_ = 0;
  int64_t delivered_ = 0;

  char raw_[kInputReadMax + 1] = {};
  int rawLen_ = 0;
  bool rawLong_ = false;
  char line_[kInputReadMax + kInputPadColumn + 2] = {};
  int len_ = 0;
  char work_[kInputReadMax + 2] = {};

  struct Variable {
    char name[kInputVarName];
    int16_t valueLen;
    char value[kInputVarValue];
  };
  Variable vars_[kInputVariables] = {};
  int varCount_ = 0;
};

// Builds the path of a file to read: the given name up to a NUL (and up to a
// '$' when dollarEnds), at most 256 characters, surrounding blanks and
// double quotes removed, defExt added when the last part has no period.
// Returns false for an empty name.
bool inputPath(const char* given, bool dollarEnds, const char* defExt, char* out, int cap);

}  // namespace kz
